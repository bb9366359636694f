#pragma once
// What the polling loop tells a listener of the monitoring answers (the value recording): each
// answer of a monitoring request once it was shown, and each monitoring request that failed.

#include <cstdint>
#include <functional>
#include <span>

#include "modules/UnitSelections.h"

namespace velor {

struct PolledAnswer {
    RequestKind kind = RequestKind::Kalu;  // the request kind that was answered (0..4)
    RequestKind monitored =
        RequestKind::Probe;    // the unit window polled now (kMonitoredNone when none)
    bool transferred = false;  // false: the transfer failed or the answer was too short
    std::span<const std::uint8_t> answer;
    // The selections the answer was decoded with (decoding flips the MOKR phase).
    UnitSelections selections;
};

// Empty by default; called inside the loop's tick, so it must not throw.
using AnswerObserver = std::function<void(const PolledAnswer&)>;

}  // namespace velor
