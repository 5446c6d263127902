#include "oracle/session/OracleSessionPool.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/session/ConnectString.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

namespace {

// Every pool of the process, so program shutdown can close them before the client goes.
// Allocated once and never freed: it must outlive the shutdown that runs at program end.
struct PoolRegistry {
    std::recursive_mutex Lock;
    std::vector<TOracleSessionPool*> Pools;
};
PoolRegistry& Registry() {
    static PoolRegistry* registry = new PoolRegistry;
    return *registry;
}

// The entry list lock for a scope.
class ListGuard {
public:
    explicit ListGuard(TOracleSessionPool& pool) : FPool(pool) { FPool.Lock(); }
    ~ListGuard() { FPool.Unlock(); }
    ListGuard(const ListGuard&) = delete;
    ListGuard& operator=(const ListGuard&) = delete;

private:
    TOracleSessionPool& FPool;
};

class SectionGuard {
public:
    explicit SectionGuard(TOracleCriticalSection& section) : FSection(section) { FSection.Enter(); }
    ~SectionGuard() { FSection.Leave(); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

private:
    TOracleCriticalSection& FSection;
};

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

TConnectAsOption ConnectAsFromText(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return upper == "SYSDBA" ? caSYSDBA : upper == "SYSOPER" ? caSYSOPER : caNormal;
}

// Logon credentials with a whole connect string in the user name split into their parts, as
// a logon splits them.
struct Credentials {
    std::string User, Password, Database;
    bool HasConnectAs = false;
    TConnectAsOption ConnectAs = caNormal;
};

Credentials SplitCredentials(const std::string& user, const std::string& password, const std::string& database) {
    Credentials c{user, password, database};
    TConnectStringParts parts;
    if (ParseConnectString(user, parts)) {
        c.User = parts.User;
        c.Password = parts.Password;
        if (!parts.Database.empty()) c.Database = parts.Database;
        c.HasConnectAs = !parts.ConnectAs.empty();
        c.ConnectAs = ConnectAsFromText(parts.ConnectAs);
    }
    return c;
}

// A borrowing session's connect string in its user name is split the way its own logon would.
void SplitSessionLogon(TOracleSession& session) {
    TConnectStringParts parts;
    if (!ParseConnectString(session.LogonUsername(), parts)) return;
    session.SetLogonUsername(parts.User);
    session.SetLogonPassword(parts.Password);
    if (!parts.Database.empty()) session.SetLogonDatabase(parts.Database);
    session.SetConnectAs(ConnectAsFromText(parts.ConnectAs));
}

// Whether a free entry's connection can be lent to session: the same user and database (names
// ignoring case), and the same password and connect-as, so a borrower never gets a connection
// it could not have opened itself; and the same call interface, since a session that keeps to
// OCI7 calls cannot take an OCI8 service context.
bool Fits(const TOracleSession* pooled, const TOracleSession& session) {
    return pooled && SameText(pooled->LogonUsername(), session.LogonUsername()) &&
           SameText(pooled->LogonDatabase(), session.LogonDatabase()) &&
           pooled->LogonPassword() == session.LogonPassword() && pooled->ConnectAs() == session.ConnectAs() &&
           pooled->Preferences().UseOCI7() == session.Preferences().UseOCI7();
}

std::string IndexError(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }

} // namespace

// ---- entries ----

TOracleSessionPoolEntry::TOracleSessionPoolEntry(TOracleSessionPool* pool) : FPool(pool) {}

TOracleSessionPoolEntry::~TOracleSessionPoolEntry() = default;

// ---- the pool ----

TOracleSessionPool::TOracleSessionPool(TComponent* owner) : TComponent(owner) {
    PoolRegistry& registry = Registry();
    std::lock_guard<std::recursive_mutex> guard(registry.Lock);
    registry.Pools.push_back(this);
}

TOracleSessionPool::~TOracleSessionPool() {
    {
        PoolRegistry& registry = Registry();
        std::lock_guard<std::recursive_mutex> guard(registry.Lock);
        registry.Pools.erase(std::remove(registry.Pools.begin(), registry.Pools.end(), this), registry.Pools.end());
    }
    try {
        Close();
    } catch (...) {
        // Destruction never raises.
    }
    ForgetSessionPool(this);
}

std::string TOracleSessionPool::PoolName() const {
    std::lock_guard<std::recursive_mutex> guard(FListLock);
    return FPoolName;
}

void TOracleSessionPool::Lock() {
    FListLock.lock();
    ++FLockCount;
}

void TOracleSessionPool::Unlock() {
    // Only a thread that holds the lock can hold it: a surplus Unlock is a caller's fault that
    // would otherwise corrupt the lock.
    if (FListLock.try_lock()) {
        const bool held = FLockCount > 0;
        FListLock.unlock();
        if (!held) return;
        --FLockCount;
        FListLock.unlock();
    }
}

int TOracleSessionPool::Count() {
    ListGuard guard(*this);
    return int(FEntries.size());
}

TOracleSessionPoolEntry& TOracleSessionPool::Entry(int index) {
    ListGuard guard(*this);
    if (index < 0 || index >= int(FEntries.size())) throw Exception(IndexError(index));
    return *FEntries[std::size_t(index)];
}

TOracleSession* TOracleSessionPool::GetSession(int index) {
    ListGuard guard(*this);
    if (index < 0 || index >= int(FEntries.size())) throw Exception(IndexError(index));
    return FEntries[std::size_t(index)]->FReservingSession;
}

int TOracleSessionPool::FreeCount() {
    ListGuard guard(*this);
    int free = 0;
    for (const auto& entry : FEntries)
        if (!entry->FReservingSession) ++free;
    return FMax - int(FEntries.size()) + free;
}

// ---- client statuses ----

void TOracleSessionPool::CheckStatus(int status) {
    if (status == OCI_INVALID_HANDLE) throw Exception("TOracleSessionPool: Invalid handle");
    if (status == OCI_ERROR) RaiseOracleError(nullptr, TOracleErrorSource::FromHandle(errhp), this);
}

void TOracleSessionPool::FreeClientHandles() {
    if (OCILoaded() && OCI.OCIHandleFree) {
        if (spoolhp) OCI.OCIHandleFree(spoolhp, OCI_HTYPE_SPOOL);
        if (authinfop) OCI.OCIHandleFree(authinfop, OCI_HTYPE_AUTHINFO);
        if (errhp) OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
        if (envhp && FOwnEnvironment) OCI.OCIHandleFree(envhp, OCI_HTYPE_ENV);
    }
    spoolhp = authinfop = errhp = envhp = nullptr;
    FOwnEnvironment = false;
}

// ---- opening and closing ----

void TOracleSessionPool::Open() {
    ListGuard guard(*this);
    if (FOpened) return;
    FUsedPoolType = FPoolType.load();
    FUsedHomogeneous = FHomogeneous.load();
    FUsedStatementCache = FStatementCache.load();
    if (FUsedPoolType == ptOracle) {
        EnsureOCILoaded();
        if (HasOCI92 && OCI.OCISessionPoolCreate) {
            try {
                if (ShareOCIEnvironment) {
                    envhp = SharedOCIEnvironment();
                    FOwnEnvironment = false;
                } else {
                    OCIEnv* env = nullptr;
                    OCI.OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
                    envhp = env;
                    FOwnEnvironment = env != nullptr;
                }
                if (!envhp) throw Exception("Could not create the Oracle client environment");
                OCI.OCIHandleAlloc(envhp, &errhp, OCI_HTYPE_ERROR, 0, nullptr);
                OCI.OCIHandleAlloc(envhp, &spoolhp, OCI_HTYPE_SPOOL, 0, nullptr);
                OCI.OCIHandleAlloc(envhp, &authinfop, OCI_HTYPE_AUTHINFO, 0, nullptr);
                Credentials c = SplitCredentials(FLogonUsername, FLogonPassword, FLogonDatabase);
                ub4 mode = 0;
                if (FUsedHomogeneous) mode |= OCI_SPC_HOMOGENEOUS;
                if (FUsedStatementCache) mode |= OCI_SPC_STMTCACHE;
                OraText* name = nullptr;
                ub4 nameLength = 0;
                CheckStatus(OCI.OCISessionPoolCreate(
                    static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp), static_cast<OCISPool*>(spoolhp), &name,
                    &nameLength, reinterpret_cast<const OraText*>(c.Database.c_str()), ub4(c.Database.size()), 0,
                    2147483647, 1, reinterpret_cast<OraText*>(c.User.data()), ub4(c.User.size()),
                    reinterpret_cast<OraText*>(c.Password.data()), ub4(c.Password.size()), mode));
                FPoolName = name ? std::string(reinterpret_cast<const char*>(name), nameLength) : std::string();
            } catch (...) {
                // Not opened: nothing of it is kept, the next reservation tries again.
                FreeClientHandles();
                throw;
            }
        } else {
            // Without the client's session pools the pool logs its sessions on itself.
            FUsedPoolType = ptDefault;
        }
    }
    FOpened = true;
    try {
        if (OnOpen) OnOpen(*this);
    } catch (...) {
    }
}

