// Whole exchanges through the channel table's operations: a TCP channel to a loopback peer, and
// a serial channel that did not open.

#include <gtest/gtest.h>

#include <QTest>

#include <vector>

#include "ChannelExchangeSamples.h"
#include "comm/Channel.h"
#include "comm/CommState.h"
#include "comm/TcpTransport.h"
#include "support/EngineWiring.h"
#include "support/HexBytes.h"
#include "support/LoopbackPeer.h"
#include "support/QtAppEnvironment.h"

using namespace velor;
using namespace velor::test;

TEST(ChannelExchange, TcpChannelToALoopbackPeer) {
    // The reply goes out in two portions, some ticks apart.
    LoopbackPeer peer;
    const QByteArray reply = QByteArray::fromHex(QByteArray(kReply).replace(' ', ""));
    peer.replyChunks = {reply.left(6), reply.mid(6)};
    peer.chunkGapMs = 40;

    CommState comm;
    TForm_TCP tcp(peer.port());
    comm.channel.tcp = &tcp;
    comm.channel.ChannelTable.record(1)->PortNumber = 0;
    setTcpHost(*comm.channel.ChannelTable.record(1), "127.0.0.1");
    ChannelEngine wired(comm);

    OpenChannel(comm.channel, 1);
    EXPECT_EQ(comm.channel.TransferResult, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }));

    Exchange x;
    QueueRequest(comm.engine, x.req);
    ASSERT_TRUE(QTest::qWaitFor([&] { return x.req.Status != kStatusRunning; }));
    EXPECT_EQ(x.req.Status, kStatusDone);
    EXPECT_EQ(x.req.Length, 2);
    EXPECT_EQ(toHex(x.data.data(), 2), "0D 0E");
    EXPECT_EQ(toHex(reinterpret_cast<const std::uint8_t*>(peer.received.constData()),
                    static_cast<std::size_t>(peer.received.size())),
              kFramed);
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
    CloseChannel(comm.channel, 1);
    EXPECT_EQ(tcp.TcpState(1).state, 1);
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
    ChannelEngine wired(comm);
    OpenChannel(comm.channel, 1);
    ASSERT_EQ(comm.channel.TransferResult, kOpenFailed);
    EXPECT_FALSE(wired.io.isUsable(1));

    Exchange x;
    QElapsedTimer elapsed;
    elapsed.start();
    QueueRequest(comm.engine, x.req);
    (void)QTest::qWaitFor([&] { return x.req.Status != kStatusRunning; });
    EXPECT_EQ(x.req.Status, kStatusPortUnusable);
    EXPECT_LT(elapsed.elapsed(), 500);  // the steps wait 1000 ms for a reply
    (void)QTest::qWaitFor([&] { return comm.engine.TransferWindow == nullptr; });
}
