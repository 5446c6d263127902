// LOB locators on the stand-in: temporary and column LOBs read and written as streams, sizes,
// text in UTF-16 mode, bound locators, BFILE names and files, and the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/CodePage.h"
#include "oracle/query/OracleLob.h"
#include "oracle/query/tests/QueryTestSupport.h"

using namespace quorvel;
using namespace quorvel::testing;

namespace {

class LobLocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FDb.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        FSession = FDb.LogOn(false);
    }
    void TearDown() override {
        QueryMonitor = nullptr;
        FSession.reset();
    }

    std::unique_ptr<TOracleQuery> Query(const std::string& sql) {
        auto q = std::make_unique<TOracleQuery>();
        q->SetSession(FSession.get());
        q->SQL().SetText(sql);
        return q;
    }
    std::string Message(const std::function<void()>& fn) {
        try {
            fn();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(no exception)";
    }

    StandInDatabase FDb;
    std::unique_ptr<TOracleSession> FSession;
};

TEST_F(LobLocatorTest, TemporaryBlobIsAStream) {
    auto lob = TLOBLocator::CreateTemporary(FSession.get(), otBLOB, true);
    EXPECT_TRUE(lob->Temporary());
    EXPECT_EQ(lob->Write("abc", 3), 3);
    EXPECT_EQ(lob->Position(), 3);
    lob->Seek(0, soBeginning);
    char buf[10] = {};
    EXPECT_EQ(lob->Read(buf, 10), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_EQ(lob->Read(buf, 10), 0) << "nothing is left after the end";
    EXPECT_EQ(lob->Seek(-1, soEnd), 2);
    EXPECT_THROW(lob->Seek(-3, soCurrent), EStreamError);
    EXPECT_EQ(lob->Position(), 2) << "a refused seek keeps the position";

    // Growing fills with zero bytes, shrinking trims; Trim cuts at the position.
    lob->SetSize(6);
    lob->Seek(0, soBeginning);
    EXPECT_EQ(lob->ReadRest(), std::string("abc\0\0\0", 6));
    lob->Seek(2, soBeginning);
    lob->Trim();
    EXPECT_EQ(lob->Size(), 2);

    // Binary data with zero bytes across several pieces through the generic stream copy.
    std::string data;
    for (int i = 0; i < 70000; ++i) data.push_back(char(i * 7 % 256));
    TMemoryStream source(data);
    lob->Seek(0, soBeginning);
    lob->CopyFrom(source, 0);
    lob->Trim();
    EXPECT_EQ(lob->Size(), 70000);
    lob->Seek(0, soBeginning);
    TMemoryStream back;
    back.CopyFrom(*lob, 70000);
    EXPECT_EQ(back.Data(), data);
}

TEST_F(LobLocatorTest, TemporaryClobCountsUtf16Bytes) {
    auto lob = TLOBLocator::CreateTemporary(FSession.get(), otCLOB, false);
    ASSERT_TRUE(lob->IsUTF16()) << "a UTF-8 database gives CLOB locators UTF-16 text";
    const std::u16string text = u"Привет, abc";
    lob->SetAsWideString(text);
    EXPECT_EQ(lob->Size(), int64_t(text.size() * 2));
    EXPECT_EQ(lob->AsWideString(), text);

    // Reading on in small pieces continues where the last piece ended.
    lob->Seek(0, soBeginning);
    std::u16string pieces;
    char16_t chunk[3];
    for (int64_t n; (n = lob->Read(chunk, sizeof chunk)) > 0;) pieces.append(chunk, size_t(n / 2));
    EXPECT_EQ(pieces, text);

    // Sizes in bytes of UTF-16: growing ends in a space, shrinking trims characters.
    struct Case {
        int64_t size;
        std::u16string expected;
    } cases[] = {{26, u"Привет, abc  "}, {20, u"Привет, ab"}, {2, u"П"}};
    for (const auto& c : cases) {
        lob->SetSize(c.size);
        EXPECT_EQ(lob->Size(), c.size);
        EXPECT_EQ(lob->AsWideString(), c.expected) << c.size;
    }

    // Line breaks: CRs are stripped going in and CR LF comes back.
    lob->SetAsWideString(u"a\r\nb\nc");
    EXPECT_EQ(lob->Size(), 10);
    EXPECT_EQ(lob->AsWideString(), u"a\r\nb\r\nc");
    EXPECT_EQ(lob->AsString(), "a\r\nb\r\nc");
}

// Without the default character set switch a CLOB locator moves 8-bit text in the process code
// page: sizes count characters and reads keep the bytes that arrived.
TEST_F(LobLocatorTest, ClobOutsideTextModeMovesBytes) {
    DefaultVariableCharSet = false;
    auto lob = TLOBLocator::CreateTemporary(FSession.get(), otCLOB, true);
    DefaultVariableCharSet = true;
    ASSERT_FALSE(lob->IsUTF16());
    const std::string text = Utf16ToAnsi(u"Привет abc");
    lob->SetAsString(text);
    EXPECT_EQ(lob->Size(), 10) << "characters";
    EXPECT_EQ(lob->AsString(), text);
    EXPECT_EQ(lob->AsWideString(), u"Привет abc");
    lob->SetAsString("one\r\ntwo");
    EXPECT_EQ(lob->Size(), 7);
    EXPECT_EQ(lob->AsString(), "one\r\ntwo");
}

// Files of multi-byte text through a byte-mode CLOB: the size counts characters, so saving
// must not stop after that many bytes.
TEST_F(LobLocatorTest, ClobOutsideTextModeSavesAndLoadsWholeText) {
    DefaultVariableCharSet = false;
    auto lob = TLOBLocator::CreateTemporary(FSession.get(), otCLOB, true);
    DefaultVariableCharSet = true;
    ASSERT_FALSE(lob->IsUTF16());
    const std::string path = FDb.Root() + "/text.txt";
    auto fileText = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    const std::string text = Utf16ToAnsi(u"Привет abc");
    lob->SetAsString(text);
    lob->SaveToFile(path);
    EXPECT_EQ(fileText(), text);

    lob->SetAsString("");
    lob->LoadFromFile(path);
    EXPECT_EQ(lob->AsString(), text);
}

TEST_F(LobLocatorTest, ColumnLocatorsFollowTheCurrentRow) {
    RunSql(*FSession, "create table docs (id number, c clob, b blob)");
    RunSql(*FSession, "insert into docs values (1, 'first', hextoraw('0102'))");
    RunSql(*FSession, "insert into docs values (2, 'второй', null)");
    RunSql(*FSession, "insert into docs values (3, null, hextoraw('FF'))");
    auto q = Query("select id, c, b from docs order by id");
    q->SetReadBuffer(2);
    q->Execute();
    struct Row {
        std::u16string text;
        std::vector<uint8_t> bytes;
    } rows[] = {{u"first", {1, 2}}, {u"второй", {}}, {u"", {0xFF}}};
    TLOBLocator* c = q->LOBField("C");
    for (const auto& r : rows) {
        ASSERT_FALSE(q->Eof());
        EXPECT_EQ(q->LOBField(1), c) << "one locator per column";
        EXPECT_EQ(c->AsWideString(), r.text);
        EXPECT_EQ(q->FieldAsWideString(1), r.text);
        EXPECT_EQ(q->FieldIsNull(1), r.text.empty());
        EXPECT_EQ(q->LOBField("B")->IsNull(), r.bytes.empty());
        if (r.bytes.empty()) {
            EXPECT_TRUE(q->Field(2).IsUnassigned());
        } else {
            EXPECT_EQ(q->Field(2).ToBytes(), r.bytes);
            EXPECT_EQ(q->FieldAsString(2), std::string(r.bytes.begin(), r.bytes.end()));
        }
        c->Seek(4, soBeginning);
        q->Next();
        EXPECT_EQ(c->Position(), 0) << "the next row starts at 0";
    }
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(c->LOBName(), "C");
    EXPECT_EQ(Message([&] { q->LOBField(0); }), "Field ID is not a LOB");
}

TEST_F(LobLocatorTest, WritingThroughSelectedAndReturnedLocators) {
    RunSql(*FSession, "create table docs (id number, c clob, b blob)");
    RunSql(*FSession, "insert into docs values (1, empty_clob(), empty_blob())");

    // A locator selected for update writes into its row.
    {
        auto q = Query("select c, b from docs where id = 1 for update");
        q->Execute();
        TLOBLocator* b = q->LOBField(1);
        EXPECT_FALSE(b->IsNull());
        EXPECT_EQ(b->Size(), 0);
        EXPECT_EQ(b->Write("abc", 3), 3);
        b->Seek(0, soBeginning);
        char buf[10];
        EXPECT_EQ(b->Read(buf, 10), 3);
        q->LOBField(0)->SetAsString("text of one");
    }
    // A locator returned by an insert.
    {
        TLOBLocator c(FSession.get(), otCLOB);
        auto q = Query("insert into docs values (2, empty_clob(), null) returning c into :c");
        q->DeclareVariable("c", otCLOB);
        q->SetComplexVariable("c", &c);
        q->Execute();
        ASSERT_FALSE(c.IsNull());
        c.SetAsWideString(u"returned");
    }
    // A locator made empty and bound as a value.
    {
        TLOBLocator b(FSession.get(), otBLOB);
        EXPECT_TRUE(b.IsNull());
        b.SetEmpty();
        EXPECT_FALSE(b.IsNull());
        EXPECT_EQ(b.Size(), 0);
        auto q = Query("insert into docs values (3, null, :b)");
        q->DeclareVariable("b", otBLOB);
        q->SetComplexVariable("b", &b);
        q->Execute();
    }
    FSession->Commit();
    auto q = Query("select id, c, b, nvl2(b, 'y', 'n') has_b from docs order by id");
    q->Execute();
    EXPECT_EQ(q->FieldAsString(1), "text of one");
    EXPECT_EQ(q->FieldAsString(2), "abc");
    q->Next();
    EXPECT_EQ(q->FieldAsWideString(1), u"returned");
    q->Next();
    EXPECT_EQ(q->FieldAsString("HAS_B"), "y") << "an empty BLOB bound by its locator is stored empty, not NULL";
    EXPECT_FALSE(q->LOBField(2)->IsNull()) << "an empty BLOB is not null";
    EXPECT_EQ(q->LOBField(2)->Size(), 0);
}

TEST_F(LobLocatorTest, BufferedWritesAreFlushed) {
    RunSql(*FSession, "create table docs (id number, b blob)");
    RunSql(*FSession, "insert into docs values (1, empty_blob())");
    RunSql(*FSession, "insert into docs values (2, empty_blob())");
    {
        auto q = Query("select b from docs order by id for update");
        q->Execute();
        TLOBLocator* b = q->LOBField(0);
        b->SetBuffering(true);
        EXPECT_TRUE(b->Buffering());
        b->WriteString("first");
        q->Next();   // the row change flushes and ends buffering
        EXPECT_FALSE(b->Buffering());
        b->SetBuffering(true);
        b->WriteString("second");
        b->FlushBuffer();
        b->SetBuffering(false);
    }
    FSession->Commit();
    auto q = Query("select b from docs order by id");
    q->Execute();
    EXPECT_EQ(q->FieldAsString(0), "first");
    q->Next();
    EXPECT_EQ(q->FieldAsString(0), "second");
}

// A locator filled by a PL/SQL block, and made null by one.
TEST_F(LobLocatorTest, BlocksFillAndClearBoundLocators) {
    RunSql(*FSession, "create table docs (id number, c clob)");
    RunSql(*FSession, "insert into docs values (1, 'from the table')");
    TLOBLocator c(FSession.get(), otCLOB);
    auto q = Query("begin select c into :c from docs where id = :id; end;");
    q->DeclareVariable("c", otCLOB);
    q->DeclareAndSet("id", otInteger, Variant(1));
    q->SetComplexVariable("c", &c);
    q->Execute();
    ASSERT_FALSE(c.IsNull());
    EXPECT_EQ(c.AsWideString(), u"from the table");
    auto clear = Query("begin :c := null; end;");
    clear->DeclareVariable("c", otCLOB);
    clear->SetComplexVariable("c", &c);
    clear->Execute();
    EXPECT_TRUE(c.IsNull());
    EXPECT_EQ(c.Size(), 0);
}

TEST_F(LobLocatorTest, WriteIntoUnlockedRowIsADatabaseError) {
    RunSql(*FSession, "create table docs (id number, b blob)");
    RunSql(*FSession, "insert into docs values (1, empty_blob())");
    FSession->Commit();
    auto q = Query("select b from docs");
    q->Execute();
    try {
        q->LOBField(0)->Write("x", 1);
        FAIL() << "no error";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 22920);
        EXPECT_EQ(e.Instance(), q->LOBField(0));
    }
}

