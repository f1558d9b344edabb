// array[lo..hi]: indexes run from lo; Low and High report the bounds.
var a: array[1..5] of Integer;
    i, sum: Integer;
begin
  for i := 1 to 5 do
    a[i] := i * i;
  sum := 0;
  for i := Low(a) to High(a) do
    sum := sum + a[i];
  ShowMessage(IntToStr(Low(a)) + '..' + IntToStr(High(a)));
  ShowMessage(sum);
end.
