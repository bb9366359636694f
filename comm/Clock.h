#pragma once
// The clocks of the transfer engine: a wrapping millisecond tick count for step time-outs and
// the date-time (days) for the TCP failure rule. Tests inject a fake.

#include <cstdint>

namespace velor {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps at 2^32.
    virtual std::uint32_t tickMs() = 0;
    // Date and time as days since 1899-12-30, fractions for the time of day.
    virtual double nowDays() = 0;
};

// The real clocks.
class SystemClock : public Clock {
public:
    SystemClock();
    std::uint32_t tickMs() override;
    double nowDays() override;

private:
    std::int64_t startMs_;
};

}  // namespace velor
