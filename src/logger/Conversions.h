// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace halvik {

// Text-to-number conversions used wherever a value is read back from a text (header texts,
// byte groups, grid cells). Independent of the process's C locale.

// A decimal integer with optional leading blanks and an optional sign, nothing after it, within
// the signed 32-bit range. Throws LoggerError("'<text>' is not a valid integer value") otherwise
// (the text quoted as given, so an empty text reads "'' is not a valid integer value").
int TextToInt(std::string_view text);

// A decimal number with optional leading blanks, an optional sign, digits, and at most one
// `decimalSeparator` followed by digits (an exponent "E-5" is accepted too). The result is the
// nearest extended-precision value. An empty separator is taken as ".". Throws
// LoggerError("'<text>' is not a valid floating point value") otherwise.
long double TextToNumber(std::string_view text, std::string_view decimalSeparator);

// Plain decimal text of an integer ("-5", "14400").
std::string IntText(long long value);

// At least two digits with a leading zero ("05", "23", "123").
std::string TwoDigitText(unsigned value);

// Right-aligned in three characters (" 14", "  7", "255", "1000").
std::string ThreeWideText(unsigned value);

}  // namespace halvik
