' For Each walks the elements of an array.
Dim a(3), x, total, s
a(0) = 4
a(1) = 8
a(2) = 15
a(3) = 16
total = 0
For Each x In a
  total = total + x
  s = s & x & ";"
Next
ShowMessage total
ShowMessage s
