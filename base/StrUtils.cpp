#include "base/StrUtils.h"

#include "base/TextCase.h"

namespace quorvel {
namespace {

template <typename C>
bool IsTrimmed(C c) {
    return static_cast<unsigned>(c) <= 0x20;
}

template <typename C>
std::basic_string<C> Cut(std::basic_string_view<C> s, bool left, bool right) {
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && IsTrimmed(s[b])) ++b;
    if (right)
        while (e > b && IsTrimmed(s[e - 1])) --e;
    return std::basic_string<C>(s.substr(b, e - b));
}

} // namespace

// 8-bit characters compare as unsigned: bytes above 0x7F are letters, not blanks.
std::string Trim(std::string_view s) {
    std::basic_string_view<unsigned char> u(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    auto r = Cut(u, true, true);
    return std::string(r.begin(), r.end());
}
std::string TrimLeft(std::string_view s) {
    std::basic_string_view<unsigned char> u(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    auto r = Cut(u, true, false);
    return std::string(r.begin(), r.end());
}
std::string TrimRight(std::string_view s) {
    std::basic_string_view<unsigned char> u(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    auto r = Cut(u, false, true);
    return std::string(r.begin(), r.end());
}
std::u16string Trim(std::u16string_view s) { return Cut(s, true, true); }
std::u16string TrimLeft(std::u16string_view s) { return Cut(s, true, false); }
std::u16string TrimRight(std::u16string_view s) { return Cut(s, false, true); }

std::string QuotedStr(std::string_view s, char quote) {
    std::string out;
    out.reserve(s.size() + 2);
    out += quote;
    for (char c : s) {
        out += c;
        if (c == quote) out += c;
    }
    out += quote;
    return out;
}

std::string StringReplace(std::string_view s, std::string_view from, std::string_view to, bool all, bool ignoreCase) {
    if (from.empty()) return std::string(s);
    std::string out;
    size_t i = 0;
    bool done = false;
    while (i < s.size()) {
        if (!done && i + from.size() <= s.size() &&
            (ignoreCase ? SameText(s.substr(i, from.size()), from) : s.substr(i, from.size()) == from)) {
            out += to;
            i += from.size();
            if (!all) done = true;
        } else {
            out += s[i++];
        }
    }
    return out;
}

} // namespace quorvel
