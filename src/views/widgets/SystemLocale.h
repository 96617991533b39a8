// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/LocaleSettings.h"

namespace halvik {

// The parts of the system locale that the grid and chart texts follow (QLocale::system() read
// through LocaleSettingsOf).
LocaleSettings systemLocaleSettings();

}  // namespace halvik
