// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/CardParse.h"

#include <gtest/gtest.h>

#include <cmath>

#include "CardParseFixture.h"
#include "logger/Header.h"
#include "logger/LoggerError.h"

namespace halvik {
namespace {

using test::Download;
using test::HeaderFields;

HeaderFields At(int day, int month, int year, int hour, int minute, int count) {
    HeaderFields f;
    f.day = day;
    f.month = month;
    f.year = year;
    f.hour = hour;
    f.minute = minute;
    f.count = count;
    return f;
}

TEST(GridCaptions, BlanksAndUnit) {
    CellStore grid;
    WriteGridCaptions(grid, TemperatureUnit::Celsius);
    EXPECT_EQ(grid.cell(0, 0), " Points");
    EXPECT_EQ(grid.cell(1, 0), "       Date");
    EXPECT_EQ(grid.cell(2, 0), "    Time");
    EXPECT_EQ(grid.cell(3, 0), "Temperature (\u00B0C)");
    WriteGridCaptions(grid, TemperatureUnit::Fahrenheit);
    EXPECT_EQ(grid.cell(3, 0), "Temperature (\u00B0F)");
}

TEST(ApplyHeaderReport, LabelsRowOneAndTheCalendarRows) {
    Download d;
    HeaderResult r = d.Header(At(7, 3, 14, 9, 0, 3));
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(r.pidLabel, "01 02 03 04 05 ");
    EXPECT_EQ(r.dataPointsLabel, "   3");
    EXPECT_EQ(d.state.PidCaption, "( PID :01 02 03 04 05 )");
    EXPECT_EQ(d.grid.cell(1, 1), "  07 MAR  14");
    EXPECT_EQ(d.grid.cell(2, 1), "    09:00");
    EXPECT_EQ(d.grid.cell(1, 3), "  07 MAR  14");
    EXPECT_EQ(d.grid.cell(2, 3), "    09:12");
    EXPECT_EQ(d.grid.cell(1, 4), "");
    EXPECT_EQ(d.grid.rowCount(), 1);  // set by the parse, not here
    EXPECT_EQ(d.state.StartYearText, "2014");
}

TEST(ApplyHeaderReport, RowOneDateForms) {
    const std::pair<HeaderFields, const char*> cases[] = {
        {At(5, 1, 14, 5, 6, 1), "  05 JAN  14"},   {At(12, 1, 14, 5, 6, 1), "  12 JAN  14"},
        {At(31, 1, 14, 5, 6, 1), "  31 JAN  14"},  {At(1, 12, 7, 5, 6, 1), "  01 DEC   7"},
        {At(1, 12, 123, 5, 6, 1), "  01 DEC 123"},
    };
    for (const auto& [f, date] : cases) {
        Download d;
        d.Header(f);
        EXPECT_EQ(d.grid.cell(1, 1), date);
        EXPECT_EQ(d.grid.cell(2, 1), "    05:06");
        EXPECT_EQ(d.grid.cell(1, 2), "");  // a count of 1 fills row 1 only
    }
}

TEST(ApplyHeaderReport, CountLabels) {
    const std::pair<int, const char*> cases[] = {
        {1, "   1"}, {256, "   256"}, {1440, "   1440"}, {14400, "   14400"}, {0, "   0"}};
    for (auto [count, label] : cases) {
        Download d;
        EXPECT_EQ(d.Header(At(7, 1, 14, 9, 0, count)).dataPointsLabel, label);
    }
}

TEST(ApplyHeaderReport, CalendarAcrossMonthAndYearEnds) {
    struct Case {
        HeaderFields header;
        std::vector<std::pair<const char*, const char*>> rows;
        const char* stopYear;
    };
    const Case cases[] = {
        {At(31, 12, 14, 23, 54, 3),
         {{"  31 DEC  14", "    23:54"},
          {"  01 JAN 15", "    00:00"},
          {"  01 JAN 15", "    00:06"}},
         "2015"},
        {At(28, 2, 16, 23, 54, 2),
         {{"  28 FEB  16", "    23:54"}, {"  29 FEB  16", "    00:00"}},
         "2016"},
        {At(28, 2, 15, 23, 54, 2),
         {{"  28 FEB  15", "    23:54"}, {"  01 MAR  15", "    00:00"}},
         "2015"},
        {At(30, 4, 14, 23, 54, 2),
         {{"  30 APR  14", "    23:54"}, {"  01 MAY  14", "    00:00"}},
         "2014"},
    };
    for (const Case& c : cases) {
        Download d;
        d.Header(c.header);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            EXPECT_EQ(d.grid.cell(1, row), c.rows[i].first) << row;
            EXPECT_EQ(d.grid.cell(2, row), c.rows[i].second) << row;
        }
        EXPECT_EQ(d.state.StopYearText, c.stopYear);
    }
}

TEST(ApplyHeaderReport, ShortReportIsIgnoredAndReported) {
    Download d;
    d.Header(At(7, 3, 14, 9, 0, 3));
    const std::string dateBefore = d.grid.cell(1, 2);
    std::vector<std::uint8_t> shortReport(20, 0x44);
    HeaderResult r = d.state.RecordCount == 3
                         ? ApplyHeaderReport(d.state, d.grid, 0, shortReport.data(),
                                             shortReport.size(), d.locale)
                         : HeaderResult{};
    EXPECT_FALSE(r.accepted);
    EXPECT_FALSE(r.problem.empty());
    EXPECT_EQ(d.state.RecordCountText, "3");
    EXPECT_EQ(d.state.PidText, "01 02 03 04 05 ");
    EXPECT_EQ(d.grid.cell(1, 2), dateBefore);
    EXPECT_FALSE(ApplyHeaderReport(d.state, d.grid, 0, nullptr, 0, d.locale).accepted);
}

std::vector<std::uint8_t> Repeated(std::initializer_list<std::uint8_t> pair, int readings) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < readings; ++i)
        bytes.insert(bytes.end(), pair);
    return bytes;
}

