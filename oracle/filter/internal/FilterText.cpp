#include "oracle/filter/internal/FilterText.h"

#include "base/CodePage.h"
#include "base/FormatSettings.h"
#include "base/TextCase.h"

#include <charconv>
#include <cstring>

namespace quorvel::filter_detail {

std::string ToUtf8(std::u16string_view text) { return Utf16ToUtf8(text); }
std::u16string FromUtf8(std::string_view text) { return Utf8ToUtf16(text); }

void Raise(std::string message) { throw EExpression(std::move(message)); }

void UpperCase(std::u16string_view text, std::u16string& out) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) out[i] = WideUpperChar(text[i]);
}

bool WildcardMatch(std::u16string_view text, std::u16string_view pattern) {
    // Greedy match that backs up to the last '*' only: no recursion, O(n*m) at worst.
    size_t t = 0, p = 0;
    size_t starP = std::u16string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && pattern[p] == text[t]))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starT = t;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

char16_t DecimalSeparator() {
    return static_cast<char16_t>(static_cast<unsigned char>(CurrentFormatSettings()->DecimalSeparator));
}

void FormatFloat(double value, std::u16string& out) {
    out = AnsiToUtf16(FloatToStr(value, *CurrentFormatSettings()));
}

void FormatDateTime(TDateTime value, std::u16string& out) {
    out = AnsiToUtf16(DateTimeToStr(value, *CurrentFormatSettings()));
}

TDateTime ParseDateTime(std::u16string_view text) {
    return StrToDateTime(Utf16ToAnsi(text), *CurrentFormatSettings());
}

bool ParseFloatLiteral(std::u16string_view text, double& value) {
    char buf[40];
    size_t n = 0;
    const char16_t sep = DecimalSeparator();
    for (char16_t c : text) {
        if (n + 1 >= sizeof buf) return false;
        if (c == sep) buf[n++] = '.';
        else if (c < 0x80) buf[n++] = static_cast<char>(c);
        else return false;
    }
    auto result = std::from_chars(buf, buf + n, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is no number.
        const char* e = static_cast<const char*>(std::memchr(buf, 'e', n));
        if (!e) e = static_cast<const char*>(std::memchr(buf, 'E', n));
        if (e && e[1] == '-') {
            value = 0;
            return true;
        }
        return false;
    }
    return result.ec == std::errc() && result.ptr == buf + n;
}

} // namespace quorvel::filter_detail
