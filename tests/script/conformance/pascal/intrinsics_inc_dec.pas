// Inc and Dec change a variable by one or by the given step.
var i: Integer;
begin
  i := 10;
  Inc(i);
  ShowMessage(i);
  Inc(i, 5);
  ShowMessage(i);
  Dec(i);
  ShowMessage(i);
  Dec(i, 20);
  ShowMessage(i);
end.
