#pragma once
// The set-up the library benchmarks share: the client loaded from the stand-in home, and a
// scratch directory of their own for the database and the registry store.
#include "bench/BenchSupport.h"
#include "oracle/ci/OracleCI.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// Points the library at the stand-in home and makes /tmp/bench-<name>-XXXXXX with its own
// registry. Returns the directory, or an empty text (with a message) when no home is known.
inline std::string StandInWorkspace(const std::string& name) {
    const std::string home = StandInHome();
    if (home.empty()) {
        std::fprintf(stderr, "set QUORVEL_STANDIN_HOME to the stand-in client's home\n");
        return {};
    }
    std::string pattern = "/tmp/bench-" + name + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return {};
    }
    const std::string dir = pattern;
    std::filesystem::create_directories(dir + "/registry");
    ::setenv("QUORVEL_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
    ::setenv("ORACLE_HOME", home.c_str(), 1);
    quorvel::OCIDLL = home + "/lib/libclntsh.so";
    return dir;
}
