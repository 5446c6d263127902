// The PL/SQL interpreter: declarations, statements, expressions, exceptions, cursors, SQL with
// PL/SQL names turned into binds, calls of local, stored, packaged and native subprograms.
#include "ocisim/engine/plsql/Interp.h"

#include "ocisim/engine/internal/Runtime.h"
#include "ocisim/engine/internal/Sql.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstring>
#include <thread>

namespace ocisim::pl {

using eng::NativeArg;
using eng::NativePackage;

std::shared_ptr<Composite> Composite::Clone() const {
    auto c = std::make_shared<Composite>();
    c->type = type;
    c->names = names;
    c->vals = vals;
    for (auto& v : c->vals) if ((v.k == PV::Rec || v.k == PV::Tab) && v.c) v.c = v.c->Clone();
    c->tab = tab;
    for (auto& [k, v] : c->tab) if ((v.k == PV::Rec || v.k == PV::Tab) && v.c) v.c = v.c->Clone();
    c->nullCollection = nullCollection;
    c->cur = cur;
    return c;
}

namespace {

std::string Ora(int code, const std::string& text) { return sql::OraMessage(code, text); }

PlError Err(int code, const std::string& text) {
    PlError e;
    e.code = code;
    e.message = Ora(code, text);
    return e;
}
PlError FromEngine(const EngineError& x) {
    PlError e;
    e.code = x.Code;
    size_t nl = x.Text.find('\n');
    e.message = nl == std::string::npos ? x.Text : x.Text.substr(0, nl);
    if (nl != std::string::npos) {
        std::string rest = x.Text.substr(nl + 1);
        size_t p = 0;
        while (p < rest.size()) {
            size_t q = rest.find('\n', p);
            if (q == std::string::npos) q = rest.size();
            if (q > p) e.stack.push_back(rest.substr(p, q - p));
            p = q + 1;
        }
    }
    return e;
}
PlError ValueError(const std::string& what) { return Err(6502, "PL/SQL: numeric or value error" + (what.empty() ? std::string() : ": " + what)); }

struct ExitSignal { std::string label; bool isContinue = false; };
struct ReturnSignal {};

int PredefinedCode(const std::string& n) {
    static const std::map<std::string, int> m = {
        {"NO_DATA_FOUND", 1403}, {"TOO_MANY_ROWS", 1422}, {"DUP_VAL_ON_INDEX", 1}, {"VALUE_ERROR", 6502},
        {"ZERO_DIVIDE", 1476}, {"INVALID_NUMBER", 1722}, {"INVALID_CURSOR", 1001}, {"CURSOR_ALREADY_OPEN", 6511},
        {"CASE_NOT_FOUND", 6592}, {"LOGIN_DENIED", 1017}, {"NOT_LOGGED_ON", 1012}, {"PROGRAM_ERROR", 6501},
        {"STORAGE_ERROR", 6500}, {"TIMEOUT_ON_RESOURCE", 51}, {"ROWTYPE_MISMATCH", 6504},
        {"SUBSCRIPT_BEYOND_COUNT", 6533}, {"SUBSCRIPT_OUTSIDE_LIMIT", 6532}, {"COLLECTION_IS_NULL", 6531},
        {"ACCESS_INTO_NULL", 6530}, {"SELF_IS_NULL", 30625}, {"SYS_INVALID_ROWID", 1410},
    };
    auto it = m.find(n);
    return it == m.end() ? 0 : it->second;
}

const std::set<std::string>& SqlFunctions() {
    static const std::set<std::string> s = {
        "ABS", "ACOS", "ADD_MONTHS", "ASCII", "ASIN", "ATAN", "ATAN2", "AVG", "BITAND", "CAST", "CEIL", "CHR", "COALESCE",
        "CONCAT", "COS", "COSH", "COUNT", "DECODE", "DUMP", "EXP", "FLOOR", "GREATEST", "HEXTORAW", "INITCAP", "INSTR", "INSTRB",
        "LAST_DAY", "LEAST", "LENGTH", "LENGTHB", "LN", "LOG", "LOWER", "LPAD", "LTRIM", "MAX", "MIN", "MOD", "MONTHS_BETWEEN",
        "NCHR", "NEXT_DAY", "NLS_INITCAP", "NLS_LOWER", "NLS_UPPER", "NULLIF", "NVL", "NVL2", "POWER", "RAWTOHEX", "REGEXP_INSTR",
        "REGEXP_LIKE", "REGEXP_REPLACE", "REGEXP_SUBSTR", "REMAINDER", "REPLACE", "ROUND", "RPAD", "RTRIM", "SIGN", "SIN", "SINH",
        "SOUNDEX", "SQRT", "SUBSTR", "SUBSTRB", "SUM", "SYS_CONTEXT", "SYS_GUID", "TAN", "TANH", "TO_CHAR", "TO_DATE",
        "TO_NUMBER", "TO_NCHAR", "TO_CLOB", "TO_TIMESTAMP", "TRANSLATE", "TRIM", "TRUNC", "UID", "UPPER", "USER", "USERENV",
        "VSIZE", "SYSDATE", "SYSTIMESTAMP", "SQLCODE", "SQLERRM", "RAISE_APPLICATION_ERROR", "EXTRACT", "CURRENT_DATE",
        "LOCALTIMESTAMP", "CURRENT_TIMESTAMP", "NUMTODSINTERVAL", "TO_SINGLE_BYTE", "RAWTONHEX", "ROWIDTOCHAR", "CHARTOROWID",
        "EMPTY_CLOB", "EMPTY_BLOB", "NEW_TIME", "TZ_OFFSET", "LNNVL", "NANVL", "WIDTH_BUCKET", "TO_BINARY_DOUBLE", "ORA_HASH",
    };
    return s;
}

bool IsIntegral(double d) { return d == std::floor(d) && std::fabs(d) < 9e15; }

} // namespace

// ======================================================================== Impl
struct Interp::Impl {
    Interp& self;
    eng::SqlRunner& sql;
    eng::PlSqlEngine& engine;
    std::shared_ptr<UnitCache> cache;
    std::shared_ptr<SessionPl> sess;

    // implicit cursor
    bool sqlFoundKnown = false, sqlFound = false;
    uint64_t sqlRowcount = 0;
    // the exception being handled (SQLCODE / SQLERRM)
    std::vector<PlError> handling;
    // call stack: unit label and current line
    struct Inv { std::string label; int line = 0; const Unit* unit = nullptr; };
    std::vector<Inv> stack;
    int depth = 0;
    // host binds of the running anonymous block
    std::vector<PV> binds;
    std::vector<bool> bindAssigned;
    std::vector<const BindValues::Slot*> bindSlots;
    std::vector<std::string> bindNames;
    std::vector<std::unique_ptr<Statement>> bindCursors;
    // trigger rows
    struct TrigCtx { eng::TriggerRow* row; std::string newName, oldName; const std::vector<std::string>* cols; };
    std::vector<TrigCtx> trig;
    std::string dateFormat;

    Impl(Interp& s, eng::SqlRunner& r, eng::PlSqlEngine& e) : self(s), sql(r), engine(e) {
        auto& c = sql.DatabaseState("plsql.units");
        if (!c) c = std::make_shared<UnitCache>();
        cache = std::static_pointer_cast<UnitCache>(c);
        auto& st = sql.SessionState("plsql.session");
        if (!st) st = std::make_shared<SessionPl>();
        sess = std::static_pointer_cast<SessionPl>(st);
        uint64_t v = sql.CatalogVersion();
        if (cache->version != v) {
            cache->version = v;
            cache->units.clear();
            cache->objects.clear();
            cache->triggersLoaded = false;
            cache->triggers.clear();
        }
        // statements a running outer call may hold are dropped only between calls
        if (sess->version != v && sess->active == 0) {
            sess->version = v;
            sess->stmts.clear();
            sess->plans.clear();
            sess->scalars.clear();
            // package states survive unless their unit changed: checked when used
        }
        ++sess->active;
    }
    ~Impl() { --sess->active; }

    // ------------------------------------------------------------------ values
    std::string NumText(double d) { return rt::NumberText(d); }
    std::string DateFmt() {
        if (dateFormat.empty()) dateFormat = sql.DateFormat();
        return dateFormat;
    }
    std::string ToStr(const PV& v) {
        switch (v.k) {
        case PV::Null: return {};
        case PV::Num: return NumText(v.d);
        case PV::Str: return v.s;
        case PV::Raw: {
            static const char* hx = "0123456789ABCDEF";
            std::string r;
            for (unsigned char ch : v.s) { r += hx[ch >> 4]; r += hx[ch & 15]; }
            return r;
        }
        case PV::Date: return rt::FormatDate(v.d, DateFmt());
        case PV::Bool: throw Err(6550, "PLS-00306: wrong number or types of arguments in call to '||'");
        default: throw ValueError("");
        }
    }
    double ToNum(const PV& v) {
        if (v.k == PV::Num) return v.d;
        if (v.k == PV::Str) {
            double d;
            if (!rt::ParseNumber(v.s, d)) throw ValueError("character to number conversion error");
            return d;
        }
        if (v.k == PV::Date) return v.d;
        throw ValueError("");
    }
    Value ToValue(const PV& v) {
        Value r;
        switch (v.k) {
        case PV::Null: break;
        case PV::Num:
            if (IsIntegral(v.d)) { r.kind = ValueRef::Integer; r.i = static_cast<int64_t>(v.d); }
            else { r.kind = ValueRef::Double; r.d = v.d; }
            break;
        case PV::Str: r.kind = ValueRef::Text; r.bytes = v.s; break;
        case PV::Raw: r.kind = ValueRef::Bytes; r.bytes = v.s; break;
        case PV::Date: r.kind = ValueRef::Date; rt::JulianTo7(v.d, r.date); break;
        case PV::Bool: r.kind = ValueRef::Integer; r.i = v.b ? 1 : 0; break;
        default: throw Err(6550, "PLS-00306: wrong number or types of arguments in call");
        }
        return r;
    }
    PV FromRef(const ValueRef& r, OraType t = OraType::Varchar2) {
        switch (r.kind) {
        case ValueRef::Null: return {};
        case ValueRef::Integer: {
            if (t == OraType::Date) return PV::DateVal(static_cast<double>(r.i));
            return PV::Number(static_cast<double>(r.i));
        }
        case ValueRef::Double: if (t == OraType::Date) return PV::DateVal(r.d); return PV::Number(r.d);
        case ValueRef::Decimal: { double d = 0; rt::ParseNumber(std::string_view(r.p, r.n), d); return PV::Number(d); }
        case ValueRef::Text: return PV::String(std::string(r.p, r.n));
        case ValueRef::Bytes: { PV p; if (r.n == 0) return p; p.k = PV::Raw; p.s.assign(r.p, r.n); return p; }
        case ValueRef::Date: return PV::DateVal(rt::JulianFrom7(r.date));
        }
        return {};
    }
    PV FromValue(const Value& v, OraType t = OraType::Varchar2) { return FromRef(v.Ref(), t); }
    // Column k of the current row; a CLOB or BLOB of a table row keeps where it lives.
    PV ColumnPV(const Statement& st, size_t k, OraType t) {
        PV v = FromRef(st.Column(k), t);
        if (t == OraType::Clob || t == OraType::Blob) {
            LobLocation l = st.ColumnLobLocation(k);
            if (l.Valid()) {
                auto r = std::make_shared<LobRef>();
                r->where = std::move(l);
                r->binary = t == OraType::Blob;
                v.lob = std::move(r);
            }
        }
        return v;
    }
    ValueRef RefOf(const Value& v) { return v.Ref(); }

    // ------------------------------------------------------------------ types
    TI Scalar(TypeInfo::B b, int len = -1, int scale = -1) {
        auto t = std::make_shared<TypeInfo>();
        t->b = b;
        t->len = len;
        t->scale = scale;
        return t;
    }
    TI TypeOfColumn(const ColumnInfo& c) {
        switch (c.DataType) {
        case OraType::Number: { auto t = Scalar(TypeInfo::Number); if (c.Precision > 0) { t->prec = c.Precision; t->scale = c.Scale; } return t; }
        case OraType::Date: return Scalar(TypeInfo::Date);
        case OraType::Char: return Scalar(TypeInfo::Char, static_cast<int>(c.CharSize ? c.CharSize : c.ByteSize));
        case OraType::Raw: case OraType::LongRaw: return Scalar(TypeInfo::Raw, static_cast<int>(c.ByteSize));
        case OraType::Clob: return Scalar(TypeInfo::Clob);
        case OraType::Blob: return Scalar(TypeInfo::Blob);
        case OraType::RowId: case OraType::URowId: return Scalar(TypeInfo::Rowid);
        default: return Scalar(TypeInfo::Varchar, static_cast<int>(c.CharSize ? c.CharSize : c.ByteSize));
        }
    }
    TI RowType(const std::vector<ColumnInfo>& cols) {
        auto t = std::make_shared<TypeInfo>();
        t->b = TypeInfo::Record;
        for (const auto& c : cols) t->fields.push_back({c.Name, TypeOfColumn(c)});
        return t;
    }
    std::vector<ColumnInfo> DescribeTable(const std::vector<std::string>& name) {
        std::string n;
        for (size_t k = 0; k < name.size(); ++k) n += (k ? "." : "") + std::string("\"") + name[k] + "\"";
        auto st = sql.PrepareSql("SELECT * FROM " + n);
        return st->Columns();
    }
    TI ResolveType(const TypeRef& r, Frame* f) {
        if (r.refCursor) return Scalar(TypeInfo::Cursor);
        if (r.attr == "TYPE") {
            // variable%TYPE, rec.field%TYPE, table.column%TYPE
            Sym* s = Lookup(r.name[0], f);
            if (s && (s->k == Sym::Var || s->k == Sym::Const || s->k == Sym::Bind)) {
                TI t = s->t;
                for (size_t k = 1; k < r.name.size() && t; ++k) {
                    TI next;
                    for (auto& [fn, ft] : t->fields) if (fn == r.name[k]) next = ft;
                    t = next;
                }
                if (t) { auto c = std::make_shared<TypeInfo>(*t); c->notNull = false; return c; }
            }
            if (r.name.size() >= 2) {
                std::vector<std::string> tbl(r.name.begin(), r.name.end() - 1);
                try {
                    for (const auto& c : DescribeTable(tbl)) if (c.Name == r.name.back()) return TypeOfColumn(c);
                } catch (const EngineError&) {}
            }
            throw Compile(r.line, r.col, "PLS-00201: identifier '" + Join(r.name) + "' must be declared");
        }
        if (r.attr == "ROWTYPE") {
            Sym* s = r.name.size() == 1 ? Lookup(r.name[0], f) : nullptr;
            if (s && s->k == Sym::Cursor && s->decl) {
                auto plan = PlanFor(s->decl, s->decl->sql, f, CurrentUnit(), false);
                auto st = sql.PrepareSql(plan->text);
                return RowType(st->Columns());
            }
            try {
                return RowType(DescribeTable(r.name));
            } catch (const EngineError&) {}
            throw Compile(r.line, r.col, "PLS-00201: identifier '" + Join(r.name) + "' must be declared");
        }
        if (r.name.size() == 1) {
            const std::string& n = r.name[0];
            if (n == "NUMBER" || n == "NUMERIC" || n == "DECIMAL" || n == "DEC" || n == "FLOAT" || n == "REAL" ||
                n == "BINARY_FLOAT" || n == "BINARY_DOUBLE" || n == "SIMPLE_INTEGER") {
                auto t = Scalar(TypeInfo::Number);
                if (r.len >= 0 && n != "FLOAT") { t->prec = r.len; t->scale = r.scale < 0 ? 0 : r.scale; }
                return t;
            }
            if (n == "INTEGER" || n == "INT" || n == "SMALLINT" || n == "PLS_INTEGER" || n == "BINARY_INTEGER" ||
                n == "NATURAL" || n == "NATURALN" || n == "POSITIVE" || n == "POSITIVEN" || n == "SIGNTYPE") {
                auto t = Scalar(TypeInfo::Number);
                t->integer = true;
                t->scale = 0;
                return t;
            }
            if (n == "VARCHAR2" || n == "VARCHAR" || n == "NVARCHAR2" || n == "STRING" || n == "LONG") return Scalar(TypeInfo::Varchar, r.len < 0 ? (n == "LONG" ? 32760 : -1) : r.len);
            if (n == "CHAR" || n == "NCHAR" || n == "CHARACTER") return Scalar(TypeInfo::Char, r.len < 0 ? 1 : r.len);
            if (n == "DATE" || n == "TIMESTAMP") return Scalar(TypeInfo::Date);
            if (n == "BOOLEAN") return Scalar(TypeInfo::Bool);
            if (n == "RAW" || n == "LONG RAW") return Scalar(TypeInfo::Raw, r.len);
            if (n == "CLOB" || n == "NCLOB") return Scalar(TypeInfo::Clob);
            if (n == "BLOB" || n == "BFILE") return Scalar(TypeInfo::Blob);
            if (n == "ROWID" || n == "UROWID") return Scalar(TypeInfo::Rowid);
            if (n == "SYS_REFCURSOR") return Scalar(TypeInfo::Cursor);
            if (n == "XMLTYPE" || n == "ANYDATA") return Scalar(TypeInfo::Any);
            Sym* s = Lookup(n, f);
            if (s && s->k == Sym::Type) return s->t;
        } else {
            // package.type, or SYS.package.type, or a native package record
            Sym* s = ResolvePackageMember(r.name, f);
            if (s && s->k == Sym::Type) return s->t;
            std::vector<std::string> nm = r.name;
            if (nm.size() == 3 && nm[0] == "SYS") nm.erase(nm.begin());
            if (nm.size() == 2) {
                if (NativePackage* np = eng::FindNativePackage(nm[0])) {
                    std::vector<std::pair<std::string, OraType>> fields;
                    if (np->RecordType(nm[1], fields)) {
                        auto t = std::make_shared<TypeInfo>();
                        t->b = TypeInfo::Record;
                        t->name = nm[0] + "." + nm[1];
                        for (auto& [fn, ft] : fields) {
                            ColumnInfo ci;
                            ci.DataType = ft;
                            ci.ByteSize = 32767;
                            t->fields.push_back({fn, TypeOfColumn(ci)});
                        }
                        return t;
                    }
                }
            }
        }
        // a stored object or collection type
        if (TI t = StoredType(r.name)) return t;
        throw Compile(r.line, r.col, "PLS-00201: identifier '" + Join(r.name) + "' must be declared");
    }
    static std::string Join(const std::vector<std::string>& n) {
        std::string s;
        for (size_t k = 0; k < n.size(); ++k) s += (k ? "." : "") + n[k];
        return s;
    }
    PV Initial(const TI& t) {
        PV v;
        if (!t) return v;
        if (t->b == TypeInfo::Record || t->b == TypeInfo::Object) {
            v.k = PV::Rec;
            v.c = std::make_shared<Composite>();
            v.c->type = t;
            for (auto& [fn, ft] : t->fields) { v.c->names.push_back(fn); v.c->vals.push_back(Initial(ft)); }
            if (t->b == TypeInfo::Object) v.c->nullCollection = true;   // an atomically null object
        } else if (t->b == TypeInfo::Table) {
            v.k = PV::Tab;
            v.c = std::make_shared<Composite>();
            v.c->type = t;
            v.c->nullCollection = !t->stringIndex && t->name != "INDEXBY" ? false : false;
        } else if (t->b == TypeInfo::Cursor) {
            v.k = PV::Cur;
            v.c = std::make_shared<Composite>();
            v.c->type = t;
            v.c->cur = std::make_shared<CursorState>();
        }
        return v;
    }
    // The value converted for storing into something of type t.
    PV Coerce(PV v, const TI& t) {
        if (!t) return v;
        if (v.k == PV::Null) {
            if (t->notNull) throw ValueError("");
            if (t->b == TypeInfo::Record || t->b == TypeInfo::Table || t->b == TypeInfo::Cursor || t->b == TypeInfo::Object) return Initial(t);
            return v;
        }
        switch (t->b) {
        case TypeInfo::Number: {
            double d = ToNum(v);
            if (t->integer) d = std::round(d);
            else if (t->scale >= 0 && t->prec > 0) {
                double m = std::pow(10.0, t->scale);
                d = std::round(d * m) / m;
                if (std::fabs(d) >= std::pow(10.0, t->prec - t->scale)) throw ValueError("number precision too large");
            }
            return PV::Number(d);
        }
        case TypeInfo::Varchar: case TypeInfo::Char: case TypeInfo::Clob: case TypeInfo::Rowid: {
            if (v.k == PV::Bool) throw Err(6550, "PLS-00382: expression is of wrong type");
            std::string s = ToStr(v);
            if (t->len > 0) {
                size_t chars = 0;
                for (unsigned char ch : s) if ((ch & 0xC0) != 0x80) ++chars;
                if (chars > static_cast<size_t>(t->len)) throw ValueError("character string buffer too small");
                if (t->b == TypeInfo::Char && chars < static_cast<size_t>(t->len)) s.append(static_cast<size_t>(t->len) - chars, ' ');
            }
            PV r = PV::String(std::move(s));
            if (t->b == TypeInfo::Clob) r.lob = v.lob;
            return r;
        }
        case TypeInfo::Date: {
            if (v.k == PV::Date) return v;
            if (v.k == PV::Str) return PV::DateVal(rt::ParseDate(v.s, DateFmt()));
            throw Err(6550, "PLS-00382: expression is of wrong type");
        }
        case TypeInfo::Bool:
            if (v.k != PV::Bool) throw Err(6550, "PLS-00382: expression is of wrong type");
            return v;
        case TypeInfo::Raw: case TypeInfo::Blob:
            if (v.k == PV::Str) { PV r; r.k = PV::Raw; r.s = v.s; if (t->b == TypeInfo::Blob) r.lob = v.lob; return r; }
            return v;
        case TypeInfo::Record: case TypeInfo::Object:
            if (v.k != PV::Rec) throw Err(6550, "PLS-00382: expression is of wrong type");
            { PV r = v; r.c = v.c->Clone(); return r; }
        case TypeInfo::Table:
            if (v.k != PV::Tab) throw Err(6550, "PLS-00382: expression is of wrong type");
            { PV r = v; r.c = v.c->Clone(); return r; }
        default:
            return v;
        }
    }

