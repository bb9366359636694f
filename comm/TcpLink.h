#pragma once
// The TCP transport as the channel table sees it. The transport window implements it with
// two client sockets; the channel operations call it for a channel whose PortNumber is 0.

#include <cstdint>
#include <string>

#include "comm/ChannelIo.h"

namespace velor {

class TcpLink {
public:
    virtual ~TcpLink() = default;
    // Starts a non-blocking connection of the channel's socket to host (port 10000).
    virtual void TcpOpen(int channel, const std::string& host) = 0;
    virtual void TcpDisconnect(int channel, const std::string& host) = 0;
    // Stops the channel's socket and destroys the transport (both sockets).
    virtual void TcpClose(int channel, const std::string& host) = 0;
    virtual TcpStatus TcpState(int channel) = 0;
    // Hands the bytes to the connection; returns how many it took (0 when not connected).
    virtual int TcpSend(int channel, const std::uint8_t* data, int count) = 0;
    virtual int TcpRead(int channel, std::uint8_t* destination, int count) = 0;
};

}  // namespace velor
