// Filter expression nodes: the base conversions, the operators, comparisons and functions.
#include "oracle/filter/OracleFilter.h"
#include "oracle/filter/FilterNodes.h"
#include "oracle/filter/internal/FilterParseState.h"
#include "oracle/filter/internal/FilterText.h"

#include "base/TextCase.h"

#include <cmath>
#include <cstdio>
#include <typeinfo>

namespace quorvel {

using filter_detail::Raise;

namespace filter_detail {
thread_local TParseFlags gParseFlags;
}

EExpression::~EExpression() = default;
TFieldResolver::~TFieldResolver() = default;

const char* ExprTypeName(TExprType type) {
    switch (type) {
    case ttDate: return "Date";
    case ttString: return "String";
    case ttFloat: return "Float";
    case ttInteger: return "Integer";
    case ttBoolean: return "Boolean";
    }
    return "?";
}

const char* OperatorName(TOperator op) {
    static const char* const names[] = {"opNot", "opMult", "opDivide", "opDiv", "opMod", "opAnd",
                                        "opShl", "opShr", "opPlus", "opMinus", "opOr", "opXor",
                                        "opEq", "opNEQ", "opLT", "opGT", "opLTE", "opGTE"};
    return static_cast<unsigned>(op) < std::size(names) ? names[op] : "?";
}

const char* MathFunctionName(TMF op) {
    static const char* const names[] = {"TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP", "FRAC",
                                        "INT", "LN", "PI", "SIN", "SQR", "SQRT", "POWER"};
    return static_cast<unsigned>(op) < std::size(names) ? names[op] : "?";
}

const char* StringFunctionName(TSF op) {
    static const char* const names[] = {"UPPER", "LOWER", "COPY", "POS", "LENGTH"};
    return static_cast<unsigned>(op) < std::size(names) ? names[op] : "?";
}

namespace {

[[noreturn]] void CannotRead(TExprType own, const char* as) {
    Raise(std::string("Cannot read ") + ExprTypeName(own) + " as " + as);
}

[[noreturn]] void InternalError(int code) {
    Raise("Internal parser error. Code " + std::to_string(code));
}

[[noreturn]] void Incompatible(TOperator op, TExprType type) {
    Raise(std::string("Operator ") + OperatorName(op) + " incompatible with " + ExprTypeName(type));
}

[[noreturn]] void DivisionByZero() { Raise("Division by zero"); }

int32_t TruncToInteger(double value) {
    double t = std::trunc(value);
    if (!(t >= -2147483648.0 && t <= 2147483647.0)) Raise("Integer overflow");
    return static_cast<int32_t>(t);
}

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

void AppendDecimal(std::u16string& out, int64_t value) {
    char buf[24];
    int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    out.assign(buf, buf + n);
}

// The result type of op on operands of type t, or -1 when op is not allowed there.
int ResultType(TOperator op, TExprType t) {
    switch (t) {
    case ttDate: return op == opPlus || op == opMinus ? ttDate : -1;
    case ttString: return op == opPlus ? ttString : -1;
    case ttFloat: return op == opMult || op == opDivide || op == opPlus || op == opMinus ? ttFloat : -1;
    case ttInteger:
        switch (op) {
        case opNot: case opMult: case opDiv: case opMod: case opAnd: case opShl: case opShr:
        case opPlus: case opMinus: case opOr: case opXor: return ttInteger;
        case opDivide: return ttFloat;
        default: return -1;
        }
    case ttBoolean: return op == opNot || op == opAnd || op == opOr || op == opXor ? ttBoolean : -1;
    }
    return -1;
}

TExprType Earlier(TExprType a, TExprType b) { return a < b ? a : b; }

} // namespace

// ---- TExpression: the base conversions --------------------------------------------------

TExpression::TExpression()
    : FCaseInsensitive(filter_detail::gParseFlags.CaseInsensitive),
      FPartialMatch(filter_detail::gParseFlags.PartialMatch) {}

TExpression::~TExpression() = default;

TDateTime TExpression::AsDate() const {
    TExprType own = ExprType();
    switch (own) {
    case ttString: {
        std::u16string buffer;
        return filter_detail::ParseDateTime(ReadString(buffer));
    }
    case ttFloat: return TDateTime(AsFloat());
    case ttInteger: return TDateTime(AsInteger());
    default: CannotRead(own, "Date");
    }
}

std::u16string_view TExpression::ReadString(std::u16string& buffer) const {
    TExprType own = ExprType();
    switch (own) {
    case ttDate: filter_detail::FormatDateTime(AsDate(), buffer); return buffer;
    case ttFloat: filter_detail::FormatFloat(AsFloat(), buffer); return buffer;
    case ttInteger: AppendDecimal(buffer, AsInteger()); return buffer;
    case ttBoolean: return AsBoolean() ? u"TRUE" : u"FALSE";
    default: CannotRead(own, "String");
    }
}

double TExpression::AsFloat() const {
    TExprType own = ExprType();
    switch (own) {
    case ttDate: return AsDate().Value;
    case ttInteger: return AsInteger();
    case ttBoolean: return AsBoolean() ? 1.0 : 0.0;
    default: CannotRead(own, "Float");
    }
}

int32_t TExpression::AsInteger() const {
    TExprType own = ExprType();
    switch (own) {
    case ttDate: return TruncToInteger(AsDate().Value);
    case ttBoolean: return AsBoolean() ? 1 : 0;
    default: CannotRead(own, "integer");
    }
}

bool TExpression::AsBoolean() const { CannotRead(ExprType(), "boolean"); }

bool TExpression::IsNull() const { return false; }

std::u16string TExpression::AsString() const {
    std::u16string buffer;
    std::u16string_view view = ReadString(buffer);
    if (view.data() == buffer.data() && view.size() == buffer.size()) return buffer;
    return std::u16string(view);
}

// ---- TParameterList ---------------------------------------------------------------------

TParameterList::TParameterList() = default;
TParameterList::~TParameterList() = default;

void TParameterList::Add(std::unique_ptr<TExpression> item) { FItems.push_back(std::move(item)); }

TExpression& TParameterList::Param(int index) const {
    if (index < 0 || index >= Count() || !FItems[index])
        Raise("List index out of bounds (" + std::to_string(index) + ")");
    return *FItems[index];
}

// ---- TUnaryOp -----------------------------------------------------------------------------

TUnaryOp::TUnaryOp(TOperator op, std::unique_ptr<TExpression> operand)
    : FOperand(std::move(operand)), FOperandType(ttString), FOperator(op), FResultType(-1) {
    if (op != opNot && op != opPlus && op != opMinus)
        Raise(std::string(OperatorName(op)) + " is not simple unary operator");
    if (!FOperand) Raise("Unexpected end of factor");
    FOperandType = FOperand->ExprType();
    FResultType = ResultType(op, FOperandType);
    // Unary + and - keep Booleans out (their row allows NOT only); unary - needs a number or date.
    if (op == opMinus && FOperandType == ttString) FResultType = -1;
}

TUnaryOp::~TUnaryOp() = default;

TExprType TUnaryOp::ExprType() const {
    if (FResultType < 0) Incompatible(FOperator, FOperandType);
    return static_cast<TExprType>(FResultType);
}

TDateTime TUnaryOp::AsDate() const {
    if (ExprType() != ttDate) return TExpression::AsDate();
    TDateTime value = FOperand->AsDate();
    return FOperator == opMinus ? TDateTime(-value.Value) : value;
}

std::u16string_view TUnaryOp::ReadString(std::u16string& buffer) const {
    if (ExprType() != ttString) return TExpression::ReadString(buffer);
    return FOperand->ReadString(buffer);
}

double TUnaryOp::AsFloat() const {
    TExprType r = ExprType();
    if (r != ttFloat && r != ttDate) return TExpression::AsFloat();
    double value = FOperand->AsFloat();
    return FOperator == opMinus ? -value : value;
}

int32_t TUnaryOp::AsInteger() const {
    ExprType();
    if (FOperandType != ttInteger && FOperandType != ttBoolean) InternalError(6);
    if (FOperator == opNot) {
        if (FOperandType == ttBoolean) return FOperand->AsBoolean() ? 0 : 1;
        return ~FOperand->AsInteger();
    }
    int32_t value = FOperand->AsInteger();
    return FOperator == opMinus ? Wrap(-static_cast<int64_t>(value)) : value;
}

bool TUnaryOp::AsBoolean() const {
    if (ExprType() != ttBoolean) return TExpression::AsBoolean();
    return !FOperand->AsBoolean();
}

// ---- TBinaryOp ----------------------------------------------------------------------------

TBinaryOp::TBinaryOp(TOperator op, std::unique_ptr<TExpression> operand1, std::unique_ptr<TExpression> operand2)
    : FOperand1(std::move(operand1)), FOperand2(std::move(operand2)), FOperator(op), FOperandType(ttString),
      FResultType(-1) {
    if (op < opMult || op > opXor) Raise(std::string(OperatorName(op)) + " is not a simple binary operator");
    if (!FOperand1 || !FOperand2) Raise("Unexpected end of factor");
    FOperandType = Earlier(FOperand1->ExprType(), FOperand2->ExprType());
    FResultType = ResultType(op, FOperandType);
    if (op == opNot) FResultType = -1;
    if ((op == opAnd || op == opOr) && FResultType == ttBoolean) {
        // An operand that is the same operator over Booleans hands its chain over, so a
        // chain of n operands is held once, by its top node.
        for (TExpression* operand : {FOperand1.get(), FOperand2.get()}) {
            if (typeid(*operand) == typeid(TBinaryOp)) {
                auto& inner = static_cast<TBinaryOp&>(*operand);
                if (inner.FOperator == op && !inner.FChain.empty()) {
                    FChain.insert(FChain.end(), inner.FChain.begin(), inner.FChain.end());
                    inner.FChain.clear();
                    inner.FChain.shrink_to_fit();
                    continue;
                }
            }
            const TRelationalOp* comparison =
                typeid(*operand) == typeid(TRelationalOp) ? static_cast<const TRelationalOp*>(operand) : nullptr;
            FChain.push_back({comparison ? comparison->FInline : uint8_t(0), comparison, operand});
        }
    }
}

TBinaryOp::~TBinaryOp() = default;

TExprType TBinaryOp::ExprType() const {
    if (FResultType < 0) Incompatible(FOperator, FOperandType);
    return static_cast<TExprType>(FResultType);
}

TDateTime TBinaryOp::AsDate() const {
    if (ExprType() != ttDate) return TExpression::AsDate();
    double a = FOperand1->AsDate().Value;
    double b = FOperand2->AsDate().Value;
    switch (FOperator) {
    case opPlus: return TDateTime(a + b);
    case opMinus: return TDateTime(a - b);
    default: InternalError(14);
    }
}

std::u16string_view TBinaryOp::ReadString(std::u16string& buffer) const {
    if (ExprType() != ttString) return TExpression::ReadString(buffer);
    if (FOperator != opPlus) InternalError(10);
    std::u16string_view a = FOperand1->ReadString(FBuffer1);
    std::u16string_view b = FOperand2->ReadString(FBuffer2);
    buffer.reserve(a.size() + b.size());
    buffer.assign(a);
    buffer.append(b);
    return buffer;
}

double TBinaryOp::AsFloat() const {
    if (ExprType() != ttFloat) return TExpression::AsFloat();
    double a = FOperand1->AsFloat();
    double b = FOperand2->AsFloat();
    switch (FOperator) {
    case opMult: return a * b;
    case opDivide:
        if (b == 0) DivisionByZero();
        return a / b;
    case opPlus: return a + b;
    case opMinus: return a - b;
    default: InternalError(11);
    }
}

int32_t TBinaryOp::AsInteger() const {
    if (ExprType() != ttInteger) return TExpression::AsInteger();
    int64_t a = FOperand1->AsInteger();
    int64_t b = FOperand2->AsInteger();
    uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    switch (FOperator) {
    case opMult: return Wrap(a * b);
    case opDiv:
        if (b == 0) DivisionByZero();
        return Wrap(a / b);
    case opMod:
        if (b == 0) DivisionByZero();
        return Wrap(a % b);
    case opAnd: return static_cast<int32_t>(ua & ub);
    case opOr: return static_cast<int32_t>(ua | ub);
    case opXor: return static_cast<int32_t>(ua ^ ub);
    case opShl: return static_cast<int32_t>(ua << (ub & 31));
    case opShr: return static_cast<int32_t>(ua >> (ub & 31));
    case opPlus: return Wrap(a + b);
    case opMinus: return Wrap(a - b);
    default: InternalError(12);
    }
}

// ---- TRelationalOp ------------------------------------------------------------------------

namespace {

template <class T>
bool Ordered(TOperator op, const T& a, const T& b) {
    switch (op) {
    case opEq: return a == b;
    case opNEQ: return a != b;
    case opLT: return a < b;
    case opGT: return a > b;
    case opLTE: return a <= b;
    default: return a >= b;
    }
}

template <TOperator Op, class T>
bool Holds(const T& a, const T& b) {
    if constexpr (Op == opEq) return a == b;
    else if constexpr (Op == opNEQ) return a != b;
    else if constexpr (Op == opLT) return a < b;
    else if constexpr (Op == opGT) return a > b;
    else if constexpr (Op == opLTE) return a <= b;
    else return a >= b;
}

// The kinds of comparison read inline (TRelationalOp::TPaths::Read), all of a column and a
// literal. The kinds of a type follow its first in the order of the operators from = to >=;
// Boolean has = and <> only, String the case-sensitive = and <> without wildcards.
enum : uint8_t {
    inlineNone = 0,
    inlineInteger = 1,
    inlineFloat = inlineInteger + 6,
    inlineDate = inlineFloat + 6,
    inlineBoolean = inlineDate + 6,
    inlineString = inlineBoolean + 2,
};

// The operator that gives the same result with the operands swapped.
TOperator Mirrored(TOperator op) {
    switch (op) {
    case opLT: return opGT;
    case opGT: return opLT;
    case opLTE: return opGTE;
    case opGTE: return opLTE;
    default: return op;
    }
}

bool IsNullConstant(const TExpression& node) {
    return typeid(node) == typeid(TColumnExpression) && static_cast<const TColumnExpression&>(node).FieldIndex() < 0;
}

bool IsLiteral(const std::type_info& t) {
    return t == typeid(TIntegerLiteral) || t == typeid(TFloatLiteral) || t == typeid(TStringLiteral) ||
           t == typeid(TBooleanLiteral);
}

// Code unit by code unit, a shorter prefix first; a folded side is read upper-cased, one
// character for one, as UpperCase gives it.
int CompareUnits(std::u16string_view a, bool foldA, std::u16string_view b, bool foldB) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t x = foldA ? WideUpperChar(a[i]) : a[i];
        char16_t y = foldB ? WideUpperChar(b[i]) : b[i];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

struct TRelationalOp::TPaths {
    // The comparison's value, kind being its FInline: the inline kinds here, the others
    // through FTest. Chains of AND and OR read their comparisons through it, without a call.
    [[gnu::always_inline]] static inline bool Read(const TRelationalOp& self, uint8_t kind);

