#pragma once
// Environment variables and the process PATH.
//
// Reads and writes go through one process-wide lock, so threads using these functions never
// see a variable half-changed. Code calling getenv/setenv directly is outside that lock.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

// The value of the variable, empty when it is not set.
std::string GetEnvironmentVariable(const std::string& name);
bool HasEnvironmentVariable(const std::string& name);
// Sets (overwrites) the variable; false when the name is empty or contains "=".
bool SetEnvironmentVariable(const std::string& name, const std::string& value);
bool UnsetEnvironmentVariable(const std::string& name);

// The PATH variable of the process (program search).
std::string GetProcessPath();
bool SetProcessPath(const std::string& value);

// Splits a list such as "a:b::c" at the separator; empty entries are kept.
std::vector<std::string> SplitPathList(std::string_view list, char separator);
std::string JoinPathList(const std::vector<std::string>& entries, char separator);

} // namespace quorvel::platform
