// SPDX-License-Identifier: GPL-3.0-or-later
#include "CellStore.h"

#include <stdexcept>

namespace halvik {

namespace {
const std::string kEmpty;
}

void CellStore::setRowCount(int rows) {
    if (rows < 0)
        throw std::invalid_argument("row count must not be negative");
    rowCount_ = rows;
}

const std::string& CellStore::cell(int column, int row) const {
    if (column < 0 || column >= kColumns || row < 0 || row >= storedRows())
        return kEmpty;
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void CellStore::setCell(int column, int row, std::string text) {
    if (column < 0 || column >= kColumns || row < 0)
        return;
    if (row >= storedRows())
        rows_.resize(static_cast<size_t>(row) + 1);
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text);
}

}  // namespace halvik
