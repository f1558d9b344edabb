// The same calculation in JScript.
var VatRate = 0.19;

function Net(Qty, Price) { return Qty * Price; }
function Gross(Amount) { return Round(Amount * (1 + VatRate) * 100) / 100; }

var total = 0;
var items = [Net(3, 12.5), Net(1, 99.99), Net(12, 0.85)];
for (var i = 0; i < 3; i++)
  total = total + items[i];
ShowMessage("Net total: " + FormatFloat("0.00", total));
ShowMessage("Gross total: " + FormatFloat("0.00", Gross(total)));
