// The traffic monitor against the simulator with faults switched on: what its statistics count
// for the polled module is what the simulator's event log says it did.

#include <gtest/gtest.h>

#include <QTest>

#include <QPushButton>

#include "ScenarioProgram.h"
#include "comm/TrafficTap.h"
#include "traffic/TrafficMonitor.h"

namespace velor::scenario {
namespace {

std::size_t verdictIndex(Verdict v) {
    return static_cast<std::size_t>(v);
}

TEST(TrafficScenario, StatisticsEqualTheSimulatorsEventLog) {
    const QStringList cases[] = {
        {"--bad-checksum", "0.25", "--drop", "0.25", "--seed", "11"},
        {"--negative", "9@2", "--drop", "0.3", "--seed", "5"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        Program p(args);
        ASSERT_TRUE(p.simulatorReady());
        TrafficTap& tap = p.program().tool<TrafficMonitorSetup>().tap();

        // The TEV window (module at 2) polled for a while, then the loop stopped between
        // requests so that the last exchange is complete on both sides.
        p.main().B_Monit1->click();
        p.runEditor(EditorKind::Binary);
        const char* const request[] = {"\"event\":\"request\"", "\"addr\":2,"};
        ASSERT_TRUE(p.waitEvents({request[0], request[1]}, 40, 15000));
        p.main().Timer1->stop();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return p.app().comm.engine.TransferWindow == nullptr; }, 3000));
        QTest::qWait(200);

        ASSERT_EQ(tap.stats().addresses().size(), 1u);
        const AddressStats& s = tap.stats().addresses().at(2);
        const int requests = p.events({request[0], request[1]});
        const int dropped = p.events({"\"event\":\"reply\"", "\"addr\":2,", "\"dropped\":true"});
        const int spoiled =
            p.events({"\"event\":\"reply\"", "\"addr\":2,", "\"badChecksum\":true"});
        const int negative =
            p.events({"\"event\":\"reply\"", "\"addr\":2,", "\"fc\":9", "\"dropped\":false"});
        const int good = p.events({"\"event\":\"reply\"", "\"addr\":2,", "\"kind\":\"data\"",
                                   "\"dropped\":false", "\"badChecksum\":false"});
        EXPECT_GT(dropped, 0);
        EXPECT_EQ(static_cast<int>(s.requests), requests);
        EXPECT_EQ(static_cast<int>(s.timeouts), dropped);
        EXPECT_EQ(static_cast<int>(s.received[verdictIndex(Verdict::WrongChecksum)]), spoiled);
        EXPECT_EQ(static_cast<int>(s.badFrames()), spoiled);
        EXPECT_EQ(static_cast<int>(s.negative[1]), negative);
        EXPECT_EQ(static_cast<int>(s.answered), good);
        EXPECT_EQ(s.late, 0u);
        // Every attempt ends one way: answered, timed out, refused frame, or negative reply.
        EXPECT_EQ(s.answered + s.timeouts + s.badFrames() + s.negative[1], s.requests);
        attachTrafficTap(p.app().comm, nullptr);
    }
}

}  // namespace
}  // namespace velor::scenario
