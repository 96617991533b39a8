// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping the record of a full card (14,400 readings): the part the window's main thread does
// (gather the bytes into a Record and hand it to a worker), the worker's serialisation and the
// whole keep with its syncs, reading it back and the CSV export.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "logger/Header.h"
#include "records/Csv.h"
#include "records/RecordStore.h"

namespace {

using namespace halvik;
namespace fs = std::filesystem;

// What the download holds when it ends: the header report's data bytes and the reading
// reports' data bytes (225 reports of 64 bytes).
struct FinishedDownload {
    std::vector<std::uint8_t> header = std::vector<std::uint8_t>(64, 0);
    std::vector<std::uint8_t> readings;
    FinishedDownload() {
        header = {1, 2, 3, 4, 5, 8, 0, 0, 12, 1, 26};
        header.resize(64, 0);
        header[19] = kMaxReadings >> 8;
        header[20] = kMaxReadings & 0xFF;
        for (int q = 0; q < kMaxReadings; ++q) {
            readings.push_back(static_cast<std::uint8_t>(0x81));
            readings.push_back(static_cast<std::uint8_t>(q * 7));
        }
    }
};

Record MakeRecord(const FinishedDownload& download, const std::string& host) {
    Record record;
    record.header = download.header;
    record.readings = download.readings;
    record.downloadedAt =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    record.host = host;
    record.programVersion = "0.1";
    record.unit = TemperatureUnit::Celsius;
    record.complete = true;
    return record;
}

fs::path BenchFolder() {
    // On disk (not tmpfs), where records live, so the syncs cost what they cost a user.
    const char* base = std::getenv("HALVIK_BENCH_DIR");
    std::string pattern = std::string(base != nullptr ? base : "/var/tmp") + "/halvik-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

// The main thread's part: copy the bytes into a Record and move it into the task a worker runs.
void BM_KeepRecord_MainThread(benchmark::State& state) {
    const FinishedDownload download;
    const std::string host = LocalHostName();
    for (auto _ : state) {
        auto record = std::make_shared<Record>(MakeRecord(download, host));
        std::function<void()> task = [record] { benchmark::DoNotOptimize(record.get()); };
        benchmark::DoNotOptimize(task);
    }
}
BENCHMARK(BM_KeepRecord_MainThread)->Unit(benchmark::kMicrosecond);

void BM_LocalHostName(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LocalHostName());
}
BENCHMARK(BM_LocalHostName)->Unit(benchmark::kMicrosecond);

// The worker: serialisation with the digest, no file.
void BM_RecordText(benchmark::State& state) {
    const Record record = MakeRecord(FinishedDownload(), "host");
    for (auto _ : state)
        benchmark::DoNotOptimize(RecordText(record));
}
BENCHMARK(BM_RecordText)->Unit(benchmark::kMicrosecond);

// The worker: the whole keep, written, synced, renamed, folder synced.
void BM_KeepRecord_Whole(benchmark::State& state) {
    const fs::path folder = BenchFolder();
    const Record record = MakeRecord(FinishedDownload(), "host");
    for (auto _ : state) {
        const KeptRecord kept = KeepRecord(record, folder);
        state.PauseTiming();
        fs::remove(kept.path);
        state.ResumeTiming();
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_KeepRecord_Whole)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadRecord(benchmark::State& state) {
    const fs::path folder = BenchFolder();
    const KeptRecord kept = KeepRecord(MakeRecord(FinishedDownload(), "host"), folder);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadRecord(kept.path));
    fs::remove_all(folder);
}
BENCHMARK(BM_LoadRecord)->Unit(benchmark::kMillisecond);

void BM_RecordCsv(benchmark::State& state) {
    const Record record = MakeRecord(FinishedDownload(), "host");
    for (auto _ : state)
        benchmark::DoNotOptimize(RecordCsv(record));
}
BENCHMARK(BM_RecordCsv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
