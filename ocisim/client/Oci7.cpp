// The OCI7 entry points on the same engine: the logon data area (LDA), cursor data areas
// (CDA) and host data area (HDA) in the client's published 64-bit layout. Each LDA drives an
// internal service context and each CDA an internal statement handle.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Handles.h"
#include "ocisim/client/internal/Internal.h"

#include <cstring>
#include <deque>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

static_assert(sizeof(Cda_Def) == CDA_SIZE, "cursor data area layout");
static_assert(offsetof(Cda_Def, rc) == 12, "return code of the data area sits at byte 12");
#if defined(__LP64__)
static_assert(sizeof(Cda_Def) == 88 && HDA_SIZE == 512, "64-bit data areas");
#endif

using namespace ocisim;
using namespace ocisim::client;

namespace {

// OCI7 function codes reported in the fc field.
enum : ub1 { fcOpen = 14, fcParse = 54, fcBind = 28, fcDefine = 32, fcDescribe = 30, fcExec = 4, fcExecN = 62,
             fcFetch = 8, fcExFet = 64, fcLong = 58, fcClose = 16, fcCommit = 52, fcRollback = 56, fcLogon = 50 };

struct Lda7 {
    Env* env = nullptr;
    Error* err = nullptr;
    SvcCtx* svc = nullptr;
    bool ownsSvc = false;
    bool autoCommit = false;
};

struct Cursor7 {
    Lda7* lda = nullptr;
    Stmt* stmt = nullptr;
    Error* err = nullptr;
    int deferredError = 0;
    std::string deferredText;
    ub2 deferredOffset = 0;
    // cursor variables bound with type 102: the statement handle of each bound cursor data
    // area, where the block's OPEN ... FOR leaves its result (a deque never moves its elements)
    std::deque<void*> cursorBinds;
};

std::mutex& Mutex7() { static std::mutex m; return m; }
std::map<const void*, std::unique_ptr<Lda7>>& Ldas() { static std::map<const void*, std::unique_ptr<Lda7>> m; return m; }
std::map<const void*, std::unique_ptr<Cursor7>>& Cursors() { static std::map<const void*, std::unique_ptr<Cursor7>> m; return m; }
std::map<int, std::string>& Texts() { static std::map<int, std::string> m; return m; }

Lda7* FindLda(const void* p) {
    std::lock_guard<std::mutex> g(Mutex7());
    auto it = Ldas().find(p);
    return it == Ldas().end() ? nullptr : it->second.get();
}

bool LdaAlive(const Lda7* l) {  // with Mutex7 held
    for (auto& [k, v] : Ldas()) if (v.get() == l) return true;
    return false;
}

bool FindLdaAlive(const Lda7* l) {
    std::lock_guard<std::mutex> g(Mutex7());
    return LdaAlive(l);
}

Cursor7* FindCursor(const void* p) {
    std::lock_guard<std::mutex> g(Mutex7());
    auto it = Cursors().find(p);
    if (it == Cursors().end()) return nullptr;
    Cursor7* c = it->second.get();
    if (!c->lda || !LdaAlive(c->lda)) return nullptr;
    return c;
}

} // namespace

