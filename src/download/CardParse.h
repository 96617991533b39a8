// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Statistics.h"
#include "download/ChartPoint.h"
#include "logger/DownloadState.h"
#include "logger/Header.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"
#include "views/CellStore.h"

namespace halvik {

// The grid's caption row: " Points", "       Date", "    Time", "Temperature (°C)" or
// "Temperature (°F)" (blanks exactly so).
void WriteGridCaptions(CellStore& grid, TemperatureUnit unit);
std::string TemperatureCaption(TemperatureUnit unit);  // "Temperature (°C)" / "Temperature (°F)"

// What the window shows after a header report.
struct HeaderResult {
    // False for a report too short to hold a header: nothing was changed, leave the labels as
    // they are, and show `problem`.
    bool accepted = false;
    std::string pidLabel;         // Label6: PidText, "01 02 03 04 05 "
    std::string dataPointsLabel;  // Label9: three blanks + RecordCountText, "   1440"
    // Empty for a good header. Otherwise a sentence for the user (short report, count cut to
    // 14400, clock out of range); show it, e.g. in the error box. Also kept in
    // DownloadState::HeaderProblem.
    std::string problem;
};

// The header handler (the card's OnData handler while waiting for a header): updates the header
// texts of `state` (ReadHeader), writes row 1 and rows 2..RecordCount of the grid's Date and Time
// columns (TextCalendar; the time separator of rows 2.. is the locale's) and StopYearText. The
// grid's row count is not changed. Never reads past data[size - 1]; no report content makes it
// throw.
HeaderResult ApplyHeaderReport(DownloadState& state, CellStore& grid, std::uint8_t reportId,
                               const std::uint8_t* data, std::size_t size,
                               const LocaleSettings& locale);

struct ParseResult {
    // One point per reading: the value read back from the grid text and TimestampLabel. The zero
    // line gets one point of value 0 per reading.
    std::vector<ChartPoint> points;
    bool hasStatistics = false;  // false when the parse stopped early or there were no readings
    StatisticsCaptions statistics;
};

// The reading parse, run at the fourth staging tick after StartLogClock. `result` is cleared
// first. With N = RecordCountText read back: for each reading q = 1..N, cuts its two groups from
// DownloadText, decodes them, writes column 3 (twelve blanks + temperature text, in `unit`) and
// column 0 (q) of row q, steps the log clock and appends a chart point to result.points. Then sets
// the row count to N + 1 and fills result.statistics. N = 0 sets the row count to 1 and leaves the
// statistics alone.
//
// A missing or malformed group (the card sent fewer than 2N bytes) throws LoggerError
// ("'' is not a valid integer value", the group between the quotes) at that reading: the readings
// before it stay in the grid and in result.points (add them to the chart), the row count and the
// statistics are left as they were. So the caller owns `result` and reads it after an error too.
//
// `limit` parses only the first `limit` readings (fewer than N arrived: an incomplete download);
// the row count and the statistics then follow those readings.
void ParseReadings(DownloadState& state, CellStore& grid, TemperatureUnit unit,
                   const LocaleSettings& locale, ParseResult& result, int limit = kMaxReadings);

}  // namespace halvik
