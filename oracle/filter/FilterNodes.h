#pragma once
// The node classes of filter expressions. ParseExpression builds them; they are public so
// that callers can build trees or look into them. Every node owns its children.
#include "oracle/filter/OracleFilter.h"

namespace quorvel {

class TStringLiteral final : public TExpression {
public:
    explicit TStringLiteral(std::u16string value) : FAsString(std::move(value)) {}
    std::u16string_view ReadString(std::u16string& buffer) const override { return FAsString; }
    TExprType ExprType() const override { return ttString; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

private:
    std::u16string FAsString;
};

class TFloatLiteral final : public TExpression {
public:
    explicit TFloatLiteral(double value) : FAsFloat(value) {}
    double AsFloat() const override { return FAsFloat; }
    TExprType ExprType() const override { return ttFloat; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

private:
    double FAsFloat;
};

class TIntegerLiteral final : public TExpression {
public:
    explicit TIntegerLiteral(int32_t value) : FAsInteger(value) {}
    int32_t AsInteger() const override { return FAsInteger; }
    TExprType ExprType() const override { return ttInteger; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

private:
    int32_t FAsInteger;
};

class TBooleanLiteral final : public TExpression {
public:
    explicit TBooleanLiteral(bool value) : FAsBoolean(value) {}
    bool AsBoolean() const override { return FAsBoolean; }
    TExprType ExprType() const override { return ttBoolean; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

private:
    bool FAsBoolean;
};

// NOT, unary + and unary -.
class TUnaryOp final : public TExpression {
public:
    // Raises "<op> is not simple unary operator" for any other operator.
    TUnaryOp(TOperator op, std::unique_ptr<TExpression> operand);
    ~TUnaryOp() override;

    TDateTime AsDate() const override;
    std::u16string_view ReadString(std::u16string& buffer) const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    bool AsBoolean() const override;
    // Raises "Operator <op> incompatible with <type>" when the operand's type does not allow op.
    TExprType ExprType() const override;
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

    const TExpression& Operand() const { return *FOperand; }
    TExprType OperandType() const { return FOperandType; }
    TOperator Operator() const { return FOperator; }

private:
    std::unique_ptr<TExpression> FOperand;
    TExprType FOperandType;
    TOperator FOperator;
    int FResultType; // a TExprType, or -1 when op is not allowed for the operand type
};

class TRelationalOp;

// The arithmetic, logical and bitwise operators.
class TBinaryOp final : public TExpression {
public:
    // Raises "<op> is not a simple binary operator" for NOT and the comparisons.
    TBinaryOp(TOperator op, std::unique_ptr<TExpression> operand1, std::unique_ptr<TExpression> operand2);
    ~TBinaryOp() override;

    TDateTime AsDate() const override;
    std::u16string_view ReadString(std::u16string& buffer) const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    bool AsBoolean() const override;
    TExprType ExprType() const override;
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

    const TExpression& Operand1() const { return *FOperand1; }
    const TExpression& Operand2() const { return *FOperand2; }
    // The earlier of the two operand types, taken when the node is built.
    TExprType OperandType() const { return FOperandType; }
    TOperator Operator() const { return FOperator; }

private:
    // One operand of a chain of AND or OR over Booleans; a comparison is read without the
    // virtual call.
    struct TChainItem {
        uint8_t Kind;                    // the comparison's inline kind, 0 for any other
        const TRelationalOp* Comparison; // the node when it is a comparison
        const TExpression* Node;
    };

    std::unique_ptr<TExpression> FOperand1, FOperand2;
    TOperator FOperator;
    TExprType FOperandType;
    int FResultType;
    // For AND and OR over Booleans: the operands of the whole chain of this operator below
    // this node, left to right, read in one loop. A node whose chain an enclosing node of
    // the same operator took over reads its two operands instead.
    std::vector<TChainItem> FChain;
    mutable std::u16string FBuffer1, FBuffer2;
};

// The comparisons; always Boolean.
class TRelationalOp final : public TExpression {
public:
    // Raises "<op> is not relational operator" for any other operator.
    TRelationalOp(TOperator op, std::unique_ptr<TExpression> operand1, std::unique_ptr<TExpression> operand2);
    ~TRelationalOp() override;

    bool AsBoolean() const override;
    TExprType ExprType() const override { return ttBoolean; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }

