// var parameters change the caller's variables; value parameters do not.
procedure Swap(var A, B: Integer);
var T: Integer;
begin
  T := A;
  A := B;
  B := T;
end;

procedure Bump(N: Integer);
begin
  N := N + 100;
end;

var x, y: Integer;
begin
  x := 1;
  y := 2;
  Swap(x, y);
  ShowMessage(IntToStr(x) + ',' + IntToStr(y));
  Bump(x);
  ShowMessage(x);
end.
