// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/Clipboard.h"

#include <gtest/gtest.h>

#include "logger/LoggerError.h"

namespace halvik {
namespace {

// The grid as a download of two readings leaves it (captions and two readings from 7 January
// 2014, 09:00: 24.0 and 24.3 °C; the texts the reading parse writes, tests/download).
CellStore TwoReadings() {
    CellStore grid;
    const char* rows[3][4] = {
        {" Points", "       Date", "    Time", "Temperature (\u00B0C)"},
        {"1", "  07 JAN  14", "    09:00", "            24.0"},
        {"2", "  07 JAN  14", "    09:06", "            24.3"},
    };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < CellStore::kColumns; ++column)
            grid.setCell(column, row, rows[row][column]);
    grid.setRowCount(3);
    return grid;
}

TEST(CopyAllText, DataRowsWithTabsAndCrLfButNoFinalLineBreak) {
    const CellStore grid = TwoReadings();
    EXPECT_EQ(CopyAllText(grid, "2"),
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
    const CellStore grid = TwoReadings();
    EXPECT_EQ(SelectionCopyText(grid, {0, 2, 1, 3}),
              " Points\t       Date\t    Time\tTemperature (\u00B0C)\r\n"
              "1\t  07 JAN  14\t    09:00\t            24.0\r\n"
              "2\t  07 JAN  14\t    09:06\t            24.3");
    EXPECT_EQ(SelectionCopyText(grid, {2, 2, 1, 3}),
              "2\t  07 JAN  14\t    09:06\t            24.3");
    EXPECT_EQ(SelectionCopyText(grid, {0, 0, 1, 3}),
              " Points\t       Date\t    Time\tTemperature (\u00B0C)");
    EXPECT_EQ(SelectionCopyText(grid, {5, 5, 1, 3}), "\t\t\t");
}

}  // namespace
}  // namespace halvik
