// SPDX-License-Identifier: GPL-3.0-or-later
#include "timebase/ReadingTimes.h"

#include <date/date.h>

#include "logger/Conversions.h"
#include "logger/Header.h"
#include "logger/LogClock.h"
#include "logger/LoggerError.h"

namespace halvik {

namespace {

using std::chrono::minutes;
using std::chrono::sys_seconds;

// Exactly what the header handler writes (rows 1..count) and what the parse labels each reading
// with, so that going back to the card's clock restores every text byte for byte.
ReadingTimeTexts CardClockTexts(const DownloadState& state, int count,
                                const LocaleSettings& locale) {
    ReadingTimeTexts texts;
    TextCalendar calendar(state);  // throws before a header
    DownloadState clock = state;
    StartLogClock(clock);
    // From the header's year, as the header handler sets them: the window may have rewritten
    // StartYearText for a zone.
    texts.startYear = IntText(2000 + TextToInt(state.HeaderYearText));
    texts.stopYear = texts.startYear;
    texts.dates.reserve(static_cast<std::size_t>(count));
    texts.times.reserve(static_cast<std::size_t>(count));
    texts.labels.reserve(static_cast<std::size_t>(count));
    for (int row = 1; row <= count; ++row) {
        if (row == 1) {
            texts.dates.push_back(FirstRowDateText(state));
            texts.times.push_back(FirstRowTimeText(state));
        } else {
            calendar.Step();
            texts.dates.push_back(calendar.DateText());
            texts.times.push_back(calendar.TimeText(locale));
            texts.stopYear = calendar.StopYearText();
        }
        StepLogTime(clock);
        texts.labels.push_back(TimestampLabel(clock, locale));
    }
    return texts;
}

// The grid's two-digit year: three wide in the first row's year (as the header's year text is),
// plain after it.
std::string YearText(int year, bool threeWide) {
    const int shortYear = year >= 2000 ? year - 2000 : year % 100;
    return threeWide ? ThreeWideText(static_cast<unsigned>(shortYear)) : IntText(shortYear);
}

}  // namespace

std::optional<sys_seconds> FirstReadingTime(const DownloadState& state) {
    try {
        const int year = TextToInt(state.HeaderYearText) + 2000;
        const int month = TextToInt(state.HeaderMonthText);
        const int day = TextToInt(state.HeaderDayText);
        const int hour = TextToInt(state.HeaderHourText);
        const int minute = TextToInt(state.HeaderMinuteText);
        if (!ClockFieldsValid(hour, minute, day, month, year))
            return std::nullopt;
        const date::year_month_day date{date::year(year), date::month(unsigned(month)),
                                        date::day(unsigned(day))};
        return date::sys_days(date) + std::chrono::hours(hour) + minutes(minute);
    } catch (const LoggerError&) {
        return std::nullopt;
    }
}

ReadingTimeTexts ReadingTimes(const DownloadState& state, int count, const TimeBase& base,
                              const LocaleSettings& locale) {
    try {
        const std::optional<sys_seconds> first = FirstReadingTime(state);
        if (base.IsCardClock() || !first)
            return CardClockTexts(state, count, locale);

        TimeConverter converter(base);
        ReadingTimeTexts texts;
        texts.dates.reserve(static_cast<std::size_t>(count));
        texts.times.reserve(static_cast<std::size_t>(count));
        texts.labels.reserve(static_cast<std::size_t>(count));
        int firstYear = 0;
        for (int row = 1; row <= count; ++row) {
            const LocalTime local =
                converter.Convert(*first + minutes(kLogIntervalMinutes) * (row - 1));
            if (row == 1) {
                firstYear = local.year;
                texts.startYear = IntText(local.year);
            }
            texts.stopYear = IntText(local.year);

            std::string date = "  ";
            date += TwoDigitText(static_cast<unsigned>(local.day));
            date += ' ';
            date += MonthName(local.month);
            date += ' ';
            date += YearText(local.year, local.year == firstYear);
            texts.dates.push_back(std::move(date));

            const std::string hour = TwoDigitText(static_cast<unsigned>(local.hour));
            const std::string minute = TwoDigitText(static_cast<unsigned>(local.minute));
            // Row 1 always has ":", as the header handler writes it.
            std::string time = "    " + hour + (row == 1 ? ":" : locale.timeSeparator) + minute;
            if (local.repeated)
                time += " " + local.abbreviation;
            texts.times.push_back(std::move(time));

            std::string label = TwoDigitText(static_cast<unsigned>(local.day));
            label += locale.shortMonthNames[static_cast<std::size_t>(local.month - 1)];
            label += TwoDigitText(static_cast<unsigned>(local.year % 100));
            label += "  ";
            label += hour;
            label += locale.timeSeparator;
            label += minute;
            if (local.repeated)
                label += " " + local.abbreviation;
            texts.labels.push_back(std::move(label));
        }
        return texts;
    } catch (const LoggerError&) {
        return {};  // no header yet
    }
}

}  // namespace halvik
