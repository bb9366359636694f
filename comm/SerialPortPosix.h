#pragma once
// Serial port on POSIX systems: termios in raw mode, non-blocking descriptor, exclusive
// through TIOCEXCL and an advisory flock (root is not bound by TIOCEXCL).

#include <deque>

#include "comm/SerialPort.h"

namespace velor {

class SerialPortPosix : public SerialPort {
public:
    SerialPortPosix() = default;
    ~SerialPortPosix() override;
    SerialPortPosix(const SerialPortPosix&) = delete;
    SerialPortPosix& operator=(const SerialPortPosix&) = delete;

    bool open(const std::string& device, std::uint32_t baud, bool evenParity) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    int read(std::uint8_t* buffer, int count) override;
    int write(const std::uint8_t* buffer, int count) override;
    bool transmitByte(std::uint8_t byte) override;
    LineState lineState() override;
    SerialSettings settings() const override { return settings_; }
    std::int32_t nativeHandle() const override { return fd_; }
    bool probe(const std::string& device) override;
    bool deviceLost() const override { return lost_; }
    int openError() const override { return openError_; }

private:
    struct Counters {
        std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    };

    bool configure(std::uint32_t baud, bool evenParity);
    bool readCounters(Counters& out);
    void flushPending();
    void noteFailure();
    void checkHangUp();

    int fd_ = -1;
    SerialSettings settings_;
    // Bytes the driver did not take yet: a write never waits and never drops data.
    std::deque<std::uint8_t> pending_;
    bool hasCounters_ = false;
    Counters last_;
    bool lost_ = false;
    int openError_ = 0;
};

}  // namespace velor
