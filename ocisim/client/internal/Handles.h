#pragma once
// Handles and descriptors of the stand-in client. Every object starts with a magic and its
// OCI type; a registry of live objects lets a call tell a valid handle from a wrong, null or
// freed one without touching the memory it was given.
#include "ocisim/client/include/oci.h"
#include "ocisim/engine/Engine.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ocisim::client {

constexpr uint32_t kMagic = 0x0C15EA11u;

struct Env;

struct Object {
    uint32_t magic = kMagic;
    ub4 type = 0;
    Env* env = nullptr;
    std::vector<char> extra;      // user memory asked for with xtramem_sz
    virtual ~Object();
};

// Registry of live handles.
void Register(Object* o);
void Unregister(Object* o);
bool IsLive(const void* p);
// The object when p is a live object of the given type, else null.
Object* Lookup(const void* p, ub4 type);
template <class T> T* As(const void* p, ub4 type) { return static_cast<T*>(Lookup(p, type)); }

// Character set of client-side text.
// Utf16 (id 1000) is in machine byte order; Utf16BE (id 2000, AL16UTF16) is big-endian, as
// Oracle's client delivers the national character set.
enum class Charset { Utf8, Utf16, Ascii, Cp1252, Cp1251, Latin1, Utf16BE };
inline bool IsUtf16(Charset c) { return c == Charset::Utf16 || c == Charset::Utf16BE; }
Charset CharsetFromId(ub2 id, Charset fallback);
ub2 CharsetIdOf(Charset c);

struct ErrorRecord { sb4 code; std::string text; };

struct Error : Object {
    std::vector<ErrorRecord> records;
    void Clear() { records.clear(); }
    void Set(int code, std::string text) { records.clear(); records.push_back({code, std::move(text)}); }
};

struct Env : Object {
    ub4 mode = 0;
    Charset charset = Charset::Utf8;
    Charset ncharset = Charset::Utf8;
    std::string nlsLang;
    std::recursive_mutex mutex;   // guards the handle lists
    std::vector<Object*> children;
    Error* lastError = nullptr;   // for OCIErrorGet on the environment
};

struct Server : Object {
    std::shared_ptr<Database> db;
    std::string directory;
    bool attached = false;
    std::atomic<Session*> running{nullptr};   // the session whose call runs now (for OCIBreak)
};

struct SessionH : Object {           // OCI_HTYPE_SESSION (also the authentication info handle)
    std::string user, password;
    std::unique_ptr<Session> session;
    std::string dateFormat = "DD-MON-RR";
    std::mutex callMutex;            // serialises calls on one session in a threaded environment
    bool fromPool = false;
};

struct Stmt;

struct SvcCtx : Object {
    Server* server = nullptr;
    SessionH* session = nullptr;
    ub4 cacheSize = 20;
    std::multimap<std::string, Stmt*> cache;   // released statements by text
    bool ownsHandles = false;                  // created by OCILogon, OCISessionGet or OCILdaToSvcCtx
    struct Pool* pool = nullptr;               // OCISessionGet from a pool
    void* lda = nullptr;                       // OCISvcCtxToLda
};

struct Bind : Object {
    Stmt* stmt = nullptr;
    std::string name;      // upper case without colon; empty for a position
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 valueSize = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* alenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 maxarr = 0;
    ub4* curelep = nullptr;
    ub4 valueSkip = 0, indSkip = sizeof(sb2), alenSkip = sizeof(ub2), rcodeSkip = sizeof(ub2);
    ub2 charsetId = 0;
    ub1 charsetForm = SQLCS_IMPLICIT;
    ub4 maxDataSize = 0;
};

struct Define : Object {
    Stmt* stmt = nullptr;
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 valueSize = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 mode = 0;
    ub4 valueSkip = 0, indSkip = sizeof(sb2), rlenSkip = sizeof(ub2), rcodeSkip = sizeof(ub2);
    ub2 charsetId = 0;
    ub1 charsetForm = SQLCS_IMPLICIT;
    void* cbctx = nullptr;
    OCICallbackDefine callback = nullptr;
    bool oci7 = false;        // odefin: a truncated value's returned length is the bytes placed
};

