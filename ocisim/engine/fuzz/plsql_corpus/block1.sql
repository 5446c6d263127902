declare
  type t is table of varchar2(20) index by binary_integer;
  a t;
  n number := 0;
  cursor c(p number) is select ename from emp where sal > p;
  e exception;
  pragma exception_init(e, -20001);
begin
  for r in c(1000) loop n := n + 1; a(n) := r.ename; end loop;
  <<outer>> for i in reverse 1..n loop exit outer when i < 2; continue when mod(i, 2) = 0; end loop;
  case n when 0 then null; else :r := a(a.first) || q'[it's]'; end case;
  select count(*) into n from emp where deptno = :d;
  execute immediate 'update emp set sal = sal where empno = :1' using 7369;
  if n > 0 and not (n is null) then raise e; elsif n between 1 and 2 then null; end if;
exception
  when e or no_data_found then :r := sqlerrm;
  when others then raise_application_error(-20002, 'x', true);
end;
