// Connection-level services of the session on the stand-in: the connection check with
// reconnect, cancelling a running call, the external handles and external procedures, the
// object cache, date and number instances, edition and workspace, and the monitor link.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

using testing_db::Exec;
using testing_db::Value;

// The message of the general exception op raises ("" when it raises nothing or a database error).
template <class F>
std::string Refusal(F op) {
    try {
        op();
    } catch (const EOracleError& e) {
        return "database error: " + e.Message();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

class ServicesTest : public testing_db::StandInDatabase {
protected:
    // Ends the session's server process from a DBA session; its next call fails.
    void Kill(TOracleSession& victim) {
        const std::string audsid = victim.AUDSID();
        TOracleSession dba;
        dba.SetLogonUsername("system/manager@" + FDatabase);
        dba.LogOn();
        const std::string target =
            Value(dba, "select sid || ',' || serial# from v$session where audsid = " + audsid);
        ASSERT_FALSE(target.empty());
        Exec(dba, "alter system kill session '" + target + "'");
    }
};

} // namespace

TEST_F(ServicesTest, CheckConnectionOnALiveADisconnectedAndAKilledSession) {
    TOracleSession session;
    int changes = 0, before = 0;
    session.OnChange = [&](TOracleSession&) { ++changes; };
    session.BeforeLogOn = [&](TOracleSession&) { ++before; };
    session.SetLogonUsername("scott/tiger@" + FDatabase);

    // Disconnected: without reconnect nothing is tried.
    EXPECT_EQ(session.CheckConnection(false), ccError);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(session.CheckConnection(true), ccReconnected);
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(session.CheckConnection(true), ccOK);
    EXPECT_EQ(changes, 1);

    // Killed: logged off and on again, OnChange for each.
    Kill(session);
    EXPECT_EQ(session.CheckConnection(true), ccReconnected);
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(Value(session, "select count(*) from emp"), "14");

    // Killed, without reconnect: logged off.
    Kill(session);
    EXPECT_EQ(session.CheckConnection(false), ccError);
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(changes, 4);

    // A reconnect that fails gives ccError and raises nothing.
    session.SetLogonPassword("wrong");
    EXPECT_EQ(session.CheckConnection(true), ccError);
    EXPECT_FALSE(session.Connected());
}

TEST_F(ServicesTest, BreakExecutionEndsACallRunningOnAnotherThread) {
    for (bool oci7 : {false, true}) {
        SCOPED_TRACE(oci7 ? "OCI7" : "OCI8");
        TOracleSession session;
        Connect(session, oci7);
        Exec(session, "create table big (n number)");
        Exec(session, "insert into big select rownum from emp a, emp b, emp c");   // 2744 rows
        std::atomic<bool> finished{false};
        int error = 0;
        std::thread worker([&] {
            try {
                Exec(session, "select count(*) from big a, big b, big c where a.n + b.n = c.n");
            } catch (const EOracleError& e) {
                error = e.ErrorCode();
            }
            finished = true;
        });
        // A break that finds no call running is discarded: repeated until the query ends.
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            session.BreakExecution();
        }
        worker.join();
        EXPECT_EQ(error, 1013);
        EXPECT_EQ(Value(session, "select count(*) from big"), "2744");
        Exec(session, "drop table big");
    }
    // Nothing to cancel on a disconnected session.
    TOracleSession idle;
    EXPECT_NO_THROW(idle.BreakExecution());
}

