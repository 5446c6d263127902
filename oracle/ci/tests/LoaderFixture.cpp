#include "oracle/ci/tests/LoaderFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Exception.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/ci/internal/LoaderTesting.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace quorvel::testing_support {

namespace fs = std::filesystem;

void LoaderTest::SetUp()
{
    FSavedCwd = platform::GetCurrentDirectory();
    std::string pattern = (fs::temp_directory_path() / "quorvel-ci-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
    for (const char* name : {"QUORVEL_REGISTRY_DIR", "ORACLE_HOME", "LD_LIBRARY_PATH", "NLS_LANG"})
        Remember(name);
    SetEnv("QUORVEL_REGISTRY_DIR", MakeDir("registry"));
    UnsetEnv("ORACLE_HOME");
    UnsetEnv("NLS_LANG");
    SetEnv("LD_LIBRARY_PATH", "");
    SetParameters({});
    ResetLoaderForTesting();
}

void LoaderTest::TearDown()
{
    ResetLoaderForTesting();
    platform::SetCurrentDirectory(FSavedCwd);
    for (const auto& [name, value] : FSavedEnv) {
        if (value)
            platform::SetEnvironmentVariable(name, *value);
        else
            platform::UnsetEnvironmentVariable(name);
    }
    SetParameters({});
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
}

void LoaderTest::Remember(const std::string& name)
{
    if (FSavedEnv.count(name))
        return;
    if (platform::HasEnvironmentVariable(name))
        FSavedEnv[name] = platform::GetEnvironmentVariable(name);
    else
        FSavedEnv[name] = std::nullopt;
}

std::string LoaderTest::FakeClientDir(const std::string& variant)
{
    return std::string(QUORVEL_FAKE_CLIENTS) + "/" + variant + "/lib";
}

std::string LoaderTest::FakeClient(const std::string& variant) { return FakeClientDir(variant) + "/libclntsh.so"; }

std::string LoaderTest::MakeDir(const std::string& relative)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path);
    return path.string();
}

std::string LoaderTest::MakeFile(const std::string& relative, const std::string& content)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

std::string LoaderTest::LinkFile(const std::string& relative, const std::string& target)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path.parent_path());
    fs::create_symlink(target, path);
    return path.string();
}

void LoaderTest::SetEnv(const std::string& name, const std::string& value)
{
    Remember(name);
    platform::SetEnvironmentVariable(name, value);
}

void LoaderTest::UnsetEnv(const std::string& name)
{
    Remember(name);
    platform::UnsetEnvironmentVariable(name);
}

void LoaderTest::SetParameters(const std::vector<std::string>& parameters)
{
    platform::SetProgramParameters("ci_tests", parameters);
}

void LoaderTest::RegisterNumberedHome(int number, const std::string& name, const std::string& dir)
{
    const std::string key = "SOFTWARE\\ORACLE\\HOME" + std::to_string(number);
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, key, "ORACLE_HOME", dir);
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, key, "ORACLE_HOME_NAME", name);
}

void LoaderTest::RegisterKeyHome(const std::string& name, const std::string& dir)
{
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\KEY_" + name, "ORACLE_HOME", dir);
}

std::string LoadFailure()
{
    try {
        EnsureOCILoaded();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

} // namespace quorvel::testing_support
