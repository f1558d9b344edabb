// continue skips to the next pass, break leaves the innermost loop.
var i, sum: Integer;
begin
  sum := 0;
  for i := 1 to 10 do
  begin
    if Odd(i) then continue;
    if i > 8 then break;
    sum := sum + i;
  end;
  ShowMessage(sum);
end.
