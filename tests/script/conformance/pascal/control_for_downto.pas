// for … to and for … downto include both ends; an empty range runs nothing.
var i: Integer;
    s: String;
begin
  s := '';
  for i := 1 to 5 do s := s + IntToStr(i);
  ShowMessage(s);
  s := '';
  for i := 5 downto 1 do s := s + IntToStr(i);
  ShowMessage(s);
  s := 'none';
  for i := 3 to 1 do s := 'ran';
  ShowMessage(s);
end.
