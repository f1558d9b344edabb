// Ord and Chr convert between characters and their codes; #65 is a character literal.
var s: String;
    i: Integer;
begin
  ShowMessage(Ord('A'));
  ShowMessage(Chr(98));
  ShowMessage(#72#105);
  s := '';
  for i := 0 to 4 do
    s := s + Chr(Ord('a') + i);
  ShowMessage(s);
end.
