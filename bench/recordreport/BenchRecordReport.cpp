// SPDX-License-Identifier: GPL-3.0-or-later
// The record report of a full card (14,400 readings, about 50 pages): built and saved in memory
// by Halvik's writer, compressed as the program writes it and uncompressed, judged by a bare
// range or by a limit profile with its rules (its review made in each run); and the same pages
// (the readings tables, footers, page 1's lines and the chart's 14,400-vertex path, Flate
// compressed) built by PoDoFo, for a ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "devicelink/sim/LoggerCard.h"
#include "logger/Header.h"
#include "pdf/PdfStreams.h"
#include "recordreport/RecordReport.h"
#include "review/Profiles.h"

#ifdef HALVIK_BENCH_PODOFO
#include <podofo/podofo.h>
#endif

namespace {

using namespace halvik;

// A full card of a cold store's cycle between 1 and 7 °C, from 12 January 2026 08:00.
const LoadedRecord& FullCardRecord() {
    static const LoadedRecord loaded = [] {
        LoadedRecord l;
        Record& r = l.record;
        r.header.assign(64, 0);
        const std::uint8_t start[] = {1, 2, 3, 4, 5, 8, 0, 0, 12, 1, 26};
        std::copy(std::begin(start), std::end(start), r.header.begin());
        r.header[19] = kMaxReadings >> 8;
        r.header[20] = kMaxReadings & 0xFF;
        for (int i = 0; i < kMaxReadings; ++i) {
            const CardReading b =
                EncodeReading(std::round((4.0 + 3.0 * std::sin(i / 40.0)) * 16) / 16);
            r.readings.insert(r.readings.end(), b.begin(), b.end());
        }
        r.downloadedAt = std::chrono::sys_days(std::chrono::year{2026} / 3 / 14);
        r.host = "fridge-pc";
        r.programVersion = "0.1";
        r.complete = true;
        l.intact = true;
        return l;
    }();
    return loaded;
}

RecordReportOptions Options() {
    RecordReportOptions o;
    o.recordName = "fridge.halvik";
    o.limits = RecordReportLimits{2, 8};
    o.generatedAt = std::chrono::sys_days(std::chrono::year{2026} / 3 / 15);
    return o;
}

// A vaccine fridge's profile: 2 to 8 °C, a freeze and a heat alarm; this card's dips below 2 °C
// are excursions that trigger neither.
const LimitProfile& Profile() {
    static const LimitProfile profile = ResolveProfile("vaccine-refrigerator", {}).profile;
    return profile;
}

// Args: compress (1/0), judged by the profile (1) or the bare range (0).
void BM_RecordReport_Memory(benchmark::State& state) {
    const bool compress = state.range(0) != 0;
    const bool profile = state.range(1) != 0;
    std::size_t size = 0;
    int pages = 0;
    for (auto _ : state) {
        TPdfMemoryStream out;
        RecordReportOptions options = Options();
        if (profile) {
            options.limits.reset();
            options.review = ReviewForRecordReport(FullCardRecord().record, Profile());
        }
        pages = SaveRecordReport(FullCardRecord(), options, out, compress).TotalPages();
        size = out.Buffer().Size();
        benchmark::DoNotOptimize(out.Buffer().Data());
    }
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_RecordReport_Memory)
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

#ifdef HALVIK_BENCH_PODOFO
void BM_Podofo_RecordReport_Memory(benchmark::State& state) {
    using namespace PoDoFo;
    PdfStream::eDefaultFilter = ePdfFilter_FlateDecode;
    const RecordReportOptions options = Options();
    const RecordReportLayout layout = PlanRecordReport(FullCardRecord(), options);
    const std::vector<RecordReportRow> rows = RecordReportRows(FullCardRecord(), options);
    std::size_t size = 0;
    for (auto _ : state) {
        PdfMemDocument doc;
        PdfFont* font = doc.CreateFont("Helvetica", false, false, false,
                                       PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                       PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
        font->SetFontSize(7);
        const int total = layout.TotalPages();
        auto footer = [&](PdfPainter& painter, int page) {
            painter.DrawText(40, 26, "fridge.halvik   SHA-256 0123456789ab   generated");
            painter.DrawText(
                500, 26, ("page " + std::to_string(page) + " of " + std::to_string(total)).c_str());
        };
        {  // page 1: its lines of text and the chart
            PdfPainter painter;
            painter.SetPage(doc.CreatePage(PdfRect(0, 0, 595, 842)));
            painter.SetFont(font);
            for (int i = 0; i < 40; ++i)
                painter.DrawText(40, 800 - 12 * i,
                                 "Maximum      7.0 °C   first at 2026-01-12 09:00");
            painter.SetStrokingColor(0, 0.27, 0.78);
            painter.MoveTo(74, 80);
            for (int i = 0; i < kMaxReadings; ++i)
                painter.LineTo(74 + 477.0 * i / (kMaxReadings - 1),
                               80 + 200 * (0.5 + 0.4 * std::sin(i / 40.0)));
            painter.Stroke();
            footer(painter, 1);
            painter.FinishPage();
        }
        std::size_t next = 0;
        for (int p = 0; p < layout.readingPages; ++p) {
            PdfPainter painter;
            painter.SetPage(doc.CreatePage(PdfRect(0, 0, 595, 842)));
            painter.SetFont(font);
            for (int g = 0; g < layout.columnGroups && next < rows.size(); ++g) {
                const double x = 40 + 128 * g;
                double y = 770;
                for (int r = 0; r < layout.rowsPerColumn && next < rows.size(); ++r, ++next) {
                    const RecordReportRow& row = rows[next];
                    painter.DrawText(x, y, std::to_string(row.point).c_str());
                    painter.DrawText(x + 30, y, row.date.c_str());
                    painter.DrawText(x + 68, y, row.time.c_str());
                    painter.DrawText(x + 92, y, row.value.c_str());
                    y -= 8.6;
                }
            }
            footer(painter, p + 2);
            painter.FinishPage();
        }
        {
            PdfPainter painter;
            painter.SetPage(doc.CreatePage(PdfRect(0, 0, 595, 842)));
            painter.SetFont(font);
            painter.DrawText(40, 780, "Reviewed by");
            footer(painter, total);
            painter.FinishPage();
        }
        PdfRefCountedBuffer buffer(1 << 20);
        PdfOutputDevice device(&buffer);
        doc.Write(&device);
        size = device.GetLength();
        benchmark::DoNotOptimize(buffer.GetBuffer());
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Podofo_RecordReport_Memory)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
