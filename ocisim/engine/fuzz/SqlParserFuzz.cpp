// Feeds arbitrary text to the SQL front end: it must either parse or fail with an Oracle error
// whose offset lies inside the text, and never crash, hang or leak. A query or DML statement
// that parses is translated too, against a small catalog (SCOTT.EMP, SCOTT.DEPT, DUAL): it must
// translate or fail with an Oracle error.
#include "ocisim/engine/internal/Impl.h"
#include "ocisim/engine/internal/Sql.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace ocisim;

eng::Column Col(const char* name, OraType t, uint32_t size, int16_t prec = 0, int8_t scale = 0) {
    eng::Column c;
    c.name = name;
    c.info.Name = name;
    c.info.DataType = t;
    c.info.ByteSize = size;
    c.info.Precision = prec;
    c.info.Scale = scale;
    if (t == OraType::Varchar2 || t == OraType::Char || t == OraType::Clob) {
        c.info.CharSize = size;
        c.info.CharsetForm = 1;
        c.info.CharsetId = 873;
    }
    return c;
}

class Host final : public eng::TranslateHost {
public:
    Host() {
        eng::Object emp;
        emp.id = 100;
        emp.owner = "SCOTT";
        emp.name = "EMP";
        emp.type = "TABLE";
        emp.sqlName = "SCOTT.EMP";
        emp.cols = {Col("EMPNO", OraType::Number, 22, 4), Col("ENAME", OraType::Varchar2, 10), Col("HIREDATE", OraType::Date, 7),
                    Col("SAL", OraType::Number, 22, 7, 2), Col("DEPTNO", OraType::Number, 22, 2), Col("NOTES", OraType::Clob, 4000),
                    Col("PIC", OraType::Blob, 4000)};
        cat_.objects[{"SCOTT", "EMP"}] = emp;
        eng::Object dept;
        dept.id = 101;
        dept.owner = "SCOTT";
        dept.name = "DEPT";
        dept.type = "TABLE";
        dept.sqlName = "SCOTT.DEPT";
        dept.cols = {Col("DEPTNO", OraType::Number, 22, 2), Col("DNAME", OraType::Varchar2, 14), Col("LOC", OraType::Varchar2, 13)};
        cat_.objects[{"SCOTT", "DEPT"}] = dept;
        eng::Object dual;
        dual.id = 102;
        dual.owner = "SYS";
        dual.name = "DUAL";
        dual.type = "TABLE";
        dual.sqlName = "SYS.DUAL";
        dual.cols = {Col("DUMMY", OraType::Varchar2, 1)};
        cat_.objects[{"SYS", "DUAL"}] = dual;
        eng::Object syn;
        syn.id = 103;
        syn.owner = "PUBLIC";
        syn.name = "DUAL";
        syn.type = "SYNONYM";
        syn.synOwner = "SYS";
        syn.synName = "DUAL";
        cat_.objects[{"PUBLIC", "DUAL"}] = syn;
    }
    const eng::Catalog& Cat() const override { return cat_; }
    const std::string& SchemaName() const override { return user_; }
    const std::string& UserName() const override { return user_; }
    bool IsDba() const override { return false; }
    uint16_t DbCharsetId() const override { return 873; }
    uint16_t DbNCharsetId() const override { return 2000; }
    int RuleFor(const eng::Object&, const eng::Column&) override { return 0; }
    int NewRownumSlot() override { return slots_++; }

private:
    eng::Catalog cat_;
    std::string user_ = "SCOTT";
    int slots_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Host host;
    std::string_view sql(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<sql::Statement> st;
    try {
        st = ocisim::sql::Parse(sql);
    } catch (const ocisim::EngineError& e) {
        if (e.Code <= 0 || e.Text.rfind("ORA-", 0) != 0) std::abort();
        if (e.ParseOffset > static_cast<int>(size)) std::abort();
    }
    auto ph = ocisim::sql::FindPlaceholders(sql);
    for (const auto& p : ph)
        if (p.Offset >= size) std::abort();
    (void)ocisim::sql::HeadingOf(sql);
    using K = sql::Statement;
    if (st && (st->kind == K::Select || st->kind == K::Insert || st->kind == K::Update || st->kind == K::Delete || st->kind == K::Merge)) {
        try {
            eng::Translated t = eng::Translate(host, *st, sql, ph);
            for (int slot : t.bindOfParam)
                if (slot >= static_cast<int>(ph.size())) std::abort();
        } catch (const ocisim::EngineError& e) {
            if (e.Code <= 0 || e.Text.rfind("ORA-", 0) != 0) std::abort();
        }
    }
    return 0;
}
