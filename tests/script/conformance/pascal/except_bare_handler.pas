// except without on clauses takes every exception.
var n: Integer;
begin
  n := 0;
  try
    n := StrToInt('ten');
  except
    n := -1;
  end;
  ShowMessage(n);
end.
