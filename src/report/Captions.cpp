// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/Captions.h"

#include <cmath>

#include "pdf/PdfObjects.h"

namespace halvik {

int FollowingCaptionLeft(int designedLeft, double valueLeft, double valueWidth, double gap) {
    const double end = valueLeft + valueWidth + gap;
    if (!(end > designedLeft))  // also a width that is not a number: keep the design
        return designedLeft;
    return static_cast<int>(std::ceil(end));
}

namespace {

bool CodePageHolds(std::string_view utf8) {
    for (char16_t unit : Utf8ToUtf16(utf8)) {
        if (unit != u'?' && AnsiByte(unit) == '?')
            return false;
    }
    return true;
}

}  // namespace

std::string WithSeparatorForCodePage(std::string_view caption, std::string_view separator,
                                     std::string_view replacement) {
    std::string text(caption);
    if (separator.empty() || CodePageHolds(separator))
        return text;
    for (std::size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, at + replacement.size()))
        text.replace(at, separator.size(), replacement);
    return text;
}

}  // namespace halvik
