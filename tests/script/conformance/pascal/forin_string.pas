// for … in over a string gives its characters; break works as in any loop.
var c: String;
    n: Integer;
begin
  n := 0;
  for c in 'banana' do
    if c = 'a' then n := n + 1;
  ShowMessage(n);
  for c in 'stop here' do
  begin
    if c = ' ' then break;
    ShowMessage(UpperCase(c));
  end;
end.
