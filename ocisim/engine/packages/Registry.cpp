// The table of server packages written in C++. Each package lives in its own file of this folder
// and adds itself to the table below.
#include "ocisim/engine/internal/NativePackages.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace ocisim::eng {

void NativeContext::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

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

const std::vector<std::pair<std::string_view, std::string_view>>& NativePackageObjects() {
    static const std::vector<std::pair<std::string_view, std::string_view>> objects;
    return objects;
}

} // namespace ocisim::eng
