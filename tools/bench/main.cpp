// velor-bench: the program's polling against the module simulator on loopback, measured
// against a bare Qt widgets program running the same two timers. Each of the two runs is a
// child process of this one, so its CPU time and peak memory are its own; the parent starts
// the simulator, collects the figures and prints the table.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "comm/TrafficTap.h"
#include "tools/bench/BenchReport.h"
#include "tools/bench/Runs.h"
#include "tools/bench/SimulatorProcess.h"
#include "tools/bench/SweepRun.h"

namespace {

using velor::bench::RunFigures;
using velor::bench::RunOptions;

constexpr int kExitMissed = 2;

struct Settings {
    RunOptions run;
    QString child;  // "program" or "floor" in a child process
    QString modsim;
    bool sweepOnly = false;
    bool scanOnly = false;
    bool reconnectOnly = false;
    int scanDelayMs = 0;
};

Settings parseSettings(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Measures the program's polling (poll rate, reply-to-window time, CPU, peak memory) "
        "against the module simulator and against a bare Qt widgets floor.");
    parser.addHelpOption();
    parser.addOptions({
        {"seconds", "Length of each measured window.", "S", "20"},
        {"warmup", "Seconds run before measuring.", "S", "3"},
        {"interval", "Main timer interval of the program run, ms.", "MS", "100"},
        {"unit", "Unit window polled: kalu, tev, tevw, tew, mokr.", "UNIT", "kalu"},
        {"modsim", "The simulator executable.", "PATH", VELOR_MODSIM_PATH},
        {"child", "Internal: run one measurement (program, traffic, record or floor).", "RUN"},
        {"port", "Internal: the simulator's port.", "PORT"},
        {"sweep-only", "Run only the module finder's full sweep on a pseudo-terminal."},
        {"scan-only", "Run only the main window's address scan of the simulator's bus."},
        {"reconnect-only", "Run only the reconnect after the simulator went away and came back."},
        {"scan-delay", "The simulator answers the address scan MS milliseconds late.", "MS", "0"},
    });
    parser.process(app);
    Settings s;
    s.run.seconds = std::max(1.0, parser.value("seconds").toDouble());
    s.run.warmupSeconds = std::max(0.5, parser.value("warmup").toDouble());
    s.run.unit = parser.value("unit").toLower();
    s.run.pollInterval = std::clamp(parser.value("interval").toInt(), 10, 10000);
    s.run.simulatorPort = static_cast<quint16>(parser.value("port").toUInt());
    s.child = parser.value("child");
    s.modsim = parser.value("modsim");
    s.sweepOnly = parser.isSet("sweep-only");
    s.scanOnly = parser.isSet("scan-only");
    s.reconnectOnly = parser.isSet("reconnect-only");
    s.scanDelayMs = std::clamp(parser.value("scan-delay").toInt(), 0, 60000);
    return s;
}

int runChild(const Settings& s) {
    RunFigures figures;
    if (s.child == "floor") {
        figures = velor::bench::runFloor(s.run);
    } else if (s.child == "bare") {
        figures = velor::bench::runBareFloor(s.run);
    } else {
        QTemporaryDir dir;
        if (!dir.isValid() || !QDir::setCurrent(dir.path())) return 1;
        RunOptions options = s.run;
        options.trafficWindow = s.child == "traffic";
        options.recordWindow = s.child == "record";
        if (s.child == "scan") {
            figures = velor::bench::runScan(options);
        } else if (s.child == "reconnect") {
            figures = velor::bench::runReconnect(options, s.modsim);
        } else {
            figures = velor::bench::runProgram(options);
        }
    }
    std::printf("%s\n", velor::bench::formatFigures(figures).c_str());
    return 0;
}

std::optional<RunFigures> measure(const Settings& s, const QStringList& childArgs) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("QT_QPA_PLATFORM")) env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList args =
        childArgs + QStringList{"--seconds", QString::number(s.run.seconds),
                                "--warmup",  QString::number(s.run.warmupSeconds),
                                "--unit",    s.run.unit};
    child.start(QCoreApplication::applicationFilePath(), args);
    const int budgetMs = static_cast<int>((s.run.seconds + s.run.warmupSeconds) * 1000) + 120000;
    if (!child.waitForFinished(budgetMs)) {
        child.kill();
        child.waitForFinished(3000);
        return std::nullopt;
    }
    std::optional<RunFigures> figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (auto f = velor::bench::parseFigures(line.toStdString())) figures = f;
    }
    return figures;
}

QString moduleType(const QString& unit) {
    for (const char* type : {"tev", "tevw", "tew", "mokr"})
        if (unit == type) return unit.toUpper();
    return "KALU";
}

