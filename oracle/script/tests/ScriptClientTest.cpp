// Running scripts of client commands, which need no database: remarks, prompts, substitution
// variables, output settings, the run loop with its callbacks, and the output list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracle/query/OracleQuery.h"
#include "oracle/script/OracleScript.h"
#include "base/Exception.h"
#include "platform/HeadlessUIServices.h"

using namespace quorvel;

namespace {

std::vector<std::string> Lines(const TStrings& list) { return list.ToVector(); }

class ScriptClientTest : public ::testing::Test {
protected:
    void SetUp() override { FSaved = platform::SetUIServices(&FUI); }
    void TearDown() override { platform::SetUIServices(FSaved); }

    // Sets the script's text and runs it.
    bool Run(const std::string& text) {
        FScript.Lines().SetText(text);
        return FScript.Execute();
    }

    platform::HeadlessUIServices FUI;
    platform::IUIServices* FSaved = nullptr;
    TOracleScript FScript;
};

TEST_F(ScriptClientTest, Defaults) {
    EXPECT_EQ(FScript.Session(), nullptr);
    EXPECT_FALSE(FScript.Debug);
    EXPECT_EQ(FScript.Cursor, 0);
    EXPECT_FALSE(FScript.AutoCommit);
    EXPECT_FALSE(FScript.ExitOnError);
    EXPECT_TRUE(FScript.ScanVariables);
    EXPECT_EQ(FScript.ColWidth, 40);
    EXPECT_EQ(FScript.OutputOptions.Bits(), 31u);
    EXPECT_EQ(FScript.Query().Name(), "Query");
    EXPECT_EQ(FScript.CurrentCommand(), nullptr);
    EXPECT_TRUE(FScript.Execute()); // no commands
}

TEST_F(ScriptClientTest, PromptsRemarksAndEcho) {
    EXPECT_TRUE(Run("rem nothing here\r\nprompt \"Quoted\"\r\npro  Installing   the module  ;\r\nprompt\r\n"
                    "set echo off\r\nprompt 'single'\r\nprompt a -- a comment\r\n"));
    EXPECT_EQ(Lines(FScript.Output()),
              (std::vector<std::string>{"rem nothing here", "", "prompt \"Quoted\"", "", "Quoted",
                                        "pro  Installing   the module  ;", "", "Installing   the module",
                                        "prompt", "", "", "set echo off", "", "single", "a"}));
    EXPECT_TRUE(FScript.Finished());
}

// Substitution variables: definitions, references in later commands, undefine.
TEST_F(ScriptClientTest, SubstitutionVariables) {
    FScript.OutputOptions = TScriptOutputOptions{};
    FScript.OnOutput = nullptr;
    Run("define tab = emp\r\ndef Greeting = \"hello there\"\r\ndefine noequals\r\nprompt &tab.x &greeting\r\n"
        "prompt \\&tab\r\nundefine tab\r\nprompt [&tab]\r\nset scan off\r\nprompt &greeting\r\n");
    // Prompts write whatever the output options say.
    EXPECT_EQ(Lines(FScript.Output()), (std::vector<std::string>{"empx hello there", "&tab", "[]", "&greeting"}));
    FScript.OutputOptions = TScriptOutputOptions{ooNonSQL};
    FScript.ScanVariables = true;
    FScript.Output().Clear();
    Run("define tab = emp\r\ndef Greeting = \"hello there\"\r\nprompt &tab.x &greeting\r\nprompt \\&tab\r\n"
        "undefine tab\r\nprompt [&tab]\r\nset scan off\r\nprompt &greeting\r\n");
    const std::vector<std::string> out = Lines(FScript.Output());
    const std::vector<std::string> expected = {
        "define tab = emp", "", "def Greeting = \"hello there\"", "", "prompt empx hello there", "",
        "empx hello there", "prompt &tab", "", "&tab", "undefine tab", "", "prompt []", "", "[]",
        "set scan off", "", "prompt &greeting", "", "&greeting"};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(Lines(FScript.Variables()), (std::vector<std::string>{"TAB=", "GREETING=hello there"}));
    EXPECT_EQ(FScript.GetVariable(" greeting "), "hello there");
    EXPECT_EQ(FScript.GetVariable("GREET"), "");
    FScript.SetVariable("tab", "dept");
    EXPECT_EQ(Lines(FScript.Variables()), (std::vector<std::string>{"TAB=dept", "GREETING=hello there"}));
    EXPECT_FALSE(FScript.ScanVariables);
}

// SET options: which word sets what, and values other than ON and OFF change nothing.
TEST_F(ScriptClientTest, SetOptions) {
    const struct {
        const char* Command;
        bool Handled;
        uint64_t Options;
        bool Scan, ExitOnError;
        int ColWidth;
    } cases[] = {
        {"set feedback off", true, 31 & ~8u, true, false, 40},
        {"SET FEED OFF;", true, 31 & ~8u, true, false, 40},
        {"set feed maybe", true, 31, true, false, 40},
        {"set echo off", true, 31 & ~3u, true, false, 40},
        {"set term off", true, 31 & ~4u, true, false, 40},
        {"set termout off", true, 31 & ~4u, true, false, 40},
        {"set scan off", true, 31, false, false, 40},
        {"set exit on", true, 31, true, true, 40},
        {"set exitonerror on;", true, 31, true, true, 40},
        {"set colwidth 10", true, 31, true, false, 10},
        {"set col -5", true, 31, true, false, -5},
        {"set colwidth wide", true, 31, true, false, 40},
        {"set colwidth 12x", true, 31, true, false, 40},
        {"set", false, 31, true, false, 40},
        {"set serveroutput on", true, 31, true, false, 40},
        {"set serverout off", true, 31, true, false, 40},
        {"set server on", false, 31, true, false, 40},
        {"set fe off", false, 31, true, false, 40},
        {"set feedbacks off", false, 31, true, false, 40},
    };
    for (const auto& c : cases) {
        TOracleScript script;
        script.Lines().SetText(c.Command);
        ASSERT_EQ(script.Commands().Count(), 1) << c.Command;
        EXPECT_EQ(script.Commands()[0].Execute(), c.Handled) << c.Command;
        EXPECT_EQ(script.OutputOptions.Bits(), c.Options) << c.Command;
        EXPECT_EQ(script.ScanVariables, c.Scan) << c.Command;
        EXPECT_EQ(script.ExitOnError, c.ExitOnError) << c.Command;
        EXPECT_EQ(script.ColWidth, c.ColWidth) << c.Command;
    }
}

TEST_F(ScriptClientTest, HandledFlags) {
    const struct {
        const char* Command;
        bool Handled;
    } cases[] = {
        {"remark x", true}, {"rema", true}, {"re x", false}, {"prompt", true}, {"/", false},
        {"hello world", false}, {"undef x", true}, {"define", true}, {"exit", true}, {"quit;", true},
        {"disc", true},
    };
    for (const auto& c : cases) {
        TOracleScript script;
        script.Lines().SetText(c.Command);
        ASSERT_EQ(script.Commands().Count(), 1) << c.Command;
        EXPECT_EQ(script.Commands()[0].CommandType(), ctNonSQL) << c.Command;
        EXPECT_EQ(script.Commands()[0].Execute(), c.Handled) << c.Command;
        EXPECT_EQ(script.Commands()[0].ErrorCode(), 0) << c.Command;
    }
}

// Command and option words come from the substituted text of this run.
TEST_F(ScriptClientTest, SubstitutedCommandWords) {
    FScript.OutputOptions = TScriptOutputOptions{};
    FScript.Lines().SetText("&cmd &opt off\r\nprompt done\r\n");
    FScript.SetVariable("cmd", "set");
    FScript.SetVariable("opt", "feedback");
    EXPECT_TRUE(FScript.Execute());
    EXPECT_FALSE(FScript.OutputOptions.Contains(ooFeedback));
    FScript.SetVariable("opt", "scan");
    EXPECT_TRUE(FScript.Execute());
    EXPECT_FALSE(FScript.ScanVariables);
}

TEST_F(ScriptClientTest, ExitEndsTheRun) {
    int after = 0;
    FScript.AfterCommand = [&](TOracleScript&, bool&) { ++after; };
    EXPECT_TRUE(Run("prompt one\r\nexit\r\nprompt two\r\n"));
    EXPECT_TRUE(FScript.Finished());
    EXPECT_EQ(FScript.CommandIndex(), 3);
    EXPECT_EQ(after, 1); // the exit command gets no AfterCommand
    EXPECT_EQ(Lines(FScript.Output()), (std::vector<std::string>{"prompt one", "", "one", "exit", ""}));
    // A later run starts again at the first command and appends to the output.
    EXPECT_TRUE(FScript.Execute());
    EXPECT_EQ(FScript.Output().Count(), 10);
}

// OnCommand may handle a command itself or jump; AfterCommand sees the handled flag.
TEST_F(ScriptClientTest, CallbacksHandleAndJump) {
    std::vector<std::string> trace;
    FScript.OutputOptions = TScriptOutputOptions{};
    FScript.OnCommand = [&](TOracleScript& s, bool& handled) {
        trace.push_back("on " + std::to_string(s.CommandIndex()));
        if (s.CurrentCommand()->Text() == "prompt skipped") handled = true;
        if (s.CurrentCommand()->Text() == "prompt jump") s.SetCommandIndex(4);
    };
    FScript.AfterCommand = [&](TOracleScript& s, bool& handled) {
        trace.push_back("after " + std::to_string(s.CommandIndex()) + (handled ? " handled" : ""));
    };
    std::vector<std::string> shown;
    FScript.OnOutput = [&](TOracleScript&, const std::string& msg) { shown.push_back(msg); };
    Run("prompt skipped\r\nprompt jump\r\nprompt never\r\nprompt never again\r\n/\r\nprompt last\r\n");
    EXPECT_EQ(trace, (std::vector<std::string>{"on 0", "after 0 handled", "on 1", "on 4", "after 4", "on 5",
                                               "after 5 handled"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"last"}));
    EXPECT_EQ(Lines(FScript.Output()), shown);
}

TEST_F(ScriptClientTest, OutputLinesAndFinished) {
    std::vector<std::string> shown;
    FScript.OnOutput = [&](TOracleScript&, const std::string& msg) { shown.push_back(msg); };
    FScript.AddOutput("");
    FScript.AddOutput("a\r\nb\nc\rd\r\n");
    FScript.AddOutput("\r\n\r\ne");
    const std::vector<std::string> expected = {"", "a", "b", "c", "d", "", "", "e"};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(Lines(FScript.Output()), expected);

    FScript.Lines().SetText("prompt 1\r\nprompt 2\r\n");
    EXPECT_FALSE(FScript.Finished());
    FScript.SetFinished(false);
    EXPECT_EQ(FScript.CommandIndex(), 0);
    FScript.SetFinished(true);
    EXPECT_EQ(FScript.CommandIndex(), 2);
    EXPECT_TRUE(FScript.Finished());
}

TEST_F(ScriptClientTest, PauseAndDebugShowMessageBoxes) {
    FScript.OutputOptions = TScriptOutputOptions{};
    Run("pause 'Press OK'\r\n");
    FScript.Debug = true;
    Run("prompt &x\r\n");
    const auto shown = FUI.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].Text, "Press OK");
    EXPECT_EQ(shown[1].Text, "prompt ");
}

