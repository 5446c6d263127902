// A session's logon and logoff through a session pool against the same work without one, in
// one run on one machine, on the same stand-in database through the real client loader. Each
// cycle logs on, runs one query and logs off:
//  - own: a session with a connection of its own (a full logon and logoff every cycle);
//  - pool: a session borrowing from a ptDefault pool (the life check of the lent connection,
//    sharing it, giving it back);
//  - bare: OCISessionGet and OCISessionRelease on a client session pool, the query with bare
//    calls (the floor of what a pool can cost).
// Each side runs five rounds, taking turns going first; the best round of each side is compared.
// Usage: bench_pool [cycles]   (default 300)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/OracleSessionPool.h"

using namespace quorvel;

namespace {



void Check(sword status, void* err, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return;
    text buf[1024] = {0};
    sb4 code = 0;
    if (err) OCI.OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed (%d): %s\n", what, int(status), reinterpret_cast<char*>(buf));
    std::exit(1);
}

void Query(TOracleSession& s) {
    TOracleQuery q;
    q.SetSession(&s);
    q.SQL().Add("select count(*) from dept");
    q.Execute();
    if (q.FieldAsString(0) != "4") std::exit(2);
}

double Cycles(TOracleSession& s, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        s.LogOn();
        Query(s);
        s.LogOff();
    }
    return Seconds(start);
}

// The bare client pool: get, one query, release (kept in the client's pool).
struct BarePool {
    explicit BarePool(const std::string& database) {
        Check(OCI.OCIEnvCreate(reinterpret_cast<OCIEnv**>(&Env), OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr,
                               nullptr, 0, nullptr),
              nullptr, "environment");
        OCI.OCIHandleAlloc(Env, &Error, OCI_HTYPE_ERROR, 0, nullptr);
        OCI.OCIHandleAlloc(Env, &Pool, OCI_HTYPE_SPOOL, 0, nullptr);
        OCI.OCIHandleAlloc(Env, &Auth, OCI_HTYPE_AUTHINFO, 0, nullptr);
        OraText* name = nullptr;
        ub4 length = 0;
        std::string user = "scott", password = "tiger";
        Check(OCI.OCISessionPoolCreate(static_cast<OCIEnv*>(Env), err(), static_cast<OCISPool*>(Pool), &name, &length,
                                       reinterpret_cast<const OraText*>(database.c_str()), ub4(database.size()), 0,
                                       2147483647, 1, reinterpret_cast<OraText*>(user.data()), ub4(user.size()),
                                       reinterpret_cast<OraText*>(password.data()), ub4(password.size()),
                                       OCI_SPC_HOMOGENEOUS),
              Error, "pool");
        Name.assign(reinterpret_cast<char*>(name), length);
        OCI.OCIAttrSet(Auth, OCI_HTYPE_AUTHINFO, user.data(), ub4(user.size()), OCI_ATTR_USERNAME, err());
        OCI.OCIAttrSet(Auth, OCI_HTYPE_AUTHINFO, password.data(), ub4(password.size()), OCI_ATTR_PASSWORD, err());
    }
    ~BarePool() {
        OCI.OCISessionPoolDestroy(static_cast<OCISPool*>(Pool), err(), OCI_SPD_FORCE);
        OCI.OCIHandleFree(Auth, OCI_HTYPE_AUTHINFO);
        OCI.OCIHandleFree(Pool, OCI_HTYPE_SPOOL);
        OCI.OCIHandleFree(Error, OCI_HTYPE_ERROR);
        OCI.OCIHandleFree(Env, OCI_HTYPE_ENV);
    }
    OCIError* err() { return static_cast<OCIError*>(Error); }
    double Cycles(int count) {
        static const char sql[] = "select count(*) from dept";
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            OCISvcCtx* svc = nullptr;
            boolean found = 0;
            Check(OCI.OCISessionGet(static_cast<OCIEnv*>(Env), err(), &svc, static_cast<OCIAuthInfo*>(Auth),
                                    reinterpret_cast<OraText*>(Name.data()), ub4(Name.size()), nullptr, 0, nullptr,
                                    nullptr, &found, OCI_SESSGET_SPOOL),
                  Error, "get");
            void* stmt = nullptr;
            OCI.OCIHandleAlloc(Env, &stmt, OCI_HTYPE_STMT, 0, nullptr);
            int n = 0;
            OCIDefine* define = nullptr;
            Check(OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), err(), reinterpret_cast<const text*>(sql),
                                     sizeof sql - 1, OCI_NTV_SYNTAX, OCI_DEFAULT),
                  Error, "prepare");
            Check(OCI.OCIDefineByPos(static_cast<OCIStmt*>(stmt), &define, err(), 1, &n, sizeof n, SQLT_INT, nullptr,
                                     nullptr, nullptr, OCI_DEFAULT),
                  Error, "define");
            Check(OCI.OCIStmtExecute(svc, static_cast<OCIStmt*>(stmt), err(), 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  Error, "execute");
            if (n != 4) std::exit(2);
            OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
            Check(OCI.OCISessionRelease(svc, err(), nullptr, 0, OCI_DEFAULT), Error, "release");
        }
        return Seconds(start);
    }
    void* Env = nullptr;
    void* Error = nullptr;
    void* Pool = nullptr;
    void* Auth = nullptr;
    std::string Name;
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const std::string dir = StandInWorkspace("pool");
    if (dir.empty()) return 1;
    const std::string database = dir + "/db";

    double own = 1e9, pooled = 1e9, bare = 1e9;
    try {
        TOracleSession plain;
        plain.SetLogonUsername("scott/tiger@" + database);
        TOracleSessionPool pool;
        TOracleSession borrower;
        borrower.SetPool(&pool);
        borrower.SetLogonUsername("scott/tiger@" + database);
        Cycles(plain, 1);   // creates the database and loads the client
        BarePool client(database);
        for (int round = 0; round < 5; ++round) {
            if (round % 2 == 0) {
                own = std::min(own, Cycles(plain, count));
                pooled = std::min(pooled, Cycles(borrower, count));
                bare = std::min(bare, client.Cycles(count));
            } else {
                bare = std::min(bare, client.Cycles(count));
                pooled = std::min(pooled, Cycles(borrower, count));
                own = std::min(own, Cycles(plain, count));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    OracleShutdown();
    std::filesystem::remove_all(dir);
    std::printf("%d cycles of logon, one query, logoff: own connection %.4f s, borrowed from a pool %.4f s "
                "(%.1fx faster than its own), bare client pool get/release %.4f s (pool/bare ratio %.2f)\n",
                count, own, pooled, own / pooled, bare, pooled / bare);
    return 0;
}
