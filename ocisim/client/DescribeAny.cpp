// OCIDescribeAny of schema objects by name: tables and views with their column lists, synonyms
// with what they stand for, sequences. The object is found as the database resolves a name (the
// user's own objects, then public synonyms) and its columns are described as a query of it is.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Describe.h"
#include "ocisim/client/internal/Internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace {

Param* NewParam(Describe* d, ub1 ptype) {
    Param* p = new Param();
    p->type = OCI_DTYPE_PARAM;
    p->env = d->env;
    p->ptype = ptype;
    p->owner = d;
    Register(p);
    if (d->env) {
        std::lock_guard<std::recursive_mutex> g(d->env->mutex);
        d->env->children.push_back(p);
    }
    d->made.push_back(p);
    return p;
}

void Drop(Param* p) {
    if (!IsLive(p)) return;
    if (p->env) {
        std::lock_guard<std::recursive_mutex> g(p->env->mutex);
        auto& c = p->env->children;
        c.erase(std::remove(c.begin(), c.end(), p), c.end());
    }
    Unregister(p);
}

// "SCOTT.EMP", "emp", "\"Mixed\"": schema (empty when none) and name as the dictionary keeps them.
bool SplitName(const std::string& text, std::string& schema, std::string& name) {
    std::vector<std::string> parts;
    std::string cur;
    bool quoted = false, wasQuoted = false;
    auto finish = [&]() {
        if (!wasQuoted) for (auto& c : cur) c = char(std::toupper((unsigned char)c));
        parts.push_back(cur);
        cur.clear();
        wasQuoted = false;
    };
    for (char c : text) {
        if (c == '"') { quoted = !quoted; wasQuoted = true; continue; }
        if (c == '.' && !quoted) { finish(); continue; }
        if (!quoted && std::isspace((unsigned char)c)) continue;
        cur += c;
    }
    finish();
    if (quoted || parts.size() > 2) return false;
    for (const auto& p : parts) if (p.empty() || p.size() > 30) return false;
    if (parts.size() == 2) { schema = parts[0]; name = parts[1]; }
    else { schema.clear(); name = parts[0]; }
    return true;
}

// The rows of a dictionary query with text binds.
std::vector<std::vector<std::string>> Rows(Session& s, const std::string& sql, const std::vector<std::string>& binds) {
    auto st = s.Prepare(sql);
    BindValues b;
    b.slots.resize(st->BindNames().size());
    for (size_t k = 0; k < b.slots.size() && k < binds.size(); ++k) b.slots[k].values.push_back(ValueRef::MakeText(binds[k]));
    st->Execute(b);
    std::vector<std::vector<std::string>> out;
    while (st->Fetch()) {
        std::vector<std::string> row;
        for (size_t c = 0; c < st->Columns().size(); ++c) {
            ValueRef v = st->Column(c);
            row.push_back(v.kind == ValueRef::Text ? std::string(v.p, v.n) : std::string());
        }
        out.push_back(std::move(row));
    }
    return out;
}

ub1 PtypeOf(const std::string& objectType) {
    if (objectType == "TABLE") return OCI_PTYPE_TABLE;
    if (objectType == "VIEW") return OCI_PTYPE_VIEW;
    if (objectType == "SYNONYM") return OCI_PTYPE_SYN;
    if (objectType == "SEQUENCE") return OCI_PTYPE_SEQ;
    if (objectType == "PROCEDURE") return OCI_PTYPE_PROC;
    if (objectType == "FUNCTION") return OCI_PTYPE_FUNC;
    if (objectType == "PACKAGE") return OCI_PTYPE_PKG;
    if (objectType == "TYPE") return OCI_PTYPE_TYPE;
    return OCI_PTYPE_UNK;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) { if (c == '"') out += '"'; out += c; }
    return out + "\"";
}

} // namespace

