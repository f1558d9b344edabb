' Case Is <relation> compares the selector; the first matching Case wins.
Sub Rate(t)
  Select Case t
    Case Is < 0
      ShowMessage t & " freezing"
    Case 0 To 15
      ShowMessage t & " cold"
    Case Is >= 30
      ShowMessage t & " hot"
    Case Else
      ShowMessage t & " mild"
  End Select
End Sub
Rate -5
Rate 0
Rate 20
Rate 30
