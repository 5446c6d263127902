#include "base/FormatSettings.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TFormatSettings German() {
    TFormatSettings fs = TFormatSettings::Invariant();
    fs.ShortDateFormat = "dd.mm.yyyy";
    fs.DateSeparator = '.';
    fs.LongTimeFormat = "hh:nn:ss";
    fs.ShortTimeFormat = "hh:nn";
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    return fs;
}

TFormatSettings American() {
    TFormatSettings fs = TFormatSettings::Invariant();
    fs.ShortDateFormat = "m/d/yyyy";
    fs.DateSeparator = '/';
    fs.LongTimeFormat = "h:nn:ss AMPM";
    fs.ShortTimeFormat = "h:nn AMPM";
    fs.DecimalSeparator = '.';
    return fs;
}

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
    return ComposeDateTime(EncodeDate(y, m, d), EncodeTime(h, n, s, ms));
}

// Installs settings for one test and restores the previous ones.
class ScopedSettings {
public:
    explicit ScopedSettings(const TFormatSettings& fs) : FSaved(FormatSettings()) { SetFormatSettings(fs); }
    ~ScopedSettings() { SetFormatSettings(FSaved); }
private:
    TFormatSettings FSaved;
};

} // namespace

TEST(FormatSettings, FormatsDatePatterns) {
    TFormatSettings de = German(), us = American();
    TDateTime v = At(2001, 2, 3, 16, 5, 6, 78);
    struct Case { const char* format; const TFormatSettings* fs; const char* expected; } cases[] = {
        {"ddddd tt", &de, "03.02.2001 16:05:06"},
        {"ddddd", &de, "03.02.2001"},
        {"ddddd tt", &us, "2/3/2001 4:05:06 PM"},
        {"c", &de, "03.02.2001 16:05:06"},
        {"t", &de, "16:05"},
        {"d/m/yy", &de, "3.2.01"},
        {"yyyy-mm-dd hh:nn:ss.zzz", &de, "2001-02-03 16:05:06.078"},
        {"h:m", &de, "16:5"},
        {"hh:mm", &de, "16:05"},
        {"mmm mmmm ddd dddd", &de, "Feb February Sat Saturday"},
        {"hh am/pm", &de, "04 pm"},
        {"h A/P", &de, "4 P"},
        {"'day' d \"of\" m", &de, "day 3 of 2"},
        {"dddddd", &de, "Saturday, 3 February 2001"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.format, v, *c.fs), c.expected) << c.format;
    // "c" and DateTimeToStr leave out a zero time.
    EXPECT_EQ(DateTimeToStr(At(2001, 2, 3), de), "03.02.2001");
    EXPECT_EQ(FormatDateTime("hh am/pm", At(2001, 2, 3, 0), de), "12 am");
    // Before the origin: the date of the truncated value, the time of the absolute fraction.
    EXPECT_EQ(FormatDateTime("ddddd tt", TDateTime(-1.25), de), "29.12.1899 06:00:00");
    EXPECT_EQ(FormatDateTime("ddddd tt", TDateTime(0), de), "30.12.1899 00:00:00");
    // Patterns that refer to each other do not recurse without end.
    TFormatSettings loop = de;
    loop.ShortDateFormat = "ddddd";
    loop.LongTimeFormat = "tt c";
    EXPECT_NO_THROW(FormatDateTime("c ddddd tt", v, loop));
}

TEST(FormatSettings, ParsesWithTheShortDateFormat) {
    TFormatSettings de = German(), us = American(), iso = TFormatSettings::Invariant();
    EXPECT_EQ(StrToDate("03.02.2001", de), At(2001, 2, 3));
    EXPECT_EQ(StrToDate("3.2.2001", de), At(2001, 2, 3));
    EXPECT_EQ(StrToDate("2/3/2001", us), At(2001, 2, 3));
    EXPECT_EQ(StrToDate("2001-02-03", iso), At(2001, 2, 3));
    EXPECT_EQ(StrToDateTime(" 03.02.2001 16:05:06 ", de), At(2001, 2, 3, 16, 5, 6));
    EXPECT_EQ(StrToDateTime("03.02.2001 16:05:06,7", de), At(2001, 2, 3, 16, 5, 6, 700));
    EXPECT_EQ(StrToDateTime("2/3/2001 4:05:06 PM", us), At(2001, 2, 3, 16, 5, 6));
    EXPECT_EQ(StrToDateTime("2/3/2001 12:00 AM", us), At(2001, 2, 3, 0));
    EXPECT_EQ(StrToDateTime("16:05", de).Value, EncodeTime(16, 5, 0, 0).Value);
    EXPECT_EQ(StrToDateTime("29.12.1899 06:00:00", de).Value, -1.25);
    EXPECT_EQ(StrToTime("4:05 pm", de), EncodeTime(16, 5, 0, 0));
    // Every formatted value parses back.
    for (double v : {36925.6729861111, -1.25, -36522.75, 0.0, 2958465.5}) {
        TDateTime t(v);
        std::string text = FormatDateTime("ddddd tt", t, de);
        EXPECT_EQ(FormatDateTime("ddddd tt", StrToDateTime(text, de), de), text);
    }
    // Year of two digits: inside the hundred-year window.
    TDateTime d;
    ASSERT_TRUE(TryStrToDate("03.02.01", d, de));
    int y, m, dd;
    DecodeDate(d, y, m, dd);
    EXPECT_EQ(y, 2001);
}

