#include "comm/TransferEngine.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <stdexcept>
#include <vector>

#include "support/HexBytes.h"
#include "support/ManualClocks.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A channel whose peer answers every written frame with a scripted reply, delivered in chunks,
// one chunk per tick.
struct FakeChannel : ChannelIo {
    bool tcp = false;
    bool ignoreErrors = false;
    std::int32_t tcpStateValue = 0;
    std::uint32_t lineErrors = 0;
    std::deque<std::uint8_t> incoming;
    std::deque<Bytes> chunks;
    std::vector<Bytes> replies;      // reply to the n-th write; the last one repeats
    std::vector<Bytes> replyChunks;  // or one reply, arriving in these chunks
    std::vector<int> replyDelays;    // ticks of silence before the reply to the n-th write
    std::vector<Bytes> writes;
    int reopens = 0;
    int throwOnReads = 0;

    bool usable = true;
    bool isTcp(int) const override { return tcp; }
    bool isUsable(int) override { return usable; }
    bool ignoreLineErrors(int) const override { return ignoreErrors; }
    int read(int, std::uint8_t* buffer, int count) override {
        if (throwOnReads > 0) {
            --throwOnReads;
            throw std::runtime_error("read");
        }
        int n = 0;
        for (; n < count && !incoming.empty(); ++n) {
            buffer[n] = incoming.front();
            incoming.pop_front();
        }
        return n;
    }
    int write(int, const std::uint8_t* buffer, int count) override {
        writes.emplace_back(buffer, buffer + count);
        if (writes.size() <= replyDelays.size()) {
            chunks.insert(chunks.end(), static_cast<std::size_t>(replyDelays[writes.size() - 1]),
                          Bytes{});
        }
        if (!replies.empty()) {
            const Bytes& r = replies[std::min(writes.size(), replies.size()) - 1];
            chunks.emplace_back(r);
        }
        chunks.insert(chunks.end(), replyChunks.begin(), replyChunks.end());
        return count;
    }
    bool transmitByte(int, std::uint8_t byte) override {
        writes.push_back({byte});
        return true;
    }
    LineState lineState(int) override {
        return {lineErrors, static_cast<std::uint32_t>(incoming.size()), 0};
    }
    TcpStatus tcpState(int) override {
        return {tcpStateValue, static_cast<std::int32_t>(incoming.size())};
    }
    int reopen() override {
        ++reopens;
        return 0;
    }
    // Bytes of the next chunk arrive.
    void advance() {
        if (chunks.empty()) return;
        incoming.insert(incoming.end(), chunks.front().begin(), chunks.front().end());
        chunks.pop_front();
    }
};

// Runs the transfer windows the engine creates, tick by tick.
struct Harness : TransferWindowFactory {
    EngineState engine;
    FakeChannel channel;
    test::ManualClock clock;
    std::int32_t transferResult = 0;
    std::unique_ptr<TransferRun> window;
    int ticks = 0;

    Harness() { engine.Windows = this; }
    void createWindow(TransferRequest& request) override {
        window = std::make_unique<TransferRun>(
            TransferContext{engine, channel, clock, transferResult}, request);
        engine.TransferWindow = window.get();
    }
    // Ticks every 10 ms until no window is left (bounded).
    void run(int maxTicks = 2000) {
        for (; window && ticks < maxTicks; ++ticks) {
            channel.advance();
            window->tick();
            clock.ms += 10;
            if (!window->released()) continue;
            auto finished = std::move(window);
            transferWindowDestroyed(engine);
        }
    }
};

// A caller's request: frame and send, receive a frame, end.
struct Request {
    Bytes data = Bytes(kBufferSize, 0);
    TransferRequest req;
    explicit Request(const std::string& user = "05 40 6C 0B", std::uint16_t timeout = 200) {
        const Bytes u = hex(user);
        std::copy(u.begin(), u.end(), data.begin());
        req.Buffer = data;
        req.Length = static_cast<std::int32_t>(u.size());
        req.step(1) = {kOpSendFrame, 0, timeout};
        req.step(2) = {kOpReceiveFrame, 0, timeout};
        req.step(3) = {kOpEnd, 0, 0};
    }
    std::string head(std::size_t n) const { return toHex(data.data(), n); }
};

