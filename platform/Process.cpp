#include "platform/Process.h"

#include <mutex>

namespace quorvel::platform {

namespace {
struct Parameters {
    std::mutex lock;
    std::string program;
    std::vector<std::string> values;
};
Parameters& State() {
    static Parameters state;
    return state;
}
} // namespace

void SetProgramParameters(int argc, const char* const* argv) {
    std::string program;
    std::vector<std::string> values;
    if (argv) {
        for (int i = 0; i < argc; ++i) {
            const char* arg = argv[i] ? argv[i] : "";
            if (i == 0) program = arg;
            else values.emplace_back(arg);
        }
    }
    SetProgramParameters(program, std::move(values));
}

void SetProgramParameters(const std::string& programName, std::vector<std::string> parameters) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    state.program = programName;
    state.values = std::move(parameters);
}

std::string ProgramName() {
    auto& state = State();
    std::lock_guard guard(state.lock);
    return state.program;
}

std::vector<std::string> ProgramParameters() {
    auto& state = State();
    std::lock_guard guard(state.lock);
    return state.values;
}

int ProgramParameterCount() {
    auto& state = State();
    std::lock_guard guard(state.lock);
    return static_cast<int>(state.values.size());
}

std::string ProgramParameter(int index) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    if (index < 1 || static_cast<std::size_t>(index) > state.values.size()) return {};
    return state.values[static_cast<std::size_t>(index) - 1];
}

bool IsWow64() { return false; }

} // namespace quorvel::platform
