// The table of server packages written in C++. Each package lives in its own file of this folder
// and adds itself to the table below.
#include "ocisim/engine/internal/NativePackages.h"

#include <memory>
#include <vector>

namespace ocisim::eng {

namespace {

std::vector<std::unique_ptr<NativePackage>> MakePackages() {
    std::vector<std::unique_ptr<NativePackage>> all;
    return all;
}

} // namespace

NativePackage* FindNativePackage(std::string_view name) {
    static const std::vector<std::unique_ptr<NativePackage>> packages = MakePackages();
    for (const auto& p : packages)
        if (p->Name() == name) return p.get();
    return nullptr;
}

} // namespace ocisim::eng
