// TOracleQuery: the select list. Describe and define, the LONG piece callback, fetching with
// Next and scrolling, and the field accessors with their conversions.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "base/CodePage.h"
#include "base/FormatSettings.h"
#include "base/StrUtils.h"
#include "base/TextCase.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleLob.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/query/QueryInternal.h"
#include "oracle/session/OracleTimestamp.h"
#include "oracle/session/SessionPreferences.h"

namespace quorvel {

int64_t TFieldData::LongSize() const {
    int64_t n = 0;
    for (const auto& p : LongPieces) n += p.ActualSize;
    return n;
}

namespace {

constexpr ub4 kAttrCharsetId = 31;
constexpr ub4 kAttrCharsetForm = 32;
constexpr ub4 kAttrRowsFetched = 197;
constexpr ub4 kAttrRefTdo = 110;
constexpr OCITypeCode kTypecodeRef = 110;
constexpr OCIDuration kDurationSession = 10;
constexpr int kPinAny = 3;
constexpr int kLockNone = 1;

// After one failed OCIObjectFree of an XMLType instance no other is attempted.
std::atomic<bool> GXmlTypeFreeFailed{false};

// Frees the object instances a fetch left in the rows of an object or REF column and empties
// their slots and null structures.
void FreeRowObjects(TFieldData& f, void* env, void* err) {
    const bool xml = f.TypeName == "SYS.XMLTYPE";
    for (int r = 0; r < f.cache && f.buf; ++r) {
        void* instance = nullptr;
        std::memcpy(&instance, f.Slot(r), sizeof instance);
        if (!instance) continue;
        if (!xml || !GXmlTypeFreeFailed) {
            const sword st = OCI.OCIObjectFree(static_cast<OCIEnv*>(env), static_cast<OCIError*>(err), instance, 0);
            if (xml && st != OCI_SUCCESS) GXmlTypeFreeFailed = true;
        }
        std::memset(f.Slot(r), 0, size_t(f.bufsize));
    }
    for (void*& n : f.NullStructs) n = nullptr;
}
constexpr int kPointerSlot = int(sizeof(void*));

bool IsCharacterType(int dbtype) {
    switch (dbtype) {
    case 1: case 5: case 8: case 9: case 10: case 96: case 97: case 112: return true;
    default: return false;
    }
}

bool IsLobType(int t) { return t == otCLOB || t == otBLOB || t == otBFile; }
bool IsTimestampCode(int t) { return t == otTimestamp || t == otTimestampTZ || t == otTimestampLTZ; }

// Reads a scalar attribute into a zeroed 8-byte area, so a client that writes the attribute's
// own width never writes past the target.
struct AttrArea {
    alignas(8) unsigned char bytes[8] = {};
    template <class T>
    T As() const {
        T v;
        std::memcpy(&v, bytes, sizeof v);
        return v;
    }
};

sword GetAttr(void* param, AttrArea& area, ub4 attr, void* err) {
    return OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, area.bytes, nullptr, attr, static_cast<OCIError*>(err));
}

// Every LF, lone CR and CR LF becomes CR LF.
std::string AdjustLineBreaks(std::string_view s) {
    if (s.find_first_of("\r\n") == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size() + 16);
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string AdjustLineBreaks(std::u16string_view s) {
    if (s.find_first_of(u"\r\n") == std::u16string_view::npos) return std::u16string(s);
    std::u16string out;
    out.reserve(s.size() + 16);
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u'\r') {
            out += u"\r\n";
            if (i + 1 < s.size() && s[i + 1] == u'\n') ++i;
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool ConvertCRLF(TOracleSession* s) { return !s || s->Preferences().ConvertCRLF(); }

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// UTF-8 bytes as 8-bit text in the process code page.
std::string Utf8ToAnsiText(std::string_view s) {
    if (IsAscii(s) || AnsiCodePage() == cpUTF8) return std::string(s);
    return Utf16ToAnsi(Utf8ToUtf16(s));
}

std::u16string Utf16FromBuffer(const uint8_t* p, int bytes, int charSetID) {
    std::u16string s(size_t(bytes / 2), u'\0');
    for (size_t i = 0; i < s.size(); ++i) {
        const uint8_t a = p[2 * i], b = p[2 * i + 1];
        s[i] = charSetID == 2000 ? char16_t((a << 8) | b) : char16_t(a | (b << 8));
    }
    return s;
}

std::string DateText(TDateTime d) {
    return FormatDateTime(d.Value - std::floor(d.Value) != 0 ? "ddddd tt" : "ddddd", d);
}

// The LONG piece callback: hands the client a new piece, growing from InitialLongPieceSize to
// MaxLongPieceSize.
sb4 LongPieceCallback(dvoid* octxp, OCIDefine*, ub4, dvoid** bufpp, ub4** alenp, ub1* piecep, dvoid** indp,
                      ub2** rcodep) {
    auto* f = static_cast<TFieldData*>(octxp);
    uint32_t size = uint32_t(std::max(1, InitialLongPieceSize));
    if (!f->LongPieces.empty()) {
        const uint32_t previous = f->LongPieces.back().AllocatedSize;
        size = previous < uint32_t(MaxLongPieceSize) ? previous * 2 : previous;
    }
    TLongPiece& piece = f->LongPieces.emplace_back();
    piece.PieceBuf = std::make_unique<uint8_t[]>(size);
    piece.AllocatedSize = size;
    piece.ActualSize = size;
    *bufpp = piece.PieceBuf.get();
    *alenp = &piece.ActualSize;
    (void)piecep;
    *indp = f->ind.get();
    *rcodep = nullptr;
    return OCI_CONTINUE;
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Describe and define

void TOracleQuery::DescribeColumns() {
    FUsedCache = FReadBuffer;
    FreeFields();
    const bool oci8 = FSession->UseOCI80();
    auto* err = static_cast<OCIError*>(FErrHp);
    ub4 count = 0;
    auto fail = [&]() {
        FreeFields();
        ComputeErrorPosition();
        FParsedSQL.clear();
        Raise();
    };
    if (oci8) {
        if (!Check8(OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err))) fail();
    }
    for (int i = 1;; ++i) {
        FSession->Acquire(true);
        auto f = std::make_unique<TFieldData>();
        std::string rawName;
        if (oci8) {
            if (ub4(i) > count) {
                FSession->Release(true);
                break;
            }
            void* param = nullptr;
            if (!Check8(OCI.OCIParamGet(FStmt, OCI_HTYPE_STMT, err, &param, ub4(i)))) fail();
            void* sec = FSecErrHp;
            AttrArea a;
            GetAttr(param, a, OCI_ATTR_DATA_SIZE, sec);
            f->dbsize = a.As<ub2>();
            if (HasOCI9) {
                AttrArea c;
                if (GetAttr(param, c, OCI_ATTR_CHAR_SIZE, sec) == OCI_SUCCESS) f->CharSize = c.As<ub2>();
            }
            AttrArea t;
            GetAttr(param, t, OCI_ATTR_DATA_TYPE, sec);
            f->dbtype = int16_t(t.As<ub2>());
            f->CharSetForm = 1;
            f->CharSetID = 1;
            if (!IgnoreCharSet) {
                AttrArea form, id;
                if (GetAttr(param, form, kAttrCharsetForm, sec) == OCI_SUCCESS) f->CharSetForm = form.As<ub1>();
                if (GetAttr(param, id, kAttrCharsetId, sec) == OCI_SUCCESS) f->CharSetID = id.As<ub2>();
            }
            if (f->dbtype == 108 || f->dbtype == 110) {
                f->Senvhp = FSession->EnvHandle();
                f->Ssvchp = FSession->ServiceContext();
                f->Serrhp = FSession->SecondErrorHandle();   // outlives the statement's handles
                if (f->dbtype == 108) {
                    // The column's type, pinned through a REF of its own for the life of the column.
                    auto* env = static_cast<OCIEnv*>(f->Senvhp);
                    void* described = nullptr;
                    OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &described, nullptr, kAttrRefTdo, static_cast<OCIError*>(sec));
                    void* ref = nullptr;
                    bool ok = Check8(OCI.OCIObjectNew(env, err, static_cast<OCISvcCtx*>(f->Ssvchp), kTypecodeRef, nullptr,
                                                      nullptr, kDurationSession, 1, &ref));
                    f->RefTDO = ref;
                    if (ok) {
                        auto* target = static_cast<OCIRef*>(ref);
                        ok = Check8(OCI.OCIRefAssign(env, err, static_cast<OCIRef*>(described), &target));
                    }
                    void* tdo = nullptr;
                    if (ok)
                        ok = Check8(OCI.OCIObjectPin(env, err, static_cast<OCIRef*>(ref), nullptr, kPinAny, kDurationSession,
                                                     kLockNone, &tdo));
                    f->TDO = tdo;
                    if (!ok) {
                        FreeField(*f);
                        fail();
                    }
                }
                text* tn = nullptr;
                ub4 tl = 0;
                text* sn = nullptr;
                ub4 sl = 0;
                OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &tn, &tl, OCI_ATTR_TYPE_NAME, static_cast<OCIError*>(sec));
                OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &sn, &sl, OCI_ATTR_SCHEMA_NAME, static_cast<OCIError*>(sec));
                f->TypeName = std::string(reinterpret_cast<char*>(sn), sn ? sl : 0) + "." +
                              std::string(reinterpret_cast<char*>(tn), tn ? tl : 0);
            }
            text* name = nullptr;
            ub4 nameLength = 0;
            OCI.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, static_cast<OCIError*>(sec));
            if (name) rawName.assign(reinterpret_cast<char*>(name), std::min<ub4>(nameLength, 30));
            AttrArea prec, scale, nullok;
            GetAttr(param, prec, OCI_ATTR_PRECISION, sec);
            GetAttr(param, scale, OCI_ATTR_SCALE, sec);
            GetAttr(param, nullok, OCI_ATTR_IS_NULL, sec);
            f->prec = prec.As<sb2>();
            f->scale = scale.As<sb1>();
            f->nullok = nullok.As<ub1>();
            OCI.OCIDescriptorFree(param, OCI_DTYPE_PARAM);
        } else {
            sb4 dbsize = 0, nameLength = 30, displaySize = 0;
            sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
            sb1 name[32] = {};
            OCI.odescr(&FCDA, i, &dbsize, &dbtype, name, &nameLength, &displaySize, &prec, &scale, &nullok);
            FLastWasOCI7 = true;
            if (FCDA.rc == 1007) {
                FSession->Release(true);
                break;
            }
            if (FCDA.rc != 0) fail();
            f->dbsize = dbsize;
            f->dbtype = dbtype;
            f->prec = prec;
            f->scale = scale;
            f->nullok = nullok;
            f->CharSetForm = 1;
            f->CharSetID = 1;
            rawName.assign(reinterpret_cast<char*>(name), size_t(std::clamp<sb4>(nameLength, 0, 30)));
        }
        FSession->Release(true);
        if (f->scale == -127 && f->prec == 0) f->scale = 0;
        f->IsUTF16 = IsUTF16CharSetID(f->CharSetID);
        f->IsUTF8 = IsUTF8CharSetID(f->CharSetID);
        if (!f->IsUTF16 && !f->IsUTF8 && IsCharacterType(f->dbtype) && NLSLangIsUTF8()) {
            f->IsUTF8 = true;
            f->CharSetID = 873;
        }
        f->name = NLSLangIsUTF8() ? Utf16ToAnsi(Utf8ToUtf16(rawName)) : rawName;

