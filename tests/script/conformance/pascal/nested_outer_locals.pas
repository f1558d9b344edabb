// A nested routine reads and changes the locals of the routine around it.
procedure Report;
var count: Integer;
    log: String;

  procedure Note(S: String);
  begin
    count := count + 1;
    log := log + S + ';';
  end;

begin
  count := 0;
  log := '';
  Note('a');
  Note('b');
  Note('c');
  ShowMessage(IntToStr(count) + ' ' + log);
end;

begin
  Report;
end.