TEST_F(ServicesTest, ExternalHandlesAreRefusedOutsideTheirInterface) {
    TOracleSession session;
    const std::vector<std::pair<std::function<void()>, std::string>> oci8Handles = {
        {[&] { session.ExternalSVC(); }, "ExternalSVC only valid when connected through OCI8"},
        {[&] { session.ExternalENV(); }, "ExternalENV only valid when connected through OCI8"},
        {[&] { session.ExternalSRV(); }, "ExternalSRV only valid when connected through OCI8"},
        {[&] { session.ExternalAUT(); }, "ExternalAUT only valid when connected through OCI8"}};
    const std::string ldaRefusal = "ExternalLDA only valid when connected through OCI7";

    for (const auto& [read, text] : oci8Handles) EXPECT_EQ(Refusal(read), text);   // disconnected
    EXPECT_EQ(Refusal([&] { session.ExternalLDA(); }), ldaRefusal);

    Connect(session);
    for (const auto& [read, text] : oci8Handles) EXPECT_EQ(Refusal(read), "");
    EXPECT_EQ(Refusal([&] { session.ExternalLDA(); }), ldaRefusal);

    session.LogOff();
    Connect(session, true);
    for (const auto& [read, text] : oci8Handles) EXPECT_EQ(Refusal(read), text);
    EXPECT_NE(session.ExternalLDA(), nullptr);

    // A service context can only be taken on with OCI8 calls.
    TOracleSession other;
    other.Preferences().SetUseOCI7(true);
    EXPECT_EQ(Refusal([&] { other.SetExternalSVC(&other); }), "ExternalSVC only valid with OCI8");
    other.Preferences().SetUseOCI7(false);
    ForceOCI7 = true;
    EXPECT_EQ(Refusal([&] { other.SetExternalSVC(&other); }), "ExternalSVC only valid with OCI8");
    ForceOCI7 = false;
    EXPECT_FALSE(other.Connected());
}

TEST_F(ServicesTest, ExternalProceduresNeedTheServersContext) {
    TOracleSession session;
    EXPECT_EQ(Refusal([&] { session.ExtProcRaise(20001, "failed"); }),
              "Operation only allowed in external procedure context");
    // Outside the server there is no external-procedure context to share: the client says so
    // with its status.
    const std::string refusal = Refusal([&] { session.ExtProcShare(nullptr); });
    EXPECT_EQ(refusal.rfind("Error sharing external procedure context (", 0), 0u) << refusal;
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(Refusal([&] { session.ExtProcRaise(20001, "failed"); }),
              "Operation only allowed in external procedure context");
}

TEST_F(ServicesTest, DateAndNumberInstances) {
    TOracleSession session;
    EXPECT_EQ(Refusal([&] { session.OCIDateCreate(); }), "OCIDateCreate requires a connected session");
    Connect(session, true);
    EXPECT_EQ(Refusal([&] { session.OCINumberCreate(); }), "OCINumberCreate requires OCI8 mode, but OCI7 mode is used.");
    session.LogOff();
    Connect(session);

    OCINumber* number = session.OCINumberCreate();
    ASSERT_NE(number, nullptr);
    session.OCINumberFromFloat(number, -1234.5625);
    EXPECT_DOUBLE_EQ(session.OCINumberToFloat(number), -1234.5625);
    for (int32_t v : {0, 1, -1, 2147483647, -2147483647 - 1}) {
        session.OCINumberFromInt(number, v);
        EXPECT_EQ(session.OCINumberToInt(number), v);
    }
    // Too large for four bytes: the client's error.
    session.OCINumberFromFloat(number, 1e12);
    EXPECT_THROW(session.OCINumberToInt(number), EOracleError);
    session.OCINumberFree(number);

    OCIDate* date = session.OCIDateCreate();
    ASSERT_NE(date, nullptr);
    const TDateTime when(EncodeDate(2024, 2, 29).Value + EncodeTime(13, 14, 15, 0).Value);
    *date = TOracleSession::OCIDateFromDateTime(when);
    EXPECT_EQ(date->OCIDateYYYY, 2024);
    EXPECT_EQ(date->OCIDateMM, 2);
    EXPECT_EQ(date->OCIDateDD, 29);
    EXPECT_DOUBLE_EQ(TOracleSession::OCIDateToDateTime(*date).Value, when.Value);
    session.OCIDateFree(date);
    // Something the client never handed out.
    OCIDate stray{};
    EXPECT_THROW(session.OCIDateFree(&stray), EOracleError);
}

TEST_F(ServicesTest, FlushObjectsOnlyInOCI8Mode) {
    TOracleSession session;
    EXPECT_NO_THROW(session.FlushObjects());   // disconnected: nothing to flush
    Connect(session, true);
    EXPECT_NO_THROW(session.FlushObjects());   // OCI7: no object cache
    session.LogOff();
    Connect(session);
    try {
        session.FlushObjects();
    } catch (const EOracleError& e) {
        // The stand-in has no object cache yet and says so; the error carries its number.
        EXPECT_EQ(e.ErrorCode(), 3001);
    }
}

