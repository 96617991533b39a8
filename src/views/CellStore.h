// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <vector>

namespace halvik {

// The grid's text cells, kept apart from any widget so the program's rules can be tested
// without a display. Four columns; cells may be written in rows at or beyond the row count
// and show once the row count grows to include them. A cell never written, or outside the
// four columns, reads as an empty text. Texts are UTF-8.
class CellStore {
  public:
    static constexpr int kColumns = 4;

    int rowCount() const { return rowCount_; }
    void setRowCount(int rows);

    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, std::string text);

    // Rows that hold storage (written at least once), which may exceed rowCount().
    int storedRows() const { return static_cast<int>(rows_.size()); }

  private:
    int rowCount_ = 1;
    std::vector<std::array<std::string, kColumns>> rows_;
};

}  // namespace halvik
