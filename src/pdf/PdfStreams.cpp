// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfStreams.h"

#include "fileio/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace halvik {

// ---- TPdfByteBuffer -------------------------------------------------------------------------

TPdfByteBuffer::TPdfByteBuffer(const TPdfByteBuffer& other) {
    Append(other.FData, other.FSize);
}

TPdfByteBuffer::TPdfByteBuffer(TPdfByteBuffer&& other) noexcept
    : FData(other.FData), FSize(other.FSize), FCapacity(other.FCapacity) {
    other.FData = nullptr;
    other.FSize = other.FCapacity = 0;
}

TPdfByteBuffer& TPdfByteBuffer::operator=(const TPdfByteBuffer& other) {
    if (this != &other) {
        FSize = 0;
        Append(other.FData, other.FSize);
    }
    return *this;
}

TPdfByteBuffer& TPdfByteBuffer::operator=(TPdfByteBuffer&& other) noexcept {
    if (this != &other) {
        std::free(FData);
        FData = other.FData;
        FSize = other.FSize;
        FCapacity = other.FCapacity;
        other.FData = nullptr;
        other.FSize = other.FCapacity = 0;
    }
    return *this;
}

TPdfByteBuffer::~TPdfByteBuffer() {
    std::free(FData);
}

void TPdfByteBuffer::Reserve(std::size_t capacity) {
    if (capacity <= FCapacity)
        return;
    void* grown = std::realloc(FData, capacity);
    if (grown == nullptr)
        throw std::bad_alloc();
    FData = static_cast<std::uint8_t*>(grown);
    FCapacity = capacity;
}

void TPdfByteBuffer::Grow(std::size_t minimum) {
    std::size_t capacity = FCapacity < 256 ? 256 : FCapacity + FCapacity / 2;
    if (capacity < minimum)
        capacity = minimum;
    Reserve(capacity);
}

void TPdfByteBuffer::Resize(std::size_t size) {
    if (size > FCapacity)
        Reserve(size);
    FSize = size;
}

std::uint8_t* TPdfByteBuffer::Extend(std::size_t count) {
    if (count > FCapacity - FSize)
        Grow(FSize + count);
    std::uint8_t* start = FData + FSize;
    FSize += count;
    return start;
}

void TPdfByteBuffer::Append(const void* data, std::size_t count) {
    if (count == 0)
        return;
    std::memcpy(Extend(count), data, count);
}

void TPdfByteBuffer::AppendSource(const TPdfStreamSource& source) {
    const std::size_t rows = source.RowCount();
    if (rows == 0 || source.RowSize() == 0)
        return;
    source.ProduceRows(0, rows, Extend(source.Size()));
}

// ---- output streams ---------------------------------------------------------------------------

void TPdfOutputStream::WriteSource(const TPdfStreamSource& source) {
    const std::size_t rows = source.RowCount();
    const std::size_t rowSize = source.RowSize();
    if (rows == 0 || rowSize == 0)
        return;
    const std::size_t perChunk = rowSize >= 65536 ? 1 : 65536 / rowSize;
    TPdfByteBuffer chunk;
    for (std::size_t first = 0; first < rows; first += perChunk) {
        const std::size_t count = rows - first < perChunk ? rows - first : perChunk;
        chunk.Resize(count * rowSize);
        source.ProduceRows(first, count, chunk.Data());
        Write(chunk.Data(), chunk.Size());
    }
}

void TPdfMemoryStream::WriteSource(const TPdfStreamSource& source) {
    FBuffer.AppendSource(source);
}

// ---- files ------------------------------------------------------------------------------------

// The message's reason without its final full stop, which the message's own form supplies.
static std::string WithoutStop(std::string reason) {
    if (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    return reason;
}

// In English whatever the locale, like every other message.
static std::string Reason(int error) {
    return WithoutStop(SystemReason(error));
}

EFileCreateError::EFileCreateError(const std::string& fileName, const std::string& reason)
    : std::runtime_error("Cannot create file \"" + fileName + "\". " + reason),
      FFileName(fileName) {}

namespace {
constexpr std::size_t kFileBufferSize = 64 * 1024;
}

TPdfFileStream::TPdfFileStream(int fd, std::string fileName)
    : FFd(fd), FFileName(std::move(fileName)) {
    FPending.Reserve(kFileBufferSize);
}

TPdfFileStream::~TPdfFileStream() = default;

void TPdfFileStream::WriteAll(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        ssize_t written = ::write(FFd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw EFileCreateError(FFileName, Reason(errno));
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

void TPdfFileStream::Flush() {
    if (FPending.Empty())
        return;
    WriteAll(FPending.Data(), FPending.Size());
    FPending.Clear();
}

void TPdfFileStream::Write(const void* data, std::size_t count) {
    FPosition += static_cast<std::int64_t>(count);
    if (FPending.Size() + count <= kFileBufferSize) {
        FPending.Append(data, count);
        return;
    }
    Flush();
    if (count >= kFileBufferSize) {
        WriteAll(data, count);
    } else {
        FPending.Append(data, count);
    }
}

void TPdfFileStream::WriteSource(const TPdfStreamSource& source) {
    const std::size_t rows = source.RowCount();
    const std::size_t rowSize = source.RowSize();
    if (rows == 0 || rowSize == 0)
        return;
    if (rowSize > kFileBufferSize) {
        TPdfOutputStream::WriteSource(source);
        return;
    }
    // Rows are made straight into the file buffer.
    std::size_t first = 0;
    while (first < rows) {
        std::size_t room = (kFileBufferSize - FPending.Size()) / rowSize;
        if (room == 0) {
            Flush();
            continue;
        }
        const std::size_t count = rows - first < room ? rows - first : room;
        source.ProduceRows(first, count, FPending.Extend(count * rowSize));
        FPosition += static_cast<std::int64_t>(count * rowSize);
        first += count;
    }
}

void TPdfFileStream::Rewind() {
    FPending.Clear();
    if (FPosition == 0)
        return;  // nothing written yet: a pipe, which cannot seek, is fine
    if (::lseek(FFd, 0, SEEK_SET) < 0 || ::ftruncate(FFd, 0) < 0) {
        throw EFileCreateError(FFileName, Reason(errno));
    }
    FPosition = 0;
}

namespace detail {

ReplacingFile::ReplacingFile(const std::string& fileName) : FFileName(fileName) {
    try {
        FFile = std::make_unique<OutputFile>(fileName);
    } catch (const OutputFileError& error) {
        throw EFileCreateError(fileName, WithoutStop(error.Reason()));
    }
    FStream = std::make_unique<TPdfFileStream>(FFile->Descriptor(), fileName);
}

ReplacingFile::~ReplacingFile() = default;  // an uncommitted new file is removed

void ReplacingFile::Commit() {
    FStream->Flush();
    try {
        FFile->Commit();
    } catch (const OutputFileError& error) {
        throw EFileCreateError(FFileName, WithoutStop(error.Reason()));
    }
}

}  // namespace detail
}  // namespace halvik
