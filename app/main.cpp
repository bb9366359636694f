// The program entry: one copy only, the configuration loaded, the channel opened, then the
// main window's message loop.

#include <QApplication>
#include <memory>

#include "app/AppState.h"
#include "app/SingleInstance.h"
#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/TcpTransport.h"
#include "comm/TransferWindow.h"
#include "config/ConfigFiles.h"
#include "monitor/MainWindow.h"
#include "ui/MessageService.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"

int main(int argc, char* argv[]) {
    using namespace velor;
    QApplication qtApp(argc, argv);
    ProgressState progress;

    SingleInstance guard;
    if (!guard.acquire()) {
        // Another copy runs: only the message window, no main window, no COM.CFG, no port.
        auto messages = installMessageWindow(progress);
        ShowMessageWindow("Aplikace již byla jednou spuštěna.", "Program bude ukončen", 2, 1);
        return 0;
    }

    QApplication::setApplicationName(QStringLiteral("Velor Tarnix Line 2"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velor Tarnix Line 2"));

    auto app = std::make_unique<AppState>();
    app->config.AnalogFileName = "KonfigA.cfa";
    app->config.BinaryFileName = "KonfigB.cfb";
    app->config.AnalogDirectory.clear();
    app->config.BinaryDirectory.clear();

    TForm_TCP tcp;
    app->comm.channel.tcp = &tcp;
    std::int32_t& result = app->comm.channel.TransferResult;
    ChannelTableIo io(app->comm.channel, [] {
        ShowMessageWindow("ERROR", "Chyba při otevírání sériové komunikace", 2, 0);
    });
    SystemClock clock;
    TransferWindowFactoryQt transferWindows({app->comm.engine, io, clock, result});
    app->comm.engine.Windows = &transferWindows;

    TForm_MzVyber mainWindow(*app);
    LoadAnalogConfig(app->config, app->comm.channel);
    LoadBinaryConfig(app->config, app->comm.channel);
    auto messages = installMessageWindow(progress);
    OpenChannel(app->comm.channel, 1);
    mainWindow.show();
    const int code = QApplication::exec();
    guard.release();
    return code;
}
