' ReDim Preserve keeps the elements that still fit.
Dim a(), i, s
ReDim a(2)
For i = 0 To 2
  a(i) = (i + 1) * 10
Next
ReDim Preserve a(4)
a(4) = 50
s = ""
For i = 0 To High(a)
  s = s & "[" & a(i) & "]"
Next
ShowMessage s
ReDim Preserve a(1)
ShowMessage High(a) & " " & a(0) & " " & a(1)
