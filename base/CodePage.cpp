#include "base/CodePage.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

std::atomic<unsigned> gAnsiCodePage{0};
std::once_flag gAnsiOnce;

std::string UpperAscii(std::string_view s) {
    std::string r;
    for (char c : s) {
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        if (c != '-' && c != '_' && c != ' ') r += c;
    }
    return r;
}

unsigned LocaleCodePage() {
    locale_t loc = newlocale(LC_ALL_MASK, "", locale_t(0));
    if (loc == locale_t(0)) return cpUTF8;
    const char* set = nl_langinfo_l(CODESET, loc);
    unsigned cp = set ? CodePageFromName(set) : 0;
    freelocale(loc);
    // The C locale reports plain ASCII; its text is taken as UTF-8, the normal POSIX case.
    if (cp == 0 || cp == 20127) cp = cpUTF8;
    return cp;
}

void InitAnsi() {
    unsigned cp = 0;
    if (const char* env = std::getenv("QUORVEL_CODEPAGE"); env && *env) {
        char* end = nullptr;
        unsigned long v = std::strtoul(env, &end, 10);
        if (end && *end == '\0' && v > 0 && v < 100000) cp = unsigned(v);
        else cp = CodePageFromName(env);
        if (cp != 0 && !IsCodePageSupported(cp)) cp = 0;
    }
    if (cp == 0) cp = LocaleCodePage();
    unsigned expected = 0;
    gAnsiCodePage.compare_exchange_strong(expected, cp);
}

// The iconv name of a code page, empty when there is none.
std::string IconvName(unsigned cp) {
    switch (cp) {
    case cpUTF8: return "UTF-8";
    case cpUTF16LE: return "UTF-16LE";
    case cpUTF16BE: return "UTF-16BE";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 51932: return "EUC-JP";
    case 54936: return "GB18030";
    default: break;
    }
    if (cp >= 28591 && cp <= 28606) return "ISO-8859-" + std::to_string(cp - 28590);
    if ((cp >= 1250 && cp <= 1258) || (cp >= 437 && cp <= 874)) return "CP" + std::to_string(cp);
    return {};
}

iconv_t OpenIconv(const std::string& to, const std::string& from) {
    if (to.empty() || from.empty()) return iconv_t(-1);
    return iconv_open(to.c_str(), from.c_str());
}

// Decodes with iconv to UTF-16LE, one U+FFFD for each byte that cannot start a character.
bool IconvDecode(std::string_view in, unsigned cp, std::u16string& out) {
    iconv_t cd = OpenIconv("UTF-16LE", IconvName(cp));
    if (cd == iconv_t(-1)) return false;
    out.clear();
    out.reserve(in.size());
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        int err = errno;
        size_t produced = sizeof buffer - dstLeft;
        for (size_t i = 0; i + 1 < produced; i += 2)
            out += char16_t(static_cast<unsigned char>(buffer[i]) | (static_cast<unsigned char>(buffer[i + 1]) << 8));
        if (rc == size_t(-1)) {
            if (err == E2BIG) continue;
            // An invalid or truncated sequence: one replacement, go on after its first byte.
            out += kReplacement;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return true;
}

bool IconvEncode(std::u16string_view in, unsigned cp, std::string& out) {
    iconv_t cd = OpenIconv(IconvName(cp), "UTF-16LE");
    if (cd == iconv_t(-1)) return false;
    out.clear();
    out.reserve(in.size());
    std::string bytes;
    bytes.resize(in.size() * 2);
    for (size_t i = 0; i < in.size(); ++i) {
        bytes[2 * i] = char(in[i] & 0xFF);
        bytes[2 * i + 1] = char(in[i] >> 8);
    }
    char* src = bytes.data();
    size_t srcLeft = bytes.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        int err = errno;
        out.append(buffer, sizeof buffer - dstLeft);
        if (rc == size_t(-1)) {
            if (err == E2BIG) continue;
            // Unrepresentable or unpaired: '?' for the code unit (a pair when it is one).
            size_t skip = 2;
            char16_t u = char16_t(static_cast<unsigned char>(src[0]) | (static_cast<unsigned char>(src[1]) << 8));
            if (srcLeft >= 4 && u >= 0xD800 && u <= 0xDBFF) {
                char16_t v = char16_t(static_cast<unsigned char>(src[2]) | (static_cast<unsigned char>(src[3]) << 8));
                if (v >= 0xDC00 && v <= 0xDFFF) skip = 4;
            }
            if (srcLeft < skip) skip = srcLeft;
            out += '?';
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush any shift state.
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    iconv_close(cd);
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += char16_t(c);
    } else {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
    }
}

// Decodes one UTF-8 character at s[i]; returns the code point or -1 for a bad subsequence,
// and advances i past what it consumed (the maximal subpart of a bad sequence, at least 1).
long DecodeUtf8At(std::string_view s, size_t& i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) { ++i; return c; }
    int need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) { need = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) {
        need = 2; cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3; cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else { ++i; return -1; }
    size_t k = i + 1;
    for (int n = 0; n < need; ++n, ++k) {
        if (k >= s.size()) { i = k; return -1; }
        unsigned char d = b(k);
        if (d < lo || d > hi) { i = k; return -1; }
        lo = 0x80; hi = 0xBF;
        cp = (cp << 6) | (d & 0x3F);
    }
    i = k;
    return long(cp);
}

