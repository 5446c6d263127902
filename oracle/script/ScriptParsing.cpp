#include "oracle/script/ScriptParsing.h"

#include "base/Strings.h"
#include "base/TextCase.h"
#include "oracle/query/SqlText.h"

#include <algorithm>

namespace quorvel {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimRightView(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return TrimRightView(s);
}

bool IsWordChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '"' ||
           u == '#' || u == '$' || u == '.' || u == '@' || u == '_' || u >= 0x80;
}

const std::string& WordAt(const std::vector<std::string>& words, std::size_t i) {
    static const std::string empty;
    return i < words.size() ? words[i] : empty;
}

bool OneOf(const std::string& word, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

// Classification words of text, at most limit of them (enough for every test made on them).
std::vector<std::string> Words(std::string_view text, std::size_t limit) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (IsWordChar(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(AnsiUpperCase(word));
            word.clear();
            if (words.size() >= limit) return words;
        }
    }
    if (!word.empty()) words.push_back(AnsiUpperCase(word));
    return words;
}

// Classification words of a text that grows at its end, read again after every line: only the
// characters before the old last one are final (the blanker may still change the last), so a
// scan resumes there instead of rereading the whole text.
struct TWordScan {
    std::vector<std::string> Words;
    std::string Word;
    std::size_t Pos = 0;

    void Feed(std::string_view text, std::size_t end) {
        for (; Pos < end; ++Pos) {
            if (IsWordChar(text[Pos])) {
                Word += text[Pos];
            } else if (!Word.empty()) {
                Words.push_back(AnsiUpperCase(Word));
                Word.clear();
            }
        }
    }
    // The words of text: what is final is kept for the next call.
    std::vector<std::string> Read(std::string_view text) {
        if (!text.empty()) Feed(text, text.size() - 1);
        TWordScan rest = *this;
        rest.Feed(text, text.size());
        if (!rest.Word.empty()) rest.Words.push_back(AnsiUpperCase(rest.Word));
        return std::move(rest.Words);
    }
};

// The PL/SQL test looks at most at word 6; the build keeps re-reading words while it has
// fewer than four.
constexpr std::size_t kWordLimit = 8;

bool LineEndsCommand(std::string_view maskedLine, bool slashTerminator) {
    maskedLine = TrimRightView(maskedLine);
    if (maskedLine.empty()) return false;
    if (maskedLine == "/") return true;
    return !slashTerminator && maskedLine.back() == ';';
}

// A command ended by ";" loses what follows the first ";" (outside literals and comments)
// after which only a comment comes.
void CutTrailingComment(std::string& text) {
    const std::string masked = BlankLiteralsAndComments(text);
    for (std::size_t p = masked.find(';'); p != std::string::npos; p = masked.find(';', p + 1)) {
        std::size_t q = p + 1;
        while (q < text.size() && IsBlank(text[q])) ++q;
        const std::string_view rest = std::string_view(text).substr(q);
        if (rest.starts_with("--") || rest.starts_with("/*")) {
            text.resize(p + 1);
            return;
        }
    }
}

void AddPiece(TScriptSplit& split, std::string text, bool sql, bool slashTerminator, int line, int pos) {
    const TCommandType type = !sql ? ctNonSQL : slashTerminator ? ctPLSQL : ctSQL;
    if (sql && text.size() > 1 && text.ends_with("\n/")) {
        text.pop_back();
        text.resize(TrimRightView(text).size());
    } else if (type == ctSQL && text.ends_with(';')) {
        text.pop_back();
        text.resize(TrimRightView(text).size());
    }
    if (text.empty()) return;
    split.Commands.push_back(TScriptPiece{std::move(text), type, line, pos});
}

// Whether a character appended to text would stand outside literals and comments.
bool EndsOutsideLiteralsAndComments(const std::string& text) {
    const std::string probe = text + "\x01";
    return BlankLiteralsAndComments(probe).back() == '\x01';
}

} // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
    TStringList list;
    list.SetText(text);
    return list.ToVector();
}

std::vector<std::string> ClassificationWords(std::string_view text) { return Words(text, std::string::npos); }

bool IsSQLCommand(const std::vector<std::string>& words, bool allSQLCommands) {
    if (allSQLCommands) return true;
    const std::string& w0 = WordAt(words, 0);
    if (OneOf(w0, {"ALTER", "ANALYZE", "AUDIT", "COMMIT", "COMMENT", "CREATE", "DELETE", "DROP", "GRANT",
                   "INSERT", "LOCK", "RENAME", "SAVEPOINT", "SELECT", "ROLLBACK", "TRUNCATE", "NOAUDIT",
                   "REVOKE", "UPDATE", "BEGIN", "DECLARE", "EXPLAIN", "ASSOCIATE", "DISASSOCIATE", "CALL",
                   "MERGE", "WITH", "FLASHBACK", "PURGE"}))
        return true;
    return w0 == "SET" && OneOf(WordAt(words, 1), {"ROLE", "TRANSACTION", "CONSTRAINT", "CONSTRAINTS"});
}