namespace ocisim::client {

Describe* NewDescribe(Env* env) {
    Describe* d = new Describe();
    d->type = OCI_HTYPE_DESCRIBE;
    d->env = env;
    Register(d);
    if (env) {
        std::lock_guard<std::recursive_mutex> g(env->mutex);
        env->children.push_back(d);
    }
    return d;
}

void ReleaseDescribe(Describe* d) {
    for (Param* p : d->made) Drop(p);
    d->made.clear();
    d->root = nullptr;
}

bool DescribedParamAttr(const Param& p, ub4 attr, void* out, ub4* sizep, sword& status) {
    auto scalar = [&](auto v) {
        if (out) std::memcpy(out, &v, sizeof v);
        if (sizep) *sizep = sizeof v;
        status = OCI_SUCCESS;
        return true;
    };
    auto text = [&](const std::string& s) {
        if (out) *static_cast<const char**>(out) = s.c_str();
        if (sizep) *sizep = ub4(s.size());
        status = OCI_SUCCESS;
        return true;
    };
    if (attr == OCI_ATTR_PTYPE) return scalar(ub1(p.ptype ? p.ptype : OCI_PTYPE_COL));
    if (p.ptype == 0 || p.ptype == OCI_PTYPE_COL) return false;   // column attributes as for select lists
    switch (attr) {
    case OCI_ATTR_OBJ_NAME: return text(p.objName);
    case OCI_ATTR_OBJ_SCHEMA: return text(p.objSchema);
    case OCI_ATTR_NUM_COLS:
        if (!p.list) return false;
        return scalar(ub2(p.list->items.size()));
    case OCI_ATTR_LIST_COLUMNS:
        if (!p.list) return false;
        if (out) *static_cast<void**>(out) = p.list;
        if (sizep) *sizep = sizeof(void*);
        status = OCI_SUCCESS;
        return true;
    case OCI_ATTR_NUM_PARAMS:
        if (p.ptype != OCI_PTYPE_LIST) return false;
        return scalar(ub2(p.items.size()));
    case OCI_ATTR_LTYPE:
        if (p.ptype != OCI_PTYPE_LIST) return false;
        return scalar(ub2(OCI_LTYPE_COLUMN));
    case OCI_ATTR_NAME:
        return text(p.ptype == OCI_PTYPE_SYN ? p.linkName : p.objName);
    case OCI_ATTR_SCHEMA_NAME:
        return text(p.ptype == OCI_PTYPE_SYN ? p.linkSchema : p.objSchema);
    case OCI_ATTR_LINK:
        if (p.ptype != OCI_PTYPE_SYN) return false;
        return text(p.dbLink);
    default: return false;
    }
}

sword ListParamGet(Param* list, Error* err, void** parmdpp, ub4 pos) {
    if (list->ptype != OCI_PTYPE_LIST) return Fail(err, 24334, "ORA-24334: no descriptor for this position");
    if (pos < 1 || pos > list->items.size()) return Fail(err, 24334, "ORA-24334: no descriptor for this position");
    *parmdpp = list->items[pos - 1];
    return OCI_SUCCESS;
}

} // namespace ocisim::client

OCISIM_EXPORT sword OCIDescribeAny(OCISvcCtx* svchp, OCIError* errhp, dvoid* objptr, ub4 objnm_len, ub1 objptr_typ,
                                   ub1 info_level, ub1 objtyp, OCIDescribe* dschp) {
    (void)info_level;
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    SvcCtx* svc = As<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Describe* d = As<Describe>(dschp, OCI_HTYPE_DESCRIBE);
    if (!err || !svc || !d) return OCI_INVALID_HANDLE;
    err->Clear();
    if (objptr_typ != OCI_OTYPE_NAME) return Unimplemented(err);   // REF and pointer describes need object types
    if (!objptr || objnm_len == 0) return Fail(err, 24801, "ORA-24801: illegal parameter value in OCI lob function");
    Session* s = SessionOf(svc);
    if (!s) return Fail(err, 3114, OraMessage(3114));
    std::unique_lock<std::mutex> lock;
    if (svc->env && (svc->env->mode & OCI_THREADED) && !(svc->env->mode & OCI_NO_MUTEX))
        lock = std::unique_lock<std::mutex>(svc->session->callMutex);
    std::string text(static_cast<const char*>(objptr), objnm_len), schema, name;
    if (!SplitName(text, schema, name)) return Fail(err, 4043, "ORA-04043: object " + text + " does not exist");
    ReleaseDescribe(d);
    try {
        // the user's own object (or the named schema's), then a public synonym
        const char* find = "SELECT object_type FROM all_objects WHERE owner = :o AND object_name = :n AND object_type IN "
                           "('TABLE','VIEW','SYNONYM','SEQUENCE','PROCEDURE','FUNCTION','PACKAGE','TYPE')";
        std::string owner = schema.empty() ? s->UserName() : schema;
        auto found = Rows(*s, find, {owner, name});
        if (found.empty() && schema.empty()) {
            owner = "PUBLIC";
            found = Rows(*s, find, {owner, name});
        }
        if (found.empty()) return Fail(err, 4043, "ORA-04043: object " + text + " does not exist");
        ub1 ptype = PtypeOf(found[0][0]);
        if (objtyp != OCI_PTYPE_UNK && objtyp != ptype) return Fail(err, 4043, "ORA-04043: object " + text + " does not exist");
        Param* root = NewParam(d, ptype);
        root->objSchema = owner;
        root->objName = name;
        if (ptype == OCI_PTYPE_TABLE || ptype == OCI_PTYPE_VIEW) {
            auto st = s->Prepare("SELECT * FROM " + Quoted(owner) + "." + Quoted(name));
            Param* list = NewParam(d, OCI_PTYPE_LIST);
            for (const ColumnInfo& c : st->Columns()) {
                Param* col = NewParam(d, OCI_PTYPE_COL);
                col->column = c;
                list->items.push_back(col);
            }
            root->list = list;
        } else if (ptype == OCI_PTYPE_SYN) {
            auto to = Rows(*s, "SELECT table_owner, table_name, db_link FROM all_synonyms WHERE owner = :o AND synonym_name = :n",
                           {owner, name});
            if (!to.empty()) {
                root->linkSchema = to[0][0];
                root->linkName = to[0][1];
                root->dbLink = to[0][2];
            }
        } else if (ptype != OCI_PTYPE_SEQ) {
            // stored units and types are described once their arguments and attributes are in the catalog
            ReleaseDescribe(d);
            return Unimplemented(err);
        }
        d->root = root;
    } catch (const EngineError& e) {
        ReleaseDescribe(d);
        return FailEngine(err, e);
    }
    return OCI_SUCCESS;
}
