// A nested routine's own parameters and locals hide the outer ones of the
// same name; the outer parameter is reachable like an outer local.
function Scale(Factor: Integer): Integer;
var x: Integer;

  function Times(x: Integer): Integer;
  var Factor2: Integer;
  begin
    Factor2 := Factor * 2;
    Result := x * Factor2;
  end;

begin
  x := 100;
  Result := Times(3) + x;
end;

begin
  ShowMessage(Scale(5));
end.
