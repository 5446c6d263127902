// The history in memory: scrambling, the rules of Add, the menu and choosing an entry.
#include <gtest/gtest.h>

#include <set>

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/logon/LogonHistory.h"

namespace quorvel {
namespace {

std::vector<std::string> Displays(const THistoryItems& h) {
    std::vector<std::string> r;
    for (int i = 0; i < h.Count(); ++i) r.push_back(h.Item(i).DisplayString());
    return r;
}

class Utf8CodePage : public ::testing::Test {
protected:
    void SetUp() override {
        FOld = AnsiCodePage();
        SetAnsiCodePage(cpUTF8);
    }
    void TearDown() override { SetAnsiCodePage(FOld); }
    unsigned FOld = 0;
};

// ---- scrambling -------------------------------------------------------------------------------

TEST(HistoryScrambling, KnownFormsOfOtherInstallations) {
    struct Case { const char* text; int key; const char* form; };
    const Case cases[] = {
        {"scott/tiger@orcl", 2345, "23454587485350234601461139654631507350835061476744894931473349834849"},
        {"sys/@db as SYSDBA", 2999, "299943134163430133515073450745494591356138594621333534733419306131673161"},
        {"", 2500, "2500"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScrambleHistoryText(c.text, c.key), c.form) << c.text;
        EXPECT_EQ(UnscrambleHistoryText(c.form), c.text) << c.form;
    }
}

TEST(HistoryScrambling, RandomKeysStayInRangeAndReadBack) {
    std::set<std::string> keys;
    for (int i = 0; i < 300; ++i) {
        const std::string form = ScrambleHistoryText("scott/tiger@orcl");
        const int key = std::stoi(form.substr(0, 4));
        EXPECT_GE(key, 2000);
        EXPECT_LE(key, 2999);
        EXPECT_EQ(form.size(), 4u + 4 * 16);
        EXPECT_EQ(UnscrambleHistoryText(form), "scott/tiger@orcl");
        keys.insert(form.substr(0, 4));
    }
    EXPECT_GT(keys.size(), 50u);
}

TEST_F(Utf8CodePage, EveryCharacterAndLengthReadsBack) {
    // Latin-1 letters give the usual four-digit groups; Cyrillic and other letters, and texts
    // longer than 519 characters, read back as well, still in four-digit groups.
    EXPECT_EQ(ScrambleHistoryText("\xC3\xA9", 2000), "20003378");
    const std::string latin = "ren\xC3\xA9/p\xC3\xA4ss@db";
    EXPECT_EQ(ScrambleHistoryText(latin, 2000).size(), 4u + 4 * 12);
    const std::string cyrillic = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD/\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C@db";
    EXPECT_EQ(ScrambleHistoryText(cyrillic, 2000).size(), 4u + 4 * (4 + 10 * 3));
    const std::string longText = "u/p@" + std::string(1500, 'x');
    EXPECT_EQ(ScrambleHistoryText(longText, 2999).size(), 4u + 4 * 1504);
    const std::string mixed = "\xE2\x82\xAC/\xF0\x9F\x98\x80@" + std::string(600, 'y') + "\xD0\xAF";
    for (const std::string& text : {latin, cyrillic, longText, mixed}) {
        for (int key : {2000, 2471, 2999}) {
            const std::string form = ScrambleHistoryText(text, key);
            EXPECT_EQ(form.find_first_not_of("0123456789"), std::string::npos);
            EXPECT_EQ(UnscrambleHistoryText(form), text) << text << " " << key;
        }
    }
}

TEST(HistoryScrambling, DamagedFormsReadUpToTheBadGroup) {
    const std::string good = ScrambleHistoryText("scott/tiger@orcl", 2345);
    struct Case { std::string form; std::string text; };
    const Case cases[] = {
        {"", ""},
        {"23", ""},
        {"abcd4587", ""},
        {"2345", ""},
        {good.substr(0, 4 + 4 * 5) + "12x4" + good.substr(4 + 4 * 6), "scott"},
        {good.substr(0, 4 + 4 * 5) + "-123", "scott"},
        {good.substr(0, good.size() - 2), "scott/tiger@orc"},
        {good.substr(0, 4 + 4 * 3) + "0999", "sco"},
        {good + "\n", "scott/tiger@orcl"},
    };
    for (const Case& c : cases) EXPECT_EQ(UnscrambleHistoryText(c.form), c.text) << c.form;
    // Arbitrary digits never crash and give a bounded text.
    std::string noise = "2222";
    for (int i = 0; i < 5000; ++i) noise += static_cast<char>('0' + (i * 7919) % 10);
    EXPECT_LE(UnscrambleHistoryText(noise).size(), 4 * 5000u);
}

// ---- Add ----------------------------------------------------------------------------------------

TEST(HistoryAdd, SizeDropsTheOldestAndPutsTheNewFirst) {
    THistoryItems h;
    h.SetSize(6);
    for (int i = 1; i <= 6; ++i) h.Add("user" + std::to_string(i), "", "db", "");
    ASSERT_EQ(Displays(h), (std::vector<std::string>{"user6@db", "user5@db", "user4@db", "user3@db", "user2@db",
                                                     "user1@db"}));
    h.Add("newcomer", "", "db", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"newcomer@db", "user6@db", "user5@db", "user4@db", "user3@db",
                                                     "user2@db"}));
    // A smaller size trims the list at the next log-on; 0 keeps everything.
    h.SetSize(3);
    h.Add("user4", "", "DB", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"user4@DB", "newcomer@db", "user6@db"}));
    h.SetSize(0);
    for (int i = 0; i < 40; ++i) h.Add("many" + std::to_string(i), "", "", "");
    EXPECT_EQ(h.Count(), 43);
}