        // Buffer type and size.
        switch (f->dbtype) {
        case 2:
        case 100:
        case 101: {
            const TNumberFetch nf =
                NumberFetchType(*FSession, f->prec, f->scale, FStringFieldsOnly && !FNoNumberStringFields);
            f->buftype = nf.DataType;
            f->bufsize = nf.DataType == otInteger ? 4 : nf.DataType == otFloat ? 8 : nf.BufferSize;
            break;
        }
        case 8:
        case 24:
            f->buftype = f->dbtype == 8 ? otLong : otLongRaw;
            f->bufsize = oci8 ? 0 : InitialLongPieceSize;
            FUsedCache = 1;
            break;
        case 11:
        case 104:
            f->buftype = otString;
            f->bufsize = WideRowIdFields ? 128 : std::max(f->dbsize + 1, 19);
            break;
        case 12:
            if (FStringFieldsOnly && !FNoDateStringFields) {
                f->buftype = otString;
                f->bufsize = WideNumberBuffers ? FSession->CharacterSize() * 40 : FSession->DateFormatLength() + 1;
            } else {
                f->buftype = otDate;
                f->bufsize = 7;
            }
            break;
        case 23:
            f->buftype = otString;
            f->bufsize = 2 * f->dbsize + 1;
            break;
        case 106:
            f->buftype = otString;
            f->bufsize = 255;
            break;
        case 108:
            CheckOCI8(FSession, "A query with objects");
            f->buftype = otObject;
            f->bufsize = kPointerSlot;
            break;
        case 110:
            CheckOCI8(FSession, "A query with references");
            f->buftype = otReference;
            f->bufsize = kPointerSlot;
            break;
        case 112:
        case 113:
        case 114:
            CheckOCI8(FSession, "A query with LOB's");
            f->buftype = uint16_t(f->dbtype);
            f->bufsize = kPointerSlot;
            break;
        case 116:
            CheckOCI8(FSession, "A query with sub-queries");
            f->buftype = otCursor;
            f->bufsize = kPointerSlot;
            break;
        case 187:
        case 188:
        case 232: {
            const TTimestampFetch tf = TimestampFetchType(*FSession);
            if (tf.AsText) {
                f->buftype = otString;
                f->bufsize = tf.BufferSize;
            } else {
                CheckNet9(FSession, "A query with timestamps");
                f->buftype = uint16_t(f->dbtype);
                f->bufsize = kPointerSlot;
            }
            break;
        }
        case 189:
        case 190:
            f->buftype = otString;
            f->bufsize = FSession->CharacterSize() * 20;
            break;
        default:
            f->buftype = otString;
            f->bufsize = f->dbsize + 1 + (f->IsUTF16 ? 1 : 0);
            break;
        }
        FFields.push_back(std::move(f));
    }

    // Buffers.
    for (auto& fp : FFields) {
        TFieldData& f = *fp;
        f.cache = FUsedCache;
        if (f.bufsize > 0) {
            f.buf = std::make_unique<uint8_t[]>(size_t(f.cache) * size_t(f.bufsize));
        }
        f.ind = std::make_unique<int16_t[]>(size_t(f.cache));
        f.rlen = std::make_unique<uint16_t[]>(size_t(f.cache));
        const int t = f.buftype;
        if (IsLobType(t) || IsTimestampCode(t) || t == otCursor) {
            f.Descriptors.assign(size_t(f.cache), nullptr);
            f.DescriptorType = t == otBFile                ? OCI_DTYPE_FILE
                               : IsLobType(t)              ? OCI_DTYPE_LOB
                               : t == otTimestamp          ? OCI_DTYPE_TIMESTAMP
                               : t == otTimestampTZ        ? OCI_DTYPE_TIMESTAMP_TZ
                               : t == otTimestampLTZ       ? OCI_DTYPE_TIMESTAMP_LTZ
                                                           : 0;
            for (int r = 0; r < f.cache; ++r) {
                void* d = nullptr;
                sword st = t == otCursor
                               ? OCI.OCIHandleAlloc(FSession->EnvHandle(), &d, OCI_HTYPE_STMT, 0, nullptr)
                               : OCI.OCIDescriptorAlloc(FSession->EnvHandle(), &d, f.DescriptorType, 0, nullptr);
                if (st != OCI_SUCCESS) {
                    FreeFields();
                    FSession->Check(st, this);
                }
                f.Descriptors[size_t(r)] = d;
                std::memcpy(f.Slot(r), &d, sizeof d);
            }
        }
        if (t == otObject) f.NullStructs.assign(size_t(f.cache), nullptr);
        if (IsLobType(t) || IsTimestampCode(t) || t == otObject || t == otReference) FRowObjects = true;
        if (IsLobType(t)) {
            // One locator per column, named after it, pointed at the current row by the fetch.
            auto lob = std::make_unique<TLOBLocator>(FSession, t);
            lob->SetName(f.name);
            lob->SetCharSetForm(f.CharSetForm ? f.CharSetForm : 1);
            const int id = f.CharSetID;
            if (!IgnoreCharSet && (id == 870 || id == 871 || id == 873 || id == 1000 || id == 2000)) lob->SetCharSetID(id);
            if (t == otCLOB && f.CharSetForm == 2) lob->SetNCLOB(true);
            f.Obj = std::move(lob);
        }
        if (IsTimestampCode(t)) f.TimestampObj = std::make_unique<TOracleTimestamp>(FSession, t);
    }
    FDescribed = true;
}