TEST_F(LobLocatorTest, AssignCopyAppendErase) {
    auto a = TLOBLocator::CreateTemporary(FSession.get(), otBLOB, true);
    auto b = TLOBLocator::CreateTemporary(FSession.get(), otBLOB, true);
    a->WriteString("0123456789");
    b->WriteString("abc");
    a->Seek(2, soBeginning);
    EXPECT_EQ(a->Erase(3), 3);
    a->Seek(0, soBeginning);
    EXPECT_EQ(a->ReadRest(), std::string("01\0\0\0" "56789", 10));

    b->Append(*a);
    EXPECT_EQ(b->Size(), 13);
    a->Seek(5, soBeginning);   // from "56789"
    b->Seek(1, soBeginning);
    b->Copy(*a, 2);
    b->Seek(0, soBeginning);
    EXPECT_EQ(b->ReadBytes(4), "a56" "0");

    // Text CLOBs count every length and position in bytes of UTF-16: two per character.
    auto x = TLOBLocator::CreateTemporary(FSession.get(), otCLOB, true);
    auto y = TLOBLocator::CreateTemporary(FSession.get(), otCLOB, true);
    ASSERT_TRUE(x->IsUTF16());
    x->SetAsWideString(u"0123456789");
    y->SetAsWideString(u"abcdef");
    x->Seek(10, soBeginning);   // from "56789"
    y->Seek(2, soBeginning);
    y->Copy(*x, 4);
    EXPECT_EQ(y->AsWideString(), u"a56def");
    y->Seek(2, soBeginning);
    EXPECT_EQ(y->Erase(4), 4);
    EXPECT_EQ(y->AsWideString(), u"a  def");

    TLOBLocator c(FSession.get(), otBLOB);
    c.Assign(b.get());
    EXPECT_EQ(c.Position(), 0);
    EXPECT_EQ(c.Size(), 13);
    TLOBLocator empty(FSession.get(), otBLOB);
    c.Assign(&empty);
    EXPECT_TRUE(c.IsNull()) << "a null source clears";
    EXPECT_EQ(Message([&] { c.Assign(nullptr); }), "TLOBLocator: Cannot assign nil source");
}

