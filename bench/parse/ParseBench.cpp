// SPDX-License-Identifier: GPL-3.0-or-later
// The reading parse of a full card (14,400 readings) into the cell store with its statistics,
// as the staging timer runs it; and the header handler that writes the 14,400 calendar rows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "download/CardParse.h"
#include "logger/Header.h"
#include "logger/LogClock.h"

namespace halvik {
namespace {

std::vector<std::uint8_t> FullHeader() {
    std::vector<std::uint8_t> header(64, 0);
    const std::uint8_t fields[] = {1, 2, 3, 4, 5, 23, 54, 0, 20, 12, 14};
    std::copy(std::begin(fields), std::end(fields), header.begin());
    header[19] = 0x38;  // 14400
    header[20] = 0x40;
    return header;
}

// A card's readings: temperatures wandering between -30 and +40 °C.
DownloadState FullDownload(CellStore& grid, const LocaleSettings& locale) {
    DownloadState state;
    auto header = FullHeader();
    ApplyHeaderReport(state, grid, 0, header.data(), header.size(), locale);
    std::vector<std::uint8_t> report(64, 0);
    std::size_t filled = 0;
    for (int q = 0; q < kMaxReadings; ++q) {
        const int tenths = (q * 37) % 700 - 300;  // -30.0 .. 39.9
        const float value = static_cast<float>(tenths) / 10.0f + 0.01f;
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        report[filled++] = static_cast<std::uint8_t>((bits >> 23) & 0xFF);
        report[filled++] = static_cast<std::uint8_t>(((bits >> 24) & 0x80) | ((bits >> 16) & 0x7F));
        if (filled == report.size()) {
            AppendReadingBytes(state, report.data(), report.size());
            filled = 0;
        }
    }
    if (filled != 0)
        AppendReadingBytes(state, report.data(), report.size());
    return state;
}

void RunParse(benchmark::State& bench, TemperatureUnit unit, const LocaleSettings& locale) {
    CellStore grid;
    DownloadState state = FullDownload(grid, locale);
    ParseResult result;
    for (auto _ : bench) {
        StartLogClock(state);
        ParseReadings(state, grid, unit, locale, result);
        benchmark::DoNotOptimize(result.points.data());
    }
    if (result.points.size() != static_cast<std::size_t>(kMaxReadings) || !result.hasStatistics)
        bench.SkipWithError("parse did not read every reading");
    bench.SetItemsProcessed(bench.iterations() * kMaxReadings);
}

void BM_Parse14400Celsius(benchmark::State& bench) {
    RunParse(bench, TemperatureUnit::Celsius, LocaleSettings{});
}
BENCHMARK(BM_Parse14400Celsius)->Unit(benchmark::kMillisecond);

void BM_Parse14400FahrenheitComma(benchmark::State& bench) {
    LocaleSettings locale;
    locale.decimalSeparator.assign(1, ',');  // (assigning "," trips a GCC 12 -O3 false warning)
    RunParse(bench, TemperatureUnit::Fahrenheit, locale);
}
BENCHMARK(BM_Parse14400FahrenheitComma)->Unit(benchmark::kMillisecond);

void BM_Header14400Rows(benchmark::State& bench) {
    const auto header = FullHeader();
    const LocaleSettings locale;
    CellStore grid;
    DownloadState state;
    for (auto _ : bench) {
        HeaderResult result =
            ApplyHeaderReport(state, grid, 0, header.data(), header.size(), locale);
        benchmark::DoNotOptimize(result.accepted);
    }
    bench.SetItemsProcessed(bench.iterations() * kMaxReadings);
}
BENCHMARK(BM_Header14400Rows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace halvik

BENCHMARK_MAIN();
