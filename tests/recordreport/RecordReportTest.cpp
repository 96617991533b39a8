// SPDX-License-Identifier: GPL-3.0-or-later
// The record report as a reader meets it: files checked by qpdf, their text read by pdftotext
// and page 1 rendered by pdftoppm; halvik-cli report --full run as a process.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "PdfTools.h"
#include "RecordSamples.h"
#include "analysis/Statistics.h"
#include "pdf/PdfStreams.h"
#include "recordreport/RecordReport.h"
#include "records/Csv.h"
#include "review/Profiles.h"

namespace halvik {
namespace {

using namespace halvik::testing;
namespace fs = std::filesystem;

LoadedRecord Loaded(const Record& record, bool intact = true) {
    LoadedRecord loaded;
    loaded.record = record;
    loaded.intact = intact;
    if (!intact)
        loaded.problem = "changed";
    return loaded;
}

RecordReportOptions Options(TemperatureUnit unit = TemperatureUnit::Celsius) {
    RecordReportOptions options;
    options.unit = unit;
    options.recordName = "fridge.halvik";
    options.generatedAt =
        std::chrono::sys_days(std::chrono::year{2026} / 12 / 10) + std::chrono::hours(16);
    return options;
}

int PdfPages(const std::string& path) {
    const ToolResult r = RunTool("pdfinfo " + Quote(path));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::smatch m;
    const std::regex pages("Pages:\\s+(\\d+)");
    return std::regex_search(r.output, m, pages) ? std::stoi(m[1]) : -1;
}

std::vector<std::string> Pages(const std::string& text) {
    std::vector<std::string> pages;
    std::size_t start = 0, end;
    while ((end = text.find('\f', start)) != std::string::npos) {
        pages.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pages;
}

// A record with readings of the given °C values (in steps the card's format holds exactly).
Record RecordOf(const std::vector<std::pair<int, int>>& bytes, int announced, bool complete) {
    test::HeaderFields fields{
        .hour = 8, .minute = 0, .second = 0, .day = 12, .month = 1, .year = 26, .count = announced};
    Record record = test::SampleRecord(0, fields);
    record.readings.clear();
    for (auto [e, m] : bytes) {
        record.readings.push_back(static_cast<std::uint8_t>(e));
        record.readings.push_back(static_cast<std::uint8_t>(m));
    }
    record.complete = complete;
    return record;
}

// Runs of blanks as one, so that columns read as lines of words.
std::string Squeezed(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    return out;
}

class RecordReportFiles : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_;
};

struct ReportCase {
    const char* name;
    int count;
    int announced;  // -1: as many as there are
    bool intact;
    TemperatureUnit unit;
    bool limits;
    const char* decimal;
    PaperSize paper;
    std::vector<const char*> texts;  // found in the extracted text
    bool profile = false;            // judged by a profile whose rules trigger, not by `limits`
};

// Every size and kind of record gives a clean file with the planned number of pages and says
// what it must about completeness, changes, units and separators.
TEST_F(RecordReportFiles, EveryKindOfRecordGivesACleanFileWithThePlannedPages) {
    const TemperatureUnit C = TemperatureUnit::Celsius, F = TemperatureUnit::Fahrenheit;
    const std::vector<ReportCase> cases = {
        {"none", 0, -1, true, C, false, ".", PaperSize::A4, {"none arrived", "page 2 of 2"}},
        {"one", 1, -1, true, C, true, ".", PaperSize::A4, {"1 of 1 readings", "page 3 of 3"}},
        {"three-f", 3, -1, true, F, true, ".", PaperSize::Letter, {"°F", "3 of 3 readings"}},
        {"incomplete",
         224,
         1000,
         true,
         C,
         false,
         ".",
         PaperSize::A4,
         {"INCOMPLETE: 224 of 1,000 readings"}},
        {"changed",
         30,
         -1,
         false,
         C,
         true,
         ".",
         PaperSize::A4,
         {"CHANGED AFTER DOWNLOAD: do not trust these values", "ALARM"}},
        {"finnish", 30, -1, true, C, true, ",", PaperSize::A4, {"Range", "4,0 to 8,0 °C"}},
        {"persian",
         30,
         -1,
         true,
         C,
         false,
         "\u066B",
         PaperSize::A4,
         {"30 of 30 readings", "2026-01-12 08:00"}},
        {"full",
         14400,
         -1,
         true,
         F,
         true,
         ".",
         PaperSize::A4,
         {"14,400 of 14,400 readings", "continued on the next page", "Excursions (continued)"}},
        {"full-profile",
         14400,
         -1,
         true,
         F,
         false,
         ".",
         PaperSize::A4,
         {"Profile controlled-room", "ALARM: <15.0 °C", "Action taken",
          "H above the range, L below"},
         true},
        {"incomplete-profile",
         224,
         1000,
         false,
         C,
         false,
         ",",
         PaperSize::Letter,
         {"INCOMPLETE: 224 of 1 000 readings", "Range 20,0 to 25,0 °C", "MKT >25,0 °C", "ALARM"},
         true},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::HeaderFields fields{.hour = 8,
                                  .minute = 0,
                                  .second = 0,
                                  .day = 12,
                                  .month = 1,
                                  .year = 26,
                                  .count = c.announced};
        Record record = test::SampleRecord(c.count, fields);
        record.complete = c.announced < 0;
        RecordReportOptions options = Options(c.unit);
        options.paper = c.paper;
        options.locale.decimalSeparator = c.decimal;
        if (c.limits)
            options.limits =
                c.unit == F ? RecordReportLimits{39.2, 46.4} : RecordReportLimits{4, 8};
        // 20 to 25 °C with four rules, one of which (<15) every sample record meets.
        if (c.profile)
            options.review =
                ReviewForRecordReport(record, ResolveProfile("controlled-room", dir_).profile);
        const std::string path = dir_ + "/" + c.name + ".pdf";
        const LoadedRecord loaded = Loaded(record, c.intact);
        WriteRecordReport(loaded, options, path);
        ExpectQpdfClean(path);
        const int planned = PlanRecordReport(loaded, options).TotalPages();
        EXPECT_EQ(PdfPages(path), planned);
        const std::string text = PdfText(path);
        const std::string words = Squeezed(text);
        for (const char* expected : c.texts)
            EXPECT_NE(words.find(expected), std::string::npos) << expected;
        // A separator the fonts cannot draw is never printed as "?".
        EXPECT_EQ(text.find('?'), std::string::npos);
        const std::vector<std::string> pages = Pages(text);
        ASSERT_EQ(static_cast<int>(pages.size()), planned);
        for (int p = 0; p < planned; ++p) {
            const std::string& page = pages[static_cast<std::size_t>(p)];
            EXPECT_NE(page.find("page " + std::to_string(p + 1) + " of " + std::to_string(planned)),
                      std::string::npos)
                << "page " << p + 1;
            EXPECT_NE(page.find("fridge.halvik"), std::string::npos);
            EXPECT_EQ(page.find("CHANGED AFTER DOWNLOAD") != std::string::npos, !c.intact)
                << "page " << p + 1;
        }
        if (c.count == 14400) {
            // A full card stays small with its chart of every reading: page 1 (the first
            // content stream in the file, chart and all) under 150 kB, the file under 600 kB.
            EXPECT_LT(fs::file_size(path), 600u * 1024);
            const std::string bytes = ReadFile(path);
            std::smatch length;
            ASSERT_TRUE(std::regex_search(bytes, length, std::regex("/Length (\\d+)")));
            EXPECT_LT(std::stoul(length[1]), 150u * 1024);
        }
    }
}

// Every reading of a full card is in the readings pages, in order, equal to the CSV export.
TEST_F(RecordReportFiles, ReadingsPagesHoldEveryReadingAsTheCsvHasIt) {
    const LoadedRecord loaded = Loaded(test::SampleRecord(14400));
    const RecordReportOptions options = Options();
    const std::string path = dir_ + "/full.pdf";
    WriteRecordReport(loaded, options, path);
    const RecordReportLayout layout = PlanRecordReport(loaded, options);
    const std::vector<std::string> pages = Pages(PdfText(path));
    ASSERT_EQ(static_cast<int>(pages.size()), layout.TotalPages());

    std::istringstream csv(RecordCsv(loaded.record));
    std::string line;
    std::getline(csv, line);  // heading
    std::vector<std::string> expected;
    while (std::getline(csv, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, ',');)
            f.push_back(part);
        expected.push_back(f[0] + " " + f[1].substr(0, 10) + " " + f[1].substr(11, 5) + " " + f[2]);
    }
    ASSERT_EQ(expected.size(), 14400u);

