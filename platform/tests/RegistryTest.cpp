#include "platform/Registry.h"

#include "platform/Environment.h"
#include "platform/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace quorvel::platform;
using quorvel::platform::testing::TempDir;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", Dir.Path() + "/reg"); }
    void TearDown() override { UnsetEnvironmentVariable("QUORVEL_REGISTRY_DIR"); }
    TempDir Dir;
};

TEST_F(RegistryTest, MissingDirectoryReadsEmptyAndFirstWriteCreatesIt) {
    EXPECT_FALSE(std::filesystem::exists(Dir / "reg"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "ORACLE_HOME"), "");
    EXPECT_FALSE(RegReadValue(HKEY_CURRENT_USER, "X", "Y").has_value());
    EXPECT_TRUE(RegSubKeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE").empty());
    EXPECT_FALSE(RegDeleteValue(HKEY_CURRENT_USER, "X", "Y"));
    EXPECT_FALSE(RegDeleteKey(HKEY_CURRENT_USER, "X"));

    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0", "ORACLE_HOME", "/opt/oracle"));
    EXPECT_TRUE(std::filesystem::exists(Dir / "reg/machine.reg"));
    EXPECT_FALSE(std::filesystem::exists(Dir / "reg/user.reg"));
    EXPECT_EQ(RegistryHiveFile(HKEY_CURRENT_USER), Dir.Path() + "/reg/user.reg");
}

TEST_F(RegistryTest, KeysAndValuesIgnoreCaseAndKeepTheirSpelling) {
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Oracle\\KEY_OraClient11g", "ORACLE_HOME", "/a"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "software\\ORACLE\\key_oraclient11G", "oracle_home"), "/a");
    // Leading, doubled and trailing separators do not make another key.
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\\\ORACLE\\KEY_ORACLIENT11G\\", "ORACLE_HOME"), "/a");
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\KEY_ORACLIENT11G", "Oracle_Home", "/b"));
    EXPECT_EQ(RegValueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\KEY_ORACLIENT11G"),
              std::vector<std::string>{"ORACLE_HOME"});
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\KEY_ORACLIENT11G", "ORACLE_HOME"), "/b");
    EXPECT_EQ(RegSubKeyNames(HKEY_LOCAL_MACHINE, "Software\\Oracle"), std::vector<std::string>{"KEY_OraClient11g"});
    // The empty name is the key's default value and is distinct from the others.
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "", "default"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", ""), "default");
    EXPECT_FALSE(RegReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "ORACLE_HOME").has_value());
}

TEST_F(RegistryTest, HivesAreSeparate) {
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Q", "v", "user"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "Software\\Q", "v", "machine"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Q", "v"), "user");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "Software\\Q", "v"), "machine");
    ASSERT_TRUE(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Q"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Q"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "Software\\Q", "v"), "machine");
}

TEST_F(RegistryTest, EnumerationCreationAndDeletion) {
    ASSERT_TRUE(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME1"));
    ASSERT_TRUE(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\ALL_HOMES"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\home0\\deep", "x", "1"));
    EXPECT_TRUE(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME1")); // already there
    EXPECT_EQ(RegSubKeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE"),
              (std::vector<std::string>{"ALL_HOMES", "home0", "HOME1"}));
    EXPECT_TRUE(RegSubKeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME1").empty());

    // Deleting a key takes its subkeys with it.
    ASSERT_TRUE(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0\\DEEP"));
    EXPECT_FALSE(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0"));
    EXPECT_FALSE(RegDeleteKey(HKEY_LOCAL_MACHINE, ""));

    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "K", "Logon0", "a"));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "K", "Logon1", "b"));
    EXPECT_TRUE(RegDeleteValue(HKEY_CURRENT_USER, "K", "logon0"));
    EXPECT_FALSE(RegDeleteValue(HKEY_CURRENT_USER, "K", "Logon0"));
    EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, "K"), std::vector<std::string>{"Logon1"});
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "K")); // a key without values stays
}

