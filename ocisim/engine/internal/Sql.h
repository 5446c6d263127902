#pragma once
// The SQL front end of the engine: tokens, the syntax tree and the parser. The parser knows
// nothing about the catalog; name resolution and typing happen when a statement is translated.
#include "ocisim/engine/Engine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim::sql {

enum class Tok : uint8_t { End, Ident, QuotedIdent, Number, String, NString, Bind, Op };

struct Token {
    Tok kind = Tok::End;
    std::string text;      // Ident: upper case; QuotedIdent: as written; String: the value; Op: the symbol
    size_t offset = 0;     // byte offset in the statement
    size_t length = 0;     // byte length in the statement
    bool Is(const char* word) const { return (kind == Tok::Ident || kind == Tok::Op) && text == word; }
};

// Splits a statement into tokens; raises ORA-01756 for an unterminated string and ORA-00911 for
// a character that cannot start a token.
std::vector<Token> Lex(std::string_view sql);

[[noreturn]] void Fail(int code, const std::string& text, int offset = -1);

// Raises ORA-00600 when the calling thread's stack is nearly used up: parsing and translating
// recurse with the statement's nesting, and a statement nested too deeply is refused instead.
void CheckStack(int offset = -1);
std::string OraMessage(int code, const std::string& text);   // "ORA-00942: text"

struct Query;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

// A dotted object name: [schema.]name[@link].
struct ObjectName {
    std::string schema, name;
    size_t offset = 0;
    bool Empty() const { return name.empty(); }
};

struct Expr {
    enum Kind : uint8_t {
        Number, String, Null, Bind, Column, Star, Unary, Binary, And, Or, Not, Compare, IsNull,
        In, Between, Like, Exists, Subquery, Func, Case, List, SeqValue, Rownum, Rowid, Sysdate,
        Cast, DateLiteral,
    } kind;
    std::string text;                  // literal text, bind name, operator, function name
    std::vector<std::string> names;    // Column: qualifiers and name (upper case unless quoted); Star: qualifiers
    std::vector<ExprPtr> args;         // operands, function arguments, CASE: [operand?] when/then... [else]
    std::unique_ptr<Query> query;      // Subquery, Exists, In with a subquery
    bool negated = false;              // NOT IN, NOT BETWEEN, NOT LIKE, IS NOT NULL
    bool distinct = false;             // COUNT(DISTINCT x)
    bool outerJoin = false;            // column followed by (+)
    bool caseHasOperand = false;       // CASE x WHEN ...
    bool hasElse = false;
    std::string typeName;              // Cast: target type text
    size_t offset = 0, end = 0;        // source range, for error offsets and column names
    explicit Expr(Kind k) : kind(k) {}
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;
    bool aliasQuoted = false;
    size_t begin = 0, end = 0;         // source range of the expression
};

struct TableRef {
    enum Kind : uint8_t { Table, Subquery, Join } kind = Table;
    ObjectName name;
    std::unique_ptr<Query> query;
    std::string alias;
    // Join: left, right, type, condition
    std::unique_ptr<TableRef> left, right;
    std::string joinType;              // INNER, LEFT, RIGHT, FULL, CROSS
    ExprPtr on;
    std::vector<std::string> usingCols;
    size_t offset = 0;
};

struct OrderItem {
    ExprPtr expr;
    bool desc = false;
    int nulls = 0;                     // 0 default, 1 first, 2 last
};

struct SelectBlock {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<std::unique_ptr<TableRef>> from;
    ExprPtr where, having, startWith, connectBy;
    std::vector<ExprPtr> groupBy;
};

struct Query {
    // Either one block, or a set operation over two queries.
    std::unique_ptr<SelectBlock> block;
    std::string setOp;                 // UNION, UNION ALL, MINUS, INTERSECT
    std::unique_ptr<Query> left, right;
    std::vector<OrderItem> orderBy;
    bool forUpdate = false;
    std::vector<ExprPtr> forUpdateOf;
    int waitSeconds = -1;              // -1 wait for ever, 0 NOWAIT, n WAIT n
    size_t offset = 0;
    // WITH name [(columns)] AS (query), ...
    struct Named {
        std::string name;
        std::vector<std::string> columns;
        std::unique_ptr<Query> query;
    };
    std::vector<Named> with;
};

