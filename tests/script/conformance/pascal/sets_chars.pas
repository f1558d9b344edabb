// Sets of characters classify text.
function Kind(C: String): String;
begin
  if C in ['0'..'9'] then Result := 'digit'
  else if C in ['a'..'z', 'A'..'Z', '_'] then Result := 'letter'
  else if C in [' ', #9] then Result := 'space'
  else Result := 'other';
end;

begin
  ShowMessage(Kind('7'));
  ShowMessage(Kind('q'));
  ShowMessage(Kind('_'));
  ShowMessage(Kind(' '));
  ShowMessage(Kind('?'));
end.