TEST(HistoryAdd, SameLogonMovesToTheTopOtherModeOrDatabaseIsSeparate) {
    THistoryItems h;
    h.SetSize(6);
    h.Add("scott", "", "orcl", "");
    h.Add("system", "", "orcl", "");
    h.Add("scott", "", "orcl", "SYSDBA");
    h.Add("scott", "", "test", "");
    h.Add("scott", "", "", "");
    ASSERT_EQ(h.Count(), 5);
    h.Add("SCOTT", "", "ORCL", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"SCOTT@ORCL", "scott", "scott@test", "scott@orcl as SYSDBA",
                                                     "system@orcl"}));
    h.Add("Scott", "", "Orcl", "sysdba");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"Scott@Orcl as SYSDBA", "SCOTT@ORCL", "scott", "scott@test",
                                                     "system@orcl"}));
    // Without sorting an entry goes to the end, still replacing its old place.
    h.Add("scott", "", "", "", false, false);
    EXPECT_EQ(h.Item(4).DisplayString(), "scott");
    EXPECT_EQ(h.Count(), 5);
}

TEST(HistoryAdd, PartsAreSplitOutOfTheUserName) {
    struct Case {
        std::string user, password, database, mode;
        std::string wantUser, wantPassword, wantDatabase, wantMode;
    };
    const Case cases[] = {
        {"scott/tiger@orcl", "", "", "", "scott", "tiger", "orcl", ""},
        {"sys/pw@prod as sysdba", "", "", "", "sys", "pw", "prod", "SYSDBA"},
        {"scott/@orcl", "", "", "", "scott", "", "orcl", ""},
        {"scott/tiger", "", "orcl", "", "scott", "tiger", "orcl", ""},
        {"scott", "tiger", "orcl", "sysoper", "scott", "tiger", "orcl", "SYSOPER"},
        // A password or database holding "/" or "@" keeps its text.
        {"scott", "p@ss/word", "orcl", "", "scott", "p@ss/word", "orcl", ""},
        {"scott", "", "//host:1521/svc", "", "scott", "", "//host:1521/svc", ""},
        {"\"odd/name\"/pw@db", "", "", "", "\"odd/name\"", "pw", "db", ""},
    };
    for (const Case& c : cases) {
        THistoryItems h;
        h.SetWithPassword(true);
        h.Add(c.user, c.password, c.database, c.mode);
        ASSERT_EQ(h.Count(), 1) << c.user;
        const THistoryItem& item = h.Item(0);
        EXPECT_EQ(item.Username, c.wantUser) << c.user;
        EXPECT_EQ(item.Password, c.wantPassword) << c.user;
        EXPECT_EQ(item.Database, c.wantDatabase) << c.user;
        EXPECT_EQ(item.ConnectAs, c.wantMode) << c.user;
        EXPECT_FALSE(item.Fixed);
    }
    THistoryItems h;
    h.Add("", "pw", "db", "");
    EXPECT_EQ(h.Count(), 0);
}

TEST(HistoryAdd, PasswordsAreKeptOnlyWhenAllowed) {
    THistoryItems h;
    h.Add("scott/tiger@orcl", "", "", "");
    h.Add("system", "manager", "orcl", "");
    EXPECT_EQ(h.Item(0).Password, "");
    EXPECT_EQ(h.Item(1).Password, "");
    EXPECT_EQ(h.ValueText(0), "system/@orcl");
    EXPECT_EQ(h.ValueText(1), "scott/@orcl");

    h.SetWithPassword(true);
    h.Add("system", "manager", "orcl", "SYSDBA");
    EXPECT_EQ(h.ValueText(0), "system/manager@orcl as SYSDBA");
    h.SetWithPassword(false);
    EXPECT_EQ(h.Item(0).Password, "");
    EXPECT_EQ(h.ValueText(0), "system/@orcl as SYSDBA");
}

