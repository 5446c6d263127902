#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace quorvel::platform {

std::uint64_t GetTickCount64() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(GetTickCount64()); }

void Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) std::this_thread::yield();
    else std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace quorvel::platform
