// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/RecordsIndex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <utility>

#include "fileio/OutputFile.h"
#include "records/RecordStore.h"
#include "review/Profiles.h"

namespace halvik {

namespace fs = std::filesystem;

namespace {

// Bumped whenever the table changes: an index of any other version is built again.
constexpr int kSchemaVersion = 3;
// "Hlvk": tells Halvik's index from another program's database at the same path.
constexpr int kApplicationId = 0x486C766B;
// Writers wait for each other (a first indexing of a large folder takes seconds) rather than
// ever telling the user that the index is busy.
constexpr int kBusyTimeoutMs = 120000;

constexpr std::string_view kExtension = ".halvik";

constexpr const char* kSchema = R"(
CREATE TABLE records(
  folder TEXT NOT NULL, name TEXT NOT NULL,
  size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,
  inode INTEGER NOT NULL,
  problem TEXT,
  pid TEXT, pid_hex TEXT, first_reading INTEGER, last_reading INTEGER,
  announced INTEGER, count INTEGER, complete INTEGER, intact INTEGER,
  downloaded_at INTEGER, host TEXT, unit TEXT,
  maximum REAL, minimum REAL, mkt REAL, verdict TEXT, profile TEXT,
  profile_key TEXT,
  PRIMARY KEY(folder, name));
CREATE INDEX records_by_pid ON records(folder, pid_hex, first_reading);
CREATE INDEX records_unreadable ON records(folder, name) WHERE problem IS NOT NULL;
CREATE INDEX records_by_last ON records(folder, last_reading);
)";

constexpr const char* kColumns =
    "name, size, mtime_ns, ctime_ns, inode, problem, pid, pid_hex, first_reading, last_reading, "
    "announced, count, complete, intact, downloaded_at, host, unit, maximum, minimum, mkt, "
    "verdict, profile";

// A SQLite failure: its result code decides whether the index is damaged (built again) or the
// failure is the user's to hear about.
class SqlError : public std::runtime_error {
  public:
    SqlError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }
    bool damaged() const {
        const int primary = code_ & 0xFF;
        return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
    }

  private:
    int code_;
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool IsRecordName(std::string_view name) {
    // Hidden names are the temporary files of a record being kept.
    return name.size() > kExtension.size() && name.front() != '.' && name.ends_with(kExtension);
}

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

void TakeStat(RecordFacts& facts, const struct stat& info) {
    facts.size = static_cast<std::int64_t>(info.st_size);
    facts.modifiedNs = Nanoseconds(info.st_mtim);
    facts.changedNs = Nanoseconds(info.st_ctim);
    facts.inode = static_cast<std::int64_t>(info.st_ino);
}

bool SameFile(const RecordFacts& a, const RecordFacts& b) {
    return a.size == b.size && a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs &&
           a.inode == b.inode;
}

// The profile each card is assigned in a profile folder, looked up once per card and update.
class CardProfiles {
  public:
    explicit CardProfiles(std::optional<fs::path> folder) : folder_(std::move(folder)) {}

    bool Active() const { return folder_.has_value(); }

    // What the verdict of the card's records depends on: the profile's name and its text ("-"
    // for none). Unset when no profile folder is used.
    std::optional<std::string> Key(const std::string& pid) {
        if (!folder_)
            return std::nullopt;
        return Lookup(pid).key;
    }
    const LimitProfile* Profile(const std::string& pid) {
        if (!folder_)
            return nullptr;
        const Entry& entry = Lookup(pid);
        return entry.profile ? &*entry.profile : nullptr;
    }

  private:
    struct Entry {
        std::optional<LimitProfile> profile;
        std::string key = "-";
    };
    const Entry& Lookup(const std::string& pid) {
        const auto found = cards_.find(pid);
        if (found != cards_.end())
            return found->second;
        Entry entry;
        try {
            if (const auto name = RememberedProfile(*folder_, pid)) {
                LimitProfile profile = ResolveProfile(*name, *folder_).profile;
                entry.key = profile.name + "\n" + ProfileText(profile);
                entry.profile = std::move(profile);
            }
        } catch (const std::exception&) {
            // A profile that is gone or cannot be read gives no verdict; the window and
            // halvik-cli --profile say why when it is chosen.
        }
        return cards_.emplace(pid, std::move(entry)).first->second;
    }