void TOracleQuery::DefineColumns() {
    const bool oci8 = FSession->UseOCI80();
    auto* err = static_cast<OCIError*>(FErrHp);
    for (size_t k = 0; k < FFields.size(); ++k) {
        TFieldData& f = *FFields[k];
        const int pos = int(k) + 1;
        const ub2 external = f.dbtype == 106 ? 106 : f.buftype;
        FSession->Acquire(true);
        if (oci8) {
            const bool isLong = f.buftype == otLong || f.buftype == otLongRaw;
            OCIDefine* define = nullptr;
            bool ok = Check8(OCI.OCIDefineByPos(static_cast<OCIStmt*>(FStmt), &define, err, ub4(pos), f.buf.get(),
                                                isLong ? LongDefineSize : f.bufsize, external, f.ind.get(), f.rlen.get(),
                                                nullptr, isLong ? OCI_DYNAMIC_FETCH : OCI_DEFAULT));
            f.defnp = define;
            if (ok && (f.buftype == otString || f.buftype == otLong) && (f.IsUTF8 || f.IsUTF16)) {
                ub1 form = f.CharSetForm;
                ub2 id = f.CharSetID;
                ok = Check8(OCI.OCIAttrSet(define, OCI_HTYPE_DEFINE, &form, 1, kAttrCharsetForm, err)) &&
                     Check8(OCI.OCIAttrSet(define, OCI_HTYPE_DEFINE, &id, 2, kAttrCharsetId, err));
            }
            if (ok && isLong) ok = Check8(OCI.OCIDefineDynamic(define, err, &f, LongPieceCallback));
            if (ok && f.buftype == otObject)
                ok = Check8(OCI.OCIDefineObject(define, err, static_cast<OCIType*>(f.TDO), reinterpret_cast<void**>(f.buf.get()),
                                                nullptr, f.NullStructs.data(), nullptr));
            if (ok && f.buftype == otReference)
                ok = Check8(OCI.OCIDefineObject(define, err, nullptr, reinterpret_cast<void**>(f.buf.get()), nullptr, nullptr,
                                                nullptr));
            if (!ok) Raise();
        } else {
            OCI.odefin(&FCDA, pos, f.buf.get(), f.bufsize, external, -1, f.ind.get(), nullptr, -1, -1, f.rlen.get(), nullptr);
            FLastWasOCI7 = true;
            if (FCDA.rc != 0) Raise();
        }
        FSession->Release(true);
    }
}

