// Nested routines call themselves and each other; each sees the same outer locals.
function SumTo(N: Integer): Integer;
var total: Integer;

  procedure Add(K: Integer);
  begin
    total := total + K;
    if K > 1 then Add(K - 1);
  end;

  function Twice: Integer;
  begin
    Add(N);
    Result := total * 2;
  end;

begin
  total := 0;
  Result := Twice;
end;

begin
  ShowMessage(SumTo(4));
  ShowMessage(SumTo(10));
end.
