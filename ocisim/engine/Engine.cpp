// The stand-in server: databases, sessions, transactions, row locks and statement execution.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "ocisim/engine/Engine.h"
#include "ocisim/engine/internal/Impl.h"
#include "ocisim/engine/internal/NativePackages.h"
#include "ocisim/engine/internal/PlSql.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace ocisim {

Statement::~Statement() = default;
Session::~Session() = default;
Database::~Database() = default;

namespace eng {

using sql::Fail;

namespace {

struct CharsetName { const char* name; uint16_t id; };
const CharsetName kCharsets[] = {
    {"US7ASCII", 1}, {"WE8ISO8859P1", 31}, {"WE8ISO8859P15", 46}, {"EE8MSWIN1250", 170}, {"CL8MSWIN1251", 171},
    {"WE8MSWIN1252", 178}, {"EL8MSWIN1253", 174}, {"UTF8", 871}, {"AL32UTF8", 873}, {"UTFE", 872},
    {"AL16UTF16", 2000}, {"AL24UTFFSS", 870}, {"CL8KOI8R", 51}, {"JA16SJIS", 832}, {"ZHS16GBK", 852}};

uint16_t CharsetIdOf(const std::string& s) {
    for (const auto& c : kCharsets) if (s == c.name) return c.id;
    int v = std::atoi(s.c_str());
    return v > 0 ? static_cast<uint16_t>(v) : 873;
}
std::string CharsetNameOf(uint16_t id) {
    for (const auto& c : kCharsets) if (c.id == id) return c.name;
    return std::to_string(id);
}

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool IsTimestampType(OraType t) { return t == OraType::Timestamp || t == OraType::TimestampTZ || t == OraType::TimestampLTZ; }

const char* kDefaultVersion = "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production";

// ---- values copied out of SQLite (undo images)
struct SavedValue {
    int type = SQLITE_NULL;
    int64_t i = 0;
    double d = 0;
    std::string s;
};
SavedValue Save(sqlite3_value* v) {
    SavedValue r;
    r.type = sqlite3_value_type(v);
    switch (r.type) {
    case SQLITE_INTEGER: r.i = sqlite3_value_int64(v); break;
    case SQLITE_FLOAT: r.d = sqlite3_value_double(v); break;
    case SQLITE_TEXT: r.s.assign(reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<size_t>(sqlite3_value_bytes(v))); break;
    case SQLITE_BLOB: r.s.assign(static_cast<const char*>(sqlite3_value_blob(v)), static_cast<size_t>(sqlite3_value_bytes(v))); break;
    default: break;
    }
    return r;
}
void BindSaved(sqlite3_stmt* st, int idx, const SavedValue& v) {
    switch (v.type) {
    case SQLITE_INTEGER: sqlite3_bind_int64(st, idx, v.i); break;
    case SQLITE_FLOAT: sqlite3_bind_double(st, idx, v.d); break;
    case SQLITE_TEXT: sqlite3_bind_text(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT); break;
    case SQLITE_BLOB: sqlite3_bind_blob(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT); break;
    default: sqlite3_bind_null(st, idx);
    }
}

struct UndoEntry {
    int64_t obj = 0;             // the table's object id
    int op = 0;                  // SQLITE_INSERT, SQLITE_DELETE, SQLITE_UPDATE
    int64_t rowid = 0;           // the row before (delete/update)
    int64_t newRowid = 0;        // the row after (insert/update)
    std::vector<SavedValue> old; // before-image (delete/update)
};

struct RowKey {
    int64_t obj, row;
    bool operator==(const RowKey& o) const { return obj == o.obj && row == o.row; }
};
struct RowKeyHash {
    size_t operator()(const RowKey& k) const { return std::hash<int64_t>()(k.obj * 1000003 ^ k.row); }
};

class SessionImpl;

struct Transaction {
    SessionImpl* session = nullptr;
    std::vector<UndoEntry> undo;
    std::vector<std::pair<std::string, size_t>> savepoints;
    std::set<int64_t> lockedTables;                    // tables this transaction holds row locks in
    std::set<int64_t> changedTables;
    std::unordered_set<RowKey, RowKeyHash> dirtyRows;   // rows shown to others as before (materialized)
    size_t materialized = 0;                            // undo entries copied to the before-image tables
    Transaction* waitingFor = nullptr;
    bool active = false;
    bool readOnly = false;                              // SET TRANSACTION READ ONLY, until commit or rollback
};

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt() = default;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt() { if (s) sqlite3_finalize(s); }
    void Reset() { if (s) { sqlite3_finalize(s); s = nullptr; } }
};

} // namespace

// ======================================================================== Database
class DatabaseImpl final : public Database, public rt::FunctionHost, public std::enable_shared_from_this<DatabaseImpl> {
public:
    explicit DatabaseImpl(std::string dir) : dir_(std::move(dir)) {}
    ~DatabaseImpl() override;

    void OpenFiles(const DatabaseSettings* settings);

    std::unique_ptr<Session> Logon(std::string_view user, std::string_view password, ConnectMode mode) override;
    std::unique_ptr<Session> LogonChangingPassword(std::string_view user, std::string_view oldPassword,
                                                   std::string_view newPassword) override;
    std::string ServerVersion() const override { return version_; }
    void SetAccountStatus(std::string_view user, std::string_view status) override;
    uint16_t CharsetId() const override { return charset_; }
    uint16_t NCharsetId() const override { return ncharset_; }

    // FunctionHost
    std::string DateFormat() override;
    std::string CurrentUser() override;
    int64_t CurrentUid() override;
    std::string Userenv(const std::string& param) override;
    double NextVal(const std::string& sequence) override;
    double CurrVal(const std::string& sequence) override;
    const rt::StoreRule* Rule(int id) override { return id >= 0 && id < static_cast<int>(rules_.size()) ? &rules_[id] : nullptr; }
    uint16_t CharsetId() override { return charset_; }
    uint16_t NCharsetId() override { return ncharset_; }
    double StatementTime() override { return stmtTime_; }
    int64_t NextRownum(int slot) override;
    bool Visible(const std::string& owner, const std::string& name) override {
        SessionImpl* s = current_;
        if (!s || owner == "PUBLIC" || owner == "SYS") return true;
        if (IsDbaSession(s) || owner == CurrentUser()) return true;
        for (const auto& g : cat_.grants)
            if ((std::get<0>(g) == CurrentUser() || std::get<0>(g) == "PUBLIC") && std::get<1>(g) == owner && std::get<2>(g) == name) return true;
        return false;
    }
    static bool IsDbaSession(SessionImpl* s);

    // used by sessions and statements (always under mu_)
    std::mutex mu_;
    std::atomic<std::thread::id> owner_{};      // the thread holding mu_ (calls nest inside PL/SQL)
    std::condition_variable lockCv_;
    sqlite3* db_ = nullptr;
    Catalog cat_;
    uint64_t catalogVersion_ = 1;
    SessionImpl* current_ = nullptr;
    std::vector<int64_t>* rownums_ = nullptr;
    double stmtTime_ = 0;
    bool capture_ = true;
    int64_t lastRowid_ = 0;
    std::map<int, SessionImpl*> sessions_;
    int nextSid_ = 1;
    int serialCounter_ = 1;
    std::unordered_map<RowKey, Transaction*, RowKeyHash> rowLocks_;
    std::unordered_map<std::string, int64_t> objOfSql_;
    std::vector<rt::StoreRule> rules_;
    std::map<std::string, int> ruleIds_;
    std::map<std::string, std::shared_ptr<void>> plState_;   // the PL/SQL interpreter's and server packages' shared state
    std::map<int64_t, std::vector<Value>> triggerRows_;       // rows changed by BEFORE row triggers of a running INSERT
    int64_t nextTriggerRow_ = 0;

    void Exec(const std::string& sql);
    [[noreturn]] void RaiseSqlite(int rc, const char* context = nullptr);
    void EnsureTx() { if (sqlite3_get_autocommit(db_)) Exec("BEGIN"); }
    void SqliteCommit();
    void LoadCatalog();
    void Bootstrap();
    void CheckCatalogLayout();
    static std::string CatalogFingerprint();
    void CreateDictionary();
    void RefreshRuntimeTables();
    int RuleFor(const Object& t, const Column& c);
    int64_t NewObjectId();
    std::string NewConstraintName();
    void Touch() { ++catalogVersion_; }

    // transactions
    void ApplyUndo(Transaction& tx, size_t downTo);
    void EndTransaction(Transaction& tx, bool commit);
    void PersistOpenUndo(const Transaction* except);
    void RecoverUndo();
    void AcquireRow(Transaction& tx, RowKey key, int waitSeconds, SessionImpl& s);
    bool OthersLock(const Transaction& tx, int64_t obj) const;
    void ReleaseLocks(Transaction& tx);
    bool OthersChanged(const Transaction& reader, int64_t obj) const;
    void SyncDirty();
    void ClearDirty(Transaction& tx);
    int TxId(const Transaction& tx) const;
    static void PreUpdateHook(void* self, sqlite3* db, int op, const char* dbName, const char* table, sqlite3_int64 k1, sqlite3_int64 k2);
    static int ProgressHandler(void* self);

    // DDL
    void RunDdl(SessionImpl& s, sql::Statement& st, std::string_view text);
    void CreateTable(SessionImpl& s, sql::Statement& st, std::string_view text);
    void AlterTable(SessionImpl& s, sql::Statement& st);
    void DropObject(SessionImpl& s, sql::Statement& st);
    void CreateIndex(SessionImpl& s, sql::Statement& st);
    void CreateSequence(SessionImpl& s, sql::Statement& st, bool alter);
    void CreateView(SessionImpl& s, sql::Statement& st, std::string_view text);
    void CreateSynonym(SessionImpl& s, sql::Statement& st);
    void UserDdl(SessionImpl& s, sql::Statement& st);
    void Comment(SessionImpl& s, sql::Statement& st);
    void GrantRevoke(SessionImpl& s, sql::Statement& st);
    void Truncate(SessionImpl& s, sql::Statement& st);
    void DirectoryDdl(SessionImpl& s, sql::Statement& st);   // CREATE [OR REPLACE] / DROP DIRECTORY
    void EnsurePackageObjects();                              // the SYS objects of the server packages
    void RenameObject(SessionImpl& s, const std::string& owner, const std::string& from, const std::string& to);
    void BuildTable(const Object& o);                          // SQLite table, indexes and constraint triggers
    void BuildTriggers(const std::string& owner, const std::string& table);
    void DropTriggers(const std::string& owner, const std::string& table);
    void RebuildTable(const std::string& owner, const std::string& name);
    void WriteColumns(const Object& o);
    void ValidateConstraint(const Constraint& c);
    std::string NameInUse(const std::string& owner, const std::string& name);
    const Object* TableOf(SessionImpl& s, const sql::ObjectName& n);

    std::string dir_;
    int lockFd_ = -1;
    std::string version_ = kDefaultVersion;
    uint16_t charset_ = 873, ncharset_ = 2000;
};

// The database lock, taken once per thread: calls made by PL/SQL inside a call do not take it again.
class DbLock {
public:
    explicit DbLock(DatabaseImpl& d) : d_(d) {
        if (d.owner_.load() == std::this_thread::get_id()) return;
        lock_ = std::unique_lock<std::mutex>(d.mu_);
        d.owner_ = std::this_thread::get_id();
    }
    ~DbLock() {
        if (lock_.owns_lock()) d_.owner_ = std::thread::id();
    }
    DbLock(const DbLock&) = delete;
    DbLock& operator=(const DbLock&) = delete;
    std::unique_lock<std::mutex>* Outer() { return lock_.owns_lock() ? &lock_ : nullptr; }

private:
    DatabaseImpl& d_;
    std::unique_lock<std::mutex> lock_;
};

void DatabaseImpl::SetAccountStatus(std::string_view user, std::string_view status) {
    DbLock lock(*this);
    std::string name = Upper(std::string(user));
    if (!cat_.users.count(name)) Fail(1918, "user '" + name + "' does not exist");
    std::string st(status);
    if (st != "OPEN" && st != "EXPIRED" && st != "EXPIRED(GRACE)" && st != "LOCKED" && st != "EXPIRED & LOCKED")
        Fail(922, "missing or invalid option");
    EnsureTx();
    Exec("UPDATE ocs_users SET account_status = " + SqlString(st) + " WHERE username = " + SqlString(name));
    PersistOpenUndo(nullptr);
    SqliteCommit();
    LoadCatalog();
}

namespace {
std::mutex g_registryMutex;
std::map<std::string, std::weak_ptr<DatabaseImpl>>& Registry() {
    static std::map<std::string, std::weak_ptr<DatabaseImpl>> r;
    return r;
}
} // namespace

// ======================================================================== Session
namespace {

class SessionImpl final : public Session, public TranslateHost {
public:
    SessionImpl(std::shared_ptr<DatabaseImpl> db, const User& u, ConnectMode mode) : db_(std::move(db)), user_(u.name), schema_(u.name), mode_(mode) {
        uid_ = u.id;
        dba_ = u.dba || mode != ConnectMode::Normal;
        tx_.session = this;
    }
    ~SessionImpl() override;

    std::unique_ptr<Statement> Prepare(std::string_view sql) override;
    void Commit() override;
    void Rollback() override;
    bool InTransaction() const override { return tx_.active && (!tx_.undo.empty() || !tx_.lockedTables.empty()); }
    void ChangePassword(std::string_view oldPassword, std::string_view newPassword) override;
    void Interrupt() override {
        if (!inCall_.load()) return;
        interrupted_.store(true);
        db_->lockCv_.notify_all();
    }
    const std::string& UserName() const override { return user_; }
    int SessionId() const override { return sid_; }
    std::string NlsDateFormat() const override { return dateFormat_; }
    const EngineError* LogonWarning() const override { return warning_ ? &*warning_ : nullptr; }
    void WriteLob(const LobLocation& where, const ValueRef& content) override;

    // TranslateHost
    const Catalog& Cat() const override { return db_->cat_; }
    const std::string& SchemaName() const override { return schema_; }
    bool IsDba() const override { return dba_; }
    uint16_t DbCharsetId() const override { return db_->charset_; }
    uint16_t DbNCharsetId() const override { return db_->ncharset_; }
    int RuleFor(const Object& t, const Column& c) override { return db_->RuleFor(t, c); }
    int NewRownumSlot() override { return rownumSlots_++; }
    std::string ConsistentSource(const Object& o) override {
        if (!db_->OthersChanged(tx_, o.id)) return {};
        std::string cols;
        for (const auto& c : o.cols) cols += "," + Quote(c.name);
        std::string me = std::to_string(sid_), id = std::to_string(o.id);
        std::string tbl = Quote("ocs_before_" + std::to_string(o.id));
        // the before-image table exists once SyncDirty ran; create it empty for the translation
        db_->Exec("CREATE TEMP TABLE IF NOT EXISTS " + tbl + " (ocs_rowid INTEGER, ocs_tx INTEGER" + cols + ")");
        return "SELECT rowid AS ocs_rowid" + cols + " FROM " + Quote(o.sqlName) +
               " WHERE rowid NOT IN (SELECT rid FROM temp.ocs_dirty WHERE obj = " + id + " AND tx <> " + me + ")" +
               " UNION ALL SELECT ocs_rowid" + cols + " FROM temp." + tbl + " WHERE ocs_tx <> " + me;
    }

    std::shared_ptr<DatabaseImpl> db_;
    std::string user_, schema_;
    int64_t uid_ = 0;
    bool dba_ = false;
    ConnectMode mode_;
    int sid_ = 0, serial_ = 0;
    std::optional<EngineError> warning_;
    Transaction tx_;
    std::atomic<bool> killed_{false};
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> inCall_{false};
    bool readOnlyCall_ = false;
    std::string dateFormat_ = "DD-MON-RR";
    std::map<std::string, double> currval_;
    int rownumSlots_ = 0;
    double logonTime_ = 0;
    std::map<std::string, std::shared_ptr<void>> plState_;   // package state of this session

    // PL/SQL triggers and functions as the translator sees them (defined with the PL/SQL glue)
    bool HasRowTrigger(const Object& t, const std::string& event, const std::string& timing) override;
    bool PlSqlFunction(const std::vector<std::string>& name, ColumnInfo& type) override;
};

} // namespace
bool DatabaseImpl::IsDbaSession(SessionImpl* s) { return s->dba_; }
namespace {

// The PL/SQL glue (below, beside the interpreter's runner): SQL functions that call the interpreter
// (ora_trig_fire, ora_trig_new, ora_trig_row, ora_pl_call) and statement-level triggers.
void RegisterPlSqlFunctions(DatabaseImpl& d);
bool HasStatementTrigger(SessionImpl& s, const Object& t, const char* event, const char* timing);
void FireStatementTriggers(SessionImpl& s, const Object& t, const char* event, const char* timing);

// Everything a call does on the database happens inside one of these.
class Call {
public:
    explicit Call(SessionImpl& s, bool readOnly = false) : s_(s), lock_(*s.db_) {
        if (s.killed_) Fail(28, "your session has been killed");
        // a call made by PL/SQL inside a call keeps the outer call's break pending
        outer_ = !s.inCall_.load();
        if (outer_) {
            s.inCall_ = true;
            s.interrupted_ = false;
        }
        prevReadOnly_ = s.readOnlyCall_;
        s.readOnlyCall_ = readOnly;
        prev_ = s.db_->current_;
        s.db_->current_ = &s;
        s.db_->stmtTime_ = rt::Now();
    }
    ~Call() {
        s_.db_->current_ = prev_;
        s_.readOnlyCall_ = prevReadOnly_;
        if (outer_) {
            s_.inCall_ = false;
            s_.interrupted_ = false;
        }
    }
    std::unique_lock<std::mutex>* Lock() { return lock_.Outer(); }

private:
    SessionImpl& s_;
    DbLock lock_;
    SessionImpl* prev_ = nullptr;
    bool outer_ = true;
    bool prevReadOnly_ = false;
};

} // namespace

// ======================================================================== Database: files and catalog
void DatabaseImpl::Exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        int code;
        std::string text;
        if (rt::ParseOraMessage(msg, code, text)) throw EngineError(code, text);
        throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "], [" + sql.substr(0, 200) + "]"));
    }
}

void DatabaseImpl::RaiseSqlite(int rc, const char* context) {
    std::string msg = sqlite3_errmsg(db_);
    int code;
    std::string text;
    if (rt::ParseOraMessage(msg, code, text)) throw EngineError(code, text);
    if (rc == SQLITE_INTERRUPT) Fail(1013, "user requested cancel of current operation");
    if (rc == SQLITE_FULL) Fail(1653, "unable to extend table");
    if (rc == SQLITE_NOMEM) Fail(4030, "out of process memory");
    throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "]" + (context ? std::string(", [") + context + "]" : "")));
}

void DatabaseImpl::SqliteCommit() {
    if (sqlite3_get_autocommit(db_)) return;
    Exec("COMMIT");
}

DatabaseImpl::~DatabaseImpl() {
    if (db_) {
        // uncommitted work of sessions still open is rolled back
        for (auto& [sid, s] : sessions_) { (void)sid; (void)s; }
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
    if (lockFd_ >= 0) {
        flock(lockFd_, LOCK_UN);
        close(lockFd_);
    }
}

static std::map<std::string, std::string> ReadSettings(const std::string& path) {
    std::map<std::string, std::string> r;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == '#') continue;
        r[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return r;
}

void DatabaseImpl::OpenFiles(const DatabaseSettings* settings) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (!fs::is_directory(dir_)) Fail(1034, "ORACLE not available");
    std::string lockPath = dir_ + "/ocisim.lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) Fail(1034, "ORACLE not available");
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        close(lockFd_);
        lockFd_ = -1;
        Fail(1102, "cannot mount database in EXCLUSIVE mode\nThe database in " + dir_ + " is in use by another process");
    }
    std::string conf = dir_ + "/ocisim.conf";
    auto values = ReadSettings(conf);
    if (settings) {
        if (!settings->ServerVersion.empty()) values["version"] = settings->ServerVersion;
        if (!settings->CharacterSet.empty()) values["charset"] = settings->CharacterSet;
        if (!settings->NationalCharacterSet.empty()) values["ncharset"] = settings->NationalCharacterSet;
    }
    if (values["version"].empty()) values["version"] = kDefaultVersion;
    if (values["charset"].empty()) values["charset"] = "AL32UTF8";
    if (values["ncharset"].empty()) values["ncharset"] = "AL16UTF16";
    bool fresh = !fs::exists(dir_ + "/database.db");
    if (fresh || settings) {
        std::ofstream out(conf, std::ios::trunc);
        out << "# ocisim database settings\nversion=" << values["version"] << "\ncharset=" << values["charset"]
            << "\nncharset=" << values["ncharset"] << "\n";
    }
    version_ = values["version"];
    charset_ = CharsetIdOf(values["charset"]);
    ncharset_ = CharsetIdOf(values["ncharset"]);

    int rc = sqlite3_open_v2((dir_ + "/database.db").c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) Fail(1034, "ORACLE not available");
    sqlite3_extended_result_codes(db_, 0);
    rt::RegisterFunctions(db_, this);
    RegisterPlSqlFunctions(*this);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA case_sensitive_like=ON");
    Exec("PRAGMA foreign_keys=OFF");
    Exec("PRAGMA cache_size=-32000");
    Exec("PRAGMA temp_store=MEMORY");
    sqlite3_preupdate_hook(db_, &DatabaseImpl::PreUpdateHook, this);
    sqlite3_progress_handler(db_, 1000, &DatabaseImpl::ProgressHandler, this);
    if (fresh) {
        capture_ = false;
        Exec("BEGIN");
        Bootstrap();
        Exec("COMMIT");
        capture_ = true;
    }
    if (!fresh) CheckCatalogLayout();
    LoadCatalog();
    RecoverUndo();
    RefreshRuntimeTables();
    EnsurePackageObjects();
}

void DatabaseImpl::CheckCatalogLayout() {
    std::string stored;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT value FROM ocs_meta WHERE key = 'catalog'", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        stored = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    if (stored == CatalogFingerprint()) return;
    sqlite3_close(db_);
    db_ = nullptr;
    close(lockFd_);
    lockFd_ = -1;
    Fail(1034, "ORACLE not available\nThe database in " + dir_ +
                   " was created by another version of ocisim, whose catalog differs from this one's; "
                   "remove the directory to create a new database there");
}

int64_t DatabaseImpl::NewObjectId() {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "SELECT coalesce(max(object_id), 0) + 1 FROM ocs_objects", -1, &st, nullptr);
    int64_t id = 1;
    if (sqlite3_step(st) == SQLITE_ROW) id = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return std::max<int64_t>(id, 51000);
}

std::string DatabaseImpl::NewConstraintName() {
    Exec("UPDATE ocs_meta SET value = value + 1 WHERE key = 'constraint'");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "SELECT value FROM ocs_meta WHERE key = 'constraint'", -1, &st, nullptr);
    int64_t n = 5000;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    char b[32];
    std::snprintf(b, sizeof b, "SYS_C%06lld", static_cast<long long>(n));
    return b;
}

namespace {

std::string ColText(sqlite3_stmt* st, int i) {
    const unsigned char* t = sqlite3_column_text(st, i);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

struct Query {
    sqlite3_stmt* st = nullptr;
    Query(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            throw EngineError(600, sql::OraMessage(600, std::string("internal error code, arguments: [ocisim], [") + sqlite3_errmsg(db) + "]"));
    }
    ~Query() { sqlite3_finalize(st); }
    bool Next() { return sqlite3_step(st) == SQLITE_ROW; }
    std::string S(int i) { return ColText(st, i); }
    int64_t I(int i) { return sqlite3_column_int64(st, i); }
    double D(int i) { return sqlite3_column_double(st, i); }
    Query& Bind(int i, const std::string& v) { sqlite3_bind_text(st, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); return *this; }
    Query& Bind(int i, int64_t v) { sqlite3_bind_int64(st, i, v); return *this; }
    Query& BindD(int i, double v) { sqlite3_bind_double(st, i, v); return *this; }
    Query& BindNull(int i) { sqlite3_bind_null(st, i); return *this; }
    void Run(sqlite3* db) {
        int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            std::string msg = sqlite3_errmsg(db);
            int code;
            std::string text;
            if (rt::ParseOraMessage(msg, code, text)) throw EngineError(code, text);
            throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "]"));
        }
        sqlite3_reset(st);
    }
};

} // namespace

void DatabaseImpl::LoadCatalog() {
    cat_ = Catalog();
    objOfSql_.clear();
    {
        Query q(db_, "SELECT user_id, username, password, account_status, is_dba, created FROM ocs_users");
        while (q.Next()) {
            User u;
            u.id = q.I(0);
            u.name = q.S(1);
            u.password = q.S(2);
            u.status = q.S(3);
            u.dba = q.I(4) != 0;
            u.created = q.D(5);
            cat_.users[u.name] = u;
        }
    }
    {
        Query q(db_, "SELECT object_id, owner, object_name, object_type, status, sql_name, created, last_ddl FROM ocs_objects");
        while (q.Next()) {
            Object o;
            o.id = q.I(0);
            o.owner = q.S(1);
            o.name = q.S(2);
            o.type = q.S(3);
            o.status = q.S(4);
            o.sqlName = q.S(5);
            o.created = q.D(6);
            o.lastDdl = q.D(7);
            if (o.type == "INDEX" || o.type == "PACKAGE BODY" || o.type == "TYPE BODY") continue;
            cat_.objects[{o.owner, o.name}] = o;
        }
    }
    std::map<int64_t, Object*> byId;
    for (auto& [k, o] : cat_.objects) {
        byId[o.id] = &o;
        if (!o.sqlName.empty()) objOfSql_[o.sqlName] = o.id;
    }
    {
        Query q(db_, "SELECT object_id, column_name, ora_type, byte_size, char_size, char_used, prec, scale, nullable, csform, "
                     "data_type, data_length, data_default FROM ocs_columns ORDER BY object_id, column_id");
        while (q.Next()) {
            auto it = byId.find(q.I(0));
            if (it == byId.end()) continue;
            Column c;
            c.name = q.S(1);
            c.info.Name = c.name;
            c.info.DataType = static_cast<OraType>(q.I(2));
            c.info.ByteSize = static_cast<uint32_t>(q.I(3));
            c.info.CharSize = static_cast<uint32_t>(q.I(4));
            c.info.CharUsed = q.I(5) != 0;
            c.info.Precision = static_cast<int16_t>(q.I(6));
            c.info.Scale = static_cast<int8_t>(q.I(7));
            c.info.Nullable = q.I(8) != 0;
            c.info.CharsetForm = static_cast<uint8_t>(q.I(9));
            c.info.CharsetId = c.info.CharsetForm == 2 ? ncharset_ : c.info.CharsetForm == 1 ? charset_ : 0;
            c.typeText = q.S(10);
            c.dataLength = static_cast<int>(q.I(11));
            c.defaultText = q.S(12);
            it->second->cols.push_back(c);
        }
    }
    {
        Query q(db_, "SELECT owner, synonym_name, table_owner, table_name FROM ocs_synonyms");
        while (q.Next()) {
            auto it = cat_.objects.find({q.S(0), q.S(1)});
            if (it == cat_.objects.end()) continue;
            it->second.synOwner = q.S(2);
            it->second.synName = q.S(3);
        }
    }
    {
        Query q(db_, "SELECT owner, view_name, text FROM ocs_views");
        while (q.Next()) {
            auto it = cat_.objects.find({q.S(0), q.S(1)});
            if (it != cat_.objects.end()) it->second.viewText = q.S(2);
        }
    }
    {
        Query q(db_, "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, r_constraint_name, "
                     "delete_rule, generated, not_null, status FROM ocs_constraints");
        while (q.Next()) {
            Constraint c;
            c.owner = q.S(0);
            c.name = q.S(1);
            c.type = q.S(2).empty() ? 'C' : q.S(2)[0];
            c.table = q.S(3);
            c.search = q.S(4);
            c.rOwner = q.S(5);
            c.rName = q.S(6);
            c.deleteRule = q.S(7);
            c.generated = q.S(8) == "GENERATED NAME";
            c.notNull = q.I(9) != 0;
            c.status = q.S(10);
            cat_.constraints.push_back(c);
        }
        Query cc(db_, "SELECT owner, constraint_name, column_name FROM ocs_cons_columns ORDER BY owner, constraint_name, position");
        while (cc.Next()) {
            for (auto& c : cat_.constraints)
                if (c.owner == cc.S(0) && c.name == cc.S(1)) { c.cols.push_back(cc.S(2)); break; }
        }
    }
    {
        Query q(db_, "SELECT owner, index_name, table_owner, table_name, uniqueness FROM ocs_indexes");
        while (q.Next()) {
            Index i;
            i.owner = q.S(0);
            i.name = q.S(1);
            i.tableOwner = q.S(2);
            i.table = q.S(3);
            i.unique = q.S(4) == "UNIQUE";
            cat_.indexes.push_back(i);
        }
        Query ic(db_, "SELECT index_owner, index_name, column_name FROM ocs_ind_columns ORDER BY index_owner, index_name, column_position");
        while (ic.Next()) {
            for (auto& i : cat_.indexes)
                if (i.owner == ic.S(0) && i.name == ic.S(1)) { i.cols.push_back(ic.S(2)); break; }
        }
    }
    {
        Query q(db_, "SELECT grantee, owner, table_name, privilege FROM ocs_grants");
        while (q.Next()) cat_.grants.emplace_back(q.S(0), q.S(1), q.S(2), q.S(3));
    }
    Touch();
}