    const std::regex row("(\\d+) +(\\d{4}-\\d\\d-\\d\\d) +(\\d\\d:\\d\\d) +(-?\\d+\\.\\d)");
    std::vector<std::string> found;
    for (int p = 1; p <= layout.readingPages; ++p) {
        std::vector<std::pair<int, std::string>> onPage;
        const std::string& page = pages[static_cast<std::size_t>(p)];
        for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it) {
            const std::smatch& m = *it;
            onPage.emplace_back(std::stoi(m[1]), m[1].str() + " " + m[2].str() + " " + m[3].str() +
                                                     " " + m[4].str());
        }
        // Column groups read down, then across: sorting a page's rows by point restores the order,
        // and each page continues where the previous one stopped.
        std::sort(onPage.begin(), onPage.end());
        for (auto& [number, text] : onPage)
            found.push_back(text);
    }
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(found[i], expected[i]) << "reading " << i + 1;
}

// With a zone every reading time is local with its offset, the two passes of the autumn hour
// differ, and the time base is named on page 1 and above the readings; the card's clock keeps
// today's words.
TEST_F(RecordReportFiles, AZoneGivesLocalTimesWithOffsets) {
    const test::HeaderFields autumn{
        .hour = 23, .minute = 48, .second = 0, .day = 24, .month = 10, .year = 26, .count = 20};
    Record record = test::SampleRecord(0, autumn);
    record.readings.assign(40, 0);
    for (std::size_t i = 0; i < 40; i += 2)
        record.readings[i] = 0x81;  // 4.0 °C
    record.readings[30] = 0x83;     // reading 16 (02:18 CET): 16.0 °C
    record.complete = true;
    RecordReportOptions options = Options();
    options.limits = RecordReportLimits{2, 8};
    const std::string utcPath = dir_ + "/utc.pdf", zonePath = dir_ + "/zone.pdf";
    WriteRecordReport(Loaded(record), options, utcPath);
    options.timeBase = TimeBase::Zone("Europe/Berlin");
    WriteRecordReport(Loaded(record), options, zonePath);
    ExpectQpdfClean(zonePath);

    const std::vector<std::string> utc = Pages(PdfText(utcPath));
    const std::vector<std::string> zone = Pages(PdfText(zonePath));
    ASSERT_GE(zone.size(), 2u);
    const auto has = [](const std::string& text, const std::string& pattern) {
        return std::regex_search(text, std::regex(pattern));
    };
    EXPECT_TRUE(has(utc[0], "Time base +All times are the card's clock, UTC"));
    EXPECT_TRUE(has(utc[0], "First reading +2026-10-24 23:48\\n"));
    const char* page1[] = {
        "Time base +Europe/Berlin \\(CET/CEST\\): local times with their offset from UTC",
        "First reading +2026-10-25 01:48 \\+02:00",
        "Last reading +2026-10-25 02:42 \\+01:00",
        "2026-10-25 02:18 \\+01:00 +2026-10-25 02:24 \\+01:00 +6 ",  // the excursion
        "Downloaded at +[0-9-]+T[0-9:]+Z \\(UTC\\)",
    };
    for (const char* pattern : page1)
        EXPECT_TRUE(has(zone[0], pattern)) << pattern << "\n" << zone[0];
    const char* readings[] = {
        "times: Europe/Berlin \\(CET/CEST\\)",
        "\\b2 +2026-10-25 +01:54 \\+02:00 +4\\.0",
        "\\b8 +2026-10-25 +02:30 \\+02:00 +4\\.0",
        "\\b18 +2026-10-25 +02:30 \\+01:00 +4\\.0",
    };
    for (const char* pattern : readings)
        EXPECT_TRUE(has(zone[1], pattern)) << pattern << "\n" << zone[1];

    options.timeBase = TimeBase::Zone("Nowhere/Town");
    EXPECT_THROW(WriteRecordReport(Loaded(record), options, dir_ + "/none.pdf"), TimeBaseError);
    EXPECT_FALSE(fs::exists(dir_ + "/none.pdf"));
}

