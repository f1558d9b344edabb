' Exit For and Exit Do leave only the innermost loop.
Dim i, j, n
n = 0
For i = 1 To 3
  j = 0
  Do
    j = j + 1
    If j > i Then Exit Do
    n = n + 1
  Loop
Next
ShowMessage n
