#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cerrno>

#include <filesystem>
#include <fstream>
#include <map>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/SerialDevices.h"
#include "comm/SerialPortPosix.h"
#include "comm/TcpLink.h"
#include "support/PtyPair.h"

namespace velor {
namespace {

using test::eventually;
using test::PtyPair;
using Bytes = std::vector<std::uint8_t>;

// Serial channel 1 whose COM names lead only to the test's own pseudo-terminals.
class SerialChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        PortRecord& r = *state.ChannelTable.record(1);
        setDefaultPortRecord(r);
        r.PortNumber = 2;
        state.SelectedPortName = "COM2";
        devices["COM2"] = pty.slavePath();
        state.resolvePort = [this](const std::string& name) {
            auto it = devices.find(name);
            return it == devices.end() ? std::string("/nonexistent/velor-test") : it->second;
        };
    }
    void TearDown() override {
        CloseChannel(state, 1);
        CloseChannel(state, 2);
    }

    PtyPair pty;
    std::map<std::string, std::string> devices;
    ChannelState state;
};

TEST_F(SerialChannelTest, OpensAtEveryBaudIndexAndParity) {
    for (std::uint16_t index = 0; index < 5; ++index) {
        for (std::uint8_t noParity : {0, 1, 0x55}) {
            SCOPED_TRACE(testing::Message() << "index " << index << " noParity " << int{noParity});
            state.ChannelTable.record(1)->BaudIndex = index;
            state.ChannelTable.record(1)->NoParity = noParity;
            state.TransferResult = 0;
            OpenChannel(state, 1);
            EXPECT_EQ(state.TransferResult, 0);
            EXPECT_EQ(state.CurrentChannel, 1);
            SerialPort* port = channelSerialPort(state, 1);
            ASSERT_NE(port, nullptr);
            EXPECT_EQ(port->settings().baud, BaudRates[index]);
            EXPECT_EQ(port->settings().dataBits, 8);
            EXPECT_GE(state.ChannelTable.record(1)->Handle, 0);
            CloseChannel(state, 1);
            EXPECT_EQ(channelSerialPort(state, 1), nullptr);
        }
    }
}

TEST_F(SerialChannelTest, WritesAndReadsWithQueueCounts) {
    OpenChannel(state, 1);
    ASSERT_NE(channelSerialPort(state, 1), nullptr);
    ChannelTableIo io(state);

    const Bytes out{0x10, 0x40, 0x6C, 0x00, 0xFF, 0x16};
    EXPECT_EQ(WriteChannel(state, 1, out.data(), static_cast<int>(out.size())), 6);
    EXPECT_EQ(pty.receive(out.size()), out);

    Bytes buffer(16, 0);
    EXPECT_EQ(ReadChannel(state, 1, buffer.data(), 16), 0);  // nothing there: no wait
    const Bytes in{0xE5, 0x01, 0x02, 0x03, 0x04};
    ASSERT_TRUE(pty.send(in));
    ASSERT_TRUE(eventually([&] { return io.lineState(1).inQueue == in.size(); }));
    EXPECT_EQ(io.lineState(1).errors, 0u);  // a pseudo-terminal has no error counters
    EXPECT_EQ(ReadChannel(state, 1, buffer.data(), 3), 3);
    EXPECT_EQ(io.lineState(1).inQueue, 2u);
    EXPECT_EQ(io.read(1, buffer.data() + 3, 16), 2);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), in);

    EXPECT_TRUE(io.transmitByte(1, 0xA2));
    EXPECT_EQ(pty.receive(1), Bytes{0xA2});
}

// The far end does not read: the driver fills up, the write still takes the bytes (up to the
// queue size), the output queue shows them, and none is lost once the far end reads.
TEST_F(SerialChannelTest, FullDriverQueuesWithoutLosingBytes) {
    OpenChannel(state, 1);
    SerialPort* port = channelSerialPort(state, 1);
    ASSERT_NE(port, nullptr);
    Bytes sent;
    int rounds = 0;
    while (port->lineState().outQueue == 0 && rounds++ < 100) {
        Bytes block(1000);
        for (auto& b : block) b = static_cast<std::uint8_t>(sent.size() + (&b - block.data()));
        ASSERT_EQ(port->write(block.data(), 1000), 1000);
        sent.insert(sent.end(), block.begin(), block.end());
    }
    ASSERT_GT(port->lineState().outQueue, 0u);
    // Beyond the queue size the write says how much it took.
    Bytes big(kSerialQueueSize, 0xAB);
    const int taken = port->write(big.data(), kSerialQueueSize);
    EXPECT_LT(taken, kSerialQueueSize);
    sent.insert(sent.end(), big.begin(), big.begin() + taken);

    Bytes received;
    ASSERT_TRUE(eventually(
        [&] {
            const Bytes chunk = pty.receive(1, 20);
            received.insert(received.end(), chunk.begin(), chunk.end());
            port->lineState();  // hands queued bytes to the driver
            return received.size() >= sent.size();
        },
        5000));
    EXPECT_EQ(received, sent);
    EXPECT_EQ(port->lineState().outQueue, 0u);
}

