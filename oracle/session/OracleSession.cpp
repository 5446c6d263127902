#include "oracle/session/OracleSession.h"

#include <algorithm>
#include <cstring>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/session/ConnectString.h"
#include "oracle/session/OracleSessionPool.h"
#include "platform/Registry.h"
#include "platform/UIServices.h"

namespace quorvel {

bool ShareOCIEnvironment = true;
std::function<void(TOracleSession&)> OnSessionCreated;
bool CacheInTransaction = true;

TSessionDataSet::~TSessionDataSet() = default;

namespace {

// ---- process-wide state ----

std::mutex& SessionListLock() {
    static std::mutex lock;
    return lock;
}
std::vector<TOracleSession*>& SessionList() {
    static std::vector<TOracleSession*> list;
    return list;
}

std::atomic<void*> gSharedEnv{nullptr};

// The shared environment, created once under the global lock.
void* SharedEnvironment() {
    TOracleCriticalSection& lock = OCIGlobalLock();
    lock.Enter();
    if (!gSharedEnv) {
        OCIEnv* env = nullptr;
        if (HasOCI81 && OCI.OCIEnvCreate)
            OCI.OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        else if (OCI.OCIEnvInit)
            OCI.OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr);
        gSharedEnv = env;
    }
    void* env = gSharedEnv.load();
    lock.Leave();
    return env;
}

// Runs OracleShutdown at program end. Created on the first session, after the global lock, so
// the lock is still alive when it runs.
struct ShutdownAtExit {
    ShutdownAtExit() {
        AddOCIUnloadHandler([] { gSharedEnv = nullptr; });
    }
    ~ShutdownAtExit() {
        try {
            OracleShutdown();
        } catch (...) {
        }
    }
};

// With the session's cursor shown (nothing when it is 0).
struct SessionCursor {
    explicit SessionCursor(int cursor) : FCursor(cursor) {}
    platform::ScopedCursor FCursor;
};

std::string UpperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

} // namespace

void* SharedOCIEnvironment() { return SharedEnvironment(); }

void ForgetSessionPool(TOracleSessionPool* pool) {
    std::lock_guard<std::mutex> guard(SessionListLock());
    for (TOracleSession* session : SessionList())
        if (session->Pool() == pool) session->FPool = nullptr;
}

// ---- attachments ----

TOracleSessionClient::~TOracleSessionClient() = default;

void TOracleAttachmentList::Add(TOracleSessionClient* client) {
    std::lock_guard<std::mutex> guard(FLock);
    if (std::find(FItems.begin(), FItems.end(), client) == FItems.end()) FItems.push_back(client);
}

void TOracleAttachmentList::Remove(TOracleSessionClient* client) {
    std::lock_guard<std::mutex> guard(FLock);
    FItems.erase(std::remove(FItems.begin(), FItems.end(), client), FItems.end());
}

bool TOracleAttachmentList::Contains(TOracleSessionClient* client) const {
    std::lock_guard<std::mutex> guard(FLock);
    return std::find(FItems.begin(), FItems.end(), client) != FItems.end();
}

int TOracleAttachmentList::Count() const {
    std::lock_guard<std::mutex> guard(FLock);
    return int(FItems.size());
}

std::vector<TOracleSessionClient*> TOracleAttachmentList::Snapshot() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FItems;
}

// ---- the session ----

TOracleSession::TOracleSession(TComponent* owner) : TComponent(owner) {
    OCIGlobalLock();
    static ShutdownAtExit shutdown;
    {
        std::lock_guard<std::mutex> guard(SessionListLock());
        SessionList().push_back(this);
    }
    // The monitor hears of the session with its first report, when its name is known.
    if (OnSessionCreated) OnSessionCreated(*this);
}