const char* const kFramed = "68 04 04 68 05 40 6C 0B BC 16";

}  // namespace

TEST(TransferEngine, AcknowledgementAndVariableReply) {
    struct Case {
        std::vector<Bytes> chunks;  // the reply, as it arrives tick by tick
        std::int32_t length;
        const char* data;
    };
    const Case cases[] = {
        {{hex("E5")}, 10, "E5"},
        {{hex("68 05 05 68 01 02 03 0D 0E 21 16")}, 2, "0D 0E"},
        {{hex("68 05"), hex("05 68 01"), {}, hex("02 03 0D"), hex("0E 21 16")}, 2, "0D 0E"},
        {{hex("68 03 03 68 05 40 6C B1 16")}, 0, ""},
    };
    for (const Case& c : cases) {
        Harness h;
        Request r;
        QueueRequest(h.engine, r.req);
        EXPECT_EQ(r.req.Status, kStatusRunning);
        // The reply comes after the first write, split as given.
        h.channel.replyChunks = c.chunks;
        h.run();
        EXPECT_EQ(r.req.Status, kStatusDone);
        EXPECT_EQ(r.req.Length, c.length);
        EXPECT_EQ(r.head(hex(c.data).size()), c.data);
        // Only the bare acknowledgement leaves the buffer without answer data.
        EXPECT_EQ(r.req.Acknowledged, c.chunks.size() == 1 && c.chunks[0] == hex("E5"));
        ASSERT_EQ(h.channel.writes.size(), 1u);
        EXPECT_EQ(toHex(h.channel.writes[0]), kFramed);
        EXPECT_EQ(h.engine.RequestCount, 0);
        EXPECT_EQ(h.engine.TransferWindow, nullptr);
    }
}

TEST(TransferEngine, BadRepliesAreRetriedWithTheSameFrame) {
    const char* const bad[] = {
        "68 05 05 68 01 02 03 0D 0E 22 16",  // wrong CS
        "68 05 05 68 01 02 03 0D 0E 21 00",  // no end byte
        "68 05 06 68 01 02 03 0D 0E 21 16",  // unequal lengths
    };
    for (const char* reply : bad) {
        Harness h;
        Request r;
        h.channel.replies = {hex(reply)};
        QueueRequest(h.engine, r.req);
        h.run();
        EXPECT_EQ(r.req.Status, kStatusFailed) << reply;
        ASSERT_EQ(h.channel.writes.size(), 3u) << reply;
        for (const Bytes& w : h.channel.writes) EXPECT_EQ(toHex(w), kFramed) << reply;
        EXPECT_EQ(h.transferResult, kResultWrongReply);
    }
}

TEST(TransferEngine, RetryAfterAReplyThatChangedLengthStillSendsTheRequest) {
    Harness h;
    Request r;
    // First answer passes the header (Length becomes 5), then fails on CS; the second is good.
    h.channel.replies = {hex("68 05 05 68 01 02 03 0D 0E 00 16"),
                         hex("68 05 05 68 01 02 03 0D 0E 21 16")};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    ASSERT_EQ(h.channel.writes.size(), 2u);
    EXPECT_EQ(toHex(h.channel.writes[1]), kFramed);
}

TEST(TransferEngine, SendAfterAFailedFirstAttemptStillGoesOutFramed) {
    // The module speaks first: the first attempt times out before the send step, so the
    // request is framed only on the second attempt.
    Harness h;
    Request r;
    r.req.step(1) = {kOpReceiveByte, 0x55, 30};
    r.req.step(2) = {kOpSendFrame, 0, 200};
    r.req.step(3) = {kOpReceiveFrame, 0, 200};
    r.req.step(4) = {kOpEnd, 0, 0};
    // Ticks 1..5 run the first attempt into its time-out, tick 6 restarts, tick 7 sees 0x55.
    for (int i = 0; i < 6; ++i) h.channel.chunks.emplace_back();
    h.channel.chunks.push_back(hex("55"));
    h.channel.replies = {hex("E5")};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    ASSERT_EQ(h.channel.writes.size(), 1u);
    EXPECT_EQ(toHex(h.channel.writes[0]), kFramed);
    EXPECT_EQ(r.req.Length, 10);
}

