#pragma once
// Database errors. Every client call returns a status; when the Oracle error number behind it
// (TOracleSession::ReturnCode) is not 0, RaiseOracleError builds the error from the client's
// error record and raises it. Building the error releases the session lock once, so an
// operation that took the lock before its client call leaves it free on every error path.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace quorvel {

class TComponent;
class TOracleSession;

// Where the text of an error comes from: an OCI8 error handle (used when there is no session or
// the session is driven through OCI8 calls), or the return code of an OCI7 logon data area.
struct TOracleErrorSource {
    void* Handle = nullptr;   // OCIError*
    int32_t ReturnCode = 0;   // OCI7 return code
    static TOracleErrorSource FromHandle(void* handle) { return {handle, 0}; }
    static TOracleErrorSource FromReturnCode(int32_t code) { return {nullptr, code}; }
};

class EOracleError : public Exception {
public:
    // Reads the error number and text from the client (see TOracleErrorSource), releases the
    // session lock when there is a session, cuts the text at MaxErrorMessageLength bytes and
    // calls OnOracleError.
    EOracleError(TOracleSession* session, TComponent* instance, TOracleErrorSource error);
    // An error with a known number and text (no client call, no hook).
    EOracleError(int32_t errorCode, std::string message, TOracleSession* session = nullptr,
                 TComponent* instance = nullptr);
    ~EOracleError() override;

    int32_t ErrorCode() const { return FErrorCode; }
    TComponent* Instance() const { return FInstance; }
    TOracleSession* Session() const { return FSession; }

private:
    int32_t FErrorCode = 0;
    TComponent* FInstance = nullptr;
    TOracleSession* FSession = nullptr;
};

// Raised instead of EOracleError for the error numbers on the warnings list.
class EOracleWarning : public EOracleError {
public:
    using EOracleError::EOracleError;
    ~EOracleWarning() override;
};

// A failure of the transaction-server support library. For a non-zero error the message is
// "MTS error <n>: <text>" CR LF "in function <name>"; for 0 it is the function name alone
// (which then carries the text of a failed load of the support library).
class EOracleMTSError : public Exception {
public:
    EOracleMTSError(const std::string& functionName, int32_t error);
    ~EOracleMTSError() override;
    int32_t ErrorCode() const { return FErrorCode; }

private:
    int32_t FErrorCode = 0;
};

// The text of a transaction-server error number; empty for an unknown number.
std::string MTSErrorText(int32_t error);

// Error texts are cut to this many bytes of client text.
extern int MaxErrorMessageLength;
// Called with every newly built EOracleError or EOracleWarning before it is raised.
extern std::function<void(EOracleError&)> OnOracleError;

// The error numbers raised as EOracleWarning. Filled on first use, only when a debugger is
// attached to the process, from the registry (ReadOracleWarnings).
const std::vector<int32_t>& OracleWarnings();
void SetOracleWarnings(std::vector<int32_t> warnings);
// The numbers stored as values "1", "2", ... of HKEY_CURRENT_USER
// "SOFTWARE\Kestrova\Quorvel\Warnings", up to the first missing or empty value; values starting
// with "*" and values that are not numbers are passed over.
std::vector<int32_t> ReadOracleWarnings();

// Builds the error for `error` (EOracleWarning when its number is on the warnings list) and
// raises it.
[[noreturn]] void RaiseOracleError(TOracleSession* session, TOracleErrorSource error, TComponent* instance);

} // namespace quorvel
