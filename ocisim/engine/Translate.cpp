// Name resolution, typing and translation of Oracle SQL into SQLite SQL.
#include "ocisim/engine/internal/Impl.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace ocisim::eng {

using namespace sql;

std::string Quote(const std::string& name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

std::string SqlString(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += '\'';
        r += c;
    }
    return r + "'";
}

namespace {

bool IsNum(const ColumnInfo& t) { return t.DataType == OraType::Number || t.DataType == OraType::BinaryFloat || t.DataType == OraType::BinaryDouble; }
bool IsTimestamp(const ColumnInfo& t) {
    return t.DataType == OraType::Timestamp || t.DataType == OraType::TimestampTZ || t.DataType == OraType::TimestampLTZ;
}
bool IsDate(const ColumnInfo& t) { return t.DataType == OraType::Date || IsTimestamp(t); }
bool IsChar(const ColumnInfo& t) {
    return t.DataType == OraType::Varchar2 || t.DataType == OraType::Char || t.DataType == OraType::Long || t.DataType == OraType::Clob;
}

struct Source {
    std::string alias, tableName, owner;
    std::string sqlAlias;                          // "" for bare column names
    std::vector<std::pair<std::string, ColumnInfo>> cols;
    const Object* obj = nullptr;
    std::string rowidCol = "rowid";
};

struct Scope {
    std::vector<Source> sources;
    Scope* parent = nullptr;
};

struct TExpr {
    std::string sql;
    ColumnInfo t;
    bool isBind = false;
    bool isLiteral = false;      // string literal (CHAR)
    bool isNull = false;
    bool isRowid = false;        // a ROWID pseudo column of a table
    std::string rowidSqlAlias;
    int64_t rowidObj = 0;
};

class Translator {
public:
    Translator(TranslateHost& h, const std::vector<Placeholder>& ph) : h_(h), ph_(ph) {}

    TranslateHost& h_;
    const std::vector<Placeholder>& ph_;
    Translated out_;
    int aliasCounter_ = 0;
    bool allowAggregates_ = true;
    std::vector<int>* params_ = nullptr;    // where bind parameters go
    std::string_view source_;               // the statement text (column headings)
    struct Cte {
        std::string name, sqlName;
        std::vector<std::pair<std::string, ColumnInfo>> cols;
        bool hierarchy = false;             // CONNECT BY rows: ocs_level, ocs_rowid, ocs_path
    };
    std::string levelSql_;                  // what LEVEL stands for (hierarchical queries)
    Scope* priorScope_ = nullptr;           // where PRIOR looks (CONNECT BY conditions)
    bool priorUsed_ = false;
    std::string HierarchyCte(SelectBlock& b, Scope* parent, std::string& alias);
    std::vector<Cte> ctes_;                 // WITH names in scope, innermost last
    // Translating a CURSOR(...) expression: columns of cursorOuter_ (the block holding it) and
    // of its parents become parameters whose values the outer row carries.
    Scope* cursorOuter_ = nullptr;
    std::vector<std::string>* outerRefs_ = nullptr;
    std::string OuterValue(const std::string& sqlExpr) {
        outerRefs_->push_back(sqlExpr);
        params_->push_back(-1 - static_cast<int>(outerRefs_->size()));
        return "?" + std::to_string(params_->size());
    }
    TExpr CursorColumn(Expr& e, Scope& scope, size_t column);
    [[noreturn]] void MissingExpression(Expr& e) { Fail(936, "missing expression", static_cast<int>(e.offset)); }

    // ---------- types
    ColumnInfo NumType() const {
        ColumnInfo c;
        c.DataType = OraType::Number;
        c.ByteSize = 22;
        c.Precision = 0;
        c.Scale = -127;
        return c;
    }
    ColumnInfo CharType(uint32_t len, bool fixed = false, bool national = false) const {
        ColumnInfo c;
        c.DataType = fixed ? OraType::Char : OraType::Varchar2;
        c.CharsetForm = national ? 2 : 1;
        c.CharsetId = national ? h_.DbNCharsetId() : h_.DbCharsetId();
        uint32_t width = 1;
        uint16_t cs = c.CharsetId;
        if (national) width = cs == 2000 ? 2 : 3;
        else if (cs == 873) width = 4;
        else if (cs == 871 || cs == 870) width = 3;
        c.CharSize = std::max<uint32_t>(len, 1);
        c.ByteSize = std::min<uint32_t>(std::max<uint32_t>(len, 1) * width, 4000);
        if (!national && width == 1) c.ByteSize = std::max<uint32_t>(len, 1);
        return c;
    }
    ColumnInfo DateType() const {
        ColumnInfo c;
        c.DataType = OraType::Date;
        c.ByteSize = 7;
        return c;
    }
    // TIMESTAMP(6), WITH TIME ZONE for SYSTIMESTAMP; the scale is the fractional precision
    ColumnInfo TimestampType(OraType t = OraType::Timestamp) const {
        ColumnInfo c;
        c.DataType = t;
        c.ByteSize = t == OraType::TimestampTZ ? 13 : 11;
        c.Precision = 0;
        c.Scale = 6;
        return c;
    }

    // A stored PL/SQL function called from SQL: ora_pl_call('NAME', args...).
    bool StoredFunction(const std::vector<std::string>& names, const std::vector<ExprPtr>& args, Scope& scope, TExpr& out) {
        ColumnInfo type;
        if (!h_.PlSqlFunction(names, type)) return false;
        std::string name;
        for (size_t k = 0; k < names.size(); ++k) name += (k ? "." : "") + names[k];
        out.sql = "ora_pl_call(" + SqlString(name);
        for (const auto& a : args) out.sql += "," + Translate(*a, scope).sql;
        out.sql += ")";
        out.t = type;
        return true;
    }

    [[noreturn]] void Invalid(const std::string& name, size_t offset) {
        Fail(904, "\"" + name + "\": invalid identifier", static_cast<int>(offset));
    }

    // ---------- objects
    const Object* ResolveObject(const ObjectName& n, bool forDml = false) {
        const Catalog& cat = h_.Cat();
        const Object* o = nullptr;
        if (!n.schema.empty()) {
            o = cat.Find(n.schema, n.name);
        } else {
            o = cat.Find(h_.SchemaName(), n.name);
            if (!o) o = cat.Find("PUBLIC", n.name);
        }
        for (int depth = 0; o && o->type == "SYNONYM" && depth < 16; ++depth) o = cat.Find(o->synOwner, o->synName);
        if (!o || (o->type != "TABLE" && o->type != "VIEW")) Fail(942, "table or view does not exist", static_cast<int>(n.offset));
        if (o->owner != h_.UserName() && o->owner != "SYS" && !h_.IsDba() && o->owner != h_.SchemaName()) {
            bool granted = false;
            for (const auto& g : cat.grants)
                if ((std::get<0>(g) == h_.UserName() || std::get<0>(g) == "PUBLIC") && std::get<1>(g) == o->owner && std::get<2>(g) == o->name)
                    granted = true;
            if (!granted) Fail(942, "table or view does not exist", static_cast<int>(n.offset));
        }
        if (o->owner == "SYS" && o->name.rfind("DBA_", 0) == 0 && !h_.IsDba()) Fail(942, "table or view does not exist", static_cast<int>(n.offset));
        if (o->status != "VALID" && o->type == "VIEW") Fail(4063, "view \"" + o->owner + "\"." + "\"" + o->name + "\" has errors", static_cast<int>(n.offset));
        if (forDml && o->type == "VIEW" && o->owner == "SYS") Fail(1031, "insufficient privileges", static_cast<int>(n.offset));
        if (forDml && o->type == "VIEW") Fail(1732, "data manipulation operation not legal on this view", static_cast<int>(n.offset));
        out_.readTables.push_back(o->id);
        return o;
    }

    Source SourceOf(const Object& o, const std::string& alias) {
        Source s;
        s.alias = alias.empty() ? o.name : alias;
        s.tableName = o.name;
        s.owner = o.owner;
        s.sqlAlias = "t" + std::to_string(++aliasCounter_);
        s.obj = o.type == "TABLE" ? &o : nullptr;
        for (const auto& c : o.cols) s.cols.emplace_back(c.name, c.info);
        return s;
    }

    std::string Param(size_t offset) {
        int slot = -1;
        for (size_t k = 0; k < ph_.size(); ++k)
            if (ph_[k].Offset == offset) { slot = static_cast<int>(k); break; }
        params_->push_back(slot);
        return "?" + std::to_string(params_->size());
    }

    // ---------- expressions
    TExpr Column(Expr& e, Scope& scope) {
        const auto& n = e.names;
        std::string col = n.back();
        bool outside = false;
        for (Scope* s = &scope; s; s = s->parent) {
            if (s == cursorOuter_) outside = true;
            const Source* found = nullptr;
            const ColumnInfo* info = nullptr;
            for (const auto& src : s->sources) {
                if (n.size() == 2 && !(src.alias == n[0])) continue;
                if (n.size() == 3 && !(src.owner == n[0] && src.tableName == n[1] && src.alias == src.tableName)) continue;
                for (const auto& c : src.cols) {
                    if (c.first == col) {
                        if (found && n.size() == 1) Fail(918, "column ambiguously defined", static_cast<int>(e.offset));
                        found = &src;
                        info = &c.second;
                        break;
                    }
                }
            }
            if (found) {
                TExpr r;
                r.sql = found->sqlAlias.empty() ? Quote(col) : found->sqlAlias + "." + Quote(col);
                r.t = *info;
                if (outside && outerRefs_) r.sql = OuterValue(r.sql);
                return r;
            }
        }
        if (TExpr fn; StoredFunction(n, {}, scope, fn)) return fn;
        if (n.size() > 1) {
            // a qualifier that names no source
            bool qualifierKnown = false;
            for (Scope* s = &scope; s; s = s->parent)
                for (const auto& src : s->sources)
                    if (src.alias == n[0]) qualifierKnown = true;
            std::string full;
            for (size_t k = 0; k < n.size(); ++k) full += (k ? "\".\"" : "") + n[k];
            if (!qualifierKnown || true) Fail(904, "\"" + full + "\": invalid identifier", static_cast<int>(e.offset));
        }
        Invalid(col, e.offset);
    }

    TExpr RowidOf(Expr& e, Scope& scope) {
        bool outside = false;
        for (Scope* s = &scope; s; s = s->parent) {
            if (s == cursorOuter_) outside = true;
            const Source* found = nullptr;
            int count = 0;
            for (const auto& src : s->sources) {
                if (!e.names.empty() && src.alias != e.names.back()) continue;
                if (src.obj) { found = &src; ++count; }
            }
            if (found) {
                if (count > 1 && e.names.empty()) Fail(918, "column ambiguously defined", static_cast<int>(e.offset));
                TExpr r;
                std::string rid = found->sqlAlias.empty() ? found->rowidCol : found->sqlAlias + "." + found->rowidCol;
                r.sql = "ora_rowid(" + std::to_string(found->obj->id) + "," + rid + ")";
                r.t.DataType = OraType::RowId;
                r.t.ByteSize = 18;
                r.isRowid = true;
                r.rowidSqlAlias = rid;
                r.rowidObj = found->obj->id;
                if (outside && outerRefs_) {   // the outer row's ROWID, as text
                    r.sql = OuterValue(r.sql);
                    r.isRowid = false;
                }
                return r;
            }
        }
        if (!scope.sources.empty() || scope.parent)
            Fail(1445, "cannot select ROWID from, or sample, a join view without a key-preserved table", static_cast<int>(e.offset));
        Invalid("ROWID", e.offset);
    }

    // A value used where a number is expected.
    std::string AsNumber(const TExpr& x) {
        if (IsNum(x.t) || x.isNull) return x.sql;
        return "ora_num(" + x.sql + ")";
    }
    // A value used where text is expected.
    std::string AsText(const TExpr& x) {
        if (IsDate(x.t)) return "ora_datetext(" + x.sql + ")";
        if (IsNum(x.t)) return "ora_numtext(" + x.sql + ")";
        return x.sql;
    }
    std::string AsDate(const TExpr& x) {
        if (IsDate(x.t) || x.isNull) return x.sql;
        return "ora_to_date(" + x.sql + ")";
    }

