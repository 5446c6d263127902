// Date values between the client's representations and TDateTime, without a client.
#include <gtest/gtest.h>

#include "oracle/session/OracleTimestamp.h"

using namespace quorvel;

namespace {

struct Parts {
    int year, month, day, hour, minute, second;
};

Parts Decoded(TDateTime v) {
    Parts p{};
    int ms;
    DecodeDateTime(v, p.year, p.month, p.day, p.hour, p.minute, p.second, ms);
    return p;
}

} // namespace

TEST(OracleDate, SevenBytesToDateTime) {
    struct Case {
        unsigned char bytes[7];
        double expected;
    } cases[] = {
        {{120, 101, 2, 3, 5, 6, 7}, EncodeDate(2001, 2, 3).Value + EncodeTime(4, 5, 6, 0).Value},
        {{118, 199, 12, 30, 1, 1, 1}, 0.0},                                   // the origin
        {{118, 199, 12, 29, 7, 1, 1}, -1.25},                                 // before it: date minus time
        {{100, 100, 1, 1, 1, 1, 1}, -693594.0},                               // year 0
        {{120, 101, 2, 30, 1, 1, 1}, -693594.0},                              // 30 February
        {{120, 101, 13, 1, 1, 1, 1}, -693594.0},                              // month 13
        {{120, 101, 0, 0, 1, 1, 1}, -693594.0},                               // all zero date bytes
        {{100, 100, 1, 1, 13, 1, 1}, -693594.0 - 0.5},                        // year 0 keeps its time
        {{120, 101, 2, 3, 26, 1, 1}, EncodeDate(2001, 2, 3).Value},           // hour 25: no time
        {{100, 101, 1, 1, 1, 1, 1}, EncodeDate(1, 1, 1).Value},               // year 1
        {{199, 199, 12, 31, 24, 60, 60}, EncodeDate(9999, 12, 31).Value + EncodeTime(23, 59, 59, 0).Value},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(OracleDateToDateTime(c.bytes).Value, c.expected)
            << int(c.bytes[0]) << "," << int(c.bytes[1]) << "," << int(c.bytes[2]) << "," << int(c.bytes[3]);
}

TEST(OracleDate, DateTimeToSevenBytesDropsMilliseconds) {
    unsigned char bytes[7];
    DateTimeToOracleDate(TDateTime(EncodeDate(1999, 10, 12).Value + EncodeTime(23, 59, 58, 400).Value), bytes);
    const unsigned char expected[7] = {119, 199, 10, 12, 24, 60, 59};
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 7), std::vector<unsigned char>(expected, expected + 7));
    // Every valid date survives the round trip, before the origin too.
    for (double v : {0.0, -1.25, 36526.5, -36000.75, 2958465.5, -693593.0}) {
        DateTimeToOracleDate(TDateTime(v), bytes);
        EXPECT_DOUBLE_EQ(OracleDateToDateTime(bytes).Value, v);
    }
}

TEST(OracleDate, OCIDateStructure) {
    const TDateTime v(EncodeDate(1850, 6, 1).Value - EncodeTime(18, 30, 15, 250).Value);
    const OCIDate d = OCIDateFromDateTime(v);
    EXPECT_EQ(d.OCIDateYYYY, 1850);
    EXPECT_EQ(d.OCIDateMM, 6);
    EXPECT_EQ(d.OCIDateDD, 1);
    EXPECT_EQ(d.OCIDateTime.OCITimeHH, 18);
    EXPECT_EQ(d.OCIDateTime.OCITimeMI, 30);
    EXPECT_EQ(d.OCIDateTime.OCITimeSS, 15);
    const Parts back = Decoded(OCIDateToDateTime(d));
    EXPECT_EQ(back.year, 1850);
    EXPECT_EQ(back.hour, 18);
    EXPECT_EQ(back.second, 15);
    EXPECT_DOUBLE_EQ(OCIDateToDateTime(OCIDateFromDateTime(TDateTime(36526.25))).Value, 36526.25);
}

TEST(OracleDate, NanoSecondsToMilliSeconds) {
    const struct {
        uint32_t ns;
        int ms;
    } cases[] = {{0, 0},           {499999, 0},       {500000, 0},         {1500000, 2},        {2500000, 2},
                 {2500001, 3},     {700000000, 700},  {998500000, 998},    {999499999, 999},    {999500000, 999},
                 {999600000, 999}, {999999999, 999}};
    for (const auto& c : cases) EXPECT_EQ(NanoSecondsToMilliSeconds(c.ns), c.ms) << c.ns;
}

TEST(OracleDate, DescriptorKinds) {
    EXPECT_EQ(TimestampDescriptorKind(187), 68u);
    EXPECT_EQ(TimestampDescriptorKind(188), 69u);
    EXPECT_EQ(TimestampDescriptorKind(232), 70u);
}
