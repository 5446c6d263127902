#include "oracle/script/ScriptFormat.h"

#include "base/CodePage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorvel::script {

namespace {

bool IsNameChar(unsigned char c) {
    return c == '#' || c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z') || c >= 0x80;
}

struct Reference {
    std::size_t Pos;    // of the "&" in the output text
    std::size_t Length; // "&"s and name
    std::string Name;
};

// Characters are bytes in an 8-bit code page and code points in UTF-8.
bool Utf8Text() { return AnsiCodePage() == 65001; }

std::size_t CharacterCount(std::string_view text) {
    if (!Utf8Text()) return text.size();
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// The byte length of the first count characters of text.
std::size_t PrefixBytes(std::string_view text, std::size_t count) {
    if (!Utf8Text()) return std::min(count, text.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (n == count) return i;
            ++n;
        }
    }
    return text.size();
}

} // namespace

std::string SubstituteReferences(std::string_view source,
                                 const std::function<std::string(const std::string& name)>& lookup) {
    std::string text(source);
    text += "\r\n";
    std::string out;
    out.reserve(text.size());
    std::vector<Reference> refs;
    enum { Normal, BlockComment, LineComment, InReference } state = Normal;
    Reference current{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (state) {
        case Normal:
            if (c == '&') {
                if (!out.empty() && out.back() == '\\' && i > 0 && text[i - 1] == '\\') {
                    out.back() = '&';
                } else {
                    current = Reference{out.size(), 1, {}};
                    out += c;
                    state = InReference;
                }
                continue;
            }
            if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
                out += "/*";
                ++i;
                state = BlockComment;
                continue;
            }
            if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
                out += "--";
                ++i;
                state = LineComment;
                continue;
            }
            out += c;
            break;
        case BlockComment:
            out += c;
            if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                out += '/';
                ++i;
                state = Normal;
            }
            break;
        case LineComment:
            out += c;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                out += '\n';
                ++i;
                state = Normal;
            }
            break;
        case InReference:
            if (c == '&' || IsNameChar(static_cast<unsigned char>(c))) {
                if (c != '&') current.Name += c;
                ++current.Length;
                out += c;
            } else {
                // The ending character stays as text and starts nothing.
                if (!current.Name.empty()) refs.push_back(current);
                out += c;
                state = Normal;
            }
            break;
        }
    }
    if (state == InReference && !current.Name.empty()) refs.push_back(current);
    // Drop the CR LF added for the walk (the walk copies it unchanged).
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);

    for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
        if (it->Pos >= out.size()) continue;
        std::size_t length = std::min(it->Length, out.size() - it->Pos);
        out.erase(it->Pos, length);
        if (it->Pos < out.size() && out[it->Pos] == '.' && it->Pos + 1 < out.size()) out.erase(it->Pos, 1);
        out.insert(it->Pos, lookup(it->Name));
    }
    return out;
}

bool MatchesCommandPattern(std::string_view word, std::string_view pattern) {
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) return word == pattern;
    std::string full(pattern.substr(0, star));
    full += pattern.substr(star + 1);
    return word.size() >= star && word.size() <= full.size() && std::string_view(full).substr(0, word.size()) == word;
}

int ColumnDisplayWidth(int fieldType, int size, int precision, int scale, std::string_view name, int colWidth) {
    int w = 0;
    switch (fieldType) {
    case 3:   // otInteger
    case 4:   // otFloat
        // A number without a declared precision (NUMBER, FLOAT, an expression) has no width
        // of its own: its scale of -127 must not make it two characters wide.
        w = precision + 1;
        if (scale != 0) ++w;
        if (w <= 1 || precision <= 0) w = 10;
        break;
    case 5:   // otString
        w = size;
        break;
    case 8:   // otLong
    case 112: // otCLOB
        w = colWidth;
        break;
    case 12:  // otDate
    case 24:  // otLongRaw
    case 108: // otObject
    case 110: // otReference
    case 113: // otBLOB
    case 114: // otBFile
        w = 11;
        break;
    default:
        w = 0;
    }
    const int nameLength = int(CharacterCount(name));
    if (nameLength > w) w = nameLength;
    if (colWidth > 0 && w > colWidth) w = colWidth;
    return w;
}

std::string FirstCharacters(std::string_view text, int count) {
    if (count <= 0) return {};
    return std::string(text.substr(0, PrefixBytes(text, std::size_t(count))));
}

std::string PlaceInColumn(std::string_view text, int width, bool rightAlign) {
    if (width <= 0) return {};
    std::string cut(text.substr(0, PrefixBytes(text, std::size_t(width))));
    const std::size_t chars = CharacterCount(cut);
    const std::string pad(std::size_t(width) - std::min(chars, std::size_t(width)), ' ');
    return rightAlign ? pad + cut : cut + pad;
}

std::string FixedPointText(double value, int precision, int scale, char decimalSeparator) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    if (precision < 1 || precision > 18) precision = 18;
    if (scale < 0) scale = 0;
    if (scale > 18) scale = 18;
    char buf[128];
    const double magnitude = std::fabs(value);
    const int integerDigits = magnitude >= 1 ? int(std::floor(std::log10(magnitude))) + 1 : 0;
    if (integerDigits > precision) {
        // More digits before the point than the precision holds: scientific notation.
        std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
    } else {
        // Rounded to the precision's significant digits, shown with scale decimals.
        const int decimals = std::min(scale, std::max(0, precision - integerDigits));
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        std::string s = buf;
        if (decimals < scale) {
            if (decimals == 0) s += '.';
            s.append(std::size_t(scale - decimals), '0');
        }
        std::snprintf(buf, sizeof buf, "%s", s.c_str());
    }
    std::string result = buf;
    for (char& c : result)
        if (c == '.') c = decimalSeparator;
    if (result == "-0" || (result.size() > 2 && result.compare(0, 2, "-0") == 0 &&
                           result.find_first_not_of(std::string("-0") + decimalSeparator) == std::string::npos))
        result.erase(0, 1);
    return result;
}

} // namespace quorvel::script
