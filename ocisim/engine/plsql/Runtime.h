#pragma once
// The interpreter's values, types and frames.
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/plsql/Ast.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ocisim::pl {

struct TypeInfo;
using TI = std::shared_ptr<TypeInfo>;

struct TypeInfo {
    enum B : uint8_t { Any, Number, Varchar, Char, Date, Bool, Raw, Clob, Blob, Rowid, Record, Table, Cursor, Object };
    B b = Any;
    int len = -1, scale = -1, prec = -1;
    bool notNull = false;
    bool integer = false;                          // PLS_INTEGER, BINARY_INTEGER, INTEGER
    std::vector<std::pair<std::string, TI>> fields;  // records, object types
    std::vector<const Expr*> fieldDefaults;
    TI elem;                                       // collections
    bool stringIndex = false;
    bool varray = false;
    std::string name;                              // declared name (for messages), object type name
    std::string owner;
};

struct Composite;
struct CursorState;

// Where a LOB value read from a table lives, as a locator knows it: DBMS_LOB changes made through
// a variable holding it are written back there.
struct LobRef {
    LobLocation where;
    bool binary = false;                           // BLOB (else CLOB)
};

struct PV {
    enum K : uint8_t { Null, Num, Str, Date, Raw, Bool, Rec, Tab, Cur } k = Null;
    bool b = false;
    double d = 0;                                  // Num; Date (Julian day)
    std::string s;                                 // Str, Raw
    std::shared_ptr<Composite> c;                  // Rec, Tab (owned copies), Cur (shared)
    std::shared_ptr<const LobRef> lob;             // a LOB selected from a row (an empty one is Null with lob set)

    bool IsNull() const { return k == Null; }
    static PV Number(double v) { PV p; p.k = Num; p.d = v; return p; }
    static PV String(std::string v) { PV p; if (v.empty()) return p; p.k = Str; p.s = std::move(v); return p; }
    static PV Boolean(bool v) { PV p; p.k = Bool; p.b = v; return p; }
    static PV DateVal(double jd) { PV p; p.k = Date; p.d = jd; return p; }
};

struct TabKey {
    bool str = false;
    double n = 0;
    std::string s;
    bool operator<(const TabKey& o) const { return str ? s < o.s : n < o.n; }
};

struct Composite {
    TI type;
    // records
    std::vector<std::string> names;
    std::vector<PV> vals;
    // tables
    std::map<TabKey, PV> tab;
    bool nullCollection = false;                   // a nested table / varray not yet initialised
    // cursors
    std::shared_ptr<CursorState> cur;

    std::shared_ptr<Composite> Clone() const;
    PV* Field(const std::string& n) {
        for (size_t k = 0; k < names.size(); ++k) if (names[k] == n) return &vals[k];
        return nullptr;
    }
};

struct CursorState {
    std::unique_ptr<Statement> st;
    bool open = false;
    bool fetchedAny = false;
    bool found = false;
    uint64_t rowcount = 0;
    std::vector<std::string> columns;
    std::vector<ColumnInfo> info;
    std::string name;
};

class Interp;
struct PackageState;

struct Sym {
    enum K : uint8_t { Var, Const, Exc, Cursor, Type, Proc, Bind } k = Var;
    std::string name;
    PV v;
    TI t;
    int excCode = 0;                               // Exc: code from EXCEPTION_INIT (negative SQLCODE), 0 user-defined
    const void* excId = nullptr;
    const Decl* decl = nullptr;                    // Cursor, Exc
    std::vector<const Subprogram*> procs;          // Proc overloads
    struct Frame* home = nullptr;                  // Proc: the frame procedures run under
    int bindSlot = -1;                             // Bind
    bool assigned = false;
};

struct Frame {
    Frame* parent = nullptr;
    std::deque<Sym> syms;
    PackageState* pkg = nullptr;                   // the package whose declarations this frame holds
    Sym* Find(const std::string& n) {
        for (auto& s : syms) if (s.name == n) return &s;
        return nullptr;
    }
    Sym& Add(Sym::K k, const std::string& n) {
        syms.emplace_back();
        Sym& s = syms.back();
        s.k = k;
        s.name = n;
        return s;
    }
};

// A package's session state: its spec and body declarations.
struct PackageState {
    std::string owner, name;
    std::shared_ptr<Unit> spec, body;
    Frame specFrame, bodyFrame;                    // bodyFrame.parent = &specFrame
    bool initialised = false;
    uint64_t version = 0;
};

// A raised PL/SQL exception.
struct PlError {
    int code = 0;                                  // Oracle error number (positive); 1 for user-defined without code
    std::string message;                           // "ORA-01403: no data found" (first line, with the code)
    std::vector<std::string> stack;                // further lines (ORA-06512 ...)
    const void* excId = nullptr;                   // user-defined exception identity
    bool userDefined = false;
};

} // namespace ocisim::pl
