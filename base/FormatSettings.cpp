#include "base/FormatSettings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace quorvel {
namespace {

std::mutex gSettingsLock;
std::shared_ptr<const TFormatSettings> gSettings;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view what) {
    if (what.empty() || pos + what.size() > s.size()) return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (Lower(s[pos + i]) != Lower(what[i])) return false;
    return true;
}

// ----- locale -----

bool IsCLocaleName(const char* name) {
    if (!name || !*name) return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

const char* EnvLocaleName(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return v;
    }
    return nullptr;
}

// Turns a strftime date or time format into a pattern; the first separator character found
// between fields is reported in separator.
std::string PatternFromStrftime(const char* fmt, char sepToken, char& separator, bool& twelveHour) {
    std::string out;
    std::string literal;
    auto flush = [&]() {
        for (char c : literal) {
            unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x80 && std::ispunct(u) && c != '"' && c != '\'' && c != ',') {
                if (separator == 0) separator = c;
                out += c == separator ? sepToken : c;
            } else if (c == ' ' || c == ',') {
                out += c;
            } else {
                out += '"';
                out += c;
                out += '"';
            }
        }
        literal.clear();
    };
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') { literal += *p; continue; }
        ++p;
        while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#') ++p;
        if (!*p) break;
        flush();
        switch (*p) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "mm"; break;
        case 'y': case 'Y': case 'C': case 'G': out += "yyyy"; break;
        case 'b': case 'h': out += "mmm"; break;
        case 'B': out += "mmmm"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'H': case 'k': out += "hh"; break;
        case 'I': case 'l': out += "hh"; twelveHour = true; break;
        case 'M': out += "nn"; break;
        case 'S': out += "ss"; break;
        case 'p': case 'P': out += "ampm"; twelveHour = true; break;
        case 'T': literal = ""; out += "hh"; if (!separator) separator = ':'; out += sepToken; out += "nn"; out += sepToken; out += "ss"; break;
        case 'R': out += "hh"; if (!separator) separator = ':'; out += sepToken; out += "nn"; break;
        case 'D': if (!separator) separator = '/'; out += "mm"; out += sepToken; out += "dd"; out += sepToken; out += "yyyy"; break;
        case 'F': if (!separator) separator = '-'; out += "yyyy"; out += sepToken; out += "mm"; out += sepToken; out += "dd"; break;
        case 'r': out += "hh"; if (!separator) separator = ':'; out += sepToken; out += "nn"; out += sepToken; out += "ss ampm"; twelveHour = true; break;
        case '%': literal += '%'; break;
        default: break;
        }
    }
    flush();
    return out;
}

TFormatSettings SettingsOfLocale(locale_t loc) {
    auto info = [&](nl_item item) -> std::string {
        const char* v = nl_langinfo_l(item, loc);
        return v ? std::string(v) : std::string();
    };
    TFormatSettings::TLocaleFormats f;
    f.DateFormat = info(D_FMT);
    f.TimeFormat = info(T_FMT);
    f.DecimalPoint = info(RADIXCHAR);
    f.ThousandsSeparator = info(THOUSEP);
    f.AM = info(AM_STR);
    f.PM = info(PM_STR);
    TFormatSettings fs = TFormatSettings::FromLocaleFormats(f);
    for (int i = 0; i < 12; ++i) {
        std::string s = info(nl_item(ABMON_1 + i)), l = info(nl_item(MON_1 + i));
        if (!s.empty()) fs.ShortMonthNames[i] = s;
        if (!l.empty()) fs.LongMonthNames[i] = l;
    }
    for (int i = 0; i < 7; ++i) {
        std::string s = info(nl_item(ABDAY_1 + i)), l = info(nl_item(DAY_1 + i));
        if (!s.empty()) fs.ShortDayNames[i] = s;
        if (!l.empty()) fs.LongDayNames[i] = l;
    }
    return fs;
}

// ----- formatting -----

void AppendNumber(std::string& out, int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
}

bool HasAmPmAhead(std::string_view f, size_t pos) {
    bool quote = false;
    char q = 0;
    for (size_t i = pos; i < f.size(); ++i) {
        char c = f[i];
        if (quote) { if (c == q) quote = false; continue; }
        if (c == '"' || c == '\'') { quote = true; q = c; continue; }
        if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") || StartsWithNoCase(f, i, "ampm")) return true;
    }
    return false;
}

struct Parts {
    int y, mo, d, h, mi, s, ms, dow;
    bool hasTime;
};

