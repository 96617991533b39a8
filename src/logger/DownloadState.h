// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace halvik {

// The one record of a run: written by the header handler (ApplyHeaderReport), DOWNLOAD
// (StartLogClock), the download handler (AppendReadingBytes), the parse (StepLogTime) and printing;
// read back by the parse, the statistics, copy, print and the reports. All texts start empty, all
// numbers 0. Nothing resets a field but the writers named here.
struct DownloadState {
    // Header (ApplyHeaderReport). PidText: the five PID groups "01 02 03 04 05 " (each followed by
    // one blank). The window empties PidText when no card is present.
    std::string PidText;
    std::string PidCaption;        // "( PID :" + PidText + ")"
    std::string HeaderHourText;    // two digits, "05"
    std::string HeaderMinuteText;  // two digits, "06"
    std::string HeaderDayText;     // plain decimal, "5", "31"
    std::string HeaderMonthText;   // plain decimal, "1".."12"
    std::string HeaderMonthName;   // "JAN".."DEC"; "???" for a month number outside 1..12
    std::string HeaderYearText;    // two-digit year right-aligned in three characters, " 14"
    int RecordCount = 0;           // readings announced by the header, at most kMaxReadings
    std::string RecordCountText;   // RecordCount as plain decimal; every reader converts it back
    std::string StartYearText;     // "2014"
    std::string StopYearText;      // the year of the last reading, "2015"

    // Why the latest header report was not taken as it came: a short report, a count cut to
    // kMaxReadings, or clock fields out of range. Empty for a good header. Set by
    // ApplyHeaderReport.
    std::string HeaderProblem;

    // The log clock (StartLogClock, StepLogTime): the time of the reading the parse is at.
    int LogYear = 0;  // full year, 2014
    int LogMonth = 0;
    int LogDay = 0;
    int LogHour = 0;
    int LogMinute = 0;
    // False when StartLogClock found the header's clock out of range; the timestamp labels are
    // then empty rather than made up.
    bool LogClockValid = false;

    // Every byte received after DOWNLOAD, as three-character groups ("  7", " 42", "255"),
    // appended by AppendReadingBytes and never emptied during the run.
    std::string DownloadText;

    // Rows chosen for printing.
    int PrintRowFirst = 0;
    int PrintRowLast = 0;
};

}  // namespace halvik