int DatabaseImpl::RuleFor(const Object& t, const Column& c) {
    std::string key = t.sqlName + "|" + c.name + "|" + std::to_string(static_cast<int>(c.info.DataType)) + "|" +
                      std::to_string(c.info.CharSize) + "|" + std::to_string(c.info.CharUsed) + "|" +
                      std::to_string(c.info.Precision) + "|" + std::to_string(c.info.Scale) + "|" + std::to_string(c.dataLength);
    auto it = ruleIds_.find(key);
    if (it != ruleIds_.end()) return it->second;
    rt::StoreRule r;
    r.owner = t.owner;
    r.table = t.name;
    r.column = c.name;
    switch (c.info.DataType) {
    case OraType::Varchar2: r.kind = rt::StoreRule::VarChar; break;
    case OraType::Char: r.kind = rt::StoreRule::Char; break;
    case OraType::Number:
        r.kind = rt::StoreRule::Number;
        r.precision = c.info.Precision;
        r.scale = c.info.Scale;
        r.isFloat = c.info.Scale == -127;
        break;
    case OraType::BinaryFloat:
    case OraType::BinaryDouble:
        r.kind = rt::StoreRule::Number;
        r.isFloat = true;
        break;
    case OraType::Date: r.kind = rt::StoreRule::Date; break;
    case OraType::Timestamp:
    case OraType::TimestampTZ:
    case OraType::TimestampLTZ: r.kind = rt::StoreRule::Date; r.fraction = true; break;
    case OraType::Raw: r.kind = rt::StoreRule::Raw; r.length = static_cast<int>(c.info.ByteSize); break;
    case OraType::LongRaw:
    case OraType::Blob: r.kind = rt::StoreRule::Raw; r.length = 0; break;
    default: r.kind = rt::StoreRule::Other;
    }
    if (r.kind == rt::StoreRule::VarChar || r.kind == rt::StoreRule::Char) {
        r.charSemantics = c.info.CharUsed || c.info.CharsetForm == 2;
        r.length = r.charSemantics ? static_cast<int>(c.info.CharSize) : static_cast<int>(c.dataLength);
    }
    rules_.push_back(r);
    int id = static_cast<int>(rules_.size() - 1);
    ruleIds_[key] = id;
    return id;
}

// ---- the catalog tables, the dictionary views and the demo schema of a new database
namespace {

// The catalog tables of a new database.
const char* const kCatalogTables = R"(
CREATE TABLE ocs_meta(key TEXT PRIMARY KEY, value);
INSERT INTO ocs_meta VALUES ('constraint', 5000);
CREATE TABLE ocs_users(user_id INTEGER PRIMARY KEY, username TEXT UNIQUE, password TEXT, account_status TEXT,
  is_dba INTEGER, created REAL, expiry_date REAL, lock_date REAL);
CREATE TABLE ocs_objects(object_id INTEGER PRIMARY KEY, owner TEXT, object_name TEXT, object_type TEXT, status TEXT,
  sql_name TEXT, created REAL, last_ddl REAL, temporary TEXT DEFAULT 'N');
CREATE INDEX ocs_objects_name ON ocs_objects(owner, object_name);
CREATE TABLE ocs_columns(object_id INTEGER, column_id INTEGER, column_name TEXT, ora_type INTEGER, byte_size INTEGER,
  char_size INTEGER, char_used INTEGER, prec INTEGER, scale INTEGER, nullable INTEGER, csform INTEGER, data_type TEXT,
  data_length INTEGER, data_precision INTEGER, data_scale INTEGER, data_default TEXT, PRIMARY KEY(object_id, column_id));
CREATE TABLE ocs_constraints(owner TEXT, constraint_name TEXT, constraint_type TEXT, table_name TEXT, search_condition TEXT,
  r_owner TEXT, r_constraint_name TEXT, delete_rule TEXT, status TEXT DEFAULT 'ENABLED', generated TEXT, not_null INTEGER DEFAULT 0,
  last_change REAL, PRIMARY KEY(owner, constraint_name));
CREATE TABLE ocs_cons_columns(owner TEXT, constraint_name TEXT, table_name TEXT, column_name TEXT, position INTEGER);
CREATE TABLE ocs_indexes(owner TEXT, index_name TEXT, table_owner TEXT, table_name TEXT, uniqueness TEXT, PRIMARY KEY(owner, index_name));
CREATE TABLE ocs_ind_columns(index_owner TEXT, index_name TEXT, table_owner TEXT, table_name TEXT, column_name TEXT,
  column_position INTEGER, descend TEXT);
CREATE TABLE ocs_sequences(owner TEXT, sequence_name TEXT, min_value REAL, max_value REAL, increment_by REAL, cycle_flag TEXT,
  cache_size INTEGER, last_number REAL, PRIMARY KEY(owner, sequence_name));
CREATE TABLE ocs_synonyms(owner TEXT, synonym_name TEXT, table_owner TEXT, table_name TEXT, db_link TEXT, PRIMARY KEY(owner, synonym_name));
CREATE TABLE ocs_views(owner TEXT, view_name TEXT, text TEXT, PRIMARY KEY(owner, view_name));
CREATE TABLE ocs_comments(owner TEXT, table_name TEXT, column_name TEXT, comments TEXT);
CREATE TABLE ocs_grants(grantee TEXT, owner TEXT, table_name TEXT, privilege TEXT, grantor TEXT);
CREATE TABLE ocs_sys_privs(grantee TEXT, privilege TEXT);
CREATE TABLE ocs_undo(seq INTEGER PRIMARY KEY, tbl TEXT, op INTEGER, row_id INTEGER, new_rowid INTEGER, vals BLOB);
CREATE TABLE ocs_version(banner TEXT);
CREATE TABLE ocs_nls(parameter TEXT, value TEXT);
CREATE TABLE ocs_source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);
CREATE TABLE ocs_errors(owner TEXT, name TEXT, type TEXT, sequence INTEGER, line INTEGER, position INTEGER, text TEXT);
CREATE TABLE ocs_arguments(unit_owner TEXT, unit_name TEXT, unit_type TEXT, object_id INTEGER, object_name TEXT, package_name TEXT,
  overload TEXT, argument_name TEXT, position INTEGER, sequence INTEGER, data_level INTEGER, data_type TEXT, defaulted TEXT,
  in_out TEXT, data_length INTEGER, data_precision INTEGER, data_scale INTEGER, type_owner TEXT, type_name TEXT);
CREATE TABLE ocs_types(owner TEXT, type_name TEXT, typecode TEXT, attributes INTEGER, methods INTEGER, type_oid BLOB);
CREATE TABLE ocs_type_attrs(owner TEXT, type_name TEXT, attr_name TEXT, attr_type_owner TEXT, attr_type_name TEXT, length INTEGER,
  precision INTEGER, scale INTEGER, attr_no INTEGER);
CREATE TABLE ocs_type_methods(owner TEXT, type_name TEXT, method_name TEXT, method_no INTEGER, method_type TEXT, parameters INTEGER,
  results INTEGER, is_static TEXT);
CREATE TABLE ocs_type_info(owner TEXT, type_name TEXT, final TEXT, coll_type TEXT, upper_bound INTEGER, elem_type_owner TEXT,
  elem_type_name TEXT, length INTEGER, precision INTEGER, scale INTEGER);
CREATE TABLE ocs_directories(owner TEXT, directory_name TEXT PRIMARY KEY, directory_path TEXT);
)";

} // namespace

void DatabaseImpl::Bootstrap() {
    Exec(kCatalogTables);
    Exec("INSERT INTO ocs_meta VALUES ('catalog', '" + CatalogFingerprint() + "')");
    double now = rt::Now();
    struct U { int id; const char* name; const char* pw; int dba; };
    const U users[] = {{0, "SYS", "CHANGE_ON_INSTALL", 1}, {5, "SYSTEM", "MANAGER", 1}, {54, "SCOTT", "TIGER", 0}};
    for (const auto& u : users) {
        Query q(db_, "INSERT INTO ocs_users VALUES (?, ?, ?, 'OPEN', ?, ?, NULL, NULL)");
        q.Bind(1, static_cast<int64_t>(u.id)).Bind(2, std::string(u.name)).Bind(3, std::string(u.pw)).Bind(4, static_cast<int64_t>(u.dba)).BindD(5, now);
        q.Run(db_);
    }
    Exec("INSERT INTO ocs_users VALUES (1, 'PUBLIC', NULL, 'OPEN', 0, " + std::to_string(now) + ", NULL, NULL)");
    CreateDictionary();
    LoadCatalog();
    // the classic demo schema, through the engine's own SQL
    auto self = std::static_pointer_cast<DatabaseImpl>(shared_from_this());
    User scott = cat_.users["SCOTT"];
    SessionImpl s(self, scott, ConnectMode::Normal);
    const char* demo[] = {
        "CREATE TABLE DEPT (DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(14), LOC VARCHAR2(13))",
        "CREATE TABLE EMP (EMPNO NUMBER(4) CONSTRAINT PK_EMP PRIMARY KEY, ENAME VARCHAR2(10), JOB VARCHAR2(9), MGR NUMBER(4), "
        "HIREDATE DATE, SAL NUMBER(7,2), COMM NUMBER(7,2), DEPTNO NUMBER(2) CONSTRAINT FK_DEPTNO REFERENCES DEPT)",
        "CREATE TABLE BONUS (ENAME VARCHAR2(10), JOB VARCHAR2(9), SAL NUMBER, COMM NUMBER)",
        "CREATE TABLE SALGRADE (GRADE NUMBER, LOSAL NUMBER, HISAL NUMBER)",
    };
    for (const char* d : demo) {
        auto st = sql::Parse(d);
        CreateTable(s, *st, d);
        LoadCatalog();
    }
    const char* rows[] = {
        "INSERT INTO DEPT VALUES (10,'ACCOUNTING','NEW YORK')", "INSERT INTO DEPT VALUES (20,'RESEARCH','DALLAS')",
        "INSERT INTO DEPT VALUES (30,'SALES','CHICAGO')", "INSERT INTO DEPT VALUES (40,'OPERATIONS','BOSTON')",
        "INSERT INTO EMP VALUES (7369,'SMITH','CLERK',7902,TO_DATE('17-12-1980','DD-MM-YYYY'),800,NULL,20)",
        "INSERT INTO EMP VALUES (7499,'ALLEN','SALESMAN',7698,TO_DATE('20-2-1981','DD-MM-YYYY'),1600,300,30)",
        "INSERT INTO EMP VALUES (7521,'WARD','SALESMAN',7698,TO_DATE('22-2-1981','DD-MM-YYYY'),1250,500,30)",
        "INSERT INTO EMP VALUES (7566,'JONES','MANAGER',7839,TO_DATE('2-4-1981','DD-MM-YYYY'),2975,NULL,20)",
        "INSERT INTO EMP VALUES (7654,'MARTIN','SALESMAN',7698,TO_DATE('28-9-1981','DD-MM-YYYY'),1250,1400,30)",
        "INSERT INTO EMP VALUES (7698,'BLAKE','MANAGER',7839,TO_DATE('1-5-1981','DD-MM-YYYY'),2850,NULL,30)",
        "INSERT INTO EMP VALUES (7782,'CLARK','MANAGER',7839,TO_DATE('9-6-1981','DD-MM-YYYY'),2450,NULL,10)",
        "INSERT INTO EMP VALUES (7788,'SCOTT','ANALYST',7566,TO_DATE('13-7-1987','DD-MM-YYYY'),3000,NULL,20)",
        "INSERT INTO EMP VALUES (7839,'KING','PRESIDENT',NULL,TO_DATE('17-11-1981','DD-MM-YYYY'),5000,NULL,10)",
        "INSERT INTO EMP VALUES (7844,'TURNER','SALESMAN',7698,TO_DATE('8-9-1981','DD-MM-YYYY'),1500,0,30)",
        "INSERT INTO EMP VALUES (7876,'ADAMS','CLERK',7788,TO_DATE('13-7-1987','DD-MM-YYYY'),1100,NULL,20)",
        "INSERT INTO EMP VALUES (7900,'JAMES','CLERK',7698,TO_DATE('3-12-1981','DD-MM-YYYY'),950,NULL,30)",
        "INSERT INTO EMP VALUES (7902,'FORD','ANALYST',7566,TO_DATE('3-12-1981','DD-MM-YYYY'),3000,NULL,20)",
        "INSERT INTO EMP VALUES (7934,'MILLER','CLERK',7782,TO_DATE('23-1-1982','DD-MM-YYYY'),1300,NULL,10)",
        "INSERT INTO SALGRADE VALUES (1,700,1200)", "INSERT INTO SALGRADE VALUES (2,1201,1400)",
        "INSERT INTO SALGRADE VALUES (3,1401,2000)", "INSERT INTO SALGRADE VALUES (4,2001,3000)",
        "INSERT INTO SALGRADE VALUES (5,3001,9999)",
    };
    SessionImpl* prev = current_;
    current_ = &s;
    for (const char* r : rows) {
        auto st = sql::Parse(r);
        auto ph = sql::FindPlaceholders(r);
        Translated t = Translate(s, *st, r, ph);
        Exec(t.sql);
    }
    current_ = prev;
    s.db_.reset();
}

namespace {

// Dictionary views: name, columns ("NAME:type" with V<n> VARCHAR2(n), N NUMBER, D DATE, L LONG), body.
struct DictView { const char* name; const char* cols; const char* body; const char* userOf; };

const DictView kViews[] = {
    {"DUAL", nullptr, nullptr, nullptr},
    {"ALL_USERS", "USERNAME:V30,USER_ID:N,CREATED:D", "SELECT username, user_id, created FROM ocs_users WHERE username <> 'PUBLIC'", nullptr},
    {"DBA_USERS", "USERNAME:V30,USER_ID:N,PASSWORD:V30,ACCOUNT_STATUS:V32,LOCK_DATE:D,EXPIRY_DATE:D,DEFAULT_TABLESPACE:V30,TEMPORARY_TABLESPACE:V30,CREATED:D,PROFILE:V30",
     "SELECT username, user_id, NULL, account_status, lock_date, expiry_date, 'USERS', 'TEMP', created, 'DEFAULT' FROM ocs_users WHERE username <> 'PUBLIC'", nullptr},
    {"USER_USERS", "USERNAME:V30,USER_ID:N,ACCOUNT_STATUS:V32,LOCK_DATE:D,EXPIRY_DATE:D,DEFAULT_TABLESPACE:V30,TEMPORARY_TABLESPACE:V30,CREATED:D",
     "SELECT username, user_id, account_status, lock_date, expiry_date, 'USERS', 'TEMP', created FROM ocs_users WHERE username = ora_user()", nullptr},
    {"ALL_OBJECTS", "OWNER:V30,OBJECT_NAME:V128,SUBOBJECT_NAME:V30,OBJECT_ID:N,DATA_OBJECT_ID:N,OBJECT_TYPE:V19,CREATED:D,LAST_DDL_TIME:D,TIMESTAMP:V19,STATUS:V7,TEMPORARY:V1,GENERATED:V1,SECONDARY:V1",
     "SELECT owner, object_name, NULL, object_id, CASE WHEN object_type IN ('TABLE','INDEX') THEN object_id END, object_type, created, last_ddl, "
     "ora_to_char_date(created, 'YYYY-MM-DD:HH24:MI:SS'), status, temporary, 'N', 'N' FROM ocs_objects", "USER_OBJECTS"},
    {"ALL_TABLES", "OWNER:V30,TABLE_NAME:V30,TABLESPACE_NAME:V30,CLUSTER_NAME:V30,IOT_NAME:V30,STATUS:V8,PCT_FREE:N,NUM_ROWS:N,BLOCKS:N,AVG_ROW_LEN:N,LAST_ANALYZED:D,TEMPORARY:V1,NESTED:V3,PARTITIONED:V3,IOT_TYPE:V12,DURATION:V15",
     "SELECT owner, object_name, 'USERS', NULL, NULL, 'VALID', 10, NULL, NULL, NULL, NULL, temporary, 'NO', 'NO', NULL, NULL FROM ocs_objects WHERE object_type = 'TABLE'", "USER_TABLES"},
    {"ALL_VIEWS", "OWNER:V30,VIEW_NAME:V30,TEXT_LENGTH:N,TEXT:L", "SELECT owner, view_name, length(text), text FROM ocs_views", "USER_VIEWS"},
    {"ALL_TAB_COLUMNS", "OWNER:V30,TABLE_NAME:V30,COLUMN_NAME:V30,DATA_TYPE:V106,DATA_TYPE_MOD:V3,DATA_TYPE_OWNER:V30,DATA_LENGTH:N,DATA_PRECISION:N,DATA_SCALE:N,NULLABLE:V1,COLUMN_ID:N,DEFAULT_LENGTH:N,DATA_DEFAULT:L,CHAR_LENGTH:N,CHAR_USED:V1",
     "SELECT o.owner, o.object_name, c.column_name, c.data_type, NULL, NULL, c.data_length, c.data_precision, c.data_scale, "
     "CASE WHEN c.nullable THEN 'Y' ELSE 'N' END, c.column_id, length(c.data_default), c.data_default, "
     "CASE WHEN c.csform > 0 THEN c.char_size ELSE 0 END, CASE WHEN c.csform = 0 THEN NULL WHEN c.char_used THEN 'C' ELSE 'B' END "
     "FROM ocs_objects o JOIN ocs_columns c ON c.object_id = o.object_id WHERE o.object_type IN ('TABLE', 'VIEW')", "USER_TAB_COLUMNS"},
    {"ALL_CONSTRAINTS", "OWNER:V30,CONSTRAINT_NAME:V30,CONSTRAINT_TYPE:V1,TABLE_NAME:V30,SEARCH_CONDITION:L,R_OWNER:V30,R_CONSTRAINT_NAME:V30,DELETE_RULE:V9,STATUS:V8,DEFERRABLE:V14,DEFERRED:V9,VALIDATED:V13,GENERATED:V14,BAD:V3,RELY:V4,LAST_CHANGE:D,INDEX_OWNER:V30,INDEX_NAME:V30",
     "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, r_constraint_name, "
     "CASE WHEN constraint_type = 'R' THEN delete_rule END, status, 'NOT DEFERRABLE', 'IMMEDIATE', 'VALIDATED', generated, NULL, NULL, last_change, "
     "CASE WHEN constraint_type IN ('P','U') THEN owner END, CASE WHEN constraint_type IN ('P','U') THEN constraint_name END FROM ocs_constraints", "USER_CONSTRAINTS"},
    {"ALL_CONS_COLUMNS", "OWNER:V30,CONSTRAINT_NAME:V30,TABLE_NAME:V30,COLUMN_NAME:V4000,POSITION:N",
     "SELECT owner, constraint_name, table_name, column_name, CASE WHEN (SELECT constraint_type FROM ocs_constraints k WHERE k.owner = cc.owner AND k.constraint_name = cc.constraint_name) = 'C' THEN NULL ELSE position END FROM ocs_cons_columns cc", "USER_CONS_COLUMNS"},
    {"ALL_SYNONYMS", "OWNER:V30,SYNONYM_NAME:V30,TABLE_OWNER:V30,TABLE_NAME:V30,DB_LINK:V128",
     "SELECT owner, synonym_name, table_owner, table_name, db_link FROM ocs_synonyms", "USER_SYNONYMS"},
    {"ALL_SEQUENCES", "SEQUENCE_OWNER:V30,SEQUENCE_NAME:V30,MIN_VALUE:N,MAX_VALUE:N,INCREMENT_BY:N,CYCLE_FLAG:V1,ORDER_FLAG:V1,CACHE_SIZE:N,LAST_NUMBER:N",
     "SELECT owner, sequence_name, min_value, max_value, increment_by, cycle_flag, 'N', cache_size, last_number FROM ocs_sequences", "USER_SEQUENCES"},
    {"ALL_INDEXES", "OWNER:V30,INDEX_NAME:V30,INDEX_TYPE:V27,TABLE_OWNER:V30,TABLE_NAME:V30,TABLE_TYPE:V11,UNIQUENESS:V9,TABLESPACE_NAME:V30,STATUS:V8",
     "SELECT owner, index_name, 'NORMAL', table_owner, table_name, 'TABLE', uniqueness, 'USERS', 'VALID' FROM ocs_indexes", "USER_INDEXES"},
    {"ALL_IND_COLUMNS", "INDEX_OWNER:V30,INDEX_NAME:V30,TABLE_OWNER:V30,TABLE_NAME:V30,COLUMN_NAME:V4000,COLUMN_POSITION:N,COLUMN_LENGTH:N,DESCEND:V4",
     "SELECT index_owner, index_name, table_owner, table_name, column_name, column_position, 22, descend FROM ocs_ind_columns", "USER_IND_COLUMNS"},
    {"ALL_TAB_COMMENTS", "OWNER:V30,TABLE_NAME:V30,TABLE_TYPE:V11,COMMENTS:V4000",
     "SELECT o.owner, o.object_name, o.object_type, (SELECT comments FROM ocs_comments c WHERE c.owner = o.owner AND c.table_name = o.object_name AND c.column_name IS NULL) "
     "FROM ocs_objects o WHERE o.object_type IN ('TABLE', 'VIEW')", "USER_TAB_COMMENTS"},
    {"ALL_COL_COMMENTS", "OWNER:V30,TABLE_NAME:V30,COLUMN_NAME:V30,COMMENTS:V4000",
     "SELECT o.owner, o.object_name, c.column_name, (SELECT comments FROM ocs_comments m WHERE m.owner = o.owner AND m.table_name = o.object_name AND m.column_name = c.column_name) "
     "FROM ocs_objects o JOIN ocs_columns c ON c.object_id = o.object_id WHERE o.object_type IN ('TABLE', 'VIEW')", "USER_COL_COMMENTS"},
    {"ALL_TAB_PRIVS", "GRANTOR:V30,GRANTEE:V30,TABLE_SCHEMA:V30,TABLE_NAME:V30,PRIVILEGE:V40,GRANTABLE:V3",
     "SELECT grantor, grantee, owner, table_name, privilege, 'NO' FROM ocs_grants", nullptr},
    {"ALL_SOURCE", "OWNER:V30,NAME:V30,TYPE:V12,LINE:N,TEXT:V4000", "SELECT owner, name, type, line, text FROM ocs_source", "USER_SOURCE"},
    {"ALL_ERRORS", "OWNER:V30,NAME:V30,TYPE:V12,SEQUENCE:N,LINE:N,POSITION:N,TEXT:V4000",
     "SELECT owner, name, type, sequence, line, position, text FROM ocs_errors", "USER_ERRORS"},
    {"V_$VERSION", "BANNER:V64", "SELECT banner FROM ocs_version", nullptr},
    {"NLS_DATABASE_PARAMETERS", "PARAMETER:V30,VALUE:V40", "SELECT parameter, value FROM ocs_nls", nullptr},
    {"NLS_SESSION_PARAMETERS", "PARAMETER:V30,VALUE:V40",
     "SELECT parameter, CASE parameter WHEN 'NLS_DATE_FORMAT' THEN ora_userenv('USERENV','NLS_DATE_FORMAT') ELSE value END FROM ocs_nls "
     "WHERE parameter NOT IN ('NLS_CHARACTERSET', 'NLS_NCHAR_CHARACTERSET', 'NLS_RDBMS_VERSION')", nullptr},
    {"NLS_INSTANCE_PARAMETERS", "PARAMETER:V30,VALUE:V40", "SELECT parameter, value FROM ocs_nls WHERE parameter NOT IN ('NLS_CHARACTERSET', 'NLS_NCHAR_CHARACTERSET', 'NLS_RDBMS_VERSION')", nullptr},
    {"V_$SESSION", "SADDR:V16,SID:N,SERIAL#:N,AUDSID:N,USER#:N,USERNAME:V30,COMMAND:N,STATUS:V8,SCHEMANAME:V30,OSUSER:V30,PROCESS:V12,MACHINE:V64,TERMINAL:V30,PROGRAM:V48,TYPE:V10,LOGON_TIME:D,MODULE:V48,ACTION:V32,CLIENT_INFO:V64",
     "SELECT printf('%016X', sid), sid, serial, sid, user_id, username, 0, status, schemaname, osuser, '1234', machine, 'pts/0', program, 'USER', logon_time, module, action, client_info FROM temp.ocs_sessions", nullptr},
    {"ALL_ARGUMENTS", "OWNER:V30,OBJECT_NAME:V30,PACKAGE_NAME:V30,OBJECT_ID:N,OVERLOAD:V40,ARGUMENT_NAME:V30,POSITION:N,SEQUENCE:N,"
                      "DATA_LEVEL:N,DATA_TYPE:V30,DEFAULTED:V1,IN_OUT:V9,DATA_LENGTH:N,DATA_PRECISION:N,DATA_SCALE:N,TYPE_OWNER:V30,TYPE_NAME:V30",
     "SELECT unit_owner, object_name, package_name, object_id, overload, argument_name, position, sequence, data_level, data_type, "
     "defaulted, in_out, data_length, data_precision, data_scale, type_owner, type_name FROM ocs_arguments", "USER_ARGUMENTS"},
    {"ALL_TYPES", "OWNER:V30,TYPE_NAME:V30,TYPECODE:V30,ATTRIBUTES:N,METHODS:N,FINAL:V3",
     "SELECT t.owner, t.type_name, t.typecode, t.attributes, t.methods, COALESCE((SELECT i.final FROM ocs_type_info i "
     "WHERE i.owner = t.owner AND i.type_name = t.type_name), 'YES') FROM ocs_types t", "USER_TYPES"},
    {"ALL_COLL_TYPES", "OWNER:V30,TYPE_NAME:V30,COLL_TYPE:V30,UPPER_BOUND:N,ELEM_TYPE_OWNER:V30,ELEM_TYPE_NAME:V30,LENGTH:N,PRECISION:N,SCALE:N",
     "SELECT owner, type_name, coll_type, upper_bound, elem_type_owner, elem_type_name, length, precision, scale FROM ocs_type_info "
     "WHERE coll_type IS NOT NULL", "USER_COLL_TYPES"},
    {"ALL_TYPE_ATTRS", "OWNER:V30,TYPE_NAME:V30,ATTR_NAME:V30,ATTR_TYPE_OWNER:V30,ATTR_TYPE_NAME:V30,LENGTH:N,PRECISION:N,SCALE:N,ATTR_NO:N",
     "SELECT owner, type_name, attr_name, attr_type_owner, attr_type_name, length, precision, scale, attr_no FROM ocs_type_attrs", "USER_TYPE_ATTRS"},
    {"ALL_TYPE_METHODS", "OWNER:V30,TYPE_NAME:V30,METHOD_NAME:V30,METHOD_NO:N,METHOD_TYPE:V6,PARAMETERS:N,RESULTS:N,STATIC:V3",
     "SELECT owner, type_name, method_name, method_no, method_type, parameters, results, is_static FROM ocs_type_methods", "USER_TYPE_METHODS"},
    {"ALL_DIRECTORIES", "OWNER:V30,DIRECTORY_NAME:V30,DIRECTORY_PATH:V4000",
     "SELECT owner, directory_name, directory_path FROM ocs_directories", nullptr},
    {"SESSION_ROLES", "ROLE:V30", "SELECT 'CONNECT' UNION ALL SELECT 'RESOURCE' UNION ALL SELECT 'DBA' WHERE (SELECT is_dba FROM ocs_users WHERE username = ora_user())", nullptr},
    {"USER_ROLE_PRIVS", "USERNAME:V30,GRANTED_ROLE:V30,ADMIN_OPTION:V3,DEFAULT_ROLE:V3,OS_GRANTED:V3",
     "SELECT ora_user(), 'CONNECT', 'NO', 'YES', 'NO' UNION ALL SELECT ora_user(), 'RESOURCE', 'NO', 'YES', 'NO' UNION ALL "
     "SELECT ora_user(), 'DBA', 'NO', 'YES', 'NO' WHERE (SELECT is_dba FROM ocs_users WHERE username = ora_user())", nullptr},
};

ColumnInfo DictType(const std::string& shape, uint16_t cs, std::string& typeText, int& dataLength) {
    ColumnInfo c;
    if (shape[0] == 'V') {
        int n = std::atoi(shape.c_str() + 1);
        c.DataType = OraType::Varchar2;
        c.ByteSize = static_cast<uint32_t>(n);
        c.CharSize = static_cast<uint32_t>(n);
        c.CharsetForm = 1;
        c.CharsetId = cs;
        typeText = "VARCHAR2";
        dataLength = n;
    } else if (shape[0] == 'N') {
        c.DataType = OraType::Number;
        c.ByteSize = 22;
        c.Scale = -127;
        typeText = "NUMBER";
        dataLength = 22;
    } else if (shape[0] == 'D') {
        c.DataType = OraType::Date;
        c.ByteSize = 7;
        typeText = "DATE";
        dataLength = 7;
    } else {
        c.DataType = OraType::Long;
        c.ByteSize = 0;
        c.CharsetForm = 1;
        c.CharsetId = cs;
        typeText = "LONG";
        dataLength = 0;
    }
    return c;
}

} // namespace

