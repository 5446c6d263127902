// DBMS_LOB: reading, searching and changing CLOB, NCLOB and BLOB values, temporary LOBs.
//
// The package works on the values it is handed: a CLOB as UTF-8 text (amounts and offsets in
// characters), a BLOB as bytes (in bytes). IN OUT LOB parameters receive the changed value. An
// empty LOB is a Text or Bytes value of length 0; NULL is a Null value. A value this package made
// temporary (CREATETEMPORARY) carries bit 1 in Value::i, an opened one bit 2 (the field is unused
// for text and bytes and travels with the value).
#include "ocisim/engine/packages/PackageSupport.h"

#include <algorithm>
#include <cstdint>

namespace ocisim::eng::pkg {
namespace {

constexpr int64_t kTemporary = 1, kOpen = 2;
constexpr int64_t kMaxBuffer = 32767;

bool IsLobNull(const Value& v) { return v.kind == ValueRef::Null; }

// A LOB value's unit: characters for CLOB text, bytes for BLOB bytes.
struct Lob {
    bool text = true;
    std::string data;
    int64_t flags = 0;
};

bool IsTextArg(const NativeArg* a) {
    if (!a) return true;
    if (a->type == OraType::Blob || a->type == OraType::Raw || a->type == OraType::LongRaw) return false;
    if (a->type == OraType::Clob) return true;
    return a->value.kind != ValueRef::Bytes;
}

Lob Take(const NativeArg* a) {
    Lob l;
    l.text = IsTextArg(a);
    if (!a) return l;
    l.data = a->value.bytes;
    if (a->value.kind == ValueRef::Text || a->value.kind == ValueRef::Bytes) l.flags = a->value.i;
    return l;
}

Value Make(const Lob& l) {
    Value v;
    v.kind = l.text ? ValueRef::Text : ValueRef::Bytes;
    v.bytes = l.data;
    v.i = l.flags;
    return v;
}

size_t Chars(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) if ((c & 0xC0) != 0x80) ++n;
    return n;
}
size_t ByteOf(const std::string& s, size_t chars) {
    size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return i;
}
size_t Length(const Lob& l) { return l.text ? Chars(l.data) : l.data.size(); }
size_t Pos(const Lob& l, size_t units) { return l.text ? ByteOf(l.data, units) : std::min(units, l.data.size()); }
std::string Sub(const Lob& l, size_t offset, size_t amount) {   // offset 1-based
    size_t from = Pos(l, offset - 1), to = Pos(l, offset - 1 + amount);
    return l.data.substr(from, to - from);
}
// `piece` written at `offset` (1-based units); a gap is filled with blanks or zero bytes.
void Put(Lob& l, size_t offset, const std::string& piece) {
    size_t len = Length(l);
    if (offset - 1 > len) l.data.append(offset - 1 - len, l.text ? ' ' : '\0');
    size_t from = Pos(l, offset - 1);
    size_t units = l.text ? Chars(piece) : piece.size();
    size_t to = Pos(l, offset - 1 + units);
    l.data.replace(from, to - from, piece);
}

// The buffer argument in the LOB's form: text for a CLOB, bytes for a BLOB (RAW given as text
// is hexadecimal).
std::string Buffer(const Value& v, bool text) {
    if (v.kind == ValueRef::Null) return {};
    if (text || v.kind == ValueRef::Bytes) return v.kind == ValueRef::Bytes || v.kind == ValueRef::Text ? v.bytes : Text(v);
    std::string hex = Text(v), out;
    if (hex.size() % 2) hex.insert(0, "0");
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) ValueError("hex to raw conversion error");
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}
Value Piece(const std::string& s, bool text) {
    Value v;
    if (s.empty()) return v;   // an empty VARCHAR2 or RAW is NULL
    v.kind = text ? ValueRef::Text : ValueRef::Bytes;
    v.bytes = s;
    return v;
}

