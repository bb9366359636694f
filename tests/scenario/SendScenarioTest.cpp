// Configuration sends: the blocks reach the module over the old port settings, then channel 1
#include <QTest>
// moves to the settings chosen in the editor and the scan starts again.

#include <gtest/gtest.h>

#include "ScenarioProgram.h"
#include "comm/PortRecord.h"

namespace velor::scenario {
namespace {

PortRecord& channel1(Program& p) {
    return *p.app().comm.channel.ChannelTable.record(1);
}

// What an editor's "Nastavit" leaves behind when it closes: the send flags and the port
// settings chosen in it, written into channel 1.
std::function<void(AppState&)> sendOnClose(bool binaryInputs, std::uint8_t port,
                                           std::uint16_t baud) {
    return [=](AppState& app) {
        app.config.SendPending = true;
        app.config.SendBinaryInputs = binaryInputs;
        PortRecord& r = *app.comm.channel.ChannelTable.record(1);
        r.PortNumber = port;
        r.BaudIndex = baud;
    };
}

TEST(SendScenario, KaluSendTakesBothHalvesThenSwitchesTheChannel) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Binary);
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));
    const int connects = p.events({"\"event\":\"connect\""});
    p.clearHistory();

    p.runEditor(EditorKind::Analog, sendOnClose(false, 0, 4));
    // The blocks go out over the settings the module listens on now.
    EXPECT_EQ(channel1(p).BaudIndex, 3);
    ASSERT_TRUE(
        p.waitEvents({"\"block\"", "\"addr\":1", "\"start\":128", "\"count\":192"}, 1, 5000));
    EXPECT_EQ(p.events({"\"block\"", "\"addr\":1", "\"start\":0", "\"count\":128"}), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.app().config.SendPending; }, 3000));
    EXPECT_EQ(channel1(p).PortNumber, 0);
    EXPECT_EQ(channel1(p).BaudIndex, 4);
    EXPECT_GT(p.statusSeen([](const QString& s) { return s == "Konfigurace  KALU.1"; }), 0);
    EXPECT_GT(p.statusSeen([](const QString& s) { return s == "Konfigurace  KALU.2"; }), 0);

    // Closed and opened again on the new settings, then back to the scan from address 0.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return p.statusSeen([](const QString& s) { return s.startsWith(">  0< "); }) > 0; },
        3000));
    EXPECT_GT(p.events({"\"event\":\"connect\""}), connects + 1);
    EXPECT_TRUE(
        p.waitStatus([](const QString& s) { return scanList(s).startsWith(" 1,"); }, 10000));
    EXPECT_EQ(p.events({"\"block\""}), 2);
    EXPECT_TRUE(p.messages().calls.empty());
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // the simulator's pseudo-terminal as COM1
// The binary block goes out over COM1 (a pseudo-terminal), and the editor chose TCP: after the
// send the scan runs over TCP.
TEST(SendScenario, BinarySendTakesOneBlockThenMovesFromCom1ToTcp) {
    ProgramOptions options;
    options.link = LinkKind::Pty;
    Program p({}, options);
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Binary);
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));

    p.runEditor(EditorKind::Binary, sendOnClose(true, 0, 3));
    EXPECT_EQ(channel1(p).PortNumber, 1);
    ASSERT_TRUE(p.waitEvents({"\"block\"", "\"addr\":2", "\"start\":0", "\"count\":136"}, 1, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.app().config.SendPending; }, 3000));
    EXPECT_EQ(channel1(p).PortNumber, 0);
    EXPECT_TRUE(p.waitEvents({"\"probe\"", "\"link\":\"tcp"}, 3, 5000));
    EXPECT_TRUE(
        p.waitStatus([](const QString& s) { return scanList(s).startsWith(" 1, 2,"); }, 10000));
    EXPECT_EQ(p.events({"\"block\""}), 1);
    EXPECT_GT(p.statusSeen([](const QString& s) { return s == "Konfigurace  TEVW"; }), 0);
    EXPECT_TRUE(p.messages().calls.empty());
}
#endif

}  // namespace
}  // namespace velor::scenario
