#pragma once
// TForm_MOKR: the MOKR CPU module live: the counters of one plug-in input board coloured by
// its input states, and the outputs of one plug-in output board.

#include <QWidget>
#include <array>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/UnitWindows.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velor {

class TForm_MOKR : public QWidget {
    Q_OBJECT
public:
    // names: the names of the binary inputs, for relabelling when the input board changes.
    TForm_MOKR(UnitSelections& sel, UnitWindows& windows, BinaryInputNames names,
               QWidget* parent = nullptr);
    ~TForm_MOKR() override;

    QLineEdit* inputEdit(int n) const { return inputs_.at(n - 1); }        // Edit_1 .. Edit_8
    QLabel* inputLabel(int n) const { return names_.at(n - 1); }           // Label_1 .. Label_8
    QPushButton* outputButton(int n) const { return outputs_.at(n - 1); }  // BitBtn_1 .. BitBtn_8
    QComboBox* inputSelector() const { return inputBoard_; }               // CB_Input
    QComboBox* outputSelector() const { return outputBoard_; }             // CB_Output

    // Fills both board lists ("Piggy  P0" .. "Piggy  P7") and selects the boards chosen before.
    void fillBoardSelectors();
    // Labels of the inputs of board `board` (inputs 8 x board + 1 .. 8 x board + 8).
    void labelInputs(int board);

    void showAnswer(const BinaryView& view);
    void setStatusCaption(const QString& caption) { setWindowTitle(caption); }
    void refreshCaptions();

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn_8Click();
    void CB_InputChange(int index);
    void CB_OutputChange(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildInputs();
    void buildOutputs();

    UnitSelections& sel_;
    UnitWindows& windows_;
    BinaryInputNames inputNames_;
    std::array<QLineEdit*, 8> inputs_{};
    std::array<QLabel*, 8> names_{};
    std::array<QPushButton*, 8> outputs_{};
    QComboBox* inputBoard_ = nullptr;
    QComboBox* outputBoard_ = nullptr;
    QPushButton* setButton_ = nullptr;
    QPushButton* filterButton_ = nullptr;
};

}  // namespace velor
