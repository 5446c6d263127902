#pragma once
// TOracleSession: the component that owns one database connection. Statements, scripts,
// packages and data sets name a session and run on its connection; the session reports every
// change of its connection state through OnChange.
//
// The session drives its connection either through the OCI8 handle interface or through the
// older OCI7 logon data area, logs on and off in a fixed order of client calls and keeps the
// components attached to it in thread-safe lists, so it can close them at logoff and detach
// them when it is destroyed.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/DateTime.h"
#include "base/Set.h"
#include "oracle/ci/OCI7.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/session/OracleError.h"
#include "oracle/session/SessionPreferences.h"

namespace quorvel {

enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };
enum TCheckConnectionResult { ccOK, ccError, ccReconnected };
enum TSessionPoolingOption { spNone, spInternal, spMTS };
enum TMTSOption { moImplicit, moUniqueServer };
enum TNullValueOption { nvUnAssigned, nvNull };
enum TSQLTraceOption { stUnchanged, stTrue, stFalse };
enum TOptimizerGoalOption { ogUnchanged, ogChoose, ogFirstRows, ogAllRows, ogRule };
enum TIsolationLevelOption { ilUnchanged, ilReadCommitted, ilSerializable };
enum TBytesPerCharacterOption { bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes };
enum TInTransaction { itUnknown, itTrue, itFalse };
enum TTransactionMode { tmReadOnly, tmReadWrite, tmReadCommitted, tmSerializable };
enum TApplyAction { aaInsert, aaUpdate, aaDelete };

class TOracleSessionPool;
class TOracleQuery;
class TOracleSession;
class TDBMS_Alert;
class TDBMS_Application_Info;
class TDBMS_Job;
class TDBMS_Output;
class TDBMS_Pipe;
class TUTL_File;

// Answer InTransaction from the session's cache while it is known (default true).
extern bool CacheInTransaction;

// What a data set with cached updates offers its session, so the session can apply, accept
// or discard the changes of several data sets as one unit of work.
class TSessionDataSet {
public:
    virtual ~TSessionDataSet();
    virtual TOracleSession* DataSetSession() const = 0;
    // Its detail data sets, in order.
    virtual std::vector<TSessionDataSet*> DetailDataSets() const = 0;
    // Posts its cached changes of the given kinds.
    virtual void ApplyUpdates(TSet<TApplyAction> actions) = 0;
    // Accepts the posted changes as stored.
    virtual void CommitUpdates() = 0;
    // Discards the cached changes.
    virtual void CancelUpdates() = 0;
};

// The hooks an external session monitor installs; none by default, and then nothing is
// computed for it. monId is the session's MonID.
class TSessionMonitor {
public:
    virtual ~TSessionMonitor();
    virtual void SessionCreated(int monId, const std::string& name) = 0;
    virtual void SessionDestroyed(int monId) = 0;
    // parameters: alternating keys and values (MonitorParameters).
    virtual void ActivityStart(int monId, const std::string& activity, const std::vector<std::string>& parameters) = 0;
    // elapsedMs since the matching start; errorText is empty on success.
    virtual void ActivityEnd(int monId, int64_t elapsedMs, const std::string& errorText) = 0;
    virtual void Message(int monId, const std::string& text) = 0;
};
extern TSessionMonitor* SessionMonitor;
// Switches reporting to the monitor off without uninstalling it (default on).
extern bool SessionMonitorEnabled;

// A component attached to a session (statement, data set, package, ...). The session calls
// these while it logs on and off and when it is destroyed.
class TOracleSessionClient {
public:
    virtual ~TOracleSessionClient();
    // Logoff: close what runs on the connection (statements, data sets that are not detachable).
    virtual void SessionClose() {}
    // Logon: re-declare the character sets of string variables.
    virtual void SessionLoggedOn() {}
    // After logoff: refresh a detached view.
    virtual void SessionLoggedOff() {}
    // The session is being destroyed: forget it (the client's session becomes none).
    virtual void SessionDetach() = 0;
};

// A thread-safe list of attached components.
class TOracleAttachmentList {
public:
    void Add(TOracleSessionClient* client);
    void Remove(TOracleSessionClient* client);
    bool Contains(TOracleSessionClient* client) const;
    int Count() const;
    // A copy taken under the lock, so callbacks may attach and detach while it is walked.
    std::vector<TOracleSessionClient*> Snapshot() const;

private:
    mutable std::mutex FLock;
    std::vector<TOracleSessionClient*> FItems;
};

