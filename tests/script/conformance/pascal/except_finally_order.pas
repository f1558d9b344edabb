// finally runs on the normal path and while an exception passes through.
procedure Work(Fail: Boolean);
begin
  try
    ShowMessage('work');
    if Fail then raise Exception.Create('failed');
    ShowMessage('done');
  finally
    ShowMessage('cleanup');
  end;
end;

begin
  Work(False);
  try
    Work(True);
  except
    on E: Exception do ShowMessage('caught ' + E.Message);
  end;
end.
