// Net service names: the reader of tnsnames.ora over text and temporary files, the location of
// the file through the environment, the registry and the home, sqlnet.ora's default domain, and
// the caches emptied by UnloadOCI.
#include "oracle/ci/NetServiceNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/Exception.h"
#include "base/Strings.h"
#include "oracle/ci/OracleCI.h"
#include "oracle/ci/internal/LoaderTesting.h"
#include "oracle/ci/internal/TNSNamesReader.h"
#include "oracle/ci/tests/LoaderFixture.h"
#include "platform/Registry.h"

namespace quorvel::testing_support {
namespace {

using Names = std::vector<std::string>;

const char* const HomeKey = "SOFTWARE\\ORACLE\\KEY_Test";

class NetServiceNamesTest : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        UnsetEnv("TNS_ADMIN");
        StripDefaultDomain = false;
    }
    void TearDown() override
    {
        StripDefaultDomain = false;
        LoaderTest::TearDown();
    }

    static Names Read(const std::string& text, const std::string& domain = "", bool strip = false)
    {
        TStringList names;
        tns_internal::PrepareNameList(names);
        tns_internal::ReadTNSNamesText(text, names, {domain, strip});
        return names.ToVector();
    }
    static Names ReadFile(const std::string& path)
    {
        TStringList names;
        tns_internal::PrepareNameList(names);
        tns_internal::ReadTNSNamesFile(path, names, {});
        return names.ToVector();
    }
    static Names Listed()
    {
        const TStringList* names = TNSNames();
        return names ? names->ToVector() : Names{"<no list>"};
    }

    // A registered home (KEY_Test) whose lib directory holds the given fake client.
    std::string MakeHome(const std::string& variant, const std::string& name = "home")
    {
        const std::string dir = MakeDir(name);
        LinkFile(name + "/lib/libclntsh.so", FakeClient(variant));
        RegisterKeyHome("Test", dir);
        return dir;
    }
};

// ----- the reader -----