TOracleSession::~TOracleSession() {
    FDestroyingSession = true;
    try {
        DestroyPrivateQuery();
    } catch (...) {
    }
    try {
        LogOff();
    } catch (...) {
        // Destruction never raises.
    }
    for (TOracleAttachmentList* list : {&Queries, &Packages, &Scripts, &Loaders, &CustomPackages, &Queues, &DataSets,
                                        &Events, &LOBLocators, &Objects, &References, &Timestamps}) {
        for (TOracleSessionClient* client : list->Snapshot()) {
            try {
                client->SessionDetach();
            } catch (...) {
            }
            list->Remove(client);
        }
    }
    try {
        FreeHandles();
    } catch (...) {
    }
    try {
        SendToMonitor(false);
    } catch (...) {
    }
    std::lock_guard<std::mutex> guard(SessionListLock());
    auto& list = SessionList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TOracleSession::SetLogonUsername(const std::string& v) {
    FLogonUsername = v;
    UpdatePOLite();
}

void TOracleSession::SetLogonPassword(const std::string& v) {
    FLogonPassword = v;
    UpdatePOLite();
}

void TOracleSession::SetLogonDatabase(const std::string& v) {
    FLogonDatabase = v;
    UpdatePOLite();
}

void TOracleSession::UpdatePOLite() {
    FPOLite = Contains(UpperCase(FLogonDatabase), "ODBC:") || Contains(UpperCase(FLogonUsername), "ODBC:");
    FPOLite35 = FPOLite && !platform::RegReadString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "OCA60").empty();
}

void TOracleSession::SetThreadSafe(bool v) {
    if (v == FThreadSafe) return;
    if (FConnected) throw Exception("Cannot change ThreadSafe property when connected");
    FThreadSafe = v;
}

void TOracleSession::SetPooling(TSessionPoolingOption v) {
    if (v == FPooling) return;
    if (FConnected) throw Exception("Cannot change Pooling property when connected");
    FPooling = v;
}

void TOracleSession::SetPool(TOracleSessionPool* v) {
    if (v == FPool) return;
    if (FConnected) throw Exception("Cannot change Pool property when connected");
    FPool = v;
    if (v) FPooling = spInternal;
}

void TOracleSession::SetMTSOptions(unsigned v) {
    if (v == FMTSOptions) return;
    if (FConnected) throw Exception("Cannot change MTSOptions property when connected");
    FMTSOptions = v;
}

void TOracleSession::SetStatementCache(bool v) {
    if (v == FStatementCache) return;
    if (FConnected) throw Exception("Cannot change StatementCache property when connected");
    FStatementCache = v;
}

void TOracleSession::SetStatementCacheSize(int v) {
    if (FConnected && StatementsCached() && OCI.OCIAttrSet) {
        ub4 size = ub4(v);
        OCI.OCIAttrSet(svchp, OCI_HTYPE_SVCCTX, &size, 4, OCI_ATTR_STMTCACHESIZE, static_cast<OCIError*>(secerrhp));
    }
    FStatementCacheSize = v;
}

void TOracleSession::SetConnected(bool v) {
    if (v)
        LogOn();
    else
        LogOff();
}

void TOracleSession::SetExternalLDA(Lda_Def* lda) {
    LogOff();
    FExternalLDA = lda;
    if (lda) LogOn();
}

Lda_Def* TOracleSession::ExternalLDA() {
    if (!FConnected || FUseOCI80) throw Exception("ExternalLDA only valid when connected through OCI7");
    return LDA();
}

void* TOracleSession::ExternalSVC() const {
    if (!FConnected || !FUseOCI80) throw Exception("ExternalSVC only valid when connected through OCI8");
    return svchp;
}

void* TOracleSession::ExternalENV() const {
    if (!FConnected || !FUseOCI80) throw Exception("ExternalENV only valid when connected through OCI8");
    return envhp;
}

void* TOracleSession::ExternalSRV() const {
    if (!FConnected || !FUseOCI80) throw Exception("ExternalSRV only valid when connected through OCI8");
    return srvhp;
}

void* TOracleSession::ExternalAUT() const {
    if (!FConnected || !FUseOCI80) throw Exception("ExternalAUT only valid when connected through OCI8");
    return authp;
}

void TOracleSession::SetExternalSVC(void* svc) {
    EnsureOCILoaded();
    if (!HasOCI8 || FPreferences.UseOCI7() || ForceOCI7) throw Exception("ExternalSVC only valid with OCI8");
    LogOff();
    FExternalSVC = svc;
    if (svc) LogOn();
}

