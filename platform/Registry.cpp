#include "platform/Registry.h"

#include "platform/internal/AtomicFile.h"

#include "platform/Environment.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quorvel::platform {

namespace {

std::string Upper(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

struct Node {
    std::string Name;
    std::map<std::string, Node> Children;                          // by upper-cased name
    std::map<std::string, std::pair<std::string, std::string>> Values; // upper name -> (name, value)
};

struct Hive {
    Node Root;
    bool Malformed = false;
};

// ---- key paths --------------------------------------------------------------------------

bool ValidComponent(const std::string& part) {
    for (unsigned char c : part)
        if (c < 32 || c == 127) return false;
    return true;
}

// Splits "A\B\\C\" into {A, B, C}; false when a component holds control characters.
bool SplitKey(const std::string& key, std::vector<std::string>& parts) {
    parts.clear();
    std::string current;
    for (char c : key) {
        if (c == '\\') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    for (const auto& part : parts)
        if (!ValidComponent(part)) return false;
    return true;
}

const Node* FindNode(const Node& root, const std::vector<std::string>& parts) {
    const Node* node = &root;
    for (const auto& part : parts) {
        auto it = node->Children.find(Upper(part));
        if (it == node->Children.end()) return nullptr;
        node = &it->second;
    }
    return node;
}

Node* FindNode(Node& root, const std::vector<std::string>& parts) {
    return const_cast<Node*>(FindNode(static_cast<const Node&>(root), parts));
}

Node& CreateNode(Node& root, const std::vector<std::string>& parts) {
    Node* node = &root;
    for (const auto& part : parts) {
        auto [it, added] = node->Children.try_emplace(Upper(part));
        if (added) it->second.Name = part;
        node = &it->second;
    }
    return *node;
}

// ---- file form --------------------------------------------------------------------------
// Header line: [KEY\PATH]. Value line: "name"="value". Inside quotes \\ \" \n \r \t and \xHH
// escape the backslash, the quote and any byte below 32 or 127. Lines starting with ";" or "#"
// and blank lines are ignored.

void AppendQuoted(std::string& out, const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 32 || c == 127) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= line.size()) return false;
        char e = line[pos++];
        switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (pos + 2 > line.size()) return false;
            int hi = HexDigit(line[pos]), lo = HexDigit(line[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

void SkipBlanks(const std::string& line, std::size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

Hive ParseHive(const std::string& text) {
    Hive hive;
    Node* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        std::size_t pos = 0;
        SkipBlanks(line, pos);
        if (pos == line.size() || line[pos] == ';' || line[pos] == '#') continue;
        if (line[pos] == '[') {
            std::vector<std::string> parts;
            if (line.back() != ']' || line.size() - pos < 2 ||
                !SplitKey(line.substr(pos + 1, line.size() - pos - 2), parts)) {
                hive.Malformed = true;
                current = nullptr; // its values must not land in the key before
                continue;
            }
            current = &CreateNode(hive.Root, parts);
            continue;
        }
        std::string name, value;
        bool sound = ReadQuoted(line, pos, name);
        if (sound) {
            SkipBlanks(line, pos);
            sound = pos < line.size() && line[pos] == '=';
            ++pos;
        }
        if (sound) {
            SkipBlanks(line, pos);
            sound = ReadQuoted(line, pos, value);
        }
        if (sound) {
            SkipBlanks(line, pos);
            sound = pos == line.size();
        }
        if (!sound || !current) {
            hive.Malformed = true;
            continue;
        }
        current->Values[Upper(name)] = {name, value};
    }
    return hive;
}

void WriteNode(std::string& out, const Node& node, const std::string& path) {
    if (!path.empty() || !node.Values.empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const auto& [upper, entry] : node.Values) {
            AppendQuoted(out, entry.first);
            out += '=';
            AppendQuoted(out, entry.second);
            out += '\n';
        }
    }
    for (const auto& [upper, child] : node.Children)
        WriteNode(out, child, path.empty() ? child.Name : path + "\\" + child.Name);
}

std::string SerializeHive(const Hive& hive) {
    std::string out = "; Quorvel registry hive\n";
    WriteNode(out, hive.Root, "");
    return out;
}

// ---- files ------------------------------------------------------------------------------

std::string HomeDirectory() {
    std::string home = GetEnvironmentVariable("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteAtomically(const std::string& path, const std::string& text) {
    return internal::WriteFileAtomically(path, text, 0600, false);
}

struct FileStamp {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    long long ModifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.ModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

// One parsed copy per hive file, re-read whenever the file changed on disk.
struct CachedHive {
    std::string Path;
    FileStamp Stamp;
    Hive Data;
};

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

CachedHive& CacheFor(RegistryRoot root) {
    static CachedHive caches[2];
    return caches[root == RegistryRoot::LocalMachine ? 0 : 1];
}

// Caller holds RegistryLock.
const Hive& LoadHive(RegistryRoot root) {
    CachedHive& cache = CacheFor(root);
    const std::string path = RegistryHiveFile(root);
    const FileStamp stamp = StampOf(path);
    if (cache.Path == path && cache.Stamp == stamp) return cache.Data;
    std::string text;
    cache.Data = stamp.Exists && ReadWholeFile(path, text) ? ParseHive(text) : Hive{};
    cache.Path = path;
    cache.Stamp = stamp;
    return cache.Data;
}

// Runs change on a fresh copy of the hive under the lock file and writes it back when change
// returns true. Caller holds RegistryLock.
template <typename Change>
bool ModifyHive(RegistryRoot root, Change change) {
    const std::string path = RegistryHiveFile(root);
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const int lockFd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return false;
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // Read afresh under the lock file, so a change by another process is never overwritten.
    // A hive that exists but cannot be read is left alone rather than replaced by an empty one.
    Hive hive;
    bool ok = true;
    if (StampOf(path).Exists) {
        std::string text;
        ok = ReadWholeFile(path, text);
        if (ok) hive = ParseHive(text);
    }
    ok = ok && change(hive.Root);
    if (ok) {
        if (hive.Malformed) {
            std::string old;
            if (ReadWholeFile(path, old)) WriteAtomically(path + ".bad", old);
        }
        ok = WriteAtomically(path, SerializeHive(hive));
        if (ok) {
            CachedHive& cache = CacheFor(root);
            hive.Malformed = false;
            cache.Data = std::move(hive);
            cache.Path = path;
            cache.Stamp = StampOf(path);
        }
    }
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return ok;
}

} // namespace

std::string RegistryDirectory() {
    std::string dir = GetEnvironmentVariable("QUORVEL_REGISTRY_DIR");
    if (dir.empty()) dir = HomeDirectory() + "/.config/quorvel/registry";
    return dir;
}

std::string RegistryHiveFile(RegistryRoot root) {
    std::string dir = RegistryDirectory();
    if (dir.back() != '/') dir += '/';
    return dir + (root == RegistryRoot::LocalMachine ? "machine.reg" : "user.reg");
}

bool RegKeyExists(RegistryRoot root, const std::string& key) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts)) return false;
    std::lock_guard guard(RegistryLock());
    return FindNode(LoadHive(root).Root, parts) != nullptr;
}

bool RegCreateKey(RegistryRoot root, const std::string& key) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts)) return false;
    std::lock_guard guard(RegistryLock());
    if (FindNode(LoadHive(root).Root, parts)) return true;
    return ModifyHive(root, [&](Node& top) {
        CreateNode(top, parts);
        return true;
    });
}

