// The server package wrappers every session offers, created on first use.
#include <mutex>

#include "oracle/dbms/OracleDBMS.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

namespace {

// Guards the first creation only; sessions used from several threads create each wrapper once.
std::mutex& WrapperLock() {
    static std::mutex lock;
    return lock;
}

template <class T>
T& Wrapper(std::unique_ptr<TComponent>& slot, TOracleSession* session) {
    std::lock_guard<std::mutex> guard(WrapperLock());
    if (!slot) slot = std::make_unique<T>(session);
    return static_cast<T&>(*slot);
}

} // namespace

TDBMS_Alert& TOracleSession::DBMS_Alert() { return Wrapper<TDBMS_Alert>(FServerPackages[0], this); }
TDBMS_Application_Info& TOracleSession::DBMS_Application_Info() {
    return Wrapper<TDBMS_Application_Info>(FServerPackages[1], this);
}
TDBMS_Job& TOracleSession::DBMS_Job() { return Wrapper<TDBMS_Job>(FServerPackages[2], this); }
TDBMS_Output& TOracleSession::DBMS_Output() { return Wrapper<TDBMS_Output>(FServerPackages[3], this); }
TDBMS_Pipe& TOracleSession::DBMS_Pipe() { return Wrapper<TDBMS_Pipe>(FServerPackages[4], this); }
TUTL_File& TOracleSession::UTL_File() { return Wrapper<TUTL_File>(FServerPackages[5], this); }

} // namespace quorvel
