// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-cli's --tz and HALVIK_TZ, run as a process: a card that spans the night the clocks go
// back in Berlin, its record shown and exported in UTC and in zones.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "devicelink/sim/LoggerCard.h"

namespace halvik {
namespace {

namespace fs = std::filesystem;

using cli_test::Has;
using cli_test::Outcome;
using cli_test::ReadAll;

class CliTimeBase : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-cli-tz-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ::setenv("HALVIK_RECORDS_DIR", (dir_ / "records").c_str(), 1);
        ::unsetenv("HALVIK_TZ");
        // 12 readings from 25 October 2026 00:24 UTC (02:24 CEST) to 01:30 UTC (02:30 CET).
        std::vector<CardReading> readings;
        for (int i = 0; i < 12; ++i)
            readings.push_back(EncodeReading(i == 5 || i == 6 ? 9.0 : 4.0));
        card_ = (dir_ / "autumn.bin").string();
        LoggerCardImage::Make({1, 2, 3, 4, 5}, {2026, 10, 25, 0, 24, 0}, readings).Save(card_);
        const Outcome run = RunCli("download --sim " + card_);
        ASSERT_EQ(run.status, 0) << run.err;
        record_ = run.out.substr(run.out.rfind("record: ") + 8);
        record_.pop_back();
    }
    void TearDown() override { fs::remove_all(dir_); }

    // `env` goes before the program ("HALVIK_TZ=Asia/Tokyo"); the paths hold no blanks.
    Outcome RunCli(const std::string& args, const std::string& env = "") {
        return cli_test::RunCli(dir_, args, env);
    }

    fs::path dir_;
    std::string card_, record_;
};

TEST_F(CliTimeBase, ExportAddsTimeLocalOnlyForAZone) {
    const Outcome utc = RunCli("export " + record_ + " --csv -");
    ASSERT_EQ(utc.status, 0) << utc.err;
    EXPECT_TRUE(utc.out.starts_with("point,time_utc,celsius,fahrenheit\n1,2026-10-25T00:24:00Z,"));

    const Outcome berlin = RunCli("export " + record_ + " --csv - --tz Europe/Berlin");
    ASSERT_EQ(berlin.status, 0) << berlin.err;
    EXPECT_TRUE(
        berlin.out.starts_with("point,time_utc,time_local,celsius,fahrenheit\n"
                               "1,2026-10-25T00:24:00Z,2026-10-25T02:24:00+02:00,4.0,39.2\n"))
        << berlin.out;
    EXPECT_TRUE(Has(berlin.out, "\n2,2026-10-25T00:30:00Z,2026-10-25T02:30:00+02:00,4.0,"));
    EXPECT_TRUE(Has(berlin.out, "\n12,2026-10-25T01:30:00Z,2026-10-25T02:30:00+01:00,4.0,"));

    // HALVIK_TZ for scripts; --tz wins over it; a file output takes the zone too.
    const Outcome tokyo = RunCli("export " + record_ + " --csv -", "HALVIK_TZ=Asia/Tokyo");
    EXPECT_TRUE(Has(tokyo.out, "\n1,2026-10-25T00:24:00Z,2026-10-25T09:24:00+09:00,"));
    const fs::path file = dir_ / "out.csv";
    const Outcome both =
        RunCli("export " + record_ + " --csv " + file.string() + " --tz America/St_Johns",
               "HALVIK_TZ=Asia/Tokyo");
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_TRUE(Has(ReadAll(file), "\n1,2026-10-25T00:24:00Z,2026-10-24T21:54:00-02:30,"));
}

TEST_F(CliTimeBase, ShowJsonGivesOffsetsAndTheZone) {
    const Outcome run = RunCli("show --json --limits 2:8 --tz Europe/Berlin " + record_);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["time_zone"], "Europe/Berlin");
    EXPECT_EQ(j["first_reading"], "2026-10-25T02:24:00+02:00");
    EXPECT_EQ(j["last_reading"], "2026-10-25T02:30:00+01:00");
    ASSERT_EQ(j["excursions"].size(), 1u);
    EXPECT_EQ(j["excursions"][0]["start"], "2026-10-25T02:54:00+02:00");
    EXPECT_EQ(j["excursions"][0]["end"], "2026-10-25T02:06:00+01:00");
    EXPECT_EQ(j["excursions"][0]["minutes"], 12);

    const Outcome utc = RunCli("show --json " + record_);
    const auto u = nlohmann::json::parse(utc.out);
    EXPECT_FALSE(u.contains("time_zone"));
    EXPECT_EQ(u["first_reading"], "2026-10-25T00:24:00Z");
}

