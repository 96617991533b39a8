// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/ChartScale.h"

#include <cmath>

#include "analysis/Statistics.h"

namespace halvik {

AxisRange FixedTemperatureRange(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? AxisRange{-20, 70} : AxisRange{-4, 158};
}

AxisRange FullTemperatureRange(TemperatureUnit unit, std::span<const double> values) {
    AxisRange range = FixedTemperatureRange(unit);
    for (double value : values) {
        if (!IsPossibleTemperature(value, unit))
            continue;
        if (value < range.min)
            range.min = std::floor(value / 10) * 10;
        if (value > range.max)
            range.max = std::ceil(value / 10) * 10;
    }
    return range;
}

}  // namespace halvik
