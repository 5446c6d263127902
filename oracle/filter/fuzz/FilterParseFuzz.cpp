// Any filter text either parses or raises EExpression; a parsed tree can be read and freed.
// The input bytes are UTF-8; a first byte of 0xFF switches to raw UTF-16 code units instead,
// so unpaired surrogates and NULs reach the parser too.
#include "oracle/filter/OracleFilter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = Decode(data, size);
    TFilterOptions options;
    if (size > 1 && (data[size - 1] & 1)) options.Include(foCaseInsensitive);
    if (size > 1 && (data[size - 1] & 2)) options.Include(foNoPartialCompare);
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
