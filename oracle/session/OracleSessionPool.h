#pragma once
// TOracleSessionPool: connections shared out to sessions whose Pooling is spInternal. Each entry
// of the pool owns a private pooled session with a live connection; a borrowing session shares
// that connection from its logon to its logoff. The pool logs its pooled sessions on itself
// (ptDefault) or takes them from the client's own session pool (ptOracle, OCI 9.2 clients).
// It limits the number of reserved connections (Max), waits for a free one, checks a connection
// for life before lending it again and drops idle entries after TimeOut seconds down to Min.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/DateTime.h"
#include "oracle/ci/OracleCI.h"

namespace quorvel {

class TOracleSession;
class TOracleSessionPool;

enum TSessionPoolType { ptDefault, ptOracle };

// One connection of a pool. Read its fields only while the pool is locked (Lock / Unlock).
class TOracleSessionPoolEntry {
public:
    explicit TOracleSessionPoolEntry(TOracleSessionPool* pool);
    ~TOracleSessionPoolEntry();
    TOracleSessionPool* Pool() const { return FPool; }
    // The private session holding the connection (owned by the entry), or none.
    TOracleSession* PooledSession() const { return FPooledSession.get(); }
    // The borrowing session, or none when the entry is free.
    TOracleSession* ReservingSession() const { return FReservingSession; }
    // When the entry was last given back.
    TDateTime ReleaseTime;

private:
    friend class TOracleSessionPool;
    TOracleSessionPool* FPool;
    std::unique_ptr<TOracleSession> FPooledSession;
    TOracleSession* FReservingSession = nullptr;
    void* FServiceContext = nullptr;   // ptOracle: taken from the client's pool
};

class TOracleSessionPool : public TComponent {
public:
    using TPoolEvent = std::function<void(TOracleSessionPool& sender)>;
    using TPoolSessionEvent = std::function<void(TOracleSessionPool& sender, TOracleSession& session)>;

    explicit TOracleSessionPool(TComponent* owner = nullptr);
    ~TOracleSessionPool() override;   // closes the pool; never raises

    // ---- settings, in their declared order ----
    int Max() const { return FMax; }           // most reserved connections; 0 or less: no limit
    void SetMax(int v) { FMax = v; }
    int Min() const { return FMin; }           // entries kept when idle ones are dropped
    void SetMin(int v) { FMin = v; }
    int TimeOut() const { return FTimeOut; }   // seconds an idle entry stays; 0 or less: no limit
    void SetTimeOut(int v) { FTimeOut = v; }
    TSessionPoolType PoolType() const { return FPoolType; }
    void SetPoolType(TSessionPoolType v) { FPoolType = v; }
    // Credentials of a homogeneous pool and of the client's pool (set them before the pool is
    // used from several threads).
    const std::string& LogonUsername() const { return FLogonUsername; }
    void SetLogonUsername(const std::string& v) { FLogonUsername = v; }
    const std::string& LogonPassword() const { return FLogonPassword; }
    void SetLogonPassword(const std::string& v) { FLogonPassword = v; }
    const std::string& LogonDatabase() const { return FLogonDatabase; }
    void SetLogonDatabase(const std::string& v) { FLogonDatabase = v; }
    std::string PoolName() const;   // the client pool's name, while open with ptOracle
    bool Homogeneous() const { return FHomogeneous; }   // borrowers log on with the pool's credentials
    void SetHomogeneous(bool v) { FHomogeneous = v; }
    bool StatementCache() const { return FStatementCache; }   // pooled connections cache statements
    void SetStatementCache(bool v) { FStatementCache = v; }
    TPoolEvent OnOpen;                     // after the pool opened
    TPoolEvent OnClose;                    // before it closes
    TPoolSessionEvent AfterReserve;        // by the borrowing session after every reservation
    TPoolSessionEvent AfterConnect;        // ... when the reservation opened a new connection
    TPoolSessionEvent BeforeRelease;       // ... before it gives the connection back

    // ---- run-time state ----
    int Count();   // entries
    bool Opened() const { return FOpened; }
    TSessionPoolType UsedPoolType() const { return FUsedPoolType; }   // as when the pool opened
    bool UsedHomogeneous() const { return FUsedHomogeneous; }
    bool UsedStatementCache() const { return FUsedStatementCache; }
    // Whether connections lent by this pool cache statements.
    bool CachesStatements() const { return FOpened.load() ? FUsedStatementCache.load() : FStatementCache.load(); }
    void* EnvHandle() const { return envhp; }
    void* ErrorHandle() const { return errhp; }
    void* ClientPoolHandle() const { return spoolhp; }
    void* AuthInfoHandle() const { return authinfop; }

    // The entry list lock: recursive for the calling thread; other operations take it themselves.
    void Lock();
    void Unlock();
    // Entry index (under Lock); "List index out of bounds (<index>)" otherwise.
    TOracleSessionPoolEntry& Entry(int index);
    // The borrowing session of entry index, or none when it is free.
    TOracleSession* GetSession(int index);
    // Drops free entries, from the last, while more than Min entries exist.
    void Compress();
    // With TimeOut > 0: drops free entries released more than TimeOut seconds ago, from the
    // last, while more than Min entries exist.
    void CompressOld();
    // Serialises reservations, the wait for a free entry included.
    TOracleCriticalSection& ReserveSection() { return FReserveSection; }

    // ---- called by the borrowing session ----
    // Lends a connection to session (its logon); true when a new connection was opened for it.
    bool Reserve(TOracleSession& session);
    // Takes back what session holds (its logoff); true when it held an entry.
    bool Release(TOracleSession& session);
    // Frees every entry and, when open, closes the pool (the client's pool with it). The next
    // reservation opens it again.
    void Close();

private:
    void Open();
    void CheckStatus(int status);
    void* TakeServiceContext(TOracleSession& session);
    void ReleaseServiceContext(void*& svc);
    void FreeEntry(std::unique_ptr<TOracleSessionPoolEntry> entry);
    void RemoveEntry(TOracleSessionPoolEntry* entry);
    bool ReserveEntry(TOracleSessionPoolEntry& entry, TOracleSession& session);
    int FreeCount();
    void FreeClientHandles();

    std::atomic<int> FMax{0}, FMin{0}, FTimeOut{0};
    std::atomic<TSessionPoolType> FPoolType{ptDefault};
    std::string FLogonUsername, FLogonPassword, FLogonDatabase;
    std::string FPoolName;
    std::atomic<bool> FHomogeneous{false}, FStatementCache{false};

    std::atomic<bool> FOpened{false};
    std::atomic<TSessionPoolType> FUsedPoolType{ptDefault};
    std::atomic<bool> FUsedHomogeneous{false}, FUsedStatementCache{false};
    void* envhp = nullptr;
    void* errhp = nullptr;
    void* spoolhp = nullptr;
    void* authinfop = nullptr;
    bool FOwnEnvironment = false;

    mutable std::recursive_mutex FListLock;
    int FLockCount = 0;   // held by the locking thread
    std::vector<std::unique_ptr<TOracleSessionPoolEntry>> FEntries;
    TOracleCriticalSection FReserveSection;
};

// The process-wide pool of sessions with spInternal and no Pool (all settings at their defaults).
TOracleSessionPool& DefaultSessionPool();
// Closes every pool of the process (program shutdown, before the client is unloaded).
void CloseSessionPools();

} // namespace quorvel
