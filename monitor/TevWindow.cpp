#include "monitor/TevWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kEditWidth = 80;
constexpr int kStep = 90;
constexpr int kWidth = 8 * kStep + 20;

}  // namespace

TForm_TEV::TForm_TEV(UnitSelections& sel, UnitWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog), sel_(sel), windows_(windows) {
    setObjectName(QStringLiteral("Form_TEV"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Jednotka  TEV"));
    setFont(unitFormFont());
    setFixedSize(kWidth, 250);

    // Two rows of eight numbered from the right: 9..16 on top, 1..8 below.
    for (int i = 0; i < 16; ++i) {
        const int n = i + 1;
        const int x = kWidth - 10 - kEditWidth - kStep * (i % 8);
        const int y = n > 8 ? 10 : 130;
        inputs_[i] =
            makeValueEdit(this, QStringLiteral("Edit_%1").arg(n), QRect(x, y, kEditWidth, 24));
        inputs_[i]->setAlignment(Qt::AlignRight);
        names_[i] = makeLabel(this, QString(), QRect(x, y + 26, kEditWidth, 20),
                              QStringLiteral("Label_%1").arg(n), Qt::green);
    }
    makeLabel(this, QStringLiteral("  TEV -  11      "), QRect(10, 70, 200, 30),
              QStringLiteral("Label13"), Qt::lightGray);
    setButton_ =
        makeModeButton(this, QStringLiteral("BitBtn1"), QString(), QRect(10, 200, 193, 37));
    filterButton_ =
        makeModeButton(this, QStringLiteral("BitBtn2"), QString(), QRect(220, 200, 193, 37));
    connect(setButton_, &QPushButton::clicked, this, &TForm_TEV::BitBtn1Click);
    connect(filterButton_, &QPushButton::clicked, this, &TForm_TEV::BitBtn2Click);
    refreshCaptions();
    windows_.tev = this;
}

TForm_TEV::~TForm_TEV() {
    if (windows_.tev == this) windows_.tev = nullptr;
}

void TForm_TEV::showAnswer(const BinaryView& view) {
    showBinaryView(view, inputs_, {});
    refreshCaptions();
}

void TForm_TEV::refreshCaptions() {
    setButton_->setText(valueSetCaption(sel_.TevInputSet));
    filterButton_->setText(filterCaption(sel_.TevFilterFlag));
}

void TForm_TEV::BitBtn1Click() {
    sel_.TevInputSet = nextValueSet(sel_.TevInputSet);
    refreshCaptions();
}

void TForm_TEV::BitBtn2Click() {
    sel_.TevFilterFlag = !sel_.TevFilterFlag;
    refreshCaptions();
}

void TForm_TEV::closeEvent(QCloseEvent* event) {
    if (windows_.tev == this) windows_.tev = nullptr;
    windows_.stopMonitoring(ScanReset::AddressAndFlags);
    event->accept();
}

}  // namespace velor
