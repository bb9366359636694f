#pragma once
// What the polling loop tells a listener of the monitoring answers (the value recording): each
// answer of a monitoring request once it was shown, and each monitoring request that failed.
// The loop decodes each answer once; the listener takes what the unit window was given.

#include <functional>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"

namespace velor {

struct PolledAnswer {
    RequestKind kind = RequestKind::Kalu;  // the request kind that was answered (0..4)
    RequestKind monitored =
        RequestKind::Probe;    // the unit window polled now (kMonitoredNone when none)
    bool transferred = false;  // false: the transfer failed or the answer was too short
    // The answer as its unit window shows it, valid during the call; null when the transfer
    // failed or no window of its kind was open to show it.
    const DecodeResult* shown = nullptr;
    // The selections the answer was decoded with (decoding flips the MOKR phase).
    UnitSelections selections;
};

// Empty by default; called inside the loop's tick, so it must not throw.
using AnswerObserver = std::function<void(const PolledAnswer&)>;

}  // namespace velor
