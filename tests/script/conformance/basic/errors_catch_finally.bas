' Catch and Finally together: the handler first, then the cleanup.
Try
  Throw New Exception("boom")
Catch ex As Exception
  ShowMessage "catch " & ex.Message
Finally
  ShowMessage "finally"
End Try
