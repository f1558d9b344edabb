// for … in walks the elements of an array in order.
var a: array of Integer;
    x, total: Integer;
    s: String;
begin
  SetLength(a, 4);
  a[0] := 3; a[1] := 1; a[2] := 4; a[3] := 1;
  total := 0;
  s := '';
  for x in a do
  begin
    total := total + x;
    s := s + IntToStr(x);
  end;
  ShowMessage(s);
  ShowMessage(total);
end.
