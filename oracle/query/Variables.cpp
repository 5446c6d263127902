#include "oracle/query/Variables.h"

#include "base/CodePage.h"
#include "base/DateTime.h"
#include "base/FormatSettings.h"
#include "base/Stream.h"
#include "base/TextCase.h"
#include "db/Params.h"
#include "oracle/session/OracleSession.h"
#include "oracle/session/OracleTimestamp.h"
#include "oracle/session/UTF8.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quorvel {

// ---- type codes -----------------------------------------------------------------------------

bool IsStringType(int type) {
    return type == otSubst || type == otString || type == otPLSQLString || type == otChar;
}

bool IsTimestampType(int type) {
    return type == otTimestamp || type == otTimestampTZ || type == otTimestampLTZ;
}

bool IsComplexType(int type) {
    switch (type) {
    case otObject: case otReference: case otCursor:
    case otCLOB: case otBLOB: case otBFile:
    case otTimestamp: case otTimestampTZ: case otTimestampLTZ:
        return true;
    default:
        return false;
    }
}

bool IsVariableType(int type) { return DeclaredBufferSize(type, std::string()) >= 0; }

int DeclaredBufferSize(int type, const std::string& normalizedName) {
    switch (type) {
    case otSubst: case otLong: case otLongRaw: return 0;
    case otInteger: return 4;
    case otFloat: return 8;
    case otString:
        return !NoRowIdVariableSizing && normalizedName.find("ROWID") != std::string::npos ? 501 : 4001;
    case otPLSQLString: return 32513;
    case otDate: return 7;
    case otChar: return 4001;
    default: return IsComplexType(type) ? 0 : -1;
    }
}

bool IsUTF8CharSetID(int id) { return id == 870 || id == 871 || id == 873; }
bool IsUTF16CharSetID(int id) { return id == 1000 || id == 2000; }

namespace {

// ---- what the variables ask of the session (all of it has a meaning without one) ------------

bool StripsCR(TOracleSession* s) { return s == nullptr || s->Preferences().ConvertCRLF(); }
bool ZeroDateIsNull(TOracleSession* s) { return s == nullptr || s->Preferences().ZeroDateIsNull(); }
int MaxVarchar(TOracleSession* s) { return s ? s->MaxVarchar() : 2000; }
Variant NullResult(TOracleSession* s) {
    return s != nullptr && s->NullValue == nvNull ? Variant::Null() : Variant();
}

[[noreturn]] void Fail(const std::string& message) { throw Exception(message); }

// ---- seven-byte DATE (the conversions are the session's) -----------------------------------

// False for a value outside the years 1..9999 (nothing is written then).
bool DateTimeToDate7(TDateTime value, std::uint8_t* d) {
    if (!std::isfinite(value.Value)) return false;
    int year, month, day;
    if (!TryDecodeDate(value, year, month, day)) return false;
    DateTimeToOracleDate(value, d);
    return true;
}

// ---- text helpers ---------------------------------------------------------------------------

template <typename S>
S WithoutCR(S text) {
    text.erase(std::remove(text.begin(), text.end(), typename S::value_type('\r')), text.end());
    return text;
}

// Every lone LF and every lone CR becomes CR LF; CR LF stays (the session's rule). Text that
// needs no change is handed back without a copy.
// Where the first CR or LF is (the size when there is none).
size_t FirstBreak(const std::string& text) {
    const void* cr = std::memchr(text.data(), '\r', text.size());
    const void* lf = std::memchr(text.data(), '\n', text.size());
    size_t a = cr ? size_t(static_cast<const char*>(cr) - text.data()) : text.size();
    size_t b = lf ? size_t(static_cast<const char*>(lf) - text.data()) : text.size();
    return std::min(a, b);
}
size_t FirstBreak(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] != u'\r' && text[i] != u'\n') ++i;
    return i;
}

template <typename S>
S NormalizeLineBreaks(S text) {
    using C = typename S::value_type;
    for (size_t i = FirstBreak(text); i < text.size(); ++i) {
        bool lone = text[i] == C('\n') ? i == 0 || text[i - 1] != C('\r')
                  : text[i] == C('\r') ? i + 1 >= text.size() || text[i + 1] != C('\n')
                                       : false;
        if (lone) return ToCRLF(std::basic_string_view<C>(text));
    }
    return text;
}

template <typename S>
S NormalizeFor(TOracleSession* session, S text) {
    return StripsCR(session) ? NormalizeLineBreaks(std::move(text)) : text;
}

std::uint16_t Swap16(std::uint16_t u) { return std::uint16_t((u >> 8) | (u << 8)); }

