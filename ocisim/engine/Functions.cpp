// Oracle dates, numbers, formats and the SQL functions the engine registers on SQLite.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include "ocisim/engine/internal/Runtime.h"
#include "ocisim/engine/internal/Sql.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace ocisim::rt {

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr double kUnixEpochJd = 2440587.5;

const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
                         "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

bool DaysInMonthOk(int y, int m, int d) {
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    int lim = dm[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) lim = 29;
    return d <= lim;
}

std::string Cased(const std::string& word, const std::string& pattern) {
    // pattern "MON" -> upper, "Mon" -> capitalised, "mon" -> lower
    std::string r = word;
    bool firstUpper = !pattern.empty() && std::isupper(static_cast<unsigned char>(pattern[0]));
    bool secondUpper = pattern.size() > 1 && std::isupper(static_cast<unsigned char>(pattern[1]));
    for (size_t i = 0; i < r.size(); ++i) {
        bool up = i == 0 ? firstUpper : (firstUpper && secondUpper);
        r[i] = static_cast<char>(up ? std::toupper(static_cast<unsigned char>(r[i])) : std::tolower(static_cast<unsigned char>(r[i])));
    }
    return r;
}

[[noreturn]] void Raise(int code, const std::string& text) { sql::Fail(code, text); }

bool StartsWithCI(std::string_view s, size_t pos, const char* w) {
    size_t n = std::strlen(w);
    if (pos + n > s.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(s[pos + i])) != w[i]) return false;
    return true;
}

} // namespace

double JulianFromCivil(int y, int m, int d, int hh, int mi, int ss) {
    int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    return kUnixEpochJd + static_cast<double>(days) + (hh * 3600 + mi * 60 + ss) / 86400.0;
}

double RoundToSecond(double jd) {
    double rel = jd - kUnixEpochJd;
    double secs = std::round(rel * 86400.0);
    return kUnixEpochJd + secs / 86400.0;
}

uint32_t TimestampNanos(double jd, double* wholeSecond) {
    double rel = jd - kUnixEpochJd;
    double ticks = std::round(rel * 864000000.0);   // 100-microsecond steps
    double whole = std::floor(ticks / 10000.0);
    if (wholeSecond) *wholeSecond = kUnixEpochJd + whole / 86400.0;
    return static_cast<uint32_t>((ticks - whole * 10000.0)) * 100000u;
}

double TimestampNow() {
    auto now = std::chrono::system_clock::now();
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    time_t t = std::chrono::system_clock::to_time_t(now);
    struct tm lt;
    localtime_r(&t, &lt);
    return JulianFromCivil(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec) +
           static_cast<double>(us / 100) / 864000000.0;
}

void CivilFromJulian(double jd, int& y, int& m, int& d, int& hh, int& mi, int& ss) {
    double rel = jd - kUnixEpochJd;
    int64_t secs = static_cast<int64_t>(std::llround(rel * 86400.0));
    int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    int64_t sod = secs - days * 86400;
    CivilFromDays(days, y, m, d);
    hh = static_cast<int>(sod / 3600);
    mi = static_cast<int>(sod / 60 % 60);
    ss = static_cast<int>(sod % 60);
}

void JulianTo7(double jd, unsigned char out[7]) {
    int y, m, d, hh, mi, ss;
    CivilFromJulian(jd, y, m, d, hh, mi, ss);
    out[0] = static_cast<unsigned char>(y / 100 + 100);
    out[1] = static_cast<unsigned char>(y % 100 + 100);
    out[2] = static_cast<unsigned char>(m);
    out[3] = static_cast<unsigned char>(d);
    out[4] = static_cast<unsigned char>(hh + 1);
    out[5] = static_cast<unsigned char>(mi + 1);
    out[6] = static_cast<unsigned char>(ss + 1);
}

double JulianFrom7(const unsigned char* in) {
    int y = (in[0] - 100) * 100 + (in[1] - 100);
    int m = in[2], d = in[3];
    if (!DaysInMonthOk(y, m, d) || in[4] < 1 || in[4] > 24 || in[5] < 1 || in[5] > 60 || in[6] < 1 || in[6] > 60)
        Raise(1858, "a non-numeric character was found where a numeric was expected");
    return JulianFromCivil(y, m, d, in[4] - 1, in[5] - 1, in[6] - 1);
}

double Now() {
    // local time, as Oracle's SYSDATE is the server's local time; converted once a second
    thread_local time_t lastSecond = 0;
    thread_local double lastValue = 0;
    time_t t = time(nullptr);
    if (t == lastSecond) return lastValue;
    struct tm lt;
    localtime_r(&t, &lt);
    lastSecond = t;
    lastValue = JulianFromCivil(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec);
    return lastValue;
}

std::string FormatDate(double jd, std::string_view fmt) {
    int y, m, d, hh, mi, ss;
    double whole = jd;
    uint32_t nanos = TimestampNanos(jd, &whole);
    CivilFromJulian(whole, y, m, d, hh, mi, ss);
    int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    int wday = static_cast<int>(((days % 7) + 11) % 7);   // 1970-01-01 was a Thursday (4)
    std::string out;
    bool fm = false;
    auto num = [&](long v, int width) {
        char b[32];
        if (fm) std::snprintf(b, sizeof b, "%ld", v);
        else std::snprintf(b, sizeof b, "%0*ld", width, v);
        out += b;
    };
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        std::string tok;
        auto take = [&](const char* w) {
            if (StartsWithCI(fmt, i, w)) { tok = std::string(fmt.substr(i, std::strlen(w))); i += std::strlen(w); return true; }
            return false;
        };
        if (c == '"') {
            size_t e = fmt.find('"', i + 1);
            if (e == std::string_view::npos) e = fmt.size();
            out += std::string(fmt.substr(i + 1, e - i - 1));
            i = e + 1;
            continue;
        }
        if (take("FM")) { fm = !fm; continue; }
        if (take("YYYY") || take("RRRR")) { num(y, 4); continue; }
        if (take("SYYYY")) { num(y, 4); continue; }
        if (take("YYY")) { num(y % 1000, 3); continue; }
        if (take("YY") || take("RR")) { num(y % 100, 2); continue; }
        if (take("Y")) { num(y % 10, 1); continue; }
        if (take("MONTH")) {
            std::string w = Cased(kMonths[m - 1], tok);
            if (!fm) w.resize(9, ' ');
            out += w;
            continue;
        }
        if (take("MON")) { out += Cased(std::string(kMonths[m - 1]).substr(0, 3), tok); continue; }
        if (take("MM")) { num(m, 2); continue; }
        if (take("DAY")) {
            std::string w = Cased(kDays[wday], tok);
            if (!fm) w.resize(9, ' ');
            out += w;
            continue;
        }
        if (take("DY")) { out += Cased(std::string(kDays[wday]).substr(0, 3), tok); continue; }
        if (take("DDD")) { num(days - DaysFromCivil(y, 1, 1) + 1, 3); continue; }
        if (take("DD")) { num(d, 2); continue; }
        if (take("D")) { num(wday + 1, 1); continue; }
        if (take("HH24")) { num(hh, 2); continue; }
        if (take("HH12") || take("HH")) { num(hh % 12 == 0 ? 12 : hh % 12, 2); continue; }
        if (take("MI")) { num(mi, 2); continue; }
        if (take("SSSSS")) { num(hh * 3600 + mi * 60 + ss, 5); continue; }
        if (take("SS")) { num(ss, 2); continue; }
        if (take("A.M.") || take("P.M.")) { out += Cased(hh < 12 ? "A.M." : "P.M.", tok); continue; }
        if (take("AM") || take("PM")) { out += Cased(hh < 12 ? "AM" : "PM", tok); continue; }
        if (take("J")) { num(static_cast<long>(days + 2440588), 7); continue; }
        if (take("Q")) { num((m - 1) / 3 + 1, 1); continue; }
        if (take("WW")) { num((days - DaysFromCivil(y, 1, 1)) / 7 + 1, 2); continue; }
        if (take("W")) { num((d - 1) / 7 + 1, 1); continue; }
        if (take("CC")) { num((y + 99) / 100, 2); continue; }
        if (take("FF")) {
            // FF1..FF9: that many digits of the fraction; FF alone: six
            int digits = 6;
            if (i < fmt.size() && fmt[i] >= '1' && fmt[i] <= '9') digits = fmt[i++] - '0';
            char b[16];
            std::snprintf(b, sizeof b, "%09u", nanos);
            out.append(b, static_cast<size_t>(digits));
            continue;
        }
        if (take("TZH")) { out += "+00"; continue; }
        if (take("TZM")) { out += "00"; continue; }
        if (take("TZR")) { out += "+00:00"; continue; }
        if (take("X")) { out += '.'; continue; }
        if (std::isalpha(static_cast<unsigned char>(c))) Raise(1821, "date format not recognized");
        out += c;
        ++i;
    }
    return out;
}

