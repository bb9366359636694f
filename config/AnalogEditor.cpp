// TForm_Konmst: the KALU analog module configuration editor.
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
#include "ui/ControlNumber.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"
#include "ui/Labels.h"
#include "ui/MessageService.h"
#include "ui/ModalResult.h"
#include "ui/NumberText.h"

namespace velor {

namespace {

constexpr int kRowTop = 64;
constexpr int kRowStep = 25;
constexpr int kRowHeight = 22;
// The block under the rows: the constants line, then the dialog's fields in rows of kFieldStep
// ending above the button row.
constexpr int kConstantsTop = kRowTop + TForm_Konmst::kRows * kRowStep + 6;
constexpr int kFieldsTop = kConstantsTop + 28;
constexpr int kFieldStep = 28;
constexpr int kButtonTop = TForm_Konmst::kClientHeight - 40;

// Column bases of the row controls, with the left edge and width of each column.
struct Column {
    int base;
    int left;
    int width;
    const char* prefix;
};
constexpr std::array<Column, 8> kColumns{{
    {TForm_Konmst::kNameField, 40, 180, "Edit_"},
    {TForm_Konmst::kDecimalsField, 226, 44, "Edit_"},
    {TForm_Konmst::kOffsetField, 276, 62, "E_"},
    {TForm_Konmst::kLowLimitField, 344, 62, "Edit_"},
    {TForm_Konmst::kHighLimitField, 412, 62, "Edit_"},
    {TForm_Konmst::kFilterField, 480, 84, "Edit_"},
    {TForm_Konmst::kSensorField, 570, 160, "ComboBox_"},
    {TForm_Konmst::kZeroSuppressionField, 736, 66, "E_"},
}};

}  // namespace

TForm_Konmst::TForm_Konmst(EditorContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ctx_(context) {
    setObjectName(QStringLiteral("Form_Konmst"));
    setWindowTitle(uiText("Konfigurace analogovch vstupů"));
    setModal(true);
    createControls();
    FormCreate();
}

void TForm_Konmst::createControls() {
    createHeadings();
    for (int row = 0; row < kRows; ++row) createRow(row);
    createDialogFields();
    createButtons();
    PanelSize = new QWidget(this);
    PanelSize->setObjectName(QStringLiteral("PanelSize"));
    PanelSize->setGeometry(kClientWidth, kClientHeight, 8, 8);
    PanelSize->hide();
}

void TForm_Konmst::createHeadings() {
    // Three heading lines; a heading starts at its column's left edge and its last line sits
    // right above the rows.
    makeLabel(this, uiText("Název vstupu"), QRect(40, 38, 0, 0));
    makeLabel(this, uiText("Formát při zobrazení"), QRect(226, 4, 0, 0));
    makeLabel(this, uiText("Desetin."), QRect(226, 22, 0, 0));
    makeLabel(this, uiText("místa"), QRect(226, 38, 0, 0));
    makeLabel(this, uiText("Ofset"), QRect(276, 38, 0, 0));
    makeLabel(this, uiText("Meze vstupů"), QRect(344, 22, 0, 0));
    makeLabel(this, uiText("Dolní"), QRect(344, 38, 0, 0));
    makeLabel(this, uiText("Horní"), QRect(412, 38, 0, 0));
    makeLabel(this, uiText("Časová konst."), QRect(480, 22, 0, 0));
    makeLabel(this, uiText("filtrace"), QRect(480, 38, 0, 0));
    makeLabel(this, uiText("Typ modulu"), QRect(570, 22, 0, 0));
    makeLabel(this, uiText("rozsah"), QRect(570, 38, 0, 0));
    makeLabel(this, uiText("Potlačení"), QRect(736, 4, 0, 0));
    QLabel* zero = makeLabel(this, uiText("počátku  -  [V, mA]"), QRect(0, 22, 0, 0));
    zero->move(kClientWidth - 8 - zero->width(), 22);
}

void TForm_Konmst::createRow(int row) {
    const int y = kRowTop + row * kRowStep;
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("Label_%1").arg(kRowLabelField + row));
    label->setGeometry(8, y + 2, 28, kRowHeight - 4);
    for (const Column& column : kColumns) {
        const QString name =
            QString::fromLatin1(column.prefix) + QString::number(column.base + row);
        if (column.base == kSensorField) {
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

void TForm_Konmst::createDialogFields() {
    Label23 = makeLabel(this, uiText("Konstanty polynomu:"), QRect(8, kConstantsTop, 0, 0),
                        QStringLiteral("Label23"));
    L_KonstPolyn =
        makeLabel(this, QString(), QRect(200, kConstantsTop, 0, 0), QStringLiteral("L_KonstPolyn"));
    L_KonstPolyn->setMinimumWidth(600);

    const int top = kFieldsTop;
    makeLabel(this, uiText("Výběr portu:"), QRect(8, top, 0, 0));
    auto* ports = new QComboBox(this);
    ports->setObjectName(QStringLiteral("ComboBox_%1").arg(kPortListField));
    ports->setGeometry(150, top - 3, 100, kRowHeight);
    connect(ports, &QComboBox::activated, this,
            [this](int index) { guarded([&] { ComboBox_45Click(index); }); });
    makeLabel(this, uiText("Nastaveno:"), QRect(260, top, 0, 0));
    L_Nastaveno = makeLabel(this, QString(), QRect(340, top, 0, 0), QStringLiteral("L_Nastaveno"));
    L_Nastaveno->setMinimumWidth(90);
    L_Nastaveno->setStyleSheet(QStringLiteral("color: blue"));

    const auto field = [this](int row, const char* caption, int number, int width) {
        const int y = kFieldsTop + row * kFieldStep;
        makeLabel(this, uiText(caption), QRect(8, y, 0, 0));
        auto* edit = new QLineEdit(this);
        edit->setObjectName(editName(number));
        edit->setGeometry(150, y - 3, width, kRowHeight);
        return edit;
    };
    makeLabel(this, uiText("Přenosová rychlost:"), QRect(8, top + kFieldStep, 0, 0));
    auto* baud = new QComboBox(this);
    baud->setObjectName(QStringLiteral("ComboBox_%1").arg(kBaudListField));
    baud->setGeometry(150, top + kFieldStep - 3, 100, kRowHeight);
    field(2, "Prodleva odpovědi:", kDelayField, 60);
    makeLabel(this, uiText("[ms]"), QRect(216, top + 2 * kFieldStep, 0, 0));
    field(3, "Komunikační timeout:", kTimeoutField, 60);
    makeLabel(this, uiText("[ms]"), QRect(216, top + 3 * kFieldStep, 0, 0));

    makeLabel(this, uiText("Adresa modulu:"), QRect(460, top, 0, 0));
    auto* address = new QLineEdit(this);
    address->setObjectName(editName(kAddressField));
    address->setGeometry(580, top - 3, 50, kRowHeight);
    makeLabel(this, uiText("Konfigurační soubor"), QRect(460, top + kFieldStep, 0, 0));
    auto* file = new QLineEdit(this);
    file->setObjectName(editName(kFileField));
    file->setGeometry(460, top + kFieldStep + 18, 200, kRowHeight);
}

void TForm_Konmst::createButtons() {
    BitBtn1 = makeButton(this, "BitBtn1", "&OK", 8, kButtonTop, 100);
    BitBtn1->setDefault(true);
    BitBtn2 = makeButton(this, "BitBtn2", "&Zrušit", 116, kButtonTop, 100);
    BitBtn3 = makeButton(this, "BitBtn3", "Info", 224, kButtonTop, 100);
    BitBtn4 = makeButton(this, "BitBtn4", "Nastavit - K&ALU", 332, kButtonTop, 160);
    BitBtn4->setToolTip(uiText(kSendHint));
    // Beside the file name, and the variant button at the right end of the button row.
    Browse = makeButton(this, "Browse", "Procháze&t", 668, kFieldsTop + kFieldStep + 15, 110);
    makeLabel(this, uiText("Volba jednotky"), QRect(690, kButtonTop - 20, 0, 0));
    BitBtn5 = makeButton(this, "BitBtn5", "K&ALU - 11", 690, kButtonTop, 110);
    BitBtn5->setToolTip(uiText(kSendHint));

    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kModalCancel); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        if (ctx_.showHelp) ctx_.showHelp(kHelpContext);
    });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn4Click(); }); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { guarded([&] { BitBtn5Click(); }); });
    connect(Browse, &QPushButton::clicked, this, [this] { guarded([&] { BrowseClick(); }); });
}

