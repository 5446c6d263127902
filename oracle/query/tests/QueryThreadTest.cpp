// Background execution on the stand-in: the order of the thread callbacks, errors, refusing a
// second run, breaking a run off (between rows and inside a running call) and destroying a
// query with a worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "oracle/query/QueryThread.h"
#include "oracle/query/tests/QueryTestSupport.h"
#include "platform/MainThread.h"

using namespace quorvel;
using namespace quorvel::testing;

namespace {

// Runs the main thread's queued work until the query's worker has suspended itself.
void WaitUntilIdle(TOracleQuery& q) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (q.ThreadIsRunning() && std::chrono::steady_clock::now() < deadline) {
        platform::CheckSynchronize();
        platform::WaitForMainThreadWork(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(q.ThreadIsRunning()) << "the worker did not finish";
}

class QueryThreadTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!FDb.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        FSession = FDb.LogOn(GetParam());
        RunSql(*FSession, "create table nums (n number)");
        RunSql(*FSession, "insert into nums select level from dual connect by level <= 10");
        FSession->Commit();
    }
    void TearDown() override { FSession.reset(); }

    // A threaded query whose callbacks write what happened into Events (under a lock, as
    // unsynchronized callbacks run on the worker).
    std::unique_ptr<TOracleQuery> Threaded(const std::string& sql, bool synchronized = true) {
        auto q = std::make_unique<TOracleQuery>();
        q->SetSession(FSession.get());
        q->SQL().SetText(sql);
        q->Threaded = true;
        q->ThreadSynchronized = synchronized;
        q->SetReadBuffer(3);
        q->OnThreadExecuted = [this](TOracleQuery&) { Log("executed"); };
        q->OnThreadRecord = [this](TOracleQuery& s) { Log("record " + s.FieldAsString(0)); };
        q->OnThreadFinished = [this](TOracleQuery&) { Log("finished"); };
        q->OnThreadError = [this](TOracleQuery&, int code, const std::string& message) {
            Log("error " + std::to_string(code) + " " + message);
        };
        return q;
    }
    void Log(const std::string& event) {
        std::lock_guard<std::mutex> guard(FLock);
        Events.push_back(event);
    }
    std::vector<std::string> TakeEvents() {
        std::lock_guard<std::mutex> guard(FLock);
        return std::move(Events);
    }

    StandInDatabase FDb;
    std::unique_ptr<TOracleSession> FSession;
    std::mutex FLock;
    std::vector<std::string> Events;
};

INSTANTIATE_TEST_SUITE_P(Modes, QueryThreadTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("OCI7") : std::string("OCI8"); });

TEST_P(QueryThreadTest, CallbacksComeInOrderAndTheWorkerIsReused) {
    struct Case {
        std::string sql;
        std::vector<std::string> events;
    } cases[] = {
        {"select n from nums where n <= 3 order by n", {"executed", "record 1", "record 2", "record 3", "finished"}},
        {"select n from nums where n > 100", {"executed", "finished"}},
        {"select n from nums where n between 4 and 8 order by n",
         {"executed", "record 4", "record 5", "record 6", "record 7", "record 8", "finished"}},
        {"update nums set n = n where n < 3", {"executed", "finished"}},
    };
    auto q = Threaded("");
    TQueryThread* worker = nullptr;
    for (const auto& c : cases) {
        q->SQL().SetText(c.sql);
        q->Execute();
        WaitUntilIdle(*q);
        EXPECT_EQ(TakeEvents(), c.events) << c.sql;
        if (!worker) worker = q->QueryThread();
        EXPECT_EQ(q->QueryThread(), worker) << "one worker per query";
    }
    EXPECT_EQ(q->RowsProcessed(), 2);
}

TEST_P(QueryThreadTest, ErrorsArriveThroughTheCallback) {
    auto q = Threaded("insert into missing_table values (1)");
    q->Execute();
    WaitUntilIdle(*q);
    const auto events = TakeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("error 942 ORA-00942", 0), 0u) << events[0];
    EXPECT_EQ(events[1], "finished");
    EXPECT_EQ(q->QueryThread()->ErrorCode(), 942);

    // An error of the library itself carries code 0; the worker runs again afterwards.
    q->SQL().SetText("begin :c := null; end;");
    q->DeclareVariable("c", otCursor);
    q->Execute();
    WaitUntilIdle(*q);
    const auto second = TakeEvents();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].rfind("error 0 ", 0), 0u) << second[0];
}

// An exception that is not one of the library's ends the worker without OnThreadError; the next
// Execute hands it to the caller, and the one after runs on a new worker.
TEST_P(QueryThreadTest, ForeignExceptionsEndTheWorker) {
    auto q = Threaded("select n from nums where n <= 2 order by n");
    q->OnThreadRecord = [](TOracleQuery&) { throw 42; };
    q->Execute();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!q->QueryThread()->Finished() && std::chrono::steady_clock::now() < deadline) {
        platform::CheckSynchronize();
        platform::WaitForMainThreadWork(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(q->ThreadIsRunning());
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"executed"});
    EXPECT_THROW(q->Execute(), int);
    q->OnThreadRecord = [this](TOracleQuery& s) { Log("record " + s.FieldAsString(0)); };
    q->Execute();
    WaitUntilIdle(*q);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"executed", "record 1", "record 2", "finished"}));
}

