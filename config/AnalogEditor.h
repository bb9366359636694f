#pragma once
// TForm_Konmst: the modal editor of the KALU analog module configuration (unit Mzkonmst).
// Every numbered control is bound to AnalogConfig, channel 1 or the dialog's own delay and
// time-out through the field table; the dialog adds the sensor choice, the polynomial
// constants, the module variant, the port list and the configuration file around it.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "config/AnalogRecords.h"
#include "config/EditorCommon.h"
#include "config/EditorContext.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velor {

class TForm_Konmst : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 814;
    static constexpr int kClientHeight = 552;
    static constexpr int kHelpContext = 106;
    static constexpr int kRows = static_cast<int>(kAnalogInputCount);
    // Field numbers: the controls of input row r carry base + r in their names (Edit_50 + r,
    // ComboBox_210 + r, ...); the port and baud rate lists have one each.
    static constexpr int kRowLabelField = 10;
    static constexpr int kFilterField = 30;
    static constexpr int kNameField = 50;
    static constexpr int kZeroSuppressionField = 70;
    static constexpr int kDecimalsField = 100;
    static constexpr int kLowLimitField = 150;
    static constexpr int kHighLimitField = 190;
    static constexpr int kSensorField = 210;
    static constexpr int kOffsetField = 230;
    static constexpr int kPortListField = 45;
    static constexpr int kBaudListField = 46;

    explicit TForm_Konmst(EditorContext& context, QWidget* parent = nullptr);

    int currentInput() const { return currentInput_; }
    int currentSensor() const { return currentSensor_; }

    // Event handlers, public so that tests drive them exactly as the controls do.
    void FormCreate();
    void FormActivate();
    bool FormCloseQuery();
    void Edit_50Click(QWidget* sender);
    void ComboBox_210Change(QWidget* sender);
    void ComboBox_45Click(int index);
    void BitBtn4Click();
    void BitBtn5Click();
    void BrowseClick();

    QLabel* L_Nastaveno = nullptr;
    QLabel* L_KonstPolyn = nullptr;
    QLabel* Label23 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* Browse = nullptr;
    QWidget* PanelSize = nullptr;

    // Runs the close query; the dialog stays open when it refuses.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createHeadings();
    void createRow(int row);
    void createDialogFields();
    void createButtons();
    void fillFieldTable();
    void appendRow(int row);
    void loadShadows();
    void storeShadows();
    void validateAsOk();
    void showConstants();

    EditorContext& ctx_;
    int currentInput_ = 1;
    int currentSensor_ = 0;
    bool activated_ = false;
    // Port, baud rate, the dialog's own delay and time-out, address and file.
    DialogFields dialog_{kPortListField, kBaudListField};
    // The 16-bit and 8-bit row fields edit the low bits of wider variables; these shadows are
    // bound in their place and copied over after every read-back.
    std::array<std::int16_t, kRows> decimals16_{};
    std::array<std::int16_t, kRows> filter16_{};
    std::array<std::uint8_t, kRows> sensor8_{};
    std::string sensorItems_;
};

}  // namespace velor
