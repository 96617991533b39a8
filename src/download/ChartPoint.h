// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace halvik {

// One chart point of a download: the reading's value as the grid shows it and its timestamp
// label (empty when the header clock was out of range). The point's X is its index.
struct ChartPoint {
    double value = 0;
    std::string label;
};

}  // namespace halvik
