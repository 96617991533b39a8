#include "pdf/PdfStreams.h"

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

static std::string Reason(int error) {
    return std::strerror(error);
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
    if (::lseek(FFd, 0, SEEK_SET) < 0 || ::ftruncate(FFd, 0) < 0) {
        throw EFileCreateError(FFileName, Reason(errno));
    }
    FPosition = 0;
}

namespace detail {

namespace {
std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}
std::string BaseOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
std::atomic<unsigned> gTempCounter{0};
}  // namespace

ReplacingFile::ReplacingFile(const std::string& fileName) : FFileName(fileName) {
    if (fileName.empty())
        throw EFileCreateError(fileName, Reason(ENOENT));
    const std::string dir = DirectoryOf(fileName);
    const std::string base = BaseOf(fileName);
    if (base.empty())
        throw EFileCreateError(fileName, Reason(EISDIR));
    // A folder standing where the file should go would only be found at the rename; say so
    // before anything is written.
    struct stat existing {};
    bool haveExisting = ::stat(fileName.c_str(), &existing) == 0;
    if (haveExisting && S_ISDIR(existing.st_mode)) {
        throw EFileCreateError(fileName, Reason(EISDIR));
    }
    for (int attempt = 0;; ++attempt) {
        FTempName = dir + "." + base + "." + std::to_string(::getpid()) + "." +
                    std::to_string(gTempCounter.fetch_add(1)) + ".tmp";
        FFd = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (FFd >= 0)
            break;
        if (errno != EEXIST || attempt > 100) {
            int error = errno;
            FTempName.clear();
            throw EFileCreateError(fileName, Reason(error));
        }
    }
    // A replaced file keeps its permissions.
    if (haveExisting && S_ISREG(existing.st_mode)) {
        (void)::fchmod(FFd, existing.st_mode & 07777);
    }
    FStream = new TPdfFileStream(FFd, fileName);
}

ReplacingFile::~ReplacingFile() {
    delete FStream;
    if (FFd >= 0)
        ::close(FFd);
    if (!FCommitted && !FTempName.empty())
        ::unlink(FTempName.c_str());
}

void ReplacingFile::Commit() {
    FStream->Flush();
    if (::fsync(FFd) != 0)
        throw EFileCreateError(FFileName, Reason(errno));
    int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        throw EFileCreateError(FFileName, Reason(errno));
    if (::rename(FTempName.c_str(), FFileName.c_str()) != 0) {
        throw EFileCreateError(FFileName, Reason(errno));
    }
    FCommitted = true;
}

}  // namespace detail
}  // namespace halvik
