// The OCI8 entry points of the stand-in client: environments, handles, attributes, errors,
// servers, sessions, statements, binds, defines, fetching, transactions and session pools.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Handles.h"
#include "ocisim/client/internal/Internal.h"
#include "ocisim/client/internal/Describe.h"
#include "ocisim/client/internal/Lob.h"
#include "ocisim/client/internal/Timestamp.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace ocisim::client {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

std::string TextArg(const void* p, sb4 len) {
    if (!p) return {};
    if (len < 0) return std::string(static_cast<const char*>(p));
    return std::string(static_cast<const char*>(p), size_t(len));
}

template <class T> T* Make(Env* env, ub4 type) {
    T* o = new T();
    o->type = type;
    o->env = env;
    Register(o);
    if (env) {
        std::lock_guard<std::recursive_mutex> g(env->mutex);
        env->children.push_back(o);
    }
    return o;
}

void Forget(Object* o) {
    if (o->env && o->env != o) {
        std::lock_guard<std::recursive_mutex> g(o->env->mutex);
        auto& c = o->env->children;
        c.erase(std::remove(c.begin(), c.end(), o), c.end());
    }
    Unregister(o);
}

Charset CharsetFromNlsLang(const std::string& v) {
    std::string u = Upper(v);
    size_t dot = u.rfind('.');
    std::string cs = dot == std::string::npos ? "" : u.substr(dot + 1);
    if (cs.empty()) return Charset::Utf8;  // no NLS_LANG: text passes unchanged (see README)
    if (cs.find("UTF8") != std::string::npos) return Charset::Utf8;
    if (cs == "WE8MSWIN1252") return Charset::Cp1252;
    if (cs == "CL8MSWIN1251") return Charset::Cp1251;
    if (cs == "WE8ISO8859P1") return Charset::Latin1;
    if (cs == "US7ASCII") return Charset::Ascii;
    return Charset::Utf8;
}

Env* NewEnv(ub4 mode) {
    Env* e = new Env();
    e->type = OCI_HTYPE_ENV;
    e->env = e;
    e->mode = mode;
    const char* nls = std::getenv("NLS_LANG");
    e->nlsLang = nls ? nls : "";
    e->charset = CharsetFromNlsLang(e->nlsLang);
    e->ncharset = e->charset;
    Register(e);
    return e;
}

void FreeObject(Object* o);

void CloseResult(Stmt* s) {
    if (s->stmt && s->resultOpen) {
        try { s->stmt->CloseResult(); } catch (...) {}
    }
    s->resultOpen = false;
    s->rows.clear();
    s->allRead = false;
    s->position = 0;
}

void FreeStmtChildren(Stmt* s) {
    for (Bind* b : s->binds) Forget(b), (void)0;
    s->binds.clear();
    for (Define* d : s->defines) if (d) Forget(d);
    s->defines.clear();
    for (Param* p : s->params) if (p && IsLive(p)) Forget(p);
    s->params.clear();
}

void DestroyStmt(Stmt* s) {
    if (!IsLive(s)) return;
    if (s->inCache && s->svc && IsLive(s->svc)) {
        // freed while held by a statement cache (the environment goes first): leave the cache
        auto& cache = s->svc->cache;
        for (auto it = cache.begin(); it != cache.end(); ++it)
            if (it->second == s) { cache.erase(it); break; }
    }
    CloseResult(s);
    FreeStmtChildren(s);
    s->stmt.reset();
    Forget(s);
}

void DropCache(SvcCtx* svc) {
    auto cache = std::move(svc->cache);
    svc->cache.clear();
    for (auto& [k, s] : cache) {
        s->inCache = false;
        DestroyStmt(s);
    }
}

void EndSession(SessionH* sh) {
    if (sh->session) {
        try { sh->session->Rollback(); } catch (...) {}
        sh->session.reset();
    }
}

void FreeObject(Object* o) {
    switch (o->type) {
    case OCI_HTYPE_STMT: DestroyStmt(static_cast<Stmt*>(o)); return;
    case OCI_HTYPE_SVCCTX: DropCache(static_cast<SvcCtx*>(o)); break;
    case OCI_HTYPE_SESSION: {
        auto* sh = static_cast<SessionH*>(o);
        if (!sh->fromPool) EndSession(sh);
        break;
    }
    case OCI_HTYPE_SERVER: static_cast<Server*>(o)->db.reset(); break;
    case OCI_HTYPE_DESCRIBE: ReleaseDescribe(static_cast<Describe*>(o)); break;
    case OCI_HTYPE_SPOOL: {
        auto* p = static_cast<Pool*>(o);
        UnregisterPool(p);
        std::lock_guard<std::mutex> g(p->mutex);
        p->idle.clear();
        break;
    }
    default: break;
    }
    Forget(o);
}

Error* CheckErr(OCIError* e) { return As<Error>(e, OCI_HTYPE_ERROR); }

Stmt* CheckStmt(const void* p) {
    Stmt* s = As<Stmt>(p, OCI_HTYPE_STMT);
    return s && !s->inCache ? s : nullptr;
}

// Placeholders of a statement text: ":name" or ":1" outside literals, quoted names and comments.
std::vector<std::string> ScanPlaceholders(const std::string& sql) {
    std::vector<std::string> out;
    size_t i = 0, n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            size_t j = sql.find(c, i + 1);
            i = j == std::string::npos ? n : j + 1;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            i = j == std::string::npos ? n : j + 1;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            i = j == std::string::npos ? n : j + 2;
        } else if (c == ':' && i + 1 < n && (std::isalnum((unsigned char)sql[i + 1]) || sql[i + 1] == '_' || sql[i + 1] == '"' || (unsigned char)sql[i + 1] >= 0x80)) {
            size_t j = i + 1;
            std::string name;
            if (sql[j] == '"') {
                size_t k = sql.find('"', j + 1);
                if (k == std::string::npos) k = n;
                name = sql.substr(j + 1, k - j - 1);
                j = k + 1;
            } else {
                while (j < n && (std::isalnum((unsigned char)sql[j]) || sql[j] == '_' || sql[j] == '$' || sql[j] == '#' || (unsigned char)sql[j] >= 0x80)) ++j;
                name = Upper(sql.substr(i + 1, j - i - 1));
            }
            out.push_back(name);
            i = j;
        } else {
            ++i;
        }
    }
    return out;
}

std::string DateFormatFromAlter(const std::string& sql) {
    std::string u = Upper(sql);
    size_t p = u.find("NLS_DATE_FORMAT");
    if (u.find("ALTER") == std::string::npos || u.find("SESSION") == std::string::npos || p == std::string::npos) return {};
    size_t q1 = sql.find('\'', p);
    if (q1 == std::string::npos) return {};
    size_t q2 = sql.find('\'', q1 + 1);
    if (q2 == std::string::npos) return {};
    return sql.substr(q1 + 1, q2 - q1 - 1);
}

struct SessionLock {
    std::unique_lock<std::mutex> lock;
    SessionLock(SessionH* sh, Env* env) {
        if (sh && env && (env->mode & OCI_THREADED) && !(env->mode & OCI_NO_MUTEX)) lock = std::unique_lock<std::mutex>(sh->callMutex);
    }
};

// Marks the engine session as running a call on this server (for OCIBreak).
struct Running {
    Server* srv;
    Running(Server* s, Session* session) : srv(s) { if (srv) srv->running.store(session); }
    ~Running() { if (srv) srv->running.store(nullptr); }
};

Session* LiveSession(SvcCtx* svc) {
    if (!svc || !svc->session || !IsLive(svc->session)) return nullptr;
    return svc->session->session.get();
}

sword NotLoggedOn(Error* err) { return Fail(err, 3114, OraMessage(3114)); }

