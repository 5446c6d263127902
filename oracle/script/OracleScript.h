#pragma once
// TOracleScript: runs the commands of a script on a session. SQL and PL/SQL commands go
// through the script's own statement, Query; client commands (remarks, prompts, substitution
// variables, connect and disconnect, output settings) are carried out by the script itself.
// Everything the run has to say goes to Output, line by line, and to OnOutput. A database
// error is recorded on the failing command and the run goes on, unless ExitOnError is set.
#include "base/Component.h"
#include "base/Set.h"
#include "base/Strings.h"
#include "oracle/script/OracleCommands.h"
#include "oracle/session/OracleSession.h"

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class TOracleQuery;

enum TScriptOutputOption { ooSQL, ooNonSQL, ooData, ooFeedback, ooError };
using TScriptOutputOptions = TSet<TScriptOutputOption>;

class TOracleScript : public TComponent, public TScriptText, public TOracleSessionClient {
public:
    using TNotifyEvent = std::function<void(TOracleScript& Sender)>;
    using THandledEvent = std::function<void(TOracleScript& Sender, bool& Handled)>;
    using TOutputEvent = std::function<void(TOracleScript& Sender, const std::string& Msg)>;

    explicit TOracleScript(TComponent* owner = nullptr);
    ~TOracleScript() override;

    // ---- settings ----
    TOracleSession* Session() const { return FSession; }
    // Moves the script to the new session's list of scripts and gives the query that session.
    void SetSession(TOracleSession* session);
    bool Debug = false;            // non-SQL command texts in a message box, SQL through the query
    int Cursor = 0;                // shown during the run; 0 leaves the cursor alone
    bool AutoCommit = false;       // commit after each successful insert, update, delete, block
    bool ExitOnError = false;      // stop after the first command failing with a database error
    bool ScanVariables = true;     // replace &name references in command texts
    int ColWidth = 40;             // widest column of fetched rows; 0 or less: no limit
    TScriptOutputOptions OutputOptions{ooSQL, ooNonSQL, ooData, ooFeedback, ooError};
    // On (SET SERVEROUTPUT ON): the lines SQL and PL/SQL commands write with DBMS_OUTPUT are
    // read after each command and written to the output before its feedback line.
    bool ServerOutput = false;
    // On: a unit created with compilation errors is followed by its errors from USER_ERRORS
    // (with ooError).
    bool ShowCompilationErrors = true;

    THandledEvent OnCommand;       // before each command; may set Handled or move CommandIndex
    THandledEvent AfterCommand;    // after each command that did not end the run
    TNotifyEvent OnError;          // after a command failed with a database error
    TNotifyEvent OnData;           // once per fetched row of a query
    TOutputEvent OnOutput;         // once per output line, before it is added to Output

    // ---- parts ----
    TOracleQuery& Query() { return *FQuery; }
    // Never emptied by the script itself.
    TStringList& Output() { return FOutput; }
    // The substitution variables, entries of the form NAME=value.
    TStringList& Variables() { return FVariables; }

    // ---- running ----
    // Runs every command from the first; true when no command ended with a database error.
    bool Execute();
    // Runs one command; returns its handled flag (true for a client command that was carried out).
    bool ExecuteCommand(TOracleCommand& command) override;
    // The command being run (or last run); nullptr before a run and after the commands were rebuilt.
    TOracleCommand* CurrentCommand() const { return FCurrentCommand; }
    int CommandIndex() const { return FCommandIndex; }
    void SetCommandIndex(int index) { FCommandIndex = index; }
    bool Finished();
    void SetFinished(bool value);      // true moves CommandIndex past the last command

    // Writes text to the output, one line per line of the text (an empty text is one empty line).
    void AddOutput(const std::string& text);

    // The value of a substitution variable (empty when it is not defined); the name is trimmed
    // and upper-cased.
    std::string GetVariable(const std::string& name) const;
    // Replaces the variable's entry in its place, or appends one.
    void SetVariable(const std::string& name, const std::string& value);
    // The text with its substitution variables replaced when ScanVariables is on.
    std::string SubstituteVariables(const std::string& text) const override;

    // ---- TOracleSessionClient ----
    void SessionDetach() override;

protected:
    void CommandsRebuilt() override { FCurrentCommand = nullptr; }
    void CommandRemoved(const TOracleCommand& command) override {
        if (FCurrentCommand == &command) FCurrentCommand = nullptr;
    }

private:
    bool RunSQLCommand(TOracleCommand& command);
    bool RunNonSQLCommand(TOracleCommand& command);
    void RunConnect(const std::string& argument);
    void WriteRows();
    TOracleQuery& ServiceQuery();
    bool EnableServerOutput();
    void WriteServerOutput();
    void WriteCompilationErrors(const TOracleCommand& command);

    TOracleSession* FSession = nullptr;
    std::unique_ptr<TOracleQuery> FQuery;
    std::unique_ptr<TOracleQuery> FServiceQuery; // DBMS_OUTPUT and USER_ERRORS, never Query
    TStringList FOutput;
    TStringList FVariables;
    TOracleCommand* FCurrentCommand = nullptr;
    int FCommandIndex = 0;
};

} // namespace quorvel
