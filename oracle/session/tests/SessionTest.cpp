// The session on the stand-in client, loaded through the real loader: logon and logoff in both
// call interfaces, the connect string, failed logons, database errors and the session lock.
// Every test has its own database directory and registry hives.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/session/OracleSession.h"

#ifdef QUORVEL_TEST_SQLITE
#include <sqlite3.h>
#endif

using namespace quorvel;

namespace {

std::string StandInHome() {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    return home ? home : "";
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (StandInHome().empty()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        char pattern[] = "/tmp/quorvel-session-XXXXXX";
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
        ForceOCI7 = false;
        ShareOCIEnvironment = true;
        MaxErrorMessageLength = 1023;
        OnOracleError = nullptr;
        SetOracleWarnings({});
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        if (!FRoot.empty()) std::filesystem::remove_all(FRoot);
    }

    // Writes the stand-in's settings file before the database is created on first connect.
    void SetServerVersion(const std::string& version) {
        std::filesystem::create_directories(FDatabase);
        std::ofstream(FDatabase + "/ocisim.conf") << "version=" << version << "\n";
    }

    // Runs sql on the session's OCI8 connection; returns the status of the failing step.
    static int32_t RunOCI8(TOracleSession& session, const std::string& sql, OCIStmt** keep = nullptr) {
        void* stmt = nullptr;
        OCI.OCIHandleAlloc(session.EnvHandle(), &stmt, OCI_HTYPE_STMT, 0, nullptr);
        auto* err = static_cast<OCIError*>(session.ErrorHandle());
        int32_t status = OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), err, reinterpret_cast<const text*>(sql.c_str()),
                                            ub4(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (status == OCI_SUCCESS)
            status = OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(session.ServiceContext()), static_cast<OCIStmt*>(stmt),
                                        err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        if (keep)
            *keep = static_cast<OCIStmt*>(stmt);
        else
            OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return status;
    }

    // The database error a call on the session raises, through the session's check.
    static EOracleError FailOCI8(TOracleSession& session, const std::string& sql, TComponent* instance) {
        OCIStmt* stmt = nullptr;
        const int32_t status = RunOCI8(session, sql, &stmt);
        try {
            session.Check(status, instance);
        } catch (const EOracleError& e) {
            OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
            return e;
        }
        OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        ADD_FAILURE() << "no error for " << sql;
        return EOracleError(0, "");
    }

    std::string Scott() const { return "scott/tiger@" + FDatabase; }

    std::string FRoot;
    std::string FDatabase;
};

struct Events {
    std::vector<std::string> Fired;
    void Watch(TOracleSession& s) {
        s.BeforeLogOn = [this](TOracleSession&) { Fired.push_back("before"); };
        s.AfterLogOn = [this](TOracleSession& x) { Fired.push_back(x.Connected() ? "after:on" : "after:off"); };
        s.OnChange = [this](TOracleSession& x) { Fired.push_back(x.Connected() ? "change:on" : "change:off"); };
    }
};

} // namespace

TEST_F(SessionTest, LogOnAndOffThroughOCI8WithAFullConnectString) {
    TOracleSession session;
    Events events;
    events.Watch(session);
    session.SetLogonUsername(Scott());
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.UseOCI80());
    EXPECT_FALSE(session.CtxToLda());
    // The parts of the connect string replace the settings.
    EXPECT_EQ(session.LogonUsername(), "scott");
    EXPECT_EQ(session.LogonPassword(), "tiger");
    EXPECT_EQ(session.LogonDatabase(), FDatabase);
    EXPECT_EQ(session.ConnectAs(), caNormal);
    // The stand-in reports "... Release 10.2.0.1.0 ...".
    EXPECT_TRUE(session.Oracle10());
    EXPECT_TRUE(session.Oracle9());
    EXPECT_FALSE(session.Oracle11());
    EXPECT_EQ(session.ExpirationMessage(), "");
    EXPECT_NE(session.ExternalENV(), nullptr);
    EXPECT_NE(session.ExternalSVC(), nullptr);
    EXPECT_EQ(RunOCI8(session, "select * from emp"), OCI_SUCCESS);

    // A second LogOn reconnects, passing through the disconnected state.
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), "scott");

    session.SetConnected(false);
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.ServerAttached());
    EXPECT_EQ(session.EnvHandle(), nullptr);
    session.LogOff();   // a disconnected session fires nothing
    EXPECT_EQ(events.Fired, (std::vector<std::string>{"before", "after:on", "change:on", "before", "change:off",
                                                      "after:on", "change:on", "change:off"}));
}

