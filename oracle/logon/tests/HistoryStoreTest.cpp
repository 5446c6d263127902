// The history in the registry and in an ini file, each test on its own temporary store.
#include <gtest/gtest.h>

#include "HistoryFixture.h"
#include "oracle/logon/LogonHistory.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

namespace quorvel {
namespace {

using platform::HKEY_CURRENT_USER;
using testing::HistoryStoreFixture;

const std::string kKey = "Software\\Quorvel\\Logon";

std::vector<std::string> Displays(const THistoryItems& h) {
    std::vector<std::string> r;
    for (int i = 0; i < h.Count(); ++i) r.push_back(h.Item(i).DisplayString());
    return r;
}

THistoryItems Sample(bool withPassword) {
    THistoryItems h;
    h.SetWithPassword(withPassword);
    h.Add("scott", "tiger", "orcl", "");
    h.Add("sys", "change_on_install", "prod", "SYSDBA");
    h.Add("system", "manager", "", "");
    return h;
}

using RegistryHistory = HistoryStoreFixture;
using IniHistory = HistoryStoreFixture;

TEST_F(RegistryHistory, SavedListReadsBackInOrder) {
    for (bool withPassword : {false, true}) {
        const THistoryItems saved = Sample(withPassword);
        EXPECT_TRUE(saved.Save(kKey));
        THistoryItems loaded;
        loaded.SetWithPassword(withPassword);
        EXPECT_TRUE(loaded.Load(kKey));
        ASSERT_EQ(Displays(loaded), Displays(saved));
        for (int i = 0; i < loaded.Count(); ++i) {
            EXPECT_EQ(loaded.Item(i).Password, withPassword ? saved.Item(i).Password : "");
            EXPECT_EQ(loaded.ValueText(i), saved.ValueText(i));
        }
    }
    // The values as they are stored: "Logon<n>", scrambled, nothing between "/" and "@"
    // without passwords.
    Sample(false).Save("\\" + kKey);
    EXPECT_EQ(platform::RegValueNames(HKEY_CURRENT_USER, kKey),
              (std::vector<std::string>{"Logon0", "Logon1", "Logon2"}));
    const std::string stored = platform::RegReadString(HKEY_CURRENT_USER, kKey, "Logon1");
    EXPECT_EQ(stored.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(UnscrambleHistoryText(stored), "sys/@prod as SYSDBA");
}

TEST_F(RegistryHistory, ValuesWrittenElsewhereAreRead) {
    platform::RegWriteString(HKEY_CURRENT_USER, kKey, "Logon0",
                             "23454587485350234601461139654631507350835061476744894931473349834849");
    platform::RegWriteString(HKEY_CURRENT_USER, kKey, "logon1",
                             "299943134163430133515073450745494591356138594621333534733419306131673161");
    THistoryItems h;
    h.SetWithPassword(true);
    EXPECT_TRUE(h.Load(kKey));
    ASSERT_EQ(h.Count(), 2);
    EXPECT_EQ(h.Item(0).Username, "scott");
    EXPECT_EQ(h.Item(0).Password, "tiger");
    EXPECT_EQ(h.Item(0).Database, "orcl");
    EXPECT_EQ(h.Item(1).DisplayString(), "sys@db as SYSDBA");
}

TEST_F(RegistryHistory, ShorterListLeavesNoStaleValues) {
    THistoryItems big;
    for (int i = 0; i < 6; ++i) big.Add("user" + std::to_string(i), "", "", "");
    big.Save(kKey);
    // A gap in the old numbering and unrelated values.
    platform::RegDeleteValue(HKEY_CURRENT_USER, kKey, "Logon2");
    platform::RegWriteString(HKEY_CURRENT_USER, kKey, "Other", "kept");
    platform::RegWriteString(HKEY_CURRENT_USER, kKey, "Logon007", "kept");

    THistoryItems small;
    small.Add("only", "", "", "");
    small.Save(kKey);
    EXPECT_EQ(platform::RegValueNames(HKEY_CURRENT_USER, kKey),
              (std::vector<std::string>{"Logon0", "Logon007", "Other"}));
    // Growing again brings nothing old back.
    small.Add("second", "", "", "");
    small.Add("third", "", "", "");
    small.Add("fourth", "", "", "");
    small.Save(kKey);
    THistoryItems loaded;
    loaded.Load(kKey);
    EXPECT_EQ(Displays(loaded), (std::vector<std::string>{"fourth", "third", "second", "only"}));
}

TEST_F(RegistryHistory, LoadingStopsAtTheFirstMissingOrEmptyValueAndHonoursSize) {
    for (int i = 0; i < 8; ++i)
        platform::RegWriteString(HKEY_CURRENT_USER, kKey, "Logon" + std::to_string(i),
                                 ScrambleHistoryText("user" + std::to_string(i) + "/@db", 2100 + i));
    THistoryItems limited;
    limited.SetSize(3);
    limited.Load(kKey);
    EXPECT_EQ(Displays(limited), (std::vector<std::string>{"user0@db", "user1@db", "user2@db"}));

    struct Case { std::string value; std::vector<std::string> want; };
    const Case cases[] = {
        {"", {"user0@db", "user1@db", "user2@db"}},           // empty value
        {"garbage", {"user0@db", "user1@db", "user2@db"}},    // unscrambles to nothing
        {"2100", {"user0@db", "user1@db", "user2@db"}},       // key only
        {ScrambleHistoryText("abc/@db", 2222).substr(0, 14) + "zz",
         {"user0@db", "user1@db", "user2@db", "ab", "user4@db", "user5@db", "user6@db", "user7@db"}},
        {std::string("\0", 1) + ScrambleHistoryText("x/@y", 2000), {"user0@db", "user1@db", "user2@db"}},
    };
    for (const Case& c : cases) {
        platform::RegWriteString(HKEY_CURRENT_USER, kKey, "Logon3", c.value);
        THistoryItems h;
        EXPECT_TRUE(h.Load(kKey));
        EXPECT_EQ(Displays(h), c.want) << c.value;
    }
    platform::RegDeleteValue(HKEY_CURRENT_USER, kKey, "Logon0");
    THistoryItems none;
    EXPECT_TRUE(none.Load(kKey));
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(RegistryHistory, LongEntriesAreKept) {
    THistoryItems h;
    h.SetWithPassword(true);
    const std::string database = "//db-server.example.internal:1521/application_service.example.internal";
    h.Add("a_rather_long_application_user", "and_a_long_password", database, "");
    h.Add("scott", "tiger", "orcl", "");
    ASSERT_GT(h.ValueText(1).size(), 63u);
    h.Save(kKey);
    THistoryItems loaded;
    loaded.SetWithPassword(true);
    loaded.Load(kKey);
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Item(1).Database, database);
    EXPECT_EQ(loaded.Item(1).Password, "and_a_long_password");
}

TEST_F(RegistryHistory, MissingOrDamagedStoresLoadNothingWithoutFailing) {
    THistoryItems h;
    EXPECT_TRUE(h.Load(kKey));
    EXPECT_TRUE(h.Load(""));
    EXPECT_TRUE(h.Save(""));
    EXPECT_EQ(h.Count(), 0);

    Write("registry/user.reg", std::string("\x01\x02[[[broken\n\"Logon0\"=\n\xFF\xFE", 22));
    EXPECT_TRUE(h.Load(kKey));
    EXPECT_EQ(h.Count(), 0);
    // A hive that cannot be written: the registry directory is a file.
    Write("blocked", "x");
    platform::SetEnvironmentVariable("QUORVEL_REGISTRY_DIR", Path("blocked"));
    EXPECT_TRUE(Sample(false).Save(kKey));
    EXPECT_TRUE(h.Load(kKey));
    EXPECT_EQ(h.Count(), 0);
}

TEST_F(IniHistory, SavedListReadsBackAndReplacesTheSection) {
    const std::string file = Path("logon.ini");
    Write("logon.ini", "; kept comment\n[Other]\nx=1\n[Logon]\n0=1\n1=2\n2=3\n3=4\n7=old\n");
    const THistoryItems saved = Sample(true);
    EXPECT_TRUE(saved.SaveIni(file));
    EXPECT_EQ(platform::IniReadSection(file, "Logon"), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(platform::IniReadString(file, "Other", "x"), "1");
    EXPECT_NE(Read("logon.ini").find("; kept comment"), std::string::npos);

    THistoryItems loaded;
    loaded.SetWithPassword(true);
    EXPECT_TRUE(loaded.LoadIni(file));
    ASSERT_EQ(Displays(loaded), Displays(saved));
    EXPECT_EQ(loaded.Item(1).Password, "change_on_install");

    THistoryItems limited;
    limited.SetSize(2);
    EXPECT_TRUE(limited.LoadIni(file));
    EXPECT_EQ(limited.Count(), 2);
}

TEST_F(IniHistory, MissingDamagedAndUnwritableFiles) {
    THistoryItems h;
    EXPECT_TRUE(h.LoadIni(Path("missing.ini")));
    EXPECT_TRUE(h.LoadIni(""));
    EXPECT_TRUE(h.SaveIni(""));
    EXPECT_EQ(h.Count(), 0);

    std::string damaged = "[Logon]\n0=" + ScrambleHistoryText("scott/@orcl", 2500) + "\n1=12345x\n2=" +
                          ScrambleHistoryText("lost/@db", 2500) + "\n";
    damaged += std::string("\0\xFF=\n[Logon", 10);
    Write("damaged.ini", damaged);
    EXPECT_TRUE(h.LoadIni(Path("damaged.ini")));
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"scott@orcl"}));

