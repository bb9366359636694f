#include "tools/bench/SimulatorProcess.h"

#include <QElapsedTimer>

namespace velor::bench {

quint16 listeningPort(const QByteArray& line) {
    const QByteArray prefix = "listening tcp ";
    const QByteArray text = line.trimmed();
    if (!text.startsWith(prefix)) return 0;
    const int colon = text.lastIndexOf(':');
    if (colon < 0) return 0;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    return ok && port > 0 && port <= 65535 ? static_cast<quint16>(port) : 0;
}

SimulatorProcess::SimulatorProcess(const QString& program, const QStringList& extra,
                                   int timeoutMs) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(program, QStringList{"--tcp", "127.0.0.1:0"} + extra);
    if (!process_.waitForStarted(timeoutMs)) {
        failure_ = QStringLiteral("cannot start %1: %2").arg(program, process_.errorString());
        return;
    }
    // The pseudo-terminal's line follows the TCP one.
    const bool wantPty = extra.contains(QStringLiteral("--pty"));
    const auto ready = [&] { return port_ != 0 && (!wantPty || !ptyDevice_.isEmpty()); };
    QElapsedTimer clock;
    clock.start();
    while (!ready() && clock.elapsed() < timeoutMs) {
        if (!process_.canReadLine() && !process_.waitForReadyRead(200)) {
            if (process_.state() == QProcess::NotRunning) break;
            continue;
        }
        while (!ready() && process_.canReadLine()) readLine(process_.readLine());
    }
    if (!ready()) {
        port_ = 0;
        failure_ = QStringLiteral("%1 did not report its port").arg(program);
    }
}

void SimulatorProcess::readLine(const QByteArray& line) {
    static const QByteArray pty = "listening pty ";
    if (port_ == 0) port_ = listeningPort(line);
    const QByteArray text = line.trimmed();
    if (text.startsWith(pty)) ptyDevice_ = QString::fromUtf8(text.mid(pty.size()));
}

SimulatorProcess::~SimulatorProcess() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

}  // namespace velor::bench
