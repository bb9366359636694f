#pragma once
// What the two configuration editors share: the port list and the port in use, the fields of
// the whole dialog (port, baud rate, delay, time-out, address, file), the file choice, the end
// of the close query and the small control makers.

#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/PortRecord.h"
#include "config/EditorContext.h"
#include "ui/MessageService.h"

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace velor {

struct ChannelState;

// Field numbers of the dialog fields both editors have; the control of field n is Edit_n.
inline constexpr int kDelayField = 1;    // response delay
inline constexpr int kTimeoutField = 2;  // communication time-out
inline constexpr int kAddressField = 4;  // module address
inline constexpr int kFileField = 5;     // configuration file name

// The name of the edit of field n: "Edit_n".
QString editName(int field);

// The hint of every "Nastavit" button and of the analog variant button.
inline constexpr const char* kSendHint = "Nastavení a konfigurace jednotky LORK";

// The port list's items: "COM n" for every found port "COMn", each followed by 0x01, the list
// ended by 0x00. Item i therefore always names foundPorts[i].
std::string portChoiceItems(const std::vector<std::string>& foundPorts);

// Declares the port list (field `number`, bound to the list index) in the field table. With no
// serial port found the list stays empty and disabled and is left out of the table: an empty
// list can hold no valid choice, and reading it back would refuse every OK.
void appendPortField(FieldBindingState& fields, QWidget& form, int number, std::uint8_t& listIndex,
                     const std::string& items, const ChannelState& channels);

// "COM" followed by the port number, as L_Nastaveno and SelectedPortName show it.
std::string portLabelText(unsigned portNumber);

// On OK or "Nastavit": the port named by L_Nastaveno ("COMn", n 1..255) becomes channel 1's
// PortNumber and the text its SelectedPortName. A text naming no port, or port 0, changes
// nothing, so a TCP channel stays TCP. Returns whether the port changed.
bool applyChosenPort(std::string_view label, ChannelState& channels);

// ReplyTimeout = delay x 10, at least 200; PollInterval = delay x 2, at least 100.
void applyResponseDelay(std::int32_t responseDelay, std::uint16_t& replyTimeout,
                        std::uint16_t& pollInterval);

struct ChosenConfigFile {
    std::string directory;  // ends with the separator
    std::string name;       // upper case, ending with the extension
};

// The file picked in the file dialog as a directory and a file name: the name is taken in upper
// case and gets "." + extension when it does not end in the extension. Empty when the path
// cannot take the extension (it would pass 255 characters).
std::optional<ChosenConfigFile> chooseConfigFile(const QString& path, std::string_view extension);

// Whether code page 1250 holds the directory and the upper-case name of a chosen path, so that
// the file names kept for it name that file and no other.
bool fitsCodePage(const QString& path);

// Client size from the hidden PanelSize panel, then centred on the screen.
void sizeFromPanel(QWidget& dialog, const QWidget& panelSize);

// Writes the low 16 bits of a wider variable, keeping its high bits.
void setLow16(std::int32_t& target, std::int16_t value);

// The fields of the whole dialog and the variables bound to them. The 16-bit and 8-bit fields
// edit the low bits of wider variables, so shadows are bound in their place and copied over
// after every read-back.
struct DialogFields {
    DialogFields(int portList, int baudList) : portListNo(portList), baudListNo(baudList) {}

    int portListNo;  // control number of the port list
    int baudListNo;  // control number of the baud rate list
    // The dialog's own delay and time-out, loaded from the image with the field table.
    std::int32_t ResponseDelay = 0;
    std::int32_t CommTimeout = 0;
    // The port list is bound here, not to PortNumber: its item index names a found port, never
    // a port number. PortNumber follows L_Nastaveno on OK or "Nastavit" only.
    std::uint8_t portListIndex = 0;
    std::int16_t address16 = 0;
    std::uint8_t baud8 = 0;
    std::string portItems;
    // Channel 1 as the editor found it: the check on every click stores the chosen baud rate
    // at once, and "&Zrušit" puts the channel back as it was.
    std::optional<PortRecord> channelBefore;
};

// Loads the dialog's fields before the field table is filled; runs the port search while it is
// pending.
void loadDialogFields(DialogFields& d, EditorContext& ctx, std::uint8_t imageDelay,
                      std::uint16_t imageTimeout, std::int32_t moduleAddress);
// Declares the dialog's fields after the rows: port, baud rate, delay, time-out, address, file.
void appendDialogFields(DialogFields& d, EditorContext& ctx, QWidget& form, std::string& fileName);
// Copies the address and baud shadows back into their wider variables.
void storeDialogFields(const DialogFields& d, std::int32_t& moduleAddress, ChannelState& channels);

// Activation: the port list shows its first item and the port in use is named by L_Nastaveno
// and SelectedPortName.
void activateDialogFields(DialogFields& d, EditorContext& ctx, QWidget& form, QLabel& nastaveno);

// A choice in the port list: L_Nastaveno names the found port at that item.
void showFoundPort(QLabel& nastaveno, const ChannelState& channels, int index);

// Reads every field back with the modal result set to OK for the call, so that all of them are
// stored; a field out of range is reported and left as it was.
void validateAsOk(QDialog& dialog, FieldBindingState& fields);

struct ConfigFileKind {
    const char* filter;     // "*.cfa"
    const char* extension;  // "CFA"
    const char* refusal;    // the message for a name that cannot take the extension
};

// "Procházet": runs the file dialog and hands the chosen file to `load`; the current directory
// is the same afterwards.
void browseConfigFile(EditorContext& ctx, QWidget* parent, const ConfigFileKind& kind,
                      const std::function<void(const ChosenConfigFile&)>& load);

// The close query after the field check and the row shadows: the chosen port, SendPending, the
// image's delay and time-out, the polling times, the image built and saved, the address scan
// restarted. Returns whether the dialog may close.
struct CloseQueryImage {
    std::uint8_t& ResponseDelay;
    std::uint16_t& CommTimeout;
    // Builds the image for the baud index and saves the file; false when the file was not written.
    std::function<bool(std::uint16_t baudIndex)> buildAndSave;
};
bool finishCloseQuery(EditorContext& ctx, int modalResult, bool canClose, const QString& nastaveno,
                      const DialogFields& d, const CloseQueryImage& image);

// Whether a modal result saves the configuration (OK or "Nastavit").
bool savesConfiguration(int modalResult);

// The dialog's done(): runs the close query and keeps the dialog open when it refuses.
void closeUnlessRefused(QDialog& dialog, int result, const std::function<bool()>& closeQuery);

QString uiText(const char* utf8);
QPushButton* makeButton(QWidget* parent, const char* name, const char* text, int x, int y,
                        int width);

// Runs an event handler the way the application's exception handler would: a failure is
// shown and the dialog carries on.
template <typename F>
bool guarded(F&& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        ShowMessageWindow(e.what(), "", 2, 1);
    }
    return false;
}

}  // namespace velor
