#pragma once
// The client library binding: finding the installed Oracle client, loading it once per
// process, binding its entry points in groups, deciding what it can do, and the checks with
// which features that need the handle interface (OCI8) refuse to run.
//
// The search is described in the client's own terms (oci.dll in a home's bin directory found
// through PATH); the names it looks for come from the naming table in platform/ClientFiles.h,
// so here it looks for libclntsh.so in a home's lib directory found through LD_LIBRARY_PATH.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "oracle/ci/OCIEntryPoints.h"
#include "platform/Registry.h"

namespace quorvel {

// A recursive lock with one count of outstanding entries for the whole object. A Leave
// without a matching Enter (no entries, or called by a thread that holds none) does nothing.
class TOracleCriticalSection {
public:
    TOracleCriticalSection() = default;
    ~TOracleCriticalSection() = default;
    TOracleCriticalSection(const TOracleCriticalSection&) = delete;
    TOracleCriticalSection& operator=(const TOracleCriticalSection&) = delete;

    void Enter();
    void Leave();
    int32_t Entered() const noexcept { return FEntered.load(); }

private:
    std::recursive_mutex FSection;
    std::atomic<int32_t> FEntered{0};
    std::atomic<std::thread::id> FOwner{};
};

// The process-wide lock around loading, binding and the creation of the shared environment.
TOracleCriticalSection& OCIGlobalLock();

// Library-wide settings.
extern std::string OCIDLL;            // full path of the client library; non-empty forces it
extern std::string ExcludedOCIDLLs;   // "\"ORA73.SO\"\"ORA805.SO\"": skipped by the first pass
extern bool OCIAddToPath;             // put the client's directory in front of the library path
extern std::string OracleHomeName;    // preferred Oracle home
extern bool ForceOCI7;                // never use OCI8 calls

// The six messages of a failed load.
extern std::string SOracleNotInstalled;     // "Oracle Client not properly installed"
extern std::string SCouldNotLoad;           // "Could not load" + " \"path\""
extern std::string SCouldNotLocateOCI;      // "Could not locate OCI dll"
extern std::string SCouldNotLocate;         // "Could not locate" + " \"path\""
extern std::string SCouldNotInitialize;     // "Could not initialize" + " \"path\""
extern std::string SWow64Hint;              // "Make sure you have the 32 bits Oracle Client installed."

// What the loaded client can do; all false until a load succeeds.
extern bool HasOCI7;
extern bool HasOlog;
extern bool HasOpinit;
extern bool HasOCI8;
extern bool OCI8Allowed;
extern bool HasExtProc;
extern bool HasOCI81;
extern bool HasOCI9;
extern bool HasOCI92;
extern bool HasMTS;

// Loads, binds and initialises the client when it is not loaded yet; raises Exception
// ("Initialization error", the reason and the search trace) on failure.
void EnsureOCILoaded();
bool OCILoaded();
// Frees the support library and the client and resets the loader state.
void UnloadOCI();
// Loads and binds the transaction-server support library; raises Exception on failure.
void EnsureMTSLoaded();

// The selected Oracle home: its registry key under HKEY_LOCAL_MACHINE and its directory.
std::string OracleHomeKey();
std::string OracleHomeDir();
// Whether the client is looked for in the home's library subdirectory (see OracleHomeDir).
bool OracleHomeUsesBin();

// The trace of the last load attempt (lines joined by CR LF).
std::string OCIInitializationTrace();

// The value of a program parameter written as name=value; empty when there is none.
std::string CommandLineValue(const std::string& name);
// A string value from the registry, or empty.
std::string ReadRegString(platform::RegistryRoot root, const std::string& key, const std::string& valueName);

// NLS_LANG (upper case) from the environment or the selected home, read once per load.
std::string NLSLang();
bool NLSLangIsUTF8();

bool IsWow64();

// Undoes the change of working directory made by a retried load.
void RestoreCurrentDir();
// Puts dir in front of the saved initial library search path (when OCIAddToPath).
void AddDirToPath(const std::string& dir);

// Called by UnloadOCI after the loader's own state is reset, so caches that depend on the
// loaded client (net service names, default domain) are emptied with it.
void AddOCIUnloadHandler(std::function<void()> handler);

// The mode of a session: whether a logon uses OCI8 calls.
struct TSessionModeRequest {
    bool UseOCI7Preference = false;  // the session's Preferences.UseOCI7
    bool PersonalOracleLite = false;
    bool ExternalLDA = false;        // an external OCI7 logon data area is given
    bool ExternalSVC = false;        // an external OCI8 service context is given
};
bool SessionUsesOCI8(const TSessionModeRequest& request);

// What the feature guards need to know about a session.
class TOracleSessionState {
public:
    virtual ~TOracleSessionState() = default;
    virtual bool SessionConnected() const = 0;
    virtual bool SessionUsesOCI8Calls() const = 0;
};

// Raise Exception unless the session can run a feature needing OCI8 (Net8) or Oracle Net 9.
// feature is the display name that starts the message, e.g. "A TLOBLocator instance".
void CheckOCI8(const TOracleSessionState* session, const std::string& feature);
void CheckNet9(const TOracleSessionState* session, const std::string& feature);
// Raise Exception feature + ": Cannot assign nil source" when source is null.
void CheckAssignSource(const void* source, const std::string& feature);

} // namespace quorvel
