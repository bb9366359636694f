// The window "Hledání modulů" where the system numbers the COM ports itself: nothing to assign,
// a note on where the numbers change, and a port above COM9 swept and adopted as it is. The
// simulator's KALU at 1 is on the COM port of the test set-up (VELOR_TEST_SIM_PORT).

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <gtest/gtest.h>

#include "FinderFixture.h"
#include "comm/Channel.h"
#include "comm/SerialPortName.h"
#include "finder/ModuleFinderWindow.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

class FinderComPortTest : public test::FinderFixture {
protected:
    void SetUp() override {
        FinderFixture::SetUp();
        const char* sim = std::getenv("VELOR_TEST_SIM_PORT");
        ASSERT_NE(sim, nullptr);
        simPort = sim;
    }

    // The simulator's port as the system lists it, and COM3, a port below COM10.
    std::vector<SerialDevice> devices() const {
        SerialDevice port;
        port.device = simPort;
        port.description = "USB Serial Port";
        port.hasUsbIds = true;
        port.vendorId = 0x0403;
        port.productId = 0x6001;
        port.serialNumber = "A1B2C3";
        port.access.problem = PortAccess::Problem::None;
        port.access.exists = port.access.accessible = true;
        SerialDevice held;
        held.device = "COM3";
        held.access.problem = PortAccess::Problem::InUse;
        held.access.exists = true;
        return {port, held};
    }

    std::string simPort;
};

TEST_F(FinderComPortTest, NothingToAssignAndTheNoteSaysWhereNumbersChange) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.show();
    finder.showSerialDevices(devices());
    EXPECT_FALSE(finder.B_Priradit->isVisible());
    EXPECT_FALSE(finder.ComChoice->isVisible());
    bool noted = false;
    for (const QLabel* label : finder.findChildren<QLabel*>())
        noted = noted || label->text().contains(QStringLiteral("Správci zařízení"));
    EXPECT_TRUE(noted);
    ASSERT_EQ(finder.Devices->count(), 2);
    const QString port = finder.Devices->item(0)->text();
    for (const char* part : {"USB 0403:6001", "sériové číslo A1B2C3", "„USB Serial Port“"})
        EXPECT_TRUE(port.contains(QString::fromUtf8(part))) << port.toStdString();
    EXPECT_TRUE(finder.Devices->item(1)->text().contains(QStringLiteral("jiný program")));
    // COM3 is in the port list once; the port above COM9 joins it.
    EXPECT_EQ(finder.PortChoice->findText(QStringLiteral("COM3"), Qt::MatchStartsWith), 3);
    EXPECT_EQ(finder.PortChoice->count(), 11);
    EXPECT_EQ(finder.PortChoice->itemText(10), QString::fromStdString(simPort));
    finder.hide();
}

TEST_F(FinderComPortTest, APortAboveCom9IsSweptAndAdoptedByItsNumber) {
    ModuleFinderWindow finder(app.comm, app.config);
    finder.showSerialDevices(devices());
    finder.PortChoice->setCurrentIndex(
        finder.PortChoice->findText(QString::fromStdString(simPort)));
    for (std::size_t i = 0; i < finder.BaudChecks.size(); ++i)
        finder.BaudChecks[i]->setChecked(i == 3);  // 38400 Bd
    finder.ParityChoice->setCurrentIndex(2);       // none
    finder.FromAddress->setValue(0);
    finder.ToAddress->setValue(2);
    finder.Timeout->setValue(500);  // Wine's way to the terminal is slower than a driver's
    finder.B_Hledat->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finder.sweeping(); }, 20000));
    ASSERT_EQ(finder.Answers->count(), 1);
    EXPECT_TRUE(finder.Answers->item(0)->text().startsWith("adresa 1   38400 Bd"))
        << finder.Answers->item(0)->text().toStdString();

    finder.Answers->setCurrentRow(0);
    test::MessageRecorder messages;
    finder.B_Pouzit->click();
    EXPECT_EQ(finder.result(), QDialog::Accepted);
    const QByteArray bytes = test::fileBytes(dir.filePath("COM.CFG"));
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes[0], portNumberOfName(simPort));  // the system's number, no link made
    EXPECT_EQ(app.comm.channel.SelectedPortName, simPort);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("COM*")}).contains("COM.CFG"));
}

}  // namespace
}  // namespace velor
