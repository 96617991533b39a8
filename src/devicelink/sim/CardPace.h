// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "devicelink/sim/LoggerCard.h"

namespace halvik {

// How fast a simulated card sends: "fast" (as fast as it is read), "usb-fs" (one 64-byte report
// per millisecond, as on USB full speed) or "stall-after:N" (the header and the first N reading
// reports at USB full speed, then nothing). halvik-demo and halvik-cli take it as --pace.
struct DemoPace {
    SimLoggerCard::Pace pace = SimLoggerCard::Pace::AsFastAsRead;
    std::size_t readingReportLimit = SIZE_MAX;
};
// Reads a pace text; std::nullopt when it is none of the above.
std::optional<DemoPace> ParseDemoPace(const std::string& text);

}  // namespace halvik
