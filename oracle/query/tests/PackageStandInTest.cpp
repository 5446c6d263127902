// Stored package calls on the stand-in: functions and procedures in both parameter modes,
// BOOLEAN arguments and results, output markers, package variables and database errors.
#include "oracle/query/tests/QueryTestSupport.h"

#include "base/DateTime.h"
#include "oracle/query/OraclePackage.h"

using namespace quorvel;
using quorvel::testing::RunSql;
using quorvel::testing::StandInDatabase;

namespace {

const char* const DemoSpec =
    "create or replace package demo as\n"
    "  counter number := 0;\n"
    "  title varchar2(50) := 'start';\n"
    "  flag boolean := false;\n"
    "  day date;\n"
    "  function add(a number, b number) return number;\n"
    "  function greet(name varchar2) return varchar2;\n"
    "  function half(n number) return number;\n"
    "  function next_day(d date) return date;\n"
    "  function is_positive(n number) return boolean;\n"
    "  procedure split(whole varchar2, head out varchar2, tail out varchar2);\n"
    "  procedure toggle(b in out boolean);\n"
    "  procedure fail(msg varchar2);\n"
    "end demo;";
const char* const DemoBody =
    "create or replace package body demo as\n"
    "  function add(a number, b number) return number is begin return a + b; end;\n"
    "  function greet(name varchar2) return varchar2 is begin return 'Hello ' || name; end;\n"
    "  function half(n number) return number is begin return n / 2; end;\n"
    "  function next_day(d date) return date is begin return d + 1; end;\n"
    "  function is_positive(n number) return boolean is\n"
    "  begin\n"
    "    if n is null then return null; end if;\n"
    "    return n > 0;\n"
    "  end;\n"
    "  procedure split(whole varchar2, head out varchar2, tail out varchar2) is\n"
    "    p integer := instr(whole, '-');\n"
    "  begin\n"
    "    head := substr(whole, 1, p - 1);\n"
    "    tail := substr(whole, p + 1);\n"
    "  end;\n"
    "  procedure toggle(b in out boolean) is begin b := not b; end;\n"
    "  procedure fail(msg varchar2) is begin raise_application_error(-20001, msg); end;\n"
    "end demo;";

// In OCI8 mode (false) and OCI7 mode (true).
class PackageStandIn : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!db.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        session = db.LogOn(GetParam());
        RunSql(*session, DemoSpec);
        RunSql(*session, DemoBody);
        pkg.SetSession(session.get());
        pkg.PackageName = "demo";
        FSavedDisable = DisableOptimize;
    }
    void TearDown() override { DisableOptimize = FSavedDisable; }

    StandInDatabase db;
    std::unique_ptr<TOracleSession> session;
    TOraclePackage pkg;

private:
    bool FSavedDisable = true;
};

TEST_P(PackageStandIn, PositionalFunctionsReturnTheirResults) {
    EXPECT_EQ(pkg.CallIntegerFunction("add", {2, 3}).ToInteger(), 5);
    EXPECT_EQ(pkg.CallStringFunction("greet", {"Ann"}).ToString(), "Hello Ann");
    EXPECT_DOUBLE_EQ(pkg.CallFloatFunction("half", {3}).ToDouble(), 1.5);
    TDateTime day = EncodeDate(2024, 2, 28);
    EXPECT_EQ(pkg.CallDateFunction("next_day", {day}).ToDateTime(), EncodeDate(2024, 2, 29));
    // a null argument is the literal Null: the function sees a null
    EXPECT_EQ(pkg.CallStringFunction("greet", {Variant::Null()}).ToString(), "Hello ");
    EXPECT_TRUE(pkg.CallIntegerFunction("add", {1, Variant()}).IsUnassigned());
}

TEST_P(PackageStandIn, BooleanArgumentsAndResults) {
    pkg.ParameterMode = pmNamed;
    pkg.CallProcedure("toggle", {"b", true});
    Variant b = pkg.GetParameter("B");
    EXPECT_EQ(b.Type(), vtBoolean);
    EXPECT_FALSE(b.ToBoolean());
    pkg.CallProcedure("toggle", {"b", false});
    EXPECT_TRUE(pkg.GetParameter(0).ToBoolean());

    Variant yes = pkg.CallBooleanFunction("is_positive", {"n", 4});
    EXPECT_EQ(yes.Type(), vtBoolean);
    EXPECT_TRUE(yes.ToBoolean());
    EXPECT_FALSE(pkg.CallBooleanFunction("is_positive", {"n", -4}).ToBoolean());
    // a null BOOLEAN result is the session's null value
    EXPECT_TRUE(pkg.CallBooleanFunction("is_positive", {"n", Variant::Null()}).IsUnassigned());
    session->NullValue = nvNull;
    EXPECT_TRUE(pkg.CallBooleanFunction("is_positive", {"n", Variant::Null()}).IsNull());
    // an output BOOLEAN marker passes a null in
    pkg.CallProcedure("toggle", {"b", OutBoolean});
    EXPECT_TRUE(pkg.GetParameter("b").IsNull());
}

