// Transactions of the session on the stand-in: commit and rollback, savepoints and transaction
// modes, the cached answer to "is a transaction open", cached updates of master and detail
// data sets applied as one unit of work, and distributed transactions of the transaction
// server (the stand-in's support library, and a recording one for the enlisted paths).
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleLob.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "StandInDatabase.h"

using namespace quorvel;

namespace {

using testing_db::Exec;
using testing_db::Value;

// Runs sql straight through the client, past the library's statements (and their reset of the
// session's transaction cache).
void RunBare(TOracleSession& session, const std::string& sql) {
    void* stmt = nullptr;
    OCI.OCIHandleAlloc(session.EnvHandle(), &stmt, OCI_HTYPE_STMT, 0, nullptr);
    auto* err = static_cast<OCIError*>(session.ErrorHandle());
    ASSERT_EQ(OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), err, reinterpret_cast<const text*>(sql.c_str()),
                                 ub4(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(session.ServiceContext()), static_cast<OCIStmt*>(stmt), err, 1,
                                 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// Records the statements the library executes; counts the blocks that ask the server for
// the transaction id.
struct StatementLog : TQueryMonitor {
    int Probes = 0;
    std::vector<std::string> Executed;
    StatementLog() { QueryMonitor = this; }
    ~StatementLog() override { QueryMonitor = nullptr; }
    void QueryCreated(int, int, int, const std::string&) override {}
    void QueryDestroyed(int) override {}
    void ActivityStart(int, const std::string&, const std::string& sql, const std::string&) override {
        if (sql.find("local_transaction_id") != std::string::npos) ++Probes;
        std::string text = sql;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        Executed.push_back(text);
    }
    void ActivityEnd(int, bool, const std::string&, int) override {}
};

// A data set with cached changes: each kind of change is a list of statements, run when the
// session applies that kind; every call is written to a shared log as "name:action".
class FakeDataSet : public TSessionDataSet {
public:
    FakeDataSet(std::string name, TOracleSession* session, std::vector<std::string>* log)
        : Name(std::move(name)), Session(session), Log(log) {}

    std::string Name;
    TOracleSession* Session;
    std::vector<std::string>* Log;
    std::vector<TSessionDataSet*> Details;
    std::vector<std::string> Deletes, Updates, Inserts;

    TOracleSession* DataSetSession() const override { return Session; }
    std::vector<TSessionDataSet*> DetailDataSets() const override { return Details; }
    void ApplyUpdates(TSet<TApplyAction> actions) override {
        if (actions.Contains(aaDelete)) Apply("delete", Deletes);
        if (actions.Contains(aaUpdate)) Apply("update", Updates);
        if (actions.Contains(aaInsert)) Apply("insert", Inserts);
    }
    void CommitUpdates() override { Log->push_back(Name + ":commit"); }
    void CancelUpdates() override { Log->push_back(Name + ":cancel"); }

private:
    void Apply(const char* action, const std::vector<std::string>& statements) {
        Log->push_back(Name + ":" + action);
        for (const std::string& sql : statements) Exec(*Session, sql);
    }
};

class TransactionTest : public testing_db::StandInDatabase {
protected:
    void TearDown() override {
        CacheInTransaction = true;
        StandInDatabase::TearDown();
    }

    // A master table and its detail, with one committed master row (10) and its detail row.
    void CreateTables(TOracleSession& session) {
        Exec(session, "create table m (id number primary key, name varchar2(20))");
        Exec(session, "create table d (id number primary key, m_id number references m (id))");
        Exec(session, "insert into m values (10, 'ten')");
        Exec(session, "insert into d values (100, 10)");
        session.Commit();
    }

    // What another session sees: the committed state.
    std::string Committed(const std::string& sql) {
        TOracleSession other;
        other.SetLogonUsername("scott/tiger@" + FDatabase);
        other.LogOn();
        return Value(other, sql);
    }
};

} // namespace

TEST_F(TransactionTest, CommitRollbackAndSavepointsInBothInterfaces) {
    {
        // Never connected, the client not even loaded: nothing to do.
        TOracleSession idle;
        EXPECT_NO_THROW(idle.InternalCommit());
        EXPECT_NO_THROW(idle.InternalRollback());
    }
    for (bool oci7 : {false, true}) {
        SCOPED_TRACE(oci7 ? "OCI7" : "OCI8");
        TOracleSession session;
        Connect(session, oci7);
        Exec(session, "create table t (n number)");
        EXPECT_FALSE(session.InTransaction());
        Exec(session, "insert into t values (1)");
        EXPECT_TRUE(session.InTransaction());
        session.Savepoint("before_two");
        Exec(session, "insert into t values (2)");
        session.RollbackToSavepoint("before_two");
        session.Commit();
        Exec(session, "insert into t values (3)");
        EXPECT_TRUE(session.InTransaction());
        session.Rollback();
        EXPECT_FALSE(session.InTransaction());
        EXPECT_EQ(Value(session, "select count(*) || ':' || sum(n) from t"), "1:1");
        // A savepoint that was never set (and none after the commit).
        try {
            session.RollbackToSavepoint("before_two");
            ADD_FAILURE() << "rollback to an unknown savepoint succeeded";
        } catch (const EOracleError& e) {
            EXPECT_EQ(e.ErrorCode(), 1086);
        }
        Exec(session, "drop table t");
        session.LogOff();
        // A disconnected session has nothing to commit or roll back.
        EXPECT_NO_THROW(session.Commit());
        EXPECT_NO_THROW(session.Rollback());
    }
}

TEST_F(TransactionTest, SetTransactionSendsEachMode) {
    TOracleSession session;
    Connect(session);
    Exec(session, "create table t (n number)");
    StatementLog log;
    for (TTransactionMode mode : {tmReadOnly, tmReadWrite, tmReadCommitted, tmSerializable}) {
        session.SetTransaction(mode);
        if (mode == tmReadOnly) {
            // a read-only transaction refuses changes until it ends
            try {
                Exec(session, "insert into t values (1)");
                ADD_FAILURE() << "an insert went through in a read-only transaction";
            } catch (const EOracleError& e) {
                EXPECT_EQ(e.ErrorCode(), 1456);
            }
        } else {
            Exec(session, "insert into t values (1)");
        }
        session.Commit();
    }
    EXPECT_EQ(log.Executed, (std::vector<std::string>{
                                "set transaction read only", "insert into t values (1)",
                                "set transaction read write", "insert into t values (1)",
                                "set transaction isolation level read committed", "insert into t values (1)",
                                "set transaction isolation level serializable", "insert into t values (1)"}));
    EXPECT_EQ(Value(session, "select count(*) from t"), "3");
    // A second set transaction inside a transaction is the server's error.
    Exec(session, "insert into t values (4)");
    EXPECT_THROW(session.SetTransaction(tmReadOnly), EOracleError);
}

TEST_F(TransactionTest, InTransactionIsAskedOnceUntilTheNextStatementCommitOrRollback) {
    TOracleSession session;
    EXPECT_FALSE(session.InTransaction());   // not connected: no question asked
    Connect(session);
    Exec(session, "create table t (n number)");
    StatementLog probes;
    EXPECT_FALSE(session.InTransaction());
    EXPECT_FALSE(session.InTransaction());
    EXPECT_EQ(probes.Probes, 1);
    EXPECT_EQ(session.CachedInTransaction(), itFalse);

    // Work that bypasses the library's statements leaves the cached answer standing ...
    RunBare(session, "insert into t values (1)");
    EXPECT_FALSE(session.InTransaction());
    EXPECT_EQ(probes.Probes, 1);
    // ... unless the cache is switched off.
    CacheInTransaction = false;
    EXPECT_TRUE(session.InTransaction());
    EXPECT_TRUE(session.InTransaction());
    EXPECT_EQ(probes.Probes, 3);
    CacheInTransaction = true;

    session.Commit();
    EXPECT_EQ(session.CachedInTransaction(), itUnknown);
    EXPECT_FALSE(session.InTransaction());
    Exec(session, "insert into t values (2)");   // a statement resets the cache
    EXPECT_EQ(session.CachedInTransaction(), itUnknown);
    EXPECT_TRUE(session.InTransaction());
    session.Rollback();
    EXPECT_FALSE(session.InTransaction());

    // A LOB operation resets it as well.
    auto lob = TLOBLocator::CreateTemporary(&session, otCLOB, true);
    EXPECT_FALSE(session.InTransaction());
    lob->SetAsString("text");
    EXPECT_EQ(session.CachedInTransaction(), itUnknown);
    lob.reset();

    // A new logon starts with an unknown state.
    EXPECT_FALSE(session.InTransaction());
    session.LogOn();
    EXPECT_EQ(session.CachedInTransaction(), itUnknown);
}

TEST_F(TransactionTest, ApplyUpdatesOrdersDetailsAfterTheirMasters) {
    TOracleSession session;
    Connect(session);
    std::vector<std::string> log;
    FakeDataSet master("m", &session, &log), d1("d1", &session, &log), d11("d11", &session, &log),
        d2("d2", &session, &log);
    master.Details = {&d1, &d2};
    d1.Details = {&d11};
    // A detail named before its master still comes after it.
    session.ApplyUpdates({&d1, &master}, true);
    const std::vector<std::string> expected = {
        "d2:delete", "d11:delete", "d1:delete", "m:delete",  // details first
        "m:update",  "d1:update",  "d11:update", "d2:update",  //
        "m:insert",  "d1:insert",  "d11:insert", "d2:insert",  //
        "d2:commit", "d11:commit", "d1:commit",  "m:commit"};
    EXPECT_EQ(log, expected);

    log.clear();
    session.CancelUpdates({&master});
    EXPECT_EQ(log, (std::vector<std::string>{"d2:cancel", "d11:cancel", "d1:cancel", "m:cancel"}));
}

TEST_F(TransactionTest, AFailingDetailInsertRollsBackToTheApplyPointAndReachesTheCaller) {
    TOracleSession session;
    Connect(session);
    CreateTables(session);
    Exec(session, "insert into m values (30, 'thirty')");   // work of the transaction before the apply
    std::vector<std::string> log;
    FakeDataSet master("m", &session, &log), detail("d", &session, &log);
    master.Details = {&detail};
    detail.Deletes = {"delete from d where m_id = 10"};
    master.Deletes = {"delete from m where id = 10"};
    master.Updates = {"update m set name = 'changed' where id = 30"};
    master.Inserts = {"insert into m values (20, 'twenty')"};
    detail.Inserts = {"insert into d values (200, 20)", "insert into d values (201, 99)"};   // no master 99

    try {
        session.ApplyUpdates({&master}, true);
        ADD_FAILURE() << "ApplyUpdates succeeded";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 2291);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"d:delete", "m:delete", "m:update", "d:update", "m:insert", "d:insert"}));
    // Back at the apply point: the earlier work stays, the applied changes are gone, nothing
    // is committed.
    EXPECT_EQ(Value(session, "select count(*) from d where m_id = 10"), "1");
    EXPECT_EQ(Value(session, "select count(*) || name from m where id in (10, 30, 20) group by name order by 1"),
              "1ten");
    EXPECT_EQ(Value(session, "select name from m where id = 30"), "thirty");
    EXPECT_EQ(Value(session, "select count(*) from m"), "2");
    EXPECT_TRUE(session.InTransaction());
    EXPECT_EQ(Committed("select count(*) from m"), "1");
    session.Rollback();
}

