// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "logger/LocaleSettings.h"

namespace halvik {

// Shown by GoogleTest for a parameterised test.
inline void PrintTo(const LocaleSettings& locale, std::ostream* os) {
    *os << "decimal '" << locale.decimalSeparator << "', time '" << locale.timeSeparator << "'";
}

}  // namespace halvik

namespace halvik::test {

// The English settings and a comma-decimal one with "." between hours and minutes and German
// month names (one of them not ASCII).
inline LocaleSettings English() {
    return LocaleSettings{};
}

inline LocaleSettings German() {
    LocaleSettings locale;
    locale.decimalSeparator = ",";
    locale.timeSeparator = ".";
    locale.shortMonthNames = {"Jan", "Feb", "M\u00E4r", "Apr", "Mai", "Jun",
                              "Jul", "Aug", "Sep",      "Okt", "Nov", "Dez"};
    return locale;
}

// Test-name suffix for a locale parameter.
inline std::string LocaleName(const testing::TestParamInfo<LocaleSettings>& info) {
    return info.param.decimalSeparator == "," ? "Comma" : "Point";
}

// `text` with every '.' replaced by the locale's decimal separator.
inline std::string WithSeparator(std::string text, const LocaleSettings& locale) {
    std::string out;
    for (char c : text) {
        if (c == '.')
            out += locale.decimalSeparator;
        else
            out += c;
    }
    return out;
}

}  // namespace halvik::test
