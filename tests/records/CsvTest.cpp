// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RecordSamples.h"

namespace halvik {
namespace {

using test::HeaderFields;
using test::SampleRecord;

Record Card(HeaderFields fields, std::vector<std::uint8_t> readings, bool complete = true) {
    Record record = SampleRecord(0, fields);
    record.readings = std::move(readings);
    record.complete = complete;
    return record;
}

constexpr HeaderFields kJanuary12{.hour = 8, .minute = 0, .day = 12, .month = 1, .year = 26};

// The temperature texts are those of the grid for these bytes (tests/logger/ReadingTest.cpp).
TEST(RecordCsv, SmallCard) {
    HeaderFields fields = kJanuary12;
    fields.count = 4;
    const Record record = Card(fields, {0x83, 0x40, 0x83, 0xC2, 0x7E, 0x40, 0x7A, 0x80});
    EXPECT_EQ(RecordCsv(record),
              "point,time_utc,celsius,fahrenheit\n"
              "1,2026-01-12T08:00:00Z,24.0,75.2\n"
              "2,2026-01-12T08:06:00Z,-24.3,-11.6\n"
              "3,2026-01-12T08:12:00Z,0.8,33.3\n"
              "4,2026-01-12T08:18:00Z,0.0,31.9\n");
}

TEST(RecordCsv, ExampleOfTheRecordFormat) {
    HeaderFields fields = kJanuary12;
    fields.count = 1;
    // 4.0 °C: exponent 129, mantissa 0.
    const std::string csv = RecordCsv(Card(fields, {0x81, 0x00}));
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), "1,2026-01-12T08:00:00Z,4.0,39.2\n");
}

// A zone adds the local time beside the UTC truth; the autumn hour's two 02:30 differ by offset.
TEST(RecordCsv, TimeLocalInAZone) {
    const HeaderFields autumn{
        .hour = 0, .minute = 24, .day = 25, .month = 10, .year = 26, .count = 4};
    const std::vector<std::uint8_t> readings = {0x81, 0, 0x81, 0, 0x81, 0, 0x81, 0};
    EXPECT_EQ(RecordCsv(Card(autumn, readings), TimeBase::Zone("Europe/Berlin")),
              "point,time_utc,time_local,celsius,fahrenheit\n"
              "1,2026-10-25T00:24:00Z,2026-10-25T02:24:00+02:00,4.0,39.2\n"
              "2,2026-10-25T00:30:00Z,2026-10-25T02:30:00+02:00,4.0,39.2\n"
              "3,2026-10-25T00:36:00Z,2026-10-25T02:36:00+02:00,4.0,39.2\n"
              "4,2026-10-25T00:42:00Z,2026-10-25T02:42:00+02:00,4.0,39.2\n");
    HeaderFields later = autumn;
    later.hour = 1;
    later.count = 1;
    EXPECT_EQ(RecordCsv(Card(later, {0x81, 0}), TimeBase::Zone("Europe/Berlin")),
              "point,time_utc,time_local,celsius,fahrenheit\n"
              "1,2026-10-25T01:24:00Z,2026-10-25T02:24:00+01:00,4.0,39.2\n");
    // A header clock that is no real date leaves both times empty, as before.
    HeaderFields impossible = later;
    impossible.day = 32;
    EXPECT_EQ(RecordCsv(Card(impossible, {0x81, 0}), TimeBase::Zone("Asia/Kathmandu")),
              "point,time_utc,time_local,celsius,fahrenheit\n1,,,4.0,39.2\n");
    EXPECT_THROW(RecordCsv(Card(later, {0x81, 0}), TimeBase::Zone("Nowhere/Town")), TimeBaseError);
}

struct ReadingsCase {
    const char* name;
    int count;
    std::vector<std::uint8_t> readings;
    bool complete;
    int lines;  // reading lines expected
};

class RecordCsvReadings : public testing::TestWithParam<ReadingsCase> {};

