// The number text of the polynomial constants.

#include "config/FormatExponent.h"

#include <gtest/gtest.h>

namespace velor {
namespace {

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

}  // namespace
}  // namespace velor
