' Select Case on strings.
Dim w
For Each w In "abz"
  Select Case w
    Case "a"
      ShowMessage "first"
    Case "b" To "m"
      ShowMessage "early"
    Case Else
      ShowMessage "late"
  End Select
Next
