#include "base/DateTime.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(DateTime, EncodeDateAroundTheOrigin) {
    struct Case { int y, m, d; double value; } cases[] = {
        {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1899, 12, 29, -1}, {1900, 1, 1, 2}, {1900, 3, 1, 61},
        {2000, 1, 1, 36526}, {2001, 2, 3, 36925}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465}, {1800, 1, 1, -36522},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d).Value, c.value) << c.y << "-" << c.m << "-" << c.d;
        int y, m, d;
        DecodeDate(TDateTime(c.value), y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.value;
    }
}

TEST(DateTime, InvalidDatesAndTimesFail) {
    struct Case { int y, m, d; } bad[] = {{1900, 2, 29}, {2001, 2, 29}, {2000, 13, 1}, {2000, 0, 1}, {2000, 4, 31}, {2000, 1, 0}, {0, 1, 1}, {10000, 1, 1}};
    for (const auto& c : bad) {
        TDateTime r(123.0);
        EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, r)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(r.Value, 123.0) << "output must stay unchanged";
        EXPECT_THROW(EncodeDate(c.y, c.m, c.d), EConvertError);
    }
    TDateTime r;
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, r));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 1, r));
    EXPECT_FALSE(TryEncodeTime(1, 60, 0, 0, r));
    EXPECT_FALSE(TryEncodeTime(1, 0, 60, 0, r));
    EXPECT_FALSE(TryEncodeTime(1, 0, 0, 1000, r));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, r));
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
    EXPECT_EQ(EncodeTime(24, 0, 0, 0).Value, 1.0);
    try {
        EncodeDate(2001, 2, 29);
    } catch (Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
}

TEST(DateTime, NegativeValuesUseTheAbsoluteFractionAsTime) {
    int y, m, d, h, n, s, ms;
    DecodeDateTime(TDateTime(-1.25), y, m, d, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{1899, 12, 29, 6, 0, 0, 0}));
    // -0.5 truncates to day 0: the origin at noon, like +0.5.
    DecodeDateTime(TDateTime(-0.5), y, m, d, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h}), (std::vector<int>{1899, 12, 30, 12}));
    // Composing subtracts the time before the origin, so it decodes back.
    TDateTime v = ComposeDateTime(EncodeDate(1800, 1, 1), EncodeTime(18, 30, 15, 250));
    EXPECT_LT(v.Value, -36522.0);
    DecodeDateTime(v, y, m, d, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}), (std::vector<int>{1800, 1, 1, 18, 30, 15, 250}));
    EXPECT_EQ(DateOf(TDateTime(-1.25)).Value, -1.0);
    EXPECT_EQ(TimeOf(TDateTime(-1.25)).Value, 0.25);
    EXPECT_EQ(ComposeDateTime(EncodeDate(2001, 2, 3), EncodeTime(12, 0, 0, 0)).Value, 36925.5);
}

TEST(DateTime, RoundTripsAcrossTheWholeRange) {
    for (int day = -693593; day <= 2958465; day += 997) {
        int y, m, d;
        ASSERT_TRUE(TryDecodeDate(TDateTime(day), y, m, d));
        ASSERT_EQ(EncodeDate(y, m, d).Value, day);
    }
    for (int ms = 0; ms < 86400000; ms += 86400000 / 997 + 13) {
        TDateTime t = EncodeTime(ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        for (double date : {0.0, 36925.0, -36522.0}) {
            int h, n, s, z;
            DecodeTime(ComposeDateTime(TDateTime(date), t), h, n, s, z);
            ASSERT_EQ(((h * 60 + n) * 60 + s) * 1000 + z, ms) << date;
        }
    }
}

TEST(DateTime, DecodingRoundsToTheMillisecond) {
    int h, n, s, ms;
    DecodeTime(TDateTime(0.1), h, n, s, ms); // 02:24 exactly, not 02:23:59.999
    EXPECT_EQ((std::vector<int>{h, n, s, ms}), (std::vector<int>{2, 24, 0, 0}));
    DecodeTime(EncodeTime(4, 5, 6, 700), h, n, s, ms);
    EXPECT_EQ((std::vector<int>{h, n, s, ms}), (std::vector<int>{4, 5, 6, 700}));
    DecodeTime(EncodeTime(23, 59, 59, 999), h, n, s, ms);
    EXPECT_EQ((std::vector<int>{h, n, s, ms}), (std::vector<int>{23, 59, 59, 999}));
}

TEST(DateTime, OutOfRangeValuesDecodeAsZeroWithoutCrashing) {
    for (double v : {1e300, -1e300, 3e6, -7e5, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        int y = 1, m = 1, d = 1, h, n, s, ms;
        EXPECT_FALSE(TryDecodeDate(TDateTime(v), y, m, d)) << v;
        EXPECT_EQ(y + m + d, 0);
        DecodeTime(TDateTime(v), h, n, s, ms);
    }
}

TEST(DateTime, DayOfWeek) {
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5); // Thursday
    EXPECT_EQ(DayOfWeek(EncodeDate(1800, 1, 1)), 4);   // Wednesday
    EXPECT_EQ(DayOfWeek(TDateTime(-1.25)), 6);         // Friday 29 December 1899
}

TEST(DateTime, NowIsADateInRange) {
    int y, m, d;
    DecodeDate(Now(), y, m, d);
    EXPECT_GE(y, 2020);
    EXPECT_EQ(Date().Value, DateOf(Date()).Value);
}