TEST_F(LobLocatorTest, BFileNamesAndFiles) {
    const std::string dir = FDb.Root() + "/files";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/hello.txt", std::ios::binary) << "hello file";
    auto system = FDb.LogOn(false, "system/manager");
    RunSql(*system, "create directory docs_dir as '" + dir + "'");

    TLOBLocator f(system.get(), otBFile);
    EXPECT_TRUE(f.IsNull());
    f.SetFilename("DIR\\file.txt");
    EXPECT_EQ(f.Directory(), "DIR");
    EXPECT_EQ(f.Filename(), "file.txt");
    f.SetDirectory("DOCS_DIR");
    EXPECT_EQ(f.Filename(), "file.txt");
    EXPECT_FALSE(f.FileExists());
    f.SetFilename("hello.txt");
    EXPECT_EQ(f.Directory(), "DOCS_DIR");
    EXPECT_TRUE(f.FileExists());
    EXPECT_EQ(f.Size(), 10);
    char buf[32] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 10) << "a file reads what it holds";
    EXPECT_EQ(std::string(buf, 10), "hello file");
    f.CloseFile();

    // The file loaded into a BLOB, and a LOB saved to a file and loaded back.
    auto blob = TLOBLocator::CreateTemporary(system.get(), otBLOB, true);
    f.Seek(6, soBeginning);
    blob->Append(f);
    blob->Seek(0, soBeginning);
    EXPECT_EQ(blob->ReadRest(), "hello file");
    blob->SaveToFile(dir + "/copy.bin");
    auto again = TLOBLocator::CreateTemporary(system.get(), otBLOB, true);
    again->WriteString("longer content than the file");
    again->LoadFromFile(dir + "/copy.bin");
    EXPECT_EQ(again->Size(), 10);
    again->Seek(0, soBeginning);
    EXPECT_EQ(again->ReadRest(), "hello file");

    // A BFILE column: stored from a bound locator, read as the file's bytes.
    RunSql(*system, "create table files (id number, f bfile)");
    auto ins = std::make_unique<TOracleQuery>();
    ins->SetSession(system.get());
    ins->SQL().SetText("insert into files values (1, :f)");
    ins->DeclareVariable("f", otBFile);
    ins->SetComplexVariable("f", &f);
    ins->Execute();
    auto sel = std::make_unique<TOracleQuery>();
    sel->SetSession(system.get());
    sel->SQL().SetText("select f from files");
    sel->Execute();
    EXPECT_EQ(sel->FieldAsString(0), "hello file");
    EXPECT_EQ(sel->LOBField(0)->Filename(), "hello.txt");
    EXPECT_EQ(sel->LOBField(0)->Directory(), "DOCS_DIR");
    sel.reset();
    ins.reset();
    system.reset();
}