void TForm_Konmst::FormCreate() {
    sizeFromPanel(*this, *PanelSize);
    currentInput_ = 1;
    currentSensor_ = ctx_.config.AnalogConfig.Inputs[0].SensorIndex;
    fillFieldTable();
    ctx_.outcome.analogSendFromStart = true;
    BitBtn5->setText(uiText(ctx_.config.AnalogConfig.Variant == 1 ? "K&ALU - 12" : "K&ALU - 11"));
    showConstants();
}

void TForm_Konmst::fillFieldTable() {
    ConfigState& cfg = ctx_.config;
    loadDialogFields(dialog_, ctx_, cfg.AnalogImage.ResponseDelay, cfg.AnalogImage.CommTimeout,
                     cfg.AnalogConfig.ModuleAddress);

    std::vector<std::string> sensors;
    const std::int32_t last = std::clamp<std::int32_t>(
        cfg.SensorLastIndex, 0, static_cast<std::int32_t>(kSensorTableSize) - 1);
    for (std::int32_t i = 0; i <= last; ++i) sensors.push_back(cfg.SensorTable[i].Name);
    sensorItems_ = makeItemList(sensors);

    loadShadows();
    clearFieldTable(ctx_.fields);
    for (int row = 0; row < kRows; ++row) appendRow(row);
    appendDialogFields(dialog_, ctx_, *this, cfg.AnalogFileName);
}

