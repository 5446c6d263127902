#pragma once
// Facts about the running process: its program parameters and its address-width situation.
#include <string>
#include <vector>

namespace quorvel::platform {

// The application hands its command line in once at start (main's argc/argv); argv[0], the
// program itself, is kept apart. Parameters are counted from 1 as on the command line.
void SetProgramParameters(int argc, const char* const* argv);
void SetProgramParameters(const std::string& programName, std::vector<std::string> parameters);

std::string ProgramName();
// The parameters after the program name, in order.
std::vector<std::string> ProgramParameters();
int ProgramParameterCount();
// Parameter index (1-based); empty when out of range.
std::string ProgramParameter(int index);

// A 32-bit process on 64-bit Windows: never the case here.
bool IsWow64();

} // namespace quorvel::platform