// Only whole readings that arrived, never more than the header announces.
TEST_P(RecordCsvReadings, OneLinePerReadingThatArrived) {
    HeaderFields fields = kJanuary12;
    fields.count = GetParam().count;
    const std::string csv = RecordCsv(Card(fields, GetParam().readings, GetParam().complete));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), GetParam().lines + 1) << csv;
    EXPECT_EQ(csv.back(), '\n');
    EXPECT_EQ(csv.find('\r'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordCsvReadings,
    testing::Values(ReadingsCase{"EmptyCard", 0, {}, true, 0},
                    ReadingsCase{"PaddingIgnored", 2, std::vector<std::uint8_t>(64, 0x81), true, 2},
                    ReadingsCase{"StoppedHalfwayThroughAReading", 3, {0x81, 0, 0x81}, false, 1},
                    ReadingsCase{"NothingArrived", 3, {}, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct CalendarCase {
    const char* name;
    HeaderFields start;
    const char* secondTime;  // the second reading's time_utc
};

class RecordCsvCalendar : public testing::TestWithParam<CalendarCase> {};

TEST_P(RecordCsvCalendar, StepsSixMinutesInTheGregorianCalendar) {
    HeaderFields fields = GetParam().start;
    fields.count = 2;
    const std::string csv = RecordCsv(Card(fields, {0x81, 0, 0x81, 0}));
    const std::size_t line2 = csv.find("\n2,") + 3;
    EXPECT_EQ(csv.substr(line2, csv.find(',', line2) - line2), GetParam().secondTime) << csv;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordCsvCalendar,
    testing::Values(
        CalendarCase{"LeapDay",
                     {.hour = 23, .minute = 54, .day = 28, .month = 2, .year = 24},
                     "2024-02-29T00:00:00Z"},
        CalendarCase{"NoLeapDay",
                     {.hour = 23, .minute = 54, .day = 28, .month = 2, .year = 26},
                     "2026-03-01T00:00:00Z"},
        CalendarCase{"StartsOnLeapDay",
                     {.hour = 23, .minute = 54, .day = 29, .month = 2, .year = 28},
                     "2028-03-01T00:00:00Z"},
        CalendarCase{"CenturyNotLeap",
                     {.hour = 23, .minute = 54, .day = 28, .month = 2, .year = 200},
                     "2200-03-01T00:00:00Z"},
        CalendarCase{"NewYear",
                     {.hour = 23, .minute = 57, .day = 31, .month = 12, .year = 25},
                     "2026-01-01T00:03:00Z"},
        CalendarCase{"HourCarry",
                     {.hour = 9, .minute = 59, .day = 7, .month = 1, .year = 14},
                     "2014-01-07T10:05:00Z"},
        // Out of range: no time is made up.
        CalendarCase{
            "LeapDayInCommonYear", {.hour = 0, .minute = 0, .day = 29, .month = 2, .year = 26}, ""},
        CalendarCase{"Hour24", {.hour = 24, .minute = 0, .day = 1, .month = 1, .year = 26}, ""},
        CalendarCase{"Minute60", {.hour = 0, .minute = 60, .day = 1, .month = 1, .year = 26}, ""},
        CalendarCase{"Month13", {.hour = 0, .minute = 0, .day = 1, .month = 13, .year = 26}, ""},
        CalendarCase{"Day0", {.hour = 0, .minute = 0, .day = 0, .month = 1, .year = 26}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Every byte pair: "." as separator, no blanks, both columns filled, under any process locale
// (this binary runs once more under a comma-decimal one).
TEST(RecordCsv, EveryReadingTextUsesPointWithoutBlanks) {
    std::vector<std::uint8_t> readings;
    for (int exponent = 0; exponent < 256; ++exponent) {
        for (int mantissa : {0x00, 0x55, 0x80, 0xFF}) {
            readings.push_back(static_cast<std::uint8_t>(exponent));
            readings.push_back(static_cast<std::uint8_t>(mantissa));
        }
    }
    HeaderFields fields = kJanuary12;
    fields.count = static_cast<int>(readings.size() / 2);
    const std::string csv = RecordCsv(Card(fields, readings));
    EXPECT_EQ(csv.find(' '), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1) {
        const std::string line = csv.substr(at, csv.find('\n', at) - at);
        ++lines;
        ASSERT_EQ(std::count(line.begin(), line.end(), ','), 3) << line;
        const std::string celsius = line.substr(line.find(",", line.find(',') + 1) + 1);
        EXPECT_NE(celsius.find('.'), std::string::npos) << line;
        EXPECT_EQ(line.back() == ',', false) << line;
    }
    EXPECT_EQ(lines, readings.size() / 2);
}

}  // namespace
}  // namespace halvik
