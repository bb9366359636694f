#include "comm/TcpTransport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "ChannelExchangeSamples.h"
#include "support/EngineWiring.h"
#include "support/HexBytes.h"
#include "support/LoopbackPeer.h"
#include "support/QtAppEnvironment.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

namespace {

using Peer = test::LoopbackPeer;

QByteArray bytes(const char* text) {
    const auto v = hex(text);
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

}  // namespace

TEST(TcpTransport, StateFollowsOpenConnectAndClose) {
    Peer peer;
    TForm_TCP tcp(peer.port());
    EXPECT_EQ(tcp.TcpState(1).state, 1);
    tcp.TcpOpen(1, "127.0.0.1");
    EXPECT_EQ(tcp.TcpState(1).state, 2);
    EXPECT_EQ(tcp.objectName(), "TForm_TCP");
    for (const char* name : {"ClientSocket1", "ClientSocket2"})
        EXPECT_NE(tcp.findChild<QTcpSocket*>(name), nullptr) << name;
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }));
    EXPECT_EQ(tcp.TcpState(2).state, 2);
    tcp.TcpClose(1, "127.0.0.1");
    EXPECT_EQ(tcp.TcpState(1).state, 1);
    EXPECT_FALSE(tcp.windowExists());

    // A channel that never connected: the close just destroys the sockets.
    TForm_TCP lonely(1);
    lonely.TcpOpen(2, "127.0.0.1");
    lonely.TcpClose(2, "127.0.0.1");
    EXPECT_EQ(lonely.TcpState(2).state, 1);
    lonely.TcpClose(2, "127.0.0.1");  // no window: nothing happens
}

TEST(TcpTransport, FailedConnectStaysInStateTwo) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    TForm_TCP tcp(closedPort);
    tcp.TcpOpen(1, "127.0.0.1");
    // A fixed span on purpose: the refused connect must leave the channel unconnected
    // throughout, so there is no event to wait for.
    QTest::qWait(100);
    EXPECT_EQ(tcp.TcpState(1).state, 2);
}

TEST(TcpTransport, ReceiveBufferOverflowAndPartialReads) {
    TForm_TCP tcp(1);
    tcp.TcpOpen(1, "127.0.0.1");  // creates the sockets; the connect is irrelevant here

    // Two arrivals of 600: only the second remains.
    tcp.NactiData(1, QByteArray(600, '\x01'));
    tcp.NactiData(1, QByteArray(600, '\x02'));
    EXPECT_EQ(tcp.RxCount(1), 600);
    std::vector<std::uint8_t> out(1000);
    EXPECT_EQ(tcp.TcpRead(1, out.data(), 1000), 600);
    EXPECT_EQ(out[0], 0x02);
    EXPECT_EQ(out[599], 0x02);

    // An arrival larger than the buffer is dropped whole and takes the older bytes with it.
    tcp.NactiData(1, bytes("AA BB"));
    tcp.NactiData(1, QByteArray(1001, '\x03'));
    EXPECT_EQ(tcp.RxCount(1), 0);

    struct Case {
        int ask;
        int taken;
        int left;
    };
    for (const Case c : {Case{10, 4, 0}, Case{-1, 0, 4}, Case{3, 3, 1}}) {
        tcp.TcpRead(1, out.data(), 1000);
        tcp.NactiData(1, bytes("01 02 03 04"));
        EXPECT_EQ(tcp.TcpRead(1, out.data(), c.ask), c.taken);
        EXPECT_EQ(tcp.RxCount(1), c.left);
    }
    EXPECT_EQ(tcp.TcpRead(1, out.data(), 1), 1);
    EXPECT_EQ(out[0], 0x04);
    // The other channel's buffer is separate.
    EXPECT_EQ(tcp.RxCount(2), 0);
}

TEST(TcpTransport, WholeExchangeThroughTheTransferWindow) {
    struct Case {
        std::vector<const char*> chunks;
        std::uint8_t status;
        std::int32_t length;
        const char* data;
    };
    const Case cases[] = {
        {{test::kReply}, kStatusDone, 2, "0D 0E"},
        {{"68 05", "05 68 01 02", "03 0D 0E", "21 16"}, kStatusDone, 2, "0D 0E"},
        {{"00", "E5"}, kStatusDone, 10, "E5"},
        {{"10 01 02", "09 03 16"}, kStatusFailed, 10, ""},
    };
    for (const Case& c : cases) {
        Peer peer;
        for (const char* chunk : c.chunks) peer.replyChunks.push_back(bytes(chunk));
        TForm_TCP tcp(peer.port());
        test::TcpEngine link(tcp);
        EngineState& engine = link.engine;

        tcp.TcpOpen(1, "127.0.0.1");
        ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }));

        test::Exchange x;
        TransferRequest& req = x.req;
        QueueRequest(engine, req);
        ASSERT_TRUE(QTest::qWaitFor([&] { return req.Status != kStatusRunning; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.TransferWindow == nullptr; }));
        EXPECT_EQ(req.Status, c.status);
        EXPECT_EQ(req.Length, c.length);
        EXPECT_EQ(toHex(x.data.data(), hex(c.data).size()), c.data);
        EXPECT_EQ(peer.received, bytes(test::kFramed));
        EXPECT_EQ(engine.RequestCount, 0);
        tcp.TcpClose(1, "127.0.0.1");
    }
}