    std::optional<fs::path> folder_;
    std::map<std::string, Entry> cards_;
};

// Reads the file whose stat was just taken. Empty when it is gone by now.
std::optional<RecordFacts> ReadFacts(const fs::path& folder, const std::string& name,
                                     const struct stat& info, CardProfiles& profiles) {
    RecordFacts facts;
    try {
        const LoadedRecord loaded = LoadRecord(folder / name);
        facts = FactsOfRecord(loaded);
        if (const LimitProfile* profile = profiles.Profile(facts.pid))
            ReviewFacts(facts, loaded.record, *profile);
    } catch (const std::exception& error) {
        struct stat now {};
        if (::stat((folder / name).c_str(), &now) != 0 && errno == ENOENT)
            return std::nullopt;
        facts = RecordFacts{};
        facts.problem = error.what();
    }
    facts.name = name;
    TakeStat(facts, info);
    return facts;
}

// Holds an exclusive flock on the index's lock file while the index is checked and, if need
// be, built again, so that two processes never both delete and recreate it.
class OpenLock {
  public:
    explicit OpenLock(const fs::path& lockFile)
        : fd_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~OpenLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;

  private:
    int fd_;
};

}  // namespace

// One connection, with the few statement helpers the index needs.
class IndexDatabase {
  public:
    explicit IndexDatabase(const std::string& file) {
        const int code = sqlite3_open_v2(
            file.c_str(), &db_,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
            nullptr);
        if (code != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
            sqlite3_close_v2(db_);
            db_ = nullptr;
            throw SqlError(code, message);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    }
    ~IndexDatabase() { sqlite3_close_v2(db_); }
    IndexDatabase(const IndexDatabase&) = delete;
    IndexDatabase& operator=(const IndexDatabase&) = delete;

    void Exec(const char* sql) {
        char* message = nullptr;
        const int code = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
        if (code != SQLITE_OK) {
            const std::string text = message ? message : sqlite3_errstr(code);
            sqlite3_free(message);
            throw SqlError(code, text);
        }
    }

    class Statement {
      public:
        Statement(IndexDatabase& db, const std::string& sql) : db_(db.db_) {
            const int code = sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement_, nullptr);
            if (code != SQLITE_OK)
                throw SqlError(code, sqlite3_errmsg(db_));
        }
        ~Statement() { sqlite3_finalize(statement_); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        Statement& Bind(int index, std::int64_t value) {
            Check(sqlite3_bind_int64(statement_, index, value));
            return *this;
        }
        Statement& Bind(int index, const std::string& value) {
            Check(sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                                    SQLITE_TRANSIENT));
            return *this;
        }
        template <typename T>
        Statement& Bind(int index, const std::optional<T>& value) {
            if (value)
                return Bind(index, *value);
            Check(sqlite3_bind_null(statement_, index));
            return *this;
        }
        Statement& Bind(int index, double value) {
            Check(sqlite3_bind_double(statement_, index, value));
            return *this;
        }
        // True while there is a row.
        bool Step() {
            const int code = sqlite3_step(statement_);
            if (code == SQLITE_ROW)
                return true;
            if (code == SQLITE_DONE)
                return false;
            throw SqlError(code, sqlite3_errmsg(db_));
        }
        void Reset() {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
        bool IsNull(int column) const {
            return sqlite3_column_type(statement_, column) == SQLITE_NULL;
        }
        std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
        double Real(int column) const { return sqlite3_column_double(statement_, column); }
        std::string Text(int column) const {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
            return text ? std::string(text, static_cast<std::size_t>(
                                                sqlite3_column_bytes(statement_, column)))
                        : std::string();
        }
        std::optional<std::int64_t> OptionalInt(int column) const {
            return IsNull(column) ? std::nullopt : std::optional(Int(column));
        }
        std::optional<double> OptionalReal(int column) const {
            return IsNull(column) ? std::nullopt : std::optional(Real(column));
        }

      private:
        void Check(int code) {
            if (code != SQLITE_OK)
                throw SqlError(code, sqlite3_errmsg(db_));
        }
        sqlite3* db_;
        sqlite3_stmt* statement_ = nullptr;
    };

    int Pragma(const char* sql) {
        Statement statement(*this, sql);
        return statement.Step() ? static_cast<int>(statement.Int(0)) : 0;
    }

    // Commits when it goes out of scope normally; rolls back when an exception leaves it.
    class WriteTransaction {
      public:
        explicit WriteTransaction(IndexDatabase& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }
        ~WriteTransaction() {
            if (!done_)
                sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        WriteTransaction(const WriteTransaction&) = delete;
        WriteTransaction& operator=(const WriteTransaction&) = delete;
        void Commit() {
            db_.Exec("COMMIT");
            done_ = true;
        }

      private:
        IndexDatabase& db_;
        bool done_ = false;
    };

    sqlite3* Handle() { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

namespace {

// True when the database file is shorter than the page count its header records (cut short by
// a full disk, a crash of the file system or a copy), or too short to hold a header at all.
// The header is read through the connection's own file handle: SQLite's locks are POSIX record
// locks, which a process loses on every descriptor of the file as soon as it closes any one of
// them, so opening and closing the file beside a connection would leave other processes free to
// reset the write-ahead log under it.
bool LooksCutShort(IndexDatabase& db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db.Handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr)
        return false;
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size == 0)
        return false;  // SQLite creates it, or says why it cannot
    unsigned char header[100];
    if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK)
        return true;  // shorter than a header, or unreadable: let the check say which
    auto big = [&header](int at, int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | header[at + i];
        return value;
    };
    std::uint64_t pageSize = big(16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    // The page count is only kept up to date while the change counter matches its copy.
    if (big(24, 4) != big(92, 4))
        return false;
    return static_cast<std::uint64_t>(size) < big(28, 4) * pageSize;
}

// Opens the index file and makes sure it is a sound index of this version, creating the table
// in an empty file and starting afresh over another version's. Throws SqlError; damaged() for
// a file that is not a sound database. `rebuilt` says why an existing index was dropped.
std::unique_ptr<IndexDatabase> OpenChecked(const std::string& file, std::string& rebuilt) {
    auto db = std::make_unique<IndexDatabase>(file);
    {
        IndexDatabase::Statement wal(*db, "PRAGMA journal_mode=WAL");
        while (wal.Step()) {
        }
    }
    db->Exec("PRAGMA synchronous=NORMAL");
    if (LooksCutShort(*db)) {
        // A damaged page may pass ordinary queries; the check reads them all. It costs a read of
        // the whole index, so it runs only when the file is shorter than its header says; any
        // other damage shows as an error on use, and the index is then built again.
        IndexDatabase::Statement check(*db, "PRAGMA quick_check");
        while (check.Step())
            if (check.Text(0) != "ok")
                throw SqlError(SQLITE_CORRUPT, check.Text(0));
    }
    IndexDatabase::WriteTransaction transaction(*db);
    const int version = db->Pragma("PRAGMA user_version");
    const int application = db->Pragma("PRAGMA application_id");
    if (version == kSchemaVersion && application == kApplicationId) {
        transaction.Commit();
        return db;
    }
    std::vector<std::string> tables;
    {
        IndexDatabase::Statement list(
            *db, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'");
        while (list.Step())
            tables.push_back(list.Text(0));
    }
    if (!tables.empty())
        rebuilt = application == kApplicationId && version > kSchemaVersion
                      ? "it was made by a newer version of Halvik"
                  : application == kApplicationId ? "it was made by an older version of Halvik"
                                                  : "it was not a Halvik records index";
    for (const std::string& table : tables)
        db->Exec(("DROP TABLE IF EXISTS \"" + table + "\"").c_str());
    db->Exec(kSchema);
    db->Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    db->Exec(("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
    transaction.Commit();
    return db;
}

void RemoveIndexFiles(const fs::path& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((file.string() + suffix).c_str());
}

RecordFacts FactsOfRow(const IndexDatabase::Statement& row) {
    RecordFacts facts;
    facts.name = row.Text(0);
    facts.size = row.Int(1);
    facts.modifiedNs = row.Int(2);
    facts.changedNs = row.Int(3);
    facts.inode = row.Int(4);
    facts.problem = row.Text(5);
    if (!facts.problem.empty())
        return facts;
    facts.pid = row.Text(6);
    facts.pidHex = row.Text(7);
    facts.firstReading = row.OptionalInt(8);
    facts.lastReading = row.OptionalInt(9);
    facts.announced = static_cast<int>(row.Int(10));
    facts.count = static_cast<int>(row.Int(11));
    facts.complete = row.Int(12) != 0;
    facts.intact = row.Int(13) != 0;
    facts.downloadedAt = row.Int(14);
    facts.host = row.Text(15);
    facts.unit = row.Text(16) == "F" ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
    facts.maximum = row.OptionalReal(17);
    facts.minimum = row.OptionalReal(18);
    facts.mkt = row.OptionalReal(19);
    if (!row.IsNull(20))
        facts.verdict = row.Text(20);
    if (!row.IsNull(21))
        facts.profile = row.Text(21);
    return facts;
}

// `profileKey` unset: the record was not reviewed.
void BindFacts(IndexDatabase::Statement& insert, const std::string& folder, const RecordFacts& f,
               const std::optional<std::string>& profileKey) {
    insert.Bind(24, profileKey);
    insert.Bind(1, folder).Bind(2, f.name).Bind(3, f.size).Bind(4, f.modifiedNs);
    insert.Bind(5, f.changedNs).Bind(6, f.inode);
    if (!f.problem.empty()) {
        insert.Bind(7, f.problem);
        return;  // the rest stays NULL
    }
    insert.Bind(8, f.pid).Bind(9, f.pidHex).Bind(10, f.firstReading).Bind(11, f.lastReading);
    insert.Bind(12, std::int64_t{f.announced}).Bind(13, std::int64_t{f.count});
    insert.Bind(14, std::int64_t{f.complete}).Bind(15, std::int64_t{f.intact});
    insert.Bind(16, f.downloadedAt).Bind(17, f.host);
    insert.Bind(18, std::string(f.unit == TemperatureUnit::Fahrenheit ? "F" : "C"));
    insert.Bind(19, f.maximum).Bind(20, f.minimum).Bind(21, f.mkt).Bind(22, f.verdict);
    insert.Bind(23, f.profile);
}

constexpr const char* kInsert =
    "INSERT OR REPLACE INTO records(folder, name, size, mtime_ns, ctime_ns, inode, problem, pid, "
    "pid_hex, first_reading, last_reading, announced, count, complete, intact, downloaded_at, "
    "host, unit, maximum, minimum, mkt, verdict, profile, profile_key) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, "
    "?19, ?20, ?21, ?22, ?23, ?24)";

// The `.halvik` files of `folder` with their stat. Throws LibraryError when the folder cannot be
// listed to its end (so that nothing is dropped from the index for a listing cut short).
std::vector<std::pair<std::string, struct stat>> ListFolder(const fs::path& folder) {
    auto refuse = [&folder](int error) {
        return LibraryError("The records folder " + folder.string() +
                            " cannot be read: " + SystemReason(error));
    };
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        throw refuse(errno);
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    std::vector<std::pair<std::string, struct stat>> files;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0)
                throw refuse(errno);
            break;
        }
        if (!IsRecordName(entry->d_name))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0) {
            if (errno == ENOENT)
                continue;  // removed since it was listed
            info = {};     // read below, which says why it cannot be
        }
        files.emplace_back(entry->d_name, info);
    }
    return files;
}

// A card as a filter names it, as its records' file names hold it: "1 2 3 4 5" and
// "01 02 03 04 05" are the decimal numbers the window shows, "0102030405" the hexadecimal of
// the file name. Something that is neither matches no card.
std::string PidAsInName(const std::string& pid) {
    static constexpr char kHex[] = "0123456789abcdef";
    const bool shown = pid.find_first_of(" \t") != std::string::npos;
    std::string hex;
    if (!shown) {
        for (char c : pid)
            hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return hex;
    }
    std::size_t at = 0;
    while (at < pid.size()) {
        const std::size_t start = pid.find_first_not_of(" \t", at);
        if (start == std::string::npos)
            break;
        const std::size_t end = std::min(pid.find_first_of(" \t", start), pid.size());
        const std::string number = pid.substr(start, end - start);
        if (number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(number) > 255)
            return "-";
        const int value = std::stoi(number);
        hex += kHex[value >> 4];
        hex += kHex[value & 0x0F];
        at = end;
    }
    return hex;
}

}  // namespace

fs::path RecordsIndexPath() {
    const std::string cacheHome = Environment("XDG_CACHE_HOME");
    if (!cacheHome.empty() && cacheHome.front() == '/')
        return fs::path(cacheHome) / "halvik" / "records-index.sqlite";
    std::string home = Environment("HOME");
    if (home.empty())
        home = ".";
    return fs::path(home) / ".cache" / "halvik" / "records-index.sqlite";
}

RecordFacts ReadRecordFacts(const fs::path& folder, const std::string& name,
                            const std::optional<fs::path>& profileFolder) {
    CardProfiles profiles(profileFolder);
    struct stat info {};
    if (::stat((folder / name).c_str(), &info) != 0) {
        RecordFacts facts;
        facts.name = name;
        facts.problem =
            "Cannot open the record " + (folder / name).string() + ": " + SystemReason(errno);
        return facts;
    }
    if (auto facts = ReadFacts(folder, name, info, profiles))
        return *facts;
    RecordFacts gone;
    gone.name = name;
    gone.problem =
        "Cannot open the record " + (folder / name).string() + ": " + SystemReason(ENOENT);
    return gone;
}

RecordsIndex::RecordsIndex(fs::path indexFile, fs::path folder,
                           std::optional<fs::path> profileFolder)
    : indexFile_(std::move(indexFile)),
      folder_(std::move(folder)),
      profileFolder_(std::move(profileFolder)) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(folder_, error), error);
    folderKey_ = error ? fs::absolute(folder_).lexically_normal().string() : canonical.string();

    fs::create_directories(indexFile_.parent_path(), error);
    try {
        OpenLock lock(indexFile_.string() + ".lock");
        try {
            db_ = OpenChecked(indexFile_.string(), rebuilt_);
        } catch (const SqlError& damage) {
            if (!damage.damaged())
                throw;
            rebuilt_ = std::string("it was damaged (") + damage.what() + ")";
            db_.reset();
            RemoveIndexFiles(indexFile_);
            db_ = OpenChecked(indexFile_.string(), rebuilt_);
        }
    } catch (const SqlError& failure) {
        // The index is only a cache: without a place to keep it, it lives for this run.
        db_.reset();
        inMemory_ = "The records index " + indexFile_.string() + " cannot be kept (" +
                    failure.what() + "); it is held in memory for now.";
        std::string ignored;
        db_ = OpenChecked(":memory:", ignored);
    }
}