class TOracleSession : public TComponent, public TOracleSessionState {
public:
    using TNotifyEvent = std::function<void(TOracleSession& sender)>;

    explicit TOracleSession(TComponent* owner = nullptr);
    ~TOracleSession() override;

    // ---- settings, in their declared order ----
    TNotifyEvent OnChange;      // after every logon attempt and every logoff of a connected session
    TNotifyEvent BeforeLogOn;   // before a logon starts
    TNotifyEvent AfterLogOn;    // after every logon attempt, failed ones included
    int Cursor = -11;           // screen cursor while the session works; 0 leaves it alone
    bool DesignConnection = false;

    const std::string& LogonUsername() const { return FLogonUsername; }
    void SetLogonUsername(const std::string& v);
    const std::string& LogonPassword() const { return FLogonPassword; }
    void SetLogonPassword(const std::string& v);
    const std::string& LogonDatabase() const { return FLogonDatabase; }
    void SetLogonDatabase(const std::string& v);
    TConnectAsOption ConnectAs() const { return FConnectAs; }
    void SetConnectAs(TConnectAsOption v) { FConnectAs = v; }
    bool ThreadSafe() const { return FThreadSafe; }
    void SetThreadSafe(bool v);   // "Cannot change ThreadSafe property when connected"
    TSessionPreferences& Preferences() { return FPreferences; }
    const TSessionPreferences& Preferences() const { return FPreferences; }
    TSessionPoolingOption Pooling() const { return FPooling; }
    void SetPooling(TSessionPoolingOption v);
    TOracleSessionPool* Pool() const { return FPool; }
    void SetPool(TOracleSessionPool* v);   // a pool sets Pooling to spInternal
    unsigned MTSOptions() const { return FMTSOptions; }   // bits 1 << TMTSOption
    void SetMTSOptions(unsigned v);
    bool RollbackOnDisconnect = false;
    TNullValueOption NullValue = nvUnAssigned;
    // These three are sent to a connected session as "alter session" statements and stored once
    // the statement succeeded; a disconnected session stores them for its next logon.
    TSQLTraceOption SQLTrace() const { return FSQLTrace; }
    void SetSQLTrace(TSQLTraceOption v);
    TOptimizerGoalOption OptimizerGoal() const { return FOptimizerGoal; }
    void SetOptimizerGoal(TOptimizerGoalOption v);
    TIsolationLevelOption IsolationLevel() const { return FIsolationLevel; }
    void SetIsolationLevel(TIsolationLevelOption v);
    TBytesPerCharacterOption BytesPerCharacter() const { return FBytesPerCharacter; }
    void SetBytesPerCharacter(TBytesPerCharacterOption v);   // a change empties the character-set caches
    std::string MessageTable;   // table of constraint messages used by data sets
    bool Shared() const { return FExternalLDA != nullptr || FExternalSVC != nullptr; }
    bool StatementCache() const { return FStatementCache; }
    void SetStatementCache(bool v);
    int StatementCacheSize() const { return FStatementCacheSize; }
    void SetStatementCacheSize(int v);
    bool Connected() const { return FConnected; }
    void SetConnected(bool v);   // true logs on, false logs off

    // ---- run-time properties ----
    // The logon data area in use; refused unless connected through OCI7 calls.
    Lda_Def* ExternalLDA();
    void SetExternalLDA(Lda_Def* lda);        // logs on as a shared session (null logs off)
    // The handles of a session connected through OCI8 calls; refused otherwise.
    void* ExternalSVC() const;
    void SetExternalSVC(void* svc);           // logs on as a shared session (null logs off)
    void* ExternalENV() const;
    void* ExternalSRV() const;
    void* ExternalAUT() const;
    const std::string& ExpirationMessage() const { return FExpirationMessage; }
    bool AutoCommit() const { return FAutoCommit; }
    // Stored; a session connected through OCI7 calls switches the client's auto-commit too
    // (statements of an OCI8 session commit by themselves).
    void SetAutoCommit(bool v);
    bool MTSEnlisted() const { return FMTSEnlisted; }
    void* MTSTransaction() const { return FMTSTransaction; }
    std::string LastSQL;
    // The server package wrappers, each created on first use and freed with the session. They
    // are built in oracle/dbms (OracleDBMS.h): a program that uses them links Quorvel::dbms.
    TDBMS_Alert& DBMS_Alert();
    TDBMS_Application_Info& DBMS_Application_Info();
    TDBMS_Job& DBMS_Job();
    TDBMS_Output& DBMS_Output();
    TDBMS_Pipe& DBMS_Pipe();
    TUTL_File& UTL_File();
    // Applied when set on a connected session (committing first) and at every logon.
    const std::string& Edition() const { return FEdition; }
    void SetEdition(const std::string& v);
    const std::string& Workspace() const { return FWorkspace; }
    void SetWorkspace(const std::string& v);

