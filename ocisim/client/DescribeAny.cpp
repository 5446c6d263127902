// OCIDescribeAny of schema objects by name: tables and views with their column lists, synonyms
// with what they stand for, sequences, procedures, functions and packages with their argument
// lists, and object and collection types with their attributes, elements and methods. The object
// is found as the database resolves a name (the user's own objects, then public synonyms); columns
// are described as a query of them is, stored units and types from the dictionary views
// (ALL_ARGUMENTS, ALL_TYPES, ALL_TYPE_ATTRS, ALL_TYPE_METHODS, ALL_COLL_TYPES). A type is also
// described by the REF to its descriptor that a describe handed out (OCI_ATTR_REF_TDO).
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Describe.h"
#include "ocisim/client/internal/Internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace {

// The attributes of the parameters that describe stored units and types, kept beside the
// parameters and dropped with them.
struct Attr {
    enum Kind : uint8_t { U1, S1, U2, U4, Text, Ptr } kind = U1;
    int64_t n = 0;
    std::string s;
    void* p = nullptr;
};
struct Extra {
    std::map<ub4, Attr> attrs;
    bool zeroBased = false;        // an argument list whose position 0 is the function's result
    ub2 ltype = OCI_LTYPE_COLUMN;  // OCI_ATTR_LTYPE of a list
};
std::mutex& ExtraMutex() { static std::mutex m; return m; }
std::unordered_map<const Param*, Extra>& Extras() { static std::unordered_map<const Param*, Extra> m; return m; }

// The REF to a type descriptor handed out as OCI_ATTR_REF_TDO: the type's schema and name.
constexpr ub4 kTypeRefType = 0x7EF0;
struct TypeRef : Param {
    std::string schema, name;
};

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
    std::lock_guard<std::mutex> g(ExtraMutex());
    Extras().erase(p);
    return p;
}

