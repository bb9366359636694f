#include "comm/SerialPortWin32.h"

#include <algorithm>

#include "comm/SerialPortName.h"
#include "comm/Win32Text.h"

namespace velor {

namespace {

// How long a read of bytes the driver already holds may take before it is cancelled. On
// Windows such a read ends at once; a driver that holds it back must not hold up the program.
constexpr DWORD kReadGraceMs = 20;

HANDLE openDevice(const std::string& device) {
    if (device.empty()) return INVALID_HANDLE_VALUE;
    // No sharing: a port open elsewhere cannot be opened again. Not inherited by children.
    return CreateFileW(wideFromUtf8(win32DeviceName(device)).c_str(), GENERIC_READ | GENERIC_WRITE,
                       0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// The errors with which the communications functions answer once the device is gone (a USB
// adapter pulled: the driver fails every call on the old handle).
bool meansDeviceGone(DWORD error) {
    switch (error) {
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_GEN_FAILURE:
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
        case ERROR_BROKEN_PIPE:
            return true;
        default:
            return false;
    }
}

std::uint32_t lineErrorsOf(DWORD errors) {
    std::uint32_t flags = 0;
    if (errors & CE_RXOVER) flags |= kLineRxOverflow;
    if (errors & CE_OVERRUN) flags |= kLineOverrun;
    if (errors & CE_RXPARITY) flags |= kLineParity;
    if (errors & CE_FRAME) flags |= kLineFraming;
    if (errors & CE_BREAK) flags |= kLineBreak;
    return flags;
}

// 8 data bits, one stop bit, no flow control, and no abort on a line error (which would fail
// every read until the error is collected).
void setLine(DCB& dcb, std::uint32_t baud, bool evenParity) {
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = evenParity ? EVENPARITY : NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = evenParity ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

}  // namespace

std::string win32DeviceName(const std::string& device) {
    if (portNumberOfName(device) >= 1) return "\\\\.\\" + device;
    return device;
}

std::unique_ptr<SerialPort> createSerialPort() {
    return std::make_unique<SerialPortWin32>();
}

SerialPortWin32::SerialPortWin32() {
    readOverlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeOverlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

SerialPortWin32::~SerialPortWin32() {
    close();
    if (readOverlapped_.hEvent != nullptr) CloseHandle(readOverlapped_.hEvent);
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
    setLine(dcb, baud, evenParity);
    if (!SetCommState(handle_, &dcb)) return false;
    // What the driver keeps, not what was asked: a driver may take the call and drop a part
    // of it. A port without a parity bit (a pseudo-terminal behind Wine) stays usable and
    // says so through the settings.
    DCB back{};
    back.DCBlength = sizeof(back);
    if (!GetCommState(handle_, &back)) return false;
    settings_.baud = back.BaudRate;
    settings_.dataBits = back.ByteSize;
    settings_.evenParity = back.Parity == EVENPARITY;
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return settings_.baud == baud && settings_.dataBits == 8;
}

void SerialPortWin32::close() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    EscapeCommFunction(handle_, CLRRTS);
    if (writePending_) {
        CancelIoEx(handle_, &writeOverlapped_);
        DWORD done = 0;
        GetOverlappedResult(handle_, &writeOverlapped_, &done, TRUE);  // cancelled: ends now
    }
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    settings_ = {};
    inFlight_.clear();
    pending_.clear();
    writePending_ = false;
    lost_ = false;
    errors_ = 0;
}

void SerialPortWin32::noteFailure(DWORD error) {
    if (meansDeviceGone(error)) lost_ = true;
}

// The queue counts; the line errors are collected for the next lineState().
bool SerialPortWin32::queuedBytes(DWORD& queued, DWORD& outQueue) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) {
        noteFailure(GetLastError());
        return false;
    }
    errors_ |= lineErrorsOf(errors);
    queued = stat.cbInQue;
    outQueue = stat.cbOutQue;
    return true;
}

int SerialPortWin32::read(std::uint8_t* buffer, int count) {
    if (!isOpen() || buffer == nullptr || count <= 0) return 0;
    DWORD queued = 0;
    DWORD outQueue = 0;
    // Only what has arrived is asked for: a read of an empty port may stay pending (so under
    // Wine, whatever the time-outs say).
    if (!queuedBytes(queued, outQueue) || queued == 0) return 0;
    const DWORD want = std::min(static_cast<DWORD>(count), queued);
    ResetEvent(readOverlapped_.hEvent);
    DWORD got = 0;
    if (ReadFile(handle_, buffer, want, &got, &readOverlapped_)) return static_cast<int>(got);
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        noteFailure(error);
        return 0;
    }
    if (WaitForSingleObject(readOverlapped_.hEvent, kReadGraceMs) != WAIT_OBJECT_0)
        CancelIoEx(handle_, &readOverlapped_);
    // Done or cancelled by now, so this returns at once; a cancelled read may still have
    // taken some bytes.
    if (!GetOverlappedResult(handle_, &readOverlapped_, &got, TRUE) &&
        GetLastError() != ERROR_OPERATION_ABORTED)
        noteFailure(GetLastError());
    return static_cast<int>(got);
}

// Collects a finished write and starts the bytes that waited for it.
void SerialPortWin32::collectWrite() {
    if (writePending_) {
        DWORD done = 0;
        if (!GetOverlappedResult(handle_, &writeOverlapped_, &done, FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE) return;  // still sending
            noteFailure(error);
        }
        writePending_ = false;
        inFlight_.clear();
    }
    startWrite();
}

void SerialPortWin32::startWrite() {
    if (pending_.empty() || lost_) return;
    inFlight_.swap(pending_);
    pending_.clear();
    ResetEvent(writeOverlapped_.hEvent);
    writeOverlapped_.Offset = 0;
    writeOverlapped_.OffsetHigh = 0;
    if (WriteFile(handle_, inFlight_.data(), static_cast<DWORD>(inFlight_.size()), nullptr,
                  &writeOverlapped_)) {
        inFlight_.clear();
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        writePending_ = true;  // the bytes are in the driver's hands
        return;
    }
    noteFailure(error);
    inFlight_.clear();
}

int SerialPortWin32::write(const std::uint8_t* buffer, int count) {
    if (!isOpen() || buffer == nullptr || count <= 0) return 0;
    collectWrite();
    const int room = kSerialQueueSize - static_cast<int>(pending_.size());
    const int taken = std::min(count, std::max(room, 0));
    pending_.insert(pending_.end(), buffer, buffer + taken);
    if (!writePending_) startWrite();
    return taken;
}

bool SerialPortWin32::transmitByte(std::uint8_t byte) {
    if (!isOpen()) return false;
    if (TransmitCommChar(handle_, static_cast<char>(byte))) return true;
    noteFailure(GetLastError());
    return false;
}

LineState SerialPortWin32::lineState() {
    LineState s;
    if (!isOpen()) return s;
    collectWrite();
    DWORD queued = 0;
    DWORD outQueue = 0;
    if (!queuedBytes(queued, outQueue)) return s;
    s.errors = errors_;
    errors_ = 0;
    s.inQueue = queued;
    s.outQueue = outQueue + static_cast<std::uint32_t>(pending_.size());
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
