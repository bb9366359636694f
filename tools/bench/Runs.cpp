#include "tools/bench/Runs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include <QCheckBox>
#include <QDir>
#include "comm/Frame.h"

#include "monitor/MainLoopState.h"
#include "monitor/MainWindow.h"
#include "recording/RecordWindow.h"
#include "tools/bench/PollProbe.h"
#include "tools/bench/ProgramHarness.h"
#include "tools/bench/SimulatorProcess.h"
#include "tools/bench/UsageProbe.h"
#include "traffic/TrafficMonitor.h"

namespace velor::bench {

namespace {

constexpr std::uint16_t kInitialReplyTimeout = 200;

// The floor's stand-in for a transfer window: a 10 ms timer created for each poll that
// releases itself after the ticks one exchange takes (a send tick, then the start byte, the
// header and the body of the reply a tick each, with a tick of slack for the reply to arrive).
constexpr int kExchangeTicks = 6;

class FloorExchange : public QObject {
public:
    FloorExchange() : timer_(new QTimer(this)) {
        timer_->setInterval(10);
        connect(timer_, &QTimer::timeout, this, [this] {
            if (++ticks_ < kExchangeTicks) return;
            timer_->stop();
            deleteLater();
        });
        timer_->start();
    }

private:
    QTimer* timer_;
    int ticks_ = 0;
};

// The simulator's analog input signal, so that the floor's fields change as often as the
// KALU window's do.
double simulatedInput(int n, qint64 nowMs) {
    const double period = 20000.0 + 1000.0 * n;
    return 10.0 * n + 2.0 * std::sin(6.283185307179586 * static_cast<double>(nowMs) / period);
}

// What a bare Qt widgets program needs for the same visible job: a window of the main
// window's size with its buttons and status line, and one of the KALU window's size with
// twelve read-only value fields, refreshed on every poll when their text changes, and six
// editable fields, the first with the focus and its blinking cursor.
class FloorProgram {
public:
    FloorProgram() {
        main_.resize(TForm_MzVyber::kClientWidth, TForm_MzVyber::kClientHeight);
        for (int i = 0; i < 8; ++i) {
            auto* button = new QPushButton(QStringLiteral("Jednotka %1").arg(i), &main_);
            button->setGeometry(16, 12 + 40 * i, 229, 33);
        }
        auto* status = new QLineEdit(QStringLiteral("Čtení dat"), &main_);
        status->setReadOnly(true);
        status->setGeometry(4, 358, 253, 24);
        unit_.resize(kUnitWidth, kUnitHeight);
        for (int i = 0; i < 12; ++i) {
            values_[static_cast<std::size_t>(i)] = makeField(i, i < 6 ? 250 : 10, true);
            makeField(i % 6, i < 6 ? 270 : 66, false);
        }
        main_.show();
        unit_.show();
    }

    void showValues(qint64 nowMs) {
        char text[32];
        for (std::size_t i = 0; i < values_.size(); ++i) {
            std::snprintf(text, sizeof text, "%8.1f",
                          simulatedInput(static_cast<int>(i) + 1, nowMs));
            const QString shown = QString::fromLatin1(text);
            if (values_[i]->text() != shown) values_[i]->setText(shown);
        }
    }

private:
    static constexpr int kUnitWidth = 641;
    static constexpr int kUnitHeight = 322;

    QLineEdit* makeField(int column, int y, bool readOnly) {
        auto* edit = new QLineEdit(&unit_);
        edit->setGeometry(kUnitWidth - 80 - 90 * column, y, 70, 24);
        edit->setReadOnly(readOnly);
        if (readOnly) edit->setFocusPolicy(Qt::NoFocus);
        return edit;
    }

