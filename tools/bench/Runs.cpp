#include "tools/bench/Runs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "monitor/MainWindow.h"
#include "tools/bench/PollProbe.h"
#include "tools/bench/ProgramHarness.h"
#include "tools/bench/UsageProbe.h"

namespace velor::bench {

namespace {

constexpr std::uint16_t kInitialReplyTimeout = 200;

void openUnitWindow(TForm_MzVyber& window, const QString& unit) {
    if (unit == "tev") return window.B_Monit1Click();
    if (unit == "tevw") return window.B_Monit2Click();
    if (unit == "tew") return window.B_Monit4Click();
    if (unit == "mokr") return window.B_MonitFClick();
    window.B_Monit3Click();
}

// The engine must have let go of its transfer window before the program's parts go away.
void waitForIdleEngine(ProgramHarness& harness) {
    harness.mainWindow().Timer1->stop();
    QElapsedTimer clock;
    clock.start();
    while (harness.app().comm.engine.TransferWindow != nullptr && clock.elapsed() < 3000)
        runEventsFor(0.01);
}

}  // namespace

void startPolling(ProgramHarness& harness, int pollInterval) {
    harness.releaseLoop();
    harness.app().loop.PollInterval = static_cast<std::uint16_t>(pollInterval);
    harness.app().comm.engine.ReplyTimeout = kInitialReplyTimeout;
}

void runEventsFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

RunFigures runProgram(const RunOptions& options) {
    writeLoopbackComConfig();
    ProgramHarness harness(options.simulatorPort);
    PollProbe probe(harness);
    harness.mainWindow().show();
    startPolling(harness, options.pollInterval);
    openUnitWindow(harness.mainWindow(), options.unit);
    runEventsFor(options.warmupSeconds);

    probe.reset();
    const double cpuBefore = cpuSecondsSoFar();
    QElapsedTimer window;
    window.start();
    runEventsFor(options.seconds);

    RunFigures f;
    f.seconds = static_cast<double>(window.nsecsElapsed()) / 1e9;
    f.cpuSeconds = cpuSecondsSoFar() - cpuBefore;
    f.polls = static_cast<double>(probe.polls());
    f.failures = static_cast<double>(probe.failures());
    f.pollInterval = harness.app().loop.PollInterval;
    const LatencySummary latency = summarizeLatencies(probe.latenciesMs());
    f.latencyMeanMs = latency.mean;
    f.latencyP95Ms = latency.p95;
    f.latencyMaxMs = latency.max;
    waitForIdleEngine(harness);
    f.peakRssKiB = peakResidentKiB();
    return f;
}

RunFigures runFloor(const RunOptions& options) {
    QWidget window;
    window.resize(TForm_MzVyber::kClientWidth, TForm_MzVyber::kClientHeight);
    auto* button = new QPushButton(QStringLiteral("Konec"), &window);
    button->move(20, 20);
    window.show();

    long mainTicks = 0;
    long transferTicks = 0;
    QTimer mainTimer;
    mainTimer.setInterval(50);
    QObject::connect(&mainTimer, &QTimer::timeout, [&] {
        mainTimer.setInterval(100);
        ++mainTicks;
    });
    QTimer transferTimer;
    transferTimer.setInterval(10);
    QObject::connect(&transferTimer, &QTimer::timeout, [&] { ++transferTicks; });
    mainTimer.start();
    transferTimer.start();
    runEventsFor(options.warmupSeconds);

    const double cpuBefore = cpuSecondsSoFar();
    QElapsedTimer clock;
    clock.start();
    runEventsFor(options.seconds);
    RunFigures f;
    f.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    f.cpuSeconds = cpuSecondsSoFar() - cpuBefore;
    f.pollInterval = 100;
    f.peakRssKiB = peakResidentKiB();
    return f;
}

}  // namespace velor::bench
