#pragma once
// The serial port as the channel table needs it: an exclusive open at 8 data bits with even
// or no parity, a read that returns at once, a write that does not wait, one byte sent ahead
// of the queue, and the line state. One backend per platform; CreateSerialPort picks it.

#include <cstdint>
#include <memory>
#include <string>

#include "comm/ChannelIo.h"

namespace velor {

// Line error flags, with the values of the Windows communications functions' CE_ bits.
inline constexpr std::uint32_t kLineRxOverflow = 0x0001;
inline constexpr std::uint32_t kLineOverrun = 0x0002;
inline constexpr std::uint32_t kLineParity = 0x0004;
inline constexpr std::uint32_t kLineFraming = 0x0008;
inline constexpr std::uint32_t kLineBreak = 0x0010;

// Size of the input and output queues the port is set up with.
inline constexpr int kSerialQueueSize = 5000;

// What the driver actually took after an open; a device may silently drop a setting
// (a pseudo-terminal has no parity).
struct SerialSettings {
    std::uint32_t baud = 0;
    int dataBits = 0;
    bool evenParity = false;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device for exclusive use and sets baud rate, 8 data bits and parity. Fails
    // (and leaves the port closed) when the device is missing, held elsewhere, or refuses
    // the baud rate or the data bits.
    virtual bool open(const std::string& device, std::uint32_t baud, bool evenParity) = 0;
    // Clears RTS and releases the device. Harmless when not open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Reads at most count bytes that have already arrived; never waits. Returns the number read.
    virtual int read(std::uint8_t* buffer, int count) = 0;
    // Queues count bytes for sending without waiting; returns the number taken.
    virtual int write(const std::uint8_t* buffer, int count) = 0;
    // Sends one byte ahead of anything queued.
    virtual bool transmitByte(std::uint8_t byte) = 0;
    // Error flags (kLine* bits) since the last query, and the queue counts.
    virtual LineState lineState() = 0;
    virtual SerialSettings settings() const = 0;
    // The platform's handle, for the Handle field of the channel record; -1 when closed.
    virtual std::int32_t nativeHandle() const = 0;
    // True when the device exists and can be opened exclusively right now (it is closed again).
    virtual bool probe(const std::string& device) = 0;
    // True once a read, a write or the line state found the device gone (an adapter pulled,
    // the far end of a pseudo-terminal closed). The port stays open until closed; only a new
    // open clears this.
    virtual bool deviceLost() const { return false; }
    // Why the last open failed, as an errno value: EBUSY held by another program, ENOENT no
    // such device, EACCES no permission, ENOTTY not a serial port, EINVAL settings refused;
    // 0 when unknown.
    virtual int openError() const { return 0; }
};

std::unique_ptr<SerialPort> createSerialPort();

}  // namespace velor
