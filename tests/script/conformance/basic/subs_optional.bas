' Optional parameters take their default when left out.
Function Wrap(s, Optional left = "[", Optional right = "]")
  Wrap = left & s & right
End Function
ShowMessage Wrap("a")
ShowMessage Wrap("a", "<")
ShowMessage Wrap("a", "<", ">")
