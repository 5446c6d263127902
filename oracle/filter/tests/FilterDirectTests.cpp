// Comparisons of columns and literals read straight from the record source, chains of AND and
// OR read in one loop: they must give what reading every node would give, and read records
// without allocating.
#include "oracle/filter/FilterNodes.h"
#include "base/FormatSettings.h"
#include "oracle/filter/tests/TestRecords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

// Counts every allocation of the test program, so a test can see that reading records takes none.
namespace {
std::atomic<long> gAllocations{0};
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // free() of what this operator new got from malloc()
#endif
void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

using namespace quorvel;
using namespace quorvel::test;

namespace {

std::monostate null;

// A column reference that the comparisons do not recognise, so every reading goes through
// its node's readers one by one: the reference that the direct readings are held to.
class TOpaqueColumn final : public TExpression {
public:
    explicit TOpaqueColumn(std::unique_ptr<TExpression> column) : FColumn(std::move(column)) {}
    TDateTime AsDate() const override { return FColumn->AsDate(); }
    std::u16string_view ReadString(std::u16string& buffer) const override { return FColumn->ReadString(buffer); }
    double AsFloat() const override { return FColumn->AsFloat(); }
    int32_t AsInteger() const override { return FColumn->AsInteger(); }
    bool AsBoolean() const override { return FColumn->AsBoolean(); }
    bool IsNull() const override { return FColumn->IsNull(); }
    TExprType ExprType() const override { return FColumn->ExprType(); }

private:
    std::unique_ptr<TExpression> FColumn;
};

std::unique_ptr<TExpression> ResolveOpaque(void* context, const std::u16string& name,
                                           std::unique_ptr<TParameterList> params) {
    return std::make_unique<TOpaqueColumn>(ResolveColumn(context, name, std::move(params)));
}

class FilterDirect : public ::testing::Test {
protected:
    FilterDirect()
        : FRecords({{u"NAME", ttString}, {u"N", ttInteger}, {u"X", ttFloat}, {u"B", ttBoolean}, {u"D", ttDate},
                    {u"NAME2", ttString}, {u"M", ttInteger}}) {
        FRecords.AddRecord({std::u16string(u"Smith"), 1, 1.5, true, 43000.0, std::u16string(u"smith"), 1});
        FRecords.AddRecord({std::u16string(u"Sanders"), 2, null, false, 43000.5, std::u16string(u"Sanders"), 3});
        FRecords.AddRecord({std::u16string(u"Jones"), null, 3.0, true, null, null, null});
        FRecords.AddRecord({null, 4, 4.5, null, 44000.0, std::u16string(u"x"), 4});
        FRecords.AddRecord({std::u16string(u"*s"), 5, -1.0, false, 45000.0, std::u16string(u"*S"), -5});
        FRecords.AddRecord({std::u16string(u"äpfel"), int32_t(-2147483647 - 1), 2147483648.0, true, -1.25,
                            std::u16string(u"ÄPFEL"), 2147483647});
        FRecords.AddRecord({std::u16string(), 0, 0.0, false, 0.0, std::u16string(), 0});
        FRecords.AddRecord({std::u16string(u"1"), 1, 1.0, true, 1.0, std::u16string(u"TRUE"), 1});
    }

    void SetUp() override {
        TFormatSettings fs;
        fs.ShortDateFormat = "dd/mm/yyyy";
        fs.DateSeparator = '.';
        fs.LongTimeFormat = "hh:nn:ss";
        fs.TimeSeparator = ':';
        fs.DecimalSeparator = '.';
        SetFormatSettings(fs);
    }
    void TearDown() override { ResetFormatSettings(); }

    // Per record "1", "0" or the failure's message; or the parse failure's message.
    std::vector<std::string> Outcomes(std::u16string_view filter, TFilterOptions options,
                                      const TIdentifierResolver& resolver) {
        std::vector<std::string> out;
        std::unique_ptr<TExpression> root;
        try {
            root = ParseExpression(filter, options, resolver, static_cast<TFieldResolver*>(&FRecords));
        } catch (const Exception& e) {
            return {"parse: " + e.Message()};
        }
        for (int r = 0; r < FRecords.RecordCount(); ++r) {
            FRecords.SetCurrent(r);
            try {
                out.push_back(root->AsBoolean() ? "1" : "0");
            } catch (const Exception& e) {
                out.push_back(e.Message());
            }
        }
        return out;
    }

