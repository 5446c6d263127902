// TOracleQuery: opening, parsing, binding, executing, results, closing and raising.
// The select-list side (describe, define, fetch, field values) is in OracleQueryFields.cpp.
#include "oracle/query/OracleQuery.h"

#include <algorithm>
#include <cstring>

#include "base/CodePage.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleLob.h"
#include "oracle/query/QueryInternal.h"
#include "oracle/query/QueryThread.h"
#include "oracle/query/SqlText.h"
#include "oracle/session/OracleTimestamp.h"
#include "oracle/session/SessionPreferences.h"
#include "platform/ClientFiles.h"
#include "platform/UIServices.h"

namespace quorvel {

bool DisableOptimize = true;
int InitialLongPieceSize = 4096;
int MaxLongPieceSize = 32768;
int32_t LongDefineSize = 2147483647;
bool WideRowIdFields = false;
std::function<void(TOracleQuery& query)> QueryDebugHook;
TQueryMonitor* QueryMonitor = nullptr;

namespace {

std::atomic<int> GMonitorIds{0};

constexpr ub4 kAttrPrefetchRows = 11;
constexpr ub4 kAttrPrefetchMemory = 13;
constexpr ub4 kAttrCharsetId = 31;
constexpr ub4 kAttrCharsetForm = 32;
constexpr ub4 kAttrParseErrorOffset = 129;
constexpr ub4 kAttrParseErrorOffsetOld = 128;

// Function types whose statement, binds and defines can be reused by an unchanged execution.
bool ReusableFunctionType(int ft) {
    switch (ft) {
    case 3: case 4: case 5: case 9: case 33: case 34: case 35: case 54: case 55: case 56: return true;
    default: return false;
    }
}

std::string RecordText(int count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Life

TOracleQuery::TOracleQuery(TComponent* owner) : TComponent(owner), FVariables(std::make_unique<TVariables>(this)) {}

TOracleQuery::~TOracleQuery() {
    FThread.reset();   // a running worker is terminated, resumed and waited for
    if (FSession) FSession->Queries.Remove(this);
    try {
        FreeFields();
        Close();
    } catch (...) {
    }
    FFields.clear();
    if (FPendingRowId && OCILoaded()) OCI.OCIDescriptorFree(FPendingRowId, OCI_DTYPE_ROWID);
    if (FMonitorId && QueryMonitor) QueryMonitor->QueryDestroyed(FMonitorId);
}

void TOracleQuery::EnsureMonitorId() {
    if (FMonitorId || !QueryMonitor) return;
    FMonitorId = QueryInternal::NextMonitorId();
    QueryMonitor->QueryCreated(FMonitorId, 0, 0, Name());
}

void TOracleQuery::SetSession(TOracleSession* session) {
    if (session == FSession) return;
    if (FSession) {
        try {
            Close();
        } catch (...) {
        }
        FSession->Queries.Remove(this);
    }
    FSession = session;
    if (FSession) FSession->Queries.Add(this);
    if (UseDefaultVariableCharSet()) FVariables->RestampCharSets(true);
}

void TOracleQuery::SessionClose() {
    try {
        Close();
    } catch (...) {
    }
}

void TOracleQuery::SessionLoggedOn() { FVariables->RestampCharSets(true); }

void TOracleQuery::SessionDetach() {
    // The session is going away: what ran on its connection is gone with it.
    FFields.clear();
    FStmt = FErrHp = FSecErrHp = FRowIdDesc = nullptr;
    std::memset(&FCDA, 0, sizeof FCDA);
    FOpened = false;
    FParsedSQL.clear();
    FDescribed = false;
    FEof = true;
    FSession = nullptr;
}

void TOracleQuery::VariablesRedeclared() {
    if (FSession && FSession->POLite()) {
        try {
            Close();
        } catch (...) {
        }
    }
    FParsedSQL.clear();
}

void TOracleQuery::SetUseDefaultVariableCharSet(bool v) {
    if (v == FUseDefaultCharSet) return;
    FUseDefaultCharSet = v;
    FVariables->RestampCharSets(false);
}

void TOracleQuery::SetReadBuffer(int v) {
    FReadBuffer = v < 1 ? 1 : v;
    FParsedSQL.clear();
}

void TOracleQuery::SetStringFieldsOnly(bool v) {
    FStringFieldsOnly = v;
    FParsedSQL.clear();
}

void TOracleQuery::SetNoDateStringFields(bool v) {
    FNoDateStringFields = v;
    FParsedSQL.clear();
}

void TOracleQuery::SetNoNumberStringFields(bool v) {
    FNoNumberStringFields = v;
    FParsedSQL.clear();
}

std::u16string TOracleQuery::WideSQL() const { return AnsiToUtf16(FSQL.Text()); }

void TOracleQuery::SetWideSQL(std::u16string_view text) { FSQL.SetText(Utf16ToAnsi(text)); }

void TOracleQuery::Clear() {
    FVariables->DeleteVariables();
    FSQL.Clear();
    FParsedSQL.clear();
    FDescribed = false;
    FResultSet = false;
}

void TOracleQuery::MakeResultSet() { FResultSet = true; }

std::string TOracleQuery::SubstitutedSQL() const {
    const std::string text = FSQL.Text();
    bool any = false;
    for (int i = 0; i < FVariables->Count() && !any; ++i) any = FVariables->Data(i).buftype == otSubst;
    if (!any) return text;
    return SubstituteVariables(text, [this](const std::string& name) -> std::optional<std::string> {
        const int i = FVariables->VariableIndex(name);
        if (i < 0 || FVariables->Data(i).buftype != otSubst) return std::nullopt;
        const Variant v = FVariables->GetVariable(i);
        if (v.IsNullOrUnassigned()) return std::string();
        return v.ToString();
    });
}

// ------------------------------------------------------------------------------------------------
// Status and raising

bool TOracleQuery::Check8(int32_t status) {
    FLastOCIError = status;
    FLastWasOCI7 = false;
    return Status() == 0;
}

int32_t TOracleQuery::Status() const {
    switch (FLastOCIError) {
    case OCI_SUCCESS:
    case OCI_SUCCESS_WITH_INFO:
    case OCI_NEED_DATA: return 0;
    case OCI_NO_DATA: return 1403;
    case OCI_ERROR:
    case OCI_INVALID_HANDLE: {
        sb4 code = 0;
        if (FErrHp && OCI.OCIErrorGet)
            OCI.OCIErrorGet(FErrHp, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR);
        return code;
    }
    default: return FLastOCIError;
    }
}

int TOracleQuery::ReturnCode() const {
    if (FSession && !FSession->UseOCI80()) return FCDA.rc;
    return Status();
}

void TOracleQuery::Raise() {
    if (FCursorShown) {
        FCursorShown = false;
        QueryInternal::RestoreCursor(*this);
    }
    if (FCallAfterQuery) {
        FCallAfterQuery = false;
        if (AfterQuery) AfterQuery(*this);
    }
    const bool oci8 = FSession && FSession->UseOCI80();
    RaiseOracleError(FSession, oci8 ? TOracleErrorSource::FromHandle(FErrHp) : TOracleErrorSource::FromReturnCode(FCDA.rc),
                     this);
}

void TOracleQuery::ComputeErrorPosition() {
    int offset = 0;
    if (FSession && FSession->UseOCI80()) {
        ub2 peo = 0;
        if (FStmt)
            OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &peo, nullptr, HasOCI81 ? kAttrParseErrorOffset : kAttrParseErrorOffsetOld,
                           static_cast<OCIError*>(FSecErrHp));
        offset = peo;
    } else {
        offset = FCDA.peo;
    }
    QueryInternal::ErrorPositionIn(FParsedSQL, offset, FErrorLine, FErrorPosition);
}

void QueryInternal::ErrorPositionIn(const std::string& parsed, int offset, int& line, int& position) {
    if (offset > int(parsed.size())) offset = int(parsed.size());
    if (offset < 0) offset = 0;
    int l = 0, c = 0;
    for (int i = 0; i < offset; ++i) {
        if (parsed[size_t(i)] == '\n') {
            ++l;
            c = 0;
        } else {
            ++c;
        }
    }
    line = l + 1;
    position = c + 1;
}

// ------------------------------------------------------------------------------------------------
// Opening and closing

void TOracleQuery::Open() {
    if (FOpened) return;
    if (FSession->UseOCI80()) {
        void* env = FSession->EnvHandle();
        FSession->Check(OCI.OCIHandleAlloc(env, &FErrHp, OCI_HTYPE_ERROR, 0, nullptr), this);
        FSession->Check(OCI.OCIHandleAlloc(env, &FSecErrHp, OCI_HTYPE_ERROR, 0, nullptr), this);
        FSession->Check(OCI.OCIDescriptorAlloc(env, &FRowIdDesc, OCI_DTYPE_ROWID, 0, nullptr), this);
    } else if (!FResultSet) {
        FSession->Acquire(true);
        std::memset(&FCDA, 0, sizeof FCDA);
        OCI.oopen(&FCDA, FSession->LDA(), nullptr, -1, -1, nullptr, -1);
        FLastWasOCI7 = true;
        if (FCDA.rc != 0) Raise();
        FSession->Release(true);
    }
    FOpened = true;
}

void TOracleQuery::CloseStatement() {
    if (!FSession || !FSession->Connected() || !FOpened) return;
    FOpened = false;
    FParsedSQL.clear();
    FDescribed = false;
    FEof = true;
    if (FSession->UseOCI80()) {
        if (FStmt) {
            if (QueryInternal::StatementsCached(*FSession) && OCI.OCIStmtRelease)
                OCI.OCIStmtRelease(static_cast<OCIStmt*>(FStmt), static_cast<OCIError*>(FErrHp), nullptr, 0, OCI_DEFAULT);
            else
                OCI.OCIHandleFree(FStmt, OCI_HTYPE_STMT);
            FStmt = nullptr;
        }
        for (auto& f : FFields) f->defnp = nullptr;
        if (FErrHp) OCI.OCIHandleFree(FErrHp, OCI_HTYPE_ERROR);
        if (FSecErrHp) OCI.OCIHandleFree(FSecErrHp, OCI_HTYPE_ERROR);
        if (FRowIdDesc) {
            // A rowid not read yet stays readable after closing.
            if (FRowIdPending && !FPendingRowId)
                FPendingRowId = FRowIdDesc;
            else
                OCI.OCIDescriptorFree(FRowIdDesc, OCI_DTYPE_ROWID);
        }
        FErrHp = FSecErrHp = FRowIdDesc = nullptr;
    } else {
        FSession->Acquire(true);
        if (!FResultSet || FCDA.rc == 0) OCI.oclose(&FCDA);
        std::memset(&FCDA, 0, sizeof FCDA);
        FSession->Release(true);
    }
    for (int i = 0; i < FVariables->Count(); ++i) {
        FVariables->Data(i).bindhp = nullptr;
        FVariables->Data(i).bindbuf = nullptr;
    }
}

void TOracleQuery::Close() {
    if (FSession && FSession->Connected() && FOpened) {
        CloseStatement();
    }
    FreeFields();
}

// ------------------------------------------------------------------------------------------------
// Parsing

void TOracleQuery::Parse(bool deferred) {
    FErrorPosition = FErrorLine = 0;
    Open();
    if (FResultSet) {
        FFunctionType = 4;
        FDescribed = false;
        FSession->LastSQL.clear();
        return;
    }
    std::string bytes = SqlTextToParseBytes(SubstitutedSQL(), NLSLangIsUTF8());
    const bool oci8 = FSession->UseOCI80();
    if (oci8) {
        bool always = FArrayBindSize > 1;
        for (int i = 0; i < FVariables->Count() && !always; ++i) {
            const TVariableData& v = FVariables->Data(i);
            always = v.buftype == otLong || v.buftype == otLongRaw || v.IsPLSQLTable || v.ArraySize > 1;
        }
        if (always) FParsedSQL.clear();
    }
    if (Optimize() && !FParsedSQL.empty() && FParsedSQL == bytes && ReusableFunctionType(FFunctionType)) return;

    FreeFields();
    FParsedSQL = std::move(bytes);
    FSession->Acquire(true);
    FFunctionType = 0;
    if (oci8) {
        const bool cached = QueryInternal::StatementsCached(*FSession) && OCI.OCIStmtPrepare2;
        auto* err = static_cast<OCIError*>(FErrHp);
        if (cached) {
            if (FStmt) OCI.OCIStmtRelease(static_cast<OCIStmt*>(FStmt), err, nullptr, 0, OCI_DEFAULT);
            FStmt = nullptr;
        } else {
            if (FStmt) OCI.OCIHandleFree(FStmt, OCI_HTYPE_STMT);
            FStmt = nullptr;
            FSession->Check(OCI.OCIHandleAlloc(FSession->EnvHandle(), &FStmt, OCI_HTYPE_STMT, 0, nullptr), this);
        }
        for (int i = 0; i < FVariables->Count(); ++i) FVariables->Data(i).bindhp = nullptr;
        const auto* text = reinterpret_cast<const OraText*>(FParsedSQL.data());
        const ub4 length = ub4(FParsedSQL.size());
        bool ok;
        if (cached) {
            OCIStmt* stmt = nullptr;
            ok = Check8(OCI.OCIStmtPrepare2(static_cast<OCISvcCtx*>(FSession->ServiceContext()), &stmt, err, text, length,
                                            nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
            FStmt = stmt;
        } else {
            ok = Check8(OCI.OCIStmtPrepare(static_cast<OCIStmt*>(FStmt), err, text, length, OCI_NTV_SYNTAX, OCI_DEFAULT));
        }
        if (ok) {
            ub4 zero = 0;
            OCI.OCIAttrSet(FStmt, OCI_HTYPE_STMT, &zero, 4, kAttrPrefetchRows, err);
            OCI.OCIAttrSet(FStmt, OCI_HTYPE_STMT, &zero, 4, kAttrPrefetchMemory, err);
            ub2 type = 0;
            ok = Check8(OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err));
            if (ok) FFunctionType = FunctionTypeFromStatementType(type);
        }
        if (!ok) {
            FParsedSQL.clear();
            Raise();
        }
    } else {
        OCI.oparse(&FCDA, reinterpret_cast<text*>(FParsedSQL.data()), -1, deferred ? 1 : 0, 2);
        FLastWasOCI7 = true;
        if (FCDA.rc != 0) {
            ComputeErrorPosition();
            FParsedSQL.clear();
            Raise();
        }
        FFunctionType = FCDA.ft;
    }
    FSession->Release(true);
    FDescribed = false;
}

// ------------------------------------------------------------------------------------------------
// Binding

void TOracleQuery::BindVariables() {
    FArrayBindSize = 0;
    FBindLengths.clear();
    FBindDescriptors.clear();
    if (FResultSet) return;
    const bool oci8 = FSession->UseOCI80();
    auto* err = static_cast<OCIError*>(FErrHp);
    for (int i = 0; i < FVariables->Count(); ++i) {
        TVariableData& v = FVariables->Data(i);
        if (v.buftype == otSubst) continue;
        ub2 external = ub2(v.buftype);
        ub2* lengths = nullptr;
        void* value = v.buf;
        sb2* indicators = v.indp.data();
        ub1 lobForm = 0;   // a national CLOB locator binds with its form
        const bool utf16 = IsUTF16CharSetID(v.CharSetID);
        if ((v.buftype == otLong || v.buftype == otLongRaw) && v.bufsize <= 65535) lengths = reinterpret_cast<ub2*>(&v.len);
        if (utf16 && IsStringType(v.buftype)) {
            if (v.buftype != otPLSQLString) external = SQLT_CHR;
            lengths = QueryInternal::Utf16Lengths(*this, v);
        }
        sb4 valueSize = v.bufsize;
        // Without a length a LONG is sent with its value size: its text length, not the buffer
        // with its terminating zero byte.
        if ((v.buftype == otLong || v.buftype == otLongRaw) && !lengths && v.len >= 0 && v.len < v.bufsize)
            valueSize = v.len;
        switch (v.buftype) {
        case otPLSQLString: external = SQLT_STR; break;
        case otObject:
            CheckOCI8(FSession, "An object variable");
            if (!v.buf) throw Exception("Object variable " + v.name + " cannot be nil");
            throw Exception("Object variable " + v.name + ": object instances cannot be bound yet");
        case otReference:
            CheckOCI8(FSession, "A reference variable");
            if (!v.buf) throw Exception("Reference variable " + v.name + " cannot be nil");
            throw Exception("Reference variable " + v.name + ": references cannot be bound yet");
        case otCLOB:
        case otBLOB:
        case otBFile:
            CheckOCI8(FSession, "A LOB Locator variable");
            if (!v.buf) throw Exception("LOB variable " + v.name + " cannot be nil");
            {
                auto* lob = static_cast<TLOBLocator*>(v.buf);
                value = lob->LocatorAddress();
                valueSize = sb4(sizeof(void*));
                v.indp[0] = lob->IsNull() ? -1 : 0;
                if (v.buftype == otCLOB && lob->NCLOB()) lobForm = 2;
            }
            break;
        case otCursor: {
            auto* target = static_cast<TOracleQuery*>(v.buf);
            if (!target) throw Exception("Cursor variable " + v.name + " cannot be nil");
            if (target->FSession != FSession) target->SetSession(FSession);
            target->Close();
            target->Clear();
            target->MakeResultSet();
            if (oci8) {
                target->Open();
                if (target->FStmt) OCI.OCIHandleFree(target->FStmt, OCI_HTYPE_STMT);
                target->FStmt = nullptr;
                FSession->Check(OCI.OCIHandleAlloc(FSession->EnvHandle(), &target->FStmt, OCI_HTYPE_STMT, 0, nullptr), this);
                ub4 zero = 0;
                OCI.OCIAttrSet(target->FStmt, OCI_HTYPE_STMT, &zero, 4, kAttrPrefetchRows, err);
                OCI.OCIAttrSet(target->FStmt, OCI_HTYPE_STMT, &zero, 4, kAttrPrefetchMemory, err);
                value = &target->FStmt;
                valueSize = 0;
            } else {
                std::memset(&target->FCDA, 0, sizeof target->FCDA);
                value = &target->FCDA;
                external = SQLT_CUR;
                valueSize = sb4(sizeof(Cda_Def));
            }
            target->FOpened = true;
            break;
        }
        case otTimestamp:
        case otTimestampTZ:
        case otTimestampLTZ: {
            CheckOCI8(FSession, "A Timestamp variable");
            auto* ts = static_cast<TOracleTimestamp*>(v.buf);
            if (!ts) {
                // A plain date-time: bound through a timestamp made for this execution.
                v.tsp = std::make_shared<TOracleTimestamp>(FSession, v.buftype);
                if (v.indp[0] == -1)
                    v.tsp->Clear();
                else
                    v.tsp->SetAsDateTime(v.tsv);
                ts = v.tsp.get();
            }
            FBindDescriptors.push_back(ts->Descriptor());
            value = &FBindDescriptors.back();
            valueSize = sb4(sizeof(void*));
            v.indp[0] = ts->IsNull() ? -1 : 0;
            break;
        }
        default: break;
        }
        // Array size.
        ub4 maxElements = 0;
        ub4* current = nullptr;
        if (v.IsPLSQLTable) {
            FArrayBindSize = 1;
            maxElements = ub4(v.ArraySize);
            current = reinterpret_cast<ub4*>(&v.PLSQLTableElemCount);
        } else if (FArrayBindSize == 0) {
            FArrayBindSize = v.ArraySize;
        } else if (FArrayBindSize != v.ArraySize) {
            throw Exception("All arrays must be of equal size for Array DML");
        }
        if ((external == SQLT_CHR || external == SQLT_STR || external == SQLT_AVC) && v.buftype != otPLSQLString) {
            const int cap = (v.CharSetForm == 2 ? FSession->MaxVarcharN() : FSession->MaxVarchar()) + 1;
            if (valueSize > cap) valueSize = cap;
        }
        if (oci8) {
            if (v.bindhp && value == v.bindbuf) continue;
            v.bindbuf = value;
            OCIBind* bind = v.bindhp;
            bool ok = Check8(OCI.OCIBindByName(static_cast<OCIStmt*>(FStmt), &bind, err,
                                               reinterpret_cast<const OraText*>(v.name.c_str()), -1, value, valueSize,
                                               external, indicators, lengths, nullptr, maxElements, current, OCI_DEFAULT));
            v.bindhp = bind;
            if (ok && lobForm != 0) ok = Check8(OCI.OCIAttrSet(bind, OCI_HTYPE_BIND, &lobForm, 1, kAttrCharsetForm, err));
            if (ok && v.CharSetID != 0) {
                ub1 form = v.CharSetForm;
                ub2 id = v.CharSetID;
                ok = Check8(OCI.OCIAttrSet(bind, OCI_HTYPE_BIND, &form, 1, kAttrCharsetForm, err)) &&
                     Check8(OCI.OCIAttrSet(bind, OCI_HTYPE_BIND, &id, 2, kAttrCharsetId, err));
            }
            if (!ok) {
                v.bindhp = nullptr;
                v.bindbuf = nullptr;
                Raise();
            }
        } else {
            FSession->Acquire(true);
            OCI.obndra(&FCDA, reinterpret_cast<text*>(const_cast<char*>(v.name.c_str())), -1, static_cast<ub1*>(value),
                       valueSize, external, -1, indicators, lengths, nullptr, maxElements, current, nullptr, -1, -1);
            FLastWasOCI7 = true;
            if (FCDA.rc != 0) Raise();
            FSession->Release(true);
        }
    }
}

// ------------------------------------------------------------------------------------------------
// Executing

void TOracleQuery::Execute() {
    if (Threaded) {
        StartThread();
        return;
    }
    ExecuteArray(-1, -1);
}

int TOracleQuery::ExecuteArray(int index, int count) {
    int total = 0;
    RunExecute(index, count, false, true, total);
    return total;
}

void TOracleQuery::Describe() {
    CheckThreadIdle();
    int total = 0;
    RunExecute(-1, -1, true, true, total);
}

void TOracleQuery::DescribeFull() {
    CheckThreadIdle();
    int total = 0;
    RunExecute(-1, -1, true, false, total);
}

void TOracleQuery::RunExecute(int index, int count, bool describe, bool deferred, int& total) {
    if (count == 0) return;
    struct StateReset {
        TOracleQuery& q;
        ~StateReset() { q.FState = qsIdle; }
    } reset{*this};
    FState = qsExecuting;
    if (BeforeQuery) BeforeQuery(*this);
    FCallAfterQuery = true;
    const bool all = index == -1 && count == -1;
    int start = all ? 0 : index;
    int end = all ? 0 : index + count;
    for (;;) {
        int rows = 0;
        try {
            ExecuteOnce(start, end, describe, deferred, rows);
            total += rows;
            break;
        } catch (const EOracleError& e) {
            if (end == 0) end = FArrayBindSize;
            rows = QueryInternal::RowsAfterFailure(*this);
            start += rows + 1;
            total += rows;
            if (OnArrayError) {
                bool goOn = true;
                OnArrayError(*this, start - 1, e.ErrorCode(), e.Message(), goOn);
                if (!goOn) break;
            } else if (all) {
                throw;
            } else {
                break;
            }
            if (start >= end) break;
        }
    }
    if (FEof && FCallAfterQuery) {
        FCallAfterQuery = false;
        if (AfterQuery) AfterQuery(*this);
    }
}

void TOracleQuery::ExecuteOnce(int& start, int& end, bool describe, bool deferred, int& rows) {
    if (!FSession) throw Exception("Session undefined");
    FSession->ResetInTransaction();
    FUsedScrollable = Scrollable && HasOCI9 && FSession->UseOCI80();
    if (QueryMonitor) {
        EnsureMonitorId();
        std::string vars;
        for (int i = 0; i < FVariables->Count(); ++i)
            vars += FVariables->Data(i).name + " = " + FVariables->Data(i).DisplayString(FSession) + "\r\n";
        QueryMonitor->ActivityStart(FMonitorId, describe ? "Query.Describe" : "Query.Execute", SubstitutedSQL(), vars);
    }
    try {
        ub4 mode = describe ? OCI_DESCRIBE_ONLY : (FSession->AutoCommit() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
        FEof = true;
        if (!OCILoaded()) {
            platform::ScopedCursor busy(Cursor);
            // Personal Oracle Lite releases other than 3.5 speak through the 7.3 client.
            if (FSession->POLite() && !FSession->POLite35() && OCIDLL.empty()) OCIDLL = platform::NativeClientName("ora73.dll");
            EnsureOCILoaded();
        }
        if (!FSession->Connected()) throw Exception("Not logged on");
        if (Debug && !describe && !FResultSet) ShowDebug();
        QueryInternal::ShowCursor(*this);
        Parse(deferred);
        const bool oci8 = FSession->UseOCI80();
        auto* err = static_cast<OCIError*>(FErrHp);
        auto* svc = static_cast<OCISvcCtx*>(FSession->ServiceContext());
        if (FFunctionType == 4) {
            BindVariables();
            int n = 0;
            if (oci8) {
                if (!FResultSet && !(describe && FDescribed)) {
                    if (FDescribed && !describe) {
                        n = FUsedCache;
                        PrepareFetch();
                    }
                    ub4 m = mode & ~ub4(OCI_COMMIT_ON_SUCCESS);
                    if (FUsedScrollable) m |= OCI_STMT_SCROLLABLE_READONLY;
                    const sword st = OCI.OCIStmtExecute(svc, static_cast<OCIStmt*>(FStmt), err, ub4(n), 0, nullptr, nullptr, m);
                    Check8(st);
                    const int32_t code = Status();
                    if (code != 0 && code != 1403 && code != 1406) {
                        ComputeErrorPosition();
                        FParsedSQL.clear();
                        Raise();
                    }
                }
            }
            if (!FDescribed) {
                DescribeColumns();
                DefineColumns();
            }
            if (describe) {
                QueryInternal::RestoreCursor(*this);
                FCacheIndex = FCached = 0;
                FEof = true;
            } else {
                FSession->Acquire(true);
                int32_t code;
                if (!oci8) {
                    if (FResultSet)
                        OCI.ofen(&FCDA, FUsedCache);
                    else
                        OCI.oexfet(&FCDA, ub4(FUsedCache), 0, 0);
                    FLastWasOCI7 = true;
                    code = FCDA.rc;
                } else {
                    if (n == 0) {
                        PrepareFetch();
                        sword st;
                        if (HasOCI9 && OCI.OCIStmtFetch2)
                            st = OCI.OCIStmtFetch2(static_cast<OCIStmt*>(FStmt), err, ub4(FUsedCache), OCI_FETCH_NEXT, 0,
                                                   OCI_DEFAULT);
                        else
                            st = OCI.OCIStmtFetch(static_cast<OCIStmt*>(FStmt), err, ub4(FUsedCache), OCI_FETCH_NEXT,
                                                  OCI_DEFAULT);
                        Check8(st);
                    }
                    code = Status();
                }
                FResultSet = false;
                if (code != 0 && code != 1403 && code != 1406) {
                    if (!oci8) {
                        ComputeErrorPosition();
                        FParsedSQL.clear();
                    }
                    Raise();
                }
                FSession->Release(true);
                FCacheIndex = 0;
                FCached = FieldRowsProcessed();
                FEof = FCached == 0;
                if (!FEof) AttachValueObjects();
                QueryInternal::RestoreCursor(*this);
            }
        } else {
            BindVariables();
            FSession->Acquire(true);
            int offset = start;
            int iterations = end;
            if (FArrayBindSize <= 1) {
                offset = 0;
                iterations = 1;
            } else if (iterations <= 0) {
                offset = 0;
                iterations = FArrayBindSize;
            } else if (iterations > FArrayBindSize) {
                // Elements beyond the bound arrays do not exist: the client must not read them.
                iterations = FArrayBindSize;
            }
            start = offset;
            end = iterations;
            if (!describe && offset < iterations) {
                bool failed;
                if (oci8) {
                    Check8(OCI.OCIStmtExecute(svc, static_cast<OCIStmt*>(FStmt), err, ub4(iterations), ub4(offset), nullptr,
                                              nullptr, mode));
                    failed = Status() != 0;
                    ub2 fn = 0;
                    if (OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &fn, nullptr, OCI_ATTR_SQLFNCODE,
                                       static_cast<OCIError*>(FSecErrHp)) == OCI_SUCCESS &&
                        !failed)
                        FFunctionType = fn;
                } else {
                    OCI.oexn(&FCDA, iterations, offset);
                    FLastWasOCI7 = true;
                    failed = FCDA.rc != 0;
                    if (!failed) FFunctionType = FCDA.ft;
                }
                if (failed) {
                    ComputeErrorPosition();
                    FParsedSQL.clear();
                    Raise();
                }
            }
            FSession->Release(true);
            QueryInternal::RestoreCursor(*this);
        }
        if (oci8) SyncComplexVariables();
        UpdateResults();
        rows = FRowsProcessed;
        if (QueryMonitor) {
            std::string text;
            if (FFunctionType == 3 || FFunctionType == 4 || FFunctionType == 5 || FFunctionType == 9)
                text = " (" + RecordText(FRowsProcessed) + " processed)";
            QueryMonitor->ActivityEnd(FMonitorId, false, text, FFunctionType + 256 * int(FSession->OptimizerGoal()));
        }
        AutoClose();
    } catch (const Exception& e) {
        QueryInternal::RestoreCursor(*this);
        if (QueryMonitor) QueryMonitor->ActivityEnd(FMonitorId, true, e.Message(), FFunctionType);
        throw;
    }
}

void TOracleQuery::SyncComplexVariables() {
    // Timestamps take what the execution left in their descriptors. (Object, reference and LOB
    // variables follow once their value objects can be bound, see BindVariables.)
    for (int i = 0; i < FVariables->Count(); ++i) {
        TVariableData& v = FVariables->Data(i);
        if ((v.buftype == otCLOB || v.buftype == otBLOB || v.buftype == otBFile) && v.buf) {
            // A null value coming back makes the locator null.
            auto* lob = static_cast<TLOBLocator*>(v.buf);
            if (v.indp[0] != 0) {
                if (!lob->IsNull()) lob->Clear();
                v.indp[0] = 0;
            }
            continue;
        }
        if (v.buftype != otTimestamp && v.buftype != otTimestampTZ && v.buftype != otTimestampLTZ) continue;
        auto* ts = v.buf ? static_cast<TOracleTimestamp*>(v.buf) : v.tsp.get();
        if (!ts) continue;
        if (v.indp[0] != 0) {
            if (!ts->IsNull()) ts->Clear();
            if (v.buf) v.indp[0] = 0;
        } else {
            ts->SetNullFlag(false);
        }
        if (!v.buf) {
            v.tsv = ts->IsNull() ? TDateTime{0} : ts->AsDateTime();
            v.tsp.reset();
        }
    }
}

const std::string& TOracleQuery::RowId() {
    if (FRowIdPending) {
        FRowIdPending = false;
        void* desc = FPendingRowId ? FPendingRowId : FRowIdDesc;
        if (desc && FSession && FSession->Connected()) FRowId = QueryInternal::RowIdFromDescriptor(*this, desc);
        if (FPendingRowId) {
            OCI.OCIDescriptorFree(FPendingRowId, OCI_DTYPE_ROWID);
            FPendingRowId = nullptr;
        }
    }
    return FRowId;
}

void TOracleQuery::UpdateResults() {
    FRowsProcessed = 0;
    FWarningFlags = 0;
    FRowId.clear();
    FRowIdPending = false;
    if (FPendingRowId) {
        OCI.OCIDescriptorFree(FPendingRowId, OCI_DTYPE_ROWID);
        FPendingRowId = nullptr;
    }
    if (!FSession || !FSession->Connected()) return;
    if (FSession->UseOCI80()) {
        ub4 count = 0;
        if (FStmt)
            OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, static_cast<OCIError*>(FSecErrHp));
        FRowsProcessed = int(count);
        FWarningFlags = FLastOCIError == OCI_SUCCESS_WITH_INFO ? 33 : 0;
        // The descriptor is filled now; its text is read when RowId is asked for.
        if (FStmt && FRowIdDesc && FFunctionType != 4 &&
            OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, FRowIdDesc, nullptr, OCI_ATTR_ROWID, static_cast<OCIError*>(FSecErrHp)) ==
                OCI_SUCCESS)
            FRowIdPending = true;
    } else {
        FRowsProcessed = int(FCDA.rpc);
        FWarningFlags = FCDA.wrn;
        FRowId = RowIdText(FCDA.rid.rd.rcs4, FCDA.rid.rd.rcs5, FCDA.rid.rcs7, FCDA.rid.rcs8);
    }
}

std::string RowIdText(uint32_t object, uint32_t file, uint32_t block, uint32_t row) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (object != 0) {
        std::string s(18, 'A');
        auto put = [&](int at, int width, uint64_t value) {
            for (int i = width - 1; i >= 0; --i) {
                s[size_t(at + i)] = digits[value & 63];
                value >>= 6;
            }
        };
        put(0, 6, object);
        put(6, 3, file);
        put(9, 6, block);
        put(15, 3, row);
        return s;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%8.8x.%4.4x.%4.4x", block, row & 0xFFFF, file & 0xFFFF);
    return text;
}

void TOracleQuery::AutoClose() {
    const bool reusable = FSession && !QueryInternal::StatementsCached(*FSession) && Optimize();
    if (reusable) return;
    if (FFunctionType == 4 && !(FEof && !Scrollable)) return;
    for (auto& f : FFields)
        if (f->buftype == uint16_t(otCursor)) return;
    CloseStatement();
}

void TOracleQuery::ShowDebug() {
    if (QueryDebugHook) {
        QueryDebugHook(*this);
        return;
    }
    std::string text = FSQL.Text();
    for (int i = 0; i < FVariables->Count(); ++i) {
        const TVariableData& v = FVariables->Data(i);
        text += "\r" + v.name + " = " + v.DisplayString(FSession);
    }
    platform::UIServices().MessageBox(text, "Debug", platform::MessageKind::Information, platform::MessageButtons::OK);
}

} // namespace quorvel

