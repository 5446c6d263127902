// TLOBLocator: reads, writes, lengths and trims through OCILob..., BFILE names, buffering and
// the text forms of a LOB.
#include "oracle/query/OracleLob.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/query/QueryInternal.h"
#include "oracle/query/Variables.h"
#include "oracle/session/OracleError.h"
#include "oracle/session/SessionPreferences.h"

namespace quorvel {

namespace {

constexpr uint16_t kUTF16ID = 1000;
constexpr int kScratch = 8192;
constexpr ub4 kLobBufferFree = 2;   // OCILobFlushBuffer: free the buffers

bool IsUTF8ID(int id) { return id == 870 || id == 871 || id == 873; }
bool IsUTF16ID(int id) { return id == 1000 || id == 2000; }

const char* KindName(int lobType) {
    switch (lobType) {
    case otCLOB: return "CLOB";
    case otBLOB: return "BLOB";
    default: return "<Unknown LOB>";
    }
}

bool ConvertsCRLF(TOracleSession* s) { return !s || s->Preferences().ConvertCRLF(); }

void SwapBytes(std::u16string& text) {
    for (char16_t& c : text) c = char16_t(((c & 0xFF) << 8) | ((c >> 8) & 0xFF));
}

OCISvcCtx* Svc(TOracleSession* s) { return static_cast<OCISvcCtx*>(s->ServiceContext()); }
OCIEnv* Env(TOracleSession* s) { return static_cast<OCIEnv*>(s->EnvHandle()); }

} // namespace

// ------------------------------------------------------------------------------------------------
// Life

TLOBLocator::TLOBLocator(TOracleSession* session, int lobType) : TLOBLocator(session, lobType, true) {}

TLOBLocator::TLOBLocator(TOracleSession* session, int lobType, bool) : TComponent(nullptr) {
    CheckOCI8(session, "A TLOBLocator instance");
    if (lobType != otCLOB && lobType != otBLOB && lobType != otBFile && lobType != -otCLOB)
        throw Exception("Type must be otCLOB, otBLOB or otBFile");
    FSession = session;
    FCharSetForm = 1;
    if (lobType == -otCLOB) {
        FCharSetForm = 2;
        lobType = otCLOB;
    }
    FLOBType = lobType;
    if (FLOBType == otCLOB && DefaultVariableCharSet && FSession->CurrentCharSetID() > 0 &&
        (FSession->CurrentCharSetIsUTF8() || FSession->CurrentCharSetIsUTF16()))
        FCharSetID = kUTF16ID;
    LOBDType = FLOBType == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
    PLOB = &FLOB;
    FEnv = FSession->EnvHandle();
    FOwnEnv = FSession->OwnEnvironment();
    sword st = OCI.OCIDescriptorAlloc(FSession->EnvHandle(), &FLOB, LOBDType, 0, nullptr);
    if (st != OCI_SUCCESS) {
        FLOB = nullptr;
        throw Exception("TLOBLocator: Invalid handle");
    }
    st = OCI.OCIHandleAlloc(FSession->EnvHandle(), &errhp, OCI_HTYPE_ERROR, 0, nullptr);
    if (st != OCI_SUCCESS) {
        OCI.OCIDescriptorFree(FLOB, LOBDType);
        FLOB = nullptr;
        errhp = nullptr;
        throw Exception("TLOBLocator: Invalid handle");
    }
    FSession->LOBLocators.Add(this);
}

std::unique_ptr<TLOBLocator> TLOBLocator::CreateTemporary(TOracleSession* session, int lobType, bool cache) {
    CheckOCI8(session, "A TLOBLocator instance");
    if (!HasOCI81 || !OCI.OCILobCreateTemporary) throw Exception("A Temporary TLOBLocator requires Net8 8.1 or later");
    std::unique_ptr<TLOBLocator> lob(new TLOBLocator(session, lobType, true));
    if (lob->FLOBType == otBFile) throw Exception("Type must be otCLOB, otBLOB or otBFile");
    lob->Report("LOB.CreateTemporary");
    lob->Check(OCI.OCILobCreateTemporary(Svc(session), static_cast<OCIError*>(lob->errhp),
                                         static_cast<OCILobLocator*>(lob->FLOB), 0, ub1(lob->FCharSetForm),
                                         lob->FLOBType == otCLOB ? OCI_TEMP_CLOB : OCI_TEMP_BLOB, cache ? 1 : 0,
                                         OCI_DURATION_SESSION));
    lob->ReportEnd(false, std::string());
    return lob;
}

TLOBLocator::~TLOBLocator() {
    if (FSession && FSession->Connected()) {
        try {
            FlushBuffer();
            if (FLOBType == otBFile) CloseFile();
        } catch (...) {
        }
    }
    FreeHandles();
    if (FSession) FSession->LOBLocators.Remove(this);
    if (SentToMonitor && QueryMonitor) QueryMonitor->QueryDestroyed(FMonID);
}

void TLOBLocator::FreeHandles() {
    // Handles of an environment that is gone (the client unloaded, or a session's own
    // environment freed at its logoff) went with it.
    if (!OCILoaded() || (FOwnEnv && (!FSession || FSession->EnvHandle() != FEnv))) {
        FLOB = errhp = nullptr;
        return;
    }
    if (FLOB) {
        if (FSession && FSession->Connected() && FLOBType != otBFile && HasOCI81 && OCI.OCILobIsTemporary &&
            !FIsAttribute) {
            boolean temporary = 0;
            if (OCI.OCILobIsTemporary(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(FLOB),
                                      &temporary) == OCI_SUCCESS &&
                temporary)
                OCI.OCILobFreeTemporary(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(FLOB));
        }
        if (!FIsAttribute) OCI.OCIDescriptorFree(FLOB, LOBDType);
        FLOB = nullptr;
    }
    if (errhp) OCI.OCIHandleFree(errhp, OCI_HTYPE_ERROR);
    errhp = nullptr;
}

void TLOBLocator::SessionDetach() {
    // The session and its environment are going away: free what was allocated from them now.
    if (PLOB != &FLOB && !FIsAttribute) PLOB = &FLOB;
    FreeHandles();
    FSession = nullptr;
}

// ------------------------------------------------------------------------------------------------
// Status handling and the monitor

void TLOBLocator::Check(int32_t status) {
    if (status == OCI_INVALID_HANDLE) {
        ReportEnd(true, "TLOBLocator: Invalid handle");
        throw Exception("TLOBLocator: Invalid handle");
    }
    if (status == OCI_ERROR) {
        try {
            RaiseOracleError(FSession, TOracleErrorSource::FromHandle(errhp), this);
        } catch (const Exception& e) {
            ReportEnd(true, e.Message());
            throw;
        }
    }
}

int TLOBLocator::MonID() {
    if (!FMonID) FMonID = QueryInternal::NextMonitorId();
    return FMonID;
}

std::string TLOBLocator::LOBName() {
    if (!FName.empty()) return FName;
    return "LOBLocator" + std::to_string(MonID());
}

void TLOBLocator::Report(const std::string& activity) {
    if (FSession) FSession->ResetInTransaction();   // every LOB operation may open a transaction
    if (!QueryMonitor) return;
    if (!SentToMonitor) {
        SentToMonitor = true;
        QueryMonitor->QueryCreated(MonID(), 0, FParentMonID, LOBName());
    }
    QueryMonitor->ActivityStart(FMonID, activity, std::string(), std::string());
}

void TLOBLocator::ReportEnd(bool failed, const std::string& message) {
    if (QueryMonitor && SentToMonitor) QueryMonitor->ActivityEnd(FMonID, failed, message, 0);
}

void TLOBLocator::CheckNotFile(const char* operation) const {
    if (FLOBType != otBFile) throw Exception(std::string(operation) + " not allowed for " + KindName(FLOBType));
}

// ------------------------------------------------------------------------------------------------
// Null state and renewal

void TLOBLocator::PointAt(void** slot, void* mirror) {
    PLOB = slot ? slot : &FLOB;
    FMirror = slot ? mirror : nullptr;
}

void TLOBLocator::SetAttributeOwner(void** slot, int16_t* nullIndicator, const std::string& attrName,
                                    std::function<void(TLOBLocator&)> changed) {
    if (FLOB && !FIsAttribute && OCILoaded()) {
        OCI.OCIDescriptorFree(FLOB, LOBDType);
        FLOB = nullptr;
    }
    FIsAttribute = true;
    PLOB = slot ? slot : &FLOB;
    NullStruct = nullIndicator;
    FOwnerAttrName = attrName;
    FOwnerChanged = std::move(changed);
}

bool TLOBLocator::IsNull() {
    if (!FSession || !PLOB) return true;
    if (FIsAttribute && !*PLOB) {
        Check(OCI.OCIObjectNew(Env(FSession), static_cast<OCIError*>(errhp), Svc(FSession), OCITypeCode(FLOBType),
                               nullptr, nullptr, OCI_DURATION_SESSION, 1, PLOB));
    }
    if (!*PLOB) return true;
    boolean init = 0;
    Check(OCI.OCILobLocatorIsInit(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                                  &init));
    if (NullStruct) return !(*NullStruct == 0 && init);
    return !init;
}

void TLOBLocator::SyncOwner() {
    if (!NullStruct) return;
    boolean init = 0;
    if (PLOB && *PLOB)
        OCI.OCILobLocatorIsInit(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &init);
    *NullStruct = init ? 0 : -1;
    if (FOwnerChanged) FOwnerChanged(*this);
}

void TLOBLocator::Renew() {
    if (!FSession) throw Exception("TLOBLocator: Invalid handle");
    if (FIsAttribute) {
        if (*PLOB) Check(OCI.OCIObjectFree(Env(FSession), static_cast<OCIError*>(errhp), *PLOB, 0));
        *PLOB = nullptr;
        Check(OCI.OCIObjectNew(Env(FSession), static_cast<OCIError*>(errhp), Svc(FSession), OCITypeCode(FLOBType),
                               nullptr, nullptr, OCI_DURATION_SESSION, 1, PLOB));
        return;
    }
    // A query column's locator renews the row's descriptor in place; a plain one its own.
    void* fresh = nullptr;
    if (OCI.OCIDescriptorAlloc(FSession->EnvHandle(), &fresh, LOBDType, 0, nullptr) != OCI_SUCCESS)
        throw Exception("TLOBLocator: Invalid handle");
    if (*PLOB) OCI.OCIDescriptorFree(*PLOB, LOBDType);
    *PLOB = fresh;
    if (FMirror) std::memcpy(FMirror, &fresh, sizeof fresh);
    FPosition = 0;
}

void TLOBLocator::Clear() {
    Renew();
    SyncOwner();
    if (NullStruct) {
        *NullStruct = -1;
        if (FOwnerChanged) FOwnerChanged(*this);
    }
}

void TLOBLocator::SetEmpty() {
    Renew();
    if (!FIsAttribute) {
        ub4 zero = 0;
        Check(OCI.OCIAttrSet(*PLOB, OCI_DTYPE_LOB, &zero, 0, OCI_ATTR_LOBEMPTY, static_cast<OCIError*>(errhp)));
    }
    SyncOwner();
    if (FSession) FSession->ResetInTransaction();
}

void TLOBLocator::Assign(TLOBLocator* source) {
    if (!source) throw Exception("TLOBLocator: Cannot assign nil source");
    if (source == this) return;
    if (source->IsNull()) {
        Clear();
        return;
    }
    if (!FSession) throw Exception("TLOBLocator: Invalid handle");
    // A locator of another descriptor type cannot take the source: renew it as the source's kind.
    if (LOBDType != source->LOBDType && !FIsAttribute) {
        void* fresh = nullptr;
        if (OCI.OCIDescriptorAlloc(FSession->EnvHandle(), &fresh, source->LOBDType, 0, nullptr) != OCI_SUCCESS)
            throw Exception("TLOBLocator: Invalid handle");
        if (*PLOB) OCI.OCIDescriptorFree(*PLOB, LOBDType);
        *PLOB = fresh;
        if (FMirror) std::memcpy(FMirror, &fresh, sizeof fresh);
    }
    Check(OCI.OCILobAssign(Env(FSession), static_cast<OCIError*>(errhp),
                           static_cast<const OCILobLocator*>(*source->PLOB), reinterpret_cast<OCILobLocator**>(PLOB)));
    FLOBType = source->FLOBType;
    LOBDType = source->LOBDType;
    FPosition = 0;
    SyncOwner();
}

// ------------------------------------------------------------------------------------------------
// Reading and writing

bool TLOBLocator::IsUTF16() const { return IsUTF8ID(FCharSetID) || IsUTF16ID(FCharSetID); }

uint16_t TLOBLocator::TransferCharSetID() const {
    return IsUTF8ID(FCharSetID) ? kUTF16ID : uint16_t(FCharSetID);
}

void TLOBLocator::OpenFileForRead() {
    boolean open = 0;
    Report("LOB.FileIsOpen");
    Check(OCI.OCILobFileIsOpen(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &open));
    ReportEnd(false, std::string());
    if (open) return;
    Report("LOB.OpenFile");
    Check(OCI.OCILobFileOpen(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                             OCI_FILE_READONLY));
    ReportEnd(false, std::string());
}

void TLOBLocator::CloseFile() {
    if (FLOBType != otBFile || !FSession || !FSession->Connected() || !PLOB || !*PLOB) return;
    boolean init = 0;
    OCI.OCILobLocatorIsInit(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &init);
    if (!init) return;
    boolean open = 0;
    Report("LOB.FileIsOpen");
    Check(OCI.OCILobFileIsOpen(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &open));
    ReportEnd(false, std::string());
    if (!open) return;
    Report("LOB.CloseFile");
    Check(OCI.OCILobFileClose(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB)));
    ReportEnd(false, std::string());
}

