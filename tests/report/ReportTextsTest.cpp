// SPDX-License-Identifier: GPL-3.0-or-later
// The report pages' texts from a download's state, grid and shown labels.

#include "report/ReportTexts.h"

#include <gtest/gtest.h>

#include "logger/LoggerError.h"

namespace halvik {
namespace {

TEST(LeadingCharacters, CountsCharactersAsTheToolkitDoesNeverHalfOne) {
    struct Case {
        const char* text;
        int count;
        const char* expected;
    };
    const Case cases[] = {
        {"  07 JAN  14", 8, "  07 JAN"},
        {"short", 8, "short"},
        {"", 8, ""},
        {"  07 M\u00C4R  14", 8, "  07 M\u00C4R"},  // two bytes, one character
        {"  07 \u0444\u0435\u0432  14", 8, "  07 \u0444\u0435\u0432"},
        {"  07 \u6708\u6708\u6708", 6, "  07 \u6708"},  // three bytes, one character
        {"1234567\U0001F600", 8, "1234567"},            // two UTF-16 units do not fit
        {"123456\U0001F600x", 8, "123456\U0001F600"},
        {"abc\xC3", 8, "abc\xC3"},  // a cut sequence stays as it is
    };
    for (const Case& c : cases)
        EXPECT_EQ(LeadingCharacters(c.text, c.count), c.expected) << c.text;
}

// A grid and state as two readings from 7 January 2014 leave them, with a locale whose time
// separator the report's code page lacks.
TEST(FillDataReportTexts, TakesRowsOneAndCountAndTheLabelsAsGiven) {
    DownloadState download;
    download.RecordCountText = "2";
    download.StartYearText = "2014";
    download.StopYearText = "2014";
    CellStore cells;
    const char* rows[3][4] = {
        {" Points", "       Date", "    Time", "Temperature (\u00B0C)"},
        {"1", "  07 JAN  14",
         "    09\u2236"
         "00",
         "            24.0"},
        {"2", "  07 JAN  14",
         "    09\u2236"
         "06",
         "            24.3"},
    };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < CellStore::kColumns; ++column)
            cells.setCell(column, row, rows[row][column]);
    cells.setRowCount(3);
    LocaleSettings locale;
    locale.timeSeparator = "\u2236";
    ShownTexts shown;
    shown.pid = "07 01 02 03 04 ";
    shown.dataPoints = "   2";
    shown.statistics.maximum = "   24.3";
    shown.statistics.minimum = "   24.0";
    shown.statistics.mkt = "24.2";
    shown.statistics.elapsed = "0 Hour(s),  6 Minute(s)";

    TRpPage1 page("www.example");
    FillDataReportTexts(page, download, cells, shown, TemperatureUnit::Fahrenheit, locale);
    const std::pair<TRpLabel*, const char*> expected[] = {
        {page.RpLabel7, "07 01 02 03 04 "},
        {page.RpLabel5, "  07 JAN"},
        {page.RpLabel10, "2014,    09:00"},
        {page.RpLabel6, "  07 JAN"},
        {page.RpLabel11, "2014,    09:06"},
        {page.RpLabel16, "   24.3"},
        {page.RpLabel17, "   24.0"},
        {page.RpLabel18, "24.2"},
        {page.RpLabel19, "   2"},
        {page.RpLabel28, "0 Hour(s),  6 Minute(s)"},
        {page.RpLabel30, ""},
        {page.RpLabel24, "\u00B0F"},
        {page.RpLabel25, "\u00B0F"},
        {page.RpLabel29, "\u00B0F"},
    };
    for (const auto& [label, text] : expected)
        EXPECT_EQ(label->Caption(), text);

    TRpPage2 chartPage("www.example");
    FillChartReportTexts(chartPage, shown);
    EXPECT_EQ(chartPage.RpLabel21->Caption(), "07 01 02 03 04 ");

    download.RecordCountText = "";  // no header: the window's error box says so
    EXPECT_THROW(
        FillDataReportTexts(page, download, cells, shown, TemperatureUnit::Celsius, locale),
        LoggerError);
}

}  // namespace
}  // namespace halvik