    TTestRecords FRecords;
};

} // namespace

TEST_F(FilterDirect, DirectReadingsAgreeWithReadingEveryNode) {
    const char16_t* const filters[] = {
        // Integer columns against literals of every kind, either side, every operator.
        u"[N] > 2", u"2 < [N]", u"[N] = 2", u"[N] <> 2", u"2 <> [N]", u"[N] <= 1", u"1 >= [N]", u"[N] >= 2.0",
        u"[N] < 1.5", u"[N] = TRUE", u"TRUE = [N]", u"[N] > -2147483648", u"[N] = [M]", u"[N] < [M]", u"1 = 1",
        // Float and Date columns.
        u"[X] < 1.5", u"1.5 >= [X]", u"[X] = 3", u"[X] > [N]", u"[X] <> 0", u"[D] > 43000", u"43000.5 = [D]",
        u"[D] <= 43000.5", u"[D] < [X]", u"[D] > '01.01.2020'", u"[D] = TRUE", u"[N] >= [D]",
        // Boolean columns: = and <> only.
        u"[B] = TRUE", u"[B] <> FALSE", u"FALSE = [B]", u"[B] = [B]", u"[B] < TRUE", u"TRUE >= [B]",
        // Strings: exact, patterns, ordering, non-ASCII, literals of other types.
        u"[NAME] = 'Smith'", u"[NAME] <> 'Smith'", u"'Smith' = [NAME]", u"[NAME] = 'S*'", u"[NAME] <> '*s'",
        u"[NAME] = '?mith'", u"'Jones' = [NAME]", u"[NAME] = 'SMITH'", u"[NAME] < 'S'", u"[NAME] >= 'smith'",
        u"'T' > [NAME]", u"[NAME] = ''", u"[NAME] = 'ÄPFEL'", u"[NAME] < 'Ä'", u"[NAME] = 1", u"[NAME] = 1.5",
        u"[NAME] = TRUE", u"[NAME2] = TRUE", u"[N] = '1'", u"[X] = '1.5'", u"[NAME] = [NAME2]",
        u"[NAME] < [NAME2]", u"[NAME2] = [NAME]", u"[NAME] = '*'",
        // The NULL constant.
        u"[N] = NULL", u"NULL <> [N]", u"NULL = NULL", u"NULL <> NULL", u"[NAME] > NULL", u"1 = NULL",
        u"NULL = 'a'", u"[D] = NULL", u"[B] < NULL", u"NULL = [NAME] + 'x'",
        // Chains, nested and mixed, with failures behind the point where a chain stops.
        u"([N] > 1) OR ([X] < 2) OR ([NAME] = 'Jones')", u"([N] > 1) AND ([X] < 5) AND ([B] = TRUE)",
        u"([N] > 1) AND (([X] < 2) OR ([B] = TRUE))", u"(([N] = 1) OR ([N] = 2)) OR (([N] = 4) OR ([M] = 4))",
        u"([N] = NULL) OR ([NAME] = 'S*') OR [B]", u"NOT ([N] > 2) OR ([NAME] = NULL)",
        u"([N] > 3) OR ([B] < TRUE)", u"([N] > 3) AND ([N] DIV 0 = 1)", u"([N] > 3) AND (('a' * 2) = 1)",
        u"([N] > 1) OR [N]", u"([X] > 1) XOR ([N] > 1)", u"[B] AND ([N] > 1) AND IF([X] > 2, TRUE, [B])",
    };
    const TFilterOptions optionSets[] = {{}, {foCaseInsensitive}, {foNoPartialCompare},
                                         {foCaseInsensitive, foNoPartialCompare}};
    for (const char16_t* filter : filters) {
        for (TFilterOptions options : optionSets) {
            EXPECT_EQ(Outcomes(filter, options, ResolveColumn), Outcomes(filter, options, ResolveOpaque))
                << Utf8(filter) << " case-insensitive " << options.Contains(foCaseInsensitive)
                << " no partial compare " << options.Contains(foNoPartialCompare);
        }
    }
}

TEST_F(FilterDirect, ChainsAndTheirInnerNodes) {
    // A long chain, and each inner node of it read on its own after its parent took it over.
    std::u16string text;
    for (int i = 0; i < 300; ++i) text += (i ? u" OR ([N] = " : u"([N] = ") + Utf16(std::to_string(i * 2)) + u")";
    EXPECT_EQ(FRecords.Matching(text), (std::vector<int>{1, 3, 6}));

    auto root = ParseFilter(u"([N] = 1) OR ([N] = 2) OR ([N] = 4)", {}, FRecords);
    const auto* inner = dynamic_cast<const TBinaryOp*>(&static_cast<const TBinaryOp&>(*root).Operand1());
    ASSERT_NE(inner, nullptr);
    std::vector<int> rootRows, innerRows;
    for (int r = 0; r < FRecords.RecordCount(); ++r) {
        FRecords.SetCurrent(r);
        if (root->AsBoolean()) rootRows.push_back(r);
        if (inner->AsBoolean()) innerRows.push_back(r);
    }
    EXPECT_EQ(rootRows, (std::vector<int>{0, 1, 3, 7}));
    EXPECT_EQ(innerRows, (std::vector<int>{0, 1, 7}));
}

TEST_F(FilterDirect, ReadingRecordsAllocatesNothing) {
    struct Case {
        const char16_t* Filter;
        TFilterOptions Options;
    };
    const Case cases[] = {
        {u"([N] > 3) OR ([X] < 0.5) OR ([NAME] = 'Jones')", {}},
        {u"([N] > 3) AND ([D] > 43000) AND ([B] = TRUE)", {}},
        {u"[NAME] = 'smith'", {foCaseInsensitive}},
        {u"[NAME] = 's*'", {foCaseInsensitive}},
        {u"[NAME] = [NAME2]", {foCaseInsensitive}},
        {u"[NAME] < 'T'", {foCaseInsensitive}},
        {u"[NAME] <> '*s'", {}},
        {u"[NAME] = NULL", {}},
        {u"UPPER([NAME]) = 'SMITH'", {}},
    };
    for (const Case& c : cases) {
        auto root = ParseFilter(c.Filter, c.Options, FRecords);
        auto readAll = [&] {
            long count = 0;
            for (int r = 0; r < FRecords.RecordCount(); ++r) {
                FRecords.SetCurrent(r);
                count += root->AsBoolean();
            }
            return count;
        };
        long first = readAll(); // scratch buffers grow to the longest value here
        long before = gAllocations.load();
        long second = readAll();
        EXPECT_EQ(gAllocations.load() - before, 0) << Utf8(c.Filter);
        EXPECT_EQ(first, second) << Utf8(c.Filter);
    }
}

TEST_F(FilterDirect, ConversionsThatFollowTheRegionalSettingsAreMadePerRecord) {
    // Read as a string, a Float literal uses the decimal separator in force when the record
    // is read; read as a date, a String literal the date format in force then.
    FRecords.AddRecord({std::u16string(u"1,5"), 1, 1.5, true, 43862.0, std::u16string(u"1.5"), 1}); // 1 Feb 2020
    auto name = ParseFilter(u"[NAME] = 1.5", {}, FRecords);
    auto date = ParseFilter(u"[D] = '02.01.2020'", {}, FRecords); // 2 January while parsing
    TFormatSettings us;
    us.ShortDateFormat = "mm/dd/yyyy";
    us.DateSeparator = '.';
    us.LongTimeFormat = "hh:nn:ss";
    us.TimeSeparator = ':';
    us.DecimalSeparator = ',';
    SetFormatSettings(us);
    FRecords.SetCurrent(FRecords.RecordCount() - 1);
    EXPECT_TRUE(name->AsBoolean());
    EXPECT_TRUE(date->AsBoolean());
}
