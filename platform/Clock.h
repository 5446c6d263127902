#pragma once
// Tick count and sleeping.
#include <cstdint>

namespace quorvel::platform {

// Milliseconds on a monotonic clock since an arbitrary start; the 32-bit form wraps after
// about 49.7 days, so compare ticks by unsigned difference (now - then).
std::uint32_t GetTickCount();
std::uint64_t GetTickCount64();

// Blocks the calling thread for at least the given number of milliseconds (0 yields).
void Sleep(std::uint32_t milliseconds);

} // namespace quorvel::platform
