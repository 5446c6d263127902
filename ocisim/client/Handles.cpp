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
    case 1000: case 2000: return Charset::Utf16;
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
    default: break;
    }
    char buf[160];
    if (m) std::snprintf(buf, sizeof buf, "ORA-%05d: %s", code, m);
    else std::snprintf(buf, sizeof buf, "ORA-%05d: Message %d not found; product=RDBMS; facility=ORA", code, code);
    return buf;
}

sword Unimplemented(Error* err) { return Fail(err, 3001, OraMessage(3001)); }

} // namespace ocisim::client
