#pragma once
// The commands of a script and the script text they come from. TScriptText keeps the two
// views of one script in step: editing Lines marks the commands stale (the next Count,
// CommandByName or BuildCommands rebuilds them, discarding the command objects), editing the
// commands marks the text stale (the next read of Lines regenerates it).
#include "base/Strings.h"
#include "oracle/script/ScriptParsing.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

class TScriptText;

class TOracleCommand {
public:
    explicit TOracleCommand(TScriptText& script);
    TOracleCommand(const TOracleCommand&) = delete;
    TOracleCommand& operator=(const TOracleCommand&) = delete;

    TScriptText& Script() const { return *FScript; }
    int Index() const;
    void SetIndex(int index); // moves the command within its script

    const std::string& Text() const { return FText; }
    // A different text re-classifies the command, forgets its words and marks the script
    // text for regeneration.
    void SetText(const std::string& text);
    TCommandType CommandType() const { return FCommandType; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }
    int ScriptLine() const { return FScriptLine; }
    int ScriptPos() const { return FScriptPos; }
    // Characters from this command's position to the next one's (for the last command, to
    // the end of the text the commands were built from).
    int ScriptLength() const;
    // The words of the text after substitution and without comments, split at blanks;
    // computed on first use.
    const std::vector<std::string>& Words() const;
    std::string CommentProperty(const std::string& name) const;
    // Runs the command on its script; returns the handled flag (a client command carried out).
    bool Execute();

    // Attributes of the last run of the command.
    const std::string& SubstitutedText() const { return FSubstitutedText; }
    void SetSubstitutedText(const std::string& text) { FSubstitutedText = text; }
    const std::string& ErrorMessage() const { return FErrorMessage; }
    void SetErrorMessage(const std::string& message) { FErrorMessage = message; }
    int ErrorCode() const { return FErrorCode; }
    void SetErrorCode(int code) { FErrorCode = code; }
    int FunctionType() const { return FFunctionType; }
    void SetFunctionType(int type) { FFunctionType = type; }
    int RowsProcessed() const { return FRowsProcessed; }
    void SetRowsProcessed(int rows) { FRowsProcessed = rows; }

private:
    friend class TScriptText;
    TScriptText* FScript;
    std::string FText;
    TCommandType FCommandType = ctNonSQL;
    std::string FName;
    int FScriptLine = 0;
    int FScriptPos = 0;
    mutable bool FHaveWords = false;
    mutable std::vector<std::string> FWords;
    std::string FSubstitutedText;
    std::string FErrorMessage;
    int FErrorCode = 0;
    int FFunctionType = 0;
    int FRowsProcessed = 0;
};

// The owned, ordered collection of a script's commands.
class TOracleCommands {
public:
    explicit TOracleCommands(TScriptText& script) : FScript(script) {}
    TOracleCommands(const TOracleCommands&) = delete;
    TOracleCommands& operator=(const TOracleCommands&) = delete;

    int Count();                            // builds first when the lines changed
    TOracleCommand& Items(int index);       // "List index out of bounds (" + index + ")"
    TOracleCommand& operator[](int index) { return Items(index); }
    TOracleCommand& Add();                  // an empty command at the end
    void Delete(int index);                 // refused while a command of the script runs
    void Clear();                           // refused while a command of the script runs
    void Move(int from, int to);
    int IndexOf(const TOracleCommand& command) const; // -1 when not in the collection

private:
    friend class TScriptText;
    friend class TOracleCommand;
    void CheckIndex(int index) const;
    TScriptText& FScript;
    std::vector<std::unique_ptr<TOracleCommand>> FItems;
};

// The text and commands of a script. The executing script derives from it and supplies
// what the commands need of it through the virtual members.
class TScriptText {
public:
    TScriptText();
    TScriptText(const TScriptText&) = delete;
    TScriptText& operator=(const TScriptText&) = delete;
    virtual ~TScriptText();

    // The script text, regenerated from the commands first when they were edited. Editing the
    // list in place marks the commands stale (through the list's OnChange, which belongs to
    // the script: do not replace it).
    TStringList& Lines();
    // Copies the lines and builds the commands at once.
    void SetLines(const TStrings& lines);
    TOracleCommands& Commands() { return FCommands; }
    void BuildCommands();
    // The first command whose Name equals name without regard to case, or nullptr.
    TOracleCommand* CommandByName(const std::string& name);

    bool AllSQLCommands() const { return FAllSQLCommands; }
    void SetAllSQLCommands(bool value) { FAllSQLCommands = value; }
    int OriginalTextLength() const { return FOriginalTextLength; }
    bool LinesChanged() const { return FLinesChanged; }
    bool CommandsChanged() const { return FCommandsChanged; }

    // What a command needs of its script: the text with substitution variables replaced (for
    // a command's Words; the text unchanged here).
    virtual std::string SubstituteVariables(const std::string& text) const;
    // Runs one command; a text without an executing script runs nothing and returns false.
    virtual bool ExecuteCommand(TOracleCommand& command) {
        (void)command;
        return false;
    }

protected:
    // Called when the commands were built again: a current command is gone.
    virtual void CommandsRebuilt() {}
    // Called before a command is deleted from the collection.
    virtual void CommandRemoved(const TOracleCommand& command) { (void)command; }
    void BuildIfLinesChanged() {
        if (FLinesChanged && FCommandsInUse == 0) BuildCommands();
    }
    // While a command runs its object must stay: changes of the lines are built only after
    // the command (BuildCommands waits too), and deleting commands is refused.
    class TCommandsInUse {
    public:
        explicit TCommandsInUse(TScriptText& script) : FScript(script) { ++FScript.FCommandsInUse; }
        ~TCommandsInUse() { --FScript.FCommandsInUse; }
        TCommandsInUse(const TCommandsInUse&) = delete;
        TCommandsInUse& operator=(const TCommandsInUse&) = delete;

    private:
        TScriptText& FScript;
    };

private:
    friend class TOracleCommand;
    friend class TOracleCommands;
    // The latest edit wins: commands edited after the lines were changed become the text.
    void MarkCommandsChanged() {
        FCommandsChanged = true;
        FLinesChanged = false;
    }
    void RegenerateLines();
    void SetLinesQuietly(const std::vector<std::string>& lines);

    TStringList FLines;
    TOracleCommands FCommands;
    bool FAllSQLCommands = false;
    bool FLinesChanged = false;
    bool FCommandsChanged = false;
    bool FUpdatingLines = false;
    int FOriginalTextLength = 0;
    int FCommandsInUse = 0;
    void CheckCommandsNotInUse() const;
};

} // namespace quorvel