TEST(FormatSettings, RejectsBadDateText) {
    TFormatSettings de = German();
    for (const char* bad : {"", "abc", "31.02.2001", "03/02/2001", "03.02.2001 25:00", "03.02.2001 x",
                            "03.02.2001 16:05:06:07", "13 PM", "16", "1.2.3.4", "99999.1.1"}) {
        TDateTime r(42.0);
        EXPECT_FALSE(TryStrToDateTime(bad, r, de)) << bad;
        EXPECT_EQ(r.Value, 42.0);
    }
    try {
        StrToDate("abc", de);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid date");
    }
    EXPECT_THROW(StrToTime("x", de), EConvertError);
    EXPECT_THROW(StrToDateTime("1.1.1 1:1:1:1", de), EConvertError);
}

TEST(FormatSettings, GeneralFloatFormat) {
    TFormatSettings de = German(), iso = TFormatSettings::Invariant();
    struct Case { double v; const char* expected; } cases[] = {
        {0, "0"}, {1.5, "1,5"}, {-1.5, "-1,5"}, {0.1 + 0.2, "0,3"}, {1.0 / 3, "0,333333333333333"},
        {100, "100"}, {1e15, "1E15"}, {999999999999999.0, "999999999999999"}, {123456789012345678.0, "1,23456789012346E17"},
        {0.0001, "0,0001"}, {0.00001, "1E-5"}, {-2.5e-7, "-2,5E-7"}, {2147483648.0, "2147483648"}, {1e300, "1E300"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.v, de), c.expected) << c.v;
    EXPECT_EQ(FloatToStr(2.5, iso), "2.5");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity(), iso), "INF");
    EXPECT_EQ(CurrencyToStr(123400, de), "12,34");
    EXPECT_EQ(CurrencyToStr(-5, de), "-0,0005");
    EXPECT_EQ(CurrencyToStr(INT64_MIN, iso), "-922337203685477.5808");
}

TEST(FormatSettings, ParsesNumbersWithTheDecimalSeparator) {
    TFormatSettings de = German();
    struct Ok { const char* text; double v; } ok[] = {
        {"1,5", 1.5}, {" -2,5E3 ", -2500}, {"1e+2", 100}, {"+7", 7}, {",5", 0.5}, {"5,", 5}, {"1e-400", 0}, {"0,1", 0.1},
    };
    for (const auto& c : ok) {
        double v = -1;
        EXPECT_TRUE(TryStrToFloat(c.text, v, de)) << c.text;
        EXPECT_EQ(v, c.v) << c.text;
    }
    for (const char* bad : {"", " ", "1.5", "1,2,3", "1e", "1e+", "e5", "-", "1 000", "1e400", "0x10", "nan", "1,5x"}) {
        double v = 42;
        EXPECT_FALSE(TryStrToFloat(bad, v, de)) << bad;
        EXPECT_EQ(v, 42);
    }
    try {
        StrToFloat("1.5", de);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1.5' is not a valid floating point value");
    }
    std::int64_t c;
    ASSERT_TRUE(TryStrToCurrency("12,34565", c, de)); // half to even at the fourth decimal
    EXPECT_EQ(c, 123456);
    ASSERT_TRUE(TryStrToCurrency("-922337203685477,5808", c, de));
    EXPECT_EQ(c, INT64_MIN);
    EXPECT_FALSE(TryStrToCurrency("922337203685477,5808", c, de));
}

