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
#include "help/HelpTopics.h"
#include "help/HelpWindow.h"
#include "monitor/KaluWindow.h"
#include "finder/ModuleFinderWindow.h"
#include "monitor/MokrWindow.h"
#include "recording/RecordWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "traffic/TrafficWindow.h"
#include "report/ReportDialog.h"

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
    // The title names the program (task bar, session); the window captions stay as designed,
    // so no display name is set (the platform would append it to every caption).
    QApplication::setApplicationName(QStringLiteral("Velor Tarnix Line 2"));
    if (QCoreApplication* qtApp = QCoreApplication::instance())
        qtApp->setProperty(kHelpFileProperty, QStringLiteral("Velor.HLP"));

    app.comm.channel.tcp = &tcp_;
    if (hooks.resolvePort) app.comm.channel.resolvePort = std::move(hooks.resolvePort);
    app.comm.engine.Windows = &transferWindows_;
    if (hooks.searchPorts) channel_.setPortSearch(std::move(hooks.searchPorts));

    mainWindow_ = std::make_unique<TForm_MzVyber>(app, channel_);
    traffic_ = installTrafficMonitor(app.comm);
    if (hooks.editorRunner) mainWindow_->setEditorRunner(std::move(hooks.editorRunner));
    // The message window comes before the loaders: a configuration file that has to be
    // initialised is reported at start-up, and a message without its window would be lost.
    createMessages(hooks);
    LoadAnalogConfig(app.config, app.comm.channel);
    LoadBinaryConfig(app.config, app.comm.channel);
    logWrites(hooks);
    attachHelp();
    attachReport(hooks);
    if (hooks.replyTimeout != 0) app.comm.engine.ReplyTimeout = hooks.replyTimeout;
    if (hooks.pollInterval != 0) app.loop.PollInterval = hooks.pollInterval;
}

Program::~Program() {
    // The members go in reverse order: the tools, the message window, then the main window.
    if (presenter_ != nullptr) setMessagePresenter(previousPresenter_);
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

// F1 in every window opens "Nápověda" at the window's topic; so does "Info" in the editors.
void Program::attachHelp() {
    auto help = std::make_unique<HelpOnF1>();
    const std::pair<const QMetaObject*, int> topics[] = {
        {&TForm_MzVyber::staticMetaObject, TForm_MzVyber::kHelpContext},
        {&TForm_Okno::staticMetaObject, TForm_Okno::kHelpContext},
        {&TForm_Konmst::staticMetaObject, TForm_Konmst::kHelpContext},
        {&TForm_BKonmst::staticMetaObject, TForm_BKonmst::kHelpContext},
        {&TForm_TEV::staticMetaObject, kHelpTev},
        {&TForm_TEW::staticMetaObject, kHelpTew},
        {&TForm_TEVW::staticMetaObject, kHelpTevw},
        {&TForm_MOKR::staticMetaObject, kHelpMokr},
        {&TForm_Msg::staticMetaObject, kHelpMessages},
        {&TrafficWindow::staticMetaObject, kHelpTraffic},
        {&RecordWindow::staticMetaObject, kHelpRecording},
        {&TForm_Hledani::staticMetaObject, kHelpFinder},
        {&ReportDialog::staticMetaObject, kHelpReport},
    };
    for (const auto& [meta, context] : topics) help->setTopic(meta->className(), context);
    mainWindow_->editorContext().showHelp = [](int context) { openHelp(context); };
    addTool(std::move(help));
}

// Ctrl+P and the context menu of a unit window: the service report of its module.
void Program::attachReport(const ProgramHooks& hooks) {
    AppState& app = *app_;
    ReportTool::Sources sources;
    sources.unitOf = [&app](const QWidget* w) -> std::optional<RequestKind> {
        const UnitWindows& u = app.windows;
        if (w == u.kalu) return RequestKind::Kalu;
        if (w == u.tev) return RequestKind::Tev;
        if (w == u.tew) return RequestKind::Tew;
        if (w == u.tevw) return RequestKind::Tevw;
        if (w == u.mokr) return RequestKind::Mokr;
        return std::nullopt;
    };
    const std::uint16_t tcpPort = hooks.tcpPeerPort;
    sources.gather = [this, &app, tcpPort](RequestKind kind) {
        const ReportSources from{kind,
                                 app.config,
                                 app.decoder,
                                 app.selections,
                                 *app.comm.channel.ChannelTable.record(1),
                                 tcpPort,
                                 &traffic_->tap().stats(),
                                 writeLog_.sessionLines()};
        return gatherReport(from, QDateTime::currentDateTime());
    };
    sources.directory = hooks.workDirectory.empty() ? QDir::currentPath()
                                                    : QString::fromStdString(hooks.workDirectory);
    addTool(std::make_unique<ReportTool>(std::move(sources)));
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

QObject& Program::addTool(std::unique_ptr<QObject> tool) {
    tools_.push_back(std::move(tool));
    return *tools_.back();
}

}  // namespace velor
