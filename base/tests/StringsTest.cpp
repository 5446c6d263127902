#include "base/Strings.h"

#include "base/CodePage.h"
#include "base/Stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace quorvel;

namespace {

std::vector<std::string> Lines(std::string_view text) {
    TStringList l;
    l.SetText(text);
    return l.ToVector();
}

} // namespace

TEST(Strings, TextSplitsAtCrLfAndCrLf) {
    using V = std::vector<std::string>;
    struct Case { const char* text; V lines; } cases[] = {
        {"", V{}},
        {"a", V{"a"}},
        {"a\r\nb", V{"a", "b"}},
        {"a\nb\rc", V{"a", "b", "c"}},
        {"a\r\n", V{"a"}},
        {"a\r\n\r\n", V{"a", ""}},
        {"\n", V{""}},
        {"a\n\rb", V{"a", "", "b"}},
        {"\r\n\r\nx", V{"", "", "x"}},
        {"a\r", V{"a"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(c.text), c.lines) << c.text;
    // Text ends every line with CR LF.
    TStringList l;
    EXPECT_EQ(l.Text(), "");
    l.Add("select 1");
    l.Add("");
    l.Add("from dual");
    EXPECT_EQ(l.Text(), "select 1\r\n\r\nfrom dual\r\n");
    TStringList back;
    back.SetText(l.Text());
    EXPECT_TRUE(back.Equals(l));
    EXPECT_EQ(l.Join(","), "select 1,,from dual");
    // Embedded zero bytes are kept.
    EXPECT_EQ(Lines(std::string_view("a\0b", 3)), (V{std::string("a\0b", 3)}));
}

TEST(Strings, EditingAndObjects) {
    TStringList l;
    int one = 1, two = 2;
    EXPECT_EQ(l.Add("b"), 0);
    EXPECT_EQ(l.AddObject("c", &two), 1);
    l.InsertObject(0, "a", &one);
    EXPECT_EQ(l.ToVector(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(l.Objects(0), &one);
    EXPECT_EQ(l.Objects(1), nullptr);
    EXPECT_EQ(l.IndexOf("B"), 1) << "case-insensitive";
    EXPECT_EQ(l.IndexOf("x"), -1);
    EXPECT_EQ(l.IndexOfObject(&two), 2);
    l.Exchange(0, 2);
    EXPECT_EQ(l[0], "c");
    EXPECT_EQ(l.Objects(0), &two);
    l.Move(0, 2);
    EXPECT_EQ(l.ToVector(), (std::vector<std::string>{"b", "a", "c"}));
    l.Delete(1);
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Objects(1), &two);
    l.SetStrings(0, "z");
    EXPECT_EQ(l[0], "z");
    for (int bad : {-1, 2}) {
        EXPECT_THROW(l.Strings(bad), EStringListError);
        EXPECT_THROW(l.Delete(bad), EStringListError);
    }
    EXPECT_THROW(l.Insert(3, "x"), EStringListError);
    try {
        l.Strings(5);
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    }
    TStringList copy;
    copy.Assign(l);
    EXPECT_TRUE(copy.Equals(l));
    EXPECT_EQ(copy.Objects(1), &two);
    copy.AddStrings(copy);
    EXPECT_EQ(copy.Count(), 4);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
}

TEST(Strings, NamesAndValues) {
    TStringList l;
    l.SetText("USER=scott\npassword=tiger\nnovalue\nempty=");
    EXPECT_EQ(l.Values("user"), "scott");
    EXPECT_EQ(l.Values("PASSWORD"), "tiger");
    EXPECT_EQ(l.Values("novalue"), "");
    EXPECT_EQ(l.Names(0), "USER");
    EXPECT_EQ(l.IndexOfName("empty"), 3);
    l.SetValues("user", "system");
    EXPECT_EQ(l[0], "user=system");
    l.SetValues("db", "orcl");
    EXPECT_EQ(l[4], "db=orcl");
    l.SetValues("password", "");
    EXPECT_EQ(l.IndexOfName("password"), -1);
}

TEST(Strings, SortedListsAndDuplicates) {
    TStringList l;
    l.SetText("pear\nApple\nbanana\napple");
    l.SetSorted(true);
    EXPECT_EQ(l.ToVector(), (std::vector<std::string>{"Apple", "apple", "banana", "pear"})) << "sorting keeps duplicates, stable";
    l.Clear();
    EXPECT_EQ(l.Add("b"), 0);
    EXPECT_EQ(l.Add("a"), 0);
    EXPECT_EQ(l.Add("c"), 2);
    EXPECT_EQ(l.Add("B"), 1) << "dupIgnore returns the existing line";
    EXPECT_EQ(l.Count(), 3);
    l.SetDuplicates(dupError);
    try {
        l.Add("A");
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "String list does not allow duplicates");
    }
    l.SetDuplicates(dupAccept);
    EXPECT_EQ(l.Add("A"), 1);
    EXPECT_EQ(l.ToVector(), (std::vector<std::string>{"a", "A", "b", "c"}));
    int index;
    EXPECT_TRUE(l.Find("B", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(l.Find("bb", index));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(l.IndexOf("C"), 3);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    EXPECT_THROW(l.SetStrings(0, "x"), EStringListError);
    // Case-sensitive lists keep both spellings.
    TStringList cs;
    cs.SetCaseSensitive(true);
    cs.SetSorted(true);
    cs.Add("a");
    cs.Add("A");
    EXPECT_EQ(cs.Count(), 2);
    EXPECT_EQ(cs.IndexOf("a"), 1);
    EXPECT_EQ(cs.IndexOf("B"), -1);
}

TEST(Strings, SortedListIgnoresCaseOfNonAsciiLetters) {
    unsigned saved = AnsiCodePage();
    SetAnsiCodePage(cpWindows1251);
    TStringList l;
    l.SetSorted(true);
    l.Add("\xFF"); // я
    EXPECT_EQ(l.Add("\xDF"), 0) << "Я is a duplicate of я"; // Я
    EXPECT_EQ(l.Count(), 1);
    l.Add("\xE0"); // а
    EXPECT_EQ(l[0], "\xE0");
    SetAnsiCodePage(saved);
}

TEST(Strings, OnChangeFiresOnceInsideAnUpdate) {
    TStringList l;
    int changes = 0;
    l.OnChange = [&](TStrings&) { ++changes; };
    l.Add("a");
    EXPECT_EQ(changes, 1);
    l.BeginUpdate();
    l.Add("b");
    l.Add("c");
    l.Delete(0);
    EXPECT_EQ(changes, 1);
    l.EndUpdate();
    EXPECT_EQ(changes, 2);
    l.SetText("x\ny\nz");
    EXPECT_EQ(changes, 3);
}

TEST(Strings, FilesWithAndWithoutByteOrderMark) {
    auto dir = std::filesystem::temp_directory_path() / ("quorvel_strings_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "lines.sql").string();
    unsigned saved = AnsiCodePage();
    SetAnsiCodePage(cpWindows1251);
    TStringList l;
    l.SetText("select '\xDF' from dual;\nexit");
    l.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), "select '\xDF' from dual;\r\nexit\r\n");
    TStringList back;
    back.LoadFromFile(path);
    EXPECT_TRUE(back.Equals(l));
    // A UTF-8 file with a mark comes in as ANSI text; so does UTF-16.
    WriteFileBytes(path, "\xEF\xBB\xBF\xD0\xAF\r\nb");
    back.LoadFromFile(path);
    EXPECT_EQ(back.ToVector(), (std::vector<std::string>{"\xDF", "b"}));
    WriteFileBytes(path, std::string("\xFF\xFE\x2F\x04\n\0", 6));
    back.LoadFromFile(path);
    EXPECT_EQ(back.ToVector(), (std::vector<std::string>{"\xDF"}));
    SetAnsiCodePage(saved);
    EXPECT_THROW(back.LoadFromFile((dir / "missing.sql").string()), EFOpenError);
    std::filesystem::remove_all(dir);
}