TEST(TransferEngine, ShortRepliesEndAtOnceWithTheirReplyCode) {
    struct Case {
        const char* reply;
        std::uint8_t status;
        std::uint8_t replyCode;
    };
    const Case cases[] = {
        {"10 01 02 00 03 16", kStatusDone, 0},   {"10 01 02 02 03 16", kStatusFailed, 1},
        {"10 01 02 09 03 16", kStatusFailed, 2}, {"10 01 02 0C 03 16", kStatusFailed, 3},
        {"10 01 02 07 03 16", kStatusFailed, 0},  // unknown code: still a final outcome
    };
    for (const Case& c : cases) {
        Harness h;
        Request r;
        r.req.ReplyCode = 0x55;
        h.channel.replies = {hex(c.reply)};
        QueueRequest(h.engine, r.req);
        h.run();
        EXPECT_EQ(r.req.Status, c.status) << c.reply;
        EXPECT_EQ(r.req.ReplyCode, c.replyCode) << c.reply;
        EXPECT_EQ(h.channel.writes.size(), 1u) << c.reply;
        EXPECT_EQ(h.engine.RequestCount, 0) << c.reply;
    }
}

TEST(TransferEngine, LeadingBytesAreDroppedOneByOne) {
    Harness h;
    Request r;
    h.channel.replies = {hex("00 00 E5")};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    EXPECT_EQ(r.req.at(1), 0xE5);
    // Send, send-done, receive tick per byte: one byte per tick.
    EXPECT_GE(h.ticks, 5);
}

TEST(TransferEngine, TimeoutRetriesExceptForTheProbe) {
    struct Case {
        RequestKind kind;
        const char* user;
        std::size_t sends;
        const char* frame;
        std::uint32_t attemptMs;  // a time-out, then the late span of one more before a retry
    };
    const Case cases[] = {
        {RequestKind::Probe, "05 40 69", 1, "10 05 40 69 AE 16", 200},
        {RequestKind::Kalu, "05 40 6C 0B", 3, kFramed, 400},
        {RequestKind::Config, "05 40 6C 0B", 3, kFramed, 400},
    };
    for (const Case& c : cases) {
        Harness h;
        h.engine.RequestKind = c.kind;
        Request r(c.user, 200);
        const std::uint32_t start = h.clock.ms;
        QueueRequest(h.engine, r.req);
        h.run();
        EXPECT_EQ(r.req.Status, kStatusFailed);
        EXPECT_EQ(h.transferResult, kResultTimeout);
        ASSERT_EQ(h.channel.writes.size(), c.sends);
        EXPECT_EQ(toHex(h.channel.writes.back()), c.frame);
        // Each attempt waits out the 200 ms of its receive step, and not much more; the last
        // one leaves its late span to the next request.
        const std::uint32_t spans = c.kind == RequestKind::Kalu ? 200 : 0;
        EXPECT_GE(h.clock.ms - start + spans, c.attemptMs * c.sends);
        EXPECT_LE(h.clock.ms - start + spans, (c.attemptMs + 60) * c.sends);
    }
}