// Length of the zero-terminated text in at most size bytes.
size_t BoundedStrLen(const void* p, int size) {
    if (p == nullptr || size <= 0) return 0;
    const void* z = std::memchr(p, 0, size_t(size));
    return z ? size_t(static_cast<const char*>(z) - static_cast<const char*>(p)) : size_t(size);
}

// Bytes before the first zero code unit, in at most size bytes (whole code units).
int BoundedUtf16Bytes(const void* p, int size) {
    if (p == nullptr || size < 2) return 0;
    const auto* b = static_cast<const std::uint8_t*>(p);
    int n = 0;
    while (n + 1 < size && (b[n] != 0 || b[n + 1] != 0)) n += 2;
    return n;
}

// A cut of UTF-8 bytes that does not split a character.
size_t Utf8CutPoint(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

void* AllocBuffer(std::int64_t bytes) {
    if (bytes < 0 || bytes > std::int64_t(INT32_MAX)) throw std::bad_alloc();
    void* p = std::calloc(size_t(std::max<std::int64_t>(bytes, 1)), 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

} // namespace

// ---- one buffer element out -----------------------------------------------------------------

Variant ConvertBufferOut(const void* slot, int slotSize, int type, int charSetID, TOracleSession* session,
                         int length) {
    if (slot == nullptr && !IsComplexType(type)) return Variant();
    switch (type) {
    case otSubst: case otString: case otPLSQLString: case otChar: {
        if (IsUTF16CharSetID(charSetID)) {
            int bytes = std::clamp(length, 0, std::max(slotSize, 0)) & ~1;
            std::u16string text(size_t(bytes / 2), u'\0');
            std::memcpy(text.data(), slot, size_t(bytes));
            if (charSetID == 2000)
                for (auto& c : text) c = char16_t(Swap16(std::uint16_t(c)));
            // ConvertUTF always reads cuUTF8ToUTF16, so UTF-16 text stays UTF-16.
            return Variant(NormalizeFor(session, std::move(text)));
        }
        std::string bytes(static_cast<const char*>(slot), BoundedStrLen(slot, slotSize));
        if (IsUTF8CharSetID(charSetID)) return Variant(NormalizeFor(session, UTF8Decode(bytes)));
        return Variant(NormalizeFor(session, std::move(bytes)));
    }
    case otInteger: {
        std::int32_t v = 0;
        std::memcpy(&v, slot, sizeof v);
        return Variant(v);
    }
    case otFloat: {
        double v = 0;
        std::memcpy(&v, slot, sizeof v);
        return Variant(v);
    }
    case otLong:
        return Variant(std::string(static_cast<const char*>(slot), size_t(std::clamp(length, 0, std::max(slotSize, 0)))));
    case otLongRaw: {
        const auto* b = static_cast<const std::uint8_t*>(slot);
        return Variant(std::vector<std::uint8_t>(b, b + std::clamp(length, 0, std::max(slotSize, 0))));
    }
    case otDate:
        if (slotSize < 7) return Variant();
        return Variant(OracleDateToDateTime(static_cast<const std::uint8_t*>(slot)));
    default:
        if (IsTimestampType(type)) {
            // The slot holds a timestamp descriptor, read with the session's environment.
            void* descriptor = nullptr;
            if (slot != nullptr && slotSize >= int(sizeof descriptor)) std::memcpy(&descriptor, slot, sizeof descriptor);
            if (descriptor == nullptr || session == nullptr) return Variant();
            return Variant(TimestampDescriptorToDateTime(*session, session->SecondErrorHandle(), descriptor));
        }
        if (IsComplexType(type)) {
            void* p = nullptr;
            if (slot != nullptr && slotSize >= int(sizeof p)) std::memcpy(&p, slot, sizeof p);
            return Variant::Object(p);
        }
        Fail("Unsupported variable type");
    }
}

// ---- TVariableData --------------------------------------------------------------------------

TVariableData::~TVariableData() { FreeBuffer(); }

void TVariableData::FreeBuffer() {
    if (BufOwner && buf) std::free(buf);
    buf = nullptr;
}

void* TVariableData::Slot(int index) const {
    if (Complex) return buf;
    if (buf == nullptr) return nullptr;
    return static_cast<char*>(buf) + std::int64_t(index) * bufsize;
}

void TVariableData::ReDim(int newDim, int newSize, TOracleSession* session) {
    if (newDim < 0) newDim = 0;
    if (newDim == ArraySize && (newSize <= 0 || newSize + 1 == bufsize)) return;
    std::int32_t size = bufsize;
    if (BufOwner) {
        if ((buftype == otString || buftype == otChar) && size > MaxVarchar(session) + 1)
            size = MaxVarchar(session) + 1;
        if (newSize > 0) {
            if (newSize >= INT32_MAX) throw std::bad_alloc();
            size = newSize + 1;
        }
        void* fresh = AllocBuffer(std::int64_t(newDim) * size);
        FreeBuffer();
        buf = fresh;
        bufsize = size;
    }
    indp.assign(size_t(newDim), -1);
    ArraySize = newDim;
}

void TVariableData::SetValue(int index, const Variant& value, TOracleSession* session) {
    if (index < 0 || index >= std::max(ArraySize, 1) || size_t(index) >= indp.size())
        Fail("Index " + std::to_string(index) + " out of range for variable " + name);
    if (value.IsNullOrUnassigned()) {
        indp[size_t(index)] = -1;
        if (Complex) {
            buf = nullptr;
            tsv = TDateTime();
        }
        return;
    }
    try {
        switch (buftype) {
        case otSubst: case otLong: {
            std::string text = value.ToString();
            if (StripsCR(session)) text = WithoutCR(std::move(text));
            void* fresh = AllocBuffer(std::int64_t(text.size()) + 1);
            std::memcpy(fresh, text.data(), text.size());
            FreeBuffer();
            buf = fresh;
            BufOwner = true;
            bufsize = std::int32_t(text.size() + 1);
            len = std::int32_t(text.size());
            indp[0] = 0;
            return;
        }
        case otInteger: {
            std::int32_t v = value.ToInteger();
            std::memcpy(Slot(index), &v, sizeof v);
            indp[size_t(index)] = 0;
            return;
        }
        case otFloat: {
            double v = value.ToDouble();
            std::memcpy(Slot(index), &v, sizeof v);
            indp[size_t(index)] = 0;
            return;
        }
        case otString: case otPLSQLString: case otChar: {
            auto* p = static_cast<std::uint8_t*>(Slot(index));
            size_t room = size_t(std::max(bufsize - 1, 0));
            if (IsUTF16CharSetID(CharSetID)) {
                std::u16string text = value.Type() == vtUString ? value.ToUString() : UTF8Decode(value.ToString());
                if (StripsCR(session)) text = WithoutCR(std::move(text));
                if (CharSetID == 2000)
                    for (auto& c : text) c = char16_t(Swap16(std::uint16_t(c)));
                size_t bytes = std::min(text.size() * 2, room & ~size_t(1));
                std::memset(p, 0, room);
                std::memcpy(p, text.data(), bytes);
                len = std::int32_t(bytes);
            } else {
                std::string text;
                if (IsUTF8CharSetID(CharSetID) && value.Type() == vtUString) {
                    std::u16string wide = value.ToUString();
                    if (StripsCR(session)) wide = WithoutCR(std::move(wide));
                    text = UTF8Encode(wide);
                } else {
                    text = value.ToString();
                    if (StripsCR(session)) text = WithoutCR(std::move(text));
                }
                size_t bytes = IsUTF8CharSetID(CharSetID) ? Utf8CutPoint(text, room) : std::min(text.size(), room);
                std::memcpy(p, text.data(), bytes);
                p[bytes] = 0;
            }
            indp[size_t(index)] = 0;
            return;
        }
        case otDate: {
            TDateTime dt = value.ToDateTime();
            if (dt.Value != 0.0 || !ZeroDateIsNull(session)) {
                std::uint8_t date7[7];
                if (!DateTimeToDate7(dt, date7)) throw EVariantError("date out of range");
                std::memcpy(Slot(index), date7, 7);
                indp[size_t(index)] = 0;
            } else {
                indp[size_t(index)] = -1;
            }
            return;
        }
        case otLongRaw: {
            std::vector<std::uint8_t> bytes;
            if (value.Type() == vtBytes) {
                bytes = value.Bytes();
            } else if (value.Type() == vtString) {
                const std::string s = value.ToString();
                bytes.assign(s.begin(), s.end());
            } else if (value.Type() == vtArray) {
                try {
                    bytes = value.ToBytes();
                } catch (const EVariantError&) {
                    Fail("Only one-dimensional array of bytes allowed for " + name);
                }
            } else {
                Fail("Only one-dimensional array of bytes allowed for " + name);
            }
            void* fresh = AllocBuffer(std::int64_t(bytes.size()));
            if (!bytes.empty()) std::memcpy(fresh, bytes.data(), bytes.size());
            FreeBuffer();
            buf = fresh;
            BufOwner = true;
            bufsize = len = std::int32_t(bytes.size());
            indp[0] = 0;
            return;
        }
        case otTimestamp: case otTimestampTZ: case otTimestampLTZ: {
            buf = nullptr;
            tsv = TDateTime();
            if (value.IsObject()) {
                buf = value.ToObject();
                indp[0] = buf ? 0 : -1;
                return;
            }
            tsv = value.ToDateTime();
            indp[0] = tsv.Value != 0.0 || !ZeroDateIsNull(session) ? 0 : -1;
            return;
        }
        default:
            if (!Complex) Fail("Unsupported variable type for " + name);
            if (value.IsObject()) {
                buf = value.ToObject();
            } else if (value.IsOrdinal() && value.ToInt64() == 0) {
                buf = nullptr; // a nil reference passed as a number
            } else {
                Fail("Pass LongInt(Object) to complex variable " + name);
            }
            indp[0] = buf ? 0 : -1;
            return;
        }
    } catch (const EVariantError&) {
        Fail("Variant conversion error for variable " + name);
    } catch (const EConvertError&) {
        Fail("Variant conversion error for variable " + name);
    }
}

namespace {

// The element index as GetVariable gives it.
Variant ElementOut(const TVariableData& v, int index, TOracleSession* session) {
    if (v.indp[size_t(index)] == -1) return NullResult(session);
    const void* slot = v.Slot(index);
    int length = v.len;
    if (IsStringType(v.buftype) && IsUTF16CharSetID(v.CharSetID)) {
        // A scalar has the length the client reported (or the last value stored); the elements of
        // an array share one length field, so each ends at the zero-filled rest of its slot.
        if (v.ArraySize != 1 || v.IsPLSQLTable) length = BoundedUtf16Bytes(slot, v.bufsize - 1);
        else length = std::clamp(v.len, 0, std::max(v.bufsize - 1, 0));
    }
    Variant out = ConvertBufferOut(slot, v.bufsize, v.buftype, v.CharSetID, session, length);
    if (v.buftype == otLong && out.Type() == vtString) return Variant(NormalizeFor(session, out.ToString()));
    return out;
}

std::int16_t FirstIndicator(const TVariableData& v) { return v.indp.empty() ? std::int16_t(-1) : v.indp[0]; }

} // namespace

Variant TVariableData::GetValue(TOracleSession* session) const {
    if (ArraySize != 1 || IsPLSQLTable) {
        int n = IsPLSQLTable ? std::min(PLSQLTableElemCount, ArraySize) : ArraySize;
        n = std::min(n, int(indp.size()));
        if (n <= 0) return NullResult(session);
        VariantArray items;
        items.reserve(size_t(n));
        for (int i = 0; i < n; ++i) items.push_back(ElementOut(*this, i, session));
        return Variant::Array(std::move(items), ArrayLowBound);
    }
    if (Complex) {
        if (buf == nullptr && IsTimestampType(buftype))
            return FirstIndicator(*this) == -1 ? NullResult(session) : Variant(tsv);
        return Variant::Object(buf);
    }
    if (FirstIndicator(*this) == -1) return NullResult(session);
    return ElementOut(*this, 0, session);
}

std::string TVariableData::DisplayString(TOracleSession* session) const {
    if (IsPLSQLTable) return "(PL/SQL Table)";
    if (ArraySize >= 2) return "(Array)";
    switch (buftype) {
    case otLong: return "(Long)";
    case otLongRaw: return "(Long Raw)";
    case otObject: return "(Object)";
    case otReference: return "(Reference)";
    case otCLOB: return "(CLOB)";
    case otBLOB: return "(BLOB)";
    case otBFile: return "(BFile)";
    case otCursor: return "(Cursor)";
    default: break;
    }
    Variant v = GetValue(session);
    if (v.IsNullOrUnassigned()) return "Null";
    if (v.IsObject()) return v.ToObject() ? "(Timestamp)" : "Null";
    return VarToStr(v);
}

// ---- TVariables -----------------------------------------------------------------------------

TVariables::TVariables(TVariableOwner* owner) : FOwner(owner) {}
TVariables::~TVariables() = default;

TOracleSession* TVariables::Session() const { return FOwner ? FOwner->VariableSession() : nullptr; }

TVariableData& TVariables::Data(int index) const {
    if (index < 0 || index >= Count()) Fail("List index out of bounds (" + std::to_string(index) + ")");
    return *FList[size_t(index)];
}

std::string TVariables::NormalizeName(const std::string& name) {
    std::string n = AnsiUpperCase(name);
    if (n.empty() || n[0] != ':') n.insert(n.begin(), ':');
    return n;
}

int TVariables::VariableIndex(const std::string& name) const {
    const std::string n = NormalizeName(name);
    for (size_t i = 0; i < FList.size(); ++i)
        if (FList[i]->name == n) return int(i);
    return -1;
}

TVariableData& TVariables::Find(const std::string& name, const char* missingPrefix, const char* missingSuffix) const {
    int i = VariableIndex(name);
    if (i < 0) Fail(missingPrefix + NormalizeName(name) + missingSuffix);
    return *FList[size_t(i)];
}

namespace {

std::unique_ptr<TVariableData> NewVariable(const std::string& normalizedName, int type) {
    auto v = std::make_unique<TVariableData>();
    v->name = normalizedName;
    v->buftype = TOracleTypeCode(type);
    v->bufsize = DeclaredBufferSize(type, normalizedName);
    if (v->bufsize > 0) v->buf = AllocBuffer(v->bufsize);
    v->Complex = IsComplexType(type);
    v->BufOwner = !v->Complex;
    return v;
}

} // namespace

void TVariables::ApplyDefaultCharSet(TVariableData& v) {
    if (v.buftype != otString && v.buftype != otPLSQLString) return;
    if (FOwner == nullptr || !FOwner->UseDefaultVariableCharSet()) return;
    TOracleSession* s = Session();
    if (s == nullptr) return;
    std::uint16_t id = s->CurrentCharSetID();
    if (id > 0 && (s->CurrentCharSetIsUTF8() || s->CurrentCharSetIsUTF16())) {
        v.CharSetForm = 1;
        v.CharSetID = id;
    }
}

void TVariables::DeclareVariable(const std::string& name, int type) {
    if (name.empty()) Fail("You cannot declare a variable with an empty name");
    // The type is checked before anything changes, so a refused declaration keeps the list.
    if (!IsVariableType(type)) Fail("Unsupported variable type");
    const std::string n = NormalizeName(name);
    int old = VariableIndex(n);
    auto v = NewVariable(n, type);
    if (FOwner) FOwner->VariablesRedeclared();
    TVariableData& ref = *v;
    if (old >= 0) FList[size_t(old)] = std::move(v);
    else FList.push_back(std::move(v));
    ApplyDefaultCharSet(ref);
}

void TVariables::DeclareAndSet(const std::string& name, int type, const Variant& value) {
    DeclareVariable(name, type);
    SetVariable(name, value);
}

void TVariables::DeclareVariableCharSet(const std::string& name, int charSetForm, int charSetID) {
    TVariableData& v = Find(name, "Variable ", " not declared");
    v.CharSetForm = std::uint8_t(charSetForm);
    v.CharSetID = std::uint16_t(charSetID);
}

void TVariables::RestampCharSets(bool sessionChanged) {
    if (sessionChanged && (FOwner == nullptr || !FOwner->UseDefaultVariableCharSet())) return;
    for (auto& v : FList) {
        v->CharSetForm = 0;
        v->CharSetID = 0;
        ApplyDefaultCharSet(*v);
    }
}

void TVariables::DimPLSQLTable(const std::string& name, int tableSize, int stringSize) {
    TVariableData& v = Find(name, "Variable ", " not declared");
    if (v.buftype != otInteger && v.buftype != otFloat && v.buftype != otString && v.buftype != otDate)
        Fail("Only PL/SQL Tables of strings, integers, floats and dates supported");
    if (v.buftype == otString && stringSize < 1) Fail("You must specify a string size for a PL/SQL Table of strings");
    if (v.buftype != otString && stringSize != 0) Fail("You can only specify a string size for a PL/SQL Table of strings");
    if (tableSize < 1) Fail("You must specify the size of the PL/SQL Table");
    v.ReDim(tableSize, stringSize, Session());
    v.IsPLSQLTable = true;
    v.PLSQLTableElemCount = 0;
}

void TVariables::SetVariable(int index, const Variant& value) {
    if (index < 0 || index >= Count()) Fail("Variable " + std::to_string(index) + " not declared");
    TVariableData& v = *FList[size_t(index)];
    TOracleSession* session = Session();
    if (value.IsArray() && v.buftype != otLongRaw) {
        if (v.Complex) Fail(v.name + " is a complex variable and cannot be an array");
        if (v.buftype == otSubst) Fail(v.name + " is a substitution variable and cannot be an array");
        // A LONG holds one value in one buffer of its own length: it cannot be bound as an array.
        if (v.buftype == otLong) Fail(v.name + " is a Long variable and cannot be an array");
        int low = value.LowBound();
        int n = value.HighBound() - low + 1;
        if (v.IsPLSQLTable) {
            if (n > v.ArraySize)
                Fail("Array is larger than PL/SQL Table (" + std::to_string(n) + " > " + std::to_string(v.ArraySize) + ")");
            v.PLSQLTableElemCount = n;
        } else {
            v.ReDim(n, -1, session);
        }
        v.ArrayLowBound = low;
        for (int k = low; k < low + n; ++k) v.SetValue(k - low, value.Element(k), session);
        return;
    }
    if (!v.IsPLSQLTable) {
        v.ReDim(1, -1, session);
        v.ArraySize = 1;
        v.ArrayLowBound = 0;
        v.SetValue(0, value, session);
        return;
    }
    if (value.IsNullOrUnassigned()) {
        v.PLSQLTableElemCount = 0;
        return;
    }
    Fail(v.name + " is a PL/SQL Table, assign a variant array to it");
}

void TVariables::SetVariable(const std::string& name, const Variant& value) {
    int i = VariableIndex(name);
    if (i < 0) Fail("Variable " + NormalizeName(name) + " not declared");
    SetVariable(i, value);
}

Variant TVariables::GetVariable(int index) const {
    if (index < 0 || index >= Count()) Fail("Variable " + std::to_string(index) + " does not exist");
    return FList[size_t(index)]->GetValue(Session());
}

Variant TVariables::GetVariable(const std::string& name) const {
    return Find(name, "Unknown variable: ", "").GetValue(Session());
}

void TVariables::SetLongVariable(const std::string& name, void* buffer, int length) {
    TVariableData& v = Find(name, "Variable ", " not declared");
    if (v.buftype != otLong && v.buftype != otLongRaw) Fail("Variable " + v.name + " is not a Long");
    v.FreeBuffer();
    v.ReDim(1, -1, Session());
    v.ArraySize = 1;
    v.ArrayLowBound = 0;
    if (buffer != nullptr && length > 0) {
        v.buf = buffer;
        v.BufOwner = false;
        v.bufsize = v.len = length;
        v.indp[0] = 0;
    } else {
        v.BufOwner = true;
        v.bufsize = v.len = 0;
        v.indp[0] = -1;
    }
}

namespace {

enum TComplexKind { ckObject, ckReference, ckLOB, ckQuery, ckTimestamp };

TComplexKind KindOfType(int type) {
    switch (type) {
    case otObject: return ckObject;
    case otReference: return ckReference;
    case otCLOB: case otBLOB: case otBFile: return ckLOB;
    case otCursor: return ckQuery;
    default: return ckTimestamp;
    }
}

const char* ClassOfKind(TComplexKind kind) {
    switch (kind) {
    case ckObject: return "TOracleObject";
    case ckReference: return "TOracleReference";
    case ckLOB: return "TLOBLocator";
    case ckQuery: return "TOracleQuery";
    default: return "TOracleTimestamp";
    }
}

} // namespace

void TVariables::SetComplex(const std::string& name, void* object, int kind) {
    TVariableData& v = Find(name, "Unknown variable: ", "");
    if (!v.Complex) Fail(v.name + " is not a complex variable");
    TComplexKind wanted = KindOfType(v.buftype);
    if (object != nullptr && kind != wanted)
        Fail(std::string("Assign ") + ClassOfKind(wanted) + " instance to variable " + v.name);
    v.buf = object;
    v.tsv = TDateTime();
    v.indp.assign(1, object ? 0 : -1);
    v.ArraySize = 1;
    v.ArrayLowBound = 0;
}

void TVariables::SetComplexVariable(const std::string& name, TOracleObject* object) { SetComplex(name, object, ckObject); }
void TVariables::SetComplexVariable(const std::string& name, TOracleReference* object) { SetComplex(name, object, ckReference); }
void TVariables::SetComplexVariable(const std::string& name, TLOBLocator* object) { SetComplex(name, object, ckLOB); }
void TVariables::SetComplexVariable(const std::string& name, TOracleQuery* object) { SetComplex(name, object, ckQuery); }
void TVariables::SetComplexVariable(const std::string& name, TOracleTimestamp* object) { SetComplex(name, object, ckTimestamp); }
void TVariables::SetComplexVariable(const std::string& name, std::nullptr_t) { SetComplex(name, nullptr, -1); }

void* TVariables::GetComplexVariable(const std::string& name) const {
    TVariableData& v = Find(name, "Unknown variable: ", "");
    if (!v.Complex) Fail(v.name + " is not a complex variable");
    return v.buf;
}

std::string TVariables::VariableName(int index) const { return Data(index).name; }
int TVariables::VariableType(int index) const { return Data(index).buftype; }
int TVariables::VariableCharSetID(int index) const { return Data(index).CharSetID; }
int TVariables::VariableCharSetForm(int index) const { return Data(index).CharSetForm; }
bool TVariables::VariableCharSetIsUTF8(int index) const { return IsUTF8CharSetID(Data(index).CharSetID); }
bool TVariables::VariableCharSetIsUTF16(int index) const { return IsUTF16CharSetID(Data(index).CharSetID); }

void TVariables::DeleteVariable(const std::string& name) {
    int i = VariableIndex(name);
    if (i < 0) Fail("Variable " + NormalizeName(name) + " not declared");
    FList.erase(FList.begin() + i);
    if (FOwner) FOwner->VariablesRedeclared();
}

void TVariables::DeleteVariables() {
    FList.clear();
    if (FOwner) FOwner->VariablesRedeclared();
}

void TVariables::ClearVariables() {
    for (int i = 0; i < Count(); ++i) SetVariable(i, Variant());
}

// ---- copies ---------------------------------------------------------------------------------

namespace {

int VariableTypeOfValue(const Variant& value) {
    switch (value.Type()) {
    case vtSmallInt: case vtInteger: case vtBoolean: case vtByte: return otInteger;
    case vtSingle: case vtDouble: case vtCurrency: return otFloat;
    case vtDate: return otDate;
    case vtString: case vtUString: return otString;
    default: return 0;
    }
}

} // namespace

void TVariables::Assign(const TParams& source) {
    std::vector<std::unique_ptr<TVariableData>> list;
    list.reserve(size_t(source.Count()));
    for (int i = 0; i < source.Count(); ++i) {
        const TParam& p = source[i];
        int type = VariableTypeOfValue(p.Value());
        if (type == 0) Fail("Unsupported variable type");
        // Normalized like every other name, so the variable is found under the parameter's name.
        auto v = NewVariable(NormalizeName(p.Name()), type);
        v->SetValue(0, p.Value(), nullptr);
        list.push_back(std::move(v));
    }
    FList = std::move(list);
    if (FOwner) FOwner->VariablesRedeclared();
}

void TVariables::Assign(const TVariables& source) { source.AssignTo(*this); }

void TVariables::AssignTo(TParams& dest) const {
    dest.Clear();
    for (const auto& v : FList) {
        TParam& p = dest.CreateParam(ftUnknown, v->name.substr(1), ptUnknown);
        if (FirstIndicator(*v) == -1) continue;
        if (v->Complex) {
            p.SetValue(v->buf == nullptr && IsTimestampType(v->buftype) ? Variant(v->tsv) : Variant::Object(v->buf));
            continue;
        }
        p.SetValue(ElementOut(*v, 0, nullptr));
    }
}

void TVariables::AssignTo(TVariables& dest) const {
    if (&dest == this) return;
    if (FOwner == nullptr || !FOwner->IsOracleQuery() || dest.FOwner == nullptr || !dest.FOwner->IsOracleQuery())
        throw EConvertError("Can only Assign TVariables owned by a TOracleQuery");
    dest.DeleteVariables();
    for (int i = 0; i < Count(); ++i) {
        const TVariableData& v = *FList[size_t(i)];
        dest.DeclareVariable(v.name, v.buftype);
        // An explicitly chosen character set goes with the variable.
        if (v.CharSetForm != 0 || v.CharSetID != 0) dest.DeclareVariableCharSet(v.name, v.CharSetForm, v.CharSetID);
        if (v.IsPLSQLTable)
            dest.DimPLSQLTable(v.name, v.ArraySize, v.buftype == otString ? v.bufsize - 1 : 0);
        else
            dest.SetVariable(v.name, GetVariable(i));
    }
}

// ---- the stored form ------------------------------------------------------------------------

namespace {

// The value bytes the writer stores: none for a null variable, the zero-terminated text and its
// terminator for string types, the whole element otherwise.
std::int32_t StoredValueSize(const TVariableData& v) {
    if (FirstIndicator(v) < 0 || v.buf == nullptr || v.Complex) return 0;
    if (IsStringType(v.buftype))
        return std::int32_t(std::min<size_t>(BoundedStrLen(v.buf, v.bufsize) + 1, size_t(std::max(v.bufsize, 0))));
    return std::max(v.bufsize, 0);
}

std::int32_t StoredStringSize(const TVariableData& v) { return IsStringType(v.buftype) ? v.bufsize - 1 : 0; }

bool SameStored(const TVariableData& a, const TVariableData& b) {
    if (a.name != b.name || a.buftype != b.buftype || FirstIndicator(a) != FirstIndicator(b) ||
        a.IsPLSQLTable != b.IsPLSQLTable)
        return false;
    if (a.IsPLSQLTable && (a.ArraySize != b.ArraySize || a.bufsize != b.bufsize)) return false;
    if (FirstIndicator(a) >= 0) {
        std::int32_t sa = StoredValueSize(a), sb = StoredValueSize(b);
        if (sa != sb) return false;
        if (sa > 0 && std::memcmp(a.buf, b.buf, size_t(sa)) != 0) return false;
    }
    return true;
}

} // namespace

void TVariables::WriteData(TStream& stream) const {
    stream.WriteInt32(StreamVersion);
    stream.WriteInt32(Count());
    for (const auto& v : FList) {
        std::u16string wide = AnsiToUtf16(v->name);
        std::string bytes;
        bytes.reserve(wide.size() * 2);
        for (char16_t c : wide) {
            bytes.push_back(char(std::uint16_t(c) & 0xFF));
            bytes.push_back(char(std::uint16_t(c) >> 8));
        }
        stream.WriteInt32(std::int32_t(bytes.size()));
        stream.WriteString(bytes);
        stream.WriteInt32(v->buftype);
        std::int32_t size = StoredValueSize(*v);
        stream.WriteInt32(size);
        if (size > 0) stream.WriteBuffer(v->buf, size);
        stream.WriteInt32(v->IsPLSQLTable ? 1 : 0);
        if (v->IsPLSQLTable) {
            stream.WriteInt32(v->ArraySize);
            stream.WriteInt32(StoredStringSize(*v));
        }
    }
}

void TVariables::ReadData(TStream& stream) {
    std::int32_t version = stream.ReadInt32();
    if (version > StreamVersion) Fail("Invalid version of Query variables");
    std::int32_t count = stream.ReadInt32();
    // Read into a list of its own: a stream that fails half-way leaves this list as it was.
    TVariables read(FOwner);
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t nameLength = stream.ReadInt32();
        std::string raw = stream.ReadBytes(nameLength);
        std::string name;
        if (version > 3) {
            std::u16string wide(raw.size() / 2, u'\0');
            for (size_t k = 0; k < wide.size(); ++k)
                wide[k] = char16_t(std::uint8_t(raw[2 * k]) | (std::uint8_t(raw[2 * k + 1]) << 8));
            name = Utf16ToAnsi(wide);
        } else {
            name = raw;
        }
        std::int32_t type = stream.ReadInt32();
        read.DeclareVariable(name, type);
        TVariableData& v = *read.FList[size_t(read.VariableIndex(name))];
        if (version > 1) {
            std::int32_t size = stream.ReadInt32();
            if (size > 0) {
                std::string value = stream.ReadBytes(size);
                if (v.Complex) {
                    // A complex variable refers to a live object: stored bytes cannot make one.
                } else if (v.buf != nullptr && v.bufsize > 0) {
                    size_t n = std::min(value.size(), size_t(v.bufsize));
                    std::memcpy(v.buf, value.data(), n);
                    if (IsStringType(v.buftype) && n == size_t(v.bufsize))
                        static_cast<char*>(v.buf)[v.bufsize - 1] = 0;
                    v.indp[0] = 0;
                } else {
                    v.FreeBuffer();
                    v.buf = AllocBuffer(size);
                    std::memcpy(v.buf, value.data(), size_t(size));
                    v.BufOwner = true;
                    v.bufsize = v.len = size;
                    // LONG text is stored with its terminator, which is no part of the value.
                    if ((v.buftype == otLong || v.buftype == otSubst) && value.back() == '\0') v.len = size - 1;
                    v.indp[0] = 0;
                }
            }
        }
        if (version > 2) {
            std::int32_t flag = stream.ReadInt32();
            if (flag == 1) {
                std::int32_t tableSize = stream.ReadInt32();
                std::int32_t stringSize = stream.ReadInt32();
                read.DimPLSQLTable(name, tableSize, stringSize);
            }
        }
    }
    FList = std::move(read.FList);
    if (FOwner) FOwner->VariablesRedeclared();
}

bool TVariables::ShouldWriteData(const TVariables* ancestor) const {
    if (ancestor == nullptr) return Count() > 0;
    if (ancestor->Count() != Count()) return true;
    for (int i = 0; i < Count(); ++i)
        if (!SameStored(*FList[size_t(i)], *ancestor->FList[size_t(i)])) return true;
    return false;
}

} // namespace quorvel
