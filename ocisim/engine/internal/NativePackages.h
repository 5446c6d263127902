#pragma once
// Server packages written in C++ (DBMS_OUTPUT, DBMS_PIPE, DBMS_ALERT, UTL_FILE, ...). The PL/SQL
// interpreter resolves a call PACKAGE.MEMBER (or SYS.PACKAGE.MEMBER, or through a public synonym)
// to a native package when no stored unit of that name exists, converts the actual parameters to
// NativeArgs, calls the member and writes the out values back into the caller's variables.
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/internal/PlSql.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ocisim::eng {

// One actual parameter of a native call, in call order.
struct NativeArg {
    std::string name;                 // the formal name given with "name => value" (upper case), else empty
    Value value;                      // the in value; Null for an OUT parameter
    OraType type = OraType::Varchar2; // the actual's type as far as the interpreter knows it
                                      // (BOOLEAN: OraType::Boolean with value.i 0 or 1)
    bool out = false;                 // the actual is a variable that can receive a value (OUT / IN OUT)
    bool isTable = false;             // the actual is an index-by table
    std::vector<Value> table;         // its elements 1..n, in and out
    bool isRecord = false;            // the actual is a record of a package record type (UTL_FILE.FILE_TYPE)
    std::vector<Value> fields;        // its fields in the order NativePackage::RecordType gives, in and out
};

// What the interpreter offers a native package for one call, in the calling session.
class NativeContext {
public:
    virtual ~NativeContext() = default;
    virtual SqlRunner& Sql() = 0;                       // SQL in the calling session and transaction
    virtual int SessionId() const = 0;                  // V$SESSION.SID of the calling session
    // State a package keeps per session (the DBMS_OUTPUT buffer, ...): one slot per key,
    // empty on first use, dropped when the session ends.
    virtual std::shared_ptr<void>& SessionState(std::string_view key) = 0;
    // State shared by every session of the database (pipes, alerts, jobs), one slot per key.
    // The package guards it with its own mutex: several sessions may call at once.
    virtual std::shared_ptr<void>& DatabaseState(std::string_view key) = 0;
    // Runs an anonymous PL/SQL block in the calling session (DBMS_JOB.RUN); raises its errors.
    virtual void RunBlock(std::string_view block) = 0;
    // True once the client has interrupted the running call (OCIBreak). A wait (DBMS_LOCK.SLEEP,
    // DBMS_PIPE.RECEIVE_MESSAGE, DBMS_ALERT.WAITONE) polls it and raises ORA-01013.
    virtual bool Interrupted() const = 0;
    // MODULE, ACTION and CLIENT_INFO of the calling session, as V$SESSION shows them: the engine
    // keeps them in the columns module, action and client_info of the session's row in
    // temp.ocs_sessions, which the V$SESSION view reads.
    virtual void SetApplicationInfo(std::string_view field, std::string_view value) = 0;
    virtual std::string ApplicationInfo(std::string_view field) const = 0;
    // The calling session's transaction id ("3.12.1045"), "" when it has no transaction.
    virtual std::string LocalTransactionId() const = 0;
    virtual std::string CallStack() const = 0;          // DBMS_UTILITY.FORMAT_CALL_STACK text
    virtual std::string ErrorStack() const = 0;         // DBMS_UTILITY.FORMAT_ERROR_STACK text
    // Lets the other sessions of the database run for about `milliseconds` while this call waits
    // (the database lock is released meanwhile and taken again before returning). Waits that
    // depend on another session (DBMS_PIPE.RECEIVE_MESSAGE, DBMS_ALERT.WAITONE, DBMS_LOCK.SLEEP)
    // poll their condition, Interrupted() and their deadline between pauses. The fallback only
    // sleeps, which keeps every other session of the database waiting: implement it.
    virtual void Pause(int milliseconds);
};

class NativePackage {
public:
    virtual ~NativePackage() = default;
    virtual std::string_view Name() const = 0;          // "DBMS_OUTPUT"
    // Calls MEMBER (upper case) with `args`; `result` is non-null when the call is used as a
    // function. Returns false when the package has no member of that name taking these
    // arguments (the interpreter reports PLS-00302 / PLS-00306). The package's own errors are
    // raised as EngineError (ORA-20000 range, ORA-29280 ..., ORA-06502).
    virtual bool Call(std::string_view member, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) = 0;
    // The Oracle error code (negative, as SQLCODE shows it) of the package's named exception
    // NAME (UTL_FILE.INVALID_PATH -> -29280), 0 when NAME is no exception of the package.
    virtual int ExceptionCode(std::string_view name) const { (void)name; return 0; }
    // A package constant (DBMS_LOB.LOB_READONLY ...): false when NAME is none.
    virtual bool Constant(std::string_view name, Value& out) const { (void)name; (void)out; return false; }
    // The package's record type NAME (UTL_FILE.FILE_TYPE): its fields (upper case) with their
    // types, in order; false when NAME is no record type of the package. A variable of such a
    // type is passed to the package as a NativeArg with isRecord set and its fields in this order.
    virtual bool RecordType(std::string_view name, std::vector<std::pair<std::string, OraType>>& fields) const {
        (void)name; (void)fields; return false;
    }
    // The record type a function MEMBER returns (UTL_FILE.FOPEN -> "FILE_TYPE"), "" when it returns
    // a scalar. For such a function the interpreter passes `result` = nullptr and one more, last,
    // argument named "RETURN" (out, isRecord) that the package fills.
    virtual std::string_view RecordResult(std::string_view member) const { (void)member; return {}; }
    // True when the function MEMBER returns a BOOLEAN (UTL_FILE.IS_OPEN, SYS.DIUTIL.INT_TO_BOOL):
    // its result is then an Integer 1 or 0, or Null.
    virtual bool ReturnsBoolean(std::string_view member) const { (void)member; return false; }
};

// The native package NAME (upper case, without a "SYS." prefix), nullptr when there is none.
NativePackage* FindNativePackage(std::string_view name);

// Statements (CREATE TABLE / VIEW / SEQUENCE / PUBLIC SYNONYM of SYS objects) creating the objects
// the packages keep their transactional state in (jobs, alerts). Each is run, as SYS, when a
// database opens and the object it names (the `name` of the pair, "SYS.JOB$") does not exist.
const std::vector<std::pair<std::string_view, std::string_view>>& NativePackageObjects();

} // namespace ocisim::eng
