// Runs with QUORVEL_CODEPAGE=1251 in the environment: the process ANSI code page follows it.
#include "base/CodePage.h"
#include "base/Variant.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(AnsiCodePageFromEnvironment, FollowsQuorvelCodePage) {
    EXPECT_EQ(AnsiCodePage(), 1251u);
    EXPECT_EQ(Utf16ToAnsi(u"Ёж"), "\xA8\xE6");
    EXPECT_EQ(Variant("\xA8\xE6").ToUString(), u"Ёж");
}
