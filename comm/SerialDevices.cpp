#include "comm/SerialDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

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

bool mayReadAndWrite(const std::string& device, const QFileInfo& info) {
#ifdef _WIN32
    return info.isReadable() && info.isWritable();
#else
    (void)info;
    // The effective ids decide an open, as they do here.
    return ::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
#endif
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
    a.group = info.group().toStdString();
    a.accessible = mayReadAndWrite(device, info);
    if (!a.accessible) {
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
        SerialDevice d;
        d.device = port.systemLocation().toStdString();
        d.description = port.description().toStdString();
        d.manufacturer = port.manufacturer().toStdString();
        d.serialNumber = port.serialNumber().toStdString();
        d.hasUsbIds = port.hasVendorIdentifier() && port.hasProductIdentifier();
        d.vendorId = port.vendorIdentifier();
        d.productId = port.productIdentifier();
        const auto link = links.find(QFileInfo(port.systemLocation()).canonicalFilePath());
        if (link != links.end()) d.byIdPath = link->second.toStdString();
        d.access = checkPortAccess(d.device);
        devices.push_back(std::move(d));
    }
    return devices;
}

std::string usbIdsText(const SerialDevice& device) {
    if (!device.hasUsbIds) return {};
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", device.vendorId, device.productId);
    return ids;
}

std::string linkTargetOf(const SerialDevice& device) {
    return device.byIdPath.empty() ? device.device : device.byIdPath;
}

}  // namespace velor

namespace velor {

ComLinkResult makeComLink(const std::string& comName, const std::string& target, bool replace,
                          std::string& problem) {
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
        problem = ec.message();
        fs::remove(fresh, ec);
        return ComLinkResult::Failed;
    }
    return ComLinkResult::Made;
}

}  // namespace velor
