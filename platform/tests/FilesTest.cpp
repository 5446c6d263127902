#include "platform/Files.h"

#include "platform/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel::platform;
using quorvel::platform::testing::TempDir;

namespace {

TEST(Files, ExistenceTellsFilesFromDirectories) {
    TempDir dir;
    dir.Write("bin/oci.dll", "x");
    EXPECT_TRUE(FileExists(dir / "bin/oci.dll"));
    EXPECT_FALSE(FileExists(dir / "bin"));
    EXPECT_TRUE(DirectoryExists(dir / "bin"));
    EXPECT_FALSE(DirectoryExists(dir / "bin/oci.dll"));
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_FALSE(DirectoryExists(""));
    EXPECT_FALSE(FileExists(""));
}

TEST(Files, WildcardMatching) {
    struct Case {
        const char* name;
        const char* pattern;
        NameCase nameCase;
        bool matches;
    } cases[] = {
        {"ora805.so", "ora*.so", NameCase::Sensitive, true},
        {"ora.so", "ora*.so", NameCase::Sensitive, true},
        {"ORA805.SO", "ora*.so", NameCase::Sensitive, false},
        {"ORA805.SO", "ora*.so", NameCase::Insensitive, true},
        {"ora805.so.1", "ora*.so", NameCase::Sensitive, false},
        {"oraa.so", "ora?.so", NameCase::Sensitive, true},
        {"ora.so", "ora?.so", NameCase::Sensitive, false},
        {"abc", "*", NameCase::Sensitive, true},
        {"abc", "*.*", NameCase::Sensitive, true}, // every name, dotted or not
        {"a.b.c", "*.c", NameCase::Sensitive, true},
        {"aXbXc", "a*b*c", NameCase::Sensitive, true},
        {"aXbX", "a*b*c", NameCase::Sensitive, false},
        {"", "*", NameCase::Sensitive, true},
        {"", "?", NameCase::Sensitive, false},
        {"x", "", NameCase::Sensitive, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern, c.nameCase), c.matches) << c.name << " vs " << c.pattern;
    // A pathological pattern finishes quickly.
    EXPECT_FALSE(MatchesWildcard(std::string(5000, 'a'), std::string(2000, '*') + "b", NameCase::Sensitive));
}

TEST(Files, EnumerationIsSortedAndFiltersByName) {
    TempDir dir;
    for (const char* name : {"ora81.so", "ora73.so", "ORANT8.SO", "libclntsh.so", "oracle.txt"}) dir.Write(name, "x");
    std::filesystem::create_directory(dir / "ora9.so");
    EXPECT_EQ(FindFiles(dir / "ora*.so"), (std::vector<std::string>{"ora73.so", "ora81.so", "ora9.so"}));
    EXPECT_EQ(FindFiles(dir / "ora*.so", NameCase::Insensitive),
              (std::vector<std::string>{"ORANT8.SO", "ora73.so", "ora81.so", "ora9.so"}));
    EXPECT_EQ(FindFiles(dir / "ora*.so", NameCase::Sensitive, true), (std::vector<std::string>{"ora73.so", "ora81.so"}));
    auto entries = FindEntries(dir / "ora9*");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].IsDirectory);
    EXPECT_EQ(FindFiles(dir.Path() + "/").size(), 6u);
    EXPECT_TRUE(FindFiles(dir / "missing/*").empty());
    EXPECT_TRUE(FindFiles(dir / "nothing*").empty());
}

TEST(Files, CurrentDirectoryAndRelativeSearch) {
    TempDir dir;
    dir.Write("sub/oci.dll", "x");
    const std::string before = GetCurrentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(SetCurrentDirectory(dir / "sub"));
    EXPECT_EQ(std::filesystem::canonical(GetCurrentDirectory()), std::filesystem::canonical(dir / "sub"));
    EXPECT_TRUE(FileExists("oci.dll"));
    EXPECT_EQ(FindFiles("*.dll"), std::vector<std::string>{"oci.dll"});
    EXPECT_FALSE(SetCurrentDirectory(dir / "missing"));
    EXPECT_FALSE(SetCurrentDirectory(""));
    ASSERT_TRUE(SetCurrentDirectory(before));
    EXPECT_EQ(GetCurrentDirectory(), before);
}

} // namespace