int64_t TLOBLocator::Read(void* buffer, int64_t count) {
    if (count <= 0 || IsNull()) return 0;
    count = std::min<int64_t>(count, 0x7FFFFFFE);
    if (FLOBType == otBFile) OpenFileForRead();
    FSession->ResetInTransaction();
    const bool text = FLOBType == otCLOB && IsUTF16();
    if (text) count &= ~int64_t(1);   // whole UTF-16 units only
    if (count == 0) return 0;
    ub4 amount = ub4(text ? count / 2 : count);
    if (FLOBType == otCLOB && !text) std::memset(buffer, 0, size_t(count));
    Report("LOB.Read(" + std::to_string(count) + ")");
    // The database counts characters: in text mode the byte position is two per character.
    const ub4 offset = ub4((text ? FPosition / 2 : FPosition) + 1);
    auto* err = static_cast<OCIError*>(errhp);
    auto* loc = static_cast<OCILobLocator*>(*PLOB);
    sword st = OCI.OCILobRead(Svc(FSession), err, loc, &amount, offset, buffer, ub4(count), nullptr, nullptr,
                              TransferCharSetID(), ub1(FCharSetForm));
    if (st == OCI_NO_DATA) amount = 0;
    else Check(st);
    // A value larger than the buffer leaves the client polling for more: finish the read, so
    // the next call starts afresh at its own offset.
    while (st == OCI_NEED_DATA) {
        std::vector<uint8_t> scratch(kScratch);
        ub4 more = 0;
        st = OCI.OCILobRead(Svc(FSession), err, loc, &more, offset, scratch.data(), ub4(scratch.size()), nullptr,
                            nullptr, TransferCharSetID(), ub1(FCharSetForm));
        if (st == OCI_ERROR || st == OCI_INVALID_HANDLE) Check(st);
    }
    ReportEnd(false, std::string());
    int64_t result;
    if (FLOBType == otBLOB || FLOBType == otBFile) {
        result = amount;
    } else if (text) {
        result = int64_t(amount) * 2;
    } else if (int64_t(amount) != count) {
        // Multi-byte text: the bytes up to and including the last non-zero one.
        const auto* p = static_cast<const uint8_t*>(buffer);
        result = count;
        while (result > 0 && p[result - 1] == 0) --result;
    } else {
        result = count;
    }
    result = std::min(result, count);
    if (FLOBType == otCLOB && !text && int64_t(amount) != count && result > 0) {
        // Multi-byte text outside text mode: the database counts characters, so the position
        // moves by the characters that arrived, not by their bytes.
        const auto* p = static_cast<const uint8_t*>(buffer);
        int64_t chars = 0;
        for (int64_t i = 0; i < result; ++i)
            if ((p[i] & 0xC0) != 0x80) ++chars;
        FPosition += chars;
    } else {
        FPosition += result;
    }
    return result;
}

