// Characters are numbered from 1; assigning to s[i] changes one character.
var s: String;
    i: Integer;
    r: String;
begin
  s := 'Pascal';
  ShowMessage(s[1]);
  ShowMessage(s[Length(s)]);
  s[1] := 'R';
  ShowMessage(s);
  r := '';
  for i := Length(s) downto 1 do
    r := r + s[i];
  ShowMessage(r);
end.
