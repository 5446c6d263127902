// Nested cursors (CURSOR(...) columns), the national character set's byte order, rowid and LOB
// functions in SQL and the isolation level of a session, as a C client sees them.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <string>
#include <vector>

using namespace ocitest;

namespace {

struct Nested : Db {
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(Exec("create table dept2 (deptno number(2), dname varchar2(14))"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("create table emp3 (empno number(4), ename varchar2(10), deptno number(2), hired date)"), OCI_SUCCESS);
        ASSERT_EQ(Exec("insert into dept2 select 10 * level, 'D' || level from dual connect by level <= 3"), OCI_SUCCESS);
        ASSERT_EQ(Exec("insert into emp3 select level, 'E' || level, 10 * mod(level, 2) + 10, date '2026-01-01' + level "
                       "from dual connect by level <= 5"), OCI_SUCCESS) << ErrText(err);
    }

    // Every row of an open statement: each column as text, "~" for NULL, joined by "|".
    std::vector<std::string> Rows(OCIStmt* st, int columns) {
        std::vector<std::string> out;
        std::vector<std::vector<char>> bufs(size_t(columns), std::vector<char>(100));
        std::vector<sb2> ind(static_cast<size_t>(columns));
        std::vector<ub2> len(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            OCIDefine* d = nullptr;
            EXPECT_EQ(OCIDefineByPos(st, &d, err, ub4(c + 1), bufs[size_t(c)].data(), 100, SQLT_CHR, &ind[size_t(c)], &len[size_t(c)], nullptr, 0),
                      OCI_SUCCESS) << ErrText(err);
        }
        sword r;
        while ((r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0)) == OCI_SUCCESS) {
            std::string row;
            for (int c = 0; c < columns; ++c)
                row += (c ? "|" : "") + (ind[size_t(c)] == -1 ? std::string("~") : std::string(bufs[size_t(c)].data(), len[size_t(c)]));
            out.push_back(row);
        }
        EXPECT_EQ(r, OCI_NO_DATA) << ErrText(err);
        return out;
    }
};