void TForm_Konmst::appendRow(int row) {
    AnalogInput& in = ctx_.config.AnalogConfig.Inputs[static_cast<std::size_t>(row)];
    const auto r = static_cast<std::uint8_t>(row);
    const std::size_t i = static_cast<std::size_t>(row);
    FieldBindingState& f = ctx_.fields;
    appendField(f, {static_cast<std::uint8_t>(kRowLabelField + r),
                    kKindLabel,
                    kModeNormal,
                    {},
                    0,
                    0,
                    std::to_string(row) + ":"});
    appendField(f, {static_cast<std::uint8_t>(kFilterField + r),
                    kKindEditInt16,
                    kModeNormal,
                    &filter16_[i],
                    65535,
                    0,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kNameField + r),
                    kKindEditText,
                    kModeNormal,
                    &in.Name,
                    31,
                    0,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kDecimalsField + r),
                    kKindEditInt16,
                    kModeNormal,
                    &decimals16_[i],
                    8,
                    0,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kLowLimitField + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.LowLimit,
                    10000,
                    -10000,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kHighLimitField + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.HighLimit,
                    10000,
                    -10000,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kSensorField + r), kKindComboIndex, kModeNormal,
                    &sensor8_[i], 0, 0, sensorItems_});
    appendField(f, {static_cast<std::uint8_t>(kZeroSuppressionField + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.ZeroSuppression,
                    10000,
                    -100,
                    {}});
    appendField(f, {static_cast<std::uint8_t>(kOffsetField + r),
                    kKindEditFloat,
                    kModeNormal,
                    &in.Offset,
                    10000,
                    -100,
                    {}});
}

// The fields edit the low 16 bits (8 for the lists) of wider variables; the high bits stay.
void TForm_Konmst::loadShadows() {
    const AnalogConfig& a = ctx_.config.AnalogConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        decimals16_[i] = static_cast<std::int16_t>(a.Inputs[i].Decimals);
        filter16_[i] = static_cast<std::int16_t>(a.Inputs[i].FilterConstant);
        sensor8_[i] = static_cast<std::uint8_t>(a.Inputs[i].SensorIndex);
    }
}

