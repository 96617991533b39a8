// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordStore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "../support/ScopedEnvironment.h"
#include "RecordSamples.h"

namespace halvik {
namespace {

namespace fs = std::filesystem;
using ::halvik::testing::ScopedEnvironment;
using test::HeaderFields;
using test::SampleRecord;

// A fresh folder under /tmp that everyone may enter, removed at the end.
class RecordFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-records-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::permissions(dir_, fs::perms(0755));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::set<std::string> Files(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    static void WriteFile(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path dir_;
};

// Runs `work` in a child process (as the unprivileged user "nobody" when `unprivileged` and the
// tests run as root) and returns what it returned, so limits and identities stay in the child.
std::string InChild(const std::function<std::string()>& work, bool unprivileged = false) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string result;
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            result = "could not drop privileges";
        else
            result = work();
        const ssize_t ignored = write(pipeFds[1], result.data(), result.size());
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    std::string result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return "child died";
    return result;
}

std::string KeepError(const Record& record, const fs::path& folder) {
    try {
        KeepRecord(record, folder);
        return "kept";
    } catch (const RecordError& error) {
        return error.what();
    }
}

std::string LoadError(const fs::path& path) {
    try {
        LoadRecord(path);
        return "loaded";
    } catch (const RecordError& error) {
        return error.what();
    }
}

struct FolderCase {
    const char* name;
    std::optional<std::string> recordsDir, dataHome;
    const char* expected;  // relative to the test folder; HOME is the test folder's "home"
};

class RecordFolderRule : public RecordFolderTest,
                         public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RecordFolderRule, FollowsTheEnvironmentAndCreatesTheFolder) {
    ScopedEnvironment environment;
    auto inDir = [this](const std::optional<std::string>& value) -> std::optional<std::string> {
        if (value && !value->empty() && value->front() != '/')
            return (dir_ / *value).string();
        return value;
    };
    environment.Set("HALVIK_RECORDS_DIR", inDir(GetParam().recordsDir));
    environment.Set("XDG_DATA_HOME", inDir(GetParam().dataHome));
    environment.Set("HOME", (dir_ / "home").string());
    const fs::path expected = dir_ / GetParam().expected;
    EXPECT_EQ(RecordFolderPath(), expected);
    EXPECT_FALSE(fs::exists(expected));
    EXPECT_EQ(RecordFolder(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(RecordFolder(), expected);  // an existing folder is fine
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFolderRule,
    ::testing::Values(
        FolderCase{"RecordsDir", "mine/records", "data", "mine/records"},
        FolderCase{"DataHome", std::nullopt, "data", "data/halvik/records"},
        FolderCase{"EmptyRecordsDir", "", "data", "data/halvik/records"},
        FolderCase{"Home", std::nullopt, std::nullopt, "home/.local/share/halvik/records"},
        // A relative XDG_DATA_HOME is invalid and ignored.
        FolderCase{"RelativeDataHome", std::nullopt, "", "home/.local/share/halvik/records"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordFolderTest, FolderThatCannotBeCreated) {
    WriteFile(dir_ / "file", "x");
    ScopedEnvironment environment;
    environment.Set("HALVIK_RECORDS_DIR", (dir_ / "file" / "records").string());
    try {
        RecordFolder();
        FAIL();
    } catch (const RecordError& error) {
        EXPECT_NE(std::string(error.what()).find("file/records could not be created"),
                  std::string::npos)
            << error.what();
    }
}

struct NameCase {
    const char* name;
    HeaderFields fields;
    const char* expected;
};

class RecordFileNameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(RecordFileNameRule, PidFirstReadingAndCount) {
    EXPECT_EQ(RecordFileName(SampleRecord(0, GetParam().fields)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFileNameRule,
    ::testing::Values(
        NameCase{"Example",
                 {.hour = 8, .minute = 0, .day = 12, .month = 1, .year = 26, .count = 1440},
                 "0102030405_20260112T0800Z_1440.halvik"},
        NameCase{"HexPidAndSeconds",
                 {.pid = {0xAB, 0x00, 0xFF, 0x10, 0x09},
                  .hour = 23,
                  .minute = 54,
                  .second = 59,
                  .day = 29,
                  .month = 2,
                  .year = 24,
                  .count = 0},
                 "ab00ff1009_20240229T2354Z_0.halvik"},
        NameCase{"CountCutToCardSize",
                 {.hour = 0, .minute = 0, .day = 1, .month = 1, .year = 255, .count = 65535},
                 "0102030405_22550101T0000Z_14400.halvik"},
        NameCase{"ClockOutOfRange",
                 {.hour = 0, .minute = 0, .day = 29, .month = 2, .year = 26, .count = 3},
                 "0102030405_notime_3.halvik"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordFolderTest, KeepsAndLoadsBackTheSameBytes) {
    const Record record = SampleRecord(kMaxReadings);
    const KeptRecord kept = KeepRecord(record, dir_);
    EXPECT_EQ(kept.path, dir_ / RecordFileName(record));
    EXPECT_FALSE(kept.alreadyKept);
    EXPECT_EQ(Files(dir_), std::set<std::string>{RecordFileName(record)});
    std::ifstream file(kept.path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text, RecordText(record));

    const LoadedRecord loaded = LoadRecord(kept.path);
    EXPECT_TRUE(loaded.intact);
    EXPECT_EQ(loaded.record, record);
}

TEST_F(RecordFolderTest, SameDownloadTwiceGivesOneFile) {
    Record record = SampleRecord(10);
    const KeptRecord first = KeepRecord(record, dir_);
    record.downloadedAt += std::chrono::hours(1);  // downloaded again later, same card content
    record.unit = TemperatureUnit::Fahrenheit;
    const auto before = fs::last_write_time(first.path);
    const KeptRecord second = KeepRecord(record, dir_);
    EXPECT_TRUE(second.alreadyKept);
    EXPECT_EQ(second.path, first.path);
    EXPECT_EQ(fs::last_write_time(first.path), before);
    EXPECT_EQ(Files(dir_).size(), 1u);
}

TEST_F(RecordFolderTest, DifferentDownloadsWithTheSamePidAndStartNeverOverwrite) {
    const Record incomplete = [] {
        Record r = SampleRecord(10);
        r.readings.resize(6);
        r.complete = false;
        return r;
    }();
    const Record complete = SampleRecord(10);
    Record other = SampleRecord(10);
    other.readings[0] ^= 1;

    EXPECT_EQ(KeepRecord(incomplete, dir_).path.filename(), "0102030405_20260112T0800Z_10.halvik");
    EXPECT_EQ(KeepRecord(complete, dir_).path.filename(), "0102030405_20260112T0800Z_10-2.halvik");
    EXPECT_EQ(KeepRecord(other, dir_).path.filename(), "0102030405_20260112T0800Z_10-3.halvik");
    const KeptRecord again = KeepRecord(complete, dir_);
    EXPECT_TRUE(again.alreadyKept);
    EXPECT_EQ(again.path.filename(), "0102030405_20260112T0800Z_10-2.halvik");
    EXPECT_EQ(LoadRecord(dir_ / "0102030405_20260112T0800Z_10.halvik").record, incomplete);
    EXPECT_EQ(LoadRecord(dir_ / "0102030405_20260112T0800Z_10-2.halvik").record, complete);
    EXPECT_EQ(LoadRecord(dir_ / "0102030405_20260112T0800Z_10-3.halvik").record, other);
    EXPECT_EQ(Files(dir_).size(), 3u);
}

// A damaged or foreign file under the record's name is kept as it is; the record gets a suffix.
TEST_F(RecordFolderTest, ChangedFileUnderTheNameIsNotTakenForTheRecord) {
    const Record record = SampleRecord(3);
    std::string changed = RecordText(record);
    changed[changed.find("fridge")] = 'F';
    WriteFile(dir_ / RecordFileName(record), changed);
    const KeptRecord kept = KeepRecord(record, dir_);
    EXPECT_FALSE(kept.alreadyKept);
    EXPECT_EQ(kept.path.filename(), "0102030405_20260112T0800Z_3-2.halvik");
    EXPECT_FALSE(LoadRecord(dir_ / RecordFileName(record)).intact);
}

// A file under the record's name that cannot be a record (nested 100,000 deep) is passed over
// without harm; the download is still kept.
TEST_F(RecordFolderTest, HostileFileUnderTheNameIsPassedOver) {
    const Record record = SampleRecord(3);
    std::string hostile = RecordText(record);
    hostile.insert(1, "\"x\":" + std::string(100000, '[') + std::string(100000, ']') + ",");
    WriteFile(dir_ / RecordFileName(record), hostile);
    const KeptRecord kept = KeepRecord(record, dir_);
    EXPECT_EQ(kept.path.filename(), "0102030405_20260112T0800Z_3-2.halvik");
    EXPECT_EQ(LoadRecord(kept.path).record, record);
}

// What a killed write left behind goes once it is a day old; everything else stays.
TEST_F(RecordFolderTest, StaleTemporaryFilesAreRemovedWhenTheFolderIsNextWritten) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(25);
    const struct {
        const char* name;
        bool old, stays;
    } cases[] = {
        {".0102030405_20260112T0800Z_3.halvik.77-1-0.tmp", true, false},
        {".0102030405_20260112T0800Z_3.halvik.77-1-1.tmp", false, true},  // may still be written
        {".notes.txt.77-1-0.tmp", true, true},                            // not a record's
        {"0102030405_20260112T0800Z_3.halvik.tmp", true, true},           // not hidden
    };
    for (const auto& c : cases) {
        WriteFile(dir_ / c.name, "part");
        if (c.old)
            fs::last_write_time(dir_ / c.name, old);
    }
    fs::create_directory(dir_ / ".folder.halvik.1-1-1.tmp");
    fs::last_write_time(dir_ / ".folder.halvik.1-1-1.tmp", old);
    KeepRecord(SampleRecord(5), dir_);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir_ / c.name), c.stays) << c.name;
    EXPECT_TRUE(fs::is_directory(dir_ / ".folder.halvik.1-1-1.tmp"));
}

TEST_F(RecordFolderTest, DiskFullPartWayLeavesNoFile) {
    const Record record = SampleRecord(kMaxReadings);  // about 58 kB
    const std::string result = InChild([this, &record] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return KeepError(record, dir_);
    });
    EXPECT_NE(result.find("The record " + (dir_ / RecordFileName(record)).string() +
                          " could not be written: File too large."),
              std::string::npos)
        << result;
    EXPECT_TRUE(Files(dir_).empty());
}

TEST_F(RecordFolderTest, UnwritableFolderLeavesNoFile) {
    const fs::path folder = dir_ / "records";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0555));
    const std::string result =
        InChild([&folder] { return KeepError(SampleRecord(3), folder); }, true);
    EXPECT_NE(result.find("could not be written: Permission denied."), std::string::npos) << result;
    EXPECT_NE(result.find(folder.string()), std::string::npos) << result;
    EXPECT_TRUE(Files(folder).empty());
}

TEST_F(RecordFolderTest, MissingFolderOrFileInsteadOfFolder) {
    EXPECT_NE(KeepError(SampleRecord(3), dir_ / "missing").find("No such file or directory"),
              std::string::npos);
    WriteFile(dir_ / "file", "x");
    EXPECT_NE(KeepError(SampleRecord(3), dir_ / "file").find("Not a directory"), std::string::npos);
}

// A CSV export over an existing file: old content or new, never a part.
TEST_F(RecordFolderTest, WriteFileAtomicallyReplacesWholeOrNotAtAll) {
    const fs::path path = dir_ / "readings.csv";
    WriteFileAtomically(path, "old\n");
    const std::string big(100000, 'x');
    const std::string result = InChild([&path, &big] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteFileAtomically(path, big);
            return std::string("written");
        } catch (const RecordError& error) {
            return std::string(error.what());
        }
    });
    EXPECT_EQ(result, "The file " + path.string() + " could not be written: File too large.");
    EXPECT_EQ(Files(dir_), std::set<std::string>{"readings.csv"});
    std::ifstream old(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old\n");

    WriteFileAtomically(path, big);
    std::ifstream replaced(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), big);
    EXPECT_EQ(Files(dir_), std::set<std::string>{"readings.csv"});
}

struct BadFileCase {
    const char* name;
    std::function<fs::path(const fs::path& dir)> make;
    const char* reason;
};

class LoadRecordRefuses : public RecordFolderTest,
                          public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(LoadRecordRefuses, NamingTheFileAndTheReason) {
    const fs::path path = GetParam().make(dir_);
    const std::string message = LoadError(path);
    EXPECT_EQ(message.rfind("Cannot open the record " + path.string() + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Records, LoadRecordRefuses,
    ::testing::Values(BadFileCase{"Missing",
                                  [](const fs::path& dir) { return dir / "none.halvik"; },
                                  "No such file or directory"},
                      BadFileCase{"Empty",
                                  [](const fs::path& dir) {
                                      std::ofstream(dir / "empty.halvik");
                                      return dir / "empty.halvik";
                                  },
                                  "the file is empty"},
                      BadFileCase{"Folder",
                                  [](const fs::path& dir) {
                                      fs::create_directory(dir / "folder.halvik");
                                      return dir / "folder.halvik";
                                  },
                                  "it is a folder, not a file"},
                      BadFileCase{"Fifo",
                                  [](const fs::path& dir) {
                                      mkfifo((dir / "fifo.halvik").c_str(), 0644);
                                      return dir / "fifo.halvik";
                                  },
                                  "not a regular file"},
                      // 16 GiB that take no disk space: refused by their size, never read.
                      BadFileCase{"Huge",
                                  [](const fs::path& dir) {
                                      std::ofstream(dir / "huge.halvik");
                                      fs::resize_file(dir / "huge.halvik", std::uintmax_t(1) << 34);
                                      return dir / "huge.halvik";
                                  },
                                  "the file takes 17179869184 bytes, more than the 1048576"},
                      BadFileCase{"Foreign",
                                  [](const fs::path& dir) {
                                      std::ofstream(dir / "foreign.halvik")
                                          << "{\"format\":\"other\"}";
                                      return dir / "foreign.halvik";
                                  },
                                  "not a Halvik record"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordFolderTest, FileWithoutReadPermission) {
    const fs::path path = KeepRecord(SampleRecord(3), dir_).path;
    fs::permissions(path, fs::perms(0600));
    // Root reads any file: the check runs as the user "nobody" then.
    const std::string message = InChild([&path] { return LoadError(path); }, true);
    EXPECT_EQ(message, "Cannot open the record " + path.string() + ": Permission denied.");
}

}  // namespace
}  // namespace halvik
