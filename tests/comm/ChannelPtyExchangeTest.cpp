// A whole exchange through the channel table's operations on a serial channel whose port is one
// end of a pseudo-terminal pair.

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <vector>

#include "ChannelExchangeSamples.h"
#include "comm/Channel.h"
#include "comm/CommState.h"
#include "support/EngineWiring.h"
#include "support/HexBytes.h"
#include "support/PtyPair.h"
#include "support/QtAppEnvironment.h"

using namespace velor;
using namespace velor::test;

TEST(ChannelExchange, SerialChannelOverAPseudoTerminal) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());

    CommState comm;
    PortRecord& record = *comm.channel.ChannelTable.record(1);
    record.PortNumber = 1;
    record.BaudIndex = 3;
    comm.channel.SelectedPortName = "COM1";
    const std::string device = pty.slavePath();
    comm.channel.resolvePort = [device](const std::string&) { return device; };
    ChannelEngine wired(comm);

    comm.channel.TransferResult = 0;
    OpenChannel(comm.channel, 1);
    ASSERT_EQ(comm.channel.TransferResult, 0);

    Exchange x;
    std::vector<std::uint8_t> received;
    QueueRequest(comm.engine, x.req);
    const auto reply = hex(kReply);
    std::size_t sent = 0;
    // The module: collect the request, then answer a few bytes at a time.
    (void)QTest::qWaitFor([&] {
        const auto got = pty.drain();
        received.insert(received.end(), got.begin(), got.end());
        if (received.size() >= 10 && sent < reply.size()) {
            const std::size_t part = std::min<std::size_t>(4, reply.size() - sent);
            const auto from = reply.begin() + static_cast<std::ptrdiff_t>(sent);
            if (pty.send({from, from + static_cast<std::ptrdiff_t>(part)})) sent += part;
        }
        return x.req.Status != kStatusRunning;
    });
    EXPECT_EQ(toHex(received), kFramed);
    EXPECT_EQ(x.req.Status, kStatusDone);
    EXPECT_EQ(x.req.Length, 2);
    EXPECT_EQ(toHex(x.data.data(), 2), "0D 0E");
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
    CloseChannel(comm.channel, 1);
}
