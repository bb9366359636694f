#pragma once
// TForm_Okno: the KALU analog module live: twelve input values and six typed output values.
// The window does no communication and no decoding: it keeps the typed outputs in the
// selections, and the polling loop has it paint the decoded values.

#include <QWidget>
#include <array>
#include <cstdint>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/UnitWindow.h"

class QLabel;
class QLineEdit;

namespace velor {

class TForm_Okno : public UnitWindow {
    Q_OBJECT
public:
    // variant: the variant byte of the analog configuration (1 = variant 12).
    TForm_Okno(UnitSelections& sel, std::uint8_t variant, QWidget* parent = nullptr);
    ~TForm_Okno() override;

    static constexpr int kHelpContext = 105;

    QLineEdit* inputEdit(int n) const { return inputs_.at(n - 1); }  // Edit1 .. Edit12
    QLabel* inputLabel(int n) const { return names_.at(n - 1); }     // Label1 .. Label12
    QLineEdit* outputEdit(int n) const { return outputs_.at(n); }    // Edit_20 .. Edit_25
    QLabel* outputLabel(int n) const { return outputNames_.at(n); }  // Label20 .. Label25
    QLabel* variantLabel() const { return variant_; }                // Label13

    void showValues(const KaluView& view);
    void showDecoded(const DecodeResult& result) override { showValues(result.kalu); }
    // Slot 1, the inputs named after the analog configuration, the outputs numbered.
    void prepareToOpen(const ConfigState& config) override;

    // Slot number in the opener's table of KALU windows; 1 once shown.
    int slotNumber = 0;

public slots:
    void Edit_25Change();

protected:
    void showEvent(QShowEvent* event) override;
    // The KALU window restarts the scan only; the binary and CPU windows also forget the
    // addresses found.
    ScanReset closeReset() const override { return ScanReset::AddressOnly; }

private:
    void buildInputs();
    void buildOutputs();

    UnitSelections& sel_;
    std::array<QLineEdit*, kKaluInputs> inputs_{};
    std::array<QLabel*, kKaluInputs> names_{};
    std::array<QLineEdit*, kKaluOutputs> outputs_{};
    std::array<QLabel*, kKaluOutputs> outputNames_{};
    QLabel* variant_ = nullptr;
    bool placed_ = false;
};

}  // namespace velor