void TForm_Konmst::storeShadows() {
    AnalogConfig& a = ctx_.config.AnalogConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        setLow16(a.Inputs[i].Decimals, decimals16_[i]);
        setLow16(a.Inputs[i].FilterConstant, filter16_[i]);
        a.Inputs[i].SensorIndex = static_cast<std::int32_t>(
            (static_cast<std::uint32_t>(a.Inputs[i].SensorIndex) & 0xFFFFFF00u) | sensor8_[i]);
    }
    storeDialogFields(dialog_, a.ModuleAddress, ctx_.channels);
}

void TForm_Konmst::validateAsOk() {
    velor::validateAsOk(*this, ctx_.fields);
    storeShadows();
}

void TForm_Konmst::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    FormActivate();
}

void TForm_Konmst::FormActivate() {
    activateDialogFields(dialog_, ctx_, *this, *L_Nastaveno);
}

void TForm_Konmst::showConstants() {
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

bool TForm_Konmst::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* control = qobject_cast<QWidget*>(watched);
        if (control != nullptr) guarded([&] { Edit_50Click(control); });
    }
    return QDialog::eventFilter(watched, event);
}

void TForm_Konmst::Edit_50Click(QWidget* sender) {
    const int number = controlNumber(sender->objectName());
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

void TForm_Konmst::ComboBox_210Change(QWidget* sender) {
    const int row = controlNumber(sender->objectName()) - kSensorField;
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
    // The image gets the delay and time-out only on OK or "Nastavit": reloading them from it
    // here would silently undo what the user has typed so far.
    const std::int32_t delay = dialog_.ResponseDelay;
    const std::int32_t timeout = dialog_.CommTimeout;
    fillFieldTable();
    dialog_.ResponseDelay = delay;
    dialog_.CommTimeout = timeout;
    SetupForm(ctx_.fields, *this);
}

void TForm_Konmst::ComboBox_45Click(int index) {
    showFoundPort(*L_Nastaveno, ctx_.channels, index);
}

void TForm_Konmst::BitBtn4Click() {
    ConfigState& cfg = ctx_.config;
    cfg.SendPending = true;
    cfg.SendBinaryInputs = false;
    cfg.SendBinaryOutputs = false;
    cfg.SendMokr = false;
    cfg.SendZepa = false;
    done(kModalYes);
}

void TForm_Konmst::BitBtn5Click() {
    std::uint8_t& variant = ctx_.config.AnalogConfig.Variant;
    variant = variant == 1 ? 0 : 1;
    BitBtn5->setText(uiText(variant == 1 ? "K&ALU - 12" : "K&ALU - 11"));
    showConstants();
}

void TForm_Konmst::BrowseClick() {
    browseConfigFile(
        ctx_, this, {"*.cfa", "CFA", "Vyberte soubor s příponou.CFA"},
        [this](const ChosenConfigFile& chosen) {
            ctx_.config.AnalogDirectory = chosen.directory;
            ctx_.config.AnalogFileName = chosen.name;
            LoadAnalogConfig(ctx_.config, ctx_.channels);
            fillFieldTable();
            SetupForm(ctx_.fields, *this);
            // The variant button is the only sign of the loaded file's variant,
            // and the constants belong to its sensors.
            const AnalogConfig& loaded = ctx_.config.AnalogConfig;
            BitBtn5->setText(uiText(loaded.Variant == 1 ? "K&ALU - 12" : "K&ALU - 11"));
            currentSensor_ = loaded.Inputs[static_cast<std::size_t>(currentInput_ - 1)].SensorIndex;
            showConstants();
        });
}

bool TForm_Konmst::FormCloseQuery() {
    bool canClose = true;
    ValidateForm(ctx_.fields, *this, canClose);
    if (savesConfiguration(result())) storeShadows();
    ConfigState& cfg = ctx_.config;
    return finishCloseQuery(
        ctx_, result(), canClose, L_Nastaveno->text(), dialog_,
        {cfg.AnalogImage.ResponseDelay, cfg.AnalogImage.CommTimeout, [&](std::uint16_t baudIndex) {
             BuildAnalogImage(cfg, baudIndex);
             return SaveAnalogConfig(cfg, ctx_.channels);
         }});
}

void TForm_Konmst::done(int result) {
    closeUnlessRefused(*this, result, [this] { return FormCloseQuery(); });
}

}  // namespace velor
