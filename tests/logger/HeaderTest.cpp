// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Header.h"

#include <gtest/gtest.h>

#include "HeaderBytes.h"
#include "TestLocales.h"

namespace halvik {
namespace {

using test::HeaderBytes;
using test::HeaderFields;

TEST(DecodeCount, HighTimes256PlusLowForEveryPair) {
    struct Case {
        std::uint8_t high, low;
        int count;
    };
    const Case cases[] = {
        {0x05, 0xA0, 1440},
        {0x38, 0x40, 14400},
        {0x00, 0x01, 1},
        {0x00, 0x00, 0},
        // A low byte of 0 still counts the high byte 256 times: 256, 512, ... readings.
        {0x01, 0x00, 256},
        {0x02, 0x00, 512},
        {0x38, 0x00, 14336},
        {0xFF, 0xFF, 65535},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeCount(c.high, c.low), c.count);
}

TEST(MonthTables, NamesAndGregorianMonthLengths) {
    const char* names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_STREQ(MonthName(m), names[m - 1]);
        EXPECT_EQ(DaysInMonth(2014, m), days[m - 1]);
        EXPECT_EQ(DaysInMonth(2016, m), m == 2 ? 29 : days[m - 1]);
    }
    for (int m : {0, 13, 255, -1}) {
        EXPECT_STREQ(MonthName(m), "???");
        EXPECT_EQ(DaysInMonth(2016, m), 0);
    }
    // Leap years over the card's years 2000..2255: every fourth, but not 2100 and 2200.
    const struct {
        int year;
        bool leap;
    } years[] = {{2000, true},  {2001, false}, {2004, true},  {2024, true}, {2100, false},
                 {2200, false}, {2204, true},  {2255, false}, {2400, true}};
    for (const auto& y : years) {
        EXPECT_EQ(IsLeapYear(y.year), y.leap) << y.year;
        EXPECT_EQ(DaysInMonth(y.year, 2), y.leap ? 29 : 28) << y.year;
    }
}

TEST(ClockFieldsValid, Ranges) {
    EXPECT_TRUE(ClockFieldsValid(0, 0, 1, 1, 2014));
    EXPECT_TRUE(ClockFieldsValid(23, 59, 31, 12, 2014));
    EXPECT_TRUE(ClockFieldsValid(12, 0, 28, 2, 2014));
    EXPECT_TRUE(ClockFieldsValid(12, 0, 29, 2, 2016));  // a leap day is a real clock
    EXPECT_FALSE(ClockFieldsValid(24, 0, 1, 1, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 60, 1, 1, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 0, 1, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 31, 4, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 29, 2, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 29, 2, 2100));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 30, 2, 2016));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 1, 0, 2014));
    EXPECT_FALSE(ClockFieldsValid(0, 0, 1, 13, 2014));
}

TEST(ReadHeader, TextsOfAGoodHeader) {
    DownloadState state;
    HeaderFields f;
    f.hour = 5;
    f.minute = 6;
    f.day = 5;
    f.month = 1;
    f.year = 14;
    f.count = 1440;
    auto bytes = HeaderBytes(f);
    HeaderOutcome outcome = ReadHeader(state, bytes.data(), bytes.size());
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.problem, "");
    EXPECT_EQ(state.PidText, "01 02 03 04 05 ");
    EXPECT_EQ(state.PidCaption, "( PID :01 02 03 04 05 )");
    EXPECT_EQ(state.HeaderHourText, "05");
    EXPECT_EQ(state.HeaderMinuteText, "06");
    EXPECT_EQ(state.HeaderDayText, "5");
    EXPECT_EQ(state.HeaderMonthText, "1");
    EXPECT_EQ(state.HeaderMonthName, "JAN");
    EXPECT_EQ(state.HeaderYearText, " 14");
    EXPECT_EQ(state.RecordCount, 1440);
    EXPECT_EQ(state.RecordCountText, "1440");
    EXPECT_EQ(state.StartYearText, "2014");
    EXPECT_EQ(state.StopYearText, "2014");
    EXPECT_EQ(state.HeaderProblem, "");
    EXPECT_EQ(FirstRowDateText(state), "  05 JAN  14");
    EXPECT_EQ(FirstRowTimeText(state), "    05:06");
}

TEST(ReadHeader, PidBytesOfThreeDigitsAndASecondHeader) {
    DownloadState state;
    HeaderFields f;
    f.pid[0] = 100;
    f.pid[4] = 255;
    auto bytes = HeaderBytes(f);
    ReadHeader(state, bytes.data(), bytes.size());
    EXPECT_EQ(state.PidText, "100 02 03 04 255 ");
    HeaderFields g;
    auto again = HeaderBytes(g);
    ReadHeader(state, again.data(), again.size());
    EXPECT_EQ(state.PidText, "01 02 03 04 05 ");  // replaced, not appended
    EXPECT_EQ(state.PidCaption, "( PID :01 02 03 04 05 )");
}

