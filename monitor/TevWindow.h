#pragma once
// TForm_TEV: the TEV binary input module live: sixteen counter values coloured by the input
// states, with the value-set and filter buttons.

#include <QWidget>
#include <array>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/UnitWindows.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velor {

class TForm_TEV : public QWidget {
    Q_OBJECT
public:
    // Registers itself as the TEV window of `windows`.
    TForm_TEV(UnitSelections& sel, UnitWindows& windows, QWidget* parent = nullptr);
    ~TForm_TEV() override;

    QLineEdit* inputEdit(int n) const { return inputs_.at(n - 1); }  // Edit_1 .. Edit_16
    QLabel* inputLabel(int n) const { return names_.at(n - 1); }     // Label_1 .. Label_16

    void showAnswer(const BinaryView& view);
    void setStatusCaption(const QString& caption) { setWindowTitle(caption); }
    // The two mode buttons name the value set and filter of the selections.
    void refreshCaptions();

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    UnitSelections& sel_;
    UnitWindows& windows_;
    std::array<QLineEdit*, 16> inputs_{};
    std::array<QLabel*, 16> names_{};
    QPushButton* setButton_ = nullptr;
    QPushButton* filterButton_ = nullptr;
};

}  // namespace velor
