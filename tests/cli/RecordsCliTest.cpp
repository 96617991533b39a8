// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-cli records run as a process over a records folder, its index and its card profiles,
// each in a temporary folder of the test's own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliRun.h"
#include "RecordSamples.h"
#include "records/RecordStore.h"
#include "review/Profiles.h"

namespace halvik::test {
namespace {

namespace fs = std::filesystem;

using cli_test::ReadAll;

class RecordsCli : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-records-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        folder_ = dir_ / "records";
        fs::create_directories(folder_);
        ::setenv("HALVIK_RECORDS_DIR", folder_.c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    using Run = cli_test::Outcome;
    Run Records(const std::string& args) { return cli_test::RunCli(dir_, "records " + args); }
    std::vector<std::string> JsonNames(const std::string& args) {
        const Run run = Records("--json " + args);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> names;
        for (const auto& record : nlohmann::json::parse(run.out))
            names.push_back(record.at("name").get<std::string>());
        return names;
    }

    std::string Keep(const Record& record) {
        return KeepRecord(record, folder_).path.filename().string();
    }
    // Changes one digit of the host name, keeping the file's size and modification time, so
    // that only a digest computed afresh can tell.
    void Tamper(const std::string& name) {
        const fs::path path = folder_ / name;
        struct stat before {};
        ::stat(path.c_str(), &before);
        std::string text = ReadAll(path);
        text.replace(text.find("fridge-pc"), 9, "fridge-pX");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

    fs::path dir_, folder_;
};

TEST_F(RecordsCli, FiltersAndJson) {
    const std::string early = Keep(CardSample(240, 1, 10));
    const std::string late = Keep(CardSample(240, 1, 12));
    Record stopped = CardSample(240, 2, 11);
    stopped.readings.resize(2 * 50);
    stopped.complete = false;
    const std::string partial = Keep(stopped);
    const std::string changed = Keep(CardSample(10, 3, 12, 20));
    // Shown as "01 02 03 04 16", named 0102030410: a filter by either form finds it alone.
    const std::string sixteen = Keep(CardSample(240, 16, 5));
    Tamper(changed);
    std::ofstream(folder_ / "scratch.halvik") << "no record";
    std::ofstream(folder_ / "notes.txt") << "no record either";
    const fs::path profiles = dir_ / "config" / "halvik" / "profiles";
    SaveProfile(profiles, {.name = "warm", .low = {}, .high = {}, .rules = {ParseRule(">10")}});
    SaveProfile(profiles, {.name = "hot", .low = {}, .high = {}, .rules = {ParseRule(">40")}});
    RememberProfile(profiles, "01 02 03 04 01", "warm");
    RememberProfile(profiles, "01 02 03 04 02", "hot");

    struct Case {
        std::string args;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"", {late, changed, partial, early, sixteen, "scratch.halvik"}},
        {"--pid '01 02 03 04 01'", {late, early, "scratch.halvik"}},
        {"--pid 0102030402", {partial, "scratch.halvik"}},
        {"--since 2026-01-12", {late, changed, "scratch.halvik"}},
        {"--until 2026-01-10", {early, sixteen, "scratch.halvik"}},
        {"--pid '1 2 3 4 16'", {sixteen, "scratch.halvik"}},
        {"--pid 0102030410", {sixteen, "scratch.halvik"}},
        {"--pid '01 02 03 04 10'", {"scratch.halvik"}},
        {"--since 2026-01-11T12:00Z --until 2026-01-11T12:00:00Z", {partial, "scratch.halvik"}},
        {"--alarm", {late, early, "scratch.halvik"}},
        {"--ok", {partial, "scratch.halvik"}},
        {"--incomplete", {partial, "scratch.halvik"}},
        {"--changed", {changed, "scratch.halvik"}},
        {"--pid 0102030401 --since 2026-01-12", {late, "scratch.halvik"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(JsonNames(c.args), c.names);
    }

    const Run json = Records("--json --pid 0102030402");
    const auto records = nlohmann::json::parse(json.out);
    const nlohmann::json expected = {
        {"file", (folder_ / partial).string()},
        {"name", partial},
        {"pid", "01 02 03 04 02"},
        {"first_reading", "2026-01-11T08:00:00Z"},
        {"last_reading", "2026-01-11T12:54:00Z"},
        {"announced", 240},
        {"count", 50},
        {"complete", false},
        {"intact", true},
        {"downloaded_utc", "2026-12-10T15:59:34Z"},
        {"host", "fridge-pc"},
        {"unit", "C"},
        {"maximum", 15.4},
        {"minimum", -15.3},
        {"mkt", 4.7},
        {"verdict", "OK"},
        {"profile", "hot"},
    };
    EXPECT_EQ(records.at(0), expected);
    EXPECT_EQ(records.at(1).at("error").get<std::string>().find(
                  "Cannot open the record " + (folder_ / "scratch.halvik").string() + ": "),
              0u);

    const Run text = Records("--incomplete");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("2026-01-11 08:00  2026-01-11 12:54  01 02 03 04 02         50     "
                            "15.4 °C    -15.3 °C      4.7 °C  OK       "),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find((folder_ / partial).string() + "  (incomplete: 50 of 240 readings)\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Cannot open the record " + (folder_ / "scratch.halvik").string()),
              std::string::npos);

    // A time base shows the readings' times in its zone; the download time stays UTC by name.
    const auto tokyo = nlohmann::json::parse(
        cli_test::RunCli(dir_, "records --json --pid 0102030402", "HALVIK_TZ=Asia/Tokyo").out);
    EXPECT_EQ(tokyo.at(0).at("first_reading"), "2026-01-11T17:00:00+09:00");
    EXPECT_EQ(tokyo.at(0).at("last_reading"), "2026-01-11T21:54:00+09:00");
    EXPECT_EQ(tokyo.at(0).at("downloaded_utc"), "2026-12-10T15:59:34Z");
    const Run berlin = Records("--incomplete --tz Europe/Berlin");
    EXPECT_EQ(berlin.out.rfind("Times in Europe/Berlin (CET/CEST)\n", 0), 0u) << berlin.out;
    EXPECT_TRUE(cli_test::Has(berlin.out, "2026-01-11 09:00  2026-01-11 13:54  01 02 03 04 02"))
        << berlin.out;
}

TEST_F(RecordsCli, VerifyFindsTheOneChangedRecordTheIndexCannotSee) {
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i)
        names.push_back(Keep(CardSample(240, static_cast<std::uint8_t>(i % 5), 1 + i / 5, i % 24)));
    ASSERT_EQ(Records("").status, 0);  // the index now knows every record as intact
    Tamper(names[37]);

    const Run verify = Records("--verify");
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.out, (folder_ / names[37]).string() +
                              ": changed after download\n60 records checked in " +
                              folder_.string() + ": 1 changed after download, 0 cannot be read\n");
    EXPECT_EQ(JsonNames("--changed"), std::vector<std::string>{names[37]});

