// Functions made by the same call share its variables.
function makeAccount(balance) {
  function deposit(amount) {
    balance += amount;
    return balance;
  }
  function withdraw(amount) {
    if (amount > balance) {
      return "insufficient";
    }
    balance -= amount;
    return balance;
  }
  return {deposit: deposit, withdraw: withdraw, total: function () { return balance; }};
}

var acct = makeAccount(100);
ShowMessage(acct.deposit(50));
ShowMessage(acct.withdraw(30));
ShowMessage(acct.withdraw(500));
ShowMessage(acct.total());
var other = makeAccount(1);
ShowMessage(other.total() + " " + acct.total());
