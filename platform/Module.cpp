#include "platform/Module.h"

#include "platform/ClientFiles.h"
#include "platform/Environment.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

namespace quorvel::platform {

namespace {

thread_local std::string tLastError;

std::string DlErrorText(const char* fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : std::string(fallback);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The library search path is read from the environment at the moment of the load, so that
// directories a caller put in front at run time take part in the search.
std::string ResolveBareName(const std::string& name) {
    const std::string list = GetEnvironmentVariable(std::string(NativeLibraryPathVariable));
    for (const std::string& dir : SplitPathList(list, NativeListSeparator)) {
        if (dir.empty()) continue;
        std::string candidate = dir;
        if (candidate.back() != '/') candidate += '/';
        candidate += name;
        if (IsRegularFile(candidate)) return candidate;
    }
    return name;
}

} // namespace

ModuleHandle LoadModule(const std::string& path) {
    if (path.empty()) {
        tLastError = "empty module path";
        return 0;
    }
    std::string target = path;
    if (path.find('/') == std::string::npos) target = ResolveBareName(path);
    dlerror();
    void* handle = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        tLastError = DlErrorText("the module could not be loaded");
        return 0;
    }
    const auto value = reinterpret_cast<ModuleHandle>(handle);
    if (!IsModuleLoaded(value)) {
        // No dynamic linker hands out such addresses; refuse rather than confuse the holder.
        dlclose(handle);
        tLastError = "the dynamic linker returned an unusable handle";
        return 0;
    }
    tLastError.clear();
    return value;
}

bool FreeModule(ModuleHandle handle) {
    if (!IsModuleLoaded(handle)) return false;
    return dlclose(reinterpret_cast<void*>(handle)) == 0;
}

void* ModuleSymbol(ModuleHandle handle, const std::string& name) {
    if (!IsModuleLoaded(handle)) {
        tLastError = "the module is not loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(reinterpret_cast<void*>(handle), name.c_str());
    if (!address) {
        tLastError = DlErrorText("symbol not found");
        return nullptr;
    }
    tLastError.clear();
    return address;
}

std::string LastModuleError() { return tLastError; }

std::string ModuleFileName(ModuleHandle handle) {
    if (!IsModuleLoaded(handle)) return {};
    struct link_map* map = nullptr;
    if (dlinfo(reinterpret_cast<void*>(handle), RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return {};
    return map->l_name;
}

} // namespace quorvel::platform