// A fingerprint of the catalog's layout (its tables and dictionary views) as this engine writes
// them. A database keeps the one it was created with; an engine whose layout differs refuses to
// open it rather than fail later on a catalog table or view that is not there.
std::string DatabaseImpl::CatalogFingerprint() {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](const char* text) {
        for (const char* c = text ? text : ""; *c; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
        h = (h ^ 0xff) * 1099511628211ull;
    };
    mix(kCatalogTables);
    for (const auto& v : kViews) {
        mix(v.name);
        mix(v.cols);
        mix(v.body);
        mix(v.userOf);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

void DatabaseImpl::CreateDictionary() {
    Exec("CREATE TABLE \"SYS.DUAL\" (\"DUMMY\" TEXT)");
    Exec("INSERT INTO \"SYS.DUAL\" VALUES ('X')");
    double now = rt::Now();
    int64_t id = 100;
    auto addObject = [&](const std::string& owner, const std::string& name, const std::string& type, const std::string& sqlName) {
        Query q(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,?,'VALID',?,?,?)");
        q.Bind(1, ++id).Bind(2, owner).Bind(3, name).Bind(4, type).Bind(5, sqlName).BindD(6, now).BindD(7, now);
        q.Run(db_);
        return id;
    };
    auto addColumns = [&](int64_t obj, const std::vector<std::pair<std::string, std::string>>& cols) {
        int pos = 0;
        for (const auto& [name, shape] : cols) {
            std::string typeText;
            int len = 0;
            ColumnInfo c = DictType(shape, charset_, typeText, len);
            Query q(db_, "INSERT INTO ocs_columns VALUES (?,?,?,?,?,?,0,?,?,1,?,?,?,NULL,NULL,NULL)");
            q.Bind(1, obj).Bind(2, static_cast<int64_t>(++pos)).Bind(3, name).Bind(4, static_cast<int64_t>(c.DataType))
                .Bind(5, static_cast<int64_t>(c.ByteSize)).Bind(6, static_cast<int64_t>(c.CharSize)).Bind(7, static_cast<int64_t>(c.Precision))
                .Bind(8, static_cast<int64_t>(c.Scale)).Bind(9, static_cast<int64_t>(c.CharsetForm)).Bind(10, typeText).Bind(11, static_cast<int64_t>(len));
            q.Run(db_);
        }
    };
    auto publicSynonym = [&](const std::string& name, const std::string& target) {
        addObject("PUBLIC", name, "SYNONYM", "");
        Query q(db_, "INSERT INTO ocs_synonyms VALUES ('PUBLIC', ?, 'SYS', ?, NULL)");
        q.Bind(1, name).Bind(2, target);
        q.Run(db_);
    };
    for (const auto& v : kViews) {
        std::string name = v.name;
        if (!v.cols) {
            int64_t obj = addObject("SYS", "DUAL", "TABLE", "SYS.DUAL");
            addColumns(obj, {{"DUMMY", "V1"}});
            publicSynonym("DUAL", "DUAL");
            continue;
        }
        std::vector<std::pair<std::string, std::string>> cols;
        std::stringstream ss(v.cols);
        std::string item;
        while (std::getline(ss, item, ',')) {
            size_t c = item.find(':');
            cols.emplace_back(item.substr(0, c), item.substr(c + 1));
        }
        std::string colList;
        for (const auto& c : cols) colList += (colList.empty() ? "" : ",") + Quote(c.first);
        bool temp = std::strstr(v.body, "temp.") != nullptr;
        std::string body = v.body;
        bool filtered = name.rfind("ALL_", 0) == 0 && name != "ALL_USERS" && name != "ALL_TAB_PRIVS" && !temp;
        if (filtered) {
            // ALL_ views show what the user may see (own objects, granted ones, SYS and PUBLIC);
            // DBA_ views show everything
            std::string ownerCol = cols[0].first, nameCol = cols[1].first;
            if (name == "ALL_CONS_COLUMNS") nameCol = "TABLE_NAME";
            if (name == "ALL_INDEXES" || name == "ALL_IND_COLUMNS") { ownerCol = "TABLE_OWNER"; nameCol = "TABLE_NAME"; }
            std::string dbaSql = "SYS.DBA_" + name.substr(4);
            Exec("CREATE VIEW " + Quote(dbaSql) + " (" + colList + ") AS " + v.body);
            body = "SELECT * FROM " + Quote(dbaSql) + " WHERE ora_visible(" + Quote(ownerCol) + ", " + Quote(nameCol) + ")";
        }
        if (!temp) Exec("CREATE VIEW " + Quote("SYS." + name) + " (" + colList + ") AS " + body);
        int64_t obj = addObject("SYS", name, "VIEW", "SYS." + name);
        addColumns(obj, cols);
        std::string pub = name;
        if (pub.rfind("V_$", 0) == 0) pub = "V$" + pub.substr(3);
        publicSynonym(pub, name);
        bool explicitDba = false;
        for (const auto& w : kViews) if (name.rfind("ALL_", 0) == 0 && std::string(w.name) == "DBA_" + name.substr(4)) explicitDba = true;
        if (name.rfind("ALL_", 0) == 0 && !explicitDba) {
            std::string dba = "DBA_" + name.substr(4);
            if (!temp && !filtered) Exec("CREATE VIEW " + Quote("SYS." + dba) + " (" + colList + ") AS " + v.body);
            int64_t d = addObject("SYS", dba, "VIEW", "SYS." + dba);
            addColumns(d, cols);
            publicSynonym(dba, dba);
        }
        if (v.userOf) {
            std::string ownerCol = cols[0].first;
            std::string rest;
            std::vector<std::pair<std::string, std::string>> ucols(cols.begin() + 1, cols.end());
            for (const auto& c : ucols) rest += (rest.empty() ? "" : ",") + Quote(c.first);
            Exec("CREATE VIEW " + Quote(std::string("SYS.") + v.userOf) + " AS SELECT " + rest + " FROM " + Quote("SYS." + name) +
                 " WHERE " + Quote(ownerCol) + " = ora_user()");
            int64_t u = addObject("SYS", v.userOf, "VIEW", std::string("SYS.") + v.userOf);
            addColumns(u, ucols);
            publicSynonym(v.userOf, v.userOf);
        }
    }
}

void DatabaseImpl::RefreshRuntimeTables() {
    capture_ = false;
    Exec("CREATE TEMP TABLE IF NOT EXISTS ocs_dirty(obj INTEGER, rid INTEGER, tx INTEGER)");
    Exec("CREATE INDEX IF NOT EXISTS temp.ocs_dirty_ix ON ocs_dirty(obj, rid)");
    Exec("CREATE TEMP TABLE IF NOT EXISTS ocs_sessions(sid INTEGER PRIMARY KEY, serial INTEGER, user_id INTEGER, username TEXT, "
         "status TEXT, schemaname TEXT, osuser TEXT, machine TEXT, program TEXT, logon_time REAL, "
         "module TEXT, action TEXT, client_info TEXT)");
    const DictView* sv = nullptr;
    for (const auto& v : kViews) if (std::string(v.name) == "V_$SESSION") sv = &v;
    std::string cols;
    std::stringstream ss(sv->cols);
    std::string item;
    while (std::getline(ss, item, ',')) cols += (cols.empty() ? "" : ",") + Quote(item.substr(0, item.find(':')));
    Exec("CREATE TEMP VIEW IF NOT EXISTS \"SYS.V_$SESSION\" (" + cols + ") AS " + sv->body);
    // version banner and database parameters follow the settings file
    std::string release = "10.2.0.1.0";
    size_t p = version_.find("Release ");
    if (p != std::string::npos) {
        size_t e = version_.find(' ', p + 8);
        release = version_.substr(p + 8, e == std::string::npos ? std::string::npos : e - p - 8);
    }
    Exec("BEGIN");
    Exec("DELETE FROM ocs_version");
    const std::string banners[] = {version_, "PL/SQL Release " + release + " - Production", "CORE\t" + release + "\tProduction",
                                   "TNS for Linux: Version " + release + " - Production", "NLSRTL Version " + release + " - Production"};
    for (const auto& b : banners) Exec("INSERT INTO ocs_version VALUES (" + SqlString(b) + ")");
    Exec("DELETE FROM ocs_nls");
    const std::pair<const char*, std::string> nls[] = {
        {"NLS_LANGUAGE", "AMERICAN"}, {"NLS_TERRITORY", "AMERICA"}, {"NLS_CURRENCY", "$"}, {"NLS_ISO_CURRENCY", "AMERICA"},
        {"NLS_NUMERIC_CHARACTERS", ".,"}, {"NLS_CHARACTERSET", CharsetNameOf(charset_)}, {"NLS_CALENDAR", "GREGORIAN"},
        {"NLS_DATE_FORMAT", "DD-MON-RR"}, {"NLS_DATE_LANGUAGE", "AMERICAN"}, {"NLS_SORT", "BINARY"},
        {"NLS_TIME_FORMAT", "HH.MI.SSXFF AM"}, {"NLS_TIMESTAMP_FORMAT", "DD-MON-RR HH.MI.SSXFF AM"},
        {"NLS_TIME_TZ_FORMAT", "HH.MI.SSXFF AM TZR"}, {"NLS_TIMESTAMP_TZ_FORMAT", "DD-MON-RR HH.MI.SSXFF AM TZR"},
        {"NLS_DUAL_CURRENCY", "$"}, {"NLS_COMP", "BINARY"}, {"NLS_LENGTH_SEMANTICS", "BYTE"},
        {"NLS_NCHAR_CONV_EXCP", "FALSE"}, {"NLS_NCHAR_CHARACTERSET", CharsetNameOf(ncharset_)}, {"NLS_RDBMS_VERSION", release}};
    for (const auto& [k, v] : nls) Exec("INSERT INTO ocs_nls VALUES ('" + std::string(k) + "', " + SqlString(v) + ")");
    Exec("COMMIT");
    capture_ = true;
}

// ======================================================================== Database: function host
std::string DatabaseImpl::DateFormat() { return current_ ? current_->dateFormat_ : "DD-MON-RR"; }
std::string DatabaseImpl::CurrentUser() { return current_ ? current_->user_ : "SYS"; }
int64_t DatabaseImpl::CurrentUid() { return current_ ? current_->uid_ : 0; }

int64_t DatabaseImpl::NextRownum(int slot) {
    if (!rownums_) return 1;
    if (slot >= static_cast<int>(rownums_->size())) rownums_->resize(static_cast<size_t>(slot) + 1, 0);
    return ++(*rownums_)[static_cast<size_t>(slot)];
}

std::string DatabaseImpl::Userenv(const std::string& p) {
    SessionImpl* s = current_;
    if (!s) return "";
    if (p == "SESSIONID" || p == "SID") return std::to_string(s->sid_);
    if (p == "ENTRYID") return "0";
    if (p == "INSTANCE") return "1";
    if (p == "LANGUAGE") return "AMERICAN_AMERICA." + CharsetNameOf(charset_);
    if (p == "LANG") return "US";
    if (p == "TERMINAL") return "pts/0";
    if (p == "ISDBA") return s->mode_ == ConnectMode::SysDba ? "TRUE" : "FALSE";
    if (p == "CLIENT_INFO" || p == "ACTION" || p == "MODULE" || p == "CLIENT_IDENTIFIER") return "";
    if (p == "SESSION_USER" || p == "CURRENT_USER") return s->user_;
    if (p == "CURRENT_SCHEMA") return s->schema_;
    if (p == "SESSION_USERID" || p == "CURRENT_USERID" || p == "CURRENT_SCHEMAID") return std::to_string(s->uid_);
    if (p == "DB_NAME" || p == "DB_UNIQUE_NAME") return "OCISIM";
    if (p == "DB_DOMAIN") return "";
    if (p == "INSTANCE_NAME" || p == "SERVICE_NAME") return "ocisim";
    if (p == "HOST" || p == "SERVER_HOST") return "localhost";
    if (p == "OS_USER") { const char* u = std::getenv("USER"); return u ? u : "oracle"; }
    if (p == "IP_ADDRESS") return "127.0.0.1";
    if (p == "NLS_DATE_FORMAT") return s->dateFormat_;
    if (p == "NLS_DATE_LANGUAGE") return "AMERICAN";
    if (p == "NLS_TERRITORY") return "AMERICA";
    if (p == "NLS_CURRENCY") return "$";
    if (p == "NLS_CALENDAR") return "GREGORIAN";
    if (p == "NLS_SORT") return "BINARY";
    if (p == "AUTHENTICATION_TYPE") return "DATABASE";
    if (p == "NETWORK_PROTOCOL") return "tcp";
    if (p == "BG_JOB_ID" || p == "FG_JOB_ID") return "";
    Fail(2003, "invalid USERENV parameter");
}

double DatabaseImpl::NextVal(const std::string& name) {
    size_t dot = name.find('.');
    std::string owner = name.substr(0, dot), seq = name.substr(dot + 1);
    EnsureTx();
    Query q(db_, "SELECT last_number, increment_by, min_value, max_value, cycle_flag FROM ocs_sequences WHERE owner = ? AND sequence_name = ?");
    q.Bind(1, owner).Bind(2, seq);
    if (!q.Next()) Fail(2289, "sequence does not exist");
    double v = q.D(0), inc = q.D(1), mn = q.D(2), mx = q.D(3);
    bool cycle = q.S(4) == "Y";
    if ((inc > 0 && v > mx) || (inc < 0 && v < mn)) {
        if (!cycle) Fail(8004, "sequence " + seq + ".NEXTVAL " + (inc > 0 ? "exceeds MAXVALUE" : "goes below MINVALUE") + " and cannot be instantiated");
        v = inc > 0 ? mn : mx;
    }
    Query u(db_, "UPDATE ocs_sequences SET last_number = ? WHERE owner = ? AND sequence_name = ?");
    u.BindD(1, v + inc).Bind(2, owner).Bind(3, seq);
    u.Run(db_);
    if (current_) current_->currval_[name] = v;
    return v;
}

double DatabaseImpl::CurrVal(const std::string& name) {
    if (current_) {
        auto it = current_->currval_.find(name);
        if (it != current_->currval_.end()) return it->second;
    }
    Fail(8002, "sequence " + name.substr(name.find('.') + 1) + ".CURRVAL is not yet defined in this session");
}

// ======================================================================== transactions and row locks
void DatabaseImpl::PreUpdateHook(void* self, sqlite3* db, int op, const char* dbName, const char* table, sqlite3_int64 k1, sqlite3_int64 k2) {
    auto* d = static_cast<DatabaseImpl*>(self);
    if (!d->capture_ || !d->current_ || std::strcmp(dbName, "main") != 0 || std::strncmp(table, "ocs_", 4) == 0) return;
    auto it = d->objOfSql_.find(table);
    if (it == d->objOfSql_.end()) return;
    Transaction& tx = d->current_->tx_;
    tx.active = true;
    UndoEntry e;
    e.obj = it->second;
    e.op = op;
    e.rowid = k1;
    e.newRowid = k2;
    if (op != SQLITE_INSERT) {
        int n = sqlite3_preupdate_count(db);
        e.old.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            sqlite3_value* v = nullptr;
            sqlite3_preupdate_old(db, i, &v);
            e.old.push_back(v ? Save(v) : SavedValue());
        }
    }
    tx.undo.push_back(std::move(e));
    auto lock = [&](int64_t row) {
        RowKey key{it->second, row};
        auto& holder = d->rowLocks_[key];
        if (!holder) holder = &tx;
    };
    lock(op == SQLITE_INSERT ? k2 : k1);
    if (op == SQLITE_UPDATE && k2 != k1) lock(k2);
    tx.lockedTables.insert(it->second);
    tx.changedTables.insert(it->second);
    d->lastRowid_ = op == SQLITE_DELETE ? k1 : k2;
}

int DatabaseImpl::ProgressHandler(void* self) {
    auto* d = static_cast<DatabaseImpl*>(self);
    SessionImpl* s = d->current_;
    return s && s->readOnlyCall_ && s->interrupted_.load() ? 1 : 0;
}

void DatabaseImpl::ApplyUndo(Transaction& tx, size_t downTo) {
    bool prevCapture = capture_;
    capture_ = false;
    std::map<int64_t, Object*> tables;
    for (auto& [k, o] : cat_.objects) if (o.type == "TABLE") tables[o.id] = &o;
    std::map<std::pair<int64_t, int>, sqlite3_stmt*> prepared;
    for (size_t i = tx.undo.size(); i-- > downTo;) {
        UndoEntry& e = tx.undo[i];
        auto t = tables.find(e.obj);
        if (t == tables.end()) continue;
        const Object& o = *t->second;
        const std::string table = o.sqlName;
        std::string sql;
        if (e.op == SQLITE_INSERT) {
            sql = "DELETE FROM " + Quote(table) + " WHERE rowid = ?1";
        } else if (e.op == SQLITE_DELETE) {
            std::string cols = "rowid", vals = "?1";
            for (size_t c = 0; c < o.cols.size(); ++c) { cols += "," + Quote(o.cols[c].name); vals += ",?" + std::to_string(c + 2); }
            sql = "INSERT INTO " + Quote(table) + " (" + cols + ") VALUES (" + vals + ")";
        } else {
            std::string sets = "rowid = ?1";
            for (size_t c = 0; c < o.cols.size(); ++c) sets += "," + Quote(o.cols[c].name) + " = ?" + std::to_string(c + 2);
            sql = "UPDATE " + Quote(table) + " SET " + sets + " WHERE rowid = ?" + std::to_string(o.cols.size() + 2);
        }
        // one prepared statement per table and kind of change
        sqlite3_stmt*& st = prepared[{e.obj, e.op}];
        if (!st && sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) { sqlite3_finalize(st); st = nullptr; continue; }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (e.op == SQLITE_INSERT) {
            sqlite3_bind_int64(st, 1, e.newRowid);
        } else {
            sqlite3_bind_int64(st, 1, e.rowid);
            for (size_t c = 0; c < e.old.size() && c < o.cols.size(); ++c) BindSaved(st, static_cast<int>(c + 2), e.old[c]);
            if (e.op == SQLITE_UPDATE) sqlite3_bind_int64(st, static_cast<int>(o.cols.size() + 2), e.newRowid);
        }
        sqlite3_step(st);
    }
    for (auto& [k, st] : prepared) sqlite3_finalize(st);
    tx.undo.resize(downTo);
    capture_ = prevCapture;
}

void DatabaseImpl::ReleaseLocks(Transaction& tx) {
    if (!tx.lockedTables.empty()) {
        for (auto it = rowLocks_.begin(); it != rowLocks_.end();) {
            if (it->second == &tx) it = rowLocks_.erase(it);
            else ++it;
        }
    }
    tx.lockedTables.clear();
    lockCv_.notify_all();
}

int DatabaseImpl::TxId(const Transaction& tx) const { return tx.session ? tx.session->sid_ : 0; }

bool DatabaseImpl::OthersChanged(const Transaction& reader, int64_t obj) const {
    for (const auto& [sid, s] : sessions_) {
        (void)sid;
        if (&s->tx_ != &reader && !s->tx_.undo.empty() && s->tx_.changedTables.count(obj)) return true;
    }
    return false;
}

// Copies the before-images of uncommitted changes into the tables readers of other sessions use.
void DatabaseImpl::SyncDirty() {
    bool prev = capture_;
    capture_ = false;
    std::map<int64_t, const Object*> tables;
    for (const auto& [k, o] : cat_.objects) if (o.type == "TABLE") tables[o.id] = &o;
    for (auto& entry : sessions_) {
        const int sid = entry.first;
        Transaction& tx = entry.second->tx_;
        if (tx.materialized >= tx.undo.size()) continue;
        for (size_t i = tx.materialized; i < tx.undo.size(); ++i) {
            const UndoEntry& e = tx.undo[i];
            auto t = tables.find(e.obj);
            if (t == tables.end()) continue;
            const Object& o = *t->second;
            auto dirty = [&](int64_t row) {
                if (!tx.dirtyRows.insert(RowKey{o.id, row}).second) return false;
                Query q(db_, "INSERT INTO temp.ocs_dirty VALUES (?,?,?)");
                q.Bind(1, o.id).Bind(2, row).Bind(3, static_cast<int64_t>(sid));
                q.Run(db_);
                return true;
            };
            if (e.op == SQLITE_INSERT) {
                dirty(e.newRowid);
                continue;
            }
            bool first = dirty(e.rowid);
            if (e.op == SQLITE_UPDATE && e.newRowid != e.rowid) dirty(e.newRowid);
            if (!first) continue;
            std::string tbl = "ocs_before_" + std::to_string(o.id);
            std::string cols, marks = "?,?";
            for (size_t c = 0; c < o.cols.size(); ++c) { cols += "," + Quote(o.cols[c].name); marks += ",?"; }
            Exec("CREATE TEMP TABLE IF NOT EXISTS " + Quote(tbl) + " (ocs_rowid INTEGER, ocs_tx INTEGER" + cols + ")");
            sqlite3_stmt* st = nullptr;
            std::string ins = "INSERT INTO temp." + Quote(tbl) + " VALUES (" + marks + ")";
            if (sqlite3_prepare_v2(db_, ins.c_str(), -1, &st, nullptr) == SQLITE_OK) {
                sqlite3_bind_int64(st, 1, e.rowid);
                sqlite3_bind_int64(st, 2, sid);
                for (size_t c = 0; c < e.old.size() && c < o.cols.size(); ++c) BindSaved(st, static_cast<int>(c + 3), e.old[c]);
                sqlite3_step(st);
            }
            sqlite3_finalize(st);
        }
        tx.materialized = tx.undo.size();
    }
    capture_ = prev;
}

void DatabaseImpl::ClearDirty(Transaction& tx) {
    if (tx.materialized == 0 && tx.dirtyRows.empty()) return;
    bool prev = capture_;
    capture_ = false;
    int id = TxId(tx);
    Exec("DELETE FROM temp.ocs_dirty WHERE tx = " + std::to_string(id));
    for (int64_t obj : tx.changedTables) {
        std::string tbl = "ocs_before_" + std::to_string(obj);
        Query q(db_, "SELECT 1 FROM sqlite_temp_master WHERE name = ?");
        q.Bind(1, tbl);
        if (q.Next()) Exec("DELETE FROM temp." + Quote(tbl) + " WHERE ocs_tx = " + std::to_string(id));
    }
    tx.dirtyRows.clear();
    tx.materialized = 0;
    capture_ = prev;
}

bool DatabaseImpl::OthersLock(const Transaction& tx, int64_t obj) const {
    for (const auto& [sid, s] : sessions_) {
        (void)sid;
        if (&s->tx_ != &tx && s->tx_.lockedTables.count(obj)) return true;
    }
    return false;
}

void DatabaseImpl::EndTransaction(Transaction& tx, bool commit) {
    ClearDirty(tx);
    if (!commit) ApplyUndo(tx, 0);
    tx.undo.clear();
    tx.savepoints.clear();
    tx.changedTables.clear();
    ReleaseLocks(tx);
    tx.active = false;
    tx.readOnly = false;
    tx.waitingFor = nullptr;
    bool othersOpen = false;
    for (const auto& [sid, s] : sessions_) {
        (void)sid;
        if (&s->tx_ != &tx && !s->tx_.undo.empty()) othersOpen = true;
    }
    if (commit || !othersOpen) {
        PersistOpenUndo(&tx);
        SqliteCommit();
    }
}

namespace {
void PutU32(std::string& b, uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); }
void PutU64(std::string& b, uint64_t v) { b.append(reinterpret_cast<const char*>(&v), 8); }
}

void DatabaseImpl::PersistOpenUndo(const Transaction* except) {
    bool any = false;
    for (const auto& [sid, s] : sessions_) { (void)sid; if (&s->tx_ != except && !s->tx_.undo.empty()) any = true; }
    bool prev = capture_;
    capture_ = false;
    EnsureTx();
    Exec("DELETE FROM ocs_undo");
    if (any) {
        Query q(db_, "INSERT INTO ocs_undo(tbl, op, row_id, new_rowid, vals) VALUES (?,?,?,?,?)");
        for (const auto& [sid, s] : sessions_) {
            (void)sid;
            if (&s->tx_ == except) continue;
            for (const auto& e : s->tx_.undo) {
                std::string blob;
                for (const auto& v : e.old) {
                    blob += static_cast<char>(v.type);
                    if (v.type == SQLITE_INTEGER) PutU64(blob, static_cast<uint64_t>(v.i));
                    else if (v.type == SQLITE_FLOAT) { uint64_t u; std::memcpy(&u, &v.d, 8); PutU64(blob, u); }
                    else if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) { PutU32(blob, static_cast<uint32_t>(v.s.size())); blob += v.s; }
                }
                std::string table;
                for (const auto& [k, o] : cat_.objects) if (o.id == e.obj) table = o.sqlName;
                q.Bind(1, table).Bind(2, static_cast<int64_t>(e.op)).Bind(3, e.rowid).Bind(4, e.newRowid);
                sqlite3_bind_blob(q.st, 5, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
                q.Run(db_);
            }
        }
    }
    capture_ = prev;
}

void DatabaseImpl::RecoverUndo() {
    Transaction tx;
    {
        Query q(db_, "SELECT tbl, op, row_id, new_rowid, vals FROM ocs_undo ORDER BY seq");
        while (q.Next()) {
            UndoEntry e;
            auto known = objOfSql_.find(q.S(0));
            e.obj = known == objOfSql_.end() ? -1 : known->second;
            e.op = static_cast<int>(q.I(1));
            e.rowid = q.I(2);
            e.newRowid = q.I(3);
            const char* b = static_cast<const char*>(sqlite3_column_blob(q.st, 4));
            size_t n = static_cast<size_t>(sqlite3_column_bytes(q.st, 4)), p = 0;
            while (b && p < n) {
                SavedValue v;
                v.type = static_cast<unsigned char>(b[p++]);
                if (v.type == SQLITE_INTEGER && p + 8 <= n) { uint64_t u; std::memcpy(&u, b + p, 8); v.i = static_cast<int64_t>(u); p += 8; }
                else if (v.type == SQLITE_FLOAT && p + 8 <= n) { std::memcpy(&v.d, b + p, 8); p += 8; }
                else if ((v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) && p + 4 <= n) {
                    uint32_t len; std::memcpy(&len, b + p, 4); p += 4;
                    if (p + len > n) break;
                    v.s.assign(b + p, len); p += len;
                }
                e.old.push_back(std::move(v));
            }
            tx.undo.push_back(std::move(e));
        }
    }
    if (tx.undo.empty()) return;
    Exec("BEGIN");
    ApplyUndo(tx, 0);
    Exec("DELETE FROM ocs_undo");
    Exec("COMMIT");
}

namespace {
thread_local std::unique_lock<std::mutex>* t_callLock = nullptr;
}

void DatabaseImpl::AcquireRow(Transaction& tx, RowKey key, int waitSeconds, SessionImpl& s) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds < 0 ? 0 : waitSeconds);
    while (true) {
        auto it = rowLocks_.find(key);
        if (it == rowLocks_.end() || it->second == &tx) {
            rowLocks_[key] = &tx;
            tx.lockedTables.insert(key.obj);
            tx.active = true;
            return;
        }
        Transaction* holder = it->second;
        if (waitSeconds == 0) Fail(54, "resource busy and acquire with NOWAIT specified or timeout expired");
        for (Transaction* t = holder; t; t = t->waitingFor)
            if (t == &tx) Fail(60, "deadlock detected while waiting for resource");
        tx.waitingFor = holder;
        owner_ = std::thread::id();
        if (waitSeconds < 0) lockCv_.wait_for(*t_callLock, std::chrono::milliseconds(200));
        else lockCv_.wait_until(*t_callLock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(200)));
        owner_ = std::this_thread::get_id();
        current_ = &s;
        tx.waitingFor = nullptr;
        if (s.killed_) Fail(28, "your session has been killed");
        if (s.interrupted_) Fail(1013, "user requested cancel of current operation");
        auto again = rowLocks_.find(key);
        bool stillHeld = again != rowLocks_.end() && again->second != &tx;
        if (stillHeld && waitSeconds > 0 && std::chrono::steady_clock::now() >= deadline)
            Fail(54, "resource busy and acquire with NOWAIT specified or timeout expired");
    }
}

// ======================================================================== logon
namespace {
std::string OsUser() {
    const char* u = std::getenv("USER");
    if (!u || !*u) u = std::getenv("LOGNAME");
    return Upper(u && *u ? u : "oracle");
}
}

