// Parsing: tokens, grammar, resolver hand-over, failure messages and freeing on failure.
#include "oracle/filter/FilterNodes.h"
#include "oracle/filter/tests/TestRecords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quorvel;
using quorvel::test::Utf16;
using quorvel::test::Utf8;

namespace {

// Resolves every name to a String literal holding the name, and counts the live nodes it made.
std::atomic<int> gLiveNodes{0};
class TCountedName : public TExpression {
public:
    explicit TCountedName(std::u16string name) : FName(std::move(name)) { ++gLiveNodes; }
    ~TCountedName() override { --gLiveNodes; }
    std::u16string_view ReadString(std::u16string&) const override { return FName; }
    TExprType ExprType() const override { return ttString; }

private:
    std::u16string FName;
};

std::unique_ptr<TExpression> NameResolver(void*, const std::u16string& name, std::unique_ptr<TParameterList>) {
    return std::make_unique<TCountedName>(name);
}

std::string ParseError(std::string_view text, const TIdentifierResolver& resolver = NameResolver) {
    try {
        ParseExpression(Utf16(text), {}, resolver);
    } catch (const EExpression& e) {
        return e.Message();
    }
    return "(parsed)";
}

} // namespace

TEST(FilterParse, EmptyOrBlankTextHoldsNoExpression) {
    EXPECT_EQ(ParseExpression(u"", {}), nullptr);
    EXPECT_EQ(ParseExpression(u" \t\r\n\x01 ", {}), nullptr);
}

TEST(FilterParse, FailureMessages) {
    struct Case { const char* Text; const char* Message; };
    const Case cases[] = {
        {"1.2.3", "Bad numeric format"},
        {"1E5E2", "Bad numeric format"},
        {"1.5E+3", "Bad numeric format"},
        {"1E", "Bad numeric format"},
        {"1E-", "Bad numeric format"},
        {"1E2.5", "Bad numeric format"},
        {"12345678901234567890123456789", "Bad numeric format"},
        {"'abc", "Unterminated string"},
        {"'it''", "Unterminated string"},
        {"[Name", "Unterminated fieldname"},
        {"()", "invalid sub-expression"},
        {"( )", "invalid sub-expression"},
        {"(1", " ) expected"},
        {"(1, 2)", " ) expected"},
        {"AND 1", "opAnd not allowed here"},
        {"1 + OR", "opOr not allowed here"},
        {"1 * DIV 2", "opDiv not allowed here"},
        {"UPPER('a'", "Incorrectly formed parameters"},
        {"", "(parsed)"},
        {"1 +", "Unexpected end of factor"},
        {"1 = ", "Unexpected end of factor"},
        {"-", "Unexpected end of factor"},
        {"UPPER(1,)", "Missing parameter to UPPER"},
        {"#", "Syntax error"},
        {"1 + .5", "Syntax error"},
        {"[A] = 1 AND [B] = 2", "Syntax error"},
        {"1 = 2 = 3", "Syntax error"},
        {"1 abc", "Identifier ABC not allowed here"},
        {"1 true", "Boolean literal not allowed here"},
        {"1 2", "char 2 in input stream"},
        {"'a' 'b'", "char ' in input stream"},
        {"1 ä", "char ä in input stream"},
        {"1 == 1", "== not a valid operator"},
        {"1 =< 1", "=< not a valid operator"},
        {"1 >< 1", ">< not a valid operator"},
        {"1 >> 1", ">> not a valid operator"},
        {"1)", ") not appropriate"},
        {"([A] = 1))", ") not appropriate"},
        {"1, 2", ", not appropriate"},
        {")", ") not appropriate"},
        {"[A] NOT [B]", "opNot not allowed here"},
        {"COPY(, 1, 2)", "Missing parameter to COPY"},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
    EXPECT_EQ(gLiveNodes, 0);
}

TEST(FilterParse, LiteralLengthLimits) {
    auto text = [](char open, size_t n, char fill, const char* close) {
        std::string t(1, open);
        t.append(n, fill);
        t.append(close);
        return t;
    };
    EXPECT_EQ(ParseError(text('\'', 256, 'x', "'")), "(parsed)");
    EXPECT_EQ(ParseError(text('\'', 257, 'x', "'")), "String too long");
    // A doubled quote counts as one character.
    EXPECT_EQ(ParseError(text('\'', 255, 'x', "'''")), "(parsed)");
    EXPECT_EQ(ParseError(text('\'', 256, 'x', "'''")), "String too long");
    EXPECT_EQ(ParseError(text('[', 256, 'f', "]")), "(parsed)");
    EXPECT_EQ(ParseError(text('[', 257, 'f', "]")), "Fieldname too long");
    EXPECT_EQ(ParseError(std::string(28, '1'), {}), "(parsed)");
    EXPECT_EQ(gLiveNodes, 0);
}

TEST(FilterParse, NumberLiterals) {
    struct Case { const char* Text; TExprType Type; double Value; };
    const Case cases[] = {
        {"0", ttInteger, 0},
        {"2147483647", ttInteger, 2147483647.0},
        {"2147483648", ttFloat, 2147483648.0},
        {"0000000000002147483647", ttInteger, 2147483647.0},
        {"1.5", ttFloat, 1.5},
        {"1.", ttFloat, 1.0},
        {"1E3", ttFloat, 1000.0},
        {"25e-1", ttFloat, 2.5},
        {"1.5E-3", ttFloat, 0.0015},
        {"1E-999", ttFloat, 0.0},
    };
    for (const Case& c : cases) {
        auto root = ParseExpression(Utf16(c.Text), {});
        ASSERT_NE(root, nullptr) << c.Text;
        EXPECT_EQ(root->ExprType(), c.Type) << c.Text;
        EXPECT_DOUBLE_EQ(root->AsFloat(), c.Value) << c.Text;
    }
    EXPECT_EQ(ParseError("1E999"), "Bad numeric format");
}

TEST(FilterParse, StringLiteralDoubledQuote) {
    EXPECT_EQ(ParseExpression(u"'it''s'", {})->AsString(), u"it's");
    EXPECT_EQ(ParseExpression(u"''''", {})->AsString(), u"'");
    EXPECT_EQ(ParseExpression(u"''", {})->AsString(), u"");
}

TEST(FilterParse, ResolverReceivesNamesAndTakesArguments) {
    std::vector<std::pair<std::u16string, int>> calls; // name, argument count (-1: no list)
    TIdentifierResolver resolver = [&](void* context, const std::u16string& name,
                                       std::unique_ptr<TParameterList> params) -> std::unique_ptr<TExpression> {
        EXPECT_EQ(context, &calls);
        calls.emplace_back(name, params ? params->Count() : -1);
        return std::make_unique<TCountedName>(name);
    };
    auto root = ParseExpression(u"[my Field] + myFunc(1, 'a') + other() + _x9", {}, resolver, &calls);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->AsString(), u"my FieldMYFUNCOTHER_X9");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], std::make_pair(std::u16string(u"my Field"), -1));
    EXPECT_EQ(calls[1], std::make_pair(std::u16string(u"MYFUNC"), 2));
    EXPECT_EQ(calls[2], std::make_pair(std::u16string(u"OTHER"), 0));
    EXPECT_EQ(calls[3], std::make_pair(std::u16string(u"_X9"), -1));
    root.reset();
    EXPECT_EQ(gLiveNodes, 0);
}

