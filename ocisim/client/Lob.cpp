// LOB locators: CLOB, NCLOB and BLOB values selected from tables, returned by DML or created as
// temporary LOBs, read and written through the OCILob calls; BFILE names and files.
//
// A locator keeps the value as of the moment it was selected (Oracle's read-consistent
// locator) and the row it came from. Writes change the locator's copy and store the whole value
// back into that row, which must be locked by the writing session's transaction (selected FOR
// UPDATE or changed by it), else ORA-22920. Temporary LOBs live in the locator only.
//
// Amounts and offsets count characters for CLOB and NCLOB, bytes for BLOB and BFILE; offsets
// are 1-based. A CLOB read into a varying-width character set (UTF-8) reports the amount read in
// bytes, into a fixed-width one (UTF-16, single-byte sets) in characters.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Internal.h"
#include "ocisim/client/internal/Lob.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace {

Lob* AsLob(const void* p) {
    if (auto* l = As<Lob>(p, OCI_DTYPE_LOB)) return l;
    return As<Lob>(p, OCI_DTYPE_FILE);
}

Error* AsErr(OCIError* e) { return As<Error>(e, OCI_HTYPE_ERROR); }
SvcCtx* AsSvc(OCISvcCtx* s) { return As<SvcCtx>(s, OCI_HTYPE_SVCCTX); }

bool IsText(const Lob* l) { return l->kind == OraType::Clob; }

sword InvalidLocator(Error* err) { return Fail(err, 22275, "ORA-22275: invalid LOB locator specified"); }
sword BadParameter(Error* err) { return Fail(err, 24801, "ORA-24801: illegal parameter value in OCI lob function"); }

// UTF-8 helpers: character counts and the byte offset of a character.
size_t CharCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) if ((c & 0xC0) != 0x80) ++n;
    return n;
}
size_t ByteOfChar(const std::string& s, size_t chars) {
    size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return i;
}

// Length in the LOB's own units.
size_t UnitLength(const Lob* l) { return IsText(l) ? CharCount(l->data) : l->data.size(); }
// Byte position in data of unit `units` (0-based), clamped to the end.
size_t BytePos(const Lob* l, size_t units) { return IsText(l) ? ByteOfChar(l->data, units) : std::min(units, l->data.size()); }

Charset TextCharset(const Lob* l, ub2 csid, ub1 csfrm, const Env& env) {
    if (csid) return CharsetFromId(csid, env.charset);
    bool national = csfrm == SQLCS_NCHAR || (csfrm == 0 && l->csform == SQLCS_NCHAR);
    return national ? env.ncharset : env.charset;
}
size_t FixedWidth(Charset c) { return c == Charset::Utf8 ? 0 : IsUtf16(c) ? 2 : 1; }

// The session a call runs on, serialised like the statement calls in a threaded environment.
struct CallOn {
    std::unique_lock<std::mutex> lock;
    Session* session = nullptr;
    explicit CallOn(SvcCtx* svc) {
        if (!svc || !svc->session || !IsLive(svc->session)) return;
        session = svc->session->session.get();
        Env* env = svc->env;
        if (session && env && (env->mode & OCI_THREADED) && !(env->mode & OCI_NO_MUTEX))
            lock = std::unique_lock<std::mutex>(svc->session->callMutex);
    }
};

// Stores `next` as the locator's value: into its row, or only in the locator when temporary.
sword Store(Lob* l, SvcCtx* svc, Error* err, std::string next) {
    if (l->kind == OraType::Bfile) return Fail(err, 22286, "ORA-22286: insufficient privileges on file or directory to perform FILEWRITE operation");
    if (!l->temporary) {
        if (!l->where.Valid())
            return l->fetched ? Fail(err, 22920, "ORA-22920: row containing the LOB value is not locked") : InvalidLocator(err);
        CallOn call(svc);
        if (!call.session) return Fail(err, 3114, OraMessage(3114));
        try {
            ValueRef v = l->kind == OraType::Clob ? ValueRef::MakeText(next) : ValueRef::MakeBytes(next.data(), next.size());
            call.session->WriteLob(l->where, v);
        } catch (const EngineError& e) {
            return FailEngine(err, e);
        }
    }
    l->data = std::move(next);
    return OCI_SUCCESS;
}

