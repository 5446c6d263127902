// Statement execution on the stand-in, in both call modes: parsing, binding, array DML with
// offsets and error continuation, results, error positions, rowids, auto-commit and closing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "oracle/query/QueryInternal.h"
#include "oracle/query/tests/QueryTestSupport.h"

using namespace quorvel;
using namespace quorvel::testing;

namespace {

class QueryExecuteTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!FDb.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        FSession = FDb.LogOn(Oci7());
        RunSql(*FSession, "create table t (id number(5) primary key, name varchar2(20) not null)");
    }
    void TearDown() override {
        FSession.reset();
        DisableOptimize = true;
    }
    bool Oci7() const { return GetParam(); }

    int Count(const std::string& where = "") {
        TOracleQuery q;
        q.SetSession(FSession.get());
        q.SQL().SetText("select count(*) from t" + where);
        q.Execute();
        return q.FieldAsInteger(0);
    }

    // A query with arrays :ID and :NAME of the given values.
    void DeclareArrays(TOracleQuery& q, const std::vector<int>& ids, const std::vector<std::string>& names) {
        VariantArray a, b;
        for (int id : ids) a.push_back(Variant(int32_t(id)));
        for (const auto& n : names) b.push_back(n.empty() ? Variant::Null() : Variant(n));
        q.DeclareVariable("id", otInteger);
        q.DeclareVariable("name", otString);
        q.SetVariable("id", Variant::Array(a));
        q.SetVariable("name", Variant::Array(b));
    }

    StandInDatabase FDb;
    std::unique_ptr<TOracleSession> FSession;
};

INSTANTIATE_TEST_SUITE_P(Modes, QueryExecuteTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("OCI7") : std::string("OCI8"); });

TEST_P(QueryExecuteTest, InsertsWithBindsSelectsThemBackAndReportsResults) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("insert into t (id, name) values (:id, :name)");
    q.DeclareAndSet("id", otInteger, Variant(int32_t(7)));
    q.DeclareAndSet("name", otString, Variant("seven"));
    q.Execute();
    EXPECT_EQ(q.RowsProcessed(), 1);
    EXPECT_EQ(q.ReturnCode(), 0);
    EXPECT_EQ(q.FunctionType(), 3) << "the function code the server reports for an insert";
    // The rowid of the inserted row, in the 18-character extended form.
    const std::string rowid = q.RowId();
    ASSERT_EQ(rowid.size(), 18u) << rowid;
    EXPECT_EQ(rowid.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
              std::string::npos);

    TOracleQuery s;
    s.SetSession(FSession.get());
    s.SQL().SetText("select id, name, rowid from t where id = :id");
    s.DeclareAndSet("id", otInteger, Variant(int32_t(7)));
    s.Execute();
    ASSERT_FALSE(s.Eof());
    EXPECT_EQ(s.FieldAsInteger(0), 7);
    EXPECT_EQ(s.FieldAsString("NAME"), "seven");
    EXPECT_EQ(s.FieldAsString(2), rowid);
    EXPECT_EQ(s.FieldSize(2), 18) << "ROWID columns get at least 19 bytes";
    EXPECT_EQ(s.FunctionType(), 4);
    s.Next();
    EXPECT_TRUE(s.Eof());
    EXPECT_EQ(s.RowsProcessed(), 1);

    // An update of no rows succeeds with no rows processed.
    TOracleQuery u;
    u.SetSession(FSession.get());
    u.SQL().SetText("update t set name = 'x' where id = 99");
    u.Execute();
    EXPECT_EQ(u.RowsProcessed(), 0);
    EXPECT_EQ(u.ReturnCode(), 0);
}

