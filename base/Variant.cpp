#include "base/Variant.h"

#include "base/CodePage.h"
#include "base/FormatSettings.h"

#include <cmath>
#include <limits>

namespace quorvel {

EVariantError::~EVariantError() = default;

struct Variant::ArrayData {
    int LowBound = 0;
    VariantArray Items;
};

namespace {

const char* const kTypeNames[] = {"Empty",    "Null",    "ShortInt", "SmallInt", "Integer", "Byte",          "Word",
                                  "LongWord", "Int64",   "Single",   "Double",   "Currency", "Date",         "Boolean",
                                  "String",   "UnicodeString", "Array of Byte", "Array", "Object"};

[[noreturn]] void Overflow(TVarType from, TVarType to) {
    throw EVariantError(std::string("Overflow while converting variant of type (") + VarTypeName(from) +
                        ") into type (" + VarTypeName(to) + ")");
}

// Round half to even, as the framework's Round does; false when the result is no Int64.
bool RoundToInt64(double v, std::int64_t& out) {
    if (!std::isfinite(v)) return false;
    double r = std::nearbyint(v); // the default rounding mode is to nearest, ties to even
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
    out = std::int64_t(r);
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x + 32);
        if (y >= 'A' && y <= 'Z') y = char(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace

const char* VarTypeName(TVarType type) {
    unsigned i = unsigned(type);
    return i < sizeof kTypeNames / sizeof kTypeNames[0] ? kTypeNames[i] : "Unknown";
}

Currency Currency::FromDouble(double value) {
    std::int64_t r;
    if (!RoundToInt64(value * 10000.0, r)) Overflow(vtDouble, vtCurrency);
    return Currency{r};
}

Variant::Variant(std::uint64_t v) : FType(vtInt64) {
    if (v > std::uint64_t(std::numeric_limits<std::int64_t>::max())) Overflow(vtInt64, vtInt64);
    FValue = std::int64_t(v);
}

Variant Variant::Null() {
    Variant v;
    v.FType = vtNull;
    return v;
}

Variant Variant::Array(VariantArray elements, int lowBound) {
    Variant v;
    v.FType = vtArray;
    auto data = std::make_shared<ArrayData>();
    data->LowBound = lowBound;
    data->Items = std::move(elements);
    v.FValue = std::move(data);
    return v;
}

Variant Variant::Object(void* object) {
    Variant v;
    v.FType = vtObject;
    v.FValue = object;
    return v;
}

bool Variant::IsOrdinal() const {
    switch (FType) {
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64: case vtBoolean:
        return true;
    default:
        return false;
    }
}

bool Variant::IsFloat() const { return FType == vtSingle || FType == vtDouble || FType == vtCurrency; }
bool Variant::IsNumeric() const { return (IsOrdinal() && FType != vtBoolean) || IsFloat(); }

void Variant::CannotConvert(TVarType target) const {
    throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(FType) + ") into type (" +
                        VarTypeName(target) + ")");
}

std::int64_t Variant::ToInt64() const {
    switch (FType) {
    case vtUnassigned: return 0;
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64: case vtBoolean:
        return RawInt();
    case vtSingle: case vtDouble: case vtDate: {
        std::int64_t r;
        if (!RoundToInt64(RawDouble(), r)) Overflow(FType, vtInt64);
        return r;
    }
    case vtCurrency: {
        std::int64_t s = RawInt(), q = s / 10000, rem = s % 10000;
        if (rem > 5000 || (rem == 5000 && (q & 1))) ++q;
        else if (rem < -5000 || (rem == -5000 && (q & 1))) --q;
        return q;
    }
    case vtString: case vtUString: {
        std::string text = FType == vtString ? std::get<std::string>(FValue) : Utf16ToAnsi(std::get<std::u16string>(FValue));
        std::int64_t r;
        if (TryStrToInt64(text, r)) return r;
        double d;
        auto fs = CurrentFormatSettings();
        if (TryStrToFloat(text, d, *fs)) {
            if (!RoundToInt64(d, r)) Overflow(FType, vtInt64);
            return r;
        }
        CannotConvert(vtInt64);
    }
    default:
        CannotConvert(vtInt64);
    }
}

std::int32_t Variant::ToInteger() const {
    if (FType == vtUnassigned) return 0;
    if (FType == vtNull || FType == vtArray || FType == vtBytes || FType == vtObject) CannotConvert(vtInteger);
    std::int64_t v;
    try {
        v = ToInt64();
    } catch (EVariantError&) {
        if (FType == vtString || FType == vtUString) {
            // Distinguish bad text from a number out of range.
            double d;
            std::string text = ToString();
            auto fs = CurrentFormatSettings();
            if (TryStrToFloat(text, d, *fs)) Overflow(FType, vtInteger);
            CannotConvert(vtInteger);
        }
        Overflow(FType, vtInteger);
    }
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) Overflow(FType, vtInteger);
    return std::int32_t(v);
}

double Variant::ToDouble() const {
    switch (FType) {
    case vtUnassigned: return 0.0;
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64: case vtBoolean:
        return double(RawInt());
    case vtSingle: case vtDouble: case vtDate: return RawDouble();
    case vtCurrency: return double(RawInt()) / 10000.0;
    case vtString: case vtUString: {
        double d;
        auto fs = CurrentFormatSettings();
        if (TryStrToFloat(ToString(), d, *fs)) return d;
        CannotConvert(vtDouble);
    }
    default:
        CannotConvert(vtDouble);
    }
}

Currency Variant::ToCurrency() const {
    switch (FType) {
    case vtCurrency: return Currency{RawInt()};
    case vtUnassigned: return Currency{0};
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64: case vtBoolean: {
        std::int64_t v = RawInt();
        if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) Overflow(FType, vtCurrency);
        return Currency{v * 10000};
    }
    case vtSingle: case vtDouble: case vtDate: {
        std::int64_t r;
        if (!RoundToInt64(RawDouble() * 10000.0, r)) Overflow(FType, vtCurrency);
        return Currency{r};
    }
    case vtString: case vtUString: {
        std::int64_t s;
        auto fs = CurrentFormatSettings();
        if (TryStrToCurrency(ToString(), s, *fs)) return Currency{s};
        CannotConvert(vtCurrency);
    }
    default:
        CannotConvert(vtCurrency);
    }
}

