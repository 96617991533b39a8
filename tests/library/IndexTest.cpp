// SPDX-License-Identifier: GPL-3.0-or-later
// The index of a records folder brought up to date as files come, change and go, and started
// afresh when the index file itself is damaged or of another version: never touching a record.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "LibraryFixture.h"

namespace halvik::test {
namespace {

void SetIndexPragma(const fs::path& index, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(index.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

void Overwrite(const fs::path& path, std::size_t at, const std::string& bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct UpdateCase {
    const char* name;
    // Changes the folder or the index file after a first indexing of records a and b.
    std::function<void(LibraryTest&, const fs::path& folder, const fs::path& index,
                       const std::string& a, const std::string& b)>
        change;
    int added, changed, removed;
    bool rebuilt;
    std::vector<std::string> names;  // "a" and "b" stand for the two first records
    std::vector<std::string> unreadable;
};

class IndexUpdating : public LibraryTest {};

TEST_F(IndexUpdating, FollowsTheFolderAndStartsAfreshOverADamagedIndex) {
    const std::vector<UpdateCase> cases = {
        {"nothing changed",
         [](auto&, auto&, auto&, auto&, auto&) {},
         0,
         0,
         0,
         false,
         {"a", "b"},
         {}},
        {"added",
         [](LibraryTest&, const fs::path& folder, auto&, auto&, auto&) {
             KeepRecord(SampleRecord(30), folder);
         },
         1,
         0,
         0,
         false,
         {"0102030405_20260112T0800Z_30.halvik", "a", "b"},
         {}},
        {"changed, its time set back",
         [](LibraryTest&, const fs::path& folder, auto&, const std::string& a, auto&) {
             const fs::path path = folder / a;
             struct stat before {};
             ::stat(path.c_str(), &before);
             std::string text = FileText(path);
             text.replace(text.find("fridge-pc"), 9, "fridge-pX");
             Overwrite(path, 0, text);
             const struct timespec times[2] = {before.st_atim, before.st_mtim};
             ::utimensat(AT_FDCWD, path.c_str(), times, 0);
         },
         0,
         1,
         0,
         false,
         {"a", "b"},
         {}},
        {"removed",
         [](LibraryTest&, const fs::path& folder, auto&, auto&, const std::string& b) {
             fs::remove(folder / b);
         },
         0,
         0,
         1,
         false,
         {"a"},
         {}},
        {"renamed",
         [](LibraryTest&, const fs::path& folder, auto&, const std::string& a, auto&) {
             fs::rename(folder / a, folder / "fridge-2-january.halvik");
         },
         1,
         0,
         1,
         false,
         {"fridge-2-january.halvik", "b"},
         {}},
        {"foreign files",
         [](LibraryTest&, const fs::path& folder, auto&, auto&, auto&) {
             WriteText(folder / "notes.txt", "not a record");
             WriteText(folder / ".0102030405_20260112T0800Z_10.halvik.77-1-0.tmp", "{");
             WriteText(folder / "halvik", "");
             fs::create_directory(folder / "old");
         },
         0,
         0,
         0,
         false,
         {"a", "b"},
         {}},
        {"corrupt record",
         [](LibraryTest&, const fs::path& folder, auto&, auto&, auto&) {
             WriteText(folder / "broken.halvik", "{\"format\":\"halvik-record\",");
             fs::create_directory(folder / "folder.halvik");
         },
         2,
         0,
         0,
         false,
         {"a", "b", "broken.halvik", "folder.halvik"},
         {"broken.halvik", "folder.halvik"}},
        {"index with a damaged header",
         [](LibraryTest&, auto&, const fs::path& index, auto&, auto&) {
             Overwrite(index, 0, std::string(100, 'x'));
         },
         2,
         0,
         0,
         true,
         {"a", "b"},
         {}},
        {"truncated index",
         [](LibraryTest&, auto&, const fs::path& index, auto&, auto&) {
             fs::resize_file(index, fs::file_size(index) / 2);
         },
         2,
         0,
         0,
         true,
         {"a", "b"},
         {}},
        {"empty index file",
         [](LibraryTest&, auto&, const fs::path& index, auto&, auto&) {
             fs::resize_file(index, 0);
         },
         2,
         0,
         0,
         false,
         {"a", "b"},
         {}},
        {"index of a newer version",
         [](LibraryTest&, auto&, const fs::path& index, auto&, auto&) {
             SetIndexPragma(index, "PRAGMA user_version=99");
         },
         2,
         0,
         0,
         true,
         {"a", "b"},
         {}},
        {"another program's database",
         [](LibraryTest&, auto&, const fs::path& index, auto&, auto&) {
             fs::remove(index);
             SetIndexPragma(index, "CREATE TABLE photos(name TEXT)");
         },
         2,
         0,
         0,
         true,
         {"a", "b"},
         {}},
    };
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::remove_all(index_.parent_path());
        fs::create_directories(folder_);
        const std::string a = Keep(Sample(10, 1, 8));
        const std::string b = Keep(Sample(20, 2, 9));
        {
            RecordsIndex index(index_, folder_);
            const IndexUpdate first = index.Update();
            ASSERT_EQ(first.added, 2);
        }
        c.change(*this, folder_, index_, a, b);
        const auto files = Snapshot();

        RecordsIndex index(index_, folder_);  // as a later run opens it
        const IndexUpdate update = index.Update();
        EXPECT_EQ(update.added, c.added);
        EXPECT_EQ(update.changed, c.changed);
        EXPECT_EQ(update.removed, c.removed);
        EXPECT_EQ(!update.rebuilt.empty(), c.rebuilt) << update.rebuilt;
        EXPECT_EQ(files, Snapshot()) << "a record file was touched";

        std::vector<std::string> expected;
        for (const std::string& name : c.names)
            expected.push_back(name == "a" ? a : name == "b" ? b : name);
        std::sort(expected.begin(), expected.end());
        std::vector<std::string> listed, unreadable;
        for (const RecordFacts& facts : index.List()) {
            listed.push_back(facts.name);
            if (!facts.problem.empty())
                unreadable.push_back(facts.name);
        }
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(unreadable, c.unreadable);
        // What the index now holds is what reading each file afresh gives.
        for (const RecordFacts& facts : index.List())
            EXPECT_EQ(facts, ReadRecordFacts(folder_, facts.name)) << facts.name;
    }
}

TEST_F(IndexUpdating, ANewerIndexIsNamedAsTheReason) {
    Keep(Sample(10));
    RecordsIndex(index_, folder_).Update();
    SetIndexPragma(index_, "PRAGMA user_version=99");
    EXPECT_EQ(RecordsIndex(index_, folder_).Update().rebuilt,
              "it was made by a newer version of Halvik");
}

TEST_F(IndexUpdating, AFolderThatCannotBeListedKeepsWhatTheIndexHad) {
    const std::string a = Keep(Sample(10));
    RecordsIndex(index_, folder_).Update();
    const fs::path moved = dir_ / "unmounted";
    fs::rename(folder_, moved);  // the shared folder went away
    RecordsIndex index(index_, folder_);
    try {
        index.Update();
        FAIL() << "no error";
    } catch (const LibraryError& error) {
        EXPECT_EQ(std::string(error.what()), "The records folder " + folder_.string() +
                                                 " cannot be read: No such file or directory.");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{a});
    fs::rename(moved, folder_);
    EXPECT_EQ(RecordsIndex(index_, folder_).Update().removed, 0);
}

TEST_F(IndexUpdating, AnIndexThatCannotBeKeptLivesInMemory) {
    const std::string a = Keep(Sample(10));
    WriteText(dir_ / "cache", "a file where the cache folder should be");
    RecordsIndex index(index_, folder_);
    EXPECT_NE(index.InMemoryReason().find(index_.string()), std::string::npos);
    EXPECT_EQ(index.Update().added, 1);
    EXPECT_EQ(index.List().at(0).name, a);
}

TEST_F(IndexUpdating, TwoFoldersShareOneIndexFile) {
    const std::string a = Keep(Sample(10));
    const fs::path other = dir_ / "other";
    fs::create_directories(other);
    KeepRecord(Sample(20, 2), other);
    KeepRecord(Sample(30, 3), other);
    EXPECT_EQ(RecordsIndex(index_, folder_).Update().added, 1);
    EXPECT_EQ(RecordsIndex(index_, other).Update().added, 2);
    EXPECT_EQ(RecordsIndex(index_, folder_).Update().added, 0);
    EXPECT_EQ(Names(), std::vector<std::string>{a});
}

TEST_F(IndexUpdating, ReindexReadsEveryFileAgain) {
    Keep(Sample(10));
    Keep(Sample(20, 2));
    RecordsIndex index(index_, folder_);
    index.Update();
    const IndexUpdate again = index.Reindex();
    EXPECT_EQ(again.added, 2);
    EXPECT_EQ(index.List().size(), 2u);
}

}  // namespace
}  // namespace halvik::test
