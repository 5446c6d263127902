// Conversions between the client's external data types and the engine's values.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Lob.h"
#include "ocisim/client/internal/Timestamp.h"

#include <charconv>
#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstring>

namespace ocisim::client {

namespace {

void Normalise(Decimal& d) {
    size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
    d.digits.erase(0, lead);
    d.exp10 -= int(lead);
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) { d.negative = false; d.exp10 = 0; }
}

const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
                         "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

std::string Cased(std::string word, const char* pattern) {
    // "MON" -> JAN, "Mon" -> Jan, "mon" -> jan
    bool firstUpper = std::isupper((unsigned char)pattern[0]);
    bool secondUpper = std::isupper((unsigned char)pattern[1]);
    for (size_t i = 0; i < word.size(); ++i) {
        bool up = i == 0 ? firstUpper : (firstUpper && secondUpper);
        word[i] = up ? char(std::toupper((unsigned char)word[i])) : char(std::tolower((unsigned char)word[i]));
    }
    return word;
}

int DayOfWeek(int y, int m, int d) {  // 0 = Sunday
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

bool StartsWithCI(const std::string& s, size_t i, const char* w) {
    size_t n = std::strlen(w);
    if (i + n > s.size()) return false;
    for (size_t k = 0; k < n; ++k)
        if (std::toupper((unsigned char)s[i + k]) != w[k]) return false;
    return true;
}

const char* IconvName(Charset c) {
    switch (c) {
    case Charset::Utf8: return "UTF-8";
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    case Charset::Utf16: return "UTF-16BE";
#else
    case Charset::Utf16: return "UTF-16LE";
#endif
    case Charset::Utf16BE: return "UTF-16BE";
    case Charset::Ascii: return "ASCII";
    case Charset::Cp1252: return "CP1252";
    case Charset::Cp1251: return "CP1251";
    case Charset::Latin1: return "ISO-8859-1";
    }
    return "UTF-8";
}

bool AllAscii(const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if ((unsigned char)p[i] >= 0x80) return false;
    return true;
}

template <class T> T Get(const void* p) { T v; std::memcpy(&v, p, sizeof v); return v; }
template <class T> void Put(void* p, T v) { std::memcpy(p, &v, sizeof v); }

bool ToInt64(const Decimal& d, int64_t& out) {
    if (d.digits.empty()) { out = 0; return true; }
    if (d.exp10 > 19) return false;
    __int128 v = 0;
    for (int i = 0; i < d.exp10; ++i) v = v * 10 + (i < (int)d.digits.size() ? d.digits[i] - '0' : 0);
    // round half away from zero on the first dropped digit
    int firstDropped = d.exp10 >= 0 ? d.exp10 : -1;
    if (firstDropped >= 0 && firstDropped < (int)d.digits.size() && d.digits[firstDropped] >= '5') v += 1;
    if (d.negative) v = -v;
    if (v > INT64_MAX || v < INT64_MIN) return false;
    out = int64_t(v);
    return true;
}

double ToDouble(const Decimal& d) {
    std::string s = DecimalToCanonical(d);
    return std::strtod(s.c_str(), nullptr);
}

bool ValueToDecimal(const ValueRef& v, Decimal& d, std::string& errText) {
    switch (v.kind) {
    case ValueRef::Integer: d = DecimalFromInt(v.i); return true;
    case ValueRef::Double: d = DecimalFromDouble(v.d); return true;
    case ValueRef::Decimal:
    case ValueRef::Text: {
        // blanks around a number in text are allowed, as in TO_NUMBER
        size_t b = 0, e = v.n;
        while (b < e && v.p[b] == ' ') ++b;
        while (e > b && v.p[e - 1] == ' ') --e;
        if (ParseDecimal(v.p + b, e - b, d)) return true;
        errText = "ORA-01722: invalid number";
        return false;
    }
    default:
        errText = "ORA-00932: inconsistent datatypes: expected NUMBER got " +
                  std::string(v.kind == ValueRef::Date ? "DATE" : "BINARY");
        return false;
    }
}

// Text of a value as the client sees it (UTF-8; recoded by the caller).
bool ValueToText(const ValueRef& v, const ColumnInfo& col, const std::string& dateFormat, std::string& out,
                 const char*& p, size_t& n, std::string& errText) {
    switch (v.kind) {
    case ValueRef::Text: p = v.p; n = v.n; return true;
    case ValueRef::Bytes: {
        static const char hex[] = "0123456789ABCDEF";
        out.resize(v.n * 2);
        for (size_t i = 0; i < v.n; ++i) {
            out[2 * i] = hex[(unsigned char)v.p[i] >> 4];
            out[2 * i + 1] = hex[(unsigned char)v.p[i] & 15];
        }
        break;
    }
    case ValueRef::Date:
        out = col.DataType == OraType::Timestamp || col.DataType == OraType::TimestampTZ || col.DataType == OraType::TimestampLTZ
                  ? TimestampText(v, col) : FormatDate(v.date, dateFormat);
        break;
    case ValueRef::Integer: out = std::to_string(v.i); break;
    case ValueRef::Double:
        if (col.DataType == OraType::BinaryDouble || col.DataType == OraType::BinaryFloat) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*E", col.DataType == OraType::BinaryFloat ? 8 : 15, v.d);
            out = buf;
        } else {
            out = DecimalToText(DecimalFromDouble(v.d));
        }
        break;
    case ValueRef::Decimal: {
        Decimal d;
        if (!ParseDecimal(v.p, v.n, d)) { p = v.p; n = v.n; return true; }
        out = DecimalToText(d);
        break;
    }
    default: errText = "ORA-00932: inconsistent datatypes"; return false;
    }
    p = out.data();
    n = out.size();
    return true;
}

} // namespace

