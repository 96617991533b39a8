// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <utility>

#include "cli/ReviewOptions.h"
#include "cli/TimeBaseOption.h"

namespace halvik::cli {

// `report RECORD --full FILE.pdf`: the record report, written in this process.
struct FullReportRequest {
    std::string file;
    std::optional<std::pair<double, double>> limits;
    std::string paper = "a4";
    TimeBaseOption tz;     // the readings' times in a zone, with their offsets
    ReviewRequest review;  // --profile, --alarm, --fail-on-alarm
};

// Adds --full, --limits, --paper, --tz and the review options to the report command.
void AddFullReportOptions(CLI::App& report, FullReportRequest& request);

// Writes the record report of the record file `recordPath` in `unit` ("C", "F" or empty for the
// record's own), judged by the profile asked for (--profile, --alarm with --limits as the range,
// as show takes them) or else by --limits alone. Exit status: 0 written, 1 written from a record
// changed after its download or, with --fail-on-alarm, with the verdict ALARM. Throws UsageError
// for impossible limits or rules, ProfileError for a profile that cannot be found or read and
// std::exception (naming the file) when the record cannot be read or the report cannot be
// written; no file is written then.
int WriteFullReport(const std::string& recordPath, const std::string& unit,
                    const FullReportRequest& request);

}  // namespace halvik::cli
