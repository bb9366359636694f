// The simulator's event log: one JSON line per request, stored block or write, and drop.

#include "tools/modsim/EventLog.h"

#include <gtest/gtest.h>

#include "tools/modsim/Bus.h"
#include "tools/modsim/FrameCodec.h"

using namespace velor::modsim;

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
