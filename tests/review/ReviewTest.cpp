// SPDX-License-Identifier: GPL-3.0-or-later
// The rule syntax and the review of readings: tables of rules and reading sequences.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "review/Profiles.h"
#include "review/Review.h"

namespace halvik {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- the syntax ------------------------------------------------------------------------------

struct RuleCase {
    const char* text;
    Comparison comparison;
    double threshold;
    RuleKind kind;
    int delay;
    const char* canonical;
};

class RuleSyntax : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleSyntax, ReadsAndWritesBack) {
    const RuleCase& c = GetParam();
    const AlarmRule rule = ParseRule(c.text);
    EXPECT_EQ(rule.comparison, c.comparison);
    EXPECT_DOUBLE_EQ(rule.threshold, c.threshold);
    EXPECT_EQ(rule.kind, c.kind);
    EXPECT_EQ(rule.delayMinutes, c.delay);
    EXPECT_EQ(RuleText(rule), c.canonical);
    EXPECT_EQ(ParseRule(RuleText(rule)), rule);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleSyntax,
    ::testing::Values(
        RuleCase{">8.0 for 30min", Comparison::Greater, 8.0, RuleKind::Single, 30,
                 ">8.0 for 30min"},
        RuleCase{">=30 total 10h", Comparison::GreaterEqual, 30, RuleKind::Cumulative, 600,
                 ">=30.0 total 10h"},
        RuleCase{"<=-0.5 for 60min", Comparison::LessEqual, -0.5, RuleKind::Single, 60,
                 "<=-0.5 for 1h"},
        RuleCase{">8", Comparison::Greater, 8, RuleKind::Single, 0, ">8.0"},
        RuleCase{"mkt>25", Comparison::Greater, 25, RuleKind::Mkt, 0, "mkt>25.0"},
        RuleCase{"  MKT <= 25.5 ", Comparison::LessEqual, 25.5, RuleKind::Mkt, 0, "mkt<=25.5"},
        // Fahrenheit thresholds are converted and kept to 0.01 °C.
        RuleCase{">46.4F for 1d", Comparison::Greater, 8.0, RuleKind::Single, 1440, ">8.0 for 1d"},
        RuleCase{"<35F", Comparison::Less, 1.67, RuleKind::Single, 0, "<1.67"},
        RuleCase{"< 2 \u00b0C total 90 min", Comparison::Less, 2, RuleKind::Cumulative, 90,
                 "<2.0 total 90min"},
        RuleCase{">8.004 for 7m", Comparison::Greater, 8.0, RuleKind::Single, 7, ">8.0 for 7min"},
        RuleCase{">+8 for 0min", Comparison::Greater, 8, RuleKind::Single, 0, ">8.0"}),
    [](const auto& info) { return "Rule" + std::to_string(info.index); });

struct BadRule {
    const char* text;
    std::size_t position;
    const char* reason;  // a part of the reason
};

class RuleErrors : public ::testing::TestWithParam<BadRule> {};

