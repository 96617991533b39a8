// SPDX-License-Identifier: GPL-3.0-or-later
// Reviewing a full card (14,400 readings, 60 days) under a five-rule profile, as the window does
// on every download and every change of profile; and turning the card's bytes into the °C values
// a review is made of.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "review/Review.h"

namespace {

using namespace halvik;

// A fridge cycling around 5 °C with a warm spell every few days and a freeze now and then.
std::vector<double> FullCard() {
    std::vector<double> values;
    for (int i = 0; i < 14400; ++i) {
        double v = 5.0 + 2.5 * std::sin(i / 15.0);
        if (i % 1000 > 900)
            v += 6.0;
        if (i % 3000 < 12)
            v = -1.0;
        values.push_back(std::round(v * 10) / 10);
    }
    return values;
}

LimitProfile FiveRules() {
    return {"bench",
            2.0,
            8.0,
            {ParseRule(">8 for 30min"), ParseRule(">=30 total 10h"), ParseRule("<=-0.5 for 1h"),
             ParseRule("<2 total 2h"), ParseRule("mkt>25")}};
}

void BM_ReviewFullCardFiveRules(benchmark::State& state) {
    const std::vector<double> values = FullCard();
    const LimitProfile profile = FiveRules();
    for (auto _ : state)
        benchmark::DoNotOptimize(Review(values, profile));
}
BENCHMARK(BM_ReviewFullCardFiveRules)->Unit(benchmark::kMicrosecond);

// The same without the MKT rule: what the mean kinetic temperature costs.
void BM_ReviewFullCardFourRulesNoMkt(benchmark::State& state) {
    const std::vector<double> values = FullCard();
    LimitProfile profile = FiveRules();
    profile.rules.pop_back();
    for (auto _ : state)
        benchmark::DoNotOptimize(Review(values, profile));
}
BENCHMARK(BM_ReviewFullCardFourRulesNoMkt)->Unit(benchmark::kMicrosecond);

void BM_CelsiusGridValuesFullCard(benchmark::State& state) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 14400; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(129 + (i % 2)));
        bytes.push_back(static_cast<std::uint8_t>(i % 128));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(CelsiusGridValues(bytes, 14400));
}
BENCHMARK(BM_CelsiusGridValuesFullCard)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
