#pragma once
// Running work on the main (GUI) thread.
//
// Synchronize(fn) from a worker thread queues fn for the main thread and waits until it has run
// there; an exception fn throws is carried back and thrown again in the waiting worker. Called
// on the main thread, it runs fn at once. The main thread runs queued work whenever it calls
// CheckSynchronize(): the UI services' "process pending messages" does, the Qt event loop does
// (its implementation installs a wake-up hook that posts an event), and Thread::WaitFor does
// while the main thread waits for a worker. A worker calling Synchronize while the main thread
// never drains the queue waits until it does.
//
// The main thread is the thread that started the program (the one running static
// initialisation); SetMainThread() names another one, e.g. in a plug-in loaded later.
#include <chrono>
#include <functional>

namespace quorvel::platform {

bool IsMainThread();
void SetMainThread(); // the calling thread becomes the main thread

void Synchronize(const std::function<void()>& fn);
// Queues fn for the main thread without waiting (run at once on the main thread).
void Queue(std::function<void()> fn);

// On the main thread: runs everything queued so far; true when something ran.
// On any other thread it does nothing and returns false.
bool CheckSynchronize();

// Blocks the main thread until work is queued, WakeMainThread() is called, or the timeout
// passes; true when woken by work or a wake-up.
bool WaitForMainThreadWork(std::chrono::milliseconds timeout);
// Wakes a main thread blocked in WaitForMainThreadWork and calls the wake-up hook.
void WakeMainThread();

// Called from any thread when work is queued for the main thread (the Qt services post an
// event to their loop here). An empty function removes the hook.
void SetMainThreadWakeup(std::function<void()> wake);

} // namespace quorvel::platform