TEST_P(QueryExecuteTest, ArrayDmlRunsTheRequestedRange) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("insert into t (id, name) values (:id, :name)");
    DeclareArrays(q, {1, 2, 3}, {"a", "b", "c"});
    EXPECT_EQ(q.ExecuteArray(1, 2), 2);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Count(" where id = 1"), 0) << "element 0 lies before the range";
    DeclareArrays(q, {4, 5, 6}, {"d", "e", "f"});
    EXPECT_EQ(q.ExecuteArray(0, 3), 3);
    DeclareArrays(q, {7, 8, 9}, {"g", "h", "i"});
    q.Execute();
    EXPECT_EQ(q.RowsProcessed(), 3) << "Execute runs every element";
    EXPECT_EQ(Count(), 8);
    // A range beyond the arrays ends with them.
    DeclareArrays(q, {10, 11, 12}, {"j", "k", "l"});
    EXPECT_EQ(q.ExecuteArray(1, 10), 2);
    EXPECT_EQ(q.ExecuteArray(5, 2), 0);
    EXPECT_EQ(Count(), 10);
}

TEST_P(QueryExecuteTest, ArrayErrorsAreReportedPerRowAndExecutionContinues) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("insert into t (id, name) values (:id, :name)");
    // Row 1 has no name and rows 3 and 4 repeat a key: each fails on its own.
    DeclareArrays(q, {1, 2, 3, 1, 3}, {"a", "", "c", "d", "e"});
    std::vector<std::pair<int, int>> errors;
    q.OnArrayError = [&](TOracleQuery&, int index, int code, const std::string&, bool& goOn) {
        errors.emplace_back(index, code);
        EXPECT_TRUE(goOn);
    };
    EXPECT_EQ(q.ExecuteArray(-1, -1), 2);
    EXPECT_EQ(errors, (std::vector<std::pair<int, int>>{{1, 1400}, {3, 1}, {4, 1}}));
    EXPECT_EQ(Count(), 2);

    // A handler that stops ends the run at the first failure.
    RunSql(*FSession, "delete from t");
    errors.clear();
    q.OnArrayError = [&](TOracleQuery&, int index, int code, const std::string&, bool& goOn) {
        errors.emplace_back(index, code);
        goOn = false;
    };
    DeclareArrays(q, {1, 2, 3, 4, 5}, {"a", "", "c", "d", "e"});
    EXPECT_EQ(q.ExecuteArray(-1, -1), 1);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(Count(), 1);

    // Without a handler Execute raises; an explicit range stops quietly.
    q.OnArrayError = nullptr;
    RunSql(*FSession, "delete from t");
    DeclareArrays(q, {1, 2, 3}, {"a", "", "c"});
    EXPECT_THROW(q.Execute(), EOracleError);
    EXPECT_EQ(q.ExecuteArray(0, 3), 0) << "row 0 exists already, so the range stops at once";
    EXPECT_EQ(Count(), 1);
}

TEST_P(QueryExecuteTest, MismatchedArraysAreRefused) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("insert into t (id, name) values (:id, :name)");
    DeclareArrays(q, {1, 2, 3}, {"a", "b"});
    try {
        q.Execute();
        FAIL() << "no error";
    } catch (const EOracleError&) {
        FAIL() << "a database error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "All arrays must be of equal size for Array DML");
    }
    EXPECT_EQ(q.State(), qsIdle);
}

TEST_P(QueryExecuteTest, ErrorsCarryTheLineAndPositionInTheParsedText) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("select id\r\n  from nosuchtable\r\n");
    try {
        q.Execute();
        FAIL() << "no error";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 942);
    }
    EXPECT_EQ(q.ErrorLine(), 2);
    EXPECT_EQ(q.ErrorPosition(), 8);
    EXPECT_TRUE(q.ParsedSQL().empty()) << "a failed execution parses again next time";
    EXPECT_EQ(q.State(), qsIdle);

    // An empty statement goes to the server as a single space and fails there.
    TOracleQuery empty;
    empty.SetSession(FSession.get());
    EXPECT_THROW(empty.Execute(), EOracleError);
}

TEST(QueryErrorPosition, OffsetsBecomeLinesAndColumns) {
    struct Case {
        const char* text;
        int offset, line, position;
    } cases[] = {
        {"select\n1 fro dual", 11, 2, 5}, // the fifth byte of the second line
        {"select 1", 0, 1, 1},
        {"select 1", 99, 1, 9},           // clamped to the text
        {"a\n\nb", 3, 3, 1},
    };
    for (const auto& c : cases) {
        int line = 0, position = 0;
        QueryInternal::ErrorPositionIn(c.text, c.offset, line, position);
        EXPECT_EQ(line, c.line) << c.text << " @" << c.offset;
        EXPECT_EQ(position, c.position) << c.text << " @" << c.offset;
    }
}

