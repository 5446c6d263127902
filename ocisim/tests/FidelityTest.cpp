// Behaviour a real Oracle server and client have and the stand-in must match: exact whole
// numbers end to end, too-small PL/SQL out binds, read-only transactions, client character sets.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <string>
#include <vector>

using namespace ocitest;

namespace {

struct Fidelity : Db {
    // Fetches column 1 of the first row of `sql` into a define of `type` and `size` bytes.
    sword FetchAs(const std::string& sql, ub2 type, void* buf, sb4 size, ub2* len = nullptr) {
        OCIStmt* st = Prepare(sql);
        OCIDefine* def = nullptr;
        sb2 ind = 0;
        sword r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &def, err, 1, buf, size, type, &ind, len, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
};

// Whole numbers that fit in 64 bits stay exact through literals, arithmetic, TO_CHAR, TO_NUMBER,
// storage, every kind of bind and every kind of define.
TEST_F(Fidelity, WholeNumbersOf64BitsStayExact) {
    EXPECT_EQ(Scalar("select to_char(9007199254740993) from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select to_char(9223372036854775807) from dual"), "9223372036854775807");
    EXPECT_EQ(Scalar("select to_char(-9223372036854775807) from dual"), "-9223372036854775807");
    EXPECT_EQ(Scalar("select 9007199254740993 from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select to_number('9007199254740993') + 0 from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select 9007199254740992 + 1 from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select to_char(9007199254740993, 'FM99999999999999999999') from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select '9007199254740993' || '' from dual"), "9007199254740993");
    EXPECT_EQ(Scalar("select 9007199254740993 || 'x' from dual"), "9007199254740993x");
    // beyond 64 bits the value keeps 17 significant digits
    EXPECT_EQ(Scalar("select to_char(12345678901234567890) from dual"), "12345678901234567000");

    ASSERT_EQ(Exec("create table n (k number(2), v number, w number(20))"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into n values (1, 9007199254740993, 9007199254740993)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into n values (2, '9007199254740995', '-9007199254740995')"), OCI_SUCCESS) << ErrText(err);
    {   // binds: 8-byte integer, OCINumber (SQLT_VNU and SQLT_NUM), text
        OCIStmt* st = Prepare("insert into n values (:k, :v, :w)");
        sb8 k = 3, big = 9223372036854775807LL;
        OCINumber num;
        sb8 src = -9007199254740997LL;
        ASSERT_EQ(OCINumberFromInt(err, &src, 8, OCI_NUMBER_SIGNED, &num), OCI_SUCCESS);
        OCIBind* b[3] = {};
        OCIBindByPos(st, &b[0], err, 1, &k, 8, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
        OCIBindByPos(st, &b[1], err, 2, &big, 8, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
        OCIBindByPos(st, &b[2], err, 3, &num, sizeof num, SQLT_VNU, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
        k = 4;
        char text[] = "9007199254740999";
        ub1 raw[22] = {};   // the 22-byte form without its length byte: SQLT_NUM
        std::memcpy(raw, num.OCINumberPart + 1, num.OCINumberPart[0]);
        OCIBindByPos(st, &b[0], err, 1, &k, 8, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
        OCIBindByPos(st, &b[1], err, 2, text, sizeof text, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        OCIBindByPos(st, &b[2], err, 3, raw, num.OCINumberPart[0], SQLT_NUM, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    struct Row { int k; const char* v; const char* w; };
    const Row rows[] = {{1, "9007199254740993", "9007199254740993"},
                        {2, "9007199254740995", "-9007199254740995"},
                        {3, "9223372036854775807", "-9007199254740997"},
                        {4, "9007199254740999", "-9007199254740997"}};
    for (const Row& r : rows) {
        std::string where = " from n where k = " + std::to_string(r.k);
        EXPECT_EQ(Scalar("select v" + where), r.v) << r.k;
        EXPECT_EQ(Scalar("select w" + where), r.w) << r.k;
        EXPECT_EQ(Scalar("select to_char(v)" + where), r.v) << r.k;
        EXPECT_EQ(Scalar("select to_char(w - 0)" + where), r.w) << r.k;
        sb8 asInt = 0;
        ASSERT_EQ(FetchAs("select v" + where, SQLT_INT, &asInt, 8), OCI_SUCCESS) << ErrText(err);
        EXPECT_EQ(std::to_string(asInt), r.v) << r.k;
        OCINumber num;
        ASSERT_EQ(FetchAs("select w" + where, SQLT_VNU, &num, sizeof num), OCI_SUCCESS) << ErrText(err);
        sb8 back = 0;
        ASSERT_EQ(OCINumberToInt(err, &num, 8, OCI_NUMBER_SIGNED, &back), OCI_SUCCESS);
        EXPECT_EQ(std::to_string(back), r.w) << r.k;
        text buf[64];
        ub4 size = sizeof buf;
        ASSERT_EQ(OCINumberToText(err, &num, (const OraText*)"TM9", 3, nullptr, 0, &size, buf), OCI_SUCCESS);
        EXPECT_EQ(std::string((char*)buf, size), r.w) << r.k;
    }
    EXPECT_EQ(Scalar("select count(*) from n where v = 9007199254740993"), "1");
    EXPECT_EQ(Scalar("select max(v) from n where k <> 3"), "9007199254740999");
}

} // namespace

namespace {

// An out value of a PL/SQL block that does not fit its buffer fails the call with ORA-06502, in
// every text form and also when only the terminator or the last byte of a character is missing.
TEST_F(Fidelity, PlSqlOutValueLongerThanItsBufferFails) {
    struct Case { const char* block; ub2 type; sb4 size; const char* in; };
    const Case cases[] = {
        {"begin :x := 'abcdef'; end;", SQLT_STR, 4, nullptr},
        {"begin :x := 'abcd'; end;", SQLT_STR, 4, nullptr},               // no room for the terminator
        {"begin :x := 'abcdef'; end;", SQLT_CHR, 5, nullptr},
        {"begin :x := 'abcdef'; end;", SQLT_AFC, 5, nullptr},
        {"begin :x := 'abcdef'; end;", SQLT_VCS, 6, nullptr},             // 2-byte length prefix
        {"begin :x := 'ab\xc3\xa9'; end;", SQLT_CHR, 3, nullptr},          // would cut the e-acute in two
        {"begin :x := :x || 'cdef'; end;", SQLT_STR, 5, "ab"},            // in out
        {"declare v varchar2(10) := 'abcdefgh'; begin :x := v; end;", SQLT_STR, 6, nullptr},
    };
    for (const Case& c : cases) {
        OCIStmt* st = Prepare(c.block);
        char buf[16];
        std::memset(buf, 0, sizeof buf);
        if (c.in) std::strcpy(buf, c.in);
        sb2 ind = c.in ? 0 : -1;
        ub2 len = c.in ? ub2(std::strlen(c.in) + 1) : 0;
        OCIBind* b = nullptr;
        OCIBindByName(st, &b, err, (const OraText*)":x", -1, buf, c.size, c.type, &ind, &len, nullptr, 0, nullptr, 0);
        EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR) << c.block;
        EXPECT_EQ(ErrText(err), "ORA-06502: PL/SQL: numeric or value error: character string buffer too small\n"
                                "ORA-06512: at line 1") << c.block;
        OCIHandleFree(st, OCI_HTYPE_STMT);
    }
    // a value that fits exactly is delivered whole
    OCIStmt* st = Prepare("begin :x := 'abc'; end;");
    char buf[4] = {};
    sb2 ind = -1;
    OCIBind* b = nullptr;
    OCIBindByName(st, &b, err, (const OraText*)":x", -1, buf, 4, SQLT_STR, &ind, nullptr, nullptr, 0, nullptr, 0);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    EXPECT_STREQ(buf, "abc");
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // a select keeps the truncation of a define
    char small[3] = {};
    ub2 len = 0;
    EXPECT_EQ(FetchAs("select 'abcdef' from dual", SQLT_CHR, small, 3, &len), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrCode(err), 1406);
}

} // namespace

namespace {

// After SET TRANSACTION READ ONLY every change fails with ORA-01456 until the transaction ends;
// queries still run, and a commit or a rollback makes changes possible again.
TEST_F(Fidelity, ReadOnlyTransactionRefusesChanges) {
    const std::string refused = "ORA-01456: may not perform insert/delete/update operation inside a READ ONLY transaction";
    ASSERT_EQ(Exec("create table r (id number, v varchar2(10))"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into r values (1, 'a')"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransCommit(svc, err, OCI_DEFAULT), OCI_SUCCESS);
    const char* changes[] = {
        "insert into r values (2, 'b')",
        "update r set v = 'x'",
        "delete from r",
        "merge into r using dual on (r.id = 1) when matched then update set v = 'y'",
        "begin insert into r values (3, 'c'); end;",
    };
    for (const char* end : {"commit", "rollback"}) {
        ASSERT_EQ(Exec("set transaction read only"), OCI_SUCCESS) << ErrText(err);
        for (const char* sql : changes) {
            EXPECT_EQ(Exec(sql), OCI_ERROR) << sql;
            EXPECT_EQ(ErrText(err).substr(0, refused.size()), refused) << sql;
        }
        EXPECT_EQ(Scalar("select count(*) || v from r group by v"), "1a");
        ASSERT_EQ(Exec(end), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("update r set v = 'z'"), OCI_SUCCESS) << end << ": " << ErrText(err);
        ASSERT_EQ(Exec("rollback"), OCI_SUCCESS);
    }
    // OCI's own transaction calls end it too, and read write transactions change as before
    ASSERT_EQ(Exec("set transaction read only"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransRollback(svc, err, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(Exec("set transaction read write"), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Exec("insert into r values (4, 'd')"), OCI_SUCCESS) << ErrText(err);
}

} // namespace

namespace {

// A session of its own on `dir` with NLS_LANG as given while its environment is created.
struct NlsSession {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    NlsSession(const std::string& dir, const char* nlsLang) {
        setenv("NLS_LANG", nlsLang, 1);
        OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        unsetenv("NLS_LANG");
        OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
        OCILogon(env, err, &svc, (const OraText*)"SCOTT", 5, (const OraText*)"TIGER", 5, (const OraText*)dir.c_str(), (ub4)dir.size());
    }
    ~NlsSession() {
        if (svc) OCILogoff(svc, err);
        OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    sword Exec(const std::string& sql) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        sword r = OCIStmtPrepare(st, err, (const OraText*)sql.data(), (ub4)sql.size(), OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
    std::string Scalar(const std::string& sql, ub2 csid = 0) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        char buf[200] = {};
        ub2 len = 0;
        sb2 ind = 0;
        OCIDefine* def = nullptr;
        sword r = OCIStmtPrepare(st, err, (const OraText*)sql.data(), (ub4)sql.size(), OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &def, err, 1, buf, sizeof buf, SQLT_CHR, &ind, &len, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS && csid) r = OCIAttrSet(def, OCI_HTYPE_DEFINE, &csid, 0, OCI_ATTR_CHARSET_ID, err);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r == OCI_SUCCESS ? std::string(buf, len) : "<error " + ErrText(err) + ">";
    }
};

// Text goes between the client's character set (NLS_LANG) and the database's both ways: a
// code-page-1251 client writes Cyrillic in its own bytes, and a UTF-8 client reads it in UTF-8.
TEST(FidelityCharset, ClientSetFromNlsLang) {
    std::string dir = TempDir("nls");
    const std::string cp1251 = "\xcf\xf0\xe8\xe2\xe5\xf2";                                   // Привет
    const std::string utf8 = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    {
        NlsSession ru(dir, "RUSSIAN_CIS.CL8MSWIN1251");
        if (!ru.svc && ErrCode(ru.err) == 12541) GTEST_SKIP() << "no database engine in this build";
        ASSERT_TRUE(ru.svc) << ErrText(ru.err);
        ASSERT_EQ(ru.Exec("create table c (v varchar2(40))"), OCI_SUCCESS) << ErrText(ru.err);
        ASSERT_EQ(ru.Exec("insert into c values ('" + cp1251 + "')"), OCI_SUCCESS) << ErrText(ru.err);
        ASSERT_EQ(OCITransCommit(ru.svc, ru.err, OCI_DEFAULT), OCI_SUCCESS);
        EXPECT_EQ(ru.Scalar("select v from c"), cp1251);
        EXPECT_EQ(ru.Scalar("select length(v) from c"), "6");
        EXPECT_EQ(ru.Scalar("select v from c", 873), utf8);        // the define's own set wins
    }
    {
        NlsSession en(dir, "AMERICAN_AMERICA.AL32UTF8");
        ASSERT_TRUE(en.svc) << ErrText(en.err);
        EXPECT_EQ(en.Scalar("select v from c"), utf8);
        EXPECT_EQ(en.Scalar("select lengthb(v) from c"), "12");
        ASSERT_EQ(en.Exec("insert into c values ('caf\xc3\xa9 \xd0\xaf')"), OCI_SUCCESS) << ErrText(en.err);
        ASSERT_EQ(OCITransCommit(en.svc, en.err, OCI_DEFAULT), OCI_SUCCESS);
    }
    {   // a character the client's set lacks arrives as '?'
        NlsSession ru(dir, "RUSSIAN_CIS.CL8MSWIN1251");
        ASSERT_TRUE(ru.svc) << ErrText(ru.err);
        EXPECT_EQ(ru.Scalar("select v from c where v like 'caf%'"), "caf? \xdf");
        EXPECT_EQ(ru.Scalar("select count(*) from c where v = '" + cp1251 + "'"), "1");
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
