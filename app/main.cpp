// The program entry: one copy only, the configuration loaded, the channel opened, then the
// main window's message loop.

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/AppState.h"
#include "app/SingleInstance.h"
#include "app/TestHooks.h"
#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/TcpTransport.h"
#include "comm/TransferWindow.h"
#include "config/ConfigFiles.h"
#include "monitor/MainWindow.h"
#include "monitor/TrafficMonitor.h"
#include "ui/MessageService.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"

namespace {

// The message window, with the test hook's log put in front of it when VELOR_MESSAGE_LOG is
// set. Members go in reverse order, so each presenter restores the one before it.
struct Messages {
    std::unique_ptr<velor::TForm_Msg> window;
    std::unique_ptr<velor::MessageLogPresenter> log;
};

Messages CreateMessageWindow(velor::ProgressState& progress) {
    Messages m;
    m.window = velor::installMessageWindow(progress);
    const char* logPath = std::getenv(velor::kMessageLogVariable);
    if (logPath != nullptr && *logPath != '\0')
        m.log = std::make_unique<velor::MessageLogPresenter>(logPath);
    return m;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace velor;
    QApplication qtApp(argc, argv);
    ProgressState progress;

    SingleInstance guard;
    if (!guard.acquire()) {
        // Another copy runs: only the message window, no main window, no COM.CFG, no port.
        Messages messages = CreateMessageWindow(progress);
        ShowMessageWindow("Aplikace již byla jednou spuštěna.", "Program bude ukončen", 2, 1);
        return 0;
    }

    auto app = std::make_unique<AppState>();
    app->config.AnalogFileName = "KonfigA.cfa";
    app->config.BinaryFileName = "KonfigB.cfb";
    app->config.AnalogDirectory.clear();
    app->config.BinaryDirectory.clear();

    // The title names the program (task bar, session); the window captions stay as designed,
    // so no display name is set (the platform would append it to every caption).
    QApplication::setApplicationName(QStringLiteral("Velor Tarnix Line 2"));
    qtApp.setProperty(kHelpFileProperty, QStringLiteral("Velor.HLP"));

    TForm_TCP tcp(ParseTcpPort(std::getenv(kTcpPortVariable)).value_or(kTcpPeerPort));
    app->comm.channel.tcp = &tcp;
    ChannelTableIo io(app->comm.channel, [] {
        ShowMessageWindow("ERROR", "Chyba při otevírání sériové komunikace", 2, 0);
    });
    SystemClock clock;
    TransferWindowFactoryQt transferWindows(
        {app->comm.engine, io, clock, app->comm.channel.TransferResult});
    app->comm.engine.Windows = &transferWindows;
    const auto traffic = InstallTrafficMonitor(app->comm);

    TForm_MzVyber mainWindow(*app);
    // The message window comes before the loaders: a configuration file that has to be
    // initialised is reported at start-up, and a message without its window would be lost.
    Messages messages = CreateMessageWindow(progress);
    LoadAnalogConfig(app->config, app->comm.channel);
    LoadBinaryConfig(app->config, app->comm.channel);
    OpenChannel(app->comm.channel, 1);
    mainWindow.show();
    const int code = QApplication::exec();
    guard.release();
    return code;
}
