// The feedback line written after a successful statement.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "oracle/script/Feedback.h"

using namespace quorvel;

namespace {

struct FeedbackCase {
    int32_t Code;
    int32_t Rows;
    const char* Expected;
};

TEST(FeedbackTest, MessagesForCodesAndCounts) {
    const FeedbackCase cases[] = {
        {3, 1, "1 row inserted"},
        {3, 0, "0 rows inserted"},
        {3, 2, "2 rows inserted"},
        {3, -1, "-1 rows inserted"},
        {4, 1, "1 row selected"},
        {4, 14, "14 rows selected"},
        {5, 3, "3 rows updated"},
        {9, 1, "1 row deleted"},
        {9, 5, "5 rows deleted"},
        {9, INT_MAX, "2147483647 rows deleted"},
        {1, 7, "Table created"},
        {34, 0, "PL/SQL procedure successfully completed"},
        {34, 1, "PL/SQL procedure successfully completed"},
        {35, 1, "Table(s) locked"},
        {54, 0, "Commit complete"},
        {97, 0, "Package body created"},
        {157, 0, "Directory created"},
        {183, 0, "Operator altered"},
        // codes without an entry
        {0, 0, "Done"},
        {15, 1, "Done"},
        {36, 1, "Done"},
        {69, 1, "Done"},
        {100, 1, "Done"},
        {156, 1, "Done"},
        {184, 1, "Done"},
        {-1, 1, "Done"},
        {-3, 1, "Done"},
        {INT_MIN, 1, "Done"},
        {INT_MAX, 1, "Done"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FeedbackText(c.Code, c.Rows), c.Expected) << "code " << c.Code << ", rows " << c.Rows;
}

// Every code from 0 to 200 gives a message without placeholders, and exactly 123 of them
// have one of their own.
TEST(FeedbackTest, TableCoversItsCodesOnly) {
    int known = 0;
    for (int code = -5; code <= 300; ++code) {
        const std::string text = FeedbackText(code, 2);
        EXPECT_EQ(text.find('%'), std::string::npos) << code;
        EXPECT_FALSE(text.empty()) << code;
        if (text != "Done") ++known;
    }
    EXPECT_EQ(known, 123);
}

} // namespace
