' For … Step counts up or down by the step, both ends included.
Dim i, s
s = ""
For i = 1 To 10 Step 3
  s = s & i & " "
Next
ShowMessage s
s = ""
For i = 5 To 1 Step -2
  s = s & i & " "
Next i
ShowMessage s
For i = 3 To 1
  ShowMessage "never"
Next
ShowMessage "end"
