' Fixed arrays, element updates and strings indexed by character.
Dim a(4), i, sum, s
For i = 0 To 4
  a(i) = i * i
Next
sum = 0
For i = 0 To 4
  sum = sum + a(i)
Next
Print sum
Print a(3)
s = "script"
Print UpperCase(Copy(s, 1, 1)) & Copy(s, 2, 5)