// The value with `piece` (in the LOB's stored form) written at unit offset `offset` (1-based),
// padding a gap with blanks (CLOB) or zero bytes.
std::string Spliced(const Lob* l, size_t offset, const std::string& piece) {
    std::string out = l->data;
    size_t len = UnitLength(l);
    if (offset - 1 > len) out.append(offset - 1 - len, IsText(l) ? ' ' : '\0');
    size_t from = IsText(l) ? ByteOfChar(out, offset - 1) : offset - 1;
    if (IsText(l)) {
        size_t pieceChars = CharCount(piece);
        size_t to = ByteOfChar(out, offset - 1 + pieceChars);
        out.replace(from, to - from, piece);
    } else {
        size_t to = std::min(out.size(), from + piece.size());
        out.replace(from, to - from, piece);
    }
    return out;
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

// The operating-system path of a BFILE, through the database's directory objects.
bool FilePath(const Lob* l, SvcCtx* svc, std::string& path) {
    CallOn call(svc);
    if (!call.session) return false;
    try {
        auto st = call.session->Prepare("SELECT directory_path FROM all_directories WHERE directory_name = :d");
        BindValues b;
        b.slots.resize(1);
        b.slots[0].values.push_back(ValueRef::MakeText(l->dir));
        st->Execute(b);
        if (!st->Fetch()) return false;
        ValueRef v = st->Column(0);
        if (v.kind != ValueRef::Text) return false;
        path = std::string(v.p, v.n) + "/" + l->file;
        return true;
    } catch (const EngineError&) {
        return false;
    }
}

// Loads a BFILE's content when it is opened (or read without being opened).
sword LoadFile(Lob* l, SvcCtx* svc, Error* err) {
    std::string path;
    if (!l->init || l->dir.empty()) return InvalidLocator(err);
    if (!FilePath(l, svc, path)) return Fail(err, 22285, "ORA-22285: non-existent directory or file for FILEOPEN operation");
    if (!ReadFile(path, l->data))
        return Fail(err, 22288, "ORA-22288: file or LOB operation FILEOPEN failed\nNo such file or directory");
    return OCI_SUCCESS;
}

} // namespace

