#include "tools/bench/SweepRun.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/CommState.h"
#include "comm/TransferWindow.h"
#include "tools/bench/Runs.h"

namespace velor::bench {

namespace {

constexpr int kStepMs = 5;  // the finder window's timer

// Processes events until the engine has let go of its last transfer window (at most 3 s).
void waitForIdleEngine(const EngineState& engine) {
    QElapsedTimer clock;
    clock.start();
    while (engine.RequestCount > 0 && clock.elapsed() < 3000) runEventsFor(0.01);
}

void driveSweep(ModuleSweep& sweep, int limitMs) {
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(kStepMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (!sweep.step()) loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, [&] { sweep.abort(); });
    timer.start();
    loop.exec();
}

}  // namespace

SweepFigures runSweep(const std::string& device, const SweepSettings& settings) {
    CommState comm;
    ChannelState& ch = comm.channel;
    setDefaultPortRecord(*ch.ChannelTable.record(1));
    ch.ChannelTable.record(1)->PortNumber = 1;
    ch.SelectedPortName = "COM1";
    ch.resolvePort = [device](const std::string&) { return device; };
    ChannelTableIo io{ch};
    SystemClock clock;
    TransferWindowFactoryQt windows{{comm.engine, io, clock, ch.TransferResult}};
    comm.engine.Windows = &windows;

    SweepFigures f;
    {
        ModuleSweep sweep(comm, settings);
        f.probes = sweep.total();
        QElapsedTimer wall;
        wall.start();
        driveSweep(sweep, 3 * sweep.msLeft() + 5000);
        f.seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        f.completed = !sweep.aborted();
        f.answers = sweep.answers();
        f.unopenedSettings = sweep.unopenedSettings();
        waitForIdleEngine(comm.engine);
        sweep.finish();
    }
    return f;
}

namespace {

bool moduleFound(const SweepFigures& figures, const SweepTarget& target) {
    return std::any_of(figures.answers.begin(), figures.answers.end(), [&](const SweepAnswer& a) {
        return a.point.address == target.address && a.point.baudIndex == target.baudIndex;
    });
}

}  // namespace

bool sweepOk(const SweepFigures& figures, const SweepTarget& target) {
    return figures.completed && figures.unopenedSettings == 0 &&
           figures.seconds <= target.maxSeconds && moduleFound(figures, target);
}

std::string formatSweep(const SweepFigures& figures, const SweepTarget& target) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "module sweep, %d probes%s: %.1f s (target <= %.0f s), module %d at %u Bd "
                  "%s, %zu answers, %d line settings not opened %s\n",
                  figures.probes, figures.completed ? "" : " (stopped, overran)", figures.seconds,
                  target.maxSeconds, target.address, baudRateAt(target.baudIndex),
                  moduleFound(figures, target) ? "found" : "not found", figures.answers.size(),
                  figures.unopenedSettings, sweepOk(figures, target) ? "ok" : "MISSED");
    std::string text = line;
    for (const SweepAnswer& a : figures.answers) {
        std::snprintf(line, sizeof line, "  address %d baud %u parity %s %s\n", a.point.address,
                      baudRateAt(a.point.baudIndex), a.point.noParity ? "none" : "even",
                      answerKindText(a.kind).c_str());
        text += line;
    }
    return text;
}

}  // namespace velor::bench
