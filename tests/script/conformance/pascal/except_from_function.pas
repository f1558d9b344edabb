// An exception leaves the routines it passes through; the caller's handler runs.
function Checked(N: Integer): Integer;
begin
  if N < 0 then
    raise Exception.Create('negative: ' + IntToStr(N));
  Result := N * 2;
end;

var i: Integer;
begin
  for i := 1 downto -1 do
    try
      ShowMessage(Checked(i));
    except
      on E: Exception do ShowMessage(E.Message);
    end;
end.
