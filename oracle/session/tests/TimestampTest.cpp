// TOracleTimestamp over the stand-in client's timestamp descriptors.
#include <gtest/gtest.h>

#include "base/FormatSettings.h"
#include "oracle/ci/OCIEntryPoints.h"
#include "oracle/session/OracleTimestamp.h"
#include "StandInDatabase.h"

using namespace quorvel;

namespace {

class TimestampTest : public testing_db::StandInDatabase {
protected:
    void SetUp() override {
        StandInDatabase::SetUp();
        if (IsSkipped()) return;
        TFormatSettings fs = TFormatSettings::Invariant();
        SetFormatSettings(fs);
        Connect(FSession);
    }
    void TearDown() override {
        ResetFormatSettings();
        StandInDatabase::TearDown();
    }
    TOracleSession FSession;
};

struct Recorder : TOracleTimestampOwner {
    std::vector<std::string> Changed;
    void TimestampAttributeChanged(const std::string& name) override { Changed.push_back(name); }
};

void ExpectParts(TOracleTimestamp& t, int y, int mo, int d, int h, int mi, int s, uint32_t ns) {
    EXPECT_EQ(t.Year(), y);
    EXPECT_EQ(t.Month(), mo);
    EXPECT_EQ(t.Day(), d);
    EXPECT_EQ(t.Hour(), h);
    EXPECT_EQ(t.Minute(), mi);
    EXPECT_EQ(t.Second(), s);
    EXPECT_EQ(t.NanoSeconds(), ns);
}

int Milliseconds(TDateTime v) {
    int h, m, s, ms;
    DecodeTime(v, h, m, s, ms);
    return ms;
}

} // namespace

TEST_F(TimestampTest, PartsValuesAndTexts) {
    TOracleTimestamp t(&FSession);
    EXPECT_EQ(t.Session(), &FSession);
    EXPECT_EQ(t.DataType(), 187);
    EXPECT_TRUE(t.IsNull());
    ExpectParts(t, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(t.TZHour(), 0);
    EXPECT_EQ(t.AsDateTime().Value, 0.0);
    EXPECT_EQ(t.AsString(), "");
    EXPECT_EQ(t.AsOracleString(), "");

    t.SetValues(2001, 2, 3, 4, 5, 6, 700000000);
    EXPECT_FALSE(t.IsNull());
    ExpectParts(t, 2001, 2, 3, 4, 5, 6, 700000000);
    EXPECT_EQ(t.TZHour(), 0);   // no time zone to read
    EXPECT_DOUBLE_EQ(t.AsDateTime().Value, EncodeDate(2001, 2, 3).Value + EncodeTime(4, 5, 6, 700).Value);
    EXPECT_EQ(t.AsString(), "2001-02-03 04:05:06");
    EXPECT_EQ(t.AsOracleString(), "03-FEB-01 04.05.06.700000000 AM");

    // The fraction never carries into the next second.
    t.SetValues(2001, 2, 3, 4, 5, 6, 999600000);
    EXPECT_EQ(Milliseconds(t.AsDateTime()), 999);
    int h, m, s, ms;
    DecodeTime(t.AsDateTime(), h, m, s, ms);
    EXPECT_EQ(s, 6);

    // Writing a date-time keeps its milliseconds; dates before 1899 keep their time of day.
    t.SetAsDateTime(TDateTime(EncodeDate(1850, 6, 1).Value - EncodeTime(18, 30, 0, 250).Value));
    ExpectParts(t, 1850, 6, 1, 18, 30, 0, 250000000);
    EXPECT_DOUBLE_EQ(t.AsDateTime().Value, EncodeDate(1850, 6, 1).Value - EncodeTime(18, 30, 0, 250).Value);

    // A year before 1 reads like a DATE of such a year.
    t.SetValues(-44, 3, 15, 12, 0, 0, 0);
    EXPECT_EQ(t.Year(), -44);
    EXPECT_DOUBLE_EQ(t.AsDateTime().Value, -693594.5);

    t.SetAsString("1999-12-31 23:59:58");
    ExpectParts(t, 1999, 12, 31, 23, 59, 58, 0);
    EXPECT_THROW(t.SetAsString("not a date"), EConvertError);
    t.SetAsOracleString("10-OCT-05 01.02.03.123456789 PM");
    ExpectParts(t, 2005, 10, 10, 13, 2, 3, 123456789);
    t.SetAsOracleString("");
    EXPECT_TRUE(t.IsNull());
    t.SetAsString("2001-01-01");
    EXPECT_FALSE(t.IsNull());
    t.SetAsString("");
    EXPECT_TRUE(t.IsNull());
}

TEST_F(TimestampTest, ZeroDateWithAndWithoutZeroDateIsNull) {
    TOracleTimestamp t(&FSession);
    t.SetValues(2001, 2, 3, 4, 5, 6, 0);
    t.SetAsDateTime(TDateTime(0.0));
    EXPECT_TRUE(t.IsNull());

    FSession.Preferences().SetZeroDateIsNull(false);
    t.SetAsDateTime(TDateTime(0.0));
    EXPECT_FALSE(t.IsNull());
    ExpectParts(t, 1899, 12, 30, 0, 0, 0, 0);
    EXPECT_EQ(t.AsDateTime().Value, 0.0);
}

TEST_F(TimestampTest, AssignClearAndTimeZones) {
    TOracleTimestamp source(&FSession, 188), target(&FSession, 188);
    source.SetValuesTZ(2010, 7, 8, 9, 10, 11, 12, -5, 0);
    EXPECT_EQ(source.TZHour(), -5);
    EXPECT_EQ(source.TZMinute(), 0);
    target.Assign(&source);
    EXPECT_FALSE(target.IsNull());
    ExpectParts(target, 2010, 7, 8, 9, 10, 11, 12);
    EXPECT_EQ(target.TZHour(), -5);
    EXPECT_EQ(target.AsOracleString(), "08-JUL-10 09.10.11.000000012 AM -05:00");

    TOracleTimestamp null(&FSession, 188);
    target.Assign(&null);
    EXPECT_TRUE(target.IsNull());
    EXPECT_THROW(target.Assign(nullptr), Exception);

    source.Clear();
    EXPECT_TRUE(source.IsNull());
    EXPECT_EQ(source.Year(), 0);

    TOracleTimestamp local(&FSession, 232);
    EXPECT_EQ(local.DataType(), 232);
    local.SetValues(2020, 1, 2, 3, 4, 5, 6);
    ExpectParts(local, 2020, 1, 2, 3, 4, 5, 6);
}

TEST_F(TimestampTest, ChangesReachTheOwningAttribute) {
    TOracleTimestamp t(&FSession);
    Recorder owner;
    int16_t indicator = 5;
    t.SetOwnerAttribute(&owner, "HIRED", &indicator);
    t.SetValues(2001, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(indicator, 0);
    t.Clear();
    EXPECT_EQ(indicator, -1);
    t.SetAsOracleString("01-JAN-01 12.00.00.000000000 AM");
    EXPECT_EQ(indicator, 0);
    TOracleTimestamp other(&FSession);
    t.Assign(&other);
    EXPECT_EQ(indicator, -1);
    EXPECT_EQ(owner.Changed, (std::vector<std::string>{"HIRED", "HIRED", "HIRED", "HIRED"}));
    // Reading changes nothing.
    t.AsDateTime();
    t.Year();
    EXPECT_EQ(owner.Changed.size(), 4u);
}

TEST_F(TimestampTest, ClientErrorsAndRefusals) {
    TOracleTimestamp t(&FSession);
    try {
        t.SetValues(2001, 13, 1, 0, 0, 0, 0);
        ADD_FAILURE() << "month 13 accepted";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1843);
        EXPECT_EQ(e.Session(), &FSession);
        EXPECT_EQ(e.Instance(), &t);
    }
    EXPECT_TRUE(t.IsNull());   // a refused value changes nothing
    try {
        t.SetAsOracleString("no timestamp");
        ADD_FAILURE() << "text accepted";
    } catch (const EOracleError& e) {
        EXPECT_EQ(e.ErrorCode(), 1861);
    }
    // A descriptor the client does not know.
    TOracleTimestamp foreign(&FSession);
    int notADescriptor = 0;
    foreign.AttachDescriptor(&notADescriptor, 187, false, false);
    try {
        foreign.Year();
        ADD_FAILURE() << "no error for an unknown descriptor";
    } catch (const EOracleError&) {
        ADD_FAILURE() << "a handle error is no database error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TOracleTimestamp: Invalid handle");
    }
    foreign.AttachDescriptor(nullptr, 187, false, true);

    TOracleSession disconnected;
    try {
        TOracleTimestamp none(&disconnected);
        ADD_FAILURE() << "created on a disconnected session";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Can only create TOracleTimestamp instance if Session is connected");
    }
    EXPECT_THROW(TOracleTimestamp(nullptr), Exception);
}