void TOracleQuery::FreeField(TFieldData& f) {
    f.Obj.reset();
    f.TimestampObj.reset();
    const bool loaded = OCILoaded();
    if (loaded && (f.buftype == otObject || f.buftype == otReference || f.TDO || f.RefTDO) && FSession &&
        FSession->Connected()) {
        FreeRowObjects(f, f.Senvhp, f.Serrhp);
        if (f.TDO) OCI.OCIObjectUnpin(static_cast<OCIEnv*>(f.Senvhp), static_cast<OCIError*>(f.Serrhp), f.TDO);
        if (f.RefTDO) OCI.OCIObjectFree(static_cast<OCIEnv*>(f.Senvhp), static_cast<OCIError*>(f.Serrhp), f.RefTDO, 0);
    }
    f.TDO = f.RefTDO = nullptr;
    if (loaded) {
        for (void* d : f.Descriptors) {
            if (!d) continue;
            if (f.DescriptorType == 0)
                OCI.OCIHandleFree(d, OCI_HTYPE_STMT);
            else
                OCI.OCIDescriptorFree(d, f.DescriptorType);
        }
    }
    f.Descriptors.clear();
    f.NullStructs.clear();
    f.LongPieces.clear();
    f.buf.reset();
    f.ind.reset();
    f.rlen.reset();
}

void TOracleQuery::FreeFields() {
    for (auto& f : FFields) FreeField(*f);
    FFields.clear();
    FRowObjects = false;
    FDescribed = false;
}

void TOracleQuery::PrepareFetch() {
    for (auto& fp : FFields) {
        TFieldData& f = *fp;
        if (f.buftype == otLong || f.buftype == otLongRaw) f.LongPieces.clear();
        if (f.buftype == otObject || f.buftype == otReference) FreeRowObjects(f, f.Senvhp, f.Serrhp);
        if ((f.buftype == otCLOB || f.buftype == otBLOB) && HasOCI81 && OCI.OCILobIsTemporary) {
            for (void* d : f.Descriptors) {
                boolean temporary = 0;
                if (d &&
                    OCI.OCILobIsTemporary(static_cast<OCIEnv*>(FSession->EnvHandle()), static_cast<OCIError*>(FSecErrHp),
                                          static_cast<OCILobLocator*>(d), &temporary) == OCI_SUCCESS &&
                    temporary)
                    OCI.OCILobFreeTemporary(static_cast<OCISvcCtx*>(FSession->ServiceContext()),
                                            static_cast<OCIError*>(FSecErrHp), static_cast<OCILobLocator*>(d));
            }
        }
    }
}

void TOracleQuery::RewindLOBs() {
    if (!FRowObjects) return;   // walking plain columns costs nothing here
    for (auto& fp : FFields)
        if (IsLobType(fp->buftype) && fp->Obj) static_cast<TLOBLocator*>(fp->Obj.get())->Rewind();
}

TLOBLocator* TOracleQuery::LOBField(int i) {
    TFieldData& f = CheckField(i);
    if (!IsLobType(f.buftype) || !f.Obj) throw Exception("Field " + f.name + " is not a LOB");
    return static_cast<TLOBLocator*>(f.Obj.get());
}

void TOracleQuery::AttachValueObjects() {
    if (!FRowObjects) return;
    // LOB and timestamp columns show the current row's descriptor. (Object and REF columns are
    // pointed at their row here once those classes exist; the row's descriptors are in
    // TFieldData::Descriptors.)
    const size_t row = size_t(FCacheIndex);
    for (auto& fp : FFields) {
        TFieldData& f = *fp;
        if (IsLobType(f.buftype) && f.Obj && row < f.Descriptors.size()) {
            // Flushed and out of buffering, at 0, its file closed, then on the new row.
            auto* lob = static_cast<TLOBLocator*>(f.Obj.get());
            if (lob->Buffering()) lob->SetBuffering(false);
            lob->Rewind();
            lob->CloseFile();
            lob->PointAt(&f.Descriptors[row], f.Slot(int(row)));
            continue;
        }
        if (IsTimestampCode(f.buftype) && f.TimestampObj && row < f.Descriptors.size())
            static_cast<TOracleTimestamp*>(f.TimestampObj.get())->AttachDescriptor(f.Descriptors[row], f.buftype, false, f.ind[row] == -1);
    }
}

TOracleTimestamp* TOracleQuery::TimestampField(int i) {
    TFieldData& f = CheckField(i);
    if (!IsTimestampCode(f.buftype) || !f.TimestampObj) throw Exception("Field " + f.name + " is not a Timestamp");
    auto* ts = static_cast<TOracleTimestamp*>(f.TimestampObj.get());
    ts->SetNullFlag(FieldIsNull(i));
    return ts;
}

int32_t TOracleQuery::FieldRowsProcessed() {
    if (!FSession->UseOCI80()) return int32_t(FCDA.rpc);
    ub4 count = 0;
    OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, static_cast<OCIError*>(FSecErrHp));
    return int32_t(count);
}

