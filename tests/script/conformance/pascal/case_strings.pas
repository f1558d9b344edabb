// case selects on strings, with lists and an else part.
procedure Classify(S: String);
begin
  case S of
    'apple', 'pear': ShowMessage(S + ' is fruit');
    'carrot': ShowMessage(S + ' is a vegetable');
  else
    ShowMessage(S + ' is unknown');
  end;
end;

begin
  Classify('pear');
  Classify('carrot');
  Classify('stone');
end.
