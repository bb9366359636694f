// The window "Hledání modulů" offscreen against the simulator on a pseudo-terminal: an abort
// in mid-sweep, and an adopted answer written to COM.CFG.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtAppEnvironment.h"
#include "monitor/AppState.h"
#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/ComConfig.h"
#include "comm/TransferWindow.h"
#include "monitor/ModuleFinderWindow.h"
#include "tools/ModsimProcess.h"

namespace velor {
namespace {

class FinderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sim = std::make_unique<modsim::test::Simulator>(
            QStringList{"--no-tcp", "--pty", dir.filePath("COM3"), "--log", "/dev/null", "--module",
                        "17:KALU", "--line", "19200,even"});
        ASSERT_FALSE(sim->ptyDevice().isEmpty());
        ChannelState& ch = app.comm.channel;
        ch.ComConfigPath = dir.filePath("COM.CFG").toStdString();
        const std::string com3 = dir.filePath("COM3").toStdString();
        ch.resolvePort = [com3](const std::string& name) {
            return name == "COM3" ? com3 : std::string("/nonexistent/") + name;
        };
        SetDefaultPortRecord(*ch.ChannelTable.record(1));
        SetDefaultPortRecord(*ch.ChannelTable.record(2));
        app.comm.engine.Windows = &windows;
    }

    QTemporaryDir dir;
    std::unique_ptr<modsim::test::Simulator> sim;
    AppState app;
    ChannelTableIo io{app.comm.channel};
    SystemClock clock;
    TransferWindowFactoryQt windows{{app.comm.engine, io, clock, app.comm.channel.TransferResult}};
};

TEST_F(FinderWindowTest, PrerusitStopsMidSweepAndGivesTheChannelBack) {
    TForm_Hledani finder(app);
    finder.PortChoice->setCurrentIndex(3);
    finder.B_Hledat->click();
    ASSERT_TRUE(finder.sweeping());
    ASSERT_TRUE(QTest::qWaitFor([&] { return finder.sweep()->done() >= 5; }, 5000));
    EXPECT_TRUE(finder.B_Prerusit->isEnabled());
    finder.B_Prerusit->click();
    // At most the probe on the line is still awaited.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 500));
    EXPECT_TRUE(finder.B_Hledat->isEnabled());
    EXPECT_FALSE(finder.B_Prerusit->isEnabled());
    EXPECT_EQ(ChannelSerialPort(app.comm.channel, 1), nullptr);
    EXPECT_EQ(app.comm.channel.ChannelTable.record(1)->BaudIndex, 3);
}

TEST_F(FinderWindowTest, PouzitSavesPortBaudAndParityOfTheAnswer) {
    TForm_Hledani finder(app);
    finder.PortChoice->setCurrentIndex(3);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 1 || i == 2);
    finder.FromAddress->setValue(15);
    finder.ToAddress->setValue(18);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 2);  // even, then none: no parity on a pty
    EXPECT_TRUE(finder.Answers->item(0)->text().startsWith("adresa 17   19200 Bd   parita sudá"));
    finder.Answers->setCurrentRow(1);
    finder.B_Pouzit->click();

    QFile file(dir.filePath("COM.CFG"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], 3);  // COM3
    EXPECT_EQ(bytes[1], 4);  // the unnamed byte of the defaults
    EXPECT_EQ(bytes[2], 2);  // 19200 Bd, low byte
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[5], 1);    // no parity
    EXPECT_EQ(bytes[132], 0);  // channel 2 stays TCP
    EXPECT_EQ(finder.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace velor
