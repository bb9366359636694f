#include "config/AnalogEditor.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <exception>

#include "comm/ChannelState.h"
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "config/FormatExponent.h"
#include "config/ImageBuilder.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"
#include "ui/MessageService.h"
#include "ui/ModalResult.h"
#include "ui/NumberText.h"

namespace velor {

// --- Shared with the binary editor ---------------------------------------------------------

std::string PortChoiceItems(const std::vector<std::string>& foundPorts) {
    std::string items;
    for (const std::string& name : foundPorts) {
        const int n = PortNumberOfName(name);
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

std::string PortLabelText(unsigned portNumber) {
    return "COM" + std::to_string(portNumber);
}

bool ApplyChosenPort(std::string_view label, ChannelState& channels) {
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

void ApplyResponseDelay(std::int32_t responseDelay, std::uint16_t& replyTimeout,
                        std::uint16_t& pollInterval) {
    const std::int64_t delay = std::clamp<std::int64_t>(responseDelay, 0, 6553);
    replyTimeout = static_cast<std::uint16_t>(std::max<std::int64_t>(delay * 10, 200));
    pollInterval = static_cast<std::uint16_t>(std::max<std::int64_t>(delay * 2, 100));
}

std::optional<ChosenConfigFile> ChooseConfigFile(const QString& path, std::string_view extension) {
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
    if (!endsWithExtension()) chosen.name += "." + std::string(extension);
    if (chosen.name.empty() || chosen.directory.size() + chosen.name.size() > kShortTextMax)
        return std::nullopt;
    return chosen;
}

void SizeFromPanel(QWidget& dialog, const QWidget& panelSize) {
    dialog.setFixedSize(panelSize.x(), panelSize.y());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    dialog.move((area.width() - dialog.frameGeometry().width()) / 2,
                (area.height() - dialog.frameGeometry().height()) / 2);
}

// --------------------------------------------------------------------------------------------

namespace {

constexpr int kRowTop = 64;
constexpr int kRowStep = 25;
constexpr int kRowHeight = 22;

// Column bases of the row controls, with the left edge and width of each column.
struct Column {
    int base;
    int left;
    int width;
    const char* prefix;
};
constexpr std::array<Column, 8> kColumns{{
    {50, 40, 190, "Edit_"},
    {100, 236, 44, "Edit_"},
    {230, 286, 66, "E_"},
    {150, 358, 66, "Edit_"},
    {190, 430, 66, "Edit_"},
    {30, 502, 62, "Edit_"},
    {210, 570, 160, "ComboBox_"},
    {70, 736, 66, "E_"},
}};

constexpr const char* kHint = "Nastavení a konfigurace jednotky LORK";

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QLabel* makeLabel(QWidget* parent, const char* text, int x, int y, const char* name = nullptr) {
    auto* label = new QLabel(u(text), parent);
    if (name != nullptr) label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

// The number after the first underscore of a control's name, or -1.
int controlNumber(const QObject* control) {
    const QString name = control->objectName();
    const qsizetype underscore = name.indexOf('_');
    bool ok = false;
    const int n = name.mid(underscore + 1).toInt(&ok);
    return ok ? n : -1;
}

// Runs an event handler the way the application's exception handler would: a failure is
// shown and the dialog carries on.
template <typename F>
bool guarded(F&& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        ShowMessageWindow(e.what(), "", 2, 1);
    }
    return false;
}

}  // namespace

AnalogEditor::AnalogEditor(EditorContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ctx_(context) {
    setObjectName(QStringLiteral("Form_Konmst"));
    setWindowTitle(u("Konfigurace analogovch vstupů"));
    setModal(true);
    createControls();
    FormCreate();
}

void AnalogEditor::createControls() {
    createHeadings();
    for (int row = 0; row < kRows; ++row) createRow(row);
    createDialogFields();
    createButtons();
    PanelSize = new QWidget(this);
    PanelSize->setObjectName(QStringLiteral("PanelSize"));
    PanelSize->setGeometry(kClientWidth, kClientHeight, 8, 8);
    PanelSize->hide();
}

void AnalogEditor::createHeadings() {
    makeLabel(this, "Název vstupu", 40, 30);
    makeLabel(this, "Formát při zobrazení", 236, 4);
    makeLabel(this, "Desetin.", 236, 22);
    makeLabel(this, "místa", 236, 38);
    makeLabel(this, "Ofset", 286, 30);
    makeLabel(this, "Meze vstupů", 358, 12);
    makeLabel(this, "Dolní", 358, 38);
    makeLabel(this, "Horní", 430, 38);
    makeLabel(this, "Časová konst.", 502, 22);
    makeLabel(this, "filtrace", 502, 38);
    makeLabel(this, "Typ modulu", 570, 22);
    makeLabel(this, "rozsah", 570, 38);
    makeLabel(this, "Potlačení", 700, 4);
    makeLabel(this, "počátku  -  [V, mA]", 680, 22);
}

void AnalogEditor::createRow(int row) {
    const int y = kRowTop + row * kRowStep;
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Label_%1").arg(10 + row));
    label->setGeometry(8, y + 2, 28, kRowHeight - 4);
    for (const Column& column : kColumns) {
        const QString name =
            QString::fromLatin1(column.prefix) + QString::number(column.base + row);
        if (column.base == 210) {
            auto* combo = new QComboBox(this);
            combo->setObjectName(name);
            combo->setGeometry(column.left, y, column.width, kRowHeight);
            connect(combo, &QComboBox::activated, this, [this, combo](int) {
                // A choice in a sensor list counts as a click on it first.
                guarded([&] {
                    Edit_50Click(combo);
                    ComboBox_210Change(combo);
                });
            });
            continue;
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setGeometry(column.left, y, column.width, kRowHeight);
        edit->installEventFilter(this);
    }
}

void AnalogEditor::createDialogFields() {
    const int top = kRowTop + kRows * kRowStep + 44;
    makeLabel(this, "Výběr portu:", 8, top);
    auto* ports = new QComboBox(this);
    ports->setObjectName(QStringLiteral("ComboBox_45"));
    ports->setGeometry(150, top - 3, 100, kRowHeight);
    connect(ports, &QComboBox::activated, this,
            [this](int index) { guarded([&] { ComboBox_45Click(index); }); });
    makeLabel(this, "Nastaveno:", 260, top);
    L_Nastaveno = makeLabel(this, "", 340, top, "L_Nastaveno");
    L_Nastaveno->setMinimumWidth(90);
    L_Nastaveno->setStyleSheet(QStringLiteral("color: blue"));

    makeLabel(this, "Přenosová rychlost:", 8, top + 30);
    auto* baud = new QComboBox(this);
    baud->setObjectName(QStringLiteral("ComboBox_46"));
    baud->setGeometry(150, top + 27, 100, kRowHeight);

    makeLabel(this, "Prodleva odpovědi:", 8, top + 60);
    auto* delay = new QLineEdit(this);
    delay->setObjectName(QStringLiteral("Edit_1"));
    delay->setGeometry(150, top + 57, 60, kRowHeight);
    makeLabel(this, "[ms]", 216, top + 60);

    makeLabel(this, "Komunikační timeout:", 8, top + 90);
    auto* timeout = new QLineEdit(this);
    timeout->setObjectName(QStringLiteral("Edit_2"));
    timeout->setGeometry(150, top + 87, 60, kRowHeight);
    makeLabel(this, "[ms]", 216, top + 90);

    makeLabel(this, "Adresa modulu:", 460, top);
    auto* address = new QLineEdit(this);
    address->setObjectName(QStringLiteral("Edit_4"));
    address->setGeometry(580, top - 3, 50, kRowHeight);

    makeLabel(this, "Konfigurační soubor", 460, top + 30);
    auto* file = new QLineEdit(this);
    file->setObjectName(QStringLiteral("Edit_5"));
    file->setGeometry(460, top + 50, 200, kRowHeight);

    Label23 = makeLabel(this, "Konstanty polynomu:", 8, top - 36, "Label23");
    L_KonstPolyn = makeLabel(this, "", 200, top - 36, "L_KonstPolyn");
    L_KonstPolyn->setMinimumWidth(600);
}

void AnalogEditor::createButtons() {
    const auto button = [this](const char* name, const char* text, int x, int y, int w) {
        auto* b = new QPushButton(u(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, 28);
        b->setAutoDefault(false);
        return b;
    };
    const int bottom = kClientHeight - 40;
    BitBtn1 = button("BitBtn1", "&OK", 8, bottom, 100);
    BitBtn1->setDefault(true);
    BitBtn2 = button("BitBtn2", "&Zrušit", 116, bottom, 100);
    BitBtn3 = button("BitBtn3", "Info", 224, bottom, 100);
    BitBtn4 = button("BitBtn4", "Nastavit - K&ALU", 332, bottom, 160);
    BitBtn4->setToolTip(u(kHint));
    makeLabel(this, "Volba jednotky", 690, kClientHeight - 120);
    BitBtn5 = button("BitBtn5", "K&ALU - 11", 690, kClientHeight - 100, 110);
    BitBtn5->setToolTip(u(kHint));
    const int fileTop = kRowTop + kRows * kRowStep + 44 + 50;
    Browse = button("Browse", "Procháze&t", 670, fileTop - 3, 110);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kModalCancel); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        if (ctx_.showHelp) ctx_.showHelp(kHelpContext);
    });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn4Click(); }); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn5Click(); }); });
    connect(Browse, &QPushButton::clicked, this, [this] { guarded([&] { BrowseClick(); }); });
}

