#include "oracle/query/SqlText.h"

#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <map>

using namespace quorvel;

namespace {

using Occ = std::vector<TSqlVariableOccurrence>;

struct FindCase {
    const char* text;
    bool duplicates;
    Occ expected;
};

TEST(FindVariables, PlaceholdersOutsideLiteralsAndComments) {
    const FindCase cases[] = {
        {"select * from emp where empno = :empno and ename = :Empno", false, {{"EMPNO", 33}}},
        {"select * from emp where empno = :empno and ename = :Empno", true, {{"EMPNO", 33}, {"EMPNO", 52}}},
        {"begin :x := 1; end;", false, {{"X", 7}}},
        {"x := 1", false, {}},
        {"select ':a' from dual -- :b", false, {}},
        {"/* :c */ select :d from dual", false, {{"D", 17}}},
        // The quote that ends a name opens no string.
        {":a'b:c'", false, {{"A", 1}, {"C", 5}}},
        {"a :: b : c", false, {}},
        {":new.col", false, {{"NEW", 1}}},
        {"x=:v$1#_", false, {{"V$1#_", 3}}},
        // A name at the very end is closed by the appended line break.
        {"where a = :last", false, {{"LAST", 11}}},
        // Double-quoted identifiers are not special.
        {"select \"a:b\" from t", false, {{"B", 10}}},
        // A line comment ends at the line break; the next line is scanned again.
        {"-- :a\r\n:b\n-- :c\n:d", false, {{"B", 8}, {"D", 17}}},
        {"/*/ :a */ :b", false, {{"B", 11}}},
        {"'it''s :a' :b", false, {{"B", 12}}},
        {"'unclosed :a", false, {}},
        {"/* unclosed :a", false, {}},
        // Bytes of a multi-byte character continue a name, which is upper-cased by its letters.
        {"where x = :\xD0\xB8\xD0\xBC\xD1\x8F)", false, {{"\xD0\x98\xD0\x9C\xD0\xAF", 11}}},
        {"a = :x and b = :y and c = :X", false, {{"X", 5}, {"Y", 16}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindVariables(c.text, c.duplicates), c.expected) << c.text;
}

TEST(RemoveComments, BothFormsWithAndWithoutHints) {
    struct Case {
        const char* text;
        bool hints;
        const char* expected;
    } const cases[] = {
        {"select /*+ index(e) */ 1 -- x", true, "select /*+ index(e) */ 1"},
        {"select /*+ index(e) */ 1 -- x", false, "select  1"},
        {"select --+ first_rows\r\n1 from dual", true, "select --+ first_rows\r\n1 from dual"},
        {"select -- c\r\n1 from dual", false, "select 1 from dual"},
        {"select -- c\n1", false, "select 1"},
        {"select '/* kept */ -- kept' from dual", false, "select '/* kept */ -- kept' from dual"},
        {"  /* only */  \r\n -- comment\r\n", false, ""},
        {"a /* it's */ b", false, "a  b"},
        {"a /*/ still comment */ b", false, "a  b"},
        {"a 'open /* ", false, "a 'open /*"},
        {"a /* open 'x", false, "a"},
        {"/", false, "/"},
        {"/ -- run", false, "/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveComments(c.text, c.hints), c.expected) << c.text;
}

TEST(BlankLiteralsAndComments, KeepsLengthLinesAndPlainText) {
    struct Case {
        const char* text;
        const char* expected;
    } const cases[] = {
        {"a 'b;c' /* d; */ e", "a                e"},
        {"x -- c;\r\ny;", "x      \r\ny;"},
        {"'a''b' c", "       c"},
        {"/* one\r\ntwo */ z", "      \r\n       z"},
        {"s 'open\r\nrest", "s      \r\n    "},
        {"p /*/ q */ r", "p          r"},
        {"--\n/", "  \n/"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string out = BlankLiteralsAndComments(c.text);
        EXPECT_EQ(out, c.expected) << c.text;
        EXPECT_EQ(out.size(), std::string(c.text).size());
        // Fed one character at a time, the incremental blanker agrees at every length: an
        // opener split across two appends is still recognised.
        TSqlTextBlanker blanker;
        const std::string text = c.text;
        for (std::size_t i = 0; i < text.size(); ++i) {
            blanker.Append(text.substr(i, 1));
            EXPECT_EQ(blanker.Text(), BlankLiteralsAndComments(text.substr(0, i + 1))) << text << " @" << i;
        }
        blanker.Clear();
        blanker.Append(text);
        EXPECT_EQ(blanker.Text(), out);
    }
}

TEST(SubstituteVariables, ReplacesOnlySubstitutionVariables) {
    const std::map<std::string, std::optional<std::string>> vars = {{"TAB", "emp"}, {"EMPTY", ""}, {"EXPR", ":x + 1"}};
    auto lookup = [&](const std::string& name) -> std::optional<std::string> {
        auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : it->second;
    };
    EXPECT_EQ(SubstituteVariables("select * from :tab where x = :x", lookup), "select * from emp where x = :x");
    EXPECT_EQ(SubstituteVariables("select * from :empty where x = :x", lookup), "select * from  where x = :x");
    // Every occurrence, any case; the value is plain text and is not scanned again.
    EXPECT_EQ(SubstituteVariables(":Tab,:TAB,:tab", lookup), "emp,emp,emp");
    EXPECT_EQ(SubstituteVariables("y = :expr", lookup), "y = :x + 1");
    EXPECT_EQ(SubstituteVariables("select ':tab' -- :tab\r\n from :tab", lookup), "select ':tab' -- :tab\r\n from emp");
    EXPECT_EQ(SubstituteVariables("no placeholders", lookup), "no placeholders");
}

TEST(SqlTextToParseBytes, LineEndsAndEmptyText) {
    EXPECT_EQ(SqlTextToParseBytes("select 1\r\nfrom dual\r\n", false), "select 1\nfrom dual\n");
    EXPECT_EQ(SqlTextToParseBytes("", false), " ");
    EXPECT_EQ(SqlTextToParseBytes("\r\r", true), " ");
    EXPECT_EQ(SqlTextToParseBytes("a\rb", true), "ab");
}

// Text in a Windows code page, as on a Russian workstation.
class CodePage1251 : public ::testing::Test {
protected:
    void SetUp() override {
        saved = AnsiCodePage();
        SetAnsiCodePage(cpWindows1251);
    }
    void TearDown() override { SetAnsiCodePage(saved); }
    unsigned saved = 0;
};

TEST_F(CodePage1251, NamesAreUpperCasedByTheirLettersAndBytesConvertedForUtf8) {
    // "where x = :имя" in code page 1251.
    EXPECT_EQ(FindVariables("where x = :\xE8\xEC\xFF", false), (Occ{{"\xC8\xCC\xDF", 11}}));
    EXPECT_EQ(SqlTextToParseBytes("select '\xC8' from dual\r\n", true), "select '\xD0\x98' from dual\n");
    EXPECT_EQ(SqlTextToParseBytes("select '\xC8' from dual\r\n", false), "select '\xC8' from dual\n");
}

TEST(FunctionTypeFromStatementType, ClientStatementTypes) {
    const std::pair<int, int> cases[] = {{1, 4}, {2, 5}, {3, 9}, {4, 3}, {5, -1}, {6, -1}, {7, -1},
                                         {8, 34}, {9, 34}, {0, -1}, {10, -1}};
    for (auto [type, function] : cases) EXPECT_EQ(FunctionTypeFromStatementType(type), function) << type;
}

} // namespace
