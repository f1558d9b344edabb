// Exit(value) sets the result and leaves at once.
function Sign(N: Integer): Integer;
begin
  if N < 0 then Exit(-1);
  if N = 0 then Exit(0);
  Result := 1;
end;

begin
  ShowMessage(Sign(-5));
  ShowMessage(Sign(0));
  ShowMessage(Sign(12));
end.