TEST_F(SessionTest, LogOnAndOffThroughOCI7) {
    for (int variant = 0; variant < 2; ++variant) {
        TOracleSession session;
        if (variant == 0)
            session.Preferences().SetUseOCI7(true);
        else
            ForceOCI7 = true;
        session.SetLogonUsername("scott");
        session.SetLogonPassword("tiger");
        session.SetLogonDatabase(FDatabase);
        session.SetConnected(true);
        EXPECT_TRUE(session.Connected()) << variant;
        EXPECT_FALSE(session.UseOCI80());
        EXPECT_EQ(session.ReturnCode(), 0);
        EXPECT_EQ(session.EnvHandle(), nullptr);
        EXPECT_EQ(session.ErrorMessage(1017), "ORA-01017: invalid username/password; logon denied\n");
        session.SetConnected(false);
        EXPECT_FALSE(session.Connected());
        ForceOCI7 = false;
    }
}

TEST_F(SessionTest, AnOldServerIsDrivenThroughTheDataAreaOfTheServiceContext) {
    SetServerVersion("Oracle7 Server Release 7.3.4.0.0 - Production");
    TOracleSession session;
    session.SetLogonUsername(Scott());
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.UseOCI80());
    EXPECT_TRUE(session.CtxToLda());
    EXPECT_FALSE(session.Oracle9() || session.Oracle10() || session.Oracle11());
    EXPECT_EQ(session.ReturnCode(), 0);
    // Logoff turns the data area back into the service context and ends the session there.
    session.LogOff();
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.CtxToLda());
    EXPECT_TRUE(session.UseOCI80());
    EXPECT_FALSE(session.ServerAttached());
    // The database can be used again afterwards.
    session.LogOn();
    EXPECT_TRUE(session.Connected());
}

TEST_F(SessionTest, AFailedLogOnFiresEachCallbackOnceAndRaises) {
    for (bool oci7 : {false, true}) {
        for (bool threadSafe : {false, true}) {
            TOracleSession session;
            session.Preferences().SetUseOCI7(oci7);
            session.SetThreadSafe(threadSafe);
            Events events;
            events.Watch(session);
            session.SetLogonUsername("scott/wrong@" + FDatabase);
            int32_t code = 0;
            std::string message;
            try {
                session.LogOn();
            } catch (const EOracleError& e) {
                code = e.ErrorCode();
                message = e.Message();
                EXPECT_EQ(e.Session(), &session);
            }
            EXPECT_EQ(code, 1017) << oci7 << threadSafe;
            EXPECT_EQ(message.rfind("ORA-01017: invalid username/password; logon denied", 0), 0u) << message;
            EXPECT_FALSE(session.Connected());
            EXPECT_EQ(events.Fired, (std::vector<std::string>{"before", "after:off", "change:off"}));
            // Neither lock is left held.
            EXPECT_EQ(session.CriticalSection().Entered(), 0);
            EXPECT_EQ(OCIGlobalLock().Entered(), 0);
            // The right password then works on the same session.
            session.SetLogonPassword("tiger");
            session.LogOn();
            EXPECT_TRUE(session.Connected());
        }
    }
}