std::unique_ptr<Session> DatabaseImpl::Logon(std::string_view userIn, std::string_view password, ConnectMode mode) {
    DbLock lock(*this);
    std::string name(userIn);
    bool quoted = name.size() >= 2 && name.front() == '"' && name.back() == '"';
    name = quoted ? name.substr(1, name.size() - 2) : Upper(name);
    std::string pw(password);
    User u;
    if (mode != ConnectMode::Normal) {
        auto it = cat_.users.find(name);
        bool osAuth = name.empty() || name == "/";
        if (!osAuth) {
            if (it == cat_.users.end() || Upper(it->second.password) != Upper(pw) || !(it->second.dba || name == "SYS"))
                Fail(1017, "invalid username/password; logon denied");
        }
        if (mode == ConnectMode::SysDba) u = cat_.users["SYS"];
        else { u = cat_.users["PUBLIC"]; u.name = "PUBLIC"; }
    } else {
        if (name.empty()) name = "OPS$" + OsUser();
        auto it = cat_.users.find(name);
        if (it == cat_.users.end() || name == "PUBLIC") Fail(1017, "invalid username/password; logon denied");
        bool external = name.rfind("OPS$", 0) == 0 && userIn.empty();
        if (!external && Upper(it->second.password) != Upper(pw)) Fail(1017, "invalid username/password; logon denied");
        if (name == "SYS") Fail(28009, "connection as SYS should be as SYSDBA or SYSOPER");
        u = it->second;
        if (u.status.find("LOCKED") != std::string::npos) Fail(28000, "the account is locked");
        if (u.status == "EXPIRED") Fail(28001, "the password has expired");
    }
    auto s = std::make_unique<SessionImpl>(std::static_pointer_cast<DatabaseImpl>(shared_from_this()), u, mode);
    if (u.status == "EXPIRED(GRACE)") s->warning_.emplace(28002, sql::OraMessage(28002, "the password will expire within 7 days"));
    s->sid_ = nextSid_++;
    s->serial_ = serialCounter_++;
    s->logonTime_ = rt::Now();
    sessions_[s->sid_] = s.get();
    bool prev = capture_;
    capture_ = false;
    Query q(db_, "INSERT INTO temp.ocs_sessions VALUES (?,?,?,?,'ACTIVE',?,?,'localhost','ocisim',?,NULL,NULL,NULL)");
    q.Bind(1, static_cast<int64_t>(s->sid_)).Bind(2, static_cast<int64_t>(s->serial_)).Bind(3, u.id).Bind(4, s->user_)
        .Bind(5, s->schema_).Bind(6, OsUser()).BindD(7, s->logonTime_);
    q.Run(db_);
    capture_ = prev;
    return s;
}

std::unique_ptr<Session> DatabaseImpl::LogonChangingPassword(std::string_view userIn, std::string_view oldPassword, std::string_view newPassword) {
    {
        DbLock lock(*this);
        std::string name = Upper(std::string(userIn));
        auto it = cat_.users.find(name);
        if (it == cat_.users.end() || Upper(it->second.password) != Upper(std::string(oldPassword)))
            Fail(1017, "invalid username/password; logon denied");
        if (newPassword.empty()) Fail(988, "missing or invalid password(s)");
        EnsureTx();
        Query q(db_, "UPDATE ocs_users SET password = ?, account_status = 'OPEN' WHERE username = ?");
        q.Bind(1, std::string(newPassword)).Bind(2, name);
        q.Run(db_);
        PersistOpenUndo(nullptr);
        SqliteCommit();
        LoadCatalog();
    }
    return Logon(userIn, newPassword, ConnectMode::Normal);
}

// ======================================================================== sessions
namespace {

SessionImpl::~SessionImpl() {
    if (!db_) return;   // the bootstrap session
    DbLock lock(*db_);
    SessionImpl* prev = db_->current_;
    db_->current_ = this;
    // a session that ends without COMMIT loses its uncommitted work
    try { db_->EndTransaction(tx_, false); } catch (...) {}
    db_->current_ = prev == this ? nullptr : prev;
    db_->sessions_.erase(sid_);
    bool cap = db_->capture_;
    db_->capture_ = false;
    std::string sql = "DELETE FROM temp.ocs_sessions WHERE sid = " + std::to_string(sid_);
    sqlite3_exec(db_->db_, sql.c_str(), nullptr, nullptr, nullptr);
    db_->capture_ = cap;
}

void SessionImpl::Commit() {
    Call call(*this);
    db_->EndTransaction(tx_, true);
}

void SessionImpl::Rollback() {
    Call call(*this);
    db_->EndTransaction(tx_, false);
}

void SessionImpl::WriteLob(const LobLocation& where, const ValueRef& content) {
    Call call(*this);
    DatabaseImpl& d = *db_;
    const Object* table = nullptr;
    for (const auto& [k, o] : d.cat_.objects)
        if (o.id == where.Table && o.type == "TABLE") { table = &o; break; }
    const Column* col = nullptr;
    if (table)
        for (const auto& c : table->cols) if (c.name == where.Column) col = &c;
    if (!col || (col->info.DataType != OraType::Clob && col->info.DataType != OraType::Blob))
        Fail(22275, "invalid LOB locator specified");
    auto lock = d.rowLocks_.find(RowKey{where.Table, where.Row});
    if (lock == d.rowLocks_.end() || lock->second != &tx_) Fail(22920, "row containing the LOB value is not locked");
    d.EnsureTx();
    Stmt st;
    std::string sql = "UPDATE " + Quote(table->sqlName) + " SET " + Quote(col->name) + " = ?1 WHERE rowid = ?2";
    if (sqlite3_prepare_v2(d.db_, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK) d.RaiseSqlite(SQLITE_ERROR, "lob");
    // CLOB text is stored as text, an empty LOB as a zero-length blob (NULL is another value)
    static const char none = 0;
    const char* p = content.p ? content.p : &none;
    if (col->info.DataType == OraType::Clob && content.n > 0) sqlite3_bind_text(st.s, 1, p, static_cast<int>(content.n), SQLITE_TRANSIENT);
    else sqlite3_bind_blob(st.s, 1, p, static_cast<int>(content.n), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st.s, 2, where.Row);
    int rc = sqlite3_step(st.s);
    if (rc != SQLITE_DONE) d.RaiseSqlite(rc);
    if (sqlite3_changes(d.db_) == 0) Fail(22275, "invalid LOB locator specified");
}

void SessionImpl::ChangePassword(std::string_view oldPassword, std::string_view newPassword) {
    Call call(*this);
    auto it = db_->cat_.users.find(user_);
    if (it == db_->cat_.users.end()) Fail(1017, "invalid username/password; logon denied");
    if (Upper(it->second.password) != Upper(std::string(oldPassword))) Fail(28008, "invalid old password");
    if (newPassword.empty()) Fail(988, "missing or invalid password(s)");
    db_->EndTransaction(tx_, true);
    db_->EnsureTx();
    Query q(db_->db_, "UPDATE ocs_users SET password = ?, account_status = 'OPEN' WHERE username = ?");
    q.Bind(1, std::string(newPassword)).Bind(2, user_);
    q.Run(db_->db_);
    db_->PersistOpenUndo(nullptr);
    db_->SqliteCommit();
    db_->LoadCatalog();
}

// ======================================================================== statements
uint16_t FunctionCode(const sql::Statement& st) {
    using K = sql::Statement;
    const std::string& t = st.objectType;
    switch (st.kind) {
    case K::Select: return 4;
    case K::Insert: return 3;
    case K::Update: return 5;
    case K::Delete: return 9;
    case K::Merge: return 189;
    case K::CreateTable: return 1;
    case K::CreateDirectory: return 157;
    case K::CreateView: return 10;
    case K::CreateIndex: return 20;
    case K::CreateSequence: return 13;
    case K::AlterSequence: return 14;
    case K::CreateSynonym: return 30;
    case K::CreateUser: return 19;
    case K::AlterTable: return 26;
    case K::AlterUser: return 53;
    case K::AlterSession: return 52;
    case K::AlterSystem: return 32;
    case K::AlterIndex: return 41;
    case K::Drop:
        if (t == "TABLE") return 8;
        if (t == "VIEW") return 7;
        if (t == "INDEX") return 21;
        if (t == "SEQUENCE") return 16;
        if (t == "SYNONYM") return 31;
        if (t == "USER") return 11;
        if (t == "PROCEDURE") return 68;
        if (t == "FUNCTION") return 93;
        if (t == "PACKAGE") return 96;
        if (t == "PACKAGE BODY") return 99;
        if (t == "TRIGGER") return 61;
        if (t == "TYPE") return 78;
        if (t == "DIRECTORY") return 158;
        return 0;
    case K::Truncate: return 85;
    case K::Comment: return 38;
    case K::Grant: return 28;
    case K::Revoke: return 29;
    case K::Commit: return 54;      // OCI's function codes, not V$SQLCOMMAND's command types
    case K::Rollback: return 55;
    case K::Savepoint: return 56;
    case K::SetTransaction: return 33;
    case K::LockTable: return 35;
    case K::Rename: return 37;
    case K::PlSql: return 34;
    case K::CreatePlSql:
        if (t == "PROCEDURE") return 24;
        if (t == "FUNCTION") return 91;
        if (t == "PACKAGE") return 94;
        if (t == "PACKAGE BODY") return 97;
        if (t == "TRIGGER") return 59;
        if (t == "TYPE") return 77;
        if (t == "TYPE BODY") return 81;
        return 0;
    default: return 0;
    }
}

StatementType TypeOf(const sql::Statement& st) {
    using K = sql::Statement;
    switch (st.kind) {
    case K::Select: return StatementType::Select;
    case K::Insert: return StatementType::Insert;
    case K::Update: return StatementType::Update;
    case K::Delete: return StatementType::Delete;
    case K::Merge: return StatementType::Merge;
    case K::CreateTable: case K::CreateView: case K::CreateIndex: case K::CreateSequence: case K::CreateSynonym:
    case K::CreateUser: case K::CreatePlSql: case K::CreateDirectory:
        return st.objectType.rfind("ALTER", 0) == 0 ? StatementType::Alter : StatementType::Create;
    case K::Drop: return StatementType::Drop;
    case K::AlterTable: case K::AlterUser: case K::AlterSession: case K::AlterSystem: case K::AlterSequence: case K::AlterIndex:
        return StatementType::Alter;
    case K::PlSql:
        if (st.objectType == "DECLARE") return StatementType::Declare;
        if (st.objectType == "CALL") return StatementType::Call;
        return StatementType::Begin;
    default: return StatementType::Unknown;
    }
}

// The decimal text of a NUMBER(p,s) value with 0 < s <= 9: "123.45", "-.5"; -1 when it does not fit.
int FixedText(double d, int scale, char* out) {
    static const double pow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    double scaled = d * pow10[scale];
    if (!(std::fabs(scaled) < 9e15)) return -1;
    int64_t v = std::llround(scaled);
    bool neg = v < 0;
    uint64_t a = neg ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
    char digits[24];
    int n = 0;
    do { digits[n++] = static_cast<char>('0' + a % 10); a /= 10; } while (a);
    while (n <= scale) digits[n++] = '0';
    // digits are reversed: [0, scale) fraction, [scale, n) integer part
    int frac = 0;
    while (frac < scale && digits[frac] == '0') ++frac;
    int p = 0;
    if (neg) out[p++] = '-';
    for (int k = n - 1; k >= scale; --k) out[p++] = digits[k];
    if (frac < scale) {
        out[p++] = '.';
        for (int k = scale - 1; k >= frac; --k) out[p++] = digits[k];
    }
    out[p] = 0;
    return p;
}

// The rows of a nested CURSOR(...) column, read when the client took the cursor: a query that
// is open, whose rows need no further work from the engine.
class RowsStatement final : public Statement {
public:
    RowsStatement(std::vector<ColumnInfo> cols, std::vector<std::vector<Value>> rows)
        : cols_(std::move(cols)), rows_(std::move(rows)) {}
    StatementType Type() const override { return StatementType::Select; }
    uint16_t SqlFunctionCode() const override { return 4; }
    const std::vector<Placeholder>& Placeholders() const override { return none_; }
    const std::vector<std::string>& BindNames() const override { return names_; }
    const std::vector<ColumnInfo>& Columns() const override { return cols_; }
    void Execute(const BindValues&) override { Fail(1001, "invalid cursor"); }
    bool Fetch() override {
        if (!open_) Fail(1001, "invalid cursor");
        if (next_ >= rows_.size()) { open_ = false; rows_.clear(); return false; }
        ++next_;
        return true;
    }
    ValueRef Column(size_t index) const override {
        if (!open_ || next_ == 0 || next_ > rows_.size() || index >= rows_[next_ - 1].size()) return {};
        return rows_[next_ - 1][index].Ref();
    }
    void CloseResult() override { open_ = false; rows_.clear(); }
    uint64_t RowsProcessed() const override { return next_; }
    std::string LastRowId() const override { return {}; }
    const std::vector<Value>& OutValues(size_t) const override { static const std::vector<Value> none; return none; }
    std::unique_ptr<Statement> TakeCursor(size_t) override { return nullptr; }
    bool CompiledWithErrors() const override { return false; }

private:
    std::vector<ColumnInfo> cols_;
    std::vector<std::vector<Value>> rows_;
    std::vector<Placeholder> none_;
    std::vector<std::string> names_;
    size_t next_ = 0;
    bool open_ = true;
};

// The values ora_pack put into a CURSOR(...) column, bound to parameters of the nested query.
bool BindPacked(sqlite3_stmt* st, int idx, const std::string& packed, size_t which) {
    size_t p = 1;
    for (size_t k = 0; p < packed.size(); ++k) {
        int t = static_cast<unsigned char>(packed[p++]);
        size_t len = 0;
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) len = 8;
        else if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
            uint32_t n = 0;
            if (p + sizeof n > packed.size()) return false;
            std::memcpy(&n, packed.data() + p, sizeof n);
            p += sizeof n;
            len = n;
        }
        if (p + len > packed.size()) return false;
        if (k == which) {
            const char* d = packed.data() + p;
            if (t == SQLITE_INTEGER) { int64_t v; std::memcpy(&v, d, 8); sqlite3_bind_int64(st, idx, v); }
            else if (t == SQLITE_FLOAT) { double v; std::memcpy(&v, d, 8); sqlite3_bind_double(st, idx, v); }
            else if (t == SQLITE_TEXT) sqlite3_bind_text(st, idx, d, static_cast<int>(len), SQLITE_TRANSIENT);
            else if (t == SQLITE_BLOB) sqlite3_bind_blob(st, idx, d, static_cast<int>(len), SQLITE_TRANSIENT);
            else sqlite3_bind_null(st, idx);
            return true;
        }
        p += len;
    }
    return false;
}

class StatementImpl final : public Statement {
public:
    StatementImpl(SessionImpl& s, std::string text) : s_(s), db_(s.db_), text_(std::move(text)) {}
    ~StatementImpl() override {
        // SQLite statements of the shared connection are finalized under the database's lock
        DbLock lock(*db_);
        main_.Reset();
        second_.Reset();
    }

    StatementType Type() const override { return type_; }
    uint16_t SqlFunctionCode() const override { return fn_; }
    const std::vector<Placeholder>& Placeholders() const override { return ph_; }
    const std::vector<std::string>& BindNames() const override { return names_; }
    const std::vector<ColumnInfo>& Columns() const override { return tr_.columns; }
    void Execute(const BindValues& binds) override;
    bool Fetch() override;
    ValueRef Column(size_t index) const override { return index < row_.size() ? row_[index] : ValueRef(); }
    void CloseResult() override {
        if (main_.s) sqlite3_reset(main_.s);
        open_ = false;
        row_.clear();
    }
    uint64_t RowsProcessed() const override { return rows_; }
    std::string LastRowId() const override {
        return lastRowNumber_ && lastTable_ ? rt::RowIdText(lastTable_, lastRowNumber_) : std::string();
    }
    const std::vector<Value>& OutValues(size_t slot) const override {
        static const std::vector<Value> none;
        return slot < out_.size() ? out_[slot] : none;
    }
    std::unique_ptr<Statement> TakeCursor(size_t slot) override { return slot < cursors_.size() ? std::move(cursors_[slot]) : nullptr; }
    bool CompiledWithErrors() const override { return compiledWithErrors_; }
    LobLocation ColumnLobLocation(size_t index) const override {
        LobLocation l;
        if (!open_ || !main_.s || index >= row_.size() || row_[index].kind == ValueRef::Null) return l;
        for (const auto& src : tr_.lobSources) {
            if (src.column != index) continue;
            if (sqlite3_column_type(main_.s, src.hidden) != SQLITE_INTEGER) return l;
            l.Table = src.table;
            l.Column = src.name;
            l.Row = sqlite3_column_int64(main_.s, src.hidden);
        }
        return l;
    }
    LobLocation OutLobLocation(size_t slot, size_t row) const override {
        if (slot < outLoc_.size() && row < outLoc_[slot].size()) return outLoc_[slot][row];
        return {};
    }
    std::unique_ptr<Statement> ColumnCursor(size_t index) override;

    void PrepareText();

private:
    SessionImpl& s_;
    std::shared_ptr<DatabaseImpl> db_;
    std::string text_;
    std::unique_ptr<sql::Statement> ast_;
    StatementType type_ = StatementType::Unknown;
    uint16_t fn_ = 0;
    std::vector<Placeholder> ph_;
    std::vector<std::string> names_;
    Translated tr_;
    uint64_t trVersion_ = 0;
    Stmt main_, second_;
    bool open_ = false;
    uint64_t rows_ = 0;
    int64_t lastRowNumber_ = 0, lastTable_ = 0;
    bool compiledWithErrors_ = false;
    std::vector<std::unique_ptr<Statement>> cursors_;   // REF CURSORs a block opened into bind slots
    std::vector<std::vector<Value>> cursorBinds_;        // the bind values CURSOR(...) columns' queries take
    uint64_t trigVersion_ = 0;                           // catalog version trigMask_ was found for
    int trigMask_ = 0;                                   // statement triggers: 1 BEFORE, 2 AFTER
    std::vector<std::vector<Value>> out_;
    std::vector<std::vector<LobLocation>> outLoc_;   // beside out_: where returned LOB values live
    std::vector<ValueRef> row_;
    std::vector<std::array<char, 32>> numBuf_;
    std::vector<int64_t> rownums_;
    double startTime_ = 0;

    bool IsSqlDml() const {
        using K = sql::Statement;
        return ast_->kind == K::Select || ast_->kind == K::Insert || ast_->kind == K::Update || ast_->kind == K::Delete ||
               ast_->kind == K::Merge;
    }
    void Retranslate();
    void BindAll(sqlite3_stmt* st, const std::vector<int>& params, const BindValues& binds);
    void ExecuteSql(const BindValues& binds);
    void ExecuteOther(const BindValues& binds, Call& call);
    [[noreturn]] void RaiseStep(int rc);
    Value ToValue(sqlite3_stmt* st, int i, const ColumnInfo& t);
};

void StatementImpl::PrepareText() {
    ast_ = sql::Parse(text_);
    type_ = TypeOf(*ast_);
    fn_ = FunctionCode(*ast_);
    ph_ = sql::FindPlaceholders(text_);
    bool plsql = ast_->kind == sql::Statement::PlSql || ast_->kind == sql::Statement::CreatePlSql;
    if (ast_->kind == sql::Statement::CreatePlSql && ast_->objectType == "TRIGGER") ph_.clear();   // :new/:old
    if (plsql) {
        for (const auto& p : ph_)
            if (std::find(names_.begin(), names_.end(), p.Name) == names_.end()) names_.push_back(p.Name);
    } else {
        for (const auto& p : ph_) names_.push_back(p.Name);
    }
    if (IsSqlDml()) {
        DbLock lock(*s_.db_);
        if (s_.killed_) Fail(28, "your session has been killed");
        Retranslate();
    }
}

void StatementImpl::Retranslate() {
    s_.rownumSlots_ = 0;
    // translation may rewrite parts of the tree (ROWNUM limits): work on a fresh parse
    auto fresh = sql::Parse(text_);
    tr_ = Translate(s_, *fresh, text_, ph_);
    ast_ = std::move(fresh);
    trVersion_ = s_.db_->catalogVersion_;
    static const bool trace = std::getenv("OCISIM_TRACE_SQL") != nullptr;
    if (trace) std::fprintf(stderr, "ocisim: %s\n   => %s\n", text_.c_str(), tr_.sql.c_str());
    main_.Reset();
    int rc = sqlite3_prepare_v2(s_.db_->db_, tr_.sql.c_str(), static_cast<int>(tr_.sql.size()), &main_.s, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(s_.db_->db_);
        main_.Reset();
        if (msg.rfind("no such table", 0) == 0 || msg.rfind("no such column", 0) == 0) {
            // a view whose tables changed under it
            for (int64_t id : tr_.readTables)
                for (const auto& [k, o] : s_.db_->cat_.objects)
                    if (o.id == id && o.type == "VIEW" && o.owner != "SYS")
                        Fail(4063, "view \"" + o.owner + "\".\"" + o.name + "\" has errors");
        }
        throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "], [" + tr_.sql + "]"));
    }
    second_.Reset();
    if (!tr_.sql2.empty() && sqlite3_prepare_v2(s_.db_->db_, tr_.sql2.c_str(), -1, &second_.s, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(s_.db_->db_);
        second_.Reset();
        throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "], [" + tr_.sql2 + "]"));
    }
    out_.assign(ph_.size(), {});
}

void StatementImpl::BindAll(sqlite3_stmt* st, const std::vector<int>& params, const BindValues& binds) {
    for (size_t k = 0; k < params.size(); ++k) {
        int slot = params[k];
        int idx = static_cast<int>(k + 1);
        if (slot < 0 || static_cast<size_t>(slot) >= binds.slots.size() || binds.slots[slot].values.empty())
            Fail(1008, "not all variables bound");
        const ValueRef& v = binds.slots[slot].values[0];
        OraType declared = binds.slots[slot].declaredType;
        if ((v.kind == ValueRef::Text || v.kind == ValueRef::Bytes) && v.n == 0 &&
            (declared == OraType::Clob || declared == OraType::Blob)) {
            sqlite3_bind_zeroblob(st, idx, 0);   // an empty LOB bound by its locator is not NULL
            continue;
        }
        switch (v.kind) {
        case ValueRef::Null: sqlite3_bind_null(st, idx); break;
        case ValueRef::Integer: sqlite3_bind_int64(st, idx, v.i); break;
        case ValueRef::Double: sqlite3_bind_double(st, idx, v.d); break;
        case ValueRef::Text:
            if (v.n == 0) sqlite3_bind_null(st, idx);
            else sqlite3_bind_text(st, idx, v.p, static_cast<int>(v.n), SQLITE_TRANSIENT);
            break;
        case ValueRef::Bytes:
            if (v.n == 0) sqlite3_bind_null(st, idx);
            else sqlite3_bind_blob(st, idx, v.p, static_cast<int>(v.n), SQLITE_TRANSIENT);
            break;
        case ValueRef::Date: sqlite3_bind_double(st, idx, v.d != 0 ? v.d : rt::JulianFrom7(v.date)); break;
        case ValueRef::Decimal: {
            double d;
            std::string s(v.p, v.n);
            if (!rt::ParseNumber(s, d)) Fail(1722, "invalid number");
            if (std::fabs(d) < 9e18 && d == std::floor(d)) sqlite3_bind_int64(st, idx, static_cast<int64_t>(d));
            else sqlite3_bind_double(st, idx, d);
            break;
        }
        }
    }
}

void StatementImpl::RaiseStep(int rc) {
    DatabaseImpl& db = *s_.db_;
    std::string msg = sqlite3_errmsg(db.db_);
    int code;
    std::string text;
    if (rt::ParseOraMessage(msg, code, text)) throw EngineError(code, text);
    const Object* t = tr_.table;
    if (rc == SQLITE_CONSTRAINT && t) {
        if (msg.rfind("NOT NULL constraint failed: ", 0) == 0) {
            std::string col = msg.substr(msg.rfind('.') + 1);
            if (ast_->kind == sql::Statement::Update)
                Fail(1407, "cannot update (\"" + t->owner + "\".\"" + t->name + "\".\"" + col + "\") to NULL");
            Fail(1400, "cannot insert NULL into (\"" + t->owner + "\".\"" + t->name + "\".\"" + col + "\")");
        }
        if (msg.rfind("UNIQUE constraint failed: ", 0) == 0) {
            std::vector<std::string> cols;
            std::stringstream ss(msg.substr(26));
            std::string item;
            while (std::getline(ss, item, ',')) {
                while (!item.empty() && item[0] == ' ') item.erase(0, 1);
                cols.push_back(item.substr(item.rfind('.') + 1));
            }
            for (const auto& c : db.cat_.constraints)
                if (c.owner == t->owner && c.table == t->name && (c.type == 'P' || c.type == 'U') && c.cols == cols)
                    Fail(1, "unique constraint (" + c.owner + "." + c.name + ") violated");
            for (const auto& i : db.cat_.indexes)
                if (i.tableOwner == t->owner && i.table == t->name && i.unique && i.cols == cols)
                    Fail(1, "unique constraint (" + i.owner + "." + i.name + ") violated");
            Fail(1, "unique constraint (" + t->owner + ".SYS_C000000) violated");
        }
    }
    db.RaiseSqlite(rc);
}

Value StatementImpl::ToValue(sqlite3_stmt* st, int i, const ColumnInfo& t) {
    Value v;
    int type = sqlite3_column_type(st, i);
    if (type == SQLITE_NULL) return v;
    if (t.DataType == OraType::Date || IsTimestampType(t.DataType)) {
        v.kind = ValueRef::Date;
        double jd = sqlite3_column_double(st, i), whole = jd;
        if (IsTimestampType(t.DataType)) { rt::TimestampNanos(jd, &whole); v.d = jd; }
        rt::JulianTo7(whole, v.date);
        return v;
    }
    if (type == SQLITE_BLOB && t.DataType == OraType::Clob) {   // an empty CLOB
        v.kind = ValueRef::Text;
        v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(st, i)), static_cast<size_t>(sqlite3_column_bytes(st, i)));
        return v;
    }
    switch (type) {
    case SQLITE_INTEGER: v.kind = ValueRef::Integer; v.i = sqlite3_column_int64(st, i); break;
    case SQLITE_FLOAT: v.kind = ValueRef::Double; v.d = sqlite3_column_double(st, i); break;
    case SQLITE_BLOB:
        v.kind = ValueRef::Bytes;
        v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(st, i)), static_cast<size_t>(sqlite3_column_bytes(st, i)));
        break;
    default:
        v.kind = ValueRef::Text;
        v.bytes.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), static_cast<size_t>(sqlite3_column_bytes(st, i)));
    }
    return v;
}

void StatementImpl::Execute(const BindValues& binds) {
    bool query = ast_->kind == sql::Statement::Select;
    Call call(s_, query && !tr_.forUpdate);
    if (call.Lock()) t_callLock = call.Lock();
    DatabaseImpl& db = *s_.db_;
    CloseResult();
    rows_ = 0;
    lastRowNumber_ = 0;
    compiledWithErrors_ = false;
    if (out_.size() != names_.size()) out_.assign(names_.size(), {});
    startTime_ = db.stmtTime_;
    if (s_.tx_.readOnly && (ast_->kind == sql::Statement::Insert || ast_->kind == sql::Statement::Update ||
                            ast_->kind == sql::Statement::Delete || ast_->kind == sql::Statement::Merge))
        Fail(1456, "may not perform insert/delete/update operation inside a READ ONLY transaction");
    if (IsSqlDml()) {
        // tables with other transactions' uncommitted changes are read as they were before them
        bool changed = trVersion_ != db.catalogVersion_;
        bool anyDirty = false;
        if (!changed && db.sessions_.size() > 1) {
            std::vector<int64_t> need;
            for (int64_t id : tr_.readTables)
                if ((!tr_.table || id != tr_.table->id || ast_->kind == sql::Statement::Select) && db.OthersChanged(s_.tx_, id)) need.push_back(id);
            std::vector<int64_t> have = tr_.substituted;
            std::sort(need.begin(), need.end());
            need.erase(std::unique(need.begin(), need.end()), need.end());
            std::sort(have.begin(), have.end());
            have.erase(std::unique(have.begin(), have.end()), have.end());
            changed = need != have;
            anyDirty = !need.empty();
        }
        if (changed) Retranslate();
        if (anyDirty || !tr_.substituted.empty()) db.SyncDirty();
        using K = sql::Statement;
        const char* ev = ast_->kind == K::Insert ? "INSERT" : ast_->kind == K::Update ? "UPDATE" : ast_->kind == K::Delete ? "DELETE" : nullptr;
        if (ev && tr_.table) {
            // statement triggers of the table, looked up again when the catalog changed
            if (trigVersion_ != db.catalogVersion_) {
                trigVersion_ = db.catalogVersion_;
                trigMask_ = (HasStatementTrigger(s_, *tr_.table, ev, "BEFORE") ? 1 : 0) | (HasStatementTrigger(s_, *tr_.table, ev, "AFTER") ? 2 : 0);
            }
            const Object* table = tr_.table;
            if (trigMask_ & 1) FireStatementTriggers(s_, *table, ev, "BEFORE");
            ExecuteSql(binds);
            if (trigMask_ & 2) FireStatementTriggers(s_, *table, ev, "AFTER");
        } else {
            ExecuteSql(binds);
        }
    } else {
        ExecuteOther(binds, call);
    }
}

