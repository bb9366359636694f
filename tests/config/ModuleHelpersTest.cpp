// The small operations the editors and the loop share: time-outs for a baud rate.

#include "config/ModuleHelpers.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velor
