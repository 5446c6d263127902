// Session pools on the stand-in: borrowing and giving back connections, the limit with a
// waiting borrower, dropping idle entries, replacing a connection killed on the server,
// homogeneous and heterogeneous pools, the client's own session pool, and the refusals.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/OracleSessionPool.h"
#include "StandInDatabase.h"

using namespace quorvel;

namespace {

using testing_db::Exec;
using testing_db::Value;

std::string Failure(const std::function<void()>& op) {
    try {
        op();
    } catch (const EOracleError& e) {
        return "database error " + std::to_string(e.ErrorCode());
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

// What a pool's callbacks saw, as "callback:session name" in order.
struct PoolLog {
    std::mutex Lock;
    std::vector<std::string> Events;
    void Add(const std::string& e) {
        std::lock_guard<std::mutex> guard(Lock);
        Events.push_back(e);
    }
    void Watch(TOracleSessionPool& pool) {
        pool.OnOpen = [this](TOracleSessionPool&) { Add("open"); };
        pool.OnClose = [this](TOracleSessionPool&) { Add("close"); };
        pool.AfterReserve = [this](TOracleSessionPool&, TOracleSession& s) { Add("reserve:" + s.Name()); };
        pool.AfterConnect = [this](TOracleSessionPool&, TOracleSession& s) { Add("connect:" + s.Name()); };
        pool.BeforeRelease = [this](TOracleSessionPool&, TOracleSession& s) { Add("release:" + s.Name()); };
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> guard(Lock);
        return std::exchange(Events, {});
    }
};

class PoolTest : public testing_db::StandInDatabase {
protected:
    std::string Scott() const { return "scott/tiger@" + FDatabase; }
    std::string System() const { return "system/manager@" + FDatabase; }

    // A session borrowing from pool (the default pool when none).
    std::unique_ptr<TOracleSession> Borrower(const std::string& name, TOracleSessionPool* pool,
                                             const std::string& logon) {
        auto session = std::make_unique<TOracleSession>();
        session->SetName(name);
        if (pool)
            session->SetPool(pool);
        else
            session->SetPooling(spInternal);
        session->SetLogonUsername(logon);
        return session;
    }

    // Ends the session's server process from a DBA session; its next call fails.
    void Kill(const std::string& audsid) {
        TOracleSession dba;
        dba.SetLogonUsername(System());
        dba.LogOn();
        const std::string target = Value(dba, "select sid || ',' || serial# from v$session where audsid = " + audsid);
        ASSERT_FALSE(target.empty());
        Exec(dba, "alter system kill session '" + target + "'");
    }

    // The stand-in client without the OCI 9.2 group (no session pools), when it was built.
    std::string ClientWithoutOCI92() const {
        const char* variants = std::getenv("QUORVEL_STANDIN_VARIANTS");
        const std::string client = variants ? std::string(variants) + "/no-oci92/lib/libclntsh.so" : "";
        return !client.empty() && std::filesystem::exists(client) ? client : "";
    }
};

using Events = std::vector<std::string>;

} // namespace

TEST_F(PoolTest, ABorrowerSharesAPooledConnectionThatOutlivesItsLogoff) {
    PoolLog log;
    auto pool = std::make_unique<TOracleSessionPool>();
    log.Watch(*pool);
    EXPECT_EQ(pool->Max(), 0);
    EXPECT_EQ(pool->Min(), 0);
    EXPECT_EQ(pool->TimeOut(), 0);
    EXPECT_EQ(pool->PoolType(), ptDefault);
    EXPECT_FALSE(pool->Homogeneous());
    EXPECT_FALSE(pool->StatementCache());
    EXPECT_FALSE(pool->Opened());

    auto first = Borrower("First", pool.get(), Scott());
    EXPECT_EQ(first->Pooling(), spInternal);
    int changes = 0;
    first->OnChange = [&](TOracleSession&) { ++changes; };
    first->LogOn();
    EXPECT_TRUE(first->Connected());
    EXPECT_TRUE(first->Shared());
    EXPECT_EQ(changes, 1);
    // The connect string was split as a logon splits it.
    EXPECT_EQ(first->LogonUsername(), "scott");
    EXPECT_EQ(first->LogonPassword(), "tiger");
    EXPECT_EQ(first->LogonDatabase(), FDatabase);
    EXPECT_EQ(Value(*first, "select user from dual"), "SCOTT");
    EXPECT_TRUE(pool->Opened());
    EXPECT_EQ(pool->UsedPoolType(), ptDefault);
    ASSERT_EQ(pool->Count(), 1);
    EXPECT_EQ(pool->GetSession(0), first.get());
    TOracleSession* pooled = pool->Entry(0).PooledSession();
    ASSERT_NE(pooled, nullptr);
    EXPECT_EQ(pooled->OwnerPool(), pool.get());
    EXPECT_FALSE(pooled->Shared());
    EXPECT_EQ(log.Take(), (Events{"open", "reserve:First", "connect:First"}));

    // Work done on the borrowed connection is the pooled session's.
    Exec(*first, "create table t (n number)");
    Exec(*first, "insert into t values (1)");
    EXPECT_EQ(Value(*pooled, "select count(*) from t"), "1");

    first->LogOff();
    EXPECT_FALSE(first->Connected());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(log.Take(), (Events{"release:First"}));
    ASSERT_EQ(pool->Count(), 1);
    EXPECT_EQ(pool->GetSession(0), nullptr);
    EXPECT_TRUE(pooled->Connected());
    EXPECT_GT(pool->Entry(0).ReleaseTime.Value, 0.0);

    // The next borrower gets the same connection: no new connection, the open transaction
    // with it.
    auto second = Borrower("Second", pool.get(), Scott());
    second->LogOn();
    EXPECT_EQ(log.Take(), (Events{"reserve:Second"}));
    EXPECT_EQ(Value(*second, "select count(*) from t"), "1");
    EXPECT_EQ(pool->Count(), 1);

    // A logon of a connected borrower gives its connection back and borrows again.
    second->LogOn();
    EXPECT_EQ(log.Take(), (Events{"release:Second", "reserve:Second"}));
    EXPECT_EQ(pool->Count(), 1);

    // Destroying the pool logs its borrowers off; they forget the pool.
    pool.reset();
    EXPECT_EQ(log.Take(), (Events{"release:Second", "close"}));
    EXPECT_FALSE(second->Connected());
    EXPECT_EQ(second->Pool(), nullptr);
    EXPECT_EQ(second->Pooling(), spInternal);
}

TEST_F(PoolTest, SessionsWithoutAPoolBorrowFromTheDefaultPool) {
    TOracleSessionPool& pool = DefaultSessionPool();
    PoolLog log;
    log.Watch(pool);
    auto session = Borrower("Plain", nullptr, Scott());
    session->LogOn();
    EXPECT_EQ(Value(*session, "select user from dual"), "SCOTT");
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.GetSession(0), session.get());
    session->LogOff();
    EXPECT_EQ(log.Take(), (Events{"open", "reserve:Plain", "connect:Plain", "release:Plain"}));
    // Program shutdown closes the default pool with its connections; it opens again when used.
    OracleShutdown();
    EXPECT_FALSE(pool.Opened());
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(log.Take(), (Events{"close"}));
    pool.OnOpen = nullptr;
    pool.OnClose = nullptr;
    pool.AfterReserve = pool.AfterConnect = pool.BeforeRelease = nullptr;
}

TEST_F(PoolTest, AtTheLimitABorrowerWaitsForAnotherThreadsLogoff) {
    TOracleSessionPool pool;
    pool.SetMax(1);
    std::atomic<int> connects{0};
    pool.AfterConnect = [&](TOracleSessionPool&, TOracleSession&) { ++connects; };

    std::mutex lock;
    std::condition_variable changed;
    bool firstIn = false, letGo = false;
    std::atomic<bool> secondIn{false};
    std::string seen;
    {
        TOracleSession owner;
        owner.SetLogonUsername(Scott());
        owner.LogOn();
        Exec(owner, "create table t (n number)");
    }

    std::thread first([&] {
        auto session = Borrower("First", &pool, Scott());
        session->SetThreadSafe(true);
        session->LogOn();
        Exec(*session, "insert into t values (1)");   // seen only on this connection
        {
            std::unique_lock<std::mutex> guard(lock);
            firstIn = true;
            changed.notify_all();
            changed.wait(guard, [&] { return letGo; });
        }
        session->LogOff();
    });
    std::thread second([&] {
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return firstIn; });
        }
        auto session = Borrower("Second", &pool, Scott());
        session->SetThreadSafe(true);
        session->LogOn();
        secondIn = true;
        seen = Value(*session, "select count(*) from t");
        session->LogOff();
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return firstIn; });
    }
    // The only connection is lent: the second borrower cannot get in, however long it tries.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(secondIn);
    EXPECT_EQ(pool.Count(), 1);
    {
        std::lock_guard<std::mutex> guard(lock);
        letGo = true;
        changed.notify_all();
    }
    first.join();
    second.join();
    EXPECT_TRUE(secondIn);
    EXPECT_EQ(seen, "1");   // the same entry, with its connection
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(pool.Count(), 1);
}