void AnalogEditor::FormCreate() {
    SizeFromPanel(*this, *PanelSize);
    currentInput_ = 1;
    currentSensor_ = ctx_.config.AnalogConfig.Inputs[0].SensorIndex;
    fillFieldTable();
    ctx_.KaluSecondHalf = false;
    BitBtn5->setText(u(ctx_.config.AnalogConfig.Variant == 1 ? "K&ALU - 12" : "K&ALU - 11"));
    showConstants();
}

void AnalogEditor::fillFieldTable() {
    ConfigState& cfg = ctx_.config;
    ResponseDelay = cfg.AnalogImage.ResponseDelay;
    CommTimeout = cfg.AnalogImage.CommTimeout;
    if (ctx_.channels.PortSearchPending && ctx_.searchPorts) ctx_.searchPorts(ctx_.channels);
    portItems_ = PortChoiceItems(ctx_.channels.FoundPorts);

    std::vector<std::string> sensors;
    const std::int32_t last = std::clamp<std::int32_t>(
        cfg.SensorLastIndex, 0, static_cast<std::int32_t>(kSensorTableSize) - 1);
    for (std::int32_t i = 0; i <= last; ++i) sensors.push_back(cfg.SensorTable[i].Name);
    sensorItems_ = MakeItemList(sensors);

    loadShadows();
    clearFieldTable(ctx_.fields);
    for (int row = 0; row < kRows; ++row) appendRow(row);
    appendPortField(ctx_.fields, *this, 45, portListIndex_, portItems_, ctx_.channels);
    appendField(ctx_.fields, {46, kKindComboIndex, kModeNormal, &baud8_, 0, 0,
                              MakeItemList({"4800", "9600", "19200", "38400", "57600"})});
    appendField(ctx_.fields, {1, kKindEditInt32, kModeNormal, &ResponseDelay, 255, 1, {}});
    appendField(ctx_.fields, {2, kKindEditInt32, kModeNormal, &CommTimeout, 65535, 0, {}});
    appendField(ctx_.fields, {4, kKindEditInt16, kModeNormal, &address16_, 31, 0, {}});
    appendField(ctx_.fields, {5, kKindEditText, kModeNormal, &cfg.AnalogFileName, 20, 0, {}});
}

