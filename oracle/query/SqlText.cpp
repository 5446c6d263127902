#include "oracle/query/SqlText.h"

#include "base/CodePage.h"
#include "base/TextCase.h"

#include <algorithm>

namespace quorvel {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlankOrControl(s[b])) ++b;
    while (e > b && IsBlankOrControl(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

} // namespace

bool IsSqlNameChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u == '#' || u >= 128;
}

std::vector<TSqlVariableOccurrence> FindVariables(std::string_view text, bool includeDuplicates) {
    enum { Normal, InString, InComment, InName } state = Normal;
    std::string s(text);
    s += "\r\n"; // closes a name or a line comment at the very end
    std::vector<TSqlVariableOccurrence> result;
    std::string name;
    int namePos = 0;
    char term0 = 0, term1 = 0;
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = s[i];
        const char d = i + 1 < n ? s[i + 1] : '\0';
        switch (state) {
        case InComment:
            // A line comment also ends at a bare LF.
            if ((c == term0 && d == term1) || (term0 == '\r' && c == '\n')) state = Normal;
            break;
        case InString:
            if (c == '\'') state = Normal;
            break;
        case Normal:
            if (c == ':') {
                name.clear();
                namePos = int(i) + 1;
                state = InName;
            } else if (c == '\'') {
                state = InString;
            } else if (c == '/' && d == '*') {
                state = InComment, term0 = '*', term1 = '/';
                ++i; // the opener's "*" cannot also close the comment ("/*/" stays open)
            } else if (c == '-' && d == '-') {
                state = InComment, term0 = '\r', term1 = '\n';
                ++i;
            }
            break;
        case InName:
            if (IsSqlNameChar(c)) {
                name += c;
                break;
            }
            // The character that ends a name is not looked at again: a quote, colon or
            // comment opener right after a name opens nothing.
            state = Normal;
            if (name.empty()) break;
            name = AnsiUpperCase(name);
            if (!includeDuplicates &&
                std::any_of(result.begin(), result.end(), [&](const auto& v) { return v.Name == name; }))
                break;
            result.push_back({name, namePos});
            break;
        }
    }
    return result;
}

std::string RemoveComments(std::string_view text, bool keepHints) {
    enum { Normal, InString, InBlockComment, InLineComment } state = Normal;
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        const char d = i + 1 < n ? text[i + 1] : '\0';
        const char e = i + 2 < n ? text[i + 2] : '\0';
        if (c == '\'') {
            if (state == InString) state = Normal;
            else if (state == Normal) state = InString;
        }
        switch (state) {
        case InString:
            out += c;
            break;
        case Normal: {
            bool entered = false;
            if (c == '/' && d == '*') state = InBlockComment, entered = true;
            else if (c == '-' && d == '-') state = InLineComment, entered = true;
            if (entered && keepHints && e == '+') state = Normal; // an optimizer hint is text
            if (state == Normal) out += c;
            else ++i; // the opener's second character belongs to the comment
            break;
        }
        case InBlockComment:
            if (c == '*' && d == '/') state = Normal, ++i;
            break;
        case InLineComment:
            if (c == '\r' && d == '\n') state = Normal, ++i;
            else if (c == '\n') state = Normal;
            break;
        }
    }
    return Trimmed(out);
}

namespace {

enum TBlankState { bsNormal, bsInString, bsInBlockComment, bsInLineComment };

void Blank(std::string& out, std::size_t i) {
    const char c = out[i];
    if (c != '\r' && c != '\n' && c != ' ') out[i] = ' ';
}

// Processes the character at i (looking at the one after it, none beyond the end of text) and
// returns the position of the next character to process. out holds the text being blanked.
std::size_t BlankStep(std::string_view text, std::size_t i, int& state, std::string& out) {
    const char c = text[i];
    const char d = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (state) {
    case bsInString:
        Blank(out, i); // the opening quote was blanked when the string began
        if (c == '\'') state = bsNormal; // the closing quote opens nothing
        return i + 1;
    case bsNormal:
        if ((c == '/' && d == '*') || (c == '-' && d == '-')) {
            // Both characters of the opener belong to the comment ("/*/" does not close it).
            state = c == '/' ? bsInBlockComment : bsInLineComment;
            Blank(out, i);
            Blank(out, i + 1);
            return i + 2;
        }
        if (c == '\'') {
            state = bsInString;
            Blank(out, i);
        }
        return i + 1;
    case bsInBlockComment:
        Blank(out, i);
        if (c == '*' && d == '/') {
            Blank(out, i + 1);
            state = bsNormal;
            return i + 2;
        }
        return i + 1;
    default: // bsInLineComment; CR and LF are never blanked
        Blank(out, i);
        if (c == '\n') state = bsNormal;
        return i + 1;
    }
}

} // namespace

std::string BlankLiteralsAndComments(std::string_view text) {
    std::string out(text);
    int state = bsNormal;
    for (std::size_t i = 0; i < text.size();) i = BlankStep(text, i, state, out);
    return out;
}

void TSqlTextBlanker::Clear() {
    FText.clear();
    FOut.clear();
    FDone = 0;
    FState = bsNormal;
}

void TSqlTextBlanker::Append(std::string_view more) {
    // Positions from FDone on were finished as the end of the text; take them back.
    FOut.resize(FDone);
    FText.append(more);
    FOut.append(FText, FDone, std::string::npos);
    // Every character but the last can be decided now: the last needs the one after it.
    while (FDone + 1 < FText.size()) FDone = BlankStep(FText, FDone, FState, FOut);
}

std::string_view TSqlTextBlanker::Text() {
    FOut.resize(FDone);
    FOut.append(FText, FDone, std::string::npos);
    int state = FState;
    for (std::size_t i = FDone; i < FText.size();) i = BlankStep(FText, i, state, FOut);
    return FOut;
}

std::string SubstituteVariables(
    std::string_view text,
    const std::function<std::optional<std::string>(const std::string& name)>& lookup) {
    const auto occurrences = FindVariables(text, true);
    if (occurrences.empty()) return std::string(text);
    // Built front to back; equivalent to replacing from the last occurrence to the first.
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (const auto& v : occurrences) {
        auto value = lookup(v.Name);
        if (!value) continue;
        const std::size_t at = std::size_t(v.Position - 1);
        out.append(text.substr(copied, at - copied));
        out += *value;
        std::size_t end = at + 1;
        while (end < text.size() && IsSqlNameChar(text[end])) ++end;
        copied = end;
    }
    out.append(text.substr(copied));
    return out;
}

std::string SqlTextToParseBytes(std::string_view text, bool utf8) {
    std::string bytes;
    if (utf8 && AnsiCodePage() != cpUTF8) bytes = Utf16ToUtf8(AnsiToUtf16(text));
    else bytes.assign(text);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    if (bytes.empty()) bytes.push_back(' ');
    return bytes;
}

int FunctionTypeFromStatementType(int statementType) {
    switch (statementType) {
    case 1: return 4;
    case 2: return 5;
    case 3: return 9;
    case 4: return 3;
    case 8:
    case 9: return 34;
    default: return -1;
    }
}

} // namespace quorvel
