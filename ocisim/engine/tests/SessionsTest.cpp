// Several sessions on one database: row locks, waits, deadlocks, kills, cancels and durability.
#include "ocisim/engine/tests/EngineTestSupport.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace ocisim::test {
namespace {

using namespace std::chrono_literals;
using SessionsTest = EngineTest;

TEST_F(SessionsTest, NowaitFailsAtOnceAndAWaitingUpdateProceedsAfterCommit) {
    auto other = Logon();
    EXPECT_EQ(Query(*scott_, "select ename from emp where empno = 7369 for update").size(), 1u);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf(*other, "select ename from emp where empno = 7369 for update nowait"), 54);
    EXPECT_EQ(ErrorOf(*other, "select ename from emp where empno = 7369 for update wait 1"), 54);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    // another row of the same table is free
    EXPECT_EQ(Exec(*other, "update emp set sal = 1 where empno = 7499"), 1u);

    std::atomic<bool> done{false};
    std::thread waiter([&] {
        Exec(*other, "update emp set sal = sal + 1 where empno = 7369");
        done = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(done.load());
    scott_->Commit();
    waiter.join();
    EXPECT_TRUE(done.load());
    other->Commit();
    EXPECT_EQ(Query(*scott_, "select sal from emp where empno in (7369, 7499) order by empno"), (Rows{{"801"}, {"1"}}));
}

TEST_F(SessionsTest, TwoSessionsChangeDifferentRowsOnOneThread) {
    auto other = Logon();
    Exec(*scott_, "update emp set comm = 1 where empno = 7369");
    Exec(*other, "update emp set comm = 2 where empno = 7499");
    Exec(*scott_, "insert into dept values (50, 'A', 'B')");
    Exec(*other, "insert into dept values (60, 'C', 'D')");
    other->Rollback();
    scott_->Commit();
    EXPECT_EQ(Query(*scott_, "select empno, comm from emp where empno in (7369, 7499) order by empno"), (Rows{{"7369", "1"}, {"7499", "300"}}));
    EXPECT_EQ(Query(*scott_, "select deptno from dept where deptno >= 50"), (Rows{{"50"}}));
}

TEST_F(SessionsTest, UncommittedChangesAreInvisibleToOtherSessions) {
    auto other = Logon();
    const char* q = "select count(*), sum(sal), max(ename) from emp";
    Rows before = Query(*other, q);
    Exec(*scott_, "update emp set sal = sal + 1000, ename = 'ZED' where empno = 7369");
    Exec(*scott_, "delete from emp where empno = 7499");
    Exec(*scott_, "insert into emp (empno, ename, sal) values (1, 'ZZZ', 5)");
    EXPECT_EQ(Query(*other, q), before);
    EXPECT_EQ(Query(*other, "select ename from emp where empno = 7369"), (Rows{{"SMITH"}}));
    EXPECT_EQ(Query(*scott_, q), (Rows{{"14", "28430", "ZZZ"}}));
    // the other session may still lock and change rows nobody holds
    EXPECT_EQ(Exec(*other, "update emp set comm = 7 where empno = 7900"), 1u);
    scott_->Commit();
    EXPECT_EQ(Query(*other, q), (Rows{{"14", "28430", "ZZZ"}}));
    EXPECT_EQ(Query(*scott_, "select comm from emp where empno = 7900"), (Rows{{"NULL"}}));
    other->Commit();
    EXPECT_EQ(Query(*scott_, "select comm from emp where empno = 7900"), (Rows{{"7"}}));
}

TEST_F(SessionsTest, RollbackAndSavepointsRestoreRows) {
    Exec(*scott_, "update emp set sal = 0 where deptno = 10");
    Exec(*scott_, "savepoint a");
    Exec(*scott_, "delete from emp where deptno = 20");
    Exec(*scott_, "insert into dept values (70, 'X', 'Y')");
    Exec(*scott_, "rollback to savepoint a");
    EXPECT_EQ(Query(*scott_, "select count(*), sum(sal) from emp"), (Rows{{"14", "20275"}}));
    EXPECT_EQ(ErrorOf(*scott_, "rollback to nosuch"), 1086);
    Exec(*scott_, "rollback");
    EXPECT_EQ(Query(*scott_, "select sum(sal) from emp"), (Rows{{"29025"}}));
    Exec(*scott_, "create table many (n number, s varchar2(20))");
    EXPECT_EQ(Exec(*scott_, "insert into many select rownum, 'row' from emp a, emp b, emp c"), 2744u);
    Exec(*scott_, "update many set s = 'changed' where mod(n, 2) = 0");
    Exec(*scott_, "delete from many where n > 2000");
    scott_->Rollback();
    EXPECT_EQ(Query(*scott_, "select count(*) from many"), (Rows{{"0"}}));
    EXPECT_EQ(Query(*scott_, "select count(*) from dept"), (Rows{{"4"}}));
}

// A database whose catalog was laid out by another version of the engine is refused when it is
// opened, with its files left as they are, instead of failing later on a missing catalog table.
TEST_F(SessionsTest, ADatabaseOfAnotherCatalogLayoutIsRefusedAtOpen) {
    Exec(*scott_, "create table kept (n number)");
    Exec(*scott_, "insert into kept values (7)");
    Exec(*scott_, "commit");
    scott_.reset();
    db_.reset();
    db_ = Database::Open(dir_);   // the same layout opens again
    EXPECT_EQ(Query(*db_->Logon("SCOTT", "TIGER"), "select n from kept"), (Rows{{"7"}}));
    db_.reset();

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/database.db").c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE ocs_meta SET value = 'older' WHERE key = 'catalog'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    try {
        Database::Open(dir_);
        ADD_FAILURE() << "a database of another layout was opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 1034);
        EXPECT_NE(e.Text.find("created by another version of ocisim"), std::string::npos) << e.Text;
    }
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/database.db"));
    // the refusal released the database: another open is refused the same way, not as in use
    try {
        Database::Open(dir_);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 1034);
    }
}