TEST_F(TimestampTest, TheLockOfAThreadSafeSessionIsFreeAfterAFailedCall) {
    TOracleSession session;
    session.SetThreadSafe(true);
    Connect(session);
    TOracleTimestamp t(&session);
    EXPECT_THROW(t.SetValues(2001, 2, 30, 0, 0, 0, 0), EOracleError);
    EXPECT_EQ(session.CriticalSection().Entered(), 0);
    // The lock still works after it.
    session.Acquire(false);
    EXPECT_EQ(session.CriticalSection().Entered(), 1);
    session.Release(false);
    EXPECT_EQ(session.CriticalSection().Entered(), 0);
}

TEST_F(TimestampTest, DescriptorsTakenOverAndHelpersForBindsAndFields) {
    void* descriptor = nullptr;
    ASSERT_EQ(OCI.OCIDescriptorAlloc(FSession.EnvHandle(), &descriptor, 68, 0, nullptr), OCI_SUCCESS);
    const TDateTime value(EncodeDate(2004, 5, 6).Value + EncodeTime(7, 8, 9, 10).Value);
    DateTimeToTimestampDescriptor(FSession, FSession.ErrorHandle(), descriptor, value);
    EXPECT_DOUBLE_EQ(TimestampDescriptorToDateTime(FSession, FSession.ErrorHandle(), descriptor).Value, value.Value);

    TOracleTimestamp t(&FSession);
    t.AttachDescriptor(descriptor, 187, true, false);   // owned from now on: freed with t
    EXPECT_EQ(t.Descriptor(), descriptor);
    ExpectParts(t, 2004, 5, 6, 7, 8, 9, 10000000);
}

TEST_F(TimestampTest, TimestampsOutliveTheirSession) {
    // A session destroyed first leaves its timestamps detached, and an own environment freed at
    // logoff takes nothing of theirs with it.
    ShareOCIEnvironment = false;
    auto own = std::make_unique<TOracleSession>();
    Connect(*own);
    ASSERT_TRUE(own->OwnEnvironment());
    TOracleTimestamp survivor(own.get());
    survivor.SetValues(2001, 1, 1, 0, 0, 0, 0);
    own->LogOff();
    EXPECT_TRUE(survivor.IsNull());
    EXPECT_EQ(survivor.Year(), 0);
    own->LogOn();
    TOracleTimestamp second(own.get());
    own.reset();
    EXPECT_EQ(second.Session(), nullptr);
    EXPECT_TRUE(second.IsNull());
    ShareOCIEnvironment = true;
}