void TOracleSessionPool::Close() {
    ListGuard guard(*this);
    while (!FEntries.empty()) {
        std::unique_ptr<TOracleSessionPoolEntry> entry = std::move(FEntries.back());
        FEntries.pop_back();
        FreeEntry(std::move(entry));
    }
    if (!FOpened) return;
    try {
        if (OnClose) OnClose(*this);
    } catch (...) {
    }
    int status = OCI_SUCCESS;
    if (FUsedPoolType == ptOracle && spoolhp && OCILoaded() && OCI.OCISessionPoolDestroy)
        status = OCI.OCISessionPoolDestroy(static_cast<OCISPool*>(spoolhp), static_cast<OCIError*>(errhp), OCI_SPD_FORCE);
    // The error is read before the handles go; the pool is closed either way.
    std::exception_ptr failure;
    try {
        CheckStatus(status);
    } catch (...) {
        failure = std::current_exception();
    }
    FreeClientHandles();
    FPoolName.clear();
    FOpened = false;
    if (failure) std::rethrow_exception(failure);
}

// ---- entries ----

void* TOracleSessionPool::TakeServiceContext(TOracleSession& session) {
    std::string user = session.LogonUsername(), password = session.LogonPassword();
    auto* err = static_cast<OCIError*>(errhp);
    CheckStatus(OCI.OCIAttrSet(authinfop, OCI_HTYPE_AUTHINFO, user.data(), ub4(user.size()), OCI_ATTR_USERNAME, err));
    CheckStatus(
        OCI.OCIAttrSet(authinfop, OCI_HTYPE_AUTHINFO, password.data(), ub4(password.size()), OCI_ATTR_PASSWORD, err));
    OCISvcCtx* svc = nullptr;
    OraText* tag = nullptr;
    ub4 tagLength = 0;
    boolean found = 0;
    std::string name = FPoolName;
    CheckStatus(OCI.OCISessionGet(static_cast<OCIEnv*>(envhp), err, &svc, static_cast<OCIAuthInfo*>(authinfop),
                                  reinterpret_cast<OraText*>(name.data()), ub4(name.size()), nullptr, 0, &tag,
                                  &tagLength, &found, OCI_SESSGET_SPOOL));
    return svc;
}

