// Parameters with defaults may be left out from the right.
function Join(A: String; B: String = '-'; C: String = '.'): String;
begin
  Result := A + B + C;
end;

begin
  ShowMessage(Join('x'));
  ShowMessage(Join('x', '+'));
  ShowMessage(Join('x', '+', '!'));
end.
