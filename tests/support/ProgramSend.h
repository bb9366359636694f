#pragma once
// The program's own configuration send, for comparing another send with it: the polling loop
// after an editor closed with "Nastavit", each block accepted or failed as the test says. The
// user data of every request the loop started, in order (after the send the loop goes on with
// probes of the address scan).

#include <string>
#include <vector>

#include "comm/TransferEngine.h"
#include "modules/RequestBuilders.h"
#include "monitor/PollingLoop.h"

namespace velor::test {

struct SilentView : LoopView {
    std::string status;
    std::string statusLine() const override { return status; }
    void setStatusLine(const std::string& t) override { status = t; }
    void showProtocolError(const std::string&) override {}
    void hideProtocolError() override {}
    void updateUnitCaptions() override {}
    bool unitWindowOpen(RequestKind) const override { return true; }
    void showAnswer(const DecodeResult&) override {}
    void setTimerEnabled(bool) override {}
    void setTimerInterval(int) override {}
};

struct StillChannel : LoopChannel {
    std::uint16_t baud = 3;
    void openChannel() override {}
    void closeChannel() override {}
    std::uint8_t portNumber() const override { return 0; }
    std::uint16_t baudIndex() const override { return baud; }
    void setPort(std::uint8_t, std::uint16_t b) override { baud = b; }
};

struct Recorded : TransferWindowFactory {
    std::vector<std::vector<std::uint8_t>> started;
    void createWindow(TransferRequest& r) override {
        started.emplace_back(r.Buffer.begin(), r.Buffer.begin() + r.Length);
    }
};

inline std::vector<std::vector<std::uint8_t>> ProgramSend(const ConfigState& from,
                                                          ConfigTarget target,
                                                          std::uint16_t baudAfter,
                                                          const std::vector<bool>& accepted) {
    MainLoopState state;
    EngineState engine;
    ConfigState config = from;
    UnitSelections selections;
    DecoderState decoder;
    SilentView view;
    StillChannel channel;
    Recorded windows;
    engine.Windows = &windows;
    PollingLoop loop({state, engine, config, selections, decoder, view, channel});
    loop.FormCreate();
    loop.editorOpening();
    config.SendPending = true;
    config.SendBinaryInputs = target == ConfigTarget::BinaryInputs;
    config.SendBinaryOutputs = target == ConfigTarget::BinaryOutputs;
    config.SendMokr = target == ConfigTarget::Mokr;
    config.SendZepa = target == ConfigTarget::Zepa;
    channel.baud = baudAfter;  // chosen in the editor
    loop.editorClosed();
    loop.tick();
    for (bool ok : accepted) {
        state.MainRequest.Status = ok ? kStatusDone : kStatusFailed;
        transferWindowDestroyed(engine);
        loop.tick();
    }
    return windows.started;
}

}  // namespace velor::test