bool TOracleSession::StatementsCached() const {
    if (!FUseOCI80 || !HasOCI92) return false;
    // A borrowing session and a pooled connection cache as their pool says.
    if (FPool) return FPool->CachesStatements();
    if (FOwnerPool) return FOwnerPool->CachesStatements();
    if (Shared()) return false;
    return FStatementCache;
}

TOracleSessionPool& TOracleSession::BorrowingPool() const { return FPool ? *FPool : DefaultSessionPool(); }

void TOracleSession::Acquire(bool oci7Only) {
    if (FThreadSafe && !(oci7Only && FUseOCI80)) FCriticalSection.Enter();
}

void TOracleSession::Release(bool oci7Only) {
    if (FThreadSafe && !(oci7Only && FUseOCI80)) FCriticalSection.Leave();
}

void TOracleSession::DoBeforeLogOn() {
    if (BeforeLogOn) BeforeLogOn(*this);
}

void TOracleSession::DoAfterLogOn() {
    if (AfterLogOn) AfterLogOn(*this);
}

// ---- transactions ----

void TOracleSession::Commit() {
    if (!FConnected) return;
    MonitorStart("Session.Commit");
    try {
        InternalCommit();
    } catch (const std::exception& e) {
        MonitorEnd(e.what());
        throw;
    }
    MonitorEnd(std::string());
}

void TOracleSession::Rollback() {
    if (!FConnected) return;
    MonitorStart("Session.Rollback");
    try {
        InternalRollback();
    } catch (const std::exception& e) {
        MonitorEnd(e.what());
        throw;
    }
    MonitorEnd(std::string());
}

void TOracleSession::InternalCommit() {
    if (MTSEnlisted()) throw Exception("Cannot commit an MTS Controlled Transaction");
    // Without a connection there is nothing to commit (and no client to call).
    if (!FConnected) return;
    Acquire(true);
    FInTransaction = itUnknown;
    if (FUseOCI80)
        LastOCIError = OCI.OCITransCommit(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(errhp), OCI_DEFAULT);
    else
        OCI.ocom(LDA());
    if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), this);
    Release(true);
}

void TOracleSession::InternalRollback() {
    if (MTSEnlisted()) throw Exception("Cannot rollback an MTS Controlled Transaction");
    if (!FConnected) return;
    Acquire(true);
    FInTransaction = itUnknown;
    if (FUseOCI80)
        LastOCIError = OCI.OCITransRollback(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(errhp), OCI_DEFAULT);
    else
        OCI.orol(LDA());
    if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), this);
    Release(true);
}

std::string MessageTableQuery(const std::string& messageTable, const std::string& constraintName) {
    std::string literal;
    for (char c : constraintName) {
        literal += c;
        if (c == '\'') literal += '\'';
    }
    return "select actions, parent_child, error_message from " + messageTable + "\r\nwhere constraint_name = '" +
           literal + "'\r\norder by actions";
}

// ---- errors ----

int32_t TOracleSession::ReturnCode() {
    if (FUseOCI80) {
        if (LastOCIError == OCI_ERROR || LastOCIError == OCI_SUCCESS_WITH_INFO) {
            sb4 code = 0;
            if (OCI.OCIErrorGet && errhp)
                OCI.OCIErrorGet(errhp, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR);
            // An error status without a record still is an error.
            if (code == 0 && LastOCIError == OCI_ERROR) return OCI_ERROR;
            return code;
        }
        return LastOCIError;
    }
    return LDA()->rc;
}

TOracleErrorSource TOracleSession::ErrorSource() {
    if (FUseOCI80) return TOracleErrorSource::FromHandle(errhp);
    return TOracleErrorSource::FromReturnCode(LDA()->rc);
}

void TOracleSession::Check(int32_t status, TComponent* instance) {
    LastOCIError = status;
    if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), instance);
}