void Format(std::string& out, std::string_view f, const Parts& p, const TFormatSettings& fs, int depth) {
    if (depth > 2) return;
    bool lastWasHour = false;
    size_t i = 0;
    while (i < f.size()) {
        char c = f[i];
        char lc = Lower(c);
        size_t run = 1;
        while (i + run < f.size() && Lower(f[i + run]) == lc) ++run;
        bool hourToken = false;
        switch (lc) {
        case '"':
        case '\'': {
            size_t end = f.find(c, i + 1);
            if (end == std::string_view::npos) end = f.size();
            out.append(f.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        case 'c':
            Format(out, fs.ShortDateFormat, p, fs, depth + 1);
            if (p.hasTime) {
                out += ' ';
                Format(out, fs.LongTimeFormat, p, fs, depth + 1);
            }
            i += 1;
            continue;
        case 'd':
            if (run == 1) AppendNumber(out, p.d, 1);
            else if (run == 2) AppendNumber(out, p.d, 2);
            else if (run == 3) { if (p.dow >= 1) out += fs.ShortDayNames[p.dow - 1]; }
            else if (run == 4) { if (p.dow >= 1) out += fs.LongDayNames[p.dow - 1]; }
            else if (run == 5) Format(out, fs.ShortDateFormat, p, fs, depth + 1);
            else Format(out, fs.LongDateFormat, p, fs, depth + 1);
            i += run;
            break;
        case 'm':
            if (lastWasHour && run <= 2) {
                AppendNumber(out, p.mi, run == 1 ? 1 : 2);
            } else if (run == 1) AppendNumber(out, p.mo, 1);
            else if (run == 2) AppendNumber(out, p.mo, 2);
            else if (run == 3) { if (p.mo >= 1) out += fs.ShortMonthNames[p.mo - 1]; }
            else { if (p.mo >= 1) out += fs.LongMonthNames[p.mo - 1]; }
            i += run;
            break;
        case 'y':
            if (run <= 2) AppendNumber(out, p.y % 100, 2);
            else AppendNumber(out, p.y, 4);
            i += run;
            break;
        case 'h': {
            int h = p.h;
            if (HasAmPmAhead(f, i + run)) {
                h %= 12;
                if (h == 0) h = 12;
            }
            AppendNumber(out, h, run == 1 ? 1 : 2);
            hourToken = true;
            i += run;
            break;
        }
        case 'n':
            AppendNumber(out, p.mi, run == 1 ? 1 : 2);
            i += run;
            break;
        case 's':
            AppendNumber(out, p.s, run == 1 ? 1 : 2);
            i += run;
            break;
        case 'z':
            AppendNumber(out, p.ms, run == 1 ? 1 : 3);
            i += run;
            break;
        case 't':
            Format(out, run == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
            i += run;
            break;
        case 'a':
            if (StartsWithNoCase(f, i, "am/pm")) {
                bool upper = f[i] == 'A';
                out += p.h < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
                i += 5;
            } else if (StartsWithNoCase(f, i, "a/p")) {
                bool upper = f[i] == 'A';
                out += p.h < 12 ? (upper ? 'A' : 'a') : (upper ? 'P' : 'p');
                i += 3;
            } else if (StartsWithNoCase(f, i, "ampm")) {
                out += p.h < 12 ? fs.TimeAMString : fs.TimePMString;
                i += 4;
            } else {
                out += c;
                i += 1;
            }
            break;
        case '/':
            out += fs.DateSeparator;
            i += 1;
            break;
        case ':':
            out += fs.TimeSeparator;
            i += 1;
            break;
        default:
            out += c;
            i += 1;
            // Blanks and other literals keep "h:m" together.
            continue;
        }
        lastWasHour = hourToken ? true : (lc == 'h' ? true : (lc == 'm' || lc == 'n' || lc == 's' || lc == 'z' || lc == 'd' || lc == 'y' || lc == 't' || lc == 'c' ? false : lastWasHour));
    }
}

// ----- parsing -----

struct Scanner {
    std::string_view s;
    size_t pos = 0;
    void SkipBlanks() { while (pos < s.size() && IsBlank(s[pos])) ++pos; }
    bool AtEnd() const { return pos >= s.size(); }
    bool Char(char c) {
        if (pos < s.size() && s[pos] == c) { ++pos; return true; }
        return false;
    }
    bool Number(int& value, int& digits, int maxDigits = 4) {
        digits = 0;
        value = 0;
        while (pos < s.size() && IsDigit(s[pos]) && digits < maxDigits + 1) {
            value = value * 10 + (s[pos] - '0');
            ++pos;
            ++digits;
        }
        return digits > 0 && digits <= maxDigits;
    }
};

enum DateOrder { doMDY, doDMY, doYMD };

DateOrder OrderOf(std::string_view f) {
    bool quote = false;
    char q = 0;
    for (char c : f) {
        if (quote) { if (c == q) quote = false; continue; }
        if (c == '"' || c == '\'') { quote = true; q = c; continue; }
        switch (Lower(c)) {
        case 'd': return doDMY;
        case 'm': return doMDY;
        case 'y': case 'e': return doYMD;
        default: break;
        }
    }
    return doMDY;
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTime& result) {
    sc.SkipBlanks();
    int n[3] = {0, 0, 0}, len[3] = {0, 0, 0};
    if (!sc.Number(n[0], len[0])) return false;
    if (!sc.Char(fs.DateSeparator)) return false;
    if (!sc.Number(n[1], len[1])) return false;
    int count = 2;
    size_t save = sc.pos;
    if (sc.Char(fs.DateSeparator)) {
        if (sc.Number(n[2], len[2])) count = 3;
        else sc.pos = save + 1; // a trailing separator is allowed
    }
    int y, m, d, ylen = 4;
    DateOrder order = OrderOf(fs.ShortDateFormat);
    if (count == 3) {
        switch (order) {
        case doMDY: m = n[0]; d = n[1]; y = n[2]; ylen = len[2]; break;
        case doDMY: d = n[0]; m = n[1]; y = n[2]; ylen = len[2]; break;
        default: y = n[0]; m = n[1]; d = n[2]; ylen = len[0]; break;
        }
        if (ylen <= 2) {
            int base = CurrentYear() - fs.TwoDigitYearCenturyWindow;
            y += base / 100 * 100;
            if (fs.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
        }
    } else {
        y = CurrentYear();
        if (order == doDMY) { d = n[0]; m = n[1]; }
        else { m = n[0]; d = n[1]; }
    }
    return TryEncodeDate(y, m, d, result);
}

bool ScanAmPm(Scanner& sc, const TFormatSettings& fs, int& which) {
    sc.SkipBlanks();
    which = 0;
    for (auto [text, w] : {std::pair<std::string_view, int>{fs.TimeAMString, 1}, {fs.TimePMString, 2},
                           {"AM", 1}, {"PM", 2}, {"A", 1}, {"P", 2}}) {
        if (StartsWithNoCase(sc.s, sc.pos, text)) {
            sc.pos += text.size();
            which = w;
            return true;
        }
    }
    return false;
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTime& result) {
    sc.SkipBlanks();
    int ampm = 0;
    bool leading = ScanAmPm(sc, fs, ampm);
    if (leading) sc.SkipBlanks();
    int h, mi = 0, s = 0, ms = 0, len;
    if (!sc.Number(h, len, 2)) return false;
    bool minutes = false;
    if (sc.Char(fs.TimeSeparator)) {
        if (!sc.Number(mi, len, 2)) return false;
        minutes = true;
        if (sc.Char(fs.TimeSeparator)) {
            if (!sc.Number(s, len, 2)) return false;
            if (sc.Char(fs.DecimalSeparator)) {
                if (!sc.Number(ms, len, 3)) return false;
                if (len == 1) ms *= 100;
                else if (len == 2) ms *= 10;
            }
        }
    }
    if (!leading) ScanAmPm(sc, fs, ampm);
    if (!minutes && ampm == 0) return false;
    if (ampm != 0) {
        if (h < 1 || h > 12) return false;
        if (ampm == 1 && h == 12) h = 0;
        else if (ampm == 2 && h < 12) h += 12;
    }
    return TryEncodeTime(h, mi, s, ms, result);
}

bool Finished(Scanner& sc) {
    sc.SkipBlanks();
    return sc.AtEnd();
}

[[noreturn]] void RaiseConvert(std::string_view text, const char* what) {
    throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

std::shared_ptr<const TFormatSettings> Current() {
    std::lock_guard<std::mutex> lock(gSettingsLock);
    if (!gSettings) gSettings = std::make_shared<const TFormatSettings>(TFormatSettings::FromLocale());
    return gSettings;
}

// Exact decimal digits and exponent of a double rounded to precision significant digits.
void Digits(double v, int precision, std::string& digits, int& exponent) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, v);
    digits.clear();
    const char* p = buf;
    if (*p == '-') ++p;
    for (; *p && *p != 'e'; ++p)
        if (IsDigit(*p)) digits += *p;
    exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

} // namespace

TFormatSettings TFormatSettings::Invariant() {
    TFormatSettings fs;
    fs.ShortDateFormat = "yyyy/mm/dd";
    fs.DateSeparator = '-';
    fs.LongDateFormat = "dddd, d mmmm yyyy";
    fs.ShortTimeFormat = "hh:nn";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = '.';
    fs.ThousandSeparator = ',';
    return fs;
}

TFormatSettings TFormatSettings::FromLocaleFormats(const TLocaleFormats& f) {
    TFormatSettings fs = Invariant();
    char dateSep = 0, timeSep = 0;
    bool twelve = false, timeTwelve = false;
    std::string date = PatternFromStrftime(f.DateFormat.c_str(), '/', dateSep, twelve);
    std::string time = PatternFromStrftime(f.TimeFormat.c_str(), ':', timeSep, timeTwelve);
    if (!date.empty()) {
        fs.ShortDateFormat = date;
        if (dateSep) fs.DateSeparator = dateSep;
    }
    if (!time.empty()) {
        if (timeTwelve && time.find("ampm") == std::string::npos) time += " ampm";
        fs.LongTimeFormat = time;
        // The short time is the long one without its seconds.
        size_t ss = time.find(":ss");
        fs.ShortTimeFormat = ss == std::string::npos ? time : time.substr(0, ss) + time.substr(ss + 3);
        fs.TimeSeparator = timeSep ? timeSep : ':';
    }
    if (f.DecimalPoint.size() == 1) fs.DecimalSeparator = f.DecimalPoint[0];
    if (f.ThousandsSeparator.size() == 1 && f.ThousandsSeparator[0] != fs.DecimalSeparator) fs.ThousandSeparator = f.ThousandsSeparator[0];
    else fs.ThousandSeparator = fs.DecimalSeparator == ',' ? '.' : ',';
    if (!f.AM.empty() && !f.PM.empty()) {
        fs.TimeAMString = f.AM;
        fs.TimePMString = f.PM;
    }
    return fs;
}

TFormatSettings TFormatSettings::FromLocale() {
    if (IsCLocaleName(EnvLocaleName("LC_TIME")) && IsCLocaleName(EnvLocaleName("LC_NUMERIC"))) return Invariant();
    locale_t loc = newlocale(LC_ALL_MASK, "", locale_t(0));
    if (loc == locale_t(0)) return Invariant();
    TFormatSettings fs = SettingsOfLocale(loc);
    freelocale(loc);
    return fs;
}

TFormatSettings TFormatSettings::FromLocale(const char* localeName) {
    if (IsCLocaleName(localeName)) return Invariant();
    locale_t loc = newlocale(LC_ALL_MASK, localeName, locale_t(0));
    if (loc == locale_t(0)) return Invariant();
    TFormatSettings fs = SettingsOfLocale(loc);
    freelocale(loc);
    return fs;
}

TFormatSettings FormatSettings() { return *Current(); }
std::shared_ptr<const TFormatSettings> CurrentFormatSettings() { return Current(); }

void SetFormatSettings(const TFormatSettings& settings) {
    auto next = std::make_shared<const TFormatSettings>(settings);
    std::lock_guard<std::mutex> lock(gSettingsLock);
    gSettings = std::move(next);
}

void ResetFormatSettings() { SetFormatSettings(TFormatSettings::FromLocale()); }

std::string FormatDateTime(std::string_view format, TDateTime value) { return FormatDateTime(format, value, *Current()); }

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs) {
    Parts p{};
    DecodeDateTime(value, p.y, p.mo, p.d, p.h, p.mi, p.s, p.ms);
    p.dow = DayOfWeek(value);
    p.hasTime = p.h != 0 || p.mi != 0 || p.s != 0 || p.ms != 0;
    std::string out;
    Format(out, format, p, fs, 0);
    return out;
}

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value, *Current()); }
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("c", value, fs); }
std::string DateToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("ddddd", value, fs); }
std::string TimeToStr(TDateTime value, const TFormatSettings& fs) { return FormatDateTime("tt", value, fs); }

