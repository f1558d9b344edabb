// Strings compare by character codes; = is case-sensitive.
begin
  ShowMessage('abc' < 'abd');
  ShowMessage('B' < 'a');
  ShowMessage('abc' = 'ABC');
  ShowMessage(UpperCase('abc') = 'ABC');
  ShowMessage('ab' < 'abc');
end.
