// DBMS_LOCK: SLEEP, which the client can interrupt.
#include "ocisim/engine/packages/PackageSupport.h"

namespace ocisim::eng::pkg {
namespace {

class DbmsLock final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_LOCK"; }

    bool Constant(std::string_view name, Value& out) const override {
        static const std::pair<std::string_view, int64_t> kConstants[] = {
            {"NL_MODE", 1}, {"SS_MODE", 2}, {"SX_MODE", 3}, {"S_MODE", 4}, {"SSX_MODE", 5}, {"X_MODE", 6}, {"MAXWAIT", 32767}};
        for (const auto& [n, v] : kConstants)
            if (n == name) { out = IntValue(v); return true; }
        return false;
    }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        if (m == "SLEEP") {
            if (result || !p.Match(args, {"SECONDS"}, 1)) return false;
            if (IsNull(p.In(0))) ValueError();
            double seconds = Num(p.In(0));
            if (seconds < 0 || seconds > 3600000) Raise(38148, "invalid time limit specified");
            WaitFor(ctx, seconds, [] { return false; });
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsLock() { return std::make_unique<DbmsLock>(); }

} // namespace ocisim::eng::pkg