double ParseDate(std::string_view text, std::string_view fmt) {
    int y = -1, m = -1, d = -1, hh = 0, mi = 0, ss = 0;
    double fraction = 0;   // of a second (FF)
    bool pm = false, hasAmPm = false;
    int curY, curM, curD, a, b, c2;
    CivilFromJulian(Now(), curY, curM, curD, a, b, c2);
    size_t i = 0, p = 0;
    auto skipBlanks = [&]() { while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p; };
    auto readNum = [&](int maxDigits, int& out) {
        skipBlanks();
        bool neg = false;
        if (p < text.size() && (text[p] == '-' || text[p] == '+') && maxDigits >= 4) { neg = text[p] == '-'; ++p; }
        size_t s = p;
        long v = 0;
        while (p < text.size() && p - s < static_cast<size_t>(maxDigits) && std::isdigit(static_cast<unsigned char>(text[p]))) {
            v = v * 10 + (text[p] - '0');
            ++p;
        }
        if (p == s) Raise(1858, "a non-numeric character was found where a numeric was expected");
        out = static_cast<int>(neg ? -v : v);
        return static_cast<int>(p - s);
    };
    while (i < fmt.size()) {
        auto take = [&](const char* w) {
            if (StartsWithCI(fmt, i, w)) { i += std::strlen(w); return true; }
            return false;
        };
        // input that ends before the format leaves the rest of the format unused (a DATE
        // literal without a time, a timestamp without a fraction)
        size_t rest = p;
        while (rest < text.size() && std::isspace(static_cast<unsigned char>(text[rest]))) ++rest;
        if (rest >= text.size()) break;
        char c = fmt[i];
        if (c == '"') {
            size_t e = fmt.find('"', i + 1);
            if (e == std::string_view::npos) e = fmt.size();
            size_t len = e - i - 1;
            p += std::min(len, text.size() - std::min(p, text.size()));
            i = e + 1;
            continue;
        }
        if (take("FM") || take("FX")) continue;
        if (take("YYYY") || take("SYYYY")) { readNum(4, y); continue; }
        if (take("RRRR")) {
            int n = readNum(4, y);
            if (n <= 2) y = y < 50 ? (curY / 100) * 100 + y : (curY / 100 - 1) * 100 + y;
            continue;
        }
        if (take("RR")) {
            int n = readNum(4, y);
            if (n <= 2) {
                int cent = curY / 100;
                int cy = curY % 100;
                if (y < 50) y = (cy < 50 ? cent : cent + 1) * 100 + y;
                else y = (cy < 50 ? cent - 1 : cent) * 100 + y;
            }
            continue;
        }
        if (take("YYY")) { readNum(3, y); y += (curY / 1000) * 1000; continue; }
        if (take("YY")) { int n = readNum(4, y); if (n <= 2) y += (curY / 100) * 100; continue; }
        if (take("MONTH") || take("MON")) {
            skipBlanks();
            int found = -1;
            for (int k = 0; k < 12 && found < 0; ++k) {
                if (StartsWithCI(text, p, kMonths[k])) { found = k; p += std::strlen(kMonths[k]); }
            }
            for (int k = 0; k < 12 && found < 0; ++k) {
                std::string ab = std::string(kMonths[k]).substr(0, 3);
                if (StartsWithCI(text, p, ab.c_str())) { found = k; p += 3; }
            }
            if (found < 0) Raise(1843, "not a valid month");
            m = found + 1;
            continue;
        }
        if (take("MM")) { readNum(2, m); if (m < 1 || m > 12) Raise(1843, "not a valid month"); continue; }
        if (take("DAY") || take("DY")) {
            skipBlanks();
            for (int k = 0; k < 7; ++k) {
                if (StartsWithCI(text, p, kDays[k])) { p += std::strlen(kDays[k]); break; }
                std::string ab = std::string(kDays[k]).substr(0, 3);
                if (StartsWithCI(text, p, ab.c_str())) { p += 3; break; }
            }
            continue;
        }
        if (take("DDD")) { int v; readNum(3, v); continue; }
        if (take("DD")) { readNum(2, d); if (d < 1 || d > 31) Raise(1847, "day of month must be between 1 and last day of month"); continue; }
        if (take("HH24")) { readNum(2, hh); if (hh > 23) Raise(1850, "hour must be between 0 and 23"); continue; }
        if (take("HH12") || take("HH")) { readNum(2, hh); if (hh < 1 || hh > 12) Raise(1849, "hour must be between 1 and 12"); if (!hasAmPm) hasAmPm = true; continue; }
        if (take("MI")) { readNum(2, mi); if (mi > 59) Raise(1851, "minutes must be between 0 and 59"); continue; }
        if (take("SSSSS")) { int v; readNum(5, v); hh = v / 3600; mi = v / 60 % 60; ss = v % 60; continue; }
        if (take("SS")) { readNum(2, ss); if (ss > 59) Raise(1852, "seconds must be between 0 and 59"); continue; }
        if (take("AM") || take("PM") || take("A.M.") || take("P.M.")) {
            skipBlanks();
            hasAmPm = true;
            if (StartsWithCI(text, p, "PM") || StartsWithCI(text, p, "P.M.")) pm = true;
            if (StartsWithCI(text, p, "A.M.") || StartsWithCI(text, p, "P.M.")) p += 4;
            else if (StartsWithCI(text, p, "AM") || StartsWithCI(text, p, "PM")) p += 2;
            else Raise(1855, "AM/A.M. or PM/P.M. required");
            continue;
        }
        if (take("FF")) {
            if (i < fmt.size() && fmt[i] >= '1' && fmt[i] <= '9') ++i;
            skipBlanks();
            double scale = 0.1;
            int n = 0;
            while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])) && n < 9) {
                fraction += (text[p++] - '0') * scale;
                scale /= 10;
                ++n;
            }
            continue;
        }
        if (take("X")) { if (p < text.size() && (text[p] == '.' || text[p] == ',')) ++p; continue; }
        if (take("TZH") || take("TZM") || take("TZR")) {
            // the zone is read and dropped: timestamps are kept in the session's zone
            skipBlanks();
            if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
            while (p < text.size() && (std::isdigit(static_cast<unsigned char>(text[p])) || text[p] == ':')) ++p;
            continue;
        }
        if (take("J")) {
            int v;
            readNum(7, v);
            int yy, mm, dd;
            CivilFromDays(v - 2440588, yy, mm, dd);
            y = yy; m = mm; d = dd;
            continue;
        }
        if (std::isalpha(static_cast<unsigned char>(c))) Raise(1821, "date format not recognized");
        // punctuation in the format matches any punctuation (or nothing) in the text
        ++i;
        if (p < text.size() && !std::isalnum(static_cast<unsigned char>(text[p]))) ++p;
    }
    skipBlanks();
    if (p < text.size()) Raise(1830, "date format picture ends before converting entire input string");
    if (hasAmPm) {
        if (pm && hh < 12) hh += 12;
        if (!pm && hh == 12) hh = 0;
    }
    if (y < 0) y = curY;
    if (m < 0) m = curM;
    if (d < 0) d = 1;
    if (y == 0 || y < -4712 || y > 9999) Raise(1841, "(full) year must be between -4713 and +9999, and not be 0");
    if (!DaysInMonthOk(y, m, d)) Raise(1839, "date not valid for month specified");
    return JulianFromCivil(y, m, d, hh, mi, ss) + std::round(fraction * 10000.0) / 864000000.0;
}

int DoubleDigits(double v, char* out, size_t size) {
    // 15 significant digits hide binary noise (0.1 + 0.2 shows .3); a whole number they do not give
    // back exactly (beyond 2^53) gets the shortest text that does, up to 17 digits
    int n = std::snprintf(out, size, "%.15G", v);
    if (v != std::floor(v) || std::strtod(out, nullptr) == v) return n;
    auto r = std::to_chars(out, out + size - 1, v, std::chars_format::scientific);
    *r.ptr = 0;
    for (char* c = out; c < r.ptr; ++c) if (*c == 'e') *c = 'E';
    return static_cast<int>(r.ptr - out);
}