    // How the values of one comparison type come from a literal and from a column; a column
    // reader returns false for a null field.
    struct IntegerValues {
        using T = int32_t;
        static T Literal(const TDirectOperand& d) { return d.Integer; }
        static bool Column(const TDirectOperand& d, T& v) { return d.Source->FieldInteger(d.Index, v); }
    };
    struct FloatValues {
        using T = double;
        static T Literal(const TDirectOperand& d) { return d.Float; }
        static bool Column(const TDirectOperand& d, T& v) { return d.Source->FieldFloat(d.Index, v); }
    };
    struct DateValues {
        using T = double;
        static T Literal(const TDirectOperand& d) { return d.Float; }
        static bool Column(const TDirectOperand& d, T& v) {
            TDateTime value;
            if (!d.Source->FieldDateTime(d.Index, value)) return false;
            v = value.Value;
            return true;
        }
    };
    struct BooleanValues {
        using T = bool;
        static T Literal(const TDirectOperand& d) { return d.Boolean; }
        static bool Column(const TDirectOperand& d, T& v) { return d.Source->FieldBoolean(d.Index, v); }
    };

    // Operands read as their nodes would read them, one by one.
    static bool General(const TRelationalOp& self) {
        bool null1 = self.FMayBeNull1 && self.FOperand1->IsNull();
        bool null2 = self.FMayBeNull2 && self.FOperand2->IsNull();
        if (null1 || null2) return self.NullResult(null1, null2);
        const TExpression& a = *self.FOperand1;
        const TExpression& b = *self.FOperand2;
        const TOperator op = self.FOperator;
        TExprType type = self.FCompareType >= 0 ? static_cast<TExprType>(self.FCompareType)
                                                : Earlier(a.ExprType(), b.ExprType());
        switch (type) {
        case ttDate: return Ordered(op, a.AsDate().Value, b.AsDate().Value);
        case ttFloat: return Ordered(op, a.AsFloat(), b.AsFloat());
        case ttInteger: return Ordered(op, a.AsInteger(), b.AsInteger());
        case ttBoolean:
            if (op != opEq && op != opNEQ)
                Raise(std::string("cannot apply ") + OperatorName(op) + " to boolean operands");
            return Ordered(op, a.AsBoolean(), b.AsBoolean());
        case ttString: break;
        }
        return self.CompareStrings(a.ReadString(self.FBuffer1), b.ReadString(self.FBuffer2));
    }