RecordsIndex::~RecordsIndex() = default;

namespace {

IndexUpdate Synchronise(IndexDatabase& db, const std::string& folderKey, const fs::path& folder,
                        CardProfiles& profiles, bool forget) {
    struct Known {
        RecordFacts facts;  // name, size and times, and the pid
        bool readable = false;
        std::optional<std::string> profileKey;
    };
    std::map<std::string, Known> known;
    if (!forget) {
        IndexDatabase::Statement rows(db,
                                      "SELECT name, size, mtime_ns, ctime_ns, inode, problem, pid, "
                                      "profile_key FROM records WHERE folder=?1");
        rows.Bind(1, folderKey);
        while (rows.Step()) {
            Known row;
            row.facts.name = rows.Text(0);
            row.facts.size = rows.Int(1);
            row.facts.modifiedNs = rows.Int(2);
            row.facts.changedNs = rows.Int(3);
            row.facts.inode = rows.Int(4);
            row.readable = rows.IsNull(5);
            row.facts.pid = rows.Text(6);
            if (!rows.IsNull(7))
                row.profileKey = rows.Text(7);
            known.emplace(row.facts.name, std::move(row));
        }
    }

    IndexUpdate update;
    std::vector<RecordFacts> fresh;
    for (const auto& [name, info] : ListFolder(folder)) {
        RecordFacts seen;
        TakeStat(seen, info);
        const auto found = known.find(name);
        if (found != known.end()) {
            const Known row = std::move(found->second);
            known.erase(found);
            if (SameFile(row.facts, seen)) {
                // The file is as indexed; its verdict may not be, when its card's profile changed.
                if (!row.readable || !profiles.Active() ||
                    row.profileKey == profiles.Key(row.facts.pid))
                    continue;
                ++update.reviewed;
            } else {
                ++update.changed;
            }
        } else {
            ++update.added;
        }
        if (auto facts = ReadFacts(folder, name, info, profiles))
            fresh.push_back(std::move(*facts));
    }
    update.removed = static_cast<int>(known.size());

    // Most updates find nothing to write: they then take no write lock at all.
    if (!forget && fresh.empty() && known.empty())
        return update;
    IndexDatabase::WriteTransaction transaction(db);
    if (forget) {
        IndexDatabase::Statement drop(db, "DELETE FROM records WHERE folder=?1");
        drop.Bind(1, folderKey);
        drop.Step();
    }
    IndexDatabase::Statement insert(db, kInsert);
    for (const RecordFacts& facts : fresh) {
        BindFacts(insert, folderKey, facts, profiles.Key(facts.pid));
        insert.Step();
        insert.Reset();
    }
    // Only the row as it was seen: another process may have indexed a new file by that name.
    IndexDatabase::Statement remove(
        db,
        "DELETE FROM records WHERE folder=?1 AND name=?2 AND size=?3 AND "
        "mtime_ns=?4 AND ctime_ns=?5 AND inode=?6");
    for (const auto& [name, row] : known) {
        const RecordFacts& facts = row.facts;
        remove.Bind(1, folderKey).Bind(2, name).Bind(3, facts.size).Bind(4, facts.modifiedNs);
        remove.Bind(5, facts.changedNs).Bind(6, facts.inode);
        remove.Step();
        remove.Reset();
    }
    transaction.Commit();
    return update;
}

}  // namespace