    const TExpression& Operand1() const { return *FOperand1; }
    const TExpression& Operand2() const { return *FOperand2; }
    TOperator Operator() const { return FOperator; }

private:
    friend class TBinaryOp; // its chains read comparisons without the virtual call

    // The ways of reading a comparison; the node picks one when it is built.
    struct TPaths;
    using TTest = bool (*)(const TRelationalOp&);

    // An operand of a comparison read directly: a literal, its value read once when the node
    // is built, or a plain column reference, read through the source's one-call readers.
    struct TDirectOperand {
        const TFieldResolver* Source = nullptr; // none for a literal
        int Index = -1;
        int32_t Integer = 0;
        double Float = 0; // also a date
        bool Boolean = false;
        std::u16string String; // upper-cased already when the comparison ignores case
    };
    TTest SelectTest();
    bool PrepareDirect(const TExpression& node, TExprType type, TDirectOperand& out) const;
    bool NullResult(bool null1, bool null2) const;
    bool CompareStrings(std::u16string_view a, std::u16string_view b) const;

    std::unique_ptr<TExpression> FOperand1, FOperand2;
    TOperator FOperator;
    // The comparison type when both operand types are fixed, else -1 (found per record).
    int FCompareType = -1;
    bool FMayBeNull1, FMayBeNull2;
    // Direct string comparisons: = and <> test equality, no wildcard being possible.
    bool FExactEquality = false;
    // A column (FDirect1) and a literal (FDirect2) compared by one of the commonest kinds
    // of comparison, read without a call; 0 when FTest reads the comparison.
    uint8_t FInline = 0;
    TTest FTest;
    TDirectOperand FDirect1, FDirect2;
    mutable std::u16string FBuffer1, FBuffer2, FUpper1, FUpper2;
};

// Base of the built-in functions.
class TFunction : public TExpression {
public:
    ~TFunction() override;
    int ParameterCount() const { return FParameterList ? FParameterList->Count() : 0; }
    bool HasFixedType() const override { return true; }
    bool CanBeNull() const override { return false; }
    TExpression& GetParam(int index) const;

protected:
    explicit TFunction(std::unique_ptr<TParameterList> params);
    std::unique_ptr<TParameterList> FParameterList;
};

// DATE(x), STRING(x), FLOAT(x), INTEGER(x), BOOLEAN(x): x read with the target type's reader.
class TTypeCast final : public TFunction {
public:
    TTypeCast(TExprType target, std::unique_ptr<TParameterList> params);
    TDateTime AsDate() const override;
    std::u16string_view ReadString(std::u16string& buffer) const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    bool AsBoolean() const override;
    TExprType ExprType() const override { return FOperator; }
    TExprType Operator() const { return FOperator; }

private:
    const TExpression& Argument() const;
    TExprType FOperator;
};

enum TMF { mfTrunc, mfRound, mfAbs, mfArcTan, mfCos, mfExp, mfFrac, mfInt, mfLn, mfPi, mfSin, mfSqr, mfSqrt, mfPower };

class TMathExpression final : public TFunction {
public:
    TMathExpression(TMF op, std::unique_ptr<TParameterList> params);
    double AsFloat() const override;
    int32_t AsInteger() const override;
    TExprType ExprType() const override;
    TMF Operator() const { return FOperator; }

private:
    void CheckParameters() const;
    TMF FOperator;
};

enum TSF { sfUpper, sfLower, sfCopy, sfPos, sfLength };

class TStringExpression final : public TFunction {
public:
    TStringExpression(TSF op, std::unique_ptr<TParameterList> params);
    std::u16string_view ReadString(std::u16string& buffer) const override;
    int32_t AsInteger() const override;
    TExprType ExprType() const override;
    TSF Operator() const { return FOperator; }

private:
    void CheckParameters() const;
    TSF FOperator;
    mutable std::u16string FBuffer1, FBuffer2;
};

// IF(c, a, b): a when c is true, else b; only the chosen branch is read.
class TConditional final : public TFunction {
public:
    explicit TConditional(std::unique_ptr<TParameterList> params);
    TDateTime AsDate() const override;
    std::u16string_view ReadString(std::u16string& buffer) const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    bool AsBoolean() const override;
    // The type of the chosen branch: the condition is read to find it.
    TExprType ExprType() const override;
    bool HasFixedType() const override { return false; }

private:
    const TExpression& Chosen() const;
};

// The upper-case names of the built-in functions, as messages print them.
const char* MathFunctionName(TMF op);
const char* StringFunctionName(TSF op);

} // namespace quorvel
