#include "ScenarioProgram.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "comm/PortRecord.h"

namespace velor::scenario {

Program::Program(QStringList simulatorArgs, ProgramOptions options) : options_(options) {
    ptyLink_ = dir_.filePath("COM1");
    startSimulator(std::move(simulatorArgs));
    // The entry's order: the window, then the configurations (with COM.CFG), then the channel.
    program_ = std::make_unique<velor::Program>(hooks());
    messages_.calls.clear();  // the notes about the files an empty directory lacks
    setUpChannel(options);
    QObject::connect(main().E_Stav, &QLineEdit::textChanged,
                     [this](const QString& text) { history_.push_back(text); });
    program_->start();
}

Program::~Program() {
    // A request still running finishes (by its time-out at the latest) before teardown.
    program_->stop();
    program_.reset();
    sim_.reset();
}

ProgramHooks Program::hooks() {
    ProgramHooks h;
    h.messages = &messages_;
    // Work files of the run stay in the temporary directory.
    h.workDirectory = dir_.path().toStdString();
    h.tcpPeerPort = sim_ ? sim_->port() : 0;
    // Only COM1 exists on this machine: the simulator's end of the pseudo-terminal.
    h.resolvePort = [device = ptyLink_.toStdString()](const std::string& name) {
        return name == "COM1" ? device : std::string();
    };
    h.editorRunner = [](EditorKind, EditorContext&, QWidget*) {};
    // The port search of the editors finds COM1 only; no real port is ever probed.
    h.searchPorts = [](ChannelState& channels) {
        channels.FoundPorts = {"COM1"};
        channels.PortSearchPending = false;
    };
    // Faster timings than a serial line needs; the loopback answers within milliseconds.
    h.pollInterval = options_.pollInterval;
    h.replyTimeout = options_.replyTimeout;
    return h;
}

void Program::setUpChannel(const ProgramOptions& options) {
    PortRecord& record = *app().comm.channel.ChannelTable.record(1);
    setTcpHost(record, "127.0.0.1");
    record.BaudIndex = 3;
    record.PortNumber = options.link == LinkKind::Tcp ? 0 : 1;
    app().comm.channel.SelectedPortName = "COM1";
    app().config.AnalogConfig.ModuleAddress = 1;
    app().config.BinaryConfig.ModuleAddress = 2;
}

void Program::startSimulator(QStringList args) {
    ++generation_;
    eventsPath_ = dir_.filePath(QStringLiteral("events-%1.jsonl").arg(generation_));
    args << "--events" << eventsPath_ << "--log"
         << dir_.filePath(QStringLiteral("frames-%1.log").arg(generation_));
    // The simulator listens on TCP in both modes, so that a channel can move from COM1 to TCP.
    args << "--tcp"
         << "127.0.0.1:0";
#ifdef VELOR_TEST_POSIX_FACILITIES
    args << "--pty" << ptyLink_;  // COM1, where the system has pseudo-terminals
#endif
    sim_ = std::make_unique<modsim::test::Simulator>(args);
}

bool Program::simulatorReady() const {
    if (!sim_) return false;
#ifdef VELOR_TEST_POSIX_FACILITIES
    return sim_->port() != 0 && !sim_->ptyDevice().isEmpty();
#else
    return sim_->port() != 0;
#endif
}

void Program::stopSimulator() {
    sim_.reset();
}

void Program::restartSimulator(QStringList simulatorArgs) {
    sim_.reset();
    startSimulator(std::move(simulatorArgs));
    if (sim_) program_->tcp().setPeerPort(sim_->port());
}

void Program::runEditor(EditorKind kind, const std::function<void(AppState&)>& atClose) {
    main().setEditorRunner([this, atClose](EditorKind, EditorContext&, QWidget*) {
        if (atClose) atClose(app());
    });
    if (kind == EditorKind::Analog) {
        main().A_Konfig->click();
    } else {
        main().B_Konfig->click();
    }
    main().setEditorRunner([](EditorKind, EditorContext&, QWidget*) {});
}

QString Program::status() const {
    return program_->mainWindow().E_Stav->text();
}

bool Program::errorLabelVisible() const {
    return !program_->mainWindow().L_Err->isHidden();
}

QString Program::errorLabelText() const {
    return program_->mainWindow().L_Err->text();
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
    return modsim::test::countEvents(eventsPath_, fragments);
}

bool Program::waitEvents(std::initializer_list<const char*> fragments, int atLeast, int ms) const {
    return QTest::qWaitFor([&] { return events(fragments) >= atLeast; }, ms);
}

bool Program::waitLoopTicks(int count, int ms) {
    int ticks = 0;
    QObject counter;  // ends the connection when the wait is over
    QObject::connect(main().Timer1, &QTimer::timeout, &counter, [&ticks] { ++ticks; });
    return QTest::qWaitFor([&] { return ticks >= count; }, ms);
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
