// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FullReport.h"

#include <chrono>
#include <filesystem>

#include "cli/RecordArguments.h"
#include "recordreport/RecordReport.h"
#include "records/RecordStore.h"

namespace halvik::cli {

void AddFullReportOptions(CLI::App& report, FullReportRequest& request) {
    CLI::Option* full =
        report.add_option("--full", request.file,
                          "The record report's PDF file to write: identity and digest, summary, "
                          "chart, every reading and the review lines");
    full->type_name("FILE.pdf");
    report
        .add_option("--limits", request.limits,
                    "With --full: the allowed range, both ends included, in the report's unit")
        ->type_name("LOW:HIGH")
        ->delimiter(':')
        ->needs(full);
    report.add_option("--paper", request.paper, "With --full: the paper size (default a4)")
        ->type_name("a4|letter")
        ->check(CLI::IsMember({"a4", "letter"}))
        ->needs(full);
    AddTimeBaseOption(report, request.tz);
    request.tz.option->needs(full);
}

int WriteFullReport(const std::string& recordPath, const std::string& unit,
                    const FullReportRequest& request) {
    RecordReportOptions options;
    if (request.limits) {
        const auto [low, high] = *request.limits;
        CheckLimits(low, high);
        options.limits = RecordReportLimits{low, high};
    }
    options.timeBase = CallTimeBase(request.tz);
    const LoadedRecord loaded = LoadForUse(recordPath);
    options.unit = ShownUnit(unit, loaded.record.unit);
    options.paper = request.paper == "letter" ? PaperSize::Letter : PaperSize::A4;
    options.recordName = std::filesystem::path(recordPath).filename().string();
    options.generatedAt =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    WriteRecordReport(loaded, options, request.file);
    return loaded.intact ? 0 : 1;
}

}  // namespace halvik::cli
