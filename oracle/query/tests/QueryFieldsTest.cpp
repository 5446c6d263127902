// Select-list fields on the stand-in, in both call modes: fetch blocks, buffer types and sizes,
// value conversions, LONG pieces and the refusals of the accessors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/FormatSettings.h"
#include "oracle/session/OracleTimestamp.h"
#include "platform/HeadlessUIServices.h"
#include "oracle/query/tests/QueryTestSupport.h"

using namespace quorvel;
using namespace quorvel::testing;

namespace {

// Records the fetches a query makes after its first block.
struct FetchMonitor : TQueryMonitor {
    std::vector<std::string> Starts, Ends;
    void QueryCreated(int, int, int, const std::string&) override {}
    void QueryDestroyed(int) override {}
    void ActivityStart(int, const std::string& activity, const std::string&, const std::string&) override {
        Starts.push_back(activity);
    }
    void ActivityEnd(int, bool, const std::string& message, int) override { Ends.push_back(message); }
};

class QueryFieldsTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!FDb.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        FSession = FDb.LogOn(Oci7());
    }
    void TearDown() override {
        QueryMonitor = nullptr;
        FSession.reset();
    }
    bool Oci7() const { return GetParam(); }

    std::unique_ptr<TOracleQuery> Select(const std::string& sql) {
        auto q = std::make_unique<TOracleQuery>();
        q->SetSession(FSession.get());
        q->SQL().SetText(sql);
        return q;
    }

    StandInDatabase FDb;
    std::unique_ptr<TOracleSession> FSession;
};

INSTANTIATE_TEST_SUITE_P(Modes, QueryFieldsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("OCI7") : std::string("OCI8"); });

TEST_P(QueryFieldsTest, RowsArriveInBlocksOfReadBuffer) {
    RunSql(*FSession, "create table n (v number(5))");
    RunSql(*FSession, "insert into n select level from dual connect by level <= 60");
    struct Case {
        int rows;
        std::vector<int> processed;  // RowsProcessed after each block
        int nextFetches;             // fetches made by Next
    } cases[] = {
        {60, {25, 50, 60}, 2},  // 25, 25, 10: the short block ends it without another fetch
        {25, {25}, 1},          // the second fetch returns nothing
        {3, {3}, 0},
        {0, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        FetchMonitor monitor;
        QueryMonitor = &monitor;
        auto q = Select("select v from n where v <= :m order by v");
        q->DeclareAndSet("m", otInteger, Variant(int32_t(c.rows)));
        q->Execute();
        std::vector<int> processed;
        int seen = 0, last = 0;
        while (!q->Eof()) {
            if (q->RowsProcessed() != last) processed.push_back(last = q->RowsProcessed());
            ++seen;
            EXPECT_EQ(q->FieldAsInteger(0), seen);
            EXPECT_EQ(q->RowCount(), seen);
            q->Next();
        }
        EXPECT_EQ(seen, c.rows);
        EXPECT_EQ(processed, c.processed);
        int nextFetches = 0;
        for (const auto& s : monitor.Starts) nextFetches += s == "Query.Next for up to 25 records";
        EXPECT_EQ(nextFetches, c.nextFetches);
        EXPECT_EQ(q->RowCount(), c.rows);
        QueryMonitor = nullptr;
    }
}

TEST_P(QueryFieldsTest, NumberColumnsAreTypedByPrecisionAndScale) {
    RunSql(*FSession, "create table num (a number(5), b number(10), c number(12,2), d number, e float, f number(9))");
    RunSql(*FSession, "insert into num values (12345, 1234567890, 1234.5, 7, 2.5, -9)");
    struct Case {
        int column;
        bool text;
        int type, size;
    } cases[] = {
        {0, false, otInteger, 0}, {1, false, otFloat, 0}, {2, false, otFloat, 0},
        {3, false, otFloat, 0},   {4, false, otFloat, 0}, {5, false, otInteger, 0},
        {0, true, otString, 6},   // NUMBER(5) as text: precision + 2 bytes, one for the terminator
        {2, true, otString, 14},  // NUMBER(12,2): precision + 3
        {3, true, otString, 39},  // NUMBER: 38 + 2
        {4, true, otString, 172}, // FLOAT: 38 + 3 + 132
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "column " << c.column << (c.text ? " as text" : ""));
        auto q = Select("select a, b, c, d, e, f from num");
        q->SetStringFieldsOnly(c.text);
        q->Execute();
        EXPECT_EQ(q->FieldType(c.column), c.type);
        EXPECT_EQ(q->FieldSize(c.column), c.size);
    }
    auto q = Select("select a, b, c, d, e, f from num");
    q->Execute();
    EXPECT_EQ(q->FieldAsInteger(0), 12345);
    EXPECT_EQ(q->FieldAsFloat(1), 1234567890.0);
    EXPECT_EQ(q->FieldAsFloat("C"), 1234.5);
    EXPECT_EQ(q->FieldAsInteger("c"), 1234) << "floats are truncated toward zero";
    EXPECT_EQ(q->FieldAsString(4), FloatToStr(2.5));
    EXPECT_EQ(q->FieldAsString(5), "-9");
    EXPECT_EQ(q->Field(0), Variant(int32_t(12345)));
    EXPECT_EQ(q->FieldPrecision(2), 12);
    EXPECT_EQ(q->FieldScale(2), 2);
    EXPECT_EQ(q->FieldDBType(0), 2);
}