TEST(TcpTransport, QueuedRequestsRunOneAfterTheOther) {
    Peer peer;
    peer.replyChunks = {bytes("E5")};
    TForm_TCP tcp(peer.port());
    test::TcpEngine link(tcp);
    EngineState& engine = link.engine;
    tcp.TcpOpen(1, "127.0.0.1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }));

    std::vector<std::vector<std::uint8_t>> buffers(3, std::vector<std::uint8_t>(kBufferSize));
    std::vector<TransferRequest> reqs(3);
    for (std::size_t i = 0; i < reqs.size(); ++i) {
        buffers[i][0] = static_cast<std::uint8_t>(i + 1);
        reqs[i].Buffer = buffers[i];
        reqs[i].Length = 1;
        reqs[i].step(1) = {kOpSendFrame, 0, 1000};
        reqs[i].step(2) = {kOpReceiveFrame, 0, 1000};
        reqs[i].step(3) = {kOpEnd, 0, 0};
        QueueRequest(engine, reqs[i]);
    }
    EXPECT_EQ(reqs[1].Status, kStatusQueued);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return engine.RequestCount == 0 && !engine.TransferWindow; }));
    for (const auto& r : reqs) EXPECT_EQ(r.Status, kStatusDone);
    EXPECT_EQ(peer.received,
              bytes("68 01 01 68 01 01 16 68 01 01 68 02 02 16 68 01 01 68 03 03 16"));
}

// The peer goes away while the channel is open: the transport notices it (state 2), takes no
// bytes while it is gone, and connects again by itself once the peer listens again.
TEST(TcpTransport, LostPeerIsNoticedAndConnectedAgainWhenItIsBack) {
    Peer peer;
    const quint16 port = peer.port();
    TForm_TCP tcp(port);
    tcp.TcpOpen(1, "127.0.0.1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.client != nullptr; }, 5000));

    peer.server.close();
    peer.client->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 2; }, 5000));
    const std::uint8_t frame[] = {0x10, 0x05, 0x40, 0x69, 0xAE, 0x16};
    EXPECT_EQ(tcp.TcpSend(1, frame, 6), 0);
    // Refused connects in the meantime change nothing (a fixed span on purpose: two retries).
    QTest::qWait(2 * kTcpRetryMs);
    EXPECT_EQ(tcp.TcpState(1).state, 2);

    peer.client = nullptr;
    peer.received.clear();
    ASSERT_TRUE(peer.server.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tcp.TcpState(1).state == 0; }, 5000));
    EXPECT_EQ(tcp.TcpSend(1, frame, 6), 6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.received.size() == 6; }, 5000));

    // A channel closed on purpose is left alone (a fixed span on purpose: no retry may come).
    tcp.TcpDisconnect(1, "127.0.0.1");
    QTest::qWait(2 * kTcpRetryMs);
    EXPECT_EQ(tcp.TcpState(1).state, 2);
}

TEST(TcpTransport, NotConnectedPeerFailsEveryAttemptAtOnce) {
    TForm_TCP tcp(1);  // nothing listens on port 1
    test::TcpEngine link(tcp);
    EngineState& engine = link.engine;
    tcp.TcpOpen(1, "127.0.0.1");

    std::vector<std::uint8_t> data(kBufferSize, 0);
    TransferRequest req;
    req.Buffer = data;
    req.Length = 4;
    req.step(1) = {kOpSendFrame, 0, 5000};
    req.step(2) = {kOpReceiveFrame, 0, 5000};
    req.step(3) = {kOpEnd, 0, 0};
    QElapsedTimer timer;
    timer.start();
    QueueRequest(engine, req);
    ASSERT_TRUE(QTest::qWaitFor([&] { return req.Status == kStatusFailed; }));
    EXPECT_LT(timer.elapsed(), 2000);                   // far below one step time-out
    EXPECT_EQ(link.transferResult, kResultTcpNotSent);  // the frame never went out
    (void)QTest::qWaitFor([&] { return engine.TransferWindow == nullptr; });
}
