#pragma once
// The expression language of client-side filters.
//
// A filter text is parsed once into a tree of expression nodes (ParseExpression); the caller
// then reads the root with AsBoolean() for every record it considers. Identifiers that are not
// part of the language are handed to a resolver; TFieldResolver plus ResolveColumn turn every
// such name into a reference to a column of a record source (the data set).
//
// A tree is immutable after parsing but keeps scratch buffers for string work, so one tree is
// read by one thread at a time. Parses keep no shared state.
#include "base/DateTime.h"
#include "base/Exception.h"
#include "base/Set.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Value types, in their order: a node can be read as any type not after its own.
enum TExprType { ttDate, ttString, ttFloat, ttInteger, ttBoolean };

enum TOperator {
    opNot, opMult, opDivide, opDiv, opMod, opAnd, opShl, opShr, opPlus,
    opMinus, opOr, opXor, opEq, opNEQ, opLT, opGT, opLTE, opGTE
};

// "Date", "String", "Float", "Integer", "Boolean".
const char* ExprTypeName(TExprType type);
// The member name, as messages print it: "opAnd".
const char* OperatorName(TOperator op);

// The filter options of a data set (the generic data-set framework takes them from here).
enum TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TSet<TFilterOption>;

// Every failure of parsing or evaluating a filter.
class EExpression : public Exception {
public:
    using Exception::Exception;
    ~EExpression() override;
};

class TExpression {
public:
    virtual ~TExpression();
    TExpression(const TExpression&) = delete;
    TExpression& operator=(const TExpression&) = delete;

    // The readers. A class answers its own type's reader; the others convert from it by the
    // base conversions and raise "Cannot read <type> as ..." where there is none.
    virtual TDateTime AsDate() const;
    // Writes the text into buffer when it has to build it; the result views buffer or text
    // that the node keeps, and stays valid until the node or buffer changes.
    virtual std::u16string_view ReadString(std::u16string& buffer) const;
    virtual double AsFloat() const;
    virtual int32_t AsInteger() const;
    virtual bool AsBoolean() const;
    virtual bool IsNull() const;
    virtual TExprType ExprType() const = 0;

    // What evaluation may take for granted: the type never changes from record to record,
    // and IsNull is always false. A node of an unknown class promises neither.
    virtual bool HasFixedType() const { return false; }
    virtual bool CanBeNull() const { return true; }

    std::u16string AsString() const;
    // True when the node can be read as type: its own type is at or after type.
    bool CanReadAs(TExprType type) const { return ExprType() >= type; }

    bool CaseInsensitive() const { return FCaseInsensitive; }
    bool PartialMatch() const { return FPartialMatch; }

protected:
    // Copies the comparison flags from the options of the parse in progress on this thread
    // (case-sensitive with wildcard match outside a parse).
    TExpression();

    bool FCaseInsensitive;
    bool FPartialMatch;
};

// The argument list of a function; owns its items.
class TParameterList {
public:
    TParameterList();
    ~TParameterList();
    TParameterList(const TParameterList&) = delete;
    TParameterList& operator=(const TParameterList&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    void Add(std::unique_ptr<TExpression> item);
    // Position from 0; raises EExpression outside the list.
    TExpression& Param(int index) const;
    TExprType ExprType(int index) const { return Param(index).ExprType(); }
    std::u16string AsString(int index) const { return Param(index).AsString(); }
    double AsFloat(int index) const { return Param(index).AsFloat(); }
    int32_t AsInteger(int index) const { return Param(index).AsInteger(); }
    bool AsBoolean(int index) const { return Param(index).AsBoolean(); }

private:
    std::vector<std::unique_ptr<TExpression>> FItems;
};

// Turns a bracketed field name (no argument list) or an unknown identifier (upper-cased, with
// its argument list or none) into a node, or returns nothing for "Unknown Identifier".
// The resolver always takes over the argument list.
using TIdentifierResolver = std::function<std::unique_ptr<TExpression>(
    void* context, const std::u16string& name, std::unique_ptr<TParameterList> params)>;

// Parses a filter text. Returns nothing when the text holds only blanks. Raises EExpression
// (having freed everything built so far) when the text is not a valid expression.
std::unique_ptr<TExpression> ParseExpression(std::u16string_view text, TFilterOptions options,
                                             const TIdentifierResolver& resolver = {},
                                             void* context = nullptr);

// The record source side of column references: implemented by the data set over its
// record buffers. Every reader reads the source's current filter record.
class TFieldResolver {
public:
    virtual ~TFieldResolver();
    // The index of the field called name; raises the source's own error when there is none.
    virtual int FieldIndex(std::u16string_view name) const = 0;
    // Integer kinds (16-bit, 32-bit, unsigned 16-bit, 64-bit) are ttInteger, boolean ttBoolean,
    // float, currency and BCD ttFloat, date, time and date-time ttDate, the rest ttString.
    virtual TExprType FieldType(int index) const = 0;
    virtual bool FieldIsNull(int index) const = 0;
    virtual TDateTime FieldAsDateTime(int index) const = 0;
    virtual double FieldAsFloat(int index) const = 0;
    virtual int32_t FieldAsInteger(int index) const = 0;
    virtual bool FieldAsBoolean(int index) const = 0;
    virtual std::u16string_view FieldAsString(int index, std::u16string& buffer) const = 0;

    // The null state and the value in one call: false when the field is null. Comparisons of
    // a column with a literal or another column use these; the defaults call the readers
    // above, and a source overrides them to look at its record buffer once (the answers must
    // stay those of FieldIsNull and the reader each stands for).
    virtual bool FieldInteger(int index, int32_t& value) const;
    virtual bool FieldFloat(int index, double& value) const; // not used for date fields
    virtual bool FieldString(int index, std::u16string_view& value, std::u16string& buffer) const;
    virtual bool FieldDateTime(int index, TDateTime& value) const; // any field compared as a date
    virtual bool FieldBoolean(int index, bool& value) const;
};

// A reference to one column of a TFieldResolver. The name "NULL" (exactly so) is the null
// constant, of type String. The field is looked up once, when the node is built.
class TColumnExpression : public TExpression {
public:
    TColumnExpression(const TFieldResolver* dataset, std::u16string field);
    ~TColumnExpression() override;

    TDateTime AsDate() const override;
    std::u16string_view ReadString(std::u16string& buffer) const override;
    double AsFloat() const override;
    int32_t AsInteger() const override;
    bool AsBoolean() const override;
    bool IsNull() const override;
    TExprType ExprType() const override { return FType; }
    bool HasFixedType() const override { return true; }

    const std::u16string& FieldName() const { return fField; }
    const TFieldResolver* Dataset() const { return fDataset; }
    // The field's index in the source; -1 for the null constant.
    int FieldIndex() const { return FIndex; }

private:
    const TFieldResolver* fDataset;
    std::u16string fField;
    int FIndex = -1;
    TExprType FType = ttString;
};

// A TIdentifierResolver whose context is a TFieldResolver: every name becomes a
// TColumnExpression; the argument list is ignored.
std::unique_ptr<TExpression> ResolveColumn(void* context, const std::u16string& name,
                                           std::unique_ptr<TParameterList> params);

// Parses a filter over the columns of a record source.
std::unique_ptr<TExpression> ParseFilter(std::u16string_view text, TFilterOptions options,
                                         const TFieldResolver& dataset);

} // namespace quorvel
