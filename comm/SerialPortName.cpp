#include "comm/SerialPortName.h"

#include <filesystem>
#include <system_error>

namespace velor {

std::string PortDeviceName(int n) {
    return "COM" + std::to_string(n);
}

int portNumberOfName(const std::string& portName) {
    if (portName.size() < 4 || portName.size() > 6 || portName.compare(0, 3, "COM") != 0) {
        return -1;
    }
    int n = 0;
    for (std::size_t i = 3; i < portName.size(); ++i) {
        const char c = portName[i];
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string defaultPortResolver(const std::string& portName) {
#ifdef _WIN32
    return portName;
#else
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
#endif
}

}  // namespace velor