TEST_F(TransactionTest, ApplyWithoutCommitLeavesTheTransactionOpenUntilCommitUpdates) {
    TOracleSession session;
    Connect(session);
    CreateTables(session);
    std::vector<std::string> log;
    FakeDataSet master("m", &session, &log), detail("d", &session, &log);
    master.Details = {&detail};
    master.Inserts = {"insert into m values (20, 'twenty')"};
    detail.Inserts = {"insert into d values (200, 20)"};
    session.ApplyUpdates({&master}, false);
    EXPECT_TRUE(session.InTransaction());
    EXPECT_EQ(Committed("select count(*) from d"), "1");
    log.clear();
    session.CommitUpdates({&master});
    EXPECT_EQ(log, (std::vector<std::string>{"d:commit", "m:commit"}));
    EXPECT_FALSE(session.InTransaction());
    EXPECT_EQ(Committed("select count(*) from d"), "2");
}

TEST_F(TransactionTest, ApplyUpdatesRefusals) {
    TOracleSession session;
    session.SetName("MainSession");
    Connect(session);
    CreateTables(session);
    std::vector<std::string> log;
    FakeDataSet master("m", &session, &log);
    master.Inserts = {"insert into m values (20, 'twenty')"};

    // With AutoCommit: refused before anything is done, no savepoint set.
    session.SetAutoCommit(true);
    try {
        session.ApplyUpdates({&master}, true);
        ADD_FAILURE() << "ApplyUpdates with AutoCommit succeeded";
    } catch (const EOracleError&) {
        ADD_FAILURE() << "a database error instead of the refusal";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "ApplyUpdates not possible when AutoCommit = True");
    }
    session.SetAutoCommit(false);
    EXPECT_TRUE(log.empty());
    Exec(session, "insert into m values (40, 'forty')");
    try {
        session.RollbackToSavepoint("QUORVEL_APPLYPOINT");
        ADD_FAILURE() << "a savepoint was set";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1086);
    }
    session.Rollback();

    // A data set of another session (or none): refused, nothing applied.
    TOracleSession other;
    FakeDataSet foreign("f", &other, &log);
    for (TSessionDataSet* intruder : {static_cast<TSessionDataSet*>(&foreign), static_cast<TSessionDataSet*>(nullptr)}) {
        try {
            session.ApplyUpdates({&master, intruder}, true);
            ADD_FAILURE() << "a data set of another session was applied";
        } catch (const EOracleError&) {
            ADD_FAILURE() << "a database error instead of the refusal";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "MainSession.ApplyUpdates: DataSets must belong to this Session");
        }
    }
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(Value(session, "select count(*) from m"), "1");
}