// The traffic window open with a full ring: the poll rate stays at 99 % of the ideal rate and
// the CPU within 1.5 times the same program without it.
bool reportTraffic(const RunFigures& traffic, const RunFigures& program) {
    const double share = traffic.idealRate() > 0 ? traffic.pollRate() / traffic.idealRate() : 0;
    const double cpu = velor::bench::ratio(traffic.cpuPercent(), program.cpuPercent());
    const bool ok = share >= 0.99 && cpu <= 1.5;
    std::printf(
        "traffic window, %zu frames: polls %.2f/s (%.1f %% of ideal, target >= 99 %%), CPU %.2f %% "
        "(%.2fx the program without it, target <= 1.5x), peak %.1f MiB (+%.1f MiB) %s\n",
        velor::kTrafficFrameCapacity, traffic.pollRate(), 100.0 * share, traffic.cpuPercent(), cpu,
        traffic.peakRssKiB / 1024.0, (traffic.peakRssKiB - program.peakRssKiB) / 1024.0,
        ok ? "ok" : "MISSED");
    return ok;
}

// "Záznam hodnot" open, all twelve KALU inputs in the chart and every answer to a CSV file:
// the CPU within 1.5 times the KALU window alone, no poll lost.
bool reportRecording(const RunFigures& record, const RunFigures& program) {
    const double share = record.idealRate() > 0 ? record.pollRate() / record.idealRate() : 0;
    const double cpu = velor::bench::ratio(record.cpuPercent(), program.cpuPercent());
    const bool ok = share >= 0.99 && cpu <= 1.5 && record.recordedRows > 0;
    std::printf(
        "recording, chart of 12 inputs + CSV: polls %.2f/s (%.1f %% of ideal), %.0f rows, CPU "
        "%.2f %% (%.2fx the KALU window alone, target <= 1.5x), peak %.1f MiB (+%.1f MiB) %s\n",
        record.pollRate(), 100.0 * share, record.recordedRows, record.cpuPercent(), cpu,
        record.peakRssKiB / 1024.0, (record.peakRssKiB - program.peakRssKiB) / 1024.0,
        ok ? "ok" : "MISSED");
    return ok;
}

// The module finder's full sweep (32 addresses x 5 baud rates x 2 parities, the default probe
// time-out) on a pseudo-terminal whose COM1 link lies in a temporary directory, with a module
// at address 17 set to 19200 Bd, even parity. Timed by the wall clock, so it runs in this
// process; a pseudo-terminal carries no parity, so the module answers at both.
bool runSweepBench(const Settings& s) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    velor::bench::SimulatorProcess sim(
        s.modsim, {"--pty", link, "--module", "17:KALU", "--line", "19200,even"});
    if (!dir.isValid() || sim.ptyDevice().isEmpty()) {
        std::fprintf(stderr, "velor-bench: %s\n", qPrintable(sim.failure()));
        return false;
    }
    std::printf("module sweep on %s (%s), module 17 at 19200 Bd...\n", qPrintable(link),
                qPrintable(sim.ptyDevice()));
    std::fflush(stdout);
    const velor::bench::SweepFigures figures = velor::bench::runSweep(link.toStdString());
    std::printf("%s", velor::bench::formatSweep(figures, {}).c_str());
    return velor::bench::sweepOk(figures, {});
}

std::string addressList(double mask) {
    std::string list;
    const auto bits = static_cast<std::uint64_t>(mask);
    for (int a = 0; a < 32; ++a) {
        if ((bits >> a & 1U) == 0) continue;
        list += (list.empty() ? "" : ",") + std::to_string(a);
    }
    return list.empty() ? "none" : list;
}

// The main window's address scan of the simulator's demo bus (modules at 1..5, 27 absent
// addresses) with the designed poll interval and time-out: the time of one sweep over 0..31.
// Met when exactly the modules present were found (none when they answer too late).
bool runScanBench(const Settings& s) {
    QStringList extra;
    if (s.scanDelayMs > 0) extra << "--delay" << QString::number(s.scanDelayMs);
    velor::bench::SimulatorProcess sim(s.modsim, extra);
    if (sim.port() == 0) {
        std::fprintf(stderr, "velor-bench: %s\n", qPrintable(sim.failure()));
        return false;
    }
    std::printf("address scan, modules at 1..5, replies %d ms late...\n", s.scanDelayMs);
    std::fflush(stdout);
    const auto scan = measure(s, {"--child", "scan", "--port", QString::number(sim.port())});
    if (!scan || scan->scanSweepMs <= 0) {
        std::printf("address scan: no whole sweep MISSED\n");
        return false;
    }
    const std::string found = addressList(scan->scanFound);
    const bool ok = found == (s.scanDelayMs >= 200 ? "none" : "1,2,3,4,5");
    std::printf(
        "address scan (poll %.0f ms, time-out 200 ms): %.2f s per sweep of 32 addresses, "
        "found %s %s\n",
        scan->pollInterval, scan->scanSweepMs / 1000.0, found.c_str(), ok ? "ok" : "MISSED");
    return ok;
}

