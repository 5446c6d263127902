// Scripts on the stand-in client: SQL and PL/SQL commands with their feedback, errors and
// fetched rows, commits, connect and disconnect commands, and whole module scripts. Every test
// has its own database directory and registry hives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "oracle/ci/OracleCI.h"
#include "oracle/query/OracleQuery.h"
#include "oracle/script/OracleScript.h"
#include "oracle/session/OracleSession.h"
#include "platform/HeadlessUIServices.h"

using namespace quorvel;

namespace {

std::string StandInHome() {
    const char* home = std::getenv("QUORVEL_STANDIN_HOME");
    return home ? home : "";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ScriptStandinTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (StandInHome().empty()) GTEST_SKIP() << "QUORVEL_STANDIN_HOME is not set";
        char pattern[] = "/tmp/quorvel-script-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        FRoot = pattern;
        std::filesystem::create_directories(FRoot + "/registry");
        ::setenv("QUORVEL_REGISTRY_DIR", (FRoot + "/registry").c_str(), 1);
        ::setenv("ORACLE_HOME", StandInHome().c_str(), 1);
        OCIDLL = StandInHome() + "/lib/libclntsh.so";
        FSavedUI = platform::SetUIServices(&FUI);
        FSession = std::make_unique<TOracleSession>();
        FSession->SetLogonUsername("scott/tiger@" + Database());
        FSession->LogOn();
        FScript = std::make_unique<TOracleScript>();
        FScript->SetSession(FSession.get());
    }

    void TearDown() override {
        FScript.reset();
        FSession.reset();
        if (FSavedUI || !FRoot.empty()) platform::SetUIServices(FSavedUI);
        OracleShutdown();
        ::unsetenv("QUORVEL_REGISTRY_DIR");
        if (!FRoot.empty()) std::filesystem::remove_all(FRoot);
    }

    std::string Database() const { return FRoot + "/db"; }

    bool Run(const std::string& text) {
        FScript->Lines().SetText(text);
        return FScript->Execute();
    }

    std::vector<std::string> Output() const { return FScript->Output().ToVector(); }

    // The value of a one-row, one-column query on a separate statement of the session.
    std::string QueryValue(const std::string& sql) {
        TOracleQuery q;
        q.SetSession(FSession.get());
        q.SQL().SetText(sql);
        q.Execute();
        return q.Eof() ? std::string("<none>") : q.FieldAsString(0);
    }

    // Whether the stand-in refused a command as not implemented (PL/SQL it does not run yet).
    static bool PLSQLMissing(const TOracleCommand& command) { return command.ErrorCode() == 3001; }

    std::string FRoot;
    platform::HeadlessUIServices FUI;
    platform::IUIServices* FSavedUI = nullptr;
    std::unique_ptr<TOracleSession> FSession;
    std::unique_ptr<TOracleScript> FScript;
};

TEST_F(ScriptStandinTest, StatementsWithFeedback) {
    EXPECT_TRUE(Run("create table t (a number);\r\ninsert into t values (1);\r\n"));
    EXPECT_EQ(Output(), (std::vector<std::string>{"create table t (a number)", "", "Table created", "",
                                                  "insert into t values (1)", "", "1 row inserted", ""}));
    const TOracleCommand& insert = FScript->Commands()[1];
    EXPECT_EQ(insert.FunctionType(), 3);
    EXPECT_EQ(insert.RowsProcessed(), 1);
    EXPECT_EQ(insert.ErrorCode(), 0);
}

