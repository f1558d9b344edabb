// and, or, xor and not on Booleans; comparisons give Booleans.
var a, b: Boolean;
begin
  a := True;
  b := 3 > 5;
  ShowMessage(a and b);
  ShowMessage(a or b);
  ShowMessage(a xor b);
  ShowMessage(not b);
  ShowMessage((1 < 2) and (2 < 3));
end.
