// The blocks and variables a package call generates, without a database: a package with no
// session fills its statement and then stops at "Session undefined".
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "oracle/query/OraclePackage.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/query/tests/QueryTestSupport.h"

namespace quorvel {
namespace {

using testing::Unsent;

// The message of the exception a call raises, empty when it raises none.
template <class F>
std::string Refusal(F&& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

struct Var {
    std::string name;
    int type;
    Variant value;
};

std::vector<Var> Variables(TOracleQuery& q) {
    std::vector<Var> out;
    for (int i = 0; i < q.VariableCount(); ++i) out.push_back({q.VariableName(i), q.VariableType(i), q.GetVariable(i)});
    return out;
}

class PackageBlock : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.PackageName = "PKG";
        FSavedDisable = DisableOptimize;
    }
    void TearDown() override { DisableOptimize = FSavedDisable; }
    std::string Sql() { return pkg.Query().SQL().Text(); }
    TOraclePackage pkg;

private:
    bool FSavedDisable = true;
};

TEST_F(PackageBlock, PositionalFunctionCallBindsEveryArgumentByPosition) {
    Unsent([&] { pkg.CallIntegerFunction("F", {1, "x"}); });
    EXPECT_EQ(Sql(), "begin\r\n  :quorvel__value := PKG.F(:p1, :p2);\r\nend;\r\n");
    auto vars = Variables(pkg.Query());
    ASSERT_EQ(vars.size(), 3u);
    EXPECT_EQ(vars[0].name, ":QUORVEL__VALUE");
    EXPECT_EQ(vars[0].type, otInteger);
    EXPECT_TRUE(vars[0].value.IsUnassigned());
    EXPECT_EQ(vars[1].name, ":P1");
    EXPECT_EQ(vars[1].type, otInteger);
    EXPECT_EQ(vars[1].value.ToInteger(), 1);
    EXPECT_EQ(vars[2].name, ":P2");
    EXPECT_EQ(vars[2].type, otString);
    EXPECT_EQ(vars[2].value.ToString(), "x");
    ASSERT_EQ(pkg.ParameterList().size(), 2u);
    EXPECT_EQ(pkg.ParameterList()[1].ParamName, "p2");
    EXPECT_EQ(pkg.LastObjectType(), otInteger);
}

TEST_F(PackageBlock, NamedBooleanArgumentTravelsThroughALocal) {
    pkg.ParameterMode = pmNamed;
    Unsent([&] { pkg.CallProcedure("P", {"A", true}); });
    EXPECT_EQ(Sql(),
              "declare\r\n"
              "  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:A);\r\n"
              "begin\r\n"
              "  PKG.P(A => quorvel__boolean1);\r\n"
              "  :A := sys.diutil.bool_to_int(quorvel__boolean1);\r\n"
              "end;\r\n");
    // the declare section is one entry of the list
    EXPECT_EQ(pkg.Query().SQL().Count(), 5);
    auto vars = Variables(pkg.Query());
    ASSERT_EQ(vars.size(), 1u);
    EXPECT_EQ(vars[0].name, ":A");
    EXPECT_EQ(vars[0].type, otInteger);
    EXPECT_EQ(vars[0].value.ToInteger(), 1);
    EXPECT_EQ(pkg.ParameterList()[0].BooleanName, "quorvel__boolean1");
    EXPECT_EQ(pkg.LastObjectType(), 0);
}

TEST_F(PackageBlock, BooleanFunctionWithBooleanInputAndOutput) {
    Unsent([&] { pkg.CallBooleanFunction("B", {false, OutBoolean, 2.5}); });
    EXPECT_EQ(Sql(),
              "declare\r\n"
              "  quorvel__boolean1 boolean := sys.diutil.int_to_bool(:p1);\r\n"
              "  quorvel__boolean2 boolean := sys.diutil.int_to_bool(:p2);\r\n"
              "begin\r\n"
              "  :quorvel__value := sys.diutil.bool_to_int(PKG.B(quorvel__boolean1, quorvel__boolean2, :p3));\r\n"
              "  :p1 := sys.diutil.bool_to_int(quorvel__boolean1);\r\n"
              "  :p2 := sys.diutil.bool_to_int(quorvel__boolean2);\r\n"
              "end;\r\n");
    auto vars = Variables(pkg.Query());
    ASSERT_EQ(vars.size(), 4u);
    EXPECT_EQ(vars[0].type, otInteger);   // the BOOLEAN result as an integer
    EXPECT_EQ(vars[1].value.ToInteger(), 0);
    EXPECT_TRUE(vars[2].value.IsUnassigned());   // the output marker binds a null
    EXPECT_EQ(vars[3].type, otFloat);
    EXPECT_EQ(pkg.LastObjectType(), otBoolean);
}

TEST_F(PackageBlock, NullArgumentsAreLiteralsAndBindNothing) {
    pkg.ParameterMode = pmNamed;
    Unsent([&] { pkg.CallProcedure("P", {"a", 1, "b", Variant::Null(), "c", Variant()}); });
    EXPECT_EQ(Sql(), "begin\r\n  PKG.P(a => :a, b => Null, c => Null);\r\nend;\r\n");
    auto vars = Variables(pkg.Query());
    ASSERT_EQ(vars.size(), 1u);
    EXPECT_EQ(vars[0].name, ":A");
    EXPECT_EQ(pkg.ParameterList()[1].DataType, 0);
}

TEST_F(PackageBlock, EmptyArgumentListsCallWithoutParentheses) {
    for (const TPackageArguments& none :
         {TPackageArguments(NoParameters), TPackageArguments{NoParameters}, TPackageArguments{},
          TPackageArguments(Variant::Array({})), TPackageArguments(Variant::Array({NoParameters}))}) {
        Unsent([&] { pkg.CallProcedure("P", none); });
        EXPECT_EQ(Sql(), "begin\r\n  PKG.P;\r\nend;\r\n");
        EXPECT_EQ(pkg.Query().VariableCount(), 0);
    }
    // a variable read is a function call without arguments; no package name calls stand-alone code
    Unsent([&] { pkg.GetDateVariable("V"); });
    EXPECT_EQ(Sql(), "begin\r\n  :quorvel__value := PKG.V;\r\nend;\r\n");
    EXPECT_EQ(pkg.Query().VariableType(0), otDate);
    pkg.PackageName.clear();
    Unsent([&] { pkg.CallStringFunction("F", {Variant::Array({7, OutDate}, 1)}); });
    EXPECT_EQ(Sql(), "begin\r\n  :quorvel__value := F(:p1, :p2);\r\nend;\r\n");
    EXPECT_EQ(pkg.Query().VariableType(2), otDate);
}

TEST_F(PackageBlock, ArgumentTypes) {
    struct Case {
        Variant value;
        int type;
    };
    const std::vector<Case> cases = {
        {Variant(int8_t(-1)), otInteger},  {Variant(int16_t(2)), otInteger},     {Variant(int32_t(3)), otInteger},
        {Variant(uint8_t(4)), otInteger},  {Variant(uint16_t(5)), otInteger},    {Variant(uint32_t(6)), otFloat},
        {Variant(1.5f), otFloat},          {Variant(2.5), otFloat},              {Variant(Currency{12345}), otFloat},
        {Variant(TDateTime(40000.5)), otDate}, {Variant("t"), otString},         {Variant(u"w"), otString},
        {Variant(true), otBoolean},        {Variant::Null(), 0},                 {Variant(), 0},
        {OutString, otString},             {OutInteger, otInteger},              {OutFloat, otFloat},
        {OutDate, otDate},                 {OutBoolean, otBoolean},
    };
    for (const auto& c : cases) {
        auto list = BuildPackageParameters({c.value}, pmPositional);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].DataType, c.type) << VarTypeName(c.value.Type());
        if (c.value.Type() == vtInt64) {
            EXPECT_TRUE(list[0].ParamValue.IsNull());
        }
    }
}

