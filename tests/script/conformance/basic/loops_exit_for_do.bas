' Exit For and Exit Do leave only the innermost loop.
Dim i, j, n
n = 0
For i = 1 To 3
  For j = 1 To 10
    If j > i Then Exit For
    n = n + 1
  Next
Next
ShowMessage(n)
i = 0
Do
  i = i + 1
  If i = 4 Then Exit Do
Loop
ShowMessage(i)
