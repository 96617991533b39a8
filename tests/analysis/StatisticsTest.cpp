#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const long double huge[] = {1e38L, 3e38L};
    EXPECT_EQ(StatisticText(MeanKineticTemperature(huge), test::English()), "INF");
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

}  // namespace
}  // namespace halvik