TEST_F(ServicesTest, WorkspaceIsAppliedWhenSetAndAtLogonCommittingFirst) {
    TOracleSession session, other;
    Connect(session);
    Connect(other);
    Exec(session, "create table t (n number)");
    Exec(session, "insert into t values (1)");
    session.SetWorkspace("LIVE");
    EXPECT_EQ(Value(other, "select count(*) from t"), "1");   // committed before switching
    TOracleQuery current;
    current.SetSession(&session);
    current.SQL().Add("begin :w := dbms_wm.getworkspace; end;");
    current.DeclareVariable("w", otString);
    current.Execute();
    EXPECT_EQ(VarToStr(current.GetVariable("w")), "LIVE");

    try {
        session.SetWorkspace("missing");
        ADD_FAILURE() << "switched to a missing workspace";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 20000);
    }
    EXPECT_TRUE(session.Connected());
    // At logon a workspace that cannot be entered ends the logon.
    int changes = 0;
    session.OnChange = [&](TOracleSession&) { ++changes; };
    EXPECT_THROW(session.LogOn(), EOracleError);
    EXPECT_FALSE(session.Connected());
    session.SetWorkspace("LIVE");
    session.LogOn();
    EXPECT_TRUE(session.Connected());
}

TEST_F(ServicesTest, EditionIsAppliedOnOracle11Only) {
    {
        // The stand-in's default server is Oracle 10: no editions, nothing is sent.
        TOracleSession session;
        session.SetEdition("NO_SUCH_EDITION");
        Connect(session);
        EXPECT_TRUE(session.Connected());
        session.SetEdition("ANOTHER");
    }
    OracleShutdown();
    const std::string root = FDatabase;
    FDatabase = FRoot + "/db11";
    Configure("version=Oracle Database 11g Enterprise Edition Release 11.2.0.1.0 - Production\n");
    TOracleSession session, other;
    Connect(session);
    Connect(other);
    ASSERT_TRUE(session.Oracle11());
    Exec(session, "create table t (n number)");
    Exec(session, "insert into t values (1)");
    session.SetEdition("ORA$BASE");
    EXPECT_EQ(Value(other, "select count(*) from t"), "1");   // committed before switching
    try {
        session.SetEdition("NO_SUCH_EDITION");
        ADD_FAILURE() << "switched to a missing edition";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 38802);
    }
    EXPECT_THROW(session.LogOn(), EOracleError);
    EXPECT_FALSE(session.Connected());
    FDatabase = root;
}

namespace {

// Records what the session reports to a monitor.
struct MonitorLog : TSessionMonitor {
    std::mutex Lock;
    std::vector<std::string> Events;
    std::vector<std::vector<std::string>> Parameters;
    MonitorLog() { SessionMonitor = this; }
    ~MonitorLog() override { SessionMonitor = nullptr; }
    void Add(std::string e) {
        std::lock_guard<std::mutex> guard(Lock);
        Events.push_back(std::move(e));
    }
    void SessionCreated(int id, const std::string& name) override { Add(std::to_string(id) + " created " + name); }
    void SessionDestroyed(int id) override { Add(std::to_string(id) + " destroyed"); }
    void ActivityStart(int id, const std::string& activity, const std::vector<std::string>& parameters) override {
        Add(std::to_string(id) + " start " + activity);
        std::lock_guard<std::mutex> guard(Lock);
        Parameters.push_back(parameters);
    }
    void ActivityEnd(int id, int64_t elapsed, const std::string& error) override {
        Add(std::to_string(id) + " end" + (elapsed < 0 ? " negative" : "") + (error.empty() ? "" : " " + error));
    }
    void Message(int id, const std::string& text) override { Add(std::to_string(id) + " message " + text); }
};

} // namespace

