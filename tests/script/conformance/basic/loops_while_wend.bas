' While … Wend and While … End While test before each pass.
Dim n, steps
n = 27
steps = 0
While n <> 1
  If n Mod 2 = 0 Then
    n = n \ 2
  Else
    n = 3 * n + 1
  End If
  steps = steps + 1
Wend
ShowMessage steps
While n > 100
  ShowMessage "never"
End While
ShowMessage n
