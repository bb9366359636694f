// The serial layer on the system's COM ports, as a Windows program meets them. The ports are
// those of the test set-up (VELOR_TEST_ECHO_PORT: every byte comes back; VELOR_TEST_SIM_PORT:
// the module simulator with a KALU at 1; VELOR_TEST_PLUG_DIR: the file "unplugged" there pulls
// the echo port's adapter). Under Wine both are pseudo-terminals on the Linux side, which carry
// no parity bit.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <string>
#include <vector>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/CommState.h"
#include "comm/SerialPortName.h"
#include "comm/SerialPortWin32.h"
#include "comm/TransferWindow.h"
#include "modules/RequestBuilders.h"
#include "support/EngineWiring.h"
#include "support/QtAppEnvironment.h"

using namespace velor;

namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Reads until count bytes have come or two seconds have passed.
std::vector<std::uint8_t> readBack(SerialPort& port, std::size_t count) {
    std::vector<std::uint8_t> got;
    (void)QTest::qWaitFor(
        [&] {
            std::uint8_t buffer[64];
            const int n = port.read(buffer, sizeof buffer);
            got.insert(got.end(), buffer, buffer + n);
            return got.size() >= count;
        },
        2000);
    return got;
}

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        echo_ = fromEnvironment("VELOR_TEST_ECHO_PORT");
        plugDir_ = QString::fromStdString(fromEnvironment("VELOR_TEST_PLUG_DIR"));
        ASSERT_FALSE(echo_.empty()) << "VELOR_TEST_ECHO_PORT names no port";
    }
    std::string echo_;
    QString plugDir_;
};

}  // namespace

