#pragma once
// The measured runs, each meant to run alone in its own child process so that its CPU
// time and peak memory are its own.

#include <QString>

#include "tools/bench/BenchReport.h"

namespace velor::bench {

struct RunOptions {
    double warmupSeconds = 3;
    double seconds = 20;
    quint16 simulatorPort = 0;  // program run only
    QString unit = "kalu";      // the unit window watched: kalu, tev, tevw, tew, mokr
    int pollInterval = 100;     // ms, program run only
    // Program run with the traffic monitor recording and its window open, filled with
    // kTrafficFrameCapacity frames before the run.
    bool trafficWindow = false;
    // Program run with "Záznam hodnot" open: all twelve KALU inputs ticked in the chart and
    // every answer recorded to a CSV file in the working directory.
    bool recordWindow = false;
};

// The real main window polling one unit window against the simulator. Needs a QApplication
// and a working directory it may fill with configuration files.
RunFigures runProgram(const RunOptions& options);

// The main window's address scan as a closed editor starts it (no unit window, poll interval
// and time-out as designed) against the simulator's bus: the mean wall-clock time of `sweeps`
// whole sweeps over the addresses 0..31, and the addresses found.
RunFigures runScan(const RunOptions& options, int sweeps = 3);

// The KALU window polled while the simulator (program modsim) goes away for a second and comes
// back on the same port, `rounds` times: from the simulator listening again to the next answer
// shown, median and worst.
RunFigures runReconnect(const RunOptions& options, const QString& modsim, int rounds = 5);

// The floor: a bare Qt widgets program doing the same visible job with the program's two
// timers: the main timer (first after 50 ms, then every 100 ms) refreshes the value fields
// of a window like the KALU window, and each of its ticks starts a 10 ms timer that lives
// as long as one exchange. No link, no decoding, no program state.
RunFigures runFloor(const RunOptions& options);

// The barest floor, shown for reference only: one idle window and the two timers ticking with
// nothing to do. What the program spends above it is the link, the decoding and the painting.
RunFigures runBareFloor(const RunOptions& options);

// Starts the loop as an editor closed with OK does: the main timer at pollInterval and the
// step time-out at its initial 200 ms. (Closing with Cancel keeps what the window set at its
// creation: tripled, because the channel table is not loaded yet then.)
class ProgramHarness;
void startPolling(ProgramHarness& harness, int pollInterval);

// Processes events until the deadline.
void runEventsFor(double seconds);

}  // namespace velor::bench
