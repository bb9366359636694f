// The main window's polling loop against a recording view, a fake channel and an engine whose
// transfer windows the test finishes by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "comm/TransferEngine.h"
#include "modules/RequestBuilders.h"
#include "monitor/PollingLoop.h"
#include "support/MessageRecorder.h"

namespace velor {
namespace {

struct RecordingView : LoopView {
    std::string status;
    std::vector<std::string> statusHistory;
    bool errorVisible = false;
    std::string errorText;
    int captionUpdates = 0;
    int decodedCount = 0;
    bool timerEnabled = true;
    int interval = kFirstTickInterval;

    std::string statusLine() const override { return status; }
    void setStatusLine(const std::string& t) override {
        status = t;
        statusHistory.push_back(t);
    }
    void showProtocolError(const std::string& t) override {
        errorVisible = true;
        errorText = t;
    }
    void hideProtocolError() override { errorVisible = false; }
    void updateUnitCaptions() override { ++captionUpdates; }
    bool unitWindowOpen(RequestKind) const override { return windowOpen; }
    void showAnswer(const DecodeResult& result) override {
        ++decodedCount;
        shownKind = result.kind;
    }
    bool windowOpen = true;
    RequestKind shownKind = kMonitoredNone;
    void setTimerEnabled(bool e) override { timerEnabled = e; }
    void setTimerInterval(int ms) override { interval = ms; }
};

struct FakeChannel : LoopChannel {
    std::uint8_t port = 0;
    std::uint16_t baud = 3;
    std::vector<std::string> calls;
    void openChannel() override {
        calls.push_back("open " + std::to_string(port) + "/" + std::to_string(baud));
    }
    void closeChannel() override { calls.push_back("close"); }
    std::uint8_t portNumber() const override { return port; }
    std::uint16_t baudIndex() const override { return baud; }
    void setPort(std::uint8_t p, std::uint16_t b) override {
        port = p;
        baud = b;
    }
};

// Keeps every started request running until the test finishes it.
struct HeldWindows : TransferWindowFactory {
    std::vector<std::vector<std::uint8_t>> started;
    void createWindow(TransferRequest& r) override {
        started.emplace_back(r.Buffer.begin(), r.Buffer.begin() + r.Length);
    }
};

class LoopTest : public ::testing::Test {
protected:
    LoopTest() {
        engine.Windows = &windows;
        loop.FormCreate();
    }

    void makeReady() {
        loop.editorOpening();
        loop.editorClosed();
    }

    // The engine's end of the running request.
    // A replyCode of -1 leaves the field as the engine found it (it only sets it for a short
    // reply).
    void finish(std::uint8_t status, int replyCode = -1, std::vector<std::uint8_t> answer = {}) {
        ASSERT_TRUE(loop.requestWithEngine());
        std::copy(answer.begin(), answer.end(), state.Data.begin());
        if (!answer.empty()) state.MainRequest.Length = static_cast<std::int32_t>(answer.size());
        if (replyCode >= 0) state.MainRequest.ReplyCode = static_cast<std::uint8_t>(replyCode);
        state.MainRequest.Status = status;
        transferWindowDestroyed(engine);
    }

    std::string scanList() const { return view.status.substr(6); }
    void answerProbesUntil(const std::vector<int>& present, int last);

