// else-if chains pick the first true branch.
procedure Grade(N: Integer);
begin
  if N >= 90 then ShowMessage('A')
  else if N >= 80 then ShowMessage('B')
  else if N >= 70 then ShowMessage('C')
  else ShowMessage('F');
end;

begin
  Grade(95);
  Grade(85);
  Grade(70);
  Grade(12);
end.
