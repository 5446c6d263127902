// Evaluation: typing, conversions, operators, comparisons, functions and their failures.
#include "oracle/filter/FilterNodes.h"
#include "base/FormatSettings.h"
#include "oracle/filter/tests/TestRecords.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::Utf16;
using quorvel::test::Utf8;

namespace {

// "<type>:<value read as string>", or the message of the failure.
std::string Show(std::string_view text, TFilterOptions options = {}) {
    try {
        auto root = ParseExpression(Utf16(text), options);
        if (!root) return "(none)";
        TExprType type = root->ExprType();
        return std::string(ExprTypeName(type)) + ":" + Utf8(root->AsString());
    } catch (const Exception& e) {
        return e.Message();
    }
}

std::string Truth(std::string_view text, TFilterOptions options = {}) {
    try {
        return ParseExpression(Utf16(text), options)->AsBoolean() ? "true" : "false";
    } catch (const Exception& e) {
        return e.Message();
    }
}

struct Case {
    const char* Text;
    const char* Expected;
};

// Fixed regional settings for every test here: "dd.mm.yyyy", "hh:nn:ss", '.'.
TFormatSettings TestSettings() {
    TFormatSettings fs;
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.DateSeparator = '.';
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = '.';
    return fs;
}

class FilterEval : public ::testing::Test {
protected:
    void SetUp() override { SetFormatSettings(TestSettings()); }
    void TearDown() override { ResetFormatSettings(); }
};

} // namespace

TEST_F(FilterEval, OperatorsAndTyping) {
    const Case cases[] = {
        {"'abc' + 1", "String:abc1"},
        {"1 + 'abc'", "String:1abc"},
        {"TRUE + 1", "Integer:2"},
        {"7 / 2", "Float:3.5"},
        {"7 DIV 2", "Integer:3"},
        {"-7 DIV 2", "Integer:-3"},
        {"-7 MOD 2", "Integer:-1"},
        {"7 MOD -2", "Integer:1"},
        {"2147483647 + 1", "Integer:-2147483648"},
        {"-1 SHR 28", "Integer:15"},
        {"1 SHL 33", "Integer:2"},
        {"12 AND 10", "Integer:8"},
        {"NOT 5", "Integer:-6"},
        {"1.5 * 2", "Float:3"},
        {"1.5 + TRUE", "Float:2.5"},
        {"0.1 + 0.2", "Float:0.3"},
        {"1E20", "Float:1E20"},
        {"15E-8", "Float:1.5E-7"},
        {"123456789012345678", "Float:1.23456789012346E17"},
        {"NOT TRUE", "Boolean:FALSE"},
        {"TRUE XOR TRUE", "Boolean:FALSE"},
        {"FALSE OR TRUE", "Boolean:TRUE"},
        {"+'x'", "String:x"},
        {"'a' * 2", "Operator opMult incompatible with String"},
        {"'a' - 'b'", "Operator opMinus incompatible with String"},
        {"-'a'", "Operator opMinus incompatible with String"},
        {"-TRUE", "Operator opMinus incompatible with Boolean"},
        {"1.5 DIV 2", "Operator opDiv incompatible with Float"},
        {"TRUE * TRUE", "Operator opMult incompatible with Boolean"},
        {"1 DIV 0", "Division by zero"},
        {"1 MOD 0", "Division by zero"},
        {"1 / 0", "Division by zero"},
        {"(-2147483647 - 1) DIV -1", "Integer:-2147483648"},
    };
    for (const Case& c : cases) EXPECT_EQ(Show(c.Text), c.Expected) << c.Text;
}

TEST_F(FilterEval, ShortCircuitOnlyForBooleans) {
    // The right operand would fail if it were read.
    EXPECT_EQ(Truth("FALSE AND (1 DIV 0 = 1)"), "false");
    EXPECT_EQ(Truth("TRUE OR (1 DIV 0 = 1)"), "true");
    EXPECT_EQ(Truth("TRUE XOR (1 DIV 0 = 1)"), "Division by zero");
    EXPECT_EQ(Truth("IF(TRUE, 1 = 1, 1 DIV 0 = 1)"), "true");
}

TEST_F(FilterEval, NonBooleanRoot) {
    EXPECT_EQ(Truth("1"), "Cannot read Integer as boolean");
    EXPECT_EQ(Truth("1.5 + 1"), "Internal parser error. Code 13");
    EXPECT_EQ(Truth("'a' + 'b'"), "Internal parser error. Code 13");
    EXPECT_EQ(Truth("1 AND 1"), "Cannot read Integer as boolean");
    EXPECT_EQ(Truth("'x'"), "Cannot read String as boolean");
}