TEST_F(TransactionTest, AFailureAfterTheTransactionEndedReachesTheCallerUnmasked) {
    // A data set that ends the transaction and then fails: the apply point is gone with the
    // transaction, so rolling back to it fails too - the data set's failure is what is reported.
    TOracleSession session;
    Connect(session);
    CreateTables(session);
    struct EndingDataSet : FakeDataSet {
        using FakeDataSet::FakeDataSet;
        void CommitUpdates() override {
            Session->Commit();
            throw Exception("the data set refused");
        }
    };
    std::vector<std::string> log;
    EndingDataSet ds("m", &session, &log);
    ds.Inserts = {"insert into m values (20, 'twenty')"};
    try {
        session.ApplyUpdates({&ds}, true);
        ADD_FAILURE() << "ApplyUpdates succeeded";
    } catch (const EOracleError& e) {
        ADD_FAILURE() << "the rollback's error replaced the failure: " << e.Message();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "the data set refused");
    }
}

// ---- the transaction server ----

TEST_F(TransactionTest, TheStandInTransactionServerRefusesWithItsNumber) {
    TOracleSession session;
    session.SetPooling(spMTS);
    session.SetLogonUsername("scott");
    session.SetLogonPassword("tiger");
    session.SetLogonDatabase(FDatabase);
    try {
        session.LogOn();
        ADD_FAILURE() << "a connection from the stand-in transaction server";
    } catch (const EOracleMTSError& e) {
        EXPECT_EQ(e.ErrorCode(), 1004);
        EXPECT_EQ(e.Message(), "MTS error 1004: invalid OCI Svc ctx\r\nin function OraMTSSvcGet");
    }
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.MTSEnlisted());

    // Enlisting an own connection fails the same way and leaves it a local transaction.
    TOracleSession own;
    Connect(own);
    int transaction = 0;
    try {
        own.MTSEnlist(&transaction);
        ADD_FAILURE() << "enlisted on the stand-in";
    } catch (const EOracleMTSError& e) {
        EXPECT_EQ(e.ErrorCode(), 1004);
        EXPECT_NE(e.Message().find("in function OraMTSSvcEnlistEx"), std::string::npos);
    }
    EXPECT_FALSE(own.MTSEnlisted());
    EXPECT_NO_THROW(own.Commit());
}

