#pragma once
// A throw-away directory holding the registry hives and ini files of one test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Environment.h"

namespace quorvel::testing {

class HistoryStoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-logon-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        FDir = pattern;
        FOldRegistryDir = platform::GetEnvironmentVariable("QUORVEL_REGISTRY_DIR");
        platform::SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", FDir + "/registry");
    }
    void TearDown() override {
        if (FOldRegistryDir.empty()) platform::UnsetEnvironmentVariable("QUORVEL_REGISTRY_DIR");
        else platform::SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", FOldRegistryDir);
        std::error_code ec;
        std::filesystem::remove_all(FDir, ec);
    }

    std::string Path(const std::string& name) const { return FDir + "/" + name; }
    void Write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string FDir;
    std::string FOldRegistryDir;
};

} // namespace quorvel::testing
