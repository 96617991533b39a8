// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"

namespace halvik {

enum class TemperatureUnit { Celsius, Fahrenheit };

// "°C" or "°F" (UTF-8), the unit labels' caption.
const char* UnitText(TemperatureUnit unit);

// A reading's two bytes: exponent E (bias 127), then sign bit 7 and mantissa bits 6..0.
// Value = (-1)^S * 2^(E-127) * (1 + M/128) in °C, exact. No special cases (E = 0 and E = 255 are
// ordinary exponents).
long double DecodeReading(int exponent, std::uint8_t signAndMantissa);

// x * 1.8 + 32 computed in extended precision and rounded once to single precision. A result
// beyond the single-precision range comes out as +/- infinity.
float CelsiusToFahrenheit(float celsius);

// The Fahrenheit value the grid shows for a decoded Celsius value: the value rounded to single
// precision, then CelsiusToFahrenheit. Values whose single-precision form or result would leave
// the single-precision range (exponent byte 255 and the like) are converted in extended
// precision without that rounding, so they still give a number.
long double FahrenheitReading(long double celsius);

// The temperature text of the grid (without its twelve leading blanks): one decimal, halves
// away from zero judged on the exact value, never "-0.0", the locale's decimal separator, at most
// four significant digits (1234.5 gives "1235.0", 12345 gives "12350.0").
std::string TemperatureText(long double value, const LocaleSettings& locale);

// The download handler's work: appends each of the `size` data bytes as a three-character
// group ("  7", " 42", "255") to state.DownloadText. The report ID is not part of `data`.
void AppendReadingBytes(DownloadState& state, const std::uint8_t* data, std::size_t size);

}  // namespace halvik
