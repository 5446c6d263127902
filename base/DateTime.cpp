#include "base/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace quorvel {

EConvertError::~EConvertError() = default;

namespace {

constexpr std::int64_t MSecsPerDay = 86400000;

// Days since 1 January 0001 (day 1) of a proleptic Gregorian date.
std::int64_t DayNumber(int y, int m, int d) {
    static const int before[2][13] = {{0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                                      {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};
    std::int64_t yy = y - 1;
    return yy * 365 + yy / 4 - yy / 100 + yy / 400 + before[IsLeapYear(y) ? 1 : 0][m] + d;
}

// The inverse of DayNumber for n >= 1.
void FromDayNumber(std::int64_t n, int& y, int& m, int& d) {
    std::int64_t t = n - 1; // days since 1 Jan 0001, 0-based
    std::int64_t q400 = t / 146097; t %= 146097;
    std::int64_t q100 = t / 36524; if (q100 == 4) q100 = 3; t -= q100 * 36524;
    std::int64_t q4 = t / 1461; t %= 1461;
    std::int64_t q1 = t / 365; if (q1 == 4) q1 = 3; t -= q1 * 365;
    y = int(q400 * 400 + q100 * 100 + q4 * 4 + q1 + 1);
    m = 1;
    while (true) {
        int dim = DaysInMonth(y, m);
        if (t < dim) break;
        t -= dim;
        ++m;
    }
    d = int(t + 1);
}

// The value as a whole day (relative to the origin) and milliseconds of the day, rounded to
// the nearest millisecond; false when it is out of any decodable range.
bool Split(TDateTime value, std::int64_t& day, std::int64_t& msec) {
    double v = value.Value;
    if (!std::isfinite(v) || v < MinDateTime - 1 || v > MaxDateTime + 1) return false;
    std::int64_t total = std::llround(v * double(MSecsPerDay));
    day = total / MSecsPerDay; // toward zero
    msec = total % MSecsPerDay;
    if (msec < 0) msec = -msec;
    return true;
}

} // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int days[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    result = TDateTime(double(DayNumber(year, month, day) - DateDelta));
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
    if (hour == 24 && minute == 0 && second == 0 && msec == 0) {
        result = TDateTime(1.0);
        return true;
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        return false;
    std::int64_t ms = ((std::int64_t(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    result = TDateTime(double(ms) / double(MSecsPerDay));
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    TDateTime r;
    if (!TryEncodeTime(hour, minute, second, msec, r)) throw EConvertError("Invalid argument to time encode");
    return r;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    double t = std::fabs(time.Value);
    return TDateTime(date.Value < 0 ? date.Value - t : date.Value + t);
}

bool TryDecodeDate(TDateTime value, int& year, int& month, int& day) {
    std::int64_t d, ms;
    if (!Split(value, d, ms) || d + DateDelta < 1 || d + DateDelta > DayNumber(9999, 12, 31)) {
        year = month = day = 0;
        return false;
    }
    FromDayNumber(d + DateDelta, year, month, day);
    return true;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) { TryDecodeDate(value, year, month, day); }

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    std::int64_t d, ms;
    if (!Split(value, d, ms)) ms = 0;
    msec = int(ms % 1000);
    ms /= 1000;
    second = int(ms % 60);
    ms /= 60;
    minute = int(ms % 60);
    hour = int(ms / 60);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& msec) {
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
}

int DayOfWeek(TDateTime value) {
    std::int64_t d, ms;
    if (!Split(value, d, ms)) return 0;
    // The origin, 30 December 1899, was a Saturday.
    std::int64_t w = (d + 6) % 7;
    if (w < 0) w += 7;
    return int(w) + 1;
}

TDateTime DateOf(TDateTime value) {
    std::int64_t d, ms;
    if (!Split(value, d, ms)) return TDateTime(std::trunc(value.Value));
    return TDateTime(double(d));
}

TDateTime TimeOf(TDateTime value) {
    std::int64_t d, ms;
    if (!Split(value, d, ms)) return TDateTime(0.0);
    return TDateTime(double(ms) / double(MSecsPerDay));
}

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return ComposeDateTime(EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec < 60 ? tm.tm_sec : 59, ms < 0 ? 0 : ms));
}

TDateTime Date() { return DateOf(Now()); }

} // namespace quorvel