// Out-of-range readings carry H or L in the text; values that are not temperatures are listed
// as received, left out of the statistics and noted.
TEST_F(RecordReportFiles, MarksAndImpossibleReadingsSurviveTextExtraction) {
    // 2.0, 4.0, 8.5, 255-exponent (not a temperature), 5.0 °C
    const Record record =
        RecordOf({{0x80, 0x00}, {0x81, 0x00}, {0x82, 0x08}, {0xFF, 0x00}, {0x81, 0x20}}, 5, true);
    RecordReportOptions options = Options();
    options.limits = RecordReportLimits{3, 8};
    const std::vector<RecordReportRow> rows = RecordReportRows(Loaded(record), options);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].value, "2.0 L");
    EXPECT_EQ(rows[1].value, "4.0");
    EXPECT_EQ(rows[2].value, "8.5 H");
    EXPECT_EQ(rows[4].value, "5.0");
    EXPECT_EQ(rows[2].date, "2026-01-12");
    EXPECT_EQ(rows[2].time, "08:12");

    const std::string path = dir_ + "/marks.pdf";
    WriteRecordReport(Loaded(record), options, path);
    ExpectQpdfClean(path);
    const std::string text = PdfText(path);
    EXPECT_NE(text.find("2.0 L"), std::string::npos);
    EXPECT_NE(text.find("8.5 H"), std::string::npos);
    EXPECT_NE(text.find("1 readings are not real temperatures"), std::string::npos);
    // The statistics agree with the window's over the same readings, the impossible one left out.
    const std::vector<long double> values = {2.0L, 4.0L, 8.5L, 3.403e38L, 5.0L};
    StatisticsInput input;
    input.values = values;
    const StatisticsCaptions captions = ComputeStatistics(input, LocaleSettings{});
    const auto line = [&](const std::string& label) {
        const std::size_t at = text.find(label);
        return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_NE(line("Maximum").find(captions.maximum.substr(3) + " °C first at 2026-01-12 08:12"),
              std::string::npos)
        << line("Maximum");
    EXPECT_NE(line("Minimum").find(captions.minimum.substr(3) + " °C first at 2026-01-12 08:00"),
              std::string::npos)
        << line("Minimum");
    EXPECT_NE(line("MKT").find(captions.mkt + " °C"), std::string::npos) << line("MKT");
    EXPECT_NE(line("Arithmetic mean").find("4.9 °C"), std::string::npos) << line("Arithmetic mean");
    // Shown as received, marked as above the range, and named on page 1.
    EXPECT_EQ(rows[3].value, "340300000000000000000000000000000000000.0 H");
    EXPECT_NE(text.find("reading 4: 340300000000000000000000000000000000000.0"), std::string::npos);
    EXPECT_NE(text.find("Action taken"), std::string::npos);
}

