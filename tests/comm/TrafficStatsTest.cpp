#include "comm/TrafficStats.h"

#include <gtest/gtest.h>

#include "comm/TrafficTap.h"

using namespace velor;

TEST(TrafficStats, ReplyTimePercentileMinMeanMax) {
    struct Case {
        std::vector<int> ms;
        int p95;
        int min;
        int max;
        double mean;
    };
    std::vector<int> hundred;
    for (int i = 1; i <= 100; ++i) hundred.push_back(i);
    std::vector<int> withOutlier(19, 10);
    withOutlier.push_back(900);  // one in twenty: exactly the 5 % above the 95th percentile
    const std::vector<Case> cases = {
        {{}, 0, 0, 0, 0.0},
        {{42}, 42, 42, 42, 42.0},
        {hundred, 95, 1, 100, 50.5},
        {withOutlier, 10, 10, 900, 54.5},
        {{7000, 3, 8000}, 8000, 3, 8000, 5001.0},  // beyond the histogram: the maximum
    };
    for (const auto& c : cases) {
        ReplyTimes t;
        for (int ms : c.ms) t.add(ms);
        EXPECT_EQ(t.percentile(95), c.p95) << c.ms.size();
        EXPECT_EQ(t.min(), c.min);
        EXPECT_EQ(t.max(), c.max);
        EXPECT_DOUBLE_EQ(t.mean(), c.mean);
    }
}

TEST(TrafficStats, CountsPerAddressTotalsAndReset) {
    TrafficStats stats;
    auto ended = [&](int address, int attempt, std::int32_t result, std::uint8_t status,
                     std::vector<ReceivedFrame> frames, int ms) {
        ExchangeOutcome o;
        o.address = address;
        o.attempt = attempt;
        o.transferResult = result;
        o.status = status;
        stats.attemptEnded(o, frames, ms, 1000 * attempt);
    };
    auto frame = [](Verdict code, std::uint8_t a = 0) {
        ReceivedFrame f;
        f.verdict.code = code;
        f.verdict.a = a;
        return f;
    };
    // Address 3: a time-out, a bad check byte, then an answer in 30 ms.
    ended(3, 1, -1, 1, {}, -1);
    ended(3, 2, -3, 1, {frame(Verdict::WrongChecksum)}, 12);
    ended(3, 3, 0, 2, {frame(Verdict::VariableOk)}, 30);
    // Address 4: negative replies FC 9 and 12, then three time-outs of one request.
    ended(4, 1, -4, 3, {frame(Verdict::ShortNegative, 9)}, 5);
    ended(4, 1, -4, 3, {frame(Verdict::ShortNegative, 12)}, 5);
    for (int attempt = 1; attempt <= 3; ++attempt)
        ended(4, attempt, -1, attempt < 3 ? 1 : 3, {frame(Verdict::Dropped)}, 2);
    stats.lateFrames(4, 2);

    const AddressStats& a3 = stats.addresses().at(3);
    EXPECT_EQ(a3.requests, 3u);
    EXPECT_EQ(a3.retries, 2u);
    EXPECT_EQ(a3.timeouts, 1u);
    EXPECT_EQ(a3.answered, 1u);
    EXPECT_EQ(a3.failed, 0u);
    EXPECT_EQ(a3.badFrames(), 1u);
    EXPECT_EQ(a3.times.count(), 1u);  // only good answers count as reply times
    EXPECT_EQ(a3.times.max(), 30);
    EXPECT_EQ(a3.lastAnswerWallUs, 3000);

    const AddressStats& a4 = stats.addresses().at(4);
    EXPECT_EQ(a4.negative, (std::array<std::uint32_t, 3>{0, 1, 1}));
    EXPECT_EQ(a4.timeouts, 3u);
    EXPECT_EQ(a4.failed, 3u);
    EXPECT_EQ(a4.badFrames(), 0u);  // dropped noise is not a bad frame
    EXPECT_EQ(a4.received[static_cast<std::size_t>(Verdict::Dropped)], 3u);
    EXPECT_EQ(a4.late, 2u);
    EXPECT_EQ(a4.lastAnswerWallUs, 0);

    const AddressStats all = stats.totals();
    EXPECT_EQ(all.requests, 8u);
    EXPECT_EQ(all.timeouts, 4u);
    EXPECT_EQ(all.answered, 1u);
    EXPECT_EQ(all.failed, 3u);

    const auto before = stats.version();
    stats.reset();
    EXPECT_NE(stats.version(), before);
    EXPECT_TRUE(stats.addresses().empty());
    EXPECT_EQ(stats.totals().requests, 0u);
}
