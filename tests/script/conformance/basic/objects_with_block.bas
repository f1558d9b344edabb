' Inside With … End With a leading dot names a member of the object.
Dim e
Set e = New EConvertError("bad number")
With e
  ShowMessage(.ClassName)
  ShowMessage("message: " & .Message)
End With