std::string NumberText(double v) {
    if (v == 0) return "0";
    if (std::isnan(v)) return "Nan";
    if (std::isinf(v)) return v > 0 ? "~" : "-~";
    if (std::fabs(v) < 1e15 && v == std::floor(v)) {
        char b[32];
        std::snprintf(b, sizeof b, "%lld", static_cast<long long>(v));
        return b;
    }
    char b[64];
    DoubleDigits(v, b, sizeof b);
    std::string s = b;
    for (char& c : s) if (c == 'E') c = 'e';
    size_t e = s.find('e');
    if (e != std::string::npos) {
        int exp = std::atoi(s.c_str() + e + 1);
        std::string mant = s.substr(0, e);
        bool neg = mant[0] == '-';
        if (neg) mant.erase(0, 1);
        std::string digits;
        for (char c : mant) if (c != '.') digits += c;
        int pointPos = 1 + exp;   // digits before the point
        std::string r;
        if (exp >= 40 || exp <= -40) {
            return std::string(neg ? "-" : "") + mant + "E" + (exp > 0 ? "+" : "-") + std::to_string(std::abs(exp));
        }
        if (pointPos <= 0) r = "." + std::string(static_cast<size_t>(-pointPos), '0') + digits;
        else if (pointPos >= static_cast<int>(digits.size())) r = digits + std::string(pointPos - digits.size(), '0');
        else r = digits.substr(0, pointPos) + "." + digits.substr(pointPos);
        while (r.find('.') != std::string::npos && (r.back() == '0' || r.back() == '.')) { char c = r.back(); r.pop_back(); if (c == '.') break; }
        return (neg ? "-" : "") + r;
    }
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

bool ParseNumber(std::string_view text, double& out) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    if (b == e) return false;
    std::string s(text.substr(b, e - b));
    // Oracle accepts "1.", ".5", "+3", "1e5", "-.5"; not hex, inf or nan
    bool digit = false;
    for (char c : s) {
        if (std::isdigit(static_cast<unsigned char>(c))) digit = true;
        else if (!(c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    }
    if (!digit) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == 0;
}

bool ParseWholeNumber(std::string_view text, int64_t& out) {
    size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    if (b < e && text[b] == '+') ++b;
    if (b == e || (text[b] == '-' && b + 1 == e)) return false;
    auto r = std::from_chars(text.data() + b, text.data() + e, out);
    return r.ec == std::errc() && r.ptr == text.data() + e;
}

std::string FormatNumberDigits(double v, std::string_view fmtIn, const std::string* exact);

std::string FormatNumber(double v, std::string_view fmtIn) { return FormatNumberDigits(v, fmtIn, nullptr); }

std::string FormatWholeNumber(int64_t v, std::string_view fmt) {
    std::string digits = std::to_string(v);
    if (v < 0) digits.erase(0, 1);
    return FormatNumberDigits(static_cast<double>(v), fmt, &digits);
}

// TO_CHAR(n, fmt); `exact` holds the digits of a whole number a double cannot carry exactly.
std::string FormatNumberDigits(double v, std::string_view fmtIn, const std::string* exact) {
    std::string fmt(fmtIn);
    for (auto& c : fmt) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool fm = false;
    if (fmt.rfind("FM", 0) == 0) { fm = true; fmt.erase(0, 2); }
    bool dollar = false, mi = false, sLead = false, sTrail = false, eeee = false;
    if (fmt.find('$') != std::string::npos) { dollar = true; fmt.erase(std::remove(fmt.begin(), fmt.end(), '$'), fmt.end()); }
    if (fmt.size() >= 2 && fmt.compare(fmt.size() - 2, 2, "MI") == 0) { mi = true; fmt.erase(fmt.size() - 2); }
    if (!fmt.empty() && fmt[0] == 'S') { sLead = true; fmt.erase(0, 1); }
    else if (!fmt.empty() && fmt.back() == 'S') { sTrail = true; fmt.pop_back(); }
    if (fmt.size() >= 4 && fmt.compare(fmt.size() - 4, 4, "EEEE") == 0) { eeee = true; fmt.erase(fmt.size() - 4); }
    for (auto& c : fmt) { if (c == 'D') c = '.'; if (c == 'G') c = ','; }
    for (char c : fmt) if (!(c == '9' || c == '0' || c == '.' || c == ',' || c == 'X')) Raise(1481, "invalid number format model");
    size_t dot = fmt.find('.');
    std::string intPart = dot == std::string::npos ? fmt : fmt.substr(0, dot);
    std::string fracPart = dot == std::string::npos ? "" : fmt.substr(dot + 1);
    int fracDigits = static_cast<int>(fracPart.size());
    int intDigits = 0;
    for (char c : intPart) if (c == '9' || c == '0') ++intDigits;
    bool neg = v < 0;
    double a = std::fabs(v);
    if (eeee) {
        char b[64];
        std::snprintf(b, sizeof b, "%.*E", fracDigits, a);
        std::string r = b;
        size_t e = r.find('E');
        if (e != std::string::npos) {
            int ex = std::atoi(r.c_str() + e + 1);
            char eb[16];
            std::snprintf(eb, sizeof eb, "E%c%02d", ex < 0 ? '-' : '+', std::abs(ex));
            r = r.substr(0, e) + eb;
        }
        return std::string(neg ? "-" : (fm ? "" : " ")) + r;
    }
    char b[512];
    std::snprintf(b, sizeof b, "%.*f", fracDigits, a);
    std::string digits = b;
    if (exact) digits = *exact + (fracDigits > 0 ? "." + std::string(static_cast<size_t>(fracDigits), '0') : "");
    size_t dp = digits.find('.');
    std::string ip = dp == std::string::npos ? digits : digits.substr(0, dp);
    std::string fp = dp == std::string::npos ? "" : digits.substr(dp + 1);
    if (ip == "0") ip = "";
    if (static_cast<int>(ip.size()) > intDigits) {
        return std::string(static_cast<size_t>(intDigits + fracDigits + (dot != std::string::npos) + 1 + (dollar ? 1 : 0)), '#');
    }
    // lay the integer digits into the format from the right
    std::string out;
    int k = static_cast<int>(ip.size()) - 1;
    size_t firstZero = intPart.find('0');
    for (int f = static_cast<int>(intPart.size()) - 1; f >= 0; --f) {
        char c = intPart[f];
        if (c == ',') {
            if (k >= 0 || (firstZero != std::string::npos && static_cast<size_t>(f) > firstZero)) out += ',';
            else out += ' ';
            continue;
        }
        if (k >= 0) out += ip[k--];
        else if (c == '0' || (firstZero != std::string::npos && static_cast<size_t>(f) >= firstZero)) out += '0';
        else out += ' ';
    }
    std::reverse(out.begin(), out.end());
    if (dot != std::string::npos) {
        out += '.';
        out += fp;
    } else if (out.find_first_not_of(' ') == std::string::npos) {
        out.back() = '0';
    }
    std::string sign;
    if (mi) {
        out += neg ? "-" : (fm ? "" : " ");
    } else if (sLead) {
        sign = neg ? "-" : "+";
    } else if (sTrail) {
        out += neg ? "-" : "+";
    } else {
        sign = neg ? "-" : " ";
    }
    // the sign goes right before the first digit
    size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) first = out.size();
    std::string prefix = sign + (dollar ? "$" : "");
    if (!mi && !sTrail) out.insert(first, prefix);
    else if (dollar) out.insert(first, "$");
    if (fm) {
        size_t s = out.find_first_not_of(' ');
        out = s == std::string::npos ? "" : out.substr(s);
        while (!out.empty() && out.back() == ' ') out.pop_back();
    } else if (!mi && !sTrail && !sLead && !neg) {
        // keep the blank that stands for the sign
    }
    return out;
}

double ParseNumberFormat(std::string_view text, std::string_view fmt) {
    std::string s;
    for (char c : text) {
        if (c == ',' || c == '$' || c == ' ') continue;
        s += c;
    }
    if (!s.empty() && s.back() == '-') { s.pop_back(); s.insert(0, "-"); }
    double v;
    if (!ParseNumber(s, v)) Raise(1722, "invalid number");
    (void)fmt;
    return v;
}

// ---- ROWIDs: object number (6), file (3), block (6), row (3) in Oracle's base-64 digits
namespace {
const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
int B64(char c) {
    const char* p = std::strchr(kB64, c);
    return p && c ? static_cast<int>(p - kB64) : -1;
}
void Put(std::string& s, uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s += kB64[(v >> (6 * i)) & 63];
}
} // namespace

std::string RowIdText(int64_t objectId, int64_t rowid) {
    std::string s;
    s.reserve(18);
    uint64_t r = static_cast<uint64_t>(rowid);
    Put(s, static_cast<uint64_t>(objectId), 6);
    Put(s, 1 + ((r >> 48) & 0xFFFF), 3);        // file: the high bits of the row number
    Put(s, (r >> 16) & 0xFFFFFFFFULL, 6);       // block: 32 bits, as OCI7 keeps it
    Put(s, r & 0xFFFF, 3);                      // row in block: 16 bits
    return s;
}

bool ParseRowId(std::string_view text, int64_t& objectId, int64_t& rowid) {
    if (text.size() != 18) return false;
    uint64_t parts[4] = {0, 0, 0, 0};
    const int widths[4] = {6, 3, 6, 3};
    size_t p = 0;
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < widths[k]; ++i) {
            int v = B64(text[p++]);
            if (v < 0) return false;
            parts[k] = (parts[k] << 6) | static_cast<uint64_t>(v);
        }
    }
    if (parts[1] == 0 || parts[2] > 0xFFFFFFFFULL || parts[3] > 0xFFFF) return false;
    objectId = static_cast<int64_t>(parts[0]);
    rowid = static_cast<int64_t>(((parts[1] - 1) << 48) | (parts[2] << 16) | parts[3]);
    return true;
}

bool ParseOraMessage(const std::string& msg, int& code, std::string& text) {
    size_t p = msg.find("ORA-");
    if (p == std::string::npos || p + 9 > msg.size()) return false;
    for (int i = 0; i < 5; ++i)
        if (!std::isdigit(static_cast<unsigned char>(msg[p + 4 + i]))) return false;
    code = std::atoi(msg.c_str() + p + 4);
    text = msg.substr(p);
    return true;
}