    QWidget main_;
    QWidget unit_;
    std::array<QLineEdit*, 12> values_{};
};

void openUnitWindow(TForm_MzVyber& window, const QString& unit) {
    if (unit == "tev") return window.openUnit(RequestKind::Tev);
    if (unit == "tevw") return window.openUnit(RequestKind::Tevw);
    if (unit == "tew") return window.openUnit(RequestKind::Tew);
    if (unit == "mokr") return window.openUnit(RequestKind::Mokr);
    window.openUnit(RequestKind::Kalu);
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

namespace {

// KALU exchanges as the polling loop makes them, until the tap holds `frames` frames.
void fillTraffic(TrafficTap& tap, std::size_t frames) {
    std::vector<std::uint8_t> request = {0, 0x40, 0x6C, 0x0D, 2, 0, 0, 0x30, 2, 0x30, 0, 6};
    request.resize(18 + 6, 0);
    std::int32_t length = 18;
    frameInPlace(request, length, false);
    std::vector<std::uint8_t> user = {0, 0x40, 0x6C};
    user.resize(3 + 48, 0);
    std::vector<std::uint8_t> reply = {0x68, 51, 51, 0x68};
    reply.insert(reply.end(), user.begin(), user.end());
    reply.push_back(Checksum8(user));
    reply.push_back(kFrameEnd);
    ExchangeOutcome outcome;
    outcome.kind = 0;
    outcome.address = 0;
    outcome.status = 2;
    while (tap.nextSeq() - tap.firstSeq() < frames) {
        tap.attemptStarted({0, 1});
        tap.written(request);
        tap.read(reply);
        tap.attemptEnded(outcome);
    }
}

// Opens "Záznam hodnot" for the polled KALU window, ticks every input and starts recording.
void openRecording(ValueRecording& recording) {
    RecordWindow* window = recording.show();
    window->setFileAsker([](const QString&, const QString&) {
        return QDir::current().filePath(QStringLiteral("bench-record.csv"));
    });
    for (int i = 0; i < kTrendInputs; ++i) window->inputBox(i)->setChecked(true);
    window->startClicked();
}

// Processes events for the measured window: its length and the processor time it took.
RunFigures measureWindow(double seconds) {
    const double cpuBefore = cpuSecondsSoFar();
    QElapsedTimer window;
    window.start();
    runEventsFor(seconds);
    RunFigures f;
    f.seconds = static_cast<double>(window.nsecsElapsed()) / 1e9;
    f.cpuSeconds = cpuSecondsSoFar() - cpuBefore;
    return f;
}

double recordedRows(const ValueRecording& recording) {
    const RecordWindow* window = recording.window();
    return window != nullptr ? static_cast<double>(window->recorder().rows()) : 0;
}

}  // namespace

RunFigures runProgram(const RunOptions& options) {
    writeLoopbackComConfig();
    ProgramHarness harness(options.simulatorPort);
    if (options.trafficWindow) {
        TrafficMonitorSetup& traffic = harness.program().tool<TrafficMonitorSetup>();
        fillTraffic(traffic.tap(), kTrafficFrameCapacity);
        traffic.monitor().open();
    }
    PollProbe probe(harness);
    harness.mainWindow().show();
    startPolling(harness, options.pollInterval);
    openUnitWindow(harness.mainWindow(), options.unit);
    if (options.recordWindow) openRecording(harness.program().tool<ValueRecording>());
    runEventsFor(options.warmupSeconds);

    probe.reset();
    const double rowsBefore =
        options.recordWindow ? recordedRows(harness.program().tool<ValueRecording>()) : 0;
    RunFigures f = measureWindow(options.seconds);
    f.polls = static_cast<double>(probe.polls());
    f.failures = static_cast<double>(probe.failures());
    f.pollInterval = harness.app().loop.PollInterval;
    const LatencySummary latency = summarizeLatencies(probe.latenciesMs());
    f.latencyMeanMs = latency.mean;
    f.latencyP95Ms = latency.p95;
    f.latencyMaxMs = latency.max;
    if (options.recordWindow)
        f.recordedRows = recordedRows(harness.program().tool<ValueRecording>()) - rowsBefore;
    waitForIdleEngine(harness);
    f.peakRssKiB = peakResidentKiB();
    return f;
}

namespace {

// Processes events until done() holds or the time is up; false when the time ran out.
bool runEventsUntil(const std::function<bool()>& done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > static_cast<qint64>(seconds * 1000)) return false;
        runEventsFor(0.002);
    }
    return true;
}

}  // namespace

RunFigures runScan(const RunOptions& options, int sweeps) {
    writeLoopbackComConfig();
    ProgramHarness harness(options.simulatorPort);
    harness.mainWindow().show();
    startPolling(harness, options.pollInterval);
    const MainLoopState& loop = harness.app().loop;
    // A sweep ends when the scan moves from the last address back to 0.
    std::int32_t last = loop.ScanAddress;
    int wraps = 0;
    const auto wrapped = [&] {
        const bool wrap =
            loop.ScanAddress == 0 && last == static_cast<std::int32_t>(kBusAddressCount) - 1;
        last = loop.ScanAddress;
        if (wrap) ++wraps;
        return wrap;
    };
    const double bound = 5.0 * kBusAddressCount;
    RunFigures f;
    if (!runEventsUntil(wrapped, bound)) return f;
    QElapsedTimer clock;
    clock.start();
    if (!runEventsUntil([&] { return wrapped() && wraps > sweeps; }, bound * sweeps)) return f;
    f.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    f.scanSweepMs = 1000.0 * f.seconds / sweeps;
    f.pollInterval = loop.PollInterval;
    for (std::size_t a = 0; a < kBusAddressCount; ++a)
        if (loop.AddressFound[a]) f.scanFound += std::ldexp(1.0, static_cast<int>(a));
    waitForIdleEngine(harness);
    return f;
}

RunFigures runReconnect(const RunOptions& options, const QString& modsim, int rounds) {
    writeLoopbackComConfig();
    // The default configuration files give the module address 0.
    auto sim = std::make_unique<SimulatorProcess>(modsim, QStringList{"--module", "0:KALU"});
    RunFigures f;
    const quint16 port = sim->port();
    if (port == 0) return f;
    ProgramHarness harness(port);
    PollProbe probe(harness);
    harness.mainWindow().show();
    startPolling(harness, options.pollInterval);
    openUnitWindow(harness.mainWindow(), QStringLiteral("kalu"));
    const QStringList again = {"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "--module",
                               "0:KALU"};
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        probe.reset();
        if (!runEventsUntil([&] { return probe.polls() > 0; }, 20)) break;
        sim.reset();  // the peer goes away while the window is polled
        runEventsFor(1.0);
        sim = std::make_unique<SimulatorProcess>(modsim, again);
        QElapsedTimer back;
        back.start();
        probe.reset();
        if (sim->port() == 0 || !runEventsUntil([&] { return probe.polls() > 0; }, 30)) break;
        times.push_back(static_cast<double>(back.nsecsElapsed()) / 1e6);
    }
    waitForIdleEngine(harness);
    if (times.empty()) return f;
    std::sort(times.begin(), times.end());
    f.reconnectRounds = static_cast<double>(times.size());
    f.reconnectMedianMs = times[times.size() / 2];
    f.reconnectMaxMs = times.back();
    return f;
}

