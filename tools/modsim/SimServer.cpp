#include "tools/modsim/SimServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace velor::modsim {

SimServer::SimServer(Bus& bus, const FaultOptions& faults, EventLog& log, QObject* parent)
    : QObject(parent), bus_(bus), faults_(faults), log_(log) {
    clock_.start();
}

SimServer::~SimServer() {
    shutdown();
}

bool SimServer::listenTcp(const QHostAddress& host, quint16 port, QString& error) {
    server_ = new QTcpServer(this);
    if (!server_->listen(host, port)) {
        error = server_->errorString();
        return false;
    }
    connect(server_, &QTcpServer::newConnection, this, &SimServer::acceptPeers);
    return true;
}

quint16 SimServer::tcpPort() const {
    return server_ ? server_->serverPort() : 0;
}

void SimServer::acceptPeers() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const int id = nextId_++;
        auto link = std::make_unique<Link>();
        link->name = "tcp#" + std::to_string(id);
        link->socket = socket;
        log_.note(link->name, "connected from " + socket->peerAddress().toString().toStdString());
        log_.event(linkEventJson("connect", link->name));
        links_[id] = std::move(link);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readSocket(id); });
        // Queued: the link must not vanish while its bytes are being served.
        connect(
            socket, &QTcpSocket::disconnected, this, [this, id] { closeLink(id); },
            Qt::QueuedConnection);
    }
}

void SimServer::readSocket(int id) {
    const auto it = links_.find(id);
    if (it == links_.end() || it->second->socket == nullptr) return;
    const QByteArray data = it->second->socket->readAll();
    receive(id, std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                          static_cast<std::size_t>(data.size())));
}

void SimServer::receive(int id, std::span<const std::uint8_t> bytes) {
    const auto it = links_.find(id);
    if (it == links_.end() || it->second->closing) return;
    Link& link = *it->second;
    for (auto& item : link.parser.feed(bytes, nowMs())) {
        if (const auto* dropped = std::get_if<Dropped>(&item)) {
            log_.dropped(*dropped, link.name);
            continue;
        }
        serveFrame(id, std::get<Frame>(item));
        if (link.closing) return;  // bytes after the last allowed frame are not served
    }
}

// The terminal's settings are shared by both ends, so the held slave shows what the program
// set. Only the baud rate is compared: a pseudo-terminal carries no parity bit.
bool SimServer::lineMatches(const Frame& frame) {
    if (frame.userData.empty()) return true;
    const auto it = lines_.find(frame.userData[0]);
    if (it == lines_.end()) return true;
    const long baud = ptyBaud();
    if (baud == it->second.baud) return true;
    log_.note("pty", "module " + std::to_string(it->first) + " listens at " +
                         std::to_string(it->second.baud) + " Bd, the terminal is at " +
                         std::to_string(baud) + " Bd: silent");
    return false;
}

void SimServer::serveFrame(int id, const Frame& frame) {
    Link& link = *links_.at(id);
    if (id == ptyId_ && !lineMatches(frame)) return;
    const Exchange ex = bus_.handle(frame, nowMs());
    log_.exchange(ex, frame, link.name);
    const Delivery delivery = faults_.shape(ex.reply);
    if (!ex.reply.empty()) log_.event(replyEventJson(ex, delivery, link.name));
    if (delivery.dropped) log_.note(link.name, "reply dropped on purpose");
    int at = delivery.delayMs;
    for (const auto& piece : delivery.pieces) {
        if (at == 0) {
            send(id, piece);
        } else {
            QTimer::singleShot(at, this, [this, id, piece] { send(id, piece); });
        }
        at += FaultInjector::kPieceGapMs;
    }
    ++link.frames;
    const int limit = faults_.options().disconnectAfter;
    if (link.socket != nullptr && limit > 0 && link.frames >= limit) {
        link.closing = true;
        scheduleClose(id, at);
    }
}

void SimServer::send(int id, const Bytes& bytes) {
    const auto it = links_.find(id);
    if (it == links_.end()) return;
    Link& link = *it->second;
    log_.frame("out", link.name, bytes);
    if (link.socket != nullptr) {
        link.socket->write(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<qint64>(bytes.size()));
        return;
    }
    // Nobody may be reading the terminal; a full queue loses the reply as a line would.
    std::string error;
    if (!pty_.write(bytes, error)) log_.note(link.name, "pty write failed: " + error);
}

void SimServer::scheduleClose(int id, int afterMs) {
    QTimer::singleShot(afterMs + 1, this, [this, id] {
        const auto it = links_.find(id);
        if (it == links_.end() || it->second->socket == nullptr) return;
        log_.note(it->second->name, "closing after the configured number of frames");
        it->second->socket->flush();
        it->second->socket->disconnectFromHost();
    });
}

void SimServer::closeLink(int id) {
    const auto it = links_.find(id);
    if (it == links_.end()) return;
    log_.note(it->second->name, "disconnected");
    log_.event(linkEventJson("disconnect", it->second->name));
    if (it->second->socket != nullptr) it->second->socket->deleteLater();
    links_.erase(it);
}

bool SimServer::openPty(const QString& linkPath, QString& error) {
    const int id = nextId_;
    const auto receive = [this, id](std::span<const std::uint8_t> bytes) {
        this->receive(id, bytes);
    };
    const auto notice = [this](const std::string& text) { log_.note("pty", text); };
    if (!pty_.open(linkPath, receive, notice, error)) return false;
    ptyId_ = nextId_++;
    auto link = std::make_unique<Link>();
    link->name = "pty";
    links_[ptyId_] = std::move(link);
    return true;
}

void SimServer::shutdown() {
    if (server_ != nullptr) server_->close();
    pty_.close();
}

}  // namespace velor::modsim
