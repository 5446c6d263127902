#pragma once
// Whether a debugger is attached to the process: a non-zero TracerPid in /proc/self/status.
#include <string_view>

namespace quorvel::platform {

bool IsDebuggerPresent();

// The TracerPid of a /proc/<pid>/status text; 0 when absent or unreadable.
long TracerPidFromStatus(std::string_view statusText);

} // namespace quorvel::platform