    MainLoopState state;
    EngineState engine;
    ConfigState config;
    UnitSelections selections;
    DecoderState decoder;
    RecordingView view;
    FakeChannel channel;
    HeldWindows windows;
    PollingLoop loop{{state, engine, config, selections, decoder, view, channel}};
};

TEST_F(LoopTest, DormantUntilAnEditorCloses) {
    for (int i = 0; i < 3; ++i) loop.Timer1Timer();
    EXPECT_EQ(view.status, "Nastavte kanál COM");
    EXPECT_TRUE(windows.started.empty());
    EXPECT_EQ(view.interval, kFirstTickInterval);

    makeReady();
    EXPECT_EQ(view.status, "          >.....................<");
    EXPECT_EQ(channel.calls, (std::vector<std::string>{"close"}));
    loop.Timer1Timer();
    EXPECT_EQ(channel.calls.back(), "open 0/3");
    EXPECT_EQ(view.interval, 100);
    ASSERT_EQ(windows.started.size(), 1u);
    EXPECT_EQ(windows.started[0], (std::vector<std::uint8_t>{0x00, 0x40, 0x69}));
    EXPECT_EQ(engine.RequestKind, RequestKind::Probe);
}

// The module finder closed without "Použít" changed nothing: a dormant loop stays dormant with
// its channel open as before; an adopted setting, or a loop that was polling, goes on as after
// an editor.
TEST_F(LoopTest, AToolThatChangedNothingLeavesTheDormantLoopDormant) {
    loop.Timer1Timer();
    loop.editorOpening();
    EXPECT_FALSE(view.timerEnabled);
    loop.toolClosed(false);
    EXPECT_TRUE(view.timerEnabled);
    EXPECT_EQ(channel.calls, (std::vector<std::string>{"close", "open 0/3"}));
    for (int i = 0; i < 3; ++i) loop.Timer1Timer();
    EXPECT_EQ(view.status, "Nastavte kanál COM");
    EXPECT_TRUE(windows.started.empty());

    loop.editorOpening();
    loop.toolClosed(true);
    EXPECT_EQ(view.status, "          >.....................<");
    loop.Timer1Timer();
    ASSERT_EQ(windows.started.size(), 1u);

    // Polling already: closed unchanged, it polls on.
    loop.editorOpening();
    loop.toolClosed(false);
    EXPECT_TRUE(state.ChannelReady);
    EXPECT_EQ(view.status, "          >.....................<");
}

// Answers every probe as the modules at `present` would, until the scan line shows the probe
// at `last` (bounded).
void LoopTest::answerProbesUntil(const std::vector<int>& present, int last) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, ">%3d<", last);
    for (int i = 0; i < 100 && view.status.rfind(prefix, 0) != 0; ++i) {
        const int address = windows.started.back()[0];
        const bool answers = std::find(present.begin(), present.end(), address) != present.end();
        finish(answers ? kStatusDone : kStatusFailed);
        loop.Timer1Timer();
    }
    ASSERT_EQ(view.status.rfind(prefix, 0), 0u) << view.status;
}

TEST_F(LoopTest, ScanLineListsAnsweringModulesAndAFailedProbeClearsItsAddress) {
    makeReady();
    loop.Timer1Timer();
    answerProbesUntil({1, 12}, 31);
    // A full pass: the line of the probe at 31, and the next probe (0) is on its way.
    EXPECT_EQ(view.status, "> 31<  1,12," + std::string(24, ' '));
    EXPECT_EQ(windows.started.back()[0], 0);
    answerProbesUntil({12}, 5);
    EXPECT_EQ(view.status, ">  5< 12," + std::string(27, ' '));
    EXPECT_FALSE(view.errorVisible);
}

// The engine keeps the late answer of a silent probe off the line, so the probe after it books
// its address at once: one poll per address, answered or not.
TEST_F(LoopTest, AnswerRightAfterASilentProbeBooksItsAddressAtOnce) {
    makeReady();
    loop.Timer1Timer();
    finish(kStatusFailed);  // nobody at 0
    loop.Timer1Timer();
    finish(kStatusDone);  // 1 answers
    loop.Timer1Timer();
    EXPECT_TRUE(state.AddressFound[1]);
    EXPECT_EQ(view.status, ">  1<  1," + std::string(27, ' '));
    ASSERT_EQ(windows.started.size(), 3u);
    EXPECT_EQ(windows.started.back()[0], 2);
}

TEST_F(LoopTest, FailureTextsAndTheirHidingOnTheNextSuccess) {
    makeReady();
    state.MonitoredKind = RequestKind::Tew;
    loop.Timer1Timer();
    EXPECT_EQ(view.status, "Komunikace - TEW");
    const std::vector<std::pair<std::uint8_t, std::string>> codes = {
        {1, "FC=2 Neznámá komunikační šlužba"},
        {2, "FC=9 Blok/Data nedostupná"},
        {3, "FC=0x0c nespravne zadane parametry"}};
    for (const auto& [code, text] : codes) {
        finish(kStatusFailed, code);
        loop.Timer1Timer();
        EXPECT_EQ(view.status, "Chyba přenosu");
        EXPECT_TRUE(view.errorVisible);
        EXPECT_EQ(view.errorText, text);
        finish(kStatusDone, 0, {0x10, 0x00});
        loop.Timer1Timer();
        EXPECT_FALSE(view.errorVisible) << int(code);
        EXPECT_EQ(view.status, "Komunikace - TEW");
    }
    // A time-out after a negative reply shows no stale protocol text.
    finish(kStatusFailed, 2);
    loop.Timer1Timer();
    finish(kStatusDone, 0, {0, 0});
    loop.Timer1Timer();
    finish(kStatusFailed);
    loop.Timer1Timer();
    EXPECT_FALSE(view.errorVisible);
    EXPECT_EQ(decoder.TewReadback, 0);
    EXPECT_GE(view.decodedCount, 3);
}

