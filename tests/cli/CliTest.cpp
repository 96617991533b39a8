// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-cli as a user meets it: the program run as a process with simulated cards written as
// card image files and records kept in a folder of the test's own (HALVIK_RECORDS_DIR).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "devicelink/sim/LoggerCard.h"
#include "records/Csv.h"
#include "records/RecordStore.h"

namespace halvik {
namespace {

namespace fs = std::filesystem;

using cli_test::Outcome;
using cli_test::ReadAll;

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-cli-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        records_ = dir_ / "records";
        ::setenv("HALVIK_RECORDS_DIR", records_.c_str(), 1);
        // The machine's own limit profiles and card memory stay out of the tests.
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs halvik-cli with `args`, in the folder `in` when one is given.
    Outcome RunCli(const std::string& args, const fs::path& in = {}) {
        return cli_test::RunCli(dir_, args, in.empty() ? "" : "cd " + in.string() + " &&");
    }

    // A card image with these °C values, one every six minutes from 12 January 2026 08:00.
    std::string Card(const std::string& name, const std::vector<double>& celsius,
                     std::array<uint8_t, 5> pid = {1, 2, 3, 4, 5}) {
        std::vector<CardReading> readings;
        for (double value : celsius)
            readings.push_back(EncodeReading(value));
        CardDateTime first;
        first.year = 2026;
        first.month = 1;
        first.day = 12;
        first.hour = 8;
        const fs::path path = dir_ / name;
        LoggerCardImage::Make(pid, first, readings).Save(path);
        return path.string();
    }
    std::string DayCard(const std::string& name = "day.bin") {
        std::vector<double> values;
        for (int i = 0; i < 240; ++i)
            values.push_back(std::round((4.0 + 3.0 * std::sin(i / 20.0)) * 16) / 16);
        return Card(name, values);
    }