TEST(FilterParse, UnknownIdentifier) {
    EXPECT_EQ(ParseError("abc = 1", {}), "Unknown Identifier ABC");
    EXPECT_EQ(ParseError("[Some field]", {}), "Unknown Identifier Some field");
    TIdentifierResolver refuses = [](void*, const std::u16string&, std::unique_ptr<TParameterList>) {
        return std::unique_ptr<TExpression>();
    };
    EXPECT_EQ(ParseError("f(1)", refuses), "Unknown Identifier F");
}

TEST(FilterParse, FailingParseFreesWhatItBuilt) {
    const char* texts[] = {
        "([A] + [B]) * [C] = [D] AND",
        "([A] + [B] + [C] = [D]) AND ([E] = 'x",
        "IF([A] = [B], [C], [D]) + ([E]",
        "myFunc([A], [B], [C]) [D]",
        "[A] + [B] + [C] =< [D]",
        "([A] = 1) OR ([B] = 2))",
    };
    for (const char* text : texts) {
        EXPECT_NE(ParseError(text), "(parsed)") << text;
        EXPECT_EQ(gLiveNodes, 0) << text;
    }
}

TEST(FilterParse, ConversionFailureWhileBuildingIsAnExpressionError) {
    // The type of IF is its chosen branch's, so building "+" over it reads the condition.
    EXPECT_EQ(ParseError("IF(DATE('x') = 1, 1, 2) + 1"), "'x' is not a valid date and time");
    EXPECT_EQ(gLiveNodes, 0);
}

TEST(FilterParse, KeywordsAreCaseInsensitive) {
    auto lower = ParseExpression(u"not (1 = 2) and true or false xor true", {});
    EXPECT_FALSE(lower->AsBoolean());
    EXPECT_EQ(ParseExpression(u"upper('ab') + Lower('CD') + length('xyz')", {})->AsString(), u"ABcd3");
}

