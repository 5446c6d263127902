#pragma once
// Helpers shared by the statement's source files; not part of the library's interface.
#include <string>

#include "oracle/ci/OCITypes.h"

namespace quorvel {

class TOracleQuery;
class TOracleSession;
class TVariableData;

struct QueryInternal {
    // The next activity-monitor ID (one counter for queries, LOB locators and the other
    // components that report to the monitor).
    static int NextMonitorId();
    // Line and column (both 1-based) of a byte offset in the parsed text, clamped to its length.
    static void ErrorPositionIn(const std::string& parsed, int offset, int& line, int& position);
    // Statements go through the client's statement cache (OCI8 mode, OCI 9.2 client, an own
    // connection with StatementCache set).
    static bool StatementsCached(TOracleSession& session);
    static void ShowCursor(TOracleQuery& q);
    static void RestoreCursor(TOracleQuery& q);
    // Per-element byte lengths of a UTF-16 string variable (kept by the query while bound).
    static ub2* Utf16Lengths(TOracleQuery& q, TVariableData& v);
    // Rows an execution processed before it failed.
    static int RowsAfterFailure(TOracleQuery& q);
    // The text of the rowid held by a rowid descriptor; empty when it cannot be read.
    static std::string RowIdFromDescriptor(TOracleQuery& q, void* descriptor);
};

} // namespace quorvel
