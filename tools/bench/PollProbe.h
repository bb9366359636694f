#pragma once
// Watches the main window's polling loop from outside: which ticks consumed a successful
// answer (and so painted it into the unit window), which consumed a failure, and how long
// after the reply's last bytes arrived on the socket the value reached the window.

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <cstdint>
#include <vector>

namespace velor::bench {

class ProgramHarness;

class PollProbe : public QObject {
    Q_OBJECT
public:
    explicit PollProbe(ProgramHarness& harness);

    // Counting starts afresh (the warm-up is left out of the figures).
    void reset();
    long polls() const { return polls_; }
    long failures() const { return failures_; }
    const std::vector<double>& latenciesMs() const { return latencies_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void afterTick();
    void hookSockets();

    ProgramHarness& harness_;
    QElapsedTimer clock_;
    std::uint8_t statusBeforeTick_ = 0;
    qint64 lastArrivalNs_ = -1;
    long polls_ = 0;
    long failures_ = 0;
    std::vector<double> latencies_;
    QSet<QObject*> hooked_;
};

}  // namespace velor::bench