// The run's cursor is shown while it runs and restored after, also when a failure leaves it.
TEST_F(ScriptClientTest, CursorDuringTheRun) {
    FUI.SetCursor(5);
    FScript.OutputOptions = TScriptOutputOptions{};
    std::vector<int> seen;
    FScript.OnCommand = [&](TOracleScript& s, bool&) {
        seen.push_back(FUI.Cursor());
        if (s.CommandIndex() == 1) throw Exception("stop here");
    };
    FScript.Lines().SetText("prompt 1\r\nprompt 2\r\nprompt 3\r\n");
    FScript.Cursor = platform::crHourGlass;
    EXPECT_THROW(FScript.Execute(), Exception);
    EXPECT_EQ(seen, (std::vector<int>{platform::crHourGlass, platform::crHourGlass}));
    EXPECT_EQ(FUI.Cursor(), 5);
    EXPECT_EQ(FScript.CommandIndex(), 1); // stays at the failing command

    // Cursor 0 leaves the cursor alone.
    FScript.Cursor = 0;
    FScript.OnCommand = nullptr;
    const std::size_t changes = FUI.CursorChanges().size();
    EXPECT_TRUE(FScript.Execute());
    EXPECT_EQ(FUI.CursorChanges().size(), changes);
}

// A session destroyed before the script detaches it; the script's query forgets it too.
TEST_F(ScriptClientTest, SessionDestroyedFirst) {
    auto session = std::make_unique<TOracleSession>();
    FScript.SetSession(session.get());
    EXPECT_EQ(FScript.Query().Session(), session.get());
    EXPECT_EQ(session->Scripts.Count(), 1);
    TOracleSession other;
    FScript.SetSession(&other);
    EXPECT_EQ(session->Scripts.Count(), 0);
    EXPECT_EQ(other.Scripts.Count(), 1);
    FScript.SetSession(session.get());
    session.reset();
    EXPECT_EQ(FScript.Session(), nullptr);
    EXPECT_EQ(FScript.Query().Session(), nullptr);
    EXPECT_EQ(other.Scripts.Count(), 0);
}

