#pragma once
// Helpers shared by the server packages of this folder: matching actual parameters to a member's
// formals, converting values as PL/SQL does, running SQL in the calling session and waiting.
#include "ocisim/engine/internal/NativePackages.h"

#include <functional>
#include <memory>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim::eng::pkg {

// The actuals of one call matched to the member's formals (upper-case names in order): positional
// actuals first, then named ones. Fails (the member does not take these arguments) when an actual
// has no formal, a formal is given twice, or one of the first `required` formals is missing.
class Params {
public:
    bool Match(std::vector<NativeArg>& args, std::initializer_list<std::string_view> formals, size_t required);
    NativeArg* operator[](size_t k) const { return k < slots_.size() ? slots_[k] : nullptr; }
    bool Given(size_t k) const { return (*this)[k] != nullptr; }
    // The in value of formal k, Null when it was not given.
    const Value& In(size_t k) const;
    // Assigns an out value; false when formal k is no variable.
    bool Out(size_t k, Value v) const;

private:
    std::vector<NativeArg*> slots_;
};

bool IsNull(const Value& v);                 // NULL or the empty string
std::string Text(const Value& v);            // VARCHAR2 conversion (dates as DD-MON-RR)
int64_t Int(const Value& v);                 // rounds; ORA-06502 for text that is no number
double Num(const Value& v);
bool Bool(const Value& v);                   // a BOOLEAN actual: true when non-zero
double DateOf(const Value& v);               // Julian day; ORA-06502 when the value is no date

Value NullValue();
Value TextValue(std::string s);              // the empty string is NULL
Value IntValue(int64_t i);
Value NumValue(double d);
Value BoolValue(bool b);
Value DateValue(double julian);

// "ORA-<code>: text" as the package's error.
[[noreturn]] void Raise(int code, const std::string& text);
[[noreturn]] void ValueError(const std::string& detail = {});   // ORA-06502

// SQL in the calling session and transaction; binds are :1, :2, ... in order.
using Rows = std::vector<std::vector<Value>>;
Rows Query(NativeContext& ctx, std::string_view sql, const std::vector<Value>& binds = {});
uint64_t Exec(NativeContext& ctx, std::string_view sql, const std::vector<Value>& binds = {});

// Waits until `ready` says so (true) or `seconds` pass (false; a negative value waits for ever),
// letting the other sessions run meanwhile; ORA-01013 when the client interrupts the call.
bool WaitFor(NativeContext& ctx, double seconds, const std::function<bool()>& ready);

// One maker per package file, collected by Registry.cpp.
std::unique_ptr<NativePackage> MakeDbmsOutput();
std::unique_ptr<NativePackage> MakeDbmsPipe();
std::unique_ptr<NativePackage> MakeDbmsAlert();
std::unique_ptr<NativePackage> MakeDbmsJob();
std::unique_ptr<NativePackage> MakeDbmsApplicationInfo();
std::unique_ptr<NativePackage> MakeUtlFile();
std::unique_ptr<NativePackage> MakeDbmsTransaction();
std::unique_ptr<NativePackage> MakeDiutil();
std::unique_ptr<NativePackage> MakeDbmsLock();
std::unique_ptr<NativePackage> MakeDbmsWm();
std::unique_ptr<NativePackage> MakeDbmsUtility();
std::unique_ptr<NativePackage> MakeDbmsLob();

} // namespace ocisim::eng::pkg