class Parse : public testing::TestWithParam<LocaleSettings> {};

TEST_P(Parse, WorkedExampleOfThreeReadings) {
    Download d;
    d.locale = GetParam();
    const LocaleSettings& l = d.locale;
    d.Header(At(7, 1, 14, 9, 0, 3));
    d.Send({0x83, 0x20, 0x83, 0x48, 0x83, 0x70});
    d.Parse(TemperatureUnit::Celsius);

    const std::string t = l.timeSeparator;
    EXPECT_EQ(d.grid.rowCount(), 4);
    for (int q = 1; q <= 3; ++q)
        EXPECT_EQ(d.grid.cell(0, q), std::to_string(q));
    EXPECT_EQ(d.grid.cell(3, 1), "            " + test::WithSeparator("20.0", l));
    EXPECT_EQ(d.grid.cell(3, 2), "            " + test::WithSeparator("25.0", l));
    EXPECT_EQ(d.grid.cell(3, 3), "            " + test::WithSeparator("30.0", l));
    EXPECT_EQ(d.Values(), (std::vector<double>{20.0, 25.0, 30.0}));
    EXPECT_EQ(d.Labels(),
              (std::vector<std::string>{"07Jan14  09" + t + "00", "07Jan14  09" + t + "06",
                                        "07Jan14  09" + t + "12"}));
    ASSERT_TRUE(d.result.hasStatistics);
    const StatisticsCaptions& s = d.result.statistics;
    EXPECT_EQ(s.maximum, "   " + test::WithSeparator("30.0", l));
    EXPECT_EQ(s.minimum, "   " + test::WithSeparator("20.0", l));
    EXPECT_EQ(s.mkt, test::WithSeparator("25.9", l));
    EXPECT_EQ(s.startDate, "  07 JAN  14,");
    EXPECT_EQ(s.startTime, "    09:00");
    EXPECT_EQ(s.stopDate, "  07 JAN  14,");
    EXPECT_EQ(s.stopTime, "    09" + t + "12");
    EXPECT_EQ(s.elapsed, "0 Hour(s),  12 Minute(s)");
}

TEST_P(Parse, FahrenheitGridAndMkt) {
    Download d;
    d.locale = GetParam();
    d.Header(At(7, 1, 14, 9, 0, 3));
    d.Send({0x83, 0x20, 0x83, 0x48, 0x83, 0x70});
    d.Parse(TemperatureUnit::Fahrenheit);
    EXPECT_EQ(d.grid.cell(3, 1), "            " + test::WithSeparator("68.0", d.locale));
    EXPECT_EQ(d.grid.cell(3, 3), "            " + test::WithSeparator("86.0", d.locale));
    EXPECT_EQ(d.result.statistics.mkt, test::WithSeparator("78.5", d.locale));
    EXPECT_EQ(d.result.statistics.maximum, "   " + test::WithSeparator("86.0", d.locale));
}

INSTANTIATE_TEST_SUITE_P(Locales, Parse, testing::Values(test::English(), test::German()),
                         test::LocaleName);