    // Downloads `image` and returns the record's path from the last line.
    std::string Download(const std::string& image, const std::string& extra = "") {
        const Outcome run = RunCli("download --sim " + image + " " + extra);
        EXPECT_EQ(run.status, 0) << run.err;
        return RecordLine(run.out);
    }
    static std::string RecordLine(const std::string& out) {
        const auto at = out.rfind("record: ");
        if (at == std::string::npos || out.back() != '\n')
            return {};
        return out.substr(at + 8, out.size() - at - 9);
    }
    // A copy of `record` whose host name was changed after it was kept.
    std::string Changed(const std::string& record) {
        std::string text = ReadAll(record);
        const auto at = text.find("\"host\":\"");
        EXPECT_NE(at, std::string::npos);
        text[at + 8] = text[at + 8] == 'x' ? 'y' : 'x';
        const fs::path path = dir_ / "changed.halvik";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path dir_;
    fs::path records_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// ---- Command lines the program refuses or answers without a card ----

TEST_F(Cli, UsageAndInputErrors) {
    const std::string card = DayCard();
    const std::string record = Download(card);
    ASSERT_FALSE(record.empty());
    const std::string& foreign = card;  // a card image is no record
    const std::string other = (dir_ / "other.halvik").string(),
                      magic = (dir_ / "magic.csv").string();
    fs::copy_file(record, other);
    fs::copy_file(record, magic);  // a record by its content, whatever its name
    const std::string pdf = (dir_ / "x.pdf").string();
    struct Case {
        std::string args;
        int status;
        std::string out;  // part of standard output
        std::string err;  // part of standard error
    };
    const std::vector<Case> cases = {
        {"", 2, "", "halvik-cli: A subcommand is required"},
        {"bogus", 2, "", "halvik-cli: unknown command bogus"},
        {"--version", 0, "halvik-cli 0.1", ""},
        {"--help", 0, "download", ""},
        {"show --help", 0, "--limits", ""},
        {"show", 2, "", "halvik-cli: RECORD is required"},
        {"show " + record + " --unit K", 2, "", "--unit"},
        {"show " + record + " --limits 8:2", 2, "", "LOW is above HIGH"},
        {"show " + record + " --limits 2:abc", 2, "", "--limits"},
        {"show " + record + " --limits 2", 2, "", "--limits"},
        {"show " + record + " --limits nan:5", 2, "", "LOW and HIGH must be numbers"},
        {"show " + record + " --limits 1:inf", 2, "", "LOW and HIGH must be numbers"},
        {"show " + record + " --fail-on-excursion", 2, "", "--limits"},
        {"show " + (dir_ / "missing.halvik").string(), 2, "",
         (dir_ / "missing.halvik").string() + ": No such file"},
        {"show " + foreign, 2, "", foreign + ": it is not a Halvik record"},
        {"export " + record, 2, "", "--csv is required"},
        {"verify", 2, "", "RECORD is required"},
        {"download --sim " + card + " --pace slow", 2, "", "unknown pace 'slow'"},
        {"download --sim " + (dir_ / "none.bin").string(), 2, "", (dir_ / "none.bin").string()},
        {"download --sim " + card + " --card /dev/hidraw99", 2, "",
         "/dev/hidraw99: not a logger card"},
        {"download --card /etc/passwd", 2, "",
         "/etc/passwd: not a logger card; no logger card is plugged in"},
        {"download --sim " + card + " --unit X", 2, "", "--unit"},
        {"download --pace usb-fs", 2, "", "--pace requires --sim"},
        {"show " + record + " --limits 2,5:8", 2, "", "decimal separator as \".\""},
        // An option's value is never empty and never the next option.
        {"show " + record + " --limits '' --fail-on-excursion", 2, "",
         "--limits: the value is empty"},
        {"show " + record + " --limits= --json", 2, "", "--limits: the value is empty"},
        {"show " + record + " --limits --json", 2, "",
         "--limits needs a value, not the option --json"},
        {"show " + record + " --limits", 2, "", "--limits needs a value"},
        {"export " + record + " --csv ''", 2, "", "--csv: the value is empty"},
        {"export " + record + " --csv --unit", 2, "", "not the option --unit"},
        {"report " + record + " --data ''", 2, "", "--data: the value is empty"},
        // A record is never an output, whatever command and however it is named.
        {"export " + record + " --csv " + record, 2, "", "never overwritten"},
        {"export " + record + " --csv " + (records_ / "." / fs::path(record).filename()).string(),
         2, "", "never overwritten"},
        {"export " + record + " --csv " + other, 2, "", "never overwritten"},
        {"export " + record + " --csv " + magic, 2, "", "never overwritten"},
        {"report " + record + " --data " + record, 2, "", "never overwritten"},
        {"report " + record + " --data x.pdf --full " + other, 2, "", "never overwritten"},
        {"download --sim " + card + " --csv " + other, 2, "", "never overwritten"},
        // Two outputs never name one file.
        {"report " + record + " --data " + pdf + " --chart " + pdf, 2, "",
         "--data and --chart name the same file"},
        {"report " + record + " --data " + pdf + " --full " + (dir_ / "." / "x.pdf").string(), 2,
         "", "--data and --full name the same file"},
    };
    const std::string recordText = ReadAll(record), otherText = ReadAll(other),
                      magicText = ReadAll(magic);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome run = RunCli(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_TRUE(Has(run.out, c.out)) << run.out;
        EXPECT_TRUE(Has(run.err, c.err)) << run.err;
    }
    EXPECT_EQ(ReadAll(record), recordText);
    EXPECT_EQ(ReadAll(other), otherText);
    EXPECT_EQ(ReadAll(magic), magicText);
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_FALSE(fs::exists("x.pdf"));
}

// Records crafted to break a reader: each is refused by every command with a short reason, and
// one under the name the next download takes is passed over, the download kept beside it.
TEST_F(Cli, HostileRecordsAreRefusedWithAShortReason) {
    const std::string record = Download(DayCard());
    ASSERT_FALSE(record.empty());
    const std::string text = ReadAll(record);
    auto write = [this](const std::string& name, const std::string& content) {
        std::ofstream(dir_ / name, std::ios::binary) << content;
        return (dir_ / name).string();
    };
    std::string deep = text;
    const auto count = deep.find("\"count\":240");
    ASSERT_NE(count, std::string::npos);
    deep.replace(count + 8, 3, std::string(100000, '[') + std::string(100000, ']'));
    std::string twice = text;
    twice.insert(1, "\"unit\":\"F\",");
    std::string latin1 = text;
    latin1.insert(latin1.find("\"host\":\"") + 8, "\xE9");
    const std::pair<std::string, std::string> files[] = {
        {write("deep.halvik", deep), "nested more than 32 deep"},
        {write("twice.halvik", twice), "its \"unit\" field is given twice"},
        {write("latin1.halvik", latin1),
         "not UTF-8 at byte " + std::to_string(latin1.find('\xE9') + 1)},
    };
    for (const auto& [file, reason] : files) {
        for (const std::string command : {"verify ", "show ", "show --json ", "export --csv - "}) {
            SCOPED_TRACE(command + file);
            const Outcome run = RunCli(command + file);
            EXPECT_EQ(run.status, 2);
            EXPECT_TRUE(Has(run.out + run.err, reason)) << run.out << run.err;
            EXPECT_LT(run.out.size() + run.err.size(), 400u);
        }
    }
    const std::string name = fs::path(record).filename().string();
    fs::remove(record);
    fs::copy_file(dir_ / "deep.halvik", records_ / name);
    const std::string kept = Download(DayCard());
    EXPECT_EQ(fs::path(kept).filename().string(), name.substr(0, name.size() - 7) + "-2.halvik");
    EXPECT_EQ(RunCli("verify " + kept).status, 0);
}

// A file name with a newline or an escape sequence is printed on one line, escaped, so that no
// crafted name can forge another file's "ok" line.
TEST_F(Cli, NamesAreEscapedInLineOutput) {
    const std::string record = Download(DayCard());
    const fs::path forged = dir_ / "x.halvik: ok\nforged";
    fs::copy_file(record, forged);
    ::setenv("HALVIK_TEST_NAME", forged.c_str(), 1);
    const Outcome run = RunCli("verify \"$HALVIK_TEST_NAME\"");
    ::unsetenv("HALVIK_TEST_NAME");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, (dir_ / "x.halvik: ok\\nforged").string() + ": ok\n");
}

TEST_F(Cli, ListWithoutCardsSaysSo) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error))
        if (entry.path().filename().string().rfind("hidraw", 0) == 0)
            GTEST_SKIP() << "this machine has hidraw devices";
    for (const char* command : {"list", "download"}) {
        SCOPED_TRACE(command);
        const Outcome run = RunCli(command);
        EXPECT_EQ(run.status, std::string(command) == "list" ? 0 : 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "halvik-cli: no logger card is plugged in\n");
    }
}

