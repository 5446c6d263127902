#include "oracle/ci/NetServiceNames.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "base/StrUtils.h"
#include "base/Strings.h"
#include "base/TextCase.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/ci/internal/TNSNamesReader.h"
#include "platform/ClientFiles.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace quorvel {

bool StripDefaultDomain = false;

namespace {

namespace fs = std::filesystem;

const char* const OracleKey = "SOFTWARE\\ORACLE";

// Includes nested deeper than this are not followed (a chain of distinct files could otherwise
// exhaust the stack).
constexpr int MaxIncludeDepth = 64;

class GlobalLockGuard {
public:
    GlobalLockGuard() { OCIGlobalLock().Enter(); }
    ~GlobalLockGuard() { OCIGlobalLock().Leave(); }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
};

// Joining puts a separator between directory and name unless the directory is empty or
// already ends with one.
std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == platform::NativeDirSeparator)
        return dir + name;
    return dir + platform::NativeDirSeparator + name;
}

// The directory part of a path with its final separator ("" for a bare name).
std::string ExtractFilePath(const std::string& path)
{
    const auto pos = path.rfind(platform::NativeDirSeparator);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

// dir joined with one name. The client's own files and directories are written in lower case
// here (network/admin/tnsnames.ora, as on every Unix client); a home copied from Windows may
// spell them otherwise (Network\Admin\TNSNAMES.ORA), so an existing entry whose name differs
// only in case is taken instead when the lower-case one does not exist.
std::string JoinExisting(const std::string& dir, const std::string& name)
{
    const std::string exact = JoinPath(dir, name);
    std::error_code ec;
    if (fs::exists(exact, ec))
        return exact;
    const fs::path base = dir.empty() ? fs::path(".") : fs::path(dir);
    fs::directory_iterator it(base, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (AnsiSameText(entry, name))
            return JoinPath(dir, entry);
    }
    return exact;
}

// dir joined with a relative path of several names separated by "/".
std::string JoinExistingPath(std::string dir, const std::string& relative)
{
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        if (end > start)
            dir = JoinExisting(dir, relative.substr(start, end - start));
        start = end + 1;
    }
    return dir;
}

struct NetConfiguration {
    std::unique_ptr<TStringList> Names;
    std::string File;
    std::string Domain;
};

std::atomic<bool> ConfigurationAlive{false};

struct NetConfigurationHolder {
    NetConfiguration Value;
    NetConfigurationHolder() { ConfigurationAlive = true; }
    ~NetConfigurationHolder() { ConfigurationAlive = false; }
};

void ForgetNetConfiguration();

NetConfiguration& Configuration()
{
    // The loader's state is created (by registering with it) before this one, so it outlives it.
    static const bool registered = [] {
        AddOCIUnloadHandler(ForgetNetConfiguration);
        return true;
    }();
    (void)registered;
    static NetConfigurationHolder holder;
    return holder.Value;
}

void ForgetNetConfiguration()
{
    if (!ConfigurationAlive)
        return;
    GlobalLockGuard guard;
    auto& config = Configuration();
    config.Names.reset();
    config.File.clear();
    config.Domain.clear();
}

// ----- the reader -----

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

class Reader {
public:
    Reader(TStringList& names, const tns_internal::TNSReadOptions& options)
        : FNames(names), FOptions(options)
    {
        const std::string& domain = FOptions.DefaultDomain;
        FStripping = FOptions.StripDefaultDomain ? !domain.empty() : AnsiSameText(domain, "WORLD");
    }

    void File(std::string path, int depth)
    {
        while (path.size() >= 3 && path.compare(0, 3, "\\\\\\") == 0)
            path.erase(0, 1);
        if (depth > MaxIncludeDepth || (depth > 0 && !FOptions.FollowIncludes))
            return;
        // Only plain files: an include naming a device or a pipe must not block the reader.
        std::error_code ec;
        if (path.empty() || !fs::is_regular_file(fs::path(path), ec))
            return;
        // A file that includes itself, directly or through others, is read once.
        std::string identity = fs::weakly_canonical(fs::path(path), ec).string();
        if (ec || identity.empty())
            identity = path;
        if (!FSeen.insert(identity).second)
            return;
        TStringList lines;
        try {
            lines.LoadFromFile(path);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            return; // unreadable: like a missing file, the other files still count
        }
        Lines(lines, depth);
    }

