// Arrays of strings; elements are values (assigning one copies it).
var names: array[0..2] of String;
    s: String;
    i: Integer;
begin
  names[0] := 'ann';
  names[1] := 'bob';
  names[2] := 'cy';
  s := names[1];
  s[1] := 'B';
  ShowMessage(names[1] + ' ' + s);
  s := '';
  for i := High(names) downto Low(names) do
    s := s + names[i] + ';';
  ShowMessage(s);
end.
