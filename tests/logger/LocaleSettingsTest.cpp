// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "logger/LocaleSettings.h"

namespace halvik {
namespace {

struct TimeFormatCase {
    const char* format;
    const char* separator;  // as TimeSeparatorOf gives it
};

// Short time formats as locales write them, and the malformed ones a locale might still give.
TEST(TimeSeparatorOf, TheTextBetweenHoursAndMinutes) {
    const TimeFormatCase cases[] = {
        {"HH:mm", ":"},
        {"h:mm AP", ":"},
        {"hh:mm:ss", ":"},
        {"HH.mm", "."},
        {"H.mm", "."},
        {"AP h:mm", ":"},
        {"HH 'h' mm", " h "},  // quoted letters are text
        {"HH'h'mm", "h"},
        {"HH''mm", "'"},                                  // '' is a quote mark
        {"H\xE6\x99\x82mm\xE5\x88\x86", "\xE6\x99\x82"},  // 時, UTF-8 kept whole
        {"HH'm'mm", "m"},                                 // a quoted m is not the minute field
        {"HHmm", ""},                                     // nothing between them
        {"HH", ""},                                       // no minutes
        {"mm:HH", ""},                                    // no minutes after the hours
        {"", ""},
        {"HH:'mm", ""},  // the minute field is inside an unclosed quote
    };
    for (const TimeFormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(TimeSeparatorOf(c.format), c.separator);
    }
}

TEST(LocaleSettingsOf, KeepsTheDefaultColonWhenTheFormatHasNoSeparator) {
    const std::array<std::string, 12> months = {"janv.",
                                                "f\xC3\xA9vr.",
                                                "mars",
                                                "avr.",
                                                "mai",
                                                "juin",
                                                "juil.",
                                                "ao\xC3\xBBt",
                                                "sept.",
                                                "oct.",
                                                "nov.",
                                                "d\xC3\xA9"
                                                "c."};
    const LocaleSettings french = LocaleSettingsOf(",", "HH 'h' mm", months);
    EXPECT_EQ(french.decimalSeparator, ",");
    EXPECT_EQ(french.timeSeparator, " h ");
    EXPECT_EQ(french.shortMonthNames, months);

    EXPECT_EQ(LocaleSettingsOf(".", "HHmm", months).timeSeparator, ":");
    EXPECT_EQ(LocaleSettingsOf(".", "", months).timeSeparator, ":");
}

}  // namespace
}  // namespace halvik
