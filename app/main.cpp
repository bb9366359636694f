// The program entry: one copy only, then the program as its assembly builds it, the channel
// opened, and the main window's message loop.

#include <QApplication>
#include <cstdlib>
#include <string>

#include "app/Program.h"
#include "app/SingleInstance.h"
#include "app/TestHooks.h"
#include "ui/MessageService.h"

namespace {

std::string MessageLogPath() {
    const char* path = std::getenv(velor::kMessageLogVariable);
    return path != nullptr ? path : "";
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace velor;
    QApplication qtApp(argc, argv);

    SingleInstance guard;
    if (!guard.acquire()) {
        // Another copy runs: only the message window, no main window, no COM.CFG, no port.
        ProgressState progress;
        MessageOutlet messages = installMessageWindow(progress, MessageLogPath());
        ShowMessageWindow("Aplikace již byla jednou spuštěna.", "Program bude ukončen", 2, 1);
        return 0;
    }

    ProgramHooks hooks;
    hooks.tcpPeerPort = parseTcpPort(std::getenv(kTcpPortVariable)).value_or(kTcpPeerPort);
    hooks.messageLogPath = MessageLogPath();
    Program program(hooks);
    program.start();
    const int code = QApplication::exec();
    guard.release();
    return code;
}
