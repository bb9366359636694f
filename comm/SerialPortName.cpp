#include "comm/SerialPortName.h"

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

}  // namespace velor
