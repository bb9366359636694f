// Whole exchanges through the channel table's operations: a TCP channel to a loopback peer and
// a serial channel whose port is one end of a pseudo-terminal pair.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <vector>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/CommState.h"
#include "comm/TcpTransport.h"
#include "comm/TransferWindow.h"
#include "support/HexBytes.h"
#include "support/QtAppEnvironment.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

namespace {

// d e = 0D 0E; CS of 01 02 03 0D 0E is 21.
const char* const kReply = "68 05 05 68 01 02 03 0D 0E 21 16";
const char* const kFramed = "68 04 04 68 05 40 6C 0B BC 16";

struct Exchange {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kBufferSize);
    TransferRequest req;
    Exchange() {
        const auto user = hex("05 40 6C 0B");
        std::copy(user.begin(), user.end(), data.begin());
        req.Buffer = data;
        req.Length = 4;
        req.step(1) = {kOpSendFrame, 0, 1000};
        req.step(2) = {kOpReceiveFrame, 0, 1000};
        req.step(3) = {kOpEnd, 0, 0};
    }
};

}  // namespace

TEST(ChannelExchange, TcpChannelToALoopbackPeer) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QByteArray received;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&, peer] {
            received += peer->readAll();
            const auto reply = hex(kReply);
            // The reply goes out in two portions, some ticks apart.
            peer->write(reinterpret_cast<const char*>(reply.data()), 6);
            QTimer::singleShot(40, peer, [peer, reply] {
                peer->write(reinterpret_cast<const char*>(reply.data()) + 6, 5);
            });
        });
    });

    CommState comm;
    TForm_TCP tcp(server.serverPort());
    comm.channel.tcp = &tcp;
    comm.channel.ChannelTable.record(1)->PortNumber = 0;
    setTcpHost(*comm.channel.ChannelTable.record(1), "127.0.0.1");
    ChannelTableIo io(comm.channel);
    SystemClock clock;
    TransferWindowFactoryQt windows({comm.engine, io, clock, comm.channel.TransferResult});
    comm.engine.Windows = &windows;

    OpenChannel(comm.channel, 1);
    EXPECT_EQ(comm.channel.TransferResult, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }));

    Exchange x;
    QueueRequest(comm.engine, x.req);
    ASSERT_TRUE(QTest::qWaitFor([&] { return x.req.Status != kStatusRunning; }));
    EXPECT_EQ(x.req.Status, kStatusDone);
    EXPECT_EQ(x.req.Length, 2);
    EXPECT_EQ(toHex(x.data.data(), 2), "0D 0E");
    EXPECT_EQ(toHex(reinterpret_cast<const std::uint8_t*>(received.constData()),
                    static_cast<std::size_t>(received.size())),
              kFramed);
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
    CloseChannel(comm.channel, 1);
    EXPECT_EQ(tcp.TcpState(1).state, 1);
}

TEST(ChannelExchange, SerialChannelOverAPseudoTerminal) {
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    ASSERT_EQ(openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    CommState comm;
    PortRecord& record = *comm.channel.ChannelTable.record(1);
    record.PortNumber = 1;
    record.BaudIndex = 3;
    comm.channel.SelectedPortName = "COM1";
    const std::string device = slaveName;
    comm.channel.resolvePort = [device](const std::string&) { return device; };
    ChannelTableIo io(comm.channel);
    SystemClock clock;
    TransferWindowFactoryQt windows({comm.engine, io, clock, comm.channel.TransferResult});
    comm.engine.Windows = &windows;

    comm.channel.TransferResult = 0;
    OpenChannel(comm.channel, 1);
    ::close(slave);  // the channel holds its own descriptor now
    ASSERT_EQ(comm.channel.TransferResult, 0);

    Exchange x;
    std::vector<std::uint8_t> received;
    QueueRequest(comm.engine, x.req);
    const auto reply = hex(kReply);
    std::size_t sent = 0;
    // The module: collect the request, then answer a few bytes at a time.
    (void)QTest::qWaitFor([&] {
        std::uint8_t b[64];
        const ssize_t n = ::read(master, b, sizeof b);
        if (n > 0) received.insert(received.end(), b, b + n);
        if (received.size() >= 10 && sent < reply.size()) {
            const std::size_t part = std::min<std::size_t>(4, reply.size() - sent);
            sent += static_cast<std::size_t>(::write(master, reply.data() + sent, part));
        }
        return x.req.Status != kStatusRunning;
    });
    EXPECT_EQ(toHex(received), kFramed);
    EXPECT_EQ(x.req.Status, kStatusDone);
    EXPECT_EQ(x.req.Length, 2);
    EXPECT_EQ(toHex(x.data.data(), 2), "0D 0E");
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
    CloseChannel(comm.channel, 1);
    ::close(master);
}

// The start-up open of a serial channel fails (COM0 leads nowhere): a request on it ends with
// Status 4 long before one reply time-out, without touching any device.
TEST(ChannelExchange, SerialChannelThatDidNotOpenIsUnusableAtOnce) {
    CommState comm;
    PortRecord& record = *comm.channel.ChannelTable.record(1);
    record.PortNumber = 1;
    record.BaudIndex = 3;
    comm.channel.SelectedPortName = "COM0";
    comm.channel.resolvePort = [](const std::string&) { return std::string(); };
    ChannelTableIo io(comm.channel);
    SystemClock clock;
    TransferWindowFactoryQt windows({comm.engine, io, clock, comm.channel.TransferResult});
    comm.engine.Windows = &windows;
    OpenChannel(comm.channel, 1);
    ASSERT_EQ(comm.channel.TransferResult, kOpenFailed);
    EXPECT_FALSE(io.isUsable(1));

    Exchange x;
    QElapsedTimer elapsed;
    elapsed.start();
    QueueRequest(comm.engine, x.req);
    (void)QTest::qWaitFor([&] { return x.req.Status != kStatusRunning; });
    EXPECT_EQ(x.req.Status, kStatusPortUnusable);
    EXPECT_LT(elapsed.elapsed(), 500);  // the steps wait 1000 ms for a reply
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
}
