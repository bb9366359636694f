#pragma once
// The links of the simulator: a TCP listener (any number of peers) and a pseudo-terminal, all
// feeding the one bus on the event loop's thread.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <map>
#include <memory>

#include "tools/modsim/Bus.h"
#include "tools/modsim/EventLog.h"
#include "tools/modsim/FaultInjector.h"
#include "tools/modsim/Options.h"
#include "tools/modsim/PtyLink.h"

class QTcpServer;
class QTcpSocket;

namespace velor::modsim {

class SimServer : public QObject {
    Q_OBJECT
public:
    SimServer(Bus& bus, const FaultOptions& faults, EventLog& log, QObject* parent = nullptr);
    ~SimServer() override;

    bool listenTcp(const QHostAddress& host, quint16 port, QString& error);
    quint16 tcpPort() const;
    // Opens a pseudo-terminal and points linkPath at its device; an old symbolic link there is
    // replaced, any other file is left alone and refused.
    bool openPty(const QString& linkPath, QString& error);
    QString ptyDevice() const { return pty_.device(); }
    // Line settings of the modules on the pseudo-terminal, by address: such a module stays
    // silent unless the program has set the terminal to its baud rate. Modules without an
    // entry, and every module on TCP, answer at any setting.
    void setLines(std::map<int, LineSetting> lines) { lines_ = std::move(lines); }
    // The baud rate the program set on the pseudo-terminal; 0 when it cannot be read.
    long ptyBaud() const { return pty_.baud(); }
    // Closes everything and removes the pty link if it is still ours.
    void shutdown();

private:
    struct Link {
        std::string name;
        FrameParser parser;
        int frames = 0;
        bool closing = false;
        QTcpSocket* socket = nullptr;  // null for the pty
    };

    void acceptPeers();
    void readSocket(int id);
    void receive(int id, std::span<const std::uint8_t> bytes);
    void serveFrame(int id, const Frame& frame);
    bool lineMatches(const Frame& frame);
    void send(int id, const Bytes& bytes);
    void scheduleClose(int id, int afterMs);
    void closeLink(int id);
    std::int64_t nowMs() const { return clock_.elapsed(); }

    Bus& bus_;
    FaultInjector faults_;
    EventLog& log_;
    QElapsedTimer clock_;
    QTcpServer* server_ = nullptr;
    std::map<int, std::unique_ptr<Link>> links_;
    int nextId_ = 1;
    int ptyId_ = 0;
    PtyLink pty_;
    std::map<int, LineSetting> lines_;
};

}  // namespace velor::modsim
