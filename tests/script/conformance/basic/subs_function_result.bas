' A Function returns what is assigned to its name, or what Return gives.
Function Square(x)
  Square = x * x
End Function
Function Cube(x)
  Return x * x * x
End Function
ShowMessage Square(7)
ShowMessage Cube(3)
ShowMessage Square(Cube(2))