void StatementImpl::ExecuteSql(const BindValues& binds) {
    DatabaseImpl& db = *s_.db_;
    Transaction& tx = s_.tx_;
    sqlite3_stmt* st = main_.s;
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    rownums_.assign(static_cast<size_t>(std::max(1, s_.rownumSlots_)), 0);
    db.rownums_ = &rownums_;
    for (auto& o : out_) o.clear();
    outLoc_.assign(out_.size(), {});
    if (ast_->kind == sql::Statement::Select) {
        BindAll(st, tr_.bindOfParam, binds);
        cursorBinds_.clear();
        if (!tr_.cursors.empty())   // kept for the nested queries, run after this call
            for (const auto& sl : binds.slots) cursorBinds_.push_back(sl.values.empty() ? std::vector<Value>{} : std::vector<Value>{Value::From(sl.values[0])});
        if (tr_.forUpdate) {
            // every row of the result is locked before the first one is returned
            db.EnsureTx();
            int lockCol = static_cast<int>(tr_.columns.size());
            std::vector<int64_t> rowids;
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) rowids.push_back(sqlite3_column_int64(st, lockCol));
            if (rc != SQLITE_DONE) { sqlite3_reset(st); RaiseStep(rc); }
            sqlite3_reset(st);
            for (int64_t r : rowids) db.AcquireRow(tx, RowKey{tr_.forUpdateTable->id, r}, tr_.waitSeconds, s_);
            rownums_.assign(rownums_.size(), 0);
        }
        open_ = true;
        db.rownums_ = nullptr;
        return;
    }
    for (const auto& [param, type] : tr_.bindTargets) {
        // the external type of a bind must convert to its column's type
        int slot = param < static_cast<int>(tr_.bindOfParam.size()) ? tr_.bindOfParam[static_cast<size_t>(param)] : -1;
        if (slot < 0 || static_cast<size_t>(slot) >= binds.slots.size() || binds.slots[slot].values.empty()) continue;
        const auto& sl = binds.slots[slot];
        ValueRef::Kind k = sl.values[0].kind;
        bool number = type == OraType::Number || type == OraType::BinaryFloat || type == OraType::BinaryDouble;
        if (number && k == ValueRef::Date) Fail(932, "inconsistent datatypes: expected NUMBER got DATE");
        if (type == OraType::Date && sl.declaredType == OraType::Number && k != ValueRef::Null)
            Fail(932, "inconsistent datatypes: expected DATE got NUMBER");
    }
    db.EnsureTx();
    // rows another transaction holds are waited for before the statement changes anything
    if (!tr_.lockSql.empty() && tr_.table && db.OthersLock(tx, tr_.table->id)) {
        Stmt lk;
        if (sqlite3_prepare_v2(db.db_, tr_.lockSql.c_str(), -1, &lk.s, nullptr) != SQLITE_OK) db.RaiseSqlite(SQLITE_ERROR, "lock");
        BindAll(lk.s, tr_.lockBindOfParam, binds);
        std::vector<int64_t> rowids;
        int rc;
        while ((rc = sqlite3_step(lk.s)) == SQLITE_ROW) rowids.push_back(sqlite3_column_int64(lk.s, 0));
        if (rc != SQLITE_DONE) RaiseStep(rc);
        lk.Reset();
        for (int64_t r : rowids) db.AcquireRow(tx, RowKey{tr_.table->id, r}, -1, s_);
    }
    BindAll(st, tr_.bindOfParam, binds);
    size_t undoMark = tx.undo.size();
    db.lastRowid_ = 0;
    int rc;
    std::vector<std::vector<Value>> returned;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (size_t k = 0; k < tr_.returningSlots.size(); ++k) {
            size_t slot = static_cast<size_t>(tr_.returningSlots[k]);
            if (slot < out_.size()) out_[slot].push_back(ToValue(st, static_cast<int>(k), tr_.returningTypes[k]));
            if (slot < outLoc_.size()) {
                LobLocation l;
                for (const auto& src : tr_.returningLobs)
                    if (src.column == k && sqlite3_column_type(st, static_cast<int>(k)) != SQLITE_NULL) {
                        l.Table = src.table;
                        l.Column = src.name;
                        l.Row = sqlite3_column_int64(st, src.hidden);
                    }
                outLoc_[slot].push_back(std::move(l));
            }
        }
    }
    if (rc != SQLITE_DONE) {
        sqlite3_reset(st);
        // the failed statement's own changes are gone: so are their undo records
        if (tx.undo.size() > undoMark) tx.undo.resize(undoMark);
        for (auto& o : out_) o.clear();
        for (auto& o : outLoc_) o.clear();
        db.rownums_ = nullptr;
        RaiseStep(rc);
    }
    rows_ = static_cast<uint64_t>(sqlite3_changes(db.db_));
    sqlite3_reset(st);
    if (second_.s) {
        // MERGE: the unmatched source rows are inserted after the matched ones were updated
        sqlite3_reset(second_.s);
        sqlite3_clear_bindings(second_.s);
        BindAll(second_.s, tr_.bindOfParam2, binds);
        rc = sqlite3_step(second_.s);
        if (rc != SQLITE_DONE) {
            sqlite3_reset(second_.s);
            db.ApplyUndo(tx, undoMark);   // the whole statement fails
            db.rownums_ = nullptr;
            RaiseStep(rc);
        }
        rows_ += static_cast<uint64_t>(sqlite3_changes(db.db_));
        sqlite3_reset(second_.s);
    }
    lastRowNumber_ = db.lastRowid_;
    lastTable_ = tr_.table ? tr_.table->id : 0;
    sqlite3_reset(st);
    db.rownums_ = nullptr;
}

bool StatementImpl::Fetch() {
    if (!open_) Fail(1002, "fetch out of sequence");
    DatabaseImpl& db = *s_.db_;
    DbLock lock(db);
    if (s_.killed_) Fail(28, "your session has been killed");
    SessionImpl* prev = db.current_;
    db.current_ = &s_;
    db.stmtTime_ = startTime_;
    db.rownums_ = &rownums_;
    bool outer = !s_.inCall_.load();   // a fetch by PL/SQL inside a call keeps its break pending
    bool prevReadOnly = s_.readOnlyCall_;
    s_.readOnlyCall_ = !tr_.forUpdate;
    s_.inCall_ = true;
    struct Restore {
        DatabaseImpl& db; SessionImpl* prev; SessionImpl& s; bool outer; bool readOnly;
        ~Restore() {
            db.current_ = prev;
            db.rownums_ = nullptr;
            s.readOnlyCall_ = readOnly;
            if (outer) { s.inCall_ = false; s.interrupted_ = false; }
        }
    } restore{db, prev, s_, outer, prevReadOnly};
    sqlite3_stmt* st = main_.s;
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) {
        open_ = false;
        row_.clear();
        sqlite3_reset(st);
        return false;
    }
    if (rc != SQLITE_ROW) {
        open_ = false;
        sqlite3_reset(st);
        RaiseStep(rc);
    }
    size_t n = tr_.columns.size();
    row_.resize(n);
    if (numBuf_.size() < n) numBuf_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        ValueRef& v = row_[i];
        int ci = static_cast<int>(i);
        int type = sqlite3_column_type(st, ci);
        v.kind = ValueRef::Null;
        if (type == SQLITE_NULL) continue;
        OraType t = tr_.columns[i].DataType;
        if (t == OraType::Date || IsTimestampType(t)) {
            if (type == SQLITE_TEXT) {
                v.kind = ValueRef::Text;
                v.p = reinterpret_cast<const char*>(sqlite3_column_text(st, ci));
                v.n = static_cast<size_t>(sqlite3_column_bytes(st, ci));
                continue;
            }
            v.kind = ValueRef::Date;
            double jd = sqlite3_column_double(st, ci), whole = jd;
            v.d = 0;
            if (IsTimestampType(t)) { rt::TimestampNanos(jd, &whole); v.d = jd; }   // the fraction travels in d
            rt::JulianTo7(whole, v.date);
            continue;
        }
        switch (type) {
        case SQLITE_INTEGER: v.kind = ValueRef::Integer; v.i = sqlite3_column_int64(st, ci); break;
        case SQLITE_FLOAT:
            v.d = sqlite3_column_double(st, ci);
            if (t == OraType::Number) {
                // exact decimal text for NUMBER, as Oracle would hand it over
                char* b = numBuf_[i].data();
                int scale = tr_.columns[i].Scale;
                int len = scale > 0 && scale <= 9 ? FixedText(v.d, scale, b) : -1;
                if (len < 0) len = rt::DoubleDigits(v.d, b, numBuf_[i].size());
                v.kind = ValueRef::Decimal;
                v.p = b;
                v.n = static_cast<size_t>(len);
            } else {
                v.kind = ValueRef::Double;
            }
            break;
        case SQLITE_BLOB:
            v.kind = t == OraType::Clob ? ValueRef::Text : ValueRef::Bytes;   // a CLOB stored as bytes is an empty one
            v.p = static_cast<const char*>(sqlite3_column_blob(st, ci));
            v.n = static_cast<size_t>(sqlite3_column_bytes(st, ci));
            if (!v.p) v.p = "";   // an empty LOB
            break;
        default:
            v.kind = ValueRef::Text;
            v.p = reinterpret_cast<const char*>(sqlite3_column_text(st, ci));
            v.n = static_cast<size_t>(sqlite3_column_bytes(st, ci));
        }
    }
    ++rows_;
    return true;
}

std::unique_ptr<Statement> StatementImpl::ColumnCursor(size_t index) {
    const Translated::NestedCursor* nc = nullptr;
    for (const auto& c : tr_.cursors) if (c.column == index) nc = &c;
    if (!nc || !open_ || index >= row_.size()) return nullptr;
    std::string packed = row_[index].kind == ValueRef::Bytes ? std::string(row_[index].p, row_[index].n) : std::string("P");
    DatabaseImpl& db = *s_.db_;
    DbLock lock(db);
    if (s_.killed_) Fail(28, "your session has been killed");
    SessionImpl* prev = db.current_;
    db.current_ = &s_;
    db.stmtTime_ = startTime_;
    std::vector<int64_t> nums(1, 0);
    db.rownums_ = &nums;
    struct Restore { DatabaseImpl& db; SessionImpl* prev; ~Restore() { db.current_ = prev; db.rownums_ = nullptr; } } restore{db, prev};
    Stmt q;
    if (sqlite3_prepare_v2(db.db_, nc->sql.c_str(), static_cast<int>(nc->sql.size()), &q.s, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db.db_);
        throw EngineError(600, sql::OraMessage(600, "internal error code, arguments: [ocisim], [" + msg + "], [" + nc->sql + "]"));
    }
    for (size_t k = 0; k < nc->bindOfParam.size(); ++k) {
        int slot = nc->bindOfParam[k];
        int idx = static_cast<int>(k + 1);
        if (slot <= -2) {
            if (!BindPacked(q.s, idx, packed, static_cast<size_t>(-2 - slot))) sqlite3_bind_null(q.s, idx);
            continue;
        }
        if (slot < 0 || static_cast<size_t>(slot) >= cursorBinds_.size() || cursorBinds_[slot].empty()) Fail(1008, "not all variables bound");
        const ValueRef v = cursorBinds_[slot][0].Ref();
        switch (v.kind) {
        case ValueRef::Null: sqlite3_bind_null(q.s, idx); break;
        case ValueRef::Integer: sqlite3_bind_int64(q.s, idx, v.i); break;
        case ValueRef::Double: sqlite3_bind_double(q.s, idx, v.d); break;
        case ValueRef::Date: sqlite3_bind_double(q.s, idx, v.d != 0 ? v.d : rt::JulianFrom7(v.date)); break;
        case ValueRef::Bytes: sqlite3_bind_blob(q.s, idx, v.p, static_cast<int>(v.n), SQLITE_TRANSIENT); break;
        case ValueRef::Text: case ValueRef::Decimal:
            if (v.n == 0) sqlite3_bind_null(q.s, idx);
            else if (v.kind == ValueRef::Text) sqlite3_bind_text(q.s, idx, v.p, static_cast<int>(v.n), SQLITE_TRANSIENT);
            else {
                double d;
                if (!rt::ParseNumber(std::string(v.p, v.n), d)) Fail(1722, "invalid number");
                sqlite3_bind_double(q.s, idx, d);
            }
            break;
        }
    }
    std::vector<std::vector<Value>> rows;
    int rc;
    while ((rc = sqlite3_step(q.s)) == SQLITE_ROW) {
        std::vector<Value> row;
        for (size_t c = 0; c < nc->columns.size(); ++c) {
            Value v = ToValue(q.s, static_cast<int>(c), nc->columns[c]);
            if (v.kind == ValueRef::Double && nc->columns[c].DataType == OraType::Number) {
                // exact decimal text for NUMBER, as a fetch of the outer query gives it
                char b[40];
                int scale = nc->columns[c].Scale;
                int len = scale > 0 && scale <= 9 ? FixedText(v.d, scale, b) : -1;
                if (len < 0) len = rt::DoubleDigits(v.d, b, sizeof b);
                v.kind = ValueRef::Decimal;
                v.bytes.assign(b, static_cast<size_t>(len));
            }
            row.push_back(std::move(v));
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) RaiseStep(rc);
    return std::make_unique<RowsStatement>(nc->columns, std::move(rows));
}

// ======================================================================== PL/SQL glue
// What the interpreter gets from the engine for one call on one session.
class PlRunner final : public SqlRunner {
public:
    explicit PlRunner(SessionImpl& s) : s_(s) {}
    std::unique_ptr<Statement> PrepareSql(std::string_view text) override { return s_.Prepare(text); }
    const std::string& UserName() const override { return s_.user_; }
    const std::string& SchemaName() const override { return s_.schema_; }
    int SessionId() const override { return s_.sid_; }
    bool Interrupted() const override { return s_.interrupted_.load(); }
    std::shared_ptr<void>& SessionState(std::string_view key) override { return s_.plState_[std::string(key)]; }
    std::shared_ptr<void>& DatabaseState(std::string_view key) override { return s_.db_->plState_[std::string(key)]; }
    std::string LocalTransactionId() const override {
        if (!s_.InTransaction()) return {};
        return std::to_string(s_.sid_) + "." + std::to_string(s_.serial_) + "." + std::to_string(s_.tx_.undo.empty() ? 1 : 2);
    }
    std::string DateFormat() const override { return s_.dateFormat_; }
    uint64_t CatalogVersion() const override { return s_.db_->catalogVersion_; }
    void SetSessionInfo(std::string_view field, std::string_view value) override {
        std::string col = field == "MODULE" ? "module" : field == "ACTION" ? "action" : field == "CLIENT_INFO" ? "client_info" : "";
        if (col.empty()) return;
        DatabaseImpl& d = *s_.db_;
        bool prev = d.capture_;
        d.capture_ = false;
        Query q(d.db_, ("UPDATE temp.ocs_sessions SET " + col + " = ? WHERE sid = ?").c_str());
        if (value.empty()) q.BindNull(1); else q.Bind(1, std::string(value));
        q.Bind(2, int64_t(s_.sid_));
        try { q.Run(d.db_); } catch (...) { d.capture_ = prev; throw; }
        d.capture_ = prev;
    }
    void StoreUnit(const StoredUnit& u) override;
    bool DropUnit(const std::string& owner, const std::string& name, const std::string& type) override;
    void SetUnitStatus(const std::string& owner, const std::string& name, const std::string& type, bool valid,
                       const std::vector<StoredUnit::Error>& errors) override;
    void Pause(int milliseconds) override {
        // the other sessions run while this call waits
        DatabaseImpl& d = *s_.db_;
        std::unique_lock<std::mutex>* lk = t_callLock;
        if (!lk || !lk->owns_lock()) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); return; }
        d.owner_ = std::thread::id();
        lk->unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        lk->lock();
        d.owner_ = std::this_thread::get_id();
        d.current_ = &s_;
    }
    void WriteLob(const LobLocation& where, const ValueRef& content) override { s_.WriteLob(where, content); }

private:
    void WriteErrors(const std::string& owner, const std::string& name, const std::string& type, const std::vector<StoredUnit::Error>& errors);
    void Done(const std::string& owner, const std::string& name, const std::string& type);
    void WriteDescription(const StoredUnit& u, int64_t objectId);
    void DeleteDescription(const std::string& owner, const std::string& name, const std::string& type);
    SessionImpl& s_;
};

// Databases made before the type details had their own table get it on first use.
void EnsureTypeInfo(sqlite3* db) {
    sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS ocs_type_info(owner TEXT, type_name TEXT, final TEXT, coll_type TEXT, upper_bound INTEGER, "
                     "elem_type_owner TEXT, elem_type_name TEXT, length INTEGER, precision INTEGER, scale INTEGER)",
                 nullptr, nullptr, nullptr);
}

void PlRunner::DeleteDescription(const std::string& owner, const std::string& name, const std::string& type) {
    sqlite3* db = s_.db_->db_;
    Query a(db, "DELETE FROM ocs_arguments WHERE unit_owner = ? AND unit_name = ? AND unit_type = ?");
    a.Bind(1, owner).Bind(2, name).Bind(3, type).Run(db);
    if (type != "TYPE") return;
    EnsureTypeInfo(db);
    for (const char* text : {"DELETE FROM ocs_types WHERE owner = ?1 AND type_name = ?2", "DELETE FROM ocs_type_attrs WHERE owner = ?1 AND type_name = ?2",
                             "DELETE FROM ocs_type_methods WHERE owner = ?1 AND type_name = ?2", "DELETE FROM ocs_type_info WHERE owner = ?1 AND type_name = ?2"}) {
        Query q(db, text);
        q.Bind(1, owner).Bind(2, name).Run(db);
    }
}

