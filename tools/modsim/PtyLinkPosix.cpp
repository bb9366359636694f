// The simulator's pseudo-terminal on POSIX systems.

#include "tools/modsim/PtyLink.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace velor::modsim {

PtyLink::PtyLink(QObject* parent) : QObject(parent) {}

PtyLink::~PtyLink() {
    close();
}

bool PtyLink::open(const QString& linkPath, Receiver receive, Notice notice, QString& error) {
    if (!openDevice(error) || !placeLink(linkPath, error)) return false;
    link_ = linkPath;
    receive_ = std::move(receive);
    notice_ = std::move(notice);
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyLink::readable);
    return true;
}

long PtyLink::baud() const {
    termios t{};
    if (heldSlave_ < 0 || ::tcgetattr(heldSlave_, &t) != 0) return 0;
    switch (::cfgetospeed(&t)) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

bool PtyLink::openDevice(QString& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    device_ = QString::fromLocal8Bit(::ptsname(master_));
    // Holding the slave open keeps the master readable (no EIO) while no program is attached.
    heldSlave_ = ::open(device_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (heldSlave_ < 0) return true;
    termios raw{};
    if (::tcgetattr(heldSlave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(heldSlave_, TCSANOW, &raw);
    }
    return true;
}

// An old symbolic link (a simulator that was killed) is replaced; any other file is kept.
bool PtyLink::placeLink(const QString& linkPath, QString& error) {
    const QFileInfo old(linkPath);
    if (old.exists() || old.isSymLink()) {
        if (!old.isSymLink()) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(QFile::encodeName(linkPath).constData());
    }
    if (::symlink(QFile::encodeName(device_).constData(),
                  QFile::encodeName(linkPath).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool PtyLink::write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (::write(master_, bytes.data(), bytes.size()) >= 0) return true;
    error = std::strerror(errno);
    return false;
}

void PtyLink::readable() {
    std::uint8_t buffer[512];
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got > 0) {
        receive_(std::span(buffer, static_cast<std::size_t>(got)));
        return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    // A hard error would make the notifier fire forever.
    notice_("read failed, terminal closed");
    notifier_->setEnabled(false);
}

void PtyLink::close() {
    if (!link_.isEmpty()) {
        if (QFileInfo(link_).symLinkTarget() == QFileInfo(device_).absoluteFilePath())
            ::unlink(QFile::encodeName(link_).constData());
        link_.clear();
    }
    if (notifier_ != nullptr) notifier_->setEnabled(false);
    if (heldSlave_ >= 0) ::close(heldSlave_);
    if (master_ >= 0) ::close(master_);
    heldSlave_ = -1;
    master_ = -1;
}

}  // namespace velor::modsim