TEST(QueryRowId, TextFromTheFourNumbers) {
    EXPECT_EQ(RowIdText(0, 2, 0x1234, 5), "00001234.0005.0002");
    EXPECT_EQ(RowIdText(1, 1, 1, 1), "AAAAABAABAAAAABAAB");
    EXPECT_EQ(RowIdText(0x3FFFFFFF, 4095, 0x3FFFFFFF, 4095).size(), 18u);
    EXPECT_EQ(RowIdText(64, 64, 64, 64), "AAAABAABAAAAABAABA");
}

TEST_P(QueryExecuteTest, AutoCommitCommitsDmlButNotASelect) {
    RunSql(*FSession, "insert into t (id, name) values (1, 'a')");
    FSession->Commit();
    auto other = FDb.LogOn(Oci7());
    FSession->SetAutoCommit(true);

    // A locking select leaves its locks: it was not committed on success. (An OCI7 connection
    // commits on the server after every statement once auto-commit is on.)
    if (!Oci7()) {
        TOracleQuery lock;
        lock.SetSession(FSession.get());
        lock.SQL().SetText("select id from t for update");
        lock.Execute();
        try {
            RunSql(*other, "select id from t for update nowait");
            other->Rollback();
            ADD_FAILURE() << "the row is not locked";
        } catch (const EOracleError& e) {
            EXPECT_EQ(e.ErrorCode(), 54);
        }
        FSession->Rollback();
    }

    // An update is committed with its execution: the other session sees it at once.
    RunSql(*FSession, "update t set name = 'b'");
    TOracleQuery seen;
    seen.SetSession(other.get());
    seen.SQL().SetText("select name from t");
    seen.Execute();
    EXPECT_EQ(seen.FieldAsString(0), "b");
}

TEST_P(QueryExecuteTest, StatementsAreClosedAfterUseUnlessOptimized) {
    TOracleQuery q;
    q.SetSession(FSession.get());
    q.SQL().SetText("insert into t (id, name) values (:id, 'x')");
    q.DeclareAndSet("id", otInteger, Variant(int32_t(1)));
    q.Execute();
    EXPECT_FALSE(q.Opened()) << "DisableOptimize closes statements after use";

    DisableOptimize = false;
    q.SetVariable("id", Variant(int32_t(2)));
    q.Execute();
    EXPECT_TRUE(q.Opened());
    const std::string parsed = q.ParsedSQL();
    q.SetVariable("id", Variant(int32_t(3)));
    q.Execute();
    EXPECT_EQ(q.ParsedSQL(), parsed);
    EXPECT_EQ(Count(), 3);

    // A select stays open until its last row.
    TOracleQuery s;
    s.SetSession(FSession.get());
    s.SetOptimize(false);
    s.SQL().SetText("select id from t order by id");
    s.Execute();
    EXPECT_TRUE(s.Opened());
    int rows = 0;
    while (!s.Eof()) {
        ++rows;
        s.Next();
    }
    EXPECT_EQ(rows, 3);
    EXPECT_FALSE(s.Opened());
    EXPECT_EQ(s.FieldCount(), 1) << "the columns stay described after closing";
    s.Close();
    EXPECT_EQ(s.FieldCount(), 0);
}

TEST_P(QueryExecuteTest, MissingSessionAndLogoffAreRefused) {
    TOracleQuery q;
    q.SQL().SetText("select 1 from dual");
    try {
        q.Execute();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Session undefined");
    }
    q.SetSession(FSession.get());
    FSession->LogOff();
    try {
        q.Execute();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Not logged on");
    }
}

