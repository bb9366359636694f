#pragma once
// TForm_TEW: the TEW relay module live: twelve relay buttons whose captions turn red while
// the module reports the relay on, and the switch between the two relay wirings.

#include <QWidget>
#include <array>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/UnitWindows.h"

class QPushButton;

namespace velor {

class TForm_TEW : public QWidget {
    Q_OBJECT
public:
    TForm_TEW(UnitSelections& sel, UnitWindows& windows, QWidget* parent = nullptr);
    ~TForm_TEW() override;

    QPushButton* relayButton(int n) const { return relays_.at(n - 1); }  // TEReg_1 .. TEReg_12
    QPushButton* wiringButton() const { return wiring_; }                // BitBtn6

    void showAnswer(const BinaryView& view);
    void setStatusCaption(const QString& caption) { setWindowTitle(caption); }

public slots:
    void TEReg_1Click();
    void BitBtn6Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCloseQuery();
    void FormClose();
    void showWiring();

    UnitSelections& sel_;
    UnitWindows& windows_;
    std::array<QPushButton*, 12> relays_{};
    QPushButton* wiring_ = nullptr;
};

}  // namespace velor
