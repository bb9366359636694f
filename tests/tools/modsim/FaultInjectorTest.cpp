// The simulator's fault shaping: what each switch does to a reply, and the same seed giving the
// same faults.

#include "tools/modsim/FaultInjector.h"

#include <gtest/gtest.h>

#include "tools/modsim/FrameCodec.h"

using namespace velor::modsim;

namespace {

const Bytes kReply = buildVariableFrame(Bytes{0x01, 0x40, 0x6C, 0xAA, 0xBB, 0xCC});

Bytes joined(const Delivery& d) {
    Bytes out;
    for (const auto& p : d.pieces) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(ModsimFaults, EachSwitchShapesTheReply) {
    FaultOptions none;
    EXPECT_EQ(joined(FaultInjector(none).shape(kReply)), kReply);

    FaultOptions drop;
    drop.drop = 1.0;
    const Delivery dropped = FaultInjector(drop).shape(kReply);
    EXPECT_TRUE(dropped.dropped);
    EXPECT_TRUE(dropped.pieces.empty());

    FaultOptions bad;
    bad.badChecksum = 1.0;
    const Bytes spoiled = joined(FaultInjector(bad).shape(kReply));
    ASSERT_EQ(spoiled.size(), kReply.size());
    EXPECT_NE(spoiled[spoiled.size() - 2], kReply[kReply.size() - 2]);
    EXPECT_EQ(spoiled.back(), kEndByte);
    // A lone acknowledgement has no check byte and goes out unchanged.
    EXPECT_EQ(joined(FaultInjector(bad).shape(Bytes{kAck})), Bytes{kAck});

    FaultOptions garbage;
    garbage.garbage = 1.0;
    const Delivery noisy = FaultInjector(garbage).shape(kReply);
    const Bytes withNoise = joined(noisy);
    ASSERT_GE(noisy.garbageBytes, 1u);
    ASSERT_LE(noisy.garbageBytes, 4u);
    EXPECT_TRUE(std::equal(kReply.begin(), kReply.end(), withNoise.begin() + noisy.garbageBytes));
    for (std::size_t i = 0; i < noisy.garbageBytes; ++i) {
        EXPECT_NE(withNoise[i], kVariableStart);
        EXPECT_NE(withNoise[i], kShortStart);
        EXPECT_NE(withNoise[i], kAck);
    }

    FaultOptions split;
    split.split = true;
    split.delayMs = 40;
    const Delivery pieces = FaultInjector(split).shape(kReply);
    EXPECT_EQ(pieces.pieces.size(), 3u);
    EXPECT_EQ(pieces.delayMs, 40);
    EXPECT_EQ(joined(pieces), kReply);
    for (const auto& p : pieces.pieces) EXPECT_FALSE(p.empty());

    EXPECT_TRUE(FaultInjector(drop).shape(Bytes{}).pieces.empty());  // silence stays silence
}

TEST(ModsimFaults, SameSeedSameFaults) {
    FaultOptions o;
    o.drop = 0.3;
    o.garbage = 0.5;
    o.split = true;
    o.seed = 42;
    FaultInjector a(o);
    FaultInjector b(o);
    int droppedCount = 0;
    for (int i = 0; i < 200; ++i) {
        const Delivery x = a.shape(kReply);
        const Delivery y = b.shape(kReply);
        ASSERT_EQ(x.dropped, y.dropped);
        ASSERT_EQ(x.pieces, y.pieces);
        droppedCount += x.dropped ? 1 : 0;
    }
    EXPECT_GT(droppedCount, 30);
    EXPECT_LT(droppedCount, 100);
}
