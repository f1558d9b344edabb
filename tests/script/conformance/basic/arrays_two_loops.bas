' Arrays filled and read by nested loops.
Dim grid(8), r, c, line
For r = 0 To 2
  For c = 0 To 2
    grid(r * 3 + c) = r * c
  Next
Next
For r = 0 To 2
  line = ""
  For c = 0 To 2
    line = line & grid(r * 3 + c)
  Next
  ShowMessage line
Next
