// Exceptions raised by the runtime and by the script, finally blocks,
// and the string functions that reports use.
var
  s: String;
  i: Integer;
begin
  try
    i := 0;
    Print(10 / i);
  except
    Print('caught: ' + ExceptionMessage);
  end;
  try
    try
      raise Exception.Create('boom');
    finally
      Print('finally');
    end;
  except
    Print(ExceptionMessage);
  end;
  s := Trim('  Hello World  ');
  Print(UpperCase(s));
  Print(Copy(s, 7, 5));
  Print(Pos('World', s));
  Print(StrToInt('42') + 1);
  Print(Format('%d items at %s', [3, 'noon']));
end.
