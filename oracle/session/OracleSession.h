#pragma once
// TOracleSession: the component that owns one database connection. Statements, scripts,
// packages and data sets name a session and run on its connection; the session reports every
// change of its connection state through OnChange.
//
// This first form carries the settings, the callbacks and the connection state that the main
// window relies on. Logging on needs the client-library binding, which is not wired in yet:
// LogOn runs its callbacks in their fixed order and then fails with a plain message.
#include <functional>
#include <string>

namespace quorvel {

enum TConnectAsOption { caNormal, caSYSDBA, caSYSOPER };

class TOracleSession {
public:
    using TNotifyEvent = std::function<void(TOracleSession& sender)>;

    TOracleSession();
    ~TOracleSession();
    TOracleSession(const TOracleSession&) = delete;
    TOracleSession& operator=(const TOracleSession&) = delete;

    // Callbacks, fired as the connection state changes.
    TNotifyEvent OnChange;      // after every logon attempt and every logoff of a connected session
    TNotifyEvent BeforeLogOn;   // before a logon starts
    TNotifyEvent AfterLogOn;    // after every logon attempt, failed ones included

    const std::string& LogonUsername() const { return FLogonUsername; }
    void SetLogonUsername(const std::string& v) { FLogonUsername = v; }
    const std::string& LogonPassword() const { return FLogonPassword; }
    void SetLogonPassword(const std::string& v) { FLogonPassword = v; }
    const std::string& LogonDatabase() const { return FLogonDatabase; }
    void SetLogonDatabase(const std::string& v) { FLogonDatabase = v; }
    TConnectAsOption ConnectAs() const { return FConnectAs; }
    void SetConnectAs(TConnectAsOption v) { FConnectAs = v; }

    bool Connected() const { return FConnected; }
    void SetConnected(bool v);   // true logs on, false logs off

    void LogOn();
    void LogOff();

private:
    std::string FLogonUsername;
    std::string FLogonPassword;
    std::string FLogonDatabase;
    TConnectAsOption FConnectAs = caNormal;
    bool FConnected = false;
    bool FDestroying = false;
};

} // namespace quorvel
