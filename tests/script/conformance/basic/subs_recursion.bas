' Recursive functions, with Exit Function leaving early.
Function Fact(n)
  If n <= 1 Then
    Fact = 1
    Exit Function
  End If
  Fact = n * Fact(n - 1)
End Function
Function Fib(n)
  If n < 2 Then Return n
  Return Fib(n - 1) + Fib(n - 2)
End Function
ShowMessage Fact(10)
ShowMessage Fib(15)
