// An empty set holds nothing; elements may be expressions.
var lo, hi: Integer;
begin
  lo := 3;
  hi := 6;
  ShowMessage(1 in []);
  ShowMessage(4 in [lo..hi]);
  ShowMessage(7 in [lo..hi]);
  ShowMessage(8 in [lo * 2 + 2]);
  ShowMessage((2 + 2) in [1, 4]);
end.
