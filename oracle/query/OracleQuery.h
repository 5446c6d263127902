#pragma once
// TOracleQuery: one SQL statement or PL/SQL block on a TOracleSession. The query prepares its
// text, binds its variables, executes, and for a select describes the select list, defines one
// array buffer of ReadBuffer rows per column and walks the rows with Next, fetching a new block
// whenever the current one is used up. It works in both of the session's call modes: OCI8
// (handles and OCI... calls) and OCI7 (a cursor data area and the o... calls).
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/Strings.h"
#include "base/Variant.h"
#include "oracle/ci/OCI7.h"
#include "oracle/query/Fields.h"
#include "oracle/query/Variables.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

class TLOBLocator;
class TQueryThread;

enum TQueryState { qsIdle, qsExecuting, qsFetching };

// ---- library-wide settings ----
// On: Optimize reads as false everywhere (statements are parsed at every execution and closed
// after use).
extern bool DisableOptimize;
// LONG and LONG RAW values arrive in pieces growing from InitialLongPieceSize to
// MaxLongPieceSize bytes; LongDefineSize is the size they are defined with.
extern int InitialLongPieceSize;
extern int MaxLongPieceSize;
extern int32_t LongDefineSize;
// On: ROWID columns get 128-byte buffers.
extern bool WideRowIdFields;

// Called instead of the message box of a query's Debug display when set.
extern std::function<void(TOracleQuery& query)> QueryDebugHook;

// The activity monitor: hooks an external monitor may install. With none installed nothing is
// reported and nothing is computed for it.
class TQueryMonitor {
public:
    virtual ~TQueryMonitor() = default;
    virtual void QueryCreated(int queryId, int sessionId, int parentId, const std::string& name) = 0;
    virtual void QueryDestroyed(int queryId) = 0;
    // activity: "Query.Execute", "Query.Describe", "Query.Next for up to 25 records", ...
    virtual void ActivityStart(int queryId, const std::string& activity, const std::string& sql,
                               const std::string& variables) = 0;
    // failed: message is the error's text; else the result text (" (3 records processed)" or
    // empty) and the function type + 256 x the session's optimizer goal.
    virtual void ActivityEnd(int queryId, bool failed, const std::string& message, int functionType) = 0;
};
extern TQueryMonitor* QueryMonitor;

// The text of a rowid from its four numbers: the 18-character extended form (object, file,
// block and row in base-64 digits) when the object number is not 0, else the restricted form
// block.row.file in hexadecimal.
std::string RowIdText(uint32_t object, uint32_t file, uint32_t block, uint32_t row);

class TOracleQuery : public TComponent, public TOracleSessionClient, public TVariableOwner {
public:
    using TNotifyEvent = std::function<void(TOracleQuery& sender)>;
    // (sender, row index, error code, error message, continue)
    using TArrayErrorEvent = std::function<void(TOracleQuery& sender, int index, int errorCode,
                                                const std::string& errorMessage, bool& continueExecution)>;

    explicit TOracleQuery(TComponent* owner = nullptr);
    ~TOracleQuery() override;

    // ---- settings ----
    TStringList& SQL() { return FSQL; }
    const TStringList& SQL() const { return FSQL; }
    void SetSQL(const TStrings& lines) { FSQL.Assign(lines); }
    // The SQL list as one UTF-16 text, and set from one.
    std::u16string WideSQL() const;
    void SetWideSQL(std::u16string_view text);
    TOracleSession* Session() const { return FSession; }
    void SetSession(TOracleSession* session);
    int ReadBuffer() const { return FReadBuffer; }
    void SetReadBuffer(int v);            // below 1 becomes 1; forgets the parsed text
    bool Optimize() const { return FOptimize && !DisableOptimize; }
    void SetOptimize(bool v) { FOptimize = v; }
    bool Debug = false;
    int Cursor = 0;                       // shown while the database is busy; 0 leaves it alone
    bool StringFieldsOnly() const { return FStringFieldsOnly; }
    void SetStringFieldsOnly(bool v);
    bool NoDateStringFields() const { return FNoDateStringFields; }
    void SetNoDateStringFields(bool v);
    bool NoNumberStringFields() const { return FNoNumberStringFields; }
    void SetNoNumberStringFields(bool v);
    bool Threaded = false;
    bool ThreadSynchronized = true;
    bool Scrollable = false;
    bool UseDefaultVariableCharSetFlag() const { return FUseDefaultCharSet; }
    void SetUseDefaultVariableCharSet(bool v);
    TVariables& Variables() { return *FVariables; }
    void SetVariables(const TVariables& source) { source.AssignTo(*FVariables); }

