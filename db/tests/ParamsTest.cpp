#include "db/Params.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(Params, CreateFindAndRemove) {
    TParams params;
    TParam& a = params.CreateParam(ftInteger, "Empno", ptInput);
    params.CreateParam(ftString, "ENAME", ptOutput);
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params.FindParam("EMPNO"), &a);
    EXPECT_EQ(params.FindParam("ename"), &params[1]);
    EXPECT_EQ(params.FindParam("sal"), nullptr);
    EXPECT_EQ(&params.ParamByName("empno"), &a);
    try {
        params.ParamByName("sal");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Parameter 'sal' not found");
    }
    params.RemoveParam(&a);
    ASSERT_EQ(params.Count(), 1);
    EXPECT_EQ(params[0].Name(), "ENAME");
    EXPECT_THROW(params.Items(1), Exception);
    EXPECT_THROW(params.Delete(-1), Exception);
}

TEST(Params, ValueGivesTheTypeOnlyToAnUntypedParameter) {
    struct Case {
        Variant value;
        TFieldType expected;
    };
    const Case cases[] = {
        {Variant(std::int16_t(1)), ftSmallint}, {Variant(std::int32_t(1)), ftInteger},
        {Variant(std::uint8_t(1)), ftWord},     {Variant(true), ftBoolean},
        {Variant(1.5), ftFloat},                {Variant(Currency{10000}), ftCurrency},
        {Variant(TDateTime(2.0)), ftDateTime},  {Variant("x"), ftString},
        {Variant(u"x"), ftWideString},          {Variant(std::int64_t(1)), ftLargeint},
        {Variant::Null(), ftUnknown},           {Variant(), ftUnknown},
    };
    for (const auto& c : cases) {
        TParam p;
        p.SetValue(c.value);
        EXPECT_EQ(p.DataType(), c.expected) << FieldTypeName(c.expected);
        EXPECT_TRUE(p.Value() == c.value);
    }
    TParam typed("X", ftString, ptInput);
    typed.SetValue(Variant(42));
    EXPECT_EQ(typed.DataType(), ftString);
}

TEST(Params, CopiesAreIndependent) {
    TParams a;
    a.CreateParam(ftInteger, "X", ptInputOutput).SetValue(Variant(7));
    TParams b(a);
    a[0].SetValue(Variant(8));
    ASSERT_EQ(b.Count(), 1);
    EXPECT_EQ(b[0].Value().ToInteger(), 7);
    EXPECT_EQ(b[0].ParamType(), ptInputOutput);
    b = b; // self-assignment keeps the list
    EXPECT_EQ(b.Count(), 1);
    b.Clear();
    EXPECT_EQ(b.Count(), 0);
    EXPECT_EQ(a.Count(), 1);
}
