// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "logger/Reading.h"  // TemperatureUnit

namespace halvik {

// A visible range of one axis.
struct AxisRange {
    double min = 0;
    double max = 0;
    bool operator==(const AxisRange&) const = default;
};

// The temperature axis's fixed range for a unit: -20..70 °C, -4..158 °F.
AxisRange FixedTemperatureRange(TemperatureUnit unit);

// The temperature axis's full view for readings in `unit`: the fixed range when every reading
// fits in it; otherwise each end that a reading passes is moved out (never in) to the next
// multiple of 10 beyond the reading. Readings that cannot be real temperatures
// (IsPossibleTemperature) do not widen it.
AxisRange FullTemperatureRange(TemperatureUnit unit, std::span<const double> values);

}  // namespace halvik
