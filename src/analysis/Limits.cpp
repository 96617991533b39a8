// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Limits.h"

#include <cmath>

namespace halvik {

namespace {

enum class Side { Below, InRange, Above };

Side SideOf(double value, double low, double high) {
    if (std::isnan(value) || value > high)
        return Side::Above;
    if (value < low)
        return Side::Below;
    return Side::InRange;
}

}  // namespace

LimitAnalysis AnalyseLimits(std::span<const double> values, double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high))
        throw LimitError("the limits must be numbers");
    if (low > high)
        throw LimitError("the low limit is above the high limit");
    LimitAnalysis analysis;
    analysis.low = low;
    analysis.high = high;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double value = values[i];
        const Side side = SideOf(value, low, high);
        if (side == Side::InRange) {
            analysis.inRangeMinutes += 6;
            continue;
        }
        const bool above = side == Side::Above;
        (above ? analysis.aboveMinutes : analysis.belowMinutes) += 6;
        const int index = static_cast<int>(i);
        if (!analysis.excursions.empty()) {
            Excursion& open = analysis.excursions.back();
            if (open.above == above && open.last == index - 1) {
                open.last = index;
                if (above ? !(value <= open.peak) : value < open.peak)
                    open.peak = value;
                continue;
            }
        }
        analysis.excursions.push_back({above, index, index, value});
    }
    return analysis;
}

}  // namespace halvik