TEST_F(NetServiceNamesTest, ReaderKeepsOnlyTheAliasesOutsideParentheses)
{
    struct Case {
        const char* what;
        std::string text;
        Names expected;
    };
    const Case cases[] = {
        {"descriptor over many lines with = inside",
         "SALES =\n  (DESCRIPTION =\n    (ADDRESS = (PROTOCOL = TCP)(HOST = db1)(PORT = 1521))\n"
         "    (CONNECT_DATA =\n      (SERVICE_NAME = sales)\n    )\n  )\nHR = (DESCRIPTION = (SID = hr))\n",
         {"HR", "SALES"}},
        {"several names per key", "SALES, SALES2 = (x)\nA,B,  C = (y)\n", {"A", "B", "C", "SALES", "SALES2"}},
        {"quoted names keep commas and blanks", "\"NEW SALES\", \"a,b\", \"say \"\"hi\"\"\" = (x)\n",
         {"a,b", "NEW SALES", "say \"hi\""}},
        {"empty names are left out", "E, ,F,, = (x)\n,= (y)\n", {"E", "F"}},
        {"sorted ignoring case, first spelling kept", "zeta = (x)\nAlpha = (x)\nbeta = (x)\nALPHA = (y)\n",
         {"Alpha", "beta", "zeta"}},
        {"comment line with ( does not change the depth", "# OLD = (DESCRIPTION =\nB = (y)\n", {"B"}},
        {"indented # is not a comment: its ( opens a descriptor",
         "   # note (\nHIDDEN = (x)\n)\nB = (y)\n", {"B"}},
        {"indented # line without parentheses gives its words", "  # X = (y)\n", {"#", "X"}},
        {"tabs and control characters are dropped", "\tTAB = (x)\r\nC\x01" "D = (z)\r\n", {"CD", "TAB"}},
        {"text without = outside an include is ignored", "just words\nA = (x)\n", {"A"}},
        {"a stray ) does not hide the entries after it", "A = (x))\nB = (DESCRIPTION = (y))\n", {"A", "B"}},
        {"an unclosed ( hides the rest of the file", "A = (x\nB = (y)\n", {"A"}},
        {"a key with an empty value is listed", "EMPTY =\n", {"EMPTY"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.text), c.expected) << c.what;
}

TEST_F(NetServiceNamesTest, DefaultDomainIsRemovedFromEveryName)
{
    struct Case {
        const char* text;
        const char* domain;
        bool strip;
        Names expected;
    };
    const Case cases[] = {
        {"SALES.WORLD = (x)", "world", false, {"SALES"}},
        {"SALES.WORLD = (x)", "WORLD", true, {"SALES"}},
        {"SALES.WORLD = (x)", "example.com", false, {"SALES.WORLD"}},
        {"SALES.EXAMPLE.COM = (x)", "example.com", false, {"SALES.EXAMPLE.COM"}},
        {"SALES.EXAMPLE.COM = (x)", "example.com", true, {"SALES"}},
        {"SALES.WORLD = (x)", "", true, {"SALES.WORLD"}},
        {"SALESWORLD = (x)", "WORLD", false, {"SALESWORLD"}},
        {"A.WORLD, B.world, \"C.WORLD\" = (x)", "WORLD", false, {"A", "B", "C"}},
        {"QUORVEL, QUORVEL.WORLD = (x)", "WORLD", false, {"QUORVEL"}},
        {".WORLD = (x)", "WORLD", false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.text, c.domain, c.strip), c.expected) << c.text << " / " << c.domain << " / " << c.strip;
}

TEST_F(NetServiceNamesTest, IncludedFilesAddToTheSameList)
{
    const std::string one = MakeFile("one.ora", "ONE = (x)\n");
    const std::string two = MakeFile("sub/two.ora", "two = (DESCRIPTION = (x)\n");  // unclosed: only its own
    const std::string three = MakeFile("three.ora", "THREE = (x)\nIFILE = " + one + "\n");
    const std::string main = MakeFile("tnsnames.ora",
                                      "IFILE =\n"
                                      "  " + one + "\n"
                                      "A = (x)\n"
                                      "ifile=" + two + "\n"
                                      "B = (y)\n"
                                      "IFILE = " + three + "\n"
                                      "IFILE = " + Root() + "/missing.ora\n"
                                      "C = (z)\n"
                                      "one = (again)\n");
    EXPECT_EQ(ReadFile(main), (Names{"A", "B", "C", "ONE", "THREE", "two"}));
    // The include line's name is taken as written: a file name on its own, not a key.
    EXPECT_EQ(ReadFile(MakeFile("lonely.ora", one + "\nD = (x)\n")), Names{"D"});
}

TEST_F(NetServiceNamesTest, IncludesThatLoopOrNameNoPlainFileEndQuickly)
{
    const std::string a = Root() + "/a.ora";
    const std::string b = Root() + "/b.ora";
    MakeFile("a.ora", "A = (x)\nIFILE = " + b + "\nIFILE = " + a + "\n");
    MakeFile("b.ora", "B = (x)\nIFILE = " + a + "\n");
    MakeDir("dir.ora");
    const std::string main = MakeFile("tnsnames.ora",
                                      "IFILE = " + a + "\n"
                                      "IFILE = /dev/zero\n"
                                      "IFILE = " + Root() + "/dir.ora\n"
                                      "IFILE = " + Root() + "\n"
                                      "M = (x)\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadFile(main), (Names{"A", "B", "M"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(ReadFile(Root() + "/nothing-here.ora"), Names{});
}

// ----- where tnsnames.ora is -----

TEST_F(NetServiceNamesTest, TheFileIsFoundWhereTheClientLooks)
{
    struct Case {
        const char* what;
        const char* client;
        bool envTnsAdmin;
        std::vector<std::pair<std::string, std::string>> registry;  // value name under key: "key|name"
        std::string expected;  // relative to Root(); the case's home is "home<number>"
    };
    const std::string oracle = "SOFTWARE\\ORACLE";
    const Case cases[] = {
        {"environment first", "full", true,
         {{std::string(HomeKey) + "|TNS_ADMIN", "reg"}, {oracle + "|TNS_ADMIN", "oracle"}}, "env/tnsnames.ora"},
        {"registry under the home", "full", false,
         {{std::string(HomeKey) + "|TNS_ADMIN", "reg"}, {oracle + "|TNS_ADMIN", "oracle"}}, "reg/tnsnames.ora"},
        {"registry under SOFTWARE\\ORACLE", "full", false,
         {{oracle + "|TNS_ADMIN", "oracle"}, {std::string(HomeKey) + "|NET80", "net80"}}, "oracle/tnsnames.ora"},
        {"NET80 of the home with OCI8", "full", false,
         {{std::string(HomeKey) + "|NET80", "net80"}, {std::string(HomeKey) + "|NET20", "net20"}},
         "net80/admin/tnsnames.ora"},
        {"NET20 of the home without OCI8", "oci7-only", false,
         {{std::string(HomeKey) + "|NET80", "net80"}, {std::string(HomeKey) + "|NET20", "net20"}},
         "net20/admin/tnsnames.ora"},
        {"the home's network/admin", "full", false, {}, "home5/network/admin/tnsnames.ora"},
        {"the home's net80/admin for an OCI 8.0 client", "no-envcreate", false, {}, "home6/net80/admin/tnsnames.ora"},
        {"the home's network/admin for an OCI7 client", "oci7-only", false, {}, "home7/network/admin/tnsnames.ora"},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetLoaderForTesting();
        UnsetEnv("TNS_ADMIN");
        platform::RegDeleteKey(platform::HKEY_LOCAL_MACHINE, "SOFTWARE");
        MakeHome(c.client, "home" + std::to_string(number++));
        if (c.envTnsAdmin)
            SetEnv("TNS_ADMIN", Root() + "/env");
        for (const auto& [where, dir] : c.registry) {
            const auto bar = where.find('|');
            platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, where.substr(0, bar), where.substr(bar + 1),
                                     Root() + "/" + dir);
        }
        EXPECT_EQ(TNSNamesFile(), Root() + "/" + c.expected);
    }
}

TEST_F(NetServiceNamesTest, NamesSpeltOtherwiseInTheHomeAreFoundIgnoringCase)
{
    const std::string home = MakeHome("full");
    MakeFile("home/Network/Admin/TNSNAMES.ORA", "WINDOWS = (x)\n");
    MakeFile("home/Network/Admin/SQLNET.ORA", "NAMES.DEFAULT_DOMAIN = world\n");
    EXPECT_EQ(TNSNamesFile(), home + "/Network/Admin/TNSNAMES.ORA");
    EXPECT_EQ(DefaultDomain(), "world");
    EXPECT_EQ(Listed(), Names{"WINDOWS"});
}

TEST_F(NetServiceNamesTest, DefaultDomainComesFromTheFirstMatchingLineOfSqlnet)
{
    struct Case {
        std::string sqlnet;
        std::string expected;
    };
    const Case cases[] = {
        {"NAMES.DEFAULT_DOMAIN = us.example.com\n", "us.example.com"},
        {"  names.default_domain=WORLD  \nnames.default_domain = later\n", "WORLD"},
        {"# names.default_domain = commented\nNAMES.DIRECTORY_PATH = (TNSNAMES)\n", ""},
        {"names.default_domain = a=b\n", "a=b"},
        {"SQLNET.AUTHENTICATION_SERVICES = (NTS)\n", ""},
    };
    MakeHome("full");
    for (const Case& c : cases) {
        ResetLoaderForTesting();
        MakeFile("home/network/admin/sqlnet.ora", c.sqlnet);
        EXPECT_EQ(DefaultDomain(), c.expected) << c.sqlnet;
    }
}

// ----- the process-wide list -----

TEST_F(NetServiceNamesTest, ListIsBuiltOnceAndRebuiltAfterUnload)
{
    MakeHome("full");
    const std::string tns = MakeFile("home/network/admin/tnsnames.ora", "SALES.WORLD, HR = (x)\nsales = (y)\n");
    const std::string sqlnet = MakeFile("home/network/admin/sqlnet.ora", "names.default_domain = world\n");
    const TStringList* first = TNSNames();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ToVector(), (Names{"HR", "SALES"}));

    MakeFile("home/network/admin/tnsnames.ora", "OTHER = (x)\n");
    EXPECT_EQ(TNSNames(), first);
    EXPECT_EQ(Listed(), (Names{"HR", "SALES"}));

    TStringList copy;
    copy.Add("stale");
    EXPECT_TRUE(CopyTNSNames(copy));
    EXPECT_EQ(copy.ToVector(), (Names{"HR", "SALES"}));

    UnloadOCI();
    EXPECT_EQ(Listed(), Names{"OTHER"});
    EXPECT_EQ(TNSNamesFile(), tns);
    EXPECT_EQ(DefaultDomain(), "world");

    // A found domain is kept until unload; an empty one is looked for again.
    MakeFile("home/network/admin/sqlnet.ora", "names.default_domain = changed\n");
    EXPECT_EQ(DefaultDomain(), "world");
    UnloadOCI();
    MakeFile("home/network/admin/sqlnet.ora", "\n");
    EXPECT_EQ(DefaultDomain(), "");
    MakeFile("home/network/admin/sqlnet.ora", "names.default_domain = late\n");
    EXPECT_EQ(DefaultDomain(), "late");
    (void)sqlnet;
}

