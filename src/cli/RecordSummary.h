// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Limits.h"
#include "analysis/Statistics.h"
#include "logger/Reading.h"
#include "records/Record.h"
#include "review/Review.h"
#include "timebase/TimeBase.h"

namespace halvik::cli {

// What halvik-cli shows of a record: the download replayed through the window's download flow
// into a cell store, so every text and number is the one the window shows.
struct RecordSummary {
    std::string pid;  // "01 02 03 04 05"
    int announced = 0;
    int count = 0;  // readings shown
    bool complete = false;
    TemperatureUnit unit = TemperatureUnit::Celsius;
    // The time of each shown reading (UTC, the card's clock); empty when the header's clock is
    // not a real date and time.
    std::vector<std::chrono::sys_seconds> times;
    std::vector<double> values;  // the shown values (column 3 read back)
    bool hasStatistics = false;
    // The statistics' numbers (maximum, minimum and MKT are missing when no reading is a real
    // temperature) and the elapsed time as the window says it.
    StatisticsNumbers statistics;
    std::string elapsed;
    // The readings the header announces before the cut at kMaxReadings.
    int headerCount = 0;
    // What the window says about the download besides the statistics: a header announcing more
    // readings than a card holds, a first-reading clock that is no real time, readings left out
    // of the statistics. One sentence each.
    std::vector<std::string> warnings;
};

// Replays `record` in `unit`. Throws std::runtime_error when the record's bytes cannot be shown
// (a header the window cannot read, readings it cannot parse).
RecordSummary SummariseRecord(const Record& record, TemperatureUnit unit);

// "C" or "F".
const char* UnitLetter(TemperatureUnit unit);

struct ShownRecord {
    std::string file;
    RecordSummary summary;
    std::optional<bool> intact;  // not known for a record that was just kept
    std::optional<LimitAnalysis> limits;
    // The clock the times are shown in: UTC ("...Z") by default, else with the zone's offset,
    // and the zone named in a line of its own (text) or "time_zone" (JSON).
    TimeBase timeBase;
    std::optional<ReviewResult> review;  // under a limit profile
};

// The time of shown reading `index` (its interval's end with `after`) in the shown clock;
// "unknown" when the header's clock is not a real time.
std::string ShownTimeText(const ShownRecord& shown, std::size_t index, bool after = false);

// The summary as lines of "name  value" for a terminal.
std::string SummaryText(const ShownRecord& shown);
// The summary as one JSON object (one line, no final LF).
std::string SummaryJson(const ShownRecord& shown);

}  // namespace halvik::cli
