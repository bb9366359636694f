// COMn on POSIX systems: an entry of that name in the working directory, else a ttyS device.

#include <filesystem>
#include <system_error>

#include "comm/SerialPortName.h"

namespace velor {

std::string defaultPortResolver(const std::string& portName) {
    const int n = portNumberOfName(portName);
    // COM0 (the name before COM.CFG is read) is never a port, whatever the directory holds.
    if (n < 1) return {};
    // A link in the working directory wins, even a dangling one: opening it then fails
    // instead of silently falling back to a port the user did not mean.
    std::error_code ec;
    if (std::filesystem::symlink_status(portName, ec).type() !=
            std::filesystem::file_type::not_found &&
        !ec) {
        return "./" + portName;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

bool comEntriesInWorkingDirectory() {
    return true;
}

}  // namespace velor
