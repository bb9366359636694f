// Windows has no pseudo-terminals: the simulator serves TCP only there.

#include "tools/modsim/PtyLink.h"

namespace velor::modsim {

PtyLink::PtyLink(QObject* parent) : QObject(parent) {}

PtyLink::~PtyLink() = default;

bool PtyLink::open(const QString&, Receiver, Notice, QString& error) {
    error = QStringLiteral("this system has no pseudo-terminals; use --tcp");
    return false;
}

long PtyLink::baud() const {
    return 0;
}

bool PtyLink::write(std::span<const std::uint8_t>, std::string& error) {
    error = "no pseudo-terminal";
    return false;
}

void PtyLink::close() {}

}  // namespace velor::modsim
