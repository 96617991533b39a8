// SPDX-License-Identifier: GPL-3.0-or-later
// Limit profiles and alarm rules through halvik-cli run as a process: show and download under a
// profile or rules, the exit status with --fail-on-alarm, the profile list, and bad profiles.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

class ReviewCli : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-review-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ::setenv("HALVIK_RECORDS_DIR", (dir_ / "records").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        profiles_ = dir_ / "config" / "halvik" / "profiles";
        // A fridge at 5 °C from 12 January 2026 08:00: 30 minutes at 9 °C from 09:00 and
        // 18 minutes at 1 °C from 11:30.
        std::vector<CardReading> readings;
        auto add = [&readings](double celsius, int times) {
            for (int i = 0; i < times; ++i)
                readings.push_back(EncodeReading(celsius));
        };
        add(5.0, 10);
        add(9.0, 5);
        add(5.0, 10);
        add(1.0, 3);
        add(5.0, 10);
        CardDateTime first;
        first.year = 2026;
        first.month = 1;
        first.day = 12;
        first.hour = 8;
        card_ = (dir_ / "fridge.bin").string();
        LoggerCardImage::Make({1, 2, 3, 4, 5}, first, readings).Save(card_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Outcome Run(const std::string& args) { return cli_test::RunCli(dir_, args); }
    std::string Download(const std::string& extra = "") {
        const Outcome run = Run("download --sim " + card_ + " " + extra);
        const auto at = run.out.rfind("record: ");
        EXPECT_NE(at, std::string::npos) << run.err;
        return at == std::string::npos ? "" : run.out.substr(at + 8, run.out.size() - at - 9);
    }
    void Profile(const std::string& name, const std::string& text) {
        fs::create_directories(profiles_);
        std::ofstream(profiles_ / name) << text;
    }

    fs::path dir_, profiles_;
    std::string card_;
};

TEST_F(ReviewCli, ShowUnderProfilesAndRules) {
    const std::string record = Download();
    ASSERT_FALSE(record.empty());
    const std::string mine = (dir_ / "mine.toml").string();
    std::ofstream(mine) << "name = \"Mine\"\nlow = 2\nhigh = 8\nrules = [\">8.5 for 12min\"]\n";
    const std::string bad = (dir_ / "bad.toml").string();
    std::ofstream(bad) << "name = \"Bad\"\nrules = [\">8 for 30 s\"]\n";
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> out;  // parts of standard output
        std::string err;               // part of standard error
    };
    const std::vector<Case> cases = {
        {"--profile refrigerated-2-8",
         0,
         {"profile        refrigerated-2-8 (range 2.0 to 8.0 \u00b0C)",
          "verdict        ALARM: >8.0 \u00b0C, triggered 2026-01-12T09:06:00Z",
          "time in range  180 min (78.9 %)", "time above     30 min (13.2 %)",
          "time below     18 min (7.9 %)",
          "rule           <2.0 \u00b0C: triggered 2026-01-12T10:36:00Z, total 18 min, longest 18 "
          "min, 1 run",
          "out of range   above 2026-01-12T09:00:00Z to 2026-01-12T09:30:00Z, 30 min, peak 9.0 "
          "\u00b0C (9.0 to 9.0 \u00b0C)",
          "out of range   below 2026-01-12T10:30:00Z to 2026-01-12T10:48:00Z, 18 min"},
         ""},
        {"--profile refrigerated-2-8 --fail-on-alarm", 1, {"verdict        ALARM"}, ""},
        // The unit shown never changes what a rule means.
        {"--unit F --profile refrigerated-2-8 --fail-on-alarm",
         1,
         {"maximum        48.2 \u00b0F", "verdict        ALARM: >8.0 \u00b0C, triggered"},
         ""},
        {"--profile vaccine-refrigerator --fail-on-alarm", 0, {"verdict        OK\n"}, ""},
        // Times follow the shown clock.
        {"--tz Europe/Berlin --profile refrigerated-2-8",
         0,
         {"verdict        ALARM: >8.0 \u00b0C, triggered 2026-01-12T10:06:00+01:00"},
         ""},
        {"--alarm '>8 for 30min' --alarm '>46.4F for 36min' --limits 2:8 --fail-on-alarm",
         1,
         {"profile        command line (range 2.0 to 8.0 \u00b0C)",
          "verdict        ALARM: >8.0 \u00b0C for 30 min, triggered 2026-01-12T09:30:00Z",
          "rule           >8.0 \u00b0C for 36 min: not triggered, total 30 min",
          "limits         2 to 8 \u00b0C"},
         ""},
        // --limits in the shown unit makes the range of --alarm's profile in °C.
        {"--unit F --alarm '<2' --limits 35.6:46.4", 0, {"(range 2.0 to 8.0 \u00b0C)"}, ""},
        {"--alarm 'mkt>25' --fail-on-alarm",
         0,
         {"MKT >25.0 \u00b0C: not triggered, MKT 5.4 \u00b0C"},
         ""},
        {"--profile " + mine + " --alarm '<0'",
         0,
         {"profile        Mine", "verdict        ALARM"},
         ""},
        {"--alarm '>8 fo 30min'", 2, {}, "--alarm: rule '>8 fo 30min', at 4: unknown word 'fo'"},
        {"--alarm '>8 for 2y'", 2, {}, "unknown unit 'y'"},
        {"--profile nosuch", 2, {}, "no profile is named 'nosuch'"},
        {"--profile " + bad, 2, {}, "bad.toml:2: rule '>8 for 30 s', at 11: unknown unit 's'"},
        {"--profile " + (dir_ / "gone.toml").string(), 2, {}, "gone.toml could not be read"},
        {"--fail-on-alarm", 2, {}, "--fail-on-alarm needs --profile or --alarm"},
    };
    for (const Case& c : cases) {
        const Outcome run = Run("show " + record + " " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out << run.err;
        for (const std::string& part : c.out)
            EXPECT_TRUE(Has(run.out, part)) << c.args << "\nwanted: " << part << "\n" << run.out;
        if (!c.err.empty()) {
            EXPECT_TRUE(Has(run.err, c.err)) << c.args << "\n" << run.err;
        }
        if (c.status == 2) {
            EXPECT_EQ(run.out, "") << c.args;
        }
    }
}

TEST_F(ReviewCli, ShowJsonFields) {
    const std::string record = Download();
    const Outcome run = Run("show " + record + " --json --profile refrigerated-2-8");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["verdict"], "ALARM");
    EXPECT_EQ(j["profile"]["name"], "refrigerated-2-8");
    EXPECT_EQ(j["profile"]["low"], 2.0);
    EXPECT_EQ(j["profile"]["rules"], nlohmann::json({"<2.0", ">8.0"}));
    ASSERT_EQ(j["rules"].size(), 2u);
    EXPECT_EQ(j["rules"][1]["rule"], ">8.0");
    EXPECT_EQ(j["rules"][1]["triggered"], true);
    EXPECT_EQ(j["rules"][1]["at"], "2026-01-12T09:06:00Z");
    EXPECT_EQ(j["rules"][1]["total_minutes"], 30);
    EXPECT_EQ(j["rules"][1]["longest_minutes"], 30);
    EXPECT_EQ(j["rules"][1]["runs"], 1);
    EXPECT_EQ(j["range"]["in_range_minutes"], 180);
    EXPECT_EQ(j["range"]["in_range_percent"], 78.95);
    ASSERT_EQ(j["range"]["excursions"].size(), 2u);
    const auto& below = j["range"]["excursions"][1];
    EXPECT_EQ(below["side"], "below");
    EXPECT_EQ(below["start"], "2026-01-12T10:30:00Z");
    EXPECT_EQ(below["end"], "2026-01-12T10:48:00Z");
    EXPECT_EQ(below["minutes"], 18);
    EXPECT_EQ(below["peak"], 1.0);
    // Without a profile, none of it.
    const auto plain = nlohmann::json::parse(Run("show " + record + " --json").out);
    for (const char* key : {"profile", "verdict", "rules", "range"})
        EXPECT_FALSE(plain.contains(key)) << key;
}

