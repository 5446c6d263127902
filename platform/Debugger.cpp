#include "platform/Debugger.h"

#include <fstream>
#include <iterator>
#include <string>

namespace quorvel::platform {

long TracerPidFromStatus(std::string_view text) {
    constexpr std::string_view field = "TracerPid:";
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.substr(0, field.size()) != field) continue;
        line.remove_prefix(field.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        long value = 0;
        for (char c : line) {
            if (c < '0' || c > '9') break;
            if (value > 100000000) return 0; // not a process id
            value = value * 10 + (c - '0');
        }
        return value;
    }
    return 0;
}

bool IsDebuggerPresent() {
    std::ifstream in("/proc/self/status");
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return TracerPidFromStatus(text) != 0;
}

} // namespace quorvel::platform
