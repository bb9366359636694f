#include "tools/velor-cli/PortAccess.h"

#include <QFileInfo>

namespace velor::cli {

PortAccess CheckPortAccess(const std::string& device) {
    PortAccess a;
    const QFileInfo info(QString::fromStdString(device));
    if (device.empty() || !info.exists()) {
        a.remedy = "no such device: plug the adapter in or check the name";
        return a;
    }
    a.exists = true;
    a.group = info.group().toStdString();
    a.accessible = info.isReadable() && info.isWritable();
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
