// The small operations the editors and the loop share: time-outs for a baud rate, input bits.

#include "config/ModuleHelpers.h"

#include <gtest/gtest.h>

#include <array>

namespace velor {
namespace {

TEST(ModuleHelpers, AdjustTimeoutsForBaud) {
    std::uint16_t reply = 200, poll = 100;
    AdjustTimeoutsForBaud(reply, poll, 0);
    EXPECT_EQ(reply, 600);
    EXPECT_EQ(poll, 300);
    for (std::uint16_t index = 1; index < 6; ++index) {
        AdjustTimeoutsForBaud(reply, poll, index);
        EXPECT_EQ(reply, 600);
        EXPECT_EQ(poll, 300);
    }
    reply = 30000;
    AdjustTimeoutsForBaud(reply, poll, 0);
    EXPECT_EQ(reply, 65535);  // held, not wrapped
}

TEST(ModuleHelpers, TestInputBitBothLayouts) {
    EXPECT_FALSE(TestInputBit(0x0008, 4, true));
    EXPECT_TRUE(TestInputBit(0x0008, 4, false));
    EXPECT_TRUE(TestInputBit(0x0010, 4, true));
    EXPECT_TRUE(TestInputBit(0x0010, 5, false));
    const std::array<std::uint16_t, 16> gapped{0x0001, 0x0002, 0x0004, 0x0010, 0x0020, 0x0040,
                                               0x0100, 0x0200, 0x0400, 0x1000, 0x2000, 0x4000,
                                               0x8000, 0x8000, 0x8000, 0x8000};
    for (int n = 1; n <= 16; ++n) {
        const auto idx = static_cast<std::size_t>(n - 1);
        EXPECT_TRUE(TestInputBit(gapped[idx], n, true)) << n;
        EXPECT_FALSE(TestInputBit(static_cast<std::uint16_t>(~gapped[idx]), n, true)) << n;
        EXPECT_TRUE(TestInputBit(static_cast<std::uint16_t>(1u << idx), n, false)) << n;
        EXPECT_EQ(TestBit(static_cast<std::uint16_t>(1u << idx), n), true) << n;
        EXPECT_EQ(TestBit(static_cast<std::uint16_t>(~(1u << idx)), n), false) << n;
    }
    for (int n : {0, 17, -1}) {
        EXPECT_FALSE(TestInputBit(0xFFFF, n, true));
        EXPECT_FALSE(TestBit(0xFFFF, n));
    }
}

}  // namespace
}  // namespace velor
