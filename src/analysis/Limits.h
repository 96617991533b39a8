// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <stdexcept>
#include <vector>

namespace halvik {

// Time in range and excursions of a download against an allowed range [low, high] (both
// inclusive, in the download's unit). Each reading stands for its six-minute interval. A reading
// is above when its shown value is greater than `high`, below when less than `low`, in range
// otherwise.
struct Excursion {
    bool above = false;  // above `high`; otherwise below `low`
    int first = 0;       // index of its first reading (0-based)
    int last = 0;        // index of its last reading
    double peak = 0;     // the highest value of an excursion above, the lowest of one below
    int minutes() const { return 6 * (last - first + 1); }
};

struct LimitAnalysis {
    double low = 0;
    double high = 0;
    int inRangeMinutes = 0;
    int aboveMinutes = 0;
    int belowMinutes = 0;
    // Maximal runs of consecutive readings on the same side, in reading order.
    std::vector<Excursion> excursions;
};

class LimitError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// `values` are the readings as shown (the one-decimal texts read back as numbers). Throws
// LimitError when low > high or a limit is not a finite number. A value that is not a number
// counts as out of range on the high side, never as in range.
LimitAnalysis AnalyseLimits(std::span<const double> values, double low, double high);

}  // namespace halvik
