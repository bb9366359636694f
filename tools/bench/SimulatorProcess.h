#pragma once
// The module simulator as a child process on a loopback port it picks itself (and on a
// pseudo-terminal when asked).

#include <QProcess>
#include <QString>
#include <QStringList>

namespace velor::bench {

class SimulatorProcess {
public:
    // Starts `program --tcp 127.0.0.1:0 <extra>` and waits (up to timeoutMs) for its
    // "listening tcp HOST:PORT" line, and with --pty in extra for its "listening pty DEVICE".
    SimulatorProcess(const QString& program, const QStringList& extra, int timeoutMs = 10000);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // 0 when the simulator did not come up.
    quint16 port() const { return port_; }
    // The pseudo-terminal's device (/dev/pts/N) when started with --pty.
    QString ptyDevice() const { return ptyDevice_; }
    QString failure() const { return failure_; }

private:
    void readLine(const QByteArray& line);

    QProcess process_;
    quint16 port_ = 0;
    QString ptyDevice_;
    QString failure_;
};

// The port of a "listening tcp HOST:PORT" line; 0 for any other line.
quint16 listeningPort(const QByteArray& line);

}  // namespace velor::bench
