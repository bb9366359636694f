// The window "Hledání modulů" offscreen against the simulator on a pseudo-terminal: an abort
// in mid-sweep, an adopted answer written to COM.CFG with its address offered to the
// configurations, and the serial device list with its COMn assignment.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

#include "FinderFixture.h"
#include "comm/Channel.h"
#include "comm/ComConfig.h"
#include "comm/PortRecord.h"
#include "comm/TcpTransport.h"
#include "config/ConfigFiles.h"
#include "finder/ModuleFinderWindow.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"
#include "support/ModsimProcess.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

class FinderWindowTest : public test::FinderFixture {
protected:
    void SetUp() override {
        FinderFixture::SetUp();
        sim = std::make_unique<modsim::test::Simulator>(
            QStringList{"--no-tcp", "--pty", dir.filePath("COM3"), "--log", QProcess::nullDevice(),
                        "--module", "17:KALU", "--line", "19200,even"});
        ASSERT_FALSE(sim->ptyDevice().isEmpty());
        const std::string com3 = dir.filePath("COM3").toStdString();
        app.comm.channel.resolvePort = [com3](const std::string& name) {
            return name == "COM3" ? com3 : std::string("/nonexistent/") + name;
        };
    }

    std::unique_ptr<modsim::test::Simulator> sim;
};

TEST_F(FinderWindowTest, PrerusitStopsMidSweepAndGivesTheChannelBack) {
    ModuleFinderWindow finder(app.comm, app.config);
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
    EXPECT_EQ(channelSerialPort(app.comm.channel, 1), nullptr);
    EXPECT_EQ(app.comm.channel.ChannelTable.record(1)->BaudIndex, 3);
}

// "Zavřít" and Esc in mid-sweep stop the sweep and then close the window, as after "Přerušit".
TEST_F(FinderWindowTest, ZavritAndEscInMidSweepStopItAndClose) {
    for (const bool escape : {false, true}) {
        ModuleFinderWindow finder(app.comm, app.config);
        finder.show();
        finder.PortChoice->setCurrentIndex(3);
        finder.B_Hledat->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return finder.sweep()->done() >= 3; }, 5000));
        if (escape) {
            QTest::keyClick(&finder, Qt::Key_Escape);
        } else {
            finder.B_Zavrit->click();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.isVisible(); }, 1000)) << escape;
        EXPECT_FALSE(finder.sweeping());
        EXPECT_EQ(finder.result(), QDialog::Rejected);
        EXPECT_EQ(app.comm.channel.ChannelTable.record(1)->PortNumber, 0);
        EXPECT_EQ(channelSerialPort(app.comm.channel, 1), nullptr);
    }
}

// "Použít" is offered only with an answer of a finished sweep to use; every answer line is
// whole in the list.
TEST_F(FinderWindowTest, PouzitOnlyWithAnAnswerAndTheLinesWhole) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.show();
    EXPECT_FALSE(finder.B_Pouzit->isEnabled());
    finder.PortChoice->setCurrentIndex(3);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 0);
    finder.FromAddress->setValue(16);
    finder.ToAddress->setValue(18);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 0);  // 4800 Bd: nobody answers
    EXPECT_FALSE(finder.B_Pouzit->isEnabled());

    finder.BaudChecks[0]->setChecked(false);
    finder.BaudChecks[2]->setChecked(true);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finder.Answers->count() > 0; }, 10000));
    EXPECT_FALSE(finder.B_Pouzit->isEnabled());  // not while the sweep runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 2);
    EXPECT_TRUE(finder.B_Pouzit->isEnabled());
    finder.Answers->setCurrentRow(-1);
    EXPECT_FALSE(finder.B_Pouzit->isEnabled());

    const QFontMetrics metrics(finder.Answers->font());
    const int room = finder.Answers->viewport()->width();
    for (int i = 0; i < finder.Answers->count(); ++i)
        for (const QString& line : finder.Answers->item(i)->text().split('\n'))
            EXPECT_LE(metrics.horizontalAdvance(line), room) << line.toStdString();
}

