' Select Case with values, lists, ranges and Case Else.
Sub Describe(n)
  Select Case n
    Case 0
      ShowMessage "zero"
    Case 1, 2, 3
      ShowMessage "small"
    Case 4 To 9
      ShowMessage "digit"
    Case Else
      ShowMessage "large"
  End Select
End Sub
Describe 0
Describe 3
Describe 4
Describe 42
