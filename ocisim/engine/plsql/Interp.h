#pragma once
// The tree-walking interpreter: one Interp runs one call (a block, a CREATE, a trigger, a
// function called from SQL) on one session.
#include "ocisim/engine/internal/NativePackages.h"
#include "ocisim/engine/internal/PlSql.h"
#include "ocisim/engine/plsql/Runtime.h"

#include <functional>
#include <map>
#include <set>
#include <unordered_map>

namespace ocisim::pl {

// Units parsed from the catalog, shared by the sessions of a database; dropped when the catalog changes.
struct UnitCache {
    uint64_t version = ~0ull;
    std::map<std::string, std::shared_ptr<Unit>> units;      // "OWNER.NAME.TYPE"
    std::map<std::string, std::string> objects;              // "OWNER.NAME" -> object type ("" none), status appended after '|'
    bool triggersLoaded = false;
    std::vector<std::shared_ptr<Unit>> triggers;
};

// What a session keeps between calls: package states and prepared statements.
struct SessionPl {
    uint64_t version = ~0ull;
    std::map<std::string, std::shared_ptr<PackageState>> packages;
    // prepared statements and rewritten SQL of the units' statements, by (unit id, syntax node)
    std::map<std::pair<uint64_t, const void*>, std::unique_ptr<Statement>> stmts;
    std::map<std::pair<uint64_t, const void*>, std::shared_ptr<struct SqlPlan>> plans;
    std::map<std::string, std::unique_ptr<Statement>> scalars;   // SELECT f(:1, ...) FROM DUAL
    void Forget(uint64_t unit) {
        for (auto it = stmts.lower_bound({unit, nullptr}); it != stmts.end() && it->first.first == unit;) it = stmts.erase(it);
        for (auto it = plans.lower_bound({unit, nullptr}); it != plans.end() && it->first.first == unit;) it = plans.erase(it);
    }
    std::map<std::string, std::string> appInfo;
    std::string errorStack;
    int active = 0;                           // interpreters running on the session (calls nest)
};

// A SQL statement of a block rewritten with its PL/SQL names as binds.
struct SqlPlan {
    std::string text;
    std::vector<ExprP> binds;                 // one per placeholder occurrence, in order (null for INTO outs)
    std::vector<size_t> outSlots;             // RETURNING INTO placeholders
    std::vector<const Expr*> outTargets;
    std::vector<ExprP> outExprs;
    bool isQuery = false;
    std::string firstWord;
};

class Interp final : public eng::NativeContext {
public:
    Interp(eng::SqlRunner& sql, eng::PlSqlEngine& engine);
    ~Interp() override;

    eng::PlSqlResult RunBlock(std::string_view text, const std::vector<std::string>& bindNames, const BindValues& binds);
    eng::PlSqlResult Create(const sql::Statement& kind, std::string_view text);
    void Drop(const sql::Statement& st);
    bool HasTriggers(const std::string& owner, const std::string& table, const std::string& event, const std::string& timing, bool row);
    void FireTriggers(const std::string& owner, const std::string& table, const std::string& event, const std::string& timing, eng::TriggerRow* row);
    bool IsFunction(const std::vector<std::string>& name, ColumnInfo* type);
    Value CallFunction(const std::vector<std::string>& name, const std::vector<Value>& args);

    // NativeContext
    eng::SqlRunner& Sql() override { return sql_; }
    int SessionId() const override { return sql_.SessionId(); }
    std::shared_ptr<void>& SessionState(std::string_view key) override { return sql_.SessionState(key); }
    std::shared_ptr<void>& DatabaseState(std::string_view key) override { return sql_.DatabaseState(key); }
    void RunBlock(std::string_view block) override;
    bool Interrupted() const override { return sql_.Interrupted(); }
    void SetApplicationInfo(std::string_view field, std::string_view value) override;
    std::string ApplicationInfo(std::string_view field) const override;
    std::string LocalTransactionId() const override { return sql_.LocalTransactionId(); }
    std::string CallStack() const override;
    std::string ErrorStack() const override;
    void Pause(int milliseconds) override { sql_.Pause(milliseconds); }

    struct Impl;
private:
    eng::SqlRunner& sql_;
    std::unique_ptr<Impl> impl_;
};

} // namespace ocisim::pl
