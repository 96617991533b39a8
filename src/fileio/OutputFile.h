// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace halvik {

// The system's description of `error` in English, whatever the process locale, ending in ".".
std::string SystemReason(int error);

// An output file that could not be opened, written or put in place. what() reads
// "The file PATH could not be written: REASON"; Reason() is REASON alone.
class OutputFileError : public std::runtime_error {
  public:
    OutputFileError(const std::string& path, const std::string& reason);
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string path_;
    std::string reason_;
};

// The file a user named as output, opened for writing.
//
// - "-" and "/dev/stdout" are standard output, written directly.
// - A symbolic link is followed to what it names; a dangling one creates its target.
// - A character device, FIFO or socket is written directly (a terminal, /dev/null, a pipe).
// - A regular file (or a name that does not exist yet) is written to a new file beside it,
//   synced, and renamed over it by Commit(), keeping an existing file's permission bits and,
//   where allowed, its owner; the folder is synced after. Until Commit() the old file is
//   untouched, and a writer that is destroyed without Commit() removes its new file.
// - A folder, a block device, and a regular file with other hard links are refused: the last
//   because renaming a new file over one of its names would quietly split it from the others.
// Every failure throws OutputFileError.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where the bytes go: pass to write(2). Valid until Commit() or destruction.
    int Descriptor() const { return fd_; }
    // True when the bytes go straight into a device, pipe or standard output (no going back).
    bool Direct() const { return direct_; }
    const std::string& Path() const { return path_; }

    // Writes all of `bytes`, retrying short writes.
    void Write(std::string_view bytes);
    // Puts the written file in place. Throws with the old file untouched on failure.
    void Commit();

  private:
    [[noreturn]] void Fail(int error) const;

    std::string path_;    // as the user named it, for messages
    std::string target_;  // the regular file finally replaced (after following links)
    std::string temporary_;
    int fd_ = -1;
    bool direct_ = false;
    bool committed_ = false;
};

// Replaces or writes the output `path` with `bytes` as OutputFile describes.
void WriteOutputFile(const std::string& path, std::string_view bytes);

}  // namespace halvik
