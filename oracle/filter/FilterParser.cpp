// The filter text parser: a recursive descent over four precedence levels.
#include "oracle/filter/FilterNodes.h"
#include "oracle/filter/OracleFilter.h"
#include "oracle/filter/internal/FilterParseState.h"
#include "oracle/filter/internal/FilterText.h"

#include <algorithm>

namespace quorvel {

using filter_detail::Raise;
using filter_detail::ToUtf8;

namespace {

constexpr size_t kMaxStringLength = 256;
constexpr size_t kMaxFieldNameLength = 256;
constexpr size_t kMaxNumberLength = 28;
// Nesting beyond this would exhaust the stack when the tree is read or freed.
constexpr int kMaxDepth = 500;

// A parsed sub-tree and its height.
struct TParsed {
    std::unique_ptr<TExpression> Node;
    int Depth = 0;
};

enum class TWord { None, Operator, True, False };

bool IsBlank(char16_t c) { return c >= 1 && c <= 32; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsIdentStart(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; }
bool IsIdentChar(char16_t c) { return IsIdentStart(c) || IsDigit(c); }
bool IsComparisonChar(char16_t c) { return c == u'<' || c == u'=' || c == u'>'; }

TWord Classify(const std::u16string& word, TOperator& op) {
    static const struct { const char16_t* Text; TOperator Op; } words[] = {
        {u"NOT", opNot}, {u"DIV", opDiv}, {u"MOD", opMod}, {u"AND", opAnd},
        {u"SHL", opShl}, {u"SHR", opShr}, {u"OR", opOr},   {u"XOR", opXor}};
    for (const auto& w : words)
        if (word == w.Text) { op = w.Op; return TWord::Operator; }
    if (word == u"TRUE") return TWord::True;
    if (word == u"FALSE") return TWord::False;
    return TWord::None;
}

class TExpressionParser {
public:
    TExpressionParser(std::u16string_view text, const TIdentifierResolver& resolver, void* context)
        : FText(text), FResolver(resolver), FContext(context) {}

    std::unique_ptr<TExpression> Parse() {
        TParsed root = ParseComparison();
        SkipBlanks();
        if (!AtEnd()) {
            char16_t c = FText[FPos];
            if (c == u')' || c == u',') Raise(ToUtf8(std::u16string(1, c)) + " not appropriate");
            Raise("Syntax error");
        }
        return std::move(root.Node);
    }

private:
    bool AtEnd() const { return FPos >= FText.size(); }
    bool AtSubEnd() const { return AtEnd() || FText[FPos] == u')' || FText[FPos] == u','; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(FText[FPos])) ++FPos;
    }

    struct TNesting {
        explicit TNesting(int& level) : Level(level) {
            if (++Level > kMaxDepth) Raise("Expression too deeply nested");
        }
        ~TNesting() { --Level; }
        int& Level;
    };

    static int Height(int a, int b = 0) {
        int h = std::max(a, b) + 1;
        if (h > kMaxDepth) Raise("Expression too deeply nested");
        return h;
    }

    std::u16string ReadIdentifier() {
        std::u16string word;
        while (!AtEnd() && IsIdentChar(FText[FPos])) {
            char16_t c = FText[FPos++];
            word += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
        }
        return word;
    }

    // Rule 1: empty, or a simple expression with at most one comparison.
    TParsed ParseComparison() {
        TNesting nesting(FNesting);
        SkipBlanks();
        if (AtSubEnd()) return {};
        TParsed left = ParseSimple();
        SkipBlanks();
        if (!AtEnd() && IsComparisonChar(FText[FPos])) {
            TOperator op = ReadComparisonOperator();
            TParsed right = ParseSimple();
            int depth = Height(left.Depth, right.Depth);
            left.Node = std::make_unique<TRelationalOp>(op, std::move(left.Node), std::move(right.Node));
            left.Depth = depth;
            SkipBlanks();
            if (!AtEnd() && IsComparisonChar(FText[FPos])) Raise("Syntax error");
        }
        if (!AtSubEnd()) {
            // Only NOT can be left here: an operand followed by NOT has no meaning.
            size_t saved = FPos;
            TOperator op;
            if (IsIdentStart(FText[FPos]) && Classify(ReadIdentifier(), op) == TWord::Operator && op == opNot)
                Raise(std::string(OperatorName(opNot)) + " not allowed here");
            FPos = saved;
            Raise("Syntax error");
        }
        return left;
    }

    TOperator ReadComparisonOperator() {
        char16_t first = FText[FPos++];
        if (!AtEnd() && IsComparisonChar(FText[FPos])) {
            char16_t second = FText[FPos++];
            if (first == u'<' && second == u'>') return opNEQ;
            if (first == u'<' && second == u'=') return opLTE;
            if (first == u'>' && second == u'=') return opGTE;
            Raise(ToUtf8(std::u16string{first, second}) + " not a valid operator");
        }
        return first == u'=' ? opEq : first == u'<' ? opLT : opGT;
    }

    // Rule 2: terms joined by + - OR XOR.
    TParsed ParseSimple() {
        TParsed left = ParseTerm();
        for (;;) {
            SkipBlanks();
            if (AtEnd()) break;
            char16_t c = FText[FPos];
            TOperator op;
            if (c == u'+') { op = opPlus; ++FPos; }
            else if (c == u'-') { op = opMinus; ++FPos; }
            else if (IsIdentStart(c)) {
                size_t saved = FPos;
                if (Classify(ReadIdentifier(), op) != TWord::Operator || (op != opOr && op != opXor)) {
                    FPos = saved;
                    break;
                }
            } else {
                break;
            }
            TParsed right = ParseTerm();
            int depth = Height(left.Depth, right.Depth);
            left.Node = std::make_unique<TBinaryOp>(op, std::move(left.Node), std::move(right.Node));
            left.Depth = depth;
        }
        return left;
    }

    // Rule 3: factors joined by * / DIV MOD AND SHL SHR.
    TParsed ParseTerm() {
        TParsed left = ParseFactor();
        for (;;) {
            SkipBlanks();
            if (AtSubEnd()) break;
            char16_t c = FText[FPos];
            TOperator op;
            if (c == u'+' || c == u'-' || IsComparisonChar(c)) break;
            if (c == u'*') { op = opMult; ++FPos; }
            else if (c == u'/') { op = opDivide; ++FPos; }
            else if (IsIdentStart(c)) {
                size_t saved = FPos;
                std::u16string word = ReadIdentifier();
                TWord kind = Classify(word, op);
                if (kind == TWord::True || kind == TWord::False) Raise("Boolean literal not allowed here");
                if (kind == TWord::None) Raise("Identifier " + ToUtf8(word) + " not allowed here");
                if (op == opOr || op == opXor || op == opNot) {
                    FPos = saved;
                    break;
                }
            } else {
                Raise("char " + ToUtf8(std::u16string(1, c)) + " in input stream");
            }
            TParsed right = ParseFactor();
            int depth = Height(left.Depth, right.Depth);
            left.Node = std::make_unique<TBinaryOp>(op, std::move(left.Node), std::move(right.Node));
            left.Depth = depth;
        }
        return left;
    }

    // Rule 4.
    TParsed ParseFactor() {
        TNesting nesting(FNesting);
        SkipBlanks();
        if (AtSubEnd()) Raise("Unexpected end of factor");
        char16_t c = FText[FPos];
        if (c == u'+' || c == u'-') {
            ++FPos;
            return Unary(c == u'+' ? opPlus : opMinus);
        }
        if (c == u'[') return FieldName();
        if (c == u'\'') return StringLiteral();
        if (IsDigit(c)) return NumberLiteral();
        if (c == u'(') {
            ++FPos;
            TParsed sub = ParseComparison();
            if (!sub.Node) Raise("invalid sub-expression");
            SkipBlanks();
            if (AtEnd() || FText[FPos] != u')') Raise(" ) expected");
            ++FPos;
            return sub;
        }
        if (IsIdentStart(c)) {
            std::u16string word = ReadIdentifier();
            TOperator op;
            switch (Classify(word, op)) {
            case TWord::Operator:
                if (op == opNot) return Unary(opNot);
                Raise(std::string(OperatorName(op)) + " not allowed here");
            case TWord::True: return {std::make_unique<TBooleanLiteral>(true), 1};
            case TWord::False: return {std::make_unique<TBooleanLiteral>(false), 1};
            case TWord::None: break;
            }
            SkipBlanks();
            int depth = 0;
            std::unique_ptr<TParameterList> params;
            if (!AtEnd() && FText[FPos] == u'(') params = ParameterList(word, depth);
            return Function(word, std::move(params), depth);
        }
        Raise("Syntax error");
    }

    TParsed Unary(TOperator op) {
        TParsed operand = ParseFactor();
        int depth = Height(operand.Depth);
        return {std::make_unique<TUnaryOp>(op, std::move(operand.Node)), depth};
    }

    // At "(": comparisons separated by ",", closed by ")". "()" is an empty list.
    std::unique_ptr<TParameterList> ParameterList(const std::u16string& name, int& depth) {
        ++FPos;
        auto params = std::make_unique<TParameterList>();
        SkipBlanks();
        if (!AtEnd() && FText[FPos] == u')') {
            ++FPos;
            return params;
        }
        for (;;) {
            TParsed arg = ParseComparison();
            if (!arg.Node) Raise("Missing parameter to " + ToUtf8(name));
            depth = std::max(depth, arg.Depth);
            params->Add(std::move(arg.Node));
            SkipBlanks();
            if (!AtEnd() && FText[FPos] == u',') { ++FPos; continue; }
            if (!AtEnd() && FText[FPos] == u')') { ++FPos; break; }
            Raise("Incorrectly formed parameters");
        }
        return params;
    }

    TParsed Function(const std::u16string& name, std::unique_ptr<TParameterList> params, int argDepth) {
        int depth = Height(argDepth);
        if (name == u"IF") return {std::make_unique<TConditional>(std::move(params)), depth};
        static const char16_t* const casts[] = {u"DATE", u"STRING", u"FLOAT", u"INTEGER", u"BOOLEAN"};
        for (int i = 0; i < 5; ++i)
            if (name == casts[i]) return {std::make_unique<TTypeCast>(static_cast<TExprType>(i), std::move(params)), depth};
        for (int i = mfTrunc; i <= mfPower; ++i)
            if (ToUtf8(name) == MathFunctionName(static_cast<TMF>(i)))
                return {std::make_unique<TMathExpression>(static_cast<TMF>(i), std::move(params)), depth};
        for (int i = sfUpper; i <= sfLength; ++i)
            if (ToUtf8(name) == StringFunctionName(static_cast<TSF>(i)))
                return {std::make_unique<TStringExpression>(static_cast<TSF>(i), std::move(params)), depth};
        return Resolve(name, std::move(params));
    }

    TParsed Resolve(const std::u16string& name, std::unique_ptr<TParameterList> params) {
        std::unique_ptr<TExpression> node;
        if (FResolver) node = FResolver(FContext, name, std::move(params));
        if (!node) Raise("Unknown Identifier " + ToUtf8(name));
        return {std::move(node), 1};
    }

    TParsed FieldName() {
        ++FPos;
        size_t start = FPos;
        while (!AtEnd() && FText[FPos] != u']') {
            if (FPos - start >= kMaxFieldNameLength) Raise("Fieldname too long");
            ++FPos;
        }
        if (AtEnd()) Raise("Unterminated fieldname");
        std::u16string name(FText.substr(start, FPos - start));
        ++FPos;
        return Resolve(name, nullptr);
    }

    TParsed StringLiteral() {
        ++FPos;
        std::u16string value;
        for (;;) {
            if (AtEnd()) Raise("Unterminated string");
            char16_t c = FText[FPos];
            if (c == u'\'') {
                if (FPos + 1 < FText.size() && FText[FPos + 1] == u'\'') {
                    FPos += 2;
                } else {
                    ++FPos;
                    break;
                }
            } else {
                ++FPos;
            }
            if (value.size() >= kMaxStringLength) Raise("String too long");
            value += c;
        }
        return {std::make_unique<TStringLiteral>(std::move(value)), 1};
    }

    TParsed NumberLiteral() {
        const char16_t separator = filter_detail::DecimalSeparator();
        size_t start = FPos;
        bool hasSeparator = false, hasExponent = false;
        while (!AtEnd()) {
            char16_t c = FText[FPos];
            if (IsDigit(c)) {
                ++FPos;
            } else if (c == separator) {
                if (hasSeparator || hasExponent) Raise("Bad numeric format");
                hasSeparator = true;
                ++FPos;
            } else if (c == u'E' || c == u'e') {
                if (hasExponent) Raise("Bad numeric format");
                hasExponent = true;
                ++FPos;
                if (!AtEnd() && FText[FPos] == u'-') ++FPos;
                if (AtEnd() || !IsDigit(FText[FPos])) Raise("Bad numeric format");
            } else {
                break;
            }
            if (FPos - start > kMaxNumberLength) Raise("Bad numeric format");
        }
        std::u16string_view text = FText.substr(start, FPos - start);
        if (!hasSeparator && !hasExponent) {
            int64_t value = 0;
            for (char16_t c : text) value = std::min<int64_t>(value * 10 + (c - u'0'), int64_t(1) << 40);
            if (value <= 2147483647) return {std::make_unique<TIntegerLiteral>(static_cast<int32_t>(value)), 1};
        }
        double value;
        if (!filter_detail::ParseFloatLiteral(text, value)) Raise("Bad numeric format");
        return {std::make_unique<TFloatLiteral>(value), 1};
    }

    std::u16string_view FText;
    size_t FPos = 0;
    int FNesting = 0;
    const TIdentifierResolver& FResolver;
    void* FContext;
};

// Sets the comparison flags for the nodes of one parse and restores the previous ones after.
struct TFlagsScope {
    explicit TFlagsScope(TFilterOptions options) : Saved(filter_detail::gParseFlags) {
        filter_detail::gParseFlags.CaseInsensitive = options.Contains(foCaseInsensitive);
        filter_detail::gParseFlags.PartialMatch = !options.Contains(foNoPartialCompare);
    }
    ~TFlagsScope() { filter_detail::gParseFlags = Saved; }
    filter_detail::TParseFlags Saved;
};

} // namespace

std::unique_ptr<TExpression> ParseExpression(std::u16string_view text, TFilterOptions options,
                                             const TIdentifierResolver& resolver, void* context) {
    TFlagsScope flags(options);
    TExpressionParser parser(text, resolver, context);
    try {
        return parser.Parse();
    } catch (const EConvertError& e) {
        // Building an operator over IF reads IF's condition, which may convert a date text:
        // a parse fails only with EExpression, so the conversion's message is carried over.
        throw EExpression(e.Message());
    }
}

} // namespace quorvel
