' The invoice of invoice.pas in BasicScript, with the BASIC family's own
' functions: Round with digits, Format, Left, Space, UCase, DateSerial, DateAdd.
Dim VatPercent
VatPercent = 19

Function Net(Qty, Price)
  Net = Qty * Price
End Function

Function Gross(Amount)
  Gross = Round(Amount * (100 + VatPercent) / 100, 2)
End Function

Function Money(Value)
  Money = Right(Space(8) & Format(Value, "0.00"), 8)
End Function

Function Padded(Text, Width)
  Padded = Left(Text & Space(Width), Width)
End Function

Sub ItemLine(Name, Qty, Price)
  ShowMessage Padded(Name, 10) & Right("   " & Qty, 3) & " x" & Money(Price) & " =" & Money(Net(Qty, Price))
End Sub

Dim invoiceDate, total
invoiceDate = DateSerial(2026, 12, 5)
ShowMessage "Invoice of " & Format(invoiceDate, "yyyy-mm-dd") & " for " & UCase("Acme Ltd")
ItemLine "Widget", 3, 12.5
ItemLine "Gadget", 1, 99.99
ItemLine "Bolt", 12, 0.85
total = Net(3, 12.5) + Net(1, 99.99) + Net(12, 0.85)
ShowMessage Padded("Net total", 25) & Money(total)
ShowMessage Padded("VAT " & VatPercent & "%", 25) & Money(Gross(total) - total)
ShowMessage Padded("Gross total", 25) & Money(Gross(total))
ShowMessage "Due by " & Format(DateAdd("d", 30, invoiceDate), "yyyy-mm-dd")