// Makes sure the statement is prepared on the engine session of svc.
sword EnsurePrepared(Stmt* s, SvcCtx* svc, Error* err) {
    Session* session = LiveSession(svc);
    if (!session) return NotLoggedOn(err);
    if (s->stmt && s->session == svc->session && s->engine == session) return OCI_SUCCESS;
    CloseResult(s);
    s->stmt.reset();
    try {
        // the statement text is in the client's character set; the server reads UTF-8
        Charset cs = s->env->charset;
        bool recode = cs != Charset::Utf8 && !IsUtf16(cs);
        s->stmt = session->Prepare(recode ? Recode(s->sql.data(), s->sql.size(), cs, Charset::Utf8) : s->sql);
        s->session = svc->session;
        s->engine = session;
        s->svc = svc;
        s->stype = s->stmt->Type();
        s->parseErrorOffset = 0;
    } catch (const EngineError& e) {
        s->parseErrorOffset = ub2(e.ParseOffset < 0 ? 0 : e.ParseOffset);
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

void BuildParams(Stmt* s) {
    for (Param* p : s->params) if (p && IsLive(p)) Forget(p);
    s->params.clear();
}

// Makes a statement handle the client allocated fetch from an open engine cursor (a REF CURSOR
// a block opened, or a CURSOR(...) column of a row) of the session of `from`.
void AdoptCursor(Stmt* target, std::unique_ptr<Statement> cur, Stmt* from) {
    CloseResult(target);
    target->stmt = std::move(cur);
    target->session = from->session;
    target->engine = from->engine;
    target->svc = from->svc;
    target->stype = StatementType::Select;
    target->executed = true;
    target->resultOpen = true;
    target->endOfData = false;
    target->rowCount = 0;
    target->rowsFetched = 0;
    target->position = 0;
    BuildParams(target);
}

sword WriteOutValues(Stmt* s, ub4 iter, Error* err) {
    const auto& names = s->stmt->BindNames();
    StatementType type = s->stmt->Type();
    bool plsql = type == StatementType::Begin || type == StatementType::Declare || type == StatementType::Call;
    for (size_t slot = 0; slot < names.size(); ++slot) {
        Bind* b = nullptr;
        for (Bind* x : s->binds)
            if ((!x->name.empty() && x->name == names[slot]) || (x->name.empty() && x->position == slot + 1)) b = x;
        if (!b) continue;
        if (b->dty == SQLT_RSET) {
            std::unique_ptr<Statement> cur;
            try { cur = s->stmt->TakeCursor(slot); } catch (...) {}
            if (cur && b->valuep) {
                Stmt* target = CheckStmt(*static_cast<void**>(b->valuep));
                if (target) AdoptCursor(target, std::move(cur), s);
            }
            continue;
        }
        const std::vector<Value>* outs = nullptr;
        try { outs = &s->stmt->OutValues(slot); } catch (...) { continue; }
        if (!outs || outs->empty()) continue;
        bool table = b->maxarr > 0 && b->curelep;
        Define d;  // reuse the define conversion for out values
        d.valuep = b->valuep;
        d.valueSize = b->valueSize;
        d.dty = b->dty == SQLT_LNG ? SQLT_CHR : b->dty;
        d.indp = b->indp;
        d.rlenp = b->alenp;
        d.rcodep = b->rcodep;
        d.valueSkip = b->valueSkip;
        d.indSkip = b->indSkip;
        d.rlenSkip = b->alenSkip;
        d.rcodeSkip = b->rcodeSkip;
        d.charsetId = b->charsetId;
        d.charsetForm = b->charsetForm;
        ColumnInfo col;
        size_t count = table ? std::min<size_t>(outs->size(), b->maxarr) : 1;
        for (size_t k = 0; k < count; ++k) {
            ub4 row = table ? ub4(k) : iter;
            std::string errText;
            int rc;
            if (IsLobType(b->dty)) {
                // a RETURNING locator knows the row it came from
                col.DataType = b->dty == SQLT_CLOB ? OraType::Clob : b->dty == SQLT_BLOB ? OraType::Blob : OraType::Bfile;
                rc = DeliverLob(d, row, (*outs)[k].Ref(), col, s->stmt->OutLobLocation(slot, k), errText);
            } else {
                rc = DefineValue(d, row, (*outs)[k].Ref(), col, *s->env, s->session->dateFormat, errText);
            }
            if (rc == 1405) continue;  // a NULL out value into a bind without indicator is left alone
            // a PL/SQL value longer than its bind buffer fails the call, as the assignment would
            // inside PL/SQL; RETURNING INTO of SQL keeps the truncation of a define
            if (rc == 1406 && plsql) return Fail(err, 6502, "ORA-06502: PL/SQL: numeric or value error: character string buffer too small\nORA-06512: at line 1");
            if (rc != 0 && rc != 1406) return Fail(err, rc, errText);
        }
        if (table) *b->curelep = ub4(count);
    }
    return OCI_SUCCESS;
}

// Fills the values of one iteration.
sword CollectBinds(Stmt* s, ub4 iter, BindValues& values, std::deque<std::string>& scratch, Error* err) {
    const auto& names = s->stmt->BindNames();
    values.slots.assign(names.size(), {});
    scratch.resize(names.size() * 2 + 8);
    std::vector<bool> bound(names.size(), false), byName(names.size(), false);
    for (Bind* b : s->binds) {
        size_t slot = names.size();
        if (b->name.empty()) {
            if (b->position >= 1 && b->position <= names.size()) slot = b->position - 1;
        } else {
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == b->name) { slot = i; break; }
        }
        if (slot >= names.size()) return Fail(err, 1036, OraMessage(1036));
        auto& sl = values.slots[slot];
        sl.maxBytes = size_t(b->valueSize);
        sl.declaredType = OraType::Varchar2;
        switch (b->dty) {
        case SQLT_INT: case SQLT_UIN: case SQLT_FLT: case SQLT_NUM: case SQLT_VNU: case SQLT_BFLOAT:
        case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE: sl.declaredType = OraType::Number; break;
        case SQLT_DAT: case SQLT_ODT: sl.declaredType = OraType::Date; break;
        case SQLT_BIN: case SQLT_LVB: sl.declaredType = OraType::Raw; break;
        case SQLT_LBI: sl.declaredType = OraType::LongRaw; break;
        case SQLT_LNG: sl.declaredType = OraType::Long; break;
        case SQLT_RSET: sl.declaredType = OraType::Cursor; break;
        case SQLT_BOL: sl.declaredType = OraType::Boolean; break;
        case SQLT_AFC: sl.declaredType = OraType::Char; break;
        case SQLT_RDD: sl.declaredType = OraType::RowId; break;
        case SQLT_CLOB: sl.declaredType = OraType::Clob; break;
        case SQLT_BLOB: sl.declaredType = OraType::Blob; break;
        case SQLT_BFILEE: sl.declaredType = OraType::Bfile; break;
        case SQLT_TIMESTAMP: case SQLT_DATE: sl.declaredType = OraType::Timestamp; break;
        case SQLT_TIMESTAMP_TZ: sl.declaredType = OraType::TimestampTZ; break;
        case SQLT_TIMESTAMP_LTZ: sl.declaredType = OraType::TimestampLTZ; break;
        default: break;
        }
        std::string errText;
        if (b->maxarr > 0 && b->curelep) {
            // a PL/SQL index-by table
            sl.isTable = true;
            sl.maxElements = b->maxarr;
            ub4 cur = std::min(*b->curelep, b->maxarr);
            sl.values.resize(cur);
            for (ub4 k = 0; k < cur; ++k) {
                std::string tmp;
                int rc = BindValue(*b, k, *s->env, sl.values[k], tmp, errText);
                if (rc) return Fail(err, rc, errText);
                if (!tmp.empty()) {
                    // keep converted bytes alive for this execution
                    scratch.push_back(std::move(tmp));
                    auto& keep = scratch.back();
                    sl.values[k].p = keep.data();
                }
            }
        } else {
            sl.values.resize(1);
            std::string& tmp = scratch[slot];
            int rc = BindValue(*b, iter, *s->env, sl.values[0], tmp, errText);
            if (rc) return Fail(err, rc, errText);
        }
        bound[slot] = true;
        if (!b->name.empty()) byName[slot] = true;
    }
    // a name that occurs more than once in SQL text: one bind by that name serves every occurrence
    for (size_t i = 0; i < names.size(); ++i) {
        if (bound[i]) continue;
        for (size_t j = 0; j < names.size(); ++j)
            if (byName[j] && names[j] == names[i]) { values.slots[i] = values.slots[j]; bound[i] = true; break; }
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (!bound[i]) return Fail(err, 1008, OraMessage(1008));
    return OCI_SUCCESS;
}

// Reads one row from the engine (scrollable statements keep it).
bool ReadRow(Stmt* s) {
    if (!s->stmt->Fetch()) { s->allRead = true; return false; }
    if (s->scrollable) {
        size_t n = s->stmt->Columns().size();
        std::vector<Value> row(n);
        for (size_t c = 0; c < n; ++c) row[c] = Value::From(s->stmt->Column(c));
        s->rows.push_back(std::move(row));
    }
    return true;
}

// Delivers one row into the defines at array position `row`.
int DeliverRow(Stmt* s, ub4 row, const Value* stored, Error* err, bool& truncated) {
    const auto& cols = s->stmt->Columns();
    for (size_t c = 0; c < cols.size(); ++c) {
        Define* d = c + 1 < s->defines.size() ? s->defines[c + 1] : nullptr;
        if (!d) continue;
        ValueRef v = stored ? stored[c].Ref() : s->stmt->Column(c);
        if (d->mode & OCI_DYNAMIC_FETCH) {
            if (!d->callback) { Fail(err, 3001, OraMessage(3001)); return -1; }
            // piecewise delivery through the define callback
            const char* p = v.p;
            size_t total = v.kind == ValueRef::Null ? 0 : v.n;
            std::string hex;
            if (v.kind == ValueRef::Bytes && d->dty != SQLT_LBI && d->dty != SQLT_BIN && d->dty != SQLT_LVB) {
                static const char digits[] = "0123456789ABCDEF";
                hex.resize(total * 2);
                for (size_t i = 0; i < total; ++i) { hex[2 * i] = digits[(unsigned char)p[i] >> 4]; hex[2 * i + 1] = digits[(unsigned char)p[i] & 15]; }
                p = hex.data();
                total = hex.size();
            }
            size_t done = 0;
            ub1 piece = OCI_FIRST_PIECE;
            do {
                void* buf = nullptr;
                ub4* alen = nullptr;
                void* ind = nullptr;
                ub2* rcode = nullptr;
                sb4 r = d->callback(d->cbctx, reinterpret_cast<OCIDefine*>(d), row, &buf, &alen, &piece, &ind, &rcode);
                if (r != OCI_CONTINUE) { Fail(err, 24343, OraMessage(24343)); return -1; }
                size_t cap = alen ? *alen : 0;
                size_t chunk = std::min(cap, total - done);
                if (buf && chunk) std::memcpy(buf, p + done, chunk);
                done += chunk;
                if (alen) *alen = ub4(chunk);
                if (ind) *static_cast<sb2*>(ind) = v.kind == ValueRef::Null ? -1 : 0;
                if (rcode) *rcode = 0;
                piece = OCI_NEXT_PIECE;
                if (cap == 0) break;
            } while (done < total);
            continue;
        }
        if (cols[c].DataType == OraType::Cursor || d->dty == SQLT_RSET) {
            // a CURSOR(...) column goes into the statement handle the define's buffer holds
            if (cols[c].DataType != OraType::Cursor || d->dty != SQLT_RSET) {
                Fail(err, 932, "ORA-00932: inconsistent datatypes");
                return 932;
            }
            if (stored) { Fail(err, 3001, OraMessage(3001)); return 3001; }
            ub4 skip = d->valueSkip ? d->valueSkip : ub4(d->valueSize);
            char* slot = static_cast<char*>(d->valuep) + size_t(row) * skip;
            void* handle = nullptr;
            std::memcpy(&handle, slot, sizeof handle);
            Stmt* target = CheckStmt(handle);
            if (!target || target == s) { Fail(err, 1001, "ORA-01001: invalid cursor"); return 1001; }
            std::unique_ptr<Statement> cur = s->stmt->ColumnCursor(c);
            if (!cur) { Fail(err, 1001, "ORA-01001: invalid cursor"); return 1001; }
            AdoptCursor(target, std::move(cur), s);
            if (d->indp) *reinterpret_cast<sb2*>(static_cast<char*>(d->indp) + size_t(row) * d->indSkip) = 0;
            if (d->rlenp) *reinterpret_cast<ub2*>(reinterpret_cast<char*>(d->rlenp) + size_t(row) * d->rlenSkip) = ub2(sizeof(void*));
            if (d->rcodep) *reinterpret_cast<ub2*>(reinterpret_cast<char*>(d->rcodep) + size_t(row) * d->rcodeSkip) = 0;
            continue;
        }
        std::string errText;
        int rc = IsLobType(d->dty) ? DeliverLob(*d, row, v, cols[c], stored ? LobLocation{} : s->stmt->ColumnLobLocation(c), errText)
                                   : DefineValue(*d, row, v, cols[c], *s->env, s->session->dateFormat, errText);
        if (rc == 1406) { truncated = true; continue; }
        if (rc != 0) { Fail(err, rc, errText); return rc; }
    }
    return 0;
}

sword CheckDefines(Stmt* s, Error* err) {
    for (size_t i = 1; i < s->defines.size(); ++i)
        if (s->defines[i] && i > s->stmt->Columns().size()) return Fail(err, 1007, OraMessage(1007));
    return OCI_SUCCESS;
}

sword FetchRows(Stmt* s, Error* err, ub4 nrows, ub2 orientation, sb4 offset) {
    if (!s->stmt || !s->executed) return Fail(err, 24338, OraMessage(24338));
    if (s->stype != StatementType::Select && !s->resultOpen) return Fail(err, 24374, OraMessage(24374));
    if (!s->resultOpen) return Fail(err, 1002, OraMessage(1002));
    // the session the result belongs to may have ended, or its handles been freed
    if (!s->session || !IsLive(s->session) || !s->session->session || s->session->session.get() != s->engine) {
        CloseResult(s);
        return NotLoggedOn(err);
    }
    if (sword r = CheckDefines(s, err); r != OCI_SUCCESS) return r;
    Server* srv = s->svc && IsLive(s->svc) && s->svc->server && IsLive(s->svc->server) ? s->svc->server : nullptr;
    SessionLock lock(s->session, s->env);
    Running running(srv, s->session->session.get());
    bool truncated = false;
    ub4 got = 0;
    try {
        if (!s->scrollable) {
            if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT && orientation != OCI_FETCH_CURRENT)
                return Fail(err, 24391, OraMessage(24391));
            if (nrows == 0) {  // cancels the cursor
                CloseResult(s);
                s->rowsFetched = 0;
                return OCI_SUCCESS;
            }
            while (got < nrows && !s->endOfData) {
                if (!s->stmt->Fetch()) { s->endOfData = true; break; }
                int rc = DeliverRow(s, got, nullptr, err, truncated);
                if (rc) { s->rowsFetched = got; s->rowCount += got; return OCI_ERROR; }
                ++got;
            }
            s->rowsFetched = got;
            s->rowCount += got;
            s->position += got;
        } else {
            int64_t start;
            switch (orientation) {
            case OCI_DEFAULT: case OCI_FETCH_NEXT: start = s->position + 1; break;
            case OCI_FETCH_CURRENT: start = s->position; break;
            case OCI_FETCH_FIRST: start = 1; break;
            case OCI_FETCH_PRIOR: start = s->position - 1; break;
            case OCI_FETCH_ABSOLUTE: start = offset; break;
            case OCI_FETCH_RELATIVE: start = s->position + offset; break;
            case OCI_FETCH_LAST:
                while (!s->allRead) ReadRow(s);
                start = int64_t(s->rows.size());
                nrows = 1;
                break;
            default: return Fail(err, 24391, OraMessage(24391));
            }
            if (start >= 1) {
                while (!s->allRead && int64_t(s->rows.size()) < start + int64_t(nrows) - 1) ReadRow(s);
                for (int64_t r = start; got < nrows && r <= int64_t(s->rows.size()); ++r, ++got) {
                    int rc = DeliverRow(s, got, s->rows[size_t(r - 1)].data(), err, truncated);
                    if (rc) return OCI_ERROR;
                }
                if (got) s->position = start + got - 1;
            }
            s->rowsFetched = got;
            s->rowCount = std::max<uint64_t>(s->rowCount, uint64_t(s->position));
        }
    } catch (const EngineError& e) {
        s->rowsFetched = got;
        return FailEngine(err, e);
    }
    if (got < nrows) return Fail(err, 1403, OraMessage(1403)), OCI_NO_DATA;
    if (truncated) { err->Set(1406, OraMessage(1406)); return OCI_SUCCESS_WITH_INFO; }
    return OCI_SUCCESS;
}

} // namespace

