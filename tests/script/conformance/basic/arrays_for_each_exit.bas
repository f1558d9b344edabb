' Exit For leaves a For Each loop; a string is walked by characters.
Dim c, n
n = 0
For Each c In "hello world"
  If c = " " Then Exit For
  n = n + 1
Next
ShowMessage n
For Each c In "ab"
  ShowMessage UpperCase(c)
Next c