void TOracleQuery::FetchBlock(int rows) {
    PrepareFetch();
    int32_t code;
    if (FSession->UseOCI80()) {
        auto* err = static_cast<OCIError*>(FErrHp);
        sword st = HasOCI9 && OCI.OCIStmtFetch2
                       ? OCI.OCIStmtFetch2(static_cast<OCIStmt*>(FStmt), err, ub4(rows), OCI_FETCH_NEXT, 0, OCI_DEFAULT)
                       : OCI.OCIStmtFetch(static_cast<OCIStmt*>(FStmt), err, ub4(rows), OCI_FETCH_NEXT, OCI_DEFAULT);
        Check8(st);
        code = Status();
    } else {
        OCI.ofen(&FCDA, rows);
        FLastWasOCI7 = true;
        code = FCDA.rc;
    }
    if (code != 0 && code != 1403 && code != 1406) Raise();
}

// ------------------------------------------------------------------------------------------------
// Navigation

void TOracleQuery::Next() {
    if (FEof) return;
    if (!FSession) throw Exception("Session undefined");
    if (!FSession->Connected()) throw Exception("Not logged on");
    struct StateReset {
        TOracleQuery& q;
        ~StateReset() { q.FState = qsIdle; }
    } reset{*this};
    FState = qsFetching;
    ++FCacheIndex;
    RewindLOBs();
    bool fetched = false;
    if (FCacheIndex >= FCached) {
        if (FCached < FUsedCache) {
            FEof = true;
        } else {
            const int32_t r = FieldRowsProcessed();
            QueryInternal::ShowCursor(*this);
            FSession->Acquire(true);
            if (QueryMonitor) {
                EnsureMonitorId();
                QueryMonitor->ActivityStart(FMonitorId, "Query.Next for up to " + std::string() +
                                                            std::to_string(FUsedCache) +
                                                            (FUsedCache == 1 ? " record" : " records"),
                                            std::string(), std::string());
            }
            try {
                FetchBlock(FUsedCache);
            } catch (const Exception& e) {
                if (QueryMonitor) QueryMonitor->ActivityEnd(FMonitorId, true, e.Message(), FFunctionType);
                throw;
            }
            FSession->Release(true);
            FCacheIndex = 0;
            const int32_t now = FieldRowsProcessed();
            FCached = now - r;
            FEof = now == r;
            fetched = true;
            if (QueryMonitor) {
                const int n = FCached;
                QueryMonitor->ActivityEnd(FMonitorId, false,
                                          " (" + std::to_string(n) + (n == 1 ? " record" : " records") + " processed)",
                                          FFunctionType);
            }
            QueryInternal::RestoreCursor(*this);
        }
    }
    if (!FEof) {
        AttachValueObjects();
    } else if (FCallAfterQuery) {
        FCallAfterQuery = false;
        if (AfterQuery) AfterQuery(*this);
    }
    // The results change only with a fetch or at the end; between them nothing is asked of the
    // client, so walking a block costs no client call.
    if (fetched || FEof) {
        UpdateResults();
        AutoClose();
    }
}

int TOracleQuery::RowCount() const {
    if (FEof) return FRowsProcessed;
    return FRowsProcessed + FCacheIndex - FCached + 1;
}

void TOracleQuery::CheckScroll(const char* op) {
    if (!Scrollable) throw Exception(std::string("TOracleQuery.") + op + " only possible if Scrollable = True.");
    if (!FUsedScrollable) throw Exception(std::string("TOracleQuery.") + op + " only possible on Oracle Net 9.0 and later.");
}

int TOracleQuery::ScrollPosition() {
    CheckScroll("ScrollPosition");
    ub4 position = 0;
    OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &position, nullptr, OCI_ATTR_CURRENT_POSITION, static_cast<OCIError*>(FSecErrHp));
    return int(position) - FCached + 1 + FCacheIndex;
}

void TOracleQuery::ScrollTo(int a, bool backward, bool last, const char* op) {
    CheckScroll(op);
    if (!FSession || !FSession->Connected()) throw Exception("Not logged on");
    RewindLOBs();
    if (!last && a <= 0) {
        FEof = true;
        return;
    }
    ub4 position = 0;
    OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &position, nullptr, OCI_ATTR_CURRENT_POSITION, static_cast<OCIError*>(FSecErrHp));
    const int first = int(position) - FCached + 1;
    if (!last && FCached > 0 && a >= first && a < first + FCached) {
        FCacheIndex = a - first;
        FEof = false;
        AttachValueObjects();
        return;
    }
    if (QueryMonitor) {
        EnsureMonitorId();
        QueryMonitor->ActivityStart(FMonitorId, last ? "Query.ScrollTo(Last)" : "Query.ScrollTo(" + std::to_string(a) + ")",
                                    std::string(), std::string());
    }
    PrepareFetch();
    auto* err = static_cast<OCIError*>(FErrHp);
    sword st;
    int index = 0;
    if (last) {
        st = OCI.OCIStmtFetch2(static_cast<OCIStmt*>(FStmt), err, ub4(FUsedCache), OCI_FETCH_LAST, 0, OCI_DEFAULT);
    } else if (backward) {
        const int from = std::max(1, a + 1 - FUsedCache);
        index = a - from;
        st = OCI.OCIStmtFetch2(static_cast<OCIStmt*>(FStmt), err, ub4(FUsedCache), OCI_FETCH_ABSOLUTE, from, OCI_DEFAULT);
    } else {
        st = OCI.OCIStmtFetch2(static_cast<OCIStmt*>(FStmt), err, ub4(FUsedCache), OCI_FETCH_ABSOLUTE, a, OCI_DEFAULT);
    }
    Check8(st);
    const int32_t code = Status();
    if (code != 0 && code != 1403 && code != 1406) {
        if (QueryMonitor) QueryMonitor->ActivityEnd(FMonitorId, true, "ORA-" + std::to_string(code), FFunctionType);
        Raise();
    }
    ub4 fetched = 0;
    OCI.OCIAttrGet(FStmt, OCI_HTYPE_STMT, &fetched, nullptr, kAttrRowsFetched, static_cast<OCIError*>(FSecErrHp));
    FCached = int(fetched);
    FCacheIndex = std::min(index, std::max(0, FCached - 1));
    FEof = FCached == 0;
    if (QueryMonitor) QueryMonitor->ActivityEnd(FMonitorId, false, std::string(), FFunctionType);
    if (!FEof) AttachValueObjects();
}

