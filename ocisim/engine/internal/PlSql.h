#pragma once
// The seam between the SQL engine and the PL/SQL interpreter. The SQL side hands the interpreter
// every anonymous block, CALL and CREATE/ALTER of a PL/SQL unit, fires triggers through it around
// DML and calls stored functions through it from SQL; it offers SqlRunner to run the SQL
// statements a block contains, with its values as binds, in the calling session and transaction.
// The built-in interpreter (plsql/) is used unless another one is registered with SetPlSqlEngine.
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/internal/Sql.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim::eng {

// A stored unit as the catalog keeps it (USER_OBJECTS, USER_SOURCE, USER_ERRORS).
struct StoredUnit {
    std::string owner, name, type;               // type: PROCEDURE, FUNCTION, PACKAGE, PACKAGE BODY, TRIGGER, TYPE, TYPE BODY
    std::string source;                          // from the kind word on, as USER_SOURCE shows it
    bool valid = true;
    struct Error { int line = 0, position = 0; std::string text; };
    std::vector<Error> errors;
    std::string tableOwner, table;               // triggers: the table they belong to
    // ALL_ARGUMENTS rows of the unit's procedures and functions (position 0: a function's result)
    struct Argument {
        std::string objectName, packageName, overload, argumentName, dataType, inOut, typeOwner, typeName;
        int position = 0, sequence = 0, dataLevel = 0, dataLength = 0, dataPrecision = 0, dataScale = 0;
        bool defaulted = false;
    };
    std::vector<Argument> arguments;
    // object and collection types: ALL_TYPES, ALL_TYPE_ATTRS, ALL_TYPE_METHODS
    std::string typecode;                        // OBJECT, COLLECTION; "" for other units
    struct Attribute { std::string name, typeOwner, typeName; int length = 0, precision = 0, scale = 0; };
    std::vector<Attribute> attributes;
    struct Method { std::string name, methodType; int parameters = 0, results = 0; bool isStatic = false; };
    std::vector<Method> methods;
    bool final = true;                           // object types: FINAL / NOT FINAL
    // collection types: ALL_COLL_TYPES (collType "VARYING ARRAY" or "TABLE"; the element as an attribute)
    std::string collType;
    int upperBound = 0;
    Attribute element;
};

// What the SQL side offers the interpreter, for one call on one session.
class SqlRunner {
public:
    virtual ~SqlRunner() = default;
    // A SQL statement of the block (SELECT, DML, or DDL through EXECUTE IMMEDIATE), prepared in
    // the calling session; its placeholders bind by position as for any SQL statement.
    virtual std::unique_ptr<Statement> PrepareSql(std::string_view sql) = 0;
    virtual const std::string& UserName() const = 0;
    virtual const std::string& SchemaName() const = 0;
    virtual int SessionId() const { return 0; }
    virtual bool Interrupted() const { return false; }
    // Interpreter and package state of the calling session, one slot per key.
    virtual std::shared_ptr<void>& SessionState(std::string_view key) = 0;
    // State shared by the sessions of the database, one slot per key.
    virtual std::shared_ptr<void>& DatabaseState(std::string_view key) = 0;
    virtual std::string LocalTransactionId() const { return {}; }
    virtual std::string DateFormat() const { return "DD-MON-RR"; }
    // MODULE, ACTION and CLIENT_INFO of the calling session as V$SESSION shows them (field upper case).
    virtual void SetSessionInfo(std::string_view field, std::string_view value) { (void)field; (void)value; }
    virtual std::string SessionInfo(std::string_view field) const { (void)field; return {}; }
    // Changes whenever the catalog changes (units created, tables altered ...).
    virtual uint64_t CatalogVersion() const { return 0; }
    // Stores a unit (replacing one of the same owner, name and type) and commits.
    virtual void StoreUnit(const StoredUnit& unit);
    // Drops a unit; false when there is none of that owner, name and type.
    virtual bool DropUnit(const std::string& owner, const std::string& name, const std::string& type);
    // Marks a stored unit VALID or INVALID (ALTER ... COMPILE, dependencies).
    virtual void SetUnitStatus(const std::string& owner, const std::string& name, const std::string& type, bool valid,
                               const std::vector<StoredUnit::Error>& errors);
    // Lets the other sessions of the database run for about `milliseconds` (the database lock is
    // released meanwhile); a runner without a lock of its own only sleeps.
    virtual void Pause(int milliseconds);
    // Replaces the LOB stored at `where` (Session::WriteLob in the calling session): the row must
    // be locked by the calling transaction, else ORA-22920.
    virtual void WriteLob(const LobLocation& where, const ValueRef& content);
};

// What the interpreter does with a block or a unit.
struct PlSqlResult {
    std::vector<std::vector<Value>> outValues;   // per bind slot (BindNames order)
    std::vector<std::unique_ptr<Statement>> cursors;  // per bind slot: a REF CURSOR opened into it, else null
    bool compiledWithErrors = false;             // CREATE of a unit with errors (ORA-24344 warning)
};

// One row event for the triggers of a table: the column values before and after the change.
struct TriggerRow {
    const std::vector<std::string>* columns = nullptr;  // the table's columns in order
    std::vector<Value>* newValues = nullptr;     // INSERT/UPDATE; BEFORE row triggers may change them
    const std::vector<Value>* oldValues = nullptr;  // UPDATE/DELETE
};

class PlSqlEngine {
public:
    virtual ~PlSqlEngine() = default;
    // `kind` is the parsed statement (PlSql: BEGIN/DECLARE/CALL; CreatePlSql: CREATE/ALTER of a
    // unit, with objectType and object name filled); `text` the whole statement text.
    virtual PlSqlResult Execute(const sql::Statement& kind, std::string_view text,
                                const std::vector<std::string>& bindNames, const BindValues& binds,
                                SqlRunner& sql) = 0;
    // True when table OWNER.TABLE has enabled triggers for `event` (INSERT, UPDATE, DELETE) at
    // `timing` (BEFORE, AFTER) on row (`row`) or statement level.
    virtual bool HasTriggers(SqlRunner& sql, const std::string& owner, const std::string& table, const std::string& event,
                             const std::string& timing, bool row) { (void)sql; (void)owner; (void)table; (void)event; (void)timing; (void)row; return false; }
    // Fires those triggers; `row` is null for statement triggers. `changedColumns` (UPDATE) limits
    // UPDATE OF triggers. Raises the trigger's errors.
    virtual void FireTriggers(SqlRunner& sql, const std::string& owner, const std::string& table, const std::string& event,
                              const std::string& timing, TriggerRow* row) { (void)sql; (void)owner; (void)table; (void)event; (void)timing; (void)row; }
    // A stored function called from SQL: NAME parts as written (upper case). `known` tells
    // whether NAME names a function at all (false: not PL/SQL, the caller reports ORA-00904).
    virtual bool IsFunction(SqlRunner& sql, const std::vector<std::string>& name, ColumnInfo* type) {
        (void)sql; (void)name; (void)type; return false;
    }
    virtual Value CallFunction(SqlRunner& sql, const std::vector<std::string>& name, const std::vector<Value>& args) {
        (void)sql; (void)name; (void)args; return {};
    }
    // Unit kinds and names named by DROP (PROCEDURE, FUNCTION, PACKAGE [BODY], TRIGGER, TYPE [BODY]).
    virtual void Drop(SqlRunner& sql, const sql::Statement& st) { (void)sql; (void)st; }
};

// Registers an interpreter for every database of the process (nullptr: the built-in one).
void SetPlSqlEngine(PlSqlEngine* engine);
PlSqlEngine* GetPlSqlEngine();
// The built-in interpreter (plsql/).
PlSqlEngine& BuiltinPlSqlEngine();

} // namespace ocisim::eng
