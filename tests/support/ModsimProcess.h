#pragma once
// Starting the real velor-modsim executable for a test and talking to it over loopback TCP.
// Every wait is bounded by a deadline.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/modsim/FrameCodec.h"

namespace velor::modsim::test {

inline QByteArray bytesOf(std::string_view hexText) {
    Bytes b;
    EXPECT_TRUE(fromHex(hexText, b));
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

inline QByteArray frameOf(std::string_view userHex) {
    Bytes user;
    EXPECT_TRUE(fromHex(userHex, user));
    const Bytes f = buildVariableFrame(user);
    return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
}

inline std::string hexOf(const QByteArray& b) {
    return toHex(std::span(reinterpret_cast<const std::uint8_t*>(b.constData()),
                           static_cast<std::size_t>(b.size())));
}

class Simulator {
public:
    explicit Simulator(QStringList args) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral(VELOR_MODSIM_EXE), args);
        if (!process_.waitForStarted(5000)) return;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            while (process_.canReadLine())
                parseLine(QString::fromUtf8(process_.readLine()).trimmed());
            if (port_ != 0 && (!args.contains("--pty") || !ptyDevice_.isEmpty())) return;
            if (process_.state() != QProcess::Running) return;
            process_.waitForReadyRead(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        }
    }
    ~Simulator() {
        if (process_.state() == QProcess::Running) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    quint16 port() const { return port_; }
    QString ptyDevice() const { return ptyDevice_; }
    QProcess& process() { return process_; }

private:
    void parseLine(const QString& line) {
        static const QString tcp = "listening tcp 127.0.0.1:";
        if (line.startsWith(tcp)) port_ = static_cast<quint16>(line.mid(tcp.size()).toUInt());
        if (line.startsWith("listening pty ")) ptyDevice_ = line.mid(14);
    }

    QProcess process_;
    quint16 port_ = 0;
    QString ptyDevice_;
};

inline std::unique_ptr<QTcpSocket> connectTo(quint16 port) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(socket->waitForConnected(3000));
    return socket;
}

// Reads until `count` bytes have arrived or the deadline passes; counts the separate arrivals.
inline QByteArray receive(QTcpSocket& socket, int count, int ms, int* arrivals = nullptr) {
    QByteArray got;
    QDeadlineTimer deadline(ms);
    while (got.size() < count && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(
                                                std::max<qint64>(1, deadline.remainingTime())))) {
            if (socket.state() != QAbstractSocket::ConnectedState) break;
            continue;
        }
        got += socket.readAll();
        if (arrivals != nullptr) ++*arrivals;
    }
    return got;
}

inline QByteArray ask(QTcpSocket& socket, const QByteArray& request, int expected, int ms = 2000) {
    socket.write(request);
    socket.waitForBytesWritten(1000);
    return receive(socket, expected, ms);
}

// Lines of the event log that contain every one of the given fragments.
inline int countEvents(const QString& path, const std::vector<std::string>& fragments) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    int count = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        bool all = true;
        for (const std::string& f : fragments) all = all && line.contains(f.c_str());
        count += all ? 1 : 0;
    }
    return count;
}

inline int countEvents(const QString& path, std::initializer_list<const char*> fragments) {
    return countEvents(path, std::vector<std::string>(fragments.begin(), fragments.end()));
}

}  // namespace velor::modsim::test
