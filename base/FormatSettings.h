#pragma once
// Regional format settings and the conversions that follow them: numbers with the decimal
// separator, dates and times with the short date and long time formats.
//
// One process-wide current settings object is initialised from the user's locale on first
// use; SetFormatSettings replaces it (tests install fixed settings that way). The conversions
// without a settings argument use the current settings.
#include "base/DateTime.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

struct TFormatSettings {
    // Date patterns: d dd ddd dddd ddddd (short date) dddddd (long date), m mm mmm mmmm,
    // yy yyyy, / (date separator); time: h hh n nn s ss z zzz, t (short time), tt (long time),
    // am/pm a/p ampm, : (time separator); c = short date plus long time when there is a time;
    // text in '…' or "…" is copied.
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string LongDateFormat = "dddd, d mmmm yyyy";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January", "February", "March", "April", "May", "June",
                                               "July", "August", "September", "October", "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    // A one- or two-digit year is placed in the hundred years that start this many years
    // before the current year (50 in 2026: 76 is 1976, 75 is 2075).
    int TwoDigitYearCenturyWindow = 50;

    // Fixed settings independent of the machine: "yyyy-mm-dd", "hh:nn:ss", '.'.
    static TFormatSettings Invariant();
    // The settings of the user's locale (LC_ALL/LC_TIME/LC_NUMERIC/LANG), Invariant for the C locale.
    static TFormatSettings FromLocale();
    // The settings of a named locale such as "de_DE.UTF-8"; Invariant when it is not installed.
    static TFormatSettings FromLocale(const char* localeName);
    // The settings of a locale's formats as the C library reports them: strftime date and
    // time formats ("%d.%m.%Y", "%H:%M:%S"), decimal point, thousands separator, AM and PM
    // texts. Empty items keep the Invariant value.
    struct TLocaleFormats {
        std::string DateFormat, TimeFormat, DecimalPoint, ThousandsSeparator, AM, PM;
    };
    static TFormatSettings FromLocaleFormats(const TLocaleFormats& formats);
};

// The current settings (a copy: safe while another thread replaces them).
TFormatSettings FormatSettings();
// The current settings shared, without copying (conversions in loops use this).
std::shared_ptr<const TFormatSettings> CurrentFormatSettings();
void SetFormatSettings(const TFormatSettings& settings);
// Back to the settings of the user's locale.
void ResetFormatSettings();

// Date-time text.
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs);
// Short date, then a blank and the long time when the value has a time part.
std::string DateTimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs);
std::string DateToStr(TDateTime value, const TFormatSettings& fs);
std::string TimeToStr(TDateTime value, const TFormatSettings& fs);

// Parsing. A date is two or three numbers separated by the date separator, in the order of
// the short date format (two numbers: day and month of the current year); a year of one or
// two digits goes through the century window. A time is hours, optional minutes and seconds
// separated by the time separator, optional milliseconds after the decimal separator, and an
// optional AM/PM marker. A date-time is a date, optionally followed by blanks and a time,
// or a time alone (on the origin date). Surrounding blanks are ignored.
bool TryStrToDate(std::string_view text, TDateTime& result, const TFormatSettings& fs);
bool TryStrToTime(std::string_view text, TDateTime& result, const TFormatSettings& fs);
bool TryStrToDateTime(std::string_view text, TDateTime& result, const TFormatSettings& fs);
// These raise EConvertError: "'" + text + "' is not a valid date" (time, date and time).
TDateTime StrToDate(std::string_view text);
TDateTime StrToDate(std::string_view text, const TFormatSettings& fs);
TDateTime StrToTime(std::string_view text);
TDateTime StrToTime(std::string_view text, const TFormatSettings& fs);
TDateTime StrToDateTime(std::string_view text);
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& fs);

// Numbers. FloatToStr is the general format with at most 15 significant digits and the
// decimal separator: fixed notation unless the value needs more than 15 integer digits or
// is below 0.0001, then "1.5E-6" / "1E20". CurrencyToStr gives up to four decimals.
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& fs);
std::string FloatToStrPrec(double value, int precision, const TFormatSettings& fs);
std::string CurrencyToStr(std::int64_t scaledBy10000, const TFormatSettings& fs);
// A decimal number with the decimal separator: optional sign, digits with at most one
// separator, optional exponent "E"/"e" with optional sign; surrounding blanks ignored.
bool TryStrToFloat(std::string_view text, double& result, const TFormatSettings& fs);
double StrToFloat(std::string_view text); // "'" + text + "' is not a valid floating point value"
double StrToFloat(std::string_view text, const TFormatSettings& fs);
bool TryStrToCurrency(std::string_view text, std::int64_t& scaledBy10000, const TFormatSettings& fs);
// Decimal integers with optional sign, or hexadecimal with "$" or "0x"; surrounding blanks ignored.
bool TryStrToInt64(std::string_view text, std::int64_t& result);
bool TryStrToInt(std::string_view text, std::int32_t& result);
std::int32_t StrToInt(std::string_view text); // "'" + text + "' is not a valid integer value"
std::int64_t StrToInt64(std::string_view text);

} // namespace quorvel
