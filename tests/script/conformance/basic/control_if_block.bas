' If … ElseIf … Else … End If picks the first true branch.
Sub Grade(n)
  If n >= 90 Then
    ShowMessage "A"
  ElseIf n >= 80 Then
    ShowMessage "B"
  ElseIf n >= 70 Then
    ShowMessage "C"
  Else
    ShowMessage "F"
  End If
End Sub
Grade 95
Grade 85
Grade 70
Grade 3
