// The OCI7 calls on the logon and cursor data areas.
#include "ocisim/tests/OciFixture.h"

#include <cstddef>
#include <cstring>

using namespace ocitest;

namespace {

static_assert(sizeof(Cda_Def) == 88 && sizeof(Lda_Def) == 88, "64-bit data areas");
static_assert(offsetof(Cda_Def, rc) == 12 && offsetof(Cda_Def, rpc) == 4 && offsetof(Cda_Def, peo) == 8, "layout");

struct Oci7 : ::testing::Test {
    std::string dir;
    Lda_Def lda;
    ub1 hda[HDA_SIZE];
    Cda_Def cda;
    bool logged = false;
    void SetUp() override {
        dir = TempDir("oci7");
        std::string uid = "scott/tiger@" + dir;
        memset(hda, 0, sizeof hda);
        sword r = orlon(&lda, hda, (OraText*)uid.c_str(), -1, nullptr, -1, 0);
        if (r != 0 && lda.rc == 12541) GTEST_SKIP() << "no database engine in this build";
        ASSERT_EQ(r, 0) << Message(lda.rc);
        logged = true;
        ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    }
    void TearDown() override {
        if (logged) {
            oclose(&cda);
            EXPECT_EQ(ologof(&lda), 0);
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Message(ub2 rc) {
        text buf[512];
        oerhms(&lda, (sb2)rc, buf, sizeof buf);
        return (char*)buf;
    }
    sword Run(const char* sql) {
        sword r = oparse(&cda, (OraText*)sql, -1, 0, 2);
        if (r) return r;
        return oexec(&cda);
    }
};

TEST(Oci7Logon, WrongPasswordAndOlog) {
    std::string dir = TempDir("oci7l");
    Lda_Def lda;
    ub1 hda[HDA_SIZE] = {0};
    std::string uid = "scott/wrong@" + dir;
    sword r = orlon(&lda, hda, (OraText*)uid.c_str(), -1, nullptr, -1, 0);
    if (r != 0 && lda.rc == 12541) GTEST_SKIP() << "no database engine in this build";
    EXPECT_EQ(lda.rc, 1017);
    text buf[200];
    oerhms(&lda, (sb2)lda.rc, buf, sizeof buf);
    EXPECT_STREQ((char*)buf, "ORA-01017: invalid username/password; logon denied\n");
    ASSERT_EQ(olog(&lda, hda, (OraText*)"scott", -1, (OraText*)"tiger", -1, (OraText*)dir.c_str(), -1, 0), 0);
    EXPECT_EQ(ologof(&lda), 0);
    EXPECT_NE(ologof(&lda), 0);  // no longer logged on
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST_F(Oci7, BindExecuteDescribeFetch) {
    ASSERT_EQ(Run("create table t (id number(5), name varchar2(20))"), 0) << Message(cda.rc);
    ASSERT_EQ(oparse(&cda, (OraText*)"insert into t values (:id, :name)", -1, 1, 2), 0);
    sb4 ids[3] = {1, 2, 3};
    char names[3][8] = {"one", "two", "three"};
    ub2 lens[3] = {3, 3, 5};
    ASSERT_EQ(obndra(&cda, (OraText*)":id", -1, (ub1*)ids, 4, SQLT_INT, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1), 0);
    ASSERT_EQ(obndra(&cda, (OraText*)":name", -1, (ub1*)names, 8, SQLT_CHR, -1, nullptr, lens, nullptr, 0, nullptr, nullptr, -1, -1), 0);
    ASSERT_EQ(oexn(&cda, 3, 0), 0) << Message(cda.rc);
    EXPECT_EQ(cda.rpc, 3u);
    EXPECT_EQ(cda.ft, 3);  // INSERT
    EXPECT_NE(cda.rid.rd.rcs4, 0u);  // the data object number of the last row inserted
    EXPECT_NE(cda.rid.rcs7 | cda.rid.rcs8, 0u);
    ASSERT_EQ(ocom(&lda), 0);

    ASSERT_EQ(oparse(&cda, (OraText*)"select id, name from t order by id", -1, 0, 2), 0);
    EXPECT_EQ(cda.ft, 4);  // SELECT
    sb4 dbsize = 0, cbufl = 32, dsize = 0;
    sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
    sb1 cbuf[32];
    ASSERT_EQ(odescr(&cda, 2, &dbsize, &dbtype, cbuf, &cbufl, &dsize, &prec, &scale, &nullok), 0);
    EXPECT_EQ(std::string((char*)cbuf, cbufl), "NAME");
    EXPECT_EQ(dbtype, 1);
    EXPECT_EQ(dbsize, 20);
    EXPECT_EQ(odescr(&cda, 3, &dbsize, &dbtype, cbuf, &cbufl, &dsize, &prec, &scale, &nullok), 1007);
    sb4 id[2];
    char name[2][4];
    sb2 ind[2];
    ub2 rlen[2], rcode[2];
    ASSERT_EQ(odefin(&cda, 1, (ub1*)id, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(odefin(&cda, 2, (ub1*)name, 4, SQLT_CHR, -1, ind, nullptr, -1, -1, rlen, rcode), 0);
    ASSERT_EQ(oexec(&cda), 0);
    ASSERT_EQ(ofen(&cda, 2), 0) << Message(cda.rc);
    EXPECT_EQ(id[1], 2);
    EXPECT_EQ(std::string(name[1], rlen[1]), "two");
    EXPECT_EQ(cda.rpc, 2u);
    EXPECT_EQ(ofen(&cda, 1), 1406);   // "three" does not fit four bytes
    EXPECT_EQ(rcode[0], 1406);
    EXPECT_EQ(cda.rpc, 3u);
    EXPECT_EQ(ofen(&cda, 2), 1403);
    EXPECT_EQ(cda.v2_rc, 4);
}

TEST_F(Oci7, MessagesOfErrorsNotRaisedYet) {
    // oerhms knows the texts of the engine's errors before any call has raised them
    struct Case { ub2 code; const char* text; };
    for (const Case& c : {Case{1476, "ORA-01476: divisor is equal to zero\n"}, Case{2289, "ORA-02289: sequence does not exist\n"},
                          Case{22920, "ORA-22920: row containing the LOB value is not locked\n"},
                          Case{904, "ORA-00904: invalid identifier\n"},
                          Case{29999, "ORA-29999: Message 29999 not found; product=RDBMS; facility=ORA\n"}})
        EXPECT_EQ(Message(c.code), c.text);
}

TEST_F(Oci7, ParseErrorsAndLong) {
    EXPECT_EQ(oparse(&cda, (OraText*)"select * from no_such_table", -1, 0, 2), 942);
    EXPECT_EQ(cda.rc, 942);
    EXPECT_EQ(cda.peo, 14);
    EXPECT_EQ(Message(942), "ORA-00942: table or view does not exist\n");
    // a deferred parse reports at execution
    EXPECT_EQ(oparse(&cda, (OraText*)"select * from no_such_table", -1, 1, 2), 0);
    EXPECT_EQ(oexec(&cda), 942);

    ASSERT_EQ(Run("create table l (txt long)"), 0) << Message(cda.rc);
    ASSERT_EQ(Run("insert into l values ('abcdefghij')"), 0) << Message(cda.rc);
    ASSERT_EQ(oparse(&cda, (OraText*)"select txt from l", -1, 0, 2), 0);
    char head[4];
    sb2 ind = 0;
    ub2 rlen = 0, rcode = 0;
    ASSERT_EQ(odefin(&cda, 1, (ub1*)head, 4, SQLT_LNG, -1, &ind, nullptr, -1, -1, &rlen, &rcode), 0);
    ASSERT_EQ(oexec(&cda), 0);
    // truncated: the returned length is what the buffer holds, the indicator the whole length
    EXPECT_EQ(ofen(&cda, 1), 1406);
    EXPECT_EQ(rlen, 4);
    EXPECT_EQ(ind, 10);
    EXPECT_EQ(rcode, 1406);
    EXPECT_EQ(std::string(head, rlen), "abcd");
    char rest[16];
    ub4 got = 0;
    ASSERT_EQ(oflng(&cda, 1, (ub1*)rest, sizeof rest, SQLT_LNG, &got, 4), 0);
    EXPECT_EQ(std::string(rest, got), "efghij");
}

TEST_F(Oci7, AutoCommitAndRollback) {
    ASSERT_EQ(Run("create table t (n number)"), 0) << Message(cda.rc);
    ASSERT_EQ(Run("insert into t values (1)"), 0);
    ASSERT_EQ(orol(&lda), 0);
    ASSERT_EQ(ocon(&lda), 0);
    ASSERT_EQ(Run("insert into t values (2)"), 0);
    ASSERT_EQ(orol(&lda), 0);  // already committed
    ASSERT_EQ(ocof(&lda), 0);
    ASSERT_EQ(oparse(&cda, (OraText*)"select sum(n) from t", -1, 0, 2), 0);
    sb4 sum = 0;
    ASSERT_EQ(odefin(&cda, 1, (ub1*)&sum, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(oexfet(&cda, 1, 0, 0), 0) << Message(cda.rc);
    EXPECT_EQ(sum, 2);
}

TEST_F(Oci7, CursorVariableBoundToACursorDataArea) {
    ASSERT_EQ(Run("create table t (id number, name varchar2(10))"), 0) << Message(cda.rc);
    ASSERT_EQ(Run("insert into t select level, 'n' || level from dual connect by level <= 3"), 0) << Message(cda.rc);
    Cda_Def cur;   // a cursor variable needs no oopen: the block opens it
    memset(&cur, 0, sizeof cur);
    ASSERT_EQ(oparse(&cda, (OraText*)"begin open :c for select id, name from t where id >= :lo order by id; end;", -1, 0, 2), 0)
        << Message(cda.rc);
    sb4 lo = 2;
    ASSERT_EQ(obndra(&cda, (OraText*)":c", -1, (ub1*)&cur, -1, SQLT_CUR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1), 0)
        << Message(cda.rc);
    ASSERT_EQ(obndra(&cda, (OraText*)":lo", -1, (ub1*)&lo, 4, SQLT_INT, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1), 0);
    ASSERT_EQ(oexec(&cda), 0) << Message(cda.rc);
    // the bound cursor is described, defined and fetched like a parsed query
    sb4 dbsize = 0, cbufl = 16;
    sb2 dbtype = 0;
    sb1 cbuf[16];
    ASSERT_EQ(odescr(&cur, 2, &dbsize, &dbtype, cbuf, &cbufl, nullptr, nullptr, nullptr, nullptr), 0) << Message(cur.rc);
    EXPECT_EQ(std::string((char*)cbuf, cbufl), "NAME");
    sb4 ids[4] = {};
    char names[4][11];
    ub2 rlen[4] = {};
    ASSERT_EQ(odefin(&cur, 1, (ub1*)ids, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(odefin(&cur, 2, (ub1*)names, 11, SQLT_CHR, -1, nullptr, nullptr, -1, -1, rlen, nullptr), 0);
    EXPECT_EQ(ofen(&cur, 4), 1403);
    EXPECT_EQ(cur.rpc, 2u);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(std::string(names[1], rlen[1]), "n3");
    // bound again and run again, the same data area gets the new rows
    lo = 3;
    ASSERT_EQ(oexec(&cda), 0) << Message(cda.rc);
    ASSERT_EQ(odefin(&cur, 1, (ub1*)ids, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    EXPECT_EQ(ofen(&cur, 4), 1403);
    EXPECT_EQ(cur.rpc, 1u);
    EXPECT_EQ(ids[0], 3);
    // the statement's own data area, or none, is no cursor variable
    EXPECT_EQ(obndra(&cda, (OraText*)":c", -1, (ub1*)&cda, -1, SQLT_CUR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1), 1001);
    EXPECT_EQ(obndra(&cda, (OraText*)":c", -1, nullptr, -1, SQLT_CUR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1), 1001);
    EXPECT_EQ(oclose(&cur), 0);
    EXPECT_EQ(ofen(&cur, 1), 1001);
}

TEST_F(Oci7, ParseErrorOffsetsOfMalformedStatements) {
    struct Case { const char* sql; ub2 rc; ub2 peo; };
    for (const Case& c : {Case{"select * fro dual", 923, 9}, Case{"select 1 from dual where", 936, 24},
                          Case{"select 'abc from dual", 1756, 7}, Case{"insert into t values (1,", 936, 24},
                          Case{"select nosuch from dual", 904, 7}, Case{"update no_such set x = 1", 942, 7},
                          Case{"select # from dual", 911, 7}}) {
        EXPECT_EQ(oparse(&cda, (OraText*)c.sql, -1, 0, 2), c.rc) << c.sql;
        EXPECT_EQ(cda.rc, c.rc) << c.sql;
        EXPECT_EQ(cda.peo, c.peo) << c.sql;
    }
    EXPECT_EQ(oparse(&cda, (OraText*)"select 1 from dual", -1, 0, 2), 0);
    EXPECT_EQ(cda.peo, 0);
}

TEST(Oci7Cursor, CallsOnAClosedCursor) {
    Cda_Def cda;
    memset(&cda, 0, sizeof cda);
    EXPECT_EQ(oparse(&cda, (OraText*)"select 1 from dual", -1, 0, 2), 1001);
    EXPECT_EQ(ofen(&cda, 1), 1001);
    Lda_Def lda;
    memset(&lda, 0, sizeof lda);
    EXPECT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 1012);
}

} // namespace