namespace {

void Remember(int code, const std::string& text) {
    std::lock_guard<std::mutex> g(Mutex7());
    Texts()[code] = text;
}

sword Finish(Cda_Def* c, int rc, ub1 fc, const std::string& text = {}) {
    c->rc = ub2(rc);
    c->v2_rc = sb2(rc == 0 ? 0 : rc == 1403 ? 4 : -rc);
    c->fc = fc;
    if (rc && !text.empty()) Remember(rc, text);
    return rc;
}

// Maps an internal OCI8 status to an OCI7 return code (and the warning flags).
int Code(sword status, Error* err, Cda_Def* c) {
    c->wrn = 0;
    switch (status) {
    case OCI_SUCCESS: return 0;
    case OCI_SUCCESS_WITH_INFO: {
        int code = err->records.empty() ? 0 : err->records[0].code;
        if (code == 1406) { c->wrn = 1 | 2; Remember(1406, err->records[0].text); return 1406; }
        c->wrn = 1 | 32;
        return 0;
    }
    case OCI_NO_DATA: Remember(1403, OraMessage(1403)); return 1403;
    default:
        if (err->records.empty()) return 3001;
        Remember(err->records[0].code, err->records[0].text);
        return err->records[0].code;
    }
}

std::string Arg(const OraText* p, sword len) {
    if (!p) return {};
    if (len < 0) return std::string(reinterpret_cast<const char*>(p));
    return std::string(reinterpret_cast<const char*>(p), size_t(len));
}

// "user/password@database": split at the first / and the first @ after it.
void SplitLogon(std::string s, std::string& user, std::string& pw, std::string& db) {
    size_t at = s.find('@');
    if (at != std::string::npos) { db = s.substr(at + 1); s.erase(at); }
    size_t slash = s.find('/');
    if (slash != std::string::npos) { pw = s.substr(slash + 1); s.erase(slash); }
    user = s;
}

sword Logon(Lda_Def* lda, const std::string& uidIn, const std::string& pwIn, const std::string& connIn) {
    if (!lda) return OCI_INVALID_HANDLE;
    std::memset(lda, 0, sizeof *lda);
    std::string user, pw = pwIn, db = connIn;
    std::string p2, d2;
    SplitLogon(uidIn, user, p2, d2);
    if (pw.empty()) pw = p2;
    if (db.empty()) db = d2;
    auto l = std::make_unique<Lda7>();
    OCIEnv* env = nullptr;
    OCIEnvCreate(&env, ProcessMode() & OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    l->env = reinterpret_cast<Env*>(env);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&l->err), OCI_HTYPE_ERROR, 0, nullptr);
    int warning = 0;
    try {
        std::string dir;
        auto database = OpenDatabase(db, dir);
        auto session = database->Logon(user, pw);
        if (const EngineError* w = session->LogonWarning()) { warning = w->Code; Remember(w->Code, w->Text); }
        l->svc = WrapSession(l->env, database, std::move(session), dir);
        l->svc->session->user = user;
        l->ownsSvc = true;
    } catch (const EngineError& e) {
        OCIHandleFree(env, OCI_HTYPE_ENV);
        return Finish(lda, e.Code, fcLogon, e.Text);
    }
    {
        std::lock_guard<std::mutex> g(Mutex7());
        Ldas()[lda] = std::move(l);
    }
    return Finish(lda, warning, fcLogon);
}

void DropCursorsOf(Lda7* l) {
    std::lock_guard<std::mutex> g(Mutex7());
    for (auto it = Cursors().begin(); it != Cursors().end();) {
        if (it->second->lda == l) it = Cursors().erase(it);
        else ++it;
    }
}

} // namespace