    // ---- the session's own SQL ----
    // The private statement "Query", created on first use and attached to this session.
    TOracleQuery& Query();
    // The first line of the server's version banner ("Oracle Database 10g Enterprise Edition
    // Release 10.2.0.1.0 "), empty when it cannot be read.
    std::string ServerVersion();
    // The audit session id of the connection, read once per logon; empty when disconnected.
    std::string AUDSID();
    // Probes the connection with "select 'x' from dual"; a lost connection is logged off and,
    // with reconnect, logged on again.
    TCheckConnectionResult CheckConnection(bool reconnect);
    // Cancels the call running on this connection; called from another thread.
    void BreakExecution();
    // Shares this connection with another session (its logon settings are copied).
    void Share(TOracleSession& toSession);
    // Code running as an external procedure inside the server: use the server's connection.
    void ExtProcShare(void* context);
    // Raises errorNumber with errorMessage to the server's caller of the external procedure.
    void ExtProcRaise(int errorNumber, const std::string& errorMessage);
    // Flushes the client's object cache (OCI8 mode only; nothing otherwise).
    void FlushObjects();
    // Date and number instances for object-type work (session duration).
    OCIDate* OCIDateCreate();
    void OCIDateFree(OCIDate* date);
    OCINumber* OCINumberCreate();
    void OCINumberFree(OCINumber* number);
    double OCINumberToFloat(const OCINumber* number);
    void OCINumberFromFloat(OCINumber* number, double value);
    int32_t OCINumberToInt(const OCINumber* number);
    void OCINumberFromInt(OCINumber* number, int32_t value);
    static TDateTime OCIDateToDateTime(const OCIDate& date);
    static OCIDate OCIDateFromDateTime(TDateTime value);

    // ---- monitor link ----
    // 0 unless a monitor is installed; then a process-wide number taken once per session.
    int MonID();
    // "Username", user, "Password", ..., "Database", "ConnectAs", "AUDSID", "OCIDLL".
    std::vector<std::string> MonitorParameters();
    void MonitorMessage(const std::string& msg);
    // Announces the session's creation (creation true) or destruction to the monitor, once each.
    void SendToMonitor(bool creation);

    // ---- connection ----
    void LogOn();    // connects; on a connected session reconnects
    void LogOff();   // disconnects; when not connected only frees leftover handles
    // Changes the user's password on the server, also when not logged on (an expired password:
    // the server is attached when it is not yet); on success LogonPassword becomes newPassword.
    void SetPassword(const std::string& newPassword);
    // Enter / leave the session lock when ThreadSafe is set; with oci7Only true, only in OCI7 mode.
    void Acquire(bool oci7Only);
    void Release(bool oci7Only);
    TOracleCriticalSection& CriticalSection() { return FCriticalSection; }

    // ---- transactions ----
    // When connected: commit / roll back the open transaction (nothing when disconnected).
    void Commit();
    void Rollback();
    // The client calls behind them: OCITransCommit / OCITransRollback in OCI8 mode, ocom / orol
    // in OCI7 mode, with the session lock held in OCI7 mode.
    void InternalCommit();
    void InternalRollback();
    void Savepoint(const std::string& savepoint);
    void RollbackToSavepoint(const std::string& savepoint);
    void SetTransaction(TTransactionMode mode);
    // Whether a transaction is open; cached until the next statement, commit or rollback.
    bool InTransaction();
    // Statements, LOB and object operations call this when they run.
    void ResetInTransaction() { FInTransaction = itUnknown; }
    TInTransaction CachedInTransaction() const { return FInTransaction; }
    // Cached updates of several data sets as one unit of work: deletions (details first), then
    // updates and insertions (masters first); a failure rolls back to "QUORVEL_APPLYPOINT".
    void ApplyUpdates(const std::vector<TSessionDataSet*>& dataSets, bool commit);
    void CommitUpdates(const std::vector<TSessionDataSet*>& dataSets);
    void CancelUpdates(const std::vector<TSessionDataSet*>& dataSets);
    // Distributed transactions of the transaction server (its support library).
    void MTSEnlist(void* transaction);
    void MTSDetach(void* transaction);
    void MTSResume(void* transaction);
    void MTSDeEnlist();

