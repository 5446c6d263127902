// What the session finds out and sends with SQL of its own, on the stand-in: character sets
// and text lengths, the date format length, the settings of a live connection, the server
// version and the audit session id.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "StandInDatabase.h"

using namespace quorvel;

namespace {

// Records the statements the library executes and the names of the statements it creates.
struct StatementLog : TQueryMonitor {
    std::vector<std::string> Executed, Created;
    std::mutex Lock;
    StatementLog() { QueryMonitor = this; }
    ~StatementLog() override { QueryMonitor = nullptr; }
    void QueryCreated(int, int, int, const std::string& name) override {
        std::lock_guard<std::mutex> guard(Lock);
        Created.push_back(name);
    }
    void QueryDestroyed(int) override {}
    void ActivityStart(int, const std::string& activity, const std::string& sql, const std::string&) override {
        std::lock_guard<std::mutex> guard(Lock);
        if (activity != "Query.Execute") return;
        std::string text = sql;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        Executed.push_back(text);
    }
    void ActivityEnd(int, bool, const std::string&, int) override {}
    bool Sent(const std::string& sql) const {
        for (const std::string& s : Executed)
            if (s.find(sql) != std::string::npos) return true;
        return false;
    }
};

class SessionSqlTest : public testing_db::StandInDatabase {
protected:
    void TearDown() override {
        IgnoreCharSet = false;
        StandInDatabase::TearDown();
    }

    // Ends the session's server process from a DBA session; its next call fails.
    void Kill(TOracleSession& victim) {
        const std::string audsid = victim.AUDSID();
        TOracleSession dba;
        dba.SetLogonUsername("system/manager@" + FDatabase);
        dba.LogOn();
        TOracleQuery q;
        q.SetSession(&dba);
        q.SQL().Add("select sid, serial# from v$session where audsid = " + audsid);
        q.Execute();
        ASSERT_FALSE(q.Eof());
        const std::string target = q.FieldAsString(0) + "," + q.FieldAsString(1);
        q.Clear();
        q.SQL().Add("alter system kill session '" + target + "'");
        q.Execute();
    }
};

} // namespace

TEST_F(SessionSqlTest, CharacterSetsOfAUTF8Database) {
    TOracleSession session;
    Connect(session);
    StatementLog log;
    // The stand-in, like Oracle 10, has no character of chr(2000000000); chr(2000000) takes 3 bytes.
    EXPECT_EQ(session.CharacterSize(), 3);
    EXPECT_EQ(session.CurrentCharSetID(), 873);
    EXPECT_TRUE(session.CurrentCharSetIsUTF8());
    EXPECT_FALSE(session.CurrentCharSetIsUTF16());
    EXPECT_EQ(session.CurrentNCharSetID(), 2000);
    EXPECT_TRUE(session.CurrentNCharSetIsUTF16());
    EXPECT_FALSE(session.CurrentNCharSetIsUTF8());
    EXPECT_EQ(session.CurrentBytesPerNCharacter(), 2);
    // An Oracle 10 server with a UTF-8 database set takes 4000 bytes whatever a character needs.
    ASSERT_TRUE(session.Oracle10());
    ASSERT_TRUE(HasOCI81);
    EXPECT_EQ(session.MaxVarchar(), 4000);
    EXPECT_EQ(session.MaxVarcharN(), 2000);
    // Found once, on statements of their own.
    EXPECT_EQ(log.Created, (std::vector<std::string>{"BytesPerCharacterQuery"}));
    EXPECT_EQ(log.Executed.size(), 2u);
    EXPECT_TRUE(log.Sent("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2, 'c' c1 from dual"));
    EXPECT_TRUE(log.Sent("select lengthb(nchr(20)), nchr(20) from dual"));

    // Logoff empties the cache; a fixed size needs no query.
    session.LogOff();
    session.SetBytesPerCharacter(bc2Bytes);
    session.LogOn();
    log.Executed.clear();
    EXPECT_EQ(session.CharacterSize(), 2);
    EXPECT_EQ(session.CurrentBytesPerNCharacter(), 2);
    EXPECT_EQ(session.CurrentCharSetID(), 0);
    EXPECT_EQ(session.MaxVarchar(), 2000);
    EXPECT_TRUE(log.Executed.empty());
    // A change of the option empties the cache too: detection runs again.
    session.SetBytesPerCharacter(bcAutoDetect);
    EXPECT_EQ(session.CharacterSize(), 3);
    EXPECT_EQ(log.Executed.size(), 2u);
    session.SetCharacterSize(4);
    EXPECT_EQ(session.CharacterSize(), 4);

    // Without the character-set ids nothing counts as UTF-8 and the size decides.
    session.LogOff();
    IgnoreCharSet = true;
    session.LogOn();
    EXPECT_EQ(session.CharacterSize(), 3);
    EXPECT_EQ(session.CurrentCharSetID(), 0);
    EXPECT_FALSE(session.CurrentCharSetIsUTF8());
    EXPECT_EQ(session.MaxVarchar(), 1333);
}

