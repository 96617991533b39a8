// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Captions of the window's statistics and of the data report: where a caption that follows a
// value stands, and how a caption copied from the window is written in the report's code page.

#include <string>
#include <string_view>

namespace halvik {

// The left edge of a caption that follows a value on the same line (a unit after a number): its
// designed place while the value ends at least `gap` before it; otherwise `gap` after the value's
// end, rounded up to a whole unit, so that the two never touch.
int FollowingCaptionLeft(int designedLeft, double valueLeft, double valueWidth, double gap);

// A caption copied into the report, with every `separator` (the locale's decimal or time
// separator, UTF-8) written as `replacement` when the report's code page (1252) lacks one of its
// characters. Other characters are left to the writer, which prints "?" for those it lacks.
std::string WithSeparatorForCodePage(std::string_view caption, std::string_view separator,
                                     std::string_view replacement);

}  // namespace halvik
