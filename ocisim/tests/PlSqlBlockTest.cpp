// Anonymous PL/SQL blocks through the OCI: binds, declarations, control flow, exceptions, SQL.
#include "ocisim/tests/PlSqlTestSupport.h"

using namespace ocitest;

namespace {

TEST_F(Pl, ScalarBindsInOutAndInOut) {
    OCIStmt* st = Prepare("begin :o := :i * 2; :io := :io || '!'; end;");
    sb4 in = 21, out = 0;
    sb2 outInd = -1, ioInd = 0;
    char io[16] = "hey";
    ub2 ioLen = 3;
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":i", -1, &in, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":o", -1, &out, 4, SQLT_INT, &outInd, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":io", -1, io, sizeof io, SQLT_CHR, &ioInd, &ioLen, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(out, 42);
    EXPECT_EQ(outInd, 0);
    EXPECT_EQ(std::string(io, ioLen), "hey!");
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

} // namespace

namespace {

// Blocks whose text result (:r) shows one behaviour each.
TEST_F(Pl, LanguageCases) {
    Ok("create table emp2 (id number(4) primary key, name varchar2(20), sal number(8,2))");
    Ok("insert into emp2 values (1, 'ADAMS', 1100)");
    Ok("insert into emp2 values (2, 'BLAKE', 2850)");
    Ok("insert into emp2 values (3, 'CLARK', 2450)");
    Ok("commit");
    struct Case { const char* block; const char* expected; } cases[] = {
        {"declare x constant number := 6; y number := 7; begin :r := x * y; end;", "42"},
        {"declare b boolean := 1 < 2; begin if b and not (null is not null) then :r := 'yes'; else :r := 'no'; end if; end;", "yes"},
        {"declare n number := 0; begin for i in 1..10 loop continue when mod(i, 2) = 0; n := n + i; end loop; :r := n; end;", "25"},
        {"declare n number := 0; begin for i in reverse 1..3 loop :r := :r || i; end loop; end;", "321"},
        {"declare i number := 0; begin loop i := i + 1; exit when i >= 5; end loop; while i < 8 loop i := i + 1; end loop; :r := i; end;", "8"},
        {"begin :r := case 2 when 1 then 'one' when 2 then 'two' else 'many' end; end;", "two"},
        {"declare s varchar2(10); begin case when 1 = 0 then s := 'a'; when 1 = 1 then s := 'b'; end case; :r := s; end;", "b"},
        {"declare s emp2.name%type; begin select name into s from emp2 where id = 2; :r := s; end;", "BLAKE"},
        {"declare r emp2%rowtype; begin select * into r from emp2 where id = 3; :r := r.name || ':' || r.sal; end;", "CLARK:2450"},
        {"declare type t is table of varchar2(20) index by binary_integer; a t; begin a(3) := 'c'; a(1) := 'a'; :r := a.count || a.first || a.last || a(a.next(a.first)); end;", "213c"},
        {"declare type t is table of number index by varchar2(10); a t; k varchar2(10); begin a('x') := 1; a('b') := 2; k := a.first; :r := k || a(k); end;", "b2"},
        {"declare type rec is record (a number := 5, b varchar2(5)); v rec; begin v.b := 'z'; :r := v.a || v.b; end;", "5z"},
        {"declare n number := 0; begin for e in (select sal from emp2 order by id) loop n := n + e.sal; end loop; :r := n; end;", "6400"},
        {"declare cursor c(p number) is select name from emp2 where sal > p order by name; v varchar2(20); begin open c(2000); loop fetch c into v; exit when c%notfound; :r := :r || v; end loop; :r := :r || c%rowcount; close c; end;", "BLAKECLARK2"},
        {"declare cursor c is select id, name from emp2 order by id; begin for x in c loop :r := :r || x.id; end loop; end;", "123"},
        {"begin update emp2 set sal = sal + 1 where sal > 2000; :r := sql%rowcount || case when sql%found then 'f' end; rollback; end;", "2f"},
        {"declare n number; begin select id into n from emp2 where id = 99; exception when no_data_found then :r := 'none ' || sqlcode; end;", "none 100"},
        {"declare n number; begin select id into n from emp2; exception when too_many_rows then :r := sqlerrm; end;", "ORA-01422: exact fetch returns more than requested number of rows"},
        {"begin insert into emp2 values (1, 'X', 1); exception when dup_val_on_index then :r := sqlcode; end;", "-1"},
        {"declare n number; begin n := 1 / 0; exception when zero_divide then :r := 'zd'; end;", "zd"},
        {"declare s varchar2(2); begin s := 'abc'; exception when value_error then :r := sqlerrm; end;", "ORA-06502: PL/SQL: numeric or value error: character string buffer too small"},
        {"declare n number; begin n := to_number('x1'); exception when invalid_number or value_error then :r := 'bad'; end;", "bad"},
        {"declare e exception; begin raise e; exception when e then :r := sqlcode || ' ' || sqlerrm; end;", "1 User-Defined Exception"},
        {"declare e exception; pragma exception_init(e, -20042); begin raise_application_error(-20042, 'custom'); exception when e then :r := sqlerrm; end;", "ORA-20042: custom"},
        {"begin begin raise_application_error(-20001, 'inner'); exception when others then raise; end; exception when others then :r := sqlcode; end;", "-20001"},
        {"declare n number; begin insert into emp2 values (7, 'NEW', 10) returning sal * 2 into n; :r := n; rollback; end;", "20"},
        {"declare n number; begin execute immediate 'select count(*) from emp2 where sal > :1' into n using 2000; :r := n; end;", "2"},
        {"begin execute immediate 'create table dyn (a number)'; execute immediate 'insert into dyn values (:x)' using 5; select a into :r from dyn; end;", "5"},
        {"declare function f(a number, b number default 10) return number is begin return a + b; end; begin :r := f(1) + f(b => 1, a => 2); end;", "14"},
        {"declare procedure p(x in out number, y out varchar2) is begin x := x * 3; y := 'y'; end; n number := 2; s varchar2(5); begin p(n, s); :r := n || s; end;", "6y"},
        {"declare function f(a number) return varchar2 is begin return 'n'; end; function f(a varchar2) return varchar2 is begin return 's'; end; begin :r := f(1) || f('x'); end;", "ns"},
        {"declare d date := to_date('2020-03-01', 'YYYY-MM-DD'); begin :r := to_char(d - 1, 'YYYY-MM-DD'); end;", "2020-02-29"},
        {"begin :r := nvl(null, 'a') || upper('b') || substr('hello', 2, 3) || length('xyz') || lpad('7', 3, '0') || round(2.567, 2); end;", "aBell30072.57"},
        {"declare type t is table of emp2%rowtype; a t; begin select * bulk collect into a from emp2 order by id; :r := a.count || a(2).name; end;", "3BLAKE"},
        {"declare n number := 0; begin <<outer>> for i in 1..3 loop for j in 1..3 loop n := n + 1; exit outer when j = 2 and i = 2; end loop; end loop; :r := n; end;", "5"},
    };
    for (const auto& c : cases) EXPECT_EQ(Out(c.block), c.expected) << c.block;
}

} // namespace

namespace {

// The blocks the data set sends for dictionary information (owner and name of a table through
// nested handlers, default values, check constraints with column binds).
TEST_F(Pl, DictionaryBlocksOfTheDataSet) {
    Ok("create table prices (id number primary key, sal number default 100, made date default sysdate, constraint sal_ck check (sal > 0))");
    Ok("create synonym prices_syn for prices");
    const char* lookup =
        "begin\n  begin\n    select user, table_name into :table_owner, :table_name\n      from sys.user_tables where table_name = :name;\n"
        "  exception when no_data_found then\n    begin\n      select user, view_name into :table_owner, :table_name\n"
        "        from sys.user_views where view_name = :name;\n    exception when no_data_found then\n      begin\n"
        "        select table_owner, table_name into :table_owner, :table_name\n          from sys.user_synonyms where synonym_name = :name;\n"
        "      exception when no_data_found then\n        begin\n          select table_owner, table_name into :table_owner, :table_name\n"
        "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;\n        exception when no_data_found then\n"
        "          :table_owner := null; :table_name := null;\n        end;\n      end;\n    end;\n  end;\nend;";
    struct Case { const char* name; const char* owner; const char* table; } cases[] = {
        {"PRICES", "SCOTT", "PRICES"}, {"PRICES_SYN", "SCOTT", "PRICES"}, {"DUAL", "SYS", "DUAL"}, {"NOTHING", "<null>", "<null>"},
    };
    for (const auto& c : cases) {
        OCIStmt* st = Prepare(lookup);
        char owner[31] = {}, table[31] = {};
        sb2 oi = 0, ti = 0;
        ub2 ol = 0, tl = 0;
        OCIBind* b = nullptr;
        OCIBindByName(st, &b, err, (const OraText*)":table_owner", -1, owner, sizeof owner, SQLT_CHR, &oi, &ol, nullptr, 0, nullptr, 0);
        OCIBindByName(st, &b, err, (const OraText*)":table_name", -1, table, sizeof table, SQLT_CHR, &ti, &tl, nullptr, 0, nullptr, 0);
        OCIBindByName(st, &b, err, (const OraText*)":name", -1, (void*)c.name, (sb4)strlen(c.name), SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << c.name << ": " << ErrText(err);
        EXPECT_EQ(oi == -1 ? std::string("<null>") : std::string(owner, ol), c.owner) << c.name;
        EXPECT_EQ(ti == -1 ? std::string("<null>") : std::string(table, tl), c.table) << c.name;
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    // default values computed on the server, and a check constraint with the column as a bind
    EXPECT_EQ(Out("declare sal number; begin sal := 100; :r := sal; end;"), "100");
    OCIStmt* st = Prepare("begin\n  :SAL := 100;\n  :MADE := sysdate;\nend;");
    sb4 sal = 0;
    char made[32];
    ub2 ml = 0;
    OCIBind* b = nullptr;
    OCIBindByName(st, &b, err, (const OraText*)":SAL", -1, &sal, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
    OCIBindByName(st, &b, err, (const OraText*)":MADE", -1, made, sizeof made, SQLT_CHR, nullptr, &ml, nullptr, 0, nullptr, 0);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(sal, 100);
    EXPECT_GT(ml, 0);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    for (sb4 value : {5, -5}) {
        st = Prepare("begin\n  if not (:SAL > 0) then\n    :error := 2290;\n  else\n    :error := 0;\n  end if;\nend;");
        sb4 error = -1;
        OCIBindByName(st, &b, err, (const OraText*)":SAL", -1, &value, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
        OCIBindByName(st, &b, err, (const OraText*)":error", -1, &error, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
        EXPECT_EQ(error, value > 0 ? 0 : 2290);
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
}

// Compilation errors of an anonymous block come back as ORA-06550 with line and column.
TEST_F(Pl, BlockCompilationErrors) {
    struct Case { const char* block; const char* expected; } cases[] = {
        {"begin\n  nosuch(1);\nend;", "ORA-06550: line 2, column 3:\nPLS-00201: identifier 'NOSUCH' must be declared\nORA-06550: line 2, column 3:\nPL/SQL: Statement ignored"},
        {"begin\n  x := 1;\nend;", "ORA-06550: line 2, column 3:\nPLS-00201: identifier 'X' must be declared\nORA-06550: line 2, column 3:\nPL/SQL: Statement ignored"},
        {"begin if 1 = 1 then null; end;", "ORA-06550: line 1, column 30:\nPLS-00103: Encountered the symbol \";\" when expecting one of the following:\n\n   if"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.block), OCI_ERROR) << c.block;
        EXPECT_EQ(lastCode, 6550);
        EXPECT_EQ(lastError, c.expected) << c.block;
    }
}

} // namespace