TEST_F(SessionSqlTest, CharacterSetsOfASingleByteDatabase) {
    Configure("charset=WE8MSWIN1252\n");
    TOracleSession session;
    Connect(session);
    EXPECT_EQ(session.CharacterSize(), 1);
    EXPECT_EQ(session.CurrentCharSetID(), 178);
    EXPECT_FALSE(session.CurrentCharSetIsUTF8());
    EXPECT_EQ(session.CurrentBytesPerNCharacter(), 2);
    EXPECT_EQ(session.MaxVarchar(), 4000);
    EXPECT_EQ(session.MaxVarcharN(), 2000);

    // Through OCI7 calls the base is 2000 bytes.
    TOracleSession oci7;
    Connect(oci7, true);
    EXPECT_EQ(oci7.CharacterSize(), 1);
    EXPECT_EQ(oci7.MaxVarchar(), 2000);
}

TEST_F(SessionSqlTest, MaxVarcharBeforeOracle10DividesByTheCharacterSize) {
    Configure("version=Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production\n");
    TOracleSession session;
    Connect(session);
    ASSERT_FALSE(session.Oracle10());
    EXPECT_EQ(session.ServerVersion(), "Oracle9i Enterprise Edition Release 9.2.0.1.0 ");
    EXPECT_EQ(session.CharacterSize(), 3);
    EXPECT_TRUE(session.CurrentCharSetIsUTF8());
    EXPECT_EQ(session.MaxVarchar(), 1333);
}

TEST_F(SessionSqlTest, AFailedDetectionIsSilent) {
    TOracleSession session;
    Connect(session);
    Kill(session);
    EXPECT_EQ(session.CharacterSize(), 1);
    EXPECT_EQ(session.CurrentCharSetID(), 0);
    EXPECT_EQ(session.DateFormatLength(), 40);
}

TEST_F(SessionSqlTest, DateFormatLength) {
    TOracleSession session;
    Connect(session);
    StatementLog log;
    EXPECT_EQ(session.DateFormatLength(), 9);   // DD-MON-RR
    EXPECT_EQ(log.Created, (std::vector<std::string>{"DateFormatLengthQuery"}));
    ASSERT_EQ(log.Executed.size(), 1u);
    const std::string& sql = log.Executed[0];
    EXPECT_EQ(sql.rfind("select to_char(to_date('10-1-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual\r\nunion all\r\n"
                        "select to_char(to_date('10-2-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual\r\n", 0),
              0u);
    EXPECT_NE(sql.find("'10-12-1999 10:10:10'"), std::string::npos);

    // Kept until logoff.
    session.Query().SQL().Add("alter session set nls_date_format = 'DD-MONTH-YYYY HH24:MI:SS'");
    session.Query().Execute();
    EXPECT_EQ(session.DateFormatLength(), 9);
    session.LogOff();
    EXPECT_EQ(session.DateFormatLength(), 40);   // disconnected: the fall-back, not kept
    session.LogOn();
    session.Query().Clear();
    session.Query().SQL().Add("alter session set nls_date_format = 'DD-MONTH-YYYY HH24:MI:SS'");
    session.Query().Execute();
    EXPECT_EQ(session.DateFormatLength(), 26);
}