void AnalogEditor::appendRow(int row) {
    AnalogInput& in = ctx_.config.AnalogConfig.Inputs[static_cast<std::size_t>(row)];
    const auto r = static_cast<std::uint8_t>(row);
    const std::size_t i = static_cast<std::size_t>(row);
    FieldBindingState& f = ctx_.fields;
    appendField(f, {static_cast<std::uint8_t>(10 + r),
                    kKindLabel,
                    kModeNormal,
                    {},
                    0,
                    0,
                    std::to_string(row) + ":"});
    appendField(f, {static_cast<std::uint8_t>(30 + r),
                    kKindEditInt16,
                    kModeNormal,
                    &filter16_[i],
                    65535,
                    0,
                    {}});
    appendField(
        f, {static_cast<std::uint8_t>(50 + r), kKindEditText, kModeNormal, &in.Name, 31, 0, {}});
    appendField(f, {static_cast<std::uint8_t>(100 + r),
                    kKindEditInt16,
                    kModeNormal,
                    &decimals16_[i],
                    8,
                    0,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(150 + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.LowLimit,
                    10000,
                    -10000,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(190 + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.HighLimit,
                    10000,
                    -10000,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(210 + r), kKindComboIndex, kModeNormal, &sensor8_[i],
                    0, 0, sensorItems_});
    appendField(f, {static_cast<std::uint8_t>(70 + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.ZeroSuppression,
                    10000,
                    -100,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(230 + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.Offset,
                    10000,
                    -100,
                    {}});
}

// The fields edit the low 16 bits (8 for the lists) of wider variables; the high bits stay.
void AnalogEditor::loadShadows() {
    AnalogConfig& a = ctx_.config.AnalogConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        decimals16_[i] = static_cast<std::int16_t>(a.Inputs[i].Decimals);
        filter16_[i] = static_cast<std::int16_t>(a.Inputs[i].FilterConstant);
        sensor8_[i] = static_cast<std::uint8_t>(a.Inputs[i].SensorIndex);
    }
    address16_ = static_cast<std::int16_t>(a.ModuleAddress);
    const PortRecord* channel1 = ctx_.channels.ChannelTable.record(1);
    baud8_ = static_cast<std::uint8_t>(channel1->BaudIndex);
}

void AnalogEditor::storeShadows() {
    const auto low16 = [](std::int32_t& target, std::int16_t v) {
        target = static_cast<std::int32_t>((static_cast<std::uint32_t>(target) & 0xFFFF0000u) |
                                           static_cast<std::uint16_t>(v));
    };
    AnalogConfig& a = ctx_.config.AnalogConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        low16(a.Inputs[i].Decimals, decimals16_[i]);
        low16(a.Inputs[i].FilterConstant, filter16_[i]);
        a.Inputs[i].SensorIndex = static_cast<std::int32_t>(
            (static_cast<std::uint32_t>(a.Inputs[i].SensorIndex) & 0xFFFFFF00u) | sensor8_[i]);
    }
    low16(a.ModuleAddress, address16_);
    PortRecord* channel1 = ctx_.channels.ChannelTable.record(1);
    channel1->BaudIndex = static_cast<std::uint16_t>((channel1->BaudIndex & 0xFF00u) | baud8_);
}

void AnalogEditor::setup() {
    SetupForm(ctx_.fields, *this);
}

void AnalogEditor::validateAsOk() {
    const int saved = result();
    setResult(kModalOk);
    bool ok = true;
    ValidateForm(ctx_.fields, *this, ok);
    storeShadows();
    setResult(saved);
}

void AnalogEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    FormActivate();
}

void AnalogEditor::FormActivate() {
    // The list shows its first item; the port in use is named by L_Nastaveno.
    portListIndex_ = 0;
    setup();
    const PortRecord* channel1 = ctx_.channels.ChannelTable.record(1);
    const std::string name = PortLabelText(channel1->PortNumber);
    L_Nastaveno->setText(QString::fromStdString(name));
    ctx_.channels.SelectedPortName = name.substr(0, 10);
}

void AnalogEditor::showConstants() {
    const ConfigState& cfg = ctx_.config;
    static const SensorEntry kNone{};
    const bool known = currentSensor_ >= 0 && currentSensor_ < static_cast<int>(kSensorTableSize);
    const SensorEntry& e =
        known ? cfg.SensorTable[static_cast<std::size_t>(currentSensor_)] : kNone;
    const double c = (!e.Linearized && cfg.AnalogConfig.Variant == 1) ? 1.0 : e.C;
    const auto fmt = [&](double v) { return FormatExponent(7, v, cfg.DecimalChar); };
    L_KonstPolyn->setText(QString::fromStdString("a=" + fmt(e.A) + "; b=" + fmt(e.B) +
                                                 "; c=" + fmt(c) + "; d=" + fmt(e.D)));
    L_KonstPolyn->adjustSize();
    Label23->setText(QStringLiteral("Konstanty polynomu IN[%1]:").arg(currentInput_ - 1, 2));
    Label23->adjustSize();
}

bool AnalogEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* control = qobject_cast<QWidget*>(watched);
        if (control != nullptr) guarded([&] { Edit_50Click(control); });
    }
    return QDialog::eventFilter(watched, event);
}