bool TryStrToDate(std::string_view text, TDateTime& result, const TFormatSettings& fs) {
    Scanner sc{text};
    TDateTime d;
    if (!ScanDate(sc, fs, d) || !Finished(sc)) return false;
    result = d;
    return true;
}

bool TryStrToTime(std::string_view text, TDateTime& result, const TFormatSettings& fs) {
    Scanner sc{text};
    TDateTime t;
    if (!ScanTime(sc, fs, t) || !Finished(sc)) return false;
    result = t;
    return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& result, const TFormatSettings& fs) {
    Scanner sc{text};
    TDateTime d, t;
    if (ScanDate(sc, fs, d)) {
        if (Finished(sc)) {
            result = d;
            return true;
        }
        if (!ScanTime(sc, fs, t) || !Finished(sc)) return false;
        result = ComposeDateTime(d, t);
        return true;
    }
    Scanner tsc{text};
    if (!ScanTime(tsc, fs, t) || !Finished(tsc)) return false;
    result = t;
    return true;
}

TDateTime StrToDate(std::string_view text) { return StrToDate(text, *Current()); }
TDateTime StrToDate(std::string_view text, const TFormatSettings& fs) {
    TDateTime r;
    if (!TryStrToDate(text, r, fs)) RaiseConvert(text, "date");
    return r;
}
TDateTime StrToTime(std::string_view text) { return StrToTime(text, *Current()); }
TDateTime StrToTime(std::string_view text, const TFormatSettings& fs) {
    TDateTime r;
    if (!TryStrToTime(text, r, fs)) RaiseConvert(text, "time");
    return r;
}
TDateTime StrToDateTime(std::string_view text) { return StrToDateTime(text, *Current()); }
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& fs) {
    TDateTime r;
    if (!TryStrToDateTime(text, r, fs)) RaiseConvert(text, "date and time");
    return r;
}

