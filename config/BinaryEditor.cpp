#include "config/BinaryEditor.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <exception>

#include "comm/ChannelState.h"
#include "config/AnalogEditor.h"
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "config/ImageBuilder.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"
#include "ui/MessageService.h"
#include "ui/ModalResult.h"

namespace velor {
namespace {

constexpr int kRowTop = 64;
constexpr int kRowStep = 28;
constexpr int kRowHeight = 22;
constexpr int kRightColumn = 480;

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

QLineEdit* makeEdit(QWidget* parent, const QString& name, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, width, kRowHeight);
    return edit;
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

BinaryEditor::BinaryEditor(EditorContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ctx_(context) {
    setObjectName(QStringLiteral("Form_BKonmst"));
    setWindowTitle(u("Konfigurace binárních vstupů"));
    setModal(true);
    createControls();
    FormCreate();
}

void BinaryEditor::createControls() {
    createRows();
    createDialogFields();
    createButtons();
    PanelSize = new QWidget(this);
    PanelSize->setObjectName(QStringLiteral("PanelSize"));
    PanelSize->setGeometry(kClientWidth, kClientHeight, 8, 8);
    PanelSize->hide();
}

void BinaryEditor::createRows() {
    makeLabel(this, "Název vstupu", 44, 40);
    makeLabel(this, "Časový interval filtru vstupu", 280, 8);
    makeLabel(this, "Úroveň  L", 280, 40);
    makeLabel(this, "Úroveň  H", 360, 40);
    for (int q = 0; q < kRows; ++q) {
        const int y = kRowTop + q * kRowStep;
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Label_%1").arg(10 + q));
        label->setGeometry(8, y + 2, 32, kRowHeight - 4);
        makeEdit(this, QStringLiteral("Edit_%1").arg(50 + q), 44, y, 226);
        makeEdit(this, QStringLiteral("Edit_%1").arg(150 + q), 280, y, 70);
        makeEdit(this, QStringLiteral("Edit_%1").arg(200 + q), 360, y, 70);
    }
    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(438, kRowTop, 18, kRows * kRowStep - (kRowStep - kRowHeight));
    ScrollBar1->setRange(0, kMaxBase);
    ScrollBar1->setPageStep(kRows);
    ScrollBar1->setSingleStep(1);
    connect(ScrollBar1, &QScrollBar::valueChanged, this,
            [this](int position) { guarded([&] { ScrollBar1Scroll(position); }); });
}

void BinaryEditor::createDialogFields() {
    const int x = kRightColumn;
    makeLabel(this, "Výběr port:", x, kRowTop);
    auto* ports = new QComboBox(this);
    ports->setObjectName(QStringLiteral("ComboBox_40"));
    ports->setGeometry(x + 130, kRowTop - 3, 90, kRowHeight);
    connect(ports, &QComboBox::activated, this,
            [this](int index) { guarded([&] { ComboBox_40Change(index); }); });
    makeLabel(this, "Nastaveno:", x, kRowTop + 28);
    L_Nastaveno = makeLabel(this, "", x + 130, kRowTop + 28, "L_Nastaveno");
    L_Nastaveno->setMinimumWidth(90);
    L_Nastaveno->setStyleSheet(QStringLiteral("color: blue"));

    makeLabel(this, "Přenosová rychlost:", x, kRowTop + 56);
    auto* baud = new QComboBox(this);
    baud->setObjectName(QStringLiteral("ComboBox_41"));
    baud->setGeometry(x + 130, kRowTop + 53, 90, kRowHeight);

    makeLabel(this, "Prodleva odpovědi:", x, kRowTop + 84);
    makeEdit(this, QStringLiteral("Edit_1"), x + 130, kRowTop + 81, 60);
    makeLabel(this, "[ms]", x + 196, kRowTop + 84);
    makeLabel(this, "Komunikační timeout:", x, kRowTop + 112);
    makeEdit(this, QStringLiteral("Edit_2"), x + 130, kRowTop + 109, 60);
    makeLabel(this, "[ms]", x + 196, kRowTop + 112);
    makeLabel(this, "Novější verze  255 ms x Timeout", x, kRowTop + 134);

    makeLabel(this, "Adresa modulu:", x, kRowTop + 162);
    makeEdit(this, QStringLiteral("Edit_4"), x + 130, kRowTop + 159, 50);
    makeLabel(this, "Konfigurační soubor", x, kRowTop + 190);
    makeEdit(this, QStringLiteral("Edit_5"), x, kRowTop + 208, 150);
}

void BinaryEditor::createButtons() {
    const auto button = [this](const char* name, const char* text, int x, int y, int w) {
        auto* b = new QPushButton(u(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, y, w, 28);
        b->setAutoDefault(false);
        return b;
    };
    Browse = button("Browse", "Procháze&t", kRightColumn + 156, kRowTop + 205, 80);
    const int bottom = kClientHeight - 40;
    BitBtn1 = button("BitBtn1", "&OK", 8, bottom, 90);
    BitBtn1->setDefault(true);
    BitBtn2 = button("BitBtn2", "&Zrušit", 104, bottom, 90);
    BitBtn3 = button("BitBtn3", "Info", 200, bottom, 90);
    BitBtn5 = button("BitBtn5", "Nastavit - T&EV, TEVW", 300, bottom - 34, 200);
    BitBtn4 = button("BitBtn4", "Nastavit - &TEW", 506, bottom - 34, 200);
    BitBtn6 = button("BitBtn6", "Nastavit - &MOKR", 300, bottom, 200);
    BitBtn7 = button("BitBtn7", "Nastavit - &ZEPA", 506, bottom, 200);
    for (QPushButton* b : {BitBtn4, BitBtn5, BitBtn6, BitBtn7}) b->setToolTip(u(kHint));

    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kModalCancel); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        if (ctx_.showHelp) ctx_.showHelp(kHelpContext);
    });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn4Click(); }); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn5Click(); }); });
    connect(BitBtn6, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn6Click(); }); });
    connect(BitBtn7, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn7Click(); }); });
    connect(Browse, &QPushButton::clicked, this, [this] { guarded([&] { BrowseClick(); }); });
}

