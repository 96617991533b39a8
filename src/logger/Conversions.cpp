// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Conversions.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

#include "logger/LoggerError.h"

namespace halvik {

namespace {

std::string Quoted(std::string_view text, const char* what) {
    std::string message = "'";
    message.append(text);
    message += "' is not a valid ";
    message += what;
    return message;
}

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exact powers of ten in extended precision (10^27 still fits the 64-bit mantissa).
long double PowerOfTen(int n) {
    long double p = 1.0L;
    for (int i = 0; i < n; ++i)
        p *= 10.0L;
    return p;
}

}  // namespace

int TextToInt(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        throw LoggerError(Quoted(text, "integer value"));
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            throw LoggerError(Quoted(text, "integer value"));
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<int>::max()} + 1)
            throw LoggerError(Quoted(text, "integer value"));
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        throw LoggerError(Quoted(text, "integer value"));
    return static_cast<int>(value);
}

long double TextToNumber(std::string_view text, std::string_view decimalSeparator) {
    if (decimalSeparator.empty())
        decimalSeparator = ".";  // as the texts are written then
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // First pass: the syntax, and the value when it fits one exact division.
    std::uint64_t mantissa = 0;
    int significant = 0, fractionDigits = 0, digits = 0;
    auto takeDigit = [&](char c) {
        ++digits;
        if (significant > 0 || c != '0')
            ++significant;
        if (significant <= 18)
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    };
    const std::size_t numberStart = i;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        takeDigit(text[i]);
    std::size_t separatorAt = std::string_view::npos;
    if (i < text.size() && text.substr(i).starts_with(decimalSeparator)) {
        separatorAt = i;
        i += decimalSeparator.size();
        for (; i < text.size() && IsDigit(text[i]); ++i, ++fractionDigits)
            takeDigit(text[i]);
    }
    if (digits == 0)
        throw LoggerError(Quoted(text, "floating point value"));
    bool exponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        exponent = true;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t first = i;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
        }
        if (i == first)
            throw LoggerError(Quoted(text, "floating point value"));
    }
    if (i != text.size())
        throw LoggerError(Quoted(text, "floating point value"));
    if (!exponent && significant <= 18 && fractionDigits <= 27) {
        // Both operands are exact, so one division rounds correctly to the nearest value.
        long double value = static_cast<long double>(mantissa) / PowerOfTen(fractionDigits);
        return negative ? -value : value;
    }
    // Long mantissas and exponents: the general conversion, on the number rewritten with '.'
    // for std::from_chars, which ignores the process locale.
    std::string plain;
    if (separatorAt == std::string_view::npos) {
        plain.append(text.substr(numberStart));
    } else {
        plain.append(text.substr(numberStart, separatorAt - numberStart));
        plain += '.';
        plain.append(text.substr(separatorAt + decimalSeparator.size()));
    }
    long double value = 0;
    auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size())
        throw LoggerError(Quoted(text, "floating point value"));
    return negative ? -value : value;
}

std::string IntText(long long value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string TwoDigitText(unsigned value) {
    std::string text = IntText(value);
    if (text.size() < 2)
        text.insert(0, 2 - text.size(), '0');
    return text;
}

std::string ThreeWideText(unsigned value) {
    std::string text = IntText(value);
    if (text.size() < 3)
        text.insert(0, 3 - text.size(), ' ');
    return text;
}

}  // namespace halvik