TEST_F(ScriptStandinTest, FailingStatementIsRecordedAndTheRunGoesOn) {
    int errors = 0, after = 0;
    FScript->OnError = [&](TOracleScript& s) {
        ++errors;
        EXPECT_EQ(s.CurrentCommand()->ErrorCode(), 942);
    };
    FScript->AfterCommand = [&](TOracleScript&, bool&) { ++after; };
    FScript->OutputOptions = TScriptOutputOptions{ooError, ooFeedback};
    EXPECT_FALSE(Run("insert into missing_table values (1);\r\ncreate table t (a number);\r\n"));
    const std::vector<std::string> out = Output();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].rfind("ORA-00942: table or view does not exist", 0), 0u) << out[0];
    EXPECT_EQ(out[1], "");
    EXPECT_EQ(out[2], "Table created");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(after, 2);
    const TOracleCommand& failed = FScript->Commands()[0];
    EXPECT_EQ(failed.ErrorCode(), 942);
    EXPECT_EQ(failed.ErrorMessage().rfind(out[0], 0), 0u) << failed.ErrorMessage();

    // With SET EXIT ON the run stops after the failing command, which gets no AfterCommand.
    FScript->Output().Clear();
    after = 0;
    EXPECT_FALSE(Run("set exit on\r\ninsert into missing_table values (1);\r\ncreate table u (a number);\r\n"));
    EXPECT_TRUE(FScript->Finished());
    EXPECT_EQ(after, 1);
    EXPECT_EQ(Output().size(), 2u);
    EXPECT_EQ(QueryValue("select count(*) from user_tables where table_name = 'U'"), "0");
}

TEST_F(ScriptStandinTest, QueryRowsInColumns) {
    Run("create table items (id number(6), code varchar2(8), price number(12,2), note varchar2(60), "
        "made date);\r\n"
        "insert into items values (7, 'A-1', 19.5, 'first', null);\r\n"
        "insert into items values (12345, 'B-22', null, null, null);\r\n");
    FScript->Output().Clear();
    FScript->OutputOptions = TScriptOutputOptions{ooData, ooFeedback};
    int rows = 0;
    FScript->OnData = [&](TOracleScript& s) {
        ++rows;
        EXPECT_FALSE(s.Query().Eof());
    };
    EXPECT_TRUE(Run("select id, code, price, note, made from items order by id;\r\n"));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(Output(), (std::vector<std::string>{
                            "     ID CODE              PRICE NOTE                                     MADE       ",
                            "------- -------- -------------- ---------------------------------------- -----------",
                            "      7 A-1               19.50 first                                               ",
                            "  12345 B-22                                                                        ",
                            "",
                            "2 rows selected",
                            ""}));

    // SET COLWIDTH cuts wide columns and their headings; SET TERMOUT OFF leaves the rows out.
    FScript->Output().Clear();
    EXPECT_TRUE(Run("set colwidth 3\r\nselect note as long_heading from items order by id;\r\n"
                    "set termout off\r\nselect * from items;\r\n"));
    EXPECT_EQ(Output(), (std::vector<std::string>{"LON", "---", "fir", "   ", "", "2 rows selected", "",
                                                  "2 rows selected", ""}));
}

TEST_F(ScriptStandinTest, SubstitutedStatementsAndSettingsThatLast) {
    FScript->OutputOptions = TScriptOutputOptions{ooSQL, ooFeedback};
    EXPECT_FALSE(Run("define tab = emp\r\nselect count(*) from &tab.x;\r\nselect '\\&tab' t from dual;\r\n"
                    "create table empx (a number);\r\nselect count(*) from &tab.x;\r\n"));
    const std::vector<std::string> out = Output();
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(FScript->Commands()[1].SubstitutedText(), "select count(*) from empx");
    EXPECT_EQ(FScript->Commands()[1].ErrorCode(), 942);
    EXPECT_EQ(FScript->Commands()[2].SubstitutedText(), "select '&tab' t from dual");
    EXPECT_EQ(FScript->Commands()[4].ErrorCode(), 0);

    // SET FEED OFF lasts for this and every later run of the script.
    FScript->Output().Clear();
    EXPECT_TRUE(Run("set feed off\r\ninsert into empx values (1);\r\n"));
    EXPECT_TRUE(FScript->Execute());
    EXPECT_EQ(Output(), (std::vector<std::string>{"insert into empx values (1)", "", "insert into empx values (1)", ""}));
}

