// SPDX-License-Identifier: GPL-3.0-or-later
// A full card (14,400 readings) from DOWNLOAD to "Downloaded": the in-memory platform, the
// device's report reader and its hand-over to the main thread, the download flow and the parse
// into the grid's cells with the statistics. At USB full-speed pace (one 64-byte report per
// millisecond, 450 reports: 0.45 s on the wire) and as fast as the reader reads.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <stdexcept>

#include "FullCard.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "download/CardSession.h"
#include "logger/Header.h"

namespace {

using halvik::SimLoggerCard;

void BM_DownloadFullCard(benchmark::State& state, SimLoggerCard::Pace pace) {
    const halvik::LoggerCardImage image = halvik::bench::FullCard();
    const halvik::LocaleSettings locale;
    for (auto _ : state) {
        state.PauseTiming();
        halvik::SimHidPlatform platform;
        SimLoggerCard card(platform, image, pace);
        card.Plug();
        halvik::CardSession session(platform, locale);
        session.Connect();
        if (!session.WaitForHeader(std::chrono::seconds(10)))
            throw std::runtime_error("no header");
        state.ResumeTiming();

        session.DownloadAll(halvik::TemperatureUnit::Celsius);

        state.PauseTiming();
        if (session.flow().Phase() != halvik::DownloadPhase::Downloaded)
            throw std::runtime_error("the download did not complete: " +
                                     session.flow().View().status);
        benchmark::DoNotOptimize(session.grid().cell(3, halvik::kMaxReadings));
        session.Disconnect();
        state.ResumeTiming();
    }
}

BENCHMARK_CAPTURE(BM_DownloadFullCard, usb_fs, SimLoggerCard::Pace::UsbFullSpeed)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_DownloadFullCard, fast, SimLoggerCard::Pace::AsFastAsRead)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