    // ------------------------------------------------------------------ compile errors
    CompileFailure Compile(int line, int col, const std::string& text) {
        CompileFailure f;
        f.errors.push_back({line, col, text});
        return f;
    }

    // ------------------------------------------------------------------ scopes
    Sym* Lookup(const std::string& n, Frame* f) {
        for (Frame* x = f; x; x = x->parent)
            if (Sym* s = x->Find(n)) return s;
        return nullptr;
    }
    const Unit* CurrentUnit() { return stack.empty() ? nullptr : stack.back().unit; }

    // ------------------------------------------------------------------ declarations
    void Declare(const std::vector<DeclP>& decls, Frame* f) {
        for (const auto& dp : decls) {
            const Decl& d = *dp;
            switch (d.kind) {
            case Decl::Var: {
                Sym& s = f->Add(d.constant ? Sym::Const : Sym::Var, d.name);
                s.t = ResolveType(*d.type, f);
                if (d.notNull) { s.t = std::make_shared<TypeInfo>(*s.t); s.t->notNull = true; }
                s.decl = &d;
                if (d.init) s.v = Coerce(Eval(*d.init, f), s.t);
                else {
                    if (d.notNull) throw Compile(d.line, d.col, "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
                    s.v = Initial(s.t);
                }
                break;
            }
            case Decl::Exception: {
                Sym& s = f->Add(Sym::Exc, d.name);
                s.excId = &d;
                s.decl = &d;
                break;
            }
            case Decl::Pragma:
                if (d.pragma == "EXCEPTION_INIT") {
                    Sym* s = f->Find(d.exceptionName);
                    if (!s || s->k != Sym::Exc) throw Compile(d.line, d.col, "PLS-00109: unknown exception name '" + d.exceptionName + "' in PRAGMA EXCEPTION_INIT");
                    s->excCode = d.code;
                }
                break;
            case Decl::Cursor: {
                Sym* prev = f->Find(d.name);
                Sym& s = prev && prev->k == Sym::Cursor ? *prev : f->Add(Sym::Cursor, d.name);
                if (d.hasQuery || !s.decl) s.decl = &d;
                if (!s.v.c) {
                    s.v.k = PV::Cur;
                    s.v.c = std::make_shared<Composite>();
                    s.v.c->cur = std::make_shared<CursorState>();
                    s.v.c->cur->name = d.name;
                }
                break;
            }
            case Decl::Type: {
                Sym& s = f->Add(Sym::Type, d.name);
                auto t = std::make_shared<TypeInfo>();
                t->name = d.name;
                if (d.typeKind == "RECORD") {
                    t->b = TypeInfo::Record;
                    for (const auto& p : d.fields) {
                        TI ft = ResolveType(*p.type, f);
                        t->fields.push_back({p.name, ft});
                        t->fieldDefaults.push_back(p.def.get());
                    }
                } else if (d.typeKind == "TABLE" || d.typeKind == "VARRAY") {
                    t->b = TypeInfo::Table;
                    t->elem = ResolveType(*d.elem, f);
                    t->varray = d.typeKind == "VARRAY";
                    if (d.indexBy) {
                        TI ib = ResolveType(*d.indexBy, f);
                        t->stringIndex = ib->b == TypeInfo::Varchar || ib->b == TypeInfo::Char;
                    }
                } else {
                    t->b = TypeInfo::Cursor;
                }
                s.t = t;
                break;
            }
            case Decl::Subtype: {
                Sym& s = f->Add(Sym::Type, d.name);
                s.t = std::make_shared<TypeInfo>(*ResolveType(*d.type, f));
                if (d.notNull) s.t->notNull = true;
                break;
            }
            case Decl::Proc: {
                Sym* prev = f->Find(d.name);
                Sym& s = prev && prev->k == Sym::Proc ? *prev : f->Add(Sym::Proc, d.name);
                s.home = f;
                // a body replaces its forward declaration of the same parameter list
                bool replaced = false;
                for (auto& p : s.procs) {
                    if (!p->body && d.proc->body && SameParams(*p, *d.proc)) { p = d.proc.get(); replaced = true; break; }
                }
                if (!replaced) s.procs.push_back(d.proc.get());
                break;
            }
            }
            // record fields with defaults
            if (d.kind == Decl::Var) {
                Sym& s = f->syms.back();
                if (!d.init && s.v.k == PV::Rec && s.t) {
                    for (size_t k = 0; k < s.t->fieldDefaults.size(); ++k)
                        if (s.t->fieldDefaults[k]) s.v.c->vals[k] = Coerce(Eval(*s.t->fieldDefaults[k], f), s.t->fields[k].second);
                }
            }
        }
    }
    static bool SameParams(const Subprogram& a, const Subprogram& b) {
        if (a.params.size() != b.params.size() || a.isFunction != b.isFunction) return false;
        for (size_t k = 0; k < a.params.size(); ++k) {
            if (a.params[k].name != b.params[k].name) return false;
            const TypeRef* x = a.params[k].type.get();
            const TypeRef* y = b.params[k].type.get();
            if (x && y && (x->name != y->name || x->attr != y->attr)) return false;
        }
        return true;
    }

    // ------------------------------------------------------------------ expressions
    static int TriState(const PV& v) { return v.k == PV::Null ? -1 : (v.k == PV::Bool ? (v.b ? 1 : 0) : -2); }
    bool CondTrue(const Expr& e, Frame* f) {
        PV v = Eval(e, f);
        if (v.k == PV::Null) return false;
        if (v.k != PV::Bool) throw Compile(e.line, e.col, "PLS-00382: expression is of wrong type");
        return v.b;
    }
    int Compare(const PV& a, const PV& b) {
        // both non-null
        if (a.k == PV::Num || b.k == PV::Num) {
            if (a.k == PV::Date || b.k == PV::Date) { double x = a.k == PV::Date ? a.d : ToNum(a), y = b.k == PV::Date ? b.d : ToNum(b); return x < y ? -1 : x > y ? 1 : 0; }
            double x = ToNum(a), y = ToNum(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        if (a.k == PV::Date || b.k == PV::Date) {
            double x = a.k == PV::Date ? a.d : Coerce(a, Scalar(TypeInfo::Date)).d;
            double y = b.k == PV::Date ? b.d : Coerce(b, Scalar(TypeInfo::Date)).d;
            return x < y ? -1 : x > y ? 1 : 0;
        }
        if (a.k == PV::Bool && b.k == PV::Bool) return (a.b ? 1 : 0) - (b.b ? 1 : 0);
        std::string x = ToStr(a), y = ToStr(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    static bool Like(const std::string& s, const std::string& p, char esc) {
        // iterative matcher with backtracking on '%'
        size_t si = 0, pi = 0, star = std::string::npos, mark = 0;
        while (si < s.size()) {
            if (pi < p.size() && esc && p[pi] == esc && pi + 1 < p.size()) {
                if (p[pi + 1] == s[si]) { pi += 2; ++si; continue; }
            } else if (pi < p.size() && p[pi] == '_') { ++pi; ++si; continue; }
            else if (pi < p.size() && p[pi] == '%') { star = pi++; mark = si; continue; }
            else if (pi < p.size() && p[pi] == s[si]) { ++pi; ++si; continue; }
            if (star != std::string::npos) { pi = star + 1; si = ++mark; continue; }
            return false;
        }
        while (pi < p.size() && p[pi] == '%') ++pi;
        return pi == p.size();
    }

    PV Eval(const Expr& e, Frame* f) {
        switch (e.kind) {
        case Expr::Num: return PV::Number(e.num);
        case Expr::Str: return PV::String(e.text);
        case Expr::Null: return {};
        case Expr::Bool: return PV::Boolean(e.text == "TRUE");
        case Expr::DateLit: return PV::DateVal(rt::ParseDate(e.text, "YYYY-MM-DD HH24:MI:SS"));
        case Expr::Bind: {
            if (e.names.size() == 1 && trig.empty()) {
                // :tab.count and the other collection methods of a table bind
                Expr plain(Expr::Bind);
                plain.text = e.text;
                plain.line = e.line;
                plain.col = e.col;
                PV* t = BindRef(plain, false);
                if (t && t->k == PV::Tab) return CollectionMethod(*t, e.names[0], {}, e);
            }
            PV* p = BindRef(e, false);
            return p ? *p : PV();
        }
        case Expr::Name: return EvalName(e, f);
        case Expr::Call: return EvalCall(e, f);
        case Expr::Attr: return EvalAttr(e, f);
        case Expr::Unary: {
            PV v = Eval(*e.ops[0], f);
            if (v.k == PV::Null) return v;
            double d = ToNum(v);
            return PV::Number(e.text == "-" ? -d : d);
        }
        case Expr::Binary: {
            PV a = Eval(*e.ops[0], f);
            PV b = Eval(*e.ops[1], f);
            const std::string& op = e.text;
            if (op == "||") {
                if (a.k == PV::Bool || b.k == PV::Bool) throw Compile(e.line, e.col, "PLS-00306: wrong number or types of arguments in call to '||'");
                return PV::String(ToStr(a) + ToStr(b));
            }
            if (a.k == PV::Null || b.k == PV::Null) return {};
            if (a.k == PV::Date || b.k == PV::Date) {
                if (op == "+") return PV::DateVal((a.k == PV::Date ? a.d : ToNum(a)) + (b.k == PV::Date ? b.d : ToNum(b)));
                if (op == "-") {
                    if (a.k == PV::Date && b.k == PV::Date) return PV::Number(a.d - b.d);
                    if (a.k == PV::Date) return PV::DateVal(a.d - ToNum(b));
                }
                throw Err(6550, "PLS-00306: wrong number or types of arguments in call to '" + op + "'");
            }
            double x = ToNum(a), y = ToNum(b);
            if (op == "+") return PV::Number(x + y);
            if (op == "-") return PV::Number(x - y);
            if (op == "*") return PV::Number(x * y);
            if (op == "/") { if (y == 0) throw Err(1476, "divisor is equal to zero"); return PV::Number(x / y); }
            if (op == "**") return PV::Number(std::pow(x, y));
            if (op == "MOD") { if (y == 0) return PV::Number(x); return PV::Number(x - y * std::trunc(x / y)); }
            if (op == "REM") { if (y == 0) return PV::Number(x); return PV::Number(std::fmod(x, y)); }
            return {};
        }
        case Expr::And: {
            int a = TriState(Eval(*e.ops[0], f));
            if (a == 0) return PV::Boolean(false);
            int b = TriState(Eval(*e.ops[1], f));
            if (a == -2 || b == -2) throw Compile(e.line, e.col, "PLS-00382: expression is of wrong type");
            if (b == 0) return PV::Boolean(false);
            if (a == 1 && b == 1) return PV::Boolean(true);
            return {};
        }
        case Expr::Or: {
            int a = TriState(Eval(*e.ops[0], f));
            if (a == 1) return PV::Boolean(true);
            int b = TriState(Eval(*e.ops[1], f));
            if (a == -2 || b == -2) throw Compile(e.line, e.col, "PLS-00382: expression is of wrong type");
            if (b == 1) return PV::Boolean(true);
            if (a == 0 && b == 0) return PV::Boolean(false);
            return {};
        }
        case Expr::Not: {
            int a = TriState(Eval(*e.ops[0], f));
            if (a == -2) throw Compile(e.line, e.col, "PLS-00382: expression is of wrong type");
            if (a == -1) return {};
            return PV::Boolean(a == 0);
        }
        case Expr::Cmp: {
            PV a = Eval(*e.ops[0], f);
            PV b = Eval(*e.ops[1], f);
            if (a.k == PV::Null || b.k == PV::Null) return {};
            int c = Compare(a, b);
            const std::string& op = e.text;
            bool r = op == "=" ? c == 0 : op == "<>" ? c != 0 : op == "<" ? c < 0 : op == ">" ? c > 0 : op == "<=" ? c <= 0 : c >= 0;
            return PV::Boolean(r);
        }
        case Expr::IsNull: {
            PV a = Eval(*e.ops[0], f);
            bool isNull = a.k == PV::Null || ((a.k == PV::Tab || a.k == PV::Rec) && a.c && a.c->nullCollection);
            return PV::Boolean(e.negated ? !isNull : isNull);
        }
        case Expr::Like: {
            PV a = Eval(*e.ops[0], f);
            PV b = Eval(*e.ops[1], f);
            char esc = 0;
            if (e.ops.size() > 2) { PV x = Eval(*e.ops[2], f); std::string s = ToStr(x); if (!s.empty()) esc = s[0]; }
            if (a.k == PV::Null || b.k == PV::Null) return {};
            bool r = Like(ToStr(a), ToStr(b), esc);
            return PV::Boolean(e.negated ? !r : r);
        }
        case Expr::Between: {
            PV a = Eval(*e.ops[0], f);
            PV lo = Eval(*e.ops[1], f);
            PV hi = Eval(*e.ops[2], f);
            if (a.k == PV::Null || lo.k == PV::Null || hi.k == PV::Null) return {};
            bool r = Compare(a, lo) >= 0 && Compare(a, hi) <= 0;
            return PV::Boolean(e.negated ? !r : r);
        }
        case Expr::In: {
            PV a = Eval(*e.ops[0], f);
            if (a.k == PV::Null) return {};
            bool sawNull = false;
            for (size_t k = 1; k < e.ops.size(); ++k) {
                PV b = Eval(*e.ops[k], f);
                if (b.k == PV::Null) { sawNull = true; continue; }
                if (Compare(a, b) == 0) return PV::Boolean(!e.negated);
            }
            if (sawNull) return {};
            return PV::Boolean(e.negated);
        }
        case Expr::Case: {
            size_t k = 0;
            PV operand;
            if (e.hasOperand) operand = Eval(*e.ops[k++], f);
            size_t n = e.ops.size() - (e.hasElse ? 1 : 0);
            for (; k + 1 < n + 1 && k + 1 <= n - 1 + 1 && k < n; k += 2) {
                if (e.hasOperand) {
                    PV w = Eval(*e.ops[k], f);
                    if (operand.k != PV::Null && w.k != PV::Null && Compare(operand, w) == 0) return Eval(*e.ops[k + 1], f);
                } else if (CondTrue(*e.ops[k], f)) {
                    return Eval(*e.ops[k + 1], f);
                }
            }
            if (e.hasElse) return Eval(*e.ops.back(), f);
            return {};
        }
        }
        return {};
    }

    PV EvalAttr(const Expr& e, Frame* f) {
        const std::string& a = e.text;
        if (!e.base) {
            // SQL%
            if (a == "ROWCOUNT") return sqlFoundKnown ? PV::Number(static_cast<double>(sqlRowcount)) : PV();
            if (a == "FOUND") return sqlFoundKnown ? PV::Boolean(sqlFound) : PV();
            if (a == "NOTFOUND") return sqlFoundKnown ? PV::Boolean(!sqlFound) : PV();
            if (a == "ISOPEN") return PV::Boolean(false);
            return {};
        }
        CursorState* c = CursorOf(*e.base, f, false);
        if (!c) throw Err(1001, "invalid cursor");
        if (a == "ISOPEN") return PV::Boolean(c->open);
        if (!c->open) throw Err(1001, "invalid cursor");
        if (a == "ROWCOUNT") return PV::Number(static_cast<double>(c->rowcount));
        if (!c->fetchedAny) return {};
        if (a == "FOUND") return PV::Boolean(c->found);
        if (a == "NOTFOUND") return PV::Boolean(!c->found);
        return {};
    }

    // A name used as a value: variable, constant, record field, package variable, parameterless function.
    PV EvalName(const Expr& e, Frame* f) {
        const auto& n = e.names;
        if (n.size() == 1) {
            Sym* s = Lookup(n[0], f);
            if (s) {
                if (s->k == Sym::Var || s->k == Sym::Const || s->k == Sym::Bind) return s->v;
                if (s->k == Sym::Proc) return CallLocal(*s, {}, f, e, true);
                if (s->k == Sym::Cursor) return s->v;
            }
            const std::string& w = n[0];
            if (w == "SYSDATE" || w == "CURRENT_DATE" || w == "SYSTIMESTAMP" || w == "LOCALTIMESTAMP" || w == "CURRENT_TIMESTAMP") return PV::DateVal(rt::RoundToSecond(rt::Now()));
            if (w == "USER") return PV::String(sql.UserName());
            if (w == "SQLCODE") return PV::Number(handling.empty() ? 0 : SqlCode(handling.back()));
            if (w == "SQLERRM") return PV::String(handling.empty() ? std::string("ORA-0000: normal, successful completion") : handling.back().message);
            if (w == "UID" || w == "ROWNUM" || w == "LEVEL") return SqlScalar(w, {});
        } else {
            // record field chain, package variable, schema.function
            Sym* s = Lookup(n[0], f);
            if (s && (s->k == Sym::Var || s->k == Sym::Const || s->k == Sym::Bind)) {
                PV* p = &s->v;
                for (size_t k = 1; k < n.size(); ++k) {
                    if (p->k == PV::Tab && p->c) {
                        // collection methods without arguments
                        return CollectionMethod(*p, n[k], {}, e);
                    }
                    if (p->k != PV::Rec || !p->c) throw Compile(e.line, e.col, "PLS-00487: Invalid reference to variable '" + n[k - 1] + "'");
                    PV* q = p->c->Field(n[k]);
                    if (!q) {
                        if (p->c->type && p->c->type->b == TypeInfo::Object) return CallMethod(*p, n[k], {}, f, e);
                        throw Compile(e.line, e.col, "PLS-00302: component '" + n[k] + "' must be declared");
                    }
                    p = q;
                }
                return *p;
            }
            if (s && s->k == Sym::Cursor) {
                // cursor record fields are not values
            }
            if (Sym* m = ResolvePackageMember(n, f)) {
                if (m->k == Sym::Var || m->k == Sym::Const) return m->v;
                if (m->k == Sym::Proc) return CallLocal(*m, {}, f, e, true);
            }
            std::vector<std::string> nm = n;
            if (nm.size() == 3 && nm[0] == "SYS") nm.erase(nm.begin());
            if (nm.size() == 2) {
                if (NativePackage* np = NativeFor(nm[0])) {
                    Value cv;
                    if (np->Constant(nm[1], cv)) return FromValue(cv);
                    return CallNative(*np, nm[1], {}, f, e, true);
                }
            }
        }
        // a parameterless stored function, or a static method of an object type
        std::vector<Arg> none;
        PV r;
        if (TypeCall(n, none, f, e, r)) return r;
        if (CallStored(n, none, f, e, true, &r)) return r;
        throw Compile(e.line, e.col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
    }

    static double SqlCode(const PlError& x) {
        if (x.userDefined && x.code == 1) return 1;
        if (x.code == 1403) return 100;
        return -static_cast<double>(x.code);
    }

    // table(i), function(args), record.method(args), package.proc(args) as values
    PV EvalCall(const Expr& e, Frame* f) {
        if (e.base) {
            // :tab(i)
            PV* p = BindRef(*e.base, false);
            if (!p) return {};
            PV idx = Eval(*e.args.at(0).value, f);
            return Element(*p, idx, e);
        }
        const auto& n = e.names;
        Sym* s = Lookup(n[0], f);
        if (s && (s->k == Sym::Var || s->k == Sym::Const || s->k == Sym::Bind)) {
            PV* p = &s->v;
            for (size_t k = 1; k < n.size(); ++k) {
                if (p->k == PV::Tab) {
                    std::vector<PV> args;
                    for (const auto& a : e.args) args.push_back(Eval(*a.value, f));
                    return CollectionMethod(*p, n[k], args, e);
                }
                if (p->k != PV::Rec || !p->c) throw Compile(e.line, e.col, "PLS-00487: Invalid reference to variable '" + n[k - 1] + "'");
                PV* q = p->c->Field(n[k]);
                if (!q) {
                    // an object method
                    if (p->c->type && p->c->type->b == TypeInfo::Object) return CallMethod(*p, n[k], e.args, f, e);
                    throw Compile(e.line, e.col, "PLS-00302: component '" + n[k] + "' must be declared");
                }
                p = q;
            }
            if (p->k != PV::Tab) throw Compile(e.line, e.col, "PLS-00222: no function with name '" + Join(n) + "' exists in this scope");
            PV idx = Eval(*e.args.at(0).value, f);
            PV el = Element(*p, idx, e);
            return Tail(el, e);
        }
        if (s && s->k == Sym::Proc) return Tail(CallLocal(*s, e.args, f, e, true), e);
        if (s && s->k == Sym::Type && s->t && s->t->b == TypeInfo::Table) {
            // collection constructor
            PV v = Initial(s->t);
            double k = 1;
            for (const auto& a : e.args) v.c->tab[TabKey{false, k++, {}}] = Coerce(Eval(*a.value, f), s->t->elem);
            return v;
        }
        if (n.size() == 1) {
            PV r;
            if (Builtin(n[0], e, f, r)) return Tail(r, e);
        }
        if (n.size() >= 2) {
            if (Sym* m = ResolvePackageMember(n, f)) {
                if (m->k == Sym::Proc) return Tail(CallLocal(*m, e.args, f, e, true), e);
                if ((m->k == Sym::Var || m->k == Sym::Const) && m->v.k == PV::Tab) {
                    PV idx = Eval(*e.args.at(0).value, f);
                    return Tail(Element(m->v, idx, e), e);
                }
            }
            std::vector<std::string> nm = n;
            if (nm.size() == 3 && nm[0] == "SYS") nm.erase(nm.begin());
            if (nm.size() == 2)
                if (NativePackage* np = NativeFor(nm[0])) return Tail(CallNative(*np, nm[1], e.args, f, e, true), e);
        }
        PV r;
        if (TypeCall(n, e.args, f, e, r)) return Tail(r, e);
        if (CallStored(n, e.args, f, e, true, &r)) return Tail(r, e);
        if (n.size() == 1 && SqlFunctions().count(n[0])) {
            std::vector<PV> args;
            for (const auto& a : e.args) args.push_back(Eval(*a.value, f));
            return Tail(SqlScalar(n[0], args), e);
        }
        throw Compile(e.line, e.col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
    }
    PV Tail(PV v, const Expr& e) {
        for (const auto& fld : e.tail) {
            if (v.k != PV::Rec || !v.c) throw Compile(e.line, e.col, "PLS-00487: Invalid reference to variable");
            PV* q = v.c->Field(fld);
            if (!q) throw Compile(e.line, e.col, "PLS-00302: component '" + fld + "' must be declared");
            PV x = *q;
            v = x;
        }
        return v;
    }
    TabKey KeyOf(const PV& idx, const Composite& c) {
        TabKey k;
        if (c.type && c.type->stringIndex) { k.str = true; k.s = ToStr(idx); return k; }
        if (idx.k == PV::Null) throw ValueError("NULL index table key value");
        k.n = ToNum(idx);
        return k;
    }
    PV Element(PV& t, const PV& idx, const Expr& e) {
        (void)e;
        if (t.k != PV::Tab || !t.c) throw Err(6531, "Reference to uninitialized collection");
        auto it = t.c->tab.find(KeyOf(idx, *t.c));
        if (it == t.c->tab.end()) {
            if (t.c->type && (t.c->type->stringIndex || t.c->type->name == "BIND")) throw Err(1403, "no data found");
            if (!t.c->type || (!t.c->type->varray && t.c->tab.empty() == false)) throw Err(1403, "no data found");
            throw Err(6533, "Subscript beyond count");
        }
        return it->second;
    }
    PV CollectionMethod(PV& t, const std::string& m, const std::vector<PV>& args, const Expr& e) {
        auto& tab = t.c->tab;
        auto key = [&](size_t i) { return KeyOf(args.at(i), *t.c); };
        auto keyPV = [&](const TabKey& k) { return k.str ? PV::String(k.s) : PV::Number(k.n); };
        if (m == "COUNT") return PV::Number(static_cast<double>(tab.size()));
        if (m == "FIRST") return tab.empty() ? PV() : keyPV(tab.begin()->first);
        if (m == "LAST") return tab.empty() ? PV() : keyPV(tab.rbegin()->first);
        if (m == "EXISTS") { if (args.empty() || args[0].k == PV::Null) return PV::Boolean(false); return PV::Boolean(tab.count(key(0)) > 0); }
        if (m == "NEXT") { if (args.at(0).k == PV::Null) return {}; auto it = tab.upper_bound(key(0)); return it == tab.end() ? PV() : keyPV(it->first); }
        if (m == "PRIOR") {
            if (args.at(0).k == PV::Null) return {};
            auto it = tab.lower_bound(key(0));
            if (it == tab.begin()) return {};
            --it;
            return keyPV(it->first);
        }
        if (m == "DELETE") {
            if (args.empty()) tab.clear();
            else if (args.size() == 1) tab.erase(key(0));
            else { auto a = key(0), b = key(1); for (auto it = tab.lower_bound(a); it != tab.end() && !(b < it->first);) it = tab.erase(it); }
            return {};
        }
        if (m == "EXTEND") {
            size_t n = args.empty() ? 1 : static_cast<size_t>(ToNum(args[0]));
            double last = tab.empty() ? 0 : tab.rbegin()->first.n;
            for (size_t k = 0; k < n; ++k) tab[TabKey{false, last + 1 + static_cast<double>(k), {}}] = Initial(t.c->type ? t.c->type->elem : nullptr);
            return {};
        }
        if (m == "TRIM") {
            size_t n = args.empty() ? 1 : static_cast<size_t>(ToNum(args[0]));
            for (size_t k = 0; k < n && !tab.empty(); ++k) tab.erase(std::prev(tab.end()));
            return {};
        }
        if (m == "LIMIT") return {};
        throw Compile(e.line, e.col, "PLS-00302: component '" + m + "' must be declared");
    }

    // A scalar SQL function evaluated by the SQL engine: SELECT f(:1, ...) FROM DUAL.
    PV SqlScalar(const std::string& fn, const std::vector<PV>& args) {
        std::string text = "SELECT " + fn;
        std::vector<Value> vals;
        if (!args.empty() || (fn != "UID" && fn != "USER" && fn != "SYSDATE")) {
            text += "(";
            for (size_t k = 0; k < args.size(); ++k) {
                std::string ph = ":" + std::to_string(k + 1);
                // a date travels as text in a fixed format, so that the function sees a DATE
                if (args[k].k == PV::Date) ph = "TO_DATE(" + ph + ", 'YYYY-MM-DD HH24:MI:SS')";
                text += (k ? ", " : "") + ph;
            }
            text += ")";
        }
        text += " FROM DUAL";
        for (const auto& a : args) {
            if (a.k == PV::Date) { Value v; v.kind = ValueRef::Text; v.bytes = rt::FormatDate(a.d, "YYYY-MM-DD HH24:MI:SS"); vals.push_back(v); }
            else vals.push_back(ToValue(a));
        }
        auto& st = sess->scalars[text];
        try {
            if (!st) st = sql.PrepareSql(text);
            BindValues bv;
            bv.slots.resize(vals.size());
            for (size_t k = 0; k < vals.size(); ++k) { bv.slots[k].values.push_back(vals[k].Ref()); bv.slots[k].declaredType = args[k].k == PV::Num ? OraType::Number : OraType::Varchar2; }
            st->Execute(bv);
            PV r;
            if (st->Fetch()) r = FromRef(st->Column(0), st->Columns()[0].DataType);
            st->CloseResult();
            return r;
        } catch (const EngineError& x) {
            st.reset();
            throw FromEngine(x);
        }
    }

    // Functions evaluated here (the common ones; everything else goes to SQL).
    bool Builtin(const std::string& fn, const Expr& e, Frame* f, PV& out) {
        auto arg = [&](size_t i) { return Eval(*e.args.at(i).value, f); };
        size_t n = e.args.size();
        if (fn == "RAISE_APPLICATION_ERROR") {
            if (n < 2) throw Compile(e.line, e.col, "PLS-00306: wrong number or types of arguments in call to 'RAISE_APPLICATION_ERROR'");
            double code = ToNum(arg(0));
            std::string msg = ToStr(arg(1));
            bool keep = n > 2 && TriState(arg(2)) == 1;
            if (code > -20000 || code < -20999) throw Err(21000, "error number argument to raise_application_error of " + NumText(code) + " is out of range");
            PlError x;
            x.code = static_cast<int>(-code);
            x.message = Ora(x.code, msg);
            if (keep && !handling.empty()) { x.stack.push_back(handling.back().message); for (auto& l : handling.back().stack) x.stack.push_back(l); }
            throw x;
        }
        if (fn == "NVL" && n == 2) { PV a = arg(0); out = a.k == PV::Null ? arg(1) : a; return true; }
        if (fn == "NVL2" && n == 3) { PV a = arg(0); out = a.k != PV::Null ? arg(1) : arg(2); return true; }
        if (fn == "COALESCE") { for (size_t k = 0; k < n; ++k) { PV a = arg(k); if (a.k != PV::Null) { out = a; return true; } } out = {}; return true; }
        if (fn == "SQLCODE" && n == 0) { out = PV::Number(handling.empty() ? 0 : SqlCode(handling.back())); return true; }
        if (fn == "SQLERRM") {
            if (n == 0) { out = PV::String(handling.empty() ? std::string("ORA-0000: normal, successful completion") : handling.back().message); return true; }
            double c = ToNum(arg(0));
            if (c == 0) out = PV::String("ORA-0000: normal, successful completion");
            else if (c > 0) out = PV::String("User-Defined Exception");
            else out = SqlScalar("SQLERRM", {PV::Number(c)}).k == PV::Null ? PV::String(Ora(static_cast<int>(-c), "Message " + NumText(-c) + " not found")) : PV::String(Ora(static_cast<int>(-c), ""));
            return true;
        }
        if ((fn == "UPPER" || fn == "LOWER") && n == 1) {
            PV a = arg(0);
            if (a.k == PV::Null) { out = a; return true; }
            if (a.k == PV::Str) {
                bool ascii = true;
                for (unsigned char ch : a.s) if (ch >= 0x80) ascii = false;
                if (ascii) {
                    std::string s = a.s;
                    for (auto& ch : s) ch = static_cast<char>(fn == "UPPER" ? std::toupper(static_cast<unsigned char>(ch)) : std::tolower(static_cast<unsigned char>(ch)));
                    out = PV::String(s);
                    return true;
                }
            }
            return false;
        }
        if (fn == "LENGTH" && n == 1) {
            PV a = arg(0);
            if (a.k == PV::Null) { out = a; return true; }
            std::string s = ToStr(a);
            size_t chars = 0;
            for (unsigned char ch : s) if ((ch & 0xC0) != 0x80) ++chars;
            out = PV::Number(static_cast<double>(chars));
            return true;
        }
        if (fn == "TO_CHAR" && n == 1) { PV a = arg(0); if (a.k == PV::Bool) return false; out = a.k == PV::Null ? a : PV::String(ToStr(a)); return true; }
        if (fn == "TO_NUMBER" && n == 1) { PV a = arg(0); out = a.k == PV::Null ? a : PV::Number(ToNum(a)); return true; }
        if (fn == "ABS" && n == 1) { PV a = arg(0); out = a.k == PV::Null ? a : PV::Number(std::fabs(ToNum(a))); return true; }
        if (fn == "MOD" && n == 2) {
            PV a = arg(0), b = arg(1);
            if (a.k == PV::Null || b.k == PV::Null) { out = {}; return true; }
            double x = ToNum(a), y = ToNum(b);
            out = PV::Number(y == 0 ? x : x - y * std::trunc(x / y));
            return true;
        }
        if ((fn == "TRUNC" || fn == "ROUND") && (n == 1 || n == 2)) {
            PV a = arg(0);
            if (a.k == PV::Date) return false;
            if (a.k == PV::Null) { out = a; return true; }
            double x = ToNum(a);
            double digits = n == 2 ? ToNum(arg(1)) : 0;
            double m = std::pow(10.0, digits);
            double r = fn == "TRUNC" ? std::trunc(x * m) / m : (x >= 0 ? std::floor(x * m + 0.5) : -std::floor(-x * m + 0.5)) / m;
            out = PV::Number(r);
            return true;
        }
        if ((fn == "FLOOR" || fn == "CEIL") && n == 1) { PV a = arg(0); out = a.k == PV::Null ? a : PV::Number(fn == "FLOOR" ? std::floor(ToNum(a)) : std::ceil(ToNum(a))); return true; }
        if (fn == "SUBSTR" && (n == 2 || n == 3)) {
            PV a = arg(0), b = arg(1), c = n == 3 ? arg(2) : PV::Number(1e18);
            if (a.k == PV::Null || b.k == PV::Null || c.k == PV::Null) { out = {}; return true; }
            std::string s = ToStr(a);
            bool ascii = true;
            for (unsigned char ch : s) if (ch >= 0x80) ascii = false;
            if (!ascii) return false;
            long long len = static_cast<long long>(s.size());
            long long pos = static_cast<long long>(std::trunc(ToNum(b)));
            long long cnt = static_cast<long long>(std::min(1e18, std::trunc(ToNum(c))));
            if (pos == 0) pos = 1;
            if (pos < 0) pos = len + pos + 1;
            if (pos < 1 || pos > len || cnt < 1) { out = {}; return true; }
            out = PV::String(s.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(std::min(cnt, len - pos + 1))));
            return true;
        }
        if ((fn == "SYSDATE" || fn == "USER") && n == 0) { out = fn == "USER" ? PV::String(sql.UserName()) : PV::DateVal(rt::RoundToSecond(rt::Now())); return true; }
        return false;
    }

    // ------------------------------------------------------------------ binds and l-values
    PV* BindRef(const Expr& e, bool forWrite) {
        // trigger :new / :old
        if (!trig.empty() && (e.text == trig.back().newName || e.text == trig.back().oldName)) {
            if (e.names.empty()) throw Compile(e.line, e.col, "PLS-00049: bad bind variable '" + e.text + "'");
            return TriggerField(e.text == trig.back().newName, e.names[0], forWrite, e);
        }
        for (size_t k = 0; k < bindNames.size(); ++k) {
            if (bindNames[k] == e.text) {
                if (forWrite) bindAssigned[k] = true;
                PV* p = &binds[k];
                for (const auto& fld : e.names) {
                    if (p->k != PV::Rec || !p->c) throw Compile(e.line, e.col, "PLS-00049: bad bind variable '" + e.text + "'");
                    p = p->c->Field(fld);
                    if (!p) throw Compile(e.line, e.col, "PLS-00049: bad bind variable '" + e.text + "." + fld + "'");
                }
                return p;
            }
        }
        throw Compile(e.line, e.col, "PLS-00049: bad bind variable '" + e.text + "'");
    }
    std::vector<PV> trigScratch;
    std::vector<std::vector<PV>> trigNew, trigOld;
    PV* TriggerField(bool isNew, const std::string& col, bool forWrite, const Expr& e) {
        auto& ctx = trig.back();
        const auto& cols = *ctx.cols;
        for (size_t k = 0; k < cols.size(); ++k) {
            if (cols[k] != col) continue;
            auto& vec = isNew ? trigNew.back() : trigOld.back();
            if (forWrite && !isNew) throw Compile(e.line, e.col, "PLS-00355: use of pl/sql table not allowed in this context");
            if (forWrite && (!ctx.row || !ctx.row->newValues)) throw Err(4084, "cannot change NEW values for this trigger type");
            if (k < vec.size()) return &vec[k];
        }
        throw Compile(e.line, e.col, "PLS-00049: bad bind variable '" + std::string(isNew ? ctx.newName : ctx.oldName) + "." + col + "'");
    }

    struct LRef {
        PV* v = nullptr;
        TI t;
        Sym* sym = nullptr;
        int bind = -1;
    };
    LRef Target(const Expr& e, Frame* f) {
        LRef r;
        if (e.kind == Expr::Bind) {
            r.v = BindRef(e, true);
            for (size_t k = 0; k < bindNames.size(); ++k) if (bindNames[k] == e.text) r.bind = static_cast<int>(k);
            if (r.bind >= 0 && bindSlots[static_cast<size_t>(r.bind)]) {
                const auto* sl = bindSlots[static_cast<size_t>(r.bind)];
                if (sl->declaredType == OraType::Varchar2 || sl->declaredType == OraType::Char || sl->declaredType == OraType::Long) {
                    if (sl->maxBytes > 0 && !sl->isTable) r.t = Scalar(TypeInfo::Varchar, -1);
                }
            }
            return r;
        }
        if (e.kind == Expr::Call && e.base) {
            PV* t = BindRef(*e.base, true);
            for (size_t k = 0; k < bindNames.size(); ++k) if (bindNames[k] == e.base->text) r.bind = static_cast<int>(k);
            PV idx = Eval(*e.args.at(0).value, f);
            if (t->k != PV::Tab) { *t = PV(); t->k = PV::Tab; t->c = std::make_shared<Composite>(); }
            r.v = &t->c->tab[KeyOf(idx, *t->c)];
            return r;
        }
        if (e.kind != Expr::Name && e.kind != Expr::Call) throw Compile(e.line, e.col, "PLS-00363: expression cannot be used as an assignment target");
        const auto& n = e.names;
        Sym* s = Lookup(n[0], f);
        size_t k = 1;
        if (!s || (s->k != Sym::Var && s->k != Sym::Bind)) {
            if (s && s->k == Sym::Const) throw Compile(e.line, e.col, "PLS-00363: expression '" + n[0] + "' cannot be used as an assignment target");
            Sym* m = n.size() >= 2 ? ResolvePackageMember(n, f, &k) : nullptr;
            if (!m) throw Compile(e.line, e.col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
            if (m->k == Sym::Const) throw Compile(e.line, e.col, "PLS-00363: expression '" + Join(n) + "' cannot be used as an assignment target");
            s = m;
        }
        r.sym = s;
        r.v = &s->v;
        r.t = s->t;
        for (; k < n.size(); ++k) {
            if (r.v->k != PV::Rec || !r.v->c) throw Compile(e.line, e.col, "PLS-00487: Invalid reference to variable '" + n[k - 1] + "'");
            PV* q = r.v->c->Field(n[k]);
            if (!q) throw Compile(e.line, e.col, "PLS-00302: component '" + n[k] + "' must be declared");
            TI ft;
            if (r.v->c->type) for (auto& [fn, tt] : r.v->c->type->fields) if (fn == n[k]) ft = tt;
            r.v = q;
            r.t = ft;
            if (r.v->c && r.v->k == PV::Rec) r.v->c->nullCollection = false;
        }
        if (e.kind == Expr::Call) {
            if (r.v->k != PV::Tab || !r.v->c) throw Compile(e.line, e.col, "PLS-00308: this construct is not allowed as the origin of an assignment");
            PV idx = Eval(*e.args.at(0).value, f);
            TI elem = r.v->c->type ? r.v->c->type->elem : nullptr;
            auto key = KeyOf(idx, *r.v->c);
            auto it = r.v->c->tab.find(key);
            if (it == r.v->c->tab.end()) {
                if (r.v->c->type && !r.v->c->type->stringIndex && r.v->c->type->varray) throw Err(6533, "Subscript beyond count");
                it = r.v->c->tab.emplace(key, Initial(elem)).first;
            }
            r.v = &it->second;
            r.t = elem;
            for (const auto& fld : e.tail) {
                if (r.v->k != PV::Rec || !r.v->c) throw Compile(e.line, e.col, "PLS-00487: Invalid reference to variable");
                PV* q = r.v->c->Field(fld);
                if (!q) throw Compile(e.line, e.col, "PLS-00302: component '" + fld + "' must be declared");
                TI ft;
                if (r.v->c->type) for (auto& [fn, tt] : r.v->c->type->fields) if (fn == fld) ft = tt;
                r.v = q;
                r.t = ft;
            }
        }
        return r;
    }
    void Assign(const Expr& target, PV v, Frame* f) {
        LRef r = Target(target, f);
        if (r.bind >= 0 && bindSlots[static_cast<size_t>(r.bind)] && bindSlots[static_cast<size_t>(r.bind)]->isTable == false) {
            const auto* sl = bindSlots[static_cast<size_t>(r.bind)];
            if (v.k != PV::Null && (sl->declaredType == OraType::Varchar2 || sl->declaredType == OraType::Char) && sl->maxBytes > 0) {
                std::string s = v.k == PV::Bool ? std::string() : ToStr(v);
                if (v.k == PV::Bool) throw Compile(target.line, target.col, "PLS-00382: expression is of wrong type");
                if (s.size() > sl->maxBytes) throw ValueError("character string buffer too small");
            }
        }
        *r.v = Coerce(std::move(v), r.t);
        if (r.sym) r.sym->assigned = true;
    }

    // ------------------------------------------------------------------ statements
    void Line(const Stmt& s) { if (!stack.empty()) stack.back().line = s.line; }
    void Check() {
        if (sql.Interrupted()) throw Err(1013, "user requested cancel of current operation");
    }
    void ExecList(const std::vector<StmtP>& list, Frame* f) {
        for (const auto& s : list) Exec(*s, f);
    }
    void Exec(const Stmt& s, Frame* f) {
        Line(s);
        switch (s.kind) {
        case Stmt::Null: return;
        case Stmt::Assign: Assign(*s.target, Eval(*s.expr, f), f); return;
        case Stmt::CallS: CallStatement(*s.expr, f); return;
        case Stmt::If: {
            for (size_t k = 0; k < s.conds.size(); ++k) {
                if (CondTrue(*s.conds[k], f)) { ExecList(s.branches[k], f); return; }
            }
            if (s.hasElse) ExecList(s.branches.back(), f);
            return;
        }
        case Stmt::CaseS: {
            PV operand;
            if (s.expr) operand = Eval(*s.expr, f);
            for (size_t k = 0; k < s.conds.size(); ++k) {
                bool hit;
                if (s.expr) { PV w = Eval(*s.conds[k], f); hit = operand.k != PV::Null && w.k != PV::Null && Compare(operand, w) == 0; }
                else hit = CondTrue(*s.conds[k], f);
                if (hit) { ExecList(s.branches[k], f); return; }
            }
            if (s.hasElse) { ExecList(s.branches.back(), f); return; }
            throw Err(6592, "CASE not found while executing CASE statement");
        }
        case Stmt::Loop:
            for (;;) {
                Check();
                if (!LoopBody(s, f)) return;
            }
        case Stmt::While:
            while (CondTrue(*s.expr, f)) {
                Check();
                if (!LoopBody(s, f)) return;
            }
            return;
        case Stmt::ForNum: {
            PV lo = Eval(*s.lo, f), hi = Eval(*s.hi, f);
            if (lo.k == PV::Null || hi.k == PV::Null) throw ValueError("");
            double a = std::round(ToNum(lo)), b = std::round(ToNum(hi));
            Frame lf;
            lf.parent = f;
            Sym& v = lf.Add(Sym::Const, s.var);
            v.t = Scalar(TypeInfo::Number);
            if (!s.reverse) {
                for (double i = a; i <= b; i += 1) {
                    v.v = PV::Number(i);
                    Check();
                    if (!LoopBody(s, &lf)) return;
                }
            } else {
                for (double i = b; i >= a; i -= 1) {
                    v.v = PV::Number(i);
                    Check();
                    if (!LoopBody(s, &lf)) return;
                }
            }
            return;
        }
        case Stmt::ForCursor: ForCursor(s, f); return;
        case Stmt::Exit:
        case Stmt::Continue:
            if (s.expr && !CondTrue(*s.expr, f)) return;
            throw ExitSignal{s.label, s.kind == Stmt::Continue};
        case Stmt::Return:
            if (s.expr) {
                if (!retSlot) throw Compile(s.line, s.col, "PLS-00372: In a procedure, RETURN statement cannot contain an expression");
                *retSlot = Eval(*s.expr, f);
                retSet = true;
            }
            throw ReturnSignal{};
        case Stmt::Raise: Raise(s, f); return;
        case Stmt::BlockS: RunBlockIn(*s.block, f); return;
        case Stmt::Sql: RunSql(s, f); return;
        case Stmt::SelectInto: SelectInto(s, f); return;
        case Stmt::Open: OpenCursor(s, f); return;
        case Stmt::OpenFor: OpenFor(s, f); return;
        case Stmt::Fetch: Fetch(s, f); return;
        case Stmt::Close: {
            CursorState* c = CursorOf(*s.target, f, false);
            if (!c || !c->open) throw Err(1001, "invalid cursor");
            if (c->st) c->st->CloseResult();
            c->open = false;
            return;
        }
        case Stmt::ExecImm: ExecImmediate(s, f); return;
        case Stmt::ForAll: {
            PV lo = Eval(*s.lo, f), hi = s.hi ? Eval(*s.hi, f) : PV();
            Frame lf;
            lf.parent = f;
            Sym& v = lf.Add(Sym::Const, s.var);
            v.t = Scalar(TypeInfo::Number);
            uint64_t total = 0;
            if (!s.hi) {
                // INDICES OF collection
                if (lo.k != PV::Tab) return;
                for (auto& [k, x] : lo.c->tab) { v.v = PV::Number(k.n); Exec(*s.inner, &lf); total += sqlRowcount; }
            } else {
                for (double i = ToNum(lo); i <= ToNum(hi); i += 1) { v.v = PV::Number(i); Exec(*s.inner, &lf); total += sqlRowcount; }
            }
            sqlRowcount = total;
            sqlFound = total > 0;
            return;
        }
        case Stmt::PipeRow: return;
        }
    }
    // Runs a loop body once; false when the loop is left.
    bool LoopBody(const Stmt& s, Frame* f) {
        try {
            ExecList(s.body, f);
        } catch (const ExitSignal& x) {
            if (!x.label.empty() && x.label != s.label) throw;
            return x.isContinue;
        }
        return true;
    }
    void Raise(const Stmt& s, Frame* f) {
        if (s.varNames.empty()) {
            if (handling.empty()) throw Compile(s.line, s.col, "PLS-00367: a RAISE statement with no exception name must be inside an exception handler");
            PlError x = handling.back();
            throw x;
        }
        PlError x = ExceptionFor(s.varNames, f, s.line, s.col);
        throw x;
    }
    // The exception a name stands for (in RAISE and handlers).
    PlError ExceptionFor(const std::vector<std::string>& n, Frame* f, int line, int col) {
        PlError x;
        Sym* s = n.size() == 1 ? Lookup(n[0], f) : ResolvePackageMember(n, f);
        if (s && s->k == Sym::Exc) {
            if (s->excCode) {
                x.code = -s->excCode;
                if (s->excCode == 100) x.code = 1403;
                x.message = Ora(x.code, "");
                if (x.message.size() >= 2 && x.message.compare(x.message.size() - 2, 2, ": ") == 0) x.message.erase(x.message.size() - 2);
                x.excId = s->excId;
                return x;
            }
            x.code = 1;
            x.userDefined = true;
            x.excId = s->excId;
            x.message = "User-Defined Exception";
            return x;
        }
        std::string last = n.back();
        std::vector<std::string> nm = n;
        if (nm.size() == 3 && nm[0] == "SYS") nm.erase(nm.begin());
        if (nm.size() == 1 || (nm.size() == 2 && nm[0] == "STANDARD")) {
            if (int code = PredefinedCode(last)) return Err(code, PredefinedText(code));
        }
        if (nm.size() == 2) {
            if (NativePackage* np = NativeFor(nm[0])) {
                if (int code = np->ExceptionCode(nm[1])) {
                    x.code = -code;
                    x.message = Ora(x.code, "");
                    if (x.message.size() >= 2 && x.message.compare(x.message.size() - 2, 2, ": ") == 0) x.message.erase(x.message.size() - 2);
                    return x;
                }
            }
        }
        throw Compile(line, col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
    }
    static std::string PredefinedText(int code) {
        switch (code) {
        case 1403: return "no data found";
        case 1422: return "exact fetch returns more than requested number of rows";
        case 1: return "unique constraint violated";
        case 6502: return "PL/SQL: numeric or value error";
        case 1476: return "divisor is equal to zero";
        case 1722: return "invalid number";
        case 1001: return "invalid cursor";
        case 6511: return "PL/SQL: cursor already open";
        case 6592: return "CASE not found while executing CASE statement";
        case 6501: return "PL/SQL: program error";
        case 6533: return "Subscript beyond count";
        case 6532: return "Subscript outside of limit";
        case 6531: return "Reference to uninitialized collection";
        case 6530: return "Reference to uninitialized composite";
        default: return "";
        }
    }
    bool Matches(const Handler& h, const PlError& x, Frame* f, bool& others) {
        for (const auto& n : h.names) {
            if (n.size() == 1 && n[0] == "OTHERS") { others = true; return true; }
            PlError want;
            try {
                want = ExceptionFor(n, f, 0, 0);
            } catch (const CompileFailure&) {
                continue;
            }
            if (want.userDefined) { if (x.excId == want.excId && x.userDefined) return true; continue; }
            if (want.code == x.code && !x.userDefined) return true;
        }
        return false;
    }
    void RunBlockIn(const Block& b, Frame* parent) {
        Frame fr;
        fr.parent = parent;
        RunBlockFrame(b, fr);
    }
    void RunBlockFrame(const Block& b, Frame& fr) {
        // an exception in the declarations is not handled by this block's handlers
        try {
            Declare(b.decls, &fr);
        } catch (const EngineError& ee) {
            throw FromEngine(ee);
        }
        try {
            ExecList(b.body, &fr);
        } catch (PlError& x) {
            if (b.handlers.empty()) throw;
            HandleIn(b, fr, x);
        } catch (const EngineError& ee) {
            PlError x = FromEngine(ee);
            if (b.handlers.empty()) throw x;
            HandleIn(b, fr, x);
        }
    }
    void HandleIn(const Block& b, Frame& fr, PlError& x) {
        for (const auto& h : b.handlers) {
            bool others = false;
            if (!Matches(h, x, &fr, others)) continue;
            handling.push_back(x);
            struct Pop { std::vector<PlError>& v; ~Pop() { v.pop_back(); } } pop{handling};
            ExecList(h.body, &fr);
            return;
        }
        throw x;
    }

    // ------------------------------------------------------------------ SQL
    // Columns of the tables a statement names, so that column names are not taken for variables.
    std::set<std::string> TableColumns(const std::vector<Tok>& t, size_t b, size_t e) {
        std::set<std::string> cols;
        std::set<std::string> seen;
        for (size_t k = b; k < e; ++k) {
            bool tableNext = t[k].Is("FROM") || t[k].Is("JOIN") || t[k].Is("UPDATE") || (t[k].Is("INTO") && k > b && false) ||
                             (t[k].Is("INTO") && b < e && t[b].Is("INSERT")) || (t[k].Is("INTO") && b < e && t[b].Is("MERGE")) ||
                             t[k].Is("USING") || (t[k].Is("DELETE") && k + 1 < e && !t[k + 1].Is("FROM"));
            std::vector<size_t> starts;
            if (tableNext && k + 1 < e) starts.push_back(k + 1);
            // FROM a, b
            if (t[k].Is(",") ) {
                // a comma directly in a FROM list: look back for FROM at the same depth
                int depth = 0;
                for (size_t j = k; j-- > b;) {
                    if (t[j].Is(")")) ++depth;
                    else if (t[j].Is("(")) { if (depth == 0) break; --depth; }
                    else if (depth == 0 && (t[j].Is("WHERE") || t[j].Is("SELECT") || t[j].Is("SET") || t[j].Is("BY") || t[j].Is("VALUES"))) break;
                    else if (depth == 0 && t[j].Is("FROM")) { starts.push_back(k + 1); break; }
                }
            }
            for (size_t s : starts) {
                if (s >= e || (t[s].kind != T::Ident && t[s].kind != T::QIdent)) continue;
                std::vector<std::string> name{t[s].text};
                size_t j = s + 1;
                while (j + 1 < e && t[j].Is(".") && (t[j + 1].kind == T::Ident || t[j + 1].kind == T::QIdent)) { name.push_back(t[j + 1].text); j += 2; }
                std::string key = Join(name);
                if (name.size() == 1 && (name[0] == "DUAL")) continue;
                if (!seen.insert(key).second) continue;
                try {
                    for (const auto& c : DescribeTable(name)) cols.insert(c.Name);
                } catch (const EngineError&) {
                }
            }
        }
        return cols;
    }
    // Whether identifier `n` at token k names a PL/SQL value in scope.
    bool IsPlName(const std::string& n, Frame* f) {
        Sym* s = Lookup(n, f);
        return s && (s->k == Sym::Var || s->k == Sym::Const || s->k == Sym::Bind);
    }
    std::shared_ptr<SqlPlan> PlanFor(const void* key, const SqlText& range, Frame* f, const Unit* unit, bool skipInto,
                                     size_t intoFrom = 0, size_t intoTo = 0) {
        auto it = sess->plans.find({unit ? unit->id : 0, key});
        if (it != sess->plans.end()) return it->second;
        auto plan = std::make_shared<SqlPlan>();
        const auto& t = unit->toks;
        const std::string& src = unit->source;
        std::set<std::string> cols = TableColumns(t, range.begin, range.end);
        std::string out;
        size_t last = t[range.begin].offset;
        int n = 0;
        auto placeholder = [&](size_t from, size_t to, ExprP bind) {
            out += src.substr(last, t[from].offset - last);
            out += ":" + std::to_string(++n);
            last = t[to - 1].offset + t[to - 1].length;
            plan->binds.push_back(std::move(bind));
        };
        // RETURNING ... INTO targets
        size_t retInto = range.end;
        for (size_t k = range.begin; k < range.end; ++k)
            if ((t[k].Is("RETURNING") || t[k].Is("RETURN")) && !(t[range.begin].Is("SELECT") || t[range.begin].Is("WITH"))) {
                for (size_t j = k + 1; j < range.end; ++j) if (t[j].Is("INTO")) { retInto = j; break; }
            }
        plan->firstWord = t[range.begin].text;
        plan->isQuery = t[range.begin].Is("SELECT") || t[range.begin].Is("WITH") || t[range.begin].Is("(");
        for (size_t k = range.begin; k < range.end && k < retInto; ++k) {
            if (skipInto && k == intoFrom) {
                out += src.substr(last, t[k].offset - last);
                last = t[intoTo - 1].offset + t[intoTo - 1].length;
                k = intoTo - 1;
                continue;
            }
            const Tok& tk = t[k];
            bool afterDot = k > range.begin && t[k - 1].Is(".");
            if (tk.kind == T::Bind) {
                // :name or :new.col
                auto e = std::make_unique<Expr>(Expr::Bind);
                e->text = tk.text;
                e->line = tk.line;
                e->col = tk.col;
                size_t end = k + 1;
                if (!trig.empty() && (tk.text == trig.back().newName || tk.text == trig.back().oldName) && end + 1 < range.end && t[end].Is(".")) {
                    e->names.push_back(t[end + 1].text);
                    end += 2;
                }
                placeholder(k, end, std::move(e));
                k = end - 1;
                continue;
            }
            if (tk.kind != T::Ident || afterDot) continue;
            if (k + 1 < range.end && t[k + 1].Is("(")) continue;   // a function
            if (k + 1 < range.end && t[k + 1].Is("=>")) continue;
            if (cols.count(tk.text) && !(k + 2 < range.end && t[k + 1].Is(".") && IsRecordName(tk.text, f))) continue;
            if (!IsPlName(tk.text, f)) {
                // package.variable
                if (k + 2 < range.end && t[k + 1].Is(".") && t[k + 2].kind == T::Ident && !(k + 3 < range.end && t[k + 3].Is("("))) {
                    std::vector<std::string> nm{tk.text, t[k + 2].text};
                    Sym* m = ResolvePackageMember(nm, f);
                    if (m && (m->k == Sym::Var || m->k == Sym::Const)) {
                        auto e = std::make_unique<Expr>(Expr::Name);
                        e->names = nm;
                        placeholder(k, k + 3, std::move(e));
                        k += 2;
                    }
                }
                continue;
            }
            auto e = std::make_unique<Expr>(Expr::Name);
            e->names.push_back(tk.text);
            e->line = tk.line;
            e->col = tk.col;
            size_t end = k + 1;
            while (end + 1 < range.end && t[end].Is(".") && t[end + 1].kind == T::Ident) { e->names.push_back(t[end + 1].text); end += 2; }
            placeholder(k, end, std::move(e));
            k = end - 1;
        }
        if (retInto < range.end) {
            out += src.substr(last, t[retInto].offset - last);
            out += "INTO ";
            size_t k = retInto + 1;
            bool first = true;
            while (k < range.end) {
                // one target: name[.name] or :bind
                size_t b = k;
                while (k < range.end && !t[k].Is(",")) ++k;
                P2 p(t, b, k);
                plan->outTargets.push_back(nullptr);
                if (!first) out += ", ";
                first = false;
                out += ":" + std::to_string(++n);
                plan->outSlots.push_back(static_cast<size_t>(n - 1));
                plan->binds.push_back(nullptr);
                plan->outExprs.push_back(p.Parse());
                if (k < range.end) ++k;
            }
            last = t[range.end - 1].offset + t[range.end - 1].length;
        } else {
            out += src.substr(last, t[range.end - 1].offset + t[range.end - 1].length - last);
        }
        plan->text = out;
        sess->plans[{unit ? unit->id : 0, key}] = plan;
        return plan;
    }
    bool IsRecordName(const std::string& n, Frame* f) {
        Sym* s = Lookup(n, f);
        return s && (s->k == Sym::Var || s->k == Sym::Const) && s->v.k == PV::Rec;
    }
    // A tiny parser of INTO targets inside SQL text.
    struct P2 {
        const std::vector<Tok>& t;
        size_t b, e;
        P2(const std::vector<Tok>& tt, size_t bb, size_t ee) : t(tt), b(bb), e(ee) {}
        ExprP Parse() {
            if (b >= e) return nullptr;
            if (t[b].kind == T::Bind) {
                auto x = std::make_unique<Expr>(Expr::Bind);
                x->text = t[b].text;
                x->line = t[b].line;
                x->col = t[b].col;
                for (size_t k = b + 1; k + 1 < e; k += 2) if (t[k].Is(".")) x->names.push_back(t[k + 1].text);
                return x;
            }
            auto x = std::make_unique<Expr>(Expr::Name);
            x->line = t[b].line;
            x->col = t[b].col;
            for (size_t k = b; k < e; ++k) if (t[k].kind == T::Ident || t[k].kind == T::QIdent) x->names.push_back(t[k].text);
            return x;
        }
    };
    Statement& Prepared(const void* key, const std::string& text) {
        const Unit* u = CurrentUnit();
        auto& st = sess->stmts[{u ? u->id : 0, key}];
        if (!st) {
            try {
                st = sql.PrepareSql(text);
            } catch (const EngineError& x) {
                throw FromEngine(x);
            }
        }
        return *st;
    }
    BindValues BindsFor(SqlPlan& plan, Frame* f, std::vector<Value>& store) {
        BindValues bv;
        bv.slots.resize(plan.binds.size());
        store.resize(plan.binds.size());
        for (size_t k = 0; k < plan.binds.size(); ++k) {
            auto& sl = bv.slots[k];
            if (!plan.binds[k]) { sl.maxBytes = 32767; sl.values.push_back(ValueRef::MakeNull()); continue; }
            PV v = Eval(*plan.binds[k], f);
            if (v.k == PV::Bool) throw Compile(plan.binds[k]->line, plan.binds[k]->col, "PLS-00382: expression is of wrong type");
            store[k] = ToValue(v);
            sl.values.push_back(store[k].Ref());
            sl.declaredType = v.k == PV::Num ? OraType::Number : v.k == PV::Date ? OraType::Date : v.k == PV::Raw ? OraType::Raw : OraType::Varchar2;
            sl.maxBytes = 32767;
        }
        return bv;
    }
    void RunSql(const Stmt& s, Frame* f) {
        const Unit* u = CurrentUnit();
        auto plan = PlanFor(&s, s.sql, f, u, false);
        Statement& st = Prepared(&s, plan->text);
        std::vector<Value> store;
        BindValues bv = BindsFor(*plan, f, store);
        try {
            st.Execute(bv);
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        sqlFoundKnown = true;
        sqlRowcount = st.RowsProcessed();
        sqlFound = sqlRowcount > 0;
        if (plan->firstWord == "COMMIT" || plan->firstWord == "ROLLBACK" || plan->firstWord == "SAVEPOINT") { sqlFoundKnown = false; }
        for (size_t k = 0; k < plan->outSlots.size(); ++k) {
            const auto& outs = st.OutValues(plan->outSlots[k]);
            const Expr* target = plan->outExprs[k].get();
            if (!target) continue;
            LRef r = Target(*target, f);
            if (r.v->k == PV::Tab) {
                r.v->c->tab.clear();
                double i = 1;
                for (const auto& o : outs) r.v->c->tab[TabKey{false, i++, {}}] = FromValue(o);
            } else {
                if (outs.size() > 1) throw Err(1422, "exact fetch returns more than requested number of rows");
                PV v = outs.empty() ? PV() : FromValue(outs[0], r.t && r.t->b == TypeInfo::Date ? OraType::Date : OraType::Varchar2);
                if (!outs.empty() && r.t && (r.t->b == TypeInfo::Clob || r.t->b == TypeInfo::Blob)) {
                    // RETURNING a LOB column into a LOB variable gives a locator of the row
                    LobLocation l = st.OutLobLocation(plan->outSlots[k], 0);
                    if (l.Valid()) {
                        auto lr = std::make_shared<LobRef>();
                        lr->where = std::move(l);
                        lr->binary = r.t->b == TypeInfo::Blob;
                        v.lob = std::move(lr);
                    }
                }
                Assign(*target, v, f);
            }
        }
    }
    // Reads the current row of a statement into targets (one record, or one variable per column).
    void IntoTargets(Statement& st, const std::vector<ExprP>& into, Frame* f, const Expr* where) {
        const auto& cols = st.Columns();
        if (into.size() == 1) {
            LRef r = Target(*into[0], f);
            if (r.v->k == PV::Rec && r.v->c) {
                if (r.v->c->vals.size() != cols.size()) throw Err(6504, "PL/SQL: Return types of Result Set variables or query do not match");
                for (size_t k = 0; k < cols.size(); ++k) {
                    TI ft = r.v->c->type && k < r.v->c->type->fields.size() ? r.v->c->type->fields[k].second : nullptr;
                    r.v->c->vals[k] = Coerce(ColumnPV(st, k, cols[k].DataType), ft);
                }
                r.v->c->nullCollection = false;
                return;
            }
        }
        if (into.size() != cols.size()) {
            (void)where;
            throw Err(6550, into.size() < cols.size() ? "PLS-00403: expression cannot be used as an INTO-target" : "PL/SQL: ORA-00913: too many values");
        }
        for (size_t k = 0; k < cols.size(); ++k) Assign(*into[k], ColumnPV(st, k, cols[k].DataType), f);
    }
    void SelectInto(const Stmt& s, Frame* f) {
        const Unit* u = CurrentUnit();
        auto plan = PlanFor(&s, s.sql, f, u, true, static_cast<size_t>(s.lo->num), static_cast<size_t>(s.hi->num));
        Statement& st = Prepared(&s, plan->text);
        std::vector<Value> store;
        BindValues bv = BindsFor(*plan, f, store);
        try {
            st.Execute(bv);
            if (s.bulk) {
                // each target is a collection: one element per row
                std::vector<LRef> targets;
                for (const auto& t : s.into) {
                    LRef r = Target(*t, f);
                    if (r.v->k != PV::Tab || !r.v->c) throw Compile(t->line, t->col, "PLS-00497: cannot mix between single row and multi-row (BULK) in INTO list");
                    r.v->c->tab.clear();
                    r.v->c->nullCollection = false;
                    targets.push_back(r);
                }
                double i = 0;
                const auto& cols = st.Columns();
                while (st.Fetch()) {
                    ++i;
                    if (targets.size() == 1 && cols.size() > 1) {
                        TI et = targets[0].v->c->type ? targets[0].v->c->type->elem : nullptr;
                        PV rec = Initial(et ? et : RowType(cols));
                        for (size_t k = 0; k < cols.size() && k < rec.c->vals.size(); ++k) rec.c->vals[k] = ColumnPV(st, k, cols[k].DataType);
                        targets[0].v->c->tab[TabKey{false, i, {}}] = rec;
                    } else {
                        for (size_t k = 0; k < targets.size() && k < cols.size(); ++k) {
                            TI et = targets[k].v->c->type ? targets[k].v->c->type->elem : nullptr;
                            targets[k].v->c->tab[TabKey{false, i, {}}] = Coerce(ColumnPV(st, k, cols[k].DataType), et);
                        }
                    }
                }
                st.CloseResult();
                sqlFoundKnown = true;
                sqlRowcount = static_cast<uint64_t>(i);
                sqlFound = i > 0;
                return;
            }
            if (!st.Fetch()) {
                st.CloseResult();
                sqlFoundKnown = true;
                sqlRowcount = 0;
                sqlFound = false;
                throw Err(1403, "no data found");
            }
            IntoTargets(st, s.into, f, nullptr);
            if (st.Fetch()) {
                st.CloseResult();
                sqlFoundKnown = true;
                sqlRowcount = 2;
                sqlFound = true;
                throw Err(1422, "exact fetch returns more than requested number of rows");
            }
            st.CloseResult();
        } catch (const EngineError& x) {
            st.CloseResult();
            throw FromEngine(x);
        }
        sqlFoundKnown = true;
        sqlRowcount = 1;
        sqlFound = true;
    }
    // The cursor state an expression names (a cursor, a cursor variable, a bind).
    CursorState* CursorOf(const Expr& e, Frame* f, bool create) {
        PV* p = nullptr;
        if (e.kind == Expr::Bind) p = BindRef(e, true);
        else if (e.kind == Expr::Name || e.kind == Expr::Call) {
            Sym* s = e.names.size() == 1 ? Lookup(e.names[0], f) : ResolvePackageMember(e.names, f);
            if (!s) throw Compile(e.line, e.col, "PLS-00201: identifier '" + Join(e.names) + "' must be declared");
            p = &s->v;
        }
        if (!p) return nullptr;
        if (p->k != PV::Cur || !p->c) {
            if (!create) return nullptr;
            *p = PV();
            p->k = PV::Cur;
            p->c = std::make_shared<Composite>();
        }
        if (!p->c->cur) p->c->cur = std::make_shared<CursorState>();
        return p->c->cur.get();
    }
    const Decl* CursorDecl(const Expr& e, Frame* f, Frame** home) {
        if (e.kind != Expr::Name && e.kind != Expr::Call) return nullptr;
        Frame* x = f;
        Sym* s = nullptr;
        if (e.names.size() == 1) {
            for (; x; x = x->parent) if ((s = x->Find(e.names[0]))) break;
        } else {
            s = ResolvePackageMember(e.names, f);
            x = nullptr;
        }
        if (!s || s->k != Sym::Cursor) return nullptr;
        if (home) *home = x;
        return s->decl;
    }
    // Opens the declared cursor `d` with actual arguments into state c.
    void OpenDeclared(const Decl& d, const std::vector<Arg>& args, Frame* f, CursorState& c, const void* key) {
        if (c.open) throw Err(6511, "PL/SQL: cursor already open");
        Frame pf;
        pf.parent = f;
        for (size_t k = 0; k < d.params.size(); ++k) {
            Sym& p = pf.Add(Sym::Var, d.params[k].name);
            p.t = ResolveType(*d.params[k].type, f);
            const Expr* a = nullptr;
            for (const auto& x : args) if (x.name == d.params[k].name) a = x.value.get();
            if (!a && k < args.size() && args[k].name.empty()) a = args[k].value.get();
            if (a) p.v = Coerce(Eval(*a, f), p.t);
            else if (d.params[k].def) p.v = Coerce(Eval(*d.params[k].def, f), p.t);
            else throw Err(6550, "PLS-00306: wrong number or types of arguments in call to '" + d.name + "'");
        }
        const Unit* u = UnitOfDecl(&d);
        auto plan = PlanFor(&d, d.sql, &pf, u, false);
        std::vector<Value> store;
        BindValues bv = BindsFor(*plan, &pf, store);
        (void)key;
        try {
            if (!c.st) c.st = sql.PrepareSql(plan->text);
            c.st->Execute(bv);
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        StartCursor(c);
    }
    void StartCursor(CursorState& c) {
        c.open = true;
        c.fetchedAny = false;
        c.found = false;
        c.rowcount = 0;
        c.info = c.st->Columns();
        c.columns.clear();
        for (const auto& ci : c.info) c.columns.push_back(ci.Name);
    }
    const Unit* UnitOfDecl(const Decl* d) {
        auto it = declUnits.find(d);
        if (it != declUnits.end()) return it->second;
        return CurrentUnit();
    }
    std::map<const void*, const Unit*> declUnits;
    void OpenCursor(const Stmt& s, Frame* f) {
        Frame* home = nullptr;
        const Decl* d = CursorDecl(*s.target, f, &home);
        if (!d) throw Compile(s.line, s.col, "PLS-00201: identifier '" + Join(s.target->names) + "' must be declared");
        CursorState* c = CursorOf(*s.target, f, false);
        OpenDeclared(*d, s.target->args, f, *c, &s);
    }
    void OpenFor(const Stmt& s, Frame* f) {
        CursorState* c = CursorOf(*s.target, f, true);
        if (c->open && c->st) c->st->CloseResult();
        std::vector<Value> store;
        try {
            if (s.expr) {
                std::string text = ToStr(Eval(*s.expr, f));
                c->st = sql.PrepareSql(text);
                BindValues bv;
                bv.slots.resize(s.usingArgs.size());
                store.resize(s.usingArgs.size());
                for (size_t k = 0; k < s.usingArgs.size(); ++k) {
                    PV v = Eval(*s.usingArgs[k].value, f);
                    store[k] = ToValue(v);
                    bv.slots[k].values.push_back(store[k].Ref());
                    bv.slots[k].declaredType = v.k == PV::Num ? OraType::Number : v.k == PV::Date ? OraType::Date : OraType::Varchar2;
                }
                bv.slots.resize(c->st->BindNames().size());
                c->st->Execute(bv);
            } else {
                auto plan = PlanFor(&s, s.sql, f, CurrentUnit(), false);
                // a cursor variable gets its own statement: the client may take it away
                c->st = sql.PrepareSql(plan->text);
                BindValues bv = BindsFor(*plan, f, store);
                c->st->Execute(bv);
            }
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        StartCursor(*c);
    }
    void Fetch(const Stmt& s, Frame* f) {
        CursorState* c = CursorOf(*s.target, f, false);
        if (!c || !c->open || !c->st) throw Err(1001, "invalid cursor");
        try {
            if (s.bulk) {
                size_t limit = s.limit ? static_cast<size_t>(ToNum(Eval(*s.limit, f))) : SIZE_MAX;
                std::vector<LRef> targets;
                for (const auto& t : s.into) {
                    LRef r = Target(*t, f);
                    if (r.v->k != PV::Tab || !r.v->c) throw Compile(t->line, t->col, "PLS-00497: cannot mix between single row and multi-row (BULK) in INTO list");
                    r.v->c->tab.clear();
                    targets.push_back(r);
                }
                double i = 0;
                while (static_cast<size_t>(i) < limit && c->st->Fetch()) {
                    ++i;
                    ++c->rowcount;
                    if (targets.size() == 1 && c->info.size() > 1) {
                        TI et = targets[0].v->c->type ? targets[0].v->c->type->elem : nullptr;
                        PV rec = Initial(et ? et : RowType(c->info));
                        for (size_t k = 0; k < c->info.size() && k < rec.c->vals.size(); ++k) rec.c->vals[k] = ColumnPV(*c->st, k, c->info[k].DataType);
                        targets[0].v->c->tab[TabKey{false, i, {}}] = rec;
                    } else {
                        for (size_t k = 0; k < targets.size() && k < c->info.size(); ++k)
                            targets[k].v->c->tab[TabKey{false, i, {}}] = ColumnPV(*c->st, k, c->info[k].DataType);
                    }
                }
                c->fetchedAny = true;
                c->found = i > 0 && static_cast<size_t>(i) == limit;
                return;
            }
            bool got = c->st->Fetch();
            c->fetchedAny = true;
            c->found = got;
            if (!got) return;
            ++c->rowcount;
            IntoTargets(*c->st, s.into, f, nullptr);
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
    }
    void ForCursor(const Stmt& s, Frame* f) {
        CursorState local;
        CursorState* c = &local;
        std::vector<Value> store;
        if (s.target) {
            Frame* home = nullptr;
            const Decl* d = CursorDecl(*s.target, f, &home);
            if (!d) throw Compile(s.line, s.col, "PLS-00201: identifier '" + Join(s.target->names) + "' must be declared");
            c = CursorOf(*s.target, f, false);
            OpenDeclared(*d, s.target->args, f, *c, &s);
        } else {
            auto plan = PlanFor(&s, s.sql, f, CurrentUnit(), false);
            auto& cached = sess->stmts[{CurrentUnit() ? CurrentUnit()->id : 0, &s}];
            // a recursive use of the same loop gets a statement of its own
            if (cached && inUse.count(cached.get())) local.st = sql.PrepareSql(plan->text);
            else {
                if (!cached) {
                    try { cached = sql.PrepareSql(plan->text); } catch (const EngineError& x) { throw FromEngine(x); }
                }
            }
            Statement* st = local.st ? local.st.get() : cached.get();
            BindValues bv = BindsFor(*plan, f, store);
            try { st->Execute(bv); } catch (const EngineError& x) { throw FromEngine(x); }
            if (!local.st) {
                local.st.reset();
            }
            local.info = st->Columns();
            for (const auto& ci : local.info) local.columns.push_back(ci.Name);
            local.open = true;
            RunCursorLoop(s, f, *st, local);
            return;
        }
        RunCursorLoop(s, f, *c->st, *c);
        if (c->st) c->st->CloseResult();
        c->open = false;
    }
    std::set<Statement*> inUse;
    void RunCursorLoop(const Stmt& s, Frame* f, Statement& st, CursorState& c) {
        inUse.insert(&st);
        struct Un { std::set<Statement*>& s; Statement* p; ~Un() { s.erase(p); } } un{inUse, &st};
        Frame lf;
        lf.parent = f;
        Sym& r = lf.Add(Sym::Var, s.var);
        r.t = RowType(c.info);
        try {
            for (;;) {
                Check();
                bool got;
                try { got = st.Fetch(); } catch (const EngineError& x) { throw FromEngine(x); }
                c.fetchedAny = true;
                c.found = got;
                if (!got) break;
                ++c.rowcount;
                PV rec = Initial(r.t);
                for (size_t k = 0; k < c.info.size(); ++k) rec.c->vals[k] = ColumnPV(st, k, c.info[k].DataType);
                r.v = std::move(rec);
                if (!LoopBody(s, &lf)) break;
            }
        } catch (...) {
            st.CloseResult();
            throw;
        }
        st.CloseResult();
    }
    void ExecImmediate(const Stmt& s, Frame* f) {
        std::string text = ToStr(Eval(*s.expr, f));
        while (!text.empty() && (text.back() == ';' || text.back() == ' ' || text.back() == '\n' || text.back() == '\r' || text.back() == '\t')) {
            // a trailing ';' belongs to PL/SQL blocks only
            bool block = false;
            std::string up;
            for (char ch : text) up += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            size_t b = up.find_first_not_of(" \t\r\n");
            if (b != std::string::npos && (up.compare(b, 5, "BEGIN") == 0 || up.compare(b, 7, "DECLARE") == 0)) block = true;
            if (block && text.back() == ';') break;
            text.pop_back();
        }
        std::unique_ptr<Statement> st;
        try {
            st = sql.PrepareSql(text);
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        const auto& names = st->BindNames();
        BindValues bv;
        bv.slots.resize(names.size());
        std::vector<Value> store(s.usingArgs.size() + s.returningInto.size());
        size_t nUsing = s.usingArgs.size();
        for (size_t k = 0; k < names.size(); ++k) {
            auto& sl = bv.slots[k];
            sl.maxBytes = 32767;
            if (k < nUsing) {
                PV v = Eval(*s.usingArgs[k].value, f);
                store[k] = ToValue(v);
                sl.values.push_back(store[k].Ref());
                sl.declaredType = v.k == PV::Num ? OraType::Number : v.k == PV::Date ? OraType::Date : OraType::Varchar2;
            } else {
                sl.values.push_back(ValueRef::MakeNull());
            }
        }
        try {
            st->Execute(bv);
            if (st->Type() == StatementType::Select) {
                if (!s.into.empty()) {
                    if (!st->Fetch()) throw Err(1403, "no data found");
                    IntoTargets(*st, s.into, f, nullptr);
                    if (st->Fetch()) throw Err(1422, "exact fetch returns more than requested number of rows");
                }
                st->CloseResult();
                sqlFoundKnown = true;
                sqlRowcount = 1;
                sqlFound = true;
            } else {
                sqlFoundKnown = true;
                sqlRowcount = st->RowsProcessed();
                sqlFound = sqlRowcount > 0;
            }
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        // OUT / IN OUT using arguments and RETURNING INTO receive the out values
        for (size_t k = 0; k < names.size(); ++k) {
            const auto& outs = st->OutValues(k);
            if (outs.empty()) continue;
            const Expr* target = nullptr;
            if (k < nUsing) { if (s.usingModes[k] != 0) target = s.usingArgs[k].value.get(); }
            else if (k - nUsing < s.returningInto.size()) target = s.returningInto[k - nUsing].get();
            if (target) Assign(*target, FromValue(outs[0]), f);
        }
    }

    // ------------------------------------------------------------------ calls
    NativePackage* NativeFor(const std::string& name) { return eng::FindNativePackage(name); }

    void CallStatement(const Expr& e, Frame* f) {
        if (e.kind == Expr::Name || e.kind == Expr::Call) {
            const auto& n = e.names;
            Sym* s = n.empty() ? nullptr : Lookup(n[0], f);
            if (s && (s->k == Sym::Var || s->k == Sym::Bind) && n.size() >= 2) {
                // collection method as a statement: t.delete, t.extend, obj.method
                PV* p = &s->v;
                for (size_t k = 1; k + 1 < n.size(); ++k) {
                    if (p->k != PV::Rec || !p->c) break;
                    PV* q = p->c->Field(n[k]);
                    if (!q) break;
                    p = q;
                }
                if (p->k == PV::Tab) {
                    std::vector<PV> args;
                    for (const auto& a : e.args) args.push_back(Eval(*a.value, f));
                    CollectionMethod(*p, n.back(), args, e);
                    return;
                }
                if (p->k == PV::Rec && p->c && p->c->type && p->c->type->b == TypeInfo::Object) {
                    CallMethod(*p, n.back(), e.args, f, e);
                    return;
                }
            }
            if (s && s->k == Sym::Proc) { CallLocal(*s, e.args, f, e, false); return; }
            if (n.size() == 1) {
                PV r;
                if (n[0] == "RAISE_APPLICATION_ERROR" && Builtin(n[0], e, f, r)) return;
            }
            if (n.size() >= 2) {
                if (Sym* m = ResolvePackageMember(n, f)) {
                    if (m->k == Sym::Proc) { CallLocal(*m, e.args, f, e, false); return; }
                }
                std::vector<std::string> nm = n;
                if (nm.size() == 3 && nm[0] == "SYS") nm.erase(nm.begin());
                if (nm.size() == 2)
                    if (NativePackage* np = NativeFor(nm[0])) { CallNative(*np, nm[1], e.args, f, e, false); return; }
            }
            PV ignored;
            if ((n.size() == 2 || n.size() == 3) && TypeCall(n, e.args, f, e, ignored)) return;
            if (CallStored(n, e.args, f, e, false, nullptr)) return;
            throw Compile(e.line, e.col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
        }
        throw Compile(e.line, e.col, "PLS-00221: is not a procedure or is undefined");
    }

    // Chooses the overload for the actual arguments.
    const Subprogram* Choose(const std::vector<const Subprogram*>& cands, const std::vector<Arg>& args, bool asFunction, Frame* f, const Expr& e, const std::string& shown) {
        const Subprogram* best = nullptr;
        int bestScore = -1;
        for (const Subprogram* sp : cands) {
            if (asFunction != sp->isFunction && asFunction) continue;
            if (!asFunction && sp->isFunction) continue;
            // positional then named
            size_t pos = 0;
            bool ok = true;
            std::vector<bool> given(sp->params.size(), false);
            for (const auto& a : args) {
                if (a.name.empty()) {
                    if (pos >= sp->params.size()) { ok = false; break; }
                    given[pos++] = true;
                } else {
                    bool found = false;
                    for (size_t k = 0; k < sp->params.size(); ++k) if (sp->params[k].name == a.name) { given[k] = true; found = true; }
                    if (!found) { ok = false; break; }
                }
            }
            if (!ok) continue;
            for (size_t k = 0; k < sp->params.size(); ++k) if (!given[k] && !sp->params[k].def) ok = false;
            if (!ok) continue;
            int score = 1;
            // prefer parameter types that match the argument kinds
            pos = 0;
            for (const auto& a : args) {
                size_t k = pos;
                if (!a.name.empty()) { for (size_t j = 0; j < sp->params.size(); ++j) if (sp->params[j].name == a.name) k = j; }
                else ++pos;
                if (k >= sp->params.size()) continue;
                const auto& pt = *sp->params[k].type;
                if (pt.name.size() != 1 || !pt.attr.empty()) continue;
                PV::K kind = StaticKind(*a.value, f);
                const std::string& tn = pt.name[0];
                bool num = tn == "NUMBER" || tn == "INTEGER" || tn == "PLS_INTEGER" || tn == "BINARY_INTEGER" || tn == "FLOAT";
                bool str = tn == "VARCHAR2" || tn == "VARCHAR" || tn == "CHAR" || tn == "STRING";
                bool date = tn == "DATE";
                bool boo = tn == "BOOLEAN";
                if ((kind == PV::Num && num) || (kind == PV::Str && str) || (kind == PV::Date && date) || (kind == PV::Bool && boo)) score += 2;
                else if ((kind == PV::Bool) != boo && kind != PV::Null) score -= 5;
            }
            if (score > bestScore) { bestScore = score; best = sp; }
        }
        if (!best) {
            if (asFunction) {
                bool anyProc = false;
                for (auto* sp : cands) if (!sp->isFunction) anyProc = true;
                if (anyProc) throw Compile(e.line, e.col, "PLS-00222: no function with name '" + shown + "' exists in this scope");
            } else {
                bool anyFn = false;
                for (auto* sp : cands) if (sp->isFunction) anyFn = true;
                if (anyFn && cands.size() == 1) throw Compile(e.line, e.col, "PLS-00221: '" + shown + "' is not a procedure or is undefined");
            }
            throw Compile(e.line, e.col, "PLS-00306: wrong number or types of arguments in call to '" + shown + "'");
        }
        return best;
    }
    PV::K StaticKind(const Expr& a, Frame* f) {
        switch (a.kind) {
        case Expr::Num: return PV::Num;
        case Expr::Str: return PV::Str;
        case Expr::Bool: case Expr::Cmp: case Expr::And: case Expr::Or: case Expr::Not: case Expr::IsNull: case Expr::Like: case Expr::Between: case Expr::In: return PV::Bool;
        case Expr::DateLit: return PV::Date;
        case Expr::Name: {
            if (a.names.size() == 1) {
                Sym* s = Lookup(a.names[0], f);
                if (s && s->t) {
                    switch (s->t->b) {
                    case TypeInfo::Number: return PV::Num;
                    case TypeInfo::Varchar: case TypeInfo::Char: return PV::Str;
                    case TypeInfo::Date: return PV::Date;
                    case TypeInfo::Bool: return PV::Bool;
                    default: break;
                    }
                }
                if (s) return s->v.k;
            }
            return PV::Null;
        }
        case Expr::Binary: return a.text == "||" ? PV::Str : PV::Num;
        case Expr::Bind:
            // a NULL bind has the type the client bound it with
            if (a.names.empty() && trig.empty())
                for (size_t k = 0; k < bindNames.size() && k < bindSlots.size(); ++k)
                    if (bindNames[k] == a.text && bindSlots[k]) {
                        switch (bindSlots[k]->declaredType) {
                        case OraType::Number: return PV::Num;
                        case OraType::Date: return PV::Date;
                        case OraType::Boolean: return PV::Bool;
                        default: return PV::Str;
                        }
                    }
            return PV::Null;
        default: return PV::Null;
        }
    }

    PV* retSlot = nullptr;
    bool retSet = false;

    // Runs subprogram sp (found in symbol s, whose frame is s.home) with actual arguments.
    PV Invoke(const Subprogram& sp, Frame* home, const std::vector<Arg>& args, Frame* caller, const Expr& e,
              const std::string& label, const Unit* unit, PV* selfObj = nullptr) {
        if (!sp.body) throw Err(6508, "PL/SQL: could not find program unit being called: \"" + label + "\"");
        if (++depth > 200) { --depth; throw Err(6500, "PL/SQL: storage error"); }
        struct Dep { int& d; ~Dep() { --d; } } dep{depth};
        Frame fr;
        fr.parent = home;
        fr.pkg = home ? home->pkg : nullptr;
        // parameters
        std::vector<const Expr*> actual(sp.params.size(), nullptr);
        size_t pos = 0;
        for (const auto& a : args) {
            if (a.name.empty()) { if (pos < actual.size()) actual[pos++] = a.value.get(); }
            else for (size_t k = 0; k < sp.params.size(); ++k) if (sp.params[k].name == a.name) actual[k] = a.value.get();
        }
        std::vector<PV> attrsBefore;
        if (selfObj) {
            Sym& sf = fr.Add(Sym::Var, "SELF");
            sf.v = *selfObj;
            sf.t = selfObj->c ? selfObj->c->type : nullptr;
            // the attributes are named without SELF inside the methods
            if (selfObj->c)
                for (size_t k = 0; k < selfObj->c->names.size(); ++k) {
                    Sym& a = fr.Add(Sym::Var, selfObj->c->names[k]);
                    a.v = selfObj->c->vals[k];
                    a.t = sf.t && k < sf.t->fields.size() ? sf.t->fields[k].second : nullptr;
                    attrsBefore.push_back(a.v);
                }
        }
        for (size_t k = 0; k < sp.params.size(); ++k) {
            const Param& p = sp.params[k];
            Sym& ps = fr.Add(p.mode == 0 ? Sym::Const : Sym::Var, p.name);
            ps.t = ResolveType(*p.type, home ? home : caller);
            if (p.mode == 1) { ps.v = Initial(ps.t); continue; }
            PV v;
            if (actual[k]) v = Eval(*actual[k], caller);
            else if (p.def) v = Eval(*p.def, &fr);
            if (v.k == PV::Null && ps.t && ps.t->notNull) throw ValueError("");
            auto nt = ps.t ? std::make_shared<TypeInfo>(*ps.t) : nullptr;
            ps.v = Coerce(std::move(v), ps.t);
        }
        PV result;
        PV* savedRet = retSlot;
        bool savedSet = retSet;
        retSlot = sp.isFunction ? &result : nullptr;
        retSet = false;
        stack.push_back({label, sp.line, unit});
        auto restore = [&] { retSlot = savedRet; retSet = savedSet; };
        bool returned = false;
        try {
            RunBlockFrame(*sp.body, fr);
        } catch (ReturnSignal&) {
            returned = true;
        } catch (PlError& x) {
            x.stack.push_back("ORA-06512: at " + label + ", line " + std::to_string(stack.back().line));
            stack.pop_back();
            restore();
            throw;
        } catch (...) {
            stack.pop_back();
            restore();
            throw;
        }
        bool set = retSet;
        int endLine = sp.body->endLine;
        stack.pop_back();
        restore();
        if (sp.isFunction && !set) {
            (void)returned;
            PlError x = Err(6503, "PL/SQL: Function returned without value");
            x.stack.push_back("ORA-06512: at " + label + ", line " + std::to_string(endLine));
            throw x;
        }
        // copy back OUT and IN OUT
        for (size_t k = 0; k < sp.params.size(); ++k) {
            if (sp.params[k].mode == 0 || !actual[k]) continue;
            Sym* ps = fr.Find(sp.params[k].name);
            Assign(*actual[k], ps->v, caller);
        }
        if (selfObj) {
            Sym* sf = fr.Find("SELF");
            if (sf) {
                *selfObj = sf->v;
                if (selfObj->c)
                    for (size_t k = 0; k < attrsBefore.size() && k < selfObj->c->names.size(); ++k) {
                        Sym* a = fr.Find(selfObj->c->names[k]);
                        if (a && (a->v.k != attrsBefore[k].k || a->v.d != attrsBefore[k].d || a->v.s != attrsBefore[k].s || a->v.b != attrsBefore[k].b))
                            selfObj->c->vals[k] = a->v;
                    }
            }
        }
        if (sp.isFunction) return Coerce(result, ResolveType(*sp.ret, home ? home : caller));
        (void)e;
        return {};
    }
    std::string LabelOf(const Frame* home, const std::string& fallback) {
        if (home && home->pkg) return "\"" + home->pkg->owner + "." + home->pkg->name + "\"";
        return fallback;
    }
    PV CallLocal(Sym& s, const std::vector<Arg>& args, Frame* f, const Expr& e, bool asFunction) {
        const Subprogram* sp = Choose(s.procs, args, asFunction, f, e, s.name);
        std::string label = LabelOf(s.home, stack.empty() ? std::string("line") : stack.back().label);
        const Unit* u = s.home && s.home->pkg ? (s.home->pkg->body ? s.home->pkg->body.get() : s.home->pkg->spec.get()) : CurrentUnit();
        if (!sp->body && s.home && s.home->pkg) {
            // a spec declaration: the body's frame has the implementation
            PackageState& ps = *s.home->pkg;
            if (!ps.body) throw Err(4067, "not executed, package body \"" + ps.owner + "." + ps.name + "\" does not exist");
            Sym* impl = ps.bodyFrame.Find(s.name);
            if (!impl) throw Err(6508, "PL/SQL: could not find program unit being called");
            const Subprogram* best = nullptr;
            for (auto* c : impl->procs) if (c->body && SameParams(*c, *sp)) best = c;
            if (!best) throw Err(6508, "PL/SQL: could not find program unit being called");
            return Invoke(*best, &ps.bodyFrame, args, f, e, label, ps.body.get());
        }
        return Invoke(*sp, s.home, args, f, e, label, u);
    }

    // ------------------------------------------------------------------ native packages
    PV CallNative(NativePackage& np, const std::string& member, const std::vector<Arg>& args, Frame* f, const Expr& e, bool asFunction) {
        std::vector<NativeArg> na;
        std::vector<const Expr*> targets;
        std::vector<std::shared_ptr<const LobRef>> lobs;   // per argument: the stored LOB its variable holds
        std::vector<Value> lobBefore;
        for (const auto& a : args) {
            NativeArg x;
            x.name = a.name;
            const Expr& v = *a.value;
            bool lvalue = v.kind == Expr::Bind || ((v.kind == Expr::Name || (v.kind == Expr::Call && !v.base)) && IsVariableExpr(v, f));
            PV pv = Eval(v, f);
            x.out = lvalue;
            lobs.push_back(lvalue ? pv.lob : nullptr);
            if (pv.k == PV::Tab && pv.c) {
                x.isTable = true;
                for (auto& [k, el] : pv.c->tab) x.table.push_back(ToValue(el));
            } else if (pv.k == PV::Rec && pv.c) {
                x.isRecord = true;
                for (auto& fv : pv.c->vals) x.fields.push_back(ToValue(fv));
            } else {
                x.value = ToValue(pv);
                x.type = pv.k == PV::Num ? OraType::Number : pv.k == PV::Date ? OraType::Date : pv.k == PV::Bool ? OraType::Boolean :
                         pv.k == PV::Raw ? OraType::Raw : OraType::Varchar2;
                if (pv.k == PV::Null) {
                    // the declared type of a variable tells more than its null value
                    PV::K sk = StaticKind(v, f);
                    x.type = sk == PV::Num ? OraType::Number : sk == PV::Date ? OraType::Date : sk == PV::Bool ? OraType::Boolean : OraType::Varchar2;
                }
                if (pv.lob) {
                    // an empty LOB of a row is a LOB of length 0, not NULL
                    if (pv.k == PV::Null) x.value.kind = pv.lob->binary ? ValueRef::Bytes : ValueRef::Text;
                    x.type = pv.lob->binary ? OraType::Blob : OraType::Clob;
                }
            }
            lobBefore.push_back(lobs.back() ? x.value : Value());
            na.push_back(std::move(x));
            targets.push_back(lvalue ? &v : nullptr);
        }
        std::string recResult(np.RecordResult(member));
        Value result;
        if (asFunction && !recResult.empty()) {
            NativeArg r;
            r.name = "RETURN";
            r.out = true;
            r.isRecord = true;
            na.push_back(std::move(r));
        }
        bool ok;
        try {
            ok = np.Call(member, na, asFunction && recResult.empty() ? &result : nullptr, self);
        } catch (const EngineError& x) {
            throw FromEngine(x);
        }
        if (!ok) {
            std::string shown = std::string(np.Name()) + "." + member;
            throw Compile(e.line, e.col, "PLS-00306: wrong number or types of arguments in call to '" + member + "'");
        }
        for (size_t k = 0; k < targets.size(); ++k) {
            if (!targets[k]) continue;
            LRef r = Target(*targets[k], f);
            if (na[k].isTable) {
                if (r.v->k != PV::Tab || !r.v->c) continue;
                r.v->c->tab.clear();
                double i = 1;
                TI et = r.v->c->type ? r.v->c->type->elem : nullptr;
                for (const auto& el : na[k].table) r.v->c->tab[TabKey{false, i++, {}}] = FromValue(el);
                (void)et;
                if (r.bind >= 0) bindAssigned[static_cast<size_t>(r.bind)] = true;
            } else if (na[k].isRecord) {
                if (r.v->k != PV::Rec || !r.v->c) continue;
                for (size_t j = 0; j < na[k].fields.size() && j < r.v->c->vals.size(); ++j) r.v->c->vals[j] = FromValue(na[k].fields[j]);
            } else {
                PV nv;
                if (na[k].type == OraType::Boolean && na[k].value.kind != ValueRef::Null) nv = PV::Boolean(na[k].value.i != 0);
                else nv = FromValue(na[k].value, na[k].type);
                if (lobs[k]) {
                    // a LOB of a row changed through its locator (DBMS_LOB.WRITE, TRIM ...) changes the row
                    const Value& was = lobBefore[k];
                    const Value& now = na[k].value;
                    if (now.kind != was.kind || now.bytes != was.bytes) {
                        if (now.kind == ValueRef::Null) throw FromEngine(EngineError(22275, "ORA-22275: invalid LOB locator specified"));
                        try {
                            sql.WriteLob(lobs[k]->where, now.Ref());
                        } catch (const EngineError& x) {
                            throw FromEngine(x);
                        }
                    }
                    nv.lob = lobs[k];
                }
                Assign(*targets[k], nv, f);
            }
        }
        if (asFunction && !recResult.empty()) {
            const NativeArg& r = na.back();
            auto t = std::make_shared<TypeInfo>();
            t->b = TypeInfo::Record;
            std::vector<std::pair<std::string, OraType>> fields;
            np.RecordType(recResult, fields);
            PV rec;
            rec.k = PV::Rec;
            rec.c = std::make_shared<Composite>();
            rec.c->type = t;
            for (size_t j = 0; j < fields.size(); ++j) {
                rec.c->names.push_back(fields[j].first);
                rec.c->vals.push_back(j < r.fields.size() ? FromValue(r.fields[j], fields[j].second) : PV());
                t->fields.push_back({fields[j].first, nullptr});
            }
            return rec;
        }
        if (asFunction) {
            if (np.ReturnsBoolean(member)) return result.kind == ValueRef::Null ? PV() : PV::Boolean(result.i != 0);
            return FromValue(result);
        }
        return {};
    }
    bool nativeBoolHint = false;
    bool IsVariableExpr(const Expr& v, Frame* f) {
        if (v.names.empty()) return false;
        Sym* s = Lookup(v.names[0], f);
        if (s) return s->k == Sym::Var || s->k == Sym::Bind;
        if (v.names.size() >= 2) {
            Sym* m = ResolvePackageMember(v.names, f);
            return m && m->k == Sym::Var;
        }
        return false;
    }

    // ------------------------------------------------------------------ stored units
    std::string ObjectType(const std::string& owner, const std::string& name, std::string* status = nullptr) {
        std::string key = owner + "." + name;
        auto it = cache->objects.find(key);
        if (it == cache->objects.end()) {
            std::string type, st;
            try {
                auto q = sql.PrepareSql("SELECT OBJECT_TYPE, STATUS FROM ALL_OBJECTS WHERE OWNER = :1 AND OBJECT_NAME = :2");
                BindValues bv;
                bv.slots.resize(2);
                bv.slots[0].values.push_back(ValueRef::MakeText(owner));
                bv.slots[1].values.push_back(ValueRef::MakeText(name));
                q->Execute(bv);
                while (q->Fetch()) {
                    ValueRef a = q->Column(0), b = q->Column(1);
                    std::string t(a.p ? a.p : "", a.n);
                    if (t.find(" BODY") != std::string::npos && !type.empty()) continue;
                    if (type.empty() || type.find(" BODY") != std::string::npos) { type = t; st = std::string(b.p ? b.p : "", b.n); }
                }
            } catch (const EngineError&) {
            }
            it = cache->objects.emplace(key, type + "|" + st).first;
        }
        size_t bar = it->second.find('|');
        if (status) *status = it->second.substr(bar + 1);
        return it->second.substr(0, bar);
    }
    bool UnitValid(const std::string& owner, const std::string& name, const std::string& type) {
        try {
            auto q = sql.PrepareSql("SELECT STATUS FROM ALL_OBJECTS WHERE OWNER = :1 AND OBJECT_NAME = :2 AND OBJECT_TYPE = :3");
            BindValues bv;
            bv.slots.resize(3);
            bv.slots[0].values.push_back(ValueRef::MakeText(owner));
            bv.slots[1].values.push_back(ValueRef::MakeText(name));
            bv.slots[2].values.push_back(ValueRef::MakeText(type));
            q->Execute(bv);
            if (!q->Fetch()) return false;
            ValueRef v = q->Column(0);
            return std::string(v.p ? v.p : "", v.n) == "VALID";
        } catch (const EngineError&) {
            return false;
        }
    }
    std::shared_ptr<Unit> LoadUnit(const std::string& owner, const std::string& name, const std::string& type) {
        std::string key = owner + "." + name + "." + type;
        auto it = cache->units.find(key);
        if (it != cache->units.end()) return it->second;
        std::string src;
        {
            auto q = sql.PrepareSql("SELECT TEXT FROM ALL_SOURCE WHERE OWNER = :1 AND NAME = :2 AND TYPE = :3 ORDER BY LINE");
            BindValues bv;
            bv.slots.resize(3);
            bv.slots[0].values.push_back(ValueRef::MakeText(owner));
            bv.slots[1].values.push_back(ValueRef::MakeText(name));
            bv.slots[2].values.push_back(ValueRef::MakeText(type));
            q->Execute(bv);
            while (q->Fetch()) { ValueRef v = q->Column(0); if (v.p) src.append(v.p, v.n); }
        }
        std::shared_ptr<Unit> u;
        if (!src.empty()) {
            try {
                u = std::shared_ptr<Unit>(ParseSource(src).release());
                u->owner = owner;
                u->name = name;
            } catch (const CompileFailure&) {
                u = nullptr;
            }
        }
        cache->units[key] = u;
        return u;
    }
    // The package state of OWNER.NAME in this session, initialised on first use.
    PackageState* Package(const std::string& owner, const std::string& name, const Expr* at) {
        std::string key = owner + "." + name;
        auto spec = LoadUnit(owner, name, "PACKAGE");
        if (!spec) return nullptr;
        auto& ps = sess->packages[key];
        auto body = LoadUnit(owner, name, "PACKAGE BODY");
        // the state lives on while the package's source is unchanged (other DDL re-reads the catalog)
        auto same = [](const std::shared_ptr<Unit>& a, const std::shared_ptr<Unit>& b) {
            return a == b || (a && b && a->source == b->source);
        };
        if (ps && same(ps->spec, spec) && same(ps->body, body)) return ps.get();
        if (!UnitValid(owner, name, "PACKAGE")) {
            if (at) throw Err(4063, "package \"" + owner + "." + name + "\" has errors");
            return nullptr;
        }
        if (body && !UnitValid(owner, name, "PACKAGE BODY")) throw Err(4063, "package body \"" + owner + "." + name + "\" has errors");
        bool existed = ps != nullptr;
        ps = std::make_shared<PackageState>();
        ps->owner = owner;
        ps->name = name;
        ps->spec = spec;
        ps->body = body;
        ps->specFrame.pkg = ps.get();
        ps->bodyFrame.pkg = ps.get();
        ps->bodyFrame.parent = &ps->specFrame;
        PackageState* p = ps.get();
        std::string label = "\"" + owner + "." + name + "\"";
        stack.push_back({label, 1, spec.get()});
        try {
            for (auto& d : spec->decls) RegisterDecl(d.get(), spec.get());
            Declare(spec->decls, &p->specFrame);
            if (body) {
                stack.back().unit = body.get();
                for (auto& d : body->decls) RegisterDecl(d.get(), body.get());
                Declare(body->decls, &p->bodyFrame);
                if (body->block) {
                    Frame init;
                    init.parent = &p->bodyFrame;
                    init.pkg = p;
                    RunBlockFrame(*body->block, p->bodyFrame);
                }
            }
        } catch (PlError& x) {
            x.stack.push_back("ORA-06512: at " + label + ", line " + std::to_string(stack.back().line));
            stack.pop_back();
            sess->packages.erase(key);
            throw;
        } catch (...) {
            stack.pop_back();
            sess->packages.erase(key);
            throw;
        }
        stack.pop_back();
        if (existed) {}   // Oracle raises ORA-04068 once; the new state is simply used here
        p->initialised = true;
        return p;
    }
    void RegisterDecl(const Decl* d, const Unit* u) {
        declUnits[d] = u;
        if (d->kind == Decl::Proc && d->proc && d->proc->body) RegisterBlock(*d->proc->body, u);
    }
    void RegisterBlock(const Block& b, const Unit* u) {
        for (auto& d : b.decls) RegisterDecl(d.get(), u);
    }
    // pkg.member, schema.pkg.member, or a name inside the current package.
    Sym* ResolvePackageMember(const std::vector<std::string>& n, Frame* f, size_t* used = nullptr) {
        if (n.size() < 2) return nullptr;
        // the package being run can name itself
        for (Frame* x = f; x; x = x->parent) {
            if (x->pkg && x->pkg->name == n[0]) {
                Sym* s = x->pkg->specFrame.Find(n[1]);
                if (!s) s = x->pkg->bodyFrame.Find(n[1]);
                if (s) { if (used) *used = 2; return s; }
            }
        }
        std::string owner = sql.SchemaName(), pkg = n[0], member = n[1];
        size_t k = 2;
        if (ObjectType(owner, pkg) != "PACKAGE") {
            if (n.size() >= 3 && ObjectType(n[0], n[1]) == "PACKAGE") { owner = n[0]; pkg = n[1]; member = n[2]; k = 3; }
            else {
                std::string so, sn;
                if (!Synonym(pkg, so, sn) || ObjectType(so, sn) != "PACKAGE") return nullptr;
                owner = so;
                pkg = sn;
            }
        }
        PackageState* ps = Package(owner, pkg, nullptr);
        if (!ps) return nullptr;
        Sym* s = ps->specFrame.Find(member);
        if (s && used) *used = k;
        return s;
    }
    bool Synonym(const std::string& name, std::string& owner, std::string& target) {
        try {
            auto q = sql.PrepareSql("SELECT TABLE_OWNER, TABLE_NAME FROM ALL_SYNONYMS WHERE OWNER IN (:1, 'PUBLIC') AND SYNONYM_NAME = :2 ORDER BY CASE OWNER WHEN 'PUBLIC' THEN 1 ELSE 0 END");
            BindValues bv;
            bv.slots.resize(2);
            bv.slots[0].values.push_back(ValueRef::MakeText(sql.SchemaName()));
            bv.slots[1].values.push_back(ValueRef::MakeText(name));
            q->Execute(bv);
            if (!q->Fetch()) return false;
            ValueRef a = q->Column(0), b = q->Column(1);
            owner.assign(a.p ? a.p : "", a.n);
            target.assign(b.p ? b.p : "", b.n);
            return true;
        } catch (const EngineError&) {
            return false;
        }
    }
    // A standalone procedure or function: NAME or SCHEMA.NAME (also through a synonym).
    bool CallStored(const std::vector<std::string>& n, const std::vector<Arg>& args, Frame* f, const Expr& e, bool asFunction, PV* out) {
        std::string owner = sql.SchemaName(), name;
        if (n.size() == 1) name = n[0];
        else if (n.size() == 2) { owner = n[0]; name = n[1]; }
        else return false;
        std::string status;
        std::string type = ObjectType(owner, name, &status);
        if (type.empty() && n.size() == 1) {
            std::string so, sn;
            if (Synonym(name, so, sn)) { owner = so; name = sn; type = ObjectType(owner, name, &status); }
        }
        if (type != "PROCEDURE" && type != "FUNCTION") return false;
        std::string label = "\"" + owner + "." + name + "\"";
        if (status != "VALID") throw Err(6575, "Package or function " + name + " is in an invalid state");
        auto u = LoadUnit(owner, name, type);
        if (!u || !u->proc) throw Err(6575, "Package or function " + name + " is in an invalid state");
        std::vector<const Subprogram*> cands{u->proc.get()};
        const Subprogram* sp = Choose(cands, args, asFunction, f, e, name);
        RegisterBlock(*u->proc->body, u.get());
        PV r = Invoke(*sp, nullptr, args, f, e, label, u.get());
        if (out) *out = r;
        return true;
    }

    // ------------------------------------------------------------------ object types
    TI StoredType(const std::vector<std::string>& n) {
        std::string owner = sql.SchemaName(), name = n.back();
        if (n.size() == 2) owner = n[0];
        if (n.size() > 2) return nullptr;
        if (ObjectType(owner, name) != "TYPE") return nullptr;
        auto u = LoadUnit(owner, name, "TYPE");
        if (!u) return nullptr;
        auto t = std::make_shared<TypeInfo>();
        t->name = name;
        t->owner = owner;
        if (!u->collectionKind.empty()) {
            t->b = TypeInfo::Table;
            t->varray = u->collectionKind == "VARRAY";
            t->elem = ResolveType(*u->elem, nullptr);
            return t;
        }
        t->b = TypeInfo::Object;
        for (auto& d : u->decls) t->fields.push_back({d->name, ResolveType(*d->type, nullptr)});
        return t;
    }
    // TYPE(args): the constructor of a stored object or collection type; TYPE.METHOD(args): a static method.
    bool TypeCall(const std::vector<std::string>& name, const std::vector<Arg>& args, Frame* f, const Expr& e, PV& out) {
        std::string owner = sql.SchemaName();
        std::vector<std::string> n = name;
        if (n.empty() || n.size() > 3) return false;
        if (ObjectType(owner, n[0]) != "TYPE") {
            // SCHEMA.TYPE(args), SCHEMA.TYPE.METHOD(args)
            if (n.size() < 2 || ObjectType(n[0], n[1]) != "TYPE") return false;
            owner = n[0];
            n.erase(n.begin());
        } else if (n.size() > 2) {
            return false;
        }
        if (n.size() == 1) {
            TI t = StoredType({owner, n[0]});
            if (!t) return false;
            PV v = Initial(t);
            if (t->b == TypeInfo::Table) {
                double k = 1;
                for (const auto& a : args) v.c->tab[TabKey{false, k++, {}}] = Coerce(Eval(*a.value, f), t->elem);
                out = v;
                return true;
            }
            if (args.size() != t->fields.size()) throw Compile(e.line, e.col, "PLS-00306: wrong number or types of arguments in call to '" + n[0] + "'");
            size_t pos = 0;
            for (const auto& a : args) {
                size_t k = pos++;
                if (!a.name.empty()) for (size_t j = 0; j < t->fields.size(); ++j) if (t->fields[j].first == a.name) k = j;
                if (k < v.c->vals.size()) v.c->vals[k] = Coerce(Eval(*a.value, f), t->fields[k].second);
            }
            v.c->nullCollection = false;
            out = v;
            return true;
        }
        auto body = LoadUnit(owner, n[0], "TYPE BODY");
        if (!body) throw Err(4067, "not executed, type body \"" + owner + "." + n[0] + "\" does not exist");
        std::vector<const Subprogram*> cands;
        for (auto& m : body->methods) if (m->name == n[1] && m->isStatic) cands.push_back(m.get());
        if (cands.empty()) throw Compile(e.line, e.col, "PLS-00302: component '" + n[1] + "' must be declared");
        const Subprogram* sp = Choose(cands, args, cands[0]->isFunction, f, e, n[1]);
        Frame home;
        RegisterBlock(*sp->body, body.get());
        out = Invoke(*sp, &home, args, f, e, "\"" + owner + "." + n[0] + "\"", body.get());
        return true;
    }

    PV CallMethod(PV& obj, const std::string& method, const std::vector<Arg>& args, Frame* f, const Expr& e) {
        TI t = obj.c->type;
        auto body = LoadUnit(t->owner, t->name, "TYPE BODY");
        if (!body) throw Err(4067, "not executed, type body \"" + t->owner + "." + t->name + "\" does not exist");
        std::vector<const Subprogram*> cands;
        for (auto& m : body->methods) if (m->name == method && !m->isStatic) cands.push_back(m.get());
        if (cands.empty()) throw Compile(e.line, e.col, "PLS-00302: component '" + method + "' must be declared");
        bool asFunction = cands[0]->isFunction;
        const Subprogram* sp = Choose(cands, args, asFunction, f, e, method);
        Frame home;
        RegisterBlock(*sp->body, body.get());
        return Invoke(*sp, &home, args, f, e, "\"" + t->owner + "." + t->name + "\"", body.get(), &obj);
    }

    // ------------------------------------------------------------------ entry points
    PlError Unhandled(PlError x, const std::string& lineLabel) {
        (void)lineLabel;
        return x;
    }
    [[noreturn]] void RaiseTop(PlError x, int line) {
        std::string text;
        int code = x.code;
        if (x.userDefined) {
            code = 6510;
            text = Ora(6510, "PL/SQL: unhandled user-defined exception");
        } else {
            text = x.message;
        }
        for (const auto& l : x.stack) text += "\n" + l;
        if (line > 0) text += "\nORA-06512: at line " + std::to_string(line);
        sess->errorStack = text;
        throw EngineError(code, text);
    }
    // ------------------------------------------------------------------ compilation checks
    struct Scope {
        std::vector<std::set<std::string>> names;
        bool Has(const std::string& n) const {
            for (auto it = names.rbegin(); it != names.rend(); ++it) if (it->count(n)) return true;
            return false;
        }
    };
    std::vector<CompileError> errs;
    const Unit* checking = nullptr;
    std::set<std::string> triggerBinds;
    void Error(int line, int col, const std::string& text) {
        for (const auto& e : errs) if (e.line == line && e.col == col && e.text == text) return;
        errs.push_back({line, col, text});
    }
    // Whether a name (first part, or the whole dotted name) resolves; reports what does not.
    bool CheckName(const std::vector<std::string>& n, int line, int col, Scope& sc, bool call) {
        if (n.empty()) return true;
        if (sc.Has(n[0])) return true;
        static const std::set<std::string> pseudo = {"SYSDATE", "USER", "SQLCODE", "SQLERRM", "UID", "SYSTIMESTAMP", "CURRENT_DATE",
                                                     "LOCALTIMESTAMP", "CURRENT_TIMESTAMP", "ROWNUM", "LEVEL", "SQL", "SELF", "STANDARD"};
        if (n.size() == 1 && (pseudo.count(n[0]) || SqlFunctions().count(n[0]) || PredefinedCode(n[0]))) return true;
        if (checking && checking->name == n[0]) return true;
        std::string owner = sql.SchemaName(), name = n[0];
        std::string status;
        std::string type = ObjectType(owner, name, &status);
        if (type.empty() && n.size() >= 2 && !ObjectType(n[0], n[1], &status).empty()) { owner = n[0]; name = n[1]; type = ObjectType(owner, name, &status); }
        if (type.empty()) {
            std::string so, sn;
            if (Synonym(name, so, sn)) { owner = so; name = sn; type = ObjectType(so, sn, &status); }
        }
        if (!type.empty()) {
            if (status != "VALID" && (type == "PROCEDURE" || type == "FUNCTION" || type == "PACKAGE")) {
                Error(line, col, "PLS-00905: object " + owner + "." + name + " is invalid");
                return false;
            }
            return true;
        }
        std::vector<std::string> nm = n;
        if (nm.size() >= 2 && nm[0] == "SYS") nm.erase(nm.begin());
        if (nm.size() >= 1 && eng::FindNativePackage(nm[0])) return true;
        if (nm.size() == 1 && nm[0] == "DBMS_OUTPUT") return true;
        (void)call;
        Error(line, col, "PLS-00201: identifier '" + Join(n) + "' must be declared");
        return false;
    }
    bool CheckExpr(const Expr* e, Scope& sc) {
        if (!e) return true;
        bool ok = true;
        switch (e->kind) {
        case Expr::Name:
            ok = CheckName(e->names, e->line, e->col, sc, false);
            break;
        case Expr::Call:
            if (!e->base) ok = CheckName(e->names, e->line, e->col, sc, true);
            for (const auto& a : e->args) ok = CheckExpr(a.value.get(), sc) && ok;
            break;
        case Expr::Attr:
            if (e->base) ok = CheckExpr(e->base.get(), sc);
            break;
        default:
            break;
        }
        for (const auto& o : e->ops) ok = CheckExpr(o.get(), sc) && ok;
        return ok;
    }
    void CheckType(const TypeRef* t, Scope& sc) {
        if (!t || t->refCursor || t->name.empty()) return;
        static const std::set<std::string> types = {"NUMBER", "NUMERIC", "DECIMAL", "DEC", "FLOAT", "REAL", "BINARY_FLOAT", "BINARY_DOUBLE",
            "SIMPLE_INTEGER", "INTEGER", "INT", "SMALLINT", "PLS_INTEGER", "BINARY_INTEGER", "NATURAL", "NATURALN", "POSITIVE",
            "POSITIVEN", "SIGNTYPE", "VARCHAR2", "VARCHAR", "NVARCHAR2", "STRING", "LONG", "CHAR", "NCHAR", "CHARACTER", "DATE",
            "TIMESTAMP", "BOOLEAN", "RAW", "LONG RAW", "CLOB", "NCLOB", "BLOB", "BFILE", "ROWID", "UROWID", "SYS_REFCURSOR", "XMLTYPE",
            "ANYDATA", "INTERVAL"};
        if (t->attr.empty() && t->name.size() == 1 && types.count(t->name[0])) return;
        if (!t->attr.empty()) {
            if (sc.Has(t->name[0])) return;
            if (t->attr == "ROWTYPE" || t->name.size() >= 2) {
                try { DescribeTable(t->attr == "ROWTYPE" ? t->name : std::vector<std::string>(t->name.begin(), t->name.end() - 1)); return; }
                catch (const EngineError&) {}
                Error(t->line, t->col, "PLS-00201: identifier '" + Join(t->attr == "ROWTYPE" ? t->name : std::vector<std::string>(t->name.begin(), t->name.end() - 1)) + "' must be declared");
                return;
            }
        }
        CheckName(t->name, t->line, t->col, sc, false);
    }
    void CheckDecls(const std::vector<DeclP>& decls, Scope& sc) {
        for (const auto& d : decls) {
            switch (d->kind) {
            case Decl::Var:
                CheckType(d->type.get(), sc);
                if (d->init) CheckExpr(d->init.get(), sc);
                break;
            case Decl::Cursor: {
                sc.names.emplace_back();
                for (const auto& p : d->params) { CheckType(p.type.get(), sc); sc.names.back().insert(p.name); }
                sc.names.pop_back();
                break;
            }
            case Decl::Type:
                for (const auto& p : d->fields) CheckType(p.type.get(), sc);
                if (d->elem) CheckType(d->elem.get(), sc);
                break;
            case Decl::Subtype: CheckType(d->type.get(), sc); break;
            default: break;
            }
            sc.names.back().insert(d->name);
            if (d->kind == Decl::Proc && d->proc) CheckSubprogram(*d->proc, sc);
        }
    }
    void CheckSubprogram(const Subprogram& sp, Scope& sc) {
        sc.names.emplace_back();
        for (const auto& p : sp.params) {
            CheckType(p.type.get(), sc);
            if (p.def) CheckExpr(p.def.get(), sc);
            sc.names.back().insert(p.name);
        }
        if (sp.ret) CheckType(sp.ret.get(), sc);
        if (sp.body) CheckBlock(*sp.body, sc);
        sc.names.pop_back();
    }
    void CheckBlock(const Block& b, Scope& sc) {
        sc.names.emplace_back();
        CheckDecls(b.decls, sc);
        CheckStmts(b.body, sc);
        for (const auto& h : b.handlers) {
            for (const auto& n : h.names) if (!(n.size() == 1 && n[0] == "OTHERS")) CheckName(n, b.line, b.col, sc, false) ;
            CheckStmts(h.body, sc);
        }
        sc.names.pop_back();
    }
    void CheckStmts(const std::vector<StmtP>& list, Scope& sc) { for (const auto& s : list) CheckStmt(*s, sc); }
    void CheckStmt(const Stmt& s, Scope& sc) {
        size_t before = errs.size();
        bool ok = true;
        switch (s.kind) {
        case Stmt::Assign:
            ok = CheckExpr(s.target.get(), sc);
            ok = CheckExpr(s.expr.get(), sc) && ok;
            break;
        case Stmt::CallS: ok = CheckExpr(s.expr.get(), sc); break;
        case Stmt::If:
            for (const auto& c : s.conds) ok = CheckExpr(c.get(), sc) && ok;
            for (const auto& br : s.branches) CheckStmts(br, sc);
            break;
        case Stmt::CaseS:
            ok = CheckExpr(s.expr.get(), sc);
            for (const auto& c : s.conds) ok = CheckExpr(c.get(), sc) && ok;
            for (const auto& br : s.branches) CheckStmts(br, sc);
            break;
        case Stmt::Loop: CheckStmts(s.body, sc); break;
        case Stmt::While: ok = CheckExpr(s.expr.get(), sc); CheckStmts(s.body, sc); break;
        case Stmt::ForNum:
            ok = CheckExpr(s.lo.get(), sc) && CheckExpr(s.hi.get(), sc);
            sc.names.push_back({s.var});
            CheckStmts(s.body, sc);
            sc.names.pop_back();
            break;
        case Stmt::ForCursor:
            if (s.target) ok = CheckExpr(s.target.get(), sc);
            sc.names.push_back({s.var});
            CheckStmts(s.body, sc);
            sc.names.pop_back();
            break;
        case Stmt::Exit: case Stmt::Continue: case Stmt::Return: ok = CheckExpr(s.expr.get(), sc); break;
        case Stmt::Raise: if (!s.varNames.empty()) ok = CheckName(s.varNames, s.line, s.col + 6, sc, false); break;
        case Stmt::BlockS: CheckBlock(*s.block, sc); break;
        case Stmt::SelectInto: case Stmt::Fetch:
            for (const auto& t : s.into) ok = CheckExpr(t.get(), sc) && ok;
            break;
        case Stmt::ExecImm:
            ok = CheckExpr(s.expr.get(), sc);
            for (const auto& a : s.usingArgs) ok = CheckExpr(a.value.get(), sc) && ok;
            break;
        case Stmt::Open: case Stmt::Close: case Stmt::OpenFor: ok = CheckExpr(s.target.get(), sc); break;
        default: break;
        }
        if (!ok && errs.size() > before) Error(s.line, s.col, "PL/SQL: Statement ignored");
    }
    // Errors of a parsed unit, as USER_ERRORS lists them.
    std::vector<CompileError> CheckUnit(const Unit& u) {
        errs.clear();
        checking = &u;
        Scope sc;
        sc.names.emplace_back();
        if (u.kind == "BLOCK" && u.block) CheckBlock(*u.block, sc);
        else if ((u.kind == "PROCEDURE" || u.kind == "FUNCTION") && u.proc) {
            sc.names.back().insert(u.name);
            CheckSubprogram(*u.proc, sc);
        } else if (u.kind == "PACKAGE") {
            CheckDecls(u.decls, sc);
        } else if (u.kind == "PACKAGE BODY") {
            auto spec = LoadUnit(u.owner, u.name, "PACKAGE");
            if (!spec) {
                Error(1, 14, "PLS-00201: identifier '" + u.name + "' must be declared");
                Error(1, 1, "PL/SQL: Compilation unit analysis terminated");
            } else {
                for (const auto& d : spec->decls) sc.names.back().insert(d->name);
                CheckDecls(u.decls, sc);
                if (u.block) CheckBlock(*u.block, sc);
            }
        } else if (u.kind == "TRIGGER" && u.block) {
            CheckBlock(*u.block, sc);
        } else if (u.kind == "TYPE BODY") {
            auto spec = LoadUnit(u.owner, u.name, "TYPE");
            if (spec) for (const auto& d : spec->decls) sc.names.back().insert(d->name);
            sc.names.back().insert("SELF");
            for (const auto& m : u.methods) CheckSubprogram(*m, sc);
        }
        checking = nullptr;
        std::sort(errs.begin(), errs.end(), [](const CompileError& a, const CompileError& b) {
            return a.line != b.line ? a.line < b.line : a.col < b.col;
        });
        return errs;
    }

    // ------------------------------------------------------------------ dictionary description
    // The dictionary's name of a type as written (ALL_ARGUMENTS.DATA_TYPE, ALL_TYPE_ATTRS.ATTR_TYPE_NAME).
    void DataTypeOf(const TypeRef* r, std::string& type, std::string& typeOwner, std::string& typeName, int& len, int& prec, int& scale) {
        type.clear(); typeOwner.clear(); typeName.clear(); len = prec = scale = 0;
        if (!r) return;
        if (r->refCursor) { type = "REF CURSOR"; return; }
        TI t;
        try { t = ResolveType(*r, nullptr); } catch (...) {}
        if (!t) { type = Join(r->name); return; }
        switch (t->b) {
        case TypeInfo::Number:
            type = t->integer && !r->name.empty() && (r->name[0] == "PLS_INTEGER" || r->name[0] == "BINARY_INTEGER") ? "BINARY_INTEGER" : t->b == TypeInfo::Number && !r->name.empty() && r->name[0] == "FLOAT" ? "FLOAT" : "NUMBER";
            if (t->prec > 0) { prec = t->prec; scale = t->scale; len = 22; }
            break;
        case TypeInfo::Varchar: type = !r->name.empty() && r->name[0] == "NVARCHAR2" ? "NVARCHAR2" : "VARCHAR2"; if (t->len > 0) len = t->len; break;
        case TypeInfo::Char: type = "CHAR"; if (t->len > 0) len = t->len; break;
        case TypeInfo::Date: type = "DATE"; break;
        case TypeInfo::Bool: type = "PL/SQL BOOLEAN"; break;
        case TypeInfo::Raw: type = "RAW"; if (t->len > 0) len = t->len; break;
        case TypeInfo::Clob: type = "CLOB"; break;
        case TypeInfo::Blob: type = "BLOB"; break;
        case TypeInfo::Rowid: type = "ROWID"; break;
        case TypeInfo::Cursor: type = "REF CURSOR"; break;
        case TypeInfo::Record: type = "PL/SQL RECORD"; break;
        case TypeInfo::Table: type = t->owner.empty() ? "PL/SQL TABLE" : "TABLE"; if (!t->owner.empty()) { typeOwner = t->owner; typeName = t->name; } break;
        case TypeInfo::Object: type = "OBJECT"; typeOwner = t->owner; typeName = t->name; break;
        default: type = Join(r->name); break;
        }
    }
    void Describe(const Unit& u, eng::StoredUnit& su) {
        int seq = 0;
        auto add = [&](const Subprogram& sp, const std::string& object, const std::string& package, const std::string& overload) {
            if (sp.isFunction && sp.ret) {
                eng::StoredUnit::Argument a;
                a.objectName = object; a.packageName = package; a.overload = overload;
                a.position = 0; a.sequence = ++seq; a.inOut = "OUT";
                DataTypeOf(sp.ret.get(), a.dataType, a.typeOwner, a.typeName, a.dataLength, a.dataPrecision, a.dataScale);
                su.arguments.push_back(a);
            }
            int pos = 0;
            for (const auto& p : sp.params) {
                eng::StoredUnit::Argument a;
                a.objectName = object; a.packageName = package; a.overload = overload;
                a.argumentName = p.name; a.position = ++pos; a.sequence = ++seq;
                a.inOut = p.mode == 0 ? "IN" : p.mode == 1 ? "OUT" : "IN/OUT";
                a.defaulted = p.def != nullptr;
                DataTypeOf(p.type.get(), a.dataType, a.typeOwner, a.typeName, a.dataLength, a.dataPrecision, a.dataScale);
                su.arguments.push_back(a);
            }
            if (sp.params.empty() && !sp.isFunction) {
                // a procedure without arguments has one row without a name
                eng::StoredUnit::Argument a;
                a.objectName = object; a.packageName = package; a.overload = overload;
                a.sequence = ++seq; a.position = 1; a.inOut = "IN";
                su.arguments.push_back(a);
            }
        };
        if ((u.kind == "PROCEDURE" || u.kind == "FUNCTION") && u.proc) add(*u.proc, su.name, "", "");
        if (u.kind == "PACKAGE") {
            std::map<std::string, int> count, seen;
            for (const auto& d : u.decls) if (d->kind == Decl::Proc) ++count[d->name];
            for (const auto& d : u.decls)
                if (d->kind == Decl::Proc && d->proc) {
                    std::string ov = count[d->name] > 1 ? std::to_string(++seen[d->name]) : "";
                    seq = 0;
                    add(*d->proc, d->name, su.name, ov);
                }
        }
        if (u.kind == "TYPE") {
            su.typecode = u.isObjectType ? "OBJECT" : "COLLECTION";
            su.final = !u.notFinal;
            if (!u.isObjectType && u.elem) {
                su.collType = u.collectionKind == "VARRAY" ? "VARYING ARRAY" : "TABLE";
                su.upperBound = u.limit;
                std::string dt;
                DataTypeOf(u.elem.get(), dt, su.element.typeOwner, su.element.typeName, su.element.length, su.element.precision,
                           su.element.scale);
                if (su.element.typeName.empty()) su.element.typeName = dt;
            }
            std::map<std::string, int> methodCount, methodSeen;
            for (const auto& m : u.methods) ++methodCount[m->name];
            for (const auto& d : u.decls) {
                eng::StoredUnit::Attribute a;
                a.name = d->name;
                std::string dt;
                DataTypeOf(d->type.get(), dt, a.typeOwner, a.typeName, a.length, a.precision, a.scale);
                if (a.typeName.empty()) a.typeName = dt;
                su.attributes.push_back(a);
            }
            for (const auto& m : u.methods) {
                eng::StoredUnit::Method mm;
                mm.name = m->name;
                mm.methodType = "PUBLIC";
                mm.parameters = static_cast<int>(m->params.size()) + (m->isStatic ? 0 : 1);
                mm.results = m->isFunction ? 1 : 0;
                mm.isStatic = m->isStatic;
                su.methods.push_back(mm);
                seq = 0;
                // overloaded methods are told apart by OVERLOAD, numbered in the order the type lists them
                add(*m, m->name, su.name, methodCount[m->name] > 1 ? std::to_string(++methodSeen[m->name]) : "");
            }
            // the type itself is not stored yet while it is described: its own name is the object type
            for (auto& a : su.arguments)
                if (a.typeName.empty() && (a.dataType == su.name || a.dataType == su.owner + "." + su.name)) {
                    a.dataType = "OBJECT";
                    a.typeOwner = su.owner;
                    a.typeName = su.name;
                }
        }
    }

    [[noreturn]] void RaiseCompile(const CompileFailure& cf) {
        std::string text;
        for (const auto& e : cf.errors) {
            if (!text.empty()) text += "\n";
            text += Ora(6550, "line " + std::to_string(e.line) + ", column " + std::to_string(e.col) + ":") + "\n" + e.text;
        }
        throw EngineError(6550, text);
    }
};

// ======================================================================== Interp
Interp::Interp(eng::SqlRunner& sql, eng::PlSqlEngine& engine) : sql_(sql), impl_(std::make_unique<Impl>(*this, sql, engine)) {}
Interp::~Interp() = default;

void Interp::RunBlock(std::string_view block) {
    // a block of its own: the calling block's binds and state stay as they are
    std::vector<std::string> none;
    BindValues b;
    Interp inner(sql_, impl_->engine);
    inner.RunBlock(block, none, b);
}

void Interp::SetApplicationInfo(std::string_view field, std::string_view value) {
    impl_->sess->appInfo[std::string(field)] = std::string(value);
    sql_.SetSessionInfo(field, value);
}
std::string Interp::ApplicationInfo(std::string_view field) const {
    auto it = impl_->sess->appInfo.find(std::string(field));
    return it == impl_->sess->appInfo.end() ? std::string() : it->second;
}
std::string Interp::CallStack() const {
    std::string s = "----- PL/SQL Call Stack -----\n  object      line  object\n  handle    number  name\n";
    for (auto it = impl_->stack.rbegin(); it != impl_->stack.rend(); ++it) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "0x%08zx %9d  ", static_cast<size_t>(std::hash<std::string>()(it->label) & 0xffffffff), it->line);
        std::string name = it->label;
        if (name == "line" || name.empty()) name = "anonymous block";
        else {
            // the kind of the unit the frame runs in: "procedure SCOTT.P", "package body SCOTT.PK" ...
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            std::string kind = it->unit ? it->unit->kind : std::string("PACKAGE BODY");
            if (kind == "BLOCK" || kind == "CALL") kind = "ANONYMOUS BLOCK";
            for (auto& ch : kind) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            name = kind == "anonymous block" ? kind : kind + " " + name;
        }
        s += buf + name + "\n";
    }
    return s;
}
std::string Interp::ErrorStack() const {
    if (!impl_->handling.empty()) {
        std::string s = impl_->handling.back().message + "\n";
        for (const auto& l : impl_->handling.back().stack) s += l + "\n";
        return s;
    }
    return impl_->sess->errorStack;
}

eng::PlSqlResult Interp::RunBlock(std::string_view text, const std::vector<std::string>& bindNames, const BindValues& binds) {
    Impl& I = *impl_;
    eng::PlSqlResult res;
    std::unique_ptr<Unit> u;
    try {
        u = ParseBlock(text);
    } catch (const CompileFailure& cf) {
        I.RaiseCompile(cf);
    }
    struct Forget { SessionPl& s; uint64_t id; ~Forget() { s.Forget(id); } } forget{*I.sess, u->id};
    // names the block uses must be declared, and the units it calls valid
    {
        auto errs = I.CheckUnit(*u);
        if (!errs.empty()) {
            CompileFailure cf;
            cf.errors = errs;
            I.RaiseCompile(cf);
        }
    }
    // host binds
    I.bindNames = bindNames;
    I.binds.assign(bindNames.size(), PV());
    I.bindAssigned.assign(bindNames.size(), false);
    I.bindSlots.assign(bindNames.size(), nullptr);
    for (size_t k = 0; k < bindNames.size() && k < binds.slots.size(); ++k) {
        const auto& sl = binds.slots[k];
        I.bindSlots[k] = &sl;
        if (sl.isTable) {
            PV t;
            t.k = PV::Tab;
            t.c = std::make_shared<Composite>();
            auto ty = std::make_shared<TypeInfo>();
            ty->b = TypeInfo::Table;
            ty->name = "BIND";
            t.c->type = ty;
            double i = 1;
            for (const auto& v : sl.values) t.c->tab[TabKey{false, i++, {}}] = I.FromRef(v, sl.declaredType);
            I.binds[k] = t;
        } else if (!sl.values.empty()) {
            I.binds[k] = I.FromRef(sl.values[0], sl.declaredType);
            if (sl.declaredType == OraType::Number && I.binds[k].k == PV::Str) {
                double d;
                if (rt::ParseNumber(I.binds[k].s, d)) I.binds[k] = PV::Number(d);
            }
        }
    }
    I.stack.push_back({"line", 1, u.get()});
    try {
        try {
            if (u->kind == "CALL") {
                I.CallStatement(*u->call, nullptr);
            } else {
                Frame top;
                I.RunBlockFrame(*u->block, top);
            }
        } catch (ReturnSignal&) {
        } catch (ExitSignal&) {
        }
    } catch (PlError& x) {
        int line = I.stack.empty() ? 0 : I.stack.back().line;
        I.RaiseTop(x, line);
    } catch (const CompileFailure& cf) {
        I.RaiseCompile(cf);
    }
    I.stack.clear();
    // out values: every bind, and the cursors opened into binds
    res.outValues.resize(bindNames.size());
    res.cursors.resize(bindNames.size());
    for (size_t k = 0; k < bindNames.size(); ++k) {
        PV& v = I.binds[k];
        const BindValues::Slot* sl = I.bindSlots[k];
        if (v.k == PV::Cur) {
            if (v.c && v.c->cur && v.c->cur->st) res.cursors[k] = std::move(v.c->cur->st);
            continue;
        }
        if (v.k == PV::Tab) {
            if (sl && sl->maxElements > 0 && v.c->tab.size() > sl->maxElements && I.bindAssigned[k])
                throw EngineError(6513, Ora(6513, "PL/SQL: index for PL/SQL table out of range for host language array"));
            for (auto& [key, el] : v.c->tab) res.outValues[k].push_back(I.ToValue(el));
            continue;
        }
        if (v.k == PV::Bool) { res.outValues[k].push_back(I.ToValue(v)); continue; }
        if (!I.bindAssigned[k] && sl && !sl->values.empty()) continue;   // an in bind keeps the client's value
        res.outValues[k].push_back(I.ToValue(v));
    }
    return res;
}

// ======================================================================== units
namespace {

std::string UpperWord(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Lines of stored source; each but the last ends with a line feed, as USER_SOURCE shows them.
std::vector<std::string> SourceLines(const std::string& src) {
    std::vector<std::string> lines;
    size_t p = 0;
    while (p <= src.size()) {
        size_t q = src.find('\n', p);
        if (q == std::string::npos) { lines.push_back(src.substr(p)); break; }
        lines.push_back(src.substr(p, q - p + 1));
        p = q + 1;
        if (p == src.size()) break;
    }
    return lines;
}

} // namespace

eng::PlSqlResult Interp::Create(const sql::Statement& kind, std::string_view text) {
    Impl& I = *impl_;
    eng::PlSqlResult res;
    std::string type = kind.objectType;
    std::string owner = kind.object.schema.empty() ? sql_.SchemaName() : kind.object.schema;
    std::string name = kind.object.name;
    if (type.rfind("ALTER ", 0) == 0) {
        type = type.substr(6);
        if (type == "VIEW") return res;
        // ALTER <unit> <name> COMPILE [BODY | SPECIFICATION]
        std::string up = UpperWord(std::string(text));
        if (type == "PACKAGE" && up.find(" BODY") != std::string::npos) type = "PACKAGE BODY";
        if (type == "TYPE" && up.find(" BODY") != std::string::npos) type = "TYPE BODY";
        if (I.ObjectType(owner, name).empty()) throw EngineError(4043, Ora(4043, "object " + name + " does not exist"));
        std::vector<std::string> kinds{type};
        if (type == "PACKAGE" && up.find("SPECIFICATION") == std::string::npos) kinds.push_back("PACKAGE BODY");
        for (const auto& k : kinds) {
            auto u = I.LoadUnit(owner, name, k);
            std::vector<eng::StoredUnit::Error> errors;
            if (!u) {
                if (k != type) continue;
                errors.push_back({1, 1, "PLS-00103: the unit could not be parsed"});
            } else {
                for (const auto& e : I.CheckUnit(*u)) errors.push_back({e.line, e.col, e.text});
            }
            sql_.SetUnitStatus(owner, name, k, errors.empty(), errors);
            if (!errors.empty()) res.compiledWithErrors = true;
        }
        return res;
    }
    size_t off = 0;
    std::string src = SourceOfCreate(text, off);
    eng::StoredUnit su;
    su.owner = owner;
    su.name = name;
    su.type = type;
    su.source = src;
    std::unique_ptr<Unit> u;
    std::vector<CompileError> errors;
    try {
        u = ParseSource(src);
        u->owner = owner;
        u->name = name;
    } catch (const CompileFailure& cf) {
        errors = cf.errors;
    }
    if (!kind.orReplace) {
        std::string existing = I.ObjectType(owner, name);
        bool clash = !existing.empty();
        if ((type == "PACKAGE BODY" || type == "TYPE BODY")) clash = I.LoadUnit(owner, name, type) != nullptr;
        if (clash) throw EngineError(955, Ora(955, "name is already used by an existing object"));
    } else {
        std::string existing = I.ObjectType(owner, name);
        bool unitKind = existing.empty() || existing == type || existing == "PACKAGE" || existing == "TYPE" ||
                        (type == "PACKAGE BODY" && existing == "PACKAGE") || (type == "TYPE BODY" && existing == "TYPE");
        if (!unitKind) throw EngineError(955, Ora(955, "name is already used by an existing object"));
    }
    if (u && type == "TRIGGER") {
        std::string towner = u->tableOwner.empty() ? owner : u->tableOwner;
        try {
            I.DescribeTable({towner, u->table});
        } catch (const EngineError&) {
            throw EngineError(942, Ora(942, "table or view does not exist"));
        }
        su.tableOwner = towner;
        su.table = u->table;
    }
    if (u && errors.empty()) {
        if (u->kind == "TRIGGER") {
            // :new and :old are the trigger's binds
        }
        errors = I.CheckUnit(*u);
    }
    su.valid = errors.empty();
    for (const auto& e : errors) su.errors.push_back({e.line, e.col, e.text});
    if (u) I.Describe(*u, su);
    sql_.StoreUnit(su);
    // a new package spec makes the session's state of it stale
    I.sess->packages.erase(owner + "." + name);
    res.compiledWithErrors = !errors.empty();
    (void)SourceLines;
    return res;
}

void Interp::Drop(const sql::Statement& st) {
    Impl& I = *impl_;
    std::string owner = st.object.schema.empty() ? sql_.SchemaName() : st.object.schema;
    const std::string& type = st.objectType;
    if (!sql_.DropUnit(owner, st.object.name, type)) throw EngineError(4043, Ora(4043, "object " + st.object.name + " does not exist"));
    if (type == "PACKAGE") sql_.DropUnit(owner, st.object.name, "PACKAGE BODY");
    if (type == "TYPE") sql_.DropUnit(owner, st.object.name, "TYPE BODY");
    I.sess->packages.erase(owner + "." + st.object.name);
}

// ------------------------------------------------------------------------ triggers
namespace {
bool HasEvent(const Unit& u, const std::string& ev) {
    return std::find(u.events.begin(), u.events.end(), ev) != u.events.end();
}
} // namespace

static void LoadTriggers(Interp::Impl& I);

bool Interp::HasTriggers(const std::string& owner, const std::string& table, const std::string& event, const std::string& timing, bool row) {
    Impl& I = *impl_;
    LoadTriggers(I);
    for (const auto& t : I.cache->triggers) {
        if (t->tableOwner == owner && t->table == table && t->timing == timing && t->forEachRow == row && HasEvent(*t, event)) return true;
    }
    return false;
}

static void LoadTriggers(Interp::Impl& I) {
    if (I.cache->triggersLoaded) return;
    I.cache->triggersLoaded = true;
    std::vector<std::pair<std::string, std::string>> names;
    try {
        auto q = I.sql.PrepareSql("SELECT OWNER, OBJECT_NAME FROM ALL_OBJECTS WHERE OBJECT_TYPE = 'TRIGGER' AND STATUS = 'VALID'");
        BindValues bv;
        q->Execute(bv);
        while (q->Fetch()) {
            ValueRef a = q->Column(0), b = q->Column(1);
            names.push_back({std::string(a.p ? a.p : "", a.n), std::string(b.p ? b.p : "", b.n)});
        }
    } catch (const EngineError&) {
        return;
    }
    for (const auto& [o, n] : names) {
        auto u = I.LoadUnit(o, n, "TRIGGER");
        if (!u) continue;
        if (u->tableOwner.empty()) u->tableOwner = o;
        I.cache->triggers.push_back(u);
    }
}

void Interp::FireTriggers(const std::string& owner, const std::string& table, const std::string& event, const std::string& timing, eng::TriggerRow* row) {
    Impl& I = *impl_;
    LoadTriggers(I);
    auto triggers = I.cache->triggers;   // a trigger may change the catalog
    for (const auto& t : triggers) {
        if (t->tableOwner != owner || t->table != table || t->timing != timing || t->forEachRow != (row != nullptr) || !HasEvent(*t, event)) continue;
        if (!t->updateColumns.empty() && event == "UPDATE" && row && row->oldValues && row->newValues) {
            bool any = false;
            for (const auto& c : t->updateColumns)
                for (size_t k = 0; k < row->columns->size(); ++k)
                    if ((*row->columns)[k] == c) {
                        const Value& a = (*row->oldValues)[k];
                        const Value& b = (*row->newValues)[k];
                        if (a.kind != b.kind || a.i != b.i || a.d != b.d || a.bytes != b.bytes) any = true;
                    }
            if (!any) continue;
        }
        Impl::TrigCtx ctx{row, t->newName, t->oldName, row ? row->columns : nullptr};
        static const std::vector<std::string> noCols;
        if (!ctx.cols) ctx.cols = &noCols;
        std::vector<PV> nv, ov;
        const auto* cols = ctx.cols;
        std::vector<OraType> types(cols->size(), OraType::Varchar2);
        if (row) {
            for (size_t k = 0; k < cols->size(); ++k) {
                nv.push_back(row->newValues ? I.FromValue((*row->newValues)[k]) : PV());
                ov.push_back(row->oldValues ? I.FromValue((*row->oldValues)[k]) : PV());
            }
        }
        I.trig.push_back(ctx);
        I.trigNew.push_back(std::move(nv));
        I.trigOld.push_back(std::move(ov));
        struct Pop { Interp::Impl& i; ~Pop() { i.trig.pop_back(); i.trigNew.pop_back(); i.trigOld.pop_back(); } } pop{I};
        // WHEN (condition)
        Frame top;
        Sym& inserting = top.Add(Sym::Const, "INSERTING");
        inserting.v = PV::Boolean(event == "INSERT");
        Sym& updating = top.Add(Sym::Const, "UPDATING");
        updating.v = PV::Boolean(event == "UPDATE");
        Sym& deleting = top.Add(Sym::Const, "DELETING");
        deleting.v = PV::Boolean(event == "DELETE");
        std::string label = "\"" + owner + "." + t->name + "\"";
        I.stack.push_back({label, 1, t.get()});
        try {
            if (t->whenExpr) {
                // inside WHEN the row values are named without the colon
                Frame w;
                w.parent = &top;
                Sym& n = w.Add(Sym::Var, t->newName);
                Sym& o = w.Add(Sym::Var, t->oldName);
                auto rec = [&](const std::vector<PV>& vals) {
                    PV r;
                    r.k = PV::Rec;
                    r.c = std::make_shared<Composite>();
                    r.c->names = *cols;
                    r.c->vals = vals;
                    return r;
                };
                n.v = rec(I.trigNew.back());
                o.v = rec(I.trigOld.back());
                if (!I.CondTrue(*t->whenExpr, &w)) { I.stack.pop_back(); continue; }
            }
            I.RunBlockFrame(*t->block, top);
        } catch (PlError& x) {
            x.stack.push_back("ORA-06512: at " + label + ", line " + std::to_string(I.stack.back().line));
            x.stack.push_back("ORA-04088: error during execution of trigger '" + owner + "." + t->name + "'");
            I.stack.pop_back();
            std::string text = x.userDefined ? Ora(6510, "PL/SQL: unhandled user-defined exception") : x.message;
            for (const auto& l : x.stack) text += "\n" + l;
            throw EngineError(x.userDefined ? 6510 : x.code, text);
        } catch (ReturnSignal&) {
        } catch (const CompileFailure& cf) {
            I.stack.pop_back();
            I.RaiseCompile(cf);
        }
        if (!I.stack.empty()) I.stack.pop_back();
        if (row && row->newValues) {
            auto& out = I.trigNew.back();
            for (size_t k = 0; k < out.size() && k < row->newValues->size(); ++k) (*row->newValues)[k] = I.ToValue(out[k]);
        }
    }
}

// ------------------------------------------------------------------------ functions called from SQL
bool Interp::IsFunction(const std::vector<std::string>& n, ColumnInfo* type) {
    Impl& I = *impl_;
    auto setType = [&](const TypeRef* r) {
        if (!type) return;
        type->DataType = OraType::Varchar2;
        type->ByteSize = 4000;
        type->CharSize = 4000;
        type->CharsetForm = 1;
        type->CharsetId = 873;
        if (!r || r->name.empty()) return;
        const std::string& t = r->name.back();
        if (t == "NUMBER" || t == "INTEGER" || t == "PLS_INTEGER" || t == "BINARY_INTEGER" || t == "FLOAT" || t == "NATURAL" || t == "POSITIVE") {
            *type = ColumnInfo();
            type->DataType = OraType::Number;
            type->ByteSize = 22;
            type->Scale = -127;
        } else if (t == "DATE") {
            *type = ColumnInfo();
            type->DataType = OraType::Date;
            type->ByteSize = 7;
        }
    };
    std::string owner = sql_.SchemaName();
    if (n.size() == 1 || (n.size() == 2 && I.ObjectType(n[0], n[1]) == "FUNCTION")) {
        std::string o = n.size() == 2 ? n[0] : owner, nm = n.back();
        if (I.ObjectType(o, nm) != "FUNCTION") return false;
        auto u = I.LoadUnit(o, nm, "FUNCTION");
        setType(u && u->proc ? u->proc->ret.get() : nullptr);
        return true;
    }
    std::string po = owner, pn = n[0], member = n[1];
    if (n.size() == 3) { po = n[0]; pn = n[1]; member = n[2]; }
    if (I.ObjectType(po, pn) != "PACKAGE") {
        std::string so, sn;
        if (n.size() != 2 || !I.Synonym(pn, so, sn) || I.ObjectType(so, sn) != "PACKAGE") return false;
        po = so;
        pn = sn;
    }
    auto spec = I.LoadUnit(po, pn, "PACKAGE");
    if (!spec) return false;
    for (const auto& d : spec->decls)
        if (d->kind == Decl::Proc && d->proc && d->proc->isFunction && d->name == member) { setType(d->proc->ret.get()); return true; }
    return false;
}

Value Interp::CallFunction(const std::vector<std::string>& n, const std::vector<Value>& args) {
    Impl& I = *impl_;
    // the call as an expression with literal-free arguments: bound through a frame of constants
    Frame top;
    auto call = std::make_unique<Expr>(Expr::Call);
    call->names = n;
    call->line = 1;
    call->col = 1;
    for (size_t k = 0; k < args.size(); ++k) {
        std::string pname = "QUORVEL$ARG" + std::to_string(k + 1);
        Sym& s = top.Add(Sym::Const, pname);
        s.v = I.FromValue(args[k]);
        Arg a;
        a.value = std::make_unique<Expr>(Expr::Name);
        a.value->names = {pname};
        call->args.push_back(std::move(a));
    }
    I.stack.push_back({"line", 1, nullptr});
    try {
        PV r = args.empty() ? I.EvalName([&] { auto e = std::make_unique<Expr>(Expr::Name); e->names = n; return e; }().operator*(), &top)
                            : I.EvalCall(*call, &top);
        I.stack.pop_back();
        return I.ToValue(r);
    } catch (PlError& x) {
        I.stack.pop_back();
        std::string text = x.userDefined ? Ora(6510, "PL/SQL: unhandled user-defined exception") : x.message;
        for (const auto& l : x.stack) text += "\n" + l;
        throw EngineError(x.userDefined ? 6510 : x.code, text);
    } catch (const CompileFailure& cf) {
        I.stack.pop_back();
        I.RaiseCompile(cf);
    }
}

// ======================================================================== the built-in engine
namespace {

class Builtin final : public eng::PlSqlEngine {
public:
    eng::PlSqlResult Execute(const sql::Statement& kind, std::string_view text, const std::vector<std::string>& bindNames,
                             const BindValues& binds, eng::SqlRunner& sql) override {
        Interp in(sql, *this);
        if (kind.kind == sql::Statement::CreatePlSql) return in.Create(kind, text);
        return in.RunBlock(text, bindNames, binds);
    }
    bool HasTriggers(eng::SqlRunner& sql, const std::string& owner, const std::string& table, const std::string& event,
                     const std::string& timing, bool row) override {
        Interp in(sql, *this);
        return in.HasTriggers(owner, table, event, timing, row);
    }
    void FireTriggers(eng::SqlRunner& sql, const std::string& owner, const std::string& table, const std::string& event,
                      const std::string& timing, eng::TriggerRow* row) override {
        Interp in(sql, *this);
        in.FireTriggers(owner, table, event, timing, row);
    }
    bool IsFunction(eng::SqlRunner& sql, const std::vector<std::string>& name, ColumnInfo* type) override {
        Interp in(sql, *this);
        return in.IsFunction(name, type);
    }
    Value CallFunction(eng::SqlRunner& sql, const std::vector<std::string>& name, const std::vector<Value>& args) override {
        Interp in(sql, *this);
        return in.CallFunction(name, args);
    }
    void Drop(eng::SqlRunner& sql, const sql::Statement& st) override {
        Interp in(sql, *this);
        in.Drop(st);
    }
};

} // namespace

} // namespace ocisim::pl

namespace ocisim::eng {
void SqlRunner::StoreUnit(const StoredUnit&) { throw EngineError(3001, sql::OraMessage(3001, "unimplemented feature")); }
void SqlRunner::WriteLob(const LobLocation&, const ValueRef&) { throw EngineError(3001, sql::OraMessage(3001, "unimplemented feature")); }
bool SqlRunner::DropUnit(const std::string&, const std::string&, const std::string&) { return false; }
void SqlRunner::SetUnitStatus(const std::string&, const std::string&, const std::string&, bool, const std::vector<StoredUnit::Error>&) {}
void SqlRunner::Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

PlSqlEngine& BuiltinPlSqlEngine() {
    static pl::Builtin engine;
    return engine;
}
} // namespace ocisim::eng