// ---- pools by name ----
namespace {
std::mutex& PoolMutex() { static std::mutex m; return m; }
std::map<std::string, Pool*>& Pools() { static std::map<std::string, Pool*> m; return m; }
}
void UnregisterPool(Pool* p) {
    std::lock_guard<std::mutex> g(PoolMutex());
    Pools().erase(p->name);
}

// Creates a service context with its own server and session handles around an engine session.
SvcCtx* WrapSession(Env* env, std::shared_ptr<Database> db, std::unique_ptr<Session> session, const std::string& dir) {
    auto* svc = Make<SvcCtx>(env, OCI_HTYPE_SVCCTX);
    auto* srv = Make<Server>(env, OCI_HTYPE_SERVER);
    auto* sh = Make<SessionH>(env, OCI_HTYPE_SESSION);
    srv->db = std::move(db);
    srv->directory = dir;
    srv->attached = true;
    sh->session = std::move(session);
    svc->server = srv;
    svc->session = sh;
    svc->ownsHandles = true;
    return svc;
}

void FreeWrapped(SvcCtx* svc) {
    Server* srv = svc->server;
    SessionH* sh = svc->session;
    DropCache(svc);
    FreeObject(svc);
    if (sh && IsLive(sh)) FreeObject(sh);
    if (srv && IsLive(srv)) FreeObject(srv);
}

std::shared_ptr<Database> OpenDatabase(const std::string& connect, std::string& dir) {
    dir = ResolveConnect(connect);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return Database::Open(dir);
}

sword DoExecute(SvcCtx* svc, Stmt* s, Error* err, ub4 iters, ub4 rowoff, ub4 mode);
sword DoFetch(Stmt* s, Error* err, ub4 nrows, ub2 orientation, sb4 offset) { return FetchRows(s, err, nrows, orientation, offset); }

