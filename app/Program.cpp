#include "app/Program.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <utility>

#include "comm/Channel.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "config/ConfigFiles.h"
#include "finder/ModuleFinderWindow.h"
#include "help/HelpTopics.h"
#include "help/HelpWindow.h"
#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "recording/RecordWindow.h"
#include "report/ReportDialog.h"
#include "traffic/TrafficMonitor.h"
#include "traffic/TrafficWindow.h"
#include "ui/QtTranslation.h"

namespace velor {

namespace {

constexpr int kStopWaitMs = 3000;

void ShowReopenFailed() {
    ShowMessageWindow("ERROR", "Chyba při otevírání sériové komunikace", 2, 0);
}

// The entry's file names and, for a run of its own, the directory the files live in.
void NameFiles(AppState& app, const std::string& workDirectory) {
    app.config.AnalogFileName = "KonfigA.cfa";
    app.config.BinaryFileName = "KonfigB.cfb";
    app.config.AnalogDirectory.clear();
    app.config.BinaryDirectory.clear();
    if (workDirectory.empty()) return;
    app.config.WorkDirectory = workDirectory;
    app.comm.channel.ComConfigPath = QDir(QString::fromStdString(workDirectory))
                                         .filePath(QStringLiteral("COM.CFG"))
                                         .toStdString();
}

}  // namespace

MessageOutlet installMessageWindow(ProgressState& progress, const std::string& logPath) {
    MessageOutlet m;
    m.window = installMessageWindow(progress);
    if (!logPath.empty()) m.log = std::make_unique<MessageLogPresenter>(logPath);
    return m;
}

Program::Program(ProgramHooks hooks)
    : app_(std::make_unique<AppState>()),
      tcp_(hooks.tcpPeerPort),
      channel_(app_->comm.channel),
      io_(app_->comm.channel, ShowReopenFailed),
      transferWindows_({app_->comm.engine, io_, clock_, app_->comm.channel.TransferResult}) {
    AppState& app = *app_;
    io_.setClock(clock_);
    NameFiles(app, hooks.workDirectory);
    tcpPort_ = hooks.tcpPeerPort;
    workDirectory_ = QString::fromStdString(hooks.workDirectory);
    // The title names the program (task bar, session); the window captions stay as designed,
    // so no display name is set (the platform would append it to every caption).
    QApplication::setApplicationName(QStringLiteral("Velor Tarnix Line 2"));
    installQtTranslation();
    if (QCoreApplication* qtApp = QCoreApplication::instance())
        qtApp->setProperty(kHelpFileProperty, QStringLiteral("Velor.HLP"));

    app.comm.channel.tcp = &tcp_;
    if (hooks.resolvePort) app.comm.channel.resolvePort = std::move(hooks.resolvePort);
    app.comm.engine.Windows = &transferWindows_;
    if (hooks.searchPorts) channel_.setPortSearch(std::move(hooks.searchPorts));

    mainWindow_ = std::make_unique<TForm_MzVyber>(app, channel_, tools_);
    addTools();
    if (hooks.editorRunner) mainWindow_->setEditorRunner(std::move(hooks.editorRunner));
    // The message window comes before the loaders: a configuration file that has to be
    // initialised is reported at start-up, and a message without its window would be lost.
    createMessages(hooks);
    LoadAnalogConfig(app.config, app.comm.channel);
    LoadBinaryConfig(app.config, app.comm.channel);
    logWrites(hooks);
    if (hooks.replyTimeout != 0) app.comm.engine.ReplyTimeout = hooks.replyTimeout;
    if (hooks.pollInterval != 0) app.loop.PollInterval = hooks.pollInterval;
}

Program::~Program() {
    // The members go in reverse order: the tools, the message window, then the main window.
    if (presenter_ != nullptr) setMessagePresenter(previousPresenter_);
}

// The tools of the program's windows, in the order of their context menu. A tool is a folder
// of its own and one line here.
void Program::addTools() {
    AppState& app = *app_;
    PollingLoop& loop = mainWindow_->loop();
    addTool(trafficMonitorTool(app.comm));
    addTool(recordingTool(app));
    addTool(moduleFinderTool(
        app.comm, app.config,
        {[&loop] { loop.editorOpening(); }, [&loop](bool changed) { loop.toolClosed(changed); }}));
    addTool(reportTool(reportSources()));
    addTool(helpTool(helpTopics()));
    // "Info" of the two editors.
    mainWindow_->editorContext().showHelp = [](int context) { openHelp(context); };
}

// The help topics of the program's windows: the designed ones by their help context, the other
// windows by their own.
std::vector<std::pair<const char*, int>> Program::helpTopics() {
    return {
        {TForm_MzVyber::staticMetaObject.className(), TForm_MzVyber::kHelpContext},
        {TForm_Okno::staticMetaObject.className(), TForm_Okno::kHelpContext},
        {TForm_Konmst::staticMetaObject.className(), TForm_Konmst::kHelpContext},
        {TForm_BKonmst::staticMetaObject.className(), TForm_BKonmst::kHelpContext},
        {TForm_TEV::staticMetaObject.className(), kHelpTev},
        {TForm_TEW::staticMetaObject.className(), kHelpTew},
        {TForm_TEVW::staticMetaObject.className(), kHelpTevw},
        {TForm_MOKR::staticMetaObject.className(), kHelpMokr},
        {TForm_Msg::staticMetaObject.className(), kHelpMessages},
        {TrafficWindow::staticMetaObject.className(), kHelpTraffic},
        {RecordWindow::staticMetaObject.className(), kHelpRecording},
        {ModuleFinderWindow::staticMetaObject.className(), kHelpFinder},
        {ReportDialog::staticMetaObject.className(), kHelpReport},
    };
}

// The service report of the module a unit window watches, from the program's state, the traffic
// monitor's statistics and the write log.
ReportTool::Sources Program::reportSources() {
    AppState& app = *app_;
    ReportTool::Sources sources;
    sources.unitOf = [this](const QWidget* w) -> std::optional<RequestKind> {
        const UnitWindows& u = mainWindow_->units();
        if (w == u.kalu()) return RequestKind::Kalu;
        if (w == u.tev()) return RequestKind::Tev;
        if (w == u.tew()) return RequestKind::Tew;
        if (w == u.tevw()) return RequestKind::Tevw;
        if (w == u.mokr()) return RequestKind::Mokr;
        return std::nullopt;
    };
    const std::uint16_t tcpPort = tcpPort_;
    sources.gather = [this, &app, tcpPort](RequestKind kind) {
        const ReportSources from{kind,
                                 app.config,
                                 app.decoder,
                                 app.selections,
                                 *app.comm.channel.ChannelTable.record(1),
                                 tcpPort,
                                 &tool<TrafficMonitorSetup>().tap().stats(),
                                 writeLog_.sessionLines()};
        return gatherReport(from, QDateTime::currentDateTime());
    };
    sources.directory = workDirectory_.isEmpty() ? QDir::currentPath() : workDirectory_;
    // The chart draws the KALU inputs: a KALU report takes it while a recording of KALU runs.
    sources.chart = [this](RequestKind kind) {
        const RecordWindow* recording = tool<ValueRecording>().window();
        if (kind != RequestKind::Kalu || recording == nullptr ||
            !recording->recorder().recording() || recording->recorder().kind() != kind)
            return QImage();
        return recording->chartImage();
    };
    return sources;
}

void Program::createMessages(const ProgramHooks& hooks) {
    if (hooks.messages == nullptr) {
        messageWindow_ = installMessageWindow(progress_, hooks.messageLogPath);
        return;
    }
    presenter_ = hooks.messages;
    previousPresenter_ = setMessagePresenter(presenter_);
}

// The loop's writes go to zapisy.log in the work directory. A log that cannot be written is
// said once, after the tick that found it out (a message inside the tick would run the loop
// within itself).
void Program::logWrites(const ProgramHooks& hooks) {
    WriteLogSetup setup = hooks.writeLog;
    const QString dir = QString::fromStdString(hooks.workDirectory);
    setup.path = dir.isEmpty() ? std::string(kWriteLogName)
                               : QDir(dir).filePath(QString::fromUtf8(kWriteLogName)).toStdString();
    writeLog_ = WriteLog(setup);
    writeLog_.setCannotWriteHandler([](const std::string& text) {
        QTimer::singleShot(0, [text] { ShowMessageWindow(kTextWriteLogFailed, text, 2, 1); });
    });
    const quint16 tcpPort = hooks.tcpPeerPort;
    ChannelState& channel = app_->comm.channel;
    moduleWrites_ = std::make_unique<ModuleWrites>(writeLog_, [&channel, tcpPort] {
        return portSettingsText(*channel.ChannelTable.record(1), tcpPort);
    });
    app_->loop.WriteObserved = [this](const LoopWrite& w) { moduleWrites_->onWrite(w); };
}

void Program::start() {
    OpenChannel(app_->comm.channel, 1);
    mainWindow_->show();
}

void Program::stop() {
    mainWindow_->Timer1->stop();
    QElapsedTimer waited;
    waited.start();
    while (app_->comm.engine.TransferWindow != nullptr && waited.elapsed() < kStopWaitMs) {
        QEventLoop pause;
        QTimer::singleShot(5, &pause, &QEventLoop::quit);
        pause.exec();
        // Windows closed outside an event loop are deleted here, as the application's own
        // loop deletes them once a handler returns.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    CloseChannel(app_->comm.channel, 1);
}

}  // namespace velor
