// SetLength sizes a dynamic array from 0; growing keeps the elements.
var a: array of Integer;
    i: Integer;
begin
  ShowMessage(Length(a));
  SetLength(a, 3);
  for i := 0 to High(a) do
    a[i] := (i + 1) * 10;
  SetLength(a, 5);
  ShowMessage(IntToStr(Length(a)) + ' ' + IntToStr(Low(a)) + ' ' + IntToStr(High(a)));
  ShowMessage(a[2]);
  SetLength(a, 2);
  ShowMessage(a[1]);
end.
