#include "ui/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velor {
namespace {

char gDecimalChar = '.';

std::string cutShort(std::string s) {
    if (s.size() > kShortTextMax) s.resize(kShortTextMax);
    return s;
}

std::string rightAlign(std::string s, int width) {
    if (width > 0 && s.size() < static_cast<std::size_t>(width)) {
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    }
    return s;
}

// Formatting writes '.', the user sees the decimal character.
std::string withDecimalChar(std::string s) {
    if (gDecimalChar == '.') return s;
    const auto pos = s.find('.');
    if (pos != std::string::npos) s[pos] = gDecimalChar;
    return s;
}

std::string printFixed(double value, int width, int decimals) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%*.*f", std::clamp(width, 0, 255), std::clamp(decimals, 0, 60),
                  value);
    return buf;
}

std::string normaliseDecimal(std::string_view text) {
    std::string s(text);
    if (gDecimalChar == '.') return s;
    const auto pos = s.find(gDecimalChar);
    if (pos != std::string::npos) s[pos] = '.';
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipBlanks(std::string_view s) {
    std::size_t pos = 0;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    return pos;
}

std::size_t skipDigits(std::string_view s, std::size_t pos) {
    while (pos < s.size() && isDigit(s[pos])) ++pos;
    return pos;
}

// Scans [sign] digits [. digits] [e [sign] digits] from pos; returns the end of a valid
// number, or the position of the first unusable character through `bad`.
std::size_t scanDecimal(std::string_view s, std::size_t pos, std::size_t& bad) {
    bad = std::string_view::npos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
    const std::size_t intStart = pos;
    pos = skipDigits(s, pos);
    std::size_t digits = pos - intStart;
    if (pos < s.size() && s[pos] == '.') {
        const std::size_t fracStart = ++pos;
        pos = skipDigits(s, pos);
        digits += pos - fracStart;
    }
    if (digits == 0) {
        bad = pos;
        return pos;
    }
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        ++pos;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
        const std::size_t expStart = pos;
        pos = skipDigits(s, pos);
        if (pos == expStart) bad = pos;
    }
    return pos;
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool IsEmptyFloat(double x) {
    return std::fabs(x - static_cast<double>(EmptyFloat)) < 10.0;
}

char DecimalChar() {
    return gDecimalChar;
}

void setDecimalChar(char c) {
    gDecimalChar = c == 0 ? '.' : c;
}

std::string IntToField(std::int64_t value, int width) {
    if (value == kBlankInt16)
        return std::string(static_cast<std::size_t>(std::clamp(width, 0, 204)), ' ');
    return cutShort(rightAlign(std::to_string(value), width));
}

std::string ZeroPadInt(std::int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -static_cast<std::uint64_t>(value)
                                                  : static_cast<std::uint64_t>(value));
    const std::size_t sign = value < 0 ? 1 : 0;
    const std::size_t len = digits.size() + sign;
    if (width > 0 && len < static_cast<std::size_t>(width)) {
        digits.insert(0, std::min<std::size_t>(static_cast<std::size_t>(width) - len, 11), '0');
    }
    return sign ? "-" + digits : digits;
}

std::string FloatToFixed(double value, int width, int decimals) {
    if (width != 0) return cutShort(withDecimalChar(printFixed(value, width, decimals)));
    char buf[100];
    std::snprintf(buf, sizeof buf, "%.*E", std::clamp(decimals, 0, 60), value);
    return withDecimalChar(buf);
}

std::string FloatToShortest(float value, int limit) {
    const double x = value;
    if (!std::isfinite(x))
        return printFixed(x, 0, 1);  // "inf"/"nan"; the loops below need a finite value
    int intDigits = 0;
    for (double v = x; v > 1.0; v /= 10.0) ++intDigits;
    double f = x - std::trunc(x);
    int d = 0;
    const int maxDecimals = std::clamp(limit, 0, 60);
    while (d < maxDecimals && std::fabs(f) < 2147483647.0 &&
           std::fabs(f - std::round(f)) > 0.00001) {
        f *= 10.0;
        ++d;
    }
    if (d == 0) d = 1;
    return cutShort(withDecimalChar(printFixed(x, intDigits + d + 1, d)));
}

std::string FloatToText(double value) {
    return FloatToShortest(static_cast<float>(value), 10);
}

bool TextToDouble(std::string_view text, double& value, int& code) {
    const std::string s = normaliseDecimal(text);
    const std::size_t start = skipBlanks(s);
    std::size_t bad = 0;
    const std::size_t end = scanDecimal(s, start, bad);
    if (bad != std::string_view::npos || end != s.size()) {
        code = static_cast<int>((bad != std::string_view::npos ? bad : end) + 1);
        return false;
    }
    // from_chars takes no '+' and ignores the locale, which is what we want here.
    const std::size_t numStart = s[start] == '+' ? start + 1 : start;
    double parsed = 0;
    const auto res = std::from_chars(s.data() + numStart, s.data() + end, parsed);
    if (res.ec != std::errc() || !std::isfinite(parsed)) {
        code = static_cast<int>(end);
        return false;
    }
    code = 0;
    value = parsed;
    return true;
}

bool TextToSingle(std::string_view text, float& value, int& code) {
    double parsed = 0;
    if (!TextToDouble(text, parsed, code)) return false;
    if (std::fabs(parsed) > static_cast<double>(std::numeric_limits<float>::max())) {
        code = static_cast<int>(std::max<std::size_t>(text.size(), 1));
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

bool textToInt(std::string_view text, std::int64_t& value, int& code) {
    constexpr std::int64_t kLimit = std::int64_t{1} << 53;
    std::size_t pos = skipBlanks(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    }
    const std::size_t digitsStart = pos;
    std::int64_t v = 0;
    for (; pos < text.size(); ++pos) {
        const int digit =
            base == 16 ? hexValue(text[pos]) : (isDigit(text[pos]) ? text[pos] - '0' : -1);
        if (digit < 0) break;
        v = v * base + digit;
        if (v > kLimit) break;
    }
    if (pos != text.size() || pos == digitsStart) {
        code = static_cast<int>(pos + 1);
        return false;
    }
    code = 0;
    value = negative ? -v : v;
    return true;
}

}  // namespace velor