TEST_F(PoolTest, ManyThreadsNeverHoldMoreThanMaxConnections) {
    TOracleSessionPool pool;
    pool.SetMax(2);
    std::atomic<int> inside{0}, most{0}, failures{0};
    pool.AfterReserve = [&](TOracleSessionPool&, TOracleSession&) {
        const int now = ++inside;
        int seen = most;
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    };
    pool.BeforeRelease = [&](TOracleSessionPool&, TOracleSession&) { --inside; };
    // The client is loaded before the threads start: the loader's "is it loaded" question is
    // not guarded against a first load running on another thread.
    EnsureOCILoaded();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            auto session = Borrower("Worker", &pool, Scott());
            session->SetThreadSafe(true);
            for (int i = 0; i < 5; ++i) {
                try {
                    session->LogOn();
                    if (Value(*session, "select count(*) from emp") != "14") ++failures;
                    session->LogOff();
                } catch (const std::exception&) {
                    ++failures;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_LE(most, 2);
    EXPECT_GE(most, 1);
    EXPECT_LE(pool.Count(), 2);
}

TEST_F(PoolTest, IdleEntriesAreDroppedAfterTheirTimeOutDownToMin) {
    TOracleSessionPool pool;
    pool.SetTimeOut(60);
    pool.SetMin(1);
    std::vector<std::unique_ptr<TOracleSession>> sessions;
    for (const char* name : {"A", "B", "C"}) {
        sessions.push_back(Borrower(name, &pool, Scott()));
        sessions.back()->LogOn();
    }
    for (auto& s : sessions) s->LogOff();
    // Released just now: nothing is old enough.
    ASSERT_EQ(pool.Count(), 3);
    pool.Lock();
    for (int i = 0; i < 3; ++i) pool.Entry(i).ReleaseTime = TDateTime(Now().Value - 2.0 / (24 * 60));
    TOracleSession* kept = pool.Entry(0).PooledSession();
    pool.Unlock();
    // The next reservation takes the first entry and drops the other two.
    sessions[0]->LogOn();
    ASSERT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.Entry(0).PooledSession(), kept);
    sessions[0]->LogOff();
    EXPECT_EQ(pool.Count(), 1);

    // Without a timeout, entries above Min go at once when they are given back.
    TOracleSessionPool eager;
    eager.SetMin(1);
    auto a = Borrower("A", &eager, Scott());
    auto b = Borrower("B", &eager, Scott());
    a->LogOn();
    b->LogOn();
    ASSERT_EQ(eager.Count(), 2);
    b->LogOff();
    EXPECT_EQ(eager.Count(), 1);
    a->LogOff();
    EXPECT_EQ(eager.Count(), 1);

    // Compress drops free entries down to Min; without Min all of them.
    TOracleSessionPool plain;
    auto c = Borrower("C", &plain, Scott());
    auto d = Borrower("D", &plain, Scott());
    c->LogOn();
    d->LogOn();
    d->LogOff();
    EXPECT_EQ(plain.Count(), 2);
    plain.Compress();
    ASSERT_EQ(plain.Count(), 1);
    EXPECT_EQ(plain.GetSession(0), c.get());
    c->LogOff();
    plain.Compress();
    EXPECT_EQ(plain.Count(), 0);
}

TEST_F(PoolTest, AConnectionKilledOnTheServerIsReplacedAtTheNextReservation) {
    for (TSessionPoolType type : {ptDefault, ptOracle}) {
        SCOPED_TRACE(type == ptDefault ? "ptDefault" : "ptOracle");
        PoolLog log;   // outlives the pool, whose closing it records
        TOracleSessionPool pool;
        pool.SetPoolType(type);
        log.Watch(pool);
        auto session = Borrower("S", &pool, Scott());
        session->LogOn();
        // A row only this connection sees marks it.
        Exec(*session, type == ptDefault ? "create table t (n number)" : "delete from t");
        Exec(*session, "insert into t values (1)");
        const std::string audsid = session->AUDSID();
        session->LogOff();
        log.Take();
        Kill(audsid);

        session->LogOn();
        EXPECT_EQ(log.Take(), (Events{"reserve:S", "connect:S"}));
        EXPECT_EQ(pool.Count(), 1);
        EXPECT_EQ(Value(*session, "select count(*) from t"), "0");
        EXPECT_EQ(Value(*session, "select count(*) from emp"), "14");
        session->LogOff();
    }
}

TEST_F(PoolTest, AHomogeneousPoolLogsEveryBorrowerOnWithItsOwnCredentials) {
    for (TSessionPoolType type : {ptDefault, ptOracle}) {
        SCOPED_TRACE(type == ptDefault ? "ptDefault" : "ptOracle");
        TOracleSessionPool pool;
        pool.SetPoolType(type);
        pool.SetHomogeneous(true);
        pool.SetLogonUsername("scott");
        pool.SetLogonPassword("tiger");
        pool.SetLogonDatabase(FDatabase);
        auto session = Borrower("S", &pool, "system/manager@elsewhere");
        session->LogOn();
        EXPECT_EQ(session->LogonUsername(), "scott");
        EXPECT_EQ(session->LogonPassword(), "tiger");
        EXPECT_EQ(session->LogonDatabase(), FDatabase);
        EXPECT_EQ(Value(*session, "select user from dual"), "SCOTT");
        EXPECT_TRUE(pool.UsedHomogeneous());
        session->LogOff();
    }
}

TEST_F(PoolTest, AHeterogeneousPoolLendsAConnectionOnlyToItsOwnCredentials) {
    PoolLog log;
    TOracleSessionPool pool;
    log.Watch(pool);
    auto scott = Borrower("Scott", &pool, Scott());
    auto system = Borrower("System", &pool, System());
    scott->LogOn();
    system->LogOn();
    EXPECT_EQ(Value(*scott, "select user from dual"), "SCOTT");
    EXPECT_EQ(Value(*system, "select user from dual"), "SYSTEM");
    EXPECT_EQ(pool.Count(), 2);
    scott->LogOff();
    system->LogOff();
    log.Take();

    // User names compare ignoring case; each borrower finds its own user's connection.
    auto again = Borrower("Again", &pool, "SYSTEM/manager@" + FDatabase);
    again->LogOn();
    EXPECT_EQ(log.Take(), (Events{"reserve:Again"}));
    EXPECT_EQ(Value(*again, "select user from dual"), "SYSTEM");
    again->LogOff();

    // Knowing the user name is not enough: a wrong password gets no pooled connection.
    auto intruder = Borrower("Intruder", &pool, "scott/wrong@" + FDatabase);
    EXPECT_EQ(Failure([&] { intruder->LogOn(); }), "database error 1017");
    EXPECT_FALSE(intruder->Connected());
    EXPECT_FALSE(intruder->Shared());
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_EQ(pool.GetSession(0), nullptr);
    EXPECT_EQ(pool.GetSession(1), nullptr);

    // At the limit a free connection of other credentials makes room for a new one.
    TOracleSessionPool one;
    one.SetMax(1);
    auto a = Borrower("A", &one, Scott());
    a->LogOn();
    a->LogOff();
    auto b = Borrower("B", &one, System());
    b->LogOn();
    EXPECT_EQ(one.Count(), 1);
    EXPECT_EQ(Value(*b, "select user from dual"), "SYSTEM");
    b->LogOff();
}

TEST_F(PoolTest, TheClientsSessionPoolLendsTheConnections) {
    PoolLog log;
    TOracleSessionPool pool;
    pool.SetPoolType(ptOracle);
    log.Watch(pool);
    auto scott = Borrower("Scott", &pool, Scott());
    scott->LogOn();
    EXPECT_EQ(pool.UsedPoolType(), ptOracle);
    EXPECT_FALSE(pool.PoolName().empty());
    EXPECT_NE(pool.ClientPoolHandle(), nullptr);
    // A heterogeneous client pool takes its database from the first borrower.
    EXPECT_EQ(pool.LogonDatabase(), FDatabase);
    EXPECT_EQ(Value(*scott, "select user from dual"), "SCOTT");
    TOracleSession* pooled = pool.Entry(0).PooledSession();
    ASSERT_NE(pooled, nullptr);
    EXPECT_TRUE(pooled->Shared());

    auto system = Borrower("System", &pool, System());
    system->LogOn();
    EXPECT_EQ(Value(*system, "select user from dual"), "SYSTEM");
    Exec(*scott, "create table t (n number)");
    Exec(*scott, "insert into t values (1)");
    scott->LogOff();
    system->LogOff();
    EXPECT_EQ(pool.Count(), 2);

    // Given back to the pool's entry, the connection is lent again to the same user only.
    auto again = Borrower("Again", &pool, Scott());
    again->LogOn();
    EXPECT_EQ(Value(*again, "select count(*) from t"), "1");
    EXPECT_EQ(Value(*again, "select user from dual"), "SCOTT");
    again->LogOff();
    log.Take();

    pool.Close();
    EXPECT_FALSE(pool.Opened());
    EXPECT_TRUE(pool.PoolName().empty());
    EXPECT_EQ(pool.ClientPoolHandle(), nullptr);
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(log.Take(), (Events{"close"}));
}

TEST_F(PoolTest, WithoutTheClientsSessionPoolsAnOraclePoolLogsOnItself) {
    const std::string client = ClientWithoutOCI92();
    if (client.empty()) GTEST_SKIP() << "the no-oci92 build of the stand-in is not there";
    OCIDLL = client;
    TOracleSessionPool pool;
    pool.SetPoolType(ptOracle);
    auto session = Borrower("S", &pool, Scott());
    session->LogOn();
    EXPECT_FALSE(HasOCI92);
    EXPECT_EQ(pool.UsedPoolType(), ptDefault);
    EXPECT_TRUE(pool.PoolName().empty());
    EXPECT_EQ(Value(*session, "select user from dual"), "SCOTT");
    EXPECT_FALSE(pool.Entry(0).PooledSession()->Shared());
    session->LogOff();
}

TEST_F(PoolTest, Refusals) {
    TOracleSessionPool pool;
    auto session = Borrower("S", &pool, Scott());
    session->LogOn();
    TOracleSessionPool other;
    EXPECT_EQ(Failure([&] { session->SetPool(&other); }), "Cannot change Pool property when connected");
    EXPECT_EQ(Failure([&] { session->SetPooling(spNone); }), "Cannot change Pooling property when connected");
    EXPECT_EQ(Failure([&] { pool.GetSession(1); }), "List index out of bounds (1)");
    EXPECT_EQ(Failure([&] { pool.Entry(-1); }), "List index out of bounds (-1)");
    session->LogOff();

    // A borrower whose logon fails holds nothing and keeps no connection.
    auto wrong = Borrower("Wrong", &pool, "nobody/x@" + FDatabase);
    EXPECT_EQ(Failure([&] { wrong->LogOn(); }), "database error 1017");
    EXPECT_FALSE(wrong->Shared());
    EXPECT_EQ(pool.Count(), 1);

    // A client pool that cannot log on reports the database error with the pool as instance,
    // stays closed and opens once the credentials are right.
    TOracleSessionPool client;
    client.SetPoolType(ptOracle);
    client.SetHomogeneous(true);
    client.SetLogonUsername("scott");
    client.SetLogonPassword("wrong");
    client.SetLogonDatabase(FDatabase);
    auto borrower = Borrower("B", &client, Scott());
    try {
        borrower->LogOn();
        ADD_FAILURE() << "logged on with a wrong password";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
        EXPECT_EQ(e.Instance(), &client);
    }
    EXPECT_FALSE(client.Opened());
    EXPECT_FALSE(borrower->Connected());
    client.SetLogonPassword("tiger");
    borrower->LogOn();
    EXPECT_TRUE(client.Opened());
    EXPECT_EQ(Value(*borrower, "select user from dual"), "SCOTT");
    borrower->LogOff();
}

TEST_F(PoolTest, CallbackFailuresAreSwallowedAndStatementCachingFollowsThePool) {
    TOracleSessionPool pool;
    pool.SetStatementCache(true);
    int calls = 0;
    auto fail = [&](TOracleSessionPool&) {
        ++calls;
        throw Exception("callback failed");
    };
    auto failFor = [&](TOracleSessionPool&, TOracleSession&) {
        ++calls;
        throw Exception("callback failed");
    };
    pool.OnOpen = fail;
    pool.OnClose = fail;
    pool.AfterReserve = pool.AfterConnect = pool.BeforeRelease = failFor;
    auto session = Borrower("S", &pool, Scott());
    session->SetStatementCacheSize(7);
    session->LogOn();
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(session->Connected());
    // Lent connections cache statements as the pool says, with the borrower's cache size.
    ub4 size = 0;
    ASSERT_EQ(OCI.OCIAttrGet(session->ServiceContext(), OCI_HTYPE_SVCCTX, &size, nullptr, OCI_ATTR_STMTCACHESIZE,
                             static_cast<OCIError*>(session->ErrorHandle())),
              OCI_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(Value(*session, "select count(*) from emp"), "14");
    session->LogOff();
    EXPECT_EQ(calls, 4);
    EXPECT_FALSE(session->Connected());
    pool.Close();
    EXPECT_EQ(calls, 5);
    EXPECT_FALSE(pool.Opened());

    // A pool without caching: the borrower's own setting does not apply to a lent connection.
    TOracleSessionPool plain;
    auto other = Borrower("O", &plain, Scott());
    other->SetStatementCache(true);
    other->SetStatementCacheSize(7);
    other->LogOn();
    size = 0;
    OCI.OCIAttrGet(other->ServiceContext(), OCI_HTYPE_SVCCTX, &size, nullptr, OCI_ATTR_STMTCACHESIZE,
                   static_cast<OCIError*>(other->ErrorHandle()));
    EXPECT_NE(size, 7u);
    other->LogOff();
}

TEST_F(PoolTest, ABorrowerReconnectsThroughItsPoolAndOCI7BorrowersShareTheLogonDataArea) {
    TOracleSessionPool pool;
    auto session = Borrower("S", &pool, Scott());
    session->LogOn();
    Exec(*session, "create table t (n number)");
    Exec(*session, "insert into t values (1)");
    // Killed while lent: the borrower's check gives the entry back and borrows a new connection.
    Kill(session->AUDSID());
    EXPECT_EQ(session->CheckConnection(true), ccReconnected);
    EXPECT_TRUE(session->Connected());
    EXPECT_TRUE(session->Shared());
    EXPECT_EQ(Value(*session, "select count(*) from t"), "0");
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.GetSession(0), session.get());
    session->LogOff();

    auto oci7 = Borrower("Old", &pool, Scott());
    oci7->Preferences().SetUseOCI7(true);
    oci7->LogOn();
    EXPECT_FALSE(oci7->UseOCI80());
    EXPECT_TRUE(oci7->Shared());
    EXPECT_EQ(Value(*oci7, "select user from dual"), "SCOTT");
    // Its pooled connection is an OCI7 one: not lent to the OCI8 session's entry.
    EXPECT_EQ(pool.Count(), 2);
    oci7->LogOff();
    EXPECT_EQ(pool.GetSession(1), nullptr);
}

TEST_F(PoolTest, AClientPoolWithoutTheSharedEnvironmentUsesOneOfItsOwn) {
    struct Restore {
        ~Restore() { ShareOCIEnvironment = true; }
    } restore;
    ShareOCIEnvironment = false;
    {
        TOracleSessionPool pool;
        pool.SetPoolType(ptOracle);
        auto session = Borrower("S", &pool, Scott());
        session->LogOn();
        EXPECT_EQ(pool.UsedPoolType(), ptOracle);
        ASSERT_NE(pool.EnvHandle(), nullptr);
        // The lent connection lives in the pool's environment.
        EXPECT_EQ(session->EnvHandle(), pool.EnvHandle());
        EXPECT_EQ(Value(*session, "select count(*) from emp"), "14");
        session->LogOff();
        pool.Close();
        EXPECT_EQ(pool.EnvHandle(), nullptr);
    }
}
