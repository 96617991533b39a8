// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/Clipboard.h"

#include "logger/Conversions.h"

namespace halvik {

namespace {

void DropFinalLineBreak(std::string& text) {
    if (text.size() >= 2)
        text.resize(text.size() - 2);
}

}  // namespace

std::string CopyAllText(const CellStore& grid, const std::string& recordCountText) {
    const int count = TextToInt(recordCountText);
    std::string text;
    if (count > 0)
        text.reserve(static_cast<std::size_t>(count) * 48);
    for (int row = 1; row <= count; ++row) {
        for (int column = 0; column < CellStore::kColumns; ++column) {
            text += grid.cell(column, row);
            text += column + 1 < CellStore::kColumns ? "\t" : "\r\n";
        }
    }
    DropFinalLineBreak(text);
    return text;
}

std::string SelectionCopyText(const CellStore& grid, const GridSelection& selection) {
    std::string text;
    for (int row = selection.top; row <= selection.bottom; ++row) {
        for (int column = selection.left - 1; column <= selection.right - 1; ++column) {
            text += grid.cell(column, row);
            text += '\t';
        }
        text += grid.cell(selection.right, row);
        text += "\r\n";
    }
    DropFinalLineBreak(text);
    return text;
}

std::string WithWarningLine(const std::string& warning, const std::string& text) {
    return warning.empty() ? text : warning + "\r\n" + text;
}

}  // namespace halvik
