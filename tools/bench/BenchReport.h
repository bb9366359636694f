#pragma once
// The benchmark's figures and the table it prints: one run of the program and one of the bare
// Qt floor, each reported by its child process as a single "figures key=value ..." line.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velor::bench {

struct RunFigures {
    double seconds = 0;        // length of the measured window
    double cpuSeconds = 0;     // user + system CPU time inside the window
    double peakRssKiB = 0;     // high-water mark of the resident set over the whole run
    double polls = 0;          // answers decoded into the window (program only)
    double failures = 0;       // failed transfers consumed by the loop (program only)
    double pollInterval = 0;   // ms, the main timer's interval while measuring
    double latencyMeanMs = 0;  // reply arrival -> value in the window
    double latencyP95Ms = 0;
    double latencyMaxMs = 0;
    double recordedRows = 0;       // CSV rows written while measuring (recording run only)
    double scanSweepMs = 0;        // address scan run: mean wall-clock time of one sweep over 0..31
    double scanFound = 0;          // address scan run: the answering addresses as a bit mask
    double reconnectMedianMs = 0;  // reconnect run: simulator back -> next answer shown
    double reconnectMaxMs = 0;
    double reconnectRounds = 0;

    double pollRate() const { return seconds > 0 ? polls / seconds : 0; }
    double idealRate() const { return pollInterval > 0 ? 1000.0 / pollInterval : 0; }
    double cpuPercent() const { return seconds > 0 ? 100.0 * cpuSeconds / seconds : 0; }
};

// "figures seconds=20 cpu=0.4 ..." -> figures; nullopt when the line is not a figures line or
// a number does not parse. Unknown keys are ignored so that older parents read newer children.
std::optional<RunFigures> parseFigures(std::string_view line);
std::string formatFigures(const RunFigures& figures);

struct LatencySummary {
    double mean = 0;
    double p95 = 0;
    double max = 0;
};
// Nearest-rank 95th percentile; all zero for no samples.
LatencySummary summarizeLatencies(std::vector<double> samplesMs);

struct Targets {
    double maxCpuRatio = 1.5;
    double maxMemoryRatio = 1.5;
    double minPollShare = 0.98;
};

struct Verdict {
    bool cpuOk = false;
    bool memoryOk = false;
    bool rateOk = false;
    bool allOk() const { return cpuOk && memoryOk && rateOk; }
};

// A ratio against a floor of zero is infinite, never a pass.
double ratio(double value, double floor);
Verdict judge(const RunFigures& program, const RunFigures& floor, const Targets& targets = {});
std::string formatTable(const RunFigures& program, const RunFigures& floor,
                        const Targets& targets = {});

}  // namespace velor::bench
