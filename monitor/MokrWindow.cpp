#include "monitor/MokrWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ControlNumber.h"
#include "ui/Cp1250.h"
#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kEditWidth = 80;
constexpr int kStep = 90;
constexpr int kWidth = 8 * kStep + 40;

QComboBox* makeBoardList(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* cb = new QComboBox(parent);
    cb->setObjectName(name);
    cb->setGeometry(geometry);
    cb->setEditable(false);
    QPalette p = cb->palette();
    p.setColor(QPalette::Button, QColor(255, 0, 255));
    p.setColor(QPalette::Base, QColor(255, 0, 255));
    cb->setPalette(p);
    return cb;
}

QFrame* makeBevel(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(geometry);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    return f;
}

}  // namespace

TForm_MOKR::TForm_MOKR(UnitSelections& sel, UnitWindows& windows, BinaryInputNames names,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog),
      sel_(sel),
      windows_(windows),
      inputNames_(std::move(names)) {
    setObjectName(QStringLiteral("Form_MOKR"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Jednotka  MOKR"));
    setFont(unitFormFont());
    setFixedSize(kWidth, 330);

    inputBoard_ = makeBoardList(this, QStringLiteral("CB_Input"), QRect(10, 10, 160, 26));
    buildInputs();
    buildOutputs();
    makeLabel(this, QStringLiteral("MOKR - 03"), QRect(kWidth - 190, 10, 180, 30),
              QStringLiteral("Label13"), Qt::lightGray);
    setButton_ =
        makeModeButton(this, QStringLiteral("BitBtn1"), QString(), QRect(10, 280, 193, 37));
    filterButton_ =
        makeModeButton(this, QStringLiteral("BitBtn2"), QString(), QRect(220, 280, 193, 37));
    connect(setButton_, &QPushButton::clicked, this, &TForm_MOKR::BitBtn1Click);
    connect(filterButton_, &QPushButton::clicked, this, &TForm_MOKR::BitBtn2Click);
    // Only the user's choice changes the selections; filling the lists does not.
    connect(inputBoard_, &QComboBox::activated, this, &TForm_MOKR::CB_InputChange);
    connect(outputBoard_, &QComboBox::activated, this, &TForm_MOKR::CB_OutputChange);
    fillBoardSelectors();
    refreshCaptions();
    windows_.mokr = this;
}

void TForm_MOKR::buildInputs() {
    makeBevel(this, QStringLiteral("Bevel2"), QRect(10, 50, kWidth - 20, 80));
    for (int i = 0; i < 8; ++i) {
        const int x = kWidth - 20 - kEditWidth - kStep * i;
        inputs_[i] =
            makeValueEdit(this, QStringLiteral("Edit_%1").arg(i + 1), QRect(x, 60, kEditWidth, 24));
        inputs_[i]->setAlignment(Qt::AlignRight);
        names_[i] = makeLabel(this, QString(), QRect(x, 90, kEditWidth, 20),
                              QStringLiteral("Label_%1").arg(i + 1), Qt::green);
    }
}

void TForm_MOKR::buildOutputs() {
    makeBevel(this, QStringLiteral("Bevel1"), QRect(10, 150, kWidth - 20, 110));
    outputBoard_ = makeBoardList(this, QStringLiteral("CB_Output"), QRect(20, 160, 160, 26));
    for (int i = 0; i < 8; ++i) {
        const int x = kWidth - 20 - 40 - 50 * i;
        outputs_[i] = makeOutputButton(this, QStringLiteral("BitBtn_%1").arg(i + 1),
                                       QStringLiteral("Y &%1").arg(i), QRect(x, 210, 40, 30));
        connect(outputs_[i], &QPushButton::clicked, this, &TForm_MOKR::BitBtn_8Click);
    }
}

TForm_MOKR::~TForm_MOKR() {
    if (windows_.mokr == this) windows_.mokr = nullptr;
}

void TForm_MOKR::fillBoardSelectors() {
    for (QComboBox* cb : {outputBoard_, inputBoard_}) {
        cb->clear();
        for (int i = 0; i < kPiggyCount; ++i) cb->addItem(QStringLiteral("Piggy  P%1").arg(i));
    }
    outputBoard_->setCurrentIndex(sel_.MokrOutputPiggy);
    inputBoard_->setCurrentIndex(sel_.MokrInputPiggy);
}

void TForm_MOKR::labelInputs(int board) {
    if (!inputNames_ || board < 0 || board >= kPiggyCount) return;
    for (int i = 0; i < 8; ++i) {
        const std::string name = PadName(inputNames_(8 * board + i + 1), 10);
        names_[i]->setText(cp1250ToQString(name));
    }
}

void TForm_MOKR::showAnswer(const BinaryView& view) {
    showBinaryView(view, inputs_, outputs_);
    refreshCaptions();
}

void TForm_MOKR::refreshCaptions() {
    setButton_->setText(valueSetCaption(sel_.MokrInputSet));
    filterButton_->setText(filterCaption(sel_.MokrFilterFlag));
}

void TForm_MOKR::BitBtn1Click() {
    sel_.MokrInputSet = nextValueSet(sel_.MokrInputSet);
    refreshCaptions();
}

void TForm_MOKR::BitBtn2Click() {
    sel_.MokrFilterFlag = !sel_.MokrFilterFlag;
    refreshCaptions();
}

void TForm_MOKR::BitBtn_8Click() {
    const int n = controlNumber(sender() ? sender()->objectName() : QString());
    const auto board = static_cast<std::size_t>(sel_.MokrOutputPiggy);
    if (n < 1 || n > 8 || board >= sel_.PiggyOutputs.size()) return;
    sel_.PiggyOutputs[board] ^= static_cast<std::uint8_t>(1u << (n - 1));
}

void TForm_MOKR::CB_InputChange(int index) {
    if (index < 0 || index >= kPiggyCount) return;
    sel_.MokrInputPiggy = index;
    labelInputs(index);
}

void TForm_MOKR::CB_OutputChange(int index) {
    if (index < 0 || index >= kPiggyCount) return;
    sel_.MokrOutputPiggy = index;
}

void TForm_MOKR::closeEvent(QCloseEvent* event) {
    if (windows_.mokr == this) windows_.mokr = nullptr;
    windows_.stopMonitoring(ScanReset::AddressAndFlags);
    event->accept();
}

}  // namespace velor