struct ColumnDef {
    std::string name;
    size_t offset = 0;
    std::string typeName;              // VARCHAR2, NUMBER, ...
    int length = -1, precision = -1, scale = -1;
    bool charSemantics = false, byteSemantics = false;
    std::string defaultText;           // as written
    ExprPtr defaultExpr;
    bool notNull = false, hasNull = false;
    // inline constraints are turned into table constraints by the parser
};

struct ConstraintDef {
    std::string name;                  // empty: system-generated
    char type = 0;                     // P, U, R, C
    std::vector<std::string> columns;
    ObjectName refTable;
    std::vector<std::string> refColumns;
    bool onDeleteCascade = false, onDeleteSetNull = false;
    std::string checkText;
    ExprPtr check;
    bool notNullOf = false;            // a NOT NULL column constraint with a name
    bool disabled = false;
    size_t offset = 0;
};

struct Statement {
    enum Kind : uint8_t {
        Select, Insert, Update, Delete, Merge, CreateTable, CreateIndex, CreateSequence, CreateView,
        CreateSynonym, CreateUser, AlterTable, AlterUser, AlterSession, AlterSystem, AlterSequence,
        AlterIndex, Drop, Truncate, Comment, Grant, Revoke, Commit, Rollback, Savepoint,
        SetTransaction, LockTable, Rename, PlSql, CreatePlSql, Explain, Analyze,
        CreateDirectory,                          // object.name, text: the path
    } kind;
    explicit Statement(Kind k) : kind(k) {}

    std::unique_ptr<Query> query;                 // Select, Insert ... select, CreateView, CreateTable as select
    ObjectName object;                            // target table / created object
    std::string alias;
    std::vector<std::string> columns;             // Insert columns, view column aliases, index columns
    std::vector<std::vector<ExprPtr>> rows;       // Insert values
    std::vector<std::pair<std::vector<std::string>, ExprPtr>> sets;  // Update SET
    ExprPtr where;
    std::vector<ExprPtr> returning;
    std::vector<std::string> returningInto;       // bind names
    // DDL
    std::vector<ColumnDef> columnDefs;
    std::vector<ConstraintDef> constraints;
    bool orReplace = false, force = false, isPublic = false, unique = false, cascade = false;
    bool cascadeConstraints = false, ifExists = false;
    std::string objectType;                       // DROP / COMMENT / CREATE PL/SQL object kind, ALTER TABLE action
    ObjectName target;                            // synonym target, index table, rename target, comment column's table
    std::string text;                             // view text, comment text, password, session parameter value
    std::string param;                            // session parameter name, column of a comment, savepoint name
    std::vector<std::string> words;               // generic words (grants, options)
    std::vector<std::string> grantees;
    // sequences
    bool hasStart = false, hasIncrement = false, hasMin = false, hasMax = false, cycle = false;
    bool noMin = false, noMax = false;
    std::string startWith = "1", incrementBy = "1", minValue, maxValue;
    long long cache = 20;
    // merge
    std::unique_ptr<TableRef> using_;
    ExprPtr mergeOn;
    std::vector<std::pair<std::vector<std::string>, ExprPtr>> mergeSets;
    std::vector<std::string> mergeInsertColumns;
    std::vector<ExprPtr> mergeInsertValues;
    // users
    bool passwordExpire = false, accountLock = false, accountUnlock = false;
    // alter table
    std::vector<std::string> dropColumns;
    std::string newName;
    size_t offset = 0;
};

// Parses one statement (a trailing ';' is accepted for SQL, required inside PL/SQL units).
std::unique_ptr<Statement> Parse(std::string_view sql);

// Placeholders of a statement text (outside strings, quoted names and comments).
std::vector<Placeholder> FindPlaceholders(std::string_view sql);

// Expression text as Oracle shows it as a column heading: upper case outside quotes, no blanks.
std::string HeadingOf(std::string_view text);

} // namespace ocisim::sql
