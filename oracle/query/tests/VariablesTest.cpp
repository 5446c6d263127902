#include "oracle/query/Variables.h"

#include "base/CodePage.h"
#include "base/FormatSettings.h"
#include "base/Stream.h"
#include "db/Params.h"
#include "oracle/session/OracleSession.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace quorvel;

namespace {

// Stands in for the statement that owns a variable list.
struct TestOwner : TVariableOwner {
    TOracleSession* session = nullptr;
    bool useDefault = true;
    bool isQuery = true;
    int redeclared = 0;
    TOracleSession* VariableSession() const override { return session; }
    bool UseDefaultVariableCharSet() const override { return useDefault; }
    void VariablesRedeclared() override { ++redeclared; }
    bool IsOracleQuery() const override { return isQuery; }
};

// The message of the exception fn raises, or "" when it raises none.
std::string Failure(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

std::vector<std::uint8_t> SlotBytes(const TVariableData& v, int index, int count) {
    const auto* p = static_cast<const std::uint8_t*>(v.Slot(index));
    return std::vector<std::uint8_t>(p, p + count);
}

class VariablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        TFormatSettings fs = TFormatSettings::Invariant();
        SetFormatSettings(fs);
    }
    void TearDown() override { ResetFormatSettings(); }
    TestOwner owner;
    TVariables vars{&owner};
};

// ---- names and declaration ----

TEST_F(VariablesTest, NamesAreUpperCasedAndColonPrefixed) {
    vars.DeclareVariable("empno", otInteger);
    EXPECT_EQ(vars.VariableName(0), ":EMPNO");
    for (const char* name : {"empno", ":EMPNO", "EmpNo", ":empno"}) EXPECT_EQ(vars.VariableIndex(name), 0) << name;
    EXPECT_EQ(vars.VariableIndex("EMP"), -1);
    vars.SetVariable("empno", Variant(7369));
    EXPECT_EQ(vars.GetVariable(":EMPNO").ToInteger(), 7369);
    EXPECT_EQ(TVariables::NormalizeName("x"), ":X");
    EXPECT_EQ(TVariables::NormalizeName(":"), ":");
    // Letters beyond ASCII are upper-cased in the process code page.
    const unsigned codePage = AnsiCodePage();
    SetAnsiCodePage(cpUTF8);
    EXPECT_EQ(TVariables::NormalizeName("\xD1\x81\xD1\x87\xD1\x91\xD1\x82"), ":\xD0\xA1\xD0\xA7\xD0\x81\xD0\xA2"); // счёт
    SetAnsiCodePage(cpWindows1251);
    EXPECT_EQ(TVariables::NormalizeName("\xF1\xF7\xE5\xF2"), ":\xD1\xD7\xC5\xD2");
    SetAnsiCodePage(codePage);
}

TEST_F(VariablesTest, DeclaredBuffersFollowTheType) {
    struct Case {
        int type;
        const char* name;
        int bufsize;
        bool complex;
    };
    const Case cases[] = {
        {otSubst, "S", 0, false},         {otInteger, "I", 4, false},      {otFloat, "F", 8, false},
        {otString, "NAME", 4001, false},  {otString, "OLD_ROWID", 501, false},
        {otString, "rowid", 501, false},  {otLong, "L", 0, false},        {otPLSQLString, "P", 32513, false},
        {otDate, "D", 7, false},          {otLongRaw, "R", 0, false},      {otChar, "C", 4001, false},
        {otObject, "O", 0, true},         {otReference, "REF", 0, true},   {otCLOB, "CL", 0, true},
        {otBLOB, "BL", 0, true},          {otBFile, "BF", 0, true},        {otCursor, "CUR", 0, true},
        {otTimestamp, "T1", 0, true},     {otTimestampTZ, "T2", 0, true},  {otTimestampLTZ, "T3", 0, true},
    };
    for (const auto& c : cases) {
        vars.DeclareVariable(c.name, c.type);
        const TVariableData& v = vars.Data(vars.VariableIndex(c.name));
        SCOPED_TRACE(c.name);
        EXPECT_EQ(v.buftype, c.type);
        EXPECT_EQ(v.bufsize, c.bufsize);
        EXPECT_EQ(v.Complex, c.complex);
        EXPECT_EQ(v.BufOwner, !c.complex);
        EXPECT_EQ(v.buf != nullptr, c.bufsize > 0);
        EXPECT_EQ(v.indp, std::vector<std::int16_t>{-1});
        EXPECT_EQ(v.ArraySize, 1);
        EXPECT_EQ(v.ArrayLowBound, 0);
        EXPECT_EQ(vars.VariableType(vars.VariableIndex(c.name)), c.type);
    }
    NoRowIdVariableSizing = true;
    vars.DeclareVariable("OLD_ROWID", otString);
    NoRowIdVariableSizing = false;
    EXPECT_EQ(vars.Data(vars.VariableIndex("OLD_ROWID")).bufsize, 4001);
}

TEST_F(VariablesTest, DeclarationRefusals) {
    vars.DeclareVariable("A", otInteger);
    vars.SetVariable("A", Variant(1));
    int before = owner.redeclared;
    EXPECT_EQ(Failure([&] { vars.DeclareVariable("", otInteger); }), "You cannot declare a variable with an empty name");
    for (int type : {0, 2, 6, 252, 65536 + otString, -1})
        EXPECT_EQ(Failure([&] { vars.DeclareVariable("A", type); }), "Unsupported variable type") << type;
    // A refused re-declaration leaves the old variable in place.
    ASSERT_EQ(vars.Count(), 1);
    EXPECT_EQ(vars.GetVariable("A").ToInteger(), 1);
    EXPECT_EQ(owner.redeclared, before);
}

TEST_F(VariablesTest, RedeclaringKeepsThePositionAndResetsToANullScalar) {
    vars.DeclareVariable("A", otInteger);
    vars.DeclareVariable("B", otString);
    vars.DeclareVariable("C", otDate);
    vars.SetVariable("B", Variant::Array({Variant("x"), Variant("y")}, 1));
    int before = owner.redeclared;
    vars.DeclareVariable(":b", otFloat);
    EXPECT_EQ(owner.redeclared, before + 1);
    ASSERT_EQ(vars.Count(), 3);
    EXPECT_EQ(vars.VariableName(1), ":B");
    const TVariableData& b = vars.Data(1);
    EXPECT_EQ(b.buftype, otFloat);
    EXPECT_EQ(b.ArraySize, 1);
    EXPECT_EQ(b.ArrayLowBound, 0);
    EXPECT_EQ(b.indp, std::vector<std::int16_t>{-1});
    EXPECT_TRUE(vars.GetVariable("B").IsUnassigned());
    EXPECT_EQ(vars.VariableName(2), ":C");
}

