#include "comm/PortSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace velor {

void WaitMs(std::uint16_t ms) {
    QElapsedTimer clock;
    clock.start();
    const qint64 limit = ms;
    // Bounded: each pass sleeps in the event loop until the remaining time is up.
    while (clock.elapsed() <= limit) {
        const qint64 remaining = limit - clock.elapsed() + 1;
        if (QCoreApplication::instance() == nullptr) {
            QThread::msleep(static_cast<unsigned long>(std::max<qint64>(remaining, 1)));
            continue;
        }
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::max<qint64>(remaining, 1)), Qt::PreciseTimer,
                           &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void SearchPorts(ChannelState& state, std::string& choiceText, const StatusFunction& showStatus,
                 const WaitFunction& wait) {
    state.PortSearchPending = false;
    choiceText.clear();
    state.FoundPorts.clear();
    auto probePort = createSerialPort();
    for (int n = 1; n <= 9; ++n) {
        const std::string name = PortDeviceName(n);
        if (showStatus) showStatus("Vyhledávám: " + name);
        if (wait) wait(kPortSearchWaitMs);
        if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
        const std::string device = state.resolvePort ? state.resolvePort(name) : std::string();
        if (!probePort->probe(device)) continue;
        choiceText += "COM " + std::to_string(n);
        choiceText += '\x01';
        state.FoundPorts.push_back(name);
    }
    choiceText += '\0';
}

}  // namespace velor
