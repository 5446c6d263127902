#include "platform/MainThread.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvel::platform {

namespace {

struct Job {
    std::function<void()> Fn;
    bool Waited = false; // a Synchronize caller waits for Done
    bool Done = false;
    std::exception_ptr Error;
};

struct MainQueue {
    std::mutex Lock;
    std::condition_variable Ready;    // main thread: work queued or woken
    std::condition_variable Finished; // workers: their job has run
    std::deque<std::shared_ptr<Job>> Jobs;
    bool Woken = false;
    std::function<void()> Wakeup;
    std::mutex WakeupLock;
};

MainQueue& Queue_() {
    static MainQueue queue;
    return queue;
}

std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

void CallWakeup() {
    auto& q = Queue_();
    std::function<void()> wake;
    {
        std::lock_guard guard(q.WakeupLock);
        wake = q.Wakeup;
    }
    if (wake) wake();
}

void Post(const std::shared_ptr<Job>& job) {
    auto& q = Queue_();
    {
        std::lock_guard guard(q.Lock);
        q.Jobs.push_back(job);
        q.Woken = true;
    }
    q.Ready.notify_all();
    CallWakeup();
}

} // namespace

bool IsMainThread() { return std::this_thread::get_id() == gMainThread.load(); }

void SetMainThread() { gMainThread.store(std::this_thread::get_id()); }

void Synchronize(const std::function<void()>& fn) {
    if (!fn) return;
    if (IsMainThread()) {
        fn();
        return;
    }
    auto job = std::make_shared<Job>();
    job->Fn = fn;
    job->Waited = true;
    Post(job);
    auto& q = Queue_();
    std::unique_lock lock(q.Lock);
    q.Finished.wait(lock, [&] { return job->Done; });
    if (job->Error) std::rethrow_exception(job->Error);
}

void Queue(std::function<void()> fn) {
    if (!fn) return;
    if (IsMainThread()) {
        fn();
        return;
    }
    auto job = std::make_shared<Job>();
    job->Fn = std::move(fn);
    Post(job);
}

bool CheckSynchronize() {
    if (!IsMainThread()) return false;
    auto& q = Queue_();
    std::deque<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard guard(q.Lock);
        jobs.swap(q.Jobs);
        q.Woken = false;
    }
    const bool ranAny = !jobs.empty();
    for (auto& job : jobs) {
        std::exception_ptr error;
        try {
            job->Fn();
        } catch (...) {
            error = std::current_exception();
        }
        {
            // Hand the job (and its exception) over entirely before the waiter can go on, so
            // the main thread touches neither once the waiting worker owns them.
            std::lock_guard guard(q.Lock);
            job->Done = true;
            if (job->Waited) job->Error = std::move(error);
            error = nullptr; // an exception of queued work nobody waits for has no one to tell
            job.reset();
        }
        q.Finished.notify_all();
    }
    return ranAny;
}

bool WaitForMainThreadWork(std::chrono::milliseconds timeout) {
    auto& q = Queue_();
    std::unique_lock lock(q.Lock);
    const bool woken = q.Ready.wait_for(lock, timeout, [&] { return q.Woken || !q.Jobs.empty(); });
    q.Woken = false;
    return woken;
}

void WakeMainThread() {
    auto& q = Queue_();
    {
        std::lock_guard guard(q.Lock);
        q.Woken = true;
    }
    q.Ready.notify_all();
    CallWakeup();
}

void SetMainThreadWakeup(std::function<void()> wake) {
    auto& q = Queue_();
    std::lock_guard guard(q.WakeupLock);
    q.Wakeup = std::move(wake);
}

} // namespace quorvel::platform
