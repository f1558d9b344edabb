// x in [a..b, c]: ranges and single values.
var i: Integer;
    s: String;
begin
  s := '';
  for i := 0 to 12 do
    if i in [2..4, 7, 10..11] then
      s := s + IntToStr(i) + ' ';
  ShowMessage(s);
  ShowMessage(5 in [1..4]);
  ShowMessage(not (5 in [1..4]));
end.
