// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/DecimalText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "logger/Conversions.h"

namespace halvik {

namespace {

// Number of decimals kept: one, or fewer where the significant digits run out first. `exponent`
// is floor(log10(|value|)) of the unrounded value.
int DecimalsKept(int exponent, int significantDigits) {
    int decimals = significantDigits - 1 - exponent;
    return decimals < 1 ? decimals : 1;
}

std::string Compose(bool negative, std::string integerDigits, char decimalDigit,
                    std::string_view decimalSeparator) {
    bool zero = decimalDigit == '0' && integerDigits.find_first_not_of('0') == std::string::npos;
    std::string text;
    text.reserve(integerDigits.size() + 2 + decimalSeparator.size());
    if (negative && !zero)
        text += '-';
    text += integerDigits;
    text += decimalSeparator;
    text += decimalDigit;
    return text;
}

// The general path: the exact decimal expansion of the value, rounded as a digit string.
std::string ExactText(long double magnitude, bool negative, int significantDigits,
                      std::string_view decimalSeparator) {
    // Anything below 0.04 rounds to zero at one decimal.
    if (magnitude < 0.04L)
        return Compose(false, "0", '0', decimalSeparator);
    // A 64-bit mantissa and magnitude >= 2^-5 leave at most 69 binary fraction digits, so 80
    // decimals print the value exactly.
    constexpr int kFraction = 80;
    std::string buffer(4990 + kFraction, '\0');
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                std::chars_format::fixed, kFraction);
    buffer.resize(static_cast<std::size_t>(result.ptr - buffer.data()));
    std::size_t point = buffer.find('.');
    std::string digits = buffer.substr(0, point) + buffer.substr(point + 1);
    int integerLength = static_cast<int>(point);
    int exponent = buffer[0] == '0' ? -1 : integerLength - 1;
    int decimals = DecimalsKept(exponent, significantDigits);
    int keep = integerLength + decimals;  // digits kept from the start of `digits`
    bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    std::string kept = digits.substr(0, static_cast<std::size_t>(keep));
    if (up) {
        int k = keep - 1;
        while (k >= 0 && kept[static_cast<std::size_t>(k)] == '9')
            kept[static_cast<std::size_t>(k--)] = '0';
        if (k >= 0)
            ++kept[static_cast<std::size_t>(k)];
        else
            kept.insert(kept.begin(), '1');
    }
    if (decimals == 1) {
        char last = kept.back();
        kept.pop_back();
        std::size_t first = kept.find_first_not_of('0');
        kept = first == std::string::npos ? "0" : kept.substr(first);
        return Compose(negative, kept, last, decimalSeparator);
    }
    kept.append(static_cast<std::size_t>(-decimals), '0');
    std::size_t first = kept.find_first_not_of('0');
    kept = first == std::string::npos ? "0" : kept.substr(first);
    return Compose(negative, kept, '0', decimalSeparator);
}

}  // namespace

std::string FixedOneDecimalText(long double value, int significantDigits,
                                std::string_view decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (significantDigits < 1)
        significantDigits = 1;
    // Without a separator "24.3" would read as 243.
    if (decimalSeparator.empty())
        decimalSeparator = ".";
    bool negative = std::signbit(value);
    long double magnitude = std::fabs(value);

    // Fast path for values that are exact doubles of moderate size: times 10 is then exact in
    // the 64-bit mantissa, so the rounding below works on the exact value.
    if (magnitude < 1e15L && decimalSeparator.size() <= 16 &&
        static_cast<long double>(static_cast<double>(magnitude)) == magnitude) {
        int exponent = -1;
        for (double power = 1.0; static_cast<double>(magnitude) >= power; power *= 10.0)
            ++exponent;
        const int decimals = DecimalsKept(exponent, significantDigits);
        if (decimals >= 0) {
            const long double scaled = decimals == 1 ? magnitude * 10.0L : magnitude;
            auto rounded = static_cast<std::uint64_t>(scaled);  // truncation is exact here
            if (scaled - static_cast<long double>(rounded) >= 0.5L)
                ++rounded;  // halves up
            char last = '0';
            if (decimals == 1) {
                last = static_cast<char>('0' + rounded % 10);
                rounded /= 10;
            }
            // Built right to left in a buffer and copied once: this runs for every reading.
            char buffer[48];
            char* const end = buffer + sizeof buffer;
            char* first = end;
            *--first = last;
            first -= decimalSeparator.size();
            std::copy(decimalSeparator.begin(), decimalSeparator.end(), first);
            const char* const integerEnd = first;
            do {
                *--first = static_cast<char>('0' + rounded % 10);
                rounded /= 10;
            } while (rounded != 0);
            const bool zero = last == '0' && first + 1 == integerEnd && *first == '0';
            if (negative && !zero)
                *--first = '-';
            std::string text(first, end);
            return text;
        }
    }
    return ExactText(magnitude, negative, significantDigits, decimalSeparator);
}

}  // namespace halvik
