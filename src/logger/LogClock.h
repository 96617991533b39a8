// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"

namespace halvik {

// DOWNLOAD's first step: the log clock starts one interval before the first reading, from the
// header texts (LogYear = year + 2000, LogMinute = minute - 6). Throws
// LoggerError("'' is not a valid integer value") (with the offending text between the quotes)
// when a header text is empty or not a number; the clock is then unchanged. Sets LogClockValid
// to whether the header's hour, minute, day and month are in range.
void StartLogClock(DownloadState& state);

// Moves the log clock on by one interval (6 minutes), rolling over the hour, the day, the month
// (Gregorian: 29 February in leap years) and the year. Called once per reading before its label is
// made. A month outside 1..12 never ends; nothing indexes past a table.
void StepLogTime(DownloadState& state);

// A chart point's label: the log clock as "ddmmmyy  hh:MM" with the locale's abbreviated month
// name and time separator: "07Jan14  09:06". Empty when LogClockValid is false or the clock's
// fields do not form a real date and time.
std::string TimestampLabel(const DownloadState& state, const LocaleSettings& locale);

// The staging timer's interval in ms for DOWNLOAD: the count from RecordCountText, but 4500 above
// 4000 readings. A count of 0 (an empty card) gives 1 ms so that the staging still runs through
// and ends in "Downloaded" with an empty table. Throws LoggerError when RecordCountText is not a
// number.
int TimerInterval(const DownloadState& state);

}  // namespace halvik
