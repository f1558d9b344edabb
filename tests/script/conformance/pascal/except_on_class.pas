// The first handler whose class matches runs; E carries message and class.
var i: Integer;
begin
  try
    i := StrToInt('12a');
  except
    on E: EDivByZero do ShowMessage('wrong handler');
    on E: EConvertError do ShowMessage(E.ClassName + ': ' + E.Message);
  end;
  try
    raise Exception.Create('boom');
  except
    on E: Exception do ShowMessage(E.ClassName + ' ' + E.Message);
  end;
end.