    // A comparison with the NULL constant: only the other side's null state counts.
    static bool NullTest(const TRelationalOp& self) {
        const TDirectOperand& d = self.FDirect1;
        bool otherNull = d.Source ? d.Source->FieldIsNull(d.Index) : d.Boolean;
        return self.NullResult(true, otherNull);
    }

    // Any two direct operands of a type other than String.
    template <class V>
    static bool Direct(const TRelationalOp& self) {
        const TDirectOperand& d1 = self.FDirect1;
        const TDirectOperand& d2 = self.FDirect2;
        typename V::T a = V::Literal(d1), b = V::Literal(d2);
        bool null1 = d1.Source && !V::Column(d1, a);
        bool null2 = d2.Source && !V::Column(d2, b);
        return null1 || null2 ? self.NullResult(null1, null2) : Ordered(self.FOperator, a, b);
    }

    // A column (the first direct operand) and a literal (the second): a null column only
    // satisfies <>.
    template <class V, TOperator Op>
    static bool ColumnLiteral(const TRelationalOp& self) {
        typename V::T value;
        if (!V::Column(self.FDirect1, value)) return Op == opNEQ;
        return Holds<Op>(value, V::Literal(self.FDirect2));
    }

    // A column compared with = or <> to a literal, case-sensitive, no wildcard possible.
    template <bool Equal>
    static bool StringColumnEquals(const TRelationalOp& self) {
        std::u16string_view value;
        if (!self.FDirect1.Source->FieldString(self.FDirect1.Index, value, self.FBuffer1)) return !Equal;
        return (value == std::u16string_view(self.FDirect2.String)) == Equal;
    }

