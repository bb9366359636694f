// The parameter blocks built from the configurations: limits with the live-zero correction,
// constants, filters, the baud code and the tag.

#include "config/ImageBuilder.h"

#include <gtest/gtest.h>

#include "config/ConfigFiles.h"

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

}  // namespace
}  // namespace velor
