// SPDX-License-Identifier: GPL-3.0-or-later
// Several processes at once: the window and halvik-cli runs updating one index, and computers
// keeping records with the same names into one shared folder.

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>

#include "LibraryFixture.h"

namespace {
// While set, renameat2 answers as a file system without RENAME_NOREPLACE does (some network and
// FUSE file systems), so that keeping a record falls back to link().
std::atomic<bool> gNoReplaceUnsupported{false};
std::atomic<int> gNoReplaceRefused{0};
}  // namespace

// Stands in for the C library's renameat2 in this test program only.
extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) noexcept {
    if (gNoReplaceUnsupported && (flags & RENAME_NOREPLACE) != 0) {
        ++gNoReplaceRefused;
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

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
            // Sound use by two processes never makes an index look damaged (which would drop it
            // under the other one).
            const IndexUpdate update = index.Update();
            if (!update.rebuilt.empty()) {
                std::fprintf(stderr, "process %d: index rebuilt: %s\n", process,
                             update.rebuilt.c_str());
                return 6;
            }
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
    // The same cards downloaded on two computers: same names, different contents (host). Once
    // with an atomic rename that refuses to replace, once on a file system without it (link()).
    constexpr int kNames = 40;
    for (const bool unsupported : {false, true}) {
        SCOPED_TRACE(unsupported ? "link() fallback" : "RENAME_NOREPLACE");
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        gNoReplaceUnsupported = unsupported;
        const bool ran = InProcesses(2, [this, unsupported](int process) {
            for (int i = 0; i < kNames; ++i) {
                Record record = Sample(50, static_cast<std::uint8_t>(i), 8, 12);
                record.readings[0] ^= static_cast<std::uint8_t>(1 + process);  // another download
                record.host = "computer-" + std::to_string(process);
                KeepRecord(record, folder_);
            }
            return unsupported && gNoReplaceRefused == 0 ? 5 : 0;  // 5: no fallback was taken
        });
        gNoReplaceUnsupported = false;
        ASSERT_TRUE(ran);
        std::multiset<std::string> kept;  // host and card of every file
        int files = 0;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            ++files;  // hidden temporary files left behind count too
            const LoadedRecord loaded = LoadRecord(entry.path());
            EXPECT_TRUE(loaded.intact) << entry.path();
            kept.insert(loaded.record.host + "/" + std::to_string(loaded.record.header[4]));
        }
        EXPECT_EQ(files, 2 * kNames);
        for (int process = 0; process < 2; ++process)
            for (int i = 0; i < kNames; ++i)
                EXPECT_EQ(
                    kept.count("computer-" + std::to_string(process) + "/" + std::to_string(i)),
                    1u);
    }
}

}  // namespace
}  // namespace halvik::test