namespace ocisim::client {

Lob* NewLob(Env* env, ub4 type) {
    Lob* l = new Lob();
    l->type = type;
    l->env = env;
    l->kind = type == OCI_DTYPE_FILE ? OraType::Bfile : OraType::Blob;
    Register(l);
    if (env) {
        std::lock_guard<std::recursive_mutex> g(env->mutex);
        env->children.push_back(l);
    }
    return l;
}

bool IsLobType(ub2 dty) { return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_BFILEE; }

int DeliverLob(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, const LobLocation& where,
               std::string& errText) {
    ub4 skip = d.valueSkip ? d.valueSkip : ub4(sizeof(void*));
    char* slot = static_cast<char*>(d.valuep) + size_t(row) * skip;
    char* indp = d.indp ? static_cast<char*>(d.indp) + size_t(row) * d.indSkip : nullptr;
    char* rlenp = d.rlenp ? reinterpret_cast<char*>(d.rlenp) + size_t(row) * d.rlenSkip : nullptr;
    char* rcodep = d.rcodep ? reinterpret_cast<char*>(d.rcodep) + size_t(row) * d.rcodeSkip : nullptr;
    OraType want = d.dty == SQLT_CLOB ? OraType::Clob : d.dty == SQLT_BLOB ? OraType::Blob : OraType::Bfile;
    if (col.DataType != want) {
        errText = "ORA-00932: inconsistent datatypes: expected " +
                  std::string(want == OraType::Clob ? "CLOB" : want == OraType::Blob ? "BLOB" : "FILE") + " got " +
                  std::string(col.DataType == OraType::Clob ? "CLOB" : col.DataType == OraType::Blob ? "BLOB" :
                              col.DataType == OraType::Bfile ? "FILE" : col.DataType == OraType::Number ? "NUMBER" :
                              col.DataType == OraType::Date ? "DATE" : "CHAR");
        return 932;
    }
    void* p = nullptr;
    std::memcpy(&p, slot, sizeof p);
    Lob* l = AsLob(p);
    if (!l || (want == OraType::Bfile) != (l->type == OCI_DTYPE_FILE)) {
        errText = "ORA-22275: invalid LOB locator specified";
        return 22275;
    }
    auto put = [](char* at, auto value) { if (at) std::memcpy(at, &value, sizeof value); };
    l->kind = want;
    l->csform = col.CharsetForm == SQLCS_NCHAR ? SQLCS_NCHAR : SQLCS_IMPLICIT;
    l->temporary = false;
    l->reading = l->writing = false;
    l->fileOpen = false;
    l->pending.clear();
    l->fetched = true;
    l->where = where;
    l->dir.clear();
    l->file.clear();
    if (v.kind == ValueRef::Null) {
        l->init = false;
        l->data.clear();
        put(indp, sb2(-1));
        put(rlenp, ub2(0));
        put(rcodep, ub2(1405));
        if (!indp) { errText = "ORA-01405: fetched column value is NULL"; return 1405; }
        return 0;
    }
    l->init = true;
    l->data.assign(v.p ? v.p : "", v.n);
    if (want == OraType::Bfile) {
        // a BFILE value is "directory alias" NUL "file name"
        size_t z = l->data.find('\0');
        l->dir = l->data.substr(0, z);
        l->file = z == std::string::npos ? std::string() : l->data.substr(z + 1);
        l->data.clear();
    }
    put(indp, sb2(0));
    put(rlenp, ub2(sizeof(void*)));
    put(rcodep, ub2(0));
    return 0;
}

int LobBindValue(const Bind& b, ub4 iter, ValueRef& out, std::string& errText) {
    ub4 skip = b.valueSkip ? b.valueSkip : ub4(sizeof(void*));
    if (!b.valuep) { out = ValueRef::MakeNull(); return 0; }
    void* p = nullptr;
    std::memcpy(&p, static_cast<const char*>(b.valuep) + size_t(iter) * skip, sizeof p);
    Lob* l = AsLob(p);
    if (!l) { errText = "ORA-22275: invalid LOB locator specified"; return 22275; }
    if (!l->init) { out = ValueRef::MakeNull(); return 0; }
    if (l->kind == OraType::Bfile) {
        static thread_local std::string name;
        name = l->dir + std::string(1, '\0') + l->file;
        out = ValueRef::MakeBytes(name.data(), name.size());
        return 0;
    }
    if (l->kind == OraType::Clob) out = ValueRef::MakeText(l->data);
    else out = ValueRef::MakeBytes(l->data.data(), l->data.size());
    return 0;
}

void SetLobEmpty(Lob* l) {
    l->init = true;
    l->data.clear();
    l->where = {};
    l->fetched = false;
    l->temporary = false;
}

} // namespace ocisim::client

// ---------------------------------------------------------------- reading and writing

OCISIM_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!lenp) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    if (l->kind == OraType::Bfile && !l->fileOpen) {
        // the length of a file not opened is read from the file itself
        if (sword r = LoadFile(l, svc, err); r != OCI_SUCCESS) return r;
        *lenp = ub4(l->data.size());
        l->data.clear();
        return OCI_SUCCESS;
    }
    *lenp = ub4(UnitLength(l));
    return OCI_SUCCESS;
}

