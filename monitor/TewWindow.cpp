#include "monitor/TewWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kWidth = 420;
constexpr int kRowRelays = kTewRelays / 2;

}  // namespace

TForm_TEW::TForm_TEW(UnitSelections& sel, QWidget* parent)
    : UnitWindow(RequestKind::Tew, QStringLiteral("Form_TEW"), QStringLiteral("Jednotka  TEW"),
                 QSize(kWidth, 230), parent),
      sel_(sel) {
    addTypePlate(QStringLiteral("  TEW  -  11"), QRect(10, 10, 180, 30));
    // Two rows of six from the right, three and three with a gap between the groups.
    for (int i = 0; i < kTewRelays; ++i) {
        const int column = i % kRowRelays;
        const int x = kWidth - 10 - 40 - 55 * column - (column >= 3 ? 30 : 0);
        const int y = i < kRowRelays ? 60 : 110;
        const QString caption =
            i < 10 ? QStringLiteral("Y &%1").arg(i) : QStringLiteral("Y %1").arg(i);
        relays_[i] = makeOutputButton(this, QStringLiteral("TEReg_%1").arg(i + 1), caption,
                                      QRect(x, y, 40, 30));
        connect(relays_[i], &QPushButton::clicked, this, &TForm_TEW::TEReg_1Click);
    }
    wiring_ = makeModeButton(this, QStringLiteral("BitBtn6"), QString(), QRect(10, 170, 260, 37));
    connect(wiring_, &QPushButton::clicked, this, &TForm_TEW::BitBtn6Click);
    showWiring();
}

void TForm_TEW::showAnswer(const BinaryView& view) {
    showBinaryView(view, {}, relays_);
    showWiring();
}

void TForm_TEW::TEReg_1Click() {
    const int n = clickedNumber();
    if (n < 1 || n > kTewRelays) return;
    // The relay's bit depends on the wiring: gapped, "Y 3" is bit 4.
    sel_.TewOutputs ^= inputBitMask(n, sel_.GappedInputLayout);
}

void TForm_TEW::BitBtn6Click() {
    sel_.GappedInputLayout = !sel_.GappedInputLayout;
    showWiring();
}

void TForm_TEW::showWiring() {
    // The caption names the wiring in force, also when the window opens after a switch.
    const bool gapped = sel_.GappedInputLayout;
    wiring_->setText(gapped ? QStringLiteral("Standardní zapojení &relé")
                            : QStringLiteral("Bitově neupravené zap.&relé"));
    QPalette p = wiring_->palette();
    p.setColor(QPalette::ButtonText, gapped ? QColor(255, 0, 0) : QColor(0, 128, 0));
    wiring_->setPalette(p);
}

void TForm_TEW::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    FormClose();
    event->accept();
}

void TForm_TEW::FormCloseQuery() {
    reportClosing(ScanReset::AddressOnly);
}

void TForm_TEW::FormClose() {
    reportClosing(ScanReset::AddressAndFlags);
}

}  // namespace velor
