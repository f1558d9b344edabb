// Fixed arrays, element updates and strings indexed by character.
var
  a: array[0..4] of Integer;
  i, sum: Integer;
  s: String;
begin
  for i := 0 to 4 do
    a[i] := i * i;
  sum := 0;
  for i := 0 to 4 do
    sum := sum + a[i];
  Print(sum);
  Print(a[3]);
  s := 'script';
  Print(UpperCase(s[1]) + Copy(s, 2, 5));
end.
