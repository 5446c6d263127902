#pragma once
// The PL/SQL front end: tokens with line and column, the syntax tree of blocks, units and
// statements, and the parser. SQL statements inside PL/SQL are kept as token ranges of the
// source; the interpreter turns the PL/SQL names in them into binds when it first runs them.
#include "ocisim/engine/Engine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim::pl {

enum class T : uint8_t { End, Ident, QIdent, Number, String, Op, Bind };

struct Tok {
    T kind = T::End;
    std::string text;      // Ident upper case; QIdent as written; String the value; Op the symbol; Bind the name (upper case)
    size_t offset = 0, length = 0;
    int line = 1, col = 1;
    bool Is(const char* w) const { return (kind == T::Ident || kind == T::Op) && text == w; }
};

// A compilation error as Oracle reports it (PLS-00103, PLS-00201 ...).
struct CompileError {
    int line = 0, col = 0;
    std::string text;      // "PLS-00201: identifier 'X' must be declared"
};
struct CompileFailure {
    std::vector<CompileError> errors;
};

// Splits PL/SQL text into tokens (comments dropped). Lines and columns are 1-based.
std::vector<Tok> LexPl(std::string_view src);

struct Expr;
struct Stmt;
struct TypeRef;
struct Decl;
struct Block;
using ExprP = std::unique_ptr<Expr>;
using StmtP = std::unique_ptr<Stmt>;
using TypeP = std::shared_ptr<TypeRef>;
using DeclP = std::unique_ptr<Decl>;

// A type as written: NUMBER(10,2), VARCHAR2(30), t.col%TYPE, t%ROWTYPE, a declared type name.
struct TypeRef {
    std::vector<std::string> name;     // NUMBER / EMP.SAL (with attr TYPE) / my_rec
    std::string attr;                  // "", "TYPE", "ROWTYPE"
    int len = -1, scale = -1;          // (len[, scale])
    bool refCursor = false;            // REF CURSOR / SYS_REFCURSOR
    int line = 0, col = 0;
};

// One actual parameter of a call.
struct Arg {
    std::string name;                  // named notation, upper case
    ExprP value;
};

struct Expr {
    enum Kind : uint8_t {
        Num, Str, Null, Bool, Bind, Name, Call, Unary, Binary, And, Or, Not, Cmp, IsNull, Like, Between,
        In, Case, Attr, DateLit,
    } kind;
    std::string text;                  // literal, operator, bind name, attribute (FOUND, ROWCOUNT ...)
    std::vector<std::string> names;    // Name / Call: the dotted name parts (upper case)
    std::vector<Arg> args;             // Call arguments
    std::vector<ExprP> ops;            // operands; Case: [operand] when, then ... [else]
    ExprP base;                        // Call on an element: base(args)... ; Attr: the cursor expression (null: SQL%)
    std::vector<std::string> tail;     // fields after a call/index: t(i).field
    bool negated = false, hasOperand = false, hasElse = false;
    double num = 0;
    int line = 0, col = 0;
    explicit Expr(Kind k) : kind(k) {}
};

// A SQL statement inside PL/SQL: the text range of its tokens.
struct SqlText {
    size_t begin = 0, end = 0;         // token indexes [begin, end) in the unit's token list
    int line = 0, col = 0;
};

struct Handler {
    std::vector<std::vector<std::string>> names;   // exception names; {"OTHERS"}
    std::vector<StmtP> body;
};

struct Stmt {
    enum Kind : uint8_t {
        Null, Assign, CallS, If, Loop, While, ForNum, ForCursor, Exit, Continue, Return, Raise, BlockS,
        Sql, SelectInto, Open, OpenFor, Fetch, Close, ExecImm, CaseS, ForAll, PipeRow,
    } kind;
    int line = 0, col = 0;
    std::string label;                              // <<label>> of a loop or block; EXIT label
    ExprP target;                                   // Assign target / FETCH cursor / OPEN cursor
    ExprP expr;                                     // Assign value, conditions, RETURN value, EXECUTE IMMEDIATE text, CALL
    std::vector<ExprP> conds;                       // IF/ELSIF conditions, CASE when values
    std::vector<std::vector<StmtP>> branches;       // IF branches (else last), CASE branches
    bool hasElse = false;
    std::vector<StmtP> body;                        // loop body
    std::string var;                                // loop variable, RAISE exception (dotted), cursor name
    std::vector<std::string> varNames;              // RAISE name parts
    ExprP lo, hi;                                   // numeric FOR bounds; FORALL bounds
    bool reverse = false;
    SqlText sql;                                    // Sql, SelectInto, ForCursor over a query, OpenFor
    std::vector<ExprP> into;                        // SELECT INTO / FETCH INTO / EXECUTE IMMEDIATE INTO targets
    bool bulk = false;                              // BULK COLLECT
    ExprP limit;                                    // FETCH ... LIMIT
    std::vector<Arg> usingArgs;                     // EXECUTE IMMEDIATE / OPEN FOR ... USING; cursor arguments
    std::vector<int> usingModes;                    // 0 in, 1 out, 2 in out
    std::vector<ExprP> returningInto;               // EXECUTE IMMEDIATE ... RETURNING INTO
    std::unique_ptr<Block> block;                   // nested block
    std::unique_ptr<Stmt> inner;                    // FORALL statement
    explicit Stmt(Kind k) : kind(k) {}
};