int64_t TLOBLocator::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (!FSession || !PLOB || !*PLOB) throw Exception("TLOBLocator: Invalid handle");
    count = std::min<int64_t>(count, 0x7FFFFFFE);
    const bool text = FLOBType == otCLOB && IsUTF16();
    ub4 amount = ub4(text ? count / 2 : count);
    Report("LOB.Write(" + std::to_string(count) + ")");
    const ub4 offset = ub4((text ? FPosition / 2 : FPosition) + 1);
    Check(OCI.OCILobWrite(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &amount,
                          offset, const_cast<void*>(buffer), ub4(count), OCI_ONE_PIECE, nullptr, nullptr,
                          TransferCharSetID(), ub1(FCharSetForm)));
    ReportEnd(false, std::string());
    // Multi-byte text outside text mode: the client reports the characters written, which is
    // what the database's offsets count.
    if (FLOBType == otCLOB && !text && amount > 0 && int64_t(amount) < count) FPosition += amount;
    else FPosition += count;
    if (FBuffering) Modified = true;
    return count;
}

int64_t TLOBLocator::Length() {
    if (IsNull()) return 0;
    ub4 length = 0;
    Report("LOB.Length");
    Check(OCI.OCILobGetLength(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                              &length));
    ReportEnd(false, std::string());
    return FLOBType == otCLOB && IsUTF16() ? int64_t(length) * 2 : int64_t(length);
}

