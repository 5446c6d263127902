// Sessions together through the OCI calls: row locks and waits, what one session sees of
// another's work, a killed session, and committed work surviving the process.
#include "ocisim/tests/OciFixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace ocitest;

namespace {

struct Together : Db {
    OCISvcCtx* other = nullptr;
    OCIError* err2 = nullptr;
    void SetUp() override {
        Db::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        OCIHandleAlloc(env, (void**)&err2, OCI_HTYPE_ERROR, 0, nullptr);
        other = Logon("scott", "tiger");
        ASSERT_NE(other, nullptr);
        ASSERT_EQ(Exec("create table acc (id number primary key, bal number)"), OCI_SUCCESS) << ErrText(err);
        ASSERT_EQ(Exec("insert into acc values (1, 100)"), OCI_SUCCESS);
        ASSERT_EQ(Exec("insert into acc values (2, 200)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    }
    OCISvcCtx* Logon(const char* user, const char* pw) {
        OCISvcCtx* s = nullptr;
        if (OCILogon(env, err2, &s, (const OraText*)user, (ub4)strlen(user), (const OraText*)pw, (ub4)strlen(pw), (const OraText*)dir.c_str(),
                     (ub4)dir.size()) != OCI_SUCCESS)
            return nullptr;
        return s;
    }
    // Executes a statement without binds on `on` with error handle `e`.
    sword ExecOn(OCISvcCtx* on, OCIError* e, const char* sql) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        OCIStmtPrepare(st, e, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
        ub2 type = 0;
        OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, e);
        sword r = OCIStmtExecute(on, st, e, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    }
};

TEST_F(Together, RowLocksAndWhatOthersSee) {
    // uncommitted work is this session's own
    ASSERT_EQ(Exec("update acc set bal = bal - 50 where id = 1"), OCI_SUCCESS) << ErrText(err);
    ASSERT_EQ(Exec("insert into acc values (3, 300)"), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select sum(bal) from acc"), "550");
    EXPECT_EQ(Scalar("select sum(bal) from acc", other), "300");
    EXPECT_EQ(Scalar("select bal from acc where id = 1", other), "100");

    // the changed row is locked: NOWAIT fails at once, the other row is free
    EXPECT_EQ(ExecOn(other, err2, "select * from acc where id = 1 for update nowait"), OCI_ERROR);
    EXPECT_EQ(ErrText(err2), "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    EXPECT_EQ(ExecOn(other, err2, "select * from acc where id = 2 for update nowait"), OCI_SUCCESS) << ErrText(err2);
    EXPECT_EQ(ExecOn(other, err2, "rollback"), OCI_SUCCESS);
    // an update of the locked row waits until this session commits
    std::atomic<bool> done{false};
    sword waited = OCI_ERROR;
    std::thread t([&] {
        waited = ExecOn(other, err2, "update acc set bal = bal * 2 where id = 1");
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load()) << "the update did not wait for the lock";
    ASSERT_EQ(OCITransCommit(svc, err, 0), OCI_SUCCESS) << ErrText(err);
    t.join();
    EXPECT_EQ(waited, OCI_SUCCESS) << ErrText(err2);
    // it changed the committed value, not the one it first saw
    EXPECT_EQ(Scalar("select bal from acc where id = 1", other), "100");
    EXPECT_EQ(Scalar("select bal from acc where id = 1"), "50");
    ASSERT_EQ(OCITransCommit(other, err2, 0), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select sum(bal) from acc"), "600");
    OCILogoff(other, err2);
}

TEST_F(Together, AKilledSessionLosesItsWork) {
    ASSERT_EQ(ExecOn(other, err2, "delete from acc"), OCI_SUCCESS) << ErrText(err2);
    std::string me = Scalar("select sid || ',' || serial# from v$session where audsid = userenv('SESSIONID')", other);
    ASSERT_NE(me.find(','), std::string::npos) << me;
    // SCOTT may not kill; SYSTEM may
    std::string kill = "alter system kill session '" + me + "'";
    EXPECT_EQ(ExecOn(svc, err, kill.c_str()), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 1031);
    OCISvcCtx* system = Logon("system", "manager");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(ExecOn(system, err, "alter system kill session '99999,1'"), OCI_ERROR);
    EXPECT_EQ(ErrCode(err), 30);
    ASSERT_EQ(ExecOn(system, err, kill.c_str()), OCI_SUCCESS) << ErrText(err);
    // its next call fails; its delete is undone and its lock gone
    EXPECT_EQ(ExecOn(other, err2, "select 1 from dual"), OCI_ERROR);
    EXPECT_EQ(ErrText(err2), "ORA-00028: your session has been killed");
    EXPECT_EQ(OCITransCommit(other, err2, 0), OCI_ERROR);
    EXPECT_EQ(Scalar("select count(*) from acc"), "2");
    EXPECT_EQ(Exec("update acc set bal = 0 where id = 1"), OCI_SUCCESS) << ErrText(err);
    EXPECT_EQ(OCILogoff(other, err2), OCI_SUCCESS);
    OCILogoff(system, err);
}

TEST(TogetherDurability, CommittedWorkSurvivesTheProcess) {
    std::string dir = TempDir("durable");
    // a child process commits some work, leaves more uncommitted and ends without cleaning up
    pid_t pid = fork();
    if (pid == 0) {
        OCIEnv* env = nullptr;
        OCIError* err = nullptr;
        OCISvcCtx* svc = nullptr;
        OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
        if (OCILogon(env, err, &svc, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(), (ub4)dir.size()) !=
            OCI_SUCCESS)
            _exit(ErrCode(err) == 12541 ? 3 : 1);
        for (const char* sql : {"create table t (n number)", "insert into t values (1)", "commit", "insert into t values (2)",
                                "update emp set sal = 0"}) {
            OCIStmt* st = nullptr;
            OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
            OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
            if (OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS) _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "no database engine in this build";
    ASSERT_EQ(WEXITSTATUS(status), 0);

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, nullptr);
    ASSERT_EQ(OCILogon(env, err, &svc, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(), (ub4)dir.size()),
              OCI_SUCCESS) << ErrText(err);
    auto scalar = [&](const char* sql) {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
        OCIStmtPrepare(st, err, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
        char buf[64] = {};
        ub2 len = 0;
        OCIDefine* d = nullptr;
        std::string out = "<error>";
        if (OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS &&
            OCIDefineByPos(st, &d, err, 1, buf, sizeof buf, SQLT_CHR, nullptr, &len, nullptr, 0) == OCI_SUCCESS &&
            OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, 0) == OCI_SUCCESS)
            out = std::string(buf, len);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return out;
    };
    EXPECT_EQ(scalar("select count(*) || ',' || sum(n) from t"), "1,1");
    EXPECT_EQ(scalar("select sum(sal) from emp"), "29025");
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