TEST_F(FinderWindowTest, PouzitSavesPortBaudAndParityOfTheAnswer) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.PortChoice->setCurrentIndex(3);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 1 || i == 2);
    finder.FromAddress->setValue(15);
    finder.ToAddress->setValue(18);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 2);  // even, then none: no parity on a pty
    EXPECT_TRUE(finder.Answers->item(0)->text().startsWith("adresa 17   19200 Bd   parita sudá"));
    // Both say that the parity cannot be told from them.
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(finder.Answers->item(i)->text().endsWith(
            QStringLiteral("(odpovídá při obou paritách – paritu nelze rozlišit)")))
            << finder.Answers->item(i)->text().toStdString();
    EXPECT_TRUE(finder.Answers->item(0)->text().contains("   E5\n"));
    // Another port picked after the sweep: the answer still belongs to the port swept.
    finder.PortChoice->setCurrentIndex(5);
    finder.Answers->setCurrentRow(1);
    finder.B_Pouzit->click();

    const QByteArray bytes = test::fileBytes(dir.filePath("COM.CFG"));
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], 3);  // COM3
    EXPECT_EQ(bytes[1], 4);  // the unnamed byte of the defaults
    EXPECT_EQ(bytes[2], 2);  // 19200 Bd, low byte
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[5], 1);    // no parity
    EXPECT_EQ(bytes[132], 0);  // channel 2 stays TCP
    EXPECT_EQ(finder.result(), QDialog::Accepted);
}

// The adapter pulled in mid-sweep: the sweep ends and says that the port was lost, with the
// answers found before it.
TEST_F(FinderWindowTest, APortLostInMidSweepIsSaidNotDone) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.PortChoice->setCurrentIndex(3);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finder.sweep()->done() >= 5; }, 5000));
    sim.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    EXPECT_TRUE(finder.TimeLeft->text().startsWith(QStringLiteral("Port se ztratil")))
        << finder.TimeLeft->text().toStdString();
    EXPECT_EQ(channelSerialPort(app.comm.channel, 1), nullptr);
    EXPECT_EQ(app.comm.channel.ChannelTable.record(1)->BaudIndex, 3);
}

// TCP carries frames without a line: every address is probed once, and "Použít" leaves the
// record's baud rate and parity alone.
TEST_F(FinderWindowTest, OnTcpOnlyTheAddressesAreSwept) {
    modsim::test::Simulator tcpSim({"--tcp", "127.0.0.1:0", "--log", "/dev/null"});
    ASSERT_NE(tcpSim.port(), 0);
    TForm_TCP tcp(tcpSim.port());
    app.comm.channel.tcp = &tcp;
    PortRecord& record = *app.comm.channel.ChannelTable.record(1);
    setTcpHost(record, "127.0.0.1");
    record.BaudIndex = 3;
    ModuleFinderWindow finder(app.comm, app.config);
    ASSERT_EQ(finder.PortChoice->currentIndex(), 0);
    EXPECT_FALSE(finder.BaudChecks[0]->isEnabled());
    EXPECT_FALSE(finder.ParityChoice->isEnabled());
    finder.Timeout->setValue(200);
    finder.FromAddress->setValue(0);
    finder.ToAddress->setValue(7);
    finder.B_Hledat->click();
    ASSERT_TRUE(finder.sweeping());
    EXPECT_EQ(finder.sweep()->total(), 8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 20000));
    ASSERT_EQ(finder.Answers->count(), 5) << finder.TimeLeft->text().toStdString();
    EXPECT_EQ(finder.Answers->item(0)->text(), QStringLiteral("adresa 1   TCP   E5"));
    EXPECT_EQ(finder.TimeLeft->text(), QStringLiteral("Hotovo: 5 odpovědí"));

    finder.Answers->setCurrentRow(2);
    test::MessageRecorder messages;
    finder.B_Pouzit->click();
    EXPECT_EQ(finder.result(), QDialog::Accepted);
    const QByteArray bytes = test::fileBytes(dir.filePath("COM.CFG"));
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], 0);  // TCP
    EXPECT_EQ(bytes[2], 3);  // 38400 Bd as before
    EXPECT_EQ(bytes[5], 0);
}

// COM.CFG that cannot be written: the message says so in Czech, and channel 1 keeps the
// settings it had, in memory as in the file.
TEST_F(FinderWindowTest, PouzitChangesNothingWhenComCfgCannotBeSaved) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("blocked/COM.CFG"));  // a folder where the file goes
    app.comm.channel.ComConfigPath = dir.filePath("blocked/COM.CFG").toStdString();
    app.comm.channel.SelectedPortName = "COM0";
    ModuleFinderWindow finder(app.comm, app.config);
    finder.PortChoice->setCurrentIndex(3);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 2);
    finder.ParityChoice->setCurrentIndex(2);
    finder.FromAddress->setValue(17);
    finder.ToAddress->setValue(17);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 1);

    test::MessageRecorder messages;
    finder.B_Pouzit->click();
    ASSERT_EQ(messages.calls.size(), 1u);  // no address offered either
    EXPECT_EQ(messages.calls[0].kind, 2u);
    EXPECT_EQ(messages.calls[0].text1,
              "Nastavení kanálu nelze uložit do souboru " + app.comm.channel.ComConfigPath + ".");
    EXPECT_EQ(messages.calls[0].text2, "Není to obyčejný soubor. Nastavení zůstává, jak bylo.");
    EXPECT_NE(finder.result(), QDialog::Accepted);
    const PortRecord& r = *app.comm.channel.ChannelTable.record(1);
    EXPECT_EQ(r.BaudIndex, 3);
    EXPECT_EQ(r.NoParity, 0);
    finder.B_Zavrit->click();
    EXPECT_EQ(r.PortNumber, 0);
    EXPECT_EQ(r.BaudIndex, 3);
    EXPECT_EQ(r.NoParity, 0);
    EXPECT_EQ(app.comm.channel.SelectedPortName, "COM0");
}

