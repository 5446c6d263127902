#pragma once
// Recent additions (no signature changed): Statement::ColumnCursor, Session::NlsDateFormat, Database::SetAccountStatus,
// Database::Open(directory, DatabaseSettings), fetched NUMBER values with a fraction as Decimal.
// The stand-in server: an Oracle-compatible database engine that keeps its data in SQLite files.
// This header is the only door between the exported OCI entry points (ocisim/client) and the
// engine; it speaks in Oracle terms (data type codes, ORA- errors, 7-byte DATEs) and never in
// OCI handle terms. Text crossing it is UTF-8; the client converts to and from the client and
// national character sets.
//
// Storage: a database is a directory holding "database.db" (SQLite, WAL mode), "ocisim.conf"
// (server version text and character sets, see DatabaseSettings) and "ocisim.lock" (held by the
// one process that has it open). A table SCOTT.T is the SQLite table "SCOTT.T" with columns named
// as in Oracle ("ID", "NAME"); NUMBER values are stored as SQLite INTEGER or REAL, VARCHAR2/CHAR as
// TEXT (UTF-8, CHAR blank-padded), DATE as REAL Julian day numbers (julianday() in SQLite terms,
// whole seconds), RAW/BLOB as BLOB. Catalog tables are named ocs_*.
//
// Threads: a Database may be used by several sessions on several threads at once. One Session
// (and its Statements) is used by one thread at a time, except Session::Interrupt, which any
// thread may call while another runs a call on the session.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim {

// An Oracle error: code 942 with text "ORA-00942: table or view does not exist".
struct EngineError : std::exception {
    EngineError(int code, std::string text, int parseOffset = -1)
        : Code(code), Text(std::move(text)), ParseOffset(parseOffset) {}
    const char* what() const noexcept override { return Text.c_str(); }
    int Code;              // Oracle error number (positive)
    std::string Text;      // the full message, "ORA-nnnnn: ..." with any further lines
    int ParseOffset;       // 0-based byte offset of the error in the statement text, -1 when none
};

// Internal data type codes, as describe reports them (OCI_ATTR_DATA_TYPE).
enum class OraType : uint16_t {
    Varchar2 = 1, Number = 2, Long = 8, Date = 12, Raw = 23, LongRaw = 24, RowId = 11,
    Char = 96, BinaryFloat = 100, BinaryDouble = 101, RowIdDesc = 104, Object = 108, Ref = 111,
    Clob = 112, Blob = 113, Bfile = 114, Cursor = 116, Timestamp = 180, TimestampTZ = 181,
    IntervalYM = 182, IntervalDS = 183, URowId = 208, TimestampLTZ = 231, Boolean = 252,
};

// A value without ownership: it points into a bind buffer or into the engine's row, and is
// valid until the next call on the statement that produced it. Fetching is allocation-free.
struct ValueRef {
    // Fetched NUMBER values come as Integer when whole, else as Decimal text ("123.45").
    enum Kind : uint8_t { Null, Integer, Double, Text, Bytes, Date, Decimal };
    Kind kind = Null;
    int64_t i = 0;                 // Integer
    double d = 0;                  // Double
    const char* p = nullptr;       // Text (UTF-8), Bytes, Decimal (canonical text "-12.5E3")
    size_t n = 0;                  // byte length for Text, Bytes, Decimal
    unsigned char date[7] = {};    // Date: Oracle's 7-byte DATE (century+100, year+100, month, day, hour+1, minute+1, second+1)
                                   // A TIMESTAMP also carries its Julian day number with the fraction of
                                   // the second in d (0 for DATE values); a bound Date with d set stores d.

    static ValueRef MakeNull() { return {}; }
    static ValueRef MakeInt(int64_t v) { ValueRef r; r.kind = Integer; r.i = v; return r; }
    static ValueRef MakeDouble(double v) { ValueRef r; r.kind = Double; r.d = v; return r; }
    static ValueRef MakeText(std::string_view s) { ValueRef r; r.kind = Text; r.p = s.data(); r.n = s.size(); return r; }
    static ValueRef MakeBytes(const void* b, size_t len) { ValueRef r; r.kind = Bytes; r.p = static_cast<const char*>(b); r.n = len; return r; }
};

// A value that owns its bytes: out binds, RETURNING INTO results, PL/SQL values.
struct Value {
    ValueRef::Kind kind = ValueRef::Null;
    int64_t i = 0;
    double d = 0;
    std::string bytes;             // Text, Bytes, Decimal
    unsigned char date[7] = {};

