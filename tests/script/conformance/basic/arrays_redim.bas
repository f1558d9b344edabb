' ReDim sizes an array afresh; its old elements are gone.
Dim a()
ShowMessage Length(a)
ReDim a(2)
a(0) = "x"
a(2) = "z"
ShowMessage Length(a) & " " & a(0) & a(2)
ReDim a(1)
ShowMessage High(a) & " [" & a(0) & "]"
