// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "logger/Reading.h"

namespace halvik {

// The record of one download, as kept in a `.halvik` file (docs/record-format.md). Everything the
// window shows derives from the two byte fields; the rest says when, where and how it was made.
struct Record {
    // The header report's data bytes as the card sent them, without the report ID (the card's
    // reports are unnumbered: the ID is always 0 and nothing shown depends on it). At least
    // kHeaderDataLength bytes.
    std::vector<std::uint8_t> header;
    // The data bytes of every reading report in the order they arrived, without the report IDs:
    // two bytes per reading, then whatever padding the last report carried.
    std::vector<std::uint8_t> readings;
    std::chrono::sys_seconds downloadedAt{};  // UTC
    std::string host;                         // the computer the download was made on
    std::string programVersion;               // Halvik's version, "0.1"
    TemperatureUnit unit = TemperatureUnit::Celsius;
    // True when all 2 x ReadingCount reading bytes arrived; false for a download that stopped
    // early (it then holds fewer).
    bool complete = false;

    bool operator==(const Record&) const = default;
};

// The file format version this program writes and reads.
inline constexpr int kRecordFormatVersion = 1;

// Limits that no real download comes near; a file or record beyond them is refused, a file by
// its size before anything of it is read.
inline constexpr std::size_t kMaxRecordHeaderBytes = 256;
inline constexpr std::size_t kMaxRecordReadingBytes = 65536;
inline constexpr std::uintmax_t kMaxRecordFileSize = 1024 * 1024;

// A record that cannot be written, read or used. what() is a sentence for the user that names the
// file (where there is one) and the reason.
class RecordError : public std::runtime_error {
  public:
    explicit RecordError(const std::string& message) : std::runtime_error(message) {}
};

// The number of readings the header announces, at most kMaxReadings (as the window reads it).
// 0 for a header shorter than kHeaderDataLength.
int RecordReadingCount(const Record& record);

// The time (UTC, the card's clock) of the first reading from the header's clock, or nothing when
// the header's hour, minute, day, month and year do not form a real Gregorian date and time.
std::optional<std::chrono::sys_seconds> RecordFirstReading(const Record& record);

// The number of readings whose two bytes are in `readings`: at most RecordReadingCount.
int RecordReadingsReceived(const Record& record);

// ISO 8601 in UTC, "2026-01-12T08:00:00Z" (years 0 to 9999).
std::string UtcTimeText(std::chrono::sys_seconds time);

// Empty when `record` can be kept and read back as it is; otherwise why not (a header too short
// or too long, too many reading bytes, `complete` disagreeing with the number of reading bytes,
// a host or version text that is not UTF-8 or holds control characters).
std::string RecordProblem(const Record& record);

// A file name's bytes fit for one line of text: every control character, text direction mark
// and byte that is not UTF-8 is written as an escape (\n, \t, \x1b, \u202e, \xff), a backslash
// as \\; everything else stays as it is. Messages that name a file name it so.
std::string EscapedName(std::string_view name);

// True when all of `text` is well-formed UTF-8 (no overlong form, surrogate or value above
// U+10FFFF).
bool IsUtf8(std::string_view text);

// The computer's host name, with anything a record cannot hold (control characters, invalid
// UTF-8) replaced by '?'. "localhost" when the system gives none.
std::string LocalHostName();

// The SHA-256 digest (64 lowercase hex digits) of DigestInput(record).
std::string RecordDigest(const Record& record);

// The bytes the digest is computed over: one line (ending in LF) for each of "halvik-record",
// the version, header hex, readings hex, downloaded_utc, host, program_version, unit ("C"/"F")
// and complete ("true"/"false"), in this order.
std::string DigestInput(const Record& record);

// The whole file's text: one line of JSON starting with {"format":"halvik-record", ending in LF.
// Throws RecordError when RecordProblem(record) is not empty.
std::string RecordText(const Record& record);

// A record read back from a file's text.
struct LoadedRecord {
    Record record;
    // False when the stored digest does not match the content: the record was changed after
    // it was kept. `problem` then says so (naming `fileName`); the content is still usable.
    bool intact = false;
    std::string problem;
};

// Reads a record from the text of a file. Throws RecordError naming `fileName` when the text is
// not a record this program can read: not JSON, another format, an unknown version, a missing
// or malformed field, or fields that disagree with each other.
LoadedRecord ParseRecord(std::string_view text, std::string_view fileName);

}  // namespace halvik
