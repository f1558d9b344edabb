// Arrays of records: each element is a record of its own, fields start at
// their defaults, and a[i].Field writes into the element.
type
  TItem = record
    Name: String;
    Qty: Integer;
    Price: Double;
  end;

var items: array of TItem;
    fixed: array[1..2] of TItem;
    i: Integer;
    total: Double;
begin
  SetLength(items, 3);
  items[0].Name := 'pen';
  items[0].Qty := 4;
  items[0].Price := 1.5;
  items[2].Name := 'pad';
  items[2].Qty := 2;
  items[2].Price := 3.25;
  total := 0;
  for i := 0 to High(items) do
    total := total + items[i].Qty * items[i].Price;
  ShowMessage(FloatToStr(total));
  ShowMessage('[' + items[1].Name + '] ' + IntToStr(items[1].Qty));
  fixed[2].Qty := 9;
  ShowMessage(IntToStr(fixed[1].Qty) + ' ' + IntToStr(fixed[2].Qty));
end.
