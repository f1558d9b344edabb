' & always joins as text; + adds numbers.
Dim a, b
a = 1
b = 2
ShowMessage a & b
ShowMessage a + b
ShowMessage "x" & a + b
ShowMessage "total: " & (a + b) * 2
