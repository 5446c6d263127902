// Lexer and recursive-descent parser for the engine's Oracle SQL.
#include "ocisim/engine/internal/Sql.h"

#include <pthread.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>

namespace ocisim::sql {

std::string OraMessage(int code, const std::string& text) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "ORA-%05d: ", code);
    return buf + text;
}

void Fail(int code, const std::string& text, int offset) {
    throw EngineError(code, OraMessage(code, text), offset);
}

namespace {

bool IdentStart(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool IdentPart(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80; }

std::string Upper(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

} // namespace

std::vector<Token> Lex(std::string_view sql) {
    std::vector<Token> out;
    size_t i = 0, n = sql.size();
    while (true) {
        // blanks and comments
        while (i < n) {
            unsigned char c = sql[i];
            if (std::isspace(c)) { ++i; continue; }
            if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
                while (i < n && sql[i] != '\n') ++i;
                continue;
            }
            if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
                size_t e = sql.find("*/", i + 2);
                i = e == std::string_view::npos ? n : e + 2;
                continue;
            }
            break;
        }
        Token t;
        t.offset = i;
        if (i >= n) { t.kind = Tok::End; out.push_back(t); return out; }
        unsigned char c = sql[i];
        bool nprefix = (c == 'n' || c == 'N') && i + 1 < n && sql[i + 1] == '\'';
        bool qprefix = (c == 'q' || c == 'Q') && i + 2 < n && sql[i + 1] == '\'';
        if (qprefix) {
            char open = sql[i + 2], close = open;
            if (open == '[') close = ']'; else if (open == '{') close = '}';
            else if (open == '(') close = ')'; else if (open == '<') close = '>';
            size_t j = i + 3;
            while (j + 1 < n && !(sql[j] == close && sql[j + 1] == '\'')) ++j;
            if (j + 1 >= n) Fail(1756, "quoted string not properly terminated", static_cast<int>(i));
            t.kind = Tok::String;
            t.text = std::string(sql.substr(i + 3, j - i - 3));
            i = j + 2;
        } else if (c == '\'' || nprefix) {
            size_t j = i + (nprefix ? 2 : 1);
            std::string v;
            while (true) {
                if (j >= n) Fail(1756, "quoted string not properly terminated", static_cast<int>(i));
                if (sql[j] == '\'') {
                    if (j + 1 < n && sql[j + 1] == '\'') { v += '\''; j += 2; continue; }
                    ++j;
                    break;
                }
                v += sql[j++];
            }
            t.kind = nprefix ? Tok::NString : Tok::String;
            t.text = std::move(v);
            i = j;
        } else if (c == '"') {
            size_t e = sql.find('"', i + 1);
            if (e == std::string_view::npos) Fail(1740, "missing double quote in identifier", static_cast<int>(i));
            if (e == i + 1) Fail(1741, "illegal zero-length identifier", static_cast<int>(i));
            t.kind = Tok::QuotedIdent;
            t.text = std::string(sql.substr(i + 1, e - i - 1));
            i = e + 1;
        } else if (IdentStart(c)) {
            size_t j = i;
            while (j < n && IdentPart(static_cast<unsigned char>(sql[j]))) ++j;
            t.kind = Tok::Ident;
            t.text = Upper(sql.substr(i, j - i));
            i = j;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
            if (j < n && sql[j] == '.' && !(j + 1 < n && sql[j + 1] == '.')) {
                ++j;
                while (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
            }
            if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) {
                    while (k < n && std::isdigit(static_cast<unsigned char>(sql[k]))) ++k;
                    j = k;
                }
            }
            t.kind = Tok::Number;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
            // Oracle's numeric suffixes f/d (binary float/double)
            if (i < n && (sql[i] == 'f' || sql[i] == 'F' || sql[i] == 'd' || sql[i] == 'D') &&
                !(i + 1 < n && IdentPart(static_cast<unsigned char>(sql[i + 1]))))
                ++i;
        } else if (c == ':') {
            size_t j = i + 1;
            if (j < n && sql[j] == '"') {
                size_t e = sql.find('"', j + 1);
                if (e == std::string_view::npos) Fail(1740, "missing double quote in identifier", static_cast<int>(i));
                t.kind = Tok::Bind;
                t.text = std::string(sql.substr(j + 1, e - j - 1));
                i = e + 1;
            } else if (j < n && (IdentPart(static_cast<unsigned char>(sql[j])))) {
                while (j < n && IdentPart(static_cast<unsigned char>(sql[j]))) ++j;
                t.kind = Tok::Bind;
                t.text = Upper(sql.substr(i + 1, j - i - 1));
                i = j;
            } else if (j < n && sql[j] == '=') {
                t.kind = Tok::Op; t.text = ":="; i += 2;
            } else {
                t.kind = Tok::Op; t.text = ":"; i += 1;
            }
        } else {
            static const char* two[] = {"||", "<>", "!=", "^=", "<=", ">=", "=>", "..", "**", ":="};
            bool done = false;
            for (const char* op : two) {
                if (i + 1 < n && sql[i] == op[0] && sql[i + 1] == op[1]) {
                    t.kind = Tok::Op; t.text = op; i += 2; done = true; break;
                }
            }
            if (!done) {
                if (std::strchr("()+-*/,.;=<>@%|&[]", c) && c != 0) {
                    t.kind = Tok::Op; t.text = std::string(1, static_cast<char>(c)); ++i;
                } else {
                    Fail(911, "invalid character", static_cast<int>(i));
                }
            }
        }
        t.length = i - t.offset;
        out.push_back(std::move(t));
    }
}

void CheckStack(int offset) {
    // the lowest address of this thread's stack, found once per thread
    thread_local uintptr_t low = [] {
        uintptr_t l = 0;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* addr = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &addr, &size) == 0) l = reinterpret_cast<uintptr_t>(addr);
            pthread_attr_destroy(&attr);
        }
        return l;
    }();
    constexpr uintptr_t kReserve = 512 * 1024;   // left for SQLite and the calls after translation
    uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (low && here > low && here - low < kReserve)
        Fail(600, "internal error code, arguments: [ocisim], [statement nested too deeply]", offset);
}

std::vector<Placeholder> FindPlaceholders(std::string_view sql) {
    std::vector<Placeholder> out;
    std::vector<Token> toks;
    try { toks = Lex(sql); } catch (const EngineError&) { return out; }
    // ":new"/":old" inside trigger bodies are not placeholders, but the caller decides that.
    for (size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind == Tok::Bind) out.push_back({toks[k].text, toks[k].offset});
    }
    return out;
}

