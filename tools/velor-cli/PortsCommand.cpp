// ports: where COM1..COM9 lead on this machine and every serial device the system has.

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <cstdio>
#include <map>

#include "comm/SerialPortName.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/Commands.h"
#include "tools/velor-cli/PortAccess.h"

namespace velor::cli {

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

std::string accessText(const std::string& device) {
    const PortAccess a = CheckPortAccess(device);
    return a.accessible ? "accessible" : a.remedy;
}

void printComNames(std::ostream& out) {
    out << "COM names (an entry COMn in the working directory, else the default device):\n";
    for (int n = 1; n <= 9; ++n) {
        const std::string name = PortDeviceName(n);
        const std::string device = DefaultPortResolver(name);
        const bool entry = QFileInfo(QString::fromStdString(name)).isSymLink() ||
                           QFileInfo::exists(QString::fromStdString(name));
        out << "  " << name << "  " << device
            << (entry ? " (entry in this directory)" : " (default)");
        const QString target = QFileInfo(QString::fromStdString(device)).canonicalFilePath();
        if (entry && !target.isEmpty() && target.toStdString() != device)
            out << " -> " << target.toStdString();
        out << "  " << accessText(device) << "\n";
    }
}

void printDevices(std::ostream& out) {
    const auto links = byIdLinks();
    const auto ports = QSerialPortInfo::availablePorts();
    out << "Serial devices of this system:" << (ports.isEmpty() ? " none\n" : "\n");
    for (const QSerialPortInfo& port : ports) {
        const std::string device = port.systemLocation().toStdString();
        out << "  " << device;
        if (!port.description().isEmpty())
            out << "  \"" << port.description().toStdString() << "\"";
        if (!port.manufacturer().isEmpty()) out << "  maker " << port.manufacturer().toStdString();
        if (port.hasVendorIdentifier() && port.hasProductIdentifier()) {
            char ids[16];
            std::snprintf(ids, sizeof ids, "%04x:%04x", port.vendorIdentifier(),
                          port.productIdentifier());
            out << "  usb " << ids;
        }
        if (!port.serialNumber().isEmpty()) out << "  serial " << port.serialNumber().toStdString();
        const auto link = links.find(QFileInfo(port.systemLocation()).canonicalFilePath());
        if (link != links.end()) out << "\n      " << link->second.toStdString();
        out << "\n      " << accessText(device) << "\n";
    }
}

}  // namespace

int RunPorts(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!ParseArgs(raw, {}, a, problem)) return UsageError("ports", problem, err);
    if (!a.positional.empty()) return UsageError("ports", "ports takes no arguments", err);
    printComNames(out);
    printDevices(out);
    return kExitOk;
}

}  // namespace velor::cli
