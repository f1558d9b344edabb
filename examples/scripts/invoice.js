// The invoice of invoice.pas in JScript.
var VatPercent = 19;

function Net(Qty, Price) { return Qty * Price; }

function Gross(Amount) { return Round(Amount * (100 + VatPercent)) / 100; }

function Money(Value) { return PadLeft(FormatFloat("0.00", Value), 8); }

function ItemLine(Name, Qty, Price)
{
  ShowMessage(PadRight(Name, 10) + PadLeft(String(Qty), 3) + " x" + Money(Price) + " =" + Money(Net(Qty, Price)));
}

var invoiceDate = EncodeDate(2026, 12, 5);
ShowMessage("Invoice of " + FormatDateTime("yyyy-mm-dd", invoiceDate) + " for " + UpperCase("Acme Ltd"));
ItemLine("Widget", 3, 12.5);
ItemLine("Gadget", 1, 99.99);
ItemLine("Bolt", 12, 0.85);
var total = Net(3, 12.5) + Net(1, 99.99) + Net(12, 0.85);
ShowMessage(PadRight("Net total", 25) + Money(total));
ShowMessage(PadRight("VAT " + VatPercent + "%", 25) + Money(Gross(total) - total));
ShowMessage(PadRight("Gross total", 25) + Money(Gross(total)));
ShowMessage("Due by " + FormatDateTime("yyyy-mm-dd", IncDay(invoiceDate, 30)));