TEST(FilterParse, NotBeforeParenthesisBuildsTheSameTree) {
    for (const char16_t* text : {u"NOT([A] = 'x')", u"NOT ([A] = 'x')"}) {
        auto root = ParseExpression(text, {}, NameResolver);
        auto* unary = dynamic_cast<TUnaryOp*>(root.get());
        ASSERT_NE(unary, nullptr);
        EXPECT_EQ(unary->Operator(), opNot);
        EXPECT_EQ(unary->OperandType(), ttBoolean);
        EXPECT_NE(dynamic_cast<const TRelationalOp*>(&unary->Operand()), nullptr);
        EXPECT_TRUE(root->AsBoolean()); // "A" <> "x"
    }
}

TEST(FilterParse, PrecedenceAndAssociativity) {
    struct Case { const char16_t* Text; int32_t Value; };
    const Case cases[] = {
        {u"1 + 2 * 3", 7},  {u"(1 + 2) * 3", 9},     {u"10 - 4 - 3", 3},  {u"100 DIV 10 DIV 2", 5},
        {u"1 OR 2 AND 3", 3}, {u"6 XOR 3", 5},        {u"-2 * -3", 6},     {u"1 SHL 4 + 1", 17},
        {u"NOT 0", -1},     {u"- - 5", 5},           {u"17 MOD 5 * 2", 4}, {u"+7", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseExpression(c.Text, {})->AsInteger(), c.Value) << Utf8(c.Text);
}

TEST(FilterParse, OptionsReachEveryNode) {
    auto plain = ParseExpression(u"'a' = 'A'", {});
    EXPECT_FALSE(plain->CaseInsensitive());
    EXPECT_TRUE(plain->PartialMatch());
    auto folded = ParseExpression(u"'a' = 'A'", {foCaseInsensitive, foNoPartialCompare});
    EXPECT_TRUE(folded->CaseInsensitive());
    EXPECT_FALSE(folded->PartialMatch());
    auto* rel = dynamic_cast<TRelationalOp*>(folded.get());
    ASSERT_NE(rel, nullptr);
    EXPECT_TRUE(rel->Operand1().CaseInsensitive());
    EXPECT_FALSE(rel->Operand2().PartialMatch());
    // Nodes built after the parse do not inherit its options.
    TStringLiteral loose(u"x");
    EXPECT_FALSE(loose.CaseInsensitive());
    EXPECT_TRUE(loose.PartialMatch());
}

TEST(FilterParse, DeepNestingIsRefusedNotCrashed) {
    for (std::string text : {std::string(100000, '(') + "1", std::string(100000, '-') + "1",
                             [] { std::string s = "1"; for (int i = 0; i < 50000; ++i) s += "+1"; return s; }(),
                             [] { std::string s; for (int i = 0; i < 20000; ++i) s += "NOT "; return s + "TRUE"; }()}) {
        EXPECT_EQ(ParseError(text), "Expression too deeply nested");
    }
    std::string ok = "1";
    for (int i = 0; i < 400; ++i) ok += "+1";
    EXPECT_EQ(ParseExpression(Utf16(ok), {})->AsInteger(), 401);
}

TEST(FilterParse, NodeGuardsRefuseWrongOperatorGroups) {
    auto one = [] { return std::make_unique<TIntegerLiteral>(1); };
    auto message = [](auto&& build) {
        try { build(); } catch (const EExpression& e) { return e.Message(); }
        return std::string("(built)");
    };
    EXPECT_EQ(message([&] { TUnaryOp(opMult, one()); }), "opMult is not simple unary operator");
    EXPECT_EQ(message([&] { TBinaryOp(opEq, one(), one()); }), "opEq is not a simple binary operator");
    EXPECT_EQ(message([&] { TBinaryOp(opNot, one(), one()); }), "opNot is not a simple binary operator");
    EXPECT_EQ(message([&] { TRelationalOp(opPlus, one(), one()); }), "opPlus is not relational operator");
}

TEST(FilterParse, ParsesOnSeveralThreadsKeepTheirOwnOptions) {
    std::atomic<int> wrong{0};
    auto work = [&](TFilterOptions options, bool folded) {
        for (int i = 0; i < 2000; ++i) {
            auto root = ParseExpression(u"('a' = 'A') OR ([x] = 'y')", options, NameResolver);
            if (root->CaseInsensitive() != folded) ++wrong;
        }
    };
    std::thread a(work, TFilterOptions{foCaseInsensitive}, true);
    std::thread b(work, TFilterOptions{}, false);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(gLiveNodes.load(), 0);
}
