#include "platform/Thread.h"

#include "platform/MainThread.h"

namespace quorvel::platform {

Thread::Thread(Body body) : FBody(std::move(body)) {}

Thread::Thread() = default;

Thread::~Thread() { Shutdown(); }

void Thread::Execute() {
    if (FBody) FBody(*this);
}

void Thread::Run() {
    std::exception_ptr fatal;
    try {
        Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    {
        std::lock_guard guard(FLock);
        FFatal = fatal;
        FFinished = true;
        FSuspended = false;
    }
    FChanged.notify_all();
    WakeMainThread(); // a main thread in WaitFor sleeps in WaitForMainThreadWork
}

void Thread::Resume() {
    std::unique_lock lock(FLock);
    FSuspended = false;
    if (!FStarted) {
        FStarted = true;
        FThread = std::thread([this] { Run(); });
        FWorkerId = FThread.get_id();
        return;
    }
    lock.unlock();
    FChanged.notify_all();
}

void Thread::Park(std::unique_lock<std::mutex>& lock) {
    FParked = true;
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return !FSuspended; });
    FParked = false;
}

void Thread::Suspend() {
    std::unique_lock lock(FLock);
    // A terminated thread does not stop any more: otherwise a Terminate-and-Resume arriving
    // just before the worker suspends itself would leave it suspended for good.
    if (FFinished || !FStarted || FTerminated) return;
    FSuspended = true;
    if (std::this_thread::get_id() == FWorkerId) Park(lock);
}

void Thread::CheckSuspended() {
    std::unique_lock lock(FLock);
    if (FSuspended && !FTerminated && std::this_thread::get_id() == FWorkerId) Park(lock);
}

bool Thread::Suspended() const {
    std::lock_guard guard(FLock);
    return !FStarted || FSuspended;
}

bool Thread::Parked() const {
    std::lock_guard guard(FLock);
    return !FStarted || FParked;
}

void Thread::Terminate() {
    std::lock_guard guard(FLock);
    FTerminated = true;
}

bool Thread::Terminated() const {
    std::lock_guard guard(FLock);
    return FTerminated;
}

bool Thread::Finished() const {
    std::lock_guard guard(FLock);
    return FFinished;
}

std::exception_ptr Thread::FatalException() const {
    std::lock_guard guard(FLock);
    return FFatal;
}

void Thread::WaitFor() {
    {
        std::lock_guard guard(FLock);
        if (!FStarted || std::this_thread::get_id() == FWorkerId) return; // nothing to wait for
    }
    if (IsMainThread()) {
        while (true) {
            CheckSynchronize();
            {
                std::lock_guard guard(FLock);
                if (FFinished) break;
            }
            WaitForMainThreadWork(std::chrono::milliseconds(50));
        }
    } else {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return FFinished; });
    }
    std::call_once(FJoined, [this] { FThread.join(); });
}

void Thread::Shutdown() {
    bool started;
    {
        std::lock_guard guard(FLock);
        FTerminated = true;
        started = FStarted;
    }
    if (!started) return;
    if (std::this_thread::get_id() == FWorkerId) {
        // Destroyed from its own body: the thread cannot wait for itself.
        std::call_once(FJoined, [this] { FThread.detach(); });
        return;
    }
    Resume();
    WaitFor();
}

} // namespace quorvel::platform