int64_t TLOBLocator::Size() { return Length(); }

int64_t TLOBLocator::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = FPosition;
    switch (origin) {
    case soBeginning: target = offset; break;
    case soCurrent: target = FPosition + offset; break;
    case soEnd: target = Length() + offset; break;
    }
    // As every stream: before the start is refused, past the end is allowed.
    if (target < 0) throw EStreamError("Invalid stream position");
    FPosition = target;
    return FPosition;
}

void TLOBLocator::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    const int64_t current = Length();
    if (size < current) {
        const bool text = FLOBType == otCLOB && IsUTF16();
        Report("LOB.SetSize");
        Check(OCI.OCILobTrim(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                             ub4(text ? size / 2 : size)));
        ReportEnd(false, std::string());
    } else if (size > current) {
        const bool text = FLOBType == otCLOB && IsUTF16();
        if (text) {
            // One UTF-16 space as the last character.
            const char16_t space = u' ';
            Seek((size & ~int64_t(1)) - 2, soBeginning);
            Write(&space, 2);
        } else {
            const uint8_t fill = FLOBType == otCLOB ? uint8_t(' ') : uint8_t(0);
            Seek(size - 1, soBeginning);
            Write(&fill, 1);
        }
    }
    if (FPosition > size) FPosition = size;
}

