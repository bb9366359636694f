#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/NumberText.h"

namespace velor {
namespace {

TEST(NumberText, FloatToShortestWritesFewestDecimals) {
    const struct {
        float value;
        int limit;
        const char* text;
    } cases[] = {
        {0.0f, 10, "0.0"},
        {65535.0f, 10, "65535.0"},
        {2.5f, 10, "2.5"},
        {0.125f, 10, "0.125"},
        {-2.5f, 10, "-2.5"},
        {-0.125f, 10, "-0.125"},
        {0.1f, 10, "0.1"},
        {1.0f, 10, "1.0"},
        {10.0f, 10, "10.0"},
        {-10000.0f, 10, "-10000.0"},
        {-99000000.0f, 10, "-99000000.0"},
        {1.0f / 3.0f, 10, "0.3333333433"},
        {1.0f / 3.0f, 3, "0.333"},
        {2.5f, 0, "2.5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToShortest(c.value, c.limit), c.text) << c.value << " limit " << c.limit;
    }
    EXPECT_EQ(FloatToText(65535.0), "65535.0");
}

TEST(NumberText, FloatToShortestSurvivesNonFiniteValues) {
    // An infinite value would never leave the digit-counting loop.
    EXPECT_EQ(FloatToShortest(std::numeric_limits<float>::infinity(), 10), "inf");
    EXPECT_EQ(FloatToShortest(-std::numeric_limits<float>::infinity(), 10), "-inf");
    EXPECT_FALSE(FloatToShortest(std::numeric_limits<float>::quiet_NaN(), 10).empty());
    EXPECT_LE(FloatToShortest(std::numeric_limits<float>::max(), 10).size(), 255u);
}

TEST(NumberText, IntToFieldBlanksTheMarkerAtEveryWidth) {
    const struct {
        std::int64_t value;
        int width;
        std::string text;
    } cases[] = {
        {32767, 0, ""},
        {32767, 5, "     "},
        {32767, 300, std::string(204, ' ')},
        {5, 3, "  5"},
        {-12, 0, "-12"},
        {-12, 5, "  -12"},
        {123456, 3, "123456"},
        {-2147483647, 0, "-2147483647"},
        {32766, 0, "32766"},
        {0, 0, "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IntToField(c.value, c.width), c.text) << c.value << " width " << c.width;
    }
}

TEST(NumberText, ZeroPadIntAndFloatToFixed) {
    EXPECT_EQ(ZeroPadInt(7, 3), "007");
    EXPECT_EQ(ZeroPadInt(7, 1), "7");
    EXPECT_EQ(ZeroPadInt(123, 2), "123");
    EXPECT_EQ(ZeroPadInt(5, 20), std::string(11, '0') + "5");
    EXPECT_EQ(ZeroPadInt(-5, 4), "-005");

    EXPECT_EQ(FloatToFixed(2.5, 8, 2), "    2.50");
    EXPECT_EQ(FloatToFixed(3.14159, 7, 3), "  3.142");
    EXPECT_EQ(FloatToFixed(-1.0, 2, 1), "-1.0");
    EXPECT_EQ(FloatToFixed(2.5, 0, 2), "2.50E+00");
    EXPECT_LE(FloatToFixed(1e38, 8, 10000).size(), 255u);
}

TEST(NumberText, ParsersReportTheFirstUnusableCharacter) {
    const struct {
        const char* text;
        int code;
        double value;
    } cases[] = {
        {"1.5", 0, 1.5}, {"  -2e3", 0, -2000}, {"+.5", 0, 0.5}, {"5.", 0, 5},   {"1E-2", 0, 0.01},
        {"", 1, 0},      {"   ", 4, 0},        {"abc", 1, 0},   {"1.5x", 4, 0}, {"1e", 3, 0},
        {"1,5", 2, 0},   {" 12 ", 4, 0},       {"-", 2, 0},     {"$10", 1, 0},
    };
    for (const auto& c : cases) {
        double v = -7;
        int code = -1;
        EXPECT_EQ(TextToDouble(c.text, v, code), c.code == 0) << c.text;
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_EQ(v, c.code == 0 ? c.value : -7) << c.text;
    }
    double d = 0;
    int code = 0;
    EXPECT_FALSE(TextToDouble("1e999", d, code));
    EXPECT_NE(code, 0);

    float f = 0;
    EXPECT_TRUE(TextToSingle("3.4e38", f, code));
    EXPECT_FALSE(TextToSingle("1e39", f, code));
    EXPECT_NE(code, 0);
}

TEST(NumberText, IntegerTexts) {
    const struct {
        const char* text;
        int code;
        std::int64_t value;
    } cases[] = {
        {"42", 0, 42}, {"  -7", 0, -7}, {"+8", 0, 8}, {"$FF", 0, 255}, {"-$10", 0, -16},
        {"$", 2, 0},   {"1.0", 2, 0},   {"", 1, 0},   {"12a", 3, 0},   {"0x10", 2, 0},
    };
    for (const auto& c : cases) {
        std::int64_t v = -99;
        int code = -1;
        EXPECT_EQ(textToInt(c.text, v, code), c.code == 0) << c.text;
        EXPECT_EQ(code, c.code) << c.text;
        if (c.code == 0) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    std::int64_t v = 0;
    int code = 0;
    EXPECT_FALSE(textToInt("99999999999999999999999", v, code));
    EXPECT_NE(code, 0);
}

TEST(NumberText, BlankFloatAndDecimalCharacter) {
    EXPECT_TRUE(IsEmptyFloat(-99000000.0));
    EXPECT_TRUE(IsEmptyFloat(-99000005.0f));
    EXPECT_TRUE(IsEmptyFloat(-98999990.5));
    EXPECT_FALSE(IsEmptyFloat(-99000010.0));
    EXPECT_FALSE(IsEmptyFloat(0.0));

    EXPECT_EQ(DecimalChar(), '.');
    setDecimalChar(',');
    EXPECT_EQ(FloatToText(2.5), "2,5");
    EXPECT_EQ(FloatToFixed(2.5, 5, 2), " 2,50");
    double v = 0;
    int code = 0;
    EXPECT_TRUE(TextToDouble("2,5", v, code));
    EXPECT_EQ(v, 2.5);
    setDecimalChar('.');
    EXPECT_FALSE(TextToDouble("2,5", v, code));
}

}  // namespace
}  // namespace velor
