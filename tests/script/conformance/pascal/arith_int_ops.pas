// Integer operators and their precedence.
begin
  ShowMessage(7 div 2);
  ShowMessage(7 mod 2);
  ShowMessage(-7 div 2);
  ShowMessage(-7 mod 3);
  ShowMessage(2 + 3 * 4);
  ShowMessage((2 + 3) * 4);
  ShowMessage(10 - 4 - 3);
end.