TEST(ReadHeader, ReadsExactlyTwentyOneBytes) {
    DownloadState state;
    HeaderFields f;
    f.count = 0x0102;
    // An allocation of exactly 21 bytes: reading past it is caught by the address sanitizer.
    auto bytes = HeaderBytes(f, 21);
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[21]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    EXPECT_TRUE(ReadHeader(state, exact.get(), 21).accepted);
    EXPECT_EQ(state.RecordCountText, "258");
}

TEST(ReadHeader, ShortReportChangesNothingButTheProblem) {
    DownloadState state;
    HeaderFields f;
    auto good = HeaderBytes(f);
    ReadHeader(state, good.data(), good.size());
    const DownloadState before = state;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}}) {
        HeaderFields other;
        other.pid[0] = 9;
        other.count = 99;
        auto shortReport = HeaderBytes(other, size);
        HeaderOutcome outcome = ReadHeader(state, shortReport.data(), size);
        EXPECT_FALSE(outcome.accepted);
        EXPECT_NE(outcome.problem.find("too short"), std::string::npos) << outcome.problem;
        EXPECT_EQ(state.HeaderProblem, outcome.problem);
        EXPECT_EQ(state.PidText, before.PidText);
        EXPECT_EQ(state.RecordCountText, before.RecordCountText);
        EXPECT_EQ(state.HeaderMinuteText, before.HeaderMinuteText);
    }
    EXPECT_FALSE(ReadHeader(state, nullptr, 64).accepted);
}

TEST(ReadHeader, CountAboveTheCapacityIsCutAndReported) {
    for (int count : {14401, 20000, 65535}) {
        DownloadState state;
        HeaderFields f;
        f.count = count;
        auto bytes = HeaderBytes(f);
        HeaderOutcome outcome = ReadHeader(state, bytes.data(), bytes.size());
        EXPECT_TRUE(outcome.accepted);
        EXPECT_EQ(state.RecordCount, 14400);
        EXPECT_EQ(state.RecordCountText, "14400");
        EXPECT_NE(outcome.problem.find(std::to_string(count)), std::string::npos)
            << outcome.problem;
        EXPECT_EQ(state.HeaderProblem, outcome.problem);
    }
    DownloadState state;
    HeaderFields f;
    f.count = 14400;
    auto bytes = HeaderBytes(f);
    EXPECT_EQ(ReadHeader(state, bytes.data(), bytes.size()).problem, "");
    EXPECT_EQ(state.RecordCountText, "14400");
}

TEST(ReadHeader, ClockOutOfRangeIsKeptAsItCameAndReported) {
    struct Case {
        int hour, minute, day, month;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {25, 70, 5, 1, "  05 JAN  14", "    25:70"},
        {9, 0, 31, 4, "  31 APR  14", "    09:00"},
        {9, 0, 29, 2, "  29 FEB  14", "    09:00"},
        {9, 0, 0, 3, "  00 MAR  14", "    09:00"},
        {9, 0, 5, 13, "  05 ???  14", "    09:00"},
        {9, 0, 5, 0, "  05 ???  14", "    09:00"},
        {255, 255, 255, 255, "  255 ???  14", "    255:255"},
    };
    for (const Case& c : cases) {
        DownloadState state;
        HeaderFields f;
        f.hour = c.hour;
        f.minute = c.minute;
        f.day = c.day;
        f.month = c.month;
        auto bytes = HeaderBytes(f);
        HeaderOutcome outcome = ReadHeader(state, bytes.data(), bytes.size());
        EXPECT_TRUE(outcome.accepted);
        EXPECT_NE(outcome.problem.find("impossible time"), std::string::npos) << c.date;
        EXPECT_EQ(FirstRowDateText(state), c.date);
        EXPECT_EQ(FirstRowTimeText(state), c.time);
        EXPECT_EQ(state.RecordCountText, "3");
    }
}

// The grid's calendar from a header, as (date, time) per row.
std::vector<std::pair<std::string, std::string>> CalendarRows(const HeaderFields& f, int rows,
                                                              const LocaleSettings& locale) {
    DownloadState state;
    auto bytes = test::HeaderBytes(f);
    ReadHeader(state, bytes.data(), bytes.size());
    std::vector<std::pair<std::string, std::string>> out = {
        {FirstRowDateText(state), FirstRowTimeText(state)}};
    TextCalendar calendar(state);
    for (int r = 2; r <= rows; ++r) {
        calendar.Step();
        out.emplace_back(calendar.DateText(), calendar.TimeText(locale));
    }
    return out;
}