void TOracleQuery::First() { ScrollTo(1, false, false, "First"); }
void TOracleQuery::Last() { ScrollTo(0, false, true, "Last"); }
void TOracleQuery::Prior() { MoveBy(-1); }

int TOracleQuery::MoveBy(int distance) {
    const int old = ScrollPosition();
    ScrollTo(old + distance, distance == -1, false, "MoveBy");
    if (FEof) return distance > 0 ? distance - 1 : distance;
    int moved = ScrollPosition() - old;
    return moved;
}

void TOracleQuery::MoveTo(int position) { ScrollTo(position, false, false, "MoveTo"); }

// ------------------------------------------------------------------------------------------------
// Metadata

TFieldData& TOracleQuery::CheckField(int i) const {
    if (i < 0 || i >= int(FFields.size())) throw Exception("Field " + std::to_string(i) + " does not exist");
    return *FFields[size_t(i)];
}

const TFieldData& TOracleQuery::FieldData(int i) const { return CheckField(i); }

int TOracleQuery::FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < FFields.size(); ++i)
        if (AnsiSameText(FFields[i]->name, name)) return int(i);
    return -1;
}

int TOracleQuery::FieldIndex(std::u16string_view name) const {
    if (NLSLangIsUTF8()) {
        const std::u16string upper = WideUpperCase(name);
        for (size_t i = 0; i < FFields.size(); ++i)
            if (WideUpperCase(AnsiToUtf16(FFields[i]->name)) == upper) return int(i);
        return -1;
    }
    return FieldIndex(Utf16ToAnsi(name));
}

int TOracleQuery::IndexOf(const std::string& name) const {
    const int i = FieldIndex(name);
    if (i < 0) throw Exception("Field " + name + " does not exist");
    return i;
}

int TOracleQuery::IndexOf(std::u16string_view name) const {
    const int i = FieldIndex(name);
    if (i < 0) throw Exception("Field " + Utf16ToAnsi(name) + " does not exist");
    return i;
}

std::string TOracleQuery::FieldName(int i) const { return CheckField(i).name; }
std::u16string TOracleQuery::FieldNameAsWideString(int i) const { return AnsiToUtf16(CheckField(i).name); }
int TOracleQuery::FieldType(int i) const { return CheckField(i).buftype; }
int TOracleQuery::FieldDBType(int i) const { return CheckField(i).dbtype; }
int TOracleQuery::FieldPrecision(int i) const { return CheckField(i).prec; }
int TOracleQuery::FieldScale(int i) const { return CheckField(i).scale; }
int TOracleQuery::FieldSize(int i) const {
    const TFieldData& f = CheckField(i);
    return f.buftype == otString ? f.bufsize - 1 : 0;
}
bool TOracleQuery::FieldOptional(int i) const { return CheckField(i).nullok != 0; }
bool TOracleQuery::FieldIsNChar(int i) const { return CheckField(i).CharSetForm == 2; }
int TOracleQuery::FieldCharSize(int i) const { return CheckField(i).CharSize; }
int TOracleQuery::FieldCharSetId(int i) const { return CheckField(i).CharSetID; }
int TOracleQuery::FieldCharSetForm(int i) const { return CheckField(i).CharSetForm; }
bool TOracleQuery::FieldIsUTF8(int i) const { return CheckField(i).IsUTF8; }
bool TOracleQuery::FieldIsUTF16(int i) const { return CheckField(i).IsUTF16; }

std::string TOracleQuery::FieldTypeName(int i) const {
    const TFieldData& f = CheckField(i);
    switch (f.dbtype) {
    case 1: return f.CharSetForm == 2 ? "NVARCHAR2" : "VARCHAR2";
    case 2: return f.scale == -127 && f.prec != 0 ? "FLOAT" : "NUMBER";
    case 8: return "LONG";
    case 11: return "ROWID";
    case 12: return "DATE";
    case 23: return "RAW";
    case 24: return "LONG RAW";
    case 96: return f.CharSetForm == 2 ? "NCHAR" : "CHAR";
    case 100: return "BINARY_FLOAT";
    case 101: return "BINARY_DOUBLE";
    case 104: return "UROWID";
    case 106: return "MLSLABEL";
    case 108: return f.TypeName;
    case 110: return "REF " + f.TypeName;
    case 112: return f.CharSetForm == 2 ? "NCLOB" : "CLOB";
    case 113: return "BLOB";
    case 114: return "BFILE";
    case 116: return "CURSOR";
    case 187: return "TIMESTAMP";
    case 188: return "TIMESTAMP WITH TIME ZONE";
    case 232: return "TIMESTAMP WITH LOCAL TIME ZONE";
    case 189: return "INTERVAL YEAR TO MONTH";
    case 190: return "INTERVAL DAY TO SECOND";
    default: return "UNKNOWN";
    }
}

// ------------------------------------------------------------------------------------------------
// Values

void TOracleQuery::CheckNotEof() const {
    if (FEof) throw Exception("You cannot access field data beyond Eof");
}

Variant TOracleQuery::NullResult() const {
    return FSession && FSession->NullValue == nvNull ? Variant::Null() : Variant();
}

bool TOracleQuery::FieldIsNull(int i) const {
    const TFieldData& f = CheckField(i);
    CheckNotEof();
    if (f.buftype == otObject) {
        const void* nulls = f.NullStructs.empty() ? nullptr : f.NullStructs[size_t(FCacheIndex)];
        return !nulls || *static_cast<const int16_t*>(nulls) != 0;
    }
    return f.ind[size_t(FCacheIndex)] == -1;
}