TEST_F(SessionTest, AnExceptionBeforeLogOnEndsTheLogOnWithNothingElseDone) {
    TOracleSession session;
    int changes = 0;
    session.BeforeLogOn = [](TOracleSession&) { throw Exception("stop"); };
    session.OnChange = [&](TOracleSession&) { ++changes; };
    session.SetLogonUsername(Scott());
    EXPECT_THROW(session.LogOn(), Exception);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionTest, ConnectStringsAreSplitBeforeTheLogOn) {
    struct Case {
        std::string text;
        std::string user, password, database;
        TConnectAsOption as;
    } cases[] = {
        {"system/manager@" + FDatabase + " as sysdba", "system", "manager", FDatabase, caSYSDBA},
        {"system/manager as SYSOPER", "system", "manager", "", caSYSOPER},
        // A "/" after the first one and an "@" inside quotes stay in the password.
        {"scott/\"a@b/c\"", "scott", "\"a@b/c\"", "", caNormal},
        {"scott/x/y@" + FDatabase, "scott", "x/y", FDatabase, caNormal},
        // "/" alone: operating-system authentication.
        {"/", "", "", "", caNormal},
    };
    for (const auto& c : cases) {
        TOracleSession session;
        session.SetLogonDatabase("untouched");
        session.SetLogonUsername(c.text);
        try {
            session.LogOn();
        } catch (const EOracleError&) {
        }
        EXPECT_EQ(session.LogonUsername(), c.user) << c.text;
        EXPECT_EQ(session.LogonPassword(), c.password) << c.text;
        EXPECT_EQ(session.LogonDatabase(), c.database.empty() ? "untouched" : c.database) << c.text;
        EXPECT_EQ(session.ConnectAs(), c.as) << c.text;
    }

    // SYSTEM as SYSDBA reaches the database; external credentials fail as Oracle does for a
    // user without an OPS$ account.
    TOracleSession dba;
    dba.SetLogonUsername("system/manager@" + FDatabase + " as sysdba");
    dba.LogOn();
    EXPECT_TRUE(dba.Connected());

    TOracleSession external;
    external.SetLogonDatabase(FDatabase);
    external.SetLogonUsername("/");
    try {
        external.LogOn();
        EXPECT_TRUE(external.Connected());
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
        EXPECT_FALSE(external.Connected());
    }
}

TEST_F(SessionTest, ASoonExpiringPasswordLogsOnWithTheWarningText) {
#ifndef QUORVEL_TEST_SQLITE
    GTEST_SKIP() << "needs SQLite to put the stand-in's account into its grace period";
#else
    {
        TOracleSession session;
        session.SetLogonUsername(Scott());
        session.LogOn();   // creates the database
    }
    OracleShutdown();   // the stand-in closes the database with its last session
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((FDatabase + "/database.db").c_str(), &db), SQLITE_OK);
    char* failure = nullptr;
    const int rc = sqlite3_exec(db, "UPDATE ocs_users SET account_status = 'EXPIRED(GRACE)' WHERE username = 'SCOTT'",
                                nullptr, nullptr, &failure);
    sqlite3_free(failure);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);

    for (bool oci7 : {false, true}) {
        OCIDLL = StandInHome() + "/lib/libclntsh.so";
        TOracleSession session;
        session.Preferences().SetUseOCI7(oci7);
        session.SetLogonUsername(Scott());
        session.LogOn();
        EXPECT_TRUE(session.Connected()) << oci7;
        EXPECT_EQ(session.ExpirationMessage().rfind("ORA-28002: the password will expire within 7 days", 0), 0u)
            << session.ExpirationMessage();
        EXPECT_EQ(session.LastOCIError, 0);
        // The version is read only after a clean logon.
        EXPECT_FALSE(session.Oracle9() || session.Oracle10() || session.Oracle11());
        session.LogOff();
    }
#endif
}

TEST_F(SessionTest, AStatementErrorCarriesItsNumberSessionAndInstance) {
    TOracleSession session;
    TComponent statement;
    int hooked = 0;
    OnOracleError = [&](EOracleError& e) {
        ++hooked;
        EXPECT_EQ(e.ErrorCode(), 942);
    };
    session.SetLogonUsername(Scott());
    session.LogOn();
    EOracleError e = FailOCI8(session, "select * from no_such_table", &statement);
    EXPECT_EQ(e.ErrorCode(), 942);
    EXPECT_EQ(e.Session(), &session);
    EXPECT_EQ(e.Instance(), &statement);
    // The client's text unchanged, line feed included.
    EXPECT_EQ(e.Message(), "ORA-00942: table or view does not exist\n");
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(session.ReturnCode(), 942);
    EXPECT_EQ(session.ErrorMessage(1403).rfind("ORA-01403: no data found", 0), 0u);
}

