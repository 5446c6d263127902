// TIMESTAMP columns driven as a C client drives them: describe types, fractional seconds,
// timestamp descriptors defined and bound, TO_TIMESTAMP, TO_CHAR and SYSTIMESTAMP.
#include "ocisim/tests/OciFixture.h"

#include <ctime>
#include <string>

using namespace ocitest;

namespace {

class Timestamps : public Db {
protected:
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(Exec("create table ev (id number(4), t timestamp(3), tz timestamp with time zone, "
                       "ltz timestamp with local time zone, d date, s varchar2(10))"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into ev (id, t, tz, ltz, d, s) values (1, timestamp '2001-02-03 04:05:06.7', "
                       "timestamp '2001-02-03 16:05:06.25', null, date '2001-02-03', 'x')"), OCI_SUCCESS) << ErrText(err);
    }

    OCIDateTime* NewTs(ub4 type = OCI_DTYPE_TIMESTAMP) {
        OCIDateTime* t = nullptr;
        EXPECT_EQ(OCIDescriptorAlloc(env, (void**)&t, type, 0, nullptr), OCI_SUCCESS);
        return t;
    }

    // Fetches the first column of `sql` into a timestamp descriptor.
    sword FetchTs(const std::string& sql, OCIDateTime* t, sb2* ind, ub2 dty = SQLT_TIMESTAMP) {
        OCIStmt* st = Prepare(sql);
        OCIDefine* def = nullptr;
        sword r = OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIDefineByPos(st, &def, err, 1, &t, sizeof t, dty, ind, nullptr, nullptr, OCI_DEFAULT);
        if (r == OCI_SUCCESS) r = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }

    std::string Parts(OCIDateTime* t) {
        sb2 y = 0;
        ub1 mo = 0, d = 0, h = 0, mi = 0, s = 0;
        ub4 fs = 0;
        EXPECT_EQ(OCIDateTimeGetDate(env, err, t, &y, &mo, &d), OCI_SUCCESS);
        EXPECT_EQ(OCIDateTimeGetTime(env, err, t, &h, &mi, &s, &fs), OCI_SUCCESS);
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09u", y, mo, d, h, mi, s, fs);
        return buf;
    }
};

TEST_F(Timestamps, DescribedAsTheExternalTimestampTypes) {
    OCIStmt* st = Prepare("select t, tz, ltz, systimestamp, localtimestamp, d from ev");
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << ErrText(err);
    struct Want { ub2 type; sb1 scale; };
    Want want[] = {{187, 3}, {188, 6}, {232, 6}, {188, 6}, {187, 6}, {12, 0}};
    for (ub4 i = 1; i <= 6; ++i) {
        OCIParam* p = nullptr;
        ASSERT_EQ(OCIParamGet(st, OCI_HTYPE_STMT, err, (void**)&p, i), OCI_SUCCESS);
        ub2 type = 0;
        sb1 scale = -1;
        OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err);
        EXPECT_EQ(type, want[i - 1].type) << "column " << i;
        EXPECT_EQ(scale, want[i - 1].scale) << "column " << i;
        OCIDescriptorFree(p, OCI_DTYPE_PARAM);
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(Timestamps, FractionsSurviveDescriptorsAndText) {
    OCIDateTime* t = NewTs();
    sb2 ind = 0;
    ASSERT_EQ(FetchTs("select t from ev", t, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Parts(t), "2001-02-03 04:05:06.700000000");
    OCIDateTime* tz = NewTs(OCI_DTYPE_TIMESTAMP_TZ);
    ASSERT_EQ(FetchTs("select tz from ev", tz, &ind, SQLT_TIMESTAMP_TZ), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Parts(tz), "2001-02-03 16:05:06.250000000");
    sb1 zh = 9, zm = 9;
    ASSERT_EQ(OCIDateTimeGetTimeZoneOffset(env, err, tz, &zh, &zm), OCI_SUCCESS);
    EXPECT_EQ(zh, 0);
    // NULL needs an indicator
    ASSERT_EQ(FetchTs("select ltz from ev", t, &ind, SQLT_TIMESTAMP_LTZ), OCI_SUCCESS);
    EXPECT_EQ(ind, -1);
    EXPECT_EQ(FetchTs("select ltz from ev", t, nullptr, SQLT_TIMESTAMP_LTZ), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1405);
    // text as NLS_TIMESTAMP_FORMAT and TO_CHAR show it
    struct Case { const char* sql; const char* text; };
    for (const Case& c : {Case{"select t from ev", "03-FEB-01 04.05.06.700000 AM"},
                          Case{"select to_char(tz, 'YYYY-MM-DD HH24:MI:SS.FF3') from ev", "2001-02-03 16:05:06.250"},
                          Case{"select to_char(t, 'SS.FF') from ev", "06.700000"},
                          Case{"select to_char(to_timestamp('2020-01-02 03:04:05.123', 'YYYY-MM-DD HH24:MI:SS.FF3'), 'HH24:MI:SSXFF3') from dual", "03:04:05.123"},
                          Case{"select to_char(d, 'HH24:MI:SS.FF3') from ev", "00:00:00.000"},
                          Case{"select count(*) from ev where t > timestamp '2001-02-03 04:05:06.5'", "1"},
                          Case{"select count(*) from ev where t > timestamp '2001-02-03 04:05:06.9'", "0"}}) {
        EXPECT_EQ(Scalar(c.sql), c.text) << c.sql;
    }
    time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    EXPECT_EQ(Scalar("select to_char(systimestamp, 'YYYY') from dual"), std::to_string(lt.tm_year + 1900));
}

TEST_F(Timestamps, DescriptorsBindIntoTimestampAndDateColumns) {
    OCIDateTime* in = NewTs();
    ASSERT_EQ(OCIDateTimeConstruct(env, err, in, 2010, 12, 31, 23, 59, 58, 125000000, nullptr, 0), OCI_SUCCESS);
    OCIStmt* st = Prepare("insert into ev (id, t, d) values (2, :t, :d)");
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    ASSERT_EQ(OCIBindByName(st, &b1, err, (const OraText*)":t", 2, &in, sizeof in, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIBindByName(st, &b2, err, (const OraText*)":d", 2, &in, sizeof in, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(Scalar("select to_char(t, 'YYYY-MM-DD HH24:MI:SS.FF3') from ev where id = 2"), "2010-12-31 23:59:58.125");
    // a DATE column keeps whole seconds
    EXPECT_EQ(Scalar("select to_char(d, 'YYYY-MM-DD HH24:MI:SS') from ev where id = 2"), "2010-12-31 23:59:58");
    OCIDateTime* out = NewTs();
    sb2 ind = 0;
    ASSERT_EQ(FetchTs("select t from ev where id = 2", out, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Parts(out), "2010-12-31 23:59:58.125000000");
    // a DATE fetched into a timestamp descriptor has no fraction
    ASSERT_EQ(FetchTs("select d from ev where id = 2", out, &ind), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Parts(out), "2010-12-31 23:59:58.000000000");
}

TEST_F(Timestamps, WrongTypesAndDescriptors) {
    OCIDateTime* t = NewTs();
    sb2 ind = 0;
    EXPECT_EQ(FetchTs("select s from ev", t, &ind), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-00932: inconsistent datatypes: expected TIMESTAMP got CHAR");
    // the buffer holds no descriptor
    OCIDateTime* none = (OCIDateTime*)err;
    EXPECT_EQ(FetchTs("select t from ev", none, &ind), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1891);
    // a malformed literal
    EXPECT_EQ(Scalar("select timestamp '2001-13-01 00:00:00' from dual").rfind("<error ORA-01843", 0), 0u);
}

} // namespace