void BinaryEditor::FormCreate() {
    SizeFromPanel(*this, *PanelSize);
    fillFieldTable(0);
}

void BinaryEditor::fillFieldTable(int base) {
    ConfigState& cfg = ctx_.config;
    base_ = std::clamp(base, 0, kMaxBase);
    ResponseDelay = cfg.BinaryImage.ResponseDelay;
    CommTimeout = cfg.BinaryImage.CommTimeout;
    if (ctx_.channels.PortSearchPending && ctx_.searchPorts) ctx_.searchPorts(ctx_.channels);
    portItems_ = PortChoiceItems(ctx_.channels.FoundPorts);

    loadShadows();
    FieldBindingState& f = ctx_.fields;
    clearFieldTable(f);
    for (int q = 0; q < kRows; ++q) {
        const auto n = static_cast<std::uint8_t>(q);
        const std::size_t r = static_cast<std::size_t>(base_ + q);
        const std::size_t i = static_cast<std::size_t>(q);
        appendField(f, {static_cast<std::uint8_t>(10 + n),
                        kKindLabel,
                        kModeNormal,
                        {},
                        0,
                        0,
                        std::to_string(r + 1) + ":"});
        appendField(f, {static_cast<std::uint8_t>(50 + n),
                        kKindEditText,
                        kModeNormal,
                        &cfg.BinaryConfig.Inputs[r].Name,
                        31,
                        0,
                        {}});
        appendField(f, {static_cast<std::uint8_t>(150 + n),
                        kKindEditInt16,
                        kModeNormal,
                        &filterL16_[i],
                        255,
                        1,
                        {}});
        appendField(f, {static_cast<std::uint8_t>(200 + n),
                        kKindEditInt16,
                        kModeNormal,
                        &filterH16_[i],
                        255,
                        1,
                        {}});
    }
    appendPortField(f, *this, 40, portListIndex_, portItems_, ctx_.channels);
    appendField(f, {41, kKindComboIndex, kModeNormal, &baud8_, 0, 0,
                    MakeItemList({"4800", "9600", "19200", "38400", "57600"})});
    appendField(f, {1, kKindEditInt32, kModeNormal, &ResponseDelay, 255, 1, {}});
    appendField(f, {2, kKindEditInt32, kModeNormal, &CommTimeout, 65535, 0, {}});
    appendField(f, {4, kKindEditInt16, kModeNormal, &address16_, 31, 0, {}});
    appendField(f, {5, kKindEditText, kModeNormal, &cfg.BinaryFileName, 20, 0, {}});
}

// The fields edit the low 16 bits (8 for the list) of wider variables; the high bits stay.
void BinaryEditor::loadShadows() {
    BinaryConfig& b = ctx_.config.BinaryConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        const BinaryInput& in = b.Inputs[static_cast<std::size_t>(base_) + i];
        filterL16_[i] = static_cast<std::int16_t>(in.FilterL);
        filterH16_[i] = static_cast<std::int16_t>(in.FilterH);
    }
    address16_ = static_cast<std::int16_t>(b.ModuleAddress);
    baud8_ = static_cast<std::uint8_t>(ctx_.channels.ChannelTable.record(1)->BaudIndex);
}

void BinaryEditor::storeShadows() {
    const auto low16 = [](std::int32_t& target, std::int16_t v) {
        target = static_cast<std::int32_t>((static_cast<std::uint32_t>(target) & 0xFFFF0000u) |
                                           static_cast<std::uint16_t>(v));
    };
    BinaryConfig& b = ctx_.config.BinaryConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        BinaryInput& in = b.Inputs[static_cast<std::size_t>(base_) + i];
        low16(in.FilterL, filterL16_[i]);
        low16(in.FilterH, filterH16_[i]);
    }
    low16(b.ModuleAddress, address16_);
    PortRecord* channel1 = ctx_.channels.ChannelTable.record(1);
    channel1->BaudIndex = static_cast<std::uint16_t>((channel1->BaudIndex & 0xFF00u) | baud8_);
}

