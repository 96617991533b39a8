// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/CellStore.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

namespace halvik {
namespace {

TEST(CellStore, CellsBeyondTheRowCountAreKeptAndUnwrittenCellsAreEmpty) {
    CellStore grid;
    EXPECT_EQ(grid.rowCount(), 1);
    grid.setCell(1, 500, "  07 JAN  14");
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.cell(1, 500), "  07 JAN  14");
    grid.setRowCount(501);
    EXPECT_EQ(grid.cell(1, 500), "  07 JAN  14");
    EXPECT_EQ(grid.cell(2, 500), "");
    EXPECT_EQ(grid.cell(1, 9999), "");
    EXPECT_EQ(grid.cell(4, 1), "");
    EXPECT_EQ(grid.cell(-1, 1), "");
    grid.setCell(4, 1, "ignored");
    grid.setCell(0, -1, "ignored");
    EXPECT_EQ(grid.cell(4, 1), "");
    EXPECT_THROW(grid.setRowCount(-1), std::invalid_argument);
}

TEST(CellStore, ARowFarBeyondTheRowCountIsHeldUntilTheRowCountReachesIt) {
    // The header handler writes the dates of a full card before the parse sets the row count.
    CellStore grid;
    grid.setCell(1, 14400, "  06 MAR  14");
    grid.setCell(2, 14400, "    08:54");
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.storedRows(), 14401);
    EXPECT_EQ(grid.cell(1, 14400), "  06 MAR  14");
    EXPECT_EQ(grid.cell(3, 14400), "") << "a cell of the row never written";
    EXPECT_EQ(grid.cell(1, 7000), "") << "a row in between never written";
    // Reading far beyond anything stored neither fails nor stores anything.
    for (int row : {14401, 1 << 20, std::numeric_limits<int>::max()})
        EXPECT_EQ(grid.cell(1, row), "") << row;
    EXPECT_EQ(grid.storedRows(), 14401);
    grid.setRowCount(14401);
    EXPECT_EQ(grid.cell(2, 14400), "    08:54");
}

TEST(CellStore, AShrinkingRowCountKeepsTheCellsBeyondIt) {
    // A second download of fewer readings: the rows past the new count keep their texts, and
    // show again when a later download covers them; the row count alone says what is shown.
    CellStore grid;
    for (int row = 1; row <= 100; ++row)
        grid.setCell(0, row, std::to_string(row));
    grid.setRowCount(101);
    grid.setRowCount(4);
    EXPECT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.storedRows(), 101);
    EXPECT_EQ(grid.cell(0, 3), "3");
    EXPECT_EQ(grid.cell(0, 4), "4");
    EXPECT_EQ(grid.cell(0, 100), "100");
    grid.setCell(0, 2, "two");
    grid.setRowCount(0);
    EXPECT_EQ(grid.rowCount(), 0);
    EXPECT_EQ(grid.cell(0, 2), "two");
    grid.setRowCount(101);
    EXPECT_EQ(grid.cell(0, 2), "two");
    EXPECT_EQ(grid.cell(0, 100), "100");
}

}  // namespace
}  // namespace halvik