IndexUpdate RecordsIndex::Update() {
    CardProfiles profiles(profileFolder_);
    try {
        IndexUpdate update = Synchronise(*db_, folderKey_, folder_, profiles, false);
        update.rebuilt = std::exchange(rebuilt_, std::string());
        return update;
    } catch (const SqlError& failure) {
        if (!failure.damaged() || !inMemory_.empty())
            throw LibraryError("The records index " + indexFile_.string() +
                               " cannot be updated: " + failure.what());
        // Damaged since it was opened: start afresh once.
        db_.reset();
        {
            OpenLock lock(indexFile_.string() + ".lock");
            RemoveIndexFiles(indexFile_);
            std::string ignored;
            db_ = OpenChecked(indexFile_.string(), ignored);
        }
        IndexUpdate update = Synchronise(*db_, folderKey_, folder_, profiles, false);
        update.rebuilt = std::string("it was damaged (") + failure.what() + ")";
        return update;
    }
}

IndexUpdate RecordsIndex::Reindex() {
    CardProfiles profiles(profileFolder_);
    try {
        IndexUpdate update = Synchronise(*db_, folderKey_, folder_, profiles, true);
        update.rebuilt = "as asked";
        return update;
    } catch (const SqlError& failure) {
        throw LibraryError("The records index " + indexFile_.string() +
                           " cannot be rebuilt: " + failure.what());
    }
}

