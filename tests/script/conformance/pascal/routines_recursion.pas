// Recursive functions: each call has its own parameters and locals.
function Fact(N: Integer): Integer;
begin
  if N <= 1 then
    Result := 1
  else
    Result := N * Fact(N - 1);
end;

function Fib(N: Integer): Integer;
begin
  if N < 2 then Exit(N);
  Result := Fib(N - 1) + Fib(N - 2);
end;

begin
  ShowMessage(Fact(10));
  ShowMessage(Fib(20));
end.
