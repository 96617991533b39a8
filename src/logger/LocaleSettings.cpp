// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/LocaleSettings.h"

#include <utility>

namespace halvik {

std::string TimeSeparatorOf(std::string_view timeFormat) {
    // Pattern letters are ASCII, and no byte of a multi-byte UTF-8 character is: the format can be
    // read byte by byte.
    const std::size_t hour = timeFormat.find_first_of("hH");
    if (hour == std::string_view::npos) {
        return {};
    }
    std::size_t at = timeFormat.find_first_not_of("hH", hour);
    std::string separator;
    bool quoted = false;
    for (; at < timeFormat.size(); ++at) {
        const char c = timeFormat[at];
        if (c == '\'') {
            if (at + 1 < timeFormat.size() && timeFormat[at + 1] == '\'') {
                separator += '\'';  // '' is one quote mark, inside quotes or out
                ++at;
            } else {
                quoted = !quoted;
            }
        } else if (c == 'm' && !quoted) {
            return separator;
        } else {
            separator += c;
        }
    }
    return {};  // no minute field after the hours
}

LocaleSettings LocaleSettingsOf(std::string decimalSeparator, std::string_view shortTimeFormat,
                                std::array<std::string, 12> shortMonthNames) {
    LocaleSettings settings;
    settings.decimalSeparator = std::move(decimalSeparator);
    std::string separator = TimeSeparatorOf(shortTimeFormat);
    if (!separator.empty()) {
        settings.timeSeparator = std::move(separator);
    }
    settings.shortMonthNames = std::move(shortMonthNames);
    return settings;
}

}  // namespace halvik