// A serial port that did not open: the request ends in its first tick with Status 4, sends
// nothing and is not retried, whatever its kind; a queued request behind it still runs.
TEST(TransferEngine, UnusablePortEndsTheRequestAtOnceWithStatusFour) {
    for (const RequestKind kind : {RequestKind::Kalu, RequestKind::Probe, RequestKind::Config}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Harness h;
        h.engine.RequestKind = kind;
        h.channel.usable = false;
        h.channel.replies = {hex("E5")};
        Request r;
        QueueRequest(h.engine, r.req);
        h.run();
        EXPECT_EQ(r.req.Status, kStatusPortUnusable);
        EXPECT_EQ(h.transferResult, kResultPortFailed);
        EXPECT_EQ(h.ticks, 1);
        EXPECT_TRUE(h.channel.writes.empty());
        EXPECT_EQ(h.engine.RequestCount, 0);

        h.channel.usable = true;
        Request next;
        QueueRequest(h.engine, next.req);
        h.run();
        EXPECT_EQ(next.req.Status, kStatusDone);
    }
}

// A module answers a configuration block after the step's 200 ms: that late answer must not
// pass for the acknowledgement of the next attempt. The line has to be quiet for a time-out
// before the block goes out again, and only the reply to the new attempt counts.
TEST(TransferEngine, LateAnswerToAConfigurationBlockIsNotTakenForTheNextAttempt) {
    Harness h;
    h.engine.RequestKind = RequestKind::Config;
    // 68 L L 68 01 02 03 d CS 16: d = AA for the first attempt, BB for the second.
    h.channel.replies = {hex("68 04 04 68 01 02 03 AA B0 16"),
                         hex("68 04 04 68 01 02 03 BB C1 16")};
    h.channel.replyDelays = {25, 0};
    Request r;
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    ASSERT_EQ(h.channel.writes.size(), 2u);
    EXPECT_EQ(r.req.Length, 1);
    EXPECT_EQ(r.head(1), "BB");
    // Sent at 0, given up at about 200, stray answer at about 250, quiet until about 450.
    EXPECT_GE(h.ticks, 45);
}

// Late answers never count: a configuration block ends only once they are off the line, so
// the next block does not meet them either; a monitoring request fails as well and leaves the
// late span of its last attempt to the next request.
TEST(TransferEngine, AModuleSlowerThanItsTimeOutFailsEveryAttempt) {
    for (const RequestKind kind : {RequestKind::Config, RequestKind::Kalu}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Harness h;
        h.engine.RequestKind = kind;
        h.channel.replies = {hex("E5")};
        h.channel.replyDelays = {25, 25, 25};
        Request r;
        QueueRequest(h.engine, r.req);
        h.run();
        EXPECT_EQ(r.req.Status, kStatusFailed);
        EXPECT_EQ(h.channel.writes.size(), 3u);
        if (kind == RequestKind::Config) {
            EXPECT_TRUE(h.channel.chunks.empty());
            EXPECT_TRUE(h.channel.incoming.empty());
        } else {
            EXPECT_TRUE(h.engine.LateSpanOpen);
        }
    }
}

// The late answer of a request that timed out (a probe: one attempt) arrives 250 ms after it
// was sent. The next request must not take it for its own: it goes out only after the late
// span, what arrived in the span is dropped, and its own answer counts.
TEST(TransferEngine, LateAnswerOfATimedOutRequestIsNotTakenByTheNext) {
    for (const RequestKind next : {RequestKind::Probe, RequestKind::Tev}) {
        SCOPED_TRACE(static_cast<int>(next));
        Harness h;
        h.engine.RequestKind = RequestKind::Probe;
        h.channel.replies = {hex("68 04 04 68 01 02 03 AA B0 16"),
                             hex("68 04 04 68 01 02 03 BB C1 16")};
        h.channel.replyDelays = {25, 0};
        Request first("05 40 69");
        QueueRequest(h.engine, first.req);
        h.run();
        ASSERT_EQ(first.req.Status, kStatusFailed);
        // The answer was due 200 ms after the receive step began.
        const std::uint32_t due = static_cast<std::uint32_t>(h.engine.StepStartTick) + 200;

        h.engine.RequestKind = next;
        Request second;
        QueueRequest(h.engine, second.req);
        std::uint32_t sentAt = 0;
        for (int i = 0; i < 100 && h.window && h.channel.writes.size() < 2; ++i) {
            h.channel.advance();
            h.window->tick();
            sentAt = h.clock.ms;
            h.clock.ms += 10;
        }
        EXPECT_GE(sentAt, due + 200);
        EXPECT_LE(sentAt, due + 210);
        h.run();
        EXPECT_EQ(second.req.Status, kStatusDone);
        EXPECT_EQ(second.head(1), "BB");
        EXPECT_FALSE(h.engine.LateSpanOpen);
    }
}