TEST_P(PackageStandIn, OutputMarkersBringBackWhatTheProcedureAssigned) {
    pkg.CallProcedure("split", {"ab-cd", OutString, OutString});
    EXPECT_EQ(pkg.GetParameter(1).ToString(), "ab");
    EXPECT_EQ(pkg.GetParameter(2).ToString(), "cd");
    EXPECT_EQ(pkg.GetParameter(0).ToString(), "ab-cd");

    // with the statement kept between calls, an output of one call never shows in the next
    DisableOptimize = false;
    pkg.ParameterMode = pmNamed;
    pkg.CallProcedure("split", {"whole", "x-y", "head", OutString, "tail", OutString});
    EXPECT_EQ(pkg.GetParameter("TAIL").ToString(), "y");
    pkg.CallProcedure("split", {"whole", "-", "head", OutString, "tail", OutString});
    EXPECT_TRUE(pkg.GetParameter("head").IsUnassigned());
    EXPECT_TRUE(pkg.GetParameter("tail").IsUnassigned());
}

TEST_P(PackageStandIn, PackageVariablesAreReadAndWritten) {
    EXPECT_EQ(pkg.GetStringVariable("title").ToString(), "start");
    struct Case {
        const char* name;
        Variant value;
        std::function<Variant()> read;
    };
    const TDateTime day = EncodeDate(2001, 9, 9);
    const std::vector<Case> cases = {
        {"counter", Variant(41), [&] { return pkg.GetIntegerVariable("counter"); }},
        {"counter", Variant(2.25), [&] { return pkg.GetFloatVariable("counter"); }},
        {"title", Variant("abc"), [&] { return pkg.GetStringVariable("title"); }},
        {"flag", Variant(true), [&] { return pkg.GetBooleanVariable("flag"); }},
        {"flag", Variant(false), [&] { return pkg.GetBooleanVariable("flag"); }},
        {"day", Variant(day), [&] { return pkg.GetDateVariable("day"); }},
    };
    for (bool optimize : {false, true}) {
        DisableOptimize = !optimize;
        for (const auto& c : cases) {
            pkg.SetVariable(c.name, c.value);
            Variant read = c.read();
            // text comes back as UTF-16 from a UTF-8 database
            if (c.value.IsText()) EXPECT_EQ(read.ToString(), c.value.ToString()) << c.name << " optimize " << optimize;
            else EXPECT_EQ(read, c.value) << c.name << " optimize " << optimize;
        }
    }
    pkg.SetVariable("title", Variant::Null());
    EXPECT_TRUE(pkg.GetStringVariable("title").IsUnassigned());
    pkg.SetVariable("counter", Variant(int64_t(1) << 40));
    EXPECT_DOUBLE_EQ(pkg.GetFloatVariable("counter").ToDouble(), 1099511627776.0);
    // a procedure right after a null assignment declares what it needs
    pkg.SetVariable("title", Variant::Null());
    pkg.CallProcedure("toggle", {OutBoolean});
    EXPECT_TRUE(pkg.GetParameter(0).IsUnassigned());
}

TEST_P(PackageStandIn, DatabaseErrorsComeFromTheGeneratedBlock) {
    try {
        pkg.CallProcedure("fail", {"boom"});
        FAIL() << "no error";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 20001);
        EXPECT_NE(e.Message().find("boom"), std::string::npos) << e.Message();
    }
    // the position in the error is that of the call in the generated block (after the declare
    // section of a BOOLEAN argument)
    try {
        pkg.CallProcedure("no_such_procedure", {true});
        FAIL() << "no error";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 6550);
        EXPECT_NE(e.Message().find("line 4, column 3"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("NO_SUCH_PROCEDURE"), std::string::npos) << e.Message();
    }
    // the package goes on working after a failed call
    EXPECT_EQ(pkg.CallIntegerFunction("add", {20, 22}).ToInteger(), 42);
}

TEST_P(PackageStandIn, SessionChangesMoveThePackageAndItsStatement) {
    auto other = db.LogOn(GetParam());
    EXPECT_TRUE(session->Packages.Contains(&pkg));
    EXPECT_TRUE(session->Queries.Contains(&pkg.Query()));
    pkg.SetSession(other.get());
    EXPECT_FALSE(session->Packages.Contains(&pkg));
    EXPECT_FALSE(session->Queries.Contains(&pkg.Query()));
    EXPECT_TRUE(other->Packages.Contains(&pkg));
    EXPECT_EQ(pkg.Query().Session(), other.get());
    // package state belongs to the server session
    pkg.SetVariable("counter", 7);
    EXPECT_EQ(pkg.GetIntegerVariable("counter").ToInteger(), 7);
    pkg.SetSession(session.get());
    EXPECT_EQ(pkg.GetIntegerVariable("counter").ToInteger(), 0);
    // a session destroyed first leaves the package without one
    session.reset();
    EXPECT_EQ(pkg.Session(), nullptr);
    EXPECT_EQ(pkg.Query().Session(), nullptr);
    try {
        pkg.CallProcedure("toggle", {true});
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Session undefined");
    }
}

INSTANTIATE_TEST_SUITE_P(CallModes, PackageStandIn, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "OCI7" : "OCI8"; });

} // namespace
