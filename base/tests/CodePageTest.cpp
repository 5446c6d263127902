#include "base/CodePage.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(CodePage, Windows1251And1252RoundTrip) {
    const std::string cyr = "\xCF\xF0\xE8\xE2\xE5\xF2, \xDF\xFF\xA8\xB8"; // Привет, ЯяЁё
    EXPECT_EQ(CodePageToUtf16(cyr, cpWindows1251), u"Привет, ЯяЁё");
    EXPECT_EQ(Utf16ToCodePage(u"Привет, ЯяЁё", cpWindows1251), cyr);
    EXPECT_EQ(CodePageToUtf16("\xE4\xF6\xFC\x80", cpWindows1252), u"äöü€");
    EXPECT_EQ(Utf16ToCodePage(u"äöü€", cpWindows1252), "\xE4\xF6\xFC\x80");
    // Every byte of 1251 that has a character comes back unchanged.
    for (int b = 1; b < 256; ++b) {
        std::string one(1, char(b));
        std::u16string u = CodePageToUtf16(one, cpWindows1251);
        ASSERT_EQ(u.size(), 1u) << b;
        if (u[0] != 0xFFFD) {
            EXPECT_EQ(Utf16ToCodePage(u, cpWindows1251), one) << b;
        }
    }
}

TEST(CodePage, UnrepresentableAndInvalidInput) {
    EXPECT_EQ(Utf16ToCodePage(u"aяb", cpWindows1252), "a?b");
    EXPECT_EQ(Utf16ToCodePage(u"a\U0001F600b", cpWindows1251), "a?b"); // a pair is one character
    EXPECT_EQ(Utf16ToCodePage(std::u16string(u"a") + char16_t(0xD800) + u"b", cpWindows1251), "a?b");
    // 0x98 has no character in 1251, 0x81 none in 1252.
    EXPECT_EQ(CodePageToUtf16("a\x98z", cpWindows1251), u"a\uFFFDz");
    EXPECT_EQ(CodePageToUtf16("a\x81z", cpWindows1252), u"a\uFFFDz");
    // Truncated multi-byte text in a multi-byte code page.
    if (IsCodePageSupported(932)) {
        EXPECT_EQ(CodePageToUtf16("a\x82", 932), u"a\uFFFD");
    }
    EXPECT_EQ(CodePageToUtf16("", cpWindows1251), u"");
    EXPECT_EQ(Utf16ToCodePage(u"", cpWindows1251), "");
    // Long text crosses the converter's buffer.
    std::string big(100000, '\xE9');
    EXPECT_EQ(CodePageToUtf16(big, cpWindows1251), std::u16string(100000, u'й'));
    EXPECT_EQ(Utf16ToCodePage(std::u16string(100000, u'й'), cpWindows1251), big);
}

TEST(CodePage, Utf8) {
    std::u16string text = u"aä€\U0001F600я";
    std::string utf8 = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xD1\x8F";
    EXPECT_EQ(Utf16ToUtf8(text), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), text);
    EXPECT_EQ(CodePageToUtf16(utf8, cpUTF8), text);
    EXPECT_TRUE(IsValidUtf8(utf8));
    struct Bad { const char* bytes; std::u16string expected; } bad[] = {
        {"\xC0\xAF", u"\uFFFD\uFFFD"},         // overlong
        {"a\xE2\x82", u"a\uFFFD"},             // truncated
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\x80x", u"\uFFFDx"},                 // stray continuation
        {"\xFF", u"\uFFFD"},
        {"\xE2\x82x", u"\uFFFDx"},
    };
    for (const auto& c : bad) {
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.expected) << c.bytes;
        EXPECT_FALSE(IsValidUtf8(c.bytes));
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(CodePage, Names) {
    struct Case { const char* name; unsigned cp; } cases[] = {
        {"UTF-8", 65001}, {"utf8", 65001}, {"CP1251", 1251}, {"windows-1252", 1252}, {"ISO-8859-1", 28591},
        {"ISO8859-5", 28595}, {"KOI8-R", 20866}, {"ANSI_X3.4-1968", 20127}, {"nonsense", 0}, {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CodePageFromName(c.name), c.cp) << c.name;
    EXPECT_TRUE(IsCodePageSupported(1251));
    EXPECT_FALSE(IsCodePageSupported(4));
    // An unknown code page loses no byte.
    EXPECT_EQ(CodePageToUtf16("\xE9", 4), u"\u00E9");
}

TEST(CodePage, AnsiCodePageCanBeReplaced) {
    unsigned saved = AnsiCodePage();
    SetAnsiCodePage(cpWindows1251);
    EXPECT_EQ(AnsiToUtf16("\xDF"), u"Я");
    EXPECT_EQ(Utf16ToAnsi(u"я"), "\xFF");
    SetAnsiCodePage(cpUTF8);
    EXPECT_EQ(Utf16ToAnsi(u"я"), "\xD1\x8F");
    SetAnsiCodePage(saved);
}

TEST(CodePage, ByteOrderMarks) {
    struct Case { std::string bytes; TTextEncoding enc; std::size_t len; } cases[] = {
        {"\xEF\xBB\xBFx", TTextEncoding::teUTF8, 3}, {"\xFF\xFEx\0", TTextEncoding::teUTF16LE, 2},
        {"\xFE\xFF\0x", TTextEncoding::teUTF16BE, 2}, {std::string("\xFF\xFE\0\0", 4), TTextEncoding::teUTF32LE, 4},
        {std::string("\0\0\xFE\xFF", 4), TTextEncoding::teUTF32BE, 4}, {"plain", TTextEncoding::teNone, 0},
        {"\xEF\xBB", TTextEncoding::teNone, 0}, {"", TTextEncoding::teNone, 0},
    };
    for (const auto& c : cases) {
        TBomInfo b = DetectBom(c.bytes);
        EXPECT_EQ(b.Encoding, c.enc) << c.bytes;
        EXPECT_EQ(b.Length, c.len) << c.bytes;
    }
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF\xD1\x8F", cpWindows1251), u"я");
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE\x4F\x04", 4), cpWindows1251), u"я");
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF\x04\x4F\x04", 5), cpWindows1251), u"я\uFFFD");
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE\0\0\x00\xF6\x01\x00", 8), cpUTF8), u"\U0001F600");
    EXPECT_EQ(DecodeText("\xFF", cpWindows1251), u"я");
}
