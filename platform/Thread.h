#pragma once
// A worker thread that is created suspended and can be suspended and resumed.
//
// The body runs on its own thread from the first Resume() (or Start()). Suspension is
// cooperative: a thread that suspends itself (Suspend() called on the worker) stops right
// there until Resume(); Suspend() called from another thread takes effect when the worker next
// reaches a safe point, CheckSuspended(). Terminate() sets the flag the body polls through
// Terminated(); it does not wake a thread that is already suspended (Resume does), but once it
// is set the thread no longer suspends, so terminating and resuming always lets it run to its end.
//
// WaitFor() blocks until the body has returned (resume a suspended thread first); on the main thread it keeps running work that
// workers hand over with Synchronize (MainThread.h), so a worker waiting in Synchronize does
// not deadlock a main thread waiting for it. Destruction terminates the thread, resumes it so
// that it can leave its loop, and waits for it. A class deriving from Thread and overriding
// Execute() must call Shutdown() in its own destructor, before its members go away.
// An exception escaping the body ends the thread; it is kept in FatalException().
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvel::platform {

class Thread {
public:
    using Body = std::function<void(Thread&)>;

    explicit Thread(Body body);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the thread the first time, afterwards resumes a suspended one.
    void Resume();
    void Start() { Resume(); }
    void Suspend();
    // True from Suspend() until Resume(), and before the thread was started.
    bool Suspended() const;
    // True while the worker actually stands still: not yet started, or stopped in Suspend() or
    // CheckSuspended().
    bool Parked() const;

    void Terminate();
    bool Terminated() const;
    // True once the body has returned.
    bool Finished() const;
    void WaitFor();
    // Terminate, Resume, WaitFor: what the destructor does.
    void Shutdown();

    std::exception_ptr FatalException() const;

    // For the body: stops here while a suspension is pending.
    void CheckSuspended();

protected:
    Thread(); // for classes that override Execute
    virtual void Execute();

private:
    void Run();
    void Park(std::unique_lock<std::mutex>& lock);

    Body FBody;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::thread FThread;
    std::thread::id FWorkerId;
    bool FStarted = false;
    bool FSuspended = true;
    bool FParked = false;
    bool FTerminated = false;
    bool FFinished = false;
    std::exception_ptr FFatal;
    std::once_flag FJoined;
};

} // namespace quorvel::platform