void BinaryEditor::validateAsOk() {
    const int saved = result();
    setResult(kModalOk);
    bool ok = true;
    ValidateForm(ctx_.fields, *this, ok);
    storeShadows();
    setResult(saved);
}

void BinaryEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    FormActivate();
}

void BinaryEditor::FormActivate() {
    // The list shows its first item; the port in use is named by L_Nastaveno.
    portListIndex_ = 0;
    SetupForm(ctx_.fields, *this);
    const std::string name = PortLabelText(ctx_.channels.ChannelTable.record(1)->PortNumber);
    L_Nastaveno->setText(QString::fromStdString(name));
    ctx_.channels.SelectedPortName = name.substr(0, 10);
    const QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setValue(0);
    ScrollBar1->setMaximum(kMaxBase);
}

void BinaryEditor::ScrollBar1Scroll(int position) {
    // The shown rows are stored back before they move on; refused fields keep their values.
    validateAsOk();
    fillFieldTable(position);
    SetupForm(ctx_.fields, *this);
}

void BinaryEditor::ComboBox_40Change(int index) {
    const std::vector<std::string>& found = ctx_.channels.FoundPorts;
    if (index < 0 || index >= static_cast<int>(found.size())) return;
    L_Nastaveno->setText(QString::fromStdString(found[static_cast<std::size_t>(index)]));
}

void BinaryEditor::send(bool inputs, bool outputs, bool mokr, bool zepa) {
    ConfigState& cfg = ctx_.config;
    cfg.SendPending = true;
    cfg.SendBinaryInputs = inputs;
    cfg.SendBinaryOutputs = outputs;
    cfg.SendMokr = mokr;
    cfg.SendZepa = zepa;
    done(kModalYes);
}

void BinaryEditor::BitBtn4Click() {
    send(false, true, false, false);
}
void BinaryEditor::BitBtn5Click() {
    send(true, false, false, false);
}
void BinaryEditor::BitBtn6Click() {
    send(false, false, true, false);
}
void BinaryEditor::BitBtn7Click() {
    send(false, false, false, true);
}

void BinaryEditor::BrowseClick() {
    const QString savedDirectory = QDir::currentPath();
    const QString path = ctx_.chooseFile ? ctx_.chooseFile(this, QStringLiteral("*.cfb"))
                                         : QFileDialog::getOpenFileName(this, QString(), QString(),
                                                                        QStringLiteral("*.cfb"));
    if (!path.isEmpty()) {
        const std::optional<ChosenConfigFile> chosen = ChooseConfigFile(path, "CFB");
        if (!chosen) {
            ShowMessageWindow("Vyberte soubor s příponou.CFB", "", 2, 1);
        } else {
            ctx_.config.BinaryDirectory = chosen->directory;
            ctx_.config.BinaryFileName = chosen->name;
            LoadBinaryConfig(ctx_.config, ctx_.channels);
            fillFieldTable(0);
            SetupForm(ctx_.fields, *this);
            const QSignalBlocker quiet(ScrollBar1);
            ScrollBar1->setValue(0);
        }
    }
    QDir::setCurrent(savedDirectory);
}

bool BinaryEditor::FormCloseQuery() {
    bool canClose = true;
    ValidateForm(ctx_.fields, *this, canClose);
    const int mr = result();
    if (mr != kModalOk && mr != kModalYes) {
        ctx_.config.SendPending = false;
        return canClose;
    }
    storeShadows();
    ApplyChosenPort(qStringToCp1250(L_Nastaveno->text()), ctx_.channels);
    if (mr == kModalOk) ctx_.config.SendPending = false;

    ConfigState& cfg = ctx_.config;
    cfg.BinaryImage.ResponseDelay = static_cast<std::uint8_t>(ResponseDelay);
    ApplyResponseDelay(ResponseDelay, ctx_.ReplyTimeout, ctx_.PollInterval);
    cfg.BinaryImage.CommTimeout = static_cast<std::uint16_t>(CommTimeout);
    const std::uint16_t baudIndex = ctx_.channels.ChannelTable.record(1)->BaudIndex;
    AdjustTimeoutsForBaud(ctx_.ReplyTimeout, ctx_.PollInterval, baudIndex);
    BuildBinaryImage(cfg, baudIndex);
    const bool saved = SaveBinaryConfig(cfg, ctx_.channels);
    ResetAddressScan(ctx_.ScanAddress, ctx_.AddressFound);
    // A configuration that did not reach its file is not reported as done: the dialog stays.
    return canClose && saved;
}

void BinaryEditor::done(int result) {
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
