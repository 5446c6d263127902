#include "oracle/session/UTF8.h"

#include "base/CodePage.h"
#include "oracle/ci/OracleCI.h"

namespace quorvel {

std::atomic<bool> UTF8DecodeFailed{false};
std::atomic<bool> UTF8EncodeFailed{false};

std::ptrdiff_t UTF8ToUnicode(char16_t* dest, std::size_t destUnits, const char* source, std::size_t sourceBytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(source);
    auto continuation = [](unsigned char b) { return b >= 128 && b <= 191; };
    std::size_t i = 0, n = 0;
    while (i < sourceBytes && n < destUnits) {
        const unsigned b1 = s[i++];
        if (b1 < 128) {
            dest[n++] = char16_t(b1);
        } else if (b1 & 32) {
            if (i + 2 > sourceBytes || !continuation(s[i]) || !continuation(s[i + 1])) return -1;
            dest[n++] = char16_t(((b1 & 63u) * 4096u + (s[i] & 63u) * 64u + (s[i + 1] & 63u)) & 0xFFFFu);
            i += 2;
        } else {
            if (i + 1 > sourceBytes || !continuation(s[i])) return -1;
            dest[n++] = char16_t((b1 & 63u) * 64u + (s[i] & 63u));
            i += 1;
        }
    }
    return std::ptrdiff_t(n);
}

std::size_t UnicodeToUTF8(char* dest, std::size_t destBytes, const char16_t* source, std::size_t sourceUnits) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < sourceUnits; ++i) {
        const unsigned u = source[i];
        if (u < 128) {
            if (n + 1 > destBytes) break;
            dest[n++] = char(u);
        } else if (u < 2048) {
            if (n + 2 > destBytes) break;
            dest[n++] = char(192 | (u >> 6));
            dest[n++] = char(128 | (u & 63));
        } else {
            if (n + 3 > destBytes) break;
            dest[n++] = char(224 | (u >> 12));
            dest[n++] = char(128 | ((u >> 6) & 63));
            dest[n++] = char(128 | (u & 63));
        }
    }
    return n;
}

std::u16string UTF8Decode(std::string_view bytes) {
    std::u16string result(bytes.size(), u'\0');
    const std::ptrdiff_t n = UTF8ToUnicode(result.data(), result.size(), bytes.data(), bytes.size());
    if (n < 0) {
        UTF8DecodeFailed = true;
        return AnsiToUtf16(bytes);
    }
    result.resize(std::size_t(n));
    return result;
}

std::string UTF8Encode(std::u16string_view text) {
    std::string result(text.size() * 3, '\0');
    // Three bytes for every unit always suffice, so encoding the whole text cannot fail.
    result.resize(UnicodeToUTF8(result.data(), result.size(), text.data(), text.size()));
    return result;
}

std::u16string MessageForDisplay(std::string_view message, bool clientUsesUTF8) {
    return clientUsesUTF8 ? UTF8Decode(message) : AnsiToUtf16(message);
}

std::u16string MessageForDisplay(std::string_view message) { return MessageForDisplay(message, NLSLangIsUTF8()); }

} // namespace quorvel
