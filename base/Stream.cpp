#include "base/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

EStreamError::~EStreamError() = default;
EReadError::~EReadError() = default;
EWriteError::~EWriteError() = default;
EFOpenError::~EFOpenError() = default;
EFCreateError::~EFCreateError() = default;

TStream::~TStream() = default;

std::int64_t TStream::Size() {
    std::int64_t pos = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count < 0) throw EReadError("Stream read error");
    char* p = static_cast<char*>(buffer);
    while (count > 0) {
        std::int64_t n = Read(p, count);
        if (n <= 0) throw EReadError("Stream read error");
        p += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count < 0) throw EWriteError("Stream write error");
    const char* p = static_cast<const char*>(buffer);
    while (count > 0) {
        std::int64_t n = Write(p, count);
        if (n <= 0) throw EWriteError("Stream write error");
        p += n;
        count -= n;
    }
}

void TStream::WriteInt32(std::int32_t value) {
    std::uint32_t u = std::uint32_t(value);
    unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                          static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    WriteBuffer(b, 4);
}

std::int32_t TStream::ReadInt32() {
    unsigned char b[4];
    ReadBuffer(b, 4);
    return std::int32_t(std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24));
}

std::uint8_t TStream::ReadByte() {
    std::uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

std::string TStream::ReadBytes(std::int64_t count) {
    if (count < 0) throw EReadError("Stream read error");
    std::string out;
    // Grow as the bytes arrive, so a corrupt length cannot allocate more than the stream holds.
    char buffer[65536];
    while (count > 0) {
        std::int64_t n = Read(buffer, std::min<std::int64_t>(count, sizeof buffer));
        if (n <= 0) throw EReadError("Stream read error");
        out.append(buffer, size_t(n));
        count -= n;
    }
    return out;
}

std::string TStream::ReadRest() {
    std::string out;
    char buffer[65536];
    while (true) {
        std::int64_t n = Read(buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, size_t(n));
    }
    return out;
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::int64_t total = 0;
    char buffer[65536];
    while (count > 0) {
        std::int64_t n = std::min<std::int64_t>(count, sizeof buffer);
        source.ReadBuffer(buffer, n);
        WriteBuffer(buffer, n);
        count -= n;
        total += n;
    }
    return total;
}

// ----- memory -----

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    std::int64_t size = Size();
    if (count <= 0 || FPosition >= size) return 0;
    std::int64_t n = std::min(count, size - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    if (count > std::numeric_limits<std::int64_t>::max() - FPosition) throw EWriteError("Stream write error");
    std::int64_t end = FPosition + count;
    if (end > Size()) FData.resize(size_t(end), '\0');
    std::memcpy(FData.data() + FPosition, buffer, size_t(count));
    FPosition = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : Size();
    if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) || base + offset < 0)
        throw EStreamError("Invalid stream position");
    FPosition = base + offset;
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    FData.resize(size_t(size), '\0');
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    std::int64_t size = source.Size();
    std::string data(size_t(size), '\0');
    source.ReadBuffer(data.data(), size);
    FData = std::move(data);
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& target) const { target.WriteBuffer(FData.data(), std::int64_t(FData.size())); }

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    FData = ReadFileBytes(fileName);
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const { WriteFileBytes(fileName, FData); }

// ----- file -----

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmOpenRead: flags |= O_RDONLY; break;
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    do {
        FHandle = ::open(fileName.c_str(), flags, 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0) {
        std::string reason = std::strerror(errno);
        if (mode == fmCreate) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
    struct stat st {};
    if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(EISDIR));
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    ssize_t n;
    do {
        n = ::read(FHandle, buffer, size_t(std::min<std::int64_t>(count, 1 << 30)));
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw EReadError("Stream read error");
    return n;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    ssize_t n;
    do {
        n = ::write(FHandle, buffer, size_t(std::min<std::int64_t>(count, 1 << 30)));
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw EWriteError("Stream write error");
    return n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(FHandle, off_t(offset), whence);
    if (r < 0) throw EStreamError("Invalid stream position");
    return r;
}

void TFileStream::SetSize(std::int64_t size) {
    if (size < 0 || ::ftruncate(FHandle, off_t(size)) != 0) throw EStreamError("Invalid stream size");
}

std::string ReadFileBytes(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    return f.ReadRest();
}

void WriteFileBytes(const std::string& fileName, std::string_view bytes) {
    TFileStream f(fileName, fmCreate);
    f.WriteString(bytes);
}

} // namespace quorvel
