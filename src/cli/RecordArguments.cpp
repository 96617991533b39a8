// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RecordArguments.h"

#include <cmath>

#include "cli/Output.h"

namespace halvik::cli {

TemperatureUnit UnitOf(const std::string& letter) {
    return letter == "F" ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
}

TemperatureUnit ShownUnit(const std::string& letter, TemperatureUnit recordUnit) {
    return letter.empty() ? recordUnit : UnitOf(letter);
}

void CheckLimits(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high))
        throw UsageError("--limits: LOW and HIGH must be numbers");
    if (low > high)
        throw UsageError("--limits: LOW is above HIGH");
}

LoadedRecord LoadForUse(const std::string& path) {
    LoadedRecord loaded = LoadRecord(path);
    if (!loaded.intact)
        Problem(loaded.problem);
    return loaded;
}

}  // namespace halvik::cli
