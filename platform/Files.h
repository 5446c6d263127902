#pragma once
// File and directory lookups, wildcard enumeration and the current directory.
// None of these raise: a missing or unreadable file or directory reads as absent or empty.
#include <string>
#include <vector>

namespace quorvel::platform {

// An existing entry that is not a directory (symbolic links are followed).
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

enum class NameCase { Sensitive, Insensitive };

struct FoundEntry {
    std::string Name;      // the entry's name, without its directory
    bool IsDirectory = false;
};

// Entries of the directory part of pattern whose names match its last component: "*" stands for
// any run of characters, "?" for exactly one; "*.*" matches every name, with or without a dot.
// The directory part is taken literally (relative to the current directory when relative;
// "dir/" alone lists everything). "." and ".." are never reported. Names come sorted by byte
// value so the result does not depend on the file system's order.
std::vector<FoundEntry> FindEntries(const std::string& pattern, NameCase nameCase = NameCase::Sensitive);
// The same, names only, directories included unless filesOnly.
std::vector<std::string> FindFiles(const std::string& pattern, NameCase nameCase = NameCase::Sensitive,
                                   bool filesOnly = false);

// True when name matches the wildcard pattern ("*" and "?", see FindEntries).
bool MatchesWildcard(const std::string& name, const std::string& pattern, NameCase nameCase);

// The current working directory (empty when it cannot be read).
std::string GetCurrentDirectory();
bool SetCurrentDirectory(const std::string& path);

} // namespace quorvel::platform
