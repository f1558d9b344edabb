' Functions, recursion, var parameters, default values, early exit.
Function Fib(n As Integer) As Integer
  If n < 2 Then
    Return n
  End If
  Return Fib(n - 1) + Fib(n - 2)
End Function

Sub Swap(ByRef a, ByRef b)
  Dim t
  t = a
  a = b
  b = t
End Sub

Function Greet(name As String, Optional greeting As String = "Hello") As String
  Greet = greeting & ", " & name
End Function

Function FirstOver(limit)
  Dim i
  FirstOver = -1
  For i = 1 To 100
    If i * i > limit Then
      FirstOver = i
      Exit Function
    End If
  Next
End Function

Dim x, y
Print Fib(15)
x = 1
y = 2
Swap x, y
Print IntToStr(x) & "," & IntToStr(y)
Print Greet("Ann")
Print Greet("Bob", "Hi")
Print FirstOver(50)
