// SPDX-License-Identifier: GPL-3.0-or-later
// Print All and Select & Print for a full card (14,400 readings + the caption row): the layout
// list alone, and the whole QPrinter job writing a PDF.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "PrintFixtures.h"
#include "printing/TableLayouts.h"
#include "printing/qt/PrintJobs.h"
#include "printing/qt/PrinterCanvas.h"

namespace halvik {
namespace {

constexpr int kFullCard = 14400;

const CellStore& fullGrid() {
    static const CellStore cells = testing::downloadedGrid(kFullCard);
    return cells;
}

struct PdfPrinter {
    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    PdfPrinter() { testing::useA4PdfFile(printer, dir.filePath("bench.pdf")); }
};

void BM_LayoutAllRows(benchmark::State& state) {
    PdfPrinter pdf;
    const PrinterMetrics metrics = printerMetrics(pdf.printer);
    const PrinterTextMeasurer measurer(pdf.printer);
    const TableSource source{fullGrid(), "( PID :12 34 56 78 9A)"};
    int pages = 0;
    for (auto _ : state) {
        const PrintLayout layout = layoutAllRows(source, kAllRowsTitle, metrics, measurer);
        pages = layout.pageCount;
        benchmark::DoNotOptimize(layout.steps.data());
    }
    state.counters["pages"] = pages;
    state.counters["rows"] = fullGrid().rowCount();
}
BENCHMARK(BM_LayoutAllRows)->Unit(benchmark::kMillisecond);

void BM_PrintAllToPdf(benchmark::State& state) {
    PdfPrinter pdf;
    const QImage logo = testing::logoPicture();
    const TableSource source{fullGrid(), "( PID :12 34 56 78 9A)"};
    for (auto _ : state) {
        pdf.printer.setPageOrientation(QPageLayout::Portrait);
        const PrintLayout layout = layoutAllRows(source, kAllRowsTitle, printerMetrics(pdf.printer),
                                                 PrinterTextMeasurer(pdf.printer));
        printLayout(pdf.printer, layout, logo);
    }
    state.counters["pdf_MB"] = QFile(pdf.dir.filePath("bench.pdf")).size() / 1e6;
}
BENCHMARK(BM_PrintAllToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LayoutSelectedRows(benchmark::State& state) {
    PdfPrinter pdf;
    const PrinterMetrics metrics = printerMetrics(pdf.printer);
    const TableSource source{fullGrid(), "( PID :12 34 56 78 9A)"};
    for (auto _ : state) {
        const PrintLayout layout =
            layoutSelectedRows(source, kSelectedRowsTitle, 1, kFullCard, metrics);
        benchmark::DoNotOptimize(layout.steps.data());
    }
}
BENCHMARK(BM_LayoutSelectedRows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace halvik

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
