' Loops, branches and case labels.
Dim i, n, sum
sum = 0
For i = 1 To 10
  sum = sum + i
Next
Print sum
sum = 0
For i = 10 To 1 Step -1
  If i Mod 2 = 0 Then sum = sum + i
Next i
Print sum
n = 0
While n < 100
  n = n + 7
  If n > 50 Then
    Exit While
  End If
Wend
Print n
n = 0
sum = 0
Do
  n = n + 1
  If n <> 3 Then sum += n
Loop Until n >= 5
Print sum
For i = 1 To 4
  Select Case i
    Case 1
      Print "one"
    Case 2, 3
      Print "two or three"
    Case Else
      Print "other"
  End Select
Next
If sum > 10 Then
  Print "big"
Else
  Print "small"
End If
