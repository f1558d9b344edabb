// A small invoice as a report script computes it. The same task is written
// in each syntax (invoice.cpps, invoice.bas, invoice.js); all four print
// invoice.expected.
const
  VatPercent = 19;

function Net(Qty: Integer; Price: Double): Double;
begin
  Result := Qty * Price;
end;

// Rounded to cents; Round takes halves to the even cent.
function Gross(Amount: Double): Double;
begin
  Result := Round(Amount * (100 + VatPercent)) / 100;
end;

function Money(Value: Double): String;
begin
  Result := PadLeft(FormatFloat('0.00', Value), 8);
end;

procedure ItemLine(Name: String; Qty: Integer; Price: Double);
begin
  ShowMessage(PadRight(Name, 10) + PadLeft(IntToStr(Qty), 3) + ' x' + Money(Price) + ' =' + Money(Net(Qty, Price)));
end;

var
  total: Double;
  invoiceDate: TDateTime;
begin
  invoiceDate := EncodeDate(2026, 12, 5);
  ShowMessage('Invoice of ' + FormatDateTime('yyyy-mm-dd', invoiceDate) + ' for ' + UpperCase('Acme Ltd'));
  ItemLine('Widget', 3, 12.5);
  ItemLine('Gadget', 1, 99.99);
  ItemLine('Bolt', 12, 0.85);
  total := Net(3, 12.5) + Net(1, 99.99) + Net(12, 0.85);
  ShowMessage(PadRight('Net total', 25) + Money(total));
  ShowMessage(PadRight('VAT ' + IntToStr(VatPercent) + '%', 25) + Money(Gross(total) - total));
  ShowMessage(PadRight('Gross total', 25) + Money(Gross(total)));
  ShowMessage('Due by ' + FormatDateTime('yyyy-mm-dd', IncDay(invoiceDate, 30)));
end.
