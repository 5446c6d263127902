// Session preferences without a connection: defaults, assignment, the fetch-type rules for
// NUMBER and TIMESTAMP columns, and the fixed character sizes.
#include <gtest/gtest.h>

#include "oracle/session/OracleSession.h"
#include "oracle/session/SessionPreferences.h"

using namespace quorvel;

TEST(SessionPreferences, DefaultsAndTheConversionInForce) {
    TOracleSession session;
    const TSessionPreferences& p = session.Preferences();
    EXPECT_EQ(p.Session(), &session);
    EXPECT_EQ(p.FloatPrecision(), 0);
    EXPECT_EQ(p.IntegerPrecision(), 0);
    EXPECT_EQ(p.SmallIntPrecision(), -1);
    EXPECT_FALSE(p.UseOCI7());
    EXPECT_TRUE(p.ConvertCRLF());
    EXPECT_EQ(p.ConvertUTF(), cuUTF8ToUTF16);
    EXPECT_FALSE(p.ForceWideStringFields());
    EXPECT_TRUE(p.TrimStringFields());
    EXPECT_EQ(p.MaxStringFieldSize(), 0);
    EXPECT_TRUE(p.ZeroDateIsNull());
    EXPECT_FALSE(p.NullLOBIsEmpty());
    EXPECT_FALSE(p.NullObjectIsEmpty());
    EXPECT_EQ(p.TemporaryLOB(), tlCache);
    EXPECT_FALSE(p.TimestampAsString());

    // Setting another conversion on a disconnected session is accepted, yet the library keeps
    // converting UTF-8 to UTF-16.
    session.Preferences().SetConvertUTF(cuNone);
    EXPECT_EQ(p.ConvertUTF(), cuUTF8ToUTF16);
    session.Preferences().SetConvertUTF(cuUTF16ToUTF8);
    EXPECT_EQ(p.ConvertUTF(), cuUTF8ToUTF16);
}

TEST(SessionPreferences, AssignmentCopiesEverySettingAndKeepsItsSession) {
    TOracleSession a, b;
    TSessionPreferences& p = a.Preferences();
    p.SetFloatPrecision(15);
    p.SetIntegerPrecision(12);
    p.SetSmallIntPrecision(4);
    p.SetUseOCI7(true);
    p.SetConvertCRLF(false);
    p.SetForceWideStringFields(true);
    p.SetTrimStringFields(false);
    p.SetMaxStringFieldSize(255);
    p.SetZeroDateIsNull(false);
    p.SetNullLOBIsEmpty(true);
    p.SetNullObjectIsEmpty(true);
    p.SetTemporaryLOB(tlNoCache);
    p.SetTimestampAsString(true);

    b.Preferences() = p;
    const TSessionPreferences& q = b.Preferences();
    EXPECT_EQ(q.Session(), &b);
    EXPECT_EQ(q.FloatPrecision(), 15);
    EXPECT_EQ(q.IntegerPrecision(), 12);
    EXPECT_EQ(q.SmallIntPrecision(), 4);
    EXPECT_TRUE(q.UseOCI7());
    EXPECT_FALSE(q.ConvertCRLF());
    EXPECT_TRUE(q.ForceWideStringFields());
    EXPECT_FALSE(q.TrimStringFields());
    EXPECT_EQ(q.MaxStringFieldSize(), 255);
    EXPECT_FALSE(q.ZeroDateIsNull());
    EXPECT_TRUE(q.NullLOBIsEmpty());
    EXPECT_TRUE(q.NullObjectIsEmpty());
    EXPECT_EQ(q.TemporaryLOB(), tlNoCache);
    EXPECT_TRUE(q.TimestampAsString());
}