TEST_P(RuleErrors, NameTheRuleAndThePosition) {
    const BadRule& c = GetParam();
    try {
        ParseRule(c.text);
        FAIL() << c.text << " was accepted";
    } catch (const RuleError& e) {
        EXPECT_EQ(e.Position(), c.position) << e.what();
        EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(std::string("'") + c.text + "'"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleErrors,
    ::testing::Values(
        BadRule{"", 1, "empty"}, BadRule{"8 for 30min", 1, "expected >"},
        BadRule{">eight", 2, "expected a temperature"},
        BadRule{">8 fo 30min", 4, "unknown word 'fo'"},
        BadRule{">8 during 30min", 4, "unknown word 'during'"},
        BadRule{">8 for", 7, "expected a delay"}, BadRule{">8 for -30min", 8, "negative"},
        BadRule{">8 for 30", 10, "expected min, h or d"},
        BadRule{">8 for 30s", 10, "unknown unit 's'"}, BadRule{">8 for 367d", 8, "over a year"},
        BadRule{">8 for 0.5min", 8, "whole number"},
        BadRule{">8 for 30min now", 14, "unexpected 'now'"},
        BadRule{"mkt>25 for 1h", 8, "no delay"}, BadRule{">8.", 4, "digit after the decimal point"},
        BadRule{">1e9", 3, "unknown word 'e'"}, BadRule{">200000", 2, "beyond"},
        BadRule{">nan", 2, "expected a temp"}, BadRule{">8\u00b0K", 5, "expected C or F"}),
    [](const auto& info) { return "Bad" + std::to_string(info.index); });

// ---- the semantics ---------------------------------------------------------------------------

struct SemanticCase {
    const char* name;
    std::vector<double> values;  // °C as the grid shows them
    const char* rule;
    int triggerIndex;  // -1: not triggered
    int total, longest, runs;
};

class RuleSemantics : public ::testing::TestWithParam<SemanticCase> {};

TEST_P(RuleSemantics, TriggerTotalLongestRuns) {
    const SemanticCase& c = GetParam();
    const LimitProfile profile{"p", std::nullopt, std::nullopt, {ParseRule(c.rule)}};
    const ReviewResult r = Review(c.values, profile);
    ASSERT_EQ(r.rules.size(), 1u);
    const RuleStatus& s = r.rules[0];
    EXPECT_EQ(s.triggered, c.triggerIndex >= 0);
    EXPECT_EQ(s.triggerIndex, c.triggerIndex);
    EXPECT_EQ(s.totalMinutes, c.total);
    EXPECT_EQ(s.longestMinutes, c.longest);
    EXPECT_EQ(s.runs, c.runs);
    EXPECT_EQ(r.verdict, c.triggerIndex >= 0 ? Verdict::Alarm : Verdict::Ok);
    EXPECT_EQ(r.firstTriggered, c.triggerIndex >= 0 ? 0 : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RuleSemantics,
    ::testing::Values(
        SemanticCase{"NoReadingMeets", {5.0, 7.9, 8.0}, ">8", -1, 0, 0, 0},
        SemanticCase{"NoReadings", {}, ">8", -1, 0, 0, 0},
        SemanticCase{"OnTheThresholdMeetsGreaterEqual", {5.0, 8.0}, ">=8", 1, 6, 6, 1},
        SemanticCase{"OnTheThresholdMissesGreater", {5.0, 8.0}, ">8", -1, 0, 0, 0},
        SemanticCase{"OnTheThresholdMeetsLessEqual", {-0.5, 0.0}, "<=-0.5", 0, 6, 6, 1},
        SemanticCase{"FahrenheitThresholdIsTheSame", {8.0, 8.1}, ">46.4F", 1, 6, 6, 1},
        SemanticCase{"HundredthsThreshold", {8.2, 8.3}, ">8.25", 1, 6, 6, 1},
        // Runs of 3 and 2 broken by one reading in range: the single rule needs 4 in one run.
        SemanticCase{"BrokenRunSingle", {9, 9, 9, 5, 9, 9}, ">8 for 24min", -1, 30, 18, 2},
        SemanticCase{"BrokenRunCumulative", {9, 9, 9, 5, 9, 9}, ">8 total 24min", 4, 30, 18, 2},
        SemanticCase{"UnbrokenRunSingle", {5, 9, 9, 9, 9, 5}, ">8 for 24min", 4, 24, 24, 1},
        SemanticCase{"DelayZeroAnyOneReading", {5, 9}, ">8 for 0min", 1, 6, 6, 1},
        SemanticCase{"DelayZeroCumulative", {5, 9}, ">8 total 0min", 1, 6, 6, 1},
        // 7 minutes need two readings (12 min), 5 minutes one.
        SemanticCase{"DelayNotAMultipleOfSix", {9, 9, 5}, ">8 for 7min", 1, 12, 12, 1},
        SemanticCase{"DelayBelowSix", {9, 9, 5}, ">8 for 5min", 0, 12, 12, 1},
        SemanticCase{"DelayLongerThanTheDownload", {9, 9, 9}, ">8 for 1h", -1, 18, 18, 1},
        SemanticCase{"TriggerInTheFirstReading", {9, 5, 5}, ">8", 0, 6, 6, 1},
        SemanticCase{"TriggerInTheLastReading", {5, 5, 9}, ">8", 2, 6, 6, 1},
        SemanticCase{"TriggerInTheLastReadingAfterARun", {5, 9, 9}, ">8 for 12min", 2, 12, 12, 1},
        // Readings left out of the statistics meet > and >= rules, never < and <=.
        SemanticCase{"NotANumberMeetsGreater", {5, kNaN, 5}, ">8", 1, 6, 6, 1},
        SemanticCase{"BelowAbsoluteZeroMeetsGreaterEqual", {-300.0, 5}, ">=30", 0, 6, 6, 1},
        SemanticCase{"FormatInfinityMeetsGreater", {5, 3.4e38}, ">8", 1, 6, 6, 1},
        SemanticCase{"LeftOutNeverMeetsLess", {kNaN, -300.0, 5}, "<2", -1, 0, 0, 0},
        SemanticCase{"LeftOutCountsInARun", {9, kNaN, 9}, ">8 for 18min", 2, 18, 18, 1},
        SemanticCase{"MktAbove", {25.0, 25.0, 26.0}, "mkt>25", 2, 0, 0, 0},
        SemanticCase{"MktBelow", {20.0, 20.0}, "mkt>25", -1, 0, 0, 0},
        SemanticCase{"MktWithALeftOutReading", {20.0, kNaN}, "mkt>25", 1, 0, 0, 0},
        SemanticCase{"MktLessWithALeftOutReading", {20.0, kNaN}, "mkt<25", 1, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Review, FirstTriggeredRuleIsTheEarliestThenTheFirstListed) {
    const LimitProfile profile{
        "p", 2.0, 8.0, {ParseRule(">8 for 12min"), ParseRule("<2"), ParseRule(">=9")}};
    const ReviewResult r = Review(std::vector<double>{5, 9, 9, 1}, profile);
    EXPECT_EQ(r.verdict, Verdict::Alarm);
    EXPECT_EQ(r.rules[0].triggerIndex, 2);
    EXPECT_EQ(r.rules[1].triggerIndex, 3);
    EXPECT_EQ(r.rules[2].triggerIndex, 1);
    EXPECT_EQ(r.firstTriggered, 2);
}

// ---- the range -------------------------------------------------------------------------------

struct ExpectedExcursion {
    bool above;
    int first, last;
    std::optional<double> peak, lowest, highest;
};

struct RangeCase {
    const char* name;
    std::vector<double> values;
    std::optional<double> low, high;
    int inRange, above, below;
    std::vector<ExpectedExcursion> excursions;
};

class Range : public ::testing::TestWithParam<RangeCase> {};

TEST_P(Range, TimeInRangeAndExcursions) {
    const RangeCase& c = GetParam();
    const ReviewResult r = Review(c.values, LimitProfile{"p", c.low, c.high, {}});
    EXPECT_EQ(r.verdict, Verdict::Ok);  // a range alone raises no alarm
    EXPECT_EQ(r.inRangeMinutes, c.inRange);
    EXPECT_EQ(r.aboveMinutes, c.above);
    EXPECT_EQ(r.belowMinutes, c.below);
    if (!c.values.empty()) {
        const double all = 6.0 * static_cast<double>(c.values.size());
        EXPECT_DOUBLE_EQ(r.inRangePercent, 100.0 * c.inRange / all);
        EXPECT_DOUBLE_EQ(r.abovePercent + r.belowPercent + r.inRangePercent, 100.0);
    }
    ASSERT_EQ(r.excursions.size(), c.excursions.size());
    for (std::size_t i = 0; i < c.excursions.size(); ++i) {
        const ReviewExcursion& got = r.excursions[i];
        const ExpectedExcursion& want = c.excursions[i];
        EXPECT_EQ(got.above, want.above) << i;
        EXPECT_EQ(got.first, want.first) << i;
        EXPECT_EQ(got.last, want.last) << i;
        EXPECT_EQ(got.peak, want.peak) << i;
        EXPECT_EQ(got.lowest, want.lowest) << i;
        EXPECT_EQ(got.highest, want.highest) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Range,
    ::testing::Values(
        RangeCase{"EndsAreInRange", {2.0, 8.0, 5.0}, 2.0, 8.0, 18, 0, 0, {}},
        RangeCase{"TwoExcursions",
                  {5, 8.1, 9.5, 8.4, 5, 1.9, 1.0, 5},
                  2.0,
                  8.0,
                  18,
                  18,
                  12,
                  {{true, 1, 3, 9.5, 8.1, 9.5}, {false, 5, 6, 1.0, 1.0, 1.9}}},
        RangeCase{"AboveThenBelowAreTwoRuns",
                  {9, 1},
                  2.0,
                  8.0,
                  0,
                  6,
                  6,
                  {{true, 0, 0, 9, 9, 9}, {false, 1, 1, 1, 1, 1}}},
        RangeCase{"OpenLowEnd",
                  {-40, -18, -17.9},
                  std::nullopt,
                  -18.0,
                  12,
                  6,
                  0,
                  {{true, 2, 2, -17.9, -17.9, -17.9}}},
        RangeCase{
            "OpenHighEnd", {3, 1.9}, 2.0, std::nullopt, 6, 0, 6, {{false, 1, 1, 1.9, 1.9, 1.9}}},
        // A left-out reading is never in range; its run has no figures of its own.
        RangeCase{"LeftOutIsOutside",
                  {5, kNaN, 9, 5, -300.0},
                  2.0,
                  8.0,
                  12,
                  18,
                  0,
                  {{true, 1, 2, 9, 9, 9}, {true, 4, 4, std::nullopt, std::nullopt, std::nullopt}}},
        RangeCase{"LeftOutWithOnlyALowEndIsBelow",
                  {kNaN},
                  2.0,
                  std::nullopt,
                  0,
                  0,
                  6,
                  {{false, 0, 0, std::nullopt, std::nullopt, std::nullopt}}},
        RangeCase{"NoRangeEveryPossibleReadingIsIn",
                  {-50, 500},
                  std::nullopt,
                  std::nullopt,
                  12,
                  0,
                  0,
                  {}},
        RangeCase{"NoReadings", {}, 2.0, 8.0, 0, 0, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Review, RefusesAProfileItCannotUse) {
    for (const LimitProfile& bad :
         {LimitProfile{"p", 8.0, 2.0, {}}, LimitProfile{"", 2.0, 8.0, {}},
          LimitProfile{"p", kNaN, 8.0, {}},
          LimitProfile{"p", {}, {}, {AlarmRule{Comparison::Greater, 8, RuleKind::Single, -6}}}}) {
        EXPECT_FALSE(ProfileProblem(bad).empty());
        EXPECT_THROW(Review(std::vector<double>{5.0}, bad), std::invalid_argument);
    }
}

// ---- the presets against a card --------------------------------------------------------------

// A reading's two bytes for a value a reading holds exactly (5.0, 9.0, -1.0, ...).
void Append(std::vector<std::uint8_t>& bytes, double celsius, int times) {
    const int exponent = static_cast<int>(std::floor(std::log2(std::fabs(celsius))));
    const int mantissa =
        static_cast<int>(std::lround((std::fabs(celsius) / std::ldexp(1.0, exponent) - 1) * 128));
    for (int i = 0; i < times; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(exponent + 127));
        bytes.push_back(static_cast<std::uint8_t>((celsius < 0 ? 0x80 : 0) | mantissa));
    }
}

// A day of a fridge at 5 °C: 30 minutes at 9 °C (readings 10-14), 12 hours at 9 °C (100-219)
// and one reading at -1 °C (230).
std::vector<std::uint8_t> FridgeCard() {
    std::vector<std::uint8_t> bytes;
    Append(bytes, 5.0, 10);
    Append(bytes, 9.0, 5);
    Append(bytes, 5.0, 85);
    Append(bytes, 9.0, 120);
    Append(bytes, 5.0, 10);
    Append(bytes, -1.0, 1);
    Append(bytes, 5.0, 9);
    return bytes;
}

TEST(Review, GridValuesOfACardAndAnIncompleteDownload) {
    const std::vector<std::uint8_t> bytes = FridgeCard();
    const std::vector<double> values = CelsiusGridValues(bytes, 240);
    ASSERT_EQ(values.size(), 240u);
    EXPECT_EQ(values[0], 5.0);
    EXPECT_EQ(values[10], 9.0);
    EXPECT_EQ(values[230], -1.0);
    // Fewer bytes than announced readings (and a stray odd byte): only whole readings count.
    const std::vector<std::uint8_t> partial(bytes.begin(), bytes.begin() + 25);
    const std::vector<double> received = CelsiusGridValues(partial, 240);
    ASSERT_EQ(received.size(), 12u);
    const ReviewResult r = Review(received, PresetProfiles()[2].profile);
    EXPECT_EQ(r.readingCount, 12);
    EXPECT_EQ(r.aboveMinutes, 12);
    EXPECT_EQ(r.rules[1].triggerIndex, 10);
}

struct PresetCase {
    const char* name;
    Verdict verdict;
    const char* firstRule;  // empty: none triggered
    int index;
};

class Presets : public ::testing::TestWithParam<PresetCase> {};

TEST_P(Presets, AgainstTheFridgeCard) {
    const PresetCase& c = GetParam();
    const NamedProfile* preset = nullptr;
    for (const NamedProfile& p : PresetProfiles())
        if (p.profile.name == c.name)
            preset = &p;
    ASSERT_NE(preset, nullptr);
    EXPECT_TRUE(preset->preset);
    EXPECT_FALSE(preset->source.empty());
    const ReviewResult r = Review(CelsiusGridValues(FridgeCard(), 240), preset->profile);
    EXPECT_EQ(r.verdict, c.verdict);
    if (c.verdict == Verdict::Ok) {
        EXPECT_EQ(r.firstTriggered, -1);
        return;
    }
    ASSERT_GE(r.firstTriggered, 0);
    const RuleStatus& first = r.rules[static_cast<std::size_t>(r.firstTriggered)];
    EXPECT_EQ(RuleText(first.rule), c.firstRule);
    EXPECT_EQ(first.triggerIndex, c.index);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Presets,
    ::testing::Values(PresetCase{"vaccine-refrigerator", Verdict::Alarm, ">8.0 for 10h", 199},
                      PresetCase{"shipping-indicator", Verdict::Ok, "", -1},
                      PresetCase{"refrigerated-2-8", Verdict::Alarm, ">8.0", 10},
                      PresetCase{"frozen-food", Verdict::Alarm, ">-15.0", 0},
                      PresetCase{"controlled-room", Verdict::Alarm, "<15.0", 0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    });

TEST(Review, FridgeCardUnderTheVaccinePreset) {
    const ReviewResult r =
        Review(CelsiusGridValues(FridgeCard(), 240), PresetProfiles()[0].profile);
    EXPECT_EQ(r.inRangeMinutes, 6 * 114);
    EXPECT_EQ(r.aboveMinutes, 6 * 125);
    EXPECT_EQ(r.belowMinutes, 6);
    ASSERT_EQ(r.excursions.size(), 3u);
    EXPECT_EQ(r.excursions[1].first, 100);
    EXPECT_EQ(r.excursions[1].last, 219);
    EXPECT_EQ(r.excursions[1].minutes(), 720);
    EXPECT_EQ(r.excursions[2].peak, -1.0);
    // The freeze rule saw one reading at -1 °C: 6 minutes, not the 60 it needs.
    EXPECT_FALSE(r.rules[0].triggered);
    EXPECT_EQ(r.rules[0].totalMinutes, 6);
}

}  // namespace
}  // namespace halvik
