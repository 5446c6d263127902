// The SQL a session issues itself on its private statement: the settings sent to a live
// connection, the server version and the audit session id; and the other connection-level
// services: the connection check, cancelling a call, sharing, external procedures, the object
// cache, date and number instances, edition and workspace, and the monitor link.
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/OracleTimestamp.h"
#include "platform/UIServices.h"

namespace quorvel {

TSessionMonitor* SessionMonitor = nullptr;
bool SessionMonitorEnabled = true;

TSessionMonitor::~TSessionMonitor() = default;

namespace {

int64_t TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int NextSessionMonID() {
    static std::mutex lock;
    static int counter = 0;
    std::lock_guard<std::mutex> guard(lock);
    return ++counter;
}

const char* SQLTraceText(TSQLTraceOption v) {
    switch (v) {
    case stTrue: return "true";
    case stFalse: return "false";
    default: return "";
    }
}

const char* OptimizerGoalText(TOptimizerGoalOption v) {
    switch (v) {
    case ogChoose: return "choose";
    case ogFirstRows: return "first_rows";
    case ogAllRows: return "all_rows";
    case ogRule: return "rule";
    default: return "";
    }
}

const char* IsolationLevelText(TIsolationLevelOption v) {
    switch (v) {
    case ilReadCommitted: return "read committed";
    case ilSerializable: return "serializable";
    default: return "";
    }
}

// The banner cut before its first CR or LF, or before a hyphen that stands first or directly
// follows a space (the space stays).
std::string CutVersionText(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') return text.substr(0, i);
        if (c == '-' && (i == 0 || text[i - 1] == ' ')) return text.substr(0, i);
    }
    return text;
}

} // namespace

TOracleQuery& TOracleSession::Query() {
    if (!FQuery) {
        FQuery = new TOracleQuery();
        FQuery->SetName("Query");
        FQuery->SetSession(this);
    }
    return *FQuery;
}

void TOracleSession::DestroyPrivateQuery() {
    TOracleQuery* query = FQuery;
    FQuery = nullptr;
    delete query;
}

void TOracleSession::RunPrivateSQL(const std::string& sql) {
    TOracleQuery& query = Query();
    query.Clear();
    query.SQL().Add(sql);
    query.Execute();
}

// ---- settings sent to a live connection ----

void TOracleSession::SetSQLTrace(TSQLTraceOption v) {
    const std::string text = SQLTraceText(v);
    if (FConnected && !text.empty()) {
        platform::ScopedCursor cursor(Cursor);
        RunPrivateSQL("alter session set sql_trace = " + text);
    }
    FSQLTrace = v;
}

void TOracleSession::SetOptimizerGoal(TOptimizerGoalOption v) {
    const std::string value = OptimizerGoalText(v);
    if (FConnected && !value.empty()) {
        platform::ScopedCursor cursor(Cursor);
        try {
            RunPrivateSQL(std::string("alter session set optimizer_") + (FUseOCI80 ? "mode" : "goal") + " = " + value);
        } catch (const EOracleError&) {
            // Servers that know only one of the two names.
            RunPrivateSQL("alter session set optimizer_mode = " + value);
        }
    }
    FOptimizerGoal = v;
}

void TOracleSession::SetIsolationLevel(TIsolationLevelOption v) {
    const std::string text = IsolationLevelText(v);
    if (FConnected && !text.empty()) {
        platform::ScopedCursor cursor(Cursor);
        RunPrivateSQL("alter session set isolation_level = " + text);
    }
    FIsolationLevel = v;
}

void TOracleSession::SetAutoCommit(bool v) {
    FAutoCommit = v;
    if (FConnected && !FUseOCI80) {
        Acquire(true);
        if (v)
            OCI.ocon(LDA());
        else
            OCI.ocof(LDA());
        if (ReturnCode() != 0) RaiseOracleError(this, ErrorSource(), this);
        Release(true);
    }
}

void TOracleSession::ApplyLiveSettings() {
    if (FAutoCommit) SetAutoCommit(true);
    if (FSQLTrace != stUnchanged) {
        const TSQLTraceOption v = FSQLTrace;
        FSQLTrace = stUnchanged;
        SetSQLTrace(v);
    }
    if (FOptimizerGoal != ogUnchanged) {
        const TOptimizerGoalOption v = FOptimizerGoal;
        FOptimizerGoal = ogUnchanged;
        SetOptimizerGoal(v);
    }
    if (FIsolationLevel != ilUnchanged) {
        const TIsolationLevelOption v = FIsolationLevel;
        FIsolationLevel = ilUnchanged;
        SetIsolationLevel(v);
    }
}

// ---- services ----

