#pragma once
// Engine internals shared by the translator and the database/session implementation.
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/internal/Runtime.h"
#include "ocisim/engine/internal/Sql.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ocisim::eng {

struct Column {
    std::string name;
    ColumnInfo info;               // type as describe reports it
    std::string typeText;          // VARCHAR2, NUMBER, DATE, ... (dictionary DATA_TYPE)
    int dataLength = 0;            // dictionary DATA_LENGTH (bytes)
    std::string defaultText;       // as written, "" when none
    int rule = -1;                 // store rule id
};

struct Object {
    int64_t id = 0;
    std::string owner, name, type; // TABLE, VIEW, SEQUENCE, SYNONYM, INDEX, ...
    std::string status = "VALID";
    std::string sqlName;           // the SQLite table or view
    double created = 0, lastDdl = 0;
    std::vector<Column> cols;      // tables and views
    std::string synOwner, synName; // synonyms
    std::string viewText;
};

struct Constraint {
    std::string owner, name, table;
    char type = 'C';
    std::vector<std::string> cols;
    std::string search;            // check condition text
    std::string rOwner, rName;     // referenced key
    std::string deleteRule = "NO ACTION";
    bool generated = false;
    bool notNull = false;          // a NOT NULL check
    std::string status = "ENABLED";
};

struct Index {
    std::string owner, name, tableOwner, table;
    bool unique = false;
    std::vector<std::string> cols;
};

struct User {
    int64_t id = 0;
    std::string name, password, status = "OPEN";
    bool dba = false;
    double created = 0;
};

struct Catalog {
    std::map<std::pair<std::string, std::string>, Object> objects;   // (owner, name); PUBLIC for public synonyms
    std::vector<Constraint> constraints;
    std::vector<Index> indexes;
    std::map<std::string, User> users;
    std::map<std::string, std::string> comments;                     // unused in lookups
    std::vector<std::tuple<std::string, std::string, std::string, std::string>> grants;  // grantee, owner, object, privilege

    const Object* Find(const std::string& owner, const std::string& name) const {
        auto it = objects.find({owner, name});
        return it == objects.end() ? nullptr : &it->second;
    }
    const Constraint* FindConstraint(const std::string& owner, const std::string& name) const {
        for (const auto& c : constraints) if (c.owner == owner && c.name == name) return &c;
        return nullptr;
    }
};

// What the translator needs from the database and session.
class TranslateHost {
public:
    virtual ~TranslateHost() = default;
    virtual const Catalog& Cat() const = 0;
    virtual const std::string& SchemaName() const = 0;   // the session's current schema
    virtual const std::string& UserName() const = 0;
    virtual bool IsDba() const = 0;
    virtual uint16_t DbCharsetId() const = 0;
    virtual uint16_t DbNCharsetId() const = 0;
    virtual int RuleFor(const Object& table, const Column& col) = 0;
    virtual int NewRownumSlot() = 0;
    // The FROM item that shows table `o` as this session may see it: "" when the table itself
    // will do, else a subquery with the other transactions' uncommitted changes undone, whose
    // row number column is "ocs_rowid".
    virtual std::string ConsistentSource(const Object& o) { (void)o; return {}; }
    // True when table `t` has PL/SQL row triggers for `event` at `timing` (BEFORE INSERT triggers
    // change the inserted row: the insert then runs them through ora_trig_fire).
    virtual bool HasRowTrigger(const Object& t, const std::string& event, const std::string& timing) {
        (void)t; (void)event; (void)timing; return false;
    }
    // True when NAME (PKG.F, SCHEMA.F, F) is a stored PL/SQL function; `type` receives its result type.
    virtual bool PlSqlFunction(const std::vector<std::string>& name, ColumnInfo& type) { (void)name; (void)type; return false; }
};

// A resolved, translated statement ready to run on SQLite.
struct Translated {
    std::string sql;                       // main statement
    std::vector<ColumnInfo> columns;       // select list (queries)
    std::vector<int> bindOfParam;          // SQLite parameter ?k+1 takes bind slot bindOfParam[k]
    std::string sql2;                      // MERGE: the insert of unmatched rows, run after sql
    std::vector<int> bindOfParam2;
    // DML
    const Object* table = nullptr;
    std::string lockSql;                   // UPDATE/DELETE: the rowids the statement will touch
    std::vector<int> lockBindOfParam;
    std::vector<int> returningSlots;       // bind slots receiving RETURNING values
    std::vector<ColumnInfo> returningTypes;
    bool forUpdate = false;
    int waitSeconds = -1;
    const Object* forUpdateTable = nullptr;  // FOR UPDATE: rows locked are this table's (hidden last column)
    // LOB columns of tables: select-list (or RETURNING) position, table, column, and the SQLite
    // result column holding the row's number
    struct LobSource { size_t column = 0; int64_t table = 0; std::string name; int hidden = 0; };
    std::vector<LobSource> lobSources;
    std::vector<LobSource> returningLobs;
    // CURSOR(subquery) columns of the select list: the nested query, run for each row on the
    // values its column carries (ora_pack of the outer columns it names). A parameter k takes
    // bind slot bindOfParam[k], or outer value -2 - bindOfParam[k] when that is below -1.
    struct NestedCursor { size_t column = 0; std::string sql; std::vector<int> bindOfParam; std::vector<ColumnInfo> columns; };
    std::vector<NestedCursor> cursors;
    // INSERT values and UPDATE SET values that are a bare bind: the parameter and its column's
    // type (a DATE bound into a NUMBER column, or a number into a DATE column, is refused)
    std::vector<std::pair<int, OraType>> bindTargets;
    std::vector<int64_t> readTables;         // object ids the statement reads
    std::vector<int64_t> substituted;        // tables read through ConsistentSource
    int rownumSlots = 0;
};

// Translates a parsed SELECT/INSERT/UPDATE/DELETE/MERGE for SQLite. `bindSlots` maps each
// placeholder occurrence (by source offset) to its bind slot.
Translated Translate(TranslateHost& host, sql::Statement& st, std::string_view text,
                     const std::vector<Placeholder>& placeholders);

// Translates a condition for a CHECK constraint or a default expression over a table's own
// columns, referenced as `prefix."COL"` (prefix "NEW" inside triggers, "" for bare names).
std::string TranslateRowExpr(TranslateHost& host, const Object& table, sql::Expr& e, const std::string& prefix,
                             ColumnInfo* typeOut = nullptr);

// Describes a query without running it (CREATE VIEW, CREATE TABLE AS SELECT).
Translated TranslateQuery(TranslateHost& host, sql::Query& q, std::string_view text);

std::string Quote(const std::string& name);          // "NAME" with inner quotes doubled
std::string SqlString(const std::string& s);         // 'text' with inner quotes doubled

} // namespace ocisim::eng
