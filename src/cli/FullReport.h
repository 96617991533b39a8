// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <utility>

#include "cli/TimeBaseOption.h"

namespace halvik::cli {

// `report RECORD --full FILE.pdf`: the record report, written in this process.
struct FullReportRequest {
    std::string file;
    std::optional<std::pair<double, double>> limits;
    std::string paper = "a4";
    TimeBaseOption tz;  // the readings' times in a zone, with their offsets
};

// Adds --full, --limits, --paper and --tz to the report command.
void AddFullReportOptions(CLI::App& report, FullReportRequest& request);

// Writes the record report of the record file `recordPath` in `unit` ("C", "F" or empty for the
// record's own). Exit status: 0 written, 1 written from a record changed after its download.
// Throws UsageError for impossible limits and std::exception (naming the file) when the record
// cannot be read or the report cannot be written; no file is written then.
int WriteFullReport(const std::string& recordPath, const std::string& unit,
                    const FullReportRequest& request);

}  // namespace halvik::cli