TEST_F(ReviewCli, ProfilesListAndBadFiles) {
    Profile("shelf.toml", "name = \"Shelf 3\"\nhigh = \"46.4F\"\nrules = [\">8 total 1h\"]\n");
    Outcome run = Run("profiles");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* part :
         {"vaccine-refrigerator  (preset: ", "    rules  <=-0.5 for 1h, >8.0 for 10h\n",
          "shipping-indicator", "refrigerated-2-8", "frozen-food", "    range  up to -18.0 \u00b0C",
          "controlled-room", "mkt>25.0", "Shelf 3  (", "shelf.toml)\n    range  up to 8.0 \u00b0C"})
        EXPECT_TRUE(Has(run.out, part)) << part << "\n" << run.out;
    // A file name that is not UTF-8 (Latin-1 here) keeps its bytes in "file_bytes".
    Profile("caf\xe9.toml", "name = \"Cafe\"\nhigh = 8\n");
    const auto list = nlohmann::json::parse(Run("profiles --json").out);
    EXPECT_EQ(list.front()["preset"], true);
    EXPECT_FALSE(list.front().contains("file_bytes"));
    const auto named = [&list](const char* name) {
        for (const auto& one : list)
            if (one["name"] == name)
                return one;
        ADD_FAILURE() << name << " not listed";
        return nlohmann::json();
    };
    const auto shelf = named("Shelf 3"), cafe = named("Cafe");
    EXPECT_EQ(shelf["preset"], false);
    EXPECT_EQ(shelf["file"], (profiles_ / "shelf.toml").string());
    EXPECT_FALSE(shelf.contains("file_bytes"));
    EXPECT_EQ(cafe["file"], profiles_.string() + "/caf\xef\xbf\xbd.toml");
    std::string hex;
    for (const unsigned char c : (profiles_ / "caf\xe9.toml").string()) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    EXPECT_EQ(cafe["file_bytes"], hex);
    fs::remove(profiles_ / "caf\xe9.toml");

    // A bad file and a second profile of one name: said, the others still listed, exit 2.
    Profile("broken.toml", "low = 8\nhigh = 2\n");
    Profile("twin.toml", "name = \"Shelf 3\"\n");
    run = Run("profiles");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.out, "Shelf 3")) << run.out;
    EXPECT_TRUE(Has(run.err, "broken.toml: the range's low end 8.0 \u00b0C is above")) << run.err;
    EXPECT_TRUE(Has(run.err, "twin.toml: the name 'Shelf 3' is already the profile of")) << run.err;
}

TEST_F(ReviewCli, DownloadRemembersTheCardsProfile) {
    // A profile that cannot be found stops the download before anything is kept.
    Outcome run = Run("download --sim " + card_ + " --profile nosuch");
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(fs::exists(dir_ / "records"));

    run = Run("download --sim " + card_ + " --profile refrigerated-2-8 --fail-on-alarm");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Has(run.out, "verdict        ALARM: >8.0 \u00b0C, triggered")) << run.out;
    EXPECT_TRUE(Has(run.out, "\nrecord: ")) << run.out;
    // The next download of the card is reviewed the same way without being asked.
    run = Run("download --sim " + card_);
    EXPECT_TRUE(Has(run.out, "profile        refrigerated-2-8")) << run.out;
    run = Run("download --sim " + card_ + " --profile vaccine-refrigerator --fail-on-alarm");
    EXPECT_EQ(run.status, 0) << run.err;
    run = Run("download --sim " + card_);
    EXPECT_TRUE(Has(run.out, "profile        vaccine-refrigerator")) << run.out;
}

}  // namespace
}  // namespace halvik