namespace {

// Lets a floor's timers run through the warm-up, then measures the window that follows.
RunFigures measureRunning(const RunOptions& options) {
    runEventsFor(options.warmupSeconds);
    RunFigures f = measureWindow(options.seconds);
    f.pollInterval = 100;
    f.peakRssKiB = peakResidentKiB();
    return f;
}

}  // namespace

RunFigures runFloor(const RunOptions& options) {
    FloorProgram floor;
    QTimer mainTimer;
    mainTimer.setInterval(50);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&mainTimer, &QTimer::timeout, [&] {
        mainTimer.setInterval(100);
        floor.showValues(clock.elapsed());
        new FloorExchange;  // releases itself
    });
    mainTimer.start();
    return measureRunning(options);
}

RunFigures runBareFloor(const RunOptions& options) {
    QWidget window;
    window.resize(TForm_MzVyber::kClientWidth, TForm_MzVyber::kClientHeight);
    auto* button = new QPushButton(QStringLiteral("Konec"), &window);
    button->move(20, 20);
    window.show();
    QTimer mainTimer;
    mainTimer.setInterval(50);
    QObject::connect(&mainTimer, &QTimer::timeout, [&] { mainTimer.setInterval(100); });
    QTimer transferTimer;
    transferTimer.setInterval(10);
    QObject::connect(&transferTimer, &QTimer::timeout, [] {});
    mainTimer.start();
    transferTimer.start();
    return measureRunning(options);
}

}  // namespace velor::bench
