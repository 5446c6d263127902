// Several sessions on several threads at once, and OCIBreak of a call another thread runs.
#include "ocisim/tests/OciFixture.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

using namespace ocitest;

namespace {

using Threads = Db;

TEST_F(Threads, ConcurrentSessionsAndBreak) {
    ASSERT_EQ(Exec("create table t (who number, n number)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << ErrText(err);
    constexpr int kThreads = 4, kRows = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kThreads; ++w) {
        workers.emplace_back([&, w] {
            OCIError* e = nullptr;
            OCIHandleAlloc(env, (void**)&e, OCI_HTYPE_ERROR, 0, nullptr);
            OCISvcCtx* s = nullptr;
            if (OCILogon(env, e, &s, (const OraText*)"scott", 5, (const OraText*)"tiger", 5, (const OraText*)dir.c_str(), (ub4)dir.size()) != OCI_SUCCESS) {
                ++failures;
                return;
            }
            OCIStmt* st = nullptr;
            OCIHandleAlloc(env, (void**)&st, OCI_HTYPE_STMT, 0, nullptr);
            const char* sql = "insert into t values (:w, :n)";
            OCIStmtPrepare(st, e, (const OraText*)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX, 0);
            sb4 who = w, n = 0;
            OCIBind* b = nullptr;
            OCIBindByPos(st, &b, e, 1, &who, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
            OCIBindByPos(st, &b, e, 2, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
            for (n = 0; n < kRows; ++n)
                if (OCIStmtExecute(s, st, e, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS) ++failures;
            OCIHandleFree(st, OCI_HTYPE_STMT);
            OCILogoff(s, e);
            OCIHandleFree(e, OCI_HTYPE_ERROR);
        });
    }
    for (auto& t : workers) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Scalar("select count(*) from t"), std::to_string(kThreads * kRows));

    // a long query on this session, interrupted from another thread
    OCIStmt* st = Prepare("select count(*) from t a, t b, t c, t d");
    std::atomic<bool> started{false};
    sword status = OCI_SUCCESS;
    std::thread runner([&] {
        started = true;
        status = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    OCIError* e2 = nullptr;
    OCIHandleAlloc(env, (void**)&e2, OCI_HTYPE_ERROR, 0, nullptr);
    EXPECT_EQ(OCIBreak(svc, e2), OCI_SUCCESS);
    runner.join();
    EXPECT_EQ(status, OCI_ERROR);
    EXPECT_EQ(ErrText(err), "ORA-01013: user requested cancel of current operation");
    OCIHandleFree(st, OCI_HTYPE_STMT);
    // the session goes on working after the break
    EXPECT_EQ(Scalar("select count(*) from t where who = 0"), std::to_string(kRows));
}

} // namespace

namespace {

TEST_F(Threads, BreakWithNothingRunningIsDiscarded) {
    EXPECT_EQ(OCIBreak(svc, err), OCI_SUCCESS);
    EXPECT_EQ(Scalar("select 1 from dual"), "1");
    EXPECT_EQ(OCIBreak(nullptr, err), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIBreak(err, err), OCI_INVALID_HANDLE);
}

} // namespace

namespace {

TEST_F(Threads, Oci7BreakInterruptsTheRunningCursor) {
    ASSERT_EQ(Exec("create table b (n number)"), OCI_SUCCESS) << ErrText(err);
    OCIStmt* st = Prepare("insert into b values (:n)");
    sb4 values[200];
    for (int i = 0; i < 200; ++i) values[i] = i;
    OCIBind* bind = nullptr;
    OCIBindByPos(st, &bind, err, 1, values, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ASSERT_EQ(OCIStmtExecute(svc, st, err, 200, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << ErrText(err);
    OCIHandleFree(st, OCI_HTYPE_STMT);

    Lda_Def lda;
    ub1 hda[HDA_SIZE] = {0};
    std::string uid = "scott/tiger@" + dir;
    ASSERT_EQ(orlon(&lda, hda, (OraText*)uid.c_str(), -1, nullptr, -1, 0), 0);
    EXPECT_EQ(obreak(&lda), 0);  // nothing running: discarded
    Cda_Def cda;
    ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(oparse(&cda, (OraText*)"select count(*) from b w, b x, b y, b z", -1, 0, 2), 0) << cda.rc;
    sb4 count = 0;
    ASSERT_EQ(odefin(&cda, 1, (ub1*)&count, 4, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
    std::atomic<bool> started{false};
    sword rc = 0;
    std::thread runner([&] {
        started = true;
        rc = oexfet(&cda, 1, 0, 0);
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(obreak(&lda), 0);
    runner.join();
    EXPECT_EQ(rc, 1013);
    EXPECT_EQ(cda.rc, 1013);
    oclose(&cda);
    ologof(&lda);
}

} // namespace
