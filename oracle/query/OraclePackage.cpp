#include "oracle/query/OraclePackage.h"

#include <climits>

#include "base/TextCase.h"
#include "oracle/query/OracleQuery.h"

namespace quorvel {

namespace {

constexpr const char* ResultName = "quorvel__value";

// The variable type of an argument value; Int64 values are output markers.
int32_t ParameterType(const Variant& value, const std::string& name) {
    switch (value.Type()) {
    case vtUnassigned:
    case vtNull: return 0;
    case vtShortInt:
    case vtSmallInt:
    case vtInteger:
    case vtByte:
    case vtWord: return otInteger;
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtLongWord: return otFloat;
    case vtDate: return otDate;
    case vtString:
    case vtUString: return otString;
    case vtBoolean: return otBoolean;
    case vtInt64: {
        int64_t marker = value.ToInt64();
        if (marker == otInteger || marker == otFloat || marker == otString || marker == otDate || marker == otBoolean)
            return int32_t(marker);
        throw Exception("Int64 parameters can only be used for output parameter types");
    }
    default: throw Exception("Type of parameter " + name + " not supported");
    }
}

// The value bound for a parameter: BOOLEAN values as 1, 0 or null.
Variant BoundValue(const TPackageParameter& p) {
    if (p.DataType != otBoolean || p.ParamValue.IsNullOrUnassigned()) return p.ParamValue;
    return Variant(int32_t(p.ParamValue.ToBoolean() ? 1 : 0));
}

bool SameShape(const std::vector<TPackageParameter>& a, const std::vector<TPackageParameter>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].DataType != b[i].DataType || a[i].ParamName != b[i].ParamName) return false;
    return true;
}

// The type a variable must have for a parameter (-1: no variable, a literal null).
int VariableTypeOf(const TPackageParameter& p) {
    if (p.DataType == 0) return -1;
    return p.DataType == otBoolean ? otInteger : p.DataType;
}

} // namespace

std::vector<TPackageParameter> BuildPackageParameters(const TPackageArguments& parameters, TParameterModeOption mode) {
    VariantArray values = parameters.Values();
    if (values.size() == 1 && values[0].Type() == vtArray) values = values[0].Elements();
    if (values.size() == 1 && values[0].Type() == vtInt64 && values[0].ToInt64() == 0) values.clear();

    std::vector<TPackageParameter> list;
    if (mode == pmNamed) {
        if (values.size() % 2 != 0) throw Exception("Even number of parameters required when ParameterMode = pmNamed");
        for (size_t i = 0; i < values.size(); i += 2) {
            if (!values[i].IsText()) throw Exception("Parameter names must be strings");
            TPackageParameter p;
            p.ParamName = values[i].ToString();
            p.ParamValue = values[i + 1];
            list.push_back(std::move(p));
        }
    } else {
        for (size_t i = 0; i < values.size(); ++i) {
            TPackageParameter p;
            p.ParamName = "p";
            p.ParamName += std::to_string(i + 1);
            p.ParamValue = values[i];
            list.push_back(std::move(p));
        }
    }
    int booleans = 0;
    for (auto& p : list) {
        p.DataType = ParameterType(p.ParamValue, p.ParamName);
        if (p.ParamValue.Type() == vtInt64) p.ParamValue = Variant::Null();
        if (p.DataType == otBoolean) {
            p.BooleanName = "quorvel__boolean";
            p.BooleanName += std::to_string(++booleans);
        }
    }
    return list;
}

TOraclePackage::TOraclePackage(TComponent* owner) : TComponent(owner) {
    FQuery = new TOracleQuery(this);
    FQuery->SetName("Query");
}

TOraclePackage::~TOraclePackage() {
    if (FSession) FSession->Packages.Remove(this);
    FSession = nullptr;
    delete FQuery;   // leaves its session's list of statements
    FQuery = nullptr;
}

void TOraclePackage::SetSession(TOracleSession* session) {
    if (session == FSession) return;
    if (FSession) FSession->Packages.Remove(this);
    FSession = session;
    if (FSession) FSession->Packages.Add(this);
    FQuery->SetSession(session);
}

void TOraclePackage::SessionDetach() { FSession = nullptr; }

