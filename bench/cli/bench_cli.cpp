// SPDX-License-Identifier: GPL-3.0-or-later
// `halvik-cli download --sim FULL_CARD --pace usb-fs` as a user runs it: the whole process, from
// start to exit, with a full card (14,400 readings, 450 reports at one per millisecond: 0.45 s on
// the wire) and the record kept (written, synced, renamed) in a fresh records folder each time.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "FullCard.h"

namespace {

namespace fs = std::filesystem;

void BM_CliDownloadFullCard(benchmark::State& state) {
    char pattern[] = "/tmp/halvik-bench-cli-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("no temporary folder");
    const fs::path dir = pattern;
    const fs::path image = dir / "full-card.bin";
    halvik::bench::FullCard().Save(image);
    const fs::path records = dir / "records";
    ::setenv("HALVIK_RECORDS_DIR", records.c_str(), 1);
    const std::string command = std::string(HALVIK_CLI) + " download --sim " + image.string() +
                                " --pace usb-fs >/dev/null 2>&1";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(records);  // a record already kept would not be written again
        state.ResumeTiming();
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error("halvik-cli download failed: " + command);
    }
    fs::remove_all(dir);
}

BENCHMARK(BM_CliDownloadFullCard)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
