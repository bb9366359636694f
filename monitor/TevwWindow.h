#pragma once
// TForm_TEVW: the TEVW binary input/output module live: eight counter values coloured by the
// input states, and eight output buttons whose captions turn red while the module reports
// the output on.

#include "modules/UnitSelections.h"
#include "monitor/UnitWindow.h"

namespace velor {

class TForm_TEVW : public ValueSetWindow {
    Q_OBJECT
public:
    explicit TForm_TEVW(UnitSelections& sel, QWidget* parent = nullptr);

public slots:
    void TEReg_1Click();

private:
    UnitSelections& sel_;
};

}  // namespace velor