TEST_F(LobLocatorTest, Refusals) {
    TLOBLocator blob(FSession.get(), otBLOB);
    TLOBLocator clob(FSession.get(), otCLOB);
    struct Case {
        std::function<void()> call;
        std::string message;
    } cases[] = {
        {[&] { TLOBLocator(FSession.get(), otString); }, "Type must be otCLOB, otBLOB or otBFile"},
        {[&] { blob.Filename(); }, "Filename not allowed for BLOB"},
        {[&] { clob.SetDirectory("D"); }, "Directory not allowed for CLOB"},
        {[&] { blob.FileExists(); }, "FileExists not allowed for BLOB"},
        {[&] { blob.SetNCLOB(true); }, "NCLOB property only applicable for CLOB"},
        {[&] { TLOBLocator::CreateTemporary(FSession.get(), otBFile, false); }, "Type must be otCLOB, otBLOB or otBFile"},
    };
    for (const auto& c : cases) EXPECT_EQ(Message(c.call), c.message);

    TLOBLocator nclob(FSession.get(), -otCLOB);
    EXPECT_TRUE(nclob.NCLOB());
    EXPECT_EQ(nclob.LOBType(), otCLOB);

    auto oci7 = FDb.LogOn(true);
    EXPECT_NE(Message([&] { TLOBLocator(oci7.get(), otBLOB); }).find("A TLOBLocator instance"), std::string::npos);
}

