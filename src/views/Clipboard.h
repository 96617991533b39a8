// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "views/CellStore.h"

namespace halvik {

// The clipboard texts of the grid: cells joined by TAB, rows by CR LF, nothing after the last
// row, no quoting; cells keep their leading blanks; an empty cell is an empty field.

// Copy All: rows 1..RecordCount (the count read from `recordCountText`), columns 0..3 each.
// The caption row is never part of it. Throws LoggerError when `recordCountText` is not a
// number. A count of 0 gives an empty text.
std::string CopyAllText(const CellStore& grid, const std::string& recordCountText);

// The grid's current selection (rows top..bottom, columns left..right), as the grid widget
// reports it; the grid selects whole rows over columns 1..3.
struct GridSelection {
    int top = 0;
    int bottom = 0;
    int left = 1;
    int right = 3;
};

// Select & Copy and the right-button copy: for each selected row, the cells of columns
// left-1..right-1 each followed by a TAB, then the cell of column `right` (so with the usual
// selection columns 0, 1, 2 and 3, the Points column included). Row 0 copies the captions.
std::string SelectionCopyText(const CellStore& grid, const GridSelection& selection);

// A copied text with `warning` as its own first line (CR LF after it), so that it comes first
// wherever the rows are pasted; the text unchanged when there is no warning.
std::string WithWarningLine(const std::string& warning, const std::string& text);

}  // namespace halvik
