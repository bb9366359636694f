#pragma once
// The whole program as a technician runs it, for scenario tests: the real main window with
// its polling loop, the real engine, transport and unit windows, and velor-modsim as a
// separate process on a loopback port or a pseudo-terminal. Every wait has a deadline.

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "support/MessageRecorder.h"
#include "support/ModsimProcess.h"
#include "support/QtAppEnvironment.h"

namespace velor::scenario {

// The simulator always serves both TCP and COM1 (its pseudo-terminal); the link kind says which
// of them channel 1 starts on.
enum class LinkKind { Tcp, Pty };

struct ProgramOptions {
    LinkKind link = LinkKind::Tcp;
    // Faster than the defaults so that a scan over 32 addresses takes about two seconds; a
    // loopback reply comes within a few milliseconds.
    std::uint16_t pollInterval = 30;
    std::uint16_t replyTimeout = 80;
};

class Program {
public:
    Program(QStringList simulatorArgs, ProgramOptions options = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool simulatorReady() const;
    // Stops the simulator and starts a new one with other arguments; over TCP the transport
    // is pointed at the new port and the program has to find it by itself.
    void restartSimulator(QStringList simulatorArgs);
    void stopSimulator();

    // Opens and closes an editor through the main window's button. atClose runs while the
    // editor is "open", as the editor's own closing would.
    void runEditor(EditorKind kind, const std::function<void(AppState&)>& atClose = {});

    QString status() const;
    bool errorLabelVisible() const;
    QString errorLabelText() const;
    // Waits until E_Stav shows a text for which pred holds.
    bool waitStatus(const std::function<bool(const QString&)>& pred, int ms);
    // How many texts E_Stav has shown since the last clearHistory() (each change counts).
    int statusSeen(const std::function<bool(const QString&)>& pred) const;
    void clearHistory() { history_.clear(); }

    // Event-log lines of the current simulator that hold every fragment.
    int events(std::initializer_list<const char*> fragments) const;
    int events(const std::vector<std::string>& fragments) const;
    bool waitEvents(std::initializer_list<const char*> fragments, int atLeast, int ms) const;
    // Waits until the polling loop's timer has fired count more times.
    bool waitLoopTicks(int count, int ms);

    velor::Program& program() { return *program_; }
    AppState& app() { return program_->state(); }
    TForm_MzVyber& main() { return program_->mainWindow(); }
    test::MessageRecorder& messages() { return messages_; }
    QString eventsPath() const { return eventsPath_; }

private:
    void startSimulator(QStringList args);
    ProgramHooks hooks();
    void setUpChannel(const ProgramOptions& options);

    ProgramOptions options_;
    QTemporaryDir dir_;
    QString eventsPath_;
    QString ptyLink_;
    int generation_ = 0;
    std::unique_ptr<modsim::test::Simulator> sim_;
    test::MessageRecorder messages_;
    std::unique_ptr<velor::Program> program_;
    std::vector<QString> history_;
};

// The scan part of a status line: the 30 characters after "> nn< ", or empty for another
// kind of line.
QString scanList(const QString& status);
bool isScanLine(const QString& status);

// Little-endian hex of a 16-bit word, as the simulator's event log writes data.
std::string wordHex(std::uint16_t word);

}  // namespace velor::scenario