    TExpr Compare(const std::string& op, TExpr a, TExpr b) {
        // ROWID = value: look the row up by its number
        if ((op == "=") && (a.isRowid || b.isRowid)) {
            if (b.isRowid && !a.isRowid) std::swap(a, b);
            if (!b.isRowid) {
                TExpr r;
                r.sql = "(" + a.rowidSqlAlias + " = ora_rowidnum(" + b.sql + "," + std::to_string(a.rowidObj) + "))";
                r.t = NumType();
                return r;
            }
        }
        std::string l = a.sql, r = b.sql;
        if (IsDate(a.t) && !IsDate(b.t)) r = AsDate(b);
        else if (IsDate(b.t) && !IsDate(a.t)) l = AsDate(a);
        else if (IsNum(a.t) && IsChar(b.t) && !b.isBind) r = AsNumber(b);
        else if (IsNum(b.t) && IsChar(a.t) && !a.isBind) l = AsNumber(a);
        else if (a.t.DataType == OraType::Char && b.isLiteral && b.t.CharSize < a.t.CharSize) {
            // blank-padded comparison of CHAR values
            r = "rtrim(" + r + ",' ')"; l = "rtrim(" + l + ",' ')";
        } else if (b.t.DataType == OraType::Char && a.isLiteral && a.t.CharSize < b.t.CharSize) {
            r = "rtrim(" + r + ",' ')"; l = "rtrim(" + l + ",' ')";
        }
        TExpr res;
        res.sql = "(" + l + " " + op + " " + r + ")";
        res.t = NumType();
        return res;
    }

    TExpr Translate(Expr& e, Scope& scope);
    TExpr Combine(Expr& e, TExpr a, TExpr b);   // a binary operator over translated operands
    TExpr Function(Expr& e, Scope& scope);
    std::vector<TExpr> Args(Expr& e, Scope& scope) {
        std::vector<TExpr> r;
        for (auto& a : e.args) r.push_back(Translate(*a, scope));
        return r;
    }

