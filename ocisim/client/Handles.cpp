// Handle registry, error records and character sets of the stand-in client.
#include "ocisim/client/internal/Handles.h"

#include <cstdio>
#include <deque>
#include <unordered_set>

namespace ocisim::client {

namespace {
std::mutex& RegistryMutex() { static std::mutex m; return m; }
std::unordered_set<const void*>& Live() { static std::unordered_set<const void*> s; return s; }
// Freed objects stay allocated for a while with a poisoned magic, so a stale pointer is not
// immediately reused by a new handle of the same type.
struct QuarantineList {
    std::deque<Object*> objects;
    ~QuarantineList();
};
bool quarantineGone = false;  // set when the process's statics are being destroyed
QuarantineList::~QuarantineList() {
    quarantineGone = true;
    for (Object* o : objects) delete o;
    objects.clear();
}
std::deque<Object*>& Quarantine() { static QuarantineList q; return q.objects; }
} // namespace

Object::~Object() = default;

void Register(Object* o) {
    Quarantine();
    std::lock_guard<std::mutex> g(RegistryMutex());
    Live().insert(o);
}

void Unregister(Object* o) {
    std::lock_guard<std::mutex> g(RegistryMutex());
    if (Live().erase(o) == 0) return;  // already freed
    o->magic = 0xDEADBEEFu;
    if (quarantineGone) { delete o; return; }
    Quarantine().push_back(o);
    if (Quarantine().size() > 4096) {
        delete Quarantine().front();
        Quarantine().pop_front();
    }
}

bool IsLive(const void* p) {
    if (!p) return false;
    std::lock_guard<std::mutex> g(RegistryMutex());
    return Live().count(p) != 0;
}

Object* Lookup(const void* p, ub4 type) {
    if (!p) return nullptr;
    std::lock_guard<std::mutex> g(RegistryMutex());
    if (!Live().count(p)) return nullptr;
    Object* o = static_cast<Object*>(const_cast<void*>(p));
    if (o->magic != kMagic || o->type != type) return nullptr;
    return o;
}

Charset CharsetFromId(ub2 id, Charset fallback) {
    switch (id) {
    case 871: case 873: case 870: return Charset::Utf8;
    case 1000: return Charset::Utf16;
    case 2000: return Charset::Utf16BE;
    case 1: return Charset::Ascii;
    case 178: return Charset::Cp1252;
    case 171: return Charset::Cp1251;
    case 31: return Charset::Latin1;
    default: return fallback;
    }
}

ub2 CharsetIdOf(Charset c) {
    switch (c) {
    case Charset::Utf8: return 873;
    case Charset::Utf16: return 1000;
    case Charset::Utf16BE: return 2000;
    case Charset::Ascii: return 1;
    case Charset::Cp1252: return 178;
    case Charset::Cp1251: return 171;
    case Charset::Latin1: return 31;
    }
    return 873;
}

sword Fail(Error* err, int code, const std::string& text) {
    if (!err) return OCI_INVALID_HANDLE;
    err->Set(code, text);
    return OCI_ERROR;
}

sword FailEngine(Error* err, const EngineError& e) { return Fail(err, e.Code, e.Text); }

namespace {
// Texts of the Oracle errors the engine raises, by number (a number the engine raises with
// varying text shows Oracle's message with its %s places).
struct KnownMessage { int code; const char* text; };
const KnownMessage kEngineMessages[] = {
    {1, "unique constraint (%s.%s) violated"},
    {26, "missing or invalid session ID"},
    {27, "cannot kill current session"},
    {28, "your session has been killed"},
    {30, "User session ID does not exist."},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {60, "deadlock detected while waiting for resource"},
    {600, "internal error code, arguments: [%s], [%s], [%s], [%s], [%s], [%s], [%s], [%s]"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {921, "unexpected end of SQL command"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {924, "missing BY keyword"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {932, "inconsistent datatypes"},
    {933, "SQL command not properly ended"},
    {936, "missing expression"},
    {940, "invalid ALTER command"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {950, "invalid DROP option"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {971, "missing SET keyword"},
    {988, "missing or invalid password(s)"},
    {990, "missing or invalid privilege"},
    {998, "must name this expression with a column alias"},
    {1001, "invalid cursor"},
    {1002, "fetch out of sequence"},
    {1008, "not all variables bound"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {1017, "invalid username/password; logon denied"},
    {1027, "bind variables not allowed for data definition operations"},
    {1031, "insufficient privileges"},
    {1034, "ORACLE not available"},
    {1081, "cannot start already-running ORACLE - shut it down first"},
    {1086, "savepoint '%s' never established in this session or is invalid"},
    {1400, "cannot insert NULL into (%s)"},
    {1403, "no data found"},
    {1407, "cannot update (%s) to NULL"},
    {1408, "such column list already indexed"},
    {1410, "invalid ROWID"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1426, "numeric overflow"},
    {1427, "single-row subquery returns more than one row"},
    {1435, "user does not exist"},
    {1436, "CONNECT BY loop in user data"},
    {1438, "value larger than specified precision allowed for this column"},
    {1439, "column to be modified must be empty to change datatype"},
    {1441, "cannot decrease column length because some value is too big"},
    {1442, "column to be modified to NOT NULL is already NOT NULL"},
    {1449, "column contains NULL values; cannot alter to NOT NULL"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {1453, "SET TRANSACTION must be first statement of transaction"},
    {1465, "invalid hex number"},
    {1471, "cannot create a synonym with same name as object"},
    {1476, "divisor is equal to zero"},
    {1481, "invalid number format model"},
    {1653, "unable to extend table"},
    {1722, "invalid number"},
    {1730, "invalid number of column names specified"},
    {1735, "invalid ALTER TABLE option"},
    {1745, "invalid host/bind variable name"},
    {1756, "quoted string not properly terminated"},
    {1758, "table must be empty to add mandatory (NOT NULL) column"},
    {1780, "string literal required"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1786, "FOR UPDATE of this query expression is not allowed"},
    {1789, "query block has incorrect number of result columns"},
    {1790, "expression must have same datatype as corresponding expression"},
    {1792, "maximum number of columns in a table or view is 1000"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1839, "date not valid for month specified"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1857, "not a valid time zone"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1880, "the fractional seconds must be between 0 and 999999999"},
    {1891, "Datetime/Interval internal error"},
    {1898, "too many precision specifiers"},
    {1918, "user '%s' does not exist"},
    {1920, "user name '%s' conflicts with another user or role name"},
    {1940, "cannot drop a user that is currently connected"},
    {2002, "error while writing to audit trail"},
    {2003, "invalid USERENV parameter"},
    {2014, "cannot select FOR UPDATE from view with DISTINCT, GROUP BY, etc."},
    {2248, "invalid option for ALTER SESSION"},
    {2266, "unique/primary keys in table referenced by enabled foreign keys"},
    {2273, "this unique/primary key is referenced by some foreign keys"},
    {2283, "cannot alter starting sequence number"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s.%s) violated"},
    {2291, "integrity constraint (%s.%s) violated - parent key not found"},
    {2292, "integrity constraint (%s.%s) violated - child record found"},
    {2441, "Cannot drop nonexistent primary key"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3001, "unimplemented feature"},
    {3290, "Invalid truncate command - missing CLUSTER or TABLE keyword"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4005, "INCREMENT must be less than MAXVALUE minus MINVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {4030, "out of process memory"},
    {4043, "object %s does not exist"},
    {4044, "procedure, function, package, or type is not allowed here"},
    {4063, "%s has errors"},
    {6502, "PL/SQL: numeric or value error"},
    {6508, "PL/SQL: could not find program unit being called"},
    {6512, "at line"},
    {6550, "line %s, column %s:"},
    {6556, "the pipe is empty, cannot fulfill the unpack_message request"},
    {6558, "buffer in dbms_pipe package is full. No more items allowed"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL %s %sVALUE and cannot be instantiated"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {12983, "cannot drop all columns in a table"},
    {21560, "argument %s is null, invalid, or out of range"},
    {22275, "invalid LOB locator specified"},
    {22285, "non-existent directory or file for %s operation"},
    {22286, "insufficient privileges on file or directory to perform %s operation"},
    {22288, "file or LOB operation %s failed"},
    {22289, "cannot perform FILECLOSE operation on an unopened file or LOB"},
    {22293, "LOB already opened in the same transaction"},
    {22920, "row containing the LOB value is not locked"},
    {22926, "specified trim length is greater than current LOB value's length"},
    {22929, "invalid or missing directory name"},
    {23321, "Pipename may not be null"},
    {23322, "Privilege error accessing pipe"},
    {23420, "interval must evaluate to a time in the future"},
    {23421, "job number  is not a job in the job queue"},
    {24344, "success with compilation error"},
    {24801, "illegal parameter value in OCI lob function"},
    {28000, "the account is locked"},
    {28001, "the password has expired"},
    {28008, "invalid old password"},
    {28009, "connection as SYS should be as SYSDBA or SYSOPER"},
    {30005, "missing or invalid WAIT interval"},
    {32039, "number of WITH clause column names does not match number of elements in select list"},
    {38148, "invalid time limit specified"},
    {38802, "edition does not exist"},
};
} // namespace

std::string OraMessage(int code) {
    const char* m = nullptr;
    switch (code) {
    case 1002: m = "fetch out of sequence"; break;
    case 1003: m = "no statement parsed"; break;
    case 1007: m = "variable not in select list"; break;
    case 1008: m = "not all variables bound"; break;
    case 1012: m = "not logged on"; break;
    case 1013: m = "user requested cancel of current operation"; break;
    case 1017: m = "invalid username/password; logon denied"; break;
    case 1036: m = "illegal variable name/number"; break;
    case 1403: m = "no data found"; break;
    case 1405: m = "fetched column value is NULL"; break;
    case 1406: m = "fetched column value was truncated"; break;
    case 1410: m = "invalid ROWID"; break;
    case 3001: m = "unimplemented feature"; break;
    case 3114: m = "not connected to ORACLE"; break;
    case 12154: m = "TNS:could not resolve the connect identifier specified"; break;
    case 24315: m = "illegal attribute type"; break;
    case 24338: m = "statement handle not executed"; break;
    case 24343: m = "user defined callback error"; break;
    case 24374: m = "define not done before fetch or execute and fetch"; break;
    case 24391: m = "invalid fetch operation"; break;
    case 24399: m = "invalid number of connections specified"; break;
    case 24401: m = "cannot open further connections"; break;
    case 24422: m = "error occurred while trying to destroy the Session Pool"; break;
    case 24431: m = "Statement does not exist in the cache"; break;
    case 24496: m = "OCISessionGet() timed out waiting for a free connection."; break;
    case 25408: m = "can not safely replay call"; break;
    default:
        for (const auto& k : kEngineMessages)
            if (k.code == code) { m = k.text; break; }
        break;
    }
    char buf[200];
    if (m) std::snprintf(buf, sizeof buf, "ORA-%05d: %s", code, m);
    else std::snprintf(buf, sizeof buf, "ORA-%05d: Message %d not found; product=RDBMS; facility=ORA", code, code);
    return buf;
}

sword Unimplemented(Error* err) { return Fail(err, 3001, OraMessage(3001)); }

} // namespace ocisim::client
