#include "comm/TrafficTap.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "comm/ChannelTableIo.h"
#include "comm/CommState.h"
#include "comm/TcpLink.h"
#include "comm/TrafficCapture.h"
#include "comm/TransferEngine.h"
#include "support/HexBytes.h"
#include "support/ManualClocks.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string frameHex(const TrafficTap& tap, std::uint64_t seq) {
    const auto b = tap.bytes(*tap.frame(seq));
    return toHex(b.data(), b.size());
}

std::string frameText(const TrafficTap& tap, std::uint64_t seq) {
    const TrafficFrame& f = *tap.frame(seq);
    return verdictText(f.verdict, tap.bytes(f));
}

ExchangeOutcome outcome(int attempt, std::int32_t result, std::uint8_t status) {
    ExchangeOutcome o;
    o.kind = 0;
    o.address = 5;
    o.attempt = attempt;
    o.transferResult = result;
    o.status = status;
    o.timeoutMs = 200;
    return o;
}

const char* const kRequest = "68 08 08 68 05 40 6C 0B 02 00 00 64 22 16";

}  // namespace

TEST(TrafficTap, FramesOfAnExchangeWithRetryLateBytesAndSplitReply) {
    test::ManualTrafficClock clock;
    TrafficTap tap(clock);

    // Attempt 1: the check byte is wrong.
    tap.attemptStarted({0, 1});
    tap.written(hex(kRequest));
    clock.us += 20'000;
    tap.read(hex("68 05 05 68 01 02 03 04 05 10 16"));
    tap.attemptEnded(outcome(1, -3, 1));
    // Stale bytes read before attempt 2 are a late answer of attempt 1.
    clock.us += 10'000;
    tap.read(hex("E5"));
    tap.attemptStarted({0, 2});
    tap.written(hex(kRequest));
    // Attempt 2: noise, then the reply in two pieces 15 ms apart.
    clock.us += 5'000;
    tap.read(hex("01 68 05"));
    const std::int64_t firstPiece = clock.us;
    clock.us += 15'000;
    tap.read(hex("05 68 01 02 03 04 05 0F 16"));
    tap.attemptEnded(outcome(2, 0, 2));

    struct Row {
        Direction direction;
        int attempt;
        const char* bytes;
        const char* text;
    };
    const std::vector<Row> rows = {
        {Direction::Tx, 1, kRequest, "čtení 02:0000 100 B"},
        {Direction::Rx, 1, "68 05 05 68 01 02 03 04 05 10 16",
         "chybný kontrolní součet: očekáván 0F, přišel 10"},
        {Direction::Rx, 0, "E5", "pozdě, po konci výměny: potvrzení E5"},
        {Direction::Tx, 2, kRequest, "opakování 2 ze 3: čtení 02:0000 100 B"},
        {Direction::Rx, 2, "01", "zahozeno 1 B před počátečním bajtem"},
        {Direction::Rx, 2, "68 05 05 68 01 02 03 04 05 0F 16", "odpověď v pořádku (2 B dat)"},
    };
    ASSERT_EQ(tap.nextSeq(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TrafficFrame& f = *tap.frame(i);
        EXPECT_EQ(f.direction, rows[i].direction) << i;
        EXPECT_EQ(f.attempt, rows[i].attempt) << i;
        EXPECT_EQ(f.address, 5) << i;
        EXPECT_EQ(frameHex(tap, i), toHex(hex(rows[i].bytes))) << i;
        EXPECT_EQ(frameText(tap, i), rows[i].text) << i;
    }
    // A frame is stamped with the arrival of its first byte, not of its last.
    EXPECT_EQ(tap.frame(5)->time.monoUs, firstPiece);
    EXPECT_EQ(tap.frame(5)->time.wallUs - tap.frame(5)->time.monoUs, 1'700'000'000'000'000);

    const AddressStats& s = tap.stats().addresses().at(5);
    EXPECT_EQ(s.requests, 2u);
    EXPECT_EQ(s.retries, 1u);
    EXPECT_EQ(s.answered, 1u);
    EXPECT_EQ(s.failed, 0u);
    EXPECT_EQ(s.late, 1u);
    EXPECT_EQ(s.badFrames(), 1u);
    EXPECT_EQ(s.received[static_cast<std::size_t>(Verdict::WrongChecksum)], 1u);
    ASSERT_EQ(s.times.count(), 1u);
    EXPECT_EQ(s.times.max(), 20);  // send to the last reply byte
}

TEST(TrafficTap, TimeOutNegativeReplyAndLinkErrorRows) {
    test::ManualTrafficClock clock;
    TrafficTap tap(clock);
    tap.attemptStarted({5, 1});
    tap.written(hex("10 07 40 69 B0 16"));
    clock.us += 210'000;
    ExchangeOutcome probe = outcome(1, -1, 3);
    probe.kind = 5;
    probe.address = 7;
    tap.attemptEnded(probe);

    tap.attemptStarted({0, 1});
    tap.written(hex(kRequest));
    tap.read(hex("10 05 40 09 4E 16"));
    ExchangeOutcome negative = outcome(1, -4, 3);
    negative.replyCode = 2;
    tap.attemptEnded(negative);

    tap.attemptStarted({0, 1});
    tap.written(hex(kRequest));
    tap.attemptEnded(outcome(1, 2, 1));

    ASSERT_EQ(tap.nextSeq(), 6u);
    EXPECT_EQ(frameText(tap, 0), "dotaz na adresu 7");
    EXPECT_EQ(frameText(tap, 1), "bez odpovědi do 200 ms");
    EXPECT_EQ(tap.frame(1)->length, 0);
    EXPECT_EQ(tap.frame(1)->address, 7);
    EXPECT_EQ(frameText(tap, 3), "FC=9 Blok/Data nedostupná");
    EXPECT_EQ(frameText(tap, 5), "spojení TCP není navázáno");

    const AddressStats& a7 = tap.stats().addresses().at(7);
    EXPECT_EQ(a7.timeouts, 1u);
    EXPECT_EQ(a7.failed, 1u);
    EXPECT_EQ(a7.times.count(), 0u);
    const AddressStats& a5 = tap.stats().addresses().at(5);
    EXPECT_EQ(a5.negative[1], 1u);
    EXPECT_EQ(a5.failed, 1u);
    EXPECT_EQ(tap.stats().totals().requests, 3u);
}

TEST(TrafficTap, RingKeepsTheLastFramesAndCountsTheDropped) {
    test::ManualTrafficClock clock;
    TrafficTap tap(clock, 10);
    for (int i = 0; i < 25; ++i) {
        clock.us += 1000;
        const Bytes frame = {0x10, static_cast<std::uint8_t>(i), 0x40, 0x69, 0, 0x16};
        tap.written(frame);
    }
    EXPECT_EQ(tap.firstSeq(), 15u);
    EXPECT_EQ(tap.nextSeq(), 25u);
    EXPECT_EQ(tap.dropped(), 15u);
    EXPECT_EQ(tap.frame(14), nullptr);
    EXPECT_EQ(tap.bytes(*tap.frame(15))[1], 15);
    EXPECT_EQ(tap.bytes(*tap.frame(24))[1], 24);
    tap.clear();
    EXPECT_EQ(tap.frame(24), nullptr);
    tap.written(hex("E5"));
    EXPECT_EQ(frameHex(tap, 25), "E5");
}

TEST(TrafficTap, MemoryStaysBoundedAtTheCapWithLargeFrames) {
    static_assert(TrafficTap::memoryBound() < 64u * 1024 * 1024);
    test::ManualTrafficClock clock;
    TrafficTap tap(clock);
    // Frames of the largest size the engine reads: the arena, not the count, is the limit.
    Bytes big(kTrafficPendingBytes);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    const std::size_t frames = 2 * kTrafficBlocks * (kTrafficBlockBytes / big.size());
    for (std::size_t i = 0; i < frames; ++i) {
        big[0] = static_cast<std::uint8_t>(i);
        tap.written(big);
    }
    EXPECT_EQ(tap.nextSeq(), frames);
    EXPECT_GT(tap.dropped(), 0u);
    EXPECT_LE((tap.nextSeq() - tap.firstSeq()) * big.size(), kTrafficBlocks * kTrafficBlockBytes);
    // Every frame still held has its own bytes.
    for (std::uint64_t seq = tap.firstSeq(); seq < tap.nextSeq(); ++seq) {
        const auto b = tap.bytes(*tap.frame(seq));
        ASSERT_EQ(b.size(), big.size());
        ASSERT_EQ(b[0], static_cast<std::uint8_t>(seq));
        ASSERT_EQ(b[100], 100);
    }
}

namespace {

// A TCP transport whose peer answers each sent frame from a script: a reply, or none.
struct ScriptedTcp : TcpLink {
    std::vector<Bytes> script;
    std::vector<Bytes> sent;
    std::deque<std::uint8_t> incoming;
    std::deque<Bytes> arriving;  // one chunk arrives per tick
    bool connected = true;       // false: the peer is gone, nothing is sent

    void TcpOpen(int, const std::string&) override {}
    void TcpDisconnect(int, const std::string&) override {}
    void TcpClose(int, const std::string&) override {}
    TcpStatus TcpState(int) override { return {0, static_cast<std::int32_t>(incoming.size())}; }
    int TcpSend(int, const std::uint8_t* data, int count) override {
        if (!connected) return 0;
        sent.emplace_back(data, data + count);
        const Bytes& reply = script[std::min(sent.size(), script.size()) - 1];
        // The reply comes in two pieces.
        const std::size_t half = reply.size() / 2;
        if (half > 0) arriving.emplace_back(reply.begin(), reply.begin() + half);
        if (!reply.empty()) arriving.emplace_back(reply.begin() + half, reply.end());
        return count;
    }
    int TcpRead(int, std::uint8_t* destination, int count) override {
        int n = 0;
        for (; n < count && !incoming.empty(); ++n) {
            destination[n] = incoming.front();
            incoming.pop_front();
        }
        return n;
    }
    void advance() {
        if (arriving.empty()) return;
        incoming.insert(incoming.end(), arriving.front().begin(), arriving.front().end());
        arriving.pop_front();
    }
};

struct EngineClock : Clock {
    std::uint32_t ms = 5000;
    std::uint32_t tickMs() override { return ms; }
    double nowDays() override { return 46000.0 + ms / 86'400'000.0; }
};

// A request as the program's builders make it: frame and send, receive a frame, end.
TransferRequest exchangeRequest(Bytes& data, const char* user, std::uint16_t timeoutMs) {
    const Bytes u = hex(user);
    std::copy(u.begin(), u.end(), data.begin());
    TransferRequest req;
    req.Buffer = data;
    req.Length = static_cast<std::int32_t>(u.size());
    req.step(1) = {kOpSendFrame, 0, timeoutMs};
    req.step(2) = {kOpReceiveFrame, 0, timeoutMs};
    req.step(3) = {kOpEnd, 0, 0};
    return req;
}

struct Result {
    std::vector<Bytes> sent;
    std::vector<int> statuses;
    int ticks = 0;
};

// Runs the requests one after the other through the channel table's operations.
Result runExchanges(const std::vector<Bytes>& script, TrafficTap* tap) {
    CommState comm;
    ScriptedTcp tcp;
    tcp.script = script;
    comm.channel.tcp = &tcp;
    attachTrafficTap(comm, tap);
    ChannelTableIo io(comm.channel);
    EngineClock clock;
    std::int32_t transferResult = 0;
    Result result;
    const std::vector<std::pair<std::uint8_t, const char*>> requests = {
        {0, "05 40 6C 0B 02 00 00 64"},
        {0, "05 40 6C 0B 02 00 00 64"},
        {5, "07 40 69"},
        {0, "05 40 6C 0B 02 00 00 64"},
        {0, "05 40 6C 0B 02 00 00 64"}};
    for (const auto& [kind, user] : requests) {
        Bytes data(kBufferSize);
        TransferRequest req = exchangeRequest(data, user, 100);
        comm.engine.RequestKind = static_cast<RequestKind>(kind);
        TransferRun run({comm.engine, io, clock, transferResult}, req);
        for (int i = 0; i < 500 && !run.released(); ++i, ++result.ticks) {
            tcp.advance();
            run.tick();
            clock.ms += 10;
        }
        result.statuses.push_back(req.Status);
    }
    result.sent = tcp.sent;
    return result;
}

}  // namespace

TEST(TrafficTap, EngineSendsTheSameBytesWithAndWithoutTheTap) {
    // A good reply, a bad check byte and then a good one, a silent probe, a negative reply, a
    // time-out and then a good reply.
    const std::vector<Bytes> script = {hex("68 05 05 68 01 02 03 04 05 0F 16"),
                                       hex("68 05 05 68 01 02 03 04 05 10 16"),
                                       hex("68 05 05 68 01 02 03 04 05 0F 16"),
                                       {},
                                       hex("10 05 40 09 4E 16"),
                                       {},
                                       hex("68 05 05 68 01 02 03 04 05 0F 16")};
    const Result bare = runExchanges(script, nullptr);
    test::ManualTrafficClock clock;
    TrafficTap tap(clock);
    const Result tapped = runExchanges(script, &tap);

    EXPECT_EQ(tapped.sent, bare.sent);
    EXPECT_EQ(tapped.statuses, bare.statuses);
    EXPECT_EQ(tapped.ticks, bare.ticks);
    EXPECT_EQ(bare.statuses, (std::vector<int>{2, 2, 3, 3, 2}));
    ASSERT_EQ(bare.sent.size(), 7u);

    // And the tap saw all of it: 7 frames out, 5 in, two time-out rows naming the step's
    // time-out (also the one that is retried).
    int tx = 0;
    int timeouts = 0;
    for (std::uint64_t seq = tap.firstSeq(); seq < tap.nextSeq(); ++seq) {
        const TrafficFrame& f = *tap.frame(seq);
        tx += f.direction == Direction::Tx;
        if (f.verdict.code != Verdict::Timeout) continue;
        ++timeouts;
        EXPECT_EQ(frameText(tap, seq), "bez odpovědi do 100 ms");
    }
    EXPECT_EQ(tx, 7);
    EXPECT_EQ(timeouts, 2);
    EXPECT_EQ(tap.nextSeq(), 14u);
    const AddressStats& a5 = tap.stats().addresses().at(5);
    EXPECT_EQ(a5.requests, 6u);
    EXPECT_EQ(a5.retries, 2u);
    EXPECT_EQ(a5.answered, 3u);
    EXPECT_EQ(a5.timeouts, 1u);
    EXPECT_EQ(a5.negative[1], 1u);
    EXPECT_EQ(tap.stats().addresses().at(7).timeouts, 1u);
}

// The peer is gone and the transport takes no bytes: the attempts fail at once as "bez TCP
// přenosu", not as a silent module, and no frame is recorded as sent, neither in the tap and
// its statistics nor in a capture file. Once the peer is back the same request goes out.
TEST(TrafficTap, AttemptsTheLinkDidNotCarryAreNotRecordedAsSent) {
    CommState comm;
    ScriptedTcp tcp;
    tcp.script = {hex("E5")};
    tcp.connected = false;
    comm.channel.tcp = &tcp;
    test::ManualTrafficClock trafficClock;
    TrafficTap tap(trafficClock);
    attachTrafficTap(comm, &tap);
    ChannelTableIo io(comm.channel);
    EngineClock clock;
    std::int32_t transferResult = 0;
    comm.engine.RequestKind = RequestKind::Kalu;
    const auto run = [&] {
        Bytes data(kBufferSize);
        TransferRequest req = exchangeRequest(data, "05 40 6C 0B 02 00 00 64", 600);
        req.Status = kStatusRunning;  // as the queue starts it
        TransferRun window({comm.engine, io, clock, transferResult}, req);
        int ticks = 0;
        for (; ticks < 500 && !window.released(); ++ticks) {
            tcp.advance();
            window.tick();
            clock.ms += 10;
        }
        return std::make_pair(req.Status, ticks);
    };
    const auto [status, ticks] = run();
    EXPECT_EQ(status, kStatusFailed);
    EXPECT_EQ(transferResult, kResultTcpNotSent);
    EXPECT_LT(ticks, 10);  // no time-out waited for
    EXPECT_TRUE(tcp.sent.empty());
    std::vector<std::uint64_t> seqs;
    for (std::uint64_t seq = tap.firstSeq(); seq < tap.nextSeq(); ++seq) {
        seqs.push_back(seq);
        EXPECT_EQ(tap.frame(seq)->direction, Direction::Rx);
        EXPECT_EQ(frameText(tap, seq), "bez TCP přenosu");
    }
    EXPECT_EQ(seqs.size(), 3u);
    EXPECT_EQ(pcapOfFrames(tap, seqs).size(), kPcapHeaderBytes);
    const AddressStats& s = tap.stats().addresses().at(5);
    EXPECT_EQ(s.requests, 0u);
    EXPECT_EQ(s.timeouts, 0u);
    EXPECT_EQ(s.failed, 1u);

    tcp.connected = true;
    EXPECT_EQ(run().first, kStatusDone);
    ASSERT_EQ(tcp.sent.size(), 1u);
    EXPECT_EQ(tap.stats().addresses().at(5).requests, 1u);
}
