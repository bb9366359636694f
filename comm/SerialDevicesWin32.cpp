// The serial ports on Windows: the system's COM ports and their device data. Whether a port
// may be opened only an open tells; COM numbers are the system's (Device Manager).

#include <QSerialPortInfo>

#include "comm/SerialDevices.h"

#include <system_error>
#include "comm/SerialPortWin32.h"
#include "comm/Win32Text.h"

namespace velor {

PortAccess portAccessOfOpenError(unsigned long error) {
    PortAccess a;
    a.exists = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    switch (error) {
        case ERROR_SUCCESS:
            a.problem = PortAccess::Problem::None;
            a.accessible = true;
            return a;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            a.problem = PortAccess::Problem::Missing;
            a.remedy = "no such port: plug the adapter in; Device Manager shows its COM number";
            return a;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            a.problem = PortAccess::Problem::InUse;
            a.remedy = "in use by another program: close the program that holds the port";
            return a;
        default:
            a.problem = PortAccess::Problem::Other;
            a.remedy = "cannot be opened (Windows error " + std::to_string(error) + ")";
            return a;
    }
}

PortAccess checkPortAccess(const std::string& device) {
    if (device.empty()) return portAccessOfOpenError(ERROR_FILE_NOT_FOUND);
    const HANDLE h =
        CreateFileW(wideFromUtf8(win32DeviceName(device)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return portAccessOfOpenError(GetLastError());
    CloseHandle(h);
    return portAccessOfOpenError(ERROR_SUCCESS);
}

std::string portProblem(const std::string& device, int /*openError*/) {
    const PortAccess a = checkPortAccess(device);
    if (!a.remedy.empty()) return a.remedy;
    return "not a serial port, or it refuses the settings";
}

std::vector<SerialDevice> listSerialDevices() {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        SerialDevice d = describePort(port);
        d.device = port.portName().toStdString();
        d.access = checkPortAccess(d.device);
        devices.push_back(std::move(d));
    }
    return devices;
}

// Windows assigns the COM numbers (Device Manager changes one); the finder does not offer this.
ComLinkResult makeComLink(const std::string&, const std::string&, bool, std::error_code& problem) {
    problem = std::make_error_code(std::errc::operation_not_supported);
    return ComLinkResult::Failed;
}

}  // namespace velor
