' Nested With blocks: the dot belongs to the innermost one.
Dim a, b
Set a = New Exception("outer")
Set b = New Exception("inner")
With a
  ShowMessage(.Message)
  With b
    ShowMessage(.Message)
  End With
  ShowMessage(.Message)
End With