TEST_F(RegistryTest, ValuesSurviveReopenIncludingAwkwardBytes) {
    const std::string awkward = "quote\" back\\slash\nnew line\r\ttab\x01 ]=[ \xD0\x96 end";
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Kestrova\\Quorvel\\Warnings", "1", "*942"));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Odd [name]", "v", awkward));
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "Software\\Empty"));
    const std::string saved = Dir.Read("reg/user.reg");

    // Another directory and back: nothing is served from memory that is not on disk.
    SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", Dir.Path() + "/other");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software"));
    std::filesystem::rename(Dir / "reg", Dir / "moved");
    SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", Dir.Path() + "/moved");
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "SOFTWARE\\ODD [NAME]", "V"), awkward);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Kestrova\\Quorvel\\Warnings", "1"), "*942");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Empty"));
    EXPECT_EQ(Dir.Read("moved/user.reg"), saved);
    // The file is written whole, without temporary files left behind.
    for (const auto& entry : std::filesystem::directory_iterator(Dir / "moved"))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(RegistryTest, ChangesMadeBehindOurBackAreSeen) {
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "A", "v", "1"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "A", "v"), "1");
    Dir.Write("reg/machine.reg", "[A]\n\"v\"=\"changed by hand\"\n\"w\"=\"2\"\n");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "A", "v"), "changed by hand");
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "A", "x", "3"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "A", "w"), "2");
}

TEST_F(RegistryTest, MalformedFileReadsItsSoundPartsAndIsKeptBeforeReplacing) {
    const std::string damaged =
        "; comment\n"
        "\"orphan\"=\"before any key\"\n"
        "[SOFTWARE\\ORACLE\\HOME0]\r\n"
        "\"ORACLE_HOME\"=\"/opt/o\"\r\n"
        "\"broken=\"x\n"
        "\"bad escape\"=\"\\q\"\n"
        "\"trailing\"=\"v\" junk\n"
        "garbage line\n"
        "[SOFTWARE\\ORACLE\\HOME1\n"
        "\"lost\"=\"under a broken header\"\n"
        "[SOFTWARE\\ORACLE\\HOME2]\n"
        "  \"ORACLE_HOME\" = \"/opt/two\"  \n"
        "\"hex\"=\"\\x4\n"
        "[\x01]\n"
        "\"unterminated\"=\"abc";
    Dir.Write("reg/machine.reg", damaged);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0", "ORACLE_HOME"), "/opt/o");
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME2", "ORACLE_HOME"), "/opt/two");
    EXPECT_EQ(RegValueNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0"), std::vector<std::string>{"ORACLE_HOME"});
    EXPECT_EQ(RegSubKeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE"), (std::vector<std::string>{"HOME0", "HOME2"}));
    EXPECT_TRUE(RegValueNames(HKEY_LOCAL_MACHINE, "").empty());

    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME3", "ORACLE_HOME", "/opt/3"));
    EXPECT_EQ(Dir.Read("reg/machine.reg.bad"), damaged);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME2", "ORACLE_HOME"), "/opt/two");

    // Binary noise never crashes the reader.
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919) % 256);
    Dir.Write("reg/user.reg", noise);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "anything"));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                RegWriteString(HKEY_CURRENT_USER, "T" + std::to_string(t), "v" + std::to_string(i), std::to_string(i));
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(RegValueNames(HKEY_CURRENT_USER, "T" + std::to_string(t)).size(), 25u);
}

TEST(RegistryDefaults, DefaultDirectoryIsUnderTheHomeDirectory) {
    UnsetEnvironmentVariable("QUORVEL_REGISTRY_DIR");
    const std::string home = GetEnvironmentVariable("HOME");
    SetEnvironmentVariable("HOME", "/nonexistent-home");
    EXPECT_EQ(RegistryDirectory(), "/nonexistent-home/.config/quorvel/registry");
    EXPECT_EQ(RegistryHiveFile(HKEY_LOCAL_MACHINE), "/nonexistent-home/.config/quorvel/registry/machine.reg");
    SetEnvironmentVariable("HOME", home);
}

TEST(RegistryDefaults, UnwritableDirectoryIsACleanFailure) {
    TempDir dir;
    dir.Write("file", "x");
    SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", dir / "file/reg"); // below a regular file
    EXPECT_FALSE(RegWriteString(HKEY_CURRENT_USER, "K", "v", "x"));
    EXPECT_FALSE(RegCreateKey(HKEY_CURRENT_USER, "K"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "K"));
    UnsetEnvironmentVariable("QUORVEL_REGISTRY_DIR");
}

} // namespace