bool TOraclePackage::Optimize() const { return FOptimize && !DisableOptimize; }

void TOraclePackage::PrepareQuery() {
    FQuery->SetSession(FSession);
    FQuery->Debug = Debug;
    FQuery->Cursor = Cursor;
    FQuery->SetOptimize(FOptimize);
}

Variant TOraclePackage::Call(const std::string& name, int resultType, const TPackageArguments& parameters) {
    std::vector<TPackageParameter> list = BuildPackageParameters(parameters, ParameterMode);
    const bool function = resultType != 0;
    const bool booleanResult = resultType == otBoolean;
    PrepareQuery();

    bool redeclare = FReDeclareVariables || !Optimize() || !SameShape(list, FParameterList);
    if (function ? resultType != FLastObjectType : FLastObjectType != 0) redeclare = true;
    // Someone else used the statement in between: what this call binds must still be there.
    if (!redeclare) {
        if (function) {
            int index = FQuery->VariableIndex(ResultName);
            if (index < 0 || FQuery->VariableType(index) != (booleanResult ? otInteger : resultType)) redeclare = true;
        }
        for (const auto& p : list) {
            int type = VariableTypeOf(p);
            if (type < 0) continue;
            int index = FQuery->VariableIndex(p.ParamName);
            if (index < 0 || FQuery->VariableType(index) != type) redeclare = true;
        }
    }

    std::string call = "  ";
    if (function) call += std::string(":") + ResultName + " := " + (booleanResult ? "sys.diutil.bool_to_int(" : "");
    if (!PackageName.empty()) call += PackageName + ".";
    call += name;
    if (!list.empty()) {
        call += "(";
        for (size_t i = 0; i < list.size(); ++i) {
            const auto& p = list[i];
            if (i) call += ", ";
            if (ParameterMode == pmNamed) call += p.ParamName + " => ";
            if (p.DataType == 0) call += "Null";
            else if (p.DataType == otBoolean) call += p.BooleanName;
            else call += ":" + p.ParamName;
        }
        call += ")";
    }
    call += booleanResult ? ");" : ";";

    TStringList& sql = FQuery->SQL();
    sql.BeginUpdate();
    sql.Clear();
    std::string declare;
    for (const auto& p : list)
        if (p.DataType == otBoolean)
            declare += "\r\n  " + p.BooleanName + " boolean := sys.diutil.int_to_bool(:" + p.ParamName + ");";
    if (!declare.empty()) sql.Add("declare" + declare);
    sql.Add("begin");
    sql.Add(call);
    for (const auto& p : list)
        if (p.DataType == otBoolean) sql.Add("  :" + p.ParamName + " := sys.diutil.bool_to_int(" + p.BooleanName + ");");
    sql.Add("end;");
    sql.EndUpdate();

    if (redeclare) {
        FReDeclareVariables = true;   // until the variables are declared and set
        FQuery->DeleteVariables();
        if (function) FQuery->DeclareVariable(ResultName, booleanResult ? otInteger : resultType);
        for (const auto& p : list)
            if (p.DataType != 0) FQuery->DeclareVariable(p.ParamName, VariableTypeOf(p));
    } else if (function) {
        FQuery->SetVariable(ResultName, Variant::Null());
    }
    // Every bound parameter gets its value, output markers their null, so nothing of the previous
    // call stays behind.
    for (const auto& p : list)
        if (p.DataType != 0) FQuery->SetVariable(p.ParamName, BoundValue(p));

    FParameterList = std::move(list);
    FLastObjectType = resultType;
    FReDeclareVariables = false;
    FQuery->Execute();

    if (!function) return Variant();
    Variant result = FQuery->GetVariable(ResultName);
    return booleanResult ? BooleanResult(result) : result;
}

Variant TOraclePackage::BooleanResult(const Variant& value) const {
    if (value.IsNullOrUnassigned()) return value;
    return Variant(value.ToInteger() != 0);
}

