#include "oracle/session/OracleError.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/session/OracleSession.h"
#include "platform/Debugger.h"
#include "platform/Registry.h"

namespace quorvel {

int MaxErrorMessageLength = 1023;
std::function<void(EOracleError&)> OnOracleError;

namespace {

constexpr size_t kErrorBufferSize = 4001;

std::mutex& WarningsLock() {
    static std::mutex lock;
    return lock;
}
bool gWarningsLoaded = false;
std::vector<int32_t> gWarnings;

// Whether the error of `source` is read from an error handle rather than from an OCI7 code.
bool ReadsFromHandle(TOracleSession* session) { return session == nullptr || session->UseOCI80(); }

int32_t CodeFromHandle(void* handle, text* buffer, ub4 size) {
    sb4 code = 0;
    if (handle && OCI.OCIErrorGet)
        OCI.OCIErrorGet(handle, 1, nullptr, &code, buffer, size, OCI_HTYPE_ERROR);
    return code;
}

} // namespace

EOracleError::EOracleError(int32_t errorCode, std::string message, TOracleSession* session, TComponent* instance)
    : Exception(std::move(message)), FErrorCode(errorCode), FInstance(instance), FSession(session) {}

EOracleError::EOracleError(TOracleSession* session, TComponent* instance, TOracleErrorSource error)
    : Exception(std::string()), FInstance(instance), FSession(session) {
    std::vector<char> buffer(kErrorBufferSize, '\0');
    auto* text = reinterpret_cast<OraText*>(buffer.data());
    int32_t code = error.ReturnCode;
    if (ReadsFromHandle(session)) {
        code = CodeFromHandle(error.Handle, text, kErrorBufferSize);
    } else if (OCI.oerhms) {
        OCI.oerhms(session->LDA(), sb2(error.ReturnCode), text, sword(kErrorBufferSize));
    }
    if (session) session->Release(true);
    if (MaxErrorMessageLength >= 0 && size_t(MaxErrorMessageLength) < kErrorBufferSize)
        buffer[size_t(MaxErrorMessageLength)] = '\0';
    buffer[kErrorBufferSize - 1] = '\0';
    std::string message(buffer.data());
    // A failed call that left no error record (an invalid handle, a client without the OCI7
    // message call) still has to say something.
    if (message.empty() && code != 0)
    {
        char head[32];
        std::snprintf(head, sizeof head, "ORA-%05d", int(code));
        message = head;
    }
    else if (message.empty())
        message = "Oracle client call failed without error information";
    SetMessage(std::move(message));
    FErrorCode = code;
    if (OnOracleError) OnOracleError(*this);
}

EOracleError::~EOracleError() = default;
EOracleWarning::~EOracleWarning() = default;

// ---- the warnings list ----

std::vector<int32_t> ReadOracleWarnings() {
    std::vector<int32_t> result;
    const std::string key = "SOFTWARE\\Kestrova\\Quorvel\\Warnings";
    for (int n = 1;; ++n) {
        auto value = platform::RegReadValue(platform::HKEY_CURRENT_USER, key, std::to_string(n));
        if (!value || value->empty()) break;
        if ((*value)[0] == '*') continue;
        std::string_view v(*value);
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        if (!v.empty() && v.front() == '+') v.remove_prefix(1);
        int32_t number = 0;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), number);
        if (ec == std::errc() && end == v.data() + v.size() && !v.empty()) result.push_back(number);
    }
    return result;
}

const std::vector<int32_t>& OracleWarnings() {
    std::lock_guard<std::mutex> guard(WarningsLock());
    if (!gWarningsLoaded) {
        gWarningsLoaded = true;
        if (platform::IsDebuggerPresent()) gWarnings = ReadOracleWarnings();
    }
    return gWarnings;
}

void SetOracleWarnings(std::vector<int32_t> warnings) {
    std::lock_guard<std::mutex> guard(WarningsLock());
    gWarningsLoaded = true;
    gWarnings = std::move(warnings);
}

void RaiseOracleError(TOracleSession* session, TOracleErrorSource error, TComponent* instance) {
    bool warning = false;
    const auto& warnings = OracleWarnings();
    if (!warnings.empty()) {
        int32_t code = ReadsFromHandle(session) ? CodeFromHandle(error.Handle, nullptr, 0) : error.ReturnCode;
        for (int32_t w : warnings)
            if (w == code) warning = true;
    }
    if (warning) throw EOracleWarning(session, instance, error);
    throw EOracleError(session, instance, error);
}

// ---- transaction-server errors ----

std::string MTSErrorText(int32_t error) {
    struct Entry {
        int32_t number;
        const char* text;
    };
    static const Entry table[] = {
        {1001, "no MTXDM.DLL available"},   {1002, "failure to create dispen"}, {1003, "exceeded max sessions"},
        {1004, "invalid OCI Svc ctx"},      {1005, "can't create new dbiden"},  {2001, "unable to alloc a server"},
        {3001, "invalid server object"},    {3002, "failed attach to Oracle"},  {3003, "failed detach from db"},
        {3004, "failed to start trans."},   {3005, "OCI set attrib failed"},    {3006, "conn to Oracle broken"},
        {3007, "not attached to Oracle"},   {3008, "alrdy attached to Oracle"}, {4001, "invalid session object"},
        {4002, "failed logon to Oracle"},   {4003, "failed logoff from db"},    {4004, "no transaction beneath"},
        {4005, "already logged on to db"},  {4006, "not logged on to Oracle"},  {5001, "RPC context is invalid"},
        {5002, "generic communic. error"},  {5003, "endpoint already connect"}, {5004, "endpoint not connected"},
        {5005, "protocol violation"},       {5006, "timeout accepting conn."},  {5007, "invalid RPC opcode"},
        {5008, "mismatched incarnation#"},  {5009, "client connect timeout"},   {5010, "synch. send timeout"},
        {5011, "synch. receive timedout"},  {5012, "connection reset by peer"}, {6001, "invalid args to function"},
        {6002, "an object was invalid"},    {6003, "illegal operation"},        {6004, "memory allocation error"},
        {6005, "synchr. object error"},     {6006, "no Oracle Proxy server"},   {6007, "session already enlisted"},
        {6008, "session is not enlisted"},  {6009, "illeg on manuenlst sess"},  {6010, "illeg on autoenlst sess"},
        {6011, "error detaching trans."},   {6012, "OCI handle alloc error"},   {6013, "OCI handle dealloc error"},
        {6014, "error exporting trans."},
    };
    for (const auto& e : table)
        if (e.number == error) return e.text;
    return {};
}

EOracleMTSError::EOracleMTSError(const std::string& functionName, int32_t error)
    : Exception(error == 0 ? functionName
                           : "MTS error " + std::to_string(error) + ": " + MTSErrorText(error) + "\r\nin function " +
                                 functionName),
      FErrorCode(error) {}

EOracleMTSError::~EOracleMTSError() = default;

} // namespace quorvel