// A callback that edits the script while a command runs: the running command stays, the new
// text becomes the commands once it is over, and deleting commands is refused.
TEST_F(ScriptClientTest, EditsDuringARun) {
    FScript.OutputOptions = TScriptOutputOptions{};
    bool edited = false;
    FScript.OnOutput = [&](TOracleScript& s, const std::string& msg) {
        if (msg == "one" && !edited) {
            edited = true;
            s.Lines().SetText("prompt a\r\nprompt b\r\nprompt c\r\n");
            s.BuildCommands();
            EXPECT_EQ(s.CurrentCommand()->Text(), "prompt one");
            EXPECT_THROW(s.Commands().Delete(0), Exception);
            EXPECT_THROW(s.Commands().Clear(), Exception);
        }
    };
    Run("prompt one\r\nprompt two\r\n");
    // After the first command the run went on at index 1 of the new commands.
    EXPECT_EQ(Lines(FScript.Output()), (std::vector<std::string>{"one", "b", "c"}));
    EXPECT_EQ(FScript.Commands().Count(), 3);
    FScript.Commands().Delete(0); // allowed again after the run
    EXPECT_EQ(FScript.Commands().Count(), 2);
}

// A script whose lines change gets new commands; the old current command is forgotten.
TEST_F(ScriptClientTest, RebuiltCommandsForgetTheCurrentOne) {
    Run("prompt 1\r\n");
    EXPECT_NE(FScript.CurrentCommand(), nullptr);
    FScript.Lines().Add("prompt 2");
    EXPECT_EQ(FScript.Commands().Count(), 2);
    EXPECT_EQ(FScript.CurrentCommand(), nullptr);
}

// Deleting or clearing commands after a run forgets the current command when it goes with them.
TEST_F(ScriptClientTest, DeletedCommandsAreNotLeftCurrent) {
    Run("prompt 1\r\nprompt 2\r\n");
    TOracleCommand* last = FScript.CurrentCommand();
    ASSERT_EQ(last, &FScript.Commands().Items(1));
    FScript.Commands().Delete(0);
    EXPECT_EQ(FScript.CurrentCommand(), last) << "another command's deletion keeps it";
    FScript.Commands().Delete(0);
    EXPECT_EQ(FScript.CurrentCommand(), nullptr);
    Run("prompt 3\r\n");
    EXPECT_NE(FScript.CurrentCommand(), nullptr);
    FScript.Commands().Clear();
    EXPECT_EQ(FScript.CurrentCommand(), nullptr);
}

} // namespace
