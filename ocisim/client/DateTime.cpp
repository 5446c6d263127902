// Date-time descriptors (DATE, TIMESTAMP, TIMESTAMP WITH [LOCAL] TIME ZONE): construction,
// parts, assignment and conversion to and from text with Oracle's format elements.
#include "ocisim/client/internal/Handles.h"

#include <cstdio>
#include <cstring>
#include <string>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace {

const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
                         "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

DateTime* AsDateTime(const void* p) {
    for (ub4 t : {OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ, OCI_DTYPE_DATE})
        if (auto* d = As<DateTime>(p, t)) return d;
    return nullptr;
}

bool HasZone(const DateTime* d) { return d->type == OCI_DTYPE_TIMESTAMP_TZ || d->type == OCI_DTYPE_TIMESTAMP_LTZ; }

int DaysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

int DayOfWeek(int y, int m, int d) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return ((y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7 + 7) % 7;
}

// 0 when valid, else the Oracle error code.
int Check(int y, int mo, int d, int h, int mi, int s, ub4 fsec) {
    if (y < -4712 || y > 9999 || y == 0) return 1841;
    if (mo < 1 || mo > 12) return 1843;
    if (d < 1 || d > DaysIn(y, mo)) return 1847;
    if (h < 0 || h > 23) return 1850;
    if (mi < 0 || mi > 59) return 1851;
    if (s < 0 || s > 59) return 1852;
    if (fsec > 999999999) return 1880;
    return 0;
}

sword FailCode(Error* err, int code) {
    const char* text = "";
    switch (code) {
    case 1841: text = "ORA-01841: (full) year must be between -4713 and +9999, and not be 0"; break;
    case 1843: text = "ORA-01843: not a valid month"; break;
    case 1847: text = "ORA-01847: day of month must be between 1 and last day of month"; break;
    case 1850: text = "ORA-01850: hour must be between 0 and 23"; break;
    case 1851: text = "ORA-01851: minutes must be between 0 and 59"; break;
    case 1852: text = "ORA-01852: seconds must be between 0 and 59"; break;
    case 1880: text = "ORA-01880: the fractional seconds must be between 0 and 999999999"; break;
    case 1857: text = "ORA-01857: not a valid time zone"; break;
    case 1861: text = "ORA-01861: literal does not match format string"; break;
    case 1891: text = "ORA-01891: Datetime/Interval internal error"; break;
    default: text = "ORA-01821: date format not recognized"; break;
    }
    return Fail(err, code, text);
}

bool ParseZone(const std::string& z, sb1& h, sb1& m) {
    if (z.empty()) { h = 0; m = 0; return true; }
    int sign = 1;
    size_t i = 0;
    if (z[0] == '+' || z[0] == '-') { sign = z[0] == '-' ? -1 : 1; ++i; }
    int hh = 0, mm = 0, n = 0;
    while (i < z.size() && std::isdigit((unsigned char)z[i]) && n < 2) { hh = hh * 10 + (z[i++] - '0'); ++n; }
    if (n == 0) return false;
    if (i < z.size() && z[i] == ':') ++i;
    n = 0;
    while (i < z.size() && std::isdigit((unsigned char)z[i]) && n < 2) { mm = mm * 10 + (z[i++] - '0'); ++n; }
    if (i != z.size() || hh > 14 || mm > 59) return false;
    h = sb1(sign * hh);
    m = sb1(sign * mm);
    return true;
}

bool Is(const std::string& f, size_t i, const char* w) {
    size_t n = std::strlen(w);
    if (i + n > f.size()) return false;
    for (size_t k = 0; k < n; ++k)
        if (std::toupper((unsigned char)f[i + k]) != w[k]) return false;
    return true;
}

std::string Cased(std::string w, const std::string& f, size_t i) {
    bool first = std::isupper((unsigned char)f[i]), second = i + 1 < f.size() && std::isupper((unsigned char)f[i + 1]);
    for (size_t k = 0; k < w.size(); ++k) {
        bool up = k == 0 ? first : first && second;
        w[k] = char(up ? std::toupper((unsigned char)w[k]) : std::tolower((unsigned char)w[k]));
    }
    return w;
}

std::string DefaultFormat(const DateTime* d) {
    if (d->type == OCI_DTYPE_DATE) return "DD-MON-RR";
    return HasZone(d) ? "DD-MON-RR HH.MI.SSXFF AM TZR" : "DD-MON-RR HH.MI.SSXFF AM";
}