std::string TOracleSession::ErrorMessage(int32_t errorCode) {
    std::vector<char> buffer(2001, '\0');
    auto* text = reinterpret_cast<OraText*>(buffer.data());
    Acquire(true);
    if (OCI.oerhms) {
        if (FUseOCI80) {
            Lda_Def area{};
            OCI.oerhms(&area, sb2(errorCode), text, 2001);
        } else {
            OCI.oerhms(LDA(), sb2(errorCode), text, 2001);
        }
    }
    Release(true);
    buffer.back() = '\0';
    std::string message(buffer.data());
    if (message.empty()) {
        // The client has no OCI7 message call: the number is all there is.
        char head[32];
        std::snprintf(head, sizeof head, "ORA-%05d", int(errorCode));
        message = head;
    }
    return message;
}

// ---- logon ----

void TOracleSession::Attach() {
    auto err = [this] { return static_cast<OCIError*>(errhp); };
    auto secerr = [this] { return static_cast<OCIError*>(secerrhp); };
    if (!envhp) {
        FOwnEnvironment = !ShareOCIEnvironment;
        if (ShareOCIEnvironment) {
            envhp = SharedEnvironment();
        } else {
            OCIEnv* env = nullptr;
            if (HasOCI81 && OCI.OCIEnvCreate)
                LastOCIError = OCI.OCIEnvCreate(&env, OCI_OBJECT | (FThreadSafe ? OCI_THREADED : 0), nullptr, nullptr,
                                                nullptr, nullptr, 0, nullptr);
            else
                LastOCIError = OCI.OCIEnvInit(&env, FThreadSafe ? OCI_DEFAULT : 8 /* no mutexes */, 0, nullptr);
            envhp = env;
        }
        if (!envhp) throw Exception("Could not create the Oracle client environment");
        OCI.OCIHandleAlloc(envhp, &svchp, OCI_HTYPE_SVCCTX, 0, nullptr);
        OCI.OCIHandleAlloc(envhp, &srvhp, OCI_HTYPE_SERVER, 0, nullptr);
        OCI.OCIHandleAlloc(envhp, &errhp, OCI_HTYPE_ERROR, 0, nullptr);
        OCI.OCIHandleAlloc(envhp, &secerrhp, OCI_HTYPE_ERROR, 0, nullptr);
        OCI.OCIHandleAlloc(envhp, &authp, OCI_HTYPE_SESSION, 0, nullptr);
    }
    if (FServerAttached) {
        OCI.OCIServerDetach(static_cast<OCIServer*>(srvhp), secerr(), OCI_DEFAULT);
        FServerAttached = false;
    }
    LastOCIError = OCI.OCIServerAttach(static_cast<OCIServer*>(srvhp), err(),
                                       reinterpret_cast<const text*>(FLogonDatabase.c_str()),
                                       sb4(FLogonDatabase.size()), OCI_DEFAULT);
    if (LastOCIError != OCI_SUCCESS) RaiseOracleError(this, TOracleErrorSource::FromHandle(errhp), this);
    FServerAttached = true;
    OCI.OCIAttrSet(svchp, OCI_HTYPE_SVCCTX, srvhp, 0, OCI_ATTR_SERVER, secerr());
    OCI.OCIAttrSet(svchp, OCI_HTYPE_SVCCTX, authp, 0, OCI_ATTR_SESSION, secerr());
}

void TOracleSession::ReadServerVersion(bool allowOCI7Fallback) {
    char buffer[501] = {};
    OCI.OCIServerVersion(srvhp, static_cast<OCIError*>(errhp), reinterpret_cast<text*>(buffer), 501, OCI_HTYPE_SERVER);
    buffer[500] = '\0';
    const std::string v = UpperCase(buffer);
    FOracle10 = Contains(v, "RELEASE 1");
    FOracle11 = FOracle10 && !Contains(v, "RELEASE 10");
    FOracle9 = Contains(v, "ORACLE9") || FOracle10;
    const bool oci8Capable = Contains(v, "ORACLE8") || Contains(v, "ORACLE9") || Contains(v, "RELEASE 1");
    if (!allowOCI7Fallback) return;
    FUseOCI80 = oci8Capable;
    if (!oci8Capable) {
        // An older server: the connection made with OCI8 calls is driven through OCI7 calls.
        std::memset(&FLDA, 0, sizeof FLDA);
        OCI.OCISvcCtxToLda(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(errhp), &FLDA);
        FCtxToLda = true;
    }
}