TEST_F(PackageBlock, ParameterErrorsAreRaisedBeforeAnythingIsSent) {
    pkg.Query().SQL().SetText("untouched");
    struct Case {
        TParameterModeOption mode;
        TPackageArguments args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {pmNamed, {"a", 1, "b"}, "Even number of parameters required when ParameterMode = pmNamed"},
        {pmNamed, {1, 1}, "Parameter names must be strings"},
        {pmNamed, {"a", 1, Variant::Null(), 2}, "Parameter names must be strings"},
        {pmPositional, {1, Variant(int64_t(7))}, "Int64 parameters can only be used for output parameter types"},
        {pmPositional, {1, NoParameters}, "Int64 parameters can only be used for output parameter types"},
        {pmPositional, {1, Variant(std::vector<uint8_t>{1, 2})}, "Type of parameter p2 not supported"},
        {pmNamed, {"blob", Variant::Array({1, 2})}, "Type of parameter blob not supported"},
        {pmPositional, {Variant::Object(&pkg)}, "Type of parameter p1 not supported"},
    };
    for (const auto& c : cases) {
        pkg.ParameterMode = c.mode;
        EXPECT_EQ(Refusal([&] { pkg.CallProcedure("P", c.args); }), c.message);
        EXPECT_EQ(Sql(), "untouched\r\n");
    }
    EXPECT_EQ(pkg.LastObjectType(), -1);
}