TEST(HistoryAdd, FixedEntriesStayPutAndDoNotCount) {
    THistoryItems h;
    h.SetSize(2);
    h.Add("demo", "demo", "orcl", "", true);
    EXPECT_EQ(h.Item(0).Password, "demo"); // a fixed entry always offers its password
    h.Add("a", "", "", "");
    h.Add("b", "", "", "");
    h.Add("c", "", "", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"c", "b", "demo@orcl"}));
    EXPECT_EQ(h.NonFixedCount(), 2);
    // A log-on matching a fixed entry adds nothing and leaves the fixed entry where it is.
    h.Add("DEMO", "x", "ORCL", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"c", "b", "demo@orcl"}));
    // Another fixed entry takes no place from the others.
    h.Add("guest", "", "", "", true);
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"c", "b", "demo@orcl", "guest"}));
    h.Add("d", "", "", "");
    EXPECT_EQ(Displays(h), (std::vector<std::string>{"d", "c", "demo@orcl", "guest"}));
}

TEST(HistoryAdd, ItemOutOfRangeRaises) {
    THistoryItems h;
    h.Add("scott", "", "", "");
    EXPECT_NO_THROW(h.Item(0));
    for (int index : {-1, 1, 100}) {
        try {
            h.Item(index);
            ADD_FAILURE() << index;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
    EXPECT_THROW(h.Delete(1), Exception);
}

TEST(HistoryAdd, OneListPerProcess) {
    EXPECT_EQ(&LogonHistory(), &LogonHistory());
}

// ---- the menu ---------------------------------------------------------------------------------

TEST(HistoryMenu, MenuEntriesMakeSubmenusAndDashesSeparators) {
    // Fixed entries, since a layout repeats "-" and ">", which ordinary entries would merge.
    THistoryItems h;
    for (const char* user : {"-", "scott", ">Production", "prod1", "-", "prod2", ">", "-", "local", ">Empty"})
        h.Add(user, "", "", "", true);
    h.Add("sys", "", "", "SYSDBA", true);
    const std::vector<platform::PopupMenuItem> menu = HistoryMenuItems(h);

    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0].Caption, "scott");
    EXPECT_EQ(menu[0].Tag, 1);
    EXPECT_EQ(menu[1].Caption, "Production");
    ASSERT_EQ(menu[1].Children.size(), 3u);
    EXPECT_EQ(menu[1].Children[0].Caption, "prod1");
    EXPECT_EQ(menu[1].Children[0].Tag, 3);
    EXPECT_TRUE(menu[1].Children[1].Separator);
    EXPECT_EQ(menu[1].Children[2].Tag, 5);
    EXPECT_TRUE(menu[2].Separator);
    EXPECT_EQ(menu[3].Caption, "local");
    EXPECT_EQ(menu[3].Tag, 8);
    EXPECT_EQ(menu[4].Caption, "Empty");
    ASSERT_EQ(menu[4].Children.size(), 1u);
    EXPECT_EQ(menu[4].Children[0].Caption, "sys as SYSDBA");
    EXPECT_EQ(menu[4].Children[0].Tag, 10);

    EXPECT_TRUE(HistoryMenuItems(THistoryItems()).empty());
    // Ordinary entries: a repeated separator replaces the earlier one.
    THistoryItems plain;
    for (const char* user : {"a", "-", "b", "-"}) plain.Add(user, "", "", "", false, false);
    EXPECT_EQ(Displays(plain), (std::vector<std::string>{"a", "b", "-"}));
}

TEST(HistoryMenu, ChoosingAnEntryFillsTheFields) {
    struct Case {
        bool withPassword, fixed, controlDown, connectAsVisible;
        std::string mode;
        std::string wantPassword;
        int wantConnectAs;
        bool wantClose;
    };
    const Case cases[] = {
        {false, false, false, true, "SYSDBA", "", 1, false},
        {true, false, false, true, "sysoper", "tiger", 2, true},
        {true, false, true, true, "", "tiger", 0, false},
        {false, true, false, true, "", "tiger", 0, true},
        {true, false, false, false, "SYSDBA", "tiger", 7, true},
    };
    for (const Case& c : cases) {
        THistoryItems h;
        h.SetWithPassword(true);
        h.Add("scott", "tiger", "orcl", c.mode, c.fixed);
        h.SetWithPassword(c.withPassword);
        platform::LogonDialogState state;
        state.Password.Text = "old";
        state.ConnectAsVisible = c.connectAsVisible;
        state.ConnectAsIndex = 7;
        EXPECT_EQ(ApplyHistoryEntry(h, 0, state, c.controlDown), c.wantClose);
        EXPECT_EQ(state.Username.Text, "scott");
        EXPECT_EQ(state.Password.Text, c.wantPassword);
        EXPECT_EQ(state.Database.Text, "orcl");
        EXPECT_EQ(state.ConnectAsIndex, c.wantConnectAs);
    }
    // A stale index changes nothing.
    THistoryItems h;
    platform::LogonDialogState state;
    state.Username.Text = "kept";
    EXPECT_FALSE(ApplyHistoryEntry(h, 0, state, false));
    EXPECT_FALSE(ApplyHistoryEntry(h, -1, state));
    EXPECT_EQ(state.Username.Text, "kept");
}

} // namespace
} // namespace quorvel
