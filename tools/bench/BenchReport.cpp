#include "tools/bench/BenchReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <sstream>

namespace velor::bench {

namespace {

constexpr std::string_view kTag = "figures";

std::map<std::string, double*> fieldsOf(RunFigures& f) {
    return {{"seconds", &f.seconds},
            {"cpu", &f.cpuSeconds},
            {"peak_kib", &f.peakRssKiB},
            {"polls", &f.polls},
            {"failures", &f.failures},
            {"interval", &f.pollInterval},
            {"lat_mean", &f.latencyMeanMs},
            {"lat_p95", &f.latencyP95Ms},
            {"lat_max", &f.latencyMaxMs},
            {"rows", &f.recordedRows},
            {"scan_ms", &f.scanSweepMs},
            {"scan_found", &f.scanFound},
            {"reconnect_median", &f.reconnectMedianMs},
            {"reconnect_max", &f.reconnectMaxMs},
            {"reconnect_rounds", &f.reconnectRounds}};
}

std::optional<double> toNumber(std::string_view text) {
    // std::from_chars for double is not in every standard library this builds with.
    std::string copy(text);
    if (copy.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return "inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string row(const std::string& name, const std::string& program, const std::string& floor,
                const std::string& ratioText, const std::string& verdict) {
    char text[160];
    std::snprintf(text, sizeof text, "%-34s %12s %12s %9s  %s\n", name.c_str(), program.c_str(),
                  floor.c_str(), ratioText.c_str(), verdict.c_str());
    return text;
}

}  // namespace

std::optional<RunFigures> parseFigures(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.substr(0, kTag.size()) != kTag) return std::nullopt;
    RunFigures figures;
    auto fields = fieldsOf(figures);
    std::istringstream words{std::string(line.substr(kTag.size()))};
    std::string word;
    while (words >> word) {
        const auto eq = word.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const auto value = toNumber(std::string_view(word).substr(eq + 1));
        if (!value) return std::nullopt;
        const auto it = fields.find(word.substr(0, eq));
        if (it != fields.end()) *it->second = *value;
    }
    return figures;
}

std::string formatFigures(const RunFigures& figures) {
    RunFigures copy = figures;
    std::string line(kTag);
    for (const auto& [key, value] : fieldsOf(copy)) line += " " + key + "=" + fixed(*value, 4);
    return line;
}

LatencySummary summarizeLatencies(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    LatencySummary s;
    s.mean =
        std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    const auto rank =
        static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(samples.size())));
    s.p95 = samples[std::max<std::size_t>(rank, 1) - 1];
    s.max = samples.back();
    return s;
}

double ratio(double value, double floor) {
    if (floor <= 0) return std::numeric_limits<double>::infinity();
    return value / floor;
}

Verdict judge(const RunFigures& program, const RunFigures& floor, const Targets& targets) {
    Verdict v;
    v.cpuOk = ratio(program.cpuPercent(), floor.cpuPercent()) <= targets.maxCpuRatio;
    v.memoryOk = ratio(program.peakRssKiB, floor.peakRssKiB) <= targets.maxMemoryRatio;
    v.rateOk =
        program.idealRate() > 0 && program.pollRate() >= targets.minPollShare * program.idealRate();
    return v;
}

std::string formatTable(const RunFigures& program, const RunFigures& floor,
                        const Targets& targets) {
    const Verdict v = judge(program, floor, targets);
    const auto mark = [](bool ok) { return std::string(ok ? "ok" : "MISSED"); };
    const double cpuRatio = ratio(program.cpuPercent(), floor.cpuPercent());
    const double memRatio = ratio(program.peakRssKiB, floor.peakRssKiB);
    const double share = ratio(program.pollRate(), program.idealRate());

    std::string out = row("figure", "program", "floor", "ratio", "target");
    out += row("measured window (s)", fixed(program.seconds, 1), fixed(floor.seconds, 1), "", "");
    out += row("polls per second (ideal " + fixed(program.idealRate(), 2) + ")",
               fixed(program.pollRate(), 2), "-", fixed(100 * share, 1) + " %",
               ">= " + fixed(100 * targets.minPollShare, 0) + " % of ideal: " + mark(v.rateOk));
    out += row("failed transfers", fixed(program.failures, 0), "-", "", "");
    out += row("reply -> window, mean (ms)", fixed(program.latencyMeanMs, 1), "-", "", "");
    out += row("reply -> window, 95 % (ms)", fixed(program.latencyP95Ms, 1), "-", "", "");
    out += row("reply -> window, max (ms)", fixed(program.latencyMaxMs, 1), "-", "", "");
    out += row("CPU time in window (s)", fixed(program.cpuSeconds, 3), fixed(floor.cpuSeconds, 3),
               "", "");
    out += row("CPU load (% of one core)", fixed(program.cpuPercent(), 2),
               fixed(floor.cpuPercent(), 2), fixed(cpuRatio, 2) + "x",
               "<= " + fixed(targets.maxCpuRatio, 1) + "x: " + mark(v.cpuOk));
    out += row("peak resident memory (MiB)", fixed(program.peakRssKiB / 1024, 1),
               fixed(floor.peakRssKiB / 1024, 1), fixed(memRatio, 2) + "x",
               "<= " + fixed(targets.maxMemoryRatio, 1) + "x: " + mark(v.memoryOk));
    return out;
}

}  // namespace velor::bench