std::string HeadingOf(std::string_view text) {
    std::string r;
    char quote = 0;
    for (char c : text) {
        if (quote) {
            if (c == quote) quote = 0;
            if (quote != '"' || c != '"') r += c;
            continue;
        }
        if (c == '\'') { quote = c; r += c; continue; }
        if (c == '"') { quote = c; continue; }
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        r += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return r;
}

namespace {

const std::set<std::string>& Reserved() {
    static const std::set<std::string> words = {
        "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "BETWEEN", "BY", "CHAR",
        "CHECK", "CLUSTER", "COLUMN", "COMMENT", "COMPRESS", "CONNECT", "CREATE", "CURRENT", "DATE",
        "DECIMAL", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "EXCLUSIVE", "EXISTS",
        "FILE", "FLOAT", "FOR", "FROM", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IMMEDIATE", "IN",
        "INCREMENT", "INDEX", "INITIAL", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS", "LEVEL",
        "LIKE", "LOCK", "LONG", "MAXEXTENTS", "MINUS", "MLSLABEL", "MODE", "MODIFY", "NOAUDIT",
        "NOCOMPRESS", "NOT", "NOWAIT", "NULL", "NUMBER", "OF", "OFFLINE", "ON", "ONLINE", "OPTION",
        "OR", "ORDER", "PCTFREE", "PRIOR", "PUBLIC", "RAW", "RENAME", "RESOURCE", "REVOKE", "ROW",
        "ROWID", "ROWNUM", "ROWS", "SELECT", "SESSION", "SET", "SHARE", "SIZE", "SMALLINT", "START",
        "SUCCESSFUL", "SYNONYM", "SYSDATE", "TABLE", "THEN", "TO", "TRIGGER", "UID", "UNION", "UNIQUE",
        "UPDATE", "USER", "VALIDATE", "VALUES", "VARCHAR", "VARCHAR2", "VIEW", "WHENEVER", "WHERE",
        "WITH"};
    return words;
}

// Words that end an expression where an alias could follow.
bool StopsAlias(const Token& t) {
    if (t.kind != Tok::Ident) return true;
    static const std::set<std::string> words = {
        "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "OUTER", "USING", "RETURNING",
        "RETURN", "LOG", "WAIT", "CASE", "WHEN", "END", "FETCH", "OFFSET"};
    return Reserved().count(t.text) || words.count(t.text);
}

class Parser {
public:
    explicit Parser(std::string_view sql) : sql_(sql), t_(Lex(sql)) {}

    std::unique_ptr<Statement> ParseStatement();

private:
    std::string_view sql_;
    std::vector<Token> t_;
    size_t p_ = 0;

    const Token& Cur() const { return t_[p_]; }
    const Token& Peek(size_t k = 1) const { return t_[std::min(p_ + k, t_.size() - 1)]; }
    bool At(const char* w) const { return Cur().Is(w); }
    bool AtIdent() const { return Cur().kind == Tok::Ident || Cur().kind == Tok::QuotedIdent; }
    int Off() const { return static_cast<int>(Cur().offset); }
    bool Accept(const char* w) {
        if (At(w)) { ++p_; return true; }
        return false;
    }
    [[noreturn]] void Error(int code, const std::string& text) { Fail(code, text, Off()); }
    [[noreturn]] void Unexpected() {
        if (Cur().kind == Tok::End) Error(921, "unexpected end of SQL command");
        Error(933, "SQL command not properly ended");
    }
    [[noreturn]] void MissingExpression() { Error(936, "missing expression"); }
    void Expect(const char* w) {
        if (Accept(w)) return;
        if (!std::strcmp(w, ")")) Error(907, "missing right parenthesis");
        if (!std::strcmp(w, "(")) Error(906, "missing left parenthesis");
        if (!std::strcmp(w, "FROM")) Error(923, "FROM keyword not found where expected");
        if (!std::strcmp(w, "INTO")) Error(925, "missing INTO keyword");
        if (!std::strcmp(w, "SET")) Error(971, "missing SET keyword");
        if (!std::strcmp(w, "VALUES")) Error(926, "missing VALUES keyword");
        if (!std::strcmp(w, "BY")) Error(924, "missing BY keyword");
        if (!std::strcmp(w, "=")) Error(927, "missing equal sign");
        if (!std::strcmp(w, "IDENTIFIED")) Error(922, "missing or invalid option");
        if (!std::strcmp(w, ",")) Error(917, "missing comma");
        if (!std::strcmp(w, "KEY")) Error(906, "missing left parenthesis");
        Unexpected();
    }

    std::string Identifier(int code = 904) {
        const Token& t = Cur();
        if (t.kind == Tok::QuotedIdent) { ++p_; return t.text; }
        if (t.kind == Tok::Ident) {
            if (Reserved().count(t.text)) {
                if (code == 904) Error(904, "\"" + t.text + "\": invalid identifier");
                Error(code == 903 ? 903 : code, code == 903 ? "invalid table name" : "invalid identifier");
            }
            ++p_;
            return t.text;
        }
        if (code == 903) Error(903, "invalid table name");
        if (t.kind == Tok::End) Error(921, "unexpected end of SQL command");
        Error(code, code == 904 ? "invalid identifier" : "missing or invalid option");
    }
    // Any word, reserved or not (after a dot, for option keywords).
    std::string Word() {
        const Token& t = Cur();
        if (t.kind == Tok::Ident || t.kind == Tok::QuotedIdent) { ++p_; return t.text; }
        MissingExpression();
    }

    ObjectName ParseObjectName(int code = 903) {
        ObjectName n;
        n.offset = Cur().offset;
        std::string first = Identifier(code);
        if (At(".")) {
            ++p_;
            n.schema = first;
            n.name = Identifier(code);
        } else {
            n.name = first;
        }
        if (At("@")) { ++p_; Identifier(); while (Accept(".")) Identifier(); }
        return n;
    }

    // ---- nesting: parentheses, subqueries, prefix operators and chains of binary operators
    // each make the tree one level deeper; past kMaxDepth the statement is refused rather than
    // run the parser, the translator or the tree's destructor out of stack
    static constexpr int kMaxDepth = 1000;
    int depth_ = 0;
    struct Depth {
        Parser& p;
        int saved;
        explicit Depth(Parser& q) : p(q), saved(q.depth_) {}
        ~Depth() { p.depth_ = saved; }
        void Step() {
            if (++p.depth_ > kMaxDepth)
                p.Error(600, "internal error code, arguments: [ocisim], [statement nested more than 1000 levels deep]");
            CheckStack(p.Off());
        }
    };

    // ---- expressions
    ExprPtr ParseExpr() {
        Depth d(*this);
        d.Step();
        return ParseOr();
    }
    ExprPtr ParseOr();
    ExprPtr ParseAnd();
    ExprPtr ParseNot();
    ExprPtr ParsePredicate();
    ExprPtr ParseAdditive();
    ExprPtr ParseMultiplicative();
    ExprPtr ParseUnary();
    ExprPtr ParsePrimary();
    ExprPtr ParseFunction(std::string name, size_t start);
    ExprPtr ParseCase(size_t start);
    ExprPtr Make(Expr::Kind k, size_t start) {
        auto e = std::make_unique<Expr>(k);
        e->offset = start;
        return e;
    }
    void Close(Expr& e) { e.end = p_ > 0 ? t_[p_ - 1].offset + t_[p_ - 1].length : 0; }
    bool AtQueryStart() const {
        if (At("SELECT") || At("WITH")) return true;
        if (At("(")) {
            size_t k = p_;
            while (k < t_.size() && t_[k].Is("(")) ++k;
            return k < t_.size() && (t_[k].Is("SELECT") || t_[k].Is("WITH"));
        }
        return false;
    }

    // ---- queries
    std::unique_ptr<Query> ParseQuery();
    std::unique_ptr<Query> ParseQueryTerm();
    std::unique_ptr<SelectBlock> ParseSelectBlock();
    std::unique_ptr<TableRef> ParseFromItem();
    std::unique_ptr<TableRef> ParseTablePrimary();
    void ParseOrderBy(std::vector<OrderItem>& out);
    std::string OptionalAlias(bool allowAs);

    // ---- statements
    std::unique_ptr<Statement> ParseInsert();
    std::unique_ptr<Statement> ParseUpdate();
    std::unique_ptr<Statement> ParseDelete();
    std::unique_ptr<Statement> ParseMerge();
    std::unique_ptr<Statement> ParseCreate();
    std::unique_ptr<Statement> ParseCreateTable(std::unique_ptr<Statement> s);
    std::unique_ptr<Statement> ParseAlter();
    std::unique_ptr<Statement> ParseDrop();
    std::unique_ptr<Statement> ParseGrant(bool revoke);
    void ParseReturning(Statement& s);
    void ParseColumnDef(Statement& s, ColumnDef& c);
    bool ParseConstraint(Statement& s, ConstraintDef& c, const std::string* column);
    void ParseSequenceOptions(Statement& s);
    void ParseType(ColumnDef& c);
    std::string SourceText(size_t from, size_t to) const { return std::string(sql_.substr(from, to - from)); }
    size_t EndOfPrev() const { return p_ > 0 ? t_[p_ - 1].offset + t_[p_ - 1].length : 0; }
    void SkipToEnd() { while (Cur().kind != Tok::End && !At(";")) ++p_; }
    void SkipBalanced() {
        int depth = 0;
        do {
            if (At("(")) ++depth;
            else if (At(")")) --depth;
            if (Cur().kind == Tok::End) Error(907, "missing right parenthesis");
            ++p_;
        } while (depth > 0);
    }
    // Skips physical storage clauses Oracle accepts after DDL (TABLESPACE x, STORAGE (...), ...).
    void SkipPhysical() {
        static const std::set<std::string> words = {
            "TABLESPACE", "STORAGE", "PCTFREE", "PCTUSED", "INITRANS", "MAXTRANS", "LOGGING", "NOLOGGING",
            "COMPRESS", "NOCOMPRESS", "CACHE", "NOCACHE", "PARALLEL", "NOPARALLEL", "MONITORING",
            "NOMONITORING", "ONLINE", "COMPUTE", "STATISTICS", "REVERSE", "SEGMENT", "CREATION",
            "DEFERRED", "IMMEDIATE", "ENABLE", "DISABLE", "ROW", "MOVEMENT", "LOB", "ORGANIZATION", "HEAP"};
        while (Cur().kind == Tok::Ident && words.count(Cur().text)) {
            ++p_;
            if (At("(")) SkipBalanced();
            else if (Cur().kind == Tok::Ident && !words.count(Cur().text) && !At("AS")) ++p_;
            else if (Cur().kind == Tok::Number) ++p_;
        }
    }
    void End() {
        Accept(";");
        if (Cur().kind != Tok::End) Unexpected();
    }
};

ExprPtr Parser::ParseOr() {
    size_t start = Cur().offset;
    ExprPtr left = ParseAnd();
    Depth d(*this);
    while (At("OR")) {
        d.Step();
        ++p_;
        auto e = Make(Expr::Or, start);
        e->args.push_back(std::move(left));
        e->args.push_back(ParseAnd());
        Close(*e);
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::ParseAnd() {
    size_t start = Cur().offset;
    ExprPtr left = ParseNot();
    Depth d(*this);
    while (At("AND")) {
        d.Step();
        ++p_;
        auto e = Make(Expr::And, start);
        e->args.push_back(std::move(left));
        e->args.push_back(ParseNot());
        Close(*e);
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::ParseNot() {
    size_t start = Cur().offset;
    if (At("NOT")) {
        ++p_;
        Depth d(*this);
        d.Step();
        auto e = Make(Expr::Not, start);
        e->args.push_back(ParseNot());
        Close(*e);
        return e;
    }
    if (At("EXISTS")) {
        ++p_;
        auto e = Make(Expr::Exists, start);
        Expect("(");
        e->query = ParseQuery();
        Expect(")");
        Close(*e);
        return e;
    }
    return ParsePredicate();
}

ExprPtr Parser::ParsePredicate() {
    size_t start = Cur().offset;
    ExprPtr left = ParseAdditive();
    while (true) {
        const Token& t = Cur();
        if (t.kind == Tok::Op && (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "^=" ||
                                  t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=")) {
            std::string op = t.text == "!=" || t.text == "^=" ? "<>" : t.text;
            ++p_;
            auto e = Make(Expr::Compare, start);
            e->text = op;
            e->args.push_back(std::move(left));
            if (At("ANY") || At("SOME") || At("ALL")) {
                e->typeName = At("ALL") ? "ALL" : "ANY";
                ++p_;
                Expect("(");
                auto sub = Make(Expr::Subquery, Cur().offset);
                if (AtQueryStart()) {
                    sub->query = ParseQuery();
                } else {
                    sub->kind = Expr::List;
                    do sub->args.push_back(ParseExpr()); while (Accept(","));
                }
                Expect(")");
                Close(*sub);
                e->args.push_back(std::move(sub));
            } else {
                e->args.push_back(ParseAdditive());
            }
            Close(*e);
            left = std::move(e);
            continue;
        }
        if (At("IS")) {
            ++p_;
            auto e = Make(Expr::IsNull, start);
            e->negated = Accept("NOT");
            Expect("NULL");
            e->args.push_back(std::move(left));
            Close(*e);
            left = std::move(e);
            continue;
        }
        bool neg = false;
        size_t save = p_;
        if (At("NOT")) { neg = true; ++p_; }
        if (At("IN")) {
            ++p_;
            auto e = Make(Expr::In, start);
            e->negated = neg;
            e->args.push_back(std::move(left));
            Expect("(");
            if (AtQueryStart()) {
                e->query = ParseQuery();
            } else {
                do e->args.push_back(ParseExpr()); while (Accept(","));
            }
            Expect(")");
            Close(*e);
            left = std::move(e);
            continue;
        }
        if (At("BETWEEN")) {
            ++p_;
            auto e = Make(Expr::Between, start);
            e->negated = neg;
            e->args.push_back(std::move(left));
            e->args.push_back(ParseAdditive());
            Expect("AND");
            e->args.push_back(ParseAdditive());
            Close(*e);
            left = std::move(e);
            continue;
        }
        if (At("LIKE")) {
            ++p_;
            auto e = Make(Expr::Like, start);
            e->negated = neg;
            e->args.push_back(std::move(left));
            e->args.push_back(ParseAdditive());
            if (Accept("ESCAPE")) e->args.push_back(ParseAdditive());
            Close(*e);
            left = std::move(e);
            continue;
        }
        p_ = save;
        return left;
    }
}

ExprPtr Parser::ParseAdditive() {
    size_t start = Cur().offset;
    ExprPtr left = ParseMultiplicative();
    Depth d(*this);
    while (At("+") || At("-") || At("||")) {
        d.Step();
        std::string op = Cur().text;
        ++p_;
        auto e = Make(Expr::Binary, start);
        e->text = op;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseMultiplicative());
        Close(*e);
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::ParseMultiplicative() {
    size_t start = Cur().offset;
    ExprPtr left = ParseUnary();
    Depth d(*this);
    while (At("*") || At("/") || At("**")) {
        d.Step();
        std::string op = Cur().text;
        ++p_;
        auto e = Make(Expr::Binary, start);
        e->text = op;
        e->args.push_back(std::move(left));
        e->args.push_back(ParseUnary());
        Close(*e);
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::ParseUnary() {
    Depth d(*this);
    d.Step();
    size_t start = Cur().offset;
    if (At("-") || At("+")) {
        std::string op = Cur().text;
        ++p_;
        auto inner = ParseUnary();
        if (op == "+") return inner;
        auto e = Make(Expr::Unary, start);
        e->text = "-";
        e->args.push_back(std::move(inner));
        Close(*e);
        return e;
    }
    if (At("PRIOR")) {
        ++p_;
        auto e = Make(Expr::Unary, start);
        e->text = "PRIOR";
        e->args.push_back(ParseUnary());
        Close(*e);
        return e;
    }
    return ParsePrimary();
}

ExprPtr Parser::ParseCase(size_t start) {
    auto e = Make(Expr::Case, start);
    if (!At("WHEN")) {
        e->caseHasOperand = true;
        e->args.push_back(ParseExpr());
    }
    if (!At("WHEN")) MissingExpression();
    while (Accept("WHEN")) {
        e->args.push_back(ParseExpr());
        Expect("THEN");
        e->args.push_back(ParseExpr());
    }
    if (Accept("ELSE")) {
        e->hasElse = true;
        e->args.push_back(ParseExpr());
    }
    if (!Accept("END")) MissingExpression();
    Close(*e);
    return e;
}

ExprPtr Parser::ParseFunction(std::string name, size_t start) {
    auto e = Make(Expr::Func, start);
    e->text = std::move(name);
    Expect("(");
    if (At(")")) { ++p_; Close(*e); return e; }
    if (At("DISTINCT") || At("UNIQUE")) { ++p_; e->distinct = true; }
    else Accept("ALL");
    if (At("*")) {
        e->args.push_back(Make(Expr::Star, Cur().offset));
        ++p_;
    } else if (e->text == "CAST") {
        e->kind = Expr::Cast;
        e->args.push_back(ParseExpr());
        Expect("AS");
        size_t ts = Cur().offset;
        ColumnDef c;
        ParseType(c);
        e->typeName = SourceText(ts, EndOfPrev());
    } else if (e->text == "TRIM") {
        // TRIM([LEADING|TRAILING|BOTH] [chars] FROM x)
        std::string mode = "BOTH";
        if (At("LEADING") || At("TRAILING") || At("BOTH")) { mode = Cur().text; ++p_; }
        e->typeName = mode;
        if (Accept("FROM")) {
            e->args.push_back(ParseExpr());
        } else {
            auto first = ParseExpr();
            if (Accept("FROM")) {
                e->args.push_back(ParseExpr());
                e->args.push_back(std::move(first));
            } else {
                e->args.push_back(std::move(first));
            }
        }
    } else if (e->text == "EXTRACT") {
        e->typeName = Word();
        Expect("FROM");
        e->args.push_back(ParseExpr());
    } else {
        do {
            if (At(")")) MissingExpression();
            e->args.push_back(ParseExpr());
        } while (Accept(","));
    }
    Expect(")");
    // analytic functions: OVER (...) is kept as text for the translator to reject or pass on
    if (At("OVER")) Error(3001, "unimplemented feature");
    Close(*e);
    return e;
}

ExprPtr Parser::ParsePrimary() {
    const Token& t = Cur();
    size_t start = t.offset;
    switch (t.kind) {
    case Tok::Number: {
        auto e = Make(Expr::Number, start);
        e->text = t.text;
        ++p_;
        Close(*e);
        return e;
    }
    case Tok::String:
    case Tok::NString: {
        auto e = Make(Expr::String, start);
        e->text = t.text;
        e->negated = t.kind == Tok::NString;   // national literal
        ++p_;
        Close(*e);
        return e;
    }
    case Tok::Bind: {
        auto e = Make(Expr::Bind, start);
        e->text = t.text;
        ++p_;
        // an indicator variable ":v:i" is not supported; "INDICATOR" neither
        Close(*e);
        return e;
    }
    case Tok::Op:
        if (t.text == "(") {
            if (AtQueryStart()) {
                ++p_;
                auto e = Make(Expr::Subquery, start);
                e->query = ParseQuery();
                Expect(")");
                Close(*e);
                return e;
            }
            ++p_;
            auto first = ParseExpr();
            if (At(",")) {
                auto e = Make(Expr::List, start);
                e->args.push_back(std::move(first));
                while (Accept(",")) e->args.push_back(ParseExpr());
                Expect(")");
                Close(*e);
                return e;
            }
            Expect(")");
            // keep the parenthesised range for headings
            first->offset = start;
            Close(*first);
            return first;
        }
        MissingExpression();
    case Tok::Ident:
    case Tok::QuotedIdent: {
        bool quoted = t.kind == Tok::QuotedIdent;
        std::string w = t.text;
        if (!quoted) {
            if (w == "NULL") { ++p_; auto e = Make(Expr::Null, start); Close(*e); return e; }
            if (w == "CASE") { ++p_; return ParseCase(start); }
            if (w == "ROWNUM") { ++p_; auto e = Make(Expr::Rownum, start); Close(*e); return e; }
            if (w == "SYSDATE" || w == "SYSTIMESTAMP" || w == "CURRENT_DATE" || w == "CURRENT_TIMESTAMP" ||
                w == "LOCALTIMESTAMP") {
                ++p_;
                auto e = Make(Expr::Sysdate, start);
                e->text = w;
                Close(*e);
                return e;
            }
            if (w == "USER" || w == "UID") {
                ++p_;
                auto e = Make(Expr::Func, start);
                e->text = w;
                Close(*e);
                return e;
            }
            if ((w == "DATE" || w == "TIMESTAMP") && Peek().kind == Tok::String) {
                ++p_;
                auto e = Make(Expr::DateLiteral, start);
                e->text = Cur().text;
                e->typeName = w;
                ++p_;
                Close(*e);
                return e;
            }
            if (w == "ROWID") { ++p_; auto e = Make(Expr::Rowid, start); Close(*e); return e; }
            if (w == "CURSOR" && Peek().Is("(")) {
                // CURSOR(subquery): a nested cursor column
                ++p_;
                if (AtQueryStart()) {
                    ++p_;
                    auto e = Make(Expr::Subquery, start);
                    e->text = "CURSOR";
                    e->query = ParseQuery();
                    Expect(")");
                    Close(*e);
                    return e;
                }
                --p_;
            }
            if (w == "LEVEL") { ++p_; auto e = Make(Expr::Func, start); e->text = "LEVEL"; Close(*e); return e; }
            if (Reserved().count(w) && w != "CHAR" && w != "DATE") MissingExpression();
        }
        ++p_;
        std::vector<std::string> names{w};
        bool star = false;
        while (At(".")) {
            ++p_;
            if (At("*")) { ++p_; star = true; break; }
            if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Error(904, "invalid identifier");
            names.push_back(Cur().text);
            ++p_;
        }
        if (star) {
            auto e = Make(Expr::Star, start);
            e->names = std::move(names);
            Close(*e);
            return e;
        }
        if (At("(") && !quoted && names.size() <= 3 && !(Peek().Is("+") && Peek(2).Is(")"))) {
            std::string fname;
            for (size_t k = 0; k < names.size(); ++k) fname += (k ? "." : "") + names[k];
            return ParseFunction(fname, start);
        }
        if (names.size() >= 2 && (names.back() == "NEXTVAL" || names.back() == "CURRVAL")) {
            auto e = Make(Expr::SeqValue, start);
            e->text = names.back();
            names.pop_back();
            e->names = std::move(names);
            Close(*e);
            return e;
        }
        if (names.size() >= 2 && names.back() == "ROWID") {
            auto e = Make(Expr::Rowid, start);
            names.pop_back();
            e->names = std::move(names);
            Close(*e);
            return e;
        }
        auto e = Make(Expr::Column, start);
        e->names = std::move(names);
        if (At("(") && Peek().Is("+") && Peek(2).Is(")")) {
            p_ += 3;
            e->outerJoin = true;
        }
        Close(*e);
        if (e->outerJoin) e->end = e->end - 3 < e->offset ? e->end : e->end;
        return e;
    }
    case Tok::End:
    default:
        MissingExpression();
    }
}

std::string Parser::OptionalAlias(bool allowAs) {
    if (allowAs && Accept("AS")) {
        if (Cur().kind == Tok::QuotedIdent || Cur().kind == Tok::Ident) {
            std::string a = Cur().text;
            ++p_;
            return a;
        }
        MissingExpression();
    }
    if (Cur().kind == Tok::QuotedIdent) { std::string a = Cur().text; ++p_; return a; }
    if (Cur().kind == Tok::Ident && !StopsAlias(Cur())) { std::string a = Cur().text; ++p_; return a; }
    return {};
}

std::unique_ptr<Query> Parser::ParseQuery() {
    Depth d(*this);
    d.Step();
    size_t start = Cur().offset;
    std::vector<Query::Named> with;
    if (Accept("WITH")) {
        do {
            Query::Named n;
            n.name = Identifier();
            if (Accept("(")) {
                do n.columns.push_back(Identifier()); while (Accept(","));
                Expect(")");
            }
            Expect("AS");
            Expect("(");
            n.query = ParseQuery();
            Expect(")");
            with.push_back(std::move(n));
        } while (Accept(","));
        if (!At("SELECT") && !At("(")) Error(928, "missing SELECT keyword");
    }
    auto left = ParseQueryTerm();
    while (At("UNION") || At("MINUS") || At("INTERSECT") || At("EXCEPT")) {
        d.Step();
        std::string op = Cur().text == "EXCEPT" ? "MINUS" : Cur().text;
        ++p_;
        if (op == "UNION" && Accept("ALL")) op = "UNION ALL";
        auto q = std::make_unique<Query>();
        q->offset = start;
        q->setOp = op;
        q->left = std::move(left);
        q->right = ParseQueryTerm();
        left = std::move(q);
    }
    if (At("ORDER")) {
        ++p_;
        Expect("BY");
        ParseOrderBy(left->orderBy);
    }
    if (At("FOR")) {
        ++p_;
        Expect("UPDATE");
        left->forUpdate = true;
        if (Accept("OF")) {
            do left->forUpdateOf.push_back(ParsePrimary()); while (Accept(","));
        }
        if (Accept("NOWAIT")) left->waitSeconds = 0;
        else if (Accept("WAIT")) {
            if (Cur().kind != Tok::Number) Error(30005, "missing or invalid WAIT interval");
            left->waitSeconds = std::atoi(Cur().text.c_str());
            ++p_;
        } else if (Accept("SKIP")) {
            Error(3001, "unimplemented feature");
        }
    }
    left->with = std::move(with);
    return left;
}

std::unique_ptr<Query> Parser::ParseQueryTerm() {
    auto q = std::make_unique<Query>();
    q->offset = Cur().offset;
    if (At("(")) {
        ++p_;
        auto inner = ParseQuery();
        Expect(")");
        return inner;
    }
    if (!At("SELECT")) {
        if (Cur().kind == Tok::End) Error(928, "missing SELECT keyword");
        Error(928, "missing SELECT keyword");
    }
    q->block = ParseSelectBlock();
    return q;
}

void Parser::ParseOrderBy(std::vector<OrderItem>& out) {
    do {
        OrderItem it;
        it.expr = ParseExpr();
        if (Accept("DESC")) it.desc = true;
        else Accept("ASC");
        if (Accept("NULLS")) {
            if (Accept("FIRST")) it.nulls = 1;
            else if (Accept("LAST")) it.nulls = 2;
            else Error(933, "SQL command not properly ended");
        }
        out.push_back(std::move(it));
    } while (Accept(","));
}

std::unique_ptr<SelectBlock> Parser::ParseSelectBlock() {
    Expect("SELECT");
    auto b = std::make_unique<SelectBlock>();
    if (At("DISTINCT") || At("UNIQUE")) { ++p_; b->distinct = true; }
    else Accept("ALL");
    // hints are comments and already gone
    do {
        SelectItem it;
        it.begin = Cur().offset;
        if (At("*")) {
            it.expr = Make(Expr::Star, Cur().offset);
            ++p_;
            Close(*it.expr);
        } else {
            if (At("FROM")) MissingExpression();
            it.expr = ParseExpr();
        }
        it.end = EndOfPrev();
        it.aliasQuoted = Cur().kind == Tok::QuotedIdent || (At("AS") && Peek().kind == Tok::QuotedIdent);
        if (it.expr->kind != Expr::Star) it.alias = OptionalAlias(true);
        b->items.push_back(std::move(it));
    } while (Accept(","));
    if (At("INTO")) Error(905, "missing keyword");
    if (!At("FROM")) {
        if (Cur().kind == Tok::Ident || Cur().kind == Tok::QuotedIdent || Cur().kind == Tok::Number ||
            Cur().kind == Tok::String || Cur().kind == Tok::Bind || Cur().kind == Tok::End || At("(") ||
            Cur().kind == Tok::Op)
            Error(923, "FROM keyword not found where expected");
    }
    Expect("FROM");
    do b->from.push_back(ParseFromItem()); while (Accept(","));
    if (Accept("WHERE")) b->where = ParseExpr();
    for (int k = 0; k < 2; ++k) {
        if (At("START")) { ++p_; Expect("WITH"); b->startWith = ParseExpr(); }
        if (At("CONNECT")) { ++p_; Expect("BY"); Accept("NOCYCLE"); b->connectBy = ParseExpr(); }
    }
    if (At("GROUP")) {
        ++p_;
        Expect("BY");
        do b->groupBy.push_back(ParseExpr()); while (Accept(","));
    }
    if (Accept("HAVING")) b->having = ParseExpr();
    return b;
}

std::unique_ptr<TableRef> Parser::ParseTablePrimary() {
    auto r = std::make_unique<TableRef>();
    r->offset = Cur().offset;
    if (At("(")) {
        if (AtQueryStart()) {
            ++p_;
            r->kind = TableRef::Subquery;
            r->query = ParseQuery();
            Expect(")");
        } else {
            ++p_;
            auto inner = ParseFromItem();
            Expect(")");
            return inner;
        }
    } else if (At("TABLE") || At("THE")) {
        Error(3001, "unimplemented feature");
    } else {
        r->kind = TableRef::Table;
        r->name = ParseObjectName(903);
    }
    if (At("AS")) Error(933, "SQL command not properly ended");
    r->alias = OptionalAlias(false);
    return r;
}

std::unique_ptr<TableRef> Parser::ParseFromItem() {
    auto left = ParseTablePrimary();
    Depth d(*this);
    while (true) {
        d.Step();
        std::string type;
        size_t save = p_;
        if (At("JOIN")) { type = "INNER"; ++p_; }
        else if (At("INNER") && Peek().Is("JOIN")) { type = "INNER"; p_ += 2; }
        else if (At("CROSS") && Peek().Is("JOIN")) { type = "CROSS"; p_ += 2; }
        else if ((At("LEFT") || At("RIGHT") || At("FULL"))) {
            type = Cur().text;
            ++p_;
            Accept("OUTER");
            if (!Accept("JOIN")) { p_ = save; break; }
        } else if (At("NATURAL")) {
            Error(3001, "unimplemented feature");
        } else {
            break;
        }
        auto j = std::make_unique<TableRef>();
        j->kind = TableRef::Join;
        j->offset = left->offset;
        j->joinType = type;
        j->left = std::move(left);
        j->right = ParseTablePrimary();
        if (type != "CROSS") {
            if (Accept("ON")) {
                j->on = ParseExpr();
            } else if (Accept("USING")) {
                Expect("(");
                do j->usingCols.push_back(Identifier()); while (Accept(","));
                Expect(")");
            } else {
                Error(905, "missing keyword");
            }
        }
        left = std::move(j);
    }
    return left;
}

void Parser::ParseReturning(Statement& s) {
    if (!(At("RETURNING") || At("RETURN"))) return;
    ++p_;
    do s.returning.push_back(ParseExpr()); while (Accept(","));
    Expect("INTO");
    do {
        if (Cur().kind != Tok::Bind) Error(1745, "invalid host/bind variable name");
        s.returningInto.push_back(Cur().text);
        ++p_;
    } while (Accept(","));
}

std::unique_ptr<Statement> Parser::ParseInsert() {
    auto s = std::make_unique<Statement>(Statement::Insert);
    Expect("INSERT");
    Expect("INTO");
    s->object = ParseObjectName();
    s->alias = OptionalAlias(false);
    if (At("(") && !AtQueryStart()) {
        ++p_;
        do s->columns.push_back(Identifier()); while (Accept(","));
        Expect(")");
    }
    if (Accept("VALUES")) {
        Expect("(");
        std::vector<ExprPtr> row;
        do row.push_back(ParseExpr()); while (Accept(","));
        Expect(")");
        s->rows.push_back(std::move(row));
    } else if (AtQueryStart()) {
        s->query = ParseQuery();
    } else {
        Error(926, "missing VALUES keyword");
    }
    ParseReturning(*s);
    return s;
}

std::unique_ptr<Statement> Parser::ParseUpdate() {
    auto s = std::make_unique<Statement>(Statement::Update);
    Expect("UPDATE");
    s->object = ParseObjectName();
    if (!At("SET")) s->alias = OptionalAlias(false);
    Expect("SET");
    do {
        std::vector<std::string> cols;
        if (Accept("(")) {
            do {
                std::string c = Identifier();
                while (Accept(".")) c = Identifier();
                cols.push_back(c);
            } while (Accept(","));
            Expect(")");
            Expect("=");
            auto e = Make(Expr::Subquery, Cur().offset);
            Expect("(");
            e->query = ParseQuery();
            Expect(")");
            s->sets.emplace_back(std::move(cols), std::move(e));
        } else {
            std::string c = Identifier();
            while (Accept(".")) c = Identifier();
            cols.push_back(c);
            Expect("=");
            if (At("DEFAULT")) {
                ++p_;
                s->sets.emplace_back(std::move(cols), nullptr);
            } else {
                s->sets.emplace_back(std::move(cols), ParseExpr());
            }
        }
    } while (Accept(","));
    if (Accept("WHERE")) s->where = ParseExpr();
    ParseReturning(*s);
    return s;
}

std::unique_ptr<Statement> Parser::ParseDelete() {
    auto s = std::make_unique<Statement>(Statement::Delete);
    Expect("DELETE");
    Accept("FROM");
    s->object = ParseObjectName();
    s->alias = OptionalAlias(false);
    if (Accept("WHERE")) s->where = ParseExpr();
    ParseReturning(*s);
    return s;
}

std::unique_ptr<Statement> Parser::ParseMerge() {
    auto s = std::make_unique<Statement>(Statement::Merge);
    Expect("MERGE");
    Expect("INTO");
    s->object = ParseObjectName();
    s->alias = OptionalAlias(false);
    Expect("USING");
    s->using_ = ParseTablePrimary();
    Expect("ON");
    Expect("(");
    s->mergeOn = ParseExpr();
    Expect(")");
    while (Accept("WHEN")) {
        bool matched = !Accept("NOT");
        Expect("MATCHED");
        Expect("THEN");
        if (matched) {
            Expect("UPDATE");
            Expect("SET");
            do {
                std::string c = Identifier();
                while (Accept(".")) c = Identifier();
                Expect("=");
                s->mergeSets.emplace_back(std::vector<std::string>{c}, ParseExpr());
            } while (Accept(","));
            if (Accept("WHERE")) Error(3001, "unimplemented feature");
        } else {
            Expect("INSERT");
            if (Accept("(")) {
                do {
                    std::string c = Identifier();
                    while (Accept(".")) c = Identifier();
                    s->mergeInsertColumns.push_back(c);
                } while (Accept(","));
                Expect(")");
            }
            Expect("VALUES");
            Expect("(");
            do s->mergeInsertValues.push_back(ParseExpr()); while (Accept(","));
            Expect(")");
        }
    }
    return s;
}

void Parser::ParseType(ColumnDef& c) {
    if (!AtIdent()) Error(902, "invalid datatype");
    std::string t = Cur().text;
    ++p_;
    if (t == "LONG" && At("RAW")) { ++p_; t = "LONG RAW"; }
    else if (t == "DOUBLE" && At("PRECISION")) { ++p_; t = "FLOAT"; }
    else if ((t == "CHARACTER" || t == "CHAR" || t == "NATIONAL") && At("VARYING")) { ++p_; t = "VARCHAR2"; }
    else if (t == "NATIONAL") {
        if (!(At("CHAR") || At("CHARACTER"))) Error(902, "invalid datatype");
        ++p_;
        t = Accept("VARYING") ? "NVARCHAR2" : "NCHAR";
    }
    static const std::set<std::string> known = {
        "VARCHAR2", "VARCHAR", "NVARCHAR2", "CHAR", "NCHAR", "CHARACTER", "NUMBER", "NUMERIC", "DECIMAL", "DEC",
        "INTEGER", "INT", "SMALLINT", "FLOAT", "REAL", "DATE", "TIMESTAMP", "CLOB", "NCLOB", "BLOB",
        "BFILE", "RAW", "LONG", "LONG RAW", "ROWID", "UROWID", "BINARY_FLOAT", "BINARY_DOUBLE", "XMLTYPE",
        "BOOLEAN", "PLS_INTEGER", "BINARY_INTEGER", "INTERVAL"};
    if (!known.count(t)) Error(902, "invalid datatype");
    if (t == "VARCHAR") t = "VARCHAR2";
    if (t == "CHARACTER") t = "CHAR";
    if (t == "NUMERIC" || t == "DECIMAL" || t == "DEC") t = "NUMBER";
    if (t == "INTEGER" || t == "INT" || t == "SMALLINT") { t = "NUMBER"; c.precision = 38; c.scale = 0; }
    if (t == "REAL") { t = "FLOAT"; c.precision = 63; }
    if (t == "INTERVAL") Error(3001, "unimplemented feature");
    c.typeName = t;
    if (At("(") && t != "DATE" && t != "CLOB" && t != "BLOB" && t != "NCLOB") {
        ++p_;
        auto num = [&]() {
            if (At("*")) { ++p_; return -1; }
            if (At("-") && Peek().kind == Tok::Number) { ++p_; int v = -std::atoi(Cur().text.c_str()); ++p_; return v; }
            if (Cur().kind != Tok::Number) Error(910, "specified length too long for its datatype");
            int v = std::atoi(Cur().text.c_str());
            ++p_;
            return v;
        };
        if (t == "NUMBER" || t == "FLOAT") {
            c.precision = num();
            if (Accept(",")) c.scale = num();
        } else if (t == "TIMESTAMP") {
            c.precision = num();
        } else {
            c.length = num();
            if (Accept("CHAR")) c.charSemantics = true;
            else if (Accept("BYTE")) c.byteSemantics = true;
        }
        Expect(")");
    }
    if (t == "TIMESTAMP" && At("WITH")) {
        ++p_;
        bool local = Accept("LOCAL");
        Expect("TIME");
        if (!Accept("ZONE")) Error(905, "missing keyword");
        c.typeName = local ? "TIMESTAMP WITH LOCAL TIME ZONE" : "TIMESTAMP WITH TIME ZONE";
    }
}

bool Parser::ParseConstraint(Statement& s, ConstraintDef& c, const std::string* column) {
    c.offset = Cur().offset;
    if (Accept("CONSTRAINT")) c.name = Identifier();
    if (At("PRIMARY")) {
        ++p_;
        Expect("KEY");
        c.type = 'P';
    } else if (At("UNIQUE")) {
        ++p_;
        c.type = 'U';
    } else if (At("CHECK")) {
        ++p_;
        c.type = 'C';
        Expect("(");
        size_t b = Cur().offset;
        c.check = ParseExpr();
        c.checkText = SourceText(b, EndOfPrev());
        Expect(")");
    } else if (At("FOREIGN") || At("REFERENCES")) {
        if (Accept("FOREIGN")) Expect("KEY");
        c.type = 'R';
    } else if (At("NOT") && column) {
        ++p_;
        Expect("NULL");
        c.type = 'C';
        c.notNullOf = true;
        c.columns.push_back(*column);
        c.checkText = "\"" + *column + "\" IS NOT NULL";
        return true;
    } else if (At("NULL") && column) {
        ++p_;
        c.type = 0;
        return true;
    } else {
        if (!c.name.empty()) Error(902, "invalid datatype");
        return false;
    }
    if (c.type == 'P' || c.type == 'U' || (c.type == 'R' && !column)) {
        if (column && c.type != 'R') {
            c.columns.push_back(*column);
        } else {
            Expect("(");
            do c.columns.push_back(Identifier()); while (Accept(","));
            Expect(")");
        }
    }
    if (c.type == 'R') {
        if (column) c.columns.push_back(*column);
        Expect("REFERENCES");
        c.refTable = ParseObjectName();
        if (Accept("(")) {
            do c.refColumns.push_back(Identifier()); while (Accept(","));
            Expect(")");
        }
        if (Accept("ON")) {
            Expect("DELETE");
            if (Accept("CASCADE")) c.onDeleteCascade = true;
            else { Expect("SET"); Expect("NULL"); c.onDeleteSetNull = true; }
        }
    }
    if (c.type == 'C' && column) c.columns.push_back(*column);
    // USING INDEX, ENABLE/DISABLE, DEFERRABLE ...
    while (true) {
        if (Accept("USING")) { Expect("INDEX"); SkipPhysical(); if (At("(")) SkipBalanced(); continue; }
        if (Accept("ENABLE") || Accept("VALIDATE") || Accept("NOVALIDATE") || Accept("RELY")) continue;
        if (Accept("DISABLE")) { c.disabled = true; continue; }
        if (Accept("DEFERRABLE") || Accept("INITIALLY")) { Accept("IMMEDIATE"); Accept("DEFERRED"); continue; }
        if (At("NOT") && Peek().Is("DEFERRABLE")) { p_ += 2; continue; }
        break;
    }
    (void)s;
    return true;
}

void Parser::ParseColumnDef(Statement& s, ColumnDef& c) {
    c.offset = Cur().offset;
    c.name = Identifier();
    ParseType(c);
    while (true) {
        if (At("DEFAULT")) {
            ++p_;
            size_t b = Cur().offset;
            c.defaultExpr = ParseExpr();
            c.defaultText = SourceText(b, EndOfPrev());
            continue;
        }
        ConstraintDef k;
        if (!ParseConstraint(s, k, &c.name)) break;
        if (k.type == 0) { c.hasNull = true; continue; }
        if (k.notNullOf) {
            c.notNull = true;
            if (k.name.empty()) { s.constraints.push_back(std::move(k)); continue; }
        }
        s.constraints.push_back(std::move(k));
    }
}

std::unique_ptr<Statement> Parser::ParseCreateTable(std::unique_ptr<Statement> s) {
    s->kind = Statement::CreateTable;
    s->object = ParseObjectName();
    if (At("AS")) {
        ++p_;
        s->query = ParseQuery();
        return s;
    }
    Expect("(");
    do {
        if (At("CONSTRAINT") || At("PRIMARY") || At("UNIQUE") || At("CHECK") || At("FOREIGN")) {
            ConstraintDef k;
            ParseConstraint(*s, k, nullptr);
            s->constraints.push_back(std::move(k));
        } else {
            ColumnDef c;
            ParseColumnDef(*s, c);
            s->columnDefs.push_back(std::move(c));
        }
    } while (Accept(","));
    Expect(")");
    SkipPhysical();
    if (Accept("AS")) s->query = ParseQuery();
    return s;
}

void Parser::ParseSequenceOptions(Statement& s) {
    auto number = [&]() {
        std::string v;
        if (At("-")) { v = "-"; ++p_; }
        else Accept("+");
        if (Cur().kind != Tok::Number) Error(4002, "INCREMENT must be a non-zero integer");
        v += Cur().text;
        ++p_;
        return v;
    };
    while (Cur().kind == Tok::Ident) {
        if (Accept("START")) { Expect("WITH"); s.startWith = number(); s.hasStart = true; }
        else if (Accept("INCREMENT")) { Expect("BY"); s.incrementBy = number(); s.hasIncrement = true; }
        else if (Accept("MINVALUE")) { s.minValue = number(); s.hasMin = true; }
        else if (Accept("MAXVALUE")) { s.maxValue = number(); s.hasMax = true; }
        else if (Accept("NOMINVALUE")) s.noMin = true;
        else if (Accept("NOMAXVALUE")) s.noMax = true;
        else if (Accept("CYCLE")) s.cycle = true;
        else if (Accept("NOCYCLE")) s.cycle = false;
        else if (Accept("CACHE")) s.cache = std::atoll(number().c_str());
        else if (Accept("NOCACHE")) s.cache = 0;
        else if (Accept("ORDER") || Accept("NOORDER")) {}
        else Error(933, "SQL command not properly ended");
    }
}

std::unique_ptr<Statement> Parser::ParseCreate() {
    size_t start = Cur().offset;
    Expect("CREATE");
    auto s = std::make_unique<Statement>(Statement::CreateTable);
    s->offset = start;
    if (Accept("OR")) {
        if (!Accept("REPLACE")) Error(922, "missing or invalid option");
        s->orReplace = true;
    }
    if (Accept("NO")) { Expect("FORCE"); }
    if (Accept("FORCE")) s->force = true;
    if (Accept("GLOBAL")) { if (!Accept("TEMPORARY")) Error(901, "invalid CREATE command"); }
    if (Accept("PUBLIC")) s->isPublic = true;
    if (Accept("UNIQUE")) s->unique = true;
    Accept("BITMAP");
    if (Accept("TABLE")) return ParseCreateTable(std::move(s));
    if (Accept("INDEX")) {
        s->kind = Statement::CreateIndex;
        s->object = ParseObjectName();
        Expect("ON");
        s->target = ParseObjectName();
        Expect("(");
        do {
            size_t b = Cur().offset;
            auto e = ParseExpr();
            if (e->kind != Expr::Column) s->columns.push_back(HeadingOf(SourceText(b, EndOfPrev())));
            else s->columns.push_back(e->names.back());
            if (Accept("DESC")) s->words.push_back("DESC"); else { Accept("ASC"); s->words.push_back("ASC"); }
        } while (Accept(","));
        Expect(")");
        SkipPhysical();
        return s;
    }
    if (Accept("SEQUENCE")) {
        s->kind = Statement::CreateSequence;
        s->object = ParseObjectName();
        ParseSequenceOptions(*s);
        return s;
    }
    if (Accept("VIEW")) {
        s->kind = Statement::CreateView;
        s->object = ParseObjectName();
        if (Accept("(")) {
            do s->columns.push_back(Identifier()); while (Accept(","));
            Expect(")");
        }
        Expect("AS");
        size_t b = Cur().offset;
        s->query = ParseQuery();
        if (Accept("WITH")) {
            if (Accept("READ")) Expect("ONLY");
            else { Expect("CHECK"); Expect("OPTION"); }
            if (Accept("CONSTRAINT")) Identifier();
        }
        s->text = SourceText(b, EndOfPrev());
        return s;
    }
    if (Accept("SYNONYM")) {
        s->kind = Statement::CreateSynonym;
        s->object = ParseObjectName();
        Expect("FOR");
        s->target = ParseObjectName();
        return s;
    }
    if (Accept("USER")) {
        s->kind = Statement::CreateUser;
        s->object.name = Identifier();
        Expect("IDENTIFIED");
        if (Accept("EXTERNALLY")) {
            s->text = "";
        } else {
            Expect("BY");
            if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Error(988, "missing or invalid password(s)");
            s->text = Cur().kind == Tok::QuotedIdent ? Cur().text : std::string(sql_.substr(Cur().offset, Cur().length));
            ++p_;
        }
        while (Cur().kind == Tok::Ident) {
            if (Accept("DEFAULT") || Accept("TEMPORARY")) { Expect("TABLESPACE"); Identifier(); }
            else if (Accept("QUOTA")) { if (!Accept("UNLIMITED")) ++p_; Expect("ON"); Identifier(); }
            else if (Accept("PASSWORD")) { Expect("EXPIRE"); s->passwordExpire = true; }
            else if (Accept("ACCOUNT")) { if (Accept("LOCK")) s->accountLock = true; else Expect("UNLOCK"); }
            else if (Accept("PROFILE")) Identifier();
            else Error(922, "missing or invalid option");
        }
        return s;
    }
    if (At("PROCEDURE") || At("FUNCTION") || At("PACKAGE") || At("TRIGGER") || At("TYPE") ||
        At("LIBRARY") || At("JAVA")) {
        s->kind = Statement::CreatePlSql;
        s->objectType = Cur().text;
        ++p_;
        if (s->objectType == "PACKAGE" || s->objectType == "TYPE") {
            if (Accept("BODY")) s->objectType += " BODY";
        }
        if (AtIdent()) s->object = ParseObjectName(904);
        return s;
    }
    if (Accept("DIRECTORY")) {
        s->kind = Statement::CreateDirectory;
        s->object.offset = Cur().offset;
        s->object.name = Identifier();
        Expect("AS");
        if (Cur().kind != Tok::String) Error(22929, "invalid or missing directory name");
        s->text = Cur().text;
        ++p_;
        return s;
    }
    if (At("ROLE") || At("TABLESPACE") || At("DATABASE") || At("CLUSTER") ||
        At("MATERIALIZED") || At("CONTEXT") || At("PROFILE")) {
        Error(3001, "unimplemented feature");
    }
    Error(901, "invalid CREATE command");
}

std::unique_ptr<Statement> Parser::ParseAlter() {
    Expect("ALTER");
    if (Accept("TABLE")) {
        auto s = std::make_unique<Statement>(Statement::AlterTable);
        s->object = ParseObjectName();
        if (Accept("ADD")) {
            if (At("CONSTRAINT") || At("PRIMARY") || At("UNIQUE") || At("CHECK") || At("FOREIGN")) {
                s->objectType = "ADD CONSTRAINT";
                ConstraintDef k;
                ParseConstraint(*s, k, nullptr);
                s->constraints.push_back(std::move(k));
            } else {
                s->objectType = "ADD COLUMN";
                bool paren = Accept("(");
                do {
                    ColumnDef c;
                    ParseColumnDef(*s, c);
                    s->columnDefs.push_back(std::move(c));
                } while (paren && Accept(","));
                if (paren) Expect(")");
            }
        } else if (Accept("MODIFY")) {
            if (At("CONSTRAINT")) Error(3001, "unimplemented feature");
            s->objectType = "MODIFY COLUMN";
            bool paren = Accept("(");
            do {
                ColumnDef c;
                c.offset = Cur().offset;
                c.name = Identifier();
                if (AtIdent() && !At("DEFAULT") && !At("NOT") && !At("NULL") && !At("CONSTRAINT")) ParseType(c);
                while (true) {
                    if (Accept("DEFAULT")) {
                        size_t b = Cur().offset;
                        c.defaultExpr = ParseExpr();
                        c.defaultText = SourceText(b, EndOfPrev());
                        continue;
                    }
                    if (At("NOT") && Peek().Is("NULL")) { p_ += 2; c.notNull = true; continue; }
                    if (Accept("NULL")) { c.hasNull = true; continue; }
                    break;
                }
                s->columnDefs.push_back(std::move(c));
            } while (paren && Accept(","));
            if (paren) Expect(")");
        } else if (Accept("DROP")) {
            if (Accept("CONSTRAINT")) {
                s->objectType = "DROP CONSTRAINT";
                s->param = Identifier();
                Accept("CASCADE");
            } else if (At("PRIMARY")) {
                ++p_;
                Expect("KEY");
                s->objectType = "DROP PRIMARY KEY";
                Accept("CASCADE");
            } else {
                s->objectType = "DROP COLUMN";
                if (Accept("COLUMN")) {
                    s->dropColumns.push_back(Identifier());
                } else {
                    Expect("(");
                    do s->dropColumns.push_back(Identifier()); while (Accept(","));
                    Expect(")");
                }
                if (Accept("CASCADE")) Expect("CONSTRAINTS");
            }
        } else if (Accept("RENAME")) {
            if (Accept("COLUMN")) {
                s->objectType = "RENAME COLUMN";
                s->param = Identifier();
                Expect("TO");
                s->newName = Identifier();
            } else if (Accept("CONSTRAINT")) {
                Error(3001, "unimplemented feature");
            } else {
                Expect("TO");
                s->objectType = "RENAME";
                s->newName = Identifier();
            }
        } else if (Accept("ENABLE") || Accept("DISABLE")) {
            s->objectType = "NOOP";
            SkipToEnd();
        } else {
            Error(1735, "invalid ALTER TABLE option");
        }
        return s;
    }
    if (Accept("USER")) {
        auto s = std::make_unique<Statement>(Statement::AlterUser);
        s->object.name = Identifier();
        bool any = false;
        while (Cur().kind == Tok::Ident) {
            any = true;
            if (Accept("IDENTIFIED")) {
                Expect("BY");
                if (Cur().kind != Tok::Ident && Cur().kind != Tok::QuotedIdent) Error(988, "missing or invalid password(s)");
                s->text = Cur().kind == Tok::QuotedIdent ? Cur().text : std::string(sql_.substr(Cur().offset, Cur().length));
                s->param = "PASSWORD";
                ++p_;
                if (Accept("REPLACE")) ++p_;
            } else if (Accept("PASSWORD")) { Expect("EXPIRE"); s->passwordExpire = true; }
            else if (Accept("ACCOUNT")) { if (Accept("LOCK")) s->accountLock = true; else { Expect("UNLOCK"); s->accountUnlock = true; } }
            else if (Accept("DEFAULT") || Accept("TEMPORARY")) { if (Accept("TABLESPACE")) Identifier(); else if (Accept("ROLE")) SkipToEnd(); }
            else if (Accept("QUOTA")) { if (!Accept("UNLIMITED")) ++p_; Expect("ON"); Identifier(); }
            else if (Accept("PROFILE")) Identifier();
            else Error(922, "missing or invalid option");
        }
        if (!any) Error(922, "missing or invalid option");
        return s;
    }
    if (Accept("SESSION")) {
        auto s = std::make_unique<Statement>(Statement::AlterSession);
        if (Accept("SET")) {
            do {
                s->words.push_back(Word());
                Expect("=");
                std::string v;
                if (s->words.back() == "ISOLATION_LEVEL") {
                    // ISOLATION_LEVEL = SERIALIZABLE | READ COMMITTED
                    if (Accept("SERIALIZABLE")) v = "SERIALIZABLE";
                    else if (Accept("READ") && Accept("COMMITTED")) v = "READ COMMITTED";
                    else Error(922, "missing or invalid option");
                    s->grantees.push_back(v);
                    continue;
                }
                if (Cur().kind == Tok::String || Cur().kind == Tok::QuotedIdent || Cur().kind == Tok::Number) v = Cur().text;
                else if (Cur().kind == Tok::Ident) v = Cur().text;
                else Error(922, "missing or invalid option");
                ++p_;
                s->grantees.push_back(v);   // values parallel to words
            } while (!Cur().Is(";") && Cur().kind != Tok::End);
        } else {
            s->objectType = "OTHER";
            SkipToEnd();
        }
        return s;
    }
    if (Accept("SYSTEM")) {
        auto s = std::make_unique<Statement>(Statement::AlterSystem);
        if (Accept("KILL")) {
            Expect("SESSION");
            if (Cur().kind != Tok::String) Error(26, "missing or invalid session ID");
            s->text = Cur().text;
            ++p_;
            Accept("IMMEDIATE");
            s->objectType = "KILL SESSION";
        } else if (Accept("DISCONNECT")) {
            Expect("SESSION");
            if (Cur().kind != Tok::String) Error(26, "missing or invalid session ID");
            s->text = Cur().text;
            ++p_;
            Accept("POST_TRANSACTION");
            Accept("IMMEDIATE");
            s->objectType = "KILL SESSION";
        } else {
            s->objectType = "OTHER";
            SkipToEnd();
        }
        return s;
    }
    if (Accept("SEQUENCE")) {
        auto s = std::make_unique<Statement>(Statement::AlterSequence);
        s->object = ParseObjectName();
        ParseSequenceOptions(*s);
        return s;
    }
    if (Accept("INDEX")) {
        auto s = std::make_unique<Statement>(Statement::AlterIndex);
        s->object = ParseObjectName();
        SkipToEnd();
        return s;
    }
    if (At("PROCEDURE") || At("FUNCTION") || At("PACKAGE") || At("TRIGGER") || At("TYPE") || At("VIEW")) {
        auto s = std::make_unique<Statement>(Statement::CreatePlSql);
        s->objectType = "ALTER " + Cur().text;
        ++p_;
        s->object = ParseObjectName();
        SkipToEnd();
        return s;
    }
    Error(940, "invalid ALTER command");
}

std::unique_ptr<Statement> Parser::ParseDrop() {
    Expect("DROP");
    auto s = std::make_unique<Statement>(Statement::Drop);
    if (Accept("PUBLIC")) {
        s->isPublic = true;
        if (!At("SYNONYM")) Error(950, "invalid DROP option");
    }
    static const std::set<std::string> kinds = {"TABLE", "VIEW", "INDEX", "SEQUENCE", "SYNONYM", "USER",
                                                "PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER", "TYPE", "DIRECTORY"};
    if (Cur().kind != Tok::Ident || !kinds.count(Cur().text)) Error(950, "invalid DROP option");
    s->objectType = Cur().text;
    ++p_;
    if ((s->objectType == "PACKAGE" || s->objectType == "TYPE") && Accept("BODY")) s->objectType += " BODY";
    if (s->objectType == "USER" || s->objectType == "DIRECTORY") s->object.name = Identifier();
    else s->object = ParseObjectName();
    if (Accept("CASCADE")) {
        s->cascade = true;
        if (s->objectType == "TABLE") { Expect("CONSTRAINTS"); s->cascadeConstraints = true; }
    }
    if (Accept("FORCE")) {}
    Accept("PURGE");
    return s;
}

std::unique_ptr<Statement> Parser::ParseGrant(bool revoke) {
    auto s = std::make_unique<Statement>(revoke ? Statement::Revoke : Statement::Grant);
    ++p_;
    // privileges up to ON or TO/FROM
    while (!At("ON") && !At("TO") && !At("FROM") && Cur().kind != Tok::End) {
        std::string w;
        while (Cur().kind == Tok::Ident && !At("ON") && !At("TO") && !At("FROM")) {
            w += (w.empty() ? "" : " ") + Cur().text;
            ++p_;
        }
        if (w.empty()) Error(990, "missing or invalid privilege");
        if (At("(")) SkipBalanced();
        s->words.push_back(w);
        if (!Accept(",")) break;
    }
    if (s->words.empty()) Error(990, "missing or invalid privilege");
    if (Accept("ON")) s->object = ParseObjectName();
    if (!Accept(revoke ? "FROM" : "TO")) Error(905, "missing keyword");
    do {
        if (Accept("PUBLIC")) s->grantees.push_back("PUBLIC");
        else s->grantees.push_back(Identifier(987));
    } while (Accept(","));
    if (Accept("WITH")) { if (!Accept("GRANT") && !Accept("ADMIN")) Error(905, "missing keyword"); Expect("OPTION"); }
    Accept("CASCADE");
    return s;
}

std::unique_ptr<Statement> Parser::ParseStatement() {
    const Token& t = Cur();
    size_t start = t.offset;
    std::unique_ptr<Statement> s;
    if (t.kind == Tok::End) Error(900, "invalid SQL statement");
    if (At("SELECT") || At("WITH") || (At("(") && AtQueryStart())) {
        s = std::make_unique<Statement>(Statement::Select);
        s->query = ParseQuery();
    } else if (At("INSERT")) {
        s = ParseInsert();
    } else if (At("UPDATE")) {
        s = ParseUpdate();
    } else if (At("DELETE")) {
        s = ParseDelete();
    } else if (At("MERGE")) {
        s = ParseMerge();
    } else if (At("BEGIN") || At("DECLARE")) {
        s = std::make_unique<Statement>(Statement::PlSql);
        s->objectType = Cur().text;
        s->offset = start;
        return s;   // the block is parsed by the PL/SQL side
    } else if (At("CALL")) {
        s = std::make_unique<Statement>(Statement::PlSql);
        s->objectType = "CALL";
        return s;
    } else if (At("CREATE")) {
        s = ParseCreate();
        if (s->kind == Statement::CreatePlSql) return s;
    } else if (At("ALTER")) {
        s = ParseAlter();
        if (s->kind == Statement::CreatePlSql) return s;
    } else if (At("DROP")) {
        s = ParseDrop();
    } else if (At("TRUNCATE")) {
        ++p_;
        if (!Accept("TABLE")) Error(3290, "Invalid truncate command - missing CLUSTER or TABLE keyword");
        s = std::make_unique<Statement>(Statement::Truncate);
        s->object = ParseObjectName();
        if (Accept("DROP") || Accept("REUSE")) Expect("STORAGE");
    } else if (At("COMMENT")) {
        ++p_;
        Expect("ON");
        s = std::make_unique<Statement>(Statement::Comment);
        if (Accept("TABLE")) {
            s->objectType = "TABLE";
            s->object = ParseObjectName();
        } else if (Accept("COLUMN")) {
            s->objectType = "COLUMN";
            std::vector<std::string> parts{Identifier()};
            while (Accept(".")) parts.push_back(Identifier());
            if (parts.size() < 2 || parts.size() > 3) Error(904, "invalid identifier");
            s->param = parts.back();
            s->object.name = parts[parts.size() - 2];
            if (parts.size() == 3) s->object.schema = parts[0];
        } else {
            Error(905, "missing keyword");
        }
        if (!Accept("IS")) Error(905, "missing keyword");
        if (Cur().kind != Tok::String) Error(1780, "string literal required");
        s->text = Cur().text;
        ++p_;
    } else if (At("GRANT")) {
        s = ParseGrant(false);
    } else if (At("REVOKE")) {
        s = ParseGrant(true);
    } else if (At("COMMIT")) {
        ++p_;
        s = std::make_unique<Statement>(Statement::Commit);
        Accept("WORK");
        if (Accept("COMMENT")) { if (Cur().kind == Tok::String) ++p_; }
        if (Accept("WRITE")) { while (AtIdent()) ++p_; }
    } else if (At("ROLLBACK")) {
        ++p_;
        s = std::make_unique<Statement>(Statement::Rollback);
        Accept("WORK");
        if (Accept("TO")) {
            Accept("SAVEPOINT");
            s->param = Identifier();
        }
    } else if (At("SAVEPOINT")) {
        ++p_;
        s = std::make_unique<Statement>(Statement::Savepoint);
        s->param = Identifier();
    } else if (At("SET")) {
        ++p_;
        if (!Accept("TRANSACTION")) {
            if (At("ROLE")) { s = std::make_unique<Statement>(Statement::SetTransaction); SkipToEnd(); }
            else Error(922, "missing or invalid option");
        } else {
            s = std::make_unique<Statement>(Statement::SetTransaction);
            while (Cur().kind == Tok::Ident) { s->words.push_back(Cur().text); ++p_; }
            if (Cur().kind == Tok::String) ++p_;
        }
    } else if (At("LOCK")) {
        ++p_;
        Expect("TABLE");
        s = std::make_unique<Statement>(Statement::LockTable);
        s->object = ParseObjectName();
        Expect("IN");
        while (AtIdent() && !At("MODE")) ++p_;
        Expect("MODE");
        Accept("NOWAIT");
    } else if (At("RENAME")) {
        ++p_;
        s = std::make_unique<Statement>(Statement::Rename);
        s->object = ParseObjectName();
        Expect("TO");
        s->newName = Identifier();
    } else if (At("EXPLAIN") || At("ANALYZE") || At("AUDIT") || At("NOAUDIT") || At("FLASHBACK") || At("PURGE")) {
        Error(3001, "unimplemented feature");
    } else {
        Error(900, "invalid SQL statement");
    }
    s->offset = start;
    End();
    return s;
}

} // namespace

std::unique_ptr<Statement> Parse(std::string_view sql) {
    Parser p(sql);
    return p.ParseStatement();
}

} // namespace ocisim::sql