TEST_P(QueryFieldsTest, DatesRawAndTextConversions) {
    RunSql(*FSession, "create table d (dt date, r raw(16), s varchar2(20), nul varchar2(5))");
    RunSql(*FSession,
           "insert into d values (to_date('2024-03-05', 'yyyy-mm-dd'), hextoraw('00FF10'), 'a' || chr(10) || 'b', null)");
    RunSql(*FSession, "insert into d values (to_date('2024-03-05 13:14:15', 'yyyy-mm-dd hh24:mi:ss'), null, 'x', null)");
    auto q = Select("select dt, r, s, nul from d order by dt");
    q->Execute();
    EXPECT_EQ(q->FieldType(0), otDate);
    EXPECT_EQ(q->FieldAsString(0), FormatDateTime("ddddd", EncodeDate(2024, 3, 5))) << "midnight prints the date only";
    EXPECT_EQ(q->FieldAsDate(0).Value, EncodeDate(2024, 3, 5).Value);
    EXPECT_EQ(q->FieldType(1), otString);
    EXPECT_EQ(q->FieldSize(1), 32) << "RAW(16) arrives as hexadecimal text";
    EXPECT_EQ(q->FieldAsString(1), "00FF10");
    EXPECT_EQ(q->FieldAsString(2), "a\r\nb") << "line breaks become CR LF";
    EXPECT_TRUE(q->FieldIsNull(3));
    EXPECT_EQ(q->FieldAsString(3), "");
    EXPECT_EQ(q->FieldAsInteger(3), 0);
    EXPECT_TRUE(q->Field(3).IsUnassigned());
    FSession->NullValue = nvNull;
    EXPECT_TRUE(q->Field(3).IsNull());
    q->Next();
    const TDateTime when = ComposeDateTime(EncodeDate(2024, 3, 5), EncodeTime(13, 14, 15, 0));
    EXPECT_EQ(q->FieldAsString(0), FormatDateTime("ddddd tt", when));
    EXPECT_TRUE(q->FieldIsNull(1));

    // Dates as text on request, unless the caller keeps dates.
    auto t = Select("select dt from d");
    t->SetStringFieldsOnly(true);
    t->Execute();
    EXPECT_EQ(t->FieldType(0), otString);
    auto k = Select("select dt from d");
    k->SetStringFieldsOnly(true);
    k->SetNoDateStringFields(true);
    k->Execute();
    EXPECT_EQ(k->FieldType(0), otDate);
}

TEST_P(QueryFieldsTest, AccessorsRefuseBadFieldsEofAndImpossibleConversions) {
    RunSql(*FSession, "create table e (d date, l long raw)");
    RunSql(*FSession, "insert into e values (sysdate, hextoraw('01'))");
    auto q = Select("select d, l from e");
    q->Execute();
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const EOracleError& e) {
            return "database error " + e.Message();
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { q->FieldAsString(2); }), "Field 2 does not exist");
    EXPECT_EQ(message([&] { q->FieldAsString("NOPE"); }), "Field NOPE does not exist");
    EXPECT_EQ(message([&] { q->FieldAsFloat("L"); }), "Cannot convert field L to a Float");
    EXPECT_EQ(message([&] { q->FieldAsInteger(1); }), "Cannot convert field L to an Integer");
    EXPECT_EQ(message([&] { q->FieldAsDate(1); }), "Cannot convert field L to a Date");
    EXPECT_EQ(message([&] { q->GetLongField(0, nullptr, 1, 0); }), "Field 0 is not a Long");
    EXPECT_EQ(message([&] { q->GetCursor(0); }), "Field D is not a cursor");
    EXPECT_EQ(q->FieldIndex("l"), 1);
    EXPECT_EQ(q->FieldIndex(u"d"), 0);
    EXPECT_EQ(q->FieldIndex("x"), -1);
    q->Next();
    ASSERT_TRUE(q->Eof());
    EXPECT_EQ(message([&] { q->FieldAsString(0); }), "You cannot access field data beyond Eof");
    EXPECT_EQ(message([&] { q->Field(0); }), "You cannot access field data beyond Eof");
    EXPECT_EQ(q->FieldName(1), "L") << "the columns stay readable at Eof";
}

