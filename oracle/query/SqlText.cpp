#include "oracle/query/SqlText.h"

#include "base/CodePage.h"

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

// Placeholder names are compared upper-cased. Only the ASCII letters change: every byte from
// 128 up is a name character of its own, and a multi-byte character must not be torn apart.
std::string UpperName(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return name;
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
            name = UpperName(std::move(name));
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

std::string BlankLiteralsAndComments(std::string_view text) {
    enum { Normal, InString, InBlockComment, InLineComment } state = Normal;
    std::string out(text);
    const std::size_t n = out.size();
    auto blank = [&](std::size_t i) {
        const char c = out[i];
        if (c != '\r' && c != '\n' && c != ' ') out[i] = ' ';
    };
    std::size_t quote = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        const char d = i + 1 < n ? text[i + 1] : '\0';
        switch (state) {
        case InString:
            if (c == '\'') {
                for (std::size_t k = quote; k <= i; ++k) blank(k);
                state = Normal; // the closing quote opens nothing
            } else {
                blank(i);
            }
            break;
        case Normal:
            if ((c == '/' && d == '*') || (c == '-' && d == '-')) {
                state = c == '/' ? InBlockComment : InLineComment;
                blank(i);
                blank(i + 1);
                ++i;
            } else if (c == '\'') {
                state = InString;
                quote = i;
                blank(i);
            }
            break;
        case InBlockComment:
            if (c == '*' && d == '/') {
                blank(i);
                blank(i + 1);
                ++i;
                state = Normal;
            } else {
                blank(i);
            }
            break;
        case InLineComment:
            if (c == '\n') state = Normal; // CR and LF are never blanked
            else blank(i);
            break;
        }
    }
    return out;
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
    if (bytes.empty()) bytes = " ";
    return bytes;
}

} // namespace quorvel
