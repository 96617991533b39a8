// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvik {

class TPdfStreamSource;
class OutputFile;

// A growable byte buffer whose growth leaves the new bytes uninitialised, so image rows can be
// written straight into it without clearing them first.
class TPdfByteBuffer {
  public:
    TPdfByteBuffer() = default;
    TPdfByteBuffer(const TPdfByteBuffer& other);
    TPdfByteBuffer(TPdfByteBuffer&& other) noexcept;
    TPdfByteBuffer& operator=(const TPdfByteBuffer& other);
    TPdfByteBuffer& operator=(TPdfByteBuffer&& other) noexcept;
    ~TPdfByteBuffer();

    const std::uint8_t* Data() const { return FData; }
    std::uint8_t* Data() { return FData; }
    std::size_t Size() const { return FSize; }
    bool Empty() const { return FSize == 0; }
    std::string_view View() const { return {reinterpret_cast<const char*>(FData), FSize}; }

    void Clear() { FSize = 0; }  // keeps the capacity
    void Reserve(std::size_t capacity);
    // Grows (or shrinks) to `size` bytes; new bytes are uninitialised.
    void Resize(std::size_t size);
    // Appends `count` uninitialised bytes and returns where they start.
    std::uint8_t* Extend(std::size_t count);

    void Append(const void* data, std::size_t count);
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    // Appends every row of the source.
    void AppendSource(const TPdfStreamSource& source);
    void AppendByte(std::uint8_t value) {
        if (FSize == FCapacity)
            Grow(FSize + 1);
        FData[FSize++] = value;
    }

  private:
    void Grow(std::size_t minimum);

    std::uint8_t* FData = nullptr;
    std::size_t FSize = 0;
    std::size_t FCapacity = 0;
};

// Stream data that is made when it is written, row by row: image rows converted straight into
// the output instead of into a copy first.
class TPdfStreamSource {
  public:
    virtual ~TPdfStreamSource() = default;
    virtual std::size_t RowCount() const = 0;
    virtual std::size_t RowSize() const = 0;
    // Writes rows first .. first + count - 1 to `out`, RowSize() bytes each, back to back.
    virtual void ProduceRows(std::size_t first, std::size_t count, std::uint8_t* out) const = 0;
    std::size_t Size() const { return RowCount() * RowSize(); }
};

// Where a document is saved: a byte sink with a running position, from which the
// cross-reference offsets are taken.
class TPdfOutputStream {
  public:
    virtual ~TPdfOutputStream() = default;
    virtual void Write(const void* data, std::size_t count) = 0;
    virtual std::int64_t Position() const = 0;
    // Back to byte 0 with nothing written; a save starts with this.
    virtual void Rewind() = 0;
    // Writes all rows of the source (by default through a small buffer).
    virtual void WriteSource(const TPdfStreamSource& source);

    void Write(std::string_view text) { Write(text.data(), text.size()); }
};

// An output stream in memory.
class TPdfMemoryStream final : public TPdfOutputStream {
  public:
    using TPdfOutputStream::Write;
    void Write(const void* data, std::size_t count) override { FBuffer.Append(data, count); }
    std::int64_t Position() const override { return static_cast<std::int64_t>(FBuffer.Size()); }
    void Rewind() override { FBuffer.Clear(); }
    void WriteSource(const TPdfStreamSource& source) override;

    const TPdfByteBuffer& Buffer() const { return FBuffer; }
    std::string ToString() const { return std::string(FBuffer.View()); }

  private:
    TPdfByteBuffer FBuffer;
};

// Raised when a file cannot be created or written; the message reads
// Cannot create file "name". reason
class EFileCreateError : public std::runtime_error {
  public:
    EFileCreateError(const std::string& fileName, const std::string& reason);
    const std::string& FileName() const { return FFileName; }

  private:
    std::string FFileName;
};

// An output stream into an open file descriptor, buffered; large blocks go to the file
// directly. Write failures raise EFileCreateError for `fileName`.
class TPdfFileStream final : public TPdfOutputStream {
  public:
    TPdfFileStream(int fd, std::string fileName);
    ~TPdfFileStream() override;
    TPdfFileStream(const TPdfFileStream&) = delete;
    TPdfFileStream& operator=(const TPdfFileStream&) = delete;
    using TPdfOutputStream::Write;

    void Write(const void* data, std::size_t count) override;
    std::int64_t Position() const override { return FPosition; }
    void Rewind() override;
    void WriteSource(const TPdfStreamSource& source) override;
    // Writes what is buffered.
    void Flush();

  private:
    void WriteAll(const void* data, std::size_t count);

    int FFd;
    std::string FFileName;
    std::int64_t FPosition = 0;
    TPdfByteBuffer FPending;
};

// Replaces the file `fileName` (relative names are taken against the current directory) with
// what `write` puts into the stream it is given, never leaving a partial file behind: the bytes
// go to a new file in the same folder, which is synced and renamed over the old one only after
// `write` has returned. Symbolic links are followed; a device, pipe, "-" or /dev/stdout is
// written directly (see OutputFile). When anything fails, the old file is unchanged, the new one
// removed, and EFileCreateError is raised (or the exception of `write` passes through).
template <class WriteFunction>
void ReplaceFile(const std::string& fileName, WriteFunction&& write);

namespace detail {
// The non-template parts of ReplaceFile.
struct ReplacingFile {
    explicit ReplacingFile(const std::string& fileName);
    ~ReplacingFile();  // removes the new file unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    TPdfFileStream& Stream() { return *FStream; }
    void Commit();

    std::string FFileName;
    std::unique_ptr<OutputFile> FFile;
    std::unique_ptr<TPdfFileStream> FStream;
};
}  // namespace detail

template <class WriteFunction>
void ReplaceFile(const std::string& fileName, WriteFunction&& write) {
    detail::ReplacingFile file(fileName);
    write(static_cast<TPdfOutputStream&>(file.Stream()));
    file.Commit();
}

}  // namespace halvik
