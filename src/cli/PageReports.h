// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace halvik::cli {

// halvik-cli report --data/--chart: a kept record's Data Report (to `dataPath`) and Chart Print
// (to `chartPath`), either name may be empty, as the window writes them for the record, made in
// this process on Qt's offscreen platform: no display, no other program, no dialog. `unit`: "C",
// "F" or empty for the record's own. Returns 0, or 1 for a record changed after its download
// (still reported); throws std::runtime_error with the reason when the record cannot be read or
// shown or a file cannot be written.
int WritePageReports(const std::string& recordPath, const std::string& dataPath,
                     const std::string& chartPath, const std::string& unit);

}  // namespace halvik::cli
