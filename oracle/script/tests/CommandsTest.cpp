#include "oracle/script/OracleCommands.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TStringList LinesFrom(const char* text) {
    TStringList lines;
    lines.SetText(text);
    return lines;
}

TEST(ScriptText, AssigningLinesBuildsAndInPlaceEditsRebuildOnDemand) {
    TScriptText script;
    script.SetLines(LinesFrom("-- name = First\nselect 1 from dual;\n\nprompt hi\n"));
    EXPECT_FALSE(script.LinesChanged());
    EXPECT_EQ(script.OriginalTextLength(), 51);
    TOracleCommands& commands = script.Commands();
    ASSERT_EQ(commands.Count(), 2);
    EXPECT_EQ(commands[0].Name(), "First");
    EXPECT_EQ(commands[0].CommandType(), ctSQL);
    EXPECT_EQ(commands[1].CommandType(), ctNonSQL);
    EXPECT_EQ(commands[0].ScriptLength(), 40);
    EXPECT_EQ(commands[1].ScriptPos(), 40);
    EXPECT_EQ(commands[1].ScriptLength(), 11);

    script.Lines().Add("commit;");
    EXPECT_TRUE(script.LinesChanged());
    ASSERT_EQ(commands.Count(), 3);
    EXPECT_EQ(commands[2].Text(), "commit");
    EXPECT_EQ(commands[2].ScriptLine(), 4);
    EXPECT_FALSE(script.LinesChanged());

    EXPECT_EQ(script.CommandByName("FIRST"), &commands[0]);
    EXPECT_EQ(script.CommandByName("second"), nullptr);
    script.Lines().SetStrings(0, "-- name = Second");
    ASSERT_NE(script.CommandByName("second"), nullptr);
    EXPECT_EQ(script.CommandByName("second")->Index(), 0);
}

TEST(ScriptText, EditedCommandsRegenerateTheText) {
    TScriptText script;
    script.SetLines(LinesFrom("create table t (a number);\nbegin\n  null;\nend;\n/\nprompt done"));
    TOracleCommands& commands = script.Commands();
    ASSERT_EQ(commands.Count(), 3);

    commands[0].SetText("create table t (a number, b number)");
    EXPECT_TRUE(script.CommandsChanged());
    TOracleCommand& added = commands.Add();
    EXPECT_EQ(added.CommandType(), ctNonSQL);
    added.SetText("insert into t values (1, 2)");
    EXPECT_EQ(added.CommandType(), ctSQL);
    commands.Move(3, 1); // the insert right after the table
    EXPECT_EQ(added.Index(), 1);
    commands.Delete(3); // the prompt

    EXPECT_EQ(script.Lines().Text(),
              "create table t (a number, b number);\r\n"
              "insert into t values (1, 2);\r\n"
              "\r\n"
              "begin\r\n  null;\r\nend;\r\n/\r\n");
    EXPECT_FALSE(script.CommandsChanged());
    EXPECT_FALSE(script.LinesChanged());

    // Rebuilding from the regenerated text gives the edited commands back.
    script.BuildCommands();
    ASSERT_EQ(commands.Count(), 3);
    EXPECT_EQ(commands[0].Text(), "create table t (a number, b number)");
    EXPECT_EQ(commands[1].Text(), "insert into t values (1, 2)");
    EXPECT_EQ(commands[2].Text(), "begin\r\n  null;\r\nend;");
    EXPECT_EQ(commands[2].CommandType(), ctPLSQL);
}

TEST(ScriptText, LinesWithLineBreaksBecomeSeveralLines) {
    TScriptText script;
    script.SetLines(LinesFrom("commit;"));
    script.Lines().SetStrings(0, "select 1\r\nfrom dual;\rcommit;");
    ASSERT_EQ(script.Commands().Count(), 2);
    EXPECT_EQ(script.Lines().Count(), 3);
    EXPECT_EQ(script.Lines()[1], "from dual;");
    EXPECT_EQ(script.Commands()[1].ScriptLine(), 2);
    EXPECT_EQ(script.OriginalTextLength(), 30);
}

TEST(ScriptText, SettingTheSameTextChangesNothing) {
    TScriptText script;
    script.SetLines(LinesFrom("select 1 from dual;"));
    script.Commands()[0].SetText("select 1 from dual");
    EXPECT_FALSE(script.CommandsChanged());
    script.Commands()[0].SetText("begin null; end;");
    EXPECT_EQ(script.Commands()[0].CommandType(), ctPLSQL);
    EXPECT_TRUE(script.CommandsChanged());
}

TEST(ScriptText, CollectionEditsApplyToTheCurrentLines) {
    TScriptText script;
    script.SetLines(LinesFrom("select 1 from dual;"));
    script.Lines().Add("select 2 from dual;");
    // The change of the lines is built before the command is added, so both survive.
    script.Commands().Add().SetText("select 3 from dual");
    EXPECT_EQ(script.Lines().Text(), "select 1 from dual;\r\nselect 2 from dual;\r\nselect 3 from dual;\r\n");
}

TEST(ScriptText, IndexesOutOfRangeAreRefused) {
    TScriptText script;
    script.SetLines(LinesFrom("select 1 from dual;"));
    try {
        script.Commands().Items(1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (1)");
    }
    EXPECT_THROW(script.Commands().Delete(-1), Exception);
    EXPECT_THROW(script.Commands().Move(0, 5), Exception);
    EXPECT_EQ(script.Commands().Count(), 1);
}

class SubstitutingScript : public TScriptText {
public:
    std::string SubstituteVariables(const std::string& text) const override {
        std::string out = text;
        for (std::size_t p; (p = out.find("&who")) != std::string::npos;) out.replace(p, 4, "big world");
        return out;
    }
    int rebuilt = 0;

protected:
    void CommandsRebuilt() override { ++rebuilt; }
};

TEST(ScriptText, WordsUseTheScriptsSubstitutionAndDropComments) {
    SubstitutingScript script;
    script.SetLines(LinesFrom("-- greeting\nprompt Hello, &who /* x */"));
    EXPECT_EQ(script.rebuilt, 1);
    TOracleCommand& c = script.Commands()[0];
    EXPECT_EQ(c.Words(), (std::vector<std::string>{"prompt", "Hello,", "big", "world"}));
    c.SetText("pause &who");
    EXPECT_EQ(c.Words(), (std::vector<std::string>{"pause", "big", "world"}));
}

TEST(ScriptText, AllSQLCommandsMakesEveryCommandSQL) {
    TScriptText script;
    script.SetAllSQLCommands(true);
    script.SetLines(LinesFrom("PROMPT x\nmore;\nbegin null; end;\n/"));
    ASSERT_EQ(script.Commands().Count(), 2);
    EXPECT_EQ(script.Commands()[0].CommandType(), ctSQL);
    EXPECT_EQ(script.Commands()[0].Text(), "PROMPT x\r\nmore");
    EXPECT_EQ(script.Commands()[1].CommandType(), ctPLSQL);
}

} // namespace