TEST_F(FilterEval, Comparisons) {
    const Case cases[] = {
        {"1 = 1.0", "true"},
        {"2 > 1.5", "true"},
        {"2 <= 1.5", "false"},
        {"-3 < 2", "true"},
        {"'b' > 'a'", "true"},
        {"'ab' < 'abc'", "true"},
        {"'B' < 'a'", "true"},
        {"'10' < 9", "true"},
        {"TRUE = 1", "true"},
        {"TRUE <> FALSE", "true"},
        {"TRUE < FALSE", "cannot apply opLT to boolean operands"},
        {"TRUE >= FALSE", "cannot apply opGTE to boolean operands"},
        {"DATE(2) > 1", "true"},
        {"DATE(1.5) = 1.5", "true"},
    };
    for (const Case& c : cases) EXPECT_EQ(Truth(c.Text), c.Expected) << c.Text;
}

TEST_F(FilterEval, WildcardPatterns) {
    const Case cases[] = {
        {"'Smith' = 'S*'", "true"},     {"'Smith' = 'S?th'", "false"}, {"'Smith' = 'S?i*'", "true"},
        {"'S*' = 'Smith'", "false"},    {"'Smith' <> 'S*'", "false"},   {"'' = '*'", "true"},
        {"'abc' = '*c'", "true"},       {"'abc' = 'a*b*c*'", "true"},   {"'abc' = '*b'", "false"},
        {"'a' = '?'", "true"},          {"'' = '?'", "false"},          {"'aXbXc' = '*X*X?'", "true"},
        {"'aaaaaaaaaaaaaaaaaaaaaaaaaaaaab' = '*a*a*a*a*a*a*a*a*c'", "false"},
        {"'Smith' < 'S*'", "false"}, // ordering never uses patterns
    };
    for (const Case& c : cases) EXPECT_EQ(Truth(c.Text), c.Expected) << c.Text;
    const TFilterOptions exact{foNoPartialCompare};
    EXPECT_EQ(Truth("'Smith' = 'S*'", exact), "false");
    EXPECT_EQ(Truth("'Smith' <> 'S*'", exact), "true");
    EXPECT_EQ(Truth("'S*' = 'S*'", exact), "true");
    EXPECT_EQ(Truth("'S?' = 'S*'", exact), "false");
}

TEST_F(FilterEval, CaseInsensitiveComparisonFoldsWhatUpperLeaves) {
    const TFilterOptions folded{foCaseInsensitive};
    EXPECT_EQ(Show("UPPER('äbc')"), "String:äBC");
    EXPECT_EQ(Show("LOWER('ÄBC')"), "String:Äbc");
    EXPECT_EQ(Truth("UPPER('ä') = 'Ä'"), "false");
    EXPECT_EQ(Truth("'ä' = 'Ä'"), "false");
    EXPECT_EQ(Truth("'ä' = 'Ä'", folded), "true");
    EXPECT_EQ(Truth("'Straße' = 'STRASSE'", folded), "false"); // one character for one
    EXPECT_EQ(Truth("'привет' = 'ПРИВЕТ'", folded), "true");
    EXPECT_EQ(Truth("'ÿ' = 'Ÿ'", folded), "true");
    EXPECT_EQ(Truth("'smith' = 'S*'", folded), "true");
    EXPECT_EQ(Truth("'abc' < 'ABD'", folded), "true");
    EXPECT_EQ(Truth("'abc' < 'ABD'"), "false");
}

TEST_F(FilterEval, Functions) {
    const Case cases[] = {
        {"TRUNC(2.7)", "Integer:2"},      {"TRUNC(-2.7)", "Integer:-2"},    {"ROUND(2.5)", "Integer:2"},
        {"ROUND(3.5)", "Integer:4"},      {"ROUND(-2.5)", "Integer:-2"},    {"ROUND(2.6)", "Integer:3"},
        {"ROUND(-2.4)", "Integer:-2"},    {"ABS(-3)", "Float:3"},
        {"ABS(-2.5)", "Float:2.5"},       {"INT(-2.5)", "Float:-2"},        {"FRAC(-2.5)", "Float:-0.5"},
        {"SQR(3)", "Float:9"},            {"SQRT(16)", "Float:4"},          {"POWER(2, 10)", "Float:1024"},
        {"POWER(-2, 3)", "Float:-8"},     {"PI", "Float:3.14159265358979"}, {"PI()", "Float:3.14159265358979"},
        {"PI(1, 2)", "Float:3.14159265358979"},
        {"EXP(0) + LN(1) + COS(0) + SIN(0) + ARCTAN(0)", "Float:2"},
        {"COPY('abcdef', 2, 3)", "String:bcd"}, {"COPY('abc', 3, 10)", "String:c"}, {"COPY('abc', 5, 1)", "String:"},
        {"COPY('abc', 0, 2)", "String:ab"},     {"COPY('abc', 2, -1)", "String:"},  {"COPY(12345, 2, TRUE)", "String:2"},
        {"POS('cd', 'abcdef')", "Integer:3"},   {"POS('x', 'abc')", "Integer:0"},   {"POS('', 'abc')", "Integer:0"},
        {"LENGTH('abc')", "Integer:3"},         {"LENGTH(123)", "Integer:3"},       {"LENGTH('')", "Integer:0"},
        {"IF(1 < 2, 'yes', 3)", "String:yes"},  {"IF(1 > 2, 'yes', 3)", "Integer:3"},
        {"STRING(12)", "String:12"},            {"FLOAT(3)", "Float:3"},
        {"BOOLEAN(1 = 1)", "Boolean:TRUE"},     {"STRING(1, 2)", "String:1"},
        {"TRUNC('a')", "Invalid parameter to TRUNC"},   {"TRUNC(DATE(1))", "Invalid parameter to TRUNC"},
        {"TRUNC", "Invalid parameter to TRUNC"},        {"POWER(2)", "Invalid parameter to POWER"},
        {"SQRT(1, 2)", "Invalid parameter to SQRT"},    {"COPY('a', 1.5, 1)", "Invalid parameter to COPY"},
        {"COPY('a', 1)", "Invalid parameter to COPY"},  {"UPPER()", "Invalid parameter to UPPER"},
        {"UPPER(DATE(1))", "Invalid parameter to UPPER"}, {"POS('a')", "Invalid parameter to POS"},
        {"IF(1, 2, 3)", "Invalid parameters to If"},    {"IF(TRUE, 1)", "Invalid parameters to If"},
        {"IF", "Invalid parameters to If"},             {"INTEGER", "Invalid parameter to INTEGER"},
        {"TRUNC(1E10)", "Integer overflow"},            {"ROUND(-1E300)", "Integer overflow"},
    };
    for (const Case& c : cases) EXPECT_EQ(Show(c.Text), c.Expected) << c.Text;
}