TEST(ComPortNameTest, EveryPortOpensByItsDeviceName) {
    EXPECT_EQ(win32DeviceName("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(win32DeviceName("COM12"), "\\\\.\\COM12");  // only this form opens COM10 and up
    EXPECT_EQ(win32DeviceName("\\\\.\\COM12"), "\\\\.\\COM12");
    EXPECT_EQ(defaultPortResolver("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(defaultPortResolver("COM0"), "");
    EXPECT_EQ(defaultPortResolver("LPT1"), "");
    EXPECT_FALSE(comEntriesInWorkingDirectory());
}

// A port another program holds fails to open with ERROR_ACCESS_DENIED (a file held unshared
// gives ERROR_SHARING_VIOLATION, which Wine also shows): named as in use, not as missing.
TEST(ComPortNameTest, AHeldPortIsInUseAndAMissingOneIsMissing) {
    EXPECT_EQ(portAccessOfOpenError(ERROR_ACCESS_DENIED).problem, PortAccess::Problem::InUse);
    EXPECT_TRUE(portAccessOfOpenError(ERROR_ACCESS_DENIED).exists);
    EXPECT_EQ(portAccessOfOpenError(ERROR_FILE_NOT_FOUND).problem, PortAccess::Problem::Missing);
    EXPECT_FALSE(portAccessOfOpenError(ERROR_FILE_NOT_FOUND).exists);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("držený.bin"));
    const HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_WRITE,
                                    0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const PortAccess a = checkPortAccess(path.toStdString());
    CloseHandle(held);
    EXPECT_EQ(a.problem, PortAccess::Problem::InUse);
    EXPECT_NE(a.remedy.find("in use"), std::string::npos) << a.remedy;
    EXPECT_EQ(checkPortAccess("COM250").problem, PortAccess::Problem::Missing);
}

TEST_F(ComPortTest, OpensWithTheSettingsTheDriverKept) {
    const auto port = createSerialPort();
    ASSERT_TRUE(port->open(echo_, 19200, true));
    EXPECT_EQ(port->settings().baud, 19200u);
    EXPECT_EQ(port->settings().dataBits, 8);
    // Read back, not stored as asked: the pseudo-terminal behind the port took no parity.
    EXPECT_FALSE(port->settings().evenParity);
    port->close();
    EXPECT_FALSE(port->isOpen());
    ASSERT_TRUE(port->open(echo_, 57600, false));
    EXPECT_EQ(port->settings().baud, 57600u);
}

TEST_F(ComPortTest, ReadsNothingAtOnceThenWhatWasWritten) {
    const auto port = createSerialPort();
    ASSERT_TRUE(port->open(echo_, 38400, false));
    std::uint8_t buffer[16];
    // An empty port: the read comes back with nothing instead of waiting for a byte.
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0);

    const std::vector<std::uint8_t> frame{0x10, 0x5B, 0x01, 0x5C, 0x16};
    EXPECT_EQ(port->write(frame.data(), static_cast<int>(frame.size())), 5);
    EXPECT_EQ(readBack(*port, frame.size()), frame);
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0);

    ASSERT_TRUE(port->transmitByte(0xE5));
    EXPECT_EQ(readBack(*port, 1), std::vector<std::uint8_t>{0xE5});
    EXPECT_EQ(port->lineState().errors, 0u);
    EXPECT_FALSE(port->deviceLost());
}

TEST_F(ComPortTest, LargeWritesArriveWhole) {
    const auto port = createSerialPort();
    ASSERT_TRUE(port->open(echo_, 57600, false));
    std::vector<std::uint8_t> block(600);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    // Two writes in a row: the second waits behind the first instead of replacing it.
    EXPECT_EQ(port->write(block.data(), 300), 300);
    EXPECT_EQ(port->write(block.data() + 300, 300), 300);
    std::vector<std::uint8_t> got;
    (void)QTest::qWaitFor(
        [&] {
            (void)port->lineState();  // starts what waited
            std::uint8_t buffer[256];
            const int n = port->read(buffer, sizeof buffer);
            got.insert(got.end(), buffer, buffer + n);
            return got.size() >= block.size();
        },
        5000);
    EXPECT_EQ(got, block);
}

TEST_F(ComPortTest, APulledAdapterIsNoticedAndOpensAgainWhenBack) {
    ASSERT_FALSE(plugDir_.isEmpty());
    const QString unplugged = QDir(plugDir_).filePath(QStringLiteral("unplugged"));
    const auto port = createSerialPort();
    ASSERT_TRUE(port->open(echo_, 19200, false));
    {
        QFile marker(unplugged);
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    std::uint8_t buffer[16];
    const bool lost = QTest::qWaitFor(
        [&] {
            (void)port->read(buffer, sizeof buffer);
            (void)port->lineState();
            return port->deviceLost();
        },
        5000);
    QFile::remove(unplugged);
    ASSERT_TRUE(lost);
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0);
    port->close();
    EXPECT_FALSE(port->deviceLost());
    // Plugged back: a new terminal behind the same name opens and carries bytes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return port->open(echo_, 19200, false); }, 5000));
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    port->write(bytes.data(), 3);
    EXPECT_EQ(readBack(*port, 3), bytes);
}

// The program's transfer engine polls the simulator's KALU over the COM port.
TEST(ComPortExchangeTest, TheEnginePollsAKaluOverTheComPort) {
    const std::string sim = fromEnvironment("VELOR_TEST_SIM_PORT");
    ASSERT_FALSE(sim.empty()) << "VELOR_TEST_SIM_PORT names no port";
    CommState comm;
    PortRecord& record = *comm.channel.ChannelTable.record(1);
    record.PortNumber = static_cast<std::uint8_t>(portNumberOfName(sim));
    record.BaudIndex = 3;
    comm.channel.SelectedPortName = sim;
    test::ChannelEngine wired(comm);
    comm.channel.TransferResult = 0;
    OpenChannel(comm.channel, 1);
    ASSERT_EQ(comm.channel.TransferResult, 0);

    MonitorSource source;
    source.kind = RequestKind::Kalu;
    source.analogAddress = 1;
    source.kaluOutputs = {1, 2, 3, 4, 5, 6};
    for (int poll = 0; poll < 3; ++poll) {
        const auto user = monitorUserData(source).bytes;
        std::vector<std::uint8_t> buffer(kBufferSize);
        std::copy(user.begin(), user.end(), buffer.begin());
        TransferRequest req;
        req.Buffer = buffer;
        req.Length = static_cast<std::int32_t>(user.size());
        req.step(1) = {kOpSendFrame, 0, 1000};
        req.step(2) = {kOpReceiveFrame, 0, 1000};
        req.step(3) = {kOpEnd, 0, 0};
        comm.engine.RequestKind = RequestKind::Kalu;
        QueueRequest(comm.engine, req);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return req.Status != kStatusRunning && req.Status != kStatusQueued &&
                       comm.engine.TransferWindow == nullptr;
            },
            10000));
        EXPECT_EQ(req.Status, kStatusDone) << "poll " << poll;
        EXPECT_EQ(req.Length, 48) << "poll " << poll;  // twelve values of four bytes
    }
    CloseChannel(comm.channel, 1);
}