TEST(Parse, SingleReadings) {
    struct Case {
        std::uint8_t exponent, second;
        TemperatureUnit unit;
        const char* text;
        double value;
    };
    const Case cases[] = {
        {0x83, 0x42, TemperatureUnit::Celsius, "24.3", 24.3},
        {0x7E, 0x40, TemperatureUnit::Fahrenheit, "33.3", 33.3},
        {0x7A, 0x80, TemperatureUnit::Celsius, "0.0", 0.0},
        {0x83, 0xC2, TemperatureUnit::Fahrenheit, "-11.6", -11.6},
    };
    for (const Case& c : cases) {
        Download d;
        d.Header(At(7, 1, 14, 9, 0, 1));
        d.Send({c.exponent, c.second});
        d.Parse(c.unit);
        EXPECT_EQ(d.grid.rowCount(), 2);
        EXPECT_EQ(d.grid.cell(0, 1), "1");
        EXPECT_EQ(d.grid.cell(3, 1), std::string("            ") + c.text);
        ASSERT_EQ(d.result.points.size(), 1u);
        EXPECT_EQ(d.result.points[0].value, c.value);
        const StatisticsCaptions& s = d.result.statistics;
        EXPECT_EQ(s.maximum, std::string("   ") + c.text);
        EXPECT_EQ(s.minimum, std::string("   ") + c.text);
        EXPECT_EQ(s.mkt, c.text);
        EXPECT_EQ(s.startDate, s.stopDate);
        EXPECT_EQ(s.startTime, s.stopTime);
        EXPECT_EQ(s.elapsed, "0 Hour(s),  0 Minute(s)");
    }
}

TEST(Parse, OnlyTheFirstTwoNGroupsAreUsed) {
    // Ten readings in a 64-byte report: the other 44 bytes are padding. Pressing DOWNLOAD twice
    // appends the stream again; the parse still cuts from the start.
    Download d;
    d.Header(At(7, 1, 14, 9, 0, 10));
    d.Send(Repeated({0x83, 0x40}, 10));
    EXPECT_EQ(d.state.DownloadText.size(), 192u);
    d.Send(Repeated({0x85, 0x0C}, 10));
    d.Parse(TemperatureUnit::Celsius);
    EXPECT_EQ(d.grid.rowCount(), 11);
    for (int q = 1; q <= 10; ++q)
        EXPECT_EQ(d.grid.cell(3, q), "            24.0") << q;
    EXPECT_EQ(d.grid.cell(3, 11), "");
}

