#pragma once
// The fixture of the loader tests: a throw-away directory holding the registry hives and any
// fake Oracle homes, with the environment, the library path, the working directory, the
// program parameters and the loader itself put back as they were after each test.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace quorvel::testing_support {

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Path of a fake client build: FakeClientDir("no-olog") is ".../no-olog/lib".
    static std::string FakeClientDir(const std::string& variant);
    static std::string FakeClient(const std::string& variant);

    // A directory (created with its parents) and a file with the given content under Root().
    std::string MakeDir(const std::string& relative);
    std::string MakeFile(const std::string& relative, const std::string& content = "");
    // A symbolic link under Root() pointing at target (a fake client built elsewhere).
    std::string LinkFile(const std::string& relative, const std::string& target);

    void SetEnv(const std::string& name, const std::string& value);
    void UnsetEnv(const std::string& name);
    void SetParameters(const std::vector<std::string>& parameters);

    // A registered home: HOME<number> under SOFTWARE\ORACLE with ORACLE_HOME and its name.
    void RegisterNumberedHome(int number, const std::string& name, const std::string& dir);
    void RegisterKeyHome(const std::string& name, const std::string& dir);

    const std::string& Root() const { return FRoot; }

private:
    void Remember(const std::string& name);

    std::string FRoot;
    std::string FSavedCwd;
    std::map<std::string, std::optional<std::string>> FSavedEnv;
};

// The message EnsureOCILoaded raised, or "" when it did not raise.
std::string LoadFailure();

} // namespace quorvel::testing_support
