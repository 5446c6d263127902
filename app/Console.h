#pragma once
// The unattended install: --logon user/password@database --install file.sql, the log written
// to standard output in UTF-8. Exit status 0 when every command succeeded, 1 when a command
// failed with a database error, 2 for wrong usage, 3 when the logon or reading the file failed
// (the message goes to standard error).
#include <string>
#include <vector>

namespace quorvel {

// True when the arguments ask for the console mode.
bool IsConsoleMode(const std::vector<std::string>& args);
// Runs the console mode and returns the process exit status.
int RunConsole(const std::vector<std::string>& args);

} // namespace quorvel
