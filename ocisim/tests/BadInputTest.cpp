// Bad input from a client: binds of the wrong type or size, defines that do not fit their
// column, statements whose session or service context has gone.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <string>

using namespace ocitest;

namespace {

struct BadInput : Db {
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(Exec("create table t (id number(4) not null, name varchar2(5), d date)"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into t values (1, 'abc', date '2026-05-06')"), OCI_SUCCESS) << ErrText(err);
    }

    // Executes `sql` with one bind by position; returns the status (error in err).
    sword BindOne(const char* sql, void* value, sb4 size, ub2 dty, ub2* alen = nullptr, sb2* ind = nullptr) {
        OCIStmt* st = Prepare(sql);
        OCIBind* b = nullptr;
        sword r = OCIBindByPos(st, &b, err, 1, value, size, dty, ind, alen, nullptr, 0, nullptr, 0);
        if (r == OCI_SUCCESS) r = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }

    // Fetches the first row of `sql` with column 1 defined as given; returns the status.
    sword DefineOne(const char* sql, void* value, sb4 size, ub2 dty, sb2* ind = nullptr, ub2* rlen = nullptr, ub2* rcode = nullptr) {
        OCIStmt* st = Prepare(sql);
        OCIDefine* d = nullptr;
        sword r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &d, err, 1, value, size, dty, ind, rlen, rcode, 0);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
};

TEST_F(BadInput, BindsOfTheWrongTypeOrSize) {
    const char* longName = "abcdefgh";
    EXPECT_EQ(BindOne("insert into t (id, name) values (2, :1)", (void*)longName, 8, SQLT_CHR), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 8, maximum: 5)");
    sb4 big = 123456;
    EXPECT_EQ(BindOne("insert into t (id) values (:1)", &big, 4, SQLT_INT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1438);
    // a date whose bytes are no date, an Oracle NUMBER whose bytes are no number
    ub1 badDate[7] = {120, 126, 13, 40, 1, 1, 1};
    EXPECT_EQ(BindOne("insert into t (id, d) values (3, :1)", badDate, 7, SQLT_DAT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1858);
    ub1 badNumber[3] = {0xC1, 0xFF, 0xFF};
    EXPECT_EQ(BindOne("insert into t (id) values (:1)", badNumber, 3, SQLT_NUM), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1722);
    // a date into a number column, text that is no date into a date column
    ub1 date[7] = {120, 126, 1, 2, 1, 1, 1};
    EXPECT_EQ(BindOne("insert into t (id) values (:1)", date, 7, SQLT_DAT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 932);
    sb4 number = 20260102;
    EXPECT_EQ(BindOne("insert into t (id, d) values (3, :1)", &number, 4, SQLT_INT), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-00932: inconsistent datatypes: expected DATE got NUMBER");
    EXPECT_EQ(BindOne("update t set id = :1", date, 7, SQLT_DAT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 932);
    const char* notDate = "yesterday";
    EXPECT_EQ(BindOne("insert into t (id, d) values (4, :1)", (void*)notDate, 9, SQLT_CHR), OCI_ERROR);
    EXPECT_NE(ErrCode(err), 0);
    // NULL by indicator into a NOT NULL column
    sb4 id = 5;
    sb2 nullInd = -1;
    EXPECT_EQ(BindOne("insert into t (id) values (:1)", &id, 4, SQLT_INT, nullptr, &nullInd), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"ID\")");
    // an actual length beyond the buffer reads no further than the buffer
    char name[3] = {'x', 'y', 'z'};
    ub2 alen = 5000;
    EXPECT_EQ(BindOne("insert into t (id, name) values (6, :1)", name, 3, SQLT_CHR, &alen), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select name from t where id = 6"), "xyz");
    // sizes the external type cannot have
    struct Case { ub2 dty; sb4 size; sb4 code; };
    for (const Case& c : {Case{SQLT_INT, 3, 3115}, Case{SQLT_FLT, 2, 3115}, Case{SQLT_NUM, 23, 1459}, Case{SQLT_VNU, 10, 1459},
                          Case{SQLT_ODT, 4, 1459}, Case{SQLT_VCS, 1, 1459}, Case{SQLT_LVC, 3, 1459}, Case{SQLT_CHR, -1, 1459},
                          Case{SQLT_CUR, 8, 3115}, Case{300, 4, 3115}}) {
        char buf[32] = {};
        EXPECT_EQ(BindOne("insert into t (id) values (:1)", buf, c.size, c.dty), OCI_ERROR) << c.dty;
        EXPECT_EQ(ErrCode(err), c.code) << c.dty << ": " << ErrText(err);
    }
    EXPECT_EQ(Scalar("select count(*) from t"), "2");
}

TEST_F(BadInput, DefinesThatDoNotFitTheirColumn) {
    // too small: ORA-01406, the buffer full, the returned length and indicator the whole length
    char small[2];
    sb2 ind = 0;
    ub2 rlen = 0, rcode = 0;
    EXPECT_EQ(DefineOne("select name from t", small, 2, SQLT_CHR, &ind, &rlen, &rcode), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrCode(err), 1406);
    EXPECT_EQ(std::string(small, 2), "ab");
    EXPECT_EQ(ind, 3);
    EXPECT_EQ(rlen, 3);
    EXPECT_EQ(rcode, 1406);
    // a NUMBER that needs more bytes than the buffer has
    ub1 num[2];
    EXPECT_EQ(DefineOne("select 123456789 from dual", num, 2, SQLT_NUM, &ind, &rlen, &rcode), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(rcode, 1406);
    // NULL without an indicator, in an array fetch whose other rows are fine
    sb4 ids[2] = {};
    OCIStmt* st = Prepare("select decode(id, 1, null, id) from t union all select 9 from dual order by 1");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, ids, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 2, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1405);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // conversions that cannot be made
    ub1 date[7];
    sb2 small16 = 0;
    sb4 i32 = 0;
    struct Case { const char* sql; void* buf; sb4 size; ub2 dty; sb4 code; };
    for (const Case& c : {Case{"select id from t", date, 7, SQLT_DAT, 932}, Case{"select d from t", &i32, 4, SQLT_INT, 932},
                          Case{"select name from t", &i32, 4, SQLT_INT, 1722}, Case{"select 40000 from dual", &small16, 2, SQLT_INT, 1455},
                          Case{"select -1 from dual", &i32, 4, SQLT_UIN, 1455}, Case{"select 'x' from dual", date, 7, SQLT_DAT, 932}}) {
        EXPECT_EQ(DefineOne(c.sql, c.buf, c.size, c.dty), OCI_ERROR) << c.sql;
        EXPECT_EQ(ErrCode(err), c.code) << c.sql << ": " << ErrText(err);
    }
    // a define beyond the select list
    st = Prepare("select id from t");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCIDefineByPos(st, &d, err, 2, &i32, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1007);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(BadInput, StatementsWhoseSessionHasGone) {
    ASSERT_EQ(Exec("insert into t (id) select level + 10 from dual connect by level <= 5"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    OCIStmt* st = Prepare("select id from t order by id");
    sb4 id = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    // the session ends under an open query: its fetches and executions fail, nothing crashes
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3114);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3114);
    ub4 rows = 0;
    EXPECT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err), OCI_SUCCESS);
    EXPECT_EQ(rows, 1u);
    // a new session on the same context runs the statement again
    ASSERT_EQ(Begin("SCOTT", "TIGER"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(id, 1);

    // the service context and session are freed under the statement (OCILogon's own handles)
    OCISvcCtx* other = nullptr;
    ASSERT_EQ(OCILogon(env, err, &other, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(),
                       (ub4)dir.size()), OCI_SUCCESS) << ErrText(err);
    OCIStmt* st2 = Prepare("select id from t order by id");
    ASSERT_EQ(OCIStmtExecute(other, st2, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCIDefineByPos(st2, &d, err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCILogoff(other, err), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(st2, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3114);
    EXPECT_EQ(OCIStmtExecute(other, st2, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCITransCommit(other, err, 0), OCI_INVALID_HANDLE);
    OCIHandleFree(st2, OCI_HTYPE_STMT);
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(BadInput, DeeplyNestedStatementsAreRefusedNotCrashed) {
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += s;
        return r;
    };
    // nesting a real statement has is fine
    EXPECT_EQ(Scalar("select 1" + repeat("+1", 400) + " from dual"), "401");
    EXPECT_EQ(Scalar("select 10 - 1 - 2 - 3 || '|' || (2 * 3 / 4 + 1) || '|' || (7 / 2 * 2 - 1.5 * 2) from dual"), "4|2.5|4");
    EXPECT_EQ(Scalar("select to_char(date '2026-01-01' + 1 + 1 - 3, 'YYYY-MM-DD') || '|' || (date '2026-01-02' - date '2026-01-01' + 1) from dual"),
              "2025-12-31|2");
    EXPECT_EQ(Scalar("select nvl(to_char(1 + null + 2), 'null') from dual"), "null");
    EXPECT_EQ(Scalar("select length('a'" + repeat(" || 'b'", 400) + ") from dual"), "401");
    EXPECT_EQ(Scalar("select count(*) from dual where 1 = 0" + repeat(" or dummy = 'X'", 400)), "1");
    EXPECT_EQ(Scalar("select count(*) from dual where 1 = 1" + repeat(" and dummy = 'X'", 400)), "1");
    EXPECT_EQ(Scalar("select " + repeat("(", 300) + "7" + repeat(")", 300) + " from dual"), "7");
    // far deeper: an error, and the session goes on
    for (const std::string& sql : {"select 1" + repeat("+1", 20000) + " from dual",
                                   "select 1 from dual where " + repeat("not ", 5000) + "1 = 1",
                                   "select 1 from dual where " + repeat("exists (select 1 from dual where ", 3000) + "1 = 1" + repeat(")", 3000),
                                   "select " + repeat("nvl(", 3000) + "1" + repeat(", 2)", 3000) + " from dual",
                                   repeat("select 1 from dual union all ", 5000) + "select 1 from dual",
                                   "select " + repeat("((", 2000) + "tr" + repeat("(", 300) + " from dual"}) {
        OCIStmt* st = Prepare(sql);
        EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR) << sql.substr(0, 60);
        EXPECT_NE(ErrCode(err), 0);
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    EXPECT_EQ(Scalar("select count(*) from t"), "1");
}

TEST(BadInputOci7, CallsAfterLogoffAndOnForeignDataAreas) {
    std::string dir = TempDir("oci7bad");
    Lda_Def lda;
    ub1 hda[HDA_SIZE] = {0};
    std::string uid = "scott/tiger@" + dir;
    sword r = orlon(&lda, hda, (OraText*)uid.c_str(), -1, nullptr, -1, 0);
    if (r != 0 && lda.rc == 12541) GTEST_SKIP() << "no database engine in this build";
    ASSERT_EQ(r, 0);
    Cda_Def cda;
    ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(oparse(&cda, (OraText*)"select 1 from dual", -1, 0, 2), 0);
    sb4 one = 0;
    ASSERT_EQ(odefin(&cda, 1, (ub1*)&one, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(oexec(&cda), 0);
    ASSERT_EQ(ologof(&lda), 0);
    // the cursor went with its logon
    EXPECT_EQ(ofen(&cda, 1), 1001);
    EXPECT_EQ(oexec(&cda), 1001);
    EXPECT_EQ(oparse(&cda, (OraText*)"select 1 from dual", -1, 0, 2), 1001);
    EXPECT_EQ(ocom(&lda), 1012);
    EXPECT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 1012);
    // null data areas
    EXPECT_EQ(oparse(nullptr, (OraText*)"select 1 from dual", -1, 0, 2), OCI_INVALID_HANDLE);
    EXPECT_EQ(ofen(nullptr, 1), OCI_INVALID_HANDLE);
    EXPECT_EQ(oopen(nullptr, &lda, nullptr, -1, -1, nullptr, -1), OCI_INVALID_HANDLE);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
