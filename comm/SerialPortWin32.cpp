#include "comm/SerialPortWin32.h"

#ifdef _WIN32

#include <algorithm>
#include <cstring>

namespace velor {

namespace {

HANDLE openDevice(const std::string& device) {
    if (device.empty()) return INVALID_HANDLE_VALUE;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = &sd;
    sa.bInheritHandle = TRUE;
    // No sharing: a port open elsewhere cannot be opened again.
    return CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &sa, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::unique_ptr<SerialPort> createSerialPort() {
    return std::make_unique<SerialPortWin32>();
}

SerialPortWin32::SerialPortWin32() {
    writeOverlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

SerialPortWin32::~SerialPortWin32() {
    close();
    if (writeOverlapped_.hEvent != nullptr) CloseHandle(writeOverlapped_.hEvent);
}

bool SerialPortWin32::open(const std::string& device, std::uint32_t baud, bool evenParity) {
    close();
    handle_ = openDevice(device);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    if (!configure(baud, evenParity)) {
        close();
        return false;
    }
    return true;
}

bool SerialPortWin32::configure(std::uint32_t baud, bool evenParity) {
    SetupComm(handle_, kSerialQueueSize, kSerialQueueSize);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what is there
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    // A write held up by the line ends after a while instead of pending for ever.
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!SetCommTimeouts(handle_, &timeouts)) return false;

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = evenParity ? EVENPARITY : NOPARITY;
    if (!SetCommState(handle_, &dcb)) return false;
    settings_.baud = baud;
    settings_.dataBits = 8;
    settings_.evenParity = evenParity;
    return true;
}

void SerialPortWin32::finishWrite() {
    if (!writePending_) return;
    DWORD done = 0;
    GetOverlappedResult(handle_, &writeOverlapped_, &done, TRUE);
    writePending_ = false;
}

void SerialPortWin32::close() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    EscapeCommFunction(handle_, CLRRTS);
    if (writePending_) {
        CancelIo(handle_);
        finishWrite();
    }
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    settings_ = {};
}

int SerialPortWin32::read(std::uint8_t* buffer, int count) {
    if (handle_ == INVALID_HANDLE_VALUE || buffer == nullptr || count <= 0) return 0;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, &ov)) {
        // With the read time-outs above a pending read completes at once.
        got = 0;
        if (GetLastError() == ERROR_IO_PENDING) GetOverlappedResult(handle_, &ov, &got, TRUE);
    }
    if (ov.hEvent != nullptr) CloseHandle(ov.hEvent);
    return static_cast<int>(got);
}

int SerialPortWin32::write(const std::uint8_t* buffer, int count) {
    if (handle_ == INVALID_HANDLE_VALUE || buffer == nullptr || count <= 0) return 0;
    // The overlapped record and its bytes may not be reused while a write still runs; the
    // engine waits for an empty output queue first, and the write time-out bounds the wait.
    finishWrite();
    const int n = std::min(count, kSerialQueueSize);
    std::memcpy(writeBuffer_, buffer, static_cast<std::size_t>(n));
    writeOverlapped_.Offset = 0;
    writeOverlapped_.OffsetHigh = 0;
    ResetEvent(writeOverlapped_.hEvent);
    DWORD written = 0;
    if (WriteFile(handle_, writeBuffer_, static_cast<DWORD>(n), &written, &writeOverlapped_)) {
        return static_cast<int>(written);
    }
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    writePending_ = true;  // the bytes are in the driver's hands
    return n;
}

bool SerialPortWin32::transmitByte(std::uint8_t byte) {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    return TransmitCommChar(handle_, static_cast<char>(byte)) != 0;
}

LineState SerialPortWin32::lineState() {
    LineState s;
    if (handle_ == INVALID_HANDLE_VALUE) return s;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) return s;
    s.errors = errors;
    s.inQueue = stat.cbInQue;
    s.outQueue = stat.cbOutQue;
    return s;
}

std::int32_t SerialPortWin32::nativeHandle() const {
    if (handle_ == INVALID_HANDLE_VALUE) return -1;
    // Kernel handles fit in 32 bits, also in a 64-bit process.
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle_));
}

bool SerialPortWin32::probe(const std::string& device) {
    const HANDLE h = openDevice(device);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

}  // namespace velor

#endif  // _WIN32
