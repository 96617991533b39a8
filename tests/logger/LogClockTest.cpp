// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LogClock.h"

#include <gtest/gtest.h>

#include "HeaderBytes.h"
#include "TestLocales.h"
#include "logger/Header.h"
#include "logger/LoggerError.h"

namespace halvik {
namespace {

using test::HeaderBytes;
using test::HeaderFields;

DownloadState StateWithHeader(const HeaderFields& f) {
    DownloadState state;
    auto bytes = HeaderBytes(f);
    ReadHeader(state, bytes.data(), bytes.size());
    return state;
}

HeaderFields At(int day, int month, int year, int hour, int minute) {
    HeaderFields f;
    f.day = day;
    f.month = month;
    f.year = year;
    f.hour = hour;
    f.minute = minute;
    return f;
}

// The labels of the first `count` readings.
std::vector<std::string> Labels(const HeaderFields& f, int count, const LocaleSettings& locale) {
    DownloadState state = StateWithHeader(f);
    StartLogClock(state);
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i) {
        StepLogTime(state);
        labels.push_back(TimestampLabel(state, locale));
    }
    return labels;
}

TEST(StartLogClock, StartsOneIntervalEarly) {
    DownloadState state = StateWithHeader(At(7, 1, 14, 10, 3));
    StartLogClock(state);
    EXPECT_EQ(state.LogYear, 2014);
    EXPECT_EQ(state.LogMonth, 1);
    EXPECT_EQ(state.LogDay, 7);
    EXPECT_EQ(state.LogHour, 10);
    EXPECT_EQ(state.LogMinute, -3);
    EXPECT_TRUE(state.LogClockValid);
    StepLogTime(state);
    EXPECT_EQ(state.LogHour, 10);
    EXPECT_EQ(state.LogMinute, 3);
}

TEST(StartLogClock, EmptyHeaderTextFailsWithTheConversionMessage) {
    DownloadState state;
    state.LogYear = 1999;
    try {
        StartLogClock(state);
        FAIL() << "no error";
    } catch (const LoggerError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(state.LogYear, 1999);  // unchanged
}

TEST(TimestampLabel, FormatsAndCalendarEnds) {
    struct Case {
        HeaderFields start;
        int readings;
        std::vector<std::string> english;
        std::vector<std::string> german;
    };
    const Case cases[] = {
        {At(7, 1, 14, 9, 0),
         3,
         {"07Jan14  09:00", "07Jan14  09:06", "07Jan14  09:12"},
         {"07Jan14  09.00", "07Jan14  09.06", "07Jan14  09.12"}},
        // 2016 is a leap year: 29 February follows the 28th.
        {At(28, 2, 16, 23, 54),
         2,
         {"28Feb16  23:54", "29Feb16  00:00"},
         {"28Feb16  23.54", "29Feb16  00.00"}},
        {At(31, 12, 14, 23, 54),
         2,
         {"31Dec14  23:54", "01Jan15  00:00"},
         {"31Dez14  23.54", "01Jan15  00.00"}},
        {At(30, 4, 14, 23, 54),
         2,
         {"30Apr14  23:54", "01May14  00:00"},
         {"30Apr14  23.54", "01Mai14  00.00"}},
        {At(5, 6, 20, 0, 0), 1, {"05Jun20  00:00"}, {"05Jun20  00.00"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Labels(c.start, c.readings, test::English()), c.english);
        EXPECT_EQ(Labels(c.start, c.readings, test::German()), c.german);
    }
}

TEST(TimestampLabel, WholeDaysFromMidnight) {
    auto labels = Labels(At(7, 3, 14, 0, 0), 241, test::English());
    EXPECT_EQ(labels[239], "07Mar14  23:54");
    EXPECT_EQ(labels[240], "08Mar14  00:00");
}

// The grid's calendar and the log clock give the same time for every reading of a full card,
// across month and year ends.
TEST(Calendars, AgreeForEveryReadingOfAFullCard) {
    const LocaleSettings locale = test::English();
    for (HeaderFields start : {At(1, 1, 14, 0, 0), At(15, 11, 14, 13, 42), At(28, 2, 16, 23, 54),
                               At(31, 12, 99, 23, 54)}) {
        DownloadState state = StateWithHeader(start);
        StartLogClock(state);
        TextCalendar calendar(state);
        for (int reading = 1; reading <= kMaxReadings; ++reading) {
            if (reading > 1)
                calendar.Step();
            StepLogTime(state);
            std::string date = calendar.DateText();  // "  dd MON yy" or "  dd MON  yy"
            std::string label = TimestampLabel(state, locale);
            ASSERT_EQ(label.substr(0, 2), date.substr(2, 2)) << reading;
            ASSERT_EQ(label.substr(2, 3), std::string(1, date[5]) + char(std::tolower(date[6])) +
                                              char(std::tolower(date[7])))
                << reading;
            ASSERT_EQ(label.substr(5, 2), date.substr(date.size() - 2)) << reading;
            ASSERT_EQ(label.substr(9), calendar.TimeText(locale).substr(4)) << reading;
        }
        if (start.year == 99) {
            EXPECT_EQ(calendar.StopYearText(), "2100");
        }
    }
}

TEST(TimestampLabel, EmptyWhenTheHeaderClockIsOutOfRange) {
    for (HeaderFields f : {At(5, 1, 14, 25, 0), At(5, 1, 14, 9, 60), At(31, 4, 14, 9, 0),
                           At(29, 2, 15, 9, 0), At(30, 2, 16, 9, 0), At(0, 1, 14, 9, 0),
                           At(5, 13, 14, 9, 0), At(255, 255, 255, 255, 255)}) {
        DownloadState state = StateWithHeader(f);
        StartLogClock(state);
        EXPECT_FALSE(state.LogClockValid);
        for (int i = 0; i < 500; ++i) {
            StepLogTime(state);
            ASSERT_EQ(TimestampLabel(state, test::English()), "");
        }
    }
}

TEST(TimerInterval, OneMillisecondPerReadingUpTo4000) {
    const std::pair<const char*, int> cases[] = {
        {"1", 1}, {"100", 100}, {"4000", 4000}, {"4001", 4500}, {"14400", 4500}, {"0", 1},
    };
    for (auto [text, interval] : cases) {
        DownloadState state;
        state.RecordCountText = text;
        EXPECT_EQ(TimerInterval(state), interval) << text;
    }
    DownloadState empty;
    EXPECT_THROW(TimerInterval(empty), LoggerError);
}

}  // namespace
}  // namespace halvik
