#pragma once
// The stand-in database for statement tests: every test gets its own database directory and
// registry hives, reached through the real client loader, in OCI8 or OCI7 mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"

namespace quorvel::testing {

inline std::string StandInHome() {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    return home ? home : "";
}

class StandInDatabase {
public:
    bool Create() {
        if (StandInHome().empty()) return false;
        char pattern[] = "/tmp/quorvel-query-XXXXXX";
        if (!::mkdtemp(pattern)) return false;
        FRoot = pattern;
        std::filesystem::create_directories(FRoot + "/registry");
        ::setenv("QUORVEL_REGISTRY_DIR", (FRoot + "/registry").c_str(), 1);
        ::setenv("ORACLE_HOME", StandInHome().c_str(), 1);
        OCIDLL = StandInHome() + "/lib/libclntsh.so";
        return true;
    }

    ~StandInDatabase() {
        OracleShutdown();
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        if (!FRoot.empty()) std::filesystem::remove_all(FRoot);
    }

    // A connected session as SCOTT, in OCI7 mode when asked.
    std::unique_ptr<TOracleSession> LogOn(bool oci7, const std::string& user = "scott/tiger") {
        auto session = std::make_unique<TOracleSession>();
        session->Preferences().SetUseOCI7(oci7);
        session->SetLogonUsername(user + "@" + FRoot + "/db");
        session->LogOn();
        return session;
    }

    const std::string& Root() const { return FRoot; }

private:
    std::string FRoot;
};

// Runs one statement on a fresh query of the session.
inline void RunSql(TOracleSession& session, const std::string& sql) {
    TOracleQuery q;
    q.SetSession(&session);
    q.SQL().SetText(sql);
    q.Execute();
}

// Runs a call on a component without a session: it must fill its statement and stop there.
inline void Unsent(const std::function<void()>& call) {
    try {
        call();
        FAIL() << "the call ran without a session";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Session undefined");
    }
}

} // namespace quorvel::testing