TEST_F(ScriptStandinTest, AutoCommitAndExplicitCommit) {
    Run("create table t (a number);\r\n");
    auto other = std::make_unique<TOracleSession>();
    other->SetLogonUsername("scott/tiger@" + Database());
    other->LogOn();
    auto countSeenByOther = [&]() {
        TOracleQuery q;
        q.SetSession(other.get());
        q.SQL().SetText("select count(*) from t");
        q.Execute();
        return q.FieldAsString(0);
    };
    Run("insert into t values (1);\r\n");
    EXPECT_EQ(countSeenByOther(), "0");
    FScript->AutoCommit = true;
    Run("insert into t values (2);\r\n");
    EXPECT_EQ(countSeenByOther(), "2");
    FScript->AutoCommit = false;
    FScript->Output().Clear();
    Run("insert into t values (3);\r\ncommit;\r\nrollback;\r\n");
    EXPECT_EQ(countSeenByOther(), "3");
}

TEST_F(ScriptStandinTest, CommitAndRollbackFeedback) {
    FScript->OutputOptions = TScriptOutputOptions{ooFeedback};
    Run("commit;\r\nrollback;\r\nsavepoint s1;\r\n");
    EXPECT_EQ(FScript->Commands()[0].FunctionType(), 54);   // the client's function code of COMMIT
    EXPECT_EQ(Output(), (std::vector<std::string>{"Commit complete", "", "Rollback complete", "", "Savepoint created", ""}));
}

// Connect and disconnect commands change the script's session.
TEST_F(ScriptStandinTest, ConnectAndDisconnect) {
    FScript->OutputOptions = TScriptOutputOptions{};
    EXPECT_TRUE(Run("disconnect\r\nconnect system/manager@" + Database() + "\r\nselect user from dual;\r\n"));
    EXPECT_TRUE(FSession->Connected());
    EXPECT_EQ(FSession->LogonUsername(), "system");
    EXPECT_EQ(Output(), (std::vector<std::string>{"Disonnected", "", "Connecting as system/manager@" + Database(), ""}));

    // A wrong password: the logon reports in its dialog, the script says it is not logged on.
    FScript->Output().Clear();
    FUI.QueueLogonAnswer(platform::DialogResult::Cancel);
    FUI.QueueLogonAnswer(platform::DialogResult::Cancel);
    FUI.QueueLogonAnswer(platform::DialogResult::Cancel);
    Run("conn scott/wrong@" + Database() + "\r\n");
    EXPECT_FALSE(FSession->Connected());
    const std::vector<std::string> out = Output();
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.front(), "Connecting as scott/wrong@" + Database());
    EXPECT_EQ(out[out.size() - 3], "Connection failed, not logged on");

    // A user name without a password shows the dialog; cancelling it leaves the session off.
    FScript->Output().Clear();
    const std::size_t shownBefore = FUI.Shown().size();
    FUI.QueueLogonAnswer(platform::DialogResult::Cancel);
    Run("connect scott\r\n");
    EXPECT_FALSE(FSession->Connected());
    EXPECT_GT(FUI.Shown().size(), shownBefore);
    EXPECT_EQ(Output(), (std::vector<std::string>{"Connecting as scott", "Connection failed, not logged on", "", ""}));

    // A statement without a connection is not a database error: it ends the run at that command.
    FScript->Output().Clear();
    EXPECT_THROW(Run("prompt before\r\nselect 1 from dual;\r\nprompt after\r\n"), Exception);
    EXPECT_EQ(FScript->CommandIndex(), 1);
    EXPECT_EQ(Output(), (std::vector<std::string>{"before"}));
    EXPECT_TRUE(Run("connect scott/tiger@" + Database() + "\r\nselect 1 from dual;\r\n"));
    EXPECT_TRUE(FSession->Connected());
}

