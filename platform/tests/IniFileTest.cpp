#include "platform/IniFile.h"

#include "platform/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel::platform;
using quorvel::platform::testing::TempDir;

namespace {

TEST(IniFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    TempDir dir;
    const std::string file = dir / "logon.ini";
    EXPECT_EQ(IniReadString(file, "Logon", "0"), "");
    EXPECT_EQ(IniReadString(file, "Logon", "0", "dflt"), "dflt");
    EXPECT_TRUE(IniReadSection(file, "Logon").empty());
    EXPECT_TRUE(IniEraseSection(file, "Logon"));
    EXPECT_FALSE(std::filesystem::exists(file));

    ASSERT_TRUE(IniWriteString(file, "Logon", "0", "2345"));
    ASSERT_TRUE(IniWriteString(file, "Logon", "1", "2346"));
    ASSERT_TRUE(IniWriteString(file, "Other", "k", "v"));
    EXPECT_EQ(dir.Read("logon.ini"), "[Logon]\n0=2345\n1=2346\n[Other]\nk=v\n");
    EXPECT_FALSE(IniWriteString(dir / "missing-dir/x.ini", "S", "k", "v"));
}

TEST(IniFile, ReadsIgnoreCaseAndSkipMalformedLines) {
    TempDir dir;
    dir.Write("a.ini",
              "orphan=before any section\n"
              "; comment=not a key\n"
              "[Logon]\r\n"
              "  0 = first  \r\n"
              "garbage without equals\r\n"
              "=no key\r\n"
              "#hash=comment\r\n"
              "1=a=b\r\n"
              "0=duplicate is ignored\r\n"
              "[broken\r\n"
              "2=still in Logon\r\n"
              "\r\n"
              "[ other ]\r\n"
              "x=\r\n"
              "[LOGON]\r\n"
              "9=second section of the same name is ignored");
    const std::string file = dir / "a.ini";
    EXPECT_EQ(IniReadString(file, "logon", "0"), "first");
    EXPECT_EQ(IniReadString(file, "LOGON", "1"), "a=b");
    EXPECT_EQ(IniReadString(file, "Logon", "2"), "still in Logon");
    EXPECT_EQ(IniReadString(file, "Logon", "9", "none"), "none");
    EXPECT_EQ(IniReadString(file, "Logon", "#hash", "none"), "none");
    EXPECT_EQ(IniReadString(file, "Other", "x", "none"), "");
    EXPECT_EQ(IniReadSection(file, "Logon"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(IniReadSections(file), (std::vector<std::string>{"Logon", "other"}));
    auto values = IniReadSectionValues(file, "Logon");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"1", "a=b"}));

    // Binary noise never crashes the reader.
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919) % 256);
    dir.Write("noise.ini", noise);
    IniReadSections(dir / "noise.ini");
    EXPECT_EQ(IniReadString(dir / "noise.ini", "x", "y", "d"), "d");
}

TEST(IniFile, ChangesKeepEverythingElse) {
    TempDir dir;
    const std::string original =
        "; settings of the tool\r\n"
        "[Window]\r\n"
        "Left=10\r\n"
        "odd line kept\r\n"
        "\r\n"
        "[Logon]\r\n"
        "0=1111\r\n"
        "1=2222\r\n"
        "\r\n"
        "[Tail]\r\n"
        "z=1";
    dir.Write("a.ini", original);
    const std::string file = dir / "a.ini";

    ASSERT_TRUE(IniWriteString(file, "window", "LEFT", "20")); // the key keeps its spelling
    ASSERT_TRUE(IniWriteString(file, "Window", "Top", "5"));
    EXPECT_EQ(dir.Read("a.ini"),
              "; settings of the tool\r\n[Window]\r\nLeft=20\r\nodd line kept\r\nTop=5\r\n\r\n"
              "[Logon]\r\n0=1111\r\n1=2222\r\n\r\n[Tail]\r\nz=1");

    ASSERT_TRUE(IniEraseSection(file, "LOGON"));
    EXPECT_TRUE(IniReadSection(file, "Logon").empty());
    EXPECT_EQ(IniReadString(file, "Tail", "z"), "1");
    EXPECT_EQ(IniReadString(file, "Window", "Top"), "5");
    ASSERT_TRUE(IniWriteString(file, "Logon", "0", "3333"));
    EXPECT_EQ(IniReadSection(file, "Logon"), std::vector<std::string>{"0"});
    ASSERT_TRUE(IniDeleteKey(file, "Window", "left"));
    EXPECT_EQ(IniReadString(file, "Window", "Left", "gone"), "gone");

    // What cannot be stored on one line is refused, and the file stays as it was.
    const std::string before = dir.Read("a.ini");
    EXPECT_FALSE(IniWriteString(file, "S", "k", "two\nlines"));
    EXPECT_FALSE(IniWriteString(file, "S", "a=b", "v"));
    EXPECT_FALSE(IniWriteString(file, "S]", "k", "v"));
    EXPECT_FALSE(IniWriteString(file, "", "k", "v"));
    EXPECT_FALSE(IniWriteString(file, "S", "", "v"));
    EXPECT_FALSE(IniWriteString(file, "S", "[k", "v"));
    EXPECT_EQ(dir.Read("a.ini"), before);
}

} // namespace