void TOracleSessionPool::ReleaseServiceContext(void*& svc) {
    void* context = svc;
    svc = nullptr;
    if (context && OCILoaded() && OCI.OCISessionRelease)
        OCI.OCISessionRelease(static_cast<OCISvcCtx*>(context), static_cast<OCIError*>(errhp), nullptr, 0,
                              OCI_SESSRLS_DROPSESS);
}

// The entry is already out of the list, so whatever its borrower's logoff does to the list
// cannot touch it.
void TOracleSessionPool::FreeEntry(std::unique_ptr<TOracleSessionPoolEntry> entry) {
    if (TOracleSession* borrower = entry->FReservingSession) {
        entry->FReservingSession = nullptr;
        entry->ReleaseTime = Now();
        try {
            borrower->LogOff();
        } catch (...) {
        }
    }
    if (entry->FPooledSession) {
        try {
            entry->FPooledSession->LogOff();
        } catch (...) {
        }
        try {
            entry->FPooledSession.reset();
        } catch (...) {
        }
    }
    ReleaseServiceContext(entry->FServiceContext);
}

void TOracleSessionPool::RemoveEntry(TOracleSessionPoolEntry* entry) {
    auto it = std::find_if(FEntries.begin(), FEntries.end(), [entry](const auto& e) { return e.get() == entry; });
    if (it == FEntries.end()) return;
    std::unique_ptr<TOracleSessionPoolEntry> owned = std::move(*it);
    FEntries.erase(it);
    FreeEntry(std::move(owned));
}