TEST_F(TransactionTest, AMissingTransactionServerLibraryIsAnMTSErrorWithNumberZero) {
    // A client directory without any support library.
    const std::string dir = FRoot + "/client";
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(OCIDLL, dir + "/libclntsh.so");
    OCIDLL = dir + "/libclntsh.so";
    TOracleSession session;
    Connect(session);
    int transaction = 0;
    try {
        session.MTSEnlist(&transaction);
        ADD_FAILURE() << "enlisted without a support library";
    } catch (const EOracleMTSError& e) {
        EXPECT_EQ(e.ErrorCode(), 0);
        EXPECT_EQ(e.Message().rfind("Initialization error", 0), 0u) << e.Message();
        EXPECT_NE(e.Message().find("liboramts"), std::string::npos) << e.Message();
    }
}

#ifdef QUORVEL_FAKE_ORAMTS
namespace {

// The recording support library, put beside a link to the stand-in client.
class EnlistedTest : public TransactionTest {
protected:
    void SetUp() override {
        TransactionTest::SetUp();
        if (IsSkipped()) return;
        FLibrary = ::dlopen(QUORVEL_FAKE_ORAMTS, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(FLibrary, nullptr) << ::dlerror();
        Configure = reinterpret_cast<ConfigureFn>(::dlsym(FLibrary, "FakeMTSConfigure"));
        CallsFn = reinterpret_cast<CallsFnType>(::dlsym(FLibrary, "FakeMTSCalls"));
        ASSERT_TRUE(Configure && CallsFn);
        const std::string dir = FRoot + "/client";
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink(OCIDLL, dir + "/libclntsh.so");
        std::filesystem::create_symlink(QUORVEL_FAKE_ORAMTS, dir + "/liboramts10.so");
        OCIDLL = dir + "/libclntsh.so";
    }
    void TearDown() override {
        TransactionTest::TearDown();   // unloads the client and its support library
        if (FLibrary) ::dlclose(FLibrary);
    }

    std::string Calls() {
        std::string out;
        CallsFn(&out);
        return out;
    }

    // Logs a session on through the transaction server, which hands out owner's connection.
    void LogOnThroughServer(TOracleSession& owner, TOracleSession& session, unsigned options) {
        Connect(owner);
        Configure(owner.ExternalSVC(), owner.ExternalENV(), 0, 0);
        session.SetPooling(spMTS);
        session.SetMTSOptions(options);
        session.SetLogonUsername("scott");
        session.SetLogonPassword("tiger");
        session.SetLogonDatabase(FDatabase);
        session.LogOn();
    }

    using ConfigureFn = void (*)(void*, void*, unsigned, unsigned);
    using CallsFnType = void (*)(std::string*);
    ConfigureFn Configure = nullptr;
    CallsFnType CallsFn = nullptr;
    void* FLibrary = nullptr;
};

} // namespace

TEST_F(EnlistedTest, AnImplicitlyEnlistedSessionLeavesTheOutcomeToTheServer) {
    TOracleSession owner, session;
    int changes = 0;
    session.OnChange = [&](TOracleSession&) { ++changes; };
    LogOnThroughServer(owner, session, (1u << moImplicit) | (1u << moUniqueServer));
    EXPECT_EQ(Calls(), "OraMTSSvcGet scott tiger " + FDatabase + " flags=2\n");
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.Shared());
    EXPECT_TRUE(session.MTSEnlisted());
    EXPECT_EQ(changes, 1);

