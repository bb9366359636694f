#include "config/EditorCommon.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "comm/ChannelState.h"
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "config/ModuleHelpers.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"
#include "ui/ModalResult.h"
#include "ui/NumberText.h"

namespace velor {

QString editName(int field) {
    return QStringLiteral("Edit_%1").arg(field);
}

std::string portChoiceItems(const std::vector<std::string>& foundPorts) {
    std::string items;
    for (const std::string& name : foundPorts) {
        const int n = portNumberOfName(name);
        items += n > 0 ? "COM " + std::to_string(n) : name;
        items += '\x01';
    }
    items += '\0';
    return items;
}

void appendPortField(FieldBindingState& fields, QWidget& form, int number, std::uint8_t& listIndex,
                     const std::string& items, const ChannelState& channels) {
    const bool any = !channels.FoundPorts.empty();
    if (QWidget* list = form.findChild<QComboBox*>(QStringLiteral("ComboBox_%1").arg(number)))
        list->setEnabled(any);
    if (!any) return;
    appendField(fields, {static_cast<std::uint8_t>(number), kKindComboIndex, kModeNormal,
                         &listIndex, 0, 0, items});
}

std::string portLabelText(unsigned portNumber) {
    return "COM" + std::to_string(portNumber);
}

bool applyChosenPort(std::string_view label, ChannelState& channels) {
    // The whole number after "COM" is taken: reading only its first digit would turn a COM12
    // kept in COM.CFG into COM1.
    if (label.size() < 4 || label.substr(0, 3) != "COM") return false;
    unsigned n = 0;
    for (const char c : label.substr(3)) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
        if (n > 255) return false;
    }
    PortRecord* channel1 = channels.ChannelTable.record(1);
    if (n == 0 || channel1 == nullptr) return false;
    channel1->PortNumber = static_cast<std::uint8_t>(n);
    channels.SelectedPortName = std::string(label.substr(0, 10));
    return true;
}

void applyResponseDelay(std::int32_t responseDelay, std::uint16_t& replyTimeout,
                        std::uint16_t& pollInterval) {
    const std::int64_t delay = std::clamp<std::int64_t>(responseDelay, 0, 6553);
    replyTimeout = static_cast<std::uint16_t>(std::max<std::int64_t>(delay * 10, 200));
    pollInterval = static_cast<std::uint16_t>(std::max<std::int64_t>(delay * 2, 100));
}

std::optional<ChosenConfigFile> chooseConfigFile(const QString& path, std::string_view extension) {
    // Only the file name is taken in upper case: the directory is kept as the dialog gave it,
    // which matters where file names are case-sensitive.
    const qsizetype cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1;
    ChosenConfigFile chosen;
    chosen.directory = qStringToCp1250(path.left(cut));
    chosen.name = qStringToCp1250(path.mid(cut).toUpper());
    const auto endsWithExtension = [&] {
        return chosen.name.size() >= extension.size() &&
               std::string_view(chosen.name).substr(chosen.name.size() - extension.size()) ==
                   extension;
    };
    if (!endsWithExtension()) {
        chosen.name += '.';
        chosen.name += extension;
    }
    if (chosen.name.empty() || chosen.directory.size() + chosen.name.size() > kShortTextMax)
        return std::nullopt;
    return chosen;
}

bool fitsCodePage(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1;
    return fitsCp1250(path.left(cut)) && fitsCp1250(path.mid(cut).toUpper());
}

void sizeFromPanel(QWidget& dialog, const QWidget& panelSize) {
    dialog.setFixedSize(panelSize.x(), panelSize.y());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    dialog.move((area.width() - dialog.frameGeometry().width()) / 2,
                (area.height() - dialog.frameGeometry().height()) / 2);
}

void setLow16(std::int32_t& target, std::int16_t value) {
    target = static_cast<std::int32_t>((static_cast<std::uint32_t>(target) & 0xFFFF0000u) |
                                       static_cast<std::uint16_t>(value));
}

void loadDialogFields(DialogFields& d, EditorContext& ctx, std::uint8_t imageDelay,
                      std::uint16_t imageTimeout, std::int32_t moduleAddress) {
    if (!d.channelBefore) d.channelBefore = *ctx.channels.ChannelTable.record(1);
    d.ResponseDelay = imageDelay;
    d.CommTimeout = imageTimeout;
    if (ctx.channels.PortSearchPending && ctx.searchPorts) ctx.searchPorts(ctx.channels);
    d.portItems = portChoiceItems(ctx.channels.FoundPorts);
    d.address16 = static_cast<std::int16_t>(moduleAddress);
    d.baud8 = static_cast<std::uint8_t>(ctx.channels.ChannelTable.record(1)->BaudIndex);
}

