#pragma once
// TOracleLogon: logs a session on through a modal dialog. It fills the dialog from the session,
// lets the user edit user name, password, database and connect-as mode, writes them back, logs
// on, retries on failure, handles an expired or expiring password and records successful
// log-ons in the logon history. The same dialog, relabelled, changes a password.
//
// The component knows no toolkit: it talks to its dialogs only through the user-interface
// services (platform/UIServices.h).
#include <cstdint>
#include <string>

#include "base/Component.h"
#include "base/Set.h"

namespace quorvel {

class TOracleSession;

enum TLogonOption { ldAuto, ldDatabase, ldDatabaseList, ldLogonHistory, ldConnectAs, ldPasswordOnly };
using TLogonOptions = TSet<TLogonOption>;

// The texts of the logon dialogs, one table for the process. In the change-password caption,
// the expired-password caption and the change-now question every "%1" stands for the session's
// "user@database" in lower case.
struct TLogonTexts {
    std::string LogonCaption = "Oracle Logon";
    std::string ChangePasswordCaption = "Change password";
    std::string ConfirmTitle = "Confirm";
    std::string Username = "Username";
    std::string Password = "Password";
    std::string Database = "Database";
    std::string ConnectAs = "Connect as";
    std::string NewPassword = "New password";
    std::string OldPassword = "Old password";
    std::string Verification = "Verification";
    std::string VerificationFailed = "Verification failed";
    std::string ChangeNowQuestion = "Do you wish to change your password now?";
    std::string ExpiredCaption = "Your password has expired";
    std::string OK = "OK";
    std::string Cancel = "Cancel";
    std::string HistoryHint = "Logon history";
};
TLogonTexts& LogonTexts();

class TOracleLogon : public TComponent {
public:
    explicit TOracleLogon(TComponent* owner = nullptr);
    ~TOracleLogon() override;

    // ---- settings ----
    TOracleSession* Session() const { return FSession; }
    void SetSession(TOracleSession* session);   // forgotten when that session is destroyed
    uint16_t Retries = 2;                        // further attempts after a failed one
    TLogonOptions Options{ldAuto, ldDatabase};
    int32_t AliasDropDownCount = 8;
    std::string HistoryRegSection;               // key under the current user's registry hive
    std::string HistoryIniFile;                  // used when there is no registry key
    int32_t HistorySize = 6;                     // 0: no limit
    bool HistoryWithPassword = false;
    std::string Caption;                         // a non-empty caption replaces the process's logon caption
    // The image shown at the left of the dialog, as the bytes of an image file (PNG, BMP, ...);
    // empty for none. The component keeps its own copy.
    std::string Picture;

    // Runs the logon. False at once without a session, and when the user cancels the first
    // showing of the dialog; otherwise true, whether or not the log-on succeeded (look at the
    // session's Connected).
    bool Execute();
    // Runs the change-password dialog; true when the password was changed.
    bool SetPassword();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    bool RunLogonDialog();
    bool ExpiredPasswordDialog();

    TOracleSession* FSession = nullptr;
};

// The value of the first program parameter that begins with "UserId=" (letter case ignored),
// at most 255 characters; empty when there is none.
std::string UserIdParameter();
// A database message made ready for a message box (text of the process's code page): with a
// UTF-8 client character set (NLS_LANG) the client's bytes are decoded as UTF-8.
std::string LogonDisplayMessage(const std::string& message);

} // namespace quorvel
