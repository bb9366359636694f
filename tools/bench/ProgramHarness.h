#pragma once
// The program as its one assembly builds it (configuration loaded from the working directory),
// pointed at a simulator on a loopback port instead of port 10000, without the single-instance
// guard and with messages recorded instead of shown so that nothing waits for a human.

#include <QTcpSocket>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "ui/MessageService.h"

namespace velor::bench {

// Answers every message with its incoming answer and keeps the texts.
class RecordingPresenter : public MessagePresenter {
public:
    RecordingPresenter() { previous_ = setMessagePresenter(this); }
    ~RecordingPresenter() override { setMessagePresenter(previous_); }
    RecordingPresenter(const RecordingPresenter&) = delete;
    RecordingPresenter& operator=(const RecordingPresenter&) = delete;
    char present(const MessageCall& call, char answer) override {
        calls.push_back(call);
        return answer;
    }
    std::vector<MessageCall> calls;

private:
    MessagePresenter* previous_ = nullptr;
};

// Writes COM.CFG in the working directory with channel 1 on TCP to 127.0.0.1, so that the
// program never touches a serial device.
void writeLoopbackComConfig();

class ProgramHarness {
public:
    // Loads the configuration files of the working directory (defaults where missing) and
    // opens channel 1 towards 127.0.0.1:peerPort.
    explicit ProgramHarness(quint16 peerPort);
    ~ProgramHarness();
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    velor::Program& program() { return program_; }
    AppState& app() { return program_.state(); }
    TForm_MzVyber& mainWindow() { return program_.mainWindow(); }
    TForm_TCP& tcp() { return program_.tcp(); }
    const std::vector<MessageCall>& messages() const { return messages_.calls; }

    // What a closed configuration editor does to the loop (it starts polling), without
    // showing an editor.
    void releaseLoop();
    // Sockets of the transport that exist now (they are recreated with every reopen).
    std::vector<QTcpSocket*> sockets();

private:
    RecordingPresenter messages_;
    Program program_;
};

}  // namespace velor::bench