// A code page in which every byte is at most one character: tables in both directions,
// built once with the converter and kept for the process.
struct SingleByteTable {
    char16_t Decode[256];
    bool Defined[256];
    std::vector<unsigned char> Encode; // 65536 entries; 0 = no byte (except for U+0000)
};

std::mutex gTableLock;
std::map<unsigned, std::shared_ptr<const SingleByteTable>> gTableCache;

std::shared_ptr<const SingleByteTable> SingleByteTableOf(unsigned cp) {
    if (cp == cpUTF8 || cp == cpUTF16LE || cp == cpUTF16BE) return nullptr;
    std::lock_guard<std::mutex> lock(gTableLock);
    auto it = gTableCache.find(cp);
    if (it != gTableCache.end()) return it->second;
    std::shared_ptr<SingleByteTable> table;
    iconv_t cd = OpenIconv("UTF-16LE", IconvName(cp));
    if (cd != iconv_t(-1)) {
        table = std::make_shared<SingleByteTable>();
        table->Encode.assign(65536, 0);
        for (int b = 0; b < 256 && table; ++b) {
            char in = char(b);
            char out[8];
            char* src = &in;
            size_t srcLeft = 1;
            char* dst = out;
            size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
            size_t produced = sizeof out - dstLeft;
            if ((rc == size_t(-1) && errno == EINVAL) || (rc != size_t(-1) && produced == 0)) {
                // The byte starts a longer sequence or waits for a combining mark: not one
                // character per byte.
                table.reset();
                break;
            }
            if (rc == size_t(-1) || produced != 2) {
                table->Decode[b] = kReplacement;
                table->Defined[b] = false;
                continue;
            }
            char16_t u = char16_t(static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8));
            table->Decode[b] = u;
            table->Defined[b] = true;
            if (table->Encode[u] == 0) table->Encode[u] = static_cast<unsigned char>(b);
        }
        iconv_close(cd);
    }
    gTableCache[cp] = table;
    return table;
}

} // namespace

unsigned AnsiCodePage() {
    std::call_once(gAnsiOnce, InitAnsi);
    return gAnsiCodePage.load();
}

void SetAnsiCodePage(unsigned codePage) {
    std::call_once(gAnsiOnce, InitAnsi);
    gAnsiCodePage.store(codePage);
}

unsigned CodePageFromName(std::string_view name) {
    std::string n = UpperAscii(name);
    if (n == "UTF8") return cpUTF8;
    if (n == "UTF16LE") return cpUTF16LE;
    if (n == "UTF16BE") return cpUTF16BE;
    if (n == "ASCII" || n == "ANSIX3.41968" || n == "USASCII") return 20127;
    if (n == "KOI8R") return 20866;
    if (n == "KOI8U") return 21866;
    if (n == "EUCJP") return 51932;
    if (n == "GB18030") return 54936;
    if (n == "GBK") return 936;
    if (n == "SHIFTJIS" || n == "SJIS") return 932;
    if (n.rfind("ISO8859", 0) == 0) {
        int part = std::atoi(n.c_str() + 7);
        if (part >= 1 && part <= 16) return unsigned(28590 + part);
        return 0;
    }
    for (const char* prefix : {"WINDOWS", "CP", "IBM"}) {
        size_t len = std::strlen(prefix);
        if (n.size() > len && n.compare(0, len, prefix) == 0) {
            char* end = nullptr;
            unsigned long v = std::strtoul(n.c_str() + len, &end, 10);
            if (end && *end == '\0' && v > 0) return unsigned(v);
            return 0;
        }
    }
    return 0;
}