// The KALU window polled while the simulator goes away for a second and comes back on the same
// port: the program has to notice the lost peer and connect again by itself. Target: the next
// answer within 2 s of the simulator listening again, in every round.
bool runReconnectBench(const Settings& s) {
    std::printf("reconnect: the simulator goes away for 1 s and comes back, 5 rounds...\n");
    std::fflush(stdout);
    const auto r = measure(s, {"--child", "reconnect", "--modsim", s.modsim});
    if (!r || r->reconnectRounds < 5) {
        std::printf("reconnect: not every round came back MISSED\n");
        return false;
    }
    const bool ok = r->reconnectMaxMs <= 2000;
    std::printf(
        "reconnect after the peer came back: median %.2f s, worst %.2f s over %.0f rounds "
        "(target <= 2 s) %s\n",
        r->reconnectMedianMs / 1000.0, r->reconnectMaxMs / 1000.0, r->reconnectRounds,
        ok ? "ok" : "MISSED");
    return ok;
}

int runParent(const Settings& s) {
    if (s.reconnectOnly) return runReconnectBench(s) ? 0 : kExitMissed;
    if (s.sweepOnly) return runSweepBench(s) ? 0 : kExitMissed;
    if (s.scanOnly) return runScanBench(s) ? 0 : kExitMissed;
    // The default configuration files give both module addresses as 0.
    velor::bench::SimulatorProcess sim(s.modsim, {"--module", "0:" + moduleType(s.run.unit)});
    if (sim.port() == 0) {
        std::fprintf(stderr, "velor-bench: %s\n", qPrintable(sim.failure()));
        return 1;
    }
    std::printf("simulator on 127.0.0.1:%u; program run (%s window), %.0f s + %.0f s warm-up...\n",
                sim.port(), qPrintable(s.run.unit), s.run.seconds, s.run.warmupSeconds);
    std::fflush(stdout);
    const auto program = measure(s, {"--child", "program", "--port", QString::number(sim.port())});
    std::printf("floor run...\n");
    std::fflush(stdout);
    const auto floor = measure(s, {"--child", "floor"});
    if (!program || !floor) {
        std::fprintf(stderr, "velor-bench: a measuring run gave no figures\n");
        return 1;
    }
    std::printf("program run with the traffic window open...\n");
    std::fflush(stdout);
    const auto traffic = measure(s, {"--child", "traffic", "--port", QString::number(sim.port())});
    // The chart draws KALU inputs only; for another unit the run records without a chart.
    std::printf("program run with \"Záznam hodnot\" recording and charting...\n");
    std::fflush(stdout);
    const auto record = measure(s, {"--child", "record", "--port", QString::number(sim.port())});
    std::printf("bare timers run...\n");
    std::fflush(stdout);
    const auto bare = measure(s, {"--child", "bare"});
    std::printf("\n%s", velor::bench::formatTable(*program, *floor).c_str());
    if (bare) {
        // For reference: an idle window with the two timers and nothing to show.
        std::printf(
            "bare timers only: CPU %.2f %% of one core (program %.2fx), peak %.1f MiB "
            "(program %.2fx)\n",
            bare->cpuPercent(), velor::bench::ratio(program->cpuPercent(), bare->cpuPercent()),
            bare->peakRssKiB / 1024.0, velor::bench::ratio(program->peakRssKiB, bare->peakRssKiB));
    }
    const bool trafficOk = traffic && reportTraffic(*traffic, *program);
    const bool recordOk = record && reportRecording(*record, *program);
    const bool sweepOk = runSweepBench(s);
    const bool scanOk = runScanBench(s);
    const bool reconnectOk = runReconnectBench(s);
    return velor::bench::judge(*program, *floor).allOk() && trafficOk && recordOk && sweepOk &&
                   scanOk && reconnectOk
               ? 0
               : kExitMissed;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The children need widgets; the parent only processes.
    bool child = false;
    for (int i = 1; i < argc; ++i) child = child || QByteArray(argv[i]) == "--child";
    if (child) {
        QApplication app(argc, argv);
        return runChild(parseSettings(app));
    }
    QCoreApplication app(argc, argv);
    return runParent(parseSettings(app));
}
