// The statements the component library sends without PL/SQL (session probes and settings,
// dictionary reads, record locks, posts and constraint checks of the data set), run as the
// library runs them: text with its line breaks, binds by name as strings.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace ocitest;

namespace {

using Binds = std::vector<std::pair<std::string, std::string>>;

struct LibrarySql : Db {
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (const char* sql : {
                 "create table dept2 (deptno number(2) constraint dept2_pk primary key, dname varchar2(14) not null)",
                 "create table emp2 (empno number(4) constraint emp2_pk primary key, ename varchar2(10) constraint emp2_uk unique, "
                 "sal number(7,2) default 1000 constraint emp2_sal_ck check (sal > 0), "
                 "deptno number(2) constraint emp2_dept_fk references dept2, hired date default sysdate)",
                 "create sequence emp2_seq start with 100",
                 "create table msgs (constraint_name varchar2(30), actions varchar2(5), parent_child varchar2(1), error_message varchar2(200))",
                 "insert into dept2 values (10, 'ACCOUNTING')",
                 "insert into emp2 (empno, ename, sal, deptno) values (1, 'KING', 5000, 10)",
                 "insert into msgs values ('EMP2_UK', 'IU', '*', 'The name is taken')",
                 "commit"})
            ASSERT_EQ(Exec(sql), OCI_SUCCESS) << sql << ": " << ErrText(err);
    }

    // Runs `sql` with string binds by name; the rows of a query as "a|b" texts ("~" for NULL),
    // or for other statements the row count as text. Errors come back as "ORA-nnnnn".
    std::vector<std::string> Run(const std::string& sql, const Binds& binds = {}, bool describeOnly = false) {
        OCIStmt* st = Prepare(sql);
        std::vector<std::vector<char>> values;
        values.reserve(binds.size());
        for (const auto& [name, value] : binds) {
            values.emplace_back(value.begin(), value.end());
            values.back().push_back(0);
            OCIBind* b = nullptr;
            EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)name.c_str(), -1, values.back().data(), sb4(values.back().size()),
                                    SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS) << sql << " " << name;
        }
        ub2 type = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
        std::vector<std::string> out;
        sword r = OCIStmtExecute(svc, st, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr,
                                 describeOnly ? OCI_DESCRIBE_ONLY : OCI_DEFAULT);
        if (r != OCI_SUCCESS) {
            out.push_back("ORA-" + std::to_string(ErrCode(err)));
            OCIHandleFree(st, OCI_HTYPE_STMT);
            return out;
        }
        if (type != OCI_STMT_SELECT || describeOnly) {
            ub4 n = 0;
            OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, describeOnly ? OCI_ATTR_PARAM_COUNT : OCI_ATTR_ROW_COUNT, err);
            out.push_back(std::to_string(n));
            OCIHandleFree(st, OCI_HTYPE_STMT);
            return out;
        }
        ub4 columns = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err);
        std::vector<std::vector<char>> bufs(columns, std::vector<char>(512));
        std::vector<sb2> ind(columns);
        std::vector<ub2> len(columns);
        for (ub4 c = 0; c < columns; ++c) {
            OCIDefine* d = nullptr;
            OCIDefineByPos(st, &d, err, c + 1, bufs[c].data(), 512, SQLT_CHR, &ind[c], &len[c], nullptr, 0);
        }
        while ((r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0)) == OCI_SUCCESS) {
            std::string row;
            for (ub4 c = 0; c < columns; ++c) row += (c ? "|" : "") + (ind[c] == -1 ? std::string("~") : std::string(bufs[c].data(), len[c]));
            out.push_back(row);
        }
        if (r != OCI_NO_DATA) out.push_back("ORA-" + std::to_string(ErrCode(err)));
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return out;
    }
    std::string First(const std::string& sql, const Binds& binds = {}) {
        auto rows = Run(sql, binds);
        return rows.empty() ? "<no row>" : rows[0];
    }
    // The character set id of the select-list column `pos` of `sql`.
    ub2 CharsetOf(const std::string& sql, ub4 pos) {
        OCIStmt* st = Prepare(sql);
        ub2 id = 0;
        if (OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY) == OCI_SUCCESS) {
            OCIParam* p = nullptr;
            OCIParamGet(st, OCI_HTYPE_STMT, err, (void**)&p, pos);
            OCIAttrGet(p, OCI_DTYPE_PARAM, &id, nullptr, OCI_ATTR_CHARSET_ID, err);
        }
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return id;
    }
};

