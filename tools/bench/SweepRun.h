#pragma once
// The module finder's sweep as the finder window drives it (a step every 5 ms through the
// transfer engine and its 10 ms transfer windows), on a serial device, timed by the wall clock.

#include <string>
#include <vector>

#include "modules/ModuleSweep.h"

namespace velor::bench {

struct SweepFigures {
    double seconds = 0;  // from the first port open to the last probe's end
    int probes = 0;
    int unopenedSettings = 0;
    bool completed = false;  // false when the sweep overran its bound and was stopped
    std::vector<SweepAnswer> answers;
};

// Sweeps channel 1 on device (a COMn link or the device itself). Needs a Qt event loop; the
// sweep is stopped after three times its estimated length.
SweepFigures runSweep(const std::string& device, const SweepSettings& settings = {});

struct SweepTarget {
    // Each silent probe leaves one more time-out of quiet line before the next goes out.
    double maxSeconds = 30;
    int address = 17;
    std::uint16_t baudIndex = 2;  // 19200 Bd
};

// Met when the sweep completed within maxSeconds and the module answered at its baud rate.
bool sweepOk(const SweepFigures& figures, const SweepTarget& target);

// The report line and one indented line per answer.
std::string formatSweep(const SweepFigures& figures, const SweepTarget& target);

}  // namespace velor::bench
