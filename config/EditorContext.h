#pragma once
// What the main window hands to a configuration editor: the state the editor edits and the few
// outside services it calls. Everything is a reference or a hook, so the editors own nothing
// and tests can put a fake port search and a scripted file dialog in place.

#include <QString>
#include <cstdint>
#include <functional>

#include "config/EditorOutcome.h"

class QWidget;

namespace velor {

struct ConfigState;
struct ChannelState;
struct FieldBindingState;

struct EditorContext {
    ConfigState& config;
    ChannelState& channels;
    FieldBindingState& fields;
    // What the editor decided for the polling loop; empty when it opens.
    EditorOutcome outcome;

    // Runs the serial port search: fills channels.FoundPorts and clears PortSearchPending.
    // Called only while PortSearchPending is set; the port list is made from FoundPorts, so
    // its item i always names FoundPorts[i].
    std::function<void(ChannelState&)> searchPorts;
    // The file-open dialog: the chosen path, or an empty text when the user cancels.
    std::function<QString(QWidget* parent, const QString& filter)> chooseFile;
    // The help button: shows the help topic of the given context, where there is help.
    std::function<void(int helpContext)> showHelp;
};

}  // namespace velor
