// DBMS_WM: Workspace Manager, as far as a database without version-enabled tables has it: the
// LIVE workspace every session starts in.
#include "ocisim/engine/packages/PackageSupport.h"

namespace ocisim::eng::pkg {
namespace {

struct Workspace {
    std::string name = "LIVE";
};

Workspace& WorkspaceOf(NativeContext& ctx) {
    auto& slot = ctx.SessionState("DBMS_WM");
    if (!slot) slot = std::make_shared<Workspace>();
    return *static_cast<Workspace*>(slot.get());
}

class DbmsWm final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_WM"; }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        Params p;
        if (m == "GOTOWORKSPACE") {
            if (result || !p.Match(args, {"WORKSPACE"}, 1)) return false;
            // workspace names are case sensitive
            std::string name = Text(p.In(0));
            if (name != "LIVE") Raise(20000, "workspace '" + name + "' does not exist");
            WorkspaceOf(ctx).name = name;
            return true;
        }
        if (m == "GETWORKSPACE") {
            if (!result || !p.Match(args, {}, 0)) return false;
            *result = TextValue(WorkspaceOf(ctx).name);
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsWm() { return std::make_unique<DbmsWm>(); }

} // namespace ocisim::eng::pkg
