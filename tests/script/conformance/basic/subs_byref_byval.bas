' ByRef parameters change the caller's variable; ByVal ones do not.
Sub Change(ByRef a, ByVal b)
  a = a + 1
  b = b + 1
End Sub
Dim x, y
x = 1
y = 1
Change x, y
ShowMessage x & "," & y
