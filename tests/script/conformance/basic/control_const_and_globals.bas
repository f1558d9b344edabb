' Constants and global variables are seen inside Subs.
Const Rate = 3
Dim counter
counter = 0
Sub Tick()
  counter = counter + Rate
End Sub
Tick
Tick
ShowMessage counter
