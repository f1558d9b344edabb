// Loops, branches and case labels.
var
  i, n, sum: Integer;
begin
  sum := 0;
  for i := 1 to 10 do
    sum := sum + i;
  Print(sum);
  sum := 0;
  for i := 10 downto 1 do
    if i mod 2 = 0 then
      sum := sum + i;
  Print(sum);
  n := 0;
  while n < 100 do
  begin
    n := n + 7;
    if n > 50 then
      break;
  end;
  Print(n);
  n := 0;
  sum := 0;
  repeat
    n := n + 1;
    if n <> 3 then
      sum := sum + n;
  until n >= 5;
  Print(sum);
  for i := 1 to 4 do
    case i of
      1: Print('one');
      2, 3: Print('two or three');
    else
      Print('other');
    end;
  if sum > 10 then
    Print('big')
  else
    Print('small');
end.