    // ---------- queries
    struct QueryResult {
        std::string sql;
        std::vector<std::string> names;
        std::vector<ColumnInfo> types;
    };
    QueryResult Query(sql::Query& q, Scope* parent, bool top, bool positional);
    QueryResult Block(sql::Query& q, SelectBlock& b, Scope* parent, bool top, bool positional, std::vector<OrderItem>* order);
    std::string FromItem(TableRef& r, Scope& scope, std::vector<std::string>* whereExtra);
};

TExpr Translator::Translate(Expr& e, Scope& scope) {
    CheckStack(static_cast<int>(e.offset));
    TExpr r;
    switch (e.kind) {
    case Expr::Number:
        r.sql = e.text;
        if (!r.sql.empty() && (r.sql.back() == 'f' || r.sql.back() == 'F' || r.sql.back() == 'd' || r.sql.back() == 'D')) r.sql.pop_back();
        if (r.sql[0] == '.') r.sql = "0" + r.sql;
        if (r.sql.back() == '.') r.sql += "0";
        r.t = NumType();
        return r;
    case Expr::String:
        if (e.text.empty()) {
            r.sql = "NULL";
            r.isNull = true;
            r.t = CharType(0, true, e.negated);
            return r;
        }
        r.sql = SqlString(e.text);
        r.isLiteral = true;
        {
            size_t chars = 0;
            for (unsigned char c : e.text) if ((c & 0xC0) != 0x80) ++chars;
            r.t = CharType(static_cast<uint32_t>(chars), true, e.negated);
        }
        return r;
    case Expr::Null:
        r.sql = "NULL";
        r.isNull = true;
        r.t = CharType(0);
        r.t.ByteSize = 0;
        return r;
    case Expr::Bind:
        r.sql = Param(e.offset);
        r.isBind = true;
        r.t = CharType(4000);
        r.t.ByteSize = 4000;
        r.t.CharSize = 4000;
        return r;
    case Expr::Column:
        return Column(e, scope);
    case Expr::Rowid:
        return RowidOf(e, scope);
    case Expr::Rownum: {
        int slot = h_.NewRownumSlot();
        r.sql = "ora_rownum(" + std::to_string(slot) + ")";
        r.t = NumType();
        return r;
    }
    case Expr::Sysdate:
        if (e.text == "SYSTIMESTAMP" || e.text == "CURRENT_TIMESTAMP" || e.text == "LOCALTIMESTAMP") {
            r.sql = "ora_systimestamp()";
            r.t = TimestampType(e.text == "LOCALTIMESTAMP" ? OraType::Timestamp : OraType::TimestampTZ);
            return r;
        }
        r.sql = "ora_sysdate()";
        r.t = DateType();
        return r;
    case Expr::DateLiteral:
        if (e.typeName == "TIMESTAMP") {
            r.sql = "ora_to_timestamp(" + SqlString(e.text) + ",'YYYY-MM-DD HH24:MI:SSXFF')";
            r.t = TimestampType();
            return r;
        }
        r.sql = "ora_to_date(" + SqlString(e.text) + ",'YYYY-MM-DD HH24:MI:SS')";
        r.t = DateType();
        return r;
    case Expr::Star:
        MissingExpression(e);
    case Expr::Unary: {
        if (e.text == "PRIOR") {
            if (!priorScope_) Fail(976, "Specified pseudocolumn or operator not allowed here.", static_cast<int>(e.offset));
            Scope* inner = priorScope_;
            priorUsed_ = true;
            priorScope_ = nullptr;
            TExpr a = Translate(*e.args[0], *inner);
            priorScope_ = inner;
            return a;
        }
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_neg(" + a.sql + ")";
        r.t = NumType();
        return r;
    }
    case Expr::Binary: {
        if (e.text == "||" && e.args[0]->kind == Expr::Binary && e.args[0]->text == "||") {
            // a chain a || b || c ...: one call, so that a long chain is no deep nesting in SQLite
            std::vector<Expr*> parts{e.args[1].get()};
            Expr* x = e.args[0].get();
            for (; x->kind == Expr::Binary && x->text == "||"; x = x->args[0].get()) parts.push_back(x->args[1].get());
            parts.push_back(x);
            std::vector<std::string> args;
            uint32_t len = 0;
            for (size_t k = parts.size(); k-- > 0;) {
                TExpr p = Translate(*parts[k], scope);
                args.push_back(AsText(p));
                len += p.t.CharSize + (IsNum(p.t) || IsDate(p.t) ? 40 : 0);
            }
            // SQLite takes at most 127 arguments: long chains concatenate groups of 100
            while (args.size() > 100) {
                std::vector<std::string> groups;
                for (size_t k = 0; k < args.size(); k += 100) {
                    std::string g;
                    for (size_t m = k; m < std::min(args.size(), k + 100); ++m) g += (m > k ? "," : "") + args[m];
                    groups.push_back("ora_concat(" + g + ")");
                }
                args = std::move(groups);
            }
            r.sql = "ora_concat(";
            for (size_t k = 0; k < args.size(); ++k) r.sql += (k ? "," : "") + args[k];
            r.sql += ")";
            r.t = CharType(std::min<uint32_t>(4000, len));
            return r;
        }
        auto arith = [](const Expr* x) {
            return x->kind == Expr::Binary && (x->text == "+" || x->text == "-" || x->text == "*" || x->text == "/");
        };
        if (arith(&e) && arith(e.args[0].get())) {
            // a chain of number arithmetic: ora_arith(op1, a, b, op2, c, ...) in calls of at
            // most 50 steps, the previous call's result first, so that a long sum is no deep
            // nesting for SQLite; a chain with a date in it takes the two-operand path
            std::vector<const Expr*> nodes{&e};
            const Expr* x = e.args[0].get();
            for (; arith(x); x = x->args[0].get()) nodes.push_back(x);
            std::vector<TExpr> operands{Translate(*const_cast<Expr*>(x), scope)};
            bool numbers = !IsDate(operands[0].t);
            for (size_t k = nodes.size(); k-- > 0;) {
                operands.push_back(Translate(*nodes[k]->args[1], scope));
                if (IsDate(operands.back().t)) numbers = false;
            }
            if (!numbers) {
                TExpr acc = std::move(operands[0]);
                for (size_t k = nodes.size(), i = 1; k-- > 0; ++i) acc = Combine(*const_cast<Expr*>(nodes[k]), std::move(acc), std::move(operands[i]));
                return acc;
            }
            {
                std::string acc = AsNumber(operands[0]);
                size_t step = 0;
                std::string call;
                for (size_t k = nodes.size(); k-- > 0; ++step) {
                    const TExpr& v = operands[nodes.size() - k];
                    if (step % 50 == 0) {
                        if (!call.empty()) acc = call + ")";
                        call = "ora_arith('" + nodes[k]->text + "'," + acc + "," + AsNumber(v);
                    } else {
                        call += ",'" + nodes[k]->text + "'," + AsNumber(v);
                    }
                }
                r.sql = call + ")";
                r.t = NumType();
                return r;
            }
        }
        TExpr a = Translate(*e.args[0], scope);
        TExpr b = Translate(*e.args[1], scope);
        return Combine(e, std::move(a), std::move(b));
    }
    case Expr::And:
    case Expr::Or: {
        // a chain of the same connective is one flat condition (no nesting for SQLite to parse)
        std::vector<Expr*> parts{e.args[1].get()};
        Expr* x = e.args[0].get();
        for (; x->kind == e.kind; x = x->args[0].get()) parts.push_back(x->args[1].get());
        parts.push_back(x);
        r.sql = "(";
        for (size_t k = parts.size(); k-- > 0;)
            r.sql += Translate(*parts[k], scope).sql + (k ? (e.kind == Expr::And ? " AND " : " OR ") : "");
        r.sql += ")";
        r.t = NumType();
        return r;
    }
    case Expr::Not: {
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "(NOT " + a.sql + ")";
        r.t = NumType();
        return r;
    }
    case Expr::Compare: {
        TExpr a = Translate(*e.args[0], scope);
        Expr& rhs = *e.args[1];
        if (!e.typeName.empty()) {
            // op ANY/ALL (list or subquery)
            bool any = e.typeName == "ANY";
            if (rhs.kind == Expr::Subquery) {
                if (!((any && e.text == "=") || (!any && e.text == "<>")))
                    Fail(3001, "unimplemented feature", static_cast<int>(e.offset));
                QueryResult q = Query(*rhs.query, &scope, false, false);
                r.sql = "(" + a.sql + (any ? " IN (" : " NOT IN (") + q.sql + "))";
                r.t = NumType();
                return r;
            }
            std::string s;
            for (auto& item : rhs.args) {
                TExpr b = Translate(*item, scope);
                TExpr c = Compare(e.text, a, b);
                s += (s.empty() ? "" : (any ? " OR " : " AND ")) + c.sql;
            }
            r.sql = "(" + s + ")";
            r.t = NumType();
            return r;
        }
        if (e.args[0]->kind == Expr::List || rhs.kind == Expr::List) {
            // (a, b) = (x, y)
            if (e.args[0]->kind != Expr::List || rhs.kind != Expr::List || e.args[0]->args.size() != rhs.args.size()) {
                if (rhs.kind == Expr::Subquery) {
                    QueryResult q = Query(*rhs.query, &scope, false, false);
                    r.sql = "(" + a.sql + " " + e.text + " (" + q.sql + "))";
                    r.t = NumType();
                    return r;
                }
                Fail(920, "invalid relational operator", static_cast<int>(e.offset));
            }
            std::string s;
            for (size_t k = 0; k < rhs.args.size(); ++k) {
                TExpr x = Translate(*e.args[0]->args[k], scope);
                TExpr y = Translate(*rhs.args[k], scope);
                s += (s.empty() ? "" : " AND ") + Compare(e.text, x, y).sql;
            }
            r.sql = "(" + s + ")";
            r.t = NumType();
            return r;
        }
        TExpr b = Translate(rhs, scope);
        return Compare(e.text, a, b);
    }
    case Expr::IsNull: {
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
        r.t = NumType();
        return r;
    }
    case Expr::In: {
        TExpr a = Translate(*e.args[0], scope);
        if (e.query) {
            QueryResult q = Query(*e.query, &scope, false, false);
            r.sql = "(" + a.sql + (e.negated ? " NOT IN (" : " IN (") + q.sql + "))";
        } else {
            std::string list;
            for (size_t k = 1; k < e.args.size(); ++k) {
                TExpr b = Translate(*e.args[k], scope);
                std::string v = b.sql;
                if (IsDate(a.t) && !IsDate(b.t)) v = AsDate(b);
                else if (IsNum(a.t) && IsChar(b.t) && !b.isBind) v = AsNumber(b);
                list += (list.empty() ? "" : ",") + v;
            }
            r.sql = "(" + a.sql + (e.negated ? " NOT IN (" : " IN (") + list + "))";
        }
        r.t = NumType();
        return r;
    }
    case Expr::Between: {
        TExpr a = Translate(*e.args[0], scope);
        TExpr lo = Translate(*e.args[1], scope);
        TExpr hi = Translate(*e.args[2], scope);
        std::string l = lo.sql, h = hi.sql;
        if (IsDate(a.t)) { l = AsDate(lo); h = AsDate(hi); }
        else if (IsNum(a.t)) { if (IsChar(lo.t) && !lo.isBind) l = AsNumber(lo); if (IsChar(hi.t) && !hi.isBind) h = AsNumber(hi); }
        r.sql = "(" + a.sql + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + l + " AND " + h + ")";
        r.t = NumType();
        return r;
    }
    case Expr::Like: {
        TExpr a = Translate(*e.args[0], scope);
        TExpr p = Translate(*e.args[1], scope);
        r.sql = "(" + AsText(a) + (e.negated ? " NOT LIKE " : " LIKE ") + AsText(p);
        if (e.args.size() > 2) r.sql += " ESCAPE " + Translate(*e.args[2], scope).sql;
        r.sql += ")";
        r.t = NumType();
        return r;
    }
    case Expr::Exists: {
        QueryResult q = Query(*e.query, &scope, false, false);
        r.sql = "(EXISTS (" + q.sql + "))";
        r.t = NumType();
        return r;
    }
    case Expr::Subquery: {
        // a CURSOR expression is a column of the top query's select list only
        if (e.text == "CURSOR") Fail(22902, "CURSOR expression not allowed", static_cast<int>(e.offset));
        QueryResult q = Query(*e.query, &scope, false, true);
        if (q.types.size() != 1) Fail(913, "too many values", static_cast<int>(e.offset));
        // a scalar subquery gives one row or none; a second row is an error, not ignored
        r.sql = "(SELECT CASE WHEN count(*) > 1 THEN ora_raise('ORA-01427: single-row subquery returns more than one row') "
                "ELSE max(\"c1\") END FROM (SELECT * FROM (" + q.sql + ") LIMIT 2))";
        r.t = q.types[0];
        r.t.Nullable = true;
        return r;
    }
    case Expr::List:
        if (e.args.size() == 1) return Translate(*e.args[0], scope);
        Fail(907, "missing right parenthesis", static_cast<int>(e.offset));
    case Expr::Case: {
        size_t k = 0;
        std::string s = "(CASE";
        TExpr operand;
        if (e.caseHasOperand) operand = Translate(*e.args[k++], scope);
        ColumnInfo t;
        bool typed = false;
        size_t whenEnd = e.args.size() - (e.hasElse ? 1 : 0);
        for (; k + 1 < whenEnd + 1 && k < whenEnd; k += 2) {
            TExpr w = Translate(*e.args[k], scope);
            TExpr th = Translate(*e.args[k + 1], scope);
            if (e.caseHasOperand) s += " WHEN " + Compare("=", operand, w).sql;
            else s += " WHEN " + w.sql;
            s += " THEN " + th.sql;
            if (!typed && !th.isNull) { t = th.t; typed = true; }
        }
        if (e.hasElse) {
            TExpr el = Translate(*e.args.back(), scope);
            s += " ELSE " + el.sql;
            if (!typed && !el.isNull) { t = el.t; typed = true; }
        }
        s += " END)";
        r.sql = s;
        r.t = typed ? t : CharType(0);
        if (r.t.DataType == OraType::Char) r.t.DataType = OraType::Varchar2;
        r.t.Nullable = true;
        return r;
    }
    case Expr::SeqValue: {
        ObjectName n;
        if (e.names.size() == 2) { n.schema = e.names[0]; n.name = e.names[1]; }
        else n.name = e.names[0];
        const Catalog& cat = h_.Cat();
        const Object* o = n.schema.empty() ? cat.Find(h_.SchemaName(), n.name) : cat.Find(n.schema, n.name);
        if (!o && n.schema.empty()) o = cat.Find("PUBLIC", n.name);
        for (int d = 0; o && o->type == "SYNONYM" && d < 16; ++d) o = cat.Find(o->synOwner, o->synName);
        if (!o || o->type != "SEQUENCE") {
            if (e.names.size() == 2 || !o) {
                // t.col.NEXTVAL is no sequence reference; a missing sequence is ORA-02289
                Fail(2289, "sequence does not exist", static_cast<int>(e.offset));
            }
            Fail(2289, "sequence does not exist", static_cast<int>(e.offset));
        }
        r.sql = std::string(e.text == "NEXTVAL" ? "ora_nextval(" : "ora_currval(") + SqlString(o->owner + "." + o->name) + ")";
        r.t = NumType();
        return r;
    }
    case Expr::Cast: {
        TExpr a = Translate(*e.args[0], scope);
        std::string t = e.typeName;
        for (auto& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (t.rfind("NUMBER", 0) == 0 || t.rfind("INTEGER", 0) == 0 || t.rfind("INT", 0) == 0 || t.rfind("FLOAT", 0) == 0 ||
            t.rfind("DECIMAL", 0) == 0) {
            r.sql = "ora_to_number(" + AsText(a) + ")";
            if (IsNum(a.t)) r.sql = a.sql;
            r.t = NumType();
            if (t.rfind("INT", 0) == 0) { r.sql = "ora_trunc(" + r.sql + ")"; r.t.Precision = 38; r.t.Scale = 0; }
        } else if (t.rfind("DATE", 0) == 0 || t.rfind("TIMESTAMP", 0) == 0) {
            r.sql = AsDate(a);
            r.t = DateType();
        } else {
            int len = 4000;
            size_t p = t.find('(');
            if (p != std::string::npos) len = std::atoi(t.c_str() + p + 1);
            r.sql = "ora_substr(" + AsText(a) + ",1," + std::to_string(len) + ")";
            r.t = CharType(static_cast<uint32_t>(len), t.rfind("CHAR", 0) == 0 && t.find("VAR") == std::string::npos);
        }
        return r;
    }
    case Expr::Func:
        return Function(e, scope);
    }
    Fail(936, "missing expression", static_cast<int>(e.offset));
}

} // namespace

namespace {
[[noreturn]] void ArgCount(Expr& e) {
    Fail(909, "invalid number of arguments", static_cast<int>(e.offset));
}
}  // namespace

namespace {

TExpr Translator::Combine(Expr& e, TExpr a, TExpr b) {
    TExpr r;
    if (e.text == "||") {
        r.sql = "ora_concat(" + AsText(a) + "," + AsText(b) + ")";
        uint32_t len = std::min<uint32_t>(4000, a.t.CharSize + b.t.CharSize + (IsNum(a.t) || IsDate(a.t) ? 40 : 0) + (IsNum(b.t) || IsDate(b.t) ? 40 : 0));
        r.t = CharType(len);
        return r;
    }
    if (e.text == "**") Fail(936, "missing expression", static_cast<int>(e.offset));
    if (IsDate(a.t) || IsDate(b.t)) {
        if (e.text == "+" && IsDate(a.t) && !IsDate(b.t)) { r.sql = "ora_dateadd(" + a.sql + "," + AsNumber(b) + ")"; r.t = DateType(); return r; }
        if (e.text == "+" && IsDate(b.t) && !IsDate(a.t)) { r.sql = "ora_dateadd(" + b.sql + "," + AsNumber(a) + ")"; r.t = DateType(); return r; }
        if (e.text == "-" && IsDate(a.t) && IsDate(b.t)) { r.sql = "ora_datediff(" + a.sql + "," + b.sql + ")"; r.t = NumType(); return r; }
        if (e.text == "-" && IsDate(a.t)) { r.sql = "ora_dateadd(" + a.sql + ",ora_neg(" + AsNumber(b) + "))"; r.t = DateType(); return r; }
        if (e.text == "+" && IsDate(a.t) && IsDate(b.t)) Fail(975, "date + date not allowed", static_cast<int>(e.offset));
        Fail(932, "inconsistent datatypes: expected NUMBER got DATE", static_cast<int>(e.offset));
    }
    r.sql = "ora_arith('" + e.text + "'," + a.sql + "," + b.sql + ")";
    r.t = NumType();
    return r;
}

TExpr Translator::Function(Expr& e, Scope& scope) {
    const std::string& f = e.text;
    TExpr r;
    size_t n = e.args.size();
    auto need = [&](size_t lo, size_t hi) { if (n < lo || n > hi) ArgCount(e); };
    auto simple = [&](const char* fn, ColumnInfo t) {
        std::vector<TExpr> a = Args(e, scope);
        std::string s = std::string(fn) + "(";
        for (size_t k = 0; k < a.size(); ++k) s += (k ? "," : "") + a[k].sql;
        r.sql = s + ")";
        r.t = t;
        return r;
    };
    auto textArgs = [&](const char* fn, ColumnInfo t) {
        std::vector<TExpr> a = Args(e, scope);
        std::string s = std::string(fn) + "(";
        for (size_t k = 0; k < a.size(); ++k) s += (k ? "," : "") + (k == 0 ? AsText(a[k]) : a[k].sql);
        r.sql = s + ")";
        r.t = t;
        return r;
    };
    if (f == "USER") { r.sql = "ora_user()"; r.t = CharType(30); r.t.DataType = OraType::Varchar2; return r; }
    if (f == "UID") { r.sql = "ora_uid()"; r.t = NumType(); return r; }
    if (f == "LEVEL") {
        if (levelSql_.empty()) Fail(976, "Specified pseudocolumn or operator not allowed here.", static_cast<int>(e.offset));
        r.sql = levelSql_;
        r.t = NumType();
        return r;
    }
    bool aggregate = f == "COUNT" || f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX" || f == "STDDEV" || f == "VARIANCE";
    if (aggregate) {
        if (!allowAggregates_) Fail(934, "group function is not allowed here", static_cast<int>(e.offset));
        need(1, 1);
        if (f == "COUNT" && e.args[0]->kind == Expr::Star) { r.sql = "count(*)"; r.t = NumType(); r.t.Nullable = true; return r; }
        TExpr a = Translate(*e.args[0], scope);
        std::string d = e.distinct ? "DISTINCT " : "";
        if (f == "COUNT") { r.sql = "count(" + d + a.sql + ")"; r.t = NumType(); return r; }
        if (f == "MIN" || f == "MAX") { r.sql = (f == "MIN" ? "min(" : "max(") + d + a.sql + ")"; r.t = a.t; r.t.Nullable = true; return r; }
        if (f == "SUM") { r.sql = "sum(" + d + AsNumber(a) + ")"; r.t = NumType(); return r; }
        if (f == "AVG") { r.sql = "ora_round(avg(" + d + AsNumber(a) + "),12)"; r.t = NumType(); return r; }
        Fail(3001, "unimplemented feature", static_cast<int>(e.offset));
    }
    if (f == "NVL") {
        need(2, 2);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope);
        std::string bs = b.sql;
        if (IsDate(a.t) && !IsDate(b.t) && !b.isNull) bs = AsDate(b);
        else if (IsChar(a.t) && !IsChar(b.t) && !a.isNull) bs = AsText(b);
        r.sql = "coalesce(" + a.sql + "," + bs + ")";
        r.t = a.isNull ? b.t : a.t;
        if (r.t.DataType == OraType::Char && !a.isNull) r.t.DataType = a.t.DataType;
        r.t.Nullable = true;
        return r;
    }
    if (f == "NVL2") {
        need(3, 3);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope), c = Translate(*e.args[2], scope);
        r.sql = "(CASE WHEN " + a.sql + " IS NOT NULL THEN " + b.sql + " ELSE " + c.sql + " END)";
        r.t = b.isNull ? c.t : b.t;
        return r;
    }
    if (f == "COALESCE") {
        if (n < 1) ArgCount(e);
        std::vector<TExpr> a = Args(e, scope);
        std::string s = "coalesce(";
        for (size_t k = 0; k < a.size(); ++k) s += (k ? "," : "") + a[k].sql;
        if (a.size() == 1) s += ",NULL";
        r.sql = s + ")";
        r.t = a[0].t;
        return r;
    }
    if (f == "NULLIF") {
        need(2, 2);
        std::vector<TExpr> a = Args(e, scope);
        r.sql = "nullif(" + a[0].sql + "," + a[1].sql + ")";
        r.t = a[0].t;
        return r;
    }
    if (f == "DECODE") {
        if (n < 3) ArgCount(e);
        TExpr x = Translate(*e.args[0], scope);
        std::string s = "(CASE";
        ColumnInfo t;
        bool typed = false;
        size_t k = 1;
        for (; k + 1 < n; k += 2) {
            TExpr w = Translate(*e.args[k], scope);
            TExpr th = Translate(*e.args[k + 1], scope);
            std::string wv = w.sql;
            if (IsDate(x.t) && !IsDate(w.t) && !w.isNull) wv = AsDate(w);
            s += " WHEN ora_decode_eq(" + x.sql + "," + wv + ") THEN " + th.sql;
            if (!typed && !th.isNull) { t = th.t; typed = true; }
        }
        if (k < n) {
            TExpr d = Translate(*e.args[k], scope);
            s += " ELSE " + d.sql;
            if (!typed && !d.isNull) { t = d.t; typed = true; }
        }
        r.sql = s + " END)";
        r.t = typed ? t : CharType(0);
        if (r.t.DataType == OraType::Char) r.t.DataType = OraType::Varchar2;
        r.t.Nullable = true;
        return r;
    }
    if (f == "TO_CHAR" || f == "TO_NCHAR") {
        need(1, 3);
        TExpr a = Translate(*e.args[0], scope);
        std::string fmt = n > 1 ? Translate(*e.args[1], scope).sql : "";
        if (IsDate(a.t)) {
            // a timestamp without a format prints as NLS_TIMESTAMP_FORMAT does by default
            if (n == 1 && IsTimestamp(a.t)) fmt = a.t.DataType == OraType::Timestamp ? "'DD-MON-RR HH.MI.SSXFF AM'" : "'DD-MON-RR HH.MI.SSXFF AM TZR'";
            r.sql = "ora_to_char_date(" + a.sql + (n > 1 || IsTimestamp(a.t) ? "," + fmt : "") + ")";
            r.t = CharType(n > 1 ? 75 : 75);
        } else if (IsNum(a.t) || n > 1) {
            r.sql = "ora_to_char_num(" + a.sql + (n > 1 ? "," + fmt : "") + ")";
            r.t = CharType(n > 1 ? 64 : 40);
        } else {
            r.sql = a.sql;
            r.t = a.t;
            if (r.t.DataType == OraType::Char && !a.isLiteral) {}
            if (a.isBind) r.t = CharType(4000);
        }
        if (f == "TO_NCHAR") { ColumnInfo t = CharType(r.t.CharSize, false, true); r.t = t; }
        return r;
    }
    if (f == "TO_DATE") {
        need(1, 3);
        TExpr a = Translate(*e.args[0], scope);
        if (IsDate(a.t) && n == 1) { r = a; return r; }
        std::string s = "ora_to_date(" + AsText(a);
        if (n > 1) s += "," + Translate(*e.args[1], scope).sql;
        r.sql = s + ")";
        r.t = DateType();
        return r;
    }
    if (f == "TO_TIMESTAMP" || f == "TO_TIMESTAMP_TZ") {
        need(1, 3);
        TExpr a = Translate(*e.args[0], scope);
        r.t = TimestampType(f == "TO_TIMESTAMP" ? OraType::Timestamp : OraType::TimestampTZ);
        if (IsDate(a.t) && n == 1) { r.sql = a.sql; return r; }
        r.sql = "ora_to_timestamp(" + AsText(a) + (n > 1 ? "," + Translate(*e.args[1], scope).sql : std::string()) + ")";
        return r;
    }
    if (f == "TO_NUMBER") {
        need(1, 3);
        TExpr a = Translate(*e.args[0], scope);
        std::string s = "ora_to_number(" + a.sql;
        if (n > 1) s += "," + Translate(*e.args[1], scope).sql;
        r.sql = s + ")";
        r.t = NumType();
        return r;
    }
    if (f == "CHR" || f == "NCHR") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_chr(" + a.sql + (f == "NCHR" ? ",2)" : ",1)");
        r.t = CharType(1, false, f == "NCHR");
        return r;
    }
    if (f == "LENGTH" || f == "LENGTHC") { need(1, 1); return textArgs("ora_length", NumType()); }
    if (f == "LENGTHB") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_lengthb(" + AsText(a) + "," + std::to_string(a.t.CharsetForm == 2 ? 2 : 1) + ")";
        r.t = NumType();
        return r;
    }
    if (f == "VSIZE") { need(1, 1); return simple("ora_vsize", NumType()); }
    if (f == "ASCII") { need(1, 1); return textArgs("ora_ascii", NumType()); }
    if (f == "UPPER" || f == "LOWER" || f == "INITCAP" || f == "NLS_UPPER" || f == "NLS_LOWER") {
        need(1, 2);
        TExpr a = Translate(*e.args[0], scope);
        std::string fn = f == "INITCAP" ? "ora_initcap" : (f.find("UPPER") != std::string::npos ? "ora_upper" : "ora_lower");
        r.sql = fn + "(" + AsText(a) + ")";
        r.t = IsChar(a.t) ? a.t : CharType(40);
        if (a.isBind) r.t = CharType(4000);
        return r;
    }
    if (f == "SUBSTR" || f == "SUBSTRB") {
        need(2, 3);
        TExpr a = Translate(*e.args[0], scope);
        std::vector<TExpr> rest;
        for (size_t k = 1; k < n; ++k) rest.push_back(Translate(*e.args[k], scope));
        r.sql = "ora_substr(" + AsText(a);
        for (auto& x : rest) r.sql += "," + x.sql;
        r.sql += ")";
        uint32_t len = IsChar(a.t) ? a.t.CharSize : 40;
        if (n == 3 && e.args[2]->kind == Expr::Number) len = std::min<uint32_t>(len, static_cast<uint32_t>(std::max(1, std::atoi(e.args[2]->text.c_str()))));
        r.t = CharType(len, false, a.t.CharsetForm == 2);
        return r;
    }
    if (f == "INSTR" || f == "INSTRB") { need(2, 4); return textArgs("ora_instr", NumType()); }
    if (f == "LPAD" || f == "RPAD") {
        need(2, 3);
        TExpr a = Translate(*e.args[0], scope);
        TExpr l = Translate(*e.args[1], scope);
        r.sql = std::string(f == "LPAD" ? "ora_lpad(" : "ora_rpad(") + AsText(a) + "," + l.sql;
        if (n == 3) r.sql += "," + AsText(Translate(*e.args[2], scope));
        r.sql += ")";
        uint32_t len = e.args[1]->kind == Expr::Number ? static_cast<uint32_t>(std::max(1, std::atoi(e.args[1]->text.c_str()))) : 4000;
        r.t = CharType(std::min<uint32_t>(len, 4000));
        return r;
    }
    if (f == "LTRIM" || f == "RTRIM") {
        need(1, 2);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = std::string(f == "LTRIM" ? "ora_ltrim(" : "ora_rtrim(") + AsText(a);
        if (n == 2) r.sql += "," + AsText(Translate(*e.args[1], scope));
        r.sql += ")";
        r.t = IsChar(a.t) ? a.t : CharType(40);
        r.t.DataType = OraType::Varchar2;
        return r;
    }
    if (f == "TRIM") {
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_trim(" + AsText(a) + ",'" + e.typeName + "'";
        if (n == 2) r.sql += "," + AsText(Translate(*e.args[1], scope));
        r.sql += ")";
        r.t = IsChar(a.t) ? a.t : CharType(40);
        r.t.DataType = OraType::Varchar2;
        return r;
    }
    if (f == "REPLACE") {
        need(2, 3);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_replace(" + AsText(a);
        for (size_t k = 1; k < n; ++k) r.sql += "," + AsText(Translate(*e.args[k], scope));
        r.sql += ")";
        r.t = CharType(4000);
        return r;
    }
    if (f == "TRANSLATE") {
        need(3, 3);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_translate(" + AsText(a);
        for (size_t k = 1; k < n; ++k) r.sql += "," + AsText(Translate(*e.args[k], scope));
        r.sql += ")";
        r.t = IsChar(a.t) ? a.t : CharType(40);
        r.t.DataType = OraType::Varchar2;
        return r;
    }
    if (f == "SOUNDEX") { need(1, 1); return textArgs("ora_soundex", CharType(4)); }
    if (f == "RAWTOHEX") { need(1, 1); return simple("ora_rawtohex", CharType(4000)); }
    if (f == "TRUNC" || f == "ROUND") {
        need(1, 2);
        TExpr a = Translate(*e.args[0], scope);
        if (IsDate(a.t)) {
            r.sql = std::string(f == "TRUNC" ? "ora_trunc_date(" : "ora_round_date(") + a.sql;
            if (n == 2) r.sql += "," + Translate(*e.args[1], scope).sql;
            r.sql += ")";
            r.t = DateType();
            return r;
        }
        r.sql = std::string(f == "TRUNC" ? "ora_trunc(" : "ora_round(") + a.sql;
        if (n == 2) r.sql += "," + Translate(*e.args[1], scope).sql;
        r.sql += ")";
        r.t = NumType();
        return r;
    }
    struct NumFn { const char* name; const char* impl; size_t lo, hi; };
    static const NumFn numFns[] = {
        {"MOD", "ora_mod", 2, 2}, {"ABS", "ora_abs", 1, 1}, {"SIGN", "ora_sign", 1, 1}, {"FLOOR", "ora_floor", 1, 1},
        {"CEIL", "ora_ceil", 1, 1}, {"POWER", "ora_power", 2, 2}, {"SQRT", "ora_sqrt", 1, 1}, {"EXP", "ora_exp", 1, 1},
        {"LN", "ora_ln", 1, 1}, {"LOG", "ora_log", 2, 2}, {"REMAINDER", "ora_remainder", 2, 2}};
    for (const auto& nf : numFns) {
        if (f == nf.name) { need(nf.lo, nf.hi); return simple(nf.impl, NumType()); }
    }
    if (f == "GREATEST" || f == "LEAST") {
        if (n < 1) ArgCount(e);
        std::vector<TExpr> a = Args(e, scope);
        char kind = IsNum(a[0].t) ? 'N' : IsDate(a[0].t) ? 'D' : 'S';
        std::string s = std::string(f == "GREATEST" ? "ora_greatest('" : "ora_least('") + kind + "'";
        for (auto& x : a) s += "," + (kind == 'D' ? AsDate(x) : kind == 'S' ? AsText(x) : x.sql);
        r.sql = s + ")";
        r.t = a[0].t;
        if (r.t.DataType == OraType::Char) r.t.DataType = OraType::Varchar2;
        return r;
    }
    if (f == "ADD_MONTHS") {
        need(2, 2);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope);
        r.sql = "ora_add_months(" + AsDate(a) + "," + b.sql + ")";
        r.t = DateType();
        return r;
    }
    if (f == "MONTHS_BETWEEN") {
        need(2, 2);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope);
        r.sql = "ora_months_between(" + AsDate(a) + "," + AsDate(b) + ")";
        r.t = NumType();
        return r;
    }
    if (f == "LAST_DAY") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_last_day(" + AsDate(a) + ")";
        r.t = DateType();
        return r;
    }
    if (f == "NEXT_DAY") {
        need(2, 2);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope);
        r.sql = "ora_next_day(" + AsDate(a) + "," + b.sql + ")";
        r.t = DateType();
        return r;
    }
    if (f == "USERENV") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_userenv(" + a.sql + ")";
        std::string p = e.args[0]->kind == Expr::String ? e.args[0]->text : "";
        for (auto& c : p) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (p == "SESSIONID" || p == "ENTRYID" || p == "SID" || p == "INSTANCE") r.t = NumType();
        else r.t = CharType(p == "LANGUAGE" ? 52 : 64), r.t.DataType = OraType::Varchar2;
        return r;
    }
    if (f == "SYS_CONTEXT") {
        need(2, 3);
        TExpr a = Translate(*e.args[0], scope), b = Translate(*e.args[1], scope);
        r.sql = "ora_userenv(" + a.sql + "," + b.sql + ")";
        r.t = CharType(256);
        return r;
    }
    if (f == "EMPTY_CLOB" || f == "EMPTY_BLOB") {
        need(0, 0);
        r.sql = "x''";   // an empty LOB: a zero-length blob, which is not NULL
        r.t.DataType = f == "EMPTY_BLOB" ? OraType::Blob : OraType::Clob;
        r.t.ByteSize = 4000;
        return r;
    }
    if (f == "TO_CLOB" || f == "TO_NCLOB" || f == "TO_BLOB") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = a.sql;
        r.t.DataType = f == "TO_BLOB" ? OraType::Blob : OraType::Clob;
        r.t.ByteSize = 4000;
        if (f != "TO_BLOB") {
            r.t.CharsetForm = f == "TO_NCLOB" ? 2 : 1;
            r.t.CharsetId = f == "TO_NCLOB" ? h_.DbNCharsetId() : h_.DbCharsetId();
        }
        return r;
    }
    if (f == "HEXTORAW") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "unhex(" + a.sql + ")";
        r.sql = "ora_store(" + a.sql + ",-1)";
        r.t.DataType = OraType::Raw;
        r.t.ByteSize = 2000;
        return r;
    }
    if (f == "EXTRACT") {
        TExpr a = Translate(*e.args[0], scope);
        const std::string& part = e.typeName;
        const char* fmt = part == "YEAR" ? "YYYY" : part == "MONTH" ? "MM" : part == "DAY" ? "DD" : part == "HOUR" ? "HH24" : part == "MINUTE" ? "MI" : part == "SECOND" ? "SS" : nullptr;
        if (!fmt) Fail(907, "missing right parenthesis", static_cast<int>(e.offset));
        r.sql = "ora_to_number(ora_to_char_date(" + AsDate(a) + ",'" + fmt + "'))";
        r.t = NumType();
        return r;
    }
    if (f == "SYS_GUID") {
        need(0, 0);
        r.sql = "randomblob(16)";
        r.t.DataType = OraType::Raw;
        r.t.ByteSize = 16;
        return r;
    }
    if (f == "DUMP" || f == "BITAND") {
        if (f == "BITAND") { need(2, 2); std::vector<TExpr> a = Args(e, scope); r.sql = "(" + AsNumber(a[0]) + " & " + AsNumber(a[1]) + ")"; r.t = NumType(); return r; }
    }
    if (f == "ROWIDTOCHAR") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = a.isRowid || a.t.DataType == OraType::RowId ? a.sql : AsText(a);
        r.t = CharType(18);
        return r;
    }
    if (f == "CHARTOROWID") {
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = AsText(a);
        r.t.DataType = OraType::RowId;
        r.t.ByteSize = 18;
        return r;
    }
    if (f == "DBMS_LOB.GETLENGTH" || f == "SYS.DBMS_LOB.GETLENGTH") {
        // characters of a CLOB, bytes of a BLOB (a zero-length BLOB value is an empty LOB)
        need(1, 1);
        TExpr a = Translate(*e.args[0], scope);
        r.sql = "ora_length(" + a.sql + ")";
        r.t = NumType();
        return r;
    }
    if (f == "DBMS_LOB.SUBSTR" || f == "SYS.DBMS_LOB.SUBSTR") {
        // DBMS_LOB.SUBSTR(lob, amount => 32767, offset => 1): NULL for an amount or offset below 1
        need(1, 3);
        TExpr a = Translate(*e.args[0], scope);
        std::string amount = n > 1 ? AsNumber(Translate(*e.args[1], scope)) : "32767";
        std::string offset = n > 2 ? AsNumber(Translate(*e.args[2], scope)) : "1";
        bool binary = a.t.DataType == OraType::Blob || a.t.DataType == OraType::Bfile || a.t.DataType == OraType::Raw ||
                      a.t.DataType == OraType::LongRaw;
        std::string body = binary ? "CASE WHEN length(" + a.sql + ") >= " + offset + " THEN substr(" + a.sql + "," + offset + "," + amount + ") END"
                                  : "ora_substr(" + AsText(a) + "," + offset + "," + amount + ")";
        r.sql = "(CASE WHEN " + amount + " >= 1 AND " + offset + " >= 1 AND " + amount + " <= 32767 THEN " + body + " END)";
        if (binary) { r.t.DataType = OraType::Raw; r.t.ByteSize = 32767; }
        else r.t = CharType(4000, false, a.t.CharsetForm == 2);
        return r;
    }
    if (f == "DBMS_LOB.INSTR" || f == "SYS.DBMS_LOB.INSTR") {
        // DBMS_LOB.INSTR(lob, pattern, offset => 1, nth => 1) over the characters of a CLOB
        need(2, 4);
        TExpr a = Translate(*e.args[0], scope), pat = Translate(*e.args[1], scope);
        std::string offset = n > 2 ? AsNumber(Translate(*e.args[2], scope)) : "1";
        std::string nth = n > 3 ? AsNumber(Translate(*e.args[3], scope)) : "1";
        bool binary = a.t.DataType == OraType::Blob || a.t.DataType == OraType::Bfile;
        if (binary && (n > 2)) Fail(3001, "unimplemented feature", static_cast<int>(e.offset));
        r.sql = binary ? "instr(" + a.sql + "," + pat.sql + ")"
                       : "(CASE WHEN " + offset + " >= 1 AND " + nth + " >= 1 THEN ora_instr(" + AsText(a) + "," + AsText(pat) + "," +
                             offset + "," + nth + ") END)";
        r.t = NumType();
        return r;
    }
    std::string shown = f;
    {
        std::vector<std::string> parts;
        size_t p = 0;
        for (size_t q; (q = f.find('.', p)) != std::string::npos; p = q + 1) parts.push_back(f.substr(p, q - p));
        parts.push_back(f.substr(p));
        if (StoredFunction(parts, e.args, scope, r)) return r;
    }
    size_t dot = shown.rfind('.');
    if (dot != std::string::npos) {
        // a packaged or schema function: PL/SQL
        Fail(904, "\"" + shown.substr(0, dot) + "\".\"" + shown.substr(dot + 1) + "\": invalid identifier", static_cast<int>(e.offset));
    }
    Invalid(shown, e.offset);
}

