// The program as its one assembly builds it, offscreen: the hooks reach what they replace, the
// start-up order lets the messages of the loaders through, and channel 1 opens on start().

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "app/Program.h"
#include "comm/Channel.h"
#include "comm/ComConfig.h"
#include "comm/PortRecord.h"
#include "monitor/AppState.h"
#include "monitor/KaluWindow.h"
#include "monitor/TevWindow.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        hooks.messages = &messages;
        hooks.workDirectory = dir.path().toStdString();
        hooks.editorRunner = [](EditorKind, EditorContext&, QWidget*) {};
        hooks.resolvePort = [this](const std::string& name) {
            asked.push_back(name);
            return dir.filePath("missing-" + QString::fromStdString(name)).toStdString();
        };
    }

    // COM.CFG with channel 1 on TCP to 127.0.0.1, or on the serial port COMn.
    void writeComConfig(std::uint8_t portNumber) {
        ChannelState table;
        table.ComConfigPath = dir.filePath("COM.CFG").toStdString();
        DefaultComConfig(table);
        PortRecord& record = *table.ChannelTable.record(1);
        record.PortNumber = portNumber;
        setTcpHost(record, "127.0.0.1");
        SaveComConfig(table);
    }

    QTemporaryDir dir;
    test::MessageRecorder messages;
    std::vector<std::string> asked;
    ProgramHooks hooks;
};

TEST_F(ProgramTest, StartUpLoadsFromTheWorkDirectoryAndReportsWhatItInitialised) {
    Program program(hooks);
    // The message hook is in place before the loaders: their notes on the missing files arrive.
    EXPECT_FALSE(messages.calls.empty());
    EXPECT_EQ(QFileInfo(dir.filePath("COM.CFG")).size(), 264);
    EXPECT_EQ(program.state().config.WorkDirectory, dir.path().toStdString());
    EXPECT_EQ(program.state().config.AnalogFileName, "KonfigA.cfa");
    // Nothing is opened or shown before start().
    EXPECT_EQ(program.state().comm.channel.CurrentChannel, 0);
    EXPECT_FALSE(program.mainWindow().isVisible());
    EXPECT_EQ(qApp->property(kHelpFileProperty).toString(), QStringLiteral("Velor.HLP"));
    // Qt's own texts (file dialogs, context menus of text fields) are Czech as well.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Hledat v:"));
}

// Each tool is in the main window and, but for the finder, in every unit window it opens; the
// service report only in the unit windows, help in all.
TEST_F(ProgramTest, EveryWindowOffersTheTools) {
    Program program(hooks);
    auto names = [](const QWidget* w) {
        QStringList n;
        for (const QAction* a : w->actions()) n << a->objectName();
        return n;
    };
    EXPECT_EQ(names(&program.mainWindow()), (QStringList{"ActionTraffic", "ActionRecording",
                                                         "ActionModuleFinder", "ActionHelp"}));
    program.mainWindow().B_Monit3->click();
    ASSERT_NE(program.mainWindow().units().kalu(), nullptr);
    EXPECT_EQ(
        names(program.mainWindow().units().kalu()),
        (QStringList{"ActionTraffic", "ActionRecording", "ActionServiceReport", "ActionHelp"}));
    program.mainWindow().units().kalu()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    program.mainWindow().B_Monit1->click();
    ASSERT_NE(program.mainWindow().units().tev(), nullptr);
    EXPECT_EQ(names(program.mainWindow().units().tev()).size(), 4);
}

TEST_F(ProgramTest, TimingHooksOutlastTheMainWindowsCreation) {
    hooks.replyTimeout = 80;
    hooks.pollInterval = 30;
    Program program(hooks);
    EXPECT_EQ(program.state().comm.engine.ReplyTimeout, 80);
    EXPECT_EQ(program.state().loop.PollInterval, 30);
}

TEST_F(ProgramTest, AFailedReopenOfTheSerialPortIsReported) {
    writeComConfig(2);
    Program program(hooks);
    messages.calls.clear();
    EXPECT_EQ(program.channelIo().reopen(), kOpenFailed);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text1, "ERROR");
    EXPECT_EQ(messages.calls[0].text2, "Chyba při otevírání sériové komunikace");
    EXPECT_EQ(messages.calls[0].iconSet, 0);
    // The reopen went through the test's resolver, never to a real device.
    EXPECT_FALSE(asked.empty());
}

TEST_F(ProgramTest, EditorsReachTheRunnerAndThePortSearchOfTheHooks) {
    int searches = 0;
    hooks.searchPorts = [&searches](ChannelState& channels) {
        ++searches;
        channels.FoundPorts = {"COM1"};
        channels.PortSearchPending = false;
    };
    int runs = 0;
    hooks.editorRunner = [&runs](EditorKind kind, EditorContext& context, QWidget*) {
        ++runs;
        EXPECT_EQ(kind, EditorKind::Analog);
        context.searchPorts(context.channels);
    };
    Program program(hooks);
    program.mainWindow().A_Konfig->click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(program.state().comm.channel.FoundPorts, std::vector<std::string>{"COM1"});
}

TEST_F(ProgramTest, StartConnectsChannelOneToThePeerPortOfTheHooks) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    writeComConfig(0);
    hooks.tcpPeerPort = peer.serverPort();
    Program program(hooks);
    EXPECT_EQ(program.tcp().peerPort(), peer.serverPort());
    program.start();
    EXPECT_TRUE(program.mainWindow().isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&peer] { return peer.hasPendingConnections(); }, 3000));
    program.stop();
    EXPECT_FALSE(program.mainWindow().Timer1->isActive());
}

}  // namespace
}  // namespace velor