void TOracleSessionPool::Compress() {
    ListGuard guard(*this);
    while (int(FEntries.size()) > FMin) {
        auto it = std::find_if(FEntries.rbegin(), FEntries.rend(), [](const auto& e) { return !e->FReservingSession; });
        if (it == FEntries.rend()) break;
        RemoveEntry(it->get());
    }
}

void TOracleSessionPool::CompressOld() {
    const int timeOut = FTimeOut;
    if (timeOut <= 0) return;
    ListGuard guard(*this);
    const double now = Now().Value;
    auto old = [&](const auto& e) { return !e->FReservingSession && (now - e->ReleaseTime.Value) * 86400.0 > timeOut; };
    while (int(FEntries.size()) > FMin) {
        auto it = std::find_if(FEntries.rbegin(), FEntries.rend(), old);
        if (it == FEntries.rend()) break;
        RemoveEntry(it->get());
    }
}

bool TOracleSessionPool::ReserveEntry(TOracleSessionPoolEntry& entry, TOracleSession& session) {
    if (entry.FReservingSession) throw Exception("Pool entry already reserved");
    bool opened = false;
    if (entry.FPooledSession && entry.FPooledSession->CheckConnection(false) == ccError) {
        // A lost connection (killed on the server, network gone): replaced by a new one.
        ReleaseServiceContext(entry.FServiceContext);
        try {
            entry.FPooledSession.reset();
        } catch (...) {
        }
    }
    if (!entry.FPooledSession) {
        auto pooled = std::make_unique<TOracleSession>();
        pooled->FOwnerPool = this;
        pooled->SetLogonUsername(session.LogonUsername());
        pooled->SetLogonPassword(session.LogonPassword());
        pooled->SetLogonDatabase(session.LogonDatabase());
        pooled->SetConnectAs(session.ConnectAs());
        pooled->Cursor = session.Cursor;
        pooled->SetBytesPerCharacter(session.BytesPerCharacter());
        pooled->SetIsolationLevel(session.IsolationLevel());
        pooled->SetOptimizerGoal(session.OptimizerGoal());
        pooled->Preferences().Assign(session.Preferences());
        pooled->SetSQLTrace(session.SQLTrace());
        pooled->SetThreadSafe(session.ThreadSafe());
        if (FUsedPoolType == ptOracle) {
            entry.FServiceContext = TakeServiceContext(session);
            try {
                pooled->SetExternalSVC(entry.FServiceContext);
            } catch (...) {
                pooled.reset();
                ReleaseServiceContext(entry.FServiceContext);
                throw;
            }
        } else {
            pooled->LogOn();
        }
        entry.FPooledSession = std::move(pooled);
        opened = true;
    }
    try {
        entry.FPooledSession->Share(session);
    } catch (...) {
        // A borrower whose shared logon failed must not keep the connection it was offered.
        if (!session.Connected()) {
            session.FExternalSVC = nullptr;
            session.FExternalLDA = nullptr;
        }
        throw;
    }
    entry.FReservingSession = &session;
    return opened;
}

