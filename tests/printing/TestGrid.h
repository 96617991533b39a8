// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "views/CellStore.h"

namespace halvik::testing {

// A grid as a download leaves it: captions in row 0, readings in rows 1..readings, with the
// temperature field's twelve leading spaces.
inline CellStore downloadedGrid(int readings) {
    CellStore cells;
    cells.setCell(0, 0, " Points");
    cells.setCell(1, 0, "       Date");
    cells.setCell(2, 0, "    Time");
    cells.setCell(3, 0, "Temperature (°C)");
    for (int r = 1; r <= readings; ++r) {
        const std::string number = std::to_string(r);
        cells.setCell(0, r, number);
        cells.setCell(1, r, std::string("D").append(number));
        cells.setCell(2, r, std::string("T").append(number));
        cells.setCell(3, r, std::string(12, ' ') + std::to_string(r % 40) + ".5");
    }
    cells.setRowCount(readings + 1);
    return cells;
}

}  // namespace halvik::testing