std::string Format(const DateTime* d, const std::string& f, int fsprec) {
    std::string out;
    char buf[32];
    auto num = [&](long v, int w) { std::snprintf(buf, sizeof buf, "%0*ld", w, v); out += buf; };
    int h12 = d->hour % 12 == 0 ? 12 : d->hour % 12;
    size_t i = 0;
    while (i < f.size()) {
        if (f[i] == '"') {
            size_t j = f.find('"', i + 1);
            if (j == std::string::npos) j = f.size();
            out += f.substr(i + 1, j - i - 1);
            i = j + 1;
        } else if (Is(f, i, "YYYY") || Is(f, i, "RRRR")) { num(d->year, 4); i += 4; }
        else if (Is(f, i, "YY") || Is(f, i, "RR")) { num(std::abs(d->year) % 100, 2); i += 2; }
        else if (Is(f, i, "MONTH")) { std::string m = Cased(kMonths[d->month - 1], f, i); m.resize(9, ' '); out += m; i += 5; }
        else if (Is(f, i, "MON")) { out += Cased(std::string(kMonths[d->month - 1], 3), f, i); i += 3; }
        else if (Is(f, i, "MM")) { num(d->month, 2); i += 2; }
        else if (Is(f, i, "MI")) { num(d->minute, 2); i += 2; }
        else if (Is(f, i, "DAY")) { std::string w = Cased(kDays[DayOfWeek(d->year, d->month, d->day)], f, i); w.resize(9, ' '); out += w; i += 3; }
        else if (Is(f, i, "DY")) { out += Cased(std::string(kDays[DayOfWeek(d->year, d->month, d->day)], 3), f, i); i += 2; }
        else if (Is(f, i, "DD")) { num(d->day, 2); i += 2; }
        else if (Is(f, i, "HH24")) { num(d->hour, 2); i += 4; }
        else if (Is(f, i, "HH12")) { num(h12, 2); i += 4; }
        else if (Is(f, i, "HH")) { num(h12, 2); i += 2; }
        else if (Is(f, i, "SS")) { num(d->second, 2); i += 2; }
        else if (Is(f, i, "FF")) {
            int digits = fsprec;
            i += 2;
            if (i < f.size() && f[i] >= '1' && f[i] <= '9') digits = f[i++] - '0';
            std::snprintf(buf, sizeof buf, "%09u", d->fsec);
            out.append(buf, size_t(digits));
        } else if (Is(f, i, "AM") || Is(f, i, "PM")) { out += d->hour < 12 ? "AM" : "PM"; i += 2; }
        else if (Is(f, i, "TZH")) { std::snprintf(buf, sizeof buf, "%c%02d", d->tzHour < 0 || d->tzMinute < 0 ? '-' : '+', std::abs(d->tzHour)); out += buf; i += 3; }
        else if (Is(f, i, "TZM")) { num(std::abs(d->tzMinute), 2); i += 3; }
        else if (Is(f, i, "TZR")) {
            std::snprintf(buf, sizeof buf, "%c%02d:%02d", d->tzHour < 0 || d->tzMinute < 0 ? '-' : '+', std::abs(d->tzHour), std::abs(d->tzMinute));
            out += buf;
            i += 3;
        } else if (Is(f, i, "X")) { out += '.'; i += 1; }
        else if (Is(f, i, "FM")) { i += 2; }
        else { out += f[i++]; }
    }
    return out;
}

