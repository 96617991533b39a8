// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "records/Record.h"
#include "timebase/TimeBase.h"

namespace halvik {

// The readings of a record as CSV (UTF-8, LF line ends, a final LF):
//
//   point,time_utc,celsius,fahrenheit
//   1,2026-01-12T08:00:00Z,4.0,39.2
//
// One line per reading that arrived (for an incomplete download only those; bytes beyond
// 2 x RecordReadingCount are padding and ignored). time_utc is the header's first-reading time
// plus 6 minutes per reading in the Gregorian calendar, empty when the header's clock is out of
// range. The temperatures are the grid's texts for the reading in °C and in °F, with "." as the
// decimal separator whatever the locale and without the grid's leading blanks. A header shorter
// than kHeaderDataLength gives the header line alone.
//
// A time base other than the card's clock adds time_local after time_utc: the same moment as
// that zone's clock shows it, in ISO 8601 with its offset (2026-03-29T03:06:00+02:00), so the
// two readings of the repeated autumn hour differ. time_utc stays the truth. Throws
// TimeBaseError when the zone is not in the database.
std::string RecordCsv(const Record& record, const TimeBase& base = TimeBase());

}  // namespace halvik