std::string TOracleSession::ServerVersion() {
    std::string text;
    {
        platform::ScopedCursor cursor(Cursor);
        try {
            RunPrivateSQL("select * from v$version");
            if (!Query().Eof()) text = Query().FieldAsString(0);
            Query().Close();
        } catch (const std::exception&) {
            text.clear();
        }
    }
    if (text.empty() && FPOLite) text = FPOLite35 ? "Oracle Lite" : "Personal Oracle Lite";
    return CutVersionText(text);
}

std::string TOracleSession::AUDSID() {
    if (FAUDSID.empty() && FConnected) {
        RunPrivateSQL("select to_char(userenv('SESSIONID')) from dual");
        if (!Query().Eof()) FAUDSID = Query().FieldAsString(0);
    }
    return FAUDSID;
}

// ---- connection check and cancelling ----

TCheckConnectionResult TOracleSession::CheckConnection(bool reconnect) {
    auto logOn = [this] {
        try {
            LogOn();
            return ccReconnected;
        } catch (const std::exception&) {
            return ccError;
        }
    };
    if (!FConnected) return reconnect ? logOn() : ccError;
    try {
        TOracleQuery probe;
        probe.SetSession(this);
        probe.SQL().Add("select 'x' from dual");
        probe.Execute();
        return ccOK;
    } catch (const EOracleError& e) {
        if (e.ErrorCode() == 1000 || e.ErrorCode() == 942) return ccOK;   // the server answered
    }
    try {
        LogOff();
    } catch (...) {
    }
    return reconnect ? logOn() : ccError;
}

void TOracleSession::BreakExecution() {
    if (!FConnected) return;
    if (FUseOCI80) {
        const sword status = OCI.OCIBreak(svchp, static_cast<OCIError*>(errhp));
        if (status != OCI_SUCCESS) RaiseOracleError(this, TOracleErrorSource::FromHandle(errhp), this);
    } else if (OCI.obreak) {
        OCI.obreak(LDA());
    }
}

// ---- sharing ----

void TOracleSession::Share(TOracleSession& toSession) {
    toSession.SetLogonUsername(FLogonUsername);
    toSession.SetLogonPassword(FLogonPassword);
    toSession.SetLogonDatabase(FLogonDatabase);
    if (FUseOCI80)
        toSession.SetExternalSVC(svchp);
    else
        toSession.SetExternalLDA(LDA());
}

void TOracleSession::ExtProcShare(void* context) {
    EnsureOCILoaded();
    if (!HasExtProc || !OCI.ociepgoe) throw Exception("ExtProcShare requires Net8 8.0.5 or later");
    OCIEnv* env = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIError* err = nullptr;
    const sword status = OCI.ociepgoe(static_cast<OCIExtProcContext*>(context), &env, &svc, &err);
    if (status != 0) throw Exception("Error sharing external procedure context (" + std::to_string(status) + ")");
    SetExternalSVC(svc);
    FExtProcContext = context;
}

void TOracleSession::ExtProcRaise(int errorNumber, const std::string& errorMessage) {
    if (!FExtProcContext) throw Exception("Operation only allowed in external procedure context");
    std::string message = errorMessage;
    OCI.ociepmsg(static_cast<OCIExtProcContext*>(FExtProcContext), errorNumber, reinterpret_cast<text*>(message.data()),
                 message.size());
}

// ---- object cache, dates and numbers ----

void TOracleSession::FlushObjects() {
    if (!FConnected || !FUseOCI80) return;
    Check(OCI.OCICacheFlush(static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp),
                            static_cast<OCISvcCtx*>(svchp), nullptr, nullptr, nullptr),
          this);
}

OCIDate* TOracleSession::OCIDateCreate() {
    CheckOCI8(this, "OCIDateCreate");
    void* result = nullptr;
    Check(OCI.OCIObjectNew(static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp), static_cast<OCISvcCtx*>(svchp),
                           OCI_TYPECODE_DATE, nullptr, nullptr, OCI_DURATION_SESSION, -1 /* true */, &result),
          this);
    return static_cast<OCIDate*>(result);
}

OCINumber* TOracleSession::OCINumberCreate() {
    CheckOCI8(this, "OCINumberCreate");
    void* result = nullptr;
    Check(OCI.OCIObjectNew(static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp), static_cast<OCISvcCtx*>(svchp),
                           OCI_TYPECODE_NUMBER, nullptr, nullptr, OCI_DURATION_SESSION, -1 /* true */, &result),
          this);
    return static_cast<OCINumber*>(result);
}

void TOracleSession::OCIDateFree(OCIDate* date) {
    CheckOCI8(this, "OCIDateFree");
    Check(OCI.OCIObjectFree(static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp), date, 0), this);
}

