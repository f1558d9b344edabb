// No handler matches: the else part runs.
begin
  try
    raise EConvertError.Create('x');
  except
    on E: EDivByZero do ShowMessage('div');
  else
    ShowMessage('else part');
  end;
  ShowMessage('after');
end.