void TOracleSession::ConnectOwn() {
    TConnectStringParts parts;
    if (ParseConnectString(FLogonUsername, parts)) {
        FLogonUsername = parts.User;
        FLogonPassword = parts.Password;
        if (!parts.Database.empty()) FLogonDatabase = parts.Database;
        const std::string as = UpperCase(parts.ConnectAs);
        FConnectAs = as == "SYSDBA" ? caSYSDBA : as == "SYSOPER" ? caSYSOPER : caNormal;
    }
    std::string connect = FLogonUsername;
    if (!FLogonPassword.empty()) connect += "/" + FLogonPassword;
    if (!FLogonDatabase.empty()) connect += "@" + FLogonDatabase;
    if (FConnectAs == caSYSDBA) connect += " as SYSDBA";
    if (FConnectAs == caSYSOPER) connect += " as SYSOPER";
    std::memset(FHDA, 0, sizeof FHDA);
    std::memset(&FLDA, 0, 4);

    SessionCursor cursor(Cursor);
    if (FUseOCI80) {
        ub4 mode = FConnectAs == caSYSDBA ? OCI_SYSDBA : FConnectAs == caSYSOPER ? OCI_SYSOPER : OCI_DEFAULT;
        if (StatementsCached()) mode += OCI_STMT_CACHE;
        Attach();
        auto* err = static_cast<OCIError*>(errhp);
        if (!FLogonUsername.empty() || !FLogonPassword.empty()) {
            OCI.OCIAttrSet(authp, OCI_HTYPE_SESSION, const_cast<char*>(FLogonUsername.c_str()),
                           ub4(FLogonUsername.size()), OCI_ATTR_USERNAME, err);
            OCI.OCIAttrSet(authp, OCI_HTYPE_SESSION, const_cast<char*>(FLogonPassword.c_str()),
                           ub4(FLogonPassword.size()), OCI_ATTR_PASSWORD, err);
            LastOCIError = OCI.OCISessionBegin(static_cast<OCISvcCtx*>(svchp), err, static_cast<OCISession*>(authp),
                                               OCI_CRED_RDBMS, mode);
        } else {
            LastOCIError = OCI.OCISessionBegin(static_cast<OCISvcCtx*>(svchp), err, static_cast<OCISession*>(authp),
                                               OCI_CRED_EXT, mode);
        }
        if (ReturnCode() == 0) ReadServerVersion(true);
    } else {
        if (!OCI.olog && !OCI.orlon)
            throw Exception("The Oracle client has no OCI7 interface; cannot log on in OCI7 mode");
        auto* c = reinterpret_cast<text*>(const_cast<char*>(connect.c_str()));
        if (OCI.olog)
            OCI.olog(&FLDA, FHDA, c, -1, nullptr, -1, nullptr, -1, OCI_DEFAULT);
        else
            OCI.orlon(&FLDA, FHDA, c, -1, nullptr, -1, 0);
    }
    const int32_t rc = ReturnCode();
    if (rc == 28002 || rc == 28011) {
        EOracleError warning(this, this, ErrorSource());
        FExpirationMessage = warning.Message();
        LastOCIError = 0;
    } else {
        FExpirationMessage.clear();
        if (rc != 0) RaiseOracleError(this, ErrorSource(), this);
    }
}

void TOracleSession::ConnectExternalSVC() {
    FUseOCI80 = true;
    svchp = FExternalSVC;
    OCIEnv* temporary = nullptr;
    void* temporaryError = nullptr;
    OCI.OCIEnvInit(&temporary, OCI_DEFAULT, 0, nullptr);
    OCI.OCIHandleAlloc(temporary, &temporaryError, OCI_HTYPE_ERROR, 0, nullptr);
    OCI.OCIAttrGet(svchp, OCI_HTYPE_SVCCTX, &envhp, nullptr, OCI_ATTR_ENV, static_cast<OCIError*>(temporaryError));
    OCI.OCIHandleFree(temporaryError, OCI_HTYPE_ERROR);
    OCI.OCIHandleFree(temporary, OCI_HTYPE_ENV);
    OCI.OCIHandleAlloc(envhp, &errhp, OCI_HTYPE_ERROR, 0, nullptr);
    OCI.OCIHandleAlloc(envhp, &secerrhp, OCI_HTYPE_ERROR, 0, nullptr);
    OCI.OCIAttrGet(svchp, OCI_HTYPE_SVCCTX, &srvhp, nullptr, OCI_ATTR_SERVER, static_cast<OCIError*>(errhp));
    OCI.OCIAttrGet(svchp, OCI_HTYPE_SVCCTX, &authp, nullptr, OCI_ATTR_SESSION, static_cast<OCIError*>(errhp));
    ReadServerVersion(false);
}

