' Is, values and ranges may share one Case line.
Dim v, s
s = ""
For v = 1 To 12
  Select Case v
    Case 2, 5 To 6, Is > 10
      s = s & v & " "
  End Select
Next
ShowMessage s