namespace {

// Units [offset-1, offset-1+units) of the value, converted for the caller, cut to what fits in
// `cap` bytes. Returns the bytes; `taken` is the number of units they hold.
std::string Extract(const Lob* l, const Env& env, size_t offset, size_t units, size_t cap, ub2 csid, ub1 csfrm,
                    size_t& taken, size_t& reported) {
    size_t from = BytePos(l, offset - 1);
    if (!IsText(l)) {
        size_t n = std::min({units, l->data.size() - from, cap});
        taken = reported = n;
        return l->data.substr(from, n);
    }
    Charset cs = TextCharset(l, csid, csfrm, env);
    size_t width = FixedWidth(cs);
    if (width) units = std::min(units, cap / width);
    size_t to = ByteOfChar(l->data, offset - 1 + units);
    std::string out = l->data.substr(from, to - from);
    if (cs != Charset::Utf8) out = Recode(out.data(), out.size(), Charset::Utf8, cs);
    if (out.size() > cap) {
        // UTF-8: whole characters that fit
        size_t cut = cap;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    taken = cs == Charset::Utf8 ? CharCount(out) : (width == 2 ? out.size() / 2 : out.size());
    reported = cs == Charset::Utf8 ? out.size() : taken;
    return out;
}

} // namespace

OCISIM_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                               ub4 bufl, dvoid* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!amtp || (!bufp && bufl)) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    if (l->kind == OraType::Bfile && !l->fileOpen) {
        if (sword r = LoadFile(l, svc, err); r != OCI_SUCCESS) return r;
    }
    const Env& env = *l->env;
    size_t start, want;
    if (l->reading) {
        // the next piece of a polling read
        start = l->pieceOffset;
        want = l->pieceRemaining;
    } else {
        if (offset == 0) return BadParameter(err);
        start = offset;
        size_t len = UnitLength(l);
        if (start > len) {
            *amtp = 0;
            if (l->kind == OraType::Bfile && !l->fileOpen) l->data.clear();
            return Fail(err, 1403, OraMessage(1403)), OCI_NO_DATA;
        }
        want = *amtp == 0 ? len - (start - 1) : std::min<size_t>(*amtp, len - (start - 1));
    }
    sword result = OCI_SUCCESS;
    size_t total = 0;
    if (cbfp) {
        // callback mode: every piece but the last goes to the callback, the last stays in the buffer
        ub1 piece = OCI_FIRST_PIECE;
        while (true) {
            size_t taken = 0, reported = 0;
            std::string chunk = Extract(l, env, start, want, bufl, csid, csfrm, taken, reported);
            if (taken == 0) break;
            std::memcpy(bufp, chunk.data(), chunk.size());
            start += taken;
            want -= taken;
            total += reported;
            bool last = want == 0;
            if (cbfp(ctxp, bufp, ub4(chunk.size()), last ? OCI_LAST_PIECE : piece) != OCI_CONTINUE) break;
            piece = OCI_NEXT_PIECE;
            if (last) break;
        }
        l->reading = false;
    } else {
        size_t taken = 0, reported = 0;
        std::string chunk = Extract(l, env, start, want, bufl, csid, csfrm, taken, reported);
        if (!chunk.empty()) std::memcpy(bufp, chunk.data(), chunk.size());
        total = reported;
        if (taken < want && taken > 0) {
            // more than one buffer: the caller polls for the rest
            l->reading = true;
            l->pieceOffset = ub4(start + taken);
            l->pieceRemaining = ub4(want - taken);
            result = OCI_NEED_DATA;
        } else {
            l->reading = false;
        }
    }
    *amtp = ub4(total);
    if (l->kind == OraType::Bfile && !l->fileOpen && !l->reading) l->data.clear();
    return result;
}

OCISIM_EXPORT sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                                ub4 buflen, ub1 piece, dvoid* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!amtp || (!bufp && buflen)) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    if (l->kind == OraType::Bfile) return Fail(err, 22286, "ORA-22286: insufficient privileges on file or directory to perform FILEWRITE operation");
    if (piece != OCI_ONE_PIECE && piece != OCI_FIRST_PIECE && piece != OCI_NEXT_PIECE && piece != OCI_LAST_PIECE)
        return BadParameter(err);
    const Env& env = *l->env;
    // the bytes of this call in the LOB's stored form, limited to the amount for fixed widths
    auto convert = [&](const void* p, size_t n) {
        std::string in(static_cast<const char*>(p), n);
        if (!IsText(l)) return *amtp && !l->writing && piece == OCI_ONE_PIECE ? in.substr(0, std::min<size_t>(*amtp, in.size())) : in;
        Charset cs = TextCharset(l, csid, csfrm, env);
        size_t width = FixedWidth(cs);
        if (width && *amtp && piece == OCI_ONE_PIECE && !cbfp) in.resize(std::min<size_t>(in.size(), size_t(*amtp) * width));
        return cs == Charset::Utf8 ? in : Recode(in.data(), in.size(), cs, Charset::Utf8);
    };
    if (piece == OCI_ONE_PIECE || piece == OCI_FIRST_PIECE) {
        if (offset == 0) return BadParameter(err);
        l->writing = false;
        l->pending.clear();
        l->pieceOffset = offset;
    } else if (!l->writing) {
        return Fail(err, 24804, "ORA-24804: illegal parameter value in lob read function");
    }
    l->pending += convert(bufp, buflen);
    bool done = piece == OCI_ONE_PIECE || piece == OCI_LAST_PIECE;
    if (cbfp && piece != OCI_LAST_PIECE) {
        // callback mode: the callback fills the buffer until it says the last piece
        ub1 next = OCI_NEXT_PIECE;
        while (next != OCI_LAST_PIECE) {
            ub4 len = buflen;
            if (cbfp(ctxp, bufp, &len, &next) != OCI_CONTINUE) break;
            l->pending += convert(bufp, len);
        }
        done = true;
    }
    if (!done) {
        l->writing = true;
        *amtp = 0;
        return OCI_NEED_DATA;
    }
    l->writing = false;
    std::string piecesDone = std::move(l->pending);
    l->pending.clear();
    size_t written = IsText(l) ? CharCount(piecesDone) : piecesDone.size();
    sword r = Store(l, svc, err, Spliced(l, l->pieceOffset, piecesDone));
    if (r != OCI_SUCCESS) return r;
    *amtp = ub4(written);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!l->init) return InvalidLocator(err);
    if (newlen > UnitLength(l)) return Fail(err, 22926, "ORA-22926: specified trim length is greater than current LOB value's length");
    return Store(l, svc, err, l->data.substr(0, BytePos(l, newlen)));
}

