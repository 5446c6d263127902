create or replace type shape_t as object (
  name varchar2(30),
  member function area return number,
  static function unit return shape_t
) not final;
