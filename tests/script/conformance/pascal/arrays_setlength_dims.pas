// SetLength with several lengths sizes every level; elements start at their
// type's default, each row is an array of its own, and growing keeps values.
var m: array of array of Integer;
    names: array of array of String;
    i, j, total: Integer;
begin
  SetLength(m, 3, 4);
  ShowMessage(IntToStr(Length(m)) + ' x ' + IntToStr(Length(m[0])) + ' ' + IntToStr(m[2][3]));
  for i := 0 to High(m) do
    for j := 0 to High(m[i]) do
      m[i][j] := i * 10 + j;
  m[1, 2] := 99;
  ShowMessage(IntToStr(m[0][3]) + ' ' + IntToStr(m[1][2]) + ' ' + IntToStr(m[2, 1]));
  SetLength(m, 4, 5);
  total := 0;
  for i := 0 to High(m) do
    total := total + Length(m[i]);
  ShowMessage(IntToStr(total) + ' ' + IntToStr(m[1][2]) + ' ' + IntToStr(m[3][4]) + ' ' + IntToStr(m[0][4]));
  SetLength(m, 2, 1);
  ShowMessage(IntToStr(Length(m)) + ' ' + IntToStr(Length(m[1])) + ' ' + IntToStr(m[1][0]));
  SetLength(names, 2, 2);
  names[1][1] := 'x';
  ShowMessage('[' + names[0][0] + '][' + names[1][1] + ']');
end.
