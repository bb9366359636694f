#include "monitor/TevWindow.h"

#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kEditWidth = 80;
constexpr int kStep = 90;
constexpr int kWidth = 8 * kStep + 20;

}  // namespace

TForm_TEV::TForm_TEV(UnitSelections& sel, QWidget* parent)
    : ValueSetWindow(RequestKind::Tev, sel.TevInputSet, sel.TevFilterFlag,
                     QStringLiteral("Form_TEV"), QStringLiteral("Jednotka  TEV"),
                     QSize(kWidth, 250), parent) {
    // Two rows of eight numbered from the right: 9..16 on top, 1..8 below.
    for (int n = 1; n <= 16; ++n) {
        const int y = n > 8 ? 10 : 130;
        addInput(n, kWidth - 10 - kEditWidth - kStep * ((n - 1) % 8), y, y + 26);
    }
    makeLabel(this, QStringLiteral("  TEV -  11      "), QRect(10, 70, 200, 30),
              QStringLiteral("Label13"), Qt::lightGray);
    addModeButtons(200);
}

}  // namespace velor
