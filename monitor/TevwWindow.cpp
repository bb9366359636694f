#include "monitor/TevwWindow.h"

#include <QPushButton>

namespace velor {

TForm_TEVW::TForm_TEVW(UnitSelections& sel, QWidget* parent)
    : ValueSetWindow(RequestKind::Tevw, sel.TevwInputSet, sel.TevwFilterFlag,
                     QStringLiteral("Form_TEVW"), QStringLiteral("Jednotka  TEVW"),
                     QSize(kInputRowWidth, 270), parent),
      sel_(sel) {
    addInputRow(1, kInputRowWidth - 10, 10, 36);
    // Outputs Y0..Y3 in the first row under the inputs, Y4..Y7 in the second, from the right.
    constexpr int kRowOutputs = kTevwOutputs / 2;
    for (int i = 0; i < kTevwOutputs; ++i) {
        const int x = kInputRowWidth - 10 - 40 - 50 * (i % kRowOutputs);
        QPushButton* output =
            addOutput(QStringLiteral("TEReg_%1").arg(i + 1), i, x, i < kRowOutputs ? 70 : 110);
        connect(output, &QPushButton::clicked, this, &TForm_TEVW::TEReg_1Click);
    }
    addTypePlate(QStringLiteral("  TEVW  -  11      "), QRect(10, 90, 220, 30));
    addModeButtons(220);
}

void TForm_TEVW::TEReg_1Click() {
    const int n = clickedNumber();
    if (n < 1 || n > kTevwOutputs) return;
    // The next TEVW poll writes the word; the captions turn red once the module reports it.
    sel_.TevwOutputs ^= static_cast<std::uint16_t>(1u << (n - 1));
}

}  // namespace velor
