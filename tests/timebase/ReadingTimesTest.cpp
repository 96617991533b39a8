// SPDX-License-Identifier: GPL-3.0-or-later
#include "timebase/ReadingTimes.h"

#include <gtest/gtest.h>

#include <string>

namespace halvik {
namespace {

// The header texts of a card whose first reading is at the given UTC clock.
DownloadState Header(int year, int month, int day, int hour, int minute, int count) {
    DownloadState state;
    const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    state.HeaderYearText = (year - 2000 < 10 ? "  " : " ") + std::to_string(year - 2000);
    state.HeaderMonthText = std::to_string(month);
    state.HeaderDayText = std::to_string(day);
    state.HeaderHourText = two(hour);
    state.HeaderMinuteText = two(minute);
    state.HeaderMonthName = "OCT";  // only the card's-clock row 1 uses it
    state.StartYearText = std::to_string(year);
    state.RecordCount = count;
    state.RecordCountText = std::to_string(count);
    return state;
}

struct Row {
    int row;  // 1-based
    const char* date;
    const char* time;
    const char* label;
};

struct Case {
    const char* name;
    DownloadState state;
    TimeBase base;
    LocaleSettings locale;
    std::vector<Row> rows;
    const char* startYear;
    const char* stopYear;
};

LocaleSettings DotLocale() {
    LocaleSettings locale;
    locale.timeSeparator = ".";
    locale.shortMonthNames[9] = "Okt";
    return locale;
}

TEST(ReadingTimes, GridLabelsAndYearsInEachTimeBase) {
    const Case cases[] = {
        {"card clock across the autumn change",
         Header(2026, 10, 24, 23, 48, 25),
         TimeBase(),
         {},
         {{1, "  24 OCT  26", "    23:48", "24Oct26  23:48"},
          {3, "  25 OCT  26", "    00:00", "25Oct26  00:00"},
          {13, "  25 OCT  26", "    01:00", "25Oct26  01:00"}},
         "2026",
         "2026"},
        {"Berlin: the repeated hour carries CEST, then CET",
         Header(2026, 10, 24, 23, 48, 25),
         TimeBase::Zone("Europe/Berlin"),
         {},
         {{1, "  25 OCT  26", "    01:48", "25Oct26  01:48"},
          {2, "  25 OCT  26", "    01:54", "25Oct26  01:54"},
          {3, "  25 OCT  26", "    02:00 CEST", "25Oct26  02:00 CEST"},
          {8, "  25 OCT  26", "    02:30 CEST", "25Oct26  02:30 CEST"},
          {12, "  25 OCT  26", "    02:54 CEST", "25Oct26  02:54 CEST"},
          {13, "  25 OCT  26", "    02:00 CET", "25Oct26  02:00 CET"},
          {18, "  25 OCT  26", "    02:30 CET", "25Oct26  02:30 CET"},
          {22, "  25 OCT  26", "    02:54 CET", "25Oct26  02:54 CET"},
          {23, "  25 OCT  26", "    03:00", "25Oct26  03:00"}},
         "2026",
         "2026"},
        {"Berlin in spring: 01:54 is followed by 03:00, in the locale's separator",
         Header(2026, 3, 29, 0, 48, 3),
         TimeBase::Zone("Europe/Berlin"),
         DotLocale(),
         {{1, "  29 MAR  26", "    01:48", "29Mar26  01.48"},
          {2, "  29 MAR  26", "    01.54", "29Mar26  01.54"},
          {3, "  29 MAR  26", "    03.00", "29Mar26  03.00"}},
         "2026",
         "2026"},
        {"New York: the UTC New Year starts in the old year",
         Header(2027, 1, 1, 4, 54, 3),
         TimeBase::Zone("America/New_York"),
         {},
         {{1, "  31 DEC  26", "    23:54", "31Dec26  23:54"},
          {2, "  01 JAN 27", "    00:00", "01Jan27  00:00"}},
         "2026",
         "2027"},
        {"Kathmandu on 29 February",
         Header(2028, 2, 28, 18, 9, 2),
         TimeBase::Zone("Asia/Kathmandu"),
         {},
         {{1, "  28 FEB  28", "    23:54", "28Feb28  23:54"},
          {2, "  29 FEB  28", "    00:00", "29Feb28  00:00"}},
         "2028",
         "2028"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadingTimeTexts texts = ReadingTimes(c.state, c.state.RecordCount, c.base, c.locale);
        ASSERT_EQ(texts.dates.size(), static_cast<std::size_t>(c.state.RecordCount));
        ASSERT_EQ(texts.times.size(), texts.dates.size());
        ASSERT_EQ(texts.labels.size(), texts.dates.size());
        for (const Row& r : c.rows) {
            SCOPED_TRACE(r.row);
            const auto i = static_cast<std::size_t>(r.row - 1);
            EXPECT_EQ(texts.dates[i], r.date);
            EXPECT_EQ(texts.times[i], r.time);
            EXPECT_EQ(texts.labels[i], r.label);
        }
        EXPECT_EQ(texts.startYear, c.startYear);
        EXPECT_EQ(texts.stopYear, c.stopYear);
    }
}

// Every reading of the repeated hour reads differently from every other one.
TEST(ReadingTimes, NoTwoReadingsShareATimeAcrossTheAutumnChange) {
    const DownloadState state = Header(2026, 10, 24, 22, 0, 60);
    const ReadingTimeTexts texts = ReadingTimes(state, 60, TimeBase::Zone("Europe/Berlin"), {});
    for (std::size_t i = 0; i < texts.times.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.times.size(); ++j)
            EXPECT_NE(texts.dates[i] + texts.times[i], texts.dates[j] + texts.times[j]);
    }
}

// A header clock that is no real date is shown as it came, whatever the time base; no header
// gives no texts.
TEST(ReadingTimes, ImpossibleHeaderClockAndNoHeader) {
    const DownloadState impossible = Header(2026, 2, 30, 25, 70, 3);
    const ReadingTimeTexts asCame = ReadingTimes(impossible, 3, TimeBase(), {});
    const ReadingTimeTexts zoned = ReadingTimes(impossible, 3, TimeBase::Zone("Europe/Berlin"), {});
    EXPECT_EQ(zoned.dates, asCame.dates);
    EXPECT_EQ(zoned.times, asCame.times);
    EXPECT_EQ(zoned.labels, std::vector<std::string>(3));
    EXPECT_EQ(asCame.times[0], "    25:70");

    const ReadingTimeTexts none = ReadingTimes(DownloadState{}, 5, TimeBase::Zone("UTC"), {});
    EXPECT_TRUE(none.dates.empty());
    EXPECT_TRUE(none.labels.empty());
}

}  // namespace
}  // namespace halvik
