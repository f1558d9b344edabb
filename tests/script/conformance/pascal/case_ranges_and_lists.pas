// case labels: values, lists and ranges, with an else part.
procedure Describe(N: Integer);
begin
  case N of
    0: ShowMessage('zero');
    1, 2, 3: ShowMessage('small');
    4..9: ShowMessage('digit');
  else
    ShowMessage('large');
  end;
end;

begin
  Describe(0);
  Describe(2);
  Describe(9);
  Describe(10);
end.
