// Any filter text either parses or raises EExpression; a parsed tree can be read and freed.
// The input bytes are UTF-8; a first byte of 0xFF switches to raw UTF-16 code units instead,
// so unpaired surrogates and NULs reach the parser too.
//
// The text is also parsed over the columns of a small record source, once with plain column
// references (which comparisons and chains read straight from the source) and once with
// references that hide what they are (read node by node); both must give the same result
// or the same failure for every record.
#include "oracle/filter/OracleFilter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace quorvel;

std::u16string Decode(const uint8_t* data, size_t size) {
    std::u16string text;
    if (size > 0 && data[0] == 0xFF) {
        for (size_t i = 1; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        return text;
    }
    for (size_t i = 0; i < size; ++i) text += static_cast<char16_t>(data[i]);
    return text;
}

// Every name is a value of a type picked from the name, so typed trees get built.
class TFuzzValue : public TExpression {
public:
    explicit TFuzzValue(size_t seed) : FType(static_cast<TExprType>(seed % 5)), FNull(seed % 7 == 0) {}
    TDateTime AsDate() const override { return TDateTime(40000.25); }
    std::u16string_view ReadString(std::u16string&) const override { return u"Fuzz*"; }
    double AsFloat() const override { return 2.5; }
    int32_t AsInteger() const override { return 3; }
    bool AsBoolean() const override { return true; }
    bool IsNull() const override { return FNull; }
    TExprType ExprType() const override { return FType; }

private:
    TExprType FType;
    bool FNull;
};

std::unique_ptr<TExpression> Resolve(void*, const std::u16string& name, std::unique_ptr<TParameterList> params) {
    if (name.size() % 11 == 10) return nullptr;
    return std::make_unique<TFuzzValue>(name.size() + (params ? params->Count() : 0));
}

// Five columns, one of each type, over four records; every name is one of them, picked by
// its length ("NULL" stays the null constant). Values of one record need not agree across
// readers: both readings ask the same readers.
class TFuzzRecords final : public TFieldResolver {
public:
    int FieldIndex(std::u16string_view name) const override { return static_cast<int>(name.size() % 5); }
    TExprType FieldType(int index) const override { return static_cast<TExprType>(index); }
    bool FieldIsNull(int index) const override { return (Current + index) % 4 == 3; }
    TDateTime FieldAsDateTime(int) const override { return TDateTime(kFloats[Current]); }
    double FieldAsFloat(int) const override { return kFloats[Current]; }
    int32_t FieldAsInteger(int) const override { return kIntegers[Current]; }
    bool FieldAsBoolean(int) const override { return Current % 2 == 0; }
    std::u16string_view FieldAsString(int, std::u16string&) const override { return kStrings[Current]; }

    static constexpr int kRecords = 4;
    int Current = 0;

private:
    static constexpr double kFloats[kRecords] = {1.5, -2, 0, 43000.25};
    static constexpr int32_t kIntegers[kRecords] = {1, -2, 0, 2147483647};
    static constexpr std::u16string_view kStrings[kRecords] = {u"Fuzz", u"fuzz*", u"", u"1"};
};

class TOpaqueColumn final : public TExpression {
public:
    explicit TOpaqueColumn(std::unique_ptr<TExpression> column) : FColumn(std::move(column)) {}
    TDateTime AsDate() const override { return FColumn->AsDate(); }
    std::u16string_view ReadString(std::u16string& buffer) const override { return FColumn->ReadString(buffer); }
    double AsFloat() const override { return FColumn->AsFloat(); }
    int32_t AsInteger() const override { return FColumn->AsInteger(); }
    bool AsBoolean() const override { return FColumn->AsBoolean(); }
    bool IsNull() const override { return FColumn->IsNull(); }
    TExprType ExprType() const override { return FColumn->ExprType(); }

private:
    std::unique_ptr<TExpression> FColumn;
};

std::unique_ptr<TExpression> ResolveOpaque(void* context, const std::u16string& name,
                                           std::unique_ptr<TParameterList> params) {
    return std::make_unique<TOpaqueColumn>(ResolveColumn(context, name, std::move(params)));
}

std::vector<std::string> Outcomes(TFuzzRecords& records, const std::u16string& text, TFilterOptions options,
                                  const TIdentifierResolver& resolver) {
    std::unique_ptr<TExpression> root;
    try {
        root = ParseExpression(text, options, resolver, static_cast<TFieldResolver*>(&records));
    } catch (const Exception& e) {
        return {"parse: " + e.Message()};
    }
    if (!root) return {};
    std::vector<std::string> out;
    for (records.Current = 0; records.Current < TFuzzRecords::kRecords; ++records.Current) {
        try {
            out.push_back(root->AsBoolean() ? "1" : "0");
        } catch (const Exception& e) {
            out.push_back(e.Message());
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = Decode(data, size);
    TFilterOptions options;
    if (size > 1 && (data[size - 1] & 1)) options.Include(foCaseInsensitive);
    if (size > 1 && (data[size - 1] & 2)) options.Include(foNoPartialCompare);
    TFuzzRecords records;
    if (Outcomes(records, text, options, ResolveColumn) != Outcomes(records, text, options, ResolveOpaque)) abort();

    std::unique_ptr<TExpression> root;
    try {
        root = ParseExpression(text, options, Resolve);
    } catch (const EExpression&) {
        return 0;
    }
    if (!root) return 0;
    // Reading may fail with the language's own errors or a date text the platform refuses.
    try { (void)root->AsBoolean(); } catch (const Exception&) {}
    try { (void)root->AsString(); } catch (const Exception&) {}
    try { (void)root->AsFloat(); } catch (const Exception&) {}
    try { (void)root->AsInteger(); } catch (const Exception&) {}
    return 0;
}
