#pragma once
// What the transfer engine needs from a channel: the byte-level operations of the channel
// table (serial port or TCP), seen through one interface so that the engine's step machine
// runs against a fake channel in tests.

#include <cstdint>

namespace velor {

// Line state of a serial channel, as ClearCommError reports it.
struct LineState {
    std::uint32_t errors = 0;  // kLine* flags (comm/SerialPort.h)
    std::uint32_t inQueue = 0;
    std::uint32_t outQueue = 0;
};

// State of a TCP channel: 0 connected, 1 no transport, 2 not connected; bytes waiting.
struct TcpStatus {
    std::int32_t state = 1;
    std::int32_t waiting = 0;
};

class ChannelIo {
public:
    virtual ~ChannelIo() = default;
    virtual bool isTcp(int channel) const = 0;
    // False for a serial channel whose port is not open (its open failed): nothing can be
    // sent or received on it. A TCP channel always counts as usable; its state tells the rest.
    virtual bool isUsable(int /*channel*/) { return true; }
    virtual bool ignoreLineErrors(int channel) const = 0;
    // Reads at most count bytes that have already arrived; returns the number read.
    virtual int read(int channel, std::uint8_t* buffer, int count) = 0;
    // Starts sending; returns the number of bytes the platform took.
    virtual int write(int channel, const std::uint8_t* buffer, int count) = 0;
    // Sends one byte ahead of the output queue (serial only).
    virtual bool transmitByte(int channel, std::uint8_t byte) = 0;
    virtual LineState lineState(int channel) = 0;
    virtual TcpStatus tcpState(int channel) = 0;
    // Reopens channel 1 after repeated TCP failures; returns the TransferResult of the open.
    virtual int reopen() = 0;
};

}  // namespace velor
