// The serial devices on POSIX systems: the device nodes, their group, the by-id names, and
// COMn entries in the working directory.

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "comm/SerialDevices.h"

namespace velor {

namespace {

constexpr const char* kByIdDirectory = "/dev/serial/by-id";

// The /dev/serial/by-id names by the device they lead to.
std::map<QString, QString> byIdLinks() {
    std::map<QString, QString> links;
    const QDir dir(kByIdDirectory);
    for (const QFileInfo& link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        links[link.canonicalFilePath()] = link.absoluteFilePath();
    return links;
}

}  // namespace

PortAccess checkPortAccess(const std::string& device) {
    PortAccess a;
    const QFileInfo info(QString::fromStdString(device));
    if (device.empty() || !info.exists()) {
        a.remedy = "no such device: plug the adapter in or check the name";
        return a;
    }
    a.exists = true;
    a.problem = PortAccess::Problem::None;
    a.group = info.group().toStdString();
    // The effective ids decide an open, as they do here.
    a.accessible = ::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (!a.accessible) {
        a.problem = PortAccess::Problem::NoPermission;
        const std::string group = a.group.empty() ? "dialout" : a.group;
        a.remedy = "permission denied: join the group " + group + " (sudo usermod -aG " + group +
                   " $USER) and log in again";
    }
    return a;
}

std::string portProblem(const std::string& device, int openError) {
    const PortAccess a = checkPortAccess(device);
    if (!a.remedy.empty()) return a.remedy;
    switch (openError) {
        case EBUSY:
            return "in use by another program";
        case ENOTTY:
            return "not a serial port";
        case EINVAL:
            return "it refuses the baud rate or the parity";
        case 0:
            return "in use by another program, not a serial port, or it refuses the settings";
        default:
            return std::generic_category().message(openError);
    }
}

std::vector<SerialDevice> listSerialDevices() {
    const auto links = byIdLinks();
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        SerialDevice d = describePort(port);
        d.device = port.systemLocation().toStdString();
        const auto link = links.find(QFileInfo(port.systemLocation()).canonicalFilePath());
        if (link != links.end()) d.byIdPath = link->second.toStdString();
        d.access = checkPortAccess(d.device);
        devices.push_back(std::move(d));
    }
    return devices;
}

ComLinkResult makeComLink(const std::string& comName, const std::string& target, bool replace,
                          std::error_code& problem) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(comName, ec);
    if (fs::is_symlink(status) && fs::read_symlink(comName, ec) == target && !ec)
        return ComLinkResult::Made;  // leads there already: nothing to ask
    if (fs::is_symlink(status) && !replace) return ComLinkResult::Exists;
    if (fs::exists(status) && !fs::is_symlink(status)) return ComLinkResult::NotALink;
    // Made beside and renamed over, so the name never leads nowhere in between.
    const std::string fresh = comName + ".new";
    fs::remove(fresh, ec);
    fs::create_symlink(target, fresh, ec);
    if (!ec) fs::rename(fresh, comName, ec);
    if (ec) {
        problem = ec;
        fs::remove(fresh, ec);
        return ComLinkResult::Failed;
    }
    return ComLinkResult::Made;
}

}  // namespace velor
