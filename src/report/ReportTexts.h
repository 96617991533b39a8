// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The texts the two report pages repeat from the window, built from the download state, the
// grid's cells and what the window's value labels were given, never read back from widgets: the
// window's report buttons and halvik-cli report fill the pages with the same function.

#include <string>

#include "analysis/Statistics.h"
#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"
#include "report/ReportPages.h"
#include "views/CellStore.h"

namespace halvik {

// What the window's value labels show of a download: the header's PID and data points (Label6,
// Label9) and the statistics panel (Label12, 13, 14, 19, 23). Each part keeps what the last
// header or parse that set it put there, as the labels do.
struct ShownTexts {
    std::string pid;         // "01 02 03 04 05 "
    std::string dataPoints;  // "   1440"
    StatisticsCaptions statistics;
};

// The Data Report's captions: PID, first and last reading's day and month (the grid's Date of
// rows 1 and RecordCount, eight characters) and year and time, maximum, minimum, MKT, data
// points, elapsed time, the readings left out and the unit after each statistic; then the unit
// captions are placed after their values. Decimal and time separators the report's code page
// lacks are written as "." and ":". Throws LoggerError when RecordCountText is not a number.
void FillDataReportTexts(TRpPage1& page, const DownloadState& download, const CellStore& cells,
                         const ShownTexts& shown, TemperatureUnit unit,
                         const LocaleSettings& locale);

// The Chart Print's caption: the PID.
void FillChartReportTexts(TRpPage2& page, const ShownTexts& shown);

// The red warning at the top of each page for a record that no longer matches its digest; an
// intact record's or a download's page prints as it always did.
void MarkChangedRecord(TRpPage1& page, bool intact);
void MarkChangedRecord(TRpPage2& page, bool intact);

// The first `count` characters of a UTF-8 text (all of a shorter one), counted in UTF-16 units
// as the window's toolkit counts them; a character that would be cut in half is left out.
std::string LeadingCharacters(const std::string& utf8, int count);

}  // namespace halvik
