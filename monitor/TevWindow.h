#pragma once
// TForm_TEV: the TEV binary input module live: sixteen counter values coloured by the input
// states, with the value-set and filter buttons.

#include "modules/UnitSelections.h"
#include "monitor/UnitWindow.h"

namespace velor {

class TForm_TEV : public ValueSetWindow {
    Q_OBJECT
public:
    explicit TForm_TEV(UnitSelections& sel, QWidget* parent = nullptr);
};

}  // namespace velor
