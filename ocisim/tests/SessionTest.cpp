// Logons, passwords, server versions, transactions and session pools on a throw-away database.
#include "ocisim/tests/OciFixture.h"

#include <cstring>
#include <fstream>

using namespace ocitest;

namespace {

using Session = Db;

TEST_F(Session, LogonChecksCredentialsAndModes) {
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    struct Case { const char* user; const char* pw; ub4 mode; sb4 code; } cases[] = {
        {"SCOTT", "wrong", OCI_DEFAULT, 1017},
        {"nobody", "x", OCI_DEFAULT, 1017},
        {"system", "manager", OCI_DEFAULT, 0},
        {"SYSTEM", "MANAGER", OCI_SYSDBA, 0},
        {"scott", "tiger", OCI_DEFAULT, 0},
    };
    for (const auto& c : cases) {
        sword r = Begin(c.user, c.pw, c.mode);
        if (c.code == 0) {
            EXPECT_EQ(r, OCI_SUCCESS) << c.user << ": " << ErrText(err);
            EXPECT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
        } else {
            EXPECT_EQ(r, OCI_ERROR) << c.user;
            EXPECT_EQ(ErrCode(err), c.code) << c.user;
            EXPECT_EQ(ErrText(err), "ORA-01017: invalid username/password; logon denied");
        }
    }
    // external credentials: there is no OPS$ user for the operating-system account
    EXPECT_EQ(OCISessionBegin(svc, err, ses, OCI_CRED_EXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1017);
}

TEST_F(Session, VersionPasswordChangeAndClosedSession) {
    text ver[512] = {0};
    ASSERT_EQ(OCIServerVersion(srv, err, ver, sizeof ver, OCI_HTYPE_SERVER), OCI_SUCCESS);
    EXPECT_NE(std::string((char*)ver).find("Oracle"), std::string::npos) << ver;
    text small[8];
    ASSERT_EQ(OCIServerVersion(svc, err, small, sizeof small, OCI_HTYPE_SVCCTX), OCI_SUCCESS);
    EXPECT_EQ(strlen((char*)small), 7u);

    const char* user = "SCOTT";
    ASSERT_EQ(OCIPasswordChange(svc, err, (const OraText*)user, 5, (const OraText*)"TIGER", 5, (const OraText*)"LION", 4, OCI_DEFAULT),
              OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(Begin("SCOTT", "TIGER"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1017);
    ASSERT_EQ(Begin("SCOTT", "LION"), OCI_SUCCESS) << ErrText(err);

    // statements on an ended session
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(Exec("select * from dual"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 3114);
    EXPECT_EQ(OCITransCommit(svc, err, 0), OCI_ERROR);
    EXPECT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_ERROR);
}

TEST_F(Session, ExpiredAndExpiringPasswords) {
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(Begin("SYSTEM", "MANAGER"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("create user OLDPW identified by pw1"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("alter user OLDPW password expire"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCISessionEnd(svc, err, ses, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(Begin("OLDPW", "pw1"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 28001);
    // OCI_AUTH changes the expired password while logging on
    OCIAttrSet(ses, OCI_HTYPE_SESSION, (void*)"OLDPW", 5, OCI_ATTR_USERNAME, err);
    ASSERT_EQ(OCIPasswordChange(svc, err, (const OraText*)"OLDPW", 5, (const OraText*)"pw1", 3, (const OraText*)"pw2", 3, OCI_AUTH),
              OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select user from dual"), "OLDPW");
}

TEST_F(Session, CommitRollbackAndVisibility) {
    ASSERT_EQ(Exec("create table t (n number)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into t values (1)"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCITransRollback(svc, err, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select count(*) from t"), "0");
    ASSERT_EQ(OCITransStart(svc, err, 60, OCI_TRANS_NEW), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into t values (2)"), OCI_SUCCESS);
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS);
    ASSERT_EQ(Exec("insert into t values (3)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    // a second session sees what was committed
    OCISvcCtx* other = nullptr;
    ASSERT_EQ(OCILogon(env, err, &other, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(),
                       (ub4)dir.size()), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(Scalar("select sum(n) from t", other), "5");
    EXPECT_EQ(OCILogoff(other, err), OCI_SUCCESS);
    EXPECT_EQ(OCILogoff(other, err), OCI_INVALID_HANDLE);
}

TEST_F(Session, SessionPool) {
    OCISPool* pool = nullptr;
    ASSERT_EQ(OCIHandleAlloc(env, (void**)&pool, OCI_HTYPE_SPOOL, 0, nullptr), OCI_SUCCESS);
    OraText* name = nullptr;
    ub4 nameLen = 0;
    EXPECT_EQ(OCISessionPoolCreate(env, err, pool, &name, &nameLen, (const OraText*)dir.c_str(), (ub4)dir.size(), 0, 2, 1,
                                   (OraText*)"scott", 5, (OraText*)"bad", 3, OCI_SPC_HOMOGENEOUS), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1017);
    ASSERT_EQ(OCISessionPoolCreate(env, err, pool, &name, &nameLen, (const OraText*)dir.c_str(), (ub4)dir.size(), 1, 2, 1,
                                   (OraText*)"scott", 5, (OraText*)"tiger", 5, OCI_SPC_HOMOGENEOUS), OCI_SUCCESS) << ErrText(err);
    ub1 nowait = OCI_SPOOL_ATTRVAL_NOWAIT;
    ASSERT_EQ(OCIAttrSet(pool, OCI_HTYPE_SPOOL, &nowait, 1, OCI_ATTR_SPOOL_GETMODE, err), OCI_SUCCESS);
    OCIAuthInfo* auth = nullptr;
    OCIHandleAlloc(env, (void**)&auth, OCI_HTYPE_AUTHINFO, 0, nullptr);
    OCISvcCtx* a = nullptr;
    OCISvcCtx* b = nullptr;
    OCISvcCtx* c = nullptr;
    boolean found = 0;
    OraText* tag = nullptr;
    ub4 tagLen = 0;
    ASSERT_EQ(OCISessionGet(env, err, &a, auth, name, nameLen, nullptr, 0, &tag, &tagLen, &found, OCI_SESSGET_SPOOL), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(OCISessionGet(env, err, &b, auth, name, nameLen, nullptr, 0, &tag, &tagLen, &found, OCI_SESSGET_SPOOL), OCI_SUCCESS);
    EXPECT_EQ(OCISessionGet(env, err, &c, auth, name, nameLen, nullptr, 0, &tag, &tagLen, &found, OCI_SESSGET_SPOOL), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 24496);
    ub4 busy = 0;
    OCIAttrGet(pool, OCI_HTYPE_SPOOL, &busy, nullptr, OCI_ATTR_SPOOL_BUSY_COUNT, err);
    EXPECT_EQ(busy, 2u);
    EXPECT_EQ(Scalar("select user from dual", a), "SCOTT");
    EXPECT_EQ(OCISessionPoolDestroy(pool, err, OCI_DEFAULT), OCI_ERROR);  // sessions still out
    ASSERT_EQ(OCISessionRelease(a, err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
    ASSERT_EQ(OCISessionGet(env, err, &c, auth, name, nameLen, nullptr, 0, &tag, &tagLen, &found, OCI_SESSGET_SPOOL), OCI_SUCCESS);
    EXPECT_TRUE(found);
    EXPECT_EQ(OCISessionRelease(b, err, nullptr, 0, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCISessionRelease(c, err, nullptr, 0, OCI_SESSRLS_DROPSESS), OCI_SUCCESS);
    EXPECT_EQ(OCISessionRelease(c, err, nullptr, 0, OCI_DEFAULT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCISessionPoolDestroy(pool, err, OCI_DEFAULT), OCI_SUCCESS);
}

TEST_F(Session, ServiceContextAndLogonDataArea) {
    Lda_Def lda;
    ASSERT_EQ(OCISvcCtxToLda(svc, err, &lda), OCI_SUCCESS);
    Cda_Def cda;
    ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    const char* sql = "select 7 from dual";
    ASSERT_EQ(oparse(&cda, (OraText*)sql, -1, 0, 2), 0) << cda.rc;
    sb4 v = 0;
    sb2 ind = 0;
    ASSERT_EQ(odefin(&cda, 1, (ub1*)&v, 4, SQLT_INT, -1, &ind, nullptr, -1, -1, nullptr, nullptr), 0);
    ASSERT_EQ(oexfet(&cda, 1, 0, 0), 0) << cda.rc;
    EXPECT_EQ(v, 7);
    EXPECT_EQ(cda.rpc, 1u);
    ASSERT_EQ(oclose(&cda), 0);
    OCISvcCtx* back = nullptr;
    ASSERT_EQ(OCILdaToSvcCtx(&back, err, &lda), OCI_SUCCESS);
    EXPECT_EQ(back, svc);
    EXPECT_EQ(OCILdaToSvcCtx(&back, err, &lda), OCI_ERROR);  // already converted back
}

} // namespace

namespace {

TEST(ServerVersion, ConfiguredPerDatabase) {
    // an old server is simulated by the version line of the database's settings file
    std::string dir = TempDir("old");
    std::ofstream(dir + "/ocisim.conf") << "version=Oracle7 Server Release 7.3.4.0.0 - Production\n";
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleAlloc(env, (void**)&srv, OCI_HTYPE_SERVER, 0, nullptr);
    sword r = OCIServerAttach(srv, err, (const OraText*)dir.c_str(), (sb4)dir.size(), OCI_DEFAULT);
    if (r != OCI_SUCCESS && ErrCode(err) == 12541) GTEST_SKIP() << "no database engine in this build";
    ASSERT_EQ(r, OCI_SUCCESS) << ErrText(err);
    text ver[501];
    ASSERT_EQ(OCIServerVersion(srv, err, ver, sizeof ver, OCI_HTYPE_SERVER), OCI_SUCCESS);
    EXPECT_STREQ((char*)ver, "Oracle7 Server Release 7.3.4.0.0 - Production");
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