// A top-level "ROWNUM <= n" (or < n, = 1) conjunct becomes a LIMIT; returns the remaining condition.
Expr* TakeRownumLimit(ExprPtr& where, std::string& limitSql, Translator& tr, Scope& scope) {
    if (!where) return nullptr;
    auto isLimit = [&](Expr& e) -> bool {
        if (e.kind != Expr::Compare || !e.typeName.empty()) return false;
        Expr& a = *e.args[0];
        Expr& b = *e.args[1];
        if (a.kind == Expr::Rownum && (e.text == "<=" || e.text == "<") && (b.kind == Expr::Number || b.kind == Expr::Bind)) return true;
        if (b.kind == Expr::Rownum && (e.text == ">=" || e.text == ">") && (a.kind == Expr::Number || a.kind == Expr::Bind)) return true;
        if (a.kind == Expr::Rownum && e.text == "=" && b.kind == Expr::Number && b.text == "1") return true;
        return false;
    };
    auto toLimit = [&](Expr& e) {
        bool rownumLeft = e.args[0]->kind == Expr::Rownum;
        Expr& v = rownumLeft ? *e.args[1] : *e.args[0];
        TExpr x = tr.Translate(v, scope);
        bool strict = e.text == "<" || e.text == ">";
        if (e.text == "=") limitSql = "1";
        else limitSql = strict ? "(CAST(ora_ceil(" + x.sql + ") AS INTEGER) - 1)" : "CAST(ora_floor(" + x.sql + ") AS INTEGER)";
    };
    if (isLimit(*where)) {
        toLimit(*where);
        where.reset();
        return nullptr;
    }
    if (where->kind == Expr::And) {
        for (auto& side : where->args) {
            if (isLimit(*side)) {
                toLimit(*side);
                side = std::make_unique<Expr>(Expr::Number);
                side->text = "1";
                side->kind = Expr::Compare;
                side->text = "=";
                auto one = std::make_unique<Expr>(Expr::Number); one->text = "1";
                auto one2 = std::make_unique<Expr>(Expr::Number); one2->text = "1";
                side->args.push_back(std::move(one));
                side->args.push_back(std::move(one2));
                break;
            }
        }
    }
    return where.get();
}

