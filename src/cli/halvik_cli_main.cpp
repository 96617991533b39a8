// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-cli: the logger card and the kept records from a terminal, for scripts and servers.
// Exit status: 0 success, 1 a finding (a changed record, an incomplete download, an excursion
// with --fail-on-excursion), 2 a usage or input error.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Version.h"
#include "analysis/Limits.h"
#include "cli/CardCommands.h"
#include "cli/CommandLine.h"
#include "cli/FullReport.h"
#include "cli/Output.h"
#include "cli/PageReports.h"
#include "cli/RecordArguments.h"
#include "cli/RecordSummary.h"
#include "cli/RecordsCommand.h"
#include "cli/ReviewOptions.h"
#include "cli/TimeBaseOption.h"
#include "records/Csv.h"
#include "records/RecordStore.h"

namespace {

using namespace halvik;
using namespace halvik::cli;

void AddUnitOption(CLI::App& command, std::string& unit, const char* what) {
    command.add_option("--unit", unit, what)->type_name("C|F")->check(CLI::IsMember({"C", "F"}));
}

int Show(const std::string& path, const std::string& unit,
         const std::optional<std::pair<double, double>>& limits, bool json, bool failOnExcursion,
         const TimeBase& timeBase, const ReviewRequest& review) {
    if (review.failOnAlarm && !review.Asked())
        throw UsageError("--fail-on-alarm needs --profile or --alarm");
    if (limits)
        CheckLimits(limits->first, limits->second);
    const LoadedRecord loaded = LoadForUse(path);
    ShownRecord shown;
    shown.file = path;
    shown.intact = loaded.intact;
    shown.timeBase = timeBase;
    try {
        shown.summary = SummariseRecord(loaded.record, ShownUnit(unit, loaded.record.unit));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(EscapedName(path) + ": " + e.what());
    }
    if (limits)
        shown.limits = AnalyseLimits(shown.summary.values, limits->first, limits->second);
    if (const auto named = RequestedProfile(review, limits, shown.summary.unit))
        shown.review = ReviewRecord(loaded.record, shown.summary, named->profile);
    if (json)
        WriteStdout(SummaryJson(shown) + "\n");
    else
        WriteStdout(SummaryText(shown));
    if (!loaded.intact)
        return 1;
    if (failOnExcursion && shown.limits && !shown.limits->excursions.empty())
        return 1;
    if (review.failOnAlarm && shown.review->verdict == Verdict::Alarm)
        return 1;
    return 0;
}

int Export(const std::string& path, const std::string& csvPath, const TimeBase& timeBase) {
    const LoadedRecord loaded = LoadForUse(path);
    const std::string csv = RecordCsv(loaded.record, timeBase);
    if (csvPath == "-")
        WriteStdout(csv);
    else
        WriteFileAtomically(csvPath, csv);
    return loaded.intact ? 0 : 1;
}

int Verify(const std::vector<std::string>& paths) {
    int status = 0;
    for (const std::string& path : paths) {
        try {
            const LoadedRecord loaded = LoadRecord(path);
            if (loaded.intact) {
                std::printf("%s: ok\n", EscapedName(path).c_str());
            } else {
                std::printf("%s\n", loaded.problem.c_str());  // names the file
                status = std::max(status, 1);
            }
        } catch (const RecordError& e) {
            std::printf("%s\n", e.what());  // names the file
            status = 2;
        }
    }
    std::fflush(stdout);
    return status;
}

}  // namespace

