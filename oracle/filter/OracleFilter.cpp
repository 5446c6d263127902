// Filter expression nodes: the base conversions, the operators, comparisons and functions.
#include "oracle/filter/OracleFilter.h"
#include "oracle/filter/FilterNodes.h"
#include "oracle/filter/internal/FilterParseState.h"
#include "oracle/filter/internal/FilterText.h"

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

bool TBinaryOp::AsBoolean() const {
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

// ---- TRelationalOp ------------------------------------------------------------------------

TRelationalOp::TRelationalOp(TOperator op, std::unique_ptr<TExpression> operand1, std::unique_ptr<TExpression> operand2)
    : FOperand1(std::move(operand1)), FOperand2(std::move(operand2)), FOperator(op) {
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
    if (FCompareType == ttInteger || FCompareType == ttFloat || FCompareType == ttString) {
        TExprType type = static_cast<TExprType>(FCompareType);
        if (PrepareDirect(*FOperand1, type, FDirect1) && PrepareDirect(*FOperand2, type, FDirect2)) {
            FPlainPattern = type == ttString && !FDirect2.Source &&
                            FDirect2.String.find_first_of(u"*?") == std::u16string::npos;
            FDirect = SelectDirect(type, op);
        }
    }
}

bool TRelationalOp::PrepareDirect(const TExpression& node, TExprType type, TDirectOperand& out) {
    if (typeid(node) == typeid(TColumnExpression)) {
        const auto& column = static_cast<const TColumnExpression&>(node);
        if (column.FieldIndex() < 0 || column.ExprType() == ttDate) return false;
        out.Source = column.Dataset();
        out.Index = column.FieldIndex();
        return true;
    }
    const std::type_info& t = typeid(node);
    if (t != typeid(TIntegerLiteral) && t != typeid(TFloatLiteral) && t != typeid(TStringLiteral) &&
        t != typeid(TBooleanLiteral))
        return false;
    // A literal reads the same every time; one that cannot be read as the comparison type
    // keeps the general path, which raises when the comparison is read.
    try {
        switch (type) {
        case ttInteger: out.Integer = node.AsInteger(); break;
        case ttFloat: out.Float = node.AsFloat(); break;
        default: out.String = node.AsString(); break;
        }
    } catch (const Exception&) {
        return false;
    }
    return true;
}

TRelationalOp::~TRelationalOp() = default;

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
} // namespace

bool TRelationalOp::AsBoolean() const {
    if (FDirect) return FDirect(*this);
    bool null1 = FMayBeNull1 && FOperand1->IsNull();
    bool null2 = FMayBeNull2 && FOperand2->IsNull();
    if (null1 || null2) {
        if (FOperator == opEq) return null1 && null2;
        if (FOperator == opNEQ) return !(null1 && null2);
        return false;
    }
    TExprType type = FCompareType >= 0 ? static_cast<TExprType>(FCompareType)
                                       : Earlier(FOperand1->ExprType(), FOperand2->ExprType());
    switch (type) {
    case ttDate: return Ordered(FOperator, FOperand1->AsDate().Value, FOperand2->AsDate().Value);
    case ttFloat: return Ordered(FOperator, FOperand1->AsFloat(), FOperand2->AsFloat());
    case ttInteger: return Ordered(FOperator, FOperand1->AsInteger(), FOperand2->AsInteger());
    case ttBoolean:
        if (FOperator != opEq && FOperator != opNEQ)
            Raise(std::string("cannot apply ") + OperatorName(FOperator) + " to boolean operands");
        return Ordered(FOperator, FOperand1->AsBoolean(), FOperand2->AsBoolean());
    case ttString: break;
    }
    return CompareStrings(FOperand1->ReadString(FBuffer1), FOperand2->ReadString(FBuffer2));
}

template <int Type, int Op>
bool TRelationalOp::CompareDirect(const TRelationalOp& self) {
    constexpr TOperator op = static_cast<TOperator>(Op);
    const TDirectOperand& d1 = self.FDirect1;
    const TDirectOperand& d2 = self.FDirect2;
    bool null1 = false, null2 = false;
    if constexpr (Type == ttInteger) {
        int32_t a = d1.Integer, b = d2.Integer;
        if (d1.Source) null1 = !d1.Source->FieldInteger(d1.Index, a);
        if (d2.Source) null2 = !d2.Source->FieldInteger(d2.Index, b);
        if (!null1 && !null2) return Ordered(op, a, b);
    } else if constexpr (Type == ttFloat) {
        double a = d1.Float, b = d2.Float;
        if (d1.Source) null1 = !d1.Source->FieldFloat(d1.Index, a);
        if (d2.Source) null2 = !d2.Source->FieldFloat(d2.Index, b);
        if (!null1 && !null2) return Ordered(op, a, b);
    } else {
        std::u16string_view a = d1.String, b = d2.String;
        if (d1.Source) null1 = !d1.Source->FieldString(d1.Index, a, self.FBuffer1);
        if (d2.Source) null2 = !d2.Source->FieldString(d2.Index, b, self.FBuffer2);
        if (!null1 && !null2) {
            if constexpr (op == opEq || op == opNEQ)
                if (self.FPlainPattern && !self.FCaseInsensitive) return (a == b) == (op == opEq);
            return self.CompareStrings(a, b);
        }
    }
    if constexpr (op == opEq) return null1 && null2;
    if constexpr (op == opNEQ) return !(null1 && null2);
    return false;
}

TRelationalOp::TDirectCompare TRelationalOp::SelectDirect(TExprType type, TOperator op) {
#define QUORVEL_DIRECT(T)                                     \
    switch (op) {                                             \
    case opEq: return &CompareDirect<T, opEq>;                \
    case opNEQ: return &CompareDirect<T, opNEQ>;              \
    case opLT: return &CompareDirect<T, opLT>;                \
    case opGT: return &CompareDirect<T, opGT>;                \
    case opLTE: return &CompareDirect<T, opLTE>;              \
    default: return &CompareDirect<T, opGTE>;                 \
    }
    switch (type) {
    case ttInteger: QUORVEL_DIRECT(ttInteger)
    case ttFloat: QUORVEL_DIRECT(ttFloat)
    default: QUORVEL_DIRECT(ttString)
    }
#undef QUORVEL_DIRECT
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
