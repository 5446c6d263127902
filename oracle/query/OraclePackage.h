#pragma once
// TOraclePackage: calls procedures and functions of a stored package, and reads and writes its
// public variables, without writing PL/SQL. Each call generates a small anonymous block, binds
// the arguments as variables of the package's own statement ("Query"), executes it and returns
// the function result; output values are read back with GetParameter. PL/SQL BOOLEAN arguments
// and results, which cannot be bound, travel as integers (1, 0 or null) and are converted inside
// the block with sys.diutil.
//
// Arguments are a list of tagged values. In pmPositional mode they are named p1, p2, ... by their
// position; in pmNamed mode the list alternates names and values ({"A", 1, "B", "x"}). A null or
// unassigned value is written as the literal Null. An Int64 value is an output marker (OutString,
// OutInteger, OutFloat, OutDate, OutBoolean): the parameter gets that type and a null value.
// The single element NoParameters calls without an argument list.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/Component.h"
#include "base/Variant.h"
#include "oracle/session/OracleSession.h"

namespace quorvel {

class TOracleQuery;

enum TParameterModeOption { pmNamed, pmPositional };

// Output markers and the empty argument list: Int64 values, never mistaken for input values.
inline const Variant NoParameters{std::int64_t(0)};
inline const Variant OutString{std::int64_t(5)};
inline const Variant OutInteger{std::int64_t(3)};
inline const Variant OutFloat{std::int64_t(4)};
inline const Variant OutDate{std::int64_t(12)};
inline const Variant OutBoolean{std::int64_t(252)};

// One argument of the last call.
struct TPackageParameter {
    std::string ParamName;     // the bind variable (p1, p2, ... or the given name)
    std::string BooleanName;   // the PL/SQL local carrying a BOOLEAN (quorvel__boolean1, ...)
    int32_t DataType = 0;      // 0 literal null, 3, 4, 5, 12, or 252 for BOOLEAN
    Variant ParamValue;
};

// The argument list of one call: {1, "x"}, a VariantArray, or a single value (an array of
// values is taken as the list itself).
class TPackageArguments {
public:
    TPackageArguments() = default;
    TPackageArguments(std::initializer_list<Variant> values) : FValues(values) {}
    TPackageArguments(const VariantArray& values) : FValues(values) {}
    TPackageArguments(const Variant& single) : FValues{single} {}
    const VariantArray& Values() const { return FValues; }

private:
    VariantArray FValues;
};

class TOraclePackage : public TComponent, public TOracleSessionClient {
public:
    explicit TOraclePackage(TComponent* owner = nullptr);
    ~TOraclePackage() override;

    // ---- settings ----
    TOracleSession* Session() const { return FSession; }
    // Moves the package to the new session's Packages list; the statement follows.
    void SetSession(TOracleSession* session);
    bool Debug = false;
    std::string PackageName;   // "dbms_output", "sys.dbms_pipe", ...; empty calls stand-alone code
    TParameterModeOption ParameterMode = pmPositional;
    int Cursor = 0;
    // Off (or DisableOptimize on): the statement's variables are declared again at every call.
    bool Optimize() const;
    void SetOptimize(bool v) { FOptimize = v; }

    // ---- calls ----
    void CallProcedure(const std::string& name, const TPackageArguments& parameters);
    Variant CallStringFunction(const std::string& name, const TPackageArguments& parameters);
    Variant CallIntegerFunction(const std::string& name, const TPackageArguments& parameters);
    Variant CallFloatFunction(const std::string& name, const TPackageArguments& parameters);
    Variant CallDateFunction(const std::string& name, const TPackageArguments& parameters);
    // True when the function returned a non-zero value; a null result is the session's null value.
    Variant CallBooleanFunction(const std::string& name, const TPackageArguments& parameters);

    // ---- package variables ----
    Variant GetStringVariable(const std::string& name);
    Variant GetIntegerVariable(const std::string& name);
    Variant GetFloatVariable(const std::string& name);
    Variant GetDateVariable(const std::string& name);
    Variant GetBooleanVariable(const std::string& name);
    // "Type of value not supported" for a value that is no integer, float, date, text or Boolean.
    void SetVariable(const std::string& name, const Variant& value);

    // ---- results of the last call ----
    // "Parameter " + index + " does not exist".
    Variant GetParameter(int index);
    // pmNamed only; names compared ignoring case.
    Variant GetParameter(const std::string& name);

    // ---- internal state, for the wrappers built on packages ----
    TOracleQuery& Query() { return *FQuery; }
    const std::vector<TPackageParameter>& ParameterList() const { return FParameterList; }
    // The next call declares the statement's variables again (set after the statement was used
    // for a block of its own).
    bool ReDeclareVariables() const { return FReDeclareVariables; }
    void SetReDeclareVariables() { FReDeclareVariables = true; }
    // The result type of the last call: 0 for a procedure, -1 before the first call.
    int LastObjectType() const { return FLastObjectType; }

    // ---- TOracleSessionClient ----
    void SessionDetach() override;

private:
    Variant Call(const std::string& name, int resultType, const TPackageArguments& parameters);
    Variant BooleanResult(const Variant& value) const;
    void PrepareQuery();

    TOracleSession* FSession = nullptr;
    bool FOptimize = true;
    TOracleQuery* FQuery = nullptr;   // owned (component "Query")
    std::vector<TPackageParameter> FParameterList;
    bool FReDeclareVariables = true;
    int FLastObjectType = -1;
};

// The parameter list a call builds from its arguments; raises the parameter errors.
std::vector<TPackageParameter> BuildPackageParameters(const TPackageArguments& parameters, TParameterModeOption mode);

} // namespace quorvel