TEST_P(QueryFieldsTest, LongValuesArriveInGrowingPieces) {
    RunSql(*FSession, "create table lg (id number(5), v long)");
    std::string value(100000, ' ');
    for (size_t i = 0; i < value.size(); ++i) value[i] = char('a' + i % 26);
    {
        TOracleQuery ins;
        ins.SetSession(FSession.get());
        ins.SQL().SetText("insert into lg values (1, :v)");
        ins.DeclareAndSet("v", otLong, Variant(value));
        ins.Execute();
    }
    RunSql(*FSession, "insert into lg values (2, 'short')");
    auto q = Select("select id, v from lg order by id");
    q->Execute();
    EXPECT_EQ(q->FieldType(1), otLong);
    const std::string got = q->FieldAsString(1);
    EXPECT_EQ(got.size(), value.size());
    EXPECT_TRUE(got == value);
    if (!Oci7()) {
        std::vector<uint32_t> sizes;
        for (const auto& p : q->FieldData(1).LongPieces) sizes.push_back(p.AllocatedSize);
        EXPECT_EQ(sizes, (std::vector<uint32_t>{4096, 8192, 16384, 32768, 32768, 32768}));
        EXPECT_EQ(q->FieldData(1).LongPieces.back().ActualSize, 5792u);
    }
    // Part of the value from an offset, across piece boundaries.
    char part[10000];
    EXPECT_EQ(q->GetLongField(1, part, 10000, 4000), 10000);
    EXPECT_TRUE(std::string(part, 10000) == value.substr(4000, 10000));
    EXPECT_EQ(q->GetLongField(1, part, 100, 99950), 50);
    q->Next();
    ASSERT_FALSE(q->Eof()) << "a LONG column is fetched one row at a time";
    EXPECT_EQ(q->FieldAsString(1), "short");
    EXPECT_EQ(q->RowCount(), 2);
    q->Next();
    EXPECT_TRUE(q->Eof());
}

TEST_P(QueryFieldsTest, AnOptimizedReexecutionReusesTheColumnsAndFetchesItsFirstBlock) {
    RunSql(*FSession, "create table n (v number(5))");
    RunSql(*FSession, "insert into n select level from dual connect by level <= 40");
    DisableOptimize = false;
    auto q = Select("select v from n where v > :m order by v");
    q->SetReadBuffer(10);
    q->DeclareVariable("m", otInteger);
    for (int from : {0, 25, 38, 40}) {
        SCOPED_TRACE(from);
        q->SetVariable("m", Variant(int32_t(from)));
        q->Execute();
        int expected = from;
        while (!q->Eof()) {
            EXPECT_EQ(q->FieldAsInteger(0), ++expected);
            q->Next();
        }
        EXPECT_EQ(expected, 40);
        EXPECT_EQ(q->RowsProcessed(), 40 - from);
    }
    DisableOptimize = true;
}

TEST_P(QueryFieldsTest, DescribeGivesTheColumnsWithoutRows) {
    RunSql(*FSession, "create table dsc (a number(5) not null, b varchar2(7))");
    RunSql(*FSession, "insert into dsc values (1, 'x')");
    for (bool full : {false, true}) {
        auto q = Select("select a, b from dsc");
        if (full)
            q->DescribeFull();
        else
            q->Describe();
        EXPECT_TRUE(q->Eof());
        ASSERT_EQ(q->FieldCount(), 2);
        EXPECT_EQ(q->FieldName(1), "B");
        EXPECT_EQ(q->FieldSize(1), 7);
        EXPECT_FALSE(q->FieldOptional(0));
        EXPECT_TRUE(q->FieldOptional(1));
        EXPECT_EQ(q->FieldTypeName(1), "VARCHAR2");
    }
}