// ======================================================================== SQL functions
namespace {

FunctionHost* Host(sqlite3_context* ctx) { return static_cast<FunctionHost*>(sqlite3_user_data(ctx)); }

void ResultError(sqlite3_context* ctx, const EngineError& e) {
    sqlite3_result_error(ctx, e.Text.c_str(), static_cast<int>(e.Text.size()));
}

#define GUARD_BEGIN try {
#define GUARD_END                                                            \
    }                                                                        \
    catch (const EngineError& e) { ResultError(ctx, e); }                    \
    catch (const std::exception& e) { sqlite3_result_error(ctx, e.what(), -1); }

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string Text(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

// A value as a number, with Oracle's implicit conversion of text (ORA-01722 when it fails).
double Num(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    default: {
        double d;
        if (!ParseNumber(Text(v), d)) Raise(1722, "invalid number");
        return d;
    }
    }
}

// A value as a whole number when it is one exactly: an INTEGER, a whole REAL within 64 bits, or
// text of a whole number that fits (so '9007199254740993' keeps its last digit).
bool WholeOf(sqlite3_value* v, int64_t& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = sqlite3_value_int64(v); return true;
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || d != std::floor(d)) return false;
        out = static_cast<int64_t>(d);
        return true;
    }
    case SQLITE_TEXT: return ParseWholeNumber(Text(v), out);
    default: return false;
    }
}

// A number as Oracle shows it, exact for every whole number of 64 bits.
std::string NumText(sqlite3_value* v) {
    int64_t i;
    if (sqlite3_value_type(v) != SQLITE_FLOAT && WholeOf(v, i)) return std::to_string(i);
    return NumberText(Num(v));
}

void ResultNumber(sqlite3_context* ctx, double d) {
    if (std::isfinite(d) && std::fabs(d) < 9.2e18 && d == std::floor(d)) sqlite3_result_int64(ctx, static_cast<int64_t>(d));
    else sqlite3_result_double(ctx, d);
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
    if (s.empty()) sqlite3_result_null(ctx);
    else sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// UTF-8 helpers: character count and byte offset of a character position.
size_t CharCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) if ((c & 0xC0) != 0x80) ++n;
    return n;
}
size_t ByteOfChar(const std::string& s, size_t ch) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == ch) return i;
            ++n;
        }
    }
    return s.size();
}
std::string SubChars(const std::string& s, size_t from, size_t count) {
    size_t b = ByteOfChar(s, from);
    size_t e = count == std::string::npos ? s.size() : ByteOfChar(s, from + count);
    return s.substr(b, e - b);
}
std::vector<std::string> Chars(const std::string& s) {
    std::vector<std::string> r;
    for (size_t i = 0; i < s.size();) {
        size_t j = i + 1;
        while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) ++j;
        r.push_back(s.substr(i, j - i));
        i = j;
    }
    return r;
}
void AppendUtf8(std::string& s, uint32_t cp) {
    if (cp < 0x80) s += static_cast<char>(cp);
    else if (cp < 0x800) { s += static_cast<char>(0xC0 | (cp >> 6)); s += static_cast<char>(0x80 | (cp & 63)); }
    else if (cp < 0x10000) { s += static_cast<char>(0xE0 | (cp >> 12)); s += static_cast<char>(0x80 | ((cp >> 6) & 63)); s += static_cast<char>(0x80 | (cp & 63)); }
    else { s += static_cast<char>(0xF0 | (cp >> 18)); s += static_cast<char>(0x80 | ((cp >> 12) & 63)); s += static_cast<char>(0x80 | ((cp >> 6) & 63)); s += static_cast<char>(0x80 | (cp & 63)); }
}
bool SingleByteSet(uint16_t id) { return !(id == 870 || id == 871 || id == 873 || id == 1000 || id == 2000); }

void fConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string r;
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) continue;
        int t = sqlite3_value_type(argv[i]);
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) r += NumText(argv[i]);
        else r += Text(argv[i]);
    }
    ResultText(ctx, r);
}

// ora_numtext(x): a number shown as Oracle shows it (implicit conversion of numbers to text).
void fNumText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_TEXT) { sqlite3_result_value(ctx, argv[0]); return; }
    ResultText(ctx, NumText(argv[0]));
    GUARD_END
}

void fDateText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    ResultText(ctx, FormatDate(Num(argv[0]), Host(ctx)->DateFormat()));
    GUARD_END
}

// ora_arith(op1, a, b, op2, c, ...): ((a op1 b) op2 c) ..., a chain of + - * / in one call, as
// the nested two-operand calls would give it (each step's whole result continues as an integer).
void fArithChain(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (argc < 3 || argc % 2 == 0) Raise(909, "invalid number of arguments");
    // operator and operand positions: (0, 2), then (3, 4), (5, 6), ...
    std::vector<std::pair<int, int>> steps{{0, 2}};
    for (int j = 3; j + 1 < argc; j += 2) steps.emplace_back(j, j + 1);
    if (IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    for (const auto& st : steps) if (IsNull(argv[st.second])) { sqlite3_result_null(ctx); return; }
    bool isInt = sqlite3_value_type(argv[1]) == SQLITE_INTEGER;
    int64_t iv = isInt ? sqlite3_value_int64(argv[1]) : 0;
    double dv = isInt ? 0 : Num(argv[1]);
    for (const auto& st : steps) {
        std::string op = Text(argv[st.first]);
        sqlite3_value* x = argv[st.second];
        if (isInt && sqlite3_value_type(x) == SQLITE_INTEGER && op != "/") {
            int64_t b = sqlite3_value_int64(x), r;
            bool ovf = op == "+" ? __builtin_add_overflow(iv, b, &r) : op == "-" ? __builtin_sub_overflow(iv, b, &r)
                                                                               : __builtin_mul_overflow(iv, b, &r);
            if (!ovf) { iv = r; continue; }
        }
        if (isInt && sqlite3_value_type(x) == SQLITE_INTEGER && op == "/") {
            int64_t b = sqlite3_value_int64(x);
            if (b != 0 && !(iv == INT64_MIN && b == -1) && iv % b == 0) { iv /= b; continue; }
        }
        double a = isInt ? static_cast<double>(iv) : dv, b = Num(x), r;
        if (op == "+") r = a + b;
        else if (op == "-") r = a - b;
        else if (op == "*") r = a * b;
        else {
            if (b == 0) Raise(1476, "divisor is equal to zero");
            r = a / b;
            double rr = std::round(r * 1e12) / 1e12;
            if (std::fabs(rr - r) < 1e-13 * std::max(1.0, std::fabs(r))) r = rr;
        }
        // a whole result goes on as an integer, as ResultNumber hands it to the next call
        isInt = std::isfinite(r) && std::fabs(r) < 9.2e18 && r == std::floor(r);
        if (isInt) iv = static_cast<int64_t>(r);
        else dv = r;
    }
    if (isInt) sqlite3_result_int64(ctx, iv);
    else sqlite3_result_double(ctx, dv);
    GUARD_END
}

void fArith(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc != 3) { fArithChain(ctx, argc, argv); return; }
    GUARD_BEGIN
    if (IsNull(argv[1]) || IsNull(argv[2])) { sqlite3_result_null(ctx); return; }
    std::string op = Text(argv[0]);
    // integer arithmetic when exact
    int64_t a, b, r;
    bool ints = sqlite3_value_type(argv[1]) != SQLITE_FLOAT && sqlite3_value_type(argv[2]) != SQLITE_FLOAT &&
                WholeOf(argv[1], a) && WholeOf(argv[2], b);
    if (ints && op != "/") {
        bool ovf = op == "+" ? __builtin_add_overflow(a, b, &r) : op == "-" ? __builtin_sub_overflow(a, b, &r)
                                                                             : __builtin_mul_overflow(a, b, &r);
        if (!ovf) { sqlite3_result_int64(ctx, r); return; }
    }
    if (ints && op == "/" && b != 0 && !(a == INT64_MIN && b == -1) && a % b == 0) { sqlite3_result_int64(ctx, a / b); return; }
    double x = Num(argv[1]), y = Num(argv[2]);
    double q;
    if (op == "+") q = x + y;
    else if (op == "-") q = x - y;
    else if (op == "*") q = x * y;
    else {
        if (y == 0) Raise(1476, "divisor is equal to zero");
        q = x / y;
        // keep 38 significant digits' worth: round tiny binary noise away
        double rr = std::round(q * 1e12) / 1e12;
        if (std::fabs(rr - q) < 1e-13 * std::max(1.0, std::fabs(q))) q = rr;
    }
    ResultNumber(ctx, q);
    GUARD_END
}

void fNeg(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_int64(argv[0]) != INT64_MIN) {
        sqlite3_result_int64(ctx, -sqlite3_value_int64(argv[0]));
        return;
    }
    ResultNumber(ctx, -Num(argv[0]));
    GUARD_END
}

void fDateArith(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // ora_dateadd(date, days): the result rounded to whole seconds
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    sqlite3_result_double(ctx, RoundToSecond(Num(argv[0]) + Num(argv[1])));
    GUARD_END
}

void fDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    double secs = std::round((Num(argv[0]) - Num(argv[1])) * 86400.0);
    ResultNumber(ctx, std::fmod(secs, 86400.0) == 0 ? secs / 86400.0 : secs / 86400.0);
    GUARD_END
}