// ---- Simulated cards ----

TEST_F(Cli, ListAndChooseAmongTwoCards) {
    const std::string a = Card("a.bin", {4.0, 5.0, 6.0}, {1, 1, 1, 1, 1});
    const std::string b = Card("b.bin", {7.0, 8.0}, {2, 2, 2, 2, 2});
    Outcome run = RunCli("list --sim " + a + " --sim " + b);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "/sim/hidraw1  PID 01 01 01 01 01  3 readings  ok\n"
              "/sim/hidraw2  PID 02 02 02 02 02  2 readings  ok\n");

    run = RunCli("download --sim " + a + " --sim " + b);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Has(run.err,
                    "several logger cards are plugged in; name one with --card:\n"
                    "  /sim/hidraw1\n  /sim/hidraw2\n"))
        << run.err;

    run = RunCli("download --sim " + a + " --sim " + b + " --card /sim/hidraw2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "PID            02 02 02 02 02\n"));
    EXPECT_TRUE(Has(run.out, "readings       2 (complete)\n"));
    EXPECT_EQ(fs::path(RecordLine(run.out)).filename(), "0202020202_20260112T0800Z_2.halvik");
}

TEST_F(Cli, DownloadKeepsTheRecordAndShowsIt) {
    const std::string card = Card("card.bin", {4.0, 5.5, 3.25});
    Outcome run = RunCli("download --sim " + card + " --pace usb-fs");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // not a terminal: no progress bar
    const std::string record = (records_ / "0102030405_20260112T0800Z_3.halvik").string();
    EXPECT_EQ(run.out,
              "PID            01 02 03 04 05\n"
              "first reading  2026-01-12T08:00:00Z\n"
              "last reading   2026-01-12T08:12:00Z\n"
              "readings       3 (complete)\n"
              "maximum        5.5 \u00b0C\n"
              "minimum        3.3 \u00b0C\n"
              "MKT            4.3 \u00b0C\n"
              "elapsed        0 Hour(s),  12 Minute(s)\n"
              "record: " +
                  record + "\n");
    const LoadedRecord kept = LoadRecord(record);
    EXPECT_TRUE(kept.intact);
    EXPECT_TRUE(kept.record.complete);
    EXPECT_EQ(kept.record.header.size(), 64u);  // the data bytes without the report ID
    EXPECT_EQ(kept.record.header[0], 1);
    EXPECT_EQ(kept.record.unit, TemperatureUnit::Celsius);
    EXPECT_EQ(kept.record.programVersion, "0.1");

    // The same download again names the same file.
    run = RunCli("download --sim " + card);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(RecordLine(run.out), record);
    EXPECT_TRUE(Has(run.err, "already kept"));

    // Fahrenheit, with the CSV on standard output and the summary on standard error. (The same
    // bytes in the other unit would be the download already kept.)
    const std::string other = Card("other.bin", {4.0, 5.5, 3.25, 3.0});
    run = RunCli("download --sim " + other + " --unit F --csv -");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string fahrenheit = RecordLine(run.err);
    ASSERT_NE(fahrenheit, record);
    const Record f = LoadRecord(fahrenheit).record;
    EXPECT_EQ(f.unit, TemperatureUnit::Fahrenheit);
    EXPECT_EQ(run.out, RecordCsv(f));
    EXPECT_TRUE(Has(run.err, "maximum        41.9 \u00b0F\n")) << run.err;

    // To a file.
    const fs::path csv = dir_ / "out.csv";
    run = RunCli("download --sim " + card + " --csv " + csv.string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadAll(csv), RecordCsv(kept.record));
}

TEST_F(Cli, NothingToKeep) {
    const std::string empty = Card("empty.bin", {});
    Outcome run = RunCli("download --sim " + empty);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "halvik-cli: /sim/hidraw1: the card holds no readings; nothing was kept\n");
    EXPECT_FALSE(fs::exists(records_));

    // A records folder that cannot be made: the download is not lost silently.
    std::ofstream(dir_ / "file") << "x";
    ::setenv("HALVIK_RECORDS_DIR", (dir_ / "file").c_str(), 1);
    run = RunCli("download --sim " + DayCard());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(
        Has(run.err, "The records folder " + (dir_ / "file").string() + " is a file, not a folder"))
        << run.err;
}