bool Variant::ToBoolean() const {
    switch (FType) {
    case vtUnassigned: return false;
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64: case vtBoolean:
    case vtCurrency:
        return RawInt() != 0;
    case vtSingle: case vtDouble: case vtDate: return RawDouble() != 0.0;
    case vtString: case vtUString: {
        std::string text = ToString();
        std::string_view t = TrimBlanks(text);
        if (EqualsNoCase(t, "true")) return true;
        if (EqualsNoCase(t, "false")) return false;
        double d;
        auto fs = CurrentFormatSettings();
        if (TryStrToFloat(t, d, *fs)) return d != 0.0;
        CannotConvert(vtBoolean);
    }
    default:
        CannotConvert(vtBoolean);
    }
}

TDateTime Variant::ToDateTime() const {
    switch (FType) {
    case vtUnassigned: return TDateTime(0.0);
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64:
        return TDateTime(double(RawInt()));
    case vtSingle: case vtDouble: case vtDate: return TDateTime(RawDouble());
    case vtCurrency: return TDateTime(double(RawInt()) / 10000.0);
    case vtString: case vtUString: {
        TDateTime d;
        auto fs = CurrentFormatSettings();
        if (TryStrToDateTime(ToString(), d, *fs)) return d;
        CannotConvert(vtDate);
    }
    default:
        CannotConvert(vtDate);
    }
}

std::string Variant::ToString() const {
    switch (FType) {
    case vtUnassigned: return std::string();
    case vtShortInt: case vtSmallInt: case vtInteger: case vtByte: case vtWord: case vtLongWord: case vtInt64:
        return std::to_string(RawInt());
    case vtBoolean: return RawInt() ? "True" : "False";
    case vtSingle: {
        auto fs = CurrentFormatSettings();
        return FloatToStrPrec(RawDouble(), 7, *fs);
    }
    case vtDouble: {
        auto fs = CurrentFormatSettings();
        return FloatToStrPrec(RawDouble(), 15, *fs);
    }
    case vtCurrency: {
        auto fs = CurrentFormatSettings();
        return CurrencyToStr(RawInt(), *fs);
    }
    case vtDate: {
        auto fs = CurrentFormatSettings();
        return DateTimeToStr(TDateTime(RawDouble()), *fs);
    }
    case vtString: return std::get<std::string>(FValue);
    case vtUString: return Utf16ToAnsi(std::get<std::u16string>(FValue));
    case vtBytes: {
        const auto& b = std::get<std::vector<std::uint8_t>>(FValue);
        return std::string(b.begin(), b.end());
    }
    default:
        CannotConvert(vtString);
    }
}

