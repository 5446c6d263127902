#include "db/Params.h"

#include "base/TextCase.h"

namespace quorvel {

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "Unknown", "String", "Smallint", "Integer", "Word", "Boolean", "Float", "Currency", "BCD",
        "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo", "Graphic",
        "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor", "FixedChar", "WideString",
        "Largeint", "ADT", "Array", "Reference", "DataSet", "OraBlob", "OraClob", "Variant",
        "Interface", "IDispatch", "Guid", "TimeStamp", "FMTBcd"};
    int i = int(type);
    if (i < 0 || i >= int(sizeof names / sizeof names[0])) return "Unknown";
    return names[i];
}

TFieldType TParam::DataTypeOf(const Variant& value) {
    switch (value.Type()) {
    case vtShortInt: case vtSmallInt: return ftSmallint;
    case vtByte: case vtWord: return ftWord;
    case vtInteger: return ftInteger;
    case vtLongWord: case vtInt64: return ftLargeint;
    case vtBoolean: return ftBoolean;
    case vtSingle: case vtDouble: return ftFloat;
    case vtCurrency: return ftCurrency;
    case vtDate: return ftDateTime;
    case vtString: return ftString;
    case vtUString: return ftWideString;
    case vtBytes: return ftBlob;
    default: return ftUnknown;
    }
}

void TParam::SetValue(const Variant& value) {
    if (FDataType == ftUnknown) FDataType = DataTypeOf(value);
    FValue = value;
}

void TParam::Assign(const TParam& source) {
    if (&source == this) return;
    FName = source.FName;
    FDataType = source.FDataType;
    FParamType = source.FParamType;
    FValue = source.FValue;
}

TParam& TParams::Items(int index) const {
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    return *FItems[size_t(index)];
}

TParam& TParams::CreateParam(TFieldType dataType, const std::string& name, TParamType paramType) {
    FItems.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return *FItems.back();
}

TParam* TParams::FindParam(std::string_view name) const {
    for (const auto& p : FItems)
        if (AnsiSameText(p->Name(), name)) return p.get();
    return nullptr;
}

TParam& TParams::ParamByName(std::string_view name) const {
    if (TParam* p = FindParam(name)) return *p;
    throw Exception("Parameter '" + std::string(name) + "' not found");
}

void TParams::Delete(int index) {
    Items(index); // the bounds check
    FItems.erase(FItems.begin() + index);
}

void TParams::RemoveParam(const TParam* param) {
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (it->get() == param) {
            FItems.erase(it);
            return;
        }
}

void TParams::Assign(const TParams& source) {
    if (&source == this) return;
    std::vector<std::unique_ptr<TParam>> items;
    items.reserve(source.FItems.size());
    for (const auto& p : source.FItems) items.push_back(std::make_unique<TParam>(*p));
    FItems = std::move(items);
}

} // namespace quorvel
