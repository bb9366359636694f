#pragma once
// Whether this user may open a serial device, and what to do when not. Looks at the device's
// entry only; never opens it.

#include <string>

namespace velor::cli {

struct PortAccess {
    bool exists = false;
    bool accessible = false;  // readable and writable by this user
    std::string group;        // the group that owns the device
    std::string remedy;       // empty when accessible
};

PortAccess CheckPortAccess(const std::string& device);

// Why an open of the device failed, as far as its entry tells.
std::string PortProblem(const std::string& device);

}  // namespace velor::cli