// A header whose clock is no real date: kept and shown, with the times unknown and a warning.
TEST_F(Cli, ImpossibleHeaderClock) {
    LoggerCardImage image = LoggerCardImage::Load(Card("c.bin", {4.0, 5.0}));
    image.MutableHeader()[9] = 13;  // month
    image.Save(dir_ / "c.bin");
    Outcome run = RunCli("download --sim " + (dir_ / "c.bin").string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "/sim/hidraw1: The card's header gives an impossible time"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "first reading  unknown\n")) << run.out;
    const std::string record = RecordLine(run.out);
    EXPECT_EQ(fs::path(record).filename(), "0102030405_notime_2.halvik");
    run = RunCli("show --json --limits 4:4.5 " + record);
    EXPECT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_TRUE(j["first_reading"].is_null());
    EXPECT_EQ(j["count"], 2);
    ASSERT_EQ(j["excursions"].size(), 1u);
    EXPECT_TRUE(j["excursions"][0]["start"].is_null());
    EXPECT_EQ(j["excursions"][0]["minutes"], 6);
}

// On a terminal the download draws a progress bar on standard error, up to its end.
TEST_F(Cli, ProgressBarOnATerminal) {
    if (std::system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "script (util-linux) is not installed";
    const std::string command = "script -qec '" + std::string(HALVIK_CLI) + " download --sim " +
                                DayCard() + " --pace usb-fs' /dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_TRUE(Has(out, "\r[          ")) << out;
    EXPECT_TRUE(Has(out, "\r[########################################] 100% Downloaded")) << out;
    EXPECT_TRUE(Has(out, "record: ")) << out;
}

TEST_F(Cli, AStalledCardKeepsAnIncompleteRecord) {
    const std::string card = DayCard();  // 240 readings: 8 reports
    const Outcome run = RunCli("download --sim " + card + " --pace stall-after:3");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "/sim/hidraw1: The card stopped sending: 96 of 240 readings"))
        << run.err;
    EXPECT_TRUE(Has(run.out, "readings       96 of 240 (incomplete)\n")) << run.out;
    const std::string record = RecordLine(run.out);
    const LoadedRecord kept = LoadRecord(record);
    EXPECT_TRUE(kept.intact);
    EXPECT_FALSE(kept.record.complete);
    EXPECT_EQ(kept.record.readings.size(), 3u * 64u);

    const Outcome shown = RunCli("show --json " + record);
    EXPECT_EQ(shown.status, 0) << shown.err;
    const auto json = nlohmann::json::parse(shown.out);
    EXPECT_EQ(json["complete"], false);
    EXPECT_EQ(json["count"], 96);
    EXPECT_EQ(json["last_reading"], "2026-01-12T17:30:00Z");
}

