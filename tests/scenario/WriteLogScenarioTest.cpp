// The write log of the whole program against the simulator: a TEW output switched and a KALU
// configuration sent are lines in zapisy.log, the polls in between are none, and a log that
// cannot be written is said once while the writes go on.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "ScenarioProgram.h"
#include "comm/PortRecord.h"
#include "monitor/TewWindow.h"

namespace velor::scenario {
namespace {

QStringList logLines(Program& p) {
    QFile f(QString::fromStdString(p.program().writeLog().path()));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

void openTew(Program& p) {
    p.runEditor(EditorKind::Binary);
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));
    p.app().config.BinaryConfig.ModuleAddress = 3;
    p.main().B_Monit4->click();
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == "Komunikace - TEW"; }, 3000));
}

TEST(WriteLogScenario, SwitchedOutputAndSentConfigurationAreLinesAndPollsAreNot) {
    Program p({});  // the demo bus: KALU 1, TEV 2, TEW 3, TEVW 4, MOKR 5
    ASSERT_TRUE(p.simulatorReady());
    openTew(p);
    p.main().units().tew()->relayButton(1)->click();
    const std::uint16_t word = p.app().selections.TewOutputs;
    ASSERT_NE(word, 0);
    ASSERT_TRUE(p.waitEvents(
        {"\"write\"", "\"addr\":3", ("\"hex\":\"" + wordHex(word) + "\"").c_str()}, 5, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return logLines(p).size() == 2; }, 3000));
    p.main().units().tew()->close();
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));

    p.runEditor(EditorKind::Analog, [](AppState& app) { app.config.SendPending = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.app().config.SendPending; }, 5000));

    const QStringList lines = logLines(p);
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    const QString port = QStringLiteral(" | TCP 127.0.0.1:");
    EXPECT_TRUE(lines[0].contains(port));
    EXPECT_TRUE(
        lines[0].contains(QStringLiteral(" | adresa 3 TEW | výstupy ? -> 0x0000 | přijato")));
    const QString hex = QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
    EXPECT_TRUE(lines[1].contains(
        QStringLiteral(" | adresa 3 TEW | výstupy 0x0000 -> 0x%1 | přijato").arg(hex)))
        << lines[1].toStdString();
    EXPECT_TRUE(
        lines[2].contains(QStringLiteral(" | adresa 1 KALU | konfigurace KonfigA.cfa, bloky ")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" | přijato")));
    EXPECT_EQ(p.program().writeLog().sessionLines().size(), 3u);
    EXPECT_TRUE(p.messages().calls.empty());
}

TEST(WriteLogScenario, UnwritableLogIsSaidOnceAndTheOutputsStillGoOut) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    // A folder where the log belongs: it cannot be opened for writing.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(p.program().writeLog().path())));
    openTew(p);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.messages().calls.empty(); }, 3000));
    p.main().units().tew()->relayButton(2)->click();
    const std::uint16_t word = p.app().selections.TewOutputs;
    EXPECT_TRUE(p.waitEvents(
        {"\"write\"", "\"addr\":3", ("\"hex\":\"" + wordHex(word) + "\"").c_str()}, 3, 5000));
    ASSERT_EQ(p.messages().calls.size(), 1u);
    EXPECT_EQ(p.messages().calls[0].text1, "Záznam zápisů do modulů nelze uložit");
    EXPECT_NE(p.messages().calls[0].text2.find("nelze zapsat"), std::string::npos);
}

}  // namespace
}  // namespace velor::scenario
