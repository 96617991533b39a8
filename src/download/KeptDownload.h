// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "download/DownloadFlow.h"
#include "logger/LocaleSettings.h"
#include "records/Record.h"

namespace halvik {

// The record of a download that ended: its header report's data bytes (the report ID, always 0
// for the card, is not kept), every reading byte as it came, when, where and by which version of
// Halvik it was made, the unit and whether it was complete.
Record RecordOfDownload(const DownloadEnd& end, std::chrono::sys_seconds downloadedAt);

// The header report with its report ID in front, as the flow takes it (ShowKept), from a record.
std::vector<std::uint8_t> HeaderReportOf(const Record& record);

// A kept download shown again without a window: the grid, the download state, the last header
// the flow accepted and the last parse it showed, as a reopened record shows in the window.
struct ReplayedDownload {
    DownloadState state;
    CellStore grid;
    HeaderResult header;
    ParseResult parse;
    DownloadPhase phase = DownloadPhase::Idle;
    std::string problem;        // the last problem the flow reported; empty for none
    std::string headerProblem;  // what the last header said is wrong with it (taken or not)
};

// Replays `record`'s bytes in `unit` through the download flow, with `locale`'s texts.
ReplayedDownload ReplayRecord(const Record& record, TemperatureUnit unit,
                              const LocaleSettings& locale);

}  // namespace halvik