std::string FloatToStr(double value) { return FloatToStrPrec(value, 15, *Current()); }
std::string FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrPrec(value, 15, fs); }

std::string FloatToStrPrec(double value, int precision, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    if (precision < 1) precision = 1;
    if (precision > 18) precision = 18;
    std::string digits;
    int e;
    Digits(value, precision, digits, e);
    std::string out;
    if (value < 0) out += '-';
    if (e >= precision || e < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += fs.DecimalSeparator;
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        if (e < 0) out += '-';
        out += std::to_string(e < 0 ? -e : e);
    } else if (e >= 0) {
        size_t intDigits = size_t(e) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += fs.DecimalSeparator;
            out.append(digits, intDigits, std::string::npos);
        }
    } else {
        out += '0';
        out += fs.DecimalSeparator;
        out.append(size_t(-e - 1), '0');
        out += digits;
    }
    return out;
}

std::string CurrencyToStr(std::int64_t scaled, const TFormatSettings& fs) {
    bool negative = scaled < 0;
    std::uint64_t a = negative ? std::uint64_t(0) - std::uint64_t(scaled) : std::uint64_t(scaled);
    std::string out = negative ? "-" : "";
    out += std::to_string(a / 10000);
    std::uint64_t frac = a % 10000;
    if (frac) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", unsigned(frac));
        std::string f = buf;
        while (f.back() == '0') f.pop_back();
        out += fs.DecimalSeparator;
        out += f;
    }
    return out;
}

