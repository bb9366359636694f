// Channel 1 as the loop and the editors see it, without a window: which device an open
// reaches and which record the port settings land in.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/Channel.h"
#include "comm/PortRecord.h"
#include "monitor/ChannelAdapter.h"

namespace velor {
namespace {

struct AdapterFixture {
    AdapterFixture() {
        for (int channel = 1; channel <= kChannelCount; ++channel)
            setDefaultPortRecord(*state.ChannelTable.record(channel));
        // No device behind any name: every serial open fails, and the names asked are kept.
        state.resolvePort = [this](const std::string& name) {
            asked.push_back(name);
            return std::string();
        };
    }

    ChannelState state;
    std::vector<std::string> asked;
    ChannelAdapter adapter{state};
};

TEST(ChannelAdapter, SerialOpenUsesThePortOfTheRecordNotAStaleName) {
    AdapterFixture f;
    f.state.SelectedPortName = "COM0";  // what the main window's creation leaves
    f.adapter.setPort(3, 1);
    f.adapter.openChannel();
    EXPECT_EQ(f.state.SelectedPortName, "COM3");
    EXPECT_EQ(f.asked, std::vector<std::string>{"COM3"});
    EXPECT_EQ(f.state.TransferResult, kOpenFailed);
    EXPECT_EQ(f.state.CurrentChannel, 1);
}

TEST(ChannelAdapter, TcpOpenLeavesTheSerialNameAlone) {
    AdapterFixture f;
    f.state.SelectedPortName = "COM2";
    f.adapter.setPort(0, 3);
    f.adapter.openChannel();
    EXPECT_EQ(f.state.SelectedPortName, "COM2");
    EXPECT_TRUE(f.asked.empty());
    EXPECT_EQ(f.state.TransferResult, kNoTcpTransport);
    f.adapter.closeChannel();
}

TEST(ChannelAdapter, PortSettingsAreChannelOnesOnly) {
    AdapterFixture f;
    const PortRecord second = *f.state.ChannelTable.record(2);
    f.adapter.setPort(7, 4);
    EXPECT_EQ(f.adapter.portNumber(), 7);
    EXPECT_EQ(f.adapter.baudIndex(), 4);
    EXPECT_EQ(f.state.ChannelTable.record(1)->PortNumber, 7);
    EXPECT_EQ(f.state.ChannelTable.record(2)->PortNumber, second.PortNumber);
    EXPECT_EQ(f.state.ChannelTable.record(2)->BaudIndex, second.BaudIndex);
}

TEST(ChannelAdapter, AnInjectedPortSearchReplacesTheProbe) {
    AdapterFixture f;
    std::vector<std::string> shown;
    f.adapter.setStatusFunction([&shown](const std::string& text) { shown.push_back(text); });
    f.adapter.setPortSearch([](ChannelState& channels) {
        channels.FoundPorts = {"COM4"};
        channels.PortSearchPending = false;
    });
    f.state.PortSearchPending = true;
    f.adapter.searchPorts(f.state);
    EXPECT_EQ(f.state.FoundPorts, std::vector<std::string>{"COM4"});
    EXPECT_FALSE(f.state.PortSearchPending);
    // Nothing was probed: no device name asked for, no "Vyhledávám" shown.
    EXPECT_TRUE(f.asked.empty());
    EXPECT_TRUE(shown.empty());
}

}  // namespace
}  // namespace velor
