#include "tools/bench/PollProbe.h"

#include <QEvent>
#include <QTimer>

#include "comm/TransferRequest.h"
#include "monitor/MainLoopState.h"
#include "tools/bench/ProgramHarness.h"

namespace velor::bench {

PollProbe::PollProbe(ProgramHarness& harness) : harness_(harness) {
    clock_.start();
    QTimer* timer = harness_.mainWindow().Timer1;
    // The filter sees the timer event before the tick runs; the slot, connected after the
    // window's own, runs once the tick is over.
    timer->installEventFilter(this);
    connect(timer, &QTimer::timeout, this, &PollProbe::afterTick);
}

void PollProbe::reset() {
    polls_ = 0;
    failures_ = 0;
    latencies_.clear();
}

bool PollProbe::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Timer && watched == harness_.mainWindow().Timer1)
        statusBeforeTick_ = harness_.app().loop.MainRequest.Status;
    return false;
}

void PollProbe::afterTick() {
    const qint64 now = clock_.nsecsElapsed();
    const bool decoded =
        statusBeforeTick_ == kStatusDone && harness_.app().loop.MonitoredKind != kMonitoredNone;
    if (decoded) {
        ++polls_;
        if (lastArrivalNs_ >= 0)
            latencies_.push_back(static_cast<double>(now - lastArrivalNs_) / 1e6);
    } else if (statusBeforeTick_ == kStatusFailed) {
        ++failures_;
    }
    statusBeforeTick_ = 0;
    lastArrivalNs_ = -1;
    // A reopen inside the tick makes new sockets; hook them before any byte can arrive.
    hookSockets();
}

void PollProbe::hookSockets() {
    for (QTcpSocket* socket : harness_.sockets()) {
        if (hooked_.contains(socket)) continue;
        hooked_.insert(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { hooked_.remove(socket); });
        connect(socket, &QTcpSocket::readyRead, this,
                [this] { lastArrivalNs_ = clock_.nsecsElapsed(); });
    }
}

}  // namespace velor::bench