void TOracleSession::LogOn() {
    FInTransaction = itUnknown;
    FOracle9 = FOracle10 = FOracle11 = false;

    if (FPooling != spNone && (FConnected || !Shared())) {
        LogOff();
        if (FPooling == spInternal) {
            // The pool lends a connection, on which this session has logged on as a shared
            // session (that inner logon fired the logon callbacks).
            TOracleSessionPool& pool = BorrowingPool();
            const bool opened = pool.Reserve(*this);
            try {
                if (pool.AfterReserve) pool.AfterReserve(pool, *this);
            } catch (...) {
            }
            if (opened) {
                try {
                    if (pool.AfterConnect) pool.AfterConnect(pool, *this);
                } catch (...) {
                }
            }
            return;
        }
        // The transaction server hands out a service context, on which the session logs on
        // again as a shared session.
        MTSGet();
        return;
    }

    DoBeforeLogOn();

    std::string activity = "Session.LogOn as " + FLogonUsername;
    if (!FLogonDatabase.empty()) activity += "@" + FLogonDatabase;
    MonitorStart(activity);
    std::string failure;

    const bool locked = FThreadSafe;
    if (locked) OCIGlobalLock().Enter();
    auto finish = [&] {
        if (locked) OCIGlobalLock().Leave();
        MonitorEnd(failure);
        // The loader's saved directory is shared by every session: put it back under the lock
        // that guards loading, so logons on several threads do not race on it.
        OCIGlobalLock().Enter();
        RestoreCurrentDir();
        OCIGlobalLock().Leave();
        DoAfterLogOn();
        if (OnChange) OnChange(*this);
    };
    try {
        if (FPOLite && !FPOLite35 && OCIDLL.empty()) OCIDLL = "ora73.dll";
        {
            SessionCursor cursor(Cursor);
            EnsureOCILoaded();
        }
        LogOff();
        FUseOCI80 = SessionUsesOCI8(TSessionModeRequest{FPreferences.UseOCI7(), FPOLite, FExternalLDA != nullptr, false});
        FCtxToLda = false;
        if (!Shared()) {
            ConnectOwn();
        } else if (FExternalSVC) {
            ConnectExternalSVC();
        }
        if (StatementsCached()) {
            ub4 size = ub4(FStatementCacheSize);
            OCI.OCIAttrSet(svchp, OCI_HTYPE_SVCCTX, &size, 4, OCI_ATTR_STMTCACHESIZE, static_cast<OCIError*>(secerrhp));
        }
        FConnected = true;
        auto queries = Queries.Snapshot();
        for (auto it = queries.rbegin(); it != queries.rend(); ++it) (*it)->SessionLoggedOn();
        // The settings kept for a live connection are sent again; a failure here leaves the
        // session connected.
        if (!Shared()) {
            ApplyLiveSettings();
            if (MonitorActive()) AUDSID();
        }
        // Edition and workspace: a failure logs off again.
        if (!FEdition.empty() || !FWorkspace.empty()) {
            try {
                ApplyEdition();
                ApplyWorkspace();
            } catch (...) {
                try {
                    LogOff();
                } catch (...) {
                }
                throw;
            }
        }
    } catch (const std::exception& e) {
        failure = e.what();
        try {
            finish();
        } catch (...) {
        }
        throw;
    } catch (...) {
        failure = "Unknown exception";
        try {
            finish();
        } catch (...) {
        }
        throw;
    }
    finish();
}

