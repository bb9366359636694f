// A whole exchange through the channel table's operations on a serial channel whose port is one
// end of a pseudo-terminal pair.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QTest>
#include <QTimer>

#include <vector>

#include "ChannelExchangeSamples.h"
#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/CommState.h"
#include "comm/TransferWindow.h"
#include "support/EngineWiring.h"
#include "support/HexBytes.h"
#include "support/QtAppEnvironment.h"

using namespace velor;
using velor::test::Exchange;
using velor::test::hex;
using velor::test::kFramed;
using velor::test::kReply;
using velor::test::toHex;

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
    test::ChannelEngine wired(comm);

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