void CollectConjuncts(Expr* e, std::vector<Expr*>& out) {
    if (!e) return;
    if (e->kind == Expr::And) {
        CollectConjuncts(e->args[0].get(), out);
        CollectConjuncts(e->args[1].get(), out);
    } else {
        out.push_back(e);
    }
}

// Finds the source aliases of (+)-marked columns in an expression.
void OuterMarks(Expr* e, std::vector<Expr*>& cols) {
    if (!e) return;
    if (e->kind == Expr::Column && e->outerJoin) cols.push_back(e);
    for (auto& a : e->args) OuterMarks(a.get(), cols);
}

std::string Translator::FromItem(TableRef& r, Scope& scope, std::vector<std::string>* whereExtra) {
    (void)whereExtra;
    if (r.kind == TableRef::Table && r.name.schema.empty()) {
        for (size_t k = ctes_.size(); k-- > 0;) {
            if (ctes_[k].name != r.name.name) continue;
            Source s;
            s.alias = r.alias.empty() ? r.name.name : r.alias;
            s.tableName = r.name.name;
            s.sqlAlias = "t" + std::to_string(++aliasCounter_);
            s.cols = ctes_[k].cols;
            std::string sql = ctes_[k].sqlName + " AS " + s.sqlAlias;
            if (ctes_[k].hierarchy) {
                s.rowidCol = "ocs_rowid";
                levelSql_ = s.sqlAlias + ".ocs_level";
            }
            scope.sources.push_back(std::move(s));
            return sql;
        }
    }
    if (r.kind == TableRef::Table) {
        const Object* o = ResolveObject(r.name);
        Source s = SourceOf(*o, r.alias);
        std::string sql = Quote(o->sqlName) + " AS " + s.sqlAlias;
        if (o->type == "TABLE") {
            std::string consistent = h_.ConsistentSource(*o);
            if (!consistent.empty()) {
                sql = "(" + consistent + ") AS " + s.sqlAlias;
                s.rowidCol = "\"ocs_rowid\"";
                out_.substituted.push_back(o->id);
            }
        }
        scope.sources.push_back(std::move(s));
        return sql;
    }
    if (r.kind == TableRef::Subquery) {
        QueryResult q = Query(*r.query, scope.parent, false, false);
        Source s;
        s.alias = r.alias;
        s.sqlAlias = "t" + std::to_string(++aliasCounter_);
        for (size_t k = 0; k < q.names.size(); ++k) s.cols.emplace_back(q.names[k], q.types[k]);
        std::string sql = "(" + q.sql + ") AS " + s.sqlAlias;
        scope.sources.push_back(std::move(s));
        return sql;
    }
    // join
    std::string left = FromItem(*r.left, scope, whereExtra);
    size_t leftCount = scope.sources.size();
    std::string right = FromItem(*r.right, scope, whereExtra);
    std::string type = r.joinType == "INNER" ? " JOIN " : r.joinType == "CROSS" ? " CROSS JOIN " :
                       r.joinType == "LEFT" ? " LEFT JOIN " : r.joinType == "RIGHT" ? " RIGHT JOIN " : " FULL JOIN ";
    std::string sql = left + type + right;
    if (r.on) {
        sql += " ON " + Translate(*r.on, scope).sql;
    } else if (!r.usingCols.empty()) {
        std::string cond;
        for (const auto& c : r.usingCols) {
            std::string l, rr;
            for (size_t k = 0; k < scope.sources.size(); ++k) {
                for (const auto& col : scope.sources[k].cols) {
                    if (col.first != c) continue;
                    if (k < leftCount && l.empty()) l = scope.sources[k].sqlAlias + "." + Quote(c);
                    if (k >= leftCount && rr.empty()) rr = scope.sources[k].sqlAlias + "." + Quote(c);
                }
            }
            if (l.empty() || rr.empty()) Invalid(c, r.offset);
            cond += (cond.empty() ? "" : " AND ") + l + " = " + rr;
        }
        sql += " ON " + cond;
        // the joined column is known once, under its own name: drop it from the right side
        for (size_t k = leftCount; k < scope.sources.size(); ++k) {
            auto& cols = scope.sources[k].cols;
            cols.erase(std::remove_if(cols.begin(), cols.end(), [&](const auto& col) {
                return std::find(r.usingCols.begin(), r.usingCols.end(), col.first) != r.usingCols.end();
            }), cols.end());
        }
    }
    return sql;
}

