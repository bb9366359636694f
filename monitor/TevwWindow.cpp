#include "monitor/TevwWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ControlNumber.h"
#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kEditWidth = 80;
constexpr int kStep = 90;
constexpr int kWidth = 8 * kStep + 20;

int columnX(int column) {
    return kWidth - 10 - kEditWidth - kStep * column;
}

}  // namespace

TForm_TEVW::TForm_TEVW(UnitSelections& sel, UnitWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog), sel_(sel), windows_(windows) {
    setObjectName(QStringLiteral("Form_TEVW"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Jednotka  TEVW"));
    setFont(unitFormFont());
    setFixedSize(kWidth, 270);

    for (int i = 0; i < 8; ++i) {
        const int x = columnX(i);
        inputs_[i] =
            makeValueEdit(this, QStringLiteral("Edit_%1").arg(i + 1), QRect(x, 10, kEditWidth, 24));
        inputs_[i]->setAlignment(Qt::AlignRight);
        names_[i] = makeLabel(this, QString(), QRect(x, 36, kEditWidth, 20),
                              QStringLiteral("Label_%1").arg(i + 1), Qt::green);
    }
    // Outputs Y0..Y3 in the first row under the inputs, Y4..Y7 in the second, from the right.
    for (int i = 0; i < 8; ++i) {
        const int x = kWidth - 10 - 40 - 50 * (i % 4);
        const int y = i < 4 ? 70 : 110;
        outputs_[i] = makeOutputButton(this, QStringLiteral("TEReg_%1").arg(i + 1),
                                       QStringLiteral("Y &%1").arg(i), QRect(x, y, 40, 30));
        connect(outputs_[i], &QPushButton::clicked, this, &TForm_TEVW::TEReg_1Click);
    }
    makeLabel(this, QStringLiteral("  TEVW  -  11      "), QRect(10, 90, 220, 30),
              QStringLiteral("Label13"), Qt::lightGray);
    setButton_ =
        makeModeButton(this, QStringLiteral("BitBtn1"), QString(), QRect(10, 220, 193, 37));
    filterButton_ =
        makeModeButton(this, QStringLiteral("BitBtn2"), QString(), QRect(220, 220, 193, 37));
    connect(setButton_, &QPushButton::clicked, this, &TForm_TEVW::BitBtn1Click);
    connect(filterButton_, &QPushButton::clicked, this, &TForm_TEVW::BitBtn2Click);
    refreshCaptions();
    windows_.tevw = this;
}

TForm_TEVW::~TForm_TEVW() {
    if (windows_.tevw == this) windows_.tevw = nullptr;
}

void TForm_TEVW::showAnswer(const BinaryView& view) {
    showBinaryView(view, inputs_, outputs_);
    refreshCaptions();
}

void TForm_TEVW::refreshCaptions() {
    setButton_->setText(valueSetCaption(sel_.TevwInputSet));
    filterButton_->setText(filterCaption(sel_.TevwFilterFlag));
}

void TForm_TEVW::BitBtn1Click() {
    sel_.TevwInputSet = nextValueSet(sel_.TevwInputSet);
    refreshCaptions();
}

void TForm_TEVW::BitBtn2Click() {
    sel_.TevwFilterFlag = !sel_.TevwFilterFlag;
    refreshCaptions();
}

void TForm_TEVW::TEReg_1Click() {
    const int n = controlNumber(sender() ? sender()->objectName() : QString());
    if (n < 1 || n > 8) return;
    // The next TEVW poll writes the word; the captions turn red once the module reports it.
    sel_.TevwOutputs ^= static_cast<std::uint16_t>(1u << (n - 1));
}

void TForm_TEVW::closeEvent(QCloseEvent* event) {
    if (windows_.tevw == this) windows_.tevw = nullptr;
    windows_.stopMonitoring(ScanReset::AddressAndFlags);
    event->accept();
}

}  // namespace velor