    fs::remove(folder_ / names[37]);
    const Run clean = Records("--verify");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "59 records checked in " + folder_.string() + ": all intact\n");
}

TEST_F(RecordsCli, ADamagedIndexIsBuiltAgainAndReindexAsked) {
    const std::string name = Keep(CardSample(240, 1, 12));
    ASSERT_EQ(Records("").status, 0);
    const fs::path index = dir_ / "cache" / "halvik" / "records-index.sqlite";
    ASSERT_TRUE(fs::exists(index));
    std::ofstream(index, std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
    const Run run = Records("--json");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("the records index was built again: it was damaged"), std::string::npos)
        << run.err;
    EXPECT_EQ(JsonNames(""), std::vector<std::string>{name});
    const Run reindex = Records("--reindex --json");
    EXPECT_EQ(reindex.status, 0);
    EXPECT_EQ(reindex.err, "");
}

TEST_F(RecordsCli, UsageErrors) {
    struct Case {
        std::string args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"--since 2026-02-30", "--since: '2026-02-30' is not a date"},
        {"--until 2026-01-01T24:00Z", "--until: '2026-01-01T24:00Z' is not a date"},
        {"--since 2026-01-01T08:00", "is not a date"},
        {"--since 2026-01-02 --until 2026-01-01", "--since 2026-01-02 is after --until 2026-01-01"},
        {"--alarm --ok", "--alarm excludes --ok"},
        {"--verify --pid 0102030405", "excludes"},
        {"--verify --reindex", "excludes"},
        {"--tz Mars/Olympus", "--tz: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Run run = Records(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // Nothing kept yet: an empty listing, not an error.
    fs::remove_all(folder_);
    EXPECT_EQ(JsonNames(""), std::vector<std::string>{});
    EXPECT_EQ(Records("--verify").status, 0);
    EXPECT_FALSE(fs::exists(folder_));
}

}  // namespace
}  // namespace halvik::test
