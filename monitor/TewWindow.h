#pragma once
// TForm_TEW: the TEW relay module live: twelve relay buttons whose captions turn red while
// the module reports the relay on, and the switch between the two relay wirings.

#include <array>

#include "modules/UnitSelections.h"
#include "monitor/UnitWindow.h"

class QPushButton;

namespace velor {

class TForm_TEW : public UnitWindow {
    Q_OBJECT
public:
    explicit TForm_TEW(UnitSelections& sel, QWidget* parent = nullptr);

    QPushButton* relayButton(int n) const { return relays_.at(n - 1); }  // TEReg_1 .. TEReg_12
    QPushButton* wiringButton() const { return wiring_; }                // BitBtn6

    void showAnswer(const BinaryView& view);
    void showDecoded(const DecodeResult& result) override { showAnswer(result.binary); }
    void prepareToOpen(const ConfigState&) override {}

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
    std::array<QPushButton*, kTewRelays> relays_{};
    QPushButton* wiring_ = nullptr;
};

}  // namespace velor
