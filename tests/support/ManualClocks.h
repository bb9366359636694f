#pragma once
// Clocks that a test moves by hand: the engine's tick and date, and the traffic tap's time.

#include <cstdint>

#include "comm/Clock.h"
#include "comm/TrafficTap.h"

namespace velor::test {

struct ManualClock : Clock {
    explicit ManualClock(std::uint32_t startMs = 1000) : ms(startMs) {}
    std::uint32_t ms;
    double days = 46000.0;
    std::uint32_t tickMs() override { return ms; }
    double nowDays() override { return days; }
};

// Monotonic time us; the wall clock stands wallOffsetUs ahead of it.
struct ManualTrafficClock : TrafficClock {
    explicit ManualTrafficClock(std::int64_t startUs = 1'000'000,
                                std::int64_t wallOffset = 1'700'000'000'000'000)
        : us(startUs), wallOffsetUs(wallOffset) {}
    std::int64_t us;
    std::int64_t wallOffsetUs;
    TrafficTime now() override { return {us, wallOffsetUs + us}; }
};

}  // namespace velor::test
