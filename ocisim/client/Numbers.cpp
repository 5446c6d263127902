// OCINumber values (Oracle's NUMBER in 22 bytes: a length byte, then the NUMBER bytes) and the
// number and date instances that OCIObjectNew makes for them.
#include "ocisim/client/internal/Convert.h"
#include "ocisim/client/internal/Handles.h"

#include <cmath>
#include <cstring>
#include <map>

#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ocisim;
using namespace ocisim::client;

namespace {

constexpr ub4 kUnsigned = 0, kSigned = 2;
constexpr ub2 kTypecodeNumber = 2, kTypecodeDate = 12;

std::mutex& InstanceMutex() { static std::mutex m; return m; }
std::map<void*, ub2>& Instances() { static std::map<void*, ub2> s; return s; }

bool Read(const OCINumber* n, Decimal& d) {
    return n && n->OCINumberPart[0] >= 1 && n->OCINumberPart[0] <= 21 && OraNumToDecimal(n->OCINumberPart + 1, n->OCINumberPart[0], d);
}

void Write(const Decimal& d, OCINumber* n) {
    unsigned char tmp[24];
    size_t k = DecimalToOraNum(d, tmp);
    std::memset(n, 0, sizeof *n);
    n->OCINumberPart[0] = ub1(k);
    std::memcpy(n->OCINumberPart + 1, tmp, k);
}

sword Invalid(Error* err) { return Fail(err, 22060, "ORA-22060: argument [2] is an invalid or uninitialized number"); }
sword Overflow(Error* err) { return Fail(err, 22053, "ORA-22053: overflow error"); }

} // namespace

OCISIM_EXPORT sword OCINumberFromInt(OCIError* errhp, const void* inum, uword len, uword sign, OCINumber* number) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    if (!inum || !number || (len != 1 && len != 2 && len != 4 && len != 8) || (sign != kSigned && sign != kUnsigned))
        return Fail(err, 22063, "ORA-22063: reading negative value as unsigned");
    err->Clear();
    int64_t v = 0;
    uint64_t u = 0;
    const unsigned char* p = static_cast<const unsigned char*>(inum);
    if (sign == kSigned) {
        switch (len) {
        case 1: { int8_t x; std::memcpy(&x, p, 1); v = x; break; }
        case 2: { int16_t x; std::memcpy(&x, p, 2); v = x; break; }
        case 4: { int32_t x; std::memcpy(&x, p, 4); v = x; break; }
        default: std::memcpy(&v, p, 8); break;
        }
        Write(DecimalFromInt(v), number);
    } else {
        std::memcpy(&u, p, len);  // little-endian hosts
        Decimal d;
        d.digits = std::to_string(u);
        d.exp10 = int(d.digits.size());
        Decimal n;
        ParseDecimal(d.digits.data(), d.digits.size(), n);
        Write(n, number);
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCINumberToInt(OCIError* errhp, const OCINumber* number, uword len, uword sign, void* rsl) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    Decimal d;
    if (!rsl || !Read(number, d)) return Invalid(err);
    if ((len != 1 && len != 2 && len != 4 && len != 8) || (sign != kSigned && sign != kUnsigned)) return Invalid(err);
    err->Clear();
    // truncates toward zero, as Oracle's conversion does
    long double whole = 0;
    for (int i = 0; i < d.exp10 && i < 40; ++i) whole = whole * 10 + (i < (int)d.digits.size() ? d.digits[size_t(i)] - '0' : 0);
    if (d.exp10 > 20) return Overflow(err);
    if (d.negative) whole = -whole;
    if (sign == kUnsigned) {
        if (whole < 0) return Fail(err, 22063, "ORA-22063: reading negative value as unsigned");
        long double max = len == 8 ? 18446744073709551615.0L : std::ldexp(1.0L, int(len * 8)) - 1;
        if (whole > max) return Overflow(err);
        uint64_t u = uint64_t(whole);
        std::memcpy(rsl, &u, len);
    } else {
        long double max = std::ldexp(1.0L, int(len * 8 - 1));
        if (whole >= max || whole < -max) return Overflow(err);
        int64_t v = int64_t(whole);
        switch (len) {
        case 1: { int8_t x = int8_t(v); std::memcpy(rsl, &x, 1); break; }
        case 2: { int16_t x = int16_t(v); std::memcpy(rsl, &x, 2); break; }
        case 4: { int32_t x = int32_t(v); std::memcpy(rsl, &x, 4); break; }
        default: std::memcpy(rsl, &v, 8); break;
        }
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCINumberFromReal(OCIError* errhp, const void* rnum, uword len, OCINumber* number) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    if (!rnum || !number || (len != 4 && len != 8)) return Invalid(err);
    err->Clear();
    double v;
    if (len == 4) { float f; std::memcpy(&f, rnum, 4); v = f; }
    else std::memcpy(&v, rnum, 8);
    if (!std::isfinite(v)) return Overflow(err);
    Write(DecimalFromDouble(v), number);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCINumberToReal(OCIError* errhp, const OCINumber* number, uword len, void* rsl) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    Decimal d;
    if (!rsl || !Read(number, d) || (len != 4 && len != 8)) return Invalid(err);
    err->Clear();
    std::string s = DecimalToCanonical(d);
    double v = std::strtod(s.c_str(), nullptr);
    if (len == 4) { float f = float(v); std::memcpy(rsl, &f, 4); }
    else std::memcpy(rsl, &v, 8);
    return OCI_SUCCESS;
}

namespace {
bool DefaultFormat(const OraText* fmt, ub4 len) {
    if (!fmt || len == 0) return true;
    std::string f(reinterpret_cast<const char*>(fmt), len);
    for (char& c : f) c = char(std::toupper((unsigned char)c));
    return f == "TM" || f == "TM9" || f == "TME";
}
} // namespace

OCISIM_EXPORT sword OCINumberToText(OCIError* errhp, const OCINumber* number, const OraText* fmt, ub4 fmt_length,
                                    const OraText* nls, ub4 nls_length, ub4* buf_size, OraText* buf) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    Decimal d;
    if (!buf || !buf_size || !Read(number, d)) return Invalid(err);
    err->Clear();
    if (!DefaultFormat(fmt, fmt_length)) return Unimplemented(err);
    std::string s = DecimalToText(d);
    if (s.size() > *buf_size) return Fail(err, 22065, "ORA-22065: number to text translation for the given format causes overflow");
    std::memcpy(buf, s.data(), s.size());
    if (s.size() < *buf_size) buf[s.size()] = 0;
    *buf_size = ub4(s.size());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCINumberFromText(OCIError* errhp, const OraText* str, ub4 str_length, const OraText* fmt, ub4 fmt_length,
                                      const OraText* nls, ub4 nls_length, OCINumber* number) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err) return OCI_INVALID_HANDLE;
    if (!str || !number) return Invalid(err);
    err->Clear();
    std::string s(reinterpret_cast<const char*>(str), str_length);
    size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    Decimal d;
    if (b == std::string::npos || !ParseDecimal(s.data() + b, e - b + 1, d))
        return Fail(err, 22062, "ORA-22062: invalid input string [" + s + "]");
    Write(d, number);
    return OCI_SUCCESS;
}

