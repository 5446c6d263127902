#pragma once
// Variant: the tagged value that crosses the library's interfaces.
//
// Conversions follow the component framework: unassigned reads as 0, empty text or false;
// null cannot be converted (EVariantError) except by the Or-default helpers; text converts
// to numbers and dates with the current regional settings; integer conversions check
// their range. 8-bit text is in the process ANSI code page.
#include "base/DateTime.h"
#include "base/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvel {

enum TVarType {
    vtUnassigned,
    vtNull,
    vtShortInt,  // signed 8-bit
    vtSmallInt,  // signed 16-bit
    vtInteger,   // signed 32-bit
    vtByte,      // unsigned 8-bit
    vtWord,      // unsigned 16-bit
    vtLongWord,  // unsigned 32-bit
    vtInt64,
    vtSingle,
    vtDouble,
    vtCurrency,  // fixed point, four decimals
    vtDate,
    vtBoolean,
    vtString,    // 8-bit text
    vtUString,   // UTF-16 text
    vtBytes,     // byte array (low bound 0)
    vtArray,     // array of variants with a low bound
    vtObject     // a reference to an object (a pointer), never an integer
};

// The name of a type as it appears in conversion messages: "Null", "Integer", "String", ...
const char* VarTypeName(TVarType type);

// A conversion that the value does not allow, or a value out of the target's range.
class EVariantError : public Exception {
public:
    using Exception::Exception;
    ~EVariantError() override;
};

// A fixed-point amount with four decimals, stored as the amount times 10000.
struct Currency {
    std::int64_t Scaled = 0;
    static Currency FromDouble(double value); // rounded half to even; EVariantError when out of range
    double ToDouble() const { return double(Scaled) / 10000.0; }
    friend bool operator==(Currency a, Currency b) { return a.Scaled == b.Scaled; }
};

class Variant;
using VariantArray = std::vector<Variant>;

class Variant {
public:
    Variant() = default; // unassigned
    Variant(std::nullptr_t) = delete;
    // A pointer would silently become a Boolean: object references go through Object().
    template <typename T>
    Variant(T*) = delete;
    Variant(bool v) : FType(vtBoolean), FValue(std::int64_t(v)) {}
    Variant(std::int8_t v) : FType(vtShortInt), FValue(std::int64_t(v)) {}
    Variant(std::int16_t v) : FType(vtSmallInt), FValue(std::int64_t(v)) {}
    Variant(std::int32_t v) : FType(vtInteger), FValue(std::int64_t(v)) {}
    Variant(std::uint8_t v) : FType(vtByte), FValue(std::int64_t(v)) {}
    Variant(std::uint16_t v) : FType(vtWord), FValue(std::int64_t(v)) {}
    Variant(std::uint32_t v) : FType(vtLongWord), FValue(std::int64_t(v)) {}
    Variant(std::int64_t v) : FType(vtInt64), FValue(v) {}
#if defined(__LP64__)
    Variant(long long v) : FType(vtInt64), FValue(std::int64_t(v)) {}
    Variant(unsigned long long v) : Variant(static_cast<std::uint64_t>(v)) {}
#endif
    // An unsigned 64-bit count or size: an Int64, EVariantError above its range.
    Variant(std::uint64_t v);
    Variant(float v) : FType(vtSingle), FValue(double(v)) {}
    Variant(double v) : FType(vtDouble), FValue(v) {}
    Variant(Currency v) : FType(vtCurrency), FValue(v.Scaled) {}
    Variant(TDateTime v) : FType(vtDate), FValue(v.Value) {}
    Variant(const char* v) : FType(vtString), FValue(std::string(v)) {}
    Variant(std::string v) : FType(vtString), FValue(std::move(v)) {}
    Variant(std::string_view v) : FType(vtString), FValue(std::string(v)) {}
    Variant(const char16_t* v) : FType(vtUString), FValue(std::u16string(v)) {}
    Variant(std::u16string v) : FType(vtUString), FValue(std::move(v)) {}
    Variant(std::u16string_view v) : FType(vtUString), FValue(std::u16string(v)) {}
    Variant(std::vector<std::uint8_t> v) : FType(vtBytes), FValue(std::move(v)) {}

    static Variant Unassigned() { return Variant(); }
    static Variant Null();
    // An array of the given elements, indexed from lowBound.
    static Variant Array(VariantArray elements, int lowBound = 0);
    static Variant Object(void* object);

    TVarType Type() const { return FType; }
    bool IsUnassigned() const { return FType == vtUnassigned; }
    bool IsNull() const { return FType == vtNull; }
    bool IsNullOrUnassigned() const { return FType == vtNull || FType == vtUnassigned; }
    bool IsOrdinal() const;  // an integer kind or Boolean
    bool IsFloat() const;    // single, double, currency
    bool IsNumeric() const;  // ordinal or float (not Boolean)
    bool IsText() const { return FType == vtString || FType == vtUString; }
    bool IsArray() const { return FType == vtArray || FType == vtBytes; }
    bool IsObject() const { return FType == vtObject; }

    // Conversions; EVariantError when the value cannot be converted.
    std::int32_t ToInteger() const;
    std::int64_t ToInt64() const;
    double ToDouble() const;
    Currency ToCurrency() const;
    bool ToBoolean() const;
    TDateTime ToDateTime() const;
    std::string ToString() const;      // 8-bit text
    std::u16string ToUString() const;  // UTF-16 text
    // The bytes of a byte array (an array of integers 0..255 is accepted too, and 8-bit text
    // gives its bytes).
    std::vector<std::uint8_t> ToBytes() const;
    // The object of an object reference; null and unassigned give nullptr.
    void* ToObject() const;

    // Array access (byte arrays and variant arrays). Bounds are inclusive; an empty array has
    // HighBound() == LowBound() - 1. EVariantError for a non-array or an index out of bounds.
    int LowBound() const;
    int HighBound() const;
    int Count() const;
    Variant Element(int index) const;
    void SetElement(int index, const Variant& value);
    const VariantArray& Elements() const; // vtArray only
    const std::vector<std::uint8_t>& Bytes() const; // vtBytes only

    // Same type and the same value (text compared exactly, arrays element by element).
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct ArrayData;
    TVarType FType = vtUnassigned;
    std::variant<std::monostate, std::int64_t, double, std::string, std::u16string, std::vector<std::uint8_t>,
                 std::shared_ptr<ArrayData>, void*>
        FValue;

    [[noreturn]] void CannotConvert(TVarType target) const;
    std::int64_t RawInt() const { return std::get<std::int64_t>(FValue); }
    double RawDouble() const { return std::get<double>(FValue); }
    ArrayData& MutableArray();
};

// Text of a value with null and unassigned as the empty text.
std::string VarToStr(const Variant& v);
std::u16string VarToUStr(const Variant& v);

} // namespace quorvel