TEST(SessionPreferences, NumberFetchTypes) {
    struct Case {
        int integerPrecision, floatPrecision;
        bool personalLite;
        int precision, scale;
        bool requireText;
        uint16_t type;
        int size;
    } cases[] = {
        {0, 0, false, 9, 0, false, 3, 4},        // NUMBER(9): integer
        {0, 0, false, 10, 0, false, 4, 8},       // NUMBER(10): floating value
        {0, 0, true, 10, 0, false, 3, 4},        // Personal Oracle Lite allows 10 digits
        {12, 0, false, 10, 0, false, 3, 4},      // IntegerPrecision 12
        {12, 0, false, 13, 0, false, 4, 8},
        {0, 15, false, 20, 0, false, 5, 22},     // FloatPrecision 15: NUMBER(20) as text
        {0, 15, false, 20, 2, false, 5, 23},     // NUMBER(20,2)
        {0, 15, false, 15, 2, false, 4, 8},      // within FloatPrecision
        {0, 0, false, 9, 0, true, 5, 11},        // text demanded
        {0, 0, false, 9, 2, true, 5, 12},
        {0, 0, false, 9, -2, false, 3, 4},       // negative scale: still whole numbers
        {0, 0, false, 0, 0, false, 4, 8},        // plain NUMBER: precision 38
        {0, 30, false, 0, 0, false, 5, 40},
        {0, 0, false, 126, -127, false, 4, 8},   // FLOAT: scale 1, precision 38
        {0, 30, false, 126, -127, false, 5, 173},
        {0, 0, false, 126, -127, true, 5, 173},
    };
    for (const Case& c : cases) {
        TOracleSession session;
        if (c.personalLite) session.SetLogonDatabase("ODBC:lite");
        session.Preferences().SetIntegerPrecision(c.integerPrecision);
        session.Preferences().SetFloatPrecision(c.floatPrecision);
        const TNumberFetch f = NumberFetchType(session, c.precision, c.scale, c.requireText);
        EXPECT_EQ(f.DataType, c.type) << c.precision << "," << c.scale;
        EXPECT_EQ(f.BufferSize, c.size) << c.precision << "," << c.scale;
    }
    // Wide number buffers are sized for the widest characters.
    TOracleSession session;
    session.SetBytesPerCharacter(bc3Bytes);
    WideNumberBuffers = true;
    const TNumberFetch wide = NumberFetchType(session, 9, 0, true);
    WideNumberBuffers = false;
    EXPECT_EQ(wide.BufferSize, 11 * 4 * 3);
}

TEST(SessionPreferences, TimestampFetchTypes) {
    TOracleSession session;
    TTimestampFetch f = TimestampFetchType(session);
    EXPECT_FALSE(f.AsText);
    EXPECT_TRUE(f.NeedsNet9);
    session.Preferences().SetTimestampAsString(true);
    session.SetBytesPerCharacter(bc2Bytes);
    f = TimestampFetchType(session);
    EXPECT_TRUE(f.AsText);
    EXPECT_FALSE(f.NeedsNet9);
    EXPECT_EQ(f.BufferSize, 100);
}

TEST(SessionCharacterSets, FixedSizesOnADisconnectedSession) {
    TOracleSession session;
    EXPECT_EQ(session.CharacterSize(), 1);   // auto-detection needs a connection
    EXPECT_EQ(session.CurrentCharSetID(), 0);
    EXPECT_FALSE(session.CurrentCharSetIsUTF8());
    EXPECT_EQ(session.MaxVarchar(), 4000);
    EXPECT_EQ(session.MaxVarcharN(), 4000);
    EXPECT_EQ(session.DateFormatLength(), 40);

    session.SetBytesPerCharacter(bc2Bytes);
    EXPECT_EQ(session.CharacterSize(), 2);
    EXPECT_EQ(session.CurrentBytesPerNCharacter(), 2);
    EXPECT_EQ(session.MaxVarchar(), 2000);
    EXPECT_EQ(session.MaxVarcharN(), 2000);
    session.SetBytesPerCharacter(bc3Bytes);
    EXPECT_EQ(session.MaxVarchar(), 1333);
    session.Preferences().SetUseOCI7(true);
    EXPECT_EQ(session.MaxVarchar(), 666);
    session.SetBytesPerCharacter(bc4Bytes);
    EXPECT_EQ(session.CharacterSize(), 4);
}
