// '/' always gives a float; Trunc and Round come back to integers.
var x: Double;
begin
  x := 7 / 2;
  ShowMessage(x);
  ShowMessage(Trunc(x));
  ShowMessage(Round(2.5));
  ShowMessage(Round(3.5));
  ShowMessage(1 / 4 + 0.5);
end.
