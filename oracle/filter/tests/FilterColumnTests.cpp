// Filters over the columns of an in-memory record source, as the data set uses them.
#include "oracle/filter/tests/TestRecords.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

std::monostate null;

class FilterColumns : public ::testing::Test {
protected:
    FilterColumns()
        : FRecords({{u"NAME", ttString}, {u"N", ttInteger}, {u"X", ttFloat}, {u"B", ttBoolean},
                    {u"D", ttDate}, {u"null", ttInteger}}) {
        FRecords.AddRecord({std::u16string(u"Smith"), 1, 1.5, true, 43000.0, 7});
        FRecords.AddRecord({std::u16string(u"Sanders"), 2, null, false, 43000.5, 8});
        FRecords.AddRecord({std::u16string(u"Jones"), null, 3.0, true, null, null});
        FRecords.AddRecord({null, 4, 4.5, null, 44000.0, 9});
        FRecords.AddRecord({std::u16string(u"*s"), 5, -1.0, false, 45000.0, 10});
        FRecords.AddRecord({std::u16string(u"smith"), 6, 0.0, true, 46000.25, 11});
    }

    std::vector<int> Rows(std::u16string_view filter, TFilterOptions options = {}) {
        return FRecords.Matching(filter, options);
    }

    std::string Error(std::u16string_view filter) {
        try {
            Rows(filter);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(no error)";
    }

    TTestRecords FRecords;
};

using R = std::vector<int>;

} // namespace

TEST_F(FilterColumns, EmptyFilterPassesEveryRecord) {
    EXPECT_EQ(Rows(u""), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"   "), (R{0, 1, 2, 3, 4, 5}));
}

TEST_F(FilterColumns, NullComparisons) {
    EXPECT_EQ(Rows(u"[NAME] = NULL"), (R{3}));
    EXPECT_EQ(Rows(u"[NAME] <> NULL"), (R{0, 1, 2, 4, 5}));
    EXPECT_EQ(Rows(u"[NAME] > NULL"), R{});
    EXPECT_EQ(Rows(u"NULL = NULL"), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"NULL <= NULL"), R{});
    EXPECT_EQ(Rows(u"1 <> NULL"), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"[N] = null"), (R{2}));
    EXPECT_EQ(Rows(u"NULL = [X]"), (R{1}));
    EXPECT_EQ(Rows(u"[N] < 3"), (R{0, 1})); // a null column fails every ordering
    EXPECT_EQ(Rows(u"[NULL] = [N]"), (R{2})); // bracketed upper-case NULL is the constant too
    // Bracketed lower-case null is the column of that name.
    EXPECT_EQ(Rows(u"[null] > 8"), (R{3, 4, 5}));
    EXPECT_EQ(Rows(u"[null] = NULL"), (R{2}));
}

TEST_F(FilterColumns, Patterns) {
    EXPECT_EQ(Rows(u"[NAME] = 'S*'"), (R{0, 1}));
    EXPECT_EQ(Rows(u"[NAME] = 'S*'", {foCaseInsensitive}), (R{0, 1, 5}));
    EXPECT_EQ(Rows(u"[NAME] = 'S*'", {foNoPartialCompare}), R{});
    EXPECT_EQ(Rows(u"[NAME] <> 'S*'"), (R{2, 3, 4, 5})); // null <> non-null holds
    EXPECT_EQ(Rows(u"[NAME] = '?mith'"), (R{0, 5}));
    // With the operands swapped the column's value is the pattern.
    EXPECT_EQ(Rows(u"'Jones' = [NAME]"), (R{2, 4}));
    EXPECT_EQ(Rows(u"'Jones' = [NAME]", {foNoPartialCompare}), (R{2}));
    EXPECT_EQ(Rows(u"UPPER([NAME]) = 'SMITH'"), (R{0, 5}));
    EXPECT_EQ(Rows(u"[NAME] = 'SMITH'", {foCaseInsensitive, foNoPartialCompare}), (R{0, 5}));
    EXPECT_EQ(Rows(u"[NAME] <> 'SMITH'", {foCaseInsensitive, foNoPartialCompare}), (R{1, 2, 3, 4}));
    EXPECT_EQ(Rows(u"[NAME] = '*S'", {foCaseInsensitive}), (R{1, 2, 4}));
}

TEST_F(FilterColumns, CombinedComparisonsNeedParentheses) {
    EXPECT_EQ(Rows(u"([N] > 1) AND ([X] < 5)"), (R{3, 4, 5}));
    EXPECT_EQ(Rows(u"([N] = 1) OR ([NAME] = 'Jones') OR ([X] < 0)"), (R{0, 2, 4}));
    EXPECT_EQ(Rows(u"NOT ([N] > 1)"), (R{0, 2}));
    EXPECT_EQ(Error(u"[N] > 1 AND [X] < 5"), "Syntax error");
}

TEST_F(FilterColumns, TypedColumns) {
    EXPECT_EQ(Rows(u"[B]"), (R{0, 2, 5}));
    EXPECT_EQ(Rows(u"NOT [B]"), (R{1, 3, 4})); // a null Boolean reads as false
    EXPECT_EQ(Rows(u"[B] = TRUE"), (R{0, 2, 5}));
    EXPECT_EQ(Rows(u"[X] * 2 > [N]"), (R{0, 3}));
    EXPECT_EQ(Rows(u"[D] > 43000"), (R{1, 3, 4, 5}));
    EXPECT_EQ(Rows(u"[D] - [D] = 0"), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"FRAC(FLOAT([D])) > 0"), (R{1, 5}));
    EXPECT_EQ(Error(u"FRAC([D]) > 0"), "Invalid parameter to FRAC");
    EXPECT_EQ(Rows(u"[NAME] + [N] = 'Smith1'"), (R{0}));
    EXPECT_EQ(Rows(u"LENGTH([NAME]) > 5"), (R{1}));
    EXPECT_EQ(Rows(u"IF([N] > 3, [X], 0) > 4"), (R{3}));
}

TEST_F(FilterColumns, ColumnAgainstColumn) {
    EXPECT_EQ(Rows(u"[N] < [X]"), (R{0, 3}));
    EXPECT_EQ(Rows(u"[N] = [null]"), (R{2})); // both null
    EXPECT_EQ(Rows(u"[N] <> [null]"), (R{0, 1, 3, 4, 5}));
    EXPECT_EQ(Rows(u"[null] = [N]"), (R{2}));
    EXPECT_EQ(Rows(u"[N] = [N]"), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"1.5 = [X]"), (R{0}));
    EXPECT_EQ(Rows(u"[NAME] >= [NAME]"), (R{0, 1, 2, 4, 5}));
    EXPECT_EQ(Rows(u"[NAME] < 'S'"), (R{2, 4})); // '*' and 'J' sort before 'S'
    EXPECT_EQ(Rows(u"[N] = TRUE"), (R{0}));
    EXPECT_EQ(Rows(u"[B] = [B]"), (R{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Rows(u"[B] <> [B]"), R{});
}

TEST_F(FilterColumns, Failures) {
    EXPECT_EQ(Error(u"[N] + 1"), "Internal parser error. Code 13");
    EXPECT_EQ(Error(u"[MISSING] = 1"), "Field 'MISSING' not found");
    EXPECT_EQ(Error(u"([N] = 1))"), ") not appropriate");
    EXPECT_EQ(Error(u"[NAME] * 2 = 1"), "Operator opMult incompatible with String");
}
