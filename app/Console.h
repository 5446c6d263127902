#pragma once
// The unattended install: --logon user/password@database --install file.sql, the log written
// to standard output, a non-zero exit status when a command failed.
#include <string>
#include <vector>

namespace quorvel {

// True when the arguments ask for the console mode.
bool IsConsoleMode(const std::vector<std::string>& args);
// Runs the console mode and returns the process exit status.
int RunConsole(const std::vector<std::string>& args);

} // namespace quorvel