struct Param {
    std::string name;
    int mode = 0;                                   // 0 IN, 1 OUT, 2 IN OUT
    TypeP type;
    ExprP def;                                      // DEFAULT / :=
    int line = 0, col = 0;
};

// A procedure or function (standalone, packaged, nested, or a type's method).
struct Subprogram {
    std::string name;
    bool isFunction = false;
    std::vector<Param> params;
    TypeP ret;
    std::unique_ptr<Block> body;                    // null for a declaration only (package spec, forward)
    bool isStatic = false, isMember = false, isConstructor = false;
    int line = 0, col = 0;
};

struct Decl {
    enum Kind : uint8_t { Var, Exception, Cursor, Type, Subtype, Proc, Pragma } kind;
    std::string name;
    bool constant = false, notNull = false;
    TypeP type;                                     // Var, Subtype, record field types below
    ExprP init;
    // Cursor
    std::vector<Param> params;
    SqlText sql;
    bool hasQuery = false;
    // Type: RECORD / TABLE / VARRAY / REF CURSOR / OBJECT
    std::string typeKind;                           // "RECORD", "TABLE", "VARRAY", "REFCURSOR"
    std::vector<Param> fields;                      // record fields (name, type, default)
    TypeP elem;                                     // collection element type
    TypeP indexBy;                                  // INDEX BY type, null for nested tables
    // Pragma EXCEPTION_INIT
    std::string pragma;
    std::string exceptionName;
    int code = 0;
    std::shared_ptr<Subprogram> proc;
    int line = 0, col = 0;
    explicit Decl(Kind k) : kind(k) {}
};

struct Block {
    std::vector<DeclP> decls;
    std::vector<StmtP> body;
    std::vector<Handler> handlers;
    std::string label;
    int line = 0, col = 0;
    int endLine = 0;
};

// A compiled unit: an anonymous block, or the parts of a CREATE statement.
struct Unit {
    uint64_t id = 0;                                // unique for the process: keys the prepared statements of its SQL
    std::string kind;                               // BLOCK, PROCEDURE, FUNCTION, PACKAGE, PACKAGE BODY, TRIGGER, TYPE, TYPE BODY, CALL
    std::string owner, name;
    std::string source;                             // the text the tokens come from (the stored source for units)
    std::vector<Tok> toks;
    std::unique_ptr<Block> block;                   // BLOCK, TRIGGER body, package body initialisation
    std::shared_ptr<Subprogram> proc;               // PROCEDURE / FUNCTION
    std::vector<DeclP> decls;                       // PACKAGE / PACKAGE BODY declarations; TYPE attributes as Var decls
    std::vector<std::shared_ptr<Subprogram>> methods;  // TYPE / TYPE BODY methods
    ExprP call;                                     // CALL
    // triggers
    std::string timing;                             // BEFORE, AFTER, INSTEAD OF
    std::vector<std::string> events;                // INSERT, UPDATE, DELETE
    std::vector<std::string> updateColumns;
    std::string tableOwner, table;
    bool forEachRow = false;
    std::string newName = "NEW", oldName = "OLD";
    SqlText when;                                   // WHEN (condition), empty when none
    bool hasWhen = false;
    ExprP whenExpr;
    // types
    bool isObjectType = false;                      // CREATE TYPE ... AS OBJECT
    std::string collectionKind;                     // "TABLE" / "VARRAY" for collection types
    TypeP elem;
    int limit = 0;                                  // VARRAY(limit)
    bool notFinal = false;                          // NOT FINAL
};

// Parses an anonymous block (BEGIN/DECLARE/<<label>>) or CALL statement.
std::unique_ptr<Unit> ParseBlock(std::string_view text);
// Parses the unit of CREATE [OR REPLACE] <kind> ...; `source` is set to the stored source text
// (from the unit kind word on). Raises CompileFailure on syntax errors (lines relative to the source).
std::unique_ptr<Unit> ParseCreate(std::string_view text);
// Parses stored source (as USER_SOURCE keeps it: from the kind word on).
std::unique_ptr<Unit> ParseSource(std::string_view source);

// The stored-source part of a CREATE statement: from the unit kind word on, without the
// trailing "/" line. `kind`/`name` receive the unit kind and the upper-case name.
std::string SourceOfCreate(std::string_view text, size_t& offsetOut);

} // namespace ocisim::pl