void TLOBLocator::Trim() { SetSize(FPosition); }

void TLOBLocator::Copy(TLOBLocator& source, int64_t length) {
    if (length <= 0) return;
    const bool text = FLOBType == otCLOB && IsUTF16();
    auto units = [&](int64_t bytes) { return ub4(text ? bytes / 2 : bytes); };
    Report("LOB.Copy");
    if (source.FLOBType == otBFile) {
        source.OpenFileForRead();
        Check(OCI.OCILobLoadFromFile(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                                     static_cast<OCILobLocator*>(*source.PLOB), ub4(length), units(FPosition) + 1,
                                     ub4(source.FPosition) + 1));
    } else {
        const bool sourceText = source.FLOBType == otCLOB && source.IsUTF16();
        // Text CLOBs: the length, like the positions, is in bytes of UTF-16 and the database
        // counts characters.
        Check(OCI.OCILobCopy(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                             static_cast<OCILobLocator*>(*source.PLOB), units(length), units(FPosition) + 1,
                             ub4(sourceText ? source.FPosition / 2 : source.FPosition) + 1));
    }
    ReportEnd(false, std::string());
}

void TLOBLocator::Append(TLOBLocator& source) {
    Report("LOB.Append");
    if (source.FLOBType == otBFile) {
        const int64_t sourceSize = source.Size();
        const bool text = FLOBType == otCLOB && IsUTF16();
        const int64_t mine = Size();
        source.OpenFileForRead();
        if (sourceSize > 0)
            Check(OCI.OCILobLoadFromFile(Svc(FSession), static_cast<OCIError*>(errhp),
                                         static_cast<OCILobLocator*>(*PLOB), static_cast<OCILobLocator*>(*source.PLOB),
                                         ub4(sourceSize), ub4(text ? mine / 2 : mine) + 1, 1));
    } else {
        Check(OCI.OCILobAppend(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                               static_cast<OCILobLocator*>(*source.PLOB)));
    }
    ReportEnd(false, std::string());
}

