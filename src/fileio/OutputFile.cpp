// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace halvik {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UniqueTag() {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    return std::to_string(::getpid()) + "-" + std::to_string(salt) + "-" +
           std::to_string(counter.fetch_add(1));
}

// Follows symbolic links from `path` to the name that is not one (which may not exist yet).
// Links into /proc (/dev/stdout, /dev/fd/N) may name pipes that have no path: the caller opens
// anything that is not a regular file through the name it was given, so only links to
// regular files or to nothing are resolved here.
int ResolveLinks(std::string& path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(info.st_mode))
            return 0;
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<std::size_t>(n) >= link.size())
            return ENAMETOOLONG;
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    return ELOOP;
}

}  // namespace

std::string SystemReason(int error) {
    // strerrordesc_np: English whatever LC_MESSAGES says, unlike strerror.
    const char* text = ::strerrordesc_np(error);
    return std::string(text != nullptr ? text : "Unknown error " + std::to_string(error)) + ".";
}

OutputFileError::OutputFileError(const std::string& path, const std::string& reason)
    : std::runtime_error("The file " + path + " could not be written: " + reason),
      path_(path),
      reason_(reason) {}

void OutputFile::Fail(int error) const {
    throw OutputFileError(path_, SystemReason(error));
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (path.empty())
        Fail(ENOENT);  // as open("") says
    if (path == "-" || path == "/dev/stdout") {
        fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0)
            Fail(errno);
        direct_ = true;
        return;
    }
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT)
        Fail(errno);
    if (exists && S_ISDIR(info.st_mode))
        Fail(EISDIR);
    if (exists && S_ISBLK(info.st_mode))
        throw OutputFileError(path,
                              "It is a block device; Halvik writes only files, "
                              "character devices and pipes.");
    if (exists && !S_ISREG(info.st_mode)) {
        // A terminal, /dev/null, /dev/full, a FIFO: the reader is waiting for these bytes.
        fd_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0)
            Fail(errno);
        direct_ = true;
        return;
    }
    if (exists && info.st_nlink > 1)
        throw OutputFileError(path, "It has " + std::to_string(info.st_nlink) +
                                        " hard links; replacing it would separate this name "
                                        "from the others, so it is left as it is.");
    target_ = path;
    if (const int error = ResolveLinks(target_); error != 0)
        Fail(error);
    if (NameOf(target_).empty())
        Fail(EISDIR);
    const std::string folder = FolderOf(target_);
    for (int attempt = 0;; ++attempt) {
        temporary_ = folder + "/." + NameOf(target_) + "." + UniqueTag() + ".tmp";
        fd_ =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ >= 0)
            break;
        const int error = errno;
        if (error != EEXIST || attempt > 100) {
            temporary_.clear();
            Fail(error);
        }
    }
    if (exists) {
        // The replacement keeps who may read it: a private file stays private. The owner can
        // be kept only by root; for anyone else the file becomes theirs, as an editor would.
        if (::fchown(fd_, info.st_uid, info.st_gid) != 0) {
            // Not root: the new file is the writer's own.
        }
        if (::fchmod(fd_, info.st_mode & 07777) != 0)
            Fail(errno);
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !temporary_.empty())
        ::unlink(temporary_.c_str());
}

void OutputFile::Write(std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        written += static_cast<std::size_t>(n);
    }
}

void OutputFile::Commit() {
    if (committed_)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (direct_) {
        committed_ = true;
        // A full disk behind a redirected standard output shows up at fsync or close; a pipe or
        // terminal cannot be synced, which is no failure.
        if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
            const int error = errno;
            ::close(fd);
            Fail(error);
        }
        if (::close(fd) != 0)
            Fail(errno);
        return;
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        Fail(error);
    }
    if (::close(fd) != 0)
        Fail(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        Fail(errno);
    committed_ = true;
    // Makes the rename durable; a folder that cannot be synced still holds the whole file.
    const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
}

void WriteOutputFile(const std::string& path, std::string_view bytes) {
    OutputFile file(path);
    file.Write(bytes);
    file.Commit();
}

}  // namespace halvik
