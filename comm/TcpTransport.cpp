#include "comm/TcpTransport.h"

#include <algorithm>
#include <cstring>

namespace velor {

namespace {

// Channel 1 has the first socket and buffer; any other channel the second.
std::size_t slotOf(int channel) {
    return channel == 1 ? 0 : 1;
}

}  // namespace

TForm_TCP::TForm_TCP(quint16 peerPort, QObject* parent) : QObject(parent), peerPort_(peerPort) {
    setObjectName("TForm_TCP");
}

TForm_TCP::~TForm_TCP() {
    if (window_) FormClose();
}

void TForm_TCP::createWindow() {
    window_ = std::make_unique<Window>();
    window_->ClientSocket1 = new QTcpSocket(this);
    window_->ClientSocket2 = new QTcpSocket(this);
    window_->ClientSocket1->setObjectName("ClientSocket1");
    window_->ClientSocket2->setObjectName("ClientSocket2");
    for (int channel = 1; channel <= 2; ++channel) {
        QTcpSocket* socket = SocketOf(channel);
        connect(socket, &QTcpSocket::connected, this,
                [this, channel] { ClientSocketConnect(channel); });
        connect(socket, &QTcpSocket::readyRead, this,
                [this, channel] { ClientSocketRead(channel); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, channel] { ClientSocketDisconnect(channel); });
        // Connect failures and network errors are silenced: the channel just stays unconnected.
        connect(socket, &QTcpSocket::errorOccurred, this, [](QAbstractSocket::SocketError) {});
    }
    // A peer that went away (or never answered the connect) is tried again until it is back.
    window_->Retry = new QTimer(this);
    window_->Retry->setInterval(kTcpRetryMs);
    connect(window_->Retry, &QTimer::timeout, this, [this] { retryConnects(); });
    window_->Retry->start();
}

QTcpSocket* TForm_TCP::SocketOf(int channel) const {
    if (!window_) return nullptr;
    return channel == 1 ? window_->ClientSocket1 : window_->ClientSocket2;
}

void TForm_TCP::TcpOpen(int channel, const std::string& host) {
    try {
        if (!window_) createWindow();
        window_->Host[slotOf(channel)] = host;
        connectChannel(channel);
    } catch (...) {
    }
}

void TForm_TCP::connectChannel(int channel) {
    const std::size_t slot = slotOf(channel);
    window_->Connected[slot] = false;
    window_->RxCount[slot] = 0;
    QTcpSocket* socket = SocketOf(channel);
    if (socket->state() != QAbstractSocket::UnconnectedState) socket->abort();
    const std::string& host = window_->Host[slot];
    socket->connectToHost(QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())),
                          peerPort_);
}

void TForm_TCP::retryConnects() {
    if (!window_) return;
    for (int channel = 1; channel <= 2; ++channel) {
        const bool open = !window_->Host[slotOf(channel)].empty();
        if (open && SocketOf(channel)->state() == QAbstractSocket::UnconnectedState)
            connectChannel(channel);
    }
}

void TForm_TCP::TcpDisconnect(int channel, const std::string& /*host*/) {
    try {
        if (!window_) return;
        window_->Host[slotOf(channel)].clear();
        SocketOf(channel)->abort();
        window_->Connected[slotOf(channel)] = false;
    } catch (...) {
    }
}

void TForm_TCP::TcpClose(int channel, const std::string& host) {
    try {
        if (!window_) return;
        if (window_->Connected[slotOf(channel)]) TcpDisconnect(channel, host);
        FormClose();
    } catch (...) {
    }
}

void TForm_TCP::FormClose() {
    // The close may come from inside a socket's own event, so the sockets go later.
    for (QTcpSocket* socket : {window_->ClientSocket1, window_->ClientSocket2}) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    window_->Retry->stop();
    window_->Retry->deleteLater();
    window_.reset();
}

TcpStatus TForm_TCP::TcpState(int channel) {
    TcpStatus status;
    if (!window_) {
        status.state = 1;
        return status;
    }
    const std::size_t slot = slotOf(channel);
    status.state = window_->Connected[slot] ? 0 : 2;
    status.waiting = window_->RxCount[slot];
    return status;
}

int TForm_TCP::TcpSend(int channel, const std::uint8_t* data, int count) {
    QTcpSocket* socket = SocketOf(channel);
    if (socket == nullptr || data == nullptr || count <= 0) return 0;
    // Bytes for a socket that is not connected are not sent, and the count says so.
    if (!Connected(channel) || socket->state() != QAbstractSocket::ConnectedState) return 0;
    const qint64 taken =
        socket->write(reinterpret_cast<const char*>(data), std::min(count, kTcpMaxSend));
    return static_cast<int>(std::max<qint64>(taken, 0));
}

int TForm_TCP::TcpRead(int channel, std::uint8_t* destination, int count) {
    if (!window_ || destination == nullptr) return 0;
    const std::size_t slot = slotOf(channel);
    auto& buffer = window_->RxBuffer[slot];
    std::int32_t& rxCount = window_->RxCount[slot];
    const int n = std::clamp(std::min({count, rxCount, kTcpRxSize}), 0, kTcpRxSize);
    std::memcpy(destination, buffer.data(), static_cast<std::size_t>(n));
    rxCount -= n;
    std::memmove(buffer.data(), buffer.data() + n, static_cast<std::size_t>(rxCount));
    return n;
}

void TForm_TCP::NactiData(int channel, const QByteArray& arrived) {
    if (!window_) return;
    const std::size_t slot = slotOf(channel);
    std::int32_t& rxCount = window_->RxCount[slot];
    const auto length = static_cast<std::int64_t>(arrived.size());
    // Older bytes make room for new ones; an arrival larger than the buffer is lost whole.
    if (rxCount + length > kTcpRxSize) rxCount = 0;
    if (length > kTcpRxSize) return;
    std::memcpy(window_->RxBuffer[slot].data() + rxCount, arrived.constData(),
                static_cast<std::size_t>(length));
    rxCount += static_cast<std::int32_t>(length);
}

void TForm_TCP::ClientSocketConnect(int channel) {
    if (window_) window_->Connected[slotOf(channel)] = true;
}

// The peer closed the connection or it broke: nothing is carried until a new one is made.
void TForm_TCP::ClientSocketDisconnect(int channel) {
    if (window_) window_->Connected[slotOf(channel)] = false;
}

void TForm_TCP::ClientSocketRead(int channel) {
    QTcpSocket* socket = SocketOf(channel);
    if (socket != nullptr) NactiData(channel, socket->readAll());
}

bool TForm_TCP::Connected(int channel) const {
    return window_ && window_->Connected[slotOf(channel)];
}

std::int32_t TForm_TCP::RxCount(int channel) const {
    return window_ ? window_->RxCount[slotOf(channel)] : 0;
}

}  // namespace velor
