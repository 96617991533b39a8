// SPDX-License-Identifier: GPL-3.0-or-later
// Time in range and excursions against limits, as a table of reading sequences.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/Limits.h"

namespace halvik {
namespace {

struct Expected {
    bool above;
    int first, last;
    double peak;
};

struct LimitCase {
    const char* name;
    std::vector<double> values;
    double low, high;
    int inRange, above, below;
    std::vector<Expected> excursions;
};

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, TimeInRangeAndExcursions) {
    const LimitCase& c = GetParam();
    const LimitAnalysis a = AnalyseLimits(c.values, c.low, c.high);
    EXPECT_EQ(a.inRangeMinutes, c.inRange);
    EXPECT_EQ(a.aboveMinutes, c.above);
    EXPECT_EQ(a.belowMinutes, c.below);
    EXPECT_EQ(a.inRangeMinutes + a.aboveMinutes + a.belowMinutes,
              6 * static_cast<int>(c.values.size()));
    ASSERT_EQ(a.excursions.size(), c.excursions.size());
    for (std::size_t i = 0; i < c.excursions.size(); ++i) {
        EXPECT_EQ(a.excursions[i].above, c.excursions[i].above) << i;
        EXPECT_EQ(a.excursions[i].first, c.excursions[i].first) << i;
        EXPECT_EQ(a.excursions[i].last, c.excursions[i].last) << i;
        EXPECT_EQ(a.excursions[i].minutes(),
                  6 * (c.excursions[i].last - c.excursions[i].first + 1));
        EXPECT_EQ(a.excursions[i].peak, c.excursions[i].peak) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Limits,
    ::testing::Values(
        LimitCase{"NoExcursion", {2.0, 5.0, 8.0}, 2.0, 8.0, 18, 0, 0, {}},
        LimitCase{"ValuesOnTheLimitsAreInRange", {2.0, 8.0, 2.0, 8.0}, 2.0, 8.0, 24, 0, 0, {}},
        LimitCase{"JustAboveAndBelow",
                  {8.1, 1.9},
                  2.0,
                  8.0,
                  0,
                  6,
                  6,
                  {{true, 0, 0, 8.1}, {false, 1, 1, 1.9}}},
        LimitCase{"OneAtTheStart",
                  {9.0, 11.5, 10.0, 5.0, 4.0},
                  2.0,
                  8.0,
                  12,
                  18,
                  0,
                  {{true, 0, 2, 11.5}}},
        LimitCase{"OneAtTheEnd", {5.0, 4.0, 1.0, -0.5}, 2.0, 8.0, 12, 0, 12, {{false, 2, 3, -0.5}}},
        LimitCase{"AlternatingSides",
                  {9.0, 1.0, 9.5, 1.5, 5.0},
                  2.0,
                  8.0,
                  6,
                  12,
                  12,
                  {{true, 0, 0, 9.0}, {false, 1, 1, 1.0}, {true, 2, 2, 9.5}, {false, 3, 3, 1.5}}},
        LimitCase{"EveryReadingOut", {10.0, 12.0, 11.0}, 2.0, 8.0, 0, 18, 0, {{true, 0, 2, 12.0}}},
        LimitCase{"TwoSeparateRunsOnOneSide",
                  {9.0, 5.0, 9.9, 9.1},
                  2.0,
                  8.0,
                  6,
                  18,
                  0,
                  {{true, 0, 0, 9.0}, {true, 2, 3, 9.9}}},
        LimitCase{"Fahrenheit",
                  {35.6, 46.4, 47.3, 33.8},
                  35.6,
                  46.4,
                  12,
                  6,
                  6,
                  {{true, 2, 2, 47.3}, {false, 3, 3, 33.8}}},
        LimitCase{"EqualLimits", {4.0, 4.0, 4.1}, 4.0, 4.0, 12, 6, 0, {{true, 2, 2, 4.1}}},
        LimitCase{"NoReadings", {}, 2.0, 8.0, 0, 0, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Limits, LowAboveHighAndLimitsThatAreNotNumbersAreRefused) {
    const std::vector<double> values = {4.0};
    EXPECT_THROW(AnalyseLimits(values, 8.0, 2.0), LimitError);
    EXPECT_THROW(AnalyseLimits(values, NAN, 2.0), LimitError);
    EXPECT_THROW(AnalyseLimits(values, 2.0, INFINITY), LimitError);
}

TEST(Limits, AValueThatIsNotANumberIsNeverInRange) {
    const std::vector<double> values = {4.0, NAN, 4.0};
    const LimitAnalysis a = AnalyseLimits(values, 2.0, 8.0);
    EXPECT_EQ(a.inRangeMinutes, 12);
    EXPECT_EQ(a.aboveMinutes, 6);
    ASSERT_EQ(a.excursions.size(), 1u);
}

}  // namespace
}  // namespace halvik
