#pragma once
// The program, assembled in one place: its state, the TCP transport, channel 1's adapter, the
// clock, the transfer windows, the main window and the message window, created in the start-up
// order. The entry, the benchmark, the screenshot tool and the scenario tests all build it
// here; what a test or a tool replaces is named in ProgramHooks. The single-instance guard is
// the entry's own and stays outside.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TestHooks.h"
#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/SerialPortName.h"
#include "comm/TcpTransport.h"
#include "comm/TransferWindow.h"
#include "modules/ModuleWrites.h"
#include "modules/WriteLog.h"
#include "monitor/AppState.h"
#include "monitor/ChannelAdapter.h"
#include "monitor/MainWindow.h"
#include "traffic/TrafficMonitor.h"
#include "ui/MessageService.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"

namespace velor {

// The message window, with the message log put in front of it when a log path is given.
// Members go in reverse order, so each presenter restores the one before it.
struct MessageOutlet {
    std::unique_ptr<TForm_Msg> window;
    std::unique_ptr<MessageLogPresenter> log;
};
MessageOutlet installMessageWindow(ProgressState& progress, const std::string& logPath);

// What a test, a demonstration or a tool puts in place of the real thing. Every default is the
// program as a technician runs it.
struct ProgramHooks {
    quint16 tcpPeerPort = kTcpPeerPort;
    // Takes every message while the program lives, instead of the message window (none is
    // created then).
    MessagePresenter* messages = nullptr;
    // With the message window: every message is also logged to this file and answered at once.
    std::string messageLogPath;
    // Where COM.CFG, the configuration files and ParamIOI.cfw are; empty: the working directory.
    std::string workDirectory;
    // Where a serial port name leads; empty: DefaultPortResolver.
    PortResolver resolvePort;
    // Runs a configuration editor; empty: the real modal editors.
    TForm_MzVyber::EditorRunner editorRunner;
    // The editors' port search; empty: COM1..COM9 are probed.
    ChannelAdapter::PortSearch searchPorts;
    // Step time-out and poll interval set once the configurations are loaded; 0 keeps what the
    // start-up sets.
    std::uint16_t replyTimeout = 0;
    std::uint16_t pollInterval = 0;
    // The write log's clock and user; its file is zapisy.log in the work directory.
    WriteLogSetup writeLog;
};

class Program {
public:
    // Creates the main window and the message window and loads the analog, then the binary
    // configuration (each with COM.CFG). Channel 1 is not open yet: see start().
    explicit Program(ProgramHooks hooks = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Opens channel 1 and shows the main window: the last steps before the message loop.
    void start();
    // For tools and tests that end the run themselves: stops the main timer, lets a request
    // still running end (within 3 s) and closes channel 1. The program itself leaves the
    // channel to the operating system.
    void stop();

    // Where the tools of the program (traffic monitor, recording, module finder) plug in:
    // the state, the main window, channel 1 and the transport.
    AppState& state() { return *app_; }
    TForm_MzVyber& mainWindow() { return *mainWindow_; }
    ChannelAdapter& channel() { return channel_; }
    TForm_TCP& tcp() { return tcp_; }
    // The transfer engine's view of the channel table (what a traffic tap would watch).
    ChannelIo& channelIo() { return io_; }
    // "Provoz linky": the tap on channel 1 and the engine, and its opener.
    TrafficMonitorSetup& traffic() { return *traffic_; }
    // Every write to a module: its log, and the loop's writes going into it.
    WriteLog& writeLog() { return writeLog_; }
    // Keeps a tool's window or object for the program's run; tools go before the main window.
    QObject& addTool(std::unique_ptr<QObject> tool);

private:
    void createMessages(const ProgramHooks& hooks);

    void logWrites(const ProgramHooks& hooks);
    void attachHelp();
    void attachReport(const ProgramHooks& hooks);

    std::unique_ptr<AppState> app_;
    TForm_TCP tcp_;
    ChannelAdapter channel_;
    ChannelTableIo io_;
    SystemClock clock_;
    TransferWindowFactoryQt transferWindows_;
    std::unique_ptr<TForm_MzVyber> mainWindow_;
    ProgressState progress_;
    MessageOutlet messageWindow_;
    MessagePresenter* previousPresenter_ = nullptr;
    MessagePresenter* presenter_ = nullptr;
    WriteLog writeLog_;
    std::unique_ptr<ModuleWrites> moduleWrites_;
    std::vector<std::unique_ptr<QObject>> tools_;
    std::unique_ptr<TrafficMonitorSetup> traffic_;
};

}  // namespace velor