void TOracleSession::SetPassword(const std::string& newPassword) {
    if (FPOLite && !FPOLite35 && OCIDLL.empty()) OCIDLL = "ora73.dll";
    SessionCursor cursor(Cursor);
    EnsureOCILoaded();
    if (!FConnected && !FServerAttached)
        FUseOCI80 = SessionUsesOCI8(TSessionModeRequest{FPreferences.UseOCI7(), FPOLite, FExternalLDA != nullptr, false});
    if (FUseOCI80) {
        if (!FServerAttached) {
            TConnectStringParts parts;
            if (ParseConnectString(FLogonUsername, parts)) {
                FLogonUsername = parts.User;
                FLogonPassword = parts.Password;
                if (!parts.Database.empty()) FLogonDatabase = parts.Database;
            }
            Attach();
        }
        // Without a user session (an expired password refused the logon) the change has to
        // authenticate; that session is ended again, so the session stays as it was and the
        // next LogOn uses the new password.
        const ub4 mode = FConnected ? OCI_DEFAULT : ub4(0x00000008) /* OCI_AUTH */;
        auto* err = static_cast<OCIError*>(errhp);
        LastOCIError = OCI.OCIPasswordChange(
            static_cast<OCISvcCtx*>(svchp), err, reinterpret_cast<const text*>(FLogonUsername.c_str()),
            ub4(FLogonUsername.size()), reinterpret_cast<const text*>(FLogonPassword.c_str()),
            ub4(FLogonPassword.size()), reinterpret_cast<const text*>(newPassword.c_str()), ub4(newPassword.size()),
            mode);
        if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), this);
        if (mode != OCI_DEFAULT)
            OCI.OCISessionEnd(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(secerrhp),
                              static_cast<OCISession*>(authp), OCI_DEFAULT);
    } else {
        if (!FConnected) throw Exception("Not logged on");
        const std::string sql = "alter user " + FLogonUsername + " identified by " + newPassword;
        Cda_Def cda{};
        Acquire(true);
        OCI.oopen(&cda, LDA(), nullptr, -1, -1, nullptr, -1);
        if (cda.rc == 0) OCI.oparse(&cda, reinterpret_cast<text*>(const_cast<char*>(sql.c_str())), -1, 0, 2);
        if (cda.rc == 0) OCI.oexec(&cda);
        const int32_t rc = cda.rc;
        OCI.oclose(&cda);
        if (rc != 0) RaiseOracleError(this, TOracleErrorSource::FromReturnCode(rc), this);
        Release(true);
    }
    FLogonPassword = newPassword;
}

// ---- logoff ----

void TOracleSession::CloseAttached() {
    for (TOracleAttachmentList* list : {&Queues, &Queries, &DataSets, &Loaders, &Timestamps}) {
        auto items = list->Snapshot();
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            try {
                (*it)->SessionClose();
            } catch (...) {
            }
        }
    }
}

void TOracleSession::FreeHandles() {
    if (FUseOCI80 && envhp && OCI.OCIHandleFree) {
        OCI.OCIHandleFree(srvhp, OCI_HTYPE_SERVER);
        OCI.OCIHandleFree(svchp, OCI_HTYPE_SVCCTX);
        OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
        OCI.OCIHandleFree(secerrhp, OCI_HTYPE_ERROR);
        OCI.OCIHandleFree(authp, OCI_HTYPE_SESSION);
        if (FOwnEnvironment) OCI.OCIHandleFree(envhp, OCI_HTYPE_ENV);
        FOwnEnvironment = false;
        envhp = nullptr;
        srvhp = svchp = errhp = secerrhp = authp = nullptr;
    }
}