TEST_F(Nested, CursorColumnsFetchIntoClientStatements) {
    OCIStmt* st = Prepare("select d.dname, cursor(select e.ename, e.hired from emp3 e where e.deptno = d.deptno and e.empno > :m "
                          "order by e.empno) emps from dept2 d order by d.deptno");
    sb4 m = 1;
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b, err, (const OraText*)":m", -1, &m, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);

    // described as a cursor column
    OCIParam* p = nullptr;
    ASSERT_EQ(OCIParamGet(st, OCI_HTYPE_STMT, err, (void**)&p, 2), OCI_SUCCESS);
    ub2 type = 0;
    OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
    EXPECT_EQ(type, SQLT_RSET);
    text* name = nullptr;
    ub4 nameLen = 0;
    OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, err);
    EXPECT_EQ(std::string((char*)name, nameLen), "EMPS");

    // an array fetch of two rows into two statement handles the client allocated
    char dname[2][15];
    ub2 dlen[2];
    OCIStmt* nested[2] = {};
    sb2 nind[2] = {-1, -1};
    for (auto& h : nested) OCIHandleAlloc(env, (void**)&h, OCI_HTYPE_STMT, 0, nullptr);
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d1, err, 1, dname, 15, SQLT_CHR, nullptr, dlen, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d2, err, 2, nested, sizeof(OCIStmt*), SQLT_RSET, nind, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtFetch(st, err, 2, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(nind[0], 0);
    EXPECT_EQ(std::string(dname[1], dlen[1]), "D2");
    ub2 nestedType = 0;
    OCIAttrGet(nested[0], OCI_HTYPE_STMT, &nestedType, nullptr, OCI_ATTR_STMT_TYPE, err);
    EXPECT_EQ(nestedType, OCI_STMT_SELECT);
    ub4 count = 0;
    OCIAttrGet(nested[0], OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    EXPECT_EQ(count, 2u);
    // each handle holds the rows of its own department, with the bind value of the outer query
    EXPECT_EQ(Rows(nested[0], 2), (std::vector<std::string>{"E2|03-JAN-26", "E4|05-JAN-26"}));
    EXPECT_EQ(Rows(nested[1], 2), (std::vector<std::string>{"E3|04-JAN-26", "E5|06-JAN-26"}));

    // the next outer row fills the handle again; a department without rows gives an empty cursor
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Rows(nested[0], 2), std::vector<std::string>{});
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_NO_DATA);
    // a nested cursor is not executed again
    EXPECT_EQ(OCIStmtExecute(svc, nested[0], err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    for (auto& h : nested) OCIHandleFree(h, OCI_HTYPE_STMT);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Nested, CursorColumnErrors) {
    struct Case { const char* sql; sb4 code; ub2 offset; };
    for (const Case& c : {Case{"select 1 from dual where cursor(select 1 from dual) is null", 22902, 25},
                          Case{"select (select cursor(select 1 from dual) from dual) from dual", 22902, 15},
                          Case{"select distinct cursor(select 1 from dual) from dual", 22902, 16},
                          Case{"select cursor(select 1 from dual) from dual union select cursor(select 2 from dual) from dual", 22902, 7},
                          Case{"select cursor(select nosuch from dual) from dual", 904, 21}}) {
        OCIStmt* st = Prepare(c.sql);
        EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR) << c.sql;
        EXPECT_EQ(ErrCode(err), c.code) << c.sql << ": " << ErrText(err);
        ub2 offset = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, err);
        EXPECT_EQ(offset, c.offset) << c.sql;
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    // a cursor column defined as text, or a text column defined as a cursor, is refused
    OCIStmt* st = Prepare("select cursor(select 1 from dual) c, 'x' t from dual");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    char buf[40];
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, buf, sizeof buf, SQLT_CHR, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 932);
    OCIStmt* handle = nullptr;
    OCIHandleAlloc(env, (void**)&handle, OCI_HTYPE_STMT, 0, nullptr);
    OCIStmt* slot = handle;
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &slot, sizeof slot, SQLT_RSET, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    OCIDefine* d2 = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d2, err, 2, &slot, sizeof slot, SQLT_RSET, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 932);
    // a freed handle in the define buffer is no statement to fill
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d2, err, 2, buf, sizeof buf, SQLT_CHR, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    OCIHandleFree(handle, OCI_HTYPE_STMT);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1001);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Nested, NationalCharacterSetIsBigEndian) {
    ASSERT_EQ(Exec("create table n (s nvarchar2(10))"), OCI_SUCCESS) << ErrText(err);
    // bound as AL16UTF16 (2000): big-endian units
    const unsigned char be[] = {0x04, 0x01, 0x00, 'a'};   // "Ёa"
    OCIStmt* st = Prepare("insert into n values (:s)");
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(st, &b, err, 1, (void*)be, sizeof be, SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ub2 id = 2000;
    ub1 form = SQLCS_NCHAR;
    ASSERT_EQ(OCIAttrSet(b, OCI_HTYPE_BIND, &form, 1, OCI_ATTR_CHARSET_FORM, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrSet(b, OCI_HTYPE_BIND, &id, 2, OCI_ATTR_CHARSET_ID, err), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select s || '|' || length(s) from n"), "\xd0\x81" "a|2");

    // defined as 2000: big-endian; as 1000 (UTF16): machine order
    st = Prepare("select s, s, to_nclob(s) from n");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    unsigned char big[8] = {}, native[8] = {};
    ub2 bigLen = 0, nativeLen = 0;
    OCILobLocator* lob = nullptr;
    OCIDescriptorAlloc(env, (void**)&lob, OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* d[3] = {};
    ASSERT_EQ(OCIDefineByPos(st, &d[0], err, 1, big, sizeof big, SQLT_CHR, nullptr, &bigLen, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d[1], err, 2, native, sizeof native, SQLT_CHR, nullptr, &nativeLen, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(st, &d[2], err, 3, &lob, sizeof lob, SQLT_CLOB, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ub2 utf16 = OCI_UTF16ID;
    ASSERT_EQ(OCIAttrSet(d[0], OCI_HTYPE_DEFINE, &id, 2, OCI_ATTR_CHARSET_ID, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrSet(d[1], OCI_HTYPE_DEFINE, &utf16, 2, OCI_ATTR_CHARSET_ID, err), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(bigLen, 4);
    EXPECT_EQ(std::memcmp(big, be, 4), 0);
    ASSERT_EQ(nativeLen, 4);
    char16_t units[2];
    std::memcpy(units, native, 4);
    EXPECT_EQ(std::u16string(units, 2), u"Ёa");
    // a LOB read in 2000 is big-endian too
    unsigned char lobBuf[8] = {};
    ub4 amount = 2;
    ASSERT_EQ(OCILobRead(svc, err, lob, &amount, 1, lobBuf, sizeof lobBuf, nullptr, nullptr, 2000, SQLCS_NCHAR), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(amount, 2u);
    EXPECT_EQ(std::memcmp(lobBuf, be, 4), 0);
    OCIDescriptorFree(lob, OCI_DTYPE_LOB);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Nested, RowidAndLobFunctionsInSql) {
    ASSERT_EQ(Exec("create table l (id number, c clob, b blob)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into l values (1, 'Hello, мир', hextoraw('00112233'))"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into l values (2, empty_clob(), empty_blob())"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into l values (3, null, null)"), OCI_SUCCESS) << ErrText(err);
    struct Case { const char* sql; const char* value; };
    for (const Case& c : {
             Case{"select dbms_lob.getlength(c) || ',' || dbms_lob.getlength(b) from l where id = 1", "10,4"},
             Case{"select dbms_lob.getlength(c) || ',' || dbms_lob.getlength(b) from l where id = 2", "0,0"},
             Case{"select nvl(to_char(dbms_lob.getlength(c)), 'null') from l where id = 3", "null"},
             Case{"select dbms_lob.substr(c, 3, 8) from l where id = 1", "мир"},
             Case{"select dbms_lob.substr(c) from l where id = 1", "Hello, мир"},
             Case{"select rawtohex(dbms_lob.substr(b, 2, 2)) from l where id = 1", "1122"},
             Case{"select nvl(dbms_lob.substr(c, 0, 1), 'null') || nvl(dbms_lob.substr(c, 2, 50), 'null') from l where id = 1", "nullnull"},
             Case{"select sys.dbms_lob.instr(c, 'l', 1, 2) || dbms_lob.instr(c, 'z') from l where id = 1", "40"},
             Case{"select count(*) from l where rowid = chartorowid(rowidtochar(rowid))", "3"},
             Case{"select length(rowidtochar(rowid)) from l where id = 1", "18"},
         })
        EXPECT_EQ(Scalar(c.sql), c.value) << c.sql;
    // a rowid read as text finds its row again
    std::string rid = Scalar("select rowidtochar(rowid) from l where id = 2");
    EXPECT_EQ(Scalar("select id from l where rowid = chartorowid('" + rid + "')"), "2");
}

TEST_F(Nested, IsolationLevelOfTheSession) {
    for (const char* sql : {"alter session set isolation_level = read committed", "alter session set isolation_level=serializable",
                            "ALTER SESSION SET ISOLATION_LEVEL = SERIALIZABLE NLS_DATE_FORMAT = 'YYYY'"})
        EXPECT_EQ(Exec(sql), OCI_SUCCESS) << sql << ": " << ErrText(err);
    EXPECT_EQ(Scalar("select to_char(sysdate, 'YYYY') - to_char(sysdate) from dual"), "0");
    struct Case { const char* sql; sb4 code; };
    for (const Case& c : {Case{"alter session set isolation_level = read", 922}, Case{"alter session set isolation_level = dirty", 922},
                          Case{"alter session set isolation_level", 927}}) {
        EXPECT_EQ(Exec(c.sql), OCI_ERROR) << c.sql;
        EXPECT_EQ(ErrCode(err), c.code) << c.sql << ": " << ErrText(err);
    }
}

} // namespace