void fToNumberValue(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    if (argc > 1 && !IsNull(argv[1]) && sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        ResultNumber(ctx, ParseNumberFormat(Text(argv[0]), Text(argv[1])));
        return;
    }
    int64_t whole;
    if (sqlite3_value_type(argv[0]) != SQLITE_FLOAT && WholeOf(argv[0], whole)) { sqlite3_result_int64(ctx, whole); return; }
    ResultNumber(ctx, Num(argv[0]));
    GUARD_END
}

void fToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_FLOAT && argc == 1) { sqlite3_result_value(ctx, argv[0]); return; }
    std::string fmt = argc > 1 && !IsNull(argv[1]) ? Text(argv[1]) : Host(ctx)->DateFormat();
    std::string s = t == SQLITE_TEXT ? Text(argv[0]) : NumberText(Num(argv[0]));
    sqlite3_result_double(ctx, ParseDate(s, fmt));
    GUARD_END
}

void fToCharDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string fmt = argc > 1 && !IsNull(argv[1]) ? Text(argv[1]) : Host(ctx)->DateFormat();
    ResultText(ctx, FormatDate(Num(argv[0]), fmt));
    GUARD_END
}

void fToCharNum(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int64_t whole;
    bool exact = sqlite3_value_type(argv[0]) == SQLITE_INTEGER && WholeOf(argv[0], whole);
    if (argc > 1 && !IsNull(argv[1])) ResultText(ctx, exact ? FormatWholeNumber(whole, Text(argv[1])) : FormatNumber(Num(argv[0]), Text(argv[1])));
    else if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) sqlite3_result_value(ctx, argv[0]);
    else ResultText(ctx, NumText(argv[0]));
    GUARD_END
}

void fSysdate(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, Host(ctx)->StatementTime());
}

void fSystimestamp(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, TimestampNow()); }

void fToTimestamp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT && argc == 1) { sqlite3_result_value(ctx, argv[0]); return; }
    std::string fmt = argc > 1 && !IsNull(argv[1]) ? Text(argv[1]) : "DD-MON-RR HH.MI.SSXFF AM";
    sqlite3_result_double(ctx, ParseDate(Text(argv[0]), fmt));
    GUARD_END
}

void fUser(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, Host(ctx)->CurrentUser()); }
void fUid(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int64(ctx, Host(ctx)->CurrentUid()); }

void fUserenv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    std::string p;
    if (argc == 2) {
        std::string ns = Text(argv[0]);
        for (auto& c : ns) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (ns != "USERENV") { sqlite3_result_null(ctx); return; }
        p = Text(argv[1]);
    } else {
        p = Text(argv[0]);
    }
    for (auto& c : p) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string v = Host(ctx)->Userenv(p);
    bool numeric = !v.empty() && (p == "SESSIONID" || p == "SID" || p == "ENTRYID" || p == "INSTANCE" || p == "SESSION_USERID" || p == "CURRENT_USERID");
    if (numeric && argc == 1) ResultNumber(ctx, std::atof(v.c_str()));
    else ResultText(ctx, v);
    GUARD_END
}

void fNextval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    ResultNumber(ctx, Host(ctx)->NextVal(Text(argv[0])));
    GUARD_END
}
void fCurrval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    ResultNumber(ctx, Host(ctx)->CurrVal(Text(argv[0])));
    GUARD_END
}

void fRownum(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, Host(ctx)->NextRownum(sqlite3_value_int(argv[0])));
}

void fRowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    std::string s = RowIdText(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]));
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// ora_rowidnum(text, objectId): the SQLite row number a ROWID text names, or NULL.
void fRowidNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int64_t obj, row;
    std::string t = Text(argv[0]);
    if (!ParseRowId(t, obj, row)) Raise(1410, "invalid ROWID");
    if (obj != sqlite3_value_int64(argv[1])) { sqlite3_result_null(ctx); return; }
    sqlite3_result_int64(ctx, row);
    GUARD_END
}

// ora_store(value, rule): a value as a column of that type keeps it (length checks, rounding).
void fStore(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    const StoreRule* r = Host(ctx)->Rule(sqlite3_value_int(argv[1]));
    sqlite3_value* v = argv[0];
    int t = sqlite3_value_type(v);
    if (t == SQLITE_NULL || !r) { sqlite3_result_value(ctx, v); return; }
    switch (r->kind) {
    case StoreRule::Char:
    case StoreRule::VarChar: {
        std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumText(v) : Text(v);
        if (s.empty()) { sqlite3_result_null(ctx); return; }
        size_t len = r->charSemantics ? CharCount(s) : (SingleByteSet(Host(ctx)->CharsetId()) ? CharCount(s) : s.size());
        if (r->kind == StoreRule::Char && len > static_cast<size_t>(r->length)) {
            // trailing blanks beyond the length are cut, as Oracle does for CHAR
            while (len > static_cast<size_t>(r->length) && s.back() == ' ') { s.pop_back(); --len; }
        }
        if (len > static_cast<size_t>(r->length)) {
            Raise(12899, "value too large for column \"" + r->owner + "\".\"" + r->table + "\".\"" + r->column +
                             "\" (actual: " + std::to_string(len) + ", maximum: " + std::to_string(r->length) + ")");
        }
        if (r->kind == StoreRule::Char && len < static_cast<size_t>(r->length)) s.append(r->length - len, ' ');
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return;
    }
    case StoreRule::Number: {
        int64_t iv;
        if (t != SQLITE_FLOAT && WholeOf(v, iv) && (r->isFloat || r->scale >= 0)) {
            if (r->precision > 0 && !r->isFloat) {
                int digits = 0;
                for (uint64_t a = iv < 0 ? static_cast<uint64_t>(-(iv + 1)) + 1 : static_cast<uint64_t>(iv); a; a /= 10) ++digits;
                if (digits > r->precision - r->scale) Raise(1438, "value larger than specified precision allowed for this column");
            }
            sqlite3_result_int64(ctx, iv);
            return;
        }
        double d = Num(v);
        if (!r->isFloat) {
            double m = std::pow(10.0, r->scale);
            double rounded = std::round(d * m) / m;
            if (std::fabs(rounded) > 0 && r->precision > 0) {
                double lim = std::pow(10.0, r->precision - r->scale);
                if (std::fabs(rounded) >= lim) Raise(1438, "value larger than specified precision allowed for this column");
            }
            d = rounded;
        } else if (std::fabs(d) >= 1e126) {
            Raise(1426, "numeric overflow");
        }
        ResultNumber(ctx, d);
        return;
    }
    case StoreRule::Date: {
        if (t == SQLITE_TEXT && r->fraction) sqlite3_result_double(ctx, ParseDate(Text(v), "DD-MON-RR HH.MI.SSXFF AM"));
        else if (t == SQLITE_TEXT) sqlite3_result_double(ctx, RoundToSecond(ParseDate(Text(v), Host(ctx)->DateFormat())));
        else if (t == SQLITE_BLOB) Raise(932, "inconsistent datatypes: expected DATE got BINARY");
        else sqlite3_result_double(ctx, r->fraction ? Num(v) : RoundToSecond(Num(v)));
        return;
    }
    case StoreRule::Raw: {
        if (t == SQLITE_TEXT) {
            // text into RAW is read as hexadecimal digits
            std::string s = Text(v), out;
            if (s.size() % 2) s.insert(0, "0");
            for (size_t i = 0; i < s.size(); i += 2) {
                if (!std::isxdigit(static_cast<unsigned char>(s[i])) || !std::isxdigit(static_cast<unsigned char>(s[i + 1])))
                    Raise(1465, "invalid hex number");
                out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
            }
            if (r->length > 0 && out.size() > static_cast<size_t>(r->length))
                Raise(12899, "value too large for column \"" + r->owner + "\".\"" + r->table + "\".\"" + r->column +
                                 "\" (actual: " + std::to_string(out.size()) + ", maximum: " + std::to_string(r->length) + ")");
            sqlite3_result_blob(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
            return;
        }
        if (t == SQLITE_BLOB && r->length > 0 && sqlite3_value_bytes(v) > r->length)
            Raise(12899, "value too large for column \"" + r->owner + "\".\"" + r->table + "\".\"" + r->column +
                             "\" (actual: " + std::to_string(sqlite3_value_bytes(v)) + ", maximum: " + std::to_string(r->length) + ")");
        sqlite3_result_value(ctx, v);
        return;
    }
    default:
        if (t == SQLITE_TEXT && sqlite3_value_bytes(v) == 0) { sqlite3_result_null(ctx); return; }
        sqlite3_result_value(ctx, v);
    }
    GUARD_END
}

void fNvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, IsNull(argv[0]) ? argv[1] : argv[0]);
}
void fNvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, IsNull(argv[0]) ? argv[2] : argv[1]);
}

void fLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumText(argv[0]) : Text(argv[0]);
    if (t == SQLITE_BLOB) { sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0])); return; }
    sqlite3_result_int64(ctx, static_cast<int64_t>(CharCount(s)));
}