Translator::QueryResult Translator::Block(sql::Query& q, SelectBlock& b, Scope* parent, bool top, bool positional,
                                          std::vector<OrderItem>* order) {
    Scope scope;
    scope.parent = parent;
    struct AggregatesAllowed {
        bool& flag; bool saved;
        explicit AggregatesAllowed(bool& f) : flag(f), saved(f) { flag = true; }
        ~AggregatesAllowed() { flag = saved; }
    } aggregates(allowAggregates_);
    std::string hierarchyPrefix;
    size_t cteMark = ctes_.size();
    std::string savedLevel = levelSql_;
    if (b.connectBy) {
        std::string alias;
        hierarchyPrefix = HierarchyCte(b, parent, alias);
        // the block now reads the hierarchy's rows under the table's own name
        auto ref = std::make_unique<TableRef>();
        ref->kind = TableRef::Table;
        ref->name.name = ctes_.back().name;
        ref->alias = alias;
        ref->offset = b.from[0]->offset;
        b.from.clear();
        b.from.push_back(std::move(ref));
        b.startWith.reset();
        b.connectBy.reset();
    } else if (b.startWith) {
        Fail(1788, "CONNECT BY clause required in this query block", static_cast<int>(q.offset));
    }
    // FROM with Oracle's (+) outer joins: sources marked with (+) become LEFT JOINs whose ON
    // takes the conditions that mention them.
    std::vector<Expr*> conj;
    CollectConjuncts(b.where.get(), conj);
    std::vector<std::string> fromParts;
    std::vector<size_t> sourceOfItem;
    for (auto& item : b.from) {
        fromParts.push_back(FromItem(*item, scope, nullptr));
        sourceOfItem.push_back(scope.sources.size() - 1);
    }
    std::string limitSql;
    TakeRownumLimit(b.where, limitSql, *this, scope);
    conj.clear();
    CollectConjuncts(b.where.get(), conj);
    std::map<size_t, std::vector<Expr*>> outerConds;   // from item -> conditions
    std::set<Expr*> used;
    for (Expr* c : conj) {
        std::vector<Expr*> marks;
        OuterMarks(c, marks);
        if (marks.empty()) continue;
        // which item is the marked column's source
        Expr* m = marks[0];
        size_t item = SIZE_MAX;
        for (size_t k = 0; k < b.from.size(); ++k) {
            const Source& s = scope.sources[sourceOfItem[k]];
            if (b.from[k]->kind == TableRef::Join) continue;
            bool match = false;
            if (m->names.size() >= 2) match = s.alias == m->names[m->names.size() - 2];
            else for (const auto& col : s.cols) if (col.first == m->names.back()) match = true;
            if (match) { item = k; break; }
        }
        if (item == SIZE_MAX) continue;
        outerConds[item].push_back(c);
        used.insert(c);
    }
    std::string from;
    std::vector<size_t> order_;
    for (size_t k = 0; k < b.from.size(); ++k) if (!outerConds.count(k)) order_.push_back(k);
    for (size_t k = 0; k < b.from.size(); ++k) if (outerConds.count(k)) order_.push_back(k);
    for (size_t idx = 0; idx < order_.size(); ++idx) {
        size_t k = order_[idx];
        if (outerConds.count(k)) {
            std::string on;
            for (Expr* c : outerConds[k]) on += (on.empty() ? "" : " AND ") + Translate(*c, scope).sql;
            from += (from.empty() ? "" : " LEFT JOIN ") + fromParts[k] + " ON " + on;
            if (idx == 0) Fail(1417, "a table may be outer joined to at most one other table", static_cast<int>(b.from[k]->offset));
        } else {
            from += (from.empty() ? "" : ", ") + fromParts[k];
        }
    }
    std::string where;
    for (Expr* c : conj) {
        if (used.count(c)) continue;
        allowAggregates_ = false;
        std::string s = Translate(*c, scope).sql;
        allowAggregates_ = true;
        where += (where.empty() ? "" : " AND ") + s;
    }

    QueryResult res;
    std::string list;
    std::vector<std::string> exprs;
    // LOB columns of tables in the top query carry their row's number in a hidden column, so a
    // locator knows the row it writes to
    struct LobItem { size_t column; const Source* src; std::string name; };
    std::vector<LobItem> lobItems;
    auto noteLob = [&](const Source* src, const std::string& col, const ColumnInfo& t) {
        if (!top || !src || !src->obj || src->obj->type != "TABLE") return;
        if (t.DataType != OraType::Clob && t.DataType != OraType::Blob && t.DataType != OraType::Bfile) return;
        lobItems.push_back({res.names.size(), src, col});
    };
    auto addColumn = [&](const std::string& sql, const std::string& name, const ColumnInfo& t) {
        exprs.push_back(sql);
        std::string alias = positional ? "c" + std::to_string(res.names.size() + 1) : name;
        list += (list.empty() ? "" : ", ") + sql + " AS " + Quote(alias);
        res.names.push_back(name);
        res.types.push_back(t);
    };
    for (auto& it : b.items) {
        if (it.expr->kind == Expr::Star) {
            bool any = false;
            for (const auto& s : scope.sources) {
                if (!it.expr->names.empty() && s.alias != it.expr->names.back()) continue;
                any = true;
                for (const auto& c : s.cols) {
                    noteLob(&s, c.first, c.second);
                    addColumn((s.sqlAlias.empty() ? "" : s.sqlAlias + ".") + Quote(c.first), c.first, c.second);
                }
            }
            if (!any) Fail(904, "\"" + (it.expr->names.empty() ? std::string("*") : it.expr->names.back()) + "\": invalid identifier", static_cast<int>(it.expr->offset));
            continue;
        }
        bool cursorExpr = it.expr->kind == Expr::Subquery && it.expr->text == "CURSOR";
        if (cursorExpr && (!top || cursorOuter_ || b.distinct || !b.groupBy.empty()))
            Fail(22902, "CURSOR expression not allowed", static_cast<int>(it.expr->offset));
        TExpr x = cursorExpr ? CursorColumn(*it.expr, scope, res.names.size()) : Translate(*it.expr, scope);
        std::string name;
        if (!it.alias.empty()) name = it.alias;
        else if (it.expr->kind == Expr::Column) name = it.expr->names.back();
        else if (it.expr->kind == Expr::Rowid) name = "ROWID";
        if (name.empty()) name = HeadingOf(source_.substr(it.begin, it.end - it.begin));
        if (name.size() > 30 && it.alias.empty()) name = name.substr(0, 30);
        if (it.expr->kind == Expr::Column && !it.expr->names.empty()) {
            const Source* src = nullptr;
            const std::string& col = it.expr->names.back();
            for (const auto& sc : scope.sources) {
                if (it.expr->names.size() >= 2 && sc.alias != it.expr->names[it.expr->names.size() - 2]) continue;
                for (const auto& c : sc.cols) if (c.first == col) { src = &sc; break; }
                if (src) break;
            }
            noteLob(src, col, x.t);
        }
        addColumn(x.sql, name, x.t);
    }
    if (top && q.forUpdate) {
        // the rows to lock: the first table's (or the FOR UPDATE OF column's table)
        const Source* lockSrc = nullptr;
        if (!q.forUpdateOf.empty() && q.forUpdateOf[0]->kind == Expr::Column && q.forUpdateOf[0]->names.size() >= 2) {
            for (const auto& s : scope.sources) if (s.alias == q.forUpdateOf[0]->names[0] && s.obj) lockSrc = &s;
        }
        if (!lockSrc) for (const auto& s : scope.sources) if (s.obj) { lockSrc = &s; break; }
        if (!lockSrc) Fail(2014, "cannot select FOR UPDATE from view with DISTINCT, GROUP BY, etc.", static_cast<int>(q.offset));
        if (b.distinct || !b.groupBy.empty()) Fail(1786, "FOR UPDATE of this query expression is not allowed", static_cast<int>(q.offset));
        list += ", " + lockSrc->sqlAlias + "." + lockSrc->rowidCol;
        out_.forUpdate = true;
        out_.forUpdateTable = lockSrc->obj;
        out_.waitSeconds = q.waitSeconds;
    }
    bool hiddenAllowed = top && !positional && !b.distinct && b.groupBy.empty() && hierarchyPrefix.empty() &&
                         !(!limitSql.empty() && order && !order->empty());
    if (hiddenAllowed) {
        int hidden = static_cast<int>(res.names.size()) + (out_.forUpdate ? 1 : 0);
        for (const auto& li : lobItems) {
            list += ", " + li.src->sqlAlias + "." + li.src->rowidCol;
            out_.lobSources.push_back({li.column, li.src->obj->id, li.name, hidden++});
        }
    }
    std::string sql = std::string("SELECT ") + (b.distinct ? "DISTINCT " : "") + list + " FROM " + from;
    if (!where.empty()) sql += " WHERE " + where;
    if (!b.groupBy.empty()) {
        std::string g;
        for (auto& x : b.groupBy) g += (g.empty() ? "" : ", ") + Translate(*x, scope).sql;
        sql += " GROUP BY " + g;
    }
    if (b.having) sql += " HAVING " + Translate(*b.having, scope).sql;
    bool limitThenSort = !limitSql.empty() && order && !order->empty();
    std::vector<std::pair<std::string, std::string>> sortTerms;   // expression, direction
    if (order && !order->empty()) {
        std::string o;
        for (auto& it : *order) {
            std::string term;
            Expr& x = *it.expr;
            if (x.kind == Expr::Number) {
                int pos = std::atoi(x.text.c_str());
                if (pos < 1 || pos > static_cast<int>(res.names.size())) Fail(1785, "ORDER BY item must be the number of a SELECT-list expression", static_cast<int>(x.offset));
                term = x.text;
            } else {
                bool alias = false;
                if (x.kind == Expr::Column && x.names.size() == 1) {
                    for (size_t k = 0; k < b.items.size() && k < res.names.size(); ++k) {
                        if (!b.items[k].alias.empty() && b.items[k].alias == x.names[0]) { term = std::to_string(k + 1); alias = true; break; }
                    }
                }
                if (!alias) term = Translate(x, scope).sql;
            }
            bool nullsFirst = it.nulls == 1 || (it.nulls == 0 && it.desc);
            std::string dir = std::string(it.desc ? " DESC" : "") + (nullsFirst ? " NULLS FIRST" : " NULLS LAST");
            o += (o.empty() ? "" : ", ") + term + dir;
            sortTerms.emplace_back(term, dir);
        }
        if (!limitThenSort) sql += " ORDER BY " + o;
    }
    if (!hierarchyPrefix.empty() && !(order && !order->empty()) && !scope.sources.empty())
        sql += " ORDER BY " + scope.sources[0].sqlAlias + ".ocs_path";
    if (!limitSql.empty()) sql += " LIMIT " + limitSql;
    if (limitThenSort) {
        // ROWNUM numbers the rows before they are sorted: limit inside, sort outside
        std::string inner, outer, ord;
        for (size_t k = 0; k < exprs.size(); ++k) {
            inner += (k ? ", " : "") + exprs[k] + " AS \"c" + std::to_string(k + 1) + "\"";
            outer += (k ? ", " : "") + std::string("\"c") + std::to_string(k + 1) + "\" AS " + Quote(positional ? "c" + std::to_string(k + 1) : res.names[k]);
        }
        for (size_t k = 0; k < sortTerms.size(); ++k) {
            const std::string& t = sortTerms[k].first;
            bool pos = !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (pos) {
                ord += (k ? ", " : "") + std::string("\"c") + t + "\"" + sortTerms[k].second;
            } else {
                inner += ", " + t + " AS \"o" + std::to_string(k + 1) + "\"";
                ord += (k ? ", " : "") + std::string("\"o") + std::to_string(k + 1) + "\"" + sortTerms[k].second;
            }
        }
        std::string innerSql = std::string("SELECT ") + (b.distinct ? "DISTINCT " : "") + inner + " FROM " + from;
        if (!where.empty()) innerSql += " WHERE " + where;
        size_t g = sql.find(" GROUP BY ");
        size_t h = sql.find(" HAVING ");
        size_t cut = g != std::string::npos ? g : h;
        if (cut != std::string::npos) {
            size_t lim = sql.rfind(" LIMIT ");
            innerSql += sql.substr(cut, lim - cut);
        }
        innerSql += " LIMIT " + limitSql;
        // materialized, so that SQLite does not merge the sort into the limited scan
        std::string cte = "r" + std::to_string(++aliasCounter_);
        sql = "WITH " + cte + " AS MATERIALIZED (" + innerSql + ") SELECT " + outer + " FROM " + cte + " ORDER BY " + ord;
    }
    if (!hierarchyPrefix.empty()) {
        std::string h = ctes_.back().sqlName;
        sql = hierarchyPrefix + " SELECT * FROM (" + sql + ") WHERE NOT EXISTS (SELECT 1 FROM " + h +
              " WHERE CASE WHEN ocs_cycle THEN ora_raise('ORA-01436: CONNECT BY loop in user data') ELSE 0 END)";
        ctes_.resize(cteMark);
    }
    levelSql_ = savedLevel;
    res.sql = sql;
    return res;
}

} // namespace

