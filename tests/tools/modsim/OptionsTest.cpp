// The texts of the simulator's command-line switches: host and port, module, negative reply
// and probability, and the texts refused.

#include "tools/modsim/Options.h"

#include <gtest/gtest.h>

using namespace velor::modsim;

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
