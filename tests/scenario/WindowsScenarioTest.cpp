// First editor closed -> address scan; each unit window polled with moving values and its
// outputs reaching the simulated module.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ScenarioProgram.h"
#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"

namespace velor::scenario {
namespace {

const QString kBlanks24(24, ' ');

TEST(ScanScenario, DormantUntilTheFirstEditorClosesThenListsTheModules) {
    Program p({"--module", "1:KALU", "--module", "12:TEV"});
    ASSERT_TRUE(p.simulatorReady());

    // The channel is open, but nothing goes out before an editor has been closed, however often
    // the loop ticks.
    ASSERT_TRUE(p.waitLoopTicks(8, 5000));
    EXPECT_EQ(p.status(), QStringLiteral("Nastavte kanál COM"));
    EXPECT_EQ(p.events({"\"probe\""}), 0);

    p.runEditor(EditorKind::Binary);
    const QString expected = QStringLiteral(" 1,12,") + kBlanks24;
    ASSERT_TRUE(p.waitStatus([&](const QString& s) { return scanList(s) == expected; }, 10000))
        << p.status().toStdString();
    // One address per completed probe, counting up and wrapping round to 0; the second pass
    // keeps both modules listed.
    EXPECT_TRUE(p.waitStatus([&](const QString& s) { return s == ">  1< " + expected; }, 10000))
        << p.status().toStdString();
    for (const char* address : {">  2< ", "> 12< ", "> 31< ", ">  0< "}) {
        EXPECT_GT(p.statusSeen([&](const QString& s) { return s.startsWith(address); }), 0)
            << address;
    }
    EXPECT_TRUE(p.messages().calls.empty());
}

TEST(ScanScenario, AModuleThatStopsAnsweringLeavesTheListOnItsNextPass) {
    Program p({"--module", "1:KALU", "--module", "12:TEV"});
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Analog);
    ASSERT_TRUE(
        p.waitStatus([](const QString& s) { return scanList(s).startsWith(" 1,12,"); }, 10000));