    void Lines(const TStrings& lines, int depth)
    {
        // The depth runs across the lines of one file; each included file has its own.
        std::int64_t parens = 0;
        bool pendingInclude = false;
        std::string kept;
        for (int i = 0; i < lines.Count(); ++i) {
            const std::string& line = lines[i];
            if (line.empty() || line[0] == '#')
                continue;
            kept.clear();
            for (const char c : line) {
                if (c == '(') {
                    ++parens;
                } else if (c == ')') {
                    // A ")" without its "(" is dropped and leaves the depth at 0, so one stray
                    // parenthesis does not hide every entry after it.
                    if (parens > 0)
                        --parens;
                } else if (parens == 0 && static_cast<unsigned char>(c) >= 32) {
                    kept += c;
                }
            }
            const std::string text = Trim(kept);
            if (text.empty())
                continue;
            const auto eq = text.find('=');
            if (eq == std::string::npos) {
                if (pendingInclude) {
                    pendingInclude = false;
                    File(text, depth + 1);
                }
                continue;
            }
            const std::string value = Trim(std::string_view(text).substr(eq + 1));
            const std::string key = StripDomain(Trim(std::string_view(text).substr(0, eq)));
            if (AnsiSameText(key, "ifile")) {
                pendingInclude = false;
                if (value.empty())
                    pendingInclude = true; // the file name follows on a later line
                else
                    File(value, depth + 1);
                continue;
            }
            for (const std::string& name : tns_internal::SplitNameList(key)) {
                const std::string alias = StripDomain(name);
                if (!alias.empty())
                    FCollected.push_back(alias);
            }
        }
    }

    // Moves the names collected so far into the list. A sorted list takes one name at a time in
    // linear time, so the names are sorted here first and merged with the list in one pass; of
    // names equal but for case the one already listed, else the one met first, is kept.
    void Flush()
    {
        std::vector<std::string> collected = std::move(FCollected);
        FCollected.clear();
        if (!FNames.Sorted() || FNames.CaseSensitive() || FNames.Duplicates() != dupIgnore) {
            for (const std::string& name : collected)
                FNames.Add(name);
            return;
        }
        const auto less = [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; };
        std::stable_sort(collected.begin(), collected.end(), less);
        collected.erase(std::unique(collected.begin(), collected.end(),
                                    [](const std::string& a, const std::string& b) { return AnsiSameText(a, b); }),
                        collected.end());
        std::vector<std::string> merged;
        merged.reserve(static_cast<std::size_t>(FNames.Count()) + collected.size());
        std::size_t next = 0;
        for (int i = 0; i < FNames.Count(); ++i) {
            const std::string& listed = FNames[i];
            while (next < collected.size() && less(collected[next], listed))
                merged.push_back(std::move(collected[next++]));
            if (next < collected.size() && AnsiSameText(collected[next], listed))
                ++next;
            merged.push_back(listed);
        }
        while (next < collected.size())
            merged.push_back(std::move(collected[next++]));
        FNames.BeginUpdate();
        FNames.Clear();
        for (const std::string& name : merged)
            FNames.Add(name);  // in order: each goes to the end
        FNames.EndUpdate();
    }

private:
    // The name without a trailing "." + default domain, when domains are being removed.
    std::string StripDomain(std::string name) const
    {
        if (!FStripping)
            return name;
        const std::string& domain = FOptions.DefaultDomain;
        if (name.size() > domain.size() && name[name.size() - domain.size() - 1] == '.' &&
            AnsiSameText(std::string_view(name).substr(name.size() - domain.size()), domain))
            name.erase(name.size() - domain.size() - 1);
        return name;
    }

    TStringList& FNames;
    const tns_internal::TNSReadOptions& FOptions;
    bool FStripping = false;
    std::set<std::string> FSeen;
    std::vector<std::string> FCollected;
};

// Reads with reader and moves what it collected into its list, also when reading fails.
template <typename Read>
void ReadAndFlush(Reader& reader, Read read)
{
    try {
        read();
    } catch (...) {
        reader.Flush();
        throw;
    }
    reader.Flush();
}

} // namespace