TEST_F(VariablesTest, CharacterSetsAreStoredAndQueried) {
    vars.DeclareVariable("A", otString);
    EXPECT_EQ(vars.VariableCharSetForm(0), 0);
    EXPECT_EQ(vars.VariableCharSetID(0), 0);
    vars.DeclareVariableCharSet("a", 2, 2000);
    EXPECT_EQ(vars.VariableCharSetForm(0), 2);
    EXPECT_EQ(vars.VariableCharSetID(0), 2000);
    EXPECT_TRUE(vars.VariableCharSetIsUTF16(0));
    EXPECT_FALSE(vars.VariableCharSetIsUTF8(0));
    vars.DeclareVariableCharSet("A", 1, 871);
    EXPECT_TRUE(vars.VariableCharSetIsUTF8(0));
    EXPECT_EQ(Failure([&] { vars.DeclareVariableCharSet("x", 1, 873); }), "Variable :X not declared");
    // Without a session nothing is stamped, and a re-stamp clears what was set.
    vars.RestampCharSets(false);
    EXPECT_EQ(vars.VariableCharSetID(0), 0);
    EXPECT_EQ(vars.VariableCharSetForm(0), 0);
    vars.DeclareVariableCharSet("A", 2, 2000);
    owner.useDefault = false;
    vars.RestampCharSets(true); // a session change outside the default character set changes nothing
    EXPECT_EQ(vars.VariableCharSetID(0), 2000);
    EXPECT_EQ(Failure([&] { vars.VariableCharSetID(1); }), "List index out of bounds (1)");
}

// ---- setting and reading scalars ----

TEST_F(VariablesTest, UnknownVariablesAndIndexes) {
    vars.DeclareVariable("A", otInteger);
    EXPECT_EQ(Failure([&] { vars.SetVariable(1, Variant(1)); }), "Variable 1 not declared");
    EXPECT_EQ(Failure([&] { vars.SetVariable(-1, Variant(1)); }), "Variable -1 not declared");
    EXPECT_EQ(Failure([&] { vars.SetVariable("b", Variant(1)); }), "Variable :B not declared");
    EXPECT_EQ(Failure([&] { vars.GetVariable(1); }), "Variable 1 does not exist");
    EXPECT_EQ(Failure([&] { vars.GetVariable("b"); }), "Unknown variable: :B");
    EXPECT_EQ(Failure([&] { vars.SetVariable("A", Variant("seven")); }), "Variant conversion error for variable :A");
    EXPECT_EQ(Failure([&] { vars.DeclareAndSet("D", otDate, Variant("not a date")); }),
              "Variant conversion error for variable :D");
}

TEST_F(VariablesTest, ScalarValuesRoundTrip) {
    struct Case {
        int type;
        Variant in;
        Variant out;
    };
    const Case cases[] = {
        {otInteger, Variant(42), Variant(42)},
        {otInteger, Variant("-17"), Variant(-17)},
        {otFloat, Variant(2.5), Variant(2.5)},
        {otFloat, Variant(3), Variant(3.0)},
        {otString, Variant("abc"), Variant("abc")},
        {otString, Variant(12), Variant("12")},
        {otChar, Variant("x y"), Variant("x y")},
        {otPLSQLString, Variant(u"wide"), Variant("wide")},
        {otSubst, Variant("emp"), Variant("emp")},
        {otDate, Variant(TDateTime(36934.5)), Variant(TDateTime(36934.5))},
        {otDate, Variant("2001-02-03 04:05:06"), Variant(TDateTime(EncodeDate(2001, 2, 3).Value + EncodeTime(4, 5, 6, 0).Value))},
        {otLongRaw, Variant(std::vector<std::uint8_t>{0, 1, 255}), Variant(std::vector<std::uint8_t>{0, 1, 255})},
        {otLongRaw, Variant("AB"), Variant(std::vector<std::uint8_t>{'A', 'B'})},
        {otLongRaw, Variant::Array({Variant(7), Variant(8)}), Variant(std::vector<std::uint8_t>{7, 8})},
    };
    for (const auto& c : cases) {
        vars.DeclareAndSet("V", c.type, c.in);
        Variant got = vars.GetVariable("V");
        SCOPED_TRACE(std::to_string(c.type) + " " + VarToStr(c.out));
        if (c.out.Type() == vtDate) {
            ASSERT_EQ(got.Type(), vtDate);
            EXPECT_NEAR(got.ToDouble(), c.out.ToDouble(), 1e-9);
        } else {
            EXPECT_TRUE(got == c.out) << VarToStr(got);
        }
        EXPECT_EQ(vars.Data(0).indp[0], 0);
    }
    // A null value makes any variable null again.
    for (const Variant& nullish : {Variant(), Variant::Null()}) {
        vars.DeclareAndSet("V", otInteger, Variant(1));
        vars.SetVariable("V", nullish);
        EXPECT_EQ(vars.Data(0).indp[0], -1);
        EXPECT_TRUE(vars.GetVariable("V").IsUnassigned());
    }
}

TEST_F(VariablesTest, NullReadsAsNullUnderTheSessionsNullValue) {
    TOracleSession session;
    session.NullValue = nvNull;
    owner.session = &session;
    vars.DeclareVariable("A", otInteger);
    EXPECT_TRUE(vars.GetVariable("A").IsNull());
    vars.SetVariable("A", Variant::Array({Variant(1), Variant::Null()}));
    Variant a = vars.GetVariable("A");
    EXPECT_TRUE(a.Element(1).IsNull());
    owner.session = nullptr;
}

TEST_F(VariablesTest, LongStringsAreCutToTheBuffer) {
    vars.DeclareAndSet("NAME", otString, Variant(std::string(5000, 'x')));
    EXPECT_EQ(vars.GetVariable("NAME").ToString(), std::string(4000, 'x'));
    vars.DeclareAndSet("OLD_ROWID", otString, Variant(std::string(600, 'r')));
    EXPECT_EQ(vars.GetVariable("OLD_ROWID").ToString().size(), 500u);
    // A UTF-8 variable is cut before a character that no longer fits whole.
    vars.DeclareVariable("U", otString);
    vars.DeclareVariableCharSet("U", 1, 873);
    vars.DimPLSQLTable("U", 1, 5);
    vars.SetVariable("U", Variant::Array({Variant(u"abcd\u00e9")}));
    EXPECT_EQ(std::string(static_cast<const char*>(vars.Data(2).Slot(0))), "abcd");
}

TEST_F(VariablesTest, CarriageReturnsAndLineBreaks) {
    vars.DeclareAndSet("S", otString, Variant("a\r\nb\rc"));
    EXPECT_EQ(std::string(static_cast<const char*>(vars.Data(0).buf)), "a\nbc");
    // Reading gives every line break as CR LF.
    EXPECT_EQ(vars.GetVariable("S").ToString(), "a\r\nbc");
    vars.DeclareAndSet("L", otLong, Variant("x\r\ny\nz\r"));
    EXPECT_EQ(vars.Data(1).len, 5);
    EXPECT_EQ(vars.Data(1).bufsize, 6);
    EXPECT_EQ(vars.GetVariable("L").ToString(), "x\r\ny\r\nz");
    // A session that keeps line breaks as they are.
    TOracleSession session;
    session.Preferences().SetConvertCRLF(false);
    owner.session = &session;
    vars.SetVariable("S", Variant("a\r\nb\rc"));
    EXPECT_EQ(vars.GetVariable("S").ToString(), "a\r\nb\rc");
    vars.SetVariable("L", Variant("p\nq"));
    EXPECT_EQ(vars.GetVariable("L").ToString(), "p\nq");
    owner.session = nullptr;
}