// Number and date instances for object-type work; other types are not driven yet.
OCISIM_EXPORT sword OCIObjectNew(OCIEnv* env, OCIError* errhp, const OCISvcCtx* svc, ub2 typecode, OCIType* tdo, void* table,
                                 ub2 duration, boolean value, void** instance) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err || !As<Env>(env, OCI_HTYPE_ENV) || !instance) return OCI_INVALID_HANDLE;
    err->Clear();
    void* p = nullptr;
    if (typecode == kTypecodeNumber) {
        auto* n = new OCINumber{};
        n->OCINumberPart[0] = 1;
        n->OCINumberPart[1] = 0x80;
        p = n;
    } else if (typecode == kTypecodeDate) {
        auto* d = new OCIDate{};
        d->OCIDateYYYY = 1;
        d->OCIDateMM = 1;
        d->OCIDateDD = 1;
        p = d;
    } else {
        return Unimplemented(err);
    }
    std::lock_guard<std::mutex> g(InstanceMutex());
    Instances()[p] = typecode;
    *instance = p;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIObjectFree(OCIEnv* env, OCIError* errhp, void* instance, ub2 flags) {
    Error* err = As<Error>(errhp, OCI_HTYPE_ERROR);
    if (!err || !As<Env>(env, OCI_HTYPE_ENV)) return OCI_INVALID_HANDLE;
    err->Clear();
    std::lock_guard<std::mutex> g(InstanceMutex());
    if (!instance || !Instances().count(instance)) return Unimplemented(err);
    ub2 type = Instances()[instance];
    Instances().erase(instance);
    if (type == kTypecodeNumber) delete static_cast<OCINumber*>(instance);
    else delete static_cast<OCIDate*>(instance);
    return OCI_SUCCESS;
}
