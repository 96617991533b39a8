// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "records/Record.h"

namespace halvik {

// Where records are kept: $HALVIK_RECORDS_DIR when set and not empty, else
// $XDG_DATA_HOME/halvik/records (an absolute $XDG_DATA_HOME only), else
// $HOME/.local/share/halvik/records. Only works out the path.
std::filesystem::path RecordFolderPath();

// RecordFolderPath(), created (with its parents) when missing. Throws RecordError naming the
// folder when it cannot be created, is a file or a symbolic link to nothing, and naming
// HALVIK_RECORDS_DIR when there is no home to keep records under (HOME unset or relative).
std::filesystem::path RecordFolder();

// "<PID as 10 hex digits>_<first reading as YYYYMMDDTHHMMZ>_<count>.halvik", for example
// "0102030405_20260112T0800Z_1440.halvik": the PID from header bytes 0..4 (lowercase hex), the
// first reading's time from the header's clock, the announced number of readings. A header
// clock out of range (not a real Gregorian date and time) gives "notime" in place of the time.
// Requires a header of at least kHeaderDataLength bytes (RecordProblem empty).
std::string RecordFileName(const Record& record);

struct KeptRecord {
    std::filesystem::path path;  // the record's file
    // True when `folder` already held a record of the same download (same header and reading
    // bytes, digest intact): nothing was written and `path` names that file.
    bool alreadyKept = false;
};

// Keeps `record` in `folder` (which must exist; see RecordFolder) under RecordFileName, or with a
// suffix "-2", "-3", ... before ".halvik" when a different download holds the name: an existing
// file is never replaced. The file is written to a temporary file in the same folder, synced and
// renamed into place, then the folder is synced; when anything fails (folder not writable, disk
// full, file size limit) no file is left behind and RecordError says which file could not be
// written and why. Safe to call from any thread; takes tens of milliseconds with the syncs, so
// the window runs it off its main thread. Temporary files a killed write left in `folder` are
// removed once they are a day old.
KeptRecord KeepRecord(const Record& record, const std::filesystem::path& folder);

// Writes `text` to the output `path` (a CSV export, for example) as OutputFile does: a regular
// file is replaced whole or not at all (through a synced temporary file, keeping its mode, after
// following symbolic links), a device, pipe, "-" or /dev/stdout is written directly. Throws
// RecordError ("The file <path> could not be written: <reason>") with no temporary file left.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view text);

// True when `path` leads (through symbolic links) to an existing regular file that is a record:
// its name ends in ".halvik" or its content starts with a record's first bytes. Such a file is
// never written over by an export or a report.
bool IsRecordFile(const std::filesystem::path& path);

// True when two names lead to one file: the same file when both exist, else the same absolute,
// weakly canonical name (an output that does not exist yet).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Throws RecordError ("NAME is a record, and a record is never overwritten: choose another
// file.") when `output` is the record `shown` (empty: none) or any other record file
// (IsRecordFile): the window's exports and reports check their file with it before writing.
void RefuseRecordAsOutput(const std::filesystem::path& output, const std::filesystem::path& shown);

// Reads the record file at `path`. Refuses a file larger than kMaxRecordFileSize by its size
// before reading it. Throws RecordError naming the file and the reason when it cannot be read
// (missing, a folder, no permission) or is not a record this program can read (see
// ParseRecord); a record whose digest does not match comes back with `intact` false.
LoadedRecord LoadRecord(const std::filesystem::path& path);

}  // namespace halvik
