' Do While, Do Until, Loop While and Loop Until.
Dim i
i = 0
Do While i < 3
  i = i + 1
Loop
ShowMessage i
Do Until i = 0
  i = i - 1
Loop
ShowMessage i
Do
  i = i + 5
Loop While i < 12
ShowMessage i
Do
  i = i - 1
Loop Until True
ShowMessage i