// ora_lengthb(x, form): bytes in the database (form 1) or national (form 2) character set.
void fLengthb(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_BLOB) { sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0])); return; }
    std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumberText(sqlite3_value_double(argv[0])) : Text(argv[0]);
    int form = sqlite3_value_int(argv[1]);
    uint16_t cs = form == 2 ? Host(ctx)->NCharsetId() : Host(ctx)->CharsetId();
    int64_t n;
    if (cs == 2000 || cs == 1000) {
        n = 0;
        for (size_t i = 0; i < s.size();) {
            unsigned char c = s[i];
            size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            n += len == 4 ? 4 : 2;
            i += len;
        }
    } else if (SingleByteSet(cs)) {
        n = static_cast<int64_t>(CharCount(s));
    } else {
        n = static_cast<int64_t>(s.size());
    }
    sqlite3_result_int64(ctx, n);
}

// ora_chr(n, form): the character whose code in the database (or national) set is n.
void fChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    double dv = Num(argv[0]);
    if (dv < 0 || dv > 4294967295.0) Raise(1726, "invalid number");   // never reached by valid input
    uint64_t n = static_cast<uint64_t>(dv);
    int form = sqlite3_value_int(argv[1]);
    uint16_t cs = form == 2 ? Host(ctx)->NCharsetId() : Host(ctx)->CharsetId();
    std::string out;
    if (form == 2 && (cs == 2000 || cs == 1000)) {
        AppendUtf8(out, static_cast<uint32_t>(n & 0xFFFF));
    } else if (SingleByteSet(cs)) {
        unsigned b = static_cast<unsigned>(n & 0xFF);
        AppendUtf8(out, b);   // single-byte sets keep the code (Latin-1 view of the byte)
    } else if (n < 0x80) {
        out += static_cast<char>(n);
    } else if (n > 0xFFFFFF) {
        // more bytes than a character of the set can have: one replacement character
        AppendUtf8(out, 0xFFFD);
    } else {
        // the bytes of n form a character when they are valid UTF-8; otherwise each byte stands alone
        unsigned char bytes[3];
        int nb = n > 0xFFFF ? 3 : n > 0xFF ? 2 : 1;
        for (int i = 0; i < nb; ++i) bytes[i] = static_cast<unsigned char>(n >> (8 * (nb - 1 - i)));
        bool valid = (nb == 2 && (bytes[0] & 0xE0) == 0xC0 && (bytes[1] & 0xC0) == 0x80) ||
                     (nb == 3 && (bytes[0] & 0xF0) == 0xE0 && (bytes[1] & 0xC0) == 0x80 && (bytes[2] & 0xC0) == 0x80);
        if (valid) out.assign(reinterpret_cast<char*>(bytes), static_cast<size_t>(nb));
        else for (int i = 0; i < nb; ++i) AppendUtf8(out, bytes[i]);
    }
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    GUARD_END
}

void fAscii(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string s = Text(argv[0]);
    if (s.empty()) { sqlite3_result_null(ctx); return; }
    unsigned char c = s[0];
    uint32_t cp = c;
    if (c >= 0xC0 && s.size() >= 2) {
        // the UTF-8 bytes read as one number
        size_t len = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = 0;
        for (size_t i = 0; i < len && i < s.size(); ++i) cp = (cp << 8) | static_cast<unsigned char>(s[i]);
    }
    sqlite3_result_int64(ctx, cp);
}

void fSubstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1]) || (argc > 2 && IsNull(argv[2]))) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumberText(Num(argv[0])) : Text(argv[0]);
    int64_t n = static_cast<int64_t>(CharCount(s));
    int64_t pos = static_cast<int64_t>(std::trunc(Num(argv[1])));
    if (pos == 0) pos = 1;
    if (pos < 0) pos = n + pos + 1;
    if (pos < 1 || pos > n) { sqlite3_result_null(ctx); return; }
    size_t count = std::string::npos;
    if (argc > 2) {
        double c = std::trunc(Num(argv[2]));
        if (c < 1) { sqlite3_result_null(ctx); return; }
        count = static_cast<size_t>(c);
    }
    ResultText(ctx, SubChars(s, static_cast<size_t>(pos - 1), count));
    GUARD_END
}

void fInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    for (int i = 0; i < argc; ++i) if (IsNull(argv[i])) { sqlite3_result_null(ctx); return; }
    std::vector<std::string> s = Chars(Text(argv[0]));
    std::vector<std::string> sub = Chars(Text(argv[1]));
    int64_t pos = argc > 2 ? static_cast<int64_t>(Num(argv[2])) : 1;
    int64_t occ = argc > 3 ? static_cast<int64_t>(Num(argv[3])) : 1;
    if (occ <= 0) Raise(1428, "argument '" + std::to_string(occ) + "' is out of range");
    int64_t n = static_cast<int64_t>(s.size()), m = static_cast<int64_t>(sub.size());
    if (pos == 0) { sqlite3_result_int(ctx, 0); return; }
    auto matchAt = [&](int64_t i) {
        if (i < 0 || i + m > n) return false;
        for (int64_t k = 0; k < m; ++k) if (s[i + k] != sub[k]) return false;
        return true;
    };
    if (pos > 0) {
        for (int64_t i = pos - 1; i + m <= n; ++i)
            if (matchAt(i) && --occ == 0) { sqlite3_result_int64(ctx, i + 1); return; }
    } else {
        for (int64_t i = n + pos; i >= 0; --i)
            if (matchAt(i) && --occ == 0) { sqlite3_result_int64(ctx, i + 1); return; }
    }
    sqlite3_result_int(ctx, 0);
    GUARD_END
}

void fCase(sqlite3_context* ctx, int, sqlite3_value** argv, int mode) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string s = Text(argv[0]);
    bool start = true;
    for (auto& c : s) {
        unsigned char u = c;
        if (u >= 0x80) { start = false; continue; }
        if (mode == 0) c = static_cast<char>(std::toupper(u));
        else if (mode == 1) c = static_cast<char>(std::tolower(u));
        else {
            c = static_cast<char>(start ? std::toupper(u) : std::tolower(u));
            start = !std::isalnum(u);
        }
    }
    ResultText(ctx, s);
}
void fUpper(sqlite3_context* c, int n, sqlite3_value** a) { fCase(c, n, a, 0); }
void fLower(sqlite3_context* c, int n, sqlite3_value** a) { fCase(c, n, a, 1); }
void fInitcap(sqlite3_context* c, int n, sqlite3_value** a) { fCase(c, n, a, 2); }

void fPad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1]) || (argc > 2 && IsNull(argv[2]))) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumberText(Num(argv[0])) : Text(argv[0]);
    double nd = std::trunc(Num(argv[1]));
    if (nd < 1) { sqlite3_result_null(ctx); return; }
    size_t n = static_cast<size_t>(std::min(nd, 32767.0));
    std::vector<std::string> pad = Chars(argc > 2 ? Text(argv[2]) : std::string(" "));
    std::vector<std::string> cs = Chars(s);
    if (cs.size() >= n) { ResultText(ctx, SubChars(s, 0, n)); return; }
    std::string fill;
    for (size_t k = 0; k < n - cs.size(); ++k) fill += pad[k % pad.size()];
    ResultText(ctx, left ? fill + s : s + fill);
    GUARD_END
}
void fLpad(sqlite3_context* c, int n, sqlite3_value** a) { fPad(c, n, a, true); }
void fRpad(sqlite3_context* c, int n, sqlite3_value** a) { fPad(c, n, a, false); }

void fTrimImpl(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool leading, bool trailing) {
    if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    std::string s = (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ? NumberText(sqlite3_value_double(argv[0])) : Text(argv[0]);
    std::vector<std::string> cs = Chars(s);
    std::vector<std::string> set = Chars(argc > 1 ? Text(argv[1]) : std::string(" "));
    auto in = [&](const std::string& c) { return std::find(set.begin(), set.end(), c) != set.end(); };
    size_t b = 0, e = cs.size();
    if (leading) while (b < e && in(cs[b])) ++b;
    if (trailing) while (e > b && in(cs[e - 1])) --e;
    std::string r;
    for (size_t k = b; k < e; ++k) r += cs[k];
    ResultText(ctx, r);
}
void fLtrim(sqlite3_context* c, int n, sqlite3_value** a) { fTrimImpl(c, n, a, true, false); }
void fRtrim(sqlite3_context* c, int n, sqlite3_value** a) { fTrimImpl(c, n, a, false, true); }
void fTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // ora_trim(x, mode, [char])
    std::string mode = Text(argv[1]);
    sqlite3_value* args[2] = {argv[0], argc > 2 ? argv[2] : nullptr};
    fTrimImpl(ctx, argc > 2 ? 2 : 1, args, mode != "TRAILING", mode != "LEADING");
}

void fReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string s = Text(argv[0]);
    std::string from = IsNull(argv[1]) ? "" : Text(argv[1]);
    std::string to = argc > 2 && !IsNull(argv[2]) ? Text(argv[2]) : "";
    if (from.empty()) { ResultText(ctx, s); return; }
    std::string r;
    size_t p = 0;
    while (true) {
        size_t f = s.find(from, p);
        if (f == std::string::npos) { r += s.substr(p); break; }
        r += s.substr(p, f - p) + to;
        p = f + from.size();
    }
    ResultText(ctx, r);
}

