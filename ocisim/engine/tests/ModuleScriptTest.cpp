// The SQL of real module scripts (their PL/SQL units belong to the interpreter, not tested here).
#include "ocisim/engine/tests/EngineTestSupport.h"

namespace ocisim::test {
namespace {

using ModuleScriptTest = EngineTest;

TEST_F(ModuleScriptTest, WarehouseSchemaObjectsAndData) {
    const char* ddl[] = {
        "create sequence WH_item_seq start with 1000 increment by 1 nocache",
        "create table WH_category (\n  category_id   number(6)      not null,\n  name          varchar2(60)   not null,\n"
        "  note          varchar2(4000),\n  constraint WH_category_pk primary key (category_id),\n"
        "  constraint WH_category_name_uk unique (name)\n)",
        "create table WH_item (\n  item_id       number(9)      not null,\n  category_id   number(6)      not null,\n"
        "  code          char(8)        not null,\n  title         varchar2(200)  not null,\n"
        "  price         number(12,2)   default 0 not null,\n  weight_kg     number,\n"
        "  created_on    date           default sysdate not null,\n  description   clob,\n"
        "  constraint WH_item_pk primary key (item_id),\n  constraint WH_item_code_uk unique (code),\n"
        "  constraint WH_item_category_fk foreign key (category_id)\n    references WH_category (category_id),\n"
        "  constraint WH_item_price_ck check (price >= 0)\n)",
        "create index WH_item_category_ix on WH_item (category_id)",
        "comment on table WH_item is 'Stock items; one row per article'",
        "comment on column WH_item.price is 'Unit price in roubles'",
        "create or replace view WH_item_v as\nselect i.item_id, i.code, i.title, i.price, c.name as category\n"
        "  from WH_item i\n  join WH_category c on c.category_id = i.category_id",
        "insert into WH_category (category_id, name, note) values (1, 'Инструменты', 'Ручной инструмент')",
        "insert into WH_category (category_id, name) values (2, 'Fasteners')",
        "insert into WH_category (category_id, name, note) values (3, 'Paint', '')",
        "insert into WH_item (item_id, category_id, code, title, price, weight_kg)\n"
        "values (WH_item_seq.nextval, 1, 'HAM-0001', 'Молоток слесарный 500 г', 450.00, 0.5)",
        "insert into WH_item (item_id, category_id, code, title, price)\nvalues (WH_item_seq.nextval, 2, 'SCR-0100', 'Wood screw 4x40, box of 100', 129.90)",
        "update WH_item set weight_kg = 1.25 where code = 'SCR-0100'",
        "commit",
        "grant select on WH_item_v to public",
    };
    for (const char* s : ddl) {
        SCOPED_TRACE(s);
        EXPECT_EQ(ErrorOf(*scott_, s), 0);
    }
    EXPECT_EQ(Query(*scott_, "select code, title, price from WH_item_v order by code"),
              (Rows{{"HAM-0001", "Молоток слесарный 500 г", "450"}, {"SCR-0100", "Wood screw 4x40, box of 100", "129.9"}}));
    EXPECT_EQ(Query(*scott_, "select item_id, length(title), lengthb(title) from WH_item where category_id = 1"), (Rows{{"1000", "23", "40"}}));
    EXPECT_EQ(Query(*scott_, "select note from WH_category where category_id = 3"), (Rows{{"NULL"}}));
    EXPECT_EQ(Query(*scott_, "select column_name, data_default from sys.all_tab_columns where owner = :owner and table_name = :t and data_default is not null order by column_id",
                    {"SCOTT", "WH_ITEM"}),
              (Rows{{"PRICE", "0"}, {"CREATED_ON", "sysdate"}}));
    EXPECT_EQ(Query(*scott_, "select constraint_name, column_name from sys.all_cons_columns where owner = :owner and table_name = :t "
                             "and constraint_name not like 'SYS_C%' order by constraint_name, position", {"SCOTT", "WH_ITEM"}),
              (Rows{{"WH_ITEM_CATEGORY_FK", "CATEGORY_ID"}, {"WH_ITEM_CODE_UK", "CODE"}, {"WH_ITEM_PK", "ITEM_ID"}, {"WH_ITEM_PRICE_CK", "PRICE"}}));
    EXPECT_EQ(Query(*scott_, "select search_condition from user_constraints where constraint_name = 'WH_ITEM_PRICE_CK'"), (Rows{{"price >= 0"}}));
    EXPECT_EQ(Query(*scott_, "select count(*) from user_constraints where table_name = 'WH_ITEM' and constraint_name like 'SYS_C%'"), (Rows{{"6"}}));
    EXPECT_EQ(Query(*scott_, "select comments from user_col_comments where table_name = 'WH_ITEM' and column_name = 'PRICE'"), (Rows{{"Unit price in roubles"}}));
    EXPECT_EQ(Query(*scott_, "select last_number from user_sequences where sequence_name = 'WH_ITEM_SEQ'"), (Rows{{"1002"}}));
    EXPECT_EQ(ErrorOf(*scott_, "insert into WH_item (item_id, category_id, code, title) values (5, 9, 'X', 'y')"), 2291);
    EXPECT_EQ(ErrorOf(*scott_, "insert into WH_item (item_id, category_id, code, title, price) values (5, 1, 'X', 'y', -1)"), 2290);
    EXPECT_EQ(ErrorOf(*scott_, "insert into WH_item (category_id, code, title) values (1, 'X', 'y')"), 1400);
    EXPECT_EQ(ErrorOf(*scott_, "delete from WH_category where category_id = 1"), 2292);
    // the rowid of a new row, then lock and check it the way data sets do
    auto ins = scott_->Prepare("insert into WH_category (category_id, name) values (:v1, :v2) returning rowid into :quorvel__rowid");
    ins->Execute(Binds({"#4", "Glue", ""}));
    std::string rid = ins->OutValues(2).at(0).bytes;
    EXPECT_EQ(Query(*scott_, "select * from WH_category where rowid = :quorvel__rowid\nfor update nowait", {rid}), (Rows{{"4", "Glue", "NULL"}}));
    EXPECT_EQ(Query(*scott_, "select 'x' from WH_category\nwhere rowid <> :quorvel__rowid\nand NAME = :NAME", {rid, "Glue"}), Rows{});
}

TEST_F(ModuleScriptTest, BrokenScriptFailsEachBadCommandAndGoesOn) {
    struct { const char* sql; int code; } steps[] = {
        {"create table bad_demo (id number(5) primary key, name varchar2(20))", 0},
        {"insert into bad_demo values (1, 'first')", 0},
        {"insert into bad_demo values (1, 'duplicate key')", 1},
        {"insert into missing_table values (1)", 942},
        {"selec * from bad_demo", 900},
        {"insert into bad_demo values (2, 'a name that is far too long for the column')", 12899},
        {"update bad_demo set name = 'renamed' where id = 1", 0},
        {"commit", 0},
    };
    for (const auto& s : steps) {
        std::string text;
        EXPECT_EQ(ErrorOf(*scott_, s.sql, &text), s.code) << s.sql << ": " << text;
        if (s.code == 1) EXPECT_EQ(text.substr(0, 43), "ORA-00001: unique constraint (SCOTT.SYS_C00");
        if (s.code == 12899)
            EXPECT_EQ(text, "ORA-12899: value too large for column \"SCOTT\".\"BAD_DEMO\".\"NAME\" (actual: 42, maximum: 20)");
    }
    EXPECT_EQ(Query(*scott_, "select id, name from bad_demo"), (Rows{{"1", "renamed"}}));
    EXPECT_EQ(ErrorOf(*scott_, "drop table bad_demo"), 0);
}

} // namespace
} // namespace ocisim::test
