// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"
#include "timebase/TimeBase.h"

namespace halvik {

// The time of the first reading from the header texts of `state` (the card's clock), or nothing
// before a header or when its clock is not a real date and time.
std::optional<std::chrono::sys_seconds> FirstReadingTime(const DownloadState& state);

// Every time text of a download's readings as a time base shows them.
struct ReadingTimeTexts {
    // Row r's Date and Time column texts at index r - 1, for rows 1..count: "  29 MAR  26",
    // "    03:06". In the hour repeated when the clocks go back, the time carries the zone's
    // abbreviation, "    02:30 CEST" and "    02:30 CET", so the two readings differ.
    std::vector<std::string> dates, times;
    // Reading r's chart label at index r - 1: "29Mar26  03:06" (the locale's month name and
    // time separator), with the abbreviation in a repeated hour; empty when the header's clock
    // is not a real date and time.
    std::vector<std::string> labels;
    // The years of the first and last row, in full ("2026").
    std::string startYear, stopYear;
};

// The texts for rows 1..count after the header of `state` (count is usually RecordCount). The
// card's clock, or a header clock that is not a real date and time (shown as it came, the times
// unknown), gives exactly the texts the header handler and the parse write. A zone gives the
// local times, one reading every six minutes of real time: across a daylight-saving change the
// clock jumps, the readings stay six minutes apart. Empty before a header. Throws TimeBaseError
// when the zone is not in the database.
ReadingTimeTexts ReadingTimes(const DownloadState& state, int count, const TimeBase& base,
                              const LocaleSettings& locale);

}  // namespace halvik