TEST_F(LoopTest, ErrorTextStaysUntilAnAnswerArrives) {
    makeReady();
    state.MonitoredKind = RequestKind::Tev;
    loop.Timer1Timer();
    finish(kStatusFailed);
    loop.Timer1Timer();  // shows the failure and queues the next request
    EXPECT_EQ(view.status, "Chyba přenosu");
    EXPECT_EQ(state.StatusText, "Komunikace - TEV");
    finish(kStatusDone, 0, std::vector<std::uint8_t>(100, 0));
    loop.Timer1Timer();
    EXPECT_EQ(view.status, "Komunikace - TEV");
}

// A module that answers a read with the bare acknowledgement leaves the request's own bytes in
// the buffer: they are not shown as values, the transfer counts as failed.
TEST_F(LoopTest, BareAcknowledgementIsNotDecodedAsAnAnswer) {
    makeReady();
    state.MonitoredKind = RequestKind::Tew;
    loop.Timer1Timer();
    state.MainRequest.Acknowledged = true;
    finish(kStatusDone, 0, std::vector<std::uint8_t>(30, 0xE5));
    loop.Timer1Timer();
    EXPECT_EQ(view.status, "Chyba přenosu");
    EXPECT_EQ(decoder.TewReadback, 0);
    state.MainRequest.Acknowledged = false;
    finish(kStatusDone, 0, {0x10, 0x00});
    loop.Timer1Timer();
    EXPECT_EQ(view.status, "Komunikace - TEW");
    EXPECT_EQ(decoder.TewReadback, 0x0010);
}

// The loop decodes what it polled: the KALU outputs as typed (kept in the selections) go out
// with the next request, a short answer counts as failed, and a window closed meanwhile gets
// nothing.
TEST_F(LoopTest, LoopDecodesWithTheTypedOutputsAndSkipsAClosedWindow) {
    makeReady();
    state.MonitoredKind = RequestKind::Kalu;
    selections.KaluTypedOutputs = {"-1", "", "12abc", "$1F", "A", "7"};
    loop.Timer1Timer();
    finish(kStatusDone, 0, std::vector<std::uint8_t>(48, 0));
    loop.Timer1Timer();
    EXPECT_EQ(view.shownKind, RequestKind::Kalu);
    EXPECT_EQ(view.status, "Komunikace - KALU");
    ASSERT_EQ(windows.started.size(), 2u);
    const std::vector<std::uint8_t>& sent = windows.started[1];
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(sent.end() - 6, sent.end()),
              (std::vector<std::uint8_t>{0xFF, 0, 12, 0x1F, 0, 7}));

    const int shown = view.decodedCount;
    finish(kStatusDone, 0, std::vector<std::uint8_t>(40, 0));
    loop.Timer1Timer();
    EXPECT_EQ(view.status, "Chyba přenosu");
    EXPECT_EQ(view.decodedCount, shown);

    view.windowOpen = false;
    finish(kStatusDone, 0, std::vector<std::uint8_t>(4, 0));
    loop.Timer1Timer();
    EXPECT_EQ(view.decodedCount, shown);
    EXPECT_EQ(view.status, "Komunikace - KALU");
}

TEST_F(LoopTest, KaluSendTakesTwoRequestsThenSwitchesTheChannel) {
    channel.baud = 3;
    loop.editorOpening();
    // The editor chose index 1 on port 2 and asked for a send.
    channel.setPort(2, 1);
    config.SendPending = true;
    config.AnalogConfig.ModuleAddress = 4;
    loop.editorClosed();
    EXPECT_EQ(channel.port, 0);
    EXPECT_EQ(channel.baud, 3);
    loop.Timer1Timer();
    EXPECT_EQ(channel.calls.back(), "open 0/3");
    ASSERT_EQ(windows.started.size(), 1u);
    EXPECT_EQ(windows.started[0].size(), 136u);
    EXPECT_EQ(windows.started[0][9], 9);  // the baud code of the target index
    EXPECT_EQ(view.status, "Konfigurace  KALU.1");
    EXPECT_EQ(engine.RequestKind, RequestKind::Config);

    finish(kStatusDone);
    loop.Timer1Timer();
    ASSERT_EQ(windows.started.size(), 2u);
    EXPECT_EQ(windows.started[1].size(), 200u);
    EXPECT_EQ(view.status, "Konfigurace  KALU.2");

    finish(kStatusDone);
    loop.Timer1Timer();
    EXPECT_FALSE(config.SendPending);
    EXPECT_EQ(channel.calls.back(), "open 2/1");
    EXPECT_EQ(channel.calls[channel.calls.size() - 2], "close");
    // The same tick starts the scan again at address 0.
    ASSERT_EQ(windows.started.size(), 3u);
    EXPECT_EQ(windows.started[2], (std::vector<std::uint8_t>{0x00, 0x40, 0x69}));
    EXPECT_EQ(engine.RequestKind, RequestKind::Probe);
    EXPECT_TRUE(view.timerEnabled);
}