TEST_P(QueryFieldsTest, ScrollingMovesOverTheResult) {
    RunSql(*FSession, "create table sc (v number(5))");
    RunSql(*FSession, "insert into sc select level from dual connect by level <= 30");
    auto q = Select("select v from sc order by v");
    q->SetReadBuffer(10);
    q->Scrollable = true;
    q->Execute();
    if (Oci7()) {
        try {
            q->Last();
            FAIL() << "scrolled in OCI7 mode";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "TOracleQuery.Last only possible on Oracle Net 9.0 and later.");
        }
        return;
    }
    EXPECT_EQ(q->ScrollPosition(), 1);
    q->Last();
    EXPECT_EQ(q->FieldAsInteger(0), 30);
    EXPECT_EQ(q->ScrollPosition(), 30);
    q->Prior();
    EXPECT_EQ(q->FieldAsInteger(0), 29);
    q->MoveTo(5);
    EXPECT_EQ(q->FieldAsInteger(0), 5);
    EXPECT_EQ(q->MoveBy(3), 3);
    EXPECT_EQ(q->FieldAsInteger(0), 8);
    q->First();
    EXPECT_EQ(q->FieldAsInteger(0), 1);
    q->MoveTo(0);
    EXPECT_TRUE(q->Eof());

    auto plain = Select("select v from sc");
    plain->Execute();
    try {
        plain->First();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TOracleQuery.First only possible if Scrollable = True.");
    }
}

TEST_P(QueryFieldsTest, DebugShowsTheStatementAndItsVariables) {
    platform::HeadlessUIServices ui;
    platform::IUIServices* previous = platform::SetUIServices(&ui);
    auto q = Select("select :x from dual");
    q->Debug = true;
    q->DeclareAndSet("x", otInteger, Variant(int32_t(5)));
    q->Execute();
    platform::SetUIServices(previous);
    const auto shown = ui.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "select :x from dual\r\n\r:X = 5");

    int hooked = 0;
    QueryDebugHook = [&](TOracleQuery&) { ++hooked; };
    q->Execute();
    QueryDebugHook = nullptr;
    EXPECT_EQ(hooked, 1);
}

TEST_P(QueryFieldsTest, LobColumnsNeedOCI8Mode) {
    if (!Oci7()) GTEST_SKIP() << "LOB columns in OCI8 mode come with the LOB locators";
    RunSql(*FSession, "create table c (id number(5), c clob)");
    RunSql(*FSession, "insert into c values (1, 'x')");
    auto q = Select("select id, c from c");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            q->Execute();
            FAIL() << "a LOB column in OCI7 mode";
        } catch (const EOracleError& e) {
            FAIL() << e.Message();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "A query with LOB's requires OCI8 mode, but OCI7 mode is used.");
        }
        EXPECT_EQ(q->State(), qsIdle);
    }
}

TEST_P(QueryFieldsTest, TextOfTheUtf8DatabaseIsDecoded) {
    RunSql(*FSession, "create table u (s varchar2(20), n nvarchar2(5))");
    RunSql(*FSession, "insert into u values ('caf\xC3\xA9' || chr(13) || chr(10) || 'x', n'ab')");
    auto q = Select("select s, n from u");
    q->Execute();
    EXPECT_EQ(q->FieldAsString(0), "caf\xC3\xA9\r\nx");
    if (Oci7()) return;   // an OCI7 cursor describes no character sets: the text is the client's bytes
    EXPECT_TRUE(q->FieldIsUTF8(0));
    EXPECT_EQ(q->FieldCharSetId(0), 873);
    EXPECT_EQ(q->FieldAsWideString(0), u"caf\u00e9\r\nx");
    EXPECT_EQ(q->Field(0), Variant(std::u16string(u"caf\u00e9\r\nx"))) << "text of a UTF-8 column is UTF-16";
    // The national column: UTF-16, two bytes per character and one more for the terminator.
    EXPECT_TRUE(q->FieldIsUTF16(1));
    EXPECT_TRUE(q->FieldIsNChar(1));
    EXPECT_EQ(q->FieldSize(1), 11);
    EXPECT_EQ(q->FieldTypeName(1), "NVARCHAR2");
}

