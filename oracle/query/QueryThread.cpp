// Background execution of a TOracleQuery: the worker loop, starting a run and breaking one off.
#include "oracle/query/QueryThread.h"

#include <chrono>
#include <thread>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleError.h"
#include "platform/MainThread.h"
#include "platform/UIServices.h"

namespace quorvel {

namespace {

const char* const kStillInProgress = "Query thread is still in progress";

} // namespace

TQueryThread::TQueryThread(TOracleQuery& query) : FQuery(query) {}

TQueryThread::~TQueryThread() { Shutdown(); }

void TQueryThread::Call(const std::function<void()>& callback) {
    struct InCallback {
        std::atomic<bool>& flag;
        explicit InCallback(std::atomic<bool>& f) : flag(f) { flag = true; }
        ~InCallback() { flag = false; }
    };
    if (FQuery.ThreadSynchronized) {
        platform::Synchronize([&] {
            InCallback guard(FInCallback);
            callback();
        });
    } else {
        InCallback guard(FInCallback);
        callback();
    }
}

void TQueryThread::RunOnce() {
    TOracleQuery& q = FQuery;
    FErrorCode = 0;
    FErrorMessage.clear();
    try {
        FExecuting = true;
        try {
            q.ExecuteArray(-1, -1);
        } catch (...) {
            FExecuting = false;
            throw;
        }
        FExecuting = false;
        if (q.OnThreadExecuted) Call([&] { q.OnThreadExecuted(q); });
        while (!q.Eof() && !Terminated() && !Stopped()) {
            if (q.OnThreadRecord) Call([&] { q.OnThreadRecord(q); });
            if (!Stopped()) q.Next();
        }
    } catch (const EOracleError& e) {
        FErrorCode = e.ErrorCode();
        FErrorMessage = e.Message();
    } catch (const Exception& e) {
        FErrorCode = 0;
        FErrorMessage = e.Message();
    }
    if (!FErrorMessage.empty() || FErrorCode != 0) {
        // The error is delivered; an exception of the error callback itself has nowhere to go
        // and must not end the worker.
        try {
            if (q.OnThreadError) Call([&] { q.OnThreadError(q, FErrorCode, FErrorMessage); });
        } catch (const Exception&) {
        }
    }
}

void TQueryThread::Execute() {
    while (!Terminated()) {
        FStopped = false;
        RunOnce();
        if (Terminated()) break;
        try {
            if (FQuery.OnThreadFinished) Call([&] { FQuery.OnThreadFinished(FQuery); });
        } catch (const Exception&) {
        }
        Suspend();
    }
}

// ------------------------------------------------------------------------------------------------
// The query's side

void TOracleQuery::StartThread() {
    if (ThreadIsRunning()) throw Exception(kStillInProgress);
    if (FThread && FThread->Finished()) {
        // The worker ended on an exception that is not one of the library's: hand it to the
        // caller and start afresh next time.
        std::exception_ptr fatal = FThread->FatalException();
        FThread.reset();
        if (fatal) std::rethrow_exception(fatal);
    }
    if (!FThread) FThread = std::make_unique<TQueryThread>(*this);
    FThread->Resume();
}

bool TOracleQuery::ThreadIsRunning() const {
    return FThread && !FThread->Suspended() && !FThread->Finished();
}

void TOracleQuery::CheckThreadIdle() const {
    if (ThreadIsRunning()) throw Exception(kStillInProgress);
}

void TOracleQuery::BreakThread() {
    if (!FThread) return;
    FThread->SetStopped(true);
    // From inside one of the worker's callbacks the worker is waiting for the callback to
    // return: the flag is all it needs, it stops once the callback is done.
    if (FThread->InCallback() && (ThreadSynchronized ? platform::IsMainThread() : !platform::IsMainThread()))
        return;
    if (!ThreadIsRunning()) return;
    // The client discards a break that finds no call running, so one that arrives just before
    // the worker enters its call is sent again while the worker is still executing.
    auto lastBreak = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    const bool main = platform::IsMainThread();
    while (!FThread->Parked() && !FThread->Finished()) {
        if (FThread->Executing() && std::chrono::steady_clock::now() - lastBreak >= std::chrono::milliseconds(50)) {
            lastBreak = std::chrono::steady_clock::now();
            SendBreak();
        }
        // Keep the application's messages (and the worker's synchronized callbacks) going until
        // the worker has suspended itself.
        if (main) {
            platform::UIServices().ProcessMessages();
            platform::CheckSynchronize();
            platform::WaitForMainThreadWork(std::chrono::milliseconds(5));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

void TOracleQuery::SendBreak() {
    if (!FSession || !FSession->Connected()) return;
    if (FSession->UseOCI80()) {
        void* err = nullptr;
        if (OCI.OCIHandleAlloc(FSession->EnvHandle(), &err, OCI_HTYPE_ERROR, 0, nullptr) == OCI_SUCCESS) {
            OCI.OCIBreak(FSession->ServiceContext(), static_cast<OCIError*>(err));
            OCI.OCIHandleFree(err, OCI_HTYPE_ERROR);
        }
    } else if (OCI.obreak) {
        OCI.obreak(FSession->LDA());
    }
}

} // namespace quorvel
