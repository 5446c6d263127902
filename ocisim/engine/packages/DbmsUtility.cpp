// DBMS_UTILITY: the error and call stack texts of the running call, and GET_TIME.
#include "ocisim/engine/packages/PackageSupport.h"

#include <chrono>

namespace ocisim::eng::pkg {
namespace {

class DbmsUtility final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_UTILITY"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        if (!result || !p.Match(args, {}, 0)) return false;
        if (m == "FORMAT_ERROR_STACK") {
            *result = TextValue(ctx.ErrorStack());
            return true;
        }
        if (m == "FORMAT_CALL_STACK") {
            *result = TextValue(ctx.CallStack());
            return true;
        }
        if (m == "GET_TIME") {
            // hundredths of a second from an arbitrary point, wrapping within a BINARY_INTEGER
            auto cs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count() / 10;
            *result = IntValue(cs % 2147483647);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsUtility() { return std::make_unique<DbmsUtility>(); }

} // namespace ocisim::eng::pkg