sword DoExecute(SvcCtx* svc, Stmt* s, Error* err, ub4 iters, ub4 rowoff, ub4 mode) {
    err->Clear();
    SessionLock lock(svc->session && IsLive(svc->session) ? svc->session : nullptr, s->env);
    if (sword r = EnsurePrepared(s, svc, err); r != OCI_SUCCESS) return r;
    Session* session = svc->session->session.get();
    Running running(svc->server, session);
    s->svc = svc;
    CloseResult(s);
    s->rowCount = 0;
    s->rowsFetched = 0;
    s->endOfData = false;
    s->executed = false;
    s->lastRowId.clear();
    s->scrollable = (mode & OCI_STMT_SCROLLABLE_READONLY) != 0;
    BuildParams(s);
    bool query = s->stype == StatementType::Select;
    if (mode & OCI_DESCRIBE_ONLY) { s->executed = query; return OCI_SUCCESS; }
    if (!query && iters == 0) return Fail(err, 1007, "ORA-24333: zero iteration count");
    bool info = false;
    std::deque<std::string> scratch;  // converted bind bytes; a deque never moves its elements
    BindValues values;
    try {
        if (query) {
            if (sword r = CollectBinds(s, 0, values, scratch, err); r != OCI_SUCCESS) return r;
            s->stmt->Execute(values);
            s->executed = true;
            s->resultOpen = true;
            if (sword r = WriteOutValues(s, 0, err); r != OCI_SUCCESS) return r;
            if (iters > 0) {
                if (lock.lock.owns_lock()) lock.lock.unlock();
                sword r = FetchRows(s, err, iters, OCI_FETCH_NEXT, 0);
                if (r == OCI_NO_DATA && s->rowsFetched > 0) return OCI_SUCCESS;  // fewer rows than asked for
                return r;
            }
        } else {
            // the statement runs for elements rowoff .. iters - 1
            if (rowoff >= iters) return Fail(err, 24333, "ORA-24333: zero iteration count");
            for (ub4 it = rowoff; it < iters; ++it) {
                if (sword r = CollectBinds(s, it, values, scratch, err); r != OCI_SUCCESS) return r;
                s->stmt->Execute(values);
                s->rowCount += s->stmt->RowsProcessed();
                std::string rid = s->stmt->LastRowId();
                if (!rid.empty()) s->lastRowId = rid;
                if (sword r = WriteOutValues(s, it, err); r != OCI_SUCCESS) return r;
                if (s->stmt->CompiledWithErrors()) info = true;
            }
            s->executed = true;
            if (std::string f = DateFormatFromAlter(s->sql); !f.empty()) s->session->dateFormat = f;
        }
        if (mode & OCI_COMMIT_ON_SUCCESS) session->Commit();
    } catch (const EngineError& e) {
        if (e.ParseOffset >= 0) s->parseErrorOffset = ub2(e.ParseOffset);
        return FailEngine(err, e);
    }
    if (info) {
        err->Set(24344, "ORA-24344: success with compilation error");
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

} // namespace ocisim::client

using namespace ocisim::client;

// ---------------------------------------------------------------- environments and handles

OCISIM_EXPORT sword OCIInitialize(ub4 mode, dvoid*, dvoid* (*)(dvoid*, size_t), dvoid* (*)(dvoid*, dvoid*, size_t),
                                  void (*)(dvoid*, dvoid*)) {
    ProcessMode() = mode;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIEnvCreate(OCIEnv** envp, ub4 mode, dvoid*, dvoid* (*)(dvoid*, size_t),
                                 dvoid* (*)(dvoid*, dvoid*, size_t), void (*)(dvoid*, dvoid*), size_t xtramem_sz,
                                 dvoid** usrmempp) {
    if (!envp) return OCI_INVALID_HANDLE;
    Env* e = NewEnv(mode);
    if (xtramem_sz && usrmempp) *usrmempp = ExtraMemory(e, xtramem_sz);
    *envp = reinterpret_cast<OCIEnv*>(e);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t xtramem_sz, dvoid** usrmempp) {
    if (!envp) return OCI_INVALID_HANDLE;
    // OCIEnvInit's mode 0 is threaded (as initialised); OCI_ENV_NO_MUTEX asks for no locking
    ub4 m = (ProcessMode() & OCI_THREADED) && !(mode & OCI_ENV_NO_MUTEX) ? OCI_THREADED : 0;
    Env* e = NewEnv(m | (ProcessMode() & OCI_OBJECT));
    if (xtramem_sz && usrmempp) *usrmempp = ExtraMemory(e, xtramem_sz);
    *envp = reinterpret_cast<OCIEnv*>(e);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIHandleAlloc(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp) {
    Env* env = As<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp) return OCI_INVALID_HANDLE;
    Object* o = nullptr;
    switch (type) {
    case OCI_HTYPE_ERROR: o = Make<Error>(env, type); break;
    case OCI_HTYPE_SVCCTX: o = Make<SvcCtx>(env, type); break;
    case OCI_HTYPE_STMT: o = Make<Stmt>(env, type); break;
    case OCI_HTYPE_SERVER: o = Make<Server>(env, type); break;
    case OCI_HTYPE_SESSION: o = Make<SessionH>(env, type); break;
    case OCI_HTYPE_SPOOL: o = Make<Pool>(env, type); break;
    case OCI_HTYPE_TRANS: o = Make<Generic>(env, type); break;
    case OCI_HTYPE_DESCRIBE: o = NewDescribe(env); break;
    default: return OCI_INVALID_HANDLE;
    }
    if (xtramem_sz && usrmempp) *usrmempp = ExtraMemory(o, xtramem_sz);
    *hndlpp = o;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIHandleFree(dvoid* hndlp, ub4 type) {
    if (type == OCI_HTYPE_ENV) {
        Env* e = As<Env>(hndlp, OCI_HTYPE_ENV);
        if (!e) return OCI_INVALID_HANDLE;
        std::vector<Object*> children;
        {
            std::lock_guard<std::recursive_mutex> g(e->mutex);
            children = e->children;
        }
        // statements first, then contexts and sessions, then servers and the rest
        auto order = [](Object* o) {
            switch (o->type) {
            case OCI_HTYPE_STMT: return 0;
            case OCI_HTYPE_SVCCTX: return 1;
            case OCI_HTYPE_SESSION: return 2;
            case OCI_HTYPE_SPOOL: return 3;
            case OCI_HTYPE_SERVER: return 4;
            default: return 5;
            }
        };
        std::stable_sort(children.begin(), children.end(), [&](Object* a, Object* b) { return order(a) < order(b); });
        for (Object* o : children)
            if (IsLive(o) && o->magic == kMagic) FreeObject(o);
        Unregister(e);
        return OCI_SUCCESS;
    }
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) return OCI_INVALID_HANDLE;
    Object* o = Lookup(hndlp, type);
    if (!o) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_STMT && static_cast<Stmt*>(o)->inCache) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_SVCCTX) {
        auto* svc = static_cast<SvcCtx*>(o);
        if (svc->ownsHandles && !svc->pool) { FreeWrapped(svc); return OCI_SUCCESS; }
    }
    FreeObject(o);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDescriptorAlloc(const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp) {
    Env* env = As<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp) return OCI_INVALID_HANDLE;
    Object* o = nullptr;
    switch (type) {
    case OCI_DTYPE_ROWID: o = Make<Rowid>(env, type); break;
    case OCI_DTYPE_DATE: case OCI_DTYPE_TIMESTAMP: case OCI_DTYPE_TIMESTAMP_TZ: case OCI_DTYPE_TIMESTAMP_LTZ:
        o = Make<DateTime>(env, type);
        break;
    case OCI_DTYPE_LOB: case OCI_DTYPE_FILE: o = NewLob(env, type); break;
    case OCI_DTYPE_SNAP: case OCI_DTYPE_RSET: case OCI_DTYPE_INTERVAL_YM:
    case OCI_DTYPE_INTERVAL_DS:
        o = Make<Generic>(env, type);
        break;
    default: return OCI_INVALID_HANDLE;
    }
    if (xtramem_sz && usrmempp) *usrmempp = ExtraMemory(o, xtramem_sz);
    *descpp = o;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDescriptorFree(dvoid* descp, ub4 type) {
    Object* o = Lookup(descp, type);
    if (!o) return OCI_INVALID_HANDLE;
    if (type == OCI_DTYPE_PARAM) {
        auto* p = static_cast<Param*>(o);
        if (p->owner && IsLive(p->owner) && p->owner->type == OCI_HTYPE_DESCRIBE) {
            auto& v = static_cast<Describe*>(p->owner)->made;   // a described object's parameter
            v.erase(std::remove(v.begin(), v.end(), p), v.end());
        } else if (p->owner && IsLive(p->owner) && p->owner->type == OCI_HTYPE_STMT) {
            auto& v = static_cast<Stmt*>(p->owner)->params;
            v.erase(std::remove(v.begin(), v.end(), p), v.end());
        }
    }
    FreeObject(o);
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- errors

OCISIM_EXPORT sword OCIErrorGet(dvoid* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type) {
    Error* err = nullptr;
    if (type == OCI_HTYPE_ERROR) err = As<Error>(hndlp, OCI_HTYPE_ERROR);
    else if (type == OCI_HTYPE_ENV) {
        Env* e = As<Env>(hndlp, OCI_HTYPE_ENV);
        if (!e) return OCI_INVALID_HANDLE;
        err = e->lastError && IsLive(e->lastError) ? e->lastError : nullptr;
        if (!err) return OCI_NO_DATA;
    }
    if (!err) return OCI_INVALID_HANDLE;
    if (recordno < 1 || recordno > err->records.size()) return OCI_NO_DATA;
    const ErrorRecord& r = err->records[recordno - 1];
    if (errcodep) *errcodep = r.code;
    if (sqlstate) std::memcpy(sqlstate, "HY000", 6);
    if (bufp && bufsiz > 0) {
        std::string t = r.text + "\n";
        size_t n = std::min<size_t>(t.size(), bufsiz - 1);
        std::memcpy(bufp, t.data(), n);
        bufp[n] = 0;
    }
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- attributes

namespace {

template <class T> sword GetScalar(dvoid* attributep, ub4* sizep, T v) {
    if (!attributep) return OCI_INVALID_HANDLE;
    std::memcpy(attributep, &v, sizeof v);
    if (sizep) *sizep = sizeof v;
    return OCI_SUCCESS;
}

sword GetText(dvoid* attributep, ub4* sizep, const std::string& s) {
    if (!attributep) return OCI_INVALID_HANDLE;
    *static_cast<const char**>(attributep) = s.c_str();
    if (sizep) *sizep = ub4(s.size());
    return OCI_SUCCESS;
}

// Reads a scalar attribute value of the published size; a different non-zero size is refused.
template <class T> bool SetScalar(const dvoid* attributep, ub4 size, T& out) {
    if (!attributep || (size != 0 && size != sizeof(T))) return false;
    std::memcpy(&out, attributep, sizeof(T));
    return true;
}

sword BadAttr(Error* err) { return Fail(err, 24315, OraMessage(24315)); }

} // namespace

OCISIM_EXPORT sword OCIAttrGet(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp) {
    Object* o = Lookup(trgthndlp, trghndltyp);
    Error* err = CheckErr(errhp);
    if (!o || !err) return OCI_INVALID_HANDLE;
    if (!attributep) return Fail(err, 24315, OraMessage(24315));
    err->Clear();
    if (attrtype == OCI_ATTR_ENV && trghndltyp != OCI_DTYPE_PARAM) {
        *static_cast<void**>(attributep) = o->env;
        return OCI_SUCCESS;
    }
    switch (trghndltyp) {
    case OCI_HTYPE_DESCRIBE: {
        auto* d = static_cast<Describe*>(o);
        if (attrtype != OCI_ATTR_PARAM) break;
        if (!d->root || !IsLive(d->root)) return Fail(err, 24338, OraMessage(24338));
        *static_cast<void**>(attributep) = d->root;
        if (sizep) *sizep = sizeof(void*);
        return OCI_SUCCESS;
    }
    case OCI_HTYPE_ENV: {
        auto* e = static_cast<Env*>(o);
        if (attrtype == OCI_ATTR_ENV_CHARSET_ID) return GetScalar<ub2>(attributep, sizep, CharsetIdOf(e->charset));
        if (attrtype == OCI_ATTR_ENV_NCHARSET_ID) return GetScalar<ub2>(attributep, sizep, CharsetIdOf(e->ncharset));
        break;
    }
    case OCI_HTYPE_SVCCTX: {
        auto* s = static_cast<SvcCtx*>(o);
        if (attrtype == OCI_ATTR_SERVER) { *static_cast<void**>(attributep) = s->server; return OCI_SUCCESS; }
        if (attrtype == OCI_ATTR_SESSION) { *static_cast<void**>(attributep) = s->session; return OCI_SUCCESS; }
        if (attrtype == OCI_ATTR_STMTCACHESIZE) return GetScalar<ub4>(attributep, sizep, s->cacheSize);
        if (attrtype == OCI_ATTR_TRANS) { *static_cast<void**>(attributep) = nullptr; return OCI_SUCCESS; }
        break;
    }
    case OCI_HTYPE_SERVER: {
        auto* s = static_cast<Server*>(o);
        if (attrtype == OCI_ATTR_SERVER_STATUS) return GetScalar<ub4>(attributep, sizep, s->attached ? OCI_SERVER_NORMAL : OCI_SERVER_NOT_CONNECTED);
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* s = static_cast<SessionH*>(o);
        if (attrtype == OCI_ATTR_USERNAME) return GetText(attributep, sizep, s->user);
        break;
    }
    case OCI_HTYPE_STMT: {
        auto* s = static_cast<Stmt*>(o);
        if (s->inCache) return OCI_INVALID_HANDLE;
        switch (attrtype) {
        case OCI_ATTR_STMT_TYPE: {
            ub2 t = ub2(s->stmt ? s->stmt->Type() : s->stype);
            return GetScalar<ub2>(attributep, sizep, t);
        }
        case OCI_ATTR_SQLFNCODE: return GetScalar<ub2>(attributep, sizep, s->stmt ? s->stmt->SqlFunctionCode() : 0);
        case OCI_ATTR_ROW_COUNT: return GetScalar<ub4>(attributep, sizep, ub4(s->rowCount));
        case OCI_ATTR_ROWS_FETCHED: return GetScalar<ub4>(attributep, sizep, s->rowsFetched);
        case OCI_ATTR_CURRENT_POSITION: return GetScalar<ub4>(attributep, sizep, ub4(s->position));
        case OCI_ATTR_PARSE_ERROR_OFFSET: case 128: return GetScalar<ub2>(attributep, sizep, s->parseErrorOffset);
        case OCI_ATTR_PREFETCH_ROWS: return GetScalar<ub4>(attributep, sizep, s->prefetchRows);
        case OCI_ATTR_PREFETCH_MEMORY: return GetScalar<ub4>(attributep, sizep, s->prefetchMemory);
        case OCI_ATTR_STATEMENT: return GetText(attributep, sizep, s->sql);
        case OCI_ATTR_PARAM_COUNT:
            if (!s->stmt) return Fail(err, 24338, OraMessage(24338));
            return GetScalar<ub4>(attributep, sizep, ub4(s->stmt->Columns().size()));
        case OCI_ATTR_ROWID: {
            Rowid* r = As<Rowid>(attributep, OCI_DTYPE_ROWID);
            if (!r) return OCI_INVALID_HANDLE;
            if (s->lastRowId.empty()) return Fail(err, 1410, OraMessage(1410));
            FillRowid(*r, s->lastRowId);
            return OCI_SUCCESS;
        }
        default: break;
        }
        break;
    }
    case OCI_DTYPE_PARAM: {
        if (sword st; DescribedParamAttr(*static_cast<Param*>(o), attrtype, attributep, sizep, st, err)) return st;
        const ColumnInfo& c = static_cast<Param*>(o)->column;
        switch (attrtype) {
        case OCI_ATTR_DATA_TYPE: return GetScalar<ub2>(attributep, sizep, DescribedType(c.DataType));
        case OCI_ATTR_DATA_SIZE: return GetScalar<ub2>(attributep, sizep, ub2(c.ByteSize));
        case OCI_ATTR_CHAR_SIZE: return GetScalar<ub2>(attributep, sizep, ub2(c.CharSize));
        case OCI_ATTR_CHAR_USED: return GetScalar<ub1>(attributep, sizep, ub1(c.CharUsed));
        case OCI_ATTR_DISP_SIZE: return GetScalar<ub2>(attributep, sizep, ub2(c.CharSize ? c.CharSize : c.ByteSize));
        case OCI_ATTR_NAME: return GetText(attributep, sizep, c.Name);
        case OCI_ATTR_PRECISION: return GetScalar<sb2>(attributep, sizep, c.Precision);
        case OCI_ATTR_SCALE: return GetScalar<sb1>(attributep, sizep, c.Scale);
        case OCI_ATTR_IS_NULL: return GetScalar<ub1>(attributep, sizep, ub1(c.Nullable));
        case OCI_ATTR_CHARSET_FORM: return GetScalar<ub1>(attributep, sizep, c.CharsetForm);
        case OCI_ATTR_CHARSET_ID: return GetScalar<ub2>(attributep, sizep, c.CharsetId);
        case OCI_ATTR_SCHEMA_NAME: return GetText(attributep, sizep, c.SchemaName);
        case OCI_ATTR_TYPE_NAME: return GetText(attributep, sizep, c.TypeName);
        default: break;
        }
        break;
    }
    case OCI_HTYPE_BIND: {
        auto* b = static_cast<Bind*>(o);
        if (attrtype == OCI_ATTR_CHARSET_ID) return GetScalar<ub2>(attributep, sizep, b->charsetId);
        if (attrtype == OCI_ATTR_CHARSET_FORM) return GetScalar<ub1>(attributep, sizep, b->charsetForm);
        if (attrtype == OCI_ATTR_MAXDATA_SIZE) return GetScalar<ub4>(attributep, sizep, b->maxDataSize);
        break;
    }
    case OCI_HTYPE_DEFINE: {
        auto* d = static_cast<Define*>(o);
        if (attrtype == OCI_ATTR_CHARSET_ID) return GetScalar<ub2>(attributep, sizep, d->charsetId);
        if (attrtype == OCI_ATTR_CHARSET_FORM) return GetScalar<ub1>(attributep, sizep, d->charsetForm);
        break;
    }
    case OCI_HTYPE_SPOOL: {
        auto* p = static_cast<Pool*>(o);
        std::lock_guard<std::mutex> g(p->mutex);
        switch (attrtype) {
        case OCI_ATTR_SPOOL_BUSY_COUNT: return GetScalar<ub4>(attributep, sizep, p->busy);
        case OCI_ATTR_SPOOL_OPEN_COUNT: return GetScalar<ub4>(attributep, sizep, ub4(p->busy + p->idle.size()));
        case OCI_ATTR_SPOOL_MIN: return GetScalar<ub4>(attributep, sizep, p->min);
        case OCI_ATTR_SPOOL_MAX: return GetScalar<ub4>(attributep, sizep, p->max);
        case OCI_ATTR_SPOOL_INCR: return GetScalar<ub4>(attributep, sizep, p->incr);
        case OCI_ATTR_SPOOL_GETMODE: return GetScalar<ub1>(attributep, sizep, ub1(p->getMode));
        case OCI_ATTR_SPOOL_TIMEOUT: return GetScalar<ub4>(attributep, sizep, p->timeout);
        case OCI_ATTR_SPOOL_STMTCACHESIZE: return GetScalar<ub4>(attributep, sizep, p->stmtCacheSize);
        default: break;
        }
        break;
    }
    default: break;
    }
    return BadAttr(err);
}

OCISIM_EXPORT sword OCIAttrSet(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype, OCIError* errhp) {
    Object* o = Lookup(trgthndlp, trghndltyp);
    Error* err = CheckErr(errhp);
    if (!o || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
        auto* s = static_cast<SvcCtx*>(o);
        if (attrtype == OCI_ATTR_SERVER) {
            Server* srv = As<Server>(attributep, OCI_HTYPE_SERVER);
            if (!srv) return OCI_INVALID_HANDLE;
            s->server = srv;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_SESSION) {
            SessionH* sh = As<SessionH>(attributep, OCI_HTYPE_SESSION);
            if (!sh) return OCI_INVALID_HANDLE;
            s->session = sh;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_STMTCACHESIZE) {
            ub4 v;
            if (!SetScalar(attributep, size, v)) return BadAttr(err);
            s->cacheSize = v;
            while (s->cache.size() > v) {  // the oldest entries go
                auto it = s->cache.begin();
                Stmt* old = it->second;
                s->cache.erase(it);
                old->inCache = false;
                DestroyStmt(old);
            }
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_TRANS) return OCI_SUCCESS;
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* s = static_cast<SessionH*>(o);
        if (attrtype == OCI_ATTR_USERNAME || attrtype == OCI_ATTR_PASSWORD) {
            std::string v = attributep ? std::string(static_cast<const char*>(attributep), size) : std::string();
            (attrtype == OCI_ATTR_USERNAME ? s->user : s->password) = v;
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_STMT: {
        auto* s = static_cast<Stmt*>(o);
        if (s->inCache) return OCI_INVALID_HANDLE;
        if (attrtype == OCI_ATTR_PREFETCH_ROWS) return SetScalar(attributep, size, s->prefetchRows) ? OCI_SUCCESS : BadAttr(err);
        if (attrtype == OCI_ATTR_PREFETCH_MEMORY) return SetScalar(attributep, size, s->prefetchMemory) ? OCI_SUCCESS : BadAttr(err);
        break;
    }
    case OCI_HTYPE_BIND: {
        auto* b = static_cast<Bind*>(o);
        if (attrtype == OCI_ATTR_CHARSET_ID) return SetScalar(attributep, size, b->charsetId) ? OCI_SUCCESS : BadAttr(err);
        if (attrtype == OCI_ATTR_CHARSET_FORM) {
            if (!SetScalar(attributep, size, b->charsetForm) || (b->charsetForm != SQLCS_IMPLICIT && b->charsetForm != SQLCS_NCHAR)) return BadAttr(err);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_MAXDATA_SIZE) return SetScalar(attributep, size, b->maxDataSize) ? OCI_SUCCESS : BadAttr(err);
        break;
    }
    case OCI_HTYPE_DEFINE: {
        auto* d = static_cast<Define*>(o);
        if (attrtype == OCI_ATTR_CHARSET_ID) return SetScalar(attributep, size, d->charsetId) ? OCI_SUCCESS : BadAttr(err);
        if (attrtype == OCI_ATTR_CHARSET_FORM) {
            if (!SetScalar(attributep, size, d->charsetForm) || (d->charsetForm != SQLCS_IMPLICIT && d->charsetForm != SQLCS_NCHAR)) return BadAttr(err);
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_DTYPE_LOB: {
        ub4 v = 0;
        if (attrtype == OCI_ATTR_LOBEMPTY && (size == 0 || SetScalar(attributep, size, v))) {
            SetLobEmpty(static_cast<Lob*>(o));
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_SPOOL: {
        auto* p = static_cast<Pool*>(o);
        std::lock_guard<std::mutex> g(p->mutex);
        if (attrtype == OCI_ATTR_SPOOL_GETMODE) {
            ub1 v;
            if (!SetScalar(attributep, size, v)) return BadAttr(err);
            p->getMode = v;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_SPOOL_TIMEOUT) return SetScalar(attributep, size, p->timeout) ? OCI_SUCCESS : BadAttr(err);
        if (attrtype == OCI_ATTR_SPOOL_STMTCACHESIZE) return SetScalar(attributep, size, p->stmtCacheSize) ? OCI_SUCCESS : BadAttr(err);
        break;
    }
    default: break;
    }
    return BadAttr(err);
}

// ---------------------------------------------------------------- servers and sessions

OCISIM_EXPORT sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len, ub4 mode) {
    Server* srv = As<Server>(srvhp, OCI_HTYPE_SERVER);
    Error* err = CheckErr(errhp);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (srv->attached) return Fail(err, 24309, "ORA-24309: already connected to a server");
    try {
        std::string dir;
        srv->db = OpenDatabase(TextArg(dblink, dblink ? dblink_len : 0), dir);
        srv->directory = dir;
        srv->attached = true;
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode) {
    Server* srv = As<Server>(srvhp, OCI_HTYPE_SERVER);
    Error* err = CheckErr(errhp);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!srv->attached) return Fail(err, 24324, "ORA-24324: service handle not initialized");
    srv->attached = false;
    srv->db.reset();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIServerVersion(dvoid* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype) {
    Error* err = CheckErr(errhp);
    Server* srv = nullptr;
    if (hndltype == OCI_HTYPE_SERVER) srv = As<Server>(hndlp, OCI_HTYPE_SERVER);
    else if (hndltype == OCI_HTYPE_SVCCTX) {
        SvcCtx* svc = As<SvcCtx>(hndlp, OCI_HTYPE_SVCCTX);
        if (!svc) return OCI_INVALID_HANDLE;
        srv = svc->server && IsLive(svc->server) ? svc->server : nullptr;
        if (!srv && err) return NotLoggedOn(err);
    }
    if (!srv || !err || !bufp) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!srv->attached || !srv->db) return NotLoggedOn(err);
    std::string v = srv->db->ServerVersion();
    if (bufsz == 0) return OCI_SUCCESS;
    size_t n = std::min<size_t>(v.size(), bufsz - 1);
    std::memcpy(bufp, v.data(), n);
    bufp[n] = 0;
    return OCI_SUCCESS;
}

namespace {
sword BeginSession(SvcCtx* svc, Error* err, SessionH* sh, ub4 credt, ub4 mode) {
    if (!svc->server || !IsLive(svc->server) || !svc->server->attached) return NotLoggedOn(err);
    if (sh->session) return Fail(err, 24313, "ORA-24313: user already authenticated");
    if (credt != OCI_CRED_RDBMS && credt != OCI_CRED_EXT) return Fail(err, 1017, OraMessage(1017));
    ConnectMode cm = (mode & OCI_SYSDBA) ? ConnectMode::SysDba : (mode & OCI_SYSOPER) ? ConnectMode::SysOper : ConnectMode::Normal;
    try {
        if (credt == OCI_CRED_EXT) sh->session = svc->server->db->Logon("", "", cm);
        else sh->session = svc->server->db->Logon(sh->user, sh->password, cm);
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    svc->session = sh;
    if (mode & OCI_STMT_CACHE) svc->cacheSize = svc->cacheSize ? svc->cacheSize : 20;
    if (const EngineError* w = sh->session->LogonWarning()) {
        err->Set(w->Code, w->Text);
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}
} // namespace

OCISIM_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    SessionH* sh = As<SessionH>(usrhp, OCI_HTYPE_SESSION);
    Error* err = CheckErr(errhp);
    if (!svc || !sh || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    return BeginSession(svc, err, sh, credt, mode);
}

OCISIM_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    SessionH* sh = usrhp ? As<SessionH>(usrhp, OCI_HTYPE_SESSION) : svc->session;
    if (!sh || !IsLive(sh)) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!sh->session) return NotLoggedOn(err);
    DropCache(svc);
    SessionLock lock(sh, svc->env);
    EndSession(sh);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
                             const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len) {
    Env* env = As<Env>(envhp, OCI_HTYPE_ENV);
    Error* err = CheckErr(errhp);
    if (!env || !err || !svchp) return OCI_INVALID_HANDLE;
    err->Clear();
    try {
        std::string dir;
        auto db = OpenDatabase(TextArg(dbname, sb4(dbname_len)), dir);
        auto session = db->Logon(TextArg(username, sb4(uname_len)), TextArg(password, sb4(passwd_len)));
        const EngineError* w = session->LogonWarning();
        SvcCtx* svc = WrapSession(env, db, std::move(session), dir);
        svc->session->user = TextArg(username, sb4(uname_len));
        *svchp = reinterpret_cast<OCISvcCtx*>(svc);
        if (w) { err->Set(w->Code, w->Text); return OCI_SUCCESS_WITH_INFO; }
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!svc->ownsHandles) return Fail(err, 24327, "ORA-24327: need explicit attach before authenticating a user");
    FreeWrapped(svc);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIPasswordChange(OCISvcCtx* svchp, OCIError* errhp, const OraText* user_name, ub4 usernm_len,
                                      const OraText* opasswd, ub4 opasswd_len, const OraText* npasswd, ub4 npasswd_len, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    std::string user = TextArg(user_name, sb4(usernm_len)), oldp = TextArg(opasswd, sb4(opasswd_len)),
                newp = TextArg(npasswd, sb4(npasswd_len));
    try {
        if (mode & OCI_AUTH) {
            // logs on while changing an expired password
            if (!svc->server || !IsLive(svc->server) || !svc->server->attached) return NotLoggedOn(err);
            SessionH* sh = svc->session && IsLive(svc->session) ? svc->session : nullptr;
            if (!sh) return Fail(err, 24327, "ORA-24327: need explicit attach before authenticating a user");
            sh->session = svc->server->db->LogonChangingPassword(user, oldp, newp);
            sh->user = user;
            sh->password = newp;
            return OCI_SUCCESS;
        }
        Session* session = LiveSession(svc);
        if (!session) return NotLoggedOn(err);
        session->ChangePassword(oldp, newp);
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- statements

OCISIM_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!stmt) return Fail(err, 900, "ORA-00900: invalid SQL statement");
    CloseResult(s);
    FreeStmtChildren(s);
    s->stmt.reset();
    s->session = nullptr;
    s->sql.assign(reinterpret_cast<const char*>(stmt), stmt_len);
    s->executed = false;
    s->rowCount = 0;
    s->rowsFetched = 0;
    s->parseErrorOffset = 0;
    // the statement type is known from the first word, before the server sees the text
    std::string first;
    for (char c : s->sql) {
        if (std::isalpha((unsigned char)c)) first += char(std::toupper((unsigned char)c));
        else if (!first.empty()) break;
    }
    static const std::pair<const char*, StatementType> kinds[] = {
        {"SELECT", StatementType::Select}, {"WITH", StatementType::Select}, {"UPDATE", StatementType::Update},
        {"DELETE", StatementType::Delete}, {"INSERT", StatementType::Insert}, {"CREATE", StatementType::Create},
        {"DROP", StatementType::Drop}, {"ALTER", StatementType::Alter}, {"BEGIN", StatementType::Begin},
        {"DECLARE", StatementType::Declare}, {"CALL", StatementType::Call}, {"MERGE", StatementType::Merge}};
    s->stype = StatementType::Unknown;
    for (auto& [w, t] : kinds) if (first == w) s->stype = t;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                                    const OraText* key, ub4 keylen, ub4 language, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err || !stmtp) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!LiveSession(svc)) return NotLoggedOn(err);
    std::string k = key && keylen ? std::string(reinterpret_cast<const char*>(key), keylen)
                                  : std::string(reinterpret_cast<const char*>(stmt ? stmt : (const OraText*)""), stmt ? stmt_len : 0);
    auto it = svc->cache.find(k);
    if (it != svc->cache.end()) {
        Stmt* s = it->second;
        svc->cache.erase(it);
        s->inCache = false;
        FreeStmtChildren(s);
        s->executed = false;
        s->rowCount = 0;
        s->rowsFetched = 0;
        *stmtp = reinterpret_cast<OCIStmt*>(s);
        return OCI_SUCCESS;
    }
    if (!stmt) return Fail(err, 24431, OraMessage(24431));
    Stmt* s = Make<Stmt>(svc->env, OCI_HTYPE_STMT);
    sword r = OCIStmtPrepare(reinterpret_cast<OCIStmt*>(s), errhp, stmt, stmt_len, language, 0);
    if (r != OCI_SUCCESS) { DestroyStmt(s); return r; }
    s->svc = svc;
    s->cached = true;
    s->key = k;
    *stmtp = reinterpret_cast<OCIStmt*>(s);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIStmtRelease(OCIStmt* stmtp, OCIError* errhp, const OraText* key, ub4 keylen, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    SvcCtx* svc = s->svc && IsLive(s->svc) ? s->svc : nullptr;
    const ub4 kDelete = 0x0010;  // OCI_STRLS_CACHE_DELETE
    if (!s->cached || !svc || svc->cacheSize == 0 || (mode & kDelete) || !LiveSession(svc)) {
        DestroyStmt(s);
        return OCI_SUCCESS;
    }
    CloseResult(s);
    std::string k = key && keylen ? std::string(reinterpret_cast<const char*>(key), keylen) : s->key;
    s->inCache = true;
    svc->cache.emplace(k, s);
    while (svc->cache.size() > svc->cacheSize) {
        auto it = svc->cache.begin();
        Stmt* old = it->second;
        svc->cache.erase(it);
        old->inCache = false;
        DestroyStmt(old);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                                   const OCISnapshot*, OCISnapshot*, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!svc || !s || !err) return OCI_INVALID_HANDLE;
    if (s->sql.empty()) return Fail(err, 1003, OraMessage(1003));
    return DoExecute(svc, s, err, iters, rowoff, mode);
}

OCISIM_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT) return Fail(err, 24391, OraMessage(24391));
    return FetchRows(s, err, nrows, OCI_FETCH_NEXT, 0);
}

OCISIM_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    return FetchRows(s, err, nrows, orientation, scrollOffset);
}

OCISIM_EXPORT sword OCIParamGet(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos) {
    Error* err = CheckErr(errhp);
    if (!err || !parmdpp) return OCI_INVALID_HANDLE;
    if (htype == OCI_DTYPE_PARAM) {   // an element of a described list
        Param* list = As<Param>(hndlp, OCI_DTYPE_PARAM);
        if (!list) return OCI_INVALID_HANDLE;
        err->Clear();
        return ListParamGet(list, err, parmdpp, pos);
    }
    if (htype != OCI_HTYPE_STMT) {
        if (!Lookup(hndlp, htype)) return OCI_INVALID_HANDLE;
        return Unimplemented(err);
    }
    Stmt* s = CheckStmt(hndlp);
    if (!s) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!s->stmt) return Fail(err, 24338, OraMessage(24338));
    const auto& cols = s->stmt->Columns();
    if (pos < 1 || pos > cols.size()) return Fail(err, 24334, "ORA-24334: no descriptor for this position");
    Param* p = Make<Param>(s->env, OCI_DTYPE_PARAM);
    p->column = cols[pos - 1];
    p->owner = s;
    s->params.push_back(p);
    *parmdpp = p;
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- binds and defines

namespace {
sword NewBind(Stmt* s, OCIBind** bindp, Error* err, const std::string& name, ub4 position, dvoid* valuep, sb4 value_sz,
              ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode) {
    std::string errText;
    if (int rc = CheckBindType(dty, value_sz, errText)) return Fail(err, rc, errText);
    if (mode & OCI_DATA_AT_EXEC) return Unimplemented(err);
    Bind* b = nullptr;
    for (Bind* x : s->binds)
        if ((!name.empty() && x->name == name) || (name.empty() && x->name.empty() && x->position == position)) b = x;
    if (!b) {
        b = Make<Bind>(s->env, OCI_HTYPE_BIND);
        b->stmt = s;
        s->binds.push_back(b);
    }
    b->name = name;
    b->position = position;
    b->valuep = valuep;
    b->valueSize = value_sz;
    b->dty = dty;
    b->indp = indp;
    b->alenp = alenp;
    b->rcodep = rcodep;
    b->maxarr = maxarr_len;
    b->curelep = curelep;
    b->valueSkip = 0;
    b->indSkip = sizeof(sb2);
    b->alenSkip = sizeof(ub2);
    b->rcodeSkip = sizeof(ub2);
    if (bindp) *bindp = reinterpret_cast<OCIBind*>(b);
    return OCI_SUCCESS;
}
} // namespace

OCISIM_EXPORT sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, dvoid* valuep, sb4 value_sz,
                                 ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err || !bindp) return OCI_INVALID_HANDLE;
    err->Clear();
    if (position < 1 || position > ScanPlaceholders(s->sql).size()) return Fail(err, 1036, OraMessage(1036));
    return NewBind(s, bindp, err, "", position, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, curelep, mode);
}

OCISIM_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                                  dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                                  ub4* curelep, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err || !bindp) return OCI_INVALID_HANDLE;
    err->Clear();
    std::string name = TextArg(placeholder, placeholder ? placeh_len : 0);
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    else name = Upper(name);
    auto names = ScanPlaceholders(s->sql);
    if (name.empty() || std::find(names.begin(), names.end(), name) == names.end()) return Fail(err, 1036, OraMessage(1036));
    return NewBind(s, bindp, err, name, 0, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, curelep, mode);
}

