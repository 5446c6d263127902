// Bind variables of statements on a connected stand-in session: the default character set taken
// from the session, and values carried to the server and back through the variables' buffers.
#include "oracle/query/tests/QueryTestSupport.h"

#include "oracle/query/Variables.h"

#include <fstream>

using namespace quorvel;
using quorvel::testing::StandInDatabase;

namespace {

class VariablesStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        if (!db.Create()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
    }
    void TearDown() override { DefaultVariableCharSet = true; }

    // The stand-in's settings, written before the database is created on first connect.
    void Configure(const std::string& lines) {
        std::filesystem::create_directories(db.Root() + "/db");
        std::ofstream(db.Root() + "/db/ocisim.conf") << lines;
    }

    StandInDatabase db;
};

TEST_F(VariablesStandIn, StringVariablesTakeTheSessionsUnicodeCharacterSet) {
    auto session = db.LogOn(false);
    ASSERT_EQ(session->CurrentCharSetID(), 873);
    TOracleQuery q;
    q.SetSession(session.get());
    struct Case {
        const char* name;
        int type;
        int form, id;
    };
    const Case cases[] = {
        {"S", otString, 1, 873}, {"P", otPLSQLString, 1, 873}, {"C", otChar, 0, 0},
        {"I", otInteger, 0, 0},  {"L", otLong, 0, 0},
    };
    for (const auto& c : cases) {
        q.DeclareVariable(c.name, c.type);
        int i = q.VariableIndex(c.name);
        EXPECT_EQ(q.VariableCharSetForm(i), c.form) << c.name;
        EXPECT_EQ(q.VariableCharSetID(i), c.id) << c.name;
    }
    // Without the library-wide switch and the query's own flag, nothing is stamped; turning the
    // flag on stamps every string variable again, turning it off clears them.
    DefaultVariableCharSet = false;
    q.DeclareVariable("S2", otString);
    EXPECT_EQ(q.VariableCharSetID(q.VariableIndex("S2")), 0);
    q.SetUseDefaultVariableCharSet(true);
    EXPECT_EQ(q.VariableCharSetID(q.VariableIndex("S2")), 873);
    EXPECT_EQ(q.VariableCharSetForm(q.VariableIndex("S2")), 1);
    q.SetUseDefaultVariableCharSet(false);
    for (int i = 0; i < q.VariableCount(); ++i) EXPECT_EQ(q.VariableCharSetID(i), 0) << q.VariableName(i);
}

TEST_F(VariablesStandIn, AnEightBitDatabaseLeavesVariablesUnstamped) {
    Configure("charset=WE8MSWIN1252\n");
    auto session = db.LogOn(false);
    ASSERT_FALSE(session->CurrentCharSetIsUTF8());
    TOracleQuery q;
    q.SetSession(session.get());
    q.DeclareVariable("S", otString);
    EXPECT_EQ(q.VariableCharSetID(0), 0);
    EXPECT_EQ(q.VariableCharSetForm(0), 0);
}

TEST_F(VariablesStandIn, ValuesGoToTheServerAndBack) {
    auto session = db.LogOn(false);
    TOracleQuery q;
    q.SetSession(session.get());
    q.SQL().SetText("begin :o_int := :i_int + 1; :o_flt := :i_flt * 2; :o_str := :i_str || '!'; "
                    ":o_dat := :i_dat + 1; end;");
    q.DeclareAndSet("i_int", otInteger, Variant(41));
    q.DeclareVariable("o_int", otInteger);
    q.DeclareAndSet("i_flt", otFloat, Variant(1.25));
    q.DeclareVariable("o_flt", otFloat);
    q.DeclareAndSet("i_str", otString, Variant(u"\u0441\u0447\u0451\u0442"));
    q.DeclareVariable("o_str", otString);
    q.DeclareAndSet("i_dat", otDate, Variant(EncodeDate(1999, 12, 31)));
    q.DeclareVariable("o_dat", otDate);
    q.Execute();
    EXPECT_EQ(q.GetVariable("o_int").ToInteger(), 42);
    EXPECT_EQ(q.GetVariable("o_flt").ToDouble(), 2.5);
    Variant s = q.GetVariable("o_str");
    EXPECT_EQ(s.Type(), vtUString);
    EXPECT_EQ(s.ToUString(), u"\u0441\u0447\u0451\u0442!");
    EXPECT_EQ(q.GetVariable("o_dat").ToDateTime(), EncodeDate(2000, 1, 1));
    // A null in gives a null out.
    q.SetVariable("i_int", Variant::Null());
    q.Execute();
    EXPECT_TRUE(q.GetVariable("o_int").IsUnassigned());
}

TEST_F(VariablesStandIn, PLSQLTablesComeBackWithTheirElementCount) {
    auto session = db.LogOn(false);
    TOracleQuery q;
    q.SetSession(session.get());
    q.SQL().SetText("begin for i in 1 .. 2 loop :names(i) := upper(:names(i)); end loop; "
                    ":names(3) := 'added'; :n := 2; end;");
    q.DeclareVariable("names", otString);
    q.DimPLSQLTable("names", 5, 20);
    q.DeclareVariable("n", otInteger);
    q.SetVariable("names", Variant::Array({Variant("a"), Variant("b")}, 1));
    q.Execute();
    EXPECT_EQ(q.GetVariable("n").ToInteger(), 2);
    Variant names = q.GetVariable("names");
    ASSERT_EQ(names.Type(), vtArray);
    ASSERT_EQ(names.Count(), 3);
    EXPECT_EQ(VarToUStr(names.Element(names.LowBound())), u"A");
    EXPECT_EQ(VarToUStr(names.Element(names.LowBound() + 2)), u"added");
}

} // namespace