[[noreturn]] void InvalidArg(const char* name) {
    Raise(21560, "argument " + std::string(name) + " is null, invalid, or out of range");
}

// An amount or offset argument: a whole number, NULL as given.
bool Whole(const Params& p, size_t k, int64_t def, int64_t& out) {
    if (!p.Given(k)) { out = def; return true; }
    if (IsNull(p.In(k))) return false;
    out = Int(p.In(k));
    return true;
}

class DbmsLob final : public NativePackage {
public:
    std::string_view Name() const override { return "DBMS_LOB"; }

    int ExceptionCode(std::string_view name) const override {
        if (name == "INVALID_ARGVAL") return -21560;
        if (name == "ACCESS_ERROR") return -22925;
        if (name == "NOEXIST_DIRECTORY") return -22285;
        if (name == "NOPRIV_DIRECTORY") return -22286;
        if (name == "INVALID_DIRECTORY") return -22287;
        if (name == "OPERATION_FAILED") return -22288;
        if (name == "UNOPENED_FILE") return -22289;
        if (name == "OPEN_TOOMANY") return -22290;
        return 0;
    }

    bool Constant(std::string_view name, Value& out) const override {
        if (name == "LOB_READONLY" || name == "FILE_READONLY") out = IntValue(0);
        else if (name == "LOB_READWRITE") out = IntValue(1);
        else if (name == "CALL") out = IntValue(12);
        else if (name == "SESSION") out = IntValue(10);
        else if (name == "LOBMAXSIZE") out = NumValue(18446744073709551615.0);
        else return false;
        return true;
    }

