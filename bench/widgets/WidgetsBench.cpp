// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineSeries>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace {

using halvik::ChartPoint;
using halvik::DataGrid;
using halvik::TemperatureChart;

constexpr int kFullCard = 14400;

std::vector<ChartPoint> fullCard() {
    std::vector<ChartPoint> points;
    points.reserve(kFullCard);
    for (int i = 0; i < kFullCard; ++i) {
        const int minutes = i * 6;
        char label[32];
        std::snprintf(label, sizeof label, "%02dJan14  %02d:%02d", 1 + minutes / 1440 % 31,
                      (minutes / 60) % 24, minutes % 60);
        points.push_back({4.0 + (i % 37) / 10.0, label});
    }
    return points;
}

void fillGrid(halvik::CellStore& cells) {
    for (int row = 1; row <= kFullCard; ++row) {
        cells.setCell(0, row, std::to_string(row));
        cells.setCell(1, row, "  07 JAN  14");
        cells.setCell(2, row, "    09:06");
        cells.setCell(3, row, "            4.5");
    }
    cells.setRowCount(kFullCard + 1);
}

// One parse's chart part on a shown chart: both series handed over, labels rebuilt, painted.
void BM_ChartAddFullCardAndPaint(benchmark::State& state) {
    const std::vector<ChartPoint> points = fullCard();
    for (auto _ : state) {
        state.PauseTiming();
        auto chart = std::make_unique<TemperatureChart>();
        chart->resize(850, 401);
        chart->show();
        QApplication::processEvents();
        state.ResumeTiming();
        chart->setReadings(points);
        QPixmap painted = chart->grab();
        benchmark::DoNotOptimize(painted);
        state.PauseTiming();
        chart.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ChartAddFullCardAndPaint)->Unit(benchmark::kMillisecond);

// A zoom button press with a full card: ranges, bottom labels, repaint.
void BM_ChartZoomInFullCard(benchmark::State& state) {
    TemperatureChart chart;
    chart.resize(850, 401);
    chart.show();
    chart.setReadings(fullCard());
    QApplication::processEvents();
    int presses = 0;
    for (auto _ : state) {
        if (++presses % 20 == 0)
            chart.undoZoom();
        chart.zoomIn();
        QPixmap painted = chart.grab();
        benchmark::DoNotOptimize(painted);
    }
}
BENCHMARK(BM_ChartZoomInFullCard)->Unit(benchmark::kMillisecond);

void BM_ChartRenderImage(benchmark::State& state) {
    TemperatureChart chart;
    chart.resize(850, 401);
    chart.show();
    chart.setReadings(fullCard());
    QApplication::processEvents();
    for (auto _ : state) {
        QImage image = chart.renderImage();
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_ChartRenderImage)->Unit(benchmark::kMillisecond);

// The grid taking a full card from its store, and its first paint.
void BM_GridRefreshFullCardAndPaint(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = std::make_unique<DataGrid>();
        grid->resize(348, 475);
        grid->show();
        fillGrid(grid->cells());
        QApplication::processEvents();
        state.ResumeTiming();
        grid->refresh();
        QPixmap painted = grid->grab();
        benchmark::DoNotOptimize(painted);
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridRefreshFullCardAndPaint)->Unit(benchmark::kMillisecond);

void BM_GridCopyAllFullCard(benchmark::State& state) {
    DataGrid grid;
    fillGrid(grid.cells());
    grid.refresh();
    for (auto _ : state) {
        QString text = grid.allRowsText(std::to_string(kFullCard));
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_GridCopyAllFullCard)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Timing needs no screen: without a display, draw off screen.
    const char* display = std::getenv("DISPLAY");
    if ((display == nullptr || *display == '\0') && std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
