-- A small module: a table, a few rows and a query over them.
-- It can be installed again: an earlier copy of its table is dropped first.
begin
  execute immediate 'drop table quorvel_sample';
exception
  when others then
    if sqlcode <> -942 then raise; end if;
end;
/
create table quorvel_sample (id number(9) primary key, name varchar2(30) not null);
insert into quorvel_sample (id, name) values (1, 'first');
insert into quorvel_sample (id, name) values (2, 'second');
commit;
select id, name from quorvel_sample order by id;