TEST_F(FilterEval, BaseConversions) {
    // A cast hands every reader to its argument, so a comparison picks the reader under test.
    const Case truths[] = {
        {"INTEGER(1.5) = 1", "Cannot read Float as integer"},
        {"INTEGER(SIN(0)) = 0", "Cannot read Float as integer"},
        {"INTEGER(-1.5) = 1", "Internal parser error. Code 6"},
        {"FLOAT('1') = 1", "Cannot read String as Float"},
        {"INTEGER('1') = 1", "Cannot read String as integer"},
        {"BOOLEAN(1) = TRUE", "Cannot read Integer as boolean"},
        {"BOOLEAN(DATE(1) + 0) = TRUE", "Internal parser error. Code 13"},
        {"DATE(TRUE) = 1", "Cannot read Boolean as Date"},
        {"FLOAT(TRUE) = 1", "true"},
        {"INTEGER(TRUE) = 1", "true"},
        {"INTEGER(ABS(-3)) = 3", "true"},
        {"INTEGER(DATE(2.9) + 0) = 2", "true"},
        {"DATE('25.12.2020') - DATE('24.12.2020') = 1", "true"},
        {"DATE('31.12.1899') = 1", "true"},
        {"DATE('31.12.1899 18:00') = 1.75", "true"},
        {"DATE('29.02.2023') = 1", "'29.02.2023' is not a valid date and time"},
        {"DATE('xx') = 1", "'xx' is not a valid date and time"},
        {"DATE('01.01.2020 25:00') = 1", "'01.01.2020 25:00' is not a valid date and time"},
    };
    for (const Case& c : truths) EXPECT_EQ(Truth(c.Text), c.Expected) << c.Text;
    const Case shown[] = {
        {"STRING(TRUE)", "String:TRUE"},
        {"STRING(1 = 2)", "String:FALSE"},
        {"DATE(1) + 1", "Date:01.01.1900"},
        {"DATE(1.5) + 0", "Date:31.12.1899 12:00:00"},
        {"DATE(-1.25) + 0", "Date:29.12.1899 06:00:00"},
        {"DATE('29.02.2024 13:45:30') + 0", "Date:29.02.2024 13:45:30"},
    };
    for (const Case& c : shown) EXPECT_EQ(Show(c.Text), c.Expected) << c.Text;
}

TEST_F(FilterEval, LiteralsAndConversionsFollowRegionalSettings) {
    TFormatSettings us = TestSettings();
    us.DecimalSeparator = ',';
    us.DateSeparator = '/';
    us.ShortDateFormat = "m/d/yyyy";
    us.LongTimeFormat = "h:nn:ss";
    SetFormatSettings(us);
    EXPECT_EQ(Show("1,5 + 1"), "Float:2,5");
    EXPECT_EQ(Show("1.5"), "char . in input stream");
    EXPECT_EQ(Show("DATE('12/25/2020 9:05:00') + 0"), "Date:12/25/2020 9:05:00");
    EXPECT_EQ(Show("DATE('12/25/20') + 0"), "Date:12/25/2020");
    EXPECT_EQ(Show("DATE('25/12/2020') + 0"), "'25/12/2020' is not a valid date and time");
    EXPECT_EQ(Show("DATE('12:00') = 0,5"), "Boolean:TRUE");
    EXPECT_EQ(Show("DATE('1/2/2021 3:04:05 PM') + 0"), "Date:1/2/2021 15:04:05");
}
