#include "tools/velor-cli/PortAccess.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velor::cli {

PortAccess CheckPortAccess(const std::string& device) {
    PortAccess a;
    struct stat st {};
    if (device.empty() || ::stat(device.c_str(), &st) != 0) {
        a.remedy = "no such device: plug the adapter in or check the name";
        return a;
    }
    a.exists = true;
    if (const group* g = ::getgrgid(st.st_gid)) a.group = g->gr_name;
    a.accessible = ::access(device.c_str(), R_OK | W_OK) == 0;
    if (!a.accessible) {
        const std::string group = a.group.empty() ? "dialout" : a.group;
        a.remedy = "permission denied: join the group " + group + " (sudo usermod -aG " + group +
                   " $USER) and log in again";
    }
    return a;
}

std::string PortProblem(const std::string& device) {
    const PortAccess a = CheckPortAccess(device);
    if (!a.remedy.empty()) return a.remedy;
    return "in use by another program, not a serial port, or it refuses the settings";
}

}  // namespace velor::cli
