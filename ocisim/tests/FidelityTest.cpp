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