std::string TOracleQuery::RefHex(const TFieldData& f) const {
    void* ref = nullptr;
    std::memcpy(&ref, f.Slot(FCacheIndex), sizeof ref);
    auto* env = static_cast<OCIEnv*>(f.Senvhp);
    if (!ref || !OCI.OCIRefHexSize || !OCI.OCIRefToHex) return std::string();
    ub4 size = OCI.OCIRefHexSize(env, static_cast<OCIRef*>(ref));
    std::string hex(size_t(size), '\0');
    if (OCI.OCIRefToHex(env, static_cast<OCIError*>(f.Serrhp), static_cast<OCIRef*>(ref), reinterpret_cast<text*>(hex.data()),
                        &size) != OCI_SUCCESS)
        return std::string();
    hex.resize(std::min<size_t>(size, hex.size()));
    return hex;
}

std::string TOracleQuery::LongData(int i) {
    TFieldData& f = *FFields[size_t(i)];
    std::string out;
    if (FSession->UseOCI80()) {
        out.reserve(size_t(f.LongSize()));
        for (const auto& p : f.LongPieces) out.append(reinterpret_cast<const char*>(p.PieceBuf.get()), p.ActualSize);
        return out;
    }
    int chunk = std::max(1, InitialLongPieceSize);
    std::string buffer;
    for (;;) {
        buffer.resize(size_t(chunk));
        const int got = GetLongField(i, buffer.data(), chunk, int(out.size()));
        out.append(buffer.data(), size_t(std::max(0, got)));
        if (got < chunk) break;
        if (chunk < MaxLongPieceSize) chunk *= 2;
    }
    return out;
}

Variant TOracleQuery::LongText(int i) {
    const TFieldData& f = *FFields[size_t(i)];
    const std::string bytes = LongData(i);
    if (f.IsUTF8) {
        const std::u16string wide = Utf8ToUtf16(bytes);
        return Variant(ConvertCRLF(FSession) ? AdjustLineBreaks(wide) : wide);
    }
    return Variant(ConvertCRLF(FSession) ? AdjustLineBreaks(bytes) : bytes);
}

