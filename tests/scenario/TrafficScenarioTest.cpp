// The traffic monitor against the simulator with faults switched on: what its statistics count
// for the polled module is what the simulator's event log says it did.

#include <gtest/gtest.h>

#include <QTest>

#include <QPushButton>

#include "ScenarioProgram.h"
#include "comm/TrafficTap.h"
#include "comm/TransferEngine.h"
#include "traffic/TrafficMonitor.h"

#include <algorithm>

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
        // A reply time-out that no answer outlasts, also on a busy machine or under Wine: the
        // test compares counts, and a late answer would count twice.
        ProgramOptions options;
        options.replyTimeout = 250;
        Program p(args, options);
        ASSERT_TRUE(p.simulatorReady());
        TrafficTap& tap = p.program().tool<TrafficMonitorSetup>().tap();

        // The TEV window (module at 2) polled for a while, then the loop stopped between
        // requests so that the last exchange is complete on both sides.
        p.main().B_Monit1->click();
        p.runEditor(EditorKind::Binary);
        const char* const request[] = {"\"event\":\"request\"", "\"addr\":2,"};
        ASSERT_TRUE(p.waitEvents({request[0], request[1]}, 40, 30000));
        p.main().Timer1->stop();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return p.app().comm.engine.TransferWindow == nullptr; }, 3000));
        // Both sides have counted the last exchange: the counts are compared below.
        const auto settled = [&] {
            const auto& a = tap.stats().addresses();
            const int requests = p.events({request[0], request[1]});
            return a.size() == 1 && a.begin()->second.requests == static_cast<unsigned>(requests) &&
                   p.events({"\"event\":\"reply\"", "\"addr\":2,"}) == requests;
        };
        (void)QTest::qWaitFor(settled, 3000);

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

// The module answers 200 ms after each request, past the 150 ms time-out. Every answer comes
// while the request after it (a retry or the next poll) would be waiting: none may pass for
// that request's answer. The window says "Chyba přenosu" and the traffic monitor counts the
// answers as late.
TEST(TrafficScenario, AModuleSlowerThanItsTimeOutIsAFailureAndItsAnswersAreLate) {
    ProgramOptions options;
    options.replyTimeout = 150;
    Program p({"--delay", "200"}, options);
    ASSERT_TRUE(p.simulatorReady());
    TrafficTap& tap = p.program().tool<TrafficMonitorSetup>().tap();
    p.main().B_Monit1->click();
    p.runEditor(EditorKind::Binary);
    const char* const request[] = {"\"event\":\"request\"", "\"addr\":2,"};
    ASSERT_TRUE(p.waitEvents({request[0], request[1]}, 7, 20000));
    p.main().Timer1->stop();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return p.app().comm.engine.TransferWindow == nullptr; }, 3000));

    EXPECT_EQ(p.status(), QStringLiteral("Chyba přenosu"));
    const AddressStats& s = tap.stats().addresses().at(2);
    EXPECT_EQ(s.answered, 0u);
    EXPECT_EQ(s.timeouts, s.requests);
    EXPECT_GE(s.late, s.requests - 1);
    attachTrafficTap(p.app().comm, nullptr);
}

int notCarried(const TrafficTap& tap, std::uint64_t from) {
    int rows = 0;
    for (std::uint64_t seq = std::max(from, tap.firstSeq()); seq < tap.nextSeq(); ++seq) {
        const FrameVerdict& v = tap.frame(seq)->verdict;
        rows += v.code == Verdict::LinkError && v.n == kResultTcpNotSent;
    }
    return rows;
}

// The simulator goes away while the TEV window is polled: the attempts after it send nothing
// and say so ("bez TCP přenosu"), not "bez odpovědi", with no frame recorded as sent; once a
// simulator listens again the program polls it by itself.
TEST(TrafficScenario, ALostPeerSendsNothingAndIsFoundAgain) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    TrafficTap& tap = p.program().tool<TrafficMonitorSetup>().tap();
    p.main().B_Monit1->click();
    p.runEditor(EditorKind::Binary);
    const auto answered = [&] {
        const auto& all = tap.stats().addresses();
        return all.count(2) != 0 ? all.at(2).answered : 0u;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered() > 0; }, 5000));

    const std::uint64_t before = tap.nextSeq();
    p.stopSimulator();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notCarried(tap, before) >= 6; }, 10000));
    std::uint64_t first = tap.nextSeq();
    for (std::uint64_t seq = before; seq < tap.nextSeq() && first == tap.nextSeq(); ++seq)
        if (tap.frame(seq)->verdict.code == Verdict::LinkError) first = seq;
    for (std::uint64_t seq = first; seq < tap.nextSeq(); ++seq) {
        EXPECT_NE(tap.frame(seq)->direction, Direction::Tx) << seq;
        EXPECT_NE(tap.frame(seq)->verdict.code, Verdict::Timeout) << seq;
    }

    const std::uint32_t answeredBefore = answered();
    p.restartSimulator({});
    ASSERT_TRUE(p.simulatorReady());
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered() > answeredBefore; }, 5000));
    attachTrafficTap(p.app().comm, nullptr);
}

}  // namespace
}  // namespace velor::scenario