// Parses text by a format into d; returns 0 or an Oracle error code.
int Parse(const std::string& s, const std::string& f, DateTime& d) {
    size_t i = 0, p = 0;
    bool pm = false, hasAmPm = false;
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    ub4 fsec = 0;
    std::string zone;
    auto skipBlanks = [&] { while (p < s.size() && s[p] == ' ') ++p; };
    auto number = [&](int maxDigits, int& out) {
        skipBlanks();
        int n = 0, v = 0;
        bool neg = false;
        if (p < s.size() && (s[p] == '-' || s[p] == '+') && maxDigits >= 4) neg = s[p++] == '-';
        while (p < s.size() && n < maxDigits && std::isdigit((unsigned char)s[p])) { v = v * 10 + (s[p++] - '0'); ++n; }
        out = neg ? -v : v;
        return n > 0;
    };
    while (i < f.size()) {
        if (Is(f, i, "YYYY") || Is(f, i, "RRRR")) { if (!number(4, year)) return 1861; i += 4; }
        else if (Is(f, i, "YY") || Is(f, i, "RR")) {
            int v;
            size_t start = p;
            if (!number(4, v)) return 1861;
            bool rr = Is(f, i, "RR");
            if (p - start <= 2) year = rr ? (v < 50 ? 2000 + v : 1900 + v) : 2000 + v;
            else year = v;
            i += 2;
        } else if (Is(f, i, "MONTH") || Is(f, i, "MON")) {
            skipBlanks();
            bool found = false;
            for (int m = 0; m < 12 && !found; ++m) {
                std::string full = kMonths[m];
                if (Is(s, p, full.c_str())) { month = m + 1; p += full.size(); found = true; }
                else if (Is(s, p, full.substr(0, 3).c_str())) { month = m + 1; p += 3; found = true; }
            }
            if (!found) return 1843;
            i += Is(f, i, "MONTH") ? 5 : 3;
        } else if (Is(f, i, "MM")) { if (!number(2, month)) return 1861; i += 2; }
        else if (Is(f, i, "MI")) { if (!number(2, minute)) return 1861; i += 2; }
        else if (Is(f, i, "DD")) { if (!number(2, day)) return 1861; i += 2; }
        else if (Is(f, i, "HH24")) { if (!number(2, hour)) return 1861; i += 4; }
        else if (Is(f, i, "HH12")) { if (!number(2, hour)) return 1861; hasAmPm = true; i += 4; }
        else if (Is(f, i, "HH")) { if (!number(2, hour)) return 1861; hasAmPm = true; i += 2; }
        else if (Is(f, i, "SS")) { if (!number(2, second)) return 1861; i += 2; }
        else if (Is(f, i, "FF")) {
            i += 2;
            if (i < f.size() && f[i] >= '1' && f[i] <= '9') ++i;
            int n = 0;
            fsec = 0;
            while (p < s.size() && std::isdigit((unsigned char)s[p]) && n < 9) { fsec = fsec * 10 + ub4(s[p++] - '0'); ++n; }
            for (; n < 9; ++n) fsec *= 10;
        } else if (Is(f, i, "AM") || Is(f, i, "PM")) {
            skipBlanks();
            if (Is(s, p, "PM")) pm = true;
            else if (!Is(s, p, "AM")) return 1861;
            p += 2;
            i += 2;
        } else if (Is(f, i, "TZR") || Is(f, i, "TZH")) {
            skipBlanks();
            size_t start = p;
            while (p < s.size() && (std::isdigit((unsigned char)s[p]) || s[p] == '+' || s[p] == '-' || s[p] == ':')) ++p;
            zone = s.substr(start, p - start);
            i += 3;
            if (Is(f, i, ":TZM")) i += 4;
        } else if (Is(f, i, "X")) { if (p < s.size() && s[p] == '.') ++p; ++i; }
        else if (f[i] == '"') {
            size_t j = f.find('"', i + 1);
            if (j == std::string::npos) j = f.size();
            std::string lit = f.substr(i + 1, j - i - 1);
            if (s.compare(p, lit.size(), lit) != 0) return 1861;
            p += lit.size();
            i = j + 1;
        } else {
            // punctuation and blanks in the format match any one separator of the text
            if (p < s.size() && !std::isalnum((unsigned char)s[p])) ++p;
            ++i;
        }
    }
    skipBlanks();
    if (p != s.size()) return 1861;
    if (hasAmPm) {
        if (hour < 1 || hour > 12) return 1850;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (int c = Check(year, month, day, hour, minute, second, fsec)) return c;
    sb1 th = 0, tm = 0;
    if (!ParseZone(zone, th, tm)) return 1857;
    d.year = sb2(year); d.month = ub1(month); d.day = ub1(day);
    d.hour = ub1(hour); d.minute = ub1(minute); d.second = ub1(second);
    d.fsec = d.type == OCI_DTYPE_DATE ? 0 : fsec;
    d.tzHour = HasZone(&d) ? th : 0;
    d.tzMinute = HasZone(&d) ? tm : 0;
    return 0;
}

Error* Err(OCIError* e) { return As<Error>(e, OCI_HTYPE_ERROR); }

} // namespace

