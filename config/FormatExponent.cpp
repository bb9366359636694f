#include "config/FormatExponent.h"

#include <charconv>
#include <cmath>

namespace velor {

namespace {

// v with exactly d decimals (rounded), right-aligned in at least 4 characters.
std::string fixed(double v, int d) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d);
    std::string text(buf, res.ptr);
    if (text.size() < 4) text.insert(0, 4 - text.size(), ' ');
    return text;
}

std::string exponent(int k) {
    std::string digits = std::to_string(k);
    if (digits.size() < 2) digits.insert(0, 1, '0');
    return digits;
}

// Values of magnitude below one (and zero): the mantissa is scaled up until it reaches one.
std::string formatSmall(int decimals, double x) {
    if (std::fabs(x) <= 1e-15) return "0.00E-00";
    double v = x;
    int k = 0;
    while (std::fabs(v) < 0.999999999) {
        v *= 10;
        ++k;
    }
    std::string t = fixed(v, decimals + 1);
    t.pop_back();
    const auto digits = t.find_first_not_of(' ');
    double shown = 0.0;
    std::from_chars(t.data() + digits, t.data() + t.size(), shown);
    if (shown > 9.99) {
        --k;
        t = fixed(shown / 10, decimals);
    }
    return t + "E-" + exponent(k);
}

std::string formatNonNegative(int decimals, double x) {
    double v = x;
    int k = 0;
    while (v > 9.999999999) {
        v /= 10;
        ++k;
    }
    if (k > 0 || v > 0.999999999) return fixed(v, decimals) + "E+" + exponent(k);
    return formatSmall(decimals, x);
}

}  // namespace

std::string FormatExponent(int decimals, double x, char decimalChar) {
    if (decimals < 0) decimals = 0;
    if (decimals > 300) decimals = 300;
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "+INF" : "-INF";

    std::string text;
    if (x > -1.0) {
        text = formatNonNegative(decimals, x);
    } else {
        // -1 and below: the sign, then the text of the magnitude, in the width it had.
        text = formatNonNegative(decimals, -x);
        const auto first = text.find_first_not_of(' ');
        if (first > 0)
            text[first - 1] = '-';
        else
            text.insert(0, 1, '-');
    }
    if (decimalChar != '.') {
        const auto point = text.find('.');
        if (point != std::string::npos) text[point] = decimalChar;
    }
    return text;
}

}  // namespace velor
