// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The download library's three entry points under the names the fuzz targets use, so a rename
// there is one line here.

#include "views/Download.h"

namespace halvik::fuzz {

// The header handler: header report -> header texts and the grid's Date and Time columns.
inline HeaderResult TakeHeader(DownloadState& state, CellStore& grid, const std::uint8_t* data,
                               std::size_t size, const LocaleSettings& locale) {
    return ApplyHeaderReport(state, grid, 0, data, size, locale);
}

// The download handler: one reading report appended to the download text.
inline void TakeReadings(DownloadState& state, const std::uint8_t* data, std::size_t size) {
    AppendReadingBytes(state, data, size);
}

// The reading parse and the statistics.
inline void ParseReadings(DownloadState& state, CellStore& grid, TemperatureUnit unit,
                          const LocaleSettings& locale, ParseResult& result) {
    halvik::ParseReadings(state, grid, unit, locale, result);
}

}  // namespace halvik::fuzz
