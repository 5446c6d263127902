// Statements and their results through the engine's door.
#include "ocisim/engine/tests/EngineTestSupport.h"

namespace ocisim::test {
namespace {

using SqlTest = EngineTest;

TEST_F(SqlTest, NewDatabaseHasDemoSchemaAndChecksPasswords) {
    EXPECT_EQ(Query(*scott_, "select count(*) from emp"), (Rows{{"14"}}));
    EXPECT_EQ(Query(*scott_, "select dname from dept where deptno = 10"), (Rows{{"ACCOUNTING"}}));
    try {
        db_->Logon("SCOTT", "wrong");
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code, 1017);
        EXPECT_EQ(e.Text, "ORA-01017: invalid username/password; logon denied");
    }
    EXPECT_NO_THROW(db_->Logon("system", "manager"));
    EXPECT_EQ(Database::Open(dir_), db_);
}

TEST_F(SqlTest, CreateInsertSelectCommitRollback) {
    Exec(*scott_, "create table t (id number(9) not null, name varchar2(30), created date, amount number(12,2))");
    EXPECT_EQ(Exec(*scott_, "insert into t values (:1, :2, sysdate, :3)", {"#1", "one", "#12.345"}), 1u);
    Exec(*scott_, "insert into t (id, name) values (:id, :name)", {"#2", ""});
    scott_->Commit();
    Exec(*scott_, "insert into t (id) values (3)");
    scott_->Rollback();
    EXPECT_EQ(Query(*scott_, "select id, name, amount from t order by id"), (Rows{{"1", "one", "12.35"}, {"2", "NULL", "NULL"}}));
    auto st = scott_->Prepare("select id, name, created, amount, id + 1 from t");
    const auto& c = st->Columns();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].Name, "ID");
    EXPECT_EQ(c[0].DataType, OraType::Number);
    EXPECT_EQ(c[0].Precision, 9);
    EXPECT_EQ(c[0].Scale, 0);
    EXPECT_FALSE(c[0].Nullable);
    EXPECT_EQ(c[1].DataType, OraType::Varchar2);
    EXPECT_EQ(c[1].ByteSize, 30u);
    EXPECT_EQ(c[2].DataType, OraType::Date);
    EXPECT_EQ(c[3].Precision, 12);
    EXPECT_EQ(c[3].Scale, 2);
    EXPECT_EQ(c[4].Name, "ID+1");
    EXPECT_EQ(c[4].Scale, -127);
}

} // namespace
} // namespace ocisim::test
