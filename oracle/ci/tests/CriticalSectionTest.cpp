#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "oracle/ci/OracleCI.h"

using quorvel::TOracleCriticalSection;

TEST(TOracleCriticalSection, CountsNestedEntriesAndIgnoresSurplusLeaves)
{
    TOracleCriticalSection lock;
    EXPECT_EQ(lock.Entered(), 0);
    lock.Leave();  // nothing entered: harmless
    EXPECT_EQ(lock.Entered(), 0);
    lock.Enter();
    lock.Enter();
    EXPECT_EQ(lock.Entered(), 2);
    lock.Leave();
    lock.Leave();
    lock.Leave();  // one too many
    EXPECT_EQ(lock.Entered(), 0);

    // After the surplus Leave the lock still works for another thread.
    std::thread other([&] {
        lock.Enter();
        lock.Leave();
    });
    other.join();
    EXPECT_EQ(lock.Entered(), 0);
}

TEST(TOracleCriticalSection, ExcludesOtherThreadsAndIgnoresTheirLeave)
{
    TOracleCriticalSection lock;
    lock.Enter();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.Leave();  // holds no entry: must not release the owner's
        lock.Enter();
        entered = true;
        lock.Leave();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    EXPECT_EQ(lock.Entered(), 1);
    lock.Leave();
    other.join();
    EXPECT_TRUE(entered.load());
    EXPECT_EQ(lock.Entered(), 0);
}

TEST(TOracleCriticalSection, GlobalLockIsRecursive)
{
    auto& lock = quorvel::OCIGlobalLock();
    lock.Enter();
    lock.Enter();
    EXPECT_GE(lock.Entered(), 2);
    lock.Leave();
    lock.Leave();
}