// Everything but the final check of standard output.
int Main(int argc, char** argv) {
    GuardStandardStreams();
    CLI::App app{
        "halvik-cli: downloads a logger card and keeps its record, and shows, checks and exports "
        "kept records. Exit status: 0 success, 1 a finding (a changed record, an incomplete "
        "download, an excursion with --fail-on-excursion, an ALARM with --fail-on-alarm), 2 a "
        "usage "
        "or input error.",
        "halvik-cli"};
    app.set_version_flag("--version", std::string("halvik-cli ") + ProgramVersion());
    app.require_subcommand(1);

    CardSource source;
    auto addSim = [&source](CLI::App& command) {
        CLI::Option* sim =
            command
                .add_option("--sim", source.simImages,
                            "Use a simulated card holding this card image file instead of the "
                            "machine's cards (the header report's 64 bytes, then two bytes per "
                            "reading); give it twice for two cards")
                ->type_name("CARD_IMAGE");
        command
            .add_option("--pace", source.pace,
                        "How fast a simulated card sends: fast, usb-fs (one report per "
                        "millisecond) or stall-after:N (N reading reports, then nothing)")
            ->type_name("PACE")
            ->needs(sim);
    };

    CLI::App* list = app.add_subcommand(
        "list",
        "The logger cards on this machine: device node, PID, number of readings, and "
        "whether this user may open them");
    addSim(*list);

    CLI::App* download =
        app.add_subcommand("download",
                           "Downloads one card, keeps its record, prints a summary and, last, "
                           "'record: PATH'");
    DownloadOptions downloadOptions;
    std::string downloadUnit = "C";
    std::string downloadCsv;
    download->add_option("--card", downloadOptions.card, "The card's device node (/dev/hidrawN)")
        ->type_name("NODE");
    addSim(*download);
    download
        ->add_option("--csv", downloadCsv,
                     "Also write the readings as CSV to FILE, or - for "
                     "standard output (the summary then goes to "
                     "standard error)")
        ->type_name("FILE|-");
    AddUnitOption(*download, downloadUnit, "The unit of the download (default C)");
    TimeBaseOption downloadTz;
    AddTimeBaseOption(*download, downloadTz);
    AddReviewOptions(*download, downloadOptions.review);

    CLI::App* show = app.add_subcommand("show", "A kept record's summary, with a limit analysis");
    std::string showPath, showUnit;
    std::optional<std::pair<double, double>> limits;
    bool json = false;
    bool failOnExcursion = false;
    show->add_option("RECORD", showPath, "The record file (.halvik)")->required();
    AddUnitOption(*show, showUnit, "Show the readings in this unit (default: the record's)");
    CLI::Option* limitsOption =
        show->add_option("--limits", limits,
                         "The allowed range, both ends included, in the shown unit: time in "
                         "range, above and below, and every excursion")
            ->type_name("LOW:HIGH")
            ->delimiter(':');
    show->add_flag("--json", json, "One JSON object on standard output");
    show->add_flag("--fail-on-excursion", failOnExcursion,
                   "Exit status 1 when a reading is outside the limits")
        ->needs(limitsOption);
    TimeBaseOption showTz;
    AddTimeBaseOption(*show, showTz);
    ReviewRequest showReview;
    AddReviewOptions(*show, showReview);

    CLI::App* exportCommand = app.add_subcommand("export", "A kept record's readings as CSV");
    std::string exportPath, exportCsv;
    exportCommand->add_option("RECORD", exportPath, "The record file (.halvik)")->required();
    exportCommand->add_option("--csv", exportCsv, "The CSV file to write, or - for standard output")
        ->type_name("FILE|-")
        ->required();
    TimeBaseOption exportTz;
    AddTimeBaseOption(*exportCommand, exportTz);

    CLI::App* verify = app.add_subcommand(
        "verify",
        "Checks records: one line per file, 'ok' or what is wrong; exit status 0 when "
        "all are intact");
    std::vector<std::string> verifyPaths;
    verify->add_option("RECORD", verifyPaths, "Record files (.halvik)")->required();

    CLI::App* report = app.add_subcommand(
        "report",
        "A kept record's Data Report and Chart Print as PDF files, as the window writes them "
        "(drawn offscreen: no display needed)");
    std::string reportPath, reportData, reportChart, reportUnit;
    report->add_option("RECORD", reportPath, "The record file (.halvik)")->required();
    report->add_option("--data", reportData, "The Data Report's PDF file to write")
        ->type_name("FILE.pdf");
    report->add_option("--chart", reportChart, "The Chart Print's PDF file to write")
        ->type_name("FILE.pdf");
    AddUnitOption(*report, reportUnit, "The reports' unit (default: the record's)");
    FullReportRequest fullReport;
    AddFullReportOptions(*report, fullReport);

    bool profilesJson = false;
    CLI::App* profiles = AddProfilesCommand(app, profilesJson);
    RecordsOptions recordsOptions;
    CLI::App* records = AddRecordsCommand(app, recordsOptions);

    try {
        CheckCommandLine(app, argc, argv);
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return ParseErrorStatus(app, e);
    } catch (const UsageError& e) {
        Problem(e.what());
        std::fputs("Run with --help for more information.\n", stderr);
        return 2;
    }

    try {
        if (*list)
            return ListCards(source);
        if (*records)
            return RunRecords(recordsOptions);
        if (*download) {
            downloadOptions.unit = UnitOf(downloadUnit);
            downloadOptions.timeBase = CallTimeBase(downloadTz);
            CheckOutputNames({}, {{"--csv", downloadCsv}});
            if (!downloadCsv.empty())
                downloadOptions.csv = downloadCsv;
            return DownloadCard(source, downloadOptions);
        }
        if (*show)
            return Show(showPath, showUnit, limits, json, failOnExcursion, CallTimeBase(showTz),
                        showReview);
        if (*profiles)
            return ListProfilesCommand(profilesJson);
        if (*exportCommand) {
            CheckOutputNames(exportPath, {{"--csv", exportCsv}});
            return Export(exportPath, exportCsv, CallTimeBase(exportTz));
        }
        if (*verify)
            return Verify(verifyPaths);
        if (*report) {
            if (reportData.empty() && reportChart.empty() && fullReport.file.empty())
                throw UsageError(
                    "report: name --data FILE.pdf, --chart FILE.pdf or --full FILE.pdf");
            CheckOutputNames(
                reportPath,
                {{"--data", reportData}, {"--chart", reportChart}, {"--full", fullReport.file}});
            const int full =
                fullReport.file.empty() ? 0 : WriteFullReport(reportPath, reportUnit, fullReport);
            if (reportData.empty() && reportChart.empty())
                return full;
            return std::max(full,
                            WritePageReports(reportPath, reportData, reportChart, reportUnit));
        }
    } catch (const UsageError& e) {
        Problem(e.what());
        std::fputs("Run with --help for more information.\n", stderr);
        return 2;
    } catch (const std::exception& e) {
        Problem(e.what());
        return 2;
    }
    return 2;
}

int main(int argc, char** argv) {
    return CheckedExit(Main(argc, argv));
}