    Write("dir.ini/inner", "x");
    THistoryItems other;
    EXPECT_FALSE(other.LoadIni(Path("dir.ini")));
    EXPECT_FALSE(Sample(false).SaveIni(Path("dir.ini")));
    Write("plain", "x");
    EXPECT_FALSE(Sample(false).SaveIni(Path("plain/sub.ini")));
}

TEST_F(HistoryStoreFixture, PrepareAndStoreUseTheKeyElseTheFile) {
    const std::string file = Path("history.ini");
    THistoryItems h;
    // Neither key nor file: the list keeps what it holds.
    h.Add("kept", "pw", "", "");
    h.Prepare(2, true, "", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"kept"}));
    h.Store("", "");
    EXPECT_TRUE(platform::RegValueNames(HKEY_CURRENT_USER, kKey).empty());

    // The file, when there is no key.
    h.Add("a", "pa", "db", "");
    h.Store("", file);
    THistoryItems fromFile;
    fromFile.Add("dropped", "", "", "");
    fromFile.Prepare(6, true, "", file);
    EXPECT_EQ(Displays(fromFile), (std::vector<std::string>{"a@db", "kept"}));
    EXPECT_EQ(fromFile.Item(0).Password, "pa");

    // The key wins over the file.
    Sample(false).Store(kKey, file);
    THistoryItems fromKey;
    fromKey.Prepare(2, false, kKey, file);
    EXPECT_EQ(Displays(fromKey), (std::vector<std::string>{"system", "sys@prod as SYSDBA"}));
    EXPECT_EQ(fromKey.Size(), 2);
    EXPECT_FALSE(fromKey.WithPassword());
    EXPECT_EQ(platform::IniReadSection(file, "Logon").size(), 2u);
}

} // namespace
} // namespace quorvel
