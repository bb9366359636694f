#pragma once
// TForm_TEVW: the TEVW binary input/output module live: eight counter values coloured by the
// input states, and eight output buttons whose captions turn red while the module reports
// the output on.

#include <QWidget>
#include <array>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/UnitWindows.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velor {

class TForm_TEVW : public QWidget {
    Q_OBJECT
public:
    TForm_TEVW(UnitSelections& sel, UnitWindows& windows, QWidget* parent = nullptr);
    ~TForm_TEVW() override;

    QLineEdit* inputEdit(int n) const { return inputs_.at(n - 1); }        // Edit_1 .. Edit_8
    QLabel* inputLabel(int n) const { return names_.at(n - 1); }           // Label_1 .. Label_8
    QPushButton* outputButton(int n) const { return outputs_.at(n - 1); }  // TEReg_1 .. TEReg_8

    void showAnswer(const BinaryView& view);
    void setStatusCaption(const QString& caption) { setWindowTitle(caption); }
    void refreshCaptions();

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void TEReg_1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    UnitSelections& sel_;
    UnitWindows& windows_;
    std::array<QLineEdit*, 8> inputs_{};
    std::array<QLabel*, 8> names_{};
    std::array<QPushButton*, 8> outputs_{};
    QPushButton* setButton_ = nullptr;
    QPushButton* filterButton_ = nullptr;
};

}  // namespace velor
