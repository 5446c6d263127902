#pragma once
// Splitting a script text into commands and the word rules behind it. A script holds text in
// the style of an interactive SQL command-line tool: SQL statements ended by ";" or by a line
// holding "/", PL/SQL units ended by a "/" line, and one-line client commands. The rules look
// at words, never at a grammar.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum TCommandType { ctSQL, ctPLSQL, ctNonSQL };

// One command found in a script text.
struct TScriptPiece {
    std::string Text;      // without its terminator
    TCommandType CommandType = ctSQL;
    int ScriptLine = 0;    // index of the command's first line
    int ScriptPos = 0;     // offset of that line in the text, each line break counting two
};

struct TScriptSplit {
    std::vector<std::string> Lines; // the lines again, embedded line breaks split apart
    std::vector<TScriptPiece> Commands;
    int OriginalTextLength = 0;     // every line plus two characters for its line break
};

// The commands of a script text given as lines.
TScriptSplit SplitScript(const std::vector<std::string>& lines, bool allSQLCommands);

// Classification words: the text upper-cased and cut into runs of word characters
// ('"', '#', '$', '.', digits, '@', letters, '_' and every byte from 128 up); every other
// character separates words and is dropped.
std::vector<std::string> ClassificationWords(std::string_view text);
// Whether the first two classification words start a SQL command (or allSQLCommands).
bool IsSQLCommand(const std::vector<std::string>& words, bool allSQLCommands);
// Whether the classification words open a PL/SQL unit, which only a "/" line ends: BEGIN,
// DECLARE, and CREATE [OR REPLACE] [AND COMPILE] FUNCTION, PROCEDURE, PACKAGE, TRIGGER, JAVA
// or TYPE BODY.
bool IsPLSQLUnit(const std::vector<std::string>& words);
// The type of a command text: comments are removed, then ctPLSQL for a PL/SQL unit, ctSQL
// for another SQL command, ctNonSQL for the rest.
TCommandType ClassifyCommandText(std::string_view text, bool allSQLCommands);

// The value of the first "-- key = value" line of the text whose key is name (both without
// regard to case), unquoted; empty when there is none.
std::string CommentProperty(std::string_view text, std::string_view name);
// The text trimmed; a text of at least three characters whose trimmed form is wrapped in
// double or in single quotes loses those quotes.
std::string UnquoteText(std::string_view text);
// The words of a command: the text without comments, split at tab, LF, CR and space.
std::vector<std::string> SplitCommandWords(std::string_view text);

// The script text made from commands: each command's text, ";" after a SQL command that does
// not end with one, a "/" line after a PL/SQL unit, and an empty line around multi-line
// commands.
std::string JoinScriptCommands(const std::vector<TScriptPiece>& commands);

// The lines of a text split at CR, LF and CR LF; a final line break adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);

} // namespace quorvel
