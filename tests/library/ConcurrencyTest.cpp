// SPDX-License-Identifier: GPL-3.0-or-later
// Several processes at once: the window and halvik-cli runs updating one index, and computers
// keeping records with the same names into one shared folder.

#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "LibraryFixture.h"

namespace halvik::test {
namespace {

// Runs `work(i)` in `count` child processes at once; true when every one exited with 0.
template <typename Work>
bool InProcesses(int count, Work work) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            int status = 0;
            try {
                status = work(i);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "process %d: %s\n", i, error.what());
                status = 3;
            }
            ::_exit(status);
        }
        children.push_back(child);
    }
    bool ok = true;
    for (pid_t child : children) {
        int status = 0;
        ok = ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}

class Concurrency : public LibraryTest {};

TEST_F(Concurrency, TwoProcessesUpdatingOneIndexLoseNoRow) {
    for (int i = 0; i < 200; ++i)
        Keep(Sample(240, static_cast<std::uint8_t>(i % 7), i % 24, 1 + i / 24));
    // Each process keeps its own records and brings the index up to date after each, the way
    // two downloads and a listing overlap; the first indexing of 200 files overlaps too.
    ASSERT_TRUE(InProcesses(2, [this](int process) {
        for (int i = 0; i < 15; ++i) {
            Record record = Sample(100 + i, static_cast<std::uint8_t>(10 + process), 12, 20);
            KeepRecord(record, folder_);
            RecordsIndex index(index_, folder_);
            if (!index.InMemoryReason().empty())
                return 4;
            index.Update();
        }
        return 0;
    }));
    RecordsIndex index(index_, folder_);  // no update: what the two left behind
    std::set<std::string> indexed;
    for (const RecordFacts& facts : index.List()) {
        EXPECT_TRUE(facts.problem.empty()) << facts.problem;
        indexed.insert(facts.name);
    }
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files.size(), 230u);
    EXPECT_EQ(indexed, files);
}

TEST_F(Concurrency, TwoComputersKeepingTheSameNamesOverwriteNothing) {
    // The same cards downloaded on two computers: same names, different contents (host).
    constexpr int kNames = 40;
    ASSERT_TRUE(InProcesses(2, [this](int process) {
        for (int i = 0; i < kNames; ++i) {
            Record record = Sample(50, static_cast<std::uint8_t>(i), 8, 12);
            record.readings[0] ^= static_cast<std::uint8_t>(1 + process);  // another download
            record.host = "computer-" + std::to_string(process);
            KeepRecord(record, folder_);
        }
        return 0;
    }));
    std::multiset<std::string> kept;  // host and card of every file
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        ++files;
        const LoadedRecord loaded = LoadRecord(entry.path());
        EXPECT_TRUE(loaded.intact) << entry.path();
        kept.insert(loaded.record.host + "/" + std::to_string(loaded.record.header[4]));
    }
    EXPECT_EQ(files, 2 * kNames);
    for (int process = 0; process < 2; ++process)
        for (int i = 0; i < kNames; ++i)
            EXPECT_EQ(kept.count("computer-" + std::to_string(process) + "/" + std::to_string(i)),
                      1u);
}

}  // namespace
}  // namespace halvik::test
