// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Reading.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

#include "TestLocales.h"
#include "logger/DecimalText.h"

namespace halvik {
namespace {

using test::English;
using test::German;
using test::WithSeparator;

struct ReadingCase {
    std::uint8_t exponent, signAndMantissa;
    long double value;
    const char* celsius;
    const char* fahrenheit;
};

const ReadingCase kReadings[] = {
    {0x83, 0x40, 24.0L, "24.0", "75.2"},     {0x83, 0x42, 24.25L, "24.3", "75.7"},
    {0x83, 0xC2, -24.25L, "-24.3", "-11.6"}, {0x7E, 0x40, 0.75L, "0.8", "33.3"},
    {0x7E, 0x80, -0.5L, "-0.5", "31.1"},     {0x7A, 0x80, -0.03125L, "0.0", "31.9"},
    {0x7F, 0x00, 1.0L, "1.0", "33.8"},       {0x00, 0x00, std::ldexp(1.0L, -127), "0.0", "32.0"},
    {0x85, 0x0C, 70.0L, "70.0", "158.0"},    {0x83, 0x20, 20.0L, "20.0", "68.0"},
    {0x83, 0x48, 25.0L, "25.0", "77.0"},     {0x83, 0x70, 30.0L, "30.0", "86.0"},
};

class ReadingTexts : public testing::TestWithParam<LocaleSettings> {};

TEST_P(ReadingTexts, DecodedValueAndTextInBothUnits) {
    const LocaleSettings& locale = GetParam();
    for (const ReadingCase& c : kReadings) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << int(c.exponent) << " " << int(c.signAndMantissa));
        long double value = DecodeReading(c.exponent, c.signAndMantissa);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(TemperatureText(value, locale), WithSeparator(c.celsius, locale));
        EXPECT_EQ(TemperatureText(FahrenheitReading(value), locale),
                  WithSeparator(c.fahrenheit, locale));
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, ReadingTexts, testing::Values(English(), German()),
                         test::LocaleName);

TEST(DecodeReading, EveryExponentIsAnOrdinaryPowerOfTwo) {
    for (int e = 0; e < 256; ++e) {
        EXPECT_EQ(DecodeReading(e, 0x00), std::ldexp(1.0L, e - 127)) << e;
        EXPECT_EQ(DecodeReading(e, 0xFF), -std::ldexp(1.0L + 127.0L / 128.0L, e - 127)) << e;
    }
    // Exponents that no byte gives still decode by the same rule.
    EXPECT_EQ(DecodeReading(300, 0x40), std::ldexp(1.5L, 173));
    EXPECT_EQ(DecodeReading(-5, 0x80), -std::ldexp(1.0L, -132));
}

TEST(CelsiusToFahrenheit, RoundsOnceToSinglePrecision) {
    // -11.65 and 33.35 are not representable: the single-precision results lie just inside,
    // which is why the grid shows -11.6 and 33.3.
    EXPECT_EQ(CelsiusToFahrenheit(-24.25f), -11.6499996f);
    EXPECT_EQ(CelsiusToFahrenheit(0.75f), 33.3499985f);
    EXPECT_LT(static_cast<double>(CelsiusToFahrenheit(0.75f)), 33.35);
    EXPECT_EQ(CelsiusToFahrenheit(100.0f), 212.0f);
    EXPECT_EQ(CelsiusToFahrenheit(-40.0f), -40.0f);
    EXPECT_TRUE(std::isinf(CelsiusToFahrenheit(3.0e38f)));
}

TEST(FahrenheitReading, ValuesBeyondSinglePrecisionStillGiveANumber) {
    for (int mantissa : {0x00, 0x7F, 0x80, 0xFF}) {
        long double celsius = DecodeReading(255, static_cast<std::uint8_t>(mantissa));
        long double fahrenheit = FahrenheitReading(celsius);
        ASSERT_TRUE(std::isfinite(fahrenheit)) << mantissa;
        EXPECT_EQ(fahrenheit, celsius * 1.8L + 32.0L);
        std::string text = TemperatureText(fahrenheit, English());
        EXPECT_EQ(text.substr(text.size() - 2), ".0");
        EXPECT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << text;
    }
    // Exponent 254 still fits single precision, its Fahrenheit form does not.
    long double big = DecodeReading(254, 0x7F);
    EXPECT_EQ(FahrenheitReading(big), big * 1.8L + 32.0L);
}

TEST(FixedOneDecimalText, RoundingAtOneDecimalOrTheSignificantDigits) {
    struct Case {
        long double value;
        int digits;
        const char* text;
    };
    const Case cases[] = {
        {24.25L, 4, "24.3"},      {-24.25L, 4, "-24.3"},      {0.25L, 4, "0.3"},
        {0.05, 4, "0.1"},         {-0.04L, 4, "0.0"},         {-0.0L, 4, "0.0"},
        {999.94, 4, "999.9"},     {999.96, 4, "1000.0"},      {1234.5L, 4, "1235.0"},
        {1234.4L, 4, "1234.0"},   {9999.5L, 4, "10000.0"},    {12345.0L, 4, "12350.0"},
        {12355.0L, 4, "12360.0"}, {-12344.0L, 4, "-12340.0"}, {1e20L, 4, "100000000000000000000.0"},
        {100.4L, 3, "100.0"},     {158.7L, 3, "159.0"},       {99.94, 3, "99.9"},
        {99.95, 3, "100.0"},      {999.4L, 3, "999.0"},       {999.5L, 3, "1000.0"},
        {1234.0L, 3, "1230.0"},   {1235.0L, 3, "1240.0"},     {-100.5L, 3, "-101.0"},
        {25.858L, 3, "25.9"},     {78.5444L, 3, "78.5"},      {24.3L, 3, "24.3"},
        {0.0499999L, 3, "0.0"},   {-0.0500001L, 3, "-0.1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FixedOneDecimalText(c.value, c.digits, "."), c.text)
            << static_cast<double>(c.value) << " at " << c.digits;
        EXPECT_EQ(FixedOneDecimalText(c.value, c.digits, ","), WithSeparator(c.text, German()));
    }
    EXPECT_EQ(FixedOneDecimalText(INFINITY, 4, "."), "INF");
    EXPECT_EQ(FixedOneDecimalText(-INFINITY, 4, "."), "-INF");
    EXPECT_EQ(FixedOneDecimalText(NAN, 4, "."), "NAN");
    EXPECT_EQ(FixedOneDecimalText(24.25L, 4, ""), "24.3");
}

// The exact decimal expansion of a double, rounded at one decimal with halves away from zero:
// worked on the digits, independently of the formatter's arithmetic.
std::string ReferenceText(double value) {
    char buffer[512];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                             std::chars_format::fixed, 200)
                   .ptr;
    std::string digits(buffer, end);
    std::size_t point = digits.find('.');
    std::string kept = digits.substr(0, point) + digits[point + 1];
    if (digits[point + 2] >= '5') {
        int k = static_cast<int>(kept.size()) - 1;
        while (k >= 0 && kept[k] == '9')
            kept[k--] = '0';
        if (k < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[k];
    }
    std::string text = kept.substr(0, kept.size() - 1) + "." + kept.back();
    if (std::signbit(value) && text.find_first_not_of("0.") != std::string::npos)
        text.insert(0, "-");
    return text;
}

TEST(TemperatureText, EveryByteBelowAThousandMatchesTheExactDecimalRounding) {
    int compared = 0;
    for (int exponent = 0; exponent < 256; ++exponent) {
        for (int second = 0; second < 256; ++second) {
            long double celsius = DecodeReading(exponent, static_cast<std::uint8_t>(second));
            for (long double value : {celsius, FahrenheitReading(celsius)}) {
                if (std::fabs(value) >= 999.0L)
                    continue;
                ASSERT_EQ(TemperatureText(value, English()),
                          ReferenceText(static_cast<double>(value)))
                    << exponent << " " << second;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 60000);
}

TEST(AppendReadingBytes, AppendsThreeCharacterGroups) {
    DownloadState state;
    const std::uint8_t first[] = {7, 42, 255, 0};
    AppendReadingBytes(state, first, sizeof first);
    EXPECT_EQ(state.DownloadText, "  7 42255  0");
    const std::uint8_t second[] = {100, 9};
    AppendReadingBytes(state, second, sizeof second);
    EXPECT_EQ(state.DownloadText, "  7 42255  0100  9");
    AppendReadingBytes(state, nullptr, 0);
    EXPECT_EQ(state.DownloadText.size(), 18u);

    std::vector<std::uint8_t> report(64, 0x83);
    DownloadState full;
    AppendReadingBytes(full, report.data(), report.size());
    EXPECT_EQ(full.DownloadText.size(), 192u);
}

TEST(UnitText, DegreeSignInUtf8) {
    EXPECT_EQ(std::string(UnitText(TemperatureUnit::Celsius)),
              "\xC2\xB0"
              "C");
    EXPECT_EQ(std::string(UnitText(TemperatureUnit::Fahrenheit)),
              "\xC2\xB0"
              "F");
}

}  // namespace
}  // namespace halvik