OCISIM_EXPORT sword OCILobErase(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amount, ub4 offset) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!amount || offset == 0) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    size_t len = UnitLength(l);
    if (offset > len) { *amount = 0; return OCI_SUCCESS; }
    size_t n = std::min<size_t>(*amount, len - (offset - 1));
    // erased characters become blanks, erased bytes zero bytes
    std::string fill(n, IsText(l) ? ' ' : '\0');
    sword r = Store(l, svc, err, Spliced(l, offset, fill));
    if (r == OCI_SUCCESS) *amount = ub4(n);
    return r;
}

OCISIM_EXPORT sword OCILobAppend(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* d = AsLob(dst_locp);
    Lob* s = AsLob(src_locp);
    if (!err || !svc || !d || !s) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!d->init || !s->init) return InvalidLocator(err);
    if (IsText(d) != IsText(s)) return Fail(err, 932, "ORA-00932: inconsistent datatypes");
    return Store(d, svc, err, d->data + s->data);
}

OCISIM_EXPORT sword OCILobCopy(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp, ub4 amount,
                               ub4 dst_offset, ub4 src_offset) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* d = AsLob(dst_locp);
    Lob* s = AsLob(src_locp);
    if (!err || !svc || !d || !s) return OCI_INVALID_HANDLE;
    err->Clear();
    if (dst_offset == 0 || src_offset == 0) return BadParameter(err);
    if (!d->init || !s->init) return InvalidLocator(err);
    if (IsText(d) != IsText(s)) return Fail(err, 932, "ORA-00932: inconsistent datatypes");
    size_t from = BytePos(s, src_offset - 1), to = BytePos(s, src_offset - 1 + amount);
    return Store(d, svc, err, Spliced(d, dst_offset, s->data.substr(from, to - from)));
}

OCISIM_EXPORT sword OCILobLoadFromFile(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_filep,
                                       ub4 amount, ub4 dst_offset, ub4 src_offset) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* d = AsLob(dst_locp);
    Lob* f = As<Lob>(src_filep, OCI_DTYPE_FILE);
    if (!err || !svc || !d || !f) return OCI_INVALID_HANDLE;
    err->Clear();
    if (dst_offset == 0 || src_offset == 0) return BadParameter(err);
    if (!f->fileOpen) return Fail(err, 22289, "ORA-22289: cannot perform FILEREAD operation on an unopened file or LOB");
    if (src_offset - 1 + size_t(amount) > f->data.size())
        return Fail(err, 22993, "ORA-22993: specified input amount is greater than actual source amount");
    std::string bytes = f->data.substr(src_offset - 1, amount);
    // file bytes go into a CLOB as text of the database character set (UTF-8)
    return Store(d, svc, err, Spliced(d, dst_offset, bytes));
}

// ---------------------------------------------------------------- locators

