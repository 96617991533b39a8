// SPDX-License-Identifier: GPL-3.0-or-later
// A full card (14,400 readings, 60 days across the autumn change) in a zone: the conversions
// alone, and every grid and chart text the window writes when the time base changes.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "timebase/ReadingTimes.h"
#include "timebase/TimeBase.h"

namespace {

using namespace halvik;

constexpr int kReadings = 14400;

// 1 October 2026 00:00 UTC: the 60 days pass Berlin's change on 25 October.
DownloadState FullCardHeader() {
    DownloadState state;
    state.HeaderYearText = " 26";
    state.HeaderMonthText = "10";
    state.HeaderDayText = "1";
    state.HeaderHourText = "00";
    state.HeaderMinuteText = "00";
    state.HeaderMonthName = "OCT";
    state.StartYearText = "2026";
    state.RecordCount = kReadings;
    state.RecordCountText = "14400";
    return state;
}

void BM_ConvertReadingTimes(benchmark::State& run, const char* zone) {
    const TimeBase base = zone ? TimeBase::Zone(zone) : TimeBase();
    const auto first = *FirstReadingTime(FullCardHeader());
    for (auto _ : run) {
        TimeConverter converter(base);
        int sum = 0;
        for (int i = 0; i < kReadings; ++i)
            sum += converter.Convert(first + std::chrono::minutes(6 * i)).minute;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK_CAPTURE(BM_ConvertReadingTimes, Utc, nullptr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertReadingTimes, Berlin, "Europe/Berlin")->Unit(benchmark::kMillisecond);

// What the window computes for its grid and chart after a change of time base.
void BM_GridTexts(benchmark::State& run, const char* zone) {
    const TimeBase base = zone ? TimeBase::Zone(zone) : TimeBase();
    const DownloadState state = FullCardHeader();
    const LocaleSettings locale;
    for (auto _ : run) {
        const ReadingTimeTexts texts = ReadingTimes(state, kReadings, base, locale);
        benchmark::DoNotOptimize(texts.times.data());
    }
}
BENCHMARK_CAPTURE(BM_GridTexts, CardClock, nullptr)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GridTexts, Berlin, "Europe/Berlin")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