TEST_F(FinderWindowTest, PouzitOffersTheAddressToEachConfiguration) {
    const std::string configDir = dir.path().toStdString() + "/";
    app.config.AnalogDirectory = configDir;
    app.config.BinaryDirectory = configDir;
    app.config.BinaryConfig.ModuleAddress = 4;
    ModuleFinderWindow finder(app.comm, app.config);
    finder.PortChoice->setCurrentIndex(3);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 2);
    finder.ParityChoice->setCurrentIndex(1);
    finder.FromAddress->setValue(17);
    finder.ToAddress->setValue(17);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 1);
    EXPECT_FALSE(finder.Answers->item(0)->text().contains(QStringLiteral("obou")));

    test::MessageRecorder messages;
    messages.queueAnswer(kAnswerYes);  // analog
    messages.queueAnswer(kAnswerNo);   // binary
    finder.B_Pouzit->click();
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(messages.calls[0].kind, 3u);
    EXPECT_EQ(messages.calls[0].text1,
              "Nastavit adresu modulu 17 v analogové konfiguraci (KonfigA.cfa)?");
    EXPECT_EQ(messages.calls[1].text2, "Nyní je tam adresa 4.");
    EXPECT_EQ(app.config.AnalogConfig.ModuleAddress, 17);
    EXPECT_EQ(app.config.BinaryConfig.ModuleAddress, 4);
    EXPECT_FALSE(QFile::exists(binaryFilePath(app.config)));

    // The saved file carries the address.
    const QByteArray bytes = test::fileBytes(analogFilePath(app.config));
    ConfigState loaded;
    ASSERT_TRUE(decodeAnalogFile(
        loaded, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
    EXPECT_EQ(loaded.AnalogConfig.ModuleAddress, 17);

    // An address the configuration holds already is not asked about.
    messages.calls.clear();
    finder.offerModuleAddress(17);
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_NE(messages.calls[0].text1.find("binární"), std::string::npos);
}

class FinderDevicesTest : public FinderWindowTest {
protected:
    void SetUp() override {
        FinderWindowTest::SetUp();
        old = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(work.path()));
    }
    void TearDown() override { QDir::setCurrent(old); }

    // The simulator's pseudo-terminal (COM3 of the fixture) and an adapter without access.
    std::vector<SerialDevice> devices() const {
        SerialDevice pty;
        pty.device = sim->ptyDevice().toStdString();
        pty.description = "simulátor";
        pty.access.exists = pty.access.accessible = true;
        SerialDevice usb;
        usb.device = "/dev/ttyUSB7";
        usb.description = "FT232R USB UART";
        usb.serialNumber = "A1B2C3";
        usb.hasUsbIds = true;
        usb.vendorId = 0x0403;
        usb.productId = 0x6001;
        usb.byIdPath = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0";
        usb.access.exists = true;
        usb.access.group = "dialout";
        usb.access.problem = PortAccess::Problem::NoPermission;
        return {pty, usb};
    }

    QTemporaryDir work;
    QString old;
};

TEST_F(FinderDevicesTest, DevicesAreListedWithTheirDetailsAndTheRemedy) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.showSerialDevices(devices());
    ASSERT_EQ(finder.Devices->count(), 2);
    const QString usb = finder.Devices->item(1)->text();
    for (const char* part :
         {"/dev/ttyUSB7", "„FT232R USB UART“", "USB 0403:6001", "sériové číslo A1B2C3",
          "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0",
          "bez přístupu: přidejte se do skupiny dialout", "odhlaste a znovu přihlaste",
          "pravidlo udev"})
        EXPECT_TRUE(usb.contains(QString::fromUtf8(part))) << part << "\n" << usb.toStdString();
    EXPECT_FALSE(finder.Devices->item(0)->text().contains(QStringLiteral("bez přístupu")));
    // COM3 leads to the pseudo-terminal: the port list says so.
    EXPECT_EQ(finder.PortChoice->itemText(3),
              QStringLiteral("COM3 – ") + sim->ptyDevice() + QStringLiteral(" „simulátor“"));
    EXPECT_EQ(finder.PortChoice->itemText(4), QStringLiteral("COM4"));

    finder.showSerialDevices({});
    ASSERT_EQ(finder.Devices->count(), 1);
    EXPECT_FALSE(finder.B_Priradit->isEnabled());
    EXPECT_FALSE(finder.assignSelectedDevice());
}