void Drop(Param* p) {
    {
        std::lock_guard<std::mutex> g(ExtraMutex());
        Extras().erase(p);
    }
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
            if (v.kind == ValueRef::Text || v.kind == ValueRef::Decimal) row.emplace_back(v.p, v.n);
            else if (v.kind == ValueRef::Integer) row.push_back(std::to_string(v.i));
            else if (v.kind == ValueRef::Double) row.push_back(std::to_string(static_cast<int64_t>(v.d)));
            else row.emplace_back();
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

// ---- stored units and types

Extra& X(Param* p) {
    std::lock_guard<std::mutex> g(ExtraMutex());
    return Extras()[p];
}
void SetU1(Param* p, ub4 a, int64_t v) { Attr x; x.kind = Attr::U1; x.n = v; X(p).attrs[a] = x; }
void SetS1(Param* p, ub4 a, int64_t v) { Attr x; x.kind = Attr::S1; x.n = v; X(p).attrs[a] = x; }
void SetU2(Param* p, ub4 a, int64_t v) { Attr x; x.kind = Attr::U2; x.n = v; X(p).attrs[a] = x; }
void SetU4(Param* p, ub4 a, int64_t v) { Attr x; x.kind = Attr::U4; x.n = v; X(p).attrs[a] = x; }
void SetText(Param* p, ub4 a, const std::string& v) { Attr x; x.kind = Attr::Text; x.s = v; X(p).attrs[a] = x; }
void SetPtr(Param* p, ub4 a, void* v) { Attr x; x.kind = Attr::Ptr; x.p = v; X(p).attrs[a] = x; }

int Num(const std::string& s) { return s.empty() ? 0 : std::atoi(s.c_str()); }

TypeRef* NewTypeRef(Describe* d, const std::string& schema, const std::string& name) {
    auto* r = new TypeRef();
    r->type = kTypeRefType;
    r->env = d->env;
    r->owner = d;
    r->schema = schema;
    r->name = name;
    Register(r);
    if (d->env) {
        std::lock_guard<std::recursive_mutex> g(d->env->mutex);
        d->env->children.push_back(r);
    }
    d->made.push_back(r);
    return r;
}

Param* NewList(Describe* d, ub2 ltype, bool zeroBased = false) {
    Param* l = NewParam(d, OCI_PTYPE_LIST);
    Extra& x = X(l);
    x.ltype = ltype;
    x.zeroBased = zeroBased;
    return l;
}

// What a describe needs to know about the session's database while it runs.
struct Ctx {
    Session& s;
    Describe* d;
    ub2 charsetId = 873;
    std::map<std::string, std::string> typecodes;   // "OWNER.NAME" -> ALL_TYPES.TYPECODE
    // OBJECT, COLLECTION, or "" when OWNER.NAME is no type
    const std::string& TypeCode(const std::string& owner, const std::string& name) {
        std::string key = owner + "." + name;
        auto it = typecodes.find(key);
        if (it != typecodes.end()) return it->second;
        auto r = Rows(s, "SELECT typecode FROM all_types WHERE owner = :o AND type_name = :n", {owner, name});
        return typecodes[key] = r.empty() ? std::string() : r[0][0];
    }
};

// The data type, type code and character set form of a dictionary type name ("VARCHAR2",
// "PL/SQL BOOLEAN", a user type ...), as OCI reports them.
struct TypeCodes { ub2 dty = 0, typecode = 0; ub1 csform = 0; ub2 size = 0; };
TypeCodes CodesOf(Ctx& c, const std::string& type, const std::string& typeOwner, const std::string& typeName, int length) {
    TypeCodes t;
    auto is = [&](const char* n) { return type == n; };
    auto starts = [&](const char* n) { return type.rfind(n, 0) == 0; };
    if (is("NUMBER") || is("INTEGER") || is("DECIMAL") || is("SMALLINT")) { t.dty = SQLT_NUM; t.typecode = OCI_TYPECODE_NUMBER; t.size = 22; }
    else if (is("FLOAT") || is("REAL") || is("DOUBLE PRECISION")) { t.dty = SQLT_NUM; t.typecode = OCI_TYPECODE_FLOAT; t.size = 22; }
    else if (is("BINARY_INTEGER") || is("PLS_INTEGER") || is("NATURAL") || is("POSITIVE")) { t.dty = SQLT_INT; t.typecode = OCI_TYPECODE_INTEGER; t.size = 22; }
    else if (is("VARCHAR2") || is("VARCHAR")) { t.dty = SQLT_CHR; t.typecode = OCI_TYPECODE_VARCHAR2; t.csform = SQLCS_IMPLICIT; }
    else if (is("NVARCHAR2")) { t.dty = SQLT_CHR; t.typecode = OCI_TYPECODE_NVARCHAR2; t.csform = SQLCS_NCHAR; }
    else if (is("CHAR")) { t.dty = SQLT_AFC; t.typecode = OCI_TYPECODE_CHAR; t.csform = SQLCS_IMPLICIT; }
    else if (is("NCHAR")) { t.dty = SQLT_AFC; t.typecode = OCI_TYPECODE_NCHAR; t.csform = SQLCS_NCHAR; }
    else if (is("DATE")) { t.dty = SQLT_DAT; t.typecode = OCI_TYPECODE_DATE; t.size = 7; }
    else if (is("RAW")) { t.dty = SQLT_BIN; t.typecode = OCI_TYPECODE_RAW; }
    else if (is("LONG")) { t.dty = SQLT_LNG; t.typecode = SQLT_LNG; t.csform = SQLCS_IMPLICIT; }
    else if (is("LONG RAW")) { t.dty = SQLT_LBI; t.typecode = SQLT_LBI; }
    else if (is("CLOB")) { t.dty = SQLT_CLOB; t.typecode = OCI_TYPECODE_CLOB; t.csform = SQLCS_IMPLICIT; t.size = 4000; }
    else if (is("NCLOB")) { t.dty = SQLT_CLOB; t.typecode = OCI_TYPECODE_NCLOB; t.csform = SQLCS_NCHAR; t.size = 4000; }
    else if (is("BLOB")) { t.dty = SQLT_BLOB; t.typecode = OCI_TYPECODE_BLOB; t.size = 4000; }
    else if (is("BFILE")) { t.dty = SQLT_BFILEE; t.typecode = OCI_TYPECODE_BFILE; t.size = 530; }
    else if (is("ROWID") || is("UROWID")) { t.dty = SQLT_RID; t.typecode = OCI_TYPECODE_UROWID; }
    else if (is("REF CURSOR")) { t.dty = SQLT_CUR; t.typecode = SQLT_CUR; }
    else if (is("PL/SQL BOOLEAN") || is("BOOLEAN")) { t.dty = SQLT_BOL; t.typecode = OCI_TYPECODE_BOOLEAN; }
    else if (is("PL/SQL RECORD")) { t.dty = 250; t.typecode = OCI_TYPECODE_RECORD; }
    else if (is("PL/SQL TABLE")) { t.dty = 251; t.typecode = OCI_TYPECODE_ITABLE; }
    else if (is("REF")) { t.dty = SQLT_REF; t.typecode = OCI_TYPECODE_REF; }
    else if (starts("TIMESTAMP")) {
        bool tz = type.find("LOCAL TIME ZONE") != std::string::npos, z = !tz && type.find("TIME ZONE") != std::string::npos;
        t.typecode = t.dty = tz ? OCI_TYPECODE_TIMESTAMP_LTZ : z ? OCI_TYPECODE_TIMESTAMP_TZ : OCI_TYPECODE_TIMESTAMP;
        t.size = z ? 13 : 11;
    } else if (starts("INTERVAL")) {
        t.typecode = t.dty = type.find("MONTH") != std::string::npos ? OCI_TYPECODE_INTERVAL_YM : OCI_TYPECODE_INTERVAL_DS;
        t.size = type.find("MONTH") != std::string::npos ? 5 : 11;
    } else if (!typeName.empty()) {
        // an object or collection type (ALL_ARGUMENTS says OBJECT, TABLE or VARRAY; ALL_TYPE_ATTRS the type's name)
        t.dty = SQLT_NTY;
        std::string code = c.TypeCode(typeOwner, typeName);
        t.typecode = code == "COLLECTION" || is("TABLE") || is("VARRAY") ? OCI_TYPECODE_NAMEDCOLLECTION : OCI_TYPECODE_OBJECT;
    }
    if (t.csform) t.size = ub2(length > 0 ? length : t.size);
    else if ((t.dty == SQLT_BIN) && length > 0) t.size = ub2(length);
    return t;
}

// The attributes a described argument, type attribute or collection element shares: name, data
// type, type code, size, precision, scale, character set and the type it names.
// `unconstrainedScale` is what an unconstrained NUMBER reports as scale (-127 for type attributes).
void DescribeValue(Ctx& c, Param* p, const std::string& name, const std::string& type, const std::string& typeOwner,
                   const std::string& typeName, int length, int precision, int scale, int unconstrainedScale) {
    TypeCodes t = CodesOf(c, type, typeOwner, typeName, length);
    SetText(p, OCI_ATTR_NAME, name);
    SetU2(p, OCI_ATTR_DATA_TYPE, t.dty);
    SetU2(p, OCI_ATTR_TYPECODE, t.typecode);
    SetU2(p, OCI_ATTR_DATA_SIZE, t.size);
    if (t.typecode == OCI_TYPECODE_FLOAT) { SetU1(p, OCI_ATTR_PRECISION, precision ? precision : 126); SetS1(p, OCI_ATTR_SCALE, -127); }
    else if (t.typecode == OCI_TYPECODE_NUMBER && precision == 0) { SetU1(p, OCI_ATTR_PRECISION, 0); SetS1(p, OCI_ATTR_SCALE, unconstrainedScale); }
    else if (t.dty == SQLT_TIMESTAMP || t.dty == SQLT_TIMESTAMP_TZ || t.dty == SQLT_TIMESTAMP_LTZ) {
        SetU1(p, OCI_ATTR_PRECISION, 0);
        SetS1(p, OCI_ATTR_SCALE, precision ? precision : 6);
        SetU1(p, OCI_ATTR_FSPRECISION, precision ? precision : 6);
    } else { SetU1(p, OCI_ATTR_PRECISION, precision); SetS1(p, OCI_ATTR_SCALE, scale); }
    SetU1(p, OCI_ATTR_CHARSET_FORM, t.csform);
    SetU2(p, OCI_ATTR_CHARSET_ID, t.csform == SQLCS_NCHAR ? 2000 : t.csform ? c.charsetId : 0);
    bool named = t.dty == SQLT_NTY || t.dty == SQLT_REF;
    SetText(p, OCI_ATTR_TYPE_NAME, named ? typeName : t.dty == SQLT_BOL || t.dty >= 250 ? std::string() : type);
    SetText(p, OCI_ATTR_SCHEMA_NAME, named ? typeOwner : std::string());
    SetPtr(p, OCI_ATTR_REF_TDO, named && !typeName.empty() ? NewTypeRef(c.d, typeOwner, typeName) : nullptr);
}

// One ALL_ARGUMENTS row: OBJECT_NAME, PACKAGE_NAME, OVERLOAD, ARGUMENT_NAME, POSITION, SEQUENCE,
// DATA_LEVEL, DATA_TYPE, DEFAULTED, IN_OUT, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, TYPE_OWNER, TYPE_NAME.
using Row = std::vector<std::string>;
const char* kArgumentColumns = "object_name, package_name, overload, argument_name, position, sequence, data_level, data_type, "
                               "defaulted, in_out, data_length, data_precision, data_scale, type_owner, type_name";

Param* DescribeArgument(Ctx& c, const Row& r, ub1 ptype, int position) {
    Param* a = NewParam(c.d, ptype);
    DescribeValue(c, a, r[3], r[7], r[13], r[14], Num(r[10]), Num(r[11]), Num(r[12]), 0);
    SetU2(a, OCI_ATTR_POSITION, position);
    SetU2(a, OCI_ATTR_LEVEL, Num(r[6]));
    SetU1(a, OCI_ATTR_HAS_DEFAULT, r[8] == "Y");
    SetU4(a, OCI_ATTR_IOMODE, r[9] == "IN" ? OCI_TYPEPARAM_IN : r[9] == "OUT" ? OCI_TYPEPARAM_OUT : OCI_TYPEPARAM_INOUT);
    SetU1(a, OCI_ATTR_RADIX, r[7] == "NUMBER" || r[7] == "FLOAT" || r[7] == "BINARY_INTEGER" ? 10 : 0);
    SetU1(a, OCI_ATTR_IS_NULL, 1);
    SetText(a, OCI_ATTR_SUB_NAME, "");
    SetText(a, OCI_ATTR_LINK, "");
    SetPtr(a, OCI_ATTR_LIST_ARGUMENTS, nullptr);   // arguments of composite types are not broken down
    return a;
}

// The argument list of one subprogram from its ALL_ARGUMENTS rows (in SEQUENCE order); position 0
// holds a function's result. `self` adds the SELF argument of a member method of OWNER.TYPE.
Param* ArgumentList(Ctx& c, const std::vector<const Row*>& rows, bool forMethod, bool isFunction,
                    const std::string* selfOwner = nullptr, const std::string* selfType = nullptr) {
    Param* list = NewList(c.d, forMethod ? (isFunction ? OCI_LTYPE_TYPE_ARG_FUNC : OCI_LTYPE_TYPE_ARG_PROC)
                                         : (isFunction ? OCI_LTYPE_ARG_FUNC : OCI_LTYPE_ARG_PROC), isFunction);
    ub1 argType = forMethod ? OCI_PTYPE_TYPE_ARG : OCI_PTYPE_ARG;
    for (const Row* r : rows)
        if ((*r)[4] == "0") list->items.push_back(DescribeArgument(c, *r, forMethod ? OCI_PTYPE_TYPE_RESULT : OCI_PTYPE_ARG, 0));
    int position = 0;
    if (selfType) {
        Row self(15);
        self[3] = "SELF";
        self[7] = "OBJECT";
        self[8] = "N";
        self[9] = isFunction ? "IN" : "IN/OUT";
        self[13] = *selfOwner;
        self[14] = *selfType;
        list->items.push_back(DescribeArgument(c, self, argType, ++position));
    }
    for (const Row* r : rows) {
        if ((*r)[4] == "0") continue;
        if ((*r)[3].empty() && (*r)[7].empty()) continue;   // the row of a procedure without arguments
        list->items.push_back(DescribeArgument(c, *r, argType, ++position));
    }
    return list;
}

bool HasResult(const std::vector<const Row*>& rows) {
    for (const Row* r : rows) if ((*r)[4] == "0") return true;
    return false;
}

// A procedure, function or package of OWNER.
void DescribeUnit(Ctx& c, Param* root, const std::string& owner, const std::string& name, ub1 ptype) {
    auto id = Rows(c.s, "SELECT object_id FROM all_objects WHERE owner = :o AND object_name = :n AND object_type = :t",
                   {owner, name, ptype == OCI_PTYPE_PKG ? "PACKAGE" : ptype == OCI_PTYPE_FUNC ? "FUNCTION" : "PROCEDURE"});
    SetU4(root, OCI_ATTR_OBJ_ID, id.empty() ? 0 : Num(id[0][0]));
    SetU1(root, OCI_ATTR_IS_INVOKER_RIGHTS, 0);
    std::string sql = std::string("SELECT ") + kArgumentColumns + " FROM all_arguments WHERE owner = :o AND ";
    if (ptype != OCI_PTYPE_PKG) {
        auto rows = Rows(c.s, sql + "object_name = :n AND package_name IS NULL ORDER BY sequence", {owner, name});
        std::vector<const Row*> all;
        for (const auto& r : rows) all.push_back(&r);
        SetPtr(root, OCI_ATTR_LIST_ARGUMENTS, ArgumentList(c, all, false, ptype == OCI_PTYPE_FUNC));
        SetText(root, OCI_ATTR_NAME, name);
        return;
    }
    // the package's subprograms in the order it declares them, overloads apart
    auto rows = Rows(c.s, sql + "package_name = :n", {owner, name});
    std::vector<std::pair<std::string, std::string>> order;
    std::map<std::pair<std::string, std::string>, std::vector<const Row*>> by;
    for (const auto& r : rows) {
        auto key = std::make_pair(r[0], r[2]);
        if (!by.count(key)) order.push_back(key);
        by[key].push_back(&r);
    }
    Param* subs = NewList(c.d, OCI_LTYPE_SUBPRG);
    for (const auto& key : order) {
        auto& v = by[key];
        std::stable_sort(v.begin(), v.end(), [](const Row* a, const Row* b) { return Num((*a)[5]) < Num((*b)[5]); });
        bool fn = HasResult(v);
        Param* sp = NewParam(c.d, fn ? OCI_PTYPE_FUNC : OCI_PTYPE_PROC);
        sp->objSchema = owner;
        sp->objName = key.first;
        SetText(sp, OCI_ATTR_NAME, key.first);
        SetU2(sp, OCI_ATTR_OVERLOAD_ID, Num(key.second));
        SetU1(sp, OCI_ATTR_IS_INVOKER_RIGHTS, 0);
        SetPtr(sp, OCI_ATTR_LIST_ARGUMENTS, ArgumentList(c, v, false, fn));
        subs->items.push_back(sp);
    }
    SetPtr(root, OCI_ATTR_LIST_SUBPROGRAMS, subs);
}

// An object or collection type of OWNER.
void DescribeType(Ctx& c, Param* root, const std::string& owner, const std::string& name) {
    auto t = Rows(c.s, "SELECT typecode, final FROM all_types WHERE owner = :o AND type_name = :n", {owner, name});
    bool collection = !t.empty() && t[0][0] == "COLLECTION";
    SetText(root, OCI_ATTR_NAME, name);
    SetText(root, OCI_ATTR_SCHEMA_NAME, owner);
    SetU2(root, OCI_ATTR_TYPECODE, collection ? OCI_TYPECODE_NAMEDCOLLECTION : OCI_TYPECODE_OBJECT);
    SetPtr(root, OCI_ATTR_REF_TDO, NewTypeRef(c.d, owner, name));
    SetText(root, OCI_ATTR_VERSION, "$8.0");
    for (ub4 a : {OCI_ATTR_IS_INCOMPLETE_TYPE, OCI_ATTR_IS_SYSTEM_TYPE, OCI_ATTR_IS_PREDEFINED_TYPE, OCI_ATTR_IS_TRANSIENT_TYPE,
                  OCI_ATTR_IS_SYSTEM_GENERATED_TYPE, OCI_ATTR_IS_SUBTYPE, OCI_ATTR_IS_INVOKER_RIGHTS})
        SetU1(root, a, 0);
    SetU1(root, OCI_ATTR_IS_FINAL_TYPE, t.empty() || t[0][1] != "NO");
    SetU1(root, OCI_ATTR_IS_INSTANTIABLE_TYPE, 1);
    SetText(root, OCI_ATTR_SUPERTYPE_SCHEMA_NAME, "");
    SetText(root, OCI_ATTR_SUPERTYPE_NAME, "");
    SetPtr(root, OCI_ATTR_MAP_METHOD, nullptr);
    SetPtr(root, OCI_ATTR_ORDER_METHOD, nullptr);
    bool hasLob = false, hasFile = false, hasNested = false;

    Param* elem = nullptr;
    if (collection) {
        auto e = Rows(c.s, "SELECT coll_type, upper_bound, elem_type_owner, elem_type_name, length, precision, scale FROM all_coll_types "
                           "WHERE owner = :o AND type_name = :n", {owner, name});
        if (!e.empty()) {
            const Row& r = e[0];
            elem = NewParam(c.d, OCI_PTYPE_TYPE_COLL);
            bool builtin = r[2].empty();
            DescribeValue(c, elem, "", builtin ? r[3] : "", r[2], builtin ? "" : r[3], Num(r[4]), Num(r[5]), Num(r[6]), -127);
            SetU4(elem, OCI_ATTR_NUM_ELEMS, Num(r[1]));
            SetU2(root, OCI_ATTR_COLLECTION_TYPECODE, r[0] == "TABLE" ? OCI_TYPECODE_TABLE : OCI_TYPECODE_VARRAY);
        }
    } else {
        SetU2(root, OCI_ATTR_COLLECTION_TYPECODE, 0);
    }
    SetPtr(root, OCI_ATTR_COLLECTION_ELEMENT, elem);

    Param* attrs = NewList(c.d, OCI_LTYPE_TYPE_ATTR);
    if (!collection) {
        auto rows = Rows(c.s, "SELECT attr_name, attr_type_owner, attr_type_name, length, precision, scale FROM all_type_attrs "
                              "WHERE owner = :o AND type_name = :n ORDER BY attr_no", {owner, name});
        for (const auto& r : rows) {
            Param* a = NewParam(c.d, OCI_PTYPE_TYPE_ATTR);
            bool builtin = r[1].empty();
            DescribeValue(c, a, r[0], builtin ? r[2] : "", r[1], builtin ? "" : r[2], Num(r[3]), Num(r[4]), Num(r[5]), -127);
            SetU1(a, OCI_ATTR_LFPRECISION, 0);
            if (!X(a).attrs.count(OCI_ATTR_FSPRECISION)) SetU1(a, OCI_ATTR_FSPRECISION, 0);
            hasLob = hasLob || r[2] == "CLOB" || r[2] == "BLOB" || r[2] == "NCLOB";
            hasFile = hasFile || r[2] == "BFILE";
            hasNested = hasNested || (!builtin && c.TypeCode(r[1], r[2]) == "COLLECTION" &&
                                      !Rows(c.s, "SELECT 1 FROM all_coll_types WHERE owner = :o AND type_name = :n AND coll_type = 'TABLE'",
                                            {r[1], r[2]}).empty());
            attrs->items.push_back(a);
        }
    }
    SetU1(root, OCI_ATTR_HAS_LOB, hasLob);
    SetU1(root, OCI_ATTR_HAS_FILE, hasFile);
    SetU1(root, OCI_ATTR_HAS_NESTED_TABLE, hasNested);
    SetU2(root, OCI_ATTR_NUM_TYPE_ATTRS, attrs->items.size());
    SetPtr(root, OCI_ATTR_LIST_TYPE_ATTRS, attrs);

    // methods in the order the type lists them; overloads share a name and differ in OVERLOAD
    Param* methods = NewList(c.d, OCI_LTYPE_TYPE_METHOD);
    auto ms = Rows(c.s, "SELECT method_name, method_no, static, results FROM all_type_methods WHERE owner = :o AND type_name = :n "
                        "ORDER BY method_no", {owner, name});
    auto args = Rows(c.s, std::string("SELECT ") + kArgumentColumns + " FROM all_arguments WHERE owner = :o AND package_name = :n "
                          "ORDER BY sequence", {owner, name});
    std::map<std::string, int> count, seen;
    for (const auto& m : ms) ++count[m[0]];
    for (const auto& m : ms) {
        std::string overload = count[m[0]] > 1 ? std::to_string(++seen[m[0]]) : "";
        std::vector<const Row*> mine;
        for (const auto& r : args) if (r[0] == m[0] && r[2] == overload) mine.push_back(&r);
        bool fn = m[3] != "0" || HasResult(mine);
        bool member = m[2] != "YES";
        bool ctor = fn && m[0] == name;
        Param* mp = NewParam(c.d, OCI_PTYPE_TYPE_METHOD);
        mp->objSchema = owner;
        mp->objName = m[0];
        SetText(mp, OCI_ATTR_NAME, m[0]);
        SetU4(mp, OCI_ATTR_ENCAPSULATION, OCI_TYPEENCAP_PUBLIC);
        SetU1(mp, OCI_ATTR_HAS_RESULT, fn);
        SetU1(mp, OCI_ATTR_IS_CONSTRUCTOR, ctor);
        SetU1(mp, OCI_ATTR_IS_SELFISH, member && !ctor);
        for (ub4 a : {OCI_ATTR_IS_DESTRUCTOR, OCI_ATTR_IS_OPERATOR, OCI_ATTR_IS_MAP, OCI_ATTR_IS_ORDER, OCI_ATTR_IS_RNDS, OCI_ATTR_IS_RNPS,
                      OCI_ATTR_IS_WNDS, OCI_ATTR_IS_WNPS, OCI_ATTR_IS_VIRTUAL, OCI_ATTR_IS_INLINE, OCI_ATTR_IS_CONSTANT,
                      OCI_ATTR_IS_FINAL_METHOD, OCI_ATTR_IS_OVERRIDING_METHOD})
            SetU1(mp, a, 0);
        SetU1(mp, OCI_ATTR_IS_INSTANTIABLE_METHOD, 1);
        SetPtr(mp, OCI_ATTR_LIST_ARGUMENTS, ArgumentList(c, mine, true, fn, member && !ctor ? &owner : nullptr, member && !ctor ? &name : nullptr));
        methods->items.push_back(mp);
    }
    SetU2(root, OCI_ATTR_NUM_TYPE_METHODS, methods->items.size());
    SetPtr(root, OCI_ATTR_LIST_TYPE_METHODS, methods);
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

bool DescribedParamAttr(const Param& p, ub4 attr, void* out, ub4* sizep, sword& status, Error* err) {
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
    {
        // stored units, types and their parts answer exactly the attributes they were given
        std::unique_lock<std::mutex> g(ExtraMutex());
        auto it = Extras().find(&p);
        if (it != Extras().end()) {
            const Extra& x = it->second;
            if (p.ptype == OCI_PTYPE_LIST && attr == OCI_ATTR_NUM_PARAMS) return scalar(ub2(p.items.size()));
            if (p.ptype == OCI_PTYPE_LIST && attr == OCI_ATTR_LTYPE) return scalar(x.ltype);
            auto a = x.attrs.find(attr);
            if (a == x.attrs.end()) {
                if (attr == OCI_ATTR_OBJ_NAME || attr == OCI_ATTR_OBJ_SCHEMA) { g.unlock(); return text(attr == OCI_ATTR_OBJ_NAME ? p.objName : p.objSchema); }
                status = Fail(err, 24315, "ORA-24315: illegal attribute type");
                return true;
            }
            switch (a->second.kind) {
            case Attr::U1: return scalar(ub1(a->second.n));
            case Attr::S1: return scalar(sb1(a->second.n));
            case Attr::U2: return scalar(ub2(a->second.n));
            case Attr::U4: return scalar(ub4(a->second.n));
            case Attr::Text: return text(a->second.s);
            case Attr::Ptr:
                if (out) *static_cast<void**>(out) = a->second.p;
                if (sizep) *sizep = sizeof(void*);
                status = OCI_SUCCESS;
                return true;
            }
        }
    }
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
    bool zeroBased = false;
    {
        std::lock_guard<std::mutex> g(ExtraMutex());
        auto it = Extras().find(list);
        zeroBased = it != Extras().end() && it->second.zeroBased;
    }
    // a function's argument list holds its result at position 0 and its arguments from 1 on; a
    // procedure's list starts at 1
    size_t index = zeroBased ? size_t(pos) : size_t(pos) - 1;
    if ((!zeroBased && pos < 1) || index >= list->items.size()) return Fail(err, 24334, "ORA-24334: no descriptor for this position");
    *parmdpp = list->items[index];
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
    std::string text, schema, name;
    if (objptr_typ == OCI_OTYPE_REF) {
        // the REF to a type descriptor that a describe handed out; REFs of the object cache are not kept yet
        auto* ref = As<TypeRef>(objptr, kTypeRefType);
        if (!ref) return Unimplemented(err);
        if (objtyp != OCI_PTYPE_UNK && objtyp != OCI_PTYPE_TYPE) return Fail(err, 4043, "ORA-04043: object " + ref->name + " does not exist");
        text = Quoted(ref->schema) + "." + Quoted(ref->name);
        schema = ref->schema;
        name = ref->name;
    } else if (objptr_typ != OCI_OTYPE_NAME) {
        return Unimplemented(err);   // pointers to type descriptors need the object cache
    } else {
        if (!objptr || objnm_len == 0) return Fail(err, 24801, "ORA-24801: illegal parameter value in OCI lob function");
        text.assign(static_cast<const char*>(objptr), objnm_len);
        if (!SplitName(text, schema, name)) return Fail(err, 4043, "ORA-04043: object " + text + " does not exist");
    }
    Session* s = SessionOf(svc);
    if (!s) return Fail(err, 3114, OraMessage(3114));
    std::unique_lock<std::mutex> lock;
    if (svc->env && (svc->env->mode & OCI_THREADED) && !(svc->env->mode & OCI_NO_MUTEX))
        lock = std::unique_lock<std::mutex>(svc->session->callMutex);
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
        } else if (ptype == OCI_PTYPE_PROC || ptype == OCI_PTYPE_FUNC || ptype == OCI_PTYPE_PKG || ptype == OCI_PTYPE_TYPE) {
            // a unit stored with compilation errors has no description to give
            auto status = Rows(*s, "SELECT status FROM all_objects WHERE owner = :o AND object_name = :n AND object_type = :t",
                               {owner, name, found[0][0]});
            if (!status.empty() && status[0][0] == "INVALID") {
                ReleaseDescribe(d);
                return Fail(err, 24372, "ORA-24372: invalid object for describe");
            }
            Ctx c{*s, d, 873, {}};
            auto st = s->Prepare("SELECT dummy FROM dual");
            if (!st->Columns().empty() && st->Columns()[0].CharsetId) c.charsetId = st->Columns()[0].CharsetId;
            if (ptype == OCI_PTYPE_TYPE) DescribeType(c, root, owner, name);
            else DescribeUnit(c, root, owner, name, ptype);
        } else if (ptype != OCI_PTYPE_SEQ) {
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
