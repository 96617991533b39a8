// SPDX-License-Identifier: GPL-3.0-or-later
// What the index holds of a record is what the window shows of it, and the filters of a listing.

#include <cmath>
#include <functional>

#include "LibraryFixture.h"
#include "analysis/Statistics.h"
#include "library/RecordFacts.h"
#include "logger/Conversions.h"
#include "review/Profiles.h"

namespace halvik::test {
namespace {

// The statistics panel's numbers the way the window gets them: every reading's grid text read
// back, then the captions read back.
struct Shown {
    std::optional<double> maximum, minimum, mkt;
};

Shown ThroughTheGrid(const Record& record) {
    std::vector<long double> values;
    for (int i = 0; i < RecordReadingsReceived(record); ++i) {
        const auto at = 2 * static_cast<std::size_t>(i);
        long double value = DecodeReading(record.readings[at], record.readings[at + 1]);
        if (record.unit == TemperatureUnit::Fahrenheit)
            value = FahrenheitReading(value);
        values.push_back(TextToNumber(TemperatureText(value, LocaleSettings{}), "."));
    }
    StatisticsInput input{.values = values,
                          .unit = record.unit,
                          .firstDate = "",
                          .firstTime = "",
                          .lastDate = "",
                          .lastTime = ""};
    const StatisticsCaptions captions = ComputeStatistics(input, LocaleSettings{});
    auto number = [](std::string text) -> std::optional<double> {
        text.erase(0, text.find_first_not_of(' '));
        if (text == "n/a")
            return std::nullopt;
        return static_cast<double>(TextToNumber(text, "."));
    };
    return {number(captions.maximum), number(captions.minimum), number(captions.mkt)};
}

Record WithReadings(const std::vector<std::pair<int, int>>& pairs, TemperatureUnit unit) {
    Record record = SampleRecord(static_cast<int>(pairs.size()));
    record.readings.clear();
    for (const auto& [exponent, mantissa] : pairs) {
        record.readings.push_back(static_cast<std::uint8_t>(exponent));
        record.readings.push_back(static_cast<std::uint8_t>(mantissa));
    }
    record.unit = unit;
    return record;
}

TEST(RecordFacts, StatisticsAreTheWindowsNumbers) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> readings;
    };
    std::vector<std::pair<int, int>> fridge;
    for (int q = 0; q < 1440; ++q)
        fridge.emplace_back(0x80 + q % 3, q * 7 % 256);
    const std::vector<Case> cases = {
        {"a fridge week", fridge},
        {"halves and below zero",
         {{126, 0x00}, {123, 0x4C}, {123, 0xCC}, {129, 0x86}, {127, 0x80}}},
        {"four significant digits", {{136, 0x7F}, {137, 0x00}, {137, 0x7F}, {130, 0x10}}},
        {"impossible readings left out", {{255, 0x00}, {130, 0x20}, {255, 0x80}, {0, 0}}},
        {"nothing possible", {{255, 0x00}, {255, 0x10}}},
    };
    for (const Case& c : cases) {
        for (TemperatureUnit unit : {TemperatureUnit::Celsius, TemperatureUnit::Fahrenheit}) {
            SCOPED_TRACE(std::string(c.name) + (unit == TemperatureUnit::Celsius ? " C" : " F"));
            const Record record = WithReadings(c.readings, unit);
            const RecordFacts facts = FactsOfRecord({record, true, ""});
            const Shown shown = ThroughTheGrid(record);
            EXPECT_EQ(facts.maximum, shown.maximum);
            EXPECT_EQ(facts.minimum, shown.minimum);
            EXPECT_EQ(facts.mkt, shown.mkt);
        }
    }
}

TEST(RecordFacts, IdentityTimesAndCounts) {
    HeaderFields fields{
        .hour = 23, .minute = 54, .second = 0, .day = 31, .month = 12, .year = 21, .count = 1440};
    fields.pid[0] = 9;
    fields.pid[4] = 200;
    Record record = SampleRecord(1440, fields);
    record.readings.resize(2 * 100);  // stopped after 100 readings
    record.complete = false;
    const RecordFacts facts = FactsOfRecord({record, false, "changed"});
    EXPECT_EQ(facts.pid, "09 02 03 04 200");
    EXPECT_EQ(facts.pidHex, "09020304c8");
    EXPECT_EQ(facts.announced, 1440);
    EXPECT_EQ(facts.count, 100);
    EXPECT_FALSE(facts.complete);
    EXPECT_FALSE(facts.intact);
    EXPECT_EQ(UtcTimeText(std::chrono::sys_seconds{std::chrono::seconds{*facts.firstReading}}),
              "2021-12-31T23:54:00Z");
    EXPECT_EQ(UtcTimeText(std::chrono::sys_seconds{std::chrono::seconds{*facts.lastReading}}),
              "2022-01-01T09:48:00Z");
    EXPECT_EQ(facts.host, "fridge-pc");

    fields.month = 13;  // a clock that is no date
    const RecordFacts noTime = FactsOfRecord({SampleRecord(5, fields), true, ""});
    EXPECT_FALSE(noTime.firstReading.has_value());
    EXPECT_FALSE(noTime.lastReading.has_value());
}

class Listing : public LibraryTest {};