TEST_F(SessionTest, NumbersOnTheWarningsListRaiseWarnings) {
    TOracleSession session;
    session.SetLogonUsername(Scott());
    session.LogOn();
    SetOracleWarnings({942});
    bool warning = false;
    try {
        FailOCI8(session, "select * from no_such_table", nullptr);
        session.Check(RunOCI8(session, "select * from no_such_table"));
    } catch (const EOracleWarning& w) {
        warning = true;
        EXPECT_EQ(w.ErrorCode(), 942);
    }
    EXPECT_TRUE(warning);
    // Other numbers stay errors.
    EOracleError other = FailOCI8(session, "select nosuchcolumn from dual", nullptr);
    EXPECT_EQ(other.ErrorCode(), 904);
    try {
        session.Check(RunOCI8(session, "select nosuchcolumn from dual"));
    } catch (const EOracleWarning&) {
        ADD_FAILURE() << "904 is not on the list";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 904);
    }
}

TEST_F(SessionTest, ErrorTextsAreCutAtMaxErrorMessageLength) {
    TOracleSession session;
    session.SetLogonUsername(Scott());
    session.LogOn();
    MaxErrorMessageLength = 9;
    EXPECT_EQ(FailOCI8(session, "select * from no_such_table", nullptr).Message(), "ORA-00942");
    MaxErrorMessageLength = 1023;

}

TEST_F(SessionTest, AnErrorTextLongerThan1023BytesKeepsItsFirst1023) {
    TOracleSession session;
    session.SetLogonUsername(Scott());
    session.LogOn();
    // The client names the unknown column in its text.
    const std::string column(2000, 'X');
    OCIStmt* stmt = nullptr;
    session.LastOCIError = RunOCI8(session, "select \"" + column + "\" from dual", &stmt);
    OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
    const int32_t code = session.ReturnCode();
    sb4 fullCode = 0;
    std::vector<char> full(8000, '\0');
    OCI.OCIErrorGet(session.ErrorHandle(), 1, nullptr, &fullCode, reinterpret_cast<text*>(full.data()), 8000,
                    OCI_HTYPE_ERROR);
    if (std::string(full.data()).size() <= 1023)
        GTEST_SKIP() << "the stand-in gives a short text for this error (" << code << "): " << full.data();
    try {
        RaiseOracleError(&session, session.ErrorSource(), nullptr);
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), code);
        EXPECT_EQ(e.Message(), std::string(full.data(), 1023));
    }
}

TEST_F(SessionTest, TheSessionLockIsFreeAfterAFailedCall) {
    // OCI7 mode: Acquire(true) takes the lock, building the error gives it back.
    {
        TOracleSession session;
        session.SetThreadSafe(true);
        session.Preferences().SetUseOCI7(true);
        session.SetLogonUsername(Scott());
        session.LogOn();
        EXPECT_THROW(session.SetThreadSafe(false), Exception);
        session.Acquire(true);
        EXPECT_EQ(session.CriticalSection().Entered(), 1);
        try {
            RaiseOracleError(&session, TOracleErrorSource::FromReturnCode(1403), nullptr);
        } catch (const EOracleError& e) {
            EXPECT_EQ(e.ErrorCode(), 1403);
            EXPECT_EQ(e.Message(), "ORA-01403: no data found\n");
        }
        EXPECT_EQ(session.CriticalSection().Entered(), 0);
    }
    // OCI8 mode: the client serialises calls, Acquire(true) takes nothing and the error path
    // leaves nothing behind.
    {
        TOracleSession session;
        session.SetThreadSafe(true);
        session.SetLogonUsername(Scott());
        session.LogOn();
        session.Acquire(true);
        EXPECT_EQ(session.CriticalSection().Entered(), 0);
        FailOCI8(session, "select * from no_such_table", nullptr);
        EXPECT_EQ(session.CriticalSection().Entered(), 0);
        session.Acquire(false);
        EXPECT_EQ(session.CriticalSection().Entered(), 1);
        session.Release(false);
        EXPECT_EQ(session.CriticalSection().Entered(), 0);
    }
}