    TNotifyEvent BeforeQuery;
    TNotifyEvent AfterQuery;
    TArrayErrorEvent OnArrayError;

    // ---- background execution (Threaded; QueryThread.cpp) ----
    // (sender, error code (0 for an error that is not a database error), error message)
    using TThreadErrorEvent = std::function<void(TOracleQuery& sender, int errorCode, const std::string& errorMessage)>;
    TNotifyEvent OnThreadExecuted;
    TNotifyEvent OnThreadRecord;
    TNotifyEvent OnThreadFinished;
    TThreadErrorEvent OnThreadError;
    // A worker exists and is running.
    bool ThreadIsRunning() const;
    // Stops a running worker after the current row and waits until it has suspended itself
    // (called from inside a callback it only asks the worker to stop).
    void BreakThread();
    TQueryThread* QueryThread() const { return FThread.get(); }

    // ---- execution ----
    void Execute();
    // Array DML over elements index .. index + count - 1 of the bound arrays; (-1, -1) is all.
    int ExecuteArray(int index, int count);
    void Describe();
    void DescribeFull();
    void Close();
    void Cancel() { FEof = true; }
    // Deletes the variables, empties SQL, forgets the parsed text.
    void Clear();
    // The SQL text with substitution variables pasted in.
    std::string SubstitutedSQL() const;

    // ---- results ----
    int RowsProcessed() const { return FRowsProcessed; }
    int ReturnCode() const;
    int WarningFlags() const { return FWarningFlags; }
    // The rowid of the row the last insert, update or delete touched (18 characters).
    const std::string& RowId();
    int FunctionType() const { return FFunctionType; }
    int ErrorLine() const { return FErrorLine; }
    int ErrorPosition() const { return FErrorPosition; }
    TQueryState State() const { return FState; }
    bool Opened() const { return FOpened; }
    bool Described() const { return FDescribed; }
    bool ResultSet() const { return FResultSet; }
    const std::string& ParsedSQL() const { return FParsedSQL; }
    int32_t LastOCIError() const { return FLastOCIError; }

    // ---- fetching ----
    void Next();
    bool Eof() const { return FEof; }
    int RowCount() const;
    int FieldCount() const { return int(FFields.size()); }
    void First();
    void Last();
    void Prior();
    int MoveBy(int distance);
    void MoveTo(int position);
    int ScrollPosition();

    // ---- field metadata (by 0-based index, by name, by UTF-16 name) ----
    int FieldIndex(const std::string& name) const;     // -1 when absent
    int FieldIndex(std::u16string_view name) const;
    std::string FieldName(int i) const;
    std::u16string FieldNameAsWideString(int i) const;
    int FieldType(int i) const;
    int FieldType(const std::string& name) const { return FieldType(IndexOf(name)); }
    int FieldDBType(int i) const;
    std::string FieldTypeName(int i) const;
    int FieldPrecision(int i) const;
    int FieldScale(int i) const;
    int FieldSize(int i) const;
    bool FieldOptional(int i) const;
    bool FieldIsNChar(int i) const;
    int FieldCharSize(int i) const;
    int FieldCharSetId(int i) const;
    int FieldCharSetForm(int i) const;
    bool FieldIsUTF8(int i) const;
    bool FieldIsUTF16(int i) const;

