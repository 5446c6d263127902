// TIMESTAMP, TIMESTAMP WITH TIME ZONE and WITH LOCAL TIME ZONE values defined into and bound
// from date-time descriptors. A fetched timestamp carries its Julian day number with the
// fraction of the second; the engine keeps the fraction to 100 microseconds. Values are kept in
// the session's time zone, shown as +00:00.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Timestamp.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace ocisim;

namespace ocisim::client {
namespace {

constexpr double kUnixEpochJd = 2440587.5;

DateTime* AsDateTime(const void* p) {
    for (ub4 t : {OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ, OCI_DTYPE_DATE})
        if (auto* d = As<DateTime>(p, t)) return d;
    return nullptr;
}

ub4 Nanos(const ValueRef& v) {
    if (v.d == 0) return 0;
    double ticks = std::round((v.d - kUnixEpochJd) * 864000000.0);   // 100-microsecond steps
    double whole = std::floor(ticks / 10000.0);
    return ub4(ticks - whole * 10000.0) * 100000u;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

} // namespace

bool IsTimestampDty(ub2 dty) {
    return dty == SQLT_TIMESTAMP || dty == SQLT_TIMESTAMP_TZ || dty == SQLT_TIMESTAMP_LTZ || dty == SQLT_DATE;
}

int DeliverTimestamp(const Define& d, ub4 row, const ValueRef& v, const ColumnInfo& col, std::string& errText) {
    ub4 skip = d.valueSkip ? d.valueSkip : ub4(sizeof(void*));
    char* slot = static_cast<char*>(d.valuep) + size_t(row) * skip;
    char* indp = d.indp ? static_cast<char*>(d.indp) + size_t(row) * d.indSkip : nullptr;
    char* rlenp = d.rlenp ? reinterpret_cast<char*>(d.rlenp) + size_t(row) * d.rlenSkip : nullptr;
    char* rcodep = d.rcodep ? reinterpret_cast<char*>(d.rcodep) + size_t(row) * d.rcodeSkip : nullptr;
    auto put = [](char* at, auto value) { if (at) std::memcpy(at, &value, sizeof value); };
    if (v.kind == ValueRef::Null) {
        put(indp, sb2(-1));
        put(rlenp, ub2(0));
        put(rcodep, ub2(1405));
        if (!indp) { errText = "ORA-01405: fetched column value is NULL"; return 1405; }
        return 0;
    }
    if (v.kind != ValueRef::Date) {
        errText = "ORA-00932: inconsistent datatypes: expected TIMESTAMP got " +
                  std::string(v.kind == ValueRef::Text ? "CHAR" : v.kind == ValueRef::Bytes ? "BINARY" : "NUMBER");
        return 932;
    }
    (void)col;
    void* p = nullptr;
    std::memcpy(&p, slot, sizeof p);
    DateTime* t = AsDateTime(p);
    if (!t) { errText = "ORA-01891: Datetime/Interval internal error"; return 1891; }
    t->year = sb2((int(v.date[0]) - 100) * 100 + (int(v.date[1]) - 100));
    t->month = v.date[2];
    t->day = v.date[3];
    t->hour = ub1(v.date[4] - 1);
    t->minute = ub1(v.date[5] - 1);
    t->second = ub1(v.date[6] - 1);
    t->fsec = t->type == OCI_DTYPE_DATE ? 0 : Nanos(v);
    t->tzHour = 0;
    t->tzMinute = 0;
    put(indp, sb2(0));
    put(rlenp, ub2(sizeof(void*)));
    put(rcodep, ub2(0));
    return 0;
}

int TimestampBindValue(const Bind& b, ub4 iter, ValueRef& out, std::string& errText) {
    ub4 skip = b.valueSkip ? b.valueSkip : ub4(sizeof(void*));
    if (!b.valuep) { out = ValueRef::MakeNull(); return 0; }
    void* p = nullptr;
    std::memcpy(&p, static_cast<const char*>(b.valuep) + size_t(iter) * skip, sizeof p);
    DateTime* t = AsDateTime(p);
    if (!t) { errText = "ORA-01891: Datetime/Interval internal error"; return 1891; }
    out = ValueRef();
    out.kind = ValueRef::Date;
    out.date[0] = (unsigned char)(t->year / 100 + 100);
    out.date[1] = (unsigned char)(t->year % 100 + 100);
    out.date[2] = t->month;
    out.date[3] = t->day;
    out.date[4] = (unsigned char)(t->hour + 1);
    out.date[5] = (unsigned char)(t->minute + 1);
    out.date[6] = (unsigned char)(t->second + 1);
    // the Julian day number with the fraction, for TIMESTAMP columns
    double days = double(DaysFromCivil(t->year, t->month, t->day));
    double secs = t->hour * 3600.0 + t->minute * 60.0 + t->second;
    out.d = kUnixEpochJd + days + secs / 86400.0 + std::round(t->fsec / 100000.0) / 864000000.0;
    return 0;
}

std::string TimestampText(const ValueRef& v, const ColumnInfo& col) {
    std::string s = FormatDate(v.date, "DD-MON-RR HH.MI.SS");
    char frac[16];
    std::snprintf(frac, sizeof frac, ".%06u ", Nanos(v) / 1000);
    s += frac;
    s += v.date[4] - 1 < 12 ? "AM" : "PM";
    if (col.DataType == OraType::TimestampTZ) s += " +00:00";
    return s;
}

ub2 DescribedType(OraType t) {
    switch (t) {
    case OraType::Timestamp: return SQLT_TIMESTAMP;
    case OraType::TimestampTZ: return SQLT_TIMESTAMP_TZ;
    case OraType::TimestampLTZ: return SQLT_TIMESTAMP_LTZ;
    case OraType::IntervalYM: return SQLT_INTERVAL_YM;
    case OraType::IntervalDS: return SQLT_INTERVAL_DS;
    default: return ub2(t);
    }
}

} // namespace ocisim::client