namespace tns_internal {

void PrepareNameList(TStringList& names)
{
    names.Clear();
    names.SetCaseSensitive(false);
    names.SetDuplicates(dupIgnore);
    names.SetSorted(true);
}

void ReadTNSNamesFile(const std::string& path, TStringList& names, const TNSReadOptions& options)
{
    Reader reader(names, options);
    ReadAndFlush(reader, [&] { reader.File(path, 0); });
}

void ReadTNSNamesText(std::string_view text, TStringList& names, const TNSReadOptions& options)
{
    TStringList lines;
    lines.SetText(text);
    Reader reader(names, options);
    ReadAndFlush(reader, [&] { reader.Lines(lines, 0); });
}

std::vector<std::string> SplitNameList(std::string_view key)
{
    std::vector<std::string> result;
    const std::size_t n = key.size();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(key[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (key[i] == '"') {
            ++i;
            while (i < n) {
                if (key[i] == '"') {
                    if (i + 1 < n && key[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += key[i++];
            }
        } else {
            const std::size_t start = i;
            while (i < n && !IsBlank(key[i]) && key[i] != ',')
                ++i;
            item.assign(key.substr(start, i - start));
        }
        if (!item.empty())
            result.push_back(std::move(item));
        skipBlanks();
        if (i < n && key[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    return result;
}

} // namespace tns_internal

std::string TNSNamesFile()
{
    GlobalLockGuard guard;
    auto& config = Configuration();
    if (!config.File.empty())
        return config.File;
    using platform::HKEY_LOCAL_MACHINE;
    const std::string key = OracleHomeKey();
    EnsureOCILoaded();
    std::string dir;
    try {
        dir = platform::GetEnvironmentVariable("TNS_ADMIN");
        if (dir.empty() && !key.empty())
            dir = ReadRegString(HKEY_LOCAL_MACHINE, key, "TNS_ADMIN");
        if (dir.empty() && !AnsiSameText(key, OracleKey))
            dir = ReadRegString(HKEY_LOCAL_MACHINE, OracleKey, "TNS_ADMIN");
        if (dir.empty() && !key.empty()) {
            dir = ReadRegString(HKEY_LOCAL_MACHINE, key, HasOCI8 ? "NET80" : "NET20");
            if (!dir.empty())
                dir = JoinExisting(dir, "admin");
        }
        if (dir.empty())
            dir = JoinExistingPath(OracleHomeDir(), HasOCI8 && !HasOCI81 ? "net80/admin" : "network/admin");
    } catch (...) {
        // whatever was found so far stands
    }
    config.File = JoinExisting(dir, "tnsnames.ora");
    return config.File;
}

std::string DefaultDomain()
{
    GlobalLockGuard guard;
    auto& config = Configuration();
    if (!config.Domain.empty())
        return config.Domain;
    const std::string file = JoinExisting(ExtractFilePath(TNSNamesFile()), "sqlnet.ora");
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(file), ec))
        return {};
    TStringList lines;
    try {
        lines.LoadFromFile(file);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return {};
    }
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (LowerCase(Trim(std::string_view(line).substr(0, eq))) == "names.default_domain") {
            config.Domain = Trim(std::string_view(line).substr(eq + 1));
            break;
        }
    }
    return config.Domain;
}

TStringList* TNSNames()
{
    GlobalLockGuard guard;
    auto& config = Configuration();
    if (config.Names)
        return config.Names.get();
    try {
        // A client that cannot be loaded leaves no list at all.
        const std::string file = TNSNamesFile();
        tns_internal::TNSReadOptions options;
        options.DefaultDomain = DefaultDomain();
        options.StripDefaultDomain = StripDefaultDomain;
        config.Names = std::make_unique<TStringList>();
        tns_internal::PrepareNameList(*config.Names);
        tns_internal::ReadTNSNamesFile(file, *config.Names, options);
    } catch (...) {
        // what was collected so far stands
    }
    return config.Names.get();
}

bool CopyTNSNames(TStrings& dest)
{
    GlobalLockGuard guard;
    dest.Clear();
    const TStringList* names = TNSNames();
    if (!names)
        return false;
    dest.AddStrings(*names);
    return true;
}

} // namespace quorvel