namespace {

struct Attached : TOracleSessionClient {
    TOracleSession* Session = nullptr;
    int Closed = 0, LoggedOn = 0;
    explicit Attached(TOracleSession* s) : Session(s) { s->Queries.Add(this); }
    ~Attached() override {
        if (Session) Session->Queries.Remove(this);
    }
    void SessionClose() override { ++Closed; }
    void SessionLoggedOn() override { ++LoggedOn; }
    void SessionDetach() override { Session = nullptr; }
};

} // namespace

TEST_F(SessionTest, AttachedStatementsAreClosedAtLogOffAndDetachedAtDestruction) {
    auto session = std::make_unique<TOracleSession>();
    Attached a(session.get()), b(session.get());
    session->SetLogonUsername(Scott());
    session->LogOn();
    EXPECT_EQ(a.LoggedOn, 1);
    session->LogOff();
    EXPECT_EQ(a.Closed, 1);
    EXPECT_EQ(b.Closed, 1);
    session->LogOn();
    int changes = 0;
    session->OnChange = [&](TOracleSession&) { ++changes; };
    session.reset();   // logs off without OnChange, detaches
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(a.Session, nullptr);
    EXPECT_EQ(b.Session, nullptr);
    EXPECT_EQ(a.Closed, 2);
}

TEST_F(SessionTest, ShutdownLogsOffEverySessionAndUnloadsTheClient) {
    TOracleSession first, second;
    second.Preferences().SetUseOCI7(true);
    first.SetLogonUsername(Scott());
    second.SetLogonUsername(Scott());
    first.LogOn();
    second.LogOn();
    auto sessions = OracleSessions();
    EXPECT_NE(std::find(sessions.begin(), sessions.end(), &first), sessions.end());
    EXPECT_NE(std::find(sessions.begin(), sessions.end(), &second), sessions.end());
    int changes = 0;
    first.OnChange = second.OnChange = [&](TOracleSession&) { ++changes; };
    OracleShutdown();
    EXPECT_FALSE(first.Connected());
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(OCILoaded());
    // A later logon loads the client again.
    OCIDLL = StandInHome() + "/lib/libclntsh.so";
    first.LogOn();
    EXPECT_TRUE(first.Connected());
}

