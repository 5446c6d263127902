#include "oracle/ci/OracleCI.h"

#include <atomic>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/Exception.h"
#include "oracle/ci/internal/LoaderTesting.h"
#include "platform/ClientFiles.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Module.h"
#include "platform/Process.h"

namespace quorvel {

TOCIEntryPoints OCI;

std::string OCIDLL;
std::string ExcludedOCIDLLs;
bool OCIAddToPath = true;
std::string OracleHomeName;
bool ForceOCI7 = false;

std::string SOracleNotInstalled = "Oracle Client not properly installed";
std::string SCouldNotLoad = "Could not load";
std::string SCouldNotLocateOCI = "Could not locate OCI dll";
std::string SCouldNotLocate = "Could not locate";
std::string SCouldNotInitialize = "Could not initialize";
std::string SWow64Hint = "Make sure you have the 32 bits Oracle Client installed.";

bool HasOCI7 = false;
bool HasOlog = false;
bool HasOpinit = false;
bool HasOCI8 = false;
bool OCI8Allowed = false;
bool HasExtProc = false;
bool HasOCI81 = false;
bool HasOCI9 = false;
bool HasOCI92 = false;
bool HasMTS = false;

// ---------------------------------------------------------------------------------------------
// The lock.

void TOracleCriticalSection::Enter()
{
    FSection.lock();
    FOwner.store(std::this_thread::get_id());
    FEntered.fetch_add(1);
}

void TOracleCriticalSection::Leave()
{
    // Only the owning thread has entries (everyone else waits in Enter), so a Leave from any
    // other thread, or one more than there were entries, is a surplus and does nothing.
    if (FEntered.load() <= 0 || FOwner.load() != std::this_thread::get_id())
        return;
    if (FEntered.fetch_sub(1) == 1)
        FOwner.store(std::thread::id{});
    FSection.unlock();
}

TOracleCriticalSection& OCIGlobalLock()
{
    static TOracleCriticalSection lock;
    return lock;
}

namespace {

const char* const CRLF = "\r\n";

struct LoaderState {
    // read without the loader lock by OCILoaded(), so a thread may ask while another one loads
    std::atomic<platform::ModuleHandle> Client{platform::ModuleNotLoaded};
    platform::ModuleHandle MTS = platform::ModuleNotLoaded;
    bool ChosenAutomatically = false;
    bool HomeNameFilled = false;
    std::string HomeKey;
    std::string HomeDir;
    bool UseBin = true;
    std::string Trace;
    bool HaveSavedDir = false;
    std::string SavedDir;
    std::string ChangedToDir;
    bool HaveSavedPath = false;
    std::string SavedPath;
    std::string OraMTSDLL;
    bool NLSLangRead = false;
    std::string NLSLangValue;
    bool NLSLangUTF8 = false;
    std::vector<std::function<void()>> UnloadHandlers;
};

LoaderState& State()
{
    static LoaderState state;
    return state;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool SameText(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

bool StartsWithText(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool EndsWithText(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

const std::string& Sep()
{
    static const std::string sep(1, platform::NativeDirSeparator);
    return sep;
}

// Joining puts a separator between directory and name unless the directory is empty or
// already ends with one.
std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == platform::NativeDirSeparator)
        return dir + name;
    return dir + Sep() + name;
}

std::string WithTrailingSeparator(const std::string& dir)
{
    if (!dir.empty() && dir.back() == platform::NativeDirSeparator)
        return dir;
    return dir + Sep();
}

// The directory part of a path, without its trailing separator ("/" stays "/").
std::string ExtractFileDir(const std::string& path)
{
    const auto pos = path.rfind(platform::NativeDirSeparator);
    if (pos == std::string::npos)
        return {};
    if (pos == 0)
        return Sep();
    return path.substr(0, pos);
}

std::string ExtractFileName(const std::string& path)
{
    const auto pos = path.rfind(platform::NativeDirSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

void AddTrace(const std::string& line)
{
    auto& trace = State().Trace;
    if (!trace.empty())
        trace += CRLF;
    trace += line;
}

const std::string& ClientFileName()
{
    static const std::string name = platform::NativeClientName("oci.dll");
    return name;
}

const std::string& BinName()
{
    static const std::string name = platform::NativeClientName("bin");
    return name;
}

// The version of a versioned client file: the digits from the fourth character (the sixth
// after "NT") up to the first "." read as the fraction "0.<digits>"; 0 when they are not all
// digits, so such a file never qualifies.
double ClientFileVersion(const std::string& name)
{
    std::size_t start = 3;
    if (name.size() >= 5 && Upper(name.substr(3, 2)) == "NT")
        start = 5;
    if (start > name.size())
        return 0;
    const std::size_t dot = name.find('.', start);
    const std::string digits = name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::strtod(("0." + digits).c_str(), nullptr);
}

// -- Oracle homes ------------------------------------------------------------------------------

struct OracleHome {
    std::string Name;
    int Number;
};

void AddHome(std::vector<OracleHome>& homes, const std::string& name, int number)
{
    const std::string key = Upper(name);
    auto pos = std::lower_bound(homes.begin(), homes.end(), key,
                                [](const OracleHome& h, const std::string& k) { return Upper(h.Name) < k; });
    if (pos != homes.end() && Upper(pos->Name) == key)
        return;
    homes.insert(pos, OracleHome{name, number});
}

bool ParseInteger(const std::string& text, int& value)
{
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && first != last;
}

const char* const OracleKey = "SOFTWARE\\ORACLE";

std::vector<OracleHome> OracleHomeList()
{
    using platform::HKEY_LOCAL_MACHINE;
    std::vector<OracleHome> homes;
    int n = 0;
    if (ParseInteger(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER"), n)) {
        n = std::max(n, 1);
        for (int i = 0; i <= 999 && n > 0; ++i) {
            const std::string key = std::string(OracleKey) + "\\HOME" + std::to_string(i);
            const std::string home = ReadRegString(HKEY_LOCAL_MACHINE, key, "ORACLE_HOME");
            const std::string name = ReadRegString(HKEY_LOCAL_MACHINE, key, "ORACLE_HOME_NAME");
            if (!home.empty() && !name.empty() && platform::DirectoryExists(home)) {
                AddHome(homes, name, i);
                --n;
            }
        }
    }
    for (const std::string& subkey : platform::RegSubKeyNames(HKEY_LOCAL_MACHINE, OracleKey)) {
        if (!StartsWithText(subkey, "KEY_"))
            continue;
        const std::string home = ReadRegString(HKEY_LOCAL_MACHINE, std::string(OracleKey) + "\\" + subkey, "ORACLE_HOME");
        if (!home.empty() && platform::DirectoryExists(home))
            AddHome(homes, subkey.substr(4), -1);
    }
    return homes;
}

std::string HomeKeyOf(const OracleHome& home)
{
    if (home.Number == -1)
        return std::string(OracleKey) + "\\KEY_" + home.Name;
    return std::string(OracleKey) + "\\HOME" + std::to_string(home.Number);
}

// -- The client file ---------------------------------------------------------------------------

std::vector<std::string> CandidateLibraries(const std::string& homeDir)
{
    std::vector<std::string> list;
    if (homeDir.empty())
        return list;
    auto& state = State();
    for (;;) {
        const bool usedBin = state.UseBin;
        const std::string dir = usedBin ? WithTrailingSeparator(JoinPath(homeDir, BinName())) : WithTrailingSeparator(homeDir);
        if (platform::FileExists(dir + ClientFileName())) {
            list.push_back(dir + ClientFileName());
            AddTrace("Found: " + ClientFileName());
        }
        for (const std::string& name : platform::FindFiles(dir + platform::NativeClientName("ora*.dll"),
                                                           platform::NameCase::Insensitive)) {
            if (ClientFileVersion(name) > 0) {
                AddTrace("Found: " + name);
                list.push_back(dir + name);
            }
        }
        if (!list.empty() || !usedBin)
            break;
        state.UseBin = false;
    }
    return list;
}

// 0 chosen, 1 nothing suitable, 3 no home directory.
int ChooseLibrary()
{
    auto& state = State();
    state.ChosenAutomatically = false;
    const std::string excluded = Upper(ExcludedOCIDLLs);
    const std::string forced = CommandLineValue("OCIDLL");
    if (!forced.empty())
        OCIDLL = forced;
    if (!OCIDLL.empty()) {
        AddTrace("OCIDLL forced to " + OCIDLL);
        return 0;
    }
    AddTrace("OracleHomeKey: " + OracleHomeKey());
    const std::string homeDir = OracleHomeDir();
    AddTrace("OracleHomeDir: " + homeDir);
    const std::vector<std::string> candidates = CandidateLibraries(homeDir);
    if (homeDir.empty())
        return 3;
    const std::string clientUpper = Upper(ClientFileName());
    std::string taken;
    for (int pass = 1; pass <= 2 && taken.empty(); ++pass) {
        double best = 0;
        for (const std::string& path : candidates) {
            const std::string name = Upper(ExtractFileName(path));
            if (pass == 1 && excluded.find("\"" + name + "\"") != std::string::npos)
                continue;
            if (name == clientUpper) {
                taken = path;
                break;
            }
            const double version = ClientFileVersion(ExtractFileName(path));
            if (version > best) {
                best = version;
                taken = path;
            }
        }
    }
    if (taken.empty())
        return 1;
    OCIDLL = taken;
    state.ChosenAutomatically = true;
    AddTrace("Using: " + taken);
    return 0;
}

// -- Binding -----------------------------------------------------------------------------------

struct SlotName {
    const char* Name;
    std::size_t Offset;
};

#define QUORVEL_OCI_NAME(name) SlotName{#name, offsetof(TOCIEntryPoints, name)},

const std::vector<SlotName> GroupOCI7{QUORVEL_OCI_GROUP_OCI7(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupOlog{QUORVEL_OCI_GROUP_OLOG(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupOpinit{QUORVEL_OCI_GROUP_OPINIT(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupOCI8{QUORVEL_OCI_GROUP_OCI8(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupExtProc{QUORVEL_OCI_GROUP_EXTPROC(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupOCI81{QUORVEL_OCI_GROUP_OCI81(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupNet9{QUORVEL_OCI_GROUP_NET9(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupOCI92{QUORVEL_OCI_GROUP_OCI92(QUORVEL_OCI_NAME)};
const std::vector<SlotName> GroupMTS{QUORVEL_OCI_GROUP_MTS(QUORVEL_OCI_NAME)};

#undef QUORVEL_OCI_NAME

void StoreSlot(std::size_t offset, void* address)
{
    // Every slot is a plain function pointer; the symbol address is stored bit for bit.
    static_assert(sizeof(void*) == sizeof(Torlon), "function and data pointers must have one size");
    std::memcpy(reinterpret_cast<unsigned char*>(&OCI) + offset, &address, sizeof address);
}

// Binds one group: while the group's flag holds, each name is looked up and stored; the first
// missing name clears the flag, and the names after it are not looked up (their slots null).
bool BindGroup(platform::ModuleHandle module, const std::vector<SlotName>& group, bool flag)
{
    for (const SlotName& slot : group) {
        void* address = nullptr;
        if (flag) {
            address = platform::ModuleSymbol(module, slot.Name);
            if (!address)
                flag = false;
        }
        StoreSlot(slot.Offset, address);
    }
    return flag;
}

void ClearCapabilities()
{
    HasOCI7 = HasOlog = HasOpinit = HasOCI8 = OCI8Allowed = false;
    HasExtProc = HasOCI81 = HasOCI9 = HasOCI92 = false;
}

void BindClient(platform::ModuleHandle module)
{
    HasOCI7 = BindGroup(module, GroupOCI7, true);
    HasOlog = BindGroup(module, GroupOlog, HasOCI7);
    HasOpinit = BindGroup(module, GroupOpinit, HasOlog);
    OCI8Allowed = !ForceOCI7;
    HasOCI8 = BindGroup(module, GroupOCI8, true);
    if (!HasOCI8)
        OCI8Allowed = false;
    HasExtProc = BindGroup(module, GroupExtProc, HasOCI8);
    HasOCI81 = BindGroup(module, GroupOCI81, HasOCI8);
    HasOCI9 = BindGroup(module, GroupNet9, HasOCI81);
    HasOCI92 = BindGroup(module, GroupOCI92, HasOCI9);
}

void ClearMTSSlots()
{
    OCI.OraMTSSvcGet = nullptr;
    OCI.OraMTSSvcRel = nullptr;
    OCI.OraMTSSvcEnlist = nullptr;
    OCI.OraMTSSvcEnlistEx = nullptr;
    OCI.OraMTSTransTest = nullptr;
}

// 0 loaded, 1 not found or not loadable, 2 not usable, 3 no home directory.
int LoadClient()
{
    auto& state = State();
    if (platform::IsModuleLoaded(state.Client))
        return 0;
    state.Trace.clear();
    int result = ChooseLibrary();
    if (result != 0)
        return result;
    const std::string dir = ExtractFileDir(OCIDLL);
    AddDirToPath(dir);
    platform::ModuleHandle module = platform::LoadModule(OCIDLL);
    if (!platform::IsModuleLoaded(module)) {
        if (platform::FileExists(OCIDLL)) {
            result = 2;
        } else {
            const std::string current = platform::GetCurrentDirectory();
            if (!dir.empty() && platform::SetCurrentDirectory(dir)) {
                state.HaveSavedDir = true;
                state.SavedDir = current;
                state.ChangedToDir = platform::GetCurrentDirectory();
            }
            AddDirToPath(dir);
            module = platform::LoadModule(OCIDLL);
        }
    }
    if (!platform::IsModuleLoaded(module)) {
        AddTrace("LoadLibrary(" + OCIDLL + ") returned " + std::to_string(module));
        return result == 0 ? 1 : result;
    }
    // The entry points are bound before the handle is published: a thread that sees the client
    // loaded through OCILoaded() finds the table and the capability flags filled.
    BindClient(module);
    state.Client = module;
    if (!HasOCI7 && !OCI8Allowed)
        return 2;
    return 0;
}

void InitialiseProcess()
{
    if (OCI.opinit && !OCI8Allowed)
        OCI.opinit(0);
    if (OCI8Allowed && !OCI.OCIEnvCreate && OCI.OCIInitialize)
        OCI.OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
}

std::string Quoted(const std::string& prefix, const std::string& path) { return prefix + " \"" + path + "\""; }

class LockGuard {
public:
    explicit LockGuard(TOracleCriticalSection& lock) : FLock(lock) { FLock.Enter(); }
    ~LockGuard() { FLock.Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    TOracleCriticalSection& FLock;
};

} // namespace

// ---------------------------------------------------------------------------------------------

std::string CommandLineValue(const std::string& name)
{
    const std::string wanted = Upper(name) + "=";
    for (const std::string& parameter : platform::ProgramParameters()) {
        const auto pos = Upper(parameter).find(wanted);
        if (pos == std::string::npos)
            continue;
        // The value follows the "=" of the match (for "OCIDLL=x" that is character
        // length(name) + 2); at most 255 characters.
        return parameter.substr(pos + wanted.size(), 255);
    }
    return {};
}

std::string ReadRegString(platform::RegistryRoot root, const std::string& key, const std::string& valueName)
{
    return platform::RegReadString(root, key, valueName);
}

std::string OracleHomeKey()
{
    auto& state = State();
    if (!state.HomeKey.empty())
        return state.HomeKey;
    using platform::HKEY_LOCAL_MACHINE;
    const std::vector<OracleHome> homes = OracleHomeList();
    std::string key;
    if (homes.empty()) {
        key = OracleKey;
    } else {
        std::string wanted = Upper(CommandLineValue("ORACLEHOME"));
        if (wanted.empty())
            wanted = OracleHomeName;
        const std::string path = Upper(platform::GetLibrarySearchPath());
        std::size_t best = path.size();
        const OracleHome* selected = nullptr;
        for (const OracleHome& home : homes) {
            if (!wanted.empty() && SameText(home.Name, wanted)) {
                selected = &home;
                break;
            }
            const std::string dir = ReadRegString(HKEY_LOCAL_MACHINE, HomeKeyOf(home), "ORACLE_HOME");
            if (dir.empty())
                continue;
            const auto found = path.find(Upper(JoinPath(dir, BinName())));
            // Positions count from 1: found at index i is position i + 1.
            if (found != std::string::npos && found + 1 < best) {
                selected = &home;
                best = found + 1;
            }
        }
        if (!selected)
            selected = &homes.back();
        key = HomeKeyOf(*selected);
        if (OracleHomeName.empty()) {
            OracleHomeName = selected->Name;
            state.HomeNameFilled = true;
        }
    }
    const std::string home = ReadRegString(HKEY_LOCAL_MACHINE, key, "ORACLE_HOME");
    if (home.empty() || !platform::DirectoryExists(home))
        key.clear();
    state.HomeKey = key;
    return key;
}

std::string OracleHomeDir()
{
    auto& state = State();
    state.UseBin = true;
    const std::string key = OracleHomeKey();
    std::string dir = key.empty() ? std::string() : ReadRegString(platform::HKEY_LOCAL_MACHINE, key, "ORACLE_HOME");
    if (dir.empty()) {
        state.HomeKey.clear();
        const std::string env = platform::GetEnvironmentVariable("ORACLE_HOME");
        if (!env.empty() && env != ".") {
            dir = env;
            state.UseBin = platform::DirectoryExists(JoinPath(env, BinName()));
        } else {
            std::string found;
            if (platform::FileExists(ClientFileName())) {
                found = ClientFileName();
            } else {
                for (const std::string& entry :
                     platform::SplitPathList(platform::GetLibrarySearchPath(), platform::NativeListSeparator)) {
                    if (entry.empty())
                        continue;
                    const std::string candidate = WithTrailingSeparator(entry) + ClientFileName();
                    if (platform::FileExists(candidate)) {
                        found = candidate;
                        break;
                    }
                }
            }
            const std::string foundDir = ExtractFileDir(found);
            const std::string binSuffix = Sep() + Upper(BinName());
            if (foundDir.size() >= binSuffix.size() + 1 && EndsWithText(foundDir, binSuffix)) {
                state.UseBin = true;
                dir = foundDir.substr(0, foundDir.size() - binSuffix.size());
            } else {
                state.UseBin = false;
                dir = foundDir;
            }
        }
    }
    state.HomeDir = dir;
    return dir;
}

bool OracleHomeUsesBin() { return State().UseBin; }

std::string OCIInitializationTrace() { return State().Trace; }

void AddDirToPath(const std::string& dir)
{
    if (!OCIAddToPath)
        return;
    auto& state = State();
    if (!state.HaveSavedPath) {
        state.SavedPath = platform::GetLibrarySearchPath();
        state.HaveSavedPath = true;
    }
    std::string s = state.SavedPath;
    if (!dir.empty()) {
        // The directory moves to the front: an entry naming it (compared in upper case) is
        // taken out first. Whole entries are compared, so a longer entry that merely ends with
        // the directory's text stays intact.
        std::vector<std::string> entries;
        if (!s.empty())
            entries = platform::SplitPathList(s, platform::NativeListSeparator);
        const std::string wanted = Upper(dir);
        const auto same = std::find_if(entries.begin(), entries.end(),
                                       [&](const std::string& e) { return Upper(e) == wanted; });
        if (same != entries.end())
            entries.erase(same);
        entries.insert(entries.begin(), dir);
        s = platform::JoinPathList(entries, platform::NativeListSeparator);
    }
    platform::SetLibrarySearchPath(s);
}

void RestoreCurrentDir()
{
    auto& state = State();
    if (state.HaveSavedDir && platform::GetCurrentDirectory() == state.ChangedToDir)
        platform::SetCurrentDirectory(state.SavedDir);
    state.HaveSavedDir = false;
    state.SavedDir.clear();
    state.ChangedToDir.clear();
}

bool OCILoaded() { return platform::IsModuleLoaded(State().Client); }

void EnsureOCILoaded()
{
    LockGuard guard(OCIGlobalLock());
    if (OCILoaded())
        return;
    const int result = LoadClient();
    if (result != 0) {
        std::string message;
        switch (result) {
        case 1:
            message = OCIDLL.empty() ? SCouldNotLocateOCI : Quoted(SCouldNotLoad, OCIDLL);
            break;
        case 2:
            message = Quoted(SCouldNotInitialize, OCIDLL);
            if (IsWow64())
                message += CRLF + SWow64Hint;
            break;
        default:
            message = SOracleNotInstalled;
            break;
        }
        const std::string trace = State().Trace;
        UnloadOCI();
        throw Exception("Initialization error" + std::string(CRLF) + message + CRLF + CRLF + trace);
    }
    InitialiseProcess();
}

void UnloadOCI()
{
    LockGuard guard(OCIGlobalLock());
    auto& state = State();
    if (platform::IsModuleLoaded(state.MTS))
        platform::FreeModule(state.MTS);
    if (platform::IsModuleLoaded(state.Client))
        platform::FreeModule(state.Client);
    state.MTS = platform::ModuleNotLoaded;
    state.Client = platform::ModuleNotLoaded;
    if (state.ChosenAutomatically)
        OCIDLL.clear();
    state.ChosenAutomatically = false;
    if (state.HomeNameFilled)
        OracleHomeName.clear();
    state.HomeNameFilled = false;
    state.HomeKey.clear();
    state.HomeDir.clear();
    state.OraMTSDLL.clear();
    state.NLSLangRead = false;
    state.NLSLangValue.clear();
    state.NLSLangUTF8 = false;
    state.UseBin = false;
    ClearCapabilities();
    HasMTS = false;
    OCI = TOCIEntryPoints{};
    for (const auto& handler : state.UnloadHandlers)
        handler();
}

void EnsureMTSLoaded()
{
    LockGuard guard(OCIGlobalLock());
    auto& state = State();
    if (platform::IsModuleLoaded(state.MTS))
        return;
    HasMTS = false;
    EnsureOCILoaded();
    if (state.OraMTSDLL.empty()) {
        const std::string dir = ExtractFileDir(OCIDLL);
        state.OraMTSDLL = JoinPath(dir, platform::NativeClientName("oramts10.dll"));
        if (!platform::FileExists(state.OraMTSDLL))
            state.OraMTSDLL = JoinPath(dir, platform::NativeClientName("oramts.dll"));
    }
    std::string message;
    platform::ModuleHandle module = 0;
    if (platform::FileExists(state.OraMTSDLL))
        module = platform::LoadModule(state.OraMTSDLL);
    if (!platform::IsModuleLoaded(module)) {
        message = Quoted(SCouldNotLocate, state.OraMTSDLL);
    } else if (!BindGroup(module, GroupMTS, true)) {
        message = Quoted(SCouldNotInitialize, state.OraMTSDLL);
        ClearMTSSlots();
        platform::FreeModule(module);
        state.OraMTSDLL.clear();
    } else {
        state.MTS = module;
        HasMTS = true;
        return;
    }
    throw Exception("Initialization error" + std::string(CRLF) + message);
}

std::string NLSLang()
{
    auto& state = State();
    if (!state.NLSLangRead) {
        std::string value = platform::GetEnvironmentVariable("NLS_LANG");
        if (value.empty()) {
            const std::string key = OracleHomeKey();
            if (!key.empty())
                value = ReadRegString(platform::HKEY_LOCAL_MACHINE, key, "NLS_LANG");
        }
        state.NLSLangValue = Upper(value);
        state.NLSLangUTF8 = state.NLSLangValue.find("UTF8") != std::string::npos;
        state.NLSLangRead = true;
    }
    return state.NLSLangValue;
}

bool NLSLangIsUTF8()
{
    NLSLang();
    return State().NLSLangUTF8;
}

bool IsWow64() { return platform::IsWow64(); }

void AddOCIUnloadHandler(std::function<void()> handler)
{
    LockGuard guard(OCIGlobalLock());
    State().UnloadHandlers.push_back(std::move(handler));
}

bool SessionUsesOCI8(const TSessionModeRequest& request)
{
    if (request.ExternalSVC)
        return true;
    return HasOCI8 && !ForceOCI7 && !request.UseOCI7Preference && !request.PersonalOracleLite && !request.ExternalLDA;
}

namespace {

void CheckSession(const TOracleSessionState* session, const std::string& feature, bool clientCapable,
                  const char* missingClient)
{
    if (!session)
        throw Exception(feature + " requires a session");
    if (!session->SessionConnected())
        throw Exception(feature + " requires a connected session");
    if (!session->SessionUsesOCI8Calls()) {
        if (clientCapable)
            throw Exception(feature + " requires OCI8 mode, but OCI7 mode is used.");
        throw Exception(feature + missingClient);
    }
}

} // namespace

void CheckOCI8(const TOracleSessionState* session, const std::string& feature)
{
    CheckSession(session, feature, HasOCI8, " requires Net8, which is not detected on this PC");
}

void CheckNet9(const TOracleSessionState* session, const std::string& feature)
{
    CheckSession(session, feature, HasOCI9, " requires Oracle Net 9, which is not detected on this PC");
}

void CheckAssignSource(const void* source, const std::string& feature)
{
    if (!source)
        throw Exception(feature + ": Cannot assign nil source");
}

// ---------------------------------------------------------------------------------------------

namespace testing_support {

void ResetLoaderForTesting()
{
    UnloadOCI();
    auto& state = State();
    RestoreCurrentDir();
    state.HaveSavedPath = false;
    state.SavedPath.clear();
    state.Trace.clear();
    state.UseBin = true;
    OCIDLL.clear();
    ExcludedOCIDLLs.clear();
    OCIAddToPath = true;
    OracleHomeName.clear();
    ForceOCI7 = false;
}

} // namespace testing_support

} // namespace quorvel