OCISIM_EXPORT sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip) {
    Bind* b = As<Bind>(bindp, OCI_HTYPE_BIND);
    Error* err = CheckErr(errhp);
    if (!b || !err) return OCI_INVALID_HANDLE;
    b->valueSkip = pvskip;
    b->indSkip = indskip;
    b->alenSkip = alskip;
    b->rcodeSkip = rcskip;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, dvoid* valuep, sb4 value_sz,
                                   ub2 dty, dvoid* indp, ub2* rlenp, ub2* rcodep, ub4 mode) {
    Stmt* s = CheckStmt(stmtp);
    Error* err = CheckErr(errhp);
    if (!s || !err || !defnp) return OCI_INVALID_HANDLE;
    err->Clear();
    if (position < 1) return Fail(err, 1007, OraMessage(1007));
    if (s->stmt && position > s->stmt->Columns().size()) return Fail(err, 1007, OraMessage(1007));
    if (!(mode & OCI_DYNAMIC_FETCH)) {
        std::string errText;
        if (int rc = CheckBindType(dty, value_sz, errText)) return Fail(err, rc, errText);
        if (!valuep && value_sz > 0) return Fail(err, 21560, "ORA-21560: argument 5 is null, invalid, or out of range");
    }
    if (s->defines.size() <= position) s->defines.resize(position + 1, nullptr);
    Define* d = s->defines[position];
    if (!d) {
        d = Make<Define>(s->env, OCI_HTYPE_DEFINE);
        d->stmt = s;
        s->defines[position] = d;
    }
    d->position = position;
    d->valuep = valuep;
    d->valueSize = value_sz;
    d->dty = dty;
    d->indp = indp;
    d->rlenp = rlenp;
    d->rcodep = rcodep;
    d->mode = mode;
    d->valueSkip = 0;
    d->indSkip = sizeof(sb2);
    d->rlenSkip = sizeof(ub2);
    d->rcodeSkip = sizeof(ub2);
    d->callback = nullptr;
    *defnp = reinterpret_cast<OCIDefine*>(d);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip) {
    Define* d = As<Define>(defnp, OCI_HTYPE_DEFINE);
    Error* err = CheckErr(errhp);
    if (!d || !err) return OCI_INVALID_HANDLE;
    d->valueSkip = pvskip;
    d->indSkip = indskip;
    d->rlenSkip = rlskip;
    d->rcodeSkip = rcskip;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineDynamic(OCIDefine* defnp, OCIError* errhp, dvoid* octxp, OCICallbackDefine ocbfp) {
    Define* d = As<Define>(defnp, OCI_HTYPE_DEFINE);
    Error* err = CheckErr(errhp);
    if (!d || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!(d->mode & OCI_DYNAMIC_FETCH)) return Fail(err, 24305, "ORA-24305: bad bind or define context");
    d->cbctx = octxp;
    d->callback = ocbfp;
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- transactions and breaks

OCISIM_EXPORT sword OCITransStart(OCISvcCtx* svchp, OCIError* errhp, uword timeout, ub4 flags) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Session* session = LiveSession(svc);
    if (!session) return NotLoggedOn(err);
    if (flags & OCI_TRANS_TWOPHASE) return Unimplemented(err);
    try {
        if (session->InTransaction()) return Fail(err, 1453, "ORA-01453: SET TRANSACTION must be first statement of transaction");
        if (flags & (OCI_TRANS_READONLY | OCI_TRANS_SERIALIZABLE)) {
            auto st = session->Prepare(flags & OCI_TRANS_READONLY ? "SET TRANSACTION READ ONLY"
                                                                  : "SET TRANSACTION ISOLATION LEVEL SERIALIZABLE");
            st->Execute({});
        }
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Session* session = LiveSession(svc);
    if (!session) return NotLoggedOn(err);
    SessionLock lock(svc->session, svc->env);
    try { session->Commit(); } catch (const EngineError& e) { return FailEngine(err, e); }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    Session* session = LiveSession(svc);
    if (!session) return NotLoggedOn(err);
    SessionLock lock(svc->session, svc->env);
    try { session->Rollback(); } catch (const EngineError& e) { return FailEngine(err, e); }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIBreak(dvoid* hndlp, OCIError* errhp) {
    Error* err = CheckErr(errhp);
    if (!err) return OCI_INVALID_HANDLE;
    Server* srv = As<Server>(hndlp, OCI_HTYPE_SERVER);
    Session* target = nullptr;
    if (SvcCtx* svc = As<SvcCtx>(hndlp, OCI_HTYPE_SVCCTX)) {
        target = LiveSession(svc);
        srv = svc->server && IsLive(svc->server) ? svc->server : nullptr;
    } else if (srv) {
        target = srv->running.load();
    } else {
        return OCI_INVALID_HANDLE;
    }
    // a break that finds no call running is discarded, as Oracle does
    if (!target || !srv || srv->running.load() != target) return OCI_SUCCESS;
    target->Interrupt();
    return OCI_SUCCESS;
}

// ---------------------------------------------------------------- session pools

OCISIM_EXPORT sword OCISessionPoolCreate(OCIEnv* envhp, OCIError* errhp, OCISPool* spoolhp, OraText** poolName, ub4* poolNameLen,
                                         const OraText* connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax, ub4 sessIncr,
                                         OraText* userid, ub4 useridLen, OraText* password, ub4 passwordLen, ub4 mode) {
    Env* env = As<Env>(envhp, OCI_HTYPE_ENV);
    Pool* p = As<Pool>(spoolhp, OCI_HTYPE_SPOOL);
    Error* err = CheckErr(errhp);
    if (!env || !p || !err || !poolName || !poolNameLen) return OCI_INVALID_HANDLE;
    err->Clear();
    if (p->created) return Fail(err, 24400, "ORA-24400: error occured while creating connections in the pool");
    if (sessMax == 0 || sessMin > sessMax) return Fail(err, 24399, OraMessage(24399));
    try {
        p->connect = TextArg(connStr, sb4(connStrLen));
        p->db = OpenDatabase(p->connect, p->directory);
        p->user = TextArg(userid, sb4(useridLen));
        p->password = TextArg(password, sb4(passwordLen));
        p->min = sessMin;
        p->max = sessMax;
        p->incr = sessIncr ? sessIncr : 1;
        for (ub4 i = 0; i < sessMin; ++i) p->idle.push_back(p->db->Logon(p->user, p->password));
        // a pool without open sessions still checks its credentials now, not at the first get
        if (sessMin == 0 && !p->user.empty()) p->db->Logon(p->user, p->password).reset();
    } catch (const EngineError& e) {
        p->idle.clear();
        p->db.reset();
        return FailEngine(err, e);
    }
    static std::atomic<int> counter{0};
    p->name = "OCISIM_POOL_" + std::to_string(++counter);
    p->created = true;
    {
        std::lock_guard<std::mutex> g(PoolMutex());
        Pools()[p->name] = p;
    }
    *poolName = reinterpret_cast<OraText*>(p->name.data());
    *poolNameLen = ub4(p->name.size());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCISessionPoolDestroy(OCISPool* spoolhp, OCIError* errhp, ub4 mode) {
    Pool* p = As<Pool>(spoolhp, OCI_HTYPE_SPOOL);
    Error* err = CheckErr(errhp);
    if (!p || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    std::lock_guard<std::mutex> g(p->mutex);
    if (!p->created) return Fail(err, 24422, OraMessage(24422));
    if (p->busy > 0 && !(mode & OCI_SPD_FORCE)) return Fail(err, 24422, OraMessage(24422));
    p->idle.clear();
    p->created = false;
    UnregisterPool(p);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCISessionGet(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, OCIAuthInfo* authhp, OraText* poolName,
                                  ub4 poolName_len, const OraText* tagInfo, ub4 tagInfo_len, OraText** retTagInfo,
                                  ub4* retTagInfo_len, boolean* found, ub4 mode) {
    Env* env = As<Env>(envhp, OCI_HTYPE_ENV);
    Error* err = CheckErr(errhp);
    if (!env || !err || !svchp) return OCI_INVALID_HANDLE;
    SessionH* auth = authhp ? As<SessionH>(authhp, OCI_HTYPE_AUTHINFO) : nullptr;
    if (authhp && !auth) return OCI_INVALID_HANDLE;
    err->Clear();
    if (found) *found = 0;
    if (retTagInfo) *retTagInfo = nullptr;
    if (retTagInfo_len) *retTagInfo_len = 0;
    std::string name = TextArg(poolName, sb4(poolName_len));
    try {
        if (!(mode & OCI_SESSGET_SPOOL)) {
            // no pool: a standalone session on the named database
            std::string dir;
            auto db = OpenDatabase(name, dir);
            auto session = db->Logon(auth ? auth->user : "", auth ? auth->password : "");
            SvcCtx* svc = WrapSession(env, db, std::move(session), dir);
            *svchp = reinterpret_cast<OCISvcCtx*>(svc);
            return OCI_SUCCESS;
        }
        Pool* p = nullptr;
        {
            std::lock_guard<std::mutex> g(PoolMutex());
            auto it = Pools().find(name);
            if (it != Pools().end()) p = it->second;
        }
        if (!p) return Fail(err, 24418, "ORA-24418: Cannot open further sessions.");
        std::unique_ptr<Session> session;
        std::string user = auth && !auth->user.empty() ? auth->user : p->user;
        std::string pw = auth && !auth->user.empty() ? auth->password : p->password;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(p->timeout ? p->timeout : 30);
        for (;;) {
            std::unique_lock<std::mutex> g(p->mutex);
            if (!p->idle.empty() && user == p->user) {
                session = std::move(p->idle.back());
                p->idle.pop_back();
                ++p->busy;
                if (found) *found = 1;
                break;
            }
            if (p->busy + p->idle.size() < p->max || p->getMode == OCI_SPOOL_ATTRVAL_FORCEGET) {
                ++p->busy;
                g.unlock();
                try {
                    session = p->db->Logon(user, pw);
                } catch (...) {
                    std::lock_guard<std::mutex> g2(p->mutex);
                    --p->busy;
                    throw;
                }
                break;
            }
            if (p->getMode == OCI_SPOOL_ATTRVAL_NOWAIT) return Fail(err, 24496, OraMessage(24496));
            g.unlock();
            if (std::chrono::steady_clock::now() > deadline) return Fail(err, 24496, OraMessage(24496));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        SvcCtx* svc = WrapSession(env, p->db, std::move(session), p->directory);
        svc->pool = p;
        svc->session->user = user;
        svc->cacheSize = p->stmtCacheSize;
        *svchp = reinterpret_cast<OCISvcCtx*>(svc);
    } catch (const EngineError& e) {
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCISessionRelease(OCISvcCtx* svchp, OCIError* errhp, OraText* tag, ub4 tag_len, ub4 mode) {
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error* err = CheckErr(errhp);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!svc->ownsHandles) return Fail(err, 24327, "ORA-24327: need explicit attach before authenticating a user");
    Pool* p = svc->pool && IsLive(svc->pool) ? svc->pool : nullptr;
    if (p && svc->session && svc->session->session) {
        std::unique_ptr<Session> s = std::move(svc->session->session);
        try { s->Rollback(); } catch (...) { mode |= OCI_SESSRLS_DROPSESS; }
        std::lock_guard<std::mutex> g(p->mutex);
        if (p->busy) --p->busy;
        if (!(mode & OCI_SESSRLS_DROPSESS) && p->created && svc->session->user == p->user) p->idle.push_back(std::move(s));
    }
    svc->pool = nullptr;
    FreeWrapped(svc);
    return OCI_SUCCESS;
}

namespace ocisim::client {
sword ParseNow(Stmt* s, SvcCtx* svc, Error* err) { return EnsurePrepared(s, svc, err); }
Session* SessionOf(SvcCtx* svc) { return LiveSession(svc); }
} // namespace ocisim::client
