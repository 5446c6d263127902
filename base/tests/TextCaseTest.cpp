#include "base/TextCase.h"

#include "base/CodePage.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(TextCase, WideLetters) {
    EXPECT_EQ(WideUpperCase(u"abc äöüß ÿ ąčę ё яюя ґ αβγ ς ά"), u"ABC ÄÖÜß Ÿ ĄČĘ Ё ЯЮЯ Ґ ΑΒΓ Σ Ά");
    EXPECT_EQ(WideLowerCase(u"ABC ÄÖÜ Ÿ ĄČĘ Ё ЯЮЯ Ґ ΑΒΓ Ά"), u"abc äöü ÿ ąčę ё яюя ґ αβγ ά");
    // Every mapped letter comes back.
    for (char32_t c = 0x41; c < 0x530; ++c) {
        char16_t u = WideUpperChar(char16_t(c));
        if (u != c && c != 0x3C2 && c != 0xB5 && c != 0x131) {
            EXPECT_EQ(WideLowerChar(u), c) << std::hex << unsigned(c);
        }
    }
    EXPECT_EQ(WideUpperChar(u'×'), u'×');
    EXPECT_EQ(WideUpperChar(u'÷'), u'÷');
    EXPECT_EQ(WideCompareText(u"абв", u"АБВ"), 0);
    EXPECT_LT(WideCompareText(u"ab", u"abc"), 0);
    EXPECT_GT(WideCompareText(u"b", u"A"), 0);
    EXPECT_TRUE(WideSameText(u"Ärger", u"äRGER"));
}

TEST(TextCase, AnsiTextInTheProcessCodePage) {
    unsigned saved = AnsiCodePage();
    SetAnsiCodePage(cpWindows1251);
    EXPECT_EQ(AnsiUpperCase("abc \xE0\xFF\xB8"), "ABC \xC0\xDF\xA8"); // абяё -> АБЯЁ
    EXPECT_EQ(AnsiLowerCase("\xC0\xDF\xA8"), "\xE0\xFF\xB8");
    EXPECT_TRUE(AnsiSameText("\xFF", "\xDF"));
    EXPECT_LT(AnsiCompareText("\xE0", "\xDF"), 0); // а < Я
    SetAnsiCodePage(cpWindows1252);
    EXPECT_EQ(AnsiUpperCase("\xE4\xF6\xFC\xFF"), "\xC4\xD6\xDC\x9F"); // äöüÿ -> ÄÖÜŸ
    SetAnsiCodePage(cpUTF8);
    EXPECT_EQ(AnsiUpperCase("\xC3\xA4 \xD1\x8F x"), "\xC3\x84 \xD0\xAF X");
    EXPECT_EQ(AnsiUpperCase("bad \xFF utf8"), "bad \xFF utf8") << "invalid text is left alone";
    EXPECT_TRUE(AnsiSameText("\xD1\x8F", "\xD0\xAF"));
    SetAnsiCodePage(saved);
}

TEST(TextCase, AsciiOnlyForms) {
    EXPECT_EQ(UpperCase("abc\xE4z"), "ABC\xE4Z");
    EXPECT_EQ(LowerCase("ABC\xC4Z"), "abc\xC4z");
    EXPECT_EQ(CompareText("abc", "ABD"), -1);
    EXPECT_TRUE(SameText("Scott", "SCOTT"));
    EXPECT_FALSE(SameText("a", "ab"));
    EXPECT_LT(AnsiCompareStr("a", "\xE4"), 0) << "bytes compare as unsigned";
}