    // ---- field values ----
    Variant Field(int i);
    Variant Field(const std::string& name) { return Field(IndexOf(name)); }
    Variant Field(std::u16string_view name) { return Field(IndexOf(name)); }
    bool FieldIsNull(int i) const;
    bool FieldIsNull(const std::string& name) const { return FieldIsNull(IndexOf(name)); }
    std::string FieldAsString(int i);
    std::string FieldAsString(const std::string& name) { return FieldAsString(IndexOf(name)); }
    std::u16string FieldAsWideString(int i);
    std::u16string FieldAsWideString(const std::string& name) { return FieldAsWideString(IndexOf(name)); }
    int32_t FieldAsInteger(int i);
    int32_t FieldAsInteger(const std::string& name) { return FieldAsInteger(IndexOf(name)); }
    double FieldAsFloat(int i);
    double FieldAsFloat(const std::string& name) { return FieldAsFloat(IndexOf(name)); }
    TDateTime FieldAsDate(int i);
    TDateTime FieldAsDate(const std::string& name) { return FieldAsDate(IndexOf(name)); }
    // Copies up to length bytes of a LONG or LONG RAW value from offset; returns the count.
    int GetLongField(int i, void* buffer, int length, int offset);
    // A new query (named "NestedCursorQuery", owned by the caller) over the current row's cursor
    // column; Execute fetches it without parsing.
    std::unique_ptr<TOracleQuery> GetCursor(int i);
    // The timestamp of a timestamp column, showing the current row (owned by the query).
    TOracleTimestamp* TimestampField(int i);
    TOracleTimestamp* TimestampField(const std::string& name) { return TimestampField(IndexOf(name)); }
    // The column's LOB locator, showing the current row ("Field " + name + " is not a LOB").
    TLOBLocator* LOBField(int i);
    TLOBLocator* LOBField(const std::string& name) { return LOBField(IndexOf(name)); }
    // The column data itself (for the value-object classes and the data set).
    const TFieldData& FieldData(int i) const;

    // ---- variables (forwarded to Variables()) ----
    void DeclareVariable(const std::string& name, int type) { FVariables->DeclareVariable(name, type); }
    void DeclareAndSet(const std::string& name, int type, const Variant& value) {
        FVariables->DeclareAndSet(name, type, value);
    }
    void DeclareVariableCharSet(const std::string& name, int form, int id) {
        FVariables->DeclareVariableCharSet(name, form, id);
    }
    void DimPLSQLTable(const std::string& name, int tableSize, int stringSize) {
        FVariables->DimPLSQLTable(name, tableSize, stringSize);
    }
    void SetVariable(int index, const Variant& value) { FVariables->SetVariable(index, value); }
    void SetVariable(const std::string& name, const Variant& value) { FVariables->SetVariable(name, value); }
    Variant GetVariable(int index) const { return FVariables->GetVariable(index); }
    Variant GetVariable(const std::string& name) const { return FVariables->GetVariable(name); }
    void SetLongVariable(const std::string& name, void* buffer, int length) {
        FVariables->SetLongVariable(name, buffer, length);
    }
    template <class T>
    void SetComplexVariable(const std::string& name, T* object) { FVariables->SetComplexVariable(name, object); }
    void SetComplexVariable(const std::string& name, std::nullptr_t) { FVariables->SetComplexVariable(name, nullptr); }
    void* GetComplexVariable(const std::string& name) const { return FVariables->GetComplexVariable(name); }
    int VariableCount() const { return FVariables->VariableCount(); }
    std::string VariableName(int index) const { return FVariables->VariableName(index); }
    int VariableType(int index) const { return FVariables->VariableType(index); }
    int VariableCharSetID(int index) const { return FVariables->VariableCharSetID(index); }
    int VariableCharSetForm(int index) const { return FVariables->VariableCharSetForm(index); }
    bool VariableCharSetIsUTF8(int index) const { return FVariables->VariableCharSetIsUTF8(index); }
    bool VariableCharSetIsUTF16(int index) const { return FVariables->VariableCharSetIsUTF16(index); }
    int VariableIndex(const std::string& name) const { return FVariables->VariableIndex(name); }
    void DeleteVariable(const std::string& name) { FVariables->DeleteVariable(name); }
    void DeleteVariables() { FVariables->DeleteVariables(); }
    void ClearVariables() { FVariables->ClearVariables(); }

    // ---- TVariableOwner ----
    TOracleSession* VariableSession() const override { return FSession; }
    bool UseDefaultVariableCharSet() const override { return FUseDefaultCharSet || DefaultVariableCharSet; }
    void VariablesRedeclared() override;
    bool IsOracleQuery() const override { return true; }

