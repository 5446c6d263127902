// The library's UTF-8 routines, line-break conversion and messages for display.
#include <gtest/gtest.h>

#include "base/CodePage.h"
#include "oracle/session/SessionPreferences.h"
#include "oracle/session/UTF8.h"

using namespace quorvel;

namespace {

// Runs with the given ANSI code page and puts the previous one back.
struct AnsiCodePageScope {
    explicit AnsiCodePageScope(unsigned cp) : FOld(AnsiCodePage()) { SetAnsiCodePage(cp); }
    ~AnsiCodePageScope() { SetAnsiCodePage(FOld); }
    unsigned FOld;
};

} // namespace

TEST(UTF8Routines, Decoding) {
    const struct {
        const char* bytes;
        std::size_t length;
        std::u16string expected;   // empty with valid false: the conversion fails
        bool valid;
    } cases[] = {
        {"abc", 3, u"abc", true},
        {"\xC3\xA9", 2, u"\u00E9", true},
        {"\xE2\x82\xAC!", 4, u"\u20AC!", true},
        {"\xD0\x9F\xD1\x80", 4, u"\u041F\u0440", true},
        // No check of the value: an overlong form and a continuation byte as a lead are taken.
        {"\xC0\x80", 2, std::u16string(1, u'\0'), true},
        {"\x80\x81", 2, std::u16string(1, char16_t(1)), true},
        // A four-byte lead is read as a three-byte one, cut to 16 bits.
        {"\xF0\x9F\x98\x80\x80", 5, std::u16string{char16_t(0x07D8), char16_t(0)}, true},
        {"\xF0\x9F\x98\x80", 4, u"", false},   // ... and its last byte is then cut off
        {"\xC3\x41", 2, u"", false},           // continuation outside 128..191
        {"\xE2\x82\xC0", 3, u"", false},
        {"\xE2\x82", 2, u"", false},           // cut off by the end
        {"a\xC3", 2, u"", false},
        {"", 0, u"", true},
    };
    for (const auto& c : cases) {
        char16_t out[16];
        const std::ptrdiff_t n = UTF8ToUnicode(out, 16, c.bytes, c.length);
        if (c.valid)
            EXPECT_EQ(std::u16string(out, std::size_t(n)), c.expected) << c.bytes;
        else
            EXPECT_EQ(n, -1) << c.bytes;
    }
    // Output stops when the destination is full.
    char16_t two[2];
    EXPECT_EQ(UTF8ToUnicode(two, 2, "\xC3\xA9xyz", 5), 2);
    EXPECT_EQ(std::u16string(two, 2), u"\u00E9x");
}

TEST(UTF8Routines, Encoding) {
    const struct {
        std::u16string text;
        std::string expected;
    } cases[] = {
        {u"abc", "abc"},
        {u"\u00E9\u07FF", "\xC3\xA9\xDF\xBF"},
        {u"\u0800\u20AC\uFFFF", "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},   // surrogate halves one by one
        {u"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(UTF8Encode(c.text), c.expected);
    // Output stops before a sequence that would not fit.
    char out[4];
    EXPECT_EQ(UnicodeToUTF8(out, 4, u"a\u20ACb", 3), 4u);
    EXPECT_EQ(UnicodeToUTF8(out, 3, u"a\u20ACb", 3), 1u);
    EXPECT_EQ(UnicodeToUTF8(out, 2, u"\u00E9", 1), 2u);
    EXPECT_EQ(UnicodeToUTF8(out, 1, u"\u00E9", 1), 0u);
}

TEST(UTF8Routines, FailedDecodingFallsBackToTheAnsiCodePage) {
    AnsiCodePageScope cp(cpWindows1252);
    UTF8DecodeFailed = false;
    EXPECT_EQ(UTF8Decode("\xD0\x9F"), u"\u041F");
    EXPECT_FALSE(UTF8DecodeFailed);
    EXPECT_EQ(UTF8Decode("caf\xE9"), u"caf\u00E9");   // Windows-1252 text, no UTF-8
    EXPECT_TRUE(UTF8DecodeFailed);
    UTF8DecodeFailed = false;
    // Round trip of every unit outside the surrogates.
    std::u16string all;
    for (char32_t u = 1; u < 0x10000; ++u)
        if (u < 0xD800 || u > 0xDFFF) all += char16_t(u);
    EXPECT_EQ(UTF8Decode(UTF8Encode(all)), all);
    EXPECT_FALSE(UTF8EncodeFailed);
}

TEST(UTF8Routines, MessagesForDisplay) {
    AnsiCodePageScope cp(cpWindows1251);
    // A UTF-8 client sends UTF-8 bytes; a bad sequence falls back to the code page.
    EXPECT_EQ(MessageForDisplay("ORA-20001: \xD0\x9F\xD1\x80", true), u"ORA-20001: \u041F\u0440");
    EXPECT_EQ(MessageForDisplay("ORA-20001: \xCF\xF0", true), u"ORA-20001: \u041F\u0440");
    // Any other client sends text in the code page.
    EXPECT_EQ(MessageForDisplay("ORA-20001: \xCF\xF0", false), u"ORA-20001: \u041F\u0440");
}

TEST(LineBreaks, SentAndRead) {
    const struct {
        std::string text, sent, read;
    } cases[] = {
        {"a\r\nb", "a\nb", "a\r\nb"},
        {"a\nb", "a\nb", "a\r\nb"},
        {"a\rb", "ab", "a\r\nb"},
        {"\r\r\n\n", "\n\n", "\r\n\r\n\r\n"},
        {"\n\r", "\n", "\r\n\r\n"},
        {"plain", "plain", "plain"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveCR(c.text), c.sent);
        EXPECT_EQ(ToCRLF(c.text), c.read);
    }
    // Text with CR LF breaks comes back as it was sent.
    EXPECT_EQ(ToCRLF(RemoveCR("line 1\r\nline 2\r\n")), "line 1\r\nline 2\r\n");
    EXPECT_EQ(RemoveCR(u"\u041F\r\n"), u"\u041F\n");
    EXPECT_EQ(ToCRLF(u"\u041F\n\r"), u"\u041F\r\n\r\n");
}