// Only what is left of the late span is waited for: a request queued after it has passed goes
// out in its first tick. A request that was answered leaves no span behind.
TEST(TransferEngine, OnlyTheRestOfTheLateSpanIsWaitedFor) {
    Harness h;
    h.engine.RequestKind = RequestKind::Probe;
    Request silent("05 40 69");
    QueueRequest(h.engine, silent.req);
    h.run();
    ASSERT_TRUE(h.engine.LateSpanOpen);
    h.clock.ms += 150;
    h.channel.replies = {hex("E5")};
    Request late("05 40 69");
    QueueRequest(h.engine, late.req);
    h.ticks = 0;
    h.run();
    EXPECT_EQ(late.req.Status, kStatusDone);
    // 30 ms of the span were left: three ticks, then send, sent and the answer.
    EXPECT_GE(h.ticks, 6);
    EXPECT_LE(h.ticks, 9);

    Request next("05 40 69");
    QueueRequest(h.engine, next.req);
    h.ticks = 0;
    h.run();
    EXPECT_EQ(next.req.Status, kStatusDone);
    EXPECT_LE(h.ticks, 4);
}

// An answer that starts in the span and is still arriving when it ends is taken off the line
// whole before the next attempt goes out: its tail holds an E5 that would otherwise pass for
// the acknowledgement of the retry.
TEST(TransferEngine, AnAnswerStillArrivingAtTheEndOfTheSpanIsDroppedWhole) {
    Harness h;
    h.engine.RequestKind = RequestKind::Kalu;
    Request r;
    QueueRequest(h.engine, r.req);
    h.run(1);
    ASSERT_EQ(h.channel.writes.size(), 1u);
    // Byte by byte from 380 ms after the send; the span ends at 420 ms.
    h.channel.chunks.assign(37, Bytes{});
    for (const std::uint8_t b : hex("68 04 04 68 01 02 03 E5 EB 16"))
        h.channel.chunks.push_back({b});
    h.channel.replies = {hex("68 04 04 68 01 02 03 BB C1 16")};
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    EXPECT_EQ(h.channel.writes.size(), 2u);
    EXPECT_FALSE(r.req.Acknowledged);
    EXPECT_EQ(r.head(1), "BB");
}

TEST(TransferEngine, QueueRunsInOrderAndRefusesTheSixteenth) {
    Harness h;
    h.channel.replies = {hex("E5")};
    std::vector<std::unique_ptr<Request>> requests;
    for (int i = 0; i < 16; ++i) {
        requests.push_back(std::make_unique<Request>());
        QueueRequest(h.engine, requests.back()->req);
    }
    EXPECT_EQ(requests[0]->req.Status, kStatusRunning);
    for (int i = 1; i < 15; ++i) EXPECT_EQ(requests[i]->req.Status, kStatusQueued);
    EXPECT_EQ(requests[15]->req.Status, kStatusFailed);
    EXPECT_EQ(h.engine.RequestCount, 15);
    EXPECT_EQ(h.engine.slot(15), &requests[14]->req);

    h.run();
    for (int i = 0; i < 15; ++i) EXPECT_EQ(requests[i]->req.Status, kStatusDone) << i;
    EXPECT_EQ(h.channel.writes.size(), 15u);
    EXPECT_EQ(h.engine.RequestCount, 0);
}

TEST(TransferEngine, ProgramWithoutEndStepIsRefused) {
    Harness h;
    Request r;
    r.req.step(3) = {kOpWait, 0, 10};
    QueueRequest(h.engine, r.req);
    EXPECT_EQ(r.req.Status, kStatusFailed);
    EXPECT_EQ(h.engine.RequestCount, 0);
    EXPECT_TRUE(h.channel.writes.empty());
}