TEST_F(ServicesTest, MonitorLinkReportsTheSessionsActivities) {
    {
        TOracleSession unmonitored;
        EXPECT_EQ(unmonitored.MonID(), 0);
        Connect(unmonitored);
        unmonitored.Commit();   // nothing to report to, nothing computed
    }
    MonitorLog monitor;
    std::string id;
    {
        TOracleSession session;
        session.SetName("Main");
        const int monId = session.MonID();
        EXPECT_GT(monId, 0);
        EXPECT_EQ(session.MonID(), monId);
        id = std::to_string(monId);
        session.SetLogonUsername("scott");
        session.SetLogonPassword("tiger");
        session.SetLogonDatabase(FDatabase);
        session.LogOn();
        session.Commit();
        session.Rollback();
        session.MonitorMessage("hello");
        session.LogOff();
        session.SetLogonPassword("wrong");
        EXPECT_THROW(session.LogOn(), EOracleError);

        TOracleSession second;
        EXPECT_NE(second.MonID(), monId);
        ASSERT_GE(monitor.Parameters.size(), 2u);
        const std::vector<std::string>& p = monitor.Parameters[1];   // at the commit
        ASSERT_EQ(p.size(), 12u);
        EXPECT_EQ(p[0], "Username");
        EXPECT_EQ(p[1], "scott");
        EXPECT_EQ(p[2], "Password");
        EXPECT_EQ(p[4], "Database");
        EXPECT_EQ(p[5], FDatabase);
        EXPECT_EQ(p[6], "ConnectAs");
        EXPECT_EQ(p[7], "");
        EXPECT_EQ(p[8], "AUDSID");
        EXPECT_FALSE(p[9].empty());   // read at logon for the monitor
        EXPECT_EQ(p[10], "OCIDLL");
        EXPECT_EQ(p[11], OCIDLL);
    }
    std::vector<std::string> mine;
    for (const std::string& e : monitor.Events)
        if (e.rfind(id + " ", 0) == 0) mine.push_back(e.substr(id.size() + 1));
    const std::vector<std::string> expected = {
        "created Main",
        "start Session.LogOn as scott@" + FDatabase, "end",
        "start Session.Commit", "end",
        "start Session.Rollback", "end",
        "message hello",
        "start Session.LogOff", "end",
        "start Session.LogOn as scott@" + FDatabase, "end ORA-01017: invalid username/password; logon denied\n",
        "destroyed"};
    EXPECT_EQ(mine, expected);

    // Entering a workspace at logon commits inside the logon's activity.
    monitor.Events.clear();
    {
        TOracleSession nested;
        nested.SetWorkspace("LIVE");
        nested.SetLogonUsername("scott");
        nested.SetLogonPassword("tiger");
        nested.SetLogonDatabase(FDatabase);
        nested.LogOn();
        const std::string n = std::to_string(nested.MonID()) + " ";
        EXPECT_EQ(monitor.Events, (std::vector<std::string>{n + "created ", n + "start Session.LogOn as scott@" + FDatabase,
                                                            n + "start Session.Commit", n + "end", n + "end"}));
    }

    // Switched off: nothing is reported.
    monitor.Events.clear();
    SessionMonitorEnabled = false;
    {
        TOracleSession quiet;
        Connect(quiet);
        quiet.Commit();
    }
    SessionMonitorEnabled = true;
    EXPECT_TRUE(monitor.Events.empty());
}

TEST_F(ServicesTest, ShareHandsTheConnectionToAnotherSession) {
    for (bool oci7 : {false, true}) {
        SCOPED_TRACE(oci7 ? "OCI7" : "OCI8");
        TOracleSession owner, receiver;
        Connect(owner, oci7);
        Exec(owner, "create table t (n number)");
        Exec(owner, "insert into t values (1)");
        int changes = 0;
        receiver.OnChange = [&](TOracleSession&) { ++changes; };
        owner.Share(receiver);
        EXPECT_EQ(receiver.LogonUsername(), "scott");
        EXPECT_EQ(receiver.LogonPassword(), "tiger");
        EXPECT_EQ(receiver.LogonDatabase(), FDatabase);
        EXPECT_TRUE(receiver.Connected());
        EXPECT_TRUE(receiver.Shared());
        EXPECT_EQ(receiver.UseOCI80(), !oci7);
        EXPECT_EQ(Value(receiver, "select count(*) from t"), "1");   // the same transaction
        receiver.LogOff();
        EXPECT_EQ(changes, 2);
        EXPECT_TRUE(owner.Connected());
        EXPECT_EQ(Value(owner, "select count(*) from t"), "1");
        Exec(owner, "drop table t");
    }
}
