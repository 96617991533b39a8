// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/RecordFacts.h"

namespace halvik {

class IndexDatabase;

// The records index cannot be used, or the records folder cannot be read. what() is a sentence
// for the user naming the file or folder.
class LibraryError : public std::runtime_error {
  public:
    explicit LibraryError(const std::string& message) : std::runtime_error(message) {}
};

// $XDG_CACHE_HOME/halvik/records-index.sqlite (an absolute $XDG_CACHE_HOME only), else
// $HOME/.cache/halvik/records-index.sqlite. Only works out the path.
std::filesystem::path RecordsIndexPath();

// What one bring-up-to-date of the index did.
struct IndexUpdate {
    int added = 0, changed = 0, removed = 0;
    // Records reviewed again because the profile of their card was assigned, changed or taken.
    int reviewed = 0;
    // Why the index was started afresh (damaged, of another version, could not be kept), or empty.
    std::string rebuilt;
};

// Which records a listing shows; every field unset or false shows all.
struct RecordFilter {
    std::optional<std::string> pid{};  // "01 02 03 04 05" as shown, or "0102030405" as in the name
    // Records with a reading at or after `since` and at or before `until` (UTC seconds).
    std::optional<std::int64_t> since{}, until{};
    std::optional<std::string> verdict{};  // "OK" or "ALARM"
    bool incompleteOnly = false;
    bool changedOnly = false;
};

// The index of one records folder, kept in a SQLite file that any number of Halvik processes
// may open and update at once. It holds, per `.halvik` file, its name, size and times and the
// facts of its content; a file is read again only when its size or times changed. The index is
// a cache: missing, damaged or of another version it is built again from the files, and where
// it cannot be kept at all (a read-only cache folder) it lives in memory for this run. Record
// files are only ever opened for reading.
class RecordsIndex {
  public:
    // Opens (creating or rebuilding as needed) the index at `indexFile` for `folder`. Does not
    // read the folder: call Update. Never throws for a damaged or unwritable index file. With a
    // `profileFolder` (see ProfileFolderPath) each record is reviewed under the profile its card
    // is assigned there, and reviewed again when that assignment or profile changes; without
    // one, verdicts already in the index are kept as they are.
    RecordsIndex(std::filesystem::path indexFile, std::filesystem::path folder,
                 std::optional<std::filesystem::path> profileFolder = std::nullopt);
    ~RecordsIndex();
    RecordsIndex(const RecordsIndex&) = delete;
    RecordsIndex& operator=(const RecordsIndex&) = delete;

    // Brings the index up to date with the folder: new files read, changed files read again,
    // removed files dropped. Throws LibraryError naming the folder when it cannot be listed (the
    // index then keeps what it had). A file that disappears while it is read is left out.
    IndexUpdate Update();

    // Forgets everything of this folder and reads every file again.
    IndexUpdate Reindex();

    // The records of the folder that pass `filter`, newest reading first, then records that
    // cannot be read (always listed: their content is not known, so no filter can leave them
    // out), by name.
    std::vector<RecordFacts> List(const RecordFilter& filter = {}) const;

    const std::filesystem::path& Folder() const { return folder_; }
    // Why the index lives in memory for this run, or empty.
    const std::string& InMemoryReason() const { return inMemory_; }
    // Why the index was started afresh when it was opened, or empty.
    const std::string& OpenedAfresh() const { return rebuilt_; }

  private:
    std::unique_ptr<IndexDatabase> db_;
    std::filesystem::path indexFile_;
    std::filesystem::path folder_;
    std::optional<std::filesystem::path> profileFolder_;
    std::string folderKey_;
    std::string inMemory_;
    std::string rebuilt_;
};

// The facts of the `.halvik` file `name` in `folder` as read now: statted then read, so a file
// that changes in between is read again at the next update. `problem` is set when it cannot be
// read as a record. With a `profileFolder`, reviewed as RecordsIndex does. Nothing is written.
RecordFacts ReadRecordFacts(const std::filesystem::path& folder, const std::string& name,
                            const std::optional<std::filesystem::path>& profileFolder = {});

}  // namespace halvik