OCISIM_EXPORT sword OCIDateTimeConstruct(void* hndl, OCIError* errhp, OCIDateTime* datetime, sb2 year, ub1 month, ub1 day,
                                         ub1 hour, ub1 min, ub1 sec, ub4 fsec, OraText* timezone, size_t timezone_length) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(datetime);
    if (!err || !d || !IsLive(hndl)) return OCI_INVALID_HANDLE;
    err->Clear();
    if (int c = Check(year, month, day, hour, min, sec, fsec)) return FailCode(err, c);
    sb1 th = 0, tm = 0;
    if (timezone && HasZone(d) && !ParseZone(std::string(reinterpret_cast<char*>(timezone), timezone_length), th, tm))
        return FailCode(err, 1857);
    d->year = year; d->month = month; d->day = day; d->hour = hour; d->minute = min; d->second = sec;
    d->fsec = d->type == OCI_DTYPE_DATE ? 0 : fsec;
    d->tzHour = th;
    d->tzMinute = tm;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeGetDate(void* hndl, OCIError* errhp, const OCIDateTime* datetime, sb2* year, ub1* month, ub1* day) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(datetime);
    if (!err || !d || !IsLive(hndl) || !year || !month || !day) return OCI_INVALID_HANDLE;
    err->Clear();
    *year = d->year; *month = d->month; *day = d->day;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeGetTime(void* hndl, OCIError* errhp, OCIDateTime* datetime, ub1* hour, ub1* min, ub1* sec, ub4* fsec) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(datetime);
    if (!err || !d || !IsLive(hndl) || !hour || !min || !sec || !fsec) return OCI_INVALID_HANDLE;
    err->Clear();
    if (d->type == OCI_DTYPE_DATE) return FailCode(err, 1891);
    *hour = d->hour; *min = d->minute; *sec = d->second; *fsec = d->fsec;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeGetTimeZoneOffset(void* hndl, OCIError* errhp, const OCIDateTime* datetime, sb1* hour, sb1* min) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(datetime);
    if (!err || !d || !IsLive(hndl) || !hour || !min) return OCI_INVALID_HANDLE;
    err->Clear();
    if (!HasZone(d)) return FailCode(err, 1891);
    *hour = d->tzHour; *min = d->tzMinute;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeAssign(void* hndl, OCIError* errhp, const OCIDateTime* from, OCIDateTime* to) {
    Error* err = Err(errhp);
    DateTime* f = AsDateTime(from);
    DateTime* t = AsDateTime(to);
    if (!err || !f || !t || !IsLive(hndl)) return OCI_INVALID_HANDLE;
    err->Clear();
    t->year = f->year; t->month = f->month; t->day = f->day; t->hour = f->hour; t->minute = f->minute; t->second = f->second;
    t->fsec = t->type == OCI_DTYPE_DATE ? 0 : f->fsec;
    t->tzHour = HasZone(t) ? f->tzHour : 0;
    t->tzMinute = HasZone(t) ? f->tzMinute : 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeToText(void* hndl, OCIError* errhp, const OCIDateTime* date, const OraText* fmt, ub1 fmt_length,
                                      ub1 fsprec, const OraText* lang, size_t lang_length, ub4* buf_size, OraText* buf) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(date);
    if (!err || !d || !IsLive(hndl) || !buf_size || !buf) return OCI_INVALID_HANDLE;
    err->Clear();
    std::string f = fmt && fmt_length ? std::string(reinterpret_cast<const char*>(fmt), fmt_length) : DefaultFormat(d);
    std::string text = Format(d, f, fsprec > 9 ? 9 : fsprec ? fsprec : 6);
    if (text.size() > *buf_size) return Fail(err, 1877, "ORA-01877: string is too long for internal buffer");
    std::memcpy(buf, text.data(), text.size());
    if (text.size() < *buf_size) buf[text.size()] = 0;
    *buf_size = ub4(text.size());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDateTimeFromText(void* hndl, OCIError* errhp, const OraText* date_str, size_t dstr_length, const OraText* fmt,
                                        ub1 fmt_length, const OraText* lang, size_t lang_length, OCIDateTime* datetime) {
    Error* err = Err(errhp);
    DateTime* d = AsDateTime(datetime);
    if (!err || !d || !IsLive(hndl) || !date_str) return OCI_INVALID_HANDLE;
    err->Clear();
    std::string s(reinterpret_cast<const char*>(date_str), dstr_length);
    std::string f = fmt && fmt_length ? std::string(reinterpret_cast<const char*>(fmt), fmt_length) : DefaultFormat(d);
    DateTime parsed;
    parsed.type = d->type;
    if (int c = Parse(s, f, parsed)) return FailCode(err, c);
    d->year = parsed.year; d->month = parsed.month; d->day = parsed.day; d->hour = parsed.hour; d->minute = parsed.minute;
    d->second = parsed.second; d->fsec = parsed.fsec; d->tzHour = parsed.tzHour; d->tzMinute = parsed.tzMinute;
    return OCI_SUCCESS;
}