TEST_F(PackageBlock, SetVariableAssignsByTheValueType) {
    struct Case {
        Variant value;
        std::string line;
        int variableType;   // -1: no variable
        int lastType;
    };
    const std::vector<Case> cases = {
        {Variant(42), "  PKG.V := :quorvel__value;", otInteger, otInteger},
        {Variant(int64_t(-7)), "  PKG.V := :quorvel__value;", otInteger, otInteger},
        {Variant(int64_t(1) << 40), "  PKG.V := :quorvel__value;", otString, otString},
        {Variant(0.25), "  PKG.V := :quorvel__value;", otFloat, otFloat},
        {Variant(TDateTime(40000)), "  PKG.V := :quorvel__value;", otDate, otDate},
        {Variant("txt"), "  PKG.V := :quorvel__value;", otString, otString},
        {Variant(true), "  PKG.V := sys.diutil.int_to_bool(:quorvel__value);", otInteger, otBoolean},
        {Variant::Null(), "  PKG.V := Null;", -1, 0},
        {Variant(), "  PKG.V := Null;", -1, 0},
    };
    for (const auto& c : cases) {
        Unsent([&] { pkg.SetVariable("V", c.value); });
        EXPECT_EQ(Sql(), "begin\r\n" + c.line + "\r\nend;\r\n");
        EXPECT_EQ(pkg.LastObjectType(), c.lastType);
        EXPECT_TRUE(pkg.ParameterList().empty());
        if (c.variableType < 0) {
            EXPECT_EQ(pkg.Query().VariableCount(), 0);
        } else {
            ASSERT_EQ(pkg.Query().VariableCount(), 1);
            EXPECT_EQ(pkg.Query().VariableType(0), c.variableType);
        }
    }
    Unsent([&] { pkg.SetVariable("V", Variant(int64_t(1) << 40)); });
    EXPECT_EQ(pkg.Query().GetVariable(0).ToString(), "1099511627776");
    Unsent([&] { pkg.SetVariable("V", Variant(true)); });
    EXPECT_EQ(pkg.Query().GetVariable(0).ToInteger(), 1);
    EXPECT_EQ(Refusal([&] { pkg.SetVariable("V", Variant(std::vector<uint8_t>{1})); }), "Type of value not supported");
}

TEST_F(PackageBlock, ParametersByNameOnlyInNamedMode) {
    EXPECT_EQ(Refusal([&] { pkg.GetParameter("p1"); }),
              "Parameters can only be retrieved by name if\r\nnamed parameter mode is used.");
    EXPECT_EQ(Refusal([&] { pkg.GetParameter(0); }), "Parameter 0 does not exist");
    pkg.ParameterMode = pmNamed;
    Unsent([&] { pkg.CallProcedure("P", {"Line", "abc", "n", Variant::Null()}); });
    EXPECT_EQ(pkg.GetParameter("LINE").ToString(), "abc");   // the bound value, before any call ran
    EXPECT_TRUE(pkg.GetParameter("N").IsUnassigned());      // a literal null has no variable
    EXPECT_EQ(Refusal([&] { pkg.GetParameter("x"); }), "Parameter x does not exist");
    EXPECT_EQ(Refusal([&] { pkg.GetParameter(2); }), "Parameter 2 does not exist");
    EXPECT_EQ(Refusal([&] { pkg.GetParameter(-1); }), "Parameter -1 does not exist");
}

TEST_F(PackageBlock, VariablesAreDeclaredAgainOnlyWhenTheCallChanges) {
    DisableOptimize = false;
    // A mark that only a fresh declaration removes.
    auto mark = [&] { pkg.Query().DeclareVariableCharSet(pkg.Query().VariableName(0), 2, 2000); };
    auto kept = [&] { return pkg.Query().VariableCharSetForm(0) == 2; };
    Unsent([&] { pkg.CallIntegerFunction("F", {1, "x"}); });
    EXPECT_FALSE(pkg.ReDeclareVariables());
    // same names, types and result: the variables stay, the result is reset to null
    mark();
    pkg.Query().SetVariable("quorvel__value", 9);
    Unsent([&] { pkg.CallIntegerFunction("G", {2, "y"}); });
    EXPECT_TRUE(kept());
    EXPECT_TRUE(pkg.Query().GetVariable("quorvel__value").IsUnassigned());
    EXPECT_EQ(pkg.Query().GetVariable("p2").ToString(), "y");

    struct Change {
        const char* what;
        std::function<void()> call;
    };
    const std::vector<Change> changes = {
        {"another result type", [&] { pkg.CallFloatFunction("G", {2, "y"}); }},
        {"another argument type", [&] { pkg.CallFloatFunction("G", {2, 3}); }},
        {"another argument count", [&] { pkg.CallFloatFunction("G", {2}); }},
        {"a procedure after a function", [&] { pkg.CallProcedure("Q", {2}); }},
        {"a function after a procedure", [&] { pkg.CallFloatFunction("G", {2}); }},
    };
    for (const auto& c : changes) {
        mark();
        Unsent(c.call);
        EXPECT_FALSE(kept()) << c.what;
    }
    // the statement used for a block of its own: the next call declares what it binds again
    pkg.Query().Clear();
    Unsent([&] { pkg.CallFloatFunction("G", {2}); });
    EXPECT_EQ(pkg.Query().VariableCount(), 2);
    // with Optimize off every call declares again
    mark();
    pkg.SetOptimize(false);
    Unsent([&] { pkg.CallFloatFunction("G", {2}); });
    EXPECT_FALSE(kept());
}

} // namespace
} // namespace quorvel
