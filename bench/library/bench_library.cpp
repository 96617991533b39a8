// SPDX-License-Identifier: GPL-3.0-or-later
// The records library over 10,000 generated records of the sizes sites keep (mostly a week of
// readings, some full cards, some short runs): the first indexing, an up-to-date listing with one
// new record, a filtered query, and a verify of every digest beside sha256sum over the same
// files (bytes per second of both, by the wall clock since sha256sum runs as its own process:
// their ratio is the cost of reading records as records).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/RecordsIndex.h"
#include "logger/Header.h"
#include "records/RecordStore.h"

namespace {

namespace fs = std::filesystem;
using namespace halvik;

constexpr int kRecords = 10000;
const fs::path kRoot = "/tmp/halvik-bench-library";
const fs::path kFolder = kRoot / "records";
const fs::path kIndex = kRoot / "cache" / "records-index.sqlite";

Record Generated(int n) {
    using namespace std::chrono;
    // 90% a week (1,680 readings), 5% a full card (14,400), 5% a day (240).
    const int count = n % 20 == 0 ? kMaxReadings : n % 20 == 1 ? 240 : 1680;
    Record record;
    record.header.assign(64, 0);
    record.header[3] = static_cast<std::uint8_t>(n % 50);  // 50 cards
    record.header[4] = static_cast<std::uint8_t>(n % 7);
    const sys_seconds first = sys_days(2021y / January / 1) + hours(n * 7);
    const year_month_day date{floor<days>(first)};
    const hh_mm_ss time{first - floor<days>(first)};
    record.header[5] = static_cast<std::uint8_t>(time.hours().count());
    record.header[6] = static_cast<std::uint8_t>(time.minutes().count());
    record.header[8] = static_cast<std::uint8_t>(unsigned(date.day()));
    record.header[9] = static_cast<std::uint8_t>(unsigned(date.month()));
    record.header[10] = static_cast<std::uint8_t>(int(date.year()) - 2000);
    record.header[19] = static_cast<std::uint8_t>(count >> 8);
    record.header[20] = static_cast<std::uint8_t>(count & 0xFF);
    for (int q = 0; q < count; ++q) {
        record.readings.push_back(static_cast<std::uint8_t>(0x80 + (q + n) % 3));
        record.readings.push_back(static_cast<std::uint8_t>((q * 7 + n) % 128));
    }
    record.downloadedAt = first + hours(24 * 7);
    record.host = "site-pc-" + std::to_string(n % 3);
    record.programVersion = "0.1";
    record.complete = true;
    return record;
}

// Writes the records once (without the syncs of KeepRecord: they would only slow the setup).
void MakeFolder() {
    static bool made = false;
    if (made)
        return;
    made = true;
    std::error_code error;
    fs::create_directories(kFolder);
    int present = 0;
    for (const auto& entry : fs::directory_iterator(kFolder, error))
        present += entry.path().extension() == ".halvik";
    if (present == kRecords)
        return;
    fs::remove_all(kFolder);
    fs::create_directories(kFolder);
    for (int n = 0; n < kRecords; ++n) {
        const Record record = Generated(n);
        std::ofstream(kFolder / (std::to_string(n) + "_" + RecordFileName(record)),
                      std::ios::binary)
            << RecordText(record);
    }
}

std::int64_t FolderBytes() {
    std::int64_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(kFolder))
        bytes += static_cast<std::int64_t>(entry.file_size());
    return bytes;
}

void BM_FirstIndexing(benchmark::State& state) {
    MakeFolder();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(kIndex.parent_path());
        state.ResumeTiming();
        RecordsIndex index(kIndex, kFolder);
        benchmark::DoNotOptimize(index.Update());
    }
}
BENCHMARK(BM_FirstIndexing)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_UpToDateListingWithOneNew(benchmark::State& state) {
    MakeFolder();
    RecordsIndex(kIndex, kFolder).Update();
    const Record extra = Generated(kRecords + 1);
    const fs::path path = kFolder / ("new_" + RecordFileName(extra));
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(path, std::ios::binary) << RecordText(extra);
        state.ResumeTiming();
        RecordsIndex index(kIndex, kFolder);
        const IndexUpdate update = index.Update();
        benchmark::DoNotOptimize(index.List());
        state.PauseTiming();
        if (update.added != 1)
            state.SkipWithError("the new record was not found");
        fs::remove(path);
        RecordsIndex(kIndex, kFolder).Update();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UpToDateListingWithOneNew)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_FilteredQuery(benchmark::State& state) {
    MakeFolder();
    RecordsIndex index(kIndex, kFolder);
    index.Update();
    RecordFilter filter;
    filter.pid = "00 00 00 07 03";
    filter.since = 1640995200;  // 2022-01-01
    filter.until = 1672531199;  // 2022-12-31
    std::size_t found = 0;
    for (auto _ : state)
        found = index.List(filter).size();
    state.counters["records"] = static_cast<double>(found);
}
BENCHMARK(BM_FilteredQuery)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

// What halvik-cli records --verify does: every file read again, its digest computed afresh.
void BM_VerifyAll(benchmark::State& state) {
    MakeFolder();
    RecordsIndex index(kIndex, kFolder);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.Reindex());
    state.SetBytesProcessed(state.iterations() * FolderBytes());
}
BENCHMARK(BM_VerifyAll)
    ->UseRealTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_Sha256sumAll(benchmark::State& state) {
    MakeFolder();
    const std::string command =
        "cd " + kFolder.string() +
        " && find . -name '*.halvik' -print0 | xargs -0 sha256sum >/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("sha256sum failed");
    state.SetBytesProcessed(state.iterations() * FolderBytes());
}
BENCHMARK(BM_Sha256sumAll)
    ->UseRealTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
