#pragma once
// Streams of bytes: the abstract TStream, a memory stream and a file stream.
#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class EStreamError : public Exception {
public:
    using Exception::Exception;
    ~EStreamError() override;
};
// "Stream read error" / "Stream write error": fewer bytes than asked for.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
    ~EReadError() override;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
    ~EWriteError() override;
};
// "Cannot open file \"" + name + "\". " + the system's reason (and "Cannot create file ...").
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
    ~EFOpenError() override;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
    ~EFCreateError() override;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream();
    // Up to count bytes from the position; returns how many were read (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes count bytes at the position; returns how many were written.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // The new position. A position before the start raises EStreamError; one after the end
    // is allowed (reading there gives nothing, writing fills the gap with zeros).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soBeginning); }
    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    void WriteString(std::string_view bytes) { WriteBuffer(bytes.data(), std::int64_t(bytes.size())); }
    // Fixed-size little-endian integers of stored binary forms (EReadError at the end).
    void WriteInt32(std::int32_t value);
    std::int32_t ReadInt32();
    void WriteByte(std::uint8_t value) { WriteBuffer(&value, 1); }
    std::uint8_t ReadByte();
    // count bytes exactly (EReadError when fewer remain; a negative count is refused).
    std::string ReadBytes(std::int64_t count);
    // The bytes from the position to the end.
    std::string ReadRest();
    // Copies count bytes of source from its position; count 0 copies the whole source from
    // its start. Returns the bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view bytes) : FData(bytes) {}
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return std::int64_t(FData.size()); }
    void SetSize(std::int64_t size) override; // the position stays, even past a smaller end
    void Clear();
    const char* Memory() const { return FData.data(); }
    const std::string& Data() const { return FData; }
    void LoadFromStream(TStream& source); // the whole of source; position 0 afterwards
    void SaveToStream(TStream& target) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    std::string FData;
    std::int64_t FPosition = 0;
};

enum TFileMode {
    fmOpenRead,      // existing file, read only
    fmOpenWrite,     // existing file, write only
    fmOpenReadWrite, // existing file
    fmCreate         // created or emptied, read and write
};

class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    int FHandle = -1;
};

// The whole file as bytes, and bytes written as a whole file (EFOpenError / EFCreateError).
std::string ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, std::string_view bytes);

} // namespace quorvel