    // Any two direct operands compared as strings.
    static bool Strings(const TRelationalOp& self) {
        const TDirectOperand& d1 = self.FDirect1;
        const TDirectOperand& d2 = self.FDirect2;
        std::u16string_view a = d1.String, b = d2.String;
        bool null1 = d1.Source && !d1.Source->FieldString(d1.Index, a, self.FBuffer1);
        bool null2 = d2.Source && !d2.Source->FieldString(d2.Index, b, self.FBuffer2);
        if (null1 || null2) return self.NullResult(null1, null2);
        // Literals were upper-cased when the node was built; column values are folded here.
        const bool fold = self.FCaseInsensitive;
        const bool fold1 = fold && d1.Source, fold2 = fold && d2.Source;
        const TOperator op = self.FOperator;
        if (op == opEq || op == opNEQ) {
            bool equal;
            if (!self.FExactEquality) {
                if (fold1) {
                    filter_detail::UpperCase(a, self.FUpper1);
                    a = self.FUpper1;
                }
                if (fold2) {
                    filter_detail::UpperCase(b, self.FUpper2);
                    b = self.FUpper2;
                }
                equal = filter_detail::WildcardMatch(a, b);
            } else if (fold) {
                equal = a.size() == b.size() && CompareUnits(a, fold1, b, fold2) == 0;
            } else {
                equal = a == b;
            }
            return equal == (op == opEq);
        }
        if (!fold) return Ordered(op, a, b);
        return Ordered(op, CompareUnits(a, fold1, b, fold2), 0);
    }
};

TRelationalOp::TRelationalOp(TOperator op, std::unique_ptr<TExpression> operand1, std::unique_ptr<TExpression> operand2)
    : FOperand1(std::move(operand1)), FOperand2(std::move(operand2)), FOperator(op), FTest(&TPaths::General) {
    if (op < opEq || op > opGTE) Raise(std::string(OperatorName(op)) + " is not relational operator");
    if (!FOperand1 || !FOperand2) Raise("Unexpected end of factor");
    FMayBeNull1 = FOperand1->CanBeNull();
    FMayBeNull2 = FOperand2->CanBeNull();
    if (FOperand1->HasFixedType() && FOperand2->HasFixedType()) {
        try {
            FCompareType = Earlier(FOperand1->ExprType(), FOperand2->ExprType());
        } catch (const EExpression&) {
            // An operand whose operator does not fit its operands: raised when read.
        }
    }
    FTest = SelectTest();
}

TRelationalOp::~TRelationalOp() = default;

TRelationalOp::TTest TRelationalOp::SelectTest() {
    // The NULL constant decides the comparison before any value is read, so only the other
    // side's null state matters.
    bool null1 = IsNullConstant(*FOperand1), null2 = IsNullConstant(*FOperand2);
    if (null1 || null2) {
        const TExpression& other = null1 ? *FOperand2 : *FOperand1;
        if (IsNullConstant(other)) {
            FDirect1.Boolean = true;
        } else if (typeid(other) == typeid(TColumnExpression)) {
            const auto& column = static_cast<const TColumnExpression&>(other);
            FDirect1.Source = column.Dataset();
            FDirect1.Index = column.FieldIndex();
        } else if (other.CanBeNull()) {
            return &TPaths::General;
        }
        return &TPaths::NullTest;
    }
    if (FCompareType < 0) return &TPaths::General;
    const TExprType type = static_cast<TExprType>(FCompareType);
    // Booleans have no order: such a comparison raises when it is read.
    if (type == ttBoolean && FOperator != opEq && FOperator != opNEQ) return &TPaths::General;
    if (!PrepareDirect(*FOperand1, type, FDirect1) || !PrepareDirect(*FOperand2, type, FDirect2))
        return &TPaths::General;
    const bool column1 = FDirect1.Source, column2 = FDirect2.Source;
    if (type == ttString) {
        // No wildcard match at all, or a literal pattern without * and ?: = and <> test
        // equality.
        FExactEquality = !FPartialMatch || (!column2 && FDirect2.String.find_first_of(u"*?") == std::u16string::npos);
        if (FExactEquality && !FCaseInsensitive && column1 && !column2 && (FOperator == opEq || FOperator == opNEQ))
            FInline = inlineString + (FOperator - opEq);
        return &TPaths::Strings;
    }
    if (column1 == column2) {
        switch (type) {
        case ttInteger: return &TPaths::Direct<TPaths::IntegerValues>;
        case ttFloat: return &TPaths::Direct<TPaths::FloatValues>;
        case ttDate: return &TPaths::Direct<TPaths::DateValues>;
        default: return &TPaths::Direct<TPaths::BooleanValues>;
        }
    }
    // A column and a literal, the column put first: «1 < [N]» is read as «[N] > 1».
    TOperator op = FOperator;
    if (column2) {
        std::swap(FDirect1, FDirect2);
        op = Mirrored(op);
    }
    const uint8_t first = type == ttInteger ? inlineInteger
                          : type == ttFloat ? inlineFloat
                          : type == ttDate  ? inlineDate
                                            : inlineBoolean;
    FInline = first + (op - opEq);
    return &TPaths::General; // right, but not used: Read handles the inline kinds itself
}

bool TRelationalOp::AsBoolean() const { return TPaths::Read(*this, FInline); }

bool TRelationalOp::TPaths::Read(const TRelationalOp& self, uint8_t kind) {
#define QUORVEL_ORDERED_KINDS(first, V)                                 \
    case first: return TPaths::ColumnLiteral<V, opEq>(self);         \
    case first + 1: return TPaths::ColumnLiteral<V, opNEQ>(self);    \
    case first + 2: return TPaths::ColumnLiteral<V, opLT>(self);     \
    case first + 3: return TPaths::ColumnLiteral<V, opGT>(self);     \
    case first + 4: return TPaths::ColumnLiteral<V, opLTE>(self);    \
    case first + 5: return TPaths::ColumnLiteral<V, opGTE>(self);
    switch (kind) {
    QUORVEL_ORDERED_KINDS(inlineInteger, TPaths::IntegerValues)
    QUORVEL_ORDERED_KINDS(inlineFloat, TPaths::FloatValues)
    QUORVEL_ORDERED_KINDS(inlineDate, TPaths::DateValues)
    case inlineBoolean: return TPaths::ColumnLiteral<TPaths::BooleanValues, opEq>(self);
    case inlineBoolean + 1: return TPaths::ColumnLiteral<TPaths::BooleanValues, opNEQ>(self);
    case inlineString: return TPaths::StringColumnEquals<true>(self);
    case inlineString + 1: return TPaths::StringColumnEquals<false>(self);
    default: return self.FTest(self);
    }
#undef QUORVEL_ORDERED_KINDS
}

bool TBinaryOp::AsBoolean() const {
    if (!FChain.empty()) {
        // AND stops at the first false operand, OR at the first true one.
        const bool stop = FOperator == opOr;
        for (const TChainItem& item : FChain) {
            bool value = item.Kind         ? TRelationalOp::TPaths::Read(*item.Comparison, item.Kind)
                         : item.Comparison ? item.Comparison->FTest(*item.Comparison)
                                           : item.Node->AsBoolean();
            if (value == stop) return stop;
        }
        return !stop;
    }
    if (FResultType < 0) Incompatible(FOperator, FOperandType);
    switch (FOperator) {
    case opAnd: return FOperand1->AsBoolean() && FOperand2->AsBoolean();
    case opOr: return FOperand1->AsBoolean() || FOperand2->AsBoolean();
    case opXor: {
        bool a = FOperand1->AsBoolean();
        return a != FOperand2->AsBoolean();
    }
    default: InternalError(13);
    }
}

bool TRelationalOp::PrepareDirect(const TExpression& node, TExprType type, TDirectOperand& out) const {
    const std::type_info& t = typeid(node);
    if (t == typeid(TColumnExpression)) {
        const auto& column = static_cast<const TColumnExpression&>(node);
        if (column.FieldIndex() < 0) return false;
        out.Source = column.Dataset();
        out.Index = column.FieldIndex();
        return true;
    }
    if (!IsLiteral(t)) return false;
    // A literal reads the same every time, except where the regional settings in force when
    // the record is read take part: a String literal read as a Date, a Float literal read as
    // a String. Those, and a literal that cannot be read as the comparison type (raised when
    // the comparison is read), keep the general path.
    if ((type == ttDate && t == typeid(TStringLiteral)) || (type == ttString && t == typeid(TFloatLiteral)))
        return false;
    try {
        switch (type) {
        case ttInteger: out.Integer = node.AsInteger(); break;
        case ttFloat: out.Float = node.AsFloat(); break;
        case ttDate: out.Float = node.AsDate().Value; break;
        case ttBoolean: out.Boolean = node.AsBoolean(); break;
        case ttString:
            if (FCaseInsensitive) filter_detail::UpperCase(node.AsString(), out.String);
            else out.String = node.AsString();
            break;
        }
    } catch (const Exception&) {
        return false;
    }
    return true;
}

bool TRelationalOp::NullResult(bool null1, bool null2) const {
    if (FOperator == opEq) return null1 && null2;
    if (FOperator == opNEQ) return !(null1 && null2);
    return false;
}

bool TRelationalOp::CompareStrings(std::u16string_view a, std::u16string_view b) const {
    if (FCaseInsensitive) {
        filter_detail::UpperCase(a, FUpper1);
        filter_detail::UpperCase(b, FUpper2);
        a = FUpper1;
        b = FUpper2;
    }
    if (FOperator == opEq || FOperator == opNEQ) {
        bool equal = FPartialMatch ? filter_detail::WildcardMatch(a, b) : a == b;
        return FOperator == opEq ? equal : !equal;
    }
    return Ordered(FOperator, a, b);
}

// ---- Functions ----------------------------------------------------------------------------

TFunction::TFunction(std::unique_ptr<TParameterList> params) : FParameterList(std::move(params)) {}
TFunction::~TFunction() = default;

TExpression& TFunction::GetParam(int index) const {
    if (!FParameterList) Raise("List index out of bounds (" + std::to_string(index) + ")");
    return FParameterList->Param(index);
}

TTypeCast::TTypeCast(TExprType target, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params)), FOperator(target) {}

const TExpression& TTypeCast::Argument() const {
    if (ParameterCount() < 1) {
        static const char* const names[] = {"DATE", "STRING", "FLOAT", "INTEGER", "BOOLEAN"};
        Raise(std::string("Invalid parameter to ") + names[FOperator]);
    }
    return GetParam(0);
}

TDateTime TTypeCast::AsDate() const { return Argument().AsDate(); }
std::u16string_view TTypeCast::ReadString(std::u16string& buffer) const { return Argument().ReadString(buffer); }
double TTypeCast::AsFloat() const { return Argument().AsFloat(); }
int32_t TTypeCast::AsInteger() const { return Argument().AsInteger(); }
bool TTypeCast::AsBoolean() const { return Argument().AsBoolean(); }

TMathExpression::TMathExpression(TMF op, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params)), FOperator(op) {}