    // ---- TOracleSessionClient ----
    void SessionClose() override;
    void SessionLoggedOn() override;
    void SessionDetach() override;

    // Handles of the open statement, for the Parts that build on statements.
    void* StatementHandle() const { return FStmt; }
    void* ErrorHandle() const { return FErrHp; }
    Cda_Def* CursorDataArea() { return &FCDA; }
    // Marks this query as the target of a cursor variable or cursor column: it must not parse.
    void MakeResultSet();

private:
    friend struct QueryInternal;
    friend class TQueryThread;
    void StartThread();
    void CheckThreadIdle() const;
    void SendBreak();
    int IndexOf(const std::string& name) const;
    int IndexOf(std::u16string_view name) const;
    TFieldData& CheckField(int i) const;
    void CheckNotEof() const;

    // execution internals (OracleQuery.cpp)
    void Open();
    void CloseStatement();
    void Parse(bool deferred);
    void BindVariables();
    void ExecuteOnce(int& start, int& end, bool describe, bool deferred, int& rows);
    void RunExecute(int index, int count, bool describe, bool deferred, int& total);
    [[noreturn]] void Raise();
    void ComputeErrorPosition();
    void UpdateResults();
    void AutoClose();
    bool Check8(int32_t status);
    int32_t Status() const;
    void ShowDebug();
    void EnsureMonitorId();
    void SyncComplexVariables();

    // fetching internals (OracleQueryFields.cpp)
    void DescribeColumns();
    void DefineColumns();
    void FreeFields();
    void FreeField(TFieldData& f);
    void PrepareFetch();
    void RewindLOBs();
    void AttachValueObjects();
    void ScrollTo(int absolute, bool backward, bool last, const char* op);
    void CheckScroll(const char* op);
    std::string LongData(int i);       // the whole LONG / LONG RAW value of the current row
    Variant LongText(int i);           // as text: UTF-16 for a UTF-8 column, else 8-bit
    std::string RefHex(const TFieldData& f) const;   // the current row's REF in hexadecimal
    int32_t FieldRowsProcessed();
    Variant NullResult() const;
    void FetchBlock(int rows);         // one fetch of rows (OCI8 next / OCI7 ofen); raises on failure

    TStringList FSQL;
    TOracleSession* FSession = nullptr;
    std::unique_ptr<TVariables> FVariables;
    int FReadBuffer = 25;
    bool FOptimize = true;
    bool FStringFieldsOnly = false;
    bool FNoDateStringFields = false;
    bool FNoNumberStringFields = false;
    bool FUseDefaultCharSet = false;

    // run-time state
    void* FErrHp = nullptr;
    void* FSecErrHp = nullptr;
    void* FRowIdDesc = nullptr;
    void* FStmt = nullptr;
    Cda_Def FCDA{};
    int32_t FLastOCIError = 0;
    bool FLastWasOCI7 = false;
    int FFunctionType = 0;
    std::string FParsedSQL;
    bool FOpened = false;
    bool FDescribed = false;
    bool FResultSet = false;
    int FArrayBindSize = 0;
    TQueryState FState = qsIdle;
    int FUsedCache = 0;
    int FCacheIndex = 0;
    int FCached = 0;
    bool FEof = true;
    bool FUsedScrollable = false;
    int FRowsProcessed = 0;
    int FWarningFlags = 0;
    std::string FRowId;
    int FErrorLine = 0;
    int FErrorPosition = 0;
    bool FCallAfterQuery = false;
    bool FCursorShown = false;
    int FMonitorId = 0;
    int FSavedCursor = 0;
    void* FPendingRowId = nullptr;   // the rowid descriptor kept past closing until it is read
    std::vector<std::unique_ptr<uint16_t[]>> FBindLengths;   // lengths of bound UTF-16 arrays
    std::deque<void*> FBindDescriptors;   // descriptor pointers of bound timestamps
    bool FRowIdPending = false;      // FRowId not read from the descriptor yet
    std::vector<std::unique_ptr<TFieldData>> FFields;
    bool FRowObjects = false;   // a column shows its row through a value object (LOB, timestamp, object, REF)
    std::unique_ptr<TQueryThread> FThread;
};

} // namespace quorvel