TEST_F(LibrarySql, SessionProbesAndSettings) {
    // bytes per character and the character sets
    const std::string probe = "select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2, 'c' c1 from dual";
    EXPECT_EQ(Run(probe).size(), 1u);
    EXPECT_EQ(Run(probe)[0].rfind("ORA-", 0), std::string::npos) << Run(probe)[0];
    EXPECT_EQ(CharsetOf(probe, 4), 873);
    EXPECT_EQ(First("select lengthb(nchr(20)), nchr(20) from dual"), std::string("2|\x14"));
    EXPECT_EQ(CharsetOf("select lengthb(nchr(20)), nchr(20) from dual", 2), 2000);
    // the longest date text: twelve lines joined by "union all"
    std::string months;
    for (int m = 1; m <= 12; ++m)
        months += (m > 1 ? "\r\nunion all\r\n" : "") + std::string("select to_char(to_date('10-") + std::to_string(m) +
                  "-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual";
    auto dates = Run(months);
    ASSERT_EQ(dates.size(), 12u);
    EXPECT_EQ(dates[0], "10-JAN-99");
    EXPECT_EQ(dates[8], "10-SEP-99");
    // services
    EXPECT_EQ(First("select to_char(userenv('SESSIONID')) from dual").find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(First("select 'x' from dual"), "x");
    EXPECT_EQ(First("select * from v$version").rfind("Oracle Database", 0), 0u);
    for (const char* sql : {"alter session set sql_trace = true", "alter session set sql_trace = false",
                            "alter session set optimizer_mode = choose", "alter session set optimizer_mode = first_rows",
                            "alter session set optimizer_mode = all_rows", "alter session set optimizer_mode = rule",
                            "alter session set isolation_level = read committed", "alter session set isolation_level = serializable",
                            "alter user SCOTT identified by tiger"})
        EXPECT_EQ(Run(sql), std::vector<std::string>{"0"}) << sql;
    // refused as a current server refuses them; the library falls back or reports
    EXPECT_EQ(First("alter session set optimizer_goal = choose"), "ORA-2248");
    EXPECT_EQ(First("alter session set edition = NO_SUCH"), "ORA-38802");
}

TEST_F(LibrarySql, DictionaryReadsOfTheDataSet) {
    const Binds table = {{":owner", "SCOTT"}, {":table_name", "EMP2"}};
    EXPECT_EQ(Run("select constraint_name from all_constraints\r\nwhere owner = :owner and table_name = :table_name\r\n"
                  "and constraint_type in ('P', 'U')\r\norder by constraint_type", table),
              (std::vector<std::string>{"EMP2_PK", "EMP2_UK"}));
    EXPECT_EQ(Run("select column_name from all_cons_columns\r\nwhere owner = :owner and table_name = :table_name\r\n"
                  "and constraint_name = :constraint_name\r\norder by position",
                  {{":owner", "SCOTT"}, {":table_name", "EMP2"}, {":constraint_name", "EMP2_PK"}}),
              std::vector<std::string>{"EMPNO"});
    EXPECT_EQ(Run("select column_name, data_default from sys.all_tab_columns\r\nwhere owner = :owner and table_name = :table_name\r\n"
                  "and data_default is not null", table),
              (std::vector<std::string>{"SAL|1000", "HIRED|sysdate"}));
    EXPECT_EQ(Run("select constraint_name, column_name from sys.all_cons_columns\r\nwhere owner = :owner and table_name = :table_name\r\n"
                  "and constraint_name not like 'SYS_C%'\r\norder by constraint_name, position", table),
              (std::vector<std::string>{"EMP2_DEPT_FK|DEPTNO", "EMP2_PK|EMPNO", "EMP2_SAL_CK|SAL", "EMP2_UK|ENAME"}));
    const std::string constraint = "select constraint_type, r_constraint_name, r_owner, search_condition\r\n  from sys.all_constraints\r\n"
                                   " where constraint_name = :constraint_name and owner = :owner\r\n   and status = 'ENABLED'";
    EXPECT_EQ(Run(constraint, {{":constraint_name", "EMP2_SAL_CK"}, {":owner", "SCOTT"}}), std::vector<std::string>{"C|~|~|sal > 0"});
    EXPECT_EQ(Run(constraint, {{":constraint_name", "EMP2_DEPT_FK"}, {":owner", "SCOTT"}}),
              std::vector<std::string>{"R|DEPT2_PK|SCOTT|~"});
    EXPECT_EQ(Run("select table_name, column_name from sys.all_cons_columns\r\n where owner = :owner and constraint_name = :constraint_name\r\n"
                  " order by position", {{":owner", "SCOTT"}, {":constraint_name", "DEPT2_PK"}}),
              std::vector<std::string>{"DEPT2|DEPTNO"});
    // the Oracle Lite forms are plain SQL too
    EXPECT_EQ(Run("select owner, table_name from all_tables\r\nwhere owner = user and table_name = :name", {{":name", "EMP2"}}),
              std::vector<std::string>{"SCOTT|EMP2"});
    EXPECT_EQ(Run("select table_owner, table_name from all_synonyms\r\nwhere owner = 'PUBLIC' and synonym_name = :name",
                  {{":name", "EMP2_PUB"}}), std::vector<std::string>{});
    // columns of the updating table: described, not executed
    EXPECT_EQ(Run("select * from EMP2", {}, true), std::vector<std::string>{"5"});
    // the message table
    EXPECT_EQ(Run("select actions, parent_child, error_message from msgs\r\nwhere constraint_name = 'EMP2_UK'\r\norder by actions"),
              std::vector<std::string>{"IU|*|The name is taken"});
}

TEST_F(LibrarySql, RecordLocksPostsAndChecks) {
    std::string rowid = First("select rowid from emp2 where empno = 1");
    ASSERT_EQ(rowid.size(), 18u) << rowid;
    const Binds byRowid = {{":quorvel__rowid", rowid}};
    EXPECT_EQ(Run("savepoint QUORVEL__LOCKPOINT"), std::vector<std::string>{"0"});
    EXPECT_EQ(Run("select * from EMP2 where rowid = :quorvel__rowid\r\nfor update nowait", byRowid).size(), 1u);
    EXPECT_EQ(Run("select e.*, e.rowid from emp2 e\r\nwhere (e.sal > 0)\r\nand\r\n(e.rowid = :quorvel__rowid)\r\n"
                  "for update of e.EMPNO nowait", byRowid).size(), 1u);
    EXPECT_EQ(Run("select e.* from emp2 e\r\nwhere e.rowid = :quorvel__rowid", byRowid).size(), 1u);
    EXPECT_EQ(Run("rollback to savepoint QUORVEL__LOCKPOINT"), std::vector<std::string>{"0"});

    // update with the record identification and a returning line
    EXPECT_EQ(Run("update EMP2\r\nset SAL = :SAL, ENAME = :ENAME\r\nwhere rowid = :quorvel__rowid\r\nreturning SAL into :quorvel_sal",
                  {{":SAL", "5100"}, {":ENAME", "KING"}, {":quorvel__rowid", rowid}, {":quorvel_sal", ""}}),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Run("update EMP2 t\r\nset t.SAL = :SAL\r\nwhere EMPNO = :quorvel__key1", {{":SAL", "5200"}, {":quorvel__key1", "1"}}),
              std::vector<std::string>{"1"});
    // an insert of the fields that have values, the sequence on the server, the new rowid returned
    EXPECT_EQ(Run("insert into EMP2\r\n  (EMPNO, ENAME, DEPTNO)\r\nvalues\r\n  (emp2_seq.nextval, :ENAME, :DEPTNO)\r\nreturning rowid into :quorvel__rowid",
                  {{":ENAME", "SCOTT"}, {":DEPTNO", "10"}, {":quorvel__rowid", std::string(18, ' ')}}),
              std::vector<std::string>{"1"});
    EXPECT_EQ(First("select empno || '|' || sal from emp2 where ename = 'SCOTT'"), "100|1000");
    EXPECT_EQ(Run("select rowid from EMP2 where\r\nENAME = :ENAME\r\nand HIRED is null", {{":ENAME", "SCOTT"}}), std::vector<std::string>{});
    EXPECT_EQ(Run("select rowid from EMP2 where\r\nENAME = :ENAME", {{":ENAME", "SCOTT"}}).size(), 1u);
    EXPECT_EQ(First("select emp2_seq.nextval from dual"), "101");

    // constraint checks: a key value taken, a missing parent
    EXPECT_EQ(Run("select 'x' from EMP2\r\nwhere rowid <> :quorvel__rowid\r\nand ENAME = :ENAME", {{":quorvel__rowid", rowid}, {":ENAME", "SCOTT"}}),
              std::vector<std::string>{"x"});
    EXPECT_EQ(Run("select 'x' from EMP2\r\nwhere ENAME = :ENAME\r\nand EMPNO = (select EMPNO from EMP2 where rowid = :quorvel__rowid)",
                  {{":ENAME", "KING"}, {":quorvel__rowid", rowid}}), std::vector<std::string>{"x"});
    EXPECT_EQ(Run("select 'x' from SCOTT.DEPT2\r\nwhere DEPTNO = :DEPTNO", {{":DEPTNO", "20"}}), std::vector<std::string>{});
    EXPECT_EQ(Run("select 'x' from EMP2\r\nwhere EMPNO is null"), std::vector<std::string>{});

    // the delete with the record identification, then no row for the same rowid
    EXPECT_EQ(Run("delete from EMP2\r\nwhere rowid = :quorvel__rowid", byRowid), std::vector<std::string>{"1"});
    EXPECT_EQ(Run("delete from EMP2\r\nwhere rowid = :quorvel__rowid", byRowid), std::vector<std::string>{"0"});
    EXPECT_EQ(Run("select * from EMP2 where rowid = :quorvel__rowid\r\nfor update nowait", byRowid), std::vector<std::string>{});
}

} // namespace
