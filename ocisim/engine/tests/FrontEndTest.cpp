// Parse errors with their offsets, bind placeholders, statement types and describe details.
#include "ocisim/engine/tests/EngineTestSupport.h"
#include "ocisim/engine/internal/PlSql.h"
#include "ocisim/engine/internal/Runtime.h"

#include <filesystem>

namespace ocisim::test {
namespace {

using FrontEndTest = EngineTest;

TEST_F(FrontEndTest, ErrorsCarryTheOffsetOfTheOffendingToken) {
    struct { const char* sql; int code; int offset; } cases[] = {
        {"selec * from emp", 900, 0},
        {"select * from nosuch", 942, 14},
        {"select nosuch from emp", 904, 7},
        {"select ename emp", 923, 16},
        {"select ename from emp where", 936, 27},
        {"select ename from emp where (sal > 1", 907, 36},
        {"select 'abc from dual", 1756, 7},
        {"select ename from emp order", 924, 27},
        {"select ename from emp x y", 933, 24},
        {"select ename, from emp", 936, 14},
        {"select e.nosuch from emp e", 904, 7},
        {"insert into emp (empno) values (1, 2)", 913, -1},
        {"update emp set", 921, 14},
        {"select # from dual", 911, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        std::string text;
        int offset = -2;
        EXPECT_EQ(ErrorOf(*scott_, c.sql, &text, &offset), c.code) << text;
        if (c.offset >= 0) EXPECT_EQ(offset, c.offset) << text;
    }
    std::string text;
    ErrorOf(*scott_, "select nosuch from emp", &text);
    EXPECT_EQ(text, "ORA-00904: \"NOSUCH\": invalid identifier");
}

// Blocks, statements and expressions nested past what the interpreter allows are refused as a
// compilation error instead of running the parser or the interpreter out of stack.
TEST_F(FrontEndTest, DeeplyNestedPlSqlIsACompilationError) {
    auto nested = [](const std::string& open, const std::string& inner, const std::string& close, int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += open;
        text += inner;
        for (int i = 0; i < n; ++i) text += close;
        return text;
    };
    EXPECT_EQ(ErrorOf(*scott_, nested("begin ", "null;", " end;", 100)), 0);
    EXPECT_EQ(ErrorOf(*scott_, "declare x number; begin x := " + nested("(", "1", ")", 100) + "; end;"), 0);
    for (const std::string& sql : {nested("begin ", "null;", " end;", 100000),
                                   "declare x number; begin x := " + nested("(", "1", ")", 100000) + "; end;",
                                   "declare x number; begin x := " + nested("- ", "1", "", 100000) + "; end;",
                                   "begin " + nested("if 1 = 1 then ", "null;", " end if;", 100000) + " end;"}) {
        std::string text;
        EXPECT_EQ(ErrorOf(*scott_, sql, &text), 6550) << text.substr(0, 200);
        EXPECT_NE(text.find("PLS-00123"), std::string::npos) << text.substr(0, 200);
    }
}

TEST_F(FrontEndTest, StatementTypesPlaceholdersAndReturning) {
    auto st = scott_->Prepare("insert into dept values (:1, :name, :1) returning rowid, deptno into :rid, :d");
    EXPECT_EQ(st->Type(), StatementType::Insert);
    EXPECT_EQ(st->SqlFunctionCode(), 3);
    ASSERT_EQ(st->BindNames(), (std::vector<std::string>{"1", "NAME", "1", "RID", "D"}));
    EXPECT_EQ(st->Placeholders()[1].Offset, 29u);
    st->Execute(Binds({"#55", "HR", "LA", "", ""}));
    ASSERT_EQ(st->OutValues(3).size(), 1u);
    EXPECT_EQ(st->OutValues(3)[0].bytes.size(), 18u);
    EXPECT_EQ(st->OutValues(3)[0].bytes, st->LastRowId());
    EXPECT_EQ(Show(st->OutValues(4)[0].Ref()), "55");
    EXPECT_EQ(Query(*scott_, "select loc from dept where rowid = :r", {st->LastRowId()}), (Rows{{"LA"}}));

    auto upd = scott_->Prepare("update emp set sal = sal + 1 where deptno = :d returning empno into :e");
    upd->Execute(Binds({"#10", ""}));
    EXPECT_EQ(upd->RowsProcessed(), 3u);
    EXPECT_EQ(upd->OutValues(1).size(), 3u);

    auto block = scott_->Prepare("begin :a := :b + :a; end;");
    EXPECT_EQ(block->Type(), StatementType::Begin);
    EXPECT_EQ(block->BindNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(scott_->Prepare("declare x number; begin null; end;")->Type(), StatementType::Declare);
    auto proc = scott_->Prepare("create or replace procedure p is begin null; end;");
    EXPECT_EQ(proc->Type(), StatementType::Create);
    EXPECT_EQ(proc->SqlFunctionCode(), 24);
    // OCI's SQL function codes for transaction control, which differ from V$SQLCOMMAND's numbers
    for (const auto& [sql, code] : std::vector<std::pair<const char*, int>>{
             {"commit", 54}, {"rollback", 55}, {"savepoint s1", 56}, {"alter system kill session '1,1'", 32},
             {"set transaction read only", 33}, {"alter session set nls_date_format = 'DD.MM.YYYY'", 52}})
        EXPECT_EQ(scott_->Prepare(sql)->SqlFunctionCode(), code) << sql;
    proc->Execute(Binds({}));   // the built-in interpreter stores the unit
    EXPECT_FALSE(proc->CompiledWithErrors());
}

TEST_F(FrontEndTest, DescribeReportsCharacterSetsAndSizes) {
    auto probe = scott_->Prepare("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2, 'c' c1 from dual");
    const auto& c = probe->Columns();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].Name, "L4");
    EXPECT_EQ(c[3].DataType, OraType::Char);
    EXPECT_EQ(c[3].CharsetId, 873);
    EXPECT_EQ(c[3].CharsetForm, 1);
    auto n = scott_->Prepare("select lengthb(nchr(20)), nchr(20) from dual");
    EXPECT_EQ(n->Columns()[1].CharsetId, 2000);
    EXPECT_EQ(n->Columns()[1].CharsetForm, 2);
    EXPECT_EQ(n->Columns()[0].Name, "LENGTHB(NCHR(20))");
    Exec(*scott_, "create table w (a varchar2(10 char), b nvarchar2(5), c char(3), d raw(4), e number(*, 2), f float)");
    auto all = scott_->Prepare("select * from w");
    const auto& w = all->Columns();
    EXPECT_EQ(w[0].ByteSize, 40u);
    EXPECT_EQ(w[0].CharSize, 10u);
    EXPECT_TRUE(w[0].CharUsed);
    EXPECT_EQ(w[1].ByteSize, 10u);
    EXPECT_EQ(w[1].CharsetForm, 2);
    EXPECT_EQ(w[2].DataType, OraType::Char);
    EXPECT_EQ(w[3].DataType, OraType::Raw);
    EXPECT_EQ(w[4].Precision, 38);
    EXPECT_EQ(w[4].Scale, 2);
    EXPECT_EQ(w[5].Precision, 126);
    EXPECT_EQ(w[5].Scale, -127);
    // the date format length probe of the library
    std::string q;
    for (int m = 1; m <= 12; ++m)
        q += (m > 1 ? "\nunion all\n" : "") + std::string("select to_char(to_date('10-") + std::to_string(m) +
             "-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual";
    Rows r = Query(*scott_, q);
    ASSERT_EQ(r.size(), 12u);
    EXPECT_EQ(r[0][0], "10-JAN-99");
    Exec(*scott_, "alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'");
    EXPECT_EQ(Query(*scott_, "select to_char(to_date('10-1-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual"), (Rows{{"1999-01-10 10:10:10"}}));
    EXPECT_EQ(scott_->NlsDateFormat(), "YYYY-MM-DD HH24:MI:SS");
    EXPECT_EQ(ErrorOf(*scott_, "alter session set nls_nonsense = 1"), 2248);
}

// A stand-in interpreter: every block counts the rows of EMP through the SQL side.
class CountingInterpreter final : public eng::PlSqlEngine {
public:
    eng::PlSqlResult Execute(const sql::Statement&, std::string_view, const std::vector<std::string>& names,
                             const BindValues&, eng::SqlRunner& sql) override {
        auto st = sql.PrepareSql("select count(*) from emp");
        st->Execute(BindValues{});
        EXPECT_TRUE(st->Fetch());
        eng::PlSqlResult r;
        r.outValues.resize(names.size());
        if (!names.empty()) r.outValues[0].push_back(Value::From(st->Column(0)));
        sql.PrepareSql("update emp set comm = 1 where empno = 7369")->Execute(BindValues{});
        return r;
    }
};

TEST_F(FrontEndTest, BlocksGoToTheRegisteredInterpreterWhichRunsSqlInTheSession) {
    CountingInterpreter interpreter;
    eng::SetPlSqlEngine(&interpreter);
    auto block = scott_->Prepare("begin :n := 0; end;");
    block->Execute(Binds({""}));
    eng::SetPlSqlEngine(nullptr);
    ASSERT_EQ(block->OutValues(0).size(), 1u);
    EXPECT_EQ(Show(block->OutValues(0)[0].Ref()), "14");
    EXPECT_TRUE(scott_->InTransaction());
    scott_->Rollback();
    EXPECT_EQ(Query(*scott_, "select comm from emp where empno = 7369"), (Rows{{"NULL"}}));
    EXPECT_EQ(ErrorOf(*scott_, "begin null; end;"), 0);   // back to the built-in interpreter
}

TEST(RowIds, TextRoundTripsWithSixteenBitRowsAndThirtyTwoBitBlocks) {
    for (int64_t row : {int64_t{1}, int64_t{65535}, int64_t{65536}, int64_t{1} << 40, (int64_t{1} << 50) + 7}) {
        std::string text = rt::RowIdText(51234, row);
        ASSERT_EQ(text.size(), 18u);
        int64_t obj = 0, back = 0;
        ASSERT_TRUE(rt::ParseRowId(text, obj, back)) << text;
        EXPECT_EQ(obj, 51234);
        EXPECT_EQ(back, row);
        // the row-in-block part (last three digits) stays below 65536
        int64_t o2, r2;
        std::string tooBig = text.substr(0, 15) + "///";
        EXPECT_FALSE(rt::ParseRowId(tooBig, o2, r2));
    }
    int64_t o, r;
    EXPECT_FALSE(rt::ParseRowId("not a rowid", o, r));
}

TEST(Settings, SingleByteDatabaseAndOldServerVersion) {
    char tmpl[] = "/tmp/ocisim-settings-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    {
        DatabaseSettings s;
        s.CharacterSet = "WE8MSWIN1252";
        s.ServerVersion = "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production";
        auto db = Database::Open(dir, s);
        EXPECT_EQ(db->CharsetId(), 178);
        auto scott = db->Logon("SCOTT", "TIGER");
        EXPECT_EQ(Query(*scott, "select length(chr(2000000000)), length(chr(2000000)), length(chr(20000)) from dual"), (Rows{{"1", "1", "1"}}));
        EXPECT_EQ(scott->Prepare("select 'c' from dual")->Columns()[0].CharsetId, 178);
        EXPECT_EQ(Query(*scott, "select * from v$version where rownum = 1"), (Rows{{"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production"}}));
        EXPECT_EQ(Query(*scott, "select value from nls_database_parameters where parameter = 'NLS_RDBMS_VERSION'"), (Rows{{"8.1.7.0.0"}}));
    }
    EXPECT_EQ(Database::Open(dir)->CharsetId(), 178);
    std::filesystem::remove_all(dir);
}

TEST_F(FrontEndTest, UsersPasswordsAndExpiry) {
    auto system = Logon("SYSTEM", "MANAGER");
    Exec(*system, "create user app identified by secret");
    Exec(*system, "grant connect, resource to app");
    auto app = Logon("APP", "secret");
    EXPECT_EQ(app->UserName(), "APP");
    Exec(*app, "create table a (x number)");
    EXPECT_EQ(ErrorOf(*scott_, "select * from app.a"), 942);
    EXPECT_EQ(Query(*scott_, "select count(*) from all_tables where owner = 'APP'"), (Rows{{"0"}}));
    EXPECT_EQ(ErrorOf(*scott_, "select count(*) from dba_tables"), 942);
    Exec(*app, "grant select on a to scott");
    EXPECT_EQ(ErrorOf(*scott_, "select * from app.a"), 0);
    EXPECT_EQ(Query(*scott_, "select table_name from all_tables where owner = 'APP'"), (Rows{{"A"}}));
    EXPECT_EQ(Query(*system, "select count(*) from dba_tables where owner = 'APP'"), (Rows{{"1"}}));
    Exec(*system, "alter user app password expire");
    try {
        Logon("APP", "secret");
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 28001);
    }
    auto changed = db_->LogonChangingPassword("APP", "secret", "better");
    EXPECT_EQ(changed->UserName(), "APP");
    EXPECT_NO_THROW(Logon("APP", "better"));
    Exec(*system, "alter user app account lock");
    try {
        Logon("APP", "better");
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 28000);
    }
    try {
        scott_->ChangePassword("wrong", "x");
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 28008);
    }
    db_->SetAccountStatus("scott", "EXPIRED(GRACE)");
    auto graced = Logon();
    ASSERT_NE(graced->LogonWarning(), nullptr);
    EXPECT_EQ(graced->LogonWarning()->Code, 28002);
    scott_->ChangePassword("TIGER", "LION");
    EXPECT_EQ(Logon("SCOTT", "LION")->LogonWarning(), nullptr);
    EXPECT_NO_THROW(Logon("SCOTT", "LION"));
    auto sys = db_->Logon("SYS", "CHANGE_ON_INSTALL", ConnectMode::SysDba);
    EXPECT_EQ(sys->UserName(), "SYS");
    EXPECT_EQ(Query(*sys, "select userenv('ISDBA') from dual"), (Rows{{"TRUE"}}));
    EXPECT_EQ(ErrorOf(*system, "drop user app"), 1940);
}

} // namespace
} // namespace ocisim::test
