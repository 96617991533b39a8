// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/sim/CardPace.h"

namespace halvik {

std::optional<DemoPace> ParseDemoPace(const std::string& text) {
    DemoPace pace;
    if (text == "fast")
        return pace;
    pace.pace = SimLoggerCard::Pace::UsbFullSpeed;
    if (text == "usb-fs")
        return pace;
    const std::string prefix = "stall-after:";
    if (text.rfind(prefix, 0) != 0 || text.size() == prefix.size() ||
        text.size() > prefix.size() + 9)
        return std::nullopt;
    std::size_t reports = 0;
    for (std::size_t i = prefix.size(); i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        reports = reports * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    pace.readingReportLimit = reports;
    return pace;
}

}  // namespace halvik
