// A table of statements on the demo schema with the rows or the Oracle error each gives.
#include "ocisim/engine/tests/EngineTestSupport.h"

namespace ocisim::test {
namespace {

struct Case {
    const char* sql;
    Rows rows;          // expected rows (ignored when error != 0)
    int error = 0;
    std::vector<std::string> binds = {};
};

class StatementTable : public EngineTest {
protected:
    void Run(const std::vector<Case>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.sql);
            try {
                auto st = scott_->Prepare(c.sql);
                st->Execute(Binds(c.binds));
                Rows rows;
                if (st->Type() == StatementType::Select) {
                    while (st->Fetch()) {
                        Row r;
                        for (size_t i = 0; i < st->Columns().size(); ++i) r.push_back(Show(st->Column(i)));
                        rows.push_back(r);
                    }
                }
                EXPECT_EQ(c.error, 0) << "succeeded";
                if (c.error == 0) {
                    EXPECT_EQ(rows, c.rows);
                }
            } catch (const EngineError& e) {
                EXPECT_EQ(e.Code, c.error) << e.Text;
            }
        }
    }
};

TEST_F(StatementTable, QueriesOnTheDemoSchema) {
    Run({
        {"select ename from emp where empno = 7369", {{"SMITH"}}},
        {"select count(*), sum(sal), min(ename), max(hiredate) from emp", {{"14", "29025", "ADAMS", "1987-07-13 00:00:00"}}},
        {"select deptno, count(*) from emp group by deptno having count(*) > 3 order by deptno", {{"20", "5"}, {"30", "6"}}},
        {"select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno and e.empno = 7839", {{"KING", "ACCOUNTING"}}},
        {"select d.dname, e.ename from dept d, emp e where d.deptno = e.deptno(+) and d.deptno = 40", {{"OPERATIONS", "NULL"}}},
        {"select d.dname, count(e.empno) from dept d left join emp e on e.deptno = d.deptno group by d.dname order by 1",
         {{"ACCOUNTING", "3"}, {"OPERATIONS", "0"}, {"RESEARCH", "5"}, {"SALES", "6"}}},
        {"select ename from emp where rownum <= 2 order by ename", {{"ALLEN"}, {"SMITH"}}},
        {"select * from (select ename from emp order by sal desc) where rownum < 3", {{"KING"}, {"SCOTT"}}},
        {"select rownum, dname from dept where deptno < 30", {{"1", "ACCOUNTING"}, {"2", "RESEARCH"}}},
        {"select dname from dept where deptno in (select deptno from emp where job = 'PRESIDENT')", {{"ACCOUNTING"}}},
        {"select dname from dept d where not exists (select 1 from emp e where e.deptno = d.deptno)", {{"OPERATIONS"}}},
        {"select deptno from dept minus select deptno from emp", {{"40"}}},
        {"select deptno from emp intersect select deptno from dept order by 1", {{"10"}, {"20"}, {"30"}}},
        {"select job from emp where deptno = 10 union select job from emp where deptno = 20 order by job",
         {{"ANALYST"}, {"CLERK"}, {"MANAGER"}, {"PRESIDENT"}}},
        {"select ename, nvl(comm, -1), nvl2(comm, 'y', 'n') from emp where empno in (7369, 7499) order by empno",
         {{"SMITH", "-1", "n"}, {"ALLEN", "300", "y"}}},
        {"select decode(deptno, 10, 'A', 20, 'B', 'C') from dept order by deptno", {{"A"}, {"B"}, {"C"}, {"C"}}},
        {"select case when sal > 2000 then 'high' else 'low' end from emp where empno = 7839", {{"high"}}},
        {"select ename || ' ' || job || null from emp where empno = 7369", {{"SMITH CLERK"}}},
        {"select 'a' || '' || 'b', length(''), nvl('', 'empty') from dual", {{"ab", "NULL", "empty"}}},
        {"select count(*) from emp where comm = ''", {{"0"}}},
        {"select to_char(hiredate, 'DD.MM.YYYY HH24:MI:SS'), to_char(hiredate) from emp where empno = 7369",
         {{"17.12.1980 00:00:00", "17-DEC-80"}}},
        {"select to_char(to_date('2004-02-29 13:45:10', 'YYYY-MM-DD HH24:MI:SS') + 1, 'YYYY-MM-DD HH24:MI:SS') from dual",
         {{"2004-03-01 13:45:10"}}},
        {"select to_date('2004-03-01', 'YYYY-MM-DD') - to_date('2004-02-01', 'YYYY-MM-DD') from dual", {{"29"}}},
        {"select add_months(to_date('31-01-2004', 'DD-MM-YYYY'), 1), last_day(to_date('10-02-2003', 'DD-MM-YYYY')) from dual",
         {{"2004-02-29 00:00:00", "2003-02-28 00:00:00"}}},
        {"select months_between(to_date('2004-03-31','YYYY-MM-DD'), to_date('2004-01-31','YYYY-MM-DD')) from dual", {{"2"}}},
        {"select trunc(to_date('2004-05-17 10:11:12', 'YYYY-MM-DD HH24:MI:SS'), 'MM') from dual", {{"2004-05-01 00:00:00"}}},
        {"select to_char(1234.5, '9,999.99'), to_char(0.5), to_char(-12), to_char(7, '000') from dual",
         {{" 1,234.50", ".5", "-12", " 007"}}},
        {"select to_number('12.5') * 2, 7 / 2, mod(7, 3), round(2.675, 2), trunc(-2.7), round(1234.5) from dual",
         {{"25", "3.5", "1", "2.68", "-2", "1235"}}},
        {"select abs(-3), sign(-2), floor(2.5), ceil(2.1), power(2, 10), sqrt(16) from dual", {{"3", "-1", "2", "3", "1024", "4"}}},
        {"select greatest(1, 5, 3), least('b', 'a', 'c'), coalesce(null, null, 'x') from dual", {{"5", "a", "x"}}},
        {"select upper('abc'), lower('ABC'), initcap('hello world'), lpad('7', 3, '0'), rpad('ab', 4, '*') from dual",
         {{"ABC", "abc", "Hello World", "007", "ab**"}}},
        {"select substr('abcdef', 2, 3), substr('abcdef', -2), instr('banana', 'an'), instr('banana', 'an', 1, 2) from dual",
         {{"bcd", "ef", "2", "4"}}},
        {"select trim('  x  '), ltrim('xxy', 'x'), rtrim('yxx', 'x'), trim(both '*' from '**a**') from dual", {{"x", "y", "y", "a"}}},
        {"select replace('banana', 'an', 'AN'), translate('abc', 'ab', 'xy'), soundex('Robert'), chr(65), ascii('A') from dual",
         {{"bANANa", "xyc", "R163", "A", "65"}}},
        {"select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2, 'c' c1 from dual", {{"1", "3", "2", "c"}}},
        {"select lengthb(nchr(20)), length(nchr(20)) from dual", {{"2", "1"}}},
        {"select to_char(userenv('SESSIONID')) from dual", {{"1"}}},
        {"select user, uid from dual", {{"SCOTT", "54"}}},
        {"select sys_context('USERENV', 'SESSION_USER') from dual", {{"SCOTT"}}},
        {"select 'x' from dual", {{"x"}}},
        {"select dummy from sys.dual", {{"X"}}},
        {"select count(*) from emp where hiredate > '01-JAN-82'", {{"3"}}},
        {"select count(*) from emp where ename like 'S%'", {{"2"}}},
        {"select count(*) from emp where ename like 's%'", {{"0"}}},
        {"select count(*) from emp where sal between 1000 and 2000", {{"6"}}},
        {"select count(*) from emp where empno = '7369'", {{"1"}}},
        {"select ename from emp where empno = :1", {{"SCOTT"}}, 0, {"#7788"}},
        {"select ename from emp where ename = :name", {{"KING"}}, 0, {"KING"}},
        {"select count(distinct job) from emp", {{"5"}}},
        {"select avg(sal) from emp where deptno = 10", {{"2916.66666666667"}}},
        {"select ename from emp where empno = (select max(empno) from emp)", {{"MILLER"}}},
        {"select banner from v$version where rownum = 1", {{"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"}}},
        {"select value from nls_database_parameters where parameter = 'NLS_CHARACTERSET'", {{"AL32UTF8"}}},
        {"select value from nls_session_parameters where parameter = 'NLS_DATE_FORMAT'", {{"DD-MON-RR"}}},
        {"select username from v$session where sid = userenv('SESSIONID')", {{"SCOTT"}}},
        {"select table_name from user_tables order by table_name", {{"BONUS"}, {"DEPT"}, {"EMP"}, {"SALGRADE"}}},
        {"select constraint_name from all_constraints where owner = :owner and table_name = :table_name and constraint_type in ('P', 'U') order by constraint_type",
         {{"PK_EMP"}}, 0, {"SCOTT", "EMP"}},
        {"select column_name from all_cons_columns where owner = :owner and table_name = :table_name and constraint_name = :constraint_name order by position",
         {{"EMPNO"}}, 0, {"SCOTT", "EMP", "PK_EMP"}},
        {"select constraint_type, r_constraint_name, r_owner, search_condition from sys.all_constraints where constraint_name = :constraint_name and owner = :owner and status = 'ENABLED'",
         {{"R", "PK_DEPT", "SCOTT", "NULL"}}, 0, {"FK_DEPTNO", "SCOTT"}},
        {"select object_type, status from user_objects where object_name = 'EMP'", {{"TABLE", "VALID"}}},
        {"select column_name, data_type, data_length, data_precision, data_scale, nullable from user_tab_columns where table_name = 'EMP' and column_id <= 2 order by column_id",
         {{"EMPNO", "NUMBER", "22", "4", "0", "N"}, {"ENAME", "VARCHAR2", "10", "NULL", "NULL", "Y"}}},
        {"select synonym_name from all_synonyms where owner = 'PUBLIC' and synonym_name = 'DUAL'", {{"DUAL"}}},
        // errors
        {"selec * from emp", {}, 900},
        {"select * from nosuch", {}, 942},
        {"select nosuch from emp", {}, 904},
        {"select ename emp", {}, 923},
        {"select ename from emp where", {}, 936},
        {"select ename from emp order by (ename", {}, 907},
        {"select 'abc from dual", {}, 1756},
        {"select ename from emp e, dept d where deptno = 10", {}, 918},
        {"select 1 / 0 from dual", {}, 1476},
        {"select to_number('abc') from dual", {}, 1722},
        {"select ename from emp where empno = 'x'", {}, 1722},
        {"select nosuchfn(1) from dual", {}, 904},
        {"select ename from emp x extra", {}, 933},
        {"select seq_nothere.nextval from dual", {}, 2289},
        {"select * from emp where empno = :1", {}, 1008},
        {"select deptno from dept union select ename, job from emp", {}, 1789},
        {"with d as (select deptno, dname from dept where deptno < 30), c (n) as (select count(*) from emp) "
         "select d.dname, c.n from d, c order by d.dname", {{"ACCOUNTING", "14"}, {"RESEARCH", "14"}}},
        {"select level from dual connect by level <= 3", {{"1"}, {"2"}, {"3"}}},
        {"select lpad(' ', level - 1) || ename from emp start with mgr is null connect by prior empno = mgr and level <= 2 order by 1",
         {{" BLAKE"}, {" CLARK"}, {" JONES"}, {"KING"}}},
        {"select ename, level from emp where level = 3 start with ename = 'KING' connect by prior empno = mgr and prior ename <> 'BLAKE'",
         {{"SCOTT", "3"}, {"FORD", "3"}, {"MILLER", "3"}}},
        {"select ename from emp start with empno = 7839 connect by prior empno = mgr or (prior empno = 7566 and empno = 7839)", {}, 1436},
        {"select (select ename from emp where deptno = 10) from dual", {}, 1427},
        {"select (select ename from emp where empno = -1) from dual", {{"NULL"}}},
        {"select dname, (select count(*) from emp e where e.deptno = d.deptno) n from dept d order by 1", {{"ACCOUNTING", "3"}, {"OPERATIONS", "0"}, {"RESEARCH", "5"}, {"SALES", "6"}}},
        {"select to_date('31-02-2004', 'DD-MM-YYYY') from dual", {}, 1839},
    });
}

