// The session's transaction calls against the bare client calls of the same work on the same
// stand-in database, in one run on one machine, through the real client loader:
//  - `count` one-row inserts each followed by a commit: TOracleSession::Commit (no monitor
//    installed, then a monitor that does nothing) versus OCITransCommit on the same connection;
//  - asking whether a transaction is open `count` times: InTransaction answered from its cache
//    versus asked of the server every time (CacheInTransaction false).
// Each side runs five rounds, taking turns going first; the best round of each side is compared.
// Usage: bench_session [count]   (default 2000)
#include "bench/LibraryBenchSupport.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/session/OracleSession.h"

using namespace quorvel;

namespace {



void Check(sword status, void* err, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return;
    text buf[1024] = {0};
    sb4 code = 0;
    OCI.OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, reinterpret_cast<char*>(buf));
    std::exit(1);
}

// A prepared one-row insert on the session's connection, run with the bare calls.
struct Insert {
    explicit Insert(TOracleSession& s) : FSession(s) {
        OCI.OCIHandleAlloc(s.EnvHandle(), &FError, OCI_HTYPE_ERROR, 0, nullptr);
        OCI.OCIHandleAlloc(s.EnvHandle(), &FStmt, OCI_HTYPE_STMT, 0, nullptr);
        static const char sql[] = "insert into t values (1)";
        Check(OCI.OCIStmtPrepare(static_cast<OCIStmt*>(FStmt), static_cast<OCIError*>(FError),
                                 reinterpret_cast<const text*>(sql), sizeof sql - 1, OCI_NTV_SYNTAX, OCI_DEFAULT),
              FError, "prepare");
    }
    ~Insert() {
        OCI.OCIHandleFree(FStmt, OCI_HTYPE_STMT);
        OCI.OCIHandleFree(FError, OCI_HTYPE_ERROR);
    }
    void Run() {
        Check(OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(FSession.ServiceContext()), static_cast<OCIStmt*>(FStmt),
                                 static_cast<OCIError*>(FError), 1, 0, nullptr, nullptr, OCI_DEFAULT),
              FError, "insert");
    }
    TOracleSession& FSession;
    void* FError = nullptr;
    void* FStmt = nullptr;
};

double BareCommits(TOracleSession& s, Insert& insert, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        insert.Run();
        Check(OCI.OCITransCommit(static_cast<OCISvcCtx*>(s.ServiceContext()), static_cast<OCIError*>(insert.FError),
                                 OCI_DEFAULT),
              insert.FError, "commit");
    }
    return Seconds(start);
}

double SessionCommits(TOracleSession& s, Insert& insert, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        insert.Run();
        s.Commit();
    }
    return Seconds(start);
}

struct QuietMonitor : TSessionMonitor {
    void SessionCreated(int, const std::string&) override {}
    void SessionDestroyed(int) override {}
    void ActivityStart(int, const std::string&, const std::vector<std::string>&) override {}
    void ActivityEnd(int, int64_t, const std::string&) override {}
    void Message(int, const std::string&) override {}
};

double MonitoredCommits(TOracleSession& s, Insert& insert, int count) {
    QuietMonitor monitor;
    SessionMonitor = &monitor;
    const double t = SessionCommits(s, insert, count);
    SessionMonitor = nullptr;
    return t;
}

double AskInTransaction(TOracleSession& s, int count, bool cached) {
    CacheInTransaction = cached;
    int open = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) open += s.InTransaction() ? 1 : 0;
    const double t = Seconds(start);
    CacheInTransaction = true;
    if (open != count) std::exit(2);   // a row was inserted and not committed
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::string dir = StandInWorkspace("session");
    if (dir.empty()) return 1;

    double bare = 1e9, lib = 1e9, monitored = 1e9, cachedAsk = 1e9, probedAsk = 1e9;
    try {
        TOracleSession session;
        session.SetLogonUsername("scott/tiger@" + dir + "/db");
        session.LogOn();
        {
            Insert create(session);
            void* stmt = nullptr;
            OCI.OCIHandleAlloc(session.EnvHandle(), &stmt, OCI_HTYPE_STMT, 0, nullptr);
            static const char ddl[] = "create table t (n number)";
            Check(OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), static_cast<OCIError*>(create.FError),
                                     reinterpret_cast<const text*>(ddl), sizeof ddl - 1, OCI_NTV_SYNTAX, OCI_DEFAULT),
                  create.FError, "prepare");
            Check(OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(session.ServiceContext()), static_cast<OCIStmt*>(stmt),
                                     static_cast<OCIError*>(create.FError), 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  create.FError, "create");
            OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        }
        Insert insert(session);
        for (int round = 0; round < 5; ++round) {
            if (round % 2 == 0) {
                bare = std::min(bare, BareCommits(session, insert, count));
                lib = std::min(lib, SessionCommits(session, insert, count));
                monitored = std::min(monitored, MonitoredCommits(session, insert, count));
            } else {
                monitored = std::min(monitored, MonitoredCommits(session, insert, count));
                lib = std::min(lib, SessionCommits(session, insert, count));
                bare = std::min(bare, BareCommits(session, insert, count));
            }
        }
        insert.Run();   // an open transaction for the questions
        for (int round = 0; round < 5; ++round) {
            if (round % 2 == 0) {
                probedAsk = std::min(probedAsk, AskInTransaction(session, count, false));
                cachedAsk = std::min(cachedAsk, AskInTransaction(session, count, true));
            } else {
                cachedAsk = std::min(cachedAsk, AskInTransaction(session, count, true));
                probedAsk = std::min(probedAsk, AskInTransaction(session, count, false));
            }
        }
        session.Rollback();
        session.LogOff();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    std::filesystem::remove_all(dir);
    std::printf("%d inserts each committed: bare OCITransCommit %.4f s, Commit %.4f s (ratio %.2f), "
                "Commit with a monitor installed %.4f s (ratio %.2f)\n",
                count, bare, lib, lib / bare, monitored, monitored / bare);
    std::printf("InTransaction %d times: asked of the server %.4f s, from the cache %.6f s (cache %.0fx faster)\n",
                count, probedAsk, cachedAsk, probedAsk / std::max(cachedAsk, 1e-9));
    return 0;
}