bool IsCodePageSupported(unsigned codePage) {
    if (codePage == cpUTF8) return true;
    iconv_t cd = OpenIconv("UTF-16LE", IconvName(codePage));
    if (cd == iconv_t(-1)) return false;
    iconv_close(cd);
    return true;
}

std::u16string CodePageToUtf16(std::string_view text, unsigned codePage) {
    if (codePage == cpUTF8) return Utf8ToUtf16(text);
    std::u16string out;
    if (auto table = SingleByteTableOf(codePage)) {
        out.resize(text.size());
        for (size_t i = 0; i < text.size(); ++i) out[i] = table->Decode[static_cast<unsigned char>(text[i])];
        return out;
    }
    if (IconvDecode(text, codePage, out)) return out;
    // An unknown code page: bytes are taken as Latin-1, which never loses a byte.
    out.clear();
    for (char c : text) out += char16_t(static_cast<unsigned char>(c));
    return out;
}

std::string Utf16ToCodePage(std::u16string_view text, unsigned codePage) {
    if (codePage == cpUTF8) return Utf16ToUtf8(text);
    std::string out;
    if (auto table = SingleByteTableOf(codePage)) {
        out.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t u = text[i];
            unsigned char b = table->Encode[u];
            if (b == 0 && u != 0) {
                b = '?';
                // A surrogate pair is one character: one '?'.
                if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
            }
            out += char(b);
        }
        return out;
    }
    if (IconvEncode(text, codePage, out)) return out;
    out.clear();
    for (char16_t c : text) out += c < 0x100 ? char(c) : '?';
    return out;
}

std::u16string AnsiToUtf16(std::string_view text) { return CodePageToUtf16(text, AnsiCodePage()); }
std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToCodePage(text, AnsiCodePage()); }

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) { out += char16_t(c); ++i; continue; }
        long cp = DecodeUtf8At(text, i);
        if (cp < 0) out += kReplacement;
        else AppendUtf16(out, char32_t(cp));
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size())
        if (DecodeUtf8At(text, i) < 0) return false;
    return true;
}

TBomInfo DetectBom(std::string_view b) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(b[k]); };
    if (b.size() >= 4 && at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) return {TTextEncoding::teUTF32LE, 4};
    if (b.size() >= 4 && at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) return {TTextEncoding::teUTF32BE, 4};
    if (b.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return {TTextEncoding::teUTF8, 3};
    if (b.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) return {TTextEncoding::teUTF16LE, 2};
    if (b.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) return {TTextEncoding::teUTF16BE, 2};
    return {};
}

std::u16string DecodeText(std::string_view bytes, unsigned defaultCodePage) {
    TBomInfo bom = DetectBom(bytes);
    std::string_view body = bytes.substr(bom.Length);
    auto u = [&](size_t k) { return char32_t(static_cast<unsigned char>(body[k])); };
    std::u16string out;
    switch (bom.Encoding) {
    case TTextEncoding::teNone: return CodePageToUtf16(body, defaultCodePage);
    case TTextEncoding::teUTF8: return Utf8ToUtf16(body);
    case TTextEncoding::teUTF16LE:
    case TTextEncoding::teUTF16BE: {
        bool le = bom.Encoding == TTextEncoding::teUTF16LE;
        for (size_t k = 0; k + 1 < body.size(); k += 2)
            out += char16_t(le ? (u(k) | (u(k + 1) << 8)) : ((u(k) << 8) | u(k + 1)));
        if (body.size() % 2) out += kReplacement;
        return out;
    }
    case TTextEncoding::teUTF32LE:
    case TTextEncoding::teUTF32BE: {
        bool le = bom.Encoding == TTextEncoding::teUTF32LE;
        for (size_t k = 0; k + 3 < body.size(); k += 4) {
            char32_t c = le ? (u(k) | (u(k + 1) << 8) | (u(k + 2) << 16) | (u(k + 3) << 24))
                            : ((u(k) << 24) | (u(k + 1) << 16) | (u(k + 2) << 8) | u(k + 3));
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
            AppendUtf16(out, c);
        }
        if (body.size() % 4) out += kReplacement;
        return out;
    }
    }
    return out;
}

} // namespace quorvel
