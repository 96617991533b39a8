// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Header.h"

#include "logger/Conversions.h"

namespace halvik {

namespace {

constexpr const char* kMonthNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

}  // namespace

int DecodeCount(std::uint8_t high, std::uint8_t low) {
    return 256 * high + low;
}

const char* MonthName(int month) {
    return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "???";
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && IsLeapYear(year))
        return 29;
    return kMonthDays[month - 1];
}

bool ClockFieldsValid(int hour, int minute, int day, int month, int year) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && month >= 1 && month <= 12 &&
           day >= 1 && day <= DaysInMonth(year, month);
}

HeaderOutcome ReadHeader(DownloadState& state, const std::uint8_t* data, std::size_t size) {
    HeaderOutcome outcome;
    if (data == nullptr || size < kHeaderDataLength) {
        // Too short to hold a header: keep whatever header is in force rather than mixing old
        // and new fields or reading past the report.
        outcome.problem = "The card sent a header of " +
                          IntText(data == nullptr ? 0 : static_cast<long long>(size)) +
                          " bytes, too short to read (" + IntText(kHeaderDataLength) +
                          " needed); it was ignored.";
        state.HeaderProblem = outcome.problem;
        return outcome;
    }
    outcome.accepted = true;

    state.PidText.clear();
    for (int i = 0; i < 5; ++i) {
        state.PidText += TwoDigitText(data[i]);
        state.PidText += ' ';
    }
    state.PidCaption = "( PID :" + state.PidText + ")";

    const int hour = data[5], minute = data[6], day = data[8], month = data[9], year = data[10];
    state.HeaderDayText = IntText(day);
    state.HeaderMonthText = IntText(month);
    state.HeaderYearText = ThreeWideText(static_cast<unsigned>(year));
    state.HeaderMonthName = MonthName(month);
    state.HeaderHourText = TwoDigitText(static_cast<unsigned>(hour));
    state.HeaderMinuteText = TwoDigitText(static_cast<unsigned>(minute));

    // The card holds at most kMaxReadings. A larger count can only be a damaged header; reading
    // the first kMaxReadings keeps every reading a real card can have sent.
    int count = DecodeCount(data[19], data[20]);
    if (count > kMaxReadings) {
        outcome.problem = "The card's header announces " + IntText(count) +
                          " readings, more than the " + IntText(kMaxReadings) +
                          " a card holds; only the first " + IntText(kMaxReadings) + " are read.";
        count = kMaxReadings;
    }
    state.RecordCountText = IntText(count);
    state.RecordCount = count;
    state.StartYearText = IntText(2000 + year);
    state.StopYearText = state.StartYearText;

    // An impossible first-reading time still leaves the readings usable: the texts keep the
    // values as they came so the user can see them, and the user is told.
    if (!ClockFieldsValid(hour, minute, day, month, 2000 + year)) {
        if (!outcome.problem.empty())
            outcome.problem += ' ';
        outcome.problem +=
            "The card's header gives an impossible time for the first reading (day " +
            IntText(day) + ", month " + IntText(month) + ", " +
            TwoDigitText(static_cast<unsigned>(hour)) + ":" +
            TwoDigitText(static_cast<unsigned>(minute)) +
            "); the dates and times shown cannot be trusted.";
    }
    state.HeaderProblem = outcome.problem;
    return outcome;
}

std::string FirstRowDateText(const DownloadState& state) {
    std::string text = "  ";
    if (state.HeaderDayText.size() == 1)
        text += '0';
    text += state.HeaderDayText;
    text += ' ';
    text += state.HeaderMonthName;
    text += ' ';
    text += state.HeaderYearText;
    return text;
}

std::string FirstRowTimeText(const DownloadState& state) {
    return "    " + state.HeaderHourText + ":" + state.HeaderMinuteText;
}

TextCalendar::TextCalendar(const DownloadState& state)
    : minute_(TextToInt(state.HeaderMinuteText)),
      hour_(TextToInt(state.HeaderHourText)),
      day_(TextToInt(state.HeaderDayText)),
      month_(TextToInt(state.HeaderMonthText)),
      year_(TextToInt(state.HeaderYearText)),
      yearText_(state.HeaderYearText) {}

void TextCalendar::Step() {
    minute_ += kLogIntervalMinutes;
    while (minute_ > 59) {
        minute_ -= 60;
        ++hour_;
    }
    while (hour_ > 23) {
        hour_ -= 24;
        ++day_;
    }
    int length = DaysInMonth(2000 + year_, month_);
    if (length > 0 && day_ > length) {
        day_ = 1;
        if (month_ == 12) {
            month_ = 1;
            ++year_;
            yearText_ = IntText(year_);
        } else {
            ++month_;
        }
    }
}

std::string TextCalendar::DateText() const {
    std::string text = "  ";
    if (day_ < 10)
        text += '0';
    text += IntText(day_);
    text += ' ';
    text += MonthName(month_);
    text += ' ';
    text += yearText_;
    return text;
}

std::string TextCalendar::TimeText(const LocaleSettings& locale) const {
    return "    " + TwoDigitText(static_cast<unsigned>(hour_)) + locale.timeSeparator +
           TwoDigitText(static_cast<unsigned>(minute_));
}

std::string TextCalendar::StopYearText() const {
    return IntText(2000 + year_);
}

}  // namespace halvik