TEST_P(QueryExecuteTest, CallbacksAndSubstitution) {
    RunSql(*FSession, "insert into t (id, name) values (1, 'a')");
    TOracleQuery q;
    q.SetSession(FSession.get());
    std::vector<std::string> calls;
    q.BeforeQuery = [&](TOracleQuery& s) { calls.push_back(s.State() == qsExecuting ? "before" : "before?"); };
    q.AfterQuery = [&](TOracleQuery&) { calls.push_back("after"); };
    q.SQL().SetText("select name from :tab where id = :id");
    q.DeclareAndSet("tab", otSubst, Variant("t"));
    q.DeclareAndSet("id", otInteger, Variant(int32_t(1)));
    EXPECT_EQ(q.SubstitutedSQL(), "select name from t where id = :id\r\n");
    q.Execute();
    EXPECT_EQ(calls, (std::vector<std::string>{"before"}));
    q.Next();
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"})) << "AfterQuery comes at Eof";
    EXPECT_EQ(q.State(), qsIdle);
}

TEST_P(QueryExecuteTest, AThreadSafeSessionLockIsFreeAfterEveryCall) {
    auto session = std::make_unique<TOracleSession>();
    session->SetThreadSafe(true);
    session->Preferences().SetUseOCI7(Oci7());
    session->SetLogonUsername("scott/tiger@" + FDb.Root() + "/db");
    session->LogOn();
    const struct {
        const char* sql;
        bool fails;
    } cases[] = {
        {"select id, name from t", false},
        {"insert into t (id, name) values (1, 'a')", false},
        {"insert into t (id, name) values (1, 'b')", true},  // the key exists
        {"select nosuchcolumn from t", true},
        {"selec 1 from dual", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(c.sql);
        bool failed = false;
        try {
            q.Execute();
            while (!q.Eof()) q.Next();
        } catch (const EOracleError&) {
            failed = true;
        }
        EXPECT_EQ(failed, c.fails);
        EXPECT_EQ(session->CriticalSection().Entered(), 0);
    }
}

TEST_P(QueryExecuteTest, QueriesFollowTheirSessionsLifecycle) {
    auto q = std::make_unique<TOracleQuery>();
    q->SetSession(FSession.get());
    EXPECT_TRUE(FSession->Queries.Contains(q.get()));
    DisableOptimize = false;
    q->SQL().SetText("select id from t");
    q->Execute();
    EXPECT_TRUE(q->Opened());
    FSession->LogOff();
    EXPECT_FALSE(q->Opened()) << "logoff closes the statements of the session";
    EXPECT_EQ(q->FieldCount(), 0);
    FSession->LogOn();
    q->Execute();
    EXPECT_TRUE(q->Opened());

    // Moving to another session closes the statement here and joins the other list.
    auto other = FDb.LogOn(Oci7());
    q->SetSession(other.get());
    EXPECT_FALSE(FSession->Queries.Contains(q.get()));
    EXPECT_TRUE(other->Queries.Contains(q.get()));
    EXPECT_FALSE(q->Opened());

    // A session destroyed first leaves its queries without a session.
    q->Execute();
    other.reset();
    EXPECT_EQ(q->Session(), nullptr);
    q.reset();
    DisableOptimize = true;
}

TEST_P(QueryExecuteTest, ACursorVariableFetchesWhatTheBlockOpened) {
    RunSql(*FSession, "insert into t (id, name) select level, 'n' || level from dual connect by level <= 30");
    TOracleQuery cursor;
    TOracleQuery block;
    block.SetSession(FSession.get());
    block.SQL().SetText("begin open :c for select id, name from t order by id; end;");
    block.DeclareVariable("c", otCursor);
    try {
        block.Execute();
        FAIL() << "a nil cursor variable was bound";
    } catch (const EOracleError& e) {
        FAIL() << e.Message();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Cursor variable :C cannot be nil");
    }
    block.SetComplexVariable("c", &cursor);
    block.Execute();
    EXPECT_TRUE(cursor.ResultSet());
    EXPECT_EQ(cursor.Session(), FSession.get());
    cursor.Execute();
    EXPECT_EQ(cursor.FunctionType(), 4);
    int rows = 0;
    while (!cursor.Eof()) {
        ++rows;
        EXPECT_EQ(cursor.FieldAsInteger(0), rows);
        EXPECT_EQ(cursor.FieldAsString("NAME"), "n" + std::to_string(rows));
        cursor.Next();
    }
    EXPECT_EQ(rows, 30);
    EXPECT_FALSE(cursor.ResultSet()) << "after its fetch the query parses its own text again";
}

} // namespace
