#pragma once
// Scientific text of the polynomial constants, as the analog editor shows them: mantissa with a
// fixed number of decimals, then "E+" or "E-" and an exponent of at least two digits.

#include <string>

namespace velor {

std::string FormatExponent(int decimals, double x, char decimalChar = '.');

}  // namespace velor
