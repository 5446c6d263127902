#include "oracle/session/OracleSession.h"

#include "base/Exception.h"

namespace quorvel {

TOracleSession::TOracleSession() = default;

TOracleSession::~TOracleSession() {
    FDestroying = true;
    try {
        LogOff();
    } catch (...) {
        // Destruction never raises.
    }
}

void TOracleSession::SetConnected(bool v) {
    if (v)
        LogOn();
    else
        LogOff();
}

void TOracleSession::LogOn() {
    if (BeforeLogOn) BeforeLogOn(*this);
    LogOff();
    // The after-logon notification and OnChange fire whether the attempt worked or not.
    auto notify = [this] {
        if (AfterLogOn) AfterLogOn(*this);
        if (OnChange) OnChange(*this);
    };
    notify();
    throw Exception("Connecting to a database is not available yet in this build");
}

void TOracleSession::LogOff() {
    if (!FConnected) return;
    FConnected = false;
    if (!FDestroying && OnChange) OnChange(*this);
}

} // namespace quorvel
