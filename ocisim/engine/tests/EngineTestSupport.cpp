#include "ocisim/engine/tests/EngineTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace ocisim::test {

std::string Show(const ValueRef& v) {
    char b[64];
    switch (v.kind) {
    case ValueRef::Null: return "NULL";
    case ValueRef::Integer: return std::to_string(v.i);
    case ValueRef::Double: std::snprintf(b, sizeof b, "%.15g", v.d); return b;
    case ValueRef::Date:
        std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", (v.date[0] - 100) * 100 + v.date[1] - 100, v.date[2], v.date[3],
                      v.date[4] - 1, v.date[5] - 1, v.date[6] - 1);
        return b;
    default: return std::string(v.p, v.n);
    }
}

namespace {
thread_local std::vector<std::string> t_bindStore;
}

BindValues Binds(const std::vector<std::string>& values) {
    BindValues b;
    t_bindStore = values;
    for (const auto& v : t_bindStore) {
        BindValues::Slot s;
        if (v.empty()) s.values.push_back(ValueRef::MakeNull());
        else if (v[0] == '#') s.values.push_back(ValueRef::MakeDouble(std::atof(v.c_str() + 1)));
        else s.values.push_back(ValueRef::MakeText(v));
        b.slots.push_back(s);
    }
    return b;
}

Rows Query(Session& s, const std::string& sql, const std::vector<std::string>& binds) {
    auto st = s.Prepare(sql);
    st->Execute(Binds(binds));
    Rows rows;
    while (st->Fetch()) {
        Row r;
        for (size_t i = 0; i < st->Columns().size(); ++i) r.push_back(Show(st->Column(i)));
        rows.push_back(r);
    }
    return rows;
}

uint64_t Exec(Session& s, const std::string& sql, const std::vector<std::string>& binds) {
    auto st = s.Prepare(sql);
    st->Execute(Binds(binds));
    return st->RowsProcessed();
}

int ErrorOf(Session& s, const std::string& sql, std::string* text, int* offset) {
    try {
        auto st = s.Prepare(sql);
        st->Execute(Binds({}));
        if (st->Type() == StatementType::Select) while (st->Fetch()) {}
    } catch (const EngineError& e) {
        if (text) *text = e.Text;
        if (offset) *offset = e.ParseOffset;
        return e.Code;
    }
    return 0;
}

void EngineTest::SetUp() {
    char tmpl[] = "/tmp/ocisim-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    db_ = Database::Open(dir_);
    scott_ = Logon();
}

void EngineTest::TearDown() {
    scott_.reset();
    db_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::unique_ptr<Session> EngineTest::Logon(const std::string& user, const std::string& pw) { return db_->Logon(user, pw); }

} // namespace ocisim::test