void AnalogEditor::Edit_50Click(QWidget* sender) {
    const int number = controlNumber(sender);
    for (const Column& column : kColumns) {
        if (number < column.base || number >= column.base + kRows) continue;
        currentInput_ = number - column.base + 1;
        break;
    }
    validateAsOk();
    currentSensor_ =
        ctx_.config.AnalogConfig.Inputs[static_cast<std::size_t>(currentInput_ - 1)].SensorIndex;
    showConstants();
}

void AnalogEditor::ComboBox_210Change(QWidget* sender) {
    const int row = controlNumber(sender) - 210;
    if (row < 0 || row >= kRows) return;
    validateAsOk();
    ConfigState& cfg = ctx_.config;
    AnalogInput& in = cfg.AnalogConfig.Inputs[static_cast<std::size_t>(row)];
    if (in.SensorIndex < 0 || in.SensorIndex >= static_cast<std::int32_t>(kSensorTableSize)) return;
    const SensorEntry& e = cfg.SensorTable[static_cast<std::size_t>(in.SensorIndex)];
    if (e.Linearized) {
        in.LowLimit = e.RangeLow;
        in.HighLimit = e.RangeHigh;
    }
    in.SensorName = e.Name;
    fillFieldTable();
    setup();
}

void AnalogEditor::ComboBox_45Click(int index) {
    const std::vector<std::string>& found = ctx_.channels.FoundPorts;
    if (index < 0 || index >= static_cast<int>(found.size())) return;
    L_Nastaveno->setText(QString::fromStdString(found[static_cast<std::size_t>(index)]));
}