TEST_F(Listing, FiltersNewestFirstWithUnreadableRecordsAlwaysShown) {
    // Card 1 on the 10th and the 12th, card 2 on the 11th (incomplete), card 3 on the 12th
    // (changed after its download), and a file that is no record.
    const std::string card1Old = Keep(Sample(240, 1, 8, 10));
    const std::string card1New = Keep(Sample(240, 1, 8, 12));
    Record partial = Sample(240, 2, 8, 11);
    partial.readings.resize(2 * 100);
    partial.complete = false;
    const std::string card2 = Keep(partial);
    const std::string card3 = Keep(Sample(10, 3, 20, 12));
    {
        std::string text = FileText(folder_ / card3);
        text.replace(text.find("fridge-pc"), 9, "fridge-pX");
        WriteText(folder_ / card3, text);
    }
    WriteText(folder_ / "scratch.halvik", "not json");
    RecordsIndex(index_, folder_).Update();

    using namespace std::chrono;
    auto at = [](int day, int hour) {
        return sys_seconds(sys_days(2026y / January / day) + hours(hour))
            .time_since_epoch()
            .count();
    };
    struct Case {
        const char* name;
        RecordFilter filter;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"all, newest last reading first",
         {},
         {card1New, card3, card2, card1Old, "scratch.halvik"}},
        {"card as shown", {.pid = "01 02 03 04 01"}, {card1New, card1Old, "scratch.halvik"}},
        {"card as named", {.pid = "0102030401"}, {card1New, card1Old, "scratch.halvik"}},
        {"card with loose spaces", {.pid = " 1 2  3 4 1"}, {card1New, card1Old, "scratch.halvik"}},
        {"unknown card", {.pid = "99 99 99 99 99"}, {"scratch.halvik"}},
        // A record counts when any of its readings is in the range.
        {"since", {.since = at(11, 12)}, {card1New, card3, card2, "scratch.halvik"}},
        {"until", {.until = at(11, 8)}, {card2, card1Old, "scratch.halvik"}},
        {"between", {.since = at(11, 0), .until = at(11, 23)}, {card2, card1Old, "scratch.halvik"}},
        {"incomplete", {.incompleteOnly = true}, {card2, "scratch.halvik"}},
        {"changed", {.changedOnly = true}, {card3, "scratch.halvik"}},
        {"no verdict known yet", {.verdict = "alarm"}, {"scratch.halvik"}},
        {"card and changed", {.pid = "0102030403", .changedOnly = true}, {card3, "scratch.halvik"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Names(c.filter), c.names);
    }
    RecordsIndex index(index_, folder_);
    const RecordFacts scratch = index.List().back();
    EXPECT_EQ(
        scratch.problem.find("Cannot open the record " + (folder_ / "scratch.halvik").string()), 0u)
        << scratch.problem;
}

TEST_F(Listing, VerdictsFollowTheProfileOfEachCard) {
    const fs::path profiles = dir_ / "profiles";
    const std::string fridge = Keep(Sample(240, 1));  // readings up to 15.4 °C
    Keep(Sample(240, 2));                             // another card, with no profile
    const std::string pid = "01 02 03 04 01";
    auto save = [&](const char* rule, const std::optional<fs::path>& replacing = {}) {
        return SaveProfile(profiles,
                           {.name = "fridge", .low = {}, .high = {}, .rules = {ParseRule(rule)}},
                           replacing);
    };
    struct Step {
        const char* name;
        std::function<void()> change;
        int reviewed;
        std::optional<std::string> verdict;
    };
    fs::path file;
    const std::vector<Step> steps = {
        {"no profile", [] {}, 0, std::nullopt},
        {"assigned",
         [&] {
             file = save(">10");
             RememberProfile(profiles, pid, "fridge");
         },
         1, "ALARM"},
        {"profile edited", [&] { save(">50", file); }, 1, "OK"},
        {"nothing changed", [] {}, 0, "OK"},
        {"profile file gone", [&] { fs::remove(file); }, 1, std::nullopt},
        {"assigned a preset", [&] { RememberProfile(profiles, pid, "refrigerated-2-8"); }, 1,
         "ALARM"},
        {"forgotten", [&] { RememberProfile(profiles, pid, ""); }, 1, std::nullopt},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        RecordsIndex index(index_, folder_, profiles);
        EXPECT_EQ(index.Update().reviewed, step.reviewed);
        for (const RecordFacts& facts : index.List()) {
            EXPECT_EQ(facts.verdict, facts.name == fridge ? step.verdict : std::nullopt)
                << facts.name;
            EXPECT_EQ(facts, ReadRecordFacts(folder_, facts.name, profiles));
        }
    }
    RecordsIndex(index_, folder_, profiles).Update();
    RememberProfile(profiles, pid, "refrigerated-2-8");
    RecordsIndex(index_, folder_, profiles).Update();
    // A run without the profile folder neither reviews nor forgets.
    RecordsIndex plain(index_, folder_);
    EXPECT_EQ(plain.Update().reviewed, 0);
    EXPECT_EQ(plain.List({.verdict = "ALARM"}).front().name, fridge);
    EXPECT_EQ(plain.List({.verdict = "OK"}).size(), 0u);
}

}  // namespace
}  // namespace halvik::test
