// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordStore.h"

#include "fileio/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>  // rename, renameat2
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>

namespace halvik {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".halvik";
// How many records of the same card content with different bytes may share one name.
constexpr int kMaxSuffix = 9999;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports close's error (a write-back failure shows up here on some file
    // systems).
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

// A temporary file in the record folder that is removed unless it was renamed into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const fs::path& path() const { return path_; }
    void release() { path_.clear(); }

  private:
    fs::path path_;
};

std::string UniqueTag() {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    return std::to_string(::getpid()) + "-" + std::to_string(salt) + "-" +
           std::to_string(counter.fetch_add(1));
}

// "<subject> could not be written: <reason>", subject being "The record <path>" or the like.
RecordError WriteError(const std::string& subject, int error) {
    return RecordError(subject + " could not be written: " + SystemReason(error));
}

// Writes `text` to a new temporary file in `folder`, named after `target`, and syncs it. Throws
// RecordError about `subject` with no file left behind.
std::unique_ptr<TemporaryFile> WriteTemporary(const fs::path& folder, std::string_view text,
                                              const fs::path& target, const std::string& subject) {
    int fd = -1;
    fs::path path;
    for (int attempt = 0; fd < 0; ++attempt) {
        path = folder / ("." + target.filename().string() + "." + UniqueTag() + ".tmp");
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100))
            throw WriteError(subject, errno);
    }
    FileDescriptor file(fd);
    auto temporary = std::make_unique<TemporaryFile>(path);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(file.get(), text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw WriteError(subject, errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(file.get()) != 0)
        throw WriteError(subject, errno);
    if (file.close() != 0)
        throw WriteError(subject, errno);
    return temporary;
}

// Moves `from` to `to` unless `to` exists. False when it exists.
bool RenameWithoutReplacing(const fs::path& from, const fs::path& to, const std::string& subject) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without RENAME_NOREPLACE: link() never replaces either.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        error = errno;
    }
    if (error == EEXIST)
        return false;
    throw WriteError(subject, error);
}

// Makes the rename durable. A failure here is not reported: the file is complete and in place
// under its name either way, and some file systems cannot sync a folder at all.
void SyncFolder(const fs::path& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        (void)::fsync(dir.get());
}

bool HoldsSameDownload(const fs::path& path, const Record& record) {
    try {
        const LoadedRecord existing = LoadRecord(path);
        return existing.intact && existing.record.header == record.header &&
               existing.record.readings == record.readings;
    } catch (const RecordError&) {
        return false;
    }
}

}  // namespace

fs::path RecordFolderPath() {
    if (std::string dir = Environment("HALVIK_RECORDS_DIR"); !dir.empty())
        return dir;
    const std::string dataHome = Environment("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome.front() == '/')
        return fs::path(dataHome) / "halvik" / "records";
    std::string home = Environment("HOME");
    if (home.empty())
        home = ".";
    return fs::path(home) / ".local" / "share" / "halvik" / "records";
}

fs::path RecordFolder() {
    // Without a home, RecordFolderPath falls back to the current folder: records would then be
    // scattered wherever the program happened to run.
    const std::string dataHome = Environment("XDG_DATA_HOME"), home = Environment("HOME");
    if (Environment("HALVIK_RECORDS_DIR").empty() && !dataHome.starts_with('/') &&
        !home.starts_with('/'))
        throw RecordError(
            "There is no records folder: HOME is not set. Set HALVIK_RECORDS_DIR to the folder "
            "the records are to be kept in.");
    const fs::path folder = RecordFolderPath();
    const std::string name = EscapedName(folder.string());
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(folder, error)) && !fs::exists(folder, error))
        throw RecordError("The records folder " + name + " is a symbolic link to " +
                          EscapedName(fs::read_symlink(folder, error).string()) +
                          ", which does not exist.");
    if (fs::exists(folder, error) && !fs::is_directory(folder, error))
        throw RecordError("The records folder " + name + " is a file, not a folder.");
    fs::create_directories(folder, error);
    if (error)
        throw RecordError("The records folder " + name +
                          " could not be created: " + SystemReason(error.value()));
    if (!fs::is_directory(folder, error))
        throw RecordError("The records folder " + name + " is not a folder.");
    return folder;
}

