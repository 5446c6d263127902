#include "base/Stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace quorvel;

namespace {

class TempDir {
public:
    TempDir() : FPath(std::filesystem::temp_directory_path() / ("quorvel_stream_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(FPath);
    }
    ~TempDir() { std::filesystem::remove_all(FPath); }
    std::string File(const char* name) const { return (FPath / name).string(); }
private:
    std::filesystem::path FPath;
};

// The same checks for every kind of stream.
void Exercise(TStream& s) {
    s.WriteString("hello world");
    EXPECT_EQ(s.Position(), 11);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Seek(-5, soEnd), 6);
    char buf[16] = {};
    EXPECT_EQ(s.Read(buf, 100), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(s.Read(buf, 1), 0) << "at the end";
    s.SetPosition(0);
    s.WriteString("J");
    EXPECT_EQ(s.Seek(0, soCurrent), 1);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadRest(), "Jello world");
    // Writing past the end fills with zeros.
    s.Seek(2, soEnd);
    s.WriteString("!");
    EXPECT_EQ(s.Size(), 14);
    s.SetPosition(11);
    EXPECT_EQ(s.ReadRest(), std::string("\0\0!", 3));
    s.SetSize(5);
    EXPECT_EQ(s.Size(), 5);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadRest(), "Jello");
    s.SetPosition(0);
    EXPECT_THROW(s.ReadBuffer(buf, 6), EReadError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
}

} // namespace

TEST(Stream, MemoryStream) {
    TMemoryStream m;
    Exercise(m);
    TMemoryStream src("abcdef");
    src.SetPosition(4);
    TMemoryStream dst;
    EXPECT_EQ(dst.CopyFrom(src, 0), 6) << "count 0 copies everything from the start";
    EXPECT_EQ(dst.Data(), "abcdef");
    src.SetPosition(1);
    EXPECT_EQ(dst.CopyFrom(src, 2), 2);
    EXPECT_EQ(dst.Data(), "abcdefbc");
    EXPECT_THROW(dst.CopyFrom(src, 10), EReadError);
    // Binary forms: little-endian integers and counted bytes.
    TMemoryStream b;
    b.WriteInt32(-2);
    b.WriteInt32(0x01020304);
    b.WriteByte(0xFE);
    b.WriteString("xyz");
    EXPECT_EQ(b.Data(), std::string("\xFE\xFF\xFF\xFF\x04\x03\x02\x01\xFE" "xyz", 12));
    b.SetPosition(0);
    EXPECT_EQ(b.ReadInt32(), -2);
    EXPECT_EQ(b.ReadInt32(), 0x01020304);
    EXPECT_EQ(b.ReadByte(), 0xFE);
    EXPECT_THROW(b.ReadBytes(0x7FFFFFFF), EReadError) << "a corrupt length fails without a huge allocation";
    b.SetPosition(9);
    EXPECT_EQ(b.ReadBytes(3), "xyz");
    EXPECT_THROW(b.ReadInt32(), EReadError);
    EXPECT_THROW(b.ReadBytes(-1), EReadError);
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
    EXPECT_EQ(m.Position(), 0);
}

TEST(Stream, FileStream) {
    TempDir dir;
    {
        TFileStream f(dir.File("a.bin"), fmCreate);
        Exercise(f);
    }
    TMemoryStream m;
    m.LoadFromFile(dir.File("a.bin"));
    EXPECT_EQ(m.Data(), "Jello");
    {
        TFileStream r(dir.File("a.bin"), fmOpenRead);
        EXPECT_THROW(r.WriteString("x"), EWriteError);
        EXPECT_EQ(r.ReadRest(), "Jello");
    }
    std::string big(300000, 'x');
    big[123456] = 'y';
    WriteFileBytes(dir.File("big.bin"), big);
    EXPECT_EQ(ReadFileBytes(dir.File("big.bin")), big);
    try {
        TFileStream missing(dir.File("missing.bin"), fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot open file \"" + dir.File("missing.bin") + "\". ", 0), 0u) << e.Message();
    }
    EXPECT_THROW(TFileStream(dir.File("no/such/dir.bin"), fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(dir.File(""), fmOpenRead), EFOpenError) << "a directory is no file";
}
