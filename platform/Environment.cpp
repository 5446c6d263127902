#include "platform/Environment.h"

#include <cstdlib>
#include <mutex>

namespace quorvel::platform {

namespace {
std::mutex& EnvLock() {
    static std::mutex lock;
    return lock;
}
bool ValidName(const std::string& name) {
    return !name.empty() && name.find('=') == std::string::npos && name.find('\0') == std::string::npos;
}
} // namespace

std::string GetEnvironmentVariable(const std::string& name) {
    if (!ValidName(name)) return {};
    std::lock_guard guard(EnvLock());
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

bool HasEnvironmentVariable(const std::string& name) {
    if (!ValidName(name)) return false;
    std::lock_guard guard(EnvLock());
    return std::getenv(name.c_str()) != nullptr;
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
    if (!ValidName(name) || value.find('\0') != std::string::npos) return false;
    std::lock_guard guard(EnvLock());
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentVariable(const std::string& name) {
    if (!ValidName(name)) return false;
    std::lock_guard guard(EnvLock());
    return ::unsetenv(name.c_str()) == 0;
}

std::string GetProcessPath() { return GetEnvironmentVariable("PATH"); }

bool SetProcessPath(const std::string& value) { return SetEnvironmentVariable("PATH", value); }

std::vector<std::string> SplitPathList(std::string_view list, char separator) {
    std::vector<std::string> entries;
    if (list.empty()) return entries;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = list.find(separator, start);
        if (end == std::string_view::npos) {
            entries.emplace_back(list.substr(start));
            break;
        }
        entries.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

std::string JoinPathList(const std::vector<std::string>& entries, char separator) {
    std::string result;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i) result += separator;
        result += entries[i];
    }
    return result;
}

} // namespace quorvel::platform
