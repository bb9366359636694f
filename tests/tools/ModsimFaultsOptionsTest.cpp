// Fault shaping and the texts of the command-line switches.

#include <gtest/gtest.h>

#include "tools/modsim/EventLog.h"
#include "tools/modsim/FaultInjector.h"
#include "tools/modsim/Options.h"

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

TEST(ModsimOptions, SwitchTexts) {
    EXPECT_EQ(parseHostPort("127.0.0.1:0")->port, 0);
    EXPECT_EQ(parseHostPort("127.0.0.1:10000")->host, "127.0.0.1");
    EXPECT_EQ(parseHostPort("[::1]:5")->host, "::1");
    for (const char* bad : {"127.0.0.1", ":5", "h:65536", "h:-1", "h:x", "h:"}) {
        EXPECT_FALSE(parseHostPort(bad)) << bad;
    }

    const auto m = parseModuleSpec("31:tevw");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->address, 31);
    EXPECT_EQ(m->type, ModuleType::Tevw);
    for (const char* bad : {"32:KALU", "1:XYZ", "KALU", "-1:TEV", "1:"}) {
        EXPECT_FALSE(parseModuleSpec(bad)) << bad;
    }

    const auto all = parseNegativeSpec("0x0C");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->functionCode, 12);
    EXPECT_FALSE(all->address);
    const auto one = parseNegativeSpec("9@3");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->functionCode, 9);
    EXPECT_EQ(one->address, 3);
    for (const char* bad : {"", "256", "9@", "9@32", "x", "9@3@4"}) {
        EXPECT_FALSE(parseNegativeSpec(bad)) << bad;
    }

    EXPECT_DOUBLE_EQ(*parseProbability("0.25"), 0.25);
    EXPECT_DOUBLE_EQ(*parseProbability("1"), 1.0);
    for (const char* bad : {"", "1.5", "-0.1", "nan", "0.5x"}) {
        EXPECT_FALSE(parseProbability(bad)) << bad;
    }
}

TEST(ModsimEvents, JsonLines) {
    Bus bus;
    bus.addModule(1, ModuleType::Kalu);
    const Bytes user{0x01, 0x40, 0x6C, 0x0C, 0x01, 0x00, 0x00, 0x02, 0xAB, 0xCD};
    const Frame frame{Frame::Kind::Variable, user, buildVariableFrame(user)};
    const Exchange ex = bus.handle(frame, 0);
    EXPECT_EQ(requestEventJson(ex, frame, "tcp#1"),
              "{\"event\":\"request\",\"link\":\"tcp#1\",\"addr\":1,\"present\":true,\"code\":12,"
              "\"items\":[{\"area\":1,\"start\":0,\"count\":2}],\"hex\":\"680A0A6801406C0C0100"
              "0002ABCD3416\"}");
    ASSERT_EQ(ex.writes.size(), 1u);
    EXPECT_EQ(
        storeEventJson(ex, ex.writes[0]),
        "{\"event\":\"block\",\"addr\":1,\"area\":1,\"start\":0,\"count\":2,\"hex\":\"ABCD\"}");
    const StoredWrite output{2, 0x30, {0x05}};
    EXPECT_EQ(storeEventJson(ex, output),
              "{\"event\":\"write\",\"addr\":1,\"area\":2,\"start\":48,\"hex\":\"05\"}");
    EXPECT_EQ(
        dropEventJson(Dropped{{0x00, 0x22}, "no \"start\""}, "pty"),
        "{\"event\":\"drop\",\"link\":\"pty\",\"reason\":\"no \\\"start\\\"\",\"hex\":\"0022\"}");
}
