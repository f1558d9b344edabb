' Dim a(n) gives elements 0 to n; a(i) reads and writes them.
Dim a(4), i, total
For i = 0 To 4
  a(i) = i * i
Next
total = 0
For i = Low(a) To High(a)
  total = total + a(i)
Next
ShowMessage Low(a) & ".." & High(a)
ShowMessage total