TEST_F(StatementTable, DmlDdlAndConstraints) {
    Run({
        {"create table parent (id number(4) primary key, name varchar2(10) not null unique)", {}},
        {"create table child (id number(4) constraint pk_child primary key, parent_id number(4) constraint fk_child_parent references parent on delete cascade, "
         "code char(3) default 'AB', qty number(5,2) constraint ck_qty check (qty >= 0), made date default sysdate)", {}},
        {"insert into parent values (1, 'one')", {}},
        {"insert into parent values (2, 'two')", {}},
        {"insert into parent values (1, 'uno')", {}, 1},
        {"insert into parent (id) values (3)", {}, 1400},
        {"insert into parent values (3, 'abcdefghijk')", {}, 12899},
        {"insert into child (id, parent_id, qty) values (10, 1, 1.234)", {}},
        {"insert into child (id, parent_id, qty) values (11, 9, 1)", {}, 2291},
        {"insert into child (id, parent_id, qty) values (12, 2, -1)", {}, 2290},
        {"insert into child (id, parent_id, qty) values (13, 2, 1000)", {}, 1438},
        {"select id, parent_id, code, qty, case when made is not null then 'set' end from child", {{"10", "1", "AB ", "1.23", "set"}}},
        {"update parent set id = 5 where id = 1", {}, 2292},
        {"update parent set name = null where id = 1", {}, 1407},
        {"delete from parent where id = 1", {}},
        {"select count(*) from child", {{"0"}}},
        {"create sequence s1 start with 10 increment by 5", {}},
        {"select s1.nextval, s1.currval from dual", {{"10", "10"}}},
        {"select s1.nextval from dual", {{"15"}}},
        {"create view v_parent as select id, upper(name) uname from parent", {}},
        {"select * from v_parent", {{"2", "TWO"}}},
        {"create synonym p for parent", {}},
        {"select name from p", {{"two"}}},
        {"create table parent (x number)", {}, 955},
        {"alter table parent add (note varchar2(20) default 'n/a')", {}},
        {"select note from parent", {{"n/a"}}},
        {"alter table parent modify (note varchar2(40))", {}},
        {"alter table parent drop column note", {}},
        {"select * from parent", {{"2", "two"}}},
        {"alter table child add constraint ck_code check (code in ('AB', 'CD'))", {}},
        {"insert into child (id, parent_id, code) values (20, 2, 'ZZ')", {}, 2290},
        {"comment on table parent is 'Parents'", {}},
        {"select comments from user_tab_comments where table_name = 'PARENT'", {{"Parents"}}},
        {"create index ix_child_parent on child (parent_id)", {}},
        {"select index_name, uniqueness from user_indexes where table_name = 'CHILD' order by index_name", {{"IX_CHILD_PARENT", "NONUNIQUE"}, {"PK_CHILD", "UNIQUE"}}},
        {"truncate table child", {}},
        {"drop table parent", {}, 2449},
        {"drop table child", {}},
        {"drop table parent", {}},
        {"select count(*) from user_tables where table_name in ('PARENT', 'CHILD')", {{"0"}}},
        {"select * from v_parent", {}, 4063},
        {"drop view v_parent", {}},
        {"drop sequence s1", {}},
        {"drop synonym p", {}},
        {"drop table nosuch", {}, 942},
        {"update emp set sal = sal * 2 where deptno = :d", {}, 0, {"#10"}},
        {"select sum(sal) from emp where deptno = 10", {{"17500"}}},
        {"begin null; end;", {}, 0},
        {"create table bonus2 (ename varchar2(10) primary key, amount number)", {}},
        {"insert into bonus2 values ('KING', 1)", {}},
        {"merge into bonus2 b using (select ename, sal from emp where deptno = 10) e on (b.ename = e.ename) "
         "when matched then update set b.amount = b.amount + e.sal when not matched then insert (ename, amount) values (e.ename, e.sal / 10)", {}},
        {"select ename, amount from bonus2 order by ename", {{"CLARK", "490"}, {"KING", "10001"}, {"MILLER", "260"}}},
        {"create table emp10 as select empno, ename, sal * 2 doubled from emp where deptno = 10", {}},
        {"select count(*), min(doubled) from emp10", {{"3", "5200"}}},
        {"insert into emp10 (empno, ename) select empno, ename from emp where deptno = 20", {}},
        {"alter table emp10 rename column doubled to twice", {}},
        {"rename emp10 to emp_copy", {}},
        {"select count(*), count(twice) from emp_copy", {{"8", "3"}}},
        {"create or replace force view v_broken as select nothing from nowhere", {}, 24344},
        {"select status from user_objects where object_name = 'V_BROKEN'", {{"INVALID"}}},
        {"select * from v_broken", {}, 4063},
        {"select count(*) from emp_copy where rowid = (select max(rowid) from emp_copy)", {{"1"}}},
        {"delete from emp_copy where ename like '%S%' returning count(*) into :n", {}, 934, {""}},
    });
}

} // namespace
} // namespace ocisim::test