Variant TOracleQuery::Field(int i) {
    TFieldData& f = CheckField(i);
    if (FieldIsNull(i) || f.buftype == otCursor) return NullResult();
    const int row = FCacheIndex;
    switch (f.buftype) {
    case otLong: return LongText(i);
    case otLongRaw: {
        const std::string bytes = LongData(i);
        return Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    case otObject: return NullResult();
    case otReference: return Variant(RefHex(f));
    case otCLOB:
    case otBLOB:
    case otBFile: {
        auto* lob = static_cast<TLOBLocator*>(f.Obj.get());
        if (!lob || lob->Size() == 0) return NullResult();
        if (f.buftype == otCLOB) {
            if (lob->IsUTF16()) return Variant(lob->AsWideString());
            return Variant(lob->AsString());
        }
        std::vector<uint8_t> bytes(size_t(lob->Size()));
        lob->Seek(0, soBeginning);
        bytes.resize(size_t(lob->Read(bytes.data(), int64_t(bytes.size()))));
        lob->Rewind();
        if (f.buftype == otBFile) lob->CloseFile();
        return Variant(std::move(bytes));
    }
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ: return Variant(FieldAsDate(i));
    default: return ConvertBufferOut(f.Slot(row), f.bufsize, f.buftype, f.CharSetID, FSession, f.rlen[size_t(row)]);
    }
}

std::string TOracleQuery::FieldAsString(int i) {
    TFieldData& f = CheckField(i);
    if (FieldIsNull(i)) return std::string();
    const int row = FCacheIndex;
    const uint8_t* slot = f.Slot(row);
    if (f.IsUTF16 && (f.buftype == otString || f.buftype == otLong)) {
        // ConvertUTF always reads as cuUTF8ToUTF16: the text itself, in the process code page.
        if (f.buftype == otLong) return Field(i).ToString();
        std::u16string wide = Utf16FromBuffer(slot, f.rlen[size_t(row)], f.CharSetID);
        return Utf16ToAnsi(ConvertCRLF(FSession) ? AdjustLineBreaks(wide) : wide);
    }
    switch (f.buftype) {
    case otInteger: {
        int32_t v;
        std::memcpy(&v, slot, 4);
        return std::to_string(v);
    }
    case otFloat: {
        double v;
        std::memcpy(&v, slot, 8);
        return FloatToStr(v);
    }
    case otString: {
        const auto* p = reinterpret_cast<const char*>(slot);
        std::string_view s(p, strnlen(p, size_t(f.bufsize)));
        if (f.IsUTF8) {
            if (!IsAscii(s)) {
                const std::string text = Utf8ToAnsiText(s);
                return ConvertCRLF(FSession) ? AdjustLineBreaks(text) : text;
            }
        }
        return ConvertCRLF(FSession) ? AdjustLineBreaks(s) : std::string(s);
    }
    case otLong:
    case otCLOB: return Field(i).ToString();
    case otDate: return DateText(OracleDateToDateTime(slot));
    case otLongRaw: return LongData(i);
    case otBLOB:
    case otBFile: {
        const Variant v = Field(i);
        if (v.IsNullOrUnassigned()) return std::string();
        const std::vector<uint8_t> bytes = v.ToBytes();
        return std::string(bytes.begin(), bytes.end());
    }
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ: return FormatDateTime("ddddd tt", FieldAsDate(i));
    case otReference: return RefHex(f);
    default: throw Exception("Cannot convert field " + f.name + " to a String");
    }
}

std::u16string TOracleQuery::FieldAsWideString(int i) {
    TFieldData& f = CheckField(i);
    if (FieldIsNull(i)) return std::u16string();
    const int row = FCacheIndex;
    const uint8_t* slot = f.Slot(row);
    if (f.IsUTF16 && f.buftype == otString) {
        const std::u16string wide = Utf16FromBuffer(slot, f.rlen[size_t(row)], f.CharSetID);
        return ConvertCRLF(FSession) ? AdjustLineBreaks(wide) : wide;
    }
    if (f.IsUTF8 || f.IsUTF16) {
        if (f.buftype == otCLOB && f.Obj) return static_cast<TLOBLocator*>(f.Obj.get())->AsWideString();
        if (f.buftype == otLong) return Field(i).ToUString();
        if (f.buftype == otString) {
            const auto* p = reinterpret_cast<const char*>(slot);
            const std::u16string wide = Utf8ToUtf16(std::string_view(p, strnlen(p, size_t(f.bufsize))));
            return ConvertCRLF(FSession) ? AdjustLineBreaks(wide) : wide;
        }
    }
    return AnsiToUtf16(FieldAsString(i));
}

int32_t TOracleQuery::FieldAsInteger(int i) {
    TFieldData& f = CheckField(i);
    if (FieldIsNull(i)) return 0;
    const uint8_t* slot = f.Slot(FCacheIndex);
    switch (f.buftype) {
    case otInteger: {
        int32_t v;
        std::memcpy(&v, slot, 4);
        return v;
    }
    case otFloat: {
        double v;
        std::memcpy(&v, slot, 8);
        const double t = std::trunc(v);
        if (!(t >= -2147483648.0 && t <= 2147483647.0)) throw Exception("Cannot convert field " + f.name + " to an Integer");
        return int32_t(t);
    }
    case otString: return StrToInt(Trim(FieldAsString(i)));
    case otDate: {
        const double t = std::trunc(OracleDateToDateTime(slot).Value);
        return int32_t(t);
    }
    default: throw Exception("Cannot convert field " + f.name + " to an Integer");
    }
}

double TOracleQuery::FieldAsFloat(int i) {
    TFieldData& f = CheckField(i);
    if (f.buftype == otFloat) {
        // The common case first: a NUMBER column fetched as a float.
        CheckNotEof();
        if (f.ind[size_t(FCacheIndex)] == -1) return 0;
        double v;
        std::memcpy(&v, f.Slot(FCacheIndex), 8);
        return v;
    }
    if (FieldIsNull(i)) return 0;
    const uint8_t* slot = f.Slot(FCacheIndex);
    switch (f.buftype) {
    case otInteger: {
        int32_t v;
        std::memcpy(&v, slot, 4);
        return v;
    }
    case otString: return StrToFloat(Trim(FieldAsString(i)));
    case otDate: return OracleDateToDateTime(slot).Value;
    default: throw Exception("Cannot convert field " + f.name + " to a Float");
    }
}

TDateTime TOracleQuery::FieldAsDate(int i) {
    TFieldData& f = CheckField(i);
    if (FieldIsNull(i)) return TDateTime{0};
    const uint8_t* slot = f.Slot(FCacheIndex);
    switch (f.buftype) {
    case otInteger: {
        int32_t v;
        std::memcpy(&v, slot, 4);
        return TDateTime{double(v)};
    }
    case otFloat: {
        double v;
        std::memcpy(&v, slot, 8);
        return TDateTime{v};
    }
    case otString: return StrToDate(Trim(FieldAsString(i)));
    case otDate: return OracleDateToDateTime(slot);
    case otTimestamp:
    case otTimestampTZ:
    case otTimestampLTZ: {
        return TimestampDescriptorToDateTime(*FSession, FSecErrHp, f.Descriptors[size_t(FCacheIndex)]);
    }
    default: throw Exception("Cannot convert field " + f.name + " to a Date");
    }
}

int TOracleQuery::GetLongField(int i, void* buffer, int length, int offset) {
    TFieldData& f = CheckField(i);
    if (f.buftype != otLong && f.buftype != otLongRaw) throw Exception("Field " + std::to_string(i) + " is not a Long");
    CheckNotEof();
    if (length <= 0 || offset < 0) return 0;
    auto* dest = static_cast<uint8_t*>(buffer);
    if (FSession->UseOCI80()) {
        int copied = 0;
        int64_t at = 0;
        for (const auto& p : f.LongPieces) {
            if (copied >= length) break;
            const int64_t pieceEnd = at + p.ActualSize;
            if (pieceEnd > offset) {
                const int64_t from = std::max<int64_t>(offset + copied, at) - at;
                const int n = int(std::min<int64_t>(p.ActualSize - from, length - copied));
                std::memcpy(dest + copied, p.PieceBuf.get() + from, size_t(n));
                copied += n;
            }
            at = pieceEnd;
        }
        return copied;
    }
    if (length > 64000) {
        int total = 0;
        for (;;) {
            const int n = GetLongField(i, dest + total, std::min(64000, length - total), offset + total);
            total += n;
            if (n < 64000 || total >= length) return total;
        }
    }
    const int row = FCacheIndex;
    // What the define buffer holds. A client may report the value's whole length for a value
    // cut to the buffer, so the length is bounded by the buffer, and a buffer filled up means
    // there is more to read.
    const int returned = f.ind[size_t(row)] == -1 ? 0 : int(f.rlen[size_t(row)]);
    const int held = std::min(returned, f.bufsize);
    int copied = 0;
    if (offset < held) {
        copied = std::min(length, held - offset);
        std::memcpy(dest, f.Slot(row) + offset, size_t(copied));
    }
    if (copied < length && held >= f.bufsize) {
        FSession->Acquire(true);
        const ub4 processed = FCDA.rpc;
        ub4 returned = 0;
        OCI.oflng(&FCDA, i + 1, dest + copied, length - copied, f.buftype, &returned, offset + copied);
        FLastWasOCI7 = true;
        FCDA.rpc = processed;
        if (FCDA.rc != 0 && FCDA.rc != 1406) Raise();
        FSession->Release(true);
        copied += int(returned);
    }
    return copied;
}

std::unique_ptr<TOracleQuery> TOracleQuery::GetCursor(int i) {
    TFieldData& f = CheckField(i);
    if (f.buftype != otCursor) throw Exception("Field " + f.name + " is not a cursor");
    if (FieldIsNull(i)) throw Exception("Field " + f.name + " is NULL, LOBLocator does not exist");
    auto q = std::make_unique<TOracleQuery>();
    q->SetName("NestedCursorQuery");
    q->SetSession(FSession);
    q->MakeResultSet();
    q->Open();
    const size_t row = size_t(FCacheIndex);
    q->FStmt = f.Descriptors[row];
    void* fresh = nullptr;
    FSession->Check(OCI.OCIHandleAlloc(FSession->EnvHandle(), &fresh, OCI_HTYPE_STMT, 0, nullptr), this);
    f.Descriptors[row] = fresh;
    std::memcpy(f.Slot(int(row)), &fresh, sizeof fresh);
    return q;
}

} // namespace quorvel
