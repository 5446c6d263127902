#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform {

namespace {

char Fold(char c, NameCase nameCase) {
    if (nameCase == NameCase::Insensitive && c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return c;
}

// Iterative matcher with one back-tracking point per "*": linear in practice, never recursive,
// so hostile patterns cannot exhaust the stack.
bool Match(const std::string& name, const std::string& pattern, NameCase nameCase) {
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p], nameCase) == Fold(name[n], nameCase))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

} // namespace

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MatchesWildcard(const std::string& name, const std::string& pattern, NameCase nameCase) {
    if (pattern == "*.*") return true;
    return Match(name, pattern, nameCase);
}

std::vector<FoundEntry> FindEntries(const std::string& pattern, NameCase nameCase) {
    std::vector<FoundEntry> found;
    std::string dir, mask;
    const std::size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) {
        dir = ".";
        mask = pattern;
    } else {
        dir.assign(pattern, 0, slash == 0 ? 1 : slash);
        mask = pattern.substr(slash + 1);
    }
    if (mask.empty()) mask = "*";
    DIR* handle = ::opendir(dir.c_str());
    if (!handle) return found;
    while (dirent* entry = ::readdir(handle)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!MatchesWildcard(name, mask, nameCase)) continue;
        FoundEntry item;
        item.Name = name;
        struct stat st {};
        std::string full = dir;
        if (full.back() != '/') full += '/';
        full += name;
        item.IsDirectory = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        found.push_back(std::move(item));
    }
    ::closedir(handle);
    std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) { return a.Name < b.Name; });
    return found;
}

std::vector<std::string> FindFiles(const std::string& pattern, NameCase nameCase, bool filesOnly) {
    std::vector<std::string> names;
    for (auto& entry : FindEntries(pattern, nameCase))
        if (!filesOnly || !entry.IsDirectory) names.push_back(std::move(entry.Name));
    return names;
}

std::string GetCurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    while (true) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool SetCurrentDirectory(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

} // namespace quorvel::platform
