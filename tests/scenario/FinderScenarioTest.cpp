// A new user's road: a module whose baud rate nobody knows sits on COM1 (a pseudo-terminal);
// Ctrl+F finds it, "Použít" adopts it, the main window's scan lists it, and pulling the link
// away and back costs a "Chyba přenosu" and no restart.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "ScenarioProgram.h"
#include "comm/Channel.h"
#include "finder/ModuleFinderWindow.h"
#include "monitor/PollingLoop.h"
#include "support/FileBytes.h"

namespace velor::scenario {
namespace {

const QStringList kModule{"--module", "17:KALU", "--line", "19200,even"};

bool listsOnly17(const QString& status) {
    return scanList(status) == QStringLiteral("17,") + QString(27, ' ');
}

// What the user does in the finder once Ctrl+F has opened it: "Hledat" with the defaults but
// a narrower address range (the full sweep's time is the benchmark's), then "Použít" on the
// first answer. Runs inside the finder's modal loop.
void findAndAdopt(bool& adopted) {
    ModuleFinderWindow* finder = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return (finder = qobject_cast<ModuleFinderWindow*>(QApplication::activeModalWidget()));
        },
        3000));
    finder->FromAddress->setValue(12);
    finder->ToAddress->setValue(20);
    finder->B_Hledat->click();
    const bool ended = QTest::qWaitFor([&] { return !finder->sweeping(); }, 30000);
    if (!ended || finder->Answers->count() == 0) {
        finder->B_Prerusit->click();
        static_cast<void>(QTest::qWaitFor([&] { return !finder->sweeping(); }, 1000));
        finder->B_Zavrit->click();
        FAIL() << "no answer";
    }
    EXPECT_TRUE(finder->Answers->item(0)->text().startsWith(
        QStringLiteral("adresa 17   19200 Bd   parita sudá")));
    finder->B_Pouzit->click();
    adopted = finder->result() == QDialog::Accepted;
    if (!adopted) finder->B_Zavrit->click();
}

TEST(FinderScenario, NewUserFindsAdoptsAndKeepsPollingThroughAPulledLink) {
    ProgramOptions options;
    options.link = LinkKind::Pty;
    Program p(kModule, options);
    ASSERT_TRUE(p.simulatorReady());
    // Channel 1 is set to 38400 Bd: the module does not answer there.
    ASSERT_EQ(p.app().comm.channel.ChannelTable.record(1)->BaudIndex, 3);

    QAction* ctrlF = p.main().findChild<QAction*>(QStringLiteral("ActionModuleFinder"));
    ASSERT_NE(ctrlF, nullptr);
    bool adopted = false;
    QTimer::singleShot(0, [&] { findAndAdopt(adopted); });
    p.messages().queueAnswer(kAnswerYes);  // the address into the analog configuration
    p.messages().queueAnswer(kAnswerNo);
    ctrlF->trigger();
    ASSERT_TRUE(adopted);

    const QDir work = QFileInfo(p.eventsPath()).dir();
    const QByteArray bytes = test::fileBytes(work.filePath("COM.CFG"));
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], 1);  // COM1
    EXPECT_EQ(bytes[2], 2);  // 19200 Bd
    EXPECT_EQ(bytes[5], 0);  // even parity
    EXPECT_EQ(p.app().config.AnalogConfig.ModuleAddress, 17);

    // Closing the finder hands the channel back: the loop scans at the adopted setting.
    EXPECT_TRUE(p.waitStatus(listsOnly17, 15000)) << p.status().toStdString();

    // The adapter is pulled: the link goes away with its pseudo-terminal, then comes back.
    p.stopSimulator();
    QFile::remove(work.filePath("COM1"));
    EXPECT_TRUE(p.waitStatus([](const QString& s) { return s == kTextTransferError; }, 5000))
        << p.status().toStdString();
    p.clearHistory();
    p.restartSimulator(kModule);
    ASSERT_TRUE(p.simulatorReady());
    EXPECT_TRUE(p.waitStatus(
        [](const QString& s) { return isScanLine(s) && s.startsWith("> 17< ") && listsOnly17(s); },
        15000))
        << p.status().toStdString();
    // The new simulator was probed: the program opened the link again by itself.
    EXPECT_GT(p.events({"\"probe\"", "\"addr\":17", "\"present\":true"}), 0);
}

// Looking around in the finder and closing it changes nothing: the loop that waited for its
// first editor still waits, on the channel it had.
TEST(FinderScenario, ClosedWithoutPouzitTheDormantLoopStaysDormant) {
    ProgramOptions options;
    options.link = LinkKind::Pty;
    Program p(kModule, options);
    ASSERT_TRUE(p.simulatorReady());
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == kTextSetChannel; }, 3000));
    ASSERT_FALSE(p.app().loop.ChannelReady);

    QAction* ctrlF = p.main().findChild<QAction*>(QStringLiteral("ActionModuleFinder"));
    ASSERT_NE(ctrlF, nullptr);
    bool closed = false;
    QTimer::singleShot(0, [&] {
        ModuleFinderWindow* finder = nullptr;
        closed = QTest::qWaitFor(
            [&] {
                return (finder =
                            qobject_cast<ModuleFinderWindow*>(QApplication::activeModalWidget()));
            },
            3000);
        if (closed) finder->B_Zavrit->click();
    });
    ctrlF->trigger();
    ASSERT_TRUE(closed);
    EXPECT_FALSE(p.app().loop.ChannelReady);
    EXPECT_EQ(p.status(), QString::fromUtf8(kTextSetChannel));
    EXPECT_NE(channelSerialPort(p.app().comm.channel, 1), nullptr);  // open as before
}

}  // namespace
}  // namespace velor::scenario
