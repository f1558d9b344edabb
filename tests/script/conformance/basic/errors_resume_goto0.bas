' Under On Error Resume Next a failing statement is skipped; after On Error
' GoTo 0 errors are raised again (and a Try sees them).
Dim x
x = 1
On Error Resume Next
x = StrToInt("bad")
ShowMessage "x=" & x
On Error GoTo 0
Try
  x = StrToInt("bad")
Catch ex As Exception
  ShowMessage "raised again"
End Try
