// COMn on Windows: the system's own port of that name.

#include "comm/SerialPortName.h"

namespace velor {

std::string defaultPortResolver(const std::string& portName) {
    // COM0 (the name before COM.CFG is read) is never a port. "\\.\COMn" is the one form that
    // opens every port, COM10 and above included.
    if (portNumberOfName(portName) < 1) return {};
    return "\\\\.\\" + portName;
}

bool comEntriesInWorkingDirectory() {
    return false;
}

}  // namespace velor