// The unit's arguments, and a type's attributes and methods, as the dictionary shows them.
void PlRunner::WriteDescription(const StoredUnit& u, int64_t objectId) {
    sqlite3* db = s_.db_->db_;
    DeleteDescription(u.owner, u.name, u.type);
    Query ins(db, "INSERT INTO ocs_arguments VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    auto text = [&](int i, const std::string& v) { if (v.empty()) ins.BindNull(i); else ins.Bind(i, v); };
    auto num = [&](int i, int v, bool nullWhenZero) { if (nullWhenZero && v == 0) ins.BindNull(i); else ins.Bind(i, int64_t(v)); };
    for (const auto& a : u.arguments) {
        ins.Bind(1, u.owner).Bind(2, u.name).Bind(3, u.type).Bind(4, objectId);
        text(5, a.objectName);
        text(6, a.packageName);
        text(7, a.overload);
        text(8, a.argumentName);
        num(9, a.position, false);
        num(10, a.sequence, false);
        num(11, a.dataLevel, false);
        text(12, a.dataType);
        ins.Bind(13, std::string(a.defaulted ? "Y" : "N"));
        ins.Bind(14, a.inOut);
        num(15, a.dataLength, true);
        num(16, a.dataPrecision, true);
        num(17, a.dataScale, a.dataPrecision == 0);
        text(18, a.typeOwner);
        text(19, a.typeName);
        ins.Run(db);
    }
    if (u.type != "TYPE" || u.typecode.empty()) return;
    Query t(db, "INSERT INTO ocs_types VALUES (?,?,?,?,?,randomblob(16))");
    t.Bind(1, u.owner).Bind(2, u.name).Bind(3, u.typecode).Bind(4, int64_t(u.attributes.size())).Bind(5, int64_t(u.methods.size())).Run(db);
    Query at(db, "INSERT INTO ocs_type_attrs VALUES (?,?,?,?,?,?,?,?,?)");
    int64_t no = 0;
    for (const auto& a : u.attributes) {
        at.Bind(1, u.owner).Bind(2, u.name).Bind(3, a.name);
        if (a.typeOwner.empty()) at.BindNull(4); else at.Bind(4, a.typeOwner);
        at.Bind(5, a.typeName);
        if (a.length) at.Bind(6, int64_t(a.length)); else at.BindNull(6);
        if (a.precision) at.Bind(7, int64_t(a.precision)); else at.BindNull(7);
        if (a.precision) at.Bind(8, int64_t(a.scale)); else at.BindNull(8);
        at.Bind(9, ++no).Run(db);
    }
    Query mt(db, "INSERT INTO ocs_type_methods VALUES (?,?,?,?,?,?,?,?)");
    no = 0;
    for (const auto& m : u.methods) {
        mt.Bind(1, u.owner).Bind(2, u.name).Bind(3, m.name).Bind(4, ++no).Bind(5, m.methodType).Bind(6, int64_t(m.parameters))
            .Bind(7, int64_t(m.results)).Bind(8, std::string(m.isStatic ? "YES" : "NO")).Run(db);
    }
    // FINAL, and a collection's kind, bound and element (ALL_COLL_TYPES)
    Query ti(db, "INSERT INTO ocs_type_info VALUES (?,?,?,?,?,?,?,?,?,?)");
    ti.Bind(1, u.owner).Bind(2, u.name).Bind(3, std::string(u.final ? "YES" : "NO"));
    auto optText = [&](int i, const std::string& v) { if (v.empty()) ti.BindNull(i); else ti.Bind(i, v); };
    auto optNum = [&](int i, int v, bool have) { if (have) ti.Bind(i, int64_t(v)); else ti.BindNull(i); };
    optText(4, u.collType);
    optNum(5, u.upperBound, !u.collType.empty() && u.collType != "TABLE");
    optText(6, u.element.typeOwner);
    optText(7, u.element.typeName);
    optNum(8, u.element.length, u.element.length != 0);
    optNum(9, u.element.precision, u.element.precision != 0);
    optNum(10, u.element.scale, u.element.precision != 0);
    ti.Run(db);
}

void PlRunner::WriteErrors(const std::string& owner, const std::string& name, const std::string& type,
                           const std::vector<StoredUnit::Error>& errors) {
    sqlite3* db = s_.db_->db_;
    Query del(db, "DELETE FROM ocs_errors WHERE owner = ? AND name = ? AND type = ?");
    del.Bind(1, owner).Bind(2, name).Bind(3, type).Run(db);
    Query ins(db, "INSERT INTO ocs_errors VALUES (?,?,?,?,?,?,?)");
    int64_t seq = 0;
    for (const auto& e : errors) {
        ins.Bind(1, owner).Bind(2, name).Bind(3, type).Bind(4, ++seq).Bind(5, int64_t(e.line)).Bind(6, int64_t(e.position)).Bind(7, e.text);
        ins.Run(db);
    }
}

// Commits the unit's rows and shows the changed catalog to every session; triggers rebuild the
// SQLite side of their table.
void PlRunner::Done(const std::string& owner, const std::string& name, const std::string& type) {
    (void)owner; (void)name; (void)type;
    DatabaseImpl& d = *s_.db_;
    d.PersistOpenUndo(nullptr);
    d.SqliteCommit();
    d.LoadCatalog();
}

void PlRunner::StoreUnit(const StoredUnit& u) {
    DatabaseImpl& d = *s_.db_;
    sqlite3* db = d.db_;
    bool prev = d.capture_;
    d.capture_ = false;
    struct Restore { DatabaseImpl& d; bool v; ~Restore() { d.capture_ = v; } } restore{d, prev};
    d.EnsureTx();
    double now = rt::Now();
    int64_t id = 0;
    {
        Query q(db, "SELECT object_id FROM ocs_objects WHERE owner = ? AND object_name = ? AND object_type = ?");
        q.Bind(1, u.owner).Bind(2, u.name).Bind(3, u.type);
        if (q.Next()) id = q.I(0);
    }
    std::string status = u.valid ? "VALID" : "INVALID";
    if (id) {
        Query q(db, "UPDATE ocs_objects SET status = ?, last_ddl = ? WHERE object_id = ?");
        q.Bind(1, status).BindD(2, now).Bind(3, id).Run(db);
    } else {
        id = d.NewObjectId();
        Query q(db, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,?,?,'',?,?)");
        q.Bind(1, id).Bind(2, u.owner).Bind(3, u.name).Bind(4, u.type).Bind(5, status).BindD(6, now).BindD(7, now).Run(db);
    }
    {
        Query del(db, "DELETE FROM ocs_source WHERE owner = ? AND name = ? AND type = ?");
        del.Bind(1, u.owner).Bind(2, u.name).Bind(3, u.type).Run(db);
        Query ins(db, "INSERT INTO ocs_source VALUES (?,?,?,?,?)");
        int64_t line = 0;
        size_t p = 0;
        while (p < u.source.size()) {
            size_t q = u.source.find('\n', p);
            std::string text = q == std::string::npos ? u.source.substr(p) : u.source.substr(p, q - p + 1);
            ins.Bind(1, u.owner).Bind(2, u.name).Bind(3, u.type).Bind(4, ++line).Bind(5, text).Run(db);
            if (q == std::string::npos) break;
            p = q + 1;
        }
    }
    WriteErrors(u.owner, u.name, u.type, u.errors);
    WriteDescription(u, id);
    Done(u.owner, u.name, u.type);
    if (u.type == "TRIGGER" && !u.table.empty()) {
        d.EnsureTx();
        d.BuildTriggers(u.tableOwner, u.table);
        d.SqliteCommit();
        d.Touch();
    }
}

bool PlRunner::DropUnit(const std::string& owner, const std::string& name, const std::string& type) {
    DatabaseImpl& d = *s_.db_;
    sqlite3* db = d.db_;
    bool prev = d.capture_;
    d.capture_ = false;
    struct Restore { DatabaseImpl& d; bool v; ~Restore() { d.capture_ = v; } } restore{d, prev};
    d.EnsureTx();
    bool found = false;
    {
        Query q(db, "SELECT object_id FROM ocs_objects WHERE owner = ? AND object_name = ? AND object_type = ?");
        q.Bind(1, owner).Bind(2, name).Bind(3, type);
        found = q.Next();
    }
    if (!found) return false;
    for (const char* text : {"DELETE FROM ocs_objects WHERE owner = ?1 AND object_name = ?2 AND object_type = ?3",
                             "DELETE FROM ocs_source WHERE owner = ?1 AND name = ?2 AND type = ?3",
                             "DELETE FROM ocs_errors WHERE owner = ?1 AND name = ?2 AND type = ?3"}) {
        Query q(db, text);
        q.Bind(1, owner).Bind(2, name).Bind(3, type).Run(db);
    }
    DeleteDescription(owner, name, type);
    Done(owner, name, type);
    if (type == "TRIGGER") {
        // the trigger's table gets its SQLite triggers rebuilt without it
        d.EnsureTx();
        for (const auto& [k, o] : d.cat_.objects)
            if (o.type == "TABLE") {
                Query q(db, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? AND name LIKE 'p:%'");
                q.Bind(1, o.sqlName);
                if (q.Next()) d.BuildTriggers(o.owner, o.name);
            }
        d.SqliteCommit();
        d.Touch();
    }
    return true;
}

void PlRunner::SetUnitStatus(const std::string& owner, const std::string& name, const std::string& type, bool valid,
                             const std::vector<StoredUnit::Error>& errors) {
    DatabaseImpl& d = *s_.db_;
    sqlite3* db = d.db_;
    bool prev = d.capture_;
    d.capture_ = false;
    struct Restore { DatabaseImpl& d; bool v; ~Restore() { d.capture_ = v; } } restore{d, prev};
    d.EnsureTx();
    Query q(db, "UPDATE ocs_objects SET status = ?, last_ddl = ? WHERE owner = ? AND object_name = ? AND object_type = ?");
    q.Bind(1, std::string(valid ? "VALID" : "INVALID")).BindD(2, rt::Now()).Bind(3, owner).Bind(4, name).Bind(5, type).Run(db);
    WriteErrors(owner, name, type, errors);
    Done(owner, name, type);
}


// ------------------------------------------------------------------------ triggers and functions
bool SessionImpl::HasRowTrigger(const Object& t, const std::string& event, const std::string& timing) {
    PlRunner r(*this);
    return GetPlSqlEngine()->HasTriggers(r, t.owner, t.name, event, timing, true);
}

bool SessionImpl::PlSqlFunction(const std::vector<std::string>& name, ColumnInfo& type) {
    PlRunner r(*this);
    return GetPlSqlEngine()->IsFunction(r, name, &type);
}

bool HasStatementTrigger(SessionImpl& s, const Object& t, const char* event, const char* timing) {
    PlRunner r(s);
    return GetPlSqlEngine()->HasTriggers(r, t.owner, t.name, event, timing, false);
}

void FireStatementTriggers(SessionImpl& s, const Object& t, const char* event, const char* timing) {
    PlRunner r(s);
    GetPlSqlEngine()->FireTriggers(r, t.owner, t.name, event, timing, nullptr);
}

// A column value as SQLite holds it, as the interpreter sees it.
Value PlValueOf(sqlite3_value* v, const ColumnInfo& t) {
    Value r;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: break;
    case SQLITE_INTEGER:
        if (t.DataType == OraType::Date) { r.kind = ValueRef::Date; rt::JulianTo7(static_cast<double>(sqlite3_value_int64(v)), r.date); }
        else { r.kind = ValueRef::Integer; r.i = sqlite3_value_int64(v); }
        break;
    case SQLITE_FLOAT:
        if (t.DataType == OraType::Date) { r.kind = ValueRef::Date; rt::JulianTo7(sqlite3_value_double(v), r.date); }
        else { r.kind = ValueRef::Double; r.d = sqlite3_value_double(v); }
        break;
    case SQLITE_TEXT:
        r.kind = ValueRef::Text;
        r.bytes.assign(reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
    default:
        r.kind = ValueRef::Bytes;
        if (const void* b = sqlite3_value_blob(v)) r.bytes.assign(static_cast<const char*>(b), static_cast<size_t>(sqlite3_value_bytes(v)));
        break;
    }
    return r;
}

void PlResult(sqlite3_context* ctx, const Value& v) {
    switch (v.kind) {
    case ValueRef::Null: sqlite3_result_null(ctx); break;
    case ValueRef::Integer: sqlite3_result_int64(ctx, v.i); break;
    case ValueRef::Double: sqlite3_result_double(ctx, v.d); break;
    case ValueRef::Decimal: sqlite3_result_double(ctx, std::strtod(v.bytes.c_str(), nullptr)); break;
    case ValueRef::Text: sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
    case ValueRef::Bytes: sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
    case ValueRef::Date: sqlite3_result_double(ctx, rt::JulianFrom7(v.date)); break;
    }
}

void PlError(sqlite3_context* ctx, const EngineError& e) { sqlite3_result_error(ctx, e.Text.c_str(), static_cast<int>(e.Text.size())); }

const Object* ObjectById(DatabaseImpl& d, int64_t id) {
    for (const auto& [k, o] : d.cat_.objects) if (o.id == id) return &o;
    return nullptr;
}

void RegisterPlSqlFunctions(DatabaseImpl& d) {
    // ora_trig_fire(table id, column values...): runs the BEFORE INSERT row triggers on the row,
    // keeps the row they leave and returns its handle for ora_trig_new(handle, column, last)
    auto fire = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        auto& db = *static_cast<DatabaseImpl*>(sqlite3_user_data(ctx));
        try {
            const Object* t = ObjectById(db, sqlite3_value_int64(argv[0]));
            if (!t || !db.current_ || argc < 2) { sqlite3_result_error(ctx, "ORA-00600: internal error code, arguments: [ocisim], [trigger table]", -1); return; }
            std::string event = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
            size_t n = t->cols.size();
            std::vector<std::string> cols;
            std::vector<Value> row, old;
            for (size_t k = 0; k < n && static_cast<int>(k) + 2 < argc; ++k) {
                cols.push_back(t->cols[k].name);
                row.push_back(PlValueOf(argv[k + 2], t->cols[k].info));
                if (static_cast<int>(k + 2 + n) < argc) old.push_back(PlValueOf(argv[k + 2 + n], t->cols[k].info));
            }
            std::string owner = t->owner, name = t->name;
            TriggerRow tr;
            tr.columns = &cols;
            tr.newValues = &row;
            if (event == "UPDATE") tr.oldValues = &old;
            PlRunner r(*db.current_);
            GetPlSqlEngine()->FireTriggers(r, owner, name, event, "BEFORE", &tr);
            int64_t h = ++db.nextTriggerRow_;
            db.triggerRows_[h] = std::move(row);
            sqlite3_result_int64(ctx, h);
        } catch (const EngineError& e) {
            PlError(ctx, e);
        }
    };
    auto fetch = [](sqlite3_context* ctx, int, sqlite3_value** argv) {
        auto& db = *static_cast<DatabaseImpl*>(sqlite3_user_data(ctx));
        auto it = db.triggerRows_.find(sqlite3_value_int64(argv[0]));
        size_t k = static_cast<size_t>(sqlite3_value_int64(argv[1]));
        if (it == db.triggerRows_.end() || k >= it->second.size()) { sqlite3_result_null(ctx); return; }
        PlResult(ctx, it->second[k]);
        if (sqlite3_value_int64(argv[2])) db.triggerRows_.erase(it);
    };
    // ora_trig_row(table id, 'TIMING', 'EVENT', new values..., old values...): the other row triggers
    auto row = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        auto& db = *static_cast<DatabaseImpl*>(sqlite3_user_data(ctx));
        try {
            const Object* t = ObjectById(db, sqlite3_value_int64(argv[0]));
            if (!t || !db.current_) { sqlite3_result_null(ctx); return; }
            std::string timing = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
            std::string event = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
            size_t n = t->cols.size();
            if (static_cast<size_t>(argc) < 3 + 2 * n) { sqlite3_result_null(ctx); return; }
            std::vector<std::string> cols;
            std::vector<Value> nv, ov;
            for (size_t k = 0; k < n; ++k) {
                cols.push_back(t->cols[k].name);
                nv.push_back(PlValueOf(argv[3 + k], t->cols[k].info));
                ov.push_back(PlValueOf(argv[3 + n + k], t->cols[k].info));
            }
            std::string owner = t->owner, name = t->name;
            TriggerRow tr;
            tr.columns = &cols;
            if (event != "DELETE") tr.newValues = &nv;
            if (event != "INSERT") tr.oldValues = &ov;
            PlRunner r(*db.current_);
            GetPlSqlEngine()->FireTriggers(r, owner, name, event, timing, &tr);
            sqlite3_result_null(ctx);
        } catch (const EngineError& e) {
            PlError(ctx, e);
        }
    };
    // ora_pl_call('NAME', args...): a stored function called from SQL
    auto call = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        auto& db = *static_cast<DatabaseImpl*>(sqlite3_user_data(ctx));
        try {
            if (!db.current_ || argc < 1) { sqlite3_result_null(ctx); return; }
            std::string full = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
            std::vector<std::string> name;
            size_t p = 0;
            for (size_t q; (q = full.find('.', p)) != std::string::npos; p = q + 1) name.push_back(full.substr(p, q - p));
            name.push_back(full.substr(p));
            std::vector<Value> args;
            ColumnInfo any;
            for (int k = 1; k < argc; ++k) args.push_back(PlValueOf(argv[k], any));
            PlRunner r(*db.current_);
            PlResult(ctx, GetPlSqlEngine()->CallFunction(r, name, args));
        } catch (const EngineError& e) {
            PlError(ctx, e);
        }
    };
    sqlite3_create_function_v2(d.db_, "ora_trig_fire", -1, SQLITE_UTF8, &d, fire, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(d.db_, "ora_trig_new", 3, SQLITE_UTF8, &d, fetch, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(d.db_, "ora_trig_row", -1, SQLITE_UTF8, &d, row, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(d.db_, "ora_pl_call", -1, SQLITE_UTF8, &d, call, nullptr, nullptr, nullptr);
}

void StatementImpl::ExecuteOther(const BindValues& binds, Call& call) {
    (void)binds;
    (void)call;
    DatabaseImpl& db = *s_.db_;
    sql::Statement& st = *ast_;
    using K = sql::Statement;
    switch (st.kind) {
    case K::Commit:
        db.EndTransaction(s_.tx_, true);
        return;
    case K::Rollback:
        if (st.param.empty()) {
            db.EndTransaction(s_.tx_, false);
            return;
        }
        for (size_t k = s_.tx_.savepoints.size(); k-- > 0;) {
            if (s_.tx_.savepoints[k].first == st.param) {
                db.ClearDirty(s_.tx_);
                db.ApplyUndo(s_.tx_, s_.tx_.savepoints[k].second);
                s_.tx_.savepoints.resize(k + 1);
                return;
            }
        }
        Fail(1086, "savepoint '" + st.param + "' never established in this session or is invalid");
    case K::Savepoint: {
        auto& sp = s_.tx_.savepoints;
        sp.erase(std::remove_if(sp.begin(), sp.end(), [&](const auto& p) { return p.first == st.param; }), sp.end());
        sp.emplace_back(st.param, s_.tx_.undo.size());
        s_.tx_.active = true;
        return;
    }
    case K::SetTransaction:
        if (!s_.tx_.undo.empty()) Fail(1453, "SET TRANSACTION must be first statement of transaction");
        if (st.words.size() >= 2 && Upper(st.words[0]) == "READ" && Upper(st.words[1]) == "ONLY") s_.tx_.readOnly = true;
        return;
    case K::LockTable:
        return;
    case K::AlterSession: {
        for (size_t k = 0; k < st.words.size(); ++k) {
            const std::string& p = st.words[k];
            const std::string& v = st.grantees[k];
            if (p == "NLS_DATE_FORMAT") {
                rt::FormatDate(rt::Now(), v);   // rejects an unknown format
                s_.dateFormat_ = v;
            } else if (p == "CURRENT_SCHEMA") {
                if (!db.cat_.users.count(v)) Fail(1435, "user does not exist");
                s_.schema_ = v;
                db.Touch();
            } else if (p == "EDITION") {
                if (v != "ORA$BASE") Fail(38802, "edition does not exist");
            } else if (p == "OPTIMIZER_GOAL") {
                Fail(2248, "invalid option for ALTER SESSION");
            } else {
                static const std::set<std::string> known = {
                    "NLS_LANGUAGE", "NLS_TERRITORY", "NLS_NUMERIC_CHARACTERS", "NLS_SORT", "NLS_COMP", "NLS_CURRENCY",
                    "NLS_DATE_LANGUAGE", "NLS_TIMESTAMP_FORMAT", "NLS_TIMESTAMP_TZ_FORMAT", "NLS_LENGTH_SEMANTICS",
                    "SQL_TRACE", "OPTIMIZER_MODE", "ISOLATION_LEVEL", "TIME_ZONE", "NLS_CALENDAR", "NLS_ISO_CURRENCY",
                    "NLS_DUAL_CURRENCY", "CURSOR_SHARING", "EVENTS", "SKIP_UNUSABLE_INDEXES", "STATISTICS_LEVEL",
                    "PLSQL_WARNINGS", "PLSQL_DEBUG", "PLSQL_OPTIMIZE_LEVEL", "DB_FILE_MULTIBLOCK_READ_COUNT",
                    "SORT_AREA_SIZE", "HASH_AREA_SIZE", "NLS_NCHAR_CONV_EXCP", "GLOBAL_NAMES", "TRACEFILE_IDENTIFIER"};
                if (!known.count(p)) Fail(2248, "invalid option for ALTER SESSION");
            }
        }
        return;
    }
    case K::AlterSystem: {
        if (st.objectType != "KILL SESSION") {
            if (!s_.dba_) Fail(1031, "insufficient privileges");
            return;
        }
        if (!s_.dba_) Fail(1031, "insufficient privileges");
        int sid = 0, serial = 0;
        if (std::sscanf(st.text.c_str(), "%d , %d", &sid, &serial) != 2) Fail(26, "missing or invalid session ID");
        auto it = db.sessions_.find(sid);
        if (it == db.sessions_.end() || it->second->serial_ != serial) Fail(30, "User session ID does not exist.");
        SessionImpl* victim = it->second;
        if (victim == &s_) Fail(27, "cannot kill current session");
        victim->killed_ = true;
        SessionImpl* prev = db.current_;
        db.current_ = victim;
        db.EndTransaction(victim->tx_, false);
        db.current_ = prev;
        bool cap = db.capture_;
        db.capture_ = false;
        db.Exec("UPDATE temp.ocs_sessions SET status = 'KILLED' WHERE sid = " + std::to_string(sid));
        db.capture_ = cap;
        db.lockCv_.notify_all();
        return;
    }
    case K::PlSql:
    case K::CreatePlSql: {
        PlSqlEngine* pl = GetPlSqlEngine();
        if (st.kind == K::CreatePlSql) db.EndTransaction(s_.tx_, true);
        PlRunner runner(s_);
        // a block that fails leaves nothing of its own changes behind
        size_t mark = s_.tx_.undo.size();
        PlSqlResult r;
        try {
            r = pl->Execute(st, text_, names_, binds, runner);
        } catch (const EngineError&) {
            if (st.kind == K::PlSql && s_.tx_.undo.size() > mark) db.ApplyUndo(s_.tx_, mark);
            throw;
        }
        for (size_t k = 0; k < r.outValues.size() && k < out_.size(); ++k) out_[k] = std::move(r.outValues[k]);
        cursors_.clear();
        cursors_.resize(r.cursors.size());
        for (size_t k = 0; k < r.cursors.size(); ++k) cursors_[k] = std::move(r.cursors[k]);
        compiledWithErrors_ = r.compiledWithErrors;
        return;
    }
    default:
        break;
    }
    // DDL: commits the session's transaction before and after
    db.EndTransaction(s_.tx_, true);
    if (st.kind == K::Drop && (st.objectType == "PROCEDURE" || st.objectType == "FUNCTION" || st.objectType == "PACKAGE" ||
                               st.objectType == "PACKAGE BODY" || st.objectType == "TRIGGER" || st.objectType == "TYPE BODY")) {
        PlRunner runner(s_);
        GetPlSqlEngine()->Drop(runner, st);
        return;
    }
    db.RunDdl(s_, st, text_);
}

std::unique_ptr<Statement> SessionImpl::Prepare(std::string_view sql) {
    if (killed_) Fail(28, "your session has been killed");
    auto st = std::make_unique<StatementImpl>(*this, std::string(sql));
    st->PrepareText();
    return st;
}

} // namespace

// ======================================================================== DDL
namespace {

Column ColumnFromDef(const sql::ColumnDef& d, uint16_t cs, uint16_t ncs) {
    Column c;
    c.name = d.name;
    c.info.Name = d.name;
    c.defaultText = d.defaultText;
    const std::string& t = d.typeName;
    auto width = [&](bool national) -> uint32_t {
        if (national) return ncs == 2000 ? 2 : 3;
        return cs == 873 ? 4 : (cs == 871 || cs == 870) ? 3 : 1;
    };
    int off = static_cast<int>(d.offset);
    if (t == "VARCHAR2" || t == "NVARCHAR2" || t == "CHAR" || t == "NCHAR") {
        bool national = t[0] == 'N';
        bool fixed = t == "CHAR" || t == "NCHAR";
        int len = d.length;
        if (len < 0) {
            if (!fixed) Fail(906, "missing left parenthesis", off);
            len = 1;
        }
        int maxLen = fixed ? 2000 : 4000;
        if (len == 0) Fail(1723, "zero-length columns are not allowed", off);
        if (national && static_cast<uint32_t>(len) * width(true) > static_cast<uint32_t>(maxLen)) Fail(910, "specified length too long for its datatype", off);
        if (len > maxLen) Fail(910, "specified length too long for its datatype", off);
        c.info.DataType = fixed ? OraType::Char : OraType::Varchar2;
        c.info.CharsetForm = national ? 2 : 1;
        c.info.CharsetId = national ? ncs : cs;
        c.info.CharUsed = national || d.charSemantics;
        c.info.CharSize = static_cast<uint32_t>(len);
        c.info.ByteSize = c.info.CharUsed ? std::min<uint32_t>(static_cast<uint32_t>(len) * width(national), static_cast<uint32_t>(maxLen)) : static_cast<uint32_t>(len);
        c.typeText = t;
        c.dataLength = static_cast<int>(c.info.ByteSize);
    } else if (t == "NUMBER" || t == "FLOAT") {
        c.info.DataType = OraType::Number;
        c.info.ByteSize = 22;
        c.typeText = t;
        c.dataLength = 22;
        if (t == "FLOAT") {
            int p = d.precision < 0 ? 126 : d.precision;
            if (p < 1 || p > 126) Fail(1724, "floating point precision is out of range (1 to 126)", off);
            c.info.Precision = static_cast<int16_t>(p);
            c.info.Scale = -127;
        } else if (d.precision < 0 && d.scale < 0) {
            c.info.Precision = 0;
            c.info.Scale = -127;
        } else {
            int p = d.precision < 0 ? 38 : d.precision;
            int s = d.scale < 0 && d.scale != -1 ? d.scale : (d.scale == -1 ? 0 : d.scale);
            if (d.scale < -1) s = d.scale;
            if (p < 1 || p > 38) Fail(1727, "numeric precision specifier is out of range (1 to 38)", off);
            if (s < -84 || s > 127) Fail(1728, "numeric scale specifier is out of range (-84 to 127)", off);
            c.info.Precision = static_cast<int16_t>(p);
            c.info.Scale = static_cast<int8_t>(s);
        }
    } else if (t == "DATE") {
        c.info.DataType = OraType::Date;
        c.info.ByteSize = 7;
        c.typeText = "DATE";
        c.dataLength = 7;
    } else if (t == "TIMESTAMP WITH TIME ZONE" || t == "TIMESTAMP WITH LOCAL TIME ZONE") {
        bool local = t == "TIMESTAMP WITH LOCAL TIME ZONE";
        c.info.DataType = local ? OraType::TimestampLTZ : OraType::TimestampTZ;
        c.info.ByteSize = local ? 11 : 13;
        c.info.Precision = static_cast<int16_t>(d.precision < 0 ? 6 : d.precision);
        c.info.Scale = static_cast<int8_t>(c.info.Precision);
        c.typeText = "TIMESTAMP(" + std::to_string(c.info.Precision) + ")" + t.substr(9);
        c.dataLength = static_cast<int>(c.info.ByteSize);
    } else if (t == "TIMESTAMP") {
        c.info.DataType = OraType::Timestamp;
        c.info.ByteSize = 11;
        c.info.Precision = static_cast<int16_t>(d.precision < 0 ? 6 : d.precision);
        c.info.Scale = static_cast<int8_t>(c.info.Precision);
        c.typeText = "TIMESTAMP(" + std::to_string(c.info.Precision) + ")";
        c.dataLength = 11;
    } else if (t == "CLOB" || t == "NCLOB") {
        c.info.DataType = OraType::Clob;
        c.info.ByteSize = 4000;
        c.info.CharsetForm = t == "NCLOB" ? 2 : 1;
        c.info.CharsetId = t == "NCLOB" ? ncs : cs;
        c.typeText = t;
        c.dataLength = 4000;
    } else if (t == "BLOB" || t == "BFILE") {
        c.info.DataType = t == "BLOB" ? OraType::Blob : OraType::Bfile;
        c.info.ByteSize = 4000;
        c.typeText = t;
        c.dataLength = 4000;
    } else if (t == "RAW") {
        if (d.length < 1) Fail(906, "missing left parenthesis", off);
        if (d.length > 2000) Fail(910, "specified length too long for its datatype", off);
        c.info.DataType = OraType::Raw;
        c.info.ByteSize = static_cast<uint32_t>(d.length);
        c.typeText = "RAW";
        c.dataLength = d.length;
    } else if (t == "LONG") {
        c.info.DataType = OraType::Long;
        c.info.CharsetForm = 1;
        c.info.CharsetId = cs;
        c.typeText = "LONG";
    } else if (t == "LONG RAW") {
        c.info.DataType = OraType::LongRaw;
        c.typeText = "LONG RAW";
    } else if (t == "BINARY_FLOAT" || t == "BINARY_DOUBLE") {
        c.info.DataType = t == "BINARY_FLOAT" ? OraType::BinaryFloat : OraType::BinaryDouble;
        c.info.ByteSize = t == "BINARY_FLOAT" ? 4 : 8;
        c.typeText = t;
        c.dataLength = static_cast<int>(c.info.ByteSize);
    } else if (t == "ROWID" || t == "UROWID") {
        c.info.DataType = OraType::RowId;
        c.info.ByteSize = 10;
        c.typeText = t;
        c.dataLength = 10;
    } else {
        Fail(902, "invalid datatype", off);
    }
    c.info.Nullable = !d.notNull;
    return c;
}

const char* SqliteType(const ColumnInfo& t) {
    switch (t.DataType) {
    case OraType::Number: case OraType::BinaryFloat: case OraType::BinaryDouble: return "NUMERIC";
    case OraType::Date: case OraType::Timestamp: case OraType::TimestampTZ: case OraType::TimestampLTZ: return "REAL";
    case OraType::Raw: case OraType::LongRaw: case OraType::Blob: case OraType::Bfile: return "BLOB";
    default: return "TEXT";
    }
}

bool ValidName(const std::string& n) { return !n.empty() && n.size() <= 30; }

bool FindColumnName(const Object& o, const std::string& n) {
    for (const auto& c : o.cols) if (c.name == n) return true;
    return false;
}

} // namespace

std::string DatabaseImpl::NameInUse(const std::string& owner, const std::string& name) {
    return cat_.Find(owner, name) ? "name is already used by an existing object" : "";
}

void DatabaseImpl::WriteColumns(const Object& o) {
    Query del(db_, "DELETE FROM ocs_columns WHERE object_id = ?");
    del.Bind(1, o.id);
    del.Run(db_);
    int pos = 0;
    for (const auto& c : o.cols) {
        Query q(db_, "INSERT INTO ocs_columns VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        q.Bind(1, o.id).Bind(2, static_cast<int64_t>(++pos)).Bind(3, c.name).Bind(4, static_cast<int64_t>(c.info.DataType))
            .Bind(5, static_cast<int64_t>(c.info.ByteSize)).Bind(6, static_cast<int64_t>(c.info.CharSize))
            .Bind(7, static_cast<int64_t>(c.info.CharUsed)).Bind(8, static_cast<int64_t>(c.info.Precision))
            .Bind(9, static_cast<int64_t>(c.info.Scale)).Bind(10, static_cast<int64_t>(c.info.Nullable))
            .Bind(11, static_cast<int64_t>(c.info.CharsetForm)).Bind(12, c.typeText.empty() ? std::string("VARCHAR2") : c.typeText)
            .Bind(13, static_cast<int64_t>(c.dataLength));
        bool isNum = c.info.DataType == OraType::Number;
        if (isNum && c.info.Precision > 0) q.Bind(14, static_cast<int64_t>(c.info.Precision)); else q.BindNull(14);
        if (isNum && c.info.Scale != -127 && c.typeText != "FLOAT") q.Bind(15, static_cast<int64_t>(c.info.Scale)); else q.BindNull(15);
        if (c.defaultText.empty()) q.BindNull(16); else q.Bind(16, c.defaultText);
        q.Run(db_);
    }
}

// A session-less translation host for DDL work (constraint conditions, defaults).
namespace {
class DdlHost final : public TranslateHost {
public:
    DdlHost(DatabaseImpl& db, const std::string& schema) : db_(db), schema_(schema) {}
    const Catalog& Cat() const override { return db_.cat_; }
    const std::string& SchemaName() const override { return schema_; }
    const std::string& UserName() const override { return schema_; }
    bool IsDba() const override { return true; }
    uint16_t DbCharsetId() const override { return db_.CharsetId(); }
    uint16_t DbNCharsetId() const override { return db_.NCharsetId(); }
    int RuleFor(const Object& t, const Column& c) override { return db_.RuleFor(t, c); }
    int NewRownumSlot() override { Fail(4044, "procedure, function, package, or type is not allowed here"); }
    DatabaseImpl& db_;
    std::string schema_;
};
}

void DatabaseImpl::DropTriggers(const std::string& owner, const std::string& table) {
    std::vector<std::string> names;
    {
        Query q(db_, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?");
        q.Bind(1, owner + "." + table);
        while (q.Next()) names.push_back(q.S(0));
    }
    for (const auto& n : names) Exec("DROP TRIGGER IF EXISTS " + Quote(n));
}

// Constraint triggers: check conditions and foreign keys, with Oracle's errors; and the PL/SQL row
// triggers other than BEFORE INSERT (which the insert runs itself), through ora_trig_row.
void DatabaseImpl::BuildTriggers(const std::string& owner, const std::string& table) {
    DropTriggers(owner, table);
    const Object* t = cat_.Find(owner, table);
    if (!t) return;
    if (current_) {
        for (const char* timing : {"BEFORE", "AFTER"})
            for (const char* event : {"INSERT", "UPDATE", "DELETE"}) {
                // BEFORE INSERT and BEFORE UPDATE triggers run inside the statement (ora_trig_fire)
                if (std::string(timing) == "BEFORE" && std::string(event) != "DELETE") continue;
                if (!current_->HasRowTrigger(*t, event, timing)) continue;
                std::string args = std::to_string(t->id) + ",'" + timing + "','" + event + "'";
                for (const char* side : {"NEW.", "OLD."})
                    for (const auto& c : t->cols) {
                        bool has = std::string(side) == "NEW." ? std::string(event) != "DELETE" : std::string(event) != "INSERT";
                        args += "," + (has ? std::string(side) + Quote(c.name) : std::string("NULL"));
                    }
                Exec("CREATE TRIGGER " + Quote(std::string("p:") + owner + "." + table + ":" + timing + ":" + event) + " " + timing + " " +
                     event + " ON " + Quote(t->sqlName) + " BEGIN SELECT ora_trig_row(" + args + "); END");
                t = cat_.Find(owner, table);
                if (!t) return;
            }
    }
    DdlHost host(*this, owner);
    std::string tq = Quote(t->sqlName);
    for (const auto& c : cat_.constraints) {
        if (c.status != "ENABLED") continue;
        if (c.type == 'C' && !c.notNull && c.owner == owner && c.table == table) {
            auto st = sql::Parse("SELECT 1 FROM DUAL WHERE " + c.search);
            std::string cond = TranslateRowExpr(host, *t, *st->query->block->where, "NEW");
            std::string msg = SqlString(sql::OraMessage(2290, "check constraint (" + c.owner + "." + c.name + ") violated"));
            for (const char* ev : {"INSERT", "UPDATE"}) {
                Exec("CREATE TRIGGER " + Quote("k:" + c.owner + "." + c.name + ":" + ev) + " BEFORE " + ev + " ON " + tq +
                     " BEGIN SELECT RAISE(ABORT, " + msg + ") WHERE (" + cond + ") = 0; END");
            }
        }
        if (c.type != 'R') continue;
        const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
        if (!pk) continue;
        const Object* parent = cat_.Find(pk->owner, pk->table);
        const Object* child = cat_.Find(c.owner, c.table);
        if (!parent || !child) continue;
        bool isChild = c.owner == owner && c.table == table;
        bool isParent = pk->owner == owner && pk->table == table;
        std::string name = c.owner + "." + c.name;
        if (isChild) {
            std::string when, match;
            for (size_t k = 0; k < c.cols.size(); ++k) {
                when += (k ? " AND " : "") + std::string("NEW.") + Quote(c.cols[k]) + " IS NOT NULL";
                match += (k ? " AND " : "") + std::string("p.") + Quote(pk->cols[k]) + " = NEW." + Quote(c.cols[k]);
            }
            std::string msg = SqlString(sql::OraMessage(2291, "integrity constraint (" + name + ") violated - parent key not found"));
            std::string body = " WHEN " + when + " BEGIN SELECT RAISE(ABORT, " + msg + ") WHERE NOT EXISTS (SELECT 1 FROM " +
                               Quote(parent->sqlName) + " AS p WHERE " + match + "); END";
            std::string cols;
            for (const auto& col : c.cols) cols += (cols.empty() ? "" : ",") + Quote(col);
            Exec("CREATE TRIGGER " + Quote("k:" + name + ":ci") + " BEFORE INSERT ON " + Quote(child->sqlName) + body);
            Exec("CREATE TRIGGER " + Quote("k:" + name + ":cu") + " BEFORE UPDATE OF " + cols + " ON " + Quote(child->sqlName) + body);
        }
        if (isParent) {
            std::string match, changed, setNull;
            for (size_t k = 0; k < c.cols.size(); ++k) {
                match += (k ? " AND " : "") + std::string("c.") + Quote(c.cols[k]) + " = OLD." + Quote(pk->cols[k]);
                changed += (k ? " OR " : "") + std::string("OLD.") + Quote(pk->cols[k]) + " IS NOT NEW." + Quote(pk->cols[k]);
                setNull += (k ? ", " : "") + Quote(c.cols[k]) + " = NULL";
            }
            std::string matchBare = match;
            std::string msg = SqlString(sql::OraMessage(2292, "integrity constraint (" + name + ") violated - child record found"));
            std::string exists = "EXISTS (SELECT 1 FROM " + Quote(child->sqlName) + " AS c WHERE " + match + ")";
            std::string del;
            if (c.deleteRule == "CASCADE") {
                std::string m2;
                for (size_t k = 0; k < c.cols.size(); ++k) m2 += (k ? " AND " : "") + Quote(c.cols[k]) + " = OLD." + Quote(pk->cols[k]);
                del = " BEGIN DELETE FROM " + Quote(child->sqlName) + " WHERE " + m2 + "; END";
            } else if (c.deleteRule == "SET NULL") {
                std::string m2;
                for (size_t k = 0; k < c.cols.size(); ++k) m2 += (k ? " AND " : "") + Quote(c.cols[k]) + " = OLD." + Quote(pk->cols[k]);
                del = " BEGIN UPDATE " + Quote(child->sqlName) + " SET " + setNull + " WHERE " + m2 + "; END";
            } else {
                del = " BEGIN SELECT RAISE(ABORT, " + msg + ") WHERE " + exists + "; END";
            }
            std::string pcols;
            for (const auto& col : pk->cols) pcols += (pcols.empty() ? "" : ",") + Quote(col);
            Exec("CREATE TRIGGER " + Quote("k:" + name + ":pd") + " BEFORE DELETE ON " + Quote(parent->sqlName) + del);
            Exec("CREATE TRIGGER " + Quote("k:" + name + ":pu") + " BEFORE UPDATE OF " + pcols + " ON " + Quote(parent->sqlName) +
                 " WHEN " + changed + " BEGIN SELECT RAISE(ABORT, " + msg + ") WHERE " + exists + "; END");
        }
    }
}

void DatabaseImpl::BuildTable(const Object& o) {
    std::string cols;
    for (const auto& c : o.cols) {
        cols += (cols.empty() ? "" : ", ") + Quote(c.name) + " " + SqliteType(c.info);
        if (!c.info.Nullable) cols += " NOT NULL";
    }
    Exec("CREATE TABLE " + Quote(o.sqlName) + " (" + cols + ")");
    for (const auto& c : cat_.constraints) {
        if (c.owner != o.owner || c.table != o.name || (c.type != 'P' && c.type != 'U') || c.status != "ENABLED") continue;
        std::string ic;
        for (const auto& col : c.cols) ic += (ic.empty() ? "" : ",") + Quote(col);
        Exec("CREATE UNIQUE INDEX " + Quote("c:" + c.owner + "." + c.name) + " ON " + Quote(o.sqlName) + " (" + ic + ")");
    }
    for (const auto& i : cat_.indexes) {
        if (i.tableOwner != o.owner || i.table != o.name) continue;
        bool backsConstraint = cat_.FindConstraint(i.owner, i.name) != nullptr;
        if (backsConstraint) continue;
        std::string ic;
        for (const auto& col : i.cols) if (FindColumnName(o, col)) ic += (ic.empty() ? "" : ",") + Quote(col);
        if (ic.empty()) continue;
        Exec(std::string("CREATE ") + (i.unique ? "UNIQUE " : "") + "INDEX " + Quote("i:" + i.owner + "." + i.name) + " ON " + Quote(o.sqlName) + " (" + ic + ")");
    }
}

void DatabaseImpl::RebuildTable(const std::string& owner, const std::string& name) {
    const Object* o = cat_.Find(owner, name);
    if (!o) return;
    std::string tmp = o->sqlName + "#old";
    Exec("DROP TABLE IF EXISTS temp." + Quote("ocs_before_" + std::to_string(o->id)));
    std::vector<std::string> oldCols;
    {
        Query q(db_, ("SELECT name FROM pragma_table_info(" + SqlString(o->sqlName) + ")").c_str());
        while (q.Next()) oldCols.push_back(q.S(0));
    }
    std::vector<std::string> idx;
    {
        Query q(db_, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL");
        q.Bind(1, o->sqlName);
        while (q.Next()) idx.push_back(q.S(0));
    }
    for (const auto& i : idx) Exec("DROP INDEX " + Quote(i));
    DropTriggers(owner, name);
    Exec("PRAGMA legacy_alter_table=ON");
    Exec("ALTER TABLE " + Quote(o->sqlName) + " RENAME TO " + Quote(tmp));
    Exec("PRAGMA legacy_alter_table=OFF");
    BuildTable(*o);
    std::string cols = "rowid", vals = "rowid";
    DdlHost host(*this, owner);
    for (const auto& c : o->cols) {
        bool existed = std::find(oldCols.begin(), oldCols.end(), c.name) != oldCols.end();
        if (!existed && c.defaultText.empty()) continue;
        cols += "," + Quote(c.name);
        if (existed) {
            vals += ",ora_store(" + Quote(c.name) + "," + std::to_string(RuleFor(*o, c)) + ")";
        } else {
            auto st = sql::Parse("SELECT " + c.defaultText + " FROM DUAL");
            std::string d = TranslateRowExpr(host, *o, *st->query->block->items[0].expr, "");
            vals += ",ora_store(" + d + "," + std::to_string(RuleFor(*o, c)) + ")";
        }
    }
    Exec("INSERT INTO " + Quote(o->sqlName) + " (" + cols + ") SELECT " + vals + " FROM " + Quote(tmp));
    Exec("DROP TABLE " + Quote(tmp));
    std::set<std::pair<std::string, std::string>> related{{owner, name}};
    for (const auto& c : cat_.constraints) {
        if (c.type != 'R') continue;
        const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
        if (!pk) continue;
        if (c.owner == owner && c.table == name) related.insert({pk->owner, pk->table});
        if (pk->owner == owner && pk->table == name) related.insert({c.owner, c.table});
    }
    for (const auto& [ow, t] : related) BuildTriggers(ow, t);
}

const Object* DatabaseImpl::TableOf(SessionImpl& s, const sql::ObjectName& n) {
    std::string owner = n.schema.empty() ? s.schema_ : n.schema;
    const Object* o = cat_.Find(owner, n.name);
    if (!o || o->type != "TABLE") Fail(942, "table or view does not exist", static_cast<int>(n.offset));
    if (o->owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges", static_cast<int>(n.offset));
    if (OthersLock(s.tx_, o->id)) Fail(54, "resource busy and acquire with NOWAIT specified or timeout expired");
    return o;
}

namespace {

void InsertConstraint(sqlite3* db, const Constraint& c) {
    Query q(db, "INSERT INTO ocs_constraints(owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
                "r_constraint_name, delete_rule, status, generated, not_null, last_change) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    q.Bind(1, c.owner).Bind(2, c.name).Bind(3, std::string(1, c.type)).Bind(4, c.table);
    if (c.search.empty()) q.BindNull(5); else q.Bind(5, c.search);
    if (c.rOwner.empty()) q.BindNull(6); else q.Bind(6, c.rOwner);
    if (c.rName.empty()) q.BindNull(7); else q.Bind(7, c.rName);
    q.Bind(8, c.deleteRule).Bind(9, c.status).Bind(10, std::string(c.generated ? "GENERATED NAME" : "USER NAME"))
        .Bind(11, static_cast<int64_t>(c.notNull)).BindD(12, rt::Now());
    q.Run(db);
    int pos = 0;
    for (const auto& col : c.cols) {
        Query cc(db, "INSERT INTO ocs_cons_columns VALUES (?,?,?,?,?)");
        cc.Bind(1, c.owner).Bind(2, c.name).Bind(3, c.table).Bind(4, col).Bind(5, static_cast<int64_t>(++pos));
        cc.Run(db);
    }
    if (c.type == 'P' || c.type == 'U') {
        Query qi(db, "INSERT OR REPLACE INTO ocs_indexes VALUES (?,?,?,?,'UNIQUE')");
        qi.Bind(1, c.owner).Bind(2, c.name).Bind(3, c.owner).Bind(4, c.table);
        qi.Run(db);
        pos = 0;
        for (const auto& col : c.cols) {
            Query ic(db, "INSERT INTO ocs_ind_columns VALUES (?,?,?,?,?,?,'ASC')");
            ic.Bind(1, c.owner).Bind(2, c.name).Bind(3, c.owner).Bind(4, c.table).Bind(5, col).Bind(6, static_cast<int64_t>(++pos));
            ic.Run(db);
        }
    }
}

void DeleteConstraint(sqlite3* db, const std::string& owner, const std::string& name) {
    for (const char* sqlText : {"DELETE FROM ocs_constraints WHERE owner = ? AND constraint_name = ?",
                                "DELETE FROM ocs_cons_columns WHERE owner = ? AND constraint_name = ?",
                                "DELETE FROM ocs_indexes WHERE owner = ? AND index_name = ?",
                                "DELETE FROM ocs_ind_columns WHERE index_owner = ? AND index_name = ?"}) {
        Query q(db, sqlText);
        q.Bind(1, owner).Bind(2, name);
        q.Run(db);
    }
}

} // namespace

// Turns parsed constraint definitions into catalog constraints of table `t` (whose columns are known).
static std::vector<Constraint> MakeConstraints(DatabaseImpl& db, SessionImpl& s, const Object& t, sql::Statement& st,
                                               const std::vector<Constraint>& pendingSelf) {
    std::vector<Constraint> out = pendingSelf;
    for (auto& d : st.constraints) {
        Constraint c;
        c.owner = t.owner;
        c.table = t.name;
        c.type = d.type;
        c.cols = d.columns;
        c.generated = d.name.empty();
        c.name = d.name.empty() ? db.NewConstraintName() : d.name;
        c.status = d.disabled ? "DISABLED" : "ENABLED";
        int off = static_cast<int>(d.offset);
        if (db.cat_.FindConstraint(c.owner, c.name)) Fail(2264, "name already used by an existing constraint", off);
        for (const auto& o : out) if (o.name == c.name) Fail(2264, "name already used by an existing constraint", off);
        for (const auto& col : c.cols) {
            if (!FindColumnName(t, col)) Fail(904, "\"" + col + "\": invalid identifier", off);
        }
        if (d.notNullOf) {
            c.notNull = true;
            c.search = "\"" + c.cols[0] + "\" IS NOT NULL";
        } else if (c.type == 'C') {
            c.search = d.checkText;
            // the columns a check condition names are its constraint columns
            std::function<void(const sql::Expr&)> collect = [&](const sql::Expr& e) {
                if (e.kind == sql::Expr::Column && FindColumnName(t, e.names.back()) &&
                    std::find(c.cols.begin(), c.cols.end(), e.names.back()) == c.cols.end())
                    c.cols.push_back(e.names.back());
                for (const auto& a : e.args) collect(*a);
            };
            if (c.cols.empty()) collect(*d.check);
            DdlHost host(db, t.owner);
            TranslateRowExpr(host, t, *d.check, "");   // resolves the columns, rejects what a check cannot hold
        } else if (c.type == 'P') {
            for (const auto& o : out) if (o.type == 'P') Fail(2260, "table can have only one primary key", off);
            for (const auto& o : db.cat_.constraints) if (o.owner == t.owner && o.table == t.name && o.type == 'P') Fail(2260, "table can have only one primary key", off);
        } else if (c.type == 'R') {
            std::string rowner = d.refTable.schema.empty() ? s.schema_ : d.refTable.schema;
            const Constraint* key = nullptr;
            std::vector<std::string> refCols = d.refColumns;
            bool self = rowner == t.owner && d.refTable.name == t.name;
            std::vector<const Constraint*> candidates;
            if (self) for (const auto& o : out) candidates.push_back(&o);
            const Object* parent = db.cat_.Find(rowner, d.refTable.name);
            if (!self && (!parent || parent->type != "TABLE")) Fail(942, "table or view does not exist", static_cast<int>(d.refTable.offset));
            for (const auto& o : db.cat_.constraints) if (o.owner == rowner && o.table == d.refTable.name) candidates.push_back(&o);
            for (const auto* k : candidates) {
                if (k->type != 'P' && k->type != 'U') continue;
                if (refCols.empty() ? k->type == 'P' : k->cols == refCols) { key = k; break; }
            }
            if (!key) {
                if (refCols.empty()) Fail(2268, "referenced table does not have a primary key", off);
                Fail(2270, "no matching unique or primary key for this column-list", off);
            }
            if (key->cols.size() != c.cols.size()) Fail(2256, "number of referencing columns must match referenced columns", off);
            c.rOwner = key->owner;
            c.rName = key->name;
            c.deleteRule = d.onDeleteCascade ? "CASCADE" : d.onDeleteSetNull ? "SET NULL" : "NO ACTION";
        }
        out.push_back(c);
    }
    return out;
}

void DatabaseImpl::CreateTable(SessionImpl& s, sql::Statement& st, std::string_view text) {
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    int off = static_cast<int>(st.object.offset);
    if (!cat_.users.count(owner)) Fail(1918, "user '" + owner + "' does not exist", off);
    if (owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges", off);
    if (!ValidName(st.object.name)) Fail(972, "identifier is too long", off);
    if (cat_.Find(owner, st.object.name)) Fail(955, "name is already used by an existing object", off);
    Object o;
    o.id = NewObjectId();
    o.owner = owner;
    o.name = st.object.name;
    o.type = "TABLE";
    o.sqlName = owner + "." + o.name;
    o.created = o.lastDdl = rt::Now();
    std::string selectSql;
    if (st.query) {
        Translated q = TranslateQuery(s, *st.query, text);
        std::set<std::string> seen;
        for (auto& c : q.columns) {
            if (c.Name.empty() || c.Name.find_first_of("()+-*/|'', ") != std::string::npos)
                Fail(998, "must name this expression with a column alias");
            if (!seen.insert(c.Name).second) Fail(957, "duplicate column name");
            Column col;
            col.name = c.Name;
            col.info = c;
            col.info.Nullable = true;
            if (col.info.DataType == OraType::Char && col.info.ByteSize == 0) col.info.ByteSize = col.info.CharSize = 1;
            col.typeText = c.DataType == OraType::Number ? "NUMBER" : c.DataType == OraType::Date ? "DATE" :
                           c.DataType == OraType::Char ? (c.CharsetForm == 2 ? "NCHAR" : "CHAR") :
                           c.DataType == OraType::Varchar2 ? (c.CharsetForm == 2 ? "NVARCHAR2" : "VARCHAR2") :
                           c.DataType == OraType::Clob ? "CLOB" : c.DataType == OraType::Blob ? "BLOB" : c.DataType == OraType::Raw ? "RAW" :
                           c.DataType == OraType::Timestamp ? "TIMESTAMP(6)" : c.DataType == OraType::TimestampTZ ? "TIMESTAMP(6) WITH TIME ZONE" :
                           c.DataType == OraType::TimestampLTZ ? "TIMESTAMP(6) WITH LOCAL TIME ZONE" : "VARCHAR2";
            col.dataLength = static_cast<int>(c.DataType == OraType::Number ? 22 : c.ByteSize);
            o.cols.push_back(col);
        }
        selectSql = q.sql;
    } else {
        std::set<std::string> seen;
        for (const auto& d : st.columnDefs) {
            if (!ValidName(d.name)) Fail(972, "identifier is too long", static_cast<int>(d.offset));
            if (!seen.insert(d.name).second) Fail(957, "duplicate column name", static_cast<int>(d.offset));
            Column c = ColumnFromDef(d, charset_, ncharset_);
            if (!d.defaultText.empty()) {
                DdlHost host(*this, owner);
                Object empty;
                TranslateRowExpr(host, empty, *d.defaultExpr, "");   // a default may not name columns
            }
            o.cols.push_back(c);
        }
        if (o.cols.empty()) Fail(904, "invalid identifier");
        if (o.cols.size() > 1000) Fail(1792, "maximum number of columns in a table or view is 1000");
    }
    std::vector<Constraint> cons = MakeConstraints(*this, s, o, st, {});
    for (const auto& c : cons) {
        if (c.type == 'P' || c.notNull)
            for (auto& col : o.cols) if (std::find(c.cols.begin(), c.cols.end(), col.name) != c.cols.end()) col.info.Nullable = false;
    }
    Query q(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,'TABLE','VALID',?,?,?)");
    q.Bind(1, o.id).Bind(2, o.owner).Bind(3, o.name).Bind(4, o.sqlName).BindD(5, o.created).BindD(6, o.lastDdl);
    q.Run(db_);
    WriteColumns(o);
    for (const auto& c : cons) InsertConstraint(db_, c);
    LoadCatalog();
    const Object* created = cat_.Find(o.owner, o.name);
    BuildTable(*created);
    if (!selectSql.empty()) {
        std::string cols;
        for (const auto& c : created->cols) cols += (cols.empty() ? "" : ",") + Quote(c.name);
        Exec("INSERT INTO " + Quote(created->sqlName) + " (" + cols + ") SELECT * FROM (" + selectSql + ")");
    }
    std::set<std::pair<std::string, std::string>> related{{o.owner, o.name}};
    for (const auto& c : cons) {
        if (c.type != 'R') continue;
        const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
        if (pk) related.insert({pk->owner, pk->table});
    }
    for (const auto& [ow, t] : related) BuildTriggers(ow, t);
}

void DatabaseImpl::ValidateConstraint(const Constraint& c) {
    const Object* t = cat_.Find(c.owner, c.table);
    if (!t || c.status != "ENABLED") return;
    std::string tq = Quote(t->sqlName);
    auto any = [&](const std::string& sqlText) {
        Query q(db_, sqlText.c_str());
        return q.Next();
    };
    std::string cols, notNull;
    for (const auto& col : c.cols) {
        cols += (cols.empty() ? "" : ",") + Quote(col);
        notNull += (notNull.empty() ? "" : " AND ") + Quote(col) + " IS NOT NULL";
    }
    std::string name = c.owner + "." + c.name;
    if (c.notNull) {
        if (any("SELECT 1 FROM " + tq + " WHERE " + Quote(c.cols[0]) + " IS NULL"))
            Fail(2296, "cannot enable (" + name + ") - null values found");
    } else if (c.type == 'P' || c.type == 'U') {
        if (c.type == 'P') {
            std::string nulls;
            for (const auto& col : c.cols) nulls += (nulls.empty() ? "" : " OR ") + Quote(col) + " IS NULL";
            if (any("SELECT 1 FROM " + tq + " WHERE " + nulls)) Fail(1449, "column contains NULL values; cannot alter to NOT NULL");
        }
        if (any("SELECT 1 FROM " + tq + " WHERE " + notNull + " GROUP BY " + cols + " HAVING count(*) > 1"))
            Fail(c.type == 'P' ? 2437 : 2299, c.type == 'P' ? "cannot validate (" + name + ") - primary key violated"
                                                           : "cannot validate (" + name + ") - duplicate keys found");
    } else if (c.type == 'C') {
        DdlHost host(*this, c.owner);
        auto st = sql::Parse("SELECT 1 FROM DUAL WHERE " + c.search);
        std::string cond = TranslateRowExpr(host, *t, *st->query->block->where, "");
        if (any("SELECT 1 FROM " + tq + " WHERE (" + cond + ") = 0")) Fail(2293, "cannot validate (" + name + ") - check constraint violated");
    } else if (c.type == 'R') {
        const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
        const Object* p = pk ? cat_.Find(pk->owner, pk->table) : nullptr;
        if (!p) return;
        std::string match;
        for (size_t k = 0; k < c.cols.size(); ++k) match += (k ? " AND " : "") + std::string("p.") + Quote(pk->cols[k]) + " = c." + Quote(c.cols[k]);
        std::string nn;
        for (const auto& col : c.cols) nn += (nn.empty() ? "" : " AND ") + std::string("c.") + Quote(col) + " IS NOT NULL";
        if (any("SELECT 1 FROM " + tq + " AS c WHERE " + nn + " AND NOT EXISTS (SELECT 1 FROM " + Quote(p->sqlName) + " AS p WHERE " + match + ")"))
            Fail(2298, "cannot validate (" + name + ") - parent keys not found");
    }
}

void DatabaseImpl::AlterTable(SessionImpl& s, sql::Statement& st) {
    const Object* t = TableOf(s, st.object);
    std::string owner = t->owner, name = t->name;
    Object o = *t;
    const std::string& action = st.objectType;
    if (action == "NOOP") return;
    auto rowsExist = [&]() {
        Query q(db_, ("SELECT 1 FROM " + Quote(o.sqlName) + " LIMIT 1").c_str());
        return q.Next();
    };
    if (action == "ADD COLUMN") {
        for (const auto& d : st.columnDefs) {
            if (FindColumnName(o, d.name)) Fail(1430, "column being added already exists in table", static_cast<int>(d.offset));
            Column c = ColumnFromDef(d, charset_, ncharset_);
            if (!c.info.Nullable && c.defaultText.empty() && rowsExist()) Fail(1758, "table must be empty to add mandatory (NOT NULL) column");
            o.cols.push_back(c);
        }
        std::vector<Constraint> cons = MakeConstraints(*this, s, o, st, {});
        WriteColumns(o);
        for (const auto& c : cons) InsertConstraint(db_, c);
        LoadCatalog();
        for (const auto& c : cons) ValidateConstraint(c);
        RebuildTable(owner, name);
        return;
    }
    if (action == "MODIFY COLUMN") {
        std::vector<Constraint> added;
        for (const auto& d : st.columnDefs) {
            auto it = std::find_if(o.cols.begin(), o.cols.end(), [&](const Column& c) { return c.name == d.name; });
            if (it == o.cols.end()) Fail(904, "\"" + d.name + "\": invalid identifier", static_cast<int>(d.offset));
            if (!d.typeName.empty()) {
                Column c = ColumnFromDef(d, charset_, ncharset_);
                c.info.Nullable = it->info.Nullable;
                c.defaultText = it->defaultText;
                bool smaller = c.info.DataType == it->info.DataType && (c.info.CharSize < it->info.CharSize || c.info.ByteSize < it->info.ByteSize);
                if (smaller && (c.info.DataType == OraType::Varchar2 || c.info.DataType == OraType::Char)) {
                    Query q(db_, ("SELECT 1 FROM " + Quote(o.sqlName) + " WHERE length(" + Quote(d.name) + ") > " + std::to_string(c.info.CharSize) + " LIMIT 1").c_str());
                    if (q.Next()) Fail(1441, "cannot decrease column length because some value is too big");
                }
                bool changesKind = (c.info.DataType == OraType::Number) != (it->info.DataType == OraType::Number) ||
                                   (c.info.DataType == OraType::Date) != (it->info.DataType == OraType::Date);
                if (changesKind) {
                    Query q(db_, ("SELECT 1 FROM " + Quote(o.sqlName) + " WHERE " + Quote(d.name) + " IS NOT NULL LIMIT 1").c_str());
                    if (q.Next()) Fail(1439, "column to be modified must be empty to change datatype");
                }
                *it = c;
            }
            if (!d.defaultText.empty()) it->defaultText = d.defaultText;
            if (d.notNull) {
                if (!it->info.Nullable) Fail(1442, "column to be modified to NOT NULL is already NOT NULL");
                Constraint c;
                c.owner = owner;
                c.table = name;
                c.name = NewConstraintName();
                c.generated = true;
                c.type = 'C';
                c.notNull = true;
                c.cols = {d.name};
                c.search = "\"" + d.name + "\" IS NOT NULL";
                ValidateConstraint(c);
                added.push_back(c);
                it->info.Nullable = false;
            }
            if (d.hasNull) {
                if (it->info.Nullable) Fail(1451, "column to be modified to NULL cannot be modified to NULL");
                for (const auto& k : cat_.constraints)
                    if (k.owner == owner && k.table == name && k.type == 'P' && std::find(k.cols.begin(), k.cols.end(), d.name) != k.cols.end())
                        Fail(1451, "column to be modified to NULL cannot be modified to NULL");
                for (const auto& k : cat_.constraints)
                    if (k.owner == owner && k.table == name && k.notNull && k.cols[0] == d.name) DeleteConstraint(db_, k.owner, k.name);
                it->info.Nullable = true;
            }
        }
        WriteColumns(o);
        for (const auto& c : added) InsertConstraint(db_, c);
        LoadCatalog();
        RebuildTable(owner, name);
        return;
    }
    if (action == "DROP COLUMN") {
        for (const auto& col : st.dropColumns) {
            auto it = std::find_if(o.cols.begin(), o.cols.end(), [&](const Column& c) { return c.name == col; });
            if (it == o.cols.end()) Fail(904, "\"" + col + "\": invalid identifier");
            o.cols.erase(it);
            for (const auto& k : cat_.constraints) {
                if (k.owner == owner && k.table == name && std::find(k.cols.begin(), k.cols.end(), col) != k.cols.end()) {
                    for (const auto& fk : cat_.constraints)
                        if (fk.type == 'R' && fk.rOwner == k.owner && fk.rName == k.name) DeleteConstraint(db_, fk.owner, fk.name);
                    DeleteConstraint(db_, k.owner, k.name);
                }
            }
            for (const auto& i : cat_.indexes) {
                if (i.tableOwner == owner && i.table == name && std::find(i.cols.begin(), i.cols.end(), col) != i.cols.end()) {
                    Query q(db_, "DELETE FROM ocs_indexes WHERE owner = ? AND index_name = ?");
                    q.Bind(1, i.owner).Bind(2, i.name);
                    q.Run(db_);
                    Query q2(db_, "DELETE FROM ocs_ind_columns WHERE index_owner = ? AND index_name = ?");
                    q2.Bind(1, i.owner).Bind(2, i.name);
                    q2.Run(db_);
                }
            }
        }
        if (o.cols.empty()) Fail(12983, "cannot drop all columns in a table");
        WriteColumns(o);
        LoadCatalog();
        RebuildTable(owner, name);
        return;
    }
    if (action == "ADD CONSTRAINT") {
        std::vector<Constraint> cons = MakeConstraints(*this, s, o, st, {});
        for (auto& c : cons) {
            if (c.type == 'P') for (auto& col : o.cols) if (std::find(c.cols.begin(), c.cols.end(), col.name) != c.cols.end()) col.info.Nullable = false;
            InsertConstraint(db_, c);
        }
        WriteColumns(o);
        LoadCatalog();
        for (const auto& c : cons) ValidateConstraint(c);
        RebuildTable(owner, name);
        return;
    }
    if (action == "DROP CONSTRAINT" || action == "DROP PRIMARY KEY") {
        const Constraint* c = nullptr;
        for (const auto& k : cat_.constraints) {
            if (k.owner != owner || k.table != name) continue;
            if (action == "DROP PRIMARY KEY" ? k.type == 'P' : k.name == st.param) c = &k;
        }
        if (!c) {
            if (action == "DROP PRIMARY KEY") Fail(2441, "Cannot drop nonexistent primary key");
            Fail(2443, "Cannot drop constraint  - nonexistent constraint");
        }
        for (const auto& fk : cat_.constraints)
            if (fk.type == 'R' && fk.rOwner == c->owner && fk.rName == c->name) Fail(2273, "this unique/primary key is referenced by some foreign keys");
        if (c->notNull) {
            for (auto& col : o.cols) if (col.name == c->cols[0]) col.info.Nullable = true;
            WriteColumns(o);
        }
        DeleteConstraint(db_, c->owner, c->name);
        LoadCatalog();
        RebuildTable(owner, name);
        return;
    }
    if (action == "RENAME") {
        RenameObject(s, owner, name, st.newName);
        return;
    }
    if (action == "RENAME COLUMN") {
        auto it = std::find_if(o.cols.begin(), o.cols.end(), [&](const Column& c) { return c.name == st.param; });
        if (it == o.cols.end()) Fail(904, "\"" + st.param + "\": invalid identifier");
        if (FindColumnName(o, st.newName)) Fail(957, "duplicate column name");
        it->name = st.newName;
        it->info.Name = st.newName;
        WriteColumns(o);
        for (const char* sqlText : {"UPDATE ocs_cons_columns SET column_name = ?3 WHERE owner = ?1 AND table_name = ?2 AND column_name = ?4",
                                    "UPDATE ocs_ind_columns SET column_name = ?3 WHERE table_owner = ?1 AND table_name = ?2 AND column_name = ?4",
                                    "UPDATE ocs_comments SET column_name = ?3 WHERE owner = ?1 AND table_name = ?2 AND column_name = ?4"}) {
            Query q(db_, sqlText);
            q.Bind(1, owner).Bind(2, name).Bind(3, st.newName).Bind(4, st.param);
            q.Run(db_);
        }
        Exec("ALTER TABLE " + Quote(o.sqlName) + " RENAME COLUMN " + Quote(st.param) + " TO " + Quote(st.newName));
        LoadCatalog();
        RebuildTable(owner, name);
        return;
    }
    Fail(1735, "invalid ALTER TABLE option");
}

void DatabaseImpl::RenameObject(SessionImpl& s, const std::string& owner, const std::string& from, const std::string& to) {
    const Object* o = cat_.Find(owner, from);
    if (!o) Fail(942, "table or view does not exist");
    if (cat_.Find(owner, to)) Fail(955, "name is already used by an existing object");
    (void)s;
    std::string newSql = owner + "." + to;
    if (o->type == "TABLE") {
        Exec("ALTER TABLE " + Quote(o->sqlName) + " RENAME TO " + Quote(newSql));
    } else if (o->type != "SEQUENCE" && o->type != "SYNONYM") {
        Fail(3001, "unimplemented feature");
    }
    for (const char* sqlText : {"UPDATE ocs_objects SET object_name = ?3, sql_name = CASE WHEN sql_name = '' THEN '' ELSE ?4 END WHERE owner = ?1 AND object_name = ?2",
                                "UPDATE ocs_constraints SET table_name = ?3 WHERE owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_cons_columns SET table_name = ?3 WHERE owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_indexes SET table_name = ?3 WHERE table_owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_ind_columns SET table_name = ?3 WHERE table_owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_comments SET table_name = ?3 WHERE owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_grants SET table_name = ?3 WHERE owner = ?1 AND table_name = ?2",
                                "UPDATE ocs_sequences SET sequence_name = ?3 WHERE owner = ?1 AND sequence_name = ?2",
                                "UPDATE ocs_synonyms SET synonym_name = ?3 WHERE owner = ?1 AND synonym_name = ?2"}) {
        Query q(db_, sqlText);
        q.Bind(1, owner).Bind(2, from).Bind(3, to).Bind(4, newSql);
        q.Run(db_);
    }
    // Reloading the catalog frees the object found above.
    const bool isTable = o->type == "TABLE";
    LoadCatalog();
    if (isTable) RebuildTable(owner, to);
}

void DatabaseImpl::DropObject(SessionImpl& s, sql::Statement& st) {
    const std::string& kind = st.objectType;
    std::string owner = st.isPublic ? "PUBLIC" : (st.object.schema.empty() ? s.schema_ : st.object.schema);
    const std::string& name = st.object.name;
    int off = static_cast<int>(st.object.offset);
    if (owner != s.user_ && !s.dba_ && owner != "PUBLIC") Fail(1031, "insufficient privileges", off);
    auto delObjectRows = [&](const std::string& ow, const std::string& nm) {
        for (const char* sqlText : {"DELETE FROM ocs_columns WHERE object_id IN (SELECT object_id FROM ocs_objects WHERE owner = ?1 AND object_name = ?2)",
                                    "DELETE FROM ocs_objects WHERE owner = ?1 AND object_name = ?2",
                                    "DELETE FROM ocs_comments WHERE owner = ?1 AND table_name = ?2",
                                    "DELETE FROM ocs_grants WHERE owner = ?1 AND table_name = ?2",
                                    "DELETE FROM ocs_views WHERE owner = ?1 AND view_name = ?2",
                                    "DELETE FROM ocs_sequences WHERE owner = ?1 AND sequence_name = ?2",
                                    "DELETE FROM ocs_synonyms WHERE owner = ?1 AND synonym_name = ?2"}) {
            Query q(db_, sqlText);
            q.Bind(1, ow).Bind(2, nm);
            q.Run(db_);
        }
    };
    if (kind == "TABLE") {
        const Object* t = TableOf(s, st.object);
        std::set<std::pair<std::string, std::string>> related;
        for (const auto& c : cat_.constraints) {
            if (c.type != 'R') continue;
            const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
            if (!pk) continue;
            bool childHere = c.owner == t->owner && c.table == t->name;
            bool parentHere = pk->owner == t->owner && pk->table == t->name;
            if (parentHere && !childHere) {
                if (!st.cascadeConstraints) Fail(2449, "unique/primary keys in table referenced by foreign keys");
                DeleteConstraint(db_, c.owner, c.name);
                related.insert({c.owner, c.table});
            }
            if (childHere && !parentHere) related.insert({pk->owner, pk->table});
        }
        for (const auto& c : cat_.constraints) if (c.owner == t->owner && c.table == t->name) DeleteConstraint(db_, c.owner, c.name);
        for (const auto& i : cat_.indexes) {
            if (i.tableOwner != t->owner || i.table != t->name) continue;
            Query q(db_, "DELETE FROM ocs_indexes WHERE owner = ? AND index_name = ?");
            q.Bind(1, i.owner).Bind(2, i.name);
            q.Run(db_);
            Query q2(db_, "DELETE FROM ocs_ind_columns WHERE index_owner = ? AND index_name = ?");
            q2.Bind(1, i.owner).Bind(2, i.name);
            q2.Run(db_);
            Query q3(db_, "DELETE FROM ocs_objects WHERE owner = ? AND object_name = ? AND object_type = 'INDEX'");
            q3.Bind(1, i.owner).Bind(2, i.name);
            q3.Run(db_);
        }
        std::string sqlName = t->sqlName, tOwner = t->owner, tName = t->name;
        delObjectRows(tOwner, tName);
        Exec("DROP TABLE " + Quote(sqlName));
        LoadCatalog();
        for (const auto& [ow, nm] : related) BuildTriggers(ow, nm);
        return;
    }
    if (kind == "INDEX") {
        const Index* idx = nullptr;
        for (const auto& i : cat_.indexes) if (i.owner == owner && i.name == name) idx = &i;
        if (!idx) Fail(1418, "specified index does not exist", off);
        if (cat_.FindConstraint(owner, name)) Fail(2429, "cannot drop index used for enforcement of unique/primary key", off);
        Exec("DROP INDEX IF EXISTS " + Quote("i:" + owner + "." + name));
        for (const char* sqlText : {"DELETE FROM ocs_indexes WHERE owner = ?1 AND index_name = ?2",
                                    "DELETE FROM ocs_ind_columns WHERE index_owner = ?1 AND index_name = ?2",
                                    "DELETE FROM ocs_objects WHERE owner = ?1 AND object_name = ?2 AND object_type = 'INDEX'"}) {
            Query q(db_, sqlText);
            q.Bind(1, owner).Bind(2, name);
            q.Run(db_);
        }
        return;
    }
    if (kind == "USER") {
        if (!s.dba_) Fail(1031, "insufficient privileges", off);
        auto it = cat_.users.find(name);
        if (it == cat_.users.end() || name == "PUBLIC") Fail(1918, "user '" + name + "' does not exist", off);
        for (const auto& [sid, other] : sessions_) { (void)sid; if (other->user_ == name && !other->killed_) Fail(1940, "cannot drop a user that is currently connected"); }
        std::vector<std::pair<std::string, std::string>> owned;
        for (const auto& [k, o] : cat_.objects) if (o.owner == name) owned.emplace_back(o.type, o.name);
        if (!owned.empty() && !st.cascade) Fail(1922, "CASCADE must be specified to drop '" + name + "'");
        for (const auto& [type, nm] : owned) {
            sql::Statement d(sql::Statement::Drop);
            d.objectType = type;
            d.object.schema = name;
            d.object.name = nm;
            d.cascadeConstraints = true;
            if (type == "TABLE" || type == "VIEW" || type == "SEQUENCE" || type == "SYNONYM") {
                LoadCatalog();
                if (cat_.Find(name, nm)) DropObject(s, d);
            } else {
                delObjectRows(name, nm);
            }
        }
        Query q(db_, "DELETE FROM ocs_users WHERE username = ?");
        q.Bind(1, name);
        q.Run(db_);
        Query g(db_, "DELETE FROM ocs_grants WHERE grantee = ?");
        g.Bind(1, name);
        g.Run(db_);
        return;
    }
    const Object* o = cat_.Find(owner, name);
    std::string want = kind;
    if (kind == "PACKAGE BODY" || kind == "TYPE BODY") want = kind;
    if (!o || o->type != want) {
        if (kind == "VIEW") Fail(942, "table or view does not exist", off);
        if (kind == "SEQUENCE") Fail(2289, "sequence does not exist", off);
        if (kind == "SYNONYM") {
            if (st.isPublic) Fail(1432, "public synonym to be dropped does not exist", off);
            Fail(1434, "private synonym to be dropped does not exist", off);
        }
        Fail(4043, "object " + name + " does not exist", off);
    }
    if (kind == "VIEW") Exec("DROP VIEW IF EXISTS " + Quote(o->sqlName));
    delObjectRows(owner, name);
}

void DatabaseImpl::CreateIndex(SessionImpl& s, sql::Statement& st) {
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    int off = static_cast<int>(st.object.offset);
    if (owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges", off);
    for (const auto& i : cat_.indexes) if (i.owner == owner && i.name == st.object.name) Fail(955, "name is already used by an existing object", off);
    const Object* t = TableOf(s, st.target);
    std::vector<std::string> cols;
    for (const auto& c : st.columns) {
        bool expr = c.find_first_of("(+-*/|") != std::string::npos;
        if (!expr && !FindColumnName(*t, c)) Fail(904, "\"" + c + "\": invalid identifier");
        cols.push_back(c);
    }
    for (const auto& i : cat_.indexes)
        if (i.tableOwner == t->owner && i.table == t->name && i.cols == cols) Fail(1408, "such column list already indexed");
    if (st.unique) {
        std::string list, nn;
        for (const auto& c : cols) { list += (list.empty() ? "" : ",") + Quote(c); nn += (nn.empty() ? "" : " AND ") + Quote(c) + " IS NOT NULL"; }
        Query q(db_, ("SELECT 1 FROM " + Quote(t->sqlName) + " WHERE " + nn + " GROUP BY " + list + " HAVING count(*) > 1").c_str());
        if (q.Next()) Fail(1452, "cannot CREATE UNIQUE INDEX; duplicate keys found");
    }
    Query q(db_, "INSERT INTO ocs_indexes VALUES (?,?,?,?,?)");
    q.Bind(1, owner).Bind(2, st.object.name).Bind(3, t->owner).Bind(4, t->name).Bind(5, std::string(st.unique ? "UNIQUE" : "NONUNIQUE"));
    q.Run(db_);
    for (size_t k = 0; k < cols.size(); ++k) {
        Query ic(db_, "INSERT INTO ocs_ind_columns VALUES (?,?,?,?,?,?,?)");
        ic.Bind(1, owner).Bind(2, st.object.name).Bind(3, t->owner).Bind(4, t->name).Bind(5, cols[k]).Bind(6, static_cast<int64_t>(k + 1))
            .Bind(7, k < st.words.size() ? st.words[k] : std::string("ASC"));
        ic.Run(db_);
    }
    Query ob(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,'INDEX','VALID','',?,?)");
    ob.Bind(1, NewObjectId()).Bind(2, owner).Bind(3, st.object.name).BindD(4, rt::Now()).BindD(5, rt::Now());
    ob.Run(db_);
    std::string list;
    for (const auto& c : cols) if (FindColumnName(*t, c)) list += (list.empty() ? "" : ",") + Quote(c);
    if (!list.empty())
        Exec(std::string("CREATE ") + (st.unique ? "UNIQUE " : "") + "INDEX " + Quote("i:" + owner + "." + st.object.name) + " ON " + Quote(t->sqlName) + " (" + list + ")");
}

void DatabaseImpl::CreateSequence(SessionImpl& s, sql::Statement& st, bool alter) {
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    int off = static_cast<int>(st.object.offset);
    if (owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges", off);
    double inc = std::atof(st.incrementBy.c_str());
    if (inc == 0) Fail(4002, "INCREMENT must be a non-zero integer");
    if (alter) {
        const Object* o = cat_.Find(owner, st.object.name);
        if (!o || o->type != "SEQUENCE") Fail(2289, "sequence does not exist", off);
        if (st.hasStart) Fail(2283, "cannot alter starting sequence number");
        std::string sets;
        if (st.hasIncrement) sets += ", increment_by = " + st.incrementBy;
        if (st.hasMin) sets += ", min_value = " + st.minValue;
        if (st.hasMax) sets += ", max_value = " + st.maxValue;
        sets += std::string(", cycle_flag = '") + (st.cycle ? "Y" : "N") + "'";
        Query q(db_, ("UPDATE ocs_sequences SET cache_size = cache_size" + sets + " WHERE owner = ? AND sequence_name = ?").c_str());
        q.Bind(1, owner).Bind(2, st.object.name);
        q.Run(db_);
        return;
    }
    if (cat_.Find(owner, st.object.name)) Fail(955, "name is already used by an existing object", off);
    double mn = st.hasMin ? std::atof(st.minValue.c_str()) : (inc > 0 ? 1 : -1e27 + 1);
    double mx = st.hasMax ? std::atof(st.maxValue.c_str()) : (inc > 0 ? 1e27 - 1 : -1);
    double start = st.hasStart ? std::atof(st.startWith.c_str()) : (inc > 0 ? mn : mx);
    if (mn >= mx) Fail(4005, "INCREMENT must be less than MAXVALUE minus MINVALUE");
    if (start < mn) Fail(4006, "START WITH cannot be less than MINVALUE");
    if (start > mx) Fail(4008, "START WITH cannot be more than MAXVALUE");
    Query q(db_, "INSERT INTO ocs_sequences VALUES (?,?,?,?,?,?,?,?)");
    q.Bind(1, owner).Bind(2, st.object.name).BindD(3, mn).BindD(4, mx).BindD(5, inc).Bind(6, std::string(st.cycle ? "Y" : "N"))
        .Bind(7, static_cast<int64_t>(st.cache)).BindD(8, start);
    q.Run(db_);
    Query ob(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,'SEQUENCE','VALID','',?,?)");
    ob.Bind(1, NewObjectId()).Bind(2, owner).Bind(3, st.object.name).BindD(4, rt::Now()).BindD(5, rt::Now());
    ob.Run(db_);
}

void DatabaseImpl::CreateView(SessionImpl& s, sql::Statement& st, std::string_view text) {
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    int off = static_cast<int>(st.object.offset);
    if (owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges", off);
    const Object* existing = cat_.Find(owner, st.object.name);
    if (existing && (existing->type != "VIEW" || !st.orReplace)) Fail(955, "name is already used by an existing object", off);
    Object o;
    o.owner = owner;
    o.name = st.object.name;
    o.type = "VIEW";
    o.sqlName = owner + "." + o.name;
    o.id = existing ? existing->id : NewObjectId();
    std::string status = "VALID";
    std::string selectSql;
    try {
        Translated q = TranslateQuery(s, *st.query, text);
        if (!st.columns.empty() && st.columns.size() != q.columns.size()) Fail(1730, "invalid number of column names specified");
        std::set<std::string> seen;
        for (size_t k = 0; k < q.columns.size(); ++k) {
            Column c;
            c.name = st.columns.empty() ? q.columns[k].Name : st.columns[k];
            if (st.columns.empty() && c.name.find_first_of("()+-*/|', ") != std::string::npos)
                Fail(998, "must name this expression with a column alias");
            if (!seen.insert(c.name).second) Fail(957, "duplicate column name");
            c.info = q.columns[k];
            c.info.Name = c.name;
            c.typeText = c.info.DataType == OraType::Number ? "NUMBER" : c.info.DataType == OraType::Date ? "DATE" :
                         c.info.DataType == OraType::Char ? "CHAR" : "VARCHAR2";
            c.dataLength = static_cast<int>(c.info.DataType == OraType::Number ? 22 : c.info.ByteSize);
            o.cols.push_back(c);
        }
        selectSql = q.sql;
    } catch (const EngineError&) {
        if (!st.force) throw;
        status = "INVALID";
    }
    if (existing) {
        Exec("DROP VIEW IF EXISTS " + Quote(o.sqlName));
        for (const char* sqlText : {"DELETE FROM ocs_objects WHERE owner = ?1 AND object_name = ?2",
                                    "DELETE FROM ocs_views WHERE owner = ?1 AND view_name = ?2"}) {
            Query q(db_, sqlText);
            q.Bind(1, owner).Bind(2, o.name);
            q.Run(db_);
        }
    }
    if (!selectSql.empty()) {
        std::string cols;
        for (const auto& c : o.cols) cols += (cols.empty() ? "" : ",") + Quote(c.name);
        Exec("CREATE VIEW " + Quote(o.sqlName) + " (" + cols + ") AS " + selectSql);
    }
    Query q(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,'VIEW',?,?,?,?)");
    q.Bind(1, o.id).Bind(2, owner).Bind(3, o.name).Bind(4, status).Bind(5, o.sqlName).BindD(6, rt::Now()).BindD(7, rt::Now());
    q.Run(db_);
    WriteColumns(o);
    Query v(db_, "INSERT INTO ocs_views VALUES (?,?,?)");
    v.Bind(1, owner).Bind(2, o.name).Bind(3, st.text);
    v.Run(db_);
    if (status != "VALID") Fail(24344, "success with compilation error");
}

void DatabaseImpl::CreateSynonym(SessionImpl& s, sql::Statement& st) {
    std::string owner = st.isPublic ? "PUBLIC" : (st.object.schema.empty() ? s.schema_ : st.object.schema);
    int off = static_cast<int>(st.object.offset);
    if (owner != s.user_ && !s.dba_ && !(owner == "PUBLIC")) Fail(1031, "insufficient privileges", off);
    const Object* existing = cat_.Find(owner, st.object.name);
    if (existing && (existing->type != "SYNONYM" || !st.orReplace)) Fail(955, "name is already used by an existing object", off);
    if (existing) {
        for (const char* sqlText : {"DELETE FROM ocs_objects WHERE owner = ?1 AND object_name = ?2",
                                    "DELETE FROM ocs_synonyms WHERE owner = ?1 AND synonym_name = ?2"}) {
            Query q(db_, sqlText);
            q.Bind(1, owner).Bind(2, st.object.name);
            q.Run(db_);
        }
    }
    std::string towner = st.target.schema.empty() ? s.schema_ : st.target.schema;
    if (towner == owner && st.target.name == st.object.name) Fail(1471, "cannot create a synonym with same name as object");
    Query q(db_, "INSERT INTO ocs_synonyms VALUES (?,?,?,?,NULL)");
    q.Bind(1, owner).Bind(2, st.object.name).Bind(3, towner).Bind(4, st.target.name);
    q.Run(db_);
    Query ob(db_, "INSERT INTO ocs_objects(object_id, owner, object_name, object_type, status, sql_name, created, last_ddl) VALUES (?,?,?,'SYNONYM','VALID','',?,?)");
    ob.Bind(1, NewObjectId()).Bind(2, owner).Bind(3, st.object.name).BindD(4, rt::Now()).BindD(5, rt::Now());
    ob.Run(db_);
}

void DatabaseImpl::UserDdl(SessionImpl& s, sql::Statement& st) {
    const std::string& name = st.object.name;
    if (st.kind == sql::Statement::CreateUser) {
        if (!s.dba_) Fail(1031, "insufficient privileges");
        if (cat_.users.count(name)) Fail(1920, "user name '" + name + "' conflicts with another user or role name");
        int64_t id = 0;
        {
            Query q(db_, "SELECT coalesce(max(user_id), 60) + 1 FROM ocs_users");
            if (q.Next()) id = q.I(0);
        }
        std::string status = st.passwordExpire ? "EXPIRED" : "OPEN";
        if (st.accountLock) status = st.passwordExpire ? "EXPIRED & LOCKED" : "LOCKED";
        Query q(db_, "INSERT INTO ocs_users VALUES (?,?,?,?,0,?,NULL,NULL)");
        q.Bind(1, id).Bind(2, name).Bind(3, st.text).Bind(4, status).BindD(5, rt::Now());
        q.Run(db_);
        return;
    }
    auto it = cat_.users.find(name);
    if (it == cat_.users.end()) Fail(1918, "user '" + name + "' does not exist");
    if (!s.dba_ && !(name == s.user_ && st.param == "PASSWORD" && !st.passwordExpire && !st.accountLock && !st.accountUnlock))
        Fail(1031, "insufficient privileges");
    std::string status = it->second.status;
    std::string pw = it->second.password;
    if (st.param == "PASSWORD") {
        pw = st.text;
        if (status.find("EXPIRED") != std::string::npos) status = status.find("LOCKED") != std::string::npos ? "LOCKED" : "OPEN";
    }
    bool locked = status.find("LOCKED") != std::string::npos;
    bool expired = status.find("EXPIRED") != std::string::npos;
    if (st.passwordExpire) expired = true;
    if (st.accountLock) locked = true;
    if (st.accountUnlock) locked = false;
    status = expired && locked ? "EXPIRED & LOCKED" : expired ? "EXPIRED" : locked ? "LOCKED" : "OPEN";
    Query q(db_, "UPDATE ocs_users SET password = ?, account_status = ? WHERE username = ?");
    q.Bind(1, pw).Bind(2, status).Bind(3, name);
    q.Run(db_);
}

void DatabaseImpl::Comment(SessionImpl& s, sql::Statement& st) {
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    const Object* o = cat_.Find(owner, st.object.name);
    if (!o || (o->type != "TABLE" && o->type != "VIEW")) Fail(942, "table or view does not exist", static_cast<int>(st.object.offset));
    if (o->owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges");
    std::string col = st.objectType == "COLUMN" ? st.param : "";
    if (!col.empty() && !FindColumnName(*o, col)) Fail(904, "\"" + col + "\": invalid identifier");
    Query d(db_, "DELETE FROM ocs_comments WHERE owner = ? AND table_name = ? AND coalesce(column_name, '') = ?");
    d.Bind(1, owner).Bind(2, o->name).Bind(3, col);
    d.Run(db_);
    if (st.text.empty()) return;
    Query q(db_, "INSERT INTO ocs_comments VALUES (?,?,?,?)");
    q.Bind(1, owner).Bind(2, o->name);
    if (col.empty()) q.BindNull(3); else q.Bind(3, col);
    q.Bind(4, st.text);
    q.Run(db_);
}

void DatabaseImpl::GrantRevoke(SessionImpl& s, sql::Statement& st) {
    bool grant = st.kind == sql::Statement::Grant;
    for (const auto& g : st.grantees)
        if (g != "PUBLIC" && !cat_.users.count(g)) Fail(1917, "user or role '" + g + "' does not exist");
    if (st.object.Empty()) {
        // system privileges and roles
        if (!s.dba_) Fail(1031, "insufficient privileges");
        for (const auto& g : st.grantees) {
            for (const auto& p : st.words) {
                if (p == "DBA") {
                    Query q(db_, "UPDATE ocs_users SET is_dba = ? WHERE username = ?");
                    q.Bind(1, static_cast<int64_t>(grant ? 1 : 0)).Bind(2, g);
                    q.Run(db_);
                }
                Query q(db_, grant ? "INSERT INTO ocs_sys_privs VALUES (?,?)" : "DELETE FROM ocs_sys_privs WHERE grantee = ? AND privilege = ?");
                q.Bind(1, g).Bind(2, p);
                q.Run(db_);
            }
        }
        return;
    }
    std::string owner = st.object.schema.empty() ? s.schema_ : st.object.schema;
    const Object* o = cat_.Find(owner, st.object.name);
    if (!o) Fail(942, "table or view does not exist", static_cast<int>(st.object.offset));
    if (o->owner != s.user_ && !s.dba_) Fail(1031, "insufficient privileges");
    std::vector<std::string> privs;
    for (const auto& p : st.words) {
        if (p == "ALL" || p == "ALL PRIVILEGES") privs.insert(privs.end(), {"SELECT", "INSERT", "UPDATE", "DELETE", "ALTER", "INDEX", "REFERENCES"});
        else privs.push_back(p);
    }
    for (const auto& g : st.grantees) {
        for (const auto& p : privs) {
            Query d(db_, "DELETE FROM ocs_grants WHERE grantee = ? AND owner = ? AND table_name = ? AND privilege = ?");
            d.Bind(1, g).Bind(2, owner).Bind(3, o->name).Bind(4, p);
            d.Run(db_);
            if (!grant) continue;
            Query q(db_, "INSERT INTO ocs_grants VALUES (?,?,?,?,?)");
            q.Bind(1, g).Bind(2, owner).Bind(3, o->name).Bind(4, p).Bind(5, s.user_);
            q.Run(db_);
        }
    }
}

void DatabaseImpl::Truncate(SessionImpl& s, sql::Statement& st) {
    const Object* t = TableOf(s, st.object);
    for (const auto& c : cat_.constraints) {
        if (c.type != 'R' || c.status != "ENABLED") continue;
        const Constraint* pk = cat_.FindConstraint(c.rOwner, c.rName);
        if (pk && pk->owner == t->owner && pk->table == t->name && !(c.owner == t->owner && c.table == t->name))
            Fail(2266, "unique/primary keys in table referenced by enabled foreign keys");
    }
    DropTriggers(t->owner, t->name);
    Exec("DELETE FROM " + Quote(t->sqlName));
    BuildTriggers(t->owner, t->name);
}

void DatabaseImpl::DirectoryDdl(SessionImpl& s, sql::Statement& st) {
    if (!s.dba_) Fail(1031, "insufficient privileges");
    const std::string& name = st.object.name;
    if (st.kind == sql::Statement::Drop) {
        Query q(db_, "DELETE FROM ocs_directories WHERE directory_name = ?");
        q.Bind(1, name);
        q.Run(db_);
        if (sqlite3_changes(db_) == 0) Fail(4043, "object " + name + " does not exist");
        return;
    }
    if (st.text.empty() || st.text.size() > 4000) Fail(22929, "invalid or missing directory name");
    Query find(db_, "SELECT 1 FROM ocs_directories WHERE directory_name = ?");
    find.Bind(1, name);
    if (find.Next() && !st.orReplace) Fail(955, "name is already used by an existing object");
    Query q(db_, "INSERT OR REPLACE INTO ocs_directories VALUES ('SYS', ?, ?)");
    q.Bind(1, name).Bind(2, st.text);
    q.Run(db_);
}

void DatabaseImpl::EnsurePackageObjects() {
    std::vector<std::string> missing;
    for (const auto& [object, ddl] : NativePackageObjects()) {
        std::string n(object);
        size_t dot = n.find('.');
        if (!cat_.Find(n.substr(0, dot), n.substr(dot + 1))) missing.emplace_back(ddl);
    }
    if (missing.empty()) return;
    auto self = std::static_pointer_cast<DatabaseImpl>(shared_from_this());
    SessionImpl sys(self, cat_.users["SYS"], ConnectMode::SysDba);
    SessionImpl* prev = current_;
    current_ = &sys;
    try {
        for (const auto& text : missing) {
            auto st = sql::Parse(text);
            RunDdl(sys, *st, text);
        }
    } catch (...) {
        current_ = prev;
        sys.db_.reset();
        throw;
    }
    current_ = prev;
    sys.db_.reset();
}

void DatabaseImpl::RunDdl(SessionImpl& s, sql::Statement& st, std::string_view text) {
    bool prev = capture_;
    capture_ = false;
    EnsureTx();
    Exec("SAVEPOINT ddl");
    try {
        using K = sql::Statement;
        switch (st.kind) {
        case K::CreateTable: CreateTable(s, st, text); break;
        case K::AlterTable: AlterTable(s, st); break;
        case K::Drop:
            if (st.objectType == "DIRECTORY") DirectoryDdl(s, st);
            else DropObject(s, st);
            break;
        case K::CreateIndex: CreateIndex(s, st); break;
        case K::CreateSequence: CreateSequence(s, st, false); break;
        case K::AlterSequence: CreateSequence(s, st, true); break;
        case K::CreateView: CreateView(s, st, text); break;
        case K::CreateSynonym: CreateSynonym(s, st); break;
        case K::CreateUser:
        case K::AlterUser: UserDdl(s, st); break;
        case K::Comment: Comment(s, st); break;
        case K::Grant:
        case K::Revoke: GrantRevoke(s, st); break;
        case K::Truncate: Truncate(s, st); break;
        case K::CreateDirectory: DirectoryDdl(s, st); break;
        case K::Rename: RenameObject(s, st.object.schema.empty() ? s.schema_ : st.object.schema, st.object.name, st.newName); break;
        case K::AlterIndex: break;
        default: Fail(900, "invalid SQL statement");
        }
        Exec("RELEASE ddl");
    } catch (const EngineError& e) {
        if (e.Code == 24344) {
            // created, with errors: the object stays
            Exec("RELEASE ddl");
            PersistOpenUndo(nullptr);
            SqliteCommit();
            LoadCatalog();
            capture_ = prev;
            throw;
        }
        sqlite3_exec(db_, "ROLLBACK TO ddl", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "RELEASE ddl", nullptr, nullptr, nullptr);
        LoadCatalog();
        capture_ = prev;
        throw;
    }
    PersistOpenUndo(nullptr);
    SqliteCommit();
    LoadCatalog();
    capture_ = prev;
}

namespace {
std::atomic<PlSqlEngine*> g_plsql{nullptr};
}
void SetPlSqlEngine(PlSqlEngine* engine) { g_plsql = engine; }
PlSqlEngine* GetPlSqlEngine() {
    PlSqlEngine* e = g_plsql.load();
    return e ? e : &BuiltinPlSqlEngine();
}

} // namespace eng

// ======================================================================== opening
namespace {
std::shared_ptr<Database> OpenImpl(const std::string& directory, const DatabaseSettings* settings) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    std::string key = std::filesystem::weakly_canonical(directory, ec).string();
    if (key.empty()) key = directory;
    std::lock_guard<std::mutex> lock(eng::g_registryMutex);
    auto& reg = eng::Registry();
    auto it = reg.find(key);
    static pid_t registryPid = getpid();
    if (registryPid != getpid()) {
        // a forked child: the parent's open databases are not ours to use
        reg.clear();
        registryPid = getpid();
        it = reg.end();
    }
    if (it != reg.end()) {
        if (auto db = it->second.lock()) {
            if (settings) sql::Fail(1081, "cannot start already-running ORACLE - shut it down first");
            return db;
        }
    }
    auto db = std::make_shared<eng::DatabaseImpl>(key);
    db->OpenFiles(settings);
    reg[key] = db;
    return db;
}
} // namespace

std::shared_ptr<Database> Database::Open(const std::string& directory) { return OpenImpl(directory, nullptr); }
std::shared_ptr<Database> Database::Open(const std::string& directory, const DatabaseSettings& settings) { return OpenImpl(directory, &settings); }

} // namespace ocisim
