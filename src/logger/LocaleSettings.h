#pragma once

#include <array>
#include <string>

namespace halvik {

// The parts of the user's locale that texts on screen follow. The window fills it from the
// system locale; tests pass fixed values. All texts are UTF-8.
struct LocaleSettings {
    std::string decimalSeparator = ".";
    std::string timeSeparator = ":";
    std::array<std::string, 12> shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};

}  // namespace halvik