TEST(TransferEngine, RequestTooLongToFrameFailsWithoutSending) {
    Harness h;
    Request r;
    r.req.Length = 256;
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusFailed);
    EXPECT_TRUE(h.channel.writes.empty());
}

TEST(TransferEngine, ReplyLargerThanTheBufferFails) {
    Harness h;
    Bytes small(64, 0);
    Request r;
    std::copy_n(r.data.begin(), 4, small.begin());
    r.req.Buffer = small;
    Bytes reply = hex("10 01 02 00 03");
    reply.resize(150, 0x16);
    h.channel.replies = {reply};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusFailed);
    EXPECT_EQ(h.channel.writes.size(), 3u);
    EXPECT_TRUE(h.channel.incoming.empty());
}

TEST(TransferEngine, ExceptionInATickKeepsTheRequestGoing) {
    Harness h;
    Request r;
    h.channel.replies = {hex("E5")};
    h.channel.throwOnReads = 1;  // the discard of the first tick throws
    QueueRequest(h.engine, r.req);
    h.channel.advance();
    h.window->tick();
    EXPECT_EQ(r.req.Status, kStatusRunning);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
}

TEST(TransferEngine, SerialLineErrorsFailTheReceiveStep) {
    Harness h;
    Request r;
    h.channel.lineErrors = 0x04;
    h.channel.replies = {hex("E5")};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusFailed);
    EXPECT_EQ(h.transferResult, 4);
    EXPECT_EQ(h.channel.reopens, 0);
}

TEST(TransferEngine, CheckedBlocksUsePlainSumOutAndComplementIn) {
    Harness h;
    Request r("01 02 00");
    r.req.step(1) = {kOpSendBlock, 0, 100};
    r.req.step(2) = {kOpReceiveBlock, 0, 100};
    r.req.step(3) = {kOpEnd, 0, 0};
    h.channel.replies = {hex("01 02 FC")};
    QueueRequest(h.engine, r.req);
    h.run();
    EXPECT_EQ(r.req.Status, kStatusDone);
    ASSERT_EQ(h.channel.writes.size(), 1u);
    EXPECT_EQ(toHex(h.channel.writes[0]), "01 02 03");

    Harness bad;
    Request b("01 02 00");
    b.req.Steps = r.req.Steps;
    bad.channel.replies = {hex("01 02 03")};
    QueueRequest(bad.engine, b.req);
    bad.run();
    EXPECT_EQ(b.req.Status, kStatusFailed);
}

TEST(TransferEngine, TcpNotConnectedFailsAtOnceAndTheFourthFailureReopens) {
    Harness h;
    h.channel.tcp = true;
    h.channel.tcpStateValue = 2;
    const double minute = 1.0 / (24 * 60);
    struct Step {
        double gapMinutes;  // since the previous failure
        int reopensAfter;
    };
    // Four failures each within 5 minutes reopen; a long gap starts the count again.
    const Step steps[] = {{0, 0}, {1, 0}, {4.9, 0}, {1, 1}, {1, 1}, {6, 1}, {1, 1}, {1, 1}, {1, 2}};
    for (const Step& s : steps) {
        h.clock.days += s.gapMinutes * minute;
        Request r;
        const int before = h.ticks;
        const int reopensBefore = h.channel.reopens;
        h.channel.writes.clear();
        QueueRequest(h.engine, r.req);
        h.run(h.ticks + 100);
        EXPECT_EQ(r.req.Status, kStatusFailed);
        // The reopen leaves the result of the new open behind.
        EXPECT_EQ(h.transferResult, h.channel.reopens > reopensBefore ? 0 : 2);
        EXPECT_EQ(h.channel.writes.size(), 3u);
        // Each attempt: frame sent, send done, receive step started, receive fails at once.
        EXPECT_LE(h.ticks - before, 12);
        EXPECT_EQ(h.channel.reopens, s.reopensAfter);
    }
}
