#pragma once
// What the benchmark programs share: wall-clock seconds since a point, and the stand-in home
// the library benchmarks load their client from.
#include <chrono>
#include <cstdlib>
#include <string>

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// QUORVEL_STANDIN_HOME when it is set, else the home of the build the program came from.
inline std::string StandInHome() {
    const char* env = std::getenv("QUORVEL_STANDIN_HOME");
    if (env && *env) return env;
#ifdef QUORVEL_BENCH_STANDIN_HOME
    return QUORVEL_BENCH_STANDIN_HOME;
#else
    return "";
#endif
}