namespace {

// CURSOR(subquery) in the select list: the subquery becomes a statement of its own, run when
// the client takes the column's cursor; the column carries the outer values it refers to.
TExpr Translator::CursorColumn(Expr& e, Scope& scope, size_t column) {
    std::vector<int> params;
    std::vector<std::string> refs;
    std::vector<int>* savedParams = params_;
    std::vector<Cte> savedCtes = std::move(ctes_);
    ctes_.clear();
    params_ = &params;
    cursorOuter_ = &scope;
    outerRefs_ = &refs;
    struct Restore {
        Translator& t; std::vector<int>* p; std::vector<Cte>& c;
        ~Restore() { t.params_ = p; t.ctes_ = std::move(c); t.cursorOuter_ = nullptr; t.outerRefs_ = nullptr; }
    } restore{*this, savedParams, savedCtes};
    QueryResult q = Query(*e.query, &scope, false, false);
    Translated::NestedCursor nc;
    nc.column = column;
    nc.sql = q.sql;
    nc.bindOfParam = params;
    for (size_t k = 0; k < q.names.size(); ++k) {
        ColumnInfo c = q.types[k];
        c.Name = q.names[k];
        if (c.ByteSize == 0 && c.DataType == OraType::Varchar2) c.CharsetForm = 1, c.CharsetId = h_.DbCharsetId();
        nc.columns.push_back(c);
    }
    out_.cursors.push_back(std::move(nc));
    TExpr r;
    std::string args;
    for (const auto& x : refs) args += "," + x;
    r.sql = "ora_pack(" + std::to_string(column) + args + ")";
    r.t.DataType = OraType::Cursor;
    r.t.ByteSize = sizeof(void*);
    return r;
}

// CONNECT BY over one table: a recursive common table expression of the table's rows with their
// level, row number and path (the path keeps Oracle's depth-first order).
std::string Translator::HierarchyCte(SelectBlock& b, Scope* parent, std::string& alias) {
    if (b.from.size() != 1 || b.from[0]->kind == TableRef::Join) Fail(3001, "unimplemented feature", static_cast<int>(b.from[0]->offset));
    Scope anchor;
    anchor.parent = parent;
    std::string anchorFrom = FromItem(*b.from[0], anchor, nullptr);
    const Source& a = anchor.sources[0];
    alias = a.alias;
    std::string cols, anchorCols;
    std::string rid = a.obj || a.rowidCol != "rowid" ? a.sqlAlias + "." + a.rowidCol : "0";
    for (const auto& c : a.cols) {
        cols += Quote(c.first) + ", ";
        anchorCols += a.sqlAlias + "." + Quote(c.first) + ", ";
    }
    std::string name = "h" + std::to_string(++aliasCounter_);
    levelSql_ = "1";
    std::string start = b.startWith ? Translate(*b.startWith, anchor).sql : "1";
    Scope rec;
    rec.parent = parent;
    std::string recFrom = FromItem(*b.from[0], rec, nullptr);
    const Source& r = rec.sources[0];
    std::string recCols;
    for (const auto& c : r.cols) recCols += r.sqlAlias + "." + Quote(c.first) + ", ";
    std::string recRid = r.obj || r.rowidCol != "rowid" ? r.sqlAlias + "." + r.rowidCol : "0";
    Scope prior;
    Source p;
    p.alias = a.alias;
    p.tableName = a.tableName;
    p.owner = a.owner;
    p.sqlAlias = "ocs_parent";
    p.cols = a.cols;
    p.rowidCol = "ocs_rowid";
    prior.sources.push_back(p);
    levelSql_ = "(ocs_parent.ocs_level + 1)";
    priorScope_ = &prior;
    priorUsed_ = false;
    std::string cond = Translate(*b.connectBy, rec).sql;
    priorScope_ = nullptr;
    levelSql_.clear();
    // a row that is its own ancestor ends the walk and fails the query, as Oracle does
    // (a condition without PRIOR, as in "CONNECT BY LEVEL <= n", generates rows and has no loops)
    std::string cycle = priorUsed_ ? "instr('/' || ocs_parent.ocs_path || '/', printf('/%012d/', " + recRid + ")) > 0" : "0";
    std::string sql = "WITH RECURSIVE " + name + "(" + cols + "ocs_level, ocs_rowid, ocs_path, ocs_cycle) AS (SELECT " + anchorCols + "1, " + rid +
                      ", printf('%012d', " + rid + "), 0 FROM " + anchorFrom + " WHERE " + start + " UNION ALL SELECT " + recCols +
                      "ocs_parent.ocs_level + 1, " + recRid + ", ocs_parent.ocs_path || printf('/%012d', " + recRid + "), " + cycle +
                      " FROM " + recFrom + " JOIN " + name + " AS ocs_parent ON " + cond +
                      " WHERE ocs_parent.ocs_cycle = 0 AND ocs_parent.ocs_level < 100000)";
    Cte c;
    c.name = "OCS$" + name;
    c.sqlName = name;
    c.cols = a.cols;
    c.hierarchy = true;
    ctes_.push_back(std::move(c));
    return sql;
}

Translator::QueryResult Translator::Query(sql::Query& q, Scope* parent, bool top, bool positional) {
    CheckStack(static_cast<int>(q.offset));
    if (!q.with.empty()) {
        // WITH: each named query becomes a common table expression of the SQLite statement
        size_t mark = ctes_.size();
        std::string prefix;
        for (auto& n : q.with) {
            QueryResult sub = Query(*n.query, parent, false, true);
            if (!n.columns.empty() && n.columns.size() != sub.names.size()) Fail(32039, "number of WITH clause column names does not match number of elements in select list");
            Cte c;
            c.name = n.name;
            c.sqlName = "w" + std::to_string(++aliasCounter_);
            std::string cols;
            for (size_t k = 0; k < sub.names.size(); ++k) {
                std::string name = n.columns.empty() ? sub.names[k] : n.columns[k];
                c.cols.emplace_back(name, sub.types[k]);
                cols += (k ? "," : "") + Quote(name);
            }
            // the positional result columns c1..cn take the visible names
            std::string sel;
            for (size_t k = 0; k < sub.names.size(); ++k) sel += (k ? ", " : "") + std::string("\"c") + std::to_string(k + 1) + "\" AS " + Quote(c.cols[k].first);
            prefix += (prefix.empty() ? "WITH " : ", ") + c.sqlName + " AS (SELECT " + sel + " FROM (" + sub.sql + "))";
            ctes_.push_back(std::move(c));
        }
        std::vector<sql::Query::Named> saved = std::move(q.with);
        q.with.clear();
        QueryResult main = Query(q, parent, top, positional);
        q.with = std::move(saved);
        ctes_.resize(mark);
        main.sql = prefix + " SELECT * FROM (" + main.sql + ")";
        return main;
    }
    if (q.block) return Block(q, *q.block, parent, top, positional, &q.orderBy);
    if (q.forUpdate) Fail(1786, "FOR UPDATE of this query expression is not allowed", static_cast<int>(q.offset));
    QueryResult l = Query(*q.left, parent, false, positional);
    QueryResult r = Query(*q.right, parent, false, positional);
    if (l.types.size() != r.types.size()) Fail(1789, "query block has incorrect number of result columns", static_cast<int>(q.right->offset));
    for (size_t k = 0; k < l.types.size(); ++k) {
        bool ln = IsNum(l.types[k]), rn = IsNum(r.types[k]), ld = IsDate(l.types[k]), rd = IsDate(r.types[k]);
        bool lnull = l.types[k].ByteSize == 0, rnull = r.types[k].ByteSize == 0;
        if (!lnull && !rnull && (ln != rn || ld != rd))
            Fail(1790, "expression must have same datatype as corresponding expression", static_cast<int>(q.right->offset));
        if (lnull) l.types[k] = r.types[k];
        if (IsChar(l.types[k]) && IsChar(r.types[k])) {
            l.types[k].ByteSize = std::max(l.types[k].ByteSize, r.types[k].ByteSize);
            l.types[k].CharSize = std::max(l.types[k].CharSize, r.types[k].CharSize);
            if (l.types[k].DataType != r.types[k].DataType) l.types[k].DataType = OraType::Varchar2;
        }
        l.types[k].Nullable = l.types[k].Nullable || r.types[k].Nullable;
    }
    std::string op = q.setOp == "MINUS" ? "EXCEPT" : q.setOp;
    QueryResult res;
    res.names = l.names;
    res.types = l.types;
    res.sql = "SELECT * FROM (" + l.sql + ") " + op + " SELECT * FROM (" + r.sql + ")";
    if (!q.orderBy.empty()) {
        std::string o;
        for (auto& it : q.orderBy) {
            Expr& x = *it.expr;
            std::string term;
            if (x.kind == Expr::Number) {
                int pos = std::atoi(x.text.c_str());
                if (pos < 1 || pos > static_cast<int>(res.names.size())) Fail(1785, "ORDER BY item must be the number of a SELECT-list expression", static_cast<int>(x.offset));
                term = x.text;
            } else if (x.kind == Expr::Column) {
                for (size_t k = 0; k < res.names.size(); ++k)
                    if (res.names[k] == x.names.back()) { term = std::to_string(k + 1); break; }
            }
            if (term.empty()) Fail(1785, "ORDER BY item must be the number of a SELECT-list expression", static_cast<int>(x.offset));
            bool nullsFirst = it.nulls == 1 || (it.nulls == 0 && it.desc);
            o += (o.empty() ? "" : ", ") + term + (it.desc ? " DESC" : "") + (nullsFirst ? " NULLS FIRST" : " NULLS LAST");
        }
        res.sql += " ORDER BY " + o;
    }
    return res;
}

Source TargetSource(const Object& t, const std::string& alias, const std::string& sqlAlias) {
    Source s;
    s.alias = alias.empty() ? t.name : alias;
    s.tableName = t.name;
    s.owner = t.owner;
    s.sqlAlias = sqlAlias;
    s.obj = &t;
    for (const auto& c : t.cols) s.cols.emplace_back(c.name, c.info);
    return s;
}

const Column* FindColumn(const Object& t, const std::string& name) {
    for (const auto& c : t.cols) if (c.name == name) return &c;
    return nullptr;
}

std::string DefaultSql(Translator& tr, const Column& c) {
    auto st = Parse("SELECT " + c.defaultText + " FROM DUAL");
    Scope empty;
    TExpr x = tr.Translate(*st->query->block->items[0].expr, empty);
    return x.sql;
}

void Returning(Translator& tr, sql::Statement& st, const Object& t, std::string& sql) {
    if (st.returning.empty()) return;
    if (st.returning.size() != st.returningInto.size())
        Fail(st.returning.size() > st.returningInto.size() ? 947 : 913,
             st.returning.size() > st.returningInto.size() ? "not enough values" : "too many values");
    Scope scope;
    scope.sources.push_back(TargetSource(t, st.alias, ""));
    tr.allowAggregates_ = false;
    std::string list;
    std::vector<Translated::LobSource> lobs;
    for (auto& e : st.returning) {
        TExpr x = tr.Translate(*e, scope);
        list += (list.empty() ? "" : ", ") + x.sql;
        if (e->kind == Expr::Column && (x.t.DataType == OraType::Clob || x.t.DataType == OraType::Blob || x.t.DataType == OraType::Bfile))
            lobs.push_back({tr.out_.returningTypes.size(), t.id, e->names.back(), 0});
        tr.out_.returningTypes.push_back(x.t);
    }
    // a returned LOB column brings its row's number, for writing through the returned locator
    for (auto& l : lobs) {
        l.hidden = static_cast<int>(st.returning.size() + (&l - lobs.data()));
        list += ", rowid";
    }
    tr.out_.returningLobs = std::move(lobs);
    sql += " RETURNING " + list;
    // the INTO placeholders are the last ones of the statement, in order
    size_t first = tr.ph_.size() - st.returningInto.size();
    for (size_t k = 0; k < st.returningInto.size(); ++k) tr.out_.returningSlots.push_back(static_cast<int>(first + k));
}

} // namespace