void AnalogEditor::BitBtn4Click() {
    ConfigState& cfg = ctx_.config;
    cfg.SendPending = true;
    cfg.SendBinaryInputs = false;
    cfg.SendBinaryOutputs = false;
    cfg.SendMokr = false;
    cfg.SendZepa = false;
    done(kModalYes);
}

void AnalogEditor::BitBtn5Click() {
    std::uint8_t& variant = ctx_.config.AnalogConfig.Variant;
    variant = variant == 1 ? 0 : 1;
    BitBtn5->setText(u(variant == 1 ? "K&ALU - 12" : "K&ALU - 11"));
    showConstants();
}

void AnalogEditor::BrowseClick() {
    const QString savedDirectory = QDir::currentPath();
    const QString path = ctx_.chooseFile ? ctx_.chooseFile(this, QStringLiteral("*.cfa"))
                                         : QFileDialog::getOpenFileName(this, QString(), QString(),
                                                                        QStringLiteral("*.cfa"));
    if (!path.isEmpty()) {
        const std::optional<ChosenConfigFile> chosen = ChooseConfigFile(path, "CFA");
        if (!chosen) {
            ShowMessageWindow("Vyberte soubor s příponou.CFA", "", 2, 1);
        } else {
            ctx_.config.AnalogDirectory = chosen->directory;
            ctx_.config.AnalogFileName = chosen->name;
            LoadAnalogConfig(ctx_.config, ctx_.channels);
            fillFieldTable();
            setup();
        }
    }
    QDir::setCurrent(savedDirectory);
}

bool AnalogEditor::FormCloseQuery() {
    bool canClose = true;
    ValidateForm(ctx_.fields, *this, canClose);
    const int mr = result();
    if (mr == kModalOk || mr == kModalYes) {
        storeShadows();
        ApplyChosenPort(qStringToCp1250(L_Nastaveno->text()), ctx_.channels);
    }
    if (mr != kModalOk && mr != kModalYes) {
        ctx_.config.SendPending = false;
        return canClose;
    }
    if (mr == kModalOk) ctx_.config.SendPending = false;

    ConfigState& cfg = ctx_.config;
    cfg.AnalogImage.ResponseDelay = static_cast<std::uint8_t>(ResponseDelay);
    ApplyResponseDelay(ResponseDelay, ctx_.ReplyTimeout, ctx_.PollInterval);
    cfg.AnalogImage.CommTimeout = static_cast<std::uint16_t>(CommTimeout);
    const std::uint16_t baudIndex = ctx_.channels.ChannelTable.record(1)->BaudIndex;
    AdjustTimeoutsForBaud(ctx_.ReplyTimeout, ctx_.PollInterval, baudIndex);
    BuildAnalogImage(cfg, baudIndex);
    const bool saved = SaveAnalogConfig(cfg, ctx_.channels);
    ResetAddressScan(ctx_.ScanAddress, ctx_.AddressFound);
    // A configuration that did not reach its file is not reported as done: the dialog stays.
    return canClose && saved;
}

void AnalogEditor::done(int result) {
    setResult(result);
    bool canClose = false;
    guarded([&] { canClose = FormCloseQuery(); });
    if (!canClose) {
        setResult(kModalNone);
        return;
    }
    QDialog::done(result);
}

}  // namespace velor