std::u16string Variant::ToUString() const {
    if (FType == vtUString) return std::get<std::u16string>(FValue);
    if (FType == vtNull || FType == vtArray || FType == vtObject) CannotConvert(vtUString);
    return AnsiToUtf16(ToString());
}

std::vector<std::uint8_t> Variant::ToBytes() const {
    switch (FType) {
    case vtUnassigned: return {};
    case vtBytes: return std::get<std::vector<std::uint8_t>>(FValue);
    case vtString: {
        const auto& s = std::get<std::string>(FValue);
        return std::vector<std::uint8_t>(s.begin(), s.end());
    }
    case vtArray: {
        std::vector<std::uint8_t> out;
        for (const Variant& e : Elements()) {
            if (!e.IsOrdinal() || e.FType == vtBoolean) CannotConvert(vtBytes);
            std::int64_t v = e.RawInt();
            if (v < 0 || v > 255) Overflow(e.FType, vtByte);
            out.push_back(std::uint8_t(v));
        }
        return out;
    }
    default:
        CannotConvert(vtBytes);
    }
}

void* Variant::ToObject() const {
    if (FType == vtObject) return std::get<void*>(FValue);
    if (FType == vtNull || FType == vtUnassigned) return nullptr;
    CannotConvert(vtObject);
}

int Variant::LowBound() const {
    if (FType == vtBytes) return 0;
    if (FType == vtArray) return std::get<std::shared_ptr<ArrayData>>(FValue)->LowBound;
    throw EVariantError("Variant is not an array");
}

int Variant::Count() const {
    if (FType == vtBytes) return int(std::get<std::vector<std::uint8_t>>(FValue).size());
    if (FType == vtArray) return int(std::get<std::shared_ptr<ArrayData>>(FValue)->Items.size());
    throw EVariantError("Variant is not an array");
}

int Variant::HighBound() const { return LowBound() + Count() - 1; }

Variant Variant::Element(int index) const {
    int low = LowBound(), count = Count();
    if (index < low || index - low >= count) throw EVariantError("Variant array index out of bounds");
    if (FType == vtBytes) return Variant(std::get<std::vector<std::uint8_t>>(FValue)[size_t(index - low)]);
    return std::get<std::shared_ptr<ArrayData>>(FValue)->Items[size_t(index - low)];
}

Variant::ArrayData& Variant::MutableArray() {
    auto& p = std::get<std::shared_ptr<ArrayData>>(FValue);
    if (p.use_count() > 1) p = std::make_shared<ArrayData>(*p);
    return *p;
}

void Variant::SetElement(int index, const Variant& value) {
    int low = LowBound(), count = Count();
    if (index < low || index - low >= count) throw EVariantError("Variant array index out of bounds");
    if (FType == vtBytes) {
        std::int64_t v = value.ToInt64();
        if (v < 0 || v > 255) Overflow(value.FType, vtByte);
        std::get<std::vector<std::uint8_t>>(FValue)[size_t(index - low)] = std::uint8_t(v);
        return;
    }
    Variant copy = value; // value may be an element of this array
    MutableArray().Items[size_t(index - low)] = std::move(copy);
}

const VariantArray& Variant::Elements() const {
    if (FType != vtArray) throw EVariantError("Variant is not an array");
    return std::get<std::shared_ptr<ArrayData>>(FValue)->Items;
}

const std::vector<std::uint8_t>& Variant::Bytes() const {
    if (FType != vtBytes) throw EVariantError("Variant is not a byte array");
    return std::get<std::vector<std::uint8_t>>(FValue);
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.FType != b.FType) return false;
    if (a.FType == vtArray) {
        const auto& x = *std::get<std::shared_ptr<Variant::ArrayData>>(a.FValue);
        const auto& y = *std::get<std::shared_ptr<Variant::ArrayData>>(b.FValue);
        return x.LowBound == y.LowBound && x.Items == y.Items;
    }
    return a.FValue == b.FValue;
}

std::string VarToStr(const Variant& v) { return v.IsNullOrUnassigned() ? std::string() : v.ToString(); }
std::u16string VarToUStr(const Variant& v) { return v.IsNullOrUnassigned() ? std::u16string() : v.ToUString(); }

} // namespace quorvel
