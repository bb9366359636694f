#pragma once
// TForm_Konmst: the modal editor of the KALU analog module configuration (unit Mzkonmst).
// Every numbered control is bound to AnalogConfig, channel 1 or the dialog's own delay and
// time-out through the field table; the dialog adds the sensor choice, the polynomial
// constants, the module variant, the port list and the configuration file around it.

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/EditorContext.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velor {

struct ChannelState;

// --- Shared with the binary editor ---------------------------------------------------------

// The port list's items: "COM n" for every found port "COMn", each followed by 0x01, the list
// ended by 0x00. Item i therefore always names foundPorts[i].
std::string PortChoiceItems(const std::vector<std::string>& foundPorts);

// Declares the port list (field `number`, bound to the list index) in the field table. With no
// serial port found the list stays empty and disabled and is left out of the table: an empty
// list can hold no valid choice, and reading it back would refuse every OK.
void appendPortField(FieldBindingState& fields, QWidget& form, int number, std::uint8_t& listIndex,
                     const std::string& items, const ChannelState& channels);

// "COM" followed by the port number, as L_Nastaveno and SelectedPortName show it.
std::string PortLabelText(unsigned portNumber);

// On OK or "Nastavit": the port named by L_Nastaveno ("COMn", n 1..255) becomes channel 1's
// PortNumber and the text its SelectedPortName. A text naming no port, or port 0, changes
// nothing, so a TCP channel stays TCP. Returns whether the port changed.
bool ApplyChosenPort(std::string_view label, ChannelState& channels);

// ReplyTimeout = delay x 10, at least 200; PollInterval = delay x 2, at least 100.
void ApplyResponseDelay(std::int32_t responseDelay, std::uint16_t& replyTimeout,
                        std::uint16_t& pollInterval);

struct ChosenConfigFile {
    std::string directory;  // ends with the separator
    std::string name;       // upper case, ending with the extension
};

// The file picked in the file dialog as a directory and a file name: the name is taken in upper
// case and gets "." + extension when it does not end in the extension. Empty when the path
// cannot take the extension (it would pass 255 characters).
std::optional<ChosenConfigFile> ChooseConfigFile(const QString& path, std::string_view extension);

// Client size from the hidden PanelSize panel, then centred on the screen.
void SizeFromPanel(QWidget& dialog, const QWidget& panelSize);

// --------------------------------------------------------------------------------------------

class AnalogEditor : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 814;
    static constexpr int kClientHeight = 552;
    static constexpr int kHelpContext = 106;
    static constexpr int kRows = 12;

    explicit AnalogEditor(EditorContext& context, QWidget* parent = nullptr);

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
    void setup();
    void validateAsOk();
    void showConstants();

    EditorContext& ctx_;
    int currentInput_ = 1;
    int currentSensor_ = 0;
    bool activated_ = false;
    // The dialog's own delay and time-out, loaded from the image with the field table.
    std::int32_t ResponseDelay = 0;
    std::int32_t CommTimeout = 0;
    // The port list is bound here, not to PortNumber: its item index names a found port, never
    // a port number. PortNumber follows L_Nastaveno on OK or "Nastavit" only.
    std::uint8_t portListIndex_ = 0;
    // The 16-bit and 8-bit fields edit the low bits of wider variables; these shadows are
    // bound in their place and copied over after every read-back.
    std::array<std::int16_t, kRows> decimals16_{};
    std::array<std::int16_t, kRows> filter16_{};
    std::array<std::uint8_t, kRows> sensor8_{};
    std::int16_t address16_ = 0;
    std::uint8_t baud8_ = 0;
    std::string portItems_;
    std::string sensorItems_;
};

}  // namespace velor