void fTranslate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) { sqlite3_result_null(ctx); return; }
    std::vector<std::string> s = Chars(Text(argv[0])), from = Chars(Text(argv[1])), to = Chars(Text(argv[2]));
    std::string r;
    for (auto& c : s) {
        auto it = std::find(from.begin(), from.end(), c);
        if (it == from.end()) { r += c; continue; }
        size_t k = static_cast<size_t>(it - from.begin());
        if (k < to.size()) r += to[k];
    }
    ResultText(ctx, r);
}

void fSoundex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string s = Text(argv[0]);
    static const char* codes = "01230120022455012623010202";   // A..Z
    std::string r;
    char last = 0;
    for (unsigned char c : s) {
        if (!std::isalpha(c)) continue;
        char u = static_cast<char>(std::toupper(c));
        char code = codes[u - 'A'];
        if (r.empty()) { r += u; last = code; continue; }
        if (u == 'H' || u == 'W') continue;
        if (code != '0' && code != last) r += code;
        last = code;
        if (r.size() == 4) break;
    }
    if (r.empty()) { sqlite3_result_null(ctx); return; }
    r.resize(4, '0');
    ResultText(ctx, r);
}

double Scale(sqlite3_value** argv, int argc) { return argc > 1 && !IsNull(argv[1]) ? std::trunc(Num(argv[1])) : 0; }

void fRoundNum(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) { sqlite3_result_null(ctx); return; }
    double v = Num(argv[0]), m = std::pow(10.0, Scale(argv, argc));
    double x = v * m;
    // round half away from zero, tolerant of binary representation (2.675 rounds to 2.68)
    double r = std::round(x + (x >= 0 ? 1e-9 : -1e-9)) / m;
    ResultNumber(ctx, r);
    GUARD_END
}
void fTruncNum(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) { sqlite3_result_null(ctx); return; }
    double v = Num(argv[0]), m = std::pow(10.0, Scale(argv, argc));
    double x = v * m;
    ResultNumber(ctx, std::trunc(x + (x >= 0 ? 1e-9 : -1e-9)) / m);
    GUARD_END
}

double TruncDate(double jd, std::string fmt) {
    int y, m, d, hh, mi, ss;
    CivilFromJulian(jd, y, m, d, hh, mi, ss);
    for (auto& c : fmt) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (fmt.empty() || fmt == "DD" || fmt == "DDD" || fmt == "J") return JulianFromCivil(y, m, d, 0, 0, 0);
    if (fmt == "MM" || fmt == "MON" || fmt == "MONTH" || fmt == "RM") return JulianFromCivil(y, m, 1, 0, 0, 0);
    if (fmt == "YYYY" || fmt == "YEAR" || fmt == "YY" || fmt == "Y" || fmt == "RR" || fmt == "RRRR" || fmt == "SYYYY" || fmt == "YYY")
        return JulianFromCivil(y, 1, 1, 0, 0, 0);
    if (fmt == "Q") return JulianFromCivil(y, (m - 1) / 3 * 3 + 1, 1, 0, 0, 0);
    if (fmt == "HH" || fmt == "HH24" || fmt == "HH12") return JulianFromCivil(y, m, d, hh, 0, 0);
    if (fmt == "MI") return JulianFromCivil(y, m, d, hh, mi, 0);
    if (fmt == "DAY" || fmt == "DY" || fmt == "D") {
        int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
        int wday = static_cast<int>(((days % 7) + 11) % 7);
        return JulianFromCivil(y, m, d, 0, 0, 0) - wday;
    }
    Raise(1898, "too many precision specifiers");
}

void fTruncDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    sqlite3_result_double(ctx, TruncDate(Num(argv[0]), argc > 1 ? Text(argv[1]) : ""));
    GUARD_END
}
void fRoundDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    std::string fmt = argc > 1 ? Text(argv[1]) : "";
    double v = Num(argv[0]);
    if (fmt.empty() || fmt == "DD") sqlite3_result_double(ctx, TruncDate(v + 0.5, ""));
    else sqlite3_result_double(ctx, TruncDate(v, fmt));
    GUARD_END
}

void fMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    double a = Num(argv[0]), b = Num(argv[1]);
    ResultNumber(ctx, b == 0 ? a : a - b * std::trunc(a / b));
    GUARD_END
}

void fMath(sqlite3_context* ctx, int argc, sqlite3_value** argv, int op) {
    GUARD_BEGIN
    for (int i = 0; i < argc; ++i) if (IsNull(argv[i])) { sqlite3_result_null(ctx); return; }
    double a = Num(argv[0]);
    double r = 0;
    switch (op) {
    case 0: r = std::fabs(a); break;
    case 1: r = a > 0 ? 1 : a < 0 ? -1 : 0; break;
    case 2: r = std::floor(a); break;
    case 3: r = std::ceil(a); break;
    case 4: r = std::pow(a, Num(argv[1])); break;
    case 5: if (a < 0) Raise(1428, "argument '" + NumberText(a) + "' is out of range"); r = std::sqrt(a); break;
    case 6: r = std::exp(a); break;
    case 7: if (a <= 0) Raise(1428, "argument '" + NumberText(a) + "' is out of range"); r = std::log(a); break;
    case 8: r = std::log(Num(argv[1])) / std::log(a); break;
    case 9: { double b = Num(argv[1]); r = b == 0 ? a : a - b * std::round(a / b); break; }
    }
    ResultNumber(ctx, r);
    GUARD_END
}
void fAbs(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 0); }
void fSign(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 1); }
void fFloor(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 2); }
void fCeil(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 3); }
void fPower(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 4); }
void fSqrt(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 5); }
void fExp(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 6); }
void fLn(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 7); }
void fLog(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 8); }
void fRemainder(sqlite3_context* c, int n, sqlite3_value** a) { fMath(c, n, a, 9); }

// ora_greatest(kind, a, b, ...): kind 'N' compares numbers, 'S' text, 'D' dates.
void fGreatLeast(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
    GUARD_BEGIN
    for (int i = 1; i < argc; ++i) if (IsNull(argv[i])) { sqlite3_result_null(ctx); return; }
    std::string kind = Text(argv[0]);
    int best = 1;
    for (int i = 2; i < argc; ++i) {
        bool better;
        if (kind == "S") {
            std::string a = Text(argv[i]), b = Text(argv[best]);
            better = greatest ? a > b : a < b;
        } else {
            double a = Num(argv[i]), b = Num(argv[best]);
            better = greatest ? a > b : a < b;
        }
        if (better) best = i;
    }
    if (kind == "N") ResultNumber(ctx, Num(argv[best]));
    else if (kind == "S") {
        int t = sqlite3_value_type(argv[best]);
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) ResultText(ctx, NumberText(Num(argv[best])));
        else sqlite3_result_value(ctx, argv[best]);
    } else sqlite3_result_value(ctx, argv[best]);
    GUARD_END
}
void fGreatest(sqlite3_context* c, int n, sqlite3_value** a) { fGreatLeast(c, n, a, true); }
void fLeast(sqlite3_context* c, int n, sqlite3_value** a) { fGreatLeast(c, n, a, false); }

int LastDay(int y, int m) {
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return dm[m - 1];
}

void fAddMonths(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    int y, m, d, hh, mi, ss;
    CivilFromJulian(Num(argv[0]), y, m, d, hh, mi, ss);
    int add = static_cast<int>(std::trunc(Num(argv[1])));
    bool wasLast = d == LastDay(y, m);
    int total = y * 12 + (m - 1) + add;
    int ny = total / 12, nm = total % 12 + 1;
    if (total < 0) { ny = (total - 11) / 12; nm = total - ny * 12 + 1; }
    int nd = wasLast ? LastDay(ny, nm) : std::min(d, LastDay(ny, nm));
    sqlite3_result_double(ctx, JulianFromCivil(ny, nm, nd, hh, mi, ss));
    GUARD_END
}

void fLastDay(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int y, m, d, hh, mi, ss;
    CivilFromJulian(Num(argv[0]), y, m, d, hh, mi, ss);
    sqlite3_result_double(ctx, JulianFromCivil(y, m, LastDay(y, m), hh, mi, ss));
    GUARD_END
}

void fMonthsBetween(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    int y1, m1, d1, h1, i1, s1, y2, m2, d2, h2, i2, s2;
    double a = Num(argv[0]), b = Num(argv[1]);
    CivilFromJulian(a, y1, m1, d1, h1, i1, s1);
    CivilFromJulian(b, y2, m2, d2, h2, i2, s2);
    double months = (y1 - y2) * 12 + (m1 - m2);
    if (d1 == d2 || (d1 == LastDay(y1, m1) && d2 == LastDay(y2, m2))) {
        ResultNumber(ctx, months);
        return;
    }
    double frac = ((d1 - d2) + ((h1 - h2) * 3600 + (i1 - i2) * 60 + (s1 - s2)) / 86400.0) / 31.0;
    ResultNumber(ctx, months + frac);
    GUARD_END
}