void appendDialogFields(DialogFields& d, EditorContext& ctx, QWidget& form, std::string& fileName) {
    FieldBindingState& f = ctx.fields;
    appendPortField(f, form, d.portListNo, d.portListIndex, d.portItems, ctx.channels);
    appendField(f, {static_cast<std::uint8_t>(d.baudListNo), kKindComboIndex, kModeNormal, &d.baud8,
                    0, 0, makeItemList({"4800", "9600", "19200", "38400", "57600"})});
    appendField(f, {kDelayField, kKindEditInt32, kModeNormal, &d.ResponseDelay, 255, 1, {}});
    appendField(f, {kTimeoutField, kKindEditInt32, kModeNormal, &d.CommTimeout, 65535, 0, {}});
    appendField(f, {kAddressField, kKindEditInt16, kModeNormal, &d.address16, 31, 0, {}});
    // The file field holds the whole name the variable can hold: a name chosen with "Procházet"
    // may be longer than a typed one, and cutting it would save the configuration under another
    // name than the file it was loaded from.
    constexpr float kFileNameField = kShortTextMax + 1;
    appendField(f, {kFileField, kKindEditText, kModeNormal, &fileName, kFileNameField, 0, {}});
}

void storeDialogFields(const DialogFields& d, std::int32_t& moduleAddress, ChannelState& channels) {
    setLow16(moduleAddress, d.address16);
    PortRecord* channel1 = channels.ChannelTable.record(1);
    channel1->BaudIndex = static_cast<std::uint16_t>((channel1->BaudIndex & 0xFF00u) | d.baud8);
}

void activateDialogFields(DialogFields& d, EditorContext& ctx, QWidget& form, QLabel& nastaveno) {
    d.portListIndex = 0;
    SetupForm(ctx.fields, form);
    const std::string name = portLabelText(ctx.channels.ChannelTable.record(1)->PortNumber);
    nastaveno.setText(QString::fromStdString(name));
    ctx.channels.SelectedPortName = name.substr(0, 10);
}

void showFoundPort(QLabel& nastaveno, const ChannelState& channels, int index) {
    const std::vector<std::string>& found = channels.FoundPorts;
    if (index < 0 || index >= static_cast<int>(found.size())) return;
    nastaveno.setText(QString::fromStdString(found[static_cast<std::size_t>(index)]));
}

void validateAsOk(QDialog& dialog, FieldBindingState& fields) {
    const int saved = dialog.result();
    dialog.setResult(kModalOk);
    bool ok = true;
    ValidateForm(fields, dialog, ok);
    dialog.setResult(saved);
}

void browseConfigFile(EditorContext& ctx, QWidget* parent, const ConfigFileKind& kind,
                      const std::function<void(const ChosenConfigFile&)>& load) {
    const QString savedDirectory = QDir::currentPath();
    const QString filter = QString::fromLatin1(kind.filter);
    const QString path = ctx.chooseFile
                             ? ctx.chooseFile(parent, filter)
                             : QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    if (!path.isEmpty() && !fitsCodePage(path)) {
        // Stored in code page 1250, such a name would become another file's name ("???.cfb").
        ShowMessageWindow("Název souboru obsahuje znaky, které nelze uložit: " + path.toStdString(),
                          "Vyberte soubor s jiným názvem", 2, 1);
    } else if (!path.isEmpty()) {
        const std::optional<ChosenConfigFile> chosen = chooseConfigFile(path, kind.extension);
        if (chosen)
            load(*chosen);
        else
            ShowMessageWindow(kind.refusal, "", 2, 1);
    }
    QDir::setCurrent(savedDirectory);
}

bool savesConfiguration(int modalResult) {
    return modalResult == kModalOk || modalResult == kModalYes;
}

bool finishCloseQuery(EditorContext& ctx, int modalResult, bool canClose, const QString& nastaveno,
                      const DialogFields& d, const CloseQueryImage& image) {
    if (!savesConfiguration(modalResult)) {
        ctx.config.SendPending = false;
        if (d.channelBefore) *ctx.channels.ChannelTable.record(1) = *d.channelBefore;
        return canClose;
    }
    applyChosenPort(qStringToCp1250(nastaveno), ctx.channels);
    // Only the close query leads the user to the field that refused the close.
    if (ctx.fields.FirstInvalidSeen && ctx.fields.FirstInvalidControl != nullptr)
        ctx.fields.FirstInvalidControl->setFocus();
    if (modalResult == kModalOk) ctx.config.SendPending = false;

    image.ResponseDelay = static_cast<std::uint8_t>(d.ResponseDelay);
    EditorOutcome::Timing& timing = ctx.outcome.timing.emplace();
    applyResponseDelay(d.ResponseDelay, timing.replyTimeout, timing.pollInterval);
    image.CommTimeout = static_cast<std::uint16_t>(d.CommTimeout);
    const std::uint16_t baudIndex = ctx.channels.ChannelTable.record(1)->BaudIndex;
    AdjustTimeoutsForBaud(timing.replyTimeout, timing.pollInterval, baudIndex);
    const bool saved = image.buildAndSave(baudIndex);
    ctx.outcome.restartScan = true;
    // A configuration that did not reach its file is not reported as done: the dialog stays.
    return canClose && saved;
}

void closeUnlessRefused(QDialog& dialog, int result, const std::function<bool()>& closeQuery) {
    dialog.setResult(result);
    bool canClose = false;
    guarded([&] { canClose = closeQuery(); });
    if (!canClose) {
        dialog.setResult(kModalNone);
        return;
    }
    dialog.QDialog::done(result);
}

QString uiText(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, int x, int y,
                        int width) {
    auto* b = new QPushButton(uiText(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, width, 28);
    b->setAutoDefault(false);
    return b;
}

}  // namespace velor
