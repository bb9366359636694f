#pragma once
// The number texts of the whole program: every number a window shows is written here, and
// every number a user types is read here. All results are short texts (at most 255
// characters).

#include <cstdint>
#include <string>
#include <string_view>

namespace velor {

// Blank markers: the value a variable holds when its field was left empty.
inline constexpr std::int16_t kBlankInt16 = 32767;
inline constexpr std::int32_t kBlankInt32 = -2147483647;
inline constexpr float EmptyFloat = -99000000.0f;

inline constexpr std::size_t kShortTextMax = 255;

// True for any value within 10 of EmptyFloat.
bool IsEmptyFloat(double x);

// The decimal separator shown to and accepted from the user. The original program took the
// system's separator; that makes the same configuration read differently on two desktops and
// turns "2.5" into a refused entry under a Czech locale, so we keep '.' unless told otherwise.
char DecimalChar();
void setDecimalChar(char c);

// 32767 gives `width` blanks (at most 204) whatever the variable's width; any other value its
// decimal text, right-aligned in `width` characters when width is not 0.
std::string IntToField(std::int64_t value, int width);
// Decimal text padded with zeros to `width` characters (at most 11 zeros are added); the
// zeros go after a minus sign.
std::string ZeroPadInt(std::int64_t value, int width);
// Fixed point with `decimals` decimals, right-aligned in `width`; width 0 gives the
// scientific form with `decimals` digits after the point.
std::string FloatToFixed(double value, int width, int decimals);
// The shortest fixed-point text with at most `limit` decimals and at least one.
std::string FloatToShortest(float value, int limit);
std::string FloatToText(double value);

// Parse a decimal number (leading blanks, sign, digits, point, exponent). code is 0 on
// success, else the 1-based position of the first unusable character; value is untouched on
// failure. Returns code == 0.
bool TextToDouble(std::string_view text, double& value, int& code);
// As TextToDouble; a value beyond the range of a 32-bit float is refused.
bool TextToSingle(std::string_view text, float& value, int& code);
// A whole number: leading blanks, optional sign, decimal digits or "$" and hex digits.
// Magnitudes beyond 2^53 are refused.
bool textToInt(std::string_view text, std::int64_t& value, int& code);

}  // namespace velor
