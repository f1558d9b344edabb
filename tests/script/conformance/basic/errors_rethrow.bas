' Throw without an argument passes the caught exception on.
Try
  Try
    Throw New Exception("inner")
  Catch ex As Exception
    ShowMessage "seen " & ex.Message
    Throw
  End Try
Catch outer As Exception
  ShowMessage "outer " & outer.Message
End Try
