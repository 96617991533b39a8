// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace halvik {

// The parts of the user's locale that texts on screen follow. The window fills it from the
// system locale; tests pass fixed values. All texts are UTF-8.
struct LocaleSettings {
    std::string decimalSeparator = ".";
    std::string timeSeparator = ":";
    std::array<std::string, 12> shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};

// The settings of a locale from what it says of itself: its decimal separator, its short time
// format (pattern letters as Qt and ICU write them: "HH:mm", "h:mm AP", "HH 'h' mm") and its
// twelve abbreviated month names. The time separator is the one the format puts between hours
// and minutes, or the default ":" when the format has none.
LocaleSettings LocaleSettingsOf(std::string decimalSeparator, std::string_view shortTimeFormat,
                                std::array<std::string, 12> shortMonthNames);

// What a time format writes between the hour field and the following minute field, with its
// quoting undone ('h' is the letter h, '' a quote mark); empty when the format has no hour field,
// no minute after it, or nothing between them. All texts are UTF-8.
std::string TimeSeparatorOf(std::string_view timeFormat);

}  // namespace halvik