void TOracleSession::OCINumberFree(OCINumber* number) {
    CheckOCI8(this, "OCINumberFree");
    Check(OCI.OCIObjectFree(static_cast<OCIEnv*>(envhp), static_cast<OCIError*>(errhp), number, 0), this);
}

double TOracleSession::OCINumberToFloat(const OCINumber* number) {
    CheckOCI8(this, "OCINumberToFloat");
    double value = 0;
    Check(OCI.OCINumberToReal(static_cast<OCIError*>(errhp), number, sizeof value, &value), this);
    return value;
}

void TOracleSession::OCINumberFromFloat(OCINumber* number, double value) {
    CheckOCI8(this, "OCINumberFromFloat");
    Check(OCI.OCINumberFromReal(static_cast<OCIError*>(errhp), &value, sizeof value, number), this);
}

int32_t TOracleSession::OCINumberToInt(const OCINumber* number) {
    CheckOCI8(this, "OCINumberToInt");
    int32_t value = 0;
    Check(OCI.OCINumberToInt(static_cast<OCIError*>(errhp), number, sizeof value, OCI_NUMBER_SIGNED, &value), this);
    return value;
}

void TOracleSession::OCINumberFromInt(OCINumber* number, int32_t value) {
    CheckOCI8(this, "OCINumberFromInt");
    Check(OCI.OCINumberFromInt(static_cast<OCIError*>(errhp), &value, sizeof value, OCI_NUMBER_SIGNED, number), this);
}

TDateTime TOracleSession::OCIDateToDateTime(const OCIDate& date) { return ::quorvel::OCIDateToDateTime(date); }

OCIDate TOracleSession::OCIDateFromDateTime(TDateTime value) { return ::quorvel::OCIDateFromDateTime(value); }

// ---- edition and workspace ----

void TOracleSession::SetEdition(const std::string& v) {
    FEdition = v;
    if (FConnected) ApplyEdition();
}

void TOracleSession::SetWorkspace(const std::string& v) {
    FWorkspace = v;
    if (FConnected) ApplyWorkspace();
}

void TOracleSession::ApplyEdition() {
    if (!FOracle11 || FEdition.empty()) return;
    Commit();
    TOracleQuery query;
    query.SetSession(this);
    query.SQL().Add("alter session set edition = " + FEdition);
    query.Execute();
}

void TOracleSession::ApplyWorkspace() {
    if (!FOracle9 || FWorkspace.empty()) return;
    Commit();
    TOracleQuery query;
    query.SetSession(this);
    query.SQL().Add("begin dbms_wm.gotoworkspace(:ws); end;");
    query.DeclareVariable("ws", otString);
    query.SetVariable("ws", Variant(FWorkspace));
    query.Execute();
}

// ---- monitor link ----

bool TOracleSession::MonitorActive() const { return SessionMonitor != nullptr && SessionMonitorEnabled; }

int TOracleSession::MonID() {
    if (!SessionMonitor) return 0;
    if (!FMonID) FMonID = NextSessionMonID();
    return FMonID;
}

std::vector<std::string> TOracleSession::MonitorParameters() {
    const char* as = FConnectAs == caSYSDBA ? "SYSDBA" : FConnectAs == caSYSOPER ? "SYSOPER" : "";
    // The cached audit session id: reading it here would run a statement inside the report.
    return {"Username", FLogonUsername, "Password", FLogonPassword, "Database", FLogonDatabase,
            "ConnectAs", as, "AUDSID", FAUDSID, "OCIDLL", OCIDLL};
}

void TOracleSession::SendToMonitor(bool creation) {
    if (!SessionMonitor) return;
    if (creation) {
        if (FSentToMonitor || !SessionMonitorEnabled) return;
        FSentToMonitor = true;
        SessionMonitor->SessionCreated(MonID(), Name());
    } else {
        if (!FSentToMonitor || FSentDestruction) return;
        FSentDestruction = true;
        SessionMonitor->SessionDestroyed(MonID());
    }
}

void TOracleSession::MonitorMessage(const std::string& msg) {
    if (!MonitorActive()) return;
    SendToMonitor(true);
    SessionMonitor->Message(MonID(), msg);
}

void TOracleSession::MonitorStart(const std::string& activity) {
    if (!MonitorActive()) return;
    SendToMonitor(true);
    FMonActivityStartTime.push_back(TickCount());
    SessionMonitor->ActivityStart(MonID(), activity, MonitorParameters());
}

void TOracleSession::MonitorEnd(const std::string& errorText) {
    if (!MonitorActive() || !FSentToMonitor || FMonActivityStartTime.empty()) return;
    const int64_t started = FMonActivityStartTime.back();
    FMonActivityStartTime.pop_back();
    SessionMonitor->ActivityEnd(MonID(), TickCount() - started, errorText);
}

} // namespace quorvel