TEST_P(QueryFieldsTest, TimestampsGoInAndOutThroughDescriptors) {
    RunSql(*FSession, "create table ts (id number(5), t timestamp)");
    const TDateTime when = ComposeDateTime(EncodeDate(2024, 5, 6), EncodeTime(7, 8, 9, 250));
    TOracleQuery ins;
    ins.SetSession(FSession.get());
    ins.SQL().SetText("insert into ts values (:id, :t)");
    ins.DeclareAndSet("id", otInteger, Variant(int32_t(1)));
    ins.DeclareAndSet("t", otTimestamp, Variant(when));
    if (Oci7()) {
        try {
            ins.Execute();
            FAIL() << "a timestamp variable in OCI7 mode";
        } catch (const EOracleError& e) {
            FAIL() << e.Message();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "A Timestamp variable requires OCI8 mode, but OCI7 mode is used.");
        }
        return;
    }
    ins.Execute();
    ins.SetVariable("id", Variant(int32_t(2)));
    ins.SetVariable("t", Variant::Null());
    ins.Execute();

    auto q = Select("select t from ts order by id");
    q->Execute();
    EXPECT_EQ(q->FieldType(0), otTimestamp);
    EXPECT_DOUBLE_EQ(q->FieldAsDate(0).Value, when.Value);
    TOracleTimestamp* ts = q->TimestampField(0);
    EXPECT_FALSE(ts->IsNull());
    EXPECT_EQ(ts->NanoSeconds(), 250000000u);
    EXPECT_EQ(ts->Hour(), 7);
    q->Next();
    EXPECT_TRUE(q->FieldIsNull(0));
    EXPECT_TRUE(q->TimestampField(0)->IsNull()) << "the column's timestamp shows the current row";

    // An out variable given no timestamp object comes back as a date-time.
    TOracleQuery block;
    block.SetSession(FSession.get());
    block.SQL().SetText("begin :o := to_timestamp('2020-01-02 03:04:05', 'yyyy-mm-dd hh24:mi:ss'); end;");
    block.DeclareVariable("o", otTimestamp);
    block.Execute();
    EXPECT_DOUBLE_EQ(block.GetVariable("o").ToDateTime().Value,
                     ComposeDateTime(EncodeDate(2020, 1, 2), EncodeTime(3, 4, 5, 0)).Value);
}

// A CURSOR(...) column gives every row a query of its own that fetches without parsing.
TEST_P(QueryFieldsTest, NestedCursorColumnsOpenAsQueries) {
    if (Oci7()) GTEST_SKIP() << "cursor columns are an OCI8 feature";
    RunSql(*FSession, "create table d (id number(3), name varchar2(10))");
    RunSql(*FSession, "create table e (dept number(3), name varchar2(10))");
    RunSql(*FSession, "insert into d values (1, 'one')");
    RunSql(*FSession, "insert into d values (2, 'two')");
    RunSql(*FSession, "insert into e values (1, 'ann')");
    RunSql(*FSession, "insert into e values (1, 'bob')");
    auto q = Select("select d.id, cursor(select e.name from e where e.dept = d.id order by e.name) staff "
                    "from d order by d.id");
    q->Execute();
    EXPECT_EQ(q->FieldType(1), otCursor);
    std::vector<std::vector<std::string>> staff;
    while (!q->Eof()) {
        std::unique_ptr<TOracleQuery> nested = q->GetCursor(1);
        EXPECT_EQ(nested->Name(), "NestedCursorQuery");
        nested->Execute();
        std::vector<std::string> names;
        for (; !nested->Eof(); nested->Next()) names.push_back(nested->FieldAsString(0));
        staff.push_back(names);
        q->Next();
    }
    EXPECT_EQ(staff, (std::vector<std::vector<std::string>>{{"ann", "bob"}, {}}));
    q->Execute();
    try {
        q->GetCursor(0);
        ADD_FAILURE() << "a number column opened as a cursor";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Field ID is not a cursor");
    }
}

// A complex variable is cleared with a plain nullptr, as with a typed null pointer.
TEST(QueryComplexVariables, NullptrClearsTheObject) {
    TOracleQuery q, cursor;
    q.DeclareVariable("c", otCursor);
    q.SetComplexVariable("c", &cursor);
    EXPECT_EQ(q.GetComplexVariable("c"), static_cast<void*>(&cursor));
    q.SetComplexVariable("c", nullptr);
    EXPECT_EQ(q.GetComplexVariable("c"), nullptr);
}

} // namespace