OCISIM_EXPORT sword OCILobAssign(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* src_locp, OCILobLocator** dst_locpp) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* s = AsLob(src_locp);
    if (!s || !dst_locpp) return OCI_INVALID_HANDLE;
    Lob* d = AsLob(*dst_locpp);
    if (!d) return OCI_INVALID_HANDLE;
    if (d == s) return OCI_SUCCESS;
    if ((s->type == OCI_DTYPE_FILE) != (d->type == OCI_DTYPE_FILE)) return InvalidLocator(err);
    // a temporary source is copied into a temporary LOB of its own
    d->init = s->init;
    d->kind = s->kind;
    d->csform = s->csform;
    d->data = s->data;
    d->where = s->where;
    d->fetched = s->fetched;
    d->temporary = s->temporary;
    d->buffering = false;
    d->fileOpen = false;
    d->dir = s->dir;
    d->file = s->file;
    d->reading = d->writing = false;
    d->pending.clear();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobIsEqual(OCIEnv* envhp, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal) {
    if (!As<Env>(envhp, OCI_HTYPE_ENV)) return OCI_INVALID_HANDLE;
    Lob* a = AsLob(x);
    Lob* b = AsLob(y);
    if (!a || !b || !is_equal) return OCI_INVALID_HANDLE;
    // equal when both point at the same stored LOB (temporary LOBs only equal themselves)
    *is_equal = a == b || (a->init && b->init && !a->temporary && !b->temporary && a->where.Valid() &&
                           a->where.Table == b->where.Table && a->where.Row == b->where.Row && a->where.Column == b->where.Column);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobLocatorIsInit(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, boolean* is_initialized) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = AsLob(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (!is_initialized) return BadParameter(err);
    *is_initialized = l->init ? 1 : 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = AsLob(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (!csfrm) return BadParameter(err);
    *csfrm = IsText(l) ? l->csform : 0;   // 0 for BLOB and BFILE
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobCharSetId(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub2* csid) {
    Error* err = AsErr(errhp);
    Env* env = As<Env>(envhp, OCI_HTYPE_ENV);
    if (!env || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = AsLob(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (!csid) return BadParameter(err);
    // the database's character sets: AL32UTF8 for CLOB, AL16UTF16 for NCLOB
    *csid = !IsText(l) ? 0 : l->csform == SQLCS_NCHAR ? 2000 : 873;
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- temporary LOBs

OCISIM_EXPORT sword OCILobCreateTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub2 csid, ub1 csfrm,
                                          ub1 lobtype, boolean cache, OCIDuration duration) {
    (void)csid;
    (void)cache;
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = As<Lob>(locp, OCI_DTYPE_LOB);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (lobtype != OCI_TEMP_BLOB && lobtype != OCI_TEMP_CLOB) return BadParameter(err);
    if (duration != OCI_DURATION_SESSION && duration != OCI_DURATION_CALL && duration != OCI_DURATION_STATEMENT &&
        duration != OCI_DURATION_DEFAULT)
        return BadParameter(err);
    if (!svc->session || !IsLive(svc->session) || !svc->session->session) return Fail(err, 3114, OraMessage(3114));
    l->init = true;
    l->kind = lobtype == OCI_TEMP_CLOB ? OraType::Clob : OraType::Blob;
    l->csform = csfrm == SQLCS_NCHAR ? SQLCS_NCHAR : SQLCS_IMPLICIT;
    l->data.clear();
    l->where = {};
    l->fetched = false;
    l->temporary = true;
    l->reading = l->writing = false;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFreeTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = AsLob(locp);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!l->temporary) return Fail(err, 22275, "ORA-22275: invalid LOB locator specified");
    l->init = false;
    l->temporary = false;
    l->data.clear();
    l->data.shrink_to_fit();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobIsTemporary(OCIEnv* envhp, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = AsLob(locp);
    if (!l) return OCI_INVALID_HANDLE;
    if (!is_temporary) return BadParameter(err);
    *is_temporary = l->temporary ? 1 : 0;
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- buffering
// Writes go to the row at once, so the buffer has nothing to hold back: the calls keep the
// state the caller asked for and check their arguments.

OCISIM_EXPORT sword OCILobEnableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
    Error* err = AsErr(errhp);
    Lob* l = AsLob(locp);
    if (!err || !AsSvc(svchp) || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!l->init) return InvalidLocator(err);
    if (l->kind == OraType::Bfile) return Fail(err, 22279, "ORA-22279: cannot perform operation with LOB buffering enabled");
    l->buffering = true;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobDisableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
    Error* err = AsErr(errhp);
    Lob* l = AsLob(locp);
    if (!err || !AsSvc(svchp) || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    l->buffering = false;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFlushBuffer(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 flag) {
    Error* err = AsErr(errhp);
    Lob* l = AsLob(locp);
    if (!err || !AsSvc(svchp) || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (flag != OCI_LOB_BUFFER_FREE && flag != OCI_LOB_BUFFER_NOFREE) return BadParameter(err);
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- BFILE

OCISIM_EXPORT sword OCILobFileSetName(OCIEnv* envhp, OCIError* errhp, OCILobLocator** filepp, const OraText* dir_alias,
                                      ub2 d_length, const OraText* filename, ub2 f_length) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err || !filepp) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = As<Lob>(*filepp, OCI_DTYPE_FILE);
    if (!l) return OCI_INVALID_HANDLE;
    if (!dir_alias || !filename || d_length == 0 || d_length > 30 || f_length == 0 || f_length > 255)
        return BadParameter(err);
    l->dir.assign(reinterpret_cast<const char*>(dir_alias), d_length);
    l->file.assign(reinterpret_cast<const char*>(filename), f_length);
    l->kind = OraType::Bfile;
    l->init = true;
    l->fileOpen = false;
    l->data.clear();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileGetName(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* filep, OraText* dir_alias,
                                      ub2* d_length, OraText* filename, ub2* f_length) {
    Error* err = AsErr(errhp);
    if (!As<Env>(envhp, OCI_HTYPE_ENV) || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Lob* l = As<Lob>(filep, OCI_DTYPE_FILE);
    if (!l) return OCI_INVALID_HANDLE;
    if (!dir_alias || !d_length || !filename || !f_length) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    if (*d_length < l->dir.size() || *f_length < l->file.size()) return BadParameter(err);
    std::memcpy(dir_alias, l->dir.data(), l->dir.size());
    std::memcpy(filename, l->file.data(), l->file.size());
    *d_length = ub2(l->dir.size());
    *f_length = ub2(l->file.size());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileExists(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = As<Lob>(filep, OCI_DTYPE_FILE);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!flag) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    std::string path;
    if (!FilePath(l, svc, path)) return Fail(err, 22285, "ORA-22285: non-existent directory or file for FILEEXISTS operation");
    std::error_code ec;
    *flag = std::filesystem::is_regular_file(path, ec) ? 1 : 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, ub1 mode) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    Lob* l = As<Lob>(filep, OCI_DTYPE_FILE);
    if (!err || !svc || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (mode != OCI_FILE_READONLY) return BadParameter(err);
    if (l->fileOpen) return Fail(err, 22290, "ORA-22290: operation would exceed the maximum number of opened files or LOBs");
    if (sword r = LoadFile(l, svc, err); r != OCI_SUCCESS) return r;
    l->fileOpen = true;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep) {
    Error* err = AsErr(errhp);
    Lob* l = As<Lob>(filep, OCI_DTYPE_FILE);
    if (!err || !AsSvc(svchp) || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    l->fileOpen = false;
    l->data.clear();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileIsOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
    Error* err = AsErr(errhp);
    Lob* l = As<Lob>(filep, OCI_DTYPE_FILE);
    if (!err || !AsSvc(svchp) || !l) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!flag) return BadParameter(err);
    if (!l->init) return InvalidLocator(err);
    *flag = l->fileOpen ? 1 : 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILobFileCloseAll(OCISvcCtx* svchp, OCIError* errhp) {
    Error* err = AsErr(errhp);
    SvcCtx* svc = AsSvc(svchp);
    if (!err || !svc) return OCI_INVALID_HANDLE;
    err->Clear();
    Env* env = svc->env;
    if (env) {
        std::lock_guard<std::recursive_mutex> g(env->mutex);
        for (Object* o : env->children)
            if (o->type == OCI_DTYPE_FILE) {
                auto* l = static_cast<Lob*>(o);
                l->fileOpen = false;
                l->data.clear();
            }
    }
    return OCI_SUCCESS;
}
