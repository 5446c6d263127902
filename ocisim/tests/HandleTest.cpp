// Environments, handles, descriptors, attributes and error records, without a database.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <vector>

using namespace ocitest;

namespace {

struct Env : ::testing::Test {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    void SetUp() override {
        ASSERT_EQ(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
    }
    void TearDown() override { OCIHandleFree(env, OCI_HTYPE_ENV); }
};

TEST(Environment, CreateInitAndModes) {
    for (ub4 mode : {OCI_DEFAULT, OCI_THREADED, OCI_OBJECT, OCI_THREADED | OCI_OBJECT, OCI_THREADED | OCI_NO_MUTEX}) {
        OCIEnv* env = nullptr;
        void* user = nullptr;
        ASSERT_EQ(OCIEnvCreate(&env, mode, nullptr, nullptr, nullptr, nullptr, 64, &user), OCI_SUCCESS) << mode;
        ASSERT_NE(env, nullptr);
        ASSERT_NE(user, nullptr);
        std::memset(user, 0xAB, 64);  // the extra memory is the caller's
        EXPECT_EQ(OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
    }
    ASSERT_EQ(OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr), OCI_SUCCESS);
    for (ub4 mode : {0u, 8u}) {
        OCIEnv* env = nullptr;
        ASSERT_EQ(OCIEnvInit(&env, mode, 0, nullptr), OCI_SUCCESS);
        EXPECT_EQ(OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
    }
    EXPECT_EQ(OCIEnvCreate(nullptr, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIEnvInit(nullptr, 0, 0, nullptr), OCI_INVALID_HANDLE);
}

TEST_F(Env, HandlesCarryTheirType) {
    struct { ub4 type; } kinds[] = {{OCI_HTYPE_ERROR}, {OCI_HTYPE_SVCCTX}, {OCI_HTYPE_STMT}, {OCI_HTYPE_SERVER},
                                    {OCI_HTYPE_SESSION}, {OCI_HTYPE_TRANS}, {OCI_HTYPE_SPOOL}};
    for (auto k : kinds) {
        void* h = nullptr;
        ASSERT_EQ(OCIHandleAlloc(env, &h, k.type, 0, nullptr), OCI_SUCCESS) << k.type;
        // freeing as another type is refused and leaves the handle alive
        ub4 other = k.type == OCI_HTYPE_STMT ? OCI_HTYPE_ERROR : OCI_HTYPE_STMT;
        EXPECT_EQ(OCIHandleFree(h, other), OCI_INVALID_HANDLE) << k.type;
        EXPECT_EQ(OCIHandleFree(h, k.type), OCI_SUCCESS) << k.type;
        EXPECT_EQ(OCIHandleFree(h, k.type), OCI_INVALID_HANDLE) << "double free of " << k.type;
    }
    void* h = nullptr;
    EXPECT_EQ(OCIHandleAlloc(env, &h, OCI_HTYPE_BIND, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleAlloc(env, &h, 9999, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleAlloc(err, &h, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);  // parent must be an environment
    EXPECT_EQ(OCIHandleAlloc(nullptr, &h, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
    int notAHandle = 42;
    EXPECT_EQ(OCIHandleFree(&notAHandle, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
}

TEST_F(Env, FreedAndWrongHandlesAreRejectedByCalls) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    const char* sql = "select 1 from dual";
    EXPECT_EQ(OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtPrepare((OCIStmt*)err, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtFetch(nullptr, err, 1, OCI_FETCH_NEXT, 0), OCI_INVALID_HANDLE);
    ub4 v = 0;
    EXPECT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &v, nullptr, OCI_ATTR_ROW_COUNT, err), OCI_INVALID_HANDLE);
    // a freed error handle cannot receive errors
    OCIError* e2 = nullptr;
    OCIHandleAlloc(env, (void**)&e2, OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleFree(e2, OCI_HTYPE_ERROR);
    sb4 code = 0;
    EXPECT_EQ(OCIErrorGet(e2, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    // freeing the environment frees what it holds
    OCIEnv* env2 = nullptr;
    OCIEnvCreate(&env2, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIStmt* st2 = nullptr;
    OCIHandleAlloc(env2, (void**)&st2, OCI_HTYPE_STMT, 0, nullptr);
    OCIHandleFree(env2, OCI_HTYPE_ENV);
    EXPECT_EQ(OCIHandleFree(st2, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
}

TEST_F(Env, Descriptors) {
    for (ub4 type : {OCI_DTYPE_ROWID, OCI_DTYPE_LOB, OCI_DTYPE_FILE, OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ,
                     OCI_DTYPE_TIMESTAMP_LTZ}) {
        void* d = nullptr;
        ASSERT_EQ(OCIDescriptorAlloc(env, &d, type, 0, nullptr), OCI_SUCCESS) << type;
        EXPECT_EQ(OCIDescriptorFree(d, type == OCI_DTYPE_LOB ? OCI_DTYPE_FILE : OCI_DTYPE_LOB), OCI_INVALID_HANDLE);
        EXPECT_EQ(OCIDescriptorFree(d, type), OCI_SUCCESS);
        EXPECT_EQ(OCIDescriptorFree(d, type), OCI_INVALID_HANDLE);
    }
    void* d = nullptr;
    EXPECT_EQ(OCIDescriptorAlloc(env, &d, OCI_DTYPE_PARAM, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIDescriptorAlloc(env, &d, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
}

TEST_F(Env, AttributesHaveTheirPublishedSizes) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    ub4 rows = 0, size = 0;
    ASSERT_EQ(OCIAttrSet(st, OCI_HTYPE_STMT, &rows, 4, OCI_ATTR_PREFETCH_ROWS, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrSet(st, OCI_HTYPE_STMT, &rows, 4, OCI_ATTR_PREFETCH_MEMORY, err), OCI_SUCCESS);
    // a wrong size or an attribute the handle does not have is an error on the error handle
    EXPECT_EQ(OCIAttrSet(st, OCI_HTYPE_STMT, &rows, 2, OCI_ATTR_PREFETCH_ROWS, err), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 24315);
    EXPECT_EQ(OCIAttrSet(st, OCI_HTYPE_STMT, &rows, 4, OCI_ATTR_USERNAME, err), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-24315: illegal attribute type");
    ASSERT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &rows, &size, OCI_ATTR_ROW_COUNT, err), OCI_SUCCESS);
    EXPECT_EQ(size, 4u);
    ub2 type = 99;
    const char* sql = "  Update emp set sal = 1";
    OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
    ASSERT_EQ(OCIAttrGet(st, OCI_HTYPE_STMT, &type, &size, OCI_ATTR_STMT_TYPE, err), OCI_SUCCESS);
    EXPECT_EQ(type, OCI_STMT_UPDATE);
    EXPECT_EQ(size, 2u);

    OCISvcCtx* svc = nullptr;
    OCIServer* srv = nullptr;
    OCISession* ses = nullptr;
    OCIHandleAlloc(env, (void**)&svc, OCI_HTYPE_SVCCTX, 0, nullptr);
    OCIHandleAlloc(env, (void**)&srv, OCI_HTYPE_SERVER, 0, nullptr);
    OCIHandleAlloc(env, (void**)&ses, OCI_HTYPE_SESSION, 0, nullptr);
    ASSERT_EQ(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err), OCI_SUCCESS);
    EXPECT_EQ(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SERVER, err), OCI_INVALID_HANDLE);  // not a server
    void* got = nullptr;
    ASSERT_EQ(OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &got, nullptr, OCI_ATTR_SERVER, err), OCI_SUCCESS);
    EXPECT_EQ(got, srv);
    ASSERT_EQ(OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &got, nullptr, OCI_ATTR_ENV, err), OCI_SUCCESS);
    EXPECT_EQ(got, env);
    ub4 cache = 30;
    EXPECT_EQ(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, &cache, 4, OCI_ATTR_STMTCACHESIZE, err), OCI_SUCCESS);
    cache = 0;
    OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &cache, nullptr, OCI_ATTR_STMTCACHESIZE, err);
    EXPECT_EQ(cache, 30u);
    EXPECT_EQ(OCIAttrSet(ses, OCI_HTYPE_SESSION, (void*)"scott", 5, OCI_ATTR_USERNAME, err), OCI_SUCCESS);
    ub2 csid = 0;
    ASSERT_EQ(OCIAttrGet(env, OCI_HTYPE_ENV, &csid, &size, OCI_ATTR_ENV_CHARSET_ID, err), OCI_SUCCESS);
    EXPECT_EQ(size, 2u);
}

TEST_F(Env, ErrorRecordsAndUnimplementedNames) {
    sb4 code = -1;
    EXPECT_EQ(OCIErrorGet(err, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR), OCI_NO_DATA);
    // an entry point of a later stage reports ORA-03001 on the error handle it was given
    EXPECT_EQ(OCITransDetach(nullptr, err, 0), OCI_ERROR);
    text buf[200];
    ASSERT_EQ(OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR), OCI_SUCCESS);
    EXPECT_EQ(code, 3001);
    EXPECT_STREQ((char*)buf, "ORA-03001: unimplemented feature\n");
    EXPECT_EQ(OCIErrorGet(err, 2, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR), OCI_NO_DATA);
    // a short buffer receives a terminated prefix
    text small[8];
    ASSERT_EQ(OCIErrorGet(err, 1, nullptr, &code, small, sizeof small, OCI_HTYPE_ERROR), OCI_SUCCESS);
    EXPECT_STREQ((char*)small, "ORA-030");
    // without an error handle there is nowhere to report
    EXPECT_EQ(OCITransDetach(nullptr, nullptr, 0), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIErrorGet(env, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
}

TEST_F(Env, CallsOnANotConnectedContext) {
    OCISvcCtx* svc = nullptr;
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&svc, OCI_HTYPE_SVCCTX, 0, nullptr);
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select * from dual";
    OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
    EXPECT_EQ(OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-03114: not connected to ORACLE");
    EXPECT_EQ(OCITransCommit(svc, err, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3114);
    EXPECT_EQ(OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 24338);
    text ver[64];
    OCIServer* srv = nullptr;
    OCIHandleAlloc(env, (void**)&srv, OCI_HTYPE_SERVER, 0, nullptr);
    EXPECT_EQ(OCIServerVersion(srv, err, ver, sizeof ver, OCI_HTYPE_SERVER), OCI_ERROR);
    EXPECT_EQ(OCIServerDetach(srv, err, 0), OCI_ERROR);
}

} // namespace

namespace {

struct Numbers : ::testing::Test {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    void SetUp() override {
        OCIEnvCreate(&env, OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    }
    void TearDown() override { OCIHandleFree(env, OCI_HTYPE_ENV); }
    std::string Text(const OCINumber& n) {
        text buf[64];
        ub4 size = sizeof buf;
        EXPECT_EQ(OCINumberToText(err, &n, (const OraText*)"TM9", 3, nullptr, 0, &size, buf), OCI_SUCCESS) << ErrText(err);
        return std::string((char*)buf, size);
    }
};

TEST_F(Numbers, OracleNumberFormatAndConversions) {
    struct Case { const char* text; std::vector<ub1> bytes; } cases[] = {
        {"0", {1, 0x80}},
        {"1", {2, 0xC1, 2}},
        {"100", {2, 0xC2, 2}},
        {"123.45", {4, 0xC2, 2, 24, 46}},
        {"-1", {3, 0x3E, 100, 102}},
        {".5", {2, 0xC0, 51}},
        {"-12.5", {4, 0x3E, 89, 51, 102}},
        {"12345678901234567890", {11, 0xCA, 13, 35, 57, 79, 91, 13, 35, 57, 79, 91}},
    };
    for (const auto& c : cases) {
        OCINumber n;
        ASSERT_EQ(OCINumberFromText(err, (const OraText*)c.text, (ub4)strlen(c.text), nullptr, 0, nullptr, 0, &n), OCI_SUCCESS) << c.text;
        EXPECT_EQ(std::vector<ub1>(n.OCINumberPart, n.OCINumberPart + c.bytes.size()), c.bytes) << c.text;
        EXPECT_EQ(Text(n), c.text);
    }
    OCINumber n;
    sb4 in = -123456, out = 0;
    ASSERT_EQ(OCINumberFromInt(err, &in, 4, OCI_NUMBER_SIGNED, &n), OCI_SUCCESS);
    ASSERT_EQ(OCINumberToInt(err, &n, 4, OCI_NUMBER_SIGNED, &out), OCI_SUCCESS);
    EXPECT_EQ(out, in);
    double d = 2.75, back = 0;
    ASSERT_EQ(OCINumberFromReal(err, &d, 8, &n), OCI_SUCCESS);
    EXPECT_EQ(Text(n), "2.75");
    ASSERT_EQ(OCINumberToReal(err, &n, 8, &back), OCI_SUCCESS);
    EXPECT_EQ(back, 2.75);
    sb2 small = 0;
    ASSERT_EQ(OCINumberToInt(err, &n, 2, OCI_NUMBER_SIGNED, &small), OCI_SUCCESS);
    EXPECT_EQ(small, 2);  // truncated toward zero
    sb8 big = 4000000000LL;
    ASSERT_EQ(OCINumberFromInt(err, &big, 8, OCI_NUMBER_SIGNED, &n), OCI_SUCCESS);
    EXPECT_EQ(OCINumberToInt(err, &n, 4, OCI_NUMBER_SIGNED, &out), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22053);
    EXPECT_EQ(OCINumberFromText(err, (const OraText*)"12x", 3, nullptr, 0, nullptr, 0, &n), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 22062);
    OCINumber garbage;
    memset(&garbage, 0xFF, sizeof garbage);
    EXPECT_EQ(OCINumberToInt(err, &garbage, 4, OCI_NUMBER_SIGNED, &out), OCI_ERROR);

    void* obj = nullptr;
    ASSERT_EQ(OCIObjectNew(env, err, nullptr, OCI_TYPECODE_NUMBER, nullptr, nullptr, OCI_DURATION_SESSION, 1, &obj), OCI_SUCCESS);
    EXPECT_EQ(Text(*static_cast<OCINumber*>(obj)), "0");
    EXPECT_EQ(OCIObjectFree(env, err, obj, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIObjectFree(env, err, obj, 0), OCI_ERROR);  // already freed
}

} // namespace

namespace {

using DateTimes = Numbers;

TEST_F(DateTimes, ConstructFormatParse) {
    OCIDateTime* ts = nullptr;
    OCIDateTime* tz = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(env, (void**)&ts, OCI_DTYPE_TIMESTAMP, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIDescriptorAlloc(env, (void**)&tz, OCI_DTYPE_TIMESTAMP_TZ, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIDateTimeConstruct(env, err, ts, 2026, 2, 28, 23, 5, 9, 123456789, nullptr, 0), OCI_SUCCESS);
    auto text = [&](OCIDateTime* d, const char* fmt, ub1 prec) {
        OraText buf[100];
        ub4 size = sizeof buf;
        EXPECT_EQ(OCIDateTimeToText(env, err, d, (const OraText*)fmt, fmt ? (ub1)strlen(fmt) : 0, prec, nullptr, 0, &size, buf), OCI_SUCCESS)
            << ErrText(err);
        return std::string((char*)buf, size);
    };
    EXPECT_EQ(text(ts, nullptr, 6), "28-FEB-26 11.05.09.123456 PM");
    EXPECT_EQ(text(ts, "YYYY-MM-DD HH24:MI:SS.FF3 Dy", 0), "2026-02-28 23:05:09.123 Sat");
    struct Bad { sb2 y; ub1 mo, d, h; sb4 code; } bad[] = {{2026, 2, 29, 0, 1847}, {2026, 13, 1, 0, 1843}, {2026, 1, 1, 24, 1850}};
    for (const auto& b : bad) {
        EXPECT_EQ(OCIDateTimeConstruct(env, err, ts, b.y, b.mo, b.d, b.h, 0, 0, 0, nullptr, 0), OCI_ERROR);
        EXPECT_EQ(ErrCode(err), b.code);
    }
    const char* in = "2024-02-29 07:08:09.5 +05:30";
    const char* fmt = "YYYY-MM-DD HH24:MI:SS.FF TZR";
    ASSERT_EQ(OCIDateTimeFromText(env, err, (const OraText*)in, strlen(in), (const OraText*)fmt, (ub1)strlen(fmt), nullptr, 0, tz),
              OCI_SUCCESS) << ErrText(err);
    sb2 y = 0;
    ub1 mo = 0, d = 0, h = 0, mi = 0, s = 0;
    ub4 fs = 0;
    sb1 th = 0, tm = 0;
    ASSERT_EQ(OCIDateTimeGetDate(env, err, tz, &y, &mo, &d), OCI_SUCCESS);
    ASSERT_EQ(OCIDateTimeGetTime(env, err, tz, &h, &mi, &s, &fs), OCI_SUCCESS);
    ASSERT_EQ(OCIDateTimeGetTimeZoneOffset(env, err, tz, &th, &tm), OCI_SUCCESS);
    EXPECT_EQ(y, 2024);
    EXPECT_EQ(mo, 2);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(s, 9);
    EXPECT_EQ(fs, 500000000u);
    EXPECT_EQ(th, 5);
    EXPECT_EQ(tm, 30);
    EXPECT_EQ(OCIDateTimeGetTimeZoneOffset(env, err, ts, &th, &tm), OCI_ERROR);  // no time zone
    ASSERT_EQ(OCIDateTimeAssign(env, err, tz, ts), OCI_SUCCESS);
    EXPECT_EQ(text(ts, "DD.MM.YYYY HH12 AM", 0), "29.02.2024 07 AM");
    EXPECT_EQ(OCIDateTimeFromText(env, err, (const OraText*)"31-FOO-24", 9, nullptr, 0, nullptr, 0, ts), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1843);
    EXPECT_EQ(OCIDateTimeFromText(env, err, (const OraText*)"2024-01-01x", 11, (const OraText*)"YYYY-MM-DD", 10, nullptr, 0, ts), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1861);
    EXPECT_EQ(OCIDateTimeGetDate(env, err, (OCIDateTime*)err, &y, &mo, &d), OCI_INVALID_HANDLE);
    OCIDescriptorFree(ts, OCI_DTYPE_TIMESTAMP);
    OCIDescriptorFree(tz, OCI_DTYPE_TIMESTAMP_TZ);
}

} // namespace

namespace {

TEST_F(Env, DefinesAndBindsCheckTheirArguments) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select a from t where b = :b";
    OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
    OCIDefine* d = nullptr;
    EXPECT_EQ(OCIDefineByPos(st, &d, err, 1, nullptr, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 21560);
    sb4 v = 0;
    EXPECT_EQ(OCIDefineByPos(st, &d, err, 0, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1007);
    EXPECT_EQ(OCIDefineByPos(st, &d, err, 1, &v, 5, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(OCIDefineByPos(st, nullptr, err, 1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_INVALID_HANDLE);
    ASSERT_EQ(OCIDefineByPos(st, &d, err, 1, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    // a define handle is freed with its statement
    EXPECT_EQ(OCIHandleFree(d, OCI_HTYPE_DEFINE), OCI_INVALID_HANDLE);
    OCIBind* b = nullptr;
    EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)":b", -1, &v, 8, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(OCIBindByName(st, &b, err, (const OraText*)":b", -1, &v, 4, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1459);
    EXPECT_EQ(OCIBindByName(st, &b, err, nullptr, 0, &v, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1036);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(OCIBindArrayOfStruct(b, err, 4, 2, 2, 2), OCI_INVALID_HANDLE);  // gone with the statement
}

} // namespace