std::string RecordFileName(const Record& record) {
    std::string name;
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < 5 && i < record.header.size(); ++i) {
        name += kHex[record.header[i] >> 4];
        name += kHex[record.header[i] & 0x0F];
    }
    name += '_';
    const std::optional<std::chrono::sys_seconds> first = RecordFirstReading(record);
    if (first) {
        // "2026-01-12T08:00:00Z" gives "20260112T0800Z".
        const std::string iso = UtcTimeText(*first);
        name += iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 5) + iso.substr(14, 2) + "Z";
    } else {
        name += "notime";
    }
    name += '_';
    name += std::to_string(RecordReadingCount(record));
    name += kExtension;
    return name;
}

// Removes the temporary files (".NAME.halvik.TAG.tmp") that a write killed part way left in
// `folder`, once they are a day old: a write still running is never that slow. Anything else,
// and anything that is not a plain file, is left alone; a failure is not reported.
static void RemoveStaleTemporaryFiles(const fs::path& folder) {
    std::error_code error;
    const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with('.') || !name.ends_with(".tmp") ||
            name.find(std::string(kExtension) + ".") == std::string::npos)
            continue;
        std::error_code entryError;
        if (it->is_regular_file(entryError) && !it->is_symlink(entryError) &&
            it->last_write_time(entryError) < dayAgo && !entryError)
            fs::remove(it->path(), entryError);
    }
}

KeptRecord KeepRecord(const Record& record, const fs::path& folder) {
    const std::string text = RecordText(record);  // refuses a record that could not be read back
    RemoveStaleTemporaryFiles(folder);
    std::string base = RecordFileName(record);
    base.resize(base.size() - kExtension.size());

    std::unique_ptr<TemporaryFile> temporary;
    for (int suffix = 1; suffix <= kMaxSuffix; ++suffix) {
        const fs::path path =
            folder / (suffix == 1 ? base + std::string(kExtension)
                                  : base + "-" + std::to_string(suffix) + std::string(kExtension));
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) {
            if (HoldsSameDownload(path, record))
                return {path, true};
            continue;  // another download: never replaced
        }
        const int error = errno;
        const std::string subject = "The record " + path.string();
        if (error != ENOENT)
            throw WriteError(subject, error);
        if (!temporary)
            temporary = WriteTemporary(folder, text, path, subject);
        if (!RenameWithoutReplacing(temporary->path(), path, subject)) {
            --suffix;  // someone else kept a record under this name meanwhile: look at it
            continue;
        }
        temporary->release();
        SyncFolder(folder);
        return {path, false};
    }
    throw RecordError("The record " + (folder / (base + std::string(kExtension))).string() +
                      " could not be written: " + std::to_string(kMaxSuffix) +
                      " other records already have its name.");
}

void WriteFileAtomically(const fs::path& path, std::string_view text) {
    try {
        WriteOutputFile(path.string(), text);
    } catch (const OutputFileError& error) {
        throw RecordError(error.what());
    }
}

bool IsRecordFile(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (path.extension() == kExtension || (!error && target.extension() == kExtension))
        return true;
    constexpr std::string_view kMagic = "{\"format\":\"halvik-record\",";
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    char start[kMagic.size()] = {};
    return file.get() >= 0 && ::read(file.get(), start, sizeof start) == ssize_t(sizeof start) &&
           std::string_view(start, sizeof start) == kMagic;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    std::error_code error;
    return fs::weakly_canonical(fs::absolute(a, error), error) ==
           fs::weakly_canonical(fs::absolute(b, error), error);
}

void RefuseRecordAsOutput(const fs::path& output, const fs::path& shown) {
    if ((!shown.empty() && SameFile(output, shown)) || IsRecordFile(output))
        throw RecordError(EscapedName(output.string()) +
                          " is a record, and a record is never overwritten: choose another file.");
}

LoadedRecord LoadRecord(const fs::path& path) {
    const std::string name = EscapedName(path.string());
    auto refuse = [&name](const std::string& reason) -> RecordError {
        return RecordError("Cannot open the record " + name + ": " + reason);
    };
    // O_NONBLOCK: a FIFO or device must not stall the window; it is refused below.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        throw refuse(SystemReason(errno));
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        throw refuse(SystemReason(errno));
    if (S_ISDIR(info.st_mode))
        throw refuse("it is a folder, not a file.");
    if (!S_ISREG(info.st_mode))
        throw refuse("it is not a regular file.");
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxRecordFileSize)
        throw refuse("the file takes " + std::to_string(info.st_size) + " bytes, more than the " +
                     std::to_string(kMaxRecordFileSize) + " a record can take.");

    // Read at most one byte more than allowed, in case the file grew since fstat.
    std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + size, text.size() - size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw refuse(SystemReason(errno));
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    text.resize(size);
    return ParseRecord(text, name);
}

}  // namespace halvik