    // The peer goes away and comes back elsewhere without module 12: the program reconnects
    // on its own and drops the address that no longer answers.
    p.restartSimulator({"--module", "1:KALU"});
    ASSERT_TRUE(p.simulatorReady());
    const QString expected = QStringLiteral(" 1,") + QString(27, ' ');
    EXPECT_TRUE(p.waitStatus([&](const QString& s) { return scanList(s) == expected; }, 15000))
        << p.status().toStdString();
    EXPECT_TRUE(p.messages().calls.empty());
}

// One unit window: how it is opened, where its module sits, the values it shows and how an
// output is switched in it.
struct WindowCase {
    const char* name;
    std::int32_t binaryAddress;
    std::function<void(Program&)> open;
    std::function<QStringList(Program&)> values;
    const char* caption;
    const char* statusText;
    // Switches an output and gives the event fragments of the write that must follow.
    std::function<std::vector<std::string>(Program&)> switchOutput;
};

template <typename Window>
QStringList editTexts(Window* w, int count) {
    QStringList texts;
    for (int n = 1; n <= count && w != nullptr; ++n) texts << w->inputEdit(n)->text();
    return texts;
}

std::vector<WindowCase> windowCases() {
    return {
        {"KALU", 2, [](Program& p) { p.main().B_Monit3->click(); },
         [](Program& p) { return editTexts(p.main().units().kalu(), 12); },
         "Jednotka  KALU  .......  ->   ", "Komunikace - KALU",
         [](Program& p) -> std::vector<std::string> {
             p.main().units().kalu()->outputEdit(0)->setText("12");
             p.main().units().kalu()->outputEdit(5)->setText("-1");
             return {"\"write\"", "\"addr\":1", "\"start\":48", "\"hex\":\"0C00000000FF\""};
         }},
        {"TEV", 2, [](Program& p) { p.main().B_Monit1->click(); },
         [](Program& p) { return editTexts(p.main().units().tev(), 16); },
         "Jednotka   TEV  .......  ->   ", "Komunikace - TEV", nullptr},
        {"TEVW", 4, [](Program& p) { p.main().B_Monit2->click(); },
         [](Program& p) { return editTexts(p.main().units().tevw(), 8); },
         "Jednotka  TEVW  .......  ->   ", "Komunikace - TEVW",
         [](Program& p) -> std::vector<std::string> {
             p.main().units().tevw()->outputButton(3)->click();
             EXPECT_EQ(p.app().selections.TevwOutputs, 0x0004);
             return {"\"write\"", "\"addr\":4", "\"start\":4", "\"hex\":\"0400\""};
         }},
        {"TEW", 3, [](Program& p) { p.main().B_Monit4->click(); }, nullptr,
         "Jednotka   TEW  .......  ->   ", "Komunikace - TEW",
         [](Program& p) -> std::vector<std::string> {
             p.main().units().tew()->relayButton(1)->click();
             const std::uint16_t word = p.app().selections.TewOutputs;
             EXPECT_NE(word, 0);
             return {"\"write\"", "\"addr\":3", "\"start\":0", "\"hex\":\"" + wordHex(word) + "\""};
         }},
        {"MOKR", 5, [](Program& p) { p.main().B_MonitF->click(); },
         [](Program& p) { return editTexts(p.main().units().mokr(), 8); },
         "Jednotka  MOKR  .......  ->   ", "Komunikace - MOKR",
         [](Program& p) -> std::vector<std::string> {
             p.main().units().mokr()->outputButton(2)->click();
             EXPECT_EQ(p.app().selections.PiggyOutputs[0], 0x02);
             return {"\"write\"", "\"addr\":5", "\"start\":400", "\"hex\":\"0200000000000000\""};
         }},
    };
}

TEST(WindowScenario, EachUnitWindowIsPolledAndSwitchesTheModulesOutputs) {
    Program p({});  // the demo bus: KALU 1, TEV 2, TEW 3, TEVW 4, MOKR 5
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Binary);
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));

    for (const WindowCase& c : windowCases()) {
        SCOPED_TRACE(c.name);
        p.app().config.BinaryConfig.ModuleAddress = c.binaryAddress;
        c.open(p);
        ASSERT_TRUE(p.waitStatus([&](const QString& s) { return s == c.statusText; }, 3000))
            << p.status().toStdString();
        QWidget* window = nullptr;
        const UnitWindows& w = p.main().units();
        for (QWidget* candidate :
             std::initializer_list<QWidget*>{w.kalu(), w.tev(), w.tevw(), w.tew(), w.mokr()}) {
            if (candidate != nullptr && candidate->isVisible()) window = candidate;
        }
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return window->windowTitle() == QString(c.caption) + c.statusText; }, 2000))
            << window->windowTitle().toStdString();

        if (c.values) {
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return !c.values(p).join("").trimmed().isEmpty(); }, 3000));
            const QStringList first = c.values(p);
            EXPECT_TRUE(QTest::qWaitFor([&] { return c.values(p) != first; }, 6000))
                << "values stay " << first.join('|').toStdString();
        }
        if (c.switchOutput) {
            const std::vector<std::string> write = c.switchOutput(p);
            EXPECT_TRUE(QTest::qWaitFor([&] { return p.events(write) > 0; }, 3000));
        }
        window->close();
        EXPECT_EQ(p.app().loop.MonitoredKind, kMonitoredNone);
        ASSERT_TRUE(p.waitStatus(isScanLine, 3000));
    }
    EXPECT_TRUE(p.messages().calls.empty());
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // the simulator's pseudo-terminal as COM1
// The same roads over COM1, a pseudo-terminal that leads to the simulator.
TEST(PtyScenario, ScanAndTewWindowOverCom1) {
    ProgramOptions options;
    options.link = LinkKind::Pty;
    Program p({"--module", "3:TEW", "--module", "9:KALU"}, options);
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Binary);
    const QString expected = QStringLiteral(" 3, 9,") + kBlanks24;
    ASSERT_TRUE(p.waitStatus([&](const QString& s) { return scanList(s) == expected; }, 10000))
        << p.status().toStdString();
    EXPECT_GT(p.events({"\"probe\"", "\"link\":\"pty\""}), 0);

    p.app().config.BinaryConfig.ModuleAddress = 3;
    p.main().B_Monit4->click();
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == "Komunikace - TEW"; }, 3000));
    p.main().units().tew()->relayButton(2)->click();
    const std::uint16_t word = p.app().selections.TewOutputs;
    EXPECT_NE(word, 0);
    EXPECT_TRUE(p.waitEvents(
        {"\"write\"", "\"addr\":3", ("\"hex\":\"" + wordHex(word) + "\"").c_str()}, 1, 3000));
    EXPECT_TRUE(p.messages().calls.empty());
}
#endif

}  // namespace
}  // namespace velor::scenario