    // ---- errors ----
    // The Oracle error number of the last call, 0 for success.
    int32_t ReturnCode();
    // The client's text for an error number.
    std::string ErrorMessage(int32_t errorCode);
    // The usual check after an OCI8 call: keeps the status, raises when it means an error.
    void Check(int32_t status, TComponent* instance = nullptr);
    // The source the session's errors are read from: errhp in OCI8 mode, the data area's return
    // code in OCI7 mode.
    TOracleErrorSource ErrorSource();
    int32_t LastOCIError = 0;

    // ---- character sets and text lengths ----
    // Bytes per database character: a cached value, else detected on a connected session with
    // bcAutoDetect (1 when the detection fails), else the fixed BytesPerCharacter size (1 for
    // bcAutoDetect on a disconnected session, whose result is not kept).
    int CharacterSize();
    void SetCharacterSize(int v);   // sets the cached size directly
    int CurrentBytesPerNCharacter();   // bytes per national character, found with CharacterSize
    // The database and national character set ids (0 when unknown); each runs CharacterSize first.
    uint16_t CurrentCharSetID();
    uint16_t CurrentNCharSetID();
    bool CurrentCharSetIsUTF8();     // 870, 871, 873 (never with IgnoreCharSet)
    bool CurrentCharSetIsUTF16();    // 1000, 2000 (never with IgnoreCharSet)
    bool CurrentNCharSetIsUTF8();
    bool CurrentNCharSetIsUTF16();
    // The longest VARCHAR2 / NVARCHAR2 text in bytes a bind can carry: 4000 with OCI8 calls,
    // 2000 with OCI7 calls, divided by the bytes per (national) character except on an Oracle 10
    // or later server with a UTF-8 database set and the OCI 8.1 client group.
    int MaxVarchar();
    int MaxVarcharN();
    // The longest text of a date in the session's default date format (40 when it cannot be
    // found); kept until logoff.
    int DateFormatLength();

    // ---- connection state read by the library's statements ----
    bool UseOCI80() const { return FUseOCI80; }
    bool CtxToLda() const { return FCtxToLda; }
    bool Oracle9() const { return FOracle9; }
    bool Oracle10() const { return FOracle10; }
    bool Oracle11() const { return FOracle11; }
    bool POLite() const { return FPOLite; }
    bool POLite35() const { return FPOLite35; }
    bool ServerAttached() const { return FServerAttached; }
    void* EnvHandle() const { return envhp; }
    bool OwnEnvironment() const { return FOwnEnvironment; }   // freed at logoff, not shared
    void* ErrorHandle() const { return errhp; }
    void* SecondErrorHandle() const { return secerrhp; }
    void* ServiceContext() const { return svchp; }
    Lda_Def* LDA() { return FExternalLDA ? FExternalLDA : &FLDA; }
    // The pool whose private session this is (a pooled connection), or none.
    TOracleSessionPool* OwnerPool() const { return FOwnerPool; }

    // Attachment lists.
    TOracleAttachmentList Queries, DataSets, Packages, Scripts, Loaders, CustomPackages, Events,
        LOBLocators, Objects, References, Queues, Timestamps;

    // TOracleSessionState (feature guards)
    bool SessionConnected() const override { return FConnected; }
    bool SessionUsesOCI8Calls() const override { return FUseOCI80; }

protected:
    virtual void DoBeforeLogOn();
    virtual void DoAfterLogOn();

private:
    friend class TOracleSessionPool;
    friend void ForgetSessionPool(TOracleSessionPool* pool);
    void Attach();
    void ConnectOwn();
    void ConnectExternalSVC();
    void ReadServerVersion(bool allowOCI7Fallback);
    bool StatementsCached() const;
    void FreeHandles();
    void CloseAttached();
    void UpdatePOLite();