TEST(Parse, MissingBytesStopAtTheFirstIncompleteReading) {
    Download d;
    d.Header(At(7, 1, 14, 9, 0, 3));
    d.grid.setRowCount(7);  // left from an earlier download
    const std::uint8_t bytes[] = {0x83, 0x40, 0x83, 0x42, 0x83};
    AppendReadingBytes(d.state, bytes, sizeof bytes);
    try {
        d.Parse(TemperatureUnit::Celsius);
        FAIL() << "no error";
    } catch (const LoggerError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(d.grid.cell(3, 1), "            24.0");
    EXPECT_EQ(d.grid.cell(3, 2), "            24.3");
    EXPECT_EQ(d.grid.cell(3, 3), "");
    EXPECT_EQ(d.result.points.size(), 2u);  // the chart still gets the readings before it
    EXPECT_EQ(d.grid.rowCount(), 7);
    EXPECT_FALSE(d.result.hasStatistics);
}

TEST(Parse, AGroupOutsideAByteStopsAtThatReading) {
    // The download handler only writes groups of 0..255; a download text that holds anything
    // else stops the parse at that reading like a missing group, with the group named.
    struct Case {
        const char* secondReading;  // two groups
        const char* message;
    } cases[] = {
        {"256  0", "'256' is not a valid byte value"},
        {"131999", "'999' is not a valid byte value"},
        {" -1 64", "' -1' is not a valid byte value"},
        {"1x1 64", "'1x1' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.secondReading);
        Download d;
        d.Header(At(7, 1, 14, 9, 0, 3));
        d.state.DownloadText = std::string("131 64") + c.secondReading + "131 66";
        try {
            d.Parse(TemperatureUnit::Celsius);
            ADD_FAILURE() << "no error";
        } catch (const LoggerError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(d.grid.cell(3, 1), "            24.0");
        EXPECT_EQ(d.grid.cell(3, 2), "");
        EXPECT_EQ(d.result.points.size(), 1u);
        EXPECT_EQ(d.grid.rowCount(), 1);
        EXPECT_FALSE(d.result.hasStatistics);
    }
}

TEST(Parse, NoReadingsAndNoHeader) {
    Download d;
    d.Header(At(7, 1, 14, 9, 0, 0));
    d.Parse(TemperatureUnit::Celsius);
    EXPECT_EQ(d.grid.rowCount(), 1);
    EXPECT_TRUE(d.result.points.empty());
    EXPECT_FALSE(d.result.hasStatistics);

    Download none;
    EXPECT_THROW(
        ParseReadings(none.state, none.grid, TemperatureUnit::Celsius, none.locale, none.result),
        LoggerError);
}

TEST(Parse, FullCardAcrossAYearEnd) {
    Download d;
    d.Header(At(20, 12, 14, 0, 0, 14400));
    std::vector<std::uint8_t> bytes;
    for (int q = 0; q < 14400; ++q) {
        bytes.push_back(static_cast<std::uint8_t>(0x7F + q % 5));  // 1, 2, 4, 8, 16 °C ...
        bytes.push_back(static_cast<std::uint8_t>(q % 3 == 0 ? 0x80 : 0x00));
    }
    d.Send(bytes);
    d.Parse(TemperatureUnit::Celsius);
    EXPECT_EQ(d.grid.rowCount(), 14401);
    EXPECT_EQ(d.grid.cell(0, 14400), "14400");
    EXPECT_EQ(d.grid.cell(1, 14400), "  17 FEB 15");  // 59 days 23:54 after 20 Dec 00:00
    EXPECT_EQ(d.grid.cell(2, 14400), "    23:54");
    EXPECT_EQ(d.result.points.back().label, "17Feb15  23:54");
    EXPECT_EQ(d.state.StopYearText, "2015");
    EXPECT_EQ(d.result.statistics.maximum, "   16.0");
    EXPECT_EQ(d.result.statistics.minimum, "   -16.0");
    EXPECT_EQ(d.result.statistics.elapsed, "59 Day(s),  23 Hour(s),  54 Minute(s)");
}

TEST(Parse, CountAboveCapacityKeepsTheFirst14400Readings) {
    Download d;
    HeaderResult r = d.Header(At(7, 1, 14, 9, 0, 0xFFFF));
    EXPECT_FALSE(r.problem.empty());
    EXPECT_EQ(r.dataPointsLabel, "   14400");
    d.Send(Repeated({0x83, 0x40}, 14400));
    d.Parse(TemperatureUnit::Celsius);
    EXPECT_EQ(d.grid.rowCount(), 14401);
    EXPECT_EQ(d.result.points.size(), 14400u);
    EXPECT_TRUE(d.result.hasStatistics);
}

TEST(Parse, ImpossibleHeaderClockKeepsEveryReadingWithoutLabels) {
    for (HeaderFields f :
         {At(5, 1, 14, 25, 70, 300), At(31, 4, 14, 9, 0, 300), At(5, 13, 14, 9, 0, 300),
          At(0, 3, 14, 9, 0, 300), At(255, 255, 255, 255, 255, 300)}) {
        Download d;
        HeaderResult r = d.Header(f);
        EXPECT_TRUE(r.accepted);
        EXPECT_NE(r.problem.find("impossible time"), std::string::npos);
        d.Send(Repeated({0x83, 0x42}, 300));
        d.Parse(TemperatureUnit::Celsius);
        EXPECT_EQ(d.grid.rowCount(), 301);
        ASSERT_EQ(d.result.points.size(), 300u);
        for (const ChartPoint& p : d.result.points) {
            EXPECT_EQ(p.value, 24.3);
            EXPECT_EQ(p.label, "");
        }
        ASSERT_TRUE(d.result.hasStatistics);
        EXPECT_EQ(d.result.statistics.mkt, "24.3");
        EXPECT_FALSE(d.grid.cell(1, 300).empty());
    }
}

TEST(Parse, EveryBytePairGivesATextThatReadsBackAsANumber) {
    // Exponent bytes 0 and 255 included: the grid text must stay a number the statistics can
    // read back, in both units.
    for (TemperatureUnit unit : {TemperatureUnit::Celsius, TemperatureUnit::Fahrenheit}) {
        for (int firstPair = 0; firstPair < 65536; firstPair += kMaxReadings) {
            const int count = std::min(kMaxReadings, 65536 - firstPair);
            Download d;
            d.Header(At(7, 1, 14, 9, 0, count));
            std::vector<std::uint8_t> bytes;
            for (int pair = firstPair; pair < firstPair + count; ++pair) {
                bytes.push_back(static_cast<std::uint8_t>(pair >> 8));
                bytes.push_back(static_cast<std::uint8_t>(pair & 0xFF));
            }
            d.Send(bytes);
            d.Parse(unit);
            ASSERT_EQ(d.result.points.size(), static_cast<std::size_t>(count));
            ASSERT_TRUE(d.result.hasStatistics);
            for (const ChartPoint& p : d.result.points)
                ASSERT_TRUE(std::isfinite(p.value)) << p.value;
        }
    }
}

TEST(Parse, UnitLabelsAndCaptions) {
    EXPECT_EQ(TemperatureCaption(TemperatureUnit::Celsius), "Temperature (\u00B0C)");
    EXPECT_EQ(TemperatureCaption(TemperatureUnit::Fahrenheit), "Temperature (\u00B0F)");
}

}  // namespace
}  // namespace halvik
