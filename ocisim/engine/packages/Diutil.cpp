// SYS.DIUTIL: the BOOLEAN conversions clients use, since a BOOLEAN cannot be bound.
#include "ocisim/engine/packages/PackageSupport.h"

namespace ocisim::eng::pkg {
namespace {

class Diutil final : public NativePackage {
public:
    std::string_view Name() const override { return "DIUTIL"; }

    bool ReturnsBoolean(std::string_view member) const override { return member == "INT_TO_BOOL"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        (void)ctx;
        Params p;
        if (!result) return false;
        if (m == "INT_TO_BOOL") {
            if (!p.Match(args, {"N"}, 1)) return false;
            const Value& v = p.In(0);
            if (IsNull(v)) { *result = NullValue(); return true; }
            double n = Num(v);
            if (n != 0 && n != 1) ValueError();
            *result = BoolValue(n == 1);
            return true;
        }
        if (m == "BOOL_TO_INT") {
            if (!p.Match(args, {"B"}, 1)) return false;
            const Value& v = p.In(0);
            *result = IsNull(v) ? NullValue() : IntValue(Bool(v) ? 1 : 0);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDiutil() { return std::make_unique<Diutil>(); }

} // namespace ocisim::eng::pkg
