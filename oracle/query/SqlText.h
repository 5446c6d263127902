#pragma once
// Character-level scanning of SQL text. Nothing here parses SQL grammatically: small state
// machines find the :NAME placeholders, remove comments, or blank out comments and string
// literals so that other scanners can search what is left. Positions are 1-based byte
// positions in the text as given. None of these routines fails: unbalanced quotes or
// comments simply run to the end of the text.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// One occurrence of a placeholder: the upper-cased name without its colon, and the position
// of the ":" that starts it.
struct TSqlVariableOccurrence {
    std::string Name;
    int Position = 0;
    bool operator==(const TSqlVariableOccurrence&) const = default;
};

// The placeholders of the text in text order. Without duplicates only the first occurrence
// of each name is listed.
std::vector<TSqlVariableOccurrence> FindVariables(std::string_view text, bool includeDuplicates);

// The text without "/* */" and "--" comments (a "--" comment goes with the line break that
// ends it), string literals left intact, trimmed of leading and trailing blanks and control
// characters. With keepHints, "/*+ ... */" and "--+ ..." optimizer hints stay as text.
std::string RemoveComments(std::string_view text, bool keepHints);

// A text of the same length in which every character of a comment (markers included) and of
// a single-quoted literal (quotes included) is a space, except CR, LF and space, which stay;
// lines and positions survive.
std::string BlankLiteralsAndComments(std::string_view text);

// The same blanking for a text that grows at its end (a command being collected line by
// line): each Append costs only the appended characters.
class TSqlTextBlanker {
public:
    void Clear();
    void Append(std::string_view more);
    // BlankLiteralsAndComments of everything appended since the last Clear.
    std::string_view Text();

private:
    std::string FText;
    std::string FOut;
    std::size_t FDone = 0; // characters decided for good
    int FState = 0;
};

// Pastes substitution variables into the text. lookup is asked for every placeholder name
// (upper-cased, without colon): no value means "not a substitution variable" and the
// placeholder stays; a value (empty for a null or unassigned variable) replaces the colon
// and the name. The replacement is plain text: nothing is quoted and the value is not
// scanned again.
std::string SubstituteVariables(
    std::string_view text,
    const std::function<std::optional<std::string>(const std::string& name)>& lookup);

// The bytes sent for parsing from a statement text (8-bit text in the process code page):
// converted to UTF-8 when utf8 is set, every CR byte deleted (line ends become LF), and an
// empty result replaced by a single space.
std::string SqlTextToParseBytes(std::string_view text, bool utf8);

// The statement type a statement has right after preparing, from the client's statement-type
// attribute (1 select, 2 update, 3 delete, 4 insert, 8 begin, 9 declare): 4 select, 5 update,
// 9 delete, 3 insert, 34 PL/SQL block, -1 any other statement until its execution reports the
// real function code.
int FunctionTypeFromStatementType(int statementType);

// True for the characters that continue a placeholder name: letters, digits, "_", "$", "#"
// and every byte from 128 up (so the bytes of a multi-byte UTF-8 character never end a name).
bool IsSqlNameChar(char c);

} // namespace quorvel
