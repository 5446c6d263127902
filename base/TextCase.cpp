#include "base/TextCase.h"

#include "base/CodePage.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>

namespace quorvel {
namespace {

// Pairs in which the even code point is upper case and the next odd one lower case.
bool EvenUpperPair(char16_t c) {
    return (c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177) ||
           (c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F) ||
           (c >= 0x03D8 && c <= 0x03EF) || (c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF);
}
// Pairs in which the odd code point is upper case and the next even one lower case.
bool OddUpperPair(char16_t c) {
    return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) || (c >= 0x04C1 && c <= 0x04CE);
}

// Maps one ASCII/Latin/Greek/Cyrillic upper-case letter to lower case.
char16_t ToLower(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    if (c == 0x178) return 0xFF;
    if (c == 0x130) return 'i';
    if (EvenUpperPair(c)) return (c % 2 == 0) ? char16_t(c + 1) : c;
    if (OddUpperPair(c)) return (c % 2 == 1) ? char16_t(c + 1) : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
    if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
    if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0xFF21 && c <= 0xFF3A) return char16_t(c + 32);
    return c;
}

char16_t ToUpper(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
    if (c == 0xFF) return 0x178;
    if (c == 0xB5) return 0x39C;
    if (c == 0x131) return 'I';
    if (EvenUpperPair(char16_t(c - 1)) && c % 2 == 1) return char16_t(c - 1);
    if (OddUpperPair(char16_t(c - 1)) && c % 2 == 0) return char16_t(c - 1);
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return char16_t(c - 32);
    if (c == 0x3C2) return 0x3A3; // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return char16_t(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return char16_t(c - 63);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
    if (c == 0x4CF) return 0x4C0;
    if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 32);
    return c;
}

// Byte tables of a single-byte code page, built once per code page.
struct ByteTables {
    std::array<unsigned char, 256> Upper{}, Lower{};
    std::array<char16_t, 256> Wide{}; // the character of each byte
};

std::mutex gTablesLock;
std::map<unsigned, std::shared_ptr<const ByteTables>> gTables;

// The tables of a code page in which every byte is one character; nullptr otherwise.
std::shared_ptr<const ByteTables> TablesOf(unsigned cp) {
    if (cp == cpUTF8 || cp == cpUTF16LE || cp == cpUTF16BE) return nullptr;
    std::lock_guard<std::mutex> lock(gTablesLock);
    auto it = gTables.find(cp);
    if (it != gTables.end()) return it->second;
    std::string all(255, '\0');
    for (int b = 1; b < 256; ++b) all[size_t(b - 1)] = char(b);
    std::u16string wide = CodePageToUtf16(all, cp);
    std::shared_ptr<ByteTables> t;
    if (wide.size() == 255) {
        t = std::make_shared<ByteTables>();
        for (int b = 0; b < 256; ++b) t->Upper[size_t(b)] = t->Lower[size_t(b)] = static_cast<unsigned char>(b);
        for (int b = 1; b < 256; ++b) t->Wide[size_t(b)] = wide[size_t(b - 1)];
        for (int b = 1; b < 256; ++b) {
            char16_t w = wide[size_t(b - 1)];
            if (w == 0xFFFD) continue;
            for (int upper = 0; upper < 2; ++upper) {
                char16_t m = upper ? ToUpper(w) : ToLower(w);
                if (m == w) continue;
                std::string back = Utf16ToCodePage(std::u16string(1, m), cp);
                if (back.size() == 1 && back[0] != '?') {
                    (upper ? t->Upper : t->Lower)[size_t(b)] = static_cast<unsigned char>(back[0]);
                }
            }
        }
    }
    gTables[cp] = t;
    return t;
}

std::string MapAnsi(std::string_view text, bool upper) {
    bool ascii = true;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
    if (ascii) return upper ? UpperCase(text) : LowerCase(text);
    unsigned cp = AnsiCodePage();
    if (auto t = TablesOf(cp)) {
        std::string out(text);
        const auto& table = upper ? t->Upper : t->Lower;
        for (char& c : out) c = char(table[static_cast<unsigned char>(c)]);
        return out;
    }
    std::u16string w = CodePageToUtf16(text, cp);
    // Text that is not valid in the code page is left as it is rather than replaced.
    if (Utf16ToCodePage(w, cp) != text) return std::string(text);
    return Utf16ToCodePage(upper ? WideUpperCase(w) : WideLowerCase(w), cp);
}

} // namespace

char16_t WideUpperChar(char16_t c) { return ToUpper(c); }
char16_t WideLowerChar(char16_t c) { return ToLower(c); }

std::u16string WideUpperCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = ToUpper(c);
    return out;
}

std::u16string WideLowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = ToLower(c);
    return out;
}

int WideCompareText(std::u16string_view a, std::u16string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t x = ToUpper(a[i]), y = ToUpper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool WideSameText(std::u16string_view a, std::u16string_view b) { return a.size() == b.size() && WideCompareText(a, b) == 0; }

std::string AnsiUpperCase(std::string_view text) { return MapAnsi(text, true); }
std::string AnsiLowerCase(std::string_view text) { return MapAnsi(text, false); }

int AnsiCompareText(std::string_view a, std::string_view b) {
    bool ascii = true;
    for (std::string_view s : {a, b})
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (ascii) return CompareText(a, b);
    unsigned cp = AnsiCodePage();
    if (auto t = TablesOf(cp)) {
        // Compare by the UTF-16 value of the upper-cased characters, as the wide form does.
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            char16_t x = ToUpper(t->Wide[static_cast<unsigned char>(a[i])]);
            char16_t y = ToUpper(t->Wide[static_cast<unsigned char>(b[i])]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    return WideCompareText(CodePageToUtf16(a, cp), CodePageToUtf16(b, cp));
}

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

int AnsiCompareStr(std::string_view a, std::string_view b) {
    int r = a.compare(b); // char_traits<char> compares as unsigned char
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return out;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return out;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

} // namespace quorvel