int64_t TLOBLocator::Erase(int64_t length) {
    if (length <= 0) return 0;
    const bool text = FLOBType == otCLOB && IsUTF16();
    ub4 amount = ub4(text ? length / 2 : length);
    Report("LOB.Erase");
    Check(OCI.OCILobErase(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB), &amount,
                          ub4(text ? FPosition / 2 : FPosition) + 1));
    ReportEnd(false, std::string());
    return text ? int64_t(amount) * 2 : int64_t(amount);
}

// ------------------------------------------------------------------------------------------------
// BFILE names

void TLOBLocator::GetFileName(std::string& dir, std::string& file) {
    dir.clear();
    file.clear();
    if (IsNull()) return;
    char dirBuf[31] = {};
    char fileBuf[256] = {};
    ub2 dirLen = sizeof dirBuf;
    ub2 fileLen = sizeof fileBuf;
    Check(OCI.OCILobFileGetName(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                                reinterpret_cast<OraText*>(dirBuf), &dirLen, reinterpret_cast<OraText*>(fileBuf),
                                &fileLen));
    dir.assign(dirBuf, std::min<size_t>(dirLen, sizeof dirBuf));
    file.assign(fileBuf, std::min<size_t>(fileLen, sizeof fileBuf));
}

void TLOBLocator::FileSetName(const std::string& dir, const std::string& file) {
    if (!FSession || !PLOB) throw Exception("TLOBLocator: Invalid handle");
    Check(OCI.OCILobFileSetName(Env(FSession), static_cast<OCIError*>(errhp), reinterpret_cast<OCILobLocator**>(PLOB),
                                reinterpret_cast<const OraText*>(dir.data()), ub2(dir.size()),
                                reinterpret_cast<const OraText*>(file.data()), ub2(file.size())));
    FPosition = 0;
    SyncOwner();
}

std::string TLOBLocator::Filename() {
    CheckNotFile("Filename");
    std::string dir, file;
    GetFileName(dir, file);
    return file;
}

std::string TLOBLocator::Directory() {
    CheckNotFile("Directory");
    std::string dir, file;
    GetFileName(dir, file);
    return dir;
}

void TLOBLocator::SetFilename(const std::string& name) {
    CheckNotFile("Filename");
    std::string dir, file;
    const size_t slash = name.find('\\');
    if (slash != std::string::npos) {
        dir = name.substr(0, slash);
        file = name.substr(slash + 1, 255);
    } else {
        std::string currentFile;
        if (IsNull()) dir = " ";
        else GetFileName(dir, currentFile);
        file = name.substr(0, 255);
    }
    FileSetName(dir, file);
}

void TLOBLocator::SetDirectory(const std::string& directory) {
    CheckNotFile("Directory");
    std::string dir, file;
    if (IsNull()) file = " ";
    else GetFileName(dir, file);
    FileSetName(directory, file);
}

bool TLOBLocator::FileExists() {
    CheckNotFile("FileExists");
    if (IsNull()) return false;
    boolean exists = 0;
    Report("LOB.FileExists");
    Check(OCI.OCILobFileExists(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                               &exists));
    ReportEnd(false, std::string());
    return exists != 0;
}

// ------------------------------------------------------------------------------------------------
// Buffering, attributes

void TLOBLocator::SetBuffering(bool on) {
    if (on == FBuffering) return;
    if (on) {
        Check(OCI.OCILobEnableBuffering(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB)));
        FBuffering = true;
    } else {
        FlushBuffer();
        Check(OCI.OCILobDisableBuffering(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB)));
        FBuffering = false;
    }
}