TEST_F(Cli, ExportVerifyAndChangedRecords) {
    const std::string record = Download(DayCard());
    const std::string changed = Changed(record);
    const std::string csv = RecordCsv(LoadRecord(record).record);

    Outcome run = RunCli("export " + record + " --csv -");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, csv);
    run = RunCli("export " + record + " --csv " + (dir_ / "x.csv").string());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadAll(dir_ / "x.csv"), csv);
    run = RunCli("export " + record + " --csv " + (dir_ / "no/such/x.csv").string());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, (dir_ / "no/such/x.csv").string())) << run.err;

    // A changed record is still shown and exported, with the finding.
    run = RunCli("export " + changed + " --csv -");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, csv);
    EXPECT_TRUE(Has(run.err, changed)) << run.err;
    run = RunCli("show " + changed);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.out, "digest         CHANGED")) << run.out;
    run = RunCli("show --json " + changed);
    EXPECT_EQ(nlohmann::json::parse(run.out)["intact"], false);

    const std::string missing = (dir_ / "missing.halvik").string();
    struct Case {
        std::string files;
        int status;
        std::vector<std::string> lines;  // the start of each line
    };
    const std::vector<Case> cases = {
        {record, 0, {record + ": ok"}},
        {record + " " + record, 0, {record + ": ok", record + ": ok"}},
        {record + " " + changed, 1, {record + ": ok", "The record " + changed}},
        {missing + " " + changed + " " + record,
         2,
         {"Cannot open the record " + missing, "The record " + changed, record + ": ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        run = RunCli("verify " + c.files);
        EXPECT_EQ(run.status, c.status);
        std::istringstream lines(run.out);
        std::string line;
        std::size_t n = 0;
        while (std::getline(lines, line)) {
            ASSERT_LT(n, c.lines.size()) << run.out;
            EXPECT_EQ(line.rfind(c.lines[n], 0), 0u) << line;
            ++n;
        }
        EXPECT_EQ(n, c.lines.size());
    }
}

// Output paths that are devices, links or pipes: written into, never replaced. Run as root in a
// private mount namespace with a tmpfs over /dev, so a wrong rename could only replace the
// namespace's own /dev/full or /dev/stdout.
TEST_F(Cli, OutputDevicesAreWrittenNotReplaced) {
    if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and unshare for a private /dev";
    const std::string record = Download(DayCard());
    const std::string csv = RecordCsv(LoadRecord(record).record);
    const std::string cli = HALVIK_CLI;
    struct Case {
        std::string output;  // the --csv path
        int status;
        std::string err;   // standard error contains this
        std::string kept;  // a shell test that must still hold afterwards
        bool csvOnStdout;
    };
    const std::vector<Case> cases = {
        {"/dev/full", 2, "/dev/full could not be written: No space left on device", "-c /dev/full",
         false},
        {"/dev/stdout", 0, "", "-L /dev/stdout", true},
        {"/dev/null", 0, "", "-c /dev/null", false},
        {"-", 0, "", "-c /dev/null", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const fs::path out = dir_ / "stdout", err = dir_ / "stderr", kept = dir_ / "kept";
        const std::string script =
            "mount --make-rprivate / && mount -t tmpfs none /dev && mknod -m 666 /dev/full c 1 7 "
            "&& mknod -m 666 /dev/null c 1 3 && ln -s /proc/self/fd/1 /dev/stdout || exit 99; " +
            cli + " export " + record + " --csv " + c.output + " >" + out.string() + " 2>" +
            err.string() + "; status=$?; test " + c.kept + " && echo kept >" + kept.string() +
            "; exit $status";
        const int raw = std::system(("unshare -m sh -c '" + script + "' </dev/null").c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        ASSERT_NE(WEXITSTATUS(raw), 99) << "the private /dev could not be made";
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << ReadAll(err);
        EXPECT_TRUE(Has(ReadAll(err), c.err)) << ReadAll(err);
        EXPECT_EQ(ReadAll(kept), "kept\n");
        EXPECT_EQ(ReadAll(out), c.csvOnStdout ? csv : "");
        fs::remove(kept);
    }
}

// Output that is lost is never a success: every command with standard output closed, and (as
// root, in a private /dev) full, exits 2 and says so. The download's record is kept all the same.
TEST_F(Cli, LostStandardOutputIsAnError) {
    const std::string card = DayCard();
    const std::string record = (dir_ / "kept.halvik").string();
    fs::copy_file(Download(card), record);
    const std::string cli = HALVIK_CLI;
    const bool privateDev = ::geteuid() == 0 && std::system("unshare -m true 2>/dev/null") == 0;
    const std::string commands[] = {"verify " + record,       "show " + record,
                                    "show --json " + record,  "list --sim " + card,
                                    "download --sim " + card, "export " + record + " --csv -"};
    for (const std::string redirect : {">&-", ">/dev/full"}) {
        const bool full = redirect == ">/dev/full";
        if (full && !privateDev)
            continue;  // a real /dev is left alone
        for (const std::string& command : commands) {
            SCOPED_TRACE(command + " " + redirect);
            fs::remove_all(records_);
            const fs::path err = dir_ / "stderr";
            const std::string run = cli + " " + command + " " + redirect + " 2>" + err.string();
            const std::string script =
                full ? "unshare -m sh -c 'mount --make-rprivate / && mount -t tmpfs none /dev && "
                       "mknod -m 666 /dev/full c 1 7 && mknod -m 666 /dev/null c 1 3 || exit 99; " +
                           run + "' </dev/null"
                     : run + " </dev/null";
            const int raw = std::system(script.c_str());
            ASSERT_TRUE(WIFEXITED(raw));
            EXPECT_EQ(WEXITSTATUS(raw), 2) << ReadAll(err);
            EXPECT_TRUE(Has(ReadAll(err), "halvik-cli: standard output could not be written"))
                << ReadAll(err);
            if (command.starts_with("download")) {
                EXPECT_FALSE(fs::is_empty(records_));
            }
        }
    }
}

// A CSV that cannot be written comes after the summary and the record's name: the record was
// kept, and the script learns both.
TEST_F(Cli, DownloadCsvThatCannotBeWrittenAfterTheRecordIsKept) {
    const std::string csv = (dir_ / "no-such-folder" / "readings.csv").string();
    const Outcome run = RunCli("download --sim " + DayCard() + " --csv " + csv);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.out, "maximum")) << run.out;
    const std::string record = RecordLine(run.out);
    EXPECT_TRUE(fs::exists(record)) << run.out;
    EXPECT_TRUE(Has(run.err, csv + " could not be written: No such file or directory")) << run.err;
}

// Where the records go, and why they cannot: no home, a file or a dangling link in the folder's
// place. Nothing is kept anywhere else.
TEST_F(Cli, RecordsFolderThatCannotBe) {
    const std::string card = DayCard();
    std::ofstream(dir_ / "file") << "x";
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    struct Case {
        std::string env;
        std::string err;
    };
    const Case cases[] = {
        {"env -u HALVIK_RECORDS_DIR -u XDG_DATA_HOME -u HOME",
         "HOME is not set. Set HALVIK_RECORDS_DIR"},
        {"env HALVIK_RECORDS_DIR=" + (dir_ / "file").string(),
         (dir_ / "file").string() + " is a file, not a folder"},
        {"env HALVIK_RECORDS_DIR=" + (dir_ / "dangling").string(),
         "is a symbolic link to " + (dir_ / "nowhere").string() + ", which does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.env);
        const fs::path err = dir_ / "stderr";
        const std::string command = "cd " + dir_.string() + " && " + c.env + " " + HALVIK_CLI +
                                    " download --sim " + card + " >/dev/null 2>" + err.string();
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2);
        EXPECT_TRUE(Has(ReadAll(err), c.err)) << ReadAll(err);
        EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
        EXPECT_FALSE(fs::exists(dir_ / ".local"));
    }
}

// ---- The limit analysis through show --json: times, JSON shape, units ----

struct LimitCase {
    const char* name;
    std::vector<double> celsius;
    std::string args;  // --limits and --unit
    int inRange, above, below;
    // side, start, end, minutes, peak
    std::vector<std::tuple<const char*, const char*, const char*, int, double>> excursions;
};

class Limits : public Cli, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(Limits, ShowJson) {
    const LimitCase& c = GetParam();
    const std::string record = Download(Card("limits.bin", c.celsius));
    const Outcome run = RunCli("show --json " + record + " " + c.args);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["in_range_minutes"], c.inRange);
    EXPECT_EQ(j["above_minutes"], c.above);
    EXPECT_EQ(j["below_minutes"], c.below);
    ASSERT_EQ(j["excursions"].size(), c.excursions.size()) << run.out;
    for (std::size_t i = 0; i < c.excursions.size(); ++i) {
        const auto& [side, start, end, minutes, peak] = c.excursions[i];
        const auto& e = j["excursions"][i];
        EXPECT_EQ(e.size(), 5u);
        EXPECT_EQ(e["side"], side);
        EXPECT_EQ(e["start"], start);
        EXPECT_EQ(e["end"], end);
        EXPECT_EQ(e["minutes"], minutes);
        EXPECT_DOUBLE_EQ(e["peak"].get<double>(), peak);
    }
    // --fail-on-excursion turns an excursion into exit status 1.
    const Outcome failing = RunCli("show " + record + " " + c.args + " --fail-on-excursion");
    EXPECT_EQ(failing.status, c.excursions.empty() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Limits,
    ::testing::Values(
        LimitCase{"NoExcursion", {2.0, 5.0, 8.0}, "--limits 2:8", 18, 0, 0, {}},
        LimitCase{"OneAtTheStart",
                  {9.0, 10.5, 5.0, 5.0},
                  "--limits 2:8",
                  12,
                  12,
                  0,
                  {{"above", "2026-01-12T08:00:00Z", "2026-01-12T08:12:00Z", 12, 10.5}}},
        LimitCase{"OneAtTheEndBelow",
                  {5.0, 5.0, 1.5, -0.5},
                  "--limits=2:8",
                  12,
                  0,
                  12,
                  {{"below", "2026-01-12T08:12:00Z", "2026-01-12T08:24:00Z", 12, -0.5}}},
        LimitCase{"TwoApartOnOneSide",
                  {9.0, 1.0, 9.5},
                  "--limits -1.5:8",  // a negative low limit
                  6,
                  12,
                  0,
                  {{"above", "2026-01-12T08:00:00Z", "2026-01-12T08:06:00Z", 6, 9.0},
                   {"above", "2026-01-12T08:12:00Z", "2026-01-12T08:18:00Z", 6, 9.5}}},
        LimitCase{"AlternatingSidesEveryReadingOut",
                  {9.0, 1.0, 9.5},
                  "--limits 2:8",
                  0,
                  12,
                  6,
                  {{"above", "2026-01-12T08:00:00Z", "2026-01-12T08:06:00Z", 6, 9.0},
                   {"below", "2026-01-12T08:06:00Z", "2026-01-12T08:12:00Z", 6, 1.0},
                   {"above", "2026-01-12T08:12:00Z", "2026-01-12T08:18:00Z", 6, 9.5}}},
        // 39.2 and 46.4 °F are 4.0 and 8.0 °C: exactly on the limits, in range.
        LimitCase{"FahrenheitOnTheLimits",
                  {4.0, 8.0, 8.5},
                  "--unit F --limits 39.2:46.4",
                  12,
                  6,
                  0,
                  {{"above", "2026-01-12T08:12:00Z", "2026-01-12T08:18:00Z", 6, 47.3}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, ShowTextWithLimits) {
    const std::string record = Download(Card("card.bin", {4.0, 9.0, 9.5, 1.5}));
    const Outcome run = RunCli("show " + record + " --limits 2.25:8");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(Has(run.out,
                    "readings       4 (complete)\n"
                    "maximum        9.5 \u00b0C\n"))
        << run.out;
    EXPECT_TRUE(Has(run.out,
                    "digest         intact\n"
                    "limits         2.25 to 8 \u00b0C\n"
                    "in range       6 min\n"
                    "above          12 min\n"
                    "below          6 min\n"
                    "excursion      above 2026-01-12T08:06:00Z to 2026-01-12T08:18:00Z, "
                    "12 min, peak 9.5 \u00b0C\n"
                    "excursion      below 2026-01-12T08:18:00Z to 2026-01-12T08:24:00Z, "
                    "6 min, peak 1.5 \u00b0C\n"))
        << run.out;
}

// show says in its text and JSON what the window says of a download: statistics of 100 and above
// at one decimal (the window's captions keep three digits), no statistics when no reading is a
// temperature, readings left out, a header announcing more than a card holds, a clock that is
// no real time.
TEST_F(Cli, ShowSaysWhatTheWindowSays) {
    struct Case {
        const char* name;
        std::vector<double> values;
        std::function<void(Record&)> change;
        std::vector<std::string> text;  // lines of the text output
        nlohmann::json json;            // members of the JSON output
    };
    const auto none = [](Record&) {};
    const Case cases[] = {
        {"hundreds",
         {100.5, 99.5, 98.0},
         none,
         {"maximum        100.5 \u00b0C\n", "minimum        98.0 \u00b0C\n",
          "MKT            99.4 \u00b0C\n"},
         {{"max", 100.5}, {"min", 98.0}, {"mkt", 99.4}, {"warnings", nlohmann::json::array()}}},
        {"no reading is a temperature",
         {-300.0, -300.0},
         none,
         {"maximum        n/a\n", "MKT            n/a\n",
          "warning        2 readings cannot be real temperatures"},
         {{"max", nullptr}, {"min", nullptr}, {"mkt", nullptr}, {"left_out", {1, 2}}}},
        {"one left out",
         {4.0, -300.0, 5.0},
         none,
         {"maximum        5.0 \u00b0C\n",
          "warning        1 reading cannot be a real temperature (not a finite number, or below "
          "absolute zero)."},
         {{"max", 5.0}, {"min", 4.0}, {"left_out", {2}}}},
        {"header announces 20000",
         {4.0},
         [](Record& r) {
             r.header[19] = 20000 >> 8;
             r.header[20] = 20000 & 0xFF;
             r.readings.resize(2 * 14400, 0x80);
         },
         {"readings       14400 (complete)\n", "warning        The card's header announces 20000"},
         {{"announced", 14400}, {"header_count", 20000}}},
        {"clock that is no time",
         {4.0, 5.0},
         [](Record& r) { r.header[9] = 13; },
         {"first reading  unknown\n", "warning        The card's header gives an impossible time"},
         {{"first_reading", nullptr}, {"clock_valid", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Record record = LoadRecord(Download(Card("card.bin", c.values))).record;
        c.change(record);
        const fs::path path = dir_ / "shown.halvik";
        std::ofstream(path, std::ios::binary) << RecordText(record);
        Outcome run = RunCli("show " + path.string());
        EXPECT_EQ(run.status, 0) << run.err;
        for (const std::string& line : c.text)
            EXPECT_TRUE(Has(run.out, line)) << run.out;
        run = RunCli("show --json " + path.string());
        EXPECT_EQ(run.status, 0) << run.err;
        const auto j = nlohmann::json::parse(run.out);
        for (const auto& [name, value] : c.json.items())
            EXPECT_EQ(j[name], value) << name;
        EXPECT_EQ(j["warnings"].empty(), c.json.contains("warnings"));
        fs::remove_all(records_);
    }
}

TEST_F(Cli, ShowJsonShape) {
    const std::string record = Download(Card("card.bin", {4.0, 5.5, 3.25}));
    const Outcome run = RunCli("show --json --unit F " + record);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.back(), '\n');
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["pid"], "01 02 03 04 05");
    EXPECT_EQ(j["first_reading"], "2026-01-12T08:00:00Z");
    EXPECT_EQ(j["last_reading"], "2026-01-12T08:12:00Z");
    EXPECT_EQ(j["count"], 3);
    EXPECT_EQ(j["complete"], true);
    EXPECT_EQ(j["unit"], "F");
    EXPECT_DOUBLE_EQ(j["max"].get<double>(), 41.9);
    EXPECT_DOUBLE_EQ(j["min"].get<double>(), 37.8);  // 37.85 as the grid rounds it
    EXPECT_TRUE(j["mkt"].is_number());
    EXPECT_EQ(j["intact"], true);
    EXPECT_FALSE(j.contains("limits"));
    EXPECT_FALSE(j.contains("excursions"));
}

}  // namespace
// File names are bytes, JSON text is Unicode: a name that is UTF-8 is given as it is; any other
// gets valid text (U+FFFD for each byte that is not UTF-8) and its exact bytes in hex beside it,
// in show --json and records --json alike, and the name given back opens the record.
TEST_F(Cli, JsonGivesBackEveryFileNameExactly) {
    const std::string record = Download(DayCard());
    struct Case {
        const char* name;
        const char* text;  // what "name" reads as
        bool bytes;        // with a "name_bytes" member
    };
    const Case cases[] = {
        {"plain.halvik", "plain.halvik", false},
        {"caf\xc3\xa9.halvik", "caf\xc3\xa9.halvik", false},
        {"caf\xe9.halvik", "caf\xef\xbf\xbd.halvik", true},
        {"\xff\xfe\x80.halvik", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.halvik", true},
        {"half\xe2\x82.halvik", "half\xef\xbf\xbd.halvik", true},
    };
    const auto hex = [](const std::string& bytes) {
        std::string out;
        for (const unsigned char c : bytes) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", c);
            out += two;
        }
        return out;
    };
    const auto unhex = [](const std::string& digits) {
        std::string out;
        for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
            out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
        return out;
    };
    for (const Case& c : cases)
        fs::copy_file(record, records_ / c.name);
    fs::remove(record);

    const Outcome listed = RunCli("records --json");
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto list = nlohmann::json::parse(listed.out);  // valid JSON whatever the names
    ASSERT_EQ(list.size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.name));
        const fs::path path = records_ / c.name;
        const auto found = std::find_if(list.begin(), list.end(), [&](const auto& r) {
            return r.at("name") == c.text &&
                   (!c.bytes || unhex(r.value("name_bytes", "")) == c.name);
        });
        ASSERT_NE(found, list.end()) << listed.out;
        EXPECT_EQ(found->contains("name_bytes"), c.bytes);
        EXPECT_EQ(found->contains("file_bytes"), c.bytes);
        const std::string file = c.bytes ? unhex(found->at("file_bytes").get<std::string>())
                                         : found->at("file").get<std::string>();
        EXPECT_EQ(file, path.string());

        const Outcome shown = RunCli("show --json " + file);
        EXPECT_EQ(shown.status, 0) << shown.err;
        const auto j = nlohmann::json::parse(shown.out);
        EXPECT_EQ(j.at("file"), (records_.string() + "/") + c.text);
        EXPECT_EQ(j.contains("file_bytes"), c.bytes);
        if (c.bytes) {
            EXPECT_EQ(unhex(j.at("file_bytes").get<std::string>()), path.string());
        }
    }
}

TEST_F(Cli, ReportWritesTheTwoPdfFilesOrSaysWhyNot) {
    const std::string record = Download(DayCard());
    const fs::path data = dir_ / "data.pdf", chart = dir_ / "chart.pdf";
    Outcome run = RunCli("report " + record + " --data " + data.string() + " --chart " +
                         chart.string() + " --unit F");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadAll(data).rfind("%PDF-1.2", 0), 0u);
    EXPECT_EQ(ReadAll(chart).rfind("%PDF-1.2", 0), 0u);
    EXPECT_TRUE(Has(ReadAll(data), "\260F")) << "the report's unit is °F";

    const fs::path nowhere = dir_ / "no" / "such" / "data.pdf";
    run = RunCli("report " + record + " --data " + nowhere.string());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, nowhere.string())) << run.err;
    run = RunCli("report " + (dir_ / "missing.halvik").string() + " --data " + data.string());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, "missing.halvik")) << run.err;
    // A record changed after its download is still reported, and both pages say so; an intact
    // record's pages do not.
    const auto pdfText = [](const fs::path& pdf) {
        const fs::path text = pdf.string() + ".txt";
        EXPECT_EQ(std::system(("pdftotext " + pdf.string() + " " + text.string()).c_str()), 0);
        return ReadAll(text);
    };
    for (const fs::path& pdf : {data, chart})
        EXPECT_FALSE(Has(pdfText(pdf), "CHANGED AFTER DOWNLOAD")) << pdf;
    run = RunCli("report " + Changed(record) + " --data " + data.string() + " --chart " +
                 chart.string());
    EXPECT_EQ(run.status, 1);  // written, with the finding
    EXPECT_TRUE(Has(run.err, "changed.halvik")) << run.err;
    for (const fs::path& pdf : {data, chart})
        EXPECT_TRUE(Has(pdfText(pdf), "CHANGED AFTER DOWNLOAD: do not trust these values\n"))
            << pdf;

    // A file name is bytes: what verify can read, report can read too, and it never waits on a
    // message box nobody can see (the timeout turns a hang into a failure).
    const fs::path latin1 = dir_ / "caf\xe9.halvik";
    fs::copy_file(record, latin1);
    run = RunCli("verify " + latin1.string());
    EXPECT_EQ(run.status, 0) << run.err;
    fs::remove(data);
    run = RunCli("report " + latin1.string() + " --data " + data.string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadAll(data).rfind("%PDF-1.2", 0), 0u);
    // A record named like an option, given after "--".
    fs::copy_file(record, dir_ / "-dash.halvik");
    fs::remove(data);
    run = RunCli("report --data " + data.string() + " -- -dash.halvik", dir_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadAll(data).rfind("%PDF-1.2", 0), 0u);
}

}  // namespace halvik
