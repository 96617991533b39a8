// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LogClock.h"

#include <algorithm>

#include "logger/Conversions.h"
#include "logger/Header.h"

namespace halvik {

void StartLogClock(DownloadState& state) {
    // All five conversions first, so that a failure leaves the clock as it was.
    const int year = TextToInt(state.HeaderYearText) + 2000;
    const int month = TextToInt(state.HeaderMonthText);
    const int day = TextToInt(state.HeaderDayText);
    const int hour = TextToInt(state.HeaderHourText);
    const int minute = TextToInt(state.HeaderMinuteText);
    state.LogYear = year;
    state.LogMonth = month;
    state.LogDay = day;
    state.LogHour = hour;
    state.LogMinute = minute - kLogIntervalMinutes;
    state.LogClockValid = ClockFieldsValid(hour, minute, day, month, year);
}

void StepLogTime(DownloadState& state) {
    state.LogMinute += kLogIntervalMinutes;
    if (state.LogMinute > 59) {
        state.LogMinute %= 60;
        ++state.LogHour;
    }
    if (state.LogHour > 23) {
        state.LogHour = 0;
        ++state.LogDay;
    }
    int length = DaysInMonth(state.LogYear, state.LogMonth);
    if (length > 0 && state.LogDay > length) {
        state.LogDay = 1;
        if (state.LogMonth == 12) {
            state.LogMonth = 1;
            ++state.LogYear;
        } else {
            ++state.LogMonth;
        }
    }
}

std::string TimestampLabel(const DownloadState& state, const LocaleSettings& locale) {
    const int year = state.LogYear, month = state.LogMonth, day = state.LogDay;
    if (!state.LogClockValid || year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || state.LogHour < 0 || state.LogHour > 23 ||
        state.LogMinute < 0 || state.LogMinute > 59)
        return {};
    // Built in a buffer and copied once: this runs for every reading of a download.
    const std::string& monthName = locale.shortMonthNames[static_cast<std::size_t>(month - 1)];
    const std::string& separator = locale.timeSeparator;
    if (monthName.size() + separator.size() > 48)
        return {};  // no real locale has such names
    char buffer[64];
    char* out = buffer;
    auto twoDigits = [&out](int value) {
        *out++ = static_cast<char>('0' + value / 10 % 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    twoDigits(day);
    out = std::copy(monthName.begin(), monthName.end(), out);
    twoDigits(year % 100);
    *out++ = ' ';
    *out++ = ' ';
    twoDigits(state.LogHour);
    out = std::copy(separator.begin(), separator.end(), out);
    twoDigits(state.LogMinute);
    std::string label(buffer, out);
    return label;
}

int TimerInterval(const DownloadState& state) {
    const int count = TextToInt(state.RecordCountText);
    if (count > 4000)
        return 4500;
    if (count < 1)
        return 1;
    return count;
}

}  // namespace halvik
