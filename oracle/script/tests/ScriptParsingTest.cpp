#include "oracle/script/ScriptParsing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace quorvel;

namespace {

struct Expected {
    TCommandType type;
    std::string text;
    int line;
    int pos;
};

struct SplitCase {
    const char* name;
    const char* script; // lines separated by \n
    std::vector<Expected> commands;
    bool allSQL = false;
};

std::vector<std::string> LinesOf(const char* script) { return SplitTextLines(script); }

void ExpectSplit(const SplitCase& c) {
    const TScriptSplit split = SplitScript(LinesOf(c.script), c.allSQL);
    ASSERT_EQ(split.Commands.size(), c.commands.size()) << c.name;
    for (std::size_t i = 0; i < c.commands.size(); ++i) {
        const auto& got = split.Commands[i];
        const auto& want = c.commands[i];
        EXPECT_EQ(got.CommandType, want.type) << c.name << " #" << i;
        EXPECT_EQ(got.Text, want.text) << c.name << " #" << i;
        EXPECT_EQ(got.ScriptLine, want.line) << c.name << " #" << i;
        EXPECT_EQ(got.ScriptPos, want.pos) << c.name << " #" << i;
    }
}

TEST(SplitScript, Terminators) {
    const SplitCase cases[] = {
        {"semicolon", "select * from dual;", {{ctSQL, "select * from dual", 0, 0}}},
        {"slash line ends sql", "select 1\nfrom dual\n/\nselect 2 from dual;",
         {{ctSQL, "select 1\r\nfrom dual", 0, 0}, {ctSQL, "select 2 from dual", 3, 24}}},
        {"several lines", "update t\n   set a = 1\n where b = 2;\n",
         {{ctSQL, "update t\r\n   set a = 1\r\n where b = 2", 0, 0}}},
        {"semicolon in literal", "select 'a;b' from dual;", {{ctSQL, "select 'a;b' from dual", 0, 0}}},
        {"semicolon in comment", "select 1 /* ; */\nfrom dual -- ;\n;",
         {{ctSQL, "select 1 /* ; */\r\nfrom dual -- ;", 0, 0}}},
        {"literal across lines", "insert into t values ('a;\nb;\nc');\ncommit;",
         {{ctSQL, "insert into t values ('a;\r\nb;\r\nc')", 0, 0}, {ctSQL, "commit", 3, 37}}},
        {"block comment across lines", "select 1 /* a;\n b; */ from dual;",
         {{ctSQL, "select 1 /* a;\r\n b; */ from dual", 0, 0}}},
        {"trailing comment cut", "insert into t values (1); -- comment",
         {{ctSQL, "insert into t values (1)", 0, 0}}},
        {"trailing block comment cut", "insert into t values (1); /* one row */",
         {{ctSQL, "insert into t values (1)", 0, 0}}},
        {"two statements one line", "delete from a; delete from b;", {{ctSQL, "delete from a; delete from b", 0, 0}}},
        {"no terminator at end", "select 1 from dual", {{ctSQL, "select 1 from dual", 0, 0}}},
        {"set role is sql", "SET ROLE all;", {{ctSQL, "SET ROLE all", 0, 0}}},
        {"set transaction is sql", "set transaction read only;\n", {{ctSQL, "set transaction read only", 0, 0}}},
    };
    for (const auto& c : cases) ExpectSplit(c);
}

TEST(SplitScript, PlsqlUnits) {
    const SplitCase cases[] = {
        {"anonymous block", "begin\n  null;\nend;\n/", {{ctPLSQL, "begin\r\n  null;\r\nend;", 0, 0}}},
        {"declare block then sql", "declare\n  x number;\nbegin\n  x := 1;\nend;\n/\nselect 1 from dual;",
         {{ctPLSQL, "declare\r\n  x number;\r\nbegin\r\n  x := 1;\r\nend;", 0, 0},
          {ctSQL, "select 1 from dual", 6, 49}}},
        {"block without slash swallows the rest", "begin\n  null;\nend;\nselect 1 from dual;\n/\ncommit;",
         {{ctPLSQL, "begin\r\n  null;\r\nend;\r\nselect 1 from dual;", 0, 0}, {ctSQL, "commit", 5, 46}}},
        {"block to end of script", "begin\n  null;\nend;", {{ctPLSQL, "begin\r\n  null;\r\nend;", 0, 0}}},
        {"package", "create or replace package p as\n  procedure x;\nend;\n/",
         {{ctPLSQL, "create or replace package p as\r\n  procedure x;\r\nend;", 0, 0}}},
        {"package body", "CREATE OR REPLACE PACKAGE BODY p AS\nPROCEDURE x IS BEGIN NULL; END;\nEND;\n/",
         {{ctPLSQL, "CREATE OR REPLACE PACKAGE BODY p AS\r\nPROCEDURE x IS BEGIN NULL; END;\r\nEND;", 0, 0}}},
        {"procedure", "create procedure p is\nbegin\n  null;\nend;\n/",
         {{ctPLSQL, "create procedure p is\r\nbegin\r\n  null;\r\nend;", 0, 0}}},
        {"function", "create or replace function f return number is begin return 1; end;\n/",
         {{ctPLSQL, "create or replace function f return number is begin return 1; end;", 0, 0}}},
        {"trigger", "create or replace trigger t\n  before insert on x for each row\nbegin\n  null;\nend;\n/",
         {{ctPLSQL, "create or replace trigger t\r\n  before insert on x for each row\r\nbegin\r\n  null;\r\nend;", 0, 0}}},
        {"type body", "create type body t as\n  member function f return number is begin return 1; end;\nend;\n/",
         {{ctPLSQL, "create type body t as\r\n  member function f return number is begin return 1; end;\r\nend;", 0, 0}}},
        {"java", "create and compile java source named \"X\" as\npublic class X {};\n/",
         {{ctPLSQL, "create and compile java source named \"X\" as\r\npublic class X {};", 0, 0}}},
        {"or replace and compile java",
         "create or replace and compile java source named \"Y\" as\npublic class Y {};\n/",
         {{ctPLSQL, "create or replace and compile java source named \"Y\" as\r\npublic class Y {};", 0, 0}}},
        {"object type is sql, slash after it is a client command", "create type t as object (a number);\n/",
         {{ctSQL, "create type t as object (a number)", 0, 0}, {ctNonSQL, "/", 1, 37}}},
        {"create table is sql", "create table t (a number);", {{ctSQL, "create table t (a number)", 0, 0}}},
        {"slash with comment", "begin\n  null;\nend;\n/ -- run\ncommit;",
         {{ctPLSQL, "begin\r\n  null;\r\nend;", 0, 0}, {ctSQL, "commit", 4, 32}}},
        {"indented slash does not end a unit", "begin\n  null;\nend;\n   /\n/",
         {{ctPLSQL, "begin\r\n  null;\r\nend;\r\n   /", 0, 0}}},
        {"slash in literal does not end a unit", "begin\n  x := '\n/\n';\nend;\n/",
         {{ctPLSQL, "begin\r\n  x := '\r\n/\r\n';\r\nend;", 0, 0}}},
        {"unit keyword found past the third word", "create\nor\nreplace\nprocedure p is begin null; end;\n/",
         {{ctPLSQL, "create\r\nor\r\nreplace\r\nprocedure p is begin null; end;", 0, 0}}},
    };
    for (const auto& c : cases) ExpectSplit(c);
}

TEST(SplitScript, ClientCommandsCommentsAndBlanks) {
    const SplitCase cases[] = {
        {"client commands are one line", "SET ECHO OFF\nREM note\nprompt Hello\nselect 1 from dual;",
         {{ctNonSQL, "SET ECHO OFF", 0, 0}, {ctNonSQL, "REM note", 1, 14}, {ctNonSQL, "prompt Hello", 2, 24},
          {ctSQL, "select 1 from dual", 3, 38}}},
        {"client command keeps its semicolon", "define x = 1;", {{ctNonSQL, "define x = 1;", 0, 0}}},
        {"blank lines before a command", "\n   \n\nselect 1 from dual;", {{ctSQL, "select 1 from dual", 3, 9}}},
        {"comment lines belong to the next command", "\n-- first\n/* second */\nselect 1 from dual;",
         {{ctSQL, "-- first\r\n/* second */\r\nselect 1 from dual", 1, 2}}},
        {"comments at the end", "select 1 from dual;\n\n-- the end\n-- really",
         {{ctSQL, "select 1 from dual", 0, 0}, {ctNonSQL, "-- the end\r\n-- really", 2, 23}}},
        {"client command after a comment line", "-- note\nprompt x", {{ctNonSQL, "-- note\r\nprompt x", 0, 0}}},
        {"trailing blanks are dropped", "select 1 from dual;   \n  ", {{ctSQL, "select 1 from dual", 0, 0}}},
        {"all sql: prompt runs on to a semicolon", "PROMPT x\nmore;\nnext;",
         {{ctSQL, "PROMPT x\r\nmore", 0, 0}, {ctSQL, "next", 2, 17}}, true},
        {"empty script", "", {}},
        {"only blanks", "\n \n\t\n", {}},
    };
    for (const auto& c : cases) ExpectSplit(c);
}

TEST(SplitScript, LinesWithEmbeddedBreaksAreSplit) {
    const TScriptSplit split = SplitScript({"select 1\rfrom dual;", "commit;"}, false);
    EXPECT_EQ(split.Lines, (std::vector<std::string>{"select 1", "from dual;", "commit;"}));
    EXPECT_EQ(split.OriginalTextLength, 30);
    ASSERT_EQ(split.Commands.size(), 2u);
    EXPECT_EQ(split.Commands[1].ScriptLine, 2);
}

TEST(ClassificationWords, SqlAndUnitTests) {
    EXPECT_EQ(ClassificationWords("  create or replace\r\n\"Pkg\".x$1 (a) @f; "),
              (std::vector<std::string>{"CREATE", "OR", "REPLACE", "\"PKG\".X$1", "A", "@F"}));
    struct Case {
        const char* text;
        TCommandType type;
    } const cases[] = {
        {"select 1", ctSQL},
        {"WITH x AS (select 1 from dual) select * from x", ctSQL},
        {"merge into t using s on (1=1)", ctSQL},
        {"set constraints all deferred", ctSQL},
        {"set serveroutput on", ctNonSQL},
        {"create type t as object (a number)", ctSQL},
        {"create or replace type body t as end;", ctPLSQL},
        {"create or replace and compile java source named x as", ctPLSQL},
        {"create or package", ctSQL},
        {"-- comment\r\nbegin null; end;", ctPLSQL},
        {"/* select */ prompt", ctNonSQL},
        {"", ctNonSQL},
        {"selec * from t", ctNonSQL},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyCommandText(c.text, false), c.type) << c.text;
    EXPECT_EQ(ClassifyCommandText("prompt x", true), ctSQL);
    EXPECT_EQ(ClassifyCommandText("declare x number; begin null; end;", true), ctPLSQL);
}

TEST(CommentProperty, KeyValueLinesAndUnquoting) {
    const std::string text = "-- nothing here\r\n-- owner = me\r\n--Name= \"Create tables\" \r\n-- name = later\r\ncreate table t";
    EXPECT_EQ(CommentProperty(text, "name"), "Create tables");
    EXPECT_EQ(CommentProperty(text, "OWNER"), "me");
    EXPECT_EQ(CommentProperty(text, "missing"), "");
    EXPECT_EQ(CommentProperty("select 1 -- name = x", "name"), "");
    EXPECT_EQ(CommentProperty("--=x\r\n-- a = b = c", "a"), "b = c");

    struct Case {
        const char* in;
        const char* out;
    } const cases[] = {
        {"  \"quoted\"  ", "quoted"}, {"'single'", "single"}, {"\"x\"", "x"}, {"\"\"", "\"\""},
        {" \"\" ", ""},                 {"  \"  ", "\""},       {"'mixed\"", "'mixed\""}, {"plain", "plain"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(UnquoteText(c.in), c.out) << c.in;
}

TEST(SplitCommandWords, BlanksSeparateAndCommentsGo) {
    EXPECT_EQ(SplitCommandWords("  prompt\tHello,  \"big\"\r\nworld; -- bye"),
              (std::vector<std::string>{"prompt", "Hello,", "\"big\"", "world;"}));
    EXPECT_TRUE(SplitCommandWords("/* only */").empty());
}

TEST(JoinScriptCommands, RegeneratesTerminatorsAndSpacing) {
    const std::vector<TScriptPiece> pieces = {
        {"prompt start", ctNonSQL},
        {"create table t (a number)", ctSQL},
        {"begin\r\n  null;\r\nend;", ctPLSQL},
        {"insert into t values (1);", ctSQL},
        {"select a\r\nfrom t", ctSQL},
        {"select b\r\nfrom t", ctSQL},
        {"commit", ctSQL},
    };
    EXPECT_EQ(JoinScriptCommands(pieces),
              "prompt start\r\n"
              "create table t (a number);\r\n"
              "\r\n"
              "begin\r\n  null;\r\nend;\r\n/\r\n"
              "\r\n"
              "insert into t values (1);\r\n"
              "\r\n"
              "select a\r\nfrom t;\r\n"
              "\r\n"
              "select b\r\nfrom t;\r\n"
              "\r\n"
              "commit;");
}

TEST(JoinScriptCommands, StatementEndingInACommentIsEndedByASlashLine) {
    // A ";" appended after "-- note" would be part of the comment.
    const std::vector<TScriptPiece> pieces = {
        {"select 1 from dual -- note", ctSQL},
        {"select 2 from dual -- ends with;", ctSQL},
        {"select 3 from dual /* open", ctSQL},
        {"select 4 from dual", ctSQL},
    };
    const std::string text = JoinScriptCommands(pieces);
    EXPECT_EQ(text,
              "select 1 from dual -- note\r\n/\r\n"
              "select 2 from dual -- ends with;\r\n/\r\n"
              "select 3 from dual /* open\r\n/\r\n"
              "select 4 from dual;");
    const TScriptSplit split = SplitScript(SplitTextLines(text), false);
    ASSERT_EQ(split.Commands.size(), 3u); // the open comment still runs to the end
    EXPECT_EQ(split.Commands[0].Text, "select 1 from dual -- note");
    EXPECT_EQ(split.Commands[1].Text, "select 2 from dual -- ends with;");
}

TEST(JoinScriptCommands, SplitsBackIntoTheSameCommands) {
    const char* script =
        "prompt start\nset echo off\ncreate table t (a number);\nbegin\n  null;\nend;\n/\n"
        "insert into t values (1);\nselect a\nfrom t;\ncreate or replace package p as\nend;\n/\ncommit;\n"
        "select 1 from dual -- one\n/\n";
    const TScriptSplit first = SplitScript(SplitTextLines(script), false);
    const TScriptSplit second = SplitScript(SplitTextLines(JoinScriptCommands(first.Commands)), false);
    ASSERT_EQ(first.Commands.size(), 9u);
    ASSERT_EQ(second.Commands.size(), first.Commands.size());
    for (std::size_t i = 0; i < first.Commands.size(); ++i) {
        EXPECT_EQ(second.Commands[i].Text, first.Commands[i].Text);
        EXPECT_EQ(second.Commands[i].CommandType, first.Commands[i].CommandType);
    }
}

std::vector<std::string> ModuleLines(const char* file) {
    std::ifstream in(std::string(QUORVEL_SCRIPT_TEST_DATA) + "/" + file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return SplitTextLines(ss.str());
}

struct ModuleCommand {
    TCommandType type;
    const char* firstWords; // the first words of the text after its comment lines
};

void ExpectModule(const char* file, const std::vector<ModuleCommand>& expected) {
    const auto lines = ModuleLines(file);
    ASSERT_FALSE(lines.empty()) << file;
    const TScriptSplit split = SplitScript(lines, false);
    ASSERT_EQ(split.Commands.size(), expected.size()) << file;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& c = split.Commands[i];
        EXPECT_EQ(c.CommandType, expected[i].type) << file << " #" << i << ": " << c.Text;
        // The command's text starts with its first line in the script.
        const std::string first = SplitTextLines(c.Text).front();
        EXPECT_TRUE(lines[std::size_t(c.ScriptLine)].starts_with(first)) << file << " #" << i;
        std::string body;
        for (const auto& line : SplitTextLines(c.Text))
            if (!line.starts_with("--") || !body.empty()) body += (body.empty() ? "" : "\n") + line;
        EXPECT_TRUE(body.starts_with(expected[i].firstWords)) << file << " #" << i << ": " << body;
        EXPECT_FALSE(c.Text.ends_with("/")) << file << " #" << i;
    }
}

TEST(SplitScript, WarehouseModule) {
    ExpectModule("warehouse.sql", {
        {ctNonSQL, "prompt Installing the warehouse module"},
        {ctNonSQL, "set feedback on"},
        {ctNonSQL, "define prefix = WH"},
        {ctSQL, "create sequence &prefix._item_seq"},
        {ctSQL, "create table &prefix._category ("},
        {ctSQL, "create table &prefix._item ("},
        {ctSQL, "create index"},
        {ctSQL, "comment on table"},
        {ctSQL, "comment on column"},
        {ctPLSQL, "create or replace trigger &prefix._item_bi"},
        {ctPLSQL, "create or replace package &prefix._stock as"},
        {ctPLSQL, "create or replace package body &prefix._stock as"},
        {ctSQL, "create or replace view"},
        {ctSQL, "insert into &prefix._category (category_id, name, note) values (1,"},
        {ctSQL, "insert into &prefix._category (category_id, name) values (2,"},
        {ctSQL, "insert into &prefix._category (category_id, name, note) values (3,"},
        {ctSQL, "insert into &prefix._item (category_id, code, title, price, weight_kg)\nvalues (1,"},
        {ctSQL, "insert into &prefix._item (category_id, code, title, price)\nvalues (2,"},
        {ctPLSQL, "declare"},
        {ctSQL, "update &prefix._item set weight_kg"},
        {ctSQL, "commit"},
        {ctSQL, "select code, title, price"},
        {ctPLSQL, "begin\n  &prefix._stock.reprice(2, 10);"},
        {ctSQL, "select &prefix._stock.item_count(2)"},
        {ctSQL, "grant select"},
        {ctNonSQL, "prompt Warehouse module installed"},
    });
    const TScriptSplit split = SplitScript(ModuleLines("warehouse.sql"), false);
    // The package body keeps every line up to its final END and its ";".
    EXPECT_TRUE(split.Commands[11].Text.ends_with("  end reprice;\r\nend &prefix._stock;"));
    EXPECT_EQ(split.Commands[0].ScriptLine, 0);
    EXPECT_EQ(split.Commands[3].ScriptLine, 6);
}

TEST(SplitScript, BrokenModule) {
    ExpectModule("broken.sql", {
        {ctSQL, "create table bad_demo"},
        {ctSQL, "insert into bad_demo values (1, 'first')"},
        {ctSQL, "insert into bad_demo values (1, 'duplicate key')"},
        {ctSQL, "insert into missing_table"},
        {ctNonSQL, "selec * from bad_demo;"},
        {ctPLSQL, "create or replace procedure bad_demo_proc is\nbegin"},
        {ctSQL, "insert into bad_demo values (2,"},
        {ctSQL, "update bad_demo"},
        {ctSQL, "commit"},
        {ctSQL, "select id, name from bad_demo"},
        {ctSQL, "drop table bad_demo"},
    });
}

} // namespace
