// case on characters, ranges of letters included.
var s: String;
    i, vowels, others: Integer;
begin
  s := 'Conformance';
  vowels := 0;
  others := 0;
  for i := 1 to Length(s) do
    case LowerCase(s[i]) of
      'a', 'e', 'i', 'o', 'u': vowels := vowels + 1;
      'b'..'z': others := others + 1;
    end;
  ShowMessage(IntToStr(vowels) + ' ' + IntToStr(others));
end.
