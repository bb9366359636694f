#pragma once
// The TCP transport: two client sockets, one per channel, that carry the link frames to the
// peer's port 10000. The socket pair (the transport "window") is created by the first open and
// destroyed by the close; this object itself lives as long as the channel table refers to it.

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "comm/TcpLink.h"

namespace velor {

inline constexpr quint16 kTcpPeerPort = 10000;
inline constexpr int kTcpRxSize = 1000;
inline constexpr int kTcpMaxSend = 10000;
// While a channel is open but not connected, a new connection is tried this often.
inline constexpr int kTcpRetryMs = 500;

class TForm_TCP : public QObject, public TcpLink {
    Q_OBJECT
public:
    explicit TForm_TCP(quint16 peerPort = kTcpPeerPort, QObject* parent = nullptr);
    ~TForm_TCP() override;

    void setPeerPort(quint16 port) { peerPort_ = port; }
    quint16 peerPort() const { return peerPort_; }

    void TcpOpen(int channel, const std::string& host) override;
    void TcpDisconnect(int channel, const std::string& host) override;
    void TcpClose(int channel, const std::string& host) override;
    TcpStatus TcpState(int channel) override;
    int TcpSend(int channel, const std::uint8_t* data, int count) override;
    int TcpRead(int channel, std::uint8_t* destination, int count) override;

    // Appends bytes that arrived on the channel's socket, with the overflow rules of the
    // 1000-byte receive buffer.
    void NactiData(int channel, const QByteArray& arrived);

    bool windowExists() const { return window_ != nullptr; }
    bool Connected(int channel) const;
    std::int32_t RxCount(int channel) const;

private:
    // The socket pair and the per-channel receive state; fresh for every created window.
    struct Window {
        QTcpSocket* ClientSocket1 = nullptr;
        QTcpSocket* ClientSocket2 = nullptr;
        std::array<bool, 2> Connected{};
        std::array<std::array<std::uint8_t, kTcpRxSize>, 2> RxBuffer{};
        std::array<std::int32_t, 2> RxCount{};
        // The host of each opened channel; empty when the channel is not open.
        std::array<std::string, 2> Host{};
        QTimer* Retry = nullptr;
    };

    void createWindow();
    void FormClose();
    QTcpSocket* SocketOf(int channel) const;
    void ClientSocketConnect(int channel);
    void ClientSocketRead(int channel);
    void ClientSocketDisconnect(int channel);
    // Connects the channel's socket to its host anew, dropping what the old connection left.
    void connectChannel(int channel);
    void retryConnects();

    quint16 peerPort_;
    std::unique_ptr<Window> window_;
};

}  // namespace velor
