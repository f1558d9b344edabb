' On Error Resume Next skips the failing statement; GoTo 0 restores errors.
Dim x
x = 5
On Error Resume Next
x = 1 \ 0
ShowMessage("after " & x)
On Error GoTo 0
ShowMessage("done")
