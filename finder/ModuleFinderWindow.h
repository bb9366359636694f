#pragma once
// "Hledání modulů": the module finder window. It sweeps addresses, baud rates and parities on
// one port and adopts a chosen answer as channel 1's port, baud rate and parity.

#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "comm/ChannelLoan.h"
#include "comm/CommState.h"
#include "comm/SerialDevices.h"
#include "comm/SerialPortName.h"
#include "config/ConfigState.h"
#include "modules/ModuleSweep.h"
#include "ui/ToolSet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QSpinBox;
class QTimer;

namespace velor {

class ModuleFinderWindow : public QDialog {
    Q_OBJECT
public:
    // The caller has taken the channel from the loop (as for an editor).
    ModuleFinderWindow(CommState& comm, ConfigState& config, QWidget* parent = nullptr);
    ~ModuleFinderWindow() override;

    void startSweep();
    void abortSweep();
    // Adopts the selected answer: channel 1's port, baud rate and parity, saved in COM.CFG.
    bool adoptSelected();
    // Asks whether the answer's address becomes the module address of the analog or binary
    // configuration, and saves that file when the user agrees.
    void offerModuleAddress(int address);

    // Lists the serial devices, names in the port list where COM1..COM9 lead and adds the
    // devices themselves to it.
    void showSerialDevices(std::vector<SerialDevice> devices);
    // Makes COMn (ComChoice) in the working directory a link to the selected device.
    bool assignSelectedDevice();
    // The same for a link target; an existing other link is replaced only when confirmed.
    bool assignDevice(const std::string& target);
    bool sweeping() const { return sweep_ != nullptr; }
    const ModuleSweep* sweep() const { return sweep_.get(); }

    QComboBox* PortChoice = nullptr;
    std::array<QCheckBox*, 5> BaudChecks{};
    QComboBox* ParityChoice = nullptr;
    QSpinBox* FromAddress = nullptr;
    QSpinBox* ToAddress = nullptr;
    QSpinBox* Timeout = nullptr;
    QListWidget* Answers = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* TimeLeft = nullptr;
    QPushButton* B_Hledat = nullptr;
    QPushButton* B_Prerusit = nullptr;
    QPushButton* B_Pouzit = nullptr;
    QPushButton* B_Zavrit = nullptr;
    QListWidget* Devices = nullptr;
    QComboBox* ComChoice = nullptr;
    QPushButton* B_Priradit = nullptr;
    QPushButton* B_Obnovit = nullptr;

protected:
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    SweepSettings settingsFromControls() const;
    void tick();
    void showAnswers();
    void endSweep();
    void updatePouzit();
    QWidget* createDeviceControls();
    void labelPortChoice();
    void listDevicePorts();
    void restoreResolver();
    std::optional<std::uint8_t> adoptedPort();
    // Saves COM.CFG; a failure is reported in Czech and returns false.
    bool saveChannelSettings();

    CommState& comm_;
    ConfigState& config_;
    std::unique_ptr<ModuleSweep> sweep_;
    QTimer* timer_ = nullptr;
    std::uint8_t oldPortNumber_ = 0;
    std::string oldPortName_;
    int shown_ = 0;
    std::vector<SweepAnswer> lastAnswers_;
    bool closeAfterSweep_ = false;
    // The port the answers came from: "Použít" adopts it even when the list shows another now.
    int sweptChoice_ = 0;
    QString sweptDevicePath_;
    std::vector<SerialDevice> devices_;
    bool devicesListed_ = false;
    std::optional<PortResolver> savedResolver_;  // while a device is swept by its path
};

// "Hledání modulů…" (Ctrl+F) in the main window: opens the finder modally over it, with
// channel 1 borrowed from the polling loop for the time, as a configuration editor has it.
Tool moduleFinderTool(CommState& comm, ConfigState& config, ChannelLoan loan);

}  // namespace velor