namespace {

// Splits a decimal number into a normalised text for from_chars; false when it is malformed.
bool NormaliseFloat(std::string_view text, const TFormatSettings& fs, std::string& norm, bool& hasExponent) {
    std::string_view s = Trim(text);
    norm.clear();
    hasExponent = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') norm += '-';
        ++i;
    }
    int digits = 0;
    bool sep = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (IsDigit(c)) { norm += c; ++digits; }
        else if (c == fs.DecimalSeparator && !sep) { norm += '.'; sep = true; }
        else break;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        hasExponent = true;
        norm += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            if (s[i] == '-') norm += '-';
            ++i;
        }
        int expDigits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i) { norm += s[i]; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

} // namespace

bool TryStrToFloat(std::string_view text, double& result, const TFormatSettings& fs) {
    std::string norm;
    bool hasExponent;
    if (!NormaliseFloat(text, fs, norm, hasExponent)) return false;
    double v = 0;
    auto [ptr, ec] = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Overflow is an error; an underflow is zero.
        size_t e = norm.find('e');
        bool negativeExponent = e != std::string::npos && e + 1 < norm.size() && norm[e + 1] == '-';
        if (!negativeExponent) return false;
        v = norm[0] == '-' ? -0.0 : 0.0;
    } else if (ec != std::errc() || ptr != norm.data() + norm.size()) {
        return false;
    }
    result = v;
    return true;
}

