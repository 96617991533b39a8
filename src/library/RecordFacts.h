// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records/Record.h"
#include "review/Review.h"

namespace halvik {

// What the records library knows of one `.halvik` file: enough to list, filter and sort a
// folder of thousands of records without opening them again. Everything but the file's name,
// size and times comes from the record's content.
struct RecordFacts {
    std::string name;  // the file's name in its folder
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;  // st_mtim in nanoseconds since 1970
    std::int64_t changedNs = 0;   // st_ctim: also moves when mtime is set back by hand
    std::int64_t inode = 0;

    // Empty when the file was read as a record; otherwise why it cannot be (the fields below are
    // then unset).
    std::string problem;

    std::string pid;     // as the window shows it, "01 02 03 04 05"
    std::string pidHex;  // as the file name holds it, "0102030405"
    // UTC seconds of the first and last reading shown; unset when the header's clock is not a
    // real date and time, or (last) when no reading arrived.
    std::optional<std::int64_t> firstReading, lastReading;
    int announced = 0;  // readings the header announced
    int count = 0;      // readings that arrived
    bool complete = false;
    bool intact = false;  // the stored digest matches the content
    std::int64_t downloadedAt = 0;
    std::string host;
    TemperatureUnit unit = TemperatureUnit::Celsius;
    // The statistics panel's numbers in the record's unit, as the window shows them; unset when
    // no reading is a real temperature.
    std::optional<double> maximum, minimum, mkt;
    // The verdict of the review under the profile the card is assigned ("OK" or "ALARM") and
    // that profile's name; unset when the card has no profile (or it cannot be read).
    std::optional<std::string> verdict, profile;

    bool operator==(const RecordFacts&) const = default;
};

// The content facts of a record read back (name, size and times are left for the caller).
RecordFacts FactsOfRecord(const LoadedRecord& loaded);

// Sets the verdict (and profile) of `facts` from a review of `record` under `profile`.
void ReviewFacts(RecordFacts& facts, const Record& record, const LimitProfile& profile);

}  // namespace halvik