    std::string FLogonUsername, FLogonPassword, FLogonDatabase;
    TConnectAsOption FConnectAs = caNormal;
    bool FThreadSafe = false;
    TSessionPreferences FPreferences{this};
    TBytesPerCharacterOption FBytesPerCharacter = bcAutoDetect;
    TSessionPoolingOption FPooling = spNone;
    TOracleSessionPool* FPool = nullptr;
    TOracleSessionPool* FOwnerPool = nullptr;
    // The pool that lends this session its connection (Pool, or the default pool).
    TOracleSessionPool& BorrowingPool() const;
    unsigned FMTSOptions = (1u << moImplicit) | (1u << moUniqueServer);
    TSQLTraceOption FSQLTrace = stUnchanged;
    TOptimizerGoalOption FOptimizerGoal = ogUnchanged;
    TIsolationLevelOption FIsolationLevel = ilUnchanged;
    bool FStatementCache = false;
    int FStatementCacheSize = 20;
    bool FConnected = false;
    bool FDestroyingSession = false;
    bool FAutoCommit = false;
    std::string FExpirationMessage, FEdition, FWorkspace;

    void* envhp = nullptr;
    void* errhp = nullptr;
    void* secerrhp = nullptr;
    void* svchp = nullptr;
    void* authp = nullptr;
    void* srvhp = nullptr;
    bool FServerAttached = false;
    bool FOwnEnvironment = false;   // envhp was created for this session, not shared
    Lda_Def FLDA{};
    unsigned char FHDA[HDA_SIZE]{};
    Lda_Def* FExternalLDA = nullptr;
    void* FExternalSVC = nullptr;
    bool FUseOCI80 = false;
    bool FCtxToLda = false;
    bool FOracle9 = false, FOracle10 = false, FOracle11 = false;
    bool FPOLite = false, FPOLite35 = false;
    int FDateFormatLength = -1;
    // Character-set caches, 0 until determined; emptied at logoff and when BytesPerCharacter changes.
    int FCharacterSize = 0;
    int FNCharacterSize = 0;
    uint16_t FCharSetID = 0;
    uint16_t FNCharSetID = 0;
    void ClearCharSetCache();
    void DetectCharacterSize();
    int DetectDateFormatLength();
    bool FDetectingDateFormat = false;
    // The private statement (owned; freed by DestroyPrivateQuery) and the SQL the session issues
    // on it: cleared, given the text and executed.
    TOracleQuery* FQuery = nullptr;
    void DestroyPrivateQuery();
    void RunPrivateSQL(const std::string& sql);
    // After logon: the settings kept for a live connection are sent again.
    void ApplyLiveSettings();
    std::string FAUDSID;
    TOracleCriticalSection FCriticalSection;

    TInTransaction FInTransaction = itUnknown;
    std::vector<TSessionDataSet*> CollectDataSets(const std::vector<TSessionDataSet*>& dataSets);
    // Transaction server.
    bool FMTSEnlisted = false;
    void* FMTSTransaction = nullptr;
    void* FMTSService = nullptr;   // the service context obtained from the transaction server
    void MTSGet();
    void MTSRelease();
    void MTSEnlistCall(void* transaction, unsigned flags);
    // External procedure.
    void* FExtProcContext = nullptr;
    // Edition and workspace.
    void ApplyEdition();
    void ApplyWorkspace();
    // Monitor.
    int FMonID = 0;
    bool FSentToMonitor = false;
    bool FSentDestruction = false;
    // Start times of the activities being reported, innermost last (a logon commits inside).
    std::vector<int64_t> FMonActivityStartTime;
    bool MonitorActive() const;
    void MonitorStart(const std::string& activity);
    void MonitorEnd(const std::string& errorText);
    // The wrappers behind DBMS_Alert() .. UTL_File(), in that order; freed after the attached
    // components were detached.
    std::unique_ptr<TComponent> FServerPackages[6];
};

// The statement with which a data set reads the application's messages for a violated constraint
// from the session's MessageTable (columns constraint_name, actions, parent_child,
// error_message); the constraint name is quoted as an SQL literal.
std::string MessageTableQuery(const std::string& messageTable, const std::string& constraintName);

// The sessions of the process, in creation order.
std::vector<TOracleSession*> OracleSessions();
// All sessions share one client environment (default true).
extern bool ShareOCIEnvironment;
// The shared client environment, created on first use.
void* SharedOCIEnvironment();
// Sessions whose Pool is pool forget it (the pool is being destroyed).
void ForgetSessionPool(TOracleSessionPool* pool);
// Called with every new session.
extern std::function<void(TOracleSession&)> OnSessionCreated;
// Program shutdown: logs off every session (failures ignored), frees the shared client
// environment and unloads the client. Runs by itself at program end; may be called earlier.
void OracleShutdown();

} // namespace quorvel