// With SET SERVEROUTPUT ON the lines a command writes with DBMS_OUTPUT come before its feedback.
TEST_F(ScriptStandinTest, ServerOutput) {
    FScript->OutputOptions = TScriptOutputOptions{ooFeedback, ooError};
    const std::string block = "begin\r\n  dbms_output.put_line('first');\r\n  dbms_output.put_line(null);\r\n"
                              "  dbms_output.put_line('last');\r\nend;\r\n/\r\n";
    // A line far longer than a VARCHAR2 column comes through whole.
    FScript->OutputOptions = TScriptOutputOptions{};
    Run("set serveroutput on\r\nbegin\r\n  dbms_output.put_line(rpad('x', 20000, 'y'));\r\nend;\r\n/\r\nset serveroutput off\r\n");
    ASSERT_FALSE(PLSQLMissing(FScript->Commands()[1]));
    ASSERT_EQ(FScript->Output().Count(), 2);
    EXPECT_EQ(FScript->Output()[0], "x" + std::string(19999, 'y'));
    FScript->Output().Clear();
    FScript->OutputOptions = TScriptOutputOptions{ooFeedback, ooError};
    Run(block + "set serveroutput on\r\n" + block +
        "begin\r\n  dbms_output.put_line('before the error');\r\n  raise_application_error(-20001, 'Stop');\r\nend;\r\n/\r\n"
        "create table t (a number);\r\nset serveroutput off\r\n" + block);
    ASSERT_FALSE(PLSQLMissing(FScript->Commands()[0]));
    EXPECT_TRUE(FScript->ServerOutput == false);
    const std::vector<std::string> out = Output();
    ASSERT_EQ(out.size(), 17u) << FScript->Output().Text();
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + 7),
              (std::vector<std::string>{"PL/SQL procedure successfully completed", "", "first", "", "last", "",
                                        "PL/SQL procedure successfully completed"}));
    EXPECT_EQ(out[8], "ORA-20001: Stop"); // the error, then what the block wrote before it
    EXPECT_EQ(out[10], "");
    EXPECT_EQ(out[out.size() - 6], "before the error");
    EXPECT_EQ(std::vector<std::string>(out.end() - 4, out.end()),
              (std::vector<std::string>{"Table created", "", "PL/SQL procedure successfully completed", ""}));
}

TEST_F(ScriptStandinTest, CompilationErrorsGiveAWarningLine) {
    FScript->OutputOptions = TScriptOutputOptions{ooFeedback, ooError};
    const bool ok = Run("create or replace procedure p is\r\nbegin\r\n  undefined_call(1);\r\nend;\r\n/\r\n"
        "create or replace procedure q is\r\nbegin\r\n  null;\r\nend;\r\n/\r\nbegin\r\n  q;\r\nend;\r\n/\r\n");
    ASSERT_FALSE(PLSQLMissing(FScript->Commands()[0]));
    EXPECT_TRUE(ok);
    EXPECT_EQ(FScript->Commands()[0].ErrorCode(), 0); // created, with errors: no failure
    EXPECT_EQ(FScript->Commands()[0].FunctionType(), 24);
    EXPECT_EQ(Output(), (std::vector<std::string>{"Warning: Procedure created with compilation errors", "",
                                                  "Errors for PROCEDURE P:", "",
                                                  "3/3 PLS-00201: identifier 'UNDEFINED_CALL' must be declared",
                                                  "3/3 PL/SQL: Statement ignored", "",
                                                  "Procedure created", "",
                                                  "PL/SQL procedure successfully completed", ""}));
}

