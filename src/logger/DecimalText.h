// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace halvik {

// A number written with exactly one decimal: rounded once, at one decimal place or at
// `significantDigits` significant digits, whichever keeps fewer digits; halves away from zero,
// judged on the exact binary value; a result of zero is written without a minus sign. From
// 10^(significantDigits-1) upwards the rounded value is an integer and still gets ".0"
// (significantDigits 3: 158.7 gives "159.0", 1234 gives "1230.0"). Infinities and NaN give
// "INF", "-INF" and "NAN". An empty separator is taken as ".". Independent of the process locale.
std::string FixedOneDecimalText(long double value, int significantDigits,
                                std::string_view decimalSeparator);

}  // namespace halvik