TEST_F(SessionsTest, DeadlockIsDetected) {
    auto other = Logon();
    Exec(*scott_, "update emp set sal = 1 where empno = 7369");
    Exec(*other, "update emp set sal = 2 where empno = 7499");
    int otherError = 0;
    std::thread t([&] {
        otherError = ErrorOf(*other, "update emp set sal = 3 where empno = 7369");
        if (otherError == 60) other->Rollback();   // whichever side is told of the deadlock gives way
    });
    std::this_thread::sleep_for(300ms);
    int mine = ErrorOf(*scott_, "update emp set sal = 4 where empno = 7499");
    if (mine == 60) scott_->Rollback();
    t.join();
    EXPECT_TRUE(mine == 60 || otherError == 60) << mine << " " << otherError;
    other->Rollback();
    scott_->Rollback();
}

TEST_F(SessionsTest, KilledSessionLosesItsWorkAndItsNextCallFails) {
    auto system = Logon("SYSTEM", "MANAGER");
    Exec(*scott_, "delete from emp");
    Rows me = Query(*system, "select sid, serial# from v$session where username = 'SCOTT'");
    ASSERT_EQ(me.size(), 1u);
    Exec(*system, "alter system kill session '" + me[0][0] + "," + me[0][1] + "'");
    std::string text;
    EXPECT_EQ(ErrorOf(*scott_, "select 1 from dual", &text), 28);
    EXPECT_EQ(text, "ORA-00028: your session has been killed");
    EXPECT_EQ(Query(*system, "select count(*) from scott.emp"), (Rows{{"14"}}));
    EXPECT_EQ(ErrorOf(*Logon(), "alter system kill session '1,1'"), 1031);
}

TEST_F(SessionsTest, InterruptCancelsARunningQuery) {
    Exec(*scott_, "create table big (n number)");
    Exec(*scott_, "insert into big select rownum from emp a, emp b, emp c");   // 2744 rows
    std::atomic<bool> finished{false};
    int error = 0;
    std::thread t([&] {
        error = ErrorOf(*scott_, "select count(*) from big a, big b, big c where a.n + b.n = c.n");
        finished = true;
    });
    // a break that finds no call running is discarded, so it is repeated until the query ends
    while (!finished) {
        std::this_thread::sleep_for(50ms);
        scott_->Interrupt();
    }
    t.join();
    EXPECT_EQ(error, 1013);
    EXPECT_EQ(Query(*scott_, "select count(*) from big"), (Rows{{"2744"}}));
}

// Runs `body` in a child process that ends without any cleanup; returns its exit status.
template <typename F>
int InChild(F body) {
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 0;
        try { rc = body(); } catch (...) { rc = 99; }
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Durability, CommittedWorkSurvivesAKilledProcessAndUncommittedWorkDoesNot) {
    char tmpl[] = "/tmp/ocisim-durable-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    int rc = InChild([&] {
        auto db = Database::Open(dir);
        auto a = db->Logon("SCOTT", "TIGER");
        auto b = db->Logon("SCOTT", "TIGER");
        Exec(*a, "create table t (n number)");
        Exec(*a, "insert into t values (1)");
        a->Commit();
        Exec(*a, "insert into t values (2)");       // never committed
        Exec(*a, "update emp set sal = 0");          // never committed
        Exec(*b, "insert into t values (3)");
        b->Commit();                                 // commits while a's work is open
        _exit(0);
        return 0;
    });
    ASSERT_EQ(rc, 0);
    {
        auto db = Database::Open(dir);
        auto s = db->Logon("SCOTT", "TIGER");
        EXPECT_EQ(Query(*s, "select n from t order by n"), (Rows{{"1"}, {"3"}}));
        EXPECT_EQ(Query(*s, "select sum(sal) from emp"), (Rows{{"29025"}}));
        // while this process has it open, another process cannot
        EXPECT_EQ(InChild([&] {
            try { Database::Open(dir); } catch (const EngineError& e) { return e.Code == 1102 ? 0 : 1; }
            return 2;
        }), 0);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace ocisim::test
