// forward lets two routines call each other.
function IsOdd(N: Integer): Boolean; forward;

function IsEven(N: Integer): Boolean;
begin
  if N = 0 then Result := True else Result := IsOdd(N - 1);
end;

function IsOdd(N: Integer): Boolean;
begin
  if N = 0 then Result := False else Result := IsEven(N - 1);
end;

begin
  ShowMessage(IsEven(10));
  ShowMessage(IsOdd(7));
  ShowMessage(IsEven(3));
end.