bool RegDeleteKey(RegistryRoot root, const std::string& key) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts) || parts.empty()) return false;
    std::lock_guard guard(RegistryLock());
    if (!FindNode(LoadHive(root).Root, parts)) return false;
    return ModifyHive(root, [&](Node& top) {
        std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
        Node* parent = FindNode(top, parentParts);
        return parent && parent->Children.erase(Upper(parts.back())) > 0;
    });
}

std::optional<std::string> RegReadValue(RegistryRoot root, const std::string& key, const std::string& name) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts)) return std::nullopt;
    std::lock_guard guard(RegistryLock());
    const Node* node = FindNode(LoadHive(root).Root, parts);
    if (!node) return std::nullopt;
    auto it = node->Values.find(Upper(name));
    if (it == node->Values.end()) return std::nullopt;
    return it->second.second;
}

std::string RegReadString(RegistryRoot root, const std::string& key, const std::string& name) {
    return RegReadValue(root, key, name).value_or(std::string());
}

bool RegWriteString(RegistryRoot root, const std::string& key, const std::string& name, const std::string& value) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts)) return false;
    std::lock_guard guard(RegistryLock());
    return ModifyHive(root, [&](Node& top) {
        Node& node = CreateNode(top, parts);
        auto it = node.Values.find(Upper(name));
        if (it == node.Values.end()) node.Values.emplace(Upper(name), std::make_pair(name, value));
        else it->second.second = value; // the name keeps its first spelling
        return true;
    });
}

bool RegDeleteValue(RegistryRoot root, const std::string& key, const std::string& name) {
    std::vector<std::string> parts;
    if (!SplitKey(key, parts)) return false;
    std::lock_guard guard(RegistryLock());
    const Node* existing = FindNode(LoadHive(root).Root, parts);
    if (!existing || existing->Values.find(Upper(name)) == existing->Values.end()) return false;
    return ModifyHive(root, [&](Node& top) {
        Node* node = FindNode(top, parts);
        return node && node->Values.erase(Upper(name)) > 0;
    });
}

std::vector<std::string> RegSubKeyNames(RegistryRoot root, const std::string& key) {
    std::vector<std::string> names, parts;
    if (!SplitKey(key, parts)) return names;
    std::lock_guard guard(RegistryLock());
    if (const Node* node = FindNode(LoadHive(root).Root, parts))
        for (const auto& [upper, child] : node->Children) names.push_back(child.Name);
    return names; // the maps are keyed by the upper-cased name
}

std::vector<std::string> RegValueNames(RegistryRoot root, const std::string& key) {
    std::vector<std::string> names, parts;
    if (!SplitKey(key, parts)) return names;
    std::lock_guard guard(RegistryLock());
    if (const Node* node = FindNode(LoadHive(root).Root, parts))
        for (const auto& [upper, entry] : node->Values) names.push_back(entry.first);
    return names; // the maps are keyed by the upper-cased name
}

} // namespace quorvel::platform