TEST_F(SessionSqlTest, ThePrivateStatement) {
    TOracleSession session;
    TOracleQuery& query = session.Query();
    EXPECT_EQ(query.Name(), "Query");
    EXPECT_EQ(query.Session(), &session);
    EXPECT_EQ(&session.Query(), &query);
    Connect(session);
    const std::string id = session.AUDSID();
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
    // Cached until logoff.
    StatementLog log;
    EXPECT_EQ(session.AUDSID(), id);
    EXPECT_TRUE(log.Executed.empty());
    TOracleSession other;
    Connect(other);
    EXPECT_NE(other.AUDSID(), id);
    session.LogOff();
    EXPECT_EQ(session.AUDSID(), "");
    session.LogOn();
    EXPECT_NE(session.AUDSID(), "");
    EXPECT_TRUE(log.Sent("select to_char(userenv('SESSIONID')) from dual"));
}

TEST_F(SessionSqlTest, ServerVersionTexts) {
    struct Case {
        std::string version, expected;
    } cases[] = {
        {"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Prod", "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 "},
        {"Oracle Database 11g Release 11.2.0.1.0 -Production", "Oracle Database 11g Release 11.2.0.1.0 "},
        {"Oracle Release 10.2.0.1.0-beta", "Oracle Release 10.2.0.1.0-beta"},   // no space before the hyphen
        {"Oracle Database 12c Release 12.1.0.1.0", "Oracle Database 12c Release 12.1.0.1.0"},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        Configure("version=" + c.version + "\n");
        TOracleSession session;
        Connect(session);
        EXPECT_EQ(session.ServerVersion(), c.expected);
    }
    TOracleSession disconnected;
    EXPECT_EQ(disconnected.ServerVersion(), "");
    disconnected.SetLogonDatabase("ODBC:lite");
    EXPECT_EQ(disconnected.ServerVersion(), "Personal Oracle Lite");
}

TEST_F(SessionSqlTest, SettingsSentToALiveConnection) {
    for (bool oci7 : {false, true}) {
        SCOPED_TRACE(oci7 ? "OCI7" : "OCI8");
        TOracleSession session;
        StatementLog log;
        // Disconnected: stored only, sent at logon.
        session.SetSQLTrace(stTrue);
        session.SetIsolationLevel(ilSerializable);
        EXPECT_TRUE(log.Executed.empty());
        Connect(session, oci7);
        EXPECT_TRUE(log.Sent("alter session set sql_trace = true"));
        EXPECT_TRUE(log.Sent("alter session set isolation_level = serializable"));
        EXPECT_FALSE(log.Sent("optimizer"));
        EXPECT_EQ(session.SQLTrace(), stTrue);

        log.Executed.clear();
        session.SetOptimizerGoal(ogFirstRows);
        if (oci7) {
            // The stand-in, like later servers, knows only optimizer_mode: the goal is retried.
            EXPECT_EQ(log.Executed, (std::vector<std::string>{"alter session set optimizer_goal = first_rows",
                                                              "alter session set optimizer_mode = first_rows"}));
        } else {
            EXPECT_EQ(log.Executed, (std::vector<std::string>{"alter session set optimizer_mode = first_rows"}));
        }
        EXPECT_EQ(session.OptimizerGoal(), ogFirstRows);
        log.Executed.clear();
        session.SetSQLTrace(stFalse);
        try {
            session.SetIsolationLevel(ilReadCommitted);
            EXPECT_EQ(session.IsolationLevel(), ilReadCommitted);
        } catch (const EOracleError& e) {
            // The stand-in does not take the two-word value yet; the setting then stays.
            EXPECT_EQ(e.ErrorCode(), 927);
            EXPECT_EQ(session.IsolationLevel(), ilSerializable);
        }
        session.SetSQLTrace(stUnchanged);   // nothing to send
        EXPECT_EQ(log.Executed, (std::vector<std::string>{"alter session set sql_trace = false",
                                                          "alter session set isolation_level = read committed"}));
        EXPECT_EQ(session.SQLTrace(), stUnchanged);
        session.SetIsolationLevel(ilSerializable);

        // A reconnect sends every setting that is not unchanged again.
        log.Executed.clear();
        session.LogOn();
        EXPECT_EQ(log.Executed.size(), oci7 ? 3u : 2u);
        EXPECT_TRUE(log.Sent("alter session set optimizer_mode = first_rows"));
        EXPECT_TRUE(log.Sent("alter session set isolation_level = serializable"));
        EXPECT_FALSE(log.Sent("sql_trace"));
        OracleShutdown();
    }
}