TEST(FormatSettings, ParsesIntegers) {
    struct Case { const char* text; bool ok32; std::int32_t v32; bool ok64; std::int64_t v64; } cases[] = {
        {"42", true, 42, true, 42},
        {" -42 ", true, -42, true, -42},
        {"2147483647", true, 2147483647, true, 2147483647},
        {"2147483648", false, 0, true, 2147483648LL},
        {"-2147483648", true, INT32_MIN, true, -2147483648LL},
        {"$FF", true, 255, true, 255},
        {"0x7fffffff", true, INT32_MAX, true, INT32_MAX},
        {"-9223372036854775808", false, 0, true, INT64_MIN},
        {"9223372036854775808", false, 0, false, 0},
        {"12a", false, 0, false, 0},
        {"", false, 0, false, 0},
        {"1.0", false, 0, false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t v32 = 0;
        std::int64_t v64 = 0;
        EXPECT_EQ(TryStrToInt(c.text, v32), c.ok32) << c.text;
        if (c.ok32) {
            EXPECT_EQ(v32, c.v32) << c.text;
        }
        EXPECT_EQ(TryStrToInt64(c.text, v64), c.ok64) << c.text;
        if (c.ok64) {
            EXPECT_EQ(v64, c.v64) << c.text;
        }
    }
    EXPECT_THROW(StrToInt("x"), EConvertError);
}

TEST(FormatSettings, CurrentSettingsCanBeReplaced) {
    {
        ScopedSettings scope(German());
        EXPECT_EQ(FloatToStr(1.5), "1,5");
        EXPECT_EQ(DateTimeToStr(At(2001, 2, 3, 4, 5, 6)), "03.02.2001 04:05:06");
        EXPECT_EQ(StrToDate("03.02.2001"), At(2001, 2, 3));
        EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
    }
    ScopedSettings scope(American());
    EXPECT_EQ(StrToDate("2/3/2001"), At(2001, 2, 3));
    EXPECT_EQ(CurrentFormatSettings()->ShortDateFormat, "m/d/yyyy");
}

TEST(FormatSettings, LocaleSettings) {
    TFormatSettings c = TFormatSettings::FromLocale("C");
    EXPECT_EQ(FormatDateTime("ddddd tt", At(2001, 2, 3, 4, 5, 6), c), "2001-02-03 04:05:06");
    EXPECT_EQ(c.DecimalSeparator, '.');
    // A locale that is not installed falls back to the same settings.
    TFormatSettings none = TFormatSettings::FromLocale("xx_NOWHERE.UTF-8");
    EXPECT_EQ(none.ShortDateFormat, c.ShortDateFormat);
    // Whatever the user's locale, its settings format and parse their own text.
    TFormatSettings user = TFormatSettings::FromLocale();
    TDateTime v = At(2001, 2, 3, 16, 5, 6);
    EXPECT_EQ(StrToDateTime(FormatDateTime("ddddd tt", v, user), user), v);
}

TEST(FormatSettings, SettingsFromLocaleFormats) {
    TDateTime v = At(2001, 2, 3, 16, 5, 6);
    struct Case {
        TFormatSettings::TLocaleFormats formats;
        const char* shortDate;
        char dateSeparator;
        const char* longTime;
        char decimal;
        const char* formatted;
    } cases[] = {
        {{"%d.%m.%Y", "%T", ",", "\xE2\x80\xAF", "", ""}, "dd/mm/yyyy", '.', "hh:nn:ss", ',', "03.02.2001 16:05:06"},
        {{"%m/%d/%Y", "%r", ".", ",", "AM", "PM"}, "mm/dd/yyyy", '/', "hh:nn:ss ampm", '.', "02/03/2001 04:05:06 PM"},
        {{"%d/%m/%y", "%H:%M:%S", ".", ",", "", ""}, "dd/mm/yyyy", '/', "hh:nn:ss", '.', "03/02/2001 16:05:06"},
        {{"%F", "%R", ".", "", "", ""}, "yyyy/mm/dd", '-', "hh:nn", '.', "2001-02-03 16:05"},
        {{"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "%H\xE6\x99\x82%M\xE5\x88\x86%S\xE7\xA7\x92", ".", ",", "", ""},
         nullptr, '-', nullptr, '.', "2001\xE5\xB9\xB4" "02\xE6\x9C\x88" "03\xE6\x97\xA5 16\xE6\x99\x82" "05\xE5\x88\x86" "06\xE7\xA7\x92"},
    };
    for (const auto& c : cases) {
        TFormatSettings fs = TFormatSettings::FromLocaleFormats(c.formats);
        if (c.shortDate) {
            EXPECT_EQ(fs.ShortDateFormat, c.shortDate) << c.formats.DateFormat;
        }
        if (c.longTime) {
            EXPECT_EQ(fs.LongTimeFormat, c.longTime) << c.formats.TimeFormat;
        }
        EXPECT_EQ(fs.DateSeparator, c.dateSeparator) << c.formats.DateFormat;
        EXPECT_EQ(fs.DecimalSeparator, c.decimal);
        EXPECT_NE(fs.ThousandSeparator, fs.DecimalSeparator);
        EXPECT_EQ(FormatDateTime("ddddd tt", v, fs), c.formatted) << c.formats.DateFormat;
        if (c.shortDate) {
            EXPECT_EQ(StrToDateTime(c.formatted, fs), At(2001, 2, 3, 16, 5, c.longTime[5] ? 6 : 0)) << c.formatted;
        }
    }
}