void TMathExpression::CheckParameters() const {
    if (FOperator == mfPi) return;
    int wanted = FOperator == mfPower ? 2 : 1;
    bool ok = ParameterCount() == wanted;
    for (int i = 0; ok && i < wanted; ++i) ok = GetParam(i).ExprType() >= ttFloat;
    if (!ok) Raise(std::string("Invalid parameter to ") + MathFunctionName(FOperator));
}

TExprType TMathExpression::ExprType() const {
    return FOperator == mfTrunc || FOperator == mfRound ? ttInteger : ttFloat;
}

double TMathExpression::AsFloat() const {
    CheckParameters();
    if (FOperator == mfPi) return 3.141592653589793;
    if (FOperator == mfTrunc || FOperator == mfRound) return AsInteger();
    double x = GetParam(0).AsFloat();
    switch (FOperator) {
    case mfAbs: return std::fabs(x);
    case mfArcTan: return std::atan(x);
    case mfCos: return std::cos(x);
    case mfExp: return std::exp(x);
    case mfFrac: return x - std::trunc(x);
    case mfInt: return std::trunc(x);
    case mfLn: return std::log(x);
    case mfSin: return std::sin(x);
    case mfSqr: return x * x;
    case mfSqrt: return std::sqrt(x);
    case mfPower: return std::pow(x, GetParam(1).AsFloat());
    default: return x;
    }
}

