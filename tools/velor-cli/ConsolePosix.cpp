// POSIX terminals take the bytes as the locale gives them (UTF-8); a report drawn on a machine
// with no display (a server, a service shell) needs the offscreen platform.

#include <QByteArray>
#include <QtGlobal>

#include "tools/velor-cli/Console.h"

namespace velor::cli {

bool writeText(std::FILE* stream, std::string_view utf8) {
    return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() &&
           std::fflush(stream) == 0;
}

void chooseDrawingPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace velor::cli
