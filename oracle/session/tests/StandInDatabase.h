#pragma once
// A throw-away stand-in database for one test: its own directory and registry hives, the
// stand-in client loaded through the real loader, and everything unloaded again afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"

namespace quorvel::testing_db {

// Runs one statement on a statement of its own.
inline void Exec(TOracleSession& session, const std::string& sql) {
    TOracleQuery q;
    q.SetSession(&session);
    q.SQL().Add(sql);
    q.Execute();
}

// The first column of the first row of a query as text; empty when there is no row.
inline std::string Value(TOracleSession& session, const std::string& sql) {
    TOracleQuery q;
    q.SetSession(&session);
    q.SQL().Add(sql);
    q.Execute();
    return q.Eof() ? std::string() : q.FieldAsString(0);
}

inline std::string StandInHome() {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    return home ? home : "";
}

class StandInDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        if (StandInHome().empty()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        char pattern[] = "/tmp/quorvel-prefs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        std::filesystem::create_directories(FRoot + "/registry");
        ::setenv("QUORVEL_REGISTRY_DIR", (FRoot + "/registry").c_str(), 1);
        ::setenv("ORACLE_HOME", StandInHome().c_str(), 1);
        OCIDLL = StandInHome() + "/lib/libclntsh.so";
        FDatabase = FRoot + "/db";
    }

    void TearDown() override {
        OracleShutdown();
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        if (!FRoot.empty()) std::filesystem::remove_all(FRoot);
    }

    // The stand-in's settings, written before the database is created on first connect
    // ("charset=WE8MSWIN1252", "version=...").
    void Configure(const std::string& lines) {
        std::filesystem::create_directories(FDatabase);
        std::ofstream(FDatabase + "/ocisim.conf") << lines;
    }

    void Connect(TOracleSession& session, bool oci7 = false) {
        session.Preferences().SetUseOCI7(oci7);
        session.SetLogonUsername("scott/tiger@" + FDatabase);
        session.LogOn();
    }

    std::string FRoot;
    std::string FDatabase;
};

} // namespace quorvel::testing_db
