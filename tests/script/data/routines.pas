// Functions, recursion, var parameters, default values, early exit.
function Fib(n: Integer): Integer;
begin
  if n < 2 then
    Result := n
  else
    Result := Fib(n - 1) + Fib(n - 2);
end;

procedure Swap(var a, b: Integer);
var
  t: Integer;
begin
  t := a;
  a := b;
  b := t;
end;

function Greet(name: String; greeting: String = 'Hello'): String;
begin
  Result := greeting + ', ' + name;
end;

function FirstOver(limit: Integer): Integer;
var
  i: Integer;
begin
  Result := -1;
  for i := 1 to 100 do
    if i * i > limit then
    begin
      Result := i;
      exit;
    end;
end;

var
  x, y: Integer;
begin
  Print(Fib(15));
  x := 1;
  y := 2;
  Swap(x, y);
  Print(IntToStr(x) + ',' + IntToStr(y));
  Print(Greet('Ann'));
  Print(Greet('Bob', 'Hi'));
  Print(FirstOver(50));
end.