TEST_P(QueryThreadTest, ASecondRunIsRefusedWhileTheFirstIsActive) {
    auto q = Threaded("select n from nums order by n");
    std::vector<std::string> refusals;
    q->OnThreadRecord = [&](TOracleQuery& s) {
        Log("record " + s.FieldAsString(0));
        if (s.FieldAsInteger(0) != 2) return;
        for (auto* call : {+[](TOracleQuery& x) { x.Execute(); }, +[](TOracleQuery& x) { x.Describe(); },
                           +[](TOracleQuery& x) { x.DescribeFull(); }}) {
            try {
                call(s);
                refusals.push_back("(accepted)");
            } catch (const Exception& e) {
                refusals.push_back(e.Message());
            }
        }
    };
    q->Execute();
    EXPECT_TRUE(q->ThreadIsRunning());
    WaitUntilIdle(*q);
    EXPECT_EQ(refusals, std::vector<std::string>(3, "Query thread is still in progress"));
    EXPECT_EQ(TakeEvents().size(), 12u) << "the run went on to its end";
}

TEST_P(QueryThreadTest, BreakThreadStopsAfterTheCurrentRow) {
    for (bool synchronized : {true, false}) {
        // Asked from inside the callback: the flag only, the worker stops once it returns.
        auto q = Threaded("select n from nums order by n", synchronized);
        q->OnThreadRecord = [&](TOracleQuery& s) {
            Log("record " + s.FieldAsString(0));
            if (s.FieldAsInteger(0) == 2) s.BreakThread();
        };
        q->Execute();
        WaitUntilIdle(*q);
        EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"executed", "record 1", "record 2", "finished"}))
            << "synchronized " << synchronized;
    }

    // Asked from the main thread while the worker is inside a callback on its own thread.
    auto q = Threaded("select n from nums order by n", false);
    std::atomic<bool> inSecond{false};
    q->OnThreadRecord = [&](TOracleQuery& s) {
        Log("record " + s.FieldAsString(0));
        if (s.FieldAsInteger(0) != 2) return;
        inSecond = true;
        while (!s.QueryThread()->Stopped()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    q->Execute();
    while (!inSecond) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    q->BreakThread();
    EXPECT_FALSE(q->ThreadIsRunning()) << "BreakThread returns once the worker has suspended";
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"executed", "record 1", "record 2", "finished"}));

    // The next run starts with the flag cleared.
    q->OnThreadRecord = [&](TOracleQuery& s) { Log("record " + s.FieldAsString(0)); };
    q->SQL().SetText("select n from nums where n = 7");
    q->Execute();
    WaitUntilIdle(*q);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"executed", "record 7", "finished"}));
}

TEST_P(QueryThreadTest, BreakThreadInterruptsARunningCall) {
    auto q = Threaded("begin dbms_lock.sleep(30); end;");
    const auto start = std::chrono::steady_clock::now();
    q->Execute();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    q->BreakThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(q->ThreadIsRunning());
    const auto events = TakeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("error 1013 ORA-01013", 0), 0u) << events[0];
    EXPECT_EQ(events[1], "finished");

    // The session goes on working.
    q->SQL().SetText("select n from nums where n = 1");
    q->Execute();
    WaitUntilIdle(*q);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"executed", "record 1", "finished"}));
}

TEST_P(QueryThreadTest, UnsynchronizedCallbacksRunOnTheWorker) {
    auto q = Threaded("select n from nums where n = 5", false);
    std::atomic<int> onMain{0}, onWorker{0};
    q->OnThreadRecord = [&](TOracleQuery&) { (platform::IsMainThread() ? onMain : onWorker)++; };
    q->Execute();
    WaitUntilIdle(*q);
    EXPECT_EQ(onMain, 0);
    EXPECT_EQ(onWorker, 1);

    auto s = Threaded("select n from nums where n = 5", true);
    s->OnThreadRecord = [&](TOracleQuery&) { (platform::IsMainThread() ? onMain : onWorker)++; };
    s->Execute();
    WaitUntilIdle(*s);
    EXPECT_EQ(onMain, 1);
}

TEST_P(QueryThreadTest, DestroyingTheQueryEndsItsWorker) {
    {
        auto idle = Threaded("select n from nums where n = 1");
        idle->Execute();
        WaitUntilIdle(*idle);
    }
    {
        // Destroyed while the worker waits in a synchronized callback: the destructor keeps
        // the main thread's queue going, so the run completes or stops and the worker ends.
        auto busy = Threaded("select n from nums order by n");
        busy->Execute();
    }
    const auto events = TakeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "executed");
    // A plain (not threaded) query still runs on the calling thread.
    TOracleQuery plain;
    plain.SetSession(FSession.get());
    plain.SQL().SetText("select count(*) from nums");
    plain.Execute();
    EXPECT_EQ(plain.FieldAsInteger(0), 10);
    EXPECT_EQ(plain.QueryThread(), nullptr);
}

} // namespace
