#pragma once
// Serial ports are named COM1..COM9 throughout the program (the files store the number).
// Where such a name leads is decided by a resolver, so that tests can point a name at a
// pseudo-terminal of their own and never touch the machine's real ports.

#include <functional>
#include <string>

namespace velor {

using PortResolver = std::function<std::string(const std::string& portName)>;

// "COM" followed by the decimal number, no blank: PortDeviceName(3) == "COM3".
std::string PortDeviceName(int n);

// The number n of a name "COMn", or -1 when the name has another form.
int portNumberOfName(const std::string& portName);

// Windows: the system's port, "\\.\COMn". Elsewhere: an entry named COMn in the working directory
// when there is one (typically a symbolic link to /dev/ttyUSB0), else /dev/ttyS<n-1>; an empty text
// (no device) for a name that is not COMn with n >= 1, even where the directory holds an entry of
// that name.
std::string defaultPortResolver(const std::string& portName);

// True where COMn is chosen by an entry in the working directory (which the finder can make);
// false where the system names its ports itself.
bool comEntriesInWorkingDirectory();

}  // namespace velor
