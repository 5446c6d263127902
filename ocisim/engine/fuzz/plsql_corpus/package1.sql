package body wh_stock as
  g_count pls_integer := 0;
  procedure add_item(p_category in number, p_code in varchar2, p_price in number default 0, p_item_id out number) is
  begin
    insert into wh_item (category_id, code, price) values (p_category, p_code, p_price) returning item_id into p_item_id;
  end add_item;
  function item_count(p_category in number default null) return number is
    l_count number;
  begin
    select count(*) into l_count from wh_item where p_category is null or category_id = p_category;
    return l_count;
  end;
begin
  g_count := 1;
end wh_stock;