TEST_F(SerialChannelTest, PortHeldElsewhereIsRefusedUntilClosed) {
    OpenChannel(state, 1);
    ASSERT_NE(channelSerialPort(state, 1), nullptr);

    SerialPortPosix other;  // another opener, also when running as root
    EXPECT_FALSE(other.open(pty.slavePath(), 9600, true));
    EXPECT_EQ(other.openError(), EBUSY);
    EXPECT_EQ(portProblem(pty.slavePath(), other.openError()), "in use by another program");
    EXPECT_FALSE(other.probe(pty.slavePath()));
    *state.ChannelTable.record(2) = *state.ChannelTable.record(1);
    state.TransferResult = 0;
    OpenChannel(state, 2);
    EXPECT_EQ(state.TransferResult, kOpenFailed);
    EXPECT_EQ(state.ChannelTable.record(2)->Handle, -1);

    CloseChannel(state, 1);
    EXPECT_TRUE(other.open(pty.slavePath(), 9600, true));
    other.close();
    EXPECT_TRUE(other.probe(pty.slavePath()));
}

// A session killed while it held the port leaves the terminal's exclusive flag set: the flag
// belongs to the terminal, which the far end of a pseudo-terminal keeps alive. A port that
// opens is usable; only an open that itself fails says the port is taken.
TEST_F(SerialChannelTest, ExclusiveFlagLeftByAKilledSessionDoesNotRefuseThePort) {
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    ::close(fd);  // gone without TIOCNXCL, as a killed copy goes
    SerialPortPosix port;
    if (::geteuid() != 0) {
        // The kernel refuses everybody but root while the flag is set.
        EXPECT_FALSE(port.open(pty.slavePath(), 9600, true));
        EXPECT_EQ(port.openError(), EBUSY);
        return;
    }
    ASSERT_TRUE(port.open(pty.slavePath(), 9600, true));
    EXPECT_EQ(port.openError(), 0);
    EXPECT_EQ(port.write(Bytes{0x10, 0x16}.data(), 2), 2);
    EXPECT_EQ(pty.receive(2), (Bytes{0x10, 0x16}));
    port.close();
    EXPECT_TRUE(port.probe(pty.slavePath()));
}

// Opening a channel that still holds its port releases the old one rather than losing it.
TEST_F(SerialChannelTest, OpenWithoutCloseDoesNotLeakThePort) {
    OpenChannel(state, 1);
    state.TransferResult = 0;
    OpenChannel(state, 1);
    EXPECT_EQ(state.TransferResult, 0);
    ASSERT_NE(channelSerialPort(state, 1), nullptr);
    CloseChannel(state, 1);
    SerialPortPosix other;
    EXPECT_TRUE(other.probe(pty.slavePath()));
}