struct Param : Object {       // OCI_DTYPE_PARAM: one select-list column
    ColumnInfo column;
    Object* owner = nullptr;
    // described by OCIDescribeAny: an object, a list, or a column of a list
    ub1 ptype = 0;                 // OCI_PTYPE_*; 0 for a select-list column
    std::string objSchema, objName;
    std::vector<Param*> items;     // a list's elements
    Param* list = nullptr;         // a table's or view's column list
    std::string linkSchema, linkName, dbLink;   // what a synonym stands for
};

struct Describe : Object {    // OCI_HTYPE_DESCRIBE
    Param* root = nullptr;
    std::vector<Param*> made;      // every parameter of the last describe
};

struct Rowid : Object {       // OCI_DTYPE_ROWID
    // The four numbers of a rowid, laid out as in the OCI7 cursor data area.
    struct { ub4 object; ub2 file; ub1 filler; } rd{};
    ub4 block = 0;
    ub2 row = 0;
    std::string text;
};

struct DateTime : Object {  // OCI_DTYPE_DATE, _TIMESTAMP, _TIMESTAMP_TZ, _TIMESTAMP_LTZ
    sb2 year = 1;
    ub1 month = 1, day = 1, hour = 0, minute = 0, second = 0;
    ub4 fsec = 0;              // nanoseconds
    sb1 tzHour = 0, tzMinute = 0;
};

struct Lob : Object {       // OCI_DTYPE_LOB, OCI_DTYPE_FILE: a LOB locator
    bool init = false;          // points at a value (an empty LOB included)
    OraType kind = OraType::Blob;
    ub1 csform = SQLCS_IMPLICIT;
    std::string data;           // CLOB and NCLOB: UTF-8 text; BLOB and BFILE: bytes
    LobLocation where;          // the row it writes to; none for temporary and read-only values
    bool fetched = false;       // came from a query or RETURNING (writing needs a locked row)
    bool temporary = false, buffering = false, fileOpen = false;
    std::string dir, file;      // BFILE: directory alias and file name
    // a piecewise read or write in progress (OCI_NEED_DATA between calls)
    bool reading = false, writing = false;
    ub4 pieceOffset = 0, pieceRemaining = 0;
    std::string pending;        // bytes of a piecewise write, stored when the last piece arrives
};

struct Generic : Object {};   // descriptors and handles this stage does not drive yet

struct Stmt : Object {
    SvcCtx* svc = nullptr;    // set by OCIStmtPrepare2 or the first execute
    std::string sql;
    std::string key;          // statement cache key
    std::unique_ptr<Statement> stmt;
    int parseError = -1;      // engine parse error, raised at execute
    std::string parseErrorText;
    ub2 parseErrorOffset = 0;
    StatementType stype = StatementType::Unknown;
    std::vector<Bind*> binds;
    std::vector<Define*> defines;            // by position (1-based, index 0 unused)
    std::vector<Param*> params;
    bool executed = false, resultOpen = false, scrollable = false, endOfData = false;
    uint64_t rowCount = 0;    // rows processed / fetched so far
    ub4 rowsFetched = 0;
    ub4 prefetchRows = 1, prefetchMemory = 0;
    // scrollable result: rows materialised as far as read; current position is 1-based
    std::vector<std::vector<Value>> rows;
    bool allRead = false;
    int64_t position = 0;
    std::string lastRowId;
    bool cached = false;      // came from OCIStmtPrepare2
    bool inCache = false;     // released into the cache
    SessionH* session = nullptr;  // the session the prepared statement belongs to
    Session* engine = nullptr;    // and its engine session (a session handle may begin a new one)
};

struct Pool : Object {        // OCI_HTYPE_SPOOL
    std::string name, connect, user, password, directory;
    std::shared_ptr<Database> db;
    ub4 min = 0, max = 0, incr = 1, getMode = OCI_SPOOL_ATTRVAL_WAIT, timeout = 0, stmtCacheSize = 20;
    std::mutex mutex;
    std::vector<std::unique_ptr<Session>> idle;
    ub4 busy = 0;
    bool created = false;
    Server* server = nullptr; // a server handle shared by the pooled service contexts
};

// Error reporting helpers (all return the OCI status to give back).
sword Fail(Error* err, int code, const std::string& text);
sword FailEngine(Error* err, const EngineError& e);
std::string OraMessage(int code);        // "ORA-nnnnn: message" for the codes the client raises itself
sword Unimplemented(Error* err);

// Connect-string resolution: the database directory for a connect string, or ORA-12154.
std::string ResolveConnect(const std::string& connect);

} // namespace ocisim::client