int32_t TMathExpression::AsInteger() const {
    switch (FOperator) {
    case mfTrunc:
        CheckParameters();
        return TruncToInteger(GetParam(0).AsFloat());
    case mfRound: {
        CheckParameters();
        double x = GetParam(0).AsFloat();
        double r = std::round(x); // halves away from zero; ties go to the even neighbour
        if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
        return TruncToInteger(r);
    }
    case mfAbs: {
        CheckParameters();
        int32_t v = GetParam(0).AsInteger();
        return v < 0 ? Wrap(-static_cast<int64_t>(v)) : v;
    }
    default: return TExpression::AsInteger();
    }
}

TStringExpression::TStringExpression(TSF op, std::unique_ptr<TParameterList> params)
    : TFunction(std::move(params)), FOperator(op) {}

void TStringExpression::CheckParameters() const {
    int wanted = FOperator == sfCopy ? 3 : FOperator == sfPos ? 2 : 1;
    bool ok = ParameterCount() == wanted;
    for (int i = 0; ok && i < wanted; ++i) {
        TExprType t = GetParam(i).ExprType();
        ok = (FOperator == sfCopy && i > 0) ? t >= ttInteger : t != ttDate;
    }
    if (!ok) Raise(std::string("Invalid parameter to ") + StringFunctionName(FOperator));
}

