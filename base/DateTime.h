#pragma once
// Date-time values: days since 30 December 1899 as a double, the fraction being the time of
// day. A value before the origin is negative: its date part is the value truncated toward
// zero and its time part is the absolute fraction, so -1.25 is 29 December 1899 06:00.
#include "base/Exception.h"

#include <cstdint>

namespace quorvel {

struct TDateTime {
    double Value = 0.0;

    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double value) : Value(value) {}
    constexpr explicit operator double() const { return Value; }

    friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.Value == b.Value; }
    friend constexpr auto operator<=>(TDateTime a, TDateTime b) { return a.Value <=> b.Value; }
};

// A text that is no valid number, date or time, or numbers that make no date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
    ~EConvertError() override;
};

// Days between 1 January 0001 and 30 December 1899 (the origin).
constexpr int DateDelta = 693594;
constexpr double MinDateTime = -693593.0;      // 1 January 0001
constexpr double MaxDateTime = 2958465.99999;  // 31 December 9999

bool IsLeapYear(int year);
int DaysInMonth(int year, int month); // 0 for a month outside 1..12

// Years 1..9999. Encode raises EConvertError for an invalid date or time; the Try forms
// report it by their result and leave the output unchanged.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
// Hours 0..23 (24:00:00.000 is accepted as the end of the day), minutes and seconds 0..59,
// milliseconds 0..999.
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// The date part combined with the time part: added for a date on or after the origin,
// subtracted before it.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Decoding rounds to the nearest millisecond. A value outside the year range 1..9999
// decodes as 0 / 0 / 0 and Try reports false.
bool TryDecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& msec);

int DayOfWeek(TDateTime value); // 1 = Sunday .. 7 = Saturday
TDateTime DateOf(TDateTime value); // the date part
TDateTime TimeOf(TDateTime value); // the time part (0 <= t < 1)

// The current local date and time.
TDateTime Now();
TDateTime Date();

} // namespace quorvel
