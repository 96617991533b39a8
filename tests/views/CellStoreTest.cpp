#include "views/CellStore.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

}  // namespace
}  // namespace halvik
