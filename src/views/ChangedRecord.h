// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every copy, print and report of a record that no longer matches its digest says before
// its values, so that numbers changed after the download never pass for the card's own.

#include <string>

namespace halvik {

inline constexpr const char* kChangedRecordWarning =
    "CHANGED AFTER DOWNLOAD: do not trust these values";

// The warning for a record shown as `intact` or not: empty for an intact record or a download.
inline std::string ChangedRecordWarning(bool intact) {
    return intact ? std::string() : std::string(kChangedRecordWarning);
}

}  // namespace halvik
