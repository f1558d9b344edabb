// An outer local used as the loop variable inside a nested routine.
procedure Run;
var i, last: Integer;

  procedure Loop;
  begin
    for i := 1 to 4 do
      last := last + i;
  end;

begin
  last := 0;
  Loop;
  ShowMessage(last);
end;

begin
  Run;
end.
