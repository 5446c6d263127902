create or replace type amounts_t as varray(10) of number(9,2);