bool TOracleSessionPool::Reserve(TOracleSession& session) {
    bool opened = false;
    {
        SectionGuard reserving(FReserveSection);
        SplitSessionLogon(session);
        if (FPoolType == ptOracle && !FHomogeneous && !FOpened && FLogonDatabase.empty())
            FLogonDatabase = session.LogonDatabase();
        Open();
        // Reservations wait here one after the other; releases take only the list lock, so
        // they can still free an entry. The limit counts reserved entries: lowering Max below
        // them makes later borrowers wait until enough are given back.
        while (FMax > 0 && FreeCount() <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (FUsedHomogeneous) {
            const Credentials c = SplitCredentials(FLogonUsername, FLogonPassword, FLogonDatabase);
            session.SetLogonUsername(c.User);
            session.SetLogonPassword(c.Password);
            session.SetLogonDatabase(c.Database);
            if (c.HasConnectAs) session.SetConnectAs(c.ConnectAs);
        }
        ListGuard guard(*this);
        TOracleSessionPoolEntry* entry = nullptr;
        for (const auto& e : FEntries) {
            if (!e->FReservingSession && Fits(e->PooledSession(), session)) {
                entry = e.get();
                break;
            }
        }
        if (!entry) {
            // No free connection fits: at the limit, the last free one (of other credentials)
            // makes room, so the pool never holds more than Max connections.
            if (FMax > 0 && int(FEntries.size()) >= FMax) {
                auto it = std::find_if(FEntries.rbegin(), FEntries.rend(),
                                       [](const auto& e) { return !e->FReservingSession; });
                if (it != FEntries.rend()) RemoveEntry(it->get());
            }
            FEntries.push_back(std::make_unique<TOracleSessionPoolEntry>(this));
            entry = FEntries.back().get();
        }
        try {
            opened = ReserveEntry(*entry, session);
        } catch (...) {
            auto it = std::find_if(FEntries.begin(), FEntries.end(), [entry](const auto& e) { return e.get() == entry; });
            // An entry lent to another session stays with it.
            if (it != FEntries.end() && !entry->FReservingSession) {
                std::unique_ptr<TOracleSessionPoolEntry> owned = std::move(*it);
                FEntries.erase(it);
                FreeEntry(std::move(owned));
            }
            throw;
        }
    }
    CompressOld();
    return opened;
}

bool TOracleSessionPool::Release(TOracleSession& session) {
    ListGuard guard(*this);
    bool held = false;
    for (;;) {
        // From the last; found again each round, since a logoff may change the list.
        auto it = std::find_if(FEntries.rbegin(), FEntries.rend(),
                               [&session](const auto& e) { return e->FReservingSession == &session; });
        if (it == FEntries.rend()) break;
        TOracleSessionPoolEntry* entry = it->get();
        held = true;
        entry->FReservingSession = nullptr;
        try {
            session.LogOff();
        } catch (...) {
            entry->ReleaseTime = Now();
            throw;
        }
        entry->ReleaseTime = Now();
        const int min = FMin;
        if (FTimeOut <= 0 && 0 < min && min < int(FEntries.size())) RemoveEntry(entry);
    }
    CompressOld();
    return held;
}

// ---- process-wide ----

TOracleSessionPool& DefaultSessionPool() {
    // Never freed: sessions may give their connections back to it until the very end; program
    // shutdown closes it.
    static TOracleSessionPool* pool = new TOracleSessionPool();
    return *pool;
}

void CloseSessionPools() {
    PoolRegistry& registry = Registry();
    std::lock_guard<std::recursive_mutex> guard(registry.Lock);
    const std::vector<TOracleSessionPool*> pools = registry.Pools;
    for (auto it = pools.rbegin(); it != pools.rend(); ++it) {
        try {
            (*it)->Close();
        } catch (...) {
        }
    }
}

} // namespace quorvel
