#pragma once
// The generic parameter list of the data-set framework: named parameters holding tagged
// values, with a data type and a direction. Data sets and statements copy their variables to
// and from such lists.
#include "base/Variant.h"
#include "db/FieldTypes.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam {
public:
    TParam() = default;
    TParam(std::string name, TFieldType dataType, TParamType paramType)
        : FName(std::move(name)), FDataType(dataType), FParamType(paramType) {}

    const std::string& Name() const { return FName; }
    void SetName(std::string name) { FName = std::move(name); }
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType type) { FDataType = type; }
    TParamType ParamType() const { return FParamType; }
    void SetParamType(TParamType type) { FParamType = type; }

    const Variant& Value() const { return FValue; }
    // A parameter without a data type takes the one of its first value (DataTypeOf).
    void SetValue(const Variant& value);
    bool IsNull() const { return FValue.IsNullOrUnassigned(); }
    // Unassigned value; the data type stays.
    void Clear() { FValue = Variant(); }
    // Name, data type, direction and value of another parameter.
    void Assign(const TParam& source);

    // The field type that fits a tagged value: ftSmallint, ftInteger, ftWord, ftBoolean,
    // ftLargeint, ftFloat, ftCurrency, ftDateTime, ftString, ftWideString, ftBlob; ftUnknown
    // for unassigned, null, arrays and objects.
    static TFieldType DataTypeOf(const Variant& value);

private:
    std::string FName;
    TFieldType FDataType = ftUnknown;
    TParamType FParamType = ptUnknown;
    Variant FValue;
};

class TParams {
public:
    TParams() = default;
    TParams(const TParams& other) { Assign(other); }
    TParams& operator=(const TParams& other) {
        if (this != &other) Assign(other);
        return *this;
    }

    int Count() const { return int(FItems.size()); }
    // "List index out of bounds (" + index + ")".
    TParam& Items(int index) const;
    TParam& operator[](int index) const { return Items(index); }

    // A new parameter at the end; the reference stays valid until it is removed.
    TParam& CreateParam(TFieldType dataType, const std::string& name, TParamType paramType);
    // Ignoring case; nullptr when absent.
    TParam* FindParam(std::string_view name) const;
    // "Parameter '" + name + "' not found".
    TParam& ParamByName(std::string_view name) const;
    void Delete(int index);
    void RemoveParam(const TParam* param); // a parameter of another list is ignored
    void Clear() { FItems.clear(); }
    // A copy of every parameter of source, replacing this list.
    void Assign(const TParams& source);

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};

} // namespace quorvel