TEST_F(SessionTest, SettingsThatCannotChangeWhileConnected) {
    TOracleSession session;
    EXPECT_EQ(session.Cursor, -11);
    EXPECT_EQ(session.StatementCacheSize(), 20);
    EXPECT_EQ(session.MTSOptions(), (1u << moImplicit) | (1u << moUniqueServer));
    EXPECT_EQ(session.Pooling(), spNone);
    session.SetLogonUsername(Scott());
    session.LogOn();
    struct Case {
        std::function<void()> change;
        const char* message;
    } cases[] = {
        {[&] { session.SetThreadSafe(true); }, "Cannot change ThreadSafe property when connected"},
        {[&] { session.SetPooling(spInternal); }, "Cannot change Pooling property when connected"},
        {[&] { session.SetStatementCache(true); }, "Cannot change StatementCache property when connected"},
        {[&] { session.SetMTSOptions(0); }, "Cannot change MTSOptions property when connected"},
        {[&] { session.Preferences().SetUseOCI7(true); }, "Cannot change UseOCI7 property when session is connected"},
        {[&] { session.Preferences().SetConvertUTF(cuUTF16ToUTF8); },
         "Cannot change ConvertUTF property when session is connected"},
        {[&] { session.Preferences().SetForceWideStringFields(true); },
         "Cannot change ForceWideStringFields property when session is connected"},
        // Assignment goes through the same setters.
        {[&] {
             TOracleSession other;
             other.Preferences().SetForceWideStringFields(true);
             session.Preferences() = other.Preferences();
         },
         "Cannot change ForceWideStringFields property when session is connected"},
    };
    for (const auto& c : cases) {
        try {
            c.change();
            ADD_FAILURE() << c.message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.Preferences().UseOCI7());
    EXPECT_FALSE(session.Preferences().ForceWideStringFields());
    // The same value, and every other preference, may be set while connected.
    session.Preferences().SetUseOCI7(false);
    session.Preferences().SetConvertUTF(cuNone);
    session.Preferences().SetTimestampAsString(true);
    EXPECT_TRUE(session.Preferences().TimestampAsString());
    session.LogOff();
    session.Preferences().SetUseOCI7(true);
    EXPECT_TRUE(session.Preferences().UseOCI7());
}

TEST_F(SessionTest, ASessionSharesTheConnectionOfAnother) {
    TOracleSession owner;
    owner.SetLogonUsername(Scott());
    owner.LogOn();

    TOracleSession shared;
    int changes = 0;
    shared.OnChange = [&](TOracleSession&) { ++changes; };
    shared.SetExternalSVC(owner.ExternalSVC());
    EXPECT_TRUE(shared.Connected());
    EXPECT_TRUE(shared.Shared());
    EXPECT_TRUE(shared.UseOCI80());
    EXPECT_TRUE(shared.Oracle10());
    EXPECT_EQ(shared.ExternalENV(), owner.ExternalENV());
    EXPECT_EQ(shared.ExternalSRV(), owner.ExternalSRV());
    EXPECT_EQ(shared.ExternalAUT(), owner.ExternalAUT());
    EXPECT_EQ(RunOCI8(shared, "select * from dept"), OCI_SUCCESS);
    EOracleError e = FailOCI8(shared, "select * from no_such_table", nullptr);
    EXPECT_EQ(e.ErrorCode(), 942);
    shared.SetExternalSVC(nullptr);
    EXPECT_FALSE(shared.Connected());
    EXPECT_FALSE(shared.Shared());
    EXPECT_EQ(changes, 2);
    // The owner's connection lives on.
    EXPECT_TRUE(owner.Connected());
    EXPECT_EQ(RunOCI8(owner, "select * from dept"), OCI_SUCCESS);

    // An OCI7 logon data area is used as it is, without a call.
    TOracleSession oci7;
    oci7.Preferences().SetUseOCI7(true);
    oci7.SetLogonUsername(Scott());
    oci7.LogOn();
    TOracleSession onLda;
    onLda.SetExternalLDA(oci7.LDA());
    EXPECT_TRUE(onLda.Connected());
    EXPECT_FALSE(onLda.UseOCI80());
    EXPECT_EQ(onLda.LDA(), oci7.LDA());
    EXPECT_EQ(onLda.ReturnCode(), 0);
    onLda.LogOff();
    EXPECT_FALSE(onLda.Connected());
    EXPECT_TRUE(oci7.Connected());
    EXPECT_EQ(oci7.ReturnCode(), 0);
}

TEST_F(SessionTest, CommitKeepsRowsAndRollbackOnDisconnectDropsThem) {
    TOracleSession session;
    session.RollbackOnDisconnect = true;
    session.SetLogonUsername(Scott());
    session.LogOn();
    ASSERT_EQ(RunOCI8(session, "create table t (id number primary key)"), OCI_SUCCESS);
    ASSERT_EQ(RunOCI8(session, "insert into t values (1)"), OCI_SUCCESS);
    session.Commit();
    EXPECT_EQ(session.CachedInTransaction(), itUnknown);
    ASSERT_EQ(RunOCI8(session, "insert into t values (2)"), OCI_SUCCESS);
    session.LogOff();   // rolls back the 2

    session.LogOn();
    EXPECT_EQ(FailOCI8(session, "insert into t values (1)", nullptr).ErrorCode(), 1);
    EXPECT_EQ(RunOCI8(session, "insert into t values (2)"), OCI_SUCCESS);
    session.Rollback();
    EXPECT_EQ(RunOCI8(session, "insert into t values (2)"), OCI_SUCCESS);
    session.Rollback();

    // OCI7 mode: ocom and orol on the data area, the session lock taken and given back.
    TOracleSession oci7;
    oci7.Preferences().SetUseOCI7(true);
    oci7.SetThreadSafe(true);
    oci7.SetLogonUsername(Scott());
    oci7.LogOn();
    oci7.Commit();
    oci7.Rollback();
    EXPECT_EQ(oci7.CriticalSection().Entered(), 0);
    oci7.LogOff();
    oci7.Commit();   // nothing when disconnected
}

TEST_F(SessionTest, ThreadSafeSessionsLogOnAndOffFromSeveralThreads) {
    // Each session with its own environment as well, in both locking modes.
    ShareOCIEnvironment = false;
    for (bool threadSafe : {false, true}) {
        TOracleSession own;
        own.SetThreadSafe(threadSafe);
        own.SetLogonUsername(Scott());
        own.LogOn();
        EXPECT_NE(own.EnvHandle(), nullptr);
        EXPECT_EQ(RunOCI8(own, "select * from dept"), OCI_SUCCESS);
        own.LogOff();
    }
    ShareOCIEnvironment = true;

    // One session stays connected throughout: the stand-in closes a database with its last
    // session, and a close racing with another thread's first open of it reports ORA-01102.
    TOracleSession keeper;
    keeper.SetLogonUsername(Scott());
    keeper.LogOn();

    constexpr int kThreads = 4;
    std::vector<std::unique_ptr<TOracleSession>> sessions;
    for (int i = 0; i < kThreads; ++i) {
        sessions.push_back(std::make_unique<TOracleSession>());
        sessions.back()->SetThreadSafe(true);
        sessions.back()->Preferences().SetUseOCI7((i % 2 == 1));
        sessions.back()->SetLogonUsername(Scott());
    }
    std::atomic<int> failures{0};
    std::mutex messagesLock;
    std::vector<std::string> messages;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                try {
                    sessions[i]->LogOn();
                    if (!sessions[i]->Connected()) ++failures;
                    sessions[i]->Commit();
                    sessions[i]->LogOff();
                } catch (const std::exception& e) {
                    ++failures;
                    std::lock_guard<std::mutex> guard(messagesLock);
                    messages.push_back(e.what());
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0) << (messages.empty() ? std::string() : messages.front());
    EXPECT_EQ(OCIGlobalLock().Entered(), 0);
    for (auto& s : sessions) EXPECT_EQ(s->CriticalSection().Entered(), 0);
}

TEST_F(SessionTest, StatementsAreCachedWhenAsked) {
    TOracleSession session;
    session.SetStatementCache(true);
    session.SetLogonUsername(Scott());
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    ub4 size = 0;
    ASSERT_EQ(OCI.OCIAttrGet(session.ServiceContext(), OCI_HTYPE_SVCCTX, &size, nullptr, OCI_ATTR_STMTCACHESIZE,
                             static_cast<OCIError*>(session.ErrorHandle())),
              OCI_SUCCESS);
    EXPECT_EQ(size, 20u);
    session.SetStatementCacheSize(5);
    ASSERT_EQ(OCI.OCIAttrGet(session.ServiceContext(), OCI_HTYPE_SVCCTX, &size, nullptr, OCI_ATTR_STMTCACHESIZE,
                             static_cast<OCIError*>(session.ErrorHandle())),
              OCI_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(session.StatementCacheSize(), 5);
    EXPECT_EQ(RunOCI8(session, "select * from dept"), OCI_SUCCESS);
}

TEST_F(SessionTest, AClientWithoutOCI7NamesIsNeverCalledThroughThem) {
    const char* variants = std::getenv("QUORVEL_STANDIN_VARIANTS");
    const std::string client = variants ? std::string(variants) + "/no-oci7/lib/libclntsh.so" : "";
    if (client.empty() || !std::filesystem::exists(client)) GTEST_SKIP() << "the no-oci7 build of the stand-in is not there";
    OCIDLL = client;
    TOracleSession session;
    session.SetLogonUsername(Scott());
    session.LogOn();
    EXPECT_TRUE(session.UseOCI80());
    EXPECT_EQ(OCI.oerhms, nullptr);
    // Without the OCI7 message call the number is all there is.
    EXPECT_EQ(session.ErrorMessage(942), "ORA-00942");
    session.LogOff();

    // OCI7 mode cannot log on without the OCI7 names: a plain refusal, after the callbacks.
    int changes = 0;
    session.OnChange = [&](TOracleSession&) { ++changes; };
    session.Preferences().SetUseOCI7(true);
    try {
        session.LogOn();
        ADD_FAILURE() << "logged on without OCI7 names";
    } catch (const EOracleError&) {
        ADD_FAILURE() << "not a database error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "The Oracle client has no OCI7 interface; cannot log on in OCI7 mode");
    }
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(changes, 1);
}
