// ports: where COM1..COM9 lead on this machine and every serial device the system has.

#include <QFileInfo>
#include <vector>

#include "comm/SerialDevices.h"
#include "comm/SerialPortName.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/Commands.h"

namespace velor::cli {

namespace {

std::string accessText(const std::string& device) {
    const PortAccess a = checkPortAccess(device);
    return a.accessible ? "accessible" : a.remedy;
}

// Where the system names the ports itself: COM1..COM9 as they open now.
void printSystemComNames(std::ostream& out) {
    out << "COM names (the system's ports; Device Manager changes their numbers):\n";
    for (int n = 1; n <= 9; ++n) {
        const std::string name = PortDeviceName(n);
        out << "  " << name << "  " << accessText(defaultPortResolver(name)) << "\n";
    }
}

void printComNames(std::ostream& out) {
    if (!comEntriesInWorkingDirectory()) return printSystemComNames(out);
    out << "COM names (an entry COMn in the working directory, else the default device):\n";
    for (int n = 1; n <= 9; ++n) {
        const std::string name = PortDeviceName(n);
        const std::string device = defaultPortResolver(name);
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
    const std::vector<SerialDevice> devices = listSerialDevices();
    out << "Serial devices of this system:" << (devices.empty() ? " none\n" : "\n");
    for (const SerialDevice& d : devices) {
        out << "  " << d.device;
        if (!d.description.empty()) out << "  \"" << d.description << "\"";
        if (!d.manufacturer.empty()) out << "  maker " << d.manufacturer;
        if (d.hasUsbIds) out << "  usb " << usbIdsText(d);
        if (!d.serialNumber.empty()) out << "  serial " << d.serialNumber;
        if (!d.byIdPath.empty()) out << "\n      " << d.byIdPath;
        out << "\n      " << (d.access.accessible ? "accessible" : d.access.remedy) << "\n";
    }
}

}  // namespace

int runPorts(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!parseArgs(raw, {}, a, problem)) return usageError("ports", problem, err);
    if (!a.positional.empty()) return usageError("ports", "ports takes no arguments", err);
    printComNames(out);
    printDevices(out);
    return kExitOk;
}

}  // namespace velor::cli
