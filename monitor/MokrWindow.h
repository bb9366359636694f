#pragma once
// TForm_MOKR: the MOKR CPU module live: the counters of one plug-in input board coloured by
// its input states, and the outputs of one plug-in output board.

#include "modules/UnitSelections.h"
#include "monitor/UnitWindow.h"

class QComboBox;

namespace velor {

class TForm_MOKR : public ValueSetWindow {
    Q_OBJECT
public:
    // names: the names of the binary inputs, for relabelling when the input board changes.
    TForm_MOKR(UnitSelections& sel, BinaryInputNames names, QWidget* parent = nullptr);

    QComboBox* inputSelector() const { return inputBoard_; }    // CB_Input
    QComboBox* outputSelector() const { return outputBoard_; }  // CB_Output

    // Fills both board lists ("Piggy  P0" .. "Piggy  P7") and selects the boards chosen before.
    void fillBoardSelectors();
    // Labels of the inputs of board `board` (inputs 8 x board + 1 .. 8 x board + 8).
    void labelInputs(int board);
    // The selectors keep the boards chosen when the window was open before, and the labels name
    // the inputs of the board whose counters are read, not always those of the first board.
    void prepareToOpen(const ConfigState& config) override;

public slots:
    void BitBtn_8Click();
    void CB_InputChange(int index);
    void CB_OutputChange(int index);

private:
    void buildInputs();
    void buildOutputs();

    UnitSelections& sel_;
    BinaryInputNames inputNames_;
    QComboBox* inputBoard_ = nullptr;
    QComboBox* outputBoard_ = nullptr;
};

}  // namespace velor
