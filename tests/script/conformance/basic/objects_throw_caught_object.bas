' A thrown object is the one the handler receives.
Dim e
Set e = New EConvertError("custom")
Try
  Throw e
Catch ex As EConvertError
  ShowMessage ex.ClassName & ": " & ex.Message
End Try
