#pragma once
// The seam between the SQL engine and the PL/SQL interpreter. The interpreter implements
// PlSqlEngine and registers it once; the SQL side hands it every anonymous block, CALL and
// CREATE/ALTER of a PL/SQL unit, and offers it SqlRunner to run the SQL statements a block
// contains, with its values as binds, in the calling session and transaction.
// Without a registered interpreter these statements fail with ORA-03001.
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/internal/Sql.h"

#include <memory>
#include <string_view>
#include <vector>

namespace ocisim::eng {

// What the SQL side offers the interpreter, for one call on one session.
class SqlRunner {
public:
    virtual ~SqlRunner() = default;
    // A SQL statement of the block (SELECT, DML, or DDL through EXECUTE IMMEDIATE), prepared in
    // the calling session; its placeholders bind by position as for any SQL statement.
    virtual std::unique_ptr<Statement> PrepareSql(std::string_view sql) = 0;
    virtual const std::string& UserName() const = 0;
    virtual const std::string& SchemaName() const = 0;
};

// What the interpreter does with a block or a unit.
struct PlSqlResult {
    std::vector<std::vector<Value>> outValues;   // per bind slot (BindNames order)
    bool compiledWithErrors = false;             // CREATE of a unit with errors (ORA-24344 warning)
};

class PlSqlEngine {
public:
    virtual ~PlSqlEngine() = default;
    // `kind` is the parsed statement (PlSql: BEGIN/DECLARE/CALL; CreatePlSql: CREATE/ALTER of a
    // unit, with objectType and object name filled); `text` the whole statement text.
    virtual PlSqlResult Execute(const sql::Statement& kind, std::string_view text,
                                const std::vector<std::string>& bindNames, const BindValues& binds,
                                SqlRunner& sql) = 0;
};

// Registers the interpreter for every database of the process (nullptr: none).
void SetPlSqlEngine(PlSqlEngine* engine);
PlSqlEngine* GetPlSqlEngine();

} // namespace ocisim::eng
