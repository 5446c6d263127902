#include "base/Variant.h"

#include "base/CodePage.h"
#include "base/FormatSettings.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class VariantTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSaved = FormatSettings();
        FSavedCodePage = AnsiCodePage();
        TFormatSettings fs = TFormatSettings::Invariant();
        fs.ShortDateFormat = "dd.mm.yyyy";
        fs.DateSeparator = '.';
        fs.DecimalSeparator = ',';
        SetFormatSettings(fs);
    }
    void TearDown() override {
        SetFormatSettings(FSaved);
        SetAnsiCodePage(FSavedCodePage);
    }
    TFormatSettings FSaved;
    unsigned FSavedCodePage = 0;
};

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVariantError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST_F(VariantTest, KindsAreKept) {
    EXPECT_EQ(Variant().Type(), vtUnassigned);
    EXPECT_EQ(Variant::Null().Type(), vtNull);
    EXPECT_EQ(Variant(std::int8_t(-1)).Type(), vtShortInt);
    EXPECT_EQ(Variant(std::int16_t(-1)).Type(), vtSmallInt);
    EXPECT_EQ(Variant(-1).Type(), vtInteger);
    EXPECT_EQ(Variant(std::uint8_t(1)).Type(), vtByte);
    EXPECT_EQ(Variant(std::uint16_t(1)).Type(), vtWord);
    EXPECT_EQ(Variant(std::uint32_t(1)).Type(), vtLongWord);
    EXPECT_EQ(Variant(std::int64_t(1)).Type(), vtInt64);
    EXPECT_EQ(Variant(std::vector<int>(3).size()).ToInteger(), 3) << "a size is an Int64";
    EXPECT_THROW(Variant(~std::uint64_t(0)), EVariantError);
    EXPECT_EQ(Variant(1.5f).Type(), vtSingle);
    EXPECT_EQ(Variant(1.5).Type(), vtDouble);
    EXPECT_EQ(Variant(Currency{15000}).Type(), vtCurrency);
    EXPECT_EQ(Variant(TDateTime(1.5)).Type(), vtDate);
    EXPECT_EQ(Variant(true).Type(), vtBoolean);
    EXPECT_EQ(Variant("a").Type(), vtString);
    EXPECT_EQ(Variant(u"a").Type(), vtUString);
    EXPECT_EQ(Variant(std::vector<std::uint8_t>{1, 2}).Type(), vtBytes);
    EXPECT_EQ(Variant::Array({1, 2}, 1).Type(), vtArray);
    int x = 0;
    Variant obj = Variant::Object(&x);
    EXPECT_EQ(obj.Type(), vtObject);
    EXPECT_EQ(obj.ToObject(), &x);
    // An object reference is never an integer (nor an Int64 marker), and integers are no objects.
    EXPECT_FALSE(obj.IsOrdinal());
    EXPECT_THROW(obj.ToInt64(), EVariantError);
    EXPECT_THROW(Variant(std::int64_t(5)).ToObject(), EVariantError);
    EXPECT_EQ(Variant::Null().ToObject(), nullptr);
    EXPECT_EQ(Variant(1), Variant(1));
    EXPECT_FALSE(Variant(1) == Variant(std::int64_t(1)));
}

TEST_F(VariantTest, ToIntegerAndItsFailures) {
    struct Ok { Variant v; std::int32_t expected; } ok[] = {
        {Variant(), 0}, {Variant(std::int8_t(-5)), -5}, {Variant(std::uint16_t(65535)), 65535},
        {Variant(2.5), 2}, {Variant(3.5), 4}, {Variant(-2.5), -2}, {Variant(Currency{25000}), 2}, {Variant(Currency{35000}), 4},
        {Variant("42"), 42}, {Variant(" -42 "), -42}, {Variant(u"17"), 17}, {Variant("4,5"), 4}, {Variant("1,5E1"), 15},
        {Variant(true), 1}, {Variant(false), 0}, {Variant(TDateTime(2.75)), 3}, {Variant(std::int64_t(INT32_MIN)), INT32_MIN},
    };
    for (const auto& c : ok) EXPECT_EQ(c.v.ToInteger(), c.expected) << VarTypeName(c.v.Type()) << " " << VarToStr(c.v);
    EXPECT_EQ(ErrorOf([] { Variant("abc").ToInteger(); }), "Could not convert variant of type (String) into type (Integer)");
    EXPECT_EQ(ErrorOf([] { Variant::Null().ToInteger(); }), "Could not convert variant of type (Null) into type (Integer)");
    EXPECT_EQ(ErrorOf([] { Variant("3000000000").ToInteger(); }), "Overflow while converting variant of type (String) into type (Integer)");
    EXPECT_EQ(ErrorOf([] { Variant(std::uint32_t(4000000000u)).ToInteger(); }),
              "Overflow while converting variant of type (LongWord) into type (Integer)");
    EXPECT_EQ(Variant(std::uint32_t(4000000000u)).ToInt64(), 4000000000LL);
    EXPECT_THROW(Variant(1e30).ToInt64(), EVariantError);
    EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).ToInteger(), EVariantError);
    EXPECT_THROW(Variant("1.5").ToInteger(), EVariantError); // '.' is not the decimal separator here
    EXPECT_THROW(Variant::Array({1}).ToInteger(), EVariantError);
    EXPECT_EQ(Variant("9223372036854775807").ToInt64(), INT64_MAX);
}