bool IsPLSQLUnit(const std::vector<std::string>& words) {
    const std::string& w0 = WordAt(words, 0);
    if (w0 == "BEGIN" || w0 == "DECLARE") return true;
    if (w0 != "CREATE") return false;
    std::size_t a = 1;
    if (WordAt(words, 1) == "OR" && WordAt(words, 2) == "REPLACE") a = 3;
    std::size_t d = a, c = a + 1;
    if (WordAt(words, a) == "AND" && WordAt(words, a + 1) == "COMPILE") d = a + 2, c = a + 3;
    const std::string& wd = WordAt(words, d);
    return OneOf(wd, {"FUNCTION", "PROCEDURE", "PACKAGE", "TRIGGER", "JAVA"}) ||
           (wd == "TYPE" && WordAt(words, c) == "BODY");
}

TCommandType ClassifyCommandText(std::string_view text, bool allSQLCommands) {
    const auto words = Words(RemoveComments(text, false), kWordLimit);
    if (!IsSQLCommand(words, allSQLCommands)) return ctNonSQL;
    return IsPLSQLUnit(words) ? ctPLSQL : ctSQL;
}

std::string UnquoteText(std::string_view text) {
    const std::string_view t = TrimView(text);
    // A lone quote is not a quoted text.
    if (text.size() >= 3 && t.size() >= 2 &&
        ((t.front() == '"' && t.back() == '"') || (t.front() == '\'' && t.back() == '\'')))
        return std::string(t.substr(1, t.size() - 2));
    return std::string(t);
}

std::string CommentProperty(std::string_view text, std::string_view name) {
    const std::string key = AnsiUpperCase(name);
    for (const std::string& line : SplitTextLines(text)) {
        if (!line.starts_with("--")) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (AnsiUpperCase(TrimView(std::string_view(line).substr(2, eq - 2))) == key)
            return UnquoteText(std::string_view(line).substr(eq + 1));
    }
    return {};
}

std::vector<std::string> SplitCommandWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : RemoveComments(text, false) + ' ') {
        if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

TScriptSplit SplitScript(const std::vector<std::string>& lines, bool allSQLCommands) {
    TScriptSplit split;
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    split.OriginalTextLength = int(text.size());
    split.Lines = SplitTextLines(text);
    // Every line with literals and comments blanked across the whole text, so that quotes and
    // comments spanning lines count.
    const std::vector<std::string> masks = SplitTextLines(BlankLiteralsAndComments(text));

    bool slashTerminator = false;
    bool sql = false;
    bool haveWords = false;
    std::vector<std::string> words;
    std::string pending;
    TSqlTextBlanker blanker;
    std::size_t maskedStart = 0; // the masked pending text is blank before this offset
    TWordScan wordScan;
    bool hasContent = false;     // the masked pending text holds more than blanks
    int firstLine = 0, firstPos = 0;
    long long offset = 0;

    for (std::size_t i = 0; i < split.Lines.size(); ++i) {
        const std::string& raw = split.Lines[i];
        std::string_view line = TrimRightView(raw);
        if (line.starts_with('/') && RemoveComments(line, false) == "/") line = "/"; // "/ -- run"
        if (pending.empty()) {
            firstLine = int(i);
            firstPos = int(offset);
            pending.assign(line);
            blanker.Clear();
            blanker.Append(line);
            maskedStart = 0;
            wordScan = TWordScan();
        } else {
            pending += "\r\n";
            pending += line;
            blanker.Append("\r\n");
            blanker.Append(line);
        }
        offset += (long long)raw.size() + 2;

        if (!haveWords || words.size() < 4) {
            const std::string_view masked = blanker.Text();
            while (maskedStart < masked.size() && IsBlank(masked[maskedStart])) ++maskedStart;
            words = wordScan.Read(masked);
            haveWords = true;
            hasContent = maskedStart < masked.size();
            sql = IsSQLCommand(words, allSQLCommands);
        }
        if (sql && !slashTerminator && IsPLSQLUnit(words)) slashTerminator = true;

        const std::string_view mask = i < masks.size() ? std::string_view(masks[i]) : std::string_view();
        if (hasContent && (LineEndsCommand(mask, slashTerminator) || !sql)) {
            std::string commandText(TrimView(pending));
            if (!slashTerminator) CutTrailingComment(commandText);
            AddPiece(split, std::move(commandText), sql, slashTerminator, firstLine, firstPos);
            slashTerminator = false;
            pending.clear();
            words.clear();
            haveWords = false;
        }
    }
    const std::string rest(TrimView(pending));
    if (!rest.empty()) AddPiece(split, rest, sql, slashTerminator, firstLine, firstPos);
    return split;
}

std::string JoinScriptCommands(const std::vector<TScriptPiece>& commands) {
    std::string text;
    bool previousMultiLine = false;
    for (const auto& command : commands) {
        const bool multiLine = command.Text.find('\r') != std::string::npos;
        if (!text.empty()) {
            text += "\r\n";
            if (multiLine && !previousMultiLine) text += "\r\n";
        }
        text += command.Text;
        if (command.CommandType == ctSQL) {
            if (!text.ends_with(';')) {
                // A ";" after a trailing line comment (or inside an open literal or comment)
                // would end nothing, and the command would swallow the ones after it when the
                // text is split again: a "/" line ends it instead.
                if (EndsOutsideLiteralsAndComments(command.Text)) text += ';';
                else text += "\r\n/";
            } else if (!EndsOutsideLiteralsAndComments(command.Text)) {
                text += "\r\n/";
            }
        } else if (command.CommandType == ctPLSQL) {
            text += "\r\n/";
        }
        if (multiLine) text += "\r\n";
        previousMultiLine = multiLine;
    }
    return text;
}

} // namespace quorvel
