// A serial device that disappears while the channel holds it and comes back under the same
// COMn: a pseudo-terminal whose master is closed, then a new one behind the same link.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "support/ManualClocks.h"
#include "support/PtyPair.h"

namespace velor {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using Bytes = std::vector<std::uint8_t>;

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// Channel 1 on COM4, an entry of the test's own directory that links to a pseudo-terminal.
class HotPlugTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir);
        PortRecord& r = *state.ChannelTable.record(1);
        setDefaultPortRecord(r);
        r.PortNumber = 4;
        state.SelectedPortName = "COM4";
        state.resolvePort = [this](const std::string& name) { return (dir / name).string(); };
        io.setClock(clock);
        plugIn();
        state.TransferResult = 0;
        OpenChannel(state, 1);
        ASSERT_NE(channelSerialPort(state, 1), nullptr);
    }
    void TearDown() override {
        CloseChannel(state, 1);
        fs::remove_all(dir);
    }

    // A new device behind COM4.
    void plugIn() { ASSERT_TRUE(adapter.plugIn()); }
    void pull() { adapter.pull(); }
    // Asks for the port the way the engine does at the start of every attempt.
    bool usableAfter(std::uint32_t ms) {
        clock.ms += ms;
        return io.isUsable(1);
    }
    bool reachesDevice() {
        const Bytes out{0x10, 0x49, 0x05, 0x4E, 0x16};
        return io.write(1, out.data(), 5) == 5 && adapter.pty().receive(out.size()) == out;
    }

    fs::path dir = fs::temp_directory_path() / ("velor-hotplug-" + std::to_string(::getpid()));
    ChannelState state;
    test::ManualClock clock{5000};
    ChannelTableIo io{state};
    test::PluggedPty adapter{dir / "COM4"};
};

TEST_F(HotPlugTest, EachOperationNoticesTheHangUp) {
    struct Case {
        const char* name;
        std::function<void()> touch;
    };
    const std::vector<Case> cases{
        {"read",
         [this] {
             Bytes b(16);
             io.read(1, b.data(), 16);
         }},
        {"write",
         [this] {
             const Bytes b{0xE5};
             io.write(1, b.data(), 1);
         }},
        {"line state", [this] { io.lineState(1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pull();
        c.touch();
        EXPECT_TRUE(isDeviceLost(state, 1));
        EXPECT_EQ(channelSerialPort(state, 1), nullptr);
        EXPECT_EQ(state.TransferResult, 0);  // no open was asked for
        EXPECT_FALSE(io.isUsable(1));
        plugIn();
        EXPECT_TRUE(usableAfter(kLostPortRetryMs));
        EXPECT_FALSE(isDeviceLost(state, 1));
        EXPECT_TRUE(reachesDevice());
    }
}

TEST_F(HotPlugTest, SilentOrBusyPortIsNotLost) {
    Bytes b(16);
    EXPECT_EQ(io.read(1, b.data(), 16), 0);
    // The far end reads nothing: the driver fills up and refuses bytes, the port stays.
    const Bytes block(4000, 0x55);
    for (int i = 0; i < 50; ++i) io.write(1, block.data(), static_cast<int>(block.size()));
    io.lineState(1);
    EXPECT_TRUE(io.isUsable(1));
    EXPECT_FALSE(isDeviceLost(state, 1));
}

TEST_F(HotPlugTest, OpensAgainOnlyEveryTwoSecondsOfTheClock) {
    pull();
    io.lineState(1);
    ASSERT_TRUE(isDeviceLost(state, 1));
    EXPECT_FALSE(usableAfter(0));  // the loss is seen: the first attempt is one period away
    EXPECT_FALSE(usableAfter(kLostPortRetryMs));  // an attempt, no device yet
    plugIn();
    EXPECT_FALSE(usableAfter(kLostPortRetryMs - 1));  // the device is there, but too early
    EXPECT_TRUE(usableAfter(1));
    EXPECT_TRUE(reachesDevice());
    // A new loss waits its full period again.
    pull();
    io.lineState(1);
    plugIn();
    EXPECT_FALSE(usableAfter(0));
    EXPECT_FALSE(usableAfter(kLostPortRetryMs - 1));
    EXPECT_TRUE(usableAfter(1));
}

TEST_F(HotPlugTest, DeliberateOpenOrCloseEndsTheSearch) {
    pull();
    io.lineState(1);
    ASSERT_TRUE(isDeviceLost(state, 1));
    CloseChannel(state, 1);  // as before an editor
    EXPECT_FALSE(isDeviceLost(state, 1));
    EXPECT_FALSE(usableAfter(kLostPortRetryMs * 3));  // a closed port stays closed
    plugIn();
    OpenChannel(state, 1);
    EXPECT_TRUE(io.isUsable(1));
}

TEST_F(HotPlugTest, TwentyCyclesLeaveNoDescriptorBehind) {
    const std::size_t before = OpenDescriptors();
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(cycle);
        pull();
        io.lineState(1);
        ASSERT_FALSE(usableAfter(0));
        plugIn();
        ASSERT_TRUE(usableAfter(kLostPortRetryMs));
        ASSERT_TRUE(reachesDevice());
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace velor
