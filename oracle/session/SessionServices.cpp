// The SQL a session issues itself on its private statement: the settings sent to a live
// connection, the server version and the audit session id.
#include <cstring>

#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/session/OracleSession.h"
#include "platform/UIServices.h"

namespace quorvel {

namespace {

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

} // namespace quorvel
