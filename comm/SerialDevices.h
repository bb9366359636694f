#pragma once
// The machine's serial devices and whether this user may open them. Where the system tells
// that only by an open (Windows), the device is opened for a moment and closed again.

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

class QSerialPortInfo;

namespace velor {

struct PortAccess {
    enum class Problem {
        None,
        Missing,       // no such device or port
        NoPermission,  // this user may not open it (a group the user is not in)
        InUse,         // another program holds it
        Other,
    };
    Problem problem = Problem::Missing;
    bool exists = false;
    bool accessible = false;  // readable and writable by this user
    std::string group;        // the group that owns the device
    std::string remedy;       // empty when accessible
};

// Judged as the kernel would judge an open by this process (effective user and groups).
PortAccess checkPortAccess(const std::string& device);

// Why an open of the device failed: its entry first (missing, no permission), then the
// reason the open gave (SerialPort::openError, 0 when unknown).
std::string portProblem(const std::string& device, int openError = 0);

struct SerialDevice {
    std::string device;  // /dev/ttyUSB0, COM5
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    bool hasUsbIds = false;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string byIdPath;  // /dev/serial/by-id/..., empty when the system made none
    PortAccess access;
};

std::vector<SerialDevice> listSerialDevices();

// Description, maker, serial number and USB identifiers from the system's device data.
SerialDevice describePort(const QSerialPortInfo& port);

// "0403:6001", empty without USB identifiers.
std::string usbIdsText(const SerialDevice& device);

// What a COMn entry should lead to: the by-id path, which survives re-plugging, else the device.
std::string linkTargetOf(const SerialDevice& device);

}  // namespace velor

namespace velor {

enum class ComLinkResult {
    Made,
    Exists,    // a link of that name is there; replace only when the user agrees
    NotALink,  // a file or directory of that name is there: never replaced
    Failed,
};

// Makes the entry comName ("COM3") in the working directory a symbolic link to target. An
// existing link to another target is replaced (in one step) only when replace is set. A
// failure leaves the system's error in problem.
ComLinkResult makeComLink(const std::string& comName, const std::string& target, bool replace,
                          std::error_code& problem);

}  // namespace velor