TEST_F(SessionSqlTest, AFailedSettingKeepsItsOldValue) {
    TOracleSession session;
    Connect(session);
    session.SetIsolationLevel(ilSerializable);
    Kill(session);
    EXPECT_THROW(session.SetSQLTrace(stTrue), EOracleError);
    EXPECT_EQ(session.SQLTrace(), stUnchanged);
    EXPECT_THROW(session.SetIsolationLevel(ilReadCommitted), EOracleError);
    EXPECT_EQ(session.IsolationLevel(), ilSerializable);
    EXPECT_THROW(session.SetOptimizerGoal(ogRule), EOracleError);
    EXPECT_EQ(session.OptimizerGoal(), ogUnchanged);
}

TEST_F(SessionSqlTest, AutoCommitThroughOCI7Calls) {
    TOracleSession session, reader;
    Connect(session, true);
    Connect(reader);
    session.SetAutoCommit(true);
    EXPECT_TRUE(session.AutoCommit());
    session.Query().Clear();
    session.Query().SQL().Add("insert into dept (deptno, dname) values (77, 'AUTO')");
    session.Query().Execute();
    // Committed by the client: another session sees the row.
    TOracleQuery count;
    count.SetSession(&reader);
    count.SQL().Add("select count(*) from dept where deptno = 77");
    count.Execute();
    EXPECT_EQ(count.FieldAsInteger(0), 1);

    session.SetAutoCommit(false);
    session.Query().Clear();
    session.Query().SQL().Add("insert into dept (deptno, dname) values (78, 'MANUAL')");
    session.Query().Execute();
    count.Clear();
    count.SQL().Add("select count(*) from dept where deptno = 78");
    count.Execute();
    EXPECT_EQ(count.FieldAsInteger(0), 0);

    // Kept over a reconnect and switched on again.
    session.SetAutoCommit(true);
    session.LogOn();
    EXPECT_TRUE(session.AutoCommit());
}

TEST_F(SessionSqlTest, TheLockOfAThreadSafeSessionIsFreeAfterEveryFailedCall) {
    for (bool oci7 : {true, false}) {
        TOracleSession session;
        session.SetThreadSafe(true);
        Connect(session, oci7);
        Kill(session);
        const std::function<void()> calls[] = {
            [&] { session.SetAutoCommit(true); },
            [&] { session.Commit(); },
            [&] { session.Rollback(); },
            [&] { session.SetSQLTrace(stTrue); },
            [&] { session.SetIsolationLevel(ilSerializable); },
            [&] { session.SetOptimizerGoal(ogAllRows); },
            [&] {
                session.Query().Clear();
                session.Query().SQL().Add("select * from dual");
                session.Query().Execute();
            },
        };
        int failures = 0;
        for (const auto& call : calls) {
            try {
                call();
            } catch (const EOracleError& e) {
                ++failures;
                EXPECT_NE(e.ErrorCode(), 0);
            }
            EXPECT_EQ(session.CriticalSection().Entered(), 0) << (oci7 ? "OCI7 " : "OCI8 ") << failures;
        }
        // Every call that reaches the server fails on the killed session (AutoCommit is a switch
        // of the client, or in OCI8 mode sends nothing).
        EXPECT_EQ(failures, 6);
        session.Acquire(false);
        EXPECT_EQ(session.CriticalSection().Entered(), 1);
        session.Release(false);
    }
}

TEST_F(SessionSqlTest, AThreadSafeSessionDetectsOnceForAllThreads) {
    TOracleSession session;
    session.SetThreadSafe(true);
    Connect(session);
    StatementLog log;
    std::vector<int> sizes(4), lengths(4), maxima(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            sizes[i] = session.CharacterSize();
            maxima[i] = session.MaxVarcharN();
            lengths[i] = session.DateFormatLength();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(sizes, std::vector<int>(4, 3));
    EXPECT_EQ(maxima, std::vector<int>(4, 2000));
    EXPECT_EQ(lengths, std::vector<int>(4, 9));
    EXPECT_EQ(log.Created, (std::vector<std::string>{"BytesPerCharacterQuery", "DateFormatLengthQuery"}));
    EXPECT_EQ(session.CriticalSection().Entered(), 0);
}