void TLOBLocator::FlushBuffer() {
    if (!FBuffering || !Modified) return;
    Report("LOB.FlushBuffer");
    Check(OCI.OCILobFlushBuffer(Svc(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                                kLobBufferFree));
    ReportEnd(false, std::string());
    Modified = false;
}

bool TLOBLocator::Temporary() {
    if (!HasOCI81 || !OCI.OCILobIsTemporary || !FSession || !PLOB || !*PLOB) return false;
    boolean temporary = 0;
    Check(OCI.OCILobIsTemporary(Env(FSession), static_cast<OCIError*>(errhp), static_cast<OCILobLocator*>(*PLOB),
                                &temporary));
    return temporary != 0;
}

void TLOBLocator::SetNCLOB(bool national) {
    if (FLOBType != otCLOB) throw Exception("NCLOB property only applicable for CLOB");
    FCharSetForm = national ? 2 : 1;
}

// ------------------------------------------------------------------------------------------------
// Text

std::string TLOBLocator::AsString() {
    if (FLOBType == otCLOB && IsUTF16()) return Utf16ToAnsi(AsWideString());
    const int64_t size = Size();
    const int64_t bytes = size * (FLOBType == otCLOB && FSession ? std::max(1, FSession->CharacterSize()) : 1);
    std::string result(size_t(std::max<int64_t>(bytes, 0)), '\0');
    FPosition = 0;
    const int64_t got = bytes > 0 ? Read(result.data(), bytes) : 0;
    result.resize(size_t(got));
    if (FLOBType == otCLOB && ConvertsCRLF(FSession) && result.find_first_of("\r\n") != std::string::npos)
        return ToCRLF(result);
    return result;
}

std::u16string TLOBLocator::AsWideString() {
    if (!(FLOBType == otCLOB && IsUTF16())) return AnsiToUtf16(AsString());
    const int64_t size = Size();
    std::u16string result(size_t(size / 2), u'\0');
    FPosition = 0;
    const int64_t got = size > 0 ? Read(result.data(), int64_t(result.size()) * 2) : 0;
    result.resize(size_t(got / 2));
    if (FCharSetID == 2000) SwapBytes(result);
    // Text without line breaks needs no second pass.
    if (ConvertsCRLF(FSession) && result.find_first_of(u"\r\n") != std::u16string::npos)
        return ToCRLF(std::u16string_view(result));
    return result;
}

void TLOBLocator::SetAsString(const std::string& text) {
    if (FLOBType == otCLOB && IsUTF16()) {
        SetAsWideString(AnsiToUtf16(text));
        return;
    }
    const std::string bytes = FLOBType == otCLOB && ConvertsCRLF(FSession) ? RemoveCR(text) : text;
    FPosition = 0;
    Write(bytes.data(), int64_t(bytes.size()));
    Trim();
}

void TLOBLocator::SetAsWideString(const std::u16string& text) {
    if (!(FLOBType == otCLOB && IsUTF16())) {
        SetAsString(Utf16ToAnsi(text));
        return;
    }
    std::u16string units = ConvertsCRLF(FSession) ? RemoveCR(std::u16string_view(text)) : text;
    if (FCharSetID == 2000) SwapBytes(units);
    FPosition = 0;
    Write(units.data(), int64_t(units.size()) * 2);
    Trim();
}

// ------------------------------------------------------------------------------------------------
// Files

void TLOBLocator::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    FPosition = 0;
    const int64_t size = file.Size();
    std::vector<uint8_t> chunk(size_t(std::min<int64_t>(std::max<int64_t>(size, 1), 1 << 20)));
    int64_t done = 0;
    while (done < size) {
        const int64_t n = file.Read(chunk.data(), std::min<int64_t>(int64_t(chunk.size()), size - done));
        if (n <= 0) break;
        Write(chunk.data(), n);
        done += n;
    }
    Trim();
}

void TLOBLocator::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, fmCreate);
    FPosition = 0;
    const int64_t size = Size();
    // A byte-mode CLOB counts its size in characters, which may take several bytes each: it is
    // read until nothing more comes.
    const bool byCharacters = FLOBType == otCLOB && !IsUTF16();
    std::vector<uint8_t> chunk(size_t(std::min<int64_t>(std::max<int64_t>(size, 4096), 1 << 20)) & ~size_t(1));
    int64_t done = 0;
    while (byCharacters || done < size) {
        const int64_t n = Read(chunk.data(), byCharacters ? int64_t(chunk.size())
                                                          : std::min<int64_t>(int64_t(chunk.size()), size - done));
        if (n <= 0) break;
        file.WriteBuffer(chunk.data(), n);
        done += n;
    }
}

} // namespace quorvel