TEST_F(LobLocatorTest, NationalTextWithByteSwappedUnits) {
    RunSql(*FSession, "create table n (id number, c nclob)");
    RunSql(*FSession, "insert into n values (1, empty_clob())");
    auto q = Query("select c from n for update");
    q->Execute();
    TLOBLocator* c = q->LOBField(0);
    EXPECT_TRUE(c->NCLOB());
    EXPECT_TRUE(c->IsUTF16());
    c->SetAsWideString(u"Ёжик");
    EXPECT_EQ(c->AsWideString(), u"Ёжик");
    EXPECT_EQ(c->Size(), 8);

    // What the database holds: a value written by SQL reads back as the same text.
    RunSql(*FSession, "insert into n values (2, 'Ёжик')");
    auto r = Query("select c from n where id = 2");
    r->Execute();
    const std::u16string read = r->LOBField(0)->AsWideString();
    EXPECT_EQ(read, u"Ёжик");
    EXPECT_EQ(r->FieldAsWideString(0), u"Ёжик");
}

// A locator outlives its session: logged off and destroyed first, with a shared environment and
// with one of the session's own.
TEST_F(LobLocatorTest, LocatorsOutliveTheirSession) {
    for (bool shared : {true, false}) {
        ShareOCIEnvironment = shared;
        auto session = FDb.LogOn(false);
        auto lob = TLOBLocator::CreateTemporary(session.get(), otBLOB, true);
        lob->WriteString("kept");
        auto q = std::make_unique<TOracleQuery>();
        q->SetSession(session.get());
        q->SQL().SetText("select to_clob('x') c from dual");
        q->Execute();
        TLOBLocator* column = q->LOBField(0);
        EXPECT_EQ(column->AsString(), "x");
        session->LogOff();
        session.reset();
        EXPECT_EQ(lob->Session(), nullptr) << "shared " << shared;
        EXPECT_TRUE(lob->IsNull());
        EXPECT_EQ(lob->Read(nullptr, 0), 0);
        lob.reset();
        q.reset();
    }
    ShareOCIEnvironment = true;
}

// The locator's client calls are reported to the activity monitor under its own name.
TEST_F(LobLocatorTest, ActivitiesReachTheMonitor) {
    struct Monitor : TQueryMonitor {
        std::vector<std::string> Created, Activities;
        void QueryCreated(int, int, int, const std::string& name) override { Created.push_back(name); }
        void QueryDestroyed(int) override {}
        void ActivityStart(int, const std::string& activity, const std::string&, const std::string&) override {
            Activities.push_back(activity);
        }
        void ActivityEnd(int, bool, const std::string&, int) override {}
    } monitor;
    auto lob = TLOBLocator::CreateTemporary(FSession.get(), otBLOB, true);
    QueryMonitor = &monitor;
    lob->WriteString("abcd");
    lob->Seek(0, soBeginning);
    char buf[4];
    lob->Read(buf, 4);
    lob->Size();
    QueryMonitor = nullptr;
    ASSERT_EQ(monitor.Created.size(), 1u);
    EXPECT_EQ(monitor.Created[0].rfind("LOBLocator", 0), 0u);
    EXPECT_EQ(monitor.Activities, (std::vector<std::string>{"LOB.Write(4)", "LOB.Read(4)", "LOB.Length"}));
}

} // namespace
