#include "ScenarioProgram.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>

#include "comm/Channel.h"
#include "comm/PortRecord.h"
#include "config/ConfigFiles.h"

namespace velor::scenario {

Program::Program(QStringList simulatorArgs, ProgramOptions options)
    : options_(options), app_(std::make_unique<AppState>()) {
    ptyLink_ = dir_.filePath("COM1");
    startSimulator(std::move(simulatorArgs));

    // Work files of the run stay in the temporary directory.
    app_->comm.channel.ComConfigPath = dir_.filePath("COM.CFG").toStdString();
    app_->config.WorkDirectory = dir_.path().toStdString();
    app_->comm.channel.tcp = &tcp_;
    io_ = std::make_unique<ChannelTableIo>(app_->comm.channel);
    transferWindows_ = std::make_unique<TransferWindowFactoryQt>(
        TransferContext{app_->comm.engine, *io_, clock_, app_->comm.channel.TransferResult});
    app_->comm.engine.Windows = transferWindows_.get();

    // The entry's order: the window, then the configurations (with COM.CFG), then the channel.
    main_ = std::make_unique<TForm_MzVyber>(*app_);
    LoadAnalogConfig(app_->config, app_->comm.channel);
    LoadBinaryConfig(app_->config, app_->comm.channel);
    messages_.calls.clear();  // the notes about the files an empty directory lacks
    setUpChannel(options);
    main_->setEditorRunner([](EditorKind, EditorContext&, QWidget*) {});
    // The port search of the editors finds COM1 only; no real port is ever probed.
    main_->editorContext().searchPorts = [](ChannelState& channels) {
        channels.FoundPorts = {"COM1"};
        channels.PortSearchPending = false;
    };
    QObject::connect(main_->E_Stav, &QLineEdit::textChanged,
                     [this](const QString& text) { history_.push_back(text); });
    // Faster timings than a serial line needs; the loopback answers within milliseconds.
    app_->loop.PollInterval = options.pollInterval;
    app_->comm.engine.ReplyTimeout = options.replyTimeout;
    OpenChannel(app_->comm.channel, 1);
    main_->show();
}

Program::~Program() {
    main_->Timer1->stop();
    // A request still running finishes (by its time-out at the latest) before teardown.
    (void)QTest::qWaitFor([this] { return app_->comm.engine.TransferWindow == nullptr; }, 3000);
    CloseChannel(app_->comm.channel, 1);
    main_.reset();
    sim_.reset();
}

void Program::setUpChannel(const ProgramOptions& options) {
    PortRecord& record = *app_->comm.channel.ChannelTable.record(1);
    SetTcpHost(record, "127.0.0.1");
    record.BaudIndex = 3;
    tcp_.setPeerPort(sim_ ? sim_->port() : 0);
    record.PortNumber = options.link == LinkKind::Tcp ? 0 : 1;
    app_->comm.channel.SelectedPortName = "COM1";
    app_->config.AnalogConfig.ModuleAddress = 1;
    app_->config.BinaryConfig.ModuleAddress = 2;
    const std::string device = ptyLink_.toStdString();
    // Only COM1 exists on this machine: the simulator's end of the pseudo-terminal.
    app_->comm.channel.resolvePort = [device](const std::string& name) {
        return name == "COM1" ? device : std::string();
    };
}

void Program::startSimulator(QStringList args) {
    ++generation_;
    eventsPath_ = dir_.filePath(QStringLiteral("events-%1.jsonl").arg(generation_));
    args << "--events" << eventsPath_ << "--log"
         << dir_.filePath(QStringLiteral("frames-%1.log").arg(generation_));
    // The simulator listens on TCP in both modes, so that a channel can move from COM1 to TCP.
    args << "--tcp"
         << "127.0.0.1:0"
         << "--pty" << ptyLink_;
    sim_ = std::make_unique<modsim::test::Simulator>(args);
}

bool Program::simulatorReady() const {
    if (!sim_) return false;
    return sim_->port() != 0 && !sim_->ptyDevice().isEmpty();
}

void Program::stopSimulator() {
    sim_.reset();
}

void Program::restartSimulator(QStringList simulatorArgs) {
    sim_.reset();
    startSimulator(std::move(simulatorArgs));
    if (sim_) tcp_.setPeerPort(sim_->port());
}

void Program::runEditor(EditorKind kind, const std::function<void(AppState&)>& atClose) {
    main_->setEditorRunner([this, atClose](EditorKind, EditorContext&, QWidget*) {
        if (atClose) atClose(*app_);
    });
    if (kind == EditorKind::Analog) {
        main_->A_Konfig->click();
    } else {
        main_->B_Konfig->click();
    }
    main_->setEditorRunner([](EditorKind, EditorContext&, QWidget*) {});
}

QString Program::status() const {
    return main_->E_Stav->text();
}

bool Program::errorLabelVisible() const {
    return !main_->L_Err->isHidden();
}

QString Program::errorLabelText() const {
    return main_->L_Err->text();
}

bool Program::waitStatus(const std::function<bool(const QString&)>& pred, int ms) {
    return QTest::qWaitFor([&] { return pred(status()); }, ms);
}

int Program::statusSeen(const std::function<bool(const QString&)>& pred) const {
    int count = 0;
    for (const QString& text : history_) count += pred(text) ? 1 : 0;
    return count;
}

int Program::events(std::initializer_list<const char*> fragments) const {
    return events(std::vector<std::string>(fragments.begin(), fragments.end()));
}

int Program::events(const std::vector<std::string>& fragments) const {
    QFile file(eventsPath_);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    int count = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        bool all = true;
        for (const std::string& f : fragments) all = all && line.contains(f.c_str());
        count += all ? 1 : 0;
    }
    return count;
}

bool Program::waitEvents(std::initializer_list<const char*> fragments, int atLeast, int ms) const {
    return QTest::qWaitFor([&] { return events(fragments) >= atLeast; }, ms);
}

QString scanList(const QString& status) {
    if (!isScanLine(status)) return {};
    return status.mid(6);
}

bool isScanLine(const QString& status) {
    return status.size() == 36 && status.startsWith('>') && status.mid(4, 2) == "< ";
}

std::string wordHex(std::uint16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", word & 0xFF, word >> 8);
    return text;
}

}  // namespace velor::scenario
