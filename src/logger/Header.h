// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"

namespace halvik {

// The card holds at most this many readings (60 days at one reading every six minutes).
inline constexpr int kMaxReadings = 14400;

// A header input report carries this many data bytes at least (after the report ID): PID 0..4,
// hour 5, minute 6, second 7, day 8, month 9, year 10, count high 19 and low 20.
inline constexpr std::size_t kHeaderDataLength = 21;

// Minutes between two readings.
inline constexpr int kLogIntervalMinutes = 6;

// The number of readings from the header's count bytes: 256 * high + low for every pair
// (so 0x01, 0x00 is 256 and 0x05, 0xA0 is 1440).
int DecodeCount(std::uint8_t high, std::uint8_t low);

// "JAN".."DEC" for 1..12; "???" for any other number.
const char* MonthName(int month);

// Gregorian leap years: divisible by 4, except centuries not divisible by 400.
bool IsLeapYear(int year);

// Days of a month of the Gregorian calendar (`year` in full, 2016): February has 29 in a leap
// year. 0 outside 1..12.
int DaysInMonth(int year, int month);

// True when hour 0..23, minute 0..59, month 1..12 and day 1..DaysInMonth(year, month).
bool ClockFieldsValid(int hour, int minute, int day, int month, int year);

// The header handler's work on the download state alone (the grid rows come from ApplyHeaderReport
// in download/CardParse.h, which calls this):
// - fewer than kHeaderDataLength data bytes: `accepted` is false, `problem` says so and goes to
//   HeaderProblem; nothing else changes (the previous header, if any, stays in force);
// - otherwise every header text, the count and StartYearText/StopYearText are replaced. A
//   count above kMaxReadings is cut to kMaxReadings; clock fields out of range are kept as
//   they came (so the user sees them) and reported. HeaderProblem gets `problem`.
// Bytes from kHeaderDataLength on are not read.
struct HeaderOutcome {
    bool accepted = false;
    std::string problem;  // empty for a good header; otherwise a sentence for the user
};
HeaderOutcome ReadHeader(DownloadState& state, const std::uint8_t* data, std::size_t size);

// Row 1 of the grid, built from the header texts: Date "  05 JAN  14" (two blanks, a "0" when
// the day is below 10, day, blank, month name, blank, three-wide year) and Time "    05:06"
// (four blanks, always ":").
std::string FirstRowDateText(const DownloadState& state);
std::string FirstRowTimeText(const DownloadState& state);

// The calendar of the grid's Date and Time columns. Starts at the header's first reading (row 1)
// and moves on by one log interval per Step() (rows 2, 3, ...), in the Gregorian calendar
// (29 February in leap years). The year text keeps the header's three-wide form (" 14") until the
// year first changes, then is plain decimal ("15"). Out-of-range header fields never index past a
// table: minutes and hours carry over until they are in range, a day past its month's end starts
// the next month, and a month outside 1..12 never ends (its name is "???").
class TextCalendar {
  public:
    // Throws LoggerError when a header text is not a number (no header yet).
    explicit TextCalendar(const DownloadState& state);

    void Step();

    std::string DateText() const;                              // "  01 JAN  15"
    std::string TimeText(const LocaleSettings& locale) const;  // "    00:06", locale separator
    std::string StopYearText() const;                          // "2015"

  private:
    int minute_, hour_, day_, month_, year_;
    std::string yearText_;
};

}  // namespace halvik
