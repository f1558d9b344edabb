// Operators and their precedence.
var
  i: Integer;
  s: String;
  f: Double;
begin
  Print(7 + 3 * 2);
  Print((7 + 3) * 2);
  Print(17 mod 5);
  Print(7 / 2);
  Print(2 * 3 - 4 - 1);
  s := 'abc' + 'def';
  Print(s);
  Print(Length(s));
  Print(1 < 2);
  Print((3 = 3) and (2 > 5));
  Print(not (1 > 2));
  f := 1.5;
  Print(f * 2);
  i := 10;
  i := i - 4;
  Print(i);
  Print(6 xor 3);
  Print(6 and 3);
  Print(-i + 1);
end.
