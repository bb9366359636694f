#include "tools/modsim/SimServer.h"

#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

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

long SimServer::ptyBaud() const {
    termios t{};
    if (ptyHeldSlave_ < 0 || ::tcgetattr(ptyHeldSlave_, &t) != 0) return 0;
    switch (::cfgetospeed(&t)) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
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
    if (::write(ptyMaster_, bytes.data(), bytes.size()) < 0) {
        log_.note(link.name, std::string("pty write failed: ") + std::strerror(errno));
    }
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
    if (!openPtyDevice(error) || !placeLink(linkPath, error)) return false;
    ptyLink_ = linkPath;
    ptyId_ = nextId_++;
    auto link = std::make_unique<Link>();
    link->name = "pty";
    links_[ptyId_] = std::move(link);
    ptyNotifier_ = new QSocketNotifier(ptyMaster_, QSocketNotifier::Read, this);
    connect(ptyNotifier_, &QSocketNotifier::activated, this, &SimServer::readPty);
    return true;
}

bool SimServer::openPtyDevice(QString& error) {
    ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (ptyMaster_ < 0 || ::grantpt(ptyMaster_) != 0 || ::unlockpt(ptyMaster_) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ptyDevice_ = QString::fromLocal8Bit(::ptsname(ptyMaster_));
    // Holding the slave open keeps the master readable (no EIO) while no program is attached.
    ptyHeldSlave_ = ::open(ptyDevice_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (ptyHeldSlave_ < 0) return true;
    termios raw{};
    if (::tcgetattr(ptyHeldSlave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(ptyHeldSlave_, TCSANOW, &raw);
    }
    return true;
}

// An old symbolic link (a simulator that was killed) is replaced; any other file is kept.
bool SimServer::placeLink(const QString& linkPath, QString& error) {
    const QFileInfo old(linkPath);
    if (old.exists() || old.isSymLink()) {
        if (!old.isSymLink()) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(linkPath.toLocal8Bit().constData());
    }
    if (::symlink(ptyDevice_.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void SimServer::readPty() {
    std::uint8_t buffer[512];
    const ssize_t got = ::read(ptyMaster_, buffer, sizeof buffer);
    if (got > 0) {
        receive(ptyId_, std::span(buffer, static_cast<std::size_t>(got)));
        return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    // A hard error would make the notifier fire forever.
    log_.note("pty", "read failed, terminal closed");
    ptyNotifier_->setEnabled(false);
}

void SimServer::shutdown() {
    if (server_ != nullptr) server_->close();
    if (!ptyLink_.isEmpty()) {
        if (QFileInfo(ptyLink_).symLinkTarget() == QFileInfo(ptyDevice_).absoluteFilePath()) {
            ::unlink(ptyLink_.toLocal8Bit().constData());
        }
        ptyLink_.clear();
    }
    if (ptyNotifier_ != nullptr) ptyNotifier_->setEnabled(false);
    if (ptyHeldSlave_ >= 0) ::close(ptyHeldSlave_);
    if (ptyMaster_ >= 0) ::close(ptyMaster_);
    ptyHeldSlave_ = -1;
    ptyMaster_ = -1;
}

}  // namespace velor::modsim