    bool Call(std::string_view m, std::vector<NativeArg>& args, Value* result, NativeContext& ctx) override {
        (void)ctx;
        Params p;
        // ---- functions
        if (result) {
            if (m == "GETLENGTH") {
                if (!p.Match(args, {"LOB_LOC"}, 1)) return false;
                *result = IsLobNull(p.In(0)) ? NullValue() : IntValue(int64_t(Length(Take(p[0]))));
                return true;
            }
            if (m == "SUBSTR") {
                if (!p.Match(args, {"LOB_LOC", "AMOUNT", "OFFSET"}, 1)) return false;
                Lob l = Take(p[0]);
                int64_t amount, offset;
                if (IsLobNull(p.In(0)) || !Whole(p, 1, kMaxBuffer, amount) || !Whole(p, 2, 1, offset) || amount < 1 ||
                    amount > kMaxBuffer || offset < 1 || size_t(offset) > Length(l)) {
                    *result = NullValue();
                    return true;
                }
                *result = Piece(Sub(l, size_t(offset), size_t(amount)), l.text);
                return true;
            }
            if (m == "INSTR") {
                if (!p.Match(args, {"LOB_LOC", "PATTERN", "OFFSET", "NTH"}, 2)) return false;
                Lob l = Take(p[0]);
                int64_t offset, nth;
                std::string pat = Buffer(p.In(1), l.text);
                if (IsLobNull(p.In(0)) || pat.empty() || !Whole(p, 2, 1, offset) || !Whole(p, 3, 1, nth) || offset < 1 || nth < 1) {
                    *result = NullValue();
                    return true;
                }
                size_t at = Pos(l, size_t(offset - 1));
                int64_t found = 0;
                while (at <= l.data.size()) {
                    size_t hit = l.data.find(pat, at);
                    if (hit == std::string::npos) break;
                    if (++found == nth) {
                        *result = IntValue(int64_t(l.text ? Chars(l.data.substr(0, hit)) + 1 : hit + 1));
                        return true;
                    }
                    at = hit + 1;
                }
                *result = IntValue(0);
                return true;
            }
            if (m == "COMPARE") {
                if (!p.Match(args, {"LOB_1", "LOB_2", "AMOUNT", "OFFSET_1", "OFFSET_2"}, 2)) return false;
                Lob a = Take(p[0]), b = Take(p[1]);
                int64_t amount, o1, o2;
                if (IsLobNull(p.In(0)) || IsLobNull(p.In(1)) || !Whole(p, 2, INT64_MAX / 2, amount) || !Whole(p, 3, 1, o1) ||
                    !Whole(p, 4, 1, o2) || amount < 1 || o1 < 1 || o2 < 1) {
                    *result = NullValue();
                    return true;
                }
                std::string x = Sub(a, size_t(o1), size_t(amount)), y = Sub(b, size_t(o2), size_t(amount));
                int c = x.compare(y);
                *result = IntValue(c == 0 ? 0 : c < 0 ? -1 : 1);
                return true;
            }
            if (m == "ISTEMPORARY" || m == "ISOPEN") {
                if (!p.Match(args, {"LOB_LOC"}, 1)) return false;
                if (IsLobNull(p.In(0)) && m == "ISOPEN") Raise(22275, "invalid LOB locator specified");
                int64_t bit = m == "ISTEMPORARY" ? kTemporary : kOpen;
                *result = IntValue(IsLobNull(p.In(0)) ? 0 : (Take(p[0]).flags & bit) ? 1 : 0);
                return true;
            }
            return false;
        }
        // ---- procedures
        auto lobOut = [&](size_t k) {
            if (!p[k] || !p[k]->out) return false;
            return true;
        };
        auto needLob = [&](size_t k) -> Lob {
            if (IsLobNull(p.In(k))) Raise(22275, "invalid LOB locator specified");
            return Take(p[k]);
        };
        if (m == "READ") {
            if (!p.Match(args, {"LOB_LOC", "AMOUNT", "OFFSET", "BUFFER"}, 4) || !p[1]->out || !p[3]->out) return false;
            Lob l = needLob(0);
            int64_t amount, offset;
            if (!Whole(p, 1, 0, amount) || amount < 1 || amount > kMaxBuffer) InvalidArg("AMOUNT");
            if (!Whole(p, 2, 1, offset) || offset < 1) InvalidArg("OFFSET");
            if (size_t(offset) > Length(l)) Raise(1403, "no data found");
            std::string s = Sub(l, size_t(offset), size_t(amount));
            p.Out(1, IntValue(int64_t(l.text ? Chars(s) : s.size())));
            p.Out(3, Piece(s, l.text));
            return true;
        }
        if (m == "WRITE" || m == "WRITEAPPEND") {
            bool append = m == "WRITEAPPEND";
            bool ok = append ? p.Match(args, {"LOB_LOC", "AMOUNT", "BUFFER"}, 3) : p.Match(args, {"LOB_LOC", "AMOUNT", "OFFSET", "BUFFER"}, 4);
            if (!ok || !lobOut(0)) return false;
            Lob l = needLob(0);
            int64_t amount, offset = 1;
            std::string buf = Buffer(p.In(append ? 2 : 3), l.text);
            size_t have = l.text ? Chars(buf) : buf.size();
            if (!Whole(p, 1, 0, amount) || amount < 1 || amount > kMaxBuffer || size_t(amount) > have) InvalidArg("AMOUNT");
            if (!append && (!Whole(p, 2, 1, offset) || offset < 1)) InvalidArg("OFFSET");
            std::string piece = l.text ? buf.substr(0, ByteOf(buf, size_t(amount))) : buf.substr(0, size_t(amount));
            Put(l, append ? Length(l) + 1 : size_t(offset), piece);
            p.Out(0, Make(l));
            return true;
        }
        if (m == "APPEND") {
            if (!p.Match(args, {"DEST_LOB", "SRC_LOB"}, 2) || !lobOut(0)) return false;
            Lob d = needLob(0), s = needLob(1);
            d.data += s.data;
            p.Out(0, Make(d));
            return true;
        }
        if (m == "ERASE") {
            if (!p.Match(args, {"LOB_LOC", "AMOUNT", "OFFSET"}, 2) || !lobOut(0) || !p[1]->out) return false;
            Lob l = needLob(0);
            int64_t amount, offset;
            if (!Whole(p, 1, 0, amount) || amount < 1) InvalidArg("AMOUNT");
            if (!Whole(p, 2, 1, offset) || offset < 1) InvalidArg("OFFSET");
            size_t len = Length(l);
            size_t n = size_t(offset) > len ? 0 : std::min<size_t>(size_t(amount), len - size_t(offset - 1));
            if (n) Put(l, size_t(offset), std::string(n, l.text ? ' ' : '\0'));
            p.Out(0, Make(l));
            p.Out(1, IntValue(int64_t(n)));
            return true;
        }
        if (m == "TRIM") {
            if (!p.Match(args, {"LOB_LOC", "NEWLEN"}, 2) || !lobOut(0)) return false;
            Lob l = needLob(0);
            int64_t n;
            if (!Whole(p, 1, 0, n) || n < 0) InvalidArg("NEWLEN");
            if (size_t(n) > Length(l)) Raise(22926, "specified trim length is greater than current LOB value's length");
            l.data.resize(Pos(l, size_t(n)));
            p.Out(0, Make(l));
            return true;
        }
        if (m == "COPY") {
            if (!p.Match(args, {"DEST_LOB", "SRC_LOB", "AMOUNT", "DEST_OFFSET", "SRC_OFFSET"}, 3) || !lobOut(0)) return false;
            Lob d = needLob(0), s = needLob(1);
            int64_t amount, doff, soff;
            if (!Whole(p, 2, 0, amount) || amount < 1) InvalidArg("AMOUNT");
            if (!Whole(p, 3, 1, doff) || doff < 1) InvalidArg("DEST_OFFSET");
            if (!Whole(p, 4, 1, soff) || soff < 1) InvalidArg("SRC_OFFSET");
            if (size_t(soff) <= Length(s)) Put(d, size_t(doff), Sub(s, size_t(soff), size_t(amount)));
            p.Out(0, Make(d));
            return true;
        }
        if (m == "CREATETEMPORARY") {
            if (!p.Match(args, {"LOB_LOC", "CACHE", "DUR"}, 2) || !lobOut(0)) return false;
            Lob l;
            l.text = IsTextArg(p[0]);
            l.flags = kTemporary;
            p.Out(0, Make(l));
            return true;
        }
        if (m == "FREETEMPORARY") {
            if (!p.Match(args, {"LOB_LOC"}, 1) || !lobOut(0)) return false;
            Lob l = needLob(0);
            if (!(l.flags & kTemporary)) Raise(22275, "invalid LOB locator specified");
            p.Out(0, NullValue());
            return true;
        }
        if (m == "OPEN") {
            if (!p.Match(args, {"LOB_LOC", "OPEN_MODE"}, 2) || !lobOut(0)) return false;
            Lob l = needLob(0);
            int64_t mode;
            if (!Whole(p, 1, 0, mode) || (mode != 0 && mode != 1)) InvalidArg("OPEN_MODE");
            if (l.flags & kOpen) Raise(22293, "LOB already opened in the same transaction");
            l.flags |= kOpen;
            p.Out(0, Make(l));
            return true;
        }
        if (m == "CLOSE") {
            if (!p.Match(args, {"LOB_LOC"}, 1) || !lobOut(0)) return false;
            Lob l = needLob(0);
            if (!(l.flags & kOpen)) Raise(22289, "cannot perform FILECLOSE operation on an unopened file or LOB");
            l.flags &= ~kOpen;
            p.Out(0, Make(l));
            return true;
        }
        return false;
    }
};

} // namespace

std::unique_ptr<NativePackage> MakeDbmsLob() { return std::make_unique<DbmsLob>(); }

} // namespace ocisim::eng::pkg
