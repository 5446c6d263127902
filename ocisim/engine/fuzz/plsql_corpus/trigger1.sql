trigger wh_item_bi
  before insert or update of price on wh_item
  referencing new as n old as o
  for each row
  when (n.price > 0)
begin
  if :n.item_id is null then
    select wh_item_seq.nextval into :n.item_id from dual;
  end if;
end;