TEST_F(SerialChannelTest, UnusablePortsGiveMinusTwo) {
    const std::string plainFile =
        (std::filesystem::temp_directory_path() / ("velor_plain_" + std::to_string(getpid())))
            .string();
    std::ofstream(plainFile) << "x";
    devices["COM4"] = plainFile;
    devices["COM6"] = "";

    struct Case {
        const char* name;
        std::string port;
        std::uint16_t baudIndex;
    };
    const Case cases[] = {
        {"missing device", "COM1", 3}, {"not a terminal", "COM4", 3},
        {"no device", "COM6", 3},      {"start-up name", "COM0", 3},
        {"baud index 5", "COM2", 5},   {"baud index 0xFFFF", "COM2", 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.SelectedPortName = c.port;
        state.ChannelTable.record(1)->BaudIndex = c.baudIndex;
        state.TransferResult = 0;
        OpenChannel(state, 1);
        EXPECT_EQ(state.TransferResult, kOpenFailed);
        EXPECT_EQ(channelSerialPort(state, 1), nullptr);
        Bytes b(4, 0);
        EXPECT_EQ(WriteChannel(state, 1, b.data(), 4), 0);
        EXPECT_EQ(ReadChannel(state, 1, b.data(), 4), 0);
    }
    SerialPortPosix port;
    EXPECT_FALSE(port.open(plainFile, 9600, true));
    EXPECT_EQ(port.openError(), ENOTTY);
    EXPECT_EQ(portProblem(plainFile, port.openError()), "not a serial port");
    std::filesystem::remove(plainFile);

    bool shown = false;
    ChannelTableIo io(state, [&] { shown = true; });
    EXPECT_EQ(io.reopen(), kOpenFailed);
    EXPECT_TRUE(shown);
}

TEST_F(SerialChannelTest, WrongChannelNumbersAreRefused) {
    ChannelTableIo io(state);
    for (int ch : {0, 3, -1}) {
        SCOPED_TRACE(ch);
        state.CurrentChannel = 1;
        state.TransferResult = 0;
        OpenChannel(state, ch);
        EXPECT_EQ(state.TransferResult, kOpenFailed);
        EXPECT_EQ(state.CurrentChannel, 1);
        EXPECT_FALSE(IsTcpChannel(state, ch));
        Bytes b(4, 0);
        EXPECT_EQ(ReadChannel(state, ch, b.data(), 4), 0);
        EXPECT_EQ(WriteChannel(state, ch, b.data(), 4), 0);
        CloseChannel(state, ch);
        EXPECT_FALSE(io.transmitByte(ch, 1));
        EXPECT_EQ(io.lineState(ch).inQueue, 0u);
        EXPECT_FALSE(io.ignoreLineErrors(ch));
    }
}

class FakeTcp : public TcpLink {
public:
    void TcpOpen(int channel, const std::string& host) override {
        log += "open " + std::to_string(channel) + " " + host + ";";
    }
    void TcpDisconnect(int, const std::string&) override { log += "disconnect;"; }
    void TcpClose(int channel, const std::string& host) override {
        log += "close " + std::to_string(channel) + " " + host + ";";
    }
    TcpStatus TcpState(int) override { return status; }
    int TcpSend(int, const std::uint8_t* data, int count) override {
        sent.insert(sent.end(), data, data + count);
        return count;
    }
    int TcpRead(int, std::uint8_t* destination, int count) override {
        const int n = std::min<int>(count, static_cast<int>(incoming.size()));
        std::copy_n(incoming.begin(), n, destination);
        incoming.erase(incoming.begin(), incoming.begin() + n);
        return n;
    }

    std::string log;
    TcpStatus status{2, 0};
    Bytes sent;
    Bytes incoming;
};

TEST(TcpChannelTest, PortNumberZeroGoesToTheTransportWhateverThePortName) {
    ChannelState state;
    state.resolvePort = [](const std::string&) { return std::string(); };
    PortRecord& r = *state.ChannelTable.record(1);
    setDefaultPortRecord(r);
    setTcpHost(r, "127.0.0.1");
    state.SelectedPortName = "COM1";

    OpenChannel(state, 1);  // no transport yet
    EXPECT_EQ(state.TransferResult, kNoTcpTransport);
    Bytes b{1, 2, 3};
    EXPECT_EQ(WriteChannel(state, 1, b.data(), 3), 0);

    FakeTcp tcp;
    state.tcp = &tcp;
    ChannelTableIo io(state);
    EXPECT_TRUE(io.isTcp(1));
    OpenChannel(state, 1);
    EXPECT_EQ(state.TransferResult, 2);
    tcp.status = {0, 3};
    EXPECT_EQ(io.reopen(), 0);
    EXPECT_EQ(io.tcpState(1).waiting, 3);
    EXPECT_EQ(WriteChannel(state, 1, b.data(), 3), 3);
    EXPECT_EQ(tcp.sent, b);
    tcp.incoming = {9, 8, 7};
    Bytes in(2, 0);
    EXPECT_EQ(ReadChannel(state, 1, in.data(), 2), 2);
    EXPECT_EQ(in, (Bytes{9, 8}));
    CloseChannel(state, 1);
    EXPECT_EQ(tcp.log, "open 1 127.0.0.1;open 1 127.0.0.1;close 1 127.0.0.1;");
}

}  // namespace
}  // namespace velor
