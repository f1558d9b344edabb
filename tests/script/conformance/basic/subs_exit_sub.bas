' Exit Sub leaves the Sub at once.
Sub Check(n)
  If n < 0 Then
    ShowMessage "negative"
    Exit Sub
  End If
  ShowMessage "value " & n
End Sub
Check -1
Check 4
