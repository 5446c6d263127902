-- A small module: a table, a few rows and a query over them.
create table quorvel_sample (id number(9) primary key, name varchar2(30) not null);
insert into quorvel_sample (id, name) values (1, 'first');
insert into quorvel_sample (id, name) values (2, 'second');
commit;
select id, name from quorvel_sample order by id;
