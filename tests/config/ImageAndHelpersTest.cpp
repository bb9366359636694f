// The parameter blocks built from the configurations, the number text of the polynomial
// constants and the small shared operations.

#include <gtest/gtest.h>

#include <array>

#include "config/ConfigFiles.h"
#include "config/FormatExponent.h"
#include "config/ImageBuilder.h"
#include "config/ModuleHelpers.h"

namespace velor {
namespace {

TEST(AnalogImageLowLimit, LiveZeroCorrection) {
    struct Case {
        float zero, rangeHigh, low, high, expected;
    };
    const Case cases[] = {
        {2, 10, -10, -5, -13.75f},  // span |-10| + |-5| = 15, not 5
        {4, 20, 0, 100, -25},
        {10, 10, -3, 7, -3},  // ZeroSuppression equal to RangeHigh: no correction
        {0, 20, 0, 100, 0},
        {0, 0, 5, 50, 5},  // "Nedefinován": RangeHigh 0
    };
    for (const Case& c : cases) {
        AnalogInput in;
        in.ZeroSuppression = c.zero;
        in.LowLimit = c.low;
        in.HighLimit = c.high;
        EXPECT_FLOAT_EQ(imageLowLimit(in, c.rangeHigh), c.expected)
            << c.zero << " " << c.rangeHigh << " " << c.low << " " << c.high;
    }
}

TEST(BuildAnalogImage, ConstantsLimitsFiltersAndVariant12) {
    ConfigState s;
    InitAnalogConfig(s);
    std::copy(BuiltInSensorTable().begin(), BuiltInSensorTable().end(), s.SensorTable.begin());
    auto& inputs = s.AnalogConfig.Inputs;
    inputs[0].SensorIndex = 15;  // linear, KAXI-12:0-20mA
    inputs[0].ZeroSuppression = 4;
    inputs[0].FilterConstant = 40000;
    inputs[1].SensorIndex = 31;    // linearised temperature range
    inputs[2].SensorIndex = 1000;  // out of the table: taken as entry 0
    s.AnalogImage.ResponseDelay = 33;
    s.AnalogImage.Tag = {};

    for (const std::uint8_t variant : {0, 1}) {
        SCOPED_TRACE(int(variant));
        s.AnalogConfig.Variant = variant;
        BuildAnalogImage(s, 1);
        const AnalogImage& img = s.AnalogImage;
        EXPECT_FLOAT_EQ(img.LowLimit[0], -25.0f);
        EXPECT_FLOAT_EQ(img.HighLimit[0], 100.0f);
        EXPECT_EQ(img.Filter[0], 40000);
        EXPECT_FLOAT_EQ(img.C[0], variant == 1 ? 1.0f : 0.25f);
        EXPECT_FLOAT_EQ(img.C[1], 1.0960924f);  // linearised: C unchanged in every variant
        EXPECT_FLOAT_EQ(img.B[1], -1.613509e-06f);
        EXPECT_FLOAT_EQ(img.A[1], 2.2439807e-12f);
        EXPECT_FLOAT_EQ(img.D[1], 0.0f);
        EXPECT_FLOAT_EQ(img.C[2], variant == 1 ? 1.0f : 0.25f);
        EXPECT_EQ(img.BaudCode, 9);
        EXPECT_EQ(img.ResponseDelay, 33);  // the editor's, untouched
        EXPECT_EQ(img.CommTimeout, 5000);
        const auto bytes = img.toBytes();
        EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 8), "save");
    }
}

TEST(BuildBinaryImage, FiltersBaudCodeAndTag) {
    ConfigState s;
    InitBinaryConfig(s);
    s.BinaryConfig.Inputs[0].FilterH = 7;
    s.BinaryConfig.Inputs[0].FilterL = 3;
    s.BinaryConfig.Inputs[63].FilterH = 255;
    BuildBinaryImage(s, 7);
    const auto bytes = s.BinaryImage.toBytes();
    EXPECT_EQ(bytes[1], 19);  // index above 4
    EXPECT_EQ(bytes[8], 7);
    EXPECT_EQ(bytes[72], 3);
    EXPECT_EQ(bytes[71], 255);
    EXPECT_EQ(bytes[9], 1);
    EXPECT_EQ(bytes[135], 1);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 8), "save");
}

TEST(FormatExponent, Examples) {
    struct Case {
        double x;
        const char* text;
    };
    const Case cases[] = {
        {0.25, "2.5000000E-01"},
        {1, "1.0000000E+00"},
        {1027.01, "1.0270100E+03"},
        {-1.613509e-06, "-1.6135090E-06"},
        {0, "0.00E-00"},
        {1e-16, "0.00E-00"},
        {9.1492629e-14, "9.1492629E-14"},
        {0.98035894, "9.8035894E-01"},
        {-0.5, "-5.0000000E-01"},
        {12345678901.0, "1.2345679E+10"},
        // -1 and below: the sign, then the text of the magnitude.
        {-1, "-1.0000000E+00"},
        {-1.5, "-1.5000000E+00"},
        {-1027.01, "-1.0270100E+03"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatExponent(7, c.x), c.text) << c.x;
    EXPECT_EQ(FormatExponent(2, 0.25), "2.50E-01");
    EXPECT_EQ(FormatExponent(0, 5), "   5E+00");
    EXPECT_EQ(FormatExponent(0, -5), "  -5E+00");
    EXPECT_EQ(FormatExponent(7, 0.25, ','), "2,5000000E-01");
    EXPECT_EQ(FormatExponent(7, 1e300 * 1e300), "+INF");  // never loops on infinity
}

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
