// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "TestLocales.h"
#include "logger/LoggerError.h"

namespace halvik {
namespace {

using test::WithSeparator;

TEST(ElapsedText, ByNumberOfReadings) {
    const std::pair<int, const char*> cases[] = {
        {1, "0 Hour(s),  0 Minute(s)"},
        {3, "0 Hour(s),  12 Minute(s)"},
        {11, "1 Hour(s),  0 Minute(s)"},
        {240, "23 Hour(s),  54 Minute(s)"},
        {241, "1 Day(s),  0 Hour(s),  0 Minute(s)"},
        {1440, "5 Day(s),  23 Hour(s),  54 Minute(s)"},
        {14400, "59 Day(s),  23 Hour(s),  54 Minute(s)"},
    };
    for (auto [count, text] : cases)
        EXPECT_EQ(ElapsedText(count), text) << count;
}

struct MktCase {
    std::vector<long double> celsius;
    const char* text;
};

class MeanKinetic : public testing::TestWithParam<LocaleSettings> {};

TEST_P(MeanKinetic, Examples) {
    const MktCase cases[] = {
        {{20.0L, 25.0L, 30.0L}, "25.9"},
        {{24.3L, 24.3L, 24.3L}, "24.3"},
        {{2.0L, 8.0L, 25.0L}, "17.0"},  // well above the arithmetic mean of 11.7
        {{-18.5L}, "-18.5"},
        {{0.0L, 0.0L}, "0.0"},
    };
    for (const MktCase& c : cases)
        EXPECT_EQ(StatisticText(MeanKineticTemperature(c.celsius), GetParam()),
                  WithSeparator(c.text, GetParam()));
    const long double three[] = {20.0L, 25.0L, 30.0L};
    EXPECT_NEAR(static_cast<double>(MeanKineticTemperature(three)), 25.858, 0.0005);
}

INSTANTIATE_TEST_SUITE_P(Locales, MeanKinetic, testing::Values(test::English(), test::German()),
                         test::LocaleName);

// The formula worked term by term, without any shortcut.
long double PlainMkt(std::span<const long double> celsius) {
    long double sum = 0.0L;
    for (long double t : celsius)
        sum += std::exp(-10000.0L / (t + 273.15L));
    return -10000.0L / std::log(sum / static_cast<long double>(celsius.size())) - 273.15L;
}

TEST(MeanKineticTemperature, SameBitsAsThePlainFormula) {
    std::vector<long double> values;
    for (int i = 0; i < 14400; ++i) {
        const long long tenths = (i * 37) % 900 - 400;  // -40.0 .. 49.9, repeating
        values.push_back(static_cast<long double>(tenths) / 10.0L);
    }
    values.push_back(24.31L);  // not a whole tenth
    values.push_back(512.5L);  // outside the usual range
    values.push_back(-299.9L);
    EXPECT_EQ(MeanKineticTemperature(values), PlainMkt(values));

    // Fahrenheit: the Celsius MKT of the converted values, converted back.
    std::vector<long double> fahrenheit, celsius;
    for (int i = 0; i < 2000; ++i) {
        fahrenheit.push_back(static_cast<long double>((i * 13) % 700 + 200) / 10.0L);
        celsius.push_back((fahrenheit.back() - 32.0L) / 1.8L);
    }
    StatisticsInput input;
    input.values = fahrenheit;
    input.unit = TemperatureUnit::Fahrenheit;
    EXPECT_EQ(ComputeStatistics(input, test::English()).mkt,
              StatisticText(PlainMkt(celsius) * 1.8L + 32.0L, test::English()));
}

TEST(MeanKineticTemperature, ValuesBetweenTenthsAndAtTheCacheEdgesGetTheirOwnTerm) {
    // Each tenth's term is worked out once. A value between tenths next to its tenth, or at
    // and beyond the ends of the cached range, must still get its own term: no single reading
    // here dominates the sum, so a term taken from the wrong slot shows in the result.
    const std::vector<std::vector<long double>> cases = {
        {24.3L, 24.31L, 24.34L, 24.3L, 24.26L},
        {24.31L, 24.3L},  // the value between tenths first, then its tenth
        {-12.5L, -12.54L, -12.46L, -12.5L},
        {299.9L, 299.94L, 300.0L, 300.04L, 300.1L, 299.9L},
        {-299.9L, -299.94L, -300.0L, -300.04L, -300.1L, -299.9L},
    };
    for (const auto& values : cases) {
        EXPECT_EQ(MeanKineticTemperature(values), PlainMkt(values)) << values[1];
    }
}

TEST(MeanKineticTemperature, ReadingsOutsideAnyTemperatureRange) {
    // Every term rounds to 1: the MKT is then the readings' harmonic mean, not infinite.
    const long double huge[] = {1e38L, 3e38L};
    EXPECT_EQ(StatisticText(MeanKineticTemperature(huge), test::English()),
              "150000000000000000000000000000000000000.0");
    const long double absoluteZero[] = {-273.15L};
    EXPECT_EQ(StatisticText(MeanKineticTemperature(absoluteZero), test::English()), "-273.0");
    const long double belowAbsoluteZero[] = {-1000.0L, 20.0L};
    EXPECT_FALSE(std::isnan(MeanKineticTemperature(belowAbsoluteZero)));
}

TEST(StatisticText, ThreeSignificantDigitsAtMost) {
    const std::pair<long double, const char*> cases[] = {
        {30.0L, "30.0"},    {-24.25L, "-24.3"}, {99.9L, "99.9"},     {100.4L, "100.0"},
        {158.7L, "159.0"},  {100.5L, "101.0"},  {-100.4L, "-100.0"}, {999.4L, "999.0"},
        {999.5L, "1000.0"}, {-0.04L, "0.0"},
    };
    for (auto [value, text] : cases) {
        EXPECT_EQ(StatisticText(value, test::English()), text);
        EXPECT_EQ(StatisticText(value, test::German()), WithSeparator(text, test::German()));
    }
}

StatisticsInput WorkedExample(std::span<const long double> values, TemperatureUnit unit) {
    StatisticsInput input;
    input.values = values;
    input.unit = unit;
    input.firstDate = "  07 JAN  14";
    input.firstTime = "    09:00";
    input.lastDate = "  07 JAN  14";
    input.lastTime = "    09:12";
    return input;
}

TEST(ComputeStatistics, WorkedExampleInCelsius) {
    const long double values[] = {20.0L, 25.0L, 30.0L};
    StatisticsCaptions c =
        ComputeStatistics(WorkedExample(values, TemperatureUnit::Celsius), test::English());
    EXPECT_EQ(c.maximum, "   30.0");
    EXPECT_EQ(c.minimum, "   20.0");
    EXPECT_EQ(c.mkt, "25.9");
    EXPECT_EQ(c.startDate, "  07 JAN  14,");
    EXPECT_EQ(c.startTime, "    09:00");
    EXPECT_EQ(c.stopDate, "  07 JAN  14,");
    EXPECT_EQ(c.stopTime, "    09:12");
    EXPECT_EQ(c.elapsed, "0 Hour(s),  12 Minute(s)");
}

TEST(ComputeStatistics, FahrenheitMktIsTheCelsiusMktConverted) {
    // 68, 77 and 86 °F are 20, 25 and 30 °C: MKT 25.858 °C = 78.54 °F. Adding 273.15 to the
    // Fahrenheit values would give 79.0.
    const long double fahrenheit[] = {68.0L, 77.0L, 86.0L};
    StatisticsCaptions c =
        ComputeStatistics(WorkedExample(fahrenheit, TemperatureUnit::Fahrenheit), test::German());
    EXPECT_EQ(c.mkt, "78,5");
    EXPECT_EQ(c.maximum, "   86,0");
    EXPECT_EQ(c.minimum, "   68,0");
}

TEST(ComputeStatistics, FahrenheitMktOfEqualReadingsIsThatReading) {
    for (long double f : {33.3L, -11.6L, 75.7L, 158.0L}) {
        const long double values[] = {f, f, f};
        StatisticsCaptions c =
            ComputeStatistics(WorkedExample(values, TemperatureUnit::Fahrenheit), test::English());
        EXPECT_EQ(c.mkt, StatisticText(f, test::English()));
    }
}

TEST(ComputeStatistics, HighFahrenheitValuesKeepThreeDigits) {
    const long double fahrenheit[] = {100.4L, 158.7L};
    StatisticsCaptions c =
        ComputeStatistics(WorkedExample(fahrenheit, TemperatureUnit::Fahrenheit), test::English());
    EXPECT_EQ(c.maximum, "   159.0");
    EXPECT_EQ(c.minimum, "   100.0");
}

TEST(ComputeStatistics, OneReadingAndZero) {
    const long double one[] = {0.0L};
    StatisticsCaptions c =
        ComputeStatistics(WorkedExample(one, TemperatureUnit::Celsius), test::English());
    EXPECT_EQ(c.maximum, "   0.0");
    EXPECT_EQ(c.minimum, "   0.0");
    EXPECT_EQ(c.mkt, "0.0");
    EXPECT_EQ(c.elapsed, "0 Hour(s),  0 Minute(s)");
}

TEST(ComputeStatistics, NoReadingsIsAnError) {
    EXPECT_THROW(ComputeStatistics(WorkedExample({}, TemperatureUnit::Celsius), test::English()),
                 LoggerError);
    EXPECT_THROW(MeanKineticTemperature({}), LoggerError);
}

TEST(IsPossibleTemperature, FiniteSinglePrecisionAndNotBelowAbsoluteZero) {
    struct Case {
        long double value;
        TemperatureUnit unit;
        bool possible;
    };
    const long double inf = std::numeric_limits<long double>::infinity();
    const Case cases[] = {
        {-25.0L, TemperatureUnit::Celsius, true},
        {-273.1L, TemperatureUnit::Celsius, true},
        {-273.15L, TemperatureUnit::Celsius, true},
        {-273.2L, TemperatureUnit::Celsius, false},
        {-274.0L, TemperatureUnit::Celsius, false},  // bytes 0x87 0x89
        {-459.6L, TemperatureUnit::Fahrenheit, true},
        {-461.2L, TemperatureUnit::Fahrenheit, false},   // -274 °C
        {-300.0L, TemperatureUnit::Fahrenheit, true},    // -184 °C
        {3.39e38L, TemperatureUnit::Celsius, true},      // exponent byte 254, mantissa 127
        {3.403e38L, TemperatureUnit::Celsius, false},    // exponent byte 255, as the grid shows it
        {6.101e38L, TemperatureUnit::Fahrenheit, true},  // exponent byte 254 in °F
        {6.125e38L, TemperatureUnit::Fahrenheit, false},
        {inf, TemperatureUnit::Celsius, false},
        {-inf, TemperatureUnit::Fahrenheit, false},
        {std::numeric_limits<long double>::quiet_NaN(), TemperatureUnit::Celsius, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPossibleTemperature(c.value, c.unit), c.possible)
            << static_cast<double>(c.value) << (c.unit == TemperatureUnit::Celsius ? " C" : " F");
}

struct LeftOutCase {
    const char* name;
    std::vector<long double> values;
    TemperatureUnit unit;
    const char* maximum;
    const char* minimum;
    const char* mkt;
    const char* leftOut;
    std::vector<ImpossibleReading> impossible;
};

TEST(ComputeStatistics, ImpossibleReadingsAreLeftOutAndCounted) {
    const LeftOutCase cases[] = {
        {"ordinary",
         {20.0L, 25.0L, 30.0L},
         TemperatureUnit::Celsius,
         "   30.0",
         "   20.0",
         "25.9",
         "",
         {}},
        {"below absolute zero",
         {20.0L, -274.0L, 25.0L, 30.0L},
         TemperatureUnit::Celsius,
         "   30.0",
         "   20.0",
         "25.9",
         "1 reading left out (not real temperatures)",
         {{2, "-274.0"}}},
        {"exponent byte 255",
         {3.403e38L, 20.0L, 25.0L, 30.0L, -3.403e38L},
         TemperatureUnit::Celsius,
         "   30.0",
         "   20.0",
         "25.9",
         "2 readings left out (not real temperatures)",
         {{1, "340300000000000000000000000000000000000.0"},
          {5, "-340300000000000000000000000000000000000.0"}}},
        {"fahrenheit",
         {68.0L, -461.2L, 77.0L, 86.0L},
         TemperatureUnit::Fahrenheit,
         "   86.0",
         "   68.0",
         "78.5",
         "1 reading left out (not real temperatures)",
         {{2, "-461.2"}}},
        {"none left",
         {-274.0L, 3.403e38L},
         TemperatureUnit::Celsius,
         "   n/a",
         "   n/a",
         "n/a",
         "2 readings left out (not real temperatures)",
         {{1, "-274.0"}, {2, "340300000000000000000000000000000000000.0"}}},
        {"huge but finite",
         {1e38L, 3e38L},
         TemperatureUnit::Celsius,
         "   300000000000000000000000000000000000000.0",
         "   100000000000000000000000000000000000000.0",
         "150000000000000000000000000000000000000.0",
         "",
         {}},
    };
    for (const LeftOutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const StatisticsCaptions s =
            ComputeStatistics(WorkedExample(c.values, c.unit), test::English());
        EXPECT_EQ(s.maximum, c.maximum);
        EXPECT_EQ(s.minimum, c.minimum);
        EXPECT_EQ(s.mkt, c.mkt);
        EXPECT_EQ(s.leftOut, c.leftOut);
        EXPECT_EQ(s.impossible, c.impossible);
        EXPECT_EQ(s.impossibleMessage.empty(), c.impossible.empty());
        // The elapsed time still counts every reading.
        EXPECT_EQ(s.elapsed, ElapsedText(static_cast<int>(c.values.size())));
        for (const std::string& caption : {s.maximum, s.minimum, s.mkt}) {
            for (const char* bad : {"INF", "inf", "NAN", "nan", "e+", "E+"})
                EXPECT_EQ(caption.find(bad), std::string::npos) << caption;
        }
    }
}

// The numbers behind the captions: what the CLI, the CSV and the record report print, where the
// window keeps three significant digits ("100.0" for 100.4).
TEST(ComputeStatistics, NumbersBehindTheCaptions) {
    struct Case {
        const char* name;
        std::vector<long double> values;
        TemperatureUnit unit;
        std::optional<double> maximum, minimum;
        int maximumAt, minimumAt, used;
        const char* mkt;  // OneDecimalText, "" for none
        const char* maximumCaption;
    };
    const Case cases[] = {
        {"hundred and above",
         {100.4L, 121.5L, 99.9L, 121.5L},
         TemperatureUnit::Celsius,
         121.5,
         99.9,
         1,
         2,
         4,
         "114.1",
         "   122.0"},
        {"minimum first of equals",
         {5.0L, 4.0L, 4.0L},
         TemperatureUnit::Celsius,
         5.0,
         4.0,
         0,
         1,
         3,
         "4.3",
         "   5.0"},
        {"left out",
         {-274.0L, 20.0L, 3.403e38L},
         TemperatureUnit::Celsius,
         20.0,
         20.0,
         1,
         1,
         1,
         "20.0",
         "   20.0"},
        {"none left",
         {-274.0L},
         TemperatureUnit::Celsius,
         std::nullopt,
         std::nullopt,
         -1,
         -1,
         0,
         "",
         "   n/a"},
        {"fahrenheit",
         {212.4L, 250.7L},
         TemperatureUnit::Fahrenheit,
         250.7,
         212.4,
         1,
         0,
         2,
         "237.5",
         "   251.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StatisticsNumbers n = ComputeStatistics(c.values, c.unit);
        EXPECT_EQ(n.readings, static_cast<int>(c.values.size()));
        EXPECT_EQ(n.used, c.used);
        EXPECT_EQ(n.leftOut.size(), c.values.size() - static_cast<std::size_t>(c.used));
        EXPECT_EQ(n.maximum, c.maximum);
        EXPECT_EQ(n.minimum, c.minimum);
        EXPECT_EQ(n.maximumAt, c.maximumAt);
        EXPECT_EQ(n.minimumAt, c.minimumAt);
        EXPECT_EQ(n.mkt ? OneDecimalText(*n.mkt, test::English()) : "", c.mkt);
        // The captions are formatted from the same numbers.
        const StatisticsCaptions captions =
            FormatStatistics(n, WorkedExample(c.values, c.unit), test::German());
        EXPECT_EQ(captions.maximum, test::WithSeparator(c.maximumCaption, test::German()));
        EXPECT_EQ(captions.numbers.mkt, n.mkt);
    }
}

TEST(ImpossibleReadingsMessage, NamesEachReadingWithItsValue) {
    EXPECT_EQ(ImpossibleReadingsMessage({}, TemperatureUnit::Celsius), "");
    EXPECT_EQ(ImpossibleReadingsMessage({{7, "-274.0"}}, TemperatureUnit::Celsius),
              "1 reading cannot be a real temperature (not a finite number, or below absolute "
              "zero). It is shown as the card sent it, but left out of the maximum, the minimum "
              "and the MKT: reading 7 (-274.0 °C).");
    const std::string two =
        ImpossibleReadingsMessage({{1, "-461.2"}, {9, "612500000000000000000000000000000000000.0"}},
                                  TemperatureUnit::Fahrenheit);
    EXPECT_NE(two.find("2 readings cannot be real temperatures"), std::string::npos) << two;
    EXPECT_NE(two.find("They are shown"), std::string::npos) << two;
    EXPECT_NE(two.find(": reading 1 (-461.2 °F), reading 9 (6125"), std::string::npos) << two;

    std::vector<ImpossibleReading> many;
    for (int i = 1; i <= 13; ++i)
        many.push_back({i, "-274.0"});
    const std::string listed = ImpossibleReadingsMessage(many, TemperatureUnit::Celsius);
    EXPECT_NE(listed.find("reading 10 (-274.0 °C) and 3 more."), std::string::npos) << listed;
    EXPECT_EQ(listed.find("reading 11"), std::string::npos) << listed;
}

}  // namespace
}  // namespace halvik
