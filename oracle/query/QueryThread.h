#pragma once
// TQueryThread: the worker a threaded TOracleQuery runs on. Created suspended on the query's
// first threaded Execute and re-used: each run executes the statement, delivers every fetched
// row through the query's thread callbacks and suspends itself again.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Thread.h"

namespace quorvel {

class TOracleQuery;

class TQueryThread : public platform::Thread {
public:
    explicit TQueryThread(TOracleQuery& query);
    ~TQueryThread() override;

    TOracleQuery& Query() const { return FQuery; }
    // Set by BreakThread: the run ends after the current row's callback.
    bool Stopped() const { return FStopped.load(); }
    void SetStopped(bool v) { FStopped.store(v); }
    // The error of the last run (0 and empty when it succeeded); read them in OnThreadError.
    int32_t ErrorCode() const { return FErrorCode; }
    const std::string& ErrorMessage() const { return FErrorMessage; }
    // True while a callback of the worker runs (on whichever thread it runs).
    bool InCallback() const { return FInCallback.load(); }
    // True while the worker is inside the execution itself (not fetching, not in a callback).
    bool Executing() const { return FExecuting.load(); }

protected:
    void Execute() override;

private:
    void Call(const std::function<void()>& callback);
    void RunOnce();

    TOracleQuery& FQuery;
    std::atomic<bool> FStopped{false};
    std::atomic<bool> FInCallback{false};
    std::atomic<bool> FExecuting{false};
    int32_t FErrorCode = 0;
    std::string FErrorMessage;
};

} // namespace quorvel
