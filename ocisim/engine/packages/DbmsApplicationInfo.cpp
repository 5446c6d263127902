// DBMS_APPLICATION_INFO: the module, action and client information a session reports about
// itself (V$SESSION MODULE, ACTION, CLIENT_INFO).
#include "ocisim/engine/packages/PackageSupport.h"

namespace ocisim::eng::pkg {
namespace {

// Longer values are cut to what V$SESSION holds, as Oracle does.
std::string Cut(const Value& v, size_t n) {
    std::string s = Text(v);
    if (s.size() <= n) return s;
    s.resize(n);
    while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80) s.pop_back();   // no half characters
    if (!s.empty() && (static_cast<unsigned char>(s.back()) & 0x80)) s.pop_back();
    return s;
}

class DbmsApplicationInfo final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_APPLICATION_INFO"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        if (result) return false;
        Params p;
        if (m == "SET_MODULE") {
            if (!p.Match(args, {"MODULE_NAME", "ACTION_NAME"}, 2)) return false;
            ctx.SetApplicationInfo("MODULE", Cut(p.In(0), 48));
            ctx.SetApplicationInfo("ACTION", Cut(p.In(1), 32));
            return true;
        }
        if (m == "SET_ACTION") {
            if (!p.Match(args, {"ACTION_NAME"}, 1)) return false;
            ctx.SetApplicationInfo("ACTION", Cut(p.In(0), 32));
            return true;
        }
        if (m == "SET_CLIENT_INFO") {
            if (!p.Match(args, {"CLIENT_INFO"}, 1)) return false;
            ctx.SetApplicationInfo("CLIENT_INFO", Cut(p.In(0), 64));
            return true;
        }
        if (m == "READ_MODULE") {
            if (!p.Match(args, {"MODULE_NAME", "ACTION_NAME"}, 2) || !p[0]->out || !p[1]->out) return false;
            p.Out(0, TextValue(ctx.ApplicationInfo("MODULE")));
            p.Out(1, TextValue(ctx.ApplicationInfo("ACTION")));
            return true;
        }
        if (m == "READ_CLIENT_INFO") {
            if (!p.Match(args, {"CLIENT_INFO"}, 1) || !p[0]->out) return false;
            p.Out(0, TextValue(ctx.ApplicationInfo("CLIENT_INFO")));
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsApplicationInfo() { return std::make_unique<DbmsApplicationInfo>(); }

} // namespace ocisim::eng::pkg
