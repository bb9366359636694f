#pragma once
// What a configuration editor decided for the polling loop. The editor writes nothing of the
// loop: the main window hands the outcome to the loop once the editor has closed.

#include <cstdint>
#include <optional>

namespace velor {

// Declared outside EditorOutcome: a nested type with member initialisers is not yet
// default-constructible inside its enclosing class for clang, which std::optional needs.
struct EditorTiming {
    std::uint16_t replyTimeout = 0;  // the transfer engine's step time-out
    std::uint16_t pollInterval = 0;  // the main window's timer interval
};

struct EditorOutcome {
    using Timing = EditorTiming;
    // Set when the configuration was saved: the timing of its response delay and baud rate.
    std::optional<Timing> timing;
    // The next analog send starts with the first half again (set by the analog editor).
    bool analogSendFromStart = false;
    // The address scan starts again at 0 with no module found (set on saving).
    bool restartScan = false;
};

}  // namespace velor
