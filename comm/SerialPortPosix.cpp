#include "comm/SerialPortPosix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/sysmacros.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace velor {

namespace {

struct BaudCode {
    std::uint32_t baud;
    speed_t code;
};

constexpr std::array<BaudCode, 5> kBaudCodes{{
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
}};

bool speedCode(std::uint32_t baud, speed_t& code) {
    for (const auto& b : kBaudCodes) {
        if (b.baud == baud) {
            code = b.code;
            return true;
        }
    }
    return false;
}

std::uint32_t baudOfCode(speed_t code) {
    for (const auto& b : kBaudCodes) {
        if (b.code == code) return b.baud;
    }
    return 0;
}

// A pseudo-terminal has no line, so parity means nothing there; some kernels drop it, others
// refuse a second change of it. Linux numbers the pseudo-terminal slaves 136..143.
bool isPseudoTerminal(int fd) {
#if defined(__linux__)
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
#else
    (void)fd;
    return false;
#endif
}

void releaseExclusive(int fd) {
    // The exclusive flag belongs to the terminal, not to the descriptor; a pseudo-terminal
    // outlives our descriptor, so drop the flag before letting go.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

// Opens the device and takes it for this program alone; -1 with the reason in error when it
// cannot. Only the open itself tells whether another program holds the port: the exclusive
// flag of a terminal outlives a killed holder and is no sign of a user.
int openExclusive(const std::string& device, int& error) {
    error = ENOENT;
    if (device.empty()) return -1;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    error = !::isatty(fd) ? ENOTTY : 0;
    // The flock keeps out another copy of this program, also one running as root, whom the
    // exclusive flag does not stop; it goes with its holder.
    if (error == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) error = EBUSY;
    if (error != 0) {
        ::close(fd);
        return -1;
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

}  // namespace

std::unique_ptr<SerialPort> createSerialPort() {
    return std::make_unique<SerialPortPosix>();
}

SerialPortPosix::~SerialPortPosix() {
    close();
}

bool SerialPortPosix::open(const std::string& device, std::uint32_t baud, bool evenParity) {
    close();
    fd_ = openExclusive(device, openError_);
    if (fd_ < 0) return false;
    if (!configure(baud, evenParity)) {
        close();
        openError_ = EINVAL;
        return false;
    }
    Counters c;
    hasCounters_ = readCounters(c);
    last_ = c;
    return true;
}

bool SerialPortPosix::configure(std::uint32_t baud, bool evenParity) {
    speed_t code = 0;
    if (!speedCode(baud, code)) return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARODD | PARENB);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    const bool lineHasParity = !isPseudoTerminal(fd_);
    if (evenParity && lineHasParity) t.c_cflag |= PARENB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, code) != 0 || ::cfsetospeed(&t, code) != 0) return false;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return false;

    // tcsetattr succeeds when any part was taken: read back what the driver keeps. A real
    // port may refuse the rate.
    termios back{};
    if (::tcgetattr(fd_, &back) != 0) return false;
    settings_.baud = baudOfCode(::cfgetospeed(&back));
    settings_.dataBits = (back.c_cflag & CSIZE) == CS8 ? 8 : 0;
    settings_.evenParity = (back.c_cflag & PARENB) != 0 && (back.c_cflag & PARODD) == 0;
    const bool parityTaken = !lineHasParity || settings_.evenParity == evenParity;
    return settings_.baud == baud && settings_.dataBits == 8 && parityTaken;
}

void SerialPortPosix::close() {
    if (fd_ < 0) return;
    int rts = TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &rts);  // a pseudo-terminal has no RTS; that is fine
    releaseExclusive(fd_);
    fd_ = -1;
    lost_ = false;
    pending_.clear();
    settings_ = {};
    hasCounters_ = false;
    last_ = {};
}

int SerialPortPosix::read(std::uint8_t* buffer, int count) {
    if (fd_ < 0 || buffer == nullptr || count <= 0) return 0;
    const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(count));
    // With VMIN and VTIME 0 an empty read returns 0, and so does every read of a terminal
    // that hung up: only poll tells the two apart.
    if (n < 0) noteFailure();
    if (n == 0) checkHangUp();
    return n > 0 ? static_cast<int>(n) : 0;
}