// The readings a profile judges: 5.0, 5.0, then 8.5 three times (above 8), 5.0, 1.0 (below 2),
// 5.0 three times, 8.5, 5.0 °C, from 2026-01-12 08:00.
Record ExcursionRecord() {
    const std::pair<int, int> ok{0x81, 0x20}, hot{0x82, 0x08}, cold{0x7F, 0x00};
    return RecordOf({ok, ok, hot, hot, hot, ok, cold, ok, ok, ok, hot, ok}, 12, true);
}

LimitProfile ColdRoom(std::vector<const char*> rules) {
    LimitProfile profile;
    profile.name = "walk-in cold room";
    profile.low = 2;
    profile.high = 8;
    for (const char* rule : rules)
        profile.rules.push_back(ParseRule(rule));
    return profile;
}

// Under a profile page 1 carries its name, range and rules, the verdict from the rules, time in
// range, each rule's status and the excursions; the readings carry H and L by the profile's
// range; an ALARM asks for the action taken. In °F the range and peaks follow the unit and the
// rules keep the words they were written in.
TEST_F(RecordReportFiles, AProfileGivesItsVerdictRulesAndExcursions) {
    const LoadedRecord loaded = Loaded(ExcursionRecord());
    struct Case {
        const char* name;
        TemperatureUnit unit;
        std::vector<const char*> rules;
        std::vector<const char*> page1;  // in the squeezed text of page 1
        bool alarm;
    };
    const std::vector<Case> cases = {
        {"alarm",
         TemperatureUnit::Celsius,
         {">8 for 12min", "<2 for 30min", "mkt>25"},
         {"Profile walk-in cold room", "Range 2.0 to 8.0 °C",
          "ALARM: >8.0 °C for 12 min, triggered 2026-01-12 08:24", "In range 42 min (58.3 %)",
          "Above 24 min (33.3 %)", "Below 6 min (8.3 %)",
          ">8.0 °C for 12 min triggered 2026-01-12 08:24 24 18 2",
          "<2.0 °C for 30 min not triggered 6 6 1", "MKT >25.0 °C not triggered MKT 6.1 °C",
          "Excursions (3)", "1 2026-01-12 08:12 2026-01-12 08:30 18 8.5 °C H",
          "2 2026-01-12 08:36 2026-01-12 08:42 6 1.0 °C L",
          "3 2026-01-12 09:00 2026-01-12 09:06 6 8.5 °C H", "high 8.0", "low 2.0"},
         true},
        {"fahrenheit",
         TemperatureUnit::Fahrenheit,
         {">8 for 12min"},
         {"Range 35.6 to 46.4 °F", "ALARM: >8.0 °C for 12 min",
          "1 2026-01-12 08:12 2026-01-12 08:30 18 47.3 °F H", "high 46.4", "low 35.6"},
         true},
        {"ok",
         TemperatureUnit::Celsius,
         {">8 for 1h"},
         {"OK: no alarm rule triggered", ">8.0 °C for 1 h not triggered 24 18 2", "Excursions (3)"},
         false},
        {"no-rules",
         TemperatureUnit::Celsius,
         {},
         {"Rules none", "OK: no alarm rule triggered"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordReportOptions options = Options(c.unit);
        options.review = ReviewForRecordReport(loaded.record, ColdRoom(c.rules));
        const std::string path = dir_ + "/" + c.name + ".pdf";
        WriteRecordReport(loaded, options, path);
        ExpectQpdfClean(path);
        const std::vector<std::string> pages = Pages(PdfText(path));
        ASSERT_EQ(static_cast<int>(pages.size()), PlanRecordReport(loaded, options).TotalPages());
        const std::string page1 = Squeezed(pages.front());
        for (const char* expected : c.page1)
            EXPECT_NE(page1.find(expected), std::string::npos) << expected << "\n" << page1;
        EXPECT_EQ(page1.find("ALARM") != std::string::npos, c.alarm);
        EXPECT_EQ(pages.back().find("Action taken") != std::string::npos, c.alarm);
        // The marks follow the profile's range, whatever its rules say.
        const std::vector<RecordReportRow> rows = RecordReportRows(loaded, options);
        ASSERT_EQ(rows.size(), 12u);
        for (std::size_t i : {2u, 3u, 4u, 10u})
            EXPECT_TRUE(rows[i].value.ends_with(" H")) << i;
        EXPECT_TRUE(rows[6].value.ends_with(" L"));
        EXPECT_EQ(rows[5].value, c.unit == TemperatureUnit::Celsius ? "5.0" : "41.0");
        EXPECT_NE(Squeezed(pages[1]).find("H above the range, L below"), std::string::npos);
    }

    // An open range: only its one end is drawn and named.
    LimitProfile frozen = ColdRoom({">-15"});
    frozen.low.reset();
    RecordReportOptions options = Options();
    options.review = ReviewForRecordReport(loaded.record, frozen);
    WriteRecordReport(loaded, options, dir_ + "/open.pdf");
    const std::string open = Squeezed(PdfText(dir_ + "/open.pdf"));
    EXPECT_NE(open.find("Range up to 8.0 °C"), std::string::npos) << open;
    EXPECT_EQ(open.find("low 2.0"), std::string::npos);
}

// A profile with many rules and many excursions: page 1 keeps room for its chart by listing
// fewer excursions, and the pages after it continue the list with none lost or repeated.
TEST_F(RecordReportFiles, AFullFirstPageContinuesItsExcursionsAndKeepsItsChart) {
    const LoadedRecord loaded = Loaded(test::SampleRecord(300));
    RecordReportOptions options = Options();
    options.review = ReviewForRecordReport(
        loaded.record,
        ColdRoom({"<=-0.5 for 1h", ">8 for 10h", ">8 for 12min", "<3 total 2h", "mkt>6", ">=15"}));
    const int runs = static_cast<int>(options.review->excursions.size());
    ASSERT_GT(runs, 40);
    TPdfMemoryStream memory;
    const RecordReportLayout layout = SaveRecordReport(loaded, options, memory);
    EXPECT_GT(layout.firstPageExcursions, 0);
    EXPECT_LT(layout.firstPageExcursions, 20);
    EXPECT_GE(layout.chartHeight, 140);
    const std::string path = dir_ + "/many.pdf";
    WriteFile(path, memory.ToString());
    ExpectQpdfClean(path);
    EXPECT_EQ(PdfPages(path), layout.TotalPages());
    const std::vector<std::string> pages = Pages(PdfText(path));
    ASSERT_GE(pages.size(), 2u);
    // Excursion rows ("12 2026-01-12 13:00 2026-01-12 13:06 6 13.9 °C H") on pages 1 and 2.
    const std::regex row("\\n *(\\d+) +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d +\\d{4}-");
    std::vector<int> numbers;
    for (int p = 0; p <= layout.excursionPages; ++p)
        for (std::sregex_iterator it(pages[p].begin(), pages[p].end(), row), end; it != end; ++it)
            numbers.push_back(std::stoi((*it)[1]));
    ASSERT_EQ(static_cast<int>(numbers.size()), runs);
    for (int i = 0; i < runs; ++i)
        EXPECT_EQ(numbers[static_cast<std::size_t>(i)], i + 1);
}

// A review that is not of the record's readings, or a report asked to judge by a range and a
// profile at once, is refused before any file is touched.
TEST_F(RecordReportFiles, AReviewOfOtherReadingsIsRefused) {
    const LoadedRecord loaded = Loaded(ExcursionRecord());
    const LimitProfile profile = ColdRoom({">8"});
    RecordReportOptions options = Options();
    options.review = ReviewForRecordReport(test::SampleRecord(30), profile);
    EXPECT_THROW(WriteRecordReport(loaded, options, dir_ + "/other.pdf"), std::invalid_argument);
    options.review = ReviewForRecordReport(loaded.record, profile);
    options.review->excursions.push_back({true, 11, 12, {}, {}, {}});
    EXPECT_THROW(WriteRecordReport(loaded, options, dir_ + "/beyond.pdf"), std::invalid_argument);
    options.review = ReviewForRecordReport(loaded.record, profile);
    options.limits = RecordReportLimits{2, 8};
    EXPECT_THROW(WriteRecordReport(loaded, options, dir_ + "/both.pdf"), std::invalid_argument);
    EXPECT_TRUE(fs::is_empty(dir_));
}

// Statistics of 100 and above at one decimal, where the window's captions keep three digits
// ("101.0" for 100.5): the maximum is the reading itself.
TEST_F(RecordReportFiles, StatisticsOfAHundredAndAboveKeepTheirDecimal) {
    // 100.5, 99.5 °C
    const Record record = RecordOf({{0x85, 0x49}, {0x85, 0x47}}, 2, true);
    const std::string path = dir_ + "/hundred.pdf";
    WriteRecordReport(Loaded(record), Options(), path);
    std::string text;  // runs of blanks as one
    for (const char c : PdfText(path))
        if (c != ' ' || text.empty() || text.back() != ' ')
            text += c;
    for (const char* line :
         {"Maximum 100.5 °C", "Minimum 99.5 °C", "Arithmetic mean 100.0 °C", "MKT 100.0 °C"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

// Page 1 rendered: the series colour lies inside the chart box and the limit lines' colour at
// the rows their values give.
TEST_F(RecordReportFiles, ChartShowsTheSeriesAndTheLimitLinesWhereTheyBelong) {
    const LoadedRecord loaded = Loaded(test::SampleRecord(480));
    using Colour = bool (*)(int r, int g, int b);
    const Colour red = [](int r, int g, int b) { return r > 150 && g < 80 && b < 80; };
    // A rule's threshold: dashed, in violet.
    const Colour violet = [](int r, int g, int b) {
        return r > 70 && r < 190 && g < 90 && b > 120;
    };
    struct Level {
        double value;
        Colour colour;
        int percent;  // of the samples along the row that must show the colour
    };
    struct Case {
        const char* name;
        bool profile;
        std::vector<Level> levels;
    };
    const std::vector<Case> cases = {
        {"limits", false, {{5, red, 80}, {12, red, 80}}},
        {"profile", true, {{5, red, 80}, {12, red, 80}, {9, violet, 50}, {3, violet, 50}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordReportOptions options = Options();
        if (c.profile) {
            LimitProfile profile = ColdRoom({">9 for 1h", "<3 total 2h"});
            profile.low = 5;
            profile.high = 12;
            options.review = ReviewForRecordReport(loaded.record, profile);
        } else {
            options.limits = RecordReportLimits{5, 12};
        }
        TPdfMemoryStream memory;
        const RecordReportLayout layout = SaveRecordReport(loaded, options, memory);
        const std::string path = dir_ + "/" + c.name + ".pdf";
        WriteFile(path, memory.ToString());
        const int dpi = 100;
        Ppm ppm;
        ASSERT_TRUE(ppm.Parse(RenderPpm(path, dir_ + "/" + c.name, dpi)));
        const double scale = dpi / 72.0;
        const double pageHeight = 842;
        auto px = [&](double x) { return static_cast<int>(x * scale); };
        auto py = [&](double y) { return static_cast<int>((pageHeight - y) * scale); };

        int series = 0;
        for (int y = py(layout.chartBottom + layout.chartHeight) + 2;
             y < py(layout.chartBottom) - 2; ++y)
            for (int x = px(layout.chartLeft) + 2; x < px(layout.chartLeft + layout.chartWidth) - 2;
                 ++x)
                if (ppm.At(x, y, 2) > 150 && ppm.At(x, y, 0) < 90 && ppm.At(x, y, 1) < 140)
                    ++series;
        EXPECT_GT(series, 200);

        for (const Level& level : c.levels) {
            SCOPED_TRACE(level.value);
            const auto is = [&](int x, int y) {
                return level.colour(ppm.At(x, y, 0), ppm.At(x, y, 1), ppm.At(x, y, 2));
            };
            const double at = layout.chartBottom + (level.value - layout.chartLow) /
                                                       (layout.chartHigh - layout.chartLow) *
                                                       layout.chartHeight;
            const int row = py(at);
            int hits = 0, samples = 0, away = 0;
            for (int x = px(layout.chartLeft) + 60;
                 x < px(layout.chartLeft + layout.chartWidth) - 5; x += 7, ++samples) {
                if (is(x, row) || is(x, row - 1) || is(x, row + 1))
                    ++hits;
                // And not elsewhere: 10 points away the row is not such a line.
                if (is(x, row + static_cast<int>(10 * scale)))
                    ++away;
            }
            EXPECT_GT(hits, samples * level.percent / 100);
            EXPECT_LT(away, samples / 5);
        }
    }
}

// The writer's compression: content streams deflated and named FlateDecode; the text the same.
TEST_F(RecordReportFiles, CompressedAndPlainReportsReadTheSame) {
    const LoadedRecord loaded = Loaded(test::SampleRecord(14400));
    const RecordReportOptions options = Options();
    TPdfMemoryStream packed, plain;
    SaveRecordReport(loaded, options, packed, true);
    SaveRecordReport(loaded, options, plain, false);
    EXPECT_NE(packed.ToString().find("/FlateDecode"), std::string::npos);
    EXPECT_EQ(plain.ToString().find("/FlateDecode"), std::string::npos);
    EXPECT_LT(packed.Buffer().Size() * 3, plain.Buffer().Size());
    WriteFile(dir_ + "/packed.pdf", packed.ToString());
    WriteFile(dir_ + "/plain.pdf", plain.ToString());
    ExpectQpdfClean(dir_ + "/packed.pdf");
    EXPECT_EQ(PdfText(dir_ + "/packed.pdf"), PdfText(dir_ + "/plain.pdf"));
}

#ifdef HALVIK_CLI
struct CliRun {
    int status;
    std::string err;
};

CliRun RunCli(const std::string& dir, const std::string& args) {
    const std::string err = dir + "/stderr";
    // The user's own profiles are looked for in the test's folder only.
    const int raw =
        std::system(("XDG_CONFIG_HOME=" + Quote(dir + "/config") + " " + std::string(HALVIK_CLI) +
                     " " + args + " >/dev/null 2>" + Quote(err) + " </dev/null")
                        .c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(err)};
}

// halvik-cli report --full: written in-process; bad records, options and paths fail with the
// reason and leave no file.
TEST_F(RecordReportFiles, CliWritesTheReportOrNamesWhyNot) {
    const std::string record = dir_ + "/fridge.halvik";
    WriteFile(record, RecordText(test::SampleRecord(300)));
    const std::string out = dir_ + "/out.pdf";

    CliRun run = RunCli(
        dir_, "report " + record + " --full " + out + " --limits 4:8 --unit F --paper letter");
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectQpdfClean(out);
    const std::string text = PdfText(out);
    EXPECT_NE(text.find("°F"), std::string::npos);
    EXPECT_NE(text.find("fridge.halvik"), std::string::npos);
    EXPECT_NE(text.find(RecordDigest(test::SampleRecord(300))), std::string::npos);
    EXPECT_NE(RunTool("pdfinfo " + Quote(out)).output.find("612 x 792"), std::string::npos);

    // A changed record: written, with the warning, exit status 1.
    std::string changed = RecordText(test::SampleRecord(300));
    changed.replace(changed.find("fridge-pc"), 9, "fridge-PC");
    WriteFile(dir_ + "/changed.halvik", changed);
    run = RunCli(dir_, "report " + dir_ + "/changed.halvik --full " + dir_ + "/changed.pdf");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(PdfText(dir_ + "/changed.pdf").find("CHANGED AFTER DOWNLOAD"), std::string::npos);

    struct Bad {
        std::string args;
        std::string message;
    };
    WriteFile(dir_ + "/junk.halvik", "not a record");
    const std::vector<Bad> bad = {
        {"report " + dir_ + "/junk.halvik --full " + dir_ + "/junk.pdf", "junk.halvik"},
        {"report " + dir_ + "/missing.halvik --full " + dir_ + "/missing.pdf", "missing.halvik"},
        {"report " + record + " --full " + dir_ + "/no/such/dir/x.pdf", "no/such/dir/x.pdf"},
        {"report " + record + " --full " + dir_ + "/lim.pdf --limits 8:4", "LOW is above HIGH"},
        {"report " + record + " --full " + dir_ + "/paper.pdf --paper a3", "a3"},
        {"report " + record, "--full"},
        {"report " + record + " --data " + dir_ + "/d.pdf --limits 4:8",
         "--limits requires --full"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.args);
        run = RunCli(dir_, b.args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
    }
    for (const char* none : {"junk.pdf", "missing.pdf", "lim.pdf", "paper.pdf"})
        EXPECT_FALSE(fs::exists(dir_ + "/" + none)) << none;
    // Nothing but the files named: no temporary file left behind.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir_))
        files += entry.path().extension() == ".pdf" ? 1 : 0;
    EXPECT_EQ(files, 2);
}

// halvik-cli report --full under a profile, by name or file, with rules added; or under --alarm
// rules with --limits as their range; --fail-on-alarm; and the combinations it refuses.
TEST_F(RecordReportFiles, CliJudgesTheReportByAProfile) {
    const std::string record = dir_ + "/cold.halvik";
    WriteFile(record, RecordText(ExcursionRecord()));
    const std::string profiles = dir_ + "/config/halvik/profiles";
    fs::create_directories(profiles);
    WriteFile(profiles + "/room.toml",
              "name = \"walk-in cold room\"\nlow = 2\nhigh = 8\nrules = [\">8 for 1h\"]\n");
    struct Good {
        std::string args;
        int status;
        std::vector<const char*> texts;
    };
    const std::vector<Good> good = {
        {"--profile 'walk-in cold room'", 0, {"Profile walk-in cold room", "OK: no alarm rule"}},
        {"--profile " + profiles + "/room.toml --alarm '>8 for 12min' --fail-on-alarm",
         1,
         {"ALARM: >8.0 °C for 12 min, triggered 2026-01-12 08:24", "Action taken"}},
        {"--profile refrigerated-2-8 --unit F", 0, {"Profile refrigerated-2-8", "35.6 to 46.4 °F"}},
        {"--alarm '<2' --limits 35.6:46.4 --unit F",
         0,
         {"Profile command line", "Range 35.6 to 46.4 °F", "ALARM: <2.0 °C, triggered"}},
        {"--limits 2:8", 0, {"Limits", "ALARM: readings outside the range"}},
    };
    for (const Good& g : good) {
        SCOPED_TRACE(g.args);
        const std::string out = dir_ + "/judged.pdf";
        const CliRun run = RunCli(dir_, "report " + record + " --full " + out + " " + g.args);
        ASSERT_EQ(run.status, g.status) << run.err;
        ExpectQpdfClean(out);
        const std::string text = Squeezed(PdfText(out));
        for (const char* expected : g.texts)
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        fs::remove(out);
    }
    struct Bad {
        std::string args;
        std::string message;
    };
    const std::string x = dir_ + "/x.pdf";
    const std::vector<Bad> bad = {
        {"--full " + x + " --profile nowhere", "nowhere"},
        {"--full " + x + " --alarm '>8 fo 30min'", "fo"},
        {"--full " + x + " --profile refrigerated-2-8 --limits 2:8", "--limits cannot be given"},
        {"--full " + x + " --fail-on-alarm", "--fail-on-alarm needs --profile or --alarm"},
        {"--data " + x + " --profile refrigerated-2-8", "--profile requires --full"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.args);
        const CliRun run = RunCli(dir_, "report " + record + " " + b.args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(x));
    }
}
#endif

}  // namespace
}  // namespace halvik