namespace quorvel {

int QueryInternal::NextMonitorId() { return ++GMonitorIds; }

bool QueryInternal::StatementsCached(TOracleSession& session) {
    return session.UseOCI80() && HasOCI92 && !session.Shared() && session.StatementCache();
}

void QueryInternal::ShowCursor(TOracleQuery& q) {
    if (q.Cursor == platform::crDefault || q.FCursorShown) return;
    q.FSavedCursor = platform::UIServices().Cursor();
    platform::UIServices().SetCursor(q.Cursor);
    q.FCursorShown = true;
}

void QueryInternal::RestoreCursor(TOracleQuery& q) {
    if (!q.FCursorShown) return;
    q.FCursorShown = false;
    platform::UIServices().SetCursor(q.FSavedCursor);
}

ub2* QueryInternal::Utf16Lengths(TOracleQuery& q, TVariableData& v) {
    if (v.ArraySize <= 1 && !v.IsPLSQLTable) return reinterpret_cast<ub2*>(&v.len);
    // One length per element: the bytes up to the first zero code unit of each element.
    auto lengths = std::make_unique<uint16_t[]>(size_t(v.ArraySize));
    const int units = v.bufsize / 2;
    for (int e = 0; e < v.ArraySize; ++e) {
        const auto* p = static_cast<const uint8_t*>(v.buf) + size_t(e) * size_t(v.bufsize);
        int n = 0;
        while (n < units && (p[2 * n] | p[2 * n + 1]) != 0) ++n;
        lengths[size_t(e)] = uint16_t(std::min(2 * n, 65535));
    }
    q.FBindLengths.push_back(std::move(lengths));
    return q.FBindLengths.back().get();
}

int QueryInternal::RowsAfterFailure(TOracleQuery& q) {
    if (!q.FSession || !q.FSession->Connected()) return 0;
    if (!q.FSession->UseOCI80()) return int(q.FCDA.rpc);
    ub4 count = 0;
    if (q.FStmt)
        OCI.OCIAttrGet(q.FStmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, static_cast<OCIError*>(q.FSecErrHp));
    return int(count);
}

std::string QueryInternal::RowIdFromDescriptor(TOracleQuery& q, void* descriptor) {
    // The client publishes no layout of its rowid descriptors, so the text is asked of the
    // server: the descriptor is bound to a one-row select and fetched as text.
    TOracleSession& s = *q.FSession;
    void* stmt = nullptr;
    // The statement may be closed already (its error handles freed): the session's own
    // secondary error handle serves.
    auto* err = static_cast<OCIError*>(s.SecondErrorHandle());
    if (OCI.OCIHandleAlloc(s.EnvHandle(), &stmt, OCI_HTYPE_STMT, 0, nullptr) != OCI_SUCCESS) return {};
    static const char sql[] = "select :r from dual";
    char text[40] = {};
    sb2 ind = -1;
    OCIBind* bind = nullptr;
    OCIDefine* define = nullptr;
    void* desc = descriptor;
    bool ok = OCI.OCIStmtPrepare(static_cast<OCIStmt*>(stmt), err, reinterpret_cast<const OraText*>(sql), ub4(sizeof sql - 1),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT) == OCI_SUCCESS &&
              OCI.OCIBindByName(static_cast<OCIStmt*>(stmt), &bind, err, reinterpret_cast<const OraText*>(":R"), -1, &desc,
                                sb4(sizeof desc), SQLT_RDD, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT) == OCI_SUCCESS &&
              OCI.OCIDefineByPos(static_cast<OCIStmt*>(stmt), &define, err, 1, text, sb4(sizeof text), SQLT_STR, &ind,
                                 nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS &&
              OCI.OCIStmtExecute(static_cast<OCISvcCtx*>(s.ServiceContext()), static_cast<OCIStmt*>(stmt), err, 1, 0,
                                 nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS;
    OCI.OCIHandleFree(stmt, OCI_HTYPE_STMT);
    if (!ok || ind != 0) return {};
    return text;
}

} // namespace quorvel
