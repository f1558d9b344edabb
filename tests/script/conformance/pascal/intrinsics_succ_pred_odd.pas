// Succ and Pred step integers and characters; Odd tests the lowest bit.
begin
  ShowMessage(Succ(41));
  ShowMessage(Pred(0));
  ShowMessage(Succ('a') + Pred('z'));
  ShowMessage(Odd(7));
  ShowMessage(Odd(-4));
  ShowMessage(Odd(-3));
end.