TEST_F(NetServiceNamesTest, StripDefaultDomainAppliesToTheBuiltList)
{
    MakeHome("full");
    MakeFile("home/network/admin/tnsnames.ora", "SALES.EXAMPLE.COM = (x)\nHR.WORLD = (y)\n");
    MakeFile("home/network/admin/sqlnet.ora", "names.default_domain = example.com\n");
    EXPECT_EQ(Listed(), (Names{"HR.WORLD", "SALES.EXAMPLE.COM"}));
    UnloadOCI();
    StripDefaultDomain = true;
    EXPECT_EQ(Listed(), (Names{"HR.WORLD", "SALES"}));
}

TEST_F(NetServiceNamesTest, EnvironmentTnsAdminIsUsedEvenWhenItHoldsNoFile)
{
    MakeHome("full");
    MakeFile("home/network/admin/tnsnames.ora", "HOME = (x)\n");
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, HomeKey, "TNS_ADMIN", MakeDir("reg"));
    MakeFile("reg/tnsnames.ora", "REG = (x)\n");
    SetEnv("TNS_ADMIN", MakeDir("empty"));
    EXPECT_EQ(Listed(), Names{});
    EXPECT_EQ(TNSNamesFile(), Root() + "/empty/tnsnames.ora");
}

TEST_F(NetServiceNamesTest, NoClientMeansNoList)
{
    SetEnv("TNS_ADMIN", MakeDir("admin"));
    MakeFile("admin/tnsnames.ora", "SALES = (x)\n");
    EXPECT_EQ(TNSNames(), nullptr);
    TStringList copy;
    copy.Add("stale");
    EXPECT_FALSE(CopyTNSNames(copy));
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_THROW(TNSNamesFile(), Exception);
    // Once a client is there the list appears.
    MakeHome("full");
    EXPECT_EQ(Listed(), Names{"SALES"});
}

TEST_F(NetServiceNamesTest, CopiesStayWholeWhileAnotherThreadUnloads)
{
    MakeHome("full");
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "N" + std::to_string(i) + " = (DESCRIPTION = (SID = n))\n";
    MakeFile("home/network/admin/tnsnames.ora", text);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            TStringList copy;
            for (int i = 0; i < 100; ++i)
                if (!CopyTNSNames(copy) || copy.Count() != 200)
                    ++bad;
        });
    threads.emplace_back([] {
        for (int i = 0; i < 30; ++i)
            UnloadOCI();
    });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST_F(NetServiceNamesTest, StandInHomeListsItsDatabase)
{
    SetEnv("ORACLE_HOME", QUORVEL_STANDIN_HOME);
    EXPECT_EQ(TNSNamesFile(), std::string(QUORVEL_STANDIN_HOME) + "/network/admin/tnsnames.ora");
    EXPECT_EQ(DefaultDomain(), "WORLD");
    EXPECT_EQ(Listed(), Names{"QUORVEL"});
}

} // namespace
} // namespace quorvel::testing_support