    for (auto [operation, text] : {std::pair<std::function<void()>, const char*>{[&] { session.Commit(); },
                                                                                  "Cannot commit an MTS Controlled Transaction"},
                                   {[&] { session.Rollback(); }, "Cannot rollback an MTS Controlled Transaction"}}) {
        try {
            operation();
            ADD_FAILURE() << "not refused: " << text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), text);
        }
    }
    // Cached updates are accepted or discarded, the transaction is the server's.
    Exec(session, "create table t (n number)");
    Exec(session, "insert into t values (1)");
    std::vector<std::string> log;
    FakeDataSet ds("t", &session, &log);
    session.CommitUpdates({&ds});
    session.CancelUpdates({&ds});
    EXPECT_EQ(log, (std::vector<std::string>{"t:commit", "t:cancel"}));
    EXPECT_TRUE(session.InTransaction());

    // Giving the connection back does not end it.
    session.LogOff();
    EXPECT_EQ(Calls(), "OraMTSSvcGet scott tiger " + FDatabase + " flags=2\nOraMTSSvcRel service\n");
    EXPECT_FALSE(session.MTSEnlisted());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(Value(owner, "select count(*) from t"), "1");
    owner.Rollback();
}

TEST_F(EnlistedTest, ExplicitEnlistmentDetachResumeAndDeEnlist) {
    TOracleSession owner, session;
    LogOnThroughServer(owner, session, 0);
    EXPECT_FALSE(session.MTSEnlisted());
    int transaction = 0;
    const std::string t = std::to_string(reinterpret_cast<std::uintptr_t>(&transaction));
    session.MTSEnlist(&transaction);
    EXPECT_TRUE(session.MTSEnlisted());
    EXPECT_EQ(session.MTSTransaction(), &transaction);
    EXPECT_THROW(session.Commit(), Exception);
    session.MTSDetach(&transaction);
    EXPECT_FALSE(session.MTSEnlisted());
    EXPECT_NO_THROW(session.Commit());
    session.MTSResume(&transaction);
    EXPECT_TRUE(session.MTSEnlisted());
    session.MTSDeEnlist();
    EXPECT_FALSE(session.MTSEnlisted());
    EXPECT_EQ(session.MTSTransaction(), nullptr);
    const std::string db = " " + FDatabase + "\n";
    EXPECT_EQ(Calls(), "OraMTSSvcGet scott tiger " + FDatabase + " flags=1\n" +
                           "OraMTSSvcEnlistEx service " + t + " flags=0" + db +
                           "OraMTSSvcEnlistEx service " + t + " flags=2" + db +
                           "OraMTSSvcEnlistEx service " + t + " flags=1" + db +
                           "OraMTSSvcEnlistEx service null flags=0" + db);

    // A failing enlistment keeps the session as it was.
    Configure(owner.ExternalSVC(), owner.ExternalENV(), 0, 6007);
    try {
        session.MTSEnlist(&transaction);
        ADD_FAILURE() << "the failed enlistment was not raised";
    } catch (const EOracleMTSError& e) {
        EXPECT_EQ(e.ErrorCode(), 6007);
        EXPECT_EQ(e.Message(), "MTS error 6007: session already enlisted\r\nin function OraMTSSvcEnlistEx");
    }
    EXPECT_FALSE(session.MTSEnlisted());
}

TEST_F(EnlistedTest, AFailedLogonThroughTheServer) {
    TOracleSession owner, session;
    Connect(owner);
    Configure(owner.ExternalSVC(), owner.ExternalENV(), 4002, 0);
    session.SetPooling(spMTS);
    session.SetLogonUsername("scott");
    try {
        session.LogOn();
        ADD_FAILURE() << "logged on";
    } catch (const EOracleMTSError& e) {
        EXPECT_EQ(e.ErrorCode(), 4002);
        EXPECT_EQ(e.Message(), "MTS error 4002: failed logon to Oracle\r\nin function OraMTSSvcGet");
    }
    EXPECT_FALSE(session.Connected());
}
#endif
