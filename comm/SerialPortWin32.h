#pragma once
// Serial port on Windows: the communications functions on an overlapped handle. A read takes
// only what the driver holds already and never waits; a write is started and not waited for.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

#include "comm/SerialDevices.h"
#include "comm/SerialPort.h"

namespace velor {

// The name CreateFile needs for a port: "COM12" becomes "\\.\COM12" (COM10 and above open
// only so, and the form serves COM1..COM9 as well); any other name is left as it is.
std::string win32DeviceName(const std::string& device);

// What the error of a failed open (GetLastError) tells about a port; ERROR_SUCCESS for one
// that opened. A port another program holds fails with ERROR_ACCESS_DENIED.
PortAccess portAccessOfOpenError(unsigned long error);

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
    bool deviceLost() const override { return lost_; }

private:
    bool configure(std::uint32_t baud, bool evenParity);
    void collectWrite();
    void startWrite();
    bool queuedBytes(DWORD& queued, DWORD& outQueue);
    void noteFailure(DWORD error);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    SerialSettings settings_;
    OVERLAPPED readOverlapped_{};
    // The write in flight keeps its record and bytes until it completes; bytes given while it
    // runs wait in pending_, within the size of the output queue.
    OVERLAPPED writeOverlapped_{};
    std::vector<std::uint8_t> inFlight_;
    std::vector<std::uint8_t> pending_;
    bool writePending_ = false;
    bool lost_ = false;
    std::uint32_t errors_ = 0;  // line errors not yet reported by lineState()
};

}  // namespace velor
