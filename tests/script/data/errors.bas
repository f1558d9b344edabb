' Exceptions raised by the runtime and by the script, finally blocks,
' and the string functions that reports use.
Dim s, i
Try
  i = 0
  Print 10 / i
Catch
  Print "caught: " & ExceptionMessage
End Try
Try
  Try
    Throw "boom"
  Finally
    Print "finally"
  End Try
Catch e
  Print e
End Try
s = Trim("  Hello World  ")
Print UpperCase(s)
Print Copy(s, 7, 5)
Print Pos("World", s)
Print StrToInt("42") + 1
Print Format("%d items at %s", [3, "noon"])