TEST_F(VariablesTest, UnicodeCharacterSets) {
    struct Case {
        int id;
        std::vector<std::uint8_t> bytes; // of "Aé" in the buffer
    };
    const Case cases[] = {
        {1000, {'A', 0, 0xE9, 0}},
        {2000, {0, 'A', 0, 0xE9}},
        {873, {'A', 0xC3, 0xA9, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        vars.DeclareVariable("W", otString);
        vars.DeclareVariableCharSet("W", 1, c.id);
        vars.SetVariable("W", Variant(u"A\u00e9"));
        EXPECT_EQ(SlotBytes(vars.Data(0), 0, int(c.bytes.size())), c.bytes);
        Variant back = vars.GetVariable("W");
        EXPECT_EQ(back.Type(), vtUString);
        EXPECT_EQ(back.ToUString(), u"A\u00e9");
        if (c.id != 873) {
            EXPECT_EQ(vars.Data(0).len, 4);
        }
    }
    // A scalar reads as many bytes as its length says, as the client leaves it after an out-bind.
    vars.DeclareVariable("W", otString);
    vars.DeclareVariableCharSet("W", 1, 1000);
    vars.SetVariable("W", Variant(u"hello"));
    std::memcpy(vars.Data(0).buf, u"hi", 4);
    vars.Data(0).len = 4;
    EXPECT_EQ(vars.GetVariable("W").ToUString(), u"hi");
    // 8-bit text given to a UTF-16 variable is read as UTF-8.
    vars.DeclareVariable("W", otString);
    vars.DeclareVariableCharSet("W", 1, 1000);
    vars.SetVariable("W", Variant("\xC3\xA9"));
    EXPECT_EQ(vars.GetVariable("W").ToUString(), u"\u00e9");
    // A UTF-16 value is cut to whole code units.
    vars.DimPLSQLTable("W", 1, 4);
    vars.SetVariable("W", Variant::Array({Variant(u"abcdef")}));
    EXPECT_EQ(vars.GetVariable("W").Element(0).ToUString(), u"ab");
}

TEST_F(VariablesTest, DatesAndTheZeroDate) {
    vars.DeclareAndSet("D", otDate, Variant(TDateTime(0.0)));
    EXPECT_EQ(vars.Data(0).indp[0], -1);
    TOracleSession session;
    owner.session = &session;
    vars.SetVariable("D", Variant(TDateTime(0.0)));
    EXPECT_EQ(vars.Data(0).indp[0], -1); // ZeroDateIsNull is on by default
    session.Preferences().SetZeroDateIsNull(false);
    vars.SetVariable("D", Variant(TDateTime(0.0)));
    EXPECT_EQ(vars.Data(0).indp[0], 0);
    // Century 18 + 100, year 99 + 100: the year byte formula reads 1899 back.
    EXPECT_EQ(SlotBytes(vars.Data(0), 0, 7), (std::vector<std::uint8_t>{118, 199, 12, 30, 1, 1, 1}));
    EXPECT_EQ(vars.GetVariable("D").ToDouble(), 0.0);
    owner.session = nullptr;
    // Milliseconds are dropped; the bytes are the database's own DATE.
    TDateTime t(EncodeDate(2026, 12, 10).Value + EncodeTime(23, 59, 58, 750).Value);
    vars.SetVariable("D", Variant(t));
    EXPECT_EQ(SlotBytes(vars.Data(0), 0, 7), (std::vector<std::uint8_t>{120, 126, 12, 10, 24, 60, 59}));
    EXPECT_NEAR(vars.GetVariable("D").ToDouble(), EncodeDate(2026, 12, 10).Value + EncodeTime(23, 59, 58, 0).Value, 1e-9);
    // A date-time outside the years 1..9999 has no DATE.
    for (double bad : {-700000.0, 3000000.0})
        EXPECT_EQ(Failure([&] { vars.SetVariable("D", Variant(TDateTime(bad))); }), "Variant conversion error for variable :D");
}

TEST(ConvertBufferOut, EveryKindOfSlot) {
    int object = 0;
    void* objectPtr = &object;
    std::string ptrSlot(sizeof objectPtr, '\0');
    std::memcpy(ptrSlot.data(), &objectPtr, sizeof objectPtr);
    void* nullPtr = nullptr;
    std::string nullSlot(sizeof nullPtr, '\0');
    std::memcpy(nullSlot.data(), &nullPtr, sizeof nullPtr);
    std::int32_t i = -123456;
    double f = 6.25;
    struct Case {
        const char* what;
        std::string slot;
        int type, charSetID, length;
        Variant expected;
    };
    const Case cases[] = {
        {"integer", std::string(reinterpret_cast<const char*>(&i), 4), otInteger, 0, 0, Variant(i)},
        {"float", std::string(reinterpret_cast<const char*>(&f), 8), otFloat, 0, 0, Variant(f)},
        {"text", std::string("ab\ncd\0zz", 8), otString, 0, 0, Variant("ab\r\ncd")},
        {"text without terminator", "abcd", otChar, 0, 0, Variant("abcd")},
        {"substitution", std::string("x\0", 2), otSubst, 0, 0, Variant("x")},
        {"UTF-8", std::string("\xC3\xA9\n\0", 4), otString, 873, 0, Variant(u"\u00e9\r\n")},
        {"UTF-16", std::string("A\0\xE9\0B\0", 6), otString, 1000, 4, Variant(u"A\u00e9")},
        {"UTF-16 big-endian", std::string("\0A\0\xE9", 4), otPLSQLString, 2000, 4, Variant(u"A\u00e9")},
        {"UTF-16 odd length", std::string("A\0B\0", 4), otString, 1000, 3, Variant(u"A")},
        {"UTF-16 length past the slot", std::string("A\0", 2), otString, 1000, 100, Variant(u"A")},
        {"LONG", "line\nmore", otLong, 0, 4, Variant("line")},
        {"LONG RAW", std::string("\x01\0\x02", 3), otLongRaw, 0, 3, Variant(std::vector<std::uint8_t>{1, 0, 2})},
        {"DATE", "\x78\x7E\x0C\x0A\x18\x3C\x3B", otDate, 0, 0,
         Variant(TDateTime(EncodeDate(2026, 12, 10).Value + EncodeTime(23, 59, 58, 0).Value))},
        {"DATE of year 0", "\x64\x64\x01\x01\x01\x01\x01", otDate, 0, 0, Variant(TDateTime(-693594.0))},
        {"DATE of an impossible day", "\x78\x7E\x02\x1E\x01\x01\x01", otDate, 0, 0, Variant(TDateTime(-693594.0))},
        {"DATE slot too small", "\x78\x7E", otDate, 0, 0, Variant()},
        {"object", ptrSlot, otObject, 0, 0, Variant::Object(objectPtr)},
        {"nil cursor", nullSlot, otCursor, 0, 0, Variant::Object(nullptr)},
        {"timestamp without a session", ptrSlot, otTimestamp, 0, 0, Variant()},
    };
    for (const auto& c : cases) {
        Variant got = ConvertBufferOut(c.slot.data(), int(c.slot.size()), c.type, c.charSetID, nullptr, c.length);
        EXPECT_TRUE(got == c.expected) << c.what << ": " << VarTypeName(got.Type());
    }
    EXPECT_EQ(Failure([&] { ConvertBufferOut(&i, 4, 6, 0, nullptr, 0); }), "Unsupported variable type");
}

// ---- arrays and PL/SQL tables ----

TEST_F(VariablesTest, ArraysKeepTheirBoundsAndNullElements) {
    vars.DeclareVariable("N", otInteger);
    vars.SetVariable("N", Variant::Array({Variant(10), Variant(), Variant(30)}, 1));
    const TVariableData& v = vars.Data(0);
    EXPECT_EQ(v.ArraySize, 3);
    EXPECT_EQ(v.ArrayLowBound, 1);
    EXPECT_EQ(v.indp, (std::vector<std::int16_t>{0, -1, 0}));
    Variant a = vars.GetVariable("N");
    ASSERT_EQ(a.Type(), vtArray);
    EXPECT_EQ(a.LowBound(), 1);
    EXPECT_EQ(a.HighBound(), 3);
    EXPECT_EQ(a.Element(1).ToInteger(), 10);
    EXPECT_TRUE(a.Element(2).IsUnassigned());
    EXPECT_EQ(a.Element(3).ToInteger(), 30);
    // A scalar collapses the array again.
    vars.SetVariable("N", Variant(5));
    EXPECT_EQ(vars.Data(0).ArraySize, 1);
    EXPECT_EQ(vars.Data(0).ArrayLowBound, 0);
    EXPECT_EQ(vars.GetVariable("N").ToInteger(), 5);
    // String arrays have elements of at most MaxVarchar + 1 bytes (2001 without a session).
    vars.DeclareVariable("S", otString);
    vars.SetVariable("S", Variant::Array({Variant(std::string(3000, 'a')), Variant("b")}));
    EXPECT_EQ(vars.Data(1).bufsize, 2001);
    Variant s = vars.GetVariable("S");
    EXPECT_EQ(s.Element(0).ToString().size(), 2000u);
    EXPECT_EQ(s.Element(1).ToString(), "b");
}

TEST_F(VariablesTest, ArrayRefusals) {
    vars.DeclareVariable("SUB", otSubst);
    vars.DeclareVariable("OBJ", otObject);
    vars.DeclareVariable("TS", otTimestamp);
    vars.DeclareVariable("L", otLong);
    vars.DeclareVariable("R", otLongRaw);
    const Variant arr = Variant::Array({Variant(1), Variant(2)});
    EXPECT_EQ(Failure([&] { vars.SetVariable("SUB", arr); }), ":SUB is a substitution variable and cannot be an array");
    EXPECT_EQ(Failure([&] { vars.SetVariable("OBJ", arr); }), ":OBJ is a complex variable and cannot be an array");
    EXPECT_EQ(Failure([&] { vars.SetVariable("TS", arr); }), ":TS is a complex variable and cannot be an array");
    EXPECT_EQ(Failure([&] { vars.SetVariable("L", arr); }), ":L is a Long variable and cannot be an array");
    for (const Variant& bad : {Variant(5), Variant(2.5), Variant(u"wide"), Variant::Array({Variant("x")}),
                               Variant::Array({Variant::Array({Variant(1)})})})
        EXPECT_EQ(Failure([&] { vars.SetVariable("R", bad); }), "Only one-dimensional array of bytes allowed for :R");
}

TEST_F(VariablesTest, PLSQLTableChecks) {
    vars.DeclareVariable("I", otInteger);
    vars.DeclareVariable("S", otString);
    vars.DeclareVariable("L", otLong);
    struct Case {
        const char* name;
        int tableSize, stringSize;
        const char* message;
    };
    const Case cases[] = {
        {"X", 10, 0, "Variable :X not declared"},
        {"L", 10, 0, "Only PL/SQL Tables of strings, integers, floats and dates supported"},
        {"S", 10, 0, "You must specify a string size for a PL/SQL Table of strings"},
        {"I", 10, 5, "You can only specify a string size for a PL/SQL Table of strings"},
        {"I", 0, 0, "You must specify the size of the PL/SQL Table"},
        {"S", -1, 10, "You must specify the size of the PL/SQL Table"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Failure([&] { vars.DimPLSQLTable(c.name, c.tableSize, c.stringSize); }), c.message) << c.name;
    EXPECT_FALSE(vars.Data(0).IsPLSQLTable);

    vars.DimPLSQLTable("S", 10, 30);
    const TVariableData& s = vars.Data(1);
    EXPECT_TRUE(s.IsPLSQLTable);
    EXPECT_EQ(s.ArraySize, 10);
    EXPECT_EQ(s.bufsize, 31);
    EXPECT_EQ(s.indp, std::vector<std::int16_t>(10, -1));
    EXPECT_TRUE(vars.GetVariable("S").IsUnassigned()); // no elements in use
    std::vector<Variant> eleven(11, Variant("x"));
    EXPECT_EQ(Failure([&] { vars.SetVariable("S", Variant::Array(eleven)); }), "Array is larger than PL/SQL Table (11 > 10)");
    EXPECT_EQ(s.PLSQLTableElemCount, 0);
    EXPECT_EQ(Failure([&] { vars.SetVariable("S", Variant("x")); }), ":S is a PL/SQL Table, assign a variant array to it");

    vars.SetVariable("S", Variant::Array({Variant("a"), Variant(), Variant("c")}, 5));
    EXPECT_EQ(s.ArraySize, 10);
    EXPECT_EQ(s.PLSQLTableElemCount, 3);
    Variant got = vars.GetVariable("S");
    EXPECT_EQ(got.LowBound(), 5);
    EXPECT_EQ(got.HighBound(), 7);
    EXPECT_EQ(got.Element(7).ToString(), "c");
    EXPECT_TRUE(got.Element(6).IsUnassigned());
    // The same dimensions again keep the stored elements.
    vars.DimPLSQLTable("S", 10, 30);
    EXPECT_EQ(std::string(static_cast<const char*>(s.Slot(2))), "c");
    EXPECT_EQ(s.indp[0], 0);
    // Null empties the table without shrinking it.
    vars.SetVariable("S", Variant::Null());
    EXPECT_EQ(s.PLSQLTableElemCount, 0);
    EXPECT_EQ(s.ArraySize, 10);
    // Other dimensions make every element null.
    vars.DimPLSQLTable("S", 4, 30);
    EXPECT_EQ(s.indp, std::vector<std::int16_t>(4, -1));
    vars.DimPLSQLTable("I", 3, 0);
    EXPECT_EQ(vars.Data(0).bufsize, 4);
    EXPECT_EQ(vars.Data(0).ArraySize, 3);
}

// ---- LONG values ----

TEST_F(VariablesTest, SetLongVariableBindsTheCallersBuffer) {
    vars.DeclareVariable("L", otLong);
    vars.DeclareVariable("I", otInteger);
    char text[] = "caller text";
    vars.SetLongVariable("l", text, 6);
    const TVariableData& v = vars.Data(0);
    EXPECT_EQ(v.buf, text);
    EXPECT_FALSE(v.BufOwner);
    EXPECT_EQ(v.len, 6);
    EXPECT_EQ(v.bufsize, 6);
    EXPECT_EQ(v.indp[0], 0);
    EXPECT_EQ(vars.GetVariable("L").ToString(), "caller");
    text[0] = 'C';
    EXPECT_EQ(vars.GetVariable("L").ToString(), "Caller");
    for (int length : {0, -1}) {
        vars.SetLongVariable("L", text, length);
        EXPECT_EQ(v.indp[0], -1);
        EXPECT_EQ(v.buf, nullptr);
    }
    vars.SetLongVariable("L", nullptr, 5);
    EXPECT_EQ(v.indp[0], -1);
    // A value set afterwards is the variable's own again.
    vars.SetLongVariable("L", text, 6);
    vars.SetVariable("L", Variant("own"));
    EXPECT_TRUE(v.BufOwner);
    EXPECT_NE(v.buf, text);
    EXPECT_EQ(std::string(text), "Caller text");
    EXPECT_EQ(Failure([&] { vars.SetLongVariable("I", text, 1); }), "Variable :I is not a Long");
    EXPECT_EQ(Failure([&] { vars.SetLongVariable("X", text, 1); }), "Variable :X not declared");
    vars.DeclareVariable("R", otLongRaw);
    unsigned char raw[] = {1, 2, 3};
    vars.SetLongVariable("R", raw, 3);
    EXPECT_TRUE(vars.GetVariable("R") == Variant(std::vector<std::uint8_t>{1, 2, 3}));
}

// ---- complex variables ----

TEST_F(VariablesTest, ComplexVariablesHoldReferences) {
    int a = 0, b = 0;
    auto* object = reinterpret_cast<TOracleObject*>(&a);
    auto* lob = reinterpret_cast<TLOBLocator*>(&b);
    vars.DeclareVariable("O", otObject);
    vars.DeclareVariable("C", otCLOB);
    vars.DeclareVariable("N", otInteger);
    vars.SetComplexVariable("o", object);
    EXPECT_EQ(vars.GetComplexVariable("O"), static_cast<void*>(object));
    EXPECT_EQ(vars.Data(0).indp[0], 0);
    EXPECT_EQ(vars.GetVariable("O").ToObject(), static_cast<void*>(object));
    vars.SetComplexVariable("C", lob);
    EXPECT_EQ(vars.GetComplexVariable("C"), static_cast<void*>(lob));
    vars.SetComplexVariable("C", nullptr);
    EXPECT_EQ(vars.GetComplexVariable("C"), nullptr);
    EXPECT_EQ(vars.Data(1).indp[0], -1);
    // The same through SetVariable with an object reference; a number is no reference.
    vars.SetVariable("C", Variant::Object(&b));
    EXPECT_EQ(vars.GetComplexVariable("C"), static_cast<void*>(&b));
    vars.SetVariable("C", Variant(0));
    EXPECT_EQ(vars.GetComplexVariable("C"), nullptr);
    EXPECT_EQ(Failure([&] { vars.SetVariable("C", Variant(1234)); }), "Pass LongInt(Object) to complex variable :C");
    EXPECT_EQ(Failure([&] { vars.SetVariable("C", Variant("text")); }), "Pass LongInt(Object) to complex variable :C");
    vars.SetVariable("O", Variant::Null());
    EXPECT_EQ(vars.GetComplexVariable("O"), nullptr);

    EXPECT_EQ(Failure([&] { vars.SetComplexVariable("X", object); }), "Unknown variable: :X");
    EXPECT_EQ(Failure([&] { vars.SetComplexVariable("N", object); }), ":N is not a complex variable");
    EXPECT_EQ(Failure([&] { vars.GetComplexVariable("N"); }), ":N is not a complex variable");
    EXPECT_EQ(Failure([&] { vars.GetComplexVariable("X"); }), "Unknown variable: :X");
}

TEST_F(VariablesTest, ComplexVariablesTakeOnlyTheirKindOfObject) {
    int dummy = 0;
    struct Case {
        int type;
        const char* message; // for an object of another kind
    };
    const Case cases[] = {
        {otObject, "Assign TOracleObject instance to variable :V"},
        {otReference, "Assign TOracleReference instance to variable :V"},
        {otCLOB, "Assign TLOBLocator instance to variable :V"},
        {otBLOB, "Assign TLOBLocator instance to variable :V"},
        {otBFile, "Assign TLOBLocator instance to variable :V"},
        {otCursor, "Assign TOracleQuery instance to variable :V"},
        {otTimestamp, "Assign TOracleTimestamp instance to variable :V"},
        {otTimestampTZ, "Assign TOracleTimestamp instance to variable :V"},
        {otTimestampLTZ, "Assign TOracleTimestamp instance to variable :V"},
    };
    const std::vector<std::function<void()>> setters = {
        [&] { vars.SetComplexVariable("V", reinterpret_cast<TOracleObject*>(&dummy)); },
        [&] { vars.SetComplexVariable("V", reinterpret_cast<TOracleReference*>(&dummy)); },
        [&] { vars.SetComplexVariable("V", reinterpret_cast<TLOBLocator*>(&dummy)); },
        [&] { vars.SetComplexVariable("V", reinterpret_cast<TOracleQuery*>(&dummy)); },
        [&] { vars.SetComplexVariable("V", reinterpret_cast<TOracleTimestamp*>(&dummy)); },
    };
    for (const auto& c : cases) {
        vars.DeclareVariable("V", c.type);
        int accepted = 0;
        for (const auto& set : setters) {
            std::string message = Failure(set);
            if (message.empty()) ++accepted;
            else EXPECT_EQ(message, c.message) << c.type;
        }
        EXPECT_EQ(accepted, 1) << c.type;
        EXPECT_EQ(vars.GetComplexVariable("V"), static_cast<void*>(&dummy));
    }
}

TEST_F(VariablesTest, TimestampsFromPlainDateTimes) {
    vars.DeclareVariable("T", otTimestamp);
    const TVariableData& v = vars.Data(0);
    vars.SetVariable("T", Variant(TDateTime(45000.25)));
    EXPECT_EQ(v.buf, nullptr);
    EXPECT_EQ(v.tsv.Value, 45000.25);
    EXPECT_EQ(v.indp[0], 0);
    EXPECT_EQ(vars.GetVariable("T").ToDouble(), 45000.25);
    vars.SetVariable("T", Variant("2001-02-03"));
    EXPECT_EQ(v.tsv, EncodeDate(2001, 2, 3));
    vars.SetVariable("T", Variant(TDateTime(0.0)));
    EXPECT_EQ(v.indp[0], -1);
    EXPECT_TRUE(vars.GetVariable("T").IsUnassigned());
    TOracleSession session;
    session.Preferences().SetZeroDateIsNull(false);
    owner.session = &session;
    vars.SetVariable("T", Variant(TDateTime(0.0)));
    EXPECT_EQ(v.indp[0], 0);
    owner.session = nullptr;
    // An object given later replaces the plain value.
    int dummy = 0;
    vars.SetVariable("T", Variant(TDateTime(5.0)));
    vars.SetComplexVariable("T", reinterpret_cast<TOracleTimestamp*>(&dummy));
    EXPECT_EQ(v.tsv.Value, 0.0);
    EXPECT_EQ(vars.GetVariable("T").ToObject(), static_cast<void*>(&dummy));
}

// ---- display, deleting, clearing ----

TEST_F(VariablesTest, DisplayStrings) {
    int dummy = 0;
    struct Case {
        int type;
        std::function<void()> set;
        const char* expected;
    };
    const Case cases[] = {
        {otInteger, [] {}, "Null"},
        {otInteger, [&] { vars.SetVariable("V", Variant(12)); }, "12"},
        {otString, [&] { vars.SetVariable("V", Variant("abc")); }, "abc"},
        {otFloat, [&] { vars.SetVariable("V", Variant(1.5)); }, "1.5"},
        {otDate, [&] { vars.SetVariable("V", Variant(EncodeDate(2001, 2, 3))); }, "2001-02-03"},
        {otInteger, [&] { vars.SetVariable("V", Variant::Array({Variant(1), Variant(2)})); }, "(Array)"},
        {otInteger, [&] { vars.SetVariable("V", Variant::Array({Variant(1)})); }, "1"},
        {otInteger, [&] { vars.DimPLSQLTable("V", 1, 0); }, "(PL/SQL Table)"},
        {otLong, [&] { vars.SetVariable("V", Variant("x")); }, "(Long)"},
        {otLongRaw, [] {}, "(Long Raw)"},
        {otObject, [] {}, "(Object)"},
        {otReference, [] {}, "(Reference)"},
        {otCLOB, [] {}, "(CLOB)"},
        {otBLOB, [] {}, "(BLOB)"},
        {otBFile, [] {}, "(BFile)"},
        {otCursor, [] {}, "(Cursor)"},
        {otTimestamp, [] {}, "Null"},
        {otTimestamp, [&] { vars.SetVariable("V", Variant(EncodeDate(2001, 2, 3))); }, "2001-02-03"},
        {otTimestamp, [&] { vars.SetComplexVariable("V", reinterpret_cast<TOracleTimestamp*>(&dummy)); }, "(Timestamp)"},
        {otSubst, [&] { vars.SetVariable("V", Variant("emp")); }, "emp"},
    };
    for (const auto& c : cases) {
        vars.DeclareVariable("V", c.type);
        c.set();
        EXPECT_EQ(vars.Data(0).DisplayString(nullptr), c.expected) << c.type;
    }
}

TEST_F(VariablesTest, DeleteAndClear) {
    vars.DeclareAndSet("A", otInteger, Variant(1));
    vars.DeclareAndSet("B", otString, Variant::Array({Variant("x"), Variant("y")}));
    vars.DeclareVariable("C", otInteger);
    vars.DimPLSQLTable("C", 5, 0);
    vars.SetVariable("C", Variant::Array({Variant(1), Variant(2)}));
    vars.ClearVariables();
    EXPECT_EQ(vars.Data(0).indp[0], -1);
    EXPECT_EQ(vars.Data(1).ArraySize, 1);
    EXPECT_EQ(vars.Data(1).indp[0], -1);
    EXPECT_EQ(vars.Data(2).PLSQLTableElemCount, 0);
    EXPECT_EQ(vars.Data(2).ArraySize, 5);

    int before = owner.redeclared;
    EXPECT_EQ(Failure([&] { vars.DeleteVariable("X"); }), "Variable :X not declared");
    vars.DeleteVariable("b");
    EXPECT_EQ(owner.redeclared, before + 1);
    ASSERT_EQ(vars.Count(), 2);
    EXPECT_EQ(vars.VariableName(1), ":C");
    vars.DeleteVariables();
    EXPECT_EQ(vars.Count(), 0);
    EXPECT_EQ(owner.redeclared, before + 2);
}

// ---- copies ----

TEST_F(VariablesTest, AssignFromParameters) {
    TParams params;
    struct Case {
        const char* name;
        Variant value;
        int type;
        int bufsize;
    };
    const Case cases[] = {
        {"small", Variant(std::int16_t(3)), otInteger, 4}, {"int", Variant(4), otInteger, 4},
        {"flag", Variant(true), otInteger, 4},             {"byte", Variant(std::uint8_t(5)), otInteger, 4},
        {"single", Variant(1.5f), otFloat, 8},             {"dbl", Variant(2.5), otFloat, 8},
        {"money", Variant(Currency{12345}), otFloat, 8},   {"when", Variant(EncodeDate(2001, 2, 3)), otDate, 7},
        {"text", Variant("abc"), otString, 4001},          {"wide", Variant(u"xyz"), otString, 4001},
    };
    for (const auto& c : cases) params.CreateParam(ftUnknown, c.name, ptInput).SetValue(c.value);
    vars.DeclareVariable("OLD", otInteger);
    vars.Assign(params);
    ASSERT_EQ(vars.Count(), int(std::size(cases)));
    for (int i = 0; i < vars.Count(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(vars.VariableName(i), TVariables::NormalizeName(c.name));
        EXPECT_EQ(vars.VariableType(i), c.type);
        EXPECT_EQ(vars.Data(i).bufsize, c.bufsize);
    }
    EXPECT_EQ(vars.GetVariable("small").ToInteger(), 3);
    EXPECT_EQ(vars.GetVariable("money").ToDouble(), 1.2345);
    EXPECT_EQ(vars.GetVariable("wide").ToString(), "xyz");
    EXPECT_EQ(vars.GetVariable("when").ToDateTime(), EncodeDate(2001, 2, 3));

    // A value of another kind is refused, and the list stays as it was.
    for (const Variant& bad : {Variant(), Variant::Null(), Variant(std::int64_t(1)), Variant(std::uint16_t(1)),
                               Variant(std::vector<std::uint8_t>{1})}) {
        TParams other;
        other.CreateParam(ftInteger, "ok", ptInput).SetValue(Variant(1));
        other.CreateParam(ftUnknown, "bad", ptInput).SetValue(bad);
        EXPECT_EQ(Failure([&] { vars.Assign(other); }), "Unsupported variable type");
        EXPECT_EQ(vars.Count(), int(std::size(cases)));
    }
}

TEST_F(VariablesTest, AssignToParameters) {
    int dummy = 0;
    vars.DeclareAndSet("N", otInteger, Variant(7));
    vars.DeclareVariable("NUL", otString);
    vars.DeclareAndSet("S", otString, Variant("a\nb"));
    vars.DeclareAndSet("D", otDate, Variant(EncodeDate(2001, 2, 3)));
    vars.DeclareVariable("O", otObject);
    vars.SetComplexVariable("O", reinterpret_cast<TOracleObject*>(&dummy));
    TParams params;
    params.CreateParam(ftString, "stale", ptInput);
    vars.AssignTo(params);
    ASSERT_EQ(params.Count(), 5);
    EXPECT_EQ(params[0].Name(), "N");
    EXPECT_EQ(params[0].Value().ToInteger(), 7);
    EXPECT_TRUE(params[1].Value().IsUnassigned());
    EXPECT_EQ(params[2].Value().ToString(), "a\r\nb");
    EXPECT_EQ(params[3].Value().ToDateTime(), EncodeDate(2001, 2, 3));
    EXPECT_EQ(params[4].Value().ToObject(), static_cast<void*>(&dummy));
    // And back: the list is rebuilt from the parameters that have a value of a known kind.
    params.Delete(4);
    params.Delete(1);
    TestOwner other;
    TVariables copy(&other);
    copy.Assign(params);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.GetVariable("S").ToString(), "a\r\nb");
}

TEST_F(VariablesTest, AssignBetweenStatements) {
    vars.DeclareAndSet("N", otInteger, Variant(7));
    vars.DeclareAndSet("A", otFloat, Variant::Array({Variant(1.5), Variant(), Variant(3.5)}, 1));
    vars.DeclareVariable("T", otString);
    vars.DimPLSQLTable("T", 8, 20);
    vars.SetVariable("T", Variant::Array({Variant("kept out")}));
    vars.DeclareVariable("W", otString);
    vars.DeclareVariableCharSet("W", 2, 2000);
    vars.SetVariable("W", Variant(u"n\u00e9"));
    TestOwner destOwner;
    TVariables dest(&destOwner);
    dest.DeclareVariable("GONE", otInteger);
    dest.Assign(vars);
    ASSERT_EQ(dest.Count(), 4);
    EXPECT_EQ(dest.VariableIndex("GONE"), -1);
    EXPECT_EQ(dest.GetVariable("N").ToInteger(), 7);
    Variant a = dest.GetVariable("A");
    EXPECT_EQ(a.LowBound(), 1);
    EXPECT_EQ(a.Element(3).ToDouble(), 3.5);
    EXPECT_TRUE(a.Element(2).IsUnassigned());
    const TVariableData& t = dest.Data(dest.VariableIndex("T"));
    EXPECT_TRUE(t.IsPLSQLTable);
    EXPECT_EQ(t.ArraySize, 8);
    EXPECT_EQ(t.bufsize, 21);
    EXPECT_EQ(t.PLSQLTableElemCount, 0); // values of tables are not copied
    EXPECT_EQ(dest.VariableCharSetID(3), 2000);
    EXPECT_EQ(dest.GetVariable("W").ToUString(), u"n\u00e9");
    vars.AssignTo(vars); // onto itself: nothing changes
    EXPECT_EQ(vars.Count(), 4);

    // Only lists of statements are copied into one another.
    TestOwner notQuery;
    notQuery.isQuery = false;
    TVariables plain(&notQuery);
    TVariables orphan(nullptr);
    const std::pair<TVariables*, TVariables*> pairs[] = {{&vars, &plain}, {&plain, &vars}, {&orphan, &vars}};
    for (const auto& pair : pairs) {
        try {
            pair.first->AssignTo(*pair.second);
            ADD_FAILURE() << "copied";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "Can only Assign TVariables owned by a TOracleQuery");
        }
    }
    EXPECT_EQ(vars.Count(), 4);
}

// ---- the stored form ----

std::string Int32(std::int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
    return s;
}

std::string Utf16Name(const std::string& ascii) {
    std::string s;
    for (char c : ascii) {
        s.push_back(c);
        s.push_back('\0');
    }
    return Int32(std::int32_t(s.size())) + s;
}

TEST_F(VariablesTest, StreamBytes) {
    vars.DeclareAndSet("s", otString, Variant("abc"));
    vars.DeclareVariable("n", otInteger);
    vars.DeclareVariable("t", otInteger);
    vars.DimPLSQLTable("t", 3, 0);
    TMemoryStream out;
    vars.WriteData(out);
    const std::string expected = Int32(4) + Int32(3) +
                                 Utf16Name(":S") + Int32(otString) + Int32(4) + std::string("abc\0", 4) + Int32(0) +
                                 Utf16Name(":N") + Int32(otInteger) + Int32(0) + Int32(0) +
                                 Utf16Name(":T") + Int32(otInteger) + Int32(0) + Int32(1) + Int32(3) + Int32(0);
    EXPECT_EQ(out.Data(), expected);
}

TEST_F(VariablesTest, StreamRoundTrip) {
    vars.DeclareAndSet("S", otString, Variant("abc"));
    vars.DeclareAndSet("I", otInteger, Variant(-5));
    vars.DeclareAndSet("F", otFloat, Variant(0.25));
    vars.DeclareAndSet("D", otDate, Variant(EncodeDate(1999, 12, 31)));
    vars.DeclareAndSet("L", otLong, Variant("long text"));
    vars.DeclareAndSet("R", otLongRaw, Variant(std::vector<std::uint8_t>{0, 9, 0}));
    vars.DeclareAndSet("SUB", otSubst, Variant("emp"));
    vars.DeclareVariable("NUL", otString);
    vars.DeclareVariable("P", otString);
    vars.DimPLSQLTable("P", 6, 12);
    vars.DeclareVariable("C", otCLOB);
    int dummy = 0;
    vars.SetComplexVariable("C", reinterpret_cast<TLOBLocator*>(&dummy));
    TMemoryStream out;
    vars.WriteData(out);

    TestOwner otherOwner;
    TVariables back(&otherOwner);
    back.DeclareVariable("GONE", otInteger);
    out.SetPosition(0);
    back.ReadData(out);
    EXPECT_EQ(out.Position(), out.Size());
    ASSERT_EQ(back.Count(), vars.Count());
    for (int i = 0; i < vars.Count(); ++i) {
        EXPECT_EQ(back.VariableName(i), vars.VariableName(i));
        EXPECT_EQ(back.VariableType(i), vars.VariableType(i));
    }
    EXPECT_EQ(back.GetVariable("S").ToString(), "abc");
    EXPECT_EQ(back.GetVariable("I").ToInteger(), -5);
    EXPECT_EQ(back.GetVariable("F").ToDouble(), 0.25);
    EXPECT_EQ(back.GetVariable("D").ToDateTime(), EncodeDate(1999, 12, 31));
    EXPECT_EQ(back.GetVariable("L").ToString(), "long text");
    EXPECT_TRUE(back.GetVariable("R") == Variant(std::vector<std::uint8_t>{0, 9, 0}));
    EXPECT_EQ(back.GetVariable("SUB").ToString(), "emp");
    EXPECT_TRUE(back.GetVariable("NUL").IsUnassigned());
    const TVariableData& p = back.Data(back.VariableIndex("P"));
    EXPECT_TRUE(p.IsPLSQLTable);
    EXPECT_EQ(p.ArraySize, 6);
    EXPECT_EQ(p.bufsize, 13);
    // An object reference is not stored.
    EXPECT_EQ(back.GetComplexVariable("C"), nullptr);
}

TEST_F(VariablesTest, OlderStreamVersions) {
    // Version 1: names as 8-bit text, no values and no table fields.
    std::string v1 = Int32(1) + Int32(2) + Int32(5) + ":EMPN" + Int32(otInteger) + Int32(4) + "name" + Int32(otString);
    TMemoryStream s1(v1);
    vars.ReadData(s1);
    ASSERT_EQ(vars.Count(), 2);
    EXPECT_EQ(vars.VariableName(0), ":EMPN");
    EXPECT_EQ(vars.VariableName(1), ":NAME");
    EXPECT_EQ(vars.Data(1).bufsize, 4001);
    EXPECT_EQ(s1.Position(), s1.Size());
    // Version 2 adds the value, version 3 the table fields, both with 8-bit names.
    std::string v2 = Int32(2) + Int32(1) + Int32(2) + ":X" + Int32(otInteger) + Int32(4) + Int32(99);
    TMemoryStream s2(v2);
    vars.ReadData(s2);
    EXPECT_EQ(vars.GetVariable("X").ToInteger(), 99);
    std::string v3 = Int32(3) + Int32(1) + Int32(2) + ":T" + Int32(otDate) + Int32(0) + Int32(1) + Int32(4) + Int32(0);
    TMemoryStream s3(v3);
    vars.ReadData(s3);
    EXPECT_TRUE(vars.Data(0).IsPLSQLTable);
    EXPECT_EQ(vars.Data(0).ArraySize, 4);
}

TEST_F(VariablesTest, DamagedStreamsLeaveTheListAlone) {
    vars.DeclareAndSet("KEEP", otInteger, Variant(1));
    struct Case {
        std::string bytes;
        const char* message; // nullptr: any read error
    };
    const Case cases[] = {
        {Int32(5) + Int32(0), "Invalid version of Query variables"},
        {Int32(4) + Int32(1) + Utf16Name(":A") + Int32(6) + Int32(0) + Int32(0), "Unsupported variable type"},
        {Int32(4) + Int32(1) + Utf16Name(":A") + Int32(otInteger) + Int32(4) + "ab", nullptr},
        {Int32(4) + Int32(2) + Utf16Name(":A") + Int32(otInteger) + Int32(0) + Int32(0), nullptr},
        {Int32(4) + Int32(1) + Int32(-3), nullptr},
        {Int32(4) + Int32(1) + Int32(1000000), nullptr},
        {Int32(4) + Int32(1) + Utf16Name(":A") + Int32(otInteger) + Int32(0) + Int32(1) + Int32(0) + Int32(0),
         "You must specify the size of the PL/SQL Table"},
        {Int32(4), nullptr},
    };
    for (const auto& c : cases) {
        TMemoryStream s(c.bytes);
        std::string message = Failure([&] { vars.ReadData(s); });
        if (c.message) EXPECT_EQ(message, c.message);
        else EXPECT_FALSE(message.empty());
        ASSERT_EQ(vars.Count(), 1);
        EXPECT_EQ(vars.GetVariable("KEEP").ToInteger(), 1);
    }
    // Value bytes larger than the element are cut to it, and text stays terminated.
    std::string big = Int32(4) + Int32(2) + Utf16Name(":I") + Int32(otInteger) + Int32(8) + Int32(42) + Int32(7) + Int32(0) +
                      Utf16Name(":R") + Int32(otString) + Int32(6000) + std::string(6000, 'z') + Int32(0);
    TMemoryStream s(big);
    vars.ReadData(s);
    EXPECT_EQ(vars.GetVariable("I").ToInteger(), 42);
    EXPECT_EQ(vars.GetVariable("R").ToString(), std::string(4000, 'z'));
}

TEST_F(VariablesTest, AnyDamageToAStoredFormIsRefusedCleanly) {
    TestOwner sourceOwner;
    TVariables source(&sourceOwner);
    source.DeclareAndSet("S", otString, Variant("text"));
    source.DeclareAndSet("L", otLong, Variant("long"));
    source.DeclareAndSet("R", otLongRaw, Variant(std::vector<std::uint8_t>{1, 2}));
    source.DeclareVariable("P", otString);
    source.DimPLSQLTable("P", 3, 8);
    TMemoryStream out;
    source.WriteData(out);
    const std::string good = out.Data();
    std::vector<std::string> damaged;
    for (size_t cut = 0; cut < good.size(); ++cut) damaged.push_back(good.substr(0, cut));
    for (size_t at = 0; at < good.size(); ++at)
        for (char b : {'\xFF', '\x7F', '\x00'}) {
            std::string d = good;
            d[at] = b;
            damaged.push_back(d);
        }
    vars.DeclareAndSet("KEEP", otInteger, Variant(1));
    int refused = 0;
    for (const std::string& bytes : damaged) {
        TMemoryStream s(bytes);
        try {
            vars.ReadData(s);
        } catch (const std::exception&) {
            ++refused;
            ASSERT_EQ(vars.Count(), 1);
            ASSERT_EQ(vars.VariableName(0), ":KEEP");
            continue;
        }
        // What was accepted is a list that works.
        for (int i = 0; i < vars.Count(); ++i) (void)vars.Data(i).DisplayString(nullptr);
        vars.DeleteVariables();
        vars.DeclareAndSet("KEEP", otInteger, Variant(1));
    }
    EXPECT_GE(refused, int(good.size()));
}

TEST_F(VariablesTest, WhenTheStoredFormIsWritten) {
    TestOwner ancestorOwner;
    TVariables ancestor(&ancestorOwner);
    EXPECT_FALSE(vars.ShouldWriteData(nullptr));
    EXPECT_FALSE(vars.ShouldWriteData(&ancestor));
    vars.DeclareVariable("A", otString);
    EXPECT_TRUE(vars.ShouldWriteData(nullptr));
    EXPECT_TRUE(vars.ShouldWriteData(&ancestor));
    ancestor.DeclareVariable("A", otString);
    EXPECT_FALSE(vars.ShouldWriteData(&ancestor));

    struct Case {
        const char* what;
        std::function<void(TVariables&)> change;
    };
    const Case cases[] = {
        {"name", [](TVariables& v) { v.DeleteVariables(); v.DeclareVariable("B", otString); }},
        {"type", [](TVariables& v) { v.DeclareVariable("A", otChar); }},
        {"indicator", [](TVariables& v) { v.SetVariable("A", Variant("x")); }},
        {"table", [](TVariables& v) { v.DimPLSQLTable("A", 2, 10); }},
        {"count", [](TVariables& v) { v.DeclareVariable("B", otString); }},
    };
    for (const auto& c : cases) {
        vars.DeleteVariables();
        vars.DeclareVariable("A", otString);
        c.change(vars);
        EXPECT_TRUE(vars.ShouldWriteData(&ancestor)) << c.what;
    }
    // Values count only where present, and only the bytes that are written.
    vars.DeleteVariables();
    vars.DeclareAndSet("A", otString, Variant("same"));
    ancestor.DeclareAndSet("A", otString, Variant("sameXYZ"));
    ancestor.SetVariable("A", Variant("same")); // bytes after the terminator differ
    EXPECT_FALSE(vars.ShouldWriteData(&ancestor));
    ancestor.SetVariable("A", Variant("samf"));
    EXPECT_TRUE(vars.ShouldWriteData(&ancestor));
    ancestor.SetVariable("A", Variant("same!"));
    EXPECT_TRUE(vars.ShouldWriteData(&ancestor));
    vars.DimPLSQLTable("A", 2, 10);
    ancestor.DimPLSQLTable("A", 2, 11);
    EXPECT_TRUE(vars.ShouldWriteData(&ancestor));
    ancestor.DimPLSQLTable("A", 2, 10);
    EXPECT_FALSE(vars.ShouldWriteData(&ancestor));
}

} // namespace