// Whole module scripts, as the installer runs them.
TEST_F(ScriptStandinTest, BrokenModuleReportsEachFailure) {
    FScript->Lines().SetText(ReadFile(std::string(QUORVEL_SCRIPT_TEST_DATA) + "/broken.sql"));
    EXPECT_FALSE(FScript->Execute());
    std::vector<int> codes;
    for (int i = 0; i < FScript->Commands().Count(); ++i) codes.push_back(FScript->Commands()[i].ErrorCode());
    // create, insert, duplicate, missing table, misspelt select, procedure, too long, update,
    // commit, select, drop
    ASSERT_EQ(codes.size(), 11u);
    const bool plsql = codes[5] != 3001;
    // The misspelt select is no SQL command: it is echoed and otherwise ignored.
    EXPECT_EQ(codes, (std::vector<int>{0, 0, 1, 942, 0, plsql ? 0 : 3001, 12899, 0, 0, 0, 0}));
    EXPECT_EQ(FScript->Commands()[4].CommandType(), ctNonSQL);
    const std::string out = FScript->Output().Text();
    EXPECT_NE(out.find("ORA-00001: unique constraint"), std::string::npos);
    EXPECT_NE(out.find("ORA-00942: table or view does not exist"), std::string::npos);
    EXPECT_NE(out.find("\r\nselec * from bad_demo;\r\n\r\ncreate or replace procedure"), std::string::npos);
    EXPECT_NE(out.find("ORA-12899: value too large for column"), std::string::npos);
    EXPECT_NE(out.find("1 row updated"), std::string::npos);
    EXPECT_NE(out.find("Table dropped"), std::string::npos);
    if (plsql) {
        EXPECT_NE(out.find("Warning: Procedure created with compilation errors\r\n\r\nErrors for PROCEDURE BAD_DEMO_PROC:\r\n"
                           "\r\n3/3 PLS-00201: identifier 'UNDEFINED_PROCEDURE_CALL' must be declared\r\n"),
                  std::string::npos);
    }
    // The final select shows the one row that got in, renamed.
    EXPECT_NE(out.find("\r\n    ID NAME                \r\n------ --------------------\r\n     1 renamed             \r\n\r\n1 row selected\r\n"),
              std::string::npos) << out;
}

TEST_F(ScriptStandinTest, WarehouseModuleInstalls) {
    FScript->Lines().SetText(ReadFile(std::string(QUORVEL_SCRIPT_TEST_DATA) + "/warehouse.sql"));
    const bool ok = FScript->Execute();
    const std::string out = FScript->Output().Text();
    // The schema objects are created whatever the stand-in's PL/SQL can run.
    for (const char* line : {"Sequence created", "Table created", "Index created", "Comment added", "Trigger created",
                             "Package created", "Package body created", "View created", "Grant succeeded"})
        EXPECT_NE(out.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << line;
    // The first command carries the file's heading comments; its argument does not.
    EXPECT_EQ(FScript->Output()[2], "prompt Installing the warehouse module");
    EXPECT_EQ(FScript->Output()[4], "Installing the warehouse module");
    EXPECT_NE(out.find("create sequence WH_item_seq start with 1000"), std::string::npos);
    EXPECT_EQ(FScript->Output()[FScript->Output().Count() - 1], "Warehouse module installed");
    std::string failures;
    for (int i = 0; i < FScript->Commands().Count(); ++i) {
        const TOracleCommand& c = FScript->Commands()[i];
        if (c.ErrorCode() != 0) failures += "\n" + c.SubstitutedText() + "\n  " + c.ErrorMessage();
    }
    EXPECT_TRUE(failures.empty()) << "commands of the module failed:" << failures;
    EXPECT_TRUE(ok) << out;
    const std::string hyphens(40, '-');
    EXPECT_NE(out.find("\r\nCODE     TITLE                                             PRICE\r\n-------- " + hyphens +
                       " --------------\r\nHAM-0001 "),
              std::string::npos);
    EXPECT_NE(out.find("\r\nSCR-0100 Wood screw 4x40, box of 100                      129.90\r\n\r\n4 rows selected\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("\r\n4 rows selected\r\n"), std::string::npos);
    EXPECT_NE(out.find("PL/SQL procedure successfully completed"), std::string::npos);
    EXPECT_EQ(QueryValue("select count(*) from wh_item"), "4");
}

} // namespace
