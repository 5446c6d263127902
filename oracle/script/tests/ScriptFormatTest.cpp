// The text rules of a script run: substitution variables, command word patterns and the
// columns of fetched-row output.
#include <gtest/gtest.h>

#include <map>

#include "base/CodePage.h"
#include "oracle/script/ScriptFormat.h"

using namespace quorvel;
using namespace quorvel::script;

namespace {

std::string Substitute(std::string_view text) {
    static const std::map<std::string, std::string> values = {{"TAB", "emp"}, {"tab", "emp"}, {"X", "1"}, {"x", "1"}};
    return SubstituteReferences(text, [](const std::string& name) {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    });
}

TEST(ScriptFormatTest, SubstitutionVariables) {
    const struct {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"select * from &tab.x", "select * from empx"},
        {"select * from &tab", "select * from emp"},
        {"select * from &tab.", "select * from emp."},      // a final "." stays
        {"select * from &tab..x", "select * from emp.x"},   // only one "." ends the name
        {"select '\\&tab' from dual", "select '&tab' from dual"},
        {"select '&tab' from dual", "select 'emp' from dual"}, // quotes are not special
        {"a &&tab b", "a emp b"},
        {"&tab,&x", "emp,1"},
        {"&tab&x", ""},                                     // one reference named TABX
        {"x & y", "x & y"},                                 // an "&" without a name stays
        {"a&", "a&"},
        {"&undefined_name!", "!"},
        {"/* &tab */ &x", "/* &tab */ 1"},
        {"-- &tab\r\n&x", "-- &tab\r\n1"},
        {"-- &tab", "-- &tab"},
        {"&x/* &tab */", "1/* emp */"},  // the character ending a reference starts nothing
        {"", ""},
        {"&", "&"},
        {"\\\\&x", "\\&x"},
    };
    for (const auto& c : cases) EXPECT_EQ(Substitute(c.Text), c.Expected) << c.Text;
}

TEST(ScriptFormatTest, CommandPatterns) {
    const struct {
        const char* Word;
        const char* Pattern;
        bool Matches;
    } cases[] = {
        {"REM", "REM*ARK", true},     {"REMA", "REM*ARK", true},      {"REMARK", "REM*ARK", true},
        {"RE", "REM*ARK", false},     {"REMARKS", "REM*ARK", false},  {"REMX", "REM*ARK", false},
        {"QUIT", "QUIT", true},       {"QUI", "QUIT", false},         {"QUITS", "QUIT", false},
        {"DISC", "DISC*ONNECT", true}, {"DISCONNECT", "DISC*ONNECT", true}, {"DIS", "DISC*ONNECT", false},
        {"", "REM*ARK", false},       {"", "QUIT", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesCommandPattern(c.Word, c.Pattern), c.Matches) << c.Word << " " << c.Pattern;
}

TEST(ScriptFormatTest, ColumnWidths) {
    const struct {
        int Type, Size, Precision, Scale;
        const char* Name;
        int ColWidth, Expected;
    } cases[] = {
        {4, 22, 0, 0, "N", 40, 10},        // NUMBER without precision
        {4, 22, 0, -127, "N", 40, 10},     // no declared precision, whatever the scale
        {3, 22, 6, 0, "ID", 40, 7},
        {4, 22, 12, 2, "PRICE", 40, 14},
        {4, 22, 1, 0, "NAME_LONGER", 40, 11}, // raised to the name
        {5, 60, 0, 0, "NAME", 40, 40},     // lowered to ColWidth
        {5, 60, 0, 0, "NAME", 0, 60},      // no limit
        {5, 8, 0, 0, "CODE", 10, 8},
        {8, 0, 0, 0, "TEXT", 25, 25},      // LONG and CLOB: ColWidth
        {112, 0, 0, 0, "DESCRIPTION", 0, 11},
        {12, 7, 0, 0, "D", 40, 11},
        {113, 0, 0, 0, "B", 40, 11},
        {116, 0, 0, 0, "CUR", 40, 3},      // any other type: the name
        {5, 60, 0, 0, "A_VERY_LONG_COLUMN_NAME", 10, 10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ColumnDisplayWidth(c.Type, c.Size, c.Precision, c.Scale, c.Name, c.ColWidth), c.Expected) << c.Name;
}

TEST(ScriptFormatTest, PlacingTextInColumns) {
    EXPECT_EQ(PlaceInColumn("abc", 5, false), "abc  ");
    EXPECT_EQ(PlaceInColumn("abc", 5, true), "  abc");
    EXPECT_EQ(PlaceInColumn("abcdef", 3, false), "abc");
    EXPECT_EQ(PlaceInColumn("abcdef", 3, true), "abc");
    EXPECT_EQ(PlaceInColumn("abc", 0, false), "");
    EXPECT_EQ(FirstCharacters("abcdef", 4), "abcd");
    EXPECT_EQ(FirstCharacters("ab", 4), "ab");

    // In a UTF-8 process a character is a code point: never cut inside one.
    const unsigned saved = AnsiCodePage();
    SetAnsiCodePage(65001);
    EXPECT_EQ(PlaceInColumn("\xD1\x81\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4", 3, false), "\xD1\x81\xD0\xBA\xD0\xBB");
    EXPECT_EQ(PlaceInColumn("\xD1\x81\xD0\xBA", 4, true), "  \xD1\x81\xD0\xBA");
    SetAnsiCodePage(1251);
    EXPECT_EQ(PlaceInColumn("\xF1\xEA\xEB\xE0\xE4", 3, false), "\xF1\xEA\xEB");
    SetAnsiCodePage(saved);
}

TEST(ScriptFormatTest, FixedPointNumbers) {
    const struct {
        double Value;
        int Precision, Scale;
        char Separator;
        const char* Expected;
    } cases[] = {
        {19.99, 12, 2, '.', "19.99"},
        {19.5, 12, 2, ',', "19,50"},
        {0, 12, 2, '.', "0.00"},
        {-3.456, 12, 2, '.', "-3.46"},
        {-0.001, 12, 2, '.', "0.00"},
        {1234.5, 5, 2, '.', "1234.50"},    // five significant digits, then zeros
        {123456, 5, 2, '.', "1.2346E+05"}, // more integer digits than the precision
        {0.125, 38, 3, '.', "0.125"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedPointText(c.Value, c.Precision, c.Scale, c.Separator), c.Expected) << c.Value;
}

} // namespace
