// A small invoice calculation, as a report script would do it.
const
  VatRate = 0.19;

function Net(Qty: Integer; Price: Double): Double;
begin
  Result := Qty * Price;
end;

function Gross(Amount: Double): Double;
begin
  Result := Round(Amount * (1 + VatRate) * 100) / 100;
end;

var
  i: Integer;
  total: Double;
  items: array[0..2] of Double;
begin
  items[0] := Net(3, 12.5);
  items[1] := Net(1, 99.99);
  items[2] := Net(12, 0.85);
  total := 0;
  for i := 0 to 2 do
    total := total + items[i];
  ShowMessage('Net total: ' + FormatFloat('0.00', total));
  ShowMessage('Gross total: ' + FormatFloat('0.00', Gross(total)));
end.