std::vector<RecordFacts> RecordsIndex::List(const RecordFilter& filter) const {
    std::string sql = std::string("SELECT ") + kColumns + " FROM records WHERE folder=?1";
    std::string where;
    if (filter.pid)
        where += " AND pid_hex=?2";
    // A card's records are few beside a date range's: the unary + keeps the planner on the
    // card's index then.
    const std::string dates = filter.pid ? " AND +" : " AND ";
    if (filter.since)
        where += dates + "last_reading>=?4";
    if (filter.until)
        where += dates + "first_reading<=?5";
    if (filter.verdict)
        where += " AND verdict=?6";
    if (filter.incompleteOnly)
        where += " AND complete=0";
    if (filter.changedOnly)
        where += " AND intact=0";
    // Unreadable records pass every filter; asked for apart, so that the filters' own terms
    // can use the table's indexes.
    if (!where.empty())
        sql =
            "SELECT * FROM (" + sql + " AND problem IS NULL" + where + " UNION ALL SELECT " +
            kColumns +
            " FROM records INDEXED BY records_unreadable WHERE folder=?1 AND problem IS NOT NULL)";
    sql +=
        " ORDER BY problem IS NOT NULL, last_reading IS NULL, last_reading DESC, "
        "downloaded_at DESC, name";
    try {
        IndexDatabase::Statement query(*db_, sql);
        query.Bind(1, folderKey_);
        if (filter.pid)
            query.Bind(2, PidAsInName(*filter.pid));
        if (filter.since)
            query.Bind(4, *filter.since);
        if (filter.until)
            query.Bind(5, *filter.until);
        if (filter.verdict)
            query.Bind(6, *filter.verdict);
        std::vector<RecordFacts> records;
        while (query.Step())
            records.push_back(FactsOfRow(query));
        return records;
    } catch (const SqlError& failure) {
        throw LibraryError("The records index " + indexFile_.string() +
                           " cannot be read: " + failure.what());
    }
}

}  // namespace halvik