void fNextDay(sqlite3_context* ctx, int, sqlite3_value** argv) {
    GUARD_BEGIN
    if (IsNull(argv[0]) || IsNull(argv[1])) { sqlite3_result_null(ctx); return; }
    std::string w = Text(argv[1]);
    int target = -1;
    for (int k = 0; k < 7; ++k) if (StartsWithCI(w, 0, std::string(kDays[k]).substr(0, 3).c_str())) target = k;
    if (target < 0) Raise(1846, "not a valid day of the week");
    double v = Num(argv[0]);
    int y, m, d, hh, mi, ss;
    CivilFromJulian(v, y, m, d, hh, mi, ss);
    int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    int wday = static_cast<int>(((days % 7) + 11) % 7);
    int add = (target - wday + 7) % 7;
    if (add == 0) add = 7;
    sqlite3_result_double(ctx, v + add);
    GUARD_END
}

void fDecodeEq(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // DECODE compares NULL equal to NULL
    bool an = IsNull(argv[0]), bn = IsNull(argv[1]);
    if (an || bn) { sqlite3_result_int(ctx, an && bn); return; }
    int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    if ((ta == SQLITE_INTEGER || ta == SQLITE_FLOAT) && (tb == SQLITE_INTEGER || tb == SQLITE_FLOAT)) {
        sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) == sqlite3_value_double(argv[1]));
        return;
    }
    if (ta == SQLITE_INTEGER || ta == SQLITE_FLOAT) {
        double d;
        sqlite3_result_int(ctx, ParseNumber(Text(argv[1]), d) && d == sqlite3_value_double(argv[0]));
        return;
    }
    sqlite3_result_int(ctx, Text(argv[0]) == Text(argv[1]));
}

void fRaise(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string msg = Text(argv[0]);
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

void fRawToHex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    const unsigned char* b = static_cast<const unsigned char*>(sqlite3_value_blob(argv[0]));
    int n = sqlite3_value_bytes(argv[0]);
    std::string r;
    char h[3];
    for (int i = 0; i < n; ++i) { std::snprintf(h, sizeof h, "%02X", b[i]); r += h; }
    ResultText(ctx, r);
}

void fNumericCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    // ora_num(x): x as a number for comparisons against number columns (ORA-01722 on bad text)
    GUARD_BEGIN
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) { sqlite3_result_value(ctx, argv[0]); return; }
    int64_t whole;
    if (WholeOf(argv[0], whole)) { sqlite3_result_int64(ctx, whole); return; }
    ResultNumber(ctx, Num(argv[0]));
    GUARD_END
}

void fNullIfEmpty(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 0) sqlite3_result_null(ctx);
    else sqlite3_result_value(ctx, argv[0]);
}

void fVsize(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) { sqlite3_result_null(ctx); return; }
    sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
}

void fVisible(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, Host(ctx)->Visible(Text(argv[0]), Text(argv[1])) ? 1 : 0);
}

// ora_pack(column, v1, v2, ...): the outer values a CURSOR(...) column's query takes, as one
// BLOB: per value its SQLite type byte, then 8 bytes (integer, real) or a 4-byte length and
// the bytes (text, blob); nothing more for NULL (see UnpackValues).
void fPack(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    out.push_back('P');
    for (int i = 1; i < argc; ++i) {
        int t = sqlite3_value_type(argv[i]);
        out.push_back(static_cast<char>(t));
        if (t == SQLITE_INTEGER) {
            int64_t v = sqlite3_value_int64(argv[i]);
            out.append(reinterpret_cast<const char*>(&v), sizeof v);
        } else if (t == SQLITE_FLOAT) {
            double v = sqlite3_value_double(argv[i]);
            out.append(reinterpret_cast<const char*>(&v), sizeof v);
        } else if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
            const void* p = t == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(argv[i])) : sqlite3_value_blob(argv[i]);
            uint32_t n = static_cast<uint32_t>(sqlite3_value_bytes(argv[i]));
            out.append(reinterpret_cast<const char*>(&n), sizeof n);
            if (n) out.append(static_cast<const char*>(p), n);
        }
    }
    sqlite3_result_blob(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

struct FnDef {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

} // namespace

void RegisterFunctions(sqlite3* db, FunctionHost* host) {
    static const FnDef defs[] = {
        {"ora_concat", -1, fConcat, true}, {"ora_numtext", 1, fNumText, true}, {"ora_datetext", 1, fDateText, false},
        {"ora_arith", 3, fArith, true}, {"ora_arith", -1, fArith, true}, {"ora_neg", 1, fNeg, true}, {"ora_dateadd", 2, fDateArith, true},
        {"ora_datediff", 2, fDateDiff, true}, {"ora_to_number", 1, fToNumberValue, true},
        {"ora_to_number", 2, fToNumberValue, true}, {"ora_to_date", 1, fToDate, false}, {"ora_to_date", 2, fToDate, false},
        {"ora_to_char_date", 1, fToCharDate, false}, {"ora_to_char_date", 2, fToCharDate, false},
        {"ora_to_char_num", 1, fToCharNum, true}, {"ora_to_char_num", 2, fToCharNum, true},
        {"ora_sysdate", 0, fSysdate, false}, {"ora_systimestamp", 0, fSystimestamp, false},
        {"ora_to_timestamp", 1, fToTimestamp, false}, {"ora_to_timestamp", 2, fToTimestamp, false}, {"ora_user", 0, fUser, false}, {"ora_uid", 0, fUid, false},
        {"ora_userenv", 1, fUserenv, false}, {"ora_userenv", 2, fUserenv, false}, {"ora_nextval", 1, fNextval, false},
        {"ora_currval", 1, fCurrval, false}, {"ora_rownum", 1, fRownum, false}, {"ora_rowid", 2, fRowid, true},
        {"ora_rowidnum", 2, fRowidNum, true}, {"ora_store", 2, fStore, false}, {"ora_nvl", 2, fNvl, true},
        {"ora_nvl2", 3, fNvl2, true}, {"ora_length", 1, fLength, true}, {"ora_lengthb", 2, fLengthb, false},
        {"ora_chr", 2, fChr, false}, {"ora_ascii", 1, fAscii, true}, {"ora_substr", 2, fSubstr, true},
        {"ora_substr", 3, fSubstr, true}, {"ora_instr", 2, fInstr, true}, {"ora_instr", 3, fInstr, true},
        {"ora_instr", 4, fInstr, true}, {"ora_upper", 1, fUpper, true}, {"ora_lower", 1, fLower, true},
        {"ora_initcap", 1, fInitcap, true}, {"ora_lpad", 2, fLpad, true}, {"ora_lpad", 3, fLpad, true},
        {"ora_rpad", 2, fRpad, true}, {"ora_rpad", 3, fRpad, true}, {"ora_ltrim", 1, fLtrim, true},
        {"ora_ltrim", 2, fLtrim, true}, {"ora_rtrim", 1, fRtrim, true}, {"ora_rtrim", 2, fRtrim, true},
        {"ora_trim", 2, fTrim, true}, {"ora_trim", 3, fTrim, true}, {"ora_replace", 2, fReplace, true},
        {"ora_replace", 3, fReplace, true}, {"ora_translate", 3, fTranslate, true}, {"ora_soundex", 1, fSoundex, true},
        {"ora_round", 1, fRoundNum, true}, {"ora_round", 2, fRoundNum, true}, {"ora_trunc", 1, fTruncNum, true},
        {"ora_trunc", 2, fTruncNum, true}, {"ora_trunc_date", 1, fTruncDate, true}, {"ora_trunc_date", 2, fTruncDate, true},
        {"ora_round_date", 1, fRoundDate, true}, {"ora_round_date", 2, fRoundDate, true}, {"ora_mod", 2, fMod, true},
        {"ora_abs", 1, fAbs, true}, {"ora_sign", 1, fSign, true}, {"ora_floor", 1, fFloor, true},
        {"ora_ceil", 1, fCeil, true}, {"ora_power", 2, fPower, true}, {"ora_sqrt", 1, fSqrt, true},
        {"ora_exp", 1, fExp, true}, {"ora_ln", 1, fLn, true}, {"ora_log", 2, fLog, true},
        {"ora_remainder", 2, fRemainder, true}, {"ora_greatest", -1, fGreatest, true}, {"ora_least", -1, fLeast, true},
        {"ora_add_months", 2, fAddMonths, true}, {"ora_last_day", 1, fLastDay, true},
        {"ora_months_between", 2, fMonthsBetween, true}, {"ora_next_day", 2, fNextDay, true},
        {"ora_decode_eq", 2, fDecodeEq, true}, {"ora_raise", 1, fRaise, true}, {"ora_rawtohex", 1, fRawToHex, true},
        {"ora_num", 1, fNumericCheck, true}, {"ora_nullif_empty", 1, fNullIfEmpty, true}, {"ora_vsize", 1, fVsize, true}, {"ora_visible", 2, fVisible, false},
        {"ora_pack", -1, fPack, true},
    };
    for (const auto& d : defs) {
        int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, d.name, d.argc, flags, host, d.fn, nullptr, nullptr, nullptr);
    }
}

} // namespace ocisim::rt
