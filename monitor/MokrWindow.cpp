#include "monitor/MokrWindow.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/Labels.h"

namespace velor {

namespace {

// The bevels take 10 more at either side.
constexpr int kWidth = kInputRowWidth + 20;

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

TForm_MOKR::TForm_MOKR(UnitSelections& sel, BinaryInputNames names, QWidget* parent)
    : ValueSetWindow(RequestKind::Mokr, sel.MokrInputSet, sel.MokrFilterFlag,
                     QStringLiteral("Form_MOKR"), QStringLiteral("Jednotka  MOKR"),
                     QSize(kWidth, 330), parent),
      sel_(sel),
      inputNames_(std::move(names)) {
    inputBoard_ = makeBoardList(this, QStringLiteral("CB_Input"), QRect(10, 10, 160, 26));
    buildInputs();
    buildOutputs();
    addTypePlate(QStringLiteral("MOKR - 03"), QRect(kWidth - 190, 10, 180, 30));
    addModeButtons(280);
    // Only the user's choice changes the selections; filling the lists does not.
    connect(inputBoard_, &QComboBox::activated, this, &TForm_MOKR::CB_InputChange);
    connect(outputBoard_, &QComboBox::activated, this, &TForm_MOKR::CB_OutputChange);
    fillBoardSelectors();
}

void TForm_MOKR::buildInputs() {
    makeBevel(this, QStringLiteral("Bevel2"), QRect(10, 50, kWidth - 20, 80));
    addInputRow(1, kWidth - 20, 60, 90);
}

void TForm_MOKR::buildOutputs() {
    makeBevel(this, QStringLiteral("Bevel1"), QRect(10, 150, kWidth - 20, 110));
    outputBoard_ = makeBoardList(this, QStringLiteral("CB_Output"), QRect(20, 160, 160, 26));
    for (int i = 0; i < kBoardOutputs; ++i) {
        QPushButton* output =
            addOutput(QStringLiteral("BitBtn_%1").arg(i + 1), i, kWidth - 20 - 40 - 50 * i, 210);
        connect(output, &QPushButton::clicked, this, &TForm_MOKR::BitBtn_8Click);
    }
}

void TForm_MOKR::prepareToOpen(const ConfigState& config) {
    ValueSetWindow::prepareToOpen(config);
    fillBoardSelectors();
    labelInputs(sel_.MokrInputPiggy);
    sel_.MokrWritePhase = false;
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
    for (int i = 0; i < kBoardInputs; ++i) {
        const int n = firstBinaryInput(RequestKind::Mokr, board) + i + 1;
        names_[i]->setText(shownInputName(inputNames_(n)));
    }
}

void TForm_MOKR::BitBtn_8Click() {
    const int n = clickedNumber();
    const auto board = static_cast<std::size_t>(sel_.MokrOutputPiggy);
    if (n < 1 || n > kBoardOutputs || board >= sel_.PiggyOutputs.size()) return;
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

}  // namespace velor