void TOraclePackage::CallProcedure(const std::string& name, const TPackageArguments& parameters) {
    Call(name, 0, parameters);
}
Variant TOraclePackage::CallStringFunction(const std::string& name, const TPackageArguments& parameters) {
    return Call(name, otString, parameters);
}
Variant TOraclePackage::CallIntegerFunction(const std::string& name, const TPackageArguments& parameters) {
    return Call(name, otInteger, parameters);
}
Variant TOraclePackage::CallFloatFunction(const std::string& name, const TPackageArguments& parameters) {
    return Call(name, otFloat, parameters);
}
Variant TOraclePackage::CallDateFunction(const std::string& name, const TPackageArguments& parameters) {
    return Call(name, otDate, parameters);
}
Variant TOraclePackage::CallBooleanFunction(const std::string& name, const TPackageArguments& parameters) {
    return Call(name, otBoolean, parameters);
}

Variant TOraclePackage::GetStringVariable(const std::string& name) { return CallStringFunction(name, NoParameters); }
Variant TOraclePackage::GetIntegerVariable(const std::string& name) { return CallIntegerFunction(name, NoParameters); }
Variant TOraclePackage::GetFloatVariable(const std::string& name) { return CallFloatFunction(name, NoParameters); }
Variant TOraclePackage::GetDateVariable(const std::string& name) { return CallDateFunction(name, NoParameters); }
Variant TOraclePackage::GetBooleanVariable(const std::string& name) { return CallBooleanFunction(name, NoParameters); }

void TOraclePackage::SetVariable(const std::string& name, const Variant& value) {
    int type = 0;
    Variant bound = value;
    switch (value.Type()) {
    case vtUnassigned:
    case vtNull: type = 0; break;
    case vtShortInt:
    case vtSmallInt:
    case vtInteger:
    case vtByte:
    case vtWord: type = otInteger; break;
    case vtInt64: {
        // A value here, not an output marker: a 32-bit integer when it fits, else its exact
        // decimal text, which the server converts without the loss a float would cause.
        int64_t v = value.ToInt64();
        if (v >= INT32_MIN && v <= INT32_MAX) {
            type = otInteger;
            bound = Variant(int32_t(v));
        } else {
            type = otString;
            bound = Variant(std::to_string(v));
        }
        break;
    }
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtLongWord: type = otFloat; break;
    case vtDate: type = otDate; break;
    case vtString:
    case vtUString: type = otString; break;
    case vtBoolean: type = otBoolean; break;
    default: throw Exception("Type of value not supported");
    }

    PrepareQuery();
    FParameterList.clear();
    FQuery->Clear();
    std::string assign = "  " + (PackageName.empty() ? std::string() : PackageName + ".") + name + " := ";
    if (type == 0) {
        assign += "Null;";
    } else if (type == otBoolean) {
        assign += std::string("sys.diutil.int_to_bool(:") + ResultName + ");";
        FQuery->DeclareAndSet(ResultName, otInteger, Variant(int32_t(value.ToBoolean() ? 1 : 0)));
    } else {
        assign += std::string(":") + ResultName + ";";
        FQuery->DeclareAndSet(ResultName, type, bound);
    }
    TStringList& sql = FQuery->SQL();
    sql.BeginUpdate();
    sql.Add("begin");
    sql.Add(assign);
    sql.Add("end;");
    sql.EndUpdate();
    FLastObjectType = type;
    FQuery->Execute();
}

Variant TOraclePackage::GetParameter(int index) {
    if (index < 0 || index >= int(FParameterList.size()))
        throw Exception("Parameter " + std::to_string(index) + " does not exist");
    const TPackageParameter& p = FParameterList[size_t(index)];
    if (p.DataType == 0) {
        // A literal null: nothing was bound, its value stays null.
        return FSession && FSession->NullValue == nvNull ? Variant::Null() : Variant();
    }
    Variant value = FQuery->GetVariable(p.ParamName);
    return p.DataType == otBoolean ? BooleanResult(value) : value;
}

Variant TOraclePackage::GetParameter(const std::string& name) {
    if (ParameterMode != pmNamed)
        throw Exception("Parameters can only be retrieved by name if\r\nnamed parameter mode is used.");
    for (size_t i = 0; i < FParameterList.size(); ++i)
        if (AnsiSameText(FParameterList[i].ParamName, name)) return GetParameter(int(i));
    throw Exception("Parameter " + name + " does not exist");
}

} // namespace quorvel