    ValueRef Ref() const {
        ValueRef r; r.kind = kind; r.i = i; r.d = d; r.p = bytes.data(); r.n = bytes.size();
        for (int k = 0; k < 7; ++k) r.date[k] = date[k];
        return r;
    }
    static Value From(const ValueRef& r) {
        Value v; v.kind = r.kind; v.i = r.i; v.d = r.d;
        if (r.p) v.bytes.assign(r.p, r.n);
        for (int k = 0; k < 7; ++k) v.date[k] = r.date[k];
        return v;
    }
};

// One select-list column or one described object attribute, as Oracle describes it.
struct ColumnInfo {
    std::string Name;              // as Oracle reports it: upper case unless quoted, expression text for expressions
    OraType DataType = OraType::Varchar2;
    uint32_t ByteSize = 0;         // OCI_ATTR_DATA_SIZE
    uint32_t CharSize = 0;         // OCI_ATTR_CHAR_SIZE (characters; 0 when not character data)
    bool CharUsed = false;         // length semantics CHAR
    int16_t Precision = 0;         // NUMBER precision, 0 when unspecified; fractional seconds for timestamps
    int8_t Scale = 0;              // NUMBER scale, -127 for a FLOAT / unconstrained NUMBER
    bool Nullable = true;
    uint8_t CharsetForm = 0;       // 0 none, 1 implicit (database set), 2 national
    uint16_t CharsetId = 0;        // 873 AL32UTF8, 2000 AL16UTF16, ...
    std::string SchemaName;        // for object and REF columns
    std::string TypeName;          // for object and REF columns
};

// The row and column a LOB value was read from, for writing through its locator. A value that
// is no plain column of a table (an expression, a view's computed column) has no location.
struct LobLocation {
    int64_t Table = 0;             // the table's object id, 0 when none
    std::string Column;            // the column's name
    int64_t Row = 0;               // the row (the number behind its ROWID)
    bool Valid() const { return Table != 0; }
};

// Statement type codes as OCI_ATTR_STMT_TYPE reports them.
enum class StatementType : uint16_t {
    Unknown = 0, Select = 1, Update = 2, Delete = 3, Insert = 4, Create = 5, Drop = 6, Alter = 7,
    Begin = 8, Declare = 9, Call = 10, Merge = 16,
};

// A bind placeholder of a prepared statement, in order of appearance in the text.
struct Placeholder {
    std::string Name;              // upper case without the colon; digits for ":1"
    size_t Offset = 0;             // byte offset of the colon in the text
};

class Session;

// What one execution receives: a value for each distinct bind name (or position) of the
// statement. An index-by table bound from the client carries several values (PL/SQL only).
struct BindValues {
    struct Slot {
        std::vector<ValueRef> values;          // one value, or the elements of a PL/SQL table
        bool isTable = false;
        size_t maxElements = 0;                // a PL/SQL table's capacity for out values
        OraType declaredType = OraType::Varchar2;  // the external type the client bound with, mapped
        size_t maxBytes = 0;                   // the client buffer's capacity (for ORA-06502 on out values)
    };
    std::vector<Slot> slots;                   // indexed like Statement::BindNames()
};

class Statement {
public:
    virtual ~Statement();

    virtual StatementType Type() const = 0;
    virtual uint16_t SqlFunctionCode() const = 0;          // OCI_ATTR_SQLFNCODE
    virtual const std::vector<Placeholder>& Placeholders() const = 0;
    // Distinct bind names in order of first appearance; SQL binds positions to occurrences,
    // PL/SQL to distinct names: BindNames() gives what a position binds to.
    virtual const std::vector<std::string>& BindNames() const = 0;

    // Select list; valid after Prepare for a query (describe without execution).
    virtual const std::vector<ColumnInfo>& Columns() const = 0;

    // Runs one iteration. A query opens its result set (rows are read with Fetch).
    // Out and in-out values (PL/SQL out binds, RETURNING INTO) are read with OutValues after.
    virtual void Execute(const BindValues& binds) = 0;
    // The next row of an open query: false at the end. Row(i) is valid until the next Fetch.
    virtual bool Fetch() = 0;
    virtual ValueRef Column(size_t index) const = 0;
    // Closes an open result set (a cursor re-executed or freed).
    virtual void CloseResult() = 0;

    virtual uint64_t RowsProcessed() const = 0;            // DML rows of the last Execute, rows fetched for a query
    virtual std::string LastRowId() const = 0;             // the rowid of the last row a DML touched, "" when none
    // Values assigned to bind slot `slot` by the last Execute: several for RETURNING INTO over
    // several rows or a PL/SQL table, one for a scalar out bind.
    virtual const std::vector<Value>& OutValues(size_t slot) const = 0;
    // A REF CURSOR assigned to a bind slot by a PL/SQL block, for the client to fetch from.
    virtual std::unique_ptr<Statement> TakeCursor(size_t slot) = 0;
    // ORA-24344 compilation-error warning after a CREATE of a PL/SQL unit (success with information).
    virtual bool CompiledWithErrors() const = 0;