bool ParseDecimal(const char* p, size_t n, Decimal& d) {
    d = Decimal{};
    size_t i = 0;
    if (i < n && (p[i] == '-' || p[i] == '+')) d.negative = p[i++] == '-';
    bool any = false, dot = false;
    int intDigits = 0;
    for (; i < n; ++i) {
        char c = p[i];
        if (c >= '0' && c <= '9') {
            d.digits.push_back(c);
            if (!dot) ++intDigits;
            any = true;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    int exp = 0;
    if (i < n && (p[i] == 'E' || p[i] == 'e')) {
        ++i;
        bool eneg = false;
        if (i < n && (p[i] == '-' || p[i] == '+')) eneg = p[i++] == '-';
        if (i >= n) return false;
        for (; i < n; ++i) {
            if (p[i] < '0' || p[i] > '9') return false;
            if (exp < 100000) exp = exp * 10 + (p[i] - '0');
        }
        if (eneg) exp = -exp;
    }
    if (i != n) return false;
    d.exp10 = intDigits + exp;
    Normalise(d);
    return true;
}

Decimal DecimalFromInt(int64_t v) {
    Decimal d;
    d.negative = v < 0;
    uint64_t u = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
    d.digits = std::to_string(u);
    d.exp10 = int(d.digits.size());
    Normalise(d);
    return d;
}

Decimal DecimalFromDouble(double v) {
    Decimal d;
    if (!std::isfinite(v) || v == 0) return d;
    // 16 significant digits unless they do not give the double back (a whole number beyond 2^53)
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15E", v);
    if (v == std::floor(v) && std::strtod(buf, nullptr) != v) {
        auto r = std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::scientific);
        *r.ptr = 0;
    }
    ParseDecimal(buf, std::strlen(buf), d);
    return d;
}

std::string DecimalToText(const Decimal& d) {
    if (d.digits.empty()) return "0";
    std::string s;
    int len = int(d.digits.size());
    if (d.exp10 >= len) {
        s = d.digits + std::string(size_t(d.exp10 - len), '0');
    } else if (d.exp10 > 0) {
        s = d.digits.substr(0, size_t(d.exp10)) + "." + d.digits.substr(size_t(d.exp10));
    } else {
        s = "." + std::string(size_t(-d.exp10), '0') + d.digits;
    }
    if (s.size() + (d.negative ? 1 : 0) > 40) {
        // scientific notation when the plain form does not fit 40 characters
        s = d.digits.substr(0, 1);
        if (len > 1) s += "." + d.digits.substr(1, 37);
        int e = d.exp10 - 1;
        char buf[16];
        std::snprintf(buf, sizeof buf, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
        s += buf;
    }
    return d.negative ? "-" + s : s;
}

std::string DecimalToCanonical(const Decimal& d) {
    if (d.digits.empty()) return "0";
    std::string s = d.negative ? "-" : "";
    s += "0." + d.digits + "E" + std::to_string(d.exp10);
    return s;
}

size_t DecimalToOraNum(const Decimal& in, unsigned char* out) {
    Decimal d = in;
    if (d.digits.empty()) { out[0] = 0x80; return 1; }
    std::string digits = d.digits;
    int exp10 = d.exp10;
    if (exp10 % 2 != 0) { digits.insert(digits.begin(), '0'); exp10 += 1; }
    if (digits.size() % 2) digits.push_back('0');
    size_t pairs = digits.size() / 2;
    std::vector<int> m(pairs);
    for (size_t i = 0; i < pairs; ++i) m[i] = (digits[2 * i] - '0') * 10 + (digits[2 * i + 1] - '0');
    if (pairs > 20) {  // round to 20 base-100 digits
        bool up = m[20] >= 50;
        m.resize(20);
        for (int i = 19; up && i >= 0; --i) {
            if (++m[size_t(i)] == 100) { m[size_t(i)] = 0; up = true; } else up = false;
        }
        if (up) { m.insert(m.begin(), 1); m.resize(20); exp10 += 2; }
        while (!m.empty() && m.back() == 0) m.pop_back();
        pairs = m.size();
    }
    int e = exp10 / 2 - 1;
    size_t k = 0;
    if (!d.negative) {
        out[k++] = (unsigned char)(193 + e);
        for (size_t i = 0; i < pairs; ++i) out[k++] = (unsigned char)(m[i] + 1);
    } else {
        out[k++] = (unsigned char)(62 - e);
        for (size_t i = 0; i < pairs; ++i) out[k++] = (unsigned char)(101 - m[i]);
        if (pairs < 20) out[k++] = 102;
    }
    return k;
}

bool OraNumToDecimal(const unsigned char* p, size_t n, Decimal& d) {
    d = Decimal{};
    if (n == 0 || n > 21) return false;
    if (p[0] == 0x80) return n == 1 || true;
    bool positive = p[0] & 0x80;
    int e = positive ? int(p[0]) - 193 : 62 - int(p[0]);
    d.negative = !positive;
    for (size_t i = 1; i < n; ++i) {
        int v;
        if (positive) v = int(p[i]) - 1;
        else {
            if (p[i] == 102) break;
            v = 101 - int(p[i]);
        }
        if (v < 0 || v > 99) return false;
        d.digits.push_back(char('0' + v / 10));
        d.digits.push_back(char('0' + v % 10));
    }
    d.exp10 = 2 * (e + 1);
    Normalise(d);
    return true;
}

std::string FormatDate(const unsigned char* t, const std::string& f) {
    int year = (int(t[0]) - 100) * 100 + (int(t[1]) - 100);
    int month = t[2], day = t[3], hour = t[4] - 1, minute = t[5] - 1, second = t[6] - 1;
    if (month < 1 || month > 12) month = 1;
    std::string out;
    char buf[16];
    size_t i = 0;
    while (i < f.size()) {
        auto num = [&](int v, int width) {
            std::snprintf(buf, sizeof buf, "%0*d", width, v);
            out += buf;
        };
        if (f[i] == '"') {  // quoted literal
            size_t j = f.find('"', i + 1);
            if (j == std::string::npos) j = f.size();
            out += f.substr(i + 1, j - i - 1);
            i = j + 1;
        } else if (StartsWithCI(f, i, "YYYY") || StartsWithCI(f, i, "RRRR")) { num(year, 4); i += 4; }
        else if (StartsWithCI(f, i, "YY") || StartsWithCI(f, i, "RR")) { num(std::abs(year) % 100, 2); i += 2; }
        else if (StartsWithCI(f, i, "MONTH")) {
            std::string m = Cased(kMonths[month - 1], f.c_str() + i);
            m.resize(9, ' ');
            out += m;
            i += 5;
        } else if (StartsWithCI(f, i, "MON")) { out += Cased(std::string(kMonths[month - 1], 3), f.c_str() + i); i += 3; }
        else if (StartsWithCI(f, i, "MM")) { num(month, 2); i += 2; }
        else if (StartsWithCI(f, i, "MI")) { num(minute, 2); i += 2; }
        else if (StartsWithCI(f, i, "DAY")) {
            std::string d = Cased(kDays[DayOfWeek(year, month, day)], f.c_str() + i);
            d.resize(9, ' ');
            out += d;
            i += 3;
        } else if (StartsWithCI(f, i, "DY")) { out += Cased(std::string(kDays[DayOfWeek(year, month, day)], 3), f.c_str() + i); i += 2; }
        else if (StartsWithCI(f, i, "DD")) { num(day, 2); i += 2; }
        else if (StartsWithCI(f, i, "HH24")) { num(hour, 2); i += 4; }
        else if (StartsWithCI(f, i, "HH12")) { num(hour % 12 == 0 ? 12 : hour % 12, 2); i += 4; }
        else if (StartsWithCI(f, i, "HH")) { num(hour % 12 == 0 ? 12 : hour % 12, 2); i += 2; }
        else if (StartsWithCI(f, i, "SS")) { num(second, 2); i += 2; }
        else if (StartsWithCI(f, i, "AM") || StartsWithCI(f, i, "PM")) { out += hour < 12 ? "AM" : "PM"; i += 2; }
        else if (StartsWithCI(f, i, "FM")) { i += 2; }
        else { out += f[i]; ++i; }
    }
    return out;
}

std::string Recode(const char* p, size_t n, Charset from, Charset to, bool* lossy) {
    if (lossy) *lossy = false;
    if (from == to || (!IsUtf16(from) && !IsUtf16(to) && AllAscii(p, n))) return std::string(p, n);
    std::string target = IconvName(to);
    if (to != Charset::Utf8 && !IsUtf16(to)) target += "//TRANSLIT";
    iconv_t cd = iconv_open(target.c_str(), IconvName(from));
    if (cd == (iconv_t)-1) return std::string(p, n);
    std::string out;
    out.resize(n * 4 + 8);
    char* in = const_cast<char*>(p);
    size_t inLeft = n;
    char* o = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        if (r != (size_t)-1) break;
        if (errno == E2BIG) {
            size_t used = size_t(o - out.data());
            out.resize(out.size() * 2);
            o = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // an unconvertible or malformed byte becomes a replacement character
        if (lossy) *lossy = true;
        ++in;
        --inLeft;
        if (IsUtf16(to)) {
            if (outLeft < 2) continue;
            std::string q = Recode("?", 1, Charset::Utf8, to);
            *o++ = q[0]; *o++ = q[1]; outLeft -= 2;
        } else if (outLeft > 0) {
            *o++ = '?'; --outLeft;
        }
    }
    out.resize(size_t(o - out.data()));
    iconv_close(cd);
    return out;
}

int CheckBindType(ub2 dty, sb4 size, std::string& errText) {
    auto bad = [&] {
        errText = "ORA-01459: invalid length for variable character string";
        return 1459;
    };
    switch (dty) {
    case SQLT_INT: case SQLT_UIN:
        if (size != 1 && size != 2 && size != 4 && size != 8) { errText = "ORA-03115: unsupported network datatype or representation"; return 3115; }
        return 0;
    case SQLT_FLT:
        if (size != 4 && size != 8) { errText = "ORA-03115: unsupported network datatype or representation"; return 3115; }
        return 0;
    case SQLT_BFLOAT: case SQLT_IBFLOAT:
        if (size != 4) { errText = "ORA-03115: unsupported network datatype or representation"; return 3115; }
        return 0;
    case SQLT_BDOUBLE: case SQLT_IBDOUBLE:
        if (size != 8) { errText = "ORA-03115: unsupported network datatype or representation"; return 3115; }
        return 0;
    case SQLT_DAT: if (size < 7) return bad(); return 0;
    case SQLT_ODT: if (size < (sb4)sizeof(OCIDate)) return bad(); return 0;
    case SQLT_NUM: if (size < 1 || size > 22) return bad(); return 0;
    case SQLT_VNU: if (size < 22) return bad(); return 0;
    case SQLT_VCS: if (size < 2) return bad(); return 0;
    case SQLT_LVC: case SQLT_LVB: if (size < 4) return bad(); return 0;
    case SQLT_CHR: case SQLT_STR: case SQLT_AFC: case SQLT_AVC: case SQLT_LNG: case SQLT_BIN: case SQLT_LBI:
        if (size < 0) return bad();
        return 0;
    case SQLT_RDD: case SQLT_RSET: case SQLT_BOL: case SQLT_CLOB: case SQLT_BLOB: case SQLT_BFILEE:
    case SQLT_NTY: case SQLT_REF: case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ: case SQLT_DATE:
    case SQLT_OSL:
        return 0;
    default:
        errText = "ORA-03115: unsupported network datatype or representation";
        return 3115;
    }
}

int BindValue(const Bind& b, ub4 iter, const Env& env, ValueRef& out, std::string& scratch, std::string& errText) {
    ub4 skip = b.valueSkip ? b.valueSkip : ub4(b.valueSize);
    const char* p = b.valuep ? static_cast<const char*>(b.valuep) + size_t(iter) * skip : nullptr;
    if (b.indp) {
        sb2 ind = Get<sb2>(static_cast<const char*>(b.indp) + size_t(iter) * b.indSkip);
        if (ind == -1) { out = ValueRef::MakeNull(); return 0; }
    }
    if (!p && b.dty != SQLT_RSET) { out = ValueRef::MakeNull(); return 0; }
    size_t len = size_t(b.valueSize);
    if (b.alenp) len = Get<ub2>(reinterpret_cast<const char*>(b.alenp) + size_t(iter) * b.alenSkip);
    Charset cs = b.charsetId ? CharsetFromId(b.charsetId, env.charset)
                             : (b.charsetForm == SQLCS_NCHAR ? env.ncharset : env.charset);
    auto text = [&](const char* s, size_t n) {
        if (n == 0) { out = ValueRef::MakeNull(); return 0; }   // a zero-length string is NULL
        if (cs == Charset::Utf8 || (!IsUtf16(cs) && AllAscii(s, n))) { out = ValueRef::MakeText({s, n}); return 0; }
        scratch = Recode(s, n, cs, Charset::Utf8);
        out = ValueRef::MakeText(scratch);
        return 0;
    };
    switch (b.dty) {
    case SQLT_CHR: case SQLT_AFC: case SQLT_AVC: case SQLT_LNG:
        if (len > size_t(b.valueSize)) len = size_t(b.valueSize);
        return text(p, len);
    case SQLT_STR: {
        size_t n = 0;
        size_t cap = size_t(b.valueSize);
        if (IsUtf16(cs)) { while (n + 1 < cap && (p[n] || p[n + 1])) n += 2; }
        else while (n < cap && p[n]) ++n;
        return text(p, n);
    }
    case SQLT_VCS: return text(p + 2, std::min<size_t>(Get<ub2>(p), size_t(b.valueSize) - 2));
    case SQLT_LVC: return text(p + 4, std::min<size_t>(size_t(std::max(0, Get<sb4>(p))), size_t(b.valueSize) - 4));
    case SQLT_BIN: case SQLT_LBI:
        if (len > size_t(b.valueSize)) len = size_t(b.valueSize);
        if (len == 0) { out = ValueRef::MakeNull(); return 0; }
        out = ValueRef::MakeBytes(p, len);
        return 0;
    case SQLT_LVB: {
        size_t n = std::min<size_t>(size_t(std::max(0, Get<sb4>(p))), size_t(b.valueSize) - 4);
        if (n == 0) { out = ValueRef::MakeNull(); return 0; }
        out = ValueRef::MakeBytes(p + 4, n);
        return 0;
    }
    case SQLT_INT:
        switch (b.valueSize) {
        case 1: out = ValueRef::MakeInt(Get<int8_t>(p)); break;
        case 2: out = ValueRef::MakeInt(Get<int16_t>(p)); break;
        case 4: out = ValueRef::MakeInt(Get<int32_t>(p)); break;
        default: out = ValueRef::MakeInt(Get<int64_t>(p)); break;
        }
        return 0;
    case SQLT_UIN:
        switch (b.valueSize) {
        case 1: out = ValueRef::MakeInt(Get<uint8_t>(p)); break;
        case 2: out = ValueRef::MakeInt(Get<uint16_t>(p)); break;
        case 4: out = ValueRef::MakeInt(Get<uint32_t>(p)); break;
        default: {
            uint64_t u = Get<uint64_t>(p);
            if (u > uint64_t(INT64_MAX)) {
                Decimal d; d.digits = std::to_string(u); d.exp10 = int(d.digits.size());
                scratch = DecimalToCanonical(d);
                out.kind = ValueRef::Decimal; out.p = scratch.data(); out.n = scratch.size();
            } else out = ValueRef::MakeInt(int64_t(u));
        }
        }
        return 0;
    case SQLT_FLT: case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE:
        out = ValueRef::MakeDouble(b.valueSize == 4 ? double(Get<float>(p)) : Get<double>(p));
        return 0;
    case SQLT_NUM: case SQLT_VNU: {
        const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
        size_t n = b.dty == SQLT_VNU ? u[0] : len;
        if (b.dty == SQLT_VNU) ++u;
        if (n == 0) { out = ValueRef::MakeNull(); return 0; }
        Decimal d;
        if (!OraNumToDecimal(u, n, d)) { errText = "ORA-01722: invalid number"; return 1722; }
        int64_t iv;
        if (d.exp10 >= (int)d.digits.size() && ToInt64(d, iv)) { out = ValueRef::MakeInt(iv); return 0; }
        scratch = DecimalToCanonical(d);
        out.kind = ValueRef::Decimal; out.p = scratch.data(); out.n = scratch.size();
        return 0;
    }
    case SQLT_DAT: {
        out.kind = ValueRef::Date;
        std::memcpy(out.date, p, 7);
        if (out.date[2] < 1 || out.date[2] > 12 || out.date[3] < 1 || out.date[3] > 31 || out.date[4] < 1 ||
            out.date[4] > 24 || out.date[5] < 1 || out.date[5] > 60 || out.date[6] < 1 || out.date[6] > 60) {
            errText = "ORA-01858: a non-numeric character was found where a numeric was expected";
            return 1858;
        }
        return 0;
    }
    case SQLT_ODT: {
        OCIDate od;
        std::memcpy(&od, p, sizeof od);
        if (od.OCIDateMM < 1 || od.OCIDateMM > 12 || od.OCIDateDD < 1 || od.OCIDateDD > 31 ||
            od.OCIDateTime.OCITimeHH > 23 || od.OCIDateTime.OCITimeMI > 59 || od.OCIDateTime.OCITimeSS > 59) {
            errText = "ORA-01858: a non-numeric character was found where a numeric was expected";
            return 1858;
        }
        out.kind = ValueRef::Date;
        int y = od.OCIDateYYYY;
        out.date[0] = (unsigned char)(y / 100 + 100);
        out.date[1] = (unsigned char)(y % 100 + 100);
        out.date[2] = od.OCIDateMM;
        out.date[3] = od.OCIDateDD;
        out.date[4] = (unsigned char)(od.OCIDateTime.OCITimeHH + 1);
        out.date[5] = (unsigned char)(od.OCIDateTime.OCITimeMI + 1);
        out.date[6] = (unsigned char)(od.OCIDateTime.OCITimeSS + 1);
        return 0;
    }
    case SQLT_BOL: {
        int v = 0;
        std::memcpy(&v, p, std::min<size_t>(sizeof v, size_t(b.valueSize)));
        out = ValueRef::MakeInt(v ? 1 : 0);
        return 0;
    }
    case SQLT_RDD: {
        const Rowid* r = As<Rowid>(Get<void*>(p), OCI_DTYPE_ROWID);
        if (!r) { errText = "ORA-01410: invalid ROWID"; return 1410; }
        scratch = r->text;
        out = scratch.empty() ? ValueRef::MakeNull() : ValueRef::MakeText(scratch);
        return 0;
    }
    case SQLT_RSET:
        out = ValueRef::MakeNull();
        return 0;
    case SQLT_CLOB: case SQLT_BLOB: case SQLT_BFILEE:
        return LobBindValue(b, iter, out, errText);
    case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ: case SQLT_DATE:
        return TimestampBindValue(b, iter, out, errText);
    default:
        errText = "ORA-03001: unimplemented feature";
        return 3001;
    }
}

int DefineValue(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, const Env& env,
                const std::string& dateFormat, std::string& errText) {
    ub4 skip = d.valueSkip ? d.valueSkip : ub4(d.valueSize);
    char* buf = static_cast<char*>(d.valuep) + size_t(row) * skip;
    char* indp = d.indp ? static_cast<char*>(d.indp) + size_t(row) * d.indSkip : nullptr;
    char* rlenp = d.rlenp ? reinterpret_cast<char*>(d.rlenp) + size_t(row) * d.rlenSkip : nullptr;
    char* rcodep = d.rcodep ? reinterpret_cast<char*>(d.rcodep) + size_t(row) * d.rcodeSkip : nullptr;
    size_t cap = size_t(std::max<sb4>(0, d.valueSize));
    auto finish = [&](size_t fullLen, size_t stored, int code) {
        if (indp) Put<sb2>(indp, code == 1406 ? sb2(fullLen > 32767 ? -2 : sb2(fullLen)) : sb2(0));
        if (rlenp) Put<ub2>(rlenp, ub2(std::min<size_t>(code == 1406 && !d.oci7 ? fullLen : stored, 65535)));
        if (rcodep) Put<ub2>(rcodep, ub2(code));
        return code;
    };
    if (v.kind == ValueRef::Null) {
        if (indp) Put<sb2>(indp, -1);
        if (rlenp) Put<ub2>(rlenp, 0);
        if (rcodep) Put<ub2>(rcodep, indp ? 1405 : 1405);
        if (!indp) { errText = "ORA-01405: fetched column value is NULL"; return 1405; }
        return 0;
    }
    Charset cs = d.charsetId ? CharsetFromId(d.charsetId, env.charset)
                             : (d.charsetForm == SQLCS_NCHAR ? env.ncharset : env.charset);
    std::string tmp, rec;
    const char* p = nullptr;
    size_t n = 0;
    auto textOut = [&](int prefix, bool terminate, bool pad) -> int {
        if (!ValueToText(v, col, dateFormat, tmp, p, n, errText)) return finish(0, 0, 932);
        if (IsUtf16(cs) || (cs != Charset::Utf8 && !AllAscii(p, n))) {
            rec = Recode(p, n, Charset::Utf8, cs);
            p = rec.data();
            n = rec.size();
        }
        size_t room = cap > size_t(prefix) ? cap - size_t(prefix) : 0;
        size_t term = terminate ? (IsUtf16(cs) ? 2 : 1) : 0;
        size_t fit = room >= term ? room - term : 0;
        size_t stored = std::min(n, fit);
        if (IsUtf16(cs)) stored &= ~size_t(1);
        std::memcpy(buf + prefix, p, stored);
        if (terminate && room >= term) std::memset(buf + prefix + stored, 0, term);
        if (pad && stored < room) std::memset(buf + prefix + stored, ' ', room - stored);
        if (prefix == 2) Put<ub2>(buf, ub2(stored));
        if (prefix == 4) Put<sb4>(buf, sb4(stored));
        size_t storedLen = pad ? room : stored;
        if (stored < n) { errText = "ORA-01406: fetched column value was truncated"; return finish(n, stored, 1406); }
        return finish(n, storedLen, 0);
    };
    auto bytesOut = [&](int prefix) -> int {
        if (v.kind == ValueRef::Bytes || v.kind == ValueRef::Text) { p = v.p; n = v.n; }
        else return textOut(prefix, false, false);
        size_t room = cap > size_t(prefix) ? cap - size_t(prefix) : 0;
        size_t stored = std::min(n, room);
        std::memcpy(buf + prefix, p, stored);
        if (prefix == 4) Put<sb4>(buf, sb4(stored));
        if (stored < n) { errText = "ORA-01406: fetched column value was truncated"; return finish(n, stored, 1406); }
        return finish(n, stored, 0);
    };
    auto numberOut = [&](Decimal& dec) -> bool {
        if (!ValueToDecimal(v, dec, errText)) { finish(0, 0, errText.rfind("ORA-01722", 0) == 0 ? 1722 : 932); return false; }
        return true;
    };
    switch (d.dty) {
    case SQLT_CHR: case SQLT_AVC: case SQLT_LNG: return textOut(0, false, false);
    case SQLT_AFC: return textOut(0, false, true);
    case SQLT_STR: return textOut(0, true, false);
    case SQLT_VCS: return textOut(2, false, false);
    case SQLT_LVC: return textOut(4, false, false);
    case SQLT_BIN: case SQLT_LBI: return bytesOut(0);
    case SQLT_LVB: return bytesOut(4);
    case SQLT_INT: case SQLT_UIN: {
        int64_t iv = 0;
        if (v.kind == ValueRef::Integer) iv = v.i;
        else {
            Decimal dec;
            if (!numberOut(dec)) return errText.rfind("ORA-01722", 0) == 0 ? 1722 : 932;
            if (!ToInt64(dec, iv)) { errText = "ORA-01455: converting column overflows integer datatype"; return finish(0, 0, 1455); }
        }
        bool uns = d.dty == SQLT_UIN;
        auto over = [&](int64_t lo, int64_t hi) { return iv < lo || iv > hi; };
        bool overflow = false;
        switch (cap) {
        case 1: overflow = uns ? over(0, 255) : over(-128, 127); if (!overflow) buf[0] = char(iv); break;
        case 2: overflow = uns ? over(0, 65535) : over(-32768, 32767); if (!overflow) Put<int16_t>(buf, int16_t(iv)); break;
        case 4: overflow = uns ? over(0, 4294967295LL) : over(INT32_MIN, INT32_MAX); if (!overflow) Put<int32_t>(buf, int32_t(iv)); break;
        case 8: overflow = uns && iv < 0; if (!overflow) Put<int64_t>(buf, iv); break;
        default: errText = "ORA-03115: unsupported network datatype or representation"; return finish(0, 0, 3115);
        }
        if (overflow) { errText = "ORA-01455: converting column overflows integer datatype"; return finish(0, 0, 1455); }
        return finish(cap, cap, 0);
    }
    case SQLT_FLT: case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE: {
        double dv;
        if (v.kind == ValueRef::Double) dv = v.d;
        else if (v.kind == ValueRef::Integer) dv = double(v.i);
        else {
            Decimal dec;
            if (!numberOut(dec)) return errText.rfind("ORA-01722", 0) == 0 ? 1722 : 932;
            dv = ToDouble(dec);
        }
        if (cap == 4) Put<float>(buf, float(dv));
        else if (cap == 8) Put<double>(buf, dv);
        else { errText = "ORA-03115: unsupported network datatype or representation"; return finish(0, 0, 3115); }
        return finish(cap, cap, 0);
    }
    case SQLT_NUM: case SQLT_VNU: {
        Decimal dec;
        if (!numberOut(dec)) return errText.rfind("ORA-01722", 0) == 0 ? 1722 : 932;
        unsigned char tmpn[24];
        size_t k = DecimalToOraNum(dec, tmpn);
        if (d.dty == SQLT_VNU) {
            if (cap < 22) { errText = "ORA-01406: fetched column value was truncated"; return finish(k + 1, 0, 1406); }
            buf[0] = char(k);
            std::memcpy(buf + 1, tmpn, k);
            return finish(22, 22, 0);
        }
        if (cap < k) { errText = "ORA-01406: fetched column value was truncated"; return finish(k, 0, 1406); }
        std::memcpy(buf, tmpn, k);
        return finish(k, k, 0);
    }
    case SQLT_DAT: case SQLT_ODT: {
        if (v.kind != ValueRef::Date) {
            errText = "ORA-00932: inconsistent datatypes: expected DATE got " +
                      std::string(v.kind == ValueRef::Text ? "CHAR" : "NUMBER");
            return finish(0, 0, 932);
        }
        if (d.dty == SQLT_DAT) {
            if (cap < 7) { errText = "ORA-01406: fetched column value was truncated"; return finish(7, 0, 1406); }
            std::memcpy(buf, v.date, 7);
            return finish(7, 7, 0);
        }
        if (cap < sizeof(OCIDate)) { errText = "ORA-01406: fetched column value was truncated"; return finish(sizeof(OCIDate), 0, 1406); }
        OCIDate od{};
        od.OCIDateYYYY = sb2((int(v.date[0]) - 100) * 100 + (int(v.date[1]) - 100));
        od.OCIDateMM = v.date[2];
        od.OCIDateDD = v.date[3];
        od.OCIDateTime.OCITimeHH = ub1(v.date[4] - 1);
        od.OCIDateTime.OCITimeMI = ub1(v.date[5] - 1);
        od.OCIDateTime.OCITimeSS = ub1(v.date[6] - 1);
        std::memcpy(buf, &od, sizeof od);
        return finish(sizeof od, sizeof od, 0);
    }
    case SQLT_RDD: {
        Rowid* r = As<Rowid>(Get<void*>(buf), OCI_DTYPE_ROWID);
        if (!r) { errText = "ORA-01410: invalid ROWID"; return finish(0, 0, 1410); }
        std::string t;
        if (!ValueToText(v, col, dateFormat, tmp, p, n, errText)) return finish(0, 0, 932);
        FillRowid(*r, std::string(p, n));
        return finish(sizeof(void*), sizeof(void*), 0);
    }
    case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ: case SQLT_DATE:
        return DeliverTimestamp(d, row, v, col, errText);
    case SQLT_BOL: {
        int b = 0;
        if (v.kind == ValueRef::Integer) b = v.i != 0;
        else if (v.kind == ValueRef::Double) b = v.d != 0;
        else { Decimal dec; if (!numberOut(dec)) return 1722; b = !dec.digits.empty(); }
        std::memcpy(buf, &b, std::min<size_t>(sizeof b, cap));
        return finish(cap, cap, 0);
    }
    default:
        errText = "ORA-03001: unimplemented feature";
        return finish(0, 0, 3001);
    }
}

void FillRowid(Rowid& r, const std::string& text) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    r.text = text;
    r.rd = {};
    r.block = 0;
    r.row = 0;
    if (text.size() != 18) return;
    auto decode = [&](size_t from, size_t count, uint64_t& out) {
        out = 0;
        for (size_t i = from; i < from + count; ++i) {
            const char* q = std::strchr(alphabet, text[i]);
            if (!q || !*q) return false;
            out = out * 64 + uint64_t(q - alphabet);
        }
        return true;
    };
    uint64_t obj, file, block, row;
    if (decode(0, 6, obj) && decode(6, 3, file) && decode(9, 6, block) && decode(15, 3, row)) {
        r.rd.object = ub4(obj);
        r.rd.file = ub2(file);
        r.block = ub4(block);
        r.row = ub2(row);
    }
}

} // namespace ocisim::client

// The four rowid numbers sit at fixed byte offsets of the rowid descriptor, for callers that
// read them from the descriptor's memory: object (ub4) at 48, file (ub2) at 52, block (ub4) at
// 56, row (ub2) at 60 in the 64-bit build.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#if defined(__LP64__)
static_assert(offsetof(ocisim::client::Rowid, rd) == 48 && offsetof(ocisim::client::Rowid, block) == 56 &&
                  offsetof(ocisim::client::Rowid, row) == 60,
              "rowid descriptor layout");
#endif
#pragma GCC diagnostic pop
