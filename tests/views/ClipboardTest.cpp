// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/Clipboard.h"

#include <gtest/gtest.h>

#include "DownloadFixture.h"
#include "logger/LoggerError.h"

namespace halvik {
namespace {

// Captions and two readings from 7 January 2014, 09:00: 24.0 and 24.3 °C.
test::Download TwoReadings() {
    test::Download d;
    WriteGridCaptions(d.grid, TemperatureUnit::Celsius);
    test::HeaderFields f;
    f.count = 2;
    d.Header(f);
    d.Send({0x83, 0x40, 0x83, 0x42});
    d.Parse(TemperatureUnit::Celsius);
    return d;
}

TEST(CopyAllText, DataRowsWithTabsAndCrLfButNoFinalLineBreak) {
    test::Download d = TwoReadings();
    EXPECT_EQ(CopyAllText(d.grid, d.state.RecordCountText),
              "1\t  07 JAN  14\t    09:00\t            24.0\r\n"
              "2\t  07 JAN  14\t    09:06\t            24.3");
}

TEST(CopyAllText, EmptyCellsStillGetTheirSeparators) {
    CellStore grid;
    grid.setCell(3, 2, "x");
    EXPECT_EQ(CopyAllText(grid, "2"), "\t\t\t\r\n\t\t\tx");
    EXPECT_EQ(CopyAllText(grid, "0"), "");
    EXPECT_THROW(CopyAllText(grid, ""), LoggerError);
}

TEST(SelectionCopyText, RowsIncludeThePointsColumnAndCaptions) {
    test::Download d = TwoReadings();
    EXPECT_EQ(SelectionCopyText(d.grid, {0, 2, 1, 3}),
              " Points\t       Date\t    Time\tTemperature (\u00B0C)\r\n"
              "1\t  07 JAN  14\t    09:00\t            24.0\r\n"
              "2\t  07 JAN  14\t    09:06\t            24.3");
    EXPECT_EQ(SelectionCopyText(d.grid, {2, 2, 1, 3}),
              "2\t  07 JAN  14\t    09:06\t            24.3");
    EXPECT_EQ(SelectionCopyText(d.grid, {0, 0, 1, 3}),
              " Points\t       Date\t    Time\tTemperature (\u00B0C)");
    EXPECT_EQ(SelectionCopyText(d.grid, {5, 5, 1, 3}), "\t\t\t");
}

}  // namespace
}  // namespace halvik
