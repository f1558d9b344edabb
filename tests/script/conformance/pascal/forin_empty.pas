// An empty array or string runs the body no times; the walk sees the
// collection as it was when the loop started.
var a: array of Integer;
    x: Integer;
    c: String;
begin
  for x in a do ShowMessage('never');
  for c in '' do ShowMessage('never');
  SetLength(a, 2);
  a[0] := 5; a[1] := 6;
  for x in a do
  begin
    SetLength(a, 0);
    ShowMessage(x);
  end;
  ShowMessage(Length(a));
end.
