' Try … Catch ex As Exception: the handler sees the message.
Dim n
Try
  n = StrToInt("abc")
  ShowMessage "not reached"
Catch ex As Exception
  ShowMessage "caught: " & ex.Message
End Try
ShowMessage "after"
