#include "monitor/TevWindow.h"

namespace velor {

TForm_TEV::TForm_TEV(UnitSelections& sel, QWidget* parent)
    : ValueSetWindow(RequestKind::Tev, sel.TevInputSet, sel.TevFilterFlag,
                     QStringLiteral("Form_TEV"), QStringLiteral("Jednotka  TEV"),
                     QSize(kInputRowWidth, 250), parent) {
    // Two rows of eight numbered from the right: 1..8 below, 9..16 on top.
    addInputRow(1, kInputRowWidth - 10, 130, 156);
    addInputRow(9, kInputRowWidth - 10, 10, 36);
    addTypePlate(QStringLiteral("  TEV -  11      "), QRect(10, 70, 200, 30));
    addModeButtons(200);
}

}  // namespace velor