// Only the first half carries "save" and the new baud code: after any failed block the send
// starts again with the first half, and the channel moves only after both were accepted in order.
TEST_F(LoopTest, FailedKaluBlockStartsTheSendAgainWithTheFirstHalf) {
    loop.editorOpening();
    config.SendPending = true;
    loop.editorClosed();
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.back().size(), 136u);
    finish(kStatusFailed);
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.back().size(), 136u) << "a failed first half is sent again";
    finish(kStatusDone);
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.back().size(), 200u);
    finish(kStatusFailed);
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.back().size(), 136u) << "a failed second half restarts the send";
    EXPECT_TRUE(config.SendPending);
    finish(kStatusDone);
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.back().size(), 200u);
    finish(kStatusDone);
    loop.Timer1Timer();
    EXPECT_FALSE(config.SendPending);
}

TEST_F(LoopTest, SingleBlockSendsTakeOneRequest) {
    struct Case {
        bool* flag;
        std::size_t size;
        const char* text;
    };
    const std::vector<Case> cases = {{&config.SendBinaryOutputs, 144, "Konfigurace  TEW"},
                                     {&config.SendBinaryInputs, 144, "Konfigurace  TEVW"},
                                     {&config.SendMokr, 240, "Konfigurace  MOKR"},
                                     {&config.SendZepa, 18, "Konfigurace  ZEPA"}};
    for (const Case& c : cases) {
        loop.editorOpening();
        config.SendPending = true;
        *c.flag = true;
        loop.editorClosed();
        loop.Timer1Timer();
        EXPECT_EQ(windows.started.back().size(), c.size);
        EXPECT_EQ(view.status, c.text);
        finish(kStatusDone);
        loop.Timer1Timer();
        EXPECT_FALSE(config.SendPending) << c.text;
        EXPECT_EQ(windows.started.back().size(), 3u) << "scan resumes after " << c.text;
        *c.flag = false;
        finish(kStatusFailed);
    }
}

TEST_F(LoopTest, AddressOutOfRangeIsReportedAndQueuesNothing) {
    test::MessageRecorder rec;
    makeReady();
    state.MonitoredKind = RequestKind::Tev;
    config.BinaryConfig.ModuleAddress = 256;
    loop.Timer1Timer();
    EXPECT_TRUE(windows.started.empty());
    EXPECT_EQ(engine.RequestCount, 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Chyba při zpracování dat");
    EXPECT_EQ(rec.calls[0].text2, "");
    EXPECT_EQ(rec.calls[0].kind, 2u);
    EXPECT_EQ(rec.calls[0].iconSet, 1);
    EXPECT_EQ(view.interval, kErrorRetryInterval);
    EXPECT_TRUE(view.timerEnabled);
    // The next tick sets the interval back.
    config.BinaryConfig.ModuleAddress = 3;
    loop.Timer1Timer();
    EXPECT_EQ(view.interval, 100);
    EXPECT_EQ(windows.started.size(), 1u);
}

TEST_F(LoopTest, PortUnusableShowsTheFailureAndWaitsForAnEditor) {
    makeReady();
    loop.Timer1Timer();
    finish(kStatusPortUnusable);
    for (int i = 0; i < 3; ++i) loop.Timer1Timer();
    EXPECT_EQ(view.status, "Chyba přenosu");
    EXPECT_EQ(windows.started.size(), 1u);
    makeReady();
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.size(), 2u);
}

