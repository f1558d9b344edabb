// while tests before the body, repeat … until after it.
var i, n: Integer;
begin
  i := 10;
  n := 0;
  while i < 10 do
    n := n + 1;
  ShowMessage(n);
  repeat
    n := n + 1;
  until i >= 10;
  ShowMessage(n);
  i := 1;
  while i < 100 do
    i := i * 3;
  ShowMessage(i);
end.
