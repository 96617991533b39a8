// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/ChartScale.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace halvik {
namespace {

struct RangeCase {
    const char* name;
    TemperatureUnit unit;
    std::vector<double> values;
    AxisRange expected;
};

TEST(FullTemperatureRange, FixedUnlessAReadingPassesAnEndThenRoundedOutToTens) {
    const double inf = std::numeric_limits<double>::infinity();
    const RangeCase cases[] = {
        {"no readings", TemperatureUnit::Celsius, {}, {-20, 70}},
        {"cold store", TemperatureUnit::Celsius, {2.1, 8.0, 11.3}, {-20, 70}},
        {"on both ends", TemperatureUnit::Celsius, {-20.0, 70.0}, {-20, 70}},
        {"freezer", TemperatureUnit::Celsius, {-25.0, -18.0, -21.3}, {-30, 70}},
        {"on a multiple of ten", TemperatureUnit::Celsius, {-30.0}, {-30, 70}},
        {"hot", TemperatureUnit::Celsius, {71.5, 120.0}, {-20, 120}},
        {"hot just past", TemperatureUnit::Celsius, {70.1}, {-20, 80}},
        {"both ways", TemperatureUnit::Celsius, {-40.5, 255.0}, {-50, 260}},
        {"fahrenheit fits", TemperatureUnit::Fahrenheit, {-4.0, 35.6, 158.0}, {-4, 158}},
        {"fahrenheit freezer", TemperatureUnit::Fahrenheit, {-13.0, -0.4}, {-20, 158}},
        {"fahrenheit hot", TemperatureUnit::Fahrenheit, {158.1}, {-4, 160}},
        {"impossible readings", TemperatureUnit::Celsius, {-274.0, 3.403e38, inf, 5.0}, {-20, 70}},
        {"absolute zero", TemperatureUnit::Celsius, {-273.1}, {-280, 70}},
    };
    for (const RangeCase& c : cases)
        EXPECT_EQ(FullTemperatureRange(c.unit, c.values), c.expected) << c.name;
}

}  // namespace
}  // namespace halvik
