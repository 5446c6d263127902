// The PL/SQL lexer and parser: blocks, declarations, statements and expressions, and the heads of
// CREATE PROCEDURE / FUNCTION / PACKAGE [BODY] / TRIGGER / TYPE [BODY].
#include "ocisim/engine/plsql/Ast.h"

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstdlib>
#include <set>

namespace ocisim::pl {

namespace {

bool IdStart(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool IdChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80; }

std::string UpperAscii(std::string s) {
    for (auto& c : s) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

[[noreturn]] void Syntax(const Tok& t, const std::string& expected) {
    CompileFailure f;
    std::string sym;
    if (t.kind == T::End) sym = "end-of-file";
    else if (t.kind == T::String) sym = "'" + t.text + "'";   // Oracle shows literals as written
    else if (t.kind == T::Bind) sym = ":" + t.text;
    else sym = t.text;
    std::string text = "PLS-00103: Encountered the symbol \"" + (t.kind == T::End ? std::string("end-of-file") : UpperAscii(sym)) +
                       "\" when expecting one of the following:\n\n   " + expected;
    if (t.kind == T::End) text = "PLS-00103: Encountered the symbol \"end-of-file\" when expecting one of the following:\n\n   " + expected;
    f.errors.push_back({t.line, t.col, text});
    throw f;
}

} // namespace

std::vector<Tok> LexPl(std::string_view s) {
    std::vector<Tok> out;
    size_t i = 0, n = s.size();
    int line = 1;
    size_t lineStart = 0;
    auto newline = [&](size_t pos) { ++line; lineStart = pos + 1; };
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') { newline(i); ++i; continue; }
        if (std::isspace(c)) { ++i; continue; }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            i += 2;
            while (i + 1 < n && !(s[i] == '*' && s[i + 1] == '/')) { if (s[i] == '\n') newline(i); ++i; }
            i = i + 2 <= n ? i + 2 : n;
            continue;
        }
        Tok t;
        t.offset = i;
        t.line = line;
        t.col = static_cast<int>(i - lineStart) + 1;
        if ((c == 'q' || c == 'Q' || ((c == 'n' || c == 'N') && i + 1 < n && (s[i + 1] == 'q' || s[i + 1] == 'Q'))) ) {
            size_t q = (c == 'n' || c == 'N') ? i + 1 : i;
            if (q + 2 < n && s[q + 1] == '\'') {
                char open = s[q + 2], close = open;
                if (open == '[') close = ']';
                else if (open == '{') close = '}';
                else if (open == '(') close = ')';
                else if (open == '<') close = '>';
                size_t j = q + 3;
                std::string v;
                while (j + 1 < n && !(s[j] == close && s[j + 1] == '\'')) { if (s[j] == '\n') newline(j); v += s[j]; ++j; }
                if (j + 1 >= n) {
                    CompileFailure f;
                    f.errors.push_back({t.line, t.col, "PLS-00350: unterminated quoted string"});
                    throw f;
                }
                t.kind = T::String;
                t.text = v;
                i = j + 2;
                t.length = i - t.offset;
                out.push_back(std::move(t));
                continue;
            }
        }
        if ((c == 'n' || c == 'N') && i + 1 < n && s[i + 1] == '\'') { ++i; c = '\''; }
        if (c == '\'') {
            size_t j = i + 1;
            std::string v;
            bool closed = false;
            while (j < n) {
                if (s[j] == '\'') {
                    if (j + 1 < n && s[j + 1] == '\'') { v += '\''; j += 2; continue; }
                    closed = true;
                    ++j;
                    break;
                }
                if (s[j] == '\n') newline(j);
                v += s[j++];
            }
            if (!closed) {
                CompileFailure f;
                f.errors.push_back({t.line, t.col, "PLS-00103: Encountered the symbol \"end-of-file\" when expecting one of the following:\n\n   '"});
                throw f;
            }
            t.kind = T::String;
            t.text = v;
            i = j;
        } else if (c == '"') {
            size_t j = i + 1;
            while (j < n && s[j] != '"') ++j;
            if (j >= n) {
                CompileFailure f;
                f.errors.push_back({t.line, t.col, "PLS-00103: Encountered the symbol \"end-of-file\" when expecting one of the following:\n\n   \""});
                throw f;
            }
            t.kind = T::QIdent;
            t.text = std::string(s.substr(i + 1, j - i - 1));
            i = j + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            // "1..10" is a range, not a decimal point
            if (j < n && s[j] == '.' && !(j + 1 < n && s[j + 1] == '.')) {
                ++j;
                while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < n && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            t.kind = T::Number;
            t.text = std::string(s.substr(i, j - i));
            if (j < n && (s[j] == 'f' || s[j] == 'F' || s[j] == 'd' || s[j] == 'D') && !(j + 1 < n && IdChar(static_cast<unsigned char>(s[j + 1])))) ++j;
            i = j;
        } else if (IdStart(c)) {
            size_t j = i;
            while (j < n && IdChar(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = T::Ident;
            t.text = UpperAscii(std::string(s.substr(i, j - i)));
            i = j;
        } else if (c == ':' && i + 1 < n && (IdStart(static_cast<unsigned char>(s[i + 1])) || std::isdigit(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '"')) {
            size_t j = i + 1;
            if (s[j] == '"') {
                size_t k = j + 1;
                while (k < n && s[k] != '"') ++k;
                t.text = std::string(s.substr(j + 1, k - j - 1));
                j = k < n ? k + 1 : n;
            } else {
                while (j < n && IdChar(static_cast<unsigned char>(s[j]))) ++j;
                t.text = UpperAscii(std::string(s.substr(i + 1, j - i - 1)));
            }
            t.kind = T::Bind;
            i = j;
        } else {
            static const char* two[] = {":=", "=>", "..", "||", "<=", ">=", "<>", "!=", "^=", "~=", "**", "<<", ">>"};
            t.kind = T::Op;
            bool done = false;
            if (i + 1 < n) {
                for (const char* op : two) {
                    if (s[i] == op[0] && s[i + 1] == op[1]) {
                        t.text = op;
                        i += 2;
                        done = true;
                        break;
                    }
                }
            }
            if (!done) {
                static const std::string singles = "+-*/(),;.=<>%@:[]";
                if (singles.find(static_cast<char>(c)) == std::string::npos) {
                    CompileFailure f;
                    f.errors.push_back({t.line, t.col, std::string("PLS-00103: Encountered the symbol \"") + static_cast<char>(c) +
                                                           "\" when expecting one of the following:\n\n   begin declare exit for goto if loop mod null"});
                    throw f;
                }
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.length = i - t.offset;
        out.push_back(std::move(t));
    }
    Tok end;
    end.offset = n;
    end.line = line;
    end.col = static_cast<int>(n - lineStart) + 1;
    out.push_back(end);
    return out;
}

namespace {

class P {
public:
    P(const std::vector<Tok>& t) : t_(t) {}

    const Tok& Cur() const { return t_[p_]; }
    const Tok& Peek(size_t k = 1) const { return t_[std::min(p_ + k, t_.size() - 1)]; }
    bool At(const char* w) const { return Cur().Is(w); }
    bool Accept(const char* w) { if (At(w)) { ++p_; return true; } return false; }
    void Expect(const char* w) {
        if (Accept(w)) return;
        std::string lower(w);   // Oracle lists the keywords it expected in lower case
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        Syntax(Cur(), lower);
    }
    bool AtIdent() const { return Cur().kind == T::Ident || Cur().kind == T::QIdent; }
    std::string Ident() {
        if (!AtIdent()) Syntax(Cur(), "<an identifier> <a double-quoted delimited-identifier>");
        return t_[p_++].text;
    }
    size_t Pos() const { return p_; }

    // Blocks, statements and expressions nest by recursion here and again when the unit runs
    // and is freed; past kMaxNesting levels the unit is refused instead of exhausting the stack.
    static constexpr int kMaxNesting = 255;
    int nesting_ = 0;
    struct Nest {
        P& p;
        explicit Nest(P& q) : p(q) {
            if (p.nesting_ >= kMaxNesting) {
                CompileFailure f;
                f.errors.push_back({p.Cur().line, p.Cur().col, "PLS-00123: program too large (nesting)"});
                throw f;
            }
            ++p.nesting_;
        }
        ~Nest() { --p.nesting_; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;
    };

    // ---- types
    TypeP Type() {
        auto t = std::make_shared<TypeRef>();
        t->line = Cur().line;
        t->col = Cur().col;
        if (Accept("REF")) {
            Expect("CURSOR");
            t->refCursor = true;
            t->name = {"SYS_REFCURSOR"};
            if (Accept("RETURN")) Type();
            return t;
        }
        t->name.push_back(Ident());
        while (At(".")) { ++p_; t->name.push_back(Ident()); }
        if (t->name.size() == 1 && (t->name[0] == "LONG") && At("RAW")) { ++p_; t->name[0] = "LONG RAW"; }
        if (t->name.size() == 1 && (t->name[0] == "DOUBLE") && At("PRECISION")) { ++p_; t->name[0] = "NUMBER"; }
        if (t->name.size() == 1 && t->name[0] == "SYS_REFCURSOR") t->refCursor = true;
        if (At("%")) {
            ++p_;
            t->attr = Ident();
            if (t->attr != "TYPE" && t->attr != "ROWTYPE") Syntax(t_[p_ - 1], "TYPE ROWTYPE");
            return t;
        }
        if (At("(")) {
            ++p_;
            if (Cur().kind == T::Number) t->len = std::atoi(t_[p_++].text.c_str());
            else if (At("*")) { ++p_; t->len = 38; }
            if (Accept(",")) {
                if (Cur().kind == T::Op && Cur().text == "-") { ++p_; t->scale = -std::atoi(t_[p_++].text.c_str()); }
                else if (Cur().kind == T::Number) t->scale = std::atoi(t_[p_++].text.c_str());
            }
            Accept("CHAR");
            Accept("BYTE");
            Expect(")");
        }
        if (At("CHARACTER") && Peek().Is("SET")) { p_ += 2; Ident(); if (At("%")) { ++p_; Ident(); } }
        if (t->name.size() == 1 && t->name[0] == "TIMESTAMP" && At("WITH")) { while (AtIdent() && !At(":=") ) { if (At("ZONE")) { ++p_; break; } ++p_; } }
        return t;
    }

    // ---- expressions
    ExprP Make(Expr::Kind k) {
        auto e = std::make_unique<Expr>(k);
        e->line = Cur().line;
        e->col = Cur().col;
        return e;
    }
    ExprP Expression() {
        Nest n(*this);
        return OrExpr();
    }
    ExprP OrExpr() {
        ExprP l = AndExpr();
        while (At("OR")) {
            auto e = Make(Expr::Or);
            ++p_;
            e->ops.push_back(std::move(l));
            e->ops.push_back(AndExpr());
            l = std::move(e);
        }
        return l;
    }
    ExprP AndExpr() {
        ExprP l = NotExpr();
        while (At("AND")) {
            auto e = Make(Expr::And);
            ++p_;
            e->ops.push_back(std::move(l));
            e->ops.push_back(NotExpr());
            l = std::move(e);
        }
        return l;
    }
    ExprP NotExpr() {
        if (At("NOT")) {
            Nest n(*this);
            auto e = Make(Expr::Not);
            ++p_;
            e->ops.push_back(NotExpr());
            return e;
        }
        return CmpExpr();
    }
    ExprP CmpExpr() {
        ExprP l = Concat();
        for (;;) {
            const Tok& t = Cur();
            if (t.kind == T::Op && (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "^=" || t.text == "~=" ||
                                    t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=")) {
                auto e = Make(Expr::Cmp);
                e->text = t.text == "!=" || t.text == "^=" || t.text == "~=" ? "<>" : t.text;
                ++p_;
                e->ops.push_back(std::move(l));
                e->ops.push_back(Concat());
                l = std::move(e);
                continue;
            }
            if (At("IS")) {
                auto e = Make(Expr::IsNull);
                ++p_;
                e->negated = Accept("NOT");
                Expect("NULL");
                e->ops.push_back(std::move(l));
                l = std::move(e);
                continue;
            }
            bool neg = false;
            if (At("NOT") && (Peek().Is("LIKE") || Peek().Is("BETWEEN") || Peek().Is("IN"))) { neg = true; ++p_; }
            if (At("LIKE")) {
                auto e = Make(Expr::Like);
                ++p_;
                e->negated = neg;
                e->ops.push_back(std::move(l));
                e->ops.push_back(Concat());
                if (Accept("ESCAPE")) e->ops.push_back(Concat());
                l = std::move(e);
                continue;
            }
            if (At("BETWEEN")) {
                auto e = Make(Expr::Between);
                ++p_;
                e->negated = neg;
                e->ops.push_back(std::move(l));
                e->ops.push_back(Concat());
                Expect("AND");
                e->ops.push_back(Concat());
                l = std::move(e);
                continue;
            }
            if (At("IN")) {
                auto e = Make(Expr::In);
                ++p_;
                e->negated = neg;
                e->ops.push_back(std::move(l));
                Expect("(");
                do e->ops.push_back(Expression()); while (Accept(","));
                Expect(")");
                l = std::move(e);
                continue;
            }
            return l;
        }
    }
    ExprP Concat() {
        ExprP l = Term();
        for (;;) {
            if (At("+") || At("-") || At("||")) {
                auto e = Make(Expr::Binary);
                e->text = Cur().text;
                ++p_;
                e->ops.push_back(std::move(l));
                e->ops.push_back(Term());
                l = std::move(e);
            } else {
                return l;
            }
        }
    }
    ExprP Term() {
        ExprP l = Power();
        for (;;) {
            if (At("*") || At("/") || At("MOD") || At("REM")) {
                auto e = Make(Expr::Binary);
                e->text = Cur().text;
                ++p_;
                e->ops.push_back(std::move(l));
                e->ops.push_back(Power());
                l = std::move(e);
            } else {
                return l;
            }
        }
    }
    ExprP Power() {
        ExprP l = Unary();
        if (At("**")) {
            auto e = Make(Expr::Binary);
            e->text = "**";
            ++p_;
            e->ops.push_back(std::move(l));
            e->ops.push_back(Unary());
            return e;
        }
        return l;
    }
    ExprP Unary() {
        if (At("-") || At("+")) {
            Nest n(*this);
            auto e = Make(Expr::Unary);
            e->text = Cur().text;
            ++p_;
            e->ops.push_back(Unary());
            return e;
        }
        return Primary();
    }
    void Args(std::vector<Arg>& out) {
        Expect("(");
        if (Accept(")")) return;
        do {
            Arg a;
            if (AtIdent() && Peek().Is("=>")) {
                a.name = t_[p_].text;
                p_ += 2;
            }
            a.value = Expression();
            out.push_back(std::move(a));
        } while (Accept(","));
        Expect(")");
    }
    ExprP Primary() {
        const Tok& t = Cur();
        if (t.kind == T::Number) {
            auto e = Make(Expr::Num);
            e->text = t.text;
            e->num = std::strtod(t.text.c_str(), nullptr);
            ++p_;
            return e;
        }
        if (t.kind == T::String) {
            auto e = Make(Expr::Str);
            e->text = t.text;
            ++p_;
            return e;
        }
        if (t.Is("(")) {
            ++p_;
            ExprP e = Expression();
            Expect(")");
            return e;
        }
        if (t.kind == T::Bind) {
            auto e = Make(Expr::Bind);
            e->text = t.text;
            ++p_;
            while (At(".")) { ++p_; e->names.push_back(Ident()); }
            if (At("(")) {   // :tab(i)
                auto c = Make(Expr::Call);
                c->base = std::move(e);
                Args(c->args);
                while (At(".")) { ++p_; c->tail.push_back(Ident()); }
                return c;
            }
            return e;
        }
        if (t.kind == T::Ident) {
            if (t.text == "NULL") { ++p_; return Make(Expr::Null); }
            if (t.text == "TRUE" || t.text == "FALSE") {
                auto e = Make(Expr::Bool);
                e->text = t.text;
                ++p_;
                return e;
            }
            if (t.text == "CASE") return CaseExpr();
            if ((t.text == "DATE" || t.text == "TIMESTAMP") && Peek().kind == T::String) {
                auto e = Make(Expr::DateLit);
                ++p_;
                e->text = Cur().text;
                ++p_;
                return e;
            }
            if (t.text == "SQL" && Peek().Is("%")) {
                auto e = Make(Expr::Attr);
                p_ += 2;
                e->text = Ident();
                if (e->text == "BULK_ROWCOUNT" && At("(")) { std::vector<Arg> a; Args(a); }
                return e;
            }
            static const std::set<std::string> reserved = {"BEGIN", "END", "THEN", "ELSE", "ELSIF", "LOOP", "WHEN", "IS", "AS",
                                                           "DECLARE", "EXCEPTION", "AND", "OR", "IN", "FROM", "INTO", "SELECT", "IF"};
            if (reserved.count(t.text)) Syntax(t, "( - + case mod new not null <an identifier> <a double-quoted delimited-identifier> <a bind variable> continue avg count current exists max min prior sql stddev sum variance execute forall merge time timestamp interval date <a string literal with character set specification> <a number> <a single-quoted SQL string> pipe");
        }
        if (t.kind == T::Ident || t.kind == T::QIdent) {
            auto e = Make(Expr::Name);
            e->names.push_back(Ident());
            for (;;) {
                if (At(".")) {
                    ++p_;
                    e->names.push_back(Ident());
                    continue;
                }
                break;
            }
            if (At("(")) {
                auto c = Make(Expr::Call);
                c->line = e->line;
                c->col = e->col;
                c->names = std::move(e->names);
                Args(c->args);
                while (At(".")) { ++p_; c->tail.push_back(Ident()); }
                // t(i).f(j) is rare; t(i)(j) not supported
                e = std::move(c);
            }
            if (At("%")) {
                auto a = Make(Expr::Attr);
                a->line = e->line;
                a->col = e->col;
                ++p_;
                a->text = Ident();
                a->base = std::move(e);
                return a;
            }
            return e;
        }
        Syntax(t, "( - + case mod new not null <an identifier> <a double-quoted delimited-identifier> <a bind variable> continue avg count current exists max min prior sql stddev sum variance execute forall merge time timestamp interval date <a string literal with character set specification> <a number> <a single-quoted SQL string> pipe");
    }
    ExprP CaseExpr() {
        auto e = Make(Expr::Case);
        Expect("CASE");
        if (!At("WHEN")) { e->hasOperand = true; e->ops.push_back(Expression()); }
        if (!At("WHEN")) Syntax(Cur(), "when");
        while (Accept("WHEN")) {
            e->ops.push_back(Expression());
            Expect("THEN");
            e->ops.push_back(Expression());
        }
        if (Accept("ELSE")) { e->hasElse = true; e->ops.push_back(Expression()); }
        Expect("END");
        return e;
    }

    // ---- SQL text
    // Skips to the ';' that ends the statement (outside parentheses) without consuming it.
    SqlText SqlUntilSemicolon(size_t begin) {
        SqlText s;
        s.begin = begin;
        s.line = t_[begin].line;
        s.col = t_[begin].col;
        int depth = 0;
        while (Cur().kind != T::End) {
            if (At("(")) ++depth;
            else if (At(")")) { if (depth == 0) break; --depth; }
            else if (At(";") && depth == 0) break;
            ++p_;
        }
        s.end = p_;
        return s;
    }
    // A parenthesised query: ( SELECT ... ) — the range inside the parentheses.
    SqlText ParenQuery() {
        Expect("(");
        SqlText s = SqlUntilSemicolon(p_);
        Expect(")");
        return s;
    }

    // ---- statements
    StmtP MakeS(Stmt::Kind k) {
        auto s = std::make_unique<Stmt>(k);
        s->line = Cur().line;
        s->col = Cur().col;
        return s;
    }
    bool AtEndOfList() const {
        return At("END") || At("EXCEPTION") || At("ELSE") || At("ELSIF") || At("WHEN") || Cur().kind == T::End;
    }
    std::vector<StmtP> Statements(bool needOne = true) {
        std::vector<StmtP> out;
        while (!AtEndOfList()) out.push_back(Statement());
        if (out.empty() && needOne)
            Syntax(Cur(), "( begin case declare exit for goto if loop mod null pragma raise return select update while with <an identifier> <a double-quoted delimited-identifier> <a bind variable> << continue close current delete fetch lock insert open rollback savepoint set sql execute commit forall merge pipe purge");
        return out;
    }
    StmtP Statement() {
        Nest n(*this);
        std::string label;
        while (At("<<")) {
            ++p_;
            label = Ident();
            Expect(">>");
        }
        if (AtEndOfList() && !label.empty()) { auto s = MakeS(Stmt::Null); return s; }
        StmtP s = StatementBody();
        if (!label.empty()) s->label = label;
        return s;
    }
    void EndSemi() {
        if (!Accept(";")) Syntax(Cur(), ";");
    }
    StmtP StatementBody() {
        const Tok& t = Cur();
        if (t.kind == T::Ident) {
            const std::string& w = t.text;
            if (w == "NULL" && Peek().Is(";")) { auto s = MakeS(Stmt::Null); ++p_; EndSemi(); return s; }
            if (w == "BEGIN" || w == "DECLARE") {
                auto s = MakeS(Stmt::BlockS);
                s->block = BlockBody(w == "DECLARE");
                EndSemi();
                return s;
            }
            if (w == "IF") return IfStmt();
            if (w == "CASE") return CaseStmt();
            if (w == "LOOP" || w == "WHILE" || w == "FOR") return LoopStmt();
            if (w == "FORALL") {
                auto s = MakeS(Stmt::ForAll);
                ++p_;
                s->var = Ident();
                Expect("IN");
                if (Accept("INDICES")) { Expect("OF"); s->lo = Expression(); s->var += ""; s->reverse = true; }
                else {
                    s->lo = Concat();
                    Expect("..");
                    s->hi = Concat();
                }
                if (Accept("SAVE")) Expect("EXCEPTIONS");
                s->inner = StatementBody();
                return s;
            }
            if (w == "EXIT" || w == "CONTINUE") {
                auto s = MakeS(w == "EXIT" ? Stmt::Exit : Stmt::Continue);
                ++p_;
                if (AtIdent() && !At("WHEN")) s->label = Ident();
                if (Accept("WHEN")) s->expr = Expression();
                EndSemi();
                return s;
            }
            if (w == "RETURN") {
                auto s = MakeS(Stmt::Return);
                ++p_;
                if (!At(";")) s->expr = Expression();
                EndSemi();
                return s;
            }
            if (w == "RAISE") {
                auto s = MakeS(Stmt::Raise);
                ++p_;
                if (AtIdent()) {
                    s->varNames.push_back(Ident());
                    while (Accept(".")) s->varNames.push_back(Ident());
                }
                EndSemi();
                return s;
            }
            if (w == "GOTO") Syntax(t, "begin case declare exit for if loop mod null raise return select update while");
            if (w == "SELECT" || w == "WITH") return SelectStmt();
            if (w == "INSERT" || w == "UPDATE" || w == "DELETE" || w == "MERGE" || w == "COMMIT" || w == "ROLLBACK" ||
                w == "SAVEPOINT" || w == "LOCK" || (w == "SET" && Peek().Is("TRANSACTION"))) {
                auto s = MakeS(Stmt::Sql);
                s->sql = SqlUntilSemicolon(p_);
                EndSemi();
                return s;
            }
            if (w == "OPEN") {
                ++p_;
                auto s = MakeS(Stmt::Open);
                s->target = Primary();
                if (Accept("FOR")) {
                    s->kind = Stmt::OpenFor;
                    if (At("SELECT") || At("WITH") || (At("(") && (Peek().Is("SELECT") || Peek().Is("WITH")))) s->sql = SqlUntilSemicolon(p_);
                    else s->expr = Expression();
                    if (Accept("USING")) Using(*s);
                }
                EndSemi();
                return s;
            }
            if (w == "FETCH") {
                ++p_;
                auto s = MakeS(Stmt::Fetch);
                s->target = Primary();
                if (Accept("BULK")) { Expect("COLLECT"); s->bulk = true; }
                Expect("INTO");
                do s->into.push_back(Primary()); while (Accept(","));
                if (Accept("LIMIT")) s->limit = Expression();
                EndSemi();
                return s;
            }
            if (w == "CLOSE") {
                ++p_;
                auto s = MakeS(Stmt::Close);
                s->target = Primary();
                EndSemi();
                return s;
            }
            if (w == "EXECUTE" && Peek().Is("IMMEDIATE")) {
                auto s = MakeS(Stmt::ExecImm);
                p_ += 2;
                s->expr = Expression();
                for (;;) {
                    if (Accept("BULK")) { Expect("COLLECT"); s->bulk = true; }
                    if (Accept("INTO")) { do s->into.push_back(Primary()); while (Accept(",")); continue; }
                    if (Accept("USING")) { Using(*s); continue; }
                    if (At("RETURNING") || At("RETURN")) {
                        ++p_;
                        Expect("INTO");
                        do s->returningInto.push_back(Primary()); while (Accept(","));
                        continue;
                    }
                    break;
                }
                EndSemi();
                return s;
            }
            if (w == "PIPE") {
                auto s = MakeS(Stmt::PipeRow);
                ++p_;
                Expect("ROW");
                Expect("(");
                s->expr = Expression();
                Expect(")");
                EndSemi();
                return s;
            }
        }
        if (t.kind == T::Ident || t.kind == T::QIdent || t.kind == T::Bind) {
            auto s = MakeS(Stmt::Assign);
            ExprP target = Primary();
            if (Accept(":=")) {
                s->target = std::move(target);
                s->expr = Expression();
                EndSemi();
                return s;
            }
            if (target->kind != Expr::Name && target->kind != Expr::Call) Syntax(Cur(), ":= . ( @ % ;");
            s->kind = Stmt::CallS;
            s->expr = std::move(target);
            if (!At(";")) Syntax(Cur(), ":= . ( @ % ;");
            EndSemi();
            return s;
        }
        Syntax(t, "( begin case declare end exception exit for goto if loop mod null pragma raise return select update while with <an identifier> <a double-quoted delimited-identifier> <a bind variable> << continue close current delete fetch lock insert open rollback savepoint set sql execute commit forall merge pipe purge");
    }
    void Using(Stmt& s) {
        do {
            int mode = 0;
            if (Accept("IN")) { mode = Accept("OUT") ? 2 : 0; }
            else if (Accept("OUT")) mode = 1;
            Arg a;
            a.value = Expression();
            s.usingArgs.push_back(std::move(a));
            s.usingModes.push_back(mode);
        } while (Accept(","));
    }
    StmtP SelectStmt() {
        auto s = MakeS(Stmt::SelectInto);
        size_t begin = p_;
        // find INTO at depth 0 before FROM
        s->sql = SqlUntilSemicolon(begin);
        size_t end = p_;
        int depth = 0;
        size_t into = 0;
        for (size_t k = begin; k < end; ++k) {
            if (t_[k].Is("(")) ++depth;
            else if (t_[k].Is(")")) --depth;
            else if (depth == 0 && t_[k].Is("INTO")) { into = k; break; }
            else if (depth == 0 && t_[k].Is("FROM")) break;
        }
        if (!into) {
            CompileFailure f;
            f.errors.push_back({t_[begin].line, t_[begin].col, "PLS-00428: an INTO clause is expected in this SELECT statement"});
            throw f;
        }
        size_t bulk = into;
        if (into >= 2 && t_[into - 1].Is("COLLECT") && t_[into - 2].Is("BULK")) { s->bulk = true; bulk = into - 2; }
        // parse the targets
        size_t save = p_;
        p_ = into + 1;
        do s->into.push_back(Primary()); while (Accept(","));
        size_t afterInto = p_;
        p_ = save;
        s->sql.begin = begin;
        s->sql.end = end;
        // remember the INTO range to skip: stored in lo/hi as token numbers
        auto lo = std::make_unique<Expr>(Expr::Num);
        lo->num = static_cast<double>(bulk);
        auto hi = std::make_unique<Expr>(Expr::Num);
        hi->num = static_cast<double>(afterInto);
        s->lo = std::move(lo);
        s->hi = std::move(hi);
        EndSemi();
        return s;
    }
    StmtP IfStmt() {
        auto s = MakeS(Stmt::If);
        Expect("IF");
        s->conds.push_back(Expression());
        Expect("THEN");
        s->branches.push_back(Statements());
        while (Accept("ELSIF")) {
            s->conds.push_back(Expression());
            Expect("THEN");
            s->branches.push_back(Statements());
        }
        if (Accept("ELSE")) { s->hasElse = true; s->branches.push_back(Statements()); }
        Expect("END");
        Expect("IF");
        EndSemi();
        return s;
    }
    StmtP CaseStmt() {
        auto s = MakeS(Stmt::CaseS);
        Expect("CASE");
        if (!At("WHEN")) s->expr = Expression();
        while (Accept("WHEN")) {
            s->conds.push_back(Expression());
            Expect("THEN");
            s->branches.push_back(Statements());
        }
        if (Accept("ELSE")) { s->hasElse = true; s->branches.push_back(Statements()); }
        Expect("END");
        Expect("CASE");
        if (AtIdent()) ++p_;
        EndSemi();
        return s;
    }
    StmtP LoopStmt() {
        StmtP s;
        if (Accept("WHILE")) {
            s = MakeS(Stmt::While);
            s->expr = Expression();
        } else if (At("FOR")) {
            s = MakeS(Stmt::ForNum);
            ++p_;
            s->var = Ident();
            Expect("IN");
            if (At("(") && (Peek().Is("SELECT") || Peek().Is("WITH"))) {
                s->kind = Stmt::ForCursor;
                s->sql = ParenQuery();
            } else {
                s->reverse = Accept("REVERSE");
                // a cursor name: FOR r IN c [(args)] LOOP
                if (AtIdent() && (Peek().Is("LOOP") || (Peek().Is("(") && !IsRangeAhead()))) {
                    s->kind = Stmt::ForCursor;
                    s->target = Primary();
                } else {
                    s->lo = Concat();
                    Expect("..");
                    s->hi = Concat();
                }
            }
        } else {
            s = MakeS(Stmt::Loop);
        }
        Expect("LOOP");
        s->body = Statements();
        Expect("END");
        Expect("LOOP");
        if (AtIdent()) ++p_;
        EndSemi();
        return s;
    }
    bool IsRangeAhead() const {
        // FOR i IN f(x)..g(y): a ".." at depth 0 before LOOP
        int depth = 0;
        for (size_t k = p_; k < t_.size(); ++k) {
            if (t_[k].Is("(")) ++depth;
            else if (t_[k].Is(")")) --depth;
            else if (t_[k].Is("..") && depth == 0) return true;
            else if (t_[k].Is("LOOP") || t_[k].kind == T::End) return false;
        }
        return false;
    }

    // ---- declarations
    std::vector<Param> Params() {
        std::vector<Param> ps;
        if (!Accept("(")) return ps;
        do {
            Param p;
            p.line = Cur().line;
            p.col = Cur().col;
            p.name = Ident();
            if (Accept("IN")) { if (Accept("OUT")) p.mode = 2; }
            else if (Accept("OUT")) p.mode = 1;
            Accept("NOCOPY");
            p.type = Type();
            if (Accept(":=") || Accept("DEFAULT")) p.def = Expression();
            ps.push_back(std::move(p));
        } while (Accept(","));
        Expect(")");
        return ps;
    }
    std::shared_ptr<Subprogram> SubprogramHead() {
        auto sp = std::make_shared<Subprogram>();
        sp->line = Cur().line;
        sp->col = Cur().col;
        if (Accept("MEMBER")) sp->isMember = true;
        else if (Accept("STATIC")) sp->isStatic = true;
        else if (Accept("CONSTRUCTOR")) sp->isConstructor = true;
        Accept("OVERRIDING");
        Accept("FINAL");
        if (Accept("FUNCTION")) sp->isFunction = true;
        else Expect("PROCEDURE");
        sp->name = Ident();
        sp->params = Params();
        if (sp->isFunction) {
            Expect("RETURN");
            if (sp->isConstructor && Accept("SELF")) { Expect("AS"); Expect("RESULT"); sp->ret = std::make_shared<TypeRef>(); sp->ret->name = {"SELF"}; }
            else sp->ret = Type();
        }
        while (At("DETERMINISTIC") || At("PIPELINED") || At("PARALLEL_ENABLE") || At("RESULT_CACHE")) ++p_;
        return sp;
    }
    // After the head: IS|AS [decls] BEGIN ... END [name]; or ';' for a declaration.
    void SubprogramBody(Subprogram& sp) {
        if (At(";")) { ++p_; return; }
        if (!Accept("IS") && !Accept("AS")) Syntax(Cur(), "; is as");
        if (At("LANGUAGE") || At("EXTERNAL")) {
            while (!At(";") && Cur().kind != T::End) ++p_;
            EndSemi();
            return;
        }
        sp.body = BlockBody(true, false);
        EndSemi();
    }
    std::vector<DeclP> Declarations(bool package = false) {
        std::vector<DeclP> out;
        for (;;) {
            if (At("BEGIN") || At("END") || Cur().kind == T::End) break;
            out.push_back(Declaration(package));
        }
        return out;
    }
    DeclP Declaration(bool package) {
        (void)package;
        int line = Cur().line, col = Cur().col;
        if (At("PROCEDURE") || At("FUNCTION") || At("MEMBER") || At("STATIC") || At("CONSTRUCTOR") || At("OVERRIDING") || At("FINAL")) {
            auto d = std::make_unique<Decl>(Decl::Proc);
            d->line = line;
            d->col = col;
            d->proc = SubprogramHead();
            d->name = d->proc->name;
            SubprogramBody(*d->proc);
            return d;
        }
        if (Accept("PRAGMA")) {
            auto d = std::make_unique<Decl>(Decl::Pragma);
            d->line = line;
            d->col = col;
            d->pragma = Ident();
            if (d->pragma == "EXCEPTION_INIT") {
                Expect("(");
                d->exceptionName = Ident();
                Expect(",");
                bool neg = Accept("-");
                if (Cur().kind != T::Number) Syntax(Cur(), "<an integer>");
                d->code = std::atoi(t_[p_++].text.c_str());
                if (neg) d->code = -d->code;
                Expect(")");
            } else if (At("(")) {
                int depth = 0;
                do { if (At("(")) ++depth; else if (At(")")) --depth; ++p_; } while (depth > 0 && Cur().kind != T::End);
            }
            EndSemi();
            return d;
        }
        if (Accept("CURSOR")) {
            auto d = std::make_unique<Decl>(Decl::Cursor);
            d->line = line;
            d->col = col;
            d->name = Ident();
            d->params = Params();
            if (Accept("RETURN")) Type();
            if (Accept("IS")) {
                d->hasQuery = true;
                d->sql = SqlUntilSemicolon(p_);
            }
            EndSemi();
            return d;
        }
        if (Accept("TYPE")) {
            auto d = std::make_unique<Decl>(Decl::Type);
            d->line = line;
            d->col = col;
            d->name = Ident();
            if (!Accept("IS") && !Accept("AS")) Syntax(Cur(), "is");
            if (Accept("RECORD")) {
                d->typeKind = "RECORD";
                d->fields = Params();
            } else if (Accept("TABLE")) {
                d->typeKind = "TABLE";
                Expect("OF");
                d->elem = Type();
                if (Accept("NOT")) Expect("NULL");
                if (Accept("INDEX")) { Expect("BY"); d->indexBy = Type(); }
            } else if (Accept("VARRAY") || (Accept("VARYING") && Accept("ARRAY"))) {
                d->typeKind = "VARRAY";
                Expect("(");
                if (Cur().kind == T::Number) ++p_;
                Expect(")");
                Expect("OF");
                d->elem = Type();
                if (Accept("NOT")) Expect("NULL");
            } else if (Accept("REF")) {
                Expect("CURSOR");
                d->typeKind = "REFCURSOR";
                if (Accept("RETURN")) Type();
            } else {
                Syntax(Cur(), "record table varray ref");
            }
            EndSemi();
            return d;
        }
        if (Accept("SUBTYPE")) {
            auto d = std::make_unique<Decl>(Decl::Subtype);
            d->line = line;
            d->col = col;
            d->name = Ident();
            Expect("IS");
            d->type = Type();
            if (Accept("NOT")) { Expect("NULL"); d->notNull = true; }
            EndSemi();
            return d;
        }
        if (!AtIdent()) Syntax(Cur(), "begin function pragma procedure subtype type <an identifier> <a double-quoted delimited-identifier> current cursor delete exists prior");
        std::string name = Ident();
        if (Accept("EXCEPTION")) {
            auto d = std::make_unique<Decl>(Decl::Exception);
            d->line = line;
            d->col = col;
            d->name = name;
            EndSemi();
            return d;
        }
        auto d = std::make_unique<Decl>(Decl::Var);
        d->line = line;
        d->col = col;
        d->name = name;
        d->constant = Accept("CONSTANT");
        d->type = Type();
        if (Accept("NOT")) { Expect("NULL"); d->notNull = true; }
        if (Accept(":=") || Accept("DEFAULT")) d->init = Expression();
        else if (d->constant) {
            CompileFailure f;
            f.errors.push_back({line, col, "PLS-00322: declaration of a constant '" + name + "' must contain an initialization assignment"});
            throw f;
        }
        EndSemi();
        return d;
    }
    // [DECLARE] decls BEGIN stmts [EXCEPTION handlers] END [label]   (no trailing ';')
    std::unique_ptr<Block> BlockBody(bool declare, bool takeDeclareWord = true) {
        Nest n(*this);
        auto b = std::make_unique<Block>();
        b->line = Cur().line;
        b->col = Cur().col;
        if (declare) {
            if (takeDeclareWord) Expect("DECLARE");
            b->decls = Declarations();
        }
        if (!Accept("BEGIN")) Syntax(Cur(), "begin function pragma procedure subtype type <an identifier> <a double-quoted delimited-identifier> current cursor delete exists prior");
        b->body = Statements();
        if (Accept("EXCEPTION")) {
            while (At("WHEN")) {
                ++p_;
                Handler h;
                do {
                    std::vector<std::string> n{Ident()};
                    while (Accept(".")) n.push_back(Ident());
                    h.names.push_back(std::move(n));
                } while (Accept("OR"));
                Expect("THEN");
                h.body = Statements();
                b->handlers.push_back(std::move(h));
            }
            if (b->handlers.empty()) Syntax(Cur(), "pragma when");
        }
        b->endLine = Cur().line;
        Expect("END");
        if (AtIdent() && !At("IF") && !At("LOOP")) b->label = Ident();
        return b;
    }

    // ---- units
    std::unique_ptr<Unit> Anonymous() {
        auto u = std::make_unique<Unit>();
        u->kind = "BLOCK";
        std::string label;
        while (At("<<")) { ++p_; label = Ident(); Expect(">>"); }
        if (At("CALL")) {
            ++p_;
            u->kind = "CALL";
            u->call = Primary();
            Accept(";");
            if (Cur().kind != T::End) Syntax(Cur(), ";");
            return u;
        }
        u->block = BlockBody(At("DECLARE"));
        u->block->label = label;
        EndSemi();
        while (At("/") ) ++p_;
        if (Cur().kind != T::End) Syntax(Cur(), "end-of-file");
        return u;
    }
    std::unique_ptr<Unit> Source() {
        auto u = std::make_unique<Unit>();
        std::string kind = Ident();
        if ((kind == "PACKAGE" || kind == "TYPE") && Accept("BODY")) kind += " BODY";
        u->kind = kind;
        std::vector<std::string> n{Ident()};
        while (Accept(".")) n.push_back(Ident());
        if (n.size() > 1) { u->owner = n[0]; u->name = n[1]; } else u->name = n[0];
        if (kind == "PROCEDURE" || kind == "FUNCTION") {
            auto sp = std::make_shared<Subprogram>();
            sp->name = u->name;
            sp->isFunction = kind == "FUNCTION";
            sp->params = Params();
            if (sp->isFunction) { Expect("RETURN"); sp->ret = Type(); }
            while (At("DETERMINISTIC") || At("PIPELINED") || At("PARALLEL_ENABLE") || At("RESULT_CACHE")) ++p_;
            if (At("AUTHID")) { p_ += 2; }
            if (!Accept("IS") && !Accept("AS")) Syntax(Cur(), "( return compress compiled wrapped");
            if (At("LANGUAGE") || At("EXTERNAL")) { while (!At(";") && Cur().kind != T::End) ++p_; }
            else sp->body = BlockBody(true, false);
            u->proc = sp;
        } else if (kind == "PACKAGE" || kind == "PACKAGE BODY") {
            if (At("AUTHID")) p_ += 2;
            if (!Accept("IS") && !Accept("AS")) Syntax(Cur(), "is as");
            u->decls = Declarations(true);
            if (kind == "PACKAGE BODY" && At("BEGIN")) {
                auto b = std::make_unique<Block>();
                b->line = Cur().line;
                ++p_;
                b->body = Statements();
                if (Accept("EXCEPTION")) {
                    while (Accept("WHEN")) {
                        Handler h;
                        do { std::vector<std::string> nn{Ident()}; while (Accept(".")) nn.push_back(Ident()); h.names.push_back(nn); } while (Accept("OR"));
                        Expect("THEN");
                        h.body = Statements();
                        b->handlers.push_back(std::move(h));
                    }
                }
                u->block = std::move(b);
            }
            Expect("END");
            if (AtIdent()) ++p_;
            while (At(".")) { ++p_; if (AtIdent()) ++p_; }
        } else if (kind == "TRIGGER") {
            TriggerHead(*u);
            u->block = BlockBody(At("DECLARE"));
        } else if (kind == "TYPE") {
            if (Accept("FORCE")) {}
            if (At("AUTHID")) p_ += 2;
            if (At("OID")) p_ += 2;
            if (!Accept("IS") && !Accept("AS") && !At("UNDER")) Syntax(Cur(), "is as");
            if (Accept("UNDER")) { Ident(); while (Accept(".")) Ident(); u->isObjectType = true; }
            else if (Accept("OBJECT")) u->isObjectType = true;
            else if (Accept("TABLE")) { u->collectionKind = "TABLE"; Expect("OF"); u->elem = Type(); if (Accept("NOT")) Expect("NULL"); }
            else if (Accept("VARRAY") || (Accept("VARYING") && Accept("ARRAY"))) {
                u->collectionKind = "VARRAY";
                Expect("(");
                if (Cur().kind == T::Number) { u->limit = static_cast<int>(std::min(std::strtod(Cur().text.c_str(), nullptr), 2147483647.0)); ++p_; }
                Expect(")");
                Expect("OF");
                u->elem = Type();
                if (Accept("NOT")) Expect("NULL");
            } else Syntax(Cur(), "object table varray");
            if (u->isObjectType) {
                Expect("(");
                do {
                    if (At("MEMBER") || At("STATIC") || At("CONSTRUCTOR") || At("OVERRIDING") || At("FINAL") || At("MAP") || At("ORDER") ||
                        At("NOT")) {
                        while (At("NOT") || At("FINAL") || At("INSTANTIABLE") || At("OVERRIDING") || At("MAP") || At("ORDER")) {
                            if (At("NOT") && !(Peek().Is("FINAL") || Peek().Is("INSTANTIABLE") || Peek().Is("OVERRIDING"))) break;
                            ++p_;
                        }
                        auto sp = SubprogramHead();
                        u->methods.push_back(sp);
                        if (Accept("PRAGMA")) { int depth = 0; do { if (At("(")) ++depth; else if (At(")")) --depth; ++p_; } while (depth > 0 && Cur().kind != T::End); }
                    } else {
                        auto d = std::make_unique<Decl>(Decl::Var);
                        d->line = Cur().line;
                        d->col = Cur().col;
                        d->name = Ident();
                        d->type = Type();
                        u->decls.push_back(std::move(d));
                    }
                } while (Accept(","));
                Expect(")");
                while (At("NOT") || At("FINAL") || At("INSTANTIABLE")) {
                    if (At("NOT") && Peek().Is("FINAL")) u->notFinal = true;
                    ++p_;
                }
            }
        } else if (kind == "TYPE BODY") {
            if (!Accept("IS") && !Accept("AS")) Syntax(Cur(), "is as");
            while (!At("END") && Cur().kind != T::End) {
                while (At("MAP") || At("ORDER") || At("OVERRIDING") || At("FINAL")) ++p_;
                auto sp = SubprogramHead();
                SubprogramBody(*sp);
                u->methods.push_back(sp);
            }
            Expect("END");
        } else {
            Syntax(t_[0], "procedure function package trigger type");
        }
        Accept(";");
        while (At("/")) ++p_;
        if (Cur().kind != T::End) Syntax(Cur(), "end-of-file");
        return u;
    }
    void TriggerHead(Unit& u) {
        if (Accept("BEFORE")) u.timing = "BEFORE";
        else if (Accept("AFTER")) u.timing = "AFTER";
        else if (Accept("INSTEAD")) { Expect("OF"); u.timing = "INSTEAD OF"; }
        else Syntax(Cur(), "before after instead");
        do {
            std::string ev = Ident();
            if (ev != "INSERT" && ev != "UPDATE" && ev != "DELETE") Syntax(t_[p_ - 1], "insert update delete");
            u.events.push_back(ev);
            if (ev == "UPDATE" && Accept("OF")) {
                do u.updateColumns.push_back(Ident()); while (Accept(","));
            }
        } while (Accept("OR"));
        Expect("ON");
        std::vector<std::string> n{Ident()};
        while (Accept(".")) n.push_back(Ident());
        if (n.size() > 1) { u.tableOwner = n[0]; u.table = n[1]; } else u.table = n[0];
        if (Accept("REFERENCING")) {
            while (At("NEW") || At("OLD") || At("PARENT")) {
                std::string which = Ident();
                Accept("AS");
                std::string alias = Ident();
                if (which == "NEW") u.newName = alias;
                else if (which == "OLD") u.oldName = alias;
            }
        }
        if (Accept("FOR")) { Expect("EACH"); Expect("ROW"); u.forEachRow = true; }
        if (Accept("FOLLOWS") || Accept("PRECEDES")) { Ident(); while (Accept(".")) Ident(); }
        Accept("ENABLE");
        Accept("DISABLE");
        if (Accept("WHEN")) {
            u.hasWhen = true;
            Expect("(");
            u.whenExpr = Expression();
            Expect(")");
        }
        if (At("CALL")) Syntax(Cur(), "begin declare");
    }

private:
    const std::vector<Tok>& t_;
    size_t p_ = 0;
};

} // namespace

namespace {
std::atomic<uint64_t> g_unitIds{1};
}

std::unique_ptr<Unit> ParseBlock(std::string_view text) {
    auto toks = LexPl(text);
    P p(toks);
    auto u = p.Anonymous();
    u->source = std::string(text);
    u->toks = std::move(toks);
    u->id = g_unitIds++;
    return u;
}

std::string SourceOfCreate(std::string_view text, size_t& offsetOut) {
    // CREATE [OR REPLACE] [EDITIONABLE|NONEDITIONABLE] <kind>
    auto toks = LexPl(text);
    size_t k = 0;
    if (k < toks.size() && toks[k].Is("CREATE")) ++k;
    if (k + 1 < toks.size() && toks[k].Is("OR") && toks[k + 1].Is("REPLACE")) k += 2;
    while (k < toks.size() && (toks[k].Is("EDITIONABLE") || toks[k].Is("NONEDITIONABLE") || toks[k].Is("FORCE"))) ++k;
    size_t off = k < toks.size() ? toks[k].offset : 0;
    std::string src(text.substr(off));
    // drop trailing blanks and a trailing "/" line
    while (!src.empty() && (src.back() == ' ' || src.back() == '\t' || src.back() == '\r' || src.back() == '\n')) src.pop_back();
    if (!src.empty() && src.back() == '/') {
        size_t nl = src.find_last_of('\n');
        std::string last = nl == std::string::npos ? src : src.substr(nl + 1);
        bool onlySlash = last.find_first_not_of(" \t\r/") == std::string::npos;
        if (onlySlash && nl != std::string::npos) src.erase(nl);
        while (!src.empty() && (src.back() == ' ' || src.back() == '\t' || src.back() == '\r' || src.back() == '\n')) src.pop_back();
    }
    offsetOut = off;
    return src;
}

std::unique_ptr<Unit> ParseSource(std::string_view source) {
    auto toks = LexPl(source);
    P p(toks);
    auto u = p.Source();
    u->source = std::string(source);
    u->toks = std::move(toks);
    u->id = g_unitIds++;
    return u;
}

std::unique_ptr<Unit> ParseCreate(std::string_view text) {
    size_t off = 0;
    std::string src = SourceOfCreate(text, off);
    return ParseSource(src);
}

} // namespace ocisim::pl
