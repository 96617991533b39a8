// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The record report: the evidence of one download as a PDF. Page 1 holds the identity of the
// record (with its full digest), completeness, the time base, the summary, the limits and their
// verdict with the excursions, and the chart drawn as vectors; the following pages hold every
// reading that arrived; the last page the review lines. Every page carries a footer naming the
// record, its digest's first 12 hex digits, the generation time and "page x of y".

#include <chrono>
#include <optional>
#include <string>

#include "logger/LocaleSettings.h"
#include "logger/Reading.h"
#include "pdf/PdfStreams.h"
#include "records/Record.h"
#include "review/Review.h"
#include "timebase/TimeBase.h"

namespace halvik {

enum class PaperSize { A4, Letter };

struct RecordReportLimits {
    double low = 0;
    double high = 0;
};

struct RecordReportOptions {
    TemperatureUnit unit = TemperatureUnit::Celsius;
    PaperSize paper = PaperSize::A4;
    // A bare allowed range in `unit`: the verdict is ALARM when any reading is outside it.
    std::optional<RecordReportLimits> limits;
    // The review of the record under a limit profile (ReviewForRecordReport): the profile's
    // name, range and rules, the verdict, each rule's status and the excursions, with the range
    // and the rules' thresholds drawn on the chart. It takes the place of `limits`; without
    // either the report has no verdict and no marks.
    std::optional<ReviewResult> review;
    LocaleSettings locale;
    // The record's file name as the report shows it (no folder).
    std::string recordName;
    std::chrono::sys_seconds generatedAt{};  // UTC
    // The clock the readings' times are shown in. The card's clock (UTC) by default; a zone
    // gives local times with their offset from UTC and is named on page 1 and above the
    // readings. The download and generation times stay UTC. Throws TimeBaseError when the zone
    // is not in the database.
    TimeBase timeBase;
};

// How the pages of a report fall: page 1, then pages continuing the excursion list, then the
// readings pages, then the review page.
struct RecordReportLayout {
    int excursionPages = 0;
    int firstPageExcursions = 0;  // of the excursion list, at most 20 (fewer where page 1 is full)
    int readingPages = 0;
    int rowsPerColumn = 0;
    int columnGroups = 0;
    int TotalPages() const { return 1 + excursionPages + readingPages + 1; }
    // Where page 1's chart fell (points from the page's bottom left) and the temperatures at its
    // bottom and top edge; known once the report is written.
    float chartLeft = 0, chartBottom = 0, chartWidth = 0, chartHeight = 0;
    double chartLow = 0, chartHigh = 0;
};

// The review a report of `record` under `profile` shows: every reading that arrived, as the grid
// shows it in °C. Throws std::invalid_argument when the profile cannot be used.
ReviewResult ReviewForRecordReport(const Record& record, const LimitProfile& profile);

// The layout of a report of `record` with `options`.
RecordReportLayout PlanRecordReport(const LoadedRecord& record, const RecordReportOptions& options);

// Writes the whole report of `record` to `out`. `compress` deflates the page contents. Throws
// std::invalid_argument when `options` holds both limits and a review, or a review of another
// number of readings than the record holds.
RecordReportLayout SaveRecordReport(const LoadedRecord& record, const RecordReportOptions& options,
                                    TPdfOutputStream& out, bool compress = true);

// Writes the report to the file `fileName` by the writer's atomic save: the file is replaced
// only when the whole report was written. Raises EFileCreateError naming the file otherwise.
void WriteRecordReport(const LoadedRecord& record, const RecordReportOptions& options,
                       const std::string& fileName);

// The texts a readings row shows, in the report's unit: "2026-01-12", "08:00" ("-" for both when
// the card's clock is not a real date) and the value, with " H" above the range or " L" below.
// With a zone the time carries its offset: "02:30 +01:00".
struct RecordReportRow {
    int point = 0;
    std::string date;
    std::string time;
    std::string value;
};
std::vector<RecordReportRow> RecordReportRows(const LoadedRecord& record,
                                              const RecordReportOptions& options);

}  // namespace halvik
