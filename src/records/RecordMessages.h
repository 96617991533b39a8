// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window says about records: the status texts after keeping or opening one, the title
// naming the record shown, the CSV file name it proposes and the folder its open dialog starts
// in. Names are file names as bytes (shown as UTF-8).

#include <filesystem>
#include <string>

namespace halvik {

// "Kept as NAME", or "Already kept as NAME" when the folder held the same download.
std::string KeptMessage(const std::string& fileName, bool alreadyKept);
// "Not kept: REASON".
std::string NotKeptMessage(const std::string& reason);
// "Showing NAME", or for a record that does not match its digest the warning that it was
// changed after its download.
std::string ShowingMessage(const std::string& fileName, bool intact);

// The window's title: `programTitle` alone, or after the record's name ("NAME — ", with
// " (changed after download)" before the dash for a changed record). The program's name comes
// last: a window system adds the display name to any title that does not already end with it.
std::string RecordTitle(const std::string& fileName, bool intact, const std::string& programTitle);

// The CSV file proposed for a record shown under `recordFileName`: its name up to the last dot,
// then ".csv" ("0102030405_20260112T0800Z_1440.csv").
std::string CsvFileNameFor(const std::string& recordFileName);

// The folder an open dialog starts in: the records folder (made when missing), or where it
// would be when it cannot be made.
std::filesystem::path RecordFolderToBrowse();

}  // namespace halvik
