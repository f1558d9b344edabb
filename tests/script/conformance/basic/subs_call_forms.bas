' A Sub is called with or without parentheses, or with Call.
Sub Greet(name)
  ShowMessage "hello " & name
End Sub
Greet "ann"
Greet("bob")
Call Greet("cy")
