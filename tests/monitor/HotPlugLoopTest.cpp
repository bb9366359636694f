// The polling loop over the real channel table when the serial adapter is pulled and plugged
// back: a pseudo-terminal behind a COMn link plays the adapter and a module that answers
// every probe; the engine's ticks and the loop's ticks run on a manual clock.

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/TransferEngine.h"
#include "monitor/ChannelAdapter.h"
#include "monitor/PollingLoop.h"
#include "support/ManualClocks.h"
#include "support/ProgramSend.h"
#include "support/PtyPair.h"

namespace velor {
namespace {

namespace fs = std::filesystem;
using test::PtyPair;

// A module at every address: each probe frame that arrives on the master is acknowledged.
int AnswerProbes(PtyPair& pty) {
    int answered = 0;
    for (std::uint8_t byte : pty.drain()) {
        if (byte == 0x16 && pty.send({0xE5})) ++answered;
    }
    return answered;
}

class HotPlugLoopTest : public ::testing::Test, public TransferWindowFactory {
protected:
    void SetUp() override {
        fs::create_directories(dir);
        setDefaultPortRecord(*channels.ChannelTable.record(1));
        channels.ChannelTable.record(1)->PortNumber = 4;
        channels.resolvePort = [this](const std::string& name) { return (dir / name).string(); };
        io.setClock(clock);
        engine.Windows = this;
        loop.FormCreate();
        plugIn();
        loop.editorOpening();  // the channel becomes ready as after an editor
        loop.editorClosed();
    }
    void TearDown() override {
        window.reset();
        CloseChannel(channels, 1);
        fs::remove_all(dir);
    }
    void createWindow(TransferRequest& request) override {
        window = std::make_unique<TransferRun>(
            TransferContext{engine, io, clock, channels.TransferResult}, request);
        engine.TransferWindow = window.get();
    }

    void plugIn() { ASSERT_TRUE(device.plugIn()); }
    void pull() { device.pull(); }

    // Runs the 10 ms engine timer and the 100 ms main timer for ms of the manual clock;
    // returns how many probes the module answered.
    int run(std::uint32_t ms) {
        int answered = 0;
        for (std::uint32_t t = 0; t < ms; t += 10) {
            if (t % 100 == 0) loop.Timer1Timer();
            if (window) window->tick();
            if (window && window->released()) {
                window.reset();
                transferWindowDestroyed(engine);
            }
            answered += AnswerProbes(device.pty());
            ::usleep(300);  // the line discipline hands bytes over asynchronously
            clock.ms += 10;
        }
        return answered;
    }
    bool scanning() const { return view.status.rfind(">", 0) == 0; }

    fs::path dir = fs::temp_directory_path() / ("velor-hotplug-loop-" + std::to_string(::getpid()));
    test::ManualClock clock;
    ChannelState channels;
    ChannelTableIo io{channels};
    ChannelAdapter adapter{channels};
    EngineState engine;
    MainLoopState state;
    ConfigState config;
    UnitSelections selections;
    DecoderState decoder;
    test::SilentView view;
    PollingLoop loop{{state, engine, config, selections, decoder, view, adapter}};
    std::unique_ptr<TransferRun> window;
    test::PluggedPty device{dir / "COM4"};
};

TEST_F(HotPlugLoopTest, PollingResumesWhenTheAdapterIsBack) {
    ASSERT_GT(run(1000), 3);
    EXPECT_TRUE(scanning()) << view.status;

    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        pull();
        run(1000);
        EXPECT_EQ(view.status, kTextTransferError);
        EXPECT_TRUE(adapter.deviceLost());
        EXPECT_EQ(channelSerialPort(channels, 1), nullptr);

        plugIn();
        EXPECT_GT(run(kLostPortRetryMs + 1000), 3);
        EXPECT_FALSE(adapter.deviceLost());
        EXPECT_TRUE(scanning()) << view.status;
    }
}

TEST_F(HotPlugLoopTest, PortThatNeverOpenedStillWaitsForAnEditor) {
    // A COMn that leads nowhere from the start is the user's setting, not a pulled adapter.
    pull();
    CloseChannel(channels, 1);
    loop.editorOpening();
    loop.editorClosed();
    run(1000);
    plugIn();
    EXPECT_EQ(run(kLostPortRetryMs * 3), 0);
    EXPECT_EQ(view.status, kTextTransferError);
    EXPECT_FALSE(adapter.deviceLost());
}

}  // namespace
}  // namespace velor