double StrToFloat(std::string_view text) { return StrToFloat(text, *Current()); }
double StrToFloat(std::string_view text, const TFormatSettings& fs) {
    double r;
    if (!TryStrToFloat(text, r, fs)) RaiseConvert(text, "floating point value");
    return r;
}

bool TryStrToCurrency(std::string_view text, std::int64_t& scaled, const TFormatSettings& fs) {
    std::string norm;
    bool hasExponent;
    if (!NormaliseFloat(text, fs, norm, hasExponent)) return false;
    if (hasExponent) {
        double v;
        if (!TryStrToFloat(text, v, fs)) return false;
        double s = std::nearbyint(v * 10000.0);
        if (!(s >= -9.2233720368547758e18 && s < 9.2233720368547758e18)) return false;
        scaled = std::int64_t(s);
        return true;
    }
    // Exact: digits before and after the point, rounded half to even at the fourth decimal.
    bool negative = norm[0] == '-';
    size_t i = negative ? 1 : 0;
    unsigned __int128 acc = 0;
    int decimals = -1;
    int roundDigit = -1;
    bool sticky = false;
    for (; i < norm.size(); ++i) {
        char c = norm[i];
        if (c == '.') { decimals = 0; continue; }
        int d = c - '0';
        if (decimals >= 4) {
            if (roundDigit < 0) roundDigit = d;
            else if (d) sticky = true;
            continue;
        }
        acc = acc * 10 + unsigned(d);
        if (decimals >= 0) ++decimals;
        if (acc > (unsigned __int128)1 << 64) return false;
    }
    if (decimals < 0) decimals = 0;
    for (; decimals < 4; ++decimals) acc *= 10;
    if (roundDigit > 5 || (roundDigit == 5 && (sticky || (acc & 1)))) ++acc;
    unsigned __int128 limit = negative ? ((unsigned __int128)1 << 63) : (((unsigned __int128)1 << 63) - 1);
    if (acc > limit) return false;
    scaled = negative ? std::int64_t(0 - (std::uint64_t)acc) : std::int64_t((std::uint64_t)acc);
    return true;
}

bool TryStrToInt64(std::string_view text, std::int64_t& result) {
    std::string_view s = Trim(text);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) { negative = s[i] == '-'; ++i; }
    int base = 10;
    if (i < s.size() && s[i] == '$') { base = 16; ++i; }
    else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) { base = 16; i += 2; }
    if (i >= s.size()) return false;
    std::uint64_t acc = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (IsDigit(c)) d = c - '0';
        else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f') d = Lower(c) - 'a' + 10;
        else return false;
        if (acc > (UINT64_MAX - std::uint64_t(d)) / std::uint64_t(base)) return false;
        acc = acc * std::uint64_t(base) + std::uint64_t(d);
    }
    if (base == 10) {
        if (negative ? acc > (std::uint64_t(1) << 63) : acc > std::uint64_t(INT64_MAX)) return false;
        result = negative ? std::int64_t(0 - acc) : std::int64_t(acc);
    } else {
        // Hexadecimal gives the bit pattern: $FFFFFFFFFFFFFFFF is -1.
        result = negative ? std::int64_t(0 - acc) : std::int64_t(acc);
    }
    return true;
}

bool TryStrToInt(std::string_view text, std::int32_t& result) {
    std::int64_t v;
    if (!TryStrToInt64(text, v)) return false;
    std::string_view s = Trim(text);
    bool hex = s.find('$') != std::string_view::npos || s.find("0x") != std::string_view::npos || s.find("0X") != std::string_view::npos;
    if (hex && v >= 0 && v <= 0xFFFFFFFFLL) v = std::int32_t(std::uint32_t(v));
    if (v < INT32_MIN || v > INT32_MAX) return false;
    result = std::int32_t(v);
    return true;
}

std::int32_t StrToInt(std::string_view text) {
    std::int32_t r;
    if (!TryStrToInt(text, r)) RaiseConvert(text, "integer value");
    return r;
}

std::int64_t StrToInt64(std::string_view text) {
    std::int64_t r;
    if (!TryStrToInt64(text, r)) RaiseConvert(text, "integer value");
    return r;
}

} // namespace quorvel
