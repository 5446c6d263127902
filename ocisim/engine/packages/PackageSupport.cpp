#include "ocisim/engine/packages/PackageSupport.h"

#include "ocisim/engine/internal/Runtime.h"
#include "ocisim/engine/internal/Sql.h"

#include <chrono>
#include <cmath>

namespace ocisim::eng::pkg {

bool Params::Match(std::vector<NativeArg>& args, std::initializer_list<std::string_view> formals, size_t required) {
    std::vector<std::string_view> names(formals);
    slots_.assign(names.size(), nullptr);
    size_t pos = 0;
    bool named = false;
    for (auto& a : args) {
        if (a.name.empty()) {
            if (named || pos >= names.size()) return false;
            slots_[pos++] = &a;
            continue;
        }
        named = true;
        size_t k = 0;
        while (k < names.size() && names[k] != a.name) ++k;
        if (k == names.size() || slots_[k]) return false;
        slots_[k] = &a;
    }
    for (size_t k = 0; k < required && k < names.size(); ++k)
        if (!slots_[k]) return false;
    return true;
}

const Value& Params::In(size_t k) const {
    static const Value null;
    NativeArg* a = (*this)[k];
    return a ? a->value : null;
}

bool Params::Out(size_t k, Value v) const {
    NativeArg* a = (*this)[k];
    if (!a || !a->out) return false;
    a->value = std::move(v);
    return true;
}

bool IsNull(const Value& v) {
    if (v.kind == ValueRef::Null) return true;
    return (v.kind == ValueRef::Text || v.kind == ValueRef::Decimal) && v.bytes.empty();
}

std::string Text(const Value& v) {
    switch (v.kind) {
    case ValueRef::Null: return {};
    case ValueRef::Integer: return std::to_string(v.i);
    case ValueRef::Double: return rt::NumberText(v.d);
    case ValueRef::Date: return rt::FormatDate(rt::JulianFrom7(v.date), "DD-MON-RR");
    default: return v.bytes;
    }
}

double Num(const Value& v) {
    switch (v.kind) {
    case ValueRef::Null: return 0;
    case ValueRef::Integer: return static_cast<double>(v.i);
    case ValueRef::Double: return v.d;
    case ValueRef::Text:
    case ValueRef::Decimal: {
        double d = 0;
        if (!rt::ParseNumber(v.bytes, d)) ValueError("character to number conversion error");
        return d;
    }
    default: ValueError();
    }
}

int64_t Int(const Value& v) {
    if (v.kind == ValueRef::Integer) return v.i;
    double d = Num(v);
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18) ValueError();
    return static_cast<int64_t>(std::llround(d));
}

bool Bool(const Value& v) { return v.kind == ValueRef::Integer ? v.i != 0 : Num(v) != 0; }

double DateOf(const Value& v) {
    if (v.kind == ValueRef::Date) return rt::JulianFrom7(v.date);
    if (v.kind == ValueRef::Text) return rt::ParseDate(v.bytes, "DD-MON-RR");
    ValueError();
}

Value NullValue() { return Value(); }

Value TextValue(std::string s) {
    Value v;
    if (s.empty()) return v;
    v.kind = ValueRef::Text;
    v.bytes = std::move(s);
    return v;
}

Value IntValue(int64_t i) {
    Value v;
    v.kind = ValueRef::Integer;
    v.i = i;
    return v;
}

Value NumValue(double d) {
    if (d == std::floor(d) && std::fabs(d) < 9e15) return IntValue(static_cast<int64_t>(d));
    Value v;
    v.kind = ValueRef::Double;
    v.d = d;
    return v;
}

Value BoolValue(bool b) { return IntValue(b ? 1 : 0); }

Value DateValue(double julian) {
    Value v;
    v.kind = ValueRef::Date;
    rt::JulianTo7(julian, v.date);
    return v;
}

void Raise(int code, const std::string& text) { sql::Fail(code, text); }

void ValueError(const std::string& detail) {
    sql::Fail(6502, detail.empty() ? "PL/SQL: numeric or value error" : "PL/SQL: numeric or value error: " + detail);
}

namespace {

BindValues MakeBinds(const std::vector<Value>& binds) {
    BindValues b;
    for (const auto& v : binds) {
        BindValues::Slot s;
        s.values.push_back(v.Ref());
        s.declaredType = v.kind == ValueRef::Date ? OraType::Date
                         : (v.kind == ValueRef::Integer || v.kind == ValueRef::Double) ? OraType::Number
                                                                                       : OraType::Varchar2;
        b.slots.push_back(std::move(s));
    }
    return b;
}

} // namespace

Rows Query(NativeContext& ctx, std::string_view sql, const std::vector<Value>& binds) {
    auto st = ctx.Sql().PrepareSql(sql);
    st->Execute(MakeBinds(binds));
    Rows rows;
    while (st->Fetch()) {
        std::vector<Value> row;
        for (size_t i = 0; i < st->Columns().size(); ++i) row.push_back(Value::From(st->Column(i)));
        rows.push_back(std::move(row));
    }
    return rows;
}

uint64_t Exec(NativeContext& ctx, std::string_view sql, const std::vector<Value>& binds) {
    auto st = ctx.Sql().PrepareSql(sql);
    st->Execute(MakeBinds(binds));
    return st->RowsProcessed();
}

bool WaitFor(NativeContext& ctx, double seconds, const std::function<bool()>& ready) {
    using clock = std::chrono::steady_clock;
    auto start = clock::now();
    int pause = 2;
    while (true) {
        if (ready()) return true;
        if (ctx.Interrupted()) sql::Fail(1013, "user requested cancel of current operation");
        double waited = std::chrono::duration<double>(clock::now() - start).count();
        if (seconds >= 0 && waited >= seconds) return false;
        int ms = pause;
        if (seconds >= 0) ms = static_cast<int>(std::min<double>(ms, (seconds - waited) * 1000.0 + 1));
        ctx.Pause(std::max(ms, 1));
        pause = std::min(pause * 2, 25);
    }
}

} // namespace ocisim::eng::pkg
