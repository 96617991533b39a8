// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "logger/Reading.h"
#include "records/RecordStore.h"

namespace halvik::cli {

// The unit a --unit letter names ("F" Fahrenheit, anything else Celsius).
TemperatureUnit UnitOf(const std::string& letter);

// --unit as given, or the record's own unit when it was not given.
TemperatureUnit ShownUnit(const std::string& letter, TemperatureUnit recordUnit);

// Throws UsageError for --limits that are not numbers or whose LOW is above HIGH.
void CheckLimits(double low, double high);

// A record read for show, export and report: a changed record is still used, with a warning.
LoadedRecord LoadForUse(const std::string& path);

}  // namespace halvik::cli
