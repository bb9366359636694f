// TForm_BKonmst: the binary modules configuration editor.
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
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "config/ImageBuilder.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"
#include "ui/Labels.h"
#include "ui/MessageService.h"
#include "ui/ModalResult.h"

namespace velor {
namespace {

constexpr int kRowTop = 64;
constexpr int kRowStep = 28;
constexpr int kRowHeight = 22;
constexpr int kRightColumn = 470;
// Left edge of the right column's input controls, clear of its longest caption.
constexpr int kRightInputs = kRightColumn + 140;

QLineEdit* makeEdit(QWidget* parent, const QString& name, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, width, kRowHeight);
    return edit;
}

}  // namespace

TForm_BKonmst::TForm_BKonmst(EditorContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ctx_(context) {
    setObjectName(QStringLiteral("Form_BKonmst"));
    setWindowTitle(uiText("Konfigurace binárních vstupů"));
    setModal(true);
    createControls();
    FormCreate();
}

void TForm_BKonmst::createControls() {
    createRows();
    createDialogFields();
    createButtons();
    PanelSize = new QWidget(this);
    PanelSize->setObjectName(QStringLiteral("PanelSize"));
    PanelSize->setGeometry(kClientWidth, kClientHeight, 8, 8);
    PanelSize->hide();
}

void TForm_BKonmst::createRows() {
    makeLabel(this, uiText("Název vstupu"), QRect(44, 40, 0, 0));
    makeLabel(this, uiText("Časový interval filtru vstupu"), QRect(280, 8, 0, 0));
    makeLabel(this, uiText("Úroveň  L"), QRect(280, 40, 0, 0));
    makeLabel(this, uiText("Úroveň  H"), QRect(360, 40, 0, 0));
    for (int q = 0; q < kRows; ++q) {
        const int y = kRowTop + q * kRowStep;
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Label_%1").arg(kRowLabelField + q));
        label->setGeometry(8, y + 2, 32, kRowHeight - 4);
        makeEdit(this, editName(kNameField + q), 44, y, 226);
        makeEdit(this, editName(kFilterLField + q), 280, y, 70);
        makeEdit(this, editName(kFilterHField + q), 360, y, 70);
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

void TForm_BKonmst::createDialogFields() {
    const int x = kRightColumn;
    const int in = kRightInputs;
    makeLabel(this, uiText("Výběr port:"), QRect(x, kRowTop, 0, 0));
    auto* ports = new QComboBox(this);
    ports->setObjectName(QStringLiteral("ComboBox_%1").arg(kPortListField));
    ports->setGeometry(in, kRowTop - 3, 90, kRowHeight);
    connect(ports, &QComboBox::activated, this,
            [this](int index) { guarded([&] { ComboBox_40Change(index); }); });
    makeLabel(this, uiText("Nastaveno:"), QRect(x, kRowTop + 28, 0, 0));
    L_Nastaveno =
        makeLabel(this, QString(), QRect(in, kRowTop + 28, 0, 0), QStringLiteral("L_Nastaveno"));
    L_Nastaveno->setMinimumWidth(90);
    L_Nastaveno->setStyleSheet(QStringLiteral("color: blue"));

    makeLabel(this, uiText("Přenosová rychlost:"), QRect(x, kRowTop + 56, 0, 0));
    auto* baud = new QComboBox(this);
    baud->setObjectName(QStringLiteral("ComboBox_%1").arg(kBaudListField));
    baud->setGeometry(in, kRowTop + 53, 90, kRowHeight);

    makeLabel(this, uiText("Prodleva odpovědi:"), QRect(x, kRowTop + 84, 0, 0));
    makeEdit(this, editName(kDelayField), in, kRowTop + 81, 60);
    makeLabel(this, uiText("[ms]"), QRect(in + 66, kRowTop + 84, 0, 0));
    makeLabel(this, uiText("Komunikační timeout:"), QRect(x, kRowTop + 112, 0, 0));
    makeEdit(this, editName(kTimeoutField), in, kRowTop + 109, 60);
    makeLabel(this, uiText("[ms]"), QRect(in + 66, kRowTop + 112, 0, 0));
    makeLabel(this, uiText("Novější verze  255 ms x Timeout"), QRect(x, kRowTop + 134, 0, 0));

    makeLabel(this, uiText("Adresa modulu:"), QRect(x, kRowTop + 162, 0, 0));
    makeEdit(this, editName(kAddressField), in, kRowTop + 159, 50);
    makeLabel(this, uiText("Konfigurační soubor"), QRect(x, kRowTop + 190, 0, 0));
    makeEdit(this, editName(kFileField), x, kRowTop + 208, 140);
}

void TForm_BKonmst::createButtons() {
    Browse = makeButton(this, "Browse", "Procháze&t", kRightColumn + 148, kRowTop + 205, 92);
    const int bottom = kClientHeight - 40;
    BitBtn1 = makeButton(this, "BitBtn1", "&OK", 8, bottom, 90);
    BitBtn1->setDefault(true);
    BitBtn2 = makeButton(this, "BitBtn2", "&Zrušit", 104, bottom, 90);
    BitBtn3 = makeButton(this, "BitBtn3", "Info", 200, bottom, 90);
    BitBtn5 = makeButton(this, "BitBtn5", "Nastavit - T&EV, TEVW", 300, bottom - 34, 200);
    BitBtn4 = makeButton(this, "BitBtn4", "Nastavit - &TEW", 506, bottom - 34, 200);
    BitBtn6 = makeButton(this, "BitBtn6", "Nastavit - &MOKR", 300, bottom, 200);
    BitBtn7 = makeButton(this, "BitBtn7", "Nastavit - &ZEPA", 506, bottom, 200);
    for (QPushButton* b : {BitBtn4, BitBtn5, BitBtn6, BitBtn7}) b->setToolTip(uiText(kSendHint));

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

void TForm_BKonmst::FormCreate() {
    sizeFromPanel(*this, *PanelSize);
    fillFieldTable(0);
}

void TForm_BKonmst::fillFieldTable(int base) {
    ConfigState& cfg = ctx_.config;
    base_ = std::clamp(base, 0, kMaxBase);
    loadDialogFields(dialog_, ctx_, cfg.BinaryImage.ResponseDelay, cfg.BinaryImage.CommTimeout,
                     cfg.BinaryConfig.ModuleAddress);

    loadShadows();
    FieldBindingState& f = ctx_.fields;
    clearFieldTable(f);
    for (int q = 0; q < kRows; ++q) {
        const auto n = static_cast<std::uint8_t>(q);
        const std::size_t r = static_cast<std::size_t>(base_ + q);
        const std::size_t i = static_cast<std::size_t>(q);
        appendField(f, {static_cast<std::uint8_t>(kRowLabelField + n),
                        kKindLabel,
                        kModeNormal,
                        {},
                        0,
                        0,
                        std::to_string(r + 1) + ":"});
        appendField(f, {static_cast<std::uint8_t>(kNameField + n),
                        kKindEditText,
                        kModeNormal,
                        &cfg.BinaryConfig.Inputs[r].Name,
                        31,
                        0,
                        {}});
        appendField(f, {static_cast<std::uint8_t>(kFilterLField + n),
                        kKindEditInt16,
                        kModeNormal,
                        &filterL16_[i],
                        255,
                        1,
                        {}});
        appendField(f, {static_cast<std::uint8_t>(kFilterHField + n),
                        kKindEditInt16,
                        kModeNormal,
                        &filterH16_[i],
                        255,
                        1,
                        {}});
    }
    appendDialogFields(dialog_, ctx_, *this, cfg.BinaryFileName);
}

// The fields edit the low 16 bits of wider variables; the high bits stay.
void TForm_BKonmst::loadShadows() {
    const BinaryConfig& b = ctx_.config.BinaryConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        const BinaryInput& in = b.Inputs[static_cast<std::size_t>(base_) + i];
        filterL16_[i] = static_cast<std::int16_t>(in.FilterL);
        filterH16_[i] = static_cast<std::int16_t>(in.FilterH);
    }
}

void TForm_BKonmst::storeShadows() {
    BinaryConfig& b = ctx_.config.BinaryConfig;
    for (std::size_t i = 0; i < kRows; ++i) {
        BinaryInput& in = b.Inputs[static_cast<std::size_t>(base_) + i];
        setLow16(in.FilterL, filterL16_[i]);
        setLow16(in.FilterH, filterH16_[i]);
    }
    storeDialogFields(dialog_, b.ModuleAddress, ctx_.channels);
}

void TForm_BKonmst::validateAsOk() {
    velor::validateAsOk(*this, ctx_.fields);
    storeShadows();
}

void TForm_BKonmst::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (activated_) return;
    activated_ = true;
    FormActivate();
}

void TForm_BKonmst::FormActivate() {
    activateDialogFields(dialog_, ctx_, *this, *L_Nastaveno);
    const QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setValue(0);
    ScrollBar1->setMaximum(kMaxBase);
}

void TForm_BKonmst::ScrollBar1Scroll(int position) {
    // The shown rows are stored back before they move on; refused fields keep their values.
    validateAsOk();
    // The delay and time-out typed so far stay too; the image gets them only on OK or a send.
    const std::int32_t delay = dialog_.ResponseDelay;
    const std::int32_t timeout = dialog_.CommTimeout;
    fillFieldTable(position);
    dialog_.ResponseDelay = delay;
    dialog_.CommTimeout = timeout;
    SetupForm(ctx_.fields, *this);
}

void TForm_BKonmst::ComboBox_40Change(int index) {
    showFoundPort(*L_Nastaveno, ctx_.channels, index);
}

void TForm_BKonmst::send(bool inputs, bool outputs, bool mokr, bool zepa) {
    ConfigState& cfg = ctx_.config;
    cfg.SendPending = true;
    cfg.SendBinaryInputs = inputs;
    cfg.SendBinaryOutputs = outputs;
    cfg.SendMokr = mokr;
    cfg.SendZepa = zepa;
    done(kModalYes);
}

void TForm_BKonmst::BitBtn4Click() {
    send(false, true, false, false);
}
void TForm_BKonmst::BitBtn5Click() {
    send(true, false, false, false);
}
void TForm_BKonmst::BitBtn6Click() {
    send(false, false, true, false);
}
void TForm_BKonmst::BitBtn7Click() {
    send(false, false, false, true);
}

void TForm_BKonmst::BrowseClick() {
    browseConfigFile(ctx_, this, {"*.cfb", "CFB", "Vyberte soubor s příponou.CFB"},
                     [this](const ChosenConfigFile& chosen) {
                         ctx_.config.BinaryDirectory = chosen.directory;
                         ctx_.config.BinaryFileName = chosen.name;
                         LoadBinaryConfig(ctx_.config, ctx_.channels);
                         fillFieldTable(0);
                         SetupForm(ctx_.fields, *this);
                         const QSignalBlocker quiet(ScrollBar1);
                         ScrollBar1->setValue(0);
                     });
}

bool TForm_BKonmst::FormCloseQuery() {
    bool canClose = true;
    ValidateForm(ctx_.fields, *this, canClose);
    if (savesConfiguration(result())) storeShadows();
    ConfigState& cfg = ctx_.config;
    return finishCloseQuery(
        ctx_, result(), canClose, L_Nastaveno->text(), dialog_,
        {cfg.BinaryImage.ResponseDelay, cfg.BinaryImage.CommTimeout, [&](std::uint16_t baudIndex) {
             BuildBinaryImage(cfg, baudIndex);
             return SaveBinaryConfig(cfg, ctx_.channels);
         }});
}

void TForm_BKonmst::done(int result) {
    closeUnlessRefused(*this, result, [this] { return FormCloseQuery(); });
}

}  // namespace velor
