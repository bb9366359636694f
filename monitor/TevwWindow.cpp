#include "monitor/TevwWindow.h"

#include <QPushButton>

#include "ui/ControlNumber.h"
#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kEditWidth = 80;
constexpr int kStep = 90;
constexpr int kWidth = 8 * kStep + 20;

}  // namespace

TForm_TEVW::TForm_TEVW(UnitSelections& sel, QWidget* parent)
    : ValueSetWindow(RequestKind::Tevw, sel.TevwInputSet, sel.TevwFilterFlag,
                     QStringLiteral("Form_TEVW"), QStringLiteral("Jednotka  TEVW"),
                     QSize(kWidth, 270), parent),
      sel_(sel) {
    for (int n = 1; n <= 8; ++n) addInput(n, kWidth - 10 - kEditWidth - kStep * (n - 1), 10, 36);
    // Outputs Y0..Y3 in the first row under the inputs, Y4..Y7 in the second, from the right.
    for (int i = 0; i < 8; ++i) {
        const int x = kWidth - 10 - 40 - 50 * (i % 4);
        const int y = i < 4 ? 70 : 110;
        outputs_.push_back(makeOutputButton(this, QStringLiteral("TEReg_%1").arg(i + 1),
                                            QStringLiteral("Y &%1").arg(i), QRect(x, y, 40, 30)));
        connect(outputs_.back(), &QPushButton::clicked, this, &TForm_TEVW::TEReg_1Click);
    }
    makeLabel(this, QStringLiteral("  TEVW  -  11      "), QRect(10, 90, 220, 30),
              QStringLiteral("Label13"), Qt::lightGray);
    addModeButtons(220);
}

void TForm_TEVW::TEReg_1Click() {
    const int n = controlNumber(sender() ? sender()->objectName() : QString());
    if (n < 1 || n > 8) return;
    // The next TEVW poll writes the word; the captions turn red once the module reports it.
    sel_.TevwOutputs ^= static_cast<std::uint16_t>(1u << (n - 1));
}

}  // namespace velor