    // Where the LOB in column `index` of the current row lives (invalid for other columns).
    virtual LobLocation ColumnLobLocation(size_t index) const { (void)index; return {}; }
    // Where RETURNING value `row` of bind slot `slot` lives (invalid when it is no LOB column).
    virtual LobLocation OutLobLocation(size_t slot, size_t row) const { (void)slot; (void)row; return {}; }
    // The nested cursor of a CURSOR(...) column (type Cursor) of the current row, opened on that
    // row's values with every row read; null for other columns.
    virtual std::unique_ptr<Statement> ColumnCursor(size_t index) { (void)index; return nullptr; }
};

class Database;

enum class ConnectMode { Normal, SysDba, SysOper };

class Session {
public:
    virtual ~Session();

    virtual std::unique_ptr<Statement> Prepare(std::string_view sql) = 0;  // raises on parse errors
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual bool InTransaction() const = 0;
    virtual void ChangePassword(std::string_view oldPassword, std::string_view newPassword) = 0;
    // Cancels the call another thread is running on this session (it fails with ORA-01013); a
    // break that finds no call running is discarded. Queries and lock waits are cancelled; a
    // running INSERT/UPDATE/DELETE finishes first.
    virtual void Interrupt() = 0;

    virtual const std::string& UserName() const = 0;
    virtual int SessionId() const = 0;                      // V$SESSION.SID
    virtual std::string NlsDateFormat() const = 0;          // the session's NLS_DATE_FORMAT ("DD-MON-RR")
    // Set when logon succeeded with a warning (ORA-28002 the password will expire): code, text.
    virtual const EngineError* LogonWarning() const = 0;

    // Replaces the whole value of the LOB at `where` (text as UTF-8 for CLOB and NCLOB, bytes
    // for BLOB; an empty value is an empty LOB, not NULL). The row must be locked by this
    // session's transaction (selected FOR UPDATE, or changed by it): else ORA-22920.
    virtual void WriteLob(const LobLocation& where, const ValueRef& content) {
        (void)where; (void)content;
        throw EngineError(3001, "ORA-03001: unimplemented feature");
    }
};

// How a new database is created (read from the settings file "ocisim.conf" of an existing one:
// lines "version=...", "charset=AL32UTF8", "ncharset=AL16UTF16"; the file may be edited between
// opens to simulate another server version).
struct DatabaseSettings {
    std::string ServerVersion;     // empty: "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"
    std::string CharacterSet;      // name ("WE8MSWIN1252") or id ("178"); empty: AL32UTF8
    std::string NationalCharacterSet;  // empty: AL16UTF16
};

class Database {
public:
    virtual ~Database();

    // Like Open, writing `settings` into the settings file first (before the database is created,
    // or to change the version text of an existing one). Raises when the database is open already.
    static std::shared_ptr<Database> Open(const std::string& directory, const DatabaseSettings& settings);

    // Opens (creating on first use, with SYSTEM/MANAGER and SCOTT/TIGER and the demo tables)
    // the database kept in `directory`. The same directory opened twice in a process gives the
    // same Database.
    static std::shared_ptr<Database> Open(const std::string& directory);

    // Logs a user on. An empty user name with mode Normal means external credentials (the
    // operating-system user, which exists as OPS$<name> or fails with ORA-01017).
    virtual std::unique_ptr<Session> Logon(std::string_view user, std::string_view password,
                                           ConnectMode mode = ConnectMode::Normal) = 0;
    // Changes an expired password while logging on (OCIPasswordChange with OCI_AUTH).
    virtual std::unique_ptr<Session> LogonChangingPassword(std::string_view user, std::string_view oldPassword,
                                                           std::string_view newPassword) = 0;

    // Test support: puts an account into a state ("OPEN", "EXPIRED", "EXPIRED(GRACE)", "LOCKED")
    // that a real server reaches through profiles and time (EXPIRED(GRACE): logon succeeds with
    // the ORA-28002 warning).
    virtual void SetAccountStatus(std::string_view user, std::string_view status) = 0;

    virtual std::string ServerVersion() const = 0;          // "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"
    virtual uint16_t CharsetId() const = 0;                 // database character set id (873 AL32UTF8 by default)
    virtual uint16_t NCharsetId() const = 0;                // national character set id (2000 AL16UTF16 by default)
};

} // namespace ocisim
