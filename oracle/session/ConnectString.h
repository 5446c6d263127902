#pragma once
// Splitting a connect string "user/password@database as SYSDBA" into its parts. The session,
// the logon dialog, the logon history and the script's connect command share this routine.
#include <string>

namespace quorvel {

struct TConnectStringParts {
    std::string User;
    std::string Password;
    std::string Database;
    std::string ConnectAs;   // upper case, e.g. "SYSDBA"; empty when none
};

// Splits `text` into `parts`. When `text` is empty it is first composed from the current values
// of `parts` (user, "/" password, "@" database, " as " connect-as), which are then emptied.
// Returns true when the text held more than a user name: a password, a database or a
// connect-as part, or the text is exactly "/" (operating-system authentication).
bool ParseConnectString(std::string text, TConnectStringParts& parts);

} // namespace quorvel
