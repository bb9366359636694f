#pragma once
// Serial port on Windows: the communications functions on an overlapped handle. Reads return
// at once (read interval time-out MAXDWORD); writes are started and not waited for.

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "comm/SerialPort.h"

namespace velor {

class SerialPortWin32 : public SerialPort {
public:
    SerialPortWin32();
    ~SerialPortWin32() override;
    SerialPortWin32(const SerialPortWin32&) = delete;
    SerialPortWin32& operator=(const SerialPortWin32&) = delete;

    bool open(const std::string& device, std::uint32_t baud, bool evenParity) override;
    void close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    int read(std::uint8_t* buffer, int count) override;
    int write(const std::uint8_t* buffer, int count) override;
    bool transmitByte(std::uint8_t byte) override;
    LineState lineState() override;
    SerialSettings settings() const override { return settings_; }
    std::int32_t nativeHandle() const override;
    bool probe(const std::string& device) override;

private:
    bool configure(std::uint32_t baud, bool evenParity);
    void finishWrite();

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    SerialSettings settings_;
    // A started write keeps its overlapped record and bytes until it completes.
    OVERLAPPED writeOverlapped_{};
    std::uint8_t writeBuffer_[kSerialQueueSize]{};
    bool writePending_ = false;
};

}  // namespace velor

#endif  // _WIN32
