#pragma once
// The program, assembled in one place: its state, the TCP transport, channel 1's adapter, the
// clock, the transfer windows, the main window, the message window and the tools of the
// windows, created in the start-up order. The entry, the benchmark, the screenshot tool and the
// scenario tests all build it here; what a test or a tool replaces is named in ProgramHooks. The
// single-instance guard is the entry's own and stays outside.

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
#include "report/ReportDialog.h"
#include "ui/MessageService.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"
#include "ui/ToolSet.h"

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

    // What the tools and the tests reach: the state, the main window, channel 1 and the
    // transport.
    AppState& state() { return *app_; }
    TForm_MzVyber& mainWindow() { return *mainWindow_; }
    ChannelAdapter& channel() { return channel_; }
    TForm_TCP& tcp() { return tcp_; }
    // The transfer engine's view of the channel table (what a traffic tap would watch).
    ChannelIo& channelIo() { return io_; }
    // Every write to a module: its log, and the loop's writes going into it.
    WriteLog& writeLog() { return writeLog_; }
    // Adds a tool to every window of the program (see addTools()); its object lives for the
    // program's run and goes before the main window.
    void addTool(Tool tool) { tools_.add(std::move(tool)); }
    // The object a tool keeps ("Provoz linky": TrafficMonitorSetup, "Záznam hodnot":
    // ValueRecording); the tool must have been added.
    template <class T>
    T& tool() const {
        return *tools_.find<T>();
    }

private:
    void createMessages(const ProgramHooks& hooks);
    void addTools();

    void logWrites(const ProgramHooks& hooks);
    static std::vector<std::pair<const char*, int>> helpTopics();
    ReportTool::Sources reportSources();

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
    quint16 tcpPort_ = 0;
    QString workDirectory_;
    WriteLog writeLog_;
    std::unique_ptr<ModuleWrites> moduleWrites_;
    ToolSet tools_;  // goes first, before the message window and the main window
};

}  // namespace velor
