// A record passed by value is a copy; a var parameter changes the caller's record.
type
  TAccount = record
    Owner: String;
    Balance: Integer;
  end;

procedure Deposit(var A: TAccount; Amount: Integer);
begin
  A.Balance := A.Balance + Amount;
end;

function Describe(A: TAccount): String;
begin
  A.Owner := UpperCase(A.Owner);
  Result := A.Owner + ': ' + IntToStr(A.Balance);
end;

var acc: TAccount;
begin
  acc.Owner := 'kim';
  Deposit(acc, 50);
  Deposit(acc, 25);
  ShowMessage(Describe(acc));
  ShowMessage(acc.Owner);
end.