void SerialPortPosix::flushPending() {
    std::array<std::uint8_t, 512> chunk{};
    while (!pending_.empty()) {
        const std::size_t n = std::min(chunk.size(), pending_.size());
        std::copy_n(pending_.begin(), n, chunk.begin());
        const ssize_t w = ::write(fd_, chunk.data(), n);
        if (w < 0) noteFailure();
        if (w <= 0) return;  // the driver is full (or failed): try again at the next call
        pending_.erase(pending_.begin(), pending_.begin() + w);
    }
}

int SerialPortPosix::write(const std::uint8_t* buffer, int count) {
    if (fd_ < 0 || buffer == nullptr || count <= 0) return 0;
    flushPending();
    int taken = 0;
    if (pending_.empty()) {
        const ssize_t w = ::write(fd_, buffer, static_cast<size_t>(count));
        if (w < 0) noteFailure();
        if (w > 0) taken = static_cast<int>(w);
    }
    // What the driver did not take waits here, within the size of the output queue.
    const int room = kSerialQueueSize - static_cast<int>(pending_.size());
    const int queued = std::min(count - taken, std::max(room, 0));
    pending_.insert(pending_.end(), buffer + taken, buffer + taken + queued);
    return taken + queued;
}

bool SerialPortPosix::transmitByte(std::uint8_t byte) {
    if (fd_ < 0) return false;
    const ssize_t w = ::write(fd_, &byte, 1);
    if (w < 0) noteFailure();
    return w == 1;
}

// Only the errors of a device that is no longer there count; a full driver (EAGAIN) or an
// interrupted call is an ordinary moment of a working port.
void SerialPortPosix::noteFailure() {
    if (errno == EIO || errno == ENXIO || errno == ENODEV) lost_ = true;
}

// A pulled USB adapter and a pseudo-terminal whose master was closed both hang up; a port
// that merely stays silent does not.
void SerialPortPosix::checkHangUp() {
    pollfd p{fd_, POLLIN | POLLOUT, 0};
    if (::poll(&p, 1, 0) < 0) return;
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) lost_ = true;
}

bool SerialPortPosix::readCounters(Counters& out) {
#if defined(__linux__)
    serial_icounter_struct ic{};
    if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0) return false;  // ENOTTY: no counters
    out.frame = static_cast<std::uint32_t>(ic.frame);
    out.overrun = static_cast<std::uint32_t>(ic.overrun);
    out.parity = static_cast<std::uint32_t>(ic.parity);
    out.brk = static_cast<std::uint32_t>(ic.brk);
    out.bufOverrun = static_cast<std::uint32_t>(ic.buf_overrun);
    return true;
#else
    (void)out;
    return false;
#endif
}

LineState SerialPortPosix::lineState() {
    LineState s;
    if (fd_ < 0) return s;
    checkHangUp();
    if (lost_) return s;
    flushPending();
    int in = 0;
    int out = 0;
    if (::ioctl(fd_, FIONREAD, &in) == 0 && in > 0) s.inQueue = static_cast<std::uint32_t>(in);
    if (::ioctl(fd_, TIOCOUTQ, &out) != 0 || out < 0) out = 0;
    s.outQueue = static_cast<std::uint32_t>(out) + static_cast<std::uint32_t>(pending_.size());
    Counters now;
    if (!hasCounters_ || !readCounters(now)) return s;
    // The counters only grow; any growth since the last query is reported once.
    if (now.bufOverrun != last_.bufOverrun) s.errors |= kLineRxOverflow;
    if (now.overrun != last_.overrun) s.errors |= kLineOverrun;
    if (now.parity != last_.parity) s.errors |= kLineParity;
    if (now.frame != last_.frame) s.errors |= kLineFraming;
    if (now.brk != last_.brk) s.errors |= kLineBreak;
    last_ = now;
    return s;
}

bool SerialPortPosix::probe(const std::string& device) {
    int error = 0;
    const int fd = openExclusive(device, error);
    if (fd < 0) return false;
    releaseExclusive(fd);
    return true;
}

}  // namespace velor