Translated Translate(TranslateHost& host, sql::Statement& st, std::string_view text, const std::vector<Placeholder>& placeholders) {
    Translator tr(host, placeholders);
    tr.source_ = text;
    tr.params_ = &tr.out_.bindOfParam;
    switch (st.kind) {
    case sql::Statement::Select: {
        auto q = tr.Query(*st.query, nullptr, true, false);
        tr.out_.sql = q.sql;
        for (size_t k = 0; k < q.names.size(); ++k) {
            ColumnInfo c = q.types[k];
            c.Name = q.names[k];
            if (c.ByteSize == 0 && c.DataType == OraType::Varchar2) c.CharsetForm = 1, c.CharsetId = host.DbCharsetId();
            tr.out_.columns.push_back(c);
        }
        break;
    }
    case sql::Statement::Insert: {
        const Object* t = tr.ResolveObject(st.object, true);
        tr.out_.table = t;
        std::vector<const Column*> cols;
        if (st.columns.empty()) {
            for (const auto& c : t->cols) cols.push_back(&c);
        } else {
            for (const auto& n : st.columns) {
                const Column* c = FindColumn(*t, n);
                if (!c) Fail(904, "\"" + n + "\": invalid identifier");
                if (std::find(cols.begin(), cols.end(), c) != cols.end()) Fail(957, "duplicate column name");
                cols.push_back(c);
            }
        }
        std::string colList, defaults, defaultCols;
        // each column's value, for BEFORE INSERT row triggers that see and change the whole row
        std::map<const Column*, std::string> rowValue;
        for (const auto* c : cols) colList += (colList.empty() ? "" : ",") + Quote(c->name);
        for (const auto& c : t->cols) {
            if (c.defaultText.empty() || std::find(cols.begin(), cols.end(), &c) != cols.end()) continue;
            defaultCols += "," + Quote(c.name);
            defaults += ",ora_store(" + DefaultSql(tr, c) + "," + std::to_string(host.RuleFor(*t, c)) + ")";
            rowValue[&c] = "ora_store(" + DefaultSql(tr, c) + "," + std::to_string(host.RuleFor(*t, c)) + ")";
        }
        std::string rowSource;
        std::string sql = "INSERT INTO " + Quote(t->sqlName) + " (" + colList + defaultCols + ") ";
        if (!st.rows.empty()) {
            auto& row = st.rows[0];
            if (row.size() < cols.size()) Fail(947, "not enough values");
            if (row.size() > cols.size()) Fail(913, "too many values");
            Scope empty;
            std::string vals;
            for (size_t k = 0; k < row.size(); ++k) {
                TExpr x = tr.Translate(*row[k], empty);
                if (x.isBind) tr.out_.bindTargets.emplace_back(static_cast<int>(tr.params_->size()) - 1, cols[k]->info.DataType);
                std::string v = x.sql;
                if (IsDate(cols[k]->info) && IsChar(x.t) && !x.isBind) v = "ora_to_date(" + v + ")";
                vals += (k ? "," : "") + std::string("ora_store(") + v + "," + std::to_string(host.RuleFor(*t, *cols[k])) + ")";
                rowValue[cols[k]] = std::string("ora_store(") + v + "," + std::to_string(host.RuleFor(*t, *cols[k])) + ")";
            }
            sql += "VALUES (" + vals + defaults + ")";
        } else {
            auto q = tr.Query(*st.query, nullptr, false, true);
            if (q.types.size() < cols.size()) Fail(947, "not enough values");
            if (q.types.size() > cols.size()) Fail(913, "too many values");
            std::string vals;
            for (size_t k = 0; k < cols.size(); ++k) {
                vals += (k ? "," : "") + std::string("ora_store(s.\"c") + std::to_string(k + 1) + "\"," + std::to_string(host.RuleFor(*t, *cols[k])) + ")";
                rowValue[cols[k]] = std::string("ora_store(s.\"c") + std::to_string(k + 1) + "\"," + std::to_string(host.RuleFor(*t, *cols[k])) + ")";
            }
            sql += "SELECT " + vals + defaults + " FROM (" + q.sql + ") AS s WHERE 1";
            rowSource = " FROM (" + q.sql + ") AS s WHERE 1";
        }
        if (host.HasRowTrigger(*t, "INSERT", "BEFORE")) {
            // the triggers run once per row (ora_trig_fire keeps the row they leave), then the row is stored
            std::string fire = "ora_trig_fire(" + std::to_string(t->id) + ",'INSERT'", all, outs;
            for (size_t k = 0; k < t->cols.size(); ++k) {
                const Column& c = t->cols[k];
                auto it = rowValue.find(&c);
                fire += "," + (it == rowValue.end() ? std::string("NULL") : it->second);
                all += (k ? "," : "") + Quote(c.name);
                outs += (k ? "," : "") + std::string("ora_store(ora_trig_new(w.h,") + std::to_string(k) + "," +
                        (k + 1 == t->cols.size() ? "1" : "0") + ")," + std::to_string(host.RuleFor(*t, c)) + ")";
            }
            sql = "WITH w AS MATERIALIZED (SELECT " + fire + ") AS h" + rowSource + ") INSERT INTO " + Quote(t->sqlName) +
                  " (" + all + ") SELECT " + outs + " FROM w WHERE 1";
        }
        Returning(tr, st, *t, sql);
        tr.out_.sql = sql;
        break;
    }
    case sql::Statement::Update:
    case sql::Statement::Delete: {
        const Object* t = tr.ResolveObject(st.object, true);
        tr.out_.table = t;
        Scope scope;
        scope.sources.push_back(TargetSource(*t, st.alias, Quote(t->sqlName)));
        std::string sql;
        if (st.kind == sql::Statement::Update) {
            std::string sets;
            std::map<const Column*, std::string> newValue;   // for BEFORE UPDATE row triggers
            bool rowValues = true;
            for (auto& s : st.sets) {
                for (const auto& n : s.first) {
                    if (!FindColumn(*t, n)) Fail(904, "\"" + n + "\": invalid identifier");
                }
                if (s.first.size() == 1) {
                    const Column* c = FindColumn(*t, s.first[0]);
                    std::string v;
                    if (!s.second) {
                        v = c->defaultText.empty() ? "NULL" : DefaultSql(tr, *c);
                    } else {
                        TExpr x = tr.Translate(*s.second, scope);
                        if (x.isBind) tr.out_.bindTargets.emplace_back(static_cast<int>(tr.params_->size()) - 1, c->info.DataType);
                        v = x.sql;
                        if (IsDate(c->info) && IsChar(x.t) && !x.isBind) v = "ora_to_date(" + v + ")";
                    }
                    sets += (sets.empty() ? "" : ", ") + Quote(c->name) + " = ora_store(" + v + "," + std::to_string(host.RuleFor(*t, *c)) + ")";
                    newValue[c] = "ora_store(" + v + "," + std::to_string(host.RuleFor(*t, *c)) + ")";
                } else {
                    rowValues = false;
                    std::string names;
                    for (const auto& n : s.first) names += (names.empty() ? "" : ",") + Quote(n);
                    TExpr x = tr.Translate(*s.second, scope);
                    sets += (sets.empty() ? "" : ", ") + std::string("(") + names + ") = " + x.sql;
                }
            }
            sql = "UPDATE " + Quote(t->sqlName) + " SET " + sets;
            if (rowValues && host.HasRowTrigger(*t, "UPDATE", "BEFORE")) {
                // the triggers see the old and the new row once per row and may change the new one
                std::string tq = Quote(t->sqlName), fire = "ora_trig_fire(" + std::to_string(t->id) + ",'UPDATE'", olds, all, outs;
                for (size_t k = 0; k < t->cols.size(); ++k) {
                    const Column& c = t->cols[k];
                    auto it = newValue.find(&c);
                    fire += "," + (it == newValue.end() ? tq + "." + Quote(c.name) : it->second);
                    olds += "," + tq + "." + Quote(c.name);
                    all += (k ? "," : "") + Quote(c.name);
                    outs += (k ? "," : "") + std::string("ora_store(ora_trig_new(h,") + std::to_string(k) + "," +
                            (k + 1 == t->cols.size() ? "1" : "0") + ")," + std::to_string(host.RuleFor(*t, c)) + ")";
                }
                sql = "UPDATE " + tq + " SET (" + all + ") = (SELECT " + outs + " FROM (SELECT " + fire + olds + ") AS h LIMIT 1 OFFSET 0))";
            }
        } else {
            sql = "DELETE FROM " + Quote(t->sqlName);
        }
        std::string where;
        if (st.where) {
            where = tr.Translate(*st.where, scope).sql;
            sql += " WHERE " + where;
            // the same condition again for the row-lock query, with its own parameters
            tr.params_ = &tr.out_.lockBindOfParam;
            std::string w2 = tr.Translate(*st.where, scope).sql;
            tr.params_ = &tr.out_.bindOfParam;
            tr.out_.lockSql = "SELECT rowid FROM " + Quote(t->sqlName) + " WHERE " + w2;
        } else {
            tr.out_.lockSql = "SELECT rowid FROM " + Quote(t->sqlName);
        }
        Returning(tr, st, *t, sql);
        tr.out_.sql = sql;
        break;
    }
    case sql::Statement::Merge: {
        const Object* t = tr.ResolveObject(st.object, true);
        tr.out_.table = t;
        if (st.mergeSets.empty() && st.mergeInsertValues.empty()) Fail(905, "missing keyword");
        // matched rows: UPDATE ... FROM the source
        if (!st.mergeSets.empty()) {
            Scope scope;
            scope.sources.push_back(TargetSource(*t, st.alias, Quote(t->sqlName)));
            std::string from = tr.FromItem(*st.using_, scope, nullptr);
            std::string sets;
            for (auto& s : st.mergeSets) {
                const Column* c = FindColumn(*t, s.first[0]);
                if (!c) Fail(904, "\"" + s.first[0] + "\": invalid identifier");
                TExpr x = tr.Translate(*s.second, scope);
                std::string v = x.sql;
                if (IsDate(c->info) && IsChar(x.t) && !x.isBind) v = "ora_to_date(" + v + ")";
                sets += (sets.empty() ? "" : ", ") + Quote(c->name) + " = ora_store(" + v + "," + std::to_string(host.RuleFor(*t, *c)) + ")";
            }
            std::string on = tr.Translate(*st.mergeOn, scope).sql;
            tr.out_.sql = "UPDATE " + Quote(t->sqlName) + " SET " + sets + " FROM " + from + " WHERE " + on;
        }
        // unmatched source rows: INSERT ... SELECT ... WHERE NOT EXISTS
        if (!st.mergeInsertValues.empty()) {
            bool second = !tr.out_.sql.empty();
            tr.params_ = second ? &tr.out_.bindOfParam2 : &tr.out_.bindOfParam;
            Scope src;
            std::string from = tr.FromItem(*st.using_, src, nullptr);
            std::vector<const Column*> cols;
            if (st.mergeInsertColumns.empty()) for (const auto& c : t->cols) cols.push_back(&c);
            for (const auto& n : st.mergeInsertColumns) {
                const Column* c = FindColumn(*t, n);
                if (!c) Fail(904, "\"" + n + "\": invalid identifier");
                cols.push_back(c);
            }
            if (cols.size() != st.mergeInsertValues.size()) Fail(cols.size() > st.mergeInsertValues.size() ? 947 : 913,
                                                                  cols.size() > st.mergeInsertValues.size() ? "not enough values" : "too many values");
            std::string names, vals;
            for (size_t k = 0; k < cols.size(); ++k) {
                TExpr x = tr.Translate(*st.mergeInsertValues[k], src);
                std::string v = x.sql;
                if (IsDate(cols[k]->info) && IsChar(x.t) && !x.isBind) v = "ora_to_date(" + v + ")";
                names += (k ? "," : "") + Quote(cols[k]->name);
                vals += (k ? "," : "") + std::string("ora_store(") + v + "," + std::to_string(host.RuleFor(*t, *cols[k])) + ")";
            }
            for (const auto& c : t->cols) {
                if (c.defaultText.empty() || std::find(cols.begin(), cols.end(), &c) != cols.end()) continue;
                names += "," + Quote(c.name);
                vals += ",ora_store(" + DefaultSql(tr, c) + "," + std::to_string(host.RuleFor(*t, c)) + ")";
            }
            Scope probe;
            probe.sources = src.sources;
            probe.sources.push_back(TargetSource(*t, st.alias, "tm"));
            std::string on = tr.Translate(*st.mergeOn, probe).sql;
            std::string ins = "INSERT INTO " + Quote(t->sqlName) + " (" + names + ") SELECT " + vals + " FROM " + from +
                              " WHERE NOT EXISTS (SELECT 1 FROM " + Quote(t->sqlName) + " AS tm WHERE " + on + ")";
            if (second) tr.out_.sql2 = ins;
            else tr.out_.sql = ins;
            tr.params_ = &tr.out_.bindOfParam;
        }
        break;
    }
    default:
        Fail(3001, "unimplemented feature");
    }
    return std::move(tr.out_);
}

Translated TranslateQuery(TranslateHost& host, sql::Query& q, std::string_view text) {
    std::vector<Placeholder> none;
    Translator tr(host, none);
    tr.source_ = text;
    tr.params_ = &tr.out_.bindOfParam;
    auto r = tr.Query(q, nullptr, false, false);
    tr.out_.sql = r.sql;
    for (size_t k = 0; k < r.names.size(); ++k) {
        ColumnInfo c = r.types[k];
        c.Name = r.names[k];
        tr.out_.columns.push_back(c);
    }
    if (!tr.out_.bindOfParam.empty()) Fail(1027, "bind variables not allowed for data definition operations");
    return std::move(tr.out_);
}

std::string TranslateRowExpr(TranslateHost& host, const Object& table, sql::Expr& e, const std::string& prefix, ColumnInfo* typeOut) {
    std::vector<Placeholder> none;
    Translator tr(host, none);
    tr.params_ = &tr.out_.bindOfParam;
    Scope scope;
    scope.sources.push_back(TargetSource(table, "", prefix));
    tr.allowAggregates_ = false;
    TExpr x = tr.Translate(e, scope);
    if (!tr.out_.bindOfParam.empty()) Fail(1027, "bind variables not allowed for data definition operations");
    if (typeOut) *typeOut = x.t;
    return x.sql;
}

} // namespace ocisim::eng
