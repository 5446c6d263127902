// Stored program units through the OCI: procedures, functions, packages with session state,
// triggers, object type methods, errors with their call stacks, ALTER ... COMPILE and DROP; LOBs
// of rows changed through PL/SQL variables.
#include "ocisim/tests/PlSqlTestSupport.h"

using namespace ocitest;

namespace {

TEST_F(Pl, PackageStateDefaultsNamedNotationAndOverloading) {
    Ok("create or replace package counter as\n"
       "  calls number := 0;\n"
       "  started varchar2(10);\n"
       "  function next(step number default 1) return number;\n"
       "  function describe(v number) return varchar2;\n"
       "  function describe(v varchar2) return varchar2;\n"
       "  procedure reset(to_value in number := 0, note out varchar2);\n"
       "end counter;");
    Ok("create or replace package body counter as\n"
       "  hidden number := 100;\n"
       "  function next(step number default 1) return number is\n"
       "  begin\n"
       "    calls := calls + step;\n"
       "    return calls + hidden;\n"
       "  end;\n"
       "  function describe(v number) return varchar2 is begin return 'number ' || v; end;\n"
       "  function describe(v varchar2) return varchar2 is begin return 'text ' || v; end;\n"
       "  procedure reset(to_value in number := 0, note out varchar2) is\n"
       "  begin\n"
       "    calls := to_value;\n"
       "    note := 'reset to ' || to_value;\n"
       "  end;\n"
       "begin\n"
       "  started := 'yes';\n"
       "end counter;");
    EXPECT_EQ(Out("begin :r := counter.next; end;"), "101");
    EXPECT_EQ(Out("begin :r := counter.next(step => 5) || '/' || counter.calls || '/' || counter.started; end;"), "106/6/yes");
    EXPECT_EQ(Out("begin :r := counter.describe(1) || ', ' || counter.describe('a'); end;"), "number 1, text a");
    EXPECT_EQ(Out("declare n varchar2(30); begin counter.reset(note => n, to_value => 40); :r := n || ' ' || counter.calls; end;"), "reset to 40 40");
    // other DDL leaves the state alone
    Ok("create table unrelated (n number)");
    EXPECT_EQ(Out("begin :r := counter.calls; end;"), "40");
    // a function of the package in SQL, and its state kept for this session only
    EXPECT_EQ(Scalar("select counter.next(2) from dual"), "142");
    OCIError* e2 = nullptr;
    OCIHandleAlloc(env, (void**)&e2, OCI_HTYPE_ERROR, 0, nullptr);
    OCISvcCtx* other = nullptr;
    ASSERT_EQ(OCILogon(env, e2, &other, (const OraText*)"SCOTT", 5, (const OraText*)"TIGER", 5, (const OraText*)dir.c_str(), (ub4)dir.size()), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select counter.next from dual", other), "101");
    OCILogoff(other, e2);
    // the package's private names are not visible outside it
    EXPECT_EQ(Run("begin :r := counter.hidden; end;"), OCI_ERROR);
    EXPECT_EQ(Run("begin counter.reset(1, 2, 3); end;"), OCI_ERROR);
    EXPECT_NE(lastError.find("PLS-00306: wrong number or types of arguments in call to 'RESET'"), std::string::npos) << lastError;
}

TEST_F(Pl, StandaloneUnitsAlterCompileAndDrop) {
    Ok("create table log_t (msg varchar2(100))");
    Ok("create or replace function twice(n number) return number is begin return n * 2; end;");
    Ok("create or replace procedure note(m varchar2) as v number := twice(21); begin insert into log_t values (m || ':' || v); end note;");
    Ok("begin note('a'); note(m => 'b'); end;");
    Ok("call note('c')");
    EXPECT_EQ(Scalar("select count(*) || max(msg) from log_t"), "3c:42");
    EXPECT_EQ(Scalar("select twice(4) + 1 from dual"), "9");
    Ok("alter procedure note compile");
    EXPECT_EQ(Scalar("select status from user_objects where object_name = 'NOTE'"), "VALID");
    // dropping the function leaves the procedure that calls it invalid on recompilation
    Ok("drop function twice");
    EXPECT_EQ(Scalar("select count(*) from user_source where name = 'TWICE'"), "0");
    OCIStmt* st = Prepare("alter procedure note compile");
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select status from user_objects where object_name = 'NOTE'"), "INVALID");
    EXPECT_EQ(Run("drop procedure no_such_proc"), OCI_ERROR);
    EXPECT_EQ(lastCode, 4043);
    Ok("drop procedure note");
    EXPECT_EQ(Scalar("select count(*) from user_objects where object_name = 'NOTE'"), "0");
    // CREATE without OR REPLACE of an existing name
    Ok("create procedure p1 is begin null; end;");
    EXPECT_EQ(Run("create procedure p1 is begin null; end;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 955);
}

TEST_F(Pl, ApplicationErrorsCarryTheCallStack) {
    Ok("create or replace procedure check_price(p number) is\nbegin\n  if p < 0 then\n    raise_application_error(-20001, 'A price cannot fall below zero');\n  end if;\nend;");
    Ok("create or replace procedure set_price(p number) is\nbegin\n  check_price(p);\nend;");
    EXPECT_EQ(Run("begin\n  set_price(-1);\nend;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 20001);
    EXPECT_EQ(lastError, "ORA-20001: A price cannot fall below zero\n"
                         "ORA-06512: at \"SCOTT.CHECK_PRICE\", line 4\n"
                         "ORA-06512: at \"SCOTT.SET_PRICE\", line 3\n"
                         "ORA-06512: at line 2");
    // an unhandled user exception and a SQL error inside a unit
    EXPECT_EQ(Run("declare e exception; begin raise e; end;"), OCI_ERROR);
    EXPECT_EQ(lastError, "ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 1");
    EXPECT_EQ(Run("begin insert into no_such_table values (1); end;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 942);
    // a failing block leaves none of its own changes behind; the earlier ones stay
    Ok("create table t1 (n number primary key)");
    Ok("insert into t1 values (1)");
    EXPECT_EQ(Run("begin insert into t1 values (2); insert into t1 values (1); end;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 1);
    EXPECT_EQ(Scalar("select count(*) from t1"), "1");
}

TEST_F(Pl, TriggersSeeAndChangeTheRows) {
    Ok("create sequence s1 start with 10");
    Ok("create table items (id number not null, name varchar2(20), price number, changed varchar2(60))");
    Ok("create table audit_t (what varchar2(100))");
    Ok("create or replace trigger items_bi before insert on items for each row\n"
       "begin\n  if :new.id is null then select s1.nextval into :new.id from dual; end if;\n  :new.name := upper(:new.name);\nend;");
    Ok("create or replace trigger items_au after update of price on items for each row\n"
       "when (new.price > old.price)\n"
       "begin\n  insert into audit_t values (:old.name || ' ' || :old.price || '->' || :new.price);\nend;");
    Ok("create or replace trigger items_ad after delete on items\n"
       "begin\n  insert into audit_t values ('deleted');\nend;");
    Ok("create or replace trigger items_bd before delete on items for each row\n"
       "begin\n  if :old.price > 100 then raise_application_error(-20010, 'too dear to delete'); end if;\nend;");
    Ok("create or replace trigger items_bu before update on items for each row\n"
       "begin\n  :new.changed := :old.name || '>' || :new.name;\nend;");
    Ok("insert into items (name, price) values ('nut', 5)");
    Ok("insert into items (id, name, price) select 50, 'bolt', 7 from dual");
    EXPECT_EQ(Scalar("select min(id) || ',' || max(id) || ',' || min(name) from items"), "10,50,BOLT");
    Ok("update items set price = price + 1");
    Ok("update items set price = price - 1 where id = 10");
    Ok("update items set name = 'x' where id = 10");
    EXPECT_EQ(Scalar("select count(*) from audit_t"), "2");
    EXPECT_EQ(Scalar("select changed from items where id = 10"), "NUT>x");
    // the row the triggers left is what RETURNING sees
    EXPECT_EQ(Out("begin update items set name = 'y' where id = 10 returning changed into :r; end;"), "x>y");
    EXPECT_EQ(Scalar("select min(what) from audit_t"), "BOLT 7->8");
    Ok("update items set price = 500 where id = 50");
    EXPECT_EQ(Run("delete from items"), OCI_ERROR);
    EXPECT_EQ(lastCode, 20010);
    EXPECT_NE(lastError.find("ORA-04088: error during execution of trigger 'SCOTT.ITEMS_BD'"), std::string::npos) << lastError;
    EXPECT_EQ(Scalar("select count(*) from items"), "2");
    Ok("delete from items where id = 10");
    EXPECT_EQ(Scalar("select count(*) from audit_t where what = 'deleted'"), "1");
    Ok("drop trigger items_bd");
    Ok("delete from items");
    EXPECT_EQ(Scalar("select count(*) from items"), "0");
}

TEST_F(Pl, RefCursorsAndTablesReachTheClient) {
    Ok("create table nums (n number, s varchar2(10))");
    Ok("begin for i in 1 .. 5 loop insert into nums values (i, 'n' || i); end loop; commit; end;");
    // a REF CURSOR opened into a statement handle bound with SQLT_RSET
    OCIStmt* st = Prepare("begin open :c for select n, s from nums where n > :lo order by n; end;");
    OCIStmt* cur = nullptr;
    OCIHandleAlloc(env, (void**)&cur, OCI_HTYPE_STMT, 0, nullptr);
    OCIBind* b = nullptr;
    sb4 lo = 2;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":c", -1, &cur, 0, SQLT_RSET, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":lo", -1, &lo, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    sb4 n = 0;
    char s[11];
    ub2 sl = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(cur, &d, err, 1, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIDefineByPos(cur, &d, err, 2, s, sizeof s, SQLT_CHR, nullptr, &sl, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    std::string got;
    while (OCIStmtFetch(cur, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) == OCI_SUCCESS) got += std::to_string(n) + std::string(s, sl) + " ";
    EXPECT_EQ(got, "3n3 4n4 5n5 ");
    OCIHandleFree(cur, OCI_HTYPE_STMT);
    OCIHandleFree(st, OCI_HTYPE_STMT);

    // PL/SQL tables bound as arrays: in with the current count, out with a new count
    st = Prepare("declare total number := 0; begin for i in 1 .. :ins.count loop total := total + :ins(i); end loop;"
                 " for i in 1 .. 3 loop :outs(i) := 'v' || (total + i); end loop; end;");
    sb4 ins[4] = {1, 2, 3, 4};
    ub4 inCount = 4;
    char outs[5][8] = {};
    ub2 outLens[5] = {};
    ub4 outCount = 0;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":ins", -1, ins, 4, SQLT_INT, nullptr, nullptr, nullptr, 4, &inCount, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":outs", -1, outs, 8, SQLT_CHR, nullptr, outLens, nullptr, 5, &outCount, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(outCount, 3u);
    EXPECT_EQ(std::string(outs[0], outLens[0]), "v11");
    EXPECT_EQ(std::string(outs[2], outLens[2]), "v13");
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Pl, ObjectTypeMethods) {
    Ok("create or replace type point as object (\n  x number,\n  y number,\n"
       "  member function norm2 return number,\n  member procedure move(dx number),\n  static function origin return point\n)");
    Ok("create or replace type body point as\n"
       "  member function norm2 return number is begin return x * x + y * y; end;\n"
       "  member procedure move(dx number) is begin self.x := self.x + dx; end;\n"
       "  static function origin return point is begin return point(0, 0); end;\n"
       "end;");
    EXPECT_EQ(Scalar("select count(*) from all_objects where object_name = 'POINT' and object_type = 'TYPE' and status = 'VALID'"), "1");
    EXPECT_EQ(Scalar("select count(*) from all_source where name = 'POINT' and type = 'TYPE'"), "7");
    EXPECT_EQ(Out("declare p point := point(3, 4); begin p.move(1); :r := p.norm2 || ',' || p.x; end;"), "32,4");
    EXPECT_EQ(Out("declare p point; begin p := point.origin; :r := p.norm2(); end;"), "0");
}

} // namespace

namespace {

TEST_F(Pl, ArgumentsAndTypesAreInTheDictionary) {
    Ok("create or replace package pk as\n"
       "  function f(a number, b varchar2 default 'x') return date;\n"
       "  procedure p(c in out number, d out boolean);\n"
       "  procedure p(e varchar2);\n"
       "end;");
    Ok("create or replace type pair as object (k varchar2(10), v number(5,2), member function total return number)");
    struct Case { const char* query; const char* expected; } cases[] = {
        {"select count(*) from user_arguments where package_name = 'PK'", "6"},
        {"select data_type || '/' || in_out || '/' || position from user_arguments where package_name = 'PK' and object_name = 'F' and argument_name is null", "DATE/OUT/0"},
        {"select data_type || '/' || defaulted from user_arguments where package_name = 'PK' and argument_name = 'B'", "VARCHAR2/Y"},
        {"select data_type || '/' || in_out || '/' || overload from user_arguments where argument_name = 'D'", "PL/SQL BOOLEAN/OUT/1"},
        {"select overload from user_arguments where argument_name = 'E'", "2"},
        {"select typecode || attributes || methods from user_types where type_name = 'PAIR'", "OBJECT21"},
        {"select attr_type_name || length || ',' || attr_no from user_type_attrs where attr_name = 'K'", "VARCHAR210,1"},
        {"select attr_type_name || precision || scale from user_type_attrs where attr_name = 'V'", "NUMBER52"},
        {"select method_name || parameters || results from user_type_methods where type_name = 'PAIR'", "TOTAL11"},
    };
    for (const auto& c : cases) EXPECT_EQ(Scalar(c.query), c.expected) << c.query;
    Ok("drop package pk");
    EXPECT_EQ(Scalar("select count(*) from user_arguments where package_name = 'PK'"), "0");
}

} // namespace

namespace {

TEST_F(Pl, RowTriggersFireOncePerRow) {
    Ok("create table r1 (n number, m number)");
    Ok("create table hits (what varchar2(10))");
    Ok("insert into r1 values (1, 0)");
    Ok("insert into r1 values (2, 0)");
    Ok("create or replace trigger r1_bu before update on r1 for each row begin insert into hits values ('bu'); :new.m := :new.m + 10; end;");
    Ok("create or replace trigger r1_bi before insert on r1 for each row begin insert into hits values ('bi'); end;");
    Ok("create or replace trigger r1_s after update on r1 begin insert into hits values ('s'); end;");
    Ok("update r1 set m = n");
    Ok("insert into r1 select n + 10, 0 from r1");
    EXPECT_EQ(Scalar("select sum(m) from r1"), "23");
    EXPECT_EQ(Scalar("select count(*) from hits where what = 'bu'"), "2");
    EXPECT_EQ(Scalar("select count(*) from hits where what = 'bi'"), "2");
    EXPECT_EQ(Scalar("select count(*) from hits where what = 's'"), "1");
}

// A LOB selected FOR UPDATE (or returned by the DML that made the row) is a locator of the row:
// DBMS_LOB changes made through the variable, or through a copy of it, change the stored LOB.
TEST_F(Pl, LobsOfRowsChangeThroughTheirVariables) {
    Ok("create table docs (id number, body clob, data blob)");
    Ok("insert into docs values (1, 'Hello', hextoraw('0102'))");
    Ok("insert into docs values (2, empty_clob(), empty_blob())");
    Ok("commit");
    struct Case { const char* what; const char* block; const char* query; const char* want; };
    const Case cases[] = {
        {"write and append", "declare l clob; begin select body into l from docs where id = 1 for update;"
                             " dbms_lob.writeappend(l, 6, ' world'); dbms_lob.write(l, 1, 1, 'J'); end;",
         "select body from docs where id = 1", "Jello world"},
        {"trim", "declare l clob; begin select body into l from docs where id = 1 for update; dbms_lob.trim(l, 5); end;",
         "select body from docs where id = 1", "Jello"},
        {"erase", "declare l clob; n integer := 2; begin select body into l from docs where id = 1 for update; dbms_lob.erase(l, n, 2); end;",
         "select body from docs where id = 1", "J  lo"},
        {"a copy of the locator", "declare l clob; c clob; begin select body into l from docs where id = 1 for update; c := l;"
                                  " dbms_lob.writeappend(c, 1, '!'); end;",
         "select body from docs where id = 1", "J  lo!"},
        {"an empty LOB", "declare l clob; b blob; begin select body, data into l, b from docs where id = 2 for update;"
                         " dbms_lob.writeappend(l, 3, 'abc'); dbms_lob.writeappend(b, 2, hextoraw('0A0B')); end;",
         "select body || '/' || dbms_lob.getlength(data) from docs where id = 2", "abc/2"},
        {"a BLOB", "declare b blob; begin select data into b from docs where id = 1 for update; dbms_lob.writeappend(b, 1, hextoraw('03')); end;",
         "select dbms_lob.getlength(data) from docs where id = 1", "3"},
        {"a record of a cursor loop", "begin for r in (select body from docs where id = 2 for update) loop dbms_lob.writeappend(r.body, 1, 'd'); end loop; end;",
         "select body from docs where id = 2", "abcd"},
        {"returned by the insert", "declare l clob; begin insert into docs values (3, empty_clob(), null) returning body into l;"
                                   " dbms_lob.writeappend(l, 4, 'new!'); end;",
         "select body from docs where id = 3", "new!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.block), OCI_SUCCESS) << c.what << ": " << lastError;
        EXPECT_EQ(Scalar(c.query), c.want) << c.what;
    }
    Ok("commit");
    // without FOR UPDATE the row is not locked: the write fails as Oracle's does, and nothing changes
    EXPECT_EQ(Run("declare l clob; begin select body into l from docs where id = 1; dbms_lob.writeappend(l, 1, 'x'); end;"), OCI_ERROR);
    EXPECT_EQ(lastCode, 22920) << lastError;
    EXPECT_EQ(Scalar("select body from docs where id = 1"), "J  lo!");
    // a LOB variable assigned text is a value of its own: changing it leaves the row alone
    Ok("declare l clob; begin select body into l from docs where id = 1 for update; l := 'other'; dbms_lob.writeappend(l, 1, 'x'); end;");
    EXPECT_EQ(Scalar("select body from docs where id = 1"), "J  lo!");
}

} // namespace