TEST_F(CliTimeBase, ShowTextNamesTheZone) {
    const Outcome run = RunCli("show " + record_, "HALVIK_TZ=America/New_York");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "time zone      America/New_York (EST/EDT)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "first reading  2026-10-24T20:24:00-04:00\n")) << run.out;
    const Outcome utc = RunCli("show " + record_, "HALVIK_TZ=");
    EXPECT_FALSE(Has(utc.out, "time zone")) << utc.out;
    EXPECT_TRUE(Has(utc.out, "first reading  2026-10-25T00:24:00Z\n")) << utc.out;
}

// The record report in a zone: local times with offsets; --tz only with --full.
TEST_F(CliTimeBase, RecordReportInAZone) {
    const std::string pdf = (dir_ / "zone.pdf").string();
    const Outcome run = RunCli("report " + record_ + " --full " + pdf + " --tz Europe/Berlin");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = (dir_ / "zone.txt").string();
    ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + text).c_str()), 0);
    const std::string report = ReadAll(text);
    EXPECT_TRUE(Has(report, "Europe/Berlin (CET/CEST): local times")) << report;
    EXPECT_TRUE(Has(report, "2026-10-25 02:24 +02:00")) << report;
    EXPECT_TRUE(Has(report, "2026-10-25 02:30 +01:00")) << report;

    const Outcome data = RunCli("report " + record_ + " --data " + (dir_ / "d.pdf").string() +
                                " --tz Europe/Berlin");
    EXPECT_EQ(data.status, 2);
    EXPECT_TRUE(Has(data.err, "--tz requires --full")) << data.err;
}

// A zone that is no zone: exit status 2 with how to find the names, before anything is read
// or kept.
TEST_F(CliTimeBase, UnknownZones) {
    struct Case {
        std::string args, env, err;
    };
    const Case cases[] = {
        {"show " + record_ + " --tz Europe/Berln", "", "--tz: 'Europe/Berln' is not a time zone"},
        {"show " + record_ + " --tz europe/berlin", "", "Did you mean Europe/Berlin?"},
        {"show " + record_ + " --tz ''", "", "--tz: An empty text"},
        {"show " + record_ + " --tz", "", "--tz"},
        {"export " + record_ + " --csv -", "HALVIK_TZ=Mars/Base", "HALVIK_TZ: 'Mars/Base'"},
        {"download --sim " + card_ + " --tz Nowhere", "", "--tz: 'Nowhere'"},
    };
    const auto kept = [this] {
        return std::distance(fs::directory_iterator(dir_ / "records"), fs::directory_iterator{});
    };
    const auto before = kept();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome run = RunCli(c.args, c.env);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(Has(run.err, c.err)) << run.err;
        if (c.err.starts_with("--tz: ") || c.err.starts_with("HALVIK_TZ")) {
            EXPECT_TRUE(Has(run.err, "timedatectl list-timezones")) << run.err;
        }
    }
    EXPECT_EQ(kept(), before);
}

// Without zone data (hidden in a private mount namespace) a zone is refused with the reason and
// UTC still works.
TEST_F(CliTimeBase, NoZoneData) {
    if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and unshare to hide the zone database";
    const std::string hide =
        "unshare -m sh -c 'mount -t tmpfs none /usr/share/zoneinfo && exec \"$0\" \"$@\"' ";
    const Outcome zone = RunCli("show --tz Europe/Berlin " + record_, hide);
    EXPECT_EQ(zone.status, 2);
    EXPECT_TRUE(Has(zone.err, "no time-zone data")) << zone.err;
    const Outcome utc = RunCli("show " + record_, hide);
    EXPECT_EQ(utc.status, 0) << utc.err;
}

}  // namespace
}  // namespace halvik