TEST(TextCalendar, YearEndChangesTheYearTextsWidth) {
    HeaderFields f;
    f.day = 31;
    f.month = 12;
    f.year = 14;
    f.hour = 23;
    f.minute = 54;
    auto rows = CalendarRows(f, 3, test::English());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], std::make_pair(std::string("  31 DEC  14"), std::string("    23:54")));
    EXPECT_EQ(rows[1], std::make_pair(std::string("  01 JAN 15"), std::string("    00:00")));
    EXPECT_EQ(rows[2], std::make_pair(std::string("  01 JAN 15"), std::string("    00:06")));
}

TEST(TextCalendar, EveryMonthEndInALeapAndACommonYear) {
    const char* next[] = {"  01 FEB  %", "  01 MAR  %", "  01 APR  %", "  01 MAY  %",
                          "  01 JUN  %", "  01 JUL  %", "  01 AUG  %", "  01 SEP  %",
                          "  01 OCT  %", "  01 NOV  %", "  01 DEC  %", "  01 JAN %+"};
    for (int year : {15, 16}) {
        for (int month = 1; month <= 12; ++month) {
            HeaderFields f;
            f.year = year;
            f.month = month;
            f.day = DaysInMonth(2000 + year, month);
            f.hour = 23;
            f.minute = 54;
            auto rows = CalendarRows(f, 2, test::English());
            std::string expected = next[month - 1];
            expected.replace(expected.find('%'), 1, std::to_string(year));
            if (auto plus = expected.find("+"); plus != std::string::npos)
                expected.replace(plus - 2, 3, std::to_string(year + 1));
            EXPECT_EQ(rows[1].first, expected) << year << "/" << month;
            EXPECT_EQ(rows[1].second, "    00:00");
        }
    }
}

TEST(TextCalendar, TheLeapDayFollowsTheTwentyEighthOfFebruary) {
    // 28 February 2016, 23:54: the second reading is on 29 FEB; 2100 has no leap day.
    struct Case {
        int year;
        const char* second;
    };
    for (const Case& c : {Case{16, "  29 FEB  16"}, Case{100, "  01 MAR 100"}}) {
        HeaderFields f;
        f.year = c.year;
        f.month = 2;
        f.day = 28;
        f.hour = 23;
        f.minute = 54;
        auto rows = CalendarRows(f, 2, test::English());
        EXPECT_EQ(rows[1].first, c.second) << c.year;
    }
    // A header dated on the leap day itself is a real clock.
    HeaderFields leapDay;
    leapDay.year = 24;
    leapDay.month = 2;
    leapDay.day = 29;
    DownloadState state;
    auto bytes = test::HeaderBytes(leapDay);
    EXPECT_TRUE(ReadHeader(state, bytes.data(), bytes.size()).problem.empty());
}

TEST(TextCalendar, LaterRowsUseTheLocaleTimeSeparator) {
    HeaderFields f;
    f.hour = 9;
    f.minute = 0;
    auto rows = CalendarRows(f, 2, test::German());
    EXPECT_EQ(rows[0].second, "    09:00");  // row 1 always ':'
    EXPECT_EQ(rows[1].second, "    09.06");
}

TEST(TextCalendar, DayBoundariesOverAWholeDay) {
    HeaderFields f;
    f.hour = 0;
    f.minute = 0;
    f.day = 7;
    f.month = 3;
    auto rows = CalendarRows(f, 241, test::English());
    EXPECT_EQ(rows[239], std::make_pair(std::string("  07 MAR  14"), std::string("    23:54")));
    EXPECT_EQ(rows[240], std::make_pair(std::string("  08 MAR  14"), std::string("    00:00")));
}

TEST(TextCalendar, OutOfRangeFieldsSettleWithoutIndexingPastATable) {
    HeaderFields f;
    f.hour = 25;
    f.minute = 70;
    f.day = 31;
    f.month = 4;
    auto rows = CalendarRows(f, 2, test::English());
    EXPECT_EQ(rows[1], std::make_pair(std::string("  01 MAY  14"), std::string("    02:16")));

    f.hour = 255;
    f.minute = 255;
    f.day = 255;
    f.month = 255;
    rows = CalendarRows(f, 3, test::English());
    EXPECT_EQ(rows[1], std::make_pair(std::string("  265 ???  14"), std::string("    19:21")));
    EXPECT_EQ(rows[2], std::make_pair(std::string("  265 ???  14"), std::string("    19:27")));
}

}  // namespace
}  // namespace halvik