TEST_F(LoopTest, EditorClosedDuringARunDoesNotShareTheRecord) {
    makeReady();
    state.MonitoredKind = RequestKind::Tev;
    loop.Timer1Timer();
    ASSERT_EQ(state.MainRequest.Status, kStatusRunning);
    makeReady();
    // The old run still holds the record: nothing new is queued over it.
    loop.Timer1Timer();
    loop.Timer1Timer();
    EXPECT_EQ(windows.started.size(), 1u);
    EXPECT_EQ(engine.RequestCount, 1);
    // Its outcome is dropped, not decoded; then the loop goes on.
    finish(kStatusDone, 0, std::vector<std::uint8_t>(100, 0xFF));
    loop.Timer1Timer();
    EXPECT_EQ(view.decodedCount, 0);
    EXPECT_EQ(windows.started.size(), 2u);
    EXPECT_EQ(engine.RequestCount, 1);
}

// The loop takes over what an editor decided, and only that.
TEST_F(LoopTest, EditorOutcomeSetsTheTimingTheAnalogHalfAndTheScan) {
    engine.ReplyTimeout = 321;
    state.PollInterval = 123;
    state.KaluSecondHalf = true;
    state.ScanAddress = 9;
    state.AddressFound[4] = true;
    loop.takeEditorOutcome({});
    EXPECT_EQ(engine.ReplyTimeout, 321);
    EXPECT_EQ(state.PollInterval, 123);
    EXPECT_TRUE(state.KaluSecondHalf);
    EXPECT_EQ(state.ScanAddress, 9);

    loop.takeEditorOutcome({EditorOutcome::Timing{600, 300}, true, true});
    EXPECT_EQ(engine.ReplyTimeout, 600);
    EXPECT_EQ(state.PollInterval, 300);
    EXPECT_FALSE(state.KaluSecondHalf);
    EXPECT_EQ(state.ScanAddress, 0);
    EXPECT_FALSE(state.AddressFound[4]);
}

TEST_F(LoopTest, SlowBaudTriplesTimeouts) {
    MainLoopState s2;
    EngineState e2;
    FakeChannel slow;
    slow.baud = 0;
    PollingLoop l2{{s2, e2, config, selections, decoder, view, slow}};
    l2.FormCreate();
    EXPECT_EQ(s2.PollInterval, 300);
    EXPECT_EQ(e2.ReplyTimeout, 600);
}

// The recording's hook hears each monitoring answer after it was shown and each failed
// monitoring request, never the probes, with the selections the answer was decoded with and
// the very result the window painted: each answer is decoded once.
TEST_F(LoopTest, AnswerObserverHearsMonitoringAnswersAndFailures) {
    std::vector<PolledAnswer> heard;
    std::vector<std::optional<DecodeResult>> shown;
    std::vector<int> paintedBefore;
    state.AnswerObserved = [&](const PolledAnswer& a) {
        heard.push_back(a);
        shown.push_back(a.shown ? std::optional<DecodeResult>(*a.shown) : std::nullopt);
        paintedBefore.push_back(view.decodedCount);
    };
    makeReady();
    loop.Timer1Timer();
    finish(kStatusDone);  // a probe
    loop.Timer1Timer();
    EXPECT_TRUE(heard.empty());

    state.MonitoredKind = RequestKind::Tew;
    selections.GappedInputLayout = false;
    finish(kStatusDone);  // the second probe; the TEW request goes out
    loop.Timer1Timer();
    finish(kStatusDone, 0, {0x05, 0x00});
    loop.Timer1Timer();
    finish(kStatusFailed);
    loop.Timer1Timer();
    // A window closed while its answer was on the way: transferred, but nothing shown.
    view.windowOpen = false;
    finish(kStatusDone, 0, {0x01, 0x00});
    loop.Timer1Timer();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].kind, RequestKind::Tew);
    EXPECT_EQ(heard[0].monitored, RequestKind::Tew);
    EXPECT_TRUE(heard[0].transferred);
    ASSERT_TRUE(shown[0].has_value());
    EXPECT_EQ(shown[0]->binary.outputFonts[0], UnitColour::Active);  // relay 1
    EXPECT_EQ(shown[0]->binary.outputFonts[1], UnitColour::WindowText);
    EXPECT_EQ(shown[0]->binary.outputFonts[2], UnitColour::Active);  // relay 3
    EXPECT_EQ(paintedBefore[0], 1);
    EXPECT_FALSE(heard[0].selections.GappedInputLayout);
    EXPECT_FALSE(heard[1].transferred);
    EXPECT_FALSE(shown[1].has_value());
    EXPECT_TRUE(heard[2].transferred);
    EXPECT_FALSE(shown[2].has_value());
    EXPECT_EQ(view.decodedCount, 1);
}

}  // namespace
}  // namespace velor