TEST_F(VariantTest, ToDoubleUsesTheDecimalSeparator) {
    EXPECT_EQ(Variant("1,5").ToDouble(), 1.5);
    EXPECT_EQ(Variant(u" -2,25 ").ToDouble(), -2.25);
    EXPECT_EQ(Variant(Currency{12345}).ToDouble(), 1.2345);
    EXPECT_EQ(Variant(true).ToDouble(), 1.0);
    EXPECT_EQ(Variant().ToDouble(), 0.0);
    EXPECT_EQ(ErrorOf([] { Variant("1.5").ToDouble(); }), "Could not convert variant of type (String) into type (Double)");
    EXPECT_THROW(Variant::Null().ToDouble(), EVariantError);
    EXPECT_EQ(Variant("12,34").ToCurrency().Scaled, 123400);
    EXPECT_EQ(Variant(1.23456).ToCurrency().Scaled, 12346);
}

TEST_F(VariantTest, ToBoolean) {
    struct Case { Variant v; bool expected; } cases[] = {
        {Variant("True"), true}, {Variant("false"), false}, {Variant(" TRUE "), true}, {Variant(u"False"), false},
        {Variant("0"), false}, {Variant("-1"), true}, {Variant("0,5"), true}, {Variant(0), false}, {Variant(7), true},
        {Variant(0.0), false}, {Variant(), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.ToBoolean(), c.expected) << VarToStr(c.v);
    EXPECT_EQ(ErrorOf([] { Variant("yes").ToBoolean(); }), "Could not convert variant of type (String) into type (Boolean)");
    EXPECT_THROW(Variant::Null().ToBoolean(), EVariantError);
}

TEST_F(VariantTest, ToDateTimeParsesWithTheRegionalSettings) {
    TDateTime expected = ComposeDateTime(EncodeDate(2001, 2, 3), EncodeTime(4, 5, 6, 0));
    EXPECT_EQ(Variant("03.02.2001 04:05:06").ToDateTime(), expected);
    EXPECT_EQ(Variant(36925.5).ToDateTime().Value, 36925.5);
    EXPECT_EQ(Variant(2).ToDateTime().Value, 2.0);
    EXPECT_EQ(ErrorOf([] { Variant("2001-02-03").ToDateTime(); }), "Could not convert variant of type (String) into type (Date)");
    EXPECT_THROW(Variant(true).ToDateTime(), EVariantError);
    EXPECT_THROW(Variant::Null().ToDateTime(), EVariantError);
}

TEST_F(VariantTest, ToText) {
    struct Case { Variant v; const char* expected; } cases[] = {
        {Variant(), ""}, {Variant(-12), "-12"}, {Variant(std::uint32_t(4000000000u)), "4000000000"}, {Variant(true), "True"},
        {Variant(false), "False"}, {Variant(1.5), "1,5"}, {Variant(0.1f), "0,1"}, {Variant(1.0 / 3), "0,333333333333333"},
        {Variant(Currency{123400}), "12,34"}, {Variant(TDateTime(36925.0)), "03.02.2001"},
        {Variant(ComposeDateTime(EncodeDate(2001, 2, 3), EncodeTime(4, 5, 6, 0))), "03.02.2001 04:05:06"},
        {Variant(std::vector<std::uint8_t>{'h', 'i'}), "hi"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.ToString(), c.expected) << VarTypeName(c.v.Type());
    EXPECT_EQ(ErrorOf([] { Variant::Null().ToString(); }), "Could not convert variant of type (Null) into type (String)");
    EXPECT_EQ(VarToStr(Variant::Null()), "");
    EXPECT_EQ(VarToUStr(Variant::Null()), u"");
    EXPECT_THROW(Variant::Array({1}).ToString(), EVariantError);

    SetAnsiCodePage(cpWindows1251);
    EXPECT_EQ(Variant(u"Привет").ToString(), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Variant("\xCF\xF0\xE8\xE2\xE5\xF2").ToUString(), u"Привет");
    EXPECT_EQ(Variant(7).ToUString(), u"7");
}

TEST_F(VariantTest, ArraysWithLowBound) {
    Variant a = Variant::Array({10, Variant::Null(), "x"}, 1);
    EXPECT_EQ(a.LowBound(), 1);
    EXPECT_EQ(a.HighBound(), 3);
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.Element(1).ToInteger(), 10);
    EXPECT_TRUE(a.Element(2).IsNull());
    EXPECT_THROW(a.Element(0), EVariantError);
    EXPECT_THROW(a.Element(4), EVariantError);
    Variant copy = a;
    copy.SetElement(1, 99);
    EXPECT_EQ(a.Element(1).ToInteger(), 10) << "copies do not share elements";
    EXPECT_EQ(copy.Element(1).ToInteger(), 99);
    copy.SetElement(3, copy.Element(1));
    EXPECT_EQ(copy.Element(3).ToInteger(), 99);
    Variant empty = Variant::Array({}, 5);
    EXPECT_EQ(empty.HighBound(), 4);

    Variant bytes(std::vector<std::uint8_t>{1, 2, 255});
    EXPECT_EQ(bytes.LowBound(), 0);
    EXPECT_EQ(bytes.Element(2).ToInteger(), 255);
    bytes.SetElement(0, 7);
    EXPECT_EQ(bytes.Bytes()[0], 7);
    EXPECT_THROW(bytes.SetElement(0, 256), EVariantError);
    EXPECT_EQ(Variant::Array({1, 2, 3}).ToBytes(), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_THROW(Variant::Array({1, 300}).ToBytes(), EVariantError);
    EXPECT_THROW(Variant(5).LowBound(), EVariantError);
}

TEST_F(VariantTest, ConversionErrorsCanBeCaughtAndReworded) {
    try {
        Variant("abc").ToDouble();
        FAIL();
    } catch (Exception& e) {
        e.SetMessage("Variant conversion error for variable :X");
        EXPECT_STREQ(e.what(), "Variant conversion error for variable :X");
    }
}