TEST_F(FinderDevicesTest, PriraditMakesTheLinkAndReplacesOneOnlyWhenConfirmed) {
    namespace fs = std::filesystem;
    ModuleFinderWindow finder(app.comm, app.config);
    finder.showSerialDevices(devices());
    test::MessageRecorder messages;
    finder.ComChoice->setCurrentIndex(3);
    EXPECT_EQ(finder.B_Priradit->text(), QStringLiteral("Př&iřadit jako COM4"));
    finder.Devices->setCurrentRow(1);
    ASSERT_TRUE(finder.B_Priradit->isEnabled());
    finder.B_Priradit->click();
    EXPECT_TRUE(messages.calls.empty());
    EXPECT_EQ(fs::read_symlink("COM4"), "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");

    // Without a by-id path the device itself; the old link stays until the user agrees.
    finder.Devices->setCurrentRow(0);
    messages.queueAnswer(kAnswerNo);
    EXPECT_FALSE(finder.assignSelectedDevice());
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].kind, 3u);
    EXPECT_EQ(messages.calls[0].text1, "COM4 v pracovním adresáři už vede jinam.");
    EXPECT_EQ(fs::read_symlink("COM4"), "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    messages.queueAnswer(kAnswerYes);
    EXPECT_TRUE(finder.assignSelectedDevice());
    EXPECT_EQ(fs::read_symlink("COM4"), sim->ptyDevice().toStdString());

    // A regular file named COM5 is the user's: refused with a message, left as it is.
    QFile file(work.filePath("COM5"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    finder.ComChoice->setCurrentIndex(4);
    messages.calls.clear();
    EXPECT_FALSE(finder.assignSelectedDevice());
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].kind, 2u);
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status("COM5")));

    // A link that cannot be made: our reason first, the system's words after it.
    ASSERT_TRUE(QDir(work.path()).mkpath("COM7.new/blocked"));
    finder.ComChoice->setCurrentIndex(6);
    messages.calls.clear();
    EXPECT_FALSE(finder.assignSelectedDevice());
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text1, "Odkaz COM7 nelze vytvořit.");
    EXPECT_EQ(messages.calls[0].text2, "Soubor toho jména už existuje (File exists).");
}

// The pseudo-terminal picked by its device path, with no COMn leading to it: swept as it is,
// and "Použít" makes the COMn chosen for the assignment lead to it.
TEST_F(FinderDevicesTest, ADeviceIsSweptByItsPathAndAdoptedAsTheChosenCom) {
    namespace fs = std::filesystem;
    ModuleFinderWindow finder(app.comm, app.config);
    finder.showSerialDevices(devices());
    const int pty = finder.PortChoice->findText(sim->ptyDevice());
    ASSERT_GT(pty, 9);
    EXPECT_EQ(finder.PortChoice->findText("/dev/ttyUSB7"), pty + 1);
    finder.PortChoice->setCurrentIndex(pty);
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 2);
    finder.FromAddress->setValue(16);
    finder.ToAddress->setValue(18);
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 10000));
    ASSERT_EQ(finder.Answers->count(), 2);
    EXPECT_TRUE(finder.Answers->item(1)->text().startsWith("adresa 17   19200 Bd   parita žádná"));
    // The resolver of the program is back.
    EXPECT_EQ(app.comm.channel.resolvePort("COM3"), dir.filePath("COM3").toStdString());
    // Obnovit keeps the device chosen.
    finder.showSerialDevices(devices());
    EXPECT_EQ(finder.PortChoice->currentText(), sim->ptyDevice());

    finder.ComChoice->setCurrentIndex(1);
    finder.Answers->setCurrentRow(0);
    test::MessageRecorder messages;
    finder.B_Pouzit->click();
    EXPECT_EQ(finder.result(), QDialog::Accepted);
    EXPECT_EQ(fs::read_symlink("COM2"), sim->ptyDevice().toStdString());
    const QByteArray bytes = test::fileBytes(dir.filePath("COM.CFG"));
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], 2);  // COM2
    EXPECT_EQ(bytes[2], 2);  // 19200 Bd
    EXPECT_EQ(bytes[5], 0);  // even parity
    EXPECT_EQ(app.comm.channel.SelectedPortName, "COM2");
}

}  // namespace
}  // namespace velor
