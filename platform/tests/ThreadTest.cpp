#include "platform/MainThread.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

using namespace quorvel::platform;
using namespace std::chrono_literals;

namespace {

// Runs main-thread work until cond holds; false after 10 s.
template <typename Cond>
bool PumpUntil(Cond cond) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        CheckSynchronize();
        WaitForMainThreadWork(5ms);
    }
    return true;
}

TEST(Thread, StartsSuspendedAndRunsOnlyAfterStart) {
    std::atomic<int> runs{0};
    {
        Thread thread([&](Thread&) { ++runs; });
        EXPECT_TRUE(thread.Suspended());
        EXPECT_TRUE(thread.Parked());
        std::this_thread::sleep_for(10ms);
        EXPECT_EQ(runs.load(), 0);
        thread.Start();
        thread.WaitFor();
        EXPECT_TRUE(thread.Finished());
        EXPECT_FALSE(thread.Suspended());
        EXPECT_EQ(runs.load(), 1);
    }
    {
        Thread never([&](Thread&) { ++runs; }); // destroyed without ever starting
    }
    EXPECT_EQ(runs.load(), 1);
}

// The pattern of a re-used worker: run, report to the main thread, suspend itself, and run
// again on the next Resume, until destroyed.
TEST(Thread, WorkerSuspendsItselfBetweenRunsAndSynchronizesWithTheMainThread) {
    std::vector<std::string> events; // touched on the main thread only
    std::atomic<int> offMainThread{0};
    auto report = [&](std::string what) {
        Synchronize([&, what] {
            if (!IsMainThread()) ++offMainThread;
            events.push_back(what);
        });
    };
    {
        Thread worker([&](Thread& self) {
            int run = 0;
            while (!self.Terminated()) {
                ++run;
                report("executed " + std::to_string(run));
                for (int row = 1; row <= 2 && !self.Terminated(); ++row) report("record " + std::to_string(row));
                if (self.Terminated()) break;
                report("finished " + std::to_string(run));
                self.Suspend();
            }
        });
        for (int run = 1; run <= 3; ++run) {
            worker.Resume();
            ASSERT_TRUE(PumpUntil([&] { return worker.Suspended(); })) << "run " << run;
            ASSERT_TRUE(PumpUntil([&] { return worker.Parked(); }));
            EXPECT_EQ(events.back(), "finished " + std::to_string(run));
        }
        EXPECT_FALSE(worker.Finished());
    } // the destructor resumes the parked worker, which sees the terminate flag and ends
    EXPECT_EQ(events.size(), 12u);
    EXPECT_EQ(events[0], "executed 1");
    EXPECT_EQ(events[1], "record 1");
    EXPECT_EQ(events[8], "executed 3");
    EXPECT_EQ(offMainThread.load(), 0);
}

TEST(Thread, SuspensionFromOutsideTakesEffectAtTheNextSafePoint) {
    std::atomic<long> counter{0};
    Thread worker([&](Thread& self) {
        while (!self.Terminated()) {
            ++counter;
            self.CheckSuspended();
        }
    });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return counter.load() > 100; }));
    worker.Suspend();
    EXPECT_TRUE(worker.Suspended());
    ASSERT_TRUE(PumpUntil([&] { return worker.Parked(); }));
    const long stopped = counter.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter.load(), stopped);
    worker.Resume();
    ASSERT_TRUE(PumpUntil([&] { return counter.load() > stopped + 100; }));
    worker.Terminate();
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
}

TEST(MainThread, SynchronizeRunsOnTheMainThreadWhileTheWorkerWaits) {
    std::atomic<bool> ranOnMain{false}, workerSawResult{false}, inside{false};
    int value = 0; // written on the main thread, read by the worker after Synchronize returns
    Thread worker([&](Thread&) {
        Synchronize([&] {
            inside = true;
            ranOnMain = IsMainThread();
            std::this_thread::sleep_for(20ms); // the worker must still be waiting
            value = 42;
            inside = false;
        });
        workerSawResult = value == 42 && !inside;
    });
    worker.Start();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ranOnMain.load()); // nothing runs until the main thread drains its queue
    worker.WaitFor();                // WaitFor on the main thread drains it
    EXPECT_TRUE(ranOnMain.load());
    EXPECT_TRUE(workerSawResult.load());
}

TEST(MainThread, ExceptionsReturnToTheCallerAndMainThreadCallsRunAtOnce) {
    std::string caught;
    Thread worker([&](Thread&) {
        try {
            Synchronize([] { throw std::runtime_error("from the main thread"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(caught, "from the main thread");

    bool ran = false;
    Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(Synchronize([] { throw std::logic_error("x"); }), std::logic_error);

    std::atomic<int> queued{0};
    Thread poster([&](Thread&) {
        Queue([&] { ++queued; });
        Queue([&] { ++queued; });
    });
    poster.Start();
    poster.WaitFor();
    ASSERT_TRUE(PumpUntil([&] { return queued.load() == 2; }));
    EXPECT_FALSE(CheckSynchronize());
}

TEST(MainThread, WakeupHookIsCalledWhenWorkIsQueued) {
    std::atomic<int> wakeups{0};
    SetMainThreadWakeup([&] { ++wakeups; });
    Thread worker([&](Thread&) { Synchronize([] {}); });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return wakeups.load() > 0; }));
    worker.WaitFor();
    SetMainThreadWakeup({});
}

TEST(Thread, DestructionNeverStrandsAWorkerAboutToSuspendItself) {
    // Terminate-and-resume may arrive just before the worker suspends itself; it must still end.
    for (int i = 0; i < 200; ++i) {
        Thread worker([](Thread& self) {
            while (!self.Terminated()) self.Suspend();
        });
        worker.Start();
        if (i % 2) std::this_thread::yield();
    }
    Thread terminated([](Thread& self) {
        while (!self.Terminated()) std::this_thread::yield();
        self.Suspend(); // returns at once
        self.CheckSuspended();
    });
    terminated.Start();
    terminated.Terminate();
    terminated.WaitFor();
    EXPECT_TRUE(terminated.Finished());
}

TEST(Thread, EscapingExceptionsAndDestructionDuringSynchronize) {
    Thread failing([](Thread&) { throw std::runtime_error("broken body"); });
    failing.Start();
    failing.WaitFor();
    ASSERT_TRUE(failing.FatalException());
    EXPECT_THROW(std::rethrow_exception(failing.FatalException()), std::runtime_error);

    std::atomic<bool> done{false};
    {
        Thread worker([&](Thread& self) {
            while (!self.Terminated()) Synchronize([] { std::this_thread::sleep_for(1ms); });
            done = true;
        });
        worker.Start();
        std::this_thread::sleep_for(5ms);
    } // destroyed while the worker is inside Synchronize: no deadlock
    EXPECT_TRUE(done.load());
}

} // namespace