void TOracleSession::LogOff() {
    if (!OCILoaded()) {
        // The client was unloaded under the session: its handles are gone with it.
        const bool wasConnected = FConnected;
        const bool borrowed = Shared() && FPooling == spInternal;
        FConnected = FServerAttached = FCtxToLda = false;
        envhp = errhp = secerrhp = svchp = srvhp = authp = nullptr;
        FOwnEnvironment = false;
        FExternalLDA = nullptr;
        FExternalSVC = nullptr;
        FExtProcContext = nullptr;
        FMTSService = FMTSTransaction = nullptr;
        FMTSEnlisted = false;
        // The pool forgets its borrower (it makes no client call for that).
        if (borrowed) BorrowingPool().Release(*this);
        if (wasConnected && !FDestroyingSession && OnChange) OnChange(*this);
        return;
    }
    if (FConnected) {
        if (Shared() && FPooling == spInternal) {
            TOracleSessionPool& pool = BorrowingPool();
            try {
                if (pool.BeforeRelease) pool.BeforeRelease(pool, *this);
            } catch (...) {
            }
        }
        if (RollbackOnDisconnect && !Shared()) {
            try {
                Rollback();
            } catch (...) {
            }
        }
        CloseAttached();
        FConnected = false;
        FAUDSID.clear();
        FDateFormatLength = -1;
        ClearCharSetCache();

        const bool locked = FThreadSafe;
        bool handBack = false;
        MonitorStart("Session.LogOff");
        {
            SessionCursor cursor(Cursor);
            if (locked) OCIGlobalLock().Enter();
            try {
                if (Shared()) {
                    FExtProcContext = nullptr;
                    FExternalLDA = nullptr;
                    FExternalSVC = nullptr;
                    envhp = nullptr;
                    if (FUseOCI80) {
                        OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
                        OCI.OCIHandleFree(secerrhp, OCI_HTYPE_ERROR);
                    }
                    errhp = secerrhp = svchp = srvhp = authp = nullptr;
                    handBack = FPooling == spInternal;
                    if (FPooling == spMTS && FMTSService) MTSRelease();
                } else {
                    if (FCtxToLda && !FUseOCI80) {
                        OCISvcCtx* svc = static_cast<OCISvcCtx*>(svchp);
                        OCI.OCILdaToSvcCtx(&svc, static_cast<OCIError*>(errhp), &FLDA);
                        svchp = svc;
                        FUseOCI80 = true;
                        FCtxToLda = false;
                    }
                    if (FUseOCI80) {
                        LastOCIError = OCI.OCISessionEnd(static_cast<OCISvcCtx*>(svchp), static_cast<OCIError*>(errhp),
                                                         static_cast<OCISession*>(authp), OCI_DEFAULT);
                    } else {
                        OCI.ologof(&FLDA);
                    }
                    if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), this);
                }
            } catch (const std::exception& e) {
                if (locked) OCIGlobalLock().Leave();
                MonitorEnd(e.what());
                throw;
            } catch (...) {
                if (locked) OCIGlobalLock().Leave();
                MonitorEnd("Unknown exception");
                throw;
            }
            if (locked) OCIGlobalLock().Leave();
            // The connection goes back to its pool outside the global lock: a reservation holds
            // the pool's list lock while it logs on, which takes the global lock in turn.
            if (handBack) {
                try {
                    BorrowingPool().Release(*this);
                } catch (const std::exception& e) {
                    MonitorEnd(e.what());
                    throw;
                }
            }
        }
        MonitorEnd(std::string());
        if (!FDestroyingSession && OnChange) OnChange(*this);
    }
    if (FServerAttached) {
        FServerAttached = false;
        LastOCIError = OCI.OCIServerDetach(static_cast<OCIServer*>(srvhp), static_cast<OCIError*>(errhp), OCI_DEFAULT);
        if (LastOCIError != OCI_SUCCESS) RaiseOracleError(this, TOracleErrorSource::FromHandle(errhp), this);
    }
    FreeHandles();
    for (TOracleSessionClient* client : DataSets.Snapshot()) {
        try {
            client->SessionLoggedOff();
        } catch (...) {
        }
    }
}

// ---- process-wide ----

std::vector<TOracleSession*> OracleSessions() {
    std::lock_guard<std::mutex> guard(SessionListLock());
    return SessionList();
}

void OracleShutdown() {
    // The pools first: each logs its borrowers off and frees its pooled connections (which
    // a logoff of a borrower may free too, so they are not walked in the list below).
    CloseSessionPools();
    for (TOracleSession* session : OracleSessions()) {
        try {
            session->LogOff();
        } catch (...) {
        }
    }
    if (void* env = gSharedEnv.exchange(nullptr); env && OCILoaded() && OCI.OCIHandleFree)
        OCI.OCIHandleFree(env, OCI_HTYPE_ENV);
    gSharedEnv = nullptr;
    if (OCILoaded()) UnloadOCI();
}

} // namespace quorvel
