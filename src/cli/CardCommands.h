// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/ReviewOptions.h"
#include "logger/Reading.h"
#include "timebase/TimeBase.h"

namespace halvik::cli {

// Where the cards come from: the machine's hidraw devices, or simulated cards from card image
// files on the in-memory platform.
struct CardSource {
    std::vector<std::string> simImages;  // empty: the real cards
    std::string pace = "fast";           // for simulated cards
};

// `halvik-cli list`. Returns the exit status.
int ListCards(const CardSource& source);

struct DownloadOptions {
    std::string card;                // device node; empty: the only card
    std::optional<std::string> csv;  // "-" for standard output
    TemperatureUnit unit = TemperatureUnit::Celsius;
    TimeBase timeBase;     // of the CSV's time_local and the summary's times
    ReviewRequest review;  // none asked: the profile the card was last reviewed with, if any
};

// `halvik-cli download`. Returns the exit status.
int DownloadCard(const CardSource& source, const DownloadOptions& options);

}  // namespace halvik::cli