namespace {
// A cursor data area at `cursor` on logon l (one that was open there before is closed).
Cursor7* NewCursor(Cda_Def* cursor, Lda7* l) {
    auto c = std::make_unique<Cursor7>();
    c->lda = l;
    OCIHandleAlloc(l->env, reinterpret_cast<void**>(&c->stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIHandleAlloc(l->env, reinterpret_cast<void**>(&c->err), OCI_HTYPE_ERROR, 0, nullptr);
    std::unique_ptr<Cursor7> old;
    Cursor7* made = c.get();
    {
        std::lock_guard<std::mutex> g(Mutex7());
        auto& slot = Cursors()[cursor];
        old = std::move(slot);
        slot = std::move(c);
    }
    if (old && old->lda && FindLdaAlive(old->lda)) {
        OCIHandleFree(old->stmt, OCI_HTYPE_STMT);
        OCIHandleFree(old->err, OCI_HTYPE_ERROR);
    }
    return made;
}
} // namespace

OCISIM_EXPORT sword opinit(ub4 mode) {
    ProcessMode() = mode ? OCI_THREADED : 0;
    return 0;
}

OCISIM_EXPORT sword orlon(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl, sword audit) {
    return Logon(lda, Arg(uid, uidl), Arg(pswd, pswdl), "");
}

OCISIM_EXPORT sword olog(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl, OraText* conn, sword connl, ub4 mode) {
    return Logon(lda, Arg(uid, uidl), Arg(pswd, pswdl), Arg(conn, connl));
}

OCISIM_EXPORT sword ologof(Lda_Def* lda) {
    Lda7* l = FindLda(lda);
    if (!l) return lda ? Finish(lda, 1012, fcLogon, OraMessage(1012)) : OCI_INVALID_HANDLE;
    DropCursorsOf(l);
    Env* env = l->env;
    bool owns = l->ownsSvc;
    SvcCtx* svc = l->svc;
    Error* err = l->err;
    {
        std::lock_guard<std::mutex> g(Mutex7());
        Ldas().erase(lda);
    }
    if (owns) {
        FreeWrapped(svc);
        OCIHandleFree(env, OCI_HTYPE_ENV);
    } else {
        OCIHandleFree(err, OCI_HTYPE_ERROR);
    }
    return Finish(lda, 0, fcLogon);
}

OCISIM_EXPORT sword oopen(Cda_Def* cursor, Lda_Def* lda, OraText* dbn, sword dbnl, sword arsize, OraText* uid, sword uidl) {
    if (!cursor) return OCI_INVALID_HANDLE;
    Lda7* l = FindLda(lda);
    std::memset(cursor, 0, sizeof *cursor);
    if (!l || !SessionOf(l->svc)) return Finish(cursor, 1012, fcOpen, OraMessage(1012));
    NewCursor(cursor, l);
    return Finish(cursor, 0, fcOpen);
}

OCISIM_EXPORT sword oclose(Cda_Def* cursor) {
    Cursor7* c = FindCursor(cursor);
    if (!c) return cursor ? Finish(cursor, 1001, fcClose, "ORA-01001: invalid cursor") : OCI_INVALID_HANDLE;
    OCIHandleFree(c->stmt, OCI_HTYPE_STMT);
    OCIHandleFree(c->err, OCI_HTYPE_ERROR);
    {
        std::lock_guard<std::mutex> g(Mutex7());
        Cursors().erase(cursor);
    }
    return Finish(cursor, 0, fcClose);
}

namespace {
Cursor7* Open(Cda_Def* cursor, ub1 fc, sword& rc) {
    Cursor7* c = FindCursor(cursor);
    if (!c) { rc = cursor ? Finish(cursor, 1001, fc, "ORA-01001: invalid cursor") : OCI_INVALID_HANDLE; return nullptr; }
    if (!SessionOf(c->lda->svc)) { rc = Finish(cursor, 1012, fc, OraMessage(1012)); return nullptr; }
    return c;
}
} // namespace

OCISIM_EXPORT sword oparse(Cda_Def* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4 lngflg) {
    sword rc;
    Cursor7* c = Open(cursor, fcParse, rc);
    if (!c) return rc;
    std::string sql = Arg(sqlstm, sqllen);
    c->deferredError = 0;
    cursor->peo = 0;
    cursor->ft = 0;
    cursor->rpc = 0;
    OCIStmtPrepare(reinterpret_cast<OCIStmt*>(c->stmt), reinterpret_cast<OCIError*>(c->err),
                   reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), OCI_NTV_SYNTAX, 0);
    sword st = ParseNow(c->stmt, c->lda->svc, c->err);
    if (st != OCI_SUCCESS) {
        int code = Code(st, c->err, cursor);
        if (defflg) {
            // a deferred parse reports its error at the execution or describe that follows
            c->deferredError = code;
            c->deferredText = c->err->records.empty() ? OraMessage(code) : c->err->records[0].text;
            c->deferredOffset = c->stmt->parseErrorOffset;
            return Finish(cursor, 0, fcParse);
        }
        cursor->peo = c->stmt->parseErrorOffset;
        return Finish(cursor, code, fcParse);
    }
    cursor->ft = c->stmt->stmt->SqlFunctionCode();
    return Finish(cursor, 0, fcParse);
}

namespace {
bool Deferred(Cursor7* c, Cda_Def* cursor, ub1 fc, sword& rc) {
    if (!c->deferredError) return false;
    cursor->peo = c->deferredOffset;
    rc = Finish(cursor, c->deferredError, fc, c->deferredText);
    return true;
}
} // namespace

OCISIM_EXPORT sword obndra(Cda_Def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword scale,
                           sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz, OraText* fmt, sword fmtl, sword fmtt) {
    sword rc;
    Cursor7* c = Open(cursor, fcBind, rc);
    if (!c) return rc;
    std::string name = Arg(sqlvar, sqlvl);
    OCIBind* b = nullptr;
    if (ftype == SQLT_CUR) {
        // a cursor variable: progv is a cursor data area, which the block's OPEN ... FOR opens
        // (it need not have been opened with oopen)
        if (!progv || progv == reinterpret_cast<ub1*>(cursor)) return Finish(cursor, 1001, fcBind, "ORA-01001: invalid cursor");
        Cda_Def* area = reinterpret_cast<Cda_Def*>(progv);
        Cursor7* target = FindCursor(area);
        if (!target || target->lda != c->lda) {
            std::memset(area, 0, sizeof *area);
            target = NewCursor(area, c->lda);
        }
        c->cursorBinds.push_back(target->stmt);
        sword st = OCIBindByName(reinterpret_cast<OCIStmt*>(c->stmt), &b, reinterpret_cast<OCIError*>(c->err),
                                 reinterpret_cast<const OraText*>(name.data()), sb4(name.size()), &c->cursorBinds.back(),
                                 sb4(sizeof(void*)), SQLT_RSET, nullptr, nullptr, nullptr, 0, nullptr, 0);
        return Finish(cursor, Code(st, c->err, cursor), fcBind);
    }
    sword st = OCIBindByName(reinterpret_cast<OCIStmt*>(c->stmt), &b, reinterpret_cast<OCIError*>(c->err),
                             reinterpret_cast<const OraText*>(name.data()), sb4(name.size()), progv, progvl, ub2(ftype), indp,
                             alen, arcode, maxsiz, maxsiz ? cursiz : nullptr, 0);
    return Finish(cursor, Code(st, c->err, cursor), fcBind);
}

OCISIM_EXPORT sword odefin(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword scale, sb2* indp, OraText* fmt,
                           sword fmtl, sword fmtt, ub2* rlen, ub2* rcode) {
    sword rc;
    Cursor7* c = Open(cursor, fcDefine, rc);
    if (!c) return rc;
    if (Deferred(c, cursor, fcDefine, rc)) return rc;
    OCIDefine* d = nullptr;
    sword st = OCIDefineByPos(reinterpret_cast<OCIStmt*>(c->stmt), &d, reinterpret_cast<OCIError*>(c->err), ub4(pos < 0 ? 0 : pos),
                              buf, bufl, ub2(ftype), indp, rlen, rcode, 0);
    // OCI7 reports the length of what was placed in the buffer, after any truncation
    if (st == OCI_SUCCESS) reinterpret_cast<Define*>(d)->oci7 = true;
    return Finish(cursor, Code(st, c->err, cursor), fcDefine);
}

OCISIM_EXPORT sword odescr(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize, sb2* prec,
                           sb2* scale, sb2* nullok) {
    sword rc;
    Cursor7* c = Open(cursor, fcDescribe, rc);
    if (!c) return rc;
    if (Deferred(c, cursor, fcDescribe, rc)) return rc;
    const auto& cols = c->stmt->stmt->Columns();
    if (pos < 1 || size_t(pos) > cols.size()) return Finish(cursor, 1007, fcDescribe, OraMessage(1007));
    const ColumnInfo& col = cols[size_t(pos - 1)];
    if (dbsize) *dbsize = sb4(col.ByteSize);
    if (dbtype) *dbtype = sb2(col.DataType);
    if (cbuf && cbufl) {
        size_t n = std::min<size_t>(col.Name.size(), size_t(std::max<sb4>(0, *cbufl)));
        std::memcpy(cbuf, col.Name.data(), n);
        *cbufl = sb4(n);
    } else if (cbufl) {
        *cbufl = sb4(col.Name.size());
    }
    if (dsize) {
        sb4 d = sb4(col.ByteSize);
        if (col.DataType == OraType::Number) d = col.Precision ? col.Precision + 2 : 40;
        else if (col.DataType == OraType::Date) d = 9;
        else if (col.DataType == OraType::Raw) d = sb4(col.ByteSize * 2);
        *dsize = d;
    }
    if (prec) *prec = col.Precision;
    if (scale) *scale = col.Scale;
    if (nullok) *nullok = col.Nullable ? 1 : 0;
    return Finish(cursor, 0, fcDescribe);
}

OCISIM_EXPORT sword oexn(Cda_Def* cursor, sword iters, sword rowoff) {
    sword rc;
    Cursor7* c = Open(cursor, fcExecN, rc);
    if (!c) return rc;
    if (Deferred(c, cursor, fcExecN, rc)) return rc;
    bool query = c->stmt->stype == StatementType::Select;
    ub4 mode = c->lda->autoCommit ? OCI_COMMIT_ON_SUCCESS : 0;
    sword st = DoExecute(c->lda->svc, c->stmt, c->err, query ? 0 : ub4(std::max<sword>(iters, 1)), ub4(std::max<sword>(rowoff, 0)), mode);
    cursor->rpc = ub4(c->stmt->rowCount);
    cursor->peo = c->stmt->parseErrorOffset;
    if (c->stmt->stmt) cursor->ft = c->stmt->stmt->SqlFunctionCode();
    Rowid r;
    FillRowid(r, c->stmt->lastRowId);
    cursor->rid.rd.rcs4 = r.rd.object;
    cursor->rid.rd.rcs5 = r.rd.file;
    cursor->rid.rcs7 = r.block;
    cursor->rid.rcs8 = r.row;
    return Finish(cursor, Code(st, c->err, cursor), fcExecN);
}

OCISIM_EXPORT sword oexec(Cda_Def* cursor) { return oexn(cursor, 1, 0); }

OCISIM_EXPORT sword ofen(Cda_Def* cursor, sword nrows) {
    sword rc;
    Cursor7* c = Open(cursor, fcFetch, rc);
    if (!c) return rc;
    sword st = DoFetch(c->stmt, c->err, ub4(std::max<sword>(nrows, 1)), OCI_FETCH_NEXT, 0);
    cursor->rpc = ub4(c->stmt->rowCount);
    return Finish(cursor, Code(st, c->err, cursor), fcFetch);
}

OCISIM_EXPORT sword oexfet(Cda_Def* cursor, ub4 nrows, sword cancel, sword exact) {
    sword rc = oexn(cursor, 1, 0);
    if (rc) return rc;
    rc = ofen(cursor, sword(nrows));
    cursor->fc = fcExFet;
    if (cancel) {
        if (Cursor7* c = FindCursor(cursor); c && c->stmt->stmt) {
            try { c->stmt->stmt->CloseResult(); } catch (...) {}
            c->stmt->resultOpen = false;
        }
    }
    return rc;
}

OCISIM_EXPORT sword oflng(Cda_Def* cursor, sword pos, ub1* buf, sb4 bufl, sword dtype, ub4* retl, sb4 offset) {
    sword rc;
    Cursor7* c = Open(cursor, fcLong, rc);
    if (!c) return rc;
    Stmt* s = c->stmt;
    if (!s->stmt || !s->resultOpen || s->rowsFetched == 0) return Finish(cursor, 1002, fcLong, OraMessage(1002));
    const auto& cols = s->stmt->Columns();
    if (pos < 1 || size_t(pos) > cols.size()) return Finish(cursor, 1007, fcLong, OraMessage(1007));
    ValueRef v = s->stmt->Column(size_t(pos - 1));
    size_t total = v.kind == ValueRef::Text || v.kind == ValueRef::Bytes ? v.n : 0;
    size_t from = size_t(std::max<sb4>(0, offset));
    size_t n = from < total ? std::min<size_t>(total - from, size_t(std::max<sb4>(0, bufl))) : 0;
    if (n && buf) std::memcpy(buf, v.p + from, n);
    if (retl) *retl = ub4(n);
    return Finish(cursor, 0, fcLong);
}

namespace {
sword OnSession(Lda_Def* lda, ub1 fc, void (*f)(Session*, Lda7*)) {
    Lda7* l = FindLda(lda);
    if (!l) return lda ? Finish(lda, 1012, fc, OraMessage(1012)) : OCI_INVALID_HANDLE;
    Session* s = SessionOf(l->svc);
    if (!s) return Finish(lda, 1012, fc, OraMessage(1012));
    try {
        f(s, l);
    } catch (const EngineError& e) {
        return Finish(lda, e.Code, fc, e.Text);
    }
    return Finish(lda, 0, fc);
}
} // namespace

OCISIM_EXPORT sword ocom(Lda_Def* lda) { return OnSession(lda, fcCommit, [](Session* s, Lda7*) { s->Commit(); }); }
OCISIM_EXPORT sword orol(Lda_Def* lda) { return OnSession(lda, fcRollback, [](Session* s, Lda7*) { s->Rollback(); }); }
OCISIM_EXPORT sword ocon(Lda_Def* lda) { return OnSession(lda, fcCommit, [](Session*, Lda7* l) { l->autoCommit = true; }); }
OCISIM_EXPORT sword ocof(Lda_Def* lda) { return OnSession(lda, fcCommit, [](Session*, Lda7* l) { l->autoCommit = false; }); }

OCISIM_EXPORT sword obreak(Lda_Def* lda) {
    // must not touch the data area the running call writes: only the session is interrupted
    Lda7* l = FindLda(lda);
    if (!l) return 1012;
    Session* s = SessionOf(l->svc);
    Server* srv = l->svc->server && IsLive(l->svc->server) ? l->svc->server : nullptr;
    if (s && srv && srv->running.load() == s) s->Interrupt();  // a break with nothing running is discarded
    return 0;
}

OCISIM_EXPORT sword oerhms(Lda_Def* lda, sb2 rcode, OraText* buf, sword bufsiz) {
    if (!buf || bufsiz <= 0) return 0;
    std::string text;
    {
        std::lock_guard<std::mutex> g(Mutex7());
        auto it = Texts().find(rcode);
        if (it != Texts().end()) text = it->second;
    }
    if (text.empty()) text = rcode == 0 ? "ORA-00000: normal, successful completion" : OraMessage(rcode);
    text += "\n";
    size_t n = std::min<size_t>(text.size(), size_t(bufsiz - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = 0;
    return sword(n);
}

OCISIM_EXPORT sword odessp(Lda_Def* lda, OraText* objnam, size_t onlen, ub1* rsv1, size_t rsv1ln, ub1* rsv2, size_t rsv2ln,
                           ub2* ovrld, ub2* pos, ub2* level, OraText** argnam, ub2* arnlen, ub2* dtype, ub1* defsup, ub1* mode,
                           ub4* dtsiz, sb2* prec, sb2* scale, ub1* radix, ub4* spare, ub4* arrsiz) {
    Lda7* l = FindLda(lda);
    if (!l) return lda ? Finish(lda, 1012, fcDescribe, OraMessage(1012)) : OCI_INVALID_HANDLE;
    return Finish(lda, 3001, fcDescribe, OraMessage(3001));
}

// ---------------------------------------------------------------- OCI8 <-> OCI7

OCISIM_EXPORT sword OCISvcCtxToLda(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err || !ldap) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!SessionOf(svc)) return Fail(err, 1012, OraMessage(1012));
    std::memset(ldap, 0, sizeof *ldap);
    auto l = std::make_unique<Lda7>();
    l->env = svc->env;
    l->svc = svc;
    l->ownsSvc = false;
    OCIHandleAlloc(svc->env, reinterpret_cast<void**>(&l->err), OCI_HTYPE_ERROR, 0, nullptr);
    std::lock_guard<std::mutex> g(Mutex7());
    Ldas()[ldap] = std::move(l);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILdaToSvcCtx(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err || !svchpp || !ldap) return OCI_INVALID_HANDLE;
    err->Clear();
    Lda7* l = FindLda(ldap);
    if (!l) return Fail(err, 1012, OraMessage(1012));
    DropCursorsOf(l);
    *svchpp = reinterpret_cast<OCISvcCtx*>(l->svc);
    // the service context now belongs to the caller (freed with OCIHandleFree or OCILogoff)
    if (!l->ownsSvc) OCIHandleFree(l->err, OCI_HTYPE_ERROR);
    std::lock_guard<std::mutex> g(Mutex7());
    Ldas().erase(ldap);
    return OCI_SUCCESS;
}
