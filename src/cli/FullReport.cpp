// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FullReport.h"

#include <chrono>
#include <filesystem>

#include "cli/Output.h"
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
    AddReviewOptions(report, request.review);
    for (const char* name : {"--profile", "--alarm", "--fail-on-alarm"})
        report.get_option(name)->needs(full);
}

int WriteFullReport(const std::string& recordPath, const std::string& unit,
                    const FullReportRequest& request) {
    if (request.review.failOnAlarm && !request.review.Asked())
        throw UsageError("--fail-on-alarm needs --profile or --alarm");
    // A named profile brings its own range: a second one would leave the report two verdicts.
    if (!request.review.profile.empty() && request.limits)
        throw UsageError(
            "--limits cannot be given with --profile: the profile's range judges "
            "the report (add rules with --alarm)");
    RecordReportOptions options;
    if (request.limits) {
        const auto [low, high] = *request.limits;
        CheckLimits(low, high);
    }
    options.timeBase = CallTimeBase(request.tz);
    const LoadedRecord loaded = LoadForUse(recordPath);
    options.unit = ShownUnit(unit, loaded.record.unit);
    if (const auto named = RequestedProfile(request.review, request.limits, options.unit))
        options.review = ReviewForRecordReport(loaded.record, named->profile);
    else if (request.limits)
        options.limits = RecordReportLimits{request.limits->first, request.limits->second};
    options.paper = request.paper == "letter" ? PaperSize::Letter : PaperSize::A4;
    options.recordName = std::filesystem::path(recordPath).filename().string();
    options.generatedAt =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    WriteRecordReport(loaded, options, request.file);
    if (!loaded.intact)
        return 1;
    return request.review.failOnAlarm && options.review->verdict == Verdict::Alarm ? 1 : 0;
}

}  // namespace halvik::cli
