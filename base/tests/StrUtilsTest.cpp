#include "base/StrUtils.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(StrUtils, TrimRemovesBlanksAndControlCharacters) {
    EXPECT_EQ(Trim(" \t\r\n abc \x01"), "abc");
    EXPECT_EQ(Trim("\xA0x\xFF"), "\xA0x\xFF") << "bytes above 0x7F are kept";
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim(u"\t я \n"), u"я");
    EXPECT_EQ(TrimRight(u"\u00A0 "), u"\u00A0");
}

TEST(StrUtils, QuotingAndReplacing) {
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(QuotedStr("a\"b", '"'), "\"a\"\"b\"");
    EXPECT_EQ(StringReplace("a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(StringReplace("a.b.c", ".", "", false), "ab.c");
    EXPECT_EQ(StringReplace("Select SELECT", "select", "x", true, true), "x x");
    EXPECT_EQ(StringReplace("aaa", "aa", "a"), "aa") << "no re-scan of replaced text";
    EXPECT_EQ(StringReplace("abc", "", "x"), "abc");
}
