#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>

#include "comm/PortSearch.h"
#include "comm/SerialPortPosix.h"
#include "support/PtyPair.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

using test::PtyPair;

struct SearchResult {
    std::string choice;
    std::vector<std::string> statuses;
    int waits = 0;
};

// COM2 and COM5 lead to pseudo-terminals, every other name to nothing.
class PortSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty2.ok() && pty5.ok());
        state.resolvePort = [this](const std::string& name) {
            if (name == "COM2") return pty2.slavePath();
            if (name == "COM5") return pty5.slavePath();
            return std::string("/nonexistent/") + name;
        };
        state.PortSearchPending = true;
    }
    SearchResult search() {
        SearchResult r;
        SearchPorts(
            state, r.choice, [&](const std::string& s) { r.statuses.push_back(s); },
            [&](std::uint16_t ms) {
                EXPECT_EQ(ms, 400);
                ++r.waits;
            });
        return r;
    }

    PtyPair pty2, pty5;
    ChannelState state;
};

TEST_F(PortSearchTest, ListsExactlyThePortsThatOpen) {
    const SearchResult r = search();
    EXPECT_EQ(r.choice, std::string("COM 2\x01"
                                    "COM 5\x01",
                                    12) +
                            '\0');
    EXPECT_EQ(state.FoundPorts, (std::vector<std::string>{"COM2", "COM5"}));
    EXPECT_FALSE(state.PortSearchPending);
    EXPECT_EQ(r.waits, 9);
    ASSERT_EQ(r.statuses.size(), 9u);
    EXPECT_EQ(r.statuses.front(), "Vyhledávám: COM1");
    EXPECT_EQ(r.statuses.back(), "Vyhledávám: COM9");
}

TEST_F(PortSearchTest, PortHeldOpenIsNotListed) {
    SerialPortPosix holder;
    ASSERT_TRUE(holder.open(pty5.slavePath(), 38400, true));
    search();
    EXPECT_EQ(state.FoundPorts, (std::vector<std::string>{"COM2"}));
    holder.close();
    // The search itself leaves the ports free.
    EXPECT_TRUE(holder.open(pty2.slavePath(), 38400, true));
}

TEST_F(PortSearchTest, NoPortGivesTheEmptyListInNineRealWaits) {
    state.resolvePort = [](const std::string&) { return std::string(); };
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    std::string choice = "old";
    SearchPorts(state, choice, {});
    EXPECT_GE(clock.elapsed(), 3600);
    EXPECT_EQ(choice, std::string(1, '\0'));
    EXPECT_TRUE(state.FoundPorts.empty());
    EXPECT_GT(ticks, 20);  // other timers kept running during the search
}

TEST(PortNameTest, NamesAndDefaultResolution) {
    EXPECT_EQ(PortDeviceName(3), "COM3");
    EXPECT_EQ(portNumberOfName("COM12"), 12);
    for (const char* bad : {"COM", "COMx", "LPT1", "com1", "COM1 "}) {
        EXPECT_EQ(portNumberOfName(bad), -1) << bad;
        EXPECT_EQ(defaultPortResolver(bad), "") << bad;
    }
    namespace fs = std::filesystem;
    const fs::path old = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("velor_resolve_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    fs::create_symlink("/nonexistent/ttyUSB0", "COM3");
    EXPECT_EQ(defaultPortResolver("COM3"), "./COM3");  // even a dangling link wins
    EXPECT_EQ(defaultPortResolver("COM4"), "/dev/ttyS3");
    EXPECT_EQ(defaultPortResolver("COM0"), "");
    // The start-up name COM0 is never a port, not even when the directory holds such an entry.
    fs::create_symlink("/dev/null", "COM0");
    std::ofstream("COM00") << "x";
    EXPECT_EQ(defaultPortResolver("COM0"), "");
    EXPECT_EQ(defaultPortResolver("COM00"), "");
    fs::current_path(old);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velor