TExprType TStringExpression::ExprType() const {
    return FOperator == sfPos || FOperator == sfLength ? ttInteger : ttString;
}

std::u16string_view TStringExpression::ReadString(std::u16string& buffer) const {
    if (ExprType() != ttString) return TExpression::ReadString(buffer);
    CheckParameters();
    std::u16string_view s = GetParam(0).ReadString(FBuffer1);
    if (FOperator == sfCopy) {
        int64_t from = GetParam(1).AsInteger();
        int64_t count = GetParam(2).AsInteger();
        if (from < 1) from = 1;
        if (count <= 0 || from > static_cast<int64_t>(s.size())) return {};
        return s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(count));
    }
    buffer.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (FOperator == sfUpper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        else if (FOperator == sfLower && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        buffer[i] = c;
    }
    return buffer;
}

int32_t TStringExpression::AsInteger() const {
    if (ExprType() != ttInteger) return TExpression::AsInteger();
    CheckParameters();
    if (FOperator == sfLength) return static_cast<int32_t>(GetParam(0).ReadString(FBuffer1).size());
    std::u16string_view sub = GetParam(0).ReadString(FBuffer1);
    std::u16string_view s = GetParam(1).ReadString(FBuffer2);
    if (sub.empty()) return 0;
    size_t at = s.find(sub);
    return at == std::u16string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

TConditional::TConditional(std::unique_ptr<TParameterList> params) : TFunction(std::move(params)) {}

const TExpression& TConditional::Chosen() const {
    if (ParameterCount() != 3 || GetParam(0).ExprType() != ttBoolean) Raise("Invalid parameters to If");
    return GetParam(0).AsBoolean() ? GetParam(1) : GetParam(2);
}

TExprType TConditional::ExprType() const { return Chosen().ExprType(); }
TDateTime TConditional::AsDate() const { return Chosen().AsDate(); }
std::u16string_view TConditional::ReadString(std::u16string& buffer) const { return Chosen().ReadString(buffer); }
double TConditional::AsFloat() const { return Chosen().AsFloat(); }
int32_t TConditional::AsInteger() const { return Chosen().AsInteger(); }
bool TConditional::AsBoolean() const { return Chosen().AsBoolean(); }

// ---- Column references --------------------------------------------------------------------

TColumnExpression::TColumnExpression(const TFieldResolver* dataset, std::u16string field)
    : fDataset(dataset), fField(std::move(field)) {
    if (fField == u"NULL") return;
    if (!fDataset) Raise("Unknown Identifier " + filter_detail::ToUtf8(fField));
    FIndex = fDataset->FieldIndex(fField);
    if (FIndex < 0) Raise("Field '" + filter_detail::ToUtf8(fField) + "' not found");
    FType = fDataset->FieldType(FIndex);
}

TColumnExpression::~TColumnExpression() = default;

bool TFieldResolver::FieldInteger(int index, int32_t& value) const {
    if (FieldIsNull(index)) return false;
    value = FieldAsInteger(index);
    return true;
}

bool TFieldResolver::FieldFloat(int index, double& value) const {
    if (FieldIsNull(index)) return false;
    value = FieldAsFloat(index);
    return true;
}

bool TFieldResolver::FieldString(int index, std::u16string_view& value, std::u16string& buffer) const {
    if (FieldIsNull(index)) return false;
    value = FieldAsString(index, buffer);
    return true;
}

bool TFieldResolver::FieldDateTime(int index, TDateTime& value) const {
    if (FieldIsNull(index)) return false;
    value = FieldAsDateTime(index);
    return true;
}

bool TFieldResolver::FieldBoolean(int index, bool& value) const {
    if (FieldIsNull(index)) return false;
    value = FieldAsBoolean(index);
    return true;
}

bool TColumnExpression::IsNull() const { return FIndex < 0 || fDataset->FieldIsNull(FIndex); }

TDateTime TColumnExpression::AsDate() const {
    if (FIndex < 0) return TExpression::AsDate();
    return fDataset->FieldAsDateTime(FIndex);
}

std::u16string_view TColumnExpression::ReadString(std::u16string& buffer) const {
    if (FIndex < 0) return {};
    return fDataset->FieldAsString(FIndex, buffer);
}

double TColumnExpression::AsFloat() const {
    if (FIndex < 0) return TExpression::AsFloat();
    return FType == ttDate ? fDataset->FieldAsDateTime(FIndex).Value : fDataset->FieldAsFloat(FIndex);
}

int32_t TColumnExpression::AsInteger() const {
    if (FIndex < 0) return TExpression::AsInteger();
    return fDataset->FieldAsInteger(FIndex);
}

bool TColumnExpression::AsBoolean() const {
    if (FIndex < 0) return TExpression::AsBoolean();
    return fDataset->FieldAsBoolean(FIndex);
}

std::unique_ptr<TExpression> ResolveColumn(void* context, const std::u16string& name,
                                           std::unique_ptr<TParameterList> params) {
    return std::make_unique<TColumnExpression>(static_cast<const TFieldResolver*>(context), name);
}

std::unique_ptr<TExpression> ParseFilter(std::u16string_view text, TFilterOptions options,
                                         const TFieldResolver& dataset) {
    return ParseExpression(text, options, ResolveColumn, const_cast<TFieldResolver*>(&dataset));
}

} // namespace quorvel
