// Link faults of the simulator while a unit window is polled: the designed texts in the status
// line, the window caption and the error label, and the program recovering by itself.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ScenarioProgram.h"
#include "monitor/TevWindow.h"

namespace velor::scenario {
namespace {

const QString kFailed = QStringLiteral("Chyba přenosu");
const QString kPolled = QStringLiteral("Komunikace - TEV");
const QString kTevPrefix = QStringLiteral("Jednotka   TEV  .......  ->   ");

bool isFailed(const QString& s) {
    return s == kFailed;
}
bool isPolled(const QString& s) {
    return s == kPolled;
}

// The TEV window (module at 2) polled from the first closed editor on.
void startPollingTev(Program& p) {
    p.main().B_Monit1->click();
    p.runEditor(EditorKind::Binary);
}

struct FaultCase {
    QStringList args;
    QString errorLabel;  // the L_Err text, empty when the label stays hidden
};

// Faults that stop answers: the window says so, and once the fault is gone (a new simulator
// without it, elsewhere) the program reconnects and polls again without any help.
TEST(FaultScenario, EachFaultShowsItsTextsAndTheProgramRecovers) {
    const FaultCase cases[] = {
        {{"--drop", "1"}, {}},
        {{"--bad-checksum", "1"}, {}},
        {{"--negative", "2@2"}, QStringLiteral("FC=2 Neznámá komunikační šlužba")},
        {{"--negative", "9"}, QStringLiteral("FC=9 Blok/Data nedostupná")},
        {{"--negative", "12@2"}, QStringLiteral("FC=0x0c nespravne zadane parametry")},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Program p(c.args);
        ASSERT_TRUE(p.simulatorReady());
        startPollingTev(p);
        ASSERT_TRUE(p.waitStatus(isFailed, 5000)) << p.status().toStdString();
        ASSERT_NE(p.main().units().tev(), nullptr);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return p.main().units().tev()->windowTitle() == kTevPrefix + kFailed; }, 1000));
        EXPECT_EQ(p.errorLabelVisible(), !c.errorLabel.isEmpty());
        if (!c.errorLabel.isEmpty()) {
            EXPECT_EQ(p.errorLabelText(), c.errorLabel);
        }
        // While the fault lasts the failure stays in view, over several more polls.
        p.clearHistory();
        const int polls = p.events({"\"request\"", "\"addr\":2"});
        EXPECT_TRUE(p.waitEvents({"\"request\"", "\"addr\":2"}, polls + 4, 5000));
        EXPECT_EQ(p.statusSeen(isPolled), 0);
        EXPECT_EQ(p.status(), kFailed);

        p.restartSimulator({});
        ASSERT_TRUE(p.simulatorReady());
        EXPECT_TRUE(p.waitStatus(isPolled, 10000)) << p.status().toStdString();
        EXPECT_FALSE(p.errorLabelVisible());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return p.main().units().tev()->windowTitle() == kTevPrefix + kPolled; }, 1000));
        EXPECT_TRUE(p.messages().calls.empty());
    }
}

// Noise before a reply and replies in pieces are taken in stride: no failure is shown.
TEST(FaultScenario, GarbageAndSplitRepliesAreReadThrough) {
    for (const QStringList& args :
         {QStringList{"--garbage", "1", "--seed", "7"}, QStringList{"--split", "--seed", "8"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        ProgramOptions slowEnough;
        // Three pieces 15 ms apart, with room for a busy machine (or Wine) to pass them on.
        slowEnough.replyTimeout = 500;
        Program p(args, slowEnough);
        ASSERT_TRUE(p.simulatorReady());
        startPollingTev(p);
        // The request after the tenth: the ten exchanges before it have ended.
        ASSERT_TRUE(p.waitEvents({"\"request\"", "\"addr\":2"}, 11, 5000));
        EXPECT_GE(p.statusSeen(isPolled), 1);
        EXPECT_EQ(p.statusSeen(isFailed), 0);
        EXPECT_FALSE(p.errorLabelVisible());
    }
}

// A peer that hangs up after a few frames: the engine opens the connection again and the
// module answers on it; this repeats without the user doing anything. Whether a poll fails in
// between depends on whether the new connection is there before the next poll, so only the
// recovery is checked.
TEST(FaultScenario, DisconnectingPeerIsReconnectedByTheProgram) {
    Program p({"--disconnect-after", "5"});
    ASSERT_TRUE(p.simulatorReady());
    startPollingTev(p);
    ASSERT_TRUE(p.waitEvents({"\"event\":\"connect\""}, 3, 15000))
        << p.events({"\"event\":\"connect\""});
    // Two connections gave five answers each: the third one is answering too.
    EXPECT_TRUE(p.waitEvents({"\"request\"", "\"addr\":2"}, 12, 5000));
    ASSERT_TRUE(p.waitStatus(isPolled, 5000));
    EXPECT_TRUE(p.messages().calls.empty());
}

}  // namespace
}  // namespace velor::scenario
