// Dynamic arrays are shared by assignment: a change through one variable is
// seen through the other. SetLength gives the resized variable its own copy.
var a, b: array of Integer;
    i: Integer;

procedure Fill(x: array of Integer; value: Integer);
var k: Integer;
begin
  for k := 0 to High(x) do
    x[k] := value;
end;

begin
  SetLength(a, 3);
  for i := 0 to 2 do
    a[i] := i + 1;
  b := a;
  b[0] := 100;
  ShowMessage(IntToStr(a[0]) + ' ' + IntToStr(b[0]));
  Fill(a, 7);
  ShowMessage(IntToStr(b[1]) + ' ' + IntToStr(b[2]));
  SetLength(b, 4);
  b[1] := 55;
  ShowMessage(IntToStr(a[1]) + ' ' + IntToStr(b[1]) + ' ' + IntToStr(b[3]));
  ShowMessage(IntToStr(Length(a)) + ' ' + IntToStr(Length(b)));
end.
