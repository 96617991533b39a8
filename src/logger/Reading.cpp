// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Reading.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "logger/DecimalText.h"

namespace halvik {

const char* UnitText(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? "\u00B0C" : "\u00B0F";
}

namespace {

// 2^(e - 127) for every exponent byte, exact in a double (halving and doubling are exact).
struct PowersOfTwo {
    double value[256] = {};
    constexpr PowersOfTwo() {
        double power = 1.0;
        for (int i = 0; i < 127; ++i)
            power /= 2.0;
        for (int e = 0; e < 256; ++e, power *= 2.0)
            value[e] = power;
    }
};
constexpr PowersOfTwo kPowersOfTwo;

}  // namespace

long double DecodeReading(int exponent, std::uint8_t signAndMantissa) {
    // Eight significant bits with a binary exponent of -127..128 (every byte value) are exact
    // in a double; other exponents are worked in extended precision.
    const double fraction = 1.0 + static_cast<double>(signAndMantissa & 0x7F) / 128.0;
    const long double value =
        exponent >= 0 && exponent <= 255
            ? static_cast<long double>(fraction * kPowersOfTwo.value[exponent])
            : std::ldexp(static_cast<long double>(fraction), exponent - 127);
    return (signAndMantissa & 0x80) != 0 ? -value : value;
}

float CelsiusToFahrenheit(float celsius) {
    long double result = static_cast<long double>(celsius) * 1.8L + 32.0L;
    if (std::isnan(result))
        return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(result) > static_cast<long double>(FLT_MAX))
        return result > 0 ? std::numeric_limits<float>::infinity()
                          : -std::numeric_limits<float>::infinity();
    return static_cast<float>(result);
}

long double FahrenheitReading(long double celsius) {
    long double wide = celsius * 1.8L + 32.0L;
    if (!std::isfinite(celsius) || std::fabs(celsius) > static_cast<long double>(FLT_MAX))
        return wide;
    float fahrenheit = CelsiusToFahrenheit(static_cast<float>(celsius));
    if (std::isinf(fahrenheit))
        return wide;
    return fahrenheit;
}

std::string TemperatureText(long double value, const LocaleSettings& locale) {
    return FixedOneDecimalText(value, 4, locale.decimalSeparator);
}

void AppendReadingBytes(DownloadState& state, const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0)
        return;
    std::string& text = state.DownloadText;
    text.reserve(text.size() + 3 * size);
    for (std::size_t i = 0; i < size; ++i) {
        unsigned byte = data[i];
        char group[3] = {' ', ' ', static_cast<char>('0' + byte % 10)};
        if (byte >= 10)
            group[1] = static_cast<char>('0' + byte / 10 % 10);
        if (byte >= 100)
            group[0] = static_cast<char>('0' + byte / 100);
        text.append(group, 3);
    }
}

}  // namespace halvik
