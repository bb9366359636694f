#include "comm/Clock.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace velor {

namespace {

// Days between 1899-12-30 and 1970-01-01.
constexpr double kEpochOffsetDays = 25569.0;
constexpr double kMsPerDay = 86400000.0;

QElapsedTimer& monotonic() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}

}  // namespace

SystemClock::SystemClock() : startMs_(monotonic().elapsed()) {}

std::uint32_t SystemClock::tickMs() {
    return static_cast<std::uint32_t>(monotonic().elapsed() - startMs_);
}

double SystemClock::nowDays() {
    return kEpochOffsetDays + static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / kMsPerDay;
}

}  // namespace velor
