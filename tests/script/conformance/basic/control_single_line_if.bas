' The one-line If with and without Else; statements joined by ':'.
Dim x
x = 5
If x > 3 Then ShowMessage "big" Else ShowMessage "small"
If x > 9 Then ShowMessage "huge"
If x = 5 Then x = x + 1 : ShowMessage x
